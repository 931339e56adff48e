// The one translation from DirectInput units to the kernel's struct ff_effect, and its traps.
#include <gtest/gtest.h>

#include "sources/evdev/effect_translation.h"
#include "uinput_wheel.h"

namespace {

using K = wheel::EffectKind;
using P = wheel::EffectParameters;

// The kernel's record of parameters, summarised.
std::string record(const P& parameters) {
    return uinput::summary(evdev::toKernelEffect(parameters, -1));
}

TEST(EvdevTranslation, ConvertsEveryKindInOnePlace) {
    // A fixed direction, the sign in the level: some drivers mishandle a direction that flips.
    EXPECT_EQ(record({.kind = K::ConstantForce, .direction = -1, .level = -3000}),
              "-1 4000 0 | constant -9830");
    EXPECT_EQ(record({.kind = K::ConstantForce, .level = 25000}), "-1 4000 0 | constant 32767");
    // A finite length is never 0xFFFF, which some drivers play for 65 s and others for ever.
    EXPECT_EQ(record({.kind = K::ConstantForce, .durationMicroseconds = 70000000}),
              "-1 4000 65534 | constant 0");
    EXPECT_EQ(record({.kind = K::Triangle,
                      .durationMicroseconds = 1499,
                      .magnitude = 10000,
                      .periodMicroseconds = 499}),
              "-1 4000 1 | periodic 59 32767+0 1 ms phase 0");
    EXPECT_EQ(record({.kind = K::SawtoothDown,
                      .gain = 5000,
                      .magnitude = 10000,
                      .offset = -2000,
                      .phaseHundredthsOfDegree = 9000,
                      .periodMicroseconds = INFINITE}),
              "-1 4000 0 | periodic 5c 16384-3277 65535 ms phase 16384");
    // Positions (centre, band) take no gain; the condition is on X only.
    const P spring{.kind = K::Spring,
                   .gain = 5000,
                   .centerOffset = 1000,
                   .positiveCoefficient = 10000,
                   .negativeCoefficient = -2000,
                   .positiveSaturation = 10000,
                   .deadBand = 500};
    EXPECT_EQ(record(spring), "-1 4000 0 | condition 53 16384/-3277 32768/0 centre 3277 band 3277");
    EXPECT_EQ(evdev::toKernelEffect(spring, -1).u.condition[1].right_saturation, 0);
    EXPECT_EQ(evdev::toKernelEffect(spring, 7).id, 7);
}

}  // namespace
