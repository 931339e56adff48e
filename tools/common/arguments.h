// Command-line helpers shared by the tools, which take the same wide arguments as the bridge.
#pragma once

#include <cmath>
#include <iostream>
#include <optional>

#include "app/options.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "telemetry/number_scan.h"

namespace torvane::tools {

/// The argument as a positive, finite decimal number, or nothing if it is anything else.
inline std::optional<double> readPositiveNumber(const WCHAR* argument) {
    const std::string text = toUtf8(platform::WideString(argument));
    const NumberScan scan = scanDouble(text, HexNumbers::Rejected);
    if (scan.consumed == 0 || scan.consumed != text.size() || !std::isfinite(scan.value) ||
        scan.value <= 0.0)
        return std::nullopt;
    return scan.value;
}

inline bool isArgument(const WCHAR* argument, const WCHAR* name) {
    return platform::WideString(argument) == name;
}

inline bool isHelp(const WCHAR* argument) {
    return isArgument(argument, TORVANE_WIDE("--help")) || isArgument(argument, TORVANE_WIDE("-h"));
}

/// The value of a numeric option as readPositiveNumber reads it, or nothing after saying on the
/// error stream that tool's option needs a positive number.
inline std::optional<double> readNumberOption(const char* tool, const WCHAR* option,
                                              const WCHAR* value) {
    const std::optional<double> number = readPositiveNumber(value);
    if (!number) std::cerr << tool << ": " << toUtf8(option) << " needs a positive number\n";
    return number;
}

}  // namespace torvane::tools
