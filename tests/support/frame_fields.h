// The telemetry frame's numbers by their message keys, for tests that go through every one.
#pragma once

#include <utility>

#include "telemetry/telemetry_frame.h"

namespace fake {

using Frame = torvane::TelemetryFrame;
inline constexpr std::pair<const char*, double Frame::*> kFrameNumbers[] = {
    {"aligningTorque", &Frame::aligningTorque}, {"engineHz", &Frame::engineHz},
    {"engineGain", &Frame::engineGain},         {"roadGain", &Frame::roadGain},
    {"curbPulse", &Frame::curbPulse},           {"tireSlip", &Frame::tireSlip},
    {"tractionSlip", &Frame::tractionSlip},     {"speed", &Frame::speed},
    {"verticalAccel", &Frame::verticalAccel}};

}  // namespace fake
