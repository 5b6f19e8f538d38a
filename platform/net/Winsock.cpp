// The sockets of the socket library: start-up, errors, the socket calls and their notices.
//
// Each socket has an entry with the state its notices follow. A notice is posted once and armed
// again only by the call Windows re-enables it with (recv for FD_READ, accept for FD_ACCEPT, a
// send that found the socket full for FD_WRITE), so a program that does not answer gets no
// stream of messages. The readiness watchers run on the GUI thread; the entries are shared with
// the calling threads under one lock.

#include "platform/net/Winsock.h"

#include "platform/gui/MessageQueue.h"
#include "platform/net/private/PosixSockets.h"
#include "platform/net/private/SocketNotices.h"
#include "platform/net/private/WinsockState.h"

#include <atomic>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace SocketTable {

using PosixSockets::TEndpoint;
using PosixSockets::TSocketKind;

struct TSocketEntry {
    int Fd = -1;
    TSocketKind Kind = TSocketKind::Stream;
    bool Listening = false;
    bool Connected = false;  // a stream socket with a peer
    bool Connecting = false; // a non-blocking connect under way
    bool NonBlocking = false;
    HWND Window = nullptr;
    UINT Message = 0;
    long Events = 0;
    bool ReadArmed = true;     // FD_READ (and the close check) may be posted
    bool AcceptArmed = true;   // FD_ACCEPT may be posted
    bool WriteWanted = false;  // a send found the socket full: FD_WRITE when room comes back
    bool CloseReported = false;
    bool ResetSeen = false; // a call or the readiness check took the reset error from the socket
    bool Closed = false;
    bool Watched = false; // watchers were asked for on the GUI thread
    bool RefreshQueued = false;
    std::unique_ptr<SocketNotices::TWatch> Watch; // GUI thread only
};

using TEntryPtr = std::shared_ptr<TSocketEntry>;

struct TNotice {
    HWND Window;
    UINT Message;
    Winsock::SOCKET Socket;
    long Event;
    int Error;
};

std::atomic<int> startupCount{0};

// Kept for the life of the process: the watchers' queued calls may run during its shutdown.
std::mutex& TableLock()
{
    static auto* lock = new std::mutex;
    return *lock;
}

std::map<int, TEntryPtr>& Table()
{
    static auto* table = new std::map<int, TEntryPtr>;
    return *table;
}

TEntryPtr FindEntry(Winsock::SOCKET s)
{
    if (s > static_cast<Winsock::SOCKET>(INT_MAX))
        return nullptr;
    std::lock_guard<std::mutex> lock(TableLock());
    const auto found = Table().find(static_cast<int>(s));
    return found == Table().end() ? nullptr : found->second;
}

// The entry of a socket the caller may use, or nullptr with the error set.
TEntryPtr UsableEntry(Winsock::SOCKET s)
{
    if (!WinsockState::RequireStarted())
        return nullptr;
    TEntryPtr entry = FindEntry(s);
    if (!entry)
        WinsockState::Failed(Winsock::WSAENOTSOCK);
    return entry;
}

int FailWithPosixError() { return WinsockState::Failed(PosixSockets::LastError()); }

void Post(const std::vector<TNotice>& notices)
{
    for (const TNotice& notice : notices)
        PostMessageA(notice.Window, notice.Message, static_cast<WPARAM>(notice.Socket),
                     Winsock::WSAMAKESELECTREPLY(static_cast<WORD>(notice.Event), static_cast<WORD>(notice.Error)));
}

void AddNotice(const TSocketEntry& entry, long event, int error, std::vector<TNotice>& notices)
{
    if (entry.Events & event)
        notices.push_back({entry.Window, entry.Message, static_cast<Winsock::SOCKET>(entry.Fd), event, error});
}

bool WantsRead(const TSocketEntry& entry)
{
    if (entry.Listening)
        return entry.AcceptArmed;
    if (entry.Kind != TSocketKind::Stream)
        return entry.ReadArmed;
    return entry.Connected && entry.ReadArmed && !entry.CloseReported;
}

bool WantsWrite(const TSocketEntry& entry) { return entry.Connecting || entry.WriteWanted; }

