// The sending half of torvane-send: the messages to send with their times, and the socket that
// sends them to the bridge.
#pragma once

#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/resources.h"

namespace torvane::tools {

inline constexpr unsigned short kTelemetryDestinationPort = 8766;
/// The longest datagram the bridge reads whole; it drops longer ones.
inline constexpr std::size_t kLongestTelemetryMessage = 8191;

struct ScheduledMessage {
    double time = 0.0;  ///< seconds after the first message
    std::string text;
};

/// The messages of a JSON-lines text, one per non-blank line, sent as they are. A line with a
/// numeric "t" (seconds) is due t minus the first line's t after the start; a line without one,
/// or whose t goes backwards, is due 1/rate after the line before it. Trailing carriage returns
/// are dropped, so files with Windows line ends work too.
std::vector<ScheduledMessage> scheduleLines(std::istream& lines, double rate);

/// One UDP socket that sends datagrams to 127.0.0.1:port.
class DatagramSender {
  public:
    /// Starts Windows Sockets and creates the socket; false when either fails.
    bool open(unsigned short port = kTelemetryDestinationPort);
    /// Sends text as one datagram; true when all of it was sent.
    bool send(std::string_view text);

  private:
    platform::WinsockSession network_;
    platform::Socket socket_;
    unsigned short port_ = kTelemetryDestinationPort;
};

}  // namespace torvane::tools
