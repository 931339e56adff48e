// wheel/device's DirectInput rules over a stub driver that keeps what is loaded, playing, acquired.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <set>

#include "platform/resources.h"
#include "wheel/device.h"
#include "wheel/direct_input.h"
#include "wheel/journal.h"

namespace {

using wheel::DriverStatus;
using wheel::EffectHandle;

struct StubWheel {
    wheel::DriverInfo info;
    DriverStatus acquireAnswer = DriverStatus::Ok, answer = DriverStatus::Ok,  // answer: the rest
        downloadAnswer = DriverStatus::Ok;
    bool acquired = false;
    std::set<int> loaded, playing;
    int nextHandle = 0;
    StubWheel() {  // three axes, twelve buttons, a hat; constant force, sine, square, damper
        using enum wheel::EffectKind;
        for (const auto kind : {ConstantForce, Sine, Square, Damper})
            info.effects |= wheel::kindBit(kind);
        info.axes[0] = info.axes[1] = info.axes[2] = true;
        info.buttonCount = 12, info.povCount = 1;
    }
};

struct StubDriver final : wheel::Driver {
    explicit StubDriver(StubWheel& wheel) : w(wheel) {}
    StubWheel& w;
    const wheel::DriverInfo& info() const override { return w.info; }
    DriverStatus acquire(bool) override {
        w.acquired = w.acquireAnswer == DriverStatus::Ok;
        return w.acquireAnswer;
    }
    void unacquire() override { w.acquired = false; }
    DriverStatus readInput(wheel::InputState&) override { return w.answer; }
    DriverStatus download(const wheel::EffectParameters&, EffectHandle& h) override {
        if (w.downloadAnswer == DriverStatus::Ok && h == wheel::kNoHandle)
            w.loaded.insert(h = w.nextHandle++);
        return w.downloadAnswer;
    }
    DriverStatus start(EffectHandle h, std::uint32_t) override {
        if (w.answer == DriverStatus::Ok) w.playing.insert(h);
        return w.answer;
    }
    DriverStatus stop(EffectHandle h) override { return w.playing.erase(h), w.answer; }
    DriverStatus unload(EffectHandle h) override { return w.loaded.erase(h), w.answer; }
    DriverStatus setGain(std::uint32_t) override { return w.answer; }
    DriverStatus setAutocenter(bool) override { return w.answer; }
    DriverStatus stopAll() override { return w.playing.clear(), w.answer; }
    DriverStatus reset() override { return w.playing.clear(), w.loaded.clear(), w.answer; }
};

struct Rig {
    StubWheel wheel;
    wheel::Journal journal{256};
    platform::ComPtr<IDirectInputDevice8W> device{
        wheel::createDevice(std::make_unique<StubDriver>(wheel), &journal)};
    platform::ComPtr<IDirectInputEffect> effect;
    DICONSTANTFORCE force{2500};
    DWORD axis = DIJOFS_X;
    LONG direction = 1;
    DIEFFECT parameters = describe(sizeof force, &force);
    DICONDITION damper{0, 10001, 0, 10000, 10000, 0};

