// Checks shared by the effect set and force synthesis tests: the fixed part of every effect
// description the set hands to DirectInput.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "ffb/effect_set.h"
#include "support/fake_directinput.h"

namespace torvane::test {

/// True when pointer lies inside the set object itself (not in a stack copy that dies).
inline bool pointsInto(const void* pointer, const EffectSet& set) {
    const auto* at = static_cast<const unsigned char*>(pointer);
    const auto* begin = reinterpret_cast<const unsigned char*>(&set);
    return at >= begin && at < begin + sizeof set;
}

/// Everything but the type-specific record: full gain, infinite, untriggered, one X axis.
inline void expectTemplate(const fake::EffectParameters& sent, const EffectSet& set,
                           std::size_t recordSize) {
    SCOPED_TRACE(sent.effect);
    const DIEFFECT& e = sent.effectRecord;
    EXPECT_EQ(e.dwSize, sizeof(DIEFFECT));
    EXPECT_EQ(e.dwFlags, 0x12u);  // Cartesian directions, axes named by data-format offset
    EXPECT_EQ(e.dwDuration, 0xFFFFFFFFu);
    EXPECT_EQ(e.dwSamplePeriod, 0u);
    EXPECT_EQ(e.dwGain, 10000u);
    EXPECT_EQ(e.dwTriggerButton, 0xFFFFFFFFu);
    EXPECT_EQ(e.dwTriggerRepeatInterval, 0u);
    EXPECT_EQ(e.cAxes, 1u);
    EXPECT_EQ(sent.axes, std::vector<DWORD>{0});  // the X axis of DIJOYSTATE2
    EXPECT_EQ(sent.directions, std::vector<LONG>{0});
    EXPECT_TRUE(pointsInto(e.rgdwAxes, set));
    EXPECT_TRUE(pointsInto(e.rglDirection, set));
    EXPECT_FALSE(sent.hasEnvelope);
    EXPECT_EQ(e.cbTypeSpecificParams, recordSize);
    EXPECT_EQ(sent.typeSpecific.size(), recordSize);
    EXPECT_EQ(e.dwStartDelay, 0u);
}

}  // namespace torvane::test
