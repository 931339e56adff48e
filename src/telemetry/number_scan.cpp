#include "telemetry/number_scan.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <system_error>

namespace torvane {
namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

/// True when text at pos starts with word (lowercase), compared without regard to case.
bool startsWithNoCase(std::string_view text, std::size_t pos, std::string_view word) {
    if (text.size() - pos < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (lowerAscii(text[pos + i]) != word[i]) return false;
    }
    return true;
}

// Magnitudes are only ever compared with zero, so the exponent is clamped well before int64 could
// overflow; a clamped exponent still points the right way.
constexpr std::int64_t kExponentClamp = std::int64_t{1} << 40;

/// The shape of a mantissa-and-exponent number found in the text: where its digits end, and the
/// rough power (of ten for decimal, of two for hex) of its leading non-zero digit.
struct NumberShape {
    std::size_t end = 0;     ///< one past the last byte of the number; 0 when there is none
    bool allZero = true;     ///< no non-zero digit in the mantissa
    std::int64_t order = 0;  ///< positive when the magnitude is at least one, else not
};

/// Scans digits[.digits][e|p[+-]digits] from pos: decimal digits and 'e', or hex digits and 'p'.
/// The mantissa needs at least one digit; the exponent counts only when it has a digit.
NumberShape scanShape(std::string_view text, std::size_t pos, bool hex) {
    const auto mantissaDigit = hex ? isHexDigit : isDigit;
    const std::int64_t digitWeight = hex ? 4 : 1;  // powers of the exponent's base per digit
    const char exponentMark = hex ? 'p' : 'e';

    NumberShape shape;
    std::size_t i = pos;
    std::size_t digits = 0;
    // Digits from the first non-zero one to the point; negative for leading zeros after it.
    std::int64_t leadingPower = 0;
    while (i < text.size() && mantissaDigit(text[i])) {
        if (text[i] != '0') shape.allZero = false;
        if (!shape.allZero) ++leadingPower;
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && mantissaDigit(text[i])) {
            if (shape.allZero) {
                if (text[i] != '0') {
                    shape.allZero = false;
                } else if (leadingPower > -kExponentClamp) {
                    --leadingPower;
                }
            }
            ++i;
            ++digits;
        }
    }
    if (digits == 0) return NumberShape{};

    std::int64_t exponent = 0;
    if (i < text.size() && lowerAscii(text[i]) == exponentMark) {
        std::size_t j = i + 1;
        bool negative = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            negative = text[j] == '-';
            ++j;
        }
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j])) {
                if (exponent < kExponentClamp) exponent = exponent * 10 + (text[j] - '0');
                ++j;
            }
            if (negative) exponent = -exponent;
            i = j;
        }
    }
    shape.end = i;
    shape.order = leadingPower * digitWeight + exponent;
    return shape;
}

/// Converts the number of the given shape that starts at pos, correctly rounded, giving infinity
/// past the largest double and zero below the smallest subnormal as strtod does.
double convert(std::string_view text, std::size_t pos, const NumberShape& shape, bool hex) {
    if (shape.allZero) return 0.0;
    double value = 0.0;
    const char* first = text.data() + pos;
    const char* last = text.data() + shape.end;
    const auto result = std::from_chars(first, last, value,
                                        hex ? std::chars_format::hex : std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone both on overflow and on underflow; the magnitude of
        // the leading digit tells which one happened.
        return shape.order > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return value;
}

}  // namespace

NumberScan scanDouble(std::string_view text, HexNumbers hex) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const auto withSign = [negative](double magnitude) {
        return negative ? -magnitude : magnitude;
    };

    if (startsWithNoCase(text, i, "inf")) {
        const std::size_t end = startsWithNoCase(text, i, "infinity") ? i + 8 : i + 3;
        return {withSign(std::numeric_limits<double>::infinity()), end};
    }
    if (startsWithNoCase(text, i, "nan")) {
        std::size_t end = i + 3;
        // "nan(chars)" carries a payload we do not use; it only counts when the ')' closes it.
        if (end < text.size() && text[end] == '(') {
            std::size_t j = end + 1;
            while (j < text.size() &&
                   (isDigit(text[j]) || text[j] == '_' ||
                    (lowerAscii(text[j]) >= 'a' && lowerAscii(text[j]) <= 'z'))) {
                ++j;
            }
            if (j < text.size() && text[j] == ')') end = j + 1;
        }
        return {withSign(std::numeric_limits<double>::quiet_NaN()), end};
    }

    if (hex == HexNumbers::Accepted && text.size() - i >= 2 && text[i] == '0' &&
        lowerAscii(text[i + 1]) == 'x') {
        const NumberShape shape = scanShape(text, i + 2, true);
        // "0x" without hex digits is the number 0 followed by an 'x'; the decimal path reads it.
        if (shape.end != 0) return {withSign(convert(text, i + 2, shape, true)), shape.end};
    }

    const NumberShape shape = scanShape(text, i, false);
    if (shape.end == 0) return {};
    return {withSign(convert(text, i, shape, false)), shape.end};
}

}  // namespace torvane
