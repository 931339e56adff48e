// The trace's text, byte for byte, and when it reaches the disk.
#include "observe/trace.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/version.h"

namespace observe {
namespace {

constexpr std::int64_t kStart = 1'000'000'000;
constexpr std::int64_t kMs = 1'000'000;
// The worked example, of which the constant force, the engine and the damper went out in the pass.
const torvane::SentEffects kSent{{-420, 0, false, true, true},     {660, 16260, false, true, true},
                                 {176, 13890, false, true, false}, {800, 9585, false, true, false},
                                 {250, 0, false, true, true},      true};

struct RecordingSink final : TraceSink {
    std::vector<std::string> writes;
    bool fail = false;
    bool write(std::string_view bytes) override {
        writes.emplace_back(bytes);
        return !fail;
    }
};

// The wheel's X is known from an earlier report: it must show only on a pass that read it.
PassRecord pass(std::int64_t sinceStart, bool applied, bool stopped, bool stateRead = false) {
    return {kStart + sinceStart, applied, stopped, stateRead, true, -1532, kSent, 0, 0};
}

TEST(Trace, WritesTheHeaderAndOneLinePerPassThatSentOrStopped) {
    PassRecord noDamper = pass(20 * kMs + 999, true, false);
    noDamper.effects.damper = {};  // a wheel that refused it
    const std::pair<PassRecord, const char*> cases[] = {
        {pass(0, true, false), "0.000,-420,660,16260,176,13890,800,9585,250,1,,ced\n"},
        {pass(16 * kMs + 123'456, true, false, true),
         "16.123,-420,660,16260,176,13890,800,9585,250,1,-1532,ced\n"},
        {noDamper, "20.000,-420,660,16260,176,13890,800,9585,,1,,ce\n"},
        {pass(24 * kMs, false, false, true), ""},  // nothing playing, nothing sent
        {pass(123'456 * kMs, false, true, true), "123456.000,,,,,,,,,0,-1532,\n"},
        {pass(123'460 * kMs, false, true), "123460.000,,,,,,,,,0,,\n"},
    };
    RecordingSink sink;
    std::ostringstream err;
    std::string expected =
        std::string("# torvane-bridge ") + torvane::versionText() +
        " trace, clock_start_ns=1000000000\n"
        "time_ms,constant,engine_magnitude,engine_period_us,road_magnitude,"
        "road_period_us,curb_magnitude,curb_period_us,damper,playing,wheel_x,sent\n";
    {
        Trace trace(sink, "trace.csv", kStart, err);
        for (const auto& [record, line] : cases) {
            trace.observe(record);
            expected += line;
        }
    }
    std::string written;
    for (const std::string& w : sink.writes) written += w;
    EXPECT_EQ(written, expected);
    EXPECT_EQ(err.str(), "");
}

// Passes every 4 ms for three seconds of loop time: the buffer reaches the sink once per second of
// loop time and at the end, unless a write failed, which stops tracing with one message.
TEST(Trace, WritesOncePerSecondOfLoopTimeAndStopsAtAFailedWrite) {
    for (const bool fail : {false, true}) {
        RecordingSink sink;
        sink.fail = fail;
        std::ostringstream err;
        {
            Trace trace(sink, "trace.csv", kStart, err);
            for (std::int64_t t = 0; t < 3000 * kMs; t += 4 * kMs) {
                trace.observe(pass(t, true, false));
                EXPECT_TRUE(t >= 1000 * kMs || sink.writes.empty()) << t;
            }
            EXPECT_EQ(trace.failed(), fail);
        }
        if (fail) {
            EXPECT_EQ(sink.writes.size(), 1u);
            EXPECT_EQ(err.str(), "Could not write the trace file trace.csv; tracing stopped.\n");
            continue;
        }
        ASSERT_EQ(sink.writes.size(), 3u);  // at 1 s, at 2 s, and the rest at the end
        EXPECT_EQ(sink.writes[1].rfind("1004.000,", 0), 0u);
        EXPECT_EQ(sink.writes[2].rfind("2004.000,", 0), 0u);
        EXPECT_EQ(err.str(), "");
    }
}

}  // namespace
}  // namespace observe
