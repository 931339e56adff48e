#include "support/fake_directinput.h"

#include <algorithm>
#include <cstdio>

namespace fake {
namespace {

FakeWorld* currentWorld = nullptr;

std::string number(long long value) {
    return std::to_string(value);
}

const GUID* propertyAddress(REFGUID guid) {
    return &guid;
}

std::string propertyName(REFGUID guid) {
    // Properties are small integers disguised as GUID references: compare addresses only.
    if (propertyAddress(guid) == &DIPROP_RANGE) return "DIPROP_RANGE";
    if (propertyAddress(guid) == &DIPROP_AUTOCENTER) return "DIPROP_AUTOCENTER";
    return "property@" + number(static_cast<long long>(reinterpret_cast<std::uintptr_t>(&guid)));
}

bool matches(const std::string& pattern, const std::string& call) {
    for (const char* wildcard : {"device*.", "effect*."}) {
        const std::string head(wildcard, 6);
        if (pattern.rfind(wildcard, 0) == 0 && call.rfind(head, 0) == 0) {
            const auto dot = call.find('.');
            return dot != std::string::npos &&
                   call.compare(dot + 1, pattern.size() - 8, pattern, 8) == 0;
        }
    }
    return call.rfind(pattern, 0) == 0;
}

EffectParameters copyEffect(const std::string& effect, LPCDIEFFECT record, DWORD flags) {
    EffectParameters copy;
    copy.effect = effect;
    copy.flags = flags;
    if (record == nullptr) return copy;
    copy.effectRecord = *record;
    const DWORD axes = std::min<DWORD>(record->cAxes, 8);
    for (DWORD i = 0; i < axes; ++i) {
        if (record->rgdwAxes != nullptr) copy.axes.push_back(record->rgdwAxes[i]);
        if (record->rglDirection != nullptr) copy.directions.push_back(record->rglDirection[i]);
    }
    copy.hasEnvelope = record->lpEnvelope != nullptr;
    if (record->lpvTypeSpecificParams != nullptr && record->cbTypeSpecificParams <= 64) {
        const auto* bytes = static_cast<const unsigned char*>(record->lpvTypeSpecificParams);
        copy.typeSpecific.assign(bytes, bytes + record->cbTypeSpecificParams);
    }
    return copy;
}

}  // namespace

std::string guidName(REFGUID guid) {
    struct Known {
        const GUID* guid;
        const char* name;
    };
    static const Known known[] = {
        {&GUID_ConstantForce, "ConstantForce"},
        {&GUID_Sine, "Sine"},
        {&GUID_Square, "Square"},
        {&GUID_Damper, "Damper"},
        {&IID_IDirectInput8W, "IID_IDirectInput8W"},
        {&IID_IDirectInputDevice8W, "IID_IDirectInputDevice8W"},
    };
    for (const Known& k : known)
        if (*k.guid == guid) return k.name;
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X}", static_cast<unsigned>(guid.Data1),
                  guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1]);
    return text;
}

DIEFFECTINFOW effectInfo(const GUID& guid, const platform::WideString& name, DWORD type) {
    DIEFFECTINFOW info{};
    info.dwSize = sizeof info;
    info.guid = guid;
    info.dwEffType = type;
    const std::size_t n = std::min<std::size_t>(name.size(), MAX_PATH - 1);
    std::copy_n(name.begin(), n, info.tszName);
    return info;
}

// ---------------------------------------------------------------------------------------------
// FakeWorld

FakeWorld::FakeWorld() : directInput_(std::make_unique<FakeDirectInput>(*this)) {
    currentWorld = this;
}

FakeWorld::~FakeWorld() {
    if (currentWorld == this) currentWorld = nullptr;
}

FakeWorld& FakeWorld::current() {
    return *currentWorld;
}

std::vector<std::string> FakeWorld::callsStartingWith(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& call : calls_)
        if (matches(prefix, call)) found.push_back(call);
    return found;
}

