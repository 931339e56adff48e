// The lifecycle's start-up failures, set-up order and diagnose mode on the virtual wheel. None of
// these opens a socket; the runs that do are in bridge_socket_test.cpp.
#include "app/bridge.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "app/version.h"
#include "controller/setup.h"

#include "support/stub_driver.h"
#include "support/wheel_rig.h"

namespace torvane {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::StartsWith;

// A DirectInput8Create that fails but still hands out an object, which its caller must release.
struct {
    DWORD version = 0;
    bool unicode = false;
    IDirectInput8W* handedOut = nullptr;
} createCall;
HRESULT WINAPI failingCreate(HINSTANCE, DWORD version, REFIID iid, LPVOID* out, LPUNKNOWN) {
    createCall.version = version;
    createCall.unicode = iid == IID_IDirectInput8W;
    *out = createCall.handedOut;
    return DIERR_OLDDIRECTINPUTVERSION;
}

TEST(BridgeLifecycle, EachStartupFailureHasItsCodeAndMessageAndLeavesNothingOpen) {
    const struct {
        const char* what;
        std::function<void(fake::Rig&)> arrange;
        std::vector<const WCHAR*> arguments;
        int exitCode;
        const char* message;
    } cases[] = {
        {"no controller",
         [](fake::Rig& r) { r.wheel.unplug(); },
         {},
         3,
         "No DirectInput force-feedback controller was found. Put the wheel base in PC mode.\n"},
        {"index out of range",
         nullptr,
         {TORVANE_WIDE("--device-index"), TORVANE_WIDE("1")},
         3,
         "The requested DirectInput device index is unavailable or has no FFB support.\n"},
        {"the device cannot be opened",
         [](fake::Rig& r) { r.source.opensLeft = 1; },
         {},
         4,
         "Could not open the selected controller.\n"},
        {"Acquire refused",
         [](fake::Rig& r) { r.wheel.refuseAcquire(true); },
         {},
         5,
         "Could not acquire the controller. Close Fanatec Control Panel or other FFB "
         "applications and retry.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fake::Rig rig;
        if (c.arrange) c.arrange(rig);
        const fake::Run run = rig.run(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.err, c.message);
        EXPECT_THAT(run.out, StartsWith("Attached game controllers:\n"));
        EXPECT_TRUE(rig.calls(wheel::Method::CreateEffect).empty());
        EXPECT_EQ(rig.source.openDrivers, 0);
    }

    stub::Source stubs;
    createCall.handedOut = wheel::createDirectInput(stubs);
    createCall.handedOut->AddRef();
    fake::Rig rig;
    const fake::Run run = rig.run({}, failingCreate);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "DirectInput8Create failed.\n");
    EXPECT_EQ(createCall.version, 0x0800u);
    EXPECT_TRUE(createCall.unicode);
    EXPECT_EQ(createCall.handedOut->Release(), 0u);  // the bridge released its reference
}

// The diagnose mode runs the whole set-up, reads the wheel for 20 s and opens nothing else.
TEST(BridgeLifecycle, SetsTheControllerUpInOrderAndDiagnosesUntilTheDeadline) {
    fake::Rig rig;
    // "--test" is ignored in diagnose mode.
    const fake::Run run = rig.run({TORVANE_WIDE("--diagnose"), TORVANE_WIDE("--test")});

    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    // The listing's temporary device, then the chosen one: exclusive background access, the
    // three axes ranged, autocentering off while it can be switched, Acquire, the effect list,
    // the capture's reads, and Unacquire.
    std::vector<std::string> setup = rig.methods();
    std::erase_if(setup,
                  [](const std::string& m) { return m == "Poll" || m == "GetDeviceState(272)"; });
    EXPECT_THAT(setup,
                ElementsAre("GetCapabilities", "SetDataFormat", "SetCooperativeLevel(9)",
                            "EnumObjects(3)", "SetProperty(4)", "SetProperty(4)", "SetProperty(4)",
                            "SetProperty(9)", "Acquire", "EnumEffects", "Unacquire"));
    for (const wheel::JournalEntry& call : rig.journal.entries())
        EXPECT_TRUE(SUCCEEDED(call.result));
    EXPECT_EQ(rig.calls(wheel::Method::GetDeviceState).size(), 500u);
    EXPECT_EQ(rig.clock.sleeps, 500);  // 20 s of 40 ms pauses
    EXPECT_THAT(
        run.out,
        StartsWith(std::string("torvane-bridge ") + versionText() +
                   " diagnose\nAttached game controllers:\n  [0] Torvane Virtual Wheel FFB=1\n"
                   "Selected: Torvane Virtual Wheel\n\nSupported effects:\n"
                   "  - Constant Force (type 0x"));
    EXPECT_THAT(run.out, EndsWith("20 seconds.\n{\"type\":\"raw-input\",\"axes\":{\"x\":0,"
                                  "\"y\":10000,\"z\":10000,\"rx\":0,\"ry\":0,\"rz\":0,"
                                  "\"slider0\":0,\"slider1\":0},\"buttons\":[]}\n"));
    EXPECT_TRUE(rig.calls(wheel::Method::CreateEffect).empty());
    EXPECT_EQ(rig.source.openDrivers, 0);
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
        const fake::Run run = rig.run({TORVANE_WIDE("--wait"), TORVANE_WIDE("--diagnose")});
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

// Only a console made for the program alone, read by it, after a failed start-up.
TEST(BridgeLifecycle, PausesOnlyWhenStartedFromExplorerAndFailing) {
    const struct {
        unsigned processes;
        bool inputIsConsole;
        int exitCode;
        bool pauses;
    } cases[] = {
        {1, true, 3, true},  {1, true, 2, true},  {1, true, 7, true},
        {2, true, 3, false}, {0, true, 3, false}, {1, false, 3, false},
        {1, true, 0, false}, {1, true, 1, false}, {1, true, 8, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shouldPauseBeforeClosing(c.processes, c.inputIsConsole, c.exitCode), c.pauses)
            << c.processes << c.inputIsConsole << c.exitCode;
}

TEST(BridgeLifecycle, AutocenteringThatCannotBeSwitchedOffOnlyWarns) {
    fake::Rig rig;
    platform::ComPtr<IDirectInputDevice8W> device = rig.openDevice();  // acquired: refused
    std::ostringstream err;
    disableAutocenter(*device, err);
    EXPECT_EQ(err.str(),
              "Warning: the wheel's automatic centering could not be disabled. Stop the bridge if "
              "forces feel abnormal.\n");
}

}  // namespace
}  // namespace torvane
