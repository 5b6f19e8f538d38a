#pragma once
// THtmlSmtpCli: a mail whose text exists twice, as plain text and as HTML, inside
// multipart/alternative, which sits in multipart/related with the images the HTML shows inline
// (Content-ID <IMAGE1>, <IMAGE2>, ...) and the attached files (X-File-ID <FILE1>, ...). Both
// texts go out quoted-printable. Every body line is generated from its line number; OnGetData
// sees each one and may replace it. With ContentType smtpPlainText it sends like TSmtpCli, with
// PlainText following MailMessage.
//
// With OwnHeaders the caller's header lines must declare the multipart type themselves:
// multipart/related with type "multipart/alternative" and the boundary OuterBoundary(), which is
// known from the start of DATA on.

#include "net/SmtpCli.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum TSmtpMimeState { smtpMimeIntro, smtpMimePlainText, smtpMimeHtmlText, smtpMimeImages, smtpMimeDone };

class THtmlSmtpCli : public TSmtpCli {
    TESS_CLASS(THtmlSmtpCli, TSmtpCli)
public:
    explicit THtmlSmtpCli(TComponent* AOwner);
    ~THtmlSmtpCli() override;

    TStrings* EmailImages() const { return FEmailImages.get(); }
    // Takes the non-blank lines of Value, trimmed; a missing file raises as SetEMailFiles does.
    void SetEmailImages(TStrings* Value);
    TStrings* PlainText() const { return FPlainText.get(); }
    void SetPlainText(TStrings* Value);
    TStrings* HtmlText() const { return FHtmlText.get(); }
    void SetHtmlText(TStrings* Value);
    const std::string& HtmlCharSet() const { return FHtmlCharSet; }
    void SetHtmlCharSet(const std::string& Value) { FHtmlCharSet = Value; }

    // Streams kept for the caller by index; the message builder never reads them. A null stream
    // is ignored; the list grows with empty entries up to Index.
    void SetImageStream(int Index, TStream* Stream);
    // nullptr when Index is beyond the list.
    TStream* GetImageStream(int Index) const;
    int GetImageStreamCount() const;
    // Forgets the streams (they belong to the caller).
    void ClearImageStreamArray();

    const std::string& OuterBoundary() const { return FOutsideBoundary; }
    const std::string& InnerBoundary() const { return FInsideBoundary; }

    void Data() override;

protected:
    THtmlSmtpCli(TComponent* AOwner, std::unique_ptr<TWSocket> Socket);

    virtual void GenerateBoundaries();
    // The tick count the boundaries carry.
    virtual std::uint32_t BoundaryTicks() const;

    void TriggerGetData(int LineNum, std::string& MsgLine, int MaxLen, bool& More) override;
    void TriggerProcessHeader(TStrings* HdrLines) override;
    void TriggerHeaderLine(std::string& Line) override;
    void PrepareEMail() override;
    void TriggerBodyLine(int BodyLine, std::string& MsgLine, int MaxLen, bool& More) override;

private:
    void Initialize();
    // The line N of the body in the current part state; More false after the last.
    std::string BuildLine(int N, bool& More);
    std::string IntroLine(int N, bool& More);
    std::string TextLine(int N, bool& More);
    std::string PartLine(int N, bool& More);
    // The header line of the part with Line 5's extra lines added by OnAttachHeader.
    std::string PartIdLine();
    // Opens the current part's file after its blank line; false when it is to be skipped or was
    // aborted (More then false).
    void OpenPartFile(bool& More);
    // Lets OnGetData see and replace the prepared line.
    void OfferLine(int N, std::string& Line, int MaxLen);
    int PartCount() const;
    bool PartIsImage() const { return FPartNumber <= FEmailImages->Count(); }
    std::string PartPath() const;

    std::unique_ptr<TStringList> FEmailImages;
    std::unique_ptr<TStringList> FPlainText;
    std::unique_ptr<TStringList> FHtmlText;
    std::string FHtmlCharSet = "iso-8859-1";
    std::unique_ptr<std::vector<TStream*>> FStreamArray;

    std::string FOutsideBoundary;
    std::string FInsideBoundary;
    TSmtpMimeState FMimeState = smtpMimeIntro;
    int FLineOffset = 0;
    int FPartNumber = 0;
    std::string FPartName;
    std::string FPartType;
    // The character sets both text parts declare in this message.
    std::string FPlainCharSetInUse;
    std::string FHtmlCharSetInUse;
    // The part's file is to be opened again at the next line (after a Retry).
    bool FReopenPending = false;
};
