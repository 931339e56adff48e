// How much of the last 10 s the steering force was clipped (its input or its strength held at a
// limit): the figure a person tunes the gain by. Fixed storage, fed by the loop's passes.
#pragma once

#include <array>
#include <cstdint>

namespace observe {

class ClipMeter {
  public:
    static constexpr std::int64_t kWindowNs = 10'000'000'000;
    static constexpr std::int64_t kBucketNs = 100'000'000;

    /// A pass at now: the time since the previous pass counts as clipped when that one was.
    void add(std::int64_t now, bool clipped) {
        if (started_) {
            const std::int64_t bucket = now / kBucketNs;
            Bucket& b = buckets_[static_cast<std::size_t>(bucket % kBuckets)];
            if (b.index != bucket) b = {bucket, 0};
            if (previousClipped_) b.clippedNs += now - previous_;
        } else {
            first_ = now;
            started_ = true;
        }
        previous_ = now;
        previousClipped_ = clipped;
    }

    /// The share of the last 10 s (or of the time since the first pass, if shorter), 0..1.
    double share() const {
        if (!started_ || previous_ <= first_) return 0.0;
        const std::int64_t newest = previous_ / kBucketNs;
        std::int64_t clipped = 0;
        for (const Bucket& b : buckets_)
            if (b.index > newest - kBuckets && b.index <= newest) clipped += b.clippedNs;
        const std::int64_t span = previous_ - first_ < kWindowNs ? previous_ - first_ : kWindowNs;
        const double value = static_cast<double>(clipped) / static_cast<double>(span);
        return value > 1.0 ? 1.0 : value;
    }

  private:
    static constexpr std::int64_t kBuckets = kWindowNs / kBucketNs;
    struct Bucket {
        std::int64_t index = -1;
        std::int64_t clippedNs = 0;
    };
    std::array<Bucket, kBuckets> buckets_{};
    std::int64_t first_ = 0;
    std::int64_t previous_ = 0;
    bool previousClipped_ = false;
    bool started_ = false;
};

}  // namespace observe
