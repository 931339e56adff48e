// What the settings file and the console need to know about the process's surroundings: where
// the executable lies, the environment, and whether the console window belongs to this process
// alone (a program started from Explorer, whose window closes as soon as it ends).
#pragma once

#include <string>

#include "platform/platform.h"

namespace platform {

#ifdef _WIN32
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif

/// The folder that holds the running executable, ending in its separator; empty when unknown.
WideString executableFolder();

/// The value of the environment variable name; empty when it is unset.
WideString environmentVariable(const WCHAR* name);

/// How many processes share this process's console: 1 when the console was made for this
/// process alone. 0 where there is no console or no such notion (every system but Windows).
unsigned consoleProcessCount();

/// Whether standard input is a console (and not a file, a pipe or nothing).
bool standardInputIsConsole();

/// Where the system's DirectInput looked for controllers and what kept any from it, with where to
/// read on, as one line for a run that found no wheel; empty where the system has nothing to add
/// (Windows: DirectInput lists what its drivers present).
std::string noControllerHint();

}  // namespace platform
