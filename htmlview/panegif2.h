#pragma once
// TGif: reads a GIF87a or GIF89a file into memory (logical screen, colour tables, frames with
// their extensions and their pixels, one colour index each) and composes the frames into one
// wide 24-bit strip with a transparency mask. Format errors raise EInvalidGraphicOperation
// "TGif: <message>".

#include "platform/gui/Bitmap.h"
#include "platform/gui/GdiObjects.h"
#include "platform/rtl/Streams.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace panegif2 {

// Limits that keep a hostile file from claiming gigabytes: one frame's pixels, all frames'
// pixels together, the composed strip's bytes, and the sides of the layer's bitmaps.
constexpr std::int64_t MaxFramePixels = 16777216;
constexpr std::int64_t MaxTotalPixels = 256ll * 1024 * 1024;
constexpr std::int64_t MaxStripBytes = 256ll * 1024 * 1024;
constexpr std::int64_t MaxBitmapSide = 32767;

// The colour that marks transparent pixels in the per-frame bitmaps: red 37, green 7, blue 23.
constexpr TColor TransparentMarker = 1509157;

constexpr std::uint8_t ImageSeparator = 0x2C, ExtensionIntroducer = 0x21, Trailer = 0x3B;
constexpr std::uint8_t GraphicControlLabel = 0xF9, CommentLabel = 0xFE, PlainTextLabel = 0x01,
                       ApplicationLabel = 0xFF;

// The message of an error code (0..25); code 6 carries its own text.
const char* GifErrorMessage(int code);

} // namespace panegif2

struct TGifScreen {
    int Width = 0;
    int Height = 0;
    std::uint8_t HasGlobalTable = 0;
    int ColorResolution = 0;
    std::uint8_t Sorted = 0;
    int GlobalTableSize = 0;
    int BackgroundIndex = 0;
    int AspectRatio = 0;
    int GlobalTableIndex = -1;
};

// Entry i is the colour R + 256 G + 65536 B; entries past Count stay 0 (black).
struct TGifColorTable {
    int Count = 0;
    std::array<TColor, 256> Colors{};
};

struct TGifSubBlock {
    std::uint8_t Size = 0;
    std::string Data;
};

// One extension block; the fields of the kinds other than its label stay 0.
struct TGifExtensionRec {
    std::uint8_t Label = 0;
    // graphic control
    std::uint8_t BlockSize = 0;
    int Disposal = 0;
    std::uint8_t UserInput = 0;
    std::uint8_t TransparentFlag = 0;
    int Delay = 0; // 1/100 s
    int TransparentIndex = 0;
    // plain text
    int GridLeft = 0, GridTop = 0, GridWidth = 0, GridHeight = 0;
    std::uint8_t CellWidth = 0, CellHeight = 0, ForegroundIndex = 0, BackgroundIndex = 0;
    // application
    std::string Identifier;     // 8 bytes
    std::string Authentication; // 3 bytes
    // comment, plain text and application data
    std::vector<TGifSubBlock> SubBlocks;
};

struct TGifImageDescriptor {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    std::uint8_t HasLocalTable = 0;
    std::uint8_t Interlaced = 0;
    std::uint8_t Sorted = 0;
    int LocalTableSize = 0;
    int ColorTableIndex = -1;
    int CodeSize = 0;
    std::vector<TGifExtensionRec> Extensions;
    std::vector<std::uint8_t> Pixels; // Width x Height colour indexes, row by row
    std::int64_t PixelCount = 0;
    std::unique_ptr<TBitmap> Bitmap;
};

// The state of decoding one frame's LZW codes.
struct TGifLzwState {
    static constexpr int TableSize = 4096;
    TGifImageDescriptor* Image = nullptr;
    const TGifColorTable* Table = nullptr;
    std::array<std::uint16_t, TableSize> Prefix{};
    std::array<std::uint8_t, TableSize> Suffix{};
    std::array<std::uint8_t, TableSize> Stack{};
    int StackLength = 0;
    int ClearCode = 0;
    int EndCode = 0;
    int HighCode = 0;
    int CodeSize = 0;
    std::uint32_t BitBuffer = 0;
    int BitCount = 0;
    int NextSlot = 0;
    int TopSlot = 0;
    int X = 0;
    int Y = 0;
    int Pass = 0;
    std::int64_t PixelsWritten = 0;
    std::size_t ReadPosition = 0;
    bool DataUsedUp = false;
};

