#include "app/options.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace torvane {
namespace {

using platform::WideString;

/// Wide text from ASCII, for inputs too long to spell out.
WideString widen(std::string_view ascii) {
    return WideString(ascii.begin(), ascii.end());
}

/// Wide text from raw UTF-16 code units, for surrogates and other units a literal cannot show.
WideString units(std::initializer_list<unsigned> codeUnits) {
    WideString text;
    for (const unsigned unit : codeUnits) text.push_back(static_cast<WCHAR>(unit));
    return text;
}

std::string testName(std::string_view name) {
    return std::string(name);
}

// ---- parseBridgeOptions ----

struct ParseCase {
    std::string_view name;
    std::vector<const WCHAR*> argv;  // argv[0] included
    BridgeOptions expected;
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << c.name;
}

const WCHAR* const kProgram = TORVANE_WIDE("torvane-bridge.exe");

const ParseCase kParseCases[] = {
    {"NoArguments", {kProgram}, {}},
    {"NoArgumentsAtAll", {}, {}},
    {"ProgramPathIsNeverAnOption", {TORVANE_WIDE("--diagnose")}, {}},
    {"Flags",
     {kProgram, TORVANE_WIDE("--diagnose"), TORVANE_WIDE("--test"), TORVANE_WIDE("--invert")},
     {.diagnose = true, .test = true, .invert = true}},
    {"RepeatedFlagChangesNothing",
     {kProgram, TORVANE_WIDE("--test"), TORVANE_WIDE("--test")},
     {.test = true}},
    {"AllValues",
     {kProgram, TORVANE_WIDE("--test-mode"), TORVANE_WIDE("curb"), TORVANE_WIDE("--gain"),
      TORVANE_WIDE("0.25"), TORVANE_WIDE("--device-index"), TORVANE_WIDE("2"),
      TORVANE_WIDE("--device"), TORVANE_WIDE("moza")},
     {.testMode = "curb", .gain = 0.25, .deviceIndex = 2, .nameFilter = "moza"}},
    {"NamesAreCaseSensitive",
     {kProgram, TORVANE_WIDE("--GAIN"), TORVANE_WIDE("0.3"), TORVANE_WIDE("--Test")},
     {}},
    {"NoPrefixesShortFormsOrNameValue",
     {kProgram, TORVANE_WIDE("--gai"), TORVANE_WIDE("0.3"), TORVANE_WIDE("--tests"),
      TORVANE_WIDE("-t"), TORVANE_WIDE("--gain=0.3"), TORVANE_WIDE("--device-"), TORVANE_WIDE("x")},
     {}},
    {"StrayWordsAreSkipped",
     {kProgram, TORVANE_WIDE("hello"), TORVANE_WIDE(""), TORVANE_WIDE("--invert")},
     {.invert = true}},
    {"ValueOptionLastIsDropped", {kProgram, TORVANE_WIDE("--gain")}, {}},
    {"LastValueWins",
     {kProgram, TORVANE_WIDE("--gain"), TORVANE_WIDE("0.2"), TORVANE_WIDE("--gain"),
      TORVANE_WIDE("0.3")},
     {.gain = 0.3}},
    {"ValueIsTakenWhateverItLooksLike",
     {kProgram, TORVANE_WIDE("--device"), TORVANE_WIDE("--invert")},
     {.nameFilter = "--invert"}},
    {"OptionAsGainValueReadsAsZero",
     {kProgram, TORVANE_WIDE("--gain"), TORVANE_WIDE("--test")},
     {.gain = 0.0}},
    {"GainIsClamped", {kProgram, TORVANE_WIDE("--gain"), TORVANE_WIDE("1")}, {.gain = 0.35}},
    {"IndexWithoutDigitsIsZero",
     {kProgram, TORVANE_WIDE("--device-index"), TORVANE_WIDE("first")},
     {.deviceIndex = 0}},
    {"NegativeIndex",
     {kProgram, TORVANE_WIDE("--device-index"), TORVANE_WIDE("-3")},
     {.deviceIndex = -3}},
    {"NameFilterIsLowercased",
     {kProgram, TORVANE_WIDE("--device"), TORVANE_WIDE("FANATEC")},
     {.nameFilter = "fanatec"}},
    {"NonAsciiCapitalsAreKept",
     {kProgram, TORVANE_WIDE("--device"), TORVANE_WIDE("\u00C9CRAN")},
     {.nameFilter = "\xC3\x89"
                    "cran"}},
    {"EmptyNameFilter", {kProgram, TORVANE_WIDE("--device"), TORVANE_WIDE("")}, {.nameFilter = ""}},
    {"TestModeAloneDoesNotSwitchTestOn",
     {kProgram, TORVANE_WIDE("--test-mode"), TORVANE_WIDE("ROAD")},
     {.testMode = "road"}},
};

class OptionsParse : public testing::TestWithParam<ParseCase> {};

TEST_P(OptionsParse, GivesExpectedOptions) {
    const ParseCase& c = GetParam();
    const BridgeOptions got = parseBridgeOptions(static_cast<int>(c.argv.size()),
                                                 c.argv.empty() ? nullptr : c.argv.data());
    const BridgeOptions& want = c.expected;
    EXPECT_EQ(got.diagnose, want.diagnose);
    EXPECT_EQ(got.test, want.test);
    EXPECT_EQ(got.testMode, want.testMode);
    EXPECT_EQ(got.invert, want.invert);
    EXPECT_DOUBLE_EQ(got.gain, want.gain);
    EXPECT_EQ(got.deviceIndex, want.deviceIndex);
    EXPECT_EQ(got.nameFilter, want.nameFilter);
}

INSTANTIATE_TEST_SUITE_P(Options, OptionsParse, testing::ValuesIn(kParseCases),
                         [](const auto& info) { return testName(info.param.name); });

// ---- readGainValue ----

struct GainCase {
    std::string_view name;
    WideString text;
    double expected;
};

void PrintTo(const GainCase& c, std::ostream* os) {
    *os << c.name;
}

const GainCase kGainCases[] = {
    {"Plain", TORVANE_WIDE("0.2"), 0.2},
    {"ExplicitPlus", TORVANE_WIDE("+0.1"), 0.1},
    {"LeadingWhiteSpace", TORVANE_WIDE(" \t\n\v\f\r.3"), 0.3},
    {"Exponent", TORVANE_WIDE("2.5E-1"), 0.25},
    {"DanglingExponentIgnored", TORVANE_WIDE("0.2e+"), 0.2},
    {"TrailingLettersIgnored", TORVANE_WIDE("0.2x"), 0.2},
    {"CommaEndsNumber", TORVANE_WIDE("0,2"), 0.0},
    {"UpperBoundInclusive", TORVANE_WIDE("0.35"), 0.35},
    {"AboveMaximum", TORVANE_WIDE("1"), 0.35},
    {"ZeroPasses", TORVANE_WIDE("0"), 0.0},
    {"Negative", TORVANE_WIDE("-0.5"), 0.0},
    {"NegativeZeroIsPlainZero", TORVANE_WIDE("-0"), 0.0},
    {"Empty", TORVANE_WIDE(""), 0.0},
    {"NoDigits", TORVANE_WIDE("abc"), 0.0},
    {"SpaceAfterSign", TORVANE_WIDE("+ 0.2"), 0.0},
    {"Infinity", TORVANE_WIDE("inf"), 0.35},
    {"NegativeInfinity", TORVANE_WIDE("-inf"), 0.0},
    {"NotANumberGivesNoForce", TORVANE_WIDE("nan"), 0.0},
    {"NegativeNotANumber", TORVANE_WIDE("-NaN(123)"), 0.0},
    {"Underflow", TORVANE_WIDE("1e-400"), 0.0},
    {"Overflow", TORVANE_WIDE("1e400"), 0.35},
    {"HexadecimalNotRead", TORVANE_WIDE("0x1p-3"), 0.0},
    {"HugeDigitString", widen(std::string(1000, '9')), 0.35},
    {"NonAsciiEndsNumber", TORVANE_WIDE("0.1\u0662"), 0.1},
    {"FullWidthDigitIsNoDigit", TORVANE_WIDE("\uFF10.2"), 0.0},
    // U+0132 must not be cut down to its low byte, which is the ASCII digit '2'.
    {"WideUnitIsNotTruncated", units({'.', 0x0132}), 0.0},
    {"ZeroUnitEndsNumber", units({'0', '.', '1', 0, '5'}), 0.1},
};

class GainValue : public testing::TestWithParam<GainCase> {};

TEST_P(GainValue, ReadsAndClamps) {
    const double gain = readGainValue(GetParam().text);
    EXPECT_DOUBLE_EQ(gain, GetParam().expected);
    EXPECT_FALSE(std::signbit(gain));
}

INSTANTIATE_TEST_SUITE_P(Options, GainValue, testing::ValuesIn(kGainCases),
                         [](const auto& info) { return testName(info.param.name); });

// ---- readIndexValue ----

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

struct IndexCase {
    std::string_view name;
    WideString text;
    std::int32_t expected;
};

void PrintTo(const IndexCase& c, std::ostream* os) {
    *os << c.name;
}

const IndexCase kIndexCases[] = {
    {"Plain", TORVANE_WIDE("7"), 7},
    {"ExplicitPlus", TORVANE_WIDE("+7"), 7},
    {"Negative", TORVANE_WIDE("-3"), -3},
    {"LeadingWhiteSpace", TORVANE_WIDE(" \t\n\v\f\r12"), 12},
    {"StopsAtFirstNonDigit", TORVANE_WIDE("12abc"), 12},
    {"FractionIgnored", TORVANE_WIDE("1.9"), 1},
    {"LeadingZeros", TORVANE_WIDE("0000000000000000000000042"), 42},
    {"Empty", TORVANE_WIDE(""), 0},
    {"NoDigits", TORVANE_WIDE("abc"), 0},
    {"SpaceAfterSign", TORVANE_WIDE("- 5"), 0},
    {"TwoSigns", TORVANE_WIDE("+-5"), 0},
    {"Maximum", TORVANE_WIDE("2147483647"), kMax},
    {"AboveMaximumSaturates", TORVANE_WIDE("2147483648"), kMax},
    {"Minimum", TORVANE_WIDE("-2147483648"), kMin},
    {"BelowMinimumSaturates", TORVANE_WIDE("-2147483649"), kMin},
    {"HugeDigitString", widen(std::string(200, '9')), kMax},
    {"HugeNegativeDigitString", widen("-" + std::string(200, '9')), kMin},
    {"NonAsciiDigitIsNoDigit", TORVANE_WIDE("\u0661"), 0},
    // U+0135 must not be cut down to its low byte, which is the ASCII digit '5'.
    {"WideUnitIsNotTruncated", units({'1', 0x0135}), 1},
    {"ZeroUnitEndsNumber", units({'1', 0, '5'}), 1},
};

class IndexValue : public testing::TestWithParam<IndexCase> {};

TEST_P(IndexValue, ReadsAndSaturates) {
    EXPECT_EQ(readIndexValue(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Options, IndexValue, testing::ValuesIn(kIndexCases),
                         [](const auto& info) { return testName(info.param.name); });

// ---- toUtf8 ----

struct Utf8Case {
    std::string_view name;
    WideString text;
    std::string expected;
};

void PrintTo(const Utf8Case& c, std::ostream* os) {
    *os << c.name;
}

const Utf8Case kUtf8Cases[] = {
    {"Empty", {}, ""},
    {"Ascii", TORVANE_WIDE("Wheel 1"), "Wheel 1"},
    {"TwoByteBounds", units({0x80, 0x7FF}), "\xC2\x80\xDF\xBF"},
    {"ThreeByteBounds", units({0x800, 0x20AC, 0xFFFF}), "\xE0\xA0\x80\xE2\x82\xAC\xEF\xBF\xBF"},
    {"SurrogatePair", units({0xD83D, 0xDE00}), "\xF0\x9F\x98\x80"},
    {"LoneHighSurrogateAtEnd", units({'a', 0xD800}), "a\xEF\xBF\xBD"},
    {"LoneLowSurrogate", units({'a', 0xDC00, 'b'}),
     "a\xEF\xBF\xBD"
     "b"},
    {"ReversedPair", units({0xDE00, 0xD83D}), "\xEF\xBF\xBD\xEF\xBF\xBD"},
    {"HighSurrogateBeforeAscii", units({0xD83D, 'x'}), "\xEF\xBF\xBDx"},
    {"EmbeddedZeroKept", units({'a', 0, 'b'}), std::string("a\0b", 3)},
};

class ToUtf8 : public testing::TestWithParam<Utf8Case> {};

TEST_P(ToUtf8, Converts) {
    EXPECT_EQ(toUtf8(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Options, ToUtf8, testing::ValuesIn(kUtf8Cases),
                         [](const auto& info) { return testName(info.param.name); });

// ---- toLowerAscii ----

TEST(OptionsLowerAscii, FoldsOnlyAsciiCapitals) {
    const struct {
        std::string input;
        std::string expected;
    } cases[] = {
        {"FANATEC", "fanatec"},
        {"MiXeD 123", "mixed 123"},
        {"@AZ[`az{", "@az[`az{"},  // the neighbours of both letter ranges stay
        {"\xC3\x89"
         "CRAN",
         "\xC3\x89"
         "cran"},                          // a UTF-8 capital E acute is not folded
        {"\xC1\xC9\xDA", "\xC1\xC9\xDA"},  // Latin-1 capitals are bytes like any other
        {std::string("A\0B", 3), std::string("a\0b", 3)},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(toLowerAscii(c.input), c.expected) << c.input;
}

}  // namespace
}  // namespace torvane
