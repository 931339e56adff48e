// The clock and the pauses of the main loop and the diagnose capture, behind one interface so that
// tests run the loops on simulated time.
#pragma once

#include <chrono>
#include <cstdint>

#include "platform/pass_timer.h"
#include "platform/platform.h"

namespace torvane {

class LoopClock {
  public:
    virtual ~LoopClock() = default;
    /// Monotonic nanoseconds.
    virtual std::int64_t now() = 0;
    virtual void sleep(std::chrono::milliseconds duration) = 0;
    /// Waits until the clock reaches deadline (a now() reading) or a datagram is waiting on
    /// socket, whichever comes first; true for a datagram, which is left for the pass to read.
    /// With INVALID_SOCKET only the clock ends the wait.
    virtual bool waitUntil(std::int64_t deadline, SOCKET socket) = 0;
    /// Whether pauses end on a coarse system tick (about 15.6 ms) rather than on time.
    virtual bool coarse() const { return false; }
};

/// The steady clock, and the platform's pass timer for the pauses.
class SteadyLoopClock final : public LoopClock {
  public:
    explicit SteadyLoopClock(
        platform::PassTimer::Mode mode = platform::PassTimer::Mode::HighResolution)
        : timer_(mode) {}

    std::int64_t now() override;
    void sleep(std::chrono::milliseconds duration) override;
    bool waitUntil(std::int64_t deadline, SOCKET socket) override;
    bool coarse() const override { return !timer_.highResolution(); }

  private:
    platform::PassTimer timer_;
};

}  // namespace torvane
