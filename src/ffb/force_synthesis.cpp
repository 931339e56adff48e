// The mapping of one telemetry frame, the user gain and the tuning onto the five effects. Every
// update recomputes every parameter from the frame and sends all of them; the only memory between
// calls is the opt-in smoothing of the constant force (and, with only changes sent, what
// each effect last accepted).

#include <algorithm>
#include <cmath>

#include "ffb/effect_set.h"

namespace torvane {
namespace {

constexpr double kUnitsPerFullScale = 10000.0;
constexpr double kMicrosecondsPerSecond = 1000000.0;
constexpr double kLowestFrequency = 1.0;     // Hz
constexpr double kHighestFrequency = 180.0;  // Hz

// hi above, lo below, v in between. The frame is finite when it comes from the reader, but a
// NaN (or one made here from infinities, such as inf - inf) must never become a force or reach
// an integer conversion, so it counts as 0 before limiting: no force, or the lowest frequency.
double limit(double v, double lo, double hi) {
    if (std::isnan(v)) v = 0.0;
    if (v > hi) return hi;
    if (v < lo) return lo;
    return v;
}

// A fraction of full scale, limited to lo..hi (within -1..1), in DirectInput units, truncated
// toward zero. The limit keeps the product inside LONG, so the conversion is always defined.
LONG toUnits(double fraction, double lo, double hi) {
    return static_cast<LONG>(limit(fraction, lo, hi) * kUnitsPerFullScale);
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

void EffectSet::apply(const TelemetryFrame& frame, double gain, const ForceTuning& tuning,
                      std::int64_t nowNs) {
    now_ = nowNs;
    start();
    // The command line already holds the gain to 0..0.35; holding it here too keeps the wheel
    // safe whatever a caller passes.
    gain = limit(gain, 0.0, kMaxGain);
    bool capped = false;

    // The minimum applies to the target, before the smoothing: a force that falls to 0 then fades
    // out instead of lingering at the minimum.
    const double torque = frame.aligningTorque;
    const double steering = raiseToMinimum(
        strengthen(gain * limit(torque, -1.0, 1.0), tuning.steering, capped), tuning.minForce);
    sent_.constantForce = {toUnits(smoothing_.step(steering, nowNs, tuning.smoothMs), -1.0, 1.0), 0,
                           outside(torque, -1.0, 1.0) || capped, constantForce_ != nullptr};
    if (constantForce_ != nullptr) {
        DICONSTANTFORCE force{};
        force.lMagnitude = sent_.constantForce.magnitude;
        sent_.constantForce.sentNow =
            update(0, constantForce_, sizeof force, &force, force.lMagnitude, 0);
    }

    const double engine = frame.engineGain * 2.2;
    const double engineMagnitude =
        strengthen(gain * limit(engine, 0.0, 1.0), tuning.engine, capped);
    sent_.engineSine =
        setPeriodic(1, engineSine_, engineMagnitude, limit(frame.engineHz, 8.0, 180.0));
    sent_.engineSine.clipped = outside(engine, 0.0, 1.0) || capped;

    double road = std::abs(frame.verticalAccel) * 0.035 + frame.roadGain;
    if (frame.offroad) road += 0.18;
    const double roadMagnitude = strengthen(gain * limit(road, 0.0, 1.0), tuning.road, capped);
    sent_.roadSine =
        setPeriodic(2, roadSine_, roadMagnitude, limit(frame.speed, 0.0, 90.0) * 1.35 + 35.0);
    sent_.roadSine.clipped = outside(road, 0.0, 1.0) || capped;

    // Sent with zero magnitude off the curb rather than stopped, so it never needs restarting.
    const double pulse = std::abs(frame.curbPulse);
    const double curb =
        strengthen(frame.curb ? gain * limit(pulse, 0.1, 1.0) : 0.0, tuning.curb, capped);
    sent_.curbSquare =
        setPeriodic(3, curbSquare_, curb, limit(frame.speed, 0.0, 70.0) * 1.8 + 55.0);
    sent_.curbSquare.clipped = (frame.curb && outside(pulse, 0.1, 1.0)) || capped;

    // A fixed strength before the gain: only the hard maximum can clip it.
    const double damper = strengthen(gain * 0.25, tuning.damper, capped);
    sent_.damper = {toUnits(damper, 0.0, 1.0), 0, capped, damper_ != nullptr};
    sent_.playing = started_;
    if (damper_ != nullptr) {
        DICONDITION condition{};
        condition.lPositiveCoefficient = sent_.damper.magnitude;
        condition.lNegativeCoefficient = condition.lPositiveCoefficient;
        condition.dwPositiveSaturation = DI_FFNOMINALMAX;
        condition.dwNegativeSaturation = DI_FFNOMINALMAX;
        sent_.damper.sentNow =
            update(4, damper_, sizeof condition, &condition, condition.lPositiveCoefficient, 0);
    }
    reportPlaying();
}

SentEffect EffectSet::setPeriodic(unsigned index, IDirectInputEffect* field, double magnitude,
                                  double frequency) {
    if (field == nullptr) return {};
    DIPERIODIC periodic{};
    periodic.dwMagnitude = static_cast<DWORD>(toUnits(magnitude, 0.0, 1.0));
    periodic.dwPeriod = static_cast<DWORD>(kMicrosecondsPerSecond /
                                           limit(frequency, kLowestFrequency, kHighestFrequency));
    const auto magnitudeUnits = static_cast<LONG>(periodic.dwMagnitude);
    const bool sentNow =
        update(index, field, sizeof periodic, &periodic, magnitudeUnits, periodic.dwPeriod);
    return {magnitudeUnits, periodic.dwPeriod, false, true, sentNow};
}

}  // namespace torvane
