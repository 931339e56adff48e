// The whole lifecycle on the fake controller with the real loopback sockets: telemetry sent to
// 127.0.0.1:8766 reaches the effects, raw input arrives on 127.0.0.1:8767, and every mode ends
// with its exit code and releases everything in order.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/bridge.h"
#include "report/raw_input.h"
#include "support/bridge_runner.h"
#include "support/loopback_peer.h"
#include "telemetry/receiver.h"

namespace torvane {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::StartsWith;

const char* const kEffectsLine =
    "FFB effects: constant=1, engine sine=1, road sine=1, curb square=1, damper=1\n";

std::vector<std::string> lastCalls(const fake::FakeWorld& world, std::size_t count) {
    const auto& calls = world.calls();
    return {calls.end() - static_cast<std::ptrdiff_t>(std::min(count, calls.size())), calls.end()};
}

TEST(BridgeRun, ABusyTelemetryPortEndsStartupWithCode7InEveryMode) {
    fake::LoopbackPeer squatter;
    ASSERT_TRUE(squatter.bindTo(kTelemetryPort));
    for (const bool testMode : {false, true}) {
        SCOPED_TRACE(testMode ? "test mode" : "bridge");
        fake::FakeWorld world;
        fake::addWheel(world);
        fake::SimulatedClock clock;
        std::atomic<bool> running{true};
        std::vector<const WCHAR*> arguments;
        if (testMode) arguments.push_back(TORVANE_WIDE("--test"));

        const fake::BridgeRun run = fake::runBridgeOnFake(arguments, clock, running);

        EXPECT_EQ(run.exitCode, 7);
        EXPECT_EQ(run.err, "Could not bind telemetry UDP port 8766.\n");
        EXPECT_THAT(lastCalls(world, 3), ElementsAre("device2.EnumEffects(0)", "device2.Release",
                                                     "directInput.Release"));
        EXPECT_TRUE(world.callsStartingWith("device*.CreateEffect").empty());
        EXPECT_EQ(clock.sleeps, 0);
        EXPECT_EQ(world.outstandingReferences(), 0u);
    }
}

TEST(BridgeRun, CtrlCBeforeTheFirstPassStillStartsAndShutsDownInOrder) {
    fake::FakeWorld world;
    fake::addWheel(world);
    fake::SimulatedClock clock;
    std::atomic<bool> running{false};

    const fake::BridgeRun run = fake::runBridgeOnFake({}, clock, running);

    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, std::string("Attached game controllers:\n  [0] FANATEC Wheel FFB=1\n"
                                   "Selected: FANATEC Wheel\n") +
                           kEffectsLine +
                           "Bridge active. Gain=0.1 (hard maximum 0.35). Ctrl+C to stop.\n");
    EXPECT_EQ(clock.sleeps, 0);
    EXPECT_TRUE(world.callsStartingWith("device*.Poll").empty());
    // Never started, so nothing to stop: unacquire, then release in reverse order of creation.
    EXPECT_THAT(lastCalls(world, 8),
                ElementsAre("device2.Unacquire", "effect5.Release", "effect4.Release",
                            "effect3.Release", "effect2.Release", "effect1.Release",
                            "device2.Release", "directInput.Release"));
    EXPECT_EQ(world.outstandingReferences(), 0u);
}