void OnReadable(const std::weak_ptr<TSocketEntry>& weak);
void OnWritable(const std::weak_ptr<TSocketEntry>& weak);

// GUI thread, lock held: the watchers follow the entry's state.
void ApplyWatch(const TEntryPtr& entry)
{
    const bool active = entry->Events != 0 && !entry->Closed;
    if (!active) {
        if (entry->Watch)
            entry->Watch->Enable(false, false);
        return;
    }
    if (!entry->Watch) {
        std::weak_ptr<TSocketEntry> weak = entry;
        entry->Watch = std::make_unique<SocketNotices::TWatch>(
            entry->Fd, [weak] { OnReadable(weak); }, [weak] { OnWritable(weak); });
    }
    entry->Watch->Enable(WantsRead(*entry), WantsWrite(*entry));
}

// Any thread, lock held.
void Refresh(const TEntryPtr& entry)
{
    if (entry->Events == 0 && !entry->Watched)
        return;
    entry->Watched = true;
    if (SocketNotices::OnWatcherThread()) {
        ApplyWatch(entry);
        return;
    }
    if (entry->RefreshQueued)
        return;
    entry->RefreshQueued = true;
    std::weak_ptr<TSocketEntry> weak = entry;
    SocketNotices::RunOnWatcherThread([weak] {
        std::lock_guard<std::mutex> lock(TableLock());
        if (TEntryPtr alive = weak.lock()) {
            alive->RefreshQueued = false;
            ApplyWatch(alive);
        }
    });
}

// The peer closed or reset the connection (lock held).
void ReportClose(TSocketEntry& entry, int error, std::vector<TNotice>& notices)
{
    if (entry.Events & Winsock::FD_CLOSE) {
        AddNotice(entry, Winsock::FD_CLOSE, error, notices);
        entry.CloseReported = true;
    } else {
        entry.ReadArmed = false;
    }
}

void CheckStreamInput(TSocketEntry& entry, std::vector<TNotice>& notices)
{
    char probe = 0;
    const int peeked = PosixSockets::Receive(entry.Fd, &probe, 1, true, false);
    if (peeked > 0) {
        AddNotice(entry, Winsock::FD_READ, 0, notices);
        entry.ReadArmed = false;
        return;
    }
    if (peeked == 0) {
        ReportClose(entry, entry.ResetSeen ? Winsock::WSAECONNRESET : 0, notices);
        return;
    }
    const int error = PosixSockets::LastError();
    if (error == Winsock::WSAEWOULDBLOCK)
        return;
    if (error == Winsock::WSAECONNRESET)
        entry.ResetSeen = true;
    ReportClose(entry, error, notices);
}

void OnReadable(const std::weak_ptr<TSocketEntry>& weak)
{
    std::vector<TNotice> notices;
    {
        std::lock_guard<std::mutex> lock(TableLock());
        TEntryPtr entry = weak.lock();
        if (!entry)
            return;
        if (!entry->Closed && entry->Events != 0) {
            if (entry->Listening) {
                AddNotice(*entry, Winsock::FD_ACCEPT, 0, notices);
                entry->AcceptArmed = false;
            } else if (entry->Kind != TSocketKind::Stream) {
                AddNotice(*entry, Winsock::FD_READ, 0, notices);
                entry->ReadArmed = false;
            } else {
                CheckStreamInput(*entry, notices);
            }
        }
        ApplyWatch(entry);
    }
    Post(notices);
}

void OnWritable(const std::weak_ptr<TSocketEntry>& weak)
{
    std::vector<TNotice> notices;
    {
        std::lock_guard<std::mutex> lock(TableLock());
        TEntryPtr entry = weak.lock();
        if (!entry)
            return;
        if (!entry->Closed && entry->Connecting) {
            int error = 0;
            if (PosixSockets::TakePendingError(entry->Fd, error) < 0)
                error = PosixSockets::LastError();
            // A peer that accepted and reset at once: the connect itself succeeded, and the
            // reset is told by FD_CLOSE.
            if (error == Winsock::WSAECONNRESET) {
                entry->ResetSeen = true;
                error = 0;
            }
            entry->Connecting = false;
            entry->Connected = error == 0;
            AddNotice(*entry, Winsock::FD_CONNECT, error, notices);
            if (error == 0)
                AddNotice(*entry, Winsock::FD_WRITE, 0, notices);
        } else if (!entry->Closed && entry->WriteWanted) {
            entry->WriteWanted = false;
            AddNotice(*entry, Winsock::FD_WRITE, 0, notices);
        }
        ApplyWatch(entry);
    }
    Post(notices);
}

