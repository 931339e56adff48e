// Creating DirectInput, listing the attached game controllers, and choosing the wheel.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/resources.h"

namespace torvane {

/// One enumerated controller.
struct ControllerInfo {
    GUID instanceGuid{};
    platform::WideString productName;
    bool forceFeedback = false;
};

/// DirectInput8Create's signature: the program passes the platform's, tests their fake.
using DirectInputCreateFunction = HRESULT(WINAPI*)(HINSTANCE, DWORD, REFIID, LPVOID*, LPUNKNOWN);

/// Calls create with the program's module handle, version 0x0800 and IID_IDirectInput8W. The
/// object, if one is returned (even with a failure), ends up in directInput. True on success.
bool createDirectInput(DirectInputCreateFunction create,
                       platform::ComPtr<IDirectInput8W>& directInput);

/// Every attached game controller, with whether a temporary device reports force feedback.
std::vector<ControllerInfo> enumerateControllers(IDirectInput8W& directInput);

/// "Attached game controllers:" and one line per controller.
void printControllerList(const std::vector<ControllerInfo>& controllers, std::ostream& out);

/// The controller to drive: by index when deviceIndex >= 0, else the first force-feedback one
/// whose lowercased name contains nameFilter, else the first force-feedback one, which a line on
/// err announces unless announceFallback is false. Prints the "Selected: " line on out, or a
/// failure line on err and returns nullptr.
const ControllerInfo* selectController(const std::vector<ControllerInfo>& controllers,
                                       std::int32_t deviceIndex, const std::string& nameFilter,
                                       std::ostream& out, std::ostream& err,
                                       bool announceFallback = true);

}  // namespace torvane
