// The main loop's pass with exact clock readings: the 100 ms freshness boundary, the 16 ms report
// schedule, inversion and the test signal's end. Telemetry arrives on the real loopback port.
#include "app/main_loop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "support/fake_directinput.h"
#include "support/loopback_peer.h"

namespace torvane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr std::int64_t kMs = 1'000'000;
constexpr std::int64_t kStart = 5'000 * kMs;

class MainLoopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(receiver.open(network, reporter), ReceiverOpenResult::Opened);
        std::ostringstream ignored;
        effects.create(ignored);
        loop.begin(kStart, kStart);
        world.clearCalls();
    }

    // The calls one pass makes, with the log cleared before it.
    std::vector<std::string> pass(std::int64_t now) {
        world.clearCalls();
        loop.runPass(now);
        return world.calls();
    }

    std::vector<std::string> effectCalls(const std::vector<std::string>& calls) {
        std::vector<std::string> found;
        for (const auto& call : calls)
            if (call.rfind("effect", 0) == 0 || call.find("SendForceFeedbackCommand") != call.npos)
                found.push_back(call);
        return found;
    }

    fake::FakeWorld world;
    fake::FakeDevice& device = world.addDevice();
    BridgeOptions options;
    std::ostringstream err;
    EffectSet effects{&device, err};
    platform::WinsockSession network;
    RawInputReporter reporter;
    TelemetryReceiver receiver;
    std::atomic<bool> running{true};
    MainLoop loop{options, device, effects, receiver, reporter, running};
    fake::LoopbackPeer sender;
};

TEST_F(MainLoopTest, WithoutTelemetryTheEffectsAreNeverStarted) {
    for (std::int64_t now = kStart; now < kStart + 200 * kMs; now += 4 * kMs)
        EXPECT_THAT(effectCalls(pass(now)), IsEmpty());
}

TEST_F(MainLoopTest, AppliesTelemetryUpTo100MillisecondsOldThenStops) {
    ASSERT_TRUE(sender.sendTo(kTelemetryPort, R"({"aligningTorque":0.5})"));
    const std::int64_t arrival = kStart + 4 * kMs;
    const std::vector<std::string> first = effectCalls(pass(arrival));
    EXPECT_EQ(first.size(), 10u);  // five starts, five parameter sets
    EXPECT_EQ(first.front(), "effect1.Start(1,0)");
    EXPECT_EQ(loop.lastTelemetryTime(), arrival);

    // The same frame is applied again on every pass, up to and including an age of 100 ms.
    EXPECT_EQ(effectCalls(pass(arrival + 50 * kMs)).size(), 5u);
    EXPECT_EQ(effectCalls(pass(arrival + 100 * kMs)).size(), 5u);
    EXPECT_EQ(world.parameters().back().effect, "effect5");

    // One nanosecond later it is stale: every effect stops, once.
    EXPECT_THAT(effectCalls(pass(arrival + 100 * kMs + 1)),
                ElementsAre("effect1.Stop", "effect2.Stop", "effect3.Stop", "effect4.Stop",
                            "effect5.Stop", "device1.SendForceFeedbackCommand(2)"));
    EXPECT_THAT(effectCalls(pass(arrival + 104 * kMs)), IsEmpty());

    // Fresh telemetry starts them again.
    ASSERT_TRUE(sender.sendTo(kTelemetryPort, R"({"aligningTorque":0.5})"));
    EXPECT_EQ(effectCalls(pass(arrival + 108 * kMs)).size(), 10u);
}

TEST_F(MainLoopTest, InvertNegatesOnlyTheAligningTorqueHandedToTheEffects) {
    options.invert = true;
    ASSERT_TRUE(sender.sendTo(kTelemetryPort, R"({"aligningTorque":0.5,"speed":45})"));
    pass(kStart + 4 * kMs);

    const auto& constant = world.parameters()[world.parameters().size() - 5];
    ASSERT_EQ(constant.effect, "effect1");
    EXPECT_EQ(constant.as<DICONSTANTFORCE>().lMagnitude, -500);
    EXPECT_EQ(world.parameters()[world.parameters().size() - 3].as<DIPERIODIC>().dwPeriod, 10443u);
    EXPECT_EQ(loop.latestFrame().aligningTorque, 0.5);  // the stored frame keeps its sign
}

TEST_F(MainLoopTest, ReportsEvery16MillisecondsCountedFromTheLastAttempt) {
    fake::LoopbackPeer application;
    ASSERT_TRUE(application.bindTo(kReportPort));
    auto polls = [](const std::vector<std::string>& calls) {
        std::vector<std::string> found;
        for (const auto& call : calls)
            if (call.find(".Poll") != call.npos || call.find(".Acquire") != call.npos ||
                call.find(".GetDeviceState") != call.npos)
                found.push_back(call);
        return found;
    };
    EXPECT_THAT(polls(pass(kStart)), IsEmpty());
    EXPECT_THAT(polls(pass(kStart + 16 * kMs - 1)), IsEmpty());
    EXPECT_THAT(polls(pass(kStart + 16 * kMs)),
                ElementsAre("device1.Poll", "device1.GetDeviceState(272)"));
    EXPECT_TRUE(application.receive().has_value());

    // A late pass is not made up: the next report is 16 ms after this attempt.
    EXPECT_THAT(polls(pass(kStart + 40 * kMs)),
                ElementsAre("device1.Poll", "device1.GetDeviceState(272)"));
    EXPECT_THAT(polls(pass(kStart + 56 * kMs - 1)), IsEmpty());

    // A failed poll is not retried before the next interval, and sends nothing.
    world.failOn("device1.Poll");
    EXPECT_THAT(polls(pass(kStart + 56 * kMs)),
                ElementsAre("device1.Poll", "device1.Acquire", "device1.Poll"));
    EXPECT_THAT(polls(pass(kStart + 60 * kMs)), IsEmpty());
    EXPECT_EQ(loop.lastReportTime(), kStart + 56 * kMs);
    EXPECT_TRUE(application.receive().has_value());  // the report of the 40 ms pass
    EXPECT_FALSE(application.receive(std::chrono::milliseconds(50)).has_value());
}

TEST_F(MainLoopTest, TestModeIgnoresTheNetworkAndEndsAfterSixSeconds) {
    options.test = true;
    options.testMode = "steer";
    ASSERT_TRUE(sender.sendTo(kTelemetryPort, R"({"speed":99})"));

    pass(kStart);
    EXPECT_EQ(loop.latestFrame().speed, 45.0);  // the test signal, not the datagram
    EXPECT_EQ(loop.latestFrame().aligningTorque, 0.85);
    EXPECT_EQ(loop.lastTelemetryTime(), kStart);

    pass(kStart + 6'000 * kMs);  // exactly six seconds: still running
    EXPECT_TRUE(running.load());
    const std::vector<std::string> last = effectCalls(pass(kStart + 6'000 * kMs + 1));
    EXPECT_FALSE(running.load());
    EXPECT_EQ(last.size(), 5u);  // the last pass still applies its frame
}

}  // namespace
}  // namespace torvane
