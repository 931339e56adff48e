// DirectInput 8, as much of it as the program and its tests touch, with the layouts and sizes of a
// 64-bit Windows process and the COM interfaces' complete method lists in Windows' order, so that
// code written against these names (the program and its test fakes) compiles unchanged on both.
#pragma once

#include <cstddef>

#include "platform/linux/win32_types.h"

#define DIRECTINPUT_VERSION 0x0800

// Results
#define DI_OK S_OK
#define DI_NOEFFECT S_FALSE
#define DI_POLLEDDEVICE MAKE_HRESULT_CODE(0x00000002u)
#define DI_NOTATTACHED S_FALSE
#define DI_PROPNOEFFECT S_FALSE
#define DI_DOWNLOADSKIPPED MAKE_HRESULT_CODE(0x00000003u)
#define DI_EFFECTRESTARTED MAKE_HRESULT_CODE(0x00000004u)
#define DI_TRUNCATED MAKE_HRESULT_CODE(0x00000008u)
#define DI_TRUNCATEDANDRESTARTED MAKE_HRESULT_CODE(0x0000000Cu)
#define DIERR_INVALIDPARAM E_INVALIDARG
#define DIERR_NOINTERFACE E_NOINTERFACE
#define DIERR_GENERIC E_FAIL
#define DIERR_UNSUPPORTED E_NOTIMPL
#define DIERR_DEVICENOTREG REGDB_E_CLASSNOTREG
#define DIERR_OTHERAPPHASPRIO E_ACCESSDENIED
#define DIERR_NOTACQUIRED MAKE_HRESULT_CODE(0x8007000Cu)
#define DIERR_INPUTLOST MAKE_HRESULT_CODE(0x8007001Eu)
#define DIERR_NOTINITIALIZED MAKE_HRESULT_CODE(0x80070015u)
#define DIERR_NOAGGREGATION CLASS_E_NOAGGREGATION
#define DIERR_ACQUIRED MAKE_HRESULT_CODE(0x800700AAu)
#define DIERR_NOTFOUND MAKE_HRESULT_CODE(0x80070002u)
#define DIERR_OBJECTNOTFOUND MAKE_HRESULT_CODE(0x80070002u)
#define DIERR_ALREADYINITIALIZED MAKE_HRESULT_CODE(0x800704DFu)
#define DIERR_OUTOFMEMORY E_OUTOFMEMORY
#define DIERR_INSUFFICIENTPRIVS MAKE_HRESULT_CODE(0x80040200u)
#define DIERR_DEVICEFULL MAKE_HRESULT_CODE(0x80040201u)
#define DIERR_MOREDATA MAKE_HRESULT_CODE(0x80040202u)
#define DIERR_NOTDOWNLOADED MAKE_HRESULT_CODE(0x80040203u)
#define DIERR_HASEFFECTS MAKE_HRESULT_CODE(0x80040204u)
#define DIERR_NOTEXCLUSIVEACQUIRED MAKE_HRESULT_CODE(0x80040205u)
#define DIERR_INCOMPLETEEFFECT MAKE_HRESULT_CODE(0x80040206u)
#define DIERR_NOTBUFFERED MAKE_HRESULT_CODE(0x80040207u)
#define DIERR_EFFECTPLAYING MAKE_HRESULT_CODE(0x80040208u)
#define DIERR_UNPLUGGED MAKE_HRESULT_CODE(0x80040209u)
#define DIERR_OLDDIRECTINPUTVERSION MAKE_HRESULT_CODE(0x8007047Eu)
#define DIERR_BETADIRECTINPUTVERSION MAKE_HRESULT_CODE(0x80070481u)

#define DIENUM_STOP 0
#define DIENUM_CONTINUE 1

// Enumeration
#define DI8DEVCLASS_ALL 0
#define DI8DEVCLASS_DEVICE 1
#define DI8DEVCLASS_POINTER 2
#define DI8DEVCLASS_KEYBOARD 3
#define DI8DEVCLASS_GAMECTRL 4
#define DIEDFL_ALLDEVICES 0x00000000
#define DIEDFL_ATTACHEDONLY 0x00000001
#define DIEDFL_FORCEFEEDBACK 0x00000100
#define DI8DEVTYPE_JOYSTICK 0x14
#define DI8DEVTYPE_GAMEPAD 0x15
#define DI8DEVTYPE_DRIVING 0x16
#define GET_DIDEVICE_TYPE(dwDevType) static_cast<BYTE>((dwDevType)&0xFF)
#define DI8DEVTYPEDRIVING_LIMITED 1
#define DI8DEVTYPEDRIVING_COMBINEDPEDALS 2
#define DI8DEVTYPEDRIVING_DUALPEDALS 3

