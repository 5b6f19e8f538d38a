#pragma once
// THttpCli: the HTTP/1.0 and 1.1 client over a TWSocket it owns. It gets, posts, puts and asks for
// the head of documents, directly, through an HTTP proxy or through a SOCKS proxy; keeps the
// connection when the server allows it; answers 401 and 407 with basic authentication; follows
// relocations; decodes chunked bodies and writes the body into the caller's stream.
//
// Nothing blocks by default: GetASync, PostASync, ... start the request and return; every step is
// told by an event and the end by OnRequestDone, which is posted, so a new request may start from
// it. Get, Post, ... run the same request and wait for it, running the thread's messages (timers
// and other components go on working) without keeping a processor busy; they raise EHttpException
// for a final status of 400 or more other than 401 and 407.
//
// Failures found by the client itself (a cut response, a relocation loop, a bad chunk size, an
// exception while the response is received, an https URL) end the request with StatusCode 404,
// their text in ReasonPhrase and the error 10053 in OnRequestDone; the connection is dropped.
//
// The socket is made by CreateSocket on first use, so that a derived class's CreateSocket is the
// one that runs.

#include "net/WSocket.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Sets.h"
#include "platform/rtl/Streams.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

enum THttpRequest { httpABORT, httpGET, httpPOST, httpPUT, httpHEAD, httpCLOSE };
enum THttpState {
    httpReady,
    httpNotConnected,
    httpConnected,
    httpDnsLookup,
    httpDnsLookupDone,
    httpWaitingHeader,
    httpWaitingBody,
    httpBodyReceived,
    httpWaitingProxyConnect,
    httpClosing,
    httpAborting
};
enum THttpChunkState { httpChunkGetSize, httpChunkGetExt, httpChunkGetData, httpChunkSkipDataEnd, httpChunkDone };
enum THttpBasicState { basicNone, basicMsg1, basicDone };
enum TBasicAuthType { basicAuthProxy, basicAuthNormal };
enum THttpEncoding { encUUEncode, encBase64, encMime };
enum THttpCliOption { httpoNoBasicAuth, httpoNoNTLMAuth };
using THttpCliOptions = TSet<THttpCliOption>;

// A misuse (codes 1 busy, 2 nothing to post, 5 version, 6 authentication state) or the failing
// status of a synchronous request (the status is the code).
class EHttpException : public Exception {
    TESS_CLASS(EHttpException, Exception)
public:
    EHttpException(const std::string& Msg, WORD ErrCode) : Exception(Msg), ErrorCode(ErrCode) {}
    WORD ErrorCode;
};

using TOnCommand = std::function<void(TObject* Sender, std::string& S)>;
using TDocDataEvent = std::function<void(TObject* Sender, const void* Buffer, int Len)>;
using TCookieRcvdEvent = std::function<void(TObject* Sender, const std::string& Data, bool& Accept)>;
using THttpRequestDone = std::function<void(TObject* Sender, THttpRequest RqType, WORD ErrCode)>;
using TBeforeHeaderSendEvent = std::function<void(TObject* Sender, const std::string& Method, TStrings* Headers)>;

// The messages of the client's hidden window.
constexpr UINT WM_HTTP_REQUEST_DONE = WM_USER + 1;
constexpr UINT WM_HTTP_SET_READY = WM_USER + 2;
constexpr UINT WM_HTTP_LOGIN = WM_USER + 3;

// The unit's text functions.
namespace HttpProt {

// Base64 (encBase64, encMime: no line breaks) or one UU line (encUUEncode: the count character,
// then the data) of Size bytes.
std::string EncodeLine(THttpEncoding Encoding, const void* SrcData, int Size);
std::string EncodeStr(THttpEncoding Encoding, const std::string& Value);
// "Mon, 01 Jan 2001 00:00:00": the date as it is, without " GMT" and without conversion.
std::string RFC1123_Date(TDateTime aDate);
// Reads the fixed positions of an RFC 1123 date; missing or non-numeric fields count as 0, and
// an impossible date or time raises EConvertError.
TDateTime RFC1123_StrToDate(const std::string& aDate);
// Replaces the text after the last "." by newExt, or appends "." and newExt.
void ReplaceExt(std::string& FName, const std::string& newExt);

} // namespace HttpProt

