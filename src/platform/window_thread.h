// The hidden top-level window that owns a device's cooperative level, with a thread of its own
// that answers its messages. A top-level window that never answers stalls programs that broadcast
// to every window, and it is how Windows tells an interactive program that the session ends: a
// program that uses User32 gets no console event at log-off or shutdown, only WM_QUERYENDSESSION
// and WM_ENDSESSION at its windows. One implementation per target: platform/windows and
// platform/linux (where there are no window messages and the window is made on the calling thread).
#pragma once

#include <memory>

#include "platform/platform.h"

namespace platform {

/// Called on the window's thread when the session ends (log-off or shutdown): it must start the
/// program's orderly stop and return at once. The window's thread then holds the end of the
/// session until the window is destroyed (the program's stop has reached it) or 4 seconds passed.
using SessionEndHandler = void (*)();

/// Sets the handler for every owner window; null for none. Process-wide.
void setSessionEndHandler(SessionEndHandler handler);

class WindowThread {
  public:
    /// CreateWindowExW(0, className, title, style 0, at 0,0, 1 by 1, no parent, no menu, the
    /// program's module, no data), made and served on the window's thread; get() is null when
    /// the window could not be made.
    WindowThread(const WCHAR* className, const WCHAR* title);
    /// DestroyWindow on the window's thread, which then ends.
    ~WindowThread();
    WindowThread(const WindowThread&) = delete;
    WindowThread& operator=(const WindowThread&) = delete;

    HWND get() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace platform
