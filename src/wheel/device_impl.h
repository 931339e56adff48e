// The classes behind wheel/device: the device and its effect objects. Internal to src/wheel.
// A device and its effects are used from one thread, as the program uses DirectInput; only the
// reference counts are atomic.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "wheel/com_object.h"
#include "wheel/device.h"
#include "wheel/journal.h"

namespace wheel::detail {

class Effect;

class Device final : public ComObject<Device, IDirectInputDevice8W> {
  public:
    Device(std::unique_ptr<Driver> driver, Journal* journal);
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    HRESULT STDMETHODCALLTYPE GetCapabilities(LPDIDEVCAPS caps) override;
    HRESULT STDMETHODCALLTYPE EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKW callback, LPVOID context,
                                          DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetProperty(REFGUID property, LPDIPROPHEADER header) override;
    HRESULT STDMETHODCALLTYPE SetProperty(REFGUID property, LPCDIPROPHEADER header) override;
    HRESULT STDMETHODCALLTYPE Acquire() override;
    HRESULT STDMETHODCALLTYPE Unacquire() override;
    HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD size, LPVOID data) override;
    HRESULT STDMETHODCALLTYPE GetDeviceData(DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT format) override;
    HRESULT STDMETHODCALLTYPE SetEventNotification(HANDLE) override;
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetObjectInfo(LPDIDEVICEOBJECTINSTANCEW object, DWORD id,
                                            DWORD how) override;
    HRESULT STDMETHODCALLTYPE GetDeviceInfo(LPDIDEVICEINSTANCEW instance) override;
    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override;
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD, REFGUID) override;
    HRESULT STDMETHODCALLTYPE CreateEffect(REFGUID type, LPCDIEFFECT parameters,
                                           LPDIRECTINPUTEFFECT* effect, LPUNKNOWN outer) override;
    HRESULT STDMETHODCALLTYPE EnumEffects(LPDIENUMEFFECTSCALLBACKW callback, LPVOID context,
                                          DWORD type) override;
    HRESULT STDMETHODCALLTYPE GetEffectInfo(LPDIEFFECTINFOW info, REFGUID type) override;
    HRESULT STDMETHODCALLTYPE GetForceFeedbackState(LPDWORD state) override;
    HRESULT STDMETHODCALLTYPE SendForceFeedbackCommand(DWORD command) override;
    HRESULT STDMETHODCALLTYPE EnumCreatedEffectObjects(
        LPDIENUMCREATEDEFFECTOBJECTSCALLBACK callback, LPVOID context, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Escape(LPDIEFFESCAPE) override;
    HRESULT STDMETHODCALLTYPE Poll() override;
    HRESULT STDMETHODCALLTYPE SendDeviceData(DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE EnumEffectsInFile(LPCWSTR, LPDIENUMEFFECTSINFILECALLBACK, LPVOID,
                                                DWORD) override;
    HRESULT STDMETHODCALLTYPE WriteEffectToFile(LPCWSTR, DWORD, LPDIFILEEFFECT, DWORD) override;
    HRESULT STDMETHODCALLTYPE BuildActionMap(LPDIACTIONFORMATW, LPCWSTR, DWORD) override;
    HRESULT STDMETHODCALLTYPE SetActionMap(LPDIACTIONFORMATW, LPCWSTR, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetImageInfo(LPDIDEVICEIMAGEINFOHEADERW) override;

    // For the effects.
    Driver& driver() { return *driver_; }
    bool exclusivelyAcquired() const { return acquired_ && (cooperation_ & DISCL_EXCLUSIVE) != 0; }
    /// The object id of the X axis, the one force-feedback actuator.
    DWORD actuatorId() const;
    /// DirectInput's answer to a driver's status; a lost or unplugged device is released first.
    HRESULT answer(DriverStatus status);
    /// Stops every playing effect but one (DIES_SOLO).
    HRESULT stopOthers(const Effect* keep);
    void forget(const Effect* effect);
    HRESULT note(Method method, int effect, DWORD argument, HRESULT result,
                 const EffectParameters* parameters = nullptr);

  private:
    /// Stops and unloads every effect and gives the device back (Unacquire, loss, destruction).
    void release();
    HRESULT setProperty(REFGUID property, LPCDIPROPHEADER header);
    HRESULT getProperty(REFGUID property, LPDIPROPHEADER header);
    /// The axis a property header names (DIPH_BYID or DIPH_BYOFFSET), or -1.
    int axisOf(const DIPROPHEADER& header) const;
    HRESULT pushForceState();

    std::unique_ptr<Driver> driver_;
    const DriverInfo& info_;
    Journal* journal_;
    bool formatSet_ = false;
    DWORD cooperation_ = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;  // DirectInput's default
    bool acquired_ = false;
    LONG rangeMin_[kAxisCount];
    LONG rangeMax_[kAxisCount];
    bool autocenter_ = true;
    DWORD gain_ = DI_FFNOMINALMAX;
    bool actuatorsOn_ = true;
    InputState input_{};
    std::vector<Effect*> effects_;
    int createdEffects_ = 0;
};

class Effect final : public ComObject<Effect, IDirectInputEffect> {
  public:
    Effect(Device& device, EffectKind kind);
    ~Effect();
    Effect(const Effect&) = delete;
    Effect& operator=(const Effect&) = delete;

    /// The last reference: the effect leaves the device, then lets go of it.
    void lastReleased();

    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD, REFGUID) override;
    HRESULT STDMETHODCALLTYPE GetEffectGuid(LPGUID guid) override;
    HRESULT STDMETHODCALLTYPE GetParameters(LPDIEFFECT parameters, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE SetParameters(LPCDIEFFECT parameters, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Start(DWORD iterations, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE GetEffectStatus(LPDWORD status) override;
    HRESULT STDMETHODCALLTYPE Download() override;
    HRESULT STDMETHODCALLTYPE Unload() override;
    HRESULT STDMETHODCALLTYPE Escape(LPDIEFFESCAPE) override;

    /// Validates and stores the flagged parts, then downloads and starts as flags say.
    HRESULT apply(LPCDIEFFECT parameters, DWORD flags);
    void setNumber(int number) { number_ = number; }
    int number() const { return number_; }
    const EffectParameters& parameters() const { return parameters_; }
    bool downloaded() const { return handle_ != kNoHandle; }
    bool playing() const { return playing_; }
    EffectHandle handle() const { return handle_; }
    /// The device dropped it from the driver (Unacquire, loss, DISFFC_RESET).
    void dropped() {
        handle_ = kNoHandle;
        playing_ = false;
    }
    void stopped() { playing_ = false; }

  private:
    HRESULT download();
    HRESULT start(DWORD iterations, DWORD flags);
    HRESULT unload();

    Device& device_;
    int number_ = kDeviceCall;
    EffectParameters parameters_{};
    DWORD partsSet_ = 0;   // DIEP_ flags of the parts the application has given
    bool changed_ = true;  // parameters differ from what the driver holds
    EffectHandle handle_ = kNoHandle;
    bool playing_ = false;
};

/// One of a device's objects: an axis, a POV or a button, by its number in DIJOYSTATE2.
struct ObjectRef {
    enum Kind { Axis, Pov, Button } kind;
    int index;
};
/// The object at position in the order EnumObjects lists them (axes, POVs, buttons); false past
/// the last.
bool objectAt(const DriverInfo& info, int position, ObjectRef& object);
void describeObject(const DriverInfo& info, const ObjectRef& object, DIDEVICEOBJECTINSTANCEW& out);
/// EnumObjects' filter: any one of its type bits, all of its attribute bits.
bool matchesFilter(DWORD type, DWORD filter);

/// The GUID, name and DIEFT_ type of an effect kind.
const GUID& effectGuid(EffectKind kind);
/// The effect kind a GUID names; false when DirectInput has no such kind here.
bool effectKindOf(REFGUID guid, EffectKind& kind);
void describeEffect(EffectKind kind, DIEFFECTINFOW& info);

}  // namespace wheel::detail
