// The seam behind which Linux sources of game controllers plug into DirectInput8Create: each
// backend reports its attached controllers and opens them as IDirectInputDevice8W objects that
// follow DirectInput's rules. With no backend registered, DirectInput reports no controllers.
#pragma once

#include <vector>

#include "platform/platform.h"

namespace platform {

class DeviceBackend {
  public:
    virtual ~DeviceBackend() = default;

    /// Appends one record per attached game controller (guidInstance unique across backends).
    virtual void listControllers(std::vector<DIDEVICEINSTANCEW>& out) = 0;

    /// Opens the controller with that instance GUID: DI_OK with a new reference in *device, or
    /// DIERR_DEVICENOTREG when this backend does not know the GUID.
    virtual HRESULT openController(REFGUID instance, IDirectInputDevice8W** device) = 0;
};

/// Adds a backend for the rest of the process; the caller keeps it alive. Not thread-safe: call
/// during start-up, before DirectInput8Create.
void registerDeviceBackend(DeviceBackend* backend);

/// Removes a registered backend (tests register their own and must take it back).
void unregisterDeviceBackend(DeviceBackend* backend);

}  // namespace platform
