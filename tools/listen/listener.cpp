#include "tools/listen/listener.h"

#include <algorithm>
#include <cstdio>

#include "telemetry/telemetry_frame.h"

namespace torvane::tools {
namespace {

constexpr std::size_t kLongestButtonList = 60;  // keeps the live line within one terminal row

}  // namespace

ListenerOpenResult DatagramListener::open(unsigned short port) {
    if (!network_.start()) return ListenerOpenResult::NetworkUnavailable;
    socket_ = platform::Socket(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    const sockaddr_in address = platform::loopbackAddress(port);
    if (!socket_.valid() || bind(socket_.get(), reinterpret_cast<const sockaddr*>(&address),
                                 static_cast<int>(sizeof address)) == SOCKET_ERROR)
        return ListenerOpenResult::BindFailed;
    u_long nonBlocking = 1;
    ioctlsocket(socket_.get(), FIONBIO, &nonBlocking);
    return ListenerOpenResult::Opened;
}

std::optional<std::string_view> DatagramListener::receive() {
    const int received =
        recv(socket_.get(), buffer_.data(), static_cast<int>(buffer_.size() - 1), 0);
    if (received <= 0) return std::nullopt;
    return std::string_view(buffer_.data(), static_cast<std::size_t>(received));
}

bool DatagramListener::sendTo(unsigned short port, std::string_view text) {
    const sockaddr_in address = platform::loopbackAddress(port);
    return sendto(socket_.get(), text.data(), static_cast<int>(text.size()), 0,
                  reinterpret_cast<const sockaddr*>(&address),
                  static_cast<int>(sizeof address)) == static_cast<int>(text.size());
}

std::string printableLine(std::string_view datagram) {
    std::string line(datagram);
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return line;
}

std::string formatLiveLine(std::string_view report) {
    static constexpr std::string_view kAxes[][2] = {
        {"x", "x"},   {"y", "y"},   {"z", "z"},        {"rx", "rx"},
        {"ry", "ry"}, {"rz", "rz"}, {"slider0", "s0"}, {"slider1", "s1"}};
    std::string line;
    for (const auto& [key, label] : kAxes) {
        const double value = readNumberField(report, key).value_or(0.0);
        char number[32];
        std::snprintf(number, sizeof number, "%.0f", std::clamp(value, -1e12, 1e12));
        line.append(label).append(" ").append(number).append("  ");
    }
    line += "buttons ";
    constexpr std::string_view kButtons = "\"buttons\":[";
    const std::size_t start = report.find(kButtons);
    if (start != std::string_view::npos) {
        std::size_t written = 0;
        for (std::size_t i = start + kButtons.size(); i < report.size() && report[i] != ']'; ++i) {
            const char c = report[i];
            if ((c < '0' || c > '9') && c != ',') continue;
            if (++written > kLongestButtonList) {
                line += "...";
                break;
            }
            line += c;
        }
    }
    return line;
}

}  // namespace torvane::tools
