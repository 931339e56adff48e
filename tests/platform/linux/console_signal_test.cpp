// POSIX signals reach the console control handler as the matching console event, on a thread of
// their own, as Windows calls its handlers.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include "platform/platform.h"

namespace {

std::atomic<int> events{0};  // the newest event times 16, plus the calls so far

BOOL recordEvent(DWORD event) {
    events = static_cast<int>(event) * 16 + events % 16 + 1;
    return TRUE;
}

TEST(LinuxConsoleControl, SignalsBecomeConsoleEvents) {
    ASSERT_EQ(SetConsoleCtrlHandler(recordEvent, TRUE), TRUE);
    const std::pair<int, DWORD> cases[] = {
        {SIGINT, CTRL_C_EVENT}, {SIGHUP, CTRL_CLOSE_EVENT}, {SIGTERM, CTRL_SHUTDOWN_EVENT}};
    for (int calls = 1; const auto& [signalNumber, event] : cases) {
        std::raise(signalNumber);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (events % 16 < calls && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_EQ(events.load(), static_cast<int>(event) * 16 + calls++)
            << "signal " << signalNumber;
    }
    EXPECT_EQ(SetConsoleCtrlHandler(recordEvent, FALSE), TRUE);
    EXPECT_EQ(SetConsoleCtrlHandler(recordEvent, FALSE), FALSE);  // already removed
}

}  // namespace
