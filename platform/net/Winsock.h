#pragma once
// The socket library under its Windows names (Winsock 1.1 as the socket components use it, plus
// WSAIoctl of ws2_32), over POSIX sockets.
//
// Every name lives in namespace Winsock with its Windows value: the POSIX headers define macros of
// the same names with other values, so no source that includes this header includes
// <sys/socket.h>, <netinet/in.h>, <netdb.h> or <sys/ioctl.h>.
//
// Asynchronous notices. WSAAsyncSelect and the asynchronous look-ups post their notices with
// PostMessageA to the window given, so they are dispatched on the thread that owns that window.
// The readiness of the sockets is watched on the application's GUI thread (the thread of the Qt
// application), which must run its event loop; calls made on other threads reach the watchers
// through a queued call. A socket whose window belongs to a worker thread therefore gets its
// notices while the GUI thread runs its loop, which is always so in the program. Messages already
// posted may still arrive after the notices of a socket were cancelled or the socket closed; a
// receiver recognises them by their socket.

#include "platform/gui/WinTypes.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Winsock {

// --- Types --------------------------------------------------------------------------------------

// The C library declares these four globally too, with other widths: code that uses namespace
// Winsock names them with using-declarations.
using u_char = std::uint8_t;
using u_short = std::uint16_t;
using u_int = std::uint32_t;
using u_long = std::uint32_t; // 32 bits, as on Windows

// The descriptor of the socket.
using SOCKET = std::uintptr_t;

constexpr int WSADESCRIPTION_LEN = 256;
constexpr int WSASYS_STATUS_LEN = 128;

// What WSAStartup reports. The vendor field is unused and kept 32 bits wide, so that the record
// keeps its 400 bytes.
struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
    u_short iMaxSockets;
    u_short iMaxUdpDg;
    std::uint32_t lpVendorInfo;
};
static_assert(sizeof(WSADATA) == 400);

// An IPv4 address in network order, with the Windows views of its bytes and words.
struct in_addr {
    union {
        struct {
            u_char s_b1, s_b2, s_b3, s_b4;
        } S_un_b;
        struct {
            u_short s_w1, s_w2;
        } S_un_w;
        u_long S_addr;
    };
};
static_assert(sizeof(in_addr) == 4);

struct sockaddr {
    u_short sa_family;
    char sa_data[14];
};
static_assert(sizeof(sockaddr) == 16);

struct sockaddr_in {
    short sin_family;
    u_short sin_port; // network order
    in_addr sin_addr;
    char sin_zero[8];
};
static_assert(sizeof(sockaddr_in) == 16);

struct hostent {
    char* h_name;
    char** h_aliases;
    short h_addrtype;
    short h_length;
    char** h_addr_list; // each entry points at h_length bytes in network order; null ends the list
};

struct servent {
    char* s_name;
    char** s_aliases;
    char* s_proto;
    short s_port; // network order
};

struct protoent {
    char* p_name;
    char** p_aliases;
    short p_proto;
};

struct linger {
    u_short l_onoff;
    u_short l_linger; // seconds
};
static_assert(sizeof(linger) == 4);

struct timeval {
    std::int32_t tv_sec;
    std::int32_t tv_usec;
};

struct ip_mreq {
    in_addr imr_multiaddr;
    in_addr imr_interface;
};

// --- Constants ----------------------------------------------------------------------------------

constexpr SOCKET INVALID_SOCKET = ~SOCKET(0);
constexpr int SOCKET_ERROR = -1;

constexpr int AF_UNSPEC = 0, AF_INET = 2, PF_INET = 2;
constexpr int SOCK_STREAM = 1, SOCK_DGRAM = 2, SOCK_RAW = 3;
constexpr u_long INADDR_ANY = 0x00000000, INADDR_LOOPBACK = 0x7F000001, INADDR_BROADCAST = 0xFFFFFFFF,
                 INADDR_NONE = 0xFFFFFFFF;