// Device capabilities
#define DIDC_ATTACHED 0x00000001
#define DIDC_POLLEDDEVICE 0x00000002
#define DIDC_FORCEFEEDBACK 0x00000100

// Cooperative levels
#define DISCL_EXCLUSIVE 0x00000001
#define DISCL_NONEXCLUSIVE 0x00000002
#define DISCL_FOREGROUND 0x00000004
#define DISCL_BACKGROUND 0x00000008

// Object types and data format
#define DIDFT_ALL 0x00000000
#define DIDFT_RELAXIS 0x00000001
#define DIDFT_ABSAXIS 0x00000002
#define DIDFT_AXIS 0x00000003
#define DIDFT_PSHBUTTON 0x00000004
#define DIDFT_TGLBUTTON 0x00000008
#define DIDFT_BUTTON 0x0000000C
#define DIDFT_POV 0x00000010
#define DIDFT_ANYINSTANCE 0x00FFFF00
#define DIDFT_MAKEINSTANCE(n) (static_cast<DWORD>(static_cast<WORD>(n)) << 8)
#define DIDFT_COLLECTION 0x00000040
#define DIDFT_NODATA 0x00000080
#define DIDFT_INSTANCEMASK DIDFT_ANYINSTANCE
#define DIDFT_GETTYPE(n) static_cast<BYTE>((n)&0xFF)
#define DIDFT_GETINSTANCE(n) static_cast<WORD>((n) >> 8)
#define DIDFT_FFACTUATOR 0x01000000
#define DIDFT_FFEFFECTTRIGGER 0x02000000
#define DIDFT_VENDORDEFINED 0x04000000
#define DIDFT_ALIAS 0x08000000
#define DIDFT_OUTPUT 0x10000000
#define DIDFT_OPTIONAL 0x80000000
#define DIDF_ABSAXIS 0x00000001
#define DIDOI_FFACTUATOR 0x00000001
#define DIDOI_ASPECTPOSITION 0x00000100
#define DIDOI_ASPECTVELOCITY 0x00000200
#define DIDOI_ASPECTACCEL 0x00000300
#define DIDOI_ASPECTFORCE 0x00000400

// Properties: Windows names a property by a small integer disguised as a GUID reference, so
// handlers compare the reference's address, never its contents. Here each property is one slot
// of a table instead, so the reference is a real, aligned object and address comparison works
// the same way.
extern const GUID directInputPropertySlots[16];
#define MAKEDIPROP(prop) (directInputPropertySlots[prop])
#define DIPROP_BUFFERSIZE MAKEDIPROP(1)
#define DIPROP_AXISMODE MAKEDIPROP(2)
#define DIPROP_GRANULARITY MAKEDIPROP(3)
#define DIPROP_RANGE MAKEDIPROP(4)
#define DIPROP_DEADZONE MAKEDIPROP(5)
#define DIPROP_SATURATION MAKEDIPROP(6)
#define DIPROP_FFGAIN MAKEDIPROP(7)
#define DIPROP_FFLOAD MAKEDIPROP(8)
#define DIPROP_AUTOCENTER MAKEDIPROP(9)
#define DIPH_DEVICE 0
#define DIPH_BYOFFSET 1
#define DIPH_BYID 2
#define DIPH_BYUSAGE 3
#define DIPROPAUTOCENTER_OFF 0
#define DIPROPAUTOCENTER_ON 1
#define DIPROPRANGE_NOMIN (static_cast<LONG>(0x80000000u))
#define DIPROPRANGE_NOMAX (static_cast<LONG>(0x7FFFFFFF))

