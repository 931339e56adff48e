#include <gtest/gtest.h>

#include "report/raw_input.h"
#include "support/loopback_peer.h"
#include "support/wheel_rig.h"

namespace torvane {
namespace {

// The driving application's side is a socket on 127.0.0.1:8767.
TEST(RawInputSocket, SendsExactlyTheReportTextAndNothingWhenTheStateCannotBeRead) {
    fake::LoopbackPeer application;
    ASSERT_TRUE(application.bindTo(kReportPort)) << "UDP port " << kReportPort << " is taken";
    platform::WinsockSession winsock;
    ASSERT_TRUE(winsock.start());
    RawInputReporter reporter;
    reporter.adopt(platform::Socket(static_cast<SOCKET>(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP))));
    fake::Rig rig;
    platform::ComPtr<IDirectInputDevice8W> device = rig.openDevice();
    rig.wheel.pressButton(0, true);
    rig.wheel.pressButton(15, true);
    rig.wheel.pressPedal(wheel::Axis::Z, 1.0);

    // The failed attempt must put nothing on the wire: the first datagram to arrive is the one
    // after the wheel came back.
    bool reacquired = false;
    device->Unacquire();
    rig.wheel.refuseAcquire(true);
    EXPECT_FALSE(reporter.sendRawInput(*device, reacquired));
    rig.wheel.refuseAcquire(false);
    ASSERT_TRUE(reporter.sendRawInput(*device, reacquired));
    EXPECT_EQ(application.receive(),
              R"({"type":"raw-input","axes":{"x":0,"y":10000,"z":-10000,"rx":0,"ry":0,"rz":0,)"
              R"("slider0":0,"slider1":0},"buttons":[0,15]})");
}

}  // namespace
}  // namespace torvane
