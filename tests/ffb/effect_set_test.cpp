// The force synthesis, one frame and gain per case, and the effects a wheel lacking some gets.
#include "ffb/effect_set.h"

#include <gtest/gtest.h>

#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "support/wheel_rig.h"

namespace torvane {
namespace {

using wheel::EffectKind;
using wheel::Method;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// What the set sent last: the constant force, the three waves' magnitude/period (us), the damper;
// then " clipped" and the letters of the effects whose strength lay outside its limit (c e r s d).
std::string lastSent(const EffectSet& set) {
    const SentEffects& s = set.lastSent();
    const SentEffect* all[] = {&s.constantForce, &s.engineSine, &s.roadSine, &s.curbSquare,
                               &s.damper};
    std::string text, clips;
    for (int i = 0; i < 5; ++i) {
        text += (i ? " " : "") + std::to_string(all[i]->magnitude);
        if (i % 4) text += "/" + std::to_string(all[i]->periodMicroseconds);
        if (all[i]->clipped) clips += "cersd"[i];
    }
    return clips.empty() ? text : text + " clipped " + clips;
}

void play(EffectSet& set, const TelemetryFrame& frame, double gain, const ForceTuning& tuning = {},
          std::int64_t now = 0) {
    set.apply(synthesizeForces(frame, gain, tuning, false), tuning.smoothMs, now);
}

struct Wheel {
    Wheel() { set.create(out); }
    fake::Rig rig;
    platform::ComPtr<IDirectInputDevice8W> device = rig.openDevice();
    std::ostringstream out;
    EffectSet set{device.get(), out};
    /// What an apply of frame sent.
    std::string sent(const TelemetryFrame& frame, double gain, const ForceTuning& tuning = {}) {
        play(set, frame, gain, tuning);
        return lastSent(set);
    }
};

// The worked example; the slips drive nothing.
constexpr TelemetryFrame kWorked{.aligningTorque = -0.42,
                                 .engineHz = 61.5,
                                 .engineGain = 0.3,
                                 .roadGain = 0.12,
                                 .curbPulse = 0.8,
                                 .tireSlip = 0.05,
                                 .tractionSlip = 0.02,
                                 .speed = 27.4,
                                 .verticalAccel = 1.6,
                                 .curb = true};

TEST(ForceSynthesis, SendsTheseRecords) {
    Wheel w;
    EXPECT_EQ(w.sent(kWorked, 0.1), "-420 660/16260 176/13890 800/9585 250");
    EXPECT_EQ(w.sent({}, 0.1), "0 0/125000 0/28571 0/18181 250");  // the lowest frequencies
    // Units and periods truncate toward zero; below 0 is 0 and clipped; off the curb, no pulse.
    const TelemetryFrame tiny{.aligningTorque = -0.00199,
                              .engineHz = 60,
                              .engineGain = -0.5,
                              .curbPulse = 1,
                              .verticalAccel = -10,
                              .offroad = true};
    EXPECT_EQ(w.sent(tiny, 0.1), "-1 0/16666 530/28571 0/18181 250 clipped e");
    // The reader never produces these; a NaN must still count as no force, never full scale.
    const TelemetryFrame nan{kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, true, true};
    EXPECT_EQ(w.sent(nan, 0.1), "0 0/125000 0/28571 100/18181 250 clipped cers");
    const TelemetryFrame infinite{.aligningTorque = -kInf,
                                  .engineHz = kInf,
                                  .engineGain = kInf,
                                  .roadGain = -kInf,
                                  .curbPulse = kInf,
                                  .speed = kInf,
                                  .verticalAccel = kInf,
                                  .curb = true};
    EXPECT_EQ(w.sent(infinite, 0.1), "-1000 1000/5555 0/6389 1000/5555 250 clipped cers");
    // Whatever gain a caller passes, nothing exceeds the hard maximum of 0.35.
    const TelemetryFrame full{
        .aligningTorque = -1, .engineGain = 1, .roadGain = 1, .curbPulse = -1, .curb = true};
    EXPECT_EQ(w.sent(full, kNaN), "0 0/125000 0/28571 0/18181 0 clipped e");
    EXPECT_EQ(w.sent(full, 5.0), "-3500 3500/125000 3500/28571 3500/18181 875 clipped e");
}

// The worked example's strengths and the hard maximum: NaN and < 0 silence, > 2 counts as 2.
TEST(ForceSynthesis, TuningScalesWithinTheHardMaximum) {
    Wheel w;
    const ForceTuning mixed{
        .steering = 0.5, .engine = 0, .road = 2, .curb = 1.5, .damper = 0.4, .minForce = 0.03};
    EXPECT_EQ(w.sent(kWorked, 0.1, mixed), "-300 0/16260 352/13890 1200/9585 100");
    const ForceTuning twice{.steering = 2, .engine = 2, .road = 2, .curb = 2, .damper = 2};
    TelemetryFrame strong = kWorked;
    strong.aligningTorque = -0.9;
    EXPECT_EQ(w.sent(strong, 0.35, twice),
              "-3500 3500/16260 1232/13890 3500/9585 1750 clipped ces");
    const ForceTuning odd{.steering = kNaN, .engine = -1, .road = 5, .curb = kInf, .damper = 2};
    EXPECT_EQ(w.sent(kWorked, 0.1, odd), "0 0/16260 352/13890 1600/9585 500");
}

// The minimum is reached on a ramp of four times the force: no step at 0.
TEST(ForceSynthesis, RaisesTheSteeringForceToTheMinimumSmoothly) {
    const struct {
        double torque, minForce;
        LONG constant;  // at gain 0.1
    } cases[] = {
        {.torque = 1e-300, .minForce = 0.2, .constant = 0},    // a tiny force stays tiny
        {.torque = -0.01, .minForce = 0.2, .constant = -40},   // 0.001 of full scale: 0.004
        {.torque = 0.05, .minForce = 0.03, .constant = 200},   // on the ramp
        {.torque = 0.5, .minForce = 5, .constant = 2000},      // 0.05: the minimum; 5 counts as 0.2
        {.torque = -0.0, .minForce = 0.03, .constant = 0},     // -0 stays no force
        {.torque = kNaN, .minForce = 0.03, .constant = 0},     // so does NaN
        {.torque = 0.3, .minForce = 0.03, .constant = 300},    // exactly the minimum stays
        {.torque = -0.05, .minForce = kNaN, .constant = -50},  // a NaN minimum is none
    };
    Wheel wheel;
    for (const auto& c : cases) {
        play(wheel.set, {.aligningTorque = c.torque}, 0.1, {.minForce = c.minForce});
        EXPECT_EQ(wheel.set.lastSent().constantForce.magnitude, c.constant) << c.torque;
    }
}

// Smoothing follows real time: a step covers 63 % in one time constant however the time is cut
// into passes, and every stop or loss of the effects starts the force from 0 again.
TEST(ForceSynthesis, SmoothingFollowsTimeAndRestartsAfterAStop) {
    Wheel wheel;
    EffectSet& set = wheel.set;
    // The constant force a pass at ms sends for a step to torque (3500 at gain 0.35).
    const auto at = [&](std::int64_t ms, double smoothMs = 20, double torque = 1) {
        play(set, {.aligningTorque = torque}, 0.35, {.smoothMs = smoothMs}, ms * 1'000'000);
        return set.lastSent().constantForce.magnitude;
    };
    // From 0 (the first pass covers no time), a pass every 4 ms.
    for (int i = 0; const LONG e : {0, 634, 1153, 1579, 1927, 2212}) EXPECT_EQ(at(4 * i++), e);
    set.stop();
    EXPECT_EQ(at(100), 0);
    EXPECT_EQ(at(120), 2212);  // again from 0; 63 % (1 - 1/e) in one pass
    set.markUnloaded();        // a lost wheel: again from 0
    EXPECT_EQ(at(140), 0);
    // Switched on (or retuned) while playing, it starts from the force being played.
    EXPECT_EQ(at(144, 0), 3500);
    EXPECT_EQ(at(148, 20, -1), 2231);
    EXPECT_EQ(at(152, 50, -1), 1790);
    EXPECT_EQ(at(5000, 20, -1), -3500);
    // Pass by pass the approach must end on the target, not a rounding step (one unit) short.
    set.stop();
    for (std::int64_t ms = 0; ms <= 1000; ms += 4)
        play(set, {.aligningTorque = -0.9}, 0.1, {.smoothMs = 20}, ms * 1'000'000);
    EXPECT_EQ(set.lastSent().constantForce.magnitude, -900);
}

// With the kinds the wheel refuses, the set reports each effect; updates and stops reach exactly
// the created ones, and the device is stopped anyway.
void expectEffects(std::vector<EffectKind> refused, const std::string& line, std::size_t created) {
    SCOPED_TRACE(line);
    fake::Rig rig;
    platform::ComPtr<IDirectInputDevice8W> device = rig.openDevice();
    for (EffectKind kind : refused) rig.wheel.refuseEffect(kind, true);
    std::ostringstream out;
    {
        EffectSet set(device.get(), out);
        set.create(out);
        EXPECT_EQ(out.str(), "FFB effects: " + line + "\n");
        std::size_t made = 0;
        for (const wheel::JournalEntry& e : rig.calls(Method::CreateEffect)) made += e.effect >= 0;
        EXPECT_EQ(made, created);
        play(set, TelemetryFrame{}, 0.1);
        set.stop();
        EXPECT_EQ(rig.calls(Method::Start).size(), created);
        EXPECT_EQ(rig.calls(Method::Stop).size(), created);
        EXPECT_EQ(rig.calls(Method::SendForceFeedbackCommand).size(), 1u);
    }
    EXPECT_EQ(rig.calls(Method::ReleaseEffect).size(), created);
}

TEST(EffectSet, ReportsEachEffectAndRunsWithThoseThatExist) {
    using enum EffectKind;
    expectEffects({Damper}, "constant=1, engine sine=1, road sine=1, curb square=1, damper=0", 4);
    expectEffects({ConstantForce, Square},
                  "constant=0, engine sine=1, road sine=1, curb square=0, damper=1", 3);
    expectEffects({ConstantForce, Sine, Square, Damper},
                  "constant=0, engine sine=0, road sine=0, curb square=0, damper=0", 0);
}

// "--low-latency" sends an effect's parameters only when they changed, when the 100 ms keep-alive
// is due, or after a start, a loss or a failed call.
TEST(EffectSet, SendsOnlyChangesAndKeepAlivesWhenAsked) {
    constexpr std::int64_t kMs = 1'000'000, kT = 5'000 * kMs;
    const AcceptedParameters last{.known = true, .magnitude = 660, .periodMicroseconds = 16260};
    EXPECT_TRUE(shouldSend(last, 660, 16261, 0));  // a new period alone is a change too

    Wheel wheel;
    wheel.set.sendOnlyChanges(true);
    TelemetryFrame frame = kWorked;
    // The effects (0 constant force .. 4 damper) an apply at now sent, after "start" if it did.
    auto sentBy = [&](std::int64_t now) {
        wheel.rig.journal.clear();
        play(wheel.set, frame, 0.1, {}, now);
        std::string sent = wheel.rig.calls(Method::Start).empty() ? "" : "start ";
        for (const wheel::JournalEntry& e : wheel.rig.calls(Method::SetParameters))
            sent += static_cast<char>('0' + e.effect);
        return sent;
    };
    EXPECT_EQ(sentBy(kT), "start 01234");
    std::string steady;  // an unchanged stream, a pass every 4 ms: only the keep-alives
    for (std::int64_t t = kT + 4 * kMs; t <= kT + 200 * kMs; t += 4 * kMs) steady += sentBy(t);
    EXPECT_EQ(steady, "0123401234");
    frame.aligningTorque = 0.5;  // a change goes out in the same pass, alone
    EXPECT_EQ(sentBy(kT + 204 * kMs), "0");
    EXPECT_TRUE(wheel.set.lastSent().constantForce.sentNow && !wheel.set.lastSent().damper.sentNow);
    wheel.set.markUnloaded();  // a re-acquired wheel has lost its effects: start, send everything
    EXPECT_EQ(sentBy(kT + 208 * kMs), "start 01234");
}

}  // namespace
}  // namespace torvane
