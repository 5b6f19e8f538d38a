#include "htmlview/panegif2.h"

#include "platform/rtl/Formats.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace panegif2 {

namespace {

const char* const GifErrors[26] = {
    "no error",
    "Invalid GIF Signature Code",
    "No Local or Global Color Table for Image",
    "Unknown Graphics Extension Type",
    "Unknown Graphics Operation Code",
    "Invalid Extension Block Size",
    "[special message]",
    "Invalid Extension Block Terminator",
    "Invalid Integer Size",
    "No GIF Terminator Found",
    "Extension Block Out-Of-Order With Image Data",
    "Invalid Image Descriptor Index",
    "Invalid LZW Code Size",
    "Invalid LZW Data Format",
    "LZW Code Overflow",
    "Value Out Of Range",
    "NIL Pointer assigned",
    "Invalid Color Table Size",
    "No Image Description",
    "Invalid Bitmap Image",
    "Invalid Color Table Index",
    "Invalid Interlace Pass",
    "Invalid Bitmap",
    "Too Many Colors In Bitmap",
    "Unexpected end of file",
    "next message",
};

constexpr int ErrSignature = 1, ErrNoColorTable = 2, ErrUnknownOperation = 4, ErrExtensionSize = 5,
              ErrUnknownExtension = 6, ErrExtensionTerminator = 7, ErrCodeSize = 12, ErrLzwData = 13,
              ErrOutOfRange = 15, ErrNoImage = 18, ErrEndOfFile = 24;

// Interlaced rows: the first row and the step of passes 1 to 4.
constexpr int PassStart[5] = {0, 0, 4, 2, 1};
constexpr int PassStep[5] = {8, 8, 8, 4, 2};

std::int64_t RowBytes(std::int64_t width) { return (width * 3 + 3) / 4 * 4; }

// The sides the layer's bitmaps accept.
bool FitsBitmap(std::int64_t width, std::int64_t height) { return width <= MaxBitmapSide && height <= MaxBitmapSide; }

// A black 24-bit picture of the given size.
TDibImage BlackDib(int width, int height)
{
    TDibImage dib;
    dib.Width = width;
    dib.Height = height;
    dib.Bits = 24;
    dib.Rows.assign(static_cast<std::size_t>(dib.RowSize()) * static_cast<std::size_t>(height), 0);
    return dib;
}

// A monochrome picture of one byte per pixel (1 white, 0 black), packed as a 1-bit DIB.
TDibImage MonochromeDib(const std::vector<std::uint8_t>& white, int width, int height)
{
    TDibImage dib;
    dib.Width = width;
    dib.Height = height;
    dib.Bits = 1;
    dib.Palette = {0x000000, 0xFFFFFF};
    dib.Rows.assign(static_cast<std::size_t>(dib.RowSize()) * static_cast<std::size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = dib.Row(y);
        const std::uint8_t* pixels = white.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (int x = 0; x < width; ++x)
            if (pixels[x])
                row[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
    }
    return dib;
}

void PutColor(std::uint8_t* pixel, TColor color)
{
    pixel[0] = static_cast<std::uint8_t>(color >> 16); // blue
    pixel[1] = static_cast<std::uint8_t>(color >> 8);  // green
    pixel[2] = static_cast<std::uint8_t>(color);       // red
}

} // namespace

const char* GifErrorMessage(int code) { return code >= 0 && code < 26 ? GifErrors[code] : GifErrors[25]; }

} // namespace panegif2

using namespace panegif2;

TGif::TGif() = default;

TGif::~TGif() { FreeImage(); }

void TGif::FreeImage()
{
    FSource.clear();
    FSource.shrink_to_fit();
    FSourcePosition = 0;
    FCodeData.clear();
    FPendingExtensions.clear();
    FHeader = {'-', '-', '-', '-', '-', '-'};
    FScreen = TGifScreen{};
    FImages.clear();
    FColorTables.clear();
    FDecoder.reset();
    FTotalPixels = 0;
    FIterations = -1;
}

void TGif::Fail(int code, const std::string& special)
{
    FLastErrorCode = code;
    FLastErrorMessage = code == ErrUnknownExtension ? special : GifErrorMessage(code);
    throw EInvalidGraphicOperation("TGif: " + FLastErrorMessage);
}

const TGifImageDescriptor& TGif::Image(int I) const
{
    if (I < 0 || I >= GetImageCount())
        const_cast<TGif*>(this)->Fail(ErrOutOfRange);
    return *FImages[static_cast<std::size_t>(I)];
}

