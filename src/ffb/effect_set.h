// The five force-feedback effects the bridge plays on the wheel's X axis, and the mapping of a
// telemetry frame and the user gain onto their parameters.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>

#include "ffb/force_tuning.h"
#include "ffb/send_decision.h"
#include "platform/platform.h"
#include "telemetry/telemetry_frame.h"

namespace torvane {

/// The hard maximum of the user gain: no force ever exceeds 35 % of the wheel's full scale.
inline constexpr double kMaxGain = 0.35;

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
    bool playing = false;  ///< the effects were started by the last apply and not stopped since
    /// The steering force the formulas asked for, as a fraction of full scale, before the input's
    /// limit, the hard maximum and the minimum force: beside the constant force sent, it shows
    /// how much clipping takes away.
    double requestedSteering = 0;
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

    /// Creates one periodic effect (GUID_Sine or GUID_Square) into field; true on success.
    bool createPeriodic(REFGUID type, IDirectInputEffect*& field);

    /// Starts every effect that is not playing (after a stop, a loss, or a Start that failed),
    /// then sends all five parameter sets computed from frame, gain and tuning; with smoothing,
    /// the constant force also depends on the earlier applies since the last stop, nowNs being
    /// the clock reading of this one. Allocates nothing; every result is bounded whatever the
    /// frame and the tuning hold.
    void apply(const TelemetryFrame& frame, double gain, const ForceTuning& tuning = {},
               std::int64_t nowNs = 0);

    /// With on, apply sends an effect's parameters only when they differ from the last ones it
    /// accepted, or when the keep-alive is due (nowNs being the clock reading); after a start, a
    /// re-acquire or a failed call it sends everything again. Off (the default), every apply
    /// sends all five.
    void sendOnlyChanges(bool on) { changesOnly_ = on; }

    /// Sends one periodic effect (index in creation order) its magnitude (fraction of full scale)
    /// and frequency (Hz); returns what it sent (not sent when field is empty).
    SentEffect setPeriodic(unsigned index, IDirectInputEffect* field, double magnitude,
                           double frequency);

    /// Stops every effect and sends the stop-all command, if they are started; else does nothing.
    /// Returns whether it stopped anything.
    bool stop();

    /// DirectInput stops and unloads a device's effects when it unacquires the device; after the
    /// device has been acquired again they count as stopped, so the next apply starts (and so
    /// downloads) every one of them again.
    void markUnloaded() {
        playing_ = 0;
        smoothing_.reset();  // a dropped effect plays nothing: the force rises again from 0
        forgetAccepted();
    }

    const SentEffects& lastSent() const { return sent_; }

  private:
    /// Starts, with no flags and in creation order, every present effect not known to be
    /// playing; one attempt each per call.
    void start();

    /// Looks at the result of an effect call: a device that is no longer acquired has dropped
    /// every effect. True when the effect accepted the call.
    bool noteResult(HRESULT result);

    /// Hands one effect (index in creation order) its type-specific record unless only changes
    /// are sent and magnitude and period are what it last accepted, with no keep-alive due.
    /// Returns whether it sent them.
    bool update(unsigned index, IDirectInputEffect* effect, DWORD recordSize, LPVOID record,
                LONG magnitude, DWORD period);

    void forgetAccepted() { accepted_ = {}; }

    /// Writes one line when effects first cannot be started and one when all play again.
    void reportPlaying();

    /// The description handed to DirectInput for every effect: full-scale gain, infinite
    /// duration, no trigger, no envelope, one axis at axisOffset_ pointing along direction_, and
    /// record (recordSize bytes) as the type-specific parameters.
    DIEFFECT describe(DWORD recordSize, LPVOID record);

    IDirectInputDevice8W* device_;
    std::ostream& err_;
    DWORD axisOffset_ = 0;  // DIJOFS_X: the X axis of the joystick data format
    LONG direction_ = 0;
    IDirectInputEffect* constantForce_ = nullptr;
    IDirectInputEffect* engineSine_ = nullptr;
    IDirectInputEffect* roadSine_ = nullptr;
    IDirectInputEffect* curbSquare_ = nullptr;
    IDirectInputEffect* damper_ = nullptr;
    bool started_ = false;       // apply has run since the last stop: stop has work to do
    unsigned playing_ = 0;       // one bit per effect, in creation order: its last Start held
    bool startFailing_ = false;  // the "could not start" line is out, "playing again" is not
    SentEffects sent_{};
    LowPass smoothing_;  // of the constant force; restarts from 0 after every stop
    bool changesOnly_ = false;
    std::int64_t now_ = 0;  // the clock reading of the apply in progress
    std::array<AcceptedParameters, 5> accepted_{};
};

}  // namespace torvane
