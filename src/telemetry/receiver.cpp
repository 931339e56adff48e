#include "telemetry/receiver.h"

#include <string_view>

namespace torvane {

ReceiverOpenResult TelemetryReceiver::open(platform::WinsockSession& network) {
    if (!network.start()) return ReceiverOpenResult::NetworkUnavailable;
    socket_ = platform::Socket(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    // Loopback only: no other machine can send forces to the wheel.
    const sockaddr_in address = platform::loopbackAddress(kTelemetryPort);
    if (!socket_.valid() || bind(socket_.get(), reinterpret_cast<const sockaddr*>(&address),
                                 static_cast<int>(sizeof address)) == SOCKET_ERROR)
        return ReceiverOpenResult::BindFailed;
    u_long nonBlocking = 1;
    ioctlsocket(socket_.get(), FIONBIO, &nonBlocking);
    return ReceiverOpenResult::Opened;
}

void TelemetryReceiver::drain(std::int64_t now, TelemetryFrame& latest,
                              std::int64_t& lastTelemetryTime) {
    if (!socket_.valid()) return;
    for (int taken = 0; taken < kMaxDatagramsPerPass; ++taken) {
        const int received = recv(socket_.get(), buffer_.data(), kBufferSize - 1, 0);
        if (received <= 0) return;  // nothing waiting, an empty or oversized datagram, an error
        buffer_[static_cast<std::size_t>(received)] = '\0';
        latest = parseTelemetryFrame(
            std::string_view(buffer_.data(), static_cast<std::size_t>(received)));
        lastTelemetryTime = now;
        ++datagramsReceived_;
    }
}

}  // namespace torvane