const TGifColorTable& TGif::GetColorTable(int I) const
{
    if (I < 0 || I >= GetColorTableCount())
        const_cast<TGif*>(this)->Fail(ErrOutOfRange);
    return *FColorTables[static_cast<std::size_t>(I)];
}

int TGif::GetImageDepth(int I) const { return GetColorTable(Image(I).ColorTableIndex).Count; }

// ---- Reading the file

std::uint8_t TGif::ReadByte() { return AtEnd() ? 0 : FSource[FSourcePosition++]; }

int TGif::ReadWord()
{
    const int low = ReadByte();
    return low | (ReadByte() << 8);
}

void TGif::LoadFromStream(TStream& Stream)
{
    FreeImage();
    FLastErrorCode = 0;
    FLastErrorMessage = GifErrorMessage(0);
    Stream.SetPosition(0);
    const std::int64_t size = Stream.Size();
    FSource.resize(static_cast<std::size_t>(std::clamp<std::int64_t>(size, 0, 0x7FFFFFFF)));
    FSource.resize(static_cast<std::size_t>(std::max(Stream.Read(FSource.data(), static_cast<int>(FSource.size())), 0)));

    FCodeData.reserve(FSource.size());
    for (char& letter : FHeader)
        letter = static_cast<char>(ReadByte());
    std::string signature = GetSignature();
    for (char& letter : signature)
        letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    if (signature != "GIF87A" && signature != "GIF89A")
        Fail(ErrSignature);

    FScreen.Width = ReadWord();
    FScreen.Height = ReadWord();
    const std::uint8_t packed = ReadByte();
    FScreen.HasGlobalTable = (packed & 0x80) ? 1 : 0;
    FScreen.ColorResolution = ((packed >> 4) & 7) + 1;
    FScreen.Sorted = (packed & 0x08) ? 1 : 0;
    FScreen.GlobalTableSize = 1 << ((packed & 7) + 1);
    FScreen.BackgroundIndex = ReadByte();
    FScreen.AspectRatio = ReadByte();
    if (FScreen.HasGlobalTable) {
        ReadColorTable(FScreen.GlobalTableSize);
        FScreen.GlobalTableIndex = GetColorTableCount() - 1;
    }

    bool more = true;
    while (more) {
        const std::uint8_t block = ReadByte();
        if (block == 0 || block == Trailer)
            more = false;
        else if (block == ImageSeparator)
            ReadImage();
        else if (block == ExtensionIntroducer) {
            try {
                ReadExtension();
            } catch (const EInvalidGraphicOperation&) {
                // A damaged comment after the pictures ends the file; everything else fails it.
                if (FPendingExtensions.empty() || FPendingExtensions.back().Label != CommentLabel || FImages.empty())
                    throw;
                more = false;
            }
        } else
            Fail(ErrUnknownOperation);
    }
    if (FImages.empty())
        Fail(ErrNoImage);
    FSource.clear();
    FSource.shrink_to_fit();
    FCodeData.clear();
    FCodeData.shrink_to_fit();
    FPendingExtensions.clear();
}

void TGif::ReadColorTable(int count)
{
    auto table = std::make_unique<TGifColorTable>();
    table->Count = count;
    for (int i = 0; i < count; ++i) {
        const TColor red = ReadByte();
        const TColor green = ReadByte();
        const TColor blue = ReadByte();
        table->Colors[static_cast<std::size_t>(i)] = red | (green << 8) | (blue << 16);
    }
    FColorTables.push_back(std::move(table));
}

void TGif::CheckFrameLimits(std::int64_t framePixels)
{
    if (framePixels > MaxFramePixels || FTotalPixels + framePixels > MaxTotalPixels)
        Fail(ErrOutOfRange);
    CheckStripLimits();
}

void TGif::CheckStripLimits()
{
    const std::int64_t stripWidth = static_cast<std::int64_t>(FScreen.Width) * GetImageCount();
    if (RowBytes(stripWidth) * FScreen.Height > MaxStripBytes || !FitsBitmap(stripWidth, FScreen.Height))
        Fail(ErrOutOfRange);
}

