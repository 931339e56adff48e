// The virtual wheel's physics, which the e2e suite's runs rely on: torque turns the rim its way and
// the damper holds it back.
#include "virtual_wheel/virtual_wheel.h"

#include <gtest/gtest.h>

#include <vector>

namespace virtual_wheel {
namespace {

using wheel::DriverStatus;
using wheel::EffectKind;
using wheel::EffectParameters;

/// The wheel on a clock the test moves, with one driver open and autocentering off unless kept.
struct Bench {
    std::int64_t now = 1'000'000'000;
    VirtualWheel wheel{[this] { return now; }};
    std::unique_ptr<wheel::Driver> driver;

    explicit Bench(bool keepAutocenter = false) {
        std::vector<wheel::DriverInfo> list;
        wheel.listDevices(list);
        driver = wheel.openDevice(list.at(0).instanceGuid);
        if (!keepAutocenter) driver->setAutocenter(false);
    }
    RimReadout after(double milliseconds) {
        now += static_cast<std::int64_t>(milliseconds * 1e6);
        return wheel.readout();
    }
    void play(const EffectParameters& p) {
        wheel::EffectHandle handle = wheel::kNoHandle;
        EXPECT_EQ(driver->download(p, handle), DriverStatus::Ok);
        EXPECT_EQ(driver->start(handle, 1), DriverStatus::Ok);
    }
};

EffectParameters constant(std::int32_t level, std::int32_t direction = 0) {
    return {.kind = EffectKind::ConstantForce, .direction = direction, .level = level};
}
EffectParameters damper(std::int32_t c) {
    return {.kind = EffectKind::Damper,
            .positiveCoefficient = c,
            .negativeCoefficient = c,
            .positiveSaturation = 10000,
            .negativeSaturation = 10000};
}
TEST(VirtualWheel, TorqueTurnsTheRimItsWayAndConditionsHoldItBack) {
    const EffectParameters none = damper(0);
    const struct {
        EffectParameters force, condition;
        double milliseconds, low, high;  // the angle after that time, degrees
    } cases[] = {
        {constant(2000), none, 2000, 40.0, 52.0},          // the hands hold 1.6 N·m at 46 degrees
        {constant(2000, -1), none, 2000, -52.0, -40.0},    // a negative direction turns it round
        {constant(10000), none, 2000, 449.5, 450.0},       // too strong for them: to the stop
        {constant(-420), damper(250), 100, -2.5, -1.0},    // the worked telemetry
        {constant(-420), damper(250), 1500, -10.0, -9.0},  // settled
        {constant(3000), damper(10000), 100, 5.0, 8.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        Bench bench;
        bench.play(c.force);
        bench.play(c.condition);
        const double angle = bench.after(c.milliseconds).angleDegrees;
        EXPECT_GE(angle, c.low);
        EXPECT_LE(angle, c.high);
        wheel::InputState state;
        ASSERT_EQ(bench.driver->readInput(state), DriverStatus::Ok);
        EXPECT_NEAR(state.axisTravel[0], 0.5 + angle / 900.0, 1e-9);
    }
    // The base's centering spring, on from power-on, holds the same torque nearer the centre.
    Bench centring(true);
    centring.play(constant(2000));
    EXPECT_NEAR(centring.after(2000).angleDegrees, 18.3, 2.0);
}

}  // namespace
}  // namespace virtual_wheel
