// Console control events over POSIX signals. As on Windows, the registered handlers run on a thread
// of their own: the signal handler only writes the signal number into a pipe (async-signal-safe),
// and a watcher thread reads it and calls the handlers, newest first, until one returns TRUE.
// SIGHUP and SIGTERM are the close and shutdown events. Their handler returns once the program
// has stopped in order, and the program then ends by itself with its own exit code; only one
// still running kEndGrace later is ended by the signal's default action (Windows ends the process
// when such a handler returns). SIGPIPE is ignored, as Windows has none: a write to a pipe whose
// reader is gone fails like any other, and the program goes on.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <mutex>
#include <thread>

#include "platform/platform.h"

namespace {

constexpr int kMaxHandlers = 8;
// After the close or shutdown handler has returned, far longer than the program takes to end.
constexpr std::chrono::seconds kEndGrace{2};
std::atomic<PHANDLER_ROUTINE> handlers[kMaxHandlers];
std::atomic<int> handlerCount{0};
int signalPipe[2] = {-1, -1};
std::once_flag watcherStarted;

DWORD eventFor(int signalNumber) {
    switch (signalNumber) {
        case SIGINT:
            return CTRL_C_EVENT;
        case SIGHUP:
            return CTRL_CLOSE_EVENT;
        default:
            return CTRL_SHUTDOWN_EVENT;
    }
}

void onSignal(int signalNumber) {
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

void endBySignal(int signalNumber) {
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

void dispatch(int signalNumber) {
    for (int i = handlerCount.load() - 1; i >= 0; --i) {
        const PHANDLER_ROUTINE handler = handlers[i].load();
        if (handler != nullptr && handler(eventFor(signalNumber))) {
            if (signalNumber == SIGINT) return;
            std::this_thread::sleep_for(kEndGrace);
            endBySignal(signalNumber);
            return;
        }
    }
    // Nobody handled it: the default action, as Windows ends the process.
    endBySignal(signalNumber);
}

void watch() {
    for (;;) {
        unsigned char byte = 0;
        const ssize_t n = ::read(signalPipe[0], &byte, 1);
        if (n == 1) {
            dispatch(byte);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return;
        }
    }
}

// True once the pipe, the watcher and the signal handlers are in place (set up on the first call).
bool startWatcher() {
    std::call_once(watcherStarted, [] {
        if (::pipe(signalPipe) != 0) return;
        ::fcntl(signalPipe[0], F_SETFD, FD_CLOEXEC);
        ::fcntl(signalPipe[1], F_SETFD, FD_CLOEXEC);
        std::thread(watch).detach();
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int signalNumber : {SIGINT, SIGTERM, SIGHUP})
            ::sigaction(signalNumber, &action, nullptr);
        ::signal(SIGPIPE, SIG_IGN);
    });
    return signalPipe[1] >= 0;
}

}  // namespace

BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add) {
    if (handler == nullptr) return FALSE;  // "ignore Ctrl+C" is not offered here
    if (!add) {
        for (int i = 0; i < handlerCount.load(); ++i) {
            PHANDLER_ROUTINE expected = handler;
            if (handlers[i].compare_exchange_strong(expected, nullptr)) return TRUE;
        }
        return FALSE;
    }
    const int slot = handlerCount.load();
    if (slot >= kMaxHandlers || !startWatcher()) return FALSE;
    handlers[slot].store(handler);
    handlerCount.store(slot + 1);
    return TRUE;
}
