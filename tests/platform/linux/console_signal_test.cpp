// POSIX signals reach the console control handler as the matching console event, on a thread of
// their own, as Windows calls its handlers.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include "platform/platform.h"

namespace {

std::atomic<int> lastEvent{-1};
std::atomic<int> calls{0};

BOOL recordEvent(DWORD event) {
    lastEvent.store(static_cast<int>(event));
    ++calls;
    return TRUE;
}

bool waitForCalls(int expected) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (calls.load() < expected && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return calls.load() >= expected;
}

TEST(LinuxConsoleControl, SignalsBecomeConsoleEvents) {
    ASSERT_EQ(SetConsoleCtrlHandler(recordEvent, TRUE), TRUE);
    const struct {
        int signalNumber;
        DWORD event;
    } cases[] = {
        {SIGINT, CTRL_C_EVENT}, {SIGHUP, CTRL_CLOSE_EVENT}, {SIGTERM, CTRL_SHUTDOWN_EVENT}};
    int expected = 0;
    for (const auto& c : cases) {
        std::raise(c.signalNumber);
        ASSERT_TRUE(waitForCalls(++expected)) << "signal " << c.signalNumber;
        EXPECT_EQ(lastEvent.load(), static_cast<int>(c.event));
    }
    EXPECT_EQ(SetConsoleCtrlHandler(recordEvent, FALSE), TRUE);
    EXPECT_EQ(SetConsoleCtrlHandler(recordEvent, FALSE), FALSE);  // already removed
}

}  // namespace
