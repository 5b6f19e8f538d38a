#pragma once
// The socket unit: the socket library bound at run time (loaded on first use, each entry point
// looked up by name and cached, unloaded when the last user is gone), the services that belong to
// no single socket (name, port and protocol resolution, error texts, the local host's name and
// addresses), the hidden window through which every socket component gets its notices, and the
// socket components: TCustomWSocket (net/CustomWSocket.h), the SOCKS proxy client
// (net/CustomSocksWSocket.h), line mode (net/CustomLineWSocket.h), blocking waits
// (net/CustomSyncWSocket.h), and the published classes TWSocket and TSocksWSocket below.
//
// The HTTP and SMTP clients make their own hidden windows with AllocateHWnd and DeallocateHWnd of
// platform/gui/WindowHandles.h, which this header brings along.

#include "platform/gui/Messages.h"
#include "platform/gui/WindowHandles.h"
#include "platform/net/Winsock.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Lists.h"

#include <string>

TESS_EXCEPTION(ESocketException, Exception)

// The version of the socket library asked for at loading (low and high byte), one for every
// socket of the program.
extern BYTE ReqVerLow;
extern BYTE ReqVerHigh;

// --- Loading the library -----------------------------------------------------------------------
// Failures raise ESocketException with the library's name and the system's error number.

// Loads the library and keeps it loaded until WSocketCancelForceLoadWinsock (once, however
// often it is called).
void WSocketForceLoadWinsock();
void WSocketCancelForceLoadWinsock();
// Unloads the library when it is loaded and nobody uses it; always ends a forced load.
void WSocketUnloadWinsock();
// Loads the library if needed and gives the entry point of "wsock32.dll" named procName; an
// empty name only loads.
FARPROC WSocketGetProc(const std::string& procName);
// The same for "ws2_32.dll" (WSAIoctl).
FARPROC WSocket2GetProc(const std::string& procName);
// The start-up data of the library; unloads it again when nobody uses it.
Winsock::WSADATA WinsockInfo();

// The users of the library: each socket component counts for its whole life. Dropping the count
// below 1 unloads the library.
void WSocketIncrementUseCount();
void WSocketDecrementUseCount();
int WSocketUseCount();
bool WSocketIsWinsockLoaded();

// --- The library's calls ------------------------------------------------------------------------
// Each holds one use of the library for the duration of the call and calls its cached entry
// point, looking it up on first use.

int WSocket_WSAStartup(WORD versionRequested, Winsock::WSADATA* data);
int WSocket_WSACleanup();
void WSocket_WSASetLastError(int error);
int WSocket_WSAGetLastError();
int WSocket_WSACancelAsyncRequest(HANDLE request);
HANDLE WSocket_WSAAsyncGetHostByName(HWND window, Winsock::u_int message, const char* name, char* buffer,
                                     int bufferLength);
HANDLE WSocket_WSAAsyncGetHostByAddr(HWND window, Winsock::u_int message, const char* address, int length, int type,
                                     char* buffer, int bufferLength);
int WSocket_WSAAsyncSelect(Winsock::SOCKET s, HWND window, Winsock::u_int message, long events);
Winsock::servent* WSocket_getservbyname(const char* name, const char* protocol);
Winsock::protoent* WSocket_getprotobyname(const char* name);
Winsock::hostent* WSocket_gethostbyname(const char* name);
Winsock::hostent* WSocket_gethostbyaddr(const char* address, int length, int type);
int WSocket_gethostname(char* name, int nameLength);
Winsock::SOCKET WSocket_socket(int af, int type, int protocol);
int WSocket_shutdown(Winsock::SOCKET s, int how);
int WSocket_setsockopt(Winsock::SOCKET s, int level, int option, const char* value, int valueLength);
int WSocket_getsockopt(Winsock::SOCKET s, int level, int option, char* value, int* valueLength);
int WSocket_sendto(Winsock::SOCKET s, const char* buffer, int length, int flags, const Winsock::sockaddr* to,
                   int toLength);
