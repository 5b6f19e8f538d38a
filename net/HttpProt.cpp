// The unit's text functions and the requesting half of THttpCli: starting a request, connecting,
// composing and sending it, the states, authentication and relocation control, aborting and the
// synchronous wait. Receiving the response is in HttpProtReceive.cpp.

#include "net/HttpProt.h"

#include "net/MimeUtil.h"
#include "net/QuzUrl.h"
#include "platform/gui/Application.h"
#include "platform/gui/MessageQueue.h"
#include "platform/os/SystemInfo.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace HttpProtUnit {

const char* const WeekDayNames = "MonTueWedThuFriSatSun";
const char* const MonthNames = "JanFebMarAprMayJunJulAugSepOctNovDec";

// The error OnRequestDone gives for a request that the client itself ended ("Connection aborted").
constexpr WORD ConnectionAborted = 10053;
// The error OnRequestDone gives after Abort.
constexpr WORD AbortedOnRequest = 3;

char UUCharacter(unsigned value) { return value == 0 ? '`' : static_cast<char>(32 + value); }

std::string UULine(const unsigned char* data, int size)
{
    std::string text;
    // The count of a line is 1 to 64; a longer run wraps.
    text += static_cast<char>(32 + (size > 0 ? (size - 1) % 64 + 1 : 0));
    for (int i = 0; i < size; i += 3) {
        std::uint32_t group = 0;
        for (int k = 0; k < 3; ++k)
            group = (group << 8) | (i + k < size ? data[i + k] : 0u);
        for (int shift = 18; shift >= 0; shift -= 6)
            text += UUCharacter((group >> shift) & 63);
    }
    return text;
}

// The number at a fixed position of a text; 0 when the field is missing or no number.
int NumberAt(const std::string& text, int index, int count)
{
    int value = 0;
    return TryStrToInt(Trim(Copy(text, index, count)), value) ? value : 0;
}

// The local time's offset from UTC now, in days.
double LocalOffsetDays()
{
    TIME_ZONE_INFORMATION zone{};
    const DWORD period = GetTimeZoneInformation(&zone);
    const LONG bias = zone.Bias + (period == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : zone.StandardBias);
    return -bias / 1440.0;
}

bool IsRequestWithBody(THttpRequest request) { return request == httpPOST || request == httpPUT; }

} // namespace HttpProtUnit

// --- The unit's text functions -------------------------------------------------------------------

namespace HttpProt {

std::string EncodeLine(THttpEncoding Encoding, const void* SrcData, int Size)
{
    const auto* bytes = static_cast<const unsigned char*>(SrcData);
    if (!bytes || Size < 0)
        Size = 0;
    if (Encoding == encUUEncode)
        return HttpProtUnit::UULine(bytes, Size);
    if (Size == 0)
        return std::string();
    return Base64Encode(std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(Size)));
}

std::string EncodeStr(THttpEncoding Encoding, const std::string& Value)
{
    return EncodeLine(Encoding, Value.data(), static_cast<int>(Value.size()));
}

std::string RFC1123_Date(TDateTime aDate)
{
    const long long days = static_cast<long long>(std::trunc(aDate));
    const long long weekDay = ((days - 2) % 7 + 7) % 7;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
    DecodeDate(aDate, year, month, day);
    DecodeTime(aDate, hour, minute, second, msec);
    char text[64];
    std::snprintf(text, sizeof text, "%.3s, %02d %.3s %04d %02d:%02d:%02d", HttpProtUnit::WeekDayNames + weekDay * 3,
                  day, HttpProtUnit::MonthNames + (month - 1) * 3, year, hour, minute, second);
    return text;
}

TDateTime RFC1123_StrToDate(const std::string& aDate)
{
    using HttpProtUnit::NumberAt;
    const int day = NumberAt(aDate, 6, 2);
    const int month = (Pos(Copy(aDate, 9, 3), HttpProtUnit::MonthNames) + 2) / 3;
    const int year = NumberAt(aDate, 13, 4);
    const int hour = NumberAt(aDate, 18, 2);
    const int minute = NumberAt(aDate, 21, 2);
    const int second = NumberAt(aDate, 24, 2);
    // Before 1899 the time counts away from zero, as everywhere in the class library's dates.
    TDateTime result = EncodeDate(year, month, day);
    ReplaceTime(result, EncodeTime(hour, minute, second, 0));
    return result;
}

