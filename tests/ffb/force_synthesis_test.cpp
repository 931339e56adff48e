#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>

#include "ffb/effect_records.h"
#include "ffb/effect_set.h"
#include "support/fake_directinput.h"

namespace torvane {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

/// What one apply sent: magnitudes in DirectInput units, periods in microseconds.
struct Sent {
    LONG constant = 0;
    DWORD engine = 0;
    DWORD enginePeriod = 0;
    DWORD road = 0;
    DWORD roadPeriod = 0;
    DWORD curb = 0;
    DWORD curbPeriod = 0;
    LONG damper = 0;
    bool operator==(const Sent&) const = default;
};

void PrintTo(const Sent& s, std::ostream* os) {
    *os << "{constant " << s.constant << ", engine " << s.engine << "/" << s.enginePeriod
        << ", road " << s.road << "/" << s.roadPeriod << ", curb " << s.curb << "/" << s.curbPeriod
        << ", damper " << s.damper << "}";
}

DIPERIODIC expectPeriodic(const fake::EffectParameters& record, const EffectSet& set) {
    test::expectTemplate(record, set, sizeof(DIPERIODIC));
    const auto periodic = record.as<DIPERIODIC>();
    EXPECT_EQ(periodic.lOffset, 0);
    EXPECT_EQ(periodic.dwPhase, 0u);
    return periodic;
}

/// Applies frame and gain once to a fresh set and reads back the five records it sent, checking
/// on the way everything about them that never varies.
Sent applyOnce(const TelemetryFrame& frame, double gain) {
    fake::FakeWorld world;
    fake::FakeDevice& device = world.addDevice();
    EffectSet set(&device);
    std::ostringstream out;
    set.create(out);
    const std::size_t created = world.parameters().size();
    set.apply(frame, gain);

    Sent sent;
    const auto& records = world.parameters();
    EXPECT_EQ(records.size(), created + 5);
    if (records.size() != created + 5) return sent;
    const fake::EffectParameters* r = &records[created];
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(r[i].effect, "effect" + std::to_string(i + 1));
        EXPECT_EQ(r[i].flags, 0x100u);  // the type-specific parameters alone
    }

    test::expectTemplate(r[0], set, sizeof(DICONSTANTFORCE));
    sent.constant = r[0].as<DICONSTANTFORCE>().lMagnitude;
    const DIPERIODIC engine = expectPeriodic(r[1], set);
    const DIPERIODIC road = expectPeriodic(r[2], set);
    const DIPERIODIC curb = expectPeriodic(r[3], set);
    sent.engine = engine.dwMagnitude;
    sent.enginePeriod = engine.dwPeriod;
    sent.road = road.dwMagnitude;
    sent.roadPeriod = road.dwPeriod;
    sent.curb = curb.dwMagnitude;
    sent.curbPeriod = curb.dwPeriod;

    test::expectTemplate(r[4], set, sizeof(DICONDITION));
    const auto condition = r[4].as<DICONDITION>();
    EXPECT_EQ(condition.lOffset, 0);
    EXPECT_EQ(condition.lNegativeCoefficient, condition.lPositiveCoefficient);
    EXPECT_EQ(condition.dwPositiveSaturation, 10000u);
    EXPECT_EQ(condition.dwNegativeSaturation, 10000u);
    EXPECT_EQ(condition.lDeadBand, 0);
    sent.damper = condition.lPositiveCoefficient;
    return sent;
}

// ---------------------------------------------------------------------------------------------
// Exact records

struct SynthesisCase {
    std::string_view name;
    TelemetryFrame frame;
    double gain;
    Sent expected;
};

void PrintTo(const SynthesisCase& c, std::ostream* os) {
    *os << c.name;
}

class ForceSynthesisRecords : public ::testing::TestWithParam<SynthesisCase> {};

TEST_P(ForceSynthesisRecords, SendsTheseRecords) {
    EXPECT_EQ(applyOnce(GetParam().frame, GetParam().gain), GetParam().expected);
}

// Idle: 8 Hz engine, 35 Hz road, 55 Hz curb; only the damper has strength.
constexpr Sent kIdle{0, 0, 125000, 0, 28571, 0, 18181, 250};

