#include "htmlview/Section.h"

#include "htmlview/FormControls.h"
#include "htmlview/ImageObj.h"
#include "htmlview/PanePars.h"
#include "htmlview/SectionList.h"

#include <algorithm>
#include <vector>

namespace {

bool IsFoldableBlank(char C) { return C == ' ' || C == SectionChars::NoBreakBlank; }

// The parser's style bits; none without a parser.
TFontStyles ParserStyle(const TSectionList* Doc)
{
    return Doc->CurrentParser != nullptr ? Doc->CurrentParser->StyleSet : TFontStyles();
}

TMyFont* CopyOfFont(const TMyFont* Font)
{
    auto* copy = new TMyFont;
    copy->Assign(const_cast<TMyFont*>(Font));
    return copy;
}

// Characters of a token being folded, each with its source position.
struct TFoldedText {
    std::string Chars;
    std::vector<int> Positions;

    void EraseAt(std::size_t Index)
    {
        Chars.erase(Index, 1);
        Positions.erase(Positions.begin() + static_cast<std::ptrdiff_t>(Index));
    }
};

// In a run of blanks, a no-break blank goes when an ordinary space is in the
// run, and only one of several no-break blanks stays (the last) when there is
// none.
void CollapseNoBreakBlanks(TFoldedText& Text)
{
    TFoldedText kept;
    const std::size_t length = Text.Chars.size();
    std::size_t i = 0;
    while (i < length) {
        if (!IsFoldableBlank(Text.Chars[i])) {
            kept.Chars += Text.Chars[i];
            kept.Positions.push_back(Text.Positions[i]);
            ++i;
            continue;
        }
        std::size_t end = i;
        bool hasSpace = false;
        while (end < length && IsFoldableBlank(Text.Chars[end])) {
            hasSpace = hasSpace || Text.Chars[end] == ' ';
            ++end;
        }
        for (std::size_t k = i; k < end; ++k) {
            const bool keep = Text.Chars[k] == ' ' || (!hasSpace && k == end - 1);
            if (keep) {
                kept.Chars += Text.Chars[k];
                kept.Positions.push_back(Text.Positions[k]);
            }
        }
        i = end;
    }
    std::replace(kept.Chars.begin(), kept.Chars.end(), SectionChars::NoBreakBlank, SectionChars::NoBreakSpace);
    Text = std::move(kept);
}

} // namespace

TSection::TSection(TSectionList* Doc, int ALevel, TMyFont* Font, const TUrlTarget* Link, JustifyType Justify)
    : TSectionBase(Doc), SourceIndex(std::make_unique<IndexArray>()), FontRuns(std::make_unique<TFontList>()),
      ImageObjs(std::make_unique<TImageObjList>()), Controls(std::make_unique<TFormControlList>()), Level(ALevel),
      LevelIndent(ALevel * PaneUn2::ListIndent), LineList(std::make_unique<TFreeList>()), Alignment(Justify)
{
    if (Doc->CurrentParser != nullptr)
        Doc->CurrentParser->SubSupState = Normal;
    TMyFont* font = CopyOfFont(Font);
    font->SetStyle(font->Style() + ParserStyle(Doc));
    auto* run = new TFontObj(this, font, 0);
    FontRuns->Add(run);
    if (Link != nullptr && !Link->Url.empty()) {
        run->Link->Assign(Link->Url, Link->Target);
        AddLink(run);
    }
    MarkerFont.reset(CopyOfFont(run->RunFont.get()));
}

// A section may be freed before the document is cleared (the parser drops the text it read
// before BODY), so its link runs leave the document's links with it.
TSection::~TSection()
{
    for (int i = 0; i < FontRuns->Count(); ++i)
        if (!FontRuns->Run(i)->Link->Url.empty())
            Document->Links->Remove(static_cast<TObject*>(FontRuns->Run(i)));
}

