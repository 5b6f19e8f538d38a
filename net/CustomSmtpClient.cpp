#include "net/SmtpProt.h"

#include "platform/gui/MessageQueue.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace CustomSmtpClientUnit {

// The longest body line the caller's OnGetData may give.
constexpr int MaxLineLen = 1023;
// A header line's buffer for OnHeaderLine holds at least this many bytes.
constexpr int HeaderLineBufferSize = 1024;
// Encoded words of RFC 2047 are at most this long.
constexpr std::size_t MaxEncodedWord = 75;

const char* const LineBreakInArgument = "500 Line break in command argument.";
const char* const AuthNotDetermined = "500 Authentication Type could not be determined.";

// One address of a list cut at "," and ";" outside double quotes.
struct TAddressPiece {
    std::string Text; // trimmed
    bool EndedAtSeparator;
};

std::vector<TAddressPiece> SplitAddressList(const std::string& value)
{
    std::vector<TAddressPiece> pieces;
    std::size_t at = 0;
    while (at < value.size()) {
        if (value[at] == ' ') {
            ++at;
            continue;
        }
        std::size_t scan = at;
        bool quoted = false;
        bool separator = false;
        for (; scan < value.size(); ++scan) {
            const char c = value[scan];
            if (c == '"')
                quoted = !quoted;
            else if (!quoted && (c == ',' || c == ';')) {
                separator = true;
                break;
            }
        }
        pieces.push_back({Trim(value.substr(at, scan - at)), separator});
        at = scan + 1;
    }
    return pieces;
}

bool HasLineBreak(const std::string& value) { return value.find_first_of("\r\n") != std::string::npos; }

// A header value on one line: CR and LF become blanks.
std::string OneLine(std::string value)
{
    std::replace(value.begin(), value.end(), '\r', ' ');
    std::replace(value.begin(), value.end(), '\n', ' ');
    return value;
}

bool IsAscii(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Windows-1252 when the text uses the letters that ISO 8859-1 lacks (the euro sign among them).
std::string CharSetFor(const std::string& text, const std::string& charSet)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 && byte <= 0x9F)
            return "windows-1252";
    }
    return charSet;
}

// The text as RFC 2047 "Q" encoded words, folded with CR LF and a blank between them.
std::string EncodeWords(const std::string& text, const std::string& charSet)
{
    static const char hexDigits[] = "0123456789ABCDEF";
    const std::string prefix = "=?" + charSet + "?Q?";
    const std::size_t room = std::max<std::size_t>(
        MaxEncodedWord > prefix.size() + 2 ? MaxEncodedWord - prefix.size() - 2 : 0, 3);
    std::string result;
    std::string word;
    auto flush = [&] {
        if (!result.empty())
            result += "\r\n ";
        result += prefix + word + "?=";
        word.clear();
    };
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        std::string token;
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
            (c != '\0' && std::strchr("!*+-/", c) != nullptr))
            token = c;
        else if (c == ' ')
            token = "_";
        else
            token = {'=', hexDigits[byte >> 4], hexDigits[byte & 15]};
        if (!word.empty() && word.size() + token.size() > room)
            flush();
        word += token;
    }
    if (!word.empty())
        flush();
    return result;
}

// One address with its display name encoded when that name is not plain ASCII; the address part
// is never touched.
std::string EncodeAddress(const std::string& address, const std::string& charSet)
{
    if (IsAscii(address))
        return address;
    const std::size_t open = address.rfind('<');
    if (open == std::string::npos)
        return address;
    std::string name = Trim(address.substr(0, open));
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
        name = name.substr(1, name.size() - 2);
    if (name.empty() || IsAscii(name))
        return address;
    return EncodeWords(name, charSet) + " " + address.substr(open);
}

// A list of addresses with their display names encoded where needed.
std::string EncodeAddresses(const std::string& value, const std::string& charSet)
{
    if (IsAscii(value))
        return value;
    std::string result;
    for (const TAddressPiece& piece : SplitAddressList(value)) {
        if (piece.Text.empty())
            continue;
        if (!result.empty())
            result += ", ";
        result += EncodeAddress(piece.Text, charSet);
    }
    return result;
}

std::string LowerHex(const std::string& bytes)
{
    static const char hexDigits[] = "0123456789abcdef";
    std::string text;
    for (const char c : bytes) {
        text += hexDigits[static_cast<unsigned char>(c) >> 4];
        text += hexDigits[static_cast<unsigned char>(c) & 15];
    }
    return text;
}

std::string DescribeException(const std::exception& E)
{
    if (const auto* exception = dynamic_cast<const Exception*>(&E))
        return exception->ClassName() + ": " + exception->Message;
    return std::string("Exception: ") + E.what();
}

// A refused reply's code as the request's result; a reply without a usable code counts as 500,
// never as success.
int RefusalResult(int statusCode) { return statusCode > 0 && statusCode <= 0xFFFF ? statusCode : 500; }

} // namespace CustomSmtpClientUnit

// --- Life -------------------------------------------------------------------------------------

TCustomSmtpClient::TCustomSmtpClient(TComponent* AOwner) : TComponent(AOwner)
{
    FWSocket = std::make_unique<TWSocket>(nullptr);
    Initialize();
}

TCustomSmtpClient::TCustomSmtpClient(TComponent* AOwner, std::unique_ptr<TWSocket> Socket)
    : TComponent(AOwner), FWSocket(std::move(Socket))
{
    Initialize();
}

