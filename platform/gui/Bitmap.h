#pragma once
// TBitmap: pixels in the Windows DIB layout of its pixel format, a canvas to draw on (drawing on
// 1, 4 and 8 bits happens on a 32-bit working copy mapped back to the palette), transparency,
// masks and BMP streams. A bitmap read from a stream writes the same bytes back until it changes.

#include "platform/gui/BmpCodec.h"
#include "platform/gui/Canvas.h"
#include "platform/gui/Graphic.h"

#include <memory>
#include <vector>

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
enum TBitmapHandleType { bmDIB, bmDDB };
enum TTransparentMode { tmAuto, tmFixed };

constexpr WORD CF_BITMAP = 2, CF_DIB = 8, CF_PALETTE = 9, CF_ENHMETAFILE = 14, CF_METAFILEPICT = 3;

class TBitmapCanvas;

class TBitmap : public TGraphic {
    TESS_CLASS(TBitmap, TGraphic)
    friend class TBitmapCanvas;

public:
    TBitmap();
    ~TBitmap() override;
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    void Assign(TPersistent* Source) override;

    bool Empty() const override;
    int Width() const override { return FWidth; }
    int Height() const override { return FHeight; }
    void SetWidth(int value) override { SetSize(value, FHeight); }
    void SetHeight(int value) override { SetSize(FWidth, value); }
    // Keeps the pixels that still fit; new pixels are white.
    void SetSize(int width, int height);

    TCanvas* Canvas();
    TPixelFormat PixelFormat() const { return FFormat; }
    // Converts the pixels (see the conversion rules in the class description).
    void SetPixelFormat(TPixelFormat value);
    TBitmapHandleType HandleType() const { return FFormat == pfDevice ? bmDDB : bmDIB; }
    void SetHandleType(TBitmapHandleType value);
    // Row row counted from the top, in the DIB layout of the pixel format.
    std::uint8_t* ScanLine(int row);

    // The GDI bitmap of the pixels (select it into contexts; do not delete it).
    HBITMAP Handle();
    // Takes the pixels of a bitmap handle and deletes it when it is not selected anywhere.
    void SetHandle(HBITMAP value);
    // A new bitmap handle with the pixels, owned by the caller.
    HBITMAP ReleaseHandle();
    HPALETTE Palette() const override;
    void SetPalette(HPALETTE value) override;
    // The colours of the palette of a 1, 4 or 8-bit bitmap.
    const std::vector<COLORREF>& PaletteColors() const { return FPalette; }
    bool IgnorePalette = false;

    bool Monochrome() const;
    void SetMonochrome(bool value);
    TColor TransparentColor();
    void SetTransparentColor(TColor value);
    TTransparentMode TransparentMode() const { return FTransparentMode; }
    void SetTransparentMode(TTransparentMode value);
    // Turns the bitmap into a monochrome mask: color white, the rest black.
    void Mask(TColor color);
    // The mask of the transparent colour (white where transparent), kept aside.
    HBITMAP MaskHandle();
    HBITMAP ReleaseMaskHandle();
    void Dormant();
    void FreeImage();

    void LoadFromStream(TStream& stream) override;
    // Takes the pixels of a DIB as they are, without a file to write back (for decoders that
    // build their pixels themselves). Raises EInvalidGraphic for rows that do not fit the size.
    void LoadFromDib(TDibImage dib);
    void SaveToStream(TStream& stream) override;
    void LoadFromResourceName(HINSTANCE instance, const std::string& name);
    void LoadFromResourceID(HINSTANCE instance, int id);
    // CF_BITMAP: data is an HBITMAP (copied); CF_DIB: data points to a std::vector<std::uint8_t>
    // holding a DIB.
    void LoadFromClipboardFormat(WORD format, HANDLE data, HPALETTE palette) override;
    // Gives CF_BITMAP and a new HBITMAP owned by the receiver.
    void SaveToClipboardFormat(WORD& format, HANDLE& data, HPALETTE& palette) override;

    // The pixels as 0xFFRRGGBB words (for codecs and image lists of this layer).
    const void* PixelImage();

protected:
    void Draw(TCanvas* canvas, const TRect& rect) override;

private:
    void EnsureImage();
    void EnsureDib();
    void ImageChanging();
    void Touch();
    void SetFromDib(TDibImage dib, std::vector<std::uint8_t> source);
    void ReplaceImage(const void* qimage, bool mono);
    void FreeMask();
    void SetGdiKind(bool mono);
    bool CanvasDrawing() const;
    bool ImageMatchesDib() const;

    int FWidth = 0;
    int FHeight = 0;
    TPixelFormat FFormat = pfDevice;
    std::vector<COLORREF> FPalette;
    HBITMAP FHandle = nullptr;           // the 32-bit working image
    TDibImage FDib;                      // the layout of the pixel format
    bool FImageValid = true;
    bool FDibValid = false;
    std::vector<std::uint8_t> FSource;   // the bytes read, until the pixels change
    std::unique_ptr<TBitmapCanvas> FCanvas;
    mutable HPALETTE FPaletteHandle = nullptr;
    HBITMAP FMaskHandle = nullptr;
    TColor FTransparentColor = clDefault;
    TTransparentMode FTransparentMode = tmAuto;
};

// Copies the source rectangle stretched into the destination rectangle through a monochrome mask
// of the source's size at (mx, my): where the mask is white the destination stays, where it is
// black the source replaces it (stretched with the destination's stretch mode). False on a bad
// handle or a source rectangle of negative size.
bool TransparentStretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, HDC mask,
                           int mx, int my);

class TBitmapCanvas : public TCanvas {
    TESS_CLASS(TBitmapCanvas, TCanvas)
public:
    explicit TBitmapCanvas(TBitmap* bitmap) : FBitmap(bitmap) {}
    ~TBitmapCanvas() override;
    void FreeContext();

protected:
    void CreateHandle() override;
    void Changing() override;
    void Changed() override;

private:
    TBitmap* FBitmap;
    HDC FDC = nullptr;
    HGDIOBJ FOldBitmap = nullptr;
};
