// The telemetry message as the bridge reads it: a tolerant key-by-key text search, not a JSON
// parser. Any byte string is a valid message; whatever cannot be read keeps its default.
#pragma once

#include <optional>
#include <string_view>

namespace torvane {

/// One telemetry message. Fields bear their JSON keys exactly. Values are stored as sent (any
/// finite double); limits and scaling belong to the force synthesis.
struct TelemetryFrame {
    double aligningTorque = 0.0;
    double engineHz = 0.0;
    double engineGain = 0.0;
    double roadGain = 0.0;
    double curbPulse = 0.0;
    double tireSlip = 0.0;
    double tractionSlip = 0.0;
    double speed = 0.0;
    double verticalAccel = 0.0;
    bool curb = false;
    bool offroad = false;
    bool operator==(const TelemetryFrame&) const = default;
};

/// Reads the eleven known keys from a message of exactly text.size() bytes (zero bytes allowed).
/// Never reads outside text, never fails, keeps no state.
TelemetryFrame parseTelemetryFrame(std::string_view text);

/// The finite number after the first `"key"` and the first ':' behind it, or nothing.
std::optional<double> readNumberField(std::string_view text, std::string_view key);

/// True only when the first `"key"`'s value (after ':' and space, tab, CR, LF) starts with "true".
bool readBoolField(std::string_view text, std::string_view key);

}  // namespace torvane
