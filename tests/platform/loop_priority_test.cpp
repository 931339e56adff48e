// The fallback chains of "--low-latency"'s priority request over fakes of their system calls:
// always one answer, whatever the system refuses.
#include "platform/loop_priority.h"

#include <gtest/gtest.h>

#include <utility>

namespace platform {
namespace {

// What the system grants. Linux: the highest real-time priority (0: none), the rtprio limit, the
// lowest nice value, RLIMIT_NICE's floor and the thread's nice value. Windows: the Games task,
// the high priority class, the highest thread priority.
struct Grants {
    int realTime = 0, rtprioLimit = 0, lowestNice = 0, floor = 20, nice = 0;
    int games = 0, highClass = 0, thread = 0;
};

struct Fake final : PosixSchedulerCalls, WindowsSchedulerCalls {
    explicit Fake(Grants grants) : g(grants) {}
    Grants g;
    bool setRealTime(int priority) override { return priority <= g.realTime; }
    int realTimeLimit() override { return g.rtprioLimit; }
    bool setNice(int value) override {
        if (value < g.lowestNice) return false;
        g.nice = value;
        return true;
    }
    int nice() override { return g.nice; }
    int niceFloor() override { return g.floor; }
    bool joinGamesTask() override { return g.games != 0; }
    bool setHighPriorityClass() override { return g.highClass != 0; }
    bool setHighestThreadPriority() override { return g.thread != 0; }
};

TEST(LoopPriority, TakesTheBestTheSystemGrantsAndSaysWhich) {
    const std::pair<Grants, const char*> posix[] = {
        {{.realTime = 99, .lowestNice = -20}, "real-time priority 10"},  // root or CAP_SYS_NICE
        {{.realTime = 5, .rtprioLimit = 5}, "real-time priority 5"},
        {{.rtprioLimit = 99, .lowestNice = -20}, "nice -10"},      // a limit, yet refused
        {{.lowestNice = -5, .floor = -5}, "nice -5"},              // RLIMIT_NICE 25
        {{.lowestNice = -5, .floor = -5, .nice = -5}, "nice -5"},  // already there
        {{}, "normal priority (grant CAP_SYS_NICE or an rtprio limit for real-time)"},
    };
    for (const auto& [grants, line] : posix) {
        Fake fake(grants);
        EXPECT_EQ(requestPosixPriority(fake), line);
    }
    const std::pair<Grants, const char*> windows[] = {
        {{.games = 1, .highClass = 1, .thread = 1}, "multimedia class Games, high priority class"},
        {{.games = 1, .thread = 1}, "multimedia class Games"},
        {{.highClass = 1, .thread = 1}, "highest thread priority, high priority class"},
        {{.highClass = 1}, "high priority class"},
        {{}, "normal priority"},
    };
    for (const auto& [grants, line] : windows) {
        Fake fake(grants);
        EXPECT_EQ(requestWindowsPriority(fake), line);
    }
}

}  // namespace
}  // namespace platform
