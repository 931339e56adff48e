#include "app/usage.h"

#include <ostream>

#include "app/options.h"
#include "observe/version.h"

namespace torvane {

void printUsage(std::ostream& out) {
    // The defaults come from the options record itself, so the help cannot drift from them.
    const BridgeOptions defaults;
    printVersion(out);
    out << "Plays a driving application's telemetry (UDP 127.0.0.1:8766) as force feedback on a "
           "wheel\nand sends the wheel's input to UDP 127.0.0.1:8767 every 16 ms, until Ctrl+C.\n"
           "\nUsage: torvane-bridge [options]   (matched exactly; other arguments are ignored)\n"
           "\n"
           "  --diagnose          list the wheel's effects, then print its input for 20 s "
           "(default: off)\n"
           "  --test              play a built-in six-second test signal instead of telemetry "
           "(default: off)\n"
           "  --test-mode MODE    test signal parts: all, self, steer, road, curb, engine "
           "(default: "
        << defaults.testMode
        << ")\n"
           "  --invert            negate the aligning torque (default: off)\n"
           "  --gain NUMBER       overall force gain, 0 to 0.35 (default: "
        << defaults.gain
        << ")\n"
           "  --device-index N    choose the controller by its index in the list (default: by "
           "name)\n"
           "  --device TEXT       choose the first FFB controller whose name contains TEXT "
           "(default: "
        << defaults.nameFilter
        << ")\n"
           "  --virtual-wheel     drive the built-in virtual wheel instead of DirectInput "
           "(default: off)\n"
           "  --monitor           print a status line every 100 ms on the error stream (default: "
           "off)\n"
           "  --trace FILE        write what was sent to the wheel, one CSV line per pass "
           "(default: no trace)\n"
           "  --low-latency       wake on telemetry instead of sleeping 4 ms per pass, at a "
           "raised\n"
           "                      priority, sending the wheel only what changed (default: off)\n"
           "  --steering NUMBER   strength of the steering force, 0 to 2 (default: "
        << defaults.tuning.steering
        << ")\n"
           "  --engine NUMBER     strength of the engine vibration, 0 to 2 (default: "
        << defaults.tuning.engine
        << ")\n"
           "  --road NUMBER       strength of the road texture, 0 to 2 (default: "
        << defaults.tuning.road
        << ")\n"
           "  --curb NUMBER       strength of the curb rumble, 0 to 2 (default: "
        << defaults.tuning.curb
        << ")\n"
           "  --damper NUMBER     strength of the damper, 0 to 2 (default: "
        << defaults.tuning.damper
        << ")\n"
           "  --min-force NUMBER  raise weak steering forces toward this, 0 to 0.2 of full scale "
           "(default: "
        << defaults.tuning.minForce
        << "):\n"
           "                      a force plays 4 times itself, at most this, never less than "
           "itself\n"
           "  --smooth MS         smooth the steering force over MS ms, 0 to 50, adding about MS "
           "of lag\n"
           "                      (default: "
        << defaults.tuning.smoothMs
        << ", off)\n"
           "  --wait              with no usable wheel, wait for one instead of ending (default: "
           "off)\n"
           "  --config FILE       read the settings from FILE (default: torvane-bridge.toml beside "
           "the\n"
           "                      program, else the user's config.toml); the command line wins\n"
           "  --write-config FILE write the settings in effect to FILE and end (with --force: "
           "even\n"
           "                      over an existing file)\n"
           "  -h, --help, /?      print this help and end (wins over --version)\n"
           "  --version           print the version and end\n";
}

void printVersion(std::ostream& out) {
    out << "torvane-bridge " << versionText() << '\n';
}

}  // namespace torvane
