// The clock and the sleep of the main loop and the diagnose capture, behind one interface so that
// tests run the loops on simulated time.
#pragma once

#include <chrono>
#include <cstdint>

namespace torvane {

class LoopClock {
  public:
    virtual ~LoopClock() = default;
    /// Monotonic nanoseconds.
    virtual std::int64_t now() = 0;
    virtual void sleep(std::chrono::milliseconds duration) = 0;
};

/// The steady clock and std::this_thread::sleep_for.
class SteadyLoopClock final : public LoopClock {
  public:
    std::int64_t now() override;
    void sleep(std::chrono::milliseconds duration) override;
};

}  // namespace torvane
