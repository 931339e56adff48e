#include "platform/streams.h"

#include <io.h>

namespace platform {

std::FILE* openFileForWriting(const WideString& path) {
    // A name with a zero inside would silently open a shorter one.
    if (path.empty() || path.find(L'\0') != WideString::npos) return nullptr;
    return _wfopen(path.c_str(), L"wb");
}

bool errorStreamIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

Utf8ConsoleOutput::Utf8ConsoleOutput() {
    // GetConsoleOutputCP gives 0 without a console; then there is nothing to set or restore.
    const UINT current = GetConsoleOutputCP();
    if (current != 0 && current != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) previous_ = current;
}

void Utf8ConsoleOutput::restore() {
    if (previous_ != 0) SetConsoleOutputCP(previous_);
    previous_ = 0;
}

void endProcessNow(int code) {
    // Not ExitProcess: the C runtime's detach code would wait for the stream locks that a thread
    // stuck in a console write holds.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
    for (;;) Sleep(INFINITE);
}

}  // namespace platform
