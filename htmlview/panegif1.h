#pragma once
// The viewer's GIF pictures: TGIFImage holds every frame already composed into one strip (shared
// by its copies, so one picture can animate independently in several places), steps its frames
// on time and draws the current one stretched through its mask. ThtBitmap is the strip bitmap
// that draws any part of itself through that mask.

#include "platform/gui/Bitmap.h"
#include "platform/gui/WinControl.h"
#include "platform/rtl/Streams.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace panegif1 {
// Numbered as the GIF disposal methods.
enum TDisposalType { dtUndefined, dtDoNothing, dtToBackground, dtToPrevious };
} // namespace panegif1

using panegif1::TDisposalType;

class ThtBitmap : public TBitmap {
    TESS_CLASS(ThtBitmap, TBitmap)
public:
    // The part SrcRect of the bitmap stretched into DestRect, through the mask when there is one.
    void StretchDraw(TCanvas* Canvas, const TRect& DestRect, const TRect& SrcRect);

    std::unique_ptr<TBitmap> FMaskBitmap; // white where transparent
    bool FHasMask = false;

protected:
    // The whole bitmap stretched into Rect.
    void Draw(TCanvas* ACanvas, const TRect& Rect) override;
};

class TgfFrame : public TObject {
    TESS_CLASS(TgfFrame, TObject)
public:
    TgfFrame() = default;
    // A copy of another frame's rectangle, delay and disposal.
    explicit TgfFrame(const TgfFrame& Source);

    int FLeft = 0;
    int FTop = 0;
    int FWidth = 0;
    int FHeight = 0;
    int FDelay = 0; // milliseconds
    TDisposalType FDisposal = panegif1::dtUndefined;
    bool FIsCopy = false;
};

// The frames, numbered from 1.
class TgfFrameList : public TObject {
    TESS_CLASS(TgfFrameList, TObject)
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    void Add(std::unique_ptr<TgfFrame> Frame) { FItems.push_back(std::move(Frame)); }
    TgfFrame* GetFrame(int I) const { return FItems.at(static_cast<std::size_t>(I - 1)).get(); }

private:
    std::vector<std::unique_ptr<TgfFrame>> FItems;
};

class TGIFImage : public TPersistent {
    TESS_CLASS(TGIFImage, TPersistent)
public:
    TGIFImage() = default;
    // A copy that shares Source's strip and animates on its own, from frame 1.
    explicit TGIFImage(const TGIFImage& Source);
    TGIFImage& operator=(const TGIFImage&) = delete;

    // Draws the current frame stretched into (X, Y, Wid, Ht); MasterList and Obj are not used.
    void Draw(TCanvas* Canvas, TObject* MasterList, TObject* Obj, int X, int Y, int Wid, int Ht);
    // One animation step when the current frame's time is up; Control's window is repainted
    // where the picture was last drawn.
    void CheckTime(TWinControl* Control);
    void SetAnimate(bool Value);
    bool Animate() const { return FAnimate; }
    void SetCurrentFrame(int N);
    int CurrentFrame() const { return FCurrentFrame; }
    void NextFrame(int N);
    TBitmap* GetBitMap() { return GetMaskedBitmap(); }
    // The first frame as a plain bitmap (and its mask), made on first use.
    TBitmap* GetMaskedBitmap();
    // nullptr when the picture has no transparency.
    TBitmap* GetMask();

    bool FIsAnimated = false;
    int FCurrentFrame = 1;
    int FWidth = 0;
    int FHeight = 0;
    int FNumFrames = 0;
    int FNumIterations = 0; // 0: forever
    bool FTransparent = false;
    bool FVisible = true;
    std::shared_ptr<ThtBitmap> FBitmap; // the strip, alive while any copy holds it
    std::unique_ptr<TBitmap> FMaskedBitmap;
    std::unique_ptr<TBitmap> FMask;
    bool FAnimate = false;
    TRect FDrawRect{};
    TDisposalType FLastDisposal = panegif1::dtUndefined;
    TgfFrameList FFrames;
    int FCurrentIteration = 0;
    std::uint32_t FLastTime = 0;
    int FCurrentInterval = 0;
    bool FShowIt = false;
    bool FIsCopy = false;
};

// A picture from a GIF stream or file; nullptr for anything that cannot be read. NonAnimated
// tells whether it has fewer than two frames.
std::unique_ptr<TGIFImage> CreateAGifFromStream(bool& NonAnimated, TStream& Stream);
std::unique_ptr<TGIFImage> CreateAGif(const std::string& FileName, bool& NonAnimated);
