#include "report/raw_input.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include "support/fake_directinput.h"

namespace torvane {
namespace {

constexpr LONG kMin = std::numeric_limits<std::int32_t>::min();
constexpr LONG kMax = std::numeric_limits<std::int32_t>::max();

struct Axes {
    LONG x = 0, y = 0, z = 0, rx = 0, ry = 0, rz = 0, slider0 = 0, slider1 = 0;
};

DIJOYSTATE2 makeState(Axes axes, std::initializer_list<int> pressed = {}, BYTE pressedByte = 0x80) {
    DIJOYSTATE2 state{};
    state.lX = axes.x;
    state.lY = axes.y;
    state.lZ = axes.z;
    state.lRx = axes.rx;
    state.lRy = axes.ry;
    state.lRz = axes.rz;
    state.rglSlider[0] = axes.slider0;
    state.rglSlider[1] = axes.slider1;
    for (int index : pressed) state.rgbButtons[index] = pressedByte;
    return state;
}

DIJOYSTATE2 everyButton(DIJOYSTATE2 state) {
    for (BYTE& button : state.rgbButtons) button = 0x80;
    return state;
}

std::string allButtonIndexes() {
    std::string list;
    for (int i = 0; i < 128; ++i) list += (i == 0 ? "" : ",") + std::to_string(i);
    return list;
}

struct FormatCase {
    const char* name;
    DIJOYSTATE2 state;
    std::string expected;
};

class RawInputFormat : public testing::TestWithParam<FormatCase> {};

TEST_P(RawInputFormat, WritesTheMessageByteForByte) {
    const RawInputText text = formatRawInputReport(GetParam().state);
    EXPECT_EQ(std::string(text.view()), GetParam().expected);
}

DIJOYSTATE2 idleWithHiddenFields() {
    // Hats, velocities, accelerations and forces are not part of the message.
    DIJOYSTATE2 state{};
    for (DWORD& pov : state.rgdwPOV) pov = 27000;
    state.lVX = state.lAX = state.lFX = 5;
    state.rglVSlider[1] = state.rglASlider[0] = state.rglFSlider[1] = -7;
    state.lFRz = 99;
    return state;
}

DIJOYSTATE2 buttonByteBoundaries() {
    DIJOYSTATE2 state{};
    const BYTE bytes[] = {0x7F, 0x80, 0x01, 0xFF, 0x40, 0xC0, 0x00, 0x81};
    for (std::size_t i = 0; i < std::size(bytes); ++i) state.rgbButtons[i] = bytes[i];
    return state;
}

INSTANTIATE_TEST_SUITE_P(
    RawInput, RawInputFormat,
    testing::Values(
        FormatCase{"Idle",
                   {},
                   R"({"type":"raw-input","axes":{"x":0,"y":0,"z":0,"rx":0,"ry":0,"rz":0,)"
                   R"("slider0":0,"slider1":0},"buttons":[]})"},
        FormatCase{"HiddenFieldsLeftOut", idleWithHiddenFields(),
                   R"({"type":"raw-input","axes":{"x":0,"y":0,"z":0,"rx":0,"ry":0,"rz":0,)"
                   R"("slider0":0,"slider1":0},"buttons":[]})"},
        FormatCase{"ButtonsZeroAndTwelve", makeState({-1532, 10000, -10000}, {0, 12}),
                   R"({"type":"raw-input","axes":{"x":-1532,"y":10000,"z":-10000,"rx":0,"ry":0,)"
                   R"("rz":0,"slider0":0,"slider1":0},"buttons":[0,12]})"},
        // Distinct values show every axis in its own place.
        FormatCase{"FirstAndLastButton",
                   makeState({1, -2, 30, -400, 5000, -60000, 7, -8}, {127, 0}),
                   R"({"type":"raw-input","axes":{"x":1,"y":-2,"z":30,"rx":-400,"ry":5000,)"
                   R"("rz":-60000,"slider0":7,"slider1":-8},"buttons":[0,127]})"},
        FormatCase{"OnlyTheHighBitPresses", buttonByteBoundaries(),
                   R"({"type":"raw-input","axes":{"x":0,"y":0,"z":0,"rx":0,"ry":0,"rz":0,)"
                   R"("slider0":0,"slider1":0},"buttons":[1,3,5,7]})"},
        FormatCase{"LargestValues",
                   makeState({kMax, kMax, kMax, kMax, kMax, kMax, kMax, kMax}, {64}),
                   R"({"type":"raw-input","axes":{"x":2147483647,"y":2147483647,)"
                   R"("z":2147483647,"rx":2147483647,"ry":2147483647,"rz":2147483647,)"
                   R"("slider0":2147483647,"slider1":2147483647},"buttons":[64]})"},
        FormatCase{"MostNegativeValuesAndEveryButton",
                   everyButton(makeState({kMin, kMin, kMin, kMin, kMin, kMin, kMin, kMin})),
                   R"({"type":"raw-input","axes":{"x":-2147483648,"y":-2147483648,)"
                   R"("z":-2147483648,"rx":-2147483648,"ry":-2147483648,"rz":-2147483648,)"
                   R"("slider0":-2147483648,"slider1":-2147483648},"buttons":[)" +
                       allButtonIndexes() + "]}"}),
    [](const testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

TEST(RawInputFormatLength, ShortestAndLongestMessagesHaveTheirKnownSizes) {
    EXPECT_EQ(formatRawInputReport(DIJOYSTATE2{}).length, 105u);
    const DIJOYSTATE2 longest =
        everyButton(makeState({kMin, kMin, kMin, kMin, kMin, kMin, kMin, kMin}));
    EXPECT_EQ(formatRawInputReport(longest).length, 586u);
    EXPECT_EQ(RawInputText::kCapacity, 586u);
}

struct PollCase {
    const char* name;
    std::vector<HRESULT> pollResults;
    std::vector<std::string> failures;
    bool read;
    std::vector<std::string> calls;
};

class RawInputPoll : public testing::TestWithParam<PollCase> {};

TEST_P(RawInputPoll, CallsTheDeviceInOrder) {
    const PollCase& c = GetParam();
    fake::FakeWorld world;
    fake::DeviceBehaviour behaviour;
    behaviour.states = {makeState({-1532, 10000}, {3})};
    behaviour.pollResults = c.pollResults;
    fake::FakeDevice& device = world.addDevice(behaviour);
    for (const std::string& failure : c.failures) world.failOn(failure, DIERR_INPUTLOST);

    DIJOYSTATE2 state{};
    EXPECT_EQ(pollControllerState(device, state), c.read);
    EXPECT_THAT(world.calls(), testing::ElementsAreArray(c.calls));
    if (c.read) {
        EXPECT_EQ(state.lX, -1532);
        EXPECT_EQ(state.lY, 10000);
        EXPECT_EQ(state.rgbButtons[3], 0x80);
    }
}

const std::string kPoll = "device1.Poll";
const std::string kAcquire = "device1.Acquire";
const std::string kGetState = "device1.GetDeviceState(272)";

INSTANTIATE_TEST_SUITE_P(
    RawInput, RawInputPoll,
    testing::Values(
        PollCase{"PollSucceeds", {}, {}, true, {kPoll, kGetState}},
        // Poll's non-error codes (DI_NOEFFECT for devices that need no polling) are success.
        PollCase{"PollNeedsNoPolling", {DI_NOEFFECT}, {}, true, {kPoll, kGetState}},
        PollCase{"PollFailsOnceThenAcquireRecovers",
                 {DIERR_NOTACQUIRED},
                 {},
                 true,
                 {kPoll, kAcquire, kPoll, kGetState}},
        PollCase{"AcquireFailureIsIgnored",
                 {DIERR_INPUTLOST},
                 {kAcquire},
                 true,
                 {kPoll, kAcquire, kPoll, kGetState}},
        PollCase{"PollFailsTwice", {}, {kPoll}, false, {kPoll, kAcquire, kPoll}},
        PollCase{"GetDeviceStateFails", {}, {"device1.GetDeviceState"}, false, {kPoll, kGetState}}),
    [](const testing::TestParamInfo<PollCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace torvane
