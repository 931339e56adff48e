// The driving application's end of the telemetry socket in tests: sends datagrams to 127.0.0.1.
#pragma once

#include <string_view>

#include "platform/resources.h"

namespace fake {

class LoopbackPeer {
  public:
    LoopbackPeer() {
        network_.start();
        socket_ = platform::Socket(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
        u_long nonBlocking = 1;
        ioctlsocket(socket_.get(), FIONBIO, &nonBlocking);
    }
    /// Sends one datagram to 127.0.0.1:port; true when the whole text was sent.
    bool sendTo(unsigned short port, std::string_view text) {
        const sockaddr_in address = platform::loopbackAddress(port);
        return sendto(socket_.get(), text.data(), static_cast<int>(text.size()), 0,
                      reinterpret_cast<const sockaddr*>(&address),
                      static_cast<int>(sizeof address)) == static_cast<int>(text.size());
    }

  private:
    platform::WinsockSession network_;
    platform::Socket socket_;
};

}  // namespace fake
