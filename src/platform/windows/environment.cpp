#include "platform/environment.h"

namespace platform {

WideString executableFolder() {
    // Long paths may exceed MAX_PATH: grow the buffer until the name fits.
    WideString path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
    const std::size_t separator = path.find_last_of(L"\\/");
    return separator == WideString::npos ? WideString{} : path.substr(0, separator + 1);
}

WideString environmentVariable(const WCHAR* name) {
    const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
    if (needed == 0) return {};
    WideString value(needed, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), needed);
    value.resize(length < needed ? length : 0);
    return value;
}

unsigned consoleProcessCount() {
    DWORD processes[2] = {};
    return GetConsoleProcessList(processes, 2);
}

bool standardInputIsConsole() {
    DWORD mode = 0;
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    return input != nullptr && input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode) != 0;
}

std::string noControllerHint() {
    return {};
}

}  // namespace platform