void TGif::ReadImage()
{
    FImages.push_back(std::make_unique<TGifImageDescriptor>());
    TGifImageDescriptor& image = *FImages.back();
    FCodeData.clear();
    image.Extensions = std::move(FPendingExtensions);
    FPendingExtensions.clear();

    image.Left = ReadWord();
    image.Top = ReadWord();
    image.Width = ReadWord();
    image.Height = ReadWord();
    const std::uint8_t packed = ReadByte();
    image.HasLocalTable = (packed & 0x80) ? 1 : 0;
    image.Interlaced = (packed & 0x40) ? 1 : 0;
    image.Sorted = (packed & 0x20) ? 1 : 0;
    image.LocalTableSize = 1 << ((packed & 7) + 1);
    if (image.HasLocalTable) {
        ReadColorTable(image.LocalTableSize);
        image.ColorTableIndex = GetColorTableCount() - 1;
    } else if (FScreen.GlobalTableIndex >= 0)
        image.ColorTableIndex = FScreen.GlobalTableIndex;
    else
        Fail(ErrNoColorTable);

    image.CodeSize = ReadByte();
    ReadDataBlocks(FCodeData);

    const std::int64_t pixelCount = static_cast<std::int64_t>(image.Width) * image.Height;
    CheckFrameLimits(pixelCount);
    image.Pixels.assign(static_cast<std::size_t>(pixelCount), 0);
    image.PixelCount = pixelCount;
    FTotalPixels += image.PixelCount;
    DecodeImage(image);
}

void TGif::ReadDataBlocks(std::vector<std::uint8_t>& data)
{
    for (;;) {
        const std::size_t length = ReadByte();
        if (length == 0)
            return;
        if (FSource.size() - FSourcePosition < length)
            Fail(ErrEndOfFile);
        data.insert(data.end(), FSource.begin() + static_cast<std::ptrdiff_t>(FSourcePosition),
                    FSource.begin() + static_cast<std::ptrdiff_t>(FSourcePosition + length));
        FSourcePosition += length;
    }
}

void TGif::ReadSubBlocks(std::vector<TGifSubBlock>* blocks)
{
    for (;;) {
        const std::uint8_t length = ReadByte();
        if (length == 0)
            return;
        if (FSource.size() - FSourcePosition < length)
            Fail(ErrEndOfFile);
        blocks->push_back({length, std::string(reinterpret_cast<const char*>(FSource.data() + FSourcePosition), length)});
        FSourcePosition += length;
    }
}

void TGif::ReadExtension()
{
    FPendingExtensions.emplace_back();
    const std::uint8_t label = ReadByte();
    FPendingExtensions.back().Label = label;
    TGifExtensionRec& extension = FPendingExtensions.back();
    switch (label) {
    case GraphicControlLabel: {
        extension.BlockSize = ReadByte();
        if (extension.BlockSize != 4)
            Fail(ErrExtensionSize);
        const std::uint8_t packed = ReadByte();
        extension.Disposal = (packed >> 2) & 7;
        extension.UserInput = (packed >> 1) & 1;
        extension.TransparentFlag = packed & 1;
        extension.Delay = ReadWord();
        extension.TransparentIndex = ReadByte();
        if (ReadByte() != 0)
            Fail(ErrExtensionTerminator);
        break;
    }
    case CommentLabel:
        ReadSubBlocks(&extension.SubBlocks);
        break;
    case PlainTextLabel:
        extension.BlockSize = ReadByte();
        if (extension.BlockSize != 12)
            Fail(ErrExtensionSize);
        extension.GridLeft = ReadWord();
        extension.GridTop = ReadWord();
        extension.GridWidth = ReadWord();
        extension.GridHeight = ReadWord();
        extension.CellWidth = ReadByte();
        extension.CellHeight = ReadByte();
        extension.ForegroundIndex = ReadByte();
        extension.BackgroundIndex = ReadByte();
        ReadSubBlocks(&extension.SubBlocks);
        break;
    case ApplicationLabel:
        extension.BlockSize = ReadByte();
        if (extension.BlockSize != 11)
            Fail(ErrExtensionSize);
        for (int i = 0; i < 8; ++i)
            extension.Identifier += static_cast<char>(ReadByte());
        for (int i = 0; i < 3; ++i)
            extension.Authentication += static_cast<char>(ReadByte());
        ReadSubBlocks(&extension.SubBlocks);
        // The looping extension of animated GIFs ("NETSCAPE2.0"): sub-block 1, then the count.
        if (extension.Identifier == "NETSCAPE" && !extension.SubBlocks.empty() && extension.SubBlocks[0].Size == 3) {
            const std::string& data = extension.SubBlocks[0].Data;
            FIterations = static_cast<std::uint8_t>(data[1]) | (static_cast<std::uint8_t>(data[2]) << 8);
        }
        break;
    default:
        Fail(ErrUnknownExtension, Format("unknown extension: %.4x", {static_cast<int>(label)}));
    }
}