class THttpCli : public TComponent {
    TESS_CLASS(THttpCli, TComponent)
public:
    explicit THttpCli(TComponent* AOwner);
    ~THttpCli() override;

    // --- Requests ----------------------------------------------------------------------------

    void Get();
    void Head();
    void Post();
    void Put();
    void Close();
    void GetASync();
    void HeadASync();
    void PostASync();
    void PutASync();
    void CloseAsync();
    // Stops the running request (OnRequestDone with 3, StatusCode 404 "Connection aborted on
    // request"); while idle it drops a kept connection and tells OnRequestDone at once with 0.
    void Abort();

    // --- The virtual operations, in their order ----------------------------------------------

protected:
    virtual TWSocket* CreateSocket();
    virtual void DoBeforeConnect();
    virtual void SendRequest(const std::string& Method, const std::string& Version);
    virtual void GetHeaderLineNext();
    virtual void GetBodyLineNext();
    virtual void SendCommand(const std::string& Cmd);
    virtual void Login();
    virtual void Logout();
    virtual void InternalClear();
    virtual void StartRelocation();
    virtual void StartAuthBasic();
    virtual void StartProxyAuthBasic();
    virtual void SocketDNSLookupDone(TObject* Sender, WORD Error);
    virtual void SocketSessionClosed(TObject* Sender, WORD Error);
    virtual void SocketSessionConnected(TObject* Sender, WORD Error);
    virtual void SocketDataSent(TObject* Sender, WORD Error);
    virtual void SocketDataAvailable(TObject* Sender, WORD Error);
    virtual void LocationSessionClosed(TObject* Sender, WORD Error);
    virtual void DoRequestAsync(THttpRequest Rq);
    virtual void DoRequestSync(THttpRequest Rq);

public:
    virtual void SetMultiThreaded(bool Value);

protected:
    virtual void StateChange(THttpState NewState);
    virtual void TriggerStateChange();
    virtual void TriggerCookie(const std::string& Data, bool& bAccept);
    virtual void TriggerSessionConnected();
    virtual void TriggerSessionClosed();
    virtual void TriggerBeforeHeaderSend(const std::string& Method, TStrings* Headers);
    virtual void TriggerRequestHeaderBegin();
    virtual void TriggerRequestHeaderEnd();
    virtual void TriggerHeaderBegin();
    virtual void TriggerHeaderEnd();
    virtual void TriggerDocBegin();
    virtual void TriggerDocData(const void* Data, int Len);
    virtual void TriggerDocEnd();
    virtual void TriggerSendBegin();
    virtual void TriggerSendData(const void* Data, int Len);
    virtual void TriggerSendEnd();
    virtual void TriggerRequestDone();
    virtual void WndProc(TMessage& MsgRec);
    virtual void SetReady();
    virtual void AdjustDocName();

public:
    // --- Properties --------------------------------------------------------------------------

