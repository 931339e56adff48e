// The monitor's status line for known passes, and how often it is written.
#include "observe/monitor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

namespace observe {
namespace {

constexpr std::int64_t kMs = 1'000'000;

struct FixedRim final : RimProbe {
    int reads = 0;
    bool read(double& torque, double& angle) override {
        torque = 0.344, angle = -12.34, ++reads;
        return true;
    }
};

/// The worked example playing, the constant force clipped, 250 datagrams a second, the newest
/// 3 ms old, the wheel at -1532.
PassRecord playing(std::int64_t now) {
    const torvane::SentEffects sent{{-420, 0, true, true},     {660, 16260, false, true},
                                    {176, 13890, false, true}, {800, 9585, false, true},
                                    {250, 0, false, true},     true};
    return {now,          true,  false, false,
            true,         -1532, sent,  static_cast<std::uint64_t>(now / (4 * kMs)),
            now - 3 * kMs};
}

TEST(Monitor, ShowsOnePassInOneLine) {
    PassRecord idle;
    idle.now = 1000 * kMs;
    PassRecord noDamper = playing(1000 * kMs);
    noDamper.effects.damper.sent = false;
    FixedRim rim;
    const struct {
        const char* what;
        PassRecord pass;
        bool testSignal;
        RimProbe* rim;
        const char* line;
    } cases[] = {
        {"playing, with a rim", playing(1000 * kMs), false, &rim,
         "telemetry 250/s age 3 ms | playing: constant -4.2%! engine 6.6% road 1.8% curb 8.0% "
         "damper 2.5% | x -1532 | 0.34 Nm -12.3 deg\n"},
        {"nothing yet", idle, false, nullptr, "telemetry 0/s age - | stopped | x -\n"},
        {"the test signal, no damper", noDamper, true, nullptr,
         "test signal | playing: constant -4.2%! engine 6.6% road 1.8% curb 8.0% damper - | "
         "x -1532\n"},
    };
    for (const auto& c : cases) {
        std::ostringstream err;
        Monitor(err, false, c.testSignal, c.rim, 0).observe(c.pass);
        EXPECT_EQ(err.str(), c.line) << c.what;
    }
}

TEST(Monitor, AppendsOnceASecondElsewhereAndRewritesEvery100MsOnATerminal) {
    for (const bool terminal : {false, true}) {
        SCOPED_TRACE(terminal ? "terminal" : "file");
        std::ostringstream err;
        FixedRim rim;
        {
            Monitor monitor(err, terminal, false, &rim, 0);
            for (std::int64_t t = 0; t < 3000 * kMs; t += 4 * kMs) {
                PassRecord p = playing(t);
                p.effects.playing = t < 2000 * kMs;  // a shorter line for the last second
                monitor.observe(p);
            }
        }
        const std::string text = err.str();
        if (!terminal) {
            EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);  // at 1 s and 2 s
            EXPECT_EQ(rim.reads, 2);
            EXPECT_EQ(text.find('\r'), std::string::npos);
            continue;
        }
        EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 29);  // 100 ms .. 2900 ms
        EXPECT_EQ(rim.reads, 29);
        // A shorter line blanks out the rest of the longer one; only the end adds a line feed.
        EXPECT_NE(text.find("| stopped | x -1532 | 0.34 Nm -12.3 deg    "), std::string::npos);
        EXPECT_EQ(text.find('\n'), text.size() - 1);
    }
}

}  // namespace
}  // namespace observe
