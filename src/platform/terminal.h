// Whether standard output is an interactive console rather than a file or a pipe, for programs
// that redraw a live line only where someone is watching.
#pragma once

#ifdef _WIN32
#include <io.h>

#include <cstdio>
#else
#include <unistd.h>
#endif

namespace platform {

inline bool standardOutputIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stdout)) != 0;
#else
    return isatty(STDOUT_FILENO) != 0;
#endif
}

}  // namespace platform
