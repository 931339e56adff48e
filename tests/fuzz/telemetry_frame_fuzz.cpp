// Fuzzes the telemetry reader against a reference correct by inspection: std::string search for
// the key, glibc's strtod (Linux only, "C" locale) on a zero-terminated copy, which stops at a
// zero byte as the reader must, for the number. glibc 2.36 rounds some hex values just above half
// the smallest subnormal to zero: a hex number's extent comes from strtod, its value from
// std::from_chars, which rounds exactly.
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "support/frame_fields.h"
#include "telemetry/number_scan.h"
#include "telemetry/telemetry_frame.h"

namespace {

using torvane::HexNumbers;
using torvane::NumberScan;
using torvane::TelemetryFrame;

void check(bool ok, const char* what, std::string_view input) {
    if (ok) return;
    std::fprintf(stderr, "telemetry fuzz: %s (input of %zu bytes)\n", what, input.size());
    std::abort();
}

/// Same double, sign of zero included; NaN equals NaN.
bool same(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return a == b && std::signbit(a) == std::signbit(b);
}

NumberScan referenceScan(const std::string& text, HexNumbers hex) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    const bool hexPrefix =
        text.size() - i >= 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X');
    if (hex == HexNumbers::Rejected && hexPrefix) {  // zero, then an 'x'
        return {negative ? -0.0 : 0.0, i + 1};
    }
    const char* begin = text.c_str();
    char* end = nullptr;
    double value = std::strtod(begin, &end);
    const auto consumed = static_cast<std::size_t>(end - begin);
    if (hexPrefix && consumed > i + 1) {
        double magnitude = 0.0;  // from_chars leaves 0 and infinity (out of range) to strtod
        const auto [stop, error] =
            std::from_chars(begin + i + 2, end, magnitude, std::chars_format::hex);
        if (error == std::errc{} && stop == end) value = negative ? -magnitude : magnitude;
    }
    return {value, consumed};
}

constexpr std::size_t kNone = std::string::npos;

/// Where key's value starts in text, after its colon.
std::size_t referenceValueStart(const std::string& text, const std::string& key) {
    const std::size_t at = text.find('"' + key + '"');
    const std::size_t colon = at == kNone ? kNone : text.find(':', at + key.size() + 2);
    return colon == kNone ? kNone : colon + 1;
}

std::optional<double> referenceNumber(const std::string& text, const std::string& key) {
    const std::size_t start = referenceValueStart(text, key);
    if (start == kNone) return std::nullopt;
    const NumberScan scan = referenceScan(text.substr(start), HexNumbers::Accepted);
    if (scan.consumed == 0 || !std::isfinite(scan.value)) return std::nullopt;
    return scan.value;
}

bool referenceFlag(const std::string& text, const std::string& key) {
    const std::size_t start = referenceValueStart(text, key);
    if (start == kNone) return false;
    const std::size_t value = text.find_first_not_of(" \t\r\n", start);
    return value != kNone && text.compare(value, 4, "true") == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string copy(input);  // zero-terminated

    const TelemetryFrame frame = torvane::parseTelemetryFrame(input);
    for (const auto& [key, field] : fake::kFrameNumbers) {
        const auto reference = referenceNumber(copy, key);
        check(std::isfinite(frame.*field), "a field is not finite", input);
        check(same(frame.*field, reference.value_or(0.0)), "a field differs from the reference",
              input);
    }
    check(frame.curb == referenceFlag(copy, "curb"), "curb differs from the reference", input);
    check(frame.offroad == referenceFlag(copy, "offroad"), "offroad differs from the reference",
          input);

    for (const char* key : {"speed", "curb", "offroad", "tractionSlip"}) {
        const auto number = torvane::readNumberField(input, key);
        const auto reference = referenceNumber(copy, key);
        check(number.has_value() == reference.has_value() && (!number || same(*number, *reference)),
              "readNumberField differs from the reference", input);
        check(torvane::readBoolField(input, key) == referenceFlag(copy, key),
              "readBoolField differs from the reference", input);
    }

    for (const HexNumbers hex : {HexNumbers::Accepted, HexNumbers::Rejected}) {
        const NumberScan actual = torvane::scanDouble(input, hex);
        const NumberScan reference = referenceScan(copy, hex);
        check(actual.consumed == reference.consumed, "scanDouble consumed differently", input);
        check(same(actual.value, reference.value), "scanDouble read a different value", input);
    }
    return 0;
}
