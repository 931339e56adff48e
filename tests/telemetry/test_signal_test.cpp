#include "telemetry/test_signal.h"

#include <gtest/gtest.h>

#include "support/frame_fields.h"

namespace torvane {
namespace {

// The frame at t in mode is expected, and its speed 45, as in every mode.
void expectFrame(double t, const char* mode, TelemetryFrame expected) {
    SCOPED_TRACE(testing::Message() << mode << " at " << t << " s");
    const TelemetryFrame frame = makeTestFrame(t, mode);
    expected.speed = 45;
    for (const auto& [key, field] : fake::kFrameNumbers)
        EXPECT_NEAR(frame.*field, expected.*field, 1e-5) << key;
    EXPECT_TRUE(frame.curb == expected.curb && frame.offroad == expected.offroad);
}

TEST(TestSignal, MakesTheFrameForTheTimeAndMode) {
    expectFrame(-1, "enigne", {.engineHz = 12});  // unknown: only the ramp and the speed
    expectFrame(3, "engine", {.engineHz = 66, .engineGain = 0.41});
    expectFrame(0.5, "self", {.aligningTorque = 0.36972, .engineHz = 21});
    expectFrame(0.5, "steer", {.aligningTorque = 0.85, .engineHz = 21});
    expectFrame(0.1, "road", {.engineHz = 13.8, .roadGain = 0.75, .verticalAccel = 0.77908});
    expectFrame(1.2, "curb", {.engineHz = 33.6, .curbPulse = 1, .curb = true});
    expectFrame(0.18, "curb", {.engineHz = 15.24});  // the pulse's end is exclusive
    // With every group on, the steady pull replaces the swing.
    expectFrame(9, "all",
                {.aligningTorque = 0.85,
                 .engineHz = 120,
                 .engineGain = 0.7,
                 .roadGain = 0.75,
                 .verticalAccel = -0.78276});
}

}  // namespace
}  // namespace torvane
