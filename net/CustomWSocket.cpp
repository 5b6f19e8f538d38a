#include "net/WSocket.h"

#include "platform/gui/Application.h"
#include "platform/gui/MessageQueue.h"
#include "platform/gui/WindowHandles.h"
#include "platform/rtl/TextUtils.h"
#include "platform/rtl/Threads.h"

#include <algorithm>
#include <cstring>

namespace CustomWSocketUnit {

// The events a component asks for: as a client, as a listener, and on a socket it took over.
constexpr long ClientEvents = Winsock::FD_READ | Winsock::FD_WRITE | Winsock::FD_ACCEPT | Winsock::FD_CONNECT |
                              Winsock::FD_CLOSE;
constexpr long ServerEvents = Winsock::FD_READ | Winsock::FD_WRITE | Winsock::FD_ACCEPT | Winsock::FD_CLOSE;
constexpr long DupEvents = Winsock::FD_READ | Winsock::FD_WRITE | Winsock::FD_CONNECT | Winsock::FD_CLOSE;

// The order in which the events of one notice are handled.
constexpr WORD EventOrder[] = {Winsock::FD_CONNECT, Winsock::FD_READ, Winsock::FD_WRITE, Winsock::FD_ACCEPT,
                               Winsock::FD_CLOSE};

bool OnGuiThread() { return GetCurrentThreadId() == MainThreadID(); }

std::string DottedAddress(Winsock::u_long address)
{
    Winsock::in_addr value;
    value.S_addr = address;
    return WSocket_inet_ntoa(value);
}

// The errors of a send that mean the connection is gone.
bool ConnectionLost(int error)
{
    return error == Winsock::WSAECONNRESET || error == Winsock::WSAENOTSOCK || error == Winsock::WSAENOTCONN ||
           error == Winsock::WSAEINVAL || error == Winsock::WSAECONNABORTED;
}

int SetIntOption(Winsock::SOCKET s, int level, int option, int value)
{
    return WSocket_setsockopt(s, level, option, reinterpret_cast<const char*>(&value), sizeof value);
}

} // namespace CustomWSocketUnit

// --- Life -------------------------------------------------------------------------------------

TCustomWSocket::TCustomWSocket(TComponent* AOwner)
    : TComponent(AOwner), FDnsResultList(std::make_unique<TStringList>())
{
    AllocateSocketHWnd();
    WSocketIncrementUseCount();
    AssignDefaultValue();
}

TCustomWSocket::~TCustomWSocket()
{
    Destroying();
    try {
        CancelDnsLookup();
    } catch (...) {
    }
    try {
        if (FState != wsClosed || FHSocket != Winsock::INVALID_SOCKET)
            InternalClose(true, 0);
    } catch (...) {
    }
    if (FHSocket != Winsock::INVALID_SOCKET)
        ForgetSocket();
    WSocketDecrementUseCount();
    DeleteBufferedData();
    DeallocateSocketHWnd();
    if (WSocketUseCount() < 1)
        WSocketUnregisterClass();
}

void TCustomWSocket::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
}

// --- The hidden window ------------------------------------------------------------------------

void TCustomWSocket::WndProc(TMessage& MsgRec)
{
    try {
        switch (MsgRec.Msg) {
        case WM_ASYNCSELECT:
            WMASyncSelect(MsgRec);
            break;
        case WM_ASYNCGETHOSTBYNAME:
            WMAsyncGetHostByName(MsgRec);
            break;
        case WM_ASYNCGETHOSTBYADDR:
            WMAsyncGetHostByAddr(MsgRec);
            break;
        case WM_CLOSE_DELAYED:
            Close();
            break;
        case WM_WSOCKET_RELEASE:
            // Nothing of the component may be touched after this.
            TComponent::Free(this);
            return;
        case WM_TRIGGER_EXCEPTION:
            RAISE(ESocketException("Test exception in WSocket"));
        default:
            MsgRec.Result = DefWindowProcA(FWindowHandle, MsgRec.Msg, MsgRec.WParam, MsgRec.LParam);
            break;
        }
    } catch (Exception& E) {
        HandleBackGroundException(E);
    }
}

void TCustomWSocket::AllocateSocketHWnd()
{
    FThreadId = GetCurrentThreadId();
    FWindowHandle = XSocketAllocateHWnd(this);
    if (!FWindowHandle)
        RaiseException("Cannot create a hidden window for TWSocket");
}

void TCustomWSocket::DeallocateSocketHWnd()
{
    if (!FWindowHandle)
        return;
    SetWindowLongPtr(FWindowHandle, 0, 0);
    if (XSocketDeallocateHWnd(FWindowHandle))
        FWindowHandle = nullptr;
}

void TCustomWSocket::WMASyncSelect(TMessage& msg)
{
    if (msg.WParam != FHSocket || FPaused)
        return;
    const WORD events = Winsock::WSAGETSELECTEVENT(msg.LParam);
    for (const WORD event : CustomWSocketUnit::EventOrder) {
        if (!(events & event))
            continue;
        // A handler of an earlier event may have closed the socket this notice is about.
        if (msg.WParam != FHSocket)
            break;
        FSelectMessage = event;
        switch (event) {
        case Winsock::FD_CONNECT:
            Do_FD_CONNECT(msg);
            break;
        case Winsock::FD_READ:
            Do_FD_READ(msg);
            break;
        case Winsock::FD_WRITE:
            Do_FD_WRITE(msg);
            break;
        case Winsock::FD_ACCEPT:
            Do_FD_ACCEPT(msg);
            break;
        default:
            Do_FD_CLOSE(msg);
            break;
        }
    }
    FSelectMessage = 0;
}

void TCustomWSocket::Do_FD_CONNECT(TMessage& msg)
{
    if (FState == wsConnected)
        return;
    const WORD error = Winsock::WSAGETSELECTERROR(msg.LParam);
    ChangeState(wsConnected);
    TriggerSessionConnectedSpecial(error);
    if (error != 0 && FState != wsClosed)
        Close();
}

void TCustomWSocket::Do_FD_READ(TMessage& msg)
{
    const WORD error = Winsock::WSAGETSELECTERROR(msg.LParam);
    if (FState != wsConnected) {
        ChangeState(wsConnected);
        TriggerSessionConnectedSpecial(error);
    }
    ASyncReceive(error, FComponentOptions);
}

void TCustomWSocket::Do_FD_WRITE(TMessage& msg)
{
    TryToSend();
    if (FAllSent)
        TriggerDataSent(Winsock::WSAGETSELECTERROR(msg.LParam));
}

