#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>

#include "ffb/effect_records.h"
#include "ffb/effect_set.h"
#include "support/fake_directinput.h"

namespace torvane {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

/// What one apply sent, in DirectInput units and microseconds: constant force; engine, road and
/// curb magnitude and period each; damper coefficient.
using Sent = std::array<std::int64_t, 8>;

/// Applies frame and gain once to a fresh set and reads back the five records it sent, checking
/// on the way everything about them that never varies and that the set's own record of them
/// agrees. clips receives the record's clip flags, '1' or '0' from constant force to damper.
Sent applyOnce(const TelemetryFrame& frame, double gain, std::string* clips = nullptr) {
    fake::FakeWorld world;
    std::ostringstream out;
    EffectSet set(&world.addDevice(), out);
    set.create(out);
    const std::size_t created = world.parameters().size();
    set.apply(frame, gain);

    const auto& records = world.parameters();
    EXPECT_EQ(records.size(), created + 5);
    if (records.size() != created + 5) return {};
    const fake::EffectParameters* r = &records[created];
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(r[i].effect, "effect" + std::to_string(i + 1));
        EXPECT_EQ(r[i].flags, 0x100u);  // the type-specific parameters alone
        test::expectTemplate(r[i], set,
                             i == 0   ? sizeof(DICONSTANTFORCE)
                             : i == 4 ? sizeof(DICONDITION)
                                      : sizeof(DIPERIODIC));
    }
    Sent sent{r[0].as<DICONSTANTFORCE>().lMagnitude};
    for (int i = 1; i <= 3; ++i) {
        const auto periodic = r[i].as<DIPERIODIC>();
        EXPECT_EQ(r[i].typeSpecific,
                  test::bytesOf(DIPERIODIC{periodic.dwMagnitude, 0, 0, periodic.dwPeriod}));
        sent[2 * i - 1] = periodic.dwMagnitude;
        sent[2 * i] = periodic.dwPeriod;
    }
    const LONG damper = r[4].as<DICONDITION>().lPositiveCoefficient;
    EXPECT_EQ(r[4].typeSpecific, test::bytesOf(DICONDITION{0, damper, damper, 10000, 10000, 0}));
    sent[7] = damper;

    const SentEffects& kept = set.lastSent();
    EXPECT_EQ(sent, (Sent{kept.constantForce.magnitude, kept.engineSine.magnitude,
                          kept.engineSine.periodMicroseconds, kept.roadSine.magnitude,
                          kept.roadSine.periodMicroseconds, kept.curbSquare.magnitude,
                          kept.curbSquare.periodMicroseconds, kept.damper.magnitude}));
    EXPECT_TRUE(kept.playing);
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
    for (const auto& c : cases) {
        std::string clips;
        EXPECT_EQ(applyOnce(c.frame, c.gain, &clips), c.expected) << c.name;
        EXPECT_EQ(clips, c.clips) << c.name;
    }
}

double randomValue(std::mt19937_64& rng) {
    using Limits = std::numeric_limits<double>;
    static const double kSpecial[] = {
        0.0,  -0.0, Limits::denorm_min(), Limits::max(), Limits::lowest(), 1.0 / 2.2, 70.0, 180.0,
        -1.0, 1.0};
    switch (std::uniform_int_distribution<int>(0, 3)(rng)) {
        case 0:
            return std::uniform_real_distribution<double>(-2.0, 2.0)(rng);
        case 1:
            return std::uniform_real_distribution<double>(-300.0, 300.0)(rng);
        case 2:  // any magnitude from subnormal to huge, either sign
            return (std::bernoulli_distribution(0.5)(rng) ? 1.0 : -1.0) *
                   std::pow(10.0, std::uniform_real_distribution<double>(-323.0, 308.0)(rng));
        default:
            return kSpecial[std::uniform_int_distribution<std::size_t>(
                0, std::size(kSpecial) - 1)(rng)];
    }
}

TEST(ForceSynthesis, AnyFiniteFrameStaysWithinTheGainAndTheFrequencyLimits) {
    std::mt19937_64 rng(20240611);
    for (int i = 0; i < 1000 && !HasFailure(); ++i) {
        TelemetryFrame f;
        for (double* field :
             {&f.aligningTorque, &f.engineHz, &f.engineGain, &f.roadGain, &f.curbPulse, &f.tireSlip,
              &f.tractionSlip, &f.speed, &f.verticalAccel})
            *field = randomValue(rng);
        f.curb = std::bernoulli_distribution(0.5)(rng);
        f.offroad = std::bernoulli_distribution(0.5)(rng);
        const int gainKind = std::uniform_int_distribution<int>(0, 9)(rng);
        const double gain = gainKind == 0 ? 0.0
                            : gainKind == 1
                                ? 0.35
                                : std::uniform_real_distribution<double>(0.0, 0.35)(rng);

        SCOPED_TRACE("sample " + std::to_string(i));
        const auto [constant, engine, enginePeriod, road, roadPeriod, curb, curbPeriod, damper] =
            applyOnce(f, gain);
        const double ceiling = gain * 10000.0;  // never above 3500
        EXPECT_LE(std::abs(constant), ceiling);
        EXPECT_LE(engine, ceiling);
        EXPECT_LE(road, ceiling);
        EXPECT_LE(curb, ceiling);
        if (f.curb) {
            EXPECT_GE(curb, static_cast<std::int64_t>(gain * 0.1 * 10000.0));
        } else {
            EXPECT_EQ(curb, 0);
        }
        EXPECT_EQ(damper, static_cast<LONG>(gain * 0.25 * 10000.0));
        EXPECT_TRUE(enginePeriod >= 5555 && enginePeriod <= 125000) << enginePeriod;
        EXPECT_TRUE(roadPeriod >= 6389 && roadPeriod <= 28571) << roadPeriod;
        EXPECT_TRUE(curbPeriod >= 5555 && curbPeriod <= 18181) << curbPeriod;
    }
}

TEST(ForceSynthesis, SetPeriodicLimitsMagnitudeAndFrequency) {
    const struct {
        double magnitude, frequency;
        DWORD expectedMagnitude, expectedPeriod;
    } cases[] = {{0.5, 0.5, 5000, 1000000}, {2.0, 1000.0, 10000, 5555}, {-1.0, kNaN, 0, 1000000}};
    for (const auto& c : cases) {
        fake::FakeWorld world;
        std::ostringstream out;
        EffectSet set(&world.addDevice(), out);
        set.create(out);
        set.setPeriodic(world.effects()[1].get(), c.magnitude, c.frequency);
        set.setPeriodic(nullptr, 1.0, 50.0);  // an effect that could not be created
        ASSERT_EQ(world.parameters().size(), 6u);
        EXPECT_EQ(world.parameters().back().typeSpecific,
                  test::bytesOf(DIPERIODIC{c.expectedMagnitude, 0, 0, c.expectedPeriod}))
            << c.magnitude << " at " << c.frequency << " Hz";
    }
}

}  // namespace
}  // namespace torvane