void TSection::AddLink(TFontObj* Run)
{
    TList* links = Document->Links.get();
    if (links->Count() == 0 || links->Last() != static_cast<TObject*>(Run))
        links->Add(static_cast<TObject*>(Run));
}

void TSection::AddChar(char C, int SourcePos, bool NoBreak)
{
    TokenObj token;
    token.AddChar(C, SourcePos);
    AddTokenObj(token, NoBreak);
}

bool TSection::OnlyFloatingImagesSoFar() const
{
    if (CharCount == 0)
        return false;
    for (int i = 0; i < CharCount; ++i) {
        if (Chars[static_cast<std::size_t>(i)] != SectionChars::Image &&
            Chars[static_cast<std::size_t>(i)] != SectionChars::NoBreakImage)
            return false;
        const TImageObj* image = ImageObjs->FindImage(i);
        if (image == nullptr || !image->IsFloating())
            return false;
    }
    return true;
}

void TSection::AddTokenObj(const TokenObj& Token, bool NoBreak)
{
    if (Token.Chars.empty())
        return;
    TFoldedText text{Token.Chars,
                     std::vector<int>(Token.Positions.begin(),
                                      Token.Positions.begin() + static_cast<std::ptrdiff_t>(Token.Chars.size()))};
    const char last = CharCount > 0 ? Chars.back() : '\0';
    if (NoBreak) {
        if ((CharCount == 0 || last == SectionChars::NoBreakBlank || last == ' ' ||
             last == SectionChars::NoBreakSpace) &&
            text.Chars[0] == SectionChars::NoBreakBlank)
            text.EraseAt(0);
        CollapseNoBreakBlanks(text);
    } else if ((CharCount == 0 || last == ' ') && !text.Chars.empty() && text.Chars[0] == ' ')
        text.EraseAt(0);
    if (!text.Chars.empty() && (text.Chars[0] == ' ' || text.Chars[0] == SectionChars::NoBreakSpace) &&
        OnlyFloatingImagesSoFar())
        text.EraseAt(0);
    if (!text.Chars.empty())
        AppendRaw(text.Chars, text.Positions.data());
}

void TSection::Allocate(int N)
{
    if (Capacity >= N)
        return;
    Chars.reserve(static_cast<std::size_t>(N));
    if (SourceIndex)
        SourceIndex->reserve(static_cast<std::size_t>(N));
    Capacity = N;
}

void TSection::GrowFor(int N)
{
    const int needed = CharCount + N + 1;
    if (Capacity < needed)
        Allocate(std::max(needed + 100, Capacity * 2));
}

void TSection::AppendRaw(const std::string& Text, const int* Positions)
{
    const int length = static_cast<int>(Text.size());
    GrowFor(length);
    Chars += Text;
    if (SourceIndex)
        SourceIndex->insert(SourceIndex->end(), Positions, Positions + length);
    CharCount += length;
}

JustifyType TSection::BreakInfo(int SourcePos, bool NoBreak)
{
    if (CharCount == 0) {
        AddChar('X', SourcePos, NoBreak);
        Chars.back() = ' ';
    }
    return Alignment;
}

TFontObj* TSection::StartRun(TSectionList* Doc, TMyFont* NewFont, bool CarryLink)
{
    TFontObj* run = LastRun();
    if (run->StartPos == CharCount)
        run->RunFont->Assign(NewFont);
    else {
        TFontObj* previous = run;
        run = new TFontObj(this, CopyOfFont(NewFont), CharCount);
        FontRuns->Add(run);
        if (CarryLink && !previous->Link->Url.empty()) {
            run->Link->Assign(previous->Link->Url, previous->Link->Target);
            AddLink(run);
        }
    }
    run->RunFont->SetStyle(run->RunFont->Style() + ParserStyle(Doc));
    run->ScriptShift = Doc->CurrentParser != nullptr ? Doc->CurrentParser->SubSupState : Normal;
    if (run->ScriptShift == SubSc || run->ScriptShift == SupSc)
        run->RunFont->SetNormalSize(Doc, MulDiv(run->RunFont->RelativeSize, 3, 4));
    return run;
}

