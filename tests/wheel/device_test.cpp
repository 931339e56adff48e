// The DirectInput rules of wheel/device, driven through its COM interfaces over a stub driver,
// and the call journal it keeps.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "platform/resources.h"
#include "support/stub_driver.h"
#include "wheel/device.h"
#include "wheel/journal.h"

namespace {

using platform::ComPtr;

struct Rig {
    stub::Wheel wheel;
    wheel::Journal journal{256};
    ComPtr<IDirectInputDevice8W> device{
        wheel::createDevice(std::make_unique<stub::Driver>(wheel), &journal)};
    ComPtr<IDirectInputEffect> effect;
    DICONSTANTFORCE force{2500};
    DWORD axis = DIJOFS_X;
    LONG direction = 1;
    DIEFFECT parameters = describe(sizeof force, &force);

    DIEFFECT describe(DWORD size, void* record) {
        DIEFFECT e{};
        e.dwSize = sizeof e;
        e.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS;
        e.dwDuration = INFINITE;
        e.dwGain = DI_FFNOMINALMAX;
        e.dwTriggerButton = DIEB_NOTRIGGER;
        e.cAxes = 1;
        e.rgdwAxes = &axis;
        e.rglDirection = &direction;
        e.cbTypeSpecificParams = size;
        e.lpvTypeSpecificParams = record;
        return e;
    }
    HWND window = reinterpret_cast<HWND>(std::uintptr_t{0x100});  // never dereferenced
    HRESULT acquire(DWORD level = DISCL_EXCLUSIVE | DISCL_BACKGROUND) {
        device->SetDataFormat(&c_dfDIJoystick2);
        device->SetCooperativeLevel(window, level);
        return device->Acquire();
    }
    HRESULT create(REFGUID type = GUID_ConstantForce) {
        return device->CreateEffect(type, &parameters, effect.put(), nullptr);
    }
    HRESULT setDword(REFGUID property, DWORD value) {
        DIPROPDWORD p{{sizeof p, sizeof p.diph, 0, DIPH_DEVICE}, value};
        return device->SetProperty(property, &p.diph);
    }
    HRESULT setRange(DWORD how, DWORD object, LONG low, LONG high) {
        DIPROPRANGE p{{sizeof p, sizeof p.diph, object, how}, low, high};
        return device->SetProperty(DIPROP_RANGE, &p.diph);
    }
    DIJOYSTATE2 js{};
    HRESULT state(DWORD size = sizeof(DIJOYSTATE2)) { return device->GetDeviceState(size, &js); }
    HRESULT update(DWORD flags = DIEP_TYPESPECIFICPARAMS) {
        return effect->SetParameters(&parameters, flags);
    }
    DWORD status() {
        DWORD s = 0xDEAD;
        effect->GetEffectStatus(&s);
        return s;
    }
};

struct Rule {
    const char* name;
    std::function<HRESULT(Rig&)> act;
    HRESULT expected;
};

const DWORD kXId = DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(0) | DIDFT_FFACTUATOR;

const Rule kRules[] = {
    {"Acquire needs a data format", [](Rig& r) { return r.device->Acquire(); }, DIERR_INVALIDPARAM},
    {"Acquire twice", [](Rig& r) { return r.acquire(), r.device->Acquire(); }, S_FALSE},
    {"Acquire of an unplugged device",
     [](Rig& r) { return r.wheel.acquireAnswer = wheel::DriverStatus::Unplugged, r.acquire(); },
     static_cast<HRESULT>(DIERR_UNPLUGGED)},
    {"Acquire of a device another program holds",
     [](Rig& r) { return r.wheel.acquireAnswer = wheel::DriverStatus::Refused, r.acquire(); },
     DIERR_OTHERAPPHASPRIO},
    {"exclusive access without a window",
     [](Rig& r) {
         return r.device->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_BACKGROUND);
     },
     E_HANDLE},
    {"SetDataFormat while acquired",
     [](Rig& r) { return r.acquire(), r.device->SetDataFormat(&c_dfDIJoystick2); }, DIERR_ACQUIRED},
    {"GetDeviceState when not acquired",
     [](Rig& r) { return r.device->SetDataFormat(&c_dfDIJoystick2), r.state(); },
     DIERR_NOTACQUIRED},
    {"GetDeviceState with another size", [](Rig& r) { return r.acquire(), r.state(80); },
     DIERR_INVALIDPARAM},
    {"Poll when not acquired", [](Rig& r) { return r.device->Poll(); }, DIERR_NOTACQUIRED},
    {"Poll of a device that needs none", [](Rig& r) { return r.acquire(), r.device->Poll(); },
     DI_NOEFFECT},
    {"Poll of a lost device",
     [](Rig& r) {
         return r.acquire(), r.wheel.answer = wheel::DriverStatus::Lost, r.device->Poll();
     },
     DIERR_INPUTLOST},
    {"autocentering while acquired",
     [](Rig& r) { return r.acquire(), r.setDword(DIPROP_AUTOCENTER, DIPROPAUTOCENTER_OFF); },
     DIERR_ACQUIRED},
    {"a range while acquired",
     [](Rig& r) { return r.acquire(), r.setRange(DIPH_BYID, kXId, -10, 10); }, DIERR_ACQUIRED},
    {"the gain while acquired", [](Rig& r) { return r.acquire(), r.setDword(DIPROP_FFGAIN, 5000); },
     DI_OK},
    {"a range of an axis the device lacks",
     [](Rig& r) { return r.setRange(DIPH_BYID, DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(5), -1, 1); },
     DIERR_OBJECTNOTFOUND},
    {"CreateEffect of an unknown GUID", [](Rig& r) { return r.create(GUID_XAxis); },
     DIERR_DEVICENOTREG},
    {"CreateEffect of a kind the device lacks", [](Rig& r) { return r.create(GUID_Spring); },
     DIERR_UNSUPPORTED},
    {"CreateEffect on a full device",
     [](Rig& r) {
         return r.acquire(), r.wheel.downloadAnswer = wheel::DriverStatus::NoRoom, r.create();
     },
     static_cast<HRESULT>(DIERR_DEVICEFULL)},
    {"SetParameters without exclusive acquisition",
     [](Rig& r) {
         return r.create(), r.acquire(DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), r.update();
     },
     static_cast<HRESULT>(DI_DOWNLOADSKIPPED)},
    {"SetParameters with DIEP_NODOWNLOAD",
     [](Rig& r) {
         return r.acquire(), r.create(), r.update(DIEP_TYPESPECIFICPARAMS | DIEP_NODOWNLOAD);
     },
     static_cast<HRESULT>(DI_DOWNLOADSKIPPED)},
    {"SetParameters when exclusively acquired",
     [](Rig& r) { return r.acquire(), r.create(), r.update(); }, DI_OK},
    {"SetParameters with another dwSize",
     [](Rig& r) { return r.create(), r.parameters.dwSize -= 4, r.update(); }, DIERR_INVALIDPARAM},
    {"a constant force beyond 10000",
     [](Rig& r) { return r.create(), r.force.lMagnitude = -10001, r.update(); },
     DIERR_INVALIDPARAM},
    {"a record of another effect type",
     [](Rig& r) { return r.create(), r.parameters.cbTypeSpecificParams = 16, r.update(); },
     DIERR_INVALIDPARAM},
    {"a damper coefficient beyond 10000",
     [](Rig& r) {
         DICONDITION c{0, 10001, 0, 10000, 10000, 0};
         return r.parameters = r.describe(sizeof c, &c), r.create(GUID_Damper);
     },
     DIERR_INVALIDPARAM},
    {"two axes", [](Rig& r) { return r.parameters.cAxes = 2, r.create(); }, DIERR_INVALIDPARAM},
    {"an axis that is not X", [](Rig& r) { return r.axis = DIJOFS_Y, r.create(); },
     DIERR_INVALIDPARAM},
    {"Start without exclusive acquisition",
     [](Rig& r) {
         return r.acquire(DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), r.create(), r.effect->Start(1, 0);
     },
     static_cast<HRESULT>(DIERR_NOTEXCLUSIVEACQUIRED)},
    {"Start with DIES_NODOWNLOAD before a download",
     [](Rig& r) { return r.create(), r.acquire(), r.effect->Start(1, DIES_NODOWNLOAD); },
     static_cast<HRESULT>(DIERR_NOTDOWNLOADED)},
    {"Download of an effect without parameters",
     [](Rig& r) {
         return r.acquire(), r.device->CreateEffect(GUID_Sine, nullptr, r.effect.put(), nullptr),
                r.effect->Download();
     },
     static_cast<HRESULT>(DIERR_INCOMPLETEEFFECT)},
    {"Download of an effect already downloaded",
     [](Rig& r) { return r.acquire(), r.create(), r.effect->Download(); }, S_FALSE},
    {"a force-feedback command without exclusive acquisition",
     [](Rig& r) { return r.device->SendForceFeedbackCommand(DISFFC_STOPALL); },
     static_cast<HRESULT>(DIERR_NOTEXCLUSIVEACQUIRED)},
    {"DISFFC_PAUSE",
     [](Rig& r) { return r.acquire(), r.device->SendForceFeedbackCommand(DISFFC_PAUSE); },
     DIERR_UNSUPPORTED},
};

