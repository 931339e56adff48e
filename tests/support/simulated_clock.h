// A LoopClock on simulated time: reading it does not advance it, sleeping does, instantly. A test
// can act between passes through onSleep (send a datagram, clear the running flag...).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <limits>

#include "app/loop_clock.h"

namespace fake {

class SimulatedClock final : public torvane::LoopClock {
  public:
    /// Starts away from zero, which the main loop reserves for "no telemetry yet".
    std::int64_t time = 1'000'000'000;
    int sleeps = 0;
    std::function<void(SimulatedClock&)> onSleep;
    /// Set when the code read the clock very many times without sleeping: a loop that stopped
    /// pausing would never see time pass, so the clock jumps to the end of time instead of
    /// letting it hang the suite.
    bool runaway = false;

    std::int64_t now() override {
        if (++readsSinceSleep_ > kReadLimit) {
            runaway = true;
            return std::numeric_limits<std::int64_t>::max();
        }
        return time;
    }
    void sleep(std::chrono::milliseconds duration) override {
        time += std::chrono::duration_cast<std::chrono::nanoseconds>(duration).count();
        ++sleeps;
        readsSinceSleep_ = 0;
        if (onSleep) onSleep(*this);
    }

  private:
    static constexpr int kReadLimit = 100'000;
    int readsSinceSleep_ = 0;
};

}  // namespace fake
