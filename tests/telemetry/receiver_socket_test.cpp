// The telemetry receiver on real loopback sockets, bound to the program's fixed port.
#include "telemetry/receiver.h"

#include <gtest/gtest.h>

#include <string>

#include "support/loopback_peer.h"

namespace torvane {
namespace {

class TelemetryReceiverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(receiver.open(network, reporter), ReceiverOpenResult::Opened);
    }

    void drain(std::int64_t now) { receiver.drain(now, latest, lastTelemetryTime); }

    platform::WinsockSession network;
    RawInputReporter reporter;
    TelemetryReceiver receiver;
    fake::LoopbackPeer sender;
    TelemetryFrame latest;
    std::int64_t lastTelemetryTime = 0;
};

// A message of exactly size bytes whose speed key sits at its very end.
std::string paddedMessage(std::size_t size, double speedDigit) {
    std::string tail = "\"speed\":" + std::to_string(static_cast<int>(speedDigit));
    std::string text(size - tail.size(), ' ');
    text[0] = '{';
    return text + tail;
}

TEST_F(TelemetryReceiverTest, TakesEveryWaitingDatagramAndTheNewestWins) {
    drain(5);
    EXPECT_EQ(lastTelemetryTime, 0);  // nothing waiting: nothing changes, nothing blocks

    ASSERT_TRUE(sender.sendTo(kTelemetryPort, R"({"speed":1,"curb":true})"));
    ASSERT_TRUE(sender.sendTo(kTelemetryPort, R"({"speed":2,"engineHz":50})"));
    ASSERT_TRUE(sender.sendTo(kTelemetryPort, R"({"speed":3})"));
    drain(1000);

    EXPECT_EQ(latest.speed, 3.0);
    EXPECT_EQ(latest.engineHz, 0.0);  // frames are replaced, never merged
    EXPECT_FALSE(latest.curb);
    EXPECT_EQ(lastTelemetryTime, 1000);

    drain(2000);  // a pass with nothing new keeps the frame and its time
    EXPECT_EQ(latest.speed, 3.0);
    EXPECT_EQ(lastTelemetryTime, 1000);

    ASSERT_TRUE(sender.sendTo(kTelemetryPort, "not json at all"));
    drain(3000);  // still telemetry: a frame of defaults, and fresh
    EXPECT_EQ(latest.speed, 0.0);
    EXPECT_EQ(lastTelemetryTime, 3000);
}

TEST_F(TelemetryReceiverTest, AnEmptyDatagramEndsThePassAndTheRestWaits) {
    ASSERT_TRUE(sender.sendTo(kTelemetryPort, R"({"speed":1})"));
    ASSERT_TRUE(sender.sendTo(kTelemetryPort, ""));
    ASSERT_TRUE(sender.sendTo(kTelemetryPort, R"({"speed":2})"));

    drain(100);
    EXPECT_EQ(latest.speed, 1.0);
    EXPECT_EQ(lastTelemetryTime, 100);

    drain(200);
    EXPECT_EQ(latest.speed, 2.0);
    EXPECT_EQ(lastTelemetryTime, 200);
}

TEST_F(TelemetryReceiverTest, Reads8191BytesWholeAndLosesLongerDatagrams) {
    ASSERT_TRUE(sender.sendTo(kTelemetryPort, paddedMessage(8191, 7)));
    drain(100);
    EXPECT_EQ(latest.speed, 7.0);
    EXPECT_EQ(lastTelemetryTime, 100);

    // One byte more is lost, and ends that pass's draining.
    ASSERT_TRUE(sender.sendTo(kTelemetryPort, paddedMessage(8192, 8)));
    ASSERT_TRUE(sender.sendTo(kTelemetryPort, R"({"speed":9})"));
    drain(200);
    EXPECT_EQ(latest.speed, 7.0);
    EXPECT_EQ(lastTelemetryTime, 100);

    drain(300);
    EXPECT_EQ(latest.speed, 9.0);
    EXPECT_EQ(lastTelemetryTime, 300);
}

TEST_F(TelemetryReceiverTest, ABusyPortCannotBeBound) {
    platform::WinsockSession otherNetwork;
    RawInputReporter otherReporter;
    TelemetryReceiver other;
    EXPECT_EQ(other.open(otherNetwork, otherReporter), ReceiverOpenResult::BindFailed);
}

}  // namespace
}  // namespace torvane
