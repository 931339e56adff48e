#include "tools/common/lap_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace torvane::tools {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kStep = 1.0 / kLapSampleRate;

struct Segment {
    double duration;     ///< seconds
    double turn;         ///< peak aligning torque; 0 on a straight, negative for a right-hander
    double cornerSpeed;  ///< m/s through the corner
    bool curbOnExit;
    bool rough;
    bool offroadOnExit;
};

// 60 seconds: four corners of different kinds between straights.
constexpr std::array<Segment, 9> kTrack{{
    {8.0, 0.0, 0.0, false, false, false},    // start straight
    {5.0, -0.55, 32.0, true, false, false},  // fast right-hander, curb on the exit
    {6.0, 0.0, 0.0, false, true, false},     // straight with rough road
    {4.0, 0.70, 24.0, true, false, false},   // left-hander, curb on the exit
    {7.0, 0.0, 0.0, false, false, false},    //
    {6.0, -0.85, 17.0, false, false, true},  // hairpin, runs wide onto the grass at the exit
    {9.0, 0.0, 0.0, false, false, false},    // back straight
    {6.0, 0.45, 38.0, true, false, false},   // long left sweeper, curb on the exit
    {9.0, 0.0, 0.0, false, false, false},    // finish straight
}};

constexpr double kStartSpeed = 45.0;   // m/s; the finish straight brakes back to it
constexpr double kTopSpeed = 62.0;     // m/s
constexpr double kAcceleration = 5.0;  // m/s^2
constexpr double kBraking = 14.0;      // m/s^2
constexpr double kBrakingZone = 1.5;   // seconds before a corner
constexpr double kCurbLength = 1.0;    // seconds at the end of a corner
constexpr double kOffroadStart = 1.2;  // seconds before the end of the corner
constexpr double kOffroadEnd = 0.4;
// Engine revolutions per minute for each m/s of car speed, gears 1 to 6.
constexpr std::array<double, 6> kRpmPerSpeed{470.0, 330.0, 245.0, 185.0, 140.0, 110.0};
constexpr double kShiftUpRpm = 7000.0;
constexpr double kShiftDownRpm = 3500.0;
constexpr double kIdleRpm = 1000.0;

double wave(double frequency, double time) {
    return std::sin(2.0 * kPi * frequency * time);
}

}  // namespace

std::vector<LapSample> generateLap() {
    double lapLength = 0.0;
    for (const Segment& segment : kTrack) lapLength += segment.duration;
    const auto count = static_cast<std::size_t>(std::lround(lapLength * kLapSampleRate));

    std::vector<LapSample> lap;
    lap.reserve(count);
    double speed = kStartSpeed;
    std::size_t gear = 4;  // index into kRpmPerSpeed: fifth gear at the start speed
    std::size_t index = 0;
    double segmentStart = 0.0;
    for (std::size_t n = 0; n < count; ++n) {
        const double time = static_cast<double>(n) * kStep;
        while (index + 1 < kTrack.size() && time >= segmentStart + kTrack[index].duration)
            segmentStart += kTrack[index++].duration;
        const Segment& segment = kTrack[index];
        const double into = time - segmentStart;
        const double left = segment.duration - into;
        const bool corner = segment.turn != 0.0;

        double target = corner ? segment.cornerSpeed : kTopSpeed;
        if (!corner && left < kBrakingZone)
            target = index + 1 < kTrack.size() ? kTrack[index + 1].cornerSpeed : kStartSpeed;
        const bool offroad = segment.offroadOnExit && left <= kOffroadStart && left > kOffroadEnd;
        double throttle = corner ? 0.35 : 0.0;
        if (target > speed) {
            speed = std::min(target, speed + kAcceleration * kStep);
            throttle = 1.0;
        } else if (target < speed) {
            speed = std::max(target, speed - kBraking * kStep);
            throttle = 0.0;
        }
        if (offroad) speed -= 4.0 * kStep;  // the grass slows the car

        if (speed * kRpmPerSpeed[gear] > kShiftUpRpm && gear + 1 < kRpmPerSpeed.size()) ++gear;
        if (speed * kRpmPerSpeed[gear] < kShiftDownRpm && gear > 0) --gear;
        const double rpm = std::max(kIdleRpm, speed * kRpmPerSpeed[gear]);

        // 0 -> 1 -> 0 over the corner: the load builds on entry and fades on exit.
        const double envelope = corner ? std::sin(kPi * into / segment.duration) : 0.0;
        const bool curb = segment.curbOnExit && left <= kCurbLength;

        TelemetryFrame frame;
        frame.aligningTorque = segment.turn * envelope + 0.02 * wave(0.7, time);
        frame.engineHz = rpm / 60.0;
        frame.engineGain = 0.12 + 0.2 * throttle;
        frame.roadGain = segment.rough ? 0.35 : offroad ? 0.25 : 0.06;
        frame.verticalAccel =
            (segment.rough ? 6.0 : 1.0) * (0.6 * wave(1.3, time) + 0.3 * wave(3.7, time));
        if (offroad) frame.verticalAccel += 4.0 * wave(5.0, time);
        if (curb) frame.verticalAccel += 3.0 * wave(8.0, time);
        frame.curb = curb;
        frame.curbPulse = curb ? 0.5 + 0.5 * std::abs(wave(4.0, into)) : 0.0;
        frame.offroad = offroad;
        frame.speed = speed;
        frame.tireSlip = 0.03 + 0.12 * envelope * std::abs(segment.turn) + (offroad ? 0.2 : 0.0);
        frame.tractionSlip = 0.01 + 0.05 * throttle * (gear < 2 ? 1.0 : 0.3);
        lap.push_back({time, frame});
    }
    return lap;
}

std::string formatTelemetryLine(double time, const TelemetryFrame& frame) {
    char text[400];
    const int length = std::snprintf(
        text, sizeof text,
        "{\"t\":%.2f,\"aligningTorque\":%.4f,\"engineHz\":%.2f,\"engineGain\":%.3f,"
        "\"roadGain\":%.3f,\"curbPulse\":%.3f,\"tireSlip\":%.4f,\"tractionSlip\":%.4f,"
        "\"speed\":%.2f,\"verticalAccel\":%.3f,\"curb\":%s,\"offroad\":%s}",
        time, frame.aligningTorque, frame.engineHz, frame.engineGain, frame.roadGain,
        frame.curbPulse, frame.tireSlip, frame.tractionSlip, frame.speed, frame.verticalAccel,
        frame.curb ? "true" : "false", frame.offroad ? "true" : "false");
    return std::string(text, static_cast<std::size_t>(std::clamp(length, 0, 399)));
}

}  // namespace torvane::tools
