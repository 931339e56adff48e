#include "observe/monitor.h"

#include <ostream>

namespace observe {
namespace {

constexpr std::int64_t kNanosecondsPerMillisecond = 1'000'000;
// Numbers a rim can report are far smaller; larger ones are shown at this bound rather than as a
// long row of digits.
constexpr double kLargestShown = 1e6;

template <typename Text>
void putPercent(Text& text, std::string_view name, const torvane::SentEffect& effect) {
    text.put(name);
    text.put(' ');
    if (!effect.sent) {
        text.put('-');
        return;
    }
    // DirectInput units are hundredths of a percent; shown in tenths, rounded.
    const std::int64_t units = effect.magnitude;
    const std::int64_t tenths = ((units < 0 ? -units : units) + 5) / 10;
    if (units < 0 && tenths != 0) text.put('-');
    text.putInteger(tenths / 10);
    text.put('.');
    text.putInteger(tenths % 10);
    text.put('%');
    if (effect.clipped) text.put('!');
}

double bounded(double value) {
    if (value > kLargestShown) return kLargestShown;
    if (value < -kLargestShown) return -kLargestShown;
    return value;
}

}  // namespace

Monitor::Monitor(std::ostream& err, bool terminal, bool testSignal, RimProbe* rim,
                 std::int64_t loopStartTime)
    : err_(err),
      terminal_(terminal),
      testSignal_(testSignal),
      rim_(rim),
      lastUpdate_(loopStartTime),
      lastAppend_(loopStartTime) {
    samples_[0] = {loopStartTime, 0};
}

Monitor::~Monitor() {
    if (terminal_ && shownLength_ > 0) err_.write("\n", 1).flush();
}

void Monitor::observe(const PassRecord& pass) {
    if (pass.now - lastUpdate_ < kUpdateIntervalNs) return;
    lastUpdate_ = pass.now;
    sample(pass);
    text_.clear();
    if (terminal_) {
        text_.put('\r');
        format(pass, text_);
        const std::size_t length = text_.size() - 1;
        // Blank out what is left of a longer previous line.
        for (std::size_t i = length; i < shownLength_; ++i) text_.put(' ');
        shownLength_ = length;
    } else {
        if (pass.now - lastAppend_ < kAppendIntervalNs) return;
        lastAppend_ = pass.now;
        format(pass, text_);
        text_.put('\n');
    }
    err_.write(text_.view().data(), static_cast<std::streamsize>(text_.size())).flush();
}

void Monitor::sample(const PassRecord& pass) {
    newest_ = (newest_ + 1) % kSamples;
    samples_[newest_] = {pass.now, pass.datagrams};
    if (sampleCount_ < kSamples) ++sampleCount_;
}

std::int64_t Monitor::datagramsPerSecond() const {
    const Sample& newest = samples_[newest_];
    const Sample& oldest = samples_[(newest_ + kSamples - (sampleCount_ - 1)) % kSamples];
    const std::int64_t elapsed = newest.time - oldest.time;
    if (elapsed <= 0) return 0;
    const double rate = static_cast<double>(newest.datagrams - oldest.datagrams) * 1e9 /
                        static_cast<double>(elapsed);
    return static_cast<std::int64_t>(rate + 0.5);
}

void Monitor::format(const PassRecord& pass, Text& text) {
    if (testSignal_) {
        text.put("test signal");
    } else {
        text.put("telemetry ");
        text.putInteger(datagramsPerSecond());
        text.put("/s age ");
        if (pass.lastTelemetryTime == 0) {
            text.put('-');
        } else {
            text.putInteger((pass.now - pass.lastTelemetryTime) / kNanosecondsPerMillisecond);
            text.put(" ms");
        }
    }

    const torvane::SentEffects& effects = pass.effects;
    if (effects.started) {
        text.put(" | playing: ");
        putPercent(text, "constant", effects.constantForce);
        putPercent(text, " engine", effects.engineSine);
        putPercent(text, " road", effects.roadSine);
        putPercent(text, " curb", effects.curbSquare);
        putPercent(text, " damper", effects.damper);
    } else {
        text.put(" | stopped");
    }
    if (clipping_ != nullptr) {
        text.put(" | clip ");
        text.putInteger(static_cast<int>(clipping_->share() * 100.0 + 0.5));
        text.put('%');
    }

    text.put(" | x ");
    if (pass.wheelKnown) {
        text.putInteger(pass.wheelX);
    } else {
        text.put('-');
    }

    double torque = 0.0;
    double angle = 0.0;
    if (rim_ != nullptr && rim_->read(torque, angle)) {
        text.put(" | ");
        text.putFixed(bounded(torque), 2);
        text.put(" Nm ");
        text.putFixed(bounded(angle), 1);
        text.put(" deg");
    }
}

}  // namespace observe