void TCustomSmtpClient::Initialize()
{
    FWindowHandle = AllocateHWnd([this](TMessage& Message) { WndProc(Message); });
    FWSocket->OnSessionClosed = [this](TObject* Sender, WORD Error) { WSocketSessionClosed(Sender, Error); };
    FRcptName = std::make_unique<TStringList>();
    FMailMessage = std::make_unique<TStringList>();
    FAuthTypesSupported = std::make_unique<TStringList>();
}

TCustomSmtpClient::~TCustomSmtpClient()
{
    Destroying();
    EndFileEncBase64(FFileStream);
    FWSocket->OnSessionClosed = nullptr;
    FWSocket->OnSessionConnected = nullptr;
    FWSocket->OnDataAvailable = nullptr;
    FWSocket->OnDataSent = nullptr;
    FWSocket->OnDnsLookupDone = nullptr;
    FWSocket.reset();
    if (FWindowHandle)
        DeallocateHWnd(FWindowHandle);
}

void TCustomSmtpClient::ThreadAttach()
{
    FWSocket->ThreadAttach();
    FWindowHandle = AllocateHWnd([this](TMessage& Message) { WndProc(Message); });
}

void TCustomSmtpClient::ThreadDetach()
{
    FWSocket->ThreadDetach();
    if (FWindowHandle)
        DeallocateHWnd(FWindowHandle);
    FWindowHandle = nullptr;
}

// --- Properties -------------------------------------------------------------------------------

TSmtpShareMode TCustomSmtpClient::ShareMode() const
{
    switch (FShareMode) {
    case fmShareCompat:
        return smtpShareCompat;
    case fmShareExclusive:
        return smtpShareExclusive;
    case fmShareDenyRead:
        return smtpShareDenyRead;
    case fmShareDenyNone:
        return smtpShareDenyNone;
    default:
        return smtpShareDenyWrite;
    }
}

void TCustomSmtpClient::SetShareMode(TSmtpShareMode Value)
{
    static const WORD flags[] = {fmShareCompat, fmShareExclusive, fmShareDenyWrite, fmShareDenyRead, fmShareDenyNone};
    FShareMode = flags[Value];
}

void TCustomSmtpClient::SetRcptName(TStrings* Value)
{
    FRcptName->Clear();
    if (Value)
        FRcptName->AddStrings(Value);
}

void TCustomSmtpClient::SetMailMessage(TStrings* Value)
{
    FMailMessage->Clear();
    if (Value)
        FMailMessage->AddStrings(Value);
}

void TCustomSmtpClient::SetContentTypeValue(TSmtpContentType Value)
{
    if (Value == FContentType)
        return;
    FContentType = Value;
    FContentTypeStr = Value == smtpPlainText ? "text/plain" : "text/html";
}

// --- Events -----------------------------------------------------------------------------------

void TCustomSmtpClient::TriggerDisplay(const std::string& Msg)
{
    if (OnDisplay)
        OnDisplay(this, Msg);
}

void TCustomSmtpClient::TriggerCommand(const std::string& Msg)
{
    if (OnCommand)
        OnCommand(this, Msg);
}

void TCustomSmtpClient::TriggerResponse(const std::string& Msg)
{
    if (FFctPrv == smtpFctEhlo)
        AuthGetType(Msg);
    if (OnResponse)
        OnResponse(this, Msg);
}

void TCustomSmtpClient::TriggerStateChange()
{
    if (OnStateChange)
        OnStateChange(this);
}

void TCustomSmtpClient::TriggerGetData(int LineNum, std::string& MsgLine, int MaxLen, bool& More)
{
    if (!OnGetData) {
        More = false;
        return;
    }
    std::string buffer(static_cast<std::size_t>(MaxLen) + 1, '\0');
    OnGetData(this, LineNum, buffer.data(), MaxLen, More);
    buffer.back() = '\0';
    MsgLine.assign(buffer.c_str());
}

void TCustomSmtpClient::TriggerHeaderLine(std::string& Line)
{
    if (!OnHeaderLine)
        return;
    std::string buffer = Line;
    buffer.resize(std::max<std::size_t>(CustomSmtpClientUnit::HeaderLineBufferSize, Line.size() + 1), '\0');
    OnHeaderLine(this, buffer.data(), static_cast<int>(buffer.size()));
    buffer.back() = '\0';
    Line.assign(buffer.c_str());
}

void TCustomSmtpClient::TriggerProcessHeader(TStrings* HdrLines)
{
    if (OnProcessHeader)
        OnProcessHeader(this, HdrLines);
}

void TCustomSmtpClient::TriggerSessionConnected(WORD Error)
{
    if (OnSessionConnected)
        OnSessionConnected(this, Error);
}

void TCustomSmtpClient::TriggerSessionClosed(WORD Error)
{
    if (OnSessionClosed)
        OnSessionClosed(this, Error);
}

void TCustomSmtpClient::TriggerRequestDone(WORD ErrorCode)
{
    if (FRequestDoneFlag)
        return;
    FRequestDoneFlag = true;
    if (FNextRequest) {
        if (FState != smtpAbort)
            StateChange(smtpInternalReady);
        (this->*FNextRequest)();
        return;
    }
    StateChange(smtpReady);
    FHighLevelFlag = false;
    PostMessageA(FWindowHandle, WM_SMTP_REQUEST_DONE, 0, ErrorCode);
}

