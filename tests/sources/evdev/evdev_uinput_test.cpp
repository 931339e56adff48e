// The evdev source and driver on a real kernel's uinput wheel: the kernel stage of .ci/run runs it
// in a guest; it skips itself where /dev/uinput may not be opened.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <sstream>

#include "platform/linux/utf8.h"
#include "sources/evdev/source.h"
#include "uinput_wheel.h"

namespace {

using wheel::DriverStatus;
using wheel::EffectKind;
using Records = std::vector<std::string>;

// A still clock: a lost wheel is found again by the watch on /dev/input, never by the rescan.
struct StillClock final : evdev::SystemKernel {
    std::int64_t monotonicNanoseconds() override { return 0; }
};

// A uinput wheel and what reached it, without the times.
struct Served {
    explicit Served(const uinput::Spec& spec)
        : wheel(spec, [this](const std::string& line) {
              std::lock_guard<std::mutex> lock(mutex);
              if (line.find(" created ") == std::string::npos)
                  log.push_back(line.substr(line.find(' ') + 1));
          }) {}
    /// All records, once count came.
    Records take(std::size_t count) {
        for (int i = 0; i < 500; ++i, usleep(10000)) {
            std::lock_guard<std::mutex> lock(mutex);
            if (log.size() >= count) break;
        }
        std::lock_guard<std::mutex> lock(mutex);
        return std::exchange(log, {});
    }
    std::mutex mutex;
    Records log;
    uinput::Wheel wheel;  // last: its thread records into the above
};

TEST(EvdevUinput, DrivesARealForceFeedbackWheel) {
    const uinput::Spec spec{.name = "Kernel Test Wheel " + std::to_string(getpid())};
    auto served = std::make_unique<Served>(spec);
    if (served->wheel.fd < 0) GTEST_SKIP() << "/dev/uinput: " << served->wheel.error;
    StillClock kernel;
    std::ostringstream errors;
    evdev::EvdevSource source(kernel, errors);
    std::vector<wheel::DriverInfo> found;
    source.listDevices(found);
    const auto info = std::find_if(found.begin(), found.end(), [&](const wheel::DriverInfo& i) {
        return i.productName.data() == platform::fromUtf8(spec.name);
    });
    ASSERT_NE(info, found.end()) << errors.str();
    auto driver = source.openDevice(info->instanceGuid),
         other = source.openDevice(info->instanceGuid);
    ASSERT_TRUE(driver && other) << errors.str();
    ASSERT_EQ(driver->acquire(true), DriverStatus::Ok);
    EXPECT_EQ(other->acquire(true), DriverStatus::Refused);  // evdev's grab, one per node
    EXPECT_EQ(other->acquire(false), DriverStatus::Ok);

    const wheel::EffectParameters endless{
        .kind = EffectKind::Sine, .magnitude = 10000, .periodMicroseconds = 10000};
    wheel::EffectParameters finite = endless;
    finite.durationMicroseconds = 500000;
    wheel::EffectHandle a = wheel::kNoHandle, b = wheel::kNoHandle;
    ASSERT_EQ(driver->download(finite, a), DriverStatus::Ok);
    ASSERT_EQ(driver->download(endless, b), DriverStatus::Ok);
    ASSERT_EQ(driver->start(a, INFINITE), DriverStatus::Ok);  // never negative: that is a stop
    ASSERT_EQ(driver->start(b, INFINITE), DriverStatus::Ok);
    ASSERT_EQ(driver->stopAll(), DriverStatus::Ok);
    ASSERT_EQ(driver->stop(b), DriverStatus::Ok);  // stopped already: nothing to say
    EXPECT_EQ(served->take(6), (Records{"upload 0 4000 500 | periodic 5a 32767+0 10 ms phase 0",
                                        "upload 1 4000 0 | periodic 5a 32767+0 10 ms phase 0",
                                        "play 0 2147483647", "play 1 1", "play 0 0", "play 1 0"}));
    ASSERT_EQ(driver->reset(), DriverStatus::Ok);  // the kernel stops what it erases
    EXPECT_EQ(served->take(4), (Records{"play 0 0", "erase 0", "play 1 0", "erase 1"}));

    served->wheel.send(EV_ABS, ABS_X, 16384);
    served->wheel.send(EV_KEY, BTN_THUMB, 1);
    served->wheel.send(EV_ABS, ABS_HAT0X, 1);
    served->wheel.send(EV_ABS, ABS_HAT0Y, -1);
    wheel::InputState state;
    ASSERT_EQ(driver->readInput(state), DriverStatus::Ok);
    EXPECT_NEAR(state.axisTravel[0], 0.75, 0.001);
    EXPECT_EQ(state.axisTravel[1], 0.0);  // the gas pedal: Y
    EXPECT_TRUE(state.buttons[1] && !state.buttons[0]);
    EXPECT_EQ(state.pov[0], 4500);

    // Unplugged: the kernel erases nothing, and the first call to answer ENODEV may be any.
    served.reset();
    EXPECT_EQ(driver->readInput(state), DriverStatus::Lost);
    EXPECT_EQ(driver->acquire(true), DriverStatus::Unplugged);
    served = std::make_unique<Served>(spec);
    DriverStatus status = DriverStatus::Lost;
    for (int i = 0; i < 2000 && status != DriverStatus::Ok; ++i, usleep(1000))
        status = driver->acquire(true);
    ASSERT_EQ(status, DriverStatus::Ok);
    ASSERT_EQ(driver->download(endless, b = wheel::kNoHandle), DriverStatus::Ok);
    ASSERT_EQ(driver->start(b, 1), DriverStatus::Ok);
    EXPECT_EQ(served->take(2),
              (Records{"upload 0 4000 0 | periodic 5a 32767+0 10 ms phase 0", "play 0 1"}));
}

}  // namespace
