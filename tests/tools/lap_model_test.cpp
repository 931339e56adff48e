#include "tools/common/lap_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>

namespace torvane::tools {
namespace {

struct UsefulRange {
    const char* key;
    double TelemetryFrame::*field;
    double low;
    double high;
};

// Beyond these the force synthesis saturates: a lap outside them would teach a wrong lesson.
constexpr UsefulRange kRanges[] = {
    {"aligningTorque", &TelemetryFrame::aligningTorque, -1.0, 1.0},
    {"engineHz", &TelemetryFrame::engineHz, 8.0, 180.0},
    {"engineGain", &TelemetryFrame::engineGain, 0.0, 1.0 / 2.2},
    {"roadGain", &TelemetryFrame::roadGain, 0.0, 1.0},
    {"curbPulse", &TelemetryFrame::curbPulse, 0.0, 1.0},
    {"tireSlip", &TelemetryFrame::tireSlip, 0.0, 1.0},
    {"tractionSlip", &TelemetryFrame::tractionSlip, 0.0, 1.0},
    {"speed", &TelemetryFrame::speed, 0.0, 90.0},
    {"verticalAccel", &TelemetryFrame::verticalAccel, -1.0 / 0.035, 1.0 / 0.035},
};

// Checked through the written line, as the bridge reads it, so the formatting is covered too; and
// against the checked-in sample, within its printed precision (another C runtime may round a last
// digit differently).
TEST(LapModel, IsTheCheckedInSampleInRangeWithEveryFeature) {
    const std::vector<LapSample> lap = generateLap(), again = generateLap();
    ASSERT_GE(lap.size(), 5000u);
    std::ifstream sample(TORVANE_SAMPLE_LAP, std::ios::binary);
    ASSERT_TRUE(sample) << "cannot read " << TORVANE_SAMPLE_LAP;
    bool curb = false, offroad = false, left = false, right = false;
    for (std::size_t i = 0; i < lap.size(); ++i) {
        const std::string line = formatTelemetryLine(lap[i].time, lap[i].frame);
        ASSERT_EQ(line, formatTelemetryLine(again[i].time, again[i].frame)) << "not deterministic";
        EXPECT_NEAR(readNumberField(line, "t").value_or(-1.0), 0.01 * static_cast<double>(i), 1e-9);
        std::string recorded;
        ASSERT_TRUE(std::getline(sample, recorded)) << "the sample ends at line " << i + 1;
        const TelemetryFrame frame = parseTelemetryFrame(line),
                             fromFile = parseTelemetryFrame(recorded);
        for (const UsefulRange& range : kRanges) {
            const double value = frame.*range.field;
            ASSERT_TRUE(std::isfinite(value) && value >= range.low && value <= range.high)
                << range.key << " = " << value << " at line " << i + 1;
            EXPECT_NEAR(value, lap[i].frame.*range.field, 0.006) << range.key;  // printed precision
            ASSERT_NEAR(fromFile.*range.field, value, 2e-2)
                << range.key << " at line " << i + 1
                << "; regenerate with torvane-send --lap --write";
        }
        EXPECT_EQ(frame.curb, lap[i].frame.curb);
        EXPECT_EQ(frame.offroad, lap[i].frame.offroad);
        EXPECT_TRUE(!frame.curb || frame.curbPulse >= 0.1) << "a curb without a pulse at " << i;
        curb |= frame.curb;
        offroad |= frame.offroad;
        left |= frame.aligningTorque > 0.4;
        right |= frame.aligningTorque < -0.4;
    }
    std::string extra;
    EXPECT_FALSE(std::getline(sample, extra)) << "the sample is longer than the lap";
    EXPECT_TRUE(curb && offroad && left && right);
}

}  // namespace
}  // namespace torvane::tools
