// Owners for the platform resources the program holds: each releases its resource exactly once,
// on every way out of its scope, so start-up failures and shutdown release in reverse order.
#pragma once

#include <utility>

#include "platform/platform.h"

namespace platform {

/// One reference to a COM interface, released on destruction.
template <typename Interface>
class ComPtr {
  public:
    ComPtr() = default;
    explicit ComPtr(Interface* adopted) : pointer_(adopted) {}
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            pointer_ = std::exchange(other.pointer_, nullptr);
        }
        return *this;
    }
    ~ComPtr() { reset(); }

    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    Interface& operator*() const { return *pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }

    /// Releases the current reference, if any, and returns the slot for an out parameter.
    Interface** put() {
        reset();
        return &pointer_;
    }
    void reset() {
        if (pointer_ != nullptr) std::exchange(pointer_, nullptr)->Release();
    }

  private:
    Interface* pointer_ = nullptr;
};

/// COM on the calling thread: CoUninitialize on destruction, only if initialisation succeeded.
class ComApartment {
  public:
    ComApartment() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    HRESULT result() const { return result_; }

  private:
    HRESULT result_;
};

/// Windows Sockets 2.2 for the process: WSACleanup on destruction, only if started.
class WinsockSession {
  public:
    WinsockSession() = default;
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
    ~WinsockSession() { cleanup(); }

    /// WSAStartup(2.2); true when it returned zero.
    bool start() {
        WSADATA data{};
        started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
        return started_;
    }
    void cleanup() {
        if (started_) {
            WSACleanup();
            started_ = false;
        }
    }

  private:
    bool started_ = false;
};

/// One socket, closed on destruction.
class Socket {
  public:
    Socket() = default;
    explicit Socket(SOCKET adopted) : socket_(adopted) {}
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    Socket(Socket&& other) noexcept : socket_(std::exchange(other.socket_, INVALID_SOCKET)) {}
    Socket& operator=(Socket&& other) noexcept {
        if (this != &other) {
            close();
            socket_ = std::exchange(other.socket_, INVALID_SOCKET);
        }
        return *this;
    }
    ~Socket() { close(); }

    SOCKET get() const { return socket_; }
    bool valid() const { return socket_ != INVALID_SOCKET; }
    void close() {
        if (socket_ != INVALID_SOCKET) closesocket(std::exchange(socket_, INVALID_SOCKET));
    }

  private:
    SOCKET socket_ = INVALID_SOCKET;
};

/// An IPv4 loopback address (127.0.0.1) with the given port, ready for bind or sendto.
inline sockaddr_in loopbackAddress(unsigned short port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

}  // namespace platform
