// The settings file: the options a person wants on every start, as TOML keys named like the
// options without their dashes ("gain = 0.2", "min-force = 0.03"). A file can never make start-up
// fail or a force exceed the hard maximum: what cannot be used is named on one line each and
// keeps its default. The command line wins over the file.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "app/options.h"
#include "platform/platform.h"

namespace torvane {

/// Files larger than this are not settings files: they are refused without being read whole.
inline constexpr std::size_t kMaxSettingsBytes = 64 * 1024;

/// Something in a settings file that could not be used: what and where ("config.toml:3: gain
/// must be a number from 0 to 0.35"), and what start-up does instead ("using the default 0.1").
struct SettingsProblem {
    std::string text;
    std::string fallback;
    /// An unknown key: skipped, and the rest of the file still applies when it is read again.
    bool unknownKey = false;
    /// The line start-up prints: "TEXT; FALLBACK."
    std::string line() const { return text + "; " + fallback + "."; }
};

/// Applies the settings of a TOML document onto options, which hold the defaults. name is how
/// the messages call the file. Every key that cannot be used (unknown, wrong type, out of range)
/// leaves its field unchanged and adds a problem, in the file's order. A document that cannot be
/// parsed at all (bad syntax, not UTF-8, a key given twice) changes nothing and adds one.
/// Returns whether the document was read without any problem.
bool applySettingsText(std::string_view text, std::string_view name, BridgeOptions& options,
                       std::vector<SettingsProblem>& problems);

/// The settings in options as a TOML file that applySettingsText reads back to the same values:
/// every key with a comment giving its meaning, range and default.
std::string formatSettings(const BridgeOptions& options);

/// For each setting whose value differs between before and after: "gain 0.1 -> 0.2", joined by
/// ", ". A setting that only applies at start gets " (after a restart)"; one that the command
/// line gave gets " (the command line's --gain wins)". Empty when nothing differs.
std::string describeChanges(const BridgeOptions& before, const BridgeOptions& after,
                            const CommandLine& commandLine);

/// Where the settings file is looked for when "--config" is not given, in order: the executable's
/// folder (which ends in its separator), then the user's configuration folder: on Windows
/// APPDATA\torvane-bridge\config.toml, elsewhere $XDG_CONFIG_HOME/torvane-bridge/config.toml,
/// or HOME/.config/torvane-bridge/config.toml when XDG_CONFIG_HOME is unset or not absolute.
/// Unknown folders (empty variables) are left out.
std::vector<platform::WideString> settingsCandidates(const platform::WideString& executableFolder,
                                                     bool windows,
                                                     const platform::WideString& appData,
                                                     const platform::WideString& xdgConfigHome,
                                                     const platform::WideString& home);

/// The file's text, or false with the problem when it cannot be read, is not a regular file (read
/// without waiting on a FIFO) or exceeds kMaxSettingsBytes.
bool readSettingsFile(const platform::WideString& path, std::string& text,
                      SettingsProblem& problem);

/// The settings file to read: configPath ("--config") when given, else the first of the
/// candidates that exists; empty for none.
platform::WideString chooseSettingsFile(const platform::WideString& configPath,
                                        const std::vector<platform::WideString>& candidates);

/// The defaults with the file at path applied; writes "Settings from PATH" and a line for each
/// problem on err.
BridgeOptions readSettings(const platform::WideString& path, std::ostream& err);

/// "--write-config": formatSettings(options) into options.writeConfigPath, unless a directory is
/// there, or a file and "--force" was not given. Says on out or err what it did; true when written.
bool writeSettings(const BridgeOptions& options, std::ostream& out, std::ostream& err);

/// Whether a file (or anything else) exists at path.
bool settingsFileExists(const platform::WideString& path);

}  // namespace torvane
