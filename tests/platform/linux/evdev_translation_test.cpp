// The one translation from DirectInput units to the kernel's struct ff_effect, and its traps.
#include <gtest/gtest.h>

#include "platform/linux/evdev/effect_translation.h"

namespace {

using evdev::toKernelEffect;
using wheel::EffectKind;

TEST(EvdevTranslation, ConvertsUnitsRoundedAndSaturated) {
    struct Row {
        double directInput;
        int signedKernel, unsignedKernel;
    };
    for (const Row& row :
         {Row{0, 0, 0}, Row{-420, -1376, 0}, Row{660, 2163, 4325}, Row{10000, 0x7FFF, 0xFFFF},
          Row{-10000, -0x7FFF, 0}, Row{5000, 16384, 32768}, Row{25000, 0x7FFF, 0xFFFF},
          Row{-25000, -0x7FFF, 0}}) {
        EXPECT_EQ(evdev::signedKernelUnits(row.directInput), row.signedKernel) << row.directInput;
        EXPECT_EQ(evdev::unsignedKernelUnits(row.directInput), row.unsignedKernel)
            << row.directInput;
    }
    struct Time {
        std::uint32_t microseconds;
        int periodMilliseconds, lengthMilliseconds;
    };
    for (const Time& row : {Time{16260, 16, 16}, Time{13890, 14, 14}, Time{9585, 10, 10},
                            Time{499, 1, 1}, Time{0, 1, 1}, Time{65535000, 0xFFFF, 0xFFFE},
                            Time{90000000, 0xFFFF, 0xFFFE}, Time{INFINITE, 0xFFFF, 0}}) {
        EXPECT_EQ(evdev::periodMilliseconds(row.microseconds), row.periodMilliseconds);
        EXPECT_EQ(evdev::replayLengthMilliseconds(row.microseconds), row.lengthMilliseconds);
    }
    EXPECT_EQ(evdev::phaseKernel(9000), 0x4000);
    EXPECT_EQ(evdev::phaseKernel(35999), 0xFFFE);
}

TEST(EvdevTranslation, CarriesTheSignInTheLevelUnderAFixedDirection) {
    wheel::EffectParameters right{.kind = EffectKind::ConstantForce, .direction = 1, .level = 3000};
    wheel::EffectParameters left = right;
    left.level = -3000;
    left.direction = -1;
    const ff_effect pushRight = toKernelEffect(right, -1), pushLeft = toKernelEffect(left, 7);
    EXPECT_EQ(pushRight.direction, 0x4000);
    EXPECT_EQ(pushLeft.direction, 0x4000);
    EXPECT_EQ(pushRight.u.constant.level, 9830);
    EXPECT_EQ(pushLeft.u.constant.level, -9830);
    EXPECT_EQ(pushRight.type, FF_CONSTANT);
    EXPECT_EQ(pushRight.id, -1);
    EXPECT_EQ(pushLeft.id, 7);
    EXPECT_EQ(pushRight.replay.length, 0);  // INFINITE: for ever, not 0xFFFF (65 s)
}

TEST(EvdevTranslation, AppliesTheEffectGainToTheForceOnly) {
    wheel::EffectParameters periodic{.kind = EffectKind::SawtoothDown,
                                     .gain = 5000,
                                     .magnitude = 10000,
                                     .offset = -2000,
                                     .periodMicroseconds = 20000};
    const ff_effect saw = toKernelEffect(periodic, -1);
    EXPECT_EQ(saw.type, FF_PERIODIC);
    EXPECT_EQ(saw.u.periodic.waveform, FF_SAW_DOWN);
    EXPECT_EQ(saw.u.periodic.magnitude, 16384);
    EXPECT_EQ(saw.u.periodic.offset, -3277);
    EXPECT_EQ(saw.u.periodic.period, 20);

    wheel::EffectParameters spring{.kind = EffectKind::Spring,
                                   .gain = 5000,
                                   .centerOffset = 1000,
                                   .positiveCoefficient = 10000,
                                   .negativeCoefficient = -2000,
                                   .positiveSaturation = 10000,
                                   .negativeSaturation = 4000,
                                   .deadBand = 500};
    const ff_condition_effect& x = toKernelEffect(spring, -1).u.condition[0];
    EXPECT_EQ(x.right_coeff, 16384);
    EXPECT_EQ(x.left_coeff, -3277);
    EXPECT_EQ(x.right_saturation, 32768);
    EXPECT_EQ(x.left_saturation, 13107);
    EXPECT_EQ(x.center, 3277);  // positions are not forces: no gain
    EXPECT_EQ(x.deadband, 3277);
    EXPECT_EQ(toKernelEffect(spring, -1).u.condition[1].right_coeff, 0);  // X axis only
}

}  // namespace
