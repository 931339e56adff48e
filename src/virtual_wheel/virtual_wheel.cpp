// The virtual wheel as a source of one controller: its identity, the drivers that share the one
// simulated base, the lazy stepping of the model up to the clock's present, and the faults.
#include "virtual_wheel/virtual_wheel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

#include "virtual_wheel/playback.h"
#include "virtual_wheel/rim.h"

namespace virtual_wheel {
namespace {

using wheel::DriverStatus;

constexpr std::int64_t kStepNanoseconds = 1'000'000;
constexpr std::uint64_t kMaxStepsPerTouch = 1000;  // one second: a clock jump never hangs a call
constexpr int kButtons = 16;

// Made up, never assigned to a real product.
constexpr GUID kInstanceGuid = {
    0x7a1c3f52, 0x9d4e, 0x4b8a, {0x8c, 0x31, 0x5e, 0x27, 0xb0, 0x46, 0xd9, 0x13}};
constexpr WORD kVendorId = 0x7476;
constexpr WORD kProductId = 0x5657;

/// Windows names a HID product {PIDVID-0000-0000-0000-504944564944}: the product and vendor ids
/// in the first field, the letters "PIDVID" in the last six bytes.
GUID productGuid(WORD vendor, WORD product) {
    return {static_cast<DWORD>(product) << 16 | vendor, 0, 0, {0, 0, 'P', 'I', 'D', 'V', 'I', 'D'}};
}

wheel::DriverInfo identity() {
    wheel::DriverInfo info;
    info.instanceGuid = kInstanceGuid;
    info.productGuid = productGuid(kVendorId, kProductId);
    const char name[] = "Torvane Virtual Wheel";
    std::copy(std::begin(name), std::end(name), info.productName.begin());
    info.deviceType = DI8DEVTYPE_DRIVING | DI8DEVTYPEDRIVING_DUALPEDALS << 8;
    info.effects = (wheel::EffectKinds{1} << wheel::kEffectKindCount) - 1;  // every kind
    for (wheel::Axis axis : {wheel::Axis::X, wheel::Axis::Y, wheel::Axis::Z})
        info.axes[static_cast<int>(axis)] = true;
    info.buttonCount = kButtons;
    info.povCount = 1;
    return info;
}

bool known(wheel::EffectKind kind) {
    return static_cast<int>(kind) < wheel::kEffectKindCount;
}

}  // namespace

struct VirtualWheel::Model {
    explicit Model(std::function<std::int64_t()> source)
        : clock(std::move(source)), simulatedTo(clock()) {}

    std::function<std::int64_t()> clock;
    std::int64_t simulatedTo;  ///< the model has been stepped up to here
    wheel::DriverInfo info = identity();
    Playback playback;
    Rim rim;
    double torque = 0.0;  ///< of the last step, N·m
    // Faults.
    std::int64_t lostUntil = std::numeric_limits<std::int64_t>::min();
    bool unplugged = false;
    bool refuseAcquire = false;
    bool failStart = false;
    wheel::EffectKinds refusedKinds = 0;
    // The driver's hands and feet.
    std::array<bool, kButtons> buttons{};
    double throttle = 0.0;
    double brake = 0.0;
    int lastOwner = 0;

    /// Steps the model up to the present and returns the present.
    std::int64_t advance() {
        const std::int64_t now = clock();
        if (now <= simulatedTo) return now;  // no time passed, or a clock that went back
        const std::uint64_t gap =
            static_cast<std::uint64_t>(now) - static_cast<std::uint64_t>(simulatedTo);
        const std::uint64_t steps = gap / kStepNanoseconds;
        const std::uint64_t skipped = steps > kMaxStepsPerTouch ? steps - kMaxStepsPerTouch : 0;
        playback.skip(skipped * (kStepNanoseconds / 1000));
        for (std::uint64_t i = skipped; i < steps; ++i) {
            torque = playback.step(rim);
            stepRim(rim, torque);
        }
        simulatedTo = static_cast<std::int64_t>(static_cast<std::uint64_t>(simulatedTo) +
                                                steps * kStepNanoseconds);
        return now;
    }

    /// Lost while gone; otherwise Ok.
    DriverStatus presence() {
        const std::int64_t now = advance();
        return unplugged || now < lostUntil ? DriverStatus::Lost : DriverStatus::Ok;
    }
};

namespace {

/// One open handle on the base. Every call steps the model first, so the answer and the forces
/// it changes take effect at the present.
class BaseDriver final : public wheel::Driver {
  public:
    BaseDriver(std::shared_ptr<VirtualWheel::Model> model, int owner)
        : model_(std::move(model)), owner_(owner) {}
    // A handle that closes takes its effects with it, as DirectInput resets a released device.
    ~BaseDriver() override { model_->playback.unloadAll(owner_); }

    const wheel::DriverInfo& info() const override { return model_->info; }

    DriverStatus acquire(bool) override {
        const DriverStatus presence = model_->presence();
        if (model_->unplugged) return DriverStatus::Unplugged;
        if (presence != DriverStatus::Ok) return presence;
        return model_->refuseAcquire ? DriverStatus::Refused : DriverStatus::Ok;
    }
    void unacquire() override { model_->advance(); }

