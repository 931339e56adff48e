// A fake kernel for the evdev driver: /dev/input/event* nodes that answer from capability tables
// and record every effect upload and EV_FF write. A node with gone = true is unplugged.
#pragma once

#include <fcntl.h>
#include <linux/input.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/linux/evdev/kernel.h"

namespace fake {

struct EvdevNode {
    std::string name;
    std::string phys = "usb-0000:00:14.0-1/input0";
    input_id id{BUS_USB, 0x046D, 0xC24F, 0x0111};
    std::vector<int> axes{}, keys{}, effects{}, properties{};
    int slots = 16;
    int openError = 0;  ///< EACCES: the user may not open it
    int grabError = 0;  ///< EBUSY: another program holds it
    bool gone = false;
    std::map<int, input_absinfo> absolute{};  // the device's state
    std::set<int> pressed{};
    std::vector<ff_effect> uploads{};           // what the driver did
    std::vector<std::pair<int, int>> writes{};  // EV_FF code, value
    std::map<int, ff_effect> loaded{};
    bool grabbed = false;
};

class EvdevKernel final : public evdev::Kernel {
  public:
    std::map<int, EvdevNode> nodes;  ///< by event number
    std::int64_t time = 0;           ///< the monotonic clock, nanoseconds
    int scans = 0;                   ///< listings of /dev/input

    int open(const std::string& path, int) override {
        int number = -1;
        char file[32] = {};
        if (std::sscanf(path.c_str(), "/sys/class/input/event%d/device/%31s", &number, file) == 2) {
            const EvdevNode& node = nodes.at(number);
            texts_[next_] = std::string(file) == "name" ? node.name
                            : file[0] == 'c'            ? sysfsBitmap(node.axes)
                                                        : sysfsBitmap(node.properties);
            return next_++;
        }
        std::sscanf(path.c_str(), "/dev/input/event%d", &number);
        if (nodes.count(number) == 0 || nodes[number].gone) return -ENOENT;
        if (nodes[number].openError != 0) return -nodes[number].openError;
        files_[next_] = number;
        return next_++;
    }
    void close(int fd) override { files_.erase(fd), texts_.erase(fd); }
    long read(int fd, void* buffer, std::size_t size) override {
        const std::string& text = texts_.at(fd);
        std::memcpy(buffer, text.data(), std::min(size, text.size()));
        return static_cast<long>(std::min(size, text.size()));
    }
    long write(int fd, const void* data, std::size_t size) override {
        EvdevNode& node = nodes.at(files_.at(fd));
        const auto* event = static_cast<const input_event*>(data);
        if (node.gone) return -ENODEV;
        if (event->type == EV_FF) node.writes.emplace_back(event->code, event->value);
        return static_cast<long>(size);
    }
    std::vector<std::string> listDirectory(const std::string&) override {
        ++scans;
        std::vector<std::string> names{".", "..", "by-id", "js0", "mice"};
        for (const auto& [number, node] : nodes)
            if (!node.gone) names.push_back("event" + std::to_string(number));
        return names;
    }

