// wheel/device's DirectInput rules over a stub driver that keeps what is loaded, playing, acquired.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <set>
#include <source_location>
#include <type_traits>

#include "platform/resources.h"
#include "wheel/device.h"
#include "wheel/direct_input.h"
#include "wheel/journal.h"

namespace {

using wheel::DriverStatus;
using wheel::EffectHandle;
using enum DriverStatus;
using enum wheel::EffectKind;

struct StubWheel {
    // Three axes, twelve buttons, a hat; constant force, sine, square, damper.
    wheel::DriverInfo info{
        .effects = kindBit(ConstantForce) | kindBit(Sine) | kindBit(Square) | kindBit(Damper),
        .axes = {true, true, true},
        .buttonCount = 12,
        .povCount = 1};
    DriverStatus acquireAnswer = Ok, downloadAnswer = Ok, answer = Ok;  // answer: the rest
    bool acquired = false;
    std::set<int> loaded, playing;
    int nextHandle = 0;
    /// Forgets one handle of a set, or all of them (kNoHandle), and answers.
    DriverStatus forget(std::set<int>& from, EffectHandle h) {
        if (h == wheel::kNoHandle) from.clear();
        from.erase(h);
        return answer;
    }
};

struct StubDriver final : wheel::Driver {
    explicit StubDriver(StubWheel& wheel) : w(wheel) {}
    StubWheel& w;
    const wheel::DriverInfo& info() const override { return w.info; }
    DriverStatus acquire(bool) override {
        w.acquired = w.acquireAnswer == Ok;
        return w.acquireAnswer;
    }
    void unacquire() override { w.acquired = false; }
    DriverStatus readInput(wheel::InputState&) override { return w.answer; }
    DriverStatus download(const wheel::EffectParameters&, EffectHandle& h) override {
        if (w.downloadAnswer == Ok && h == wheel::kNoHandle) w.loaded.insert(h = w.nextHandle++);
        return w.downloadAnswer;
    }
    DriverStatus start(EffectHandle h, std::uint32_t) override {
        if (w.answer == Ok) w.playing.insert(h);
        return w.answer;
    }
    DriverStatus stop(EffectHandle h) override { return w.forget(w.playing, h); }
    DriverStatus unload(EffectHandle h) override { return w.forget(w.loaded, h); }
    DriverStatus setGain(std::uint32_t) override { return w.answer; }
    DriverStatus setAutocenter(bool) override { return w.answer; }
    DriverStatus stopAll() override { return w.forget(w.playing, wheel::kNoHandle); }
    DriverStatus reset() override {
        w.forget(w.playing, wheel::kNoHandle);
        return w.forget(w.loaded, wheel::kNoHandle);
    }
};

constexpr DWORD kExclusive = DISCL_EXCLUSIVE | DISCL_BACKGROUND;
constexpr DWORD kFlags = DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS, kRecord = DIEP_TYPESPECIFICPARAMS;
constexpr DWORD kEffectSize = sizeof(DIEFFECT), kForceSize = sizeof(DICONSTANTFORCE);

// A device over a stub; each step answers its DirectInput call's result, a fault or tweak DI_OK.
struct Rig {
    StubWheel wheel;
    wheel::Journal journal{256};
    platform::ComPtr<IDirectInputDevice8W> device{
        wheel::createDevice(std::make_unique<StubDriver>(wheel), &journal)};
    platform::ComPtr<IDirectInputEffect> effect;
    DICONSTANTFORCE force{2500};
    DWORD axis = DIJOFS_X;
    LONG direction = 1;
    DIEFFECT params = {kEffectSize,    kFlags,     INFINITE, 0,     DI_FFNOMINALMAX,
                       DIEB_NOTRIGGER, 0,          1,        &axis, &direction,
                       nullptr,        kForceSize, &force,   0};
    DICONDITION damper{0, 10001, 0, 10000, 10000, 0};  // a coefficient beyond 10000
    DIJOYSTATE2 js{};

