#include "net/WSocket.h"

#include "platform/os/Libraries.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

BYTE ReqVerLow = 1;
BYTE ReqVerHigh = 1;

namespace WSocketUnit {

constexpr const char* WinsockName = "wsock32.dll";
constexpr const char* Winsock2Name = "ws2_32.dll";
constexpr const char* WindowClassName = "XSocketWindowClass";

// The entry points the wrappers cache, one slot each.
enum TEntry {
    eWSAStartup, eWSACleanup, eWSASetLastError, eWSAGetLastError, eWSACancelAsyncRequest,
    eWSAAsyncGetHostByName, eWSAAsyncGetHostByAddr, eWSAAsyncSelect, egetservbyname, egetprotobyname,
    egethostbyname, egethostbyaddr, egethostname, esocket, eshutdown, esetsockopt, egetsockopt, esendto, esend,
    entohs, entohl, elisten, eioctlsocket, eWSAIoctl, einet_ntoa, einet_addr, ehtons, ehtonl, egetsockname,
    egetpeername, econnect, eclosesocket, ebind, eaccept, erecv, erecvfrom, EntryCount
};

struct TLibrary {
    std::recursive_mutex Lock; // loading, unloading and the use count
    HMODULE Winsock = nullptr;
    HMODULE Winsock2 = nullptr;
    Winsock::WSADATA StartupData{};
    int UseCount = 0;
    bool Forced = false;
    // Written once per load, read without the lock.
    std::atomic<FARPROC> Entries[EntryCount] = {};
};

TLibrary& Library()
{
    static TLibrary library;
    return library;
}

// With no user left when the program ends, the library is unloaded.
struct TUnitEnd {
    ~TUnitEnd()
    {
        if (Library().UseCount < 1)
            WSocketUnloadWinsock();
    }
};

std::mutex& ClassLock()
{
    static std::mutex lock;
    return lock;
}

// One use of the library for the life of the object.
class TUseHold {
public:
    TUseHold() { WSocketIncrementUseCount(); }
    ~TUseHold()
    {
        std::lock_guard<std::recursive_mutex> lock(Library().Lock);
        --Library().UseCount;
    }
    TUseHold(const TUseHold&) = delete;
    TUseHold& operator=(const TUseHold&) = delete;
};

template <typename TFunction>
TFunction Cached(TEntry entry, const char* name)
{
    std::atomic<FARPROC>& slot = Library().Entries[entry];
    FARPROC found = slot.load(std::memory_order_acquire);
    if (!found) {
        found = entry == eWSAIoctl ? WSocket2GetProc(name) : WSocketGetProc(name);
        slot.store(found, std::memory_order_release);
    }
    return reinterpret_cast<TFunction>(found);
}

std::string ErrorNumber() { return IntToStr(GetLastError()); }

HMODULE LoadOrRaise(const char* name)
{
    HMODULE module = LoadLibraryA(name);
    if (!module)
        RAISE(ESocketException(std::string("Unable to load ") + name + " Error #" + ErrorNumber()));
    return module;
}

FARPROC FindOrRaise(HMODULE module, const char* moduleName, const std::string& procName)
{
    FARPROC found = GetProcAddress(module, procName.c_str());
    if (!found)
        RAISE(ESocketException("Procedure " + procName + " not found in " + moduleName + " Error #" + ErrorNumber()));
    return found;
}

// Reads a decimal number from the first digits of text; saturates instead of overflowing.
long long LeadingNumber(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<long long>(value * 10 + (text[i] - '0'), 0x7FFFFFFF);
    return value;
}

bool StartsWithDigit(const std::string& text) { return !text.empty() && text[0] >= '0' && text[0] <= '9'; }

LRESULT XSocketWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* object = reinterpret_cast<TObject*>(GetWindowLongPtr(window, 0));
    auto* target = dynamic_cast<TXSocketMessageTarget*>(object);
    if (!target)
        return DefWindowProcA(window, message, wParam, lParam);
    TMessage record{message, wParam, lParam, 0};
    target->WndProc(record);
    return record.Result;
}

struct TErrorText {
    int Code;
    const char* Text;
};

