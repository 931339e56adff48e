#include "platform/text.h"

#include <cstddef>
#include <limits>

namespace torvane {

platform::WideString toWide(std::string_view text) {
    if (text.empty() || text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        return {};
    }
    const int length = static_cast<int>(text.size());
    const int needed = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    if (needed <= 0) return {};
    platform::WideString wide(static_cast<std::size_t>(needed), 0);
    const int written = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), needed);
    wide.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return wide;
}

std::string toUtf8(const platform::WideString& text) {
    // The conversion takes its length as an int; nothing real comes near that, so longer text is
    // treated like text the conversion refuses.
    if (text.empty() || text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        return {};
    }
    const int length = static_cast<int>(text.size());
    const int needed =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return {};
    std::string bytes(static_cast<std::size_t>(needed), '\0');
    const int written = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, bytes.data(), needed,
                                            nullptr, nullptr);
    // A failing second call must not leave a string of zero bytes behind as if it were text.
    bytes.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return bytes;
}

std::string toLowerAscii(std::string text) {
    // Only 'A'..'Z' fold, exactly as tolower in the "C" locale, but without depending on the
    // process's locale: bytes of multi-byte UTF-8 sequences pass unchanged.
    for (char& byte : text) {
        if (byte >= 'A' && byte <= 'Z') byte = static_cast<char>(byte - 'A' + 'a');
    }
    return text;
}

}  // namespace torvane
