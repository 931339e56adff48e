// Where Linux's sources of game controllers plug into DirectInput8Create, which Linux lacks: each
// backend is a wheel::DriverSource (it lists its attached controllers and opens drivers for them),
// and DirectInput8Create is wheel/direct_input over all of them, so every controller follows the
// DirectInput rules of wheel/device. With no backend registered, DirectInput reports no
// controllers.
#pragma once

#include "wheel/direct_input.h"

namespace sources {

/// Adds a source of controllers for the rest of the process; the caller keeps it alive. Not
/// thread-safe: call during start-up, before DirectInput8Create.
void registerDeviceBackend(wheel::DriverSource* backend);

}  // namespace sources
