#include "observe/trace.h"

#include <cstring>
#include <ostream>
#include <utility>

#include "observe/fixed_text.h"
#include "observe/version.h"
#include "platform/streams.h"

namespace observe {
namespace {

constexpr std::string_view kColumns =
    "time_ms,constant,engine_magnitude,engine_period_us,road_magnitude,road_period_us,"
    "curb_magnitude,curb_period_us,damper,playing,wheel_x,sent\n";

// The longest line: a 64-bit time, eight 32-bit values, the flag, an axis, the letters of the
// effects sent and the separators.
using Line = FixedText<192>;

/// Nanoseconds as milliseconds with exactly three decimals (truncated to whole microseconds).
void putMilliseconds(Line& line, std::int64_t nanoseconds) {
    if (nanoseconds < 0) nanoseconds = 0;  // the clock is monotonic; never before the start
    const std::int64_t microseconds = nanoseconds / 1000;
    line.putInteger(microseconds / 1000);
    line.put('.');
    const auto fraction = static_cast<int>(microseconds % 1000);
    line.put(static_cast<char>('0' + fraction / 100));
    line.put(static_cast<char>('0' + fraction / 10 % 10));
    line.put(static_cast<char>('0' + fraction % 10));
}

/// ",value" for an effect that received its parameters, "," for one that does not exist.
void putValue(Line& line, const torvane::SentEffect& effect, bool period) {
    line.put(',');
    if (!effect.sent) return;
    if (period) {
        line.putInteger(effect.periodMicroseconds);
    } else {
        line.putInteger(effect.magnitude);
    }
}

void putWave(Line& line, const torvane::SentEffect& wave) {
    putValue(line, wave, false);
    putValue(line, wave, true);
}

/// ",letters": the effects whose parameters this pass handed to the wheel, in creation order.
void putSent(Line& line, const torvane::SentEffects& sent) {
    line.put(',');
    const std::pair<const torvane::SentEffect*, char> letters[] = {{&sent.constantForce, 'c'},
                                                                   {&sent.engineSine, 'e'},
                                                                   {&sent.roadSine, 'r'},
                                                                   {&sent.curbSquare, 's'},
                                                                   {&sent.damper, 'd'}};
    for (const auto& [effect, letter] : letters)
        if (effect->sentNow) line.put(letter);
}

}  // namespace

TraceFile::TraceFile(const platform::WideString& path)
    : file_(platform::openFileForWriting(path)) {}

TraceFile::~TraceFile() {
    if (file_ != nullptr) std::fclose(file_);
}

bool TraceFile::write(std::string_view bytes) {
    if (file_ == nullptr) return false;
    // Through the C runtime's buffer to the system at once, so that a full disk shows here.
    return std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size() &&
           std::fflush(file_) == 0;
}

Trace::Trace(TraceSink& sink, std::string name, std::int64_t loopStartTime, std::ostream& err)
    : sink_(sink),
      name_(std::move(name)),
      err_(err),
      loopStartTime_(loopStartTime),
      lastFlushTime_(loopStartTime),
      buffer_(std::make_unique<char[]>(kBufferCapacity)) {
    Line header;
    header.put("# torvane-bridge ");
    header.put(torvane::versionText());
    header.put(" trace, clock_start_ns=");
    header.putInteger(loopStartTime);
    header.put('\n');
    append(header.view());
    append(kColumns);
}

Trace::~Trace() {
    flush();
}

void Trace::observe(const PassRecord& pass) {
    if (failed_) return;
    if (pass.applied || pass.stopped) {
        Line line;
        putMilliseconds(line, pass.now - loopStartTime_);
        if (pass.applied) {
            const torvane::SentEffects& sent = pass.effects;
            putValue(line, sent.constantForce, false);
            putWave(line, sent.engineSine);
            putWave(line, sent.roadSine);
            putWave(line, sent.curbSquare);
            putValue(line, sent.damper, false);
            line.put(",1,");
        } else {
            line.put(",,,,,,,,,0,");
        }
        if (pass.stateRead) line.putInteger(pass.wheelX);
        if (pass.applied) {
            putSent(line, pass.effects);
        } else {
            line.put(',');
        }
        line.put('\n');
        append(line.view());
    }
    if (pass.now - lastFlushTime_ >= kFlushIntervalNs) {
        flush();
        lastFlushTime_ = pass.now;
    }
}

void Trace::append(std::string_view line) {
    if (used_ + line.size() > kBufferCapacity) flush();
    if (failed_) return;
    std::memcpy(buffer_.get() + used_, line.data(), line.size());
    used_ += line.size();
}

void Trace::flush() {
    if (failed_ || used_ == 0) return;
    const bool written = sink_.write(std::string_view(buffer_.get(), used_));
    used_ = 0;
    if (!written) {
        failed_ = true;
        err_ << "Could not write the trace file " << name_ << "; tracing stopped.\n";
    }
}

}  // namespace observe