void TCustomSmtpClient::WndProc(TMessage& MsgRec)
{
    if (MsgRec.Msg == WM_SMTP_REQUEST_DONE)
        WMSmtpRequestDone(MsgRec);
    else
        MsgRec.Result = DefWindowProcA(FWindowHandle, MsgRec.Msg, MsgRec.WParam, MsgRec.LParam);
}

void TCustomSmtpClient::WMSmtpRequestDone(TMessage& Msg)
{
    if (OnRequestDone)
        OnRequestDone(this, FRequestType, static_cast<WORD>(Msg.LParam));
}

// --- The engine -------------------------------------------------------------------------------

void TCustomSmtpClient::StateChange(TSmtpState NewState)
{
    if (FState == NewState)
        return;
    FState = NewState;
    TriggerStateChange();
}

void TCustomSmtpClient::CheckReady()
{
    if (FState != smtpReady && FState != smtpInternalReady)
        RAISE(SmtpException("SMTP component not ready"));
}

void TCustomSmtpClient::DisplayLastResponse()
{
    if (OnDisplay)
        TriggerDisplay("< " + FLastResponse);
}

void TCustomSmtpClient::SetErrorMessage()
{
    if (FErrorMessage.empty())
        FErrorMessage = FLastResponse;
}

void TCustomSmtpClient::SendCommand(const std::string& Cmd)
{
    TriggerCommand(Cmd);
    TriggerDisplay("> " + Cmd);
    if (FWSocket->State() == wsConnected)
        FWSocket->SendStr(Cmd + "\r\n");
}

void TCustomSmtpClient::ExecAsync(TSmtpRequest RqType, const std::string& Cmd, std::initializer_list<int> OkResponses,
                                  TSmtpNextProc DoneAsync)
{
    CheckReady();
    if (!FConnected)
        RAISE(SmtpException("SMTP component not connected"));
    if (!FHighLevelFlag)
        FRequestType = RqType;
    FOkResponses.fill(0);
    std::copy_n(OkResponses.begin(), std::min<std::size_t>(OkResponses.size(), FOkResponses.size() - 1),
                FOkResponses.begin());
    FRequestDoneFlag = false;
    FNext = &TCustomSmtpClient::NextExecAsync;
    FDoneAsync = DoneAsync;
    StateChange(smtpWaitingResponse);
    SendCommand(Cmd);
}

void TCustomSmtpClient::ReadStatusCode(bool& Continuation)
{
    const std::string& line = FLastResponse;
    std::size_t at = 0;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t' || line[at] == '\r' || line[at] == '\n'))
        ++at;
    bool negative = false;
    if (at < line.size() && (line[at] == '+' || line[at] == '-'))
        negative = line[at++] == '-';
    int value = 0;
    for (; at < line.size() && line[at] >= '0' && line[at] <= '9'; ++at)
        if (value < 1000000)
            value = value * 10 + (line[at] - '0');
    FStatusCode = negative ? -value : value;
    Continuation = at < line.size() && line[at] == '-';
}

void TCustomSmtpClient::NextExecAsync()
{
    DisplayLastResponse();
    bool continuation = false;
    ReadStatusCode(continuation);
    // A reply of several lines is answered on its last one.
    if (continuation)
        return;
    bool accepted = false;
    for (const int code : FOkResponses) {
        if (code == 0)
            break;
        if (code == FStatusCode) {
            accepted = true;
            break;
        }
    }
    if (accepted) {
        FRequestResult = 0;
    } else {
        FRequestResult = CustomSmtpClientUnit::RefusalResult(FStatusCode);
        SetErrorMessage();
    }
    if (FDoneAsync)
        (this->*FDoneAsync)();
    else
        TriggerRequestDone(static_cast<WORD>(FRequestResult));
}

void TCustomSmtpClient::EndRequest(WORD Code, const std::string& Line, bool setLastResponse)
{
    if (!RequestOpen())
        return;
    if (setLastResponse) {
        FLastResponse = Line;
        FStatusCode = Code;
    }
    FErrorMessage = Line;
    FRequestResult = Code;
    FHighLevelResult = Code;
    FFctSet = TSmtpFctSet();
    FNextRequest = nullptr;
    FDoneAsync = nullptr;
    FNext = nullptr;
    FWSocket->OnDataSent = nullptr;
    EndFileEncBase64(FFileStream);
    FRequestDoneFlag = false;
    TriggerRequestDone(Code);
}

void TCustomSmtpClient::EndRequestAfterException(const std::exception& E)
{
    EndRequest(500, "500 " + CustomSmtpClientUnit::DescribeException(E));
}

void TCustomSmtpClient::EndStep(int Result)
{
    FRequestResult = Result;
    if (!FHighLevelFlag)
        FNextRequest = nullptr;
    FRequestDoneFlag = false;
    TriggerRequestDone(static_cast<WORD>(Result));
}

bool TCustomSmtpClient::RefuseLineBreak(const std::string& Value)
{
    if (!CustomSmtpClientUnit::HasLineBreak(Value))
        return false;
    FRequestDoneFlag = false;
    EndRequest(500, CustomSmtpClientUnit::LineBreakInArgument);
    return true;
}

// --- High-level requests ----------------------------------------------------------------------

void TCustomSmtpClient::Open()
{
    if (FAuthType == smtpAuthNone)
        HighLevelAsync(smtpOpen, {smtpFctConnect, smtpFctHelo});
    else
        HighLevelAsync(smtpOpen, {smtpFctConnect, smtpFctEhlo, smtpFctAuth});
}