TEST(WheelDevice, KeepsDirectInputsRules) {
    for (const Rule& rule : kRules) {
        Rig rig;
        const HRESULT hr = rule.act(rig);
        EXPECT_EQ(hr, rule.expected) << rule.name;
        ASSERT_GT(rig.journal.size(), 0u) << rule.name;
        const wheel::JournalEntry last = rig.journal.entries().back();
        EXPECT_EQ(last.result, hr) << rule.name << ": " << wheel::describe(last);
        if (FAILED(hr) && last.method == wheel::Method::CreateEffect) {
            EXPECT_FALSE(rig.effect) << rule.name;  // the out pointer is nulled
        }
    }
}

// A loss and an Unacquire both stop and unload every effect; it plays again only after Start,
// and the effect object stays valid throughout.
TEST(WheelDevice, LossAndUnacquireUnloadEffectsThatStayUsable) {
    for (const bool lose : {true, false}) {
        Rig r;
        ASSERT_EQ(r.acquire(), DI_OK);
        ASSERT_EQ(r.create(), DI_OK);
        ASSERT_EQ(r.effect->Start(1, 0), DI_OK);
        if (lose) {
            r.wheel.answer = wheel::DriverStatus::Lost;
            EXPECT_EQ(r.state(), DIERR_INPUTLOST);
            EXPECT_EQ(r.state(), DIERR_NOTACQUIRED);  // no longer acquired
            r.wheel.answer = wheel::DriverStatus::Ok;
        } else {
            EXPECT_EQ(r.device->Unacquire(), DI_OK);
        }
        EXPECT_TRUE(r.wheel.loaded.empty() && r.wheel.playing.empty()) << lose;
        EXPECT_EQ(r.wheel.calls.back(), "unacquire");
        EXPECT_EQ(r.update(), static_cast<HRESULT>(DI_DOWNLOADSKIPPED));
        ASSERT_EQ(r.device->Acquire(), DI_OK);
        EXPECT_EQ(r.status(), 0u);
        EXPECT_TRUE(r.wheel.playing.empty());
        EXPECT_EQ(r.effect->Start(1, 0), DI_OK);
        EXPECT_EQ(r.status(), static_cast<DWORD>(DIEGES_PLAYING));
        EXPECT_EQ(r.wheel.loaded.size(), 1u);
    }
}

