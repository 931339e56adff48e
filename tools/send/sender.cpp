#include "tools/send/sender.h"

#include <optional>

#include "telemetry/telemetry_frame.h"

namespace torvane::tools {

std::vector<ScheduledMessage> scheduleLines(std::istream& lines, double rate) {
    std::vector<ScheduledMessage> messages;
    std::optional<double> firstStamp;
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        // The bridge's own reader finds "t", so a line is timed exactly as the bridge reads it.
        const std::optional<double> stamp = readNumberField(line, "t");
        double due = messages.empty() ? 0.0 : messages.back().time + 1.0 / rate;
        if (stamp) {
            if (!firstStamp) firstStamp = *stamp - due;
            if (!messages.empty() && *stamp - *firstStamp >= messages.back().time)
                due = *stamp - *firstStamp;
        }
        messages.push_back({due, std::move(line)});
    }
    return messages;
}

bool DatagramSender::open(unsigned short port) {
    port_ = port;
    if (!network_.start()) return false;
    socket_ = platform::Socket(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    return socket_.valid();
}

bool DatagramSender::send(std::string_view text) {
    const sockaddr_in address = platform::loopbackAddress(port_);
    return sendto(socket_.get(), text.data(), static_cast<int>(text.size()), 0,
                  reinterpret_cast<const sockaddr*>(&address),
                  static_cast<int>(sizeof address)) == static_cast<int>(text.size());
}

}  // namespace torvane::tools
