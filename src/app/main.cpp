// The program's entry point: the wide-character console entry, as on Windows.
#include <iostream>

#include "app/bridge.h"
#include "app/console_control.h"

extern "C" int wmain(int argc, WCHAR* argv[]) {
    SetConsoleCtrlHandler(torvane::consoleControlHandler, TRUE);
    torvane::SteadyLoopClock clock;
    const torvane::BridgeEnvironment environment{DirectInput8Create, clock, torvane::runningFlag(),
                                                 std::cout, std::cerr};
    const int code = torvane::runBridge(argc, argv, environment);
    std::cout.flush();
    torvane::announceShutdownFinished();
    return code;
}
