// The monitor's status line for known passes; how often it is written is seen in tests/e2e.
#include "observe/monitor.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace observe {
namespace {

constexpr std::int64_t kMs = 1'000'000;

struct FixedRim final : RimProbe {
    bool read(double& torque, double& angle) override {
        torque = 0.344;
        angle = -12.34;
        return true;
    }
};

/// The worked example playing, the constant force clipped, 250 datagrams a second, the newest
/// 3 ms old, the wheel at -1532.
PassRecord playing(std::int64_t now) {
    PassRecord pass{.now = now, .applied = true, .wheelKnown = true, .wheelX = -1532};
    pass.datagrams = static_cast<std::uint64_t>(now / (4 * kMs));
    pass.lastTelemetryTime = now - 3 * kMs;
    pass.effects = {.constantForce = {.magnitude = -420, .clipped = true, .sent = true},
                    .engineSine = {.magnitude = 660, .periodMicroseconds = 16260, .sent = true},
                    .roadSine = {.magnitude = 176, .periodMicroseconds = 13890, .sent = true},
                    .curbSquare = {.magnitude = 800, .periodMicroseconds = 9585, .sent = true},
                    .damper = {.magnitude = 250, .sent = true},
                    .started = true};
    return pass;
}

TEST(Monitor, ShowsOnePassInOneLine) {
    const PassRecord idle{.now = 1000 * kMs};
    PassRecord noDamper = playing(1000 * kMs);
    noDamper.effects.damper.sent = false;
    FixedRim rim;
    const struct {
        const char* what;
        PassRecord pass;
        bool testSignal;
        RimProbe* rim;
        const char* line;
    } cases[] = {
        {"playing, with a rim", playing(1000 * kMs), false, &rim,
         "telemetry 250/s age 3 ms | playing: constant -4.2%! engine 6.6% road 1.8% curb 8.0% "
         "damper 2.5% | x -1532 | 0.34 Nm -12.3 deg\n"},
        {"nothing yet", idle, false, nullptr, "telemetry 0/s age - | stopped | x -\n"},
        {"the test signal, no damper", noDamper, true, nullptr,
         "test signal | playing: constant -4.2%! engine 6.6% road 1.8% curb 8.0% damper - | "
         "x -1532\n"},
    };
    for (const auto& c : cases) {
        std::ostringstream err;
        Monitor(err, false, c.testSignal, c.rim, 0).observe(c.pass);
        EXPECT_EQ(err.str(), c.line) << c.what;
    }
}

}  // namespace
}  // namespace observe