// Effects
#define DIEFF_OBJECTIDS 0x00000001
#define DIEFF_OBJECTOFFSETS 0x00000002
#define DIEFF_CARTESIAN 0x00000010
#define DIEFF_POLAR 0x00000020
#define DIEFF_SPHERICAL 0x00000040
#define DIEB_NOTRIGGER 0xFFFFFFFF
#define DIEP_DURATION 0x00000001
#define DIEP_SAMPLEPERIOD 0x00000002
#define DIEP_GAIN 0x00000004
#define DIEP_TRIGGERBUTTON 0x00000008
#define DIEP_TRIGGERREPEATINTERVAL 0x00000010
#define DIEP_AXES 0x00000020
#define DIEP_DIRECTION 0x00000040
#define DIEP_ENVELOPE 0x00000080
#define DIEP_TYPESPECIFICPARAMS 0x00000100
#define DIEP_STARTDELAY 0x00000200
#define DIEP_ALLPARAMS 0x000003FF
#define DIEP_START 0x20000000
#define DIEP_NORESTART 0x40000000
#define DIEP_NODOWNLOAD 0x80000000
#define DIES_SOLO 0x00000001
#define DIES_NODOWNLOAD 0x80000000
#define DISFFC_RESET 0x00000001
#define DISFFC_STOPALL 0x00000002
#define DISFFC_PAUSE 0x00000004
#define DISFFC_CONTINUE 0x00000008
#define DISFFC_SETACTUATORSON 0x00000010
#define DISFFC_SETACTUATORSOFF 0x00000020
#define DIEFT_ALL 0x00000000
#define DIEFT_CONSTANTFORCE 0x00000001
#define DIEFT_RAMPFORCE 0x00000002
#define DIEFT_PERIODIC 0x00000003
#define DIEFT_CONDITION 0x00000004
#define DIEFT_CUSTOMFORCE 0x00000005
#define DIEFT_FFATTACK 0x00000200
#define DIEFT_FFFADE 0x00000400
#define DIEFT_SATURATION 0x00000800
#define DIEFT_POSNEGCOEFFICIENTS 0x00001000
#define DIEFT_POSNEGSATURATION 0x00002000
#define DIEFT_DEADBAND 0x00004000
#define DIEFT_STARTDELAY 0x00008000
#define DIEFT_HARDWARE 0x000000FF
#define DIEFT_GETTYPE(n) static_cast<BYTE>((n)&0xFF)
#define DIEGES_PLAYING 0x00000001
#define DIEGES_EMULATED 0x00000002
#define DIGFFS_EMPTY 0x00000001
#define DIGFFS_STOPPED 0x00000002
#define DIGFFS_PAUSED 0x00000004
#define DIGFFS_ACTUATORSON 0x00000010
#define DIGFFS_ACTUATORSOFF 0x00000020
#define DIGFFS_POWERON 0x00000040
#define DIGFFS_POWEROFF 0x00000080
#define DIGFFS_DEVICELOST 0x80000000
#define DI_FFNOMINALMAX 10000
#define DI_SECONDS 1000000

struct DIDEVCAPS {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwDevType;
    DWORD dwAxes;
    DWORD dwButtons;
    DWORD dwPOVs;
    DWORD dwFFSamplePeriod;
    DWORD dwFFMinTimeResolution;
    DWORD dwFirmwareRevision;
    DWORD dwHardwareRevision;
    DWORD dwFFDriverVersion;
};
using LPDIDEVCAPS = DIDEVCAPS*;

struct DIDEVICEINSTANCEW {
    DWORD dwSize;
    GUID guidInstance;
    GUID guidProduct;
    DWORD dwDevType;
    WCHAR tszInstanceName[MAX_PATH];
    WCHAR tszProductName[MAX_PATH];
    GUID guidFFDriver;
    WORD wUsagePage;
    WORD wUsage;
};
using LPDIDEVICEINSTANCEW = DIDEVICEINSTANCEW*;
using LPCDIDEVICEINSTANCEW = const DIDEVICEINSTANCEW*;

struct DIDEVICEOBJECTINSTANCEW {
    DWORD dwSize;
    GUID guidType;
    DWORD dwOfs;
    DWORD dwType;
    DWORD dwFlags;
    WCHAR tszName[MAX_PATH];
    DWORD dwFFMaxForce;
    DWORD dwFFForceResolution;
    WORD wCollectionNumber;
    WORD wDesignatorIndex;
    WORD wUsagePage;
    WORD wUsage;
    DWORD dwDimension;
    WORD wExponent;
    WORD wReportId;
};
using LPDIDEVICEOBJECTINSTANCEW = DIDEVICEOBJECTINSTANCEW*;
using LPCDIDEVICEOBJECTINSTANCEW = const DIDEVICEOBJECTINSTANCEW*;