void ReplaceExt(std::string& FName, const std::string& newExt)
{
    const std::size_t dot = FName.rfind('.');
    if (dot == std::string::npos)
        FName += "." + newExt;
    else
        FName = FName.substr(0, dot + 1) + newExt;
}

} // namespace HttpProt

// --- Life ------------------------------------------------------------------------------------

THttpCli::THttpCli(TComponent* AOwner)
    : TComponent(AOwner), FAuthOffers(std::make_unique<TStringList>()), FRcvdHeader(std::make_unique<TStringList>())
{
    FWindowHandle = AllocateHWnd([this](TMessage& Message) { WndProc(Message); });
}

THttpCli::~THttpCli()
{
    if (FCtrlSocket) {
        // The socket tells nothing more to a client being destroyed.
        FCtrlSocket->OnSessionClosed = nullptr;
        FCtrlSocket->OnDataAvailable = nullptr;
        FCtrlSocket->OnSessionConnected = nullptr;
        FCtrlSocket->OnDataSent = nullptr;
        FCtrlSocket->OnDnsLookupDone = nullptr;
        FCtrlSocket->OnError = nullptr;
        TComponent::Free(FCtrlSocket);
        FCtrlSocket = nullptr;
    }
    DeallocateHWnd(FWindowHandle);
}

TWSocket* THttpCli::CreateSocket() { return new TWSocket(this); }

TWSocket* THttpCli::CtrlSocket()
{
    if (!FCtrlSocket) {
        FCtrlSocket = CreateSocket();
        FCtrlSocket->SetMultiThreaded(FMultiThreaded);
        HookSocketEvents(FCtrlSocket);
    }
    return FCtrlSocket;
}

void THttpCli::HookSocketEvents(TWSocket* Socket)
{
    Socket->OnSessionClosed = [this](TObject* Sender, WORD Error) {
        if (FCloseStartsRelocation)
            LocationSessionClosed(Sender, Error);
        else
            SocketSessionClosed(Sender, Error);
    };
    Socket->OnDataAvailable = [this](TObject* Sender, WORD Error) { SocketDataAvailable(Sender, Error); };
    Socket->OnSessionConnected = [this](TObject* Sender, WORD Error) { SocketSessionConnected(Sender, Error); };
    Socket->OnDataSent = [this](TObject* Sender, WORD Error) { SocketDataSent(Sender, Error); };
    Socket->OnDnsLookupDone = [this](TObject* Sender, WORD Error) { SocketDNSLookupDone(Sender, Error); };
    Socket->OnSocksError = [this](TObject* Sender, int Error, const std::string& Msg) {
        DoSocksError(Sender, Error, Msg);
    };
    Socket->OnSocksConnected = [this](TObject* Sender, WORD Error) { DoSocksConnected(Sender, Error); };
    Socket->OnSocksAuthState = [this](TObject* Sender, TSocksAuthState AuthState) {
        DoSocksAuthState(Sender, AuthState);
    };
    Socket->OnError = [this](TObject* Sender) { SocketErrorTransfer(Sender); };
}

void THttpCli::WithSocketErrorsRaised(const std::function<void()>& Action)
{
    TWSocket* socket = CtrlSocket();
    TNotifyEvent held = std::move(socket->OnError);
    socket->OnError = nullptr;
    try {
        Action();
    } catch (...) {
        socket->OnError = std::move(held);
        throw;
    }
    socket->OnError = std::move(held);
}

// --- The hidden window -------------------------------------------------------------------------

void THttpCli::WndProc(TMessage& MsgRec)
{
    switch (MsgRec.Msg) {
    case WM_HTTP_REQUEST_DONE:
        WMHttpRequestDone(MsgRec);
        break;
    case WM_HTTP_SET_READY:
        WMHttpSetReady(MsgRec);
        break;
    case WM_HTTP_LOGIN:
        WMHttpLogin(MsgRec);
        break;
    default:
        MsgRec.Result = DefWindowProcA(FWindowHandle, MsgRec.Msg, MsgRec.WParam, MsgRec.LParam);
        break;
    }
}

void THttpCli::WMHttpRequestDone(TMessage&)
{
    FRequestDonePending = false;
    if (OnRequestDone)
        OnRequestDone(this, FRequestType, FRequestDoneError);
}

void THttpCli::WMHttpSetReady(TMessage&) { StateChange(httpReady); }

