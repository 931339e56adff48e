#include "ffb/effect_set.h"

#include <iterator>
#include <ostream>

namespace torvane {
namespace {

// 25 ms: a 40 Hz wave, played at zero magnitude until the first update.
constexpr DWORD kInitialPeriod = 25000;

// A driver that fails must not leave anything behind in the field: every operation of the set
// treats a non-empty field as a live effect.
bool createInto(IDirectInputDevice8W* device, REFGUID type, const DIEFFECT& description,
                IDirectInputEffect*& field) {
    if (SUCCEEDED(device->CreateEffect(type, &description, &field, nullptr))) return true;
    field = nullptr;
    return false;
}

char digit(bool created) {
    return created ? '1' : '0';
}

// What DirectInput answers for an effect whose device is no longer acquired, exclusively: by
// then it has stopped and unloaded every effect of the device. DI_DOWNLOADSKIPPED is a success
// code: SetParameters kept the values but could not download them. (Some SDK headers spell
// DIERR_NOTEXCLUSIVEACQUIRED as an unsigned constant, hence the cast.)
bool deviceDroppedEffects(HRESULT result) {
    return result == DIERR_INPUTLOST || result == DIERR_NOTACQUIRED ||
           result == static_cast<HRESULT>(DIERR_NOTEXCLUSIVEACQUIRED) ||
           result == DI_DOWNLOADSKIPPED;
}

}  // namespace

EffectSet::EffectSet(IDirectInputDevice8W* device, std::ostream& err)
    : device_(device), err_(err) {}

EffectSet::~EffectSet() {
    stop();
    // Reverse order of creation.
    for (IDirectInputEffect** field :
         {&damper_, &curbSquare_, &roadSine_, &engineSine_, &constantForce_}) {
        if (*field != nullptr) (*field)->Release();
        *field = nullptr;
    }
}

DIEFFECT EffectSet::describe(DWORD recordSize, LPVOID record) {
    DIEFFECT description{};
    description.dwSize = sizeof(DIEFFECT);
    description.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS;
    description.dwDuration = INFINITE;
    description.dwSamplePeriod = 0;  // the device's own
    // The whole strength lives in the type-specific magnitudes.
    description.dwGain = DI_FFNOMINALMAX;
    description.dwTriggerButton = DIEB_NOTRIGGER;
    description.dwTriggerRepeatInterval = 0;
    description.cAxes = 1;
    description.rgdwAxes = &axisOffset_;
    description.rglDirection = &direction_;
    description.lpEnvelope = nullptr;
    description.cbTypeSpecificParams = recordSize;
    description.lpvTypeSpecificParams = record;
    description.dwStartDelay = 0;
    return description;
}

void EffectSet::create(std::ostream& out) {
    out << "FFB effects: constant=";
    DICONSTANTFORCE force{};
    const DIEFFECT forceDescription = describe(sizeof force, &force);
    out << digit(createInto(device_, GUID_ConstantForce, forceDescription, constantForce_));

    out << ", engine sine=" << digit(createPeriodic(GUID_Sine, engineSine_));
    out << ", road sine=" << digit(createPeriodic(GUID_Sine, roadSine_));
    out << ", curb square=" << digit(createPeriodic(GUID_Square, curbSquare_));

    out << ", damper=";
    DICONDITION condition{};
    condition.dwPositiveSaturation = DI_FFNOMINALMAX;
    condition.dwNegativeSaturation = DI_FFNOMINALMAX;
    const DIEFFECT conditionDescription = describe(sizeof condition, &condition);
    out << digit(createInto(device_, GUID_Damper, conditionDescription, damper_)) << '\n';
}

bool EffectSet::createPeriodic(REFGUID type, IDirectInputEffect*& field) {
    DIPERIODIC periodic{};
    periodic.dwPeriod = kInitialPeriod;
    const DIEFFECT description = describe(sizeof periodic, &periodic);
    return createInto(device_, type, description, field);
}

void EffectSet::start() {
    IDirectInputEffect* const effects[] = {constantForce_, engineSine_, roadSine_, curbSquare_,
                                           damper_};
    bool starting = false;
    bool failed = false;
    for (unsigned i = 0; i < std::size(effects); ++i) {
        const unsigned bit = 1u << i;
        if (effects[i] == nullptr || (playing_ & bit) != 0) continue;
        starting = true;
        // An effect that is already playing is left alone: starting it again would restart it.
        const HRESULT result = effects[i]->Start(1, 0);
        if (SUCCEEDED(result)) {
            playing_ |= bit;
        } else {
            failed = true;  // tried again on the next apply, not before
        }
        noteResult(result);
    }
    // A start may follow a stop, a loss or a failure: what the wheel holds is unknown, so every
    // effect gets its parameters again in this apply.
    if (starting) forgetAccepted();
    started_ = true;
    if (failed && !startFailing_) {
        err_ << "Could not start the force-feedback effects; retrying.\n";
        startFailing_ = true;
    }
}

bool EffectSet::noteResult(HRESULT result) {
    if (deviceDroppedEffects(result)) {
        markUnloaded();
        return false;
    }
    return SUCCEEDED(result);
}

bool EffectSet::update(unsigned index, IDirectInputEffect* effect, DWORD recordSize, LPVOID record,
                       LONG magnitude, DWORD period) {
    AcceptedParameters& last = accepted_[index];
    if (changesOnly_ && !shouldSend(last, magnitude, period, now_)) return false;
    const DIEFFECT description = describe(recordSize, record);
    if (noteResult(effect->SetParameters(&description, DIEP_TYPESPECIFICPARAMS))) {
        last = {true, magnitude, period, now_};
    } else {
        forgetAccepted();  // a refused call: the next apply sends everything again
    }
    return true;
}

void EffectSet::reportPlaying() {
    if (!startFailing_) return;
    unsigned present = 0;
    unsigned bit = 1;
    for (IDirectInputEffect* effect :
         {constantForce_, engineSine_, roadSine_, curbSquare_, damper_}) {
        if (effect != nullptr) present |= bit;
        bit <<= 1;
    }
    if ((playing_ & present) != present) return;
    err_ << "Force-feedback effects are playing again.\n";
    startFailing_ = false;
}

bool EffectSet::stop() {
    if (!started_) return false;
    for (IDirectInputEffect* effect :
         {constantForce_, engineSine_, roadSine_, curbSquare_, damper_}) {
        if (effect != nullptr) effect->Stop();
    }
    device_->SendForceFeedbackCommand(DISFFC_STOPALL);
    started_ = false;
    sent_.playing = false;
    playing_ = 0;
    smoothing_.reset();
    return true;
}

}  // namespace torvane
