// The objects of a device over a driver (its axes, POVs and buttons) as EnumObjects lists them,
// with the offsets of the joystick data format and DirectInput's object ids.
#include "wheel/device_impl.h"

namespace wheel::detail {
namespace {

constexpr DWORD kAxisOffsets[kAxisCount] = {
    offsetof(DIJOYSTATE2, lX),        offsetof(DIJOYSTATE2, lY),
    offsetof(DIJOYSTATE2, lZ),        offsetof(DIJOYSTATE2, lRx),
    offsetof(DIJOYSTATE2, lRy),       offsetof(DIJOYSTATE2, lRz),
    offsetof(DIJOYSTATE2, rglSlider), offsetof(DIJOYSTATE2, rglSlider) + sizeof(LONG)};
const char* const kAxisNames[kAxisCount] = {"X Axis",     "Y Axis",     "Z Axis", "X Rotation",
                                            "Y Rotation", "Z Rotation", "Slider", "Slider"};
const GUID* const kAxisGuids[kAxisCount] = {&GUID_XAxis,  &GUID_YAxis,  &GUID_ZAxis,  &GUID_RxAxis,
                                            &GUID_RyAxis, &GUID_RzAxis, &GUID_Slider, &GUID_Slider};

template <std::size_t N>
void copyName(const char* name, int number, WCHAR (&field)[N]) {
    std::size_t i = 0;
    for (; name[i] != 0 && i + 1 < N; ++i) field[i] = static_cast<WCHAR>(name[i]);
    if (number >= 0) {
        char digits[12];
        int d = 0;
        do digits[d++] = static_cast<char>('0' + number % 10);
        while ((number /= 10) > 0);
        if (i + 1 < N) field[i++] = ' ';
        while (d > 0 && i + 1 < N) field[i++] = static_cast<WCHAR>(digits[--d]);
    }
    field[i] = 0;
}

int axisInstance(const DriverInfo& info, int axis) {
    int instance = 0;
    for (int a = 0; a < axis; ++a) instance += info.axes[a] ? 1 : 0;
    return instance;
}

}  // namespace

bool objectAt(const DriverInfo& info, int position, ObjectRef& object) {
    for (int a = 0; a < kAxisCount; ++a) {
        if (!info.axes[a]) continue;
        if (position-- == 0) {
            object = {ObjectRef::Axis, a};
            return true;
        }
    }
    if (position < info.povCount) {
        object = {ObjectRef::Pov, position};
        return true;
    }
    position -= info.povCount;
    if (position < info.buttonCount) {
        object = {ObjectRef::Button, position};
        return true;
    }
    return false;
}

void describeObject(const DriverInfo& info, const ObjectRef& object, DIDEVICEOBJECTINSTANCEW& out) {
    out = {};
    out.dwSize = sizeof out;
    const bool actuator = object.kind == ObjectRef::Axis && object.index == 0 && info.effects != 0;
    switch (object.kind) {
        case ObjectRef::Axis:
            out.guidType = *kAxisGuids[object.index];
            out.dwOfs = kAxisOffsets[object.index];
            out.dwType = DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(axisInstance(info, object.index)) |
                         (actuator ? DIDFT_FFACTUATOR : 0);
            out.dwFlags = DIDOI_ASPECTPOSITION | (actuator ? DIDOI_FFACTUATOR : 0);
            copyName(kAxisNames[object.index], -1, out.tszName);
            if (actuator) {
                out.dwFFMaxForce = DI_FFNOMINALMAX;
                out.dwFFForceResolution = 1;
            }
            break;
        case ObjectRef::Pov:
            out.guidType = GUID_POV;
            out.dwOfs = static_cast<DWORD>(DIJOFS_POV(object.index));
            out.dwType = DIDFT_POV | DIDFT_MAKEINSTANCE(object.index);
            copyName("Hat Switch", object.index, out.tszName);
            break;
        case ObjectRef::Button:
            out.guidType = GUID_Button;
            out.dwOfs = static_cast<DWORD>(DIJOFS_BUTTON(object.index));
            out.dwType = DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(object.index);
            copyName("Button", object.index, out.tszName);
            break;
    }
}

// EnumObjects' filter: the type bits (any one of them) and the attribute bits (all of them).
bool matchesFilter(DWORD type, DWORD filter) {
    const DWORD types = filter & 0xFF;
    const DWORD attributes = filter & (DIDFT_FFACTUATOR | DIDFT_FFEFFECTTRIGGER | DIDFT_OUTPUT |
                                       DIDFT_VENDORDEFINED | DIDFT_ALIAS);
    if (types != 0 && (type & types) == 0) return false;
    return (type & attributes) == attributes;
}

}  // namespace wheel::detail
