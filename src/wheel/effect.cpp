// The effect objects of wheel/device: parameter validation, download, playback, release.
#include <cstdlib>

#include "wheel/device_impl.h"

namespace wheel::detail {
namespace {

struct KindInfo {
    const GUID* guid;
    const char* name;
    DWORD type;
};

constexpr DWORD kConditionType = DIEFT_CONDITION | DIEFT_SATURATION | DIEFT_POSNEGCOEFFICIENTS |
                                 DIEFT_POSNEGSATURATION | DIEFT_DEADBAND;
const KindInfo kKinds[kEffectKindCount] = {
    {&GUID_ConstantForce, "Constant Force", DIEFT_CONSTANTFORCE},
    {&GUID_Sine, "Sine Wave", DIEFT_PERIODIC},
    {&GUID_Square, "Square Wave", DIEFT_PERIODIC},
    {&GUID_Triangle, "Triangle Wave", DIEFT_PERIODIC},
    {&GUID_SawtoothUp, "Sawtooth Up Wave", DIEFT_PERIODIC},
    {&GUID_SawtoothDown, "Sawtooth Down Wave", DIEFT_PERIODIC},
    {&GUID_Spring, "Spring", kConditionType},
    {&GUID_Damper, "Damper", kConditionType},
    {&GUID_Inertia, "Inertia", kConditionType},
    {&GUID_Friction, "Friction", kConditionType},
};

// Parts the device honours; envelopes, triggers and start delays it refuses (DIERR_UNSUPPORTED)
// unless they ask for nothing.
constexpr DWORD kParts = DIEP_DURATION | DIEP_SAMPLEPERIOD | DIEP_GAIN | DIEP_TRIGGERBUTTON |
                         DIEP_TRIGGERREPEATINTERVAL | DIEP_AXES | DIEP_DIRECTION |
                         DIEP_TYPESPECIFICPARAMS | DIEP_STARTDELAY;

const KindInfo& kindInfo(EffectKind kind) {
    return kKinds[static_cast<int>(kind)];
}

DWORD typeOf(EffectKind kind) {
    return DIEFT_GETTYPE(kindInfo(kind).type);
}

DWORD typeSpecificSize(EffectKind kind) {
    switch (typeOf(kind)) {
        case DIEFT_CONSTANTFORCE:
            return sizeof(DICONSTANTFORCE);
        case DIEFT_PERIODIC:
            return sizeof(DIPERIODIC);
        default:
            return sizeof(DICONDITION);
    }
}

bool within(long value, long low, long high) {
    return value >= low && value <= high;
}

// Reads the type-specific record into parameters; DIERR_INVALIDPARAM for a size or value out of
// DirectInput's ranges.
HRESULT readTypeSpecific(const DIEFFECT& in, EffectParameters& p) {
    if (in.lpvTypeSpecificParams == nullptr || in.cbTypeSpecificParams != typeSpecificSize(p.kind))
        return DIERR_INVALIDPARAM;
    constexpr long kMax = DI_FFNOMINALMAX;
    switch (typeOf(p.kind)) {
        case DIEFT_CONSTANTFORCE: {
            const auto& c = *static_cast<const DICONSTANTFORCE*>(in.lpvTypeSpecificParams);
            if (!within(c.lMagnitude, -kMax, kMax)) return DIERR_INVALIDPARAM;
            p.level = c.lMagnitude;
            return DI_OK;
        }
        case DIEFT_PERIODIC: {
            const auto& w = *static_cast<const DIPERIODIC*>(in.lpvTypeSpecificParams);
            if (w.dwMagnitude > DI_FFNOMINALMAX || !within(w.lOffset, -kMax, kMax) ||
                w.dwPhase >= 36000 || w.dwPeriod == 0)
                return DIERR_INVALIDPARAM;
            p.magnitude = w.dwMagnitude;
            p.offset = w.lOffset;
            p.phaseHundredthsOfDegree = w.dwPhase;
            p.periodMicroseconds = w.dwPeriod;
            return DI_OK;
        }
        default: {
            const auto& c = *static_cast<const DICONDITION*>(in.lpvTypeSpecificParams);
            if (!within(c.lOffset, -kMax, kMax) || !within(c.lPositiveCoefficient, -kMax, kMax) ||
                !within(c.lNegativeCoefficient, -kMax, kMax) ||
                c.dwPositiveSaturation > DI_FFNOMINALMAX ||
                c.dwNegativeSaturation > DI_FFNOMINALMAX || !within(c.lDeadBand, 0, kMax))
                return DIERR_INVALIDPARAM;
            p.centerOffset = c.lOffset;
            p.positiveCoefficient = c.lPositiveCoefficient;
            p.negativeCoefficient = c.lNegativeCoefficient;
            p.positiveSaturation = c.dwPositiveSaturation;
            p.negativeSaturation = c.dwNegativeSaturation;
            p.deadBand = c.lDeadBand;
            return DI_OK;
        }
    }
}

// The flagged parts of in, checked, into p. Only the X axis exists for forces.
HRESULT readParameters(const DIEFFECT& in, DWORD flags, DWORD actuatorId, EffectParameters& p) {
    if ((flags & DIEP_GAIN) && in.dwGain > DI_FFNOMINALMAX) return DIERR_INVALIDPARAM;
    if ((flags & (DIEP_AXES | DIEP_DIRECTION)) && in.cAxes != 1) return DIERR_INVALIDPARAM;
    if (flags & DIEP_AXES) {
        const DWORD objects = in.dwFlags & (DIEFF_OBJECTIDS | DIEFF_OBJECTOFFSETS);
        if (in.rgdwAxes == nullptr) return DIERR_INVALIDPARAM;
        const DWORD axis = in.rgdwAxes[0];
        const bool isX = objects == DIEFF_OBJECTOFFSETS
                             ? axis == static_cast<DWORD>(DIJOFS_X)
                             : objects == DIEFF_OBJECTIDS &&
                                   DIDFT_GETINSTANCE(axis) == DIDFT_GETINSTANCE(actuatorId) &&
                                   (DIDFT_GETTYPE(axis) & DIDFT_AXIS) != 0;
        if (!isX) return DIERR_INVALIDPARAM;
    }
    if (flags & DIEP_DIRECTION) {
        // One axis: only a Cartesian direction says anything (a polar one needs two).
        const DWORD system = in.dwFlags & (DIEFF_CARTESIAN | DIEFF_POLAR | DIEFF_SPHERICAL);
        if (in.rglDirection == nullptr || system != DIEFF_CARTESIAN) return DIERR_INVALIDPARAM;
        p.direction = in.rglDirection[0];
    }
    if ((flags & DIEP_ENVELOPE) && in.lpEnvelope != nullptr) return DIERR_UNSUPPORTED;
    if ((flags & DIEP_TRIGGERBUTTON) && in.dwTriggerButton != DIEB_NOTRIGGER)
        return DIERR_UNSUPPORTED;
    if ((flags & DIEP_STARTDELAY) && in.dwStartDelay != 0) return DIERR_UNSUPPORTED;
    if (flags & DIEP_TYPESPECIFICPARAMS) {
        const HRESULT hr = readTypeSpecific(in, p);
        if (FAILED(hr)) return hr;
    }
    if (flags & DIEP_DURATION) p.durationMicroseconds = in.dwDuration;
    if (flags & DIEP_GAIN) p.gain = in.dwGain;
    return DI_OK;
}

// The part of a GetParameters request that needs one axis of room.
HRESULT roomForOneAxis(DIEFFECT& out) {
    if (out.cAxes < 1) {
        out.cAxes = 1;
        return DIERR_MOREDATA;
    }
    out.cAxes = 1;
    return DI_OK;
}

}  // namespace

const GUID& effectGuid(EffectKind kind) {
    return *kindInfo(kind).guid;
}

bool effectKindOf(REFGUID guid, EffectKind& kind) {
    for (int k = 0; k < kEffectKindCount; ++k) {
        if (*kKinds[k].guid == guid) {
            kind = static_cast<EffectKind>(k);
            return true;
        }
    }
    return false;
}

void describeEffect(EffectKind kind, DIEFFECTINFOW& info) {
    const KindInfo& k = kindInfo(kind);
    info = {};
    info.dwSize = sizeof info;
    info.guid = *k.guid;
    info.dwEffType = k.type;
    info.dwStaticParams = kParts;
    info.dwDynamicParams = kParts;
    std::size_t i = 0;
    for (; k.name[i] != 0; ++i) info.tszName[i] = static_cast<WCHAR>(k.name[i]);
    info.tszName[i] = 0;
}

Effect::Effect(Device& device, EffectKind kind)
    : ComObject(IID_IDirectInputEffect), device_(device) {
    parameters_.kind = kind;
    device_.AddRef();
}

Effect::~Effect() {
    device_.forget(this);
}

void Effect::lastReleased() {
    if (downloaded()) {
        device_.driver().stop(handle_);
        device_.driver().unload(handle_);
        dropped();
    }
    if (number_ != kDeviceCall) device_.note(Method::ReleaseEffect, number_, 0, DI_OK);
    Device& device = device_;
    delete this;
    device.Release();
}

HRESULT Effect::apply(LPCDIEFFECT in, DWORD flags) {
    constexpr DWORD kKnown = DIEP_ALLPARAMS | DIEP_START | DIEP_NORESTART | DIEP_NODOWNLOAD;
    if (in == nullptr || in->dwSize != sizeof(DIEFFECT) || (flags & ~kKnown) != 0 ||
        ((flags & DIEP_START) && (flags & DIEP_NODOWNLOAD)))
        return DIERR_INVALIDPARAM;
    EffectParameters updated = parameters_;
    const HRESULT hr = readParameters(*in, flags, device_.actuatorId(), updated);
    if (FAILED(hr)) return hr;
    parameters_ = updated;
    partsSet_ |= flags & DIEP_ALLPARAMS;
    changed_ = true;
    if (flags & DIEP_NODOWNLOAD) return DI_DOWNLOADSKIPPED;
    if (!device_.exclusivelyAcquired())
        return (flags & DIEP_START) ? DIERR_NOTEXCLUSIVEACQUIRED : DI_DOWNLOADSKIPPED;
    if (flags & DIEP_START) return start(1, 0);
    return download();
}

HRESULT Effect::SetParameters(LPCDIEFFECT in, DWORD flags) {
    const HRESULT hr = apply(in, flags);
    const bool stored = hr != DIERR_INVALIDPARAM && hr != DIERR_UNSUPPORTED;
    return device_.note(Method::SetParameters, number_, flags, hr, stored ? &parameters_ : nullptr);
}

HRESULT Effect::download() {
    if (!device_.exclusivelyAcquired()) return DIERR_NOTEXCLUSIVEACQUIRED;
    if ((partsSet_ & (DIEP_AXES | DIEP_TYPESPECIFICPARAMS)) !=
        (DIEP_AXES | DIEP_TYPESPECIFICPARAMS))
        return DIERR_INCOMPLETEEFFECT;
    if (downloaded() && !changed_) return S_FALSE;
    EffectHandle handle = handle_;
    const HRESULT hr = device_.answer(device_.driver().download(parameters_, handle));
    if (FAILED(hr)) return hr;
    handle_ = handle;
    changed_ = false;
    return DI_OK;
}

HRESULT Effect::Download() {
    return device_.note(Method::Download, number_, 0, download());
}

HRESULT Effect::start(DWORD iterations, DWORD flags) {
    if ((flags & ~(DIES_SOLO | DIES_NODOWNLOAD)) != 0) return DIERR_INVALIDPARAM;
    if (!device_.exclusivelyAcquired()) return DIERR_NOTEXCLUSIVEACQUIRED;
    if (flags & DIES_NODOWNLOAD) {
        if (!downloaded()) return DIERR_NOTDOWNLOADED;
    } else {
        const HRESULT hr = download();
        if (FAILED(hr)) return hr;
    }
    if (flags & DIES_SOLO) {
        const HRESULT hr = device_.stopOthers(this);
        if (FAILED(hr)) return hr;
    }
    const HRESULT hr = device_.answer(device_.driver().start(handle_, iterations));
    if (SUCCEEDED(hr)) playing_ = true;
    return hr;
}

HRESULT Effect::Start(DWORD iterations, DWORD flags) {
    return device_.note(Method::Start, number_, flags, start(iterations, flags));
}

HRESULT Effect::Stop() {
    HRESULT hr = DI_OK;
    if (!device_.exclusivelyAcquired()) {
        hr = DIERR_NOTEXCLUSIVEACQUIRED;
    } else if (downloaded()) {
        hr = device_.answer(device_.driver().stop(handle_));
        if (SUCCEEDED(hr)) playing_ = false;
    }
    return device_.note(Method::Stop, number_, 0, hr);
}

HRESULT Effect::unload() {
    if (!downloaded()) return DI_OK;
    HRESULT hr = device_.answer(device_.driver().stop(handle_));
    if (SUCCEEDED(hr)) hr = device_.answer(device_.driver().unload(handle_));
    if (SUCCEEDED(hr)) {
        dropped();
        changed_ = true;
    }
    return hr;
}

HRESULT Effect::Unload() {
    return device_.note(Method::Unload, number_, 0, unload());
}

HRESULT Effect::GetEffectStatus(LPDWORD status) {
    HRESULT hr = DI_OK;
    if (status == nullptr)
        hr = DIERR_INVALIDPARAM;
    else if (!device_.exclusivelyAcquired())
        hr = DIERR_NOTEXCLUSIVEACQUIRED;
    else
        *status = playing_ ? DIEGES_PLAYING : 0;
    return device_.note(Method::GetEffectStatus, number_, 0, hr);
}

HRESULT Effect::GetEffectGuid(LPGUID guid) {
    if (guid == nullptr) return device_.note(Method::GetEffectGuid, number_, 0, DIERR_INVALIDPARAM);
    *guid = effectGuid(parameters_.kind);
    return device_.note(Method::GetEffectGuid, number_, 0, DI_OK);
}

HRESULT Effect::GetParameters(LPDIEFFECT out, DWORD flags) {
    if (out == nullptr || out->dwSize != sizeof(DIEFFECT) || (flags & ~DIEP_ALLPARAMS) != 0)
        return device_.note(Method::GetParameters, number_, flags, DIERR_INVALIDPARAM);
    HRESULT hr = DI_OK;
    const EffectParameters& p = parameters_;
    if (flags & DIEP_DURATION) out->dwDuration = p.durationMicroseconds;
    if (flags & DIEP_SAMPLEPERIOD) out->dwSamplePeriod = 0;
    if (flags & DIEP_GAIN) out->dwGain = p.gain;
    if (flags & DIEP_TRIGGERBUTTON) out->dwTriggerButton = DIEB_NOTRIGGER;
    if (flags & DIEP_TRIGGERREPEATINTERVAL) out->dwTriggerRepeatInterval = 0;
    if (flags & DIEP_STARTDELAY) out->dwStartDelay = 0;
    if (flags & DIEP_ENVELOPE) out->lpEnvelope = nullptr;
    if (flags & DIEP_AXES) {
        const DWORD objects = out->dwFlags & (DIEFF_OBJECTIDS | DIEFF_OBJECTOFFSETS);
        if (objects != DIEFF_OBJECTIDS && objects != DIEFF_OBJECTOFFSETS) {
            hr = DIERR_INVALIDPARAM;
        } else if (roomForOneAxis(*out) != DI_OK || out->rgdwAxes == nullptr) {
            hr = DIERR_MOREDATA;
        } else {
            out->rgdwAxes[0] =
                objects == DIEFF_OBJECTIDS ? device_.actuatorId() : static_cast<DWORD>(DIJOFS_X);
        }
    }
    if ((flags & DIEP_DIRECTION) && SUCCEEDED(hr)) {
        if ((out->dwFlags & (DIEFF_CARTESIAN | DIEFF_POLAR | DIEFF_SPHERICAL)) != DIEFF_CARTESIAN)
            hr = DIERR_INVALIDPARAM;
        else if (roomForOneAxis(*out) != DI_OK || out->rglDirection == nullptr)
            hr = DIERR_MOREDATA;
        else
            out->rglDirection[0] = p.direction;
    }
    if ((flags & DIEP_TYPESPECIFICPARAMS) && SUCCEEDED(hr)) {
        const DWORD size = typeSpecificSize(p.kind);
        if (out->cbTypeSpecificParams < size || out->lpvTypeSpecificParams == nullptr) {
            out->cbTypeSpecificParams = size;
            hr = DIERR_MOREDATA;
        } else {
            out->cbTypeSpecificParams = size;
            void* record = out->lpvTypeSpecificParams;
            if (typeOf(p.kind) == DIEFT_CONSTANTFORCE)
                *static_cast<DICONSTANTFORCE*>(record) = {p.level};
            else if (typeOf(p.kind) == DIEFT_PERIODIC)
                *static_cast<DIPERIODIC*>(record) = {
                    p.magnitude, p.offset, p.phaseHundredthsOfDegree, p.periodMicroseconds};
            else
                *static_cast<DICONDITION*>(record) = {p.centerOffset,        p.positiveCoefficient,
                                                      p.negativeCoefficient, p.positiveSaturation,
                                                      p.negativeSaturation,  p.deadBand};
        }
    }
    return device_.note(Method::GetParameters, number_, flags, hr);
}

HRESULT Effect::Initialize(HINSTANCE, DWORD, REFGUID) {
    return device_.note(Method::Unsupported, number_, 0, DIERR_ALREADYINITIALIZED);
}

HRESULT Effect::Escape(LPDIEFFESCAPE) {
    return device_.note(Method::Unsupported, number_, 0, DIERR_UNSUPPORTED);
}

}  // namespace wheel::detail