void TCustomSmtpClient::Mail() { HighLevelAsync(smtpMail, {smtpFctMailFrom, smtpFctRcptTo, smtpFctData}); }

void TCustomSmtpClient::HighLevelAsync(TSmtpRequest RqType, TSmtpFctSet Fcts)
{
    if (FConnected && Fcts.Contains(smtpFctConnect))
        RAISE(SmtpException("SMTP component already connected"));
    CheckReady();
    FRequestType = RqType;
    FRequestResult = 0;
    FFctSet = Fcts;
    FFctPrv = smtpFctNone;
    FHighLevelResult = 0;
    FHighLevelFlag = true;
    FLastResponse.clear();
    FErrorMessage.clear();
    FRequestDoneFlag = false;

    // Nothing is sent when an argument of a step would break its command line.
    bool lineBreak = false;
    if (Fcts.Contains(smtpFctHelo) || Fcts.Contains(smtpFctEhlo))
        lineBreak = lineBreak || CustomSmtpClientUnit::HasLineBreak(GreetingName());
    if (Fcts.Contains(smtpFctMailFrom))
        lineBreak = lineBreak || CustomSmtpClientUnit::HasLineBreak(FFromName);
    if (Fcts.Contains(smtpFctRcptTo))
        for (int i = 0; i < FRcptName->Count(); ++i)
            lineBreak = lineBreak || CustomSmtpClientUnit::HasLineBreak(FRcptName->Strings(i));
    if (Fcts.Contains(smtpFctVrfy))
        lineBreak = lineBreak || CustomSmtpClientUnit::HasLineBreak(FHdrTo);
    if (lineBreak) {
        EndRequest(500, CustomSmtpClientUnit::LineBreakInArgument);
        return;
    }
    try {
        DoHighLevelAsync();
    } catch (const std::exception& E) {
        EndRequestAfterException(E);
    }
}

void TCustomSmtpClient::DoHighLevelAsync()
{
    if (FState == smtpAbort) {
        FFctSet = TSmtpFctSet();
        FHighLevelResult = 426;
        FRequestResult = 426;
        FErrorMessage = "426 Operation aborted.";
    }
    FNextRequest = &TCustomSmtpClient::DoHighLevelAsync;
    if (FRequestResult != 0) {
        // A refused EHLO: greet with HELO instead, without authentication.
        if (FFctPrv == smtpFctEhlo && FConnected && FState != smtpAbort) {
            FFctSet = {smtpFctHelo};
        } else {
            FHighLevelResult = FRequestResult;
            if (FFctSet.Contains(smtpFctQuit) && FFctPrv != smtpFctQuit)
                FFctSet = {smtpFctQuit};
            else
                FFctSet = TSmtpFctSet();
        }
    }
    static const std::pair<TSmtpFct, void (TCustomSmtpClient::*)()> steps[] = {
        {smtpFctConnect, &TCustomSmtpClient::Connect},   {smtpFctHelo, &TCustomSmtpClient::Helo},
        {smtpFctEhlo, &TCustomSmtpClient::Ehlo},         {smtpFctAuth, &TCustomSmtpClient::Auth},
        {smtpFctVrfy, &TCustomSmtpClient::Vrfy},         {smtpFctMailFrom, &TCustomSmtpClient::MailFrom},
        {smtpFctRcptTo, &TCustomSmtpClient::RcptTo},     {smtpFctData, &TCustomSmtpClient::Data},
        {smtpFctQuit, &TCustomSmtpClient::Quit},
    };
    for (const auto& [fct, operation] : steps) {
        if (!FFctSet.Contains(fct))
            continue;
        FFctSet.Exclude(fct);
        FFctPrv = fct;
        // Virtual: a derived class's Data runs.
        (this->*operation)();
        return;
    }
    FFctSet = TSmtpFctSet();
    FNextRequest = nullptr;
    FRequestDoneFlag = false;
    TriggerRequestDone(static_cast<WORD>(FHighLevelResult));
}

// --- Connecting -------------------------------------------------------------------------------

void TCustomSmtpClient::HookSocket()
{
    FWSocket->OnSessionConnected = [this](TObject* Sender, WORD Error) { WSocketSessionConnected(Sender, Error); };
    FWSocket->OnDataAvailable = [this](TObject* Sender, WORD Error) { WSocketDataAvailable(Sender, Error); };
}

void TCustomSmtpClient::Connect()
{
    CheckReady();
    if (FConnected)
        RAISE(SmtpException("SMTP component already connected"));
    if (!FHighLevelFlag)
        FRequestType = smtpConnect;
    FFctPrv = smtpFctConnect;
    FRequestDoneFlag = false;
    FReceiveLen = 0;
    FRequestResult = 0;
    FESmtpSupported = false;
    ClearErrorMessage();
    FLastResponse.clear();
    StateChange(smtpDnsLookup);
    FWSocket->OnDataSent = nullptr;
    FWSocket->OnDnsLookupDone = [this](TObject* Sender, WORD Error) { WSocketDnsLookupDone(Sender, Error); };
    try {
        FWSocket->DnsLookup(FHost);
    } catch (const std::exception& E) {
        EndRequestAfterException(E);
    }
}