void FakeWorld::failOn(const std::string& callPrefix, HRESULT result, int skip, int times) {
    failures_.push_back({callPrefix, result, skip, times});
}

HRESULT FakeWorld::record(const std::string& call) {
    calls_.push_back(call);
    for (Failure& failure : failures_) {
        if (!matches(failure.pattern, call)) continue;
        if (failure.skip > 0) {
            --failure.skip;
            continue;
        }
        if (failure.times == 0) continue;
        if (failure.times > 0) --failure.times;
        return failure.result;
    }
    return DI_OK;
}

FakeController& FakeWorld::addController(platform::WideString productName, bool forceFeedback) {
    FakeController controller;
    controller.instanceGuid = {0x1000u + static_cast<DWORD>(controllers_.size()),
                               0x1234,
                               0x5678,
                               {1, 2, 3, 4, 5, 6, 7, 8}};
    controller.productName = std::move(productName);
    if (!forceFeedback) controller.behaviour.capabilityFlags = DIDC_ATTACHED;
    controllers_.push_back(std::move(controller));
    return controllers_.back();
}

FakeDevice& FakeWorld::addDevice(DeviceBehaviour behaviour) {
    return makeDevice(behaviour, true);
}

FakeDevice& FakeWorld::makeDevice(const DeviceBehaviour& behaviour, bool acquired) {
    devices_.push_back(std::make_unique<FakeDevice>(
        *this, "device" + number(static_cast<long long>(devices_.size() + 1)), behaviour,
        acquired));
    return *devices_.back();
}

FakeEffect& FakeWorld::makeEffect(FakeDevice& device, const GUID& type) {
    effects_.push_back(std::make_unique<FakeEffect>(
        *this, device, "effect" + number(static_cast<long long>(effects_.size() + 1)), type));
    return *effects_.back();
}

ULONG FakeWorld::outstandingReferences() const {
    ULONG total = directInput_->references();
    for (const auto& device : devices_) total += device->references();
    for (const auto& effect : effects_) total += effect->references();
    return total;
}

HRESULT WINAPI fakeDirectInput8Create(HINSTANCE instance, DWORD version, REFIID riid, LPVOID* out,
                                      LPUNKNOWN outer) {
    FakeWorld& world = FakeWorld::current();
    const HRESULT hr = world.record("DirectInput8Create(" + number(version) + "," + guidName(riid) +
                                    (instance == nullptr ? ",null module" : "") +
                                    (outer != nullptr ? ",outer" : "") + ")");
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    const HRESULT result = FAILED(hr) ? hr : world.createResult;
    if (SUCCEEDED(result) || world.createHandsOutObjectOnFailure) {
        world.directInput().AddRef();
        *out = static_cast<IDirectInput8W*>(&world.directInput());
    }
    return result;
}

// ---------------------------------------------------------------------------------------------
// FakeDirectInput

HRESULT FakeDirectInput::QueryInterface(REFIID, void** object) {
    if (object != nullptr) *object = nullptr;
    return world_.record("directInput.QueryInterface") == DI_OK ? E_NOINTERFACE : E_NOINTERFACE;
}
ULONG FakeDirectInput::AddRef() {
    return ++references_;
}
ULONG FakeDirectInput::Release() {
    world_.record(references_ == 0 ? "directInput.Release(over-released)" : "directInput.Release");
    return references_ == 0 ? 0 : --references_;
}

HRESULT FakeDirectInput::CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICE8W* device,
                                      LPUNKNOWN outer) {
    const HRESULT hr = world_.record("directInput.CreateDevice(" + guidName(guid) +
                                     (outer != nullptr ? ",outer" : "") + ")");
    if (device == nullptr) return E_POINTER;
    *device = nullptr;
    if (FAILED(hr)) return hr;
    for (const FakeController& controller : world_.controllers()) {
        if (controller.instanceGuid == guid) {
            FakeDevice& created = world_.makeDevice(controller.behaviour);
            world_.record("  -> " + created.name());
            *device = &created;
            return DI_OK;
        }
    }
    return DIERR_DEVICENOTREG;
}

