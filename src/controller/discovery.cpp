#include "controller/discovery.h"

#include <ostream>
#include <utility>

#include "platform/text.h"

namespace torvane {
namespace {

struct EnumerationContext {
    IDirectInput8W* directInput;
    std::vector<ControllerInfo>* controllers;
};

// Runs inside EnumDevices, once per attached game controller. A temporary device tells whether
// the controller has force feedback; it is never given a data format or acquired.
BOOL CALLBACK addController(LPCDIDEVICEINSTANCEW instance, LPVOID context) {
    auto& enumeration = *static_cast<EnumerationContext*>(context);
    ControllerInfo info;
    info.instanceGuid = instance->guidInstance;
    info.productName = platform::textOfField(instance->tszProductName);
    platform::ComPtr<IDirectInputDevice8W> device;
    if (SUCCEEDED(
            enumeration.directInput->CreateDevice(instance->guidInstance, device.put(), nullptr)) &&
        device) {
        DIDEVCAPS caps{};
        caps.dwSize = sizeof caps;
        if (SUCCEEDED(device->GetCapabilities(&caps)))
            info.forceFeedback = (caps.dwFlags & DIDC_FORCEFEEDBACK) != 0;
    }
    enumeration.controllers->push_back(std::move(info));
    return DIENUM_CONTINUE;
}

bool nameContains(const ControllerInfo& controller, const std::string& nameFilter) {
    return toLowerAscii(toUtf8(controller.productName)).find(nameFilter) != std::string::npos;
}

// The first force-feedback controller whose lowercased name contains the filter, else the first
// force-feedback controller (matched false), else none.
const ControllerInfo* chooseByName(const std::vector<ControllerInfo>& controllers,
                                   const std::string& nameFilter, bool& matched) {
    const ControllerInfo* firstWithForceFeedback = nullptr;
    matched = false;
    for (const ControllerInfo& controller : controllers) {
        if (!controller.forceFeedback) continue;
        if (nameContains(controller, nameFilter)) {
            matched = true;
            return &controller;
        }
        if (firstWithForceFeedback == nullptr) firstWithForceFeedback = &controller;
    }
    return firstWithForceFeedback;
}

// With two wheels attached, driving the other one unannounced is the worst outcome of a typo.
void reportFallback(const std::vector<ControllerInfo>& controllers, const std::string& nameFilter,
                    const ControllerInfo& chosen, std::ostream& out, std::ostream& err) {
    bool namedWithoutForceFeedback = false;
    for (const ControllerInfo& controller : controllers)
        namedWithoutForceFeedback =
            namedWithoutForceFeedback || nameContains(controller, nameFilter);
    // The listing on out comes first on a console that shows both streams.
    out.flush();
    err << (namedWithoutForceFeedback ? "No force-feedback controller name contains \""
                                      : "No controller name contains \"")
        << nameFilter << "\"; using [" << (&chosen - controllers.data()) << "] "
        << toUtf8(chosen.productName) << ".\n";
    err.flush();
}

}  // namespace

bool createDirectInput(DirectInputCreateFunction create,
                       platform::ComPtr<IDirectInput8W>& directInput) {
    void* object = nullptr;
    const HRESULT hr =
        create(GetModuleHandleW(nullptr), 0x0800, IID_IDirectInput8W, &object, nullptr);
    // Some implementations hand out an object even when they fail; it is still ours to release.
    *directInput.put() = static_cast<IDirectInput8W*>(object);
    return SUCCEEDED(hr) && directInput;
}

std::vector<ControllerInfo> enumerateControllers(IDirectInput8W& directInput) {
    std::vector<ControllerInfo> controllers;
    EnumerationContext context{&directInput, &controllers};
    directInput.EnumDevices(DI8DEVCLASS_GAMECTRL, addController, &context, DIEDFL_ATTACHEDONLY);
    return controllers;
}

void printControllerList(const std::vector<ControllerInfo>& controllers, std::ostream& out) {
    out << "Attached game controllers:\n";
    for (std::size_t i = 0; i < controllers.size(); ++i)
        out << "  [" << i << "] " << toUtf8(controllers[i].productName)
            << " FFB=" << (controllers[i].forceFeedback ? 1 : 0) << "\n";
}

const ControllerInfo* selectController(const std::vector<ControllerInfo>& controllers,
                                       std::int32_t deviceIndex, const std::string& nameFilter,
                                       std::ostream& out, std::ostream& err,
                                       bool announceFallback) {
    const ControllerInfo* chosen = nullptr;
    if (deviceIndex >= 0) {
        const auto index = static_cast<std::size_t>(deviceIndex);
        if (index >= controllers.size() || !controllers[index].forceFeedback) {
            err << "The requested DirectInput device index is unavailable or has no FFB support.\n";
            return nullptr;
        }
        chosen = &controllers[index];
    } else {
        bool matched = false;
        chosen = chooseByName(controllers, nameFilter, matched);
        if (chosen == nullptr) {
            err << "No DirectInput force-feedback controller was found. Put the wheel base in PC "
                   "mode.\n";
            return nullptr;
        }
        if (!matched && announceFallback)
            reportFallback(controllers, nameFilter, *chosen, out, err);
    }
    out << "Selected: " << toUtf8(chosen->productName) << "\n";
    return chosen;
}

}  // namespace torvane
