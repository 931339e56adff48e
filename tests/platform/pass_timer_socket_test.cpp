// The "--low-latency" wait on the real telemetry socket, on both timer paths: a datagram ends it
// at once, whether it arrived before the wait or during it; with none, it pauses until its time,
// also after the previous datagram was drained.
#include <gtest/gtest.h>

#include <thread>

#include "platform/pass_timer.h"
#include "support/loopback_peer.h"
#include "telemetry/receiver.h"

namespace platform {
namespace {

using std::chrono::milliseconds;
using Seconds = std::chrono::duration<double>;

TEST(PassTimerWait, EndsOnADatagramAndOtherwiseAtItsTime) {
    for (const PassTimer::Mode mode :
         {PassTimer::Mode::HighResolution, PassTimer::Mode::SystemTick}) {
        SCOPED_TRACE(mode == PassTimer::Mode::SystemTick ? "system tick" : "high resolution");
        PassTimer timer(mode);  // outlives the socket, as the wait requires
        WinsockSession network;
        torvane::RawInputReporter reporter;
        torvane::TelemetryReceiver receiver;
        ASSERT_EQ(receiver.open(network, reporter), torvane::ReceiverOpenResult::Opened);
        const SOCKET telemetry = receiver.socketHandle();
        fake::LoopbackPeer game;
        torvane::TelemetryFrame frame;
        std::int64_t arrival = 0;
        auto timedWait = [&](milliseconds timeout) {
            const auto start = std::chrono::steady_clock::now();
            const bool woken = timer.waitReadable(telemetry, timeout);
            return std::pair{woken, Seconds(std::chrono::steady_clock::now() - start).count()};
        };

        auto [woken, elapsed] = timedWait(milliseconds(30));
        EXPECT_FALSE(woken);
        EXPECT_GE(elapsed, 0.025);  // a wait that ends early would make the loop spin

        ASSERT_TRUE(game.sendTo(torvane::kTelemetryPort, R"({"speed":1})"));
        std::tie(woken, elapsed) = timedWait(milliseconds(5000));
        EXPECT_TRUE(woken);
        EXPECT_LT(elapsed, 1.0);
        receiver.drain(1, frame, arrival);
        EXPECT_EQ(arrival, 1);

        // Drained: the wake is spent and does not end the next wait.
        std::tie(woken, elapsed) = timedWait(milliseconds(30));
        EXPECT_FALSE(woken);
        EXPECT_GE(elapsed, 0.025);

        std::thread late([&game] {
            std::this_thread::sleep_for(milliseconds(20));
            game.sendTo(torvane::kTelemetryPort, R"({"speed":2})");
        });
        std::tie(woken, elapsed) = timedWait(milliseconds(5000));
        late.join();
        EXPECT_TRUE(woken);
        EXPECT_LT(elapsed, 2.0);
        receiver.drain(2, frame, arrival);
        EXPECT_EQ(frame.speed, 2.0);
    }
}

}  // namespace
}  // namespace platform
