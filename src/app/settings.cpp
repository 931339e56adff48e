#include "app/settings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <ostream>
#include <system_error>
#include <utility>

#include "ffb/effect_set.h"
#include "platform/streams.h"
#include "platform/text.h"

// toml++ as headers alone, reporting parse errors as values: the program throws no exceptions of
// its own, and a settings file is hostile input like any other.
#define TOML_HEADER_ONLY 1
#define TOML_EXCEPTIONS 0
#include <toml++/toml.h>

namespace torvane {
namespace {

enum class Kind { Number, Index, Flag, Text };

struct Setting {
    std::string_view key;
    Kind kind;
    bool live;  // applies while the bridge runs; else at the next start
    double lo, hi;
    std::string_view meaning;
    double& (*number)(BridgeOptions&) = nullptr;
    bool& (*flag)(BridgeOptions&) = nullptr;
    std::int32_t& (*index)(BridgeOptions&) = nullptr;
    std::string (*getText)(const BridgeOptions&) = nullptr;
    void (*setText)(BridgeOptions&, std::string_view) = nullptr;
};

constexpr double kIndexLo = std::numeric_limits<std::int32_t>::min();
constexpr double kIndexHi = std::numeric_limits<std::int32_t>::max();

const Setting kSettings[] = {
    {"gain", Kind::Number, true, 0.0, kMaxGain, "overall force gain",
     [](BridgeOptions& o) -> double& { return o.gain; }},
    {"invert", Kind::Flag, true, 0, 0, "negate the aligning torque", nullptr,
     [](BridgeOptions& o) -> bool& { return o.invert; }},
    {"steering", Kind::Number, true, 0.0, kMaxStrength, "strength of the steering force",
     [](BridgeOptions& o) -> double& { return o.tuning.steering; }},
    {"engine", Kind::Number, true, 0.0, kMaxStrength, "strength of the engine vibration",
     [](BridgeOptions& o) -> double& { return o.tuning.engine; }},
    {"road", Kind::Number, true, 0.0, kMaxStrength, "strength of the road texture",
     [](BridgeOptions& o) -> double& { return o.tuning.road; }},
    {"curb", Kind::Number, true, 0.0, kMaxStrength, "strength of the curb vibration",
     [](BridgeOptions& o) -> double& { return o.tuning.curb; }},
    {"damper", Kind::Number, true, 0.0, kMaxStrength, "strength of the damper",
     [](BridgeOptions& o) -> double& { return o.tuning.damper; }},
    {"min-force", Kind::Number, true, 0.0, kMaxMinForce,
     "weak steering forces are raised toward this fraction of full scale (4 times the force, at "
     "most this)",
     [](BridgeOptions& o) -> double& { return o.tuning.minForce; }},
    {"smooth", Kind::Number, true, 0.0, kMaxSmoothMs,
     "smoothing of the steering force in ms, adding about as much lag; 0 is off",
     [](BridgeOptions& o) -> double& { return o.tuning.smoothMs; }},
    {"device", Kind::Text, false, 0, 0,
     "choose the first force-feedback controller whose name contains this text", nullptr, nullptr,
     nullptr, [](const BridgeOptions& o) { return o.nameFilter; },
     [](BridgeOptions& o, std::string_view v) { o.nameFilter = toLowerAscii(std::string(v)); }},
    {"device-index", Kind::Index, false, kIndexLo, kIndexHi,
     "choose the controller by its index in the list; negative: by name", nullptr, nullptr,
     [](BridgeOptions& o) -> std::int32_t& { return o.deviceIndex; }},
    {"virtual-wheel", Kind::Flag, false, 0, 0, "drive the built-in virtual wheel", nullptr,
     [](BridgeOptions& o) -> bool& { return o.virtualWheel; }},
    {"low-latency", Kind::Flag, false, 0, 0, "wake on telemetry instead of sleeping 4 ms", nullptr,
     [](BridgeOptions& o) -> bool& { return o.lowLatency; }},
    {"monitor", Kind::Flag, false, 0, 0, "a status line on the error stream", nullptr,
     [](BridgeOptions& o) -> bool& { return o.monitor; }},
    {"trace", Kind::Text, false, 0, 0, "CSV file of what was sent to the wheel, \"\" for none",
     nullptr, nullptr, nullptr, [](const BridgeOptions& o) { return toUtf8(o.tracePath); },
     [](BridgeOptions& o, std::string_view v) { o.tracePath = toWide(v); }},
    {"wait", Kind::Flag, false, 0, 0, "wait for a wheel instead of ending when there is none",
     nullptr, [](BridgeOptions& o) -> bool& { return o.wait; }},
};

// The shortest text that reads back as the same number.
std::string showNumber(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
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

// The setting's value in options, as TOML writes it.
std::string show(const Setting& s, BridgeOptions options) {
    switch (s.kind) {
        case Kind::Number:
            return showNumber(s.number(options));
        case Kind::Index:
            return std::to_string(s.index(options));
        case Kind::Flag:
            return s.flag(options) ? "true" : "false";
        case Kind::Text:
            return tomlString(s.getText(options));
    }
    return {};
}

std::string expectation(const Setting& s) {
    switch (s.kind) {
        case Kind::Number:
            return "a number from " + showNumber(s.lo) + " to " + showNumber(s.hi);
        case Kind::Index:
            return "a whole number";
        case Kind::Flag:
            return "true or false";
        case Kind::Text:
            return "a text in quotes";
    }
    return {};
}

// Sets the field from node when the node has the right type and range.
bool assign(const Setting& s, const toml::node& node, BridgeOptions& options) {
    switch (s.kind) {
        case Kind::Number: {
            double value = 0.0;
            if (const auto* integer = node.as_integer()) {
                value = static_cast<double>(integer->get());
            } else if (const auto* floating = node.as_floating_point()) {
                value = floating->get();
            } else {
                return false;
            }
            // NaN and the infinities fail here too.
            if (!(value >= s.lo && value <= s.hi)) return false;
            s.number(options) = value + 0.0;  // -0 counts as 0
            return true;
        }
        case Kind::Index: {
            const auto* integer = node.as_integer();
            if (integer == nullptr || integer->get() < kIndexLo || integer->get() > kIndexHi)
                return false;
            s.index(options) = static_cast<std::int32_t>(integer->get());
            return true;
        }
        case Kind::Flag: {
            const auto* flag = node.as_boolean();
            if (flag == nullptr) return false;
            s.flag(options) = flag->get();
            return true;
        }
        case Kind::Text: {
            const auto* text = node.as_string();
            if (text == nullptr) return false;
            s.setText(options, text->get());
            return true;
        }
    }
    return false;
}

// Enough of a key to recognise a typo, as the command line shows its values: at most 40
// characters, then "...". A character is never cut in half.
std::string shortened(std::string_view text) {
    constexpr std::size_t kShown = 40;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        // Each character starts with a byte that is not a continuation byte (10xxxxxx).
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && characters++ == kShown)
            return std::string(text.substr(0, i)) + "...";
    }
    return std::string(text);
}

std::string where(std::string_view name, const toml::source_region& region) {
    return std::string(name) + ":" + std::to_string(region.begin.line) + ": ";
}

std::filesystem::path toPath(const platform::WideString& path) {
    const std::string utf8 = toUtf8(path);
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

bool applySettingsText(std::string_view text, std::string_view name, BridgeOptions& options,
                       std::vector<SettingsProblem>& problems) {
    const toml::parse_result parsed = toml::parse(text);
    if (!parsed) {
        const toml::parse_error& error = parsed.error();
        problems.push_back(
            {where(name, error.source()) + std::string(error.description()), "using the defaults"});
        return false;
    }
    // The table holds its keys sorted by name: the lines are told in the file's order.
    std::vector<std::pair<std::uint32_t, SettingsProblem>> found;
    for (const auto& [key, node] : parsed.table()) {
        const Setting* setting = nullptr;
        for (const Setting& s : kSettings) {
            if (s.key == key.str()) setting = &s;
        }
        if (setting == nullptr) {
            found.push_back(
                {key.source().begin.line,
                 {where(name, key.source()) + "unknown setting " + tomlString(shortened(key.str())),
                  "ignored", true}});
        } else if (!assign(*setting, node, options)) {
            found.push_back({node.source().begin.line,
                             {where(name, node.source()) + std::string(setting->key) + " must be " +
                                  expectation(*setting),
                              "using the default " + show(*setting, options)}});
        }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& line : found) problems.push_back(std::move(line.second));
    const bool clean = found.empty();
    return clean;
}

std::string formatSettings(const BridgeOptions& options) {
    const BridgeOptions defaults;
    std::string text =
        "# torvane-bridge settings. The keys are the command-line options without their dashes;\n"
        "# an option given on the command line wins over its key here. While the bridge runs,\n"
        "# changes to gain, invert, the strengths, min-force and smooth apply within a second;\n"
        "# the others at the next start.\n";
    for (const Setting& s : kSettings) {
        text += "\n# " + std::string(s.meaning);
        if (s.kind == Kind::Number) text += ", " + showNumber(s.lo) + " to " + showNumber(s.hi);
        text += " (default " + show(s, defaults) + ")\n";
        text += std::string(s.key) + " = " + show(s, options) + "\n";
    }
    return text;
}

std::string describeChanges(const BridgeOptions& before, const BridgeOptions& after,
                            const std::vector<std::string>& given) {
    std::string changes;
    for (const Setting& s : kSettings) {
        const std::string old = show(s, before);
        const std::string now = show(s, after);
        if (old == now) continue;
        if (!changes.empty()) changes += ", ";
        changes += std::string(s.key) + " " + old + " -> " + now;
        const std::string option = "--" + std::string(s.key);
        bool onCommandLine = false;
        for (const std::string& g : given) onCommandLine = onCommandLine || g == option;
        if (onCommandLine) {
            changes += " (the command line's " + option + " wins)";
        } else if (!s.live) {
            changes += " (after a restart)";
        }
    }
    return changes;
}

std::vector<platform::WideString> settingsCandidates(const platform::WideString& executableFolder,
                                                     bool windows,
                                                     const platform::WideString& appData,
                                                     const platform::WideString& xdgConfigHome,
                                                     const platform::WideString& home) {
    std::vector<platform::WideString> candidates;
    if (!executableFolder.empty())
        candidates.push_back(executableFolder + TORVANE_WIDE("torvane-bridge.toml"));
    if (windows) {
        if (!appData.empty())
            candidates.push_back(appData + TORVANE_WIDE("\\torvane-bridge\\config.toml"));
        return candidates;
    }
    // A relative XDG_CONFIG_HOME is invalid and to be ignored.
    if (!xdgConfigHome.empty() && xdgConfigHome[0] == '/') {
        candidates.push_back(xdgConfigHome + TORVANE_WIDE("/torvane-bridge/config.toml"));
    } else if (!home.empty()) {
        candidates.push_back(home + TORVANE_WIDE("/.config/torvane-bridge/config.toml"));
    }
    return candidates;
}

bool readSettingsFile(const platform::WideString& path, std::string& text,
                      SettingsProblem& problem) {
    const std::string name = toUtf8(path);
    switch (platform::readRegularFile(path, kMaxSettingsBytes, text)) {
        case platform::FileRead::Read:
            return true;
        case platform::FileRead::NotAFile:
            problem = {name + ": not a regular file", "using the defaults"};
            return false;
        case platform::FileRead::TooLarge:
            problem = {name + ": larger than 64 KiB, so not a settings file", "using the defaults"};
            return false;
        case platform::FileRead::Unreadable:
            break;
    }
    problem = {name + ": cannot be read", "using the defaults"};
    return false;
}

bool settingsFileExists(const platform::WideString& path) {
    std::error_code error;
    return std::filesystem::exists(toPath(path), error);
}

platform::WideString chooseSettingsFile(const platform::WideString& configPath,
                                        const std::vector<platform::WideString>& candidates) {
    if (!configPath.empty()) return configPath;
    for (const platform::WideString& candidate : candidates) {
        if (settingsFileExists(candidate)) return candidate;
    }
    return {};
}

BridgeOptions readSettings(const platform::WideString& path, std::ostream& err) {
    BridgeOptions fromFile;
    const std::string name = toUtf8(path);
    err << "Settings from " << name << '\n';
    std::string text;
    SettingsProblem problem;
    std::vector<SettingsProblem> problems;
    if (readSettingsFile(path, text, problem)) {
        applySettingsText(text, name, fromFile, problems);
    } else {
        problems.push_back(problem);
    }
    for (const SettingsProblem& p : problems) err << p.line() << '\n';
    return fromFile;
}

bool writeSettings(const BridgeOptions& options, std::ostream& out, std::ostream& err) {
    const std::string name = toUtf8(options.writeConfigPath);
    std::error_code error;
    if (std::filesystem::is_directory(toPath(options.writeConfigPath), error)) {
        err << "Could not write the settings to " << name << ": it is a directory.\n";
        return false;
    }
    if (!options.force && settingsFileExists(options.writeConfigPath)) {
        err << name << " exists; not overwritten (add --force to replace it).\n";
        return false;
    }
    const std::string text = formatSettings(options);
    std::FILE* file = platform::openFileForWriting(options.writeConfigPath);
    bool written = file != nullptr && std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (file != nullptr && std::fclose(file) != 0) written = false;
    if (!written) {
        err << "Could not write the settings to " << name << ".\n";
        return false;
    }
    out << "Settings written to " << name << '\n';
    return true;
}

}  // namespace torvane
