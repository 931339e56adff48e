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

/// Poll (on failure switch autocentering off and Acquire, both results unreported, and Poll once
/// more), then GetDeviceState of the 272-byte DIJOYSTATE2; true when the state was read.
/// reacquired tells whether that Acquire succeeded: DirectInput stops and unloads a device's
/// effects when it loses it, so whoever plays them has to start them again.
bool pollControllerState(IDirectInputDevice8W& device, DIJOYSTATE2& state, bool& reacquired);

/// The same, for a reader that plays no effects.
bool pollControllerState(IDirectInputDevice8W& device, DIJOYSTATE2& state);

/// The raw-input message for state: the eight axes and the indexes of the pressed buttons, with
/// no white space and no terminator.
RawInputText formatRawInputReport(const DIJOYSTATE2& state);

inline constexpr unsigned short kReportPort = 8767;

/// Sends the wheel's state to 127.0.0.1:8767. The socket is created by the telemetry receiver's
/// open, right after its own, and is never bound.
class RawInputReporter {
  public:
    /// Takes the report socket (possibly invalid: then every send fails silently).
    void adopt(platform::Socket socket) { socket_ = std::move(socket); }

    /// One report: reads the state and, if that worked, sends it in one datagram. Returns whether
    /// the state was read, and sets reacquired as pollControllerState does; the send's result is
    /// not examined.
    bool sendRawInput(IDirectInputDevice8W& device, bool& reacquired);

    void close() { socket_.close(); }

    /// The X axis of the last state a report read, for the monitor and the trace; hasReadState
    /// says whether any report has read one yet.
    LONG lastX() const { return lastX_; }
    bool hasReadState() const { return hasReadState_; }

  private:
    platform::Socket socket_;
    LONG lastX_ = 0;
    bool hasReadState_ = false;
};

}  // namespace torvane