TEST(BridgeRun, TelemetryReachesTheWheelAndRawInputReachesTheApplication) {
    fake::FakeWorld world;
    fake::FakeController& wheel = fake::addWheel(world);
    DIJOYSTATE2 state{};
    state.lX = -1532;
    state.rgbButtons[12] = 0x80;
    wheel.behaviour.states = {state};
    fake::LoopbackPeer application;
    ASSERT_TRUE(application.bindTo(kReportPort));
    fake::LoopbackPeer game;
    fake::SimulatedClock clock;
    std::atomic<bool> running{true};
    fake::markPasses(world, clock, [&](int pass) {
        if (pass == 1)
            game.sendTo(kTelemetryPort,
                        R"({"aligningTorque":-0.42,"engineHz":61.5,"engineGain":0.3,)"
                        R"("roadGain":0.12,"curbPulse":0.8,"speed":27.4,"verticalAccel":1.6,)"
                        R"("curb":true,"offroad":false})");
        if (pass == 10) running.store(false);
    });

    const fake::BridgeRun run =
        fake::runBridgeOnFake({TORVANE_WIDE("--gain"), TORVANE_WIDE("0.1")}, clock, running);

    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_THAT(run.out,
                EndsWith(std::string(kEffectsLine) +
                         "Bridge active. Gain=0.1 (hard maximum 0.35). Ctrl+C to stop.\n"));
    // Pass 2 took the datagram: effects started, then all five parameter sets sent.
    const std::vector<std::string> second = fake::callsOfPass(world, 2);
    ASSERT_GE(second.size(), 10u);
    EXPECT_EQ(second[0], "effect1.Start(1,0)");
    EXPECT_EQ(second[5], "effect1.SetParameters(256)");
    const auto& parameters = world.parameters();
    ASSERT_GE(parameters.size(), 10u);
    const auto sent = parameters.end() - 5;  // the last pass's five records
    EXPECT_EQ(sent[0].as<DICONSTANTFORCE>().lMagnitude, -420);
    EXPECT_EQ(sent[1].as<DIPERIODIC>().dwMagnitude, 660u);
    EXPECT_EQ(sent[1].as<DIPERIODIC>().dwPeriod, 16260u);
    EXPECT_EQ(sent[3].as<DIPERIODIC>().dwMagnitude, 800u);
    EXPECT_EQ(sent[4].as<DICONDITION>().lPositiveCoefficient, 250);

    EXPECT_EQ(application.receive(),
              R"({"type":"raw-input","axes":{"x":-1532,"y":0,"z":0,"rx":0,"ry":0,"rz":0,)"
              R"("slider0":0,"slider1":0},"buttons":[12]})");

    EXPECT_THAT(
        lastCalls(world, 14),
        ElementsAre("effect1.Stop", "effect2.Stop", "effect3.Stop", "effect4.Stop", "effect5.Stop",
                    "device2.SendForceFeedbackCommand(2)", "device2.Unacquire", "effect5.Release",
                    "effect4.Release", "effect3.Release", "effect2.Release", "effect1.Release",
                    "device2.Release", "directInput.Release"));
    EXPECT_EQ(world.outstandingReferences(), 0u);
}

