// A LoopClock on simulated time: reading it does not advance it, sleeping and waiting do,
// instantly. A test can act between passes through onSleep and onWait (send a datagram, clear the
// running flag...), and have datagrams "arrive" at given times to end waits early.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <vector>

#include "platform/loop_clock.h"

namespace fake {

class SimulatedClock final : public torvane::LoopClock {
  public:
    /// Starts away from zero, which the main loop reserves for "no telemetry yet".
    std::int64_t time = 1'000'000'000;
    int sleeps = 0;
    int waits = 0;
    std::vector<std::int64_t> readings;  // every value now() returned
    std::function<void(SimulatedClock&)> onSleep;
    std::function<void(SimulatedClock&)> onWait;
    /// Arrival times of datagrams on a watched socket, ascending. A wait takes the ones up to the
    /// current time as read by the pass that just ran, then ends at the next one if it comes
    /// before its deadline.
    std::deque<std::int64_t> arrivals;
    /// Set when the code read the clock very many times without time passing: a loop that stopped
    /// pausing, or kept waiting until now, would never see time pass, so the clock jumps to the
    /// end of time instead of letting it hang the suite.
    bool runaway = false;

    std::int64_t now() override {
        if (++readsSincePause_ > kReadLimit) {
            runaway = true;
            return std::numeric_limits<std::int64_t>::max();
        }
        readings.push_back(time);
        return time;
    }
    void sleep(std::chrono::milliseconds duration) override {
        time += std::chrono::duration_cast<std::chrono::nanoseconds>(duration).count();
        ++sleeps;
        readsSincePause_ = 0;
        if (onSleep) onSleep(*this);
    }
    bool waitUntil(std::int64_t deadline, SOCKET socket) override {
        ++waits;
        bool datagram = false;
        if (socket != INVALID_SOCKET) {
            while (!arrivals.empty() && arrivals.front() <= time) arrivals.pop_front();
            datagram = !arrivals.empty() && arrivals.front() < deadline;
        }
        const std::int64_t before = time;
        time = std::max(time, datagram ? arrivals.front() : deadline);
        if (time > before) readsSincePause_ = 0;
        if (onWait) onWait(*this);
        return datagram;
    }

  private:
    static constexpr int kReadLimit = 100'000;
    int readsSincePause_ = 0;
};

}  // namespace fake
