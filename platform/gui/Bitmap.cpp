#include "platform/gui/Bitmap.h"

#include "platform/gui/GdiDraw.h"
#include "platform/gui/Resources.h"
#include "platform/gui/private/DibLayout.h"
#include "platform/gui/private/GdiInternals.h"
#include "platform/gui/private/GdiPaint.h"
#include "platform/rtl/Formats.h"

#include <algorithm>
#include <unordered_map>

namespace {

int BitsOf(TPixelFormat format)
{
    switch (format) {
    case pf1bit:
        return 1;
    case pf4bit:
        return 4;
    case pf8bit:
        return 8;
    case pf15bit:
        return 15;
    case pf16bit:
        return 16;
    case pf24bit:
        return 24;
    default:
        return 32;
    }
}

TPixelFormat FormatOf(int bits)
{
    switch (bits) {
    case 1:
        return pf1bit;
    case 4:
        return pf4bit;
    case 8:
        return pf8bit;
    case 15:
        return pf15bit;
    case 16:
        return pf16bit;
    case 24:
        return pf24bit;
    default:
        return pf32bit;
    }
}

QImage& ImageOf(HBITMAP handle) { return Gdi::FindBitmap(handle)->Image; }

// The palette of a conversion: the image's own colours in order of first appearance when there
// are at most limit of them, otherwise the fixed palette.
std::vector<COLORREF> ConversionPalette(const QImage& image, std::size_t limit, const std::vector<COLORREF>& fixed)
{
    std::vector<COLORREF> colors;
    std::unordered_map<std::uint32_t, bool> seen;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const std::uint32_t pixel = row[x] & 0xFFFFFF;
            if (seen.emplace(pixel, true).second) {
                if (colors.size() == limit)
                    return fixed;
                colors.push_back(Gdi::ToColor(pixel));
            }
        }
    }
    return colors.empty() ? std::vector<COLORREF>{0} : colors;
}

} // namespace

TBitmap::TBitmap() { FHandle = Gdi::CreateBitmapFromImage(QImage(), false); }

TBitmap::~TBitmap()
{
    FCanvas.reset();
    FreeMask();
    if (FPaletteHandle)
        DeleteObject(FPaletteHandle);
    DeleteObject(FHandle);
}

bool TBitmap::Empty() const { return FWidth == 0 || FHeight == 0; }

bool TBitmap::CanvasDrawing() const { return FCanvas && FCanvas->HandleAllocated(); }

void TBitmap::EnsureImage()
{
    if (FImageValid)
        return;
    QImage image;
    if (!Empty()) {
        image = QImage(FWidth, FHeight, QImage::Format_RGB32);
        for (int y = 0; y < FHeight; ++y)
            Dib::DecodeRow(FDib.Row(y), FWidth, FDib.Bits, FPalette, nullptr,
                           reinterpret_cast<std::uint32_t*>(image.scanLine(y)));
    }
    ImageOf(FHandle) = image;
    FImageValid = true;
}

void TBitmap::EnsureDib()
{
    if (FDibValid && !(FImageValid && CanvasDrawing()))
        return;
    EnsureImage();
    const QImage& image = ImageOf(FHandle);
    FDib.Width = FWidth;
    FDib.Height = FHeight;
    FDib.Bits = BitsOf(FFormat);
    FDib.Palette = FPalette;
    FDib.Rows.assign(static_cast<std::size_t>(FDib.RowSize()) * FHeight, 0);
    for (int y = 0; y < FHeight; ++y)
        Dib::EncodeRow(reinterpret_cast<const std::uint32_t*>(image.constScanLine(y)), FWidth, FDib.Bits, FPalette,
                       FDib.Row(y));
    FDibValid = true;
}

void TBitmap::Touch()
{
    FSource.clear();
    FreeMask();
}

void TBitmap::ImageChanging()
{
    EnsureImage();
    FDibValid = false;
    FreeMask();
}

