#include "htmlview/TokenObj.h"

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <new>

namespace {

constexpr int TokenStartCapacity = 300;
constexpr int TokenCapacityStep = 50;

struct TNamedColor {
    const char* Name;
    std::uint32_t Rgb; // red in bits 16..23, green 8..15, blue 0..7
};

const TNamedColor HtmlColorNames[] = {
    {"BLACK", 0x000000},  {"MAROON", 0x800000}, {"GREEN", 0x008000}, {"OLIVE", 0x808000},
    {"NAVY", 0x000080},   {"PURPLE", 0x800080}, {"TEAL", 0x008080},  {"GRAY", 0x808080},
    {"SILVER", 0xC0C0C0}, {"RED", 0xFF0000},    {"LIME", 0x00FF00},  {"YELLOW", 0xFFFF00},
    {"BLUE", 0x0000FF},   {"FUCHSIA", 0xFF00FF}, {"AQUA", 0x00FFFF}, {"WHITE", 0xFFFFFF},
};

// Red-green-blue as written in HTML, turned round into the TColor byte order.
TColor ColorFromRgb(std::uint32_t rgb)
{
    const std::uint32_t red = (rgb >> 16) & 0xFF, green = (rgb >> 8) & 0xFF, blue = rgb & 0xFF;
    return static_cast<TColor>(red | (green << 8) | (blue << 16));
}

} // namespace

TokenObj::TokenObj() { GrowPositions(TokenStartCapacity); }

void TokenObj::GrowPositions(int NewCapacity)
{
    try {
        Positions.resize(static_cast<std::size_t>(NewCapacity));
    } catch (const std::bad_alloc&) {
        RAISE(EOutOfMemory("Out of memory"));
    }
    Capacity = NewCapacity;
}

void TokenObj::AddChar(char Ch, int Ind)
{
    const int length = static_cast<int>(Chars.size()) + 1;
    // The positions grow first, so that a failure leaves the token as it was.
    if (length > Capacity)
        GrowPositions(Capacity + TokenCapacityStep);
    Chars += Ch;
    Positions[static_cast<std::size_t>(length - 1)] = Ind;
}

void TokenObj::Clear() { Chars.clear(); }

void TokenObj::Concat(const TokenObj* T)
{
    const std::size_t oldLength = Chars.size();
    const std::size_t added = T->Chars.size();
    const int length = static_cast<int>(oldLength + added);
    if (length > Capacity)
        GrowPositions(length + TokenCapacityStep);
    std::copy_n(T->Positions.begin(), added, Positions.begin() + static_cast<std::ptrdiff_t>(oldLength));
    Chars.append(T->Chars, 0, added);
}

TFreeList::~TFreeList() { FreeItems(); }

void TFreeList::Clear()
{
    FreeItems();
    TList::Clear();
}

void TFreeList::FreeItems()
{
    for (int i = 0; i < Count(); ++i)
        delete static_cast<TObject*>(Items(i));
}

bool TAttributeList::Find(Symb Sy, TAttribute*& T) const
{
    for (int i = 0; i < Count(); ++i) {
        TAttribute* attribute = Attribute(i);
        if (attribute->Symbol == Sy) {
            T = attribute;
            return true;
        }
    }
    return false;
}

namespace PaneUn2 {

bool GetColor(const std::string& S, TColor& Value)
{
    if (S.empty())
        return false;
    const std::string name = UpperCase(S.substr(0, 10));
    for (const TNamedColor& color : HtmlColorNames) {
        if (name == color.Name) {
            Value = ColorFromRgb(color.Rgb);
            return true;
        }
    }
    std::string digits = S;
    const std::size_t hash = digits.find('#');
    if (hash != std::string::npos)
        digits.erase(hash, 1);
    if (digits.size() < 6)
        digits.append(6 - digits.size(), '0');
    int rgb = 0;
    if (!TryStrToInt("$" + digits, rgb))
        return false;
    Value = ColorFromRgb(static_cast<std::uint32_t>(rgb));
    return true;
}

} // namespace PaneUn2
