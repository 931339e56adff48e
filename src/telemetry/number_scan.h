// A strtod that behaves the same on every C runtime and in every locale. MinGW's default runtime
// reads neither hexadecimal nor infinity the way glibc does, and the user's locale may change the
// decimal point; telemetry and the command line both need one, fixed reading.
#pragma once

#include <cstddef>
#include <string_view>

namespace torvane {

struct NumberScan {
    double value = 0.0;
    std::size_t consumed = 0;  ///< bytes of text that formed the number; 0 means no number
};

enum class HexNumbers { Accepted, Rejected };

/// Reads the longest prefix of text that strtod in the "C" locale reads: leading white space
/// (space, \t, \n, \v, \f, \r), an optional sign, then a decimal number with optional fraction and
/// exponent, "inf"/"infinity"/"nan" (any case, "nan(chars)" too), or (when accepted) a
/// hexadecimal number with the 0x prefix and optional binary exponent. Too large gives +-infinity,
/// too small gives zero or a subnormal. Stops at the first byte that cannot continue the number,
/// a zero byte included; never reads past text.
NumberScan scanDouble(std::string_view text, HexNumbers hex);

}  // namespace torvane