// True while the working image still shows exactly the pixels of the DIB it was made from.
bool TBitmap::ImageMatchesDib() const
{
    if (!FImageValid || FDib.Width != FWidth || FDib.Height != FHeight || FDib.Rows.empty())
        return !FImageValid;
    const QImage& image = Gdi::FindBitmap(FHandle)->Image;
    std::vector<std::uint32_t> row(static_cast<std::size_t>(FWidth));
    for (int y = 0; y < FHeight; ++y) {
        Dib::DecodeRow(FDib.Row(y), FWidth, FDib.Bits, FPalette, nullptr, row.data());
        const auto* pixels = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
        for (int x = 0; x < FWidth; ++x)
            if ((pixels[x] & 0xFFFFFF) != (row[static_cast<std::size_t>(x)] & 0xFFFFFF))
                return false;
    }
    return true;
}

void TBitmap::SetGdiKind(bool mono)
{
    TGdiBitmap* bitmap = Gdi::FindBitmap(FHandle);
    bitmap->Mono = mono;
    bitmap->Bits = BitsOf(FFormat) == 15 ? 16 : BitsOf(FFormat);
}

void TBitmap::FreeMask()
{
    if (FMaskHandle) {
        DeleteObject(FMaskHandle);
        FMaskHandle = nullptr;
    }
}

void TBitmap::SetSize(int width, int height)
{
    width = std::max(0, width);
    height = std::max(0, height);
    if (width == FWidth && height == FHeight)
        return;
    BmpCodec::CheckSize(width, height);
    EnsureImage();
    QImage image;
    if (width > 0 && height > 0) {
        image = QImage(width, height, QImage::Format_RGB32);
        image.fill(0xFFFFFFFFu);
        const QImage& old = ImageOf(FHandle);
        for (int y = 0; y < std::min(height, old.height()); ++y)
            std::copy_n(reinterpret_cast<const std::uint32_t*>(old.constScanLine(y)), std::min(width, old.width()),
                        reinterpret_cast<std::uint32_t*>(image.scanLine(y)));
    }
    ImageOf(FHandle) = image;
    FWidth = width;
    FHeight = height;
    FDibValid = false;
    Touch();
    Changed(this);
}

TCanvas* TBitmap::Canvas()
{
    if (!FCanvas)
        FCanvas = std::make_unique<TBitmapCanvas>(this);
    ImageChanging();
    return FCanvas.get();
}

void TBitmap::SetPixelFormat(TPixelFormat value)
{
    if (value == pfCustom || value == FFormat)
        return;
    EnsureImage();
    const QImage& image = ImageOf(FHandle);
    FPalette.clear();
    if (value == pf1bit)
        FPalette = {0x000000, 0xFFFFFF};
    else if (value == pf4bit)
        FPalette = ConversionPalette(image, 16, VgaPalette());
    else if (value == pf8bit)
        FPalette = ConversionPalette(image, 256, HalftonePalette());
    FFormat = value;
    if (FPaletteHandle) {
        DeleteObject(FPaletteHandle);
        FPaletteHandle = nullptr;
    }
    FDibValid = false;
    FImageValid = true;
    EnsureDib();
    FImageValid = false;
    EnsureImage();
    SetGdiKind(value == pf1bit);
    Touch();
    Changed(this);
}

void TBitmap::SetHandleType(TBitmapHandleType value)
{
    if (value == HandleType())
        return;
    SetPixelFormat(value == bmDDB ? pfDevice : pf32bit);
}

std::uint8_t* TBitmap::ScanLine(int row)
{
    if (row < 0 || row >= FHeight)
        RAISE(EInvalidGraphicOperation("Scan line index out of range"));
    EnsureDib();
    FImageValid = false;
    Touch();
    return FDib.Row(row);
}

HBITMAP TBitmap::Handle()
{
    ImageChanging();
    return FHandle;
}

void TBitmap::SetHandle(HBITMAP value)
{
    TGdiBitmap* source = Gdi::FindBitmap(value);
    if (!source)
        return;
    Gdi::SyncSectionIn(*source);
    ReplaceImage(&source->Image, source->Mono);
    if (value != FHandle)
        DeleteObject(value);
}

