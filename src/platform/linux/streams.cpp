// File names are UTF-8 bytes here: the wide name is converted as the rest of the layer converts
// console text.
#include "platform/streams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <string>

namespace platform {
namespace {

// The file's name as the system takes it; false when it has none.
bool systemName(const WideString& path, std::string& name) {
    if (path.empty() || path.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        return false;
    const int wideCount = static_cast<int>(path.size());
    const int byteCount =
        WideCharToMultiByte(CP_UTF8, 0, path.data(), wideCount, nullptr, 0, nullptr, nullptr);
    if (byteCount <= 0) return false;
    name.assign(static_cast<std::size_t>(byteCount), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, path.data(), wideCount, name.data(), byteCount, nullptr,
                            nullptr) != byteCount)
        return false;
    // A name with a zero inside would silently open a shorter one.
    return name.find('\0') == std::string::npos;
}

}  // namespace

std::FILE* openFileForWriting(const WideString& path) {
    std::string name;
    if (!systemName(path, name)) return nullptr;
    // Opening a FIFO for writing waits for a reader, for good: without waiting, one with a reader
    // (a live plotter, say) opens, one without fails. Writes then wait as usual.
    const int fd =
        ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    const int flags = ::fcntl(fd, F_GETFL);
    std::FILE* file = nullptr;
    if (flags != -1 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0) file = ::fdopen(fd, "wb");
    if (file == nullptr) ::close(fd);
    return file;
}

FileRead readRegularFile(const WideString& path, std::size_t maxBytes, std::string& text) {
    std::string name;
    if (!systemName(path, name)) return FileRead::Unreadable;
    // Not blocking: a FIFO opens at once, and is then told apart by its type.
    const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return FileRead::Unreadable;
    FileRead result = FileRead::Read;
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        result = FileRead::Unreadable;
    } else if (!S_ISREG(status.st_mode)) {
        result = FileRead::NotAFile;
    } else {
        // One byte more than allowed tells a file that is too large without reading it all.
        text.assign(maxBytes + 1, '\0');
        std::size_t size = 0;
        while (size < text.size()) {
            const ssize_t n = ::read(fd, text.data() + size, text.size() - size);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) result = FileRead::Unreadable;
            if (n <= 0) break;
            size += static_cast<std::size_t>(n);
        }
        text.resize(size);
        if (result == FileRead::Read && size > maxBytes) result = FileRead::TooLarge;
    }
    ::close(fd);
    return result;
}

FileStamp fileStamp(const WideString& path) {
    std::string name;
    struct stat status {};
    if (!systemName(path, name) || ::stat(name.c_str(), &status) != 0) return {};
    const bool regular = S_ISREG(status.st_mode);
    return {static_cast<long long>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec,
            regular ? static_cast<unsigned long long>(status.st_size) : 0, true, regular};
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
