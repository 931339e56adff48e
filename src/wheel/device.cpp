// The DirectInput device over one driver. Where each rule comes from (the DirectInput 8
// reference pages, by name):
//
//   rule                                                     documented in
//   -------------------------------------------------------  -------------------------------------
//   Acquire needs a data format (else DIERR_INVALIDPARAM);   IDirectInputDevice8::Acquire
//     S_FALSE when already acquired
//   SetDataFormat refused while acquired (DIERR_ACQUIRED)    IDirectInputDevice8::SetDataFormat
//   GetDeviceState needs acquisition (DIERR_NOTACQUIRED)     IDirectInputDevice8::GetDeviceState
//     and the size of the format's state (DIJOYSTATE2)
//   Poll: DI_NOEFFECT when polling is not needed,            IDirectInputDevice8::Poll
//     DIERR_NOTACQUIRED, DIERR_INPUTLOST
//   Unacquire: DI_NOEFFECT when not acquired                 IDirectInputDevice8::Unacquire
//   Properties other than DIPROP_FFGAIN cannot change        IDirectInputDevice8::SetProperty,
//     while acquired (DIERR_ACQUIRED)                          DIPROPRANGE, DIPROP_AUTOCENTER
//   Default cooperative level non-exclusive background;      IDirectInputDevice8::SetCooperative-
//     one of each pair of flags; a window (E_HANDLE)           Level
//   Force-feedback commands need exclusive acquisition       IDirectInputDevice8::SendForce-
//     (DIERR_NOTEXCLUSIVEACQUIRED); so do Download, Start      FeedbackCommand (Remarks);
//                                                              IDirectInputEffect::Download
//   DISFFC_RESET unloads every effect and turns the          IDirectInputDevice8::SendForce-
//     actuators off; DISFFC_STOPALL stops them all;            FeedbackCommand
//     actuators off mute effects that go on playing
//   Unacquire (and so a loss) unloads every effect; it is    Downloading and Unloading Effects
//     downloaded again by Start
//   CreateEffect: DIERR_DEVICENOTREG for an unknown GUID,    IDirectInputDevice8::CreateEffect
//     parameters given are set and downloaded when the
//     device is exclusively acquired
//   SetParameters stores the parameters and answers          IDirectInputEffect::SetParameters
//     DI_DOWNLOADSKIPPED without exclusive acquisition or
//     with DIEP_NODOWNLOAD; DIEP_START starts it
//   Start downloads first unless DIES_NODOWNLOAD             IDirectInputEffect::Start
//   Download: S_FALSE when already downloaded,               IDirectInputEffect::Download
//     DIERR_INCOMPLETEEFFECT, DIERR_DEVICEFULL
//   GetParameters: DIERR_MOREDATA when a buffer is short     IDirectInputEffect::GetParameters
//   Range of each DIEFFECT and DI* member                    DIEFFECT, DICONSTANTFORCE, DIPERIODIC,
//                                                              DICONDITION
//
// Choices of this layer where the pages leave room: releasing an effect's last reference stops
// and unloads it (nothing else can reach it); the device needs no polling, yet Poll asks the
// driver so a loss shows there; one Cartesian axis (X) carries every force; envelopes, trigger
// buttons, start delays and DISFFC_PAUSE/CONTINUE answer DIERR_UNSUPPORTED; GetEffectStatus and
// GetForceFeedbackState need exclusive acquisition; a playing effect counts as playing until it is
// stopped (the driver does not report an expired duration); only the joystick data format
// (c_dfDIJoystick2) is accepted.
#include "wheel/device.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "wheel/device_impl.h"