void TBitmap::ReplaceImage(const void* qimage, bool mono)
{
    const QImage& image = *static_cast<const QImage*>(qimage);
    ImageOf(FHandle) = image.isNull() ? QImage() : image.convertToFormat(QImage::Format_RGB32);
    FWidth = image.isNull() ? 0 : image.width();
    FHeight = image.isNull() ? 0 : image.height();
    FFormat = mono ? pf1bit : pfDevice;
    FPalette = mono ? std::vector<COLORREF>{0, 0xFFFFFF} : std::vector<COLORREF>{};
    SetGdiKind(mono);
    FImageValid = true;
    FDibValid = false;
    Touch();
    Changed(this);
}

HBITMAP TBitmap::ReleaseHandle()
{
    EnsureImage();
    return Gdi::CreateBitmapFromImage(ImageOf(FHandle), Gdi::FindBitmap(FHandle)->Mono);
}

HPALETTE TBitmap::Palette() const
{
    if (FFormat > pf8bit || FFormat == pfDevice || FPalette.empty())
        return nullptr;
    if (!FPaletteHandle) {
        LOGPALETTE palette;
        for (COLORREF c : FPalette)
            palette.palPalEntry.push_back({GetRValue(c), GetGValue(c), GetBValue(c), 0});
        FPaletteHandle = CreatePalette(&palette);
    }
    return FPaletteHandle;
}

void TBitmap::SetPalette(HPALETTE value)
{
    const UINT count = GetPaletteEntries(value, 0, 0, nullptr);
    if (count == 0 || FFormat == pfDevice || FFormat > pf8bit)
        return;
    std::vector<PALETTEENTRY> entries(count);
    GetPaletteEntries(value, 0, count, entries.data());
    EnsureDib();
    FPalette.clear();
    for (const PALETTEENTRY& e : entries)
        FPalette.push_back(RGB(e.peRed, e.peGreen, e.peBlue));
    FDib.Palette = FPalette;
    if (FPaletteHandle) {
        DeleteObject(FPaletteHandle);
        FPaletteHandle = nullptr;
    }
    FImageValid = false;
    Touch();
    Changed(this);
}

bool TBitmap::Monochrome() const { return FFormat == pf1bit; }

void TBitmap::SetMonochrome(bool value)
{
    if (value == Monochrome())
        return;
    if (!value) {
        SetPixelFormat(pfDevice);
        return;
    }
    // As a copy to a monochrome bitmap: the canvas brush colour becomes white, the rest black.
    const std::uint32_t background = Gdi::ToPixel(ColorToRGB(FCanvas ? FCanvas->Brush()->Color() : clWhite));
    EnsureImage();
    QImage& image = ImageOf(FHandle);
    for (int y = 0; y < FHeight; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        for (int x = 0; x < FWidth; ++x)
            row[x] = RasterOps::ColorToMono(row[x], background);
    }
    FFormat = pf1bit;
    FPalette = {0x000000, 0xFFFFFF};
    SetGdiKind(true);
    FDibValid = false;
    Touch();
    Changed(this);
}

TColor TBitmap::TransparentColor()
{
    if (FTransparentMode == tmFixed && FTransparentColor != clDefault)
        return FTransparentColor;
    if (Empty())
        return clDefault;
    EnsureImage();
    const QImage& image = ImageOf(FHandle);
    return static_cast<TColor>(Gdi::ToColor(reinterpret_cast<const std::uint32_t*>(image.constScanLine(FHeight - 1))[0]));
}

void TBitmap::SetTransparentColor(TColor value)
{
    FTransparentColor = value;
    FTransparentMode = value == clDefault ? tmAuto : tmFixed;
    FreeMask();
    Changed(this);
}

void TBitmap::SetTransparentMode(TTransparentMode value)
{
    if (value == FTransparentMode)
        return;
    if (value == tmAuto)
        FTransparentColor = clDefault;
    FTransparentMode = value;
    FreeMask();
    Changed(this);
}