HRESULT FakeDirectInput::EnumDevices(DWORD deviceClass, LPDIENUMDEVICESCALLBACKW callback,
                                     LPVOID context, DWORD flags) {
    const HRESULT hr =
        world_.record("directInput.EnumDevices(" + number(deviceClass) + "," + number(flags) + ")");
    for (const FakeController& controller : world_.controllers()) {
        DIDEVICEINSTANCEW instance{};
        instance.dwSize = sizeof instance;
        instance.guidInstance = controller.instanceGuid;
        instance.guidProduct = controller.instanceGuid;
        instance.guidProduct.Data1 ^= 0xFFFF;
        const platform::WideString instanceName = TORVANE_WIDE("instance name, not the product");
        std::copy(instanceName.begin(), instanceName.end(), instance.tszInstanceName);
        const std::size_t n = std::min<std::size_t>(controller.productName.size(), MAX_PATH - 1);
        std::copy_n(controller.productName.begin(), n, instance.tszProductName);
        if (callback(&instance, context) == DIENUM_STOP) break;
    }
    return hr;
}

HRESULT FakeDirectInput::GetDeviceStatus(REFGUID) {
    return world_.record("directInput.GetDeviceStatus");
}
HRESULT FakeDirectInput::RunControlPanel(HWND, DWORD) {
    world_.record("directInput.RunControlPanel");
    return DIERR_UNSUPPORTED;
}
HRESULT FakeDirectInput::Initialize(HINSTANCE, DWORD) {
    return world_.record("directInput.Initialize");
}
HRESULT FakeDirectInput::FindDevice(REFGUID, LPCWSTR, LPGUID) {
    world_.record("directInput.FindDevice");
    return DIERR_UNSUPPORTED;
}
HRESULT FakeDirectInput::EnumDevicesBySemantics(LPCWSTR, LPDIACTIONFORMATW,
                                                LPDIENUMDEVICESBYSEMANTICSCBW, LPVOID, DWORD) {
    world_.record("directInput.EnumDevicesBySemantics");
    return DIERR_UNSUPPORTED;
}
HRESULT FakeDirectInput::ConfigureDevices(LPDICONFIGUREDEVICESCALLBACK, LPDICONFIGUREDEVICESPARAMSW,
                                          DWORD, LPVOID) {
    world_.record("directInput.ConfigureDevices");
    return DIERR_UNSUPPORTED;
}

// ---------------------------------------------------------------------------------------------
// FakeDevice

FakeDevice::FakeDevice(FakeWorld& world, std::string name, DeviceBehaviour behaviour, bool acquired)
    : world_(world),
      name_(std::move(name)),
      behaviour_(std::move(behaviour)),
      acquired_(acquired) {}

void FakeDevice::lose() {
    acquired_ = false;
    for (const auto& effect : world_.effects())
        if (&effect->device() == this) effect->unload();
}

void FakeDevice::unplug() {
    lose();
    unplugged_ = true;
}

HRESULT FakeDevice::QueryInterface(REFIID, void** object) {
    if (object != nullptr) *object = nullptr;
    world_.record(name_ + ".QueryInterface");
    return E_NOINTERFACE;
}
ULONG FakeDevice::AddRef() {
    return ++references_;
}
ULONG FakeDevice::Release() {
    world_.record(name_ + (references_ == 0 ? ".Release(over-released)" : ".Release"));
    return references_ == 0 ? 0 : --references_;
}

HRESULT FakeDevice::GetCapabilities(LPDIDEVCAPS caps) {
    const DWORD size = caps == nullptr ? 0 : caps->dwSize;
    const HRESULT hr = world_.record(name_ + ".GetCapabilities(" + number(size) + ")");
    if (FAILED(hr)) return hr;
    if (caps == nullptr || caps->dwSize != sizeof(DIDEVCAPS)) return DIERR_INVALIDPARAM;
    caps->dwFlags = behaviour_.capabilityFlags;
    caps->dwDevType = DI8DEVTYPE_DRIVING;
    caps->dwAxes = static_cast<DWORD>(behaviour_.axisTypes.size());
    caps->dwButtons = 128;
    return DI_OK;
}

