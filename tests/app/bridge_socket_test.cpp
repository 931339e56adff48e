// The lifecycle on the virtual wheel, real loopback sockets and simulated time: the forces survive
// the wheel's faults, and "--low-latency" waits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "support/loopback_peer.h"
#include "support/wheel_rig.h"
#include "telemetry/receiver.h"

namespace torvane {
namespace {

using wheel::Method;

// A wheel that behaves as DirectInput documents it, lost or failing. The bridge runs 12 passes
// with fresh telemetry (aligning torque pass/20) from the second one on, then Ctrl+C.
TEST(BridgeRun, KeepsTheForcesAliveThroughLossAndFailedStarts) {
    const std::string retrying = "Could not start the force-feedback effects; retrying.\n";
    const std::string again = retrying + "Force-feedback effects are playing again.\n";
    const struct {
        // After pass loseReadAt a read is lost, after awayAt the wheel is away for 15 ms; Start
        // fails until pass startFailsUntil.
        int loseReadAt = -1, awayAt = -1, startFailsUntil = 0;
        std::string err{};
        std::string forces;  // whether the wheel pushed in the 4 ms after each pass
        std::size_t starts;  // Start calls of the constant force
    } cases[] = {
        {.forces = "011111111111", .starts = 1},  // a well-behaved wheel
        // Reports go out in passes 5 and 9: the wheel comes back at once, without its effects.
        {.loseReadAt = 4, .forces = "011101111111", .starts = 2},
        {.awayAt = 3, .err = again, .forces = "011000000111", .starts = 7},  // until pass 7
        {.startFailsUntil = 2, .err = again, .forces = "001111111111", .starts = 2},
        {.startFailsUntil = 13, .err = retrying, .forces = "000000000000", .starts = 11},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        fake::Rig rig;
        rig.wheel.failStart(c.startFailsUntil > 0);
        fake::LoopbackPeer game;
        std::string forces;
        rig.clock.onSleep = [&](fake::SimulatedClock& clock) {
            const int pass = clock.sleeps;
            forces += std::abs(rig.wheel.readout().torqueNewtonMetres) > 0 ? '1' : '0';
            rig.source.loseNextRead = pass == c.loseReadAt;
            if (pass == c.awayAt) rig.wheel.loseFor(15'000'000);
            rig.wheel.failStart(pass < c.startFailsUntil);
            game.sendTo(kTelemetryPort, "{\"aligningTorque\":" + std::to_string(pass / 20.0) + "}");
            if (pass == 12) rig.running = false;
        };
        const fake::Run run = rig.run();

        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(forces, c.forces);
        EXPECT_EQ(rig.journal.entries(Method::Start, 0).size(), c.starts);
        // The last pass sent the newest telemetry (pass 11's 0.55, at gain 0.1).
        EXPECT_EQ(rig.journal.lastParameters(0)->level, 550);
        // Autocentering is switched off right before every Acquire.
        const std::vector<wheel::JournalEntry> calls = rig.journal.entries();
        for (std::size_t i = 1; i < calls.size(); ++i)
            if (calls[i].method == Method::Acquire) {
                EXPECT_EQ(calls[i - 1].method, Method::SetProperty);
                EXPECT_EQ(calls[i - 1].argument, 9u);  // DIPROP_AUTOCENTER
            }
        EXPECT_EQ(rig.source.openDrivers, 0);
    }
}

// "--low-latency" raises the loop above a game's threads: every pass must still end in a wait that
// pauses (idle, until the next 16 ms report), leaving them the cores.
TEST(BridgeLifecycle, LowLatencyEndsEveryPassInAWait) {
    fake::Rig rig;
    int waits = 0;
    std::int64_t shortest = 16'000'000;
    rig.clock.onWait = [&](fake::SimulatedClock&, std::int64_t paused) {
        shortest = std::min(shortest, paused);
        if (++waits == 100) rig.running = false;
    };
    const fake::Run run = rig.run(nullptr, {TORVANE_WIDE("--low-latency")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_GE(shortest, 15'000'000);
    EXPECT_NE(run.out.find("\nLow latency: "), std::string::npos);
}

}  // namespace
}  // namespace torvane
