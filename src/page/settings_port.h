// What the live page may see and change of the settings: the page's server asks, the program
// answers. Called on the server's threads, one call at a time.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace page {

struct SettingView {
    std::string name;     ///< the settings file's key ("gain")
    std::string help;     ///< what it does, shown as a tooltip
    std::string unit;     ///< "" for a plain number
    bool flag = false;    ///< on or off (values 0 and 1)
    bool live = false;    ///< applies at the next pass; else at the next start (not editable)
    double value = 0;     ///< in effect now
    double saved = 0;     ///< in the settings file (or the default without one)
    double fallback = 0;  ///< the default
    double lo = 0, hi = 0, step = 0;
    /// A text setting ("device", "trace") as the file writes it, in quotes; "" for the others.
    /// Text applies at the next start, so the page shows it and offers no box for it.
    std::string text, fallbackText;
    std::string lockedBy;  ///< why the page may not change it ("the command line's --gain wins")
};

class SettingsPort {
  public:
    virtual ~SettingsPort() = default;
    virtual std::vector<SettingView> settings() = 0;
    /// Hands the loop one new value, clamped to the setting's range. Returns "" or why not.
    virtual std::string change(std::string_view name, double value) = 0;
    /// Writes the settings in effect to the settings file. Returns "" or why not.
    virtual std::string save() = 0;
    /// Goes back to what the settings file says. Returns "" or why not.
    virtual std::string revert() = 0;
};

}  // namespace page
