#include "htmlview/FontObj.h"

#include "htmlview/PaneMetrics.h"
#include "htmlview/Section.h"
#include "htmlview/SectionList.h"

void TMyFont::Assign(TPersistent* Source)
{
    if (auto* font = dynamic_cast<TMyFont*>(Source)) {
        RelativeSize = font->RelativeSize;
        FixedPitch = font->FixedPitch;
    }
    TFont::Assign(Source);
}

int ScaledFontSize(int BaseSize, int RelativeSize) { return MulDiv(BaseSize, RelativeSize, 12); }

void TMyFont::SetNormalSize(TSectionList* List, int Value)
{
    RelativeSize = Value;
    SetSize(ScaledFontSize(List->BaseFontSize, Value));
}

void TMyFont::UpdateFont(TSectionList* List, TColor Color)
{
    SetName(FixedPitch ? List->FixedFontName : List->BaseFontName);
    SetCharset(List->FontCharset);
    SetSize(ScaledFontSize(List->BaseFontSize, RelativeSize));
    SetColor(Color | PaletteRelative);
}

TFontObj::TFontObj(TSection* Section, TMyFont* Font, int Position)
    : OwnerSection(Section), StartPos(Position), RunFont(Font), Link(std::make_unique<TUrlTarget>())
{
    RunFont->OnChange = [this](TObject* Sender) { FontChanged(Sender); };
    FontChanged(RunFont.get());
}

TFontObj::~TFontObj() = default;

void TFontObj::FontChanged(TObject* /*Sender*/)
{
    const TPaneFontMetrics metrics = PaneMetrics().FontMetrics(RunFont.get());
    LineHeight = metrics.Height + metrics.ExternalLeading;
    CellHeight = metrics.Height;
    Descent = metrics.Descent;
    Overhang = metrics.Overhang;
}

void TFontObj::SetVisited(bool Value)
{
    if (Value == IsVisited)
        return;
    IsVisited = Value;
    ShowLinkColor();
}

void TFontObj::SetHover(bool Value)
{
    if (Value == IsHovered)
        return;
    IsHovered = Value;
    ShowLinkColor();
}

void TFontObj::ShowLinkColor()
{
    const TSectionList* document = OwnerSection->Document;
    TColor color = document->LinkColor;
    if (IsHovered)
        color = document->HoverLinkColor;
    else if (IsVisited)
        color = document->VisitedLinkColor;
    RunFont->SetColor(color | PaletteRelative);
}

void TFontObj::UpdateFont()
{
    TSectionList* document = OwnerSection->Document;
    RunFont->UpdateFont(document, Link->Url.empty() ? document->TextColor : document->LinkColor);
}

int TFontObj::GetHeight(int& D) const
{
    D = Descent;
    return LineHeight;
}

void TFontList::UpDateFonts()
{
    for (int i = 0; i < Count(); ++i)
        Run(i)->UpdateFont();
}

int TFontList::RunIndexAt(int Pos, int& Next) const
{
    // The runs rise by StartPos: the first run starting at or after Pos decides.
    int low = 0, high = Count();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (Run(middle)->StartPos < Pos)
            low = middle + 1;
        else
            high = middle;
    }
    if (low < Count() && Run(low)->StartPos == Pos) {
        Next = low + 1;
        return low;
    }
    Next = low;
    return low > 0 ? low - 1 : 0;
}

TMyFont* TFontList::GetFontAt(int Pos, int& O) const
{
    int index = 0;
    TFontObj* run = GetFontObjAt(Pos, index);
    O = run->Overhang;
    return run->RunFont.get();
}

TFontObj* TFontList::GetFontObjAt(int Pos, int& Index) const
{
    int next = 0;
    Index = RunIndexAt(Pos, next);
    return Run(Index);
}

int TFontList::GetFontCountAt(int Pos, int TextLength) const
{
    int next = 0;
    RunIndexAt(Pos, next);
    return next < Count() ? Run(next)->StartPos - Pos : TextLength - Pos;
}