constexpr TErrorText errorTexts[] = {
    {0, "No Error"},
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on non-socket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Protocol wrong type for socket"},
    {10042, "Protocol not available"},
    {10043, "Protocol not supported"},
    {10044, "Socket type not supported"},
    {10045, "Operation not supported on socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported by protocol family"},
    {10048, "Address already in use"},
    {10049, "Address not available"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Network dropped connection on reset"},
    {10053, "Connection aborted"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send after socket shutdown"},
    {10059, "Too many references: can't splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name too long"},
    {10064, "Host is down"},
    {10065, "No route to host"},
    {10066, "Directory not empty"},
    {10067, "Too many processes"},
    {10068, "Too many users"},
    {10069, "Disc quota exceeded"},
    {10070, "Stale NFS file handle"},
    {10071, "Too many levels of remote in path"},
    {10091, "Network sub-system is unusable"},
    {10092, "WinSock DLL cannot support this application"},
    {10093, "WinSock not initialized"},
    {11001, "Host not found"},
    {11002, "Non-authoritative host not found"},
    {11003, "Non-recoverable error"},
    {11004, "No Data"},
};

} // namespace WSocketUnit

// --- Loading the library -----------------------------------------------------------------------

FARPROC WSocketGetProc(const std::string& procName)
{
    using namespace WSocketUnit;
    TLibrary& library = Library();
    std::lock_guard<std::recursive_mutex> lock(library.Lock);
    if (!library.Winsock) {
        static TUnitEnd unitEnd;
        Winsock::RegisterModules();
        library.Winsock = LoadOrRaise(WinsockName);
        const auto startup = reinterpret_cast<Winsock::TWSAStartup>(FindOrRaise(library.Winsock, WinsockName,
                                                                                 "WSAStartup"));
        const WORD version = static_cast<WORD>(ReqVerLow | ReqVerHigh << 8);
        const int result = startup(version, &library.StartupData);
        if (result != 0) {
            // Nothing stays loaded, so that a later call can try again.
            FreeLibrary(library.Winsock);
            library.Winsock = nullptr;
            RAISE(ESocketException(Format("%s: WSAStartup error #%d", {WinsockName, result})));
        }
    }
    if (procName.empty())
        return nullptr;
    return FindOrRaise(library.Winsock, WinsockName, procName);
}

FARPROC WSocket2GetProc(const std::string& procName)
{
    using namespace WSocketUnit;
    TLibrary& library = Library();
    std::lock_guard<std::recursive_mutex> lock(library.Lock);
    WSocketGetProc("");
    if (!library.Winsock2)
        library.Winsock2 = LoadOrRaise(Winsock2Name);
    if (procName.empty())
        return nullptr;
    return FindOrRaise(library.Winsock2, Winsock2Name, procName);
}

void WSocketForceLoadWinsock()
{
    WSocketUnit::TLibrary& library = WSocketUnit::Library();
    std::lock_guard<std::recursive_mutex> lock(library.Lock);
    if (library.Forced)
        return;
    library.Forced = true;
    ++library.UseCount;
    try {
        WSocketGetProc("");
    } catch (...) {
        library.Forced = false;
        --library.UseCount;
        throw;
    }
}

void WSocketCancelForceLoadWinsock()
{
    WSocketUnit::TLibrary& library = WSocketUnit::Library();
    std::lock_guard<std::recursive_mutex> lock(library.Lock);
    if (!library.Forced)
        return;
    library.Forced = false;
    if (--library.UseCount <= 0)
        WSocketUnloadWinsock();
}

void WSocketUnloadWinsock()
{
    WSocketUnit::TLibrary& library = WSocketUnit::Library();
    std::lock_guard<std::recursive_mutex> lock(library.Lock);
    if (library.Winsock && library.UseCount == 0) {
        if (auto cleanup = reinterpret_cast<Winsock::TWSACleanup>(GetProcAddress(library.Winsock, "WSACleanup")))
            cleanup();
        if (library.Winsock2) {
            FreeLibrary(library.Winsock2);
            library.Winsock2 = nullptr;
        }
        FreeLibrary(library.Winsock);
        library.Winsock = nullptr;
        for (std::atomic<FARPROC>& entry : library.Entries)
            entry.store(nullptr);
    }
    library.Forced = false;
}

Winsock::WSADATA WinsockInfo()
{
    WSocketUnit::TLibrary& library = WSocketUnit::Library();
    std::lock_guard<std::recursive_mutex> lock(library.Lock);
    WSocketGetProc("");
    const Winsock::WSADATA data = library.StartupData;
    if (library.UseCount < 1)
        WSocketUnloadWinsock();
    return data;
}

void WSocketIncrementUseCount()
{
    std::lock_guard<std::recursive_mutex> lock(WSocketUnit::Library().Lock);
    ++WSocketUnit::Library().UseCount;
}

void WSocketDecrementUseCount()
{
    std::lock_guard<std::recursive_mutex> lock(WSocketUnit::Library().Lock);
    if (--WSocketUnit::Library().UseCount < 1)
        WSocketUnloadWinsock();
}

int WSocketUseCount()
{
    std::lock_guard<std::recursive_mutex> lock(WSocketUnit::Library().Lock);
    return WSocketUnit::Library().UseCount;
}

bool WSocketIsWinsockLoaded()
{
    std::lock_guard<std::recursive_mutex> lock(WSocketUnit::Library().Lock);
    return WSocketUnit::Library().Winsock != nullptr;
}

// --- The library's calls ------------------------------------------------------------------------

int WSocket_WSAStartup(WORD versionRequested, Winsock::WSADATA* data)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::TWSAStartup>(WSocketUnit::eWSAStartup, "WSAStartup")(versionRequested, data);
}