    const std::string& URL() const { return FURL; }
    void SetURL(const std::string& Value) { FURL = Value; }
    const std::string& LocalAddr() const { return FLocalAddr; }
    void SetLocalAddr(const std::string& Value) { FLocalAddr = Value; }
    // An HTTP proxy: a host, "host:port" or a URL; without a port ProxyPort is used.
    const std::string& Proxy() const { return FProxy; }
    void SetProxy(const std::string& Value) { FProxy = Value; }
    const std::string& ProxyPort() const { return FProxyPort; }
    void SetProxyPort(const std::string& Value) { FProxyPort = Value; }
    const std::string& Sender() const { return FSender; }
    void SetSender(const std::string& Value) { FSender = Value; }
    const std::string& Agent() const { return FAgent; }
    void SetAgent(const std::string& Value) { FAgent = Value; }
    const std::string& Accept() const { return FAccept; }
    void SetAccept(const std::string& Value) { FAccept = Value; }
    const std::string& AcceptLanguage() const { return FAcceptLanguage; }
    void SetAcceptLanguage(const std::string& Value) { FAcceptLanguage = Value; }
    const std::string& Reference() const { return FReference; }
    void SetReference(const std::string& Value) { FReference = Value; }
    const std::string& Connection() const { return FConnection; }
    void SetConnection(const std::string& Value) { FConnection = Value; }
    const std::string& ProxyConnection() const { return FProxyConnection; }
    void SetProxyConnection(const std::string& Value) { FProxyConnection = Value; }
    const std::string& Username() const { return FUsername; }
    void SetUsername(const std::string& Value) { FUsername = Value; }
    const std::string& Password() const { return FPassword; }
    void SetPassword(const std::string& Value) { FPassword = Value; }
    const std::string& ProxyUsername() const { return FProxyUsername; }
    void SetProxyUsername(const std::string& Value) { FProxyUsername = Value; }
    const std::string& ProxyPassword() const { return FProxyPassword; }
    void SetProxyPassword(const std::string& Value) { FProxyPassword = Value; }
    bool NoCache() const { return FNoCache; }
    void SetNoCache(bool Value) { FNoCache = Value; }
    // Local time; sent in UTC. 0: not sent.
    TDateTime ModifiedSince() const { return FModifiedSince; }
    void SetModifiedSince(TDateTime Value) { FModifiedSince = Value; }
    const std::string& Cookie() const { return FCookie; }
    void SetCookie(const std::string& Value) { FCookie = Value; }
    const std::string& ContentTypePost() const { return FContentTypePost; }
    void SetContentTypePost(const std::string& Value) { FContentTypePost = Value; }
    const std::string& ContentRangeBegin() const { return FContentRangeBegin; }
    void SetContentRangeBegin(const std::string& Value) { FContentRangeBegin = Value; }
    const std::string& ContentRangeEnd() const { return FContentRangeEnd; }
    void SetContentRangeEnd(const std::string& Value) { FContentRangeEnd = Value; }
    const std::string& AcceptRanges() const { return FAcceptRanges; }
    bool MultiThreaded() const { return FMultiThreaded; }
    // "1.0" or "1.1"; anything else raises EHttpException("Insupported HTTP version", 5).
    const std::string& RequestVer() const { return FRequestVer; }
    void SetRequestVer(const std::string& Value);
    bool FollowRelocation() const { return FFollowRelocation; }
    void SetFollowRelocation(bool Value) { FFollowRelocation = Value; }
    THttpCliOptions Options() const { return FOptions; }
    void SetOptions(THttpCliOptions Value) { FOptions = Value; }

    // The SOCKS proxy: kept by the client and given to the socket before each connection.
    const std::string& SocksServer() const { return FSocksServer; }
    void SetSocksServer(const std::string& Value) { FSocksServer = Value; }
    // "4", "4A" or "5"; anything else raises ESocketException.
    const std::string& SocksLevel() const { return FSocksLevel; }
    void SetSocksLevel(const std::string& Value);
    const std::string& SocksPort() const { return FSocksPort; }
    void SetSocksPort(const std::string& Value) { FSocksPort = Value; }
    const std::string& SocksUsercode() const { return FSocksUsercode; }
    void SetSocksUsercode(const std::string& Value) { FSocksUsercode = Value; }
    const std::string& SocksPassword() const { return FSocksPassword; }
    void SetSocksPassword(const std::string& Value) { FSocksPassword = Value; }
    TSocksAuthentication SocksAuthentication() const { return FSocksAuthentication; }
    void SetSocksAuthentication(TSocksAuthentication Value) { FSocksAuthentication = Value; }

    // What the last response told.
    int StatusCode() const { return FStatusCode; }
    const std::string& ReasonPhrase() const { return FReasonPhrase; }
    // The file name of the document: from the URL's last path part, made safe to create.
    const std::string& DocName() const { return FDocName; }
    std::int64_t RcvdCount() const { return FRcvdCount; }
    // -1 when the response gave none.
    std::int64_t ContentLength() const { return FContentLength; }
    const std::string& ContentType() const { return FContentType; }
    const std::string& Location() const { return FLocation; }
    TStrings* RcvdHeader() const { return FRcvdHeader.get(); }
    // Not owned: the body is written into it when assigned (also from OnDocBegin).
    TStream* RcvdStream() const { return FRcvdStream; }
    void SetRcvdStream(TStream* Value) { FRcvdStream = Value; }
    // Not owned: the body of POST and PUT, from its position to its end.
    TStream* SendStream() const { return FSendStream; }
    void SetSendStream(TStream* Value) { FSendStream = Value; }
    THttpState State() const { return FState; }
    TWSocket* CtrlSocket();

    // --- Events ------------------------------------------------------------------------------

