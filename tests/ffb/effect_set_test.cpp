// The five effects on the virtual wheel, read back from its journal as the device layer validated
// them: what each frame and gain send, which effects exist, and when they start, stop and go.
#include "ffb/effect_set.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <tuple>

#include "support/wheel_rig.h"

namespace torvane {
namespace {

using wheel::Method;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Wheel {
    Wheel() { set.create(out); }
    fake::Rig rig;
    platform::ComPtr<IDirectInputDevice8W> device = rig.openDevice();
    std::ostringstream out;
    EffectSet set{device.get(), out};
};

/// What one apply sent: constant force; engine, road and curb magnitude and period (µs); damper.
using Sent = std::array<std::int64_t, 8>;

Sent applyOnce(Wheel& w, const TelemetryFrame& frame, double gain, std::string* clips = nullptr,
               const ForceTuning& tuning = {}, std::int64_t nowNs = 0) {
    w.rig.journal.clear();
    w.set.apply(frame, gain, tuning, nowNs);
    EXPECT_EQ(w.rig.journal.entries(Method::SetParameters, 4).size(), 1u);
    Sent sent{w.rig.journal.lastParameters(0).value_or(wheel::EffectParameters{}).level};
    for (int i = 1; i <= 3; ++i) {
        const wheel::EffectParameters p =
            w.rig.journal.lastParameters(i).value_or(wheel::EffectParameters{});
        sent[2 * i - 1] = p.magnitude;
        sent[2 * i] = p.periodMicroseconds;
    }
    const wheel::EffectParameters damper =
        w.rig.journal.lastParameters(4).value_or(wheel::EffectParameters{});
    EXPECT_EQ(damper.negativeCoefficient, damper.positiveCoefficient);
    sent[7] = damper.positiveCoefficient;
    const SentEffects& kept = w.set.lastSent();  // what the monitor and the trace show
    if (clips != nullptr) {
        clips->clear();
        for (const SentEffect* e : {&kept.constantForce, &kept.engineSine, &kept.roadSine,
                                    &kept.curbSquare, &kept.damper})
            *clips += e->clipped ? '1' : '0';
    }
    return sent;
}

TEST(ForceSynthesis, SendsTheseRecords) {
    const struct {
        const char* name;
        TelemetryFrame frame;
        double gain;
        Sent expected;
        const char* clips;  // whose strength lay outside its limit: constant force .. damper
    } cases[] = {
        // Frame: aligningTorque, engineHz, engineGain, roadGain, curbPulse, tireSlip, tractionSlip,
        // speed, verticalAccel, curb, offroad.
        {"worked example",
         {-0.42, 61.5, 0.3, 0.12, 0.8, 0.05, 0.02, 27.4, 1.6, true, false},
         0.1,
         {-420, 660, 16260, 176, 13890, 800, 9585, 250},
         "00000"},
        {"empty frame: lowest frequencies",
         {},
         0.1,
         {0, 0, 125000, 0, 28571, 0, 18181, 250},
         "00000"},
        {"every upper limit at the maximum gain",
         {2, 500, 0.5, 2, -7, 0, 0, 100, 0, true, false},
         0.35,
         {3500, 3500, 5555, 3500, 6389, 3500, 5555, 875},
         "11110"},
        {"every lower limit, the curb pulse floor",
         {-3, 3, -0.5, -2, 0, 0, 0, -30, 1, true, false},
         0.1,
         {-1000, 0, 125000, 0, 28571, 100, 18181, 250},
         "11110"},
        // Units and periods truncate toward zero; slip drives nothing; off the curb, no pulse.
        {"truncation, rough road off-road, curb off",
         {-0.00199, 60, 0, 0, 1, 5, -3, 0, -10, false, true},
         0.1,
         {-1, 0, 16666, 530, 28571, 0, 18181, 250},
         "00000"},
        // The reader never produces these; a NaN must still count as no force, never full scale.
        {"NaN everywhere",
         {kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, true, true},
         0.1,
         {0, 0, 125000, 0, 28571, 100, 18181, 250},
         "11110"},
        {"infinities (inf - inf on the road)",
         {-kInf, kInf, kInf, -kInf, kInf, 0, 0, kInf, kInf, true, false},
         0.1,
         {-1000, 1000, 5555, 0, 6389, 1000, 5555, 250},
         "11110"},
        // Whatever gain a caller passes, nothing exceeds the hard maximum of 0.35.
        {"NaN gain",
         {1, 0, 1, 1, 1, 0, 0, 0, 0, true, false},
         kNaN,
         {0, 0, 125000, 0, 28571, 0, 18181, 0},
         "01000"},
        {"gain above the maximum",
         {-1, 0, 1, 1, 1, 0, 0, 0, 0, true, false},
         5.0,
         {-3500, 3500, 125000, 3500, 28571, 3500, 18181, 875},
         "01000"},
    };
    Wheel w;
    for (const auto& c : cases) {
        std::string clips;
        EXPECT_EQ(applyOnce(w, c.frame, c.gain, &clips), c.expected) << c.name;
        EXPECT_EQ(clips, c.clips) << c.name;
    }
}

// The strengths scale each effect after the gain, the minimum lifts small steering forces, and
// nothing passes the hard maximum of 3500 whatever the tuning holds.
TEST(ForceSynthesis, TuningScalesWithinTheHardMaximum) {
    const struct {
        const char* name;
        double torque, gain;
        ForceTuning tuning;  // steering, engine, road, curb, damper, minForce
        Sent expected;
        const char* clips;
    } cases[] = {
        {"worked example, tuned (-210 raised to the minimum)",
         -0.42,
         0.1,
         {0.5, 0, 2, 1.5, 0.4, 0.03},
         {-300, 0, 16260, 352, 13890, 1200, 9585, 100},
         "00000"},
        {"strength 2 at gain 0.35 holds at the maximum",
         -0.9,
         0.35,
         {2, 2, 2, 2, 2},
         {-3500, 3500, 16260, 1232, 13890, 3500, 9585, 1750},
         "11010"},
        {"NaN and negative strengths silence, above 2 counts as 2",
         0.5,
         0.1,
         {kNaN, -1, 5, kInf, 2},
         {0, 0, 16260, 352, 13890, 1600, 9585, 500},
         "00000"},
        {"a tiny force is raised", 1e-300, 0.1, {1, 1, 1, 1, 1, 0.03}, {300}, "00000"},
        {"-0 stays no force", -0.0, 0.1, {1, 1, 1, 1, 1, 0.03}, {0}, "00000"},
        {"a NaN torque stays no force", kNaN, 0.1, {1, 1, 1, 1, 1, 0.03}, {0}, "10000"},
        {"exactly the minimum stays", 0.3, 0.1, {1, 1, 1, 1, 1, 0.03}, {300}, "00000"},
        {"a NaN minimum is none", 1e-300, 0.1, {1, 1, 1, 1, 1, kNaN}, {0}, "00000"},
        {"a minimum above 0.2 counts as 0.2", -1e-300, 0.1, {1, 1, 1, 1, 1, 5}, {-2000}, "00000"},
    };
    Wheel w;
    for (const auto& c : cases) {
        TelemetryFrame frame{c.torque, 61.5, 0.3, 0.12, 0.8, 0, 0, 27.4, 1.6, true, false};
        std::string clips;
        const Sent sent = applyOnce(w, frame, c.gain, &clips, c.tuning);
        if (c.expected[2] == 0) {  // a case that names only the constant force
            EXPECT_EQ(sent[0], c.expected[0]) << c.name;
        } else {
            EXPECT_EQ(sent, c.expected) << c.name;
        }
        EXPECT_EQ(clips, c.clips) << c.name;
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
        LONG expected;  // constant force after the action; a step to 3500 at gain 0.35
    } steps[] = {
        {0, Apply, 20, 0},                              // starts from 0, covers no time
        {4, Apply, 20, 634},     {8, Apply, 20, 1153},  // 1 - e^-0.2, 1 - e^-0.4
        {12, Apply, 20, 1579},   {16, Apply, 20, 1927}, {20, Apply, 20, 2212},  // 63 %: 1 - 1/e
        {30, Stop, 20, 0},       {100, Apply, 20, 0},                           // again from 0
        {120, Apply, 20, 2212},                        // one pass of a whole constant
        {130, Lose, 20, 0},      {140, Apply, 20, 0},  // a lost wheel: again from 0
        {144, Apply, 0, 3500},                         // off: the target itself
        {148, Apply, 20, 0},                           // on again: from 0
        {5000, Apply, 20, 3500},                       // settled
    };
    Wheel w;
    const TelemetryFrame frame{1.0};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.ms);
        if (s.action == Stop) {
            w.set.stop();
            continue;
        }
        if (s.action == Lose) {
            w.set.markUnloaded();
            continue;
        }
        ForceTuning tuning;
        tuning.smoothMs = s.smoothMs;
        EXPECT_EQ(applyOnce(w, frame, 0.35, nullptr, tuning, s.ms * 1'000'000)[0], s.expected);
    }
    // Pass by pass the approach must end on the target, not a rounding step (one unit) short.
    ForceTuning tuning;
    tuning.smoothMs = 20;
    w.set.stop();
    LONG last = 0;
    for (std::int64_t ms = 0; ms <= 1000; ms += 4)
        last = applyOnce(w, TelemetryFrame{-0.9}, 0.1, nullptr, tuning, ms * 1'000'000)[0];
    EXPECT_EQ(last, -900);
}

