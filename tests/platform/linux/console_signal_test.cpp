// POSIX signals reach the console control handler as the matching console event, on a thread of
// their own, as Windows calls its handlers; after the close and shutdown events the process ends,
// as Windows ends it. Each signal goes to a child process of its own.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "platform/platform.h"

namespace {

int eventPipe = -1;

BOOL recordEvent(DWORD event) {
    const auto byte = static_cast<unsigned char>(event);
    return ::write(eventPipe, &byte, 1) == 1 ? TRUE : FALSE;
}

TEST(LinuxConsoleControl, SignalsBecomeConsoleEventsAndCloseAndShutdownEndTheProcess) {
    constexpr int kKeptRunning = 42;
    const struct {
        int signalNumber;
        DWORD event;
        bool ends;
    } cases[] = {{SIGINT, CTRL_C_EVENT, false},
                 {SIGHUP, CTRL_CLOSE_EVENT, true},
                 {SIGTERM, CTRL_SHUTDOWN_EVENT, true}};
    for (const auto& c : cases) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            eventPipe = fds[1];
            if (SetConsoleCtrlHandler(recordEvent, TRUE) != TRUE) ::_exit(1);
            std::raise(c.signalNumber);
            std::this_thread::sleep_for(std::chrono::seconds(1));
            ::_exit(kKeptRunning);
        }
        ::close(fds[1]);
        unsigned char event = 0xFF;
        EXPECT_EQ(::read(fds[0], &event, 1), 1) << "signal " << c.signalNumber;
        EXPECT_EQ(event, c.event);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        if (c.ends) {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signalNumber) << status;
        } else {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kKeptRunning) << status;
        }
        ::close(fds[0]);
    }
}

}  // namespace
