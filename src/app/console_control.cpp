#include "app/console_control.h"

#include <chrono>
#include <thread>

#include "platform/streams.h"

namespace torvane {
namespace {

std::atomic<bool> shutdownFinished{false};
std::atomic<bool> deadlineEnforced{false};
std::atomic<bool> deadlineStarted{false};

// Waits until the shutdown has finished or the time is up, polling an atomic so that it holds no
// lock the main thread might need; true when it finished.
bool awaitShutdown(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!shutdownFinished.load() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return shutdownFinished.load();
}

}  // namespace

std::atomic<bool>& runningFlag() {
    static std::atomic<bool> running{true};
    return running;
}

BOOL WINAPI consoleControlHandler(DWORD event) {
    runningFlag().exchange(false);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        // The platform ends the process as soon as this returns: hold it until the forces are
        // off.
        awaitShutdown(std::chrono::seconds(4));
    } else if (deadlineEnforced.load() && !deadlineStarted.exchange(true)) {
        // Ctrl+C returns at once; a thread of its own ends a program that does not.
        std::thread([] {
            if (!awaitShutdown(kStopDeadline)) platform::endProcessNow(0);
        }).detach();
    }
    return TRUE;
}

void endSession() {
    runningFlag().exchange(false);
}

void announceShutdownFinished() {
    shutdownFinished.store(true);
}

void enforceStopDeadline() {
    deadlineEnforced.store(true);
}

}  // namespace torvane
