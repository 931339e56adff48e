// The small pieces of vehicle reasoning the game readers share: a modelled aligning torque for
// games that publish none, the engine's strength, and a filter that keeps the bumps of a
// vertical acceleration. docs/adapters.md explains each with its reasoning.
#pragma once

namespace torvane::tools {

inline constexpr double kStandardGravity = 9.80665;  // m/s² per g

/// The front tyres' self-aligning torque as a fraction of full force, from the car's lateral
/// acceleration (in g, positive towards the car's right) and the front tyres' slip as a fraction
/// of the slip at which they lose grip (0 = full grip, 1 and more = sliding): lateral force
/// (lateral acceleration over fullScaleG, at most 1) times pneumatic trail (1 with grip, falling
/// linearly to 0.2 at the limit), times strength, within -1..1. Negative in right-hand corners.
double modelledAligningTorque(double lateralG, double frontSlip, double fullScaleG,
                              double strength);

/// The engine vibration's strength for a fraction (0..1) of throttle or of the rev range.
double engineStrength(double fraction);

/// Keeps the quick part of a vertical acceleration: the value minus its slow average, an
/// exponential average over about ten packets. Gravity, whether or not a game includes it, and
/// a slope's steady load drop out; road bumps, curbs and landings stay.
class BumpFilter {
  public:
    double filter(double acceleration);

  private:
    double average_ = 0.0;
    bool started_ = false;
};

}  // namespace torvane::tools
