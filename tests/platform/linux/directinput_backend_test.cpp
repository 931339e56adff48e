// DirectInput8Create on Linux reports the controllers of the registered backends, and reports
// none without one.
#include <gtest/gtest.h>

#include <sstream>

#include "controller/discovery.h"
#include "platform/linux/device_backend.h"
#include "support/fake_directinput.h"

namespace {

// A backend whose controllers are the fake world's devices.
class FakeBackend final : public platform::DeviceBackend {
  public:
    explicit FakeBackend(fake::FakeWorld& world) : world_(world) {}

    void listControllers(std::vector<DIDEVICEINSTANCEW>& out) override {
        for (const fake::FakeController& controller : world_.controllers()) {
            DIDEVICEINSTANCEW instance{};
            instance.dwSize = sizeof instance;
            instance.guidInstance = controller.instanceGuid;
            std::copy(controller.productName.begin(), controller.productName.end(),
                      instance.tszProductName);
            out.push_back(instance);
        }
    }

    HRESULT openController(REFGUID instance, IDirectInputDevice8W** device) override {
        for (const fake::FakeController& controller : world_.controllers()) {
            if (controller.instanceGuid == instance) {
                *device = &world_.makeDevice(controller.behaviour);
                return DI_OK;
            }
        }
        return DIERR_DEVICENOTREG;
    }

  private:
    fake::FakeWorld& world_;
};

TEST(LinuxDirectInput, ReportsNoControllerWithoutABackend) {
    platform::ComPtr<IDirectInput8W> directInput;
    ASSERT_TRUE(torvane::createDirectInput(DirectInput8Create, directInput));
    EXPECT_TRUE(torvane::enumerateControllers(*directInput).empty());

    platform::ComPtr<IDirectInputDevice8W> device;
    EXPECT_EQ(directInput->CreateDevice(GUID_XAxis, device.put(), nullptr), DIERR_DEVICENOTREG);
    EXPECT_FALSE(device);
}

TEST(LinuxDirectInput, EnumeratesAndOpensTheControllersOfRegisteredBackends) {
    fake::FakeWorld world;
    world.addController(TORVANE_WIDE("Pedals"), false);
    world.addController(TORVANE_WIDE("Wheel"), true);
    FakeBackend backend(world);
    platform::registerDeviceBackend(&backend);

    platform::ComPtr<IDirectInput8W> directInput;
    ASSERT_TRUE(torvane::createDirectInput(DirectInput8Create, directInput));
    const std::vector<torvane::ControllerInfo> controllers =
        torvane::enumerateControllers(*directInput);
    platform::unregisterDeviceBackend(&backend);

    ASSERT_EQ(controllers.size(), 2u);
    EXPECT_EQ(controllers[0].productName, TORVANE_WIDE("Pedals"));
    EXPECT_FALSE(controllers[0].forceFeedback);
    EXPECT_TRUE(controllers[1].forceFeedback);
    EXPECT_EQ(world.outstandingReferences(), 0u);  // the temporary devices were released
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
