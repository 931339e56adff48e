// "--low-latency" raises the loop above a game's threads; it must still leave them the cores.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "support/wheel_rig.h"

namespace torvane {
namespace {

TEST(LowLatency, EveryPassEndsInAWaitThatPauses) {
    fake::Rig rig;
    int waits = 0;
    std::int64_t shortest = std::numeric_limits<std::int64_t>::max();
    rig.clock.onWait = [&](fake::SimulatedClock&, std::int64_t paused) {
        shortest = std::min(shortest, paused);
        if (++waits == 100) rig.running = false;
    };
    const fake::Run run = rig.run(nullptr, {TORVANE_WIDE("--low-latency")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(rig.clock.sleeps, 0);
    EXPECT_EQ(waits, 100);
    // Idle, the loop wakes only for the 16 ms reports.
    EXPECT_GE(shortest, 15'000'000);
    EXPECT_NE(run.out.find("\nLow latency: "), std::string::npos);
}

}  // namespace
}  // namespace torvane