void TCustomSmtpClient::WSocketDnsLookupDone(TObject*, WORD Error)
{
    try {
        if (Error != 0) {
            FLastResponse = "500 " + WSocketErrorDesc(Error) + " (Winsock error #" + IntToStr(Error) + ")";
            FStatusCode = 500;
            SetErrorMessage();
            FRequestResult = Error;
            TriggerSessionConnected(Error);
            TriggerSessionClosed(Error);
            TriggerRequestDone(Error);
            return;
        }
        FWSocket->SetAddr(FWSocket->DnsResult());
        FWSocket->SetLocalAddr(FLocalAddr);
        FWSocket->SetProto("tcp");
        FWSocket->SetPort(FPort);
        HookSocket();
        StateChange(smtpConnecting);
        try {
            FWSocket->Connect();
        } catch (const Exception& E) {
            FLastResponse = "500 " + E.ClassName() + ": " + E.Message;
            FStatusCode = 500;
            FRequestResult = 500;
            SetErrorMessage();
            // A failure without a socket error number is still a failure.
            const int error = FWSocket->LastError();
            TriggerRequestDone(static_cast<WORD>(error != 0 ? error : 500));
        }
    } catch (const std::exception& E) {
        EndRequestAfterException(E);
    }
}

void TCustomSmtpClient::WSocketSessionConnected(TObject*, WORD Error)
{
    try {
        if (Error == 0) {
            FConnected = true;
            StateChange(smtpWaitingBanner);
            return;
        }
        FLastResponse = "500 " + WSocketErrorDesc(Error) + " (Winsock error #" + IntToStr(Error) + ")";
        FStatusCode = 500;
        FConnected = false;
        // The request reports the socket's error number, inside Open too.
        FRequestResult = Error;
        SetErrorMessage();
        TriggerRequestDone(Error);
        FWSocket->Close();
        StateChange(smtpReady);
    } catch (const std::exception& E) {
        EndRequestAfterException(E);
    }
}

void TCustomSmtpClient::WSocketSessionClosed(TObject*, WORD Error)
{
    try {
        FConnected = false;
        FReceiveLen = 0;
        EndFileEncBase64(FFileStream);
        TriggerSessionClosed(Error);
        // Abort ends its request itself.
        if (FState == smtpAbort)
            return;
        if (FRequestType == smtpQuit && !FHighLevelFlag) {
            TriggerRequestDone(static_cast<WORD>(FRequestResult));
            return;
        }
        if (RequestOpen() && FRequestResult == 0)
            FRequestResult = 10004;
        TriggerRequestDone(10004);
    } catch (const std::exception& E) {
        EndRequestAfterException(E);
    }
}

// --- Replies ----------------------------------------------------------------------------------

void TCustomSmtpClient::WSocketDataAvailable(TObject*, WORD)
{
    try {
        const int room = static_cast<int>(FReceiveBuffer.size()) - FReceiveLen;
        if (room <= 0) {
            ReplyLineTooLong();
            return;
        }
        const int count = FWSocket->Receive(FReceiveBuffer.data() + FReceiveLen, room);
        if (count <= 0)
            return;
        FReceiveLen += count;
        ProcessReplyLines();
        if (FReceiveLen >= static_cast<int>(FReceiveBuffer.size()))
            ReplyLineTooLong();
    } catch (const std::exception& E) {
        EndRequestAfterException(E);
    }
}

void TCustomSmtpClient::ProcessReplyLines()
{
    while (FReceiveLen > 0) {
        const std::string_view received(FReceiveBuffer.data(), static_cast<std::size_t>(FReceiveLen));
        const std::size_t end = received.find("\r\n");
        if (end == std::string_view::npos)
            break;
        FLastResponse.assign(received.data(), end);
        const int used = static_cast<int>(end) + 2;
        std::memmove(FReceiveBuffer.data(), FReceiveBuffer.data() + used, static_cast<std::size_t>(FReceiveLen - used));
        FReceiveLen -= used;
        TriggerResponse(FLastResponse);
        HandleReplyLine();
    }
}

void TCustomSmtpClient::HandleReplyLine()
{
    switch (FState) {
    case smtpWaitingBanner:
        HandleBannerLine();
        break;
    case smtpWaitingResponse:
        if (!FNext)
            RAISE(SmtpException("Program error: FNext is nil"));
        (this->*FNext)();
        break;
    default:
        DisplayLastResponse();
        break;
    }
}

void TCustomSmtpClient::HandleBannerLine()
{
    DisplayLastResponse();
    bool continuation = false;
    ReadStatusCode(continuation);
    if (continuation)
        return;
    if (FStatusCode != 220) {
        // The close ends the request; inside Open with the banner's code.
        SetErrorMessage();
        FRequestResult = CustomSmtpClientUnit::RefusalResult(FStatusCode);
        FWSocket->Close();
        return;
    }
    StateChange(smtpConnected);
    TriggerSessionConnected(0);
    TriggerRequestDone(0);
}

void TCustomSmtpClient::ReplyLineTooLong()
{
    FReceiveLen = 0;
    EndRequest(500, "500 Reply line too long.");
    FWSocket->Close();
}

// --- Commands ---------------------------------------------------------------------------------

std::string TCustomSmtpClient::GreetingName() const
{
    std::string name = FSignOn.empty() ? LocalHostName() : FSignOn;
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
}

void TCustomSmtpClient::Helo()
{
    CheckReady();
    FFctPrv = smtpFctHelo;
    if (!FHighLevelFlag)
        FRequestType = smtpHelo;
    const std::string name = GreetingName();
    if (RefuseLineBreak(name))
        return;
    ExecAsync(smtpHelo, "HELO " + name, {250}, nullptr);
}

