// uinput-wheel: a force-feedback wheel for black-box runs of the program on a real kernel.
//
//   uinput-wheel [--name TEXT] [--product N] [--slots N] [--refuse constant|periodic|damper]
//                [--no-ff]
//
// Prints "TIME created NODE", then one line per record as uinput_wheel.h logs them. Reads
// commands on standard input: "unplug", "plug", "TYPE CODE VALUE" (an input event), "quit".
#include <cstdlib>
#include <iostream>
#include <memory>
#include <sstream>

#include "uinput_wheel.h"

int main(int argc, char** argv) {
    uinput::Spec spec;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i], value = i + 1 < argc ? argv[i + 1] : "";
        if (option == "--no-ff") spec.forceFeedback = false;
        if (option == "--name") spec.name = value;
        if (option == "--slots") spec.slots = std::atoi(value.c_str());
        if (option == "--product")
            spec.product = static_cast<std::uint16_t>(std::atoi(value.c_str()));
        if (option == "--refuse")
            spec.refusedType = value == "constant" ? FF_CONSTANT
                               : value == "damper" ? FF_DAMPER
                                                   : FF_PERIODIC;
    }
    std::unique_ptr<uinput::Wheel> wheel;
    const auto plug = [&] {
        wheel = std::make_unique<uinput::Wheel>(spec);
        if (wheel->fd < 0) std::cerr << "uinput-wheel: " << wheel->error << std::endl;
        if (wheel->fd < 0) std::exit(1);
        std::cout << uinput::Wheel::now() << " created " << wheel->node << std::endl;
    };
    plug();
    std::string pending;
    for (;;) {
        pollfd ready[2] = {{0, POLLIN, 0}, {wheel ? wheel->fd : -1, POLLIN, 0}};
        poll(ready, 2, -1);
        if (wheel && ready[1].revents != 0) {
            std::vector<std::string> log;
            wheel->serve(0, log);
            for (const std::string& line : log) std::cout << line << std::endl;
        }
        if (ready[0].revents == 0) continue;
        char buffer[256];
        const ssize_t length = read(0, buffer, sizeof buffer);
        if (length <= 0) return 0;
        pending.append(buffer, static_cast<std::size_t>(length));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            std::istringstream command(pending.substr(0, end));
            pending.erase(0, end + 1);
            std::string verb;
            int code = 0, value = 0;
            command >> verb >> code >> value;
            if (verb == "quit") return 0;
            if (verb == "unplug") wheel.reset();
            if (verb == "unplug") std::cout << uinput::Wheel::now() << " destroyed" << std::endl;
            if (verb == "plug") plug();
            if (wheel && (verb == "key" || verb == "abs"))
                wheel->send(verb == "key" ? EV_KEY : EV_ABS, code, value);
        }
    }
}
