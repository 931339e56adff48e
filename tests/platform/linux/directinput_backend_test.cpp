// DirectInput8Create on Linux reports and opens the controllers of the registered backends, none
// without one, and refuses other versions and interfaces.
#include <gtest/gtest.h>

#include "controller/discovery.h"
#include "platform/linux/device_backend.h"
#include "support/stub_driver.h"

namespace {

TEST(LinuxDirectInput, ListsTheRegisteredBackendsControllersOnly) {
    stub::Source backend;
    for (const bool registered : {false, true}) {
        if (registered) platform::registerDeviceBackend(&backend);
        platform::ComPtr<IDirectInput8W> directInput;
        ASSERT_TRUE(torvane::createDirectInput(DirectInput8Create, directInput));
        const auto controllers = torvane::enumerateControllers(*directInput);
        platform::ComPtr<IDirectInputDevice8W> device;
        EXPECT_EQ(directInput->CreateDevice(backend.wheel.info.instanceGuid, device.put(), nullptr),
                  registered ? DI_OK : DIERR_DEVICENOTREG);
        platform::unregisterDeviceBackend(&backend);
        EXPECT_EQ(controllers.size(), registered ? 2u : 0u);
        EXPECT_EQ(directInput->CreateDevice(GUID_XAxis, device.put(), nullptr), DIERR_DEVICENOTREG);
        EXPECT_FALSE(device);
    }
    void* object = nullptr;
    const HINSTANCE self = GetModuleHandleW(nullptr);
    EXPECT_EQ(DirectInput8Create(self, 0x0700, IID_IDirectInput8W, &object, nullptr),
              DIERR_OLDDIRECTINPUTVERSION);
    EXPECT_EQ(DirectInput8Create(self, 0x0800, IID_IDirectInputEffect, &object, nullptr),
              DIERR_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
}

}  // namespace
