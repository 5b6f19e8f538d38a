#include "htmlview/ImageObj.h"

#include "platform/gui/Bitmap.h"

#include <algorithm>
#include <cstdlib>

namespace {

// min(Limit, |Value|) without overflowing at the most negative number.
int ClampedSpace(int Value, int Limit)
{
    return static_cast<int>(std::min<long long>(Limit, std::llabs(static_cast<long long>(Value))));
}

std::string ClientMapNameOf(const std::string& Text)
{
    std::string name = Trim(UpperCase(Text));
    if (name.size() > 1 && name[0] == '#')
        name.erase(0, 1);
    return name;
}

} // namespace

TImageObj::TImageObj(int Position, const TAttributeList* Attributes)
{
    SrcPos = Position;
    Placement = PaneUn2::ABottom;
    int givenHSpace = -1;
    for (int i = 0; Attributes != nullptr && i < Attributes->Count(); ++i)
        ReadAttribute(*Attributes->Attribute(i), givenHSpace);
    if (givenHSpace >= 0)
        HorzSpace = givenHSpace;
    else
        HorzSpace = IsFloating() ? 5 : 0;
}

TImageObj::~TImageObj() = default;

void TImageObj::ReadAttribute(const TAttribute& Attribute, int& GivenHSpace)
{
    const int number = Attribute.Number;
    const std::string& text = Attribute.Text;
    switch (Attribute.Symbol) {
    case Symb::SrcSy:
        SourceName = text;
        break;
    case Symb::AltSy:
        AltText = text;
        break;
    case Symb::AlignSy: {
        const std::string align = UpperCase(text);
        if (align == "TOP")
            Placement = PaneUn2::ATop;
        else if (align == "MIDDLE" || align == "ABSMIDDLE")
            Placement = PaneUn2::AMiddle;
        else if (align == "LEFT")
            Placement = PaneUn2::ALeft;
        else if (align == "RIGHT")
            Placement = PaneUn2::ARight;
        break;
    }
    case Symb::BorderSy:
        BorderOff = number == 0;
        break;
    case Symb::WidthSy:
        if (text.find('%') == std::string::npos)
            GivenWidth = number;
        else if (number >= 1 && number <= 100) {
            GivenWidth = number;
            WidthIsPercent = true;
        }
        break;
    case Symb::HeightSy:
        GivenHeight = std::max(1, number);
        break;
    case Symb::HSpaceSy:
        GivenHSpace = ClampedSpace(number, MaxImageSpace);
        break;
    case Symb::VSpaceSy:
        VertSpace = ClampedSpace(number, MaxImageSpace);
        break;
    case Symb::TranspSy:
        TranspKind = PaneUn2::LLCorner;
        break;
    case Symb::IsMapSy:
        ServerMap = true;
        break;
    case Symb::UseMapSy:
        ClientMap = true;
        ClientMapName = ClientMapNameOf(text);
        break;
    case Symb::ActiveSy:
        HoverAnimates = true;
        break;
    default:
        break;
    }
}

TImageObj* TImageObjList::FindImage(int Position) const
{
    for (int i = 0; i < Count(); ++i)
        if (Image(i)->SrcPos == Position)
            return Image(i);
    return nullptr;
}

int TImageObjList::GetHeightAt(int Position, AlignmentType& Align) const
{
    const TImageObj* image = FindImage(Position);
    if (image == nullptr)
        return -1;
    Align = image->Placement;
    return image->BoxHeight;
}

int TImageObjList::GetWidthAt(int Position, AlignmentType& Align, int& HSpace) const
{
    const TImageObj* image = FindImage(Position);
    if (image == nullptr)
        return -1;
    Align = image->Placement;
    HSpace = image->HorzSpace;
    return image->BoxWidth;
}

int TImageObjList::GetImageCountAt(int Position) const
{
    for (int i = 0; i < Count(); ++i)
        if (Image(i)->SrcPos >= Position)
            return Image(i)->SrcPos - Position;
    return NoObjectAhead;
}
