// "--low-latency"'s decision to send one effect's parameters, and what it makes of a stream of
// frames on the virtual wheel's journal.
#include "ffb/send_decision.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "ffb/effect_set.h"
#include "support/wheel_rig.h"

namespace torvane {
namespace {

constexpr std::int64_t kMs = 1'000'000;
constexpr std::int64_t kT = 5'000 * kMs;

TEST(SendDecision, SendsChangesKeepAlivesAndAfterAnyDoubt) {
    const AcceptedParameters last{true, 660, 16260, kT};
    const struct {
        const char* what;
        AcceptedParameters last;
        LONG magnitude;
        DWORD period;
        std::int64_t now;
        bool send;
    } cases[] = {
        {"unchanged", last, 660, 16260, kT + 4 * kMs, false},
        {"unchanged, keep-alive not yet due", last, 660, 16260, kT + 100 * kMs - 1, false},
        {"unchanged, keep-alive due", last, 660, 16260, kT + 100 * kMs, true},
        {"magnitude changed", last, 661, 16260, kT + 4 * kMs, true},
        {"period changed", last, 660, 16261, kT + 4 * kMs, true},
        {"sign changed", {true, 420, 0, kT}, -420, 0, kT + 4 * kMs, true},
        {"after a start, re-acquire or failed call", {}, 660, 16260, kT + 4 * kMs, true},
        {"never sent, at time zero", {}, 0, 0, 0, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shouldSend(c.last, c.magnitude, c.period, c.now), c.send) << c.what;
}

// Which effects (0 constant force .. 4 damper) one apply sent, as digits, and whether it started.
std::string sentBy(fake::Rig& rig, EffectSet& set, const TelemetryFrame& frame, std::int64_t now) {
    rig.journal.clear();
    set.apply(frame, 0.1, {}, now);
    std::string sent;
    for (const wheel::JournalEntry& e : rig.calls(wheel::Method::SetParameters))
        sent += static_cast<char>('0' + e.effect);
    if (!rig.calls(wheel::Method::Start).empty()) sent = "start " + sent;
    return sent;
}

TEST(SendDecision, SendsOnlyChangesAndKeepAlivesOnTheWheel) {
    fake::Rig rig;
    platform::ComPtr<IDirectInputDevice8W> device = rig.openDevice();
    std::ostringstream out;
    EffectSet set(device.get(), out);
    set.create(out);
    set.sendOnlyChanges(true);
    TelemetryFrame frame{-0.42, 61.5, 0.3, 0.12, 0.8, 0.05, 0.02, 27.4, 1.6, true, false};

    EXPECT_EQ(sentBy(rig, set, frame, kT), "start 01234");
    std::string steady;  // an unchanged stream, a pass every 4 ms: only the keep-alive
    for (std::int64_t t = kT + 4 * kMs; t <= kT + 200 * kMs; t += 4 * kMs)
        steady += sentBy(rig, set, frame, t);
    EXPECT_EQ(steady, "0123401234");
    EXPECT_EQ(set.lastSent().constantForce.magnitude, -420);  // what the wheel holds

    frame.aligningTorque = 0.5;  // a change goes out in the same pass, alone
    EXPECT_EQ(sentBy(rig, set, frame, kT + 204 * kMs), "0");
    EXPECT_TRUE(set.lastSent().constantForce.sentNow && !set.lastSent().damper.sentNow);

    set.markUnloaded();  // a re-acquired wheel has lost its effects: start and send everything
    EXPECT_EQ(sentBy(rig, set, frame, kT + 208 * kMs), "start 01234");
    set.stop();
    EXPECT_EQ(sentBy(rig, set, frame, kT + 212 * kMs), "start 01234");
}

}  // namespace
}  // namespace torvane
