#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tools/adapt/game_reader.h"
#include "tools/adapt/skip_notice.h"

namespace torvane::tools {
namespace {

// One field written into a packet at its documented offset: a float unless told otherwise.
struct Field {
    std::size_t at;
    double value;
    char type = 'f';  // f: float, i: s32, h: u16, b: u8
};

void put(std::string& bytes, const Field& field) {
    const std::size_t width = field.type == 'f' || field.type == 'i' ? 4
                              : field.type == 'h'                    ? 2
                                                                     : 1;
    std::uint32_t bits = 0;
    if (field.type == 'f') {
        const auto value = static_cast<float>(field.value);
        std::memcpy(&bits, &value, sizeof bits);
    } else {
        bits = static_cast<std::uint32_t>(static_cast<std::int64_t>(field.value));
    }
    for (std::size_t i = 0; i < width; ++i)
        bytes.at(field.at + i) = static_cast<char>(bits >> (8 * i));
}

constexpr std::size_t kF1Car = 29 + 60;  // the player's car is car 1 in these packets

// A packet of the format's layout with the fields written; the race on (Forza), the header of
// packet id `id` for F1 25 with the player in car 1, the identifier of a car-info packet (Assetto).
std::string makePacket(GameFormat format, std::size_t size, unsigned id,
                       const std::vector<Field>& fields) {
    std::string bytes(size, '\0');
    if (format == GameFormat::Forza && size > 0) put(bytes, {.at = 0, .value = 1, .type = 'i'});
    if (format == GameFormat::F1 && size >= 29) {
        for (const Field& header :
             {Field{0, 2025, 'h'}, Field{6, double(id), 'b'}, Field{27, 1, 'b'}})
            put(bytes, header);
    }
    if (format == GameFormat::Assetto && size == 328) bytes[0] = 'a';
    for (const Field& field : fields) put(bytes, field);
    return bytes;
}

std::string f1Motion(const std::vector<Field>& fields = {}) {
    return makePacket(GameFormat::F1, 1349, 0, fields);
}

/// Reads a packet at rest, then the packet, then (F1, when it was no motion packet) a motion
/// packet, which sends the frame: the frame the packet's fields arrive in.
TelemetryFrame frameAfter(GameReader& reader, GameFormat format, const std::string& packet,
                          unsigned id) {
    reader.read(format == GameFormat::F1 ? f1Motion() : makePacket(format, packet.size(), id, {}));
    PacketReading reading = reader.read(packet);
    if (format == GameFormat::F1 && id != 0) {
        EXPECT_EQ(reading.verdict, PacketVerdict::Kept);
        reading = reader.read(f1Motion());
    }
    EXPECT_EQ(reading.verdict, PacketVerdict::Frame);
    return reading.frame;
}

TEST(GameReader, MapsEachDocumentedFieldToTheBridgesMessage) {
    using F = TelemetryFrame;
    const struct {
        const char* name;
        GameFormat format;
        std::size_t size;
        std::vector<Field> fields;
        double F::*number = nullptr;
        bool F::*flag = nullptr;
        double expected = 0.0;
        unsigned id = 0;
        AdaptSettings settings = {};
    } cases[] = {
        // clang-format off
        {.name = "forza CurrentEngineRpm", .format = GameFormat::Forza, .size = 311, .fields = {{16, 6000}}, .number = &F::engineHz, .expected = 100},
        {.name = "forza rpm in the rev range", .format = GameFormat::Forza, .size = 311, .fields = {{8, 8000}, {12, 1000}, {16, 4500}}, .number = &F::engineGain, .expected = 0.225},
        {.name = "forza AccelerationX, 1 g right", .format = GameFormat::Forza, .size = 311, .fields = {{20, 9.80665}}, .number = &F::aligningTorque, .expected = -0.5},
        {.name = "forza front TireSlipAngle lightens", .format = GameFormat::Forza, .size = 311, .fields = {{20, -19.6133}, {164, 0.5}, {168, -0.5}}, .number = &F::aligningTorque, .expected = 0.6},
        {.name = "forza strength 2", .format = GameFormat::Forza, .size = 232, .fields = {{20, 9.80665}}, .number = &F::aligningTorque, .expected = -1, .settings = {.strength = 2}},
        {.name = "forza front TireSlipAngle", .format = GameFormat::Forza, .size = 311, .fields = {{164, -0.5}, {168, 0.3}}, .number = &F::tireSlip, .expected = 0.4},
        {.name = "forza rear TireSlipRatio", .format = GameFormat::Forza, .size = 311, .fields = {{92, 0.2}, {96, -0.4}}, .number = &F::tractionSlip, .expected = 0.3},
        {.name = "forza SurfaceRumble", .format = GameFormat::Forza, .size = 311, .fields = {{148, 0.2}, {152, -0.4}, {160, 0.2}}, .number = &F::roadGain, .expected = 0.2},
        {.name = "forza WheelOnRumbleStrip", .format = GameFormat::Forza, .size = 311, .fields = {{116, 1, 'i'}, {124, 1, 'i'}}, .flag = &F::curb, .expected = 1},
        {.name = "forza two wheels on the strip", .format = GameFormat::Forza, .size = 311, .fields = {{116, 1, 'i'}, {124, 1, 'i'}}, .number = &F::curbPulse, .expected = 0.7},
        {.name = "forza AccelerationY", .format = GameFormat::Forza, .size = 311, .fields = {{24, 5}}, .number = &F::verticalAccel, .expected = 4.5},
        {.name = "forza Dash Speed", .format = GameFormat::Forza, .size = 311, .fields = {{244, 27.5}}, .number = &F::speed, .expected = 27.5},
        {.name = "forza Horizon Speed", .format = GameFormat::Forza, .size = 324, .fields = {{244, 9}, {256, 31}}, .number = &F::speed, .expected = 31},
        {.name = "forza Motorsport 2023 Speed", .format = GameFormat::Forza, .size = 331, .fields = {{244, 12}}, .number = &F::speed, .expected = 12},
        {.name = "forza Sled velocity", .format = GameFormat::Forza, .size = 232, .fields = {{32, 3}, {40, -4}}, .number = &F::speed, .expected = 5},
        {.name = "f1 m_speed km/h", .format = GameFormat::F1, .size = 1352, .fields = {{kF1Car, 180, 'h'}}, .number = &F::speed, .expected = 50, .id = 6},
        {.name = "f1 m_engineRPM", .format = GameFormat::F1, .size = 1352, .fields = {{kF1Car + 16, 11400, 'h'}}, .number = &F::engineHz, .expected = 190, .id = 6},
        {.name = "f1 m_throttle", .format = GameFormat::F1, .size = 1352, .fields = {{kF1Car + 2, 1}}, .number = &F::engineGain, .expected = 0.35, .id = 6},
        {.name = "f1 surface rumble strip", .format = GameFormat::F1, .size = 1352, .fields = {{kF1Car + 58, 1, 'b'}}, .number = &F::curbPulse, .expected = 0.55, .id = 6},
        {.name = "f1 surface grass", .format = GameFormat::F1, .size = 1352, .fields = {{kF1Car + 59, 7, 'b'}}, .flag = &F::offroad, .expected = 1, .id = 6},
        {.name = "f1 surface cobblestone", .format = GameFormat::F1, .size = 1352, .fields = {{kF1Car + 56, 9, 'b'}, {kF1Car + 57, 11, 'b'}}, .number = &F::roadGain, .expected = 0.175, .id = 6},
        {.name = "f1 m_suspensionVelocity", .format = GameFormat::F1, .size = 273, .fields = {{29 + 24, 0.5}, {29 + 28, -0.5}}, .number = &F::roadGain, .expected = 0.25, .id = 13},
        {.name = "f1 m_wheelSlipAngle", .format = GameFormat::F1, .size = 273, .fields = {{29 + 88, 0.06}, {29 + 92, -0.04}}, .number = &F::tireSlip, .expected = 0.05, .id = 13},
        {.name = "f1 m_wheelSlipRatio", .format = GameFormat::F1, .size = 273, .fields = {{29 + 64, 0.1}, {29 + 68, -0.3}}, .number = &F::tractionSlip, .expected = 0.2, .id = 13},
        {.name = "f1 m_gForceLateral", .format = GameFormat::F1, .size = 1349, .fields = {{kF1Car + 36, 2}}, .number = &F::aligningTorque, .expected = -0.5},
        {.name = "f1 another car's g", .format = GameFormat::F1, .size = 1349, .fields = {{29 + 36, 2}}, .number = &F::aligningTorque, .expected = 0},
        {.name = "f1 m_gForceVertical", .format = GameFormat::F1, .size = 1349, .fields = {{kF1Car + 44, 0.5}}, .number = &F::verticalAccel, .expected = 4.41299},
        {.name = "assetto speed_Ms", .format = GameFormat::Assetto, .size = 328, .fields = {{16, 40}}, .number = &F::speed, .expected = 40},
        {.name = "assetto engineRPM", .format = GameFormat::Assetto, .size = 328, .fields = {{68, 7200}}, .number = &F::engineHz, .expected = 120},
        {.name = "assetto gas", .format = GameFormat::Assetto, .size = 328, .fields = {{56, 0.5}}, .number = &F::engineGain, .expected = 0.225},
        {.name = "assetto accG_vertical", .format = GameFormat::Assetto, .size = 328, .fields = {{28, 0.5}}, .number = &F::verticalAccel, .expected = 4.41299},
        {.name = "assetto front slipAngle", .format = GameFormat::Assetto, .size = 328, .fields = {{100, 2}, {104, -4}}, .number = &F::tireSlip, .expected = 3},
        {.name = "assetto rear slipRatio", .format = GameFormat::Assetto, .size = 328, .fields = {{140, 0.1}, {144, -0.3}}, .number = &F::tractionSlip, .expected = 0.2},
        {.name = "assetto front Mz, automatic scale", .format = GameFormat::Assetto, .size = 328, .fields = {{212, 40}, {216, 20}}, .number = &F::aligningTorque, .expected = -1},
        {.name = "assetto small Mz, least scale", .format = GameFormat::Assetto, .size = 328, .fields = {{212, -6}, {216, -6}}, .number = &F::aligningTorque, .expected = 0.4},
        {.name = "assetto Mz, the user's scale", .format = GameFormat::Assetto, .size = 328, .fields = {{212, 40}, {216, 20}}, .number = &F::aligningTorque, .expected = -0.5, .settings = {.mzScale = 120}},
        // clang-format on
    };
    for (const auto& c : cases) {
        GameReader reader(c.format, c.settings);
        const TelemetryFrame frame =
            frameAfter(reader, c.format, makePacket(c.format, c.size, c.id, c.fields), c.id);
        const double got = c.number ? frame.*c.number : frame.*c.flag ? 1.0 : 0.0;
        EXPECT_NEAR(got, c.expected, 1e-4) << c.name;
    }
}

TEST(GameReader, ReadsOnlyTheDocumentedSizesAndLayouts) {
    const struct {
        const char* name;
        GameFormat format;
        std::string packet;
        PacketVerdict verdict;
    } cases[] = {
        // clang-format off
        {"forza one byte short of Sled", GameFormat::Forza, makePacket(GameFormat::Forza, 231, 0, {}), PacketVerdict::Skipped},
        {"forza between Dash and Horizon", GameFormat::Forza, makePacket(GameFormat::Forza, 312, 0, {}), PacketVerdict::Skipped},
        {"forza empty", GameFormat::Forza, "", PacketVerdict::Skipped},
        {"forza race off: menus, pause", GameFormat::Forza, std::string(324, '\0'), PacketVerdict::Kept},
        {"f1 shorter than its header", GameFormat::F1, std::string(28, '\0'), PacketVerdict::Skipped},
        {"f1 another year's format", GameFormat::F1, makePacket(GameFormat::F1, 1349, 0, {{0, 2024, 'h'}}), PacketVerdict::Skipped},
        {"f1 motion of the wrong size", GameFormat::F1, makePacket(GameFormat::F1, 1348, 0, {}), PacketVerdict::Skipped},
        {"f1 player index beyond the cars", GameFormat::F1, makePacket(GameFormat::F1, 1349, 0, {{27, 22, 'b'}}), PacketVerdict::Skipped},
        {"f1 a packet it has no use for", GameFormat::F1, makePacket(GameFormat::F1, 753, 1, {}), PacketVerdict::Kept},
        {"assetto one byte short", GameFormat::Assetto, makePacket(GameFormat::Assetto, 327, 0, {}), PacketVerdict::Skipped},
        {"assetto another identifier", GameFormat::Assetto, makePacket(GameFormat::Assetto, 328, 0, {{0, 'b', 'b'}}), PacketVerdict::Skipped},
        {"assetto handshake answer", GameFormat::Assetto, std::string(408, 'x'), PacketVerdict::Subscribe},
        // clang-format on
    };
    for (const auto& c : cases)
        EXPECT_EQ(GameReader(c.format, {}).read(c.packet).verdict, c.verdict) << c.name;
}

TEST(GameReader, AbsurdValuesBecomeBoundedFiniteOnes) {
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    for (const float absurd : {std::nanf(""), kInfinity, -kInfinity, 3e38f, -3e38f, 1e-40f}) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &absurd, sizeof bits);
        const auto fill = [bits](GameFormat format, std::size_t size, unsigned id) {
            std::string bytes = makePacket(format, size, id, {});
            for (std::size_t at = format == GameFormat::F1 ? 29 : 4; at + 4 <= size; at += 4)
                for (std::size_t i = 0; i < 4; ++i)
                    bytes[at + i] = static_cast<char>(bits >> (8 * i));
            return bytes;
        };
        for (const GameFormat format : {GameFormat::Forza, GameFormat::F1, GameFormat::Assetto}) {
            GameReader reader(format, {});
            reader.read(fill(format, 1352, 6));
            reader.read(fill(format, 273, 13));
            for (const std::size_t size : {232, 311, 324, 331, 328, 1349}) {
                const PacketReading reading = reader.read(fill(format, size, 0));
                if (reading.verdict != PacketVerdict::Frame) continue;
                const TelemetryFrame& f = reading.frame;
                for (const double value :
                     {f.aligningTorque, f.engineHz, f.engineGain, f.roadGain, f.curbPulse,
                      f.tireSlip, f.tractionSlip, f.speed, f.verticalAccel}) {
                    EXPECT_TRUE(std::isfinite(value) && std::abs(value) <= 1000.0)
                        << absurd << " in packets of " << size;
                }
                EXPECT_LE(std::abs(f.aligningTorque), 1.0);
            }
        }
    }
}

TEST(SkipNotice, TellsTheFirstAtOnceThenAtMostOnceAMinute) {
    SkipNotice notice;
    EXPECT_FALSE(notice.due(0.0, "f1"));
    notice.count(100);
    EXPECT_EQ(notice.due(0.5, "f1"),
              "torvane-adapt: skipped 1 packet that matches no f1 layout (the last of 100 bytes)");
    notice.count(7);
    notice.count(9);
    EXPECT_FALSE(notice.due(60.4, "f1"));
    EXPECT_EQ(notice.due(60.5, "f1"),
              "torvane-adapt: skipped 2 packets that match no f1 layout (the last of 9 bytes)");
    EXPECT_FALSE(notice.due(200.0, "f1"));
    EXPECT_EQ(notice.total(), 3);
}

}  // namespace
}  // namespace torvane::tools
