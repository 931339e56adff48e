// Settings as the command line gives them: "--option=value" for each one off its default.
#pragma once

#include <string>

#include "app/setting_table.h"

namespace fake {

inline std::string changedSettings(const torvane::BridgeOptions& options) {
    std::string shown;
    for (const torvane::SettingRow& row : torvane::settingRows())
        if (valueText(row, options) != valueText(row, {}))
            shown += (shown.empty() ? "--" : " --") + std::string(row.option.substr(2)) + "=" +
                     valueText(row, options);
    return shown;
}

}  // namespace fake
