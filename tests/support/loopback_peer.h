// The other end of the bridge's sockets in tests: a UDP socket on 127.0.0.1 that sends datagrams
// and, when bound, receives them without ever blocking for long.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

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
    /// Binds to 127.0.0.1:port; false when the port is taken.
    bool bindTo(unsigned short port) {
        const sockaddr_in address = platform::loopbackAddress(port);
        return bind(socket_.get(), reinterpret_cast<const sockaddr*>(&address),
                    static_cast<int>(sizeof address)) == 0;
    }
    /// Sends one datagram to 127.0.0.1:port; true when the whole text was sent.
    bool sendTo(unsigned short port, std::string_view text) {
        const sockaddr_in address = platform::loopbackAddress(port);
        return sendto(socket_.get(), text.data(), static_cast<int>(text.size()), 0,
                      reinterpret_cast<const sockaddr*>(&address),
                      static_cast<int>(sizeof address)) == static_cast<int>(text.size());
    }
    /// The next datagram, or nothing once timeout has passed.
    std::optional<std::string> receive(
        std::chrono::milliseconds timeout = std::chrono::milliseconds(2000)) {
        std::vector<char> buffer(65536);
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        do {
            const int n = recv(socket_.get(), buffer.data(), static_cast<int>(buffer.size()), 0);
            if (n >= 0) return std::string(buffer.data(), static_cast<std::size_t>(n));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } while (std::chrono::steady_clock::now() < deadline);
        return std::nullopt;
    }

  private:
    platform::WinsockSession network_;
    platform::Socket socket_;
};

}  // namespace fake
