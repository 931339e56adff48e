// The force synthesis, one frame and gain per row, and the effects a wheel lacking some gets.
#include "ffb/effect_set.h"

#include <gtest/gtest.h>

#include <array>
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
};

TEST(ForceSynthesis, SendsTheseRecords) {
    // Frame: aligningTorque, engineHz, engineGain, roadGain, curbPulse, tireSlip, tractionSlip,
    // speed, verticalAccel, curb, offroad.
    const struct {
        TelemetryFrame frame;
        double gain;
        const char* sent;
    } cases[] = {
        // clang-format off
        {{-0.42, 61.5, 0.3, 0.12, 0.8, 0.05, 0.02, 27.4, 1.6, true, false}, 0.1, "-420 660/16260 176/13890 800/9585 250"},
        {{}, 0.1, "0 0/125000 0/28571 0/18181 250"},  // the lowest frequencies
        {{2, 500, 0.5, 2, -7, 0, 0, 100, 0, true, false}, 0.35, "3500 3500/5555 3500/6389 3500/5555 875 clipped cers"},
        {{-3, 3, -0.5, -2, 0, 0, 0, -30, 1, true, false}, 0.1, "-1000 0/125000 0/28571 100/18181 250 clipped cers"},
        // Units and periods truncate toward zero; slip drives nothing; off the curb, no pulse.
        {{-0.00199, 60, 0, 0, 1, 5, -3, 0, -10, false, true}, 0.1, "-1 0/16666 530/28571 0/18181 250"},
        // The reader never produces these; a NaN must still count as no force, never full scale.
        {{kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, true, true}, 0.1, "0 0/125000 0/28571 100/18181 250 clipped cers"},
        {{-kInf, kInf, kInf, -kInf, kInf, 0, 0, kInf, kInf, true, false}, 0.1, "-1000 1000/5555 0/6389 1000/5555 250 clipped cers"},
        // Whatever gain a caller passes, nothing exceeds the hard maximum of 0.35.
        {{1, 0, 1, 1, 1, 0, 0, 0, 0, true, false}, kNaN, "0 0/125000 0/28571 0/18181 0 clipped e"},
        {{-1, 0, 1, 1, 1, 0, 0, 0, 0, true, false}, 5.0, "-3500 3500/125000 3500/28571 3500/18181 875 clipped e"},
        // clang-format on
    };
    Wheel wheel;
    for (const auto& c : cases) {
        play(wheel.set, c.frame, c.gain);
        EXPECT_EQ(lastSent(wheel.set), c.sent) << &c - cases;
    }
}

// The worked example with this torque; a row with one number checks only the constant force.
TEST(ForceSynthesis, TuningScalesWithinTheHardMaximum) {
    const struct {
        double torque, gain;
        ForceTuning tuning;
        std::string sent;
    } cases[] = {
        // clang-format off
        {-0.42, 0.1, {.steering = 0.5, .engine = 0, .road = 2, .curb = 1.5, .damper = 0.4, .minForce = 0.03}, "-300 0/16260 352/13890 1200/9585 100"},
        {-0.9, 0.35, {2, 2, 2, 2, 2}, "-3500 3500/16260 1232/13890 3500/9585 1750 clipped ces"},
        {0.5, 0.1, {kNaN, -1, 5, kInf, 2}, "0 0/16260 352/13890 1600/9585 500"},  // NaN, <0 silence; >2 is 2
        // The minimum is reached on a ramp of four times the force: no step at 0.
        {1e-300, 0.1, {.minForce = 0.2}, "0"},      // a tiny force stays tiny
        {-0.01, 0.1, {.minForce = 0.2}, "-40"},     // 0.001 of full scale: 0.004
        {0.05, 0.1, {.minForce = 0.03}, "200"},     // on the ramp
        {0.5, 0.1, {.minForce = 5}, "2000"},        // 0.05: the minimum; 5 counts as 0.2
        {-0.0, 0.1, {.minForce = 0.03}, "0"},       // -0 stays no force
        {kNaN, 0.1, {.minForce = 0.03}, "0"},       // so does NaN
        {0.3, 0.1, {.minForce = 0.03}, "300"},      // exactly the minimum stays
        {-0.05, 0.1, {.minForce = kNaN}, "-50"},    // a NaN minimum is none
        // clang-format on
    };
    Wheel wheel;
    for (const auto& c : cases) {
        play(wheel.set, {c.torque, 61.5, 0.3, 0.12, 0.8, 0, 0, 27.4, 1.6, true, false}, c.gain,
             c.tuning);
        const std::string sent = lastSent(wheel.set);
        EXPECT_EQ(c.sent.find(' ') == std::string::npos ? sent.substr(0, sent.find(' ')) : sent,
                  c.sent)
            << &c - cases;
    }
}

