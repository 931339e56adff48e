// The command line: the program's only configuration. Parsing never fails and never prints.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace torvane {

struct BridgeOptions {
    bool diagnose = false;
    bool test = false;
    std::string testMode = "all";  ///< UTF-8, ASCII-lowercased
    bool invert = false;
    double gain = 0.1;                   ///< always within [0, 0.35]
    std::int32_t deviceIndex = -1;       ///< negative: choose by name
    std::string nameFilter = "fanatec";  ///< UTF-8, ASCII-lowercased

    // Opt-in capabilities: absent, the program behaves exactly as without them.
    bool virtualWheel = false;         ///< "--virtual-wheel": the built-in virtual wheel
    bool monitor = false;              ///< "--monitor": a status line every 100 ms
    platform::WideString tracePath{};  ///< "--trace": empty for no trace
    bool lowLatency = false;           ///< "--low-latency": wake on telemetry instead of sleeping
    bool help = false;                 ///< "--help", "-h" or "/?"
    bool version = false;              ///< "--version"
};

/// Parses the wide argument vector of the entry point; argv[0], the program path, is skipped.
/// Unrecognised or incomplete arguments are skipped silently.
BridgeOptions parseBridgeOptions(int argc, const WCHAR* const* argv);

/// The gain as "--gain" reads it: a decimal prefix (inf and nan read as such, no hexadecimal),
/// 0 without one; above 0.35 gives 0.35, below 0 gives 0, not-a-number gives 0 (no force).
double readGainValue(const platform::WideString& text);

/// The index as "--device-index" reads it: white space, sign, decimal digits; 0 without digits;
/// saturated at the 32-bit limits.
std::int32_t readIndexValue(const platform::WideString& text);

}  // namespace torvane
