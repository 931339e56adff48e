// One evdev game controller as a wheel::Driver: DirectInput's effect commands, gain,
// autocentering, acquisition and input state, translated to the kernel's force-feedback and
// input interface on the node's file descriptor.
#pragma once

#include <vector>

#include "sources/evdev/kernel.h"
#include "sources/evdev/source.h"
#include "wheel/driver.h"

namespace evdev {

class NodeDriver final : public wheel::Driver {
  public:
    /// Drives the controller open on fd. kernel must outlive the driver.
    NodeDriver(Kernel& kernel, FileDescriptor fd, Controller controller);
    /// Removes every effect from the node and releases the grab.
    ~NodeDriver() override;
    NodeDriver(const NodeDriver&) = delete;
    NodeDriver& operator=(const NodeDriver&) = delete;

    const wheel::DriverInfo& info() const override { return info_; }
    wheel::DriverStatus acquire(bool exclusive) override;
    void unacquire() override;
    wheel::DriverStatus readInput(wheel::InputState& state) override;
    wheel::DriverStatus download(const wheel::EffectParameters& parameters,
                                 wheel::EffectHandle& handle) override;
    wheel::DriverStatus start(wheel::EffectHandle handle, std::uint32_t iterations) override;
    wheel::DriverStatus stop(wheel::EffectHandle handle) override;
    wheel::DriverStatus unload(wheel::EffectHandle handle) override;
    wheel::DriverStatus setGain(std::uint32_t gain) override;
    wheel::DriverStatus setAutocenter(bool on) override;
    wheel::DriverStatus stopAll() override;
    wheel::DriverStatus reset() override;

  private:
    /// One effect slot; its handle is its index. kernelId -1: not on the node (yet, or no longer
    /// after the node was reopened), record then holds what to upload.
    struct Effect {
        bool used = false;
        bool playing = false;  ///< started by this driver and not stopped or erased since
        int kernelId = -1;
        ff_effect record{};
    };

    wheel::DriverStatus failure(long error);
    wheel::DriverStatus take(bool exclusive);
    bool reopen();
    Effect* effectOf(wheel::EffectHandle handle);
    wheel::DriverStatus upload(Effect& effect);
    wheel::DriverStatus remove(Effect& effect);
    /// The stop command (an EV_FF write of 0), for an effect this driver has playing; else nothing.
    wheel::DriverStatus halt(Effect& effect);
    wheel::DriverStatus writeForceFeedback(int code, int value);

    Kernel& kernel_;
    FileDescriptor fd_;
    NodeCapabilities capabilities_;
    InputLayout layout_;
    const wheel::DriverInfo info_;
    std::vector<Effect> effects_;
    bool grabbed_ = false;
    bool lost_ = false;
    FileDescriptor watch_;                  ///< while lost: changes in /dev/input
    std::int64_t nextScanNanoseconds_ = 0;  ///< while lost: when an acquire must look anyway
};

}  // namespace evdev
