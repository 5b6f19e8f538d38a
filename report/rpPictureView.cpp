#include "report/rpPictureView.h"

#include "report/rpEngine.h"
#include "report/rpResources.h"

#include "platform/db/Field.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/GraphicField.h"
#include "platform/gui/Icon.h"
#include "platform/gui/Menus.h"
#include "platform/gui/Metafile.h"
#include "platform/gui/RasterOps.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/Streams.h"

#include <vector>

namespace rpPictureView {
namespace {

enum TPictureKind : std::uint8_t { pkNone = 0, pkBitmap = 1, pkMetafile = 2, pkIcon = 3 };
constexpr std::uint16_t StretchBit = 1, CenterBit = 2, KeepRatioBit = 4;

TPictureKind KindOf(TGraphic* graphic)
{
    if (!graphic || graphic->Empty())
        return pkNone;
    if (dynamic_cast<TMetafile*>(graphic))
        return pkMetafile;
    if (dynamic_cast<TIcon*>(graphic))
        return pkIcon;
    if (dynamic_cast<TBitmap*>(graphic))
        return pkBitmap;
    // Any other class is written as a bitmap of its picture, which needs a size.
    return Drawable(graphic) ? pkBitmap : pkNone;
}

} // namespace

bool Drawable(TGraphic* graphic)
{
    return graphic && !graphic->Empty() && graphic->Width() > 0 && graphic->Height() > 0;
}

void WriteAsBitmap(TGraphic* graphic, TStream& stream)
{
    if (auto* bitmap = dynamic_cast<TBitmap*>(graphic)) {
        bitmap->SaveToStream(stream);
        return;
    }
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(graphic->Width(), graphic->Height());
    TCanvas* canvas = bitmap.Canvas();
    canvas->Brush()->SetColor(clWhite);
    canvas->FillRect({0, 0, graphic->Width(), graphic->Height()});
    canvas->Draw(0, 0, graphic);
    bitmap.SaveToStream(stream);
}

} // namespace rpPictureView

TrpPictureView::TrpPictureView() : Picture(std::make_unique<TPicture>())
{
    NamePrefix = "Picture";
    ObjectType = 1;
    Flags = 5;
}

TrpPictureView::~TrpPictureView() = default;

void TrpPictureView::Assign(TrpView* from)
{
    TrpView::Assign(from);
    if (auto* picture = dynamic_cast<TrpPictureView*>(from))
        Picture->Assign(picture->Picture.get());
}

void TrpPictureView::SaveToStream(TStream& stream)
{
    using namespace rpPictureView;
    TrpView::SaveToStream(stream);
    TGraphic* graphic = Picture->Graphic();
    const TPictureKind kind = KindOf(graphic);
    stream.WriteUInt8(kind);
    const std::int64_t placeholder = stream.Position();
    stream.WriteInt32(0);
    if (kind == pkBitmap)
        WriteAsBitmap(graphic, stream);
    else if (kind != pkNone)
        graphic->SaveToStream(stream);
    const std::int64_t end = stream.Position();
    stream.SetPosition(placeholder);
    stream.WriteInt32(static_cast<std::int32_t>(end));
    stream.SetPosition(end);
}

void TrpPictureView::LoadFromStream(TStream& stream)
{
    using namespace rpPictureView;
    TrpView::LoadFromStream(stream);
    const std::uint8_t kind = stream.ReadUInt8();
    const std::int64_t end = stream.ReadUInt32();
    const std::int64_t dataStart = stream.Position();
    // The stored end must lie between this header and the end of the stream: going back would
    // read earlier records again.
    if (end < dataStart || end > stream.Size())
        RAISE(EReadError("Posizione di fine immagine non valida"));
    TMemoryStream data;
    if (end > dataStart)
        data.CopyFrom(stream, end - dataStart);
    data.SetPosition(0);
    switch (kind) {
    case pkBitmap:
        Picture->Bitmap()->LoadFromStream(data);
        break;
    case pkMetafile:
        Picture->Metafile()->LoadFromStream(data);
        break;
    case pkIcon:
        Picture->Icon()->LoadFromStream(data);
        break;
    default:
        Picture->SetGraphic(nullptr);
        break;
    }
    stream.SetPosition(end);
}

void TrpPictureView::GetBlob(TField* field)
{
    if (field->IsNull())
        Picture->SetGraphic(nullptr);
    else
        AssignPictureFromField(*Picture, *field);
}

void TrpPictureView::Draw(TCanvas* canvas)
{
    using namespace rpPictureView;
    BeginDraw(canvas);
    CalcGaps();
    ShowBackGround();
    TGraphic* graphic = Picture->Graphic();
    if (!Drawable(graphic)) {
        if (DocMode == dmDesigning) {
            SetCaptionFont();
            Canvas->Brush()->SetStyle(bsClear);
            Canvas->TextOut(Left + 2, Top + 2, rpLoadStr(55227));
        }
    } else if (Flags & StretchBit) {
        DrawStretched(graphic);
    } else {
        int x = DrawRect.Left, y = DrawRect.Top;
        if (Flags & CenterBit) {
            x += (DrawRect.Width() - graphic->Width()) / 2;
            y += (DrawRect.Height() - graphic->Height()) / 2;
        }
        Canvas->Draw(x, y, graphic);
    }
    ShowFrame();
    RestoreCoord();
}

void TrpPictureView::DrawStretched(TGraphic* graphic)
{
    using namespace rpPictureView;
    TRect rect = DrawRect;
    if (Flags & KeepRatioBit) {
        const double kx = static_cast<double>(Width) / graphic->Width();
        const double ky = static_cast<double>(Height) / graphic->Height();
        if (kx >= ky)
            rect.Right = rect.Left + static_cast<int>(Round(graphic->Width() * ky));
        else
            rect.Bottom = rect.Top + static_cast<int>(Round(graphic->Height() * kx));
        if (Flags & CenterBit) {
            const int dx = (DrawRect.Width() - rect.Width()) / 2, dy = (DrawRect.Height() - rect.Height()) / 2;
            rect = {rect.Left + dx, rect.Top + dy, rect.Right + dx, rect.Bottom + dy};
        }
    }
    auto* bitmap = dynamic_cast<TBitmap*>(graphic);
    if (IsPrinting && bitmap)
        DrawBitmapForPrinter(bitmap, rect);
    else
        Canvas->StretchDraw(rect, graphic);
}

// A printer gets the bitmap's pixels as a device-independent copy.
void TrpPictureView::DrawBitmapForPrinter(TBitmap* bitmap, const TRect& rect)
{
    const int width = bitmap->Width(), height = bitmap->Height();
    BITMAPINFO info;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biBitCount = 32;
    std::vector<std::uint32_t> bits(static_cast<std::size_t>(width) * height);
    HDC memory = CreateCompatibleDC(nullptr);
    const int rows = GetDIBits(memory, bitmap->Handle(), 0, height, bits.data(), &info, DIB_RGB_COLORS);
    DeleteDC(memory);
    if (rows <= 0) {
        Canvas->StretchDraw(rect, bitmap);
        return;
    }
    StretchDIBits(Canvas->Handle(), rect.Left, rect.Top, rect.Width(), rect.Height(), 0, 0, width, height,
                  bits.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

void TrpPictureView::DefinePopupMenu(TPopupMenu* menu)
{
    using namespace rpPictureView;
    TrpView::DefinePopupMenu(menu);
    AddFlagItem(menu, 55194, CenterBit);
    AddFlagItem(menu, 55195, KeepRatioBit)->SetEnabled((Flags & StretchBit) != 0);
}
