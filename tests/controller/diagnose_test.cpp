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
constexpr std::int64_t kPauseNs = 40'000'000;

const std::string kPrompt =
    "\nMove the wheel/pedals and operate every shifter position for 20 seconds.\n";
const std::string kNoEffects = "\nSupported effects:\n";

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
    int polls = 0;
    int sleeps = 0;
    std::int64_t elapsed = 0;
};

Capture diagnose(fake::FakeWorld& world, fake::FakeDevice& device,
                 const std::vector<EffectInfo>& effects = {}, bool runningAtStart = true,
                 int stopAfterSleeps = -1) {
    std::atomic<bool> running{runningAtStart};
    fake::SimulatedClock clock;
    clock.time = kStart;
    // Ctrl+C during a pause.
    clock.onSleep = [&running, stopAfterSleeps](fake::SimulatedClock& c) {
        if (c.sleeps == stopAfterSleeps) running.exchange(false);
    };
    std::ostringstream out;
    runDiagnose(device, effects, running, clock, out);
    EXPECT_FALSE(clock.runaway) << "the capture kept reading the clock without pausing";
    return Capture{out.str(),
                   static_cast<int>(world.callsStartingWith("device1.GetDeviceState").size()),
                   static_cast<int>(world.callsStartingWith("device1.Poll").size()), clock.sleeps,
                   clock.time - kStart};
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

    const Capture run = diagnose(world, device, effects);

    // Hexadecimal is for the effect types alone: the state line keeps 255 and 15 decimal.
    EXPECT_EQ(run.output,
              "\nSupported effects:\n"
              "  - Constant Force (type 0x1)\n"
              "  - Sinus \xC3\xBC (type 0xff)\n"
              "  - Damper (type 0xc0ffee)\n" +
                  kPrompt +
                  R"({"type":"raw-input","axes":{"x":255,"y":0,"z":0,"rx":0,"ry":0,"rz":0,)"
                  R"("slider0":0,"slider1":0},"buttons":[15]})"
                  "\n");
}

struct ChangeCase {
    const char* name;
    std::vector<DIJOYSTATE2> states;  // one per pass; the last repeats
    std::vector<DIJOYSTATE2> printed;
};

class DiagnoseChanges : public testing::TestWithParam<ChangeCase> {};

TEST_P(DiagnoseChanges, PrintsAStateWhenItDiffersFromThePreviousOne) {
    fake::FakeWorld world;
    fake::DeviceBehaviour behaviour;
    behaviour.states = GetParam().states;
    fake::FakeDevice& device = world.addDevice(behaviour);

    const Capture run = diagnose(world, device);

    std::string expected = kNoEffects + kPrompt;
    for (const DIJOYSTATE2& state : GetParam().printed) expected += line(state);
    EXPECT_EQ(run.output, expected);
}

DIJOYSTATE2 withHat(DIJOYSTATE2 state) {
    state.rgdwPOV[0] = 9000;
    return state;
}

DIJOYSTATE2 withForce(DIJOYSTATE2 state) {
    state.lFRz = 1;
    return state;
}

INSTANTIATE_TEST_SUITE_P(
    Diagnose, DiagnoseChanges,
    testing::Values(
        // The first state read is printed even when it is all zeros.
        ChangeCase{"IdleForever", {DIJOYSTATE2{}}, {DIJOYSTATE2{}}},
        ChangeCase{"SteadyState", {wheelAt(-300, 2)}, {wheelAt(-300, 2)}},
        ChangeCase{"MovesAndReturns",
                   {wheelAt(0), wheelAt(0), wheelAt(10), wheelAt(10), wheelAt(0), wheelAt(0, 127)},
                   {wheelAt(0), wheelAt(10), wheelAt(0), wheelAt(0, 127)}},
        // Fields the text does not show still count as a change: the same line comes again.
        ChangeCase{"HatOnly", {wheelAt(7), withHat(wheelAt(7))}, {wheelAt(7), wheelAt(7)}},
        ChangeCase{"ForceFieldOnly",
                   {wheelAt(7), withForce(wheelAt(7)), wheelAt(7)},
                   {wheelAt(7), wheelAt(7), wheelAt(7)}}),
    [](const testing::TestParamInfo<ChangeCase>& info) { return std::string(info.param.name); });

TEST(Diagnose, CaptureEndsAtTheDeadlineCountingEqualAsReached) {
    fake::FakeWorld world;
    fake::FakeDevice& device = world.addDevice();

    const Capture run = diagnose(world, device);

    // Passes start at 0, 40 ms, ... 19.96 s; the one that would start at exactly 20 s does not.
    EXPECT_EQ(run.passes, 500);
    EXPECT_EQ(run.sleeps, 500);
    EXPECT_EQ(run.elapsed, 500 * kPauseNs);
    EXPECT_EQ(run.elapsed, kDiagnoseCaptureNs);
}

TEST(Diagnose, FailedReadsPrintNothingButStillPause) {
    for (const char* failing : {"device1.Poll", "device1.GetDeviceState"}) {
        SCOPED_TRACE(failing);
        fake::FakeWorld world;
        fake::FakeDevice& device = world.addDevice();
        world.failOn(failing, DIERR_INPUTLOST);

        const Capture run = diagnose(world, device);

        EXPECT_EQ(run.output, kNoEffects + kPrompt);
        EXPECT_EQ(run.sleeps, 500);
        // Every pass whose first Poll fails acquires and polls again.
        if (std::string(failing) == "device1.Poll") {
            EXPECT_EQ(run.polls, 1000);
        }
    }
}

TEST(Diagnose, RecoversOnceTheDeviceAnswersAgain) {
    fake::FakeWorld world;
    fake::DeviceBehaviour behaviour;
    // The first pass fails twice; the second recovers after its Acquire.
    behaviour.pollResults = {DIERR_INPUTLOST, DIERR_INPUTLOST, DIERR_INPUTLOST};
    behaviour.states = {wheelAt(42)};
    fake::FakeDevice& device = world.addDevice(behaviour);

    const Capture run = diagnose(world, device);

    EXPECT_EQ(run.output, kNoEffects + kPrompt + line(wheelAt(42)));
    EXPECT_EQ(run.passes, 499);  // the first pass read nothing
}

TEST(Diagnose, ClearedRunningFlagEndsTheCaptureAfterThePause) {
    fake::FakeWorld world;
    fake::FakeDevice& device = world.addDevice();

    const Capture run = diagnose(world, device, {}, true, 3);

    EXPECT_EQ(run.passes, 3);
    EXPECT_EQ(run.sleeps, 3);
    EXPECT_EQ(run.output, kNoEffects + kPrompt + line(DIJOYSTATE2{}));
}

TEST(Diagnose, RunningFlagClearedBeforeTheStartMakesNoPass) {
    fake::FakeWorld world;
    fake::FakeDevice& device = world.addDevice();
    const std::vector<EffectInfo> effects = {{GUID_Square, TORVANE_WIDE("Square"), 0x30}};

    const Capture run = diagnose(world, device, effects, false);

    EXPECT_EQ(run.output, "\nSupported effects:\n  - Square (type 0x30)\n" + kPrompt);
    EXPECT_TRUE(world.calls().empty());
    EXPECT_EQ(run.sleeps, 0);
}

}  // namespace
}  // namespace torvane
