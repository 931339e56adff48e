#include "app/options.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <string_view>

#include "app/setting_table.h"
#include "ffb/force_tuning.h"
#include "platform/text.h"
#include "telemetry/number_scan.h"
#include "telemetry/test_signal.h"

namespace torvane {
namespace {

using WideView = std::basic_string_view<WCHAR>;

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

// One given value onto options; a number that cannot be used keeps base's value, never 0: a typo
// must not silence a wheel.
void applyValue(const SettingRow& row, const platform::WideString& value, const BridgeOptions& base,
                BridgeOptions& options, std::vector<std::string>& problems) {
    void* at = row.field(options);
    switch (row.kind) {
        case SettingKind::Flag:
            *static_cast<bool*>(at) = true;
            break;
        case SettingKind::Number:
            readCheckedValue(row.option, value, row.lo, row.hi,
                             *static_cast<double*>(row.field(const_cast<BridgeOptions&>(base))),
                             *static_cast<double*>(at), problems);
            break;
        case SettingKind::Gain:
            *static_cast<double*>(at) = readGainValue(value);
            checkGain(value, *static_cast<double*>(at), problems);
            break;
        case SettingKind::Index: {
            const IndexScan index = scanIndex(value);
            *static_cast<std::int32_t*>(at) = index.value;
            checkDeviceIndex(value, index, problems);
            break;
        }
        case SettingKind::Text:
            *static_cast<std::string*>(at) = toLowerAscii(toUtf8(value));
            break;
        case SettingKind::TestMode:
            *static_cast<std::string*>(at) = toLowerAscii(toUtf8(value));
            checkTestMode(value, options.testMode, problems);
            break;
        case SettingKind::Path:
            *static_cast<platform::WideString*>(at) = value;
            break;
    }
}

// Enough to recognise a typo; a pasted page is not echoed whole.
std::string shownText(const platform::WideString& value) {
    constexpr std::size_t kShown = 40;
    std::string shown = toUtf8(value.substr(0, kShown));
    if (value.size() > kShown) shown += "...";
    return shown;
}

}  // namespace

bool CommandLine::gave(std::string_view option) const {
    return std::any_of(arguments.begin(), arguments.end(), [option](const GivenArgument& given) {
        return given.row != nullptr && given.counts && given.row->option == option;
    });
}

CommandLine readCommandLine(int argc, const WCHAR* const* argv) {
    CommandLine line;
    if (argv == nullptr) return line;
    for (int i = 1; i < argc; ++i) {
        if (argv[i] == nullptr) continue;
        const SettingRow* found = findOption(WideView(argv[i]));
        if (found == nullptr) {
            // Stray words and unknown options are skipped, but never in silence: a mistyped
            // option would otherwise look like a run without it.
            line.arguments.push_back(
                {nullptr,
                 {},
                 "Ignored unknown argument \"" + shownText(platform::WideString(argv[i])) + "\"."});
            continue;
        }
        if (found->kind == SettingKind::Flag) {
            line.arguments.push_back({found});
            continue;
        }
        // An option with nothing after it is dropped as a whole, and so is one followed by
        // another option (a forgotten value), which is then read as written.
        const bool optionFollows =
            i + 1 < argc && argv[i + 1] != nullptr && findOption(WideView(argv[i + 1])) != nullptr;
        if (i + 1 >= argc || (optionFollows && !found->takesAnyValue)) {
            line.arguments.push_back(
                {nullptr,
                 {},
                 "Ignored " + std::string(found->option) + ": a value must follow it."});
            continue;
        }
        ++i;
        if (argv[i] == nullptr) continue;
        GivenArgument given{found, platform::WideString(argv[i])};
        double number = 0.0;
        given.counts =
            found->kind != SettingKind::Number ||
            (readWholeNumber(given.value, number) && number >= found->lo && number <= found->hi);
        // One line says what happened, in place of any about the value itself.
        if (optionFollows)
            given.problem = "Read \"" + shownText(given.value) + "\" as the value of " +
                            std::string(found->option) + ", not as an option.";
        line.arguments.push_back(std::move(given));
    }
    return line;
}

BridgeOptions applyCommandLine(const CommandLine& commandLine, const BridgeOptions& base,
                               std::vector<std::string>* problems) {
    BridgeOptions options = base;
    std::vector<std::string> unused;
    std::vector<std::string>& lines = problems != nullptr ? *problems : unused;
    for (const GivenArgument& given : commandLine.arguments) {
        if (given.row == nullptr) {
            lines.push_back(given.problem);
        } else if (given.problem.empty()) {
            applyValue(*given.row, given.value, base, options, lines);
        } else {
            std::vector<std::string> replaced;
            applyValue(*given.row, given.value, base, options, replaced);
            lines.push_back(given.problem);
        }
    }
    // Options that only work with another one, "--force" before "--test-mode" as first written.
    const auto rows = settingRows();
    for (auto at = rows.rbegin(); at != rows.rend(); ++at) {
        const SettingRow& row = *at;
        if (row.onlyWith.empty() || !commandLine.gave(row.option)) continue;
        const SettingRow& needed = *findOption(toWide(row.onlyWith));
        if (valueText(needed, options) == valueText(needed, BridgeOptions{}))
            lines.push_back("Ignored " + std::string(row.option) + ": it applies only with " +
                            std::string(row.onlyWith) + ".");
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