void TCustomWSocket::Do_FD_ACCEPT(TMessage& msg) { TriggerSessionAvailable(Winsock::WSAGETSELECTERROR(msg.LParam)); }

void TCustomWSocket::Do_FD_CLOSE(TMessage& msg)
{
    if (FState == wsConnecting)
        return;
    const WORD error = Winsock::WSAGETSELECTERROR(msg.LParam);
    // Everything still waiting is delivered before the close is told.
    ASyncReceive(error, FComponentOptions - TWSocketOptions{wsoNoReceiveLoop});
    // A handler that closed (and told the close) or reconnected has finished this connection.
    if (msg.WParam != FHSocket)
        return;
    if (!FCloseInvoked) {
        FCloseInvoked = true;
        TriggerSessionClosed(error);
        // The handler may have connected again: that connection is not this one.
        if (msg.WParam != FHSocket)
            return;
    }
    if (FState != wsClosed)
        Close();
}

void TCustomWSocket::ASyncReceive(WORD Error, TWSocketOptions MySocketOptions)
{
    try {
        for (;;) {
            FLastError = 0;
            if (!TriggerDataAvailable(Error)) {
                // Nobody reads: the data is dropped, so that the socket does not stay readable.
                char trashCan[1024];
                if (Receive(trashCan, sizeof trashCan) < 0 && FLastError == Winsock::WSAEWOULDBLOCK) {
                    FLastError = 0;
                    break;
                }
            }
            if (MySocketOptions.Contains(wsoNoReceiveLoop))
                break;
            if (FLastError != 0) {
                if (FLastError == -1)
                    FLastError = 0;
                break;
            }
            Winsock::u_long waiting = 0;
            if (WSocket_ioctlsocket(FHSocket, Winsock::FIONREAD, &waiting) == Winsock::SOCKET_ERROR) {
                FLastError = WSocket_WSAGetLastError();
                break;
            }
            if (waiting == 0)
                break;
        }
    } catch (...) {
        // An exception of the data handler ends this round; the connection stays up.
    }
}

// --- Failures ---------------------------------------------------------------------------------

void TCustomWSocket::RaiseException(const std::string& Msg)
{
    if (OnError)
        TriggerError();
    else
        RAISE(ESocketException(Msg));
}

void TCustomWSocket::RaiseExceptionFmt(const std::string& Fmt, std::initializer_list<TVarRec> Args)
{
    if (OnError)
        TriggerError();
    else
        RAISE(ESocketException(Format(Fmt, Args)));
}

void TCustomWSocket::SocketError(const std::string& sockfunc)
{
    const int error = WSocket_WSAGetLastError();
    const std::string line =
        "Error " + IntToStr(error) + " in function " + sockfunc + "\r\n" + WSocketErrorDesc(error);
    if (error == Winsock::WSAECONNRESET || error == Winsock::WSAENOTCONN) {
        if (FHSocket != Winsock::INVALID_SOCKET)
            ForgetSocket();
        if (FState != wsClosed && !FCloseInvoked)
            TriggerSessionClosed(static_cast<WORD>(error));
        ChangeState(wsClosed);
    }
    FLastError = error;
    RaiseException(line);
}

void TCustomWSocket::SocketErrorAndClose(const std::string& sockfunc)
{
    try {
        SocketError(sockfunc);
    } catch (...) {
        Close();
        throw;
    }
    Close();
}

void TCustomWSocket::InvalidArgument(const std::string& sockfunc)
{
    WSocket_WSASetLastError(Winsock::WSAEINVAL);
    SocketError(sockfunc);
}

void TCustomWSocket::HandleBackGroundException(Exception& E)
{
    bool CanClose = true;
    if (OnBgException) {
        try {
            OnBgException(this, E, CanClose);
        } catch (...) {
        }
    }
    if (CanClose) {
        try {
            Abort();
        } catch (...) {
        }
    }
}

// --- Events -----------------------------------------------------------------------------------

bool TCustomWSocket::TriggerDataAvailable(WORD Error)
{
    if (!OnDataAvailable)
        return false;
    OnDataAvailable(this, Error);
    return true;
}

void TCustomWSocket::TriggerSessionAvailable(WORD Error)
{
    if (OnSessionAvailable)
        OnSessionAvailable(this, Error);
}

void TCustomWSocket::TriggerSessionConnectedSpecial(WORD Error) { TriggerSessionConnected(Error); }

void TCustomWSocket::TriggerSessionConnected(WORD Error)
{
    if (OnSessionConnected)
        OnSessionConnected(this, Error);
}

void TCustomWSocket::TriggerSessionClosed(WORD Error)
{
    if (OnSessionClosed)
        OnSessionClosed(this, Error);
}

void TCustomWSocket::TriggerDataSent(WORD Error)
{
    if (OnDataSent)
        OnDataSent(this, Error);
}

void TCustomWSocket::TriggerChangeState(TSocketState OldState, TSocketState NewState)
{
    if (OnChangeState)
        OnChangeState(this, OldState, NewState);
}

void TCustomWSocket::TriggerDNSLookupDone(WORD Error)
{
    if (OnDnsLookupDone)
        OnDnsLookupDone(this, Error);
}

void TCustomWSocket::TriggerError()
{
    if (OnError)
        OnError(this);
}

void TCustomWSocket::TriggerDisplay(const std::string& Msg)
{
    if (OnDisplay)
        OnDisplay(this, Msg);
}

void TCustomWSocket::TriggerSendData(int BytesSent)
{
    if (OnSendData)
        OnSendData(this, BytesSent);
}

void TCustomWSocket::ChangeState(TSocketState NewState)
{
    const TSocketState oldState = FState;
    FState = NewState;
    if (oldState != NewState)
        TriggerChangeState(oldState, NewState);
}

// --- Properties -------------------------------------------------------------------------------

void TCustomWSocket::SetAddr(const std::string& InAddr)
{
    const std::string newAddr = Trim(InAddr);
    if (FAddrAssigned && FAddrStr == newAddr)
        return;
    if (FState != wsClosed) {
        RaiseException("Cannot change Addr if not closed");
        return;
    }
    FAddrStr = newAddr;
    FAddrAssigned = !FAddrStr.empty();
    FAddrResolved = false;
}

void TCustomWSocket::SetRemotePort(const std::string& sPort)
{
    const std::string newPort = Trim(sPort);
    if (FPortAssigned && FPortStr == newPort)
        return;
    if (FState != wsClosed) {
        RaiseException("Cannot change Port if not closed");
        return;
    }
    FPortStr = newPort;
    FPortAssigned = !FPortStr.empty();
    FPortResolved = false;
}

