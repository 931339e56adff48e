// Assetto Corsa's remote telemetry: the adapter sends a handshake to the game's port (9996),
// the game answers with its car, driver and track names, the adapter subscribes to updates and
// the game then sends one RTCarInfo packet (328 bytes, identifier 'a') per physics step. Offsets
// from the game maker's "AC Remote Telemetry Documentation", its structure laid out as its
// compiler does (4-byte fields on 4-byte boundaries); wheel arrays are FL, FR, RL, RR.
#include <algorithm>
#include <cmath>

#include "tools/adapt/game_packet.h"
#include "tools/adapt/game_reader.h"

namespace torvane::tools {
namespace {

constexpr std::size_t kCarInfoSize = 328;
// The answer to the handshake: four names of 50 characters and two ints, 208 bytes as the
// documentation writes it with char, 408 with the 16-bit characters the game sends.
constexpr std::size_t kHandshakeAnswerSizes[] = {208, 408};

constexpr std::size_t kIdentifier = 0;  // char 'a'
constexpr std::size_t kSpeedMs = 16;
constexpr std::size_t kAccGVertical = 28;
constexpr std::size_t kGas = 56;
constexpr std::size_t kEngineRpm = 68;
constexpr std::size_t kSlipAngle = 100;  // 4 floats
constexpr std::size_t kSlipRatio = 132;  // 4 floats
constexpr std::size_t kMz = 212;         // 4 floats, N·m: the tyres' self-aligning torque

constexpr double kLeastAutomaticScale = 30.0;  // N·m: small torques are not made full force
constexpr double kMaxMz = 5000.0;
constexpr double kMaxRpm = 30000.0;
constexpr double kMaxSpeed = 200.0;
constexpr double kMaxG = 20.0;
constexpr double kMaxSlip = 100.0;

constexpr std::size_t kNameLength = 50;

/// A name of the handshake's answer: at most 50 characters of `width` bytes, up to a zero or
/// the '%' the game ends names with; anything but printable ASCII shows as '?', so a hostile
/// answer cannot steer the console.
std::string nameAt(const GamePacket& packet, std::size_t offset, std::size_t width) {
    std::string name;
    for (std::size_t i = 0; i < kNameLength; ++i) {
        const unsigned c = packet.unsignedAt(offset + i * width, width);
        if (c == 0 || c == '%') break;
        name += c >= 0x20 && c < 0x7f ? static_cast<char>(c) : '?';
    }
    return name;
}

}  // namespace

PacketReading GameReader::readAssetto(std::string_view bytes) {
    const GamePacket packet(bytes);
    if (std::find(std::begin(kHandshakeAnswerSizes), std::end(kHandshakeAnswerSizes),
                  packet.size()) != std::end(kHandshakeAnswerSizes)) {
        // Car and driver names, two ints, then track and configuration names.
        const std::size_t width = packet.size() == kHandshakeAnswerSizes[0] ? 1 : 2;
        return {PacketVerdict::Subscribe,
                {},
                "car " + nameAt(packet, 0, width) + ", track " +
                    nameAt(packet, 2 * kNameLength * width + 8, width)};
    }
    if (packet.size() != kCarInfoSize || packet.u8(kIdentifier) != 'a')
        return {PacketVerdict::Skipped, {}, {}};

    TelemetryFrame frame;
    // Front left plus front right: the torque both front tyres put into the steering. Positive
    // Mz turns a tyre anticlockwise seen from above, which a right-hand corner does; the
    // bridge's right-hand corners are negative.
    const double mz = packet.f32(kMz, -kMaxMz, kMaxMz) + packet.f32(kMz + 4, -kMaxMz, kMaxMz);
    mzPeak_ = std::max(mzPeak_, std::abs(mz));
    const double scale =
        settings_.mzScale > 0.0 ? settings_.mzScale : std::max(kLeastAutomaticScale, mzPeak_);
    frame.aligningTorque = std::clamp(-mz / scale, -1.0, 1.0);

    frame.speed = packet.f32(kSpeedMs, 0.0, kMaxSpeed);
    frame.engineHz = packet.f32(kEngineRpm, 0.0, kMaxRpm) / 60.0;
    frame.engineGain = engineStrength(packet.f32(kGas, 0.0, 1.0));
    frame.verticalAccel =
        bumps_.filter(packet.f32(kAccGVertical, -kMaxG, kMaxG) * kStandardGravity);
    frame.tireSlip = (std::abs(packet.f32(kSlipAngle, -kMaxSlip, kMaxSlip)) +
                      std::abs(packet.f32(kSlipAngle + 4, -kMaxSlip, kMaxSlip))) /
                     2.0;
    frame.tractionSlip = (std::abs(packet.f32(kSlipRatio + 8, -kMaxSlip, kMaxSlip)) +
                          std::abs(packet.f32(kSlipRatio + 12, -kMaxSlip, kMaxSlip))) /
                         2.0;
    return {PacketVerdict::Frame, frame, {}};
}

}  // namespace torvane::tools
