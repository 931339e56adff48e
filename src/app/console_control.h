// The running flag and the console control handler: the only state shared between threads.
#pragma once

#include <atomic>

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

}  // namespace torvane