void TCustomWSocket::SetProto(const std::string& sProto)
{
    const std::string newProto = Trim(sProto);
    if (FProtoAssigned && FProtoStr == newProto)
        return;
    if (FState != wsClosed) {
        RaiseException("Cannot change Proto if not closed");
        return;
    }
    FProtoStr = newProto;
    FProtoAssigned = !FProtoStr.empty();
    FProtoResolved = false;
}

void TCustomWSocket::SetLocalPort(const std::string& sLocalPort)
{
    if (FState != wsClosed) {
        RaiseException("Cannot change LocalPort if not closed");
        return;
    }
    FLocalPortStr = sLocalPort;
    FLocalPortResolved = false;
}

void TCustomWSocket::SetLocalAddr(const std::string& sLocalAddr)
{
    if (FState != wsClosed) {
        RaiseException("Cannot change LocalAddr if not closed");
        return;
    }
    FLocalAddr = sLocalAddr.empty() ? "0.0.0.0" : sLocalAddr;
}

BYTE TCustomWSocket::ReqVerLow() const { return ::ReqVerLow; }

BYTE TCustomWSocket::ReqVerHigh() const { return ::ReqVerHigh; }

void TCustomWSocket::SetReqVerLow(BYTE Value)
{
    if (Value == ::ReqVerLow)
        return;
    if (WSocketIsWinsockLoaded()) {
        InvalidArgument("SetReqVerLow: WinSock version can't be changed now");
        return;
    }
    ::ReqVerLow = Value;
}

void TCustomWSocket::SetReqVerHigh(BYTE Value)
{
    if (Value == ::ReqVerHigh)
        return;
    if (WSocketIsWinsockLoaded()) {
        InvalidArgument("SetReqVerHigh: WinSock version can't be changed now");
        return;
    }
    ::ReqVerHigh = Value;
}

TSocketSendFlags TCustomWSocket::SendFlags()
{
    switch (FSendFlags) {
    case 0:
        return wsSendNormal;
    case Winsock::MSG_OOB:
        return wsSendUrgent;
    default:
        RaiseException("Invalid internal SendFlags");
        return wsSendNormal;
    }
}

void TCustomWSocket::SetSendFlags(TSocketSendFlags newValue)
{
    switch (newValue) {
    case wsSendNormal:
        FSendFlags = 0;
        break;
    case wsSendUrgent:
        FSendFlags = Winsock::MSG_OOB;
        break;
    default:
        RaiseException("Invalid SendFlags");
        break;
    }
}

int TCustomWSocket::GetRcvdCount()
{
    if (ComponentState().Contains(csDesigning))
        return -1;
    Winsock::u_long waiting = 0;
    if (WSocket_ioctlsocket(FHSocket, Winsock::FIONREAD, &waiting) == Winsock::SOCKET_ERROR) {
        SocketError("ioctlSocket");
        return -1;
    }
    return static_cast<int>(std::min<Winsock::u_long>(waiting, 0x7FFFFFFF));
}

// --- Receiving --------------------------------------------------------------------------------

int TCustomWSocket::DoRecv(void* Buffer, int BufferSize, int Flags)
{
    return WSocket_recv(FHSocket, static_cast<char*>(Buffer), BufferSize, Flags);
}

int TCustomWSocket::DoRecvFrom(Winsock::SOCKET s, void* Buffer, int BufferSize, int Flags, Winsock::sockaddr& From,
                               int& FromLen)
{
    return WSocket_recvfrom(s, static_cast<char*>(Buffer), BufferSize, Flags, &From, &FromLen);
}

int TCustomWSocket::Receive(void* Buffer, int BufferSize)
{
    const int result = DoRecv(Buffer, BufferSize, 0);
    if (result < 0)
        FLastError = WSocket_WSAGetLastError();
    else
        FReadCount += result;
    return result;
}

int TCustomWSocket::PeekData(void* Buffer, int BufferSize)
{
    const int result = DoRecv(Buffer, BufferSize, Winsock::MSG_PEEK);
    if (result < 0)
        FLastError = WSocket_WSAGetLastError();
    return result;
}

int TCustomWSocket::ReceiveFrom(void* Buffer, int BufferSize, Winsock::sockaddr& From, int& FromLen)
{
    const int result = DoRecvFrom(FHSocket, Buffer, BufferSize, 0, From, FromLen);
    if (result < 0)
        FLastError = WSocket_WSAGetLastError();
    else
        FReadCount += result;
    return result;
}

std::string TCustomWSocket::ReceiveStr()
{
    int count = GetRcvdCount();
    if (count < 0)
        return "";
    if (count == 0)
        count = 255;
    std::string text(static_cast<std::size_t>(count), '\0');
    const int received = Receive(text.data(), count);
    text.resize(received > 0 ? static_cast<std::size_t>(received) : 0);
    return text;
}

// --- Sending ----------------------------------------------------------------------------------

void TCustomWSocket::PutDataInSendBuffer(const void* Data, int Len)
{
    if (Len <= 0 || !Data)
        return;
    const char* bytes = static_cast<const char*>(Data);
    if (FBufList.empty())
        FBufList.push_back(std::make_unique<TBuffer>(FBufSize));
    int stored = FBufList.back()->Write(bytes, Len);
    while (stored < Len) {
        FBufList.push_back(std::make_unique<TBuffer>(FBufSize));
        stored += FBufList.back()->Write(bytes + stored, Len - stored);
    }
}

void TCustomWSocket::PutStringInSendBuffer(const std::string& Str)
{
    if (!Str.empty())
        PutDataInSendBuffer(Str.data(), static_cast<int>(Str.size()));
}

void TCustomWSocket::DeleteBufferedData() { FBufList.clear(); }

void TCustomWSocket::TryToSend()
{
    if (FHSocket == Winsock::INVALID_SOCKET)
        return;
    if (FBufList.empty()) {
        // Nothing queued is nothing left to send.
        FAllSent = true;
        return;
    }
    for (;;) {
        TBuffer* head = FBufList.front().get();
        int len = 0;
        void* data = head->Peek(len);
        if (len <= 0) {
            if (FBufList.size() == 1) {
                FAllSent = true;
                return;
            }
            FBufList.pop_front();
            continue;
        }
        const int count = RealSend(data, len);
        if (count == 0)
            return;
        if (count == Winsock::SOCKET_ERROR) {
            const int error = WSocket_WSAGetLastError();
            if (CustomWSocketUnit::ConnectionLost(error)) {
                const bool told = FCloseInvoked;
                FCloseInvoked = true;
                Close();
                if (!told)
                    TriggerSessionClosed(static_cast<WORD>(error));
                return;
            }
            if (error == Winsock::WSAEWOULDBLOCK)
                return;
            SocketError("TryToSend failed");
            return;
        }
        // An OnSendData handler may have closed the socket or emptied the queue.
        if (FHSocket == Winsock::INVALID_SOCKET || FBufList.empty() || FBufList.front().get() != head)
            return;
        head->Remove(count);
        if (count < len)
            return;
    }
}