// Smoothing follows real time: a step covers 63 % in one time constant however the time is cut
// into passes, and every stop or loss of the effects starts the force from 0 again.
TEST(ForceSynthesis, SmoothingFollowsTimeAndRestartsAfterAStop) {
    enum Action { Apply, Stop, Lose };
    const struct {
        std::int64_t ms;
        Action action;
        double smoothMs;
        std::int64_t constant;  // after the action; a step to 3500 at gain 0.35
        double torque = 1.0;
    } steps[] = {
        // clang-format off
        {0, Apply, 20, 0},  // starts from 0, covers no time
        {4, Apply, 20, 634}, {8, Apply, 20, 1153}, {12, Apply, 20, 1579}, {16, Apply, 20, 1927},
        {20, Apply, 20, 2212},  // 63 %: 1 - 1/e
        {30, Stop, 20, 0}, {100, Apply, 20, 0}, {120, Apply, 20, 2212},  // again from 0; one pass
        {130, Lose, 20, 0}, {140, Apply, 20, 0},  // a lost wheel: again from 0
        // Switched on (or retuned) while playing, it starts from the force being played.
        {144, Apply, 0, 3500}, {148, Apply, 20, 2231, -1}, {152, Apply, 50, 1790, -1}, {5000, Apply, 20, -3500, -1},
        // clang-format on
    };
    Wheel wheel;
    EffectSet& set = wheel.set;
    for (const auto& s : steps) {
        if (s.action == Stop) set.stop();
        if (s.action == Lose) set.markUnloaded();
        if (s.action != Apply) continue;
        play(set, TelemetryFrame{s.torque}, 0.35, {.smoothMs = s.smoothMs}, s.ms * 1'000'000);
        EXPECT_EQ(set.lastSent().constantForce.magnitude, s.constant) << s.ms;
    }
    // Pass by pass the approach must end on the target, not a rounding step (one unit) short.
    set.stop();
    for (std::int64_t ms = 0; ms <= 1000; ms += 4)
        play(set, TelemetryFrame{-0.9}, 0.1, {.smoothMs = 20}, ms * 1'000'000);
    EXPECT_EQ(set.lastSent().constantForce.magnitude, -900);
}

TEST(EffectSet, ReportsEachEffectAndRunsWithThoseThatExist) {
    using enum EffectKind;
    // clang-format off
    const struct {
        std::vector<EffectKind> refused;
        std::string line;
        std::size_t created;
    } cases[] = {
        {{Damper}, "constant=1, engine sine=1, road sine=1, curb square=1, damper=0\n", 4},
        {{ConstantForce, Square}, "constant=0, engine sine=1, road sine=1, curb square=0, damper=1\n", 3},
        {{ConstantForce, Sine, Square, Damper}, "constant=0, engine sine=0, road sine=0, curb square=0, damper=0\n", 0},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        fake::Rig rig;
        platform::ComPtr<IDirectInputDevice8W> device = rig.openDevice();
        for (EffectKind kind : c.refused) rig.wheel.refuseEffect(kind, true);
        std::ostringstream out;
        std::size_t created = 0;
        {
            EffectSet set(device.get(), out);
            set.create(out);
            EXPECT_EQ(out.str(), "FFB effects: " + c.line);
            for (const wheel::JournalEntry& e : rig.calls(Method::CreateEffect))
                created += e.effect >= 0;
            EXPECT_EQ(created, c.created);
            // Updates and stops reach exactly the effects that exist; the device stops anyway.
            play(set, TelemetryFrame{}, 0.1);
            set.stop();
            EXPECT_EQ(rig.calls(Method::Start).size(), created);
            EXPECT_EQ(rig.calls(Method::Stop).size(), created);
            EXPECT_EQ(rig.calls(Method::SendForceFeedbackCommand).size(), 1u);
        }
        EXPECT_EQ(rig.calls(Method::ReleaseEffect).size(), created);
    }
}

// "--low-latency" sends an effect's parameters only when they changed, when the 100 ms keep-alive
// is due, or after a start, a loss or a failed call.
TEST(EffectSet, SendsOnlyChangesAndKeepAlivesWhenAsked) {
    constexpr std::int64_t kMs = 1'000'000, kT = 5'000 * kMs;
    const AcceptedParameters last{true, 660, 16260, kT};
    EXPECT_FALSE(shouldSend(last, 660, 16260, kT + 100 * kMs - 1));
    EXPECT_TRUE(shouldSend(last, 660, 16260, kT + 100 * kMs));  // the keep-alive
    EXPECT_TRUE(shouldSend(last, 661, 16260, kT) && shouldSend(last, 660, 16261, kT));
    EXPECT_TRUE(shouldSend({}, 660, 16260, kT));  // after a start, a loss or a failed call

    Wheel wheel;
    wheel.set.sendOnlyChanges(true);
    TelemetryFrame frame{-0.42, 61.5, 0.3, 0.12, 0.8, 0.05, 0.02, 27.4, 1.6, true, false};
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
