// The name services of the socket library: host, service and protocol look-ups (synchronous and
// asynchronous), the host name, address texts and byte order, and the library's registration as
// the system modules "wsock32.dll" and "ws2_32.dll".

#include "platform/net/Winsock.h"

#include "platform/gui/MessageQueue.h"
#include "platform/net/private/HostentPacker.h"
#include "platform/net/private/PosixSockets.h"
#include "platform/net/private/WinsockState.h"
#include "platform/os/Libraries.h"
#include "platform/rtl/TextUtils.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace WinsockLookups {

struct TResolvers {
    std::mutex Lock;
    Winsock::TNameResolver Name;
    Winsock::TAddressResolver Address;
};

// Kept for the life of the process: a look-up thread may still run while it ends.
TResolvers& Resolvers()
{
    static auto* resolvers = new TResolvers;
    return *resolvers;
}

int SystemNameResolver(const std::string& name, Winsock::THostAnswer& answer)
{
    std::vector<std::uint32_t> addresses;
    const int error = PosixSockets::ResolveName(name, answer.Name, addresses);
    answer.Addresses.assign(addresses.begin(), addresses.end());
    return error;
}

int SystemAddressResolver(Winsock::u_long address, Winsock::THostAnswer& answer)
{
    answer.Addresses = {address};
    return PosixSockets::ResolveAddress(address, answer.Name);
}

// Runs the current name look-up; an answer without addresses is "No Data".
int ResolveName(const std::string& name, Winsock::THostAnswer& answer)
{
    Winsock::TNameResolver resolver;
    {
        std::lock_guard<std::mutex> lock(Resolvers().Lock);
        resolver = Resolvers().Name;
    }
    const int error = resolver ? resolver(name, answer) : SystemNameResolver(name, answer);
    if (error == 0 && answer.Addresses.empty())
        return Winsock::WSANO_DATA;
    return error;
}

int ResolveAddress(Winsock::u_long address, Winsock::THostAnswer& answer)
{
    Winsock::TAddressResolver resolver;
    {
        std::lock_guard<std::mutex> lock(Resolvers().Lock);
        resolver = Resolvers().Address;
    }
    const int error = resolver ? resolver(address, answer) : SystemAddressResolver(address, answer);
    if (error == 0 && answer.Addresses.empty())
        answer.Addresses = {address};
    return error;
}

// The calling thread's answer of gethostbyname and gethostbyaddr, packed as Windows packs it.
Winsock::hostent* StoreHostAnswer(const Winsock::THostAnswer& answer)
{
    thread_local std::vector<std::uint64_t> storage; // 64-bit cells keep the entry aligned
    int needed = 0;
    HostentPacker::Pack(answer, nullptr, 0, needed);
    storage.assign(static_cast<std::size_t>(needed) / sizeof(std::uint64_t) + 2, 0);
    char* buffer = reinterpret_cast<char*>(storage.data());
    int used = 0;
    if (HostentPacker::Pack(answer, buffer, static_cast<int>(storage.size() * sizeof(std::uint64_t)), used) != 0) {
        WinsockState::Failed(Winsock::WSAENOBUFS);
        return nullptr;
    }
    return reinterpret_cast<Winsock::hostent*>(buffer);
}

// Services a minimal system may lack in its services file; the SMTP client asks for "smtp".
struct TKnownService {
    const char* Name;
    Winsock::u_short Port;
};
constexpr TKnownService knownServices[] = {{"smtp", 25}, {"http", 80},   {"https", 443},
                                           {"pop3", 110}, {"socks", 1080}, {"ftp", 21}};

// --- Asynchronous look-ups ------------------------------------------------------------------------

struct TLookupRequest {
    std::mutex Lock; // held while the answer is written and posted
    bool Cancelled = false;
    bool Done = false;
    HWND Window = nullptr;
    UINT Message = 0;
    char* Buffer = nullptr;
    int BufferLength = 0;
    std::uintptr_t Handle = 0;
    bool ByAddress = false;
    std::string Name;
    Winsock::u_long Address = 0;
};

using TRequestPtr = std::shared_ptr<TLookupRequest>;

struct TRequests {
    std::mutex Lock;
    std::map<std::uintptr_t, TRequestPtr> Pending;
    std::uintptr_t LastHandle = 0;
};

TRequests& Requests()
{
    static auto* requests = new TRequests;
    return *requests;
}

