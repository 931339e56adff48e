// The bridge's lifecycle: start-up in a fixed order, the diagnose mode or the main loop, and
// shutdown, with one exit code per start-up step that can fail.
#pragma once

#include <atomic>
#include <iosfwd>
#include <string>
#include <vector>

#include "controller/discovery.h"
#include "observe/rim_probe.h"
#include "platform/loop_clock.h"
#include "platform/platform.h"
#include "wheel/direct_input.h"

namespace torvane {

/// Exit codes: which start-up step ended the program.
enum ExitCode : int {
    kExitOk = 0,
    kExitSettingsNotWritten = 1,  ///< "--write-config" could not, or would not, write its file
    kExitNoDirectInput = 2,
    kExitNoController = 3,
    kExitCannotOpen = 4,
    kExitCannotAcquire = 5,
    kExitNoNetwork = 6,
    kExitCannotBind = 7,
};

/// What the lifecycle takes from its surroundings: the program passes DirectInput8Create, the
/// steady clock, the process's running flag and the standard streams; tests pass their own.
struct BridgeEnvironment {
    DirectInputCreateFunction createDirectInput;
    LoopClock& clock;
    std::atomic<bool>& running;
    std::ostream& out;
    std::ostream& err;
    /// Where the lines written while the loop runs go (the monitor, the effects' retry lines, the
    /// trace's failure): a stream that never makes a pass wait. err when null.
    std::ostream* loopErr = nullptr;
    /// The built-in virtual wheel that "--virtual-wheel" drives instead of the system's
    /// DirectInput, with what "--monitor" shows of its rim; null where there is none.
    wheel::DriverSource* virtualWheel = nullptr;
    observe::RimProbe* rimProbe = nullptr;
    /// Where the virtual wheel's devices record their DirectInput calls; null for nowhere.
    wheel::Journal* journal = nullptr;
    /// Where a settings file is looked for when "--config" names none, in order; empty for
    /// nowhere (the program passes settingsCandidates of its surroundings).
    std::vector<platform::WideString> settingsCandidates{};
    /// One more line after the system's DirectInput found no force-feedback controller: where it
    /// looked and where to read on (the program passes platform::noControllerHint); null or
    /// empty for none.
    std::string (*noControllerHint)() = nullptr;
};

/// Runs the whole program after the console control handler is installed: the command line (a
/// request for help or the version ends the run here), COM, the controller, then the diagnose
/// mode or the bridge until the running flag is cleared.
/// Everything created is released in reverse order on every way out. Returns the exit code.
int runBridge(int argc, const WCHAR* const* argv, const BridgeEnvironment& environment);

/// Whether the program should wait for Enter before it ends, so that its console window does not
/// close before its message can be read: only when the console was made for this process alone
/// (started from Explorer), standard input is that console, and start-up failed (codes 2 to 7).
bool shouldPauseBeforeClosing(unsigned consoleProcesses, bool inputIsConsole, int exitCode);

}  // namespace torvane
