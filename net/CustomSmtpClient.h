#pragma once
// TCustomSmtpClient: one connection to a mail server over the owned socket. Every request returns
// at once and ends with exactly one OnRequestDone, posted to the component's hidden window and
// called from the message loop, so a handler may start the next request itself.
//
// Calling order of the mail queue: set Host, Port, Username, Password, SignOn and AuthType, call
// Open; on smtpOpen with 0 fill the message and the envelope and call Mail; after smtpMail (or a
// failed smtpOpen) call Quit. A request ends with 0, the server's refusal code, 500 for a failure
// the client finds (LastResponse and ErrorMessage say which), 426 after Abort, a socket error
// number when resolving or connecting fails, or 10004 when the connection closes under it. The
// component is then ready for the next request.
//
// Misuse raises SmtpException: a request while another runs ("SMTP component not ready"), a
// command without a connection, Connect while connected.

#include "net/MimeUtil.h"
#include "net/WSocket.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Sets.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

TESS_EXCEPTION(SmtpException, Exception)

enum TSmtpState {
    smtpReady,
    smtpDnsLookup,
    smtpConnecting,
    smtpConnected,
    smtpInternalReady,
    smtpWaitingBanner,
    smtpWaitingResponse,
    smtpAbort
};

// What OnRequestDone reports. smtpCustom is never issued.
enum TSmtpRequest {
    smtpConnect,
    smtpHelo,
    smtpMailFrom,
    smtpVrfy,
    smtpRcptTo,
    smtpData,
    smtpQuit,
    smtpRset,
    smtpOpen,
    smtpMail,
    smtpEhlo,
    smtpAuth,
    smtpCustom
};

// The steps of a high-level request.
enum TSmtpFct {
    smtpFctNone,
    smtpFctHelo,
    smtpFctConnect,
    smtpFctMailFrom,
    smtpFctRcptTo,
    smtpFctData,
    smtpFctVrfy,
    smtpFctQuit,
    smtpFctRset,
    smtpFctEhlo,
    smtpFctAuth
};
using TSmtpFctSet = TSet<TSmtpFct>;

enum TSmtpAuthType {
    smtpAuthNone,
    smtpAuthPlain,
    smtpAuthLogin,
    smtpAuthCramMD5,
    smtpAuthCramSha1,
    smtpAuthAutoSelect
};
// Stored as the file-open share flags 0, 16, 32, 48, 64.
enum TSmtpShareMode { smtpShareCompat, smtpShareExclusive, smtpShareDenyWrite, smtpShareDenyRead, smtpShareDenyNone };
enum TSmtpPriority {
    smtpPriorityNone,
    smtpPriorityHighest,
    smtpPriorityHigh,
    smtpPriorityNormal,
    smtpPriorityLow,
    smtpPriorityLowest
};
enum TSmtpContentType { smtpHtml, smtpPlainText };

using TSmtpDisplay = std::function<void(TObject* Sender, const std::string& Msg)>;
using TSmtpRequestDone = std::function<void(TObject* Sender, TSmtpRequest RqType, WORD ErrorCode)>;
// One body line per call: the handler writes at most MaxLen characters and a zero into MsgLine
// (a buffer of MaxLen + 1 bytes) and sets More to false when the body is complete (More comes in
// true; with More false the buffer is not read).
using TSmtpGetDataEvent = std::function<void(TObject* Sender, int LineNum, char* MsgLine, int MaxLen, bool& More)>;
// Each header line as a zero-terminated text in a buffer of Size bytes, which the handler may
// rewrite.
using TSmtpHeaderLineEvent = std::function<void(TObject* Sender, char* Msg, int Size)>;
using TSmtpProcessHeaderEvent = std::function<void(TObject* Sender, TStrings* HdrLines)>;

class TCustomSmtpClient;
using TSmtpNextProc = void (TCustomSmtpClient::*)();

// The hidden window's message that reports the end of a request (lParam: the error code).
constexpr UINT WM_SMTP_REQUEST_DONE = WM_USER + 1;

