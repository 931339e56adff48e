#include "app/console_control.h"

#include <chrono>
#include <thread>

namespace torvane {
namespace {

std::atomic<bool> shutdownFinished{false};

}  // namespace

std::atomic<bool>& runningFlag() {
    static std::atomic<bool> running{true};
    return running;
}

BOOL WINAPI consoleControlHandler(DWORD event) {
    runningFlag().exchange(false);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        // The platform ends the process as soon as this returns: hold it until the forces are
        // off. Polling an atomic keeps this free of locks the main thread might hold.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(4);
        while (!shutdownFinished.load() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return TRUE;
}

void endSession() {
    runningFlag().exchange(false);
}

void announceShutdownFinished() {
    shutdownFinished.store(true);
}

}  // namespace torvane
