#include "platform/loop_priority.h"

#include <algorithm>

namespace platform {

std::string requestPosixPriority(PosixSchedulerCalls& calls) {
    // Root and CAP_SYS_NICE may take any real-time priority; others up to their rtprio limit.
    int realTime = kRealTimePriority;
    if (!calls.setRealTime(realTime)) {
        realTime = std::min(calls.realTimeLimit(), kRealTimePriority - 1);
        if (realTime < 1 || !calls.setRealTime(realTime)) realTime = 0;
    }
    if (realTime > 0) return "real-time priority " + std::to_string(realTime);

    // Without privilege a thread may lower its nice value only down to its RLIMIT_NICE floor.
    int nice = kRaisedNice;
    if (!calls.setNice(nice)) {
        const int current = calls.nice();
        nice = std::max(calls.niceFloor(), kRaisedNice);
        if (nice >= current || !calls.setNice(nice)) nice = current;
    }
    if (nice < 0) return "nice " + std::to_string(nice);
    return "normal priority (grant CAP_SYS_NICE or an rtprio limit for real-time)";
}

std::string requestWindowsPriority(WindowsSchedulerCalls& calls) {
    std::string got;
    if (calls.joinGamesTask()) {
        got = "multimedia class Games";
    } else if (calls.setHighestThreadPriority()) {
        got = "highest thread priority";
    }
    if (calls.setHighPriorityClass())
        got += got.empty() ? "high priority class" : ", high priority class";
    return got.empty() ? "normal priority" : got;
}

}  // namespace platform