void TCustomSmtpClient::Ehlo()
{
    CheckReady();
    FAuthTypesSupported->Clear();
    FFctPrv = smtpFctEhlo;
    if (!FHighLevelFlag)
        FRequestType = smtpEhlo;
    const std::string name = GreetingName();
    if (RefuseLineBreak(name))
        return;
    ExecAsync(smtpEhlo, "EHLO " + name, {250}, &TCustomSmtpClient::EhloNext);
}

void TCustomSmtpClient::EhloNext()
{
    if (FConnected && FRequestResult == 0)
        FESmtpSupported = true;
    TriggerRequestDone(static_cast<WORD>(FRequestResult));
}

void TCustomSmtpClient::Vrfy()
{
    CheckReady();
    FFctPrv = smtpFctVrfy;
    if (!FHighLevelFlag)
        FRequestType = smtpVrfy;
    if (RefuseLineBreak(FHdrTo))
        return;
    ExecAsync(smtpVrfy, "VRFY " + FHdrTo, {250}, nullptr);
}

void TCustomSmtpClient::MailFrom()
{
    CheckReady();
    FFctPrv = smtpFctMailFrom;
    if (!FHighLevelFlag)
        FRequestType = smtpMailFrom;
    if (RefuseLineBreak(FFromName))
        return;
    std::string friendlyName, email;
    ParseEmail(FFromName, friendlyName, email);
    ExecAsync(smtpMailFrom, "MAIL FROM:<" + email + ">", {250}, nullptr);
}

int TCustomSmtpClient::NextRecipient(int From) const
{
    // Blank entries (a list that ends with ";") are no recipients.
    for (int i = std::max(From, 0); i < FRcptName->Count(); ++i)
        if (!Trim(FRcptName->Strings(i)).empty())
            return i;
    return -1;
}

void TCustomSmtpClient::RcptTo()
{
    CheckReady();
    if (NextRecipient(0) < 0)
        RAISE(SmtpException("RcptName list is empty"));
    if (!FHighLevelFlag)
        FRequestType = smtpRcptTo;
    for (int i = 0; i < FRcptName->Count(); ++i)
        if (RefuseLineBreak(FRcptName->Strings(i)))
            return;
    FItemCount = -1;
    RcptToNext();
}

void TCustomSmtpClient::RcptToNext()
{
    FItemCount = NextRecipient(FItemCount + 1);
    FFctPrv = smtpFctRcptTo;
    std::string friendlyName, email;
    ParseEmail(FRcptName->Strings(FItemCount), friendlyName, email);
    const bool last = NextRecipient(FItemCount + 1) < 0;
    ExecAsync(smtpRcptTo, "RCPT TO:<" + email + ">", {250, 251}, last ? nullptr : &TCustomSmtpClient::RcptToDone);
}

void TCustomSmtpClient::RcptToDone()
{
    // Every recipient is tried; the request ends with the last one's reply.
    FState = smtpInternalReady;
    RcptToNext();
}

void TCustomSmtpClient::Rset()
{
    FFctPrv = smtpFctRset;
    ExecAsync(smtpRset, "RSET", {250}, nullptr);
}

void TCustomSmtpClient::Quit()
{
    CheckReady();
    FFctPrv = smtpFctQuit;
    if (!FConnected) {
        FRequestType = smtpQuit;
        FRequestDoneFlag = false;
        TriggerRequestDone(0);
        return;
    }
    FRequestResult = 0;
    ExecAsync(smtpQuit, "QUIT", {221}, &TCustomSmtpClient::QuitDone);
}

void TCustomSmtpClient::QuitDone()
{
    // The server has answered: the session is over whether or not it closes its side. The close
    // ends the request.
    if (FConnected)
        FWSocket->Close();
    else
        TriggerRequestDone(static_cast<WORD>(FRequestResult));
}

void TCustomSmtpClient::Abort()
{
    EndFileEncBase64(FFileStream);
    const bool running = RequestOpen();
    FReceiveLen = 0;
    StateChange(smtpAbort);
    FWSocket->Abort();
    FConnected = false;
    if (running)
        EndRequest(426, "426 Operation aborted.", false);
    StateChange(smtpReady);
}

// --- The message ------------------------------------------------------------------------------