void THttpCli::WMHttpLogin(TMessage&)
{
    // An Abort in between cancelled the restart.
    if (!FRestartPending)
        return;
    FRestartPending = false;
    Login();
}

void THttpCli::TriggerRequestDone()
{
    FRequestDonePending = true;
    PostMessageA(FWindowHandle, WM_HTTP_REQUEST_DONE, 0, 0);
}

void THttpCli::SetReady() { PostMessageA(FWindowHandle, WM_HTTP_SET_READY, 0, 0); }

void THttpCli::PostRestart()
{
    FRestartPending = true;
    PostMessageA(FWindowHandle, WM_HTTP_LOGIN, 0, 0);
}

bool THttpCli::RequestRunning() const { return FState != httpReady || FRestartPending; }

// --- Properties --------------------------------------------------------------------------------

void THttpCli::SetRequestVer(const std::string& Value)
{
    if (Value == FRequestVer)
        return;
    if (Value != "1.0" && Value != "1.1")
        RAISE(EHttpException("Insupported HTTP version", 5));
    FRequestVer = Value;
}

void THttpCli::SetMultiThreaded(bool Value)
{
    FMultiThreaded = Value;
    if (FCtrlSocket)
        FCtrlSocket->SetMultiThreaded(Value);
}

void THttpCli::SetSocksLevel(const std::string& Value)
{
    const std::string level = UpperCase(Value);
    if (level != "4" && level != "4A" && level != "5")
        RAISE(ESocketException("Invalid socks level. Must be 4, 4A or 5."));
    FSocksLevel = level;
}

// --- Requests ----------------------------------------------------------------------------------

void THttpCli::Get() { DoRequestSync(httpGET); }
void THttpCli::Head() { DoRequestSync(httpHEAD); }
void THttpCli::Post() { DoRequestSync(httpPOST); }
void THttpCli::Put() { DoRequestSync(httpPUT); }
void THttpCli::Close() { DoRequestSync(httpCLOSE); }
void THttpCli::GetASync() { DoRequestAsync(httpGET); }
void THttpCli::HeadASync() { DoRequestAsync(httpHEAD); }
void THttpCli::PostASync() { DoRequestAsync(httpPOST); }
void THttpCli::PutASync() { DoRequestAsync(httpPUT); }
void THttpCli::CloseAsync() { DoRequestAsync(httpCLOSE); }

void THttpCli::DoRequestAsync(THttpRequest Rq)
{
    if (Rq != httpCLOSE && RequestRunning())
        RAISE(EHttpException("HTTP component is busy", 1));
    if (HttpProtUnit::IsRequestWithBody(Rq) && (!FSendStream || FSendStream->Position() >= FSendStream->Size()))
        RAISE(EHttpException("HTTP component has nothing to post or put", 2));

    FRequestType = Rq;
    FRequestMade = true;
    if (Rq == httpCLOSE) {
        FStatusCode = 200;
        FReasonPhrase = "OK";
        FRequestDoneError = 0;
        StateChange(httpClosing);
        if (CtrlSocket()->State() == wsClosed)
            SetReady();
        else
            CtrlSocket()->CloseDelayed();
        return;
    }

    FRelocationCount = 0;
    InternalClear();
    std::string proto, user, pass, host, port, path;
    QuzUrl::ParseURL(FURL, proto, user, pass, host, port, path);
    FTargetHost = host;
    FProtocol = proto;
    FDocName = path;
    if (!user.empty())
        FUsername = user;
    if (!pass.empty())
        FPassword = pass;
    if (FProxy.empty()) {
        FPath = path;
        FHostName = host;
        FPort = port.empty() ? "80" : port;
    } else {
        FPath = (proto.empty() ? std::string("http") : proto) + "://" + host + (port.empty() ? "" : ":" + port) + path;
        std::string proxyProto, proxyUser, proxyPass, proxyHost, proxyPort, proxyPath;
        QuzUrl::ParseURL(FProxy, proxyProto, proxyUser, proxyPass, proxyHost, proxyPort, proxyPath);
        FHostName = proxyHost;
        FPort = proxyPort.empty() ? FProxyPort : proxyPort;
        FProxyConnectPort = FPort;
    }
    // The part after "#" names a place inside the document: it is not sent.
    FPath = FPath.substr(0, FPath.find('#'));
    if (FPath.empty())
        FPath = "/";
    AdjustDocName();

    // There is no TLS here: an https document would go out in clear text.
    if (proto == "https") {
        FailRequest("https not supported");
        return;
    }

    TWSocket* socket = CtrlSocket();
    if (socket->State() == wsConnected && FHostName == FCurrentHost && FPort == FCurrentPort &&
        FProtocol == FCurrentProtocol && !FStrayBytes) {
        SocketSessionConnected(this, 0);
        return;
    }
    if (socket->State() != wsClosed)
        socket->Abort();
    StateChange(httpNotConnected);
    Login();
}

