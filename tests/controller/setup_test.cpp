#include "controller/setup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/fake_directinput.h"

namespace torvane {
namespace {

using ::testing::ElementsAre;

TEST(ControllerSetup, OpensWithTheJoystickFormatAndKeepsAFailedDeviceForItsOwner) {
    struct Case {
        const char* failing;
        bool opens;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {nullptr,
         true,
         {"directInput.CreateDevice({00001000-1234-5678-0102})", "  -> device1",
          "device1.SetDataFormat(c_dfDIJoystick2)"}},
        {"directInput.CreateDevice",
         false,
         {"directInput.CreateDevice({00001000-1234-5678-0102})"}},
        {"device1.SetDataFormat",
         false,
         {"directInput.CreateDevice({00001000-1234-5678-0102})", "  -> device1",
          "device1.SetDataFormat(c_dfDIJoystick2)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failing ? c.failing : "nothing fails");
        fake::FakeWorld world;
        const fake::FakeController& wheel = world.addController(TORVANE_WIDE("Wheel"));
        if (c.failing) world.failOn(c.failing);
        const ControllerInfo chosen{wheel.instanceGuid, wheel.productName, true};
        {
            platform::ComPtr<IDirectInputDevice8W> device;
            EXPECT_EQ(openController(world.directInput(), chosen, device), c.opens);
            EXPECT_EQ(world.calls(), c.calls);
        }
        EXPECT_EQ(world.outstandingReferences(), 0u);
    }
}

TEST(ControllerSetup, RangesEveryAxisEvenWhenOneRefuses) {
    fake::FakeWorld world;
    fake::DeviceBehaviour behaviour;
    behaviour.axisTypes = {0x00000102, 0x00000202, 0x00010302};
    fake::FakeDevice& device = world.addDevice(behaviour);
    world.failOn("device1.SetProperty(DIPROP_RANGE,size=24,header=16,obj=514");

    setAxisRanges(device);

    EXPECT_THAT(world.calls(),
                ElementsAre("device1.EnumObjects(3)",
                            "device1.SetProperty(DIPROP_RANGE,size=24,header=16,obj=258,how=2,"
                            "min=-10000,max=10000)",
                            "device1.SetProperty(DIPROP_RANGE,size=24,header=16,obj=514,how=2,"
                            "min=-10000,max=10000)",
                            "device1.SetProperty(DIPROP_RANGE,size=24,header=16,obj=66306,how=2,"
                            "min=-10000,max=10000)"));
}

TEST(ControllerSetup, TakesExclusiveBackgroundAccessOnAHiddenOwnerWindow) {
    fake::FakeWorld world;
    fake::FakeDevice& device = world.addDevice();
    const OwnerWindow window = createOwnerWindow();
    ASSERT_TRUE(window);
    EXPECT_FALSE(IsWindowVisible(window.get()));

    EXPECT_TRUE(setCooperativeLevel(device, window.get()));
    EXPECT_EQ(device.cooperativeWindow(), window.get());
    EXPECT_THAT(world.calls(), ElementsAre("device1.SetCooperativeLevel(window,9)"));

    world.failOn("device1.SetCooperativeLevel", DIERR_OTHERAPPHASPRIO);
    EXPECT_FALSE(setCooperativeLevel(device, window.get()));
}

TEST(ControllerSetup, ListsTheSupportedEffectsInTheDevicesOrder) {
    fake::FakeWorld world;
    fake::DeviceBehaviour behaviour;
    behaviour.effects = {fake::effectInfo(GUID_ConstantForce, TORVANE_WIDE("Constant"), 0x601),
                         fake::effectInfo(GUID_Sine, TORVANE_WIDE("Sine \u00E9"), 0x603)};
    fake::FakeDevice& device = world.addDevice(behaviour);

    const std::vector<EffectInfo> effects = enumerateEffects(device);

    ASSERT_EQ(effects.size(), 2u);
    EXPECT_TRUE(effects[0].effectGuid == GUID_ConstantForce);
    EXPECT_EQ(effects[0].effectName, TORVANE_WIDE("Constant"));
    EXPECT_EQ(effects[0].effectType, 0x601u);
    EXPECT_TRUE(effects[1].effectGuid == GUID_Sine);
    EXPECT_EQ(effects[1].effectName, TORVANE_WIDE("Sine \u00E9"));
    EXPECT_THAT(world.calls(), ElementsAre("device1.EnumEffects(0)"));

    world.failOn("device1.EnumEffects");
    EXPECT_TRUE(enumerateEffects(device).empty());
}

}  // namespace
}  // namespace torvane
