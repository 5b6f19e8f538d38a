#include "htmlview/MapItem.h"

#include "platform/gui/GdiObjects.h"
#include "platform/gui/Regions.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

constexpr char ObjectPlaceholder = 2;
constexpr char ImagePlaceholder = 4;
constexpr char NoBreakSpace = static_cast<char>(160);

bool IsPlaceholder(char c) { return c == ObjectPlaceholder || c == ImagePlaceholder; }

// The region of one area; the map owns it through this object, the line's object in Regions.
class TMapRegion : public TObject {
    TESS_CLASS(TMapRegion, TObject)
public:
    explicit TMapRegion(HRGN region) : Handle(region) {}
    ~TMapRegion() override { DeleteObject(Handle); }
    TMapRegion(const TMapRegion&) = delete;
    TMapRegion& operator=(const TMapRegion&) = delete;

    HRGN Handle;
};

enum TAreaShape { AreaRectangle, AreaCircle, AreaPolygon };

constexpr std::size_t AreaCoordLength = 20;
// Coordinates reach the region calls clamped to this, which keeps every sum of the layer's
// region code inside 32 bits; no image is large enough for the clamp to move a hit.
constexpr std::int64_t AreaCoordLimit = 1000000000;
// The layer makes circle and polygon regions by painting them into a mask as large as their box.
// A box above this many pixels (64 MB of mask) gives an area that nothing hits instead, so that a
// hostile COORDS cannot claim gigabytes; it is larger than any picture a page shows.
constexpr std::int64_t MaxAreaBoxPixels = 4096LL * 4096LL;

TAreaShape AreaShapeOf(const std::string& shape)
{
    const std::string head = LowerCase(shape.substr(0, 4));
    if (head == "circ")
        return AreaCircle;
    if (head == "poly")
        return AreaPolygon;
    return AreaRectangle;
}

bool IsCoordSeparator(char c) { return c == ',' || c == ' '; }

int ClampAreaCoord(std::int64_t value) { return static_cast<int>(std::clamp(value, -AreaCoordLimit, AreaCoordLimit)); }

TRect ClampedRect(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom)
{
    return Rect(ClampAreaCoord(left), ClampAreaCoord(top), ClampAreaCoord(right), ClampAreaCoord(bottom));
}

bool BoxTooLarge(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom)
{
    const std::int64_t width = right > left ? right - left : left - right;
    const std::int64_t height = bottom > top ? bottom - top : top - bottom;
    return width * height > MaxAreaBoxPixels;
}

HRGN EmptyAreaRegion()
{
    const TRect nothing = Rect(0, 0, 0, 0);
    return CreateRectRgnIndirect(&nothing);
}

HRGN RectangleRegion(const std::vector<int>& n)
{
    const TRect box = ClampedRect(n[0], n[1], std::int64_t(n[2]) + 1, std::int64_t(n[3]) + 1);
    return CreateRectRgnIndirect(&box);
}

HRGN CircleRegion(const std::vector<int>& n)
{
    const std::int64_t cx = n[0], cy = n[1], r = n[2];
    const TRect box = ClampedRect(cx - r, cy - r, cx + r + 1, cy + r + 1);
    if (BoxTooLarge(box.Left, box.Top, box.Right, box.Bottom))
        return EmptyAreaRegion();
    return CreateEllipticRgnIndirect(&box);
}

HRGN PolygonRegion(const std::vector<int>& n)
{
    std::vector<POINT> points;
    std::int64_t left = AreaCoordLimit, top = AreaCoordLimit, right = -AreaCoordLimit, bottom = -AreaCoordLimit;
    for (std::size_t i = 0; i + 1 < n.size(); i += 2) {
        const POINT point{ClampAreaCoord(n[i]), ClampAreaCoord(n[i + 1])};
        left = std::min<std::int64_t>(left, point.X);
        right = std::max<std::int64_t>(right, point.X);
        top = std::min<std::int64_t>(top, point.Y);
        bottom = std::max<std::int64_t>(bottom, point.Y);
        points.push_back(point);
    }
    if (BoxTooLarge(left, top, right, bottom))
        return EmptyAreaRegion();
    return CreatePolygonRgn(points.data(), static_cast<int>(points.size()), WINDING);
}

} // namespace

