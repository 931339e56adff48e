// The main loop's pass with exact clock readings on the virtual wheel: the 100 ms freshness
// boundary and the 16 ms report schedule's end; and the loop's pacing
// on simulated time, with and without "--low-latency". Telemetry arrives on the real loopback port.
#include "app/main_loop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "support/loopback_peer.h"
#include "support/wheel_rig.h"

namespace torvane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr std::int64_t kMs = 1'000'000;
constexpr std::int64_t kStart = 5'000 * kMs;

class MainLoopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(device);
        ASSERT_EQ(receiver.open(network, reporter), ReceiverOpenResult::Opened);
        std::ostringstream ignored;
        effects.create(ignored);
        loop.begin(kStart, kStart);
    }

    // The calls one pass makes ("Start#0", "Poll"), of the effects alone or with the device's.
    std::vector<std::string> pass(std::int64_t now, bool deviceCalls = false) {
        rig.clock.time = now;
        rig.journal.clear();
        loop.runPass(now);
        std::vector<std::string> calls;
        for (const wheel::JournalEntry& e : rig.journal.entries()) {
            const std::string name = wheel::methodName(e.method);
            if (e.effect >= 0 && !deviceCalls)
                calls.push_back(name + "#" + std::to_string(e.effect));
            if (e.effect < 0 &&
                (deviceCalls || e.method == wheel::Method::SendForceFeedbackCommand))
                calls.push_back(name);
        }
        return calls;
    }

    fake::Rig rig;
    platform::ComPtr<IDirectInputDevice8W> device = rig.openDevice();
    BridgeOptions options;
    std::ostringstream err;
    EffectSet effects{device.get(), err};
    platform::WinsockSession network;
    RawInputReporter reporter;
    TelemetryReceiver receiver;
    std::atomic<bool> running{true};
    MainLoop loop{options, *device, effects, receiver, reporter, running};
    fake::LoopbackPeer sender;
};

TEST_F(MainLoopTest, AppliesTelemetryUpTo100MillisecondsOldThenStops) {
    ASSERT_TRUE(sender.sendTo(kTelemetryPort, R"({"aligningTorque":0.5})"));
    const std::int64_t arrival = kStart + 4 * kMs;
    const std::vector<std::string> first = pass(arrival);
    EXPECT_EQ(first.size(), 10u);  // five starts, five parameter sets
    EXPECT_EQ(first.front(), "Start#0");
    EXPECT_EQ(loop.lastTelemetryTime(), arrival);

    // The same frame is applied again on every pass, up to and including an age of 100 ms.
    EXPECT_EQ(pass(arrival + 50 * kMs).size(), 5u);
    EXPECT_THAT(pass(arrival + 100 * kMs),
                ElementsAre("SetParameters#0", "SetParameters#1", "SetParameters#2",
                            "SetParameters#3", "SetParameters#4"));

    // One nanosecond later it is stale: every effect stops, once.
    EXPECT_THAT(pass(arrival + 100 * kMs + 1), ElementsAre("Stop#0", "Stop#1", "Stop#2", "Stop#3",
                                                           "Stop#4", "SendForceFeedbackCommand"));
    EXPECT_THAT(pass(arrival + 104 * kMs), IsEmpty());

    // Fresh telemetry starts them again.
    ASSERT_TRUE(sender.sendTo(kTelemetryPort, R"({"aligningTorque":0.5})"));
    EXPECT_EQ(pass(arrival + 108 * kMs).size(), 10u);
}

TEST_F(MainLoopTest, ReportsEvery16MillisecondsCountedFromTheLastAttempt) {
    fake::LoopbackPeer application;
    ASSERT_TRUE(application.bindTo(kReportPort));
    EXPECT_THAT(pass(kStart, true), IsEmpty());
    EXPECT_THAT(pass(kStart + 16 * kMs - 1, true), IsEmpty());
    EXPECT_THAT(pass(kStart + 16 * kMs, true), ElementsAre("Poll", "GetDeviceState"));
    EXPECT_TRUE(application.receive().has_value());

    // A late pass is not made up: the next report is 16 ms after this attempt.
    EXPECT_THAT(pass(kStart + 40 * kMs, true), ElementsAre("Poll", "GetDeviceState"));
    EXPECT_THAT(pass(kStart + 56 * kMs - 1, true), IsEmpty());

    // A failed poll is not retried before the next interval, and sends nothing.
    rig.clock.time = kStart + 56 * kMs;
    rig.wheel.loseFor(kMs);
    EXPECT_THAT(pass(kStart + 56 * kMs, true),
                ElementsAre("Poll", "SetProperty", "Acquire", "Poll"));
    EXPECT_THAT(pass(kStart + 60 * kMs, true), IsEmpty());
    EXPECT_EQ(loop.lastReportTime(), kStart + 56 * kMs);
    EXPECT_TRUE(application.receive().has_value());  // the report of the 40 ms pass
    EXPECT_FALSE(application.receive(std::chrono::milliseconds(50)).has_value());
}

