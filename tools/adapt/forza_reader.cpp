// Forza "Data Out": one packet per frame, no handshake. The size tells the layout: Sled (232
// bytes), Dash (311: Sled, then the dashboard fields), Forza Horizon 4 / 5 (324: Sled, 12 bytes
// of its own, the dashboard fields and one byte more), Forza Motorsport 2023's Dash (331: Dash
// and 20 bytes of tyre wear and track). Offsets from the game maker's published "Data Out"
// documentation; wheel arrays are front left, front right, rear left, rear right.
#include <array>
#include <cmath>

#include "tools/adapt/game_packet.h"
#include "tools/adapt/game_reader.h"

namespace torvane::tools {
namespace {

constexpr std::size_t kSledSize = 232;
constexpr std::size_t kDashSize = 311;
constexpr std::size_t kHorizonSize = 324;
constexpr std::size_t kMotorsport2023Size = 331;
constexpr std::size_t kDashAfterSled = 232;     // Speed is 12 bytes in (Position X, Y, Z first)
constexpr std::size_t kDashAfterHorizon = 244;  // the 12 bytes of Forza Horizon come first

constexpr std::size_t kIsRaceOn = 0;
constexpr std::size_t kEngineMaxRpm = 8;
constexpr std::size_t kEngineIdleRpm = 12;
constexpr std::size_t kCurrentEngineRpm = 16;
constexpr std::size_t kAccelerationX = 20;  // car space, m/s²: X right, Y up, Z forward
constexpr std::size_t kAccelerationY = 24;
constexpr std::size_t kVelocityX = 32;
constexpr std::size_t kTireSlipRatio = 84;        // 4 floats, normalised: > 1 loses grip
constexpr std::size_t kWheelOnRumbleStrip = 116;  // 4 s32, 1 on a rumble strip
constexpr std::size_t kSurfaceRumble = 148;       // 4 floats, the game's own FFB rumble
constexpr std::size_t kTireSlipAngle = 164;       // 4 floats, normalised: > 1 loses grip
constexpr std::size_t kSpeedInDash = 12;

constexpr double kFullScaleG = 2.0;  // lateral acceleration that is full steering force
constexpr double kMaxRpm = 30000.0;
constexpr double kMaxAcceleration = 200.0;  // m/s², about 20 g
constexpr double kMaxSpeed = 200.0;         // m/s
constexpr double kMaxSlip = 10.0;

double meanMagnitude(const GamePacket& packet, std::size_t first, std::size_t count) {
    double sum = 0.0;
    for (std::size_t i = 0; i < count; ++i)
        sum += std::abs(packet.f32(first + 4 * i, -kMaxSlip, kMaxSlip));
    return sum / static_cast<double>(count);
}

}  // namespace

PacketReading GameReader::readForza(std::string_view bytes) {
    const GamePacket packet(bytes);
    const std::size_t size = packet.size();
    if (size != kSledSize && size != kDashSize && size != kHorizonSize &&
        size != kMotorsport2023Size)
        return {PacketVerdict::Skipped, {}, {}};
    // In menus and with the race paused the game keeps sending, with IsRaceOn 0: send nothing
    // then, so the bridge lets the wheel go as it does when a game stops.
    if (packet.s32(kIsRaceOn) == 0) return {PacketVerdict::Kept, {}, {}};

    TelemetryFrame frame;
    const double rpm = packet.f32(kCurrentEngineRpm, 0.0, kMaxRpm);
    const double idle = packet.f32(kEngineIdleRpm, 0.0, kMaxRpm);
    const double top = packet.f32(kEngineMaxRpm, 0.0, kMaxRpm);
    frame.engineHz = rpm / 60.0;
    frame.engineGain = engineStrength(top - idle > 1.0 ? (rpm - idle) / (top - idle) : 0.0);

    const double frontSlip = meanMagnitude(packet, kTireSlipAngle, 2);
    const double lateral =
        packet.f32(kAccelerationX, -kMaxAcceleration, kMaxAcceleration) / kStandardGravity;
    frame.aligningTorque =
        modelledAligningTorque(lateral, frontSlip, kFullScaleG, settings_.strength);
    frame.tireSlip = frontSlip;
    frame.tractionSlip = meanMagnitude(packet, kTireSlipRatio + 8, 2);

    frame.roadGain = std::min(1.0, meanMagnitude(packet, kSurfaceRumble, 4));
    int onStrip = 0;
    for (std::size_t wheel = 0; wheel < 4; ++wheel)
        onStrip += packet.s32(kWheelOnRumbleStrip + 4 * wheel) != 0 ? 1 : 0;
    frame.curb = onStrip > 0;
    frame.curbPulse = frame.curb ? 0.4 + 0.15 * onStrip : 0.0;

    if (size == kSledSize) {
        double squares = 0.0;
        for (std::size_t axis = 0; axis < 3; ++axis) {
            const double v = packet.f32(kVelocityX + 4 * axis, -kMaxSpeed, kMaxSpeed);
            squares += v * v;
        }
        frame.speed = std::min(kMaxSpeed, std::sqrt(squares));
    } else {
        const std::size_t dash = size == kHorizonSize ? kDashAfterHorizon : kDashAfterSled;
        frame.speed = packet.f32(dash + kSpeedInDash, 0.0, kMaxSpeed);
    }
    frame.verticalAccel =
        bumps_.filter(packet.f32(kAccelerationY, -kMaxAcceleration, kMaxAcceleration));
    return {PacketVerdict::Frame, frame, {}};
}

}  // namespace torvane::tools
