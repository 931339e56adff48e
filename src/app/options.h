// The settings record, and the command line: read once into what it gave, then laid over the
// defaults or a settings file's values (again at every reload). Reading never fails and never
// prints; what it could not use it lists, for the caller to print. What each setting is (its
// option, key, range, texts) is in app/setting_table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ffb/force_tuning.h"
#include "platform/platform.h"

namespace torvane {

/// What may change while the bridge runs: all the main loop holds of the settings.
struct LiveSettings {
    double gain = 0.1;  ///< always within [0, 0.35]
    bool invert = false;
    /// "--steering", "--engine", "--road", "--curb", "--damper", "--min-force", "--smooth"
    ForceTuning tuning{};
};

struct BridgeOptions {
    bool diagnose = false;
    bool test = false;
    std::string testMode = "all";        ///< UTF-8, ASCII-lowercased
    LiveSettings live{};                 ///< "--gain", "--invert" and the tuning
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
    bool page = false;                       ///< "--page": serve the live page
    double pagePort = 8768;                  ///< "--page-port": the live page's port
};

struct SettingRow;

/// What the command line gave, in its order: an option (with its value, if it takes one), or an
/// argument that could not be used, with the line that says so.
struct GivenArgument {
    const SettingRow* row = nullptr;  ///< null: skipped, see problem
    platform::WideString value{};
    std::string problem{};
    /// False for a number whose value cannot be used: the option then counts as not given, so
    /// that the settings file's value, which applies, is not said to lose to it.
    bool counts = true;
};

struct CommandLine {
    std::vector<GivenArgument> arguments{};

    /// Whether the command line gave option (its name as written in the table, "--gain").
    bool gave(std::string_view option) const;
};

/// Reads the wide argument vector of the entry point; argv[0], the program path, is skipped.
/// Unrecognised arguments and an option whose value is missing are kept as problems. A value
/// option followed by another option has no value, except the options whose row says they take
/// any value ("--gain", "--device", "--device-index", "--test-mode"): they take it, with a line.
CommandLine readCommandLine(int argc, const WCHAR* const* argv);

/// base (the defaults, or what a settings file made of them) with what the command line gave
/// laid over it, the last occurrence winning. Values that are not used as written ("--gain 0,5")
/// are read as ever, and a number that cannot be used keeps base's value; with problems, each
/// skipped argument and such value gets a line there, in the command line's order, then a line for
/// each option given without the one it needs ("--force" without "--write-config").
BridgeOptions applyCommandLine(const CommandLine& commandLine, const BridgeOptions& base,
                               std::vector<std::string>* problems = nullptr);

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
