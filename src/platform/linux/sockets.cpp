// Windows Sockets 2 over BSD sockets. The program uses datagram sockets only, and so does this
// layer: recv reports an oversized datagram the way Windows does instead of truncating it.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/platform.h"

namespace {

thread_local int lastSocketError = 0;
std::atomic<int> startupCount{0};

int descriptor(SOCKET s) {
    return static_cast<int>(s);
}

int failWith(int error) {
    lastSocketError = error;
    return SOCKET_ERROR;
}

int fromErrno(int error) {
    switch (error) {
        case EAGAIN:
            return WSAEWOULDBLOCK;
        case EMSGSIZE:
            return WSAEMSGSIZE;
        case EADDRINUSE:
            return WSAEADDRINUSE;
        default:
            return 10000 + error;  // WSABASEERR + the POSIX code: never success
    }
}

}  // namespace

int WSAStartup(WORD versionRequested, LPWSADATA data) {
    if (data == nullptr) return 10014;  // WSAEFAULT
    std::memset(data, 0, sizeof *data);
    data->wVersion = MAKEWORD(2, 2);
    data->wHighVersion = MAKEWORD(2, 2);
    std::strcpy(data->szDescription, "BSD sockets");
    std::strcpy(data->szSystemStatus, "Running");
    if ((versionRequested & 0xFF) < 2) return WSAVERNOTSUPPORTED;
    ++startupCount;
    return 0;
}

int WSACleanup() {
    int count = startupCount.load();
    while (count > 0 && !startupCount.compare_exchange_weak(count, count - 1)) {
    }
    if (count <= 0) return failWith(WSANOTINITIALISED);
    return 0;
}

int WSAGetLastError() {
    return lastSocketError;
}

int closesocket(SOCKET s) {
    if (::close(descriptor(s)) != 0) return failWith(fromErrno(errno));
    return 0;
}

int ioctlsocket(SOCKET s, long command, u_long* argument) {
    if (command != static_cast<long>(FIONBIO) || argument == nullptr) return failWith(10022);
    const int flags = ::fcntl(descriptor(s), F_GETFL);
    if (flags < 0) return failWith(fromErrno(errno));
    const int wanted = *argument != 0 ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    if (::fcntl(descriptor(s), F_SETFL, wanted) != 0) return failWith(fromErrno(errno));
    return 0;
}

int bind(SOCKET s, const sockaddr* name, int nameLength) {
    if (nameLength < 0) return failWith(10014);
    if (::bind(descriptor(s), name, static_cast<socklen_t>(nameLength)) != 0)
        return failWith(fromErrno(errno));
    return 0;
}

int recv(SOCKET s, char* buffer, int length, int flags) {
    if (length < 0) return failWith(10014);
    // MSG_TRUNC makes a datagram socket report the datagram's real length, so a datagram that did
    // not fit is reported as an error, as Windows does, rather than handed on cut short.
    const ssize_t n = ::recv(descriptor(s), static_cast<void*>(buffer),
                             static_cast<std::size_t>(length), flags | MSG_TRUNC);
    if (n < 0) return failWith(fromErrno(errno));
    if (n > length) return failWith(WSAEMSGSIZE);
    return static_cast<int>(n);
}

int sendto(SOCKET s, const char* buffer, int length, int flags, const sockaddr* to, int toLength) {
    if (length < 0 || toLength < 0) return failWith(10014);
    const ssize_t n =
        ::sendto(descriptor(s), static_cast<const void*>(buffer), static_cast<std::size_t>(length),
                 flags | MSG_NOSIGNAL, to, static_cast<socklen_t>(toLength));
    if (n < 0) return failWith(fromErrno(errno));
    return static_cast<int>(n);
}
