// The evdev source and driver on a fake kernel whose nodes are typical wheels: (a) a belt wheel
// with a constant force, autocentering and gain only; (b) a PID-class base; (c) pedals without
// force feedback; (d) nodes the user may not open; (e) a base unplugged mid-session.
#include <gtest/gtest.h>

#include <climits>
#include <sstream>

#include "evdev_fake_kernel.h"
#include "platform/linux/evdev/source.h"

namespace {

using wheel::DriverStatus;
using wheel::EffectKind;

fake::EvdevNode beltWheel() {  // (a)
    fake::EvdevNode node{.name = "Belt Wheel", .phys = "usb-0000:00:14.0-2/input0"};
    node.id.vendor = 0x046D;
    node.axes = {ABS_X, ABS_Y, ABS_Z, ABS_HAT0X, ABS_HAT0Y};
    node.keys = {KEY_A, BTN_TRIGGER_HAPPY1, BTN_THUMB, BTN_TRIGGER};
    node.effects = {FF_CONSTANT, FF_AUTOCENTER, FF_GAIN};
    node.slots = 16;
    return node;
}

fake::EvdevNode pidBase() {  // (b)
    fake::EvdevNode node{.name = "PID Wheel Base"};
    node.axes = {ABS_X, ABS_Y, ABS_RZ};
    node.keys = {BTN_TRIGGER, BTN_THUMB};
    node.effects = {FF_CONSTANT, FF_PERIODIC, FF_SINE, FF_SQUARE, FF_DAMPER, FF_GAIN};
    node.slots = 16;
    return node;
}

fake::EvdevNode pedals() {  // (c)
    fake::EvdevNode node{.name = "Pedals", .phys = "usb-0000:00:14.0-3/input0"};
    node.axes = {ABS_GAS, ABS_BRAKE, ABS_RUDDER};
    return node;
}

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

// The worked example's five effects, as the effect set sends them at gain 0.1.
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
    world.kernel.nodes[10] = pidBase();
    world.kernel.nodes[2] = pedals();
    world.kernel.nodes[3] = beltWheel();
    world.kernel.nodes[4] = beltWheel();  // the same model on another port, not ours to open
    world.kernel.nodes[4].phys = "usb-0000:00:14.0-4/input0";
    world.kernel.nodes[4].openError = EACCES;
    world.kernel.nodes[5] = {.name = "Keyboard", .keys = {KEY_A}, .openError = EACCES};
    world.kernel.nodes[6] = {
        .name = "Touchpad", .axes = {ABS_X, ABS_Y}, .properties = {INPUT_PROP_POINTER}};
    world.kernel.nodes[7] = world.kernel.nodes[10];  // a second interface with the same identity

    const std::vector<wheel::DriverInfo> found = world.list();
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(std::u16string(found[0].productName.data()), u"Pedals");
    EXPECT_EQ(std::u16string(found[1].productName.data()), u"Belt Wheel");
    EXPECT_EQ(found[0].effects, 0u);
    EXPECT_EQ(found[1].effects, wheel::kindBit(EffectKind::ConstantForce));
    EXPECT_EQ(found[3].effects,
              wheel::kindBit(EffectKind::ConstantForce) | wheel::kindBit(EffectKind::Sine) |
                  wheel::kindBit(EffectKind::Square) | wheel::kindBit(EffectKind::Damper));
    const GUID product{0x0020046D, 0, 0, {0, 0, 'P', 'I', 'D', 'V', 'I', 'D'}};
    EXPECT_TRUE(found[1].productGuid == product);
    EXPECT_FALSE(found[2].instanceGuid == found[3].instanceGuid);
    EXPECT_EQ(world.errors.str(),
              "Cannot open /dev/input/event4 (Belt Wheel): permission denied. Grant access with a "
              "udev rule that adds TAG+=\"uaccess\" for the device, or add your user to the input "
              "group.\n");

