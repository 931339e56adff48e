// "--monitor": a status line on the error stream while the loop runs, every 100 ms of loop time:
// the telemetry rate and age, each effect's strength, playing or stopped, the wheel's X axis and,
// where a rim probe exists, the rim's torque and angle. On a terminal the line is rewritten in
// place; elsewhere (a file, a pipe) one line per second is appended.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string_view>

#include "observe/clip_meter.h"
#include "observe/fixed_text.h"
#include "observe/pass_record.h"
#include "observe/rim_probe.h"

namespace observe {

class Monitor final : public PassObserver {
  public:
    static constexpr std::int64_t kUpdateIntervalNs = 100'000'000;
    static constexpr std::int64_t kAppendIntervalNs = 1'000'000'000;

    /// terminal: rewrite one line in place. testSignal: the frames come from the built-in signal,
    /// so there is no telemetry to count. rim may be null.
    Monitor(std::ostream& err, bool terminal, bool testSignal, RimProbe* rim,
            std::int64_t loopStartTime);
    /// On a terminal, ends the status line so that it stays on screen.
    ~Monitor() override;
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    /// Adds the share of the last 10 s in which the steering force was clipped ("clip 12%") to
    /// the line; without this call the line is as it always was.
    void showClipping(const ClipMeter& clipping) { clipping_ = &clipping; }

    /// Cheap on most passes: formats and writes only when an update is due.
    void observe(const PassRecord& pass) override;

  private:
    struct Sample {
        std::int64_t time = 0;
        std::uint64_t datagrams = 0;
    };
    /// One sample per update over the last second, for a steady datagram rate.
    static constexpr std::size_t kSamples = kAppendIntervalNs / kUpdateIntervalNs + 1;
    using Text = FixedText<512>;

    void sample(const PassRecord& pass);
    std::int64_t datagramsPerSecond() const;
    void format(const PassRecord& pass, Text& text);

    std::ostream& err_;
    bool terminal_;
    bool testSignal_;
    RimProbe* rim_;
    const ClipMeter* clipping_ = nullptr;
    std::int64_t lastUpdate_;
    std::int64_t lastAppend_;
    std::array<Sample, kSamples> samples_{};
    std::size_t newest_ = 0;
    std::size_t sampleCount_ = 1;
    std::size_t shownLength_ = 0;  // of the line now on the terminal
    Text text_;
};

}  // namespace observe