void Forget(std::uintptr_t handle)
{
    std::lock_guard<std::mutex> lock(Requests().Lock);
    Requests().Pending.erase(handle);
}

void RunLookup(const TRequestPtr& request)
{
    Winsock::THostAnswer answer;
    int error = request->ByAddress ? ResolveAddress(request->Address, answer) : ResolveName(request->Name, answer);
    {
        std::lock_guard<std::mutex> lock(request->Lock);
        if (!request->Cancelled) {
            int length = 0;
            if (error == 0)
                error = HostentPacker::Pack(answer, request->Buffer, request->BufferLength, length);
            const WORD replyLength = static_cast<WORD>(std::min(length, 0xFFFF));
            PostMessageA(request->Window, request->Message, static_cast<WPARAM>(request->Handle),
                         Winsock::WSAMAKEASYNCREPLY(replyLength, static_cast<WORD>(error)));
            request->Done = true;
        }
    }
    Forget(request->Handle);
}

HANDLE StartLookup(const TRequestPtr& request)
{
    {
        std::lock_guard<std::mutex> lock(Requests().Lock);
        request->Handle = ++Requests().LastHandle;
        Requests().Pending[request->Handle] = request;
    }
    try {
        std::thread([request] { RunLookup(request); }).detach();
    } catch (const std::system_error&) {
        Forget(request->Handle);
        WinsockState::Failed(Winsock::WSAENOBUFS);
        return nullptr;
    }
    return reinterpret_cast<HANDLE>(request->Handle);
}

bool ValidAnswerBuffer(HWND window, const char* buffer, int bufferLength)
{
    if (!buffer || bufferLength <= 0) {
        WinsockState::Failed(Winsock::WSAEFAULT);
        return false;
    }
    if (!window) {
        WinsockState::Failed(Winsock::WSAEINVAL);
        return false;
    }
    return true;
}

// --- Registration ------------------------------------------------------------------------------

template <typename F>
FARPROC EntryPoint(F* function)
{
    return reinterpret_cast<FARPROC>(function);
}

} // namespace WinsockLookups

bool WinsockState::FindKnownService(const std::string& name, const std::string& protocol, std::uint16_t& port)
{
    if (!protocol.empty() && !SameText(protocol, "tcp"))
        return false;
    for (const WinsockLookups::TKnownService& service : WinsockLookups::knownServices) {
        if (SameText(name, service.Name)) {
            port = Winsock::htons(service.Port);
            return true;
        }
    }
    return false;
}

