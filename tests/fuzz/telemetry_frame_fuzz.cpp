// Fuzzes the telemetry reader against a reference correct by inspection: std::string search for
// the key, glibc's strtod (Linux only, "C" locale) on a zero-terminated copy, which stops at a
// zero byte as the reader must, for the number. glibc 2.36 rounds some hex values just above half
// the smallest subnormal to zero: a hex number's extent comes from strtod, its value from exactHex.
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

/// Hex digits with optional '.' and "p<exponent>" (no sign, no 0x) rounded to nearest, ties even.
double exactHex(std::string_view number) {
    std::string bits;
    std::int64_t pointBits = -1;
    std::size_t i = 0;
    for (; i < number.size() && number[i] != 'p' && number[i] != 'P'; ++i) {
        if (number[i] == '.') {
            pointBits = static_cast<std::int64_t>(bits.size());
            continue;
        }
        const char c = number[i];
        const int digit = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
        for (int b = 3; b >= 0; --b) bits += ((digit >> b) & 1) ? '1' : '0';
    }
    if (pointBits < 0) pointBits = static_cast<std::int64_t>(bits.size());
    std::int64_t exponent = 0;
    if (i < number.size()) {
        const bool negative = number[i + 1] == '-';
        for (std::size_t j = i + 1; j < number.size(); ++j) {
            if (number[j] >= '0' && number[j] <= '9' && exponent < 100000000) {
                exponent = exponent * 10 + (number[j] - '0');
            }
        }
        if (negative) exponent = -exponent;
    }
    const std::size_t first = bits.find('1');
    if (first == std::string::npos) return 0.0;
    const std::int64_t lead = pointBits - static_cast<std::int64_t>(first) - 1 + exponent;
    if (lead > 1023) return HUGE_VAL;
    // 53 bits, fewer below 2^-1022: a subnormal's last kept bit weighs 2^-1074.
    const std::int64_t keep = lead >= -1022 ? 53 : lead + 1075;
    if (keep < 0) return 0.0;
    const auto bitAt = [&](std::int64_t k) {
        const std::size_t at = first + static_cast<std::size_t>(k);
        return at < bits.size() && bits[at] == '1';
    };
    std::uint64_t kept = 0;
    for (std::int64_t k = 0; k < keep; ++k) kept = kept * 2 + (bitAt(k) ? 1 : 0);
    bool sticky = false;
    for (std::size_t at = first + static_cast<std::size_t>(keep) + 1; at < bits.size(); ++at) {
        sticky = sticky || bits[at] == '1';
    }
    if (bitAt(keep) && (sticky || (kept & 1) != 0)) ++kept;
    return std::ldexp(static_cast<double>(kept), static_cast<int>(lead - keep + 1));
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
        const double magnitude = exactHex(std::string_view(text).substr(i + 2, consumed - i - 2));
        value = negative ? -magnitude : magnitude;
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