void THttpCli::InternalClear()
{
    FRcvdHeader->Clear();
    FRequestDoneError = 0;
    FDocName.clear();
    FStatusCode = 0;
    FReasonPhrase.clear();
    FRcvdCount = 0;
    FSentCount = 0;
    FHeaderLineCount = 0;
    FBodyLineCount = 0;
    FContentType.clear();
    FTransferEncoding.clear();
    FAllowedToSend = false;
    FAuthOffers->Clear();
    FContentLength = -1;
    FLocation = FURL;
    FCloseReq = FRequestVer == "1.0";
}

void THttpCli::DoRequestSync(THttpRequest Rq)
{
    DoRequestAsync(Rq);
    WaitForRequestEnd();
    if (FStatusCode >= 400 && FStatusCode != 401 && FStatusCode != 407)
        RAISE(EHttpException(FReasonPhrase, static_cast<WORD>(FStatusCode)));
}

void THttpCli::WaitForRequestEnd()
{
    // The request is over once it is ready, no restart is coming and OnRequestDone has fired.
    while (RequestRunning() || FRequestDonePending) {
        // Sleeps until a message, a socket notice or a timer is due, or a second has passed.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1000, QS_ALLINPUT);
        if (FMultiThreaded)
            CtrlSocket()->ProcessMessages();
        else
            Application->ProcessMessages();
        if (Application->Terminated()) {
            Abort();
            break;
        }
    }
}

// --- Connecting --------------------------------------------------------------------------------

void THttpCli::Login()
{
    FCloseStartsRelocation = false;
    TWSocket* socket = CtrlSocket();
    if (socket->State() == wsConnected && !FStrayBytes) {
        SocketSessionConnected(this, 0);
        return;
    }
    if (socket->State() != wsClosed)
        socket->Abort();
    FDnsResult.clear();
    StateChange(httpDnsLookup);
    try {
        socket->SetLocalAddr(FLocalAddr);
        WithSocketErrorsRaised([&] { socket->DnsLookup(FHostName); });
    } catch (Exception& E) {
        FStatusCode = 404;
        FReasonPhrase = E.Message;
        FConnected = false;
        StateChange(httpReady);
    }
}

void THttpCli::Logout()
{
    CtrlSocket()->Close();
    FConnected = false;
}

void THttpCli::SocketDNSLookupDone(TObject* Sender, WORD Error)
{
    if (Error != 0) {
        if (FState == httpAborting)
            return;
        FRequestDoneError = Error;
        FStatusCode = 404;
        FReasonPhrase = "can't resolve hostname to IP address";
        SocketSessionClosed(Sender, Error);
        return;
    }
    FDnsResult = CtrlSocket()->DnsResult();
    StateChange(httpDnsLookupDone);
    if (FAuthBasicState == basicDone)
        FAuthBasicState = basicNone;
    if (FProxyAuthBasicState == basicDone) {
        FProxyAuthBasicState = basicNone;
        FAuthBasicState = basicNone;
    }
    TWSocket* socket = CtrlSocket();
    try {
        WithSocketErrorsRaised([&] {
            DoBeforeConnect();
            FCurrentHost = FHostName;
            FCurrentPort = FPort;
            FCurrentProtocol = FProtocol;
            socket->Connect();
        });
    } catch (Exception&) {
        const int error = socket->LastError() != 0 ? socket->LastError() : Winsock::WSAEINVAL;
        FRequestDoneError = static_cast<WORD>(error);
        FStatusCode = 404;
        FReasonPhrase = "can't connect: " + WSocketErrorDesc(error) + " (Error #" + IntToStr(error) + ")";
        // A socket that was opened tells its own close.
        const bool opened = socket->State() != wsClosed;
        socket->Close();
        if (!opened)
            SocketSessionClosed(Sender, static_cast<WORD>(error));
    }
}

