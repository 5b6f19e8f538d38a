#pragma once
// Shared pieces of the component tests: the application under Qt's offscreen platform, message
// pumps, and pictures of windows whose pixels the tests read.

#include "platform/gui/Bitmap.h"
#include "platform/gui/WinControl.h"

#include <functional>
#include <memory>
#include <string>

// Processes messages for about ms milliseconds.
void PumpFor(int ms);
// Processes messages until condition holds or timeoutMs passes; returns the condition.
bool PumpWhile(const std::function<bool()>& notYet, int timeoutMs = 3000);
// The folder for screenshots: TESS_SCREENSHOT_DIR, else screenshots/ in the working folder.
std::string ScreenshotFolder();

// A picture of a window (paint first runs for what is pending), read pixel by pixel.
class TGrab {
public:
    explicit TGrab(TWinControl* control);
    bool Valid() const { return FValid; }
    int Width() const { return FBitmap.Width(); }
    int Height() const { return FBitmap.Height(); }
    TColor At(int x, int y);
    // Pixels of the rectangle that differ from background.
    int Ink(const TRect& area, TColor background);
    // The leftmost column of the rectangle with a pixel unlike background; -1 when none.
    int FirstInkColumn(const TRect& area, TColor background);
    // The rightmost such column; -1 when none.
    int LastInkColumn(const TRect& area, TColor background);
    // The centre (x, y) of the pixels of area clearly lighter (or darker) than background, and
    // how many there are: smoothed text, whose colours are blends, seen as one shape.
    int InkCentre(const TRect& area, TColor background, bool lighter, double& x, double& y);

private:
    TBitmap FBitmap;
    bool FValid = false;
};

// A caption as the flat controls draw it with DrawTextA: in font's colour, or embossed (a
// clBtnHighlight copy one pixel down and right under a clBtnShadow one); on background, in a
// picture of width x height.
std::unique_ptr<TBitmap> DrawnCaption(int width, int height, TColor background, TFont* font, const std::string& text,
                                      TRect area, UINT format, bool embossed);
// The pixels of region (in picture's coordinates) where grab, read from origin on, differs.
int DifferingPixels(TGrab& grab, TPoint origin, TBitmap& picture, const TRect& region);

// Text drawn with a canvas font on a white bitmap, for comparing with what a control drew.
class TTextSample {
public:
    // configure sets up the canvas font (it starts as a new canvas's font).
    TTextSample(int width, int height, const std::function<void(TCanvas*)>& configure = {});
    TCanvas* Canvas() { return FBitmap.Canvas(); }
    int Ink(const TRect& area);
    int FirstInkColumn(const TRect& area);

private:
    TBitmap FBitmap;
};
