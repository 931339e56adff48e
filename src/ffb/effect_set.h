// The five force-feedback effects the bridge plays on the wheel's X axis: their life on the device
// (creation, start, stop, loss, and sending only what changed). What they play comes from the
// force formulas (ffb/force_synthesis).
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>

#include "ffb/force_synthesis.h"
#include "ffb/send_decision.h"
#include "platform/platform.h"

namespace torvane {

/// One effect's parameters as the last apply computed and sent them.
struct SentEffect {
    /// DirectInput units: the constant force's signed magnitude, a wave's magnitude or the
    /// damper's coefficient.
    LONG magnitude = 0;
    DWORD periodMicroseconds = 0;  ///< the waves only; 0 for the constant force and the damper
    bool clipped = false;  ///< the strength before the gain lay outside its limit and was limited
    bool sent = false;     ///< the effect exists and received these values
    bool sentNow = false;  ///< the last apply handed them to the wheel (else it holds them)
};

/// What the set last sent, kept for the monitor and the trace: plain values, no history.
struct SentEffects {
    SentEffect constantForce, engineSine, roadSine, curbSquare, damper;
    bool started = false;  ///< the effects were started by the last apply and not stopped since
};

/// Owns the constant force, engine sine, road sine, curb square and damper on one borrowed
/// device. Every effect description points at axisOffset and direction, so the set never moves.
/// Calling order: create once; any sequence of apply and stop; destruction (stop, then release).
class EffectSet {
  public:
    /// Borrows the acquired device; adds no reference to it. err receives the two lines that say
    /// when effects could not be started and when they play again.
    EffectSet(IDirectInputDevice8W* device, std::ostream& err);
    EffectSet(const EffectSet&) = delete;
    EffectSet& operator=(const EffectSet&) = delete;
    ~EffectSet();

    /// Creates the five effects with zero strength and writes the "FFB effects: constant=" line.
    /// An effect that cannot be created stays empty and shows 0; every operation skips it.
    void create(std::ostream& out);

    /// Starts every effect whose last Start did not hold (after a stop, a loss, or a Start that
    /// failed), then sends the five targets; with smoothMs above 0 the constant force follows its
    /// target through the low-pass filter since the last stop, nowNs being the clock reading of
    /// this apply. Allocates nothing.
    void apply(const ForceTargets& targets, double smoothMs = 0.0, std::int64_t nowNs = 0);

    /// With on, apply sends an effect's parameters only when they differ from the last ones it
    /// accepted, or when the keep-alive is due (nowNs being the clock reading); after a start, a
    /// re-acquire or a failed call it sends everything again. Off (the default), every apply
    /// sends all five.
    void sendOnlyChanges(bool on) { changesOnly_ = on; }

    /// Stops every effect and sends the stop-all command, if they are started; else does nothing.
    /// Returns whether it stopped anything.
    bool stop();

    /// DirectInput stops and unloads a device's effects when it unacquires the device; after the
    /// device has been acquired again they count as stopped, so the next apply starts (and so
    /// downloads) every one of them again.
    void markUnloaded() {
        startHeld_ = 0;
        smoothing_.reset();  // a dropped effect plays nothing: the force rises again from 0
        forgetAccepted();
    }

    const SentEffects& lastSent() const { return sent_; }

  private:
    /// Starts, with no flags and in creation order, every present effect whose last Start did
    /// not hold; one attempt each per call.
    void start();

    /// Looks at the result of an effect call: a device that is no longer acquired has dropped
    /// every effect. True when the effect accepted the call.
    bool noteResult(HRESULT result);

    /// Hands one effect its magnitude (DirectInput units) and period unless only changes are
    /// sent and they are what it last accepted, with no keep-alive due. Returns whether it sent
    /// them.
    bool update(unsigned index, LONG magnitude, DWORD period);

    void forgetAccepted() { accepted_ = {}; }

    /// Writes one line when effects first cannot be started and one when all play again.
    void reportPlaying();

    IDirectInputDevice8W* device_;
    std::ostream& err_;
    DWORD axisOffset_ = 0;  // DIJOFS_X: the X axis of the joystick data format
    LONG direction_ = 0;
    std::array<IDirectInputEffect*, kEffectCount> effects_{};  // in EffectIndex order
    bool started_ = false;       // apply has run since the last stop: stop has work to do
    unsigned startHeld_ = 0;     // one bit per effect, in creation order: its last Start held
    bool startFailing_ = false;  // the "could not start" line is out, "playing again" is not
    SentEffects sent_{};
    LowPass smoothing_;  // of the constant force; restarts from 0 after every stop
    bool changesOnly_ = false;
    std::int64_t now_ = 0;  // the clock reading of the apply in progress
    std::array<AcceptedParameters, kEffectCount> accepted_{};
};

}  // namespace torvane