    DriverStatus readInput(wheel::InputState& state) override {
        if (const DriverStatus s = model_->presence(); s != DriverStatus::Ok) return s;
        state = wheel::InputState{};
        state.axisTravel.fill(0.5);  // axes the wheel lacks rest in the middle
        state.axisTravel[0] = 0.5 + reportedDegrees(model_->rim) / (2.0 * kLockDegrees);
        // Released pedals read the top of their travel, as most bases report them.
        state.axisTravel[1] = 1.0 - model_->throttle;
        state.axisTravel[2] = 1.0 - model_->brake;
        std::copy(model_->buttons.begin(), model_->buttons.end(), state.buttons.begin());
        return DriverStatus::Ok;
    }

    DriverStatus download(const wheel::EffectParameters& parameters,
                          wheel::EffectHandle& handle) override {
        if (const DriverStatus s = model_->presence(); s != DriverStatus::Ok) return s;
        if (!known(parameters.kind)) return DriverStatus::Unsupported;
        if (handle == wheel::kNoHandle && wheel::hasKind(model_->refusedKinds, parameters.kind))
            return DriverStatus::Failed;
        return model_->playback.download(owner_, parameters, handle);
    }
    DriverStatus start(wheel::EffectHandle handle, std::uint32_t iterations) override {
        if (const DriverStatus s = model_->presence(); s != DriverStatus::Ok) return s;
        if (model_->failStart) return DriverStatus::Failed;
        return model_->playback.start(owner_, handle, iterations);
    }
    DriverStatus stop(wheel::EffectHandle handle) override {
        if (const DriverStatus s = model_->presence(); s != DriverStatus::Ok) return s;
        return model_->playback.stop(owner_, handle);
    }
    DriverStatus unload(wheel::EffectHandle handle) override {
        if (const DriverStatus s = model_->presence(); s != DriverStatus::Ok) return s;
        model_->playback.unload(owner_, handle);
        return DriverStatus::Ok;
    }

    DriverStatus setGain(std::uint32_t gain) override {
        if (const DriverStatus s = model_->presence(); s != DriverStatus::Ok) return s;
        model_->playback.setGain(gain);
        return DriverStatus::Ok;
    }
    DriverStatus setAutocenter(bool on) override {
        if (const DriverStatus s = model_->presence(); s != DriverStatus::Ok) return s;
        model_->playback.setAutocenter(on);
        return DriverStatus::Ok;
    }
    DriverStatus stopAll() override {
        if (const DriverStatus s = model_->presence(); s != DriverStatus::Ok) return s;
        model_->playback.stopAll(owner_);
        return DriverStatus::Ok;
    }
    // Gain and autocentering are properties the device layer sets; a reset clears the effects.
    DriverStatus reset() override {
        if (const DriverStatus s = model_->presence(); s != DriverStatus::Ok) return s;
        model_->playback.unloadAll(owner_);
        return DriverStatus::Ok;
    }

  private:
    std::shared_ptr<VirtualWheel::Model> model_;
    int owner_;
};

}  // namespace

VirtualWheel::VirtualWheel(std::function<std::int64_t()> clock)
    : model_(std::make_shared<Model>(std::move(clock))) {}

VirtualWheel::~VirtualWheel() = default;

void VirtualWheel::listDevices(std::vector<wheel::DriverInfo>& out) {
    model_->advance();
    if (!model_->unplugged) out.push_back(model_->info);
}

std::unique_ptr<wheel::Driver> VirtualWheel::openDevice(REFGUID instance) {
    model_->advance();
    if (model_->unplugged || !(instance == model_->info.instanceGuid)) return nullptr;
    return std::make_unique<BaseDriver>(model_, ++model_->lastOwner);
}

RimReadout VirtualWheel::readout() {
    model_->advance();
    return {model_->torque, reportedDegrees(model_->rim)};
}

void VirtualWheel::pressButton(int index, bool pressed) {
    if (index >= 0 && index < kButtons) model_->buttons[static_cast<std::size_t>(index)] = pressed;
}

void VirtualWheel::pressPedal(wheel::Axis axis, double depth) {
    const double clamped = std::isfinite(depth) ? std::clamp(depth, 0.0, 1.0) : 0.0;
    if (axis == wheel::Axis::Y) model_->throttle = clamped;
    if (axis == wheel::Axis::Z) model_->brake = clamped;
}

void VirtualWheel::loseFor(std::int64_t nanoseconds) {
    const std::int64_t now = model_->advance();
    if (nanoseconds <= 0) return;
    const std::int64_t room =
        std::numeric_limits<std::int64_t>::max() - std::max(now, std::int64_t{0});
    model_->lostUntil = std::max(model_->lostUntil, now + std::min(nanoseconds, room));
    model_->playback.forgetAll();
}

void VirtualWheel::unplug() {
    model_->advance();
    model_->unplugged = true;
    model_->playback.forgetAll();
}

void VirtualWheel::refuseAcquire(bool refuse) {
    model_->refuseAcquire = refuse;
}

void VirtualWheel::refuseEffect(wheel::EffectKind kind, bool refuse) {
    if (!known(kind)) return;
    if (refuse)
        model_->refusedKinds |= wheel::kindBit(kind);
    else
        model_->refusedKinds &= ~wheel::kindBit(kind);
}

void VirtualWheel::failStart(bool fail) {
    model_->failStart = fail;
}

}  // namespace virtual_wheel
