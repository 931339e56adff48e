#include "support/wheel_rig.h"

#include <sstream>
#include <utility>

#include "app/bridge.h"
#include "controller/setup.h"

namespace fake {
namespace {

using wheel::DriverStatus;
using wheel::EffectHandle;

class WatchedDriver final : public wheel::Driver {
  public:
    WatchedDriver(std::unique_ptr<wheel::Driver> inner, WatchedSource& source)
        : inner_(std::move(inner)), source_(source) {
        ++source_.openDrivers;
    }
    ~WatchedDriver() override { --source_.openDrivers; }
    const wheel::DriverInfo& info() const override { return inner_->info(); }
    DriverStatus acquire(bool exclusive) override { return inner_->acquire(exclusive); }
    void unacquire() override { inner_->unacquire(); }
    DriverStatus readInput(wheel::InputState& state) override {
        if (std::exchange(source_.loseNextRead, false)) return DriverStatus::Lost;
        return inner_->readInput(state);
    }
    DriverStatus download(const wheel::EffectParameters& p, EffectHandle& h) override {
        return inner_->download(p, h);
    }
    DriverStatus start(EffectHandle h, std::uint32_t n) override { return inner_->start(h, n); }
    DriverStatus stop(EffectHandle h) override { return inner_->stop(h); }
    DriverStatus unload(EffectHandle h) override { return inner_->unload(h); }
    DriverStatus setGain(std::uint32_t gain) override { return inner_->setGain(gain); }
    DriverStatus setAutocenter(bool on) override { return inner_->setAutocenter(on); }
    DriverStatus stopAll() override { return inner_->stopAll(); }
    DriverStatus reset() override { return inner_->reset(); }

  private:
    std::unique_ptr<wheel::Driver> inner_;
    WatchedSource& source_;
};

}  // namespace

std::unique_ptr<wheel::Driver> WatchedSource::openDevice(REFGUID instance) {
    if (opensLeft == 0) return nullptr;
    if (opensLeft > 0) --opensLeft;
    std::unique_ptr<wheel::Driver> inner = inner_.openDevice(instance);
    if (inner == nullptr) return nullptr;
    return std::make_unique<WatchedDriver>(std::move(inner), *this);
}

Run Rig::run(torvane::DirectInputCreateFunction create, std::vector<const WCHAR*> extra) {
    std::vector<const WCHAR*> arguments = {TORVANE_WIDE("torvane-bridge.exe")};
    if (create == nullptr) arguments.push_back(TORVANE_WIDE("--virtual-wheel"));
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    std::ostringstream out, err;
    torvane::BridgeEnvironment environment{create, clock, running, out, err};
    environment.virtualWheel = &source;
    environment.journal = &journal;
    const int code =
        torvane::runBridge(static_cast<int>(arguments.size()), arguments.data(), environment);
    return {code, out.str(), err.str()};
}

platform::ComPtr<IDirectInputDevice8W> Rig::openDevice() {
    *directInput_.put() = wheel::createDirectInput(source, &journal);
    platform::ComPtr<IDirectInputDevice8W> device;
    const std::vector<torvane::ControllerInfo> found = torvane::enumerateControllers(*directInput_);
    if (found.empty() || !torvane::openController(*directInput_, found[0], device)) return {};
    const torvane::OwnerWindow window = torvane::createOwnerWindow();
    torvane::setCooperativeLevel(*device, window.get());
    torvane::setAxisRanges(*device);
    if (FAILED(device->Acquire())) return {};
    journal.clear();
    return device;
}

std::vector<wheel::JournalEntry> Rig::calls(wheel::Method method) const {
    std::vector<wheel::JournalEntry> found;
    for (const wheel::JournalEntry& entry : journal.entries())
        if (entry.method == method) found.push_back(entry);
    return found;
}

}  // namespace fake
