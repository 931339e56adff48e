// The wheel base's effect playback: the effects downloaded to it, summed once per step into the
// torque its motor gives, on the rim's state of that step.
#pragma once

#include <array>
#include <cstdint>

#include "virtual_wheel/rim.h"
#include "wheel/driver.h"

namespace virtual_wheel {

inline constexpr double kFullScaleNewtonMetres = 8.0;  ///< the torque of a force of 10000
inline constexpr int kEffectSlots = 16;                ///< downloaded effects the base holds

/// Effects belong to an owner (one open driver), which alone may touch them by handle.
class Playback {
  public:
    /// A new effect when handle is kNoHandle (handle receives its name), else an update of
    /// owner's effect in place, playing or not, keeping its time and its phase.
    wheel::DriverStatus download(int owner, const wheel::EffectParameters& parameters,
                                 wheel::EffectHandle& handle);
    /// Plays owner's effect iterations times (INFINITE: until stopped), from its start.
    wheel::DriverStatus start(int owner, wheel::EffectHandle handle, std::uint32_t iterations);
    wheel::DriverStatus stop(int owner, wheel::EffectHandle handle);
    /// Removes owner's effect; a handle it does not hold is already gone.
    void unload(int owner, wheel::EffectHandle handle);
    void stopAll(int owner);
    void unloadAll(int owner);
    /// Every owner's effects are gone: the base rebooted or went away.
    void forgetAll();

    void setGain(std::uint32_t gain) { gain_ = gain; }
    void setAutocenter(bool on) { autocenter_ = on; }

    /// The torque in N·m for the rim's next step, within full scale; advances the playing
    /// effects by one step.
    double step(const Rim& rim);
    /// Lets time pass for the playing effects without stepping them.
    void skip(std::uint64_t microseconds);

  private:
    struct Slot {
        bool used = false;
        int owner = 0;
        wheel::EffectHandle handle = wheel::kNoHandle;
        wheel::EffectParameters parameters;
        bool playing = false;
        std::uint32_t iterations = 0;
        std::uint64_t elapsedMicroseconds = 0;  ///< since the last start
        double phase = 0.0;                     ///< of a periodic effect, in cycles, 0..1
    };
    Slot* find(int owner, wheel::EffectHandle handle);
    static void advance(Slot& slot, std::uint64_t microseconds);

    std::array<Slot, kEffectSlots> slots_{};
    std::uint32_t gain_ = DI_FFNOMINALMAX;
    bool autocenter_ = true;  // bases centre themselves from power-on until told otherwise
    wheel::EffectHandle nextHandle_ = 0;
};

}  // namespace virtual_wheel
