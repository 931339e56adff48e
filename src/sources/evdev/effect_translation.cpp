// DirectInput units -> evdev force feedback. The rules, and where each comes from:
//
//   DirectInput                       kernel (linux/input.h)          why
//   constant force                    FF_CONSTANT, level              ff.rst
//   sine/square/triangle/saw up/down  FF_PERIODIC + FF_SINE...        ff.rst: waveform per effect
//   spring/damper/inertia/friction    FF_SPRING... condition[0] (X)   a wheel has one actuator
//   level, magnitude, offset x gain   -0x7FFF..0x7FFF (s16)           full scale both sides
//   coefficients, centre offset       -0x7FFF..0x7FFF                 right_coeff is positive X
//   saturations x gain, dead band     0..0xFFFF (u16)                 full scale, unsigned
//   period us                         ms, rounded, >= 1               ff_periodic_effect.period
//   phase 1/100 degree                fraction of a cycle, 0..0xFFFF  hid-pidff rescales it so
//   duration INFINITE                 replay.length 0                 input.h: 0 = play for ever
//   duration finite                   ms, 1..0xFFFE                   0xFFFF ends after 65 s
//   direction (one axis: no meaning)  fixed 0x4000, sign in level     see kDirectionPositiveX
//   effect gain                       scales the force (level,        the kernel has no
//                                     magnitude, offset, saturations, per-effect gain
//                                     coefficients)
//   trigger button none               trigger.button 0                KEY_RESERVED: no trigger
#include "sources/evdev/effect_translation.h"

#include <algorithm>
#include <cmath>

namespace evdev {
namespace {

constexpr double kDirectInputFullScale = DI_FFNOMINALMAX;

std::uint16_t waveformOf(wheel::EffectKind kind) {
    switch (kind) {
        case wheel::EffectKind::Square:
            return FF_SQUARE;
        case wheel::EffectKind::Triangle:
            return FF_TRIANGLE;
        case wheel::EffectKind::SawtoothUp:
            return FF_SAW_UP;
        case wheel::EffectKind::SawtoothDown:
            return FF_SAW_DOWN;
        default:
            return FF_SINE;
    }
}

std::uint16_t conditionTypeOf(wheel::EffectKind kind) {
    switch (kind) {
        case wheel::EffectKind::Spring:
            return FF_SPRING;
        case wheel::EffectKind::Inertia:
            return FF_INERTIA;
        case wheel::EffectKind::Friction:
            return FF_FRICTION;
        default:
            return FF_DAMPER;
    }
}

std::uint32_t roundedMilliseconds(std::uint32_t microseconds) {
    return microseconds / 1000 + (microseconds % 1000 >= 500 ? 1 : 0);  // no overflow near 2^32
}

}  // namespace

std::int16_t signedKernelUnits(double directInputUnits) {
    const double scaled = directInputUnits * 0x7FFF / kDirectInputFullScale;
    return static_cast<std::int16_t>(std::lround(std::clamp(scaled, -32767.0, 32767.0)));
}

std::uint16_t unsignedKernelUnits(double directInputUnits) {
    const double scaled = directInputUnits * 0xFFFF / kDirectInputFullScale;
    return static_cast<std::uint16_t>(std::lround(std::clamp(scaled, 0.0, 65535.0)));
}

std::uint16_t periodMilliseconds(std::uint32_t periodMicroseconds) {
    const std::uint32_t rounded = roundedMilliseconds(periodMicroseconds);
    return static_cast<std::uint16_t>(std::clamp<std::uint32_t>(rounded, 1, 0xFFFF));
}

std::uint16_t replayLengthMilliseconds(std::uint32_t durationMicroseconds) {
    if (durationMicroseconds == INFINITE) return 0;
    const std::uint32_t rounded = roundedMilliseconds(durationMicroseconds);
    return static_cast<std::uint16_t>(std::clamp<std::uint32_t>(rounded, 1, 0xFFFE));
}

std::uint16_t phaseKernel(std::uint32_t phaseHundredthsOfDegree) {
    const std::uint64_t cycle = 36000;
    const std::uint64_t fraction = (phaseHundredthsOfDegree % cycle) * 0x10000 + cycle / 2;
    return static_cast<std::uint16_t>(std::min<std::uint64_t>(fraction / cycle, 0xFFFF));
}

ff_effect toKernelEffect(const wheel::EffectParameters& parameters, std::int16_t kernelId) {
    ff_effect effect{};
    effect.id = kernelId;
    effect.direction = kDirectionPositiveX;
    effect.replay.length = replayLengthMilliseconds(parameters.durationMicroseconds);
    const double gain =
        std::min<double>(parameters.gain, kDirectInputFullScale) / kDirectInputFullScale;
    switch (parameters.kind) {
        case wheel::EffectKind::ConstantForce:
            effect.type = FF_CONSTANT;
            effect.u.constant.level = signedKernelUnits(parameters.level * gain);
            break;
        case wheel::EffectKind::Sine:
        case wheel::EffectKind::Square:
        case wheel::EffectKind::Triangle:
        case wheel::EffectKind::SawtoothUp:
        case wheel::EffectKind::SawtoothDown:
            effect.type = FF_PERIODIC;
            effect.u.periodic.waveform = waveformOf(parameters.kind);
            effect.u.periodic.period = periodMilliseconds(parameters.periodMicroseconds);
            effect.u.periodic.magnitude = signedKernelUnits(parameters.magnitude * gain);
            effect.u.periodic.offset = signedKernelUnits(parameters.offset * gain);
            effect.u.periodic.phase = phaseKernel(parameters.phaseHundredthsOfDegree);
            break;
        case wheel::EffectKind::Spring:
        case wheel::EffectKind::Damper:
        case wheel::EffectKind::Inertia:
        case wheel::EffectKind::Friction: {
            effect.type = conditionTypeOf(parameters.kind);
            ff_condition_effect& x = effect.u.condition[0];
            x.right_saturation = unsignedKernelUnits(parameters.positiveSaturation * gain);
            x.left_saturation = unsignedKernelUnits(parameters.negativeSaturation * gain);
            x.right_coeff = signedKernelUnits(parameters.positiveCoefficient * gain);
            x.left_coeff = signedKernelUnits(parameters.negativeCoefficient * gain);
            x.deadband = unsignedKernelUnits(parameters.deadBand);
            x.center = signedKernelUnits(parameters.centerOffset);
            break;
        }
    }
    return effect;
}

}  // namespace evdev
