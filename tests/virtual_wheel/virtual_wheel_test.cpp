#include "virtual_wheel/virtual_wheel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "virtual_wheel/rim.h"

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
    wheel::EffectHandle play(const EffectParameters& p, std::uint32_t iterations = 1) {
        wheel::EffectHandle handle = wheel::kNoHandle;
        EXPECT_EQ(driver->download(p, handle), DriverStatus::Ok);
        EXPECT_EQ(driver->start(handle, iterations), DriverStatus::Ok);
        return handle;
    }
};

EffectParameters constant(std::int32_t level, std::int32_t direction = 0) {
    return {.kind = EffectKind::ConstantForce, .direction = direction, .level = level};
}
EffectParameters condition(EffectKind kind, std::int32_t coefficient,
                           std::uint32_t saturation = 10000) {
    EffectParameters p{.kind = kind, .positiveCoefficient = coefficient};
    p.negativeCoefficient = coefficient;
    p.positiveSaturation = p.negativeSaturation = saturation;
    return p;
}
EffectParameters periodic(EffectKind kind, std::uint32_t magnitude, std::int32_t offset,
                          std::uint32_t period) {
    return {.kind = kind, .magnitude = magnitude, .offset = offset, .periodMicroseconds = period};
}

TEST(VirtualWheel, ListsOneWheelUntilUnpluggedWithItsControlsAtRest) {
    Bench bench;
    EXPECT_EQ(bench.wheel.openDevice(bench.driver->info().productGuid), nullptr);
    bench.wheel.pressButton(3, true);
    bench.wheel.pressPedal(wheel::Axis::Z, 0.25);
    wheel::InputState state;
    ASSERT_EQ(bench.driver->readInput(state), DriverStatus::Ok);
    EXPECT_EQ((std::vector<double>{state.axisTravel.begin(), state.axisTravel.begin() + 3}),
              (std::vector<double>{0.5, 1.0, 0.75}));  // pedals read released at the top
    EXPECT_EQ(std::find(state.buttons.begin(), state.buttons.end(), true), &state.buttons[3]);
    EXPECT_EQ(state.pov[0], -1);
    std::vector<wheel::DriverInfo> list;
    bench.wheel.unplug();
    bench.wheel.listDevices(list);
    EXPECT_TRUE(list.empty());
}

