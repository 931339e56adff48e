// Turning the chosen controller into a device the bridge can drive: joystick data format, hidden
// owner window, exclusive background access, axis ranges, no autocentering, acquisition, and the
// list of supported effects.
#pragma once

#include <iosfwd>
#include <memory>
#include <utility>
#include <vector>

#include "controller/discovery.h"
#include "platform/platform.h"
#include "platform/resources.h"
#include "platform/window_thread.h"

namespace torvane {

/// One effect that the device supports.
struct EffectInfo {
    GUID effectGuid{};
    platform::WideString effectName;
    DWORD effectType = 0;
};

/// The hidden window that owns the device's cooperative level, on a thread of its own that
/// answers its messages; destroyed with its owner.
class OwnerWindow {
  public:
    OwnerWindow() = default;
    explicit OwnerWindow(std::unique_ptr<platform::WindowThread> window)
        : window_(std::move(window)) {}

    HWND get() const { return window_ ? window_->get() : nullptr; }
    explicit operator bool() const { return get() != nullptr; }

  private:
    std::unique_ptr<platform::WindowThread> window_;
};

/// CreateDevice with the chosen instance, then SetDataFormat(c_dfDIJoystick2). On failure the
/// device, if one was created, is left in device for its owner to release.
bool openController(IDirectInput8W& directInput, const ControllerInfo& controller,
                    platform::ComPtr<IDirectInputDevice8W>& device);

/// A never-shown 1x1 "STATIC" window titled "Torvane DirectInput Bridge".
OwnerWindow createOwnerWindow();

/// DISCL_EXCLUSIVE | DISCL_BACKGROUND on the owner window; true on success.
bool setCooperativeLevel(IDirectInputDevice8W& device, HWND owner);

/// Ranges every axis the device reports to -10000..10000; failures leave that axis as it was.
void setAxisRanges(IDirectInputDevice8W& device);

/// Switches the centering spring off; true on success. DirectInput accepts this only while the
/// device is not acquired: it answers DIERR_ACQUIRED otherwise.
bool switchAutocenterOff(IDirectInputDevice8W& device);

/// switchAutocenterOff, writing the warning line to err when it fails.
void disableAutocenter(IDirectInputDevice8W& device, std::ostream& err);

/// Poll (on failure switch autocentering off and Acquire, both results unreported, and Poll once
/// more), then GetDeviceState of the 272-byte DIJOYSTATE2; true when the state was read.
/// reacquired tells whether that Acquire succeeded: DirectInput stops and unloads a device's
/// effects when it loses it, so whoever plays them has to start them again.
bool pollControllerState(IDirectInputDevice8W& device, DIJOYSTATE2& state, bool& reacquired);

/// The same, for a reader that plays no effects.
bool pollControllerState(IDirectInputDevice8W& device, DIJOYSTATE2& state);

/// The effects the device reports, in its order.
std::vector<EffectInfo> enumerateEffects(IDirectInputDevice8W& device);

}  // namespace torvane
