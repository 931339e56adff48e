// The Windows base types that the program uses, with the sizes they have in a 64-bit Windows
// process (LLP64: DWORD and LONG are 32 bits, WCHAR is a UTF-16 code unit).
#pragma once

#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using UINT = unsigned int;
using BOOL = int;
using HRESULT = std::int32_t;
using WCHAR = char16_t;
using CHAR = char;

using LPVOID = void*;
using LPCVOID = const void*;
using LPDWORD = DWORD*;
using LPLONG = LONG*;
using LPBOOL = BOOL*;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPCWCH = const WCHAR*;
using LPSTR = char*;
using LPCCH = const char*;
using HANDLE = void*;

struct HWND__;
struct HINSTANCE__;
struct HMENU__;
using HWND = HWND__*;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
using HMENU = HMENU__*;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define WINAPI
#define CALLBACK
#define STDMETHODCALLTYPE
#define MAX_PATH 260
#define INFINITE 0xFFFFFFFFu

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
using IID = GUID;
using LPGUID = GUID*;
using REFGUID = const GUID&;
using REFIID = const IID&;

inline bool operator==(REFGUID a, REFGUID b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}
inline bool IsEqualGUID(REFGUID a, REFGUID b) {
    return a == b;
}

#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)
#define MAKE_HRESULT_CODE(code) static_cast<HRESULT>(static_cast<DWORD>(code))
#define S_OK MAKE_HRESULT_CODE(0)
#define S_FALSE MAKE_HRESULT_CODE(1)
#define E_NOTIMPL MAKE_HRESULT_CODE(0x80004001u)
#define E_NOINTERFACE MAKE_HRESULT_CODE(0x80004002u)
#define E_POINTER MAKE_HRESULT_CODE(0x80004003u)
#define E_FAIL MAKE_HRESULT_CODE(0x80004005u)
#define E_ACCESSDENIED MAKE_HRESULT_CODE(0x80070005u)
#define E_HANDLE MAKE_HRESULT_CODE(0x80070006u)
#define E_OUTOFMEMORY MAKE_HRESULT_CODE(0x8007000Eu)
#define E_INVALIDARG MAKE_HRESULT_CODE(0x80070057u)
#define CLASS_E_NOAGGREGATION MAKE_HRESULT_CODE(0x80040110u)
#define REGDB_E_CLASSNOTREG MAKE_HRESULT_CODE(0x80040154u)

/// COM's root interface, laid out as on Windows: three virtual methods, no virtual destructor.
struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};
using LPUNKNOWN = IUnknown*;
