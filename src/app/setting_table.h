// Every setting of the program, once: its option, its key in the settings file, its kind and
// range, where it lives in BridgeOptions, whether it applies while the bridge runs, and the texts
// that explain it. The command line, the settings file (read and written), "--help", the reload
// report and the live settings all come from this table.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "app/options.h"

namespace torvane {

enum class SettingKind {
    Flag,      ///< an option without a value; true or false in the file
    Number,    ///< a decimal number from lo to hi; a value that is not keeps the one before
    Gain,      ///< a Number in the file; on the command line read leniently (readGainValue)
    Index,     ///< a whole 32-bit number
    Text,      ///< UTF-8 text, ASCII-lowercased
    Path,      ///< a file name
    TestMode,  ///< one of kTestModes, ASCII-lowercased; command line only
};

struct SettingRow {
    std::string_view option{};                  ///< "--gain"
    std::array<std::string_view, 2> aliases{};  ///< other spellings of the option ("-h", "/?")
    std::string_view key{};                     ///< in the settings file; empty: command line only
    SettingKind kind = SettingKind::Flag;
    double lo = 0.0, hi = 0.0;     ///< Number and Gain: the range
    std::string_view unit{};       ///< of a Number: "", "ms", "of full scale"
    std::string_view valueName{};  ///< in "--help": NUMBER, FILE...
    std::string_view helpLabel{};  ///< in "--help" instead of the option and value name
    /// The "--help" text; "{range}" and "{default}" are filled in, a line feed continues it under
    /// the texts' column.
    std::string_view help{};
    std::string_view meaning{};  ///< the settings file's comment above the key
    /// The value is the next argument even when that is one of the options (as these have
    /// always read it); other options count such a value as missing.
    bool takesAnyValue = false;
    std::string_view onlyWith{};  ///< an option this one does nothing without ("--write-config")
    int filePlace = 0;            ///< position in the settings file, from 1; 0 when it has no key
    void* (*field)(BridgeOptions&) = nullptr;  ///< where the value lives; its type follows the kind
};

/// The rows in the order "--help" lists them.
std::span<const SettingRow> settingRows();

/// The rows that have a key, in the settings file's order.
std::span<const SettingRow* const> fileRows();

/// The row whose option (or alias) is exactly argument; null for none.
const SettingRow* findOption(std::basic_string_view<WCHAR> argument);

/// Whether the row's value may change while the bridge runs: it lives in BridgeOptions::live.
bool appliesLive(const SettingRow& row);

/// The shortest text that reads back as the same number.
std::string showNumber(double value);

/// text as a TOML basic string: quotes and backslashes escaped, control characters as \uXXXX.
std::string tomlString(std::string_view text);

/// The row's value in options as the settings file writes it (numbers shortest, text quoted).
std::string valueText(const SettingRow& row, const BridgeOptions& options);

/// The row's value in options as a number: Number, Gain, Index, and Flag as 0 or 1.
double numberOf(const SettingRow& row, const BridgeOptions& options);

/// "a number from 0 to 2", "a whole number", "true or false", "a text in quotes".
std::string expectation(const SettingRow& row);

/// The row's "--help" lines, each ending in a line feed; empty for a row without help text.
std::string helpText(const SettingRow& row);

}  // namespace torvane