void THttpCli::DoBeforeConnect()
{
    TWSocket* socket = CtrlSocket();
    socket->SetAddr(FDnsResult);
    socket->SetLocalAddr(FLocalAddr);
    socket->SetPort(FPort);
    socket->SetProto("tcp");
    // The socket forgets its SOCKS settings at every close: they come from the client each time.
    socket->SetSocksServer(FSocksServer);
    socket->SetSocksLevel(FSocksLevel);
    socket->SetSocksPort(FSocksPort);
    socket->SetSocksUsercode(FSocksUsercode);
    socket->SetSocksPassword(FSocksPassword);
    socket->SetSocksAuthentication(FSocksAuthentication);
}

void THttpCli::SocketSessionConnected(TObject*, WORD Error)
{
    if (Error != 0) {
        FRequestDoneError = Error;
        FStatusCode = 404;
        FReasonPhrase = WSocketErrorDesc(Error) + " (Error #" + IntToStr(Error) + ")";
        TriggerSessionConnected();
        return;
    }
    FLocationFlag = false;
    FConnected = true;
    StateChange(httpConnected);
    TriggerSessionConnected();
    if (FState != httpConnected)
        return;

    // A new response begins.
    FNext = nextHeaderLine;
    FHeaderLineCount = 0;
    FBodyLineCount = 0;
    FHeaderPending = false;
    FResponseComplete = false;
    FStrayBytes = false;
    FReceiveLen = 0;
    FCloseReq = FRequestVer == "1.0";
    FChunkLength = 0;
    FChunkRcvd = 0;
    FChunkState = httpChunkGetSize;

    StateChange(httpWaitingHeader);
    try {
        switch (FRequestType) {
        case httpPOST:
            SendRequest("POST", FRequestVer);
            break;
        case httpPUT:
            SendRequest("PUT", FRequestVer);
            break;
        case httpHEAD:
            SendRequest("HEAD", FRequestVer);
            break;
        default:
            SendRequest("GET", FRequestVer);
            break;
        }
        if (HttpProtUnit::IsRequestWithBody(FRequestType)) {
            TriggerSendBegin();
            FAllowedToSend = true;
            SocketDataSent(this, 0);
        }
    } catch (Exception& E) {
        FailRequest(E.Message);
    }
}

// --- Sending -----------------------------------------------------------------------------------

void THttpCli::SendRequest(const std::string& Method, const std::string& Version)
{
    FRequestStream.clear();
    TriggerRequestHeaderBegin();
    const bool withBody = HttpProtUnit::IsRequestWithBody(FRequestType);
    TStringList headers;
    headers.Add(Method + " " + FPath + " HTTP/" + Version);
    if (!FSender.empty())
        headers.Add("From: " + FSender);
    if (!FAccept.empty())
        headers.Add("Accept: " + FAccept);
    if (!FReference.empty())
        headers.Add("Referer: " + FReference);
    if (!FConnection.empty())
        headers.Add("Connection: " + FConnection);
    if (!FProxyConnection.empty())
        headers.Add("Proxy-Connection: " + FProxyConnection);
    if (!FAcceptLanguage.empty())
        headers.Add("Accept-Language: " + FAcceptLanguage);
    if (withBody && !FContentTypePost.empty())
        headers.Add("Content-Type: " + FContentTypePost);
    if (!FAgent.empty())
        headers.Add("User-Agent: " + FAgent);
    headers.Add("Host: " + FTargetHost);
    if (FNoCache)
        headers.Add("Pragma: no-cache");
    if (withBody && FSendStream)
        headers.Add("Content-Length: " + IntToStr(FSendStream->Size() - FSendStream->Position()));
    if (FModifiedSince != 0)
        headers.Add("If-Modified-Since: " +
                    HttpProt::RFC1123_Date(FModifiedSince - HttpProtUnit::LocalOffsetDays()) + " GMT");
    if (FCurrentAuthType == basicAuthNormal && FAuthBasicState == basicMsg1)
        headers.Add("Authorization: Basic " + HttpProt::EncodeStr(encBase64, FUsername + ":" + FPassword));
    else if (FCurrentAuthType == basicAuthProxy && FProxyAuthBasicState == basicMsg1)
        headers.Add("Proxy-Authorization: Basic " +
                    HttpProt::EncodeStr(encBase64, FProxyUsername + ":" + FProxyPassword));
    if (!FCookie.empty())
        headers.Add("Cookie: " + FCookie);
    if (!FContentRangeBegin.empty() || !FContentRangeEnd.empty()) {
        headers.Add("Range: bytes=" + FContentRangeBegin + "-" + FContentRangeEnd);
        FContentRangeBegin.clear();
        FContentRangeEnd.clear();
    }
    FAcceptRanges.clear();
    TriggerBeforeHeaderSend(Method, &headers);
    for (int i = 0; i < headers.Count(); ++i)
        SendCommand(headers.Strings(i));
    TriggerRequestHeaderEnd();
    SendCommand("");
    // The head leaves as one piece.
    TWSocket* socket = CtrlSocket();
    socket->PutDataInSendBuffer(FRequestStream.data(), static_cast<int>(FRequestStream.size()));
    FRequestStream.clear();
    socket->Send(nullptr, 0);
}