namespace Winsock {

TNameResolver SetNameResolver(TNameResolver resolver)
{
    std::lock_guard<std::mutex> lock(WinsockLookups::Resolvers().Lock);
    std::swap(WinsockLookups::Resolvers().Name, resolver);
    return resolver;
}

TAddressResolver SetAddressResolver(TAddressResolver resolver)
{
    std::lock_guard<std::mutex> lock(WinsockLookups::Resolvers().Lock);
    std::swap(WinsockLookups::Resolvers().Address, resolver);
    return resolver;
}

HANDLE WSAAsyncGetHostByName(HWND window, u_int message, const char* name, char* buffer, int bufferLength)
{
    if (!WinsockState::RequireStarted() || !WinsockLookups::ValidAnswerBuffer(window, buffer, bufferLength))
        return nullptr;
    if (!name) {
        WinsockState::Failed(WSAEFAULT);
        return nullptr;
    }
    auto request = std::make_shared<WinsockLookups::TLookupRequest>();
    request->Window = window;
    request->Message = message;
    request->Buffer = buffer;
    request->BufferLength = bufferLength;
    request->Name = name;
    return WinsockLookups::StartLookup(request);
}

HANDLE WSAAsyncGetHostByAddr(HWND window, u_int message, const char* address, int length, int type, char* buffer,
                             int bufferLength)
{
    if (!WinsockState::RequireStarted() || !WinsockLookups::ValidAnswerBuffer(window, buffer, bufferLength))
        return nullptr;
    if (!address || length != static_cast<int>(sizeof(u_long))) {
        WinsockState::Failed(WSAEFAULT);
        return nullptr;
    }
    if (type != AF_INET) {
        WinsockState::Failed(WSAEAFNOSUPPORT);
        return nullptr;
    }
    auto request = std::make_shared<WinsockLookups::TLookupRequest>();
    request->Window = window;
    request->Message = message;
    request->Buffer = buffer;
    request->BufferLength = bufferLength;
    request->ByAddress = true;
    std::memcpy(&request->Address, address, sizeof request->Address);
    return WinsockLookups::StartLookup(request);
}

int WSACancelAsyncRequest(HANDLE handle)
{
    if (!WinsockState::RequireStarted())
        return SOCKET_ERROR;
    const auto key = reinterpret_cast<std::uintptr_t>(handle);
    WinsockLookups::TRequestPtr request;
    {
        WinsockLookups::TRequests& requests = WinsockLookups::Requests();
        std::lock_guard<std::mutex> lock(requests.Lock);
        const auto found = requests.Pending.find(key);
        if (found == requests.Pending.end())
            return WinsockState::Failed(key != 0 && key <= requests.LastHandle ? WSAEALREADY : WSAEINVAL);
        request = found->second;
    }
    // Waits for an answer being written: once this returns, the buffer and window are left alone.
    std::lock_guard<std::mutex> lock(request->Lock);
    if (request->Done || request->Cancelled)
        return WinsockState::Failed(WSAEALREADY);
    request->Cancelled = true;
    return 0;
}

hostent* gethostbyname(const char* name)
{
    if (!WinsockState::RequireStarted())
        return nullptr;
    if (!name) {
        WinsockState::Failed(WSAEFAULT);
        return nullptr;
    }
    THostAnswer answer;
    const int error = WinsockLookups::ResolveName(name, answer);
    if (error != 0) {
        WinsockState::Failed(error);
        return nullptr;
    }
    return WinsockLookups::StoreHostAnswer(answer);
}

hostent* gethostbyaddr(const char* address, int length, int type)
{
    if (!WinsockState::RequireStarted())
        return nullptr;
    if (!address || length != static_cast<int>(sizeof(u_long))) {
        WinsockState::Failed(WSAEFAULT);
        return nullptr;
    }
    if (type != AF_INET) {
        WinsockState::Failed(WSAEAFNOSUPPORT);
        return nullptr;
    }
    u_long value = 0;
    std::memcpy(&value, address, sizeof value);
    THostAnswer answer;
    const int error = WinsockLookups::ResolveAddress(value, answer);
    if (error != 0) {
        WinsockState::Failed(error);
        return nullptr;
    }
    return WinsockLookups::StoreHostAnswer(answer);
}

servent* getservbyname(const char* name, const char* protocol)
{
    if (!WinsockState::RequireStarted())
        return nullptr;
    if (!name) {
        WinsockState::Failed(WSAEFAULT);
        return nullptr;
    }
    struct TServiceStore {
        servent Entry{};
        std::string Name;
        std::string Protocol;
        char* NoAliases[1] = {nullptr};
    };
    thread_local TServiceStore store;
    const std::string wanted = protocol ? protocol : "";
    std::uint16_t port = 0;
    std::string foundProtocol;
    if (!PosixSockets::FindService(name, wanted, foundProtocol, port)) {
        if (!WinsockState::FindKnownService(name, wanted, port)) {
            WinsockState::Failed(WSANO_DATA);
            return nullptr;
        }
        foundProtocol = "tcp";
    }
    store.Name = name;
    store.Protocol = foundProtocol;
    store.Entry.s_name = store.Name.data();
    store.Entry.s_aliases = store.NoAliases;
    store.Entry.s_proto = store.Protocol.data();
    store.Entry.s_port = static_cast<short>(port);
    return &store.Entry;
}

protoent* getprotobyname(const char* name)
{
    if (!WinsockState::RequireStarted())
        return nullptr;
    if (!name) {
        WinsockState::Failed(WSAEFAULT);
        return nullptr;
    }
    struct TProtocolStore {
        protoent Entry{};
        std::string Name;
        char* NoAliases[1] = {nullptr};
    };
    thread_local TProtocolStore store;
    int number = 0;
    if (!PosixSockets::FindProtocol(name, store.Name, number)) {
        WinsockState::Failed(WSANO_DATA);
        return nullptr;
    }
    store.Entry.p_name = store.Name.data();
    store.Entry.p_aliases = store.NoAliases;
    store.Entry.p_proto = static_cast<short>(number);
    return &store.Entry;
}

int gethostname(char* name, int nameLength)
{
    if (!WinsockState::RequireStarted())
        return SOCKET_ERROR;
    std::string hostName;
    if (PosixSockets::HostName(hostName) < 0)
        return WinsockState::Failed(PosixSockets::LastError());
    if (!name || nameLength <= static_cast<int>(hostName.size()))
        return WinsockState::Failed(WSAEFAULT);
    std::memcpy(name, hostName.c_str(), hostName.size() + 1);
    return 0;
}

u_long inet_addr(const char* text)
{
    std::uint32_t address = 0;
    return PosixSockets::ParseAddress(text, address) ? address : INADDR_NONE;
}

char* inet_ntoa(in_addr address)
{
    thread_local char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", address.S_un_b.s_b1, address.S_un_b.s_b2, address.S_un_b.s_b3,
                  address.S_un_b.s_b4);
    return text;
}