TEntryPtr Register(int fd, TSocketKind kind)
{
    auto entry = std::make_shared<TSocketEntry>();
    entry->Fd = fd;
    entry->Kind = kind;
    std::lock_guard<std::mutex> lock(TableLock());
    Table()[fd] = entry;
    return entry;
}

// The endpoint of a caller's address, or false with the error set.
bool EndpointOf(const Winsock::sockaddr* name, int nameLength, TEndpoint& endpoint)
{
    if (!name || nameLength < static_cast<int>(sizeof(Winsock::sockaddr_in))) {
        WinsockState::Failed(Winsock::WSAEFAULT);
        return false;
    }
    Winsock::sockaddr_in address;
    std::memcpy(&address, name, sizeof address);
    if (address.sin_family != Winsock::AF_INET) {
        WinsockState::Failed(Winsock::WSAEAFNOSUPPORT);
        return false;
    }
    endpoint.Address = address.sin_addr.S_addr;
    endpoint.Port = address.sin_port;
    return true;
}

// Writes an endpoint into a caller's address; false with the error set when it has no room.
bool StoreEndpoint(const TEndpoint& endpoint, Winsock::sockaddr* name, int* nameLength)
{
    if (!name)
        return true;
    if (!nameLength || *nameLength < static_cast<int>(sizeof(Winsock::sockaddr_in))) {
        WinsockState::Failed(Winsock::WSAEFAULT);
        return false;
    }
    Winsock::sockaddr_in address{};
    address.sin_family = static_cast<short>(Winsock::AF_INET);
    address.sin_port = endpoint.Port;
    address.sin_addr.S_addr = endpoint.Address;
    std::memcpy(name, &address, sizeof address);
    *nameLength = sizeof address;
    return true;
}

bool ValidBuffer(const char* buffer, int length)
{
    if (length < 0 || (length > 0 && !buffer)) {
        WinsockState::Failed(Winsock::WSAEFAULT);
        return false;
    }
    return true;
}

// After a receive call: FD_READ may be posted again.
void RearmRead(const TEntryPtr& entry)
{
    std::lock_guard<std::mutex> lock(TableLock());
    if (entry->Events == 0 || entry->ReadArmed)
        return;
    entry->ReadArmed = true;
    Refresh(entry);
}

// After a send call that did not take everything: FD_WRITE when room comes back.
void ArmWrite(const TEntryPtr& entry)
{
    std::lock_guard<std::mutex> lock(TableLock());
    if (entry->Events == 0 || entry->WriteWanted)
        return;
    entry->WriteWanted = true;
    Refresh(entry);
}

// A reset taken from the socket by a call is remembered: FD_CLOSE still tells it.
void NoteReset(const TEntryPtr& entry, int error)
{
    if (error != Winsock::WSAECONNRESET)
        return;
    std::lock_guard<std::mutex> lock(TableLock());
    entry->ResetSeen = true;
}

int ReceiveResult(const TEntryPtr& entry, int received, int length)
{
    RearmRead(entry);
    if (received < 0) {
        NoteReset(entry, PosixSockets::LastError());
        return FailWithPosixError();
    }
    // The readiness check already took the reset from the socket; the reader still learns of it.
    if (received == 0 && length > 0) {
        std::lock_guard<std::mutex> lock(TableLock());
        if (entry->ResetSeen)
            return WinsockState::Failed(Winsock::WSAECONNRESET);
    }
    return received;
}

int SendResult(const TEntryPtr& entry, int sent, int length)
{
    if (sent < 0) {
        const int error = PosixSockets::LastError();
        if (error == Winsock::WSAEWOULDBLOCK)
            ArmWrite(entry);
        NoteReset(entry, error);
        return WinsockState::Failed(error);
    }
    // A partial send means the socket is full as well: the rest waits for FD_WRITE.
    if (sent < length)
        ArmWrite(entry);
    return sent;
}

