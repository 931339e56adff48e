// DirectInput8Create on Linux reports the controllers of the registered backends, and reports
// none without one.
#include <gtest/gtest.h>

#include <sstream>

#include "controller/discovery.h"
#include "platform/linux/device_backend.h"
#include "support/stub_driver.h"

namespace {

TEST(LinuxDirectInput, ReportsNoControllerWithoutABackend) {
    platform::ComPtr<IDirectInput8W> directInput;
    ASSERT_TRUE(torvane::createDirectInput(DirectInput8Create, directInput));
    EXPECT_TRUE(torvane::enumerateControllers(*directInput).empty());

    platform::ComPtr<IDirectInputDevice8W> device;
    EXPECT_EQ(directInput->CreateDevice(GUID_XAxis, device.put(), nullptr), DIERR_DEVICENOTREG);
    EXPECT_FALSE(device);
}

TEST(LinuxDirectInput, EnumeratesAndOpensTheControllersOfRegisteredBackends) {
    stub::Source backend;
    platform::registerDeviceBackend(&backend);

    platform::ComPtr<IDirectInput8W> directInput;
    ASSERT_TRUE(torvane::createDirectInput(DirectInput8Create, directInput));
    const std::vector<torvane::ControllerInfo> controllers =
        torvane::enumerateControllers(*directInput);
    platform::unregisterDeviceBackend(&backend);

    ASSERT_EQ(controllers.size(), 2u);
    EXPECT_EQ(controllers[0].productName, TORVANE_WIDE("Pedals"));
    EXPECT_FALSE(controllers[0].forceFeedback);
    EXPECT_EQ(controllers[1].productName, TORVANE_WIDE("Stub Wheel"));
    EXPECT_TRUE(controllers[1].forceFeedback);
}

TEST(LinuxDirectInput, RefusesOtherVersionsAndInterfaces) {
    void* object = nullptr;
    EXPECT_EQ(
        DirectInput8Create(GetModuleHandleW(nullptr), 0x0700, IID_IDirectInput8W, &object, nullptr),
        DIERR_OLDDIRECTINPUTVERSION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(DirectInput8Create(GetModuleHandleW(nullptr), 0x0800, IID_IDirectInputEffect, &object,
                                 nullptr),
              DIERR_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
}

}  // namespace