int WSocket_WSACleanup()
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::TWSACleanup>(WSocketUnit::eWSACleanup, "WSACleanup")();
}

void WSocket_WSASetLastError(int error)
{
    WSocketUnit::TUseHold hold;
    WSocketUnit::Cached<Winsock::TWSASetLastError>(WSocketUnit::eWSASetLastError, "WSASetLastError")(error);
}

int WSocket_WSAGetLastError()
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::TWSAGetLastError>(WSocketUnit::eWSAGetLastError, "WSAGetLastError")();
}

int WSocket_WSACancelAsyncRequest(HANDLE request)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::TWSACancelAsyncRequest>(WSocketUnit::eWSACancelAsyncRequest,
                                                                "WSACancelAsyncRequest")(request);
}

HANDLE WSocket_WSAAsyncGetHostByName(HWND window, Winsock::u_int message, const char* name, char* buffer,
                                     int bufferLength)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::TWSAAsyncGetHostByName>(WSocketUnit::eWSAAsyncGetHostByName,
                                                                "WSAAsyncGetHostByName")(window, message, name, buffer,
                                                                                         bufferLength);
}

HANDLE WSocket_WSAAsyncGetHostByAddr(HWND window, Winsock::u_int message, const char* address, int length, int type,
                                     char* buffer, int bufferLength)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::TWSAAsyncGetHostByAddr>(WSocketUnit::eWSAAsyncGetHostByAddr,
                                                                "WSAAsyncGetHostByAddr")(window, message, address,
                                                                                         length, type, buffer,
                                                                                         bufferLength);
}

int WSocket_WSAAsyncSelect(Winsock::SOCKET s, HWND window, Winsock::u_int message, long events)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::TWSAAsyncSelect>(WSocketUnit::eWSAAsyncSelect, "WSAAsyncSelect")(
        s, window, message, events);
}

Winsock::servent* WSocket_getservbyname(const char* name, const char* protocol)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Tgetservbyname>(WSocketUnit::egetservbyname, "getservbyname")(name, protocol);
}

Winsock::protoent* WSocket_getprotobyname(const char* name)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Tgetprotobyname>(WSocketUnit::egetprotobyname, "getprotobyname")(name);
}

Winsock::hostent* WSocket_gethostbyname(const char* name)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Tgethostbyname>(WSocketUnit::egethostbyname, "gethostbyname")(name);
}

Winsock::hostent* WSocket_gethostbyaddr(const char* address, int length, int type)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Tgethostbyaddr>(WSocketUnit::egethostbyaddr, "gethostbyaddr")(address, length,
                                                                                                       type);
}

