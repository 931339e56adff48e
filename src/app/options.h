// The command line: the program's only configuration. Parsing never fails and never prints; what
// it could not use it lists in the record, for the caller to print.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ffb/force_tuning.h"
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
    bool virtualWheel = false;          ///< "--virtual-wheel": the built-in virtual wheel
    bool monitor = false;               ///< "--monitor": a status line every 100 ms
    platform::WideString tracePath{};   ///< "--trace": empty for no trace
    bool lowLatency = false;            ///< "--low-latency": wake on telemetry instead of sleeping
    bool help = false;                  ///< "--help", "-h" or "/?"
    bool version = false;               ///< "--version"
    bool wait = false;                  ///< "--wait": wait for a wheel instead of ending
    platform::WideString configPath{};  ///< "--config": the settings file; empty: look
    platform::WideString writeConfigPath{};  ///< "--write-config": write the settings and end
    bool force = false;                      ///< "--force": "--write-config" may overwrite
    /// "--steering", "--engine", "--road", "--curb", "--damper", "--min-force", "--smooth"
    ForceTuning tuning{};

    /// One line each (without its line feed) for arguments skipped and option values not used as
    /// written, in the order given; the caller prints them on the error stream.
    std::vector<std::string> problems{};

    /// The options the command line gave ("--gain", ...), each once, in the order first given,
    /// leaving out a tuning option whose value could not be used: they win over the settings
    /// file, also when it is read again.
    std::vector<std::string> given{};
};

/// Parses the wide argument vector of the entry point; argv[0], the program path, is skipped.
/// Unrecognised or incomplete arguments are skipped, and values that are not used as written
/// ("--gain 0,5") are read as ever; each gets a line in problems. A value option followed by
/// another option has no value, except "--gain", "--device", "--device-index" and "--test-mode",
/// which take it (with a line). "--force" without "--write-config" and "--test-mode" without
/// "--test" get a line too. Starts from base (the defaults,
/// or what a settings file made of them): a tuning value that cannot be used keeps base's value.
BridgeOptions parseBridgeOptions(int argc, const WCHAR* const* argv,
                                 const BridgeOptions& base = BridgeOptions{});

/// The gain as "--gain" reads it: a decimal prefix (inf and nan read as such, no hexadecimal),
/// 0 without one; above 0.35 gives 0.35, below 0 gives 0, not-a-number gives 0 (no force).
double readGainValue(const platform::WideString& text);

/// A number option's value, checked: the whole value must be a decimal number (white space
/// around it allowed) from lo to hi. Otherwise result keeps fallback and problems receives the
/// line that names the option, the value and what it needed. Returns whether the value was used.
bool readCheckedValue(std::string_view option, const platform::WideString& text, double lo,
                      double hi, double fallback, double& result,
                      std::vector<std::string>& problems);

/// The line for an option value that is not used as written: Ignored --smooth "500": expected a
/// number from 0 to 50; using 0. (instead: "using 0"). The value is shown as given, up to a
/// bounded length.
std::string ignoredValueLine(std::string_view option, const platform::WideString& value,
                             std::string_view expected, std::string_view instead);

/// The index as "--device-index" reads it: white space, sign, decimal digits; 0 without digits;
/// saturated at the 32-bit limits.
std::int32_t readIndexValue(const platform::WideString& text);

}  // namespace torvane