TEST(WheelDevice, ResetUnloadsStopAllStopsAndReleaseUnloads) {
    Rig r;
    ASSERT_EQ(r.acquire(), DI_OK);
    ASSERT_EQ(r.create(), DI_OK);
    ASSERT_EQ(r.effect->Start(1, 0), DI_OK);
    EXPECT_EQ(r.device->SendForceFeedbackCommand(DISFFC_STOPALL), DI_OK);
    EXPECT_EQ(r.status(), 0u);
    EXPECT_EQ(r.wheel.loaded.size(), 1u);
    EXPECT_EQ(r.device->SendForceFeedbackCommand(DISFFC_RESET), DI_OK);
    EXPECT_TRUE(r.wheel.loaded.empty());
    EXPECT_EQ(r.wheel.gain, 0u);  // the actuators are off after a reset
    EXPECT_EQ(r.device->SendForceFeedbackCommand(DISFFC_SETACTUATORSON), DI_OK);
    EXPECT_EQ(r.wheel.gain, 10000u);
    EXPECT_EQ(r.effect->Start(1, 0), DI_OK);  // downloads it again
    EXPECT_EQ(r.wheel.loaded.size(), 1u);

    // The effect holds the device: released first, it still answers; the effect's last release
    // unloads it, then the device goes and gives the wheel back.
    r.device.reset();
    EXPECT_EQ(r.effect->Stop(), DI_OK);
    r.effect.reset();
    EXPECT_TRUE(r.wheel.loaded.empty());
    EXPECT_EQ(r.wheel.calls.back(), "unacquire");
}

