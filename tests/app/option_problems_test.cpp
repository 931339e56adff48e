// What the command line could not use as written is named on the error stream, one line each,
// while the values chosen stay those the options have always read.
#include <gtest/gtest.h>

#include "app/options.h"

namespace torvane {
namespace {

TEST(OptionProblems, NamesEachValueNotUsedAsWrittenAndKeepsItsReading) {
    using W = platform::WideString;
    const std::string range = "expected a number from 0 to 0.35; using ";
    const struct {
        std::vector<W> arguments;  // after the program path
        std::vector<std::string> problems;
        double gain;
        std::int32_t deviceIndex;
    } cases[] = {
        // clang-format off
        {{W(TORVANE_WIDE("--gain")), W(TORVANE_WIDE(" 0.35 ")), W(TORVANE_WIDE("--device-index")), W(TORVANE_WIDE("-2147483648")), W(TORVANE_WIDE("--test-mode")), W(TORVANE_WIDE("Engine")), W(TORVANE_WIDE("--test"))}, {}, 0.35, INT32_MIN},
        {{W(TORVANE_WIDE("--gain")), W(TORVANE_WIDE("0.2x")), W(TORVANE_WIDE("--gain")), W(TORVANE_WIDE("1")), W(TORVANE_WIDE("--gain")), W(TORVANE_WIDE("0,5"))},
         {"Ignored --gain \"0.2x\": " + range + "0.2.", "Ignored --gain \"1\": " + range + "0.35.", "Ignored --gain \"0,5\": " + range + "0 (no force)."}, 0.0, -1},
        {{W(TORVANE_WIDE("--device-index")), W(TORVANE_WIDE("abc")), W(TORVANE_WIDE("--device-index")), W(TORVANE_WIDE("2147483648"))},
         {"Ignored --device-index \"abc\": expected a whole number; using 0.", "Ignored --device-index \"2147483648\": expected a whole number; using 2147483647."}, 0.1, INT32_MAX},
        {{W(TORVANE_WIDE("--test")), W(TORVANE_WIDE("--virtual-whel")), W(TORVANE_WIDE("--test-mode")), W(TORVANE_WIDE("bogus")), W(40, 'x') + W(TORVANE_WIDE("y")), W(TORVANE_WIDE("--device-index"))},
         {"Ignored unknown argument \"--virtual-whel\".", "Ignored --test-mode \"bogus\": expected one of all, self, steer, road, curb, engine; nothing will play.",
          "Ignored unknown argument \"" + std::string(40, 'x') + "...\".", "Ignored --device-index: a value must follow it."}, 0.1, -1},
        // clang-format on
    };
    for (const auto& c : cases) {
        std::vector<const WCHAR*> argv = {TORVANE_WIDE("torvane-bridge")};
        for (const W& argument : c.arguments) argv.push_back(argument.c_str());
        const BridgeOptions options =
            parseBridgeOptions(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(options.problems, c.problems);
        EXPECT_EQ(options.gain, c.gain) << c.problems.size();
        EXPECT_EQ(options.deviceIndex, c.deviceIndex) << c.problems.size();
    }
}

}  // namespace
}  // namespace torvane
