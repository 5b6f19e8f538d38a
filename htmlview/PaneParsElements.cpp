// The element handlers the document builder hands on: tables with their rows, cells and caption,
// form fields, client-side image maps, scripts, and the head elements TITLE, BASE, META and
// BGSOUND.

#include "htmlview/PanePars.h"

#include "htmlview/PaneReadThd.h"
#include "htmlview/PaneSbs1.h"
#include "htmlview/PaneSubs.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace PanePars {

// Where the content of a cell or caption ends.
const SymbSet TableTerminators = {Symb::TableEndSy, Symb::TDSy,      Symb::TDEndSy,   Symb::TRSy,        Symb::TREndSy,
                                  Symb::THSy,       Symb::THEndSy,   Symb::CaptionSy, Symb::CaptionEndSy};

constexpr std::size_t MaxOptionText = 255;
constexpr std::size_t ScriptBufferStart = 32500;
constexpr std::size_t ScriptBufferStep = 10000;
constexpr std::size_t ScriptTagLetters = 7;

struct TCharsetKey {
    const char* Key;
    TFontCharset Charset;
};

// Searched in this order; the first key found anywhere in the lower-cased CONTENT wins.
constexpr TCharsetKey CharsetKeys[] = {
    {"1252", 0},     {"8859-1", 0},   {"1253", 161},   {"8859-7", 161}, {"1250", 238},
    {"8859-2", 238}, {"1251", 204},   {"8859-5", 204}, {"koi8-r", 204}, {"1254", 162},
    {"8859-3", 162}, {"8859-9", 162}, {"1257", 186},   {"8859-4", 186}};

bool JustifyOf(const TAttributeList* Attrs, JustifyType& Justify)
{
    TAttribute* align = nullptr;
    if (!Attrs->Find(Symb::AlignSy, align))
        return false;
    const std::string value = LowerCase(align->Text);
    if (value == "left")
        Justify = PaneUn2::Left;
    else if (value == "center")
        Justify = PaneUn2::Centered;
    else if (value == "right")
        Justify = PaneUn2::Right;
    else
        return false;
    return true;
}

bool VAlignOf(const TAttributeList* Attrs, AlignmentType& Align)
{
    TAttribute* valign = nullptr;
    if (!Attrs->Find(Symb::VAlignSy, valign))
        return false;
    const std::string value = LowerCase(valign->Text);
    if (value == "top" || value == "baseline")
        Align = PaneUn2::ATop;
    else if (value == "middle")
        Align = PaneUn2::AMiddle;
    else if (value == "bottom")
        Align = PaneUn2::ABottom;
    else
        return false;
    return true;
}

std::string AttributeText(const TAttributeList* Attrs, Symb Sym)
{
    TAttribute* attribute = nullptr;
    return Attrs->Find(Sym, attribute) ? attribute->Text : std::string();
}

// The SCRIPT text as it grows: a heap block that starts at a fixed size and grows whenever a
// piece would not fit.
class TScriptBuffer {
public:
    TScriptBuffer() : FData(static_cast<char*>(std::malloc(ScriptBufferStart))), FCapacity(ScriptBufferStart)
    {
        if (FData == nullptr)
            throw std::bad_alloc();
    }
    ~TScriptBuffer() { std::free(FData); }
    TScriptBuffer(const TScriptBuffer&) = delete;
    TScriptBuffer& operator=(const TScriptBuffer&) = delete;

    void Append(const char* Text, std::size_t Length)
    {
        if (FLength + Length + 1 > FCapacity) {
            // At least the fixed step, and half again once the text is large, so that a long
            // script is copied a bounded number of times.
            std::size_t capacity = FCapacity + std::max(ScriptBufferStep, FCapacity / 2);
            if (FLength + Length + 1 > capacity)
                capacity = FLength + Length + 1 + ScriptBufferStep;
            auto* grown = static_cast<char*>(std::realloc(FData, capacity));
            if (grown == nullptr)
                throw std::bad_alloc();
            FData = grown;
            FCapacity = capacity;
        }
        std::memcpy(FData + FLength, Text, Length);
        FLength += Length;
        FData[FLength] = 0;
    }
    const char* Text()
    {
        FData[FLength] = 0;
        return FData;
    }

private:
    char* FData;
    std::size_t FCapacity;
    std::size_t FLength = 0;
};

} // namespace PanePars

