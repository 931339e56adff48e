// How each effect becomes a force, in DirectInput's units (10000 is full scale):
//
//   constant force  level                                   DICONSTANTFORCE
//   periodic        offset + magnitude * wave(phase)        DIPERIODIC: phase is where playback
//                   sine 0 rising; square +1 then -1;       begins; the accumulator keeps the
//                   triangle like the sine; sawtooth up     wave continuous when the period
//                   -1 to +1, down +1 to -1                 changes (no jump, as on hardware)
//   conditions      -coefficient * (x - offset -+ band)     DICONDITION: the coefficient of the
//                   / 10000, within the saturation          side of lOffset x is on, nothing
//                   of that side                            within lDeadBand of it
//     spring        x = angle over the lock, +-10000        the axis position
//     damper        x = velocity, 10000 at one turn/s       DirectInput leaves the scale of
//     inertia       x = acceleration, 10000 at 400 rad/s²   velocity and acceleration to the
//     friction      x = 10000 * v / (|v| + 0.25 rad/s)      device; these keep every full-scale
//                                                           condition stable at 1 kHz
//   direction       a negative Cartesian X direction turns a force effect round; on one axis
//                   it has no other meaning (DIEFFECT, Effect Direction)
//   gain            force * effect gain * device gain, then clamped to full scale (DIEFFECT
//                   dwGain, DIPROP_FFGAIN)
//   duration        plays durationMicroseconds * iterations; INFINITE in either plays on
//
// The autocentering spring is the base's own, outside the device gain, as on real bases.
#include "virtual_wheel/playback.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace virtual_wheel {
namespace {

using wheel::DriverStatus;
using wheel::EffectKind;
using wheel::EffectParameters;

constexpr double kNominal = DI_FFNOMINALMAX;
constexpr std::uint64_t kStepMicroseconds = 1000;
constexpr double kLockRadians = kLockDegrees * std::numbers::pi / 180.0;
constexpr double kVelocityScale = 2.0 * std::numbers::pi;  // rad/s at 10000
constexpr double kAccelerationScale = 400.0;               // rad/s² at 10000
constexpr double kFrictionSmoothing = 0.25;                // rad/s
constexpr double kAutocenterStiffness = 3.0;               // N·m/rad
constexpr double kAutocenterDamping = 0.1;                 // N·m·s/rad
constexpr double kAutocenterStrength = 2.5;                // N·m

double signedUnits(std::int32_t value) {
    return std::clamp(static_cast<double>(value), -kNominal, kNominal);
}
double units(std::uint32_t value) {
    return std::min(static_cast<double>(value), kNominal);
}

bool isPeriodic(EffectKind kind) {
    return kind == EffectKind::Sine || kind == EffectKind::Square || kind == EffectKind::Triangle ||
           kind == EffectKind::SawtoothUp || kind == EffectKind::SawtoothDown;
}

double wave(EffectKind kind, double phase) {
    switch (kind) {
        case EffectKind::Sine:
            return std::sin(2.0 * std::numbers::pi * phase);
        case EffectKind::Square:
            return phase < 0.5 ? 1.0 : -1.0;
        case EffectKind::Triangle:
            if (phase < 0.25) return 4.0 * phase;
            if (phase < 0.75) return 2.0 - 4.0 * phase;
            return 4.0 * phase - 4.0;
        case EffectKind::SawtoothUp:
            return 2.0 * phase - 1.0;
        case EffectKind::SawtoothDown:
            return 1.0 - 2.0 * phase;
        default:
            return 0.0;
    }
}

double condition(double x, const EffectParameters& p) {
    const double from = std::clamp(x, -kNominal, kNominal) - signedUnits(p.centerOffset);
    const double band = std::clamp(static_cast<double>(p.deadBand), 0.0, kNominal);
    if (from > band) {
        const double limit = units(p.positiveSaturation);
        return std::clamp(-signedUnits(p.positiveCoefficient) * (from - band) / kNominal, -limit,
                          limit);
    }
    if (from < -band) {
        const double limit = units(p.negativeSaturation);
        return std::clamp(-signedUnits(p.negativeCoefficient) * (from + band) / kNominal, -limit,
                          limit);
    }
    return 0.0;
}

/// One effect's force in units, before the gains.
double force(const EffectParameters& p, double phase, const Rim& rim) {
    const double sense = p.direction < 0 ? -1.0 : 1.0;
    switch (p.kind) {
        case EffectKind::ConstantForce:
            return sense * signedUnits(p.level);
        case EffectKind::Sine:
        case EffectKind::Square:
        case EffectKind::Triangle:
        case EffectKind::SawtoothUp:
        case EffectKind::SawtoothDown: {
            const double level = signedUnits(p.offset) + units(p.magnitude) * wave(p.kind, phase);
            return sense * std::clamp(level, -kNominal, kNominal);
        }
        case EffectKind::Spring:
            return condition(rim.angle / kLockRadians * kNominal, p);
        case EffectKind::Damper:
            return condition(rim.velocity / kVelocityScale * kNominal, p);
        case EffectKind::Inertia:
            return condition(rim.acceleration / kAccelerationScale * kNominal, p);
        case EffectKind::Friction: {
            const double v = rim.velocity;
            return condition(kNominal * v / (std::abs(v) + kFrictionSmoothing), p);
        }
    }
    return 0.0;
}

double autocentering(const Rim& rim) {
    const double pull = -kAutocenterStiffness * rim.angle - kAutocenterDamping * rim.velocity;
    return std::clamp(pull, -kAutocenterStrength, kAutocenterStrength);
}

double startPhase(const EffectParameters& p) {
    return static_cast<double>(p.phaseHundredthsOfDegree % 36000) / 36000.0;
}

bool finished(std::uint64_t elapsed, std::uint32_t duration, std::uint32_t iterations) {
    if (iterations == 0) return true;
    if (duration == INFINITE || iterations == INFINITE) return false;
    return duration == 0 || elapsed / duration >= iterations;
}

}  // namespace

