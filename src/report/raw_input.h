// The wheel's input state, read from the device and sent to the driving application as one
// "raw-input" JSON datagram.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "platform/platform.h"
#include "platform/resources.h"

namespace torvane {

/// The raw-input message text in fixed storage, so building it allocates nothing. 586 bytes is
/// the longest possible message (every axis at the most negative LONG, all 128 buttons pressed).
struct RawInputText {
    static constexpr std::size_t kCapacity = 586;
    std::array<char, kCapacity> bytes{};
    std::size_t length = 0;

    std::string_view view() const { return {bytes.data(), length}; }
};

/// The raw-input message for state: the eight axes and the indexes of the pressed buttons, with
/// no white space and no terminator.
RawInputText formatRawInputReport(const DIJOYSTATE2& state);

inline constexpr unsigned short kReportPort = 8767;

/// Sends the wheel's state to 127.0.0.1:8767. The socket is created by the telemetry receiver's
/// open, right after its own, and is never bound.
class RawInputReporter {
  public:
    /// Creates the report socket, once Windows Sockets has started; a socket that cannot be made
    /// leaves every send failing silently.
    void open() { socket_ = platform::Socket(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)); }

    /// One report: sends state in one datagram and keeps its X axis; the send's result is not
    /// examined.
    void sendRawInput(const DIJOYSTATE2& state);

    void close() { socket_.close(); }

    /// The X axis of the last state a report read, for the monitor and the trace; hasReadState
    /// says whether any report has read one yet.
    LONG lastX() const { return lastX_; }
    LONG lastY() const { return lastY_; }
    LONG lastZ() const { return lastZ_; }
    bool hasReadState() const { return hasReadState_; }

  private:
    platform::Socket socket_;
    LONG lastX_ = 0;
    LONG lastY_ = 0;
    LONG lastZ_ = 0;
    bool hasReadState_ = false;
};

}  // namespace torvane
