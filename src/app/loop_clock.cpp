#include "app/loop_clock.h"

#include <thread>

namespace torvane {

std::int64_t SteadyLoopClock::now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SteadyLoopClock::sleep(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

}  // namespace torvane
