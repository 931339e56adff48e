// What the live page shows of one main-loop pass, and the slot through which the loop hands the
// newest one to the page's server without ever waiting for it.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace page {

/// Plain numbers only, so that the slot can copy it word by word. Forces are in % of full scale.
struct LiveRecord {
    double timeMs = 0;    ///< since the loop started
    double constant = 0;  ///< the effects as sent
    double engine = 0;
    double road = 0;
    double curb = 0;
    double damper = 0;
    double requested = 0;  ///< the steering force the formulas asked for, before any limit
    double clipShare = 0;  ///< of the last 10 s, 0..1: the steering force was limited
    double rim = 0;        ///< the rim's angle in degrees, or the X axis in %
    double throttle = 0;   ///< the Y and Z axes in %
    double brake = 0;
    double telemetryAgeMs = -1;  ///< -1: no telemetry yet
    double datagrams = 0;        ///< received since the start
    double passes = 0;           ///< since the start
    double playing = 0;          ///< 1 or 0
    double rimIsAngle = 0;       ///< 1: rim holds degrees; 0: the X axis
    double stopReason = 0;       ///< a StopReason
    // The live settings in effect, so the page shows what the loop really uses.
    double gain = 0, invert = 0, steering = 0, engineStrength = 0, roadStrength = 0,
           curbStrength = 0, damperStrength = 0, minForce = 0, smooth = 0;
};

enum StopReason { kPlaying = 0, kNoTelemetry = 1, kStale = 2, kWheelLost = 3 };

/// A sequence lock over a trivially copyable value: one writer (the loop) that never waits, any
/// number of readers that retry while a write is in progress. The value lives in atomic words,
/// so a torn read is detected by the sequence, never undefined.
template <typename T>
class LatestSlot {
    static_assert(std::is_trivially_copyable_v<T>);
    static constexpr std::size_t kWords = (sizeof(T) + 7) / 8;

  public:
    void publish(const T& value) {
        std::array<std::uint64_t, kWords> words{};
        std::memcpy(words.data(), &value, sizeof(T));
        const std::uint64_t start = sequence_.load(std::memory_order_relaxed);
        sequence_.store(start + 1, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release);
        for (std::size_t i = 0; i < kWords; ++i)
            words_[i].store(words[i], std::memory_order_relaxed);
        sequence_.store(start + 2, std::memory_order_release);
    }

    /// The newest value; false before the first publish.
    bool read(T& value) const {
        std::array<std::uint64_t, kWords> words{};
        for (;;) {
            const std::uint64_t before = sequence_.load(std::memory_order_acquire);
            if (before == 0) return false;
            if (before % 2 != 0) continue;
            for (std::size_t i = 0; i < kWords; ++i)
                words[i] = words_[i].load(std::memory_order_relaxed);
            std::atomic_thread_fence(std::memory_order_acquire);
            if (sequence_.load(std::memory_order_relaxed) == before) break;
        }
        std::memcpy(static_cast<void*>(&value), words.data(), sizeof(T));
        return true;
    }

  private:
    std::atomic<std::uint64_t> sequence_{0};
    std::array<std::atomic<std::uint64_t>, kWords> words_{};
};

}  // namespace page