int TCustomWSocket::RealSend(const void* Data, int Len)
{
    int result;
    if (FType == Winsock::SOCK_DGRAM)
        result = WSocket_sendto(FHSocket, static_cast<const char*>(Data), Len, FSendFlags,
                                reinterpret_cast<const Winsock::sockaddr*>(&FSin), sizeof FSin);
    else
        result = WSocket_send(FHSocket, static_cast<const char*>(Data), Len, FSendFlags);
    if (result > 0)
        TriggerSendData(result);
    return result;
}

int TCustomWSocket::Send(const void* Data, int Len)
{
    if (FState != wsConnected && FState != wsSocksConnected) {
        FLastError = Winsock::WSAENOTCONN;
        WSocket_WSASetLastError(Winsock::WSAENOTCONN);
        SocketError("Send");
        return -1;
    }
    FAllSent = false;
    int result = 0;
    if (Len > 0) {
        result = Len;
        PutDataInSendBuffer(Data, Len);
    }
    TryToSend();
    // OnDataSent comes from the message loop, never from inside Send.
    if (FAllSent)
        PostMessageA(FWindowHandle, WM_ASYNCSELECT, static_cast<WPARAM>(FHSocket),
                     Winsock::WSAMAKESELECTREPLY(Winsock::FD_WRITE, 0));
    return result;
}

int TCustomWSocket::SendStr(const std::string& Str)
{
    if (Str.empty())
        return 0;
    return Send(Str.data(), static_cast<int>(Str.size()));
}

int TCustomWSocket::SendTo(const Winsock::sockaddr& Dest, int DestLen, const void* Data, int Len)
{
    const int result = WSocket_sendto(FHSocket, static_cast<const char*>(Data), Len, FSendFlags, &Dest, DestLen);
    if (result > 0) {
        TriggerSendData(result);
        if (FType == Winsock::SOCK_DGRAM && FAllSent)
            PostMessageA(FWindowHandle, WM_ASYNCSELECT, static_cast<WPARAM>(FHSocket),
                         Winsock::WSAMAKESELECTREPLY(Winsock::FD_WRITE, 0));
    }
    return result;
}

void TCustomWSocket::WaitForMessages() { MsgWaitForMultipleObjects(0, nullptr, FALSE, 1000, QS_ALLINPUT); }

void TCustomWSocket::Flush()
{
    while (FHSocket != Winsock::INVALID_SOCKET && !FAllSent) {
        TryToSend();
        if (FAllSent || FHSocket == Winsock::INVALID_SOCKET)
            break;
        // The system is full: its next writable notice wakes the wait.
        WaitForMessages();
        MessagePump();
    }
}

// --- Connecting -------------------------------------------------------------------------------

void TCustomWSocket::BindSocket()
{
    Winsock::sockaddr_in local{};
    local.sin_family = static_cast<short>(FAddrFormat);
    local.sin_addr.S_addr = FLocalAddrNum;
    local.sin_port = WSocket_htons(static_cast<Winsock::u_short>(FLocalPortNum));
    if (WSocket_bind(FHSocket, reinterpret_cast<const Winsock::sockaddr*>(&local), sizeof local) != 0) {
        RaiseExceptionFmt("winsock.bind failed, error #%d", {WSocket_WSAGetLastError()});
        return;
    }
    int length = sizeof local;
    if (WSocket_getsockname(FHSocket, reinterpret_cast<Winsock::sockaddr*>(&local), &length) != 0) {
        RaiseExceptionFmt("winsock.getsockname failed, error #%d", {WSocket_WSAGetLastError()});
        return;
    }
    FLocalPortNum = WSocket_ntohs(local.sin_port);
    FLocalPortStr = IntToStr(FLocalPortNum);
}

void TCustomWSocket::SetLingerOption()
{
    if (FLingerOnOff == wsLingerNoSet)
        return;
    if (FHSocket == Winsock::INVALID_SOCKET) {
        RaiseException("Cannot set linger option at this time");
        return;
    }
    Winsock::linger setting;
    setting.l_onoff = FLingerOnOff == wsLingerOn ? 1 : 0;
    setting.l_linger = static_cast<Winsock::u_short>(std::clamp(FLingerTimeout, 0, 0xFFFF));
    if (WSocket_setsockopt(FHSocket, Winsock::SOL_SOCKET, Winsock::SO_LINGER, reinterpret_cast<const char*>(&setting),
                           sizeof setting) != 0)
        SocketError("setsockopt(SO_LINGER)");
}

