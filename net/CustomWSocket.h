#pragma once
// TCustomWSocket: the event-driven socket the HTTP and SMTP clients own. Nothing blocks: the
// socket library posts a message to the component's hidden window for every socket event and for
// the end of a name look-up, and all the work runs in the window procedure, on the thread that owns
// the window. What the user of the component learns arrives through its events.
//
// Calling order of a client: set Addr and Port (and Proto, LocalAddr) while closed; Connect; wait
// for OnSessionConnected; Send and, inside OnDataAvailable, Receive; Close. Addr may be a host
// name, which Connect resolves synchronously; to resolve without blocking, call DnsLookup first and
// set Addr to DnsResult in OnDnsLookupDone.
//
// Failures: misuse and socket-library errors go to OnError when it is assigned (the operation then
// returns), else they raise ESocketException. Exceptions raised by handlers that run from the
// hidden window end in HandleBackGroundException (OnBgException, then Abort), except those of
// OnDataAvailable, which end the current receive round and are dropped.

#include "net/WSockBuf.h"
#include "platform/gui/Messages.h"
#include "platform/gui/WinTypes.h"
#include "platform/net/Winsock.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/Lists.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

enum TSocketState {
    wsInvalidState,
    wsOpened,
    wsBound,
    wsConnecting,
    wsSocksConnected,
    wsConnected,
    wsAccepting,
    wsListening,
    wsClosed
};
// Stored as the send flag 0 (normal) or 1 (out of band).
enum TSocketSendFlags { wsSendNormal, wsSendUrgent };
enum TSocketLingerOnOff { wsLingerOff, wsLingerOn, wsLingerNoSet };
enum TWSocketOption { wsoNoReceiveLoop, wsoTcpNoDelay, wsoSIO_RCVALL };
using TWSocketOptions = TSet<TWSocketOption>;

using TDataAvailable = std::function<void(TObject* Sender, WORD ErrCode)>;
using TDataSent = std::function<void(TObject* Sender, WORD ErrCode)>;
using TSessionClosed = std::function<void(TObject* Sender, WORD ErrCode)>;
using TSessionAvailable = std::function<void(TObject* Sender, WORD ErrCode)>;
using TSessionConnected = std::function<void(TObject* Sender, WORD ErrCode)>;
using TDnsLookupDone = std::function<void(TObject* Sender, WORD ErrCode)>;
using TSendData = std::function<void(TObject* Sender, int BytesSent)>;
using TChangeState = std::function<void(TObject* Sender, TSocketState OldState, TSocketState NewState)>;
using TDebugDisplay = std::function<void(TObject* Sender, const std::string& Msg)>;
using TBgExceptionEvent = std::function<void(TObject* Sender, Exception& E, bool& CanClose)>;
using TWSocketSyncNextProc = std::function<void()>;

// The messages the component's hidden window receives.
constexpr UINT WM_ASYNCSELECT = WM_USER + 1;        // a socket event: wParam the socket, lParam event and error
constexpr UINT WM_ASYNCGETHOSTBYNAME = WM_USER + 2; // a name look-up ended: wParam its handle
constexpr UINT WM_ASYNCGETHOSTBYADDR = WM_USER + 3; // an address look-up ended: wParam its handle
constexpr UINT WM_CLOSE_DELAYED = WM_USER + 4;
constexpr UINT WM_WSOCKET_RELEASE = WM_USER + 5;
constexpr UINT WM_TRIGGER_EXCEPTION = WM_USER + 6;

// What a socket component is to its hidden window (XSocketAllocateHWnd of net/WSocket.h): the
// window hands it every message.
class TXSocketMessageTarget {
public:
    virtual ~TXSocketMessageTarget() = default;
    virtual void WndProc(TMessage& Message) = 0;
};

class TCustomWSocket : public TComponent, public TXSocketMessageTarget {
    TESS_CLASS(TCustomWSocket, TComponent)
public:
    // A new component is closed and has its hidden window on the calling thread. A derived class
    // sets the defaults of its own AssignDefaultValue in its own constructor.
    explicit TCustomWSocket(TComponent* AOwner);
    ~TCustomWSocket() override;

    // --- The virtual operations, in their order ----------------------------------------------

