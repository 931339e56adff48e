// uinput-wheel [--name TEXT] [--product N] [--refuse-damper] [--no-ff]: a force-feedback wheel for
// black-box runs on a real kernel, one line per record ("TIME created NODE" first) until stdin
// ends.
#include <cstdlib>
#include <iostream>
#include <mutex>

#include "uinput_wheel.h"

int main(int argc, char** argv) {
    uinput::Spec spec;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i], value = i + 1 < argc ? argv[i + 1] : "";
        if (option == "--no-ff") spec.forceFeedback = false;
        if (option == "--refuse-damper") spec.refusedType = FF_DAMPER;
        if (option == "--name") spec.name = value;
        if (option == "--product")
            spec.product = static_cast<std::uint16_t>(std::atoi(value.c_str()));
    }
    std::mutex output;
    uinput::Wheel wheel(spec, [&](const std::string& line) {
        std::lock_guard<std::mutex> lock(output);
        std::cout << line << std::endl;
    });
    if (wheel.fd < 0) {
        std::cerr << "uinput-wheel: " << wheel.error << std::endl;
        return 1;
    }
    while (std::cin.get() != EOF) {
    }
}
