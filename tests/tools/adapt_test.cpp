#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tools/adapt/game_reader.h"

namespace torvane::tools {
namespace {

constexpr GameFormat kForza = GameFormat::Forza, kF1 = GameFormat::F1, kAc = GameFormat::Assetto;
constexpr std::size_t kCar = 29 + 60;  // F1: the player's car 1

struct Layout {
    GameFormat game;
    std::size_t size;
    unsigned id = 0;
};
constexpr Layout kSled{kForza, 232}, kDash{kForza, 311}, kHorizon{kForza, 324}, kFm23{kForza, 331};
constexpr Layout kMotion{kF1, 1349}, kF1Car{kF1, 1352, 6}, kMotionEx{kF1, 273, 13},
    kCarInfo{kAc, 328};

struct Field {  // at an offset: f float, i s32, h u16, b u8
    std::size_t at;
    double value;
    char type = 'f';
};

/// The layout's packet with its fields: Forza's race on, F1 25's header, Assetto's identifier.
std::string packet(Layout layout, std::vector<Field> fields) {
    if (layout.game == kForza) fields.insert(fields.begin(), {0, 1, 'i'});
    if (layout.game == kF1)
        fields.insert(fields.begin(), {{0, 2025, 'h'}, {6, double(layout.id), 'b'}, {27, 1, 'b'}});
    if (layout.game == kAc) fields.insert(fields.begin(), {0, 'a', 'b'});
    std::string bytes(layout.size, '\0');
    for (const Field& f : fields) {
        const auto single = float(f.value);
        auto bits = std::uint32_t(std::int64_t(f.value));
        if (f.type == 'f') std::memcpy(&bits, &single, 4);
        for (std::size_t i = 0; i < (f.type == 'h' ? 2u : f.type == 'b' ? 1u : 4u); ++i)
            bytes.at(f.at + i) = char(bits >> 8 * i);
    }
    return bytes;
}

// Revs, the steady corner and Forza's curb are read back from the bridge in e2e/adapt_e2e.py.
TEST(GameReader, MapsEachDocumentedFieldToTheBridgesMessage) {
    using F = TelemetryFrame;
    constexpr double F::*kTorque = &F::aligningTorque, F::*kEngine = &F::engineGain,
                     F::*kRoad = &F::roadGain, F::*kLift = &F::verticalAccel;
    const struct {
        Layout of;
        std::vector<Field> set;
        double F::*key;
        double want = 0.0;
        AdaptSettings settings = {};
    } cases[] = {
        {.of = kDash, .set = {{8, 8000}, {12, 1000}, {16, 4500}}, .key = kEngine, .want = 0.225},
        {.of = kDash, .set = {{20, -19.613}, {164, 0.5}, {168, -0.5}}, .key = kTorque, .want = 0.6},
        {.of = kSled, .set = {{20, 9.81}}, .key = kTorque, .want = -1, .settings = {.strength = 2}},
        {.of = kDash, .set = {{148, 0.2}, {152, -0.4}, {160, 0.2}}, .key = kRoad, .want = 0.2},
        {.of = kDash, .set = {{24, 5}}, .key = kLift, .want = 4.5},
        {.of = kDash, .set = {{244, 27.5}}, .key = &F::speed, .want = 27.5},
        {.of = kHorizon, .set = {{244, 9}, {256, 31}}, .key = &F::speed, .want = 31},
        {.of = kFm23, .set = {{244, 12}}, .key = &F::speed, .want = 12},
        {.of = kSled, .set = {{32, 3}, {40, -4}}, .key = &F::speed, .want = 5},
        {.of = kF1Car, .set = {{kCar, 180, 'h'}}, .key = &F::speed, .want = 50},
        {.of = kF1Car, .set = {{kCar + 2, 1}}, .key = kEngine, .want = 0.35},
        {.of = kF1Car, .set = {{kCar + 58, 1, 'b'}}, .key = &F::curbPulse, .want = 0.55},
        {.of = kF1Car,
         .set = {{kCar + 56, 9, 'b'}, {kCar + 57, 11, 'b'}},
         .key = kRoad,
         .want = 0.175},
        {.of = kMotionEx, .set = {{29 + 24, 0.5}, {29 + 28, -0.5}}, .key = kRoad, .want = 0.25},
        {.of = kMotion, .set = {{29 + 36, 2}}, .key = kTorque, .want = 0},  // another car's
        {.of = kMotion, .set = {{kCar + 44, 0.5}}, .key = kLift, .want = 4.41299},
        {.of = kCarInfo, .set = {{16, 40}}, .key = &F::speed, .want = 40},
        {.of = kCarInfo, .set = {{56, 0.5}}, .key = kEngine, .want = 0.225},
        {.of = kCarInfo, .set = {{28, 0.5}}, .key = kLift, .want = 4.41299},
        {.of = kCarInfo, .set = {{212, 40}, {216, 20}}, .key = kTorque, .want = -1},
        {.of = kCarInfo, .set = {{212, -6}, {216, -6}}, .key = kTorque, .want = 0.4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.set[0].at << " in " << c.of.size);
        // At rest first; F1 sends with its next motion packet.
        GameReader reader(c.of.game, c.settings);
        const std::string rest = packet(c.of.game == kF1 ? kMotion : c.of, {});
        reader.read(rest);
        PacketReading reading = reader.read(packet(c.of, c.set));
        if (c.of.id != 0) reading = reader.read(rest);
        ASSERT_EQ(reading.verdict, PacketVerdict::Frame);
        EXPECT_NEAR(reading.frame.*c.key, c.want, 1e-4);
    }
}

TEST(GameReader, ReadsOnlyTheDocumentedSizesAndLayouts) {
    const struct {
        Layout of;
        std::vector<Field> set = {};
        PacketVerdict verdict = PacketVerdict::Skipped;
    } cases[] = {
        {.of = {kForza, 312}},
        {.of = kHorizon, .set = {{0, 0, 'i'}}, .verdict = PacketVerdict::Kept},
        {.of = {kF1, 28}},
        {.of = {kF1, 1348}},
        {.of = kMotion, .set = {{0, 2024, 'h'}}},
        {.of = kMotion, .set = {{27, 22, 'b'}}},
        {.of = {kF1, 753, 1}, .verdict = PacketVerdict::Kept},
        {.of = {kAc, 327}},
        {.of = kCarInfo, .set = {{0, 'b', 'b'}}},
        {.of = {kAc, 408}, .verdict = PacketVerdict::Subscribe},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GameReader(c.of.game, {}).read(packet(c.of, c.set)).verdict, c.verdict)
            << c.of.size;
}

}  // namespace
}  // namespace torvane::tools
