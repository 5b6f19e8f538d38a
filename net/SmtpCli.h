#pragma once
// TSmtpCli: the SMTP client that sends MailMessage as the text of the mail and the files of
// EmailFiles as Base64 attachments of a multipart message. Text with letters beyond ASCII, or
// with lines too long for SMTP, goes out quoted-printable; pure ASCII text goes out as it is.

#include "net/CustomSmtpClient.h"

#include <functional>
#include <memory>
#include <string>

enum TSmtpBeforeOpenFileAction { smtpBeforeOpenFileNone, smtpBeforeOpenFileNext, smtpBeforeOpenFileAbort };
enum TSmtpAfterOpenFileAction {
    smtpAfterOpenFileNone,
    smtpAfterOpenFileNext,
    smtpAfterOpenFileRetry,
    smtpAfterOpenFileAbort
};

using TSmtpAttachmentContentType =
    std::function<void(TObject* Sender, int FileNumber, std::string& FileName, std::string& ContentType)>;
using TSmtpAttachHeader =
    std::function<void(TObject* Sender, int FileNumber, const std::string& FileName, TStrings* HdrLines)>;
using TSmtpBeforeFileOpenEvent =
    std::function<void(TObject* Sender, int Idx, const std::string& FileName, TSmtpBeforeOpenFileAction& Action)>;
// E is the exception of a failed open, nullptr after a successful one.
using TSmtpAfterFileOpenEvent = std::function<void(TObject* Sender, int Idx, const std::string& FileName, Exception* E,
                                                   TSmtpAfterOpenFileAction& Action)>;

class TSmtpCli : public TCustomSmtpClient {
    TESS_CLASS(TSmtpCli, TCustomSmtpClient)
public:
    explicit TSmtpCli(TComponent* AOwner);
    ~TSmtpCli() override;

    TStrings* EmailFiles() const { return FEmailFiles.get(); }
    // Takes the non-blank lines of Value, trimmed; a file that does not exist raises
    // SmtpException "File not found '...'" (the names taken before it stay).
    void SetEMailFiles(TStrings* Value);

    TSmtpAttachmentContentType OnAttachContentType;
    TSmtpAttachHeader OnAttachHeader;
    TSmtpBeforeFileOpenEvent OnBeforeFileOpen;
    TSmtpAfterFileOpenEvent OnAfterFileOpen;

protected:
    TSmtpCli(TComponent* AOwner, std::unique_ptr<TWSocket> Socket);

    virtual void TriggerAttachContentType(int FileNumber, std::string& FileName, std::string& ContentType);
    virtual void TriggerAttachHeader(int FileNumber, const std::string& FileName, TStrings* HdrLines);
    // Fills the pending lines (the text part's head and the text) and the boundary before DATA.
    virtual void PrepareEMail();
    // The text lines that follow the pending ones, one per call (the base asks OnGetData).
    virtual void TriggerBodyLine(int BodyLine, std::string& MsgLine, int MaxLen, bool& More);
    // Names of existing files from Value into Files: blank lines skipped, a missing file raises
    // SmtpException "File not found '...'" (the names taken before it stay).
    static void CopyExistingFiles(TStrings* Value, TStringList* Files);
    // One text line as quoted-printable, soft-broken into lines of at most 76 characters, the
    // dots that start an inner line doubled.
    static std::string QuotedPrintableLine(const std::string& Line);
    // Opens a part's file for Base64 into FFileStream and asks OnAfterFileOpen what comes next; a
    // file that cannot be opened raises unless the handler picks an action.
    TSmtpAfterOpenFileAction OpenFileForBase64(int Index, const std::string& Path);

    void TriggerGetData(int LineNum, std::string& MsgLine, int MaxLen, bool& More) override;
    void TriggerHeaderLine(std::string& Line) override;

public:
    void Data() override;

private:
    // The next pending line into Line; false when none is waiting.
    bool TakePendingLine(std::string& Line);
    // Opens the next attachment and queues its part header; the line handed out is empty.
    void StartNextFile(std::string& MsgLine, bool& More);
    // Lines handed out before anything else, from FPendingIndex on.
    std::unique_ptr<TStringList> FEmailBody;
    int FPendingIndex = 0;
    std::unique_ptr<TStringList> FEmailFiles;
    int FCurrentFile = 0;
    // Empty for a single-part message.
    std::string FMimeBoundary;
    bool FClosingBoundaryQueued = false;
    // True while a file is being encoded.
    bool FFileStarted = false;
    // True while the caller's OnGetData may still add text lines.
    bool FBodyFlag = false;
    int FBodyLine = 0;
};