struct DIEFFECTINFOW {
    DWORD dwSize;
    GUID guid;
    DWORD dwEffType;
    DWORD dwStaticParams;
    DWORD dwDynamicParams;
    WCHAR tszName[MAX_PATH];
};
using LPDIEFFECTINFOW = DIEFFECTINFOW*;
using LPCDIEFFECTINFOW = const DIEFFECTINFOW*;

struct DIPROPHEADER {
    DWORD dwSize;
    DWORD dwHeaderSize;
    DWORD dwObj;
    DWORD dwHow;
};
using LPDIPROPHEADER = DIPROPHEADER*;
using LPCDIPROPHEADER = const DIPROPHEADER*;

struct DIPROPDWORD {
    DIPROPHEADER diph;
    DWORD dwData;
};

struct DIPROPRANGE {
    DIPROPHEADER diph;
    LONG lMin;
    LONG lMax;
};

struct DIOBJECTDATAFORMAT {
    const GUID* pguid;
    DWORD dwOfs;
    DWORD dwType;
    DWORD dwFlags;
};
using LPDIOBJECTDATAFORMAT = DIOBJECTDATAFORMAT*;
using LPCDIOBJECTDATAFORMAT = const DIOBJECTDATAFORMAT*;

struct DIDATAFORMAT {
    DWORD dwSize;
    DWORD dwObjSize;
    DWORD dwFlags;
    DWORD dwDataSize;
    DWORD dwNumObjs;
    LPDIOBJECTDATAFORMAT rgodf;
};
using LPDIDATAFORMAT = DIDATAFORMAT*;
using LPCDIDATAFORMAT = const DIDATAFORMAT*;

struct DIJOYSTATE2 {
    LONG lX;
    LONG lY;
    LONG lZ;
    LONG lRx;
    LONG lRy;
    LONG lRz;
    LONG rglSlider[2];
    DWORD rgdwPOV[4];
    BYTE rgbButtons[128];
    LONG lVX;
    LONG lVY;
    LONG lVZ;
    LONG lVRx;
    LONG lVRy;
    LONG lVRz;
    LONG rglVSlider[2];
    LONG lAX;
    LONG lAY;
    LONG lAZ;
    LONG lARx;
    LONG lARy;
    LONG lARz;
    LONG rglASlider[2];
    LONG lFX;
    LONG lFY;
    LONG lFZ;
    LONG lFRx;
    LONG lFRy;
    LONG lFRz;
    LONG rglFSlider[2];
};
using LPDIJOYSTATE2 = DIJOYSTATE2*;
#define DIJOFS_X offsetof(DIJOYSTATE2, lX)
#define DIJOFS_Y offsetof(DIJOYSTATE2, lY)
#define DIJOFS_Z offsetof(DIJOYSTATE2, lZ)
#define DIJOFS_RX offsetof(DIJOYSTATE2, lRx)
#define DIJOFS_RY offsetof(DIJOYSTATE2, lRy)
#define DIJOFS_RZ offsetof(DIJOYSTATE2, lRz)
#define DIJOFS_SLIDER(n) (offsetof(DIJOYSTATE2, rglSlider) + (n) * sizeof(LONG))
#define DIJOFS_POV(n) (offsetof(DIJOYSTATE2, rgdwPOV) + (n) * sizeof(DWORD))
#define DIJOFS_BUTTON(n) (offsetof(DIJOYSTATE2, rgbButtons) + (n))

struct DIENVELOPE {
    DWORD dwSize;
    DWORD dwAttackLevel;
    DWORD dwAttackTime;
    DWORD dwFadeLevel;
    DWORD dwFadeTime;
};
using LPDIENVELOPE = DIENVELOPE*;

struct DICONSTANTFORCE {
    LONG lMagnitude;
};

struct DIPERIODIC {
    DWORD dwMagnitude;
    LONG lOffset;
    DWORD dwPhase;
    DWORD dwPeriod;
};

struct DICONDITION {
    LONG lOffset;
    LONG lPositiveCoefficient;
    LONG lNegativeCoefficient;
    DWORD dwPositiveSaturation;
    DWORD dwNegativeSaturation;
    LONG lDeadBand;
};

struct DIEFFECT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwDuration;
    DWORD dwSamplePeriod;
    DWORD dwGain;
    DWORD dwTriggerButton;
    DWORD dwTriggerRepeatInterval;
    DWORD cAxes;
    LPDWORD rgdwAxes;
    LPLONG rglDirection;
    LPDIENVELOPE lpEnvelope;
    DWORD cbTypeSpecificParams;
    LPVOID lpvTypeSpecificParams;
    DWORD dwStartDelay;
};
using LPDIEFFECT = DIEFFECT*;
using LPCDIEFFECT = const DIEFFECT*;