    fake::EvdevKernel again;  // another run: the same GUIDs
    again.nodes = world.kernel.nodes;
    std::vector<wheel::DriverInfo> rerun;
    std::ostringstream rerunErrors;
    evdev::EvdevSource(again, rerunErrors).listDevices(rerun);
    for (std::size_t i = 0; i < found.size(); ++i)
        EXPECT_TRUE(rerun[i].instanceGuid == found[i].instanceGuid);
    world.list();
    EXPECT_EQ(world.errors.str().find("event4", 40), std::string::npos);  // one line per node, once
}

TEST(EvdevDriver, PlaysTheWorkedExampleOnAPidBase) {
    World world;
    world.kernel.nodes[0] = pidBase();
    const fake::EvdevNode& node = world.kernel.nodes[0];
    {
        auto driver = world.open(0);
        ASSERT_TRUE(driver);
        ASSERT_EQ(driver->acquire(true), DriverStatus::Ok);
        EXPECT_TRUE(node.grabbed);
        std::vector<wheel::EffectHandle> handles;
        for (const wheel::EffectParameters& parameters : workedExample()) {
            wheel::EffectHandle handle = wheel::kNoHandle;
            ASSERT_EQ(driver->download(parameters, handle), DriverStatus::Ok);
            ASSERT_EQ(driver->start(handle, 1), DriverStatus::Ok);
            handles.push_back(handle);
        }
        struct Upload {
            int type, waveform, level, period;
        };
        const Upload expected[] = {{FF_CONSTANT, 0, -1376, 0},
                                   {FF_PERIODIC, FF_SINE, 2163, 16},
                                   {FF_PERIODIC, FF_SINE, 577, 14},
                                   {FF_PERIODIC, FF_SQUARE, 2621, 10},
                                   {FF_DAMPER, 0, 0, 0}};
        ASSERT_EQ(node.uploads.size(), 5u);
        for (int i = 0; i < 5; ++i) {
            const ff_effect& upload = node.uploads[i];
            EXPECT_EQ(upload.type, expected[i].type) << i;
            EXPECT_EQ(upload.id, i);
            EXPECT_EQ(upload.direction, 0x4000);
            EXPECT_EQ(upload.replay.length, 0);
            if (upload.type == FF_CONSTANT) {
                EXPECT_EQ(upload.u.constant.level, expected[i].level);
            }
            if (upload.type != FF_PERIODIC) continue;
            EXPECT_EQ(upload.u.periodic.waveform, expected[i].waveform) << i;
            EXPECT_EQ(upload.u.periodic.magnitude, expected[i].level) << i;
            EXPECT_EQ(upload.u.periodic.period, expected[i].period) << i;
        }
        const ff_condition_effect& damper = node.uploads[4].u.condition[0];
        EXPECT_EQ(damper.right_coeff, 819);
        EXPECT_EQ(damper.left_coeff, 819);
        EXPECT_EQ(damper.right_saturation, 0xFFFF);
        // FF_GAIN to full at acquisition, then one play per effect.
        ASSERT_EQ(node.writes.size(), 6u);
        EXPECT_EQ(node.writes[0].code, FF_GAIN);
        EXPECT_EQ(node.writes[0].value, 0xFFFF);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(node.writes[1 + i].code, i);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(node.writes[1 + i].value, 1);

        // An update goes to the playing effect in place, with no stop or restart.
        wheel::EffectParameters stronger = workedExample()[0];
        stronger.level = 3500;
        ASSERT_EQ(driver->download(stronger, handles[0]), DriverStatus::Ok);
        EXPECT_EQ(node.uploads.back().id, 0);
        EXPECT_EQ(node.uploads.back().u.constant.level, 11468);
        EXPECT_EQ(node.writes.size(), 6u);
        ASSERT_EQ(driver->stop(handles[1]), DriverStatus::Ok);
        EXPECT_EQ(node.writes.back().value, 0);
        EXPECT_EQ(driver->setAutocenter(false), DriverStatus::Unsupported);
    }
    EXPECT_EQ(node.removals, (std::vector<int>{0, 1, 2, 3, 4}));  // everything removed at the end
    EXPECT_TRUE(node.loaded.empty());
    EXPECT_FALSE(node.grabbed);
}

