#include "support/loopback_peer.h"

#include <thread>
#include <vector>

namespace fake {

LoopbackPeer::LoopbackPeer() {
    network_.start();
    socket_ = platform::Socket(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    u_long nonBlocking = 1;
    ioctlsocket(socket_.get(), FIONBIO, &nonBlocking);
}

bool LoopbackPeer::bindTo(unsigned short port) {
    const sockaddr_in address = platform::loopbackAddress(port);
    return bind(socket_.get(), reinterpret_cast<const sockaddr*>(&address),
                static_cast<int>(sizeof address)) == 0;
}

bool LoopbackPeer::sendTo(unsigned short port, std::string_view text) {
    const sockaddr_in address = platform::loopbackAddress(port);
    return sendto(socket_.get(), text.data(), static_cast<int>(text.size()), 0,
                  reinterpret_cast<const sockaddr*>(&address),
                  static_cast<int>(sizeof address)) == static_cast<int>(text.size());
}

std::optional<std::string> LoopbackPeer::receive(std::chrono::milliseconds timeout) {
    std::vector<char> buffer(65536);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        const int n = recv(socket_.get(), buffer.data(), static_cast<int>(buffer.size()), 0);
        if (n >= 0) return std::string(buffer.data(), static_cast<std::size_t>(n));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
}

}  // namespace fake
