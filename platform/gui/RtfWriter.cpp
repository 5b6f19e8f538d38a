#include "platform/gui/private/RtfWriter.h"

#include "platform/gui/GdiObjects.h"
#include "platform/gui/private/RtfReader.h"
#include "platform/rtl/Codepage.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <tuple>

namespace RtfWriterUnit {

struct TFontKey {
    std::string Name;
    BYTE Charset = 0;
    BYTE PitchAndFamily = 0;
    bool operator<(const TFontKey& other) const
    {
        return std::tie(Name, Charset, PitchAndFamily) < std::tie(other.Name, other.Charset, other.PitchAndFamily);
    }
};

struct TListKey {
    WORD Numbering = 0;
    WORD Start = 0;
    WORD Style = 0;
    bool operator<(const TListKey& other) const
    {
        return std::tie(Numbering, Start, Style) < std::tie(other.Numbering, other.Start, other.Style);
    }
    bool operator==(const TListKey& other) const = default;
};

// A font by its name without the spaces around it (a reader drops them) and without control
// characters, which no font name holds.
TFontKey FontOf(const CHARFORMAT2A& format)
{
    std::string name;
    for (std::size_t i = 0; i < sizeof format.szFaceName && format.szFaceName[i] != '\0'; ++i)
        if (static_cast<unsigned char>(format.szFaceName[i]) >= 0x20)
            name += format.szFaceName[i];
    const std::size_t first = name.find_first_not_of(' ');
    name = first == std::string::npos ? std::string() : name.substr(first, name.find_last_not_of(' ') + 1 - first);
    return {name, format.bCharSet, format.bPitchAndFamily};
}

// What of a paragraph format has an RTF form: numbering details only with their numbering, the
// line spacing only with the rules that take it, no table bits.
PARAFORMAT2 WrittenForm(PARAFORMAT2 format)
{
    if (format.wNumbering == 0 || format.wNumbering == PFN_BULLET) {
        format.wNumberingStart = 0;
        format.wNumberingStyle = 0;
        if (format.wNumbering == 0)
            format.wNumberingTab = 0;
    }
    if (format.bLineSpacingRule < 3 || format.bLineSpacingRule > 5 || format.dyLineSpacing <= 0) {
        format.dyLineSpacing = 0;
        if (format.bLineSpacingRule > 2)
            format.bLineSpacingRule = 0;
    }
    format.wEffects = 0;
    return format;
}

TListKey ListOf(const PARAFORMAT2& format)
{
    if (format.wNumbering == PFN_BULLET)
        return {PFN_BULLET, 0, 0};
    return {format.wNumbering, format.wNumberingStart, format.wNumberingStyle};
}

const char* FamilyWord(BYTE pitchAndFamily)
{
    switch (pitchAndFamily & 0xF0) {
    case FF_ROMAN: return "\\froman";
    case FF_SWISS: return "\\fswiss";
    case FF_MODERN: return "\\fmodern";
    case FF_SCRIPT: return "\\fscript";
    case FF_DECORATIVE: return "\\fdecor";
    default: return "\\fnil";
    }
}

const char* UnderlineWord(BYTE type)
{
    switch (type) {
    case CFU_UNDERLINEWORD: return "\\ulw";
    case CFU_UNDERLINEDOUBLE: return "\\uldb";
    case CFU_UNDERLINEDOTTED: return "\\uld";
    case CFU_UNDERLINEDASH: return "\\uldash";
    case CFU_UNDERLINEDASHDOT: return "\\uldashd";
    case CFU_UNDERLINEDASHDOTDOT: return "\\uldashdd";
    case CFU_UNDERLINEWAVE: return "\\ulwave";
    case CFU_UNDERLINETHICK: return "\\ulth";
    case CFU_UNDERLINEHAIRLINE: return "\\ulhair";
    default: return "\\ul";
    }
}

int LevelNumberFormat(WORD numbering)
{
    switch (numbering) {
    case PFN_BULLET: return 23;
    case PFN_LCLETTER: return 4;
    case PFN_UCLETTER: return 3;
    case PFN_LCROMAN: return 2;
    case PFN_UCROMAN: return 1;
    default: return 0;
    }
}

std::string Roman(int n, bool upper)
{
    static const std::pair<int, const char*> parts[] = {{1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"},
                                                        {100, "c"},  {90, "xc"},  {50, "l"},  {40, "xl"},
                                                        {10, "x"},   {9, "ix"},   {5, "v"},   {4, "iv"},
                                                        {1, "i"}};
    std::string text;
    n = std::min(n, 3999);
    for (const auto& [value, letters] : parts)
        for (; n >= value; n -= value)
            text += letters;
    if (upper)
        for (char& c : text)
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string Letters(int n, bool upper)
{
    std::string text;
    for (n = std::max(n, 1); n > 0; n = (n - 1) / 26)
        text.insert(text.begin(), static_cast<char>((upper ? 'A' : 'a') + (n - 1) % 26));
    return text;
}

std::string NumberText(const PARAFORMAT2& format, int number)
{
    std::string digits;
    switch (format.wNumbering) {
    case PFN_LCLETTER: digits = Letters(number, false); break;
    case PFN_UCLETTER: digits = Letters(number, true); break;
    case PFN_LCROMAN: digits = Roman(number, false); break;
    case PFN_UCROMAN: digits = Roman(number, true); break;
    default: digits = std::to_string(number); break;
    }
    switch (format.wNumberingStyle) {
    case PFNS_PAREN: return digits + ")";
    case PFNS_PARENS: return "(" + digits + ")";
    case PFNS_PERIOD: return digits + ".";
    case PFNS_NONUMBER: return "";
    default: return digits;
    }
}

class TRtfWriter {
public:
    TRtfWriter(const TRichContent& content, bool noObjects) : FContent(content), FNoObjects(noObjects) {}
    std::string Write();

private:
    const TRichContent& FContent;
    bool FNoObjects;
    std::string FOut;
    bool FNeedSpace = false;
    std::map<TFontKey, int> FFonts;
    std::vector<TFontKey> FFontOrder;
    std::map<COLORREF, int> FColors;
    std::vector<COLORREF> FColorOrder;
    std::map<TListKey, int> FLists;
    std::vector<TListKey> FListOrder;
    int FSymbolFont = -1;

    // What the RTF reader's state holds at the current point of the output.
    CHARFORMAT2A FWritten;
    int FWrittenFont = -1;
    LONG FWrittenSize = -1;
    int FOpenField = 0;
    CHARFORMAT2A FBeforeField;
    int FFontBeforeField = -1;
    LONG FSizeBeforeField = -1;

    void CollectTables();
    int FontIndex(const TFontKey& key);
    int ColorIndex(const CHARFORMAT2A& format, bool background) const;
    void WriteHeader();
    void WriteParagraphProperties(const TRichParagraph& paragraph, const PARAFORMAT2* previous, int number);
    void WriteNumberText(const TRichParagraph& paragraph, int number);
    void WriteCharProperties(const CHARFORMAT2A& format);
    void WriteRun(const TRichRun& run);
    void SwitchField(const TRichCharStyle& style);
    void CloseField();

    void Word(const char* word) { FOut += word; FNeedSpace = true; }
    void Word(const char* word, long long parameter)
    {
        FOut += word;
        FOut += std::to_string(parameter);
        FNeedSpace = true;
    }
    void Toggle(const char* word, bool on) { on ? Word(word) : Word(word, 0); }
    void Raw(const std::string& bytes) { FOut += bytes; FNeedSpace = false; }
    void Text(const std::string& text);
    // Under a font of another code page a reader takes \'hh in that page: such characters go as
    // their Unicode value.
    bool FUnicodeEscapes = false;
};

int TRtfWriter::FontIndex(const TFontKey& key)
{
    const auto [where, added] = FFonts.try_emplace(key, static_cast<int>(FFontOrder.size()));
    if (added)
        FFontOrder.push_back(key);
    return where->second;
}

int TRtfWriter::ColorIndex(const CHARFORMAT2A& format, bool background) const
{
    if (format.dwEffects & (background ? CFE_AUTOBACKCOLOR : CFE_AUTOCOLOR))
        return 0;
    const auto found = FColors.find(background ? format.crBackColor : format.crTextColor);
    return found == FColors.end() ? 0 : found->second;
}

void TRtfWriter::CollectTables()
{
    auto addColor = [this](COLORREF color) {
        if (FColors.try_emplace(color, static_cast<int>(FColorOrder.size()) + 1).second)
            FColorOrder.push_back(color);
    };
    for (const TRichParagraph& paragraph : FContent.Paragraphs) {
        for (const TRichRun& run : paragraph.Runs) {
            const CHARFORMAT2A& format = FContent.Styles[static_cast<std::size_t>(run.Style)].Format;
            FontIndex(FontOf(format));
            if (!(format.dwEffects & CFE_AUTOCOLOR))
                addColor(format.crTextColor);
            if (!(format.dwEffects & CFE_AUTOBACKCOLOR))
                addColor(format.crBackColor);
        }
        if (paragraph.Format.wNumbering != 0 &&
            FLists.try_emplace(ListOf(paragraph.Format), static_cast<int>(FListOrder.size()) + 1).second)
            FListOrder.push_back(ListOf(paragraph.Format));
    }
    if (FFontOrder.empty())
        FontIndex(FontOf(DefaultRichCharFormat()));
    if (FLists.count({PFN_BULLET, 0, 0}))
        FSymbolFont = FontIndex({"Symbol", SYMBOL_CHARSET, FF_DONTCARE});
}

void TRtfWriter::WriteHeader()
{
    FOut = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1040{\\fonttbl";
    for (std::size_t i = 0; i < FFontOrder.size(); ++i) {
        const TFontKey& font = FFontOrder[i];
        FOut += "{\\f" + std::to_string(i) + FamilyWord(font.PitchAndFamily);
        if (font.PitchAndFamily & 0x03)
            FOut += "\\fprq" + std::to_string(font.PitchAndFamily & 0x03);
        FOut += "\\fcharset" + std::to_string(font.Charset) + " ";
        Text(font.Name);
        FOut += ";}";
    }
    FOut += "}\r\n";
    if (!FColorOrder.empty()) {
        FOut += "{\\colortbl ;";
        for (COLORREF color : FColorOrder)
            FOut += "\\red" + std::to_string(GetRValue(color)) + "\\green" + std::to_string(GetGValue(color)) +
                    "\\blue" + std::to_string(GetBValue(color)) + ";";
        FOut += "}\r\n";
    }
    if (!FListOrder.empty()) {
        FOut += "{\\*\\listtable";
        for (std::size_t i = 0; i < FListOrder.size(); ++i) {
            const TListKey& list = FListOrder[i];
            const std::string id = std::to_string(i + 1);
            FOut += "{\\list\\listtemplateid" + id + "{\\listlevel\\levelnfc" +
                    std::to_string(LevelNumberFormat(list.Numbering)) + "\\levelstartat" +
                    std::to_string(list.Numbering == PFN_BULLET ? 1 : list.Start) + "{\\leveltext";
            if (list.Numbering == PFN_BULLET) {
                FOut += "\\'01\\'b7;}{\\levelnumbers;}";
            } else {
                PARAFORMAT2 format;
                format.wNumbering = list.Numbering;
                format.wNumberingStyle = list.Style;
                const std::string sample = NumberText(format, 1);
                const std::size_t at = sample.find_first_not_of("(");
                const std::string before = sample.substr(0, at);
                const std::string after = list.Style == PFNS_PAREN || list.Style == PFNS_PARENS ? ")"
                                          : list.Style == PFNS_PERIOD                           ? "."
                                                                                                : "";
                char length[8];
                const auto characters = static_cast<unsigned>(before.size() + 1 + after.size());
                std::snprintf(length, sizeof length, "\\'%02x", characters);
                FOut += length + before + "\\'00" + after + ";}{\\levelnumbers\\'" +
                        (before.empty() ? std::string("01") : std::string("02")) + ";}";
            }
            FOut += "}\\listid" + id + "}";
        }
        FOut += "}\r\n{\\*\\listoverridetable";
        for (std::size_t i = 0; i < FListOrder.size(); ++i) {
            const std::string id = std::to_string(i + 1);
            FOut += "{\\listoverride\\listid" + id + "\\listoverridecount0\\ls" + id + "}";
        }
        FOut += "}\r\n";
    }
    FOut += "\\viewkind4\\uc1\\pard";
    FNeedSpace = true;
}

void TRtfWriter::WriteNumberText(const TRichParagraph& paragraph, int number)
{
    const PARAFORMAT2& format = paragraph.Format;
    if (format.wNumbering == PFN_BULLET) {
        Raw("{\\listtext\\f" + std::to_string(FSymbolFont) + "\\'B7\\tab}");
        return;
    }
    int font = 0;
    if (!paragraph.Runs.empty())
        font = FFonts[FontOf(FContent.Styles[static_cast<std::size_t>(paragraph.Runs.front().Style)].Format)];
    Raw("{\\listtext\\f" + std::to_string(font) + " " + NumberText(format, number) + "\\tab}");
}

void TRtfWriter::WriteParagraphProperties(const TRichParagraph& paragraph, const PARAFORMAT2* previous, int number)
{
    const PARAFORMAT2& f = paragraph.Format;
    if (previous != nullptr && SameParaFormat(WrittenForm(f), WrittenForm(*previous))) {
        if (f.wNumbering != 0)
            WriteNumberText(paragraph, number);
        return;
    }
    if (previous != nullptr)
        Word("\\pard");
    if (f.wNumbering != 0) {
        WriteNumberText(paragraph, number);
        std::string group = "{\\*\\pn";
        if (f.wNumbering == PFN_BULLET) {
            group += "\\pnlvlblt\\pnf" + std::to_string(FSymbolFont) + "\\pnindent" + std::to_string(f.wNumberingTab) +
                     "{\\pntxtb\\'B7}}";
        } else {
            static const char* const styles[] = {"\\pndec", "\\pnlcltr", "\\pnucltr", "\\pnlcrm", "\\pnucrm"};
            const int style = f.wNumbering >= PFN_ARABIC && f.wNumbering <= PFN_UCROMAN ? f.wNumbering - PFN_ARABIC : 0;
            group += "\\pnlvlbody\\pnf0\\pnindent" + std::to_string(f.wNumberingTab) + "\\pnstart" +
                     std::to_string(f.wNumberingStart) + styles[style];
            if (f.wNumberingStyle == PFNS_PARENS)
                group += "{\\pntxtb(}";
            if (f.wNumberingStyle == PFNS_PAREN || f.wNumberingStyle == PFNS_PARENS)
                group += "{\\pntxta)}";
            else if (f.wNumberingStyle == PFNS_PERIOD)
                group += "{\\pntxta.}";
            group += "}";
        }
        Raw(group);
        Word("\\ls", FLists[ListOf(f)]);
    }
    if (f.sStyle != 0)
        Word("\\s", f.sStyle);
    switch (f.wAlignment) {
    case PFA_RIGHT: Word("\\qr"); break;
    case PFA_CENTER: Word("\\qc"); break;
    case PFA_JUSTIFY: Word("\\qj"); break;
    default: break;
    }
    if (f.dxOffset != 0)
        Word("\\fi", -static_cast<long long>(f.dxOffset));
    if (f.dxStartIndent + f.dxOffset != 0)
        Word("\\li", static_cast<long long>(f.dxStartIndent) + f.dxOffset);
    if (f.dxRightIndent != 0)
        Word("\\ri", f.dxRightIndent);
    if (f.dySpaceBefore != 0)
        Word("\\sb", f.dySpaceBefore);
    if (f.dySpaceAfter != 0)
        Word("\\sa", f.dySpaceAfter);
    switch (f.bLineSpacingRule) {
    case 1: Word("\\sl360\\slmult1"); break;
    case 2: Word("\\sl480\\slmult1"); break;
    case 3: if (f.dyLineSpacing > 0) Word("\\sl", f.dyLineSpacing), Word("\\slmult0"); break;
    case 4: if (f.dyLineSpacing > 0) Word("\\sl", -static_cast<long long>(f.dyLineSpacing)), Word("\\slmult0"); break;
    case 5: if (f.dyLineSpacing > 0) Word("\\sl", f.dyLineSpacing * 12LL), Word("\\slmult1"); break;
    default: break;
    }
    for (int i = 0; i < f.cTabCount && i < MAX_TAB_STOPS; ++i)
        Word("\\tx", f.rgxTabs[i]);
}

void TRtfWriter::WriteCharProperties(const CHARFORMAT2A& f)
{
    CHARFORMAT2A& w = FWritten;
    const int color = ColorIndex(f, false);
    if (color != ColorIndex(w, false))
        Word("\\cf", color);
    const int back = ColorIndex(f, true);
    if (back != ColorIndex(w, true))
        Word("\\highlight", back);
    auto changed = [&](DWORD effect) { return (f.dwEffects & effect) != (w.dwEffects & effect); };
    if (changed(CFE_BOLD))
        Toggle("\\b", f.dwEffects & CFE_BOLD);
    if (changed(CFE_ITALIC))
        Toggle("\\i", f.dwEffects & CFE_ITALIC);
    const BYTE underline = (f.dwEffects & CFE_UNDERLINE) ? std::max<BYTE>(f.bUnderlineType, 1) : 0;
    const BYTE written = (w.dwEffects & CFE_UNDERLINE) ? std::max<BYTE>(w.bUnderlineType, 1) : 0;
    if (underline != written)
        Word(underline == 0 ? "\\ulnone" : UnderlineWord(underline));
    if (changed(CFE_STRIKEOUT))
        Toggle("\\strike", f.dwEffects & CFE_STRIKEOUT);
    if (changed(CFE_HIDDEN))
        Toggle("\\v", f.dwEffects & CFE_HIDDEN);
    if (changed(CFE_PROTECTED))
        Toggle("\\protect", f.dwEffects & CFE_PROTECTED);
    if (changed(CFE_SUBSCRIPT | CFE_SUPERSCRIPT))
        Word(f.dwEffects & CFE_SUPERSCRIPT ? "\\super" : f.dwEffects & CFE_SUBSCRIPT ? "\\sub" : "\\nosupersub");
    if (f.yOffset / 10 != w.yOffset / 10) {
        if (f.yOffset < 0)
            Word("\\dn", -static_cast<long long>(f.yOffset) / 10);
        else
            Word("\\up", f.yOffset / 10);
    }
    if (f.bRevAuthor != w.bRevAuthor)
        Word("\\revauth", f.bRevAuthor);
    const int font = FFonts[FontOf(f)];
    if (font != FWrittenFont)
        Word("\\f", font);
    if (f.yHeight / 10 != FWrittenSize / 10 || FWrittenSize < 0)
        Word("\\fs", f.yHeight / 10);
    w = f;
    FWrittenFont = font;
    FWrittenSize = f.yHeight;
}

void TRtfWriter::CloseField()
{
    if (FOpenField == 0)
        return;
    Raw("}}}");
    FOpenField = 0;
    FWritten = FBeforeField;
    FWrittenFont = FFontBeforeField;
    FWrittenSize = FSizeBeforeField;
}

void TRtfWriter::SwitchField(const TRichCharStyle& style)
{
    if (style.FieldId == FOpenField)
        return;
    CloseField();
    if (style.FieldId == 0)
        return;
    Raw("{\\field{\\*\\fldinst{");
    FUnicodeEscapes = false;
    Text(style.FieldInstruction);
    Raw("}}{\\fldrslt{");
    FOpenField = style.FieldId;
    FBeforeField = FWritten;
    FFontBeforeField = FWrittenFont;
    FSizeBeforeField = FWrittenSize;
}

void TRtfWriter::WriteRun(const TRichRun& run)
{
    const TRichCharStyle& style = FContent.Styles[static_cast<std::size_t>(run.Style)];
    SwitchField(style);
    // The link effect of a field's result comes back from the field; the disabled effect is the
    // window's display state. Neither has a word of its own.
    CHARFORMAT2A format = style.Format;
    const DWORD unwritten = CFE_LINK | CFE_DISABLED;
    format.dwEffects = (format.dwEffects & ~unwritten) | (FWritten.dwEffects & unwritten);
    WriteCharProperties(format);
    FUnicodeEscapes = RtfCodePageOfCharset(format.bCharSet) != 0;
    if (run.Object < 0) {
        Text(run.Text);
        return;
    }
    const TRichObject& object = FContent.Objects[static_cast<std::size_t>(run.Object)];
    if (object.Kind == TRichObjectKind::Object && FNoObjects)
        Raw(object.ResultGroup);
    else
        Raw(object.Group);
}

void TRtfWriter::Text(const std::string& text)
{
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '\t') {
            Word("\\tab");
        } else if (c == RichLineBreak) {
            Word("\\line");
        } else if (c == '\\' || c == '{' || c == '}') {
            FOut += '\\';
            FOut += c;
            FNeedSpace = false;
        } else if (byte >= 0x80 && FUnicodeEscapes) {
            FOut += "\\u" + std::to_string(static_cast<int>(static_cast<std::int16_t>(AnsiCharToUnicode(byte)))) + "?";
            FNeedSpace = false;
        } else if (byte >= 0x80 || byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\'%02x", byte);
            FOut += escaped;
            FNeedSpace = false;
        } else {
            if (FNeedSpace)
                FOut += ' ';
            FNeedSpace = false;
            FOut += c;
        }
    }
}

std::string TRtfWriter::Write()
{
    CollectTables();
    WriteHeader();
    FWritten = DefaultRichCharFormat();
    FWritten.dwEffects = CFE_AUTOCOLOR | CFE_AUTOBACKCOLOR;
    FWritten.yOffset = 0;
    const PARAFORMAT2* previous = nullptr;
    int number = 0;
    for (const TRichParagraph& paragraph : FContent.Paragraphs) {
        const PARAFORMAT2& format = paragraph.Format;
        if (format.wNumbering == 0)
            number = 0;
        else if (previous != nullptr && previous->wNumbering != 0 && ListOf(*previous) == ListOf(format))
            ++number;
        else
            number = format.wNumberingStart > 0 ? format.wNumberingStart : 1;
        WriteParagraphProperties(paragraph, previous, number);
        if (paragraph.Runs.empty() && paragraph.MarkStyle >= 0)
            WriteCharProperties(FContent.Styles[static_cast<std::size_t>(paragraph.MarkStyle)].Format);
        for (const TRichRun& run : paragraph.Runs)
            WriteRun(run);
        CloseField();
        Word("\\par");
        FOut += "\r\n";
        FNeedSpace = false;
        previous = &paragraph.Format;
    }
    FOut += "}\r\n";
    return std::move(FOut);
}

} // namespace RtfWriterUnit

std::string WriteRtf(const TRichContent& content, bool noObjects)
{
    RtfWriterUnit::TRtfWriter writer(content, noObjects);
    return writer.Write();
}
