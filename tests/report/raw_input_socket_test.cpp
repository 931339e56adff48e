#include <gtest/gtest.h>

#include <chrono>
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

// The driving application's side is a non-blocking socket on 127.0.0.1:8767.
TEST(RawInputSocket, SendsExactlyTheReportTextAndNothingWhenTheStateCannotBeRead) {
    platform::WinsockSession winsock;
    ASSERT_TRUE(winsock.start());
    platform::Socket receiver = udpSocket();
    ASSERT_TRUE(receiver.valid());
    const sockaddr_in address = platform::loopbackAddress(kReportPort);
    ASSERT_NE(bind(receiver.get(), reinterpret_cast<const sockaddr*>(&address),
                   static_cast<int>(sizeof address)),
              SOCKET_ERROR)
        << "UDP port " << kReportPort << " is taken by another program";
    u_long nonBlocking = 1;
    ASSERT_NE(ioctlsocket(receiver.get(), static_cast<long>(FIONBIO), &nonBlocking), SOCKET_ERROR);
    RawInputReporter reporter;
    reporter.adopt(udpSocket());

    DIJOYSTATE2 state{};
    state.lX = -1532;
    state.rglSlider[1] = -2147483647 - 1;
    state.rgbButtons[0] = state.rgbButtons[127] = 0x80;
    fake::FakeWorld world;
    fake::FakeDevice& lost = world.addDevice();
    fake::DeviceBehaviour behaviour;
    behaviour.states = {state};
    fake::FakeDevice& working = world.addDevice(behaviour);
    world.failOn("device1.Poll", DIERR_INPUTLOST);

    // The failed attempt must put nothing on the wire: the first datagram to arrive is the one
    // from the working device that follows it.
    bool reacquired = false;
    EXPECT_FALSE(reporter.sendRawInput(lost, reacquired));
    ASSERT_TRUE(reporter.sendRawInput(working, reacquired));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    char buffer[2048];
    int received = -1;
    while (received < 0 && std::chrono::steady_clock::now() < deadline) {
        received = recv(receiver.get(), buffer, static_cast<int>(sizeof buffer), 0);
        if (received < 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_GE(received, 0) << "no datagram arrived on port " << kReportPort;
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(received)),
              formatRawInputReport(state).view());
}

}  // namespace
}  // namespace torvane
