// The evdev driver against the real kernel: a force-feedback wheel made with uinput, whose
// uploads and erasures this test answers as a kernel driver would. Skips itself where
// /dev/uinput may not be opened (CI and most build machines have none).
#include <fcntl.h>
#include <linux/uinput.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <sstream>
#include <thread>

#include "app/bridge.h"
#include "platform/linux/device_backend.h"
#include "platform/linux/evdev/source.h"
#include "platform/linux/utf8.h"
#include "support/simulated_clock.h"

namespace {

struct UinputWheel {
    int fd = open("/dev/uinput", O_RDWR | O_NONBLOCK | O_CLOEXEC);
    std::atomic<bool> running{true};
    std::vector<ff_effect> uploads;  // read by the test once the server has stopped
    std::vector<int> erasures;
    std::vector<std::pair<int, int>> played;  // EV_FF code, value
    std::thread server;

    void serve() {
        for (input_event event{}; running;) {
            pollfd ready{fd, POLLIN, 0};
            poll(&ready, 1, 10);
            while (read(fd, &event, sizeof event) == sizeof event) {
                if (event.type == EV_FF) played.emplace_back(event.code, event.value);
                if (event.type == EV_UINPUT && event.code == UI_FF_UPLOAD) {
                    uinput_ff_upload upload{};
                    upload.request_id = static_cast<std::uint32_t>(event.value);
                    ioctl(fd, UI_BEGIN_FF_UPLOAD, &upload);
                    uploads.push_back(upload.effect);
                    ioctl(fd, UI_END_FF_UPLOAD, &upload);  // retval 0: uploaded
                } else if (event.type == EV_UINPUT && event.code == UI_FF_ERASE) {
                    uinput_ff_erase erase{};
                    erase.request_id = static_cast<std::uint32_t>(event.value);
                    ioctl(fd, UI_BEGIN_FF_ERASE, &erase);
                    erasures.push_back(static_cast<int>(erase.effect_id));
                    ioctl(fd, UI_END_FF_ERASE, &erase);
                }
            }
        }
    }
    /// Makes the device a force-feedback wheel called name and starts answering its uploads.
    bool create(const std::string& name) {
        uinput_setup setup{.id = {BUS_USB, 0x1209, 0x7A11, 1}, .name = {}, .ff_effects_max = 16};
        std::strncpy(setup.name, name.c_str(), sizeof setup.name - 1);
        uinput_abs_setup axis{.code = ABS_X, .absinfo = {0, -32768, 32767, 0, 0, 0}};
        const std::pair<unsigned long, int> bits[] = {
            {UI_SET_EVBIT, EV_KEY},  {UI_SET_KEYBIT, BTN_TRIGGER}, {UI_SET_EVBIT, EV_ABS},
            {UI_SET_EVBIT, EV_FF},   {UI_SET_FFBIT, FF_CONSTANT},  {UI_SET_FFBIT, FF_PERIODIC},
            {UI_SET_FFBIT, FF_SINE}, {UI_SET_FFBIT, FF_GAIN}};
        for (const auto& [request, bit] : bits)
            if (ioctl(fd, request, bit) != 0) return false;
        if (ioctl(fd, UI_DEV_SETUP, &setup) != 0 || ioctl(fd, UI_ABS_SETUP, &axis) != 0 ||
            ioctl(fd, UI_DEV_CREATE) != 0)
            return false;
        server = std::thread([this] { serve(); });
        return true;
    }
    void send(std::uint16_t type, std::uint16_t code, int value) {
        const input_event event{.time = {}, .type = type, .code = code, .value = value};
        ASSERT_EQ(write(fd, &event, sizeof event), static_cast<ssize_t>(sizeof event));
    }
    ~UinputWheel() {
        running = false;
        if (server.joinable()) server.join();
        if (fd >= 0) ioctl(fd, UI_DEV_DESTROY), close(fd);
    }
};

TEST(EvdevUinput, DrivesARealForceFeedbackDevice) {
    UinputWheel wheel;
    if (wheel.fd < 0) GTEST_SKIP() << "/dev/uinput cannot be opened: " << std::strerror(errno);
    const std::string name = "Torvane uinput wheel " + std::to_string(getpid());
    ASSERT_TRUE(wheel.create(name)) << std::strerror(errno);

    std::ostringstream errors;
    evdev::EvdevSource source(evdev::systemKernel(), errors);
    std::unique_ptr<wheel::Driver> driver;
    for (int attempt = 0; attempt < 100 && !driver; ++attempt) {  // until udev made the node
        std::vector<wheel::DriverInfo> found;
        source.listDevices(found);
        for (const wheel::DriverInfo& info : found)
            if (std::equal(name.c_str(), name.c_str() + name.size() + 1, info.productName.begin()))
                driver = source.openDevice(info.instanceGuid);
        if (!driver) usleep(20000);
    }
    if (!driver) GTEST_SKIP() << "the new event node cannot be opened. " << errors.str();

    ASSERT_EQ(driver->acquire(true), wheel::DriverStatus::Ok);
    wheel::EffectParameters pull{.kind = wheel::EffectKind::ConstantForce, .level = 5000};
    wheel::EffectHandle handle = wheel::kNoHandle;
    ASSERT_EQ(driver->download(pull, handle), wheel::DriverStatus::Ok);
    ASSERT_EQ(driver->start(handle, 1), wheel::DriverStatus::Ok);
    pull.level = -5000;
    ASSERT_EQ(driver->download(pull, handle), wheel::DriverStatus::Ok);
    ASSERT_EQ(driver->stop(handle), wheel::DriverStatus::Ok);
    ASSERT_EQ(driver->unload(handle), wheel::DriverStatus::Ok);

    wheel.send(EV_ABS, ABS_X, 16384);
    wheel.send(EV_KEY, BTN_TRIGGER, 1);
    wheel.send(EV_SYN, SYN_REPORT, 0);
    wheel::InputState state;
    for (int attempt = 0; attempt < 100 && !state.buttons[0]; ++attempt, usleep(5000))
        ASSERT_EQ(driver->readInput(state), wheel::DriverStatus::Ok);
    EXPECT_NEAR(state.axisTravel[0], 0.75, 0.001);
    EXPECT_TRUE(state.buttons[0]);
    driver.reset();
    wheel.running = false;
    wheel.server.join();

    ASSERT_EQ(wheel.uploads.size(), 2u);
    const int id = wheel.uploads[0].id;
    EXPECT_EQ(wheel.uploads[1].id, id);  // updated in place
    EXPECT_EQ(wheel.uploads[0].u.constant.level, 16384);
    EXPECT_EQ(wheel.uploads[1].u.constant.level, -16384);
    EXPECT_EQ(wheel.erasures, std::vector<int>{id});
    const std::vector<std::pair<int, int>> expected = {{FF_GAIN, 0xFFFF}, {id, 1}, {id, 0}};
    ASSERT_GE(wheel.played.size(), expected.size());  // the kernel stops what it erases, too
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), wheel.played.begin()));
}