int WSocket_send(Winsock::SOCKET s, const char* buffer, int length, int flags);
Winsock::u_short WSocket_ntohs(Winsock::u_short value);
Winsock::u_long WSocket_ntohl(Winsock::u_long value);
int WSocket_listen(Winsock::SOCKET s, int backlog);
int WSocket_ioctlsocket(Winsock::SOCKET s, long command, Winsock::u_long* argument);
int WSocket_WSAIoctl(Winsock::SOCKET s, DWORD code, void* inBuffer, DWORD inLength, void* outBuffer, DWORD outLength,
                     DWORD* bytesReturned, void* overlapped, void* completionRoutine);
char* WSocket_inet_ntoa(Winsock::in_addr address);
Winsock::u_long WSocket_inet_addr(const char* text);
Winsock::u_short WSocket_htons(Winsock::u_short value);
Winsock::u_long WSocket_htonl(Winsock::u_long value);
int WSocket_getsockname(Winsock::SOCKET s, Winsock::sockaddr* name, int* nameLength);
int WSocket_getpeername(Winsock::SOCKET s, Winsock::sockaddr* name, int* nameLength);
int WSocket_connect(Winsock::SOCKET s, const Winsock::sockaddr* name, int nameLength);
int WSocket_closesocket(Winsock::SOCKET s);
int WSocket_bind(Winsock::SOCKET s, const Winsock::sockaddr* name, int nameLength);
Winsock::SOCKET WSocket_accept(Winsock::SOCKET s, Winsock::sockaddr* address, int* addressLength);
int WSocket_recv(Winsock::SOCKET s, char* buffer, int length, int flags);
int WSocket_recvfrom(Winsock::SOCKET s, char* buffer, int length, int flags, Winsock::sockaddr* from,
                     int* fromLength);

// --- Resolution -------------------------------------------------------------------------------
// Bad texts and failed look-ups raise ESocketException with the reason.

// True for a dotted IPv4 address a.b.c.d (spaces around it allowed, each part at most 255).
bool WSocketIsDottedIP(const std::string& S);
// The address (network order) of a dotted address or a host name; a name is looked up and may
// block.
Winsock::u_long WSocketResolveHost(const std::string& InAddr);
// The port (host order) of a number or a service name.
Winsock::u_short WSocketResolvePort(const std::string& Port, const std::string& Proto);
// The protocol number of "tcp", "udp", "raw", a number or a protocol name.
int WSocketResolveProto(const std::string& sProto);
// The host entry of a dotted address, or nullptr when it has no name.
Winsock::hostent* WSocketGetHostByAddr(const std::string& Addr);
// The host name of a dotted address, or "" when it has none.
std::string WSocketResolveIp(const std::string& IpAddr);
// The host entry of a name, or nullptr when the look-up fails.
Winsock::hostent* WSocketGetHostByName(const std::string& Name);
// This host's addresses in dotted form, in one list shared by every caller; empty when the host's
// own name does not resolve.
TStrings* LocalIPList();
std::string LocalHostName();
// The English text of a socket error number.
std::string WSocketErrorDesc(int ErrCode);

// --- The hidden window ------------------------------------------------------------------------

// A hidden window of the class "XSocketWindowClass" for the calling thread, holding Obj; its
// messages go to Obj's WndProc when Obj is a TXSocketMessageTarget, else to DefWindowProcA.
// nullptr when the class cannot be registered.
HWND XSocketAllocateHWnd(TObject* Obj);
// Destroys the window; false when it was no window.
bool XSocketDeallocateHWnd(HWND Wnd);
void WSocketUnregisterClass();

// The socket components stand on everything above; each of their headers includes the one of
// its base class.
#include "net/CustomWSocket.h"
#include "net/CustomSocksWSocket.h"
#include "net/CustomLineWSocket.h"
#include "net/CustomSyncWSocket.h"

// The socket the HTTP and SMTP clients own: every layer, with line mode off until it is asked for.
class TWSocket : public TCustomSyncWSocket {
    TESS_CLASS(TWSocket, TCustomSyncWSocket)
public:
    using TCustomSyncWSocket::TCustomSyncWSocket;
};

class TSocksWSocket : public TWSocket {
    TESS_CLASS(TSocksWSocket, TWSocket)
public:
    using TWSocket::TWSocket;
};
