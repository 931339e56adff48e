#include "app/options.h"

#include "platform/text.h"
#include "support/changed_settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

namespace torvane {
namespace {

using platform::WideString;

/// Raw UTF-16 code units, for surrogates a literal cannot show.
WideString units(std::initializer_list<unsigned> codeUnits) {
    WideString text;
    for (const unsigned unit : codeUnits) text.push_back(static_cast<WCHAR>(unit));
    return text;
}

// What the command line made of the defaults: "--option=value" for each setting that differs,
// joined by ' ', then a line feed and a line for each problem.
std::string readAll(const std::string& arguments) {
    std::vector<WideString> words = {TORVANE_WIDE("torvane-bridge")};
    std::istringstream in(arguments.empty() ? "" : arguments + "|");  // keeps a last empty word
    for (std::string word; std::getline(in, word, '|');) words.push_back(toWide(word));
    std::vector<const WCHAR*> argv;
    for (const WideString& word : words) argv.push_back(word.c_str());
    std::vector<std::string> problems;
    const BridgeOptions read =
        applyCommandLine(readCommandLine(int(argv.size()), argv.data()), {}, &problems);
    std::string shown = fake::changedSettings(read);
    for (const std::string& line : problems) shown += "\n" + line;
    return shown;
}

TEST(Options, ReadsTheCommandLine) {
    const std::string n = "expected a number from 0 to ", u = "\nIgnored unknown argument ",
                      must = ": a value must follow it.";
    const struct {
        std::string args;  // separated by '|', after the program path
        std::string read;
    } cases[] = {
        {.args = "", .read = ""},
        {.args = "--diagnose|--test|--invert|--test",
         .read = "--diagnose=true --test=true --invert=true"},
        {.args = "--test-mode|CURB|--device|\u00C9CRAN",
         .read = "--test-mode=\"curb\" --device=\"\u00C9cran\"\nIgnored --test-mode: it applies "
                 "only with --test."},
        {.args = "--gain|0.2|--gain|0.25|--device-index|2|--device|x|--device|",
         .read = "--gain=0.25 --device-index=2 --device=\"\""},
        {.args = "--GAIN|--gain=0.3|-t||--invert",
         .read = "--invert=true" + u + "\"--GAIN\"." + u + "\"--gain=0.3\"." + u + "\"-t\"." + u +
                 "\"\"."},
        // Four options take an option as their value, with a line; the others count it as missing.
        {.args = "--device|--invert|--gain|--test|--gain",
         .read = "--gain=0 --device=\"--invert\"\nRead \"--invert\" as the value of --device, not "
                 "as an option.\nRead \"--test\" as the value of --gain, not as an "
                 "option.\nIgnored --gain" +
                 must},
        {.args = "--trace|--monitor|--write-config|--force|--smooth|--gain|0.3",
         .read = "--gain=0.3 --monitor=true --force=true\nIgnored --trace" + must +
                 "\nIgnored --write-config" + must + "\nIgnored --smooth" + must +
                 "\nIgnored --force: it applies only with --write-config."},
        {.args = "--virtual-wheel|--monitor|--trace|t.csv|--low-latency|--version|-h|/"
                 "?|--wait|--config|a|--write-config|b|--force",
         .read =
             "--virtual-wheel=true --monitor=true --trace=\"t.csv\" --low-latency=true --wait=true "
             "--config=\"a\" --write-config=\"b\" --help=true --version=true --force=true"},
        {.args = "--steering|0.5|--engine|0|--road|2|--curb|1.5|--damper| 0.4 "
                 "|--min-force|3e-2|--smooth|-0",
         .read = "--steering=0.5 --engine=0 --road=2 --curb=1.5 --damper=0.4 --min-force=0.03"},
        // A typo must not silence an effect: the default stays, and the value is named.
        {.args = "--curb|1,5|--min-force|nan|--smooth|50.01|--road||--smooth|12.5",
         .read = "--smooth=12.5\nIgnored --curb \"1,5\": " + n +
                 "2; using 1.\nIgnored --min-force \"nan\": " + n +
                 "0.2; using 0.\nIgnored --smooth \"50.01\": " + n +
                 "50; using 0.\nIgnored --road \"\": " + n + "2; using 1."},
        // "--gain", "--device-index" and "--test-mode" keep the reading they always had.
        {.args = "--gain| 0.35 |--device-index|-2147483648|--test-mode|Engine|--test",
         .read = "--test=true --test-mode=\"engine\" --gain=0.35 --device-index=-2147483648"},
        {.args = "--gain|0.2x|--gain|0,5|--device-index|abc",
         .read = "--gain=0 --device-index=0\nIgnored --gain \"0.2x\": " + n +
                 "0.35; using 0.2.\nIgnored --gain \"0,5\": " + n +
                 "0.35; using 0 (no force).\nIgnored --device-index \"abc\": expected a whole "
                 "number; using 0."},
        {.args = "--test|--test-mode|bogus|" + std::string(41, 'x'),
         .read = "--test=true --test-mode=\"bogus\"\nIgnored --test-mode \"bogus\": expected one "
                 "of all, self, steer, road, curb, engine; nothing will play." +
                 u + "\"" + std::string(40, 'x') + "...\"."},
    };
    for (const auto& c : cases) EXPECT_EQ(readAll(c.args), c.read) << c.args;
}

// One text per row, as "--gain" and "--device-index" read it.
TEST(Options, ReadsTheGainAndTheIndex) {
    const struct {
        std::string text;
        double gain;
        std::int32_t index;
    } cases[] = {
        {"0.35", 0.35, 0},
        {"inf", 0.35, 0},
        {"-0.5", 0.0, 0},
        {"-0", 0.0, 0},
        {"nan", 0.0, 0},
        {"0x1p-3", 0.0, 0},  // no hexadecimal
        {"-3", 0.0, -3},
        {"+7", 0.35, 7},
        {" \t\n\v\f\r12", 0.35, 12},
        {"1.9", 0.35, 1},
        {"- 5", 0.0, 0},
        {"-2147483649", 0.0, INT32_MIN},
        {std::string(200, '9'), 0.35, INT32_MAX},
        // U+0132 and U+0135 must not be cut down to their low bytes, the ASCII digits '2' and '5'.
        {".\u0132", 0.0, 0},
        {"1\u0135", 0.35, 1},
    };
    for (const auto& c : cases) {
        const double gain = readGainValue(toWide(c.text));
        EXPECT_EQ(gain, c.gain) << c.text;
        EXPECT_FALSE(std::signbit(gain)) << c.text;  // a "-0" would print as such
        EXPECT_EQ(readIndexValue(toWide(c.text)), c.index) << c.text;
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