// ---- LZW decoding

void TGif::ResetTable(TGifLzwState& state, int codeSizeByte)
{
    state.CodeSize = codeSizeByte + 1;
    state.NextSlot = state.EndCode + 1;
    state.TopSlot = 1 << state.CodeSize;
}

int TGif::ReadCode(TGifLzwState& state)
{
    while (state.BitCount < state.CodeSize) {
        if (state.ReadPosition >= FCodeData.size()) {
            state.DataUsedUp = true;
            ++state.ReadPosition;
        } else
            state.BitBuffer |= static_cast<std::uint32_t>(FCodeData[state.ReadPosition++]) << state.BitCount;
        state.BitCount += 8;
    }
    const int code = static_cast<int>(state.BitBuffer & ((1u << state.CodeSize) - 1));
    state.BitBuffer >>= state.CodeSize;
    state.BitCount -= state.CodeSize;
    return code;
}

// Pushes the string of code, last pixel first; code must lie below NextSlot.
void TGif::PushString(TGifLzwState& state, int code)
{
    while (code > state.HighCode) {
        if (state.StackLength >= TGifLzwState::TableSize || code >= TGifLzwState::TableSize)
            Fail(ErrLzwData);
        state.Stack[static_cast<std::size_t>(state.StackLength++)] = state.Suffix[static_cast<std::size_t>(code)];
        code = state.Prefix[static_cast<std::size_t>(code)];
    }
    if (state.StackLength >= TGifLzwState::TableSize)
        Fail(ErrLzwData);
    state.Stack[static_cast<std::size_t>(state.StackLength++)] = static_cast<std::uint8_t>(code);
}

void TGif::GrowCode(TGifLzwState& state)
{
    if (state.NextSlot >= state.TopSlot && state.CodeSize <= 11) {
        state.TopSlot *= 2;
        ++state.CodeSize;
    }
}

void TGif::PutPixel(TGifLzwState& state, std::uint8_t pixel)
{
    TGifImageDescriptor& image = *state.Image;
    if (state.Y < image.Height && state.X < image.Width)
        image.Pixels[static_cast<std::size_t>(state.Y) * static_cast<std::size_t>(image.Width) +
                     static_cast<std::size_t>(state.X)] = pixel;
    ++state.PixelsWritten;
    if (++state.X < image.Width)
        return;
    state.X = 0;
    if (!image.Interlaced) {
        ++state.Y;
        return;
    }
    // Past the last pass the rows run beyond the frame and the surplus is dropped.
    state.Y += PassStep[state.Pass];
    while (state.Y >= image.Height && state.Pass < 4) {
        ++state.Pass;
        state.Y = PassStart[state.Pass];
    }
}

void TGif::OutputStack(TGifLzwState& state)
{
    TGifImageDescriptor& image = *state.Image;
    while (state.StackLength > 0) {
        const std::uint8_t pixel = state.Stack[static_cast<std::size_t>(--state.StackLength)];
        if (state.Y >= image.Height) {
            state.StackLength = 0; // the frame is full
            return;
        }
        PutPixel(state, pixel);
    }
}

