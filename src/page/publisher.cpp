#include "page/publisher.h"

namespace page {
namespace {

constexpr double kPercentPerUnit = 0.01;  // DirectInput units are hundredths of a percent

double percent(const torvane::SentEffect& effect) {
    return effect.sent ? static_cast<double>(effect.magnitude) * kPercentPerUnit : 0.0;
}

}  // namespace

void Publisher::observe(const observe::PassRecord& pass) {
    ++passes_;
    const torvane::SentEffects& e = pass.effects;
    const bool playing = e.started && !pass.stopped;
    clipping_.add(pass.now, playing && e.constantForce.clipped);

    LiveRecord r;
    r.timeMs = static_cast<double>(pass.now - loopStartTime_) / 1e6;
    if (playing) {
        r.constant = percent(e.constantForce);
        r.engine = percent(e.engineSine);
        r.road = percent(e.roadSine);
        r.curb = percent(e.curbSquare);
        r.damper = percent(e.damper);
        r.requested = pass.requestedSteering * 100.0;
    }
    r.clipShare = clipping_.share();
    double torque = 0;
    double angle = 0;
    if (rim_ != nullptr && rim_->read(torque, angle)) {
        r.rim = angle;
        r.rimIsAngle = 1;
    } else {
        r.rim = pass.wheelX * kPercentPerUnit;
    }
    r.throttle = pass.wheelY * kPercentPerUnit;
    r.brake = pass.wheelZ * kPercentPerUnit;
    r.telemetryAgeMs = pass.lastTelemetryTime == 0
                           ? -1
                           : static_cast<double>(pass.now - pass.lastTelemetryTime) / 1e6;
    r.datagrams = static_cast<double>(pass.datagrams);
    r.passes = static_cast<double>(passes_);
    r.playing = playing ? 1 : 0;
    if (playing) {
        r.stopReason = kPlaying;
    } else if (pass.lastTelemetryTime == 0) {
        r.stopReason = kNoTelemetry;
    } else if (pass.applied) {
        r.stopReason = kWheelLost;  // fresh telemetry, yet the wheel plays nothing
    } else {
        r.stopReason = kStale;
    }
    r.gain = pass.gain;
    r.invert = pass.invert ? 1 : 0;
    r.steering = pass.tuning.steering;
    r.engineStrength = pass.tuning.engine;
    r.roadStrength = pass.tuning.road;
    r.curbStrength = pass.tuning.curb;
    r.damperStrength = pass.tuning.damper;
    r.minForce = pass.tuning.minForce;
    r.smooth = pass.tuning.smoothMs;
    slot_.publish(r);
}

}  // namespace page
