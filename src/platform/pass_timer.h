// The main loop's pauses: a sleep, and a wait that a datagram on the telemetry socket ends early.
// One implementation per target, chosen at link time: platform/windows/pass_timer.cpp and
// platform/linux/pass_timer.cpp.
#pragma once

#include <chrono>
#include <memory>

#include "platform/platform.h"

namespace platform {

class PassTimer {
  public:
    enum class Mode {
        HighResolution,  ///< the most precise timer the platform offers
        SystemTick,      ///< behave as where the platform refuses it (lets tests take that path)
    };

    explicit PassTimer(Mode mode = Mode::HighResolution);
    ~PassTimer();
    PassTimer(const PassTimer&) = delete;
    PassTimer& operator=(const PassTimer&) = delete;

    /// True when a pause lasts its duration to a fraction of a millisecond. False only on Windows
    /// without the high-resolution waitable timer (before Windows 10 1803, or in SystemTick mode):
    /// there a pause is rounded up to the system timer tick, 15.625 ms by default.
    bool highResolution() const;

    void sleep(std::chrono::nanoseconds duration);

    /// Returns true as soon as a datagram is waiting on socket (it is not read), false once
    /// timeout has passed; a timeout of zero or less only looks. With INVALID_SOCKET, a sleep.
    /// The timer stays tied to the last socket it watched (on Windows through an event, which
    /// also makes the socket non-blocking), so that socket must be closed before the timer ends.
    bool waitReadable(SOCKET socket, std::chrono::nanoseconds timeout);

  private:
#ifdef _WIN32
    struct HandleCloser {
        void operator()(HANDLE handle) const;
    };
    using OwnedHandle = std::unique_ptr<void, HandleCloser>;

    /// Ties socketEvent_ to socket's FD_READ unless it already is; false if Winsock refused.
    bool watch(SOCKET socket);
    /// Waits for the first of count handles (handles has room for one more: the timer) or for
    /// timeout; the wait function's result, WAIT_TIMEOUT when the time has passed.
    DWORD waitFor(HANDLE* handles, DWORD count, std::chrono::nanoseconds timeout);

    OwnedHandle timer_;        ///< the high-resolution waitable timer; empty without one
    OwnedHandle socketEvent_;  ///< manual-reset event that Winsock sets on FD_READ
    SOCKET watchedSocket_ = INVALID_SOCKET;
#endif
};

}  // namespace platform