static QImage MaskImage(const QImage& image, COLORREF color)
{
    const std::uint32_t key = Gdi::ToPixel(color) & 0xFFFFFF;
    QImage mask(image.size(), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        const auto* in = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
        auto* out = reinterpret_cast<std::uint32_t*>(mask.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            out[x] = (in[x] & 0xFFFFFF) == key ? 0xFFFFFFFFu : 0xFF000000u;
    }
    return mask;
}

void TBitmap::Mask(TColor color)
{
    EnsureImage();
    ImageOf(FHandle) = MaskImage(ImageOf(FHandle), ColorToRGB(color));
    FFormat = pf1bit;
    FPalette = {0x000000, 0xFFFFFF};
    SetGdiKind(true);
    FDibValid = false;
    Touch();
    Changed(this);
}

HBITMAP TBitmap::MaskHandle()
{
    if (!FMaskHandle) {
        EnsureImage();
        FMaskHandle = Gdi::CreateBitmapFromImage(MaskImage(ImageOf(FHandle), ColorToRGB(TransparentColor())), true);
    }
    return FMaskHandle;
}

HBITMAP TBitmap::ReleaseMaskHandle()
{
    HBITMAP mask = MaskHandle();
    FMaskHandle = nullptr;
    return mask;
}

void TBitmap::Dormant() { EnsureDib(); }
void TBitmap::FreeImage() {}

void TBitmap::SetFromDib(TDibImage dib, std::vector<std::uint8_t> source)
{
    FWidth = dib.Width;
    FHeight = dib.Height;
    FFormat = FormatOf(dib.Bits);
    FPalette = dib.Palette;
    if (FFormat > pf8bit)
        FPalette.clear();
    FDib = std::move(dib);
    FDib.Palette = FPalette;
    FDibValid = true;
    FImageValid = false;
    SetGdiKind(FFormat == pf1bit && FPalette.size() == 2 && FPalette[0] == 0 &&
                                     FPalette[1] == 0xFFFFFF);
    if (FPaletteHandle) {
        DeleteObject(FPaletteHandle);
        FPaletteHandle = nullptr;
    }
    FreeMask();
    if (CanvasDrawing())
        EnsureImage();
    FSource = std::move(source);
    Changed(this);
}

void TBitmap::LoadFromStream(TStream& stream)
{
    const std::int64_t remaining = stream.Size() - stream.Position();
    if (remaining < 14)
        RAISE(EInvalidGraphic("Bitmap image is not valid"));
    std::vector<std::uint8_t> bytes(14);
    stream.ReadBuffer(bytes.data(), 14);
    const std::uint32_t declared = bytes[2] | (bytes[3] << 8) | (bytes[4] << 16) | (std::uint32_t(bytes[5]) << 24);
    const std::int64_t length = (declared >= 26 && declared <= remaining) ? declared : remaining;
    bytes.resize(static_cast<std::size_t>(length));
    stream.ReadBuffer(bytes.data() + 14, static_cast<int>(length - 14));
    TDibImage dib = BmpCodec::Read(bytes.data(), bytes.size());
    SetFromDib(std::move(dib), std::move(bytes));
}

void TBitmap::SaveToStream(TStream& stream)
{
    if (Empty())
        return;
    if (!FSource.empty() && (FDibValid || ImageMatchesDib())) {
        stream.WriteBuffer(FSource.data(), static_cast<int>(FSource.size()));
        return;
    }
    std::vector<std::uint8_t> bytes;
    if (FFormat == pfDevice) {
        // Device bitmaps are written as 24 bits, which every BMP reader of the program takes.
        EnsureImage();
        const QImage& image = ImageOf(FHandle);
        TDibImage dib;
        dib.Width = FWidth;
        dib.Height = FHeight;
        dib.Bits = 24;
        dib.Rows.assign(static_cast<std::size_t>(dib.RowSize()) * FHeight, 0);
        for (int y = 0; y < FHeight; ++y)
            Dib::EncodeRow(reinterpret_cast<const std::uint32_t*>(image.constScanLine(y)), FWidth, 24, {}, dib.Row(y));
        bytes = BmpCodec::Write(dib);
    } else {
        EnsureDib();
        bytes = BmpCodec::Write(FDib);
    }
    stream.WriteBuffer(bytes.data(), static_cast<int>(bytes.size()));
}

static void LoadBitmapResource(TBitmap& bitmap, HINSTANCE instance, const TResourceName& name)
{
    const std::vector<std::uint8_t>* bytes = ResourceBytes(instance, RT_BITMAP, name);
    if (!bytes)
        RAISE(EResNotFound(Format("Resource %s not found", {name.IsId() ? std::to_string(name.Id()) : name.Text()})));
    TMemoryStream stream;
    if (bytes->size() >= 2 && (*bytes)[0] == 'B' && (*bytes)[1] == 'M') {
        stream.WriteBuffer(bytes->data(), static_cast<int>(bytes->size()));
        stream.SetPosition(0);
        bitmap.LoadFromStream(stream);
        return;
    }
    // A DIB without its file header, as Windows keeps bitmap resources.
    HBITMAP handle = nullptr;
    TDibImage dib = BmpCodec::ReadDib(bytes->data(), bytes->size());
    std::vector<std::uint8_t> file = BmpCodec::Write(dib);
    stream.WriteBuffer(file.data(), static_cast<int>(file.size()));
    stream.SetPosition(0);
    bitmap.LoadFromStream(stream);
    (void)handle;
}

void TBitmap::LoadFromResourceName(HINSTANCE instance, const std::string& name)
{
    LoadBitmapResource(*this, instance, TResourceName(name));
}

void TBitmap::LoadFromResourceID(HINSTANCE instance, int id)
{
    LoadBitmapResource(*this, instance, MAKEINTRESOURCE(id));
}

void TBitmap::LoadFromClipboardFormat(WORD format, HANDLE data, HPALETTE)
{
    if (format == CF_BITMAP && Gdi::FindBitmap(data)) {
        TGdiBitmap* source = Gdi::FindBitmap(data);
        Gdi::SyncSectionIn(*source);
        QImage copy = source->Image.copy();
        ReplaceImage(&copy, source->Mono);
        return;
    }
    if (format == CF_DIB && data) {
        const auto& bytes = *static_cast<const std::vector<std::uint8_t>*>(data);
        SetFromDib(BmpCodec::ReadDib(bytes.data(), bytes.size()), {});
        return;
    }
    RAISE(EInvalidGraphic("Unsupported clipboard format"));
}

void TBitmap::SaveToClipboardFormat(WORD& format, HANDLE& data, HPALETTE& palette)
{
    format = CF_BITMAP;
    data = ReleaseHandle();
    palette = nullptr;
}

const void* TBitmap::PixelImage()
{
    EnsureImage();
    return &ImageOf(FHandle);
}

void TBitmap::LoadFromDib(TDibImage dib)
{
    const bool knownDepth = dib.Bits == 1 || dib.Bits == 4 || dib.Bits == 8 || dib.Bits == 15 || dib.Bits == 16 ||
                            dib.Bits == 24 || dib.Bits == 32;
    if (!knownDepth || dib.Width < 0 || dib.Height < 0 ||
        dib.Rows.size() != static_cast<std::size_t>(dib.RowSize()) * static_cast<std::size_t>(dib.Height))
        RAISE(EInvalidGraphic("Bitmap image is not valid"));
    BmpCodec::CheckSize(dib.Width, dib.Height);
    SetFromDib(std::move(dib), {});
}

void TBitmap::Assign(TPersistent* Source)
{
    if (!Source) {
        SetSize(0, 0);
        return;
    }
    auto* source = dynamic_cast<TBitmap*>(Source);
    if (!source) {
        TGraphic::Assign(Source);
        return;
    }
    if (source == this)
        return;
    source->EnsureImage();
    ImageOf(FHandle) = ImageOf(source->FHandle); // shared until one of them changes
    FWidth = source->FWidth;
    FHeight = source->FHeight;
    FFormat = source->FFormat;
    FPalette = source->FPalette;
    SetGdiKind(Gdi::FindBitmap(source->FHandle)->Mono);
    FDib = source->FDib;
    FDibValid = source->FDibValid && !source->CanvasDrawing();
    FImageValid = true;
    FSource = source->FSource;
    FTransparentColor = source->FTransparentColor;
    FTransparentMode = source->FTransparentMode;
    SetTransparent(source->Transparent());
    if (FPaletteHandle) {
        DeleteObject(FPaletteHandle);
        FPaletteHandle = nullptr;
    }
    FreeMask();
    Changed(this);
}

void TBitmap::Draw(TCanvas* canvas, const TRect& rect)
{
    if (Empty())
        return;
    EnsureImage();
    HDC destination = canvas->Handle();
    HDC source = CreateCompatibleDC(nullptr);
    if (!Transparent()) {
        HGDIOBJ old = SelectObject(source, FHandle);
        StretchBlt(destination, rect.Left, rect.Top, rect.Width(), rect.Height(), source, 0, 0, FWidth, FHeight,
                   canvas->CopyMode());
        SelectObject(source, old);
        DeleteDC(source);
        return;
    }
    // Transparent: the destination kept under the mask, then the other pixels painted in.
    HBITMAP mask = MaskHandle();
    QImage cut = ImageOf(FHandle).copy();
    const QImage& maskImage = ImageOf(mask);
    for (int y = 0; y < FHeight; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(cut.scanLine(y));
        const auto* m = reinterpret_cast<const std::uint32_t*>(maskImage.constScanLine(y));
        for (int x = 0; x < FWidth; ++x)
            if (m[x] & 0xFFFFFF)
                row[x] = 0xFF000000u;
    }
    HBITMAP cutHandle = Gdi::CreateBitmapFromImage(cut, false);
    const COLORREF oldText = SetTextColor(destination, 0x000000);
    const COLORREF oldBack = SetBkColor(destination, 0xFFFFFF);
    HGDIOBJ old = SelectObject(source, mask);
    StretchBlt(destination, rect.Left, rect.Top, rect.Width(), rect.Height(), source, 0, 0, FWidth, FHeight, SRCAND);
    SelectObject(source, cutHandle);
    StretchBlt(destination, rect.Left, rect.Top, rect.Width(), rect.Height(), source, 0, 0, FWidth, FHeight, SRCPAINT);
    SelectObject(source, old);
    SetTextColor(destination, oldText);
    SetBkColor(destination, oldBack);
    DeleteDC(source);
    DeleteObject(cutHandle);
}

bool TransparentStretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, HDC mask,
                           int mx, int my)
{
    constexpr DWORD DSna = 0x00220326; // destination AND NOT source
    if (!dst || !src || !mask || sw < 0 || sh < 0)
        return false;
    if (sw == 0 || sh == 0)
        return true;
    if (Gdi::StretchMasked(dst, x, y, w, h, src, sx, sy, sw, sh, mask, mx, my))
        return true;
    // The source cut out, black where the mask is white, so that OR leaves the destination there.
    HDC cutDC = CreateCompatibleDC(nullptr);
    HBITMAP cut = CreateBitmap(sw, sh, 1, 32, nullptr);
    HGDIOBJ oldCut = SelectObject(cutDC, cut);
    SetTextColor(cutDC, 0x000000);
    SetBkColor(cutDC, 0xFFFFFF);
    bool done = BitBlt(cutDC, 0, 0, sw, sh, src, sx, sy, SRCCOPY) && BitBlt(cutDC, 0, 0, sw, sh, mask, mx, my, DSna);
    if (done) {
        const COLORREF oldText = SetTextColor(dst, 0x000000);
        const COLORREF oldBack = SetBkColor(dst, 0xFFFFFF);
        done = StretchBlt(dst, x, y, w, h, mask, mx, my, sw, sh, SRCAND) &&
               StretchBlt(dst, x, y, w, h, cutDC, 0, 0, sw, sh, SRCPAINT);
        SetTextColor(dst, oldText);
        SetBkColor(dst, oldBack);
    }
    SelectObject(cutDC, oldCut);
    DeleteDC(cutDC);
    DeleteObject(cut);
    return done;
}

// ---- TBitmapCanvas

TBitmapCanvas::~TBitmapCanvas() { FreeContext(); }

void TBitmapCanvas::FreeContext()
{
    if (!FDC)
        return;
    SetHandle(nullptr);
    SelectObject(FDC, FOldBitmap);
    DeleteDC(FDC);
    FDC = nullptr;
}

void TBitmapCanvas::CreateHandle()
{
    if (FDC)
        return;
    FBitmap->ImageChanging();
    FDC = CreateCompatibleDC(nullptr);
    FOldBitmap = SelectObject(FDC, FBitmap->FHandle);
    SetHandle(FDC);
}

void TBitmapCanvas::Changing()
{
    FBitmap->ImageChanging();
    TCanvas::Changing();
}

void TBitmapCanvas::Changed()
{
    FBitmap->Changed(FBitmap);
    TCanvas::Changed();
}
