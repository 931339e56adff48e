// The fallback chains of "--low-latency"'s priority request over fakes of their system calls:
// always one answer, whatever the system refuses.
#include "platform/loop_priority.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace platform {
namespace {

struct FakePosix final : PosixSchedulerCalls {
    int realTimeMost = 0;  // the highest real-time priority granted; 0: none
    int rtprio = 0;
    int niceMost = 0;  // the lowest nice value granted
    int floor = 20;
    int current = 0;
    std::vector<std::string> calls;

    bool setRealTime(int priority) override {
        calls.push_back("rt " + std::to_string(priority));
        return priority <= realTimeMost;
    }
    int realTimeLimit() override { return rtprio; }
    bool setNice(int value) override {
        calls.push_back("nice " + std::to_string(value));
        if (value < niceMost) return false;
        current = value;
        return true;
    }
    int nice() override { return current; }
    int niceFloor() override { return floor; }
};

TEST(LoopPriority, LinuxTakesRealTimeElseNiceElseNothing) {
    const struct {
        const char* what;
        int realTimeMost, rtprio, niceMost, floor, current;
        const char* line;
        std::vector<std::string> calls;
    } cases[] = {
        {"root or CAP_SYS_NICE", 99, 0, -20, 20, 0, "real-time priority 10", {"rt 10"}},
        {"an rtprio limit of 5", 5, 5, 0, 20, 0, "real-time priority 5", {"rt 10", "rt 5"}},
        {"an rtprio limit of 99 yet refused",
         0,
         99,
         -20,
         20,
         0,
         "nice -10",
         {"rt 10", "rt 9", "nice -10"}},
        {"a nice limit of 25", 0, 0, -5, -5, 0, "nice -5", {"rt 10", "nice -10", "nice -5"}},
        {"already at its nice floor", 0, 0, -5, -5, -5, "nice -5", {"rt 10", "nice -10"}},
        {"an unprivileged user",
         0,
         0,
         0,
         20,
         0,
         "normal priority (grant CAP_SYS_NICE or an rtprio limit for real-time)",
         {"rt 10", "nice -10"}},
    };
    for (const auto& c : cases) {
        FakePosix fake;
        fake.realTimeMost = c.realTimeMost;
        fake.rtprio = c.rtprio;
        fake.niceMost = c.niceMost;
        fake.floor = c.floor;
        fake.current = c.current;
        EXPECT_EQ(requestPosixPriority(fake), c.line) << c.what;
        EXPECT_EQ(fake.calls, c.calls) << c.what;
    }
}

struct FakeWindows final : WindowsSchedulerCalls {
    bool games = false, high = false, highest = false;
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
        FakeWindows fake;
        fake.games = c.games;
        fake.high = c.high;
        fake.highest = c.highest;
        EXPECT_EQ(requestWindowsPriority(fake), c.line);
    }
}

}  // namespace
}  // namespace platform
