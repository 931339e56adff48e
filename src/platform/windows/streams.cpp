#include "platform/streams.h"

#include <io.h>

#include <algorithm>

namespace platform {

std::FILE* openFileForWriting(const WideString& path) {
    // A name with a zero inside would silently open a shorter one.
    if (path.empty() || path.find(L'\0') != WideString::npos) return nullptr;
    return _wfopen(path.c_str(), L"wb");
}

FileRead readRegularFile(const WideString& path, std::size_t maxBytes, std::string& text) {
    if (path.empty() || path.find(L'\0') != WideString::npos) return FileRead::Unreadable;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return FileRead::NotAFile;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return FileRead::Unreadable;
    FileRead result = FileRead::Read;
    // A pipe or a device is no settings file, and a read from it might wait.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        result = FileRead::NotAFile;
    } else {
        // One byte more than allowed tells a file that is too large without reading it all.
        text.assign(maxBytes + 1, '\0');
        std::size_t size = 0;
        while (size < text.size()) {
            DWORD n = 0;
            const DWORD wanted =
                static_cast<DWORD>(std::min<std::size_t>(text.size() - size, 1 << 20));
            if (!ReadFile(file, text.data() + size, wanted, &n, nullptr)) {
                result = FileRead::Unreadable;
                break;
            }
            if (n == 0) break;
            size += n;
        }
        text.resize(size);
        if (result == FileRead::Read && size > maxBytes) result = FileRead::TooLarge;
    }
    CloseHandle(file);
    return result;
}

FileStamp fileStamp(const WideString& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path.find(L'\0') != WideString::npos ||
        !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return {};
    const bool regular = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    const auto wide = [](DWORD high, DWORD low) {
        return (static_cast<unsigned long long>(high) << 32) | low;
    };
    return {static_cast<long long>(
                wide(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime)),
            regular ? wide(data.nFileSizeHigh, data.nFileSizeLow) : 0, true, regular};
}

bool errorStreamIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

Utf8ConsoleOutput::Utf8ConsoleOutput() {
    // GetConsoleOutputCP gives 0 without a console; then there is nothing to set or restore.
    const UINT current = GetConsoleOutputCP();
    if (current != 0 && current != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) previous_ = current;
}

void Utf8ConsoleOutput::restore() {
    if (previous_ != 0) SetConsoleOutputCP(previous_);
    previous_ = 0;
}

void endProcessNow(int code) {
    // Not ExitProcess: the C runtime's detach code would wait for the stream locks that a thread
    // stuck in a console write holds.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
    for (;;) Sleep(INFINITE);
}

}  // namespace platform