// Records that only appear in method signatures the program never calls.
struct DIDEVICEOBJECTDATA;
struct DIEFFESCAPE;
struct DIFILEEFFECT;
struct DIACTIONFORMATW;
struct DIDEVICEIMAGEINFOHEADERW;
struct DICONFIGUREDEVICESPARAMSW;
using LPDIDEVICEOBJECTDATA = DIDEVICEOBJECTDATA*;
using LPCDIDEVICEOBJECTDATA = const DIDEVICEOBJECTDATA*;
using LPDIEFFESCAPE = DIEFFESCAPE*;
using LPDIFILEEFFECT = DIFILEEFFECT*;
using LPCDIFILEEFFECT = const DIFILEEFFECT*;
using LPDIACTIONFORMATW = DIACTIONFORMATW*;
using LPDIDEVICEIMAGEINFOHEADERW = DIDEVICEIMAGEINFOHEADERW*;
using LPDICONFIGUREDEVICESPARAMSW = DICONFIGUREDEVICESPARAMSW*;

struct IDirectInputEffect;
struct IDirectInputDevice8W;
using LPDIRECTINPUTEFFECT = IDirectInputEffect*;
using LPDIRECTINPUTDEVICE8W = IDirectInputDevice8W*;

using LPDIENUMDEVICESCALLBACKW = BOOL(CALLBACK*)(LPCDIDEVICEINSTANCEW, LPVOID);
using LPDIENUMDEVICEOBJECTSCALLBACKW = BOOL(CALLBACK*)(LPCDIDEVICEOBJECTINSTANCEW, LPVOID);
using LPDIENUMEFFECTSCALLBACKW = BOOL(CALLBACK*)(LPCDIEFFECTINFOW, LPVOID);
using LPDIENUMCREATEDEFFECTOBJECTSCALLBACK = BOOL(CALLBACK*)(LPDIRECTINPUTEFFECT, LPVOID);
using LPDIENUMEFFECTSINFILECALLBACK = BOOL(CALLBACK*)(LPCDIFILEEFFECT, LPVOID);
using LPDIENUMDEVICESBYSEMANTICSCBW = BOOL(CALLBACK*)(LPCDIDEVICEINSTANCEW, LPDIRECTINPUTDEVICE8W,
                                                      DWORD, DWORD, LPVOID);
using LPDICONFIGUREDEVICESCALLBACK = BOOL(CALLBACK*)(IUnknown*, LPVOID);

struct IDirectInputEffect : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE, DWORD, REFGUID) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEffectGuid(LPGUID) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetParameters(LPDIEFFECT, DWORD) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetParameters(LPCDIEFFECT, DWORD) = 0;
    virtual HRESULT STDMETHODCALLTYPE Start(DWORD, DWORD) = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEffectStatus(LPDWORD) = 0;
    virtual HRESULT STDMETHODCALLTYPE Download() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unload() = 0;
    virtual HRESULT STDMETHODCALLTYPE Escape(LPDIEFFESCAPE) = 0;
};

