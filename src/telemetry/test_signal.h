// The built-in synthetic telemetry of "--test": a frame from the elapsed time alone.
#pragma once

#include <string_view>

#include "telemetry/source.h"
#include "telemetry/telemetry_frame.h"

namespace torvane {

/// Length of the test signal in seconds: the pass in which t exceeds it is the last one.
inline constexpr double kTestSignalSeconds = 6.0;

/// The test modes "--test-mode" knows; any other text switches every group off.
inline constexpr std::string_view kTestModes[] = {"all", "self", "steer", "road", "curb", "engine"};

/// The test frame at t seconds after the loop started, with the groups that testMode switches on
/// ("self", "steer", "road", "curb", "engine", or "all"; any other text switches none on).
TelemetryFrame makeTestFrame(double t, std::string_view testMode);

/// "--test": the test signal as the loop's telemetry, for kTestSignalSeconds from the loop's start.
class TestSignal final : public TelemetrySource {
  public:
    explicit TestSignal(std::string_view testMode) : testMode_(testMode) {}

    void begin(std::int64_t loopStartTime) override { loopStartTime_ = loopStartTime; }
    /// Every pass gets a fresh frame for its time; the pass in which t exceeds the signal's
    /// length is the last one.
    void drain(std::int64_t now, TelemetryFrame& latest, std::int64_t& lastTelemetryTime) override;
    SOCKET socketHandle() const override { return INVALID_SOCKET; }
    bool ended() const override { return ended_; }

  private:
    std::string_view testMode_;
    std::int64_t loopStartTime_ = 0;
    bool ended_ = false;
};

}  // namespace torvane
