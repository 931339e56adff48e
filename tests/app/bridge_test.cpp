// The start-up failures that need a wheel or a DirectInput that misbehaves; the ones a user can
// cause (a busy port, a wrong index) and every normal run are in tests/e2e.
#include "app/bridge.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "support/wheel_rig.h"

namespace torvane {
namespace {

// A DirectInput8Create that fails but still hands out an object, which its caller must release.
IDirectInput8W* handedOut = nullptr;
HRESULT WINAPI failingCreate(HINSTANCE, DWORD, REFIID, LPVOID* out, LPUNKNOWN) {
    *out = handedOut;
    return DIERR_OLDDIRECTINPUTVERSION;
}

TEST(BridgeLifecycle, EachStartupFailureHasItsCodeAndMessageAndLeavesNothingOpen) {
    using Arrange = std::function<void(fake::Rig&)>;
    const struct {
        Arrange arrange;
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

}  // namespace
}  // namespace torvane
