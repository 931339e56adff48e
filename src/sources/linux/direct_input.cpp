// DirectInput8Create, which the platform layer declares for Linux: wheel/direct_input over the
// registered device backends. The hint for an empty list (platform::noControllerHint) comes from
// them too.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/environment.h"
#include "sources/linux/device_backends.h"

namespace sources {
namespace {

std::vector<wheel::DriverSource*>& backends() {
    static std::vector<wheel::DriverSource*> registered;
    return registered;
}

// Every registered backend's controllers, in the order the backends were registered. The list
// is read on each call, so a backend registered later is seen by an existing DirectInput object.
class RegisteredBackends final : public wheel::DriverSource {
  public:
    void listDevices(std::vector<wheel::DriverInfo>& out) override {
        for (wheel::DriverSource* backend : backends()) backend->listDevices(out);
    }
    std::unique_ptr<wheel::Driver> openDevice(REFGUID instance) override {
        for (wheel::DriverSource* backend : backends())
            if (std::unique_ptr<wheel::Driver> driver = backend->openDevice(instance))
                return driver;
        return nullptr;
    }
    std::string noneFoundHint() const override {
        std::string hint;
        for (const wheel::DriverSource* backend : backends()) {
            const std::string line = backend->noneFoundHint();
            if (!line.empty()) hint += (hint.empty() ? "" : " ") + line;
        }
        return hint;
    }
};

RegisteredBackends allBackends;

}  // namespace

void registerDeviceBackend(wheel::DriverSource* backend) {
    if (backend != nullptr) backends().push_back(backend);
}

}  // namespace sources

std::string platform::noControllerHint() {
    return sources::allBackends.noneFoundHint();
}

HRESULT WINAPI DirectInput8Create(HINSTANCE, DWORD version, REFIID riid, LPVOID* out,
                                  LPUNKNOWN outer) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return DIERR_NOAGGREGATION;
    if (version < DIRECTINPUT_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
    if (version > DIRECTINPUT_VERSION) return DIERR_BETADIRECTINPUTVERSION;
    if (!(riid == IID_IDirectInput8W)) return DIERR_NOINTERFACE;
    *out = wheel::createDirectInput(sources::allBackends);
    return DI_OK;
}
