// Where the loop's telemetry comes from: the UDP receiver, or the built-in test signal.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "telemetry/telemetry_frame.h"

namespace torvane {

class TelemetrySource {
  public:
    virtual ~TelemetrySource() = default;

    /// The loop starts at this clock reading.
    virtual void begin(std::int64_t loopStartTime) { (void)loopStartTime; }

    /// Takes what arrived up to now, without blocking or allocating: the newest frame replaces
    /// latest and now becomes lastTelemetryTime; with nothing new, both stay.
    virtual void drain(std::int64_t now, TelemetryFrame& latest,
                       std::int64_t& lastTelemetryTime) = 0;

    /// A socket whose datagram may end the loop's wait; INVALID_SOCKET: only the clock may.
    virtual SOCKET socketHandle() const = 0;

    /// Frames taken since the start, for the monitor's rate.
    virtual std::uint64_t datagramsReceived() const { return 0; }

    /// Whether the source has given all it has: the loop ends after the pass that saw it.
    virtual bool ended() const { return false; }
};

}  // namespace torvane
