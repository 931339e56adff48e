#include "controller/diagnose.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "support/wheel_rig.h"

namespace torvane {
namespace {

constexpr std::int64_t kStart = 5'000'000'000;
const std::string kPrompt =
    "\nMove the wheel/pedals and operate every shifter position for 20 seconds.\n";
// The virtual wheel at rest (pedals released read the top of their travel), with buttons.
std::string restLine(const std::string& buttons = "") {
    return R"({"type":"raw-input","axes":{"x":0,"y":10000,"z":10000,"rx":0,"ry":0,"rz":0,)"
           R"("slider0":0,"slider1":0},"buttons":[)" +
           buttons + "]}\n";
}

struct Capture {
    std::string output;
    int passes = 0;  // states read
    int sleeps = 0;
    std::int64_t elapsed = 0;
};

/// Runs the diagnose mode on the virtual wheel on simulated time; afterSleep acts in each pause
/// (its number from 1) and returns false for Ctrl+C. Ctrl+C before the start when stopAtOnce.
Capture diagnose(const std::vector<EffectInfo>& effects,
                 const std::function<bool(fake::Rig&, int)>& afterSleep, bool stopAtOnce = false) {
    fake::Rig rig;
    rig.clock.time = kStart;
    platform::ComPtr<IDirectInputDevice8W> device = rig.openDevice();
    std::atomic<bool> running{!stopAtOnce};
    rig.clock.onSleep = [&](fake::SimulatedClock& c) {
        if (afterSleep && !afterSleep(rig, c.sleeps)) running = false;
    };
    std::ostringstream out;
    runDiagnose(*device, effects, running, rig.clock, out);
    EXPECT_FALSE(rig.clock.runaway) << "the capture kept reading the clock without pausing";
    int passes = 0;
    for (const wheel::JournalEntry& e : rig.journal.entries(wheel::Method::GetDeviceState))
        passes += e.result == DI_OK ? 1 : 0;
    return {out.str(), passes, rig.clock.sleeps, rig.clock.time - kStart};
}

TEST(Diagnose, PrintsEffectsPromptAndEveryChangedStateUntilCtrlC) {
    const std::vector<EffectInfo> effects = {
        {GUID_ConstantForce, TORVANE_WIDE("Constant Force"), 1},
        {GUID_Sine, TORVANE_WIDE("Sinus \u00fc"), 255},
        {GUID_Damper, TORVANE_WIDE("Damper"), 0x00C0FFEE},
    };
    const Capture run = diagnose(effects, [](fake::Rig& rig, int sleep) {
        rig.wheel.pressButton(15, sleep == 2 || sleep == 3);  // the state changes twice
        return sleep < 5;
    });
    // Hexadecimal is for the effect types alone: the state line keeps 15 decimal.
    EXPECT_EQ(run.output,
              "\nSupported effects:\n"
              "  - Constant Force (type 0x1)\n"
              "  - Sinus \xC3\xBC (type 0xff)\n"
              "  - Damper (type 0xc0ffee)\n" +
                  kPrompt + restLine() + restLine("15") + restLine());
    EXPECT_EQ(run.passes, 5);
    EXPECT_EQ(run.sleeps, 5);

    // Cleared before the start: the lists are printed, but no pass is made.
    const Capture never = diagnose({}, nullptr, true);
    EXPECT_EQ(never.output, "\nSupported effects:\n" + kPrompt);
    EXPECT_EQ(never.sleeps, 0);
}

TEST(Diagnose, EndsAtTheDeadlineAndAFailedPassPrintsNothingButPauses) {
    // Lost in the third pass: nothing printed (not even a blank state), the fourth acquires again.
    const Capture run = diagnose({}, [](fake::Rig& rig, int sleep) {
        if (sleep == 2) rig.wheel.loseFor(1);
        return true;
    });
    EXPECT_EQ(run.output, "\nSupported effects:\n" + kPrompt + restLine());
    // Passes start at 0, 40 ms, ... 19.96 s; the one that would start at exactly 20 s does not.
    EXPECT_EQ(run.passes, 499);
    EXPECT_EQ(run.sleeps, 500);
    EXPECT_EQ(run.elapsed, kDiagnoseCaptureNs);
}

}  // namespace
}  // namespace torvane