void THttpCli::SendCommand(const std::string& Cmd)
{
    std::string line = Cmd;
    if (OnCommand)
        OnCommand(this, line);
    FRequestStream += line;
    FRequestStream += "\r\n";
}

void THttpCli::SocketDataSent(TObject*, WORD)
{
    if (!FAllowedToSend)
        return;
    const int count = FSendStream ? FSendStream->Read(FSendBuffer, SendBufferSize) : 0;
    if (count <= 0) {
        FAllowedToSend = false;
        TriggerSendEnd();
        return;
    }
    FSentCount += count;
    TriggerSendData(FSendBuffer, count);
    CtrlSocket()->Send(FSendBuffer, count);
}

// --- States and the end of a request -----------------------------------------------------------

void THttpCli::StateChange(THttpState NewState)
{
    if (FState == NewState)
        return;
    FState = NewState;
    TriggerStateChange();
    if (NewState == httpReady && !PrepareBasicAuth())
        TriggerRequestDone();
}

bool THttpCli::PrepareBasicAuth()
{
    if (FOptions.Contains(httpoNoBasicAuth))
        return false;
    if (FAuthBasicState == basicMsg1 && FStatusCode != 401)
        FAuthBasicState = basicDone;
    else if (FAuthBasicState == basicDone && FStatusCode == 401)
        FAuthBasicState = basicNone;
    if (FProxyAuthBasicState == basicMsg1 && FStatusCode != 407) {
        FProxyAuthBasicState = basicDone;
    } else if (FProxyAuthBasicState == basicDone && FStatusCode == 407) {
        FProxyAuthBasicState = basicNone;
        FAuthBasicState = basicNone;
    }
    auto offersBasic = [this] {
        for (int i = FAuthOffers->Count() - 1; i >= 0; --i)
            if (FAuthOffers->Strings(i).compare(0, 5, "Basic") == 0)
                return true;
        return false;
    };
    if (FStatusCode == 401 && !FUsername.empty() && !FPassword.empty() && offersBasic()) {
        StartAuthBasic();
        return true;
    }
    if (FStatusCode == 407 && !FProxyUsername.empty() && !FProxyPassword.empty() && offersBasic()) {
        StartProxyAuthBasic();
        return true;
    }
    return false;
}

void THttpCli::StartAuthBasic() { StartBasicRetry(basicAuthNormal, FAuthBasicState, "Unexpected AuthBasicState"); }

void THttpCli::StartProxyAuthBasic()
{
    StartBasicRetry(basicAuthProxy, FProxyAuthBasicState, "Unexpected ProxyAuthBasicState");
}

void THttpCli::StartBasicRetry(TBasicAuthType Type, THttpBasicState& AuthState, const char* UnexpectedText)
{
    if (AuthState == basicNone) {
        FCurrentAuthType = Type;
        CleanupRcvdStream();
        CleanupSendStream();
        FReceiveLen = 0;
        const std::string docName = FDocName;
        InternalClear();
        FDocName = docName;
        AuthState = basicMsg1;
        PostRestart();
    } else if (AuthState == basicMsg1) {
        // The credentials were refused again: the caller gets the 401 or 407.
        FAuthOffers->Clear();
        AuthState = basicNone;
        TriggerRequestDone();
    } else {
        RAISE(EHttpException(UnexpectedText, 6));
    }
}