class TCustomSmtpClient : public TComponent {
    TESS_CLASS(TCustomSmtpClient, TComponent)
public:
    explicit TCustomSmtpClient(TComponent* AOwner);
    ~TCustomSmtpClient() override;

    // --- Requests ----------------------------------------------------------------------------

    virtual void Connect();
    virtual void Helo();
    virtual void Ehlo();
    virtual void Auth();
    virtual void Vrfy();
    virtual void MailFrom();
    virtual void RcptTo();
    virtual void Data();
    virtual void Quit();
    virtual void Rset();
    // Drops the connection; a running request ends with 426.
    virtual void Abort();
    // Connect, EHLO and AUTH, or Connect and HELO when AuthType is smtpAuthNone.
    virtual void Open();
    // MAIL FROM, RCPT TO for every recipient, DATA with the message.
    virtual void Mail();

    // Adds the addresses of the three lists (separated by "," or ";" outside double quotes) to
    // RcptName.
    void RcptNameAdd(const std::string& ToList, const std::string& CcList, const std::string& BccList);

    // Moving the component to another thread: ThreadDetach in the owning thread, ThreadAttach in
    // the new one.
    void ThreadAttach();
    void ThreadDetach();

    // --- Properties --------------------------------------------------------------------------

    TSmtpShareMode ShareMode() const;
    void SetShareMode(TSmtpShareMode Value);
    const std::string& Host() const { return FHost; }
    void SetHost(const std::string& Value) { FHost = Value; }
    const std::string& LocalAddr() const { return FLocalAddr; }
    void SetLocalAddr(const std::string& Value) { FLocalAddr = Value; }
    const std::string& Port() const { return FPort; }
    void SetPort(const std::string& Value) { FPort = Value; }
    const std::string& SignOn() const { return FSignOn; }
    void SetSignOn(const std::string& Value) { FSignOn = Value; }
    const std::string& Username() const { return FUsername; }
    void SetUsername(const std::string& Value) { FUsername = Value; }
    const std::string& Password() const { return FPassword; }
    void SetPassword(const std::string& Value) { FPassword = Value; }
    TSmtpAuthType AuthType() const { return FAuthType; }
    void SetAuthType(TSmtpAuthType Value) { FAuthType = Value; }
    const std::string& FromName() const { return FFromName; }
    void SetFromName(const std::string& Value) { FFromName = Value; }
    TStrings* RcptName() const { return FRcptName.get(); }
    void SetRcptName(TStrings* Value);
    TStrings* MailMessage() const { return FMailMessage.get(); }
    void SetMailMessage(TStrings* Value);
    const std::string& HdrFrom() const { return FHdrFrom; }
    void SetHdrFrom(const std::string& Value) { FHdrFrom = Value; }
    const std::string& HdrTo() const { return FHdrTo; }
    void SetHdrTo(const std::string& Value) { FHdrTo = Value; }
    const std::string& HdrCc() const { return FHdrCc; }
    void SetHdrCc(const std::string& Value) { FHdrCc = Value; }
    const std::string& HdrReplyTo() const { return FHdrReplyTo; }
    void SetHdrReplyTo(const std::string& Value) { FHdrReplyTo = Value; }
    const std::string& HdrReturnPath() const { return FHdrReturnPath; }
    void SetHdrReturnPath(const std::string& Value) { FHdrReturnPath = Value; }
    const std::string& HdrSubject() const { return FHdrSubject; }
    void SetHdrSubject(const std::string& Value) { FHdrSubject = Value; }
    const std::string& HdrSender() const { return FHdrSender; }
    void SetHdrSender(const std::string& Value) { FHdrSender = Value; }
    TSmtpPriority HdrPriority() const { return FHdrPriority; }
    void SetHdrPriority(TSmtpPriority Value) { FHdrPriority = Value; }
    TSmtpState State() const { return FState; }
    const std::string& CharSet() const { return FCharSet; }
    void SetCharSet(const std::string& Value) { FCharSet = Value; }
    TSmtpContentType ContentType() const { return FContentType; }
    void SetContentType(TSmtpContentType Value) { SetContentTypeValue(Value); }
    const std::string& ErrorMessage() const { return FErrorMessage; }
    const std::string& LastResponse() const { return FLastResponse; }
    bool OwnHeaders() const { return FOwnHeaders; }
    void SetOwnHeaders(bool Value) { FOwnHeaders = Value; }
    // True from a successful connect until the connection closes.
    bool Connected() const { return FConnected; }
    // The methods the server named in its EHLO reply.
    TStrings* AuthTypesSupported() const { return FAuthTypesSupported.get(); }

