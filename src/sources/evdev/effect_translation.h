// DirectInput's effect parameters as the kernel's struct ff_effect: the one place where the units
// change. Every rule, and where it comes from, is in the table at the top of the .cpp.
#pragma once

#include <linux/input.h>

#include <cstdint>

#include "wheel/driver.h"

namespace evdev {

/// The direction every effect is uploaded with. 0x4000 is 90 degrees: the kernel's memoryless
/// drivers take an effect's X component as level * sin(direction), so the level's sign passes
/// through unchanged, and the PID driver hands the device 90 degrees, which is what Windows sends
/// a PID device for an effect on the X axis alone. The sign lives in the level only, because some
/// drivers mishandle a direction that flips between updates.
inline constexpr std::uint16_t kDirectionPositiveX = 0x4000;

/// -10000..10000 DirectInput units (levels, magnitudes, offsets, coefficients) to the kernel's
/// -0x7FFF..0x7FFF: rounded to nearest, saturated.
std::int16_t signedKernelUnits(double directInputUnits);
/// 0..10000 DirectInput units (saturations, dead band, device gain) to the kernel's 0..0xFFFF.
std::uint16_t unsignedKernelUnits(double directInputUnits);
/// A period: rounded to whole milliseconds, at least 1 (0 would stall a periodic effect).
std::uint16_t periodMilliseconds(std::uint32_t periodMicroseconds);
/// A duration: INFINITE is 0 ("play for ever"); anything else is rounded to 1..0xFFFE ms, never
/// 0xFFFF, which the memoryless drivers play for 65 s while others take it for infinite.
std::uint16_t replayLengthMilliseconds(std::uint32_t durationMicroseconds);
/// A phase in hundredths of a degree as the kernel's fraction of a cycle, 0..0xFFFF.
std::uint16_t phaseKernel(std::uint32_t phaseHundredthsOfDegree);

/// One effect's parameters as the record EVIOCSFF uploads; kernelId -1 asks for a new effect,
/// else it names the effect to update in place.
ff_effect toKernelEffect(const wheel::EffectParameters& parameters, std::int16_t kernelId);

}  // namespace evdev
