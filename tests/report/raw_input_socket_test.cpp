#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "platform/resources.h"
#include "report/raw_input.h"
#include "support/fake_directinput.h"

namespace torvane {
namespace {

platform::Socket udpSocket() {
    return platform::Socket(static_cast<SOCKET>(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)));
}

/// Stands in for the driving application: a non-blocking socket on 127.0.0.1:8767.
class RawInputSocket : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(winsock_.start());
        receiver_ = udpSocket();
        ASSERT_TRUE(receiver_.valid());
        const sockaddr_in address = platform::loopbackAddress(kReportPort);
        ASSERT_NE(bind(receiver_.get(), reinterpret_cast<const sockaddr*>(&address),
                       static_cast<int>(sizeof address)),
                  SOCKET_ERROR)
            << "UDP port " << kReportPort << " is taken by another program";
        u_long nonBlocking = 1;
        ASSERT_NE(ioctlsocket(receiver_.get(), static_cast<long>(FIONBIO), &nonBlocking),
                  SOCKET_ERROR);
        platform::Socket sender = udpSocket();
        ASSERT_TRUE(sender.valid());
        reporter_.adopt(std::move(sender));
    }

    void TearDown() override {
        reporter_.close();
        receiver_.close();
    }

    /// The next datagram, waiting for it up to a generous limit; nothing if none came.
    std::optional<std::string> receive() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        char buffer[2048];
        do {
            const int received = recv(receiver_.get(), buffer, static_cast<int>(sizeof buffer), 0);
            if (received >= 0) return std::string(buffer, static_cast<std::size_t>(received));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } while (std::chrono::steady_clock::now() < deadline);
        return std::nullopt;
    }

    platform::WinsockSession winsock_;
    platform::Socket receiver_;
    RawInputReporter reporter_;
};

DIJOYSTATE2 busyState() {
    DIJOYSTATE2 state{};
    state.lX = -1532;
    state.lY = 10000;
    state.lZ = -10000;
    state.rglSlider[1] = -2147483647 - 1;
    state.rgbButtons[0] = state.rgbButtons[12] = state.rgbButtons[127] = 0x80;
    return state;
}

TEST_F(RawInputSocket, DatagramCarriesExactlyTheReportText) {
    fake::FakeWorld world;
    fake::DeviceBehaviour behaviour;
    behaviour.states = {busyState()};
    fake::FakeDevice& device = world.addDevice(behaviour);

    ASSERT_TRUE(reporter_.sendRawInput(device));
    const std::optional<std::string> datagram = receive();
    ASSERT_TRUE(datagram.has_value()) << "no datagram arrived on port " << kReportPort;
    const RawInputText expected = formatRawInputReport(busyState());
    EXPECT_EQ(*datagram, std::string(expected.view()));
    EXPECT_EQ(datagram->size(), expected.length);
    EXPECT_EQ(datagram->front(), '{');
    EXPECT_EQ(datagram->back(), '}');
}

TEST_F(RawInputSocket, FailedPollSendsNothing) {
    fake::FakeWorld world;
    fake::FakeDevice& lost = world.addDevice();
    fake::DeviceBehaviour behaviour;
    behaviour.states = {busyState()};
    fake::FakeDevice& working = world.addDevice(behaviour);
    world.failOn("device1.Poll", DIERR_INPUTLOST);

    EXPECT_FALSE(reporter_.sendRawInput(lost));
    // The failed attempt must not have put anything on the wire: the first datagram to arrive is
    // the one from the working device that follows it.
    ASSERT_TRUE(reporter_.sendRawInput(working));
    const std::optional<std::string> datagram = receive();
    ASSERT_TRUE(datagram.has_value());
    EXPECT_EQ(*datagram, std::string(formatRawInputReport(busyState()).view()));
}

}  // namespace
}  // namespace torvane