int BoolFrom(const char* value)
{
    int number = 0;
    std::memcpy(&number, value, sizeof number);
    return number != 0 ? 1 : 0;
}

} // namespace SocketTable

namespace WinsockState {

bool RequireStarted()
{
    if (SocketTable::startupCount.load() > 0)
        return true;
    Failed(Winsock::WSANOTINITIALISED);
    return false;
}

int Failed(int error)
{
    Winsock::WSASetLastError(error);
    return Winsock::SOCKET_ERROR;
}

} // namespace WinsockState

namespace Winsock {

int WSAStartup(WORD versionRequested, WSADATA* data)
{
    if (!data)
        return WSAEFAULT;
    const int major = versionRequested & 0xFF;
    const int minor = versionRequested >> 8;
    if (major < 1)
        return WSAVERNOTSUPPORTED;
    std::memset(data, 0, sizeof *data);
    data->wVersion = (major > 2 || (major == 2 && minor > 2)) ? 0x0202 : versionRequested;
    data->wHighVersion = 0x0202;
    std::strcpy(data->szDescription, "WinSock 2.0");
    std::strcpy(data->szSystemStatus, "Running");
    data->iMaxSockets = 0x7FFF;
    data->iMaxUdpDg = 65467;
    ++SocketTable::startupCount;
    return 0;
}

int WSACleanup()
{
    int count = SocketTable::startupCount.load();
    while (count > 0 && !SocketTable::startupCount.compare_exchange_weak(count, count - 1)) {
    }
    if (count <= 0)
        return WinsockState::Failed(WSANOTINITIALISED);
    return 0;
}

int WSAGetLastError() { return static_cast<int>(GetLastError()); }

void WSASetLastError(int error) { SetLastError(static_cast<std::uint32_t>(error)); }

int WSAAsyncSelect(SOCKET s, HWND window, u_int message, long events)
{
    SocketTable::TEntryPtr entry = SocketTable::UsableEntry(s);
    if (!entry)
        return SOCKET_ERROR;
    if (events != 0 && !window)
        return WinsockState::Failed(WSAEINVAL);
    if (events != 0 && !SocketNotices::Available())
        return WinsockState::Failed(WSASYSNOTREADY);
    if (PosixSockets::SetNonBlocking(entry->Fd, true) < 0)
        return SocketTable::FailWithPosixError();
    std::vector<SocketTable::TNotice> notices;
    {
        std::lock_guard<std::mutex> lock(SocketTable::TableLock());
        entry->NonBlocking = true;
        entry->Window = window;
        entry->Message = message;
        entry->Events = events;
        entry->ReadArmed = true;
        entry->AcceptArmed = true;
        entry->WriteWanted = false;
        entry->CloseReported = false;
        if (entry->Kind == PosixSockets::TSocketKind::Stream && !entry->Listening && !entry->Connecting && !entry->Connected) {
            PosixSockets::TEndpoint peer;
            entry->Connected = PosixSockets::PeerName(entry->Fd, peer) == 0;
        }
        const bool canSend = entry->Kind != PosixSockets::TSocketKind::Stream || entry->Connected;
        if (canSend && !entry->Listening)
            SocketTable::AddNotice(*entry, FD_WRITE, 0, notices);
        SocketTable::Refresh(entry);
    }
    SocketTable::Post(notices);
    return 0;
}

SOCKET socket(int af, int type, int protocol)
{
    if (!WinsockState::RequireStarted())
        return INVALID_SOCKET;
    if (af != AF_INET) {
        WinsockState::Failed(WSAEAFNOSUPPORT);
        return INVALID_SOCKET;
    }
    PosixSockets::TSocketKind kind;
    switch (type) {
    case SOCK_STREAM:
        kind = PosixSockets::TSocketKind::Stream;
        break;
    case SOCK_DGRAM:
        kind = PosixSockets::TSocketKind::Datagram;
        break;
    case SOCK_RAW:
        kind = PosixSockets::TSocketKind::Raw;
        break;
    default:
        WinsockState::Failed(WSAESOCKTNOSUPPORT);
        return INVALID_SOCKET;
    }
    const int fd = PosixSockets::Open(kind, protocol);
    if (fd < 0) {
        SocketTable::FailWithPosixError();
        return INVALID_SOCKET;
    }
    SocketTable::Register(fd, kind);
    return static_cast<SOCKET>(fd);
}

int bind(SOCKET s, const sockaddr* name, int nameLength)
{
    SocketTable::TEntryPtr entry = SocketTable::UsableEntry(s);
    PosixSockets::TEndpoint endpoint;
    if (!entry || !SocketTable::EndpointOf(name, nameLength, endpoint))
        return SOCKET_ERROR;
    return PosixSockets::Bind(entry->Fd, endpoint) < 0 ? SocketTable::FailWithPosixError() : 0;
}

int connect(SOCKET s, const sockaddr* name, int nameLength)
{
    SocketTable::TEntryPtr entry = SocketTable::UsableEntry(s);
    PosixSockets::TEndpoint endpoint;
    if (!entry || !SocketTable::EndpointOf(name, nameLength, endpoint))
        return SOCKET_ERROR;
    const int result = PosixSockets::Connect(entry->Fd, endpoint);
    const int error = result < 0 ? PosixSockets::LastError() : 0;
    if (entry->Kind != PosixSockets::TSocketKind::Stream)
        return result < 0 ? WinsockState::Failed(error) : 0;

    std::vector<SocketTable::TNotice> notices;
    int outcome = 0;
    {
        std::lock_guard<std::mutex> lock(SocketTable::TableLock());
        if (result == 0) {
            entry->Connected = true;
            SocketTable::AddNotice(*entry, FD_CONNECT, 0, notices);
            SocketTable::AddNotice(*entry, FD_WRITE, 0, notices);
        } else if (error == WSAEWOULDBLOCK && entry->NonBlocking) {
            entry->Connecting = true;
            outcome = WSAEWOULDBLOCK;
        } else if (entry->NonBlocking && entry->Events != 0 && (error == WSAECONNREFUSED || error == WSAETIMEDOUT ||
                                                                 error == WSAENETUNREACH || error == WSAEHOSTUNREACH)) {
            // Windows tells the outcome of a non-blocking connect only through its notice.
            SocketTable::AddNotice(*entry, FD_CONNECT, error, notices);
            outcome = WSAEWOULDBLOCK;
        } else {
            outcome = error;
        }
        SocketTable::Refresh(entry);
    }
    SocketTable::Post(notices);
    return outcome == 0 ? 0 : WinsockState::Failed(outcome);
}

int listen(SOCKET s, int backlog)
{
    SocketTable::TEntryPtr entry = SocketTable::UsableEntry(s);
    if (!entry)
        return SOCKET_ERROR;
    if (entry->Kind != PosixSockets::TSocketKind::Stream)
        return WinsockState::Failed(WSAEOPNOTSUPP);
    if (PosixSockets::Listen(entry->Fd, backlog) < 0)
        return SocketTable::FailWithPosixError();
    std::lock_guard<std::mutex> lock(SocketTable::TableLock());
    entry->Listening = true;
    SocketTable::Refresh(entry);
    return 0;
}

SOCKET accept(SOCKET s, sockaddr* address, int* addressLength)
{
    SocketTable::TEntryPtr listener = SocketTable::UsableEntry(s);
    if (!listener)
        return INVALID_SOCKET;
    if (address && (!addressLength || *addressLength < static_cast<int>(sizeof(sockaddr_in)))) {
        WinsockState::Failed(WSAEFAULT);
        return INVALID_SOCKET;
    }
    PosixSockets::TEndpoint peer;
    const int fd = PosixSockets::Accept(listener->Fd, peer);
    const int error = fd < 0 ? PosixSockets::LastError() : 0;
    std::vector<SocketTable::TNotice> notices;
    SocketTable::TEntryPtr accepted = fd >= 0 ? SocketTable::Register(fd, PosixSockets::TSocketKind::Stream) : nullptr;
    {
        std::lock_guard<std::mutex> lock(SocketTable::TableLock());
        listener->AcceptArmed = true;
        SocketTable::Refresh(listener);
        if (accepted) {
            // The new socket takes the listening socket's mode and notices, as on Windows.
            accepted->Connected = true;
            accepted->NonBlocking = listener->NonBlocking;
            accepted->Window = listener->Window;
            accepted->Message = listener->Message;
            accepted->Events = listener->Events;
            if (accepted->NonBlocking)
                PosixSockets::SetNonBlocking(fd, true);
            SocketTable::AddNotice(*accepted, FD_WRITE, 0, notices);
            SocketTable::Refresh(accepted);
        }
    }
    SocketTable::Post(notices);
    if (!accepted) {
        WinsockState::Failed(error);
        return INVALID_SOCKET;
    }
    SocketTable::StoreEndpoint(peer, address, addressLength);
    return static_cast<SOCKET>(fd);
}

int send(SOCKET s, const char* buffer, int length, int flags)
{
    SocketTable::TEntryPtr entry = SocketTable::UsableEntry(s);
    if (!entry || !SocketTable::ValidBuffer(buffer, length))
        return SOCKET_ERROR;
    const int sent = PosixSockets::Send(entry->Fd, buffer, length, (flags & MSG_OOB) != 0);
    return SocketTable::SendResult(entry, sent, length);
}

int sendto(SOCKET s, const char* buffer, int length, int flags, const sockaddr* to, int toLength)
{
    SocketTable::TEntryPtr entry = SocketTable::UsableEntry(s);
    if (!entry || !SocketTable::ValidBuffer(buffer, length))
        return SOCKET_ERROR;
    if (!to)
        return send(s, buffer, length, flags);
    PosixSockets::TEndpoint endpoint;
    if (!SocketTable::EndpointOf(to, toLength, endpoint))
        return SOCKET_ERROR;
    const int sent = PosixSockets::SendTo(entry->Fd, buffer, length, (flags & MSG_OOB) != 0, endpoint);
    return SocketTable::SendResult(entry, sent, length);
}

int recv(SOCKET s, char* buffer, int length, int flags)
{
    SocketTable::TEntryPtr entry = SocketTable::UsableEntry(s);
    if (!entry || !SocketTable::ValidBuffer(buffer, length))
        return SOCKET_ERROR;
    const int received =
        PosixSockets::Receive(entry->Fd, buffer, length, (flags & MSG_PEEK) != 0, (flags & MSG_OOB) != 0);
    return SocketTable::ReceiveResult(entry, received, length);
}

int recvfrom(SOCKET s, char* buffer, int length, int flags, sockaddr* from, int* fromLength)
{
    SocketTable::TEntryPtr entry = SocketTable::UsableEntry(s);
    if (!entry || !SocketTable::ValidBuffer(buffer, length))
        return SOCKET_ERROR;
    if (from && (!fromLength || *fromLength < static_cast<int>(sizeof(sockaddr_in))))
        return WinsockState::Failed(WSAEFAULT);
    PosixSockets::TEndpoint sender;
    const int received = PosixSockets::ReceiveFrom(entry->Fd, buffer, length, (flags & MSG_PEEK) != 0,
                                                   (flags & MSG_OOB) != 0, sender);
    const int result = SocketTable::ReceiveResult(entry, received, length);
    if (result >= 0)
        SocketTable::StoreEndpoint(sender, from, fromLength);
    return result;
}

int closesocket(SOCKET s)
{
    SocketTable::TEntryPtr entry = SocketTable::UsableEntry(s);
    if (!entry)
        return SOCKET_ERROR;
    std::unique_ptr<SocketNotices::TWatch> watch;
    bool watched = false;
    {
        std::lock_guard<std::mutex> lock(SocketTable::TableLock());
        SocketTable::Table().erase(entry->Fd);
        entry->Closed = true;
        watched = entry->Watched;
        if (SocketNotices::OnWatcherThread())
            watch = std::move(entry->Watch);
    }
    // The watchers must let go of the descriptor before its number can be given out again.
    if (!watched || SocketNotices::OnWatcherThread()) {
        watch.reset();
        return PosixSockets::Close(entry->Fd) < 0 ? SocketTable::FailWithPosixError() : 0;
    }
    if (PosixSockets::CloseKeepingNumber(entry->Fd) < 0)
        return SocketTable::FailWithPosixError();
    SocketNotices::RunOnWatcherThread([entry] {
        {
            std::lock_guard<std::mutex> lock(SocketTable::TableLock());
            entry->Watch.reset();
        }
        PosixSockets::Close(entry->Fd);
    });
    return 0;
}

int shutdown(SOCKET s, int how)
{
    SocketTable::TEntryPtr entry = SocketTable::UsableEntry(s);
    if (!entry)
        return SOCKET_ERROR;
    if (how < SD_RECEIVE || how > SD_BOTH)
        return WinsockState::Failed(WSAEINVAL);
    return PosixSockets::Shutdown(entry->Fd, how) < 0 ? SocketTable::FailWithPosixError() : 0;
}

int setsockopt(SOCKET s, int level, int option, const char* value, int valueLength)
{
    SocketTable::TEntryPtr entry = SocketTable::UsableEntry(s);
    if (!entry)
        return SOCKET_ERROR;
    if (!value || valueLength < 4)
        return WinsockState::Failed(WSAEFAULT);
    using PosixSockets::TOption;
    PosixSockets::TOptionValue setting;
    TOption posixOption;
    if (level == SOL_SOCKET && option == SO_LINGER) {
        linger windowsLinger;
        std::memcpy(&windowsLinger, value, sizeof windowsLinger);
        posixOption = TOption::Linger;
        setting.Number = windowsLinger.l_onoff != 0;
        setting.Seconds = windowsLinger.l_linger;
    } else if (level == SOL_SOCKET && (option == SO_REUSEADDR || option == SO_KEEPALIVE || option == SO_BROADCAST)) {
        posixOption = option == SO_REUSEADDR ? TOption::ReuseAddress
                      : option == SO_KEEPALIVE ? TOption::KeepAlive
                                               : TOption::Broadcast;
        setting.Number = SocketTable::BoolFrom(value);
    } else if (level == IPPROTO_TCP && option == TCP_NODELAY) {
        posixOption = TOption::NoDelay;
        setting.Number = SocketTable::BoolFrom(value);
    } else if (level == SOL_SOCKET && (option == SO_SNDBUF || option == SO_RCVBUF)) {
        posixOption = option == SO_SNDBUF ? TOption::SendBuffer : TOption::ReceiveBuffer;
        std::memcpy(&setting.Number, value, sizeof setting.Number);
    } else if (level == IPPROTO_IP && option == IP_MULTICAST_TTL) {
        posixOption = TOption::MulticastTtl;
        std::memcpy(&setting.Number, value, sizeof setting.Number);
    } else if (level == IPPROTO_IP && option == IP_MULTICAST_IF) {
        posixOption = TOption::MulticastInterface;
        std::memcpy(&setting.Address, value, sizeof setting.Address);
    } else if (level == IPPROTO_IP && option == IP_ADD_MEMBERSHIP) {
        if (valueLength < static_cast<int>(sizeof(ip_mreq)))
            return WinsockState::Failed(WSAEFAULT);
        ip_mreq request;
        std::memcpy(&request, value, sizeof request);
        posixOption = TOption::AddMembership;
        setting.Address = request.imr_multiaddr.S_addr;
        setting.Interface = request.imr_interface.S_addr;
    } else {
        return WinsockState::Failed(WSAENOPROTOOPT);
    }
    return PosixSockets::SetOption(entry->Fd, posixOption, setting) < 0 ? SocketTable::FailWithPosixError() : 0;
}

int getsockopt(SOCKET s, int level, int option, char* value, int* valueLength)
{
    SocketTable::TEntryPtr entry = SocketTable::UsableEntry(s);
    if (!entry)
        return SOCKET_ERROR;
    if (!value || !valueLength || *valueLength < 4)
        return WinsockState::Failed(WSAEFAULT);
    using PosixSockets::TOption;
    TOption posixOption;
    if (level == SOL_SOCKET && option == SO_LINGER)
        posixOption = TOption::Linger;
    else if (level == SOL_SOCKET && option == SO_REUSEADDR)
        posixOption = TOption::ReuseAddress;
    else if (level == SOL_SOCKET && option == SO_KEEPALIVE)
        posixOption = TOption::KeepAlive;
    else if (level == SOL_SOCKET && option == SO_BROADCAST)
        posixOption = TOption::Broadcast;
    else if (level == IPPROTO_TCP && option == TCP_NODELAY)
        posixOption = TOption::NoDelay;
    else if (level == IPPROTO_IP && option == IP_MULTICAST_TTL)
        posixOption = TOption::MulticastTtl;
    else if (level == IPPROTO_IP && option == IP_MULTICAST_IF)
        posixOption = TOption::MulticastInterface;
    else
        return WinsockState::Failed(WSAENOPROTOOPT);
    PosixSockets::TOptionValue setting;
    if (PosixSockets::GetOption(entry->Fd, posixOption, setting) < 0)
        return SocketTable::FailWithPosixError();
    if (posixOption == TOption::Linger) {
        const linger windowsLinger{static_cast<u_short>(setting.Number != 0),
                                   static_cast<u_short>(std::min(setting.Seconds, 0xFFFF))};
        std::memcpy(value, &windowsLinger, sizeof windowsLinger);
    } else if (posixOption == TOption::MulticastInterface) {
        std::memcpy(value, &setting.Address, sizeof setting.Address);
    } else {
        std::memcpy(value, &setting.Number, sizeof setting.Number);
    }
    *valueLength = 4;
    return 0;
}

int ioctlsocket(SOCKET s, long command, u_long* argument)
{
    SocketTable::TEntryPtr entry = SocketTable::UsableEntry(s);
    if (!entry)
        return SOCKET_ERROR;
    if (!argument)
        return WinsockState::Failed(WSAEFAULT);
    if (command == FIONREAD) {
        std::uint32_t waiting = 0;
        if (PosixSockets::BytesWaiting(entry->Fd, waiting) < 0)
            return SocketTable::FailWithPosixError();
        *argument = waiting;
        return 0;
    }
    if (command != FIONBIO)
        return WinsockState::Failed(WSAEINVAL);
    std::lock_guard<std::mutex> lock(SocketTable::TableLock());
    // A socket with notices stays non-blocking, as on Windows.
    if (*argument == 0 && entry->Events != 0)
        return WinsockState::Failed(WSAEINVAL);
    if (PosixSockets::SetNonBlocking(entry->Fd, *argument != 0) < 0)
        return SocketTable::FailWithPosixError();
    entry->NonBlocking = *argument != 0;
    return 0;
}

int getsockname(SOCKET s, sockaddr* name, int* nameLength)
{
    SocketTable::TEntryPtr entry = SocketTable::UsableEntry(s);
    if (!entry)
        return SOCKET_ERROR;
    if (!name)
        return WinsockState::Failed(WSAEFAULT);
    PosixSockets::TEndpoint endpoint;
    if (PosixSockets::LocalName(entry->Fd, endpoint) < 0)
        return SocketTable::FailWithPosixError();
    return SocketTable::StoreEndpoint(endpoint, name, nameLength) ? 0 : SOCKET_ERROR;
}

int getpeername(SOCKET s, sockaddr* name, int* nameLength)
{
    SocketTable::TEntryPtr entry = SocketTable::UsableEntry(s);
    if (!entry)
        return SOCKET_ERROR;
    if (!name)
        return WinsockState::Failed(WSAEFAULT);
    PosixSockets::TEndpoint endpoint;
    if (PosixSockets::PeerName(entry->Fd, endpoint) < 0)
        return SocketTable::FailWithPosixError();
    return SocketTable::StoreEndpoint(endpoint, name, nameLength) ? 0 : SOCKET_ERROR;
}

int WSAIoctl(SOCKET s, DWORD code, void*, DWORD, void*, DWORD, DWORD* bytesReturned, void*, void*)
{
    SocketTable::TEntryPtr entry = SocketTable::UsableEntry(s);
    if (!entry)
        return SOCKET_ERROR;
    if (bytesReturned)
        *bytesReturned = 0;
    return WinsockState::Failed(code == SIO_RCVALL ? WSAEOPNOTSUPP : WSAEINVAL);
}

} // namespace Winsock
