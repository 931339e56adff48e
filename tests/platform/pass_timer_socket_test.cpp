// The "--low-latency" wait on the real telemetry socket, both timer paths: a datagram, before or
// during the wait, ends it at once; once drained, it no longer does.
#include <gtest/gtest.h>

#include <thread>

#include "platform/pass_timer.h"
#include "support/loopback_peer.h"
#include "telemetry/receiver.h"

namespace platform {
namespace {

using std::chrono::milliseconds;

TEST(PassTimerWait, EndsOnADatagramAndOtherwiseAtItsTime) {
    for (const auto mode : {PassTimer::Mode::HighResolution, PassTimer::Mode::SystemTick}) {
        PassTimer timer(mode);  // outlives the socket, as the wait requires
        WinsockSession network;
        torvane::TelemetryReceiver receiver;
        ASSERT_EQ(receiver.open(network), torvane::ReceiverOpenResult::Opened);
        fake::LoopbackPeer game;
        torvane::TelemetryFrame frame;
        std::int64_t arrival = 0;
        const auto seconds = [&](milliseconds timeout, bool woken) {
            const auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(timer.waitReadable(receiver.socketHandle(), timeout), woken);
            return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        };

        ASSERT_TRUE(game.sendTo(torvane::kTelemetryPort, R"({"speed":1})"));
        EXPECT_LT(seconds(milliseconds(5000), true), 1.0);
        receiver.drain(1, frame, arrival);
        // The wake is spent, and a wait that ended early would make a spin.
        EXPECT_GE(seconds(milliseconds(30), false), 0.025);
        std::thread late([&game] {
            std::this_thread::sleep_for(milliseconds(20));
            game.sendTo(torvane::kTelemetryPort, R"({"speed":2})");
        });
        EXPECT_LT(seconds(milliseconds(5000), true), 2.0);
        late.join();
        receiver.drain(2, frame, arrival);
        EXPECT_EQ(frame.speed, 2.0);

        // One that came during a pass and was read by it leaves nothing to wake for.
        ASSERT_TRUE(game.sendTo(torvane::kTelemetryPort, R"({"speed":3})"));
        std::this_thread::sleep_for(milliseconds(20));
        receiver.drain(3, frame, arrival);
        EXPECT_EQ(frame.speed, 3.0);
        EXPECT_GE(seconds(milliseconds(30), false), 0.025);
    }
}

}  // namespace
}  // namespace platform