// Events of WSAAsyncSelect.
constexpr long FD_READ = 0x01, FD_WRITE = 0x02, FD_OOB = 0x04, FD_ACCEPT = 0x08, FD_CONNECT = 0x10,
               FD_CLOSE = 0x20;

constexpr int SOL_SOCKET = 0xFFFF;
constexpr int SO_DEBUG = 0x0001, SO_ACCEPTCONN = 0x0002, SO_REUSEADDR = 0x0004, SO_KEEPALIVE = 0x0008,
              SO_DONTROUTE = 0x0010, SO_BROADCAST = 0x0020, SO_USELOOPBACK = 0x0040, SO_LINGER = 0x0080,
              SO_OOBINLINE = 0x0100, SO_DONTLINGER = ~SO_LINGER, SO_SNDBUF = 0x1001, SO_RCVBUF = 0x1002,
              SO_SNDLOWAT = 0x1003, SO_RCVLOWAT = 0x1004, SO_SNDTIMEO = 0x1005, SO_RCVTIMEO = 0x1006,
              SO_ERROR = 0x1007, SO_TYPE = 0x1008;

constexpr int IPPROTO_IP = 0, IPPROTO_ICMP = 1, IPPROTO_IGMP = 2, IPPROTO_TCP = 6, IPPROTO_UDP = 17,
              IPPROTO_RAW = 255;

// The option numbers of wsock32 (ws2_32 numbers them differently).
constexpr int IP_MULTICAST_IF = 2, IP_MULTICAST_TTL = 3, IP_ADD_MEMBERSHIP = 5;
constexpr int TCP_NODELAY = 0x0001;

constexpr int MSG_OOB = 0x1, MSG_PEEK = 0x2, MSG_DONTROUTE = 0x4;
constexpr int SD_RECEIVE = 0, SD_SEND = 1, SD_BOTH = 2;

constexpr long FIONREAD = 0x4004667F;
constexpr long FIONBIO = static_cast<std::int32_t>(0x8004667Eu);
constexpr DWORD SIO_RCVALL = 0x98000001;

constexpr int MAXGETHOSTSTRUCT = 1024;

constexpr int WSABASEERR = 10000;
constexpr int WSAEINTR = 10004, WSAEBADF = 10009, WSAEACCES = 10013, WSAEFAULT = 10014, WSAEINVAL = 10022,
              WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035, WSAEINPROGRESS = 10036, WSAEALREADY = 10037, WSAENOTSOCK = 10038,
              WSAEDESTADDRREQ = 10039, WSAEMSGSIZE = 10040, WSAEPROTOTYPE = 10041, WSAENOPROTOOPT = 10042,
              WSAEPROTONOSUPPORT = 10043, WSAESOCKTNOSUPPORT = 10044, WSAEOPNOTSUPP = 10045,
              WSAEPFNOSUPPORT = 10046, WSAEAFNOSUPPORT = 10047, WSAEADDRINUSE = 10048, WSAEADDRNOTAVAIL = 10049,
              WSAENETDOWN = 10050, WSAENETUNREACH = 10051, WSAENETRESET = 10052, WSAECONNABORTED = 10053,
              WSAECONNRESET = 10054, WSAENOBUFS = 10055, WSAEISCONN = 10056, WSAENOTCONN = 10057,
              WSAESHUTDOWN = 10058, WSAETOOMANYREFS = 10059, WSAETIMEDOUT = 10060, WSAECONNREFUSED = 10061,
              WSAELOOP = 10062, WSAENAMETOOLONG = 10063, WSAEHOSTDOWN = 10064, WSAEHOSTUNREACH = 10065,
              WSAENOTEMPTY = 10066, WSAEPROCLIM = 10067, WSAEUSERS = 10068, WSAEDQUOT = 10069, WSAESTALE = 10070,
              WSAEREMOTE = 10071, WSAEDISCON = 10101;
constexpr int WSASYSNOTREADY = 10091, WSAVERNOTSUPPORTED = 10092, WSANOTINITIALISED = 10093;
constexpr int WSAHOST_NOT_FOUND = 11001, WSATRY_AGAIN = 11002, WSANO_RECOVERY = 11003, WSANO_DATA = 11004,
              WSANO_ADDRESS = WSANO_DATA;

