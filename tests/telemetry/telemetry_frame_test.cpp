#include "telemetry/telemetry_frame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "telemetry/number_scan.h"

namespace torvane {
namespace {

using namespace std::string_literals;

void expectFrame(const TelemetryFrame& actual, const TelemetryFrame& expected) {
    EXPECT_EQ(actual.aligningTorque, expected.aligningTorque);
    EXPECT_EQ(actual.engineHz, expected.engineHz);
    EXPECT_EQ(actual.engineGain, expected.engineGain);
    EXPECT_EQ(actual.roadGain, expected.roadGain);
    EXPECT_EQ(actual.curbPulse, expected.curbPulse);
    EXPECT_EQ(actual.tireSlip, expected.tireSlip);
    EXPECT_EQ(actual.tractionSlip, expected.tractionSlip);
    EXPECT_EQ(actual.speed, expected.speed);
    EXPECT_EQ(actual.verticalAccel, expected.verticalAccel);
    EXPECT_EQ(actual.curb, expected.curb);
    EXPECT_EQ(actual.offroad, expected.offroad);
}

struct FrameCase {
    const char* why;
    std::string text;
    TelemetryFrame expected;
};

TEST(TelemetryFrameTest, ReadsKnownKeysTolerantly) {
    const std::vector<FrameCase> cases = {
        {"empty text", "", {}},
        {"typical message",
         R"({"aligningTorque":-0.42,"engineHz":61.5,"engineGain":0.3,"roadGain":0.12,)"
         R"("curbPulse":0.8,"tireSlip":0.05,"tractionSlip":0.02,"speed":27.4,)"
         R"("verticalAccel":1.6,"curb":true,"offroad":false})",
         {-0.42, 61.5, 0.3, 0.12, 0.8, 0.05, 0.02, 27.4, 1.6, true, false}},
        {"only one key, the rest default", R"({"speed":12.5})", {.speed = 12.5}},
        {"white space around the colon", "{\"speed\" :\n\t7}", {.speed = 7.0}},
        {"any bytes between key and colon", R"({"speed"xyz:4})", {.speed = 4.0}},
        {"key at the end without colon", R"({"speed")", {}},
        {"quoted number, null and array are not numbers",
         R"({"speed":"12","engineHz":null,"roadGain":[1]})",
         {}},
        {"non-finite values are absent, the rest is strtod's reading",
         R"({"speed":1e999,"engineHz":-1e999,"roadGain":nan,"tireSlip":-inf,)"
         R"("curbPulse":0x10,"tractionSlip":12abc,"verticalAccel":-3.5e2,"engineGain":.5,)"
         R"("aligningTorque":-0x1.8p1})",
         {.aligningTorque = -3.0,
          .engineGain = 0.5,
          .curbPulse = 16.0,
          .tractionSlip = 12.0,
          .verticalAccel = -350.0}},
        {"a subnormal value is kept",
         R"({"speed":4.9e-324})",
         {.speed = std::numeric_limits<double>::denorm_min()}},
        {"only the first occurrence counts", R"({"speed":"x","speed":5})", {}},
        {"nesting is ignored", R"({"data":{"speed":3}})", {.speed = 3.0}},
        {"a string value is an occurrence; the next colon belongs to another key",
         R"({"label":"speed","x":7,"speed":5})",
         {.speed = 7.0}},
        {"a key does not match a longer key",
         R"({"curbPulse":0.5,"offroadX":true})",
         {.curbPulse = 0.5}},
        {"keys are compared byte for byte", R"({"Speed":4,"sp\u0065ed":5,"CURB":true})", {}},
        {"flags: spaces, tabs, CR and LF are skipped, then exactly true",
         "{\"curb\": \r\n\ttrue,\"offroad\":trueish}",
         {.curb = true, .offroad = true}},
        {"flags: capitals, numbers, strings are false", R"({"curb":True,"offroad":"true"})", {}},
        {"flags: 1 and vertical tab are not true", "{\"curb\":1,\"offroad\":\vtrue}", {}},
        {"flag key at the end", "{\"curb\":   ", {}},
        {"zero bytes are ordinary bytes for keys and flags but end a number",
         "{\"x\":\"\0\",\"speed\":1\0"
         "5,\"curb\":\0true,\"offroad\":true}"s,
         {.speed = 1.0, .offroad = true}},
    };
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(c.why);
        const TelemetryFrame frame = parseTelemetryFrame(c.text);
        expectFrame(frame, c.expected);
        // The single-key readers search on their own and must agree with the whole-frame reader.
        EXPECT_EQ(readNumberField(c.text, "speed").value_or(0.0), frame.speed);
        EXPECT_EQ(readNumberField(c.text, "curbPulse").value_or(0.0), frame.curbPulse);
        EXPECT_EQ(readBoolField(c.text, "curb"), frame.curb);
        EXPECT_EQ(readBoolField(c.text, "offroad"), frame.offroad);
    }
    // Too small a value is zero, and present: it replaces the default rather than keeping it.
    EXPECT_EQ(readNumberField(R"({"speed":-1e-400})", "speed"), std::optional<double>(0.0));
    EXPECT_EQ(readNumberField(R"({"speed":1e400})", "speed"), std::nullopt);
}

struct ScanCase {
    std::string text;
    HexNumbers hex;
    double value;
    std::size_t consumed;
};

TEST(NumberScanTest, ReadsLikeCLocaleStrtod) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    constexpr double kTiny = std::numeric_limits<double>::denorm_min();
    constexpr auto kHex = HexNumbers::Accepted;
    constexpr auto kNoHex = HexNumbers::Rejected;
    const std::string manyZeros(400, '0');
    const std::vector<ScanCase> cases = {
        {" \t\n\v\f\r-12.5e1x", kHex, -125.0, 13},
        {"+.5", kHex, 0.5, 3},
        {"1.e3", kHex, 1000.0, 4},
        {"1e+", kHex, 1.0, 1},
        {"12\0"
         "5"s,
         kHex, 12.0, 2},
        {"0x1Fp-1", kHex, 15.5, 7},
        {"0x1Fp-1", kNoHex, 0.0, 1},
        {"-0X.8", kHex, -0.5, 5},
        {"0x", kHex, 0.0, 1},
        {"0x.p1", kHex, 0.0, 1},
        {"0x1p", kHex, 1.0, 3},
        {"INFinity", kNoHex, kInf, 8},
        {"-infin", kHex, -kInf, 4},
        // Beyond the largest double is infinity, below the smallest subnormal is zero, whatever
        // the exponent says on its own.
        {"1.8e308", kHex, kInf, 7},
        {"1" + manyZeros, kHex, kInf, 401},
        {"1e99999999999999999999999", kHex, kInf, 25},
        {"0x1p1024", kHex, kInf, 8},
        {"1e-400", kHex, 0.0, 6},
        {"0." + manyZeros + "1", kHex, 0.0, 403},
        {"1" + manyZeros + "e-800", kHex, 0.0, 406},
        {"0e99999999999999999999999", kHex, 0.0, 25},
        {"4.9e-324", kHex, kTiny, 8},
        {"2.4703282292062328e-324", kHex, kTiny, 23},
        {"0x1p-1074", kHex, kTiny, 9},
        {"0x1p-1075", kHex, 0.0, 9},
    };
    for (const ScanCase& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        const NumberScan scan = scanDouble(c.text, c.hex);
        EXPECT_EQ(scan.value, c.value);
        EXPECT_EQ(scan.consumed, c.consumed);
    }

