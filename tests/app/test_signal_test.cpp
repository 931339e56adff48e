#include "app/test_signal.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>

namespace torvane {
namespace {

struct TestSignalCase {
    std::string_view name;
    double t;
    std::string_view mode;
    TelemetryFrame expected;  // every field is compared, so unset fields must stay zero / false
};

void PrintTo(const TestSignalCase& c, std::ostream* os) {
    *os << c.name;
}

// Sine values computed offline: 0.85*sin(0.9*0.5), 0.85*sin(0.9*4), 0.8*sin(18*0.1), 0.8*sin(18*3),
// 0.8*sin(18*6).
const TestSignalCase kTestSignalCases[] = {
    {"AllAtStart",
     0.0,
     "all",
     {.aligningTorque = 0.85,
      .engineHz = 12.0,
      .engineGain = 0.12,
      .roadGain = 0.75,
      .curbPulse = 1.0,
      .speed = 45.0,
      .curb = true}},
    // With every group on, the steady pull replaces the swing, and t = 3 falls between pulses.
    {"AllMidway",
     3.0,
     "all",
     {.aligningTorque = 0.85,
      .engineHz = 66.0,
      .engineGain = 0.41,
      .roadGain = 0.75,
      .speed = 45.0,
      .verticalAccel = -0.447031239}},
    {"AllPlateauAtEnd",
     6.0,
     "all",
     {.aligningTorque = 0.85,
      .engineHz = 120.0,
      .engineGain = 0.70,
      .roadGain = 0.75,
      .speed = 45.0,
      .verticalAccel = 0.741454804}},
    {"EngineMidway", 3.0, "engine", {.engineHz = 66.0, .engineGain = 0.41, .speed = 45.0}},
    {"EngineStaysAtPlateau", 9.0, "engine", {.engineHz = 120.0, .engineGain = 0.70, .speed = 45.0}},
    {"NegativeTimeClampsRamp",
     -1.0,
     "engine",
     {.engineHz = 12.0, .engineGain = 0.12, .speed = 45.0}},
    {"SelfRising", 0.5, "self", {.aligningTorque = 0.369720704, .engineHz = 21.0, .speed = 45.0}},
    {"SelfSwingsNegative",
     4.0,
     "self",
     {.aligningTorque = -0.376142377, .engineHz = 84.0, .speed = 45.0}},
    {"SteerIsConstant", 0.5, "steer", {.aligningTorque = 0.85, .engineHz = 21.0, .speed = 45.0}},
    {"Road",
     0.1,
     "road",
     {.engineHz = 13.8, .roadGain = 0.75, .speed = 45.0, .verticalAccel = 0.779078105}},
    {"CurbInsideSecondPulse",
     1.2,
     "curb",
     {.engineHz = 33.6, .curbPulse = 1.0, .speed = 45.0, .curb = true}},
    {"CurbBetweenPulses", 1.0, "curb", {.engineHz = 30.0, .speed = 45.0}},
    {"CurbPulseEndIsExclusive", 0.18, "curb", {.engineHz = 15.24, .speed = 45.0}},
    {"CurbThirdPulseStarts",
     2.2,
     "curb",
     {.engineHz = 51.6, .curbPulse = 1.0, .speed = 45.0, .curb = true}},
    // Modes are matched exactly: anything else leaves only the ramp and the speed.
    {"UnknownMode", 3.0, "enigne", {.engineHz = 66.0, .speed = 45.0}},
    {"CapitalisedModeIsUnknown", 3.0, "ENGINE", {.engineHz = 66.0, .speed = 45.0}},
    {"EmptyMode", 0.0, "", {.engineHz = 12.0, .speed = 45.0}},
};

class TestSignal : public testing::TestWithParam<TestSignalCase> {};

TEST_P(TestSignal, MakesExpectedFrame) {
    const TestSignalCase& c = GetParam();
    const TelemetryFrame frame = makeTestFrame(c.t, c.mode);
    const TelemetryFrame& want = c.expected;
    constexpr double kTolerance = 1e-6;
    EXPECT_NEAR(frame.aligningTorque, want.aligningTorque, kTolerance);
    EXPECT_NEAR(frame.engineHz, want.engineHz, kTolerance);
    EXPECT_NEAR(frame.engineGain, want.engineGain, kTolerance);
    EXPECT_NEAR(frame.roadGain, want.roadGain, kTolerance);
    EXPECT_NEAR(frame.curbPulse, want.curbPulse, kTolerance);
    EXPECT_EQ(frame.tireSlip, 0.0);
    EXPECT_EQ(frame.tractionSlip, 0.0);
    EXPECT_NEAR(frame.speed, want.speed, kTolerance);
    EXPECT_NEAR(frame.verticalAccel, want.verticalAccel, kTolerance);
    EXPECT_EQ(frame.curb, want.curb);
    EXPECT_FALSE(frame.offroad);
}

INSTANTIATE_TEST_SUITE_P(Table, TestSignal, testing::ValuesIn(kTestSignalCases),
                         [](const testing::TestParamInfo<TestSignalCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace torvane
