#include "controller/setup.h"

#include <ostream>

namespace torvane {
namespace {

constexpr LONG kAxisMinimum = -10000;
constexpr LONG kAxisMaximum = 10000;

BOOL CALLBACK rangeAxis(LPCDIDEVICEOBJECTINSTANCEW object, LPVOID context) {
    auto& device = *static_cast<IDirectInputDevice8W*>(context);
    DIPROPRANGE range{};
    range.diph.dwSize = sizeof range;
    range.diph.dwHeaderSize = sizeof range.diph;
    range.diph.dwObj = object->dwType;
    range.diph.dwHow = DIPH_BYID;
    range.lMin = kAxisMinimum;
    range.lMax = kAxisMaximum;
    device.SetProperty(DIPROP_RANGE, &range.diph);  // an axis that refuses keeps its own range
    return DIENUM_CONTINUE;
}

BOOL CALLBACK addEffect(LPCDIEFFECTINFOW info, LPVOID context) {
    auto& effects = *static_cast<std::vector<EffectInfo>*>(context);
    effects.push_back({info->guid, platform::textOfField(info->tszName), info->dwEffType});
    return DIENUM_CONTINUE;
}

}  // namespace

bool openController(IDirectInput8W& directInput, const ControllerInfo& controller,
                    platform::ComPtr<IDirectInputDevice8W>& device) {
    if (FAILED(directInput.CreateDevice(controller.instanceGuid, device.put(), nullptr)) || !device)
        return false;
    return SUCCEEDED(device->SetDataFormat(&c_dfDIJoystick2));
}

OwnerWindow createOwnerWindow() {
    // A STATIC window needs no class of its own and is never shown. It exists because exclusive
    // access must be tied to a window; its thread answers the messages every top-level window
    // gets, the session's end among them.
    return OwnerWindow(std::make_unique<platform::WindowThread>(
        TORVANE_WIDE("STATIC"), TORVANE_WIDE("Torvane DirectInput Bridge")));
}

bool setCooperativeLevel(IDirectInputDevice8W& device, HWND owner) {
    return SUCCEEDED(device.SetCooperativeLevel(owner, DISCL_EXCLUSIVE | DISCL_BACKGROUND));
}

void setAxisRanges(IDirectInputDevice8W& device) {
    device.EnumObjects(rangeAxis, &device, DIDFT_AXIS);
}

bool switchAutocenterOff(IDirectInputDevice8W& device) {
    DIPROPDWORD autocenter{};
    autocenter.diph.dwSize = sizeof autocenter;
    autocenter.diph.dwHeaderSize = sizeof autocenter.diph;
    autocenter.diph.dwObj = 0;
    autocenter.diph.dwHow = DIPH_DEVICE;
    autocenter.dwData = DIPROPAUTOCENTER_OFF;
    return SUCCEEDED(device.SetProperty(DIPROP_AUTOCENTER, &autocenter.diph));
}

void disableAutocenter(IDirectInputDevice8W& device, std::ostream& err) {
    if (!switchAutocenterOff(device))
        err << "Warning: the wheel's automatic centering could not be disabled. Stop the bridge "
               "if forces feel abnormal.\n";
}

bool pollControllerState(IDirectInputDevice8W& device, DIJOYSTATE2& state, bool& reacquired) {
    reacquired = false;
    if (FAILED(device.Poll())) {
        // A device lost to another program or a reconnect has to be acquired again before it
        // answers; whether that worked shows in the second Poll. A wheel base that rebooted has
        // its centering spring back on, and it can only be switched off while not acquired.
        switchAutocenterOff(device);
        reacquired = SUCCEEDED(device.Acquire());
        if (FAILED(device.Poll())) return false;
    }
    return SUCCEEDED(device.GetDeviceState(sizeof(DIJOYSTATE2), &state));
}

bool pollControllerState(IDirectInputDevice8W& device, DIJOYSTATE2& state) {
    bool reacquired = false;
    return pollControllerState(device, state, reacquired);
}

std::vector<EffectInfo> enumerateEffects(IDirectInputDevice8W& device) {
    std::vector<EffectInfo> effects;
    device.EnumEffects(addEffect, &effects, DIEFT_ALL);
    return effects;
}

}  // namespace torvane