void TCustomWSocket::Connect()
{
    using CustomWSocketUnit::SetIntOption;
    if (FHSocket != Winsock::INVALID_SOCKET && FState != wsClosed) {
        RaiseException("Connect: Socket already in use");
        return;
    }
    if (!FPortAssigned) {
        RaiseException("Connect: No Port Specified");
        return;
    }
    if (!FAddrAssigned) {
        RaiseException("Connect: No IP Address Specified");
        return;
    }
    if (!FProtoAssigned) {
        RaiseException("Connect: No Protocol Specified");
        return;
    }
    try {
        if (!FProtoResolved) {
            FProto = WSocketResolveProto(FProtoStr);
            FType = FProto == Winsock::IPPROTO_TCP   ? Winsock::SOCK_STREAM
                    : FProto == Winsock::IPPROTO_UDP ? Winsock::SOCK_DGRAM
                                                     : Winsock::SOCK_RAW;
            FProtoResolved = true;
        }
        if (!FPortResolved) {
            FPortNum = WSocketResolvePort(FPortStr, FProtoStr);
            FSin.sin_port = WSocket_htons(static_cast<Winsock::u_short>(FPortNum));
            FPortResolved = true;
        }
        if (!FLocalPortResolved) {
            FLocalPortNum = WSocketResolvePort(FLocalPortStr, FProtoStr);
            FLocalPortResolved = true;
        }
        // The local address is resolved with the rest, so that a bad one is told before a socket
        // exists.
        FLocalAddrNum = WSocketResolveHost(FLocalAddr);
        if (!FAddrResolved) {
            FSin.sin_addr.S_addr = WSocketResolveHost(FAddrStr);
            FAddrResolved = true;
        }
    } catch (Exception& E) {
        RaiseException("connect: " + E.Message);
        return;
    }

    DeleteBufferedData();
    FHSocket = WSocket_socket(FAddrFormat, FType, FProto);
    if (FHSocket == Winsock::INVALID_SOCKET) {
        SocketError("Connect (socket)");
        return;
    }
    ChangeState(wsOpened);
    if (FState != wsOpened) {
        FLastError = Winsock::WSAEINVAL;
        InvalidArgument("Connect (Invalid operation in OnChangeState)");
        return;
    }

    if (FType == Winsock::SOCK_DGRAM) {
        BindSocket();
        if (FMultiCast) {
            if (FMultiCastIpTTL != 1 &&
                SetIntOption(FHSocket, Winsock::IPPROTO_IP, Winsock::IP_MULTICAST_TTL, FMultiCastIpTTL) != 0) {
                SocketError("setsockopt(IP_MULTICAST_TTL)");
                return;
            }
            if (FLocalAddr != "0.0.0.0") {
                Winsock::in_addr interfaceAddress;
                interfaceAddress.S_addr = FLocalAddrNum;
                if (WSocket_setsockopt(FHSocket, Winsock::IPPROTO_IP, Winsock::IP_MULTICAST_IF,
                                       reinterpret_cast<const char*>(&interfaceAddress), sizeof interfaceAddress) != 0) {
                    SocketError("setsockopt(IP_MULTICAST_IF)");
                    return;
                }
            }
        }
        if (FSin.sin_addr.S_addr == Winsock::INADDR_BROADCAST &&
            SetIntOption(FHSocket, Winsock::SOL_SOCKET, Winsock::SO_BROADCAST, 1) != 0) {
            SocketError("setsockopt(SO_BROADCAST)");
            return;
        }
    } else {
        if (SetIntOption(FHSocket, Winsock::SOL_SOCKET, Winsock::SO_REUSEADDR, -1) != 0) {
            SocketError("setsockopt(SO_REUSEADDR)");
            return;
        }
        if (FComponentOptions.Contains(wsoTcpNoDelay) &&
            SetIntOption(FHSocket, Winsock::IPPROTO_TCP, Winsock::TCP_NODELAY, 1) != 0) {
            SocketError("setsockopt(IPPROTO_TCP, TCP_NODELAY)");
            return;
        }
        SetLingerOption();
        if (SetIntOption(FHSocket, Winsock::SOL_SOCKET, Winsock::SO_KEEPALIVE, 1) != 0) {
            SocketError("setsockopt(SO_KEEPALIVE)");
            return;
        }
        if (FLocalPortNum != 0 || FLocalAddr != "0.0.0.0")
            BindSocket();
    }

    FSelectEvent = CustomWSocketUnit::ClientEvents;
    if (WSocket_WSAAsyncSelect(FHSocket, FWindowHandle, WM_ASYNCSELECT, FSelectEvent) != 0) {
        SocketError("WSAAsyncSelect");
        return;
    }

    if (FType == Winsock::SOCK_DGRAM) {
        ChangeState(wsConnected);
        TriggerSessionConnectedSpecial(0);
        return;
    }
    const int result =
        WSocket_connect(FHSocket, reinterpret_cast<const Winsock::sockaddr*>(&FSin), sizeof FSin);
    const int error = result == 0 ? 0 : WSocket_WSAGetLastError();
    if (error == 0 || error == Winsock::WSAEWOULDBLOCK) {
        ChangeState(wsConnecting);
    } else {
        FLastError = error;
        SocketError("Connect");
    }
}

// --- Listening --------------------------------------------------------------------------------

bool TCustomWSocket::ResolveForListen()
{
    try {
        if (!FProtoResolved) {
            // "raw_<protocol>" asks for a raw socket of that protocol.
            if (SameText(FProtoStr.substr(0, 4), "raw_")) {
                FType = Winsock::SOCK_RAW;
                FProto = WSocketResolveProto(FProtoStr.substr(4, 10));
            } else {
                FProto = WSocketResolveProto(FProtoStr);
                FType = FProto == Winsock::IPPROTO_UDP ? Winsock::SOCK_DGRAM : Winsock::SOCK_STREAM;
            }
            FProtoResolved = true;
        }
        if (!FPortResolved) {
            FPortNum = WSocketResolvePort(FPortStr, FProtoStr);
            FSin.sin_port = WSocket_htons(static_cast<Winsock::u_short>(FPortNum));
            FPortResolved = true;
        }
        if (!FLocalPortResolved) {
            FLocalPortNum = WSocketResolvePort(FLocalPortStr, FProtoStr);
            FLocalPortResolved = true;
        }
        if (!FAddrResolved) {
            FSin.sin_addr.S_addr = WSocketResolveHost(FAddrStr);
            FAddrResolved = true;
        }
    } catch (Exception& E) {
        RaiseException("listen: " + E.Message);
        return false;
    }
    return true;
}

void TCustomWSocket::ReadBackLocalPort()
{
    Winsock::sockaddr_in local{};
    int length = sizeof local;
    if (WSocket_getsockname(FHSocket, reinterpret_cast<Winsock::sockaddr*>(&local), &length) != 0)
        return;
    FLocalPortNum = WSocket_ntohs(local.sin_port);
    FLocalPortStr = IntToStr(FLocalPortNum);
    FLocalPortResolved = true;
}

