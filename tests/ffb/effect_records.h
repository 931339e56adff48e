// Shared by the effect set and force synthesis tests: the fixed part of every effect description
// the set hands to DirectInput.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>
#include <vector>

#include "ffb/effect_set.h"
#include "support/fake_directinput.h"

namespace torvane::test {

template <typename Record>
std::vector<unsigned char> bytesOf(const Record& record) {
    const auto* begin = reinterpret_cast<const unsigned char*>(&record);
    return {begin, begin + sizeof record};
}

/// Full gain, infinite, untriggered, no envelope, and one X axis whose offset and direction are
/// the set's own fields (not copies on the stack that could die before DirectInput reads them).
inline void expectTemplate(const fake::EffectParameters& sent, const EffectSet& set,
                           std::size_t recordSize) {
    const DIEFFECT& e = sent.effectRecord;
    EXPECT_EQ(std::tuple(e.dwSize, e.dwFlags, e.dwDuration, e.dwSamplePeriod, e.dwGain,
                         e.dwTriggerButton, e.dwTriggerRepeatInterval, e.cAxes, e.dwStartDelay,
                         sent.hasEnvelope, e.cbTypeSpecificParams),
              std::tuple(sizeof(DIEFFECT), 0x12u, 0xFFFFFFFFu, 0u, 10000u, 0xFFFFFFFFu, 0u, 1u, 0u,
                         false, DWORD(recordSize)))
        << sent.effect;
    EXPECT_EQ(sent.axes, std::vector<DWORD>{0});
    EXPECT_EQ(sent.directions, std::vector<LONG>{0});
    const auto self = reinterpret_cast<std::uintptr_t>(&set);
    for (const void* pointer :
         {static_cast<const void*>(e.rgdwAxes), static_cast<const void*>(e.rglDirection)}) {
        const auto at = reinterpret_cast<std::uintptr_t>(pointer);
        EXPECT_TRUE(at >= self && at < self + sizeof set) << sent.effect;
    }
}

}  // namespace torvane::test
