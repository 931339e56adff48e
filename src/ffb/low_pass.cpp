#include <cmath>

#include "ffb/force_tuning.h"

namespace torvane {

double LowPass::step(double target, std::int64_t nowNs, double timeConstantMs) {
    if (!(timeConstantMs > 0.0)) {
        primed_ = false;  // switched on later, it starts from 0 like after a stop
        return target;
    }
    if (!primed_) {
        output_ = 0.0;
        lastNs_ = nowNs;
        primed_ = true;
    }
    // A clock never runs backwards, but a pass must not push the output away from its target.
    const double elapsedMs = nowNs > lastNs_ ? static_cast<double>(nowNs - lastNs_) / 1e6 : 0.0;
    lastNs_ = nowNs;
    // The exact solution over the interval, not an Euler step: stable for any interval.
    output_ += (target - output_) * (1.0 - std::exp(-elapsedMs / timeConstantMs));
    return output_;
}

}  // namespace torvane
