#include "net/SmtpProt.h"

#include "platform/rtl/DateTime.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <vector>

namespace SmtpCliUnit {

// The longest line SMTP carries (without its CR LF).
constexpr std::size_t MaxSmtpLine = 998;
// Quoted-printable lines are cut above this length.
constexpr std::size_t MaxQuotedPrintableLine = 76;

// The physical lines of a text line that holds line breaks of its own.
std::vector<std::string> SplitAtLineBreaks(const std::string& line)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '\r' && line[i] != '\n')
            continue;
        lines.push_back(line.substr(start, i - start));
        if (line[i] == '\r' && i + 1 < line.size() && line[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    lines.push_back(line.substr(start));
    return lines;
}

struct TTextKind {
    bool NeedsQuotedPrintable = false; // bytes of 0x80 or above, or a line too long for SMTP
    bool UsesWindowsLetters = false;   // bytes 0x80-0x9F, which ISO 8859-1 lacks (the euro sign)
};

TTextKind Examine(const std::vector<std::string>& lines)
{
    TTextKind kind;
    for (const std::string& line : lines) {
        if (line.size() > MaxSmtpLine)
            kind.NeedsQuotedPrintable = true;
        for (const char c : line) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte >= 0x80)
                kind.NeedsQuotedPrintable = true;
            if (byte >= 0x80 && byte <= 0x9F)
                kind.UsesWindowsLetters = true;
        }
    }
    return kind;
}

std::string WithoutLineBreaks(std::string text)
{
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

} // namespace SmtpCliUnit

TSmtpCli::TSmtpCli(TComponent* AOwner)
    : TCustomSmtpClient(AOwner), FEmailBody(std::make_unique<TStringList>()),
      FEmailFiles(std::make_unique<TStringList>())
{
}

TSmtpCli::TSmtpCli(TComponent* AOwner, std::unique_ptr<TWSocket> Socket)
    : TCustomSmtpClient(AOwner, std::move(Socket)), FEmailBody(std::make_unique<TStringList>()),
      FEmailFiles(std::make_unique<TStringList>())
{
}

TSmtpCli::~TSmtpCli() = default;

void TSmtpCli::SetEMailFiles(TStrings* Value)
{
    CopyExistingFiles(Value, FEmailFiles.get());
}

void TSmtpCli::CopyExistingFiles(TStrings* Value, TStringList* Files)
{
    Files->Clear();
    if (!Value)
        return;
    for (int i = 0; i < Value->Count(); ++i) {
        const std::string name = Trim(Value->Strings(i));
        if (name.empty())
            continue;
        if (!FileExists(name))
            RAISE(SmtpException("File not found '" + name + "'"));
        Files->Add(name);
    }
}

void TSmtpCli::TriggerBodyLine(int BodyLine, std::string& MsgLine, int MaxLen, bool& More)
{
    TCustomSmtpClient::TriggerGetData(BodyLine, MsgLine, MaxLen, More);
}

void TSmtpCli::TriggerAttachContentType(int FileNumber, std::string& FileName, std::string& ContentType)
{
    if (OnAttachContentType)
        OnAttachContentType(this, FileNumber, FileName, ContentType);
}

void TSmtpCli::TriggerAttachHeader(int FileNumber, const std::string& FileName, TStrings* HdrLines)
{
    if (OnAttachHeader)
        OnAttachHeader(this, FileNumber, FileName, HdrLines);
}

std::string TSmtpCli::QuotedPrintableLine(const std::string& Line)
{
    std::string text = EncodeQuotedPrintable(Line);
    // A blank at the end of a line would be lost on the way (a tab is escaped already).
    if (!text.empty() && text.back() == ' ') {
        text.pop_back();
        text += "=20";
    }
    if (text.size() > SmtpCliUnit::MaxQuotedPrintableLine)
        text = SplitQuotedPrintableString(text);
    // A dot that starts an inner line is doubled here; the pump doubles the one at the start.
    std::string escaped;
    escaped.reserve(text.size() + 4);
    for (std::size_t i = 0; i < text.size(); ++i) {
        escaped += text[i];
        if (text[i] == '\n' && i > 0 && text[i - 1] == '\r' && i + 1 < text.size() && text[i + 1] == '.')
            escaped += '.';
    }
    return escaped;
}

void TSmtpCli::PrepareEMail()
{
    FBodyFlag = true;
    FCurrentFile = 0;
    FBodyLine = 0;
    FFileStarted = false;
    FClosingBoundaryQueued = false;
    FEmailBody->Clear();
    FPendingIndex = 0;

    std::vector<std::string> lines;
    for (int i = 0; i < FMailMessage->Count(); ++i)
        for (std::string& line : SmtpCliUnit::SplitAtLineBreaks(FMailMessage->Strings(i)))
            lines.push_back(std::move(line));
    const SmtpCliUnit::TTextKind kind = SmtpCliUnit::Examine(lines);
    const std::string charSet = kind.UsesWindowsLetters ? "windows-1252" : FCharSet;
    const char* const encoding = kind.NeedsQuotedPrintable ? "quoted-printable" : "7bit";

    if (FEmailFiles->Count() > 0) {
        FMimeBoundary = "= Multipart Boundary " + FormatDateTime("mmddyyhhnn", Now());
        FEmailBody->Add("This is a multipart MIME message.");
        FEmailBody->Add("");
        FEmailBody->Add("--" + FMimeBoundary);
        FEmailBody->Add("Content-Type: " + FContentTypeStr + "; charset=\"" + charSet + "\"");
        FEmailBody->Add(std::string("Content-Transfer-Encoding: ") + encoding);
        FEmailBody->Add("");
    } else {
        FMimeBoundary.clear();
    }
    FBodyCharSet = charSet;
    FBodyTransferEncoding = kind.NeedsQuotedPrintable && FMimeBoundary.empty() ? encoding : "";
    for (const std::string& line : lines)
        FEmailBody->Add(kind.NeedsQuotedPrintable ? QuotedPrintableLine(line) : line);
}

