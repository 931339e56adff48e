#include "app/options.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <sstream>
#include <string_view>

#include "app/test_signal.h"
#include "ffb/effect_set.h"
#include "platform/text.h"
#include "telemetry/number_scan.h"

namespace torvane {
namespace {

using WideView = std::basic_string_view<WCHAR>;

enum class Option {
    Diagnose,
    Test,
    TestMode,
    Invert,
    Gain,
    DeviceIndex,
    Device,
    VirtualWheel,
    Monitor,
    Trace,
    LowLatency,
    Help,
    Version,
    Steering,
    Engine,
    Road,
    Curb,
    Damper,
    MinForce,
    Smooth,
    Wait,
    Config,
    WriteConfig,
    Force,
};

struct OptionName {
    WideView name;
    Option option;
    bool takesValue;
    // The value is the next argument even when that is one of the options (as these four have
    // always read it); the other options count such a value as missing.
    bool takesAnyValue = false;
};

constexpr OptionName kOptions[] = {
    {TORVANE_WIDE("--diagnose"), Option::Diagnose, false},
    {TORVANE_WIDE("--test"), Option::Test, false},
    {TORVANE_WIDE("--test-mode"), Option::TestMode, true, true},
    {TORVANE_WIDE("--invert"), Option::Invert, false},
    {TORVANE_WIDE("--gain"), Option::Gain, true, true},
    {TORVANE_WIDE("--device-index"), Option::DeviceIndex, true, true},
    {TORVANE_WIDE("--device"), Option::Device, true, true},
    {TORVANE_WIDE("--virtual-wheel"), Option::VirtualWheel, false},
    {TORVANE_WIDE("--monitor"), Option::Monitor, false},
    {TORVANE_WIDE("--trace"), Option::Trace, true},
    {TORVANE_WIDE("--low-latency"), Option::LowLatency, false},
    {TORVANE_WIDE("--help"), Option::Help, false},
    {TORVANE_WIDE("-h"), Option::Help, false},
    {TORVANE_WIDE("/?"), Option::Help, false},
    {TORVANE_WIDE("--version"), Option::Version, false},
    {TORVANE_WIDE("--steering"), Option::Steering, true},
    {TORVANE_WIDE("--engine"), Option::Engine, true},
    {TORVANE_WIDE("--road"), Option::Road, true},
    {TORVANE_WIDE("--curb"), Option::Curb, true},
    {TORVANE_WIDE("--damper"), Option::Damper, true},
    {TORVANE_WIDE("--min-force"), Option::MinForce, true},
    {TORVANE_WIDE("--smooth"), Option::Smooth, true},
    {TORVANE_WIDE("--wait"), Option::Wait, false},
    {TORVANE_WIDE("--config"), Option::Config, true},
    {TORVANE_WIDE("--write-config"), Option::WriteConfig, true},
    {TORVANE_WIDE("--force"), Option::Force, false},
};

// Option names are ASCII.
std::string narrowName(WideView name) {
    std::string text;
    for (const WCHAR unit : name) text.push_back(static_cast<char>(unit));
    return text;
}

// Where a checked number option lives in the record, its range and its default.
struct CheckedOption {
    Option option;
    double ForceTuning::*field;
    double lo, hi;
};

constexpr CheckedOption kCheckedOptions[] = {
    {Option::Steering, &ForceTuning::steering, 0.0, kMaxStrength},
    {Option::Engine, &ForceTuning::engine, 0.0, kMaxStrength},
    {Option::Road, &ForceTuning::road, 0.0, kMaxStrength},
    {Option::Curb, &ForceTuning::curb, 0.0, kMaxStrength},
    {Option::Damper, &ForceTuning::damper, 0.0, kMaxStrength},
    {Option::MinForce, &ForceTuning::minForce, 0.0, kMaxMinForce},
    {Option::Smooth, &ForceTuning::smoothMs, 0.0, kMaxSmoothMs},
};

/// Exact, case-sensitive match of the whole argument; nullptr when it is no option of ours.
const OptionName* findOption(WideView argument) {
    for (const OptionName& candidate : kOptions) {
        if (candidate.name == argument) return &candidate;
    }
    return nullptr;
}

/// The white space that the C runtime's number conversions skip in the "C" locale.
bool isConversionSpace(WCHAR unit) {
    return unit == ' ' || (unit >= '\t' && unit <= '\r');
}

/// Whether the whole text (white space around it allowed) is one decimal number; value gets it.
bool readWholeNumber(const platform::WideString& text, double& value) {
    std::string ascii;
    for (const WCHAR unit : text) {
        if (unit == 0 || unit >= 0x80) return false;
        ascii.push_back(static_cast<char>(unit));
    }
    const NumberScan scan = scanDouble(ascii, HexNumbers::Rejected);
    std::size_t end = scan.consumed;
    while (end < ascii.size() && isConversionSpace(static_cast<WCHAR>(ascii[end]))) ++end;
    value = scan.value;
    return scan.consumed > 0 && end == ascii.size();
}

/// The index as "--device-index" reads it, and whether the text was exactly that: one whole
/// number (white space around it allowed) within the 32-bit range.
struct IndexScan {
    std::int32_t value = 0;
    bool asWritten = false;
};

IndexScan scanIndex(const platform::WideString& text) {
    std::size_t i = 0;
    while (i < text.size() && isConversionSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // The magnitude saturates at the limit of its sign, so any number of digits is safe.
    const std::int64_t limit = negative ? -std::int64_t{std::numeric_limits<std::int32_t>::min()}
                                        : std::int64_t{std::numeric_limits<std::int32_t>::max()};
    const std::size_t digits = i;
    std::int64_t magnitude = 0;
    bool saturated = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > limit) {
            magnitude = limit;  // read as the limit, not as written
            saturated = true;
        }
    }
    const bool anyDigits = i > digits;
    while (i < text.size() && isConversionSpace(text[i])) ++i;
    return {static_cast<std::int32_t>(negative ? -magnitude : magnitude),
            anyDigits && !saturated && i == text.size()};
}

std::string showNumber(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

// The values "--gain", "--device-index" and "--test-mode" take are read as they always were; a
// value that is not used as written is named, with what is used instead.
void checkGain(const platform::WideString& value, double gain, std::vector<std::string>& problems) {
    double written = 0.0;
    if (readWholeNumber(value, written) && written >= 0.0 && written <= kMaxGain) return;
    std::string used = "using " + showNumber(gain);
    if (gain == 0.0) used += " (no force)";
    problems.push_back(
        ignoredValueLine("--gain", value, "a number from 0 to " + showNumber(kMaxGain), used));
}

void checkDeviceIndex(const platform::WideString& value, const IndexScan& index,
                      std::vector<std::string>& problems) {
    if (index.asWritten) return;
    problems.push_back(ignoredValueLine("--device-index", value, "a whole number",
                                        "using " + std::to_string(index.value)));
}

void checkTestMode(const platform::WideString& value, const std::string& mode,
                   std::vector<std::string>& problems) {
    std::string known;
    for (const std::string_view name : kTestModes) {
        if (name == mode) return;
        known.append(known.empty() ? "" : ", ").append(name);
    }
    problems.push_back(
        ignoredValueLine("--test-mode", value, "one of " + known, "nothing will play"));
}

void applyFlag(Option option, BridgeOptions& options) {
    switch (option) {
        case Option::Diagnose:
            options.diagnose = true;
            break;
        case Option::Test:
            options.test = true;
            break;
        case Option::Invert:
            options.invert = true;
            break;
        case Option::VirtualWheel:
            options.virtualWheel = true;
            break;
        case Option::Monitor:
            options.monitor = true;
            break;
        case Option::LowLatency:
            options.lowLatency = true;
            break;
        case Option::Help:
            options.help = true;
            break;
        case Option::Version:
            options.version = true;
            break;
        case Option::Wait:
            options.wait = true;
            break;
        case Option::Force:
            options.force = true;
            break;
        default:
            break;
    }
}

// Whether the value was used: a tuning value that cannot be used leaves the option as if not
// given, so that the settings file's value, which then applies, is not said to lose to it.
bool applyValue(const OptionName& name, const platform::WideString& value,
                const BridgeOptions& base, BridgeOptions& options) {
    for (const CheckedOption& checked : kCheckedOptions) {
        if (checked.option != name.option) continue;
        // A value that cannot be used falls back to the default (or the settings file's value),
        // never to 0: a typo must not silence a wheel.
        return readCheckedValue(narrowName(name.name), value, checked.lo, checked.hi,
                                base.tuning.*checked.field, options.tuning.*checked.field,
                                options.problems);
    }
    switch (name.option) {
        case Option::TestMode:
            options.testMode = toLowerAscii(toUtf8(value));
            checkTestMode(value, options.testMode, options.problems);
            break;
        case Option::Gain:
            options.gain = readGainValue(value);
            checkGain(value, options.gain, options.problems);
            break;
        case Option::DeviceIndex: {
            const IndexScan index = scanIndex(value);
            options.deviceIndex = index.value;
            checkDeviceIndex(value, index, options.problems);
            break;
        }
        case Option::Device:
            options.nameFilter = toLowerAscii(toUtf8(value));
            break;
        case Option::Trace:
            options.tracePath = value;
            break;
        case Option::Config:
            options.configPath = value;
            break;
        case Option::WriteConfig:
            options.writeConfigPath = value;
            break;
        default:
            break;
    }
    return true;
}

// Remembered so that a settings file read again later still loses to the command line.
void noteGiven(const OptionName& name, BridgeOptions& options) {
    const std::string option = narrowName(name.name);
    for (const std::string& given : options.given) {
        if (given == option) return;
    }
    options.given.push_back(option);
}

// Enough to recognise a typo; a pasted page is not echoed whole.
std::string shownText(const platform::WideString& value) {
    constexpr std::size_t kShown = 40;
    std::string shown = toUtf8(value.substr(0, kShown));
    if (value.size() > kShown) shown += "...";
    return shown;
}

}  // namespace

BridgeOptions parseBridgeOptions(int argc, const WCHAR* const* argv, const BridgeOptions& base) {
    BridgeOptions options = base;
    options.problems.clear();
    options.given.clear();
    if (argv == nullptr) return options;
    for (int i = 1; i < argc; ++i) {
        if (argv[i] == nullptr) continue;
        const OptionName* found = findOption(WideView(argv[i]));
        if (found == nullptr) {
            // Stray words and unknown options are skipped, but never in silence: a mistyped
            // option would otherwise look like a run without it.
            options.problems.push_back("Ignored unknown argument \"" +
                                       shownText(platform::WideString(argv[i])) + "\".");
            continue;
        }
        if (!found->takesValue) {
            applyFlag(found->option, options);
            noteGiven(*found, options);
            continue;
        }
        // An option with nothing after it is dropped as a whole, and so is one followed by
        // another option (a forgotten value), which is then read as written.
        const bool optionFollows =
            i + 1 < argc && argv[i + 1] != nullptr && findOption(WideView(argv[i + 1])) != nullptr;
        if (i + 1 >= argc || (optionFollows && !found->takesAnyValue)) {
            options.problems.push_back("Ignored " + narrowName(found->name) +
                                       ": a value must follow it.");
            continue;
        }
        ++i;
        if (argv[i] == nullptr) continue;
        const platform::WideString value(argv[i]);
        const std::size_t problems = options.problems.size();
        if (applyValue(*found, value, base, options)) noteGiven(*found, options);
        if (optionFollows) {
            // One line says what happened, in place of the one about the value itself.
            options.problems.resize(problems);
            options.problems.push_back("Read \"" + shownText(value) + "\" as the value of " +
                                       narrowName(found->name) + ", not as an option.");
        }
    }
    // Options that only work with another one.
    const auto given = [&options](std::string_view name) {
        return std::find(options.given.begin(), options.given.end(), name) != options.given.end();
    };
    if (given("--force") && options.writeConfigPath.empty())
        options.problems.push_back("Ignored --force: it applies only with --write-config.");
    if (given("--test-mode") && !options.test)
        options.problems.push_back("Ignored --test-mode: it applies only with --test.");
    return options;
}

double readGainValue(const platform::WideString& text) {
    // A number is written in ASCII, so the first code unit outside it (or a zero) ends the number;
    // what comes before is scanned byte by byte.
    std::string ascii;
    ascii.reserve(text.size());
    for (const WCHAR unit : text) {
        if (unit == 0 || unit >= 0x80) break;
        ascii.push_back(static_cast<char>(unit));
    }
    const double value = scanDouble(ascii, HexNumbers::Rejected).value;
    if (value > kMaxGain) return kMaxGain;
    if (value > 0.0) return value;
    // Negative, zero of either sign, or not a number: no force. (-0 would print as "-0".)
    return 0.0;
}

bool readCheckedValue(std::string_view option, const platform::WideString& text, double lo,
                      double hi, double fallback, double& result,
                      std::vector<std::string>& problems) {
    double value = 0.0;
    // Not a number, trailing text, NaN and the infinities all fail here.
    if (readWholeNumber(text, value) && value >= lo && value <= hi) {
        result = value + 0.0;  // -0 counts as 0
        return true;
    }
    result = fallback;
    problems.push_back(ignoredValueLine(option, text,
                                        "a number from " + showNumber(lo) + " to " + showNumber(hi),
                                        "using " + showNumber(fallback)));
    return false;
}

std::string ignoredValueLine(std::string_view option, const platform::WideString& value,
                             std::string_view expected, std::string_view instead) {
    std::string line = "Ignored ";
    line.append(option).append(" \"").append(shownText(value)).append("\": expected ");
    line.append(expected).append("; ").append(instead).append(".");
    return line;
}

std::int32_t readIndexValue(const platform::WideString& text) {
    return scanIndex(text).value;
}

}  // namespace torvane
