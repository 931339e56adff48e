// A force-feedback wheel made through /dev/uinput and served by a thread of its own, as a kernel
// driver serves one (the kernel waits for an upload's answer). It records, with the monotonic time
// in ms, its creation, every struct ff_effect and every EV_FF event, and refuses one type if told.
#pragma once

#include <fcntl.h>
#include <linux/uinput.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <thread>
#include <utility>

namespace uinput {

/// One uploaded record in one line: "id dir length | kind's fields".
inline std::string summary(const ff_effect& e) {
    char text[160];
    const ff_periodic_effect& p = e.u.periodic;
    const ff_condition_effect& x = e.u.condition[0];
    const int n =
        std::snprintf(text, sizeof text, "%d %x %u | ", e.id, e.direction, e.replay.length);
    if (e.type == FF_CONSTANT)
        std::snprintf(text + n, sizeof text - n, "constant %d", e.u.constant.level);
    else if (e.type == FF_PERIODIC)
        std::snprintf(text + n, sizeof text - n, "periodic %x %d%+d %u ms phase %u", p.waveform,
                      p.magnitude, p.offset, p.period, p.phase);
    else
        std::snprintf(text + n, sizeof text - n, "condition %x %d/%d %u/%u centre %d band %u",
                      e.type, x.right_coeff, x.left_coeff, x.right_saturation, x.left_saturation,
                      x.center, x.deadband);
    return text;
}

struct Spec {
    std::string name = "Kernel Test Wheel";
    int refusedType = -1;  ///< uploads of this FF_ type are answered EINVAL
    bool forceFeedback = true;
    std::uint16_t product = 0x7A11;
};

struct Wheel {
    using Recorder = std::function<void(const std::string&)>;
    Wheel(const Spec& spec, Recorder record) : spec(spec), record(std::move(record)) {
        uinput_setup setup{.id = {BUS_USB, 0x1209, spec.product, 1},
                           .name = {},
                           .ff_effects_max = spec.forceFeedback ? 16u : 0u};
        std::strncpy(setup.name, spec.name.c_str(), sizeof setup.name - 1);
        for (int key : {BTN_TRIGGER, BTN_THUMB}) check(ioctl(fd, UI_SET_KEYBIT, key));
        for (int type : {EV_KEY, EV_ABS, spec.forceFeedback ? EV_FF : EV_ABS})
            check(ioctl(fd, UI_SET_EVBIT, type));
        for (int bit :
             {FF_CONSTANT, FF_PERIODIC, FF_SINE, FF_SQUARE, FF_DAMPER, FF_GAIN, FF_AUTOCENTER})
            if (spec.forceFeedback) check(ioctl(fd, UI_SET_FFBIT, bit));
        const int axes[][3] = {
            {ABS_X, -32768, 32767}, {ABS_GAS, 0, 255}, {ABS_HAT0X, -1, 1}, {ABS_HAT0Y, -1, 1}};
        for (const auto& [code, low, high] : axes) check(ioctl(fd, UI_SET_ABSBIT, code));
        check(ioctl(fd, UI_DEV_SETUP, &setup));
        for (const auto& [code, low, high] : axes) {
            const uinput_abs_setup axis{static_cast<__u16>(code), {0, low, high, 0, 0, 0}};
            check(ioctl(fd, UI_ABS_SETUP, &axis));
        }
        check(ioctl(fd, UI_DEV_CREATE));
        char sysname[64] = {};
        check(ioctl(fd, UI_GET_SYSNAME(sizeof sysname), sysname));
        const std::string events = "/sys/class/input/" + std::string(sysname) + "/event";
        for (int n = 0; n < 1024 && fd >= 0 && node.empty(); ++n)
            if (access((events + std::to_string(n)).c_str(), F_OK) == 0)
                node = "/dev/input/event" + std::to_string(n);
        if (fd < 0) return;
        this->record(now() + " created " + node);
        server = std::thread([this] {
            while (running) serve(10);
        });
    }
    ~Wheel() {
        running = false;
        if (server.joinable()) server.join();
        if (fd < 0) return;
        ioctl(fd, UI_DEV_DESTROY);
        close(fd);
    }
    Wheel(const Wheel&) = delete;
    Wheel& operator=(const Wheel&) = delete;

    /// Answers what is pending, waiting up to timeoutMs for something.
    void serve(int timeoutMs) {
        pollfd ready{fd, POLLIN, 0};
        poll(&ready, 1, timeoutMs);
        for (input_event event{}; read(fd, &event, sizeof event) == sizeof event;) {
            const std::string play = "play " + std::to_string(event.code);
            if (event.type == EV_FF)
                record(now() + " " +
                       (event.code == FF_GAIN         ? "gain"
                        : event.code == FF_AUTOCENTER ? "autocenter"
                                                      : play) +
                       " " + std::to_string(event.value));
            if (event.type == EV_UINPUT && event.code == UI_FF_UPLOAD) {
                uinput_ff_upload upload{};
                upload.request_id = static_cast<std::uint32_t>(event.value);
                ioctl(fd, UI_BEGIN_FF_UPLOAD, &upload);
                const bool refused = upload.effect.type == spec.refusedType;
                upload.retval = refused ? -EINVAL : 0;
                record(now() + (refused ? " refuse " : " upload ") + summary(upload.effect));
                ioctl(fd, UI_END_FF_UPLOAD, &upload);
            } else if (event.type == EV_UINPUT && event.code == UI_FF_ERASE) {
                uinput_ff_erase erase{};
                erase.request_id = static_cast<std::uint32_t>(event.value);
                ioctl(fd, UI_BEGIN_FF_ERASE, &erase);
                record(now() + " erase " + std::to_string(erase.effect_id));
                ioctl(fd, UI_END_FF_ERASE, &erase);
            }
        }
    }
    /// One input event and its SYN_REPORT.
    void send(int type, int code, int value) {
        for (const input_event& event :
             {input_event{{}, static_cast<__u16>(type), static_cast<__u16>(code), value},
              input_event{{}, EV_SYN, SYN_REPORT, 0}})
            check(static_cast<int>(write(fd, &event, sizeof event)));
    }
    static std::string now() {
        timespec time{};
        clock_gettime(CLOCK_MONOTONIC, &time);
        return std::to_string(time.tv_sec * 1000 + time.tv_nsec / 1000000);
    }
    /// Closes the device at a failed call; error says why.
    void check(int result) {
        if (result >= 0 || fd < 0) return;
        error = std::strerror(errno);
        close(std::exchange(fd, -1));
    }

    const Spec spec;
    const Recorder record;
    int fd = open("/dev/uinput", O_RDWR | O_NONBLOCK | O_CLOEXEC);
    std::string node, error = fd < 0 ? std::strerror(errno) : "";
    std::atomic<bool> running{true};
    std::thread server;
};

}  // namespace uinput
