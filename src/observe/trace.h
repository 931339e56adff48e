// "--trace FILE": one CSV line for every pass that sent or stopped the effects, for a spreadsheet
// or a plotting library. Lines collect in memory and reach the file at most once per second and
// at the end, so a pass never waits on the disk; a failed write ends tracing, never the bridge.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "observe/pass_record.h"
#include "platform/platform.h"

namespace observe {

/// Where the trace's bytes go. Abstract so that tests can watch and fail the writes.
class TraceSink {
  public:
    virtual ~TraceSink() = default;
    /// Hands all of bytes to the system; false when that failed.
    virtual bool write(std::string_view bytes) = 0;
};

/// A file opened for writing by its wide name, in binary mode, closed on destruction.
class TraceFile final : public TraceSink {
  public:
    explicit TraceFile(const platform::WideString& path);
    ~TraceFile() override;
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    bool isOpen() const { return file_ != nullptr; }
    bool write(std::string_view bytes) override;

  private:
    std::FILE* file_;
};

class Trace final : public PassObserver {
  public:
    /// Far more than a second of lines at any pass rate the loop reaches (a line is at most
    /// about 130 bytes, typically 50); only a fuller buffer is written before its second is up.
    static constexpr std::size_t kBufferCapacity = 256 * 1024;
    static constexpr std::int64_t kFlushIntervalNs = 1'000'000'000;

    /// Buffers the two header lines. name is the file's name for the error message; err gets
    /// that one line if a write fails.
    Trace(TraceSink& sink, std::string name, std::int64_t loopStartTime, std::ostream& err);
    /// Writes what is left.
    ~Trace() override;
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;

    /// Buffers a line for a pass that sent or stopped the effects, and writes the buffer once a
    /// second of loop time has passed since the last write.
    void observe(const PassRecord& pass) override;

    /// Writes the buffer now. After a failed write the trace stays off.
    void flush();
    bool failed() const { return failed_; }

  private:
    void append(std::string_view line);

    TraceSink& sink_;
    std::string name_;
    std::ostream& err_;
    std::int64_t loopStartTime_;
    std::int64_t lastFlushTime_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
    bool failed_ = false;
};

}  // namespace observe
