#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tools/listen/listener.h"
#include "tools/send/sender.h"

namespace torvane::tools {
namespace {

// torvane-send's socket to the bridge's port, and torvane-listen's socket standing in for it:
// the line arrives byte for byte, once.
TEST(SendListenSocket, ALineArrivesByteForByte) {
    DatagramListener listener;
    ASSERT_EQ(listener.open(kTelemetryDestinationPort), ListenerOpenResult::Opened)
        << "UDP port " << kTelemetryDestinationPort << " is taken by another program";
    DatagramSender sender;
    ASSERT_TRUE(sender.open());
    const std::string line = "{\"t\":0.01,\"aligningTorque\":-0.42,\"curb\":true}";
    ASSERT_TRUE(sender.send(line));

    std::optional<std::string_view> received;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!(received = listener.receive()) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(received.has_value());
    EXPECT_EQ(*received, line);
    EXPECT_FALSE(listener.receive().has_value());
}

}  // namespace
}  // namespace torvane::tools