Playback::Slot* Playback::find(int owner, wheel::EffectHandle handle) {
    for (Slot& slot : slots_)
        if (slot.used && slot.owner == owner && slot.handle == handle) return &slot;
    return nullptr;
}

DriverStatus Playback::download(int owner, const EffectParameters& parameters,
                                wheel::EffectHandle& handle) {
    if (static_cast<int>(parameters.kind) >= wheel::kEffectKindCount)
        return DriverStatus::Unsupported;
    if (handle != wheel::kNoHandle) {
        Slot* slot = find(owner, handle);
        if (slot == nullptr) return DriverStatus::Failed;
        slot->parameters = parameters;
        return DriverStatus::Ok;
    }
    auto free = std::find_if(slots_.begin(), slots_.end(), [](const Slot& s) { return !s.used; });
    if (free == slots_.end()) return DriverStatus::NoRoom;
    // Handles are never reused soon, so a stale one from before a reboot names nothing.
    do {
        nextHandle_ =
            nextHandle_ == std::numeric_limits<wheel::EffectHandle>::max() ? 0 : nextHandle_ + 1;
    } while (std::any_of(slots_.begin(), slots_.end(),
                         [&](const Slot& s) { return s.used && s.handle == nextHandle_; }));
    *free = Slot{.used = true, .owner = owner, .handle = nextHandle_, .parameters = parameters};
    handle = nextHandle_;
    return DriverStatus::Ok;
}

DriverStatus Playback::start(int owner, wheel::EffectHandle handle, std::uint32_t iterations) {
    Slot* slot = find(owner, handle);
    if (slot == nullptr) return DriverStatus::Failed;
    slot->playing = true;
    slot->iterations = iterations;
    slot->elapsedMicroseconds = 0;
    slot->phase = startPhase(slot->parameters);
    return DriverStatus::Ok;
}

DriverStatus Playback::stop(int owner, wheel::EffectHandle handle) {
    Slot* slot = find(owner, handle);
    if (slot == nullptr) return DriverStatus::Failed;
    slot->playing = false;
    return DriverStatus::Ok;
}

void Playback::unload(int owner, wheel::EffectHandle handle) {
    if (Slot* slot = find(owner, handle)) *slot = Slot{};
}

void Playback::stopAll(int owner) {
    for (Slot& slot : slots_)
        if (slot.owner == owner) slot.playing = false;
}

void Playback::unloadAll(int owner) {
    for (Slot& slot : slots_)
        if (slot.owner == owner) slot = Slot{};
}

void Playback::forgetAll() {
    slots_.fill(Slot{});
}

void Playback::advance(Slot& slot, std::uint64_t microseconds) {
    const std::uint64_t room = std::numeric_limits<std::uint64_t>::max() - slot.elapsedMicroseconds;
    slot.elapsedMicroseconds += std::min(microseconds, room);
    const std::uint32_t period = slot.parameters.periodMicroseconds;
    if (!isPeriodic(slot.parameters.kind) || period == 0) return;
    slot.phase = std::fmod(slot.phase + static_cast<double>(microseconds) / period, 1.0);
}

double Playback::step(const Rim& rim) {
    double sum = 0.0;
    for (Slot& slot : slots_) {
        if (!slot.used || !slot.playing) continue;
        const EffectParameters& p = slot.parameters;
        if (finished(slot.elapsedMicroseconds, p.durationMicroseconds, slot.iterations)) {
            slot.playing = false;
            continue;
        }
        sum += force(p, slot.phase, rim) * units(p.gain) / kNominal;
        advance(slot, kStepMicroseconds);
    }
    double torque = sum * units(gain_) / kNominal * kFullScaleNewtonMetres / kNominal;
    if (autocenter_) torque += autocentering(rim);
    if (!std::isfinite(torque)) return 0.0;
    return std::clamp(torque, -kFullScaleNewtonMetres, kFullScaleNewtonMetres);
}

void Playback::skip(std::uint64_t microseconds) {
    for (Slot& slot : slots_)
        if (slot.used && slot.playing) advance(slot, microseconds);
}

}  // namespace virtual_wheel
