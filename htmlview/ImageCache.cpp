#include "htmlview/ImageCache.h"

#include "htmlview/ViewerArt.h"
#include "htmlview/panegif1.h"
#include "platform/gui/DeviceContext.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/Regions.h"
#include "platform/gui/Resources.h"
#include "platform/gui/Screen.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// ---- Cache

TBitmapItem::TBitmapItem(std::shared_ptr<TPersistent> AImage, std::shared_ptr<TBitmap> AMask, Transparency Tr)
    : TranspKind(Tr), Picture(std::move(AImage)), MaskBitmap(std::move(AMask))
{
}

TStringBitmapList::TStringBitmapList() = default;

TStringBitmapList::~TStringBitmapList() { Clear(); }

int TStringBitmapList::AddObject(const std::string& S, TObject* AObject)
{
    auto* item = dynamic_cast<TBitmapItem*>(AObject);
    int index = 0;
    if (Sorted() && Find(S, index)) {
        // The entry already cached stays; the list owns what it is given.
        if (item != nullptr && Objects(index) != AObject)
            delete item;
        return index;
    }
    index = TStringList::AddObject(S, AObject);
    if (item != nullptr)
        ++item->Holders;
    return index;
}

void TStringBitmapList::Clear()
{
    for (int i = Count() - 1; i >= 0; --i)
        delete Item(i);
    TStringList::Clear();
}

TBitmapItem* TStringBitmapList::Item(int I) const { return dynamic_cast<TBitmapItem*>(Objects(I)); }

void TStringBitmapList::IncUsage(const std::string& S)
{
    int index = 0;
    if (Find(S, index))
        if (TBitmapItem* item = Item(index))
            ++item->Holders;
}

void TStringBitmapList::DecUsage(const std::string& S)
{
    int index = 0;
    if (Find(S, index))
        if (TBitmapItem* item = Item(index))
            --item->Holders;
}

std::shared_ptr<TPersistent> TStringBitmapList::GetImage(int I)
{
    TBitmapItem* item = Item(I);
    if (item == nullptr)
        return nullptr;
    item->IdlePasses = 0;
    ++item->Holders;
    return item->Picture;
}

void TStringBitmapList::DropItem(int I)
{
    delete Item(I);
    Delete(I);
}

void TStringBitmapList::SetCacheCount(int N)
{
    for (int i = Count() - 1; i >= 0; --i) {
        TBitmapItem* item = Item(i);
        if (item != nullptr && item->IdlePasses > N && item->Holders <= 0)
            DropItem(i);
    }
    FCacheCount = N;
}

void TStringBitmapList::BumpAndCheck()
{
    for (int i = Count() - 1; i >= 0; --i) {
        TBitmapItem* item = Item(i);
        if (item == nullptr)
            continue;
        ++item->IdlePasses;
        if (item->IdlePasses > FCacheCount && item->Holders < 1)
            DropItem(i);
    }
}

void TStringBitmapList::PurgeCache()
{
    for (int i = Count() - 1; i >= 0; --i) {
        TBitmapItem* item = Item(i);
        if (item != nullptr && item->Holders < 1)
            DropItem(i);
    }
}

// ---- Memory blocks and device-independent bitmaps

namespace ImageCacheMemory {

// Global memory for a large block, the heap otherwise; a large block that cannot be had ends
// the operation silently.
void* Obtain(int size, HGLOBAL& handle, std::vector<std::uint8_t>& heap)
{
    handle = nullptr;
    if (size > PaneUn2::LargeBlockSize) {
        handle = GlobalAlloc(GHND, static_cast<std::size_t>(size));
        void* memory = handle ? GlobalLock(handle) : nullptr;
        if (memory == nullptr) {
            if (handle)
                GlobalFree(handle);
            handle = nullptr;
            throw EAbort("Operation aborted");
        }
        return memory;
    }
    heap.assign(static_cast<std::size_t>(std::max(size, 0)), 0);
    return heap.data();
}

void Release(HGLOBAL& handle, std::vector<std::uint8_t>& heap)
{
    if (handle) {
        GlobalUnlock(handle);
        GlobalFree(handle);
        handle = nullptr;
    }
    heap.clear();
    heap.shrink_to_fit();
}

} // namespace ImageCacheMemory

