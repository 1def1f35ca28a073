// Windows Sockets 1.1 on top of BSD sockets: the types and calls that the
// program uses with their Win32 names. socket, connect, send, recv, htons and
// inet_ntoa are the BSD ones.
#pragma once

#include <netdb.h>

#include <cstdint>

typedef int SOCKET;
typedef std::uint16_t WORD;
typedef std::uint8_t BYTE;

#define INVALID_SOCKET (-1)
#define SOCKET_ERROR (-1)
#define MAKEWORD(low, high) ((WORD)(((BYTE)(low)) | ((WORD)((BYTE)(high))) << 8))

// A call cut short because the program is to end.
#define WSAEINTR 10004
// Resolver failures as Windows Sockets reports them.
#define WSAHOST_NOT_FOUND 11001
#define WSATRY_AGAIN 11002
#define WSANO_RECOVERY 11003
#define WSANO_DATA 11004

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[257];
    char szSystemStatus[129];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
};

int WSAStartup(WORD versionRequested, WSADATA* data);
int WSACleanup();
int WSAGetLastError();
void WSASetLastError(int error);
int closesocket(SOCKET socket);

// recvfrom with the address's length as Windows Sockets has it, an int.
int WinsockRecvFrom(SOCKET socket, char* buffer, int size, int flags, struct sockaddr* from,
                    int* fromSize);
#define recvfrom WinsockRecvFrom

// The machine's own host name (or an empty or null name) resolves to the
// IPv4 addresses of the interfaces that are up, loopback left out, in the
// system's order; 127.0.0.1 alone when there is none, as under Windows
// Sockets. Every other name goes to the system resolver. Once the program
// has been asked to end, nothing is looked up (WSAEINTR). The answer lives
// until the next call.
struct hostent* WinsockGetHostByName(const char* name);
#define gethostbyname WinsockGetHostByName

// getsockname as Windows Sockets has it, its length an int; beside the BSD
// one, whose length is a socklen_t.
int getsockname(SOCKET socket, struct sockaddr* name, int* length);
