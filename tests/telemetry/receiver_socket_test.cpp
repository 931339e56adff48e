// The telemetry receiver on real loopback sockets, bound to the program's fixed port.
#include "telemetry/receiver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/loopback_peer.h"

namespace torvane {
namespace {

// A message of exactly size bytes whose speed key sits at its very end.
std::string padded(std::size_t size, char digit) {
    return "{" + std::string(size - 10, ' ') + "\"speed\":" + digit;
}

TEST(TelemetryReceiver, TakesWhatWaitsUpToAnEmptyOrOversizedDatagramAndTheNewestWins) {
    platform::WinsockSession network;
    TelemetryReceiver receiver;
    ASSERT_EQ(receiver.open(network), ReceiverOpenResult::Opened);
    fake::LoopbackPeer game;
    TelemetryFrame latest;
    std::int64_t lastTelemetryTime = 0;
    const struct {
        const char* why;
        std::vector<std::string> sent;
        double speed;  // after a drain at time now
        std::int64_t now, lastTelemetryTime;
    } passes[] = {
        // clang-format off
        {"nothing waiting: nothing changes, nothing blocks", {}, 0, 5, 0},
        {"frames are replaced, never merged", {R"({"speed":1,"curb":true})", R"({"speed":2,"engineHz":50})", R"({"speed":3})"}, 3, 1000, 1000},
        {"nothing new keeps the frame and its time", {}, 3, 2000, 1000},
        {"not JSON: a frame of defaults, and fresh", {"not json at all"}, 0, 3000, 3000},
        {"an empty datagram ends the pass", {R"({"speed":1})", "", R"({"speed":2})"}, 1, 4000, 4000},
        {"and the rest waits for the next", {}, 2, 5000, 5000},
        {"8191 bytes are read whole", {padded(8191, '7')}, 7, 6000, 6000},
        {"one byte more is lost and ends the pass", {padded(8192, '8'), R"({"speed":9})"}, 7, 7000, 6000},
        {"the next pass reads on", {}, 9, 8000, 8000},
        // clang-format on
    };
    for (const auto& pass : passes) {
        for (const std::string& datagram : pass.sent)
            ASSERT_TRUE(game.sendTo(kTelemetryPort, datagram));
        receiver.drain(pass.now, latest, lastTelemetryTime);
        EXPECT_EQ(latest.speed, pass.speed) << pass.why;
        EXPECT_FALSE(latest.curb || latest.engineHz != 0.0) << pass.why;
        EXPECT_EQ(lastTelemetryTime, pass.lastTelemetryTime) << pass.why;
    }

    platform::WinsockSession otherNetwork;
    TelemetryReceiver other;
    EXPECT_EQ(other.open(otherNetwork), ReceiverOpenResult::BindFailed);
}

}  // namespace
}  // namespace torvane