TDib::TDib(HDC DC, TBitmap* Bitmap)
{
    HBITMAP handle = Bitmap->Handle();
    InitializeBitmapInfoHeader(handle);
    try {
        Allocate(static_cast<int>(InfoHeader->bmiHeader.biSizeImage));
        GetDIBX(DC, handle, Bitmap->Palette());
    } catch (...) {
        DeAllocate();
        throw;
    }
}

TDib::~TDib() { DeAllocate(); }

void TDib::InitializeBitmapInfoHeader(HBITMAP Bitmap)
{
    BITMAP description;
    GetObject(Bitmap, sizeof description, &description);
    int bits = description.bmPlanes * description.bmBitsPixel;
    InfoBytes = bits <= 8 ? 40 + 4 * (1 << bits) : 40;
    if (bits == 16 || bits == 32)
        bits = 24;
    InfoHeader = std::make_unique<BITMAPINFO>();
    BITMAPINFOHEADER& header = InfoHeader->bmiHeader;
    header.biSize = 40;
    header.biWidth = description.bmWidth;
    header.biHeight = description.bmHeight;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(bits);
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>((description.bmWidth * bits + 31) / 32 * 4 * description.bmHeight);
}

void TDib::Allocate(int Size)
{
    Bits = ImageCacheMemory::Obtain(Size, BitsHandle, FHeapBits);
    BitsSize = Size;
}

void TDib::DeAllocate()
{
    if (BitsSize > 0)
        ImageCacheMemory::Release(BitsHandle, FHeapBits);
    Bits = nullptr;
    BitsSize = 0;
    if (InfoBytes > 0)
        InfoHeader.reset();
    InfoBytes = 0;
}

void TDib::GetDIBX(HDC DC, HBITMAP Bitmap, HPALETTE Palette)
{
    HPALETTE oldPalette = nullptr;
    if (Palette) {
        oldPalette = SelectPalette(DC, Palette, FALSE);
        RealizePalette(DC);
    }
    const int rows = GetDIBits(DC, Bitmap, 0, static_cast<UINT>(std::abs(InfoHeader->bmiHeader.biHeight)), Bits,
                               InfoHeader.get(), DIB_RGB_COLORS);
    if (Palette)
        SelectPalette(DC, oldPalette, FALSE);
    if (rows == 0) {
        if (DC == nullptr)
            PaneUn2::BitmapList()->PurgeCache();
        throw EOutOfMemory("Out of memory");
    }
}

void TDib::DrawDIB(HDC DC, int X, int Y, int W, int H, DWORD ROP)
{
    const BITMAPINFOHEADER& header = InfoHeader->bmiHeader;
    StretchDIBits(DC, X, Y, W, H, 0, 0, header.biWidth, header.biHeight, Bits, InfoHeader.get(), DIB_RGB_COLORS, ROP);
}

HBITMAP TDib::CreateDIBmp()
{
    HDC screen = GetDC(nullptr);
    HPALETTE oldPalette = nullptr;
    if (PaneUn2::ThePalette()) {
        oldPalette = SelectPalette(screen, PaneUn2::ThePalette(), FALSE);
        RealizePalette(screen);
    }
    HBITMAP result = CreateDIBitmap(screen, &InfoHeader->bmiHeader, CBM_INIT, Bits, InfoHeader.get(), DIB_RGB_COLORS);
    if (oldPalette)
        SelectPalette(screen, oldPalette, FALSE);
    ReleaseDC(nullptr, screen);
    return result;
}

