#pragma once
// One run of the JPEG decoding fuzz target: the bytes are JPEG data for the decoder, with one of
// four option sets picked by the input's length. Decoding either raises EJPEGException or gives
// a BMP that the layer's own BMP reader takes; anything else aborts the run.

#include "reportexport/JpgImg.h"

#include "platform/gui/BmpCodec.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace JpegDecodeFuzz {

// Frames that claim more pixels than this are not run: they only cost time.
constexpr long long MaxFuzzPixels = 1 << 20;

inline bool ClaimsTooMuch(const std::uint8_t* data, std::size_t size)
{
    for (std::size_t i = 0; i + 9 <= size; ++i) {
        const std::uint8_t marker = data[i + 1];
        if (data[i] != 0xFF || marker < 0xC0 || marker > 0xCF || marker == 0xC4 || marker == 0xC8 || marker == 0xCC)
            continue;
        const long long height = (data[i + 5] << 8) | data[i + 6];
        const long long width = (data[i + 7] << 8) | data[i + 8];
        if (width * height > MaxFuzzPixels)
            return true;
    }
    return false;
}

inline JpgImg::TJpegOptions OptionsFor(std::size_t size)
{
    JpgImg::TJpegOptions options;
    switch (size % 4) {
    case 1:
        options.NumOfColors = JpgImg::TrueColor;
        break;
    case 2:
        options.GrayScale = true;
        options.NumOfColors = JpgImg::_16;
        break;
    case 3:
        options.FastProcessing = true;
        break;
    default:
        break;
    }
    return options;
}

// The decoder's BMP must be one the layer reads.
inline void CheckBmp(TMemoryStream& bmp)
{
    const TDibImage image = BmpCodec::Read(reinterpret_cast<const std::uint8_t*>(bmp.Memory()),
                                           static_cast<std::size_t>(bmp.Size()));
    if (image.Width <= 0 || image.Height <= 0 || (image.Bits != 8 && image.Bits != 24))
        std::abort();
}

} // namespace JpegDecodeFuzz

inline void RunJpegDecodeFuzzCase(const std::uint8_t* data, std::size_t size)
{
    if (JpegDecodeFuzz::ClaimsTooMuch(data, size))
        return;
    TMemoryStream jpeg, bmp;
    jpeg.WriteBuffer(data, static_cast<int>(size));
    jpeg.SetPosition(0);
    try {
        JpgImg::DecompressToBmp(jpeg, bmp, JpegDecodeFuzz::OptionsFor(size), {});
    } catch (const EJPEGException& error) {
        if (error.Message == "There are warnings")
            JpegDecodeFuzz::CheckBmp(bmp);
        return;
    }
    JpegDecodeFuzz::CheckBmp(bmp);
}
