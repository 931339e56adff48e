// The virtual force-feedback wheel: a wheel base that plays DirectInput effects into a torque,
// and a rim with inertia, friction and end stops, held by a driver's hands, that turns under it.
// It lists exactly one controller, "Torvane Virtual Wheel", and runs on any clock, so tests step
// it on simulated time. Faults can be injected through its C++ interface.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "wheel/direct_input.h"

namespace virtual_wheel {

/// What the rim does right now.
struct RimReadout {
    double torqueNewtonMetres = 0.0;  ///< the base's output torque, positive to the right
    double angleDegrees = 0.0;        ///< the rim's angle, positive to the right, within +-450
};

class VirtualWheel final : public wheel::DriverSource {
  public:
    /// clock gives monotonic nanoseconds; the model is stepped at 1 kHz of that time up to the
    /// present whenever the wheel is touched.
    explicit VirtualWheel(std::function<std::int64_t()> clock);
    ~VirtualWheel() override;
    VirtualWheel(const VirtualWheel&) = delete;
    VirtualWheel& operator=(const VirtualWheel&) = delete;

    void listDevices(std::vector<wheel::DriverInfo>& out) override;
    std::unique_ptr<wheel::Driver> openDevice(REFGUID instance) override;

    RimReadout readout();

    // Faults on demand, for tests.
    void loseFor(std::int64_t nanoseconds);  ///< every call answers Lost for that long
    void unplug();                           ///< gone for good: Lost, and Acquire Unplugged
    void refuseAcquire(bool refuse);         ///< Acquire answers Refused
    void refuseEffect(wheel::EffectKind kind, bool refuse);  ///< download of new ones fails
    void failStart(bool fail);                               ///< Start answers Failed

    struct Model;  // the simulation, in virtual_wheel.cpp

  private:
    std::unique_ptr<Model> model_;
};

}  // namespace virtual_wheel
