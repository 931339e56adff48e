// The owner window on a thread of its own. The window is a predefined STATIC one; its procedure is
// wrapped to answer the end of the session, everything else goes to the original procedure.
#include "platform/window_thread.h"

#include <atomic>
#include <thread>

namespace platform {
namespace {

std::atomic<SessionEndHandler> sessionEndHandler{nullptr};

// Posted by the destructor: the window's thread destroys the window and ends.
constexpr UINT kDestroyMessage = WM_APP + 1;
// Windows ends a program that takes longer than about 5 seconds over WM_ENDSESSION anyway.
constexpr DWORD kSessionEndHoldMs = 4000;

struct WindowData {
    WNDPROC original = nullptr;
    HANDLE closing = nullptr;  // set once the program's stop has reached the window
};

LRESULT CALLBACK ownerWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto* data = reinterpret_cast<WindowData*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_QUERYENDSESSION) return TRUE;  // never hold up the session's end
    if (message == WM_ENDSESSION) {
        // The process may be ended as soon as this returns: hold it until the program's stop has
        // stopped the effects and let go of the wheel, which comes before the window goes.
        if (wParam != FALSE) {
            if (const SessionEndHandler handler = sessionEndHandler.load()) handler();
            WaitForSingleObject(data->closing, kSessionEndHoldMs);
        }
        return 0;
    }
    return CallWindowProcW(data->original, window, message, wParam, lParam);
}

}  // namespace

struct WindowThread::State {
    HWND window = nullptr;
    WindowData data;
    HANDLE ready = nullptr;
    std::thread thread;
};

void setSessionEndHandler(SessionEndHandler handler) {
    sessionEndHandler.store(handler);
}

WindowThread::WindowThread(const WCHAR* className, const WCHAR* title)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.data.closing = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    s.ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (s.data.closing == nullptr || s.ready == nullptr) return;
    s.thread = std::thread([&s, className, title] {
        s.window = CreateWindowExW(0, className, title, 0, 0, 0, 1, 1, nullptr, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
        if (s.window != nullptr) {
            SetWindowLongPtrW(s.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&s.data));
            s.data.original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
                s.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ownerWindowProcedure)));
        }
        SetEvent(s.ready);
        if (s.window == nullptr) return;
        // Messages sent to the window (a broadcast, the session's end) are served inside
        // GetMessageW; posted ones are dispatched here.
        MSG message{};
        while (GetMessageW(&message, nullptr, 0, 0) > 0 && message.message != kDestroyMessage)
            DispatchMessageW(&message);
        DestroyWindow(s.window);
    });
    WaitForSingleObject(s.ready, INFINITE);
}

WindowThread::~WindowThread() {
    State& s = *state_;
    if (s.thread.joinable()) {
        if (s.window != nullptr) {
            SetEvent(s.data.closing);
            PostMessageW(s.window, kDestroyMessage, 0, 0);
        }
        s.thread.join();
    }
    if (s.ready != nullptr) CloseHandle(s.ready);
    if (s.data.closing != nullptr) CloseHandle(s.data.closing);
}

HWND WindowThread::get() const {
    return state_->window;
}

}  // namespace platform
