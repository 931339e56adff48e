// A LoopClock on simulated time: reading it does not advance it, sleeping and waiting do,
// instantly. A test acts between passes through onSleep and onWait (send a datagram, clear the
// running flag...).
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>

#include "platform/loop_clock.h"

namespace fake {

class SimulatedClock final : public torvane::LoopClock {
  public:
    /// Starts away from zero, which the main loop reserves for "no telemetry yet".
    std::int64_t time = 1'000'000'000;
    int sleeps = 0;
    std::function<void(SimulatedClock&)> onSleep;

    std::int64_t now() override { return time; }
    void sleep(std::chrono::milliseconds duration) override {
        time += std::chrono::duration_cast<std::chrono::nanoseconds>(duration).count();
        ++sleeps;
        if (onSleep) onSleep(*this);
    }
    /// Called after each wait with how long it paused (0 for a deadline already passed).
    std::function<void(SimulatedClock&, std::int64_t paused)> onWait;
    bool waitUntil(std::int64_t deadline, SOCKET) override {
        const std::int64_t from = time;
        time = std::max(time, deadline);
        if (onWait) onWait(*this, time - from);
        return false;
    }
};

}  // namespace fake
