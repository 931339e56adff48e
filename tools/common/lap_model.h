// A synthetic lap for trying the bridge without a driving application: a minute on a small track
// of straights and corners, sampled at 100 Hz as telemetry messages. The model is deliberately
// simple and deterministic (no randomness), so the same lap comes out on every machine;
// samples/lap.jsonl is its output (torvane-send --lap --write samples/lap.jsonl):
//
// - The track is a list of segments, each a straight or a corner of a fixed duration. A corner
//   has a direction and a strength; its aligning torque rises and falls with a smooth envelope
//   over the corner, its sign the corner's direction (right-hand corners negative).
// - Speed follows a target: the top speed on straights, the corner's speed in corners and in the
//   braking zone before them, with limited acceleration and stronger braking.
// - The engine has six gears: its speed is the car's speed times the gear's ratio; it shifts up
//   above 7000 rpm and down below 3500 rpm. engineHz is the engine speed in revolutions per
//   second; engineGain grows with the throttle.
// - Corners marked so have a curb on their last second (curb true, a pulsing curbPulse).
// - One straight has rough road (higher roadGain and vertical acceleration); one corner runs
//   wide onto the grass for a moment at its exit (offroad true).
#pragma once

#include <string>
#include <vector>

#include "telemetry/telemetry_frame.h"

namespace torvane::tools {

inline constexpr double kLapSampleRate = 100.0;  ///< samples per second

struct LapSample {
    double time = 0.0;  ///< seconds since the start of the lap
    TelemetryFrame frame;
};

/// The whole lap, one sample every 10 ms, about a minute long.
std::vector<LapSample> generateLap();

/// One telemetry message as a JSON line (no line feed): "t" first, then the eleven keys with a
/// fixed number of decimals, so the text is the same on every platform.
std::string formatTelemetryLine(double time, const TelemetryFrame& frame);

}  // namespace torvane::tools
