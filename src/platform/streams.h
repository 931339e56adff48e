// What the program's output needs from the platform's C runtime and console: a file opened by its
// wide (UTF-16) name, whether the error stream is a terminal, UTF-8 on the console, and a way to
// end that does not wait for output that is stuck.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace platform {

/// Opens path for writing in binary mode (no line-end translation), creating or emptying it;
/// null when it cannot be opened. Never waits: a FIFO with no reader cannot be opened. The caller
/// closes it with fclose.
std::FILE* openFileForWriting(const WideString& path);

/// What readRegularFile found at a path.
enum class FileRead { Read, NotAFile, Unreadable, TooLarge };

/// Reads the regular file at path whole into text, when it holds at most maxBytes. Anything else
/// there (a directory, a FIFO, a device) is NotAFile, found without waiting: a FIFO opened for
/// reading would otherwise wait for a writer, for good.
FileRead readRegularFile(const WideString& path, std::size_t maxBytes, std::string& text);

/// What tells a changed file apart without reading it: its modification time, in the system's
/// finest units (the C runtime's stat gives whole seconds on Windows, too coarse to tell an emptied
/// file from the one written into it the same second), and its size. Something else in the file's
/// place (a directory, a FIFO) exists too, with no size.
struct FileStamp {
    long long modified = 0;
    unsigned long long size = 0;
    bool exists = false;
    bool regular = false;  ///< a file, not a directory or a FIFO
    bool operator==(const FileStamp&) const = default;
};
FileStamp fileStamp(const WideString& path);

/// Whether the process's error stream is a terminal (a console), where a status line can be
/// rewritten in place; false for a file or a pipe.
bool errorStreamIsTerminal();

/// For its lifetime, a console shows the program's UTF-8 text as UTF-8 (Windows leaves a console
/// on its OEM code page otherwise); the previous code page comes back at the end. Redirected
/// output is bytes either way and is not touched. Nothing to do elsewhere.
class Utf8ConsoleOutput {
  public:
    Utf8ConsoleOutput();
    ~Utf8ConsoleOutput() { restore(); }
    Utf8ConsoleOutput(const Utf8ConsoleOutput&) = delete;
    Utf8ConsoleOutput& operator=(const Utf8ConsoleOutput&) = delete;
    void restore();

  private:
    [[maybe_unused]] unsigned previous_ = 0;  ///< the code page to restore; 0 for none (Windows)
};

/// Ends the process at once with code, running no exit handlers and flushing no stream: for when
/// a thread is stuck writing output whose locks an orderly exit would wait for.
[[noreturn]] void endProcessNow(int code);

}  // namespace platform
