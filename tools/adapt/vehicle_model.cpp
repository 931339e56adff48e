#include "tools/adapt/vehicle_model.h"

#include <algorithm>
#include <cmath>

namespace torvane::tools {
namespace {

constexpr double kTrailAtLimit = 0.2;  // the caster's mechanical trail stays when sliding
constexpr double kEngineIdleStrength = 0.1;
constexpr double kEngineRange = 0.25;
constexpr double kAverageWeight = 0.1;  // per packet: the average follows over ~10 packets

}  // namespace

double modelledAligningTorque(double lateralG, double frontSlip, double fullScaleG,
                              double strength) {
    const double load = std::clamp(lateralG / fullScaleG, -1.0, 1.0);
    const double trail = 1.0 - (1.0 - kTrailAtLimit) * std::clamp(frontSlip, 0.0, 1.0);
    const double torque = -std::clamp(strength, 0.0, 2.0) * load * trail;
    return std::isfinite(torque) ? std::clamp(torque, -1.0, 1.0) : 0.0;
}

double engineStrength(double fraction) {
    return kEngineIdleStrength + kEngineRange * std::clamp(fraction, 0.0, 1.0);
}

double BumpFilter::filter(double acceleration) {
    if (!started_) {
        average_ = acceleration;
        started_ = true;
    }
    average_ += kAverageWeight * (acceleration - average_);
    return acceleration - average_;
}

}  // namespace torvane::tools
