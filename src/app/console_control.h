// The running flag and the console control handler: the only state shared between threads.
#pragma once

#include <atomic>
#include <chrono>

#include "platform/platform.h"

namespace torvane {

/// The process-wide running flag: true until a console event or the end of the test signal
/// clears it (by atomic exchange); never set again.
std::atomic<bool>& runningFlag();

/// Clears the running flag and reports the event handled, so the main loop shuts down in order.
/// After the events that end the process once the handler returns (closing the console, log-off,
/// system shutdown) it first waits, at most 4 seconds, for announceShutdownFinished, so that the
/// wheel's forces are stopped and the device released before the process ends.
BOOL WINAPI consoleControlHandler(DWORD event);

/// For the end of the session as the owner window hears of it: clears the running flag and
/// returns; the window's thread holds the session's end until the stop has reached the window.
void endSession();

/// Called by the main thread once everything the bridge held has been released.
void announceShutdownFinished();

/// How long after Ctrl+C the program may take to end.
inline constexpr std::chrono::milliseconds kStopDeadline{900};

/// From now on, Ctrl+C (or Ctrl+Break) ends the process with exit code 0 when the shutdown has
/// not finished within kStopDeadline: whatever hangs, a person at the wheel always has a way out.
/// The orderly stop, output that is stuck included, takes far less.
void enforceStopDeadline();

}  // namespace torvane
