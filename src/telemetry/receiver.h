// The UDP socket on which telemetry arrives: 127.0.0.1:8766, non-blocking, drained every pass.
#pragma once

#include <array>
#include <cstdint>

#include "platform/resources.h"
#include "telemetry/source.h"
#include "telemetry/telemetry_frame.h"

namespace torvane {

inline constexpr unsigned short kTelemetryPort = 8766;

enum class ReceiverOpenResult {
    Opened,
    NetworkUnavailable,  ///< WSAStartup failed
    BindFailed,          ///< the telemetry socket could not be created or bound
};

class TelemetryReceiver final : public TelemetrySource {
  public:
    /// Starts Windows Sockets 2.2 in network, creates the telemetry socket, binds it to
    /// 127.0.0.1:8766 with no socket options, and makes it non-blocking.
    ReceiverOpenResult open(platform::WinsockSession& network);

    /// Takes every waiting datagram without blocking. Each one of 1..8191 bytes is parsed and
    /// replaces latest, and sets lastTelemetryTime to now; a zero-length datagram, an oversized
    /// one or any receive error ends this pass's draining, and so does the kMaxDatagramsPerPass-th
    /// datagram, so that a sender flooding the port cannot hold the loop in one pass: the rest
    /// waits for the next pass, 4 ms later. Allocates nothing.
    void drain(std::int64_t now, TelemetryFrame& latest, std::int64_t& lastTelemetryTime) override;

    void close() { socket_.close(); }

    /// Datagrams taken and parsed since the start, for the monitor's rate.
    std::uint64_t datagramsReceived() const override { return datagramsReceived_; }

    /// The telemetry socket, for a wait until a datagram arrives; INVALID_SOCKET when not open.
    SOCKET socketHandle() const override { return socket_.get(); }

  private:
    static constexpr int kBufferSize = 8192;
    /// Far more than the socket's receive queue holds at once: it only binds while a sender keeps
    /// sending faster than the pass can parse.
    static constexpr int kMaxDatagramsPerPass = 1024;
    platform::Socket socket_;
    std::array<char, kBufferSize> buffer_{};
    std::uint64_t datagramsReceived_ = 0;
};

}  // namespace torvane
