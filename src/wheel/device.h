// One DirectInput device over one driver: IDirectInputDevice8W and its IDirectInputEffect
// objects, keeping every DirectInput rule (see the table in device.cpp) so that no driver has to.
#pragma once

#include <memory>

#include "platform/platform.h"
#include "wheel/driver.h"

namespace wheel {

class Journal;

/// A new device (one reference) over driver, which it owns. Calls are recorded in journal when
/// one is given; it must outlive the device and its effects.
IDirectInputDevice8W* createDevice(std::unique_ptr<Driver> driver, Journal* journal = nullptr);

/// The record EnumDevices and GetDeviceInfo give for a driver's device.
void describeDevice(const DriverInfo& info, DIDEVICEINSTANCEW& instance);

}  // namespace wheel