TEST(EvdevDriver, ABeltWheelPlaysAConstantForceAndRefusesTheRest) {
    World world;
    world.kernel.nodes[0] = beltWheel();
    const fake::EvdevNode& node = world.kernel.nodes[0];
    auto driver = world.open(0);
    ASSERT_EQ(driver->acquire(true), DriverStatus::Ok);
    const DriverStatus expected[] = {DriverStatus::Ok, DriverStatus::Unsupported,
                                     DriverStatus::Unsupported, DriverStatus::Unsupported,
                                     DriverStatus::Unsupported};
    int i = 0;
    for (const wheel::EffectParameters& parameters : workedExample()) {
        wheel::EffectHandle handle = wheel::kNoHandle;
        EXPECT_EQ(driver->download(parameters, handle), expected[i++]);
    }
    EXPECT_EQ(node.uploads.size(), 1u);
    ASSERT_EQ(driver->setAutocenter(false), DriverStatus::Ok);
    ASSERT_EQ(driver->setAutocenter(true), DriverStatus::Ok);
    ASSERT_EQ(driver->setGain(5000), DriverStatus::Ok);
    const std::vector<std::pair<int, int>> writes = {
        {FF_GAIN, 0xFFFF}, {FF_AUTOCENTER, 0}, {FF_AUTOCENTER, 0xFFFF}, {FF_GAIN, 32768}};
    ASSERT_EQ(node.writes.size(), writes.size());
    for (std::size_t w = 0; w < writes.size(); ++w) {
        EXPECT_EQ(node.writes[w].code, writes[w].first);
        EXPECT_EQ(node.writes[w].value, writes[w].second);
    }
}

