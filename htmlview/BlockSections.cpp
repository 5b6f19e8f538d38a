#include "htmlview/BlockSections.h"

#include "htmlview/SectionList.h"

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
