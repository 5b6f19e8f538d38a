#include "htmlview/panegif1.h"

#include "htmlview/ImageCache.h"
#include "htmlview/panegif2.h"
#include "platform/gui/DeviceContext.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Threads.h"

#include <algorithm>
#include <new>

using namespace panegif1;

// ---- ThtBitmap

void ThtBitmap::Draw(TCanvas* ACanvas, const TRect& Rect)
{
    StretchDraw(ACanvas, Rect, TRect{0, 0, Width(), Height()});
}

void ThtBitmap::StretchDraw(TCanvas* Canvas, const TRect& DestRect, const TRect& SrcRect)
{
    if (Empty())
        return;
    HDC destination = Canvas->Handle();
    // Nearest neighbour: the display is never a palette device here.
    SetStretchBltMode(destination, COLORONCOLOR);
    HDC source = CreateCompatibleDC(nullptr);
    HGDIOBJ oldSource = SelectObject(source, Handle());
    if (FHasMask && FMaskBitmap) {
        HDC mask = CreateCompatibleDC(nullptr);
        HGDIOBJ oldMask = SelectObject(mask, FMaskBitmap->Handle());
        TransparentStretchBlt(destination, DestRect.Left, DestRect.Top, DestRect.Width(), DestRect.Height(), source,
                              SrcRect.Left, SrcRect.Top, SrcRect.Width(), SrcRect.Height(), mask, SrcRect.Left,
                              SrcRect.Top);
        SelectObject(mask, oldMask);
        DeleteDC(mask);
    } else
        StretchBlt(destination, DestRect.Left, DestRect.Top, DestRect.Width(), DestRect.Height(), source, SrcRect.Left,
                   SrcRect.Top, SrcRect.Width(), SrcRect.Height(), Canvas->CopyMode());
    SelectObject(source, oldSource);
    DeleteDC(source);
}

// ---- Frames

TgfFrame::TgfFrame(const TgfFrame& Source)
    : TObject(), FLeft(Source.FLeft), FTop(Source.FTop), FWidth(Source.FWidth), FHeight(Source.FHeight),
      FDelay(Source.FDelay), FDisposal(Source.FDisposal), FIsCopy(true)
{
}

// ---- TGIFImage

TGIFImage::TGIFImage(const TGIFImage& Source)
    : TPersistent(), FIsAnimated(Source.FIsAnimated), FWidth(Source.FWidth), FHeight(Source.FHeight),
      FNumFrames(Source.FNumFrames), FNumIterations(Source.FNumIterations), FTransparent(Source.FTransparent),
      FVisible(Source.FVisible), FBitmap(Source.FBitmap), FCurrentIteration(1), FIsCopy(true)
{
    for (int i = 1; i <= Source.FFrames.Count(); ++i)
        FFrames.Add(std::make_unique<TgfFrame>(*Source.FFrames.GetFrame(i)));
    if (FIsAnimated)
        FLastDisposal = dtToBackground;
}

void TGIFImage::Draw(TCanvas* Canvas, TObject* /*MasterList*/, TObject* /*Obj*/, int X, int Y, int Wid, int Ht)
{
    FDrawRect = TRect{X, Y, X + Wid, Y + Ht};
    SetStretchBltMode(Canvas->Handle(), COLORONCOLOR);
    if (!FVisible || FNumFrames < 1 || !FBitmap)
        return;
    // Only the part inside the clip box is stretched, however large the picture is drawn.
    PaneUn2::TStretchRects part{X, Y, Wid, Ht, (FCurrentFrame - 1) * FWidth, 0, FWidth, FHeight};
    if (!PaneUn2::ClipStretch(Canvas->Handle(), part))
        return;
    Canvas->SetCopyMode(cmSrcCopy);
    FBitmap->StretchDraw(Canvas, TRect{part.X, part.Y, part.X + part.W, part.Y + part.H},
                         TRect{part.SX, part.SY, part.SX + part.SW, part.SY + part.SH});
}

void TGIFImage::CheckTime(TWinControl* Control)
{
    if (!FAnimate || FNumFrames < 1)
        return;
    const std::uint32_t now = timeGetTime();
    // Unsigned, so that the wrap of the millisecond counter does no harm.
    if (now - FLastTime < static_cast<std::uint32_t>(std::max(FCurrentInterval, 0)))
        return;
    FLastTime = now;
    if (FCurrentFrame == FNumFrames) {
        if (FNumIterations > 0 && FCurrentIteration >= FNumIterations) {
            // Stopped on the last frame; the count of passes stays readable until a restart.
            const int passes = FCurrentIteration;
            SetAnimate(false);
            FCurrentIteration = passes;
            return;
        }
        ++FCurrentIteration;
    }
    NextFrame(FCurrentFrame);
    ++FCurrentFrame;
    if (FCurrentFrame > FNumFrames || FCurrentFrame <= 0)
        FCurrentFrame = 1;
    if (Control != nullptr && Control->HandleAllocated())
        InvalidateRect(Control->Handle(), &FDrawRect, TRUE);
    FCurrentInterval = std::max(1, FFrames.GetFrame(FCurrentFrame)->FDelay);
}

