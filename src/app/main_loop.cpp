#include "app/main_loop.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "controller/setup.h"

namespace torvane {

MainLoop::MainLoop(const LiveSettings& live, bool lowLatency, IDirectInputDevice8W& device,
                   EffectSet& effects, TelemetrySource& telemetry, RawInputReporter& reporter,
                   std::atomic<bool>& running)
    : lowLatency_(lowLatency),
      device_(device),
      effects_(effects),
      telemetry_(telemetry),
      reporter_(reporter),
      running_(running),
      live_(live) {}

void MainLoop::begin(std::int64_t lastReportTime, std::int64_t loopStartTime) {
    lastReportTime_ = lastReportTime;
    previousPassTime_ = loopStartTime;
    telemetry_.begin(loopStartTime);
}

void MainLoop::watchSettings(SettingsWatcher& watcher, std::ostream& err) {
    watcher_ = &watcher;
    watcherErr_ = &err;
}

void MainLoop::runPass(std::int64_t now) {
    if (watcher_ != nullptr) watcher_->take(live_, *watcherErr_);
    if (page_ != nullptr) page_->take(live_);
    telemetry_.drain(now, latest_, lastTelemetryTime_);

    bool applied = false;
    bool stopped = false;
    telemetryFresh_ = lastTelemetryTime_ != 0 && now - lastTelemetryTime_ <= kFreshnessNs;
    if (!telemetryFresh_) {
        stopped = effects_.stop();
    } else {
        const ForceTargets targets =
            synthesizeForces(latest_, live_.gain, live_.tuning, live_.invert);
        requestedSteering_ = targets[kConstantForce].requested;
        effects_.apply(targets, live_.tuning.smoothMs, now);
        applied = true;
    }

    // The schedule restarts from each attempt: a late pass is not made up, a failed poll is not
    // retried before the next interval.
    bool stateRead = false;
    const bool reportNow = reportDue(now, lastReportTime_, previousPassTime_, coarseTimer_);
    previousPassTime_ = now;
    if (reportNow) {
        bool reacquired = false;
        DIJOYSTATE2 state;
        std::memset(&state, 0, sizeof state);
        stateRead = pollControllerState(device_, state, reacquired);
        if (stateRead) reporter_.sendRawInput(state);
        // The wheel was lost, and its effects with it: the next fresh pass starts them again.
        if (reacquired) effects_.markUnloaded();
        lastReportTime_ = now;
    }
    notify(now, applied, stopped, stateRead);
}

void MainLoop::run(LoopClock& clock) {
    // The test signal has no socket: only the clock may end its waits.
    const SOCKET telemetry = telemetry_.socketHandle();
    std::int64_t lastWokenPass = std::numeric_limits<std::int64_t>::min() / 2;
    bool woken = false;
    coarseTimer_ = clock.coarse();
    // With "--low-latency" this thread may run in a real-time or raised class, ahead of the game.
    // It still cannot starve the machine: every pass ends in a wait on the system (the 4 ms
    // pace, or the wait for telemetry or the next pass's time, and the 1 ms spacing of woken
    // passes), so between passes the cores belong to everyone else.
    while (running_.load() && !telemetry_.ended()) {
        const std::int64_t now = clock.now();
        if (woken) lastWokenPass = now;
        runPass(now);
        if (!lowLatency_) {
            clock.sleep(kPassSleep);
            continue;
        }
        woken = clock.waitUntil(nextPassTime(now), telemetry);
        // Only passes woken by telemetry are held apart: one that the clock asked for may have
        // come just before the datagram, which must not then wait a millisecond.
        if (woken) clock.waitUntil(lastWokenPass + kWokenPassSpacingNs, INVALID_SOCKET);
    }
}

void MainLoop::addObserver(observe::PassObserver& observer) {
    if (observerCount_ < kMaxObservers) observers_[observerCount_++] = &observer;
}

void MainLoop::stopEffects(LoopClock& clock) {
    if (effects_.stop() && observerCount_ > 0) notify(clock.now(), false, true, false);
}

void MainLoop::notify(std::int64_t now, bool applied, bool stopped, bool stateRead) {
    if (observerCount_ == 0) return;
    const observe::PassRecord pass{now,
                                   applied,
                                   stopped,
                                   stateRead,
                                   reporter_.hasReadState(),
                                   reporter_.lastX(),
                                   effects_.lastSent(),
                                   telemetry_.datagramsReceived(),
                                   lastTelemetryTime_,
                                   reporter_.lastY(),
                                   reporter_.lastZ(),
                                   live_.gain,
                                   live_.invert,
                                   live_.tuning,
                                   requestedSteering_};
    for (std::size_t i = 0; i < observerCount_; ++i) observers_[i]->observe(pass);
}

std::int64_t MainLoop::nextPassTime(std::int64_t now) const {
    const std::int64_t report = lastReportTime_ + kReportIntervalNs;
    const std::int64_t paced = now + std::chrono::nanoseconds(kPassSleep).count();
    // While the effects play, a pass every 4 ms; one due less than the spacing before the report
    // gives way to the report's pass.
    if (telemetryFresh_ && paced <= report - kWokenPassSpacingNs) return paced;
    // The report's pass comes on time even right after another pass (a telemetry-woken one, say):
    // held a spacing back, the reports would lock onto the telemetry's rhythm instead of 16 ms.
    // It is one pass in 16 ms, so the loop still costs no more than a 1 kHz one.
    return std::max(report, now);
}

}  // namespace torvane
