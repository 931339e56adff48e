#include "app/usage.h"

#include <ostream>

#include "app/setting_table.h"
#include "observe/version.h"

namespace torvane {

void printUsage(std::ostream& out) {
    printVersion(out);
    out << "Plays a driving application's telemetry (UDP 127.0.0.1:8766) as force feedback on a "
           "wheel\nand sends the wheel's input to UDP 127.0.0.1:8767 every 16 ms, until Ctrl+C.\n"
           "\nUsage: torvane-bridge [options]   (matched exactly; other arguments are ignored)\n"
           "\n";
    // The ranges and defaults come from the setting table, so the help cannot drift from them.
    for (const SettingRow& row : settingRows()) out << helpText(row);
}

void printVersion(std::ostream& out) {
    out << "torvane-bridge " << versionText() << '\n';
}

}  // namespace torvane
