#pragma once
// The rich edit control's document: Windows-1252 text in paragraphs with the character and
// paragraph formats of the control's records, over a QTextDocument that stores it. Positions
// follow either convention of the Windows control: a paragraph break counts as CR LF (the old
// "RICHEDIT" class) or as CR ("RichEdit20A"). The attributes Qt's formats cannot hold are custom
// format properties, so that they survive editing and streaming.

#include "platform/gui/RichEditApi.h"
#include "platform/gui/private/RichContent.h"

#include <QImage>
#include <QTextCharFormat>
#include <QTextDocument>

#include <memory>
#include <string>
#include <vector>

enum class TBreakCount { CrLf, Cr };

// The custom properties of the document's formats.
enum TRichProperty {
    rpUnderlineType = QTextFormat::UserProperty + 0x5200,
    rpOffset,
    rpProtected,
    rpHidden,
    rpDisabled,
    rpLink,
    rpRevAuthor,
    rpCharset,
    rpPitchAndFamily,
    rpWeight,
    rpFieldInstruction,
    rpFieldId,
    rpObjectKind,
    rpObjectGroup,
    rpObjectResult,
    rpPictureType,
    rpObjectWidth,
    rpObjectHeight,
    rpNumbering,
    rpNumberingStart,
    rpNumberingStyle,
    rpNumberingTab,
    rpStartIndent,
    rpRightIndent,
    rpParaOffset,
    rpSpaceBefore,
    rpSpaceAfter,
    rpLineSpacing,
    rpLineSpacingRule,
    rpHeadingStyle,
    rpTabs,
    rpTableBits,
};

// The object type of a picture's or embedded object's character.
constexpr int RichObjectType = QTextFormat::UserObject + 0x52;

class TRichDocument {
public:
    explicit TRichDocument(TBreakCount breaks = TBreakCount::Cr);
    ~TRichDocument();
    TRichDocument(const TRichDocument&) = delete;
    TRichDocument& operator=(const TRichDocument&) = delete;

    QTextDocument* Document() const { return FDocument.get(); }
    TBreakCount Breaks() const { return FBreaks; }
    void SetBreaks(TBreakCount breaks) { FBreaks = breaks; }
    int TextLimit() const { return FTextLimit; }
    void SetTextLimit(int limit);

    // Positions. ToQt of a position between the CR and the LF of a break gives the break.
    int ToQt(int pos) const;
    int FromQt(int qtPos) const;
    int TextLength() const;
    // The text of [from, to): to -1 means the end; the range is ordered and clamped. Breaks are CR
    // or CR LF by the convention, a line break is "\v", an object character a space.
    std::string TextRange(int from, int to) const;
    std::string Text() const { return TextRange(0, -1); }
    int ParagraphCount() const;
    int ParagraphOf(int pos) const;
    int ParagraphStart(int paragraph) const;
    int ParagraphLength(int paragraph) const; // without its break

    // Character formats: range nullptr is the default format. Get fills recordSize bytes of
    // format (60 or 84), its mask holding what is the same over the range; Set changes what the
    // mask names. False for another record size.
    bool GetCharFormat(const CHARRANGE* range, CHARFORMAT2A& format, UINT recordSize) const;
    bool SetCharFormat(const CHARRANGE* range, const CHARFORMAT2A& format);
    // Paragraph formats over the paragraphs the range touches; record size 156 or 188.
    bool GetParaFormat(const CHARRANGE& range, PARAFORMAT2& format, UINT recordSize) const;
    bool SetParaFormat(const CHARRANGE& range, const PARAFORMAT2& format);

    // Replaces [from, to) by Windows-1252 text (CR LF, CR or LF end a paragraph, "\v" is a line
    // break). The new text takes the format of the first replaced character, or with nothing
    // replaced of the character before the position (of the paragraph's start at its start).
    void Replace(int from, int to, const std::string& text);
    void Clear();

    // Streams. A range replaces (or writes) only that part; nullptr is the whole document.
    bool LoadText(const std::string& bytes, bool unicode, const CHARRANGE* range);
    std::string SaveText(const CHARRANGE* range, bool unicode) const;
    bool LoadRtf(const std::string& bytes, const CHARRANGE* range, std::string& error);
    std::string SaveRtf(const CHARRANGE* range, bool noObjects) const;

    // The content of [qtFrom, qtTo) and its insertion at a Qt position.
    TRichContent Extract(int qtFrom, int qtTo) const;
    void Insert(const TRichContent& content, int qtPos, bool wholeDocument);

    // A picture or object character's display image (null when it is not a PNG, JPEG or bitmap).
    static QImage ObjectImage(const QTextCharFormat& format);

    // The full record of a fragment's format, by the document's format index.
    const CHARFORMAT2A& RecordOfIndex(int formatIndex, const QTextCharFormat& format) const;

private:
    std::unique_ptr<QTextDocument> FDocument;
    TBreakCount FBreaks;
    int FTextLimit;
    CHARFORMAT2A FDefaultFormat;

    struct TQtRange {
        int From;
        int To;
    };
    TQtRange QtRange(const CHARRANGE* range) const;
    CHARFORMAT2A RecordOf(const QTextCharFormat& format) const;
    // RecordOf by the document's format index: formats are kept until the document is cleared,
    // and each entry keeps its format to tell when the index has been given to another one.
    struct TCachedRecord {
        QTextFormat Format;
        CHARFORMAT2A Record;
    };
    mutable std::vector<TCachedRecord> FRecords;
    QTextCharFormat FormatAt(int qtPos) const;
};

// The record of a format and back. Apply sets or clears every attribute the record carries and
// keeps the format's other properties (objects, fields).
void ApplyCharRecord(QTextCharFormat& format, const CHARFORMAT2A& record);
PARAFORMAT2 ParaRecordOf(const QTextBlockFormat& format);
void ApplyParaRecord(QTextBlockFormat& format, const PARAFORMAT2& record);
// The masks of the attributes that are the same in two full records.
DWORD SameCharMask(const CHARFORMAT2A& a, const CHARFORMAT2A& b);
DWORD SameParaMask(const PARAFORMAT2& a, const PARAFORMAT2& b);
// A full record with the masked attributes of change merged into it.
void MergeCharRecord(CHARFORMAT2A& record, const CHARFORMAT2A& change, DWORD mask);
bool MergeParaRecord(PARAFORMAT2& record, const PARAFORMAT2& change, DWORD mask);