void THttpCli::CleanupRcvdStream()
{
    if (!FRcvdStream || FRcvdCount <= 0)
        return;
    if (auto* file = dynamic_cast<TFileStream*>(FRcvdStream)) {
        const std::int64_t keep = std::max<std::int64_t>(0, file->Size() - FRcvdCount);
        file->SetPosition(keep);
        file->SetSize(keep);
    } else if (auto* memory = dynamic_cast<TMemoryStream*>(FRcvdStream)) {
        memory->SetSize(std::max<std::int64_t>(0, memory->Size() - FRcvdCount));
    }
}

void THttpCli::CleanupSendStream()
{
    if (FSendStream && FSentCount > 0)
        FSendStream->Seek(-FSentCount, soCurrent);
}

// --- Relocation --------------------------------------------------------------------------------

void THttpCli::StartRelocation()
{
    FHeaderLineCount = 0;
    FBodyLineCount = 0;
    FReceiveLen = 0;
    if (CtrlSocket()->State() == wsConnected && FCurrentHost == FHostName && FCurrentPort == FPort &&
        FCurrentProtocol == FProtocol && !FCloseReq && !FStrayBytes) {
        TriggerLocationChange();
        // What the relocation answer wrote into the stream is not the document.
        CleanupRcvdStream();
        CleanupSendStream();
        const std::string location = FLocation;
        InternalClear();
        FLocation = location;
        FDocName = FPath;
        AdjustDocName();
        if (FRequestType == httpPOST)
            FRequestType = httpGET;
        PostRestart();
        return;
    }
    FCloseStartsRelocation = true;
    CtrlSocket()->CloseDelayed();
}

void THttpCli::LocationSessionClosed(TObject*, WORD)
{
    FCloseStartsRelocation = false;
    const std::size_t hash = FLocation.find('#');
    if (hash != std::string::npos)
        FLocation.erase(hash);
    std::string proto, user, pass, host, port, path;
    QuzUrl::ParseURL(FLocation, proto, user, pass, host, port, path);
    FDocName = path;
    AdjustDocName();
    FConnected = false;
    FLocationFlag = false;
    if (FRequestType == httpPOST)
        FRequestType = httpGET;
    TriggerLocationChange();
    FRcvdHeader->Clear();
    FHeaderLineCount = 0;
    FBodyLineCount = 0;
    FContentType.clear();
    FStatusCode = 0;
    FTransferEncoding.clear();
    FContentLength = -1;
    if (!FProxy.empty())
        FPort = FProxyConnectPort;
    CleanupRcvdStream();
    FRcvdCount = 0;
    CleanupSendStream();
    FSentCount = 0;
    PostRestart();
}

// --- The end of a connection -------------------------------------------------------------------

void THttpCli::SocketSessionClosed(TObject* Sender, WORD Error)
{
    if (Error != 0)
        FRequestDoneError = Error;
    FConnected = false;
    if (ResponseCutShort())
        MarkFailure("Connection closed before end of document");
    if (FHeaderPending) {
        TriggerHeaderEnd();
        if (FLocationFlag) {
            LocationSessionClosed(Sender, Error);
            return;
        }
    } else {
        if (FBodyLineCount > 0) {
            FBodyLineCount = 0;
            TriggerDocEnd();
        }
        if (FLocationFlag) {
            LocationSessionClosed(Sender, Error);
            return;
        }
    }
    TriggerSessionClosed();
    if (FState != httpReady)
        SetReady();
}

void THttpCli::MarkFailure(const std::string& Reason)
{
    FStatusCode = 404;
    FReasonPhrase = Reason;
    FRequestDoneError = HttpProtUnit::ConnectionAborted;
    FLocationFlag = false;
    FRestartPending = false;
    FNext = nextNone;
    FReceiveLen = 0;
}

void THttpCli::FailRequest(const std::string& Reason)
{
    MarkFailure(Reason);
    StateChange(httpAborting);
    if (FCtrlSocket && FCtrlSocket->State() != wsClosed)
        FCtrlSocket->Abort();
    StateChange(httpReady);
}