void TSmtpCli::Data()
{
    PrepareEMail();
    TCustomSmtpClient::Data();
}

void TSmtpCli::TriggerHeaderLine(std::string& Line)
{
    if (!FMimeBoundary.empty() && Line.size() >= 13 && SameText(Line.substr(0, 13), "CONTENT-TYPE:"))
        Line = "Content-Type: multipart/mixed;\r\n\tboundary=\"" + FMimeBoundary + "\"";
    TCustomSmtpClient::TriggerHeaderLine(Line);
}

bool TSmtpCli::TakePendingLine(std::string& Line)
{
    if (FPendingIndex >= FEmailBody->Count())
        return false;
    Line = FEmailBody->Strings(FPendingIndex++);
    if (FPendingIndex >= FEmailBody->Count()) {
        FEmailBody->Clear();
        FPendingIndex = 0;
    }
    return true;
}

void TSmtpCli::TriggerGetData(int /*LineNum*/, std::string& MsgLine, int MaxLen, bool& More)
{
    if (TakePendingLine(MsgLine)) {
        More = true;
        return;
    }
    while (FBodyFlag) {
        ++FBodyLine;
        bool more = true;
        std::string line;
        TriggerBodyLine(FBodyLine, line, MaxLen, more);
        if (more) {
            MsgLine = line;
            More = true;
            return;
        }
        FBodyFlag = false;
    }
    if (FFileStarted) {
        bool more = false;
        MsgLine = DoFileEncBase64(FFileStream, more);
        if (!more) {
            EndFileEncBase64(FFileStream);
            FFileStarted = false;
            ++FCurrentFile;
        }
        More = true;
        return;
    }
    if (FCurrentFile < FEmailFiles->Count()) {
        StartNextFile(MsgLine, More);
        return;
    }
    if (!FMimeBoundary.empty() && !FClosingBoundaryQueued) {
        FClosingBoundaryQueued = true;
        MsgLine.clear();
        FEmailBody->Add("--" + FMimeBoundary + "--");
        More = true;
        return;
    }
    More = false;
}

TSmtpAfterOpenFileAction TSmtpCli::OpenFileForBase64(int Index, const std::string& Path)
{
    TSmtpAfterOpenFileAction after = smtpAfterOpenFileNone;
    try {
        FFileStream = InitFileEncBase64(Path, FShareMode);
    } catch (Exception& E) {
        // Without a handler the failure ends the message (the pump drops the connection).
        if (!OnAfterFileOpen)
            throw;
        OnAfterFileOpen(this, Index, Path, &E, after);
        if (after == smtpAfterOpenFileNone)
            throw;
    }
    if (FFileStream && OnAfterFileOpen)
        OnAfterFileOpen(this, Index, Path, nullptr, after);
    return after;
}

void TSmtpCli::StartNextFile(std::string& MsgLine, bool& More)
{
    MsgLine.clear();
    More = true;
    const int index = FCurrentFile;
    const std::string path = FEmailFiles->Strings(index);

    TSmtpBeforeOpenFileAction before = smtpBeforeOpenFileNone;
    if (OnBeforeFileOpen)
        OnBeforeFileOpen(this, index, path, before);
    if (before == smtpBeforeOpenFileNext) {
        ++FCurrentFile;
        return;
    }
    if (before == smtpBeforeOpenFileAbort) {
        More = false;
        Abort();
        return;
    }

    const TSmtpAfterOpenFileAction after = OpenFileForBase64(index, path);
    switch (after) {
    case smtpAfterOpenFileNext:
        EndFileEncBase64(FFileStream);
        ++FCurrentFile;
        return;
    case smtpAfterOpenFileRetry:
        EndFileEncBase64(FFileStream);
        return;
    case smtpAfterOpenFileAbort:
        EndFileEncBase64(FFileStream);
        More = false;
        Abort();
        return;
    default:
        break;
    }

    std::string name = SmtpCliUnit::WithoutLineBreaks(ExtractFileName(path));
    std::string type = FilenameToContentType(name);
    TriggerAttachContentType(index, name, type);
    FEmailBody->Add("--" + FMimeBoundary);
    FEmailBody->Add("Content-Type: " + type + ";");
    FEmailBody->Add("\tname=\"" + name + "\"");
    FEmailBody->Add("Content-Transfer-Encoding: base64");
    FEmailBody->Add("Content-Disposition: attachment;");
    FEmailBody->Add("\tfilename=\"" + name + "\"");
    TriggerAttachHeader(index, name, FEmailBody.get());
    FEmailBody->Add("");
    FFileStarted = true;
}
