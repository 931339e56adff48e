// The mapping of one telemetry frame, the user gain and the tuning onto the five effects. Every
// frame is mapped afresh: the formulas keep nothing between calls.
#include "ffb/force_synthesis.h"

#include <algorithm>
#include <cmath>

namespace torvane {
namespace {

// The engine's vibration: the game's engine gain, raised so that a revving engine is felt.
constexpr double kEngineGainScale = 2.2;
constexpr double kEngineLowestHz = 8.0;  // below, a sine on a wheel is a knock, not a hum
constexpr double kEngineHighestHz = 180.0;
// The road's texture: vertical acceleration (m/s^2) as roughness, plus the game's road gain, and
// a fixed roughness off the road. Its frequency rises with speed (m/s) up to kRoadTopSpeed.
constexpr double kRoadPerVerticalAccel = 0.035;
constexpr double kOffroadRoughness = 0.18;
constexpr double kRoadBaseHz = 35.0;
constexpr double kRoadHzPerSpeed = 1.35;
constexpr double kRoadTopSpeed = 90.0;
// The curb's rumble: a pulse of at least kCurbLeastPulse while on the curb, faster with speed.
constexpr double kCurbLeastPulse = 0.1;
constexpr double kCurbBaseHz = 55.0;
constexpr double kCurbHzPerSpeed = 1.8;
constexpr double kCurbTopSpeed = 70.0;
// The damper: a fixed weight before the gain, so that the rim never spins freely.
constexpr double kDamperStrength = 0.25;

// hi above, lo below, v in between. The frame is finite when it comes from the reader, but a
// NaN (or one made here from infinities, such as inf - inf) must never become a force or reach
// an integer conversion, so it counts as 0 before limiting: no force, or the lowest frequency.
double limit(double v, double lo, double hi) {
    if (std::isnan(v)) v = 0.0;
    if (v > hi) return hi;
    if (v < lo) return lo;
    return v;
}

// Whether limit(v, lo, hi) changes v: the value was clipped (a NaN counts as clipped).
bool outside(double v, double lo, double hi) {
    return !(v >= lo && v <= hi);
}

// An effect's fraction of full scale after the gain, times its strength, held to the hard
// maximum; clipped tells when the maximum bound. With the default strength of 1 the product is
// exact and never reaches past the maximum, so the result is the fraction itself.
double strengthen(double fraction, double strength, bool& clipped) {
    const double strong = fraction * limit(strength, 0.0, kMaxStrength);
    clipped = outside(strong, -kMaxGain, kMaxGain);
    return limit(strong, -kMaxGain, kMaxGain);
}

// Gear- and belt-driven wheels do not move below some force: a steering force is raised toward
// minimum, keeping its sign, along a continuous curve so that a torque that wobbles around 0 never
// becomes a knock of twice the minimum. Near 0 the force plays kMinForceRamp times itself (0 stays
// no force), from minimum / kMinForceRamp up to minimum it plays the minimum, above that as is.
double raiseToMinimum(double force, double minimum) {
    minimum = limit(minimum, 0.0, kMaxMinForce);
    const double size = std::abs(force);
    const double raised = std::max(size, std::min(size * kMinForceRamp, minimum));
    return std::copysign(raised, force);
}

}  // namespace

ForceTargets synthesizeForces(const TelemetryFrame& frame, double gain, const ForceTuning& tuning,
                              bool invert) {
    // The command line already holds the gain to 0..0.35; holding it here too keeps the wheel
    // safe whatever a caller passes.
    gain = limit(gain, 0.0, kMaxGain);
    ForceTargets targets{};
    bool capped = false;

    const double torque = invert ? -frame.aligningTorque : frame.aligningTorque;
    const double steering = strengthen(gain * limit(torque, -1.0, 1.0), tuning.steering, capped);
    targets[kConstantForce] = {
        raiseToMinimum(steering, tuning.minForce), 0.0, outside(torque, -1.0, 1.0) || capped,
        gain * limit(torque, -100.0, 100.0) * limit(tuning.steering, 0.0, kMaxStrength)};

    const double engine = frame.engineGain * kEngineGainScale;
    targets[kEngineSine].magnitude =
        strengthen(gain * limit(engine, 0.0, 1.0), tuning.engine, capped);
    targets[kEngineSine].frequency = limit(frame.engineHz, kEngineLowestHz, kEngineHighestHz);
    targets[kEngineSine].clipped = outside(engine, 0.0, 1.0) || capped;

    double road = std::abs(frame.verticalAccel) * kRoadPerVerticalAccel + frame.roadGain;
    if (frame.offroad) road += kOffroadRoughness;
    targets[kRoadSine].magnitude = strengthen(gain * limit(road, 0.0, 1.0), tuning.road, capped);
    targets[kRoadSine].frequency =
        limit(frame.speed, 0.0, kRoadTopSpeed) * kRoadHzPerSpeed + kRoadBaseHz;
    targets[kRoadSine].clipped = outside(road, 0.0, 1.0) || capped;

    // Zero magnitude off the curb rather than stopped, so it never needs restarting.
    const double pulse = std::abs(frame.curbPulse);
    targets[kCurbSquare].magnitude = strengthen(
        frame.curb ? gain * limit(pulse, kCurbLeastPulse, 1.0) : 0.0, tuning.curb, capped);
    targets[kCurbSquare].frequency =
        limit(frame.speed, 0.0, kCurbTopSpeed) * kCurbHzPerSpeed + kCurbBaseHz;
    targets[kCurbSquare].clipped = (frame.curb && outside(pulse, kCurbLeastPulse, 1.0)) || capped;

    // A fixed strength before the gain: only the hard maximum can clip it.
    targets[kDamper].magnitude = strengthen(gain * kDamperStrength, tuning.damper, capped);
    targets[kDamper].clipped = capped;
    return targets;
}

}  // namespace torvane