    TSmtpDisplay OnDisplay;
    TSmtpDisplay OnCommand;
    TSmtpDisplay OnResponse;
    TSmtpGetDataEvent OnGetData;
    TSmtpHeaderLineEvent OnHeaderLine;
    TSmtpProcessHeaderEvent OnProcessHeader;
    TSmtpRequestDone OnRequestDone;
    TSessionConnected OnSessionConnected;
    TSessionClosed OnSessionClosed;
    TNotifyEvent OnStateChange;

protected:
    // For tests and fuzz targets: the client over a socket of their own.
    TCustomSmtpClient(TComponent* AOwner, std::unique_ptr<TWSocket> Socket);

    // --- The virtual operations, in their order ----------------------------------------------

    virtual void TriggerDisplay(const std::string& Msg);
    virtual void TriggerCommand(const std::string& Msg);
    virtual void TriggerResponse(const std::string& Msg);
    virtual void TriggerRequestDone(WORD ErrorCode);
    virtual void TriggerStateChange();
    // One body line into MsgLine; More false when there is none (the base asks OnGetData).
    virtual void TriggerGetData(int LineNum, std::string& MsgLine, int MaxLen, bool& More);
    // Each header line just before it is sent (the base lets OnHeaderLine rewrite it).
    virtual void TriggerHeaderLine(std::string& Line);
    virtual void TriggerProcessHeader(TStrings* HdrLines);
    virtual void TriggerSessionConnected(WORD Error);
    virtual void TriggerSessionClosed(WORD Error);
    virtual void SendCommand(const std::string& Cmd);
    virtual void WndProc(TMessage& MsgRec);
    virtual void SetContentTypeValue(TSmtpContentType Value);

    // --- The engine ----------------------------------------------------------------------------

    void ExecAsync(TSmtpRequest RqType, const std::string& Cmd, std::initializer_list<int> OkResponses,
                   TSmtpNextProc DoneAsync);
    void NextExecAsync();
    void HighLevelAsync(TSmtpRequest RqType, TSmtpFctSet Fcts);
    void DoHighLevelAsync();
    void CheckReady();
    void StateChange(TSmtpState NewState);
    void DisplayLastResponse();
    void SetErrorMessage();
    void ClearErrorMessage() { FErrorMessage.clear(); }
    // The AUTH-list parse of one EHLO reply line.
    void AuthGetType(const std::string& Line);

    // True while a request has not been reported.
    bool RequestOpen() const { return FHighLevelFlag || !FRequestDoneFlag; }
    // Ends the running request (if any) with Code: every step still pending is dropped.
    // LastResponse and ErrorMessage become Line when setLastResponse, else only ErrorMessage.
    void EndRequest(WORD Code, const std::string& Line, bool setLastResponse = true);
    // The end of a request whose step raised: 500 with the exception's class and message.
    void EndRequestAfterException(const std::exception& E);
    // When Value holds CR or LF: ends the request with 500 before anything is sent; true then.
    bool RefuseLineBreak(const std::string& Value);

    // --- State ---------------------------------------------------------------------------------

