// The raw-input message byte for byte, from the shortest to the longest.
#include "report/raw_input.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace torvane {
namespace {

/// A state with these eight axes (x, y, z, rx, ry, rz, slider 0 and 1) and these button bytes.
DIJOYSTATE2 makeState(std::array<LONG, 8> axes, std::vector<std::pair<int, BYTE>> buttons = {}) {
    DIJOYSTATE2 state{};
    std::memcpy(&state, axes.data(), sizeof axes);  // the eight LONGs open the record
    for (const auto& [index, value] : buttons) state.rgbButtons[index] = value;
    return state;
}

TEST(RawInput, FormatsTheMessageByteForByte) {
    // Hats, velocities, accelerations and forces are not part of the message.
    DIJOYSTATE2 hidden{};
    for (DWORD& pov : hidden.rgdwPOV) pov = 27000;
    hidden.lVX = hidden.lAX = hidden.lFX = 5;
    hidden.rglVSlider[1] = hidden.rglASlider[0] = hidden.rglFSlider[1] = -7;
    hidden.lFRz = 99;

    DIJOYSTATE2 longest = makeState(
        {INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN});
    for (BYTE& button : longest.rgbButtons) button = 0x80;
    std::string allButtons = "0";
    for (int i = 1; i < 128; ++i) allButtons += "," + std::to_string(i);
    const std::string eightMinima =
        R"({"type":"raw-input","axes":{"x":-2147483648,"y":-2147483648,"z":-2147483648,)"
        R"("rx":-2147483648,"ry":-2147483648,"rz":-2147483648,"slider0":-2147483648,)"
        R"("slider1":-2147483648},"buttons":[)";

    const std::pair<DIJOYSTATE2, std::string> cases[] = {
        {hidden,  // the shortest message: 105 bytes
         R"({"type":"raw-input","axes":{"x":0,"y":0,"z":0,"rx":0,"ry":0,"rz":0,)"
         R"("slider0":0,"slider1":0},"buttons":[]})"},
        // Distinct values show every axis in its own place; only the high bit presses a button.
        {makeState({-1532, 10000, -10000, 0, 5000, -60000, 7, -8},
                   {{0, 0x80}, {1, 0x7F}, {2, 0xFF}, {3, 0x40}, {12, 0xC0}, {127, 0x81}}),
         R"({"type":"raw-input","axes":{"x":-1532,"y":10000,"z":-10000,"rx":0,"ry":5000,)"
         R"("rz":-60000,"slider0":7,"slider1":-8},"buttons":[0,2,12,127]})"},
        {longest, eightMinima + allButtons + "]}"},  // the longest message: 586 bytes
    };
    for (const auto& [state, expected] : cases)
        EXPECT_EQ(formatRawInputReport(state).view(), expected);
    EXPECT_EQ(formatRawInputReport(longest).length, 586u);
}

}  // namespace
}  // namespace torvane
