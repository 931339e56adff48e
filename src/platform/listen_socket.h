// The options of a listening TCP socket that the platforms spell differently.
#pragma once

#include <cstdint>

namespace platform {

/// Before bind: on Windows no other program may bind the same port beside ours (exclusive use);
/// elsewhere the port may be bound again at once after a restart, while the last run's
/// connections linger. Accepted connections inherit sendBufferBytes as their send buffer, which
/// bounds how much waits for a client that stops reading.
void prepareListeningSocket(std::uintptr_t socket, int sendBufferBytes);

/// Whether an HTTP server here waits for connections in timed polls (Windows) rather than in a
/// blocking accept.
bool acceptPolls();

}  // namespace platform