using PanePars::TableTerminators;

// --- Tables -------------------------------------------------------------------------------------

void ThlParser::DoTable(int Level)
{
    struct TTableLevel {
        int& Nesting;
        int& Tables;
        TTableLevel(int& ANesting, int& ATables) : Nesting(ANesting), Tables(ATables) { ++Nesting, ++Tables; }
        ~TTableLevel() { --Nesting, --Tables; }
    } level(NestingDepth, TableDepth);

    if (InLink)
        DoAEnd();
    const int fontDepth = FontTop;
    FinishSection();
    TCell* const outerCell = CurCell;
    const JustifyType savedJustify = Justify;
    const TFontStyles savedStyle = StyleSet;
    const bool savedNoBreak = NoBreak;
    CurCell = nullptr;

    auto table = std::make_unique<ThtmlTable>(SectionList, TagAttrs, Justify, outerCell, Level);
    std::unique_ptr<TCellList> row;
    std::unique_ptr<TCellObj> cellObj;
    JustifyType rowJustify = PaneUn2::NoJustify;
    AlignmentType rowVAlign = PaneUn2::AMiddle;

    const auto closeLinkAndFonts = [this, fontDepth] {
        if (InLink)
            DoAEnd();
        while (FontTop > fontDepth)
            PopFont();
    };
    const auto finishCell = [this, &row, &cellObj] {
        if (CurCell != nullptr) {
            CurCell->Add(CurSection);
            CurSection = nullptr;
            if (cellObj != nullptr && CurCell == cellObj->Cell.get() && row != nullptr)
                row->Add(cellObj.release());
        }
        cellObj.reset();
        CurCell = nullptr;
    };
    const auto appendRow = [&table, &row] {
        if (row != nullptr)
            table->Rows->Add(row.release());
    };
    const auto closeTable = [&] {
        finishCell();
        appendRow();
        CurCell = outerCell;
        outerCell->Add(table.release());
        StyleSet = savedStyle;
        NoBreak = savedNoBreak;
        Justify = savedJustify;
    };

    try {
        Next();
        for (;;) {
            switch (CurSym) {
            case Symb::TextSy: {
                // Text between the table's tags goes before the table.
                TCell* const saved = CurCell;
                CurCell = outerCell;
                DoBody(0, TableTerminators);
                outerCell->Add(CurSection);
                CurSection = nullptr;
                CurCell = saved;
                break;
            }
            case Symb::TDSy:
            case Symb::THSy: {
                const bool header = CurSym == Symb::THSy;
                closeLinkAndFonts();
                StyleSet = savedStyle;
                TAttribute* attribute = nullptr;
                NoBreak = TagAttrs->Find(Symb::NoWrapSy, attribute) && !TagAttrs->Find(Symb::WidthSy, attribute);
                if (row != nullptr) {
                    finishCell();
                } else {
                    row = std::make_unique<TCellList>();
                    rowJustify = PaneUn2::NoJustify;
                    rowVAlign = PaneUn2::AMiddle;
                }
                Justify = rowJustify != PaneUn2::NoJustify ? rowJustify
                          : header                         ? PaneUn2::Centered
                                                           : PaneUn2::Left;
                if (header)
                    StyleSet.Include(fsBold);
                else
                    StyleSet.Exclude(fsBold);
                PanePars::JustifyOf(TagAttrs, Justify);
                AlignmentType valign = rowVAlign;
                PanePars::VAlignOf(TagAttrs, valign);
                cellObj = std::make_unique<TCellObj>(SectionList, valign, TagAttrs);
                CurCell = cellObj->Cell.get();
                SkipWhiteSpace();
                Next();
                ParaSpaceDone = true;
                DoBody(0, TableTerminators);
                break;
            }
            case Symb::TDEndSy:
            case Symb::THEndSy:
                finishCell();
                Next();
                break;
            case Symb::TRSy:
                if (InLink)
                    DoAEnd();
                if (row != nullptr) {
                    finishCell();
                    appendRow();
                }
                row = std::make_unique<TCellList>();
                rowJustify = PaneUn2::NoJustify;
                PanePars::JustifyOf(TagAttrs, rowJustify);
                rowVAlign = PaneUn2::AMiddle;
                PanePars::VAlignOf(TagAttrs, rowVAlign);
                row->DoAttributes(TagAttrs);
                Next();
                break;
            case Symb::TREndSy:
                if (InLink)
                    DoAEnd();
                if (row != nullptr) {
                    finishCell();
                    appendRow();
                }
                Next();
                break;
            case Symb::CaptionSy: {
                closeLinkAndFonts();
                StyleSet = savedStyle;
                NoBreak = false;
                finishCell();
                TAttribute* align = nullptr;
                if (TagAttrs->Find(Symb::AlignSy, align))
                    table->CaptionAtTop = LowerCase(align->Text) != "bottom";
                CurCell = table->Caption->Cell.get();
                Justify = PaneUn2::Centered;
                Next();
                DoBody(0, TableTerminators);
                CurCell->Add(CurSection);
                CurSection = nullptr;
                CurCell = nullptr;
                if (CurSym == Symb::CaptionEndSy)
                    Next();
                break;
            }
            case Symb::TableEndSy:
            case Symb::EofSy:
                closeLinkAndFonts();
                closeTable();
                Next();
                return;
            default:
                Next();
                break;
            }
        }
    } catch (...) {
        // A stopped parse keeps the table read so far, closed as at the end of the input.
        if (CurCell != nullptr && (cellObj == nullptr || CurCell != cellObj->Cell.get())) {
            CurCell->Add(CurSection);
            CurSection = nullptr;
            CurCell = nullptr;
        }
        closeTable();
        throw;
    }
}

