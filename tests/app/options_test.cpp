#include "app/options.h"

#include "platform/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <tuple>
#include <vector>

namespace torvane {
namespace {

using platform::WideString;

/// Wide text from raw UTF-16 code units, for surrogates and other units a literal cannot show.
WideString units(std::initializer_list<unsigned> codeUnits) {
    WideString text;
    for (const unsigned unit : codeUnits) text.push_back(static_cast<WCHAR>(unit));
    return text;
}

auto fields(const BridgeOptions& o) {
    const ForceTuning& t = o.tuning;
    return std::tie(o.diagnose, o.test, o.testMode, o.invert, o.gain, o.deviceIndex, o.nameFilter,
                    o.virtualWheel, o.monitor, o.tracePath, o.lowLatency, o.help, o.version,
                    t.steering, t.engine, t.road, t.curb, t.damper, t.minForce, t.smoothMs,
                    o.problems);
}

TEST(Options, ParsesTheCommandLine) {
    const struct {
        const char* name;
        const WCHAR* arguments;  // separated by '|', after the program path
        BridgeOptions expected;
    } cases[] = {
        // clang-format off
        {"no arguments", TORVANE_WIDE(""), {}},
        {"flags, one given twice", TORVANE_WIDE("--diagnose|--test|--invert|--test"), {.diagnose = true, .test = true, .invert = true}},
        // "--test-mode" alone stores the mode but leaves test mode off.
        {"values, lowercased where they are text", TORVANE_WIDE("--test-mode|CURB|--gain|0.25|--device-index|2|--device|\u00C9CRAN MoZa"),
         {.testMode = "curb", .gain = 0.25, .deviceIndex = 2, .nameFilter = "\xC3\x89" "cran moza",
          .problems = {"Ignored --test-mode: it applies only with --test."}}},
        {"only exact names count; anything else is skipped", TORVANE_WIDE("--GAIN|0.3|--Test|--gai|--tests|-t|--gain=0.3|--device-||--invert"),
         {.invert = true, .problems = {"Ignored unknown argument \"--GAIN\".", "Ignored unknown argument \"0.3\".", "Ignored unknown argument \"--Test\".", "Ignored unknown argument \"--gai\".", "Ignored unknown argument \"--tests\".",
                                       "Ignored unknown argument \"-t\".", "Ignored unknown argument \"--gain=0.3\".", "Ignored unknown argument \"--device-\".", "Ignored unknown argument \"\"."}}},
        {"a value option given last is dropped", TORVANE_WIDE("--gain"), {.problems = {"Ignored --gain: a value must follow it."}}},
        {"the last value wins, an empty one too", TORVANE_WIDE("--gain|0.2|--gain|0.3|--device|x|--device|"), {.gain = 0.3, .nameFilter = ""}},
        {"these four take an option as their value, with a line", TORVANE_WIDE("--device|--invert|--gain|--test"),
         {.gain = 0, .nameFilter = "--invert",
          .problems = {"Read \"--invert\" as the value of --device, not as an option.",
                       "Read \"--test\" as the value of --gain, not as an option."}}},
        {"the others count an option as a missing value", TORVANE_WIDE("--trace|--monitor|--write-config|--force|--smooth|--gain|0.3"),
         {.gain = 0.3, .monitor = true,
          .problems = {"Ignored --trace: a value must follow it.", "Ignored --write-config: a value must follow it.",
                       "Ignored --smooth: a value must follow it.", "Ignored --force: it applies only with --write-config."}}},
        {"the opt-in options", TORVANE_WIDE("--virtual-wheel|--monitor|--trace|out.csv|--low-latency|--version|--Help"), {.virtualWheel = true, .monitor = true, .tracePath = TORVANE_WIDE("out.csv"), .lowLatency = true, .version = true, .problems = {"Ignored unknown argument \"--Help\"."}}},
        {"the tuning options, white space around a value allowed", TORVANE_WIDE("--steering|0.5|--engine|0|--road|2|--curb|1.5|--damper| 0.4 |--min-force|3e-2|--smooth|-0"), {.tuning = {0.5, 0, 2, 1.5, 0.4, 0.03, 0}}},
        // A typo must not silence an effect: the default stays, and the value is named.
        {"a tuning value that is no number in range keeps the default", TORVANE_WIDE("--curb|0.5|--curb|1,5|--min-force|nan|--smooth|50.01|--engine|inf|--road||--damper|0x1|--steering|-0.1|--smooth|12.5"),
         {.tuning = {.smoothMs = 12.5},
          .problems = {"Ignored --curb \"1,5\": expected a number from 0 to 2; using 1.",
                       "Ignored --min-force \"nan\": expected a number from 0 to 0.2; using 0.",
                       "Ignored --smooth \"50.01\": expected a number from 0 to 50; using 0.",
                       "Ignored --engine \"inf\": expected a number from 0 to 2; using 1.",
                       "Ignored --road \"\": expected a number from 0 to 2; using 1.",
                       "Ignored --damper \"0x1\": expected a number from 0 to 2; using 1.",
                       "Ignored --steering \"-0.1\": expected a number from 0 to 2; using 1."}}},
        {"-h is help", TORVANE_WIDE("-h"), {.help = true}},
        {"/? is help", TORVANE_WIDE("/?"), {.help = true}},
        // clang-format on
    };
    for (const auto& c : cases) {
        std::vector<WideString> words = {TORVANE_WIDE("--diagnose")};  // the program's path
        if (*c.arguments != 0) words.emplace_back();
        for (const WCHAR* at = c.arguments; *at != 0; ++at) {
            if (*at == '|') words.emplace_back();
            if (*at != '|') words.back().push_back(*at);
        }
        std::vector<const WCHAR*> argv;
        for (const WideString& word : words) argv.push_back(word.c_str());
        EXPECT_EQ(fields(parseBridgeOptions(static_cast<int>(argv.size()), argv.data())),
                  fields(c.expected))
            << c.name;
    }
}

// One text per row, as "--gain" and "--device-index" read it.
TEST(Options, ReadsTheGainAndTheIndex) {
    const struct {
        WideString text;
        double gain;
        std::int32_t index;
    } cases[] = {
        // clang-format off
        {TORVANE_WIDE("0.2x"), 0.2, 0},
        {TORVANE_WIDE("0,2"), 0.0, 0},
        {TORVANE_WIDE("0.35"), 0.35, 0},
        {TORVANE_WIDE("inf"), 0.35, 0},
        {TORVANE_WIDE("-0.5"), 0.0, 0},
        {TORVANE_WIDE("-0"), 0.0, 0},
        {TORVANE_WIDE("abc"), 0.0, 0},
        {TORVANE_WIDE("nan"), 0.0, 0},
        {TORVANE_WIDE("0x1p-3"), 0.0, 0},  // no hexadecimal
        {TORVANE_WIDE("-3"), 0.0, -3},
        {TORVANE_WIDE("+7"), 0.35, 7},
        {TORVANE_WIDE(" \t\n\v\f\r12"), 0.35, 12},
        {TORVANE_WIDE("1.9"), 0.35, 1},
        {TORVANE_WIDE("- 5"), 0.0, 0},
        {TORVANE_WIDE("-2147483649"), 0.0, INT32_MIN},
        {WideString(200, '9'), 0.35, INT32_MAX},
        // U+0132 and U+0135 must not be cut down to their low bytes, the ASCII digits '2' and '5'.
        {units({'.', 0x0132}), 0.0, 0},
        {units({'1', 0x0135}), 0.35, 1},
        // clang-format on
    };
    for (const auto& c : cases) {
        const double gain = readGainValue(c.text);
        EXPECT_EQ(gain, c.gain) << toUtf8(c.text);
        EXPECT_FALSE(std::signbit(gain)) << toUtf8(c.text);  // a "-0" would print as such
        EXPECT_EQ(readIndexValue(c.text), c.index) << toUtf8(c.text);
    }
}

TEST(Options, ConvertsToUtf8AndLowersOnlyAsciiCapitals) {
    // Explicit length (a zero unit is kept), every encoding length's bounds, and lone surrogates
    // replaced by U+FFFD as Windows does.
    EXPECT_EQ(toUtf8(units({'a', 0, 0x7F, 0x80, 0x7FF, 0x800, 0xFFFF})),
              std::string("a\0\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF", 13));
    EXPECT_EQ(toUtf8(units({0xD800, 0xDC00, 0xD83D, 0xDE00, 0xDC00, 0xD83D, 'x', 0xD800})),
              "\xF0\x90\x80\x80\xF0\x9F\x98\x80\xEF\xBF\xBD\xEF\xBF\xBDx\xEF\xBF\xBD");
    // The neighbours of both letter ranges stay; a UTF-8 capital E acute is not folded.
    EXPECT_EQ(toLowerAscii("@AZ[`az{\xC3\x89"
                           "CRAN"),
              "@az[`az{\xC3\x89"
              "cran");
}

}  // namespace
}  // namespace torvane