    std::unique_ptr<TWSocket> FWSocket;
    std::unique_ptr<TStringList> FAuthTypesSupported;
    std::string FContentTypeStr = "text/plain";
    bool FConnected = false;
    bool FESmtpSupported = false;
    TSmtpRequest FRequestType = smtpConnect;
    bool FRequestDoneFlag = true;
    int FReceiveLen = 0;
    int FRequestResult = 0;
    int FStatusCode = 0;
    std::array<char, 4096> FReceiveBuffer {};
    TSmtpNextProc FNext = nullptr;
    TSmtpFctSet FFctSet;
    TSmtpFct FFctPrv = smtpFctNone;
    int FHighLevelResult = 0;
    bool FHighLevelFlag = false;
    TSmtpNextProc FNextRequest = nullptr;
    std::array<int, 16> FOkResponses {};
    TSmtpNextProc FDoneAsync = nullptr;
    HWND FWindowHandle = nullptr;
    int FItemCount = 0;
    std::unique_ptr<TStringList> FHdrLines;
    int FLineNum = 0;
    bool FMoreLines = false;
    std::unique_ptr<TFileStream> FFileStream;
    WORD FShareMode = fmShareDenyWrite;

    // The body text's character set and transfer encoding in the header block of a single-part
    // message, chosen by a derived class before Data; empty: CharSet and no encoding line.
    std::string FBodyCharSet;
    std::string FBodyTransferEncoding;

    std::string FHost;
    std::string FLocalAddr = "0.0.0.0";
    std::string FPort = "smtp";
    std::string FSignOn;
    std::string FUsername;
    std::string FPassword;
    TSmtpAuthType FAuthType = smtpAuthNone;
    std::string FFromName;
    std::unique_ptr<TStringList> FRcptName;
    std::unique_ptr<TStringList> FMailMessage;
    std::string FHdrFrom;
    std::string FHdrTo;
    std::string FHdrCc;
    std::string FHdrReplyTo;
    std::string FHdrReturnPath;
    std::string FHdrSubject;
    std::string FHdrSender;
    TSmtpPriority FHdrPriority = smtpPriorityNone;
    TSmtpState FState = smtpReady;
    std::string FCharSet = "iso-8859-1";
    TSmtpContentType FContentType = smtpPlainText;
    std::string FErrorMessage;
    std::string FLastResponse;
    bool FOwnHeaders = false;

private:
    void Initialize();
    void HookSocket();

    // Socket events.
    void WSocketDnsLookupDone(TObject* Sender, WORD Error);
    void WSocketSessionConnected(TObject* Sender, WORD Error);
    void WSocketDataAvailable(TObject* Sender, WORD Error);
    void WSocketDataSent(TObject* Sender, WORD Error);
    void WSocketSessionClosed(TObject* Sender, WORD Error);
    void WMSmtpRequestDone(TMessage& Msg);

    // Reply lines.
    void ProcessReplyLines();
    void HandleReplyLine();
    void HandleBannerLine();
    // A line that cannot fit the reply buffer: the request ends and the connection is closed.
    void ReplyLineTooLong();
    // The code at the start of the line and whether the line continues the reply ("-").
    void ReadStatusCode(bool& Continuation);

    // Continuations of the commands.
    void EhloNext();
    void RcptToNext();
    void RcptToDone();
    void DataNext();
    void QuitDone();
    // One header or body line into the send buffer, as the pump sends it.
    void SendDataLine(const std::string& Line);
    void BuildHeaderBlock();

    // Authentication.
    TSmtpAuthType ChooseAuthType() const;
    void DoAuthPlain();
    void DoAuthLogin();
    void DoAuthCramMD5();
    void AuthNextPlain();
    void AuthNextLogin();
    void AuthNextLoginNext();
    void AuthNextCramMD5();
    // The auto-selected method was refused: the request ends with the refusal's code.
    void AuthFailed();
    // The end of a step that could not run (the result is already set).
    void EndStep(int Result);

    // The HELO/EHLO name: SignOn or this host's name, blanks made "_".
    std::string GreetingName() const;
    // The index of the next recipient to send from FItemCount on, -1 when none is left.
    int NextRecipient(int From) const;

    TSmtpAuthType FAuthInUse = smtpAuthNone;
    bool FAutoSelected = false;
};
