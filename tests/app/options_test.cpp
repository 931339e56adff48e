#include "app/options.h"

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
    return std::tie(o.diagnose, o.test, o.testMode, o.invert, o.gain, o.deviceIndex, o.nameFilter,
                    o.virtualWheel, o.monitor, o.tracePath, o.lowLatency, o.help, o.version);
}

TEST(Options, ParsesTheCommandLine) {
    const WCHAR* const program = TORVANE_WIDE("torvane-bridge.exe");
    const struct {
        const char* name;
        std::vector<const WCHAR*> argv;
        BridgeOptions expected;
    } cases[] = {
        {"no arguments", {program}, {}},
        {"the program path is never an option", {TORVANE_WIDE("--diagnose")}, {}},
        {"flags, one given twice",
         {program, TORVANE_WIDE("--diagnose"), TORVANE_WIDE("--test"), TORVANE_WIDE("--invert"),
          TORVANE_WIDE("--test")},
         {.diagnose = true, .test = true, .invert = true}},
        // "--test-mode" alone stores the mode but leaves test mode off.
        {"values, lowercased where they are text",
         {program, TORVANE_WIDE("--test-mode"), TORVANE_WIDE("CURB"), TORVANE_WIDE("--gain"),
          TORVANE_WIDE("0.25"), TORVANE_WIDE("--device-index"), TORVANE_WIDE("2"),
          TORVANE_WIDE("--device"), TORVANE_WIDE("\u00C9CRAN MoZa")},
         {.testMode = "curb",
          .gain = 0.25,
          .deviceIndex = 2,
          .nameFilter = "\xC3\x89"
                        "cran moza"}},
        {"only exact names count; anything else is skipped",
         {program, TORVANE_WIDE("--GAIN"), TORVANE_WIDE("0.3"), TORVANE_WIDE("--Test"),
          TORVANE_WIDE("--gai"), TORVANE_WIDE("--tests"), TORVANE_WIDE("-t"),
          TORVANE_WIDE("--gain=0.3"), TORVANE_WIDE("--device-"), TORVANE_WIDE(""),
          TORVANE_WIDE("--invert")},
         {.invert = true}},
        {"a value option given last is dropped", {program, TORVANE_WIDE("--gain")}, {}},
        {"the last value wins, an empty one too",
         {program, TORVANE_WIDE("--gain"), TORVANE_WIDE("0.2"), TORVANE_WIDE("--gain"),
          TORVANE_WIDE("0.3"), TORVANE_WIDE("--device"), TORVANE_WIDE("x"),
          TORVANE_WIDE("--device"), TORVANE_WIDE("")},
         {.gain = 0.3, .nameFilter = ""}},
        {"a value is taken whatever it looks like",
         {program, TORVANE_WIDE("--device"), TORVANE_WIDE("--invert")},
         {.nameFilter = "--invert"}},
        {"the opt-in options",
         {program, TORVANE_WIDE("--virtual-wheel"), TORVANE_WIDE("--monitor"),
          TORVANE_WIDE("--trace"), TORVANE_WIDE("out.csv"), TORVANE_WIDE("--low-latency"),
          TORVANE_WIDE("--version"), TORVANE_WIDE("--Help")},
         {.virtualWheel = true,
          .monitor = true,
          .tracePath = TORVANE_WIDE("out.csv"),
          .lowLatency = true,
          .version = true}},
        {"every spelling of help", {program, TORVANE_WIDE("-h")}, {.help = true}},
        {"every spelling of help", {program, TORVANE_WIDE("/?")}, {.help = true}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fields(parseBridgeOptions(static_cast<int>(c.argv.size()), c.argv.data())),
                  fields(c.expected))
            << c.name;
    }
}

TEST(Options, ReadsAndClampsTheGain) {
    const struct {
        WideString text;
        double expected;
    } cases[] = {
        {TORVANE_WIDE("0.2x"), 0.2},
        {TORVANE_WIDE("0,2"), 0.0},
        {TORVANE_WIDE("0.35"), 0.35},
        {TORVANE_WIDE("1"), 0.35},
        {TORVANE_WIDE("inf"), 0.35},
        {TORVANE_WIDE("-0.5"), 0.0},
        {TORVANE_WIDE("-0"), 0.0},
        {TORVANE_WIDE("abc"), 0.0},
        {TORVANE_WIDE("nan"), 0.0},
        {TORVANE_WIDE("0x1p-3"), 0.0},  // no hexadecimal
        // U+0132 must not be cut down to its low byte, which is the ASCII digit '2'.
        {units({'.', 0x0132}), 0.0},
    };
    for (const auto& c : cases) {
        const double gain = readGainValue(c.text);
        EXPECT_EQ(gain, c.expected) << toUtf8(c.text);
        EXPECT_FALSE(std::signbit(gain)) << toUtf8(c.text);  // a "-0" would print as such
    }
}

TEST(Options, ReadsAndSaturatesTheDeviceIndex) {
    const struct {
        WideString text;
        std::int32_t expected;
    } cases[] = {
        {TORVANE_WIDE("-3"), -3},
        {TORVANE_WIDE("+7"), 7},
        {TORVANE_WIDE(" \t\n\v\f\r12"), 12},
        {TORVANE_WIDE("1.9"), 1},
        {TORVANE_WIDE("abc"), 0},
        {TORVANE_WIDE("- 5"), 0},
        {TORVANE_WIDE("-2147483648"), INT32_MIN},
        {TORVANE_WIDE("-2147483649"), INT32_MIN},
        {WideString(200, '9'), INT32_MAX},
        // U+0135 must not be cut down to its low byte, which is the ASCII digit '5'.
        {units({'1', 0x0135}), 1},
    };
    for (const auto& c : cases) EXPECT_EQ(readIndexValue(c.text), c.expected) << toUtf8(c.text);
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