namespace PaneUn2 {

std::unique_ptr<AllocRec> Allocate(int Size)
{
    auto rec = std::make_unique<AllocRec>();
    rec->Memory = ImageCacheMemory::Obtain(Size, rec->MemHandle, rec->HeapBlock);
    rec->Size = Size;
    return rec;
}

void DeAllocate(AllocRec* Rec)
{
    if (Rec == nullptr)
        return;
    ImageCacheMemory::Release(Rec->MemHandle, Rec->HeapBlock);
    Rec->Memory = nullptr;
    Rec->Size = 0;
}

// ---- Formats and transparency

ImageType KindOfImage(const void* Start, std::size_t Available)
{
    const auto* b = static_cast<const std::uint8_t*>(Start);
    if (b == nullptr)
        return NoImage;
    if (Available >= 4 && std::memcmp(b, "GIF8", 4) == 0)
        return Available >= 5 && b[4] == '9' ? Gif89 : Gif;
    if (Available >= 2 && b[0] == 'B' && b[1] == 'M')
        return Bmp;
    if (Available >= 4 && b[0] == 0x89 && std::memcmp(b + 1, "PNG", 3) == 0)
        return Png;
    if (Available >= 2 && b[0] == 0xFF && b[1] == 0xD8)
        return Jpg;
    return NoImage;
}

ImageType KindOfImageFile(const std::string& FName)
{
    try {
        TFileStream stream(FName, fmOpenRead | fmShareDenyWrite);
        std::uint8_t start[11] = {};
        if (stream.Read(start, sizeof start) < static_cast<int>(sizeof start))
            return NoImage;
        return KindOfImage(start, sizeof start);
    } catch (const Exception&) {
        return NoImage;
    }
}

namespace {

// Puts the stream back where it was when the check ends.
class TStreamPositionKeeper {
public:
    explicit TStreamPositionKeeper(TStream& stream) : FStream(stream), FPosition(stream.Position()) {}
    ~TStreamPositionKeeper() { FStream.SetPosition(FPosition); }
    TStreamPositionKeeper(const TStreamPositionKeeper&) = delete;
    TStreamPositionKeeper& operator=(const TStreamPositionKeeper&) = delete;

private:
    TStream& FStream;
    std::int64_t FPosition;
};

TColor TripleColor(const std::uint8_t* rgb) { return rgb[0] | (rgb[1] << 8) | (rgb[2] << 16); }

std::uint32_t PngBigEndian(const std::uint8_t* b)
{
    return (static_cast<std::uint32_t>(b[0]) << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
}

} // namespace

bool IsTransparent(TStream& Stream, TColor& Color)
{
    std::uint8_t buffer[790] = {};
    {
        TStreamPositionKeeper keeper(Stream);
        Stream.SetPosition(0);
        Stream.Read(buffer, sizeof buffer);
    }
    if (KindOfImage(buffer, sizeof buffer) != Gif89)
        return false;
    const std::size_t extension = 13 + 3 * (std::size_t{1} << ((buffer[10] & 7) + 1));
    if (buffer[extension] != 0x21 || buffer[extension + 1] != 0xF9 || (buffer[extension + 3] & 1) == 0)
        return false;
    const std::size_t index = buffer[extension + 6];
    Color = TripleColor(buffer + 13 + 3 * index);
    return true;
}

bool TransparentGIF(const std::string& FName, TColor& Color)
{
    try {
        TFileStream stream(FName, fmOpenRead | fmShareDenyWrite);
        return IsTransparent(stream, Color);
    } catch (const Exception&) {
        return false;
    }
}

bool IsTransparentPng(TStream& Stream, TColor& Color)
{
    TStreamPositionKeeper keeper(Stream);
    try {
        Stream.SetPosition(0);
        std::uint8_t signature[8] = {};
        if (Stream.Read(signature, 8) != 8 || KindOfImage(signature, 8) != Png)
            return false;
        const std::int64_t size = Stream.Size();
        std::uint8_t header[16] = {};
        int colorType = -1;
        std::uint8_t palette[256 * 3] = {};
        std::uint32_t paletteEntries = 0;
        for (;;) {
            std::uint8_t chunk[8];
            if (Stream.Read(chunk, 8) != 8)
                return false;
            const std::uint32_t length = PngBigEndian(chunk);
            const std::string type(reinterpret_cast<const char*>(chunk + 4), 4);
            const std::int64_t dataStart = Stream.Position();
            if (static_cast<std::int64_t>(length) > size - dataStart)
                return false;
            if (type == "IHDR") {
                const int wanted = static_cast<int>(std::min<std::uint32_t>(length, sizeof header));
                if (Stream.Read(header, wanted) != wanted)
                    return false;
                colorType = length > 9 ? header[9] : -1;
                if (colorType != 2 && colorType != 3)
                    return false;
            } else if (type == "PLTE") {
                paletteEntries = std::min<std::uint32_t>(length / 3, 256);
                const int wanted = static_cast<int>(paletteEntries * 3);
                if (Stream.Read(palette, wanted) != wanted)
                    return false;
            } else if (type == "tRNS") {
                if (colorType != 3)
                    return true;
                // The last entry the chunk lists is the transparent one.
                if (length == 0 || length - 1 >= paletteEntries)
                    return false;
                Color = TripleColor(palette + 3 * (length - 1));
                return true;
            } else if (type == "IDAT")
                return false;
            Stream.SetPosition(dataStart + length + 4); // past the data and the check value
        }
    } catch (const Exception&) {
        return false;
    }
}

bool TransparentPNG(const std::string& FName, TColor& Color)
{
    try {
        TFileStream stream(FName, fmOpenRead | fmShareDenyWrite);
        return IsTransparentPng(stream, Color);
    } catch (const Exception&) {
        return false;
    }
}

// ---- Loading pictures

std::unique_ptr<TBitmap> GetImageFromFile(const std::string& FName)
{
    try {
        const ImageType kind = KindOfImageFile(FName);
        if (kind == Bmp) {
            auto bitmap = std::make_unique<TBitmap>();
            bitmap->LoadFromFile(FName);
            return bitmap;
        }
        if (kind == Gif || kind == Gif89) {
            bool nonAnimated = true;
            std::unique_ptr<TGIFImage> gif = CreateAGif(FName, nonAnimated);
            if (!gif)
                return nullptr;
            auto bitmap = std::make_unique<TBitmap>();
            bitmap->Assign(gif->GetBitMap());
            return bitmap;
        }
    } catch (...) {
    }
    return nullptr;
}

std::unique_ptr<TBitmap> GetImageAndMaskFromFile(const std::string& FName, Transparency& Transp,
                                                 std::unique_ptr<TBitmap>& Mask)
{
    if (!FileExists(FName))
        return nullptr;
    const std::string extension = LowerCase(ExtractFileExt(FName));
    TColor color = clBlack;
    if (extension == ".gif" && TransparentGIF(FName, color))
        Transp = PaneUn2::TGif;
    else if (extension == ".png" && TransparentPNG(FName, color))
        Transp = TPng;
    Mask.reset();
    if (Transp == NotTransp)
        return GetImageFromFile(FName);
    std::unique_ptr<TBitmap> picture = GetImageFromFile(FName);
    if (!picture)
        return nullptr;
    Mask = Transp == LLCorner ? GetImageMask(*picture, false, 0) : GetImageMask(*picture, true, color);
    if (!Mask)
        return nullptr;
    return GetImageFromFile(FName);
}

std::unique_ptr<TBitmap> GetImageAndMaskFromStream(TMemoryStream* Stream, Transparency Transp,
                                                   std::unique_ptr<TBitmap>& Mask)
{
    Mask.reset();
    if (Stream == nullptr || Stream->Size() < 20 || Stream->Memory() == nullptr)
        return nullptr;
    const ImageType kind = KindOfImage(Stream->Memory(), static_cast<std::size_t>(Stream->Size()));
    if (kind != Bmp && kind != Jpg)
        return nullptr;
    try {
        auto bitmap = std::make_unique<TBitmap>();
        Stream->SetPosition(0);
        bitmap->LoadFromStream(*Stream);
        if (Transp == LLCorner)
            Mask = GetImageMask(*bitmap, false, 0);
        return bitmap;
    } catch (...) {
        Mask.reset();
        return nullptr;
    }
}

std::unique_ptr<TBitmap> GetImageMask(TBitmap& Image, bool ColorValid, TColor AColor)
{
    try {
        if (Image.Empty())
            return nullptr;
        const TColor color = ColorValid ? AColor : Image.Canvas()->Pixels(0, Image.Height() - 1);
        auto mask = std::make_unique<TBitmap>();
        mask->SetMonochrome(true);
        mask->SetSize(Image.Width(), Image.Height());
        HDC source = Image.Canvas()->Handle();
        const COLORREF oldBack = SetBkColor(source, ColorToRGB(color));
        BitBlt(mask->Canvas()->Handle(), 0, 0, Image.Width(), Image.Height(), source, 0, 0, SRCCOPY);
        SetBkColor(source, oldBack);
        return mask;
    } catch (...) {
        return nullptr;
    }
}

namespace {

// One axis of ClipStretch: the destination [D, D + DW) seen through [C0, C1).
bool ClipStretchAxis(int& D, int& DW, int& S, int& SW, int C0, int C1)
{
    if (DW <= 0 || SW <= 0)
        return DW != 0 && SW != 0; // mirrored stretches are left as they are
    const std::int64_t d0 = D, d1 = static_cast<std::int64_t>(D) + DW;
    const std::int64_t v0 = std::max<std::int64_t>(d0, C0), v1 = std::min<std::int64_t>(d1, C1);
    if (v1 <= v0)
        return false;
    if (v0 == d0 && v1 == d1)
        return true;
    // The source pixels the stretch reads for the first and the last visible pixel.
    const std::int64_t first = (v0 - d0) * SW / DW, last = (v1 - 1 - d0) * SW / DW;
    S += static_cast<int>(first);
    SW = static_cast<int>(last - first + 1);
    D = static_cast<int>(v0);
    DW = static_cast<int>(v1 - v0);
    return true;
}

} // namespace

bool ClipStretch(HDC DC, TStretchRects& R)
{
    RECT clip{};
    const int kind = GetClipBox(DC, &clip);
    if (kind == ERROR)
        return true; // no device to cut against: the layer refuses the drawing itself
    if (kind == NULLREGION)
        return false;
    return ClipStretchAxis(R.X, R.W, R.SX, R.SW, clip.Left, clip.Right) &&
           ClipStretchAxis(R.Y, R.H, R.SY, R.SH, clip.Top, clip.Bottom);
}

void FinishTransparentBitmap(HDC DC, TBitmap* InImage, TBitmap* Mask, int X, int Y, int W, int H)
{
    if (DC == nullptr || InImage == nullptr || Mask == nullptr || InImage->Empty())
        return;
    const int width = InImage->Width(), height = InImage->Height();
    TStretchRects part{X, Y, W, H, 0, 0, width, height};
    if (!ClipStretch(DC, part))
        return;
    // The destination's depth, read from a bitmap compatible with it.
    HBITMAP probe = CreateCompatibleBitmap(DC, 1, 1);
    BITMAP description;
    GetObject(probe, sizeof description, &description);
    DeleteObject(probe);
    if (description.bmPlanes == 1 && description.bmBitsPixel == 1)
        return;

    TBitmap copy;
    copy.Assign(InImage);
    HDC copyDC = copy.Canvas()->Handle();
    HDC inverted = CreateCompatibleDC(nullptr);
    HBITMAP invertedBitmap = CreateBitmap(width, height, 1, 1, nullptr);
    HGDIOBJ oldInverted = SelectObject(inverted, invertedBitmap);
    BitBlt(inverted, 0, 0, width, height, Mask->Canvas()->Handle(), 0, 0, NOTSRCCOPY);

    const COLORREF oldBack = SetBkColor(DC, 0xFFFFFF);
    const COLORREF oldText = SetTextColor(DC, 0x000000);
    const int oldMode = SetStretchBltMode(DC, WHITEONBLACK);
    StretchBlt(DC, part.X, part.Y, part.W, part.H, Mask->Canvas()->Handle(), part.SX, part.SY, part.SW, part.SH,
               SRCAND);
    SetBkColor(copyDC, 0xFFFFFF);
    SetTextColor(copyDC, 0x000000);
    BitBlt(copyDC, 0, 0, width, height, inverted, 0, 0, SRCAND);
    SetStretchBltMode(DC, COLORONCOLOR);
    StretchBlt(DC, part.X, part.Y, part.W, part.H, copyDC, part.SX, part.SY, part.SW, part.SH, SRCPAINT);
    SetStretchBltMode(DC, oldMode);
    SetTextColor(DC, oldText);
    SetBkColor(DC, oldBack);

    SelectObject(inverted, oldInverted);
    DeleteDC(inverted);
    DeleteObject(invertedBitmap);
}

// ---- Palettes

HPALETTE CopyPalette(HPALETTE Source)
{
    if (Source == nullptr)
        return nullptr;
    PALETTEENTRY entries[256];
    const UINT count = GetPaletteEntries(Source, 0, 256, entries);
    if (count == 0)
        return nullptr;
    LOGPALETTE palette;
    palette.palPalEntry.assign(entries, entries + count);
    return CreatePalette(&palette);
}

void SetGlobalPalette(HPALETTE /*Value*/) {}

std::array<PALETTEENTRY, 256> ViewerPaletteEntries(const std::array<PALETTEENTRY, 256>& System)
{
    std::array<PALETTEENTRY, 256> entries = System;
    const BYTE levels[6] = {55, 115, 165, 205, 235, 255};
    std::size_t next = 10;
    for (BYTE red : levels)
        for (BYTE green : levels)
            for (BYTE blue : levels)
                if (red != 255 || green != 255 || blue != 255)
                    entries[next++] = PALETTEENTRY{red, green, blue, 0};
    for (int grey = 135; grey <= 250; grey += 5)
        if (grey != 165 && grey != 205 && grey != 235) {
            const BYTE level = static_cast<BYTE>(grey);
            entries[next++] = PALETTEENTRY{level, level, level, 0};
        }
    return entries;
}

int ColorBitsOf(int BitsTimesPlanes)
{
    if (BitsTimesPlanes <= 4)
        return 4;
    return BitsTimesPlanes > 8 ? 24 : 8;
}

// ---- The unit's globals

namespace {

struct TViewerGlobals {
    TViewerGlobals();
    ~TViewerGlobals();
    TViewerGlobals(const TViewerGlobals&) = delete;
    TViewerGlobals& operator=(const TViewerGlobals&) = delete;

