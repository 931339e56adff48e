// Output that the loop produces is written on a thread of its own, so that a console that stops
// taking text (a selection in a Windows console, Ctrl+S in a terminal, a pipe whose reader
// stalls) or a slow disk never holds up a pass: while a pass waits, the wheel keeps its last force,
// no report goes out and the staleness check never runs.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string_view>
#include <thread>

#include "observe/trace.h"

namespace observe {

/// A writer thread fed from a fixed ring. write() copies into the ring and returns: it never
/// waits for the sink and allocates nothing; what does not fit is dropped whole and counted.
/// It may feed two sinks (standard output and the error stream, which often share a console):
/// their bytes go out in the order they were queued.
class BackgroundWriter final : public TraceSink {
  public:
    /// Hands bytes to the system, however long that takes; false when that failed.
    using Sink = std::function<bool(std::string_view bytes)>;

    /// How long output stuck at the end is given before the program ends without it.
    static constexpr std::chrono::milliseconds kExitGrace{500};

    /// sink takes channel 0, second (if any) channel 1. Both are kept for as long as the thread
    /// needs them, which may outlive this object (finish).
    BackgroundWriter(std::size_t capacity, Sink sink, Sink second = nullptr);
    /// finish with kExitGrace.
    ~BackgroundWriter() override;
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    /// Queues all of bytes for channel 0.
    bool write(std::string_view bytes) override { return write(bytes, 0); }

    /// Queues all of bytes for channel (0 or 1); false, with nothing queued, when they do not fit
    /// or that channel's sink has failed (everything after a failure is dropped).
    bool write(std::string_view bytes, unsigned channel);

    /// Lets the thread write what is queued, for at most grace, then ends it. False when the sink
    /// was still stuck: the thread is then left behind with its ring and sink, abandoned() turns
    /// true, and the process must end without waiting for it (platform::endProcessNow).
    bool finish(std::chrono::milliseconds grace);

    std::uint64_t droppedBytes() const;

    /// Whether any writer had to be left behind stuck in its sink.
    static bool abandoned();

  private:
    struct State;
    std::shared_ptr<State> state_;
    std::thread thread_;
};

/// An output stream whose text goes to a BackgroundWriter: unit-buffered like the error stream, so
/// each output operation is queued as it is made.
class QueuedStream final : public std::ostream {
  public:
    explicit QueuedStream(BackgroundWriter& writer, unsigned channel = 0);

  private:
    class Buffer final : public std::streambuf {
      public:
        Buffer(BackgroundWriter& writer, unsigned channel);

      protected:
        int_type overflow(int_type c) override;
        int sync() override;

      private:
        void hand();
        BackgroundWriter& writer_;
        unsigned channel_;
        char area_[512];
    };
    Buffer buffer_;
};

}  // namespace observe