TEST(EvdevDriver, CountsIterationsSlotsAndGrabsAsTheKernelNeeds) {
    World world;
    world.kernel.nodes[0] = pidBase();
    fake::EvdevNode& node = world.kernel.nodes[0];
    auto driver = world.open(0);
    wheel::EffectParameters finite{.kind = EffectKind::Sine,
                                   .durationMicroseconds = 500000,
                                   .magnitude = 100,
                                   .periodMicroseconds = 10000};
    wheel::EffectParameters endless = finite;
    endless.durationMicroseconds = INFINITE;
    wheel::EffectHandle a = wheel::kNoHandle, b = wheel::kNoHandle;
    ASSERT_EQ(driver->download(finite, a), DriverStatus::Ok);
    ASSERT_EQ(driver->download(endless, b), DriverStatus::Ok);
    ASSERT_EQ(driver->start(a, INFINITE), DriverStatus::Ok);
    EXPECT_EQ(node.writes.back().value, INT_MAX);  // never negative: that would be a stop
    ASSERT_EQ(driver->start(b, INFINITE), DriverStatus::Ok);
    EXPECT_EQ(node.writes.back().value, 1);
    ASSERT_EQ(driver->stopAll(), DriverStatus::Ok);
    EXPECT_EQ(node.writes.back().value, 0);

    for (int i = 2; i < 16; ++i) {
        wheel::EffectHandle handle = wheel::kNoHandle;
        ASSERT_EQ(driver->download(endless, handle), DriverStatus::Ok);
    }
    wheel::EffectHandle oneTooMany = wheel::kNoHandle;
    EXPECT_EQ(driver->download(endless, oneTooMany), DriverStatus::NoRoom);
    EXPECT_EQ(node.uploads.size(), 16u);
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
    world.kernel.nodes[0] = beltWheel();
    world.kernel.nodes[1] = pedals();
    fake::EvdevNode& wheelNode = world.kernel.nodes[0];
    wheelNode.absolute = {{ABS_X, fake::absolute(49151, 0, 65535)},
                          {ABS_Y, fake::absolute(-300, -100, 100)},
                          {ABS_Z, fake::absolute(7, 7, 7)},
                          {ABS_HAT0X, fake::absolute(1, -1, 1)},
                          {ABS_HAT0Y, fake::absolute(-1, -1, 1)}};
    wheelNode.pressed = {BTN_THUMB, KEY_A};
    world.kernel.nodes[1].absolute = {{ABS_GAS, fake::absolute(255, 0, 255)},
                                      {ABS_BRAKE, fake::absolute(0, 0, 255)},
                                      {ABS_RUDDER, fake::absolute(64, 0, 256)}};
    const std::vector<wheel::DriverInfo> found = world.list();
    EXPECT_EQ(found[0].buttonCount, 4);
    EXPECT_EQ(found[0].povCount, 1);
    wheel::InputState state;
    ASSERT_EQ(world.open(0)->readInput(state), DriverStatus::Ok);
    EXPECT_DOUBLE_EQ(state.axisTravel[0], 49151.0 / 65535);
    EXPECT_DOUBLE_EQ(state.axisTravel[1], 0.0);  // clamped
    EXPECT_DOUBLE_EQ(state.axisTravel[2], 0.5);  // no travel at all
    // BTN_TRIGGER, BTN_THUMB, BTN_TRIGGER_HAPPY1, then KEY_A.
    EXPECT_EQ(std::vector<bool>(state.buttons.begin(), state.buttons.begin() + 5),
              (std::vector<bool>{false, true, false, true, false}));
    EXPECT_EQ(state.pov[0], 4500);
    EXPECT_EQ(state.pov[1], -1);

    ASSERT_EQ(world.open(1)->readInput(state),
              DriverStatus::Ok);  // gas Y, brake Rz, rudder slider 1
    EXPECT_DOUBLE_EQ(state.axisTravel[static_cast<int>(wheel::Axis::Y)], 1.0);
    EXPECT_DOUBLE_EQ(state.axisTravel[static_cast<int>(wheel::Axis::RZ)], 0.0);
    EXPECT_DOUBLE_EQ(state.axisTravel[static_cast<int>(wheel::Axis::Slider1)], 0.25);
}

TEST(EvdevDriver, AnUnpluggedBaseIsLostUntilItComesBack) {
    World world;
    world.kernel.nodes[0] = pidBase();
    auto driver = world.open(0);
    ASSERT_EQ(driver->acquire(true), DriverStatus::Ok);
    wheel::EffectHandle handle = wheel::kNoHandle;
    ASSERT_EQ(driver->download(workedExample()[0], handle), DriverStatus::Ok);
    world.kernel.nodes[0].gone = true;

    wheel::InputState state;
    EXPECT_EQ(driver->readInput(state), DriverStatus::Lost);
    EXPECT_EQ(driver->download(workedExample()[0], handle), DriverStatus::Lost);
    EXPECT_EQ(driver->start(handle, 1), DriverStatus::Lost);
    EXPECT_EQ(driver->stopAll(), DriverStatus::Lost);
    EXPECT_EQ(driver->acquire(true), DriverStatus::Unplugged);
    EXPECT_EQ(driver->acquire(true), DriverStatus::Unplugged);

    world.kernel.nodes[12] = pidBase();  // the base rebooted and came back as a new node
    ASSERT_EQ(driver->acquire(true), DriverStatus::Ok);
    EXPECT_TRUE(world.kernel.nodes[12].grabbed);
    ASSERT_EQ(driver->start(handle, 1), DriverStatus::Ok);  // uploaded again first
    EXPECT_EQ(world.kernel.nodes[12].uploads.size(), 1u);
    EXPECT_EQ(driver->readInput(state), DriverStatus::Ok);
}

}  // namespace
