#include <cmath>

#include "ffb/force_tuning.h"

namespace torvane {
namespace {

// A thousandth of a DirectInput unit, in fractions of full scale: closer than this is there.
constexpr double kSettled = 1e-7;

}  // namespace

double LowPass::step(double target, std::int64_t nowNs, double timeConstantMs) {
    if (!primed_) {
        output_ = 0.0;
        lastNs_ = nowNs;
        primed_ = true;
    }
    if (!(timeConstantMs > 0.0)) {
        // Off, the output is the force being played: switched on later, the filter starts from it
        // instead of dropping the wheel to 0.
        output_ = target;
        lastNs_ = nowNs;
        return target;
    }
    // A clock never runs backwards, but a pass must not push the output away from its target.
    const double elapsedMs = nowNs > lastNs_ ? static_cast<double>(nowNs - lastNs_) / 1e6 : 0.0;
    lastNs_ = nowNs;
    // The exact solution over the interval, not an Euler step: stable for any interval.
    output_ += (target - output_) * (1.0 - std::exp(-elapsedMs / timeConstantMs));
    // The approach is geometric: in floating point it can end a rounding step short of the
    // target, which truncation to whole units would turn into a force one unit weaker for good.
    if (std::abs(target - output_) < kSettled) output_ = target;
    return output_;
}

}  // namespace torvane