void TCustomWSocket::Listen()
{
    if (!FPortAssigned) {
        InvalidArgument("listen: port not assigned");
        return;
    }
    if (!FProtoAssigned) {
        InvalidArgument("listen: protocol not assigned");
        return;
    }
    if (!FAddrAssigned) {
        InvalidArgument("listen: address not assigned");
        return;
    }
    if (!ResolveForListen())
        return;

    DeleteBufferedData();
    FHSocket = WSocket_socket(FAddrFormat, FType, FProto);
    if (FHSocket == Winsock::INVALID_SOCKET) {
        SocketError("socket");
        return;
    }
    if (FType == Winsock::SOCK_DGRAM && FReuseAddr &&
        CustomWSocketUnit::SetIntOption(FHSocket, Winsock::SOL_SOCKET, Winsock::SO_REUSEADDR, 1) != 0) {
        SocketErrorAndClose("setsockopt(SO_REUSEADDR)");
        return;
    }
    if (WSocket_bind(FHSocket, reinterpret_cast<const Winsock::sockaddr*>(&FSin), sizeof FSin) != 0) {
        SocketErrorAndClose("Bind");
        return;
    }
    // A listener on port 0 tells which port it got.
    ReadBackLocalPort();
    ChangeState(wsBound);

    switch (FType) {
    case Winsock::SOCK_STREAM:
        if (WSocket_listen(FHSocket, FListenBacklog) != 0) {
            SocketError("Listen");
            return;
        }
        ChangeState(wsListening);
        break;
    case Winsock::SOCK_RAW:
        if (FComponentOptions.Contains(wsoSIO_RCVALL)) {
            Winsock::u_long receiveAll = 1;
            DWORD returned = 0;
            if (WSocket_WSAIoctl(FHSocket, Winsock::SIO_RCVALL, &receiveAll, sizeof receiveAll, nullptr, 0, &returned,
                                 nullptr, nullptr) != 0) {
                SocketErrorAndClose("WSAIoctl(SIO_RCVALL)");
                return;
            }
        }
        [[fallthrough]];
    case Winsock::SOCK_DGRAM:
        if (FMultiCast) {
            Winsock::ip_mreq request;
            request.imr_multiaddr.S_addr = WSocket_inet_addr(FMultiCastAddrStr.c_str());
            request.imr_interface.S_addr = FSin.sin_addr.S_addr;
            if (WSocket_setsockopt(FHSocket, Winsock::IPPROTO_IP, Winsock::IP_ADD_MEMBERSHIP,
                                   reinterpret_cast<const char*>(&request), sizeof request) != 0) {
                SocketError("setsockopt(IP_ADD_MEMBERSHIP)");
                return;
            }
        }
        ChangeState(wsListening);
        ChangeState(wsConnected);
        TriggerSessionConnectedSpecial(0);
        if (FHSocket == Winsock::INVALID_SOCKET)
            return;
        break;
    default:
        SocketError("Listen: unexpected protocol.");
        return;
    }

    FSelectEvent = CustomWSocketUnit::ServerEvents;
    if (WSocket_WSAAsyncSelect(FHSocket, FWindowHandle, WM_ASYNCSELECT, FSelectEvent) != 0)
        SocketError("WSAASyncSelect");
}

Winsock::SOCKET TCustomWSocket::Accept()
{
    if (FState != wsListening) {
        InvalidArgument("not a listening socket");
        return Winsock::INVALID_SOCKET;
    }
    int length = sizeof FSin;
    FASocket = WSocket_accept(FHSocket, reinterpret_cast<Winsock::sockaddr*>(&FSin), &length);
    if (FASocket == Winsock::INVALID_SOCKET) {
        SocketError("Accept");
        return Winsock::INVALID_SOCKET;
    }
    return FASocket;
}

void TCustomWSocket::Dup(Winsock::SOCKET NewHSocket)
{
    if (NewHSocket == 0 || NewHSocket == Winsock::INVALID_SOCKET) {
        InvalidArgument("Dup");
        return;
    }
    if (FState != wsClosed) {
        const int status = WSocket_closesocket(FHSocket);
        const int error = status == 0 ? 0 : WSocket_WSAGetLastError();
        FHSocket = Winsock::INVALID_SOCKET;
        DiscardSocketNotices();
        if (status != 0) {
            WSocket_WSASetLastError(error);
            SocketError("Dup (closesocket)");
            return;
        }
        ChangeState(wsClosed);
    } else if (FHSocket != Winsock::INVALID_SOCKET) {
        ForgetSocket();
    }
    FHSocket = NewHSocket;
    SetLingerOption();
    FSelectEvent = CustomWSocketUnit::DupEvents;
    if (WSocket_WSAAsyncSelect(FHSocket, FWindowHandle, WM_ASYNCSELECT, FSelectEvent) != 0) {
        SocketError("WSAAsyncSelect");
        return;
    }
    DupConnected();
}

void TCustomWSocket::DupConnected() { ChangeState(wsConnected); }

// --- Closing ----------------------------------------------------------------------------------

void TCustomWSocket::DiscardSocketNotices()
{
    if (!FWindowHandle)
        return;
    MSG msg;
    while (PeekMessageA(msg, FWindowHandle, WM_ASYNCSELECT, WM_ASYNCSELECT, PM_REMOVE)) {
    }
}

void TCustomWSocket::ForgetSocket()
{
    WSocket_closesocket(FHSocket);
    FHSocket = Winsock::INVALID_SOCKET;
    DiscardSocketNotices();
}

void TCustomWSocket::Close() { InternalClose(true, 0); }

void TCustomWSocket::Abort() { InternalAbort(0); }

void TCustomWSocket::InternalAbort(WORD ErrCode)
{
    CancelDnsLookup();
    DeleteBufferedData();
    if (FHSocket != Winsock::INVALID_SOCKET && FState == wsConnected && FProto == Winsock::IPPROTO_TCP) {
        // Linger on with no time: the close drops the connection and the peer sees a reset.
        FLingerOnOff = wsLingerOn;
        FLingerTimeout = 0;
        SetLingerOption();
    }
    InternalClose(false, ErrCode);
}

void TCustomWSocket::InternalClose(bool bShut, WORD Error)
{
    if (FHSocket == Winsock::INVALID_SOCKET) {
        if (FState != wsClosed) {
            ChangeState(wsClosed);
            AssignDefaultValue();
        }
        return;
    }
    if (FState == wsClosed) {
        // A handle of a Listen that failed before binding: there was no connection to tell of.
        ForgetSocket();
        return;
    }
    if (bShut)
        WSocket_shutdown(FHSocket, Winsock::SD_SEND);
    int status = WSocket_closesocket(FHSocket);
    while (status != 0) {
        const int error = WSocket_WSAGetLastError();
        if (error != Winsock::WSAEWOULDBLOCK) {
            FHSocket = Winsock::INVALID_SOCKET;
            DiscardSocketNotices();
            if (error != Winsock::WSANOTINITIALISED) {
                FLastError = error;
                SocketError("Disconnect (closesocket)");
                return;
            }
            break;
        }
        WaitForMessages();
        MessagePump();
        status = WSocket_closesocket(FHSocket);
    }
    FHSocket = Winsock::INVALID_SOCKET;
    DiscardSocketNotices();
    ChangeState(wsClosed);
    if (!ComponentState().Contains(csDestroying) && !FCloseInvoked) {
        FCloseInvoked = true;
        TriggerSessionClosed(Error);
    }
    try {
        AssignDefaultValue();
    } catch (...) {
    }
}