HRESULT FakeDevice::EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKW callback, LPVOID context,
                                DWORD flags) {
    const HRESULT hr = world_.record(name_ + ".EnumObjects(" + number(flags) + ")");
    if (FAILED(hr)) return hr;
    for (DWORD type : behaviour_.axisTypes) {
        DIDEVICEOBJECTINSTANCEW object{};
        object.dwSize = sizeof object;
        object.guidType = GUID_XAxis;
        object.dwType = type;
        if (callback(&object, context) == DIENUM_STOP) break;
    }
    return DI_OK;
}

HRESULT FakeDevice::GetProperty(REFGUID, LPDIPROPHEADER) {
    world_.record(name_ + ".GetProperty");
    return DIERR_UNSUPPORTED;
}

HRESULT FakeDevice::SetProperty(REFGUID property, LPCDIPROPHEADER header) {
    std::string call = name_ + ".SetProperty(" + propertyName(property);
    if (header != nullptr) {
        call += ",size=" + number(header->dwSize) + ",header=" + number(header->dwHeaderSize) +
                ",obj=" + number(header->dwObj) + ",how=" + number(header->dwHow);
        if (propertyAddress(property) == &DIPROP_RANGE && header->dwSize == sizeof(DIPROPRANGE)) {
            const auto* range = reinterpret_cast<const DIPROPRANGE*>(header);
            call += ",min=" + number(range->lMin) + ",max=" + number(range->lMax);
        } else if (header->dwSize == sizeof(DIPROPDWORD)) {
            call += ",data=" + number(reinterpret_cast<const DIPROPDWORD*>(header)->dwData);
        }
    }
    const HRESULT hr = world_.record(call + ")");
    if (hr != DI_OK) return hr;
    return acquired_ && propertyAddress(property) == &DIPROP_AUTOCENTER ? DIERR_ACQUIRED : DI_OK;
}

HRESULT FakeDevice::Acquire() {
    const HRESULT hr = world_.record(name_ + ".Acquire");
    if (hr != DI_OK) return hr;
    if (unplugged_) return static_cast<HRESULT>(DIERR_UNPLUGGED);
    if (acquired_) return DI_NOEFFECT;
    acquired_ = true;
    return DI_OK;
}
HRESULT FakeDevice::Unacquire() {
    const HRESULT hr = world_.record(name_ + ".Unacquire");
    if (SUCCEEDED(hr)) lose();
    return hr;
}

HRESULT FakeDevice::GetDeviceState(DWORD size, LPVOID data) {
    const HRESULT hr = world_.record(name_ + ".GetDeviceState(" + number(size) + ")");
    if (FAILED(hr)) return hr;
    if (data == nullptr || size != sizeof(DIJOYSTATE2)) return DIERR_INVALIDPARAM;
    DIJOYSTATE2 state{};
    if (!behaviour_.states.empty())
        state = behaviour_.states[std::min(statesRead_, behaviour_.states.size() - 1)];
    ++statesRead_;
    std::memcpy(data, &state, sizeof state);
    return DI_OK;
}

HRESULT FakeDevice::GetDeviceData(DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD) {
    world_.record(name_ + ".GetDeviceData");
    return DIERR_UNSUPPORTED;
}

HRESULT FakeDevice::SetDataFormat(LPCDIDATAFORMAT format) {
    const HRESULT hr =
        world_.record(name_ + ".SetDataFormat(" +
                      (format == &c_dfDIJoystick2 ? "c_dfDIJoystick2" : "other") + ")");
    if (SUCCEEDED(hr)) dataFormat_ = format;
    return hr;
}

HRESULT FakeDevice::SetEventNotification(HANDLE) {
    world_.record(name_ + ".SetEventNotification");
    return DIERR_UNSUPPORTED;
}