Sent idleWith(Sent changes) {
    Sent s = kIdle;
    if (changes.constant != 0) s.constant = changes.constant;
    if (changes.engine != 0) s.engine = changes.engine;
    if (changes.enginePeriod != 0) s.enginePeriod = changes.enginePeriod;
    if (changes.road != 0) s.road = changes.road;
    if (changes.roadPeriod != 0) s.roadPeriod = changes.roadPeriod;
    if (changes.curb != 0) s.curb = changes.curb;
    if (changes.curbPeriod != 0) s.curbPeriod = changes.curbPeriod;
    if (changes.damper != 0) s.damper = changes.damper;
    return s;
}

const SynthesisCase kSynthesisCases[] = {
    {"WorkedExample",
     {.aligningTorque = -0.42,
      .engineHz = 61.5,
      .engineGain = 0.3,
      .roadGain = 0.12,
      .curbPulse = 0.8,
      .speed = 27.4,
      .verticalAccel = 1.6,
      .curb = true},
     0.1,
     {-420, 660, 16260, 176, 13890, 800, 9585, 250}},
    {"EmptyFrame", {}, 0.1, kIdle},
    {"GainZeroStillSendsPeriods",
     {.aligningTorque = 1,
      .engineHz = 60,
      .engineGain = 1,
      .roadGain = 1,
      .curbPulse = 1,
      .curb = true},
     0.0,
     {0, 0, 16666, 0, 28571, 0, 18181, 0}},
    // Saturation at the hard maximum gain.
    {"TorqueSaturatesRight",
     {.aligningTorque = 2.0},
     0.35,
     idleWith({.constant = 3500, .damper = 875})},
    {"TorqueSaturatesLeft",
     {.aligningTorque = -3.0},
     0.35,
     idleWith({.constant = -3500, .damper = 875})},
    {"TorqueHalf", {.aligningTorque = 0.5}, 0.1, idleWith({.constant = 500})},
    {"TorqueHalfInverted", {.aligningTorque = -0.5}, 0.1, idleWith({.constant = -500})},
    {"TinyTorqueTruncatesToZero", {.aligningTorque = 0.00099}, 0.1, kIdle},
    {"TinyNegativeTorqueTruncatesTowardZero",
     {.aligningTorque = -0.00199},
     0.1,
     idleWith({.constant = -1})},
    // Engine.
    {"Engine60Hz",
     {.engineHz = 60, .engineGain = 0.3},
     0.1,
     idleWith({.engine = 660, .enginePeriod = 16666})},
    {"EngineGainSaturates",
     {.engineHz = 60, .engineGain = 0.5},
     0.1,
     idleWith({.engine = 1000, .enginePeriod = 16666})},
    {"EngineNegativeGainIsSilent",
     {.engineHz = 60, .engineGain = -0.5},
     0.1,
     idleWith({.enginePeriod = 16666})},
    {"EngineAbove180Hz", {.engineHz = 500}, 0.1, idleWith({.enginePeriod = 5555})},
    {"EngineBelow8Hz", {.engineHz = 3}, 0.1, kIdle},
    {"EngineNegativeHz", {.engineHz = -40}, 0.1, kIdle},
    // Speed sets the road and curb frequencies.
    {"Speed45", {.speed = 45}, 0.1, idleWith({.roadPeriod = 10443, .curbPeriod = 7352})},
    {"Speed100", {.speed = 100}, 0.1, idleWith({.roadPeriod = 6389, .curbPeriod = 5555})},
    {"Speed70CurbCappedAt180Hz",
     {.speed = 70},
     0.1,
     idleWith({.roadPeriod = 7722, .curbPeriod = 5555})},
    {"NegativeSpeedCountsAsZero", {.speed = -30}, 0.1, kIdle},
    // Road.
    {"RoadGain", {.roadGain = 0.75}, 0.1, idleWith({.road = 750})},
    {"RoadGainOffroad", {.roadGain = 0.75, .offroad = true}, 0.1, idleWith({.road = 930})},
    {"RoadVerticalAccelMagnitudeOffroad",
     {.verticalAccel = -10, .offroad = true},
     0.1,
     idleWith({.road = 530})},
    {"RoadSaturates", {.roadGain = 2}, 0.1, idleWith({.road = 1000})},
    {"RoadNegativeSumIsSilent", {.roadGain = -2, .verticalAccel = 1}, 0.1, kIdle},
    // Curb.
    {"CurbFullPulse", {.curbPulse = 1, .curb = true}, 0.1, idleWith({.curb = 1000})},
    {"CurbPulseFloor", {.curbPulse = 0, .curb = true}, 0.1, idleWith({.curb = 100})},
    {"CurbNegativePulse",
     {.curbPulse = -0.5, .curb = true},
     0.35,
     idleWith({.curb = 1750, .damper = 875})},
    {"CurbPulseSaturates", {.curbPulse = 7, .curb = true}, 0.1, idleWith({.curb = 1000})},
    {"CurbOffIgnoresPulse", {.curbPulse = 1, .curb = false}, 0.1, kIdle},
    // Slip values drive nothing.
    {"SlipChangesNothing", {.tireSlip = 5, .tractionSlip = -3}, 0.1, kIdle},
};

