// The force formulas: one telemetry frame, the user gain, the tuning and the inversion make the
// five effects' targets, as fractions of full scale and frequencies. Pure: no device, no memory
// between frames (the smoothing of the steering force, which follows time, is the effect slots').
#pragma once

#include <array>

#include "ffb/force_tuning.h"
#include "telemetry/telemetry_frame.h"

namespace torvane {

/// The five effects, in the order they are created, started and listed everywhere.
enum EffectIndex : unsigned { kConstantForce, kEngineSine, kRoadSine, kCurbSquare, kDamper };
inline constexpr unsigned kEffectCount = 5;

/// One effect's target: a signed fraction of full scale for the constant force, else 0..1 (the
/// damper's coefficient, a wave's magnitude); frequency in Hz for the waves, else 0.
struct EffectTarget {
    double magnitude = 0.0;
    double frequency = 0.0;
    bool clipped = false;  ///< the strength before the gain lay outside its limit and was limited
    /// The constant force only: what the formula asked for before any limit (gain, torque and
    /// strength multiplied), so that a plot can show what clipping takes away.
    double requested = 0.0;
};

using ForceTargets = std::array<EffectTarget, kEffectCount>;

/// The five targets for frame. Every result is bounded (within the hard maximum, the frequencies
/// within the waves' range) and finite whatever the frame and the tuning hold; invert negates the
/// aligning torque.
ForceTargets synthesizeForces(const TelemetryFrame& frame, double gain, const ForceTuning& tuning,
                              bool invert);

}  // namespace torvane