    // clang-format off
    DIEFFECT describe(DWORD size, void* record) {
        return {sizeof(DIEFFECT), DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS, INFINITE, 0, DI_FFNOMINALMAX,
                DIEB_NOTRIGGER, 0, 1, &axis, &direction, nullptr, size, record, 0};
    }
    // clang-format on
    HRESULT acquire(DWORD level = DISCL_EXCLUSIVE | DISCL_BACKGROUND) {
        device->SetDataFormat(&c_dfDIJoystick2);
        device->SetCooperativeLevel(reinterpret_cast<HWND>(std::uintptr_t{0x100}), level);
        return device->Acquire();
    }
    HRESULT shared() { return acquire(DISCL_NONEXCLUSIVE | DISCL_BACKGROUND); }
    HRESULT create(REFGUID type = GUID_ConstantForce) {
        return device->CreateEffect(type, &parameters, effect.put(), nullptr);
    }
    HRESULT setRange(DWORD how, DWORD object, LONG low, LONG high) {
        DIPROPRANGE p{{sizeof p, sizeof p.diph, object, how}, low, high};
        return device->SetProperty(DIPROP_RANGE, &p.diph);
    }
    HRESULT setDword(REFGUID property, DWORD value) {
        DIPROPDWORD p{{sizeof p, sizeof p.diph, 0, DIPH_DEVICE}, value};
        return device->SetProperty(property, &p.diph);
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

const DWORD kXId = DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(0) | DIDFT_FFACTUATOR;
const auto kUnplugged = static_cast<HRESULT>(DIERR_UNPLUGGED);
const auto kFull = static_cast<HRESULT>(DIERR_DEVICEFULL);
const auto kSkipped = static_cast<HRESULT>(DI_DOWNLOADSKIPPED);
const auto kNotExclusive = static_cast<HRESULT>(DIERR_NOTEXCLUSIVEACQUIRED);
const auto kNotDownloaded = static_cast<HRESULT>(DIERR_NOTDOWNLOADED);
const auto kIncomplete = static_cast<HRESULT>(DIERR_INCOMPLETEEFFECT);

// One rule's action on a fresh rig, r; the table's rows stay one line each.
#define ACT(...) [](Rig& r) -> HRESULT { return __VA_ARGS__; }
// clang-format off
const struct Rule {
    const char* name;
    std::function<HRESULT(Rig&)> act;
    HRESULT expected;
} kRules[] = {
    {"Acquire needs a data format", ACT(r.device->Acquire()), DIERR_INVALIDPARAM},
    {"Acquire of an unplugged device", ACT(r.wheel.acquireAnswer = DriverStatus::Unplugged, r.acquire()), kUnplugged},
    {"Acquire of a device another program holds", ACT(r.wheel.acquireAnswer = DriverStatus::Refused, r.acquire()), DIERR_OTHERAPPHASPRIO},
    {"exclusive access without a window", ACT(r.device->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_BACKGROUND)), E_HANDLE},
    {"SetDataFormat while acquired", ACT(r.acquire(), r.device->SetDataFormat(&c_dfDIJoystick2)), DIERR_ACQUIRED},
    {"GetDeviceState when not acquired", ACT(r.device->SetDataFormat(&c_dfDIJoystick2), r.state()), DIERR_NOTACQUIRED},
    {"GetDeviceState with another size", ACT(r.acquire(), r.state(80)), DIERR_INVALIDPARAM},
    {"Poll of a lost device", ACT(r.acquire(), r.wheel.answer = DriverStatus::Lost, r.device->Poll()), DIERR_INPUTLOST},
    {"a range while acquired", ACT(r.acquire(), r.setRange(DIPH_BYID, kXId, -10, 10)), DIERR_ACQUIRED},
    {"autocentering while acquired", ACT(r.acquire(), r.setDword(DIPROP_AUTOCENTER, 0)), DIERR_ACQUIRED},
    {"the gain while acquired", ACT(r.acquire(), r.setDword(DIPROP_FFGAIN, 5000)), DI_OK},
    {"a range of an axis the device lacks", ACT(r.setRange(DIPH_BYID, DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(5), -1, 1)), DIERR_OBJECTNOTFOUND},
    {"CreateEffect of a kind the device lacks", ACT(r.create(GUID_Spring)), DIERR_UNSUPPORTED},
    {"CreateEffect on a full device", ACT(r.acquire(), r.wheel.downloadAnswer = DriverStatus::NoRoom, r.create()), kFull},
    {"SetParameters without exclusive acquisition", ACT(r.create(), r.shared(), r.update()), kSkipped},
    {"SetParameters with DIEP_NODOWNLOAD", ACT(r.acquire(), r.create(), r.update(DIEP_TYPESPECIFICPARAMS | DIEP_NODOWNLOAD)), kSkipped},
    {"a constant force beyond 10000", ACT(r.create(), r.force.lMagnitude = -10001, r.update()), DIERR_INVALIDPARAM},
    {"a record of another effect type", ACT(r.create(), r.parameters.cbTypeSpecificParams = 16, r.update()), DIERR_INVALIDPARAM},
    {"a damper coefficient beyond 10000", ACT(r.parameters = r.describe(sizeof r.damper, &r.damper), r.create(GUID_Damper)), DIERR_INVALIDPARAM},
    {"an axis that is not X", ACT(r.axis = DIJOFS_Y, r.create()), DIERR_INVALIDPARAM},
    {"Start without exclusive acquisition", ACT(r.shared(), r.create(), r.effect->Start(1, 0)), kNotExclusive},
    {"Start with DIES_NODOWNLOAD before a download", ACT(r.create(), r.acquire(), r.effect->Start(1, DIES_NODOWNLOAD)), kNotDownloaded},
    {"Download of an effect without parameters", ACT(r.acquire(), r.device->CreateEffect(GUID_Sine, nullptr, r.effect.put(), nullptr), r.effect->Download()), kIncomplete},
    {"Download of an effect already downloaded", ACT(r.acquire(), r.create(), r.effect->Download()), S_FALSE},
    {"a force-feedback command without exclusive acquisition", ACT(r.device->SendForceFeedbackCommand(DISFFC_STOPALL)), kNotExclusive},
};
// clang-format on
#undef ACT

// Each rule's answer, its journal record, and a failed CreateEffect's nulled pointer.
TEST(WheelDevice, KeepsDirectInputsRules) {
    for (const Rule& rule : kRules) {
        Rig rig;
        const HRESULT hr = rule.act(rig);
        EXPECT_EQ(hr, rule.expected) << rule.name;
        ASSERT_GT(rig.journal.size(), 0u) << rule.name;
        const wheel::JournalEntry last = rig.journal.entries().back();
        EXPECT_EQ(last.result, hr) << rule.name << ": " << wheel::describe(last);
        EXPECT_FALSE(FAILED(hr) && last.method == wheel::Method::CreateEffect && rig.effect)
            << rule.name;
    }
}

// A loss and an Unacquire unload every effect; it stays valid and plays again only after Start.
TEST(WheelDevice, LossAndUnacquireUnloadEffectsThatStayUsable) {
    for (const bool lose : {true, false}) {
        SCOPED_TRACE(lose ? "lost" : "unacquired");
        Rig r;
        ASSERT_EQ(r.acquire(), DI_OK);
        ASSERT_EQ(r.create(), DI_OK);
        ASSERT_EQ(r.effect->Start(1, 0), DI_OK);
        if (lose) {
            r.wheel.answer = DriverStatus::Lost;
            EXPECT_EQ(r.state(), DIERR_INPUTLOST);
            EXPECT_EQ(r.state(), DIERR_NOTACQUIRED);
            r.wheel.answer = DriverStatus::Ok;
        } else {
            EXPECT_EQ(r.device->Unacquire(), DI_OK);
        }
        EXPECT_TRUE(r.wheel.loaded.empty() && r.wheel.playing.empty());
        EXPECT_FALSE(r.wheel.acquired);
        EXPECT_EQ(r.update(), kSkipped);
        ASSERT_EQ(r.device->Acquire(), DI_OK);
        EXPECT_EQ(r.status(), 0u);
        EXPECT_EQ(r.effect->Start(1, 0), DI_OK);
        EXPECT_EQ(r.status(), static_cast<DWORD>(DIEGES_PLAYING));
        EXPECT_EQ(r.wheel.loaded.size(), 1u);
    }
}

// Stop-all stops and keeps the effects loaded. The effect holds the device: released first, it
// still answers; the effect's last release unloads it, then the device gives the wheel back.
TEST(WheelDevice, StopAllStopsAndTheLastReleaseGivesTheWheelBack) {
    Rig r;
    ASSERT_EQ(r.acquire(), DI_OK);
    ASSERT_EQ(r.create(), DI_OK);
    ASSERT_EQ(r.effect->Start(1, 0), DI_OK);
    EXPECT_EQ(r.device->SendForceFeedbackCommand(DISFFC_STOPALL), DI_OK);
    EXPECT_EQ(r.status(), 0u);
    EXPECT_EQ(r.wheel.loaded.size(), 1u);
    r.device.reset();
    EXPECT_EQ(r.effect->Stop(), DI_OK);
    r.effect.reset();
    EXPECT_TRUE(r.wheel.loaded.empty());
    EXPECT_FALSE(r.wheel.acquired);
}

}  // namespace
