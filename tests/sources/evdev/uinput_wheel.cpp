// uinput-wheel: a force-feedback wheel for black-box runs of the program on a real kernel.
//
//   uinput-wheel [--name TEXT] [--product N] [--refuse-damper] [--no-ff]
//
// Prints one line per record as uinput_wheel.h makes them ("TIME created NODE" first). Reads
// commands on standard input until its end: "key CODE VALUE", "abs CODE VALUE".
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
    const auto print = [&](const std::string& line) {
        std::lock_guard<std::mutex> lock(output);
        std::cout << line << std::endl;
    };
    uinput::Wheel wheel(spec, print);
    if (wheel.fd < 0) {
        std::cerr << "uinput-wheel: " << wheel.error << std::endl;
        return 1;
    }
    for (std::string verb; std::cin >> verb;) {
        int code = 0, value = 0;
        if (verb == "key" || verb == "abs") std::cin >> code >> value;
        if (verb == "key" || verb == "abs")
            wheel.send(verb == "key" ? EV_KEY : EV_ABS, code, value);
    }
}