// --- Form fields --------------------------------------------------------------------------------

void ThlParser::DoFormField(Symb Sym, int Level)
{
    switch (Sym) {
    case Symb::InputSy:
    case Symb::SelectSy:
    case Symb::TextAreaSy: {
        EnsureSection(Level);
        TFormControlObj* control = CurSection->AddFormControl(Sym, SectionList, TagAttrs, CurCell, TagPos, NoBreak);
        if (Sym == Symb::SelectSy) {
            if (auto* list = dynamic_cast<TListBoxFormControlObj*>(control))
                GetOptions(list);
        } else if (Sym == Symb::TextAreaSy) {
            if (auto* area = dynamic_cast<TTextAreaFormControlObj*>(control))
                DoTextArea(area);
        }
        break;
    }
    case Symb::FormSy:
        CurrentForm = new ThtmlForm(SectionList, TagAttrs);
        break;
    case Symb::FormEndSy:
        CurrentForm = nullptr;
        break;
    default:
        break;
    }
}

void ThlParser::GetOptions(TListBoxFormControlObj* Control)
{
    const bool savedNoBreak = NoBreak;
    NoBreak = false;
    Next();
    std::string text, value;
    bool selected = false;
    bool inOption = false;
    for (;;) {
        switch (CurSym) {
        case Symb::TextSy:
            if (inOption)
                text = (text + TextToken.Chars).substr(0, PanePars::MaxOptionText);
            break;
        case Symb::SelectEndSy:
        case Symb::EofSy:
            if (inOption) {
                text = Trim(text);
                if (!text.empty())
                    Control->AddStr(text, value, selected);
            }
            NoBreak = savedNoBreak;
            return;
        case Symb::OptionSy:
        case Symb::OptionEndSy: {
            text = Trim(text);
            if (!text.empty() && inOption)
                Control->AddStr(text, value, selected);
            text.clear();
            value.clear();
            selected = false;
            inOption = CurSym == Symb::OptionSy;
            if (inOption) {
                TAttribute* attribute = nullptr;
                selected = TagAttrs->Find(Symb::SelectedSy, attribute);
                if (TagAttrs->Find(Symb::ValueSy, attribute))
                    value = attribute->Text.substr(0, PanePars::MaxOptionText);
            }
            break;
        }
        default:
            break;
        }
        Next();
    }
}