struct IDirectInputDevice8W : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetCapabilities(LPDIDEVCAPS lpDIDevCaps) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKW lpCallback,
                                                  LPVOID pvRef, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetProperty(REFGUID rguidProp, LPDIPROPHEADER pdiph) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetProperty(REFGUID rguidProp, LPCDIPROPHEADER pdiph) = 0;
    virtual HRESULT STDMETHODCALLTYPE Acquire() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unacquire() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD cbData, LPVOID lpvData) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceData(DWORD cbObjectData, LPDIDEVICEOBJECTDATA rgdod,
                                                    LPDWORD pdwInOut, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT lpdf) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetEventNotification(HANDLE hEvent) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND hwnd, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetObjectInfo(LPDIDEVICEOBJECTINSTANCEW pdidoi, DWORD dwObj,
                                                    DWORD dwHow) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceInfo(LPDIDEVICEINSTANCEW pdidi) = 0;
    virtual HRESULT STDMETHODCALLTYPE RunControlPanel(HWND hwndOwner, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE hinst, DWORD dwVersion,
                                                 REFGUID rguid) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateEffect(REFGUID rguid, LPCDIEFFECT lpeff,
                                                   LPDIRECTINPUTEFFECT* ppdeff,
                                                   LPUNKNOWN punkOuter) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumEffects(LPDIENUMEFFECTSCALLBACKW lpCallback, LPVOID pvRef,
                                                  DWORD dwEffType) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEffectInfo(LPDIEFFECTINFOW pdei, REFGUID rguid) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetForceFeedbackState(LPDWORD pdwOut) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendForceFeedbackCommand(DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumCreatedEffectObjects(
        LPDIENUMCREATEDEFFECTOBJECTSCALLBACK lpCallback, LPVOID pvRef, DWORD fl) = 0;
    virtual HRESULT STDMETHODCALLTYPE Escape(LPDIEFFESCAPE pesc) = 0;
    virtual HRESULT STDMETHODCALLTYPE Poll() = 0;
    virtual HRESULT STDMETHODCALLTYPE SendDeviceData(DWORD cbObjectData,
                                                     LPCDIDEVICEOBJECTDATA rgdod, LPDWORD pdwInOut,
                                                     DWORD fl) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumEffectsInFile(LPCWSTR lpszFileName,
                                                        LPDIENUMEFFECTSINFILECALLBACK pec,
                                                        LPVOID pvRef, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteEffectToFile(LPCWSTR lpszFileName, DWORD dwEntries,
                                                        LPDIFILEEFFECT rgDiFileEft,
                                                        DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE BuildActionMap(LPDIACTIONFORMATW lpdiaf, LPCWSTR lpszUserName,
                                                     DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetActionMap(LPDIACTIONFORMATW lpdiaf, LPCWSTR lpszUserName,
                                                   DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE
    GetImageInfo(LPDIDEVICEIMAGEINFOHEADERW lpdiDevImageInfoHeader) = 0;
};

struct IDirectInput8W : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID rguid,
                                                   LPDIRECTINPUTDEVICE8W* lplpDirectInputDevice,
                                                   LPUNKNOWN pUnkOuter) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumDevices(DWORD dwDevType,
                                                  LPDIENUMDEVICESCALLBACKW lpCallback, LPVOID pvRef,
                                                  DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceStatus(REFGUID rguidInstance) = 0;
    virtual HRESULT STDMETHODCALLTYPE RunControlPanel(HWND hwndOwner, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Initialize(HINSTANCE hinst, DWORD dwVersion) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindDevice(REFGUID rguid, LPCWSTR pszName,
                                                 LPGUID pguidInstance) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumDevicesBySemantics(
        LPCWSTR ptszUserName, LPDIACTIONFORMATW lpdiActionFormat,
        LPDIENUMDEVICESBYSEMANTICSCBW lpCallback, LPVOID pvRef, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConfigureDevices(LPDICONFIGUREDEVICESCALLBACK lpdiCallback,
                                                       LPDICONFIGUREDEVICESPARAMSW lpdiCDParams,
                                                       DWORD dwFlags, LPVOID pvRefData) = 0;
};
using LPDIRECTINPUT8W = IDirectInput8W*;

extern const GUID IID_IDirectInput8W;
extern const GUID IID_IDirectInputDevice8W;
extern const GUID IID_IDirectInputEffect;
extern const GUID GUID_XAxis;
extern const GUID GUID_YAxis;
extern const GUID GUID_ZAxis;
extern const GUID GUID_RxAxis;
extern const GUID GUID_RyAxis;
extern const GUID GUID_RzAxis;
extern const GUID GUID_Slider;
extern const GUID GUID_Button;
extern const GUID GUID_POV;
extern const GUID GUID_ConstantForce;
extern const GUID GUID_Square;
extern const GUID GUID_Sine;
extern const GUID GUID_Triangle;
extern const GUID GUID_SawtoothUp;
extern const GUID GUID_SawtoothDown;
extern const GUID GUID_Spring;
extern const GUID GUID_Damper;
extern const GUID GUID_Inertia;
extern const GUID GUID_Friction;
extern const GUID GUID_RampForce;
extern const GUID GUID_CustomForce;

extern const DIDATAFORMAT c_dfDIJoystick2;

HRESULT WINAPI DirectInput8Create(HINSTANCE hinst, DWORD dwVersion, REFIID riidltf, LPVOID* ppvOut,
                                  LPUNKNOWN punkOuter);
