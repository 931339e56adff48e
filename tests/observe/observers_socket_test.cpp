// The monitor and the trace through the whole lifecycle: the six-second test signal on the virtual
// wheel, on simulated time, with the real sockets that test mode binds.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/version.h"
#include "support/wheel_rig.h"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

struct Observed {
    fake::Run run;
    std::vector<std::string> trace;  // the trace file's lines
};

/// The test signal with the monitor and a trace into path; the trace file is read, then removed.
Observed runObserved(const fs::path& path) {
    fake::Rig rig;  // the clock starts at 1 s; reading it does not advance it
    const std::u16string utf16 = path.u16string();
    const platform::WideString tracePath(utf16.begin(), utf16.end());
    Observed observed{rig.run({TORVANE_WIDE("--monitor"), TORVANE_WIDE("--trace"),
                               tracePath.c_str(), TORVANE_WIDE("--test")}),
                      {}};
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) observed.trace.push_back(line);
    in.close();
    if (fs::is_regular_file(path)) fs::remove(path);
    return observed;
}

const fs::path kTraceFile =
    fs::temp_directory_path() / ("torvane-trace-" + std::to_string(std::random_device{}()));

TEST(Observers, TraceAndMonitorFollowTheTestSignalToItsEnd) {
    const auto [run, lines] = runObserved(kTraceFile);
    EXPECT_EQ(run.exitCode, 0);
    // Passes every 4 ms from 0 to 6004 ms, the first past six seconds; shutdown's stop after the
    // last sleep.
    ASSERT_EQ(lines.size(), 2u + 1502u + 1u);
    EXPECT_EQ(lines[0], std::string("# torvane-bridge ") + versionText() +
                            " trace, clock_start_ns=1000000000");
    EXPECT_THAT(lines[1], StartsWith("time_ms,constant,"));
    EXPECT_THAT(lines[2], AllOf(StartsWith("0.000,"), EndsWith(",250,1,,cersd")));
    EXPECT_THAT(lines[6], AllOf(StartsWith("16.000,"), Not(HasSubstr(",1,,"))));  // 1st report
    EXPECT_EQ(lines.back(), "6008.000,,,,,,,,,0,,");
    EXPECT_THAT(run.err, HasSubstr("test signal | playing: constant "));
}

TEST(Observers, ATraceFileThatCannotBeOpenedCostsOnlyTheTrace) {
    const fs::path folder = fs::temp_directory_path();
    const auto [run, lines] = runObserved(folder);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_THAT(run.err, StartsWith("Could not open trace file " + folder.string() + ".\n"));
    EXPECT_THAT(run.err, HasSubstr("test signal | playing: "));
}

}  // namespace
}  // namespace torvane
