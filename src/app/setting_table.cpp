#include "app/setting_table.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "platform/text.h"
#include "telemetry/test_signal.h"

namespace torvane {
namespace {

using K = SettingKind;
constexpr double kIndexLo = -2147483648.0;
constexpr double kIndexHi = 2147483647.0;

// Where a row's value lives in the record.
#define TORVANE_FIELD(member) [](BridgeOptions& o) -> void* { return &o.member; }

// clang-format off
const SettingRow kRows[] = {
    {.option = "--diagnose", .kind = K::Flag,
     .help = "list the wheel's effects, then print its input for 20 s (default: {default})", .field = TORVANE_FIELD(diagnose)},
    {.option = "--test", .kind = K::Flag,
     .help = "play a built-in six-second test signal instead of telemetry (default: {default})", .field = TORVANE_FIELD(test)},
    {.option = "--test-mode", .kind = K::TestMode, .valueName = "MODE", .help = "test signal parts: {choices} (default: {default})",
     .takesAnyValue = true, .onlyWith = "--test", .field = TORVANE_FIELD(testMode)},
    {.option = "--invert", .key = "invert", .kind = K::Flag, .help = "negate the aligning torque (default: {default})",
     .meaning = "negate the aligning torque", .filePlace = 2, .field = TORVANE_FIELD(live.invert)},
    {.option = "--gain", .key = "gain", .kind = K::Gain, .lo = 0.0, .hi = kMaxGain, .valueName = "NUMBER",
     .help = "overall force gain, {range} (default: {default})", .meaning = "overall force gain", .takesAnyValue = true, .filePlace = 1,
     .field = TORVANE_FIELD(live.gain)},
    {.option = "--device-index", .key = "device-index", .kind = K::Index, .lo = kIndexLo, .hi = kIndexHi, .valueName = "N",
     .help = "choose the controller by its index in the list (default: by name)",
     .meaning = "choose the controller by its index in the list; negative: by name", .takesAnyValue = true, .filePlace = 11,
     .field = TORVANE_FIELD(deviceIndex)},
    {.option = "--device", .key = "device", .kind = K::Text, .valueName = "TEXT",
     .help = "choose the first FFB controller whose name contains TEXT (default: {default})",
     .meaning = "choose the first force-feedback controller whose name contains this text", .takesAnyValue = true, .filePlace = 10,
     .field = TORVANE_FIELD(nameFilter)},
    {.option = "--virtual-wheel", .key = "virtual-wheel", .kind = K::Flag,
     .help = "drive the built-in virtual wheel instead of DirectInput (default: {default})",
     .meaning = "drive the built-in virtual wheel", .filePlace = 12, .field = TORVANE_FIELD(virtualWheel)},
    {.option = "--monitor", .key = "monitor", .kind = K::Flag,
     .help = "print a status line every 100 ms on the error stream (default: {default})",
     .meaning = "a status line on the error stream", .filePlace = 14, .field = TORVANE_FIELD(monitor)},
    {.option = "--trace", .key = "trace", .kind = K::Path, .valueName = "FILE",
     .help = "write what was sent to the wheel, one CSV line per pass (default: no trace)",
     .meaning = "CSV file of what was sent to the wheel, \"\" for none", .filePlace = 15, .field = TORVANE_FIELD(tracePath)},
    {.option = "--low-latency", .key = "low-latency", .kind = K::Flag,
     .help = "wake on telemetry instead of sleeping 4 ms per pass, at a raised\npriority, sending the wheel only what changed (default: {default})",
     .meaning = "wake on telemetry instead of sleeping 4 ms", .filePlace = 13, .field = TORVANE_FIELD(lowLatency)},
    {.option = "--steering", .key = "steering", .kind = K::Number, .lo = 0.0, .hi = kMaxStrength, .valueName = "NUMBER",
     .help = "strength of the steering force, {range} (default: {default})", .meaning = "strength of the steering force", .filePlace = 3,
     .field = TORVANE_FIELD(live.tuning.steering)},
    {.option = "--engine", .key = "engine", .kind = K::Number, .lo = 0.0, .hi = kMaxStrength, .valueName = "NUMBER",
     .help = "strength of the engine vibration, {range} (default: {default})", .meaning = "strength of the engine vibration",
     .filePlace = 4, .field = TORVANE_FIELD(live.tuning.engine)},
    {.option = "--road", .key = "road", .kind = K::Number, .lo = 0.0, .hi = kMaxStrength, .valueName = "NUMBER",
     .help = "strength of the road texture, {range} (default: {default})", .meaning = "strength of the road texture", .filePlace = 5,
     .field = TORVANE_FIELD(live.tuning.road)},
    {.option = "--curb", .key = "curb", .kind = K::Number, .lo = 0.0, .hi = kMaxStrength, .valueName = "NUMBER",
     .help = "strength of the curb rumble, {range} (default: {default})", .meaning = "strength of the curb vibration", .filePlace = 6,
     .field = TORVANE_FIELD(live.tuning.curb)},
    {.option = "--damper", .key = "damper", .kind = K::Number, .lo = 0.0, .hi = kMaxStrength, .valueName = "NUMBER",
     .help = "strength of the damper, {range} (default: {default})", .meaning = "strength of the damper", .filePlace = 7,
     .field = TORVANE_FIELD(live.tuning.damper)},
    {.option = "--min-force", .key = "min-force", .kind = K::Number, .lo = 0.0, .hi = kMaxMinForce, .unit = "of full scale",
     .valueName = "NUMBER",
     .help = "raise weak steering forces toward this, {range} of full scale (default: {default}):\n"
             "a force plays 4 times itself, at most this, never less than itself",
     .meaning = "weak steering forces are raised toward this fraction of full scale (4 times the force, at most this)", .filePlace = 8,
     .field = TORVANE_FIELD(live.tuning.minForce)},
    {.option = "--smooth", .key = "smooth", .kind = K::Number, .lo = 0.0, .hi = kMaxSmoothMs, .unit = "ms", .valueName = "MS",
     .help = "smooth the steering force over MS ms, {range}, adding about MS of lag\n(default: {default}, off)",
     .meaning = "smoothing of the steering force in ms, adding about as much lag; 0 is off", .filePlace = 9,
     .field = TORVANE_FIELD(live.tuning.smoothMs)},
    {.option = "--wait", .key = "wait", .kind = K::Flag, .help = "with no usable wheel, wait for one instead of ending (default: {default})",
     .meaning = "wait for a wheel instead of ending when there is none", .filePlace = 16, .field = TORVANE_FIELD(wait)},
    {.option = "--page", .key = "page", .kind = K::Flag,
     .help = "serve a live page of the forces and settings on 127.0.0.1 (default: {default})",
     .meaning = "serve the live page on 127.0.0.1", .filePlace = 17, .field = TORVANE_FIELD(page)},
    {.option = "--page-port", .key = "page-port", .kind = K::Number, .lo = 1024, .hi = 65535, .valueName = "PORT",
     .help = "the live page's port, {range} (default: {default})", .meaning = "the live page's port", .filePlace = 18,
     .field = TORVANE_FIELD(pagePort)},
    {.option = "--config", .kind = K::Path, .valueName = "FILE",
     .help = "read the settings from FILE (default: torvane-bridge.toml beside the\nprogram, else the user's config.toml); the command line wins",
     .field = TORVANE_FIELD(configPath)},
    {.option = "--write-config", .kind = K::Path, .valueName = "FILE",
     .help = "write the settings in effect to FILE and end (with --force: even\nover an existing file)", .field = TORVANE_FIELD(writeConfigPath)},
    {.option = "--help", .aliases = {"-h", "/?"}, .kind = K::Flag, .helpLabel = "-h, --help, /?",
     .help = "print this help and end (wins over --version)", .field = TORVANE_FIELD(help)},
    {.option = "--version", .kind = K::Flag, .help = "print the version and end", .field = TORVANE_FIELD(version)},
    {.option = "--force", .kind = K::Flag, .onlyWith = "--write-config", .field = TORVANE_FIELD(force)},
};
// clang-format on

#undef TORVANE_FIELD

// The rows with a key, sorted once by their place in the file.
struct FileOrder {
    FileOrder() {
        for (const SettingRow& row : kRows)
            if (row.filePlace > 0) rows[count++] = &row;
        std::sort(
            rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(count),
            [](const SettingRow* a, const SettingRow* b) { return a->filePlace < b->filePlace; });
    }
    std::array<const SettingRow*, std::size(kRows)> rows{};
    std::size_t count = 0;
};

// The column where "--help" texts start, and the indent of their continuation lines.
constexpr std::size_t kHelpColumn = 20;

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

}  // namespace

std::span<const SettingRow> settingRows() {
    return kRows;
}

std::span<const SettingRow* const> fileRows() {
    static const FileOrder order;
    return {order.rows.data(), order.count};
}

const SettingRow* findOption(std::basic_string_view<WCHAR> argument) {
    // Option names are ASCII: compared unit by unit, exactly.
    const auto same = [argument](std::string_view name) {
        return !name.empty() && name.size() == argument.size() &&
               std::equal(name.begin(), name.end(), argument.begin(),
                          [](char a, WCHAR b) { return static_cast<WCHAR>(a) == b; });
    };
    for (const SettingRow& row : kRows)
        if (same(row.option) || same(row.aliases[0]) || same(row.aliases[1])) return &row;
    return nullptr;
}

bool appliesLive(const SettingRow& row) {
    BridgeOptions options;
    const auto* at = static_cast<const char*>(row.field(options));
    const auto* live = reinterpret_cast<const char*>(&options.live);
    return at >= live && at < live + sizeof options.live;
}

// A TOML basic string: quotes and backslashes escaped, control characters as \uXXXX.
std::string tomlString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string showNumber(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

double numberOf(const SettingRow& row, const BridgeOptions& options) {
    void* at = row.field(const_cast<BridgeOptions&>(options));
    switch (row.kind) {
        case K::Flag:
            return *static_cast<bool*>(at) ? 1.0 : 0.0;
        case K::Number:
        case K::Gain:
            return *static_cast<double*>(at);
        case K::Index:
            return *static_cast<std::int32_t*>(at);
        default:
            return 0.0;
    }
}

std::string valueText(const SettingRow& row, const BridgeOptions& options) {
    void* at = row.field(const_cast<BridgeOptions&>(options));
    switch (row.kind) {
        case K::Flag:
            return *static_cast<bool*>(at) ? "true" : "false";
        case K::Number:
        case K::Gain:
            return showNumber(*static_cast<double*>(at));
        case K::Index:
            return std::to_string(*static_cast<std::int32_t*>(at));
        case K::Text:
        case K::TestMode:
            return tomlString(*static_cast<std::string*>(at));
        case K::Path:
            return tomlString(toUtf8(*static_cast<platform::WideString*>(at)));
    }
    return {};
}

std::string expectation(const SettingRow& row) {
    switch (row.kind) {
        case K::Number:
        case K::Gain:
            return "a number from " + showNumber(row.lo) + " to " + showNumber(row.hi);
        case K::Index:
            return "a whole number";
        case K::Flag:
            return "true or false";
        default:
            return "a text in quotes";
    }
}

std::string helpText(const SettingRow& row) {
    if (row.help.empty()) return {};
    std::string label(row.helpLabel);
    if (label.empty()) {
        label = row.option;
        if (!row.valueName.empty()) label.append(" ").append(row.valueName);
    }
    label.resize(std::max(label.size() + 1, kHelpColumn), ' ');
    const BridgeOptions defaults;
    std::string text(row.help);
    std::string shown;
    if (row.kind == K::Flag) {
        shown = numberOf(row, defaults) != 0.0 ? "on" : "off";
    } else if (row.kind == K::Text || row.kind == K::TestMode) {
        shown = *static_cast<std::string*>(row.field(const_cast<BridgeOptions&>(defaults)));
    } else {
        shown = valueText(row, defaults);
    }
    std::string choices;
    for (const std::string_view mode : kTestModes)
        choices.append(choices.empty() ? "" : ", ").append(mode);
    replaceAll(text, "{default}", shown);
    replaceAll(text, "{range}", showNumber(row.lo) + " to " + showNumber(row.hi));
    replaceAll(text, "{choices}", choices);
    replaceAll(text, "\n", "\n" + std::string(kHelpColumn + 2, ' '));
    return "  " + label + text + "\n";
}

}  // namespace torvane
