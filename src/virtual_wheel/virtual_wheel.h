// The virtual force-feedback wheel: a wheel base that plays DirectInput effects into a torque,
// and a rim with inertia, friction and end stops, held by a driver's hands, that turns under it.
// It lists exactly one controller, "Torvane Virtual Wheel", and runs on any clock, so tests step
// it on simulated time. Faults can be injected through its C++ interface.
//
// Sign convention, everywhere in this folder: positive torque turns the rim to the right, towards
// positive angle, and moves the X axis towards the end of its travel (1, the top of the range
// the application sets). A constant force of positive level pushes to the right; a condition
// with positive coefficients pushes back towards its offset, as DirectInput's conditions do.
//
// The model is stepped on the thread that touches it; it is not meant to be shared by threads.
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
    /// present whenever the wheel is touched. At most one second is simulated per touch; a longer
    /// gap (a suspended process, a test's jump) lets the effects' time pass while the rim rests.
    explicit VirtualWheel(std::function<std::int64_t()> clock);
    ~VirtualWheel() override;
    VirtualWheel(const VirtualWheel&) = delete;
    VirtualWheel& operator=(const VirtualWheel&) = delete;

    /// Lists the wheel unless it was unplugged.
    void listDevices(std::vector<wheel::DriverInfo>& out) override;
    /// A driver sharing this one wheel (a base and its rim); nullptr for another GUID or once
    /// unplugged. Effects a driver downloaded are removed when it is destroyed.
    std::unique_ptr<wheel::Driver> openDevice(REFGUID instance) override;

    RimReadout readout();

    // The driver's hands and feet, for tests: what the input state reports.
    void pressButton(int index, bool pressed);  ///< 0..15; others are ignored
    /// Y (throttle) or Z (brake): depth 0 released .. 1 floored; others are ignored.
    void pressPedal(wheel::Axis axis, double depth);

    // Faults on demand, for tests.
    /// Every call answers Lost for that long; the base forgets its effects, as one that rebooted.
    void loseFor(std::int64_t nanoseconds);
    void unplug();                    ///< gone for good: Lost, and Acquire Unplugged
    void refuseAcquire(bool refuse);  ///< Acquire answers Refused
    /// Downloads of new effects of that kind answer Failed (updates of existing ones still work).
    void refuseEffect(wheel::EffectKind kind, bool refuse);
    void failStart(bool fail);  ///< Start answers Failed

    struct Model;  // the simulation, in virtual_wheel.cpp

  private:
    std::shared_ptr<Model> model_;  // shared with the drivers, which may outlive the source
};

}  // namespace virtual_wheel