INSTANTIATE_TEST_SUITE_P(ForceSynthesis, ForceSynthesisRecords,
                         ::testing::ValuesIn(kSynthesisCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The reader never produces these; the synthesis must still send nothing out of range. A NaN
// counts as 0, so it never becomes a full-scale pull.
const SynthesisCase kNonFiniteCases[] = {
    {"NaNTorque", {.aligningTorque = kNaN}, 0.1, kIdle},
    {"InfiniteTorque", {.aligningTorque = kInf}, 0.1, idleWith({.constant = 1000})},
    {"MinusInfiniteTorque", {.aligningTorque = -kInf}, 0.1, idleWith({.constant = -1000})},
    {"NaNEngine", {.engineHz = kNaN, .engineGain = kNaN}, 0.1, kIdle},
    {"InfiniteEngine",
     {.engineHz = kInf, .engineGain = kInf},
     0.1,
     idleWith({.engine = 1000, .enginePeriod = 5555})},
    {"InfiniteMinusInfiniteRoad", {.roadGain = -kInf, .verticalAccel = kInf}, 0.1, kIdle},
    {"NaNRoad", {.roadGain = kNaN, .offroad = true}, 0.1, kIdle},
    {"NaNSpeed", {.speed = kNaN}, 0.1, kIdle},
    {"InfiniteSpeed", {.speed = kInf}, 0.1, idleWith({.roadPeriod = 6389, .curbPeriod = 5555})},
    {"NaNCurbPulse", {.curbPulse = kNaN, .curb = true}, 0.1, idleWith({.curb = 100})},
    {"NaNGain",
     {.aligningTorque = 1, .engineGain = 1, .roadGain = 1, .curbPulse = 1, .curb = true},
     kNaN,
     {0, 0, 125000, 0, 28571, 0, 18181, 0}},
    {"MinusInfiniteGain",
     {.aligningTorque = 1, .engineGain = 1, .roadGain = 1, .curbPulse = 1, .curb = true},
     -kInf,
     {0, 0, 125000, 0, 28571, 0, 18181, 0}},
    // Whatever gain a caller passes, nothing exceeds the hard maximum of 0.35.
    {"InfiniteGainOnEmptyFrame", {}, kInf, {0, 0, 125000, 0, 28571, 0, 18181, 875}},
    {"GainAboveTheMaximum",
     {.aligningTorque = -1, .engineGain = 1, .roadGain = 1, .curbPulse = 1, .curb = true},
     5.0,
     {-3500, 3500, 125000, 3500, 28571, 3500, 18181, 875}},
};

INSTANTIATE_TEST_SUITE_P(ForceSynthesisNonFinite, ForceSynthesisRecords,
                         ::testing::ValuesIn(kNonFiniteCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Bounds over random frames

double randomValue(std::mt19937_64& rng) {
    static const double kSpecial[] = {0.0,
                                      -0.0,
                                      std::numeric_limits<double>::denorm_min(),
                                      -std::numeric_limits<double>::denorm_min(),
                                      std::numeric_limits<double>::min(),
                                      std::numeric_limits<double>::max(),
                                      std::numeric_limits<double>::lowest(),
                                      1.0 / 2.2,
                                      69.44,
                                      70.0,
                                      90.0,
                                      8.0,
                                      180.0,
                                      -1.0,
                                      1.0};
    switch (std::uniform_int_distribution<int>(0, 3)(rng)) {
        case 0:
            return std::uniform_real_distribution<double>(-2.0, 2.0)(rng);
        case 1:
            return std::uniform_real_distribution<double>(-300.0, 300.0)(rng);
        case 2: {  // any magnitude from subnormal to huge, either sign
            const double exponent = std::uniform_real_distribution<double>(-323.0, 308.0)(rng);
            const double sign = std::bernoulli_distribution(0.5)(rng) ? 1.0 : -1.0;
            return sign * std::pow(10.0, exponent);
        }
        default:
            return kSpecial[std::uniform_int_distribution<std::size_t>(
                0, std::size(kSpecial) - 1)(rng)];
    }
}

TEST(ForceSynthesisBounds, AnyFiniteFrameStaysWithinTheGainAndTheFrequencyLimits) {
    std::mt19937_64 rng(20240611);
    for (int i = 0; i < 4000; ++i) {
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

        const Sent s = applyOnce(f, gain);
        SCOPED_TRACE(::testing::PrintToString(s) + " at sample " + std::to_string(i));
        const double ceiling = gain * 10000.0;  // never above 3500
        EXPECT_LE(std::abs(s.constant), ceiling);
        EXPECT_LE(s.engine, ceiling);
        EXPECT_LE(s.road, ceiling);
        EXPECT_LE(s.curb, ceiling);
        if (f.curb) {
            EXPECT_GE(s.curb, static_cast<DWORD>(gain * 0.1 * 10000.0));
        } else {
            EXPECT_EQ(s.curb, 0u);
        }
        EXPECT_EQ(s.damper, static_cast<LONG>(gain * 0.25 * 10000.0));
        EXPECT_LE(s.damper, 875);
        EXPECT_GE(s.enginePeriod, 5555u);
        EXPECT_LE(s.enginePeriod, 125000u);
        EXPECT_GE(s.roadPeriod, 6389u);
        EXPECT_LE(s.roadPeriod, 28571u);
        EXPECT_GE(s.curbPeriod, 5555u);
        EXPECT_LE(s.curbPeriod, 18181u);
        if (::testing::Test::HasFailure()) break;  // one sample's story is enough
    }
}

// ---------------------------------------------------------------------------------------------
// One periodic effect

struct PeriodicCase {
    double magnitude;
    double frequency;
    DWORD expectedMagnitude;
    DWORD expectedPeriod;
};

TEST(ForceSynthesisPeriodic, LimitsMagnitudeAndFrequencyBeforeConverting) {
    const PeriodicCase cases[] = {
        {0.5, 0.5, 5000, 1000000},     {0.1, 1.0, 1000, 1000000}, {2.0, 1000.0, 10000, 5555},
        {-1.0, 180.0, 0, 5555},        {0.00005, 3.0, 0, 333333}, {kNaN, kNaN, 0, 1000000},
        {kInf, -kInf, 10000, 1000000}, {-kInf, kInf, 0, 5555},
    };
    for (const PeriodicCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.magnitude << " at " << c.frequency << " Hz");
        fake::FakeWorld world;
        fake::FakeDevice& device = world.addDevice();
        EffectSet set(&device);
        std::ostringstream out;
        set.create(out);
        IDirectInputEffect* effect = world.effects()[1].get();
        set.setPeriodic(effect, c.magnitude, c.frequency);
        ASSERT_EQ(world.parameters().size(), 6u);
        EXPECT_EQ(world.parameters().back().flags, 0x100u);
        const DIPERIODIC sent = expectPeriodic(world.parameters().back(), set);
        EXPECT_EQ(sent.dwMagnitude, c.expectedMagnitude);
        EXPECT_EQ(sent.dwPeriod, c.expectedPeriod);
        set.setPeriodic(nullptr, 1.0, 50.0);  // an effect that could not be created
        EXPECT_EQ(world.parameters().size(), 6u);
    }
}

}  // namespace
}  // namespace torvane