// TEXTAREA content is read raw: tags stay text, entities are decoded, every line end is a line.
void ThlParser::NextTextAreaPiece(Symb& Sym)
{
    TextToken.Clear();
    if (RawChar == EofChar) {
        Sym = Symb::EofSy;
    } else if (RawChar == '\r') {
        Sym = Symb::EolSy;
        GetCh();
    } else if (RawChar == '<') {
        do {
            TextToken.AddChar(RawChar, CharPos);
            GetCh();
        } while (RawChar != ' ' && RawChar != '\r' && RawChar != '>' && RawChar != EofChar);
        Sym = SameText(TextToken.Chars, "</textarea") ? Symb::TextAreaEndSy : Symb::CommandSy;
    } else if (RawChar == '&') {
        IsOddChar();
        Sym = Symb::TextSy;
    } else {
        while (TextToken.Chars.size() < MaxTextRun && RawChar != '\r' && RawChar != EofChar && RawChar != '&' &&
               RawChar != '<') {
            TextToken.AddChar(RawChar, CharPos);
            GetCh();
        }
        Sym = Symb::TextSy;
    }
}

void ThlParser::DoTextArea(TTextAreaFormControlObj* Control)
{
    std::string line;
    for (;;) {
        Symb sym;
        NextTextAreaPiece(sym);
        if (sym == Symb::EolSy) {
            Control->AddStr(line);
            line.clear();
        } else if (sym == Symb::EofSy || sym == Symb::TextAreaEndSy) {
            while (RawChar != '>' && RawChar != EofChar)
                GetCh();
            if (RawChar == '>')
                GetCh();
            if (!line.empty())
                Control->AddStr(line);
            return;
        } else {
            line += TextToken.Chars;
        }
    }
}

// --- Image maps ---------------------------------------------------------------------------------

void ThlParser::DoMap()
{
    auto item = std::make_unique<TMapItem>();
    TAttribute* name = nullptr;
    if (TagAttrs->Find(Symb::NameSy, name))
        item->MapKey = UpperCase(name->Text);
    Next();
    int foreign = 0;
    while (CurSym != Symb::MapEndSy && CurSym != Symb::EofSy && foreign < 3) {
        if (CurSym == Symb::AreaSy)
            item->AddArea(TagAttrs);
        else if (CurSym != Symb::TextSy)
            ++foreign;
        Next();
    }
    if (CurSym == Symb::MapEndSy)
        SectionList->ImageMaps->Add(item.release());
}

// --- Scripts ------------------------------------------------------------------------------------

void ThlParser::NextScriptPiece(Symb& Sym)
{
    TextToken.Clear();
    if (RawChar == EofChar) {
        Sym = Symb::EofSy;
    } else if (RawChar == '\r') {
        Sym = Symb::EolSy;
        GetCh();
    } else if (RawChar == '<') {
        TextToken.AddChar('<', CharPos);
        GetCh();
        for (std::size_t i = 0; i < PanePars::ScriptTagLetters && (UpChar == '/' || (UpChar >= 'A' && UpChar <= 'Z'));
             ++i) {
            TextToken.AddChar(RawChar, CharPos);
            GetCh();
        }
        if (RawChar == '>') {
            TextToken.AddChar('>', CharPos);
            GetCh();
        }
        Sym = SameText(TextToken.Chars, "</script>") ? Symb::ScriptEndSy : Symb::CommandSy;
    } else {
        while (TextToken.Chars.size() < MaxTextRun && RawChar != '\r' && RawChar != EofChar && RawChar != '<') {
            TextToken.AddChar(RawChar, CharPos);
            GetCh();
        }
        Sym = Symb::TextSy;
    }
}