void TSection::ChangeFont(TSectionList* Doc, TMyFont* NewFont) { StartRun(Doc, NewFont, true); }

void TSection::HRef(Symb Sy, TSectionList* Doc, const TUrlTarget* Link, TMyFont* NewFont)
{
    TFontObj* run = StartRun(Doc, NewFont, false);
    // A run that already was a link stops being one of the document's links.
    if (!run->Link->Url.empty())
        Document->Links->Remove(static_cast<TObject*>(run));
    run->Link->Clear();
    if (Sy == Symb::HrefSy && Link != nullptr) {
        run->Link->Assign(Link->Url, Link->Target);
        AddLink(run);
    }
}

void TSection::ChangeStyle(Symb Sy)
{
    TFontStyles add, remove;
    switch (Sy) {
    case Symb::BSy:
    case Symb::StrongSy:
        add.Include(fsBold);
        break;
    case Symb::BEndSy:
    case Symb::StrongEndSy:
        remove.Include(fsBold);
        break;
    case Symb::ISy:
    case Symb::EmSy:
    case Symb::CiteSy:
    case Symb::VarSy:
        add.Include(fsItalic);
        break;
    case Symb::IEndSy:
    case Symb::EmEndSy:
    case Symb::CiteEndSy:
    case Symb::VarEndSy:
        remove.Include(fsItalic);
        break;
    case Symb::USy:
        add.Include(fsUnderline);
        break;
    case Symb::UEndSy:
        remove.Include(fsUnderline);
        break;
    default:
        return;
    }
    TFontObj* run = LastRun();
    if (run->StartPos != CharCount) {
        TFontObj* previous = run;
        run = new TFontObj(this, CopyOfFont(previous->RunFont.get()), CharCount);
        FontRuns->Add(run);
    }
    run->RunFont->SetStyle(run->RunFont->Style() + add - remove);
}

TImageObj* TSection::AddImage(const TAttributeList* Attrs, TCell* Cell, int SourcePos, bool NoBreak)
{
    auto* image = new TImageObj(CharCount, Attrs);
    image->OwnerCell = Cell;
    ImageObjs->Add(image);
    AddChar(NoBreak ? SectionChars::NoBreakImage : SectionChars::Image, SourcePos, NoBreak);
    return image;
}

TFormControlObj* TSection::AddFormControl(Symb Which, TSectionList* Doc, const TAttributeList* Attrs, TCell* Cell,
                                          int SourcePos, bool NoBreak)
{
    const int position = CharCount;
    TFormControlObj* control = nullptr;
    if (Which == Symb::InputSy) {
        TAttribute* typeAttribute = nullptr;
        const std::string typ = Attrs != nullptr && Attrs->Find(Symb::TypeSy, typeAttribute)
                                    ? LowerCase(typeAttribute->Text.substr(0, 20))
                                    : std::string();
        if (typ == "submit" || typ == "reset" || typ == "button")
            control = new TButtonFormControlObj(Doc, Attrs, position, typ);
        else if (typ == "radio")
            control = new TRadioButtonFormControlObj(Doc, Attrs, position, Cell);
        else if (typ == "checkbox")
            control = new TCheckBoxFormControlObj(Doc, Attrs, position);
        else if (typ == "hidden")
            return new THiddenFormControlObj(Doc, Attrs, position);
        else if (typ == "image") {
            auto* button = new TImageFormControlObj(Doc, Attrs, position);
            AddImage(Attrs, Cell, SourcePos, NoBreak)->InputControl = button;
            return button;
        } else
            control = new TEditFormControlObj(Doc, Attrs, position, typ);
    } else if (Which == Symb::SelectSy) {
        TAttribute* size = nullptr;
        const bool list = (Attrs != nullptr && Attrs->Find(Symb::MultipleSy, size)) ||
                          (Attrs != nullptr && Attrs->Find(Symb::SizeSy, size) && size->Number > 1);
        if (list)
            control = new TListBoxFormControlObj(Doc, Attrs, position);
        else
            control = new TComboFormControlObj(Doc, Attrs, position);
    } else
        control = new TTextAreaFormControlObj(Doc, Attrs, position);
    Controls->Add(control);
    AddChar(NoBreak ? SectionChars::NoBreakFormControl : SectionChars::FormControl, SourcePos, NoBreak);
    return control;
}