TEST(WheelDevice, MapsTheInputOntoTheRangesSet) {
    Rig r;
    r.wheel.input.axisTravel = {1.0, 0.5, 0.0};
    r.wheel.input.buttons[3] = true;
    r.wheel.input.pov[0] = 9000;
    ASSERT_EQ(r.setRange(DIPH_DEVICE, 0, -100, 100), DI_OK);
    ASSERT_EQ(r.setRange(DIPH_BYID, kXId, -10000, 10000), DI_OK);
    DIPROPRANGE range{{sizeof range, sizeof range.diph, DIJOFS_Y, DIPH_BYOFFSET}, 0, 0};
    ASSERT_EQ(r.device->GetProperty(DIPROP_RANGE, &range.diph), DI_OK);
    EXPECT_EQ(range.lMin, -100);
    ASSERT_EQ(r.acquire(), DI_OK);
    ASSERT_EQ(r.state(), DI_OK);
    const DIJOYSTATE2& s = r.js;
    EXPECT_EQ(s.lX, 10000);
    EXPECT_EQ(s.lY, 0);
    EXPECT_EQ(s.lZ, -100);
    EXPECT_EQ(s.lRx, 0);  // absent
    EXPECT_EQ(s.rgbButtons[3], 0x80);
    EXPECT_EQ(s.rgbButtons[2], 0);
    EXPECT_EQ(s.rgdwPOV[0], 9000u);
    EXPECT_EQ(s.rgdwPOV[1], 0xFFFFFFFFu);
}

