// The evdev source and driver on a fake kernel's typical wheels, nodes the user may not open, and a
// base unplugged.
#include <gtest/gtest.h>

#include <climits>
#include <sstream>

#include "evdev_fake_kernel.h"
#include "platform/linux/evdev/source.h"

namespace {

using wheel::DriverStatus;
using wheel::EffectKind;
using Writes = std::vector<std::pair<int, int>>;

struct World {
    fake::EvdevKernel kernel;
    std::ostringstream errors;
    evdev::EvdevSource source{kernel, errors};

    std::vector<wheel::DriverInfo> list() {
        std::vector<wheel::DriverInfo> found;
        source.listDevices(found);
        return found;
    }
    std::unique_ptr<wheel::Driver> open(int index) {
        return source.openDevice(list()[index].instanceGuid);
    }
};

// The worked example's five effects as the effect set sends them at gain 0.1.
std::vector<wheel::EffectParameters> workedExample() {
    using P = wheel::EffectParameters;
    return {P{.kind = EffectKind::ConstantForce, .level = -420},
            P{.kind = EffectKind::Sine, .magnitude = 660, .periodMicroseconds = 16260},
            P{.kind = EffectKind::Sine, .magnitude = 176, .periodMicroseconds = 13890},
            P{.kind = EffectKind::Square, .magnitude = 800, .periodMicroseconds = 9585},
            P{.kind = EffectKind::Damper,
              .positiveCoefficient = 250,
              .negativeCoefficient = 250,
              .positiveSaturation = 10000,
              .negativeSaturation = 10000}};
}

TEST(EvdevSource, ListsGameControllersInNumericOrderAndSaysWhichMayNotBeOpened) {
    World world;
    world.kernel.nodes = {
        {10, fake::pidBase()},
        {2, fake::pedals()},
        {3, fake::beltWheel()},
        {4, fake::beltWheel()},
        {5, {.name = "Keyboard", .keys = {KEY_A}, .openError = EACCES}},
        {6, {.name = "Touchpad", .axes = {ABS_X}, .properties = {INPUT_PROP_POINTER}}},
        {7, fake::pidBase()}};  // a second node with the same identity
    world.kernel.nodes[4].openError = EACCES;
    const std::vector<wheel::DriverInfo> found = world.list();
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(std::u16string(found[0].productName.data()), u"Pedals");
    EXPECT_EQ(std::u16string(found[1].productName.data()), u"Belt Wheel");
    EXPECT_EQ(found[0].effects, 0u);
    EXPECT_EQ(found[1].effects, wheel::kindBit(EffectKind::ConstantForce));
    EXPECT_EQ(found[3].effects, found[1].effects | wheel::kindBit(EffectKind::Sine) |
                                    wheel::kindBit(EffectKind::Square) |
                                    wheel::kindBit(EffectKind::Damper));
    EXPECT_TRUE(found[1].productGuid ==
                (GUID{0xC24F046D, 0, 0, {0, 0, 'P', 'I', 'D', 'V', 'I', 'D'}}));
    EXPECT_FALSE(found[2].instanceGuid == found[3].instanceGuid);
    EXPECT_FALSE(found[1].instanceGuid == found[2].instanceGuid);
    const std::string line =
        "Cannot open /dev/input/event4 (Belt Wheel): permission denied. Grant access with a "
        "udev rule that adds TAG+=\"uaccess\" for the device, or add your user to the input "
        "group.\n";
    EXPECT_EQ(world.errors.str(), line);
    world.list();
    EXPECT_EQ(world.errors.str(), line);  // once per node
}

// The records and writes of the worked example are the whole-program test's; here what only a
// driver sees: a belt wheel refusing what it lacks, updates in place, and the close.
TEST(EvdevDriver, PlaysWhatEachWheelCanAndRemovesItAll) {
    World world;
    world.kernel.nodes = {{0, fake::pidBase()}, {1, fake::beltWheel()}};
    const fake::EvdevNode &base = world.kernel.nodes[0], &belt = world.kernel.nodes[1];
    {
        auto driver = world.open(0), beltDriver = world.open(1);
        ASSERT_EQ(driver->acquire(true), DriverStatus::Ok);
        ASSERT_EQ(beltDriver->acquire(true), DriverStatus::Ok);
        std::vector<wheel::EffectHandle> handles;
        for (const wheel::EffectParameters& parameters : workedExample()) {
            wheel::EffectHandle handle = wheel::kNoHandle, beltHandle = wheel::kNoHandle;
            ASSERT_EQ(driver->download(parameters, handle), DriverStatus::Ok);
            EXPECT_EQ(beltDriver->download(parameters, beltHandle),
                      handles.empty() ? DriverStatus::Ok : DriverStatus::Unsupported);
            handles.push_back(handle);
        }
        wheel::EffectParameters stronger = workedExample()[0];
        stronger.level = 3500;
        ASSERT_EQ(driver->download(stronger, handles[0]), DriverStatus::Ok);
        EXPECT_EQ(fake::summary(base.uploads.back()), "0 4000 0 | constant 11468");
        ASSERT_EQ(driver->stop(handles[1]), DriverStatus::Ok);
        EXPECT_EQ(base.writes.back(), std::make_pair(1, 0));
        EXPECT_EQ(driver->setAutocenter(false), DriverStatus::Unsupported);
        ASSERT_EQ(beltDriver->setGain(5000), DriverStatus::Ok);
        EXPECT_EQ(belt.writes.back(), std::make_pair(int{FF_GAIN}, 32768));
    }
    EXPECT_TRUE(base.loaded.empty() && belt.loaded.empty());
}

TEST(EvdevDriver, CountsIterationsSlotsAndGrabsAsTheKernelNeeds) {
    World world;
    world.kernel.nodes[0] = fake::pidBase();
    fake::EvdevNode& node = world.kernel.nodes[0];
    auto driver = world.open(0);
    wheel::EffectParameters endless{
        .kind = EffectKind::Sine, .magnitude = 100, .periodMicroseconds = 10000};
    wheel::EffectParameters finite = endless;
    finite.durationMicroseconds = 500000;
    wheel::EffectHandle a = wheel::kNoHandle, b = wheel::kNoHandle;
    ASSERT_EQ(driver->download(finite, a), DriverStatus::Ok);
    ASSERT_EQ(driver->download(endless, b), DriverStatus::Ok);
    ASSERT_EQ(driver->start(a, INFINITE), DriverStatus::Ok);  // never negative: that is a stop
    ASSERT_EQ(driver->start(b, INFINITE), DriverStatus::Ok);
    ASSERT_EQ(driver->stopAll(), DriverStatus::Ok);
    EXPECT_EQ(node.writes, (Writes{{0, INT_MAX}, {1, 1}, {0, 0}, {1, 0}}));

    for (int i = 2; i < 16; ++i) {
        wheel::EffectHandle handle = wheel::kNoHandle;
        ASSERT_EQ(driver->download(endless, handle), DriverStatus::Ok);
    }
    wheel::EffectHandle oneTooMany = wheel::kNoHandle;
    EXPECT_EQ(driver->download(endless, oneTooMany), DriverStatus::NoRoom);
    ASSERT_EQ(driver->unload(a), DriverStatus::Ok);
    EXPECT_EQ(driver->download(endless, oneTooMany), DriverStatus::Ok);
    ASSERT_EQ(driver->reset(), DriverStatus::Ok);
    EXPECT_TRUE(node.loaded.empty());

    node.grabError = EBUSY;
    EXPECT_EQ(driver->acquire(true), DriverStatus::Refused);
    EXPECT_EQ(driver->acquire(false), DriverStatus::Ok);
}

TEST(EvdevDriver, ReadsAxesButtonsAndTheHat) {
    World world;
    world.kernel.nodes = {{0, fake::beltWheel()}, {1, fake::pedals()}};
    world.kernel.nodes[0].absolute = {{ABS_X, fake::absolute(49151, 0, 65535)},
                                      {ABS_Y, fake::absolute(-300, -100, 100)},
                                      {ABS_HAT0X, fake::absolute(1, -1, 1)},
                                      {ABS_HAT0Y, fake::absolute(-1, -1, 1)}};
    world.kernel.nodes[0].pressed = {BTN_THUMB, KEY_A};
    world.kernel.nodes[1].absolute = {{ABS_GAS, fake::absolute(255, 0, 255)},
                                      {ABS_RUDDER, fake::absolute(64, 0, 256)}};
    wheel::InputState state;
    ASSERT_EQ(world.open(0)->readInput(state), DriverStatus::Ok);
    EXPECT_DOUBLE_EQ(state.axisTravel[0], 49151.0 / 65535);
    EXPECT_DOUBLE_EQ(state.axisTravel[1], 0.0);  // clamped
    // BTN_TRIGGER, BTN_THUMB, BTN_TRIGGER_HAPPY1, then KEY_A.
    EXPECT_EQ(std::vector<bool>(state.buttons.begin(), state.buttons.begin() + 5),
              (std::vector<bool>{false, true, false, true, false}));
    EXPECT_EQ(std::vector<int>(state.pov.begin(), state.pov.end()),
              (std::vector<int>{4500, -1, -1, -1}));

    // Gas to Y, brake to Rz (without a range: centred), rudder to the second slider.
    ASSERT_EQ(world.open(1)->readInput(state), DriverStatus::Ok);
    EXPECT_EQ(std::vector<double>(state.axisTravel.begin(), state.axisTravel.end()),
              (std::vector<double>{0, 1, 0, 0, 0, 0.5, 0, 0.25}));
}

TEST(EvdevDriver, AnUnpluggedBaseIsLostUntilItComesBack) {
    World world;
    world.kernel.nodes[0] = fake::pidBase();
    auto driver = world.open(0);
    ASSERT_EQ(driver->acquire(true), DriverStatus::Ok);
    wheel::EffectHandle handle = wheel::kNoHandle;
    ASSERT_EQ(driver->download(workedExample()[0], handle), DriverStatus::Ok);
    world.kernel.nodes[0].gone = true;

    wheel::InputState state;
    EXPECT_EQ(driver->readInput(state), DriverStatus::Lost);
    EXPECT_EQ(driver->download(workedExample()[0], handle), DriverStatus::Lost);
    EXPECT_EQ(driver->start(handle, 1), DriverStatus::Lost);
    EXPECT_EQ(driver->acquire(true), DriverStatus::Unplugged);

    world.kernel.nodes[12] = fake::pidBase();  // the base rebooted and came back as a new node
    const int scans = world.kernel.scans;
    EXPECT_EQ(driver->acquire(true), DriverStatus::Lost);  // looked less than a second ago
    EXPECT_EQ(world.kernel.scans, scans);
    world.kernel.time += 1'000'000'000;
    ASSERT_EQ(driver->acquire(true), DriverStatus::Ok);
    ASSERT_EQ(driver->start(handle, 1), DriverStatus::Ok);  // uploaded again first
    EXPECT_EQ(world.kernel.nodes[12].uploads.size(), 1u);
    EXPECT_EQ(driver->readInput(state), DriverStatus::Ok);
}

}  // namespace
