// COM, User32 and Kernel32 calls of the program, over POSIX.
#pragma once

#include "platform/linux/win32_types.h"

// COM
#define COINIT_MULTITHREADED 0x0
#define COINIT_APARTMENTTHREADED 0x2
HRESULT CoInitializeEx(LPVOID reserved, DWORD coInit);
void CoUninitialize();

// User32: windows are opaque handles; nothing is ever drawn.
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param);
BOOL DestroyWindow(HWND window);
BOOL IsWindowVisible(HWND window);

// Kernel32
HMODULE GetModuleHandleW(LPCWSTR moduleName);
DWORD GetLastError();

#define CP_UTF8 65001u
#define ERROR_INVALID_PARAMETER 87u
#define ERROR_INSUFFICIENT_BUFFER 122u
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wideText, int wideCount, LPSTR bytes,
                        int byteCount, LPCCH defaultChar, LPBOOL usedDefaultChar);
/// UTF-8 only, flags 0; bytes that do not form UTF-8 become U+FFFD (as without
/// MB_ERR_INVALID_CHARS on Windows).
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH bytes, int byteCount, LPWSTR wideText,
                        int wideCount);

#define CTRL_C_EVENT 0u
#define CTRL_BREAK_EVENT 1u
#define CTRL_CLOSE_EVENT 2u
#define CTRL_LOGOFF_EVENT 5u
#define CTRL_SHUTDOWN_EVENT 6u
using PHANDLER_ROUTINE = BOOL (*)(DWORD ctrlType);
/// Console events are POSIX signals here: SIGINT is Ctrl+C, SIGHUP the closing of the terminal,
/// SIGTERM a shutdown. As on Windows, the handler runs on a thread of its own, not in the signal.
BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add);
