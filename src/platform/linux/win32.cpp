// COM, User32 and Kernel32 calls of the program: per-thread COM bookkeeping, windows as opaque
// handles that are never shown, the module handle, and conversion between UTF-16 and UTF-8.
#include <cstring>
#include <string_view>

#include "platform/linux/utf8.h"
#include "platform/platform.h"

struct HWND__ {
    bool visible;
};
struct HINSTANCE__ {
    int unused;
};

namespace {

thread_local DWORD lastError = 0;
thread_local int comInitCount = 0;
thread_local DWORD comModel = 0;
HINSTANCE__ programModule{};

constexpr DWORD kVisibleStyle = 0x10000000;                       // WS_VISIBLE
constexpr HRESULT kChangedMode = MAKE_HRESULT_CODE(0x80010106u);  // RPC_E_CHANGED_MODE
constexpr char32_t kReplacement = 0xFFFD;

// Appends the UTF-8 form of one code point to out (when out has room) and returns its length.
int encodeUtf8(char32_t c, char* out, int room) {
    char bytes[4];
    int n = 0;
    if (c < 0x80) {
        bytes[n++] = static_cast<char>(c);
    } else if (c < 0x800) {
        bytes[n++] = static_cast<char>(0xC0 | (c >> 6));
        bytes[n++] = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        bytes[n++] = static_cast<char>(0xE0 | (c >> 12));
        bytes[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        bytes[n++] = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        bytes[n++] = static_cast<char>(0xF0 | (c >> 18));
        bytes[n++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        bytes[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        bytes[n++] = static_cast<char>(0x80 | (c & 0x3F));
    }
    if (out != nullptr && room >= n) std::memcpy(out, bytes, static_cast<std::size_t>(n));
    return n;
}

}  // namespace

HRESULT CoInitializeEx(LPVOID reserved, DWORD coInit) {
    if (reserved != nullptr) return E_INVALIDARG;
    if (comInitCount > 0 && comModel != coInit) return kChangedMode;
    comModel = coInit;
    return comInitCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    if (comInitCount > 0) --comInitCount;
}

HWND CreateWindowExW(DWORD, LPCWSTR className, LPCWSTR, DWORD style, int, int, int, int, HWND,
                     HMENU, HINSTANCE, LPVOID) {
    if (className == nullptr) {
        lastError = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    return new HWND__{(style & kVisibleStyle) != 0};
}

BOOL DestroyWindow(HWND window) {
    if (window == nullptr) {
        lastError = 1400;  // ERROR_INVALID_WINDOW_HANDLE
        return FALSE;
    }
    delete window;
    return TRUE;
}

BOOL IsWindowVisible(HWND window) {
    return window != nullptr && window->visible ? TRUE : FALSE;
}

HMODULE GetModuleHandleW(LPCWSTR moduleName) {
    if (moduleName != nullptr) {
        lastError = 126;  // ERROR_MOD_NOT_FOUND: no DLLs here
        return nullptr;
    }
    return &programModule;
}

DWORD GetLastError() {
    return lastError;
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wideText, int wideCount, LPSTR bytes,
                        int byteCount, LPCCH defaultChar, LPBOOL usedDefaultChar) {
    // UTF-8 takes neither a default character nor flags other than 0.
    if (codePage != CP_UTF8 || flags != 0 || wideText == nullptr || byteCount < 0 ||
        defaultChar != nullptr || usedDefaultChar != nullptr || wideCount == 0 ||
        (bytes == nullptr && byteCount != 0)) {
        lastError = ERROR_INVALID_PARAMETER;
        return 0;
    }
    if (wideCount < 0) {  // zero-terminated: the terminator is converted too
        wideCount = 0;
        while (wideText[wideCount] != 0) ++wideCount;
        ++wideCount;
    }
    int written = 0;
    for (int i = 0; i < wideCount; ++i) {
        char32_t c = wideText[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wideCount && wideText[i + 1] >= 0xDC00 &&
            wideText[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(wideText[i + 1]) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;  // a lone surrogate, as Windows does since Vista
        }
        char* out = byteCount > 0 ? bytes + written : nullptr;
        const int n = encodeUtf8(c, out, byteCount - written);
        if (byteCount > 0 && written + n > byteCount) {
            lastError = ERROR_INSUFFICIENT_BUFFER;
            return 0;
        }
        written += n;
    }
    return written;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH bytes, int byteCount, LPWSTR wideText,
                        int wideCount) {
    if (codePage != CP_UTF8 || flags != 0 || bytes == nullptr || wideCount < 0 || byteCount == 0 ||
        (wideText == nullptr && wideCount != 0)) {
        lastError = ERROR_INVALID_PARAMETER;
        return 0;
    }
    // Zero-terminated: the terminator is converted too.
    const std::size_t length =
        byteCount < 0 ? std::strlen(bytes) + 1 : static_cast<std::size_t>(byteCount);
    const platform::WideString wide = platform::fromUtf8(std::string_view(bytes, length));
    if (wideCount == 0) return static_cast<int>(wide.size());
    if (wide.size() > static_cast<std::size_t>(wideCount)) {
        lastError = ERROR_INSUFFICIENT_BUFFER;
        return 0;
    }
    std::memcpy(wideText, wide.data(), wide.size() * sizeof(WCHAR));
    return static_cast<int>(wide.size());
}
