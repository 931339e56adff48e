// The real kernel: each call retried while a signal interrupts it.
#include "platform/linux/evdev/kernel.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace evdev {
namespace {

template <typename Call>
long retried(Call call) {
    long result;
    do result = call();
    while (result < 0 && errno == EINTR);
    return result < 0 ? -errno : result;
}

class SystemKernel final : public Kernel {
  public:
    int open(const std::string& path, int flags) override {
        return static_cast<int>(retried([&] { return ::open(path.c_str(), flags); }));
    }
    void close(int fd) override { ::close(fd); }  // never retried: the fd is gone either way
    int ioctl(int fd, unsigned long request, void* argument) override {
        return static_cast<int>(retried([&] { return ::ioctl(fd, request, argument); }));
    }
    long read(int fd, void* buffer, std::size_t size) override {
        return retried([&] { return ::read(fd, buffer, size); });
    }
    long write(int fd, const void* data, std::size_t size) override {
        return retried([&] { return ::write(fd, data, size); });
    }
    std::vector<std::string> listDirectory(const std::string& path) override {
        std::vector<std::string> names;
        DIR* directory = ::opendir(path.c_str());
        if (directory == nullptr) return names;
        while (const dirent* entry = ::readdir(directory)) names.emplace_back(entry->d_name);
        ::closedir(directory);
        return names;
    }
    int watchDirectory(const std::string& path) override {
        const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd < 0) return -errno;
        if (::inotify_add_watch(fd, path.c_str(), IN_CREATE | IN_ATTRIB | IN_MOVED_TO) >= 0)
            return fd;
        const int error = errno;
        ::close(fd);
        return -error;
    }
    std::int64_t monotonicNanoseconds() override {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

}  // namespace

Kernel& systemKernel() {
    static SystemKernel kernel;
    return kernel;
}

}  // namespace evdev
