// The call journal: every DirectInput call a device made by wheel/device and its effects receive,
// with the argument that matters and the result, so a test can read what the program asked of the
// wheel. Recording never allocates: the entries live in a ring allocated once. When the ring is
// full the oldest entries give way (a long run keeps its newest calls, which are the ones a test
// checks last) and dropped() counts them. Like the devices that write to it, a journal is used
// from one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "wheel/driver.h"

namespace wheel {

enum class Method : std::uint8_t {
    // The device.
    GetCapabilities,
    EnumObjects,
    GetObjectInfo,
    GetDeviceInfo,
    GetProperty,
    SetProperty,
    SetDataFormat,
    SetCooperativeLevel,
    Acquire,
    Unacquire,
    Poll,
    GetDeviceState,
    CreateEffect,
    EnumEffects,
    GetEffectInfo,
    GetForceFeedbackState,
    SendForceFeedbackCommand,
    Unsupported,  ///< a method the device does not implement
    // Its effects.
    GetEffectGuid,
    GetParameters,
    SetParameters,
    Start,
    Stop,
    GetEffectStatus,
    Download,
    Unload,
    ReleaseEffect,  ///< the last reference to an effect went away
};

/// The number DirectInput gives a property (DIPROP_RANGE is 4, DIPROP_FFGAIN 7, ...), 0 for any
/// other property.
DWORD propertyNumber(REFGUID property);

inline constexpr int kDeviceCall = -1;

struct JournalEntry {
    std::uint64_t sequence = 0;  ///< 0 for the first call ever recorded
    Method method = Method::Unsupported;
    int effect = kDeviceCall;  ///< the effect's number in creation order on its device, from 0
    /// Flags (SetParameters, Start, EnumObjects, SetCooperativeLevel, ...), the command
    /// (SendForceFeedbackCommand), the property number (Get/SetProperty), the size
    /// (GetDeviceState).
    DWORD argument = 0;
    bool hasParameters = false;  ///< CreateEffect and SetParameters that passed validation
    EffectParameters parameters{};
    HRESULT result = DI_OK;
};

class Journal {
  public:
    explicit Journal(std::size_t capacity = 4096);

    /// Appends one entry (its sequence number is assigned here). Never allocates.
    void record(JournalEntry entry);

    /// The entries kept, oldest first.
    std::vector<JournalEntry> entries() const;
    std::vector<JournalEntry> entries(Method method, int effect = kDeviceCall) const;
    /// The parameters of effect's last CreateEffect or SetParameters that passed validation.
    std::optional<EffectParameters> lastParameters(int effect) const;
    std::size_t size() const { return count_; }
    std::size_t capacity() const { return ring_.size(); }
    /// How many entries gave way to newer ones.
    std::uint64_t dropped() const { return recorded_ - count_; }
    void clear();

  private:
    std::vector<JournalEntry> ring_;
    std::size_t next_ = 0;
    std::size_t count_ = 0;
    std::uint64_t recorded_ = 0;
};

const char* methodName(Method method);

/// One line for a test failure message, e.g. "#12 SetParameters effect 1 arg 0x100 -> 0x0
/// {Sine magnitude 660 period 16260us}".
std::string describe(const JournalEntry& entry);

}  // namespace wheel
