// The checked-in sample lap is what the lap model generates, through the written line as the
// bridge reads it, within its printed precision (another C runtime may round a last digit
// differently). tests/e2e/tools_e2e.py plays the sample and checks what it drives.
#include "tools/common/lap_model.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/frame_fields.h"

namespace torvane::tools {
namespace {

TEST(LapModel, IsTheCheckedInSample) {
    const std::vector<LapSample> lap = generateLap();
    ASSERT_GE(lap.size(), 5000u);
    std::ifstream sample(TORVANE_SAMPLE_LAP, std::ios::binary);
    ASSERT_TRUE(sample) << "cannot read " << TORVANE_SAMPLE_LAP;
    for (std::size_t i = 0; i < lap.size(); ++i) {
        const std::string line = formatTelemetryLine(lap[i].time, lap[i].frame);
        EXPECT_NEAR(readNumberField(line, "t").value_or(-1.0), 0.01 * static_cast<double>(i), 1e-9);
        std::string recorded;
        ASSERT_TRUE(std::getline(sample, recorded)) << "the sample ends at line " << i + 1;
        const TelemetryFrame frame = parseTelemetryFrame(line),
                             fromFile = parseTelemetryFrame(recorded);
        for (const auto& [key, field] : fake::kFrameNumbers) {
            EXPECT_NEAR(frame.*field, lap[i].frame.*field, 0.006);  // printed precision
            ASSERT_NEAR(fromFile.*field, frame.*field, 2e-2)
                << key << " at line " << i + 1 << "; regenerate with torvane-send --lap --write";
        }
        ASSERT_EQ(fromFile.curb, lap[i].frame.curb);
        ASSERT_EQ(fromFile.offroad, lap[i].frame.offroad);
    }
    std::string extra;
    EXPECT_FALSE(std::getline(sample, extra)) << "the sample is longer than the lap";
}

}  // namespace
}  // namespace torvane::tools