void ThlParser::DoScript(const TScriptEvent& Handler)
{
    struct TScriptMode {
        bool& InScript;
        ~TScriptMode() { InScript = false; }
    } mode{InScript};
    Symb sym = Symb::CommandSy;
    if (!Handler) {
        do
            NextScriptPiece(sym);
        while (sym != Symb::ScriptEndSy && sym != Symb::EofSy);
        return;
    }
    InScript = true;
    const std::string name = PanePars::AttributeText(TagAttrs, Symb::NameSy);
    const std::string language = PanePars::AttributeText(TagAttrs, Symb::LanguageSy);
    PanePars::TScriptBuffer buffer;
    for (;;) {
        NextScriptPiece(sym);
        if (sym == Symb::ScriptEndSy || sym == Symb::EofSy)
            break;
        if (sym == Symb::EolSy)
            buffer.Append("\r\n", 2);
        else
            buffer.Append(TextToken.Chars.data(), TextToken.Chars.size());
    }
    InScript = false;
    const char* script = buffer.Text();
    TThread::Synchronize(ParseThread, [this, &Handler, &name, &language, script] {
        Handler(EventSender, name, language, script);
    });
}

// --- Head elements ------------------------------------------------------------------------------

void ThlParser::DoTitle()
{
    Title.clear();
    Next();
    while (CurSym == Symb::TextSy) {
        Title += TextToken.Chars;
        Next();
    }
}

void ThlParser::DoBase()
{
    for (int i = 0; i < TagAttrs->Count(); ++i) {
        const TAttribute& attribute = *TagAttrs->Attribute(i);
        if (attribute.Symbol == Symb::HrefSy)
            Base = attribute.Text;
        else if (attribute.Symbol == Symb::TargetSy)
            BaseTarget = attribute.Text;
    }
    Next();
}

void ThlParser::DoMeta(TObject* Sender)
{
    MetaHttpEq = PanePars::AttributeText(TagAttrs, Symb::HttpEqSy);
    EventName = PanePars::AttributeText(TagAttrs, Symb::NameSy);
    MetaContent = PanePars::AttributeText(TagAttrs, Symb::ContentSy);
    const bool fromViewer =
        Sender != nullptr && SectionList->Viewer != nullptr && Sender == SectionList->Viewer->ViewerComponent();
    if (fromViewer && SameText(MetaHttpEq, "content-type"))
        TopFont()->SetCharset(TranslateCharset(SectionList->FontCharset, MetaContent));
    if (MetaHandler)
        TThread::Synchronize(ParseThread, [this] { DoMetaEvent(); });
    Next();
}

TFontCharset ThlParser::TranslateCharset(TFontCharset DefaultCharset, const std::string& Content)
{
    const std::string content = LowerCase(Content);
    for (const PanePars::TCharsetKey& entry : PanePars::CharsetKeys)
        if (content.find(entry.Key) != std::string::npos)
            return entry.Charset;
    return DefaultCharset;
}

void ThlParser::DoSound()
{
    TAttribute* source = nullptr;
    if (SoundHandler && TagAttrs->Find(Symb::SrcSy, source)) {
        TAttribute* loop = nullptr;
        SoundLoop = TagAttrs->Find(Symb::LoopSy, loop) ? loop->Number : 1;
        EventName = source->Text;
        TThread::Synchronize(ParseThread, [this] { DoSoundEvent(); });
    }
    Next();
}

void ThlParser::DoMetaEvent()
{
    if (MetaHandler)
        MetaHandler(EventSender, MetaHttpEq, EventName, MetaContent);
}

void ThlParser::DoSoundEvent()
{
    if (SoundHandler)
        SoundHandler(EventSender, EventName, SoundLoop, false);
}