    // What is not a number consumes nothing, white space and sign included.
    for (const std::string text : {"", "  ", "-", "+.e1", ".", "e5", "- 1", "in", "x1"}) {
        EXPECT_EQ(scanDouble(text, kHex).consumed, 0u) << text;
    }
    const NumberScan negativeZero = scanDouble("-1e-400", kHex);
    EXPECT_TRUE(negativeZero.value == 0.0 && std::signbit(negativeZero.value));
    EXPECT_EQ(scanDouble("nan(a_Z9)", kHex).consumed, 9u);
    EXPECT_EQ(scanDouble("NaN(a b)", kHex).consumed, 3u);
    EXPECT_TRUE(std::isnan(scanDouble("-nan", kHex).value));
}

struct GuardedCase {
    std::string text;
    double speed;
    bool curb;
};

// The text lives at the very end of an allocation of exactly its size, so the address sanitizer
// reports a read of even one byte past it.
TEST(TelemetryFrameTest, NeverReadsPastTheText) {
    const std::vector<GuardedCase> cases = {
        {"", 0.0, false},
        {R"({"speed":12)", 12.0, false},
        {R"({"speed":-1.5e)", -1.5, false},
        {R"({"speed":0x)", 0.0, false},
        {R"({"speed":0x1p-)", 1.0, false},
        {R"({"speed":infinit)", 0.0, false},
        {R"({"speed":nan(ab)", 0.0, false},
        {R"({"speed")", 0.0, false},
        {R"({"speed)", 0.0, false},
        {R"({"curb":)", 0.0, false},
        {"{\"curb\":\r\n ", 0.0, false},
        {R"({"curb":tru)", 0.0, false},
        {"{\"speed\":7\0"s, 7.0, false},
        {"\0{\"curb\":true\0"s, 0.0, true},
    };
    for (const GuardedCase& c : cases) {
        SCOPED_TRACE(c.text);
        const auto guarded = std::make_unique<char[]>(c.text.size());
        if (!c.text.empty()) std::memcpy(guarded.get(), c.text.data(), c.text.size());
        const std::string_view view(guarded.get(), c.text.size());

        const TelemetryFrame frame = parseTelemetryFrame(view);
        EXPECT_EQ(frame.speed, c.speed);
        EXPECT_EQ(frame.curb, c.curb);
        for (std::size_t from = 0; from <= view.size(); ++from) {
            scanDouble(view.substr(from), HexNumbers::Accepted);
        }
    }
}

}  // namespace
}  // namespace torvane
