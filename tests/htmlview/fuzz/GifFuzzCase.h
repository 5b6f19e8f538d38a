#pragma once
// One run of the picture fuzz target: any bytes go through the GIF decoder and its strip, the
// animated picture factory, the GIF and PNG transparency checks and the format sniffing. Only
// EInvalidGraphicOperation may leave the decoder, the factory never raises, the checks keep the
// stream where it was, and nothing decoded passes the size limits; anything else aborts the run.

#include "htmlview/ImageCache.h"
#include "htmlview/panegif1.h"
#include "htmlview/panegif2.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

inline void CheckGifWithinLimits(const ::TGif& gif)
{
    std::int64_t total = 0;
    for (int i = 0; i < gif.GetImageCount(); ++i) {
        const TGifImageDescriptor& image = gif.GetImageDescriptor(i);
        if (image.PixelCount > panegif2::MaxFramePixels ||
            image.Pixels.size() != static_cast<std::size_t>(image.PixelCount))
            std::abort();
        total += image.PixelCount;
    }
    if (total > panegif2::MaxTotalPixels)
        std::abort();
}

inline void RunGifFuzzCase(const std::uint8_t* data, std::size_t size)
{
    TMemoryStream stream;
    if (size > 0)
        stream.WriteBuffer(data, static_cast<int>(size));
    stream.SetPosition(0);

    ::TGif gif;
    try {
        gif.LoadFromStream(stream);
        CheckGifWithinLimits(gif);
        std::unique_ptr<TBitmap> mask;
        std::unique_ptr<TBitmap> strip = gif.GetStripBitmap(mask);
        const bool none = gif.GetWidth() == 0 || gif.GetHeight() == 0; // then the strip is empty
        if (strip->Width() != (none ? 0 : gif.GetWidth() * gif.GetImageCount()) ||
            strip->Height() != (none ? 0 : gif.GetHeight()) || (mask != nullptr) != gif.GetTransparent())
            std::abort();
    } catch (const EInvalidGraphicOperation&) {
        CheckGifWithinLimits(gif);
    }

    bool nonAnimated = false;
    std::unique_ptr<TGIFImage> picture = CreateAGifFromStream(nonAnimated, stream);
    if (picture != nullptr && (picture->FNumFrames < 1 || picture->FFrames.Count() != picture->FNumFrames ||
                               nonAnimated != (picture->FNumFrames < 2)))
        std::abort();

    stream.SetPosition(1);
    TColor color = 0;
    PaneUn2::IsTransparent(stream, color);
    PaneUn2::IsTransparentPng(stream, color);
    if (stream.Position() != 1)
        std::abort();
    PaneUn2::KindOfImage(data, size);
}
