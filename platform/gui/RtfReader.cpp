#include "platform/gui/private/RtfReader.h"

#include "platform/gui/GdiObjects.h"
#include "platform/rtl/Codepage.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <memory>
#include <unordered_map>

bool LooksLikeRtf(std::string_view data)
{
    std::size_t i = 0;
    while (i < data.size() && (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n'))
        ++i;
    return data.substr(i, 5) == "{\\rtf";
}

namespace RtfReaderUnit {

enum class TDest {
    Text,          // document text
    FieldResult,   // document text inside a field's result
    Skip,          // ignored with everything inside
    FontTable,
    ColorTable,
    Picture,
    Object,
    ObjectResult,
    FieldInstruction,
    ListTable,
    ListLevelText,
    ListOverrideTable,
    OldNumbering,
    OldNumberingBefore,
    OldNumberingAfter,
};

bool IsTextDest(TDest dest) { return dest == TDest::Text || dest == TDest::FieldResult; }

enum TWord {
    wUnknown, wRtf, wAnsi, wAnsiCpg, wMac, wPc, wPca, wDeff,
    wFontTable, wColorTable, wPict, wObject, wResult, wField, wFieldInstruction, wFieldResult,
    wListTable, wListOverrideTable, wList, wListLevel, wListOverride, wLevelText, wListId, wLevelNfc,
    wLevelStartAt, wLs, wIlvl, wOldNumbering, wNumberingTextAfter, wNumberingTextBefore, wShapePicture,
    wSkipDestination,
    wFont, wFamilyNil, wFamilyRoman, wFamilySwiss, wFamilyModern, wFamilyScript, wFamilyDecor, wFamilyTech,
    wFamilyBidi, wFontCharset, wFontPitch, wRed, wGreen, wBlue,
    wPlain, wBold, wItalic, wUnderline, wUnderlineNone, wUnderlineDouble, wUnderlineWord, wUnderlineDotted,
    wUnderlineWave, wUnderlineDash, wUnderlineDashDot, wUnderlineDashDotDot, wUnderlineThick,
    wUnderlineHairline, wStrike, wHidden, wProtect, wFontSize, wColor, wHighlight, wBackColor, wUp, wDown,
    wSub, wSuper, wNoSuperSub, wRevAuthor,
    wPard, wPar, wLine, wTab, wLeft, wRight, wCenter, wJustify, wLeftIndent, wRightIndent, wFirstIndent,
    wSpaceBefore, wSpaceAfter, wLineSpacing, wLineMultiple, wTabStop, wStyle, wCell, wRow, wPage, wSect,
    wUnicode, wUnicodeSkip, wEmDash, wEnDash, wBullet, wLeftQuote, wRightQuote, wLeftDoubleQuote,
    wRightDoubleQuote, wEmSpace, wEnSpace, wBin,
    wPicW, wPicH, wPicWGoal, wPicHGoal, wPicScaleX, wPicScaleY, wPng, wJpeg, wDib, wWmf, wEmf, wBitmap,
    wObjW, wObjH,
    wPnBullet, wPnBody, wPnDecimal, wPnLowerLetter, wPnUpperLetter, wPnLowerRoman, wPnUpperRoman, wPnStart,
    wPnIndent,
};

TWord LookUpWord(std::string_view word)
{
    static const std::unordered_map<std::string_view, TWord> words = {
        {"rtf", wRtf}, {"ansi", wAnsi}, {"ansicpg", wAnsiCpg}, {"mac", wMac}, {"pc", wPc}, {"pca", wPca},
        {"deff", wDeff}, {"fonttbl", wFontTable}, {"colortbl", wColorTable}, {"pict", wPict},
        {"object", wObject}, {"result", wResult}, {"field", wField}, {"fldinst", wFieldInstruction},
        {"fldrslt", wFieldResult}, {"listtable", wListTable}, {"listoverridetable", wListOverrideTable},
        {"list", wList}, {"listlevel", wListLevel}, {"listoverride", wListOverride}, {"leveltext", wLevelText},
        {"listid", wListId}, {"levelnfc", wLevelNfc}, {"levelnfcn", wLevelNfc}, {"levelstartat", wLevelStartAt},
        {"ls", wLs}, {"ilvl", wIlvl}, {"pn", wOldNumbering}, {"pntxta", wNumberingTextAfter},
        {"pntxtb", wNumberingTextBefore}, {"shppict", wShapePicture},
        {"info", wSkipDestination}, {"stylesheet", wSkipDestination}, {"generator", wSkipDestination},
        {"pntext", wSkipDestination}, {"listtext", wSkipDestination}, {"nonshppict", wSkipDestination},
        {"levelnumbers", wSkipDestination}, {"listname", wSkipDestination}, {"header", wSkipDestination},
        {"headerl", wSkipDestination}, {"headerr", wSkipDestination}, {"headerf", wSkipDestination},
        {"footer", wSkipDestination}, {"footerl", wSkipDestination}, {"footerr", wSkipDestination},
        {"footerf", wSkipDestination}, {"footnote", wSkipDestination}, {"revtbl", wSkipDestination},
        {"filetbl", wSkipDestination},
        {"f", wFont}, {"fnil", wFamilyNil}, {"froman", wFamilyRoman}, {"fswiss", wFamilySwiss},
        {"fmodern", wFamilyModern}, {"fscript", wFamilyScript}, {"fdecor", wFamilyDecor},
        {"ftech", wFamilyTech}, {"fbidi", wFamilyBidi}, {"fcharset", wFontCharset}, {"fprq", wFontPitch},
        {"red", wRed}, {"green", wGreen}, {"blue", wBlue},
        {"plain", wPlain}, {"b", wBold}, {"i", wItalic}, {"ul", wUnderline}, {"ulnone", wUnderlineNone},
        {"uldb", wUnderlineDouble}, {"ulw", wUnderlineWord}, {"uld", wUnderlineDotted},
        {"ulwave", wUnderlineWave}, {"uldash", wUnderlineDash}, {"uldashd", wUnderlineDashDot},
        {"uldashdd", wUnderlineDashDotDot}, {"ulth", wUnderlineThick}, {"ulhair", wUnderlineHairline},
        {"strike", wStrike}, {"v", wHidden}, {"protect", wProtect}, {"fs", wFontSize}, {"cf", wColor},
        {"highlight", wHighlight}, {"cb", wBackColor}, {"up", wUp}, {"dn", wDown}, {"sub", wSub},
        {"super", wSuper}, {"nosupersub", wNoSuperSub}, {"revauth", wRevAuthor},
        {"pard", wPard}, {"par", wPar}, {"line", wLine}, {"tab", wTab}, {"ql", wLeft}, {"qr", wRight},
        {"qc", wCenter}, {"qj", wJustify}, {"li", wLeftIndent}, {"ri", wRightIndent}, {"fi", wFirstIndent},
        {"sb", wSpaceBefore}, {"sa", wSpaceAfter}, {"sl", wLineSpacing}, {"slmult", wLineMultiple},
        {"tx", wTabStop}, {"s", wStyle}, {"cell", wCell}, {"row", wRow}, {"page", wPage}, {"sect", wSect},
        {"u", wUnicode}, {"uc", wUnicodeSkip}, {"emdash", wEmDash}, {"endash", wEnDash}, {"bullet", wBullet},
        {"lquote", wLeftQuote}, {"rquote", wRightQuote}, {"ldblquote", wLeftDoubleQuote},
        {"rdblquote", wRightDoubleQuote}, {"emspace", wEmSpace}, {"enspace", wEnSpace}, {"bin", wBin},
        {"picw", wPicW}, {"pich", wPicH}, {"picwgoal", wPicWGoal}, {"pichgoal", wPicHGoal},
        {"picscalex", wPicScaleX}, {"picscaley", wPicScaleY}, {"pngblip", wPng}, {"jpegblip", wJpeg},
        {"dibitmap", wDib}, {"wmetafile", wWmf}, {"emfblip", wEmf}, {"wbitmap", wBitmap},
        {"objw", wObjW}, {"objh", wObjH},
        {"pnlvlblt", wPnBullet}, {"pnlvlbody", wPnBody}, {"pnlvl", wPnBody}, {"pndec", wPnDecimal},
        {"pnlcltr", wPnLowerLetter}, {"pnucltr", wPnUpperLetter}, {"pnlcrm", wPnLowerRoman},
        {"pnucrm", wPnUpperRoman}, {"pnstart", wPnStart}, {"pnindent", wPnIndent},
    };
    const auto found = words.find(word);
    return found == words.end() ? wUnknown : found->second;
}

struct TFontEntry {
    std::string Name;
    BYTE Charset = ANSI_CHARSET;
    BYTE PitchAndFamily = 0;
};

struct TListLevel {
    int NumberFormat = 0;
    int StartAt = 1;
    std::string Text;  // the level text: its length byte, the text and the placeholders (bytes 0 to 8)
};

// What is saved when a group opens and restored when it closes.
struct TGroupState {
    TDest Dest = TDest::Text;
    std::size_t Start = 0;       // offset of the group's "{"
    CHARFORMAT2A Char;
    int FontNumber = -1;
    int CodePage = 1252;
    int UnicodeSkip = 1;
    PARAFORMAT2 Para;
    int LineSpacing = 0;         // \sl
    bool LineMultiple = false;   // \slmult1
    int ListLevel = 0;           // \ilvl
    int FieldDepth = 0;          // fields open around the group
    bool Starred = false;        // the group began with \*
};

struct TOldNumbering {
    WORD Numbering = 0;
    WORD Start = 1;
    WORD Tab = 0;
    std::string Before;
    std::string After;
};

// The size words of the picture being read.
struct TPictureInfo {
    TRichPictureType Type = TRichPictureType::Unknown;
    int Width = 0;       // \picw, \pich: pixels, or hundredths of a millimetre for metafiles
    int Height = 0;
    int GoalWidth = 0;   // twips
    int GoalHeight = 0;
    int ScaleX = 100;
    int ScaleY = 100;

    LONG Scaled(int goal, int size, int scale) const
    {
        long long twips = goal;
        if (twips <= 0)
            twips = Type == TRichPictureType::Metafile ? size * 1440LL / 2540 : size * 15LL;
        return static_cast<LONG>(std::clamp(twips * std::clamp(scale, 1, 10000) / 100, 0LL, 0x7FFFFFFLL));
    }
};

struct TField {
    std::string Instruction;
    int Id = 0;
};

// A code page's converter, opened once.
class TConverters {
public:
    ~TConverters()
    {
        for (auto& [page, converter] : FOpen)
            if (converter != nullptr)
                ucnv_close(converter);
    }
    UConverter* Get(int codePage)
    {
        auto [where, added] = FOpen.try_emplace(codePage, nullptr);
        if (added) {
            UErrorCode status = U_ZERO_ERROR;
            const std::string name = codePage == 10000 ? "macintosh" : "cp" + std::to_string(codePage);
            UConverter* converter = ucnv_open(name.c_str(), &status);
            if (U_FAILURE(status) && converter != nullptr) {
                ucnv_close(converter);
                converter = nullptr;
            }
            where->second = converter;
        }
        return where->second;
    }

private:
    std::map<int, UConverter*> FOpen;
};

} // namespace RtfReaderUnit

int RtfCodePageOfCharset(int charset)
{
    switch (charset) {
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    default: return 0; // the document's code page
    }
}

namespace RtfReaderUnit {

WORD NumberingOfFormat(int format)
{
    switch (format) {
    case 23: return PFN_BULLET;
    case 0: return PFN_ARABIC;
    case 4: return PFN_LCLETTER;
    case 3: return PFN_UCLETTER;
    case 2: return PFN_LCROMAN;
    case 1: return PFN_UCROMAN;
    default: return 0;
    }
}

WORD NumberingStyleOf(const std::string& before, const std::string& after)
{
    if (after.find(')') != std::string::npos)
        return before.find('(') != std::string::npos ? PFNS_PARENS : PFNS_PAREN;
    if (after.find('.') != std::string::npos)
        return PFNS_PERIOD;
    return PFNS_PLAIN;
}

class TRtfReader {
public:
    TRtfReader(std::string_view data, TRichContent& content, int maxChars)
        : FData(data), FContent(content), FMaxChars(std::max(0, maxChars))
    {
    }
    bool Read(std::string& error);

private:
    std::string_view FData;
    TRichContent& FContent;
    int FMaxChars;
    std::size_t FPos = 0;
    std::size_t FWordStart = 0;     // the backslash of the control word being read
    std::vector<TGroupState> FStack;
    TGroupState FState;
    bool FEnded = false;
    bool FFailed = false;
    std::string FError;

    int FCodePage = 1252;
    int FDefaultFont = 0;
    std::map<int, TFontEntry> FFonts;
    std::string FFontName;
    std::vector<COLORREF> FColors;
    std::vector<bool> FColorIsAuto;
    COLORREF FColorBeingRead = 0;
    bool FColorHasComponent = false;
    std::map<int, std::vector<TListLevel>> FLists;
    std::vector<TListLevel> FListBeingRead;
    int FListIdBeingRead = 0;
    std::map<int, int> FOverrides;  // \ls number -> list id
    int FOverrideList = 0;
    TOldNumbering FOldNumbering;
    TRichObject FObject;
    TPictureInfo FPicture;
    std::vector<TField> FFields;
    int FNextFieldId = 1;

    int FChars = 0;
    bool FParagraphPending = false;
    bool FCellPending = false;
    int FSkipFallback = 0;
    bool FStarNext = false;
    std::string FPendingBytes;      // \'hh bytes of a code page other than Windows-1252
    int FPendingCodePage = 1252;
    TConverters FConverters;
    int FStyle = -1;                // style index of FState, -1 when it must be looked up again

    // Tokens
    void OpenGroup();
    void FinishDocument();
    void CloseGroup();
    void ControlWord();
    void ControlSymbol(char symbol);
    void TextBytes();
    void Word(TWord word, bool hasParameter, int parameter);
    void DestinationWord(TWord word);

    // Text
    bool Full() const { return FChars >= FMaxChars; }
    void Append(char c);
    void AppendByte(unsigned char byte, int codePage);
    void FlushPendingBytes();
    void AppendObject(const TRichObject& object);
    int CurrentStyle();
    TRichRun& RunForText();
    void StartPendingParagraph();
    void EndParagraph();
    void StyleChanged() { FStyle = -1; }

    // Formats
    void PlainChar();
    void SetFont(int number);
    void SetColor(int index, bool background);
    void SetUnderline(BYTE type);
    void SetEffect(DWORD effect, bool on);
    PARAFORMAT2 CurrentParaFormat() const;
    void SetListNumbering(int ls);
    void DestinationText(char c);
    TFontEntry* FontBeingRead();
    bool WordOpensGroup() const;
    void FinishGroup(const TGroupState& closed);
};

bool TRtfReader::Read(std::string& error)
{
    FContent = TRichContent();
    FContent.Paragraphs.emplace_back();
    if (!LooksLikeRtf(FData)) {
        error = "not RTF";
        return false;
    }
    while (FData[FPos] != '{')
        ++FPos;
    PlainChar();
    FState.Para = DefaultRichParaFormat();
    while (!FEnded && !FFailed && FPos < FData.size()) {
        const char c = FData[FPos];
        if (c == '{') {
            ++FPos;
            OpenGroup();
        } else if (c == '}') {
            ++FPos;
            CloseGroup();
        } else if (c == '\\') {
            ++FPos;
            ControlWord();
        } else {
            TextBytes();
        }
        if (Full())
            break;
    }
    if (FFailed) {
        FContent = TRichContent();
        FContent.Paragraphs.emplace_back();
        error = FError;
        return false;
    }
    // Groups left open at the end are closed silently.
    if (!FEnded)
        FinishDocument();
    return true;
}

void TRtfReader::OpenGroup()
{
    FlushPendingBytes();
    FStarNext = false;
    if (static_cast<int>(FStack.size()) >= RtfMaxGroupDepth) {
        FFailed = true;
        FError = "groups nested too deep";
        return;
    }
    FStack.push_back(FState);
    FState.Start = FPos - 1;
    FState.Starred = false;
    FSkipFallback = 0;
}

// The last paragraph, when no break ended it, takes the formats in force at the end.
void TRtfReader::FinishDocument()
{
    FlushPendingBytes();
    FEnded = true;
    if (!FParagraphPending) {
        FContent.Paragraphs.back().Format = CurrentParaFormat();
        FContent.Paragraphs.back().MarkStyle = CurrentStyle();
    }
}

void TRtfReader::CloseGroup()
{
    FlushPendingBytes();
    FStarNext = false;
    FSkipFallback = 0;
    if (FStack.empty()) {
        FEnded = true;
        return;
    }
    if (FStack.size() == 1) {
        FinishDocument();
        return;
    }
    const TGroupState closed = FState;
    FState = FStack.back();
    FStack.pop_back();
    StyleChanged();
    FinishGroup(closed);
}

void TRtfReader::FinishGroup(const TGroupState& closed)
{
    const std::size_t end = std::min(FPos, FData.size());
    switch (closed.Dest) {
    case TDest::FontTable:
        break;
    case TDest::Picture: {
        const std::string group(FData.substr(closed.Start, end - closed.Start));
        const LONG width = FPicture.Scaled(FPicture.GoalWidth, FPicture.Width, FPicture.ScaleX);
        const LONG height = FPicture.Scaled(FPicture.GoalHeight, FPicture.Height, FPicture.ScaleY);
        if (FState.Dest == TDest::ObjectResult || FState.Dest == TDest::Object) {
            FObject.ResultGroup = group;
            FObject.PictureType = FPicture.Type;
            if (FObject.Width <= 0 || FObject.Height <= 0) {
                FObject.Width = width;
                FObject.Height = height;
            }
        } else if (IsTextDest(FState.Dest)) {
            TRichObject picture;
            picture.Group = group;
            picture.PictureType = FPicture.Type;
            picture.Width = width;
            picture.Height = height;
            AppendObject(picture);
        }
        break;
    }
    case TDest::Object:
        if (IsTextDest(FState.Dest)) {
            FObject.Kind = TRichObjectKind::Object;
            FObject.Group = std::string(FData.substr(closed.Start, end - closed.Start));
            AppendObject(FObject);
        }
        break;
    case TDest::OldNumbering:
        FState.Para.wNumbering = FOldNumbering.Numbering;
        FState.Para.wNumberingStart = FOldNumbering.Start;
        FState.Para.wNumberingTab = FOldNumbering.Tab;
        FState.Para.wNumberingStyle =
            FOldNumbering.Numbering == PFN_BULLET ? 0 : NumberingStyleOf(FOldNumbering.Before, FOldNumbering.After);
        break;
    default:
        break;
    }
    if (closed.Dest == TDest::ListTable && FState.Dest != TDest::ListTable)
        FListBeingRead.clear();
    if (closed.FieldDepth > FState.FieldDepth && !FFields.empty())
        FFields.pop_back();
}

// --- Text ---------------------------------------------------------------------------------------

int TRtfReader::CurrentStyle()
{
    if (FStyle < 0) {
        TRichCharStyle style;
        style.Format = FState.Char;
        if (FState.Dest == TDest::FieldResult && !FFields.empty()) {
            style.FieldInstruction = FFields.back().Instruction;
            style.FieldId = FFields.back().Id;
        }
        FStyle = FContent.StyleIndex(style);
    }
    return FStyle;
}

TRichRun& TRtfReader::RunForText()
{
    StartPendingParagraph();
    CurrentStyle();
    std::vector<TRichRun>& runs = FContent.Paragraphs.back().Runs;
    if (runs.empty() || runs.back().Style != FStyle || runs.back().Object >= 0) {
        runs.emplace_back();
        runs.back().Style = FStyle;
    }
    return runs.back();
}

void TRtfReader::StartPendingParagraph()
{
    if (FParagraphPending) {
        FParagraphPending = false;
        FContent.Paragraphs.emplace_back();
    }
}

void TRtfReader::Append(char c)
{
    if (FSkipFallback > 0) {
        --FSkipFallback;
        return;
    }
    if (!IsTextDest(FState.Dest)) {
        DestinationText(c);
        return;
    }
    // Control characters other than the tab and the line break have no place in the text.
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != RichLineBreak)
        return;
    if (Full())
        return;
    if (FCellPending) {
        FCellPending = false;
        Append('\t');
        if (Full())
            return;
    }
    RunForText().Text += c;
    ++FChars;
}

void TRtfReader::AppendByte(unsigned char byte, int codePage)
{
    if (codePage == 1252 || !IsTextDest(FState.Dest) || FSkipFallback > 0) {
        FlushPendingBytes();
        Append(static_cast<char>(byte));
        return;
    }
    if (codePage != FPendingCodePage)
        FlushPendingBytes();
    FPendingCodePage = codePage;
    FPendingBytes += static_cast<char>(byte);
}

void TRtfReader::FlushPendingBytes()
{
    if (FPendingBytes.empty())
        return;
    const std::string bytes = std::move(FPendingBytes);
    FPendingBytes.clear();
    UConverter* converter = FConverters.Get(FPendingCodePage);
    if (converter == nullptr) {
        for (char c : bytes)
            Append(static_cast<unsigned char>(c) < 0x80 ? c : '?');
        return;
    }
    std::u16string unicode(bytes.size() * 2 + 2, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = ucnv_toUChars(converter, reinterpret_cast<UChar*>(unicode.data()),
                                         static_cast<int32_t>(unicode.size()), bytes.data(),
                                         static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status))
        return;
    for (int32_t i = 0; i < length; ++i)
        Append(UnicodeToAnsiChar(unicode[static_cast<std::size_t>(i)]));
}

void TRtfReader::AppendObject(const TRichObject& object)
{
    if (Full())
        return;
    StartPendingParagraph();
    if (FCellPending) {
        FCellPending = false;
        Append('\t');
        if (Full())
            return;
    }
    TRichRun run;
    run.Style = CurrentStyle();
    run.Object = static_cast<int>(FContent.Objects.size());
    FContent.Objects.push_back(object);
    FContent.Paragraphs.back().Runs.push_back(run);
    ++FChars;
}

void TRtfReader::EndParagraph()
{
    FlushPendingBytes();
    if (!IsTextDest(FState.Dest))
        return;
    if (FParagraphPending) {
        if (Full())
            return;
        StartPendingParagraph();
    }
    FCellPending = false;
    FContent.Paragraphs.back().Format = CurrentParaFormat();
    FContent.Paragraphs.back().MarkStyle = CurrentStyle();
    FParagraphPending = true;
    ++FChars;
}

// Text bytes outside control words: CR and LF are ignored, other bytes are characters.
void TRtfReader::TextBytes()
{
    FStarNext = false;
    if (IsTextDest(FState.Dest) && FSkipFallback == 0 && FPendingBytes.empty() && !FCellPending) {
        std::size_t end = FPos;
        while (end < FData.size()) {
            const char c = FData[end];
            if (c == '{' || c == '}' || c == '\\' || static_cast<unsigned char>(c) < 0x20 ||
                static_cast<unsigned char>(c) >= 0x80)
                break;
            ++end;
        }
        if (end > FPos) {
            const std::size_t room = static_cast<std::size_t>(std::max(0, FMaxChars - FChars));
            const std::size_t count = std::min(end - FPos, room);
            if (count > 0) {
                RunForText().Text.append(FData.data() + FPos, count);
                FChars += static_cast<int>(count);
            }
            FPos = end;
            return;
        }
    }
    if (FState.Dest == TDest::Skip || FState.Dest == TDest::Picture) {
        // Skipped text and picture data: pass over it at once.
        while (FPos < FData.size() && FData[FPos] != '{' && FData[FPos] != '}' && FData[FPos] != '\\')
            ++FPos;
        return;
    }
    const unsigned char c = static_cast<unsigned char>(FData[FPos++]);
    if (c == '\r' || c == '\n' || c == '\0')
        return;
    if (c == '\t') {
        FlushPendingBytes();
        Append('\t');
    } else if (c >= 0x80) {
        AppendByte(c, FState.CodePage);
    } else {
        FlushPendingBytes();
        Append(static_cast<char>(c));
    }
}

// True when the word being read is the first of its group (after an optional \*): only there
// does a picture or an object begin, so that the group kept for it holds nothing else.
bool TRtfReader::WordOpensGroup() const
{
    if (FStack.empty() || FWordStart <= FState.Start)
        return false;
    std::string_view before = FData.substr(FState.Start + 1, FWordStart - FState.Start - 1);
    while (!before.empty() && (before.front() == ' ' || before.front() == '\r' || before.front() == '\n'))
        before.remove_prefix(1);
    return before.empty() || before == "\\*";
}

TFontEntry* TRtfReader::FontBeingRead()
{
    const auto found = FFonts.find(FState.FontNumber);
    return found == FFonts.end() ? nullptr : &found->second;
}

void TRtfReader::DestinationText(char c)
{
    switch (FState.Dest) {
    case TDest::FontTable:
        if (c == ';') {
            if (TFontEntry* font = FontBeingRead()) {
                font->Name = FFontName.substr(0, 31);
                while (!font->Name.empty() && font->Name.back() == ' ')
                    font->Name.pop_back();
                while (!font->Name.empty() && font->Name.front() == ' ')
                    font->Name.erase(0, 1);
            }
            FFontName.clear();
        } else if (FFontName.size() < 64 && static_cast<unsigned char>(c) >= 0x20) {
            FFontName += c;
        }
        break;
    case TDest::ColorTable:
        if (c == ';') {
            FColors.push_back(FColorBeingRead);
            FColorIsAuto.push_back(!FColorHasComponent);
            FColorBeingRead = 0;
            FColorHasComponent = false;
        }
        break;
    case TDest::FieldInstruction:
        if (!FFields.empty() && FFields.back().Instruction.size() < 4096)
            FFields.back().Instruction += c;
        break;
    case TDest::ListLevelText:
        if (!FListBeingRead.empty() && FListBeingRead.back().Text.size() < 64)
            FListBeingRead.back().Text += c;
        break;
    case TDest::OldNumberingBefore:
        if (FOldNumbering.Before.size() < 64)
            FOldNumbering.Before += c;
        break;
    case TDest::OldNumberingAfter:
        if (FOldNumbering.After.size() < 64)
            FOldNumbering.After += c;
        break;
    default:
        break;
    }
}

// --- Control words ---------------------------------------------------------------------------------

void TRtfReader::ControlWord()
{
    if (FPos >= FData.size())
        return;
    const char first = FData[FPos];
    if (!std::isalpha(static_cast<unsigned char>(first))) {
        ++FPos;
        ControlSymbol(first);
        return;
    }
    const std::size_t start = FPos;
    FWordStart = start - 1;
    while (FPos < FData.size() && std::isalpha(static_cast<unsigned char>(FData[FPos])))
        ++FPos;
    // Words longer than RTF allows are read whole and known by none of their names.
    const std::string_view name = FPos - start <= 32 ? FData.substr(start, FPos - start) : std::string_view();
    bool negative = false;
    if (FPos < FData.size() && FData[FPos] == '-' && FPos + 1 < FData.size() &&
        std::isdigit(static_cast<unsigned char>(FData[FPos + 1]))) {
        negative = true;
        ++FPos;
    }
    bool hasParameter = false;
    long long value = 0;
    while (FPos < FData.size() && std::isdigit(static_cast<unsigned char>(FData[FPos]))) {
        hasParameter = true;
        if (value < 10000000000LL)
            value = value * 10 + (FData[FPos] - '0');
        ++FPos;
    }
    if (FPos < FData.size() && FData[FPos] == ' ')
        ++FPos;
    value = std::clamp(negative ? -value : value, static_cast<long long>(INT32_MIN) + 1,
                       static_cast<long long>(INT32_MAX));
    const TWord word = LookUpWord(name);
    const int parameter = static_cast<int>(value);
    if (word == wBin) {
        // Raw bytes: kept inside a picture's group, ignored elsewhere.
        const std::size_t count = static_cast<std::size_t>(std::max(0, parameter));
        if (count > FData.size() - FPos) {
            FEnded = true;
            FPos = FData.size();
        } else {
            FPos += count;
        }
        return;
    }
    if (word != wUnicode)
        FlushPendingBytes();
    if (FSkipFallback > 0 && word != wPar && word != wPard) {
        --FSkipFallback;
        return;
    }
    const bool starred = FStarNext;
    FStarNext = false;
    if (FState.Dest == TDest::Skip)
        return;
    if (starred && WordOpensGroup()) {
        DestinationWord(word);
        return;
    }
    Word(word, hasParameter, parameter);
}

// A word after \*: a destination this reader knows, or a group to skip.
void TRtfReader::DestinationWord(TWord word)
{
    switch (word) {
    case wFieldInstruction:
    case wOldNumbering:
    case wListTable:
    case wListOverrideTable:
    case wShapePicture:
        Word(word, false, 0);
        break;
    default:
        FState.Dest = TDest::Skip;
        break;
    }
}

void TRtfReader::ControlSymbol(char symbol)
{
    switch (symbol) {
    case '\'': {
        if (FPos + 2 > FData.size() || !std::isxdigit(static_cast<unsigned char>(FData[FPos])) ||
            !std::isxdigit(static_cast<unsigned char>(FData[FPos + 1])))
            return;
        const auto byte = static_cast<unsigned char>(std::stoi(std::string(FData.substr(FPos, 2)), nullptr, 16));
        FPos += 2;
        if (FState.Dest == TDest::Skip)
            return;
        if (!IsTextDest(FState.Dest)) {
            if (FSkipFallback > 0)
                --FSkipFallback;
            else
                DestinationText(static_cast<char>(byte));
            return;
        }
        AppendByte(byte, FState.CodePage);
        return;
    }
    case '*':
        FStarNext = true;
        return;
    case '\r':
    case '\n':
        Word(wPar, false, 0);
        return;
    default:
        break;
    }
    FlushPendingBytes();
    if (FState.Dest == TDest::Skip)
        return;
    switch (symbol) {
    case '~': Append('\xA0'); break;
    case '_': Append('-'); break;
    case '-': Append('\xAD'); break;
    case '{':
    case '}':
    case '\\': Append(symbol); break;
    case '\t': Append('\t'); break;
    default: break;
    }
}

void TRtfReader::PlainChar()
{
    CHARFORMAT2A& f = FState.Char;
    f = DefaultRichCharFormat();
    f.yHeight = 240;
    SetFont(FDefaultFont);
    StyleChanged();
}

void TRtfReader::SetFont(int number)
{
    FState.FontNumber = number;
    const auto found = FFonts.find(number);
    if (found == FFonts.end()) {
        FState.CodePage = FCodePage;
        return;
    }
    CHARFORMAT2A& f = FState.Char;
    std::strncpy(f.szFaceName, found->second.Name.c_str(), sizeof f.szFaceName - 1);
    f.bCharSet = found->second.Charset;
    f.bPitchAndFamily = found->second.PitchAndFamily;
    const int codePage = RtfCodePageOfCharset(found->second.Charset);
    FState.CodePage = codePage == 0 ? FCodePage : codePage;
    StyleChanged();
}

void TRtfReader::SetColor(int index, bool background)
{
    CHARFORMAT2A& f = FState.Char;
    const bool automatic = index <= 0 || static_cast<std::size_t>(index) >= FColors.size() ||
                           FColorIsAuto[static_cast<std::size_t>(index)];
    const DWORD autoEffect = background ? CFE_AUTOBACKCOLOR : CFE_AUTOCOLOR;
    if (automatic) {
        f.dwEffects |= autoEffect;
        (background ? f.crBackColor : f.crTextColor) = 0;
    } else {
        f.dwEffects &= ~autoEffect;
        (background ? f.crBackColor : f.crTextColor) = FColors[static_cast<std::size_t>(index)];
    }
    StyleChanged();
}

void TRtfReader::SetUnderline(BYTE type)
{
    FState.Char.bUnderlineType = type;
    SetEffect(CFE_UNDERLINE, type != CFU_UNDERLINENONE);
}

void TRtfReader::SetEffect(DWORD effect, bool on)
{
    if (on)
        FState.Char.dwEffects |= effect;
    else
        FState.Char.dwEffects &= ~effect;
    StyleChanged();
}

PARAFORMAT2 TRtfReader::CurrentParaFormat() const
{
    PARAFORMAT2 format = FState.Para;
    if (format.wNumbering == 0 || format.wNumbering == PFN_BULLET) {
        format.wNumberingStart = 0;
        format.wNumberingStyle = 0;
        if (format.wNumbering == 0)
            format.wNumberingTab = 0;
    }
    const int sl = FState.LineSpacing;
    format.bLineSpacingRule = 0;
    format.dyLineSpacing = 0;
    if (FState.LineMultiple && sl > 0) {
        if (sl == 360) {
            format.bLineSpacingRule = 1;
        } else if (sl == 480) {
            format.bLineSpacingRule = 2;
        } else if (sl != 240) {
            format.bLineSpacingRule = 5;
            format.dyLineSpacing = sl / 12;
        }
    } else if (sl > 0) {
        format.bLineSpacingRule = 3;
        format.dyLineSpacing = sl;
    } else if (sl < 0) {
        format.bLineSpacingRule = 4;
        format.dyLineSpacing = -sl;
    }
    return format;
}

void TRtfReader::SetListNumbering(int ls)
{
    PARAFORMAT2& para = FState.Para;
    const auto over = FOverrides.find(ls);
    const auto list = over == FOverrides.end() ? FLists.end() : FLists.find(over->second);
    if (list == FLists.end() || list->second.empty()) {
        para.wNumbering = 0;
        return;
    }
    const std::size_t level =
        std::min(static_cast<std::size_t>(std::max(0, FState.ListLevel)), list->second.size() - 1);
    const TListLevel& found = list->second[level];
    para.wNumbering = NumberingOfFormat(found.NumberFormat);
    para.wNumberingStart = static_cast<WORD>(std::clamp(found.StartAt, 0, 0xFFFF));
    if (para.wNumbering == PFN_BULLET || para.wNumbering == 0) {
        para.wNumberingStyle = 0;
        return;
    }
    // The level text: the text before the first placeholder and after the last one.
    const std::string& text = found.Text;
    std::size_t first = std::string::npos, last = std::string::npos;
    for (std::size_t i = 1; i < text.size(); ++i)
        if (static_cast<unsigned char>(text[i]) <= 8) {
            if (first == std::string::npos)
                first = i;
            last = i;
        }
    if (first == std::string::npos) {
        para.wNumberingStyle = PFNS_PLAIN;
        return;
    }
    para.wNumberingStyle = NumberingStyleOf(text.substr(1, first - 1), text.substr(last + 1));
}

void TRtfReader::Word(TWord word, bool hasParameter, int parameter)
{
    CHARFORMAT2A& f = FState.Char;
    PARAFORMAT2& para = FState.Para;
    const bool on = !hasParameter || parameter != 0;
    switch (word) {
    // Header
    case wAnsiCpg:
        if (parameter > 0 && parameter < 100000)
            FCodePage = parameter;
        FState.CodePage = FCodePage;
        break;
    case wMac: FCodePage = 10000; FState.CodePage = FCodePage; break;
    case wPc: FCodePage = 437; FState.CodePage = FCodePage; break;
    case wPca: FCodePage = 850; FState.CodePage = FCodePage; break;
    case wDeff: FDefaultFont = parameter; break;

    // Destinations
    case wFontTable: FState.Dest = TDest::FontTable; break;
    case wColorTable: FState.Dest = TDest::ColorTable; break;
    case wPict:
        FPicture = TPictureInfo();
        FState.Dest = WordOpensGroup() ? TDest::Picture : TDest::Skip;
        break;
    case wObject:
        if (IsTextDest(FState.Dest) && WordOpensGroup()) {
            FObject = TRichObject();
            FState.Dest = TDest::Object;
        } else {
            FState.Dest = TDest::Skip;
        }
        break;
    case wResult:
        FState.Dest = FState.Dest == TDest::Object ? TDest::ObjectResult : TDest::Skip;
        break;
    case wField:
        if (IsTextDest(FState.Dest)) {
            FFields.push_back({"", FNextFieldId++});
            FState.FieldDepth = static_cast<int>(FFields.size());
        }
        break;
    case wFieldInstruction:
        FState.Dest = FFields.empty() ? TDest::Skip : TDest::FieldInstruction;
        break;
    case wFieldResult:
        if (FFields.empty()) {
            break;
        }
        {
            std::string& instruction = FFields.back().Instruction;
            while (!instruction.empty() && instruction.back() == ' ')
                instruction.pop_back();
            while (!instruction.empty() && instruction.front() == ' ')
                instruction.erase(0, 1);
            FState.Dest = TDest::FieldResult;
            if (instruction.rfind("HYPERLINK", 0) == 0)
                f.dwEffects |= CFE_LINK;
            StyleChanged();
        }
        break;
    case wListTable: FState.Dest = TDest::ListTable; break;
    case wList:
        if (FState.Dest == TDest::ListTable) {
            FListBeingRead.clear();
            FListIdBeingRead = 0;
        }
        break;
    case wListLevel:
        if (FState.Dest == TDest::ListTable && FListBeingRead.size() < 9)
            FListBeingRead.emplace_back();
        break;
    case wLevelNfc:
        if (FState.Dest == TDest::ListTable && !FListBeingRead.empty())
            FListBeingRead.back().NumberFormat = parameter;
        break;
    case wLevelStartAt:
        if (FState.Dest == TDest::ListTable && !FListBeingRead.empty())
            FListBeingRead.back().StartAt = parameter;
        break;
    case wLevelText:
        FState.Dest = FState.Dest == TDest::ListTable ? TDest::ListLevelText : TDest::Skip;
        break;
    case wListId:
        if (FState.Dest == TDest::ListTable) {
            FListIdBeingRead = parameter;
            if (FLists.size() < 10000)
                FLists[parameter] = FListBeingRead;
        } else if (FState.Dest == TDest::ListOverrideTable) {
            FOverrideList = parameter;
        }
        break;
    case wListOverrideTable: FState.Dest = TDest::ListOverrideTable; break;
    case wListOverride: break;
    case wLs:
        if (FState.Dest == TDest::ListOverrideTable) {
            if (FOverrides.size() < 10000)
                FOverrides[parameter] = FOverrideList;
        } else if (IsTextDest(FState.Dest)) {
            SetListNumbering(parameter);
        }
        break;
    case wIlvl: FState.ListLevel = std::clamp(parameter, 0, 8); break;
    case wOldNumbering:
        FOldNumbering = TOldNumbering();
        FState.Dest = TDest::OldNumbering;
        break;
    case wNumberingTextAfter:
    case wNumberingTextBefore:
        if (FState.Dest == TDest::OldNumbering) {
            FState.Dest = word == wNumberingTextBefore ? TDest::OldNumberingBefore : TDest::OldNumberingAfter;
        } else {
            FState.Dest = TDest::Skip;
        }
        break;
    case wShapePicture: break;
    case wSkipDestination: FState.Dest = TDest::Skip; break;

    // Fonts and colours
    case wFont:
        if (FState.Dest == TDest::FontTable) {
            FState.FontNumber = parameter;
            FFontName.clear();
            if (FFonts.size() < 100000)
                FFonts[parameter];
        } else if (IsTextDest(FState.Dest)) {
            SetFont(parameter);
        }
        break;
    case wFamilyNil:
    case wFamilyRoman:
    case wFamilySwiss:
    case wFamilyModern:
    case wFamilyScript:
    case wFamilyDecor:
    case wFamilyTech:
    case wFamilyBidi:
        if (FState.Dest == TDest::FontTable) {
            static const BYTE families[] = {FF_DONTCARE, FF_ROMAN, FF_SWISS, FF_MODERN, FF_SCRIPT, FF_DECORATIVE,
                                            FF_DONTCARE, FF_DONTCARE};
            if (TFontEntry* font = FontBeingRead())
                font->PitchAndFamily = static_cast<BYTE>((font->PitchAndFamily & 0x0F) | families[word - wFamilyNil]);
        }
        break;
    case wFontCharset:
        if (TFontEntry* font = FState.Dest == TDest::FontTable ? FontBeingRead() : nullptr)
            font->Charset = static_cast<BYTE>(parameter);
        break;
    case wFontPitch:
        if (TFontEntry* font = FState.Dest == TDest::FontTable ? FontBeingRead() : nullptr)
            font->PitchAndFamily = static_cast<BYTE>((font->PitchAndFamily & 0xF0) | (parameter & 0x03));
        break;
    case wRed:
    case wGreen:
    case wBlue:
        if (FState.Dest == TDest::ColorTable) {
            const int shift = word == wRed ? 0 : word == wGreen ? 8 : 16;
            FColorBeingRead = (FColorBeingRead & ~(0xFFu << shift)) |
                              (static_cast<COLORREF>(std::clamp(parameter, 0, 255)) << shift);
            FColorHasComponent = true;
        }
        break;

    // Character formatting
    case wPlain: PlainChar(); break;
    case wBold:
        SetEffect(CFE_BOLD, on);
        f.wWeight = on ? FW_BOLD : FW_NORMAL;
        break;
    case wItalic: SetEffect(CFE_ITALIC, on); break;
    case wUnderline: SetUnderline(on ? CFU_UNDERLINE : CFU_UNDERLINENONE); break;
    case wUnderlineNone: SetUnderline(CFU_UNDERLINENONE); break;
    case wUnderlineDouble: SetUnderline(on ? CFU_UNDERLINEDOUBLE : CFU_UNDERLINENONE); break;
    case wUnderlineWord: SetUnderline(on ? CFU_UNDERLINEWORD : CFU_UNDERLINENONE); break;
    case wUnderlineDotted: SetUnderline(on ? CFU_UNDERLINEDOTTED : CFU_UNDERLINENONE); break;
    case wUnderlineWave: SetUnderline(on ? CFU_UNDERLINEWAVE : CFU_UNDERLINENONE); break;
    case wUnderlineDash: SetUnderline(on ? CFU_UNDERLINEDASH : CFU_UNDERLINENONE); break;
    case wUnderlineDashDot: SetUnderline(on ? CFU_UNDERLINEDASHDOT : CFU_UNDERLINENONE); break;
    case wUnderlineDashDotDot: SetUnderline(on ? CFU_UNDERLINEDASHDOTDOT : CFU_UNDERLINENONE); break;
    case wUnderlineThick: SetUnderline(on ? CFU_UNDERLINETHICK : CFU_UNDERLINENONE); break;
    case wUnderlineHairline: SetUnderline(on ? CFU_UNDERLINEHAIRLINE : CFU_UNDERLINENONE); break;
    case wStrike: SetEffect(CFE_STRIKEOUT, on); break;
    case wHidden: SetEffect(CFE_HIDDEN, on); break;
    case wProtect: SetEffect(CFE_PROTECTED, on); break;
    case wFontSize:
        if (hasParameter && parameter > 0)
            f.yHeight = std::min(parameter, static_cast<int>(yHeightCharPtsMost) * 2) * 10;
        StyleChanged();
        break;
    case wColor: SetColor(parameter, false); break;
    case wHighlight:
    case wBackColor: SetColor(parameter, true); break;
    case wUp:
    case wDown:
        f.yOffset = std::clamp(hasParameter ? parameter : 6, -32767, 32767) * 10 * (word == wDown ? -1 : 1);
        StyleChanged();
        break;
    case wSub:
        SetEffect(CFE_SUPERSCRIPT, false);
        SetEffect(CFE_SUBSCRIPT, on);
        break;
    case wSuper:
        SetEffect(CFE_SUBSCRIPT, false);
        SetEffect(CFE_SUPERSCRIPT, on);
        break;
    case wNoSuperSub:
        SetEffect(CFE_SUBSCRIPT | CFE_SUPERSCRIPT, false);
        break;
    case wRevAuthor:
        f.bRevAuthor = static_cast<BYTE>(std::clamp(parameter, 0, 255));
        StyleChanged();
        break;

    // Paragraphs
    case wPard:
        para = DefaultRichParaFormat();
        FState.LineSpacing = 0;
        FState.LineMultiple = false;
        FState.ListLevel = 0;
        break;
    case wPar:
    case wPage:
    case wSect:
    case wRow:
        EndParagraph();
        break;
    case wLine: Append(RichLineBreak); break;
    case wTab: Append('\t'); break;
    case wCell:
        if (IsTextDest(FState.Dest))
            FCellPending = true;
        break;
    case wLeft: para.wAlignment = PFA_LEFT; break;
    case wRight: para.wAlignment = PFA_RIGHT; break;
    case wCenter: para.wAlignment = PFA_CENTER; break;
    case wJustify: para.wAlignment = PFA_JUSTIFY; break;
    case wLeftIndent:
        // The record keeps the first line's indent and the other lines' offset from it: \li is
        // the start indent plus the offset, \fi minus the offset.
        para.dxStartIndent = parameter - para.dxOffset;
        break;
    case wFirstIndent: {
        const LONG left = para.dxStartIndent + para.dxOffset;
        para.dxStartIndent = left + parameter;
        para.dxOffset = -parameter;
        break;
    }
    case wRightIndent: para.dxRightIndent = parameter; break;
    case wSpaceBefore: para.dySpaceBefore = parameter; break;
    case wSpaceAfter: para.dySpaceAfter = parameter; break;
    case wLineSpacing: FState.LineSpacing = parameter; break;
    case wLineMultiple: FState.LineMultiple = on; break;
    case wTabStop:
        if (para.cTabCount < MAX_TAB_STOPS)
            para.rgxTabs[para.cTabCount++] = parameter;
        break;
    case wStyle:
        if (IsTextDest(FState.Dest))
            para.sStyle = static_cast<SHORT>(std::clamp(parameter, -32768, 32767));
        break;

    // Characters
    case wUnicodeSkip: FState.UnicodeSkip = std::max(0, parameter); break;
    case wUnicode: {
        FlushPendingBytes();
        const int code = parameter < 0 ? parameter + 65536 : parameter;
        const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
        const bool inRange = code >= 0 && code <= 0xFFFF && !surrogate;
        const char ansi = inRange ? UnicodeToAnsiChar(static_cast<char32_t>(code)) : '?';
        if (ansi != '?' || code == '?') {
            Append(ansi);
            FSkipFallback = FState.UnicodeSkip;
        } else if (FState.UnicodeSkip == 0) {
            Append('?');
        }
        break;
    }
    case wEmDash: Append('\x97'); break;
    case wEnDash: Append('\x96'); break;
    case wBullet: Append('\x95'); break;
    case wLeftQuote: Append('\x91'); break;
    case wRightQuote: Append('\x92'); break;
    case wLeftDoubleQuote: Append('\x93'); break;
    case wRightDoubleQuote: Append('\x94'); break;
    case wEmSpace:
    case wEnSpace: Append(' '); break;

    // Pictures and objects
    case wPicW: FPicture.Width = parameter; break;
    case wPicH: FPicture.Height = parameter; break;
    case wPicWGoal: FPicture.GoalWidth = parameter; break;
    case wPicHGoal: FPicture.GoalHeight = parameter; break;
    case wPicScaleX: FPicture.ScaleX = parameter; break;
    case wPicScaleY: FPicture.ScaleY = parameter; break;
    case wPng: FPicture.Type = TRichPictureType::Png; break;
    case wJpeg: FPicture.Type = TRichPictureType::Jpeg; break;
    case wDib: FPicture.Type = TRichPictureType::Dib; break;
    case wWmf:
    case wEmf: FPicture.Type = TRichPictureType::Metafile; break;
    case wBitmap: FPicture.Type = TRichPictureType::Bitmap; break;
    case wObjW: if (FState.Dest == TDest::Object) FObject.Width = parameter; break;
    case wObjH: if (FState.Dest == TDest::Object) FObject.Height = parameter; break;

    // The old numbering
    case wPnBullet: FOldNumbering.Numbering = PFN_BULLET; break;
    case wPnBody: if (FOldNumbering.Numbering == 0) FOldNumbering.Numbering = PFN_ARABIC; break;
    case wPnDecimal: FOldNumbering.Numbering = PFN_ARABIC; break;
    case wPnLowerLetter: FOldNumbering.Numbering = PFN_LCLETTER; break;
    case wPnUpperLetter: FOldNumbering.Numbering = PFN_UCLETTER; break;
    case wPnLowerRoman: FOldNumbering.Numbering = PFN_LCROMAN; break;
    case wPnUpperRoman: FOldNumbering.Numbering = PFN_UCROMAN; break;
    case wPnStart: FOldNumbering.Start = static_cast<WORD>(std::clamp(parameter, 0, 0xFFFF)); break;
    case wPnIndent: FOldNumbering.Tab = static_cast<WORD>(std::clamp(parameter, 0, 0xFFFF)); break;

    default:
        break;
    }
}

} // namespace RtfReaderUnit

bool ReadRtf(std::string_view data, TRichContent& content, int maxChars, std::string& error)
{
    RtfReaderUnit::TRtfReader reader(data, content, maxChars);
    return reader.Read(error);
}
