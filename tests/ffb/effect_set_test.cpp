#include "ffb/effect_set.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "ffb/effect_records.h"
#include "support/fake_directinput.h"

namespace torvane {
namespace {

using Calls = std::vector<std::string>;

Calls onEachEffect(const std::string& method, std::initializer_list<int> effects) {
    Calls calls;
    for (int n : effects) calls.push_back("effect" + std::to_string(n) + "." + method);
    return calls;
}
Calls startAll() {
    return onEachEffect("Start(1,0)", {1, 2, 3, 4, 5});
}
Calls setAll() {
    return onEachEffect("SetParameters(256)", {1, 2, 3, 4, 5});
}
Calls stopAll() {
    Calls calls = onEachEffect("Stop", {1, 2, 3, 4, 5});
    calls.push_back("device1.SendForceFeedbackCommand(2)");
    return calls;
}
Calls releaseAll() {
    return onEachEffect("Release", {5, 4, 3, 2, 1});
}
Calls cat(std::initializer_list<Calls> parts) {
    Calls all;
    for (const Calls& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// ---------------------------------------------------------------------------------------------
// Creation

struct CreationCase {
    std::string_view name;
    std::vector<std::string> refused;  // CreateEffect calls the device fails
    std::string_view line;
    Calls created;  // the effect types that exist afterwards, in creation order
};

void PrintTo(const CreationCase& c, std::ostream* os) {
    *os << c.name;
}

class EffectSetCreation : public ::testing::TestWithParam<CreationCase> {};

TEST_P(EffectSetCreation, ReportsEachEffectAndRunsWithThoseThatExist) {
    const CreationCase& c = GetParam();
    fake::FakeWorld world;
    fake::FakeDevice& device = world.addDevice();
    for (const std::string& refused : c.refused) world.failOn(refused);
    EffectSet set(&device);

    std::ostringstream out;
    set.create(out);
    EXPECT_EQ(out.str(), c.line);
    // Every effect is attempted, whatever happened to the ones before it.
    EXPECT_EQ(world.callsStartingWith("device1.CreateEffect"),
              (Calls{"device1.CreateEffect(ConstantForce)", "device1.CreateEffect(Sine)",
                     "device1.CreateEffect(Sine)", "device1.CreateEffect(Square)",
                     "device1.CreateEffect(Damper)"}));
    Calls created;
    for (const auto& effect : world.effects()) created.push_back(fake::guidName(effect->type()));
    EXPECT_EQ(created, c.created);
    EXPECT_FALSE(set.started());

    // Updates and stops reach exactly the effects that exist; the device is stopped regardless.
    set.apply(TelemetryFrame{}, 0.1);
    EXPECT_TRUE(set.started());
    set.stop();
    EXPECT_FALSE(set.started());
    EXPECT_EQ(world.callsStartingWith("effect*.Start").size(), c.created.size());
    EXPECT_EQ(world.callsStartingWith("effect*.SetParameters").size(), c.created.size());
    EXPECT_EQ(world.callsStartingWith("effect*.Stop").size(), c.created.size());
    EXPECT_EQ(world.callsStartingWith("device1.SendForceFeedbackCommand"),
              Calls{"device1.SendForceFeedbackCommand(2)"});
}

const CreationCase kCreationCases[] = {
    {"AllCreated",
     {},
     "FFB effects: constant=1, engine sine=1, road sine=1, curb square=1, damper=1\n",
     {"ConstantForce", "Sine", "Sine", "Square", "Damper"}},
    {"DamperRefused",
     {"device1.CreateEffect(Damper)"},
     "FFB effects: constant=1, engine sine=1, road sine=1, curb square=1, damper=0\n",
     {"ConstantForce", "Sine", "Sine", "Square"}},
    {"SinesRefused",
     {"device1.CreateEffect(Sine)"},
     "FFB effects: constant=1, engine sine=0, road sine=0, curb square=1, damper=1\n",
     {"ConstantForce", "Square", "Damper"}},
    {"ConstantAndSquareRefused",
     {"device1.CreateEffect(ConstantForce)", "device1.CreateEffect(Square)"},
     "FFB effects: constant=0, engine sine=1, road sine=1, curb square=0, damper=1\n",
     {"Sine", "Sine", "Damper"}},
    {"NothingCreated",
     {"device1.CreateEffect"},
     "FFB effects: constant=0, engine sine=0, road sine=0, curb square=0, damper=0\n",
     {}},
};

INSTANTIATE_TEST_SUITE_P(EffectSet, EffectSetCreation, ::testing::ValuesIn(kCreationCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EffectSetCreation, DescribesEveryEffectWithTheTemplateAndZeroStrength) {
    fake::FakeWorld world;
    fake::FakeDevice& device = world.addDevice();
    EffectSet set(&device);
    std::ostringstream out;
    set.create(out);

    const auto& sent = world.parameters();
    ASSERT_EQ(sent.size(), 5u);
    for (const fake::EffectParameters& record : sent) EXPECT_EQ(record.flags, 0u);

    test::expectTemplate(sent[0], set, sizeof(DICONSTANTFORCE));
    EXPECT_EQ(sent[0].as<DICONSTANTFORCE>().lMagnitude, 0);
    for (std::size_t i = 1; i <= 3; ++i) {
        test::expectTemplate(sent[i], set, sizeof(DIPERIODIC));
        const auto periodic = sent[i].as<DIPERIODIC>();
        EXPECT_EQ(periodic.dwMagnitude, 0u);
        EXPECT_EQ(periodic.lOffset, 0);
        EXPECT_EQ(periodic.dwPhase, 0u);
        EXPECT_EQ(periodic.dwPeriod, 25000u);
    }
    test::expectTemplate(sent[4], set, sizeof(DICONDITION));
    const auto condition = sent[4].as<DICONDITION>();
    EXPECT_EQ(condition.lOffset, 0);
    EXPECT_EQ(condition.lPositiveCoefficient, 0);
    EXPECT_EQ(condition.lNegativeCoefficient, 0);
    EXPECT_EQ(condition.dwPositiveSaturation, 10000u);
    EXPECT_EQ(condition.dwNegativeSaturation, 10000u);
    EXPECT_EQ(condition.lDeadBand, 0);

    // Created, not started.
    EXPECT_TRUE(world.callsStartingWith("effect*.").empty());
}

// ---------------------------------------------------------------------------------------------
// Start, stop and destruction

struct LifecycleCase {
    std::string_view name;
    std::string_view steps;  // 'a' = apply, 's' = stop; then the set is destroyed
    Calls expected;          // every call after creation, destruction included
};

void PrintTo(const LifecycleCase& c, std::ostream* os) {
    *os << c.name;
}

class EffectSetLifecycle : public ::testing::TestWithParam<LifecycleCase> {};

Calls runSteps(std::string_view steps, const std::string& failing = {}) {
    fake::FakeWorld world;
    fake::FakeDevice& device = world.addDevice();
    {
        EffectSet set(&device);
        std::ostringstream out;
        set.create(out);
        world.clearCalls();
        if (!failing.empty()) world.failOn(failing);
        for (char step : steps) {
            if (step == 'a') {
                set.apply(TelemetryFrame{}, 0.1);
                EXPECT_TRUE(set.started());
            } else {
                set.stop();
                EXPECT_FALSE(set.started());
            }
        }
    }
    // Each effect released exactly once; the borrowed device neither released nor kept.
    for (const auto& effect : world.effects()) EXPECT_EQ(effect->references(), 0u);
    EXPECT_EQ(device.references(), 1u);
    return world.calls();
}

TEST_P(EffectSetLifecycle, SendsExactlyTheseCalls) {
    EXPECT_EQ(runSteps(GetParam().steps), GetParam().expected);
}

const LifecycleCase kLifecycleCases[] = {
    {"NeverApplied", "", releaseAll()},
    {"StopBeforeAnyApplyIsSilent", "s", releaseAll()},
    {"DestroyedWhilePlayingStopsFirst", "a", cat({startAll(), setAll(), stopAll(), releaseAll()})},
    {"RepeatedApplyStartsOnceAndSendsEveryTime", "aaa",
     cat({startAll(), setAll(), setAll(), setAll(), stopAll(), releaseAll()})},
    {"SecondStopAndDestructionAreSilent", "ass",
     cat({startAll(), setAll(), stopAll(), releaseAll()})},
    {"ApplyAfterStopStartsAgain", "asa",
     cat({startAll(), setAll(), stopAll(), startAll(), setAll(), stopAll(), releaseAll()})},
};

INSTANTIATE_TEST_SUITE_P(EffectSet, EffectSetLifecycle, ::testing::ValuesIn(kLifecycleCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Failures of these calls change nothing: no retry, and the started flag follows the calls made.
TEST(EffectSetLifecycle, IgnoresFailedStartStopUpdateAndStopAll) {
    const Calls expected =
        cat({startAll(), setAll(), stopAll(), startAll(), setAll(), stopAll(), releaseAll()});
    for (const char* failing : {"effect*.Start", "effect*.Stop", "effect*.SetParameters",
                                "device1.SendForceFeedbackCommand", "effect3."}) {
        SCOPED_TRACE(failing);
        EXPECT_EQ(runSteps("asa", failing), expected);
    }
}

}  // namespace
}  // namespace torvane
