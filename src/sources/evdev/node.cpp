// Capabilities, classification, layout and identity of one evdev node.
#include "sources/evdev/node.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <initializer_list>

#include "platform/linux/utf8.h"

namespace evdev {
namespace {

constexpr std::size_t axisIndex(wheel::Axis axis) {
    return static_cast<std::size_t>(axis);
}

// FNV-1a, 64 bits: small, and stable across runs, builds and machines.
std::uint64_t fnv1a(const std::string& bytes, std::uint64_t hash) {
    for (unsigned char byte : bytes) hash = (hash ^ byte) * 0x100000001B3ULL;
    return hash;
}

}  // namespace

int readCapabilities(Kernel& kernel, int fd, NodeCapabilities& out) {
    out = NodeCapabilities{};
    char text[256] = {};
    int result = kernel.ioctl(fd, EVIOCGNAME(sizeof text - 1), text);
    if (result < 0) return result;
    out.name = text;
    std::memset(text, 0, sizeof text);
    // A node without a physical path (uinput gives none) answers ENOENT: an empty path.
    result = kernel.ioctl(fd, EVIOCGPHYS(sizeof text - 1), text);
    if (result == -ENODEV) return result;
    if (result >= 0) out.physicalPath = text;
    if ((result = kernel.ioctl(fd, EVIOCGID, &out.id)) < 0) return result;
    if ((result = kernel.ioctl(fd, EVIOCGBIT(EV_KEY, out.keys.size()), out.keys.data())) < 0 ||
        (result = kernel.ioctl(fd, EVIOCGBIT(EV_ABS, out.axes.size()), out.axes.data())) < 0 ||
        (result = kernel.ioctl(fd, EVIOCGBIT(EV_FF, out.effects.size()), out.effects.data())) < 0)
        return result;
    // Properties arrived with Linux 2.6.38; without them a node simply has none.
    result = kernel.ioctl(fd, EVIOCGPROP(out.properties.size()), out.properties.data());
    if (result == -ENODEV) return result;
    if (kernel.ioctl(fd, EVIOCGEFFECTS, &out.effectSlots) < 0) out.effectSlots = 0;
    return 0;
}

bool isGameController(const NodeCapabilities& capabilities) {
    for (int property : {INPUT_PROP_POINTER, INPUT_PROP_DIRECT, INPUT_PROP_ACCELEROMETER})
        if (capabilities.properties.has(property)) return false;
    for (int code = ABS_X; code <= ABS_HAT3Y; ++code)
        if (capabilities.axes.has(code)) return true;
    return false;
}

wheel::EffectKinds playableEffects(const NodeCapabilities& capabilities) {
    const auto& offered = capabilities.effects;
    if (!offered.has(FF_CONSTANT) && !offered.has(FF_PERIODIC)) return 0;
    struct Row {
        wheel::EffectKind kind;
        int type;
        int waveform;  // 0: not periodic
    };
    static constexpr Row kRows[] = {
        {wheel::EffectKind::ConstantForce, FF_CONSTANT, 0},
        {wheel::EffectKind::Sine, FF_PERIODIC, FF_SINE},
        {wheel::EffectKind::Square, FF_PERIODIC, FF_SQUARE},
        {wheel::EffectKind::Triangle, FF_PERIODIC, FF_TRIANGLE},
        {wheel::EffectKind::SawtoothUp, FF_PERIODIC, FF_SAW_UP},
        {wheel::EffectKind::SawtoothDown, FF_PERIODIC, FF_SAW_DOWN},
        {wheel::EffectKind::Spring, FF_SPRING, 0},
        {wheel::EffectKind::Damper, FF_DAMPER, 0},
        {wheel::EffectKind::Inertia, FF_INERTIA, 0},
        {wheel::EffectKind::Friction, FF_FRICTION, 0},
    };
    wheel::EffectKinds kinds = 0;
    for (const Row& row : kRows)
        if (offered.has(row.type) && (row.waveform == 0 || offered.has(row.waveform)))
            kinds |= wheel::kindBit(row.kind);
    return kinds;
}

InputLayout inputLayout(const NodeCapabilities& capabilities) {
    InputLayout layout;
    layout.axisCode.fill(-1);
    layout.hatXCode.fill(-1);
    layout.buttonCode.fill(-1);
    // The wheel is X; pedals reported as accelerator and brake take Y and Rz where those are
    // free, as Windows maps the HID accelerator and brake usages.
    const auto pick = [&](wheel::Axis axis, std::initializer_list<int> codes) {
        for (int code : codes)
            if (capabilities.axes.has(code)) {
                layout.axisCode[axisIndex(axis)] = code;
                return;
            }
    };
    pick(wheel::Axis::X, {ABS_X, ABS_WHEEL});
    pick(wheel::Axis::Y, {ABS_Y, ABS_GAS});
    pick(wheel::Axis::Z, {ABS_Z});
    pick(wheel::Axis::RX, {ABS_RX});
    pick(wheel::Axis::RY, {ABS_RY});
    pick(wheel::Axis::RZ, {ABS_RZ, ABS_BRAKE});
    pick(wheel::Axis::Slider0, {ABS_THROTTLE});
    pick(wheel::Axis::Slider1, {ABS_RUDDER});
    for (int hat = 0; hat < wheel::kPovCount; ++hat) {
        const int x = ABS_HAT0X + 2 * hat;
        if (capabilities.axes.has(x) || capabilities.axes.has(x + 1))
            layout.hatXCode[static_cast<std::size_t>(layout.povCount++)] = x;
    }
    // Joystick and gamepad buttons first, then the extra ones drivers number from
    // BTN_TRIGGER_HAPPY, then any other key the node has, each range ascending.
    static constexpr int kRanges[][2] = {{BTN_JOYSTICK, BTN_DIGI - 1},
                                         {BTN_TRIGGER_HAPPY, BTN_TRIGGER_HAPPY40},
                                         {0, BTN_JOYSTICK - 1},
                                         {BTN_DIGI, BTN_TRIGGER_HAPPY - 1},
                                         {BTN_TRIGGER_HAPPY40 + 1, KEY_MAX}};
    for (const auto& range : kRanges)
        for (int code = range[0]; code <= range[1] && layout.buttonCount < wheel::kButtonCount;
             ++code)
            if (capabilities.keys.has(code))
                layout.buttonCode[static_cast<std::size_t>(layout.buttonCount++)] = code;
    return layout;
}

GUID productGuid(const input_id& id) {
    return GUID{(static_cast<DWORD>(id.product) << 16) | id.vendor,
                0,
                0,
                {0, 0, 'P', 'I', 'D', 'V', 'I', 'D'}};
}

GUID instanceGuid(const NodeCapabilities& capabilities, int ordinal) {
    std::string bytes;
    for (std::uint16_t field : {capabilities.id.bustype, capabilities.id.vendor,
                                capabilities.id.product, capabilities.id.version}) {
        bytes.push_back(static_cast<char>(field & 0xFF));
        bytes.push_back(static_cast<char>(field >> 8));
    }
    bytes += capabilities.physicalPath;
    bytes.push_back('\0');
    bytes += std::to_string(ordinal);
    const std::uint64_t high = fnv1a(bytes, 0xCBF29CE484222325ULL);
    const std::uint64_t low = fnv1a(bytes, high);
    GUID guid{};
    guid.Data1 = static_cast<DWORD>(high >> 32);
    guid.Data2 = static_cast<WORD>(high >> 16);
    guid.Data3 = static_cast<WORD>((high & 0x0FFF) | 0x8000);  // RFC 9562 version 8: custom
    for (int i = 0; i < 8; ++i) guid.Data4[i] = static_cast<BYTE>(low >> (56 - 8 * i));
    guid.Data4[0] = static_cast<BYTE>((guid.Data4[0] & 0x3F) | 0x80);  // the RFC variant
    return guid;
}

wheel::DriverInfo describe(const NodeCapabilities& capabilities, int ordinal) {
    wheel::DriverInfo info;
    info.instanceGuid = instanceGuid(capabilities, ordinal);
    info.productGuid = productGuid(capabilities.id);
    const platform::WideString name = platform::fromUtf8(capabilities.name);
    std::copy_n(name.begin(), std::min(name.size(), info.productName.size() - 1),
                info.productName.begin());
    info.effects = playableEffects(capabilities);
    const InputLayout layout = inputLayout(capabilities);
    for (std::size_t axis = 0; axis < info.axes.size(); ++axis)
        info.axes[axis] = layout.axisCode[axis] >= 0;
    info.buttonCount = layout.buttonCount;
    info.povCount = layout.povCount;
    return info;
}

}  // namespace evdev