void TGif::DecodeImage(TGifImageDescriptor& image)
{
    const int codeSizeByte = image.CodeSize;
    if (codeSizeByte > 11)
        Fail(ErrCodeSize);
    FDecoder = std::make_unique<TGifLzwState>();
    TGifLzwState& state = *FDecoder;
    state.Image = &image;
    state.Table = FColorTables[static_cast<std::size_t>(image.ColorTableIndex)].get();
    state.ClearCode = 1 << codeSizeByte;
    state.EndCode = state.ClearCode + 1;
    state.HighCode = state.ClearCode - 1;
    // A stream that does not begin with a clear code starts from the table a clear code leaves.
    ResetTable(state, codeSizeByte);
    state.Pass = image.Interlaced ? 1 : 0;
    if (image.Width == 0 || image.Height == 0) {
        FDecoder.reset();
        return;
    }

    int code = ReadCode(state);
    int old = code;
    bool tableFresh = true; // the next code is the first since the table was set up
    while (code != state.EndCode && !state.DataUsedUp && state.Y < image.Height) {
        if (code == state.ClearCode || tableFresh) {
            if (code == state.ClearCode) {
                ResetTable(state, codeSizeByte);
                do
                    code = ReadCode(state);
                while (code == state.ClearCode && !state.DataUsedUp);
                if (code == state.EndCode)
                    Fail(ErrLzwData);
            }
            // The first code of a table adds no entry.
            if (code >= state.NextSlot)
                code = 0;
            PushString(state, code);
            old = code;
            tableFresh = false;
        } else if (code < state.NextSlot) {
            PushString(state, code);
            const std::uint8_t first = state.Stack[static_cast<std::size_t>(state.StackLength - 1)];
            if (state.NextSlot < TGifLzwState::TableSize) {
                state.Prefix[static_cast<std::size_t>(state.NextSlot)] = static_cast<std::uint16_t>(old);
                state.Suffix[static_cast<std::size_t>(state.NextSlot)] = first;
                ++state.NextSlot;
            }
            old = code;
            GrowCode(state);
        } else if (code == state.NextSlot) {
            int walk = old;
            for (int steps = 0; walk > state.HighCode; ++steps) {
                if (steps >= TGifLzwState::TableSize || walk >= TGifLzwState::TableSize)
                    Fail(ErrLzwData);
                walk = state.Prefix[static_cast<std::size_t>(walk)];
            }
            // Codes are at most 12 bits, so the table has room for the code being defined.
            state.Prefix[static_cast<std::size_t>(state.NextSlot)] = static_cast<std::uint16_t>(old);
            state.Suffix[static_cast<std::size_t>(state.NextSlot)] = static_cast<std::uint8_t>(walk);
            ++state.NextSlot;
            GrowCode(state);
            PushString(state, code);
            old = code;
        } else
            Fail(ErrLzwData);
        OutputStack(state);
        if (!state.DataUsedUp)
            code = ReadCode(state);
    }
    FDecoder.reset();
}

// ---- Frame information

const TGifExtensionRec* TGif::FindGraphicExtension(int I) const
{
    for (const TGifExtensionRec& extension : Image(I).Extensions)
        if (extension.Label == GraphicControlLabel)
            return &extension;
    return nullptr;
}

int TGif::GetImageDelay(int I) const
{
    const TGifExtensionRec* extension = FindGraphicExtension(I);
    return extension && extension->Delay > 0 ? extension->Delay : 1;
}

int TGif::GetImageDisposal(int I) const
{
    const TGifExtensionRec* extension = FindGraphicExtension(I);
    return extension ? extension->Disposal % 4 : 0;
}

int TGif::GetTransparentIndex(int I) const
{
    const TGifExtensionRec* extension = FindGraphicExtension(I);
    return extension && extension->TransparentFlag ? extension->TransparentIndex : -1;
}

bool TGif::GetTransparent() const
{
    for (int i = 0; i < GetImageCount(); ++i)
        if (GetTransparentIndex(i) >= 0)
            return true;
    return false;
}

int TGif::GetColorIndex(int I, int X, int Y) const
{
    const TGifImageDescriptor& image = Image(I);
    if (X < 0 || Y < 0 || X >= image.Width || Y >= image.Height)
        const_cast<TGif*>(this)->Fail(ErrOutOfRange);
    return image.Pixels[static_cast<std::size_t>(Y) * static_cast<std::size_t>(image.Width) +
                        static_cast<std::size_t>(X)];
}

int TGif::FindColorIndex(TColor Color, const TGifColorTable& Table)
{
    for (int i = 0; i < Table.Count && i < 256; ++i)
        if (Table.Colors[static_cast<std::size_t>(i)] == Color)
            return i;
    return -1;
}

// ---- Bitmaps

void TGif::MakeBitmaps()
{
    for (int i = 0; i < GetImageCount(); ++i) {
        TGifImageDescriptor& image = *FImages[static_cast<std::size_t>(i)];
        if (image.Bitmap)
            continue;
        if (!FitsBitmap(image.Width, image.Height))
            Fail(ErrOutOfRange);
        // The marker goes into this frame's copy of its table: other frames may share the table.
        TGifColorTable table = GetColorTable(image.ColorTableIndex);
        const int transparent = GetTransparentIndex(i);
        const bool marked = transparent >= 0 && transparent < table.Count;
        if (marked)
            table.Colors[static_cast<std::size_t>(transparent)] = TransparentMarker;
        image.Bitmap = std::make_unique<TBitmap>();
        if (image.Width > 0 && image.Height > 0) {
            TDibImage dib = BlackDib(image.Width, image.Height);
            for (int y = 0; y < image.Height; ++y) {
                const std::uint8_t* pixels = image.Pixels.data() + static_cast<std::size_t>(y) * image.Width;
                std::uint8_t* row = dib.Row(y);
                for (int x = 0; x < image.Width; ++x)
                    PutColor(row + 3 * x, table.Colors[pixels[x]]);
            }
            image.Bitmap->LoadFromDib(std::move(dib));
        }
        if (marked) {
            image.Bitmap->SetTransparentColor(TransparentMarker);
            image.Bitmap->SetTransparentMode(tmFixed);
            image.Bitmap->SetTransparent(true);
        }
    }
}

