// The telemetry reader's rules, one row each. tests/fuzz checks it and the single-key readers
// against a reference (strtod for numbers), protocol_doc_test every documented message.
#include "telemetry/telemetry_frame.h"

#include <gtest/gtest.h>

#include <string>

namespace torvane {
namespace {

using namespace std::string_literals;

TEST(TelemetryFrame, ReadsKnownKeysTolerantly) {
    const struct {
        const char* why;
        std::string text;
        TelemetryFrame expected;
    } cases[] = {
        {"any bytes before the colon, white space after it", "{\"speed\" x:\n\t7}", {.speed = 7}},
        {"a quoted number and null are no numbers", R"({"speed":"12","engineHz":null})", {}},
        {"non-finite values are absent, the rest is strtod's reading",
         R"({"speed":1e999,"engineHz":-1e999,"roadGain":nan,"curbPulse":0x10,"tractionSlip":12a,)"
         R"("verticalAccel":-3.5e2,"engineGain":.5})",
         {.engineGain = 0.5, .curbPulse = 16.0, .tractionSlip = 12.0, .verticalAccel = -350.0}},
        {"only the first occurrence counts", R"({"speed":"x","speed":5})", {}},
        {"a key does not match a longer key, nor another case",
         R"({"curbPulse":0.5,"offroadX":true,"Speed":4,"CURB":true})",
         {.curbPulse = 0.5}},
        {"flags: spaces, tabs, CR and LF are skipped, then exactly true",
         "{\"curb\": \r\n\ttrue,\"offroad\":trueish}",
         {.curb = true, .offroad = true}},
        {"flags: capitals and vertical tab are not", "{\"curb\":True,\"offroad\":\vtrue}", {}},
        {"zero bytes are ordinary bytes for keys and flags but end a number",
         "{\"x\":\"\0\",\"speed\":1\0"
         "5,\"curb\":\0true,\"offroad\":true}"s,
         {.speed = 1.0, .offroad = true}},
    };
    for (const auto& c : cases) EXPECT_EQ(parseTelemetryFrame(c.text), c.expected) << c.why;
    // Too small a value is zero, and present: it replaces the default rather than keeping it.
    EXPECT_EQ(readNumberField(R"({"speed":-1e-400})", "speed"), std::optional<double>(0.0));
}

}  // namespace
}  // namespace torvane