TEST(WheelDevice, DescribesItsObjectsEffectsAndCapabilities) {
    Rig r;
    auto count = [&](DWORD filter) {
        std::vector<DIDEVICEOBJECTINSTANCEW> seen;
        r.device->EnumObjects(
            [](LPCDIDEVICEOBJECTINSTANCEW o, LPVOID c) {
                static_cast<std::vector<DIDEVICEOBJECTINSTANCEW>*>(c)->push_back(*o);
                return DIENUM_CONTINUE;
            },
            &seen, filter);
        return seen;
    };
    EXPECT_EQ(count(DIDFT_ALL).size(), 16u);
    EXPECT_EQ(count(DIDFT_AXIS).size(), 3u);
    EXPECT_EQ(count(DIDFT_BUTTON).size(), 12u);
    EXPECT_EQ(count(DIDFT_POV).size(), 1u);
    const auto actuators = count(DIDFT_AXIS | DIDFT_FFACTUATOR);
    ASSERT_EQ(actuators.size(), 1u);
    EXPECT_TRUE(actuators[0].guidType == GUID_XAxis);
    EXPECT_EQ(actuators[0].dwType, kXId);

    DIDEVCAPS caps{};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(r.device->GetCapabilities(&caps), DI_OK);
    EXPECT_EQ(caps.dwFlags, static_cast<DWORD>(DIDC_ATTACHED | DIDC_FORCEFEEDBACK));
    EXPECT_EQ(caps.dwAxes, 3u);

    std::vector<DWORD> types;
    auto collect = [](LPCDIEFFECTINFOW info, LPVOID c) {
        static_cast<std::vector<DWORD>*>(c)->push_back(info->dwEffType);
        return DIENUM_CONTINUE;
    };
    r.device->EnumEffects(collect, &types, DIEFT_ALL);
    EXPECT_EQ(types.size(), 4u);
    types.clear();
    r.device->EnumEffects(collect, &types, DIEFT_PERIODIC);
    EXPECT_EQ(types, (std::vector<DWORD>{DIEFT_PERIODIC, DIEFT_PERIODIC}));
    DIEFFECTINFOW info{};
    info.dwSize = sizeof info;
    EXPECT_EQ(r.device->GetEffectInfo(&info, GUID_Spring), DIERR_DEVICENOTREG);
    EXPECT_EQ(r.device->GetEffectInfo(&info, GUID_Damper), DI_OK);
    EXPECT_NE(info.dwEffType & DIEFT_CONDITION, 0u);
}

TEST(WheelDevice, GetParametersGivesBackWhatWasSet) {
    Rig r;
    DIPERIODIC wave{660, -5, 9000, 16260};
    r.parameters = r.describe(sizeof wave, &wave);
    ASSERT_EQ(r.create(GUID_Sine), DI_OK);
    GUID guid{};
    ASSERT_EQ(r.effect->GetEffectGuid(&guid), DI_OK);
    EXPECT_TRUE(guid == GUID_Sine);
    DIPERIODIC back{};
    DWORD axis = 0;
    DIEFFECT out = r.describe(sizeof back, &back);
    out.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTIDS;
    out.rgdwAxes = &axis;
    ASSERT_EQ(r.effect->GetParameters(&out, DIEP_TYPESPECIFICPARAMS | DIEP_AXES), DI_OK);
    EXPECT_EQ(back.dwMagnitude, 660u);
    EXPECT_EQ(back.lOffset, -5);
    EXPECT_EQ(back.dwPeriod, 16260u);
    EXPECT_EQ(axis, kXId);
}

// The journal keeps the newest entries when full and counts the others.
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
    Rig r;
    ASSERT_EQ(r.acquire(), DI_OK);
    ASSERT_EQ(r.create(), DI_OK);
    r.force.lMagnitude = -420;
    ASSERT_EQ(r.update(), DI_OK);
    r.force.lMagnitude = 20000;  // refused: nothing of it is kept
    ASSERT_EQ(r.update(), DIERR_INVALIDPARAM);
    ASSERT_EQ(r.effect->Start(1, 0), DI_OK);

    const auto created = r.journal.entries(wheel::Method::CreateEffect, 0);
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0].parameters.level, 2500);
    const auto updates = r.journal.entries(wheel::Method::SetParameters, 0);
    ASSERT_EQ(updates.size(), 2u);
    EXPECT_FALSE(updates[1].hasParameters);
    ASSERT_TRUE(r.journal.lastParameters(0).has_value());
    EXPECT_EQ(r.journal.lastParameters(0)->level, -420);
    EXPECT_EQ(r.journal.entries(wheel::Method::Start, 0).size(), 1u);
    const std::string text = wheel::describe(updates[0]);
    EXPECT_NE(text.find("SetParameters effect 0 arg 0x100 -> 0x00000000 {ConstantForce"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("level -420"), std::string::npos) << text;
}

}  // namespace
