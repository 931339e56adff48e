// The pass timer over POSIX: the kernel's timers already keep a 4 ms sleep to some tens of
// microseconds, so there is nothing to hold, and the wait is a ppoll on the socket.
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <thread>

#include "platform/pass_timer.h"

namespace platform {

PassTimer::PassTimer(Mode) {}

PassTimer::~PassTimer() = default;

bool PassTimer::highResolution() const {
    return true;
}

void PassTimer::sleep(std::chrono::nanoseconds duration) {
    std::this_thread::sleep_for(duration);
}

bool PassTimer::waitReadable(SOCKET socket, std::chrono::nanoseconds timeout) {
    const std::int64_t ns = std::max<std::int64_t>(timeout.count(), 0);
    if (socket == INVALID_SOCKET) {
        sleep(std::chrono::nanoseconds(ns));
        return false;
    }
    const timespec remaining{static_cast<std::time_t>(ns / 1'000'000'000),
                             static_cast<long>(ns % 1'000'000'000)};
    pollfd watched{static_cast<int>(socket), POLLIN, 0};
    const int ready = ppoll(&watched, 1, &remaining, nullptr);
    // A signal ends the wait early, which costs one early pass; any other failure must still
    // pause, or the loop would spin. An error state on the socket counts as readable: the pass
    // after it comes no sooner than the loop allows.
    if (ready < 0 && errno != EINTR) sleep(std::chrono::nanoseconds(ns));
    return ready > 0;
}

}  // namespace platform