// Any finite frame, at any gain up to the maximum, sends forces within the gain and waves within
// their frequency limits: values from subnormal to huge, either sign, and a few special ones.
TEST(ForceSynthesis, AnyFiniteFrameStaysWithinTheGainAndTheFrequencyLimits) {
    std::mt19937_64 rng(20240611);
    const double special[] = {0.0, -0.0, 1e-320, 1.7e308, -1.7e308, 1.0 / 2.2, 70.0, 180.0, -1.0};
    auto value = [&] {
        const double roll = std::uniform_real_distribution<double>(0.0, 1.0)(rng);
        if (roll < 0.25) return special[std::uniform_int_distribution<std::size_t>(0, 8)(rng)];
        if (roll < 0.5) return std::uniform_real_distribution<double>(-300.0, 300.0)(rng);
        return (roll < 0.75 ? 1.0 : -1.0) *
               std::pow(10.0, std::uniform_real_distribution<double>(-323.0, 308.0)(rng));
    };
    Wheel w;
    for (int i = 0; i < 1000 && !HasFailure(); ++i) {
        TelemetryFrame f;
        for (double* field : {&f.aligningTorque, &f.engineHz, &f.engineGain, &f.roadGain,
                              &f.curbPulse, &f.speed, &f.verticalAccel})
            *field = value();
        f.curb = i % 2 == 0;
        f.offroad = i % 3 == 0;
        const double gain =
            i % 10 == 0 ? 0.35 : std::uniform_real_distribution<double>(0.0, 0.35)(rng);

        SCOPED_TRACE("sample " + std::to_string(i));
        const auto [constant, engine, enginePeriod, road, roadPeriod, curb, curbPeriod, damper] =
            applyOnce(w, f, gain);
        const double ceiling = gain * 10000.0;  // never above 3500
        EXPECT_LE(std::abs(constant), ceiling);
        EXPECT_LE(std::max({engine, road, curb}), ceiling);
        // On the curb the pulse has a floor; off it the square sends nothing.
        EXPECT_TRUE(f.curb ? curb >= static_cast<std::int64_t>(gain * 0.1 * 10000.0) : curb == 0);
        EXPECT_EQ(damper, static_cast<LONG>(gain * 0.25 * 10000.0));
        EXPECT_TRUE(enginePeriod >= 5555 && enginePeriod <= 125000) << enginePeriod;
        EXPECT_TRUE(roadPeriod >= 6389 && roadPeriod <= 28571) << roadPeriod;
        EXPECT_TRUE(curbPeriod >= 5555 && curbPeriod <= 18181) << curbPeriod;
    }
}