    int ioctl(int fd, unsigned long request, void* argument) override {
        EvdevNode& node = nodes.at(files_.at(fd));
        if (node.gone) return -ENODEV;
        const int value = static_cast<int>(reinterpret_cast<std::intptr_t>(argument));
        const unsigned size = _IOC_SIZE(request), number = _IOC_NR(request);
        if (request == EVIOCGID) return *static_cast<input_id*>(argument) = node.id, 0;
        if (request == EVIOCGEFFECTS) return *static_cast<int*>(argument) = node.slots, 0;
        if (request == EVIOCRMFF) return node.loaded.erase(value) == 1 ? 0 : -EINVAL;
        if (request == EVIOCGRAB && value != 0 && node.grabError != 0) return -node.grabError;
        if (request == EVIOCGRAB) return node.grabbed = value != 0, 0;
        if (request == EVIOCSFF) {
            auto& effect = *static_cast<ff_effect*>(argument);
            if (effect.id == -1) {
                if (static_cast<int>(node.loaded.size()) >= node.slots) return -ENOSPC;
                effect.id = 0;
                while (node.loaded.count(effect.id) != 0) ++effect.id;
            }
            node.uploads.push_back(effect);
            return node.loaded[effect.id] = effect, 0;
        }
        if (number >= 0x40 && number < 0x40 + ABS_CNT) {  // EVIOCGABS
            return *static_cast<input_absinfo*>(argument) = node.absolute[number - 0x40], 0;
        }
        std::memset(argument, 0, size);
        const std::string& text = number == 0x06 ? node.name : node.phys;
        if (number == 0x06 || number == 0x07)
            return std::strncpy(static_cast<char*>(argument), text.c_str(), size - 1), 0;
        const std::vector<int> pressed(node.pressed.begin(), node.pressed.end());
        const std::map<unsigned, const std::vector<int>*> bitmaps = {{0x09, &node.properties},
                                                                     {0x18, &pressed},
                                                                     {0x20 + EV_KEY, &node.keys},
                                                                     {0x20 + EV_ABS, &node.axes},
                                                                     {0x20 + EV_FF, &node.effects}};
        for (int bit : *bitmaps.at(number))
            static_cast<unsigned long*>(argument)[bit / 64] |= 1UL << (bit % 64);
        return static_cast<int>(size);
    }

    std::int64_t monotonicNanoseconds() override { return time; }

  private:
    static std::string sysfsBitmap(const std::vector<int>& bits) {
        unsigned long long word = 0;
        for (int bit : bits) word |= 1ULL << bit;
        char text[32];
        std::snprintf(text, sizeof text, "%llx\n", word);
        return text;
    }
    std::map<int, int> files_;  // fd -> event number
    std::map<int, std::string> texts_;
    int next_ = 3;
};

/// One uploaded record in one line: "id dir length | kind's fields".
inline std::string summary(const ff_effect& e) {
    char text[160];
    const ff_condition_effect& x = e.u.condition[0];
    const int n =
        std::snprintf(text, sizeof text, "%d %x %u | ", e.id, e.direction, e.replay.length);
    if (e.type == FF_CONSTANT)
        std::snprintf(text + n, sizeof text - n, "constant %d", e.u.constant.level);
    else if (e.type == FF_PERIODIC)
        std::snprintf(text + n, sizeof text - n, "periodic %x %d%+d %u ms phase %u",
                      e.u.periodic.waveform, e.u.periodic.magnitude, e.u.periodic.offset,
                      e.u.periodic.period, e.u.periodic.phase);
    else
        std::snprintf(text + n, sizeof text - n, "condition %x %d/%d %u/%u centre %d band %u",
                      e.type, x.right_coeff, x.left_coeff, x.right_saturation, x.left_saturation,
                      x.center, x.deadband);
    return text;
}

// Typical wheels: (a) a belt wheel with a constant force, autocentering and gain only; (b) a
// PID-class base with 16 effect slots; (c) pedals without force feedback.
inline EvdevNode beltWheel() {  // (a)
    return {.name = "Belt Wheel",
            .axes = {ABS_X, ABS_Y, ABS_HAT0X, ABS_HAT0Y},
            .keys = {KEY_A, BTN_TRIGGER_HAPPY1, BTN_THUMB, BTN_TRIGGER},
            .effects = {FF_CONSTANT, FF_AUTOCENTER, FF_GAIN}};
}
inline EvdevNode pidBase() {  // (b)
    return {.name = "PID Base",
            .phys = "usb-0000:00:14.0-2/input0",
            .axes = {ABS_X},
            .effects = {FF_CONSTANT, FF_PERIODIC, FF_SINE, FF_SQUARE, FF_DAMPER, FF_GAIN}};
}
inline EvdevNode pedals() {  // (c)
    return {.name = "Pedals",
            .phys = "usb-0000:00:14.0-3/input0",
            .axes = {ABS_GAS, ABS_BRAKE, ABS_RUDDER}};
}

inline input_absinfo absolute(int value, int minimum, int maximum) {
    return {value, minimum, maximum, 0, 0, 0};
}

}  // namespace fake
