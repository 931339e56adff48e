// UTF-8 to UTF-16, decoding each sequence and replacing what is not valid UTF-8.
#include "platform/linux/utf8.h"

namespace platform {

WideString fromUtf8(std::string_view text) {
    WideString out;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int length = lead < 0x80         ? 1
                           : (lead >> 5) == 6  ? 2
                           : (lead >> 4) == 14 ? 3
                           : (lead >> 3) == 30 ? 4
                                               : 0;
        char32_t c = length == 1   ? lead
                     : length == 2 ? (lead & 0x1F)
                     : length == 3 ? (lead & 0x0F)
                                   : (lead & 0x07);
        bool valid = length != 0 && i + static_cast<std::size_t>(length) <= text.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        static constexpr char32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (valid && (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)))
            valid = false;
        if (!valid) {
            out.push_back(static_cast<WCHAR>(0xFFFD));
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            out.push_back(static_cast<WCHAR>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<WCHAR>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<WCHAR>(c));
        }
        i += static_cast<std::size_t>(length);
    }
    return out;
}

}  // namespace platform
