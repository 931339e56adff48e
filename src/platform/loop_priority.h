// "--low-latency": the loop's thread asks for a scheduling class that lets it run as soon as a
// datagram arrives, even while a game keeps every core busy. What it may get depends on the
// system and the user's rights, so each target walks a fallback chain down to "nothing" and says
// in one line what it got; a refusal is never a failure.
//
// A loop in a real-time or raised class cannot starve the machine as long as every pass ends in
// a wait: the main loop's pauses (the 4 ms pace, the wait for telemetry or the next report, the
// 1 ms spacing of passes woken by telemetry) are all waits on the system.
//
// The chains are plain functions over the few system calls they make, so that tests can run them
// on both targets over fakes; LoopPriority makes the real calls.
#pragma once

#include <string>

namespace platform {

/// The Linux calls, for the calling thread.
class PosixSchedulerCalls {
  public:
    virtual ~PosixSchedulerCalls() = default;
    /// SCHED_FIFO at priority (reset for children); false when refused.
    virtual bool setRealTime(int priority) = 0;
    /// RLIMIT_RTPRIO's soft limit: the highest real-time priority the user may take unprivileged.
    virtual int realTimeLimit() = 0;
    /// Sets the thread's nice value; false when refused.
    virtual bool setNice(int nice) = 0;
    /// The thread's nice value now.
    virtual int nice() = 0;
    /// The lowest nice value RLIMIT_NICE lets the user take unprivileged (20 minus the limit).
    virtual int niceFloor() = 0;
};

/// The Windows calls.
class WindowsSchedulerCalls {
  public:
    virtual ~WindowsSchedulerCalls() = default;
    /// The thread joins the multimedia class scheduler's "Games" task (avrt.dll, where present).
    virtual bool joinGamesTask() = 0;
    /// HIGH_PRIORITY_CLASS for the process.
    virtual bool setHighPriorityClass() = 0;
    /// THREAD_PRIORITY_HIGHEST for the thread.
    virtual bool setHighestThreadPriority() = 0;
};

inline constexpr int kRealTimePriority = 10;  // low among real-time threads: audio and IRQs win
inline constexpr int kRaisedNice = -10;

/// Real-time priority 10 (or the user's rtprio limit below it), else the highest nice up to -10
/// that the system grants, else nothing. Returns the line's text after "Low latency: ".
std::string requestPosixPriority(PosixSchedulerCalls& calls);

/// The "Games" task and the high priority class; without the task, the highest thread priority
/// instead. Returns the line's text after "Low latency: ".
std::string requestWindowsPriority(WindowsSchedulerCalls& calls);

/// Asks the system, for the calling thread, for what the chain of the target allows, and gives it
/// back on destruction. Never fails.
class LoopPriority {
  public:
    LoopPriority();
    ~LoopPriority();
    LoopPriority(const LoopPriority&) = delete;
    LoopPriority& operator=(const LoopPriority&) = delete;

    /// The whole line, "Low latency: ..." and a line feed.
    const std::string& line() const { return line_; }

  private:
    std::string line_;
    // What to give back: on Linux the thread's scheduling policy and nice value; on Windows the
    // process's priority class, the thread's priority, the "Games" task and avrt.dll. Each target
    // uses only its own.
    [[maybe_unused]] int savedPolicy_ = 0;
    [[maybe_unused]] int savedPriority_ = 0;
    [[maybe_unused]] int savedNice_ = 0;
    [[maybe_unused]] unsigned long savedClass_ = 0;
    [[maybe_unused]] void* task_ = nullptr;
    [[maybe_unused]] void* library_ = nullptr;
};

}  // namespace platform