TBitmap* TGif::GetBitmap(int I)
{
    Image(I);
    MakeBitmaps();
    return FImages[static_cast<std::size_t>(I)]->Bitmap.get();
}

std::unique_ptr<TBitmap> TGif::GetStripBitmap(std::unique_ptr<TBitmap>& Mask)
{
    auto strip = std::make_unique<TBitmap>();
    ComposeStrip(*strip, Mask);
    return strip;
}

void TGif::ComposeStrip(TBitmap& Strip, std::unique_ptr<TBitmap>& Mask)
{
    Mask.reset();
    CheckStripLimits();
    const int cellWidth = FScreen.Width;
    const int height = FScreen.Height;
    const int frames = GetImageCount();
    const int width = cellWidth * frames;
    const bool hasMask = GetTransparent();
    if (width == 0 || height == 0) {
        // A screen of no pixels gives empty bitmaps.
        Strip.SetSize(0, 0);
        if (hasMask)
            Mask = std::make_unique<TBitmap>();
        return;
    }
    // The pixels are composed in place and handed to the bitmaps without a copy; the mask is one
    // byte a pixel (1 = transparent) until it is packed.
    TDibImage strip = BlackDib(width, height);
    std::vector<std::uint8_t> mask(hasMask ? static_cast<std::size_t>(width) * static_cast<std::size_t>(height) : 0);
    const auto maskRow = [&mask, width](int y) { return mask.data() + static_cast<std::size_t>(y) * width; };

    for (int frame = 0; frame < frames; ++frame) {
        const TGifImageDescriptor& image = *FImages[static_cast<std::size_t>(frame)];
        const TGifColorTable& table = GetColorTable(image.ColorTableIndex);
        const int transparent = GetTransparentIndex(frame);
        const int left = frame * cellWidth + image.Left;
        const int visible = std::min(image.Width, cellWidth - image.Left);
        for (int y = 0; y < image.Height && image.Top + y < height; ++y) {
            std::uint8_t* row = strip.Row(image.Top + y) + 3 * left;
            std::uint8_t* transparency = hasMask ? maskRow(image.Top + y) + left : nullptr;
            const std::uint8_t* pixels = image.Pixels.data() + static_cast<std::size_t>(y) * image.Width;
            for (int x = 0; x < visible; ++x) {
                if (pixels[x] != transparent) {
                    PutColor(row + 3 * x, table.Colors[pixels[x]]);
                    if (hasMask)
                        transparency[x] = 0;
                } else if (frame == 0) {
                    std::memset(row + 3 * x, 0, 3);
                    transparency[x] = 1;
                }
            }
        }
        if (frame + 1 == frames)
            break;
        // The next frame starts from this one's picture.
        const int cellLeft = frame * cellWidth;
        for (int y = 0; y < height; ++y) {
            std::uint8_t* row = strip.Row(y);
            std::memcpy(row + 3 * (cellLeft + cellWidth), row + 3 * cellLeft, 3 * static_cast<std::size_t>(cellWidth));
            if (hasMask)
                std::memcpy(maskRow(y) + cellLeft + cellWidth, maskRow(y) + cellLeft,
                            static_cast<std::size_t>(cellWidth));
        }
        const int right = std::min(image.Left + image.Width, cellWidth);
        if (hasMask && GetImageDisposal(frame) == 2 && right > image.Left)
            for (int y = image.Top; y < std::min(image.Top + image.Height, height); ++y)
                std::memset(maskRow(y) + cellLeft + cellWidth + image.Left, 1,
                            static_cast<std::size_t>(right - image.Left));
    }
    if (hasMask) {
        auto bitmap = std::make_unique<TBitmap>();
        bitmap->LoadFromDib(MonochromeDib(mask, width, height));
        Mask = std::move(bitmap);
    }
    Strip.LoadFromDib(std::move(strip));
}
