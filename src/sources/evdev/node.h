// What one /dev/input/event* node offers, and what a DirectInput device makes of it: whether it
// is a game controller, the effects it can play, where each object of the joystick state comes
// from, and its identity.
#pragma once

#include <linux/input.h>

#include <array>
#include <string>
#include <string_view>

#include "sources/evdev/kernel.h"
#include "wheel/driver.h"

namespace evdev {

/// A kernel capability bitmap (bits 0..Max), laid out in unsigned longs as the kernel copies it.
template <int Max>
class Bitmap {
  public:
    bool has(int bit) const {
        return bit >= 0 && bit <= Max && ((words_[index(bit)] >> shift(bit)) & 1UL) != 0;
    }
    void set(int bit) {
        if (bit >= 0 && bit <= Max) words_[index(bit)] |= 1UL << shift(bit);
    }
    void* data() { return words_.data(); }
    static constexpr unsigned size() { return sizeof(Words); }

  private:
    static constexpr int kBitsPerWord = 8 * sizeof(unsigned long);
    using Words = std::array<unsigned long, Max / kBitsPerWord + 1>;
    static constexpr std::size_t index(int bit) {
        return static_cast<std::size_t>(bit / kBitsPerWord);
    }
    static constexpr int shift(int bit) { return bit % kBitsPerWord; }
    Words words_{};
};

struct NodeCapabilities {
    std::string name;
    std::string physicalPath;  ///< EVIOCGPHYS; empty where a driver gives none (uinput)
    input_id id{};
    Bitmap<KEY_MAX> keys;
    Bitmap<ABS_MAX> axes;
    Bitmap<FF_MAX> effects;
    Bitmap<INPUT_PROP_MAX> properties;
    int effectSlots = 0;  ///< EVIOCGEFFECTS: effects the node holds at once
};

/// Reads what the node open on fd offers: 0, or -errno of the call that failed.
int readCapabilities(Kernel& kernel, int fd, NodeCapabilities& out);

/// Sets the bits of a sysfs capability file ("3 0 10000": hexadecimal words, most significant
/// first), as /sys/class/input/eventN/device/capabilities/abs gives them.
template <int Max>
void parseSysfsBitmap(std::string_view text, Bitmap<Max>& out);

/// A game controller has an axis that a stick, wheel, pedal, throttle or hat has, and is not a
/// touchpad, tablet, touchscreen or accelerometer (which have such axes too).
bool isGameController(const NodeCapabilities& capabilities);

/// The effect kinds the node plays; none unless it offers a constant force or a periodic effect,
/// because a node with conditions or rumble alone is no force-feedback wheel.
wheel::EffectKinds playableEffects(const NodeCapabilities& capabilities);

/// Where each object of the joystick state comes from: an ABS_ or key code, or -1.
struct InputLayout {
    std::array<int, wheel::kAxisCount> axisCode{};
    std::array<int, wheel::kPovCount> hatXCode{};  ///< ABS_HATnX; its Y is the next code
    std::array<int, wheel::kButtonCount> buttonCode{};
    int buttonCount = 0;
    int povCount = 0;
};
InputLayout inputLayout(const NodeCapabilities& capabilities);

/// DirectInput's product GUID for a USB vendor and product: {PIDVID-00000000-0000-PIDVID}.
GUID productGuid(const input_id& id);
/// The same for the same device on every run, different for every node: a hash of its bus,
/// vendor, product, version and physical path, and of its ordinal among nodes with the same.
GUID instanceGuid(const NodeCapabilities& capabilities, int ordinal);

/// The identity and objects the device layer sees.
wheel::DriverInfo describe(const NodeCapabilities& capabilities, int ordinal);

template <int Max>
void parseSysfsBitmap(std::string_view text, Bitmap<Max>& out) {
    constexpr int kBitsPerWord = 8 * sizeof(unsigned long);
    int wordIndex = 0;
    std::size_t end = text.find_last_not_of(" \n");
    while (end != std::string_view::npos) {
        const std::size_t space = text.find_last_of(' ', end);
        const std::size_t begin = space == std::string_view::npos ? 0 : space + 1;
        unsigned long long word = 0;
        for (char c : text.substr(begin, end + 1 - begin)) {
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : 0;
            word = (word << 4) | static_cast<unsigned>(digit);
        }
        for (int bit = 0; bit < kBitsPerWord; ++bit)
            if ((word >> bit) & 1ULL) out.set(wordIndex * kBitsPerWord + bit);
        ++wordIndex;
        if (space == std::string_view::npos) break;
        end = text.find_last_not_of(' ', space);
    }
}

}  // namespace evdev
