// The two things the monitor and the trace need from the platform's C runtime: a file opened by
// its wide (UTF-16) name, and whether the error stream is a terminal.
#pragma once

#include <cstdio>

#include "platform/platform.h"

namespace platform {

/// Opens path for writing in binary mode (no line-end translation), creating or emptying it;
/// null when it cannot be opened. The caller closes it with fclose.
std::FILE* openFileForWriting(const WideString& path);

/// Whether the process's error stream is a terminal (a console), where a status line can be
/// rewritten in place; false for a file or a pipe.
bool errorStreamIsTerminal();

}  // namespace platform
