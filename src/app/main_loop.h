// One pass of the bridge: take telemetry, drive or stop the effects, report the wheel's state.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "app/live_page.h"
#include "app/options.h"
#include "app/report_schedule.h"
#include "app/settings_watcher.h"
#include "ffb/effect_set.h"
#include "observe/pass_record.h"
#include "platform/loop_clock.h"
#include "report/raw_input.h"
#include "telemetry/source.h"
#include "telemetry/telemetry_frame.h"

namespace torvane {

inline constexpr std::int64_t kFreshnessNs = 100'000'000;  // older telemetry stops the effects
inline constexpr std::chrono::milliseconds kPassSleep{4};
/// With "--low-latency": passes woken by telemetry come at most this often, so that a flood of
/// datagrams costs no more than a 1 kHz loop.
inline constexpr std::int64_t kWokenPassSpacingNs = 1'000'000;

/// The main loop's state and its pass. Holds references only; the lifecycle owns everything.
class MainLoop {
  public:
    /// live: the settings at start; lowLatency: "--low-latency".
    MainLoop(const LiveSettings& live, bool lowLatency, IDirectInputDevice8W& device,
             EffectSet& effects, TelemetrySource& telemetry, RawInputReporter& reporter,
             std::atomic<bool>& running);

    /// Sets the loop's two start readings: the last report time, then the loop start time.
    void begin(std::int64_t lastReportTime, std::int64_t loopStartTime);

    /// One pass with the clock reading now, without its sleep. Allocates nothing and never waits.
    void runPass(std::int64_t now);

    /// While the running flag is set and the telemetry has not ended: a pass with a fresh clock
    /// reading, then a 4 ms sleep; with "--low-latency" instead a wait for telemetry until
    /// nextPassTime (see there).
    void run(LoopClock& clock);

    /// Has observer told about every later pass (up to kMaxObservers observers). Without any, a
    /// pass makes exactly the calls it makes unobserved.
    void addObserver(observe::PassObserver& observer);

    /// Takes new gain, inversion and tuning from watcher at the start of a pass whenever it has
    /// some, and writes its line on err.
    void watchSettings(SettingsWatcher& watcher, std::ostream& err);

    /// Takes the live page's setting changes at the start of a pass, as it takes a reload.
    void watchPage(LivePage& page) { page_ = &page; }

    const LiveSettings& liveSettings() const { return live_; }

    /// Shutdown's stop of the effects. Observers see it as a pass of its own, at a fresh clock
    /// reading, when it stopped effects that were playing.
    void stopEffects(LoopClock& clock);

    /// With "--low-latency", when the clock rules need the pass after one at now: 4 ms later
    /// while the effects play, at the next report time if that comes first (or less than 1 ms
    /// after) or nothing plays.
    std::int64_t nextPassTime(std::int64_t now) const;

    const TelemetryFrame& latestFrame() const { return latest_; }
    std::int64_t lastTelemetryTime() const { return lastTelemetryTime_; }
    std::int64_t lastReportTime() const { return lastReportTime_; }

  private:
    const bool lowLatency_;
    IDirectInputDevice8W& device_;
    EffectSet& effects_;
    TelemetrySource& telemetry_;
    RawInputReporter& reporter_;
    std::atomic<bool>& running_;
    TelemetryFrame latest_{};
    std::int64_t lastTelemetryTime_ = 0;  // zero: no telemetry yet
    std::int64_t lastReportTime_ = 0;
    std::int64_t previousPassTime_ = 0;
    bool coarseTimer_ = false;  // the clock's pauses end on a coarse system tick
    LiveSettings live_;         // from the start, then from the settings file as it changes
    SettingsWatcher* watcher_ = nullptr;
    std::ostream* watcherErr_ = nullptr;
    LivePage* page_ = nullptr;
    double requestedSteering_ = 0.0;                 // of the last pass that applied the effects
    static constexpr std::size_t kMaxObservers = 3;  // the live page, the monitor and the trace
    std::array<observe::PassObserver*, kMaxObservers> observers_{};
    std::size_t observerCount_ = 0;

    void notify(std::int64_t now, bool applied, bool stopped, bool stateRead);

    bool telemetryFresh_ = false;  // the last pass applied a fresh frame
};

}  // namespace torvane
