// Windows Sockets 2 over BSD sockets. socket(), htons() and htonl() are the system's own; the
// calls whose Windows form differs (types, closing, non-blocking switch, oversized datagrams)
// are overloads on SOCKET, which is an unsigned pointer-sized integer as on Windows.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/types.h>

#include <cstdint>

#include "platform/linux/win32_types.h"

using SOCKET = std::uintptr_t;
#define INVALID_SOCKET (~static_cast<SOCKET>(0))
#define SOCKET_ERROR (-1)
#define MAKEWORD(low, high) \
    static_cast<WORD>((static_cast<WORD>(high) << 8) | static_cast<BYTE>(low))

#define WSAEWOULDBLOCK 10035
#define WSAEMSGSIZE 10040
#define WSAEADDRINUSE 10048
#define WSANOTINITIALISED 10093
#define WSAVERNOTSUPPORTED 10092

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[257];
    char szSystemStatus[129];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
};
using LPWSADATA = WSADATA*;

int WSAStartup(WORD versionRequested, LPWSADATA data);
int WSACleanup();
int WSAGetLastError();
int closesocket(SOCKET s);
int ioctlsocket(SOCKET s, long command, u_long* argument);
int bind(SOCKET s, const sockaddr* name, int nameLength);
/// A datagram longer than length fails with WSAEMSGSIZE and its rest is discarded, as on Windows.
int recv(SOCKET s, char* buffer, int length, int flags);
int sendto(SOCKET s, const char* buffer, int length, int flags, const sockaddr* to, int toLength);
