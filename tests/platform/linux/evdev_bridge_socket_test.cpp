// The whole program on the evdev wheels of a fake kernel: Linux's DirectInput8Create over an
// EvdevSource lists the nodes, plays a real telemetry datagram on the chosen wheel, and leaves the
// node as it found it at Ctrl+C.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "app/bridge.h"
#include "evdev_fake_kernel.h"
#include "platform/linux/device_backend.h"
#include "platform/linux/evdev/source.h"
#include "support/loopback_peer.h"
#include "support/simulated_clock.h"
#include "telemetry/receiver.h"

namespace {

using Writes = std::vector<std::pair<int, int>>;

// Registered for one run, and taken back however the test ends.
struct Registration {
    explicit Registration(evdev::EvdevSource& source) : source(source) {
        platform::registerDeviceBackend(&source);
    }
    ~Registration() { platform::unregisterDeviceBackend(&source); }
    evdev::EvdevSource& source;
};

TEST(EvdevBridge, PlaysADatagramOnTheChosenWheelAndLetsItGoAtCtrlC) {
    const struct {
        fake::EvdevNode wheel;
        const char* effects;
        std::vector<std::string> records;  // what each pass with the worked example uploads
        Writes writes;                     // EV_FF writes until Ctrl+C: gain, each start once
    } rows[] = {
        {fake::pidBase(),
         "constant=1, engine sine=1, road sine=1, curb square=1, damper=1",
         {"0 4000 0 | constant -1376", "1 4000 0 | periodic 5a 2163+0 16 ms phase 0",
          "2 4000 0 | periodic 5a 577+0 14 ms phase 0",
          "3 4000 0 | periodic 58 2621+0 10 ms phase 0",
          "4 4000 0 | condition 55 819/819 65535/65535 centre 0 band 0"},
         {{FF_GAIN, 0xFFFF}, {FF_GAIN, 0xFFFF}, {0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}}},
        {fake::beltWheel(),
         "constant=1, engine sine=0, road sine=0, curb square=0, damper=0",
         {"0 4000 0 | constant -1376"},
         {{FF_GAIN, 0xFFFF}, {FF_GAIN, 0xFFFF}, {FF_AUTOCENTER, 0}, {0, 1}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.wheel.name);
        fake::EvdevKernel kernel;
        kernel.nodes = {{0, fake::pedals()}, {1, row.wheel}};
        const fake::EvdevNode& wheel = kernel.nodes[1];
        std::ostringstream out, err;
        evdev::EvdevSource source(kernel, err);
        const Registration registration(source);
        fake::LoopbackPeer game;
        fake::SimulatedClock clock;
        std::atomic<bool> running{true};
        std::vector<std::string> lastPass;
        Writes written;
        bool grabbed = false;
        clock.onSleep = [&](fake::SimulatedClock& c) {
            if (c.sleeps == 1)
                game.sendTo(torvane::kTelemetryPort,
                            R"({"aligningTorque":-0.42,"engineHz":61.5,"engineGain":0.3,)"
                            R"("roadGain":0.12,"curbPulse":0.8,"speed":27.4,)"
                            R"("verticalAccel":1.6,"curb":true})");
            if (c.sleeps < 10) return;
            const std::size_t count = std::min(row.records.size(), wheel.uploads.size());
            for (std::size_t i = wheel.uploads.size() - count; i < wheel.uploads.size(); ++i)
                lastPass.push_back(fake::summary(wheel.uploads[i]));
            written = wheel.writes;
            grabbed = wheel.grabbed;
            running = false;  // Ctrl+C
        };
        const WCHAR* argv[] = {TORVANE_WIDE("torvane-bridge")};
        const int exitCode =
            torvane::runBridge(1, argv, {DirectInput8Create, clock, running, out, err});

        EXPECT_EQ(exitCode, 0);
        EXPECT_EQ(err.str(), "");
        EXPECT_EQ(out.str(),
                  "Attached game controllers:\n  [0] Pedals FFB=0\n  [1] " + row.wheel.name +
                      " FFB=1\nSelected: " + row.wheel.name + "\nFFB effects: " + row.effects +
                      "\nBridge active. Gain=0.1 (hard maximum 0.35). Ctrl+C to stop.\n");
        EXPECT_EQ(lastPass, row.records);
        EXPECT_EQ(written, row.writes);
        EXPECT_TRUE(grabbed);
        EXPECT_TRUE(wheel.loaded.empty());  // every effect removed
        EXPECT_FALSE(wheel.grabbed);
    }
}

}  // namespace
