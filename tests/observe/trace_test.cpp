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

struct RecordingSink final : TraceSink {
    std::vector<std::string> writes;
    bool fail = false;
    bool write(std::string_view bytes) override {
        writes.emplace_back(bytes);
        return !fail;
    }
};

/// The worked example as sent: every effect present and playing.
torvane::SentEffects workedExample() {
    torvane::SentEffects e;
    e.constantForce = {-420, 0, false, true};
    e.engineSine = {660, 16260, false, true};
    e.roadSine = {176, 13890, false, true};
    e.curbSquare = {800, 9585, false, true};
    e.damper = {250, 0, false, true};
    e.playing = true;
    return e;
}

PassRecord pass(std::int64_t sinceStart, bool applied, bool stopped, bool stateRead = false) {
    PassRecord p;
    p.now = kStart + sinceStart;
    p.applied = applied;
    p.stopped = stopped;
    p.stateRead = stateRead;
    p.wheelKnown = true;  // an earlier report's X must not show on a pass without one
    p.wheelX = -1532;
    p.effects = workedExample();
    p.effects.playing = applied;
    return p;
}

std::string header() {
    return std::string("# torvane-bridge ") + torvane::versionText() +
           " trace, clock_start_ns=1000000000\n"
           "time_ms,constant,engine_magnitude,engine_period_us,road_magnitude,road_period_us,"
           "curb_magnitude,curb_period_us,damper,playing,wheel_x\n";
}

TEST(Trace, WritesTheHeaderAndOneLinePerPassThatSentOrStopped) {
    PassRecord noDamper = pass(20 * kMs + 999, true, false);
    noDamper.effects.damper.sent = false;  // a wheel that refused it
    const struct {
        PassRecord pass;
        const char* line;
    } cases[] = {
        {pass(0, true, false), "0.000,-420,660,16260,176,13890,800,9585,250,1,\n"},
        {pass(16 * kMs + 123'456, true, false, true),
         "16.123,-420,660,16260,176,13890,800,9585,250,1,-1532\n"},
        {noDamper, "20.000,-420,660,16260,176,13890,800,9585,,1,\n"},
        {pass(24 * kMs, false, false, true), ""},  // nothing playing, nothing sent
        {pass(123'456 * kMs, false, true, true), "123456.000,,,,,,,,,0,-1532\n"},
        {pass(123'460 * kMs, false, true), "123460.000,,,,,,,,,0,\n"},
    };
    RecordingSink sink;
    std::ostringstream err;
    std::string expected = header();
    {
        Trace trace(sink, "trace.csv", kStart, err);
        for (const auto& c : cases) {
            trace.observe(c.pass);
            expected += c.line;
        }
    }
    std::string written;
    for (const std::string& w : sink.writes) written += w;
    EXPECT_EQ(written, expected);
    EXPECT_EQ(err.str(), "");
}

TEST(Trace, WritesOncePerSecondOfLoopTimeAndAtTheEnd) {
    RecordingSink sink;
    std::ostringstream err;
    {
        Trace trace(sink, "trace.csv", kStart, err);
        std::int64_t t = 0;
        for (; t < 1000 * kMs; t += 4 * kMs) trace.observe(pass(t, true, false));
        EXPECT_TRUE(sink.writes.empty());
        trace.observe(pass(t, true, false));  // one second after the start
        ASSERT_EQ(sink.writes.size(), 1u);
        EXPECT_EQ(sink.writes[0].rfind(header(), 0), 0u);
        for (t += 4 * kMs; t < 2000 * kMs; t += 4 * kMs) trace.observe(pass(t, true, false));
        EXPECT_EQ(sink.writes.size(), 1u);
    }
    ASSERT_EQ(sink.writes.size(), 2u);
    EXPECT_EQ(sink.writes[1].rfind("1004.000,", 0), 0u);
}

TEST(Trace, AFailedWriteStopsTracingWithOneMessage) {
    RecordingSink sink;
    sink.fail = true;
    std::ostringstream err;
    {
        Trace trace(sink, "trace.csv", kStart, err);
        for (std::int64_t t = 0; t < 3000 * kMs; t += 4 * kMs) trace.observe(pass(t, true, false));
        EXPECT_TRUE(trace.failed());
    }
    EXPECT_EQ(sink.writes.size(), 1u);
    EXPECT_EQ(err.str(), "Could not write the trace file trace.csv; tracing stopped.\n");
}

}  // namespace
}  // namespace observe
