#include "controller/diagnose.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <string>
#include <vector>

#include "report/raw_input.h"
#include "support/fake_directinput.h"
#include "support/simulated_clock.h"

namespace torvane {
namespace {

constexpr std::int64_t kStart = 5'000'000'000;

const std::string kHeading = "\nSupported effects:\n";
const std::string kPrompt =
    "\nMove the wheel/pedals and operate every shifter position for 20 seconds.\n";

DIJOYSTATE2 wheelAt(LONG x, int button = -1) {
    DIJOYSTATE2 state{};
    state.lX = x;
    if (button >= 0) state.rgbButtons[button] = 0x80;
    return state;
}

std::string line(const DIJOYSTATE2& state) {
    return std::string(formatRawInputReport(state).view()) + "\n";
}

struct Capture {
    std::string output;
    int passes = 0;  // GetDeviceState calls: one per pass that got past Poll
    int sleeps = 0;
    std::int64_t elapsed = 0;
};

/// Runs the diagnose mode on simulated time. Ctrl+C comes during pause number stopAfterSleeps
/// (0: before the start; negative: never).
Capture diagnose(fake::FakeWorld& world, fake::FakeDevice& device,
                 const std::vector<EffectInfo>& effects = {}, int stopAfterSleeps = -1) {
    std::atomic<bool> running{stopAfterSleeps != 0};
    fake::SimulatedClock clock;
    clock.time = kStart;
    clock.onSleep = [&running, stopAfterSleeps](fake::SimulatedClock& c) {
        if (c.sleeps == stopAfterSleeps) running.exchange(false);
    };
    std::ostringstream out;
    runDiagnose(device, effects, running, clock, out);
    EXPECT_FALSE(clock.runaway) << "the capture kept reading the clock without pausing";
    return Capture{out.str(),
                   static_cast<int>(world.callsStartingWith("device1.GetDeviceState").size()),
                   clock.sleeps, clock.time - kStart};
}

TEST(Diagnose, PrintsEffectsPromptAndFirstStateExactly) {
    fake::FakeWorld world;
    fake::DeviceBehaviour behaviour;
    behaviour.states = {wheelAt(255, 15)};
    fake::FakeDevice& device = world.addDevice(behaviour);
    const std::vector<EffectInfo> effects = {
        {GUID_ConstantForce, TORVANE_WIDE("Constant Force"), 1},
        {GUID_Sine, TORVANE_WIDE("Sinus \u00fc"), 255},
        {GUID_Damper, TORVANE_WIDE("Damper"), 0x00C0FFEE},
    };

    // Hexadecimal is for the effect types alone: the state line keeps 255 and 15 decimal.
    EXPECT_EQ(diagnose(world, device, effects).output,
              "\nSupported effects:\n"
              "  - Constant Force (type 0x1)\n"
              "  - Sinus \xC3\xBC (type 0xff)\n"
              "  - Damper (type 0xc0ffee)\n" +
                  kPrompt +
                  R"({"type":"raw-input","axes":{"x":255,"y":0,"z":0,"rx":0,"ry":0,"rz":0,)"
                  R"("slider0":0,"slider1":0},"buttons":[15]})"
                  "\n");
}

TEST(Diagnose, PrintsAStateWhenAnyOfItsBytesDiffersFromThePreviousOne) {
    DIJOYSTATE2 hat = wheelAt(10);
    hat.rgdwPOV[0] = 9000;
    DIJOYSTATE2 force = hat;
    force.lFRz = 1;
    fake::FakeWorld world;
    fake::DeviceBehaviour behaviour;
    // One state per pass; the last repeats. The first is printed although it is all zeros, and
    // fields the text does not show still count as a change: the same line comes again.
    behaviour.states = {wheelAt(0), wheelAt(0), wheelAt(10),    wheelAt(10),
                        hat,        force,      wheelAt(0, 127)};
    fake::FakeDevice& device = world.addDevice(behaviour);

    EXPECT_EQ(diagnose(world, device).output, kHeading + kPrompt + line(wheelAt(0)) +
                                                  line(wheelAt(10)) + line(hat) + line(force) +
                                                  line(wheelAt(0, 127)));
}

TEST(Diagnose, CaptureEndsAtTheDeadlineCountingEqualAsReached) {
    fake::FakeWorld world;
    const Capture run = diagnose(world, world.addDevice());

    // Passes start at 0, 40 ms, ... 19.96 s; the one that would start at exactly 20 s does not.
    EXPECT_EQ(run.passes, 500);
    EXPECT_EQ(run.sleeps, 500);
    EXPECT_EQ(run.elapsed, kDiagnoseCaptureNs);
}

TEST(Diagnose, AFailedPassPrintsNothingButPausesAndTheNextOneAcquiresAgain) {
    fake::FakeWorld world;
    fake::DeviceBehaviour behaviour;
    // The first pass fails twice; the second recovers after its Acquire.
    behaviour.pollResults = {DIERR_INPUTLOST, DIERR_INPUTLOST};
    behaviour.states = {wheelAt(42)};
    fake::FakeDevice& device = world.addDevice(behaviour);

    const Capture run = diagnose(world, device);

    EXPECT_EQ(run.output, kHeading + kPrompt + line(wheelAt(42)));
    EXPECT_EQ(run.passes, 499);
    EXPECT_EQ(run.sleeps, 500);
}

TEST(Diagnose, ClearedRunningFlagEndsTheCaptureAfterThePause) {
    fake::FakeWorld world;
    fake::FakeDevice& device = world.addDevice();

    const Capture stopped = diagnose(world, device, {}, 3);
    EXPECT_EQ(stopped.output, kHeading + kPrompt + line(DIJOYSTATE2{}));
    EXPECT_EQ(stopped.passes, 3);
    EXPECT_EQ(stopped.sleeps, 3);

    // Cleared before the start: the lists are printed, but no pass is made.
    world.clearCalls();
    const Capture never = diagnose(world, device, {}, 0);
    EXPECT_EQ(never.output, kHeading + kPrompt);
    EXPECT_TRUE(world.calls().empty());
    EXPECT_EQ(never.sleeps, 0);
}

}  // namespace
}  // namespace torvane