namespace PaneUn2 {

std::vector<int> ReadAreaCoords(const std::string& Text)
{
    const std::string coords = Trim(Text);
    std::vector<int> numbers;
    std::size_t at = 0;
    while (at < coords.size() && static_cast<int>(numbers.size()) < PaneUn2::MaxAreaCoords) {
        std::size_t end = at;
        while (end < coords.size() && !IsCoordSeparator(coords[end]))
            ++end;
        if (end == at)
            break;
        int value = 0;
        if (!TryStrToInt(coords.substr(at, std::min(end - at, AreaCoordLength)), value))
            value = 0;
        numbers.push_back(value);
        at = end;
        while (at < coords.size() && IsCoordSeparator(coords[at]))
            ++at;
    }
    return numbers;
}

} // namespace PaneUn2

void SelTextCount::AddText(const char* P, int N)
{
    for (int i = 0; i < N; ++i)
        if (!IsPlaceholder(P[i]))
            ++Count;
}

void SelTextCount::AddTextCR(const char* P, int N)
{
    AddText(P, N);
    AddText("\r\n", 2);
}

int SelTextCount::Terminate() { return Count; }

SelTextBuf::SelTextBuf(char* Buffer, int Size)
{
    Dest = Buffer;
    DestSize = Buffer ? Size : 0;
}

void SelTextBuf::AddText(const char* P, int N)
{
    for (int i = 0; i < N && Count < DestSize - 1; ++i) {
        if (IsPlaceholder(P[i]))
            continue;
        Dest[Count] = P[i] == NoBreakSpace ? ' ' : P[i];
        ++Count;
    }
}

int SelTextBuf::Terminate()
{
    if (DestSize < 1)
        return 0;
    Dest[Count] = '\0';
    return Count + 1;
}

void TUrlTarget::Assign(const std::string& AUrl, const std::string& ATarget)
{
    Url = AUrl;
    Target = ATarget;
}

void TUrlTarget::Clear()
{
    Url.clear();
    Target.clear();
}

TMapItem::TMapItem() : Regions(std::make_unique<TStringList>()), RegionTargets(std::make_unique<TStringList>()) {}

TMapItem::~TMapItem()
{
    for (int i = 0; i < Regions->Count(); ++i)
        delete Regions->Objects(i);
}

HRGN TMapItem::RegionOf(int Index) const { return static_cast<TMapRegion*>(Regions->Objects(Index))->Handle; }

void TMapItem::AddArea(const TAttributeList* Attributes)
{
    std::string address, target;
    TAreaShape shape = AreaRectangle;
    std::vector<int> coords;
    for (int i = 0; i < Attributes->Count(); ++i) {
        const TAttribute* attribute = Attributes->Attribute(i);
        switch (attribute->Symbol) {
        case Symb::HrefSy:
            address = attribute->Text;
            break;
        case Symb::NoHrefSy:
            address.clear();
            break;
        case Symb::TargetSy:
            target = attribute->Text;
            break;
        case Symb::ShapeSy:
            shape = AreaShapeOf(attribute->Text);
            break;
        case Symb::CoordsSy:
            coords = PaneUn2::ReadAreaCoords(attribute->Text);
            break;
        default:
            break;
        }
    }
    HRGN region = nullptr;
    if (shape == AreaRectangle && coords.size() >= 4)
        region = RectangleRegion(coords);
    else if (shape == AreaCircle && coords.size() >= 3)
        region = CircleRegion(coords);
    else if (shape == AreaPolygon && coords.size() >= 6)
        region = PolygonRegion(coords);
    if (!region)
        return;
    auto owner = std::make_unique<TMapRegion>(region);
    Regions->AddObject(address, owner.get());
    owner.release();
    RegionTargets->Add(target);
}

bool TMapItem::GetURL(int X, int Y, TUrlTarget*& UrlTarget) const
{
    for (int i = 0; i < Regions->Count(); ++i) {
        if (!PtInRegion(RegionOf(i), X, Y))
            continue;
        // An area without address hides the areas after it at this point.
        if (Regions->Strings(i).empty())
            return false;
        UrlTarget = new TUrlTarget;
        UrlTarget->Assign(Regions->Strings(i), RegionTargets->Strings(i));
        return true;
    }
    return false;
}
