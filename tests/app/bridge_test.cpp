// The lifecycle's start-up failures and the diagnose mode, on the fake DirectInput. None of these
// opens a socket; the runs that do are in bridge_socket_test.cpp.
#include "app/bridge.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/version.h"
#include "support/bridge_runner.h"

namespace torvane {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;

// The calls after the last one that start with prefix.
std::vector<std::string> callsAfter(const fake::FakeWorld& world, const std::string& prefix) {
    const auto& calls = world.calls();
    auto it = calls.end();
    for (auto i = calls.begin(); i != calls.end(); ++i)
        if (i->rfind(prefix, 0) == 0) it = i;
    return it == calls.end() ? std::vector<std::string>{}
                             : std::vector<std::string>(it + 1, calls.end());
}

struct StartupFailure {
    const char* what;
    std::function<void(fake::FakeWorld&)> arrange;
    std::vector<const WCHAR*> arguments;
    int exitCode;
    const char* message;
    const char* lastCall;  // the failing call; what follows it is the release
    std::vector<std::string> releases;
};

TEST(BridgeLifecycle, EachStartupFailureHasItsCodeMessageAndReleaseOrder) {
    const StartupFailure cases[] = {
        {"DirectInput8Create fails",
         [](fake::FakeWorld& w) { w.createResult = E_FAIL; },
         {},
         2,
         "DirectInput8Create failed.\n",
         "DirectInput8Create",
         {}},
        {"DirectInput8Create fails but hands out an object",
         [](fake::FakeWorld& w) {
             w.createResult = E_FAIL;
             w.createHandsOutObjectOnFailure = true;
         },
         {},
         2,
         "DirectInput8Create failed.\n",
         "DirectInput8Create",
         {"directInput.Release"}},
        {"no controller",
         [](fake::FakeWorld&) {},
         {},
         3,
         "No DirectInput force-feedback controller was found. Put the wheel base in PC mode.\n",
         "directInput.EnumDevices",
         {"directInput.Release"}},
        {"index out of range",
         [](fake::FakeWorld& w) { fake::addWheel(w); },
         {TORVANE_WIDE("--device-index"), TORVANE_WIDE("1")},
         3,
         "The requested DirectInput device index is unavailable or has no FFB support.\n",
         "device1.Release",
         {"directInput.Release"}},
        {"CreateDevice fails",
         [](fake::FakeWorld& w) {
             fake::addWheel(w);
             w.failOn("directInput.CreateDevice", E_FAIL, 1);  // the temporary one succeeds
         },
         {},
         4,
         "Could not open the selected controller.\n",
         "directInput.CreateDevice",
         {"directInput.Release"}},
        {"SetDataFormat fails",
         [](fake::FakeWorld& w) {
             fake::addWheel(w);
             w.failOn("device2.SetDataFormat");
         },
         {},
         4,
         "Could not open the selected controller.\n",
         "device2.SetDataFormat",
         {"device2.Release", "directInput.Release"}},
        {"SetCooperativeLevel fails",
         [](fake::FakeWorld& w) {
             fake::addWheel(w);
             w.failOn("device2.SetCooperativeLevel", DIERR_OTHERAPPHASPRIO);
         },
         {},
         5,
         "Could not set exclusive background access. Close other FFB applications and retry.\n",
         "device2.SetCooperativeLevel",
         {"device2.Release", "directInput.Release"}},
        {"Acquire fails",
         [](fake::FakeWorld& w) {
             fake::addWheel(w);
             w.failOn("device2.Acquire", DIERR_OTHERAPPHASPRIO);
         },
         {},
         5,
         "Could not acquire the controller. Close Fanatec Control Panel or other FFB applications "
         "and retry.\n",
         "device2.Acquire",
         {"device2.Release", "directInput.Release"}},
    };
    for (const StartupFailure& c : cases) {
        SCOPED_TRACE(c.what);
        fake::FakeWorld world;
        c.arrange(world);
        fake::SimulatedClock clock;
        std::atomic<bool> running{true};
        const fake::BridgeRun run = fake::runBridgeOnFake(c.arguments, clock, running);

        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.err, c.message);
        EXPECT_EQ(callsAfter(world, c.lastCall), c.releases);
        EXPECT_EQ(world.outstandingReferences(), 0u);
        // Nothing after set-up starts: no effect, no poll.
        EXPECT_TRUE(world.callsStartingWith("device*.CreateEffect").empty());
        if (c.exitCode >= 3) {
            EXPECT_THAT(run.out, ::testing::StartsWith("Attached game controllers:\n"));
        }
    }
}

TEST(BridgeLifecycle, SetsTheControllerUpInOrder) {
    fake::FakeWorld world;
    fake::addWheel(world);
    fake::SimulatedClock clock;
    std::atomic<bool> running{true};
    running.store(false);  // the diagnose capture ends at once

    const fake::BridgeRun run = fake::runBridgeOnFake({TORVANE_WIDE("--diagnose")}, clock, running);

    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_THAT(
        callsAfter(world, "device1.Release"),
        ElementsAre("directInput.CreateDevice({00001000-1234-5678-0102})", "  -> device2",
                    "device2.SetDataFormat(c_dfDIJoystick2)",
                    "device2.SetCooperativeLevel(window,9)", "device2.EnumObjects(3)",
                    "device2.SetProperty(DIPROP_RANGE,size=24,header=16,obj=258,how=2,min=-10000,"
                    "max=10000)",
                    "device2.SetProperty(DIPROP_RANGE,size=24,header=16,obj=514,how=2,min=-10000,"
                    "max=10000)",
                    "device2.SetProperty(DIPROP_AUTOCENTER,size=20,header=16,obj=0,how=0,data=0)",
                    "device2.Acquire", "device2.EnumEffects(0)", "device2.Unacquire",
                    "device2.Release", "directInput.Release"));
    EXPECT_EQ(run.out,
              std::string("torvane-bridge ") + versionText() +
                  " diagnose\n"
                  "Attached game controllers:\n  [0] FANATEC Wheel FFB=1\nSelected: FANATEC Wheel\n"
                  "\nSupported effects:\n  - Constant Force (type 0x601)\n  - Sine (type 0x603)\n"
                  "\nMove the wheel/pedals and operate every shifter position for 20 seconds.\n");
    EXPECT_EQ(world.outstandingReferences(), 0u);
}

TEST(BridgeLifecycle, DiagnoseEndsAtItsDeadlineWithoutNetworkOrEffects) {
    fake::FakeWorld world;
    fake::addWheel(world);
    fake::SimulatedClock clock;
    std::atomic<bool> running{true};

    // "--test" is ignored in diagnose mode.
    const fake::BridgeRun run =
        fake::runBridgeOnFake({TORVANE_WIDE("--diagnose"), TORVANE_WIDE("--test")}, clock, running);

    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(clock.sleeps, 500);  // 20 s of 40 ms pauses
    EXPECT_THAT(run.out, EndsWith("20 seconds.\n{\"type\":\"raw-input\",\"axes\":{\"x\":0,\"y\":0,"
                                  "\"z\":0,\"rx\":0,\"ry\":0,\"rz\":0,\"slider0\":0,\"slider1\":0},"
                                  "\"buttons\":[]}\n"));
    EXPECT_THAT(run.out, ::testing::Not(HasSubstr("Bridge active")));
    EXPECT_TRUE(world.callsStartingWith("device*.CreateEffect").empty());
    EXPECT_EQ(world.outstandingReferences(), 0u);
}

}  // namespace
}  // namespace torvane
