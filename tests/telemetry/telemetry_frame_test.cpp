#include "telemetry/telemetry_frame.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string>

#include "telemetry/number_scan.h"

namespace torvane {
namespace {

using namespace std::string_literals;

std::array<double, 11> fields(const TelemetryFrame& f) {
    return {f.aligningTorque, f.engineHz,     f.engineGain,     f.roadGain,
            f.curbPulse,      f.tireSlip,     f.tractionSlip,   f.speed,
            f.verticalAccel,  double(f.curb), double(f.offroad)};
}

TEST(TelemetryFrame, ReadsKnownKeysTolerantly) {
    const struct {
        const char* why;
        std::string text;
        TelemetryFrame expected;
    } cases[] = {
        {"empty text", "", {}},
        {"typical message",
         R"({"aligningTorque":-0.42,"engineHz":61.5,"engineGain":0.3,"roadGain":0.12,)"
         R"("curbPulse":0.8,"tireSlip":0.05,"tractionSlip":0.02,"speed":27.4,)"
         R"("verticalAccel":1.6,"curb":true,"offroad":false})",
         {-0.42, 61.5, 0.3, 0.12, 0.8, 0.05, 0.02, 27.4, 1.6, true, false}},
        {"any bytes before the colon, white space after it", "{\"speed\" x:\n\t7}", {.speed = 7}},
        {"a quoted number and null are no numbers", R"({"speed":"12","engineHz":null})", {}},
        {"non-finite values are absent, the rest is strtod's reading",
         R"({"speed":1e999,"engineHz":-1e999,"roadGain":nan,"tireSlip":-inf,)"
         R"("curbPulse":0x10,"tractionSlip":12abc,"verticalAccel":-3.5e2,"engineGain":.5,)"
         R"("aligningTorque":-0x1.8p1})",
         {.aligningTorque = -3.0,
          .engineGain = 0.5,
          .curbPulse = 16.0,
          .tractionSlip = 12.0,
          .verticalAccel = -350.0}},
        {"only the first occurrence counts", R"({"speed":"x","speed":5})", {}},
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
        {"flags: capitals and vertical tab are not", "{\"curb\":True,\"offroad\":\vtrue}", {}},
        {"zero bytes are ordinary bytes for keys and flags but end a number",
         "{\"x\":\"\0\",\"speed\":1\0"
         "5,\"curb\":\0true,\"offroad\":true}"s,
         {.speed = 1.0, .offroad = true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const TelemetryFrame frame = parseTelemetryFrame(c.text);
        EXPECT_EQ(fields(frame), fields(c.expected));
        // The single-key readers search on their own and must agree with the whole-frame reader.
        EXPECT_EQ(readNumberField(c.text, "speed").value_or(0.0), frame.speed);
        EXPECT_EQ(readNumberField(c.text, "curbPulse").value_or(0.0), frame.curbPulse);
        EXPECT_EQ(readBoolField(c.text, "curb"), frame.curb);
        EXPECT_EQ(readBoolField(c.text, "offroad"), frame.offroad);
    }
    // Too small a value is zero, and present: it replaces the default rather than keeping it.
    EXPECT_EQ(readNumberField(R"({"speed":-1e-400})", "speed"), std::optional<double>(0.0));
}

TEST(NumberScan, ReadsLikeCLocaleStrtod) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr auto kHex = HexNumbers::Accepted;
    constexpr auto kNoHex = HexNumbers::Rejected;
    const std::string manyZeros(400, '0');
    const struct {
        std::string text;
        HexNumbers hex;
        double value;
        std::size_t consumed;
    } cases[] = {
        {" \t\n\v\f\r-12.5E1x", kHex, -125.0, 13},
        {"+.5", kHex, 0.5, 3},
        {"1.e3", kHex, 1000.0, 4},
        {"1e+x", kHex, 1.0, 1},
        {"0x1Fp-1", kHex, 15.5, 7},
        {"0x1Fp-1", kNoHex, 0.0, 1},
        {"-0X.8", kHex, -0.5, 5},
        {"0x", kHex, 0.0, 1},
        {"INFinity", kNoHex, kInf, 8},
        {"-infin", kHex, -kInf, 4},
        {"nan(a_Z9)", kHex, kNaN, 9},
        {"NaN(a b)", kHex, kNaN, 3},
        // Beyond the largest double is infinity, below the smallest subnormal is zero, whatever
        // the exponent says on its own.
        {"1.8e308", kHex, kInf, 7},
        {"1" + manyZeros, kHex, kInf, 401},
        {"1e99999999999999999999999", kHex, kInf, 25},
        {"1e-400", kHex, 0.0, 6},
        {"0." + manyZeros + "1", kHex, 0.0, 403},
        {"0e99999999999999999999999", kHex, 0.0, 25},
        // Leading zeros carry no weight; hexadecimal digits weigh four bits each.
        {manyZeros + "1e-400", kHex, 0.0, 406},
        {"0x1" + std::string(300, '0') + "p-150", kHex, kInf, 308},
        {"4.9e-324", kHex, std::numeric_limits<double>::denorm_min(), 8},
        // What is not a number consumes nothing, white space and sign included.
        {"- 1", kHex, 0.0, 0},
        {"+.e1", kHex, 0.0, 0},
        {"in", kHex, 0.0, 0},
    };
    for (const auto& c : cases) {
        const NumberScan scan = scanDouble(c.text, c.hex);
        EXPECT_TRUE(std::isnan(c.value) ? std::isnan(scan.value) : scan.value == c.value)
            << c.text.substr(0, 40) << " gave " << scan.value;
        EXPECT_EQ(scan.consumed, c.consumed) << c.text.substr(0, 40);
    }
}

// Each text lives at the very end of an allocation of exactly its size, so the address sanitizer
// reports a read of even one byte past it; every suffix is scanned as a number too.
TEST(TelemetryFrame, NeverReadsPastTheText) {
    const struct {
        std::string text;
        double speed;
        bool curb;
    } cases[] = {
        {"", 0.0, false},
        {R"({"speed":1.0)", 1.0, false},
        {R"({"speed":-1.5e)", -1.5, false},
        {R"({"speed":2e1)", 20.0, false},
        {R"({"speed":infinit)", 0.0, false},
        {R"({"speed":nan)", 0.0, false},
        {R"({"speed":nan(ab)", 0.0, false},
        {R"({"speed")", 0.0, false},
        {R"({"speed)", 0.0, false},
        {"{\"curb\":\r\n ", 0.0, false},
        {R"({"curb":tru)", 0.0, false},
    };
    for (const auto& c : cases) {
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
