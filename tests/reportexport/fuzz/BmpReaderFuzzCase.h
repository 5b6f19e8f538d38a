#pragma once
// One run of the BMP reader fuzz target: the bytes are a BMP file for the JPEG encoder's reader,
// with one of three option sets picked by the input's length. Encoding either raises
// EJPEGException or gives a JPEG that decodes back at the width and height of the BMP's header;
// anything else aborts the run.

#include "reportexport/JpgImg.h"

#include <cstdint>
#include <cstdlib>

namespace BmpReaderFuzz {

inline JpgImg::TJpegOptions OptionsFor(std::size_t size)
{
    JpgImg::TJpegOptions options;
    if (size % 3 == 1)
        options.GrayScale = true;
    if (size % 3 == 2) {
        options.Progressive = true;
        options.FastProcessing = true;
    }
    return options;
}

// Width and height as the info header gives them.
inline void HeaderSize(const std::uint8_t* data, long& width, long& height)
{
    const auto le16 = [data](int at) { return static_cast<long>(data[at] | (data[at + 1] << 8)); };
    const auto le32 = [data](int at) {
        return static_cast<long>(static_cast<std::int32_t>(data[at] | (data[at + 1] << 8) | (data[at + 2] << 16) |
                                                           (std::uint32_t(data[at + 3]) << 24)));
    };
    if (data[14] == 12) {
        width = le16(18);
        height = le16(20);
    } else {
        width = le32(18);
        height = le32(22);
    }
}

} // namespace BmpReaderFuzz

inline void RunBmpReaderFuzzCase(const std::uint8_t* data, std::size_t size)
{
    TMemoryStream bmp, jpeg, back;
    bmp.WriteBuffer(data, static_cast<int>(size));
    bmp.SetPosition(0);
    try {
        JpgImg::CompressBmp(bmp, jpeg, BmpReaderFuzz::OptionsFor(size), {});
    } catch (const EJPEGException&) {
        return;
    }
    long width = 0, height = 0;
    BmpReaderFuzz::HeaderSize(data, width, height);
    jpeg.SetPosition(0);
    JpgImg::TJpegOptions trueColor;
    trueColor.NumOfColors = JpgImg::TrueColor;
    JpgImg::DecompressToBmp(jpeg, back, trueColor, {});
    const auto* out = reinterpret_cast<const std::uint8_t*>(back.Memory());
    long backWidth = 0, backHeight = 0;
    BmpReaderFuzz::HeaderSize(out, backWidth, backHeight);
    if (backWidth != width || backHeight != height)
        std::abort();
}
