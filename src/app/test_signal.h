// The built-in synthetic telemetry of "--test": a frame from the elapsed time alone.
#pragma once

#include <string_view>

#include "telemetry/telemetry_frame.h"

namespace torvane {

/// Length of the test signal in seconds: the pass in which t exceeds it is the last one.
inline constexpr double kTestSignalSeconds = 6.0;

/// The test modes "--test-mode" knows; any other text switches every group off.
inline constexpr std::string_view kTestModes[] = {"all", "self", "steer", "road", "curb", "engine"};

/// The test frame at t seconds after the loop started, with the groups that testMode switches on
/// ("self", "steer", "road", "curb", "engine", or "all"; any other text switches none on).
TelemetryFrame makeTestFrame(double t, std::string_view testMode);

}  // namespace torvane