void TCustomWSocket::AssignDefaultValue()
{
    FSin = Winsock::sockaddr_in{};
    FSin.sin_family = static_cast<short>(Winsock::AF_INET);
    FAddrFormat = Winsock::PF_INET;
    FPortAssigned = false;
    FAddrAssigned = false;
    FAddrResolved = false;
    FPortResolved = false;
    FProtoResolved = false;
    FLocalPortResolved = false;
    FProtoAssigned = true;
    FProto = Winsock::IPPROTO_TCP;
    FProtoStr = std::string("tcp");
    FType = Winsock::SOCK_STREAM;
    FLocalPortStr = std::string("0");
    FLocalAddr = std::string("0.0.0.0");
    FLocalAddrNum = Winsock::INADDR_ANY;
    FLingerOnOff = wsLingerOn;
    FLingerTimeout = 0;
    FHSocket = Winsock::INVALID_SOCKET;
    FSelectEvent = 0;
    FState = wsClosed;
    FAllSent = true;
    FPaused = false;
    FReadCount = 0;
    FCloseInvoked = false;
    FFlushTimeout = 60;
}

void TCustomWSocket::CloseDelayed() { PostMessageA(FWindowHandle, WM_CLOSE_DELAYED, 0, 0); }

void TCustomWSocket::Release() { PostMessageA(FWindowHandle, WM_WSOCKET_RELEASE, 0, 0); }

void TCustomWSocket::WaitForClose()
{
    while (FHSocket != Winsock::INVALID_SOCKET && FState != wsClosed) {
        MessagePump();
        if (FHSocket == Winsock::INVALID_SOCKET || FState == wsClosed)
            break;
        Winsock::u_long waiting = 0;
        if (WSocket_ioctlsocket(FHSocket, Winsock::FIONREAD, &waiting) == Winsock::SOCKET_ERROR)
            break;
        if (waiting > 0)
            TriggerDataAvailable(0);
        // The probe: a connection that is open and has nothing to read answers would-block; the
        // end of the stream, data or a reset end the wait. (A zero-length receive answers 0 at
        // once here, so the probe peeks at one byte.)
        char probe;
        if (WSocket_recv(FHSocket, &probe, 1, Winsock::MSG_PEEK) != Winsock::SOCKET_ERROR ||
            WSocket_WSAGetLastError() != Winsock::WSAEWOULDBLOCK)
            break;
        WaitForMessages();
        MessagePump();
    }
}

void TCustomWSocket::Shutdown(int How)
{
    if (FHSocket != Winsock::INVALID_SOCKET)
        WSocket_shutdown(FHSocket, How);
}

void TCustomWSocket::Pause()
{
    FPaused = true;
    if (FHSocket != Winsock::INVALID_SOCKET)
        WSocket_WSAAsyncSelect(FHSocket, FWindowHandle, 0, 0);
}

void TCustomWSocket::Resume()
{
    FPaused = false;
    if (FHSocket != Winsock::INVALID_SOCKET)
        WSocket_WSAAsyncSelect(FHSocket, FWindowHandle, WM_ASYNCSELECT, FSelectEvent);
}

// --- Name look-ups ----------------------------------------------------------------------------

void TCustomWSocket::DnsLookup(const std::string& HostName)
{
    if (HostName.empty()) {
        RaiseException("DNS lookup: invalid host name.");
        TriggerDNSLookupDone(Winsock::WSAEINVAL);
        return;
    }
    if (FDnsLookupHandle) {
        WSocket_WSACancelAsyncRequest(FDnsLookupHandle);
        FDnsLookupHandle = nullptr;
    }
    FDnsResult.clear();
    FDnsResultList->Clear();

    if (WSocketIsDottedIP(HostName)) {
        const std::string dotted = Trim(HostName);
        const Winsock::u_long address = WSocket_inet_addr(dotted.c_str());
        if (address != Winsock::INADDR_NONE || dotted == "255.255.255.255") {
            FDnsResult = CustomWSocketUnit::DottedAddress(address);
            FDnsResultList->Add(FDnsResult);
            TriggerDNSLookupDone(0);
            return;
        }
    }

    if (!FWindowHandle) {
        RaiseException("DnsLookup: Window not assigned");
        return;
    }
    FDnsLookupCheckMsg = false;
    FDnsLookupHandle = WSocket_WSAAsyncGetHostByName(FWindowHandle, WM_ASYNCGETHOSTBYNAME, HostName.c_str(),
                                                     FDnsLookupBuffer, sizeof FDnsLookupBuffer);
    if (!FDnsLookupHandle) {
        RaiseExceptionFmt("%s: can't start DNS lookup, error #%d", {HostName, WSocket_WSAGetLastError()});
        return;
    }
    // An answer that came before its handle was known was kept for now.
    if (FDnsLookupCheckMsg) {
        FDnsLookupCheckMsg = false;
        WMAsyncGetHostByName(FDnsLookupTmpMsg);
    }
}

void TCustomWSocket::WMAsyncGetHostByName(TMessage& msg)
{
    if (!FDnsLookupHandle) {
        FDnsLookupTmpMsg = msg;
        FDnsLookupCheckMsg = true;
        return;
    }
    if (msg.WParam != reinterpret_cast<WPARAM>(FDnsLookupHandle))
        return;
    FDnsLookupHandle = nullptr;
    const WORD error = Winsock::WSAGETASYNCERROR(msg.LParam);
    if (error == 0) {
        const auto* entry = reinterpret_cast<const Winsock::hostent*>(FDnsLookupBuffer);
        for (char** item = entry->h_addr_list; item && *item; ++item) {
            Winsock::u_long address;
            std::memcpy(&address, *item, sizeof address);
            FDnsResultList->Add(CustomWSocketUnit::DottedAddress(address));
        }
        if (FDnsResultList->Count() > 0)
            FDnsResult = FDnsResultList->Strings(0);
    }
    TriggerDNSLookupDone(error);
}

void TCustomWSocket::ReverseDnsLookup(const std::string& HostAddr)
{
    if (HostAddr.empty() || HostAddr.size() > 256) {
        RaiseException("ReverseDnsLookup: Invalid host name.");
        TriggerDNSLookupDone(Winsock::WSAEINVAL);
        return;
    }
    if (FDnsLookupHandle) {
        WSocket_WSACancelAsyncRequest(FDnsLookupHandle);
        FDnsLookupHandle = nullptr;
    }
    FDnsResult.clear();
    FDnsResultList->Clear();
    const Winsock::u_long address = WSocket_inet_addr(HostAddr.c_str());
    if (!FWindowHandle) {
        RaiseException("ReverseDnsLookup: Window not assigned");
        return;
    }
    FDnsLookupHandle = WSocket_WSAAsyncGetHostByAddr(FWindowHandle, WM_ASYNCGETHOSTBYADDR,
                                                     reinterpret_cast<const char*>(&address), sizeof address,
                                                     Winsock::AF_INET, FDnsLookupBuffer, sizeof FDnsLookupBuffer);
    if (!FDnsLookupHandle)
        RaiseExceptionFmt("%s: can't start DNS lookup, error #%d", {HostAddr, WSocket_WSAGetLastError()});
}