// The lParam of a notice: the event (or the answer's length) in the low word, the error in the high.
constexpr LPARAM WSAMAKEASYNCREPLY(WORD bufferLength, WORD error) { return MAKELPARAM(bufferLength, error); }
constexpr LPARAM WSAMAKESELECTREPLY(WORD event, WORD error) { return MAKELPARAM(event, error); }
constexpr WORD WSAGETASYNCBUFLEN(LPARAM lParam) { return LOWORD(static_cast<std::uintptr_t>(lParam)); }
constexpr WORD WSAGETASYNCERROR(LPARAM lParam) { return HIWORD(static_cast<std::uintptr_t>(lParam)); }
constexpr WORD WSAGETSELECTEVENT(LPARAM lParam) { return LOWORD(static_cast<std::uintptr_t>(lParam)); }
constexpr WORD WSAGETSELECTERROR(LPARAM lParam) { return HIWORD(static_cast<std::uintptr_t>(lParam)); }

// --- Functions ----------------------------------------------------------------------------------
// They set the calling thread's last error (WSAGetLastError, the same as GetLastError) when they
// fail, as Windows does; WSAStartup returns its error instead.

int WSAStartup(WORD versionRequested, WSADATA* data);
int WSACleanup();
int WSAGetLastError();
void WSASetLastError(int error);

// Makes the socket non-blocking and posts message to window for each event of events (FD_*):
// wParam the socket, lParam WSAMAKESELECTREPLY(event, error). Events 0 cancels the notices.
int WSAAsyncSelect(SOCKET s, HWND window, u_int message, long events);
// Look-ups on a worker thread. The answer is packed into buffer as a hostent whose pointers point
// into buffer, with as many addresses as fit; then message is posted with wParam the returned
// handle and lParam WSAMAKEASYNCREPLY(length, error). A buffer too small for the entry with one
// address gets nothing and the error 10055, with the length it needs.
HANDLE WSAAsyncGetHostByName(HWND window, u_int message, const char* name, char* buffer, int bufferLength);
HANDLE WSAAsyncGetHostByAddr(HWND window, u_int message, const char* address, int length, int type, char* buffer,
                             int bufferLength);
// Once it returned 0, neither the buffer nor the window of the request is touched again.
int WSACancelAsyncRequest(HANDLE request);

SOCKET socket(int af, int type, int protocol);
int bind(SOCKET s, const sockaddr* name, int nameLength);
int connect(SOCKET s, const sockaddr* name, int nameLength);
int listen(SOCKET s, int backlog);
SOCKET accept(SOCKET s, sockaddr* address, int* addressLength);
int send(SOCKET s, const char* buffer, int length, int flags);
int sendto(SOCKET s, const char* buffer, int length, int flags, const sockaddr* to, int toLength);
int recv(SOCKET s, char* buffer, int length, int flags);
int recvfrom(SOCKET s, char* buffer, int length, int flags, sockaddr* from, int* fromLength);
int closesocket(SOCKET s);
int shutdown(SOCKET s, int how);
int setsockopt(SOCKET s, int level, int option, const char* value, int valueLength);
int getsockopt(SOCKET s, int level, int option, char* value, int* valueLength);
int ioctlsocket(SOCKET s, long command, u_long* argument);
int getsockname(SOCKET s, sockaddr* name, int* nameLength);
int getpeername(SOCKET s, sockaddr* name, int* nameLength);
int gethostname(char* name, int nameLength);
// The answers of these four live in the calling thread until its next call of the same function.
hostent* gethostbyname(const char* name);
hostent* gethostbyaddr(const char* address, int length, int type);
servent* getservbyname(const char* name, const char* protocol);
protoent* getprotobyname(const char* name);
u_long inet_addr(const char* text);
// The text lives in the calling thread until its next call.
char* inet_ntoa(in_addr address);
u_short htons(u_short value);
u_long htonl(u_long value);
u_short ntohs(u_short value);
u_long ntohl(u_long value);
// Of ws2_32. SIO_RCVALL fails with 10045: the system has no such switch.
int WSAIoctl(SOCKET s, DWORD code, void* inBuffer, DWORD inLength, void* outBuffer, DWORD outLength,
             DWORD* bytesReturned, void* overlapped, void* completionRoutine);

