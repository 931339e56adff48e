#include "telemetry/test_signal.h"

#include <cmath>

namespace torvane {
namespace {

bool groupActive(std::string_view testMode, std::string_view group) {
    return testMode == "all" || testMode == group;
}

}  // namespace

TelemetryFrame makeTestFrame(double t, std::string_view testMode) {
    TelemetryFrame frame;

    // 0 at the start, 1 from the end of the signal on.
    double ramp = t / kTestSignalSeconds;
    if (ramp > 1.0) {
        ramp = 1.0;
    } else if (ramp < 0.0) {
        ramp = 0.0;
    }

    // The engine frequency and the speed are always present, so the engine sine and the damper
    // have something to work with in every mode.
    frame.engineHz = ramp * 108.0 + 12.0;
    frame.speed = 45.0;

    // A slow swing of the constant force: 0.9 rad/s.
    if (groupActive(testMode, "self")) frame.aligningTorque = 0.85 * std::sin(0.9 * t);
    // A steady pull; with "all" it overrides the swing.
    if (groupActive(testMode, "steer")) frame.aligningTorque = 0.85;
    if (groupActive(testMode, "road")) {
        frame.verticalAccel = 0.8 * std::sin(18.0 * t);
        frame.roadGain = 0.75;
    }
    // A 0.18 s curb pulse every 1.1 s, the first one at t = 0.
    if (groupActive(testMode, "curb")) {
        frame.curb = std::fmod(t, 1.1) < 0.18;
        frame.curbPulse = frame.curb ? 1.0 : 0.0;
    }
    if (groupActive(testMode, "engine")) frame.engineGain = ramp * 0.58 + 0.12;

    return frame;
}

void TestSignal::drain(std::int64_t now, TelemetryFrame& latest, std::int64_t& lastTelemetryTime) {
    const double t = static_cast<double>(now - loopStartTime_) / 1'000'000'000.0;
    latest = makeTestFrame(t, testMode_);
    lastTelemetryTime = now;
    if (t > kTestSignalSeconds) ended_ = true;
}

}  // namespace torvane