    void WndProc(TMessage& MsgRec) override;

protected:
    virtual void AllocateSocketHWnd();
    virtual void DeallocateSocketHWnd();
    virtual void TryToSend();
    // Resets what belongs to one connection: Addr and Port count as not given, Proto is "tcp",
    // LocalAddr "0.0.0.0", LocalPort "0", linger on with 0 seconds.
    virtual void AssignDefaultValue();
    virtual void InternalClose(bool bShut, WORD Error);
    virtual void InternalAbort(WORD ErrCode);

public:
    // The setters of Port and Proto.
    virtual void SetRemotePort(const std::string& sPort);
    virtual void SetProto(const std::string& sProto);

protected:
    virtual int GetRcvdCount();
    virtual void BindSocket();
    virtual int RealSend(const void* Data, int Len);
    virtual void RaiseExceptionFmt(const std::string& Fmt, std::initializer_list<TVarRec> Args);
    virtual void RaiseException(const std::string& Msg);
    virtual void HandleBackGroundException(Exception& E);
    // True when an OnDataAvailable handler is assigned.
    virtual bool TriggerDataAvailable(WORD Error);
    virtual void TriggerSessionAvailable(WORD Error);
    virtual void TriggerSessionConnectedSpecial(WORD Error);
    virtual void TriggerSessionConnected(WORD Error);
    virtual void TriggerSessionClosed(WORD Error);
    virtual void TriggerDataSent(WORD Error);
    virtual void TriggerChangeState(TSocketState OldState, TSocketState NewState);
    virtual void TriggerDNSLookupDone(WORD Error);
    virtual void TriggerError();
    virtual int DoRecv(void* Buffer, int BufferSize, int Flags);
    virtual int DoRecvFrom(Winsock::SOCKET s, void* Buffer, int BufferSize, int Flags, Winsock::sockaddr& From,
                           int& FromLen);
    virtual void Do_FD_CONNECT(TMessage& msg);
    virtual void Do_FD_READ(TMessage& msg);
    virtual void Do_FD_WRITE(TMessage& msg);
    virtual void Do_FD_ACCEPT(TMessage& msg);
    virtual void Do_FD_CLOSE(TMessage& msg);
    virtual void DupConnected();

public:
    virtual void Connect();
    // Shuts the sending side down and closes; OnSessionClosed once per connection. Data still in
    // the send queue is not sent: call Flush first to get it out.
    virtual void Close();
    // Close from the message loop.
    virtual void CloseDelayed();
    // Frees the component from the message loop: the safe way to free it from its own event.
    virtual void Release();
    // Drops the connection: the peer sees a reset.
    virtual void Abort();
    // Waits, running the message pump, until the send queue is empty.
    virtual void Flush();
    // Waits, running the message pump, until the connection is closed.
    virtual void WaitForClose();
    virtual void Listen();
    virtual Winsock::SOCKET Accept();
    virtual int Receive(void* Buffer, int BufferSize);
    virtual std::string ReceiveStr();
    virtual int ReceiveFrom(void* Buffer, int BufferSize, Winsock::sockaddr& From, int& FromLen);
    // Queues the data and sends what the system takes; returns Len, or -1 when not connected.
    virtual int Send(const void* Data, int Len);
    virtual int SendTo(const Winsock::sockaddr& Dest, int DestLen, const void* Data, int Len);
    virtual int SendStr(const std::string& Str);
    virtual void DnsLookup(const std::string& HostName);
    virtual void ReverseDnsLookup(const std::string& HostAddr);
    virtual void CancelDnsLookup();
    virtual std::string GetPeerAddr();
    virtual std::string GetPeerPort();
    virtual int GetPeerName(Winsock::sockaddr_in& Name, int NameLen);
    virtual std::string GetXPort();
    virtual std::string GetXAddr();
    virtual bool TimerIsSet(const Winsock::timeval& tvp);
    virtual void TimerClear(Winsock::timeval& tvp);
    virtual bool TimerCmp(const Winsock::timeval& tvp, const Winsock::timeval& uvp, bool IsEqual);
    virtual int GetSockName(Winsock::sockaddr_in& saddr, int& saddrlen);
    // Takes over a connected socket (from another component's Accept).
    virtual void Dup(Winsock::SOCKET NewHSocket);
    virtual void Shutdown(int How);
    virtual void Pause();
    virtual void Resume();
    virtual void MessagePump();

