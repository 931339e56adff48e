// What the person at the wheel can tune beyond the gain: a strength for each effect, a minimum
// for the steering force, and smoothing of the steering force. The defaults change nothing.
#pragma once

#include <cstdint>

namespace torvane {

/// The hard maximum of the user gain: no force ever exceeds 35 % of the wheel's full scale.
inline constexpr double kMaxGain = 0.35;
/// Each strength multiplies its effect's magnitude after the formula and the gain.
inline constexpr double kMaxStrength = 2.0;
/// A larger minimum would make a gear-driven wheel knock at every small force.
inline constexpr double kMaxMinForce = 0.2;
/// The slope of the minimum force's ramp near 0: a force of f plays min(4 f, minimum), and never
/// less than f. The gentlest slope at which 0.05 of full scale still reaches the largest minimum;
/// a force of 0.001 plays at most 0.004.
inline constexpr double kMinForceRamp = 4.0;
/// Beyond 50 ms the lag is felt as a slow, vague steering.
inline constexpr double kMaxSmoothMs = 50.0;

struct ForceTuning {
    double steering = 1.0;  ///< constant force, 0..kMaxStrength
    double engine = 1.0;    ///< engine sine
    double road = 1.0;      ///< road sine
    double curb = 1.0;      ///< curb square
    double damper = 1.0;    ///< damper coefficients
    double minForce = 0.0;  ///< fraction of full scale, 0..kMaxMinForce
    double smoothMs = 0.0;  ///< low-pass time constant of the constant force; 0: off
};

/// A first-order low-pass filter advanced by real elapsed time, so it responds the same at any
/// pass rate: after one time constant a step has covered 1 - 1/e (63 %) of its way.
class LowPass {
  public:
    /// Moves the output toward target by the time since the previous step and returns it. The
    /// first step after construction or reset starts from 0 and covers no time. A time constant
    /// of 0 or less (or not a number) switches the filter off: the target passes unchanged, and is
    /// what a filter switched on (or given a new time constant) later starts from.
    double step(double target, std::int64_t nowNs, double timeConstantMs);

    /// Forgets the output (nothing plays after a stop): the next step starts from 0 again.
    void reset() { primed_ = false; }

  private:
    double output_ = 0.0;
    std::int64_t lastNs_ = 0;
    bool primed_ = false;
};

}  // namespace torvane