TEST(VirtualWheel, TorqueTurnsTheRimItsWayAndConditionsHoldItBack) {
    using enum EffectKind;
    const EffectParameters none = condition(Damper, 0);
    const struct {
        EffectParameters force, condition;
        double milliseconds, low, high;  // the angle after that time, degrees
    } cases[] = {
        {constant(2000), none, 2000, 40.0, 52.0},        // the hands hold 1.6 N·m at 46 degrees
        {constant(2000, -1), none, 2000, -52.0, -40.0},  // a negative direction turns it round
        {constant(10000), none, 2000, 449.5, 450.0},     // too strong for them: to the stop
        {constant(-420), condition(Damper, 250), 100, -2.5, -1.0},    // the worked telemetry
        {constant(-420), condition(Damper, 250), 1500, -10.0, -9.0},  // settled
        {constant(3000), condition(Damper, 10000), 100, 5.0, 8.0},
        {constant(3000), condition(Spring, 10000), 2000, 40.0, 50.0},  // 68 without
        {constant(-3000), condition(Friction, 10000), 100, -1.5, -0.2},
        {constant(3000), condition(Friction, 10000, 1000), 100, 8.0, 12.0},  // saturated
        {constant(3000), condition(Inertia, 10000), 100, 8.5, 10.5},
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
    // The sensor's clamp hides the stop itself: the rim, pushed at full torque, stays at it.
    for (double torque : {8.0, -8.0}) {
        Rim rim;
        for (int i = 0; i < 3000; ++i) stepRim(rim, torque);
        EXPECT_NEAR(std::abs(rim.angle) * 180.0 / 3.14159265358979, 450.0, 0.5) << torque;
        EXPECT_NEAR(rim.velocity, 0.0, 1e-3);
    }
}

TEST(VirtualWheel, PeriodicEffectsHaveTheirAmplitudeAndPeriodAndStayContinuous) {
    using enum EffectKind;
    const struct {
        EffectKind kind;
        std::int32_t offset;
        std::uint32_t phase;   // hundredths of a degree
        double start, eighth;  // N·m from the centre at the start and an eighth of a period on
    } cases[] = {
        {Sine, 0, 0, 0.0, 2.828},       {Square, 0, 0, 4.0, 4.0},       {Triangle, 0, 0, 0.0, 2.0},
        {SawtoothUp, 0, 0, -4.0, -3.0}, {SawtoothDown, 0, 0, 4.0, 3.0}, {Sine, 2000, 0, 0.0, 2.828},
        {Sine, 0, 9000, 4.0, 2.828},  // a quarter period in
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        Bench bench;
        EffectParameters effect = periodic(c.kind, 5000, c.offset, 32'000);
        effect.phaseHundredthsOfDegree = c.phase;
        bench.play(effect);
        double torque[64], high = -8.0, low = 8.0;
        for (double& t : torque) {
            t = bench.after(1).torqueNewtonMetres;
            high = std::max(high, t), low = std::min(low, t);
        }
        const double centre = c.offset * 8e-4;
        EXPECT_NEAR(torque[0], centre + c.start, 1e-3);
        EXPECT_NEAR(torque[4], centre + c.eighth, 1e-3);
        EXPECT_NEAR(high, centre + 4.0, 0.26);  // a sawtooth's last step is 1/32 from its peak
        EXPECT_NEAR(low, centre - 4.0, 0.26);
        for (int i = 0; i < 32; ++i) EXPECT_NEAR(torque[i], torque[i + 32], 1e-6) << i;
    }
    // A new period takes the wave on from where it is.
    Bench bench;
    wheel::EffectHandle handle = bench.play(periodic(Sine, 5000, 0, 20'000));
    double last = 0.0;
    for (int ms = 0; ms < 7; ++ms) last = bench.after(1).torqueNewtonMetres;
    ASSERT_EQ(bench.driver->download(periodic(Sine, 5000, 0, 10'000), handle), DriverStatus::Ok);
    double torque[20];
    for (double& t : torque) {
        t = bench.after(1).torqueNewtonMetres;
        EXPECT_LE(std::abs(t - last), 2.6);  // the fast wave's steepest step
        last = t;
    }
    for (int i = 0; i < 10; ++i) EXPECT_NEAR(torque[i], torque[i + 10], 1e-6) << i;
}

TEST(VirtualWheel, EffectsPlayAtTheirGainsForTheirDurationTimesTheirIterations) {
    const struct {
        std::uint32_t gain, deviceGain, duration, iterations;
        double first, torque, then, torqueThen;  // milliseconds and N·m after them
    } cases[] = {
        {10000, 10000, 50'000, 1, 45, 4.0, 10, 0.0},
        {5000, 5000, 50'000, 3, 145, 1.0, 10, 0.0},
        {10000, 10000, INFINITE, 1, 3.6e6, 4.0, 1, 4.0},
        {10000, 10000, 50'000, INFINITE, 3.6e6, 4.0, 1, 4.0},
        {10000, 10000, 0, 1, 1, 0.0, 1, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        Bench bench;
        bench.driver->setGain(c.deviceGain);
        EffectParameters effect{.durationMicroseconds = c.duration, .gain = c.gain, .level = 5000};
        bench.play(effect, c.iterations);
        EXPECT_EQ(bench.after(c.first).torqueNewtonMetres, c.torque);
        EXPECT_EQ(bench.after(c.then).torqueNewtonMetres, c.torqueThen);
    }
}

TEST(VirtualWheel, FaultsAnswerAsAskedAndTheWheelRecoversFromALoss) {
    using enum DriverStatus;
    const struct {
        void (*fault)(VirtualWheel&);
        DriverStatus acquire, read, createDamper, createConstant, start;  // answers after it
    } cases[] = {
        {[](VirtualWheel&) {}, Ok, Ok, Ok, Ok, Ok},
        {[](VirtualWheel& w) { w.refuseAcquire(true); }, Refused, Ok, Ok, Ok, Ok},
        {[](VirtualWheel& w) { w.unplug(); }, Unplugged, Lost, Lost, Lost, Lost},
        {[](VirtualWheel& w) { w.loseFor(1'000'000); }, Lost, Lost, Lost, Lost, Lost},
        {[](VirtualWheel& w) { w.refuseEffect(EffectKind::Damper, true); }, Ok, Ok, Failed, Ok, Ok},
        {[](VirtualWheel& w) { w.failStart(true); }, Ok, Ok, Ok, Ok, Failed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        Bench bench;
        const wheel::EffectHandle handle = bench.play(constant(1));
        c.fault(bench.wheel);
        wheel::InputState state;
        wheel::EffectHandle damper = wheel::kNoHandle, force = wheel::kNoHandle;
        EXPECT_EQ(bench.driver->acquire(true), c.acquire);
        EXPECT_EQ(bench.driver->readInput(state), c.read);
        EXPECT_EQ(bench.driver->download(condition(EffectKind::Damper, 1), damper), c.createDamper);
        EXPECT_EQ(bench.driver->download(constant(1), force), c.createConstant);
        EXPECT_EQ(bench.driver->start(handle, 1), c.start);
    }

    // A loss stops and forgets what played; afterwards the wheel works again from scratch.
    Bench bench;
    const wheel::EffectHandle before = bench.play(constant(5000));
    bench.wheel.loseFor(100'000'000);
    EXPECT_EQ(bench.after(99).torqueNewtonMetres, 0.0);
    bench.after(1);
    EXPECT_EQ(bench.driver->acquire(true), DriverStatus::Ok);
    EXPECT_EQ(bench.driver->start(before, 1), DriverStatus::Failed);
    bench.play(constant(5000));
    EXPECT_EQ(bench.after(1).torqueNewtonMetres, 4.0);
    // A closed driver takes its effects with it.
    bench.driver.reset();
    EXPECT_EQ(bench.after(1).torqueNewtonMetres, 0.0);
}

TEST(VirtualWheel, AClockJumpOfHoursReturnsPromptlyWithFiniteForces) {
    Bench bench;
    bench.play(constant(2000));
    const double moving = bench.after(50).angleDegrees;
    bench.now -= 3'600'000'000'000;  // a clock that went back changes nothing
    EXPECT_EQ(bench.wheel.readout().angleDegrees, moving);
    bench.now += 3'600'000'000'000;
    bench.play(periodic(EffectKind::Sine, 10000, 10000, 0));  // no period: no division by it
    bench.play(constant(10000));
    bench.play(condition(EffectKind::Inertia, -10000));  // feeds the rim's motion back
    const auto started = std::chrono::steady_clock::now();
    const RimReadout readout = bench.after(1000 * 3.6e6);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_LE(std::abs(readout.torqueNewtonMetres), 8.0);  // false for NaN too
    EXPECT_LE(std::abs(readout.angleDegrees), 450.0);
}

}  // namespace
}  // namespace virtual_wheel
