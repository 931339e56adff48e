// A recording fake of DirectInput: IDirectInput8W, IDirectInputDevice8W and IDirectInputEffect.
// Every call is written to one shared log, in order, as "object.Method(arguments)"; any call can
// be told to fail; effect parameters are kept as copies of the records the caller passed. The
// objects live as long as the FakeWorld, so a test can inspect them after the code released them.
// Acquisition behaves as DirectInput documents it: losing or unacquiring a device stops and
// unloads its effects, which then need Start again; Start needs the device acquired, and
// SetParameters on a device that is not answers DI_DOWNLOADSKIPPED; autocentering can be switched
// only while the device is not acquired.
#pragma once

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace fake {

std::string guidName(REFGUID guid);

/// One SetParameters or CreateEffect record, deep-copied at the time of the call.
struct EffectParameters {
    std::string effect;       ///< "effect1".. in creation order
    DWORD flags = 0;          ///< SetParameters flags; 0 for creation
    DIEFFECT effectRecord{};  ///< pointers inside are dangling: use the copies below
    std::vector<DWORD> axes;
    std::vector<LONG> directions;
    bool hasEnvelope = false;
    std::vector<unsigned char> typeSpecific;

    template <typename Record>
    Record as() const {
        Record record{};
        if (typeSpecific.size() == sizeof record)
            std::memcpy(&record, typeSpecific.data(), sizeof record);
        return record;
    }
};

class FakeWorld;
class FakeDevice;

class FakeEffect final : public IDirectInputEffect {
  public:
    FakeEffect(FakeWorld& world, FakeDevice& device, std::string name, const GUID& type);
    const std::string& name() const { return name_; }
    const GUID& type() const { return type_; }
    const FakeDevice& device() const { return device_; }
    ULONG references() const { return references_; }
    /// Started, and neither stopped nor unloaded by its device since.
    bool playing() const { return playing_; }
    void unload() { playing_ = false; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD, REFGUID) override;
    HRESULT STDMETHODCALLTYPE GetEffectGuid(LPGUID) override;
    HRESULT STDMETHODCALLTYPE GetParameters(LPDIEFFECT, DWORD) override;
    HRESULT STDMETHODCALLTYPE SetParameters(LPCDIEFFECT, DWORD) override;
    HRESULT STDMETHODCALLTYPE Start(DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE GetEffectStatus(LPDWORD) override;
    HRESULT STDMETHODCALLTYPE Download() override;
    HRESULT STDMETHODCALLTYPE Unload() override;
    HRESULT STDMETHODCALLTYPE Escape(LPDIEFFESCAPE) override;

  private:
    FakeWorld& world_;
    FakeDevice& device_;
    std::string name_;
    GUID type_;
    ULONG references_ = 1;
    bool playing_ = false;
};

/// What a fake device reports and does.
struct DeviceBehaviour {
    DWORD capabilityFlags = DIDC_ATTACHED | DIDC_FORCEFEEDBACK;
    std::vector<DWORD> axisTypes;        ///< dwType of each axis EnumObjects reports
    std::vector<DIEFFECTINFOW> effects;  ///< what EnumEffects reports
    std::vector<DIJOYSTATE2> states;     ///< successive GetDeviceState results; the last repeats
    std::vector<HRESULT> pollResults;    ///< successive Poll results; DI_OK once used up;
                                         ///< DIERR_INPUTLOST also loses the device
};

class FakeDevice final : public IDirectInputDevice8W {
  public:
    FakeDevice(FakeWorld& world, std::string name, DeviceBehaviour behaviour, bool acquired);
    const std::string& name() const { return name_; }
    bool acquired() const { return acquired_; }
    /// The wheel goes away: the device is lost, and Acquire fails until plugIn.
    void unplug();
    void plugIn() { unplugged_ = false; }
    ULONG references() const { return references_; }
    DeviceBehaviour& behaviour() { return behaviour_; }
    const DIDATAFORMAT* dataFormat() const { return dataFormat_; }
    HWND cooperativeWindow() const { return cooperativeWindow_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetCapabilities(LPDIDEVCAPS) override;
    HRESULT STDMETHODCALLTYPE EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKW, LPVOID, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetProperty(REFGUID, LPDIPROPHEADER) override;
    HRESULT STDMETHODCALLTYPE SetProperty(REFGUID, LPCDIPROPHEADER) override;
    HRESULT STDMETHODCALLTYPE Acquire() override;
    HRESULT STDMETHODCALLTYPE Unacquire() override;
    HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD, LPVOID) override;
    HRESULT STDMETHODCALLTYPE GetDeviceData(DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT) override;
    HRESULT STDMETHODCALLTYPE SetEventNotification(HANDLE) override;
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetObjectInfo(LPDIDEVICEOBJECTINSTANCEW, DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetDeviceInfo(LPDIDEVICEINSTANCEW) override;
    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override;
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD, REFGUID) override;
    HRESULT STDMETHODCALLTYPE CreateEffect(REFGUID, LPCDIEFFECT, LPDIRECTINPUTEFFECT*,
                                           LPUNKNOWN) override;
    HRESULT STDMETHODCALLTYPE EnumEffects(LPDIENUMEFFECTSCALLBACKW, LPVOID, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetEffectInfo(LPDIEFFECTINFOW, REFGUID) override;
    HRESULT STDMETHODCALLTYPE GetForceFeedbackState(LPDWORD) override;
    HRESULT STDMETHODCALLTYPE SendForceFeedbackCommand(DWORD) override;
    HRESULT STDMETHODCALLTYPE EnumCreatedEffectObjects(LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID,
                                                       DWORD) override;
    HRESULT STDMETHODCALLTYPE Escape(LPDIEFFESCAPE) override;
    HRESULT STDMETHODCALLTYPE Poll() override;
    HRESULT STDMETHODCALLTYPE SendDeviceData(DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE EnumEffectsInFile(LPCWSTR, LPDIENUMEFFECTSINFILECALLBACK, LPVOID,
                                                DWORD) override;
    HRESULT STDMETHODCALLTYPE WriteEffectToFile(LPCWSTR, DWORD, LPDIFILEEFFECT, DWORD) override;
    HRESULT STDMETHODCALLTYPE BuildActionMap(LPDIACTIONFORMATW, LPCWSTR, DWORD) override;
    HRESULT STDMETHODCALLTYPE SetActionMap(LPDIACTIONFORMATW, LPCWSTR, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetImageInfo(LPDIDEVICEIMAGEINFOHEADERW) override;

  private:
    /// What DirectInput does when it unacquires a device: its effects stop and are unloaded.
    void lose();

    FakeWorld& world_;
    std::string name_;
    DeviceBehaviour behaviour_;
    ULONG references_ = 1;
    bool acquired_ = false;
    bool unplugged_ = false;
    const DIDATAFORMAT* dataFormat_ = nullptr;
    HWND cooperativeWindow_ = nullptr;
    std::size_t statesRead_ = 0;
    std::size_t pollsMade_ = 0;
};

/// One attached controller as the fake DirectInput reports it.
struct FakeController {
    GUID instanceGuid{};
    platform::WideString productName;
    DeviceBehaviour behaviour;  ///< the devices CreateDevice makes for it behave so
};

class FakeDirectInput final : public IDirectInput8W {
  public:
    explicit FakeDirectInput(FakeWorld& world) : world_(world) {}
    ULONG references() const { return references_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID, LPDIRECTINPUTDEVICE8W*, LPUNKNOWN) override;
    HRESULT STDMETHODCALLTYPE EnumDevices(DWORD, LPDIENUMDEVICESCALLBACKW, LPVOID, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetDeviceStatus(REFGUID) override;
    HRESULT STDMETHODCALLTYPE RunControlPanel(HWND, DWORD) override;
    HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD) override;
    HRESULT STDMETHODCALLTYPE FindDevice(REFGUID, LPCWSTR, LPGUID) override;
    HRESULT STDMETHODCALLTYPE EnumDevicesBySemantics(LPCWSTR, LPDIACTIONFORMATW,
                                                     LPDIENUMDEVICESBYSEMANTICSCBW, LPVOID,
                                                     DWORD) override;
    HRESULT STDMETHODCALLTYPE ConfigureDevices(LPDICONFIGUREDEVICESCALLBACK,
                                               LPDICONFIGUREDEVICESPARAMSW, DWORD, LPVOID) override;

  private:
    FakeWorld& world_;
    ULONG references_ = 0;  // handed out by fakeDirectInput8Create
};

/// Owns every fake object and the call log. While a world exists it is the one that
/// fakeDirectInput8Create hands out (one world at a time).
class FakeWorld {
  public:
    FakeWorld();
    ~FakeWorld();
    FakeWorld(const FakeWorld&) = delete;
    FakeWorld& operator=(const FakeWorld&) = delete;

    static FakeWorld& current();

    /// Calls logged so far, in order.
    const std::vector<std::string>& calls() const { return calls_; }
    /// The logged calls whose text starts with prefix.
    std::vector<std::string> callsStartingWith(const std::string& prefix) const;
    void clearCalls() { calls_.clear(); }
    /// Makes later calls whose logged text starts with callPrefix return result, after the first
    /// `skip` matching calls have succeeded, `times` times (negative: always). "device*." and
    /// "effect*." match any device or effect.
    void failOn(const std::string& callPrefix, HRESULT result = E_FAIL, int skip = 0,
                int times = -1);

    /// Effect parameters passed to CreateEffect (flags 0) and SetParameters, in call order.
    const std::vector<EffectParameters>& parameters() const { return parameters_; }

    std::vector<FakeController>& controllers() { return controllers_; }
    FakeController& addController(platform::WideString productName, bool forceFeedback = true);

    /// A device not reached through DirectInput, already acquired, for code that takes a set-up
    /// device directly.
    FakeDevice& addDevice(DeviceBehaviour behaviour = {});
    FakeDirectInput& directInput() { return *directInput_; }
    /// Devices and effects in creation order ("device1", "effect1", ...).
    const std::vector<std::unique_ptr<FakeDevice>>& devices() const { return devices_; }
    const std::vector<std::unique_ptr<FakeEffect>>& effects() const { return effects_; }
    /// References still held by the code under test, over every fake object.
    ULONG outstandingReferences() const;

    /// Whether DirectInput8Create should fail, and with which result (and whether it still hands
    /// out an object, which some failing implementations do).
    HRESULT createResult = DI_OK;
    bool createHandsOutObjectOnFailure = false;

    // For the fakes themselves.
    HRESULT record(const std::string& call);
    void recordParameters(EffectParameters parameters) {
        parameters_.push_back(std::move(parameters));
    }
    FakeDevice& makeDevice(const DeviceBehaviour& behaviour, bool acquired = false);
    FakeEffect& makeEffect(FakeDevice& device, const GUID& type);

  private:
    std::vector<std::string> calls_;
    struct Failure {
        std::string pattern;
        HRESULT result;
        int skip;
        int times;
    };
    std::vector<Failure> failures_;
    std::vector<EffectParameters> parameters_;
    std::vector<FakeController> controllers_;
    std::unique_ptr<FakeDirectInput> directInput_;
    std::vector<std::unique_ptr<FakeDevice>> devices_;
    std::vector<std::unique_ptr<FakeEffect>> effects_;
};

/// A DirectInput8Create with the real signature that hands out the current world's object.
HRESULT WINAPI fakeDirectInput8Create(HINSTANCE instance, DWORD version, REFIID riid, LPVOID* out,
                                      LPUNKNOWN outer);

/// A DIEFFECTINFOW for EnumEffects.
DIEFFECTINFOW effectInfo(const GUID& guid, const platform::WideString& name, DWORD type);

}  // namespace fake