// A wheel that behaves as DirectInput documents it: losing it drops its effects, Start fails
// while it is away, and autocentering can be switched only while it is not acquired. The bridge
// runs 12 passes with fresh telemetry from the second one on, then Ctrl+C.
TEST(BridgeRun, KeepsTheForcesAliveThroughLossAndFailedStarts) {
    const std::string retrying = "Could not start the force-feedback effects; retrying.\n";
    const std::string playingAgain = "Force-feedback effects are playing again.\n";
    const std::string warning =
        "Warning: the wheel's automatic centering could not be disabled. Stop the bridge if "
        "forces feel abnormal.\n";
    const struct {
        const char* what;
        std::function<void(fake::FakeWorld&, fake::FakeController&)> arrange;
        std::function<void(fake::FakeDevice&, int pass)> afterPass;
        std::string err;
        std::string playing;  // how many effects play after each pass
        std::size_t starts;   // Start calls in the whole run
    } cases[] = {
        {"a well-behaved wheel", nullptr, nullptr, "", "055555555555", 5},
        // Reports go out in passes 5 and 9.
        {"lost at a poll and acquired again at once",
         [](fake::FakeWorld&, fake::FakeController& wheel) {
             wheel.behaviour.pollResults = {DIERR_INPUTLOST};
         },
         nullptr, "", "055505555555", 10},
        {"refuses autocentering, and is lost",
         [](fake::FakeWorld& world, fake::FakeController& wheel) {
             world.failOn("device2.SetProperty(DIPROP_AUTOCENTER");
             wheel.behaviour.pollResults = {DIERR_INPUTLOST};
         },
         nullptr, warning, "055505555555", 10},
        {"away from pass 3 to pass 7", nullptr,
         [](fake::FakeDevice& device, int pass) {
             if (pass == 3) device.unplug();
             if (pass == 7) device.plugIn();
         },
         retrying + playingAgain, "055000000555", 35},
        {"Start fails once",
         [](fake::FakeWorld& world, fake::FakeController&) {
             world.failOn("effect3.Start", E_FAIL, 0, 1);
         },
         nullptr, retrying + playingAgain, "045555555555", 6},
        {"Start always fails",
         [](fake::FakeWorld& world, fake::FakeController&) { world.failOn("effect*.Start"); },
         nullptr, retrying, "000000000000", 55},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fake::FakeWorld world;
        fake::FakeController& wheel = fake::addWheel(world);
        if (c.arrange) c.arrange(world, wheel);
        fake::LoopbackPeer game;
        fake::SimulatedClock clock;
        std::atomic<bool> running{true};
        std::string playing;
        fake::markPasses(world, clock, [&](int pass) {
            fake::FakeDevice& device = *world.devices()[1];
            int count = 0;
            for (const auto& effect : world.effects()) count += effect->playing() ? 1 : 0;
            playing += std::to_string(count);
            if (c.afterPass) c.afterPass(device, pass);
            game.sendTo(kTelemetryPort, "{\"aligningTorque\":" + std::to_string(pass / 20.0) + "}");
            if (pass == 12) running.store(false);
        });

        const fake::BridgeRun run = fake::runBridgeOnFake({}, clock, running);

        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(playing, c.playing);
        EXPECT_EQ(world.callsStartingWith("effect*.Start").size(), c.starts);
        // The last pass sent the newest telemetry (pass 11's 0.55, at gain 0.1).
        EXPECT_EQ(
            world.parameters()[world.parameters().size() - 5].as<DICONSTANTFORCE>().lMagnitude,
            550);
        // Autocentering is switched off right before every Acquire, while it can be.
        const auto& calls = world.calls();
        for (std::size_t i = 1; i < calls.size(); ++i) {
            if (calls[i] == "device2.Acquire") {
                EXPECT_EQ(calls[i - 1].rfind("device2.SetProperty(DIPROP_AUTOCENTER", 0), 0u);
            }
        }
    }
}

TEST(BridgeRun, TestModeDrivesTheWheelForSixSecondsAndEndsByItself) {
    fake::FakeWorld world;
    fake::addWheel(world);
    fake::LoopbackPeer application;
    ASSERT_TRUE(application.bindTo(kReportPort));
    fake::SimulatedClock clock;
    std::atomic<bool> running{true};

    const fake::BridgeRun run = fake::runBridgeOnFake(
        {TORVANE_WIDE("--test"), TORVANE_WIDE("--test-mode"), TORVANE_WIDE("STEER"),
         TORVANE_WIDE("--invert"), TORVANE_WIDE("--gain"), TORVANE_WIDE("0.123456789")},
        clock, running);

    EXPECT_EQ(run.exitCode, 0);
    EXPECT_THAT(run.out, EndsWith("Bridge active. Gain=0.123457 (hard maximum 0.35). Ctrl+C to "
                                  "stop.\n"));
    EXPECT_EQ(clock.sleeps, 1502);  // passes at 0, 4, ... 6004 ms; the last one passes 6 s
    EXPECT_FALSE(running.load());
    // "steer" pulls at 0.85, inverted, times the gain.
    const auto& constant = world.parameters()[world.parameters().size() - 5];
    EXPECT_EQ(constant.as<DICONSTANTFORCE>().lMagnitude, -1049);
    EXPECT_THAT(application.receive(), ::testing::Optional(StartsWith("{\"type\":\"raw-input\"")));
    EXPECT_THAT(lastCalls(world, 2), ElementsAre("device2.Release", "directInput.Release"));
    EXPECT_EQ(world.outstandingReferences(), 0u);
}

}  // namespace
}  // namespace torvane