namespace wheel {
namespace detail {
namespace {

// The force-feedback driver GUID the device reports: its own, since no system driver is behind it.
constexpr GUID kForceFeedbackDriver = {
    0x7A3C5E21, 0x94D0, 0x4F6B, {0x8C, 0x1E, 0x25, 0x60, 0xB7, 0x3D, 0x9A, 0x41}};

bool isJoystickFormat(const DIDATAFORMAT& format) {
    return format.dwSize == sizeof(DIDATAFORMAT) &&
           format.dwObjSize == sizeof(DIOBJECTDATAFORMAT) &&
           format.dwDataSize == sizeof(DIJOYSTATE2) &&
           format.dwNumObjs == c_dfDIJoystick2.dwNumObjs && format.rgodf != nullptr;
}

LONG mapTravel(double travel, LONG low, LONG high) {
    if (!(travel >= 0.0)) travel = 0.0;  // also NaN
    if (travel > 1.0) travel = 1.0;
    const double span = static_cast<double>(high) - static_cast<double>(low);
    return static_cast<LONG>(std::llround(static_cast<double>(low) + travel * span));
}

// The two force-feedback properties the device keeps itself: DWORDs for the whole device, and
// only on a device with force feedback. Anything else is DIERR_UNSUPPORTED.
HRESULT checkFeedbackProperty(const DriverInfo& info, DWORD number, const DIPROPHEADER& header) {
    if (number != propertyNumber(DIPROP_FFGAIN) && number != propertyNumber(DIPROP_AUTOCENTER))
        return DIERR_UNSUPPORTED;
    if (header.dwSize != sizeof(DIPROPDWORD) || header.dwHow != DIPH_DEVICE || header.dwObj != 0)
        return DIERR_INVALIDPARAM;
    if (info.effects == 0) return DIERR_UNSUPPORTED;
    return DI_OK;
}

}  // namespace

Device::Device(std::unique_ptr<Driver> driver, Journal* journal)
    : ComObject(IID_IDirectInputDevice8W),
      driver_(std::move(driver)),
      info_(driver_->info()),
      journal_(journal) {
    std::fill(std::begin(rangeMin_), std::end(rangeMin_), 0);
    std::fill(std::begin(rangeMax_), std::end(rangeMax_), 65535);
    effects_.reserve(16);
}

Device::~Device() {
    if (acquired_) release();
}

HRESULT Device::note(Method method, int effect, DWORD argument, HRESULT result,
                     const EffectParameters* parameters) {
    if (journal_ != nullptr) {
        JournalEntry entry;
        entry.method = method;
        entry.effect = effect;
        entry.argument = argument;
        entry.result = result;
        if (parameters != nullptr) {
            entry.hasParameters = true;
            entry.parameters = *parameters;
        }
        journal_->record(entry);
    }
    return result;
}

DWORD Device::actuatorId() const {
    return DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(0) | DIDFT_FFACTUATOR;
}

void Device::release() {
    // Every effect leaves the device; a lost driver still hears of it, so it frees what it held.
    for (Effect* effect : effects_) {
        if (!effect->downloaded()) continue;
        driver_->stop(effect->handle());
        driver_->unload(effect->handle());
        effect->dropped();
    }
    driver_->unacquire();
    acquired_ = false;
}

HRESULT Device::answer(DriverStatus status) {
    switch (status) {
        case DriverStatus::Ok:
            return DI_OK;
        case DriverStatus::Lost:
        case DriverStatus::Unplugged:
            if (acquired_) release();
            return DIERR_INPUTLOST;
        case DriverStatus::Refused:
            return DIERR_OTHERAPPHASPRIO;
        case DriverStatus::Unsupported:
            return DIERR_UNSUPPORTED;
        case DriverStatus::NoRoom:
            return DIERR_DEVICEFULL;
        case DriverStatus::Failed:
            break;
    }
    return DIERR_GENERIC;
}

HRESULT Device::stopOthers(const Effect* keep) {
    for (Effect* effect : effects_) {
        if (effect == keep || !effect->playing()) continue;
        const HRESULT hr = answer(driver_->stop(effect->handle()));
        if (FAILED(hr)) return hr;
        effect->stopped();
    }
    return DI_OK;
}

void Device::forget(const Effect* effect) {
    effects_.erase(std::remove(effects_.begin(), effects_.end(), effect), effects_.end());
}

HRESULT Device::GetCapabilities(LPDIDEVCAPS caps) {
    if (caps == nullptr) return note(Method::GetCapabilities, kDeviceCall, 0, E_POINTER);
    if (caps->dwSize != sizeof(DIDEVCAPS))
        return note(Method::GetCapabilities, kDeviceCall, 0, DIERR_INVALIDPARAM);
    *caps = {};
    caps->dwSize = sizeof(DIDEVCAPS);
    caps->dwFlags = DIDC_ATTACHED | (info_.effects != 0 ? DIDC_FORCEFEEDBACK : 0);
    caps->dwDevType = info_.deviceType;
    caps->dwAxes = static_cast<DWORD>(std::count(info_.axes.begin(), info_.axes.end(), true));
    caps->dwButtons = static_cast<DWORD>(info_.buttonCount);
    caps->dwPOVs = static_cast<DWORD>(info_.povCount);
    if (info_.effects != 0) {
        caps->dwFFSamplePeriod = 1000;
        caps->dwFFMinTimeResolution = 1000;
    }
    return note(Method::GetCapabilities, kDeviceCall, 0, DI_OK);
}

HRESULT Device::EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKW callback, LPVOID context, DWORD flags) {
    if (callback == nullptr)
        return note(Method::EnumObjects, kDeviceCall, flags, DIERR_INVALIDPARAM);
    note(Method::EnumObjects, kDeviceCall, flags, DI_OK);
    ObjectRef object{};
    DIDEVICEOBJECTINSTANCEW instance;
    for (int position = 0; objectAt(info_, position, object); ++position) {
        describeObject(info_, object, instance);
        if (!matchesFilter(instance.dwType, flags)) continue;
        if (callback(&instance, context) == DIENUM_STOP) break;
    }
    return DI_OK;
}

HRESULT Device::GetObjectInfo(LPDIDEVICEOBJECTINSTANCEW object, DWORD id, DWORD how) {
    if (object == nullptr || object->dwSize != sizeof(DIDEVICEOBJECTINSTANCEW) ||
        (how != DIPH_BYID && how != DIPH_BYOFFSET))
        return note(Method::GetObjectInfo, kDeviceCall, id, DIERR_INVALIDPARAM);
    ObjectRef ref{};
    DIDEVICEOBJECTINSTANCEW candidate;
    for (int position = 0; objectAt(info_, position, ref); ++position) {
        describeObject(info_, ref, candidate);
        const bool same = how == DIPH_BYOFFSET
                              ? candidate.dwOfs == id
                              : DIDFT_GETINSTANCE(candidate.dwType) == DIDFT_GETINSTANCE(id) &&
                                    (DIDFT_GETTYPE(candidate.dwType) & DIDFT_GETTYPE(id)) != 0;
        if (same) {
            *object = candidate;
            return note(Method::GetObjectInfo, kDeviceCall, id, DI_OK);
        }
    }
    return note(Method::GetObjectInfo, kDeviceCall, id, DIERR_OBJECTNOTFOUND);
}

HRESULT Device::GetDeviceInfo(LPDIDEVICEINSTANCEW instance) {
    if (instance == nullptr) return note(Method::GetDeviceInfo, kDeviceCall, 0, E_POINTER);
    if (instance->dwSize != sizeof(DIDEVICEINSTANCEW))
        return note(Method::GetDeviceInfo, kDeviceCall, 0, DIERR_INVALIDPARAM);
    describeDevice(info_, *instance);
    return note(Method::GetDeviceInfo, kDeviceCall, 0, DI_OK);
}

int Device::axisOf(const DIPROPHEADER& header) const {
    ObjectRef object{};
    DIDEVICEOBJECTINSTANCEW instance;
    for (int position = 0; objectAt(info_, position, object); ++position) {
        if (object.kind != ObjectRef::Axis) break;
        describeObject(info_, object, instance);
        if (header.dwHow == DIPH_BYOFFSET && instance.dwOfs == header.dwObj) return object.index;
        if (header.dwHow == DIPH_BYID &&
            DIDFT_GETINSTANCE(instance.dwType) == DIDFT_GETINSTANCE(header.dwObj) &&
            (DIDFT_GETTYPE(header.dwObj) & DIDFT_AXIS) != 0)
            return object.index;
    }
    return -1;
}

HRESULT Device::SetProperty(REFGUID property, LPCDIPROPHEADER header) {
    return note(Method::SetProperty, kDeviceCall, propertyNumber(property),
                setProperty(property, header));
}

HRESULT Device::setProperty(REFGUID property, LPCDIPROPHEADER header) {
    if (header == nullptr || header->dwHeaderSize != sizeof(DIPROPHEADER))
        return DIERR_INVALIDPARAM;
    const DWORD number = propertyNumber(property);
    if (number == propertyNumber(DIPROP_RANGE)) {
        if (header->dwSize != sizeof(DIPROPRANGE)) return DIERR_INVALIDPARAM;
        if (acquired_) return DIERR_ACQUIRED;
        const auto& range = *reinterpret_cast<const DIPROPRANGE*>(header);
        if (range.lMin >= range.lMax) return DIERR_INVALIDPARAM;
        if (header->dwHow == DIPH_DEVICE) {
            if (header->dwObj != 0) return DIERR_INVALIDPARAM;
            std::fill(std::begin(rangeMin_), std::end(rangeMin_), range.lMin);
            std::fill(std::begin(rangeMax_), std::end(rangeMax_), range.lMax);
            return DI_OK;
        }
        const int axis = axisOf(*header);
        if (axis < 0) return DIERR_OBJECTNOTFOUND;
        rangeMin_[axis] = range.lMin;
        rangeMax_[axis] = range.lMax;
        return DI_OK;
    }
    const HRESULT checked = checkFeedbackProperty(info_, number, *header);
    if (FAILED(checked)) return checked;
    const bool gain = number == propertyNumber(DIPROP_FFGAIN);
    const DWORD value = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
    if (!gain) {
        if (acquired_) return DIERR_ACQUIRED;
        if (value != DIPROPAUTOCENTER_OFF && value != DIPROPAUTOCENTER_ON)
            return DIERR_INVALIDPARAM;
        autocenter_ = value == DIPROPAUTOCENTER_ON;
        return DI_OK;
    }
    if (value > DI_FFNOMINALMAX) return DIERR_INVALIDPARAM;
    gain_ = value;
    if (exclusivelyAcquired() && actuatorsOn_) return answer(driver_->setGain(gain_));
    return DI_OK;
}

HRESULT Device::GetProperty(REFGUID property, LPDIPROPHEADER header) {
    return note(Method::GetProperty, kDeviceCall, propertyNumber(property),
                getProperty(property, header));
}

HRESULT Device::getProperty(REFGUID property, LPDIPROPHEADER header) {
    if (header == nullptr || header->dwHeaderSize != sizeof(DIPROPHEADER))
        return DIERR_INVALIDPARAM;
    const DWORD number = propertyNumber(property);
    if (number == propertyNumber(DIPROP_RANGE)) {
        if (header->dwSize != sizeof(DIPROPRANGE) || header->dwHow == DIPH_DEVICE)
            return DIERR_INVALIDPARAM;
        const int axis = axisOf(*header);
        if (axis < 0) return DIERR_OBJECTNOTFOUND;
        auto& range = *reinterpret_cast<DIPROPRANGE*>(header);
        range.lMin = rangeMin_[axis];
        range.lMax = rangeMax_[axis];
        return DI_OK;
    }
    const HRESULT checked = checkFeedbackProperty(info_, number, *header);
    if (FAILED(checked)) return checked;
    const bool gain = number == propertyNumber(DIPROP_FFGAIN);
    reinterpret_cast<DIPROPDWORD*>(header)->dwData =
        gain ? gain_ : (autocenter_ ? DIPROPAUTOCENTER_ON : DIPROPAUTOCENTER_OFF);
    return DI_OK;
}

HRESULT Device::SetDataFormat(LPCDIDATAFORMAT format) {
    HRESULT hr = DI_OK;
    if (format == nullptr || format->dwSize != sizeof(DIDATAFORMAT) ||
        format->dwObjSize != sizeof(DIOBJECTDATAFORMAT))
        hr = DIERR_INVALIDPARAM;
    else if (acquired_)
        hr = DIERR_ACQUIRED;
    else if (!isJoystickFormat(*format))
        hr = DIERR_UNSUPPORTED;  // only the joystick format the program uses
    else
        formatSet_ = true;
    return note(Method::SetDataFormat, kDeviceCall, 0, hr);
}

HRESULT Device::SetCooperativeLevel(HWND window, DWORD flags) {
    const DWORD access = flags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
    const DWORD focus = flags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
    HRESULT hr = DI_OK;
    if (access == 0 || access == (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE) || focus == 0 ||
        focus == (DISCL_FOREGROUND | DISCL_BACKGROUND) ||
        (flags & ~(DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND)) !=
            0)
        hr = DIERR_INVALIDPARAM;
    else if (window == nullptr && flags != (DISCL_NONEXCLUSIVE | DISCL_BACKGROUND))
        hr = E_HANDLE;  // only shared background access may go without a window
    else if (acquired_)
        hr = DIERR_ACQUIRED;
    else
        cooperation_ = flags;
    return note(Method::SetCooperativeLevel, kDeviceCall, flags, hr);
}

HRESULT Device::pushForceState() {
    if (info_.effects == 0 || !exclusivelyAcquired()) return DI_OK;
    DriverStatus status = driver_->setGain(actuatorsOn_ ? gain_ : 0);
    if (status == DriverStatus::Ok || status == DriverStatus::Unsupported)
        status = driver_->setAutocenter(autocenter_);
    return status == DriverStatus::Unsupported ? DI_OK : answer(status);
}

HRESULT Device::Acquire() {
    HRESULT hr = DI_OK;
    if (!formatSet_) {
        hr = DIERR_INVALIDPARAM;
    } else if (acquired_) {
        hr = S_FALSE;
    } else {
        const DriverStatus status = driver_->acquire((cooperation_ & DISCL_EXCLUSIVE) != 0);
        if (status == DriverStatus::Unplugged) {
            hr = DIERR_UNPLUGGED;
        } else if (status != DriverStatus::Ok) {
            hr = answer(status);
        } else {
            acquired_ = true;
            actuatorsOn_ = true;
            hr = pushForceState();
        }
    }
    return note(Method::Acquire, kDeviceCall, 0, hr);
}

HRESULT Device::Unacquire() {
    HRESULT hr = DI_NOEFFECT;
    if (acquired_) {
        release();
        hr = DI_OK;
    }
    return note(Method::Unacquire, kDeviceCall, 0, hr);
}

HRESULT Device::Poll() {
    HRESULT hr = DIERR_NOTACQUIRED;
    if (acquired_) {
        hr = answer(driver_->readInput(input_));
        // The state is read afresh by GetDeviceState: the device needs no polling.
        if (SUCCEEDED(hr)) hr = DI_NOEFFECT;
    }
    return note(Method::Poll, kDeviceCall, 0, hr);
}

HRESULT Device::GetDeviceState(DWORD size, LPVOID data) {
    HRESULT hr = DI_OK;
    if (!acquired_)
        hr = DIERR_NOTACQUIRED;
    else if (data == nullptr || size != sizeof(DIJOYSTATE2))
        hr = DIERR_INVALIDPARAM;
    else
        hr = answer(driver_->readInput(input_));
    if (hr == DI_OK) {
        DIJOYSTATE2 state{};
        LONG* axes[kAxisCount] = {&state.lX,  &state.lY,  &state.lZ,           &state.lRx,
                                  &state.lRy, &state.lRz, &state.rglSlider[0], &state.rglSlider[1]};
        for (int a = 0; a < kAxisCount; ++a)
            if (info_.axes[a])
                *axes[a] = mapTravel(input_.axisTravel[a], rangeMin_[a], rangeMax_[a]);
        for (int p = 0; p < kPovCount; ++p)
            state.rgdwPOV[p] = p < info_.povCount ? static_cast<DWORD>(input_.pov[p]) : 0xFFFFFFFFu;
        for (int b = 0; b < info_.buttonCount && b < kButtonCount; ++b)
            state.rgbButtons[b] = input_.buttons[b] ? 0x80 : 0;
        std::memcpy(data, &state, sizeof state);
    }
    return note(Method::GetDeviceState, kDeviceCall, size, hr);
}

HRESULT Device::CreateEffect(REFGUID type, LPCDIEFFECT parameters, LPDIRECTINPUTEFFECT* out,
                             LPUNKNOWN outer) {
    if (out == nullptr) return note(Method::CreateEffect, kDeviceCall, 0, E_POINTER);
    *out = nullptr;
    EffectKind kind{};
    if (outer != nullptr) return note(Method::CreateEffect, kDeviceCall, 0, DIERR_NOAGGREGATION);
    if (!effectKindOf(type, kind))
        return note(Method::CreateEffect, kDeviceCall, 0, DIERR_DEVICENOTREG);
    if (!hasKind(info_.effects, kind))
        return note(Method::CreateEffect, kDeviceCall, 0, DIERR_UNSUPPORTED);
    auto* effect = new Effect(*this, kind);
    effects_.push_back(effect);
    if (parameters != nullptr) {
        const DWORD flags = DIEP_ALLPARAMS | (exclusivelyAcquired() ? 0 : DIEP_NODOWNLOAD);
        const HRESULT hr = effect->apply(parameters, flags);
        if (FAILED(hr)) {
            effect->Release();
            return note(Method::CreateEffect, kDeviceCall, 0, hr);
        }
    }
    effect->setNumber(createdEffects_++);
    *out = effect;
    return note(Method::CreateEffect, effect->number(), 0, DI_OK,
                parameters != nullptr ? &effect->parameters() : nullptr);
}

HRESULT Device::EnumEffects(LPDIENUMEFFECTSCALLBACKW callback, LPVOID context, DWORD type) {
    if (callback == nullptr)
        return note(Method::EnumEffects, kDeviceCall, type, DIERR_INVALIDPARAM);
    note(Method::EnumEffects, kDeviceCall, type, DI_OK);
    DIEFFECTINFOW info;
    for (int k = 0; k < kEffectKindCount; ++k) {
        const auto kind = static_cast<EffectKind>(k);
        if (!hasKind(info_.effects, kind)) continue;
        describeEffect(kind, info);
        if (DIEFT_GETTYPE(type) != 0 && DIEFT_GETTYPE(type) != DIEFT_GETTYPE(info.dwEffType))
            continue;
        if (callback(&info, context) == DIENUM_STOP) break;
    }
    return DI_OK;
}

HRESULT Device::GetEffectInfo(LPDIEFFECTINFOW info, REFGUID type) {
    HRESULT hr = DI_OK;
    EffectKind kind{};
    if (info == nullptr || info->dwSize != sizeof(DIEFFECTINFOW))
        hr = DIERR_INVALIDPARAM;
    else if (!effectKindOf(type, kind) || !hasKind(info_.effects, kind))
        hr = DIERR_DEVICENOTREG;
    else
        describeEffect(kind, *info);
    return note(Method::GetEffectInfo, kDeviceCall, 0, hr);
}

HRESULT Device::GetForceFeedbackState(LPDWORD state) {
    HRESULT hr = DI_OK;
    if (state == nullptr) {
        hr = DIERR_INVALIDPARAM;
    } else if (info_.effects == 0) {
        hr = DIERR_UNSUPPORTED;
    } else if (!exclusivelyAcquired()) {
        hr = DIERR_NOTEXCLUSIVEACQUIRED;
    } else {
        const bool any = std::any_of(effects_.begin(), effects_.end(),
                                     [](const Effect* e) { return e->downloaded(); });
        const bool playing = std::any_of(effects_.begin(), effects_.end(),
                                         [](const Effect* e) { return e->playing(); });
        *state = DIGFFS_POWERON | (any ? 0 : DIGFFS_EMPTY) | (playing ? 0 : DIGFFS_STOPPED) |
                 (actuatorsOn_ ? DIGFFS_ACTUATORSON : DIGFFS_ACTUATORSOFF);
    }
    return note(Method::GetForceFeedbackState, kDeviceCall, 0, hr);
}

HRESULT Device::SendForceFeedbackCommand(DWORD command) {
    HRESULT hr = DI_OK;
    if (info_.effects == 0) {
        hr = DIERR_UNSUPPORTED;
    } else if (!exclusivelyAcquired()) {
        hr = DIERR_NOTEXCLUSIVEACQUIRED;
    } else if (command == DISFFC_STOPALL) {
        hr = answer(driver_->stopAll());
        if (SUCCEEDED(hr))
            for (Effect* effect : effects_) effect->stopped();
    } else if (command == DISFFC_RESET) {
        hr = answer(driver_->reset());
        if (SUCCEEDED(hr)) {
            for (Effect* effect : effects_) effect->dropped();
            actuatorsOn_ = false;
            hr = pushForceState();
        }
    } else if (command == DISFFC_SETACTUATORSON || command == DISFFC_SETACTUATORSOFF) {
        // Actuators off is the device's gain held at zero; the gain property is kept.
        actuatorsOn_ = command == DISFFC_SETACTUATORSON;
        hr = answer(driver_->setGain(actuatorsOn_ ? gain_ : 0));
    } else if (command == DISFFC_PAUSE || command == DISFFC_CONTINUE) {
        hr = DIERR_UNSUPPORTED;  // a driver has no way to freeze an effect's clock
    } else {
        hr = DIERR_INVALIDPARAM;
    }
    return note(Method::SendForceFeedbackCommand, kDeviceCall, command, hr);
}

HRESULT Device::EnumCreatedEffectObjects(LPDIENUMCREATEDEFFECTOBJECTSCALLBACK callback,
                                         LPVOID context, DWORD flags) {
    if (callback == nullptr || flags != 0) return DIERR_INVALIDPARAM;
    for (Effect* effect : effects_)
        if (callback(effect, context) == DIENUM_STOP) break;
    return DI_OK;
}

// What the program never needs.
HRESULT Device::GetDeviceData(DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD) {
    return note(Method::Unsupported, kDeviceCall, 0, DIERR_NOTBUFFERED);
}
HRESULT Device::SetEventNotification(HANDLE) {
    return note(Method::Unsupported, kDeviceCall, 0, DIERR_UNSUPPORTED);
}
HRESULT Device::RunControlPanel(HWND, DWORD) {
    return note(Method::Unsupported, kDeviceCall, 0, DIERR_UNSUPPORTED);
}
HRESULT Device::Initialize(HINSTANCE, DWORD, REFGUID) {
    return note(Method::Unsupported, kDeviceCall, 0, DIERR_ALREADYINITIALIZED);
}
HRESULT Device::Escape(LPDIEFFESCAPE) {
    return note(Method::Unsupported, kDeviceCall, 0, DIERR_UNSUPPORTED);
}
HRESULT Device::SendDeviceData(DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD) {
    return note(Method::Unsupported, kDeviceCall, 0, DIERR_UNSUPPORTED);
}
HRESULT Device::EnumEffectsInFile(LPCWSTR, LPDIENUMEFFECTSINFILECALLBACK, LPVOID, DWORD) {
    return note(Method::Unsupported, kDeviceCall, 0, DIERR_UNSUPPORTED);
}
HRESULT Device::WriteEffectToFile(LPCWSTR, DWORD, LPDIFILEEFFECT, DWORD) {
    return note(Method::Unsupported, kDeviceCall, 0, DIERR_UNSUPPORTED);
}
HRESULT Device::BuildActionMap(LPDIACTIONFORMATW, LPCWSTR, DWORD) {
    return note(Method::Unsupported, kDeviceCall, 0, DIERR_UNSUPPORTED);
}
HRESULT Device::SetActionMap(LPDIACTIONFORMATW, LPCWSTR, DWORD) {
    return note(Method::Unsupported, kDeviceCall, 0, DIERR_UNSUPPORTED);
}
HRESULT Device::GetImageInfo(LPDIDEVICEIMAGEINFOHEADERW) {
    return note(Method::Unsupported, kDeviceCall, 0, DIERR_UNSUPPORTED);
}

}  // namespace detail

IDirectInputDevice8W* createDevice(std::unique_ptr<Driver> driver, Journal* journal) {
    if (driver == nullptr) return nullptr;
    return new detail::Device(std::move(driver), journal);
}

void describeDevice(const DriverInfo& info, DIDEVICEINSTANCEW& instance) {
    instance = {};
    instance.dwSize = sizeof instance;
    instance.guidInstance = info.instanceGuid;
    instance.guidProduct = info.productGuid;
    instance.dwDevType = info.deviceType;
    std::copy(info.productName.begin(), info.productName.end() - 1, instance.tszProductName);
    std::copy(info.productName.begin(), info.productName.end() - 1, instance.tszInstanceName);
    if (info.effects != 0) instance.guidFFDriver = detail::kForceFeedbackDriver;
    instance.wUsagePage = 0x01;  // generic desktop
    instance.wUsage = 0x04;      // joystick
}

}  // namespace wheel