u_short htons(u_short value)
{
    const u_char bytes[2] = {static_cast<u_char>(value >> 8), static_cast<u_char>(value)};
    u_short result;
    std::memcpy(&result, bytes, sizeof result);
    return result;
}

u_long htonl(u_long value)
{
    const u_char bytes[4] = {static_cast<u_char>(value >> 24), static_cast<u_char>(value >> 16),
                             static_cast<u_char>(value >> 8), static_cast<u_char>(value)};
    u_long result;
    std::memcpy(&result, bytes, sizeof result);
    return result;
}

u_short ntohs(u_short value)
{
    u_char bytes[2];
    std::memcpy(bytes, &value, sizeof bytes);
    return static_cast<u_short>(bytes[0] << 8 | bytes[1]);
}

u_long ntohl(u_long value)
{
    u_char bytes[4];
    std::memcpy(bytes, &value, sizeof bytes);
    return static_cast<u_long>(bytes[0]) << 24 | static_cast<u_long>(bytes[1]) << 16 |
           static_cast<u_long>(bytes[2]) << 8 | bytes[3];
}

void RegisterModules()
{
    using WinsockLookups::EntryPoint;
    static std::once_flag registered;
    std::call_once(registered, [] {
        RegisterSystemModule("wsock32.dll", {{"WSAStartup", EntryPoint(&WSAStartup)},
                                             {"WSACleanup", EntryPoint(&WSACleanup)},
                                             {"WSAGetLastError", EntryPoint(&WSAGetLastError)},
                                             {"WSASetLastError", EntryPoint(&WSASetLastError)},
                                             {"WSAAsyncSelect", EntryPoint(&WSAAsyncSelect)},
                                             {"WSAAsyncGetHostByName", EntryPoint(&WSAAsyncGetHostByName)},
                                             {"WSAAsyncGetHostByAddr", EntryPoint(&WSAAsyncGetHostByAddr)},
                                             {"WSACancelAsyncRequest", EntryPoint(&WSACancelAsyncRequest)},
                                             {"socket", EntryPoint(&socket)},
                                             {"bind", EntryPoint(&bind)},
                                             {"connect", EntryPoint(&connect)},
                                             {"listen", EntryPoint(&listen)},
                                             {"accept", EntryPoint(&accept)},
                                             {"send", EntryPoint(&send)},
                                             {"sendto", EntryPoint(&sendto)},
                                             {"recv", EntryPoint(&recv)},
                                             {"recvfrom", EntryPoint(&recvfrom)},
                                             {"closesocket", EntryPoint(&closesocket)},
                                             {"shutdown", EntryPoint(&shutdown)},
                                             {"setsockopt", EntryPoint(&setsockopt)},
                                             {"getsockopt", EntryPoint(&getsockopt)},
                                             {"ioctlsocket", EntryPoint(&ioctlsocket)},
                                             {"getsockname", EntryPoint(&getsockname)},
                                             {"getpeername", EntryPoint(&getpeername)},
                                             {"gethostname", EntryPoint(&gethostname)},
                                             {"gethostbyname", EntryPoint(&gethostbyname)},
                                             {"gethostbyaddr", EntryPoint(&gethostbyaddr)},
                                             {"getservbyname", EntryPoint(&getservbyname)},
                                             {"getprotobyname", EntryPoint(&getprotobyname)},
                                             {"inet_addr", EntryPoint(&inet_addr)},
                                             {"inet_ntoa", EntryPoint(&inet_ntoa)},
                                             {"htons", EntryPoint(&htons)},
                                             {"htonl", EntryPoint(&htonl)},
                                             {"ntohs", EntryPoint(&ntohs)},
                                             {"ntohl", EntryPoint(&ntohl)}});
        RegisterSystemModule("ws2_32.dll", {{"WSAIoctl", EntryPoint(&WSAIoctl)}});
    });
}

} // namespace Winsock
