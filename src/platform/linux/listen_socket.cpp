#include "platform/listen_socket.h"

#include <sys/socket.h>

namespace platform {

void prepareListeningSocket(std::uintptr_t socket, int sendBufferBytes) {
    const int fd = static_cast<int>(socket);
    const int yes = 1;
    // Not SO_REUSEPORT: that would let another process share the port and its connections.
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBufferBytes, sizeof sendBufferBytes);
}

bool acceptPolls() {
    return false;
}

}  // namespace platform