    int ColorBits = 24;
    HPALETTE Palette = nullptr;
    std::unique_ptr<TStringBitmapList> BitmapList;
    std::unique_ptr<TMemoryStream> WaitStream;
    std::shared_ptr<TBitmap> DefBitMap;
    std::shared_ptr<TBitmap> ErrorBitMap;
    std::shared_ptr<TBitmap> ErrorBitmapMask;
};

HPALETTE MakeViewerPalette()
{
    std::array<PALETTEENTRY, 256> system{};
    HDC screen = GetDC(nullptr);
    GetSystemPaletteEntries(screen, 0, 256, system.data());
    ReleaseDC(nullptr, screen);
    const std::array<PALETTEENTRY, 256> entries = ViewerPaletteEntries(system);
    LOGPALETTE palette;
    palette.palVersion = 0x300;
    palette.palPalEntry.assign(entries.begin(), entries.end());
    return CreatePalette(&palette);
}

std::shared_ptr<TBitmap> LoadViewerBitmap(int id)
{
    auto bitmap = std::make_shared<TBitmap>();
    bitmap->LoadFromResourceID(MainInstance(), id);
    return bitmap;
}

TViewerGlobals::TViewerGlobals()
{
    HDC screen = GetDC(nullptr);
    ColorBits = ColorBitsOf(GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES));
    ReleaseDC(nullptr, screen);
    if (ColorBits == 8)
        Palette = MakeViewerPalette();
    ViewerArt::RegisterViewerArt();
    DefBitMap = LoadViewerBitmap(ViewerArt::DefaultBitmapId);
    ErrorBitMap = LoadViewerBitmap(ViewerArt::ErrorBitmapId);
    ErrorBitmapMask = LoadViewerBitmap(ViewerArt::ErrorMaskId);
    Screen->SetCursors(1, ::LoadCursor(nullptr, IDC_HAND));
    Screen->SetCursors(2, ::LoadCursor(nullptr, IDC_IBEAM));
    Screen->SetCursors(3, LoadCursorA(MainInstance(), "UPDOWNCURSOR"));
    Screen->SetCursors(4, LoadCursorA(MainInstance(), "UPONLYCURSOR"));
    Screen->SetCursors(5, LoadCursorA(MainInstance(), "DOWNONLYCURSOR"));
    BitmapList = std::make_unique<TStringBitmapList>();
    BitmapList->SetSorted(true);
    WaitStream = std::make_unique<TMemoryStream>();
}

TViewerGlobals::~TViewerGlobals()
{
    if (Palette)
        DeleteObject(Palette);
}

TViewerGlobals& ImageCacheGlobals()
{
    static TViewerGlobals globals;
    return globals;
}

} // namespace

void HtmlViewStartup() { ImageCacheGlobals(); }

int ColorBits() { return ImageCacheGlobals().ColorBits; }

HPALETTE ThePalette() { return ImageCacheGlobals().Palette; }

TStringBitmapList* BitmapList() { return ImageCacheGlobals().BitmapList.get(); }

TMemoryStream* WaitStream() { return ImageCacheGlobals().WaitStream.get(); }

const std::shared_ptr<TBitmap>& DefBitMap() { return ImageCacheGlobals().DefBitMap; }

const std::shared_ptr<TBitmap>& ErrorBitMap() { return ImageCacheGlobals().ErrorBitMap; }

const std::shared_ptr<TBitmap>& ErrorBitmapMask() { return ImageCacheGlobals().ErrorBitmapMask; }

} // namespace PaneUn2
