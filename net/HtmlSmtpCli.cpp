#include "net/SmtpProt.h"

#include "platform/rtl/Files.h"
#include "platform/rtl/TextUtils.h"
#include "platform/rtl/Threads.h"

#include <algorithm>

namespace HtmlSmtpCliUnit {

bool HasWindowsLetters(const TStrings* lines)
{
    for (int i = 0; i < lines->Count(); ++i)
        for (const char c : lines->Strings(i)) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte >= 0x80 && byte <= 0x9F)
                return true;
        }
    return false;
}

std::string OneLineName(std::string text)
{
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

} // namespace HtmlSmtpCliUnit

THtmlSmtpCli::THtmlSmtpCli(TComponent* AOwner) : TSmtpCli(AOwner)
{
    Initialize();
}

THtmlSmtpCli::THtmlSmtpCli(TComponent* AOwner, std::unique_ptr<TWSocket> Socket) : TSmtpCli(AOwner, std::move(Socket))
{
    Initialize();
}

THtmlSmtpCli::~THtmlSmtpCli() = default;

void THtmlSmtpCli::Initialize()
{
    FEmailImages = std::make_unique<TStringList>();
    FPlainText = std::make_unique<TStringList>();
    FHtmlText = std::make_unique<TStringList>();
    SetContentType(smtpHtml);
    Randomize();
}

void THtmlSmtpCli::SetEmailImages(TStrings* Value)
{
    CopyExistingFiles(Value, FEmailImages.get());
}

void THtmlSmtpCli::SetPlainText(TStrings* Value)
{
    FPlainText->Clear();
    if (Value)
        FPlainText->AddStrings(Value);
}

void THtmlSmtpCli::SetHtmlText(TStrings* Value)
{
    FHtmlText->Clear();
    if (Value)
        FHtmlText->AddStrings(Value);
}

// --- Image streams ------------------------------------------------------------------------------

void THtmlSmtpCli::SetImageStream(int Index, TStream* Stream)
{
    if (!Stream || Index < 0)
        return;
    if (!FStreamArray)
        FStreamArray = std::make_unique<std::vector<TStream*>>();
    if (static_cast<std::size_t>(Index) >= FStreamArray->size())
        FStreamArray->resize(static_cast<std::size_t>(Index) + 1, nullptr);
    (*FStreamArray)[static_cast<std::size_t>(Index)] = Stream;
}

TStream* THtmlSmtpCli::GetImageStream(int Index) const
{
    if (!FStreamArray || Index < 0 || static_cast<std::size_t>(Index) >= FStreamArray->size())
        return nullptr;
    return (*FStreamArray)[static_cast<std::size_t>(Index)];
}

int THtmlSmtpCli::GetImageStreamCount() const
{
    return FStreamArray ? static_cast<int>(FStreamArray->size()) : 0;
}

void THtmlSmtpCli::ClearImageStreamArray()
{
    FStreamArray.reset();
}

// --- The message ----------------------------------------------------------------------------------

std::uint32_t THtmlSmtpCli::BoundaryTicks() const
{
    return GetTickCount();
}

void THtmlSmtpCli::GenerateBoundaries()
{
    const std::string ticks = "----=_NextPart_000_" + IntToHex(static_cast<unsigned>(BoundaryTicks()), 8);
    const std::string random = IntToHex(Random(2147483647), 8);
    FOutsideBoundary = ticks + "_0." + random;
    FInsideBoundary = ticks + "_1." + random;
}

void THtmlSmtpCli::Data()
{
    if (FContentType != smtpPlainText) {
        // Made here, not with the header block, so that the body is whole with OwnHeaders too.
        GenerateBoundaries();
        FMimeState = smtpMimeIntro;
        FLineOffset = 0;
        FPartNumber = 0;
        FReopenPending = false;
        const bool windows =
            HtmlSmtpCliUnit::HasWindowsLetters(FPlainText.get()) || HtmlSmtpCliUnit::HasWindowsLetters(FHtmlText.get());
        FPlainCharSetInUse = windows ? "windows-1252" : FCharSet;
        FHtmlCharSetInUse = windows ? "windows-1252" : FHtmlCharSet;
        // The header block declares the multipart type only.
        FBodyCharSet.clear();
        FBodyTransferEncoding.clear();
    }
    TSmtpCli::Data();
}