int WSocket_gethostname(char* name, int nameLength)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Tgethostname>(WSocketUnit::egethostname, "gethostname")(name, nameLength);
}

Winsock::SOCKET WSocket_socket(int af, int type, int protocol)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Tsocket>(WSocketUnit::esocket, "socket")(af, type, protocol);
}

int WSocket_shutdown(Winsock::SOCKET s, int how)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Tshutdown>(WSocketUnit::eshutdown, "shutdown")(s, how);
}

int WSocket_setsockopt(Winsock::SOCKET s, int level, int option, const char* value, int valueLength)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Tsetsockopt>(WSocketUnit::esetsockopt, "setsockopt")(s, level, option, value,
                                                                                             valueLength);
}

int WSocket_getsockopt(Winsock::SOCKET s, int level, int option, char* value, int* valueLength)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Tgetsockopt>(WSocketUnit::egetsockopt, "getsockopt")(s, level, option, value,
                                                                                             valueLength);
}

int WSocket_sendto(Winsock::SOCKET s, const char* buffer, int length, int flags, const Winsock::sockaddr* to,
                   int toLength)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Tsendto>(WSocketUnit::esendto, "sendto")(s, buffer, length, flags, to,
                                                                                 toLength);
}

int WSocket_send(Winsock::SOCKET s, const char* buffer, int length, int flags)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Tsend>(WSocketUnit::esend, "send")(s, buffer, length, flags);
}

Winsock::u_short WSocket_ntohs(Winsock::u_short value)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Tntohs>(WSocketUnit::entohs, "ntohs")(value);
}

Winsock::u_long WSocket_ntohl(Winsock::u_long value)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Tntohl>(WSocketUnit::entohl, "ntohl")(value);
}

int WSocket_listen(Winsock::SOCKET s, int backlog)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Tlisten>(WSocketUnit::elisten, "listen")(s, backlog);
}

int WSocket_ioctlsocket(Winsock::SOCKET s, long command, Winsock::u_long* argument)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Tioctlsocket>(WSocketUnit::eioctlsocket, "ioctlsocket")(s, command, argument);
}

int WSocket_WSAIoctl(Winsock::SOCKET s, DWORD code, void* inBuffer, DWORD inLength, void* outBuffer, DWORD outLength,
                     DWORD* bytesReturned, void* overlapped, void* completionRoutine)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::TWSAIoctl>(WSocketUnit::eWSAIoctl, "WSAIoctl")(
        s, code, inBuffer, inLength, outBuffer, outLength, bytesReturned, overlapped, completionRoutine);
}

char* WSocket_inet_ntoa(Winsock::in_addr address)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Tinet_ntoa>(WSocketUnit::einet_ntoa, "inet_ntoa")(address);
}

Winsock::u_long WSocket_inet_addr(const char* text)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Tinet_addr>(WSocketUnit::einet_addr, "inet_addr")(text);
}

Winsock::u_short WSocket_htons(Winsock::u_short value)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Thtons>(WSocketUnit::ehtons, "htons")(value);
}

Winsock::u_long WSocket_htonl(Winsock::u_long value)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Thtonl>(WSocketUnit::ehtonl, "htonl")(value);
}

int WSocket_getsockname(Winsock::SOCKET s, Winsock::sockaddr* name, int* nameLength)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Tgetsockname>(WSocketUnit::egetsockname, "getsockname")(s, name, nameLength);
}

int WSocket_getpeername(Winsock::SOCKET s, Winsock::sockaddr* name, int* nameLength)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Tgetpeername>(WSocketUnit::egetpeername, "getpeername")(s, name, nameLength);
}

int WSocket_connect(Winsock::SOCKET s, const Winsock::sockaddr* name, int nameLength)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Tconnect>(WSocketUnit::econnect, "connect")(s, name, nameLength);
}

int WSocket_closesocket(Winsock::SOCKET s)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Tclosesocket>(WSocketUnit::eclosesocket, "closesocket")(s);
}

int WSocket_bind(Winsock::SOCKET s, const Winsock::sockaddr* name, int nameLength)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Tbind>(WSocketUnit::ebind, "bind")(s, name, nameLength);
}