void THttpCli::Abort()
{
    if (!RequestRunning()) {
        if (FCtrlSocket && FCtrlSocket->State() != wsClosed)
            FCtrlSocket->Abort();
        FStatusCode = 200;
        FReasonPhrase = "OK";
        FRequestDoneError = 0;
        FState = httpReady;
        TriggerStateChange();
        if (OnRequestDone)
            OnRequestDone(this, FRequestType, 0);
        return;
    }
    FRestartPending = false;
    FLocationFlag = false;
    const bool lookingUp = FState == httpDnsLookup;
    StateChange(httpAborting);
    if (lookingUp) {
        try {
            CtrlSocket()->CancelDnsLookup();
        } catch (...) {
        }
    }
    FStatusCode = 404;
    FReasonPhrase = "Connection aborted on request";
    FRequestDoneError = HttpProtUnit::AbortedOnRequest;
    if (lookingUp)
        SocketSessionClosed(this, 0);
    else
        CtrlSocket()->Close();
    StateChange(httpReady);
}

// --- Document name -----------------------------------------------------------------------------

void THttpCli::AdjustDocName()
{
    const std::size_t query = FDocName.find('?');
    if (query != std::string::npos)
        FDocName.erase(query);
    if (FDocName.empty() || FDocName.back() == '/') {
        FDocName = "document.htm";
        return;
    }
    const std::size_t slash = FDocName.rfind('/');
    FDocName = FDocName.substr(slash == std::string::npos ? 0 : slash + 1, 255);
    // The name comes from the server and the caller creates a file by it: no folder separator,
    // drive letter or control character may reach the file system.
    for (char& c : FDocName) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == ':' || byte < 32 || byte == 127)
            c = '_';
    }
    if (FDocName.empty() || FDocName == "." || FDocName == "..")
        FDocName = "document.htm";
}

// --- Events ------------------------------------------------------------------------------------

void THttpCli::TriggerStateChange()
{
    if (OnStateChange)
        OnStateChange(this);
}

void THttpCli::TriggerCookie(const std::string& Data, bool& bAccept)
{
    if (OnCookie)
        OnCookie(this, Data, bAccept);
}

void THttpCli::TriggerSessionConnected()
{
    if (OnSessionConnected)
        OnSessionConnected(this);
}

void THttpCli::TriggerSessionClosed()
{
    if (OnSessionClosed)
        OnSessionClosed(this);
}

void THttpCli::TriggerBeforeHeaderSend(const std::string& Method, TStrings* Headers)
{
    if (OnBeforeHeaderSend)
        OnBeforeHeaderSend(this, Method, Headers);
}

void THttpCli::TriggerRequestHeaderBegin()
{
    if (OnRequestHeaderBegin)
        OnRequestHeaderBegin(this);
}

void THttpCli::TriggerRequestHeaderEnd()
{
    if (OnRequestHeaderEnd)
        OnRequestHeaderEnd(this);
}

void THttpCli::TriggerHeaderBegin()
{
    FHeaderPending = true;
    if (OnHeaderBegin)
        OnHeaderBegin(this);
}

void THttpCli::TriggerHeaderEnd()
{
    FHeaderPending = false;
    if (OnHeaderEnd)
        OnHeaderEnd(this);
}

void THttpCli::TriggerDocBegin()
{
    if (OnDocBegin)
        OnDocBegin(this);
}

void THttpCli::TriggerDocData(const void* Data, int Len)
{
    if (OnDocData)
        OnDocData(this, Data, Len);
}

void THttpCli::TriggerDocEnd()
{
    if (OnDocEnd)
        OnDocEnd(this);
}

void THttpCli::TriggerSendBegin()
{
    if (OnSendBegin)
        OnSendBegin(this);
}

void THttpCli::TriggerSendData(const void* Data, int Len)
{
    if (OnSendData)
        OnSendData(this, Data, Len);
}

void THttpCli::TriggerSendEnd()
{
    if (OnSendEnd)
        OnSendEnd(this);
}

void THttpCli::TriggerLocationChange()
{
    if (OnLocationChange)
        OnLocationChange(this);
}

void THttpCli::DoSocksConnected(TObject* Sender, WORD Error)
{
    if (OnSocksConnected)
        OnSocksConnected(Sender, Error);
}

void THttpCli::DoSocksAuthState(TObject* Sender, TSocksAuthState AuthState)
{
    if (OnSocksAuthState)
        OnSocksAuthState(Sender, AuthState);
}

void THttpCli::DoSocksError(TObject* Sender, int Error, const std::string& Msg)
{
    if (OnSocksError)
        OnSocksError(Sender, Error, Msg);
}

void THttpCli::SocketErrorTransfer(TObject*)
{
    if (OnSocketError)
        OnSocketError(this);
}