TEST(EffectSet, ReportsEachEffectAndRunsWithThoseThatExist) {
    using wheel::EffectKind;
    const struct {
        std::vector<EffectKind> refused;
        std::string line;
        std::vector<EffectKind> created;
    } cases[] = {
        {{EffectKind::Damper},
         "FFB effects: constant=1, engine sine=1, road sine=1, curb square=1, damper=0\n",
         {EffectKind::ConstantForce, EffectKind::Sine, EffectKind::Sine, EffectKind::Square}},
        {{EffectKind::ConstantForce, EffectKind::Square},
         "FFB effects: constant=0, engine sine=1, road sine=1, curb square=0, damper=1\n",
         {EffectKind::Sine, EffectKind::Sine, EffectKind::Damper}},
        {{EffectKind::ConstantForce, EffectKind::Sine, EffectKind::Square, EffectKind::Damper},
         "FFB effects: constant=0, engine sine=0, road sine=0, curb square=0, damper=0\n",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        fake::Rig rig;
        platform::ComPtr<IDirectInputDevice8W> device = rig.openDevice();
        for (EffectKind kind : c.refused) rig.wheel.refuseEffect(kind, true);
        std::ostringstream out;
        {
            EffectSet set(device.get(), out);
            set.create(out);
            EXPECT_EQ(out.str(), c.line);
            // Every effect is attempted, whatever happened to the ones before it; each starts
            // at zero strength, at the slowest wave, and is not started.
            const auto creations = rig.calls(Method::CreateEffect);
            ASSERT_EQ(creations.size(), 5u);
            std::vector<EffectKind> created;
            for (const wheel::JournalEntry& e : creations) {
                if (e.effect < 0) continue;
                const wheel::EffectParameters& p = e.parameters;
                created.push_back(p.kind);
                EXPECT_EQ(std::tuple(p.durationMicroseconds, p.gain, p.level, p.magnitude,
                                     p.positiveCoefficient),
                          std::tuple(INFINITE, 10000u, 0, 0u, 0));
            }
            EXPECT_EQ(created, c.created);
            EXPECT_TRUE(rig.journal.entries(Method::Start, 0).empty());

            // Updates and stops reach exactly the effects that exist; the device stops anyway.
            set.apply(TelemetryFrame{}, 0.1);
            set.stop();
            for (int e = 0; e < 5; ++e) {
                const std::size_t exists = e < static_cast<int>(created.size()) ? 1 : 0;
                EXPECT_EQ(rig.journal.entries(Method::Start, e).size(), exists);
                EXPECT_EQ(rig.journal.entries(Method::SetParameters, e).size(), exists);
                EXPECT_EQ(rig.journal.entries(Method::Stop, e).size(), exists);
            }
            EXPECT_EQ(rig.journal.entries(Method::SendForceFeedbackCommand).size(), 1u);
        }
        EXPECT_EQ(rig.calls(Method::ReleaseEffect).size(), c.created.size());
    }
}

}  // namespace
}  // namespace torvane