Winsock::SOCKET WSocket_accept(Winsock::SOCKET s, Winsock::sockaddr* address, int* addressLength)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Taccept>(WSocketUnit::eaccept, "accept")(s, address, addressLength);
}

int WSocket_recv(Winsock::SOCKET s, char* buffer, int length, int flags)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Trecv>(WSocketUnit::erecv, "recv")(s, buffer, length, flags);
}

int WSocket_recvfrom(Winsock::SOCKET s, char* buffer, int length, int flags, Winsock::sockaddr* from,
                     int* fromLength)
{
    WSocketUnit::TUseHold hold;
    return WSocketUnit::Cached<Winsock::Trecvfrom>(WSocketUnit::erecvfrom, "recvfrom")(s, buffer, length, flags, from,
                                                                                       fromLength);
}

// --- Resolution -------------------------------------------------------------------------------

bool WSocketIsDottedIP(const std::string& S)
{
    const std::size_t length = S.size();
    std::size_t i = 0;
    while (i < length && S[i] == ' ')
        ++i;
    if (i < length && S[i] == '.')
        return false;
    int dotCount = 0;
    int numberValue = 0;
    while (i < length) {
        const char c = S[i];
        if (c == '.') {
            ++dotCount;
            if (dotCount > 3 || numberValue > 255)
                return false;
            ++i;
            if (i >= length || S[i] < '0' || S[i] > '9')
                return false;
            numberValue = 0;
        } else if (c >= '0' && c <= '9') {
            numberValue = std::min(numberValue * 10 + (c - '0'), 256);
            ++i;
        } else {
            while (i < length && S[i] == ' ')
                ++i;
            if (i < length)
                return false;
        }
    }
    return dotCount == 3 && numberValue <= 255;
}

Winsock::u_long WSocketResolveHost(const std::string& InAddr)
{
    WSocketUnit::TUseHold hold;
    if (InAddr.empty() || InAddr.size() > 256)
        RAISE(ESocketException("WSocketResolveHost: '" + InAddr + "' Invalid Hostname."));
    const std::string data = Trim(InAddr);
    if (WSocketIsDottedIP(data)) {
        const Winsock::u_long address = WSocket_inet_addr(data.c_str());
        if (address == Winsock::INADDR_NONE && data != "255.255.255.255")
            RAISE(ESocketException("WSocketResolveHost: '" + InAddr + "' Invalid IP address."));
        return address;
    }
    const Winsock::hostent* entry = WSocket_gethostbyname(data.c_str());
    if (!entry || !entry->h_addr_list[0])
        RAISE(ESocketException(Format("WSocketResolveHost: Cannot convert host address '%s', Error #%d",
                                      {InAddr, WSocket_WSAGetLastError()})));
    Winsock::u_long address;
    std::memcpy(&address, entry->h_addr_list[0], sizeof address);
    return address;
}

Winsock::u_short WSocketResolvePort(const std::string& Port, const std::string& Proto)
{
    WSocketUnit::TUseHold hold;
    if (Port.empty() || Port.size() >= 32)
        RAISE(ESocketException("WSocketResolvePort: Invalid Port."));
    if (Proto.empty() || Proto.size() >= 32)
        RAISE(ESocketException("WSocketResolvePort: Invalid Proto."));
    if (WSocketUnit::StartsWithDigit(Port)) {
        // A number beyond the last port would wrap round to another port.
        const long long number = WSocketUnit::LeadingNumber(Port);
        if (number > 65535)
            RAISE(ESocketException("WSocketResolvePort: Invalid Port."));
        return static_cast<Winsock::u_short>(number);
    }
    const std::string name = Trim(Port);
    const std::string protocol = Trim(Proto);
    const Winsock::servent* entry = WSocket_getservbyname(name.c_str(), protocol.empty() ? nullptr : protocol.c_str());
    if (!entry)
        RAISE(ESocketException(Format("WSocketResolvePort: Cannot convert port '%s', Error #%d",
                                      {Port, WSocket_WSAGetLastError()})));
    return WSocket_ntohs(static_cast<Winsock::u_short>(entry->s_port));
}

