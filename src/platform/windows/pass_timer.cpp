// The pass timer on Windows. Sleep and the wait functions count in whole milliseconds and end on
// the system timer tick, 15.625 ms by default, so a 4 ms sleep would last a whole tick and the
// loop would run at 64 passes a second. A high-resolution waitable timer keeps 4 ms without
// raising the timer resolution of the whole system (as timeBeginPeriod would). Where Windows
// refuses one (before Windows 10 1803), pauses fall back to Sleep and the wait functions, rounded
// up to whole milliseconds: the C runtime's sleep truncates, so a pause under a millisecond (the
// spacing of passes woken by telemetry) would not pause at all.
#include <algorithm>
#include <chrono>

#include "platform/pass_timer.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002  // Windows 10 1803; MinGW-w64 10 lacks it
#endif

namespace platform {
namespace {

// The time-out that guards a wait on the timer: should the timer never fire, the wait still ends
// about one system tick after its time instead of never.
constexpr DWORD kTimerGuardMs = 16;

// Milliseconds for the wait functions, rounded up so that no wait ends early.
DWORD wholeMilliseconds(std::chrono::nanoseconds timeout) {
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(timeout).count();
    return static_cast<DWORD>(std::clamp<std::int64_t>(ms, 0, 0x7FFF'FFFF));
}

// SetWaitableTimer's relative due time: negative, in 100 ns units, rounded up.
LARGE_INTEGER relativeDueTime(std::chrono::nanoseconds timeout) {
    LARGE_INTEGER due{};
    due.QuadPart = -((timeout.count() + 99) / 100);
    return due;
}

}  // namespace

void PassTimer::HandleCloser::operator()(HANDLE handle) const {
    CloseHandle(handle);
}

PassTimer::PassTimer(Mode mode) : socketEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (mode == Mode::HighResolution)
        timer_.reset(CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                            TIMER_ALL_ACCESS));
}

PassTimer::~PassTimer() = default;

bool PassTimer::highResolution() const {
    return timer_ != nullptr;
}

void PassTimer::sleep(std::chrono::nanoseconds duration) {
    HANDLE handles[2] = {};
    waitFor(handles, 0, duration);
}

bool PassTimer::waitReadable(SOCKET socket, std::chrono::nanoseconds timeout) {
    HANDLE handles[2] = {};
    DWORD count = 0;
    if (socket != INVALID_SOCKET && watch(socket)) handles[count++] = socketEvent_.get();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (waitFor(handles, count, timeout) == WAIT_OBJECT_0 && count > 0) {
        // Reset after the wake and before the pass drains the socket, never before a wait: a
        // datagram that arrived during the pass has set the event and must end the next wait at
        // once. One that arrives from here on sets it again when a recv re-enables FD_READ.
        // WSAEnumNetworkEvents resets the event and Winsock's record of FD_READ in one step.
        WSANETWORKEVENTS events{};
        WSAEnumNetworkEvents(watchedSocket_, socketEvent_.get(), &events);
        // That datagram may have been read by the pass it came during: then the event is stale,
        // and waking for it would cost an empty pass and hold the next woken pass a millisecond
        // apart from it. An error on the socket counts as readable, as on the other platforms.
        char first = 0;
        if (recv(watchedSocket_, &first, 1, MSG_PEEK) >= 0 || WSAGetLastError() != WSAEWOULDBLOCK)
            return true;
        timeout = deadline - std::chrono::steady_clock::now();
        if (timeout <= std::chrono::nanoseconds::zero()) return false;
    }
    return false;
}

bool PassTimer::watch(SOCKET socket) {
    if (socket == watchedSocket_) return true;
    if (!socketEvent_ || WSAEventSelect(socket, socketEvent_.get(), FD_READ) == SOCKET_ERROR)
        return false;
    watchedSocket_ = socket;
    return true;
}

DWORD PassTimer::waitFor(HANDLE* handles, DWORD count, std::chrono::nanoseconds timeout) {
    if (timeout <= std::chrono::nanoseconds::zero())
        return count == 0 ? WAIT_TIMEOUT : WaitForMultipleObjects(count, handles, FALSE, 0);
    DWORD result = WAIT_FAILED;
    const LARGE_INTEGER due = relativeDueTime(timeout);
    if (timer_ && SetWaitableTimer(timer_.get(), &due, 0, nullptr, nullptr, FALSE)) {
        handles[count] = timer_.get();
        result = WaitForMultipleObjects(count + 1, handles, FALSE,
                                        wholeMilliseconds(timeout) + kTimerGuardMs);
        if (result == WAIT_OBJECT_0 + count) result = WAIT_TIMEOUT;  // the timer fired
    } else if (count > 0) {
        result = WaitForMultipleObjects(count, handles, FALSE, wholeMilliseconds(timeout));
    } else {
        Sleep(wholeMilliseconds(timeout));
        return WAIT_TIMEOUT;
    }
    // A failed wait must still pause, or the loop would spin.
    if (result == WAIT_FAILED) Sleep(wholeMilliseconds(timeout));
    return result;
}

}  // namespace platform