HRESULT FakeDevice::SetCooperativeLevel(HWND window, DWORD flags) {
    const HRESULT hr =
        world_.record(name_ + ".SetCooperativeLevel(" + (window == nullptr ? "null," : "window,") +
                      number(flags) + ")");
    if (SUCCEEDED(hr)) cooperativeWindow_ = window;
    return hr;
}

HRESULT FakeDevice::GetObjectInfo(LPDIDEVICEOBJECTINSTANCEW, DWORD, DWORD) {
    world_.record(name_ + ".GetObjectInfo");
    return DIERR_UNSUPPORTED;
}
HRESULT FakeDevice::GetDeviceInfo(LPDIDEVICEINSTANCEW) {
    world_.record(name_ + ".GetDeviceInfo");
    return DIERR_UNSUPPORTED;
}
HRESULT FakeDevice::RunControlPanel(HWND, DWORD) {
    world_.record(name_ + ".RunControlPanel");
    return DIERR_UNSUPPORTED;
}
HRESULT FakeDevice::Initialize(HINSTANCE, DWORD, REFGUID) {
    return world_.record(name_ + ".Initialize");
}

HRESULT FakeDevice::CreateEffect(REFGUID type, LPCDIEFFECT record, LPDIRECTINPUTEFFECT* effect,
                                 LPUNKNOWN outer) {
    const HRESULT hr = world_.record(name_ + ".CreateEffect(" + guidName(type) +
                                     (outer != nullptr ? ",outer" : "") + ")");
    if (effect == nullptr) return E_POINTER;
    *effect = nullptr;
    if (FAILED(hr)) {
        world_.recordParameters(copyEffect("(failed)", record, 0));
        return hr;
    }
    FakeEffect& created = world_.makeEffect(*this, type);
    world_.recordParameters(copyEffect(created.name(), record, 0));
    *effect = &created;
    return DI_OK;
}

HRESULT FakeDevice::EnumEffects(LPDIENUMEFFECTSCALLBACKW callback, LPVOID context, DWORD type) {
    const HRESULT hr = world_.record(name_ + ".EnumEffects(" + number(type) + ")");
    if (FAILED(hr)) return hr;
    for (const DIEFFECTINFOW& info : behaviour_.effects)
        if (callback(&info, context) == DIENUM_STOP) break;
    return DI_OK;
}

HRESULT FakeDevice::GetEffectInfo(LPDIEFFECTINFOW, REFGUID) {
    world_.record(name_ + ".GetEffectInfo");
    return DIERR_UNSUPPORTED;
}
HRESULT FakeDevice::GetForceFeedbackState(LPDWORD) {
    world_.record(name_ + ".GetForceFeedbackState");
    return DIERR_UNSUPPORTED;
}
HRESULT FakeDevice::SendForceFeedbackCommand(DWORD command) {
    return world_.record(name_ + ".SendForceFeedbackCommand(" + number(command) + ")");
}
HRESULT FakeDevice::EnumCreatedEffectObjects(LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID, DWORD) {
    world_.record(name_ + ".EnumCreatedEffectObjects");
    return DIERR_UNSUPPORTED;
}
HRESULT FakeDevice::Escape(LPDIEFFESCAPE) {
    world_.record(name_ + ".Escape");
    return DIERR_UNSUPPORTED;
}
HRESULT FakeDevice::Poll() {
    const HRESULT hr = world_.record(name_ + ".Poll");
    if (FAILED(hr)) return hr;
    if (!acquired_) return DIERR_NOTACQUIRED;
    const std::size_t made = pollsMade_++;
    const HRESULT result =
        made < behaviour_.pollResults.size() ? behaviour_.pollResults[made] : DI_OK;
    if (result == DIERR_INPUTLOST) lose();
    return result;
}
HRESULT FakeDevice::SendDeviceData(DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD) {
    world_.record(name_ + ".SendDeviceData");
    return DIERR_UNSUPPORTED;
}
HRESULT FakeDevice::EnumEffectsInFile(LPCWSTR, LPDIENUMEFFECTSINFILECALLBACK, LPVOID, DWORD) {
    world_.record(name_ + ".EnumEffectsInFile");
    return DIERR_UNSUPPORTED;
}
HRESULT FakeDevice::WriteEffectToFile(LPCWSTR, DWORD, LPDIFILEEFFECT, DWORD) {
    world_.record(name_ + ".WriteEffectToFile");
    return DIERR_UNSUPPORTED;
}
HRESULT FakeDevice::BuildActionMap(LPDIACTIONFORMATW, LPCWSTR, DWORD) {
    world_.record(name_ + ".BuildActionMap");
    return DIERR_UNSUPPORTED;
}
HRESULT FakeDevice::SetActionMap(LPDIACTIONFORMATW, LPCWSTR, DWORD) {
    world_.record(name_ + ".SetActionMap");
    return DIERR_UNSUPPORTED;
}
HRESULT FakeDevice::GetImageInfo(LPDIDEVICEIMAGEINFOHEADERW) {
    world_.record(name_ + ".GetImageInfo");
    return DIERR_UNSUPPORTED;
}

