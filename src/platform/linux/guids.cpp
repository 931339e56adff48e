// The DirectInput GUIDs and the predefined joystick data format, with Windows' published values.
#include <array>

#include "platform/platform.h"

#define TORVANE_DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
    extern const GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}

TORVANE_DEFINE_GUID(IID_IDirectInput8W, 0xBF798031, 0x483A, 0x4DA2, 0xAA, 0x99, 0x5D, 0x64, 0xED,
                    0x36, 0x97, 0x00);
TORVANE_DEFINE_GUID(IID_IDirectInputDevice8W, 0x54D41081, 0xDC15, 0x4833, 0xA4, 0x1B, 0x74, 0x8F,
                    0x73, 0xA3, 0x81, 0x79);
TORVANE_DEFINE_GUID(IID_IDirectInputEffect, 0xE7E1F7C0, 0x88D2, 0x11D0, 0x9A, 0xD0, 0x00, 0xA0,
                    0xC9, 0xA0, 0x6E, 0x35);
TORVANE_DEFINE_GUID(GUID_XAxis, 0xA36D02E0, 0xC9F3, 0x11CF, 0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54,
                    0x00, 0x00);
TORVANE_DEFINE_GUID(GUID_YAxis, 0xA36D02E1, 0xC9F3, 0x11CF, 0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54,
                    0x00, 0x00);
TORVANE_DEFINE_GUID(GUID_ZAxis, 0xA36D02E2, 0xC9F3, 0x11CF, 0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54,
                    0x00, 0x00);
TORVANE_DEFINE_GUID(GUID_RxAxis, 0xA36D02F4, 0xC9F3, 0x11CF, 0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54,
                    0x00, 0x00);
TORVANE_DEFINE_GUID(GUID_RyAxis, 0xA36D02F5, 0xC9F3, 0x11CF, 0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54,
                    0x00, 0x00);
TORVANE_DEFINE_GUID(GUID_RzAxis, 0xA36D02E3, 0xC9F3, 0x11CF, 0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54,
                    0x00, 0x00);
TORVANE_DEFINE_GUID(GUID_Slider, 0xA36D02E4, 0xC9F3, 0x11CF, 0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54,
                    0x00, 0x00);
TORVANE_DEFINE_GUID(GUID_Button, 0xA36D02F0, 0xC9F3, 0x11CF, 0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54,
                    0x00, 0x00);
TORVANE_DEFINE_GUID(GUID_POV, 0xA36D02F2, 0xC9F3, 0x11CF, 0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00,
                    0x00);
TORVANE_DEFINE_GUID(GUID_ConstantForce, 0x13541C20, 0x8E33, 0x11D0, 0x9A, 0xD0, 0x00, 0xA0, 0xC9,
                    0xA0, 0x6E, 0x35);
TORVANE_DEFINE_GUID(GUID_Square, 0x13541C22, 0x8E33, 0x11D0, 0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0,
                    0x6E, 0x35);
TORVANE_DEFINE_GUID(GUID_Sine, 0x13541C23, 0x8E33, 0x11D0, 0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E,
                    0x35);
TORVANE_DEFINE_GUID(GUID_Damper, 0x13541C28, 0x8E33, 0x11D0, 0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0,
                    0x6E, 0x35);
TORVANE_DEFINE_GUID(GUID_RampForce, 0x13541C21, 0x8E33, 0x11D0, 0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0,
                    0x6E, 0x35);
TORVANE_DEFINE_GUID(GUID_Triangle, 0x13541C24, 0x8E33, 0x11D0, 0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0,
                    0x6E, 0x35);
TORVANE_DEFINE_GUID(GUID_SawtoothUp, 0x13541C25, 0x8E33, 0x11D0, 0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0,
                    0x6E, 0x35);
TORVANE_DEFINE_GUID(GUID_SawtoothDown, 0x13541C26, 0x8E33, 0x11D0, 0x9A, 0xD0, 0x00, 0xA0, 0xC9,
                    0xA0, 0x6E, 0x35);
TORVANE_DEFINE_GUID(GUID_Spring, 0x13541C27, 0x8E33, 0x11D0, 0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0,
                    0x6E, 0x35);
TORVANE_DEFINE_GUID(GUID_Inertia, 0x13541C29, 0x8E33, 0x11D0, 0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0,
                    0x6E, 0x35);
TORVANE_DEFINE_GUID(GUID_Friction, 0x13541C2A, 0x8E33, 0x11D0, 0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0,
                    0x6E, 0x35);
TORVANE_DEFINE_GUID(GUID_CustomForce, 0x13541C2B, 0x8E33, 0x11D0, 0x9A, 0xD0, 0x00, 0xA0, 0xC9,
                    0xA0, 0x6E, 0x35);

extern const GUID directInputPropertySlots[16] = {};

namespace {

constexpr DWORD kOptionalAxis = DIDFT_OPTIONAL | DIDFT_AXIS | DIDFT_ANYINSTANCE;
constexpr int kObjectCount = 164;

// Windows' c_dfDIJoystick2: the eight position axes, four hats, 128 buttons, then velocity,
// acceleration and force axes, every object optional.
std::array<DIOBJECTDATAFORMAT, kObjectCount> makeJoystick2Objects() {
    std::array<DIOBJECTDATAFORMAT, kObjectCount> objects{};
    const GUID* axes[6] = {&GUID_XAxis,  &GUID_YAxis,  &GUID_ZAxis,
                           &GUID_RxAxis, &GUID_RyAxis, &GUID_RzAxis};
    int n = 0;
    auto addAxisBlock = [&](DWORD firstOffset, DWORD aspect) {
        for (int i = 0; i < 6; ++i)
            objects[n++] = {axes[i], firstOffset + 4u * static_cast<DWORD>(i), kOptionalAxis,
                            aspect};
        for (int i = 0; i < 2; ++i)
            objects[n++] = {&GUID_Slider, firstOffset + 24u + 4u * static_cast<DWORD>(i),
                            kOptionalAxis, aspect};
    };
    addAxisBlock(offsetof(DIJOYSTATE2, lX), DIDOI_ASPECTPOSITION);
    for (DWORD i = 0; i < 4; ++i)
        objects[n++] = {&GUID_POV, static_cast<DWORD>(offsetof(DIJOYSTATE2, rgdwPOV)) + 4u * i,
                        DIDFT_OPTIONAL | DIDFT_POV | DIDFT_ANYINSTANCE, 0};
    for (DWORD i = 0; i < 128; ++i)
        objects[n++] = {nullptr, static_cast<DWORD>(offsetof(DIJOYSTATE2, rgbButtons)) + i,
                        DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0};
    addAxisBlock(offsetof(DIJOYSTATE2, lVX), DIDOI_ASPECTVELOCITY);
    addAxisBlock(offsetof(DIJOYSTATE2, lAX), DIDOI_ASPECTACCEL);
    addAxisBlock(offsetof(DIJOYSTATE2, lFX), DIDOI_ASPECTFORCE);
    return objects;
}

std::array<DIOBJECTDATAFORMAT, kObjectCount> joystick2Objects = makeJoystick2Objects();

}  // namespace

extern const DIDATAFORMAT c_dfDIJoystick2 = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT),
                                             DIDF_ABSAXIS,         sizeof(DIJOYSTATE2),
                                             kObjectCount,         joystick2Objects.data()};
