// The grammar half of the parser: turns the tokenizer's symbols into the sections of a viewer
// document. It keeps the font stack, the style and link state, the justification and the list
// level, and absorbs every nesting error instead of rejecting the document.

#include "htmlview/PanePars.h"

#include "htmlview/PaneReadThd.h"
#include "htmlview/PaneSbs1.h"
#include "htmlview/PaneSubs.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <memory>

const std::array<int, 7> FontConv = {8, 10, 12, 14, 18, 24, 36};
const std::array<int, 7> PreFontConv = {7, 8, 10, 12, 15, 20, 30};

namespace PanePars {

constexpr int MaxFontStack = 25;
// A preformatted line hands its characters to its section in pieces of about this size.
constexpr std::size_t PreformattedPiece = 200;
constexpr int StrayListIndent = 15;

// The content of a list item that stands outside any list.
const SymbSet InlineSymbols = {
    Symb::BSy,        Symb::BEndSy,      Symb::ISy,      Symb::IEndSy,    Symb::EmSy,       Symb::EmEndSy,
    Symb::StrongSy,   Symb::StrongEndSy, Symb::USy,      Symb::UEndSy,    Symb::CiteSy,     Symb::VarSy,
    Symb::CiteEndSy,  Symb::VarEndSy,    Symb::TTSy,     Symb::CodeSy,    Symb::KbdSy,      Symb::SampSy,
    Symb::TTEndSy,    Symb::CodeEndSy,   Symb::KbdEndSy, Symb::SampEndSy, Symb::ASy,        Symb::AEndSy,
    Symb::TextSy,     Symb::FontEndSy,   Symb::SubSy,    Symb::SubEndSy,  Symb::SupSy,      Symb::SupEndSy,
    Symb::BigSy,      Symb::BigEndSy,    Symb::SmallSy,  Symb::SmallEndSy, Symb::SSy,       Symb::SEndSy,
    Symb::StrikeSy,   Symb::StrikeEndSy, Symb::NoBrSy,   Symb::NoBrEndSy, Symb::WbrSy};

const SymbSet ListEndSymbols = {Symb::OLEndSy, Symb::ULEndSy,  Symb::DirEndSy,
                                Symb::MenuEndSy, Symb::DLEndSy, Symb::BlockQuoteEndSy};

const SymbSet ListStartSymbols = {Symb::OLSy, Symb::ULSy, Symb::DirSy, Symb::MenuSy, Symb::DLSy};

// What DoBody and DoLists hand to DoCommonSy.
SymbSet MakeCommonSymbols()
{
    SymbSet set = {Symb::PSy,       Symb::PEndSy,      Symb::BRSy,       Symb::HeadingSy,    Symb::HeadingEndSy,
                   Symb::AddressSy, Symb::AddressEndSy, Symb::PreSy,     Symb::ImageSy,      Symb::ASy,
                   Symb::AEndSy,    Symb::TextSy,      Symb::InputSy,    Symb::FormSy,       Symb::FormEndSy,
                   Symb::TextAreaSy, Symb::TextAreaEndSy, Symb::SelectSy, Symb::FontSy,      Symb::FontEndSy,
                   Symb::BaseFontSy, Symb::MapSy,      Symb::ScriptSy,   Symb::NoBrSy,       Symb::NoBrEndSy,
                   Symb::WbrSy};
    set = set + SymbSet::Range(Symb::BSy, Symb::IEndSy) + SymbSet::Range(Symb::EmSy, Symb::UEndSy) +
          SymbSet::Range(Symb::CiteSy, Symb::VarEndSy) + SymbSet::Range(Symb::SSy, Symb::StrikeEndSy) +
          SymbSet::Range(Symb::TTSy, Symb::SampEndSy) + SymbSet::Range(Symb::SubSy, Symb::SupEndSy) +
          SymbSet::Range(Symb::BigSy, Symb::SmallEndSy);
    return set;
}

const SymbSet CommonSymbols = MakeCommonSymbols();

const SymbSet StyleSymbols = {Symb::BSy,       Symb::StrongSy,  Symb::BEndSy,     Symb::StrongEndSy, Symb::ISy,
                              Symb::EmSy,      Symb::CiteSy,    Symb::VarSy,      Symb::IEndSy,      Symb::EmEndSy,
                              Symb::CiteEndSy, Symb::VarEndSy,  Symb::USy,        Symb::UEndSy,      Symb::SSy,
                              Symb::StrikeSy,  Symb::SEndSy,    Symb::StrikeEndSy};

// The handlers that open a level of nesting.
const SymbSet NestingSymbols = {Symb::Centersy, Symb::DivSy, Symb::OLSy,         Symb::ULSy,   Symb::DirSy,
                                Symb::MenuSy,   Symb::DLSy,  Symb::BlockQuoteSy, Symb::TableSy};

// "left", "center" or "right" in any case; false for anything else.
bool AlignmentOf(const std::string& Text, JustifyType& Justify)
{
    const std::string value = LowerCase(Text);
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

// One more level of nesting for as long as a handler runs.
class TNestingLevel {
public:
    explicit TNestingLevel(int& Depth) : FDepth(Depth) { ++FDepth; }
    ~TNestingLevel() { --FDepth; }
    TNestingLevel(const TNestingLevel&) = delete;
    TNestingLevel& operator=(const TNestingLevel&) = delete;

private:
    int& FDepth;
};

} // namespace PanePars

using PanePars::CommonSymbols;
using PanePars::ListEndSymbols;
using PanePars::ListStartSymbols;

// --- Parse entries ------------------------------------------------------------------------------

void ThlParser::ParseInit(TSectionList* ASectionList, TStringList* ANameList, TIncludeType AIncludeHandler)
{
    CurCell = SectionList = ASectionList;
    NameList = ANameList;
    IncludeHandler = std::move(AIncludeHandler);
    delete TagAttrs;
    TagAttrs = new TAttributeList;
    CharPos = -1;
    LineEndState = lcOther;
    InScript = false;
    InPre = false;
    NoBreak = false;
    ParaSpaceDone = false;
    FInComment = false;
    FOpenCommentAtEnd = false;
    InLink = false;
    BaseHtmlSize = 3;
    Title.clear();
    Base.clear();
    BaseTarget.clear();
    Justify = PaneUn2::Left;
    StyleSet = TFontStyles();
    CurrentForm = nullptr;
    NestingDepth = 0;
    TableDepth = 0;
    if (SectionList == nullptr)
        return;
    SectionList->CurrentParser = this;
    if (SectionList->Viewer != nullptr)
        EventSender = SectionList->Viewer->ViewerComponent();
    FontTop = 1;
    auto* base = new TMyFont;
    FontStack[1] = base;
    base->SetName(SectionList->BaseFontName);
    base->SetColor(SectionList->TextColor | PaletteRelative);
    base->SetNormalSize(SectionList, 12);
    base->SetCharset(SectionList->FontCharset);
    delete LinkTarget;
    LinkTarget = new TUrlTarget;
    CurSection = new TSection(SectionList, 0, base, nullptr, PaneUn2::Left);
}

// After every parse, also a failed one: the pending section joins the document and the working
// objects go.
void ThlParser::CleanUpParse()
{
    delete TagAttrs;
    TagAttrs = nullptr;
    if (SectionList == nullptr)
        return;
    if (CurCell != nullptr)
        CurCell->Add(CurSection);
    else
        delete CurSection;
    CurSection = nullptr;
    for (; FontTop >= 1; --FontTop) {
        delete FontStack[static_cast<std::size_t>(FontTop)];
        FontStack[static_cast<std::size_t>(FontTop)] = nullptr;
    }
    FontTop = 0;
    delete LinkTarget;
    LinkTarget = nullptr;
    if (SectionList->CurrentParser == this)
        SectionList->CurrentParser = nullptr;
}

void ThlParser::HtmlParseString(TSectionList* ASectionList, TStringList* ANameList, TIncludeType AIncludeHandler,
                                TSoundType ASoundHandler, TMetaType AMetaHandler)
{
    LoadStyle = lsPrimary;
    ParseInit(ASectionList, ANameList, std::move(AIncludeHandler));
    SoundHandler = std::move(ASoundHandler);
    MetaHandler = std::move(AMetaHandler);
    try {
        ReadThreadRange();
        GetCh();
        Next();
        if (SectionList != nullptr)
            DoBody(0, SymbSet());
        else
            while (CurSym != Symb::EofSy)
                Next();
    } catch (...) {
        // Whatever was built stays; a stopped or failed parse is not reported.
    }
    CleanUpParse();
}

void ThlParser::HtmlParseTextString(TSectionList* ASectionList, TStringList* ANameList)
{
    LoadStyle = lsPrimary;
    ParseInit(ASectionList, ANameList, nullptr);
    SoundHandler = nullptr;
    MetaHandler = nullptr;
    try {
        ReadThreadRange();
        GetCh();
        DoText();
    } catch (const EParseError&) {
    } catch (...) {
        CleanUpParse();
        throw;
    }
    CleanUpParse();
}

// --- Small steps --------------------------------------------------------------------------------

void ThlParser::FinishSection()
{
    if (CurCell != nullptr)
        CurCell->Add(CurSection);
    else
        delete CurSection;
    CurSection = nullptr;
}

TSection* ThlParser::NewSection(int Level, JustifyType AJustify)
{
    return new TSection(SectionList, Level, TopFont(), LinkTarget, AJustify);
}

void ThlParser::EnsureSection(int Level)
{
    if (CurSection == nullptr)
        CurSection = NewSection(Level, Justify);
}

void ThlParser::ApplyFont()
{
    if (CurSection != nullptr)
        CurSection->ChangeFont(SectionList, TopFont());
}

bool ThlParser::NestingAllowed(Symb Sym) const
{
    if (!PanePars::NestingSymbols.Contains(Sym))
        return true;
    if (NestingDepth >= MaxNesting)
        return false;
    return Sym != Symb::TableSy || TableDepth < MaxTableNesting;
}

bool ThlParser::IsStyleSymbol(Symb Sym) const { return PanePars::StyleSymbols.Contains(Sym); }

void ThlParser::ChangeStyle(Symb Sym)
{
    switch (Sym) {
    case Symb::BSy:
    case Symb::StrongSy:
        StyleSet.Include(fsBold);
        break;
    case Symb::BEndSy:
    case Symb::StrongEndSy:
        StyleSet.Exclude(fsBold);
        break;
    case Symb::ISy:
    case Symb::EmSy:
    case Symb::CiteSy:
    case Symb::VarSy:
        StyleSet.Include(fsItalic);
        break;
    case Symb::IEndSy:
    case Symb::EmEndSy:
    case Symb::CiteEndSy:
    case Symb::VarEndSy:
        StyleSet.Exclude(fsItalic);
        break;
    case Symb::USy:
        StyleSet.Include(fsUnderline);
        break;
    case Symb::UEndSy:
        StyleSet.Exclude(fsUnderline);
        break;
    case Symb::SSy:
    case Symb::StrikeSy:
        StyleSet.Include(fsStrikeOut);
        break;
    default: // SEndSy, StrikeEndSy
        StyleSet.Exclude(fsStrikeOut);
        break;
    }
    ApplyFont();
}

// --- Fonts --------------------------------------------------------------------------------------

bool ThlParser::PushNewFont()
{
    if (FontTop >= PanePars::MaxFontStack)
        return false;
    auto* font = new TMyFont;
    font->Assign(TopFont());
    ++FontTop;
    FontStack[static_cast<std::size_t>(FontTop)] = font;
    return true;
}

void ThlParser::PopFont()
{
    if (FontTop < 2)
        return;
    delete FontStack[static_cast<std::size_t>(FontTop)];
    FontStack[static_cast<std::size_t>(FontTop)] = nullptr;
    --FontTop;
}

void ThlParser::PushHeadingFont()
{
    static constexpr int HeadingSizes[] = {12, 24, 18, 14, 12, 10, 8};
    PushNewFont();
    const int level = std::clamp(HeadingLevel, 0, 6);
    TopFont()->SetNormalSize(SectionList, HeadingSizes[level]);
    if (level > 0)
        TopFont()->SetStyle(TopFont()->Style() + TFontStyles{fsBold});
}

// FONT and BASEFONT; true when the top font changed.
bool ThlParser::DoFontTag(bool IsBaseFont, const std::array<int, 7>& Sizes)
{
    int size = 0;
    bool haveColor = false;
    TColor color = clBlack;
    std::string face;
    for (int i = 0; i < TagAttrs->Count(); ++i) {
        const TAttribute& attribute = *TagAttrs->Attribute(i);
        if (attribute.Symbol == Symb::SizeSy) {
            int number = attribute.Number;
            if (attribute.Text.size() >= 2 && (attribute.Text[0] == '+' || attribute.Text[0] == '-'))
                number += BaseHtmlSize;
            size = std::clamp(number, 1, 7);
            if (IsBaseFont)
                BaseHtmlSize = size;
        } else if (attribute.Symbol == Symb::ColorSy && !IsBaseFont) {
            haveColor = PaneUn2::GetColor(attribute.Text, color) || haveColor;
        } else if (attribute.Symbol == Symb::FaceSy && !IsBaseFont) {
            std::string name = attribute.Text.substr(0, 50);
            name = Trim(name.substr(0, name.find(',')));
            if (!name.empty())
                face = name;
        }
    }
    if (IsBaseFont && (CurCell != SectionList || SectionList->Count() > 0))
        return false;
    if (!PushNewFont())
        return false;
    if (size == 0 && !haveColor && face.empty())
        return false;
    TMyFont* font = TopFont();
    if (haveColor)
        font->SetColor(color | PaletteRelative);
    if (size != 0)
        font->SetNormalSize(SectionList, Sizes[static_cast<std::size_t>(size - 1)]);
    if (!face.empty())
        font->SetName(face);
    return true;
}

// BIG and SMALL step through the running-text sizes. A size between two of them (a fixed-pitch
// 10, say) steps from the nearest one below it.
bool ThlParser::DoBigSmall()
{
    const int current = TopFont()->RelativeSize;
    int n = 1;
    for (int i = 1; i <= 7; ++i)
        if (FontConv[static_cast<std::size_t>(i - 1)] <= current)
            n = i;
    if (CurSym == Symb::BigSy && n <= 6)
        ++n;
    else if (CurSym == Symb::SmallSy && n >= 2)
        --n;
    if (!PushNewFont())
        return false;
    TopFont()->SetNormalSize(SectionList, FontConv[static_cast<std::size_t>(n - 1)]);
    return true;
}

JustifyType ThlParser::FindAlignment()
{
    JustifyType result = Justify;
    TAttribute* align = nullptr;
    if (CurSym != Symb::PEndSy && TagAttrs->Find(Symb::AlignSy, align))
        PanePars::AlignmentOf(align->Text, result);
    return result;
}

void ThlParser::DoAEnd()
{
    if (InLink) {
        LinkTarget->Clear();
        InLink = false;
        PopFont();
    }
    if (CurSection != nullptr)
        CurSection->HRef(Symb::AEndSy, SectionList, nullptr, TopFont());
}

// --- The body -----------------------------------------------------------------------------------

void ThlParser::DoBody(int Level, const SymbSet& TermSet)
{
    while (CurSym != Symb::EofSy) {
        const Symb sym = CurSym;
        if (!NestingAllowed(sym)) {
            Next();
            continue;
        }
        switch (sym) {
        case Symb::TitleSy:
            DoTitle();
            break;
        case Symb::BaseSy:
            DoBase();
            break;
        case Symb::MetaSy:
            DoMeta(EventSender);
            break;
        case Symb::BgSoundSy:
            DoSound();
            break;
        case Symb::BodySy:
            DoBodyTag();
            break;
        case Symb::HRSy:
            FinishSection();
            CurCell->Add(new THorzLine(SectionList, TagAttrs));
            Next();
            break;
        case Symb::OLSy:
        case Symb::ULSy:
        case Symb::DirSy:
        case Symb::MenuSy:
        case Symb::DLSy:
        case Symb::BlockQuoteSy:
            if (sym == Symb::BlockQuoteSy)
                FinishSection();
            DoLists(1, sym, TermSet);
            // A list that stopped at a symbol of TermSet leaves it for the caller.
            if (ListEndSymbols.Contains(CurSym))
                Next();
            break;
        case Symb::LISy:
            if (Level != 0)
                Next();
            else
                DoStrayListItem();
            break;
        case Symb::Centersy:
        case Symb::DivSy:
            DoCenterOrDiv(Level, TermSet);
            break;
        default:
            if (CommonSymbols.Contains(sym) || sym == Symb::TableSy)
                DoCommonSy(Level);
            else if (TermSet.Contains(sym))
                return;
            else
                Next();
            break;
        }
    }
    Next();
}

// A BODY counts only before the document holds anything; text read before it is dropped.
void ThlParser::DoBodyTag()
{
    if (CurCell->Count() == 0) {
        delete CurSection;
        CurSection = nullptr;
        for (int i = 0; i < TagAttrs->Count(); ++i) {
            const TAttribute& attribute = *TagAttrs->Attribute(i);
            TColor color = clBlack;
            const bool isColor = PaneUn2::GetColor(attribute.Text, color);
            color = color | PaletteRelative;
            switch (attribute.Symbol) {
            case Symb::TextSy:
                if (isColor) {
                    FontStack[1]->SetColor(color);
                    SectionList->TextColor = color;
                }
                break;
            case Symb::LinkSy:
                if (isColor)
                    SectionList->LinkColor = color;
                break;
            case Symb::BGColorSy:
                if (isColor)
                    SectionList->SetBackground(color);
                break;
            case Symb::BackgroundSy:
                SectionList->SetBackgroundBitmap(attribute.Text);
                break;
            case Symb::MarginWidthSy:
            case Symb::MarginHeightSy:
                if (SectionList->Viewer != nullptr && EventSender == SectionList->Viewer->ViewerComponent()) {
                    const int margin = std::clamp(attribute.Number, 0, 200);
                    if (attribute.Symbol == Symb::MarginWidthSy)
                        SectionList->Viewer->SetDocumentMarginWidth(margin);
                    else
                        SectionList->Viewer->SetDocumentMarginHeight(margin);
                }
                break;
            case Symb::VLinkSy:
                if (isColor)
                    SectionList->VisitedLinkColor = color;
                break;
            case Symb::OLinkSy:
                if (isColor) {
                    SectionList->HoverLinkColor = color;
                    SectionList->HoverLinksOn = true;
                }
                break;
            default:
                break;
            }
        }
        CurSection = new TSection(SectionList, 0, FontStack[1], nullptr, Justify);
    }
    Next();
}

void ThlParser::DoCenterOrDiv(int Level, const SymbSet& TermSet)
{
    PanePars::TNestingLevel nesting(NestingDepth);
    FinishSection();
    const JustifyType saved = Justify;
    TAttribute* align = nullptr;
    if (CurSym == Symb::Centersy)
        Justify = PaneUn2::Centered;
    else if (TagAttrs->Find(Symb::AlignSy, align))
        PanePars::AlignmentOf(align->Text, Justify);
    CurSection = NewSection(Level, Justify);
    Next();
    DoBody(Level, SymbSet{Symb::CenterEndSy, Symb::DivEndSy} + TermSet);
    FinishSection();
    Justify = saved;
    CurSection = NewSection(Level, Justify);
    if (CurSym == Symb::CenterEndSy || CurSym == Symb::DivEndSy)
        Next();
}

// A list item outside any list: a bulleted item of inline content, indented less than a list.
void ThlParser::DoStrayListItem()
{
    struct TIndentScope {
        int Saved = PaneUn2::ListIndent;
        TIndentScope() { PaneUn2::ListIndent = PanePars::StrayListIndent; }
        ~TIndentScope() { PaneUn2::ListIndent = Saved; }
    } indent;
    FinishSection();
    CurSection = new TUListItem(SectionList, 1, TopFont(), LinkTarget);
    SkipWhiteSpace();
    Next();
    while (PanePars::InlineSymbols.Contains(CurSym))
        DoCommonSy(1);
    FinishSection();
}

// --- Common symbols -----------------------------------------------------------------------------

void ThlParser::DoParagraph(int Level)
{
    FinishSection();
    if (!ParaSpaceDone)
        CurCell->Add(new TParagraphSpace(SectionList));
    SkipWhiteSpace();
    JustifyType justify = FindAlignment();
    ParaSpaceDone = true;
    Next();
    while (CurSym == Symb::PSy || CurSym == Symb::PEndSy) {
        justify = FindAlignment();
        SkipWhiteSpace();
        ParaSpaceDone = true;
        Next();
    }
    CurSection = NewSection(Level, justify);
}

void ThlParser::DoAnchor(int Level, bool InPreformatted)
{
    for (int i = 0; i < TagAttrs->Count(); ++i) {
        const TAttribute& attribute = *TagAttrs->Attribute(i);
        if (attribute.Symbol == Symb::HrefSy) {
            if (InLink)
                DoAEnd();
            if (!attribute.Text.empty()) {
                TAttribute* target = nullptr;
                LinkTarget->Assign(attribute.Text, TagAttrs->Find(Symb::TargetSy, target) ? target->Text : "");
                InLink = true;
                if (PushNewFont()) {
                    TopFont()->SetStyle(TopFont()->Style() + SectionList->LinkFontStyle);
                    TopFont()->SetColor(SectionList->LinkColor | PaletteRelative);
                }
                if (CurSection != nullptr)
                    CurSection->HRef(Symb::HrefSy, SectionList, LinkTarget, TopFont());
            } else if (InPreformatted && CurSection != nullptr) {
                CurSection->HRef(Symb::HrefSy, SectionList, LinkTarget, TopFont());
            }
        } else if (attribute.Symbol == Symb::NameSy && !attribute.Text.empty()) {
            EnsureSection(Level);
            std::string name = UpperCase(attribute.Text);
            if (name[0] == '#')
                name.erase(0, 1);
            if (NameList != nullptr)
                NameList->AddObject(name, CurSection);
        }
    }
}

void ThlParser::DoCommonSy(int Level)
{
    const Symb sym = CurSym;
    if (IsStyleSymbol(sym)) {
        ChangeStyle(sym);
        Next();
        return;
    }
    switch (sym) {
    case Symb::PSy:
    case Symb::PEndSy:
        DoParagraph(Level);
        return;
    case Symb::BRSy: {
        const JustifyType justify = CurSection != nullptr ? CurSection->BreakInfo(TagPos, NoBreak) : Justify;
        FinishSection();
        CurSection = NewSection(Level, justify);
        CurSection->DoClearAttribute(TagAttrs);
        break;
    }
    case Symb::HeadingSy:
        if (FontTop < PanePars::MaxFontStack) {
            FinishSection();
            PushHeadingFont();
            CurCell->Add(new THeadingSpace(SectionList, HeadingLevel));
            CurSection = NewSection(Level, FindAlignment());
        }
        break;
    case Symb::HeadingEndSy:
        if (FontTop > 1) {
            FinishSection();
            CurCell->Add(new THeadingSpace(SectionList, HeadingLevel));
            PopFont();
        }
        break;
    case Symb::TTSy:
    case Symb::CodeSy:
    case Symb::KbdSy:
    case Symb::SampSy:
        if (PushNewFont()) {
            TopFont()->SetName(SectionList->FixedFontName);
            TopFont()->SetNormalSize(SectionList, 10);
            TopFont()->FixedPitch = true;
            ApplyFont();
        }
        break;
    case Symb::TTEndSy:
    case Symb::CodeEndSy:
    case Symb::KbdEndSy:
    case Symb::SampEndSy:
    case Symb::FontEndSy:
    case Symb::BigEndSy:
    case Symb::SmallEndSy:
        PopFont();
        ApplyFont();
        break;
    case Symb::AddressSy:
        FinishSection();
        if (PushNewFont())
            TopFont()->SetStyle(TopFont()->Style() + TFontStyles{fsItalic});
        CurSection = NewSection(Level, Justify);
        break;
    case Symb::AddressEndSy:
        FinishSection();
        PopFont();
        break;
    case Symb::PreSy:
        DoPreformatted(Level);
        return;
    case Symb::ImageSy:
        EnsureSection(Level);
        CurSection->AddImage(TagAttrs, CurCell, TagPos, NoBreak);
        break;
    case Symb::ASy:
        DoAnchor(Level, false);
        break;
    case Symb::AEndSy:
        DoAEnd();
        break;
    case Symb::TextSy:
        EnsureSection(Level);
        CurSection->AddTokenObj(TextToken, NoBreak);
        break;
    case Symb::TableSy:
        DoTable(Level);
        return;
    case Symb::InputSy:
    case Symb::SelectSy:
    case Symb::TextAreaSy:
    case Symb::FormSy:
    case Symb::FormEndSy:
        DoFormField(sym, Level);
        break;
    case Symb::TextAreaEndSy:
        break;
    case Symb::FontSy:
    case Symb::BaseFontSy:
        if (DoFontTag(sym == Symb::BaseFontSy, FontConv))
            ApplyFont();
        break;
    case Symb::SubSy:
    case Symb::SupSy:
        EnsureSection(Level);
        SubSupState = sym == Symb::SubSy ? SubSc : SupSc;
        ApplyFont();
        break;
    case Symb::SubEndSy:
    case Symb::SupEndSy:
        SubSupState = Normal;
        ApplyFont();
        break;
    case Symb::BigSy:
    case Symb::SmallSy:
        if (DoBigSmall())
            ApplyFont();
        break;
    case Symb::MapSy:
        DoMap();
        break;
    case Symb::ScriptSy:
        DoScript(SectionList->ScriptHandler);
        break;
    case Symb::NoBrSy:
    case Symb::NoBrEndSy:
        NoBreak = sym == Symb::NoBrSy;
        break;
    case Symb::WbrSy:
        if (CurSection != nullptr && NoBreak)
            CurSection->AddChar(' ', TagPos, true);
        break;
    default:
        break;
    }
    Next();
}

// --- Lists --------------------------------------------------------------------------------------

void ThlParser::DoLists(int Level, Symb Sym, const SymbSet& TermSet)
{
    PanePars::TNestingLevel nesting(NestingDepth);
    int number = 1;
    char numberStyle = '1';
    bool plain = false;
    TAttribute* attribute = nullptr;
    if (Sym == Symb::OLSy) {
        if (TagAttrs->Find(Symb::StartSy, attribute) && attribute->Number >= 0)
            number = attribute->Number;
        if (TagAttrs->Find(Symb::TypeSy, attribute) && !attribute->Text.empty())
            numberStyle = attribute->Text[0];
    } else if (Sym == Symb::ULSy) {
        plain = TagAttrs->Find(Symb::PlainSy, attribute);
    }
    FinishSection();
    Next();
    int itemLevel = Level;
    while (!ListEndSymbols.Contains(CurSym) && CurSym != Symb::EofSy) {
        const Symb sym = CurSym;
        if (!NestingAllowed(sym)) {
            Next();
            continue;
        }
        switch (sym) {
        case Symb::LISy: {
            FinishSection();
            if (Sym == Symb::OLSy) {
                CurSection = new TOListItem(SectionList, Level, number, numberStyle, TopFont(), LinkTarget);
                ++number;
            } else {
                auto* item = new TUListItem(SectionList, Level, TopFont(), LinkTarget);
                item->PlainItem = plain;
                CurSection = item;
            }
            SkipWhiteSpace();
            Next();
            if (CurSym == Symb::PSy)
                Next();
            itemLevel = Level;
            break;
        }
        case Symb::DDSy:
        case Symb::DTSy:
            FinishSection();
            itemLevel = sym == Symb::DDSy ? Level : Level - 1;
            CurSection = new TDListItem(SectionList, itemLevel, TopFont(), LinkTarget);
            Next();
            break;
        case Symb::HRSy:
            FinishSection();
            CurCell->Add(new THorzLine(SectionList, TagAttrs));
            Next();
            break;
        case Symb::OLSy:
        case Symb::ULSy:
        case Symb::DirSy:
        case Symb::MenuSy:
        case Symb::DLSy:
        case Symb::BlockQuoteSy:
            if (sym == Symb::BlockQuoteSy)
                FinishSection();
            DoLists(Level + 1, sym, TermSet);
            if (ListEndSymbols.Contains(CurSym))
                Next();
            break;
        case Symb::Centersy:
        case Symb::DivSy:
            DoBody(Level, ListEndSymbols + SymbSet{Symb::EofSy} + TermSet);
            break;
        case Symb::TableSy:
            if (CurSection != nullptr)
                CurSection->BreakInfo(TagPos, NoBreak);
            DoTable(Level);
            break;
        default:
            if (CommonSymbols.Contains(sym))
                DoCommonSy(itemLevel);
            else if (TermSet.Contains(sym))
                return;
            else
                Next();
            break;
        }
    }
    FinishSection();
}

// --- Preformatted and plain text ------------------------------------------------------------------

void ThlParser::DoPreformatted(int Level)
{
    TokenObj piece;
    const auto flush = [this, &piece] {
        if (!piece.Chars.empty())
            CurSection->AddTokenObj(piece, NoBreak);
        piece.Clear();
    };
    const auto endLine = [this, &flush, Level] {
        flush();
        FinishSection();
        CurSection = new TPreFormated(SectionList, Level, TopFont(), LinkTarget, PaneUn2::Left);
    };
    FinishSection();
    const bool pushed = PushNewFont();
    if (pushed) {
        TopFont()->SetName(SectionList->FixedFontName);
        TopFont()->SetNormalSize(SectionList, 10);
        TopFont()->FixedPitch = true;
    }
    // The fonts from here up are the preformatted text's own.
    const int preFont = pushed ? FontTop : FontTop + 1;
    CurSection = new TPreFormated(SectionList, Level, TopFont(), LinkTarget, PaneUn2::Left);
    InPre = true;
    bool done = false;
    while (!done && RawChar != EofChar) {
        if (RawChar == '\r') {
            endLine();
            GetCh();
        } else if (RawChar == '&') {
            Next();
            piece.Concat(&TextToken);
        } else if (RawChar != '<') {
            piece.AddChar(RawChar, CharPos);
            if (piece.Chars.size() > PanePars::PreformattedPiece)
                flush();
            GetCh();
        } else {
            Next();
            const Symb sym = CurSym;
            if (IsStyleSymbol(sym)) {
                flush();
                ChangeStyle(sym);
                continue;
            }
            switch (sym) {
            case Symb::TextSy: // a "<" that opens no tag
                piece.Concat(&TextToken);
                break;
            case Symb::PSy:
            case Symb::BRSy:
                endLine();
                if (RawChar == '\r')
                    GetCh();
                break;
            case Symb::PreEndSy:
            case Symb::TDEndSy:
            case Symb::THEndSy:
                done = true;
                break;
            case Symb::ImageSy:
                flush();
                CurSection->AddImage(TagAttrs, CurCell, TagPos, NoBreak);
                break;
            case Symb::ASy:
                flush();
                DoAnchor(Level, true);
                break;
            case Symb::AEndSy:
                flush();
                DoAEnd();
                break;
            case Symb::InputSy:
            case Symb::SelectSy:
            case Symb::TextAreaSy:
            case Symb::FormSy:
            case Symb::FormEndSy:
                flush();
                DoFormField(sym, Level);
                break;
            case Symb::FontSy:
            case Symb::BaseFontSy:
                flush();
                if (DoFontTag(sym == Symb::BaseFontSy, PreFontConv))
                    ApplyFont();
                break;
            case Symb::FontEndSy:
                if (FontTop > preFont) {
                    PopFont();
                    flush();
                    ApplyFont();
                }
                break;
            case Symb::MapSy:
                flush();
                DoMap();
                break;
            case Symb::ScriptSy:
                flush();
                DoScript(SectionList->ScriptHandler);
                break;
            default:
                break;
            }
        }
    }
    flush();
    FinishSection();
    InPre = false;
    while (FontTop >= preFont && FontTop >= 2)
        PopFont();
    Next();
}

void ThlParser::DoText()
{
    TokenObj piece;
    const auto flush = [this, &piece] {
        if (!piece.Chars.empty())
            CurSection->AddTokenObj(piece, NoBreak);
        piece.Clear();
    };
    FinishSection();
    const bool pushed = PushNewFont();
    if (pushed) {
        TopFont()->SetName(SectionList->FixedFontName);
        TopFont()->SetNormalSize(SectionList, 10);
        TopFont()->FixedPitch = true;
    }
    CurSection = new TPreFormated(SectionList, 0, TopFont(), LinkTarget, PaneUn2::Left);
    InPre = true;
    while (RawChar != EofChar) {
        if (RawChar == '\r') {
            flush();
            FinishSection();
            CurSection = new TPreFormated(SectionList, 0, TopFont(), LinkTarget, PaneUn2::Left);
        } else {
            piece.AddChar(RawChar, CharPos);
            if (piece.Chars.size() > PanePars::PreformattedPiece)
                flush();
        }
        GetCh();
    }
    flush();
    FinishSection();
    InPre = false;
    if (pushed)
        PopFont();
}
