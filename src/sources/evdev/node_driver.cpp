// The evdev driver. Rules it keeps for the kernel's sake, each with its reason:
// - An effect is uploaded once (EVIOCSFF, id -1) and updated in place by uploading it again with
//   its kernel id, playing or not: the kernel updates a playing effect without restarting it.
// - Start is one EV_FF write of the iteration count, stop one of 0, and only for an effect this
//   driver started (the kernel stops an effect itself when it is erased): a wheel hears each
//   command once. INFINITE iterations of an effect of infinite length are sent as 1 (it plays for
//   ever anyway, and older hid-pidff crams the count into an 8-bit loop count with a kernel
//   warning); of a finite one as the largest count the kernel's int holds. A DWORD count is never
//   let through as a negative int, which the kernel would take for a stop.
// - FF_GAIN and FF_AUTOCENTER are written when the device layer sets them, which it does after
//   every exclusive acquisition: some drivers start at gain 0 and play nothing.
// - The node's effect slots (EVIOCGEFFECTS) are counted here, so running out answers NoRoom
//   without asking the kernel; its ENOSPC answers the same.
// - ENODEV from any call means the node is gone: every call answers Lost until an acquire finds
//   the device again (a wheel base that rebooted comes back as a new node with the same
//   identity), or answers Unplugged when it is not there. Looking opens every event node, and
//   the report acquires again every 16 ms while the wheel is away, so an acquire looks only when
//   /dev/input changed (inotify), or once a second in case the watch missed it.
// - Every effect is removed (EVIOCRMFF) when unloaded, at reset and when the driver goes.
#include "sources/evdev/node_driver.h"

#include <algorithm>
#include <cerrno>
#include <climits>

#include "sources/evdev/effect_translation.h"

