// Fuzzes a game reader (TORVANE_GAME_FORMAT) with the input as one packet, then as packets each
// after a two-byte little-endian length: every frame must be finite and bounded.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "tools/adapt/game_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace torvane;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    tools::GameReader reader(tools::GameFormat::TORVANE_GAME_FORMAT, {});
    const auto read = [&reader](std::string_view packet) {
        const TelemetryFrame f = reader.read(packet).frame;  // all 0 unless a frame
        bool ok = std::abs(f.aligningTorque) <= 1.0 && f.engineGain >= 0.0 && f.roadGain >= 0.0 &&
                  f.curbPulse >= 0.0 && f.speed >= 0.0;
        for (const double value : {f.engineHz, f.engineGain, f.roadGain, f.curbPulse, f.tireSlip,
                                   f.tractionSlip, f.speed, f.verticalAccel})
            ok = ok && std::abs(value) <= 1000.0;  // false for NaN too
        if (!ok) std::abort();
        return packet.size();
    };
    read(input);
    for (std::size_t at = 0; at + 2 <= size;)
        at += 2 + read(input.substr(at + 2, data[at] | data[at + 1] << 8));
    return 0;
}