void TSection::DoClearAttribute(const TAttributeList* Attrs)
{
    TAttribute* clear = nullptr;
    if (Attrs == nullptr || !Attrs->Find(Symb::ClearSy, clear))
        return;
    const std::string value = LowerCase(clear->Text.substr(0, 15));
    if (value == "left")
        ClearKind = clLeft;
    else if (value == "right")
        ClearKind = clRight;
    else
        ClearKind = clAll;
}

void TSection::Finish()
{
    if (!SourceIndex)
        return;
    SourceRuns = std::make_unique<TFreeList>();
    const IndexArray& positions = *SourceIndex;
    for (int i = 0; i < CharCount; ++i)
        if (i == 0 || positions[static_cast<std::size_t>(i)] != positions[static_cast<std::size_t>(i - 1)] + 1)
            SourceRuns->Add(new IndexObj(i, positions[static_cast<std::size_t>(i)]));
    SourceIndex.reset();
}

IndexObj* TSection::GetIndexObj(int I) const
{
    return static_cast<IndexObj*>(static_cast<TObject*>(SourceRuns->Items(I)));
}

int TSection::LastSourcePos() const
{
    const IndexObj* last = GetIndexObj(SourceRuns->Count() - 1);
    return last->FirstSource + (CharCount - 1 - last->FirstChar);
}

int TSection::SourceRunAt(int SourcePos) const
{
    int low = 0, high = SourceRuns->Count();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (GetIndexObj(middle)->FirstSource <= SourcePos)
            low = middle + 1;
        else
            high = middle;
    }
    return low - 1;
}

int TSection::FindSourcePos(int DocPos)
{
    const int p = DocPos - FirstPos;
    if (CharCount == 0 || !SourceRuns || p < 0 || p >= CharCount)
        return -1;
    int low = 0, high = SourceRuns->Count();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (GetIndexObj(middle)->FirstChar <= p)
            low = middle + 1;
        else
            high = middle;
    }
    const IndexObj* run = GetIndexObj(low - 1);
    return run->FirstSource + (p - run->FirstChar);
}

int TSection::FindDocPos(int SourcePos, bool Backward)
{
    if (CharCount == 0 || !SourceRuns)
        return -1;
    const int lastSource = LastSourcePos();
    const int firstSource = GetIndexObj(0)->FirstSource;
    if (Backward) {
        if (SourcePos < firstSource)
            return -1;
        if (SourcePos > lastSource)
            return FirstPos + CharCount - 1;
    } else {
        if (SourcePos > lastSource)
            return -1;
        if (SourcePos <= firstSource)
            return FirstPos;
    }
    const int a = SourceRunAt(SourcePos);
    const IndexObj* runA = GetIndexObj(a);
    const int e = SourcePos - runA->FirstSource + runA->FirstChar;
    if (a + 1 >= SourceRuns->Count())
        return FirstPos + e;
    const int nextFirstChar = GetIndexObj(a + 1)->FirstChar;
    if (e < nextFirstChar)
        return FirstPos + e;
    return FirstPos + (Backward ? nextFirstChar - 1 : nextFirstChar);
}

void TSection::UpdateFonts()
{
    FontRuns->UpDateFonts();
    MarkerFont->UpdateFont(Document, Document->TextColor);
    TSectionBase::UpdateFonts();
}
