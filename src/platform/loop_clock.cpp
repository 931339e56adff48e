#include "platform/loop_clock.h"

namespace torvane {

std::int64_t SteadyLoopClock::now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SteadyLoopClock::sleep(std::chrono::milliseconds duration) {
    timer_.sleep(duration);
}

bool SteadyLoopClock::waitUntil(std::int64_t deadline, SOCKET socket) {
    return timer_.waitReadable(socket, std::chrono::nanoseconds(deadline - now()));
}

}  // namespace torvane
