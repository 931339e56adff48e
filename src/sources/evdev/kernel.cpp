// The real kernel.
#include "sources/evdev/kernel.h"

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

}  // namespace

int SystemKernel::open(const std::string& path, int flags) {
    return static_cast<int>(retried([&] { return ::open(path.c_str(), flags); }));
}
void SystemKernel::close(int fd) {
    ::close(fd);  // never retried: the fd is gone either way
}
int SystemKernel::ioctl(int fd, unsigned long request, void* argument) {
    return static_cast<int>(retried([&] { return ::ioctl(fd, request, argument); }));
}
long SystemKernel::read(int fd, void* buffer, std::size_t size) {
    return retried([&] { return ::read(fd, buffer, size); });
}
long SystemKernel::write(int fd, const void* data, std::size_t size) {
    return retried([&] { return ::write(fd, data, size); });
}
std::vector<std::string> SystemKernel::listDirectory(const std::string& path) {
    std::vector<std::string> names;
    DIR* directory = ::opendir(path.c_str());
    if (directory == nullptr) return names;
    while (const dirent* entry = ::readdir(directory)) names.emplace_back(entry->d_name);
    ::closedir(directory);
    return names;
}
int SystemKernel::watchDirectory(const std::string& path) {
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) return -errno;
    if (::inotify_add_watch(fd, path.c_str(), IN_CREATE | IN_ATTRIB | IN_MOVED_TO) >= 0) return fd;
    const int error = errno;
    ::close(fd);
    return -error;
}
std::int64_t SystemKernel::monotonicNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Kernel& systemKernel() {
    static SystemKernel kernel;
    return kernel;
}

}  // namespace evdev
