#include "htmlview/ImageObj.h"

#include "htmlview/FontObj.h"
#include "htmlview/SectionList.h"
#include "htmlview/panegif1.h"
#include "platform/gui/DeviceContext.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/Timer.h"

#include <algorithm>
#include <cstdlib>

using namespace PaneUn2;

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

// A placeholder smaller than this either way is not drawn, only its frame.
constexpr int PlaceholderSide = 24;

void NaturalSize(TPersistent* Picture, int& Height, int& Width)
{
    Height = Width = 0;
    if (auto* gif = dynamic_cast<TGIFImage*>(Picture)) {
        Height = gif->FHeight;
        Width = gif->FWidth;
    } else if (auto* bitmap = dynamic_cast<TBitmap*>(Picture)) {
        Height = bitmap->Height();
        Width = bitmap->Width();
    }
}

// Given * Natural / NaturalOther, or Given when the divisor is 0.
int ScaledSide(int Given, int Natural, int NaturalOther)
{
    return NaturalOther == 0 ? Given : MulDiv(Given, Natural, NaturalOther);
}

void SetAltFont(TCanvas* Canvas)
{
    Canvas->Font()->SetName("Arial");
    Canvas->Font()->SetSize(8);
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

TImageObj::~TImageObj()
{
    LeaveAnimatedImages();
    ReleaseCacheUse();
}

void TImageObj::ReleaseCacheUse()
{
    if (!FCacheKey.empty())
        BitmapList()->DecUsage(FCacheKey);
    FCacheKey.clear();
}

void TImageObj::LeaveAnimatedImages()
{
    if (Document != nullptr && dynamic_cast<TGIFImage*>(Picture.get()) != nullptr)
        Document->AnimatedImages->Remove(static_cast<TObject*>(Picture.get()));
}

void TImageObj::DrawLogic(TSectionList* ADocument, TCanvas* Canvas, TFontObj* FontRun, int AvailWidth)
{
    Document = ADocument;
    const bool on = Document->ImagesOn;
    if (on && !Picture)
        FetchPicture();
    TPersistent* measured = on ? Picture.get() : DefBitMap().get();
    if (!SizeSettled)
        ComputeSize(measured, AvailWidth);
    const bool placeholderBox =
        !on || measured == ErrorBitMap().get() || Picture.get() == DefBitMap().get();
    if (placeholderBox && !SizeSettled) {
        SetAltFont(Canvas);
        const int altWidth = AltText.empty() ? 0 : Canvas->TextWidth(AltText) + 2;
        const int altHeight = AltText.empty() ? 0 : Canvas->TextHeight(AltText);
        PicWidth = std::max(PicWidth, altWidth + PlaceholderSide);
        PicHeight = std::max({PicHeight, PlaceholderSide, altHeight});
    }
    BoxHeight = PicHeight;
    BoxWidth = PicWidth;
    Framed = FontRun != nullptr && FontRun->Link && !FontRun->Link->Url.empty() && !BorderOff;
    if (Framed) {
        BoxHeight += 2;
        BoxWidth += 2;
    }
}

void TImageObj::ExpandSourceName()
{
    TObject* sender = Document->Viewer != nullptr ? Document->Viewer->ViewerComponent() : nullptr;
    if (!Document->ImageRequest) {
        if (Document->Viewer != nullptr)
            SourceName = Document->Viewer->HTMLExpandFilename(SourceName);
    } else if (Document->NameRequest) {
        std::string expanded = SourceName;
        Document->NameRequest(sender, SourceName, expanded);
        SourceName = expanded;
    }
}

void TImageObj::FetchPicture()
{
    if (!SourceName.empty())
        ExpandSourceName();
    const std::string key = ImageCacheKey(SourceName);
    bool fromCache = false, delayed = false, tookUse = false;
    std::shared_ptr<TPersistent> picture;
    if (!key.empty() && Document->PendingImages->IndexOf(key) >= 0)
        delayed = true;
    else
        picture = Document->GetTheBitmap(SourceName, TranspKind, PictureMask, fromCache, delayed, tookUse);
    if (tookUse)
        FCacheKey = key;
    if (dynamic_cast<TGIFImage*>(picture.get()) != nullptr)
        ShowAnimated(picture, fromCache);
    else if (picture)
        Picture = picture;
    else if (delayed) {
        Picture = DefBitMap();
        Document->AddMissingImage(key, this);
    } else {
        Picture = ErrorBitMap();
        PictureMask = ErrorBitmapMask();
        TranspKind = LLCorner;
    }
}

std::shared_ptr<TGIFImage> TImageObj::TakeAnimated(const std::shared_ptr<TPersistent>& Gif, bool FromCache)
{
    auto* source = static_cast<TGIFImage*>(Gif.get());
    std::shared_ptr<TGIFImage> gif = FromCache ? std::make_shared<TGIFImage>(*source)
                                               : std::static_pointer_cast<TGIFImage>(Gif);
    Picture = gif;
    PictureMask.reset();
    return gif;
}

void TImageObj::ShowAnimated(const std::shared_ptr<TPersistent>& Gif, bool FromCache)
{
    std::shared_ptr<TGIFImage> gif = TakeAnimated(Gif, FromCache);
    if (HoverAnimates)
        gif->SetAnimate(false);
    else {
        Document->AnimatedImages->Add(static_cast<TObject*>(gif.get()));
        gif->SetAnimate(true);
    }
}

void TImageObj::ComputeSize(TPersistent* Measured, int AvailWidth)
{
    int height = 0, width = 0;
    NaturalSize(Measured, height, width);
    if (Picture.get() == ErrorBitMap().get() || Measured == DefBitMap().get()) {
        if (GivenHeight > 0 && GivenWidth > 0 && !WidthIsPercent) {
            PicHeight = GivenHeight;
            PicWidth = GivenWidth;
            SizeSettled = true;
        } else {
            PicHeight = height;
            PicWidth = width;
        }
        return;
    }
    if (WidthIsPercent) {
        // Follows the available width at every layout.
        PicWidth = MulDiv(AvailWidth, GivenWidth, 100);
        PicHeight = GivenHeight > 0 ? GivenHeight : height;
        return;
    }
    if (GivenHeight > 0 && GivenWidth > 0) {
        PicHeight = GivenHeight;
        PicWidth = GivenWidth;
    } else if (GivenHeight > 0) {
        PicHeight = GivenHeight;
        PicWidth = ScaledSide(GivenHeight, width, height);
    } else if (GivenWidth > 0) {
        PicWidth = GivenWidth;
        PicHeight = ScaledSide(GivenWidth, height, width);
    } else {
        PicHeight = height;
        PicWidth = width;
    }
    SizeSettled = true;
}

void TImageObj::Draw(TCanvas* Canvas, int X, int TopY, int BaselineY, TFontObj* FontRun)
{
    const int scrollTop = Document != nullptr ? Document->ScrollTop : 0;
    const int topY = TopY - scrollTop;
    const int baselineY = BaselineY - scrollTop;
    const bool on = Document != nullptr && Document->ImagesOn;
    TPersistent* picture = on ? Picture.get() : DefBitMap().get();
    TBitmap* mask = on && dynamic_cast<TBitmap*>(picture) != nullptr ? PictureMask.get() : nullptr;
    const bool placeholder = !on || picture == ErrorBitMap().get() || picture == DefBitMap().get();
    const int inset = placeholder ? 4 : 0;

    Canvas->Brush()->SetStyle(bsClear);
    const TColor oldColor = Canvas->Font()->Color();
    Canvas->Font()->SetColor(clBlack);
    SetAltFont(Canvas);

    int runDescent = 0, runHeight = 0;
    if (FontRun != nullptr)
        runHeight = FontRun->GetHeight(runDescent);
    int top = baselineY - BoxHeight;
    if (Placement == PaneUn2::ATop)
        top = topY;
    else if (Placement == PaneUn2::AMiddle)
        top = baselineY + runDescent - runHeight / 2 - BoxHeight / 2;
    else if (IsFloating())
        top = topY + VertSpace;
    PaintX = Framed ? X + 1 : X;
    PaintY = Framed ? top + 1 : top;

    if (picture != nullptr && !(placeholder && (PicHeight < PlaceholderSide || PicWidth < PlaceholderSide))) {
        try {
            DrawPicture(Canvas, picture, mask, PaintX + inset, PaintY + inset);
        } catch (...) {
            // A picture that cannot be drawn leaves its box empty.
        }
    }
    PaintY += scrollTop;
    SetTextAlign(Canvas->Handle(), TA_LEFT | TA_TOP);

    if (placeholder && !Framed) {
        const int boxTop = Placement == PaneUn2::ATop ? topY + VertSpace : top;
        Canvas->Font()->SetColor(oldColor);
        if (!AltText.empty())
            WrapText(Canvas, X + 24, boxTop + 4, X + PicWidth - 2, boxTop + PicHeight - 1, AltText);
        RaisedRect(Document != nullptr ? Document->BackgroundColor : clWhite, Canvas, X, boxTop, X + PicWidth - 1,
                   boxTop + PicHeight - 1, false);
    }
    if (Framed) {
        const TColor linkColor = FontRun->RunFont->Color();
        Canvas->Pen()->SetColor(linkColor);
        Canvas->Font()->SetColor(linkColor);
        if (placeholder && !AltText.empty()) {
            const bool fromLineTop = Placement == PaneUn2::ATop || IsFloating();
            const int wrapTop = fromLineTop ? topY : top;
            WrapText(Canvas, X + 24, wrapTop + 4, X + PicWidth - 2, wrapTop + PicHeight - 1, AltText);
        }
        Canvas->Brush()->SetStyle(bsClear);
        Canvas->Rectangle(X, top, X + BoxWidth, top + BoxHeight);
    }
}

void TImageObj::DrawPicture(TCanvas* Canvas, TPersistent* Pic, TBitmap* Mask, int X, int Y)
{
    HDC dc = Canvas->Handle();
    if (auto* gif = dynamic_cast<TGIFImage*>(Pic)) {
        gif->FShowIt = true;
        gif->FVisible = true;
        gif->Draw(Canvas, Document, OwnerCell, X, Y, PicWidth, PicHeight);
        return;
    }
    auto* bitmap = dynamic_cast<TBitmap*>(Pic);
    if (bitmap == nullptr || bitmap->Empty())
        return;
    const bool missing = Pic == ErrorBitMap().get();
    const bool placeholder = missing || Pic == DefBitMap().get();
    if (Mask != nullptr && (TranspKind != NotTransp || missing)) {
        if (missing)
            FinishTransparentBitmap(dc, bitmap, Mask, X, Y, bitmap->Width(), bitmap->Height());
        else
            FinishTransparentBitmap(dc, bitmap, Mask, X, Y, PicWidth, PicHeight);
    } else if (placeholder) {
        BitBlt(dc, X, Y, bitmap->Width(), bitmap->Height(), bitmap->Canvas()->Handle(), 0, 0, SRCCOPY);
    } else {
        SetStretchBltMode(dc, COLORONCOLOR);
        TStretchRects part{X, Y, PicWidth, PicHeight, 0, 0, bitmap->Width(), bitmap->Height()};
        if (ClipStretch(dc, part))
            StretchBlt(dc, part.X, part.Y, part.W, part.H, bitmap->Canvas()->Handle(), part.SX, part.SY, part.SW,
                       part.SH, SRCCOPY);
    }
}

void TImageObj::SetHover(bool Value)
{
    auto* gif = dynamic_cast<TGIFImage*>(Picture.get());
    if (Value == Hovered || !HoverAnimates || gif == nullptr || !gif->FIsAnimated || Document == nullptr)
        return;
    if (!Value) {
        gif->SetAnimate(false);
        gif->SetCurrentFrame(1);
        Document->AnimatedImages->Remove(static_cast<TObject*>(gif));
    } else if (gif->FNumFrames == 2) {
        gif->SetCurrentFrame(2);
    } else {
        gif->SetAnimate(true);
        if (Document->AnimatedImages->IndexOf(static_cast<TObject*>(gif)) < 0)
            Document->AnimatedImages->Add(static_cast<TObject*>(gif));
    }
    Hovered = Value;
}

bool TImageObj::InsertImage(const std::string& Name, bool& Reformat) { return InsertImageSRC(Name, Reformat, true); }

bool TImageObj::InsertImageSRC(const std::string& Name, bool& Reformat, bool Force)
{
    Reformat = false;
    if (Picture.get() != DefBitMap().get() && !Force)
        return false;
    if (Document == nullptr)
        return true;
    std::shared_ptr<TBitmap> mask;
    bool fromCache = false, delayed = false, tookUse = false;
    std::shared_ptr<TPersistent> picture =
        Document->GetTheBitmap(Name, TranspKind, mask, fromCache, delayed, tookUse);
    if (!picture)
        return true;
    // The picture shown so far gives way, with its use of the cache.
    LeaveAnimatedImages();
    ReleaseCacheUse();
    if (tookUse)
        FCacheKey = ImageCacheKey(Name);
    if (dynamic_cast<TGIFImage*>(picture.get()) != nullptr) {
        std::shared_ptr<TGIFImage> gif = TakeAnimated(picture, fromCache);
        Document->AnimatedImages->Add(static_cast<TObject*>(gif.get()));
        gif->SetAnimate(true);
        if (Document->AnimationTimer != nullptr)
            Document->AnimationTimer->SetEnabled(true);
    } else {
        Picture = picture;
        PictureMask = mask;
    }
    Reformat = !SizeSettled;
    return true;
}

TBitmap* TImageObj::GetBitmap()
{
    if (Picture.get() == ErrorBitMap().get())
        return nullptr;
    if (auto* gif = dynamic_cast<TGIFImage*>(Picture.get()))
        return gif->GetBitMap();
    if (auto* bitmap = dynamic_cast<TBitmap*>(Picture.get())) {
        if (!PaletteCopy) {
            PaletteCopy = std::make_unique<TBitmap>();
            PaletteCopy->Assign(bitmap);
            if (ThePalette() != nullptr)
                PaletteCopy->SetPalette(CopyPalette(ThePalette()));
        }
        return PaletteCopy.get();
    }
    return nullptr;
}

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

int TImageObjList::FirstAtOrAfter(int Position) const
{
    int low = 0, high = Count();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (Image(middle)->SrcPos < Position)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

TImageObj* TImageObjList::FindImage(int Position) const
{
    const int index = FirstAtOrAfter(Position);
    return index < Count() && Image(index)->SrcPos == Position ? Image(index) : nullptr;
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
    const int index = FirstAtOrAfter(Position);
    return index < Count() ? Image(index)->SrcPos - Position : NoObjectAhead;
}

TImageObj* TImageObjList::ImageAt(int X, int Y, int& IX, int& IY) const
{
    for (int i = 0; i < Count(); ++i) {
        TImageObj* image = Image(i);
        const int frame = image->Framed ? 2 : 0;
        const int x = X - image->PaintX, y = Y - image->PaintY;
        if (x >= 0 && x < image->BoxWidth - frame && y >= 0 && y < image->BoxHeight - frame) {
            IX = x;
            IY = y;
            return image;
        }
    }
    return nullptr;
}

bool TImageObjList::PtInImage(int X, int Y, int& IX, int& IY, int& Posn, bool& ServerMapHit, bool& ClientMapFound,
                              TMapItem*& MapItem, TImageObj*& Image) const
{
    TImageObj* image = ImageAt(X, Y, IX, IY);
    if (image == nullptr)
        return false;
    Posn = image->SrcPos;
    ServerMapHit = image->ServerMap;
    Image = image;
    ClientMapFound = false;
    if (image->ClientMap && image->Document != nullptr) {
        TFreeList& maps = *image->Document->ImageMaps;
        for (int i = 0; i < maps.Count() && !ClientMapFound; ++i) {
            auto* map = static_cast<TMapItem*>(static_cast<TObject*>(maps.Items(i)));
            if (map->MapKey == image->ClientMapName) {
                ClientMapFound = true;
                MapItem = map;
            }
        }
    }
    return true;
}

bool TImageObjList::PtInObject(int X, int Y, TObject*& Obj, int& IX, int& IY) const
{
    TImageObj* image = ImageAt(X, Y, IX, IY);
    if (image != nullptr)
        Obj = image;
    return image != nullptr;
}
