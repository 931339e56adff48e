#include "ffb/effect_set.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "ffb/effect_records.h"
#include "support/fake_directinput.h"

namespace torvane {
namespace {

using Calls = std::vector<std::string>;

/// Appends method called on each effect, in creation order or in reverse.
void onEachEffect(Calls& calls, const std::string& method, bool reversed = false) {
    for (int i = 1; i <= 5; ++i)
        calls.push_back("effect" + std::to_string(reversed ? 6 - i : i) + "." + method);
}

TEST(EffectSet, ReportsEachEffectAndRunsWithThoseThatExist) {
    const struct {
        std::vector<std::string> refused;  // CreateEffect calls the device fails
        std::string line;
        Calls created;  // the effect types that exist afterwards, in creation order
    } cases[] = {
        {{"device1.CreateEffect(Damper)"},
         "FFB effects: constant=1, engine sine=1, road sine=1, curb square=1, damper=0\n",
         {"ConstantForce", "Sine", "Sine", "Square"}},
        {{"device1.CreateEffect(ConstantForce)", "device1.CreateEffect(Square)"},
         "FFB effects: constant=0, engine sine=1, road sine=1, curb square=0, damper=1\n",
         {"Sine", "Sine", "Damper"}},
        {{"device1.CreateEffect"},
         "FFB effects: constant=0, engine sine=0, road sine=0, curb square=0, damper=0\n",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        fake::FakeWorld world;
        fake::FakeDevice& device = world.addDevice();
        for (const std::string& refused : c.refused) world.failOn(refused);
        std::ostringstream out;
        EffectSet set(&device, out);
        set.create(out);
        EXPECT_EQ(out.str(), c.line);
        // Every effect is attempted, whatever happened to the ones before it.
        EXPECT_EQ(world.callsStartingWith("device1.CreateEffect"),
                  (Calls{"device1.CreateEffect(ConstantForce)", "device1.CreateEffect(Sine)",
                         "device1.CreateEffect(Sine)", "device1.CreateEffect(Square)",
                         "device1.CreateEffect(Damper)"}));
        Calls created;
        for (const auto& effect : world.effects())
            created.push_back(fake::guidName(effect->type()));
        EXPECT_EQ(created, c.created);

        // Updates and stops reach exactly the effects that exist; the device is stopped anyway.
        set.apply(TelemetryFrame{}, 0.1);
        set.stop();
        EXPECT_EQ(world.callsStartingWith("effect*.Start").size(), c.created.size());
        EXPECT_EQ(world.callsStartingWith("effect*.SetParameters").size(), c.created.size());
        EXPECT_EQ(world.callsStartingWith("effect*.Stop").size(), c.created.size());
        EXPECT_EQ(world.callsStartingWith("device1.SendForceFeedbackCommand"),
                  Calls{"device1.SendForceFeedbackCommand(2)"});
    }
}

TEST(EffectSet, CreatesEveryEffectWithTheTemplateAndZeroStrengthWithoutStartingIt) {
    fake::FakeWorld world;
    std::ostringstream out;
    EffectSet set(&world.addDevice(), out);
    set.create(out);

    const auto& sent = world.parameters();
    ASSERT_EQ(sent.size(), 5u);
    test::expectTemplate(sent[0], set, sizeof(DICONSTANTFORCE));
    EXPECT_EQ(sent[0].typeSpecific, test::bytesOf(DICONSTANTFORCE{0}));
    for (std::size_t i = 1; i <= 3; ++i) {
        test::expectTemplate(sent[i], set, sizeof(DIPERIODIC));
        EXPECT_EQ(sent[i].typeSpecific, test::bytesOf(DIPERIODIC{0, 0, 0, 25000}));
    }
    test::expectTemplate(sent[4], set, sizeof(DICONDITION));
    EXPECT_EQ(sent[4].typeSpecific, test::bytesOf(DICONDITION{0, 0, 0, 10000, 10000, 0}));
    EXPECT_TRUE(world.callsStartingWith("effect*.").empty());
    EXPECT_FALSE(set.started());
}

/// Every call after creation for steps ('a' apply, 's' stop), the set's destruction included,
/// with every matching call answering result.
Calls runSteps(const std::string& steps, const std::string& failing = {}, HRESULT result = E_FAIL) {
    fake::FakeWorld world;
    fake::FakeDevice& device = world.addDevice();
    {
        std::ostringstream out;
        EffectSet set(&device, out);
        set.create(out);
        world.clearCalls();
        if (!failing.empty()) world.failOn(failing, result);
        for (char step : steps) {
            if (step == 'a') set.apply(TelemetryFrame{}, 0.1);
            if (step == 's') set.stop();
            EXPECT_EQ(set.started(), step == 'a');
            EXPECT_EQ(set.lastSent().playing, step == 'a');
        }
    }
    // Each effect released exactly once; the borrowed device neither released nor kept.
    for (const auto& effect : world.effects()) EXPECT_EQ(effect->references(), 0u);
    EXPECT_EQ(device.references(), 1u);
    return world.calls();
}

/// The calls for "aassa" and the destruction that follows it.
Calls expectedPlayStopPlay() {
    Calls calls;
    const auto stopAll = [&calls] {
        onEachEffect(calls, "Stop");
        calls.push_back("device1.SendForceFeedbackCommand(2)");
    };
    onEachEffect(calls, "Start(1,0)");  // a: started once...
    onEachEffect(calls, "SetParameters(256)");
    onEachEffect(calls, "SetParameters(256)");  // a: ...but sent every time
    stopAll();                                  // s, and the second s is silent
    onEachEffect(calls, "Start(1,0)");          // a: started again
    onEachEffect(calls, "SetParameters(256)");
    stopAll();  // destroyed while playing
    onEachEffect(calls, "Release", true);
    return calls;
}

TEST(EffectSet, StartsOnceStopsOnceAndReleasesInReverse) {
    Calls releaseOnly;
    onEachEffect(releaseOnly, "Release", true);
    EXPECT_EQ(runSteps("s"), releaseOnly);  // a stop before any apply makes no call
    EXPECT_EQ(runSteps("aassa"), expectedPlayStopPlay());
    // Failures of these calls change nothing: no retry, and started follows the calls made.
    for (const char* failing :
         {"effect*.Stop", "effect*.SetParameters", "device1.SendForceFeedbackCommand"}) {
        EXPECT_EQ(runSteps("aassa", failing), expectedPlayStopPlay()) << failing;
    }
    // A device that says it is no longer acquired has dropped every effect: the next apply
    // starts all five again.
    const HRESULT dropped[] = {DIERR_INPUTLOST, DIERR_NOTACQUIRED,
                               static_cast<HRESULT>(DIERR_NOTEXCLUSIVEACQUIRED),
                               DI_DOWNLOADSKIPPED};
    for (const HRESULT lost : dropped) {
        Calls starts;
        for (const std::string& call : runSteps("aa", "effect2.SetParameters", lost))
            if (call.find(".Start") != std::string::npos) starts.push_back(call);
        EXPECT_EQ(starts.size(), 10u) << lost;
    }
}

}  // namespace
}  // namespace torvane
