// DirectInput over drivers: an IDirectInput8W whose controllers come from a DriverSource, and
// whose devices keep DirectInput's rules over each driver (wheel/device).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "wheel/driver.h"

namespace wheel {

class Journal;

/// Where a DirectInput object finds its controllers: listed anew on every EnumDevices, opened on
/// CreateDevice.
class DriverSource {
  public:
    virtual ~DriverSource() = default;
    /// Appends the identity of every attached controller (instance GUIDs unique).
    virtual void listDevices(std::vector<DriverInfo>& out) = 0;
    /// A driver for the controller with that instance GUID; nullptr when it is not known here.
    virtual std::unique_ptr<Driver> openDevice(REFGUID instance) = 0;
    /// For a user who expected a wheel: where the last listing looked and what kept controllers
    /// from it, as one line without its line feed; empty when there is nothing to say.
    virtual std::string noneFoundHint() const { return {}; }
};

/// A new IDirectInput8W (one reference) over source. Devices it creates record their calls in
/// journal when one is given. Source and journal must outlive every object made from them.
IDirectInput8W* createDirectInput(DriverSource& source, Journal* journal = nullptr);

}  // namespace wheel
