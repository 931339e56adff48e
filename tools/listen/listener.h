// The receiving half of torvane-listen: a non-blocking socket bound to 127.0.0.1:8767, and the
// two ways of showing a raw-input message.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "platform/resources.h"

namespace torvane::tools {

inline constexpr unsigned short kRawInputListenPort = 8767;

enum class ListenerOpenResult { Opened, NetworkUnavailable, BindFailed };

/// One UDP socket bound to 127.0.0.1:port (port 0: one the system chooses) that never blocks.
class DatagramListener {
  public:
    ListenerOpenResult open(unsigned short port = kRawInputListenPort);
    /// The next waiting datagram (valid until the next call), or nothing when none is waiting.
    /// Empty, oversized (over 8191 bytes) and failed receives count as none.
    std::optional<std::string_view> receive();
    /// Sends text from this socket to 127.0.0.1:port (a game that answers to the sender's
    /// address); true when all of it was sent.
    bool sendTo(unsigned short port, std::string_view text);
    /// The socket, for waiting until a datagram arrives.
    SOCKET handle() const { return socket_.get(); }

  private:
    platform::WinsockSession network_;
    platform::Socket socket_;
    std::array<char, 8192> buffer_{};
};

/// The datagram as one printable line: bytes below 0x20 and 0x7F become '?', so a hostile
/// datagram can neither break the one-message-per-line output nor steer the terminal.
std::string printableLine(std::string_view datagram);

/// A compact summary of a raw-input message for a live terminal line, for example
/// "x -1532  y 10000  z -10000  rx 0  ry 0  rz 0  s0 0  s1 0  buttons 0,12". Values are read
/// with the bridge's tolerant reader (absent values show as 0); the button list keeps only
/// digits and commas and is cut short when long.
std::string formatLiveLine(std::string_view report);

}  // namespace torvane::tools
