// The seam through which the monitor asks a wheel that can tell (the virtual one) what its rim
// is doing. Real wheels report neither their torque nor their rim angle, so there is none then.
#pragma once

namespace observe {

class RimProbe {
  public:
    virtual ~RimProbe() = default;
    /// The base's output torque (N·m, positive to the right) and the rim's angle (degrees,
    /// positive to the right); false when they cannot be read now.
    virtual bool read(double& torqueNewtonMetres, double& angleDegrees) = 0;
};

}  // namespace observe