void THtmlSmtpCli::PrepareEMail()
{
    if (FContentType == smtpPlainText)
        TSmtpCli::PrepareEMail();
}

void THtmlSmtpCli::TriggerBodyLine(int BodyLine, std::string& MsgLine, int /*MaxLen*/, bool& More)
{
    // Plain-text mode: PlainText follows MailMessage.
    if (BodyLine < 1 || BodyLine > FPlainText->Count()) {
        More = false;
        return;
    }
    MsgLine.clear();
    for (const char c : FPlainText->Strings(BodyLine - 1))
        if (c != '\r' && c != '\n')
            MsgLine += c;
    More = true;
}

void THtmlSmtpCli::TriggerProcessHeader(TStrings* HdrLines)
{
    if (FContentType != smtpPlainText) {
        for (int i = 0; i < HdrLines->Count(); ++i) {
            const std::string& line = HdrLines->Strings(i);
            if (line.size() >= 13 && SameText(line.substr(0, 13), "Content-Type:")) {
                HdrLines->SetStrings(i, "Content-Type: multipart/related; type=\"multipart/alternative\"; boundary=\"" +
                                            FOutsideBoundary + "\"");
                break;
            }
        }
    }
    TSmtpCli::TriggerProcessHeader(HdrLines);
}

void THtmlSmtpCli::TriggerHeaderLine(std::string& Line)
{
    // TSmtpCli's own rewrite belongs to its multipart/mixed form only.
    if (FContentType == smtpPlainText)
        TSmtpCli::TriggerHeaderLine(Line);
    else
        TCustomSmtpClient::TriggerHeaderLine(Line);
}

void THtmlSmtpCli::TriggerGetData(int LineNum, std::string& MsgLine, int MaxLen, bool& More)
{
    if (FContentType == smtpPlainText) {
        TSmtpCli::TriggerGetData(LineNum, MsgLine, MaxLen, More);
        return;
    }
    More = true;
    MsgLine = BuildLine(LineNum, More);
    if (More)
        OfferLine(LineNum, MsgLine, MaxLen);
}

void THtmlSmtpCli::OfferLine(int N, std::string& Line, int MaxLen)
{
    if (!OnGetData)
        return;
    std::string buffer = Line.substr(0, static_cast<std::size_t>(MaxLen));
    const std::string offered = buffer;
    buffer.resize(static_cast<std::size_t>(MaxLen) + 1, '\0');
    bool more = true;
    OnGetData(this, N, buffer.data(), MaxLen, more);
    buffer.back() = '\0';
    // An untouched buffer keeps the whole line, also beyond MaxLen.
    if (offered != buffer.c_str())
        Line.assign(buffer.c_str());
}

std::string THtmlSmtpCli::BuildLine(int N, bool& More)
{
    switch (FMimeState) {
    case smtpMimeIntro:
        return IntroLine(N, More);
    case smtpMimePlainText:
    case smtpMimeHtmlText:
        return TextLine(N, More);
    case smtpMimeImages:
        return PartLine(N, More);
    case smtpMimeDone:
        break;
    }
    More = false;
    return "";
}

std::string THtmlSmtpCli::IntroLine(int N, bool& More)
{
    switch (N) {
    case 1:
        return "This is a multipart MIME formatted message.";
    case 3:
        return "--" + FOutsideBoundary;
    case 4:
        return "Content-Type: multipart/alternative; boundary=\"" + FInsideBoundary + "\"";
    case 6:
        return "--" + FInsideBoundary;
    case 7:
        return "Content-Type: text/plain; charset=\"" + FPlainCharSetInUse + "\"";
    case 8:
        return "Content-Transfer-Encoding: quoted-printable";
    case 2:
    case 5:
    case 9:
        return "";
    default:
        FMimeState = smtpMimePlainText;
        FLineOffset = 9;
        return TextLine(N, More);
    }
}