    // Never fired.
    TNotifyEvent OnTrace;
    TNotifyEvent OnSessionConnected;
    TNotifyEvent OnSessionClosed;
    TNotifyEvent OnHeaderData;
    TOnCommand OnCommand;
    TNotifyEvent OnHeaderBegin;
    TNotifyEvent OnHeaderEnd;
    TNotifyEvent OnRequestHeaderBegin;
    TNotifyEvent OnRequestHeaderEnd;
    TNotifyEvent OnDocBegin;
    TDocDataEvent OnDocData;
    TNotifyEvent OnDocEnd;
    TNotifyEvent OnSendBegin;
    TDocDataEvent OnSendData;
    TNotifyEvent OnSendEnd;
    TNotifyEvent OnStateChange;
    THttpRequestDone OnRequestDone;
    TNotifyEvent OnLocationChange;
    TCookieRcvdEvent OnCookie;
    TDataAvailable OnDataPush;
    TNotifyEvent OnDataPush2;
    TSessionConnected OnSocksConnected;
    TSocksAuthStateEvent OnSocksAuthState;
    TSocksErrorEvent OnSocksError;
    TNotifyEvent OnSocketError;
    TBeforeHeaderSendEvent OnBeforeHeaderSend;

protected:
    // Which parser gets the next response line or data.
    enum TNextStep { nextNone, nextHeaderLine, nextBodyData };

    static constexpr int ReceiveBufferSize = 8193;
    // The most a line may fill; the rest of an overlong line is cut off.
    static constexpr int ReceiveLimit = 8190;
    static constexpr int SendBufferSize = 8193;
    static constexpr int MaxRelocations = 20;

    // Starts the retry with credentials that a 401 or 407 asks for; true when it did.
    bool PrepareBasicAuth();
    void WMHttpRequestDone(TMessage& msg);
    void WMHttpSetReady(TMessage& msg);
    void WMHttpLogin(TMessage& msg);
    void CleanupRcvdStream();
    void CleanupSendStream();
    void DoSocksConnected(TObject* Sender, WORD Error);
    void DoSocksAuthState(TObject* Sender, TSocksAuthState AuthState);
    void DoSocksError(TObject* Sender, int Error, const std::string& Msg);
    void SocketErrorTransfer(TObject* Sender);

    void TriggerLocationChange();

    // Ends the running request as a failure found by the client: StatusCode 404, Reason as the
    // phrase, OnRequestDone with 10053, the connection dropped.
    void FailRequest(const std::string& Reason);
    // The same outcome for a request whose connection is already closed.
    void MarkFailure(const std::string& Reason);
    // The same request again with the credentials of Type, or, when they were refused already,
    // the end of the request.
    void StartBasicRetry(TBasicAuthType Type, THttpBasicState& AuthState, const char* UnexpectedText);
    // Posts the restart of the request (after a relocation or for authentication).
    void PostRestart();
    bool RequestRunning() const;
    // A handler ended the request (Abort) while the response was being handled.
    bool Stopped() const { return FState == httpReady || FState == httpAborting; }

    // --- Receiving ------------------------------------------------------------------------------

    void ReceiveResponse(WORD Error);
    // Receives behind what the buffer holds; the bytes added, 0 for none.
    int ReceiveIntoBuffer();
    // Takes the first line of the buffer into FLastResponse; false when no line is complete.
    bool TakeLine();
    void ConsumeBuffer(int count);
    // Hands what the buffer holds to the body receiver, at most the rest of ContentLength.
    void HandHeldBytesToBody();
    // After the body receiver ran: when the body is over, the relocation starts or the request
    // ends, unless the connection is to close (the close ends it then).
    void ContinueAfterBody();
    void ParseStatusLine(const std::string& Line);
    void ParseHeaderField(const std::string& Line);
    void EndOfHead();
    void NoteRelocation(const std::string& Value);
    void SetRelocationTarget(const std::string& Value);
    void SetProxiedRelocationTarget(const std::string& Value);
    void ReceiveChunked(const char* Data, int Len);
    void DeliverBody(const char* Data, int Len);
    void EndOfBody();
    bool Chunked() const;
    // The connection closed before the response was complete.
    bool ResponseCutShort() const;
    // Bytes that came after the complete response: dropped, and the connection is not used again.
    void DropStrayBytes();