// "--wait" on the real kernel: a bridge started before the wheel lists it once udev has made its
// node, and runs on it.
TEST(EvdevUinput, WaitsForAWheelSwitchedOnLater) {
    UinputWheel wheel;
    if (wheel.fd < 0) GTEST_SKIP() << "/dev/uinput cannot be opened: " << std::strerror(errno);
    const std::string name = "Torvane late wheel " + std::to_string(getpid());
    std::ostringstream out, err, errors;
    evdev::EvdevSource source(evdev::systemKernel(), errors);
    platform::registerDeviceBackend(&source);
    fake::SimulatedClock clock;
    std::atomic<bool> running{true};
    bool created = false;
    clock.onSleep = [&](fake::SimulatedClock& c) {
        if (c.sleeps == 15) created = wheel.create(name);  // 1.5 s into the wait
        if (c.sleeps > 15) usleep(2000);                   // real time for udev to make the node
        if (c.sleeps == 3000) running = false;             // about 6 s: it never came
    };
    const platform::WideString filter = platform::fromUtf8(name);
    const WCHAR* argv[] = {u"torvane-bridge", u"--wait", u"--diagnose", u"--device",
                           filter.c_str()};
    const int code = torvane::runBridge(5, argv, {DirectInput8Create, clock, running, out, err});
    platform::unregisterDeviceBackend(&source);
    if (!created) GTEST_SKIP() << "uinput refused the wheel: " << std::strerror(errno);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(err.str().rfind("Waiting for a force-feedback wheel... (Ctrl+C to stop)\n", 0), 0u)
        << err.str();
    EXPECT_NE(out.str().find("Selected: " + name + "\n"), std::string::npos) << out.str();
    EXPECT_LT(clock.sleeps, 3000);  // found, and the diagnose mode ran to its end
}

}  // namespace
