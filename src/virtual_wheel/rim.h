// The rim of the virtual wheel and the hands on it: one rigid body turning about the steering
// axis under the base's torque, stepped with semi-implicit Euler at the model's fixed rate.
#pragma once

namespace virtual_wheel {

/// The model's step: 1 kHz, the rate real bases run their force loop at.
inline constexpr double kStepSeconds = 0.001;
inline constexpr double kLockDegrees = 450.0;  ///< each end stop, from the centre

/// The rim's state, positive to the right (see virtual_wheel.h).
struct Rim {
    double angle = 0.0;         ///< radians
    double velocity = 0.0;      ///< radians per second
    double acceleration = 0.0;  ///< radians per second squared, over the last step
};

/// Advances the rim by one step under the base's torque in N·m. A non-finite torque counts as
/// none, and a state that stopped being finite is put back to rest at the centre.
void stepRim(Rim& rim, double torqueNewtonMetres);

/// The angle as the base's sensor reports it: degrees, within the end stops.
double reportedDegrees(const Rim& rim);

}  // namespace virtual_wheel