void TCustomSmtpClient::BuildHeaderBlock()
{
    if (!FHdrLines)
        FHdrLines = std::make_unique<TStringList>();
    FHdrLines->Clear();
    if (FOwnHeaders)
        return;
    namespace unit = CustomSmtpClientUnit;
    auto addFolded = [this](const std::string& prefix, const std::string& value) {
        const std::string charSet = unit::CharSetFor(value, FCharSet);
        bool first = true;
        for (const unit::TAddressPiece& piece : unit::SplitAddressList(value)) {
            if (piece.Text.empty())
                continue;
            std::string line = first ? Trim(prefix) + " " : std::string("\t");
            line += unit::EncodeAddress(piece.Text, charSet);
            if (piece.EndedAtSeparator)
                line += ",";
            FHdrLines->Add(line);
            first = false;
        }
    };
    auto addresses = [this](const std::string& value) {
        return unit::EncodeAddresses(value, unit::CharSetFor(value, FCharSet));
    };

    const std::string replyTo = unit::OneLine(FHdrReplyTo);
    const std::string returnPath = unit::OneLine(FHdrReturnPath);
    const std::string from = unit::OneLine(FHdrFrom);
    const std::string to = unit::OneLine(FHdrTo);
    const std::string cc = unit::OneLine(FHdrCc);
    const std::string subject = unit::OneLine(FHdrSubject);
    const std::string sender = unit::OneLine(FHdrSender);

    if (!Trim(replyTo).empty())
        addFolded("Reply-To: ", replyTo);
    if (!Trim(returnPath).empty())
        FHdrLines->Add("Return-Path: " + returnPath);
    if (!from.empty())
        FHdrLines->Add("From: " + addresses(from));
    if (!to.empty())
        addFolded("To: ", to);
    if (!cc.empty())
        addFolded("Cc: ", cc);
    const std::string subjectCharSet = unit::CharSetFor(subject, FCharSet);
    FHdrLines->Add("Subject: " + (unit::IsAscii(subject) ? subject : unit::EncodeWords(subject, subjectCharSet)));
    if (!Trim(sender).empty())
        FHdrLines->Add("Sender: " + addresses(sender));
    else if (!Trim(from).empty())
        FHdrLines->Add("Sender: " + addresses(from));
    FHdrLines->Add("Mime-Version: 1.0");
    const std::string charSet = FBodyCharSet.empty() ? FCharSet : FBodyCharSet;
    FHdrLines->Add("Content-Type: " + FContentTypeStr + "; charset=\"" + charSet + "\"");
    if (!FBodyTransferEncoding.empty())
        FHdrLines->Add("Content-Transfer-Encoding: " + FBodyTransferEncoding);
    FHdrLines->Add("Date: " + Rfc822DateTime(Now()));
    if (FHdrPriority != smtpPriorityNone) {
        FHdrLines->Add("X-Priority: " + IntToStr(static_cast<int>(FHdrPriority)));
        if (FHdrPriority <= smtpPriorityHigh) {
            FHdrLines->Add("Priority: urgent");
            FHdrLines->Add("X-MSMail-Priority: High");
        } else if (FHdrPriority == smtpPriorityNormal) {
            FHdrLines->Add("Priority: Normal");
            FHdrLines->Add("X-MSMail-Priority: Normal");
        } else {
            FHdrLines->Add("Priority: non-urgent");
            FHdrLines->Add("X-MSMail-Priority: Low");
        }
    }
    FHdrLines->Add("X-Mailer: QUZ SMTP Component V2.46");
    TriggerProcessHeader(FHdrLines.get());
    FHdrLines->Add("");
}

void TCustomSmtpClient::Data()
{
    CheckReady();
    FLineNum = 0;
    FMoreLines = true;
    FItemCount = -1;
    BuildHeaderBlock();
    FFctPrv = smtpFctData;
    ExecAsync(smtpData, "DATA", {354}, &TCustomSmtpClient::DataNext);
}

void TCustomSmtpClient::SendDataLine(const std::string& Line)
{
    if (OnDisplay)
        TriggerDisplay("> " + Line);
    if (!FWSocket->OnDataSent)
        FWSocket->OnDataSent = [this](TObject* Sender, WORD Error) { WSocketDataSent(Sender, Error); };
    FWSocket->PutDataInSendBuffer(Line.data(), static_cast<int>(Line.size()));
    FWSocket->SendStr("\r\n");
}

void TCustomSmtpClient::WSocketDataSent(TObject*, WORD)
{
    FState = smtpInternalReady;
    DataNext();
}

void TCustomSmtpClient::DataNext()
{
    try {
        if (!FConnected) {
            FWSocket->OnDataSent = nullptr;
            return;
        }
        // DATA refused: nothing of the message is sent.
        if (FRequestResult != 0) {
            TriggerRequestDone(static_cast<WORD>(FRequestResult));
            return;
        }
        FState = smtpInternalReady;
        ++FItemCount;
        if (FItemCount < FHdrLines->Count()) {
            std::string line = FHdrLines->Strings(FItemCount);
            TriggerHeaderLine(line);
            SendDataLine(line);
            return;
        }
        std::string line;
        bool supplied = false;
        if (FMoreLines) {
            ++FLineNum;
            TriggerGetData(FLineNum, line, CustomSmtpClientUnit::MaxLineLen, FMoreLines);
            supplied = FMoreLines;
        }
        if (!FConnected) {
            FWSocket->OnDataSent = nullptr;
            return;
        }
        if (supplied) {
            if (!line.empty() && line[0] == '.')
                line.insert(0, 1, '.');
            SendDataLine(line);
            return;
        }
        FWSocket->OnDataSent = nullptr;
        ExecAsync(smtpData, ".", {250}, nullptr);
    } catch (const std::exception& E) {
        // The message is cut: the connection is dropped before the final dot, so the server
        // discards what it got.
        FMoreLines = false;
        EndRequestAfterException(E);
        FWSocket->OnDataSent = nullptr;
        FWSocket->Abort();
    }
}

// --- Recipients -------------------------------------------------------------------------------

void TCustomSmtpClient::RcptNameAdd(const std::string& ToList, const std::string& CcList, const std::string& BccList)
{
    const std::string joined = ToList + ";" + CcList + ";" + BccList;
    for (const CustomSmtpClientUnit::TAddressPiece& piece : CustomSmtpClientUnit::SplitAddressList(joined))
        if (!piece.Text.empty())
            FRcptName->Add(piece.Text);
}

// --- Authentication ---------------------------------------------------------------------------

