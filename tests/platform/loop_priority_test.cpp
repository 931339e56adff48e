// The fallback chains of "--low-latency"'s priority request over fakes of their system calls:
// always one answer, whatever the system refuses.
#include "platform/loop_priority.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace platform {
namespace {

// What the fake system grants: the highest real-time priority (0: none), the rtprio limit, the
// lowest nice value, RLIMIT_NICE's floor and the thread's nice value.
struct Grants {
    int realTimeMost, rtprio, niceMost, floor, current;
};

struct FakePosix final : PosixSchedulerCalls {
    explicit FakePosix(Grants grants) : g(grants) {}
    Grants g;
    std::vector<std::string> calls;

    bool setRealTime(int priority) override {
        calls.push_back("rt " + std::to_string(priority));
        return priority <= g.realTimeMost;
    }
    int realTimeLimit() override { return g.rtprio; }
    bool setNice(int value) override {
        calls.push_back("nice " + std::to_string(value));
        if (value < g.niceMost) return false;
        g.current = value;
        return true;
    }
    int nice() override { return g.current; }
    int niceFloor() override { return g.floor; }
};

TEST(LoopPriority, LinuxTakesRealTimeElseNiceElseNothing) {
    const struct {
        const char* what;
        Grants grants;
        const char* line;
        std::vector<std::string> calls;
    } cases[] = {
        {"root or CAP_SYS_NICE", {99, 0, -20, 20, 0}, "real-time priority 10", {"rt 10"}},
        {"an rtprio limit of 5", {5, 5, 0, 20, 0}, "real-time priority 5", {"rt 10", "rt 5"}},
        {"an rtprio limit of 99 yet refused",
         {0, 99, -20, 20, 0},
         "nice -10",
         {"rt 10", "rt 9", "nice -10"}},
        {"a nice limit of 25", {0, 0, -5, -5, 0}, "nice -5", {"rt 10", "nice -10", "nice -5"}},
        {"already at its nice floor", {0, 0, -5, -5, -5}, "nice -5", {"rt 10", "nice -10"}},
        {"an unprivileged user",
         {0, 0, 0, 20, 0},
         "normal priority (grant CAP_SYS_NICE or an rtprio limit for real-time)",
         {"rt 10", "nice -10"}},
    };
    for (const auto& c : cases) {
        FakePosix fake(c.grants);
        EXPECT_EQ(requestPosixPriority(fake), c.line) << c.what;
        EXPECT_EQ(fake.calls, c.calls) << c.what;
    }
}

struct FakeWindows final : WindowsSchedulerCalls {
    FakeWindows(bool g, bool h, bool t) : games(g), high(h), highest(t) {}
    bool games, high, highest;
    bool joinGamesTask() override { return games; }
    bool setHighPriorityClass() override { return high; }
    bool setHighestThreadPriority() override { return highest; }
};

TEST(LoopPriority, WindowsJoinsTheGamesTaskElseRaisesTheThread) {
    const struct {
        bool games, high, highest;
        const char* line;
    } cases[] = {
        {true, true, true, "multimedia class Games, high priority class"},
        {true, false, true, "multimedia class Games"},
        {false, true, true, "highest thread priority, high priority class"},
        {false, true, false, "high priority class"},
        {false, false, true, "highest thread priority"},
        {false, false, false, "normal priority"},
    };
    for (const auto& c : cases) {
        FakeWindows fake(c.games, c.high, c.highest);
        EXPECT_EQ(requestWindowsPriority(fake), c.line);
    }
}

}  // namespace
}  // namespace platform
