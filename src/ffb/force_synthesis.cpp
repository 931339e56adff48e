// The mapping of one telemetry frame and the user gain onto the five effects. No memory between
// calls: every update recomputes every parameter from the frame alone and sends all of them
// (with only changes sent, those that differ from what the wheel holds, or whose keep-alive is
// due).

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

}  // namespace

void EffectSet::apply(const TelemetryFrame& frame, double gain, std::int64_t now) {
    now_ = now;
    start();
    // The command line already holds the gain to 0..0.35; holding it here too keeps the wheel
    // safe whatever a caller passes.
    gain = limit(gain, 0.0, kMaxGain);

    const double torque = frame.aligningTorque;
    sent_.constantForce = {toUnits(gain * limit(torque, -1.0, 1.0), -1.0, 1.0), 0,
                           outside(torque, -1.0, 1.0), constantForce_ != nullptr};
    if (constantForce_ != nullptr) {
        DICONSTANTFORCE force{};
        force.lMagnitude = sent_.constantForce.magnitude;
        sent_.constantForce.sentNow =
            update(0, constantForce_, sizeof force, &force, force.lMagnitude, 0);
    }

    const double engine = frame.engineGain * 2.2;
    sent_.engineSine =
        setPeriodic(engineSine_, gain * limit(engine, 0.0, 1.0), limit(frame.engineHz, 8.0, 180.0));
    sent_.engineSine.clipped = outside(engine, 0.0, 1.0);

    double road = std::abs(frame.verticalAccel) * 0.035 + frame.roadGain;
    if (frame.offroad) road += 0.18;
    sent_.roadSine = setPeriodic(roadSine_, gain * limit(road, 0.0, 1.0),
                                 limit(frame.speed, 0.0, 90.0) * 1.35 + 35.0);
    sent_.roadSine.clipped = outside(road, 0.0, 1.0);

    // Sent with zero magnitude off the curb rather than stopped, so it never needs restarting.
    const double pulse = std::abs(frame.curbPulse);
    const double curb = frame.curb ? gain * limit(pulse, 0.1, 1.0) : 0.0;
    sent_.curbSquare = setPeriodic(curbSquare_, curb, limit(frame.speed, 0.0, 70.0) * 1.8 + 55.0);
    sent_.curbSquare.clipped = frame.curb && outside(pulse, 0.1, 1.0);

    // A fixed strength: nothing to clip.
    sent_.damper = {toUnits(gain * 0.25, 0.0, 1.0), 0, false, damper_ != nullptr};
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

SentEffect EffectSet::setPeriodic(IDirectInputEffect* field, double magnitude, double frequency) {
    if (field == nullptr) return {};
    DIPERIODIC periodic{};
    periodic.dwMagnitude = static_cast<DWORD>(toUnits(magnitude, 0.0, 1.0));
    periodic.dwPeriod = static_cast<DWORD>(kMicrosecondsPerSecond /
                                           limit(frequency, kLowestFrequency, kHighestFrequency));
    const auto magnitudeUnits = static_cast<LONG>(periodic.dwMagnitude);
    // The waves are the set's second to fourth effects.
    const unsigned index = field == engineSine_ ? 1 : field == roadSine_ ? 2 : 3;
    const bool sentNow =
        update(index, field, sizeof periodic, &periodic, magnitudeUnits, periodic.dwPeriod);
    return {magnitudeUnits, periodic.dwPeriod, false, true, sentNow};
}

}  // namespace torvane
