// The loop's priority on Linux: a real-time class (SCHED_FIFO) where the user may take one, else
// a raised nice value. Both apply to the calling thread alone; the threads that write the
// console and the trace keep the ordinary class, and children would not inherit it.
#include "platform/loop_priority.h"

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace platform {
namespace {

id_t thisThread() {
    return static_cast<id_t>(gettid());
}

int softLimit(int resource, int ceiling) {
    rlimit limit{};
    if (getrlimit(resource, &limit) != 0) return 0;
    if (limit.rlim_cur == RLIM_INFINITY) return ceiling;
    return static_cast<int>(std::min<rlim_t>(limit.rlim_cur, static_cast<rlim_t>(ceiling)));
}

class SystemCalls final : public PosixSchedulerCalls {
  public:
    bool setRealTime(int priority) override {
        sched_param parameters{};
        parameters.sched_priority = priority;
        return sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &parameters) == 0;
    }
    int realTimeLimit() override { return softLimit(RLIMIT_RTPRIO, 99); }
    bool setNice(int nice) override { return setpriority(PRIO_PROCESS, thisThread(), nice) == 0; }
    int nice() override {
        errno = 0;
        const int value = getpriority(PRIO_PROCESS, thisThread());
        return errno == 0 ? value : 0;
    }
    int niceFloor() override { return 20 - softLimit(RLIMIT_NICE, 40); }
};

}  // namespace

LoopPriority::LoopPriority() {
    savedPolicy_ = sched_getscheduler(0);
    sched_param parameters{};
    if (sched_getparam(0, &parameters) == 0) savedPriority_ = parameters.sched_priority;
    SystemCalls calls;
    savedNice_ = calls.nice();
    line_ = "Low latency: " + requestPosixPriority(calls) + "\n";
}

LoopPriority::~LoopPriority() {
    // Going back to an ordinary class and nice value needs no privilege.
    if (savedPolicy_ >= 0) {
        sched_param parameters{};
        parameters.sched_priority = savedPriority_;
        sched_setscheduler(0, savedPolicy_, &parameters);
    }
    setpriority(PRIO_PROCESS, thisThread(), savedNice_);
}

}  // namespace platform
