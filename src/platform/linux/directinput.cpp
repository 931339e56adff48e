// DirectInput8Create: wheel/direct_input over the registered device backends.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/environment.h"
#include "platform/linux/device_backend.h"

namespace platform {
namespace {

std::vector<DeviceBackend*>& backends() {
    static std::vector<DeviceBackend*> registered;
    return registered;
}

// Every registered backend's controllers, in the order the backends were registered. The list
// is read on each call, so a backend registered later is seen by an existing DirectInput object.
class RegisteredBackends final : public wheel::DriverSource {
  public:
    void listDevices(std::vector<wheel::DriverInfo>& out) override {
        for (DeviceBackend* backend : backends()) backend->listDevices(out);
    }
    std::unique_ptr<wheel::Driver> openDevice(REFGUID instance) override {
        for (DeviceBackend* backend : backends())
            if (std::unique_ptr<wheel::Driver> driver = backend->openDevice(instance))
                return driver;
        return nullptr;
    }
    std::string noneFoundHint() const override {
        std::string hint;
        for (const DeviceBackend* backend : backends()) {
            const std::string line = backend->noneFoundHint();
            if (!line.empty()) hint += (hint.empty() ? "" : " ") + line;
        }
        return hint;
    }
};

RegisteredBackends allBackends;

}  // namespace

std::string noControllerHint() {
    return allBackends.noneFoundHint();
}

void registerDeviceBackend(DeviceBackend* backend) {
    if (backend != nullptr) backends().push_back(backend);
}

void unregisterDeviceBackend(DeviceBackend* backend) {
    auto& list = backends();
    list.erase(std::remove(list.begin(), list.end(), backend), list.end());
}

}  // namespace platform

HRESULT WINAPI DirectInput8Create(HINSTANCE, DWORD version, REFIID riid, LPVOID* out,
                                  LPUNKNOWN outer) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return DIERR_NOAGGREGATION;
    if (version < DIRECTINPUT_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
    if (version > DIRECTINPUT_VERSION) return DIERR_BETADIRECTINPUTVERSION;
    if (!(riid == IID_IDirectInput8W)) return DIERR_NOINTERFACE;
    *out = wheel::createDirectInput(platform::allBackends);
    return DI_OK;
}