// ---------------------------------------------------------------------------------------------
// FakeEffect

FakeEffect::FakeEffect(FakeWorld& world, FakeDevice& device, std::string name, const GUID& type)
    : world_(world), device_(device), name_(std::move(name)), type_(type) {}

HRESULT FakeEffect::QueryInterface(REFIID, void** object) {
    if (object != nullptr) *object = nullptr;
    world_.record(name_ + ".QueryInterface");
    return E_NOINTERFACE;
}
ULONG FakeEffect::AddRef() {
    return ++references_;
}
ULONG FakeEffect::Release() {
    world_.record(name_ + (references_ == 0 ? ".Release(over-released)" : ".Release"));
    return references_ == 0 ? 0 : --references_;
}
HRESULT FakeEffect::Initialize(HINSTANCE, DWORD, REFGUID) {
    return world_.record(name_ + ".Initialize");
}
HRESULT FakeEffect::GetEffectGuid(LPGUID guid) {
    const HRESULT hr = world_.record(name_ + ".GetEffectGuid");
    if (SUCCEEDED(hr) && guid != nullptr) *guid = type_;
    return hr;
}
HRESULT FakeEffect::GetParameters(LPDIEFFECT, DWORD) {
    world_.record(name_ + ".GetParameters");
    return DIERR_UNSUPPORTED;
}
HRESULT FakeEffect::SetParameters(LPCDIEFFECT record, DWORD flags) {
    const HRESULT hr = world_.record(name_ + ".SetParameters(" + number(flags) + ")");
    world_.recordParameters(copyEffect(name_, record, flags));
    if (hr != DI_OK) return hr;
    return device_.acquired() ? DI_OK : DI_DOWNLOADSKIPPED;  // kept, but not on the device
}
HRESULT FakeEffect::Start(DWORD iterations, DWORD flags) {
    const HRESULT hr =
        world_.record(name_ + ".Start(" + number(iterations) + "," + number(flags) + ")");
    if (hr != DI_OK) return hr;
    if (!device_.acquired()) return static_cast<HRESULT>(DIERR_NOTEXCLUSIVEACQUIRED);
    playing_ = true;
    return DI_OK;
}
HRESULT FakeEffect::Stop() {
    const HRESULT hr = world_.record(name_ + ".Stop");
    if (SUCCEEDED(hr)) playing_ = false;
    return hr;
}
HRESULT FakeEffect::GetEffectStatus(LPDWORD) {
    world_.record(name_ + ".GetEffectStatus");
    return DIERR_UNSUPPORTED;
}
HRESULT FakeEffect::Download() {
    return world_.record(name_ + ".Download");
}
HRESULT FakeEffect::Unload() {
    return world_.record(name_ + ".Unload");
}
HRESULT FakeEffect::Escape(LPDIEFFESCAPE) {
    world_.record(name_ + ".Escape");
    return DIERR_UNSUPPORTED;
}

}  // namespace fake
