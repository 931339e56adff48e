// The system calls the evdev driver makes, behind one narrow seam, so that a test on the real
// kernel can still hold one of them still (the clock).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace evdev {

/// Abstract so a test can stand in for part of the real one. Each call behaves like the
/// system call it is named after, except that a failure answers -errno instead of -1 with errno.
class Kernel {
  public:
    virtual ~Kernel() = default;

    virtual int open(const std::string& path, int flags) = 0;
    virtual void close(int fd) = 0;
    /// argument: the address of the request's record, or for requests that take a value
    /// (EVIOCRMFF, EVIOCGRAB) that value itself, as ioctl(2) receives it.
    virtual int ioctl(int fd, unsigned long request, void* argument) = 0;
    virtual long read(int fd, void* buffer, std::size_t size) = 0;
    virtual long write(int fd, const void* data, std::size_t size) = 0;
    /// The names of a directory's entries, in no particular order; empty if it cannot be read.
    virtual std::vector<std::string> listDirectory(const std::string& path) = 0;
    /// A non-blocking file that becomes readable when an entry of the directory is made, renamed
    /// into it, or changes its permissions (inotify); or -errno.
    virtual int watchDirectory(const std::string& path) = 0;
    /// The monotonic clock, in nanoseconds.
    virtual std::int64_t monotonicNanoseconds() = 0;
};

/// The running system's kernel: each call retried while a signal interrupts it.
class SystemKernel : public Kernel {
  public:
    int open(const std::string& path, int flags) override;
    void close(int fd) override;
    int ioctl(int fd, unsigned long request, void* argument) override;
    long read(int fd, void* buffer, std::size_t size) override;
    long write(int fd, const void* data, std::size_t size) override;
    std::vector<std::string> listDirectory(const std::string& path) override;
    int watchDirectory(const std::string& path) override;
    std::int64_t monotonicNanoseconds() override;
};
Kernel& systemKernel();

/// An ioctl argument that is a value rather than an address.
inline void* valueArgument(int value) {
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(value));
}

/// One open file of a Kernel, closed on destruction. Made from what Kernel::open answered: on
/// failure it is empty and get() is the -errno.
class FileDescriptor {
  public:
    FileDescriptor() = default;
    FileDescriptor(Kernel& kernel, int fd) : kernel_(&kernel), fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept
        : kernel_(other.kernel_), fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            reset();
            kernel_ = other.kernel_;
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset() {
        if (fd_ >= 0) kernel_->close(std::exchange(fd_, -1));
    }

  private:
    Kernel* kernel_ = nullptr;
    int fd_ = -1;
};

}  // namespace evdev
