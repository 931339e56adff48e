// Fuzzes one of torvane-adapt's game readers (TORVANE_GAME_FORMAT names which): the input is
// read once whole as one packet, then as a series of packets, each after a two-byte
// little-endian length, through the same reader, so that the F1 games' three packets of a frame
// meet in every order. Every frame a reader makes must be finite and bounded.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "tools/adapt/game_reader.h"

namespace {

using torvane::TelemetryFrame;
using torvane::tools::GameReader;
using torvane::tools::PacketVerdict;

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "game packet fuzz: %s\n", what);
    std::abort();
}

void read(GameReader& reader, std::string_view packet) {
    const torvane::tools::PacketReading reading = reader.read(packet);
    if (reading.verdict != PacketVerdict::Frame) return;
    const TelemetryFrame& f = reading.frame;
    for (const double value : {f.aligningTorque, f.engineHz, f.engineGain, f.roadGain, f.curbPulse,
                               f.tireSlip, f.tractionSlip, f.speed, f.verticalAccel})
        check(std::isfinite(value) && std::abs(value) <= 1000.0, "a field is not bounded");
    check(std::abs(f.aligningTorque) <= 1.0, "the aligning torque exceeds full scale");
    check(f.engineGain >= 0.0 && f.roadGain >= 0.0 && f.curbPulse >= 0.0 && f.speed >= 0.0,
          "a strength or the speed is negative");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    GameReader reader(torvane::tools::GameFormat::TORVANE_GAME_FORMAT, {});
    read(reader, input);
    for (std::size_t at = 0; at + 2 <= input.size();) {
        const std::size_t length =
            static_cast<unsigned char>(input[at]) |
            static_cast<std::size_t>(static_cast<unsigned char>(input[at + 1])) << 8;
        at += 2;
        const std::string_view packet = input.substr(at, length);
        read(reader, packet);
        at += packet.size();
    }
    return 0;
}
