// The loop's priority on Windows: the multimedia class scheduler's "Games" task raises the thread
// for as long as it runs, and the high priority class lifts the whole process above the game's
// ordinary threads. avrt.dll is loaded at run time, from the system folder only, so that the
// program still starts on a Windows without it (Server Core, say).
#include "platform/loop_priority.h"

#include <windows.h>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

namespace platform {
namespace {

using SetCharacteristics = HANDLE(WINAPI*)(LPCWSTR, LPDWORD);
using RevertCharacteristics = BOOL(WINAPI*)(HANDLE);

// GetProcAddress answers a generic function pointer; going through void (*)() tells the compiler
// the cast is meant.
template <typename Function>
Function lookUp(void* library, const char* name) {
    const FARPROC found = GetProcAddress(static_cast<HMODULE>(library), name);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

class SystemCalls final : public WindowsSchedulerCalls {
  public:
    SystemCalls(void*& library, void*& task) : library_(library), task_(task) {}

    bool joinGamesTask() override {
        library_ = LoadLibraryExW(L"avrt.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (library_ == nullptr) return false;
        const auto set = lookUp<SetCharacteristics>(library_, "AvSetMmThreadCharacteristicsW");
        if (set == nullptr) return false;
        DWORD taskIndex = 0;
        task_ = set(L"Games", &taskIndex);
        return task_ != nullptr;
    }
    bool setHighPriorityClass() override {
        return SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS) != 0;
    }
    bool setHighestThreadPriority() override {
        return SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST) != 0;
    }

  private:
    void*& library_;
    void*& task_;
};

}  // namespace

LoopPriority::LoopPriority() {
    savedClass_ = GetPriorityClass(GetCurrentProcess());
    savedPriority_ = GetThreadPriority(GetCurrentThread());
    SystemCalls calls(library_, task_);
    line_ = "Low latency: " + requestWindowsPriority(calls) + "\n";
}

LoopPriority::~LoopPriority() {
    if (task_ != nullptr) {
        const auto revert =
            lookUp<RevertCharacteristics>(library_, "AvRevertMmThreadCharacteristics");
        if (revert != nullptr) revert(task_);
    }
    if (library_ != nullptr) FreeLibrary(static_cast<HMODULE>(library_));
    if (savedPriority_ != THREAD_PRIORITY_ERROR_RETURN)
        SetThreadPriority(GetCurrentThread(), savedPriority_);
    if (savedClass_ != 0) SetPriorityClass(GetCurrentProcess(), savedClass_);
}

}  // namespace platform