// --- Entry points, as the socket unit looks them up by name ------------------------------------

using TWSAStartup = int (*)(WORD, WSADATA*);
using TWSACleanup = int (*)();
using TWSAGetLastError = int (*)();
using TWSASetLastError = void (*)(int);
using TWSAAsyncSelect = int (*)(SOCKET, HWND, u_int, long);
using TWSAAsyncGetHostByName = HANDLE (*)(HWND, u_int, const char*, char*, int);
using TWSAAsyncGetHostByAddr = HANDLE (*)(HWND, u_int, const char*, int, int, char*, int);
using TWSACancelAsyncRequest = int (*)(HANDLE);
using Tsocket = SOCKET (*)(int, int, int);
using Tbind = int (*)(SOCKET, const sockaddr*, int);
using Tconnect = int (*)(SOCKET, const sockaddr*, int);
using Tlisten = int (*)(SOCKET, int);
using Taccept = SOCKET (*)(SOCKET, sockaddr*, int*);
using Tsend = int (*)(SOCKET, const char*, int, int);
using Tsendto = int (*)(SOCKET, const char*, int, int, const sockaddr*, int);
using Trecv = int (*)(SOCKET, char*, int, int);
using Trecvfrom = int (*)(SOCKET, char*, int, int, sockaddr*, int*);
using Tclosesocket = int (*)(SOCKET);
using Tshutdown = int (*)(SOCKET, int);
using Tsetsockopt = int (*)(SOCKET, int, int, const char*, int);
using Tgetsockopt = int (*)(SOCKET, int, int, char*, int*);
using Tioctlsocket = int (*)(SOCKET, long, u_long*);
using Tgetsockname = int (*)(SOCKET, sockaddr*, int*);
using Tgetpeername = int (*)(SOCKET, sockaddr*, int*);
using Tgethostname = int (*)(char*, int);
using Tgethostbyname = hostent* (*)(const char*);
using Tgethostbyaddr = hostent* (*)(const char*, int, int);
using Tgetservbyname = servent* (*)(const char*, const char*);
using Tgetprotobyname = protoent* (*)(const char*);
using Tinet_addr = u_long (*)(const char*);
using Tinet_ntoa = char* (*)(in_addr);
using Thtons = u_short (*)(u_short);
using Thtonl = u_long (*)(u_long);
using Tntohs = u_short (*)(u_short);
using Tntohl = u_long (*)(u_long);
using TWSAIoctl = int (*)(SOCKET, DWORD, void*, DWORD, void*, DWORD, DWORD*, void*, void*);

// Registers "wsock32.dll" (every function but WSAIoctl) and "ws2_32.dll" (WSAIoctl) as system
// modules, so that LoadLibraryA and GetProcAddress find them. Safe to call again.
void RegisterModules();

// --- Name look-ups ------------------------------------------------------------------------------

// What a look-up found: the host's name and its IPv4 addresses in network order.
struct THostAnswer {
    std::string Name;
    std::vector<u_long> Addresses;
};

// Answers a name with its addresses; returns 0 or a Winsock error (11001 for an unknown host).
using TNameResolver = std::function<int(const std::string& name, THostAnswer& answer)>;
// Answers an address (network order) with the host's name; returns 0 or a Winsock error.
using TAddressResolver = std::function<int(u_long address, THostAnswer& answer)>;

// Replace the look-ups (for tests); an empty function restores the system's resolver (IPv4
// only). Each returns the resolver it replaced.
TNameResolver SetNameResolver(TNameResolver resolver);
TAddressResolver SetAddressResolver(TAddressResolver resolver);

} // namespace Winsock