    // --- Further operations --------------------------------------------------------------------

    void SendText(const std::string& Str) { SendStr(Str); }
    // Queues without sending; Send(nullptr, 0) sends what was queued.
    void PutDataInSendBuffer(const void* Data, int Len);
    void PutStringInSendBuffer(const std::string& Str);
    int PeekData(void* Buffer, int BufferSize);
    void DeleteBufferedData();

    // Moving the component to another thread: ThreadDetach in the thread that owns it, then
    // ThreadAttach in the new one, which runs MessageLoop or its own message loop.
    void ThreadAttach();
    void ThreadDetach();
    // One message of the thread; true when there was one. On the GUI thread: one pass of the
    // whole event processing.
    bool ProcessMessage();
    void ProcessMessages();
    // Runs the thread's messages until a quit message.
    void MessageLoop();

    // --- Properties --------------------------------------------------------------------------

    const std::string& Addr() const { return FAddrStr; }
    void SetAddr(const std::string& InAddr);
    const std::string& Port() const { return FPortStr; }
    void SetPort(const std::string& Value) { SetRemotePort(Value); }
    const std::string& Proto() const { return FProtoStr; }
    const std::string& LocalAddr() const { return FLocalAddr; }
    void SetLocalAddr(const std::string& sLocalAddr);
    const std::string& LocalPort() const { return FLocalPortStr; }
    void SetLocalPort(const std::string& sLocalPort);
    // "error" unless connected.
    std::string PeerAddr() { return GetPeerAddr(); }
    std::string PeerPort() { return GetPeerPort(); }
    const std::string& DnsResult() const { return FDnsResult; }
    TStrings* DnsResultList() const { return FDnsResultList.get(); }
    TSocketState State() const { return FState; }
    std::int64_t ReadCount() const { return FReadCount; }
    int RcvdCount() { return GetRcvdCount(); }
    int LastError() const { return FLastError; }
    Winsock::SOCKET HSocket() const { return FHSocket; }
    HWND Handle() const { return FWindowHandle; }
    bool AllSent() const { return FAllSent; }

    bool MultiThreaded() const { return FMultiThreaded; }
    void SetMultiThreaded(bool Value) { FMultiThreaded = Value; }
    bool MultiCast() const { return FMultiCast; }
    void SetMultiCast(bool Value) { FMultiCast = Value; }
    const std::string& MultiCastAddrStr() const { return FMultiCastAddrStr; }
    void SetMultiCastAddrStr(const std::string& Value) { FMultiCastAddrStr = Value; }
    int MultiCastIpTTL() const { return FMultiCastIpTTL; }
    void SetMultiCastIpTTL(int Value) { FMultiCastIpTTL = Value; }
    bool ReuseAddr() const { return FReuseAddr; }
    void SetReuseAddr(bool Value) { FReuseAddr = Value; }
    TWSocketOptions ComponentOptions() const { return FComponentOptions; }
    void SetComponentOptions(TWSocketOptions Value) { FComponentOptions = Value; }
    int ListenBacklog() const { return FListenBacklog; }
    void SetListenBacklog(int Value) { FListenBacklog = Value; }
    // The socket library's version, one for the whole program; it cannot change once the
    // library is loaded.
    BYTE ReqVerLow() const;
    void SetReqVerLow(BYTE Value);
    BYTE ReqVerHigh() const;
    void SetReqVerHigh(BYTE Value);
    int FlushTimeout() const { return FFlushTimeout; }
    void SetFlushTimeout(int Value) { FFlushTimeout = Value; }
    TSocketSendFlags SendFlags();
    void SetSendFlags(TSocketSendFlags newValue);
    TSocketLingerOnOff LingerOnOff() const { return FLingerOnOff; }
    void SetLingerOnOff(TSocketLingerOnOff Value) { FLingerOnOff = Value; }
    int LingerTimeout() const { return FLingerTimeout; }
    void SetLingerTimeout(int Value) { FLingerTimeout = Value; }