    template <typename T>
    static HRESULT set(T& field, std::type_identity_t<T> value) {
        field = value;
        return DI_OK;
    }
    HRESULT acquire(DWORD level) {
        device->SetDataFormat(&c_dfDIJoystick2);
        device->SetCooperativeLevel(reinterpret_cast<HWND>(std::uintptr_t{0x100}), level);
        return device->Acquire();
    }
    HRESULT setRange(DWORD object) {
        DIPROPRANGE p{{sizeof p, sizeof p.diph, object, DIPH_BYID}, -10, 10};
        return device->SetProperty(DIPROP_RANGE, &p.diph);
    }
    HRESULT setDword(REFGUID property, DWORD value) {
        DIPROPDWORD p{{sizeof p, sizeof p.diph, 0, DIPH_DEVICE}, value};
        return device->SetProperty(property, &p.diph);
    }
    HRESULT create(REFGUID type) { return device->CreateEffect(type, &params, effect.put(), {}); }
    DWORD status() {
        DWORD s = 0xDEAD;
        effect->GetEffectStatus(&s);
        return s;
    }

    HRESULT take() { return acquire(kExclusive); }
    HRESULT share() { return acquire(DISCL_NONEXCLUSIVE | DISCL_BACKGROUND); }
    HRESULT acquireAlone() { return device->Acquire(); }
    HRESULT windowless() { return device->SetCooperativeLevel(nullptr, kExclusive); }
    HRESULT format() { return device->SetDataFormat(&c_dfDIJoystick2); }
    HRESULT state() { return device->GetDeviceState(sizeof js, &js); }
    HRESULT shortState() { return device->GetDeviceState(80, &js); }
    HRESULT poll() { return device->Poll(); }
    HRESULT unplug() { return set(wheel.acquireAnswer, Unplugged); }
    HRESULT refuse() { return set(wheel.acquireAnswer, Refused); }
    HRESULT lose() { return set(wheel.answer, Lost); }
    HRESULT fill() { return set(wheel.downloadAnswer, NoRoom); }
    HRESULT rangeX() { return setRange(DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(0) | DIDFT_FFACTUATOR); }
    HRESULT rangeRz() { return setRange(DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(5)); }  // it has none
    HRESULT autocenter() { return setDword(DIPROP_AUTOCENTER, 0); }
    HRESULT gain() { return setDword(DIPROP_FFGAIN, 5000); }
    HRESULT constant() { return create(GUID_ConstantForce); }
    HRESULT spring() { return create(GUID_Spring); }
    HRESULT damped() {
        params.cbTypeSpecificParams = sizeof damper;
        params.lpvTypeSpecificParams = &damper;
        return create(GUID_Damper);
    }
    HRESULT bare() { return device->CreateEffect(GUID_Sine, nullptr, effect.put(), nullptr); }
    HRESULT update() { return effect->SetParameters(&params, kRecord); }
    HRESULT updateOnly() { return effect->SetParameters(&params, kRecord | DIEP_NODOWNLOAD); }
    HRESULT tooStrong() { return set(force.lMagnitude, -10001); }
    HRESULT otherRecord() { return set(params.cbTypeSpecificParams, 16); }
    HRESULT onY() { return set(axis, DIJOFS_Y); }
    HRESULT start() { return effect->Start(1, 0); }
    HRESULT startOnly() { return effect->Start(1, DIES_NODOWNLOAD); }
    HRESULT download() { return effect->Download(); }
    HRESULT stopAll() { return device->SendForceFeedbackCommand(DISFFC_STOPALL); }
};

using R = Rig;

// The steps on a fresh rig answer result at the last; its journal records that call and result,
// and a failed CreateEffect leaves no effect.
void expectRule(std::initializer_list<HRESULT (Rig::*)()> steps, HRESULT result,
                std::source_location at = std::source_location::current()) {
    const testing::ScopedTrace trace(at.file_name(), static_cast<int>(at.line()), "this rule");
    Rig rig;
    HRESULT hr = DI_OK;
    for (const auto step : steps) hr = (rig.*step)();
    EXPECT_EQ(hr, result);
    ASSERT_GT(rig.journal.size(), 0u);
    const wheel::JournalEntry last = rig.journal.entries().back();
    EXPECT_EQ(last.result, hr) << wheel::describe(last);
    EXPECT_FALSE(FAILED(hr) && last.method == wheel::Method::CreateEffect && rig.effect);
}

TEST(WheelDevice, KeepsDirectInputsRules) {
    expectRule({&R::acquireAlone}, DIERR_INVALIDPARAM);  // no data format yet
    expectRule({&R::unplug, &R::take}, HRESULT(DIERR_UNPLUGGED));
    expectRule({&R::refuse, &R::take}, DIERR_OTHERAPPHASPRIO);  // another program's
    expectRule({&R::windowless}, E_HANDLE);
    expectRule({&R::take, &R::format}, DIERR_ACQUIRED);
    expectRule({&R::format, &R::state}, DIERR_NOTACQUIRED);
    expectRule({&R::take, &R::shortState}, DIERR_INVALIDPARAM);
    expectRule({&R::take, &R::lose, &R::poll}, DIERR_INPUTLOST);
    expectRule({&R::take, &R::rangeX}, DIERR_ACQUIRED);
    expectRule({&R::take, &R::autocenter}, DIERR_ACQUIRED);
    expectRule({&R::take, &R::gain}, DI_OK);
    expectRule({&R::rangeRz}, DIERR_OBJECTNOTFOUND);
    expectRule({&R::spring}, DIERR_UNSUPPORTED);
    expectRule({&R::take, &R::fill, &R::constant}, HRESULT(DIERR_DEVICEFULL));
    expectRule({&R::constant, &R::share, &R::update}, HRESULT(DI_DOWNLOADSKIPPED));
    expectRule({&R::take, &R::constant, &R::updateOnly}, HRESULT(DI_DOWNLOADSKIPPED));
    expectRule({&R::constant, &R::tooStrong, &R::update}, DIERR_INVALIDPARAM);
    expectRule({&R::constant, &R::otherRecord, &R::update}, DIERR_INVALIDPARAM);
    expectRule({&R::damped}, DIERR_INVALIDPARAM);
    expectRule({&R::onY, &R::constant}, DIERR_INVALIDPARAM);
    expectRule({&R::share, &R::constant, &R::start}, HRESULT(DIERR_NOTEXCLUSIVEACQUIRED));
    expectRule({&R::constant, &R::take, &R::startOnly}, HRESULT(DIERR_NOTDOWNLOADED));
    expectRule({&R::take, &R::bare, &R::download}, HRESULT(DIERR_INCOMPLETEEFFECT));
    expectRule({&R::take, &R::constant, &R::download}, S_FALSE);  // downloaded already
    expectRule({&R::stopAll}, HRESULT(DIERR_NOTEXCLUSIVEACQUIRED));
}

// A loss and an Unacquire unload every effect; it stays valid and plays again only after Start.
TEST(WheelDevice, LossAndUnacquireUnloadEffectsThatStayUsable) {
    for (const bool lose : {true, false}) {
        SCOPED_TRACE(lose ? "lost" : "unacquired");
        Rig r;
        ASSERT_EQ(r.take(), DI_OK);
        ASSERT_EQ(r.constant(), DI_OK);
        ASSERT_EQ(r.start(), DI_OK);
        if (lose) {
            r.lose();
            EXPECT_EQ(r.state(), DIERR_INPUTLOST);
            EXPECT_EQ(r.state(), DIERR_NOTACQUIRED);
            r.wheel.answer = Ok;
        } else {
            EXPECT_EQ(r.device->Unacquire(), DI_OK);
        }
        EXPECT_TRUE(r.wheel.loaded.empty() && r.wheel.playing.empty());
        EXPECT_FALSE(r.wheel.acquired);
        EXPECT_EQ(r.update(), HRESULT(DI_DOWNLOADSKIPPED));
        ASSERT_EQ(r.acquireAlone(), DI_OK);
        EXPECT_EQ(r.status(), 0u);
        EXPECT_EQ(r.start(), DI_OK);
        EXPECT_EQ(r.status(), static_cast<DWORD>(DIEGES_PLAYING));
        EXPECT_EQ(r.wheel.loaded.size(), 1u);
    }
}

// Stop-all stops and keeps the effects loaded. The effect holds the device: released first, it
// still answers; the effect's last release unloads it, then the device gives the wheel back.
TEST(WheelDevice, StopAllStopsAndTheLastReleaseGivesTheWheelBack) {
    Rig r;
    ASSERT_EQ(r.take(), DI_OK);
    ASSERT_EQ(r.constant(), DI_OK);
    ASSERT_EQ(r.start(), DI_OK);
    EXPECT_EQ(r.stopAll(), DI_OK);
    EXPECT_EQ(r.status(), 0u);
    EXPECT_EQ(r.wheel.loaded.size(), 1u);
    r.device.reset();
    EXPECT_EQ(r.effect->Stop(), DI_OK);
    r.effect.reset();
    EXPECT_TRUE(r.wheel.loaded.empty());
    EXPECT_FALSE(r.wheel.acquired);
}

}  // namespace
