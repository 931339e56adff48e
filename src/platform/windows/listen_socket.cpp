#include "platform/listen_socket.h"

#include <winsock2.h>

namespace platform {

void prepareListeningSocket(std::uintptr_t socket, int sendBufferBytes) {
    const auto s = static_cast<SOCKET>(socket);
    const BOOL yes = TRUE;
    setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes), sizeof yes);
    setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&sendBufferBytes),
               sizeof sendBufferBytes);
}

bool acceptPolls() {
    return true;
}

}  // namespace platform
