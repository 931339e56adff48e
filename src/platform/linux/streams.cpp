// File names are UTF-8 bytes here: the wide name is converted as the rest of the layer converts
// console text.
#include "platform/streams.h"

#include <unistd.h>

#include <limits>
#include <string>

namespace platform {

std::FILE* openFileForWriting(const WideString& path) {
    if (path.empty() || path.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        return nullptr;
    const int wideCount = static_cast<int>(path.size());
    const int byteCount =
        WideCharToMultiByte(CP_UTF8, 0, path.data(), wideCount, nullptr, 0, nullptr, nullptr);
    if (byteCount <= 0) return nullptr;
    std::string name(static_cast<std::size_t>(byteCount), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, path.data(), wideCount, name.data(), byteCount, nullptr,
                            nullptr) != byteCount)
        return nullptr;
    // A name with a zero inside would silently open a shorter one.
    if (name.find('\0') != std::string::npos) return nullptr;
    return std::fopen(name.c_str(), "wb");
}

bool errorStreamIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

// Terminals here take the bytes as they are.
Utf8ConsoleOutput::Utf8ConsoleOutput() = default;

void Utf8ConsoleOutput::restore() {}

void endProcessNow(int code) {
    ::_exit(code);
}

}  // namespace platform