    std::unique_ptr<TStringList> FAuthOffers;
    std::unique_ptr<TStringList> FRcvdHeader;

    TWSocket* FCtrlSocket = nullptr;
    HWND FWindowHandle = nullptr;
    bool FMultiThreaded = false;
    THttpState FState = httpReady;
    std::string FLocalAddr = "0.0.0.0";
    // Where the socket connects: the target host, or the proxy.
    std::string FHostName;
    // The document's server, for "Host:".
    std::string FTargetHost;
    std::string FPort;
    std::string FProtocol;
    std::string FProxy;
    std::string FProxyPort = "80";
    // The port of the proxy for this request: the one Proxy names, else ProxyPort.
    std::string FProxyConnectPort;
    std::string FUsername;
    std::string FPassword;
    std::string FProxyUsername;
    std::string FProxyPassword;
    std::string FLocation;
    // The host, port and protocol of the open connection.
    std::string FCurrentHost;
    std::string FCurrentPort;
    std::string FCurrentProtocol;
    bool FConnected = false;
    std::string FDnsResult;
    char FSendBuffer[SendBufferSize] = {};
    THttpRequest FRequestType = httpGET;
    bool FRequestMade = false;
    char FReceiveBuffer[ReceiveBufferSize] = {};
    int FReceiveLen = 0;
    std::string FLastResponse;
    int FHeaderLineCount = 0;
    int FBodyLineCount = 0;
    bool FAllowedToSend = false;
    std::string FURL;
    // The path of the request line: the document's path, or its absolute URL through a proxy.
    std::string FPath;
    std::string FDocName;
    std::string FSender;
    std::string FReference;
    std::string FConnection;
    std::string FProxyConnection;
    std::string FAgent = "Mozilla/4.0 (compatible; QUZ)";
    std::string FAccept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
    std::string FAcceptLanguage;
    TDateTime FModifiedSince = 0;
    bool FNoCache = false;
    int FStatusCode = 0;
    std::string FReasonPhrase;
    // The request head being built.
    std::string FRequestStream;
    std::string FResponseVer;
    std::string FRequestVer = "1.0";
    std::int64_t FContentLength = -1;
    std::string FContentType;
    std::string FTransferEncoding;
    std::int64_t FChunkLength = 0;
    std::int64_t FChunkRcvd = 0;
    THttpChunkState FChunkState = httpChunkGetSize;
    std::string FContentTypePost = "application/x-www-form-urlencoded";
    std::string FContentRangeBegin;
    std::string FContentRangeEnd;
    std::string FAcceptRanges;
    std::string FCookie;
    bool FLocationFlag = false;
    bool FFollowRelocation = true;
    // Relocations of this request so far.
    int FRelocationCount = 0;
    bool FHeaderPending = false;
    TStream* FRcvdStream = nullptr;
    std::int64_t FRcvdCount = 0;
    std::int64_t FSentCount = 0;
    TStream* FSendStream = nullptr;
    WORD FRequestDoneError = 0;
    TNextStep FNext = nextNone;
    const char* FBodyData = nullptr;
    int FBodyDataLen = 0;
    THttpCliOptions FOptions;
    THttpBasicState FAuthBasicState = basicNone;
    THttpBasicState FProxyAuthBasicState = basicNone;
    TBasicAuthType FCurrentAuthType = basicAuthNormal;
    bool FCloseReq = false;
    // The response to the current request is complete (a close is no longer a cut).
    bool FResponseComplete = false;
    // Bytes came after a complete response: the connection is not used for another request.
    bool FStrayBytes = false;
    // The socket's close ends a relocation instead of the request.
    bool FCloseStartsRelocation = false;
    bool FRestartPending = false;
    bool FRequestDonePending = false;

    std::string FSocksServer;
    std::string FSocksLevel = "5";
    std::string FSocksPort;
    std::string FSocksUsercode;
    std::string FSocksPassword;
    TSocksAuthentication FSocksAuthentication = socksNoAuthentication;

private:
    void HookSocketEvents(TWSocket* Socket);
    // Runs Action with the socket's OnError held back, so that the failures of a look-up or a
    // connect that cannot start raise and end the request instead of leaving it waiting.
    void WithSocketErrorsRaised(const std::function<void()>& Action);
    void WaitForRequestEnd();
};
