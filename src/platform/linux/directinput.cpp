// DirectInput8Create over the registered device backends.
#include <algorithm>
#include <atomic>

#include "platform/linux/device_backend.h"

namespace platform {
namespace {

std::vector<DeviceBackend*>& backends() {
    static std::vector<DeviceBackend*> registered;
    return registered;
}

// The DirectInput object: enumeration and device creation go to the backends; the rest of the
// interface is what a program without a control panel or action mapping needs, so it answers
// DIERR_UNSUPPORTED.
class DirectInput final : public IDirectInput8W {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (riid == IID_IDirectInput8W) {
            AddRef();
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID rguid, LPDIRECTINPUTDEVICE8W* device,
                                           LPUNKNOWN outer) override {
        if (device == nullptr) return E_POINTER;
        *device = nullptr;
        if (outer != nullptr) return DIERR_NOAGGREGATION;
        for (DeviceBackend* backend : backends()) {
            const HRESULT hr = backend->openController(rguid, device);
            if (hr != DIERR_DEVICENOTREG) return hr;
        }
        return DIERR_DEVICENOTREG;
    }

    HRESULT STDMETHODCALLTYPE EnumDevices(DWORD deviceClass, LPDIENUMDEVICESCALLBACKW callback,
                                          LPVOID context, DWORD) override {
        if (callback == nullptr) return DIERR_INVALIDPARAM;
        // Every controller a backend knows is a game controller and attached.
        if (deviceClass != DI8DEVCLASS_ALL && deviceClass != DI8DEVCLASS_GAMECTRL) return DI_OK;
        std::vector<DIDEVICEINSTANCEW> found;
        for (DeviceBackend* backend : backends()) backend->listControllers(found);
        for (const DIDEVICEINSTANCEW& instance : found)
            if (callback(&instance, context) == DIENUM_STOP) break;
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE GetDeviceStatus(REFGUID) override { return DIERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override { return DIERR_UNSUPPORTED; }
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD) override { return DI_OK; }
    HRESULT STDMETHODCALLTYPE FindDevice(REFGUID, LPCWSTR, LPGUID) override {
        return DIERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE EnumDevicesBySemantics(LPCWSTR, LPDIACTIONFORMATW,
                                                     LPDIENUMDEVICESBYSEMANTICSCBW, LPVOID,
                                                     DWORD) override {
        return DIERR_UNSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE ConfigureDevices(LPDICONFIGUREDEVICESCALLBACK,
                                               LPDICONFIGUREDEVICESPARAMSW, DWORD,
                                               LPVOID) override {
        return DIERR_UNSUPPORTED;
    }

  private:
    std::atomic<ULONG> references_{1};
};

}  // namespace

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
    *out = static_cast<IDirectInput8W*>(new platform::DirectInput());
    return DI_OK;
}