    TDataAvailable OnDataAvailable;
    TDataSent OnDataSent;
    TSendData OnSendData;
    TSessionClosed OnSessionClosed;
    TSessionAvailable OnSessionAvailable;
    TSessionConnected OnSessionConnected;
    TChangeState OnChangeState;
    TDnsLookupDone OnDnsLookupDone;
    TNotifyEvent OnError;
    TBgExceptionEvent OnBgException;
    TDebugDisplay OnDisplay;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

    void ChangeState(TSocketState NewState);
    // Reports the system's last error for FunctionName: "Error <n> in function <name>" CR LF and
    // its description. A reset or a lost connection closes the socket at once.
    void SocketError(const std::string& sockfunc);
    void TriggerDisplay(const std::string& Msg);
    void TriggerSendData(int BytesSent);
    void SetLingerOption();
    // The receive loop of a data or close event.
    void ASyncReceive(WORD Error, TWSocketOptions MySocketOptions);

    std::string FDnsResult;
    std::unique_ptr<TStringList> FDnsResultList;
    int FSendFlags = 0;
    int FLastError = 0;
    HWND FWindowHandle = nullptr;
    // The answer of the asynchronous look-up is packed here, pointers included.
    alignas(8) char FDnsLookupBuffer[Winsock::MAXGETHOSTSTRUCT + 1] = {};
    bool FDnsLookupCheckMsg = false;
    TMessage FDnsLookupTmpMsg;
    Winsock::SOCKET FHSocket = Winsock::INVALID_SOCKET;
    Winsock::SOCKET FASocket = Winsock::INVALID_SOCKET;
    std::string FAddrStr;
    bool FAddrResolved = false;
    int FAddrFormat = Winsock::PF_INET;
    bool FAddrAssigned = false;
    int FProto = Winsock::IPPROTO_TCP;
    bool FProtoAssigned = true;
    bool FProtoResolved = false;
    bool FLocalPortResolved = false;
    std::string FProtoStr = "tcp";
    std::string FPortStr;
    bool FPortAssigned = false;
    bool FPortResolved = false;
    int FPortNum = 0;
    std::string FLocalPortStr = "0";
    int FLocalPortNum = 0;
    std::string FLocalAddr = "0.0.0.0";
    // LocalAddr as Connect resolved it (network order).
    Winsock::u_long FLocalAddrNum = Winsock::INADDR_ANY;
    int FType = Winsock::SOCK_STREAM;
    // The send queue: blocks of FBufSize bytes, sent from the front.
    std::deque<std::unique_ptr<TBuffer>> FBufList;
    int FBufSize = 1460;
    TSocketLingerOnOff FLingerOnOff = wsLingerOn;
    int FLingerTimeout = 0;
    int FListenBacklog = 5;
    bool FAllSent = true;
    std::int64_t FReadCount = 0;
    bool FPaused = false;
    // True once OnSessionClosed was fired for the current connection.
    bool FCloseInvoked = false;
    int FFlushTimeout = 60;
    bool FMultiThreaded = false;
    HANDLE FDnsLookupHandle = nullptr;
    bool FMultiCast = false;
    std::string FMultiCastAddrStr;
    int FMultiCastIpTTL = 1;
    bool FReuseAddr = false;
    TWSocketOptions FComponentOptions;
    TSocketState FState = wsClosed;
    // Set when the message pump met a quit message.
    bool FTerminated = false;
    long FSelectEvent = 0;
    // The event being handled by the dispatcher, 0 outside it.
    WORD FSelectMessage = 0;
    DWORD FThreadId = 0;
    Winsock::sockaddr_in FSin{};

private:
    void WMASyncSelect(TMessage& msg);
    void WMAsyncGetHostByName(TMessage& msg);
    void WMAsyncGetHostByAddr(TMessage& msg);
    // Closes the handle at once and drops the notices of it still queued for the window, so that
    // a socket that later gets the same number never sees them.
    void ForgetSocket();
    void DiscardSocketNotices();
    // SocketError, and the socket closed even when the report raises.
    void SocketErrorAndClose(const std::string& sockfunc);
    // The last error set to 10022 and reported for sockfunc.
    void InvalidArgument(const std::string& sockfunc);
    // Blocks until a message arrives or a second has passed.
    void WaitForMessages();
    void ReadBackLocalPort();
    bool ResolveForListen();
};
