// The call journal: its bound, and what it keeps of a create, SetParameters, Start sequence.
#include <gtest/gtest.h>

#include "platform/resources.h"
#include "support/stub_driver.h"
#include "wheel/device.h"
#include "wheel/journal.h"

namespace {

TEST(WheelJournal, KeepsTheNewestEntriesAndCountsTheDropped) {
    wheel::Journal journal(3);
    for (DWORD i = 0; i < 5; ++i) journal.record({0, wheel::Method::Poll, -1, i, false, {}, DI_OK});
    const auto entries = journal.entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(journal.dropped(), 2u);
    EXPECT_EQ(entries.front().argument, 2u);
    EXPECT_EQ(entries.back().sequence, 4u);
}

TEST(WheelJournal, RecordsTheCallsOfAnEffectWithItsParameters) {
    stub::Wheel stubWheel;
    wheel::Journal journal;
    platform::ComPtr<IDirectInputDevice8W> device(
        wheel::createDevice(std::make_unique<stub::Driver>(stubWheel), &journal));
    device->SetDataFormat(&c_dfDIJoystick2);
    device->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_BACKGROUND);
    ASSERT_EQ(device->Acquire(), DI_OK);

    DICONSTANTFORCE force{0};
    DWORD axis = DIJOFS_X;
    LONG direction = 1;
    DIEFFECT e{};
    e.dwSize = sizeof e;
    e.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS;
    e.dwDuration = INFINITE;
    e.dwGain = DI_FFNOMINALMAX;
    e.dwTriggerButton = DIEB_NOTRIGGER;
    e.cAxes = 1;
    e.rgdwAxes = &axis;
    e.rglDirection = &direction;
    e.cbTypeSpecificParams = sizeof force;
    e.lpvTypeSpecificParams = &force;
    platform::ComPtr<IDirectInputEffect> effect;
    ASSERT_EQ(device->CreateEffect(GUID_ConstantForce, &e, effect.put(), nullptr), DI_OK);
    force.lMagnitude = -420;
    ASSERT_EQ(effect->SetParameters(&e, DIEP_TYPESPECIFICPARAMS), DI_OK);
    force.lMagnitude = 20000;  // refused: nothing of it is kept
    ASSERT_EQ(effect->SetParameters(&e, DIEP_TYPESPECIFICPARAMS), DIERR_INVALIDPARAM);
    ASSERT_EQ(effect->Start(1, 0), DI_OK);

    const auto created = journal.entries(wheel::Method::CreateEffect, 0);
    ASSERT_EQ(created.size(), 1u);
    EXPECT_TRUE(created[0].hasParameters);
    EXPECT_EQ(created[0].parameters.kind, wheel::EffectKind::ConstantForce);
    const auto updates = journal.entries(wheel::Method::SetParameters, 0);
    ASSERT_EQ(updates.size(), 2u);
    EXPECT_EQ(updates[0].argument, static_cast<DWORD>(DIEP_TYPESPECIFICPARAMS));
    EXPECT_EQ(updates[1].result, DIERR_INVALIDPARAM);
    EXPECT_FALSE(updates[1].hasParameters);
    ASSERT_TRUE(journal.lastParameters(0).has_value());
    EXPECT_EQ(journal.lastParameters(0)->level, -420);
    EXPECT_EQ(journal.entries(wheel::Method::Start, 0).size(), 1u);
    EXPECT_EQ(wheel::describe(updates[0]).find("SetParameters effect 0 arg 0x100 -> 0x00000000"),
              3u)
        << wheel::describe(updates[0]);
    EXPECT_NE(wheel::describe(updates[0]).find("level -420"), std::string::npos);
}

}  // namespace
