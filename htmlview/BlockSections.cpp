#include "htmlview/BlockSections.h"

#include "htmlview/PaneUtils.h"
#include "htmlview/SectionList.h"
#include "platform/gui/Colors.h"

#include <algorithm>

namespace {

void CopyEmptyLine(TSectionList* Document)
{
    if (Document != nullptr && Document->SelectionBuffer != nullptr)
        Document->SelectionBuffer->AddTextCR("", 0);
}

int HeadingGap(int Level)
{
    switch (Level) {
    case 1:
        return 16;
    case 2:
        return 12;
    case 3:
        return 10;
    case 5:
        return 6;
    case 6:
        return 4;
    default:
        return 8;
    }
}

} // namespace

void TParagraphSpace::CopyToClipboard() { CopyEmptyLine(Document); }

void TParagraphSpace::UpdateSpacing() { FlowHeight = MulDiv(14, Document->BaseFontSize, 12); }

THeadingSpace::THeadingSpace(TSectionList* Doc, int Level) : TSectionBase(Doc), HeadingLevel(Level) {}

void THeadingSpace::CopyToClipboard() { CopyEmptyLine(Document); }

void THeadingSpace::UpdateSpacing() { FlowHeight = MulDiv(HeadingGap(HeadingLevel), Document->BaseFontSize, 12); }

THorzLine::THorzLine(TSectionList* Doc, const TAttributeList* Attributes) : TSectionBase(Doc)
{
    for (int i = 0; Attributes != nullptr && i < Attributes->Count(); ++i)
        ReadAttribute(*Attributes->Attribute(i));
}

void THorzLine::ReadAttribute(const TAttribute& Attribute)
{
    const int number = Attribute.Number;
    switch (Attribute.Symbol) {
    case Symb::AlignSy: {
        const std::string align = LowerCase(Attribute.Text.substr(0, 10));
        if (align == "left")
            RuleAlign = raLeft;
        else if (align == "right")
            RuleAlign = raRight;
        break;
    }
    case Symb::WidthSy:
        if (number <= 0)
            break;
        if (Attribute.Text.find('%') == std::string::npos)
            RuleWidth = number;
        else {
            if (number <= 100)
                RuleWidth = number;
            WidthIsPercent = true;
        }
        break;
    case Symb::SizeSy:
        if (number >= 1 && number <= 20)
            Thickness = number;
        break;
    case Symb::ColorSy:
        ColorGiven = PaneUn2::GetColor(Attribute.Text, RuleColor);
        break;
    case Symb::NoShadeSy:
        Unshaded = true;
        break;
    default:
        break;
    }
}

void THorzLine::CopyToClipboard() { CopyEmptyLine(Document); }

void THorzLine::UpdateSpacing() { FlowHeight = MulDiv(20, Document->BaseFontSize, 12) + Thickness - 2; }

int THorzLine::Draw(TCanvas* Canvas, const TRect& Clip, IndentManager* Margins, int /*X*/, int Y)
{
    TopY = Y;
    const int result = Y + FlowHeight;
    const int w = Y - Document->ScrollTop;
    if (w + FlowHeight < Clip.Top || w >= Clip.Bottom)
        return result;
    const int left = Margins->LeftIndent(Y), right = Margins->RightSide(Y);
    const int top = w + (FlowHeight - Thickness) / 2;
    int x1 = left + 10, x2 = right - 10;
    if (RuleWidth >= 0) {
        const int width = WidthIsPercent ? MulDiv(right - left, RuleWidth, 100) : RuleWidth;
        x1 = RuleAlign == raLeft ? left : RuleAlign == raRight ? right - width : left + (right - left - width) / 2;
        x2 = x1 + width;
    }
    if (ColorGiven) {
        Canvas->Brush()->SetColor(RuleColor | PaletteRelative);
        Canvas->Brush()->SetStyle(bsSolid);
        Canvas->FillRect(Rect(x1, top, x2, top + Thickness));
        return result;
    }
    HDC dc = Canvas->Handle();
    const bool mono = Unshaded || (GetDeviceCaps(dc, BITSPIXEL) == 1 && GetDeviceCaps(dc, PLANES) == 1);
    if (!mono) {
        PaneUn2::RaisedRect(Document->BackgroundColor, Canvas, x1, top, x2, top + Thickness, false);
        return result;
    }
    Canvas->Pen()->SetColor(clBlack);
    Canvas->MoveTo(x1, top + Thickness);
    Canvas->LineTo(x1, top);
    Canvas->LineTo(x2, top);
    Canvas->LineTo(x2, top + Thickness);
    Canvas->LineTo(x1, top + Thickness);
    return result;
}

void TPreFormated::AddTokenObj(const TokenObj& Token, bool /*NoBreak*/)
{
    if (Token.Chars.empty() || CharCount > MaxPreformattedChars)
        return;
    AppendRaw(Token.Chars, Token.Positions.data());
}

TUListItem::TUListItem(TSectionList* Doc, int ALevel, TMyFont* Font, const TUrlTarget* Link)
    : TSection(Doc, ALevel, Font, Link, PaneUn2::Left)
{
    ListKind = ListTypeType::Unordered;
}

TDListItem::TDListItem(TSectionList* Doc, int ALevel, TMyFont* Font, const TUrlTarget* Link)
    : TUListItem(Doc, ALevel, Font, Link)
{
    ListKind = ListTypeType::Definition;
}

TOListItem::TOListItem(TSectionList* Doc, int ALevel, int Number, char ANumberStyle, TMyFont* Font,
                       const TUrlTarget* Link)
    : TUListItem(Doc, ALevel, Font, Link), NumberStyle(ANumberStyle)
{
    ItemNumber = Number;
    ListKind = ListTypeType::Ordered;
}

int TPreFormated::DrawLogic(TCanvas* Canvas, int Y, IndentManager* Margins, int& MaxWidth, int& Pos)
{
    if (CharCount == 0) {
        TopY = Y;
        FirstPos = Pos;
        FlowHeight = PaintHeight = MarkerFont->Size();
        MaxWidth = 0;
        return FlowHeight;
    }
    // The text breaks only where its lines end: the margins are this wide while it is laid out.
    struct TWideMargins {
        IndentManager* Margins;
        int SavedRight, SavedWidth;
        ~TWideMargins()
        {
            Margins->RightLimit = SavedRight;
            Margins->CellWidth = SavedWidth;
        }
    } wide{Margins, Margins->RightLimit, Margins->CellWidth};
    Margins->RightLimit = Margins->LeftLimit + UnbrokenWidth;
    Margins->CellWidth = UnbrokenWidth;
    const int height = TSection::DrawLogic(Canvas, Y, Margins, MaxWidth, Pos);
    int min = 0;
    MinMaxWidth(Canvas, min, MaxWidth);
    return height;
}

void TPreFormated::MinMaxWidth(TCanvas* Canvas, int& Min, int& Max)
{
    if (CharCount == 0) {
        Min = Max = LevelIndent;
        return;
    }
    Max = FindTextWidth(Canvas, 0, CharCount, false) + LevelIndent;
    Min = std::min(2000, Max);
}
