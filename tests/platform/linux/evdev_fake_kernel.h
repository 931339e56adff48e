// A fake kernel for the evdev driver: /dev/input/event* nodes answering from capability tables,
// recording every effect upload, removal and EV_FF write. Unplug a node with gone = true.
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
    input_id id{BUS_USB, 0x0EB7, 0x0020, 0x0111};
    std::vector<int> axes{}, keys{}, effects{}, properties{};
    int slots = 0;
    int openError = 0;  ///< EACCES: the user may not open it
    int grabError = 0;  ///< EBUSY: another program holds it
    bool gone = false;  ///< unplugged: ENODEV on its files, ENOENT on opening
    // The device's state, set by the test.
    std::map<int, input_absinfo> absolute{};
    std::set<int> pressed{};
    // What the driver did.
    std::vector<ff_effect> uploads{};
    std::vector<int> removals{};
    std::vector<input_event> writes{};
    std::map<int, ff_effect> loaded{};
    bool grabbed = false;
};

inline input_absinfo absolute(int value, int minimum, int maximum) {
    input_absinfo axis{};
    axis.value = value;
    axis.minimum = minimum;
    axis.maximum = maximum;
    return axis;
}

class EvdevKernel final : public evdev::Kernel {
  public:
    std::map<int, EvdevNode> nodes;  ///< by event number

    int open(const std::string& path, int) override {
        int number = -1;
        char file[64] = {};
        if (std::sscanf(path.c_str(), "/sys/class/input/event%d/device/%63s", &number, file) == 2)
            return openSysfs(number, file);
        if (std::sscanf(path.c_str(), "/dev/input/event%d", &number) != 1) return -ENOENT;
        const auto node = nodes.find(number);
        if (node == nodes.end() || node->second.gone) return -ENOENT;
        if (node->second.openError != 0) return -node->second.openError;
        files_[next_] = number;
        return next_++;
    }
    void close(int fd) override { files_.erase(fd), texts_.erase(fd); }
    long read(int fd, void* buffer, std::size_t size) override {
        const std::string& text = texts_.at(fd);
        const std::size_t length = std::min(size, text.size());
        std::memcpy(buffer, text.data(), length);
        return static_cast<long>(length);
    }
    long write(int fd, const void* data, std::size_t size) override {
        EvdevNode& node = nodes.at(files_.at(fd));
        if (node.gone) return -ENODEV;
        const auto* events = static_cast<const input_event*>(data);
        node.writes.insert(node.writes.end(), events, events + size / sizeof(input_event));
        return static_cast<long>(size);
    }
    std::vector<std::string> listDirectory(const std::string&) override {
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
        if (request == EVIOCSFF) return upload(node, *static_cast<ff_effect*>(argument));
        if (request == EVIOCRMFF) {
            node.removals.push_back(value);
            return node.loaded.erase(value) == 1 ? 0 : -EINVAL;
        }
        if (request == EVIOCGRAB) {
            if (value != 0 && node.grabError != 0) return -node.grabError;
            return node.grabbed = value != 0, 0;
        }
        if (number >= 0x40 && number < 0x40 + ABS_CNT && size == sizeof(input_absinfo)) {
            const int code = static_cast<int>(number - 0x40);
            if (std::find(node.axes.begin(), node.axes.end(), code) == node.axes.end())
                return -EINVAL;
            return *static_cast<input_absinfo*>(argument) = node.absolute[code], 0;
        }
        std::memset(argument, 0, size);
        if (number == 0x06) return copyText(node.name, argument, size);
        if (number == 0x07)
            return node.phys.empty() ? -ENOENT : copyText(node.phys, argument, size);
        const std::map<unsigned, const std::vector<int>*> bitmaps = {{0x09, &node.properties},
                                                                     {0x20 + EV_KEY, &node.keys},
                                                                     {0x20 + EV_ABS, &node.axes},
                                                                     {0x20 + EV_FF, &node.effects}};
        std::vector<int> pressed(node.pressed.begin(), node.pressed.end());
        const std::vector<int>* bits = number == 0x18 ? &pressed : bitmaps.at(number);
        for (int bit : *bits)
            if (static_cast<unsigned>(bit) / 8 < size)
                static_cast<unsigned long*>(argument)[bit / 64] |= 1UL << (bit % 64);
        return static_cast<int>(size);
    }

  private:
    static int copyText(const std::string& text, void* argument, unsigned size) {
        std::strncpy(static_cast<char*>(argument), text.c_str(), size);
        return static_cast<int>(std::min<std::size_t>(text.size() + 1, size));
    }
    static int upload(EvdevNode& node, ff_effect& effect) {
        bool offered = false;
        for (int type : node.effects) offered = offered || type == effect.type;
        if (!offered) return -EINVAL;
        if (effect.id == -1) {
            if (static_cast<int>(node.loaded.size()) >= node.slots) return -ENOSPC;
            while (node.loaded.count(++effect.id) != 0) {
            }
        }
        node.uploads.push_back(effect);
        node.loaded[effect.id] = effect;
        return 0;
    }
    int openSysfs(int number, const std::string& file) {
        const auto node = nodes.find(number);
        if (node == nodes.end()) return -ENOENT;
        const auto word = [](const std::vector<int>& bits) {
            unsigned long long value = 0;
            for (int bit : bits) value |= 1ULL << bit;
            char text[32];
            std::snprintf(text, sizeof text, "%llx\n", value);
            return std::string(text);
        };
        texts_[next_] = file == "name"               ? node->second.name + "\n"
                        : file == "capabilities/abs" ? word(node->second.axes)
                                                     : word(node->second.properties);
        return next_++;
    }

    std::map<int, int> files_;  // fd -> event number
    std::map<int, std::string> texts_;
    int next_ = 3;
};

}  // namespace fake
