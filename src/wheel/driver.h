// What a source of wheels provides to the DirectInput device layer, in DirectInput's units. The
// device layer (wheel/device) keeps every DirectInput rule: acquisition and cooperative level,
// which properties may change while acquired, effect objects and their state, what is unloaded
// when the device is lost. A driver only translates: identity, the input state, and one effect's
// parameters to whatever its hardware or model understands. A driver has no COM, no reference
// counting and no rules of its own; any call may answer that the device is gone.
#pragma once

#include <array>
#include <cstdint>

#include "platform/platform.h"

namespace wheel {

/// What every driver call answers. The device layer turns it into DirectInput's result codes.
enum class DriverStatus {
    Ok,
    Lost,         ///< gone for now (a USB hiccup, a reboot of the base): DIERR_INPUTLOST
    Unplugged,    ///< gone for good: DIERR_UNPLUGGED where an Acquire is refused
    Refused,      ///< another program holds it, or the system denied access: DIERR_OTHERAPPHASPRIO
    Unsupported,  ///< the device cannot do this (an effect kind it lacks): DIERR_UNSUPPORTED
    NoRoom,       ///< no free effect slot: DIERR_DEVICEFULL
    Failed,       ///< anything else: DIERR_GENERIC
};

/// The effect kinds DirectInput names with a GUID, in the order the device layer lists them.
enum class EffectKind : std::uint8_t {
    ConstantForce,
    Sine,
    Square,
    Triangle,
    SawtoothUp,
    SawtoothDown,
    Spring,
    Damper,
    Inertia,
    Friction,
};
inline constexpr int kEffectKindCount = 10;

/// A set of effect kinds, one bit per kind.
using EffectKinds = std::uint32_t;
constexpr EffectKinds kindBit(EffectKind kind) {
    return EffectKinds{1} << static_cast<unsigned>(kind);
}
constexpr bool hasKind(EffectKinds kinds, EffectKind kind) {
    return (kinds & kindBit(kind)) != 0;
}

/// One effect's parameters as the device layer validated them, in DirectInput's units. Only the
/// fields of the effect's kind are meaningful; the others are zero. All effects play on the
/// X axis alone (the one force-feedback actuator a wheel has).
struct EffectParameters {
    EffectKind kind = EffectKind::ConstantForce;
    std::uint32_t durationMicroseconds = INFINITE;  ///< INFINITE (0xFFFFFFFF): until stopped
    std::uint32_t gain = DI_FFNOMINALMAX;           ///< the effect's own gain, 0..10000
    std::int32_t direction = 0;  ///< the Cartesian X direction as the application gave it
    // Constant force.
    std::int32_t level = 0;  ///< -10000..10000
    // Periodic effects.
    std::uint32_t magnitude = 0;                ///< 0..10000
    std::int32_t offset = 0;                    ///< -10000..10000
    std::uint32_t phaseHundredthsOfDegree = 0;  ///< 0..35999
    std::uint32_t periodMicroseconds = 0;       ///< > 0
    // Conditions (spring, damper, inertia, friction) on the X axis.
    std::int32_t centerOffset = 0;         ///< -10000..10000
    std::int32_t positiveCoefficient = 0;  ///< -10000..10000
    std::int32_t negativeCoefficient = 0;  ///< -10000..10000
    std::uint32_t positiveSaturation = 0;  ///< 0..10000
    std::uint32_t negativeSaturation = 0;  ///< 0..10000
    std::int32_t deadBand = 0;             ///< 0..10000
};

/// The axes of the joystick data format, in the order of DIJOYSTATE2's first eight fields.
enum class Axis : std::uint8_t { X, Y, Z, RX, RY, RZ, Slider0, Slider1 };
inline constexpr int kAxisCount = 8;
inline constexpr int kButtonCount = 128;
inline constexpr int kPovCount = 4;

/// Who the device is and what it has. Fixed for the driver's lifetime.
struct DriverInfo {
    GUID instanceGuid{};
    GUID productGuid{};
    std::array<WCHAR, MAX_PATH> productName{};  ///< zero-terminated
    DWORD deviceType = DI8DEVTYPE_DRIVING;      ///< DIDEVICEINSTANCE::dwDevType
    EffectKinds effects = 0;                    ///< empty: no force feedback
    std::array<bool, kAxisCount> axes{};        ///< which axes exist
    int buttonCount = 0;                        ///< 0..128
    int povCount = 0;                           ///< 0..4
};

/// The input state in the driver's terms. Each present axis is its position in 0..1 of its
/// travel (0 at one end, 0.5 centred, 1 at the other); the device layer maps it onto the range
/// the application set. Buttons are pressed or not; a POV is hundredths of a degree, or -1 when
/// centred.
struct InputState {
    std::array<double, kAxisCount> axisTravel{};
    std::array<bool, kButtonCount> buttons{};
    std::array<std::int32_t, kPovCount> pov{-1, -1, -1, -1};
};

/// A driver's own name for one effect it holds (a kernel effect id, a slot of a model).
using EffectHandle = int;
inline constexpr EffectHandle kNoHandle = -1;

class Driver {
  public:
    virtual ~Driver() = default;

    virtual const DriverInfo& info() const = 0;

    /// Takes the device; exclusive means no other program may drive its forces. Called by the
    /// device layer's Acquire, which then sets the gain and autocentering (exclusive only).
    virtual DriverStatus acquire(bool exclusive) = 0;
    /// Gives the device back. The device layer has already stopped and unloaded every effect.
    /// After a call answered Lost or Unplugged the device layer still calls stop, unload and
    /// unacquire (ignoring their answers), so a driver lets go of everything it held and plays
    /// nothing until the device is acquired and the effects are started again.
    virtual void unacquire() = 0;

    /// Reads the current input state without waiting.
    virtual DriverStatus readInput(InputState& state) = 0;

    /// Downloads an effect: a new one when handle is kNoHandle (handle then receives the
    /// driver's name for it), else an update of the one it names, in place, playing or not.
    virtual DriverStatus download(const EffectParameters& parameters, EffectHandle& handle) = 0;
    /// Plays a downloaded effect iterations times (INFINITE: until stopped), from the start.
    virtual DriverStatus start(EffectHandle handle, std::uint32_t iterations) = 0;
    virtual DriverStatus stop(EffectHandle handle) = 0;
    /// Removes a downloaded effect from the device; the handle is free afterwards.
    virtual DriverStatus unload(EffectHandle handle) = 0;

    /// The device's overall force-feedback gain, 0..10000.
    virtual DriverStatus setGain(std::uint32_t gain) = 0;
    /// The device's own centering spring.
    virtual DriverStatus setAutocenter(bool on) = 0;
    /// Stops every playing effect (DISFFC_STOPALL).
    virtual DriverStatus stopAll() = 0;
    /// Stops and removes every effect and returns the device to its start-up state
    /// (DISFFC_RESET).
    virtual DriverStatus reset() = 0;
};

}  // namespace wheel
