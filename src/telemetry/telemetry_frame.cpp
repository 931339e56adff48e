#include "telemetry/telemetry_frame.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "telemetry/number_scan.h"

namespace torvane {
namespace {

constexpr std::size_t kAbsent = std::string_view::npos;

/// True when the pattern `"key"` (quote, key, quote) starts at text[at]. Compares in place so
/// that the hot path builds no pattern string.
bool patternAt(std::string_view text, std::size_t at, std::string_view key) {
    return text[at] == '"' && text.size() - at >= key.size() + 2 &&
           text[at + key.size() + 1] == '"' && (key.empty() || text[at + 1] == key[0]) &&
           text.substr(at + 1, key.size()) == key;
}

/// Offset of the first `"key"` in text, or kAbsent. A byte loop rather than a memchr per quote:
/// text made of quotes would otherwise pay a call per byte.
std::size_t findPattern(std::string_view text, std::string_view key) {
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (patternAt(text, at, key)) return at;
    }
    return kAbsent;
}

/// Offset just past the first ':' behind the pattern found at `at` (any bytes may come between),
/// or kAbsent.
std::size_t valueBehind(std::string_view text, std::size_t at, std::string_view key) {
    if (at == kAbsent) return kAbsent;
    const std::size_t colon = text.find(':', at + key.size() + 2);
    return colon == kAbsent ? kAbsent : colon + 1;
}

std::optional<double> numberAt(std::string_view text, std::size_t value) {
    if (value == kAbsent) return std::nullopt;
    const NumberScan scan = scanDouble(text.substr(value), HexNumbers::Accepted);
    if (scan.consumed == 0 || !std::isfinite(scan.value)) return std::nullopt;
    return scan.value;
}

bool flagAt(std::string_view text, std::size_t value) {
    if (value == kAbsent) return false;
    while (value < text.size() && (text[value] == ' ' || text[value] == '\t' ||
                                   text[value] == '\r' || text[value] == '\n')) {
        ++value;
    }
    return text.substr(value).starts_with("true");
}

// The frame's keys: the nine numbers in field order, then the two flags.
constexpr std::size_t kKeyCount = 11;
constexpr std::size_t kNumberCount = 9;
constexpr std::array<std::string_view, kKeyCount> kKeys = {
    "aligningTorque", "engineHz", "engineGain",    "roadGain", "curbPulse", "tireSlip",
    "tractionSlip",   "speed",    "verticalAccel", "curb",     "offroad"};
static_assert(kKeys[9] == "curb" && kKeys[10] == "offroad");
constexpr std::array<double TelemetryFrame::*, kNumberCount> kNumberFields = {
    &TelemetryFrame::aligningTorque, &TelemetryFrame::engineHz,  &TelemetryFrame::engineGain,
    &TelemetryFrame::roadGain,       &TelemetryFrame::curbPulse, &TelemetryFrame::tireSlip,
    &TelemetryFrame::tractionSlip,   &TelemetryFrame::speed,     &TelemetryFrame::verticalAccel};

/// For each byte, the keys (bit k for kKeys[k]) that begin with it.
constexpr std::array<std::uint16_t, 256> kKeysByFirstByte = [] {
    std::array<std::uint16_t, 256> table{};
    for (std::size_t k = 0; k < kKeyCount; ++k) {
        table[static_cast<unsigned char>(kKeys[k][0])] |= static_cast<std::uint16_t>(1u << k);
    }
    return table;
}();

/// The first occurrence of every key's pattern, found in one pass over the text: a quote costs
/// one table look-up plus a comparison for each key that starts with the next byte, so a message
/// of quotes or near-miss keys stays linear.
std::array<std::size_t, kKeyCount> findAllPatterns(std::string_view text) {
    std::array<std::size_t, kKeyCount> found;
    found.fill(kAbsent);
    unsigned pending = (1u << kKeyCount) - 1;
    for (std::size_t at = 0; pending != 0 && at + 1 < text.size(); ++at) {
        if (text[at] != '"') continue;
        unsigned candidates = kKeysByFirstByte[static_cast<unsigned char>(text[at + 1])] & pending;
        for (; candidates != 0; candidates &= candidates - 1) {
            const auto k = static_cast<std::size_t>(std::countr_zero(candidates));
            if (patternAt(text, at, kKeys[k])) {
                found[k] = at;
                pending &= ~(1u << k);
            }
        }
    }
    return found;
}

}  // namespace

std::optional<double> readNumberField(std::string_view text, std::string_view key) {
    return numberAt(text, valueBehind(text, findPattern(text, key), key));
}

bool readBoolField(std::string_view text, std::string_view key) {
    return flagAt(text, valueBehind(text, findPattern(text, key), key));
}

// Equivalent to readNumberField for each numeric key and readBoolField for each flag, but finds
// all eleven keys in a single pass.
TelemetryFrame parseTelemetryFrame(std::string_view text) {
    const std::array<std::size_t, kKeyCount> found = findAllPatterns(text);
    TelemetryFrame frame;
    // Keys that share one ':' share its value; converting each distinct value once keeps nine
    // keys in front of one 8000-digit number as cheap as that number alone.
    std::array<std::size_t, kNumberCount> valueAt{};
    std::array<std::optional<double>, kNumberCount> number{};
    for (std::size_t k = 0; k < kNumberCount; ++k) {
        valueAt[k] = valueBehind(text, found[k], kKeys[k]);
        std::size_t same = 0;
        while (same < k && valueAt[same] != valueAt[k]) ++same;
        number[k] = same < k ? number[same] : numberAt(text, valueAt[k]);
        if (number[k]) frame.*kNumberFields[k] = *number[k];
    }
    frame.curb = flagAt(text, valueBehind(text, found[9], kKeys[9]));
    frame.offroad = flagAt(text, valueBehind(text, found[10], kKeys[10]));
    return frame;
}

}  // namespace torvane