// Times in milliseconds after the loop's start.
std::vector<double> every(double from, double to, double step) {
    std::vector<double> times;
    for (double t = from; t <= to + 1e-9; t += step) times.push_back(t);
    return times;
}

std::int64_t at(double ms) {
    return kStart + std::llround(ms * 1e6);
}

enum class Start { Idle, Telemetry, TestSignal };

struct Pacing {
    const char* what;
    bool lowLatency;
    Start start;
    std::vector<double> arrivals;  // datagrams that end waits; the last one is also really sent
    double stopAt;                 // Ctrl+C in the pause that reaches this time
    std::vector<double> passes;
};

TEST_F(MainLoopTest, PacesPassesByTheClockRulesAndWakesOnTelemetry) {
    std::vector<double> fresh = every(0, 100, 4);
    fresh.insert(fresh.end(), {104, 112, 128});  // stale after 100 ms: only the reports remain
    const std::vector<double> flood = every(0.1, 10, 0.25);
    const Pacing cases[] = {
        {"default: 4 ms sleeps", false, Start::Telemetry, {2.5}, 16, every(0, 12, 4)},
        {"idle: passes at report times", true, Start::Idle, {}, 48, {0, 16, 32}},
        {"test signal: every 4 ms, deaf", true, Start::TestSignal, {2.5}, 16, every(0, 12, 4)},
        {"telemetry: every 4 ms until stale", true, Start::Telemetry, {}, 129, fresh},
        {"a datagram ends the wait", true, Start::Idle, {2.5, 7}, 17, {0, 2.5, 7, 11, 15, 16}},
        {"a clock pass delays no datagram", true, Start::Telemetry, {4.2}, 8.3, {0, 4, 4.2, 8.2}},
        {"a flood: woken passes 1 ms apart", true, Start::Idle, flood, 4, {0, 0.1, 1.1, 2.1, 3.1}},
        // Reports keep their 16 ms: a paced pass gives way, a woken one does not delay them.
        {"a paced pass gives way", true, Start::Telemetry, {3.5}, 16.2, {0, 3.5, 7.5, 11.5, 16}},
        {"a woken pass just before",
         true,
         Start::Telemetry,
         {3.5, 15.5},
         16.2,
         {0, 3.5, 7.5, 11.5, 15.5, 16}},
    };
    for (const Pacing& c : cases) {
        SCOPED_TRACE(c.what);
        fake::SimulatedClock clock;
        clock.time = kStart;
        for (double t : c.arrivals) clock.arrivals.push_back(at(t));
        options.lowLatency = c.lowLatency;
        options.test = c.start == Start::TestSignal;
        MainLoop paced{options, *device, effects, receiver, reporter, running};
        paced.begin(kStart, kStart);
        if (c.start == Start::Telemetry) {
            ASSERT_TRUE(sender.sendTo(kTelemetryPort, R"({"speed":1})"));
        }
        running.store(true);
        bool sent = false;
        auto pause = [&](fake::SimulatedClock& paused) {
            if (!c.arrivals.empty() && paused.time == at(c.arrivals.back()) && !sent)
                sent = sender.sendTo(kTelemetryPort, R"({"speed":2})");
            if (paused.time >= at(c.stopAt)) running.store(false);
        };
        clock.onSleep = pause;
        clock.onWait = pause;

        paced.run(clock);

        std::vector<double> passes;
        for (std::int64_t reading : clock.readings)
            passes.push_back(static_cast<double>(reading - kStart) / 1e6);
        EXPECT_EQ(passes, c.passes);
        // Every pass ends in a wait: a loop in a real-time class must leave the cores between.
        EXPECT_FALSE(clock.runaway);
        if (!c.lowLatency) {
            EXPECT_EQ(clock.waits, 0);
        }
        if (sent) {
            EXPECT_EQ(paced.lastTelemetryTime(), at(c.arrivals.back()));  // taken on arrival
        }
        effects.stop();
    }
}

}  // namespace
}  // namespace torvane
