// Without window messages there is nothing to answer: the window is made and destroyed on the
// caller's thread, and a session's end arrives as SIGHUP or SIGTERM (console.cpp).
#include "platform/window_thread.h"

namespace platform {

struct WindowThread::State {
    HWND window = nullptr;
};

void setSessionEndHandler(SessionEndHandler) {}

WindowThread::WindowThread(const WCHAR* className, const WCHAR* title)
    : state_(std::make_unique<State>()) {
    state_->window = CreateWindowExW(0, className, title, 0, 0, 0, 1, 1, nullptr, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
}

WindowThread::~WindowThread() {
    if (state_->window != nullptr) DestroyWindow(state_->window);
}

HWND WindowThread::get() const {
    return state_->window;
}

}  // namespace platform
