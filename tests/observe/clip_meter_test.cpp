// The clipping share: time-weighted over the passes, forgetting what is older than 10 s.
#include "observe/clip_meter.h"

#include <gtest/gtest.h>

namespace observe {
namespace {

constexpr std::int64_t kMs = 1'000'000;

TEST(ClipMeter, SharesTheLastTenSecondsByTime) {
    const struct {
        const char* name;
        std::int64_t clippedMs, freeMs;  // played in turn: clipped, then free, passes every 4 ms
        int rounds;
        double share;
    } cases[] = {
        {.name = "never", .clippedMs = 0, .freeMs = 1000, .rounds = 3, .share = 0.0},
        {.name = "always", .clippedMs = 1000, .freeMs = 0, .rounds = 3, .share = 1.0},
        {.name = "a quarter", .clippedMs = 100, .freeMs = 300, .rounds = 10, .share = 0.25},
        {.name = "forgotten", .clippedMs = 5000, .freeMs = 20000, .rounds = 1, .share = 0.0},
        {.name = "half", .clippedMs = 5000, .freeMs = 5000, .rounds = 3, .share = 0.5},
    };
    for (const auto& c : cases) {
        ClipMeter meter;
        std::int64_t now = 1000 * kMs;
        for (int round = 0; round < c.rounds; ++round) {
            for (std::int64_t t = 0; t < c.clippedMs; t += 4, now += 4 * kMs) meter.add(now, true);
            for (std::int64_t t = 0; t < c.freeMs; t += 4, now += 4 * kMs) meter.add(now, false);
        }
        EXPECT_NEAR(meter.share(), c.share, 0.02) << c.name;
    }
}

}  // namespace
}  // namespace observe