class TGif : public TObject {
    TESS_CLASS(TGif, TObject)
public:
    TGif();
    ~TGif() override;
    TGif(const TGif&) = delete;
    TGif& operator=(const TGif&) = delete;

    // Reads a whole GIF from the stream's beginning.
    void LoadFromStream(TStream& Stream);
    void FreeImage();

    int GetWidth() const { return FScreen.Width; }
    int GetHeight() const { return FScreen.Height; }
    int GetImageCount() const { return static_cast<int>(FImages.size()); }
    int GetImageLeft(int I) const { return Image(I).Left; }
    int GetImageTop(int I) const { return Image(I).Top; }
    int GetImageWidth(int I) const { return Image(I).Width; }
    int GetImageHeight(int I) const { return Image(I).Height; }
    int GetImageDepth(int I) const;
    const TGifImageDescriptor& GetImageDescriptor(int I) const { return Image(I); }
    const TGifColorTable& GetColorTable(int I) const;
    int GetColorTableCount() const { return static_cast<int>(FColorTables.size()); }
    const TGifScreen& GetScreenDescriptor() const { return FScreen; }
    std::string GetSignature() const { return std::string(FHeader.begin(), FHeader.end()); }
    // 1/100 s; 1 when the frame has no delay.
    int GetImageDelay(int I) const;
    int GetImageDisposal(int I) const;
    int GetTransparentIndex(int I) const;
    bool GetTransparent() const;
    TColor GetTransparentColor() const { return panegif2::TransparentMarker; }
    int GetColorIndex(int I, int X, int Y) const;
    static int FindColorIndex(TColor Color, const TGifColorTable& Table);
    // The frame's first graphic control extension, nullptr when it has none.
    const TGifExtensionRec* FindGraphicExtension(int I) const;
    // The frame's own bitmap, made on first use; the decoder owns it.
    TBitmap* GetBitmap(int I);
    // All frames composed side by side, and the mask (nullptr when no frame is transparent);
    // the caller owns both.
    std::unique_ptr<TBitmap> GetStripBitmap(std::unique_ptr<TBitmap>& Mask);
    // The same, composed into Strip (which becomes a 24-bit bitmap).
    void ComposeStrip(TBitmap& Strip, std::unique_ptr<TBitmap>& Mask);

    // The error of the last load: code and message (0, "no error" after a good one).
    int LastErrorCode() const { return FLastErrorCode; }
    const std::string& LastErrorMessage() const { return FLastErrorMessage; }

    // Loop count of a NETSCAPE application extension; -1 without one.
    int FIterations = -1;

private:
    const TGifImageDescriptor& Image(int I) const;
    [[noreturn]] void Fail(int code, const std::string& special = {});
    // Reading from FSource; a byte past the end reads as 0.
    std::uint8_t ReadByte();
    int ReadWord();
    bool AtEnd() const { return FSourcePosition >= FSource.size(); }
    void ReadColorTable(int count);
    void ReadImage();
    void ReadExtension();
    void ReadSubBlocks(std::vector<TGifSubBlock>* blocks);
    void ReadDataBlocks(std::vector<std::uint8_t>& data);
    void CheckFrameLimits(std::int64_t framePixels);
    void CheckStripLimits();
    void DecodeImage(TGifImageDescriptor& image);
    void ResetTable(TGifLzwState& state, int codeSizeByte);
    int ReadCode(TGifLzwState& state);
    void PushString(TGifLzwState& state, int code);
    void GrowCode(TGifLzwState& state);
    void OutputStack(TGifLzwState& state);
    void PutPixel(TGifLzwState& state, std::uint8_t pixel);
    void MakeBitmaps();

    std::vector<std::uint8_t> FSource;
    std::size_t FSourcePosition = 0;
    std::vector<std::uint8_t> FCodeData;
    std::vector<TGifExtensionRec> FPendingExtensions;
    std::array<char, 6> FHeader{'-', '-', '-', '-', '-', '-'};
    TGifScreen FScreen;
    std::vector<std::unique_ptr<TGifImageDescriptor>> FImages;
    std::vector<std::unique_ptr<TGifColorTable>> FColorTables;
    std::unique_ptr<TGifLzwState> FDecoder;
    std::int64_t FTotalPixels = 0;
    int FLastErrorCode = 0;
    std::string FLastErrorMessage = "no error";
};
