// The settings file: what each text makes of the defaults and its problems, and where it is.
#include "app/settings.h"

#include "platform/text.h"
#include "support/changed_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace torvane {
namespace {

TEST(Settings, ReadsTheTextOrNamesEachProblem) {
    const struct {
        std::string text;
        std::string read{};      // as the command line would give it
        std::string problems{};  // the start-up lines, joined by '\n'
    } cases[] = {
        {.text = "gain = 0.2\ninvert = true\ndevice = \"Wheel\"\ndevice-index = 1\nsteering = 0.8\n"
                 "min-force = 0.03\nsmooth = 10\nlow-latency = true\nmonitor = true\n"
                 "trace = \"lap.csv\"\nwait = true\nvirtual-wheel = true # a comment\n",
         .read =
             "--invert=true --gain=0.2 --device-index=1 --device=\"wheel\" --virtual-wheel=true "
             "--monitor=true --trace=\"lap.csv\" --low-latency=true --steering=0.8 "
             "--min-force=0.03 --smooth=10 --wait=true"},
        {.text = ""},
        // Types, ranges and unknown keys: the rest still applies.
        {.text =
             "gain = 0.5\nsteering = \"1\"\nsmooth = 12.5\ninvert = 1\ndevice-index = 3000000000\n"
             "gian = 0.2\nengine = nan\n[road]\n",
         .read = "--smooth=12.5",
         .problems = "c.toml:1: gain must be a number from 0 to 0.35; using the default 0.1.\n"
                     "c.toml:2: steering must be a number from 0 to 2; using the default 1.\n"
                     "c.toml:4: invert must be true or false; using the default false.\n"
                     "c.toml:5: device-index must be a whole number; using the default -1.\n"
                     "c.toml:6: unknown setting \"gian\"; ignored.\n"
                     "c.toml:7: engine must be a number from 0 to 2; using the default 1.\n"
                     "c.toml:8: road must be a number from 0 to 2; using the default 1."},
        // A key twice, or text that is not UTF-8: nothing applies.
        {.text = "smooth = 10\ngain = 0.1\ngain = 0.2\n",
         .problems = "c.toml:3: Error while parsing key-value pair: cannot redefine existing "
                     "floating-point 'gain'; using the defaults."},
        {.text = "smooth = 10\ndevice = \"\xff\"\n",
         .problems = "c.toml:2: Encountered invalid utf-8 sequence; using the defaults."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        BridgeOptions read;
        std::vector<SettingsProblem> problems;
        EXPECT_EQ(applySettingsText(c.text, "c.toml", read, problems), c.problems.empty());
        std::string lines;
        for (const SettingsProblem& p : problems) lines += (lines.empty() ? "" : "\n") + p.line();
        EXPECT_EQ(lines, c.problems);
        EXPECT_EQ(fake::changedSettings(read), c.read);
    }
}

TEST(Settings, WrittenFileReadsBackAndTheCommandLineWins) {
    const BridgeOptions file{
        .live = {.gain = 0.123456789, .tuning = {.steering = 0.5, .smoothMs = 1e-5}},
        .nameFilter = "a\"b\\c\x01",
        .tracePath = TORVANE_WIDE("d\u00E9j\u00E0.csv")};
    BridgeOptions read;
    std::vector<SettingsProblem> problems;
    EXPECT_TRUE(applySettingsText(formatSettings(file), "w.toml", read, problems));
    EXPECT_EQ(formatSettings(read), formatSettings(file));

    // What the command line gives wins; a value it cannot use keeps the file's.
    const WCHAR* argv[] = {TORVANE_WIDE("torvane-bridge"), TORVANE_WIDE("--gain"),
                           TORVANE_WIDE("0.3"), TORVANE_WIDE("--steering"), TORVANE_WIDE("x")};
    const CommandLine given = readCommandLine(5, argv);
    const BridgeOptions merged = applyCommandLine(given, file);
    EXPECT_EQ(merged.live.gain, 0.3);
    EXPECT_EQ(merged.live.tuning.steering, 0.5);
    EXPECT_EQ(merged.live.tuning.smoothMs, 1e-5);
    EXPECT_TRUE(given.gave("--gain") && !given.gave("--steering"));  // the file's steering applies
    EXPECT_EQ(describeChanges(file, read, given), "");
    BridgeOptions changed = file;
    changed.live.gain = 0.2;
    changed.live.tuning.engine = 0.5;
    changed.deviceIndex = 2;
    EXPECT_EQ(describeChanges(file, changed, given),
              "gain 0.123456789 -> 0.2 (the command line's --gain wins), engine 1 -> 0.5, "
              "device-index -1 -> 2 (after a restart)");
}

// The candidates for these folders, joined by '|'.
std::string candidates(bool windows, const char* folder, const char* appData, const char* xdg,
                       const char* home) {
    std::string found;
    for (const platform::WideString& path :
         settingsCandidates(toWide(folder), windows, toWide(appData), toWide(xdg), toWide(home)))
        found += (found.empty() ? "" : "|") + toUtf8(path);
    return found;
}

TEST(Settings, LooksBesideTheProgramThenInTheUsersFolder) {
    EXPECT_EQ(candidates(true, "C:\\B\\", "C:\\AppData", "/x", "/h"),
              "C:\\B\\torvane-bridge.toml|C:\\AppData\\torvane-bridge\\config.toml");
    EXPECT_EQ(candidates(false, "/opt/tb/", "C:\\x", "/home/u/.cfg", "/home/u"),
              "/opt/tb/torvane-bridge.toml|/home/u/.cfg/torvane-bridge/config.toml");
    EXPECT_EQ(candidates(false, "", "", "relative", "/home/u"),
              "/home/u/.config/torvane-bridge/config.toml");
    EXPECT_EQ(candidates(false, "", "", "", ""), "");
}

}  // namespace
}  // namespace torvane
