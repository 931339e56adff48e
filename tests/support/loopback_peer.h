// The other end of the bridge's sockets in tests: a UDP socket on 127.0.0.1 that sends datagrams
// and, when bound, receives them without ever blocking for long.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "platform/resources.h"

namespace fake {

class LoopbackPeer {
  public:
    LoopbackPeer();

    /// Binds to 127.0.0.1:port; false when the port is taken.
    bool bindTo(unsigned short port);
    /// Sends one datagram to 127.0.0.1:port; true when the whole text was sent.
    bool sendTo(unsigned short port, std::string_view text);
    /// The next datagram, or nothing once timeout has passed.
    std::optional<std::string> receive(
        std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));

  private:
    platform::WinsockSession network_;
    platform::Socket socket_;
};

}  // namespace fake
