// The F1 games' UDP telemetry, as F1 25 sends it with its "UDP Format" set to 2025: every packet
// starts with a 29-byte header (packet format, year, packet id, player's car index...), and the
// fields a frame needs come in three packets of each frame: Motion (id 0, 1349 bytes, sent only
// while the player is in control), Car Telemetry (id 6, 1352 bytes) and Motion Ex (id 13, 273
// bytes, the player's car only). Offsets from the game maker's published F1 25 UDP document. A
// message goes out for each Motion packet, with the newest of the other two, so the adapter
// stops when the game stops handing the player the car.
#include <algorithm>
#include <cmath>

#include "tools/adapt/game_packet.h"
#include "tools/adapt/game_reader.h"

namespace torvane::tools {
namespace {

constexpr std::size_t kHeaderSize = 29;
constexpr unsigned kPacketFormat = 2025;
constexpr std::size_t kPacketFormatAt = 0;  // u16
constexpr std::size_t kPacketIdAt = 6;      // u8
constexpr std::size_t kPlayerCarIndexAt = 27;
constexpr unsigned kCars = 22;

constexpr unsigned kMotionId = 0;
constexpr std::size_t kMotionSize = 1349;
constexpr std::size_t kCarMotionSize = 60;
constexpr std::size_t kGForceLateral = 36;  // in CarMotionData, g
constexpr std::size_t kGForceVertical = 44;

constexpr unsigned kCarTelemetryId = 6;
constexpr std::size_t kCarTelemetrySize = 1352;
constexpr std::size_t kCarTelemetryDataSize = 60;
constexpr std::size_t kSpeedKmh = 0;      // in CarTelemetryData: u16 km/h
constexpr std::size_t kThrottle = 2;      // float 0..1
constexpr std::size_t kEngineRpm = 16;    // u16
constexpr std::size_t kSurfaceType = 56;  // 4 × u8, RL, RR, FL, FR

constexpr unsigned kMotionExId = 13;
constexpr std::size_t kMotionExSize = 273;
constexpr std::size_t kSuspensionVelocity = kHeaderSize + 16;  // 4 floats, RL, RR, FL, FR
constexpr std::size_t kWheelSlipRatio = kHeaderSize + 64;
constexpr std::size_t kWheelSlipAngle = kHeaderSize + 80;  // radians

// Surface types as the game maker's UDP document lists them in its appendix.
constexpr unsigned kRumbleStrip = 1;
constexpr unsigned kRock = 3;
constexpr unsigned kGrass = 7;  // gravel 4, mud 5 and sand 6 lie between rock and grass
constexpr unsigned kCobblestone = 9;
constexpr unsigned kRidged = 11;

constexpr double kFullScaleG = 4.0;    // F1 cars corner at 4 to 5 g
constexpr double kSlipAtLimit = 0.12;  // rad, about 7°: a slick's peak slip angle
constexpr double kMaxG = 20.0;
constexpr double kMaxSpeed = 200.0;  // m/s
constexpr double kMaxRpm = 30000.0;
constexpr double kMaxSuspensionSpeed = 10.0;
constexpr double kMaxSlip = 10.0;
constexpr std::size_t kFrontLeft = 2, kFrontRight = 3, kRearLeft = 0, kRearRight = 1;

}  // namespace

PacketReading GameReader::readF1(std::string_view bytes) {
    const GamePacket packet(bytes);
    if (packet.size() < kHeaderSize || packet.u16(kPacketFormatAt) != kPacketFormat)
        return {PacketVerdict::Skipped, {}, {}};
    const unsigned id = packet.u8(kPacketIdAt);
    const unsigned player = packet.u8(kPlayerCarIndexAt);
    const std::size_t expected = id == kMotionId         ? kMotionSize
                                 : id == kCarTelemetryId ? kCarTelemetrySize
                                 : id == kMotionExId     ? kMotionExSize
                                                         : 0;
    if (expected == 0)
        return {PacketVerdict::Kept, {}, {}};  // a packet this adapter has no use for
    if (packet.size() != expected || player >= kCars) return {PacketVerdict::Skipped, {}, {}};

    if (id == kCarTelemetryId) {
        const std::size_t car = kHeaderSize + kCarTelemetryDataSize * player;
        f1_.speed = std::min(kMaxSpeed, packet.u16(car + kSpeedKmh) / 3.6);
        f1_.throttle = packet.f32(car + kThrottle, 0.0, 1.0);
        f1_.rpm = std::min(kMaxRpm, static_cast<double>(packet.u16(car + kEngineRpm)));
        for (std::size_t wheel = 0; wheel < 4; ++wheel)
            f1_.surface[wheel] = packet.u8(car + kSurfaceType + wheel);
        return {PacketVerdict::Kept, {}, {}};
    }
    if (id == kMotionExId) {
        for (std::size_t wheel = 0; wheel < 4; ++wheel) {
            f1_.suspensionVelocity[wheel] = packet.f32(kSuspensionVelocity + 4 * wheel,
                                                       -kMaxSuspensionSpeed, kMaxSuspensionSpeed);
            f1_.slipRatio[wheel] = packet.f32(kWheelSlipRatio + 4 * wheel, -kMaxSlip, kMaxSlip);
            f1_.slipAngle[wheel] = packet.f32(kWheelSlipAngle + 4 * wheel, -kMaxSlip, kMaxSlip);
        }
        return {PacketVerdict::Kept, {}, {}};
    }

    const std::size_t car = kHeaderSize + kCarMotionSize * player;
    TelemetryFrame frame;
    frame.tireSlip =
        (std::abs(f1_.slipAngle[kFrontLeft]) + std::abs(f1_.slipAngle[kFrontRight])) / 2.0;
    frame.tractionSlip =
        (std::abs(f1_.slipRatio[kRearLeft]) + std::abs(f1_.slipRatio[kRearRight])) / 2.0;
    frame.aligningTorque =
        modelledAligningTorque(packet.f32(car + kGForceLateral, -kMaxG, kMaxG),
                               frame.tireSlip / kSlipAtLimit, kFullScaleG, settings_.strength);
    frame.engineHz = f1_.rpm / 60.0;
    frame.engineGain = engineStrength(f1_.throttle);
    frame.speed = f1_.speed;
    frame.verticalAccel =
        bumps_.filter(packet.f32(car + kGForceVertical, -kMaxG, kMaxG) * kStandardGravity);

    int onStrip = 0, rough = 0;
    for (const unsigned surface : f1_.surface) {
        onStrip += surface == kRumbleStrip ? 1 : 0;
        rough += surface == kRock || surface == kCobblestone || surface == kRidged ? 1 : 0;
        frame.offroad = frame.offroad || (surface >= kRock && surface <= kGrass);
    }
    frame.curb = onStrip > 0;
    frame.curbPulse = frame.curb ? 0.4 + 0.15 * onStrip : 0.0;
    const double frontBumps = (std::abs(f1_.suspensionVelocity[kFrontLeft]) +
                               std::abs(f1_.suspensionVelocity[kFrontRight])) /
                              2.0;
    frame.roadGain = 0.05 + 0.25 * rough / 4.0 + std::min(0.3, 0.4 * frontBumps);
    return {PacketVerdict::Frame, frame, {}};
}

}  // namespace torvane::tools
