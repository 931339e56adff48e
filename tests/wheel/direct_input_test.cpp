// wheel::createDirectInput lists a source's controllers and opens them as devices.
#include <gtest/gtest.h>

#include "platform/resources.h"
#include "support/stub_driver.h"
#include "wheel/direct_input.h"

namespace {

std::vector<DIDEVICEINSTANCEW> enumerate(IDirectInput8W& directInput, DWORD type, DWORD flags) {
    std::vector<DIDEVICEINSTANCEW> found;
    directInput.EnumDevices(
        type,
        [](LPCDIDEVICEINSTANCEW instance, LPVOID context) {
            static_cast<std::vector<DIDEVICEINSTANCEW>*>(context)->push_back(*instance);
            return DIENUM_CONTINUE;
        },
        &found, flags);
    return found;
}

TEST(WheelDirectInput, EnumeratesAndCreatesTheSourcesControllers) {
    stub::Source source;
    platform::ComPtr<IDirectInput8W> directInput(wheel::createDirectInput(source));
    EXPECT_EQ(enumerate(*directInput, DI8DEVCLASS_ALL, DIEDFL_ATTACHEDONLY).size(), 2u);
    const auto ff = enumerate(*directInput, DI8DEVCLASS_GAMECTRL, DIEDFL_FORCEFEEDBACK);
    ASSERT_EQ(ff.size(), 1u);
    EXPECT_TRUE(ff[0].guidInstance == source.wheel.info.instanceGuid);
    EXPECT_EQ(platform::textOfField(ff[0].tszProductName), TORVANE_WIDE("Stub Wheel"));
    platform::ComPtr<IDirectInputDevice8W> device;
    ASSERT_EQ(directInput->CreateDevice(ff[0].guidInstance, device.put(), nullptr), DI_OK);
    EXPECT_EQ(directInput->CreateDevice(GUID_XAxis, device.put(), nullptr), DIERR_DEVICENOTREG);
    EXPECT_FALSE(device);
}

}  // namespace