void TCustomWSocket::WMAsyncGetHostByAddr(TMessage& msg)
{
    if (!FDnsLookupHandle || msg.WParam != reinterpret_cast<WPARAM>(FDnsLookupHandle))
        return;
    FDnsLookupHandle = nullptr;
    const WORD error = Winsock::WSAGETASYNCERROR(msg.LParam);
    if (error == 0) {
        const auto* entry = reinterpret_cast<const Winsock::hostent*>(FDnsLookupBuffer);
        FDnsResult = entry->h_name ? entry->h_name : "";
        FDnsResultList->Add(FDnsResult);
    }
    TriggerDNSLookupDone(error);
}

void TCustomWSocket::CancelDnsLookup()
{
    if (!FDnsLookupHandle)
        return;
    const HANDLE handle = FDnsLookupHandle;
    FDnsLookupHandle = nullptr;
    if (WSocket_WSACancelAsyncRequest(handle) != 0) {
        SocketError("WSACancelAsyncRequest");
        return;
    }
    if (!ComponentState().Contains(csDestroying))
        TriggerDNSLookupDone(Winsock::WSAEINTR);
}

// --- Peer and local names ---------------------------------------------------------------------

std::string TCustomWSocket::GetPeerAddr()
{
    if (FState != wsConnected)
        return "error";
    Winsock::sockaddr_in peer{};
    int length = sizeof peer;
    if (WSocket_getpeername(FHSocket, reinterpret_cast<Winsock::sockaddr*>(&peer), &length) != 0) {
        SocketError("GetPeerAddr");
        return "error";
    }
    return WSocket_inet_ntoa(peer.sin_addr);
}

std::string TCustomWSocket::GetPeerPort()
{
    if (FState != wsConnected)
        return "error";
    Winsock::sockaddr_in peer{};
    int length = sizeof peer;
    if (WSocket_getpeername(FHSocket, reinterpret_cast<Winsock::sockaddr*>(&peer), &length) != 0) {
        SocketError("GetPeerPort");
        return "error";
    }
    return IntToStr(WSocket_ntohs(peer.sin_port));
}

int TCustomWSocket::GetPeerName(Winsock::sockaddr_in& Name, int NameLen)
{
    if (FState != wsConnected)
        return -1;
    return WSocket_getpeername(FHSocket, reinterpret_cast<Winsock::sockaddr*>(&Name), &NameLen);
}

std::string TCustomWSocket::GetXPort()
{
    if (FState != wsBound && FState != wsConnected && FState != wsListening)
        return "error";
    Winsock::sockaddr_in local{};
    int length = sizeof local;
    if (WSocket_getsockname(FHSocket, reinterpret_cast<Winsock::sockaddr*>(&local), &length) != 0)
        return "error";
    return IntToStr(WSocket_ntohs(local.sin_port));
}

std::string TCustomWSocket::GetXAddr()
{
    if (FState != wsBound && FState != wsConnected && FState != wsListening)
        return "error";
    Winsock::sockaddr_in local{};
    int length = sizeof local;
    if (WSocket_getsockname(FHSocket, reinterpret_cast<Winsock::sockaddr*>(&local), &length) != 0)
        return "error";
    return WSocket_inet_ntoa(local.sin_addr);
}

int TCustomWSocket::GetSockName(Winsock::sockaddr_in& saddr, int& saddrlen)
{
    return WSocket_getsockname(FHSocket, reinterpret_cast<Winsock::sockaddr*>(&saddr), &saddrlen);
}

bool TCustomWSocket::TimerIsSet(const Winsock::timeval& tvp) { return tvp.tv_sec != 0 || tvp.tv_usec != 0; }

void TCustomWSocket::TimerClear(Winsock::timeval& tvp)
{
    tvp.tv_sec = 0;
    tvp.tv_usec = 0;
}

bool TCustomWSocket::TimerCmp(const Winsock::timeval& tvp, const Winsock::timeval& uvp, bool IsEqual)
{
    const bool equal = tvp.tv_sec == uvp.tv_sec && tvp.tv_usec == uvp.tv_usec;
    return equal ? IsEqual : !IsEqual;
}

// --- Threads and message pumps ----------------------------------------------------------------

void TCustomWSocket::ThreadDetach()
{
    if (GetCurrentThreadId() != FThreadId) {
        RaiseException("Cannot detach from other thread");
        return;
    }
    if (FHSocket != Winsock::INVALID_SOCKET)
        WSocket_WSAAsyncSelect(FHSocket, FWindowHandle, 0, 0);
    DeallocateSocketHWnd();
}

void TCustomWSocket::ThreadAttach()
{
    if (FWindowHandle) {
        RaiseException("Cannot attach when not detached");
        return;
    }
    AllocateSocketHWnd();
    if (FHSocket != Winsock::INVALID_SOCKET && FSelectEvent != 0 &&
        WSocket_WSAAsyncSelect(FHSocket, FWindowHandle, WM_ASYNCSELECT, FSelectEvent) != 0)
        SocketError("WSAAsyncSelect");
}

bool TCustomWSocket::ProcessMessage()
{
    // On the GUI thread socket notices, timers and painting come through the whole event
    // processing, not through the posted messages alone.
    if (CustomWSocketUnit::OnGuiThread()) {
        const bool pending = PostedMessageCount() > 0;
        Application->ProcessMessages();
        if (Application->Terminated())
            FTerminated = true;
        return pending;
    }
    MSG msg;
    if (!PeekMessageA(msg, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (msg.message == WM_QUIT) {
        FTerminated = true;
    } else {
        TranslateMessage(msg);
        DispatchMessageA(msg);
    }
    return true;
}

void TCustomWSocket::ProcessMessages()
{
    if (CustomWSocketUnit::OnGuiThread()) {
        ProcessMessage();
        return;
    }
    while (ProcessMessage()) {
    }
}

void TCustomWSocket::MessageLoop()
{
    MSG msg;
    while (GetMessageA(msg, nullptr, 0, 0)) {
        TranslateMessage(msg);
        DispatchMessageA(msg);
    }
    FTerminated = true;
}

void TCustomWSocket::MessagePump()
{
    if (FMultiThreaded)
        ProcessMessages();
    else
        Application->ProcessMessages();
}
