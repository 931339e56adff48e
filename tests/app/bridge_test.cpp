// Start-up failures that need a misbehaving wheel or DirectInput; the rest are in tests/e2e.
#include "app/bridge.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "observe/version.h"
#include "support/wheel_rig.h"

namespace torvane {
namespace {

using ::testing::StartsWith;

// A DirectInput8Create that fails but still hands out an object, which its caller must release.
IDirectInput8W* handedOut = nullptr;
HRESULT WINAPI failingCreate(HINSTANCE, DWORD, REFIID, LPVOID* out, LPUNKNOWN) {
    *out = handedOut;
    return DIERR_OLDDIRECTINPUTVERSION;
}

TEST(BridgeLifecycle, EachStartupFailureHasItsCodeAndMessageAndLeavesNothingOpen) {
    const struct {
        std::function<void(fake::Rig&)> arrange;
        int exitCode;
        const char* message;
    } cases[] = {
        {[](fake::Rig& r) { r.wheel.unplug(); }, 3,
         "No DirectInput force-feedback controller was found. Put the wheel base in PC mode.\n"},
        {[](fake::Rig& r) { r.source.opensLeft = 1; }, 4,  // listed, then not opened
         "Could not open the selected controller.\n"},
        {[](fake::Rig& r) { r.wheel.refuseAcquire(true); }, 5,
         "Could not acquire the controller. Close Fanatec Control Panel or other FFB "
         "applications and retry.\n"},
    };
    for (const auto& c : cases) {
        fake::Rig rig;
        c.arrange(rig);
        const fake::Run run = rig.run();
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.err, c.message);
        EXPECT_TRUE(rig.calls(wheel::Method::CreateEffect).empty());
        EXPECT_EQ(rig.source.openDrivers, 0);
    }

    fake::Rig rig;
    handedOut = wheel::createDirectInput(rig.source);
    handedOut->AddRef();
    const fake::Run run = rig.run(failingCreate);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "DirectInput8Create failed.\n");
    EXPECT_EQ(handedOut->Release(), 0u);  // the bridge released its reference
}

// "--wait": a wheel switched on later is listed and used; Ctrl+C while waiting ends with 0.
TEST(BridgeLifecycle, WaitsForAWheelUntilOneArrivesOrCtrlC) {
    const char* waiting = "Waiting for a force-feedback wheel... (Ctrl+C to stop)\n";
    const char* none = "Attached game controllers:\n";
    for (const bool arrives : {true, false}) {
        SCOPED_TRACE(arrives);
        fake::Rig rig;
        rig.source.hiddenListings = 3;  // the first listing, then two tries a second apart
        if (!arrives) {
            rig.wheel.unplug();
            rig.clock.onSleep = [&rig](fake::SimulatedClock& c) {
                if (c.sleeps == 25) rig.running = false;
            };
        }
        const fake::Run run =
            rig.run(nullptr, {TORVANE_WIDE("--wait"), TORVANE_WIDE("--diagnose")});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.err, waiting);
        if (arrives) {
            EXPECT_THAT(run.out,
                        StartsWith(std::string("torvane-bridge ") + versionText() + " diagnose\n" +
                                   none + none + "  [0] Torvane Virtual Wheel FFB=1\nSelected: "));
        } else {
            EXPECT_EQ(run.out,
                      std::string("torvane-bridge ") + versionText() + " diagnose\n" + none);
            EXPECT_EQ(rig.clock.sleeps, 25);  // ended at once
        }
        EXPECT_EQ(rig.source.openDrivers, 0);
    }
}

// Only a console made for the program alone (one process), read by it, after a failed start-up
// (exit codes 2 to 7).
TEST(BridgeLifecycle, PausesOnlyWhenStartedFromExplorerAndFailing) {
    for (const int code : {2, 3, 7}) EXPECT_TRUE(shouldPauseBeforeClosing(1, true, code));
    for (const int code : {0, 1, 8}) EXPECT_FALSE(shouldPauseBeforeClosing(1, true, code));
    EXPECT_FALSE(shouldPauseBeforeClosing(2, true, 3) || shouldPauseBeforeClosing(0, true, 3) ||
                 shouldPauseBeforeClosing(1, false, 3));
}

}  // namespace
}  // namespace torvane
