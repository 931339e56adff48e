// The pass timer keeps the loop's 4 ms sleep on the real clock. On Windows this is the reason it
// exists: Sleep(4) lasts a whole system tick there (15.625 ms by default). Under Wine both paths
// keep about 4 ms; the bounds are generous so that a loaded machine does not fail them.
#include "platform/pass_timer.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace platform {
namespace {

using Seconds = std::chrono::duration<double>;

TEST(PassTimer, TwoHundredFiftySleepsOf4MillisecondsTakeAboutOneSecondOnEitherPath) {
    for (const PassTimer::Mode mode :
         {PassTimer::Mode::HighResolution, PassTimer::Mode::SystemTick}) {
        const bool forced = mode == PassTimer::Mode::SystemTick;
        SCOPED_TRACE(forced ? "high-resolution timer refused" : "high-resolution timer");
        PassTimer timer(mode);
        if (forced && timer.highResolution()) continue;  // this platform has no other path
        EXPECT_EQ(timer.highResolution(), !forced);
        // Load on the machine only lengthens sleeps: the shortest of up to three runs counts.
        double elapsed = 1e9;
        for (int run = 0; run < 3 && elapsed > 1.6; ++run) {
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < 250; ++i) timer.sleep(std::chrono::milliseconds(4));
            elapsed = std::min(elapsed, Seconds(std::chrono::steady_clock::now() - start).count());
        }
        EXPECT_GE(elapsed, 0.9);
        EXPECT_LE(elapsed, 1.6);
    }
}

}  // namespace
}  // namespace platform
