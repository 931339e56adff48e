#include "app/options.h"

#include <cstddef>
#include <limits>
#include <string_view>

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
};

struct OptionName {
    WideView name;
    Option option;
    bool takesValue;
};

constexpr OptionName kOptions[] = {
    {TORVANE_WIDE("--diagnose"), Option::Diagnose, false},
    {TORVANE_WIDE("--test"), Option::Test, false},
    {TORVANE_WIDE("--test-mode"), Option::TestMode, true},
    {TORVANE_WIDE("--invert"), Option::Invert, false},
    {TORVANE_WIDE("--gain"), Option::Gain, true},
    {TORVANE_WIDE("--device-index"), Option::DeviceIndex, true},
    {TORVANE_WIDE("--device"), Option::Device, true},
    {TORVANE_WIDE("--virtual-wheel"), Option::VirtualWheel, false},
    {TORVANE_WIDE("--monitor"), Option::Monitor, false},
    {TORVANE_WIDE("--trace"), Option::Trace, true},
    {TORVANE_WIDE("--low-latency"), Option::LowLatency, false},
    {TORVANE_WIDE("--help"), Option::Help, false},
    {TORVANE_WIDE("-h"), Option::Help, false},
    {TORVANE_WIDE("/?"), Option::Help, false},
    {TORVANE_WIDE("--version"), Option::Version, false},
};

/// Exact, case-sensitive match of the whole argument; nullptr when it is no option of ours.
const OptionName* findOption(WideView argument) {
    for (const OptionName& candidate : kOptions) {
        if (candidate.name == argument) return &candidate;
    }
    return nullptr;
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
        default:
            break;
    }
}

void applyValue(Option option, const platform::WideString& value, BridgeOptions& options) {
    switch (option) {
        case Option::TestMode:
            options.testMode = toLowerAscii(toUtf8(value));
            break;
        case Option::Gain:
            options.gain = readGainValue(value);
            break;
        case Option::DeviceIndex:
            options.deviceIndex = readIndexValue(value);
            break;
        case Option::Device:
            options.nameFilter = toLowerAscii(toUtf8(value));
            break;
        case Option::Trace:
            options.tracePath = value;
            break;
        default:
            break;
    }
}

/// The white space that the C runtime's number conversions skip in the "C" locale.
bool isConversionSpace(WCHAR unit) {
    return unit == ' ' || (unit >= '\t' && unit <= '\r');
}

}  // namespace

BridgeOptions parseBridgeOptions(int argc, const WCHAR* const* argv) {
    BridgeOptions options;
    if (argv == nullptr) return options;
    for (int i = 1; i < argc; ++i) {
        if (argv[i] == nullptr) continue;
        const OptionName* found = findOption(WideView(argv[i]));
        if (found == nullptr) continue;  // stray words and unknown options are ignored
        if (!found->takesValue) {
            applyFlag(found->option, options);
            continue;
        }
        // The value is the next argument whatever it looks like; an option with nothing after it
        // is dropped as a whole.
        if (i + 1 >= argc) break;
        ++i;
        if (argv[i] == nullptr) continue;
        applyValue(found->option, platform::WideString(argv[i]), options);
    }
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

std::int32_t readIndexValue(const platform::WideString& text) {
    std::size_t i = 0;
    while (i < text.size() && isConversionSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // The magnitude saturates at the limit of its sign, so any number of digits is safe.
    const std::int64_t limit = negative ? -std::int64_t{std::numeric_limits<std::int32_t>::min()}
                                        : std::int64_t{std::numeric_limits<std::int32_t>::max()};
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > limit) magnitude = limit;
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace torvane
