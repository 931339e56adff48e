#include "ffb/effect_set.h"

#include <cmath>
#include <ostream>

namespace torvane {
namespace {

constexpr double kUnitsPerFullScale = 10000.0;
constexpr double kMicrosecondsPerSecond = 1000000.0;
constexpr double kLowestFrequency = 1.0;     // Hz
constexpr double kHighestFrequency = 180.0;  // Hz
// 25 ms: a 40 Hz wave, played at zero magnitude until the first update.
constexpr DWORD kInitialPeriod = 25000;

// The five, in EffectIndex order: what DirectInput calls each, and its name on the creation line.
struct Slot {
    const GUID& type;
    const char* name;
};
const Slot kSlots[kEffectCount] = {{GUID_ConstantForce, "constant"},
                                   {GUID_Sine, "engine sine"},
                                   {GUID_Sine, "road sine"},
                                   {GUID_Square, "curb square"},
                                   {GUID_Damper, "damper"}};
// Where the monitor and the trace find each effect's last values.
constexpr SentEffect SentEffects::*kSentField[kEffectCount] = {
    &SentEffects::constantForce, &SentEffects::engineSine, &SentEffects::roadSine,
    &SentEffects::curbSquare, &SentEffects::damper};

// The type-specific parameters of one effect: a constant force, a wave or a condition.
union Record {
    DICONSTANTFORCE constant;
    DIPERIODIC periodic;
    DICONDITION condition;
};

// The record of effect index with magnitude (DirectInput units) and period; its size in bytes.
DWORD fillRecord(unsigned index, LONG magnitude, DWORD period, Record& record) {
    record = {};
    if (index == kConstantForce) {
        record.constant.lMagnitude = magnitude;
        return sizeof record.constant;
    }
    if (index == kDamper) {
        record.condition.lPositiveCoefficient = magnitude;
        record.condition.lNegativeCoefficient = magnitude;
        record.condition.dwPositiveSaturation = DI_FFNOMINALMAX;
        record.condition.dwNegativeSaturation = DI_FFNOMINALMAX;
        return sizeof record.condition;
    }
    record.periodic.dwMagnitude = static_cast<DWORD>(magnitude);
    record.periodic.dwPeriod = period;
    return sizeof record.periodic;
}

// hi above, lo below, v in between; a NaN counts as 0.
double limit(double v, double lo, double hi) {
    if (std::isnan(v)) v = 0.0;
    return v > hi ? hi : (v < lo ? lo : v);
}

// A fraction of full scale, limited to lo..hi (within -1..1), in DirectInput units, truncated
// toward zero. The limit keeps the product inside LONG, so the conversion is always defined.
LONG toUnits(double fraction, double lo, double hi) {
    return static_cast<LONG>(limit(fraction, lo, hi) * kUnitsPerFullScale);
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

// The description handed to DirectInput for every effect: full-scale gain, infinite duration, no
// trigger, no envelope, one axis at axisOffset pointing along direction, and record (recordSize
// bytes) as the type-specific parameters.
DIEFFECT describe(DWORD& axisOffset, LONG& direction, DWORD recordSize, Record& record) {
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
    description.rgdwAxes = &axisOffset;
    description.rglDirection = &direction;
    description.lpEnvelope = nullptr;
    description.cbTypeSpecificParams = recordSize;
    description.lpvTypeSpecificParams = &record;
    description.dwStartDelay = 0;
    return description;
}

}  // namespace

EffectSet::EffectSet(IDirectInputDevice8W* device, std::ostream& err)
    : device_(device), err_(err) {}

EffectSet::~EffectSet() {
    stop();
    for (unsigned i = kEffectCount; i-- > 0;) {  // reverse order of creation
        if (effects_[i] != nullptr) effects_[i]->Release();
        effects_[i] = nullptr;
    }
}

void EffectSet::create(std::ostream& out) {
    out << "FFB effects: ";
    for (unsigned i = 0; i < kEffectCount; ++i) {
        Record record;
        const DWORD size = fillRecord(i, 0, kInitialPeriod, record);
        const DIEFFECT description = describe(axisOffset_, direction_, size, record);
        // A driver that fails must not leave anything behind: every operation of the set treats
        // a present effect as a live one.
        if (FAILED(device_->CreateEffect(kSlots[i].type, &description, &effects_[i], nullptr)))
            effects_[i] = nullptr;
        out << (i == 0 ? "" : ", ") << kSlots[i].name << '=' << digit(effects_[i] != nullptr);
    }
    out << '\n';
}

void EffectSet::apply(const ForceTargets& targets, double smoothMs, std::int64_t nowNs) {
    now_ = nowNs;
    start();
    for (unsigned i = 0; i < kEffectCount; ++i) {
        const EffectTarget& target = targets[i];
        SentEffect& sent = sent_.*kSentField[i];
        const bool wave = i != kConstantForce && i != kDamper;
        sent = {0, 0, target.clipped, effects_[i] != nullptr, false};
        if (i == kConstantForce) {
            // The minimum applied to the target, before the smoothing: a force that falls to 0
            // then fades out instead of lingering at the minimum.
            sent.magnitude = toUnits(smoothing_.step(target.magnitude, nowNs, smoothMs), -1.0, 1.0);
        } else if (!wave || sent.sent) {  // an absent wave shows nothing
            sent.magnitude = toUnits(target.magnitude, 0.0, 1.0);
        }
        if (wave && sent.sent)
            sent.periodMicroseconds =
                static_cast<DWORD>(kMicrosecondsPerSecond /
                                   limit(target.frequency, kLowestFrequency, kHighestFrequency));
        if (sent.sent) sent.sentNow = update(i, sent.magnitude, sent.periodMicroseconds);
    }
    sent_.started = started_;
    reportPlaying();
}

void EffectSet::start() {
    bool starting = false;
    bool failed = false;
    for (unsigned i = 0; i < kEffectCount; ++i) {
        const unsigned bit = 1u << i;
        if (effects_[i] == nullptr || (startHeld_ & bit) != 0) continue;
        starting = true;
        // An effect that is already playing is left alone: starting it again would restart it.
        const HRESULT result = effects_[i]->Start(1, 0);
        if (SUCCEEDED(result)) {
            startHeld_ |= bit;
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

bool EffectSet::update(unsigned index, LONG magnitude, DWORD period) {
    AcceptedParameters& last = accepted_[index];
    if (changesOnly_ && !shouldSend(last, magnitude, period, now_)) return false;
    Record record;
    const DWORD size = fillRecord(index, magnitude, period, record);
    const DIEFFECT description = describe(axisOffset_, direction_, size, record);
    if (noteResult(effects_[index]->SetParameters(&description, DIEP_TYPESPECIFICPARAMS))) {
        last = {true, magnitude, period, now_};
    } else {
        forgetAccepted();  // a refused call: the next apply sends everything again
    }
    return true;
}

void EffectSet::reportPlaying() {
    if (!startFailing_) return;
    unsigned present = 0;
    for (unsigned i = 0; i < kEffectCount; ++i)
        if (effects_[i] != nullptr) present |= 1u << i;
    if ((startHeld_ & present) != present) return;
    err_ << "Force-feedback effects are playing again.\n";
    startFailing_ = false;
}

bool EffectSet::stop() {
    if (!started_) return false;
    for (IDirectInputEffect* effect : effects_)
        if (effect != nullptr) effect->Stop();
    device_->SendForceFeedbackCommand(DISFFC_STOPALL);
    started_ = false;
    sent_.started = false;
    startHeld_ = 0;
    smoothing_.reset();
    return true;
}

}  // namespace torvane
