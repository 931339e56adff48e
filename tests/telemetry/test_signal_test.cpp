#include "telemetry/test_signal.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>

namespace torvane {
namespace {

std::array<double, 11> fields(const TelemetryFrame& f) {
    return {f.aligningTorque, f.engineHz,     f.engineGain,     f.roadGain,
            f.curbPulse,      f.tireSlip,     f.tractionSlip,   f.speed,
            f.verticalAccel,  double(f.curb), double(f.offroad)};
}

TEST(TestSignal, MakesTheFrameForTheTimeAndMode) {
    const struct {
        double t;
        const char* mode;
        TelemetryFrame expected;
    } cases[] = {
        // Frame: aligningTorque, engineHz, engineGain, roadGain, curbPulse, tireSlip, tractionSlip,
        // speed, verticalAccel, curb, offroad. With every group on, the steady pull replaces the
        // swing.
        {0.0, "all", {0.85, 12, 0.12, 0.75, 1, 0, 0, 45, 0, true}},
        {3.0, "all", {0.85, 66, 0.41, 0.75, 0, 0, 0, 45, -0.447031239}},
        {9.0, "all", {0.85, 120, 0.70, 0.75, 0, 0, 0, 45, -0.782760281}},
        {-1.0, "engine", {0, 12, 0.12, 0, 0, 0, 0, 45}},
        {0.5, "self", {0.369720704, 21, 0, 0, 0, 0, 0, 45}},
        {0.5, "steer", {0.85, 21, 0, 0, 0, 0, 0, 45}},
        {0.1, "road", {0, 13.8, 0, 0.75, 0, 0, 0, 45, 0.779078105}},
        {1.2, "curb", {0, 33.6, 0, 0, 1, 0, 0, 45, 0, true}},
        {0.18, "curb", {0, 15.24, 0, 0, 0, 0, 0, 45}},  // the pulse's end is exclusive
        // Modes are matched exactly: anything else leaves only the ramp and the speed.
        {3.0, "enigne", {0, 66, 0, 0, 0, 0, 0, 45}},
    };
    for (const auto& c : cases) {
        EXPECT_THAT(fields(makeTestFrame(c.t, c.mode)),
                    testing::Pointwise(testing::DoubleNear(1e-6), fields(c.expected)))
            << c.mode << " at " << c.t << " s";
    }
}

}  // namespace
}  // namespace torvane
