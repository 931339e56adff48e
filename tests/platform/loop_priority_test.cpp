// The fallback chains of "--low-latency"'s priority request over fakes of their system calls:
// always one answer, whatever the system refuses.
#include "platform/loop_priority.h"

#include <gtest/gtest.h>

#include <array>
#include <utility>

namespace platform {
namespace {

// What the system grants. Linux: the highest real-time priority (0: none), the rtprio limit, the
// lowest nice value, RLIMIT_NICE's floor and the thread's nice value. Windows: the Games task,
// the high priority class, the highest thread priority.
struct Fake final : PosixSchedulerCalls, WindowsSchedulerCalls {
    explicit Fake(std::array<int, 5> grants) : g(grants) {}
    std::array<int, 5> g;
    bool setRealTime(int priority) override { return priority <= g[0]; }
    int realTimeLimit() override { return g[1]; }
    bool setNice(int value) override { return value >= g[2] && (g[4] = value, true); }
    int nice() override { return g[4]; }
    int niceFloor() override { return g[3]; }
    bool joinGamesTask() override { return g[0] != 0; }
    bool setHighPriorityClass() override { return g[1] != 0; }
    bool setHighestThreadPriority() override { return g[2] != 0; }
};

TEST(LoopPriority, TakesTheBestTheSystemGrantsAndSaysWhich) {
    const std::pair<std::array<int, 5>, const char*> posix[] = {
        // clang-format off
        {{99, 0, -20, 20, 0}, "real-time priority 10"},  // root or CAP_SYS_NICE
        {{5, 5, 0, 20, 0}, "real-time priority 5"},      // an rtprio limit of 5
        {{0, 99, -20, 20, 0}, "nice -10"},               // a limit, yet refused
        {{0, 0, -5, -5, 0}, "nice -5"},                  // RLIMIT_NICE 25
        {{0, 0, -5, -5, -5}, "nice -5"},                 // already there
        {{0, 0, 0, 20, 0}, "normal priority (grant CAP_SYS_NICE or an rtprio limit for real-time)"},
        // clang-format on
    };
    for (const auto& [grants, line] : posix) {
        Fake fake(grants);
        EXPECT_EQ(requestPosixPriority(fake), line);
    }
    const std::pair<std::array<int, 5>, const char*> windows[] = {
        // clang-format off
        {{1, 1, 1}, "multimedia class Games, high priority class"},
        {{1, 0, 1}, "multimedia class Games"},
        {{0, 1, 1}, "highest thread priority, high priority class"},
        {{0, 1, 0}, "high priority class"},
        {{0, 0, 0}, "normal priority"},
        // clang-format on
    };
    for (const auto& [grants, line] : windows) {
        Fake fake(grants);
        EXPECT_EQ(requestWindowsPriority(fake), line);
    }
}

}  // namespace
}  // namespace platform
