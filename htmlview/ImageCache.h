#pragma once
// The viewer-wide image cache with its aging, the recognition of image formats by their first
// bytes, the transparent colour of GIF and PNG files, loading pictures with their masks, drawing
// a picture through its mask, device-independent copies of bitmaps, and the viewer's shared
// pictures, palette and cursors, set up once at first use.

#include "htmlview/Symbols.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/GdiObjects.h"
#include "platform/gui/GlobalMemory.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Streams.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace PaneUn2 {
enum ImageType { NoImage, Bmp, Gif, Gif89, Png, Jpg };
} // namespace PaneUn2

using PaneUn2::ImageType;

// One cache entry. The picture (a TBitmap or a TGIFImage) and its mask are shared: whoever draws
// them keeps a reference, so dropping the entry never frees what a document still shows.
class TBitmapItem : public TObject {
    TESS_CLASS(TBitmapItem, TObject)
public:
    TBitmapItem(std::shared_ptr<TPersistent> AImage, std::shared_ptr<TBitmap> AMask, Transparency Tr);

    int IdlePasses = 0; // aging passes since the entry was last fetched
    int Holders = 0;    // current users
    Transparency TranspKind;
    std::shared_ptr<TPersistent> Picture;
    std::shared_ptr<TBitmap> MaskBitmap;
};

// The cache: image names (compared without case, sorted) with their TBitmapItem, which the list
// owns.
class TStringBitmapList : public TStringList {
    TESS_CLASS(TStringBitmapList, TStringList)
public:
    TStringBitmapList();
    ~TStringBitmapList() override;

    // A TBitmapItem gains a holder. A name already present keeps its entry and the new item is
    // freed.
    int AddObject(const std::string& S, TObject* AObject) override;
    void Clear() override;

    void IncUsage(const std::string& S);
    void DecUsage(const std::string& S);
    // The entry's picture; the entry is fresh again and gains a holder.
    std::shared_ptr<TPersistent> GetImage(int I);
    TBitmapItem* Item(int I) const;
    void SetCacheCount(int N);
    int CacheCount() const { return FCacheCount; }
    // One aging pass: entries without holders go after CacheCount idle passes.
    void BumpAndCheck();
    // Drops every entry without holders.
    void PurgeCache();

private:
    void DropItem(int I);
    int FCacheCount = 4;
};

// A memory block: from the heap, or global memory above 65,279 bytes.
class AllocRec : public TObject {
    TESS_CLASS(AllocRec, TObject)
public:
    void* Memory = nullptr;
    int Size = 0;
    HGLOBAL MemHandle = nullptr;
    std::vector<std::uint8_t> HeapBlock;
};

// A device-independent copy of a bitmap.
class TDib : public TObject {
    TESS_CLASS(TDib, TObject)
public:
    TDib(HDC DC, TBitmap* Bitmap);
    ~TDib() override;
    TDib(const TDib&) = delete;
    TDib& operator=(const TDib&) = delete;

    void InitializeBitmapInfoHeader(HBITMAP Bitmap);
    void Allocate(int Size);
    void DeAllocate();
    void GetDIBX(HDC DC, HBITMAP Bitmap, HPALETTE Palette);
    void DrawDIB(HDC DC, int X, int Y, int W, int H, DWORD ROP);
    // A new bitmap handle with the pixels, owned by the caller.
    HBITMAP CreateDIBmp();

    std::unique_ptr<BITMAPINFO> InfoHeader;
    int InfoBytes = 0;
    void* Bits = nullptr;
    int BitsSize = 0;
    HGLOBAL BitsHandle = nullptr;

private:
    std::vector<std::uint8_t> FHeapBits;
};

namespace PaneUn2 {

// Blocks above this many bytes come from global memory.
constexpr int LargeBlockSize = 65279;

// The kind of image whose first Available bytes start at Start.
ImageType KindOfImage(const void* Start, std::size_t Available);
// The kind of a file from its first 11 bytes; NoImage for a shorter or missing file.
ImageType KindOfImageFile(const std::string& FName);
// GIF89a transparency: a graphic control block right after the global table with its flag set.
// The stream's position is kept.
bool IsTransparent(TStream& Stream, TColor& Color);
bool TransparentGIF(const std::string& FName, TColor& Color);
// PNG transparency (a tRNS chunk before the image data of a palette or RGB file); Color is the
// palette entry for palette files. The stream's position is kept.
bool IsTransparentPng(TStream& Stream, TColor& Color);
bool TransparentPNG(const std::string& FName, TColor& Color);

// Pictures from files and memory; nullptr for anything that cannot be read.
std::unique_ptr<TBitmap> GetImageFromFile(const std::string& FName);
std::unique_ptr<TBitmap> GetImageAndMaskFromFile(const std::string& FName, Transparency& Transp,
                                                 std::unique_ptr<TBitmap>& Mask);
std::unique_ptr<TBitmap> GetImageAndMaskFromStream(TMemoryStream* Stream, Transparency Transp,
                                                   std::unique_ptr<TBitmap>& Mask);
// A monochrome mask, white where Image has the colour (its lower-left pixel's when not given).
std::unique_ptr<TBitmap> GetImageMask(TBitmap& Image, bool ColorValid, TColor AColor);
// A stretch of the source rectangle (SX, SY, SW, SH) into the destination (X, Y, W, H).
struct TStretchRects {
    int X, Y, W, H;
    int SX, SY, SW, SH;
};
// Cuts a stretch to the part that lands inside DC's clip box, with the source part the
// nearest-neighbour stretch puts there, so that a huge destination never gets scaled as a whole.
// False when nothing of it shows.
bool ClipStretch(HDC DC, TStretchRects& R);
// Draws InImage stretched into (X, Y, W, H) of DC, leaving the destination where Mask is white.
void FinishTransparentBitmap(HDC DC, TBitmap* InImage, TBitmap* Mask, int X, int Y, int W, int H);

std::unique_ptr<AllocRec> Allocate(int Size);
void DeAllocate(AllocRec* Rec);

// A new palette with the entries of Source; nullptr for none.
HPALETTE CopyPalette(HPALETTE Source);
void SetGlobalPalette(HPALETTE Value);
// The 256-colour palette of 8-bit displays, from the system palette's 256 entries.
std::array<PALETTEENTRY, 256> ViewerPaletteEntries(const std::array<PALETTEENTRY, 256>& System);
// The depth class of a display: 4, 8 or 24.
int ColorBitsOf(int BitsTimesPlanes);

// The unit's globals, set up by HtmlViewStartup on first use (on the GUI thread).
void HtmlViewStartup();
int ColorBits();
HPALETTE ThePalette();
TStringBitmapList* BitmapList();
TMemoryStream* WaitStream();
const std::shared_ptr<TBitmap>& DefBitMap();
const std::shared_ptr<TBitmap>& ErrorBitMap();
const std::shared_ptr<TBitmap>& ErrorBitmapMask();

} // namespace PaneUn2
