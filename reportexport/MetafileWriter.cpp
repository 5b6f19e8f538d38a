#include "reportexport/MetafileWriter.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/Metafile.h"
#include "platform/rtl/Streams.h"

#include <algorithm>

namespace MetafileWriter {

namespace {

constexpr std::uint32_t EmfHeaderSize = 108;
constexpr std::uint32_t EmfStretchDibFixedSize = 80;
constexpr std::uint32_t EmfEofSize = 20;
constexpr std::uint32_t EmrHeader = 1, EmrStretchDibits = 81, EmrEof = 14;
constexpr std::uint32_t SRCCOPY_ROP = 0x00CC0020;
constexpr std::uint16_t META_SETWINDOWORG = 0x020B;
constexpr std::uint16_t META_SETWINDOWEXT = 0x020C;
constexpr std::uint16_t META_STRETCHDIB = 0x0F43;
constexpr std::uint32_t PlaceableKey = 0x9AC6CDD7;
constexpr int BmpFileHeaderSize = 14;

// The reference device of the files: a 96 dpi screen, 1920 × 1440 pixels, 508 × 381 millimetres.
constexpr int DeviceWidth = 1920, DeviceHeight = 1440;
constexpr int DeviceMillimetresX = 508, DeviceMillimetresY = 381;

void Put16(std::string& bytes, std::uint16_t value)
{
    bytes += static_cast<char>(value & 0xFF);
    bytes += static_cast<char>(value >> 8);
}

void Put32(std::string& bytes, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void PutRect(std::string& bytes, int left, int top, int right, int bottom)
{
    Put32(bytes, static_cast<std::uint32_t>(left));
    Put32(bytes, static_cast<std::uint32_t>(top));
    Put32(bytes, static_cast<std::uint32_t>(right));
    Put32(bytes, static_cast<std::uint32_t>(bottom));
}

std::uint32_t Read32(const std::string& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

// The page as a DIB: the bitmap info header (with any colour table) and the pixel rows.
struct TPagePicture {
    int Width = 0;
    int Height = 0;
    std::string Dib;
    std::uint32_t InfoBytes = 0; // header and colour table; the rows follow
};

// The recording replayed one to one onto a white 24-bit bitmap of the metafile's size.
TPagePicture Replay(const TMetafile& metafile)
{
    TPagePicture picture;
    picture.Width = std::max(1, metafile.Width());
    picture.Height = std::max(1, metafile.Height());
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(picture.Width, picture.Height);
    if (metafile.Handle()) {
        const RECT area{0, 0, picture.Width, picture.Height};
        PlayEnhMetaFile(bitmap.Canvas()->Handle(), metafile.Handle(), &area);
    }
    TMemoryStream bmp;
    bitmap.SaveToStream(bmp);
    const std::string file(static_cast<const char*>(bmp.Memory()), static_cast<std::size_t>(bmp.Size()));
    picture.Dib = file.substr(BmpFileHeaderSize);
    picture.InfoBytes = Read32(file, 10) - BmpFileHeaderSize;
    return picture;
}

void WriteAll(TStream& stream, const std::string& bytes)
{
    stream.WriteBuffer(bytes.data(), static_cast<int>(bytes.size()));
}

} // namespace

std::string StretchDibRecordHead(std::uint32_t dibBytes, int width, int height)
{
    // Size, function and the parameters: 14 words before the DIB.
    const std::uint32_t words = 14 + (dibBytes + 1) / 2;
    const auto w = static_cast<std::uint16_t>(width), h = static_cast<std::uint16_t>(height);
    std::string head;
    Put32(head, words);
    Put16(head, META_STRETCHDIB);
    Put32(head, SRCCOPY_ROP);
    Put16(head, 0); // DIB_RGB_COLORS
    for (int rect = 0; rect < 2; ++rect) {
        Put16(head, h);
        Put16(head, w);
        Put16(head, 0);
        Put16(head, 0);
    }
    return head;
}

void WriteEnhancedMetafile(const TMetafile& metafile, TStream& stream)
{
    const TPagePicture picture = Replay(metafile);
    const int w = picture.Width, h = picture.Height;
    const auto stretchSize = static_cast<std::uint32_t>(EmfStretchDibFixedSize + picture.Dib.size());
    const std::uint32_t totalSize = EmfHeaderSize + stretchSize + EmfEofSize;

    std::string bytes;
    bytes.reserve(totalSize);
    Put32(bytes, EmrHeader);
    Put32(bytes, EmfHeaderSize);
    PutRect(bytes, 0, 0, w - 1, h - 1);
    PutRect(bytes, 0, 0, MulDiv(w, 2540, 96), MulDiv(h, 2540, 96));
    Put32(bytes, 0x464D4520); // " EMF"
    Put32(bytes, 0x10000);
    Put32(bytes, totalSize);
    Put32(bytes, 3);
    Put16(bytes, 1); // handles: the reserved index 0 only
    Put16(bytes, 0);
    Put32(bytes, 0); // description: none
    Put32(bytes, 0);
    Put32(bytes, 0); // palette entries
    Put32(bytes, DeviceWidth);
    Put32(bytes, DeviceHeight);
    Put32(bytes, DeviceMillimetresX);
    Put32(bytes, DeviceMillimetresY);
    Put32(bytes, 0); // pixel format: none
    Put32(bytes, 0);
    Put32(bytes, 0); // not OpenGL
    Put32(bytes, DeviceMillimetresX * 1000);
    Put32(bytes, DeviceMillimetresY * 1000);

    Put32(bytes, EmrStretchDibits);
    Put32(bytes, stretchSize);
    PutRect(bytes, 0, 0, w - 1, h - 1);
    Put32(bytes, 0); // destination x, y
    Put32(bytes, 0);
    Put32(bytes, 0); // source x, y, width, height
    Put32(bytes, 0);
    Put32(bytes, static_cast<std::uint32_t>(w));
    Put32(bytes, static_cast<std::uint32_t>(h));
    Put32(bytes, EmfStretchDibFixedSize);
    Put32(bytes, picture.InfoBytes);
    Put32(bytes, EmfStretchDibFixedSize + picture.InfoBytes);
    Put32(bytes, static_cast<std::uint32_t>(picture.Dib.size()) - picture.InfoBytes);
    Put32(bytes, 0); // DIB_RGB_COLORS
    Put32(bytes, SRCCOPY_ROP);
    Put32(bytes, static_cast<std::uint32_t>(w));
    Put32(bytes, static_cast<std::uint32_t>(h));
    bytes += picture.Dib;

    Put32(bytes, EmrEof);
    Put32(bytes, EmfEofSize);
    Put32(bytes, 0); // palette entries
    Put32(bytes, 16);
    Put32(bytes, EmfEofSize);
    WriteAll(stream, bytes);
}

void WriteWindowsMetafile(const TMetafile& metafile, TStream& stream)
{
    TPagePicture picture = Replay(metafile);
    const auto w = static_cast<std::uint16_t>(picture.Width), h = static_cast<std::uint16_t>(picture.Height);
    if (picture.Dib.size() % 2 != 0)
        picture.Dib += '\0';
    const std::string stretch =
        StretchDibRecordHead(static_cast<std::uint32_t>(picture.Dib.size()), picture.Width, picture.Height);
    const std::uint32_t stretchWords = Read32(stretch, 0);
    constexpr std::uint32_t HeaderWords = 9, WindowRecordWords = 5, EofWords = 3;
    const std::uint32_t totalWords = HeaderWords + 2 * WindowRecordWords + stretchWords + EofWords;

    std::string bytes;
    Put32(bytes, PlaceableKey);
    Put16(bytes, 0);
    Put16(bytes, 0);
    Put16(bytes, 0);
    Put16(bytes, w);
    Put16(bytes, h);
    Put16(bytes, 96);
    Put32(bytes, 0);
    std::uint16_t checksum = 0;
    for (std::size_t at = 0; at < bytes.size(); at += 2)
        checksum ^= static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                               (static_cast<unsigned char>(bytes[at + 1]) << 8));
    Put16(bytes, checksum);

    Put16(bytes, 1); // in memory
    Put16(bytes, HeaderWords);
    Put16(bytes, 0x0300);
    Put32(bytes, totalWords);
    Put16(bytes, 0); // objects
    Put32(bytes, stretchWords);
    Put16(bytes, 0);

    Put32(bytes, WindowRecordWords);
    Put16(bytes, META_SETWINDOWORG);
    Put16(bytes, 0);
    Put16(bytes, 0);
    Put32(bytes, WindowRecordWords);
    Put16(bytes, META_SETWINDOWEXT);
    Put16(bytes, h);
    Put16(bytes, w);

    bytes += stretch;
    bytes += picture.Dib;

    Put32(bytes, EofWords);
    Put16(bytes, 0);
    WriteAll(stream, bytes);
}

void InstallMetafileWriters()
{
    SetMetafileWriter(true, WriteEnhancedMetafile);
    SetMetafileWriter(false, WriteWindowsMetafile);
}

void RemoveMetafileWriters()
{
    SetMetafileWriter(true, nullptr);
    SetMetafileWriter(false, nullptr);
}

} // namespace MetafileWriter