int WSocketResolveProto(const std::string& sProto)
{
    WSocketUnit::TUseHold hold;
    if (sProto.empty() || sProto.size() >= 32)
        RAISE(ESocketException("WSocketResolveProto: Invalid Protocol."));
    if (WSocketUnit::StartsWithDigit(sProto))
        return static_cast<int>(WSocketUnit::LeadingNumber(sProto));
    const std::string protocol = LowerCase(Trim(sProto));
    if (protocol == "tcp")
        return Winsock::IPPROTO_TCP;
    if (protocol == "udp")
        return Winsock::IPPROTO_UDP;
    if (protocol == "raw")
        return Winsock::IPPROTO_RAW;
    const Winsock::protoent* entry = WSocket_getprotobyname(protocol.c_str());
    if (!entry)
        RAISE(ESocketException(Format("WSocketResolveProto: Cannot convert protocol '%s', Error #%d",
                                      {sProto, WSocket_WSAGetLastError()})));
    return entry->p_proto;
}

Winsock::hostent* WSocketGetHostByAddr(const std::string& Addr)
{
    WSocketUnit::TUseHold hold;
    if (Addr.empty() || Addr.size() > 256)
        RAISE(ESocketException("WSocketGetHostByAddr: Invalid address."));
    const Winsock::u_long address = WSocket_inet_addr(Addr.c_str());
    return WSocket_gethostbyaddr(reinterpret_cast<const char*>(&address), sizeof address, Winsock::AF_INET);
}

std::string WSocketResolveIp(const std::string& IpAddr)
{
    const Winsock::hostent* entry = WSocketGetHostByAddr(IpAddr);
    return entry ? std::string(entry->h_name) : std::string();
}

Winsock::hostent* WSocketGetHostByName(const std::string& Name)
{
    WSocketUnit::TUseHold hold;
    if (Name.empty() || Name.size() > 256)
        RAISE(ESocketException("WSocketGetHostByName: Invalid Hostname."));
    return WSocket_gethostbyname(Name.c_str());
}

TStrings* LocalIPList()
{
    static TStringList list;
    WSocketUnit::TUseHold hold;
    list.Clear();
    // A host without an entry for its own name (common on laptops) simply has no addresses here.
    const Winsock::hostent* entry = WSocket_gethostbyname(LocalHostName().c_str());
    if (entry) {
        for (char** item = entry->h_addr_list; *item; ++item) {
            Winsock::in_addr address;
            std::memcpy(&address, *item, sizeof address);
            list.Add(WSocket_inet_ntoa(address));
        }
    }
    return &list;
}

std::string LocalHostName()
{
    WSocketUnit::TUseHold hold;
    char buffer[64] = {};
    if (WSocket_gethostname(buffer, sizeof buffer) != 0)
        RAISE(ESocketException("Winsock.GetHostName failed"));
    return buffer;
}

std::string WSocketErrorDesc(int ErrCode)
{
    for (const WSocketUnit::TErrorText& entry : WSocketUnit::errorTexts)
        if (entry.Code == ErrCode)
            return entry.Text;
    return "Not a WinSock error";
}

// --- The hidden window ------------------------------------------------------------------------

HWND XSocketAllocateHWnd(TObject* Obj)
{
    {
        std::lock_guard<std::mutex> lock(WSocketUnit::ClassLock());
        WNDCLASSA registered;
        if (!GetClassInfoA(nullptr, WSocketUnit::WindowClassName, registered)) {
            WNDCLASSA windowClass;
            windowClass.lpfnWndProc = &WSocketUnit::XSocketWindowProc;
            windowClass.cbWndExtra = sizeof(LONG_PTR); // the object's pointer
            windowClass.lpszClassName = WSocketUnit::WindowClassName;
            if (!RegisterClassA(windowClass))
                return nullptr;
        }
    }
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, WSocketUnit::WindowClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                  nullptr, nullptr, nullptr);
    if (window)
        SetWindowLongPtr(window, 0, reinterpret_cast<LONG_PTR>(Obj));
    return window;
}

bool XSocketDeallocateHWnd(HWND Wnd) { return DestroyWindow(Wnd) != FALSE; }

void WSocketUnregisterClass()
{
    std::lock_guard<std::mutex> lock(WSocketUnit::ClassLock());
    UnregisterClassA(WSocketUnit::WindowClassName, nullptr);
}