void TCustomSmtpClient::AuthGetType(const std::string& Line)
{
    std::string text = UpperCase(Trim(Line));
    if (text.size() <= 4)
        return;
    text.erase(0, 4);
    if (text.compare(0, 5, "AUTH ") != 0 && text.compare(0, 5, "AUTH=") != 0)
        return;
    text.erase(0, 4);
    std::replace(text.begin(), text.end(), '=', ' ');
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t blank = text.find(' ', at);
        const std::string word = Trim(text.substr(at, blank == std::string::npos ? std::string::npos : blank - at));
        if (!word.empty() && FAuthTypesSupported->IndexOf(word) < 0)
            FAuthTypesSupported->Add(word);
        if (blank == std::string::npos)
            break;
        at = blank + 1;
    }
}

TSmtpAuthType TCustomSmtpClient::ChooseAuthType() const
{
    // Only the methods this client can do, the strongest last.
    if (FUsername.empty())
        return smtpAuthNone;
    TSmtpAuthType chosen = smtpAuthNone;
    if (FAuthTypesSupported->IndexOf("PLAIN") >= 0)
        chosen = smtpAuthPlain;
    if (FAuthTypesSupported->IndexOf("LOGIN") >= 0)
        chosen = smtpAuthLogin;
    if (FAuthTypesSupported->IndexOf("CRAM-MD5") >= 0)
        chosen = smtpAuthCramMD5;
    return chosen;
}

void TCustomSmtpClient::Auth()
{
    CheckReady();
    if (!FHighLevelFlag) {
        FRequestType = smtpAuth;
        FNextRequest = nullptr;
    }
    if (!FESmtpSupported) {
        FLastResponse = "500 ESMTP not supported.";
        SetErrorMessage();
        EndStep(500);
        return;
    }
    FFctPrv = smtpFctAuth;
    FAutoSelected = FAuthType == smtpAuthAutoSelect;
    FAuthInUse = FAutoSelected ? ChooseAuthType() : FAuthType;
    switch (FAuthInUse) {
    case smtpAuthPlain:
        DoAuthPlain();
        break;
    case smtpAuthLogin:
        DoAuthLogin();
        break;
    case smtpAuthCramMD5:
        DoAuthCramMD5();
        break;
    case smtpAuthCramSha1:
        FLastResponse = "500 CRAM-SHA1 authentication is not supported.";
        SetErrorMessage();
        EndStep(500);
        break;
    default:
        if (FAutoSelected) {
            // Nothing to authenticate with, or nothing offered: relays that need no login.
            EndStep(0);
            break;
        }
        FLastResponse = "500 No Authentication Type Selected.";
        SetErrorMessage();
        EndStep(500);
        break;
    }
}

void TCustomSmtpClient::DoAuthPlain()
{
    // An empty authorisation identity: the server takes the user name as the identity.
    const std::string credentials = std::string(1, '\0') + FUsername + std::string(1, '\0') + FPassword;
    ExecAsync(smtpAuth, "AUTH PLAIN " + Base64Encode(credentials), {235}, &TCustomSmtpClient::AuthNextPlain);
}

void TCustomSmtpClient::DoAuthLogin()
{
    ExecAsync(smtpAuth, "AUTH LOGIN", {334}, &TCustomSmtpClient::AuthNextLogin);
}

void TCustomSmtpClient::DoAuthCramMD5()
{
    ExecAsync(smtpAuth, "AUTH CRAM-MD5", {334}, &TCustomSmtpClient::AuthNextCramMD5);
}

void TCustomSmtpClient::AuthFailed()
{
    if (FAutoSelected)
        FErrorMessage = CustomSmtpClientUnit::AuthNotDetermined;
    TriggerRequestDone(static_cast<WORD>(FRequestResult));
}

void TCustomSmtpClient::AuthNextPlain()
{
    if (FRequestResult != 0 && FRequestResult != 504)
        AuthFailed();
    else
        TriggerRequestDone(static_cast<WORD>(FRequestResult));
}

void TCustomSmtpClient::AuthNextLogin()
{
    if (FRequestResult != 0) {
        if (FAutoSelected && FRequestResult == 504) {
            FState = smtpInternalReady;
            DoAuthPlain();
            return;
        }
        AuthFailed();
        return;
    }
    FState = smtpInternalReady;
    ExecAsync(smtpAuth, Base64Encode(FUsername), {334}, &TCustomSmtpClient::AuthNextLoginNext);
}

void TCustomSmtpClient::AuthNextLoginNext()
{
    if (FRequestResult != 0) {
        TriggerRequestDone(static_cast<WORD>(FRequestResult));
        return;
    }
    FState = smtpInternalReady;
    ExecAsync(smtpAuth, Base64Encode(FPassword), {235}, nullptr);
}

void TCustomSmtpClient::AuthNextCramMD5()
{
    if (FRequestResult != 0) {
        if (FAutoSelected && FRequestResult == 504) {
            FState = smtpInternalReady;
            DoAuthLogin();
            return;
        }
        AuthFailed();
        return;
    }
    if (FLastResponse.size() <= 4) {
        FLastResponse = "500 Malformed MD5 Challege: " + FLastResponse;
        SetErrorMessage();
        EndStep(500);
        return;
    }
    const std::string challenge = Base64Decode(FLastResponse.substr(4));
    const std::string answer = FUsername + " " + CustomSmtpClientUnit::LowerHex(HmacMD5(FPassword, challenge));
    FState = smtpInternalReady;
    ExecAsync(smtpAuth, Base64Encode(answer), {235}, nullptr);
}
