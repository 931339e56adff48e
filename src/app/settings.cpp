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

#include "app/setting_table.h"
#include "platform/streams.h"
#include "platform/text.h"

// toml++ as headers alone, reporting parse errors as values: the program throws no exceptions of
// its own, and a settings file is hostile input like any other.
#define TOML_HEADER_ONLY 1
#define TOML_EXCEPTIONS 0
#include <toml++/toml.h>

namespace torvane {
namespace {

constexpr double kIndexLo = std::numeric_limits<std::int32_t>::min();
constexpr double kIndexHi = std::numeric_limits<std::int32_t>::max();

// Sets the row's field from node when the node has the right type and range.
bool assign(const SettingRow& row, const toml::node& node, BridgeOptions& options) {
    void* at = row.field(options);
    switch (row.kind) {
        case SettingKind::Number:
        case SettingKind::Gain: {
            double value = 0.0;
            if (const auto* integer = node.as_integer()) {
                value = static_cast<double>(integer->get());
            } else if (const auto* floating = node.as_floating_point()) {
                value = floating->get();
            } else {
                return false;
            }
            // NaN and the infinities fail here too.
            if (!(value >= row.lo && value <= row.hi)) return false;
            *static_cast<double*>(at) = value + 0.0;  // -0 counts as 0
            return true;
        }
        case SettingKind::Index: {
            const auto* integer = node.as_integer();
            if (integer == nullptr || integer->get() < kIndexLo || integer->get() > kIndexHi)
                return false;
            *static_cast<std::int32_t*>(at) = static_cast<std::int32_t>(integer->get());
            return true;
        }
        case SettingKind::Flag: {
            const auto* flag = node.as_boolean();
            if (flag == nullptr) return false;
            *static_cast<bool*>(at) = flag->get();
            return true;
        }
        case SettingKind::Text:
        case SettingKind::TestMode: {
            const auto* text = node.as_string();
            if (text == nullptr) return false;
            *static_cast<std::string*>(at) = toLowerAscii(text->get());
            return true;
        }
        case SettingKind::Path: {
            const auto* text = node.as_string();
            if (text == nullptr) return false;
            *static_cast<platform::WideString*>(at) = toWide(text->get());
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
        const SettingRow* setting = nullptr;
        for (const SettingRow* row : fileRows()) {
            if (row->key == key.str()) setting = row;
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
                              "using the default " + valueText(*setting, options)}});
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
    for (const SettingRow* row : fileRows()) {
        text += "\n# " + std::string(row->meaning);
        if (row->kind == SettingKind::Number || row->kind == SettingKind::Gain)
            text += ", " + showNumber(row->lo) + " to " + showNumber(row->hi);
        text += " (default " + valueText(*row, defaults) + ")\n";
        text += std::string(row->key) + " = " + valueText(*row, options) + "\n";
    }
    return text;
}

std::string describeChanges(const BridgeOptions& before, const BridgeOptions& after,
                            const CommandLine& commandLine) {
    std::string changes;
    for (const SettingRow* row : fileRows()) {
        const std::string old = valueText(*row, before);
        const std::string now = valueText(*row, after);
        if (old == now) continue;
        if (!changes.empty()) changes += ", ";
        changes += std::string(row->key) + " " + old + " -> " + now;
        if (commandLine.gave(row->option)) {
            changes += " (the command line's " + std::string(row->option) + " wins)";
        } else if (!appliesLive(*row)) {
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