namespace evdev {
namespace {

using wheel::DriverStatus;

// Driver for a node whose slot count the kernel does not tell: let the kernel say ENOSPC.
constexpr int kUnknownSlots = 64;
constexpr std::int64_t kScanIntervalNanoseconds = 1'000'000'000;

double travelOf(const input_absinfo& axis) {
    if (axis.maximum <= axis.minimum) return 0.5;
    const double travel = (static_cast<double>(axis.value) - axis.minimum) /
                          (static_cast<double>(axis.maximum) - axis.minimum);
    return std::clamp(travel, 0.0, 1.0);
}

int directionOf(const input_absinfo& axis) {
    const double centre = (static_cast<double>(axis.minimum) + axis.maximum) / 2;
    return axis.value < centre ? -1 : axis.value > centre ? 1 : 0;
}

// A hat's x and y (-1, 0, 1; y -1 is up) as a POV: hundredths of a degree clockwise from up.
std::int32_t povOf(int x, int y) {
    static constexpr std::int32_t kAngles[3][3] = {
        {31500, 0, 4500}, {27000, -1, 9000}, {22500, 18000, 13500}};  // [y + 1][x + 1]
    return kAngles[y + 1][x + 1];
}

}  // namespace

NodeDriver::NodeDriver(Kernel& kernel, FileDescriptor fd, Controller controller)
    : kernel_(kernel),
      fd_(std::move(fd)),
      capabilities_(std::move(controller.capabilities)),
      layout_(inputLayout(capabilities_)),
      info_(controller.info),
      effects_(static_cast<std::size_t>(capabilities_.effectSlots > 0 ? capabilities_.effectSlots
                                                                      : kUnknownSlots)) {}

NodeDriver::~NodeDriver() {
    for (Effect& effect : effects_)
        if (effect.used && !lost_) remove(effect);
    unacquire();
}

DriverStatus NodeDriver::failure(long error) {
    switch (-error) {
        case ENODEV:
            lost_ = true;
            return DriverStatus::Lost;
        case ENOSPC:
            return DriverStatus::NoRoom;
        case EBUSY:
        case EACCES:
        case EPERM:
            return DriverStatus::Refused;
        default:
            return DriverStatus::Failed;
    }
}

DriverStatus NodeDriver::acquire(bool exclusive) {
    if (!lost_) {
        const DriverStatus status = take(exclusive);
        if (status != DriverStatus::Lost) return status;
    }
    if (!watch_) watch_ = FileDescriptor(kernel_, kernel_.watchDirectory(kInputDirectory));
    bool changed = false;
    char events[4096];  // holds several inotify events: their names are short
    while (watch_ && kernel_.read(watch_.get(), events, sizeof events) > 0) changed = true;
    const std::int64_t now = kernel_.monotonicNanoseconds();
    if (!changed && now < nextScanNanoseconds_) return DriverStatus::Lost;
    nextScanNanoseconds_ = now + kScanIntervalNanoseconds;
    if (!reopen()) return DriverStatus::Unplugged;
    watch_.reset();
    const DriverStatus status = take(exclusive);
    return status == DriverStatus::Lost ? DriverStatus::Unplugged : status;
}

DriverStatus NodeDriver::take(bool exclusive) {
    if (exclusive && !grabbed_) {
        const int result = kernel_.ioctl(fd_.get(), EVIOCGRAB, valueArgument(1));
        if (result < 0) return failure(result);
        grabbed_ = true;
    }
    return DriverStatus::Ok;
}

bool NodeDriver::reopen() {
    Controller controller;
    FileDescriptor fd = openController(kernel_, info_.instanceGuid, controller);
    if (!fd) return false;
    fd_ = std::move(fd);
    capabilities_ = std::move(controller.capabilities);
    layout_ = inputLayout(capabilities_);
    for (Effect& effect : effects_) {  // they died with the old node
        effect.kernelId = -1;
        effect.playing = false;
    }
    grabbed_ = false;
    lost_ = false;
    return true;
}

void NodeDriver::unacquire() {
    if (grabbed_ && !lost_) kernel_.ioctl(fd_.get(), EVIOCGRAB, valueArgument(0));
    grabbed_ = false;
}

DriverStatus NodeDriver::readInput(wheel::InputState& state) {
    if (lost_) return DriverStatus::Lost;
    state = wheel::InputState{};
    input_absinfo axis{};
    for (std::size_t i = 0; i < layout_.axisCode.size(); ++i) {
        if (layout_.axisCode[i] < 0) continue;
        const int result = kernel_.ioctl(fd_.get(), EVIOCGABS(layout_.axisCode[i]), &axis);
        if (result < 0) return failure(result);
        state.axisTravel[i] = travelOf(axis);
    }
    for (std::size_t pov = 0; pov < static_cast<std::size_t>(layout_.povCount); ++pov) {
        int direction[2] = {0, 0};
        for (int i = 0; i < 2; ++i) {
            const int code = layout_.hatXCode[pov] + i;
            if (!capabilities_.axes.has(code)) continue;
            const int result = kernel_.ioctl(fd_.get(), EVIOCGABS(code), &axis);
            if (result < 0) return failure(result);
            direction[i] = directionOf(axis);
        }
        state.pov[pov] = povOf(direction[0], direction[1]);
    }
    if (layout_.buttonCount == 0) return DriverStatus::Ok;
    Bitmap<KEY_MAX> pressed;
    const int result = kernel_.ioctl(fd_.get(), EVIOCGKEY(pressed.size()), pressed.data());
    if (result < 0) return failure(result);
    for (std::size_t i = 0; i < static_cast<std::size_t>(layout_.buttonCount); ++i)
        state.buttons[i] = pressed.has(layout_.buttonCode[i]);
    return DriverStatus::Ok;
}

NodeDriver::Effect* NodeDriver::effectOf(wheel::EffectHandle handle) {
    if (handle < 0 || static_cast<std::size_t>(handle) >= effects_.size()) return nullptr;
    Effect& effect = effects_[static_cast<std::size_t>(handle)];
    return effect.used ? &effect : nullptr;
}

DriverStatus NodeDriver::upload(Effect& effect) {
    effect.record.id = static_cast<std::int16_t>(effect.kernelId);
    const int result = kernel_.ioctl(fd_.get(), EVIOCSFF, &effect.record);
    if (result < 0) return failure(result);
    effect.kernelId = effect.record.id;
    return DriverStatus::Ok;
}

DriverStatus NodeDriver::remove(Effect& effect) {
    effect.used = false;
    effect.playing = false;
    if (effect.kernelId < 0) return DriverStatus::Ok;
    const int result = kernel_.ioctl(fd_.get(), EVIOCRMFF, valueArgument(effect.kernelId));
    effect.kernelId = -1;
    return result < 0 ? failure(result) : DriverStatus::Ok;
}

DriverStatus NodeDriver::writeForceFeedback(int code, int value) {
    input_event event{};
    event.type = EV_FF;
    event.code = static_cast<std::uint16_t>(code);
    event.value = value;
    const long written = kernel_.write(fd_.get(), &event, sizeof event);
    if (written < 0) return failure(written);
    return written == sizeof event ? DriverStatus::Ok : DriverStatus::Failed;
}

DriverStatus NodeDriver::download(const wheel::EffectParameters& parameters,
                                  wheel::EffectHandle& handle) {
    if (lost_) return DriverStatus::Lost;
    if (!wheel::hasKind(info_.effects, parameters.kind)) return DriverStatus::Unsupported;
    Effect* effect = nullptr;
    if (handle == wheel::kNoHandle) {
        const auto free =
            std::find_if(effects_.begin(), effects_.end(), [](const Effect& e) { return !e.used; });
        if (free == effects_.end()) return DriverStatus::NoRoom;
        effect = &*free;
    } else if ((effect = effectOf(handle)) == nullptr) {
        return DriverStatus::Failed;
    }
    const ff_effect previous = effect->record;
    effect->record = toKernelEffect(parameters, -1);
    const DriverStatus status = upload(*effect);
    if (status != DriverStatus::Ok) {
        effect->record = previous;
        return status;
    }
    if (handle == wheel::kNoHandle) {
        effect->used = true;
        handle = static_cast<wheel::EffectHandle>(effect - effects_.data());
    }
    return DriverStatus::Ok;
}

DriverStatus NodeDriver::start(wheel::EffectHandle handle, std::uint32_t iterations) {
    if (lost_) return DriverStatus::Lost;
    Effect* effect = effectOf(handle);
    if (effect == nullptr) return DriverStatus::Failed;
    if (effect->kernelId < 0) {
        const DriverStatus status = upload(*effect);
        if (status != DriverStatus::Ok) return status;
    }
    int count = static_cast<int>(std::clamp<std::uint32_t>(iterations, 1, INT_MAX));
    if (iterations == INFINITE && effect->record.replay.length == 0) count = 1;
    const DriverStatus status = writeForceFeedback(effect->kernelId, count);
    effect->playing = status == DriverStatus::Ok;
    return status;
}

DriverStatus NodeDriver::halt(Effect& effect) {
    if (!effect.playing) return DriverStatus::Ok;
    const DriverStatus status = writeForceFeedback(effect.kernelId, 0);
    if (status == DriverStatus::Ok) effect.playing = false;
    return status;
}

DriverStatus NodeDriver::stop(wheel::EffectHandle handle) {
    if (lost_) return DriverStatus::Lost;
    Effect* effect = effectOf(handle);
    if (effect == nullptr) return DriverStatus::Failed;
    return halt(*effect);
}

DriverStatus NodeDriver::unload(wheel::EffectHandle handle) {
    Effect* effect = effectOf(handle);
    if (effect == nullptr) return lost_ ? DriverStatus::Lost : DriverStatus::Failed;
    if (lost_) {  // the effect went with the node
        *effect = Effect{};
        return DriverStatus::Lost;
    }
    return remove(*effect);
}

DriverStatus NodeDriver::setGain(std::uint32_t gain) {
    gain = std::min<std::uint32_t>(gain, DI_FFNOMINALMAX);
    if (lost_) return DriverStatus::Lost;
    if (!capabilities_.effects.has(FF_GAIN))
        return gain == DI_FFNOMINALMAX ? DriverStatus::Ok : DriverStatus::Unsupported;
    return writeForceFeedback(FF_GAIN, unsignedKernelUnits(gain));
}

DriverStatus NodeDriver::setAutocenter(bool on) {
    if (lost_) return DriverStatus::Lost;
    if (!capabilities_.effects.has(FF_AUTOCENTER)) return DriverStatus::Unsupported;
    return writeForceFeedback(FF_AUTOCENTER, on ? 0xFFFF : 0);
}

DriverStatus NodeDriver::stopAll() {
    if (lost_) return DriverStatus::Lost;
    DriverStatus status = DriverStatus::Ok;
    for (Effect& effect : effects_) {
        if (!effect.used) continue;
        const DriverStatus stopped = halt(effect);
        if (stopped == DriverStatus::Lost) return stopped;
        if (stopped != DriverStatus::Ok) status = stopped;
    }
    return status;
}

DriverStatus NodeDriver::reset() {
    if (lost_) return DriverStatus::Lost;
    DriverStatus status = DriverStatus::Ok;
    for (Effect& effect : effects_) {
        if (!effect.used) continue;
        const DriverStatus removed = remove(effect);  // the kernel stops an effect it removes
        if (removed == DriverStatus::Lost) return removed;
        if (removed != DriverStatus::Ok) status = removed;
    }
    return status;
}

}  // namespace evdev
