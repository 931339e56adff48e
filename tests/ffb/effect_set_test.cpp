// The force synthesis, one frame and gain per row, and the effects a wheel that lacks some gets.
// The program's run with the worked example is in tests/e2e.
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

TEST(ForceSynthesis, SendsTheseRecords) {
    // Frame: aligningTorque, engineHz, engineGain, roadGain, curbPulse, tireSlip, tractionSlip,
    // speed, verticalAccel, curb, offroad. Sent: constant force; engine, road and curb magnitude
    // and period (us); damper. Clips: whose strength lay outside its limit, constant .. damper.
    const struct {
        TelemetryFrame frame;
        double gain;
        std::array<std::int64_t, 8> sent;
        const char* clips;
    } cases[] = {
        // clang-format off
        {{-0.42, 61.5, 0.3, 0.12, 0.8, 0.05, 0.02, 27.4, 1.6, true, false}, 0.1, {-420, 660, 16260, 176, 13890, 800, 9585, 250}, "00000"},
        {{}, 0.1, {0, 0, 125000, 0, 28571, 0, 18181, 250}, "00000"},  // the lowest frequencies
        {{2, 500, 0.5, 2, -7, 0, 0, 100, 0, true, false}, 0.35, {3500, 3500, 5555, 3500, 6389, 3500, 5555, 875}, "11110"},
        {{-3, 3, -0.5, -2, 0, 0, 0, -30, 1, true, false}, 0.1, {-1000, 0, 125000, 0, 28571, 100, 18181, 250}, "11110"},
        // Units and periods truncate toward zero; slip drives nothing; off the curb, no pulse.
        {{-0.00199, 60, 0, 0, 1, 5, -3, 0, -10, false, true}, 0.1, {-1, 0, 16666, 530, 28571, 0, 18181, 250}, "00000"},
        // The reader never produces these; a NaN must still count as no force, never full scale.
        {{kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, true, true}, 0.1, {0, 0, 125000, 0, 28571, 100, 18181, 250}, "11110"},
        {{-kInf, kInf, kInf, -kInf, kInf, 0, 0, kInf, kInf, true, false}, 0.1, {-1000, 1000, 5555, 0, 6389, 1000, 5555, 250}, "11110"},
        // Whatever gain a caller passes, nothing exceeds the hard maximum of 0.35.
        {{1, 0, 1, 1, 1, 0, 0, 0, 0, true, false}, kNaN, {0, 0, 125000, 0, 28571, 0, 18181, 0}, "01000"},
        {{-1, 0, 1, 1, 1, 0, 0, 0, 0, true, false}, 5.0, {-3500, 3500, 125000, 3500, 28571, 3500, 18181, 875}, "01000"},
        // clang-format on
    };
    fake::Rig rig;
    platform::ComPtr<IDirectInputDevice8W> device = rig.openDevice();
    std::ostringstream out;
    EffectSet set(device.get(), out);
    set.create(out);
    for (const auto& c : cases) {
        set.apply(c.frame, c.gain);
        const SentEffects& s = set.lastSent();
        // clang-format off
        const std::array<std::int64_t, 8> sent = {s.constantForce.magnitude, s.engineSine.magnitude, s.engineSine.periodMicroseconds, s.roadSine.magnitude, s.roadSine.periodMicroseconds, s.curbSquare.magnitude, s.curbSquare.periodMicroseconds, s.damper.magnitude};
        // clang-format on
        std::string clips;
        for (const SentEffect* e :
             {&s.constantForce, &s.engineSine, &s.roadSine, &s.curbSquare, &s.damper})
            clips += e->clipped ? '1' : '0';
        EXPECT_EQ(sent, c.sent) << &c - cases;
        EXPECT_EQ(clips, c.clips) << &c - cases;
    }
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
                created += e.effect >= 0 ? 1 : 0;
            EXPECT_EQ(created, c.created);
            // Updates and stops reach exactly the effects that exist; the device stops anyway.
            set.apply(TelemetryFrame{}, 0.1);
            set.stop();
            EXPECT_EQ(rig.calls(Method::Start).size(), created);
            EXPECT_EQ(rig.calls(Method::Stop).size(), created);
            EXPECT_EQ(rig.calls(Method::SendForceFeedbackCommand).size(), 1u);
        }
        EXPECT_EQ(rig.calls(Method::ReleaseEffect).size(), created);
    }
}

}  // namespace
}  // namespace torvane