void TGIFImage::SetAnimate(bool Value)
{
    if (Value == FAnimate)
        return;
    FAnimate = Value;
    FCurrentIteration = 1;
    if (Value && FNumFrames > 1) {
        FCurrentInterval = std::max(1, FFrames.GetFrame(FCurrentFrame)->FDelay);
        FLastTime = timeGetTime();
    }
}

void TGIFImage::SetCurrentFrame(int N)
{
    if (N == FCurrentFrame)
        return;
    NextFrame(FCurrentFrame);
    if (N > FNumFrames)
        FCurrentFrame = 1;
    else if (N < 1)
        FCurrentFrame = FNumFrames;
    else
        FCurrentFrame = N;
    if (FIsAnimated)
        FLastDisposal = dtToBackground;
}

void TGIFImage::NextFrame(int N)
{
    if (N >= 1 && N <= FFrames.Count())
        FLastDisposal = FFrames.GetFrame(N)->FDisposal;
}

TBitmap* TGIFImage::GetMaskedBitmap()
{
    if (!FMaskedBitmap && FBitmap) {
        auto first = std::make_unique<TBitmap>();
        first->SetPixelFormat(pf24bit);
        first->SetSize(FWidth, FHeight);
        BitBlt(first->Canvas()->Handle(), 0, 0, FWidth, FHeight, FBitmap->Canvas()->Handle(), 0, 0, SRCCOPY);
        if (FBitmap->FHasMask && FBitmap->FMaskBitmap) {
            auto mask = std::make_unique<TBitmap>();
            mask->SetMonochrome(true);
            mask->SetSize(FWidth, FHeight);
            BitBlt(mask->Canvas()->Handle(), 0, 0, FWidth, FHeight, FBitmap->FMaskBitmap->Canvas()->Handle(), 0, 0,
                   SRCCOPY);
            FMask = std::move(mask);
        }
        first->SetTransparent(false);
        FMaskedBitmap = std::move(first);
    }
    return FMaskedBitmap.get();
}

TBitmap* TGIFImage::GetMask()
{
    if (!FTransparent)
        return nullptr;
    if (!FMask)
        GetMaskedBitmap();
    return FMask.get();
}

// ---- Factories

std::unique_ptr<TGIFImage> CreateAGifFromStream(bool& NonAnimated, TStream& Stream)
{
    NonAnimated = true;
    try {
        ::TGif gif;
        gif.LoadFromStream(Stream);
        auto image = std::make_unique<TGIFImage>();
        const int count = gif.GetImageCount();
        image->FNumFrames = count;
        image->FIsAnimated = count > 1;
        NonAnimated = count < 2;
        image->FWidth = gif.GetWidth();
        image->FHeight = gif.GetHeight();
        image->FNumIterations = std::max(gif.FIterations, 0);
        image->FTransparent = gif.GetTransparent();

        // The strip is composed straight into the picture's bitmap rather than copied there.
        std::unique_ptr<TBitmap> mask;
        image->FBitmap = std::make_shared<ThtBitmap>();
        gif.ComposeStrip(*image->FBitmap, mask);
        image->FBitmap->FHasMask = mask != nullptr;
        image->FBitmap->FMaskBitmap = std::move(mask);

        for (int i = 0; i < count; ++i) {
            auto frame = std::make_unique<TgfFrame>();
            frame->FDisposal = static_cast<TDisposalType>(gif.GetImageDisposal(i));
            frame->FLeft = gif.GetImageLeft(i);
            frame->FTop = gif.GetImageTop(i);
            frame->FWidth = gif.GetImageWidth(i);
            frame->FHeight = gif.GetImageHeight(i);
            frame->FDelay = std::max(30, gif.GetImageDelay(i) * 10);
            image->FFrames.Add(std::move(frame));
        }
        if (image->FIsAnimated)
            image->FLastDisposal = dtToBackground;
        return image;
    } catch (...) {
        // Damaged data, a failing stream or too little memory: the picture is simply missing.
        NonAnimated = true;
        return nullptr;
    }
}

std::unique_ptr<TGIFImage> CreateAGif(const std::string& FileName, bool& NonAnimated)
{
    NonAnimated = true;
    try {
        TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
        return CreateAGifFromStream(NonAnimated, stream);
    } catch (...) {
        return nullptr;
    }
}
