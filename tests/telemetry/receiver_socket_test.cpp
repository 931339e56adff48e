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
    // Pass i drains at (i + 1) s what was sent before it: the frame's speed, its time.
    const struct {
        std::vector<std::string> sent;
        double speed;
        std::int64_t last;
    } passes[] = {
        {.sent = {}, .speed = 0, .last = 0},  // nothing waiting: nothing changes, nothing blocks
        // Frames are replaced, never merged; nothing new keeps the frame and its time.
        {.sent = {R"({"curb":true,"engineHz":50})", R"({"speed":3})"}, .speed = 3, .last = 2000},
        {.sent = {}, .speed = 3, .last = 2000},
        {.sent = {"not json at all"}, .speed = 0, .last = 4000},  // a frame of defaults, and fresh
        // An empty datagram ends the pass, and the rest waits for the next.
        {.sent = {R"({"speed":1})", "", R"({"speed":2})"}, .speed = 1, .last = 5000},
        {.sent = {}, .speed = 2, .last = 6000},
        // 8191 bytes are read whole; one byte more is lost and ends the pass; the next reads on.
        {.sent = {padded(8191, '7')}, .speed = 7, .last = 7000},
        {.sent = {padded(8192, '8'), R"({"speed":9})"}, .speed = 7, .last = 7000},
        {.sent = {}, .speed = 9, .last = 9000},
    };
    for (const auto& pass : passes) {
        const std::int64_t now = (&pass - passes + 1) * 1000;
        SCOPED_TRACE(now);
        for (const std::string& datagram : pass.sent)
            ASSERT_TRUE(game.sendTo(kTelemetryPort, datagram));
        receiver.drain(now, latest, lastTelemetryTime);
        EXPECT_EQ(latest.speed, pass.speed);
        EXPECT_FALSE(latest.curb || latest.engineHz != 0.0);
        EXPECT_EQ(lastTelemetryTime, pass.last);
    }

    platform::WinsockSession otherNetwork;
    TelemetryReceiver other;
    EXPECT_EQ(other.open(otherNetwork), ReceiverOpenResult::BindFailed);
}

}  // namespace
}  // namespace torvane
