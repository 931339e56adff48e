// IDirectInput8W over a DriverSource: enumeration lists the source's controllers, creation wraps
// the driver it opens in a wheel/device. The rest of the interface is what a program without a
// control panel or action mapping needs, so it answers DIERR_UNSUPPORTED.
#include "wheel/direct_input.h"

#include "wheel/com_object.h"
#include "wheel/device.h"

namespace wheel {
namespace {

class DirectInput final : public detail::ComObject<DirectInput, IDirectInput8W> {
  public:
    DirectInput(DriverSource& source, Journal* journal)
        : ComObject(IID_IDirectInput8W), source_(source), journal_(journal) {}

    HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID instance, LPDIRECTINPUTDEVICE8W* device,
                                           LPUNKNOWN outer) override {
        if (device == nullptr) return E_POINTER;
        *device = nullptr;
        if (outer != nullptr) return DIERR_NOAGGREGATION;
        std::unique_ptr<Driver> driver = source_.openDevice(instance);
        if (driver == nullptr) return DIERR_DEVICENOTREG;
        *device = createDevice(std::move(driver), journal_);
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE EnumDevices(DWORD deviceClass, LPDIENUMDEVICESCALLBACKW callback,
                                          LPVOID context, DWORD flags) override {
        if (callback == nullptr) return DIERR_INVALIDPARAM;
        // Every controller a source knows is an attached game controller.
        if (deviceClass != DI8DEVCLASS_ALL && deviceClass != DI8DEVCLASS_GAMECTRL) return DI_OK;
        std::vector<DriverInfo> found;
        source_.listDevices(found);
        DIDEVICEINSTANCEW instance;
        for (const DriverInfo& info : found) {
            if ((flags & DIEDFL_FORCEFEEDBACK) != 0 && info.effects == 0) continue;
            describeDevice(info, instance);
            if (callback(&instance, context) == DIENUM_STOP) break;
        }
        return DI_OK;
    }

    HRESULT STDMETHODCALLTYPE GetDeviceStatus(REFGUID instance) override {
        std::vector<DriverInfo> found;
        source_.listDevices(found);
        for (const DriverInfo& info : found)
            if (info.instanceGuid == instance) return DI_OK;
        return DI_NOTATTACHED;
    }
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
    DriverSource& source_;
    Journal* journal_;
};

}  // namespace

IDirectInput8W* createDirectInput(DriverSource& source, Journal* journal) {
    return new DirectInput(source, journal);
}

}  // namespace wheel