std::string THtmlSmtpCli::TextLine(int N, bool& More)
{
    const bool plain = FMimeState == smtpMimePlainText;
    const TStringList* text = plain ? FPlainText.get() : FHtmlText.get();
    const int k = N - FLineOffset;
    if (k <= text->Count())
        return QuotedPrintableLine(text->Strings(k - 1));
    const int j = k - text->Count();
    if (plain) {
        switch (j) {
        case 1:
        case 5:
            return "";
        case 2:
            return "--" + FInsideBoundary;
        case 3:
            return "Content-Type: text/html; charset=\"" + FHtmlCharSetInUse + "\"";
        case 4:
            return "Content-Transfer-Encoding: quoted-printable";
        default:
            FMimeState = smtpMimeHtmlText;
            FLineOffset = N - 1;
            return TextLine(N, More);
        }
    }
    switch (j) {
    case 1:
    case 3:
        return "";
    case 2:
        return "--" + FInsideBoundary + "--";
    default:
        FMimeState = smtpMimeImages;
        FPartNumber = 1;
        FLineOffset = N - 1;
        return PartLine(N, More);
    }
}

int THtmlSmtpCli::PartCount() const
{
    return FEmailImages->Count() + EmailFiles()->Count();
}

std::string THtmlSmtpCli::PartPath() const
{
    const int images = FEmailImages->Count();
    return PartIsImage() ? FEmailImages->Strings(FPartNumber - 1) : EmailFiles()->Strings(FPartNumber - images - 1);
}

std::string THtmlSmtpCli::PartLine(int N, bool& More)
{
    const int k = N - FLineOffset;
    if (FPartNumber > PartCount()) {
        if (k == 1)
            return "--" + FOutsideBoundary + "--";
        FMimeState = smtpMimeDone;
        More = false;
        return "";
    }
    switch (k) {
    case 1:
        return "--" + FOutsideBoundary;
    case 2:
        FPartName = HtmlSmtpCliUnit::OneLineName(ExtractFileName(PartPath()));
        FPartType = FilenameToContentType(FPartName);
        TriggerAttachContentType(FPartNumber, FPartName, FPartType);
        FPartName = HtmlSmtpCliUnit::OneLineName(FPartName);
        FPartType = HtmlSmtpCliUnit::OneLineName(FPartType);
        return "Content-Type: " + FPartType + ";\r\n\tname=\"" + FPartName + "\"";
    case 3:
        return "Content-Transfer-Encoding: base64";
    case 4:
        return std::string(PartIsImage() ? "Content-Disposition: inline;" : "Content-Disposition: attachment;") +
               "\r\n\tfilename=\"" + FPartName + "\"";
    case 5:
        return PartIdLine();
    case 6:
        OpenPartFile(More);
        return "";
    default:
        break;
    }
    if (FReopenPending) {
        OpenPartFile(More);
        if (!FFileStream)
            return "";
    }
    if (FFileStream) {
        bool moreInFile = false;
        std::string line = DoFileEncBase64(FFileStream, moreInFile);
        if (!moreInFile)
            EndFileEncBase64(FFileStream);
        return line;
    }
    // The part is complete: the next call starts the following one.
    FLineOffset = N;
    ++FPartNumber;
    return "";
}

std::string THtmlSmtpCli::PartIdLine()
{
    std::string line = PartIsImage() ? "Content-ID: <IMAGE" + IntToStr(FPartNumber) + ">"
                                     : "X-File-ID: <FILE" + IntToStr(FPartNumber - FEmailImages->Count()) + ">";
    TStringList extra;
    TriggerAttachHeader(FPartNumber, FPartName, &extra);
    for (int i = 0; i < extra.Count(); ++i)
        line += "\r\n" + HtmlSmtpCliUnit::OneLineName(extra.Strings(i));
    DotEscape(line);
    return line;
}

void THtmlSmtpCli::OpenPartFile(bool& More)
{
    FReopenPending = false;
    const std::string path = PartPath();
    TSmtpBeforeOpenFileAction before = smtpBeforeOpenFileNone;
    if (OnBeforeFileOpen)
        OnBeforeFileOpen(this, FPartNumber, path, before);
    if (before == smtpBeforeOpenFileNext)
        return; // the part stays empty
    if (before == smtpBeforeOpenFileAbort) {
        More = false;
        Abort();
        return;
    }
    const TSmtpAfterOpenFileAction after = OpenFileForBase64(FPartNumber, path);
    switch (after) {
    case smtpAfterOpenFileNext:
        EndFileEncBase64(FFileStream);
        return;
    case smtpAfterOpenFileRetry:
        EndFileEncBase64(FFileStream);
        FReopenPending = true;
        return;
    case smtpAfterOpenFileAbort:
        EndFileEncBase64(FFileStream);
        More = false;
        Abort();
        return;
    default:
        break;
    }
}
