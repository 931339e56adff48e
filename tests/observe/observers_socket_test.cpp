// The monitor and the trace through the whole lifecycle: the six-second test signal on the fake
// wheel, on simulated time, with the real sockets that test mode binds.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/version.h"
#include "support/bridge_runner.h"

namespace torvane {
namespace {

namespace fs = std::filesystem;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

platform::WideString wide(const fs::path& path) {
    const std::u16string text = path.u16string();
    return platform::WideString(text.begin(), text.end());
}

std::vector<std::string> linesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

/// With the monitor and a trace: the test signal, or else 2 s of the bridge with no telemetry.
fake::BridgeRun runObserved(const platform::WideString& tracePath, bool testSignal = true) {
    fake::FakeWorld world;
    DIJOYSTATE2 state{};
    state.lX = -1532;
    fake::addWheel(world).behaviour.states = {state};
    fake::SimulatedClock clock;  // starts at 1 s; reading it does not advance it
    std::atomic<bool> running{true};
    std::vector<const WCHAR*> arguments = {TORVANE_WIDE("--monitor"), TORVANE_WIDE("--trace"),
                                           tracePath.c_str()};
    if (testSignal) {
        arguments.push_back(TORVANE_WIDE("--test"));
    } else {
        clock.onSleep = [&running](fake::SimulatedClock& c) {
            if (c.sleeps == 500) running = false;
        };
    }
    return fake::runBridgeOnFake(arguments, clock, running);
}

fs::path uniqueTraceFile() {
    return fs::temp_directory_path() /
           ("torvane-trace-" + std::to_string(std::random_device{}()) + ".csv");
}

TEST(Observers, TraceAndMonitorFollowTheTestSignalToItsEnd) {
    const fs::path file = uniqueTraceFile();
    const fake::BridgeRun run = runObserved(wide(file));
    const std::vector<std::string> lines = linesOf(file);
    fs::remove(file);

    EXPECT_EQ(run.exitCode, 0);
    // Passes every 4 ms from 0 to 6004 ms, the first past six seconds; shutdown's stop after the
    // last sleep.
    ASSERT_EQ(lines.size(), 2u + 1502u + 1u);
    EXPECT_EQ(lines[0], std::string("# torvane-bridge ") + versionText() +
                            " trace, clock_start_ns=1000000000");
    EXPECT_THAT(lines[1], StartsWith("time_ms,constant,"));
    EXPECT_THAT(lines[2], StartsWith("0.000,"));
    EXPECT_THAT(lines[2], EndsWith(",250,1,"));
    EXPECT_THAT(lines[6], StartsWith("16.000,"));  // the first report
    EXPECT_THAT(lines[6], EndsWith(",250,1,-1532"));
    EXPECT_EQ(lines.back(), "6008.000,,,,,,,,,0,");
    EXPECT_THAT(run.err, HasSubstr("test signal | playing: constant "));
    EXPECT_THAT(run.err, HasSubstr(" | x -1532"));
}

TEST(Observers, PassesThatNeitherSendNorStopLeaveNoLine) {
    const fs::path file = uniqueTraceFile();
    const fake::BridgeRun run = runObserved(wide(file), false);
    const std::vector<std::string> lines = linesOf(file);
    fs::remove(file);

    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(lines.size(), 2u);
    EXPECT_THAT(run.err, HasSubstr("telemetry 0/s age - | stopped | x -1532"));
}

TEST(Observers, ATraceFileThatCannotBeOpenedCostsOnlyTheTrace) {
    const fs::path folder = fs::temp_directory_path();
    const fake::BridgeRun run = runObserved(wide(folder));

    EXPECT_EQ(run.exitCode, 0);
    EXPECT_THAT(run.err, StartsWith("Could not open trace file " + folder.string() + ".\n"));
    EXPECT_THAT(run.err, HasSubstr("test signal | playing: "));
}

}  // namespace
}  // namespace torvane
