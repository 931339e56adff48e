// The process entry point: the program's wmain takes UTF-16 arguments, as on Windows, so the
// UTF-8 arguments are converted first (invalid bytes become U+FFFD). The kernel's evdev wheels are
// what DirectInput lists.
#include <iostream>
#include <vector>

#include "platform/linux/utf8.h"
#include "platform/platform.h"
#include "sources/evdev/source.h"
#include "sources/linux/device_backends.h"

extern "C" int wmain(int argc, WCHAR* argv[]);

int main(int argc, char* argv[]) {
    static evdev::EvdevSource wheels(evdev::systemKernel(), std::cerr);
    sources::registerDeviceBackend(&wheels);
    std::vector<platform::WideString> arguments;
    arguments.reserve(static_cast<std::size_t>(argc));
    for (int i = 0; i < argc; ++i) arguments.push_back(platform::fromUtf8(argv[i]));
    std::vector<WCHAR*> pointers;
    for (auto& argument : arguments) pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    return wmain(argc, pointers.data());
}
