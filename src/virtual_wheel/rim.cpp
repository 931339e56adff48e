#include "virtual_wheel/rim.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace virtual_wheel {
namespace {

// A direct-drive-sized rim: the worked telemetry (about -0.34 N·m of constant force against a
// light damper) turns it about ten degrees within a few hundred milliseconds and settles there.
constexpr double kInertia = 0.04;           // kg·m²: rim, shaft and rotor
constexpr double kViscous = 0.02;           // N·m·s/rad: bearings
constexpr double kCoulomb = 0.03;           // N·m: seals and brushes
constexpr double kCoulombSmoothing = 0.01;  // rad/s: friction fades in below this, so no chatter
constexpr double kHandStiffness = 2.0;      // N·m/rad: relaxed hands holding the centre
constexpr double kHandDamping = 0.3;        // N·m·s/rad
constexpr double kHandStrength = 3.0;       // N·m: beyond this the hands give way
constexpr double kStopStiffness = 10000.0;  // N·m/rad: the end stop, stiff enough to hold 8 N·m
constexpr double kStopDamping = 25.0;       // N·m·s/rad: about 0.6 of critical, no bounce
constexpr double kLock = kLockDegrees * std::numbers::pi / 180.0;
// Stability of the explicit step: sqrt(kStopStiffness / kInertia) * kStepSeconds = 0.5 and
// kStopDamping * kStepSeconds / kInertia = 0.625, both well below 2.

double hands(const Rim& rim) {
    const double pull = -kHandStiffness * rim.angle - kHandDamping * rim.velocity;
    return std::clamp(pull, -kHandStrength, kHandStrength);
}

double friction(const Rim& rim) {
    const double v = rim.velocity;
    return -kViscous * v - kCoulomb * v / (std::abs(v) + kCoulombSmoothing);
}

/// The stop pushes the rim back out once past the lock and never pulls it in.
double endStop(const Rim& rim) {
    const double beyond = std::abs(rim.angle) - kLock;
    if (beyond <= 0.0) return 0.0;
    const double side = rim.angle > 0.0 ? 1.0 : -1.0;
    const double push = -side * kStopStiffness * beyond - kStopDamping * rim.velocity;
    return side > 0.0 ? std::min(push, 0.0) : std::max(push, 0.0);
}

}  // namespace

void stepRim(Rim& rim, double torqueNewtonMetres) {
    const double torque = std::isfinite(torqueNewtonMetres) ? torqueNewtonMetres : 0.0;
    rim.acceleration = (torque + hands(rim) + friction(rim) + endStop(rim)) / kInertia;
    rim.velocity += rim.acceleration * kStepSeconds;
    rim.angle += rim.velocity * kStepSeconds;
    if (!std::isfinite(rim.angle) || !std::isfinite(rim.velocity) ||
        !std::isfinite(rim.acceleration))
        rim = Rim{};
}

double reportedDegrees(const Rim& rim) {
    return std::clamp(rim.angle * 180.0 / std::numbers::pi, -kLockDegrees, kLockDegrees);
}

}  // namespace virtual_wheel
