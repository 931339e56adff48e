#include "observe/background_writer.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <utility>

namespace observe {
namespace {

std::atomic<bool> anyAbandoned{false};

}  // namespace

// Shared with the thread, so that a thread left stuck in its sink keeps what it uses.
struct BackgroundWriter::State {
    State(std::size_t size, Sink first, Sink second)
        : capacity(size),
          ring(std::make_unique<char[]>(size)),
          sinks{std::move(first), std::move(second)} {}

    // The queued bytes in order, as runs of one channel each: a run grows while the same channel
    // writes, so there are only as many as the writes switch channels.
    struct Run {
        unsigned channel;
        std::size_t length;
    };
    static constexpr std::size_t kRuns = 64;

    const std::size_t capacity;
    const std::unique_ptr<char[]> ring;
    const Sink sinks[2];
    std::mutex mutex;
    std::condition_variable queued;   // the loop queued bytes, or the end was asked for
    std::condition_variable drained;  // the thread wrote a piece, or ended
    std::size_t start = 0;            // of the oldest queued byte
    std::size_t used = 0;             // queued bytes, including the piece being written
    Run runs[kRuns]{};
    std::size_t firstRun = 0, runCount = 0;
    bool ending = false;
    bool ended = false;
    bool failed[2] = {false, false};
    std::atomic<std::uint64_t> dropped{0};

    void run() {
        std::unique_lock lock(mutex);
        for (;;) {
            queued.wait(lock, [this] { return used > 0 || ending; });
            if (used == 0) break;
            // The loop only appends behind used, so this piece stays as it is while written.
            Run& oldest = runs[firstRun];
            const std::size_t length = std::min(oldest.length, capacity - start);
            const char* const piece = ring.get() + start;
            const unsigned channel = oldest.channel;
            if (failed[channel]) {
                dropped += length;  // a failed sink's bytes still queued go as the thread comes
            } else {
                lock.unlock();
                const bool written = sinks[channel](std::string_view(piece, length));
                lock.lock();
                failed[channel] = !written;
            }
            start = (start + length) % capacity;
            used -= length;
            oldest.length -= length;
            if (oldest.length == 0) {
                firstRun = (firstRun + 1) % kRuns;
                --runCount;
            }
            drained.notify_all();
        }
        ended = true;
        drained.notify_all();
    }

    // Records that length bytes of channel follow the queued ones; false when that needs a run
    // and none is free.
    bool append(unsigned channel, std::size_t length) {
        Run* newest = runCount > 0 ? &runs[(firstRun + runCount - 1) % kRuns] : nullptr;
        if (newest == nullptr || newest->channel != channel) {
            if (runCount == kRuns) return false;
            newest = &runs[(firstRun + runCount++) % kRuns];
            *newest = {channel, 0};
        }
        newest->length += length;
        return true;
    }
};

BackgroundWriter::BackgroundWriter(std::size_t capacity, Sink sink, Sink second)
    : state_(std::make_shared<State>(capacity, std::move(sink), std::move(second))),
      thread_([state = state_] { state->run(); }) {}

BackgroundWriter::~BackgroundWriter() {
    finish(kExitGrace);
}

bool BackgroundWriter::write(std::string_view bytes, unsigned channel) {
    State& s = *state_;
    if (bytes.empty()) return true;
    channel = channel == 0 || !s.sinks[1] ? 0 : 1;
    {
        std::lock_guard lock(s.mutex);
        if (s.failed[channel] || s.ending || bytes.size() > s.capacity - s.used ||
            !s.append(channel, bytes.size())) {
            s.dropped += bytes.size();
            return false;
        }
        const std::size_t end = (s.start + s.used) % s.capacity;
        const std::size_t first = std::min(bytes.size(), s.capacity - end);
        std::memcpy(s.ring.get() + end, bytes.data(), first);
        std::memcpy(s.ring.get(), bytes.data() + first, bytes.size() - first);
        s.used += bytes.size();
    }
    s.queued.notify_one();
    return true;
}

bool BackgroundWriter::finish(std::chrono::milliseconds grace) {
    if (!thread_.joinable()) return true;
    State& s = *state_;
    bool ended = false;
    {
        std::unique_lock lock(s.mutex);
        s.ending = true;
        s.queued.notify_one();
        ended = s.drained.wait_for(lock, grace, [&s] { return s.ended; });
    }
    if (!ended) {
        anyAbandoned = true;
        thread_.detach();
        return false;
    }
    thread_.join();
    return true;
}

std::uint64_t BackgroundWriter::droppedBytes() const {
    return state_->dropped.load();
}

bool BackgroundWriter::abandoned() {
    return anyAbandoned.load();
}

QueuedStream::QueuedStream(BackgroundWriter& writer, unsigned channel)
    : std::ostream(nullptr), buffer_(writer, channel) {
    rdbuf(&buffer_);
    setf(std::ios::unitbuf);
}

QueuedStream::Buffer::Buffer(BackgroundWriter& writer, unsigned channel)
    : writer_(writer), channel_(channel) {
    setp(area_, area_ + sizeof area_);
}

QueuedStream::Buffer::int_type QueuedStream::Buffer::overflow(int_type c) {
    hand();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

int QueuedStream::Buffer::sync() {
    hand();
    return 0;
}

void QueuedStream::Buffer::hand() {
    if (pptr() > pbase())
        writer_.write(std::string_view(pbase(), static_cast<std::size_t>(pptr() - pbase())),
                      channel_);
    setp(area_, area_ + sizeof area_);
}

}  // namespace observe
