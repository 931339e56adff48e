// The one translation from DirectInput units to the kernel's struct ff_effect, and its traps.
#include <gtest/gtest.h>

#include "sources/evdev/effect_translation.h"
#include "uinput_wheel.h"

namespace {

using K = wheel::EffectKind;

TEST(EvdevTranslation, ConvertsEveryKindInOnePlace) {
    struct Row {
        wheel::EffectParameters parameters;
        const char* record;
    };
    // clang-format off
    const Row rows[] = {
        // A fixed direction, the sign in the level: some drivers mishandle a direction that flips.
        {{.kind = K::ConstantForce, .direction = -1, .level = -3000}, "-1 4000 0 | constant -9830"},
        {{.kind = K::ConstantForce, .level = 25000}, "-1 4000 0 | constant 32767"},
        // A finite length is never 0xFFFF, which some drivers play for 65 s and others for ever.
        {{.kind = K::ConstantForce, .durationMicroseconds = 70000000}, "-1 4000 65534 | constant 0"},
        {{.kind = K::Triangle, .durationMicroseconds = 1499, .magnitude = 10000, .periodMicroseconds = 499},
         "-1 4000 1 | periodic 59 32767+0 1 ms phase 0"},
        {{.kind = K::SawtoothDown, .gain = 5000, .magnitude = 10000, .offset = -2000, .phaseHundredthsOfDegree = 9000,
          .periodMicroseconds = INFINITE}, "-1 4000 0 | periodic 5c 16384-3277 65535 ms phase 16384"},
        {{.kind = K::Spring, .gain = 5000, .centerOffset = 1000, .positiveCoefficient = 10000, .negativeCoefficient = -2000,
          .positiveSaturation = 10000, .deadBand = 500}, "-1 4000 0 | condition 53 16384/-3277 32768/0 centre 3277 band 3277"},
    };  // positions (centre, band) take no gain
    // clang-format on
    for (const Row& row : rows)
        EXPECT_EQ(uinput::summary(evdev::toKernelEffect(row.parameters, -1)), row.record);
    EXPECT_EQ(evdev::toKernelEffect(rows[0].parameters, 7).id, 7);
    // X only
    EXPECT_EQ(evdev::toKernelEffect(rows[5].parameters, -1).u.condition[1].right_saturation, 0);
}

}  // namespace
