// The one include that gives the core the platform's names: DirectInput 8, Windows Sockets 2,
// COM, User32 and Kernel32. On Windows these are the SDK's own headers; elsewhere they are our
// thin layer under platform/linux, which offers the same calls with the same arguments and results.
#pragma once

#include <cstddef>
#include <string>

#ifdef _WIN32
#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0800
#endif
#include <dinput.h>
#include <objbase.h>
#include <windows.h>
#include <winsock2.h>
/// A UTF-16 string literal of the platform's WCHAR type.
#define TORVANE_WIDE(text) L##text
#else
#include "platform/linux/dinput_api.h"
#include "platform/linux/win32_api.h"
#include "platform/linux/win32_types.h"
#include "platform/linux/winsock_api.h"
#define TORVANE_WIDE(text) u##text
#endif

namespace platform {

/// Owned UTF-16 text in the platform's WCHAR type (wchar_t on Windows, char16_t elsewhere).
using WideString = std::basic_string<WCHAR>;

/// The text of a fixed-size WCHAR field of a platform record (a product or effect name): up to
/// its terminating zero, or the whole field if a driver left it unterminated.
template <std::size_t Capacity>
WideString textOfField(const WCHAR (&field)[Capacity]) {
    std::size_t length = 0;
    while (length < Capacity && field[length] != 0) ++length;
    return WideString(field, length);
}

}  // namespace platform
