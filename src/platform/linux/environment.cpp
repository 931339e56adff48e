#include "platform/environment.h"

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/linux/utf8.h"

namespace platform {

WideString executableFolder() {
    std::string path(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return {};
    path.resize(static_cast<std::size_t>(length));
    const std::size_t separator = path.rfind('/');
    return separator == std::string::npos ? WideString{} : fromUtf8(path.substr(0, separator + 1));
}

WideString environmentVariable(const WCHAR* name) {
    std::string narrow;
    for (const WCHAR* at = name; *at != 0; ++at) narrow.push_back(static_cast<char>(*at));
    const char* value = std::getenv(narrow.c_str());
    return value == nullptr ? WideString{} : fromUtf8(value);
}

unsigned consoleProcessCount() {
    return 0;  // a terminal window here is never the program's own
}

bool standardInputIsConsole() {
    return ::isatty(STDIN_FILENO) == 1;
}

}  // namespace platform
