// A small wheel::Driver for tests of the DirectInput device layer: it answers as its shared state
// says and keeps what is loaded, playing and acquired; and a source of two such controllers.
#pragma once

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "wheel/direct_input.h"

namespace stub {

struct Wheel {
    wheel::DriverInfo info = defaultInfo();
    wheel::InputState input{};
    wheel::DriverStatus acquireAnswer = wheel::DriverStatus::Ok;
    wheel::DriverStatus answer = wheel::DriverStatus::Ok;  ///< every other call
    wheel::DriverStatus downloadAnswer = wheel::DriverStatus::Ok;
    bool acquired = false;
    std::set<int> loaded;
    std::set<int> playing;
    std::uint32_t gain = 10000;
    int nextHandle = 0;

    /// "Stub Wheel": three axes, twelve buttons, a hat; constant force, sine, square, damper.
    static wheel::DriverInfo defaultInfo() {
        using enum wheel::EffectKind;
        wheel::DriverInfo info;
        info.instanceGuid = {0x1234, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
        const std::u16string name = u"Stub Wheel";
        std::copy(name.begin(), name.end(), info.productName.begin());
        for (const auto kind : {ConstantForce, Sine, Square, Damper})
            info.effects |= wheel::kindBit(kind);
        info.axes[0] = info.axes[1] = info.axes[2] = true;
        info.buttonCount = 12;
        info.povCount = 1;
        return info;
    }
};

class Driver final : public wheel::Driver {
  public:
    using Status = wheel::DriverStatus;
    explicit Driver(Wheel& wheel) : w_(wheel) {}
    const wheel::DriverInfo& info() const override { return w_.info; }
    Status acquire(bool) override {
        w_.acquired = w_.acquireAnswer == Status::Ok;
        return w_.acquireAnswer;
    }
    void unacquire() override { w_.acquired = false; }
    Status readInput(wheel::InputState& state) override { return state = w_.input, w_.answer; }
    Status download(const wheel::EffectParameters&, wheel::EffectHandle& handle) override {
        if (w_.downloadAnswer == Status::Ok && handle == wheel::kNoHandle)
            w_.loaded.insert(handle = w_.nextHandle++);
        return w_.downloadAnswer;
    }
    Status start(wheel::EffectHandle handle, std::uint32_t) override {
        if (w_.answer == Status::Ok) w_.playing.insert(handle);
        return w_.answer;
    }
    Status stop(wheel::EffectHandle handle) override { return w_.playing.erase(handle), w_.answer; }
    Status unload(wheel::EffectHandle handle) override {
        return w_.loaded.erase(handle), w_.answer;
    }
    Status setGain(std::uint32_t gain) override { return w_.gain = gain, w_.answer; }
    Status setAutocenter(bool) override { return w_.answer; }
    Status stopAll() override { return w_.playing.clear(), w_.answer; }
    Status reset() override { return w_.playing.clear(), w_.loaded.clear(), w_.answer; }

  private:
    Wheel& w_;
};

/// Two controllers: pedals without force feedback, then the wheel.
class Source final : public wheel::DriverSource {
  public:
    Source() {
        pedals.info.effects = 0;
        pedals.info.instanceGuid.Data1 = 0x9999;
        pedals.info.productName = {u'P', u'e', u'd', u'a', u'l', u's'};
    }
    void listDevices(std::vector<wheel::DriverInfo>& out) override {
        out.push_back(pedals.info);
        out.push_back(wheel.info);
    }
    std::unique_ptr<wheel::Driver> openDevice(REFGUID instance) override {
        for (Wheel* w : {&pedals, &wheel})
            if (w->info.instanceGuid == instance) return std::make_unique<Driver>(*w);
        return nullptr;
    }
    Wheel pedals;
    Wheel wheel;
};

}  // namespace stub
