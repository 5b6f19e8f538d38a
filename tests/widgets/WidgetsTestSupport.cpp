#include "WidgetsTestSupport.h"

#include "platform/gui/Application.h"
#include "platform/gui/Canvas.h"
#include "platform/gui/DeviceContext.h"
#include "platform/gui/Grab.h"
#include "platform/gui/TextOutput.h"
#include "platform/rtl/Threads.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

namespace {

// One application for the whole run, on Qt's offscreen platform.
class TWidgetsEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
    }
};

const testing::Environment* const widgetsEnvironment =
    testing::AddGlobalTestEnvironment(new TWidgetsEnvironment);

TColor PixelOf(TBitmap& bitmap, int x, int y)
{
    const std::uint8_t* row = bitmap.ScanLine(y);
    const std::uint8_t* p = row + 4 * x;
    return static_cast<TColor>(p[2] | (p[1] << 8) | (p[0] << 16));
}

int InkIn(TBitmap& bitmap, const TRect& area, TColor background)
{
    int ink = 0;
    for (int y = std::max(area.Top, 0); y < std::min(area.Bottom, bitmap.Height()); ++y)
        for (int x = std::max(area.Left, 0); x < std::min(area.Right, bitmap.Width()); ++x)
            if (PixelOf(bitmap, x, y) != background)
                ++ink;
    return ink;
}

int InkColumn(TBitmap& bitmap, const TRect& area, TColor background, bool first)
{
    int found = -1;
    for (int x = std::max(area.Left, 0); x < std::min(area.Right, bitmap.Width()); ++x)
        for (int y = std::max(area.Top, 0); y < std::min(area.Bottom, bitmap.Height()); ++y)
            if (PixelOf(bitmap, x, y) != background) {
                if (first)
                    return x;
                found = x;
                break;
            }
    return found;
}

} // namespace

void PumpFor(int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        Application->ProcessMessages();
        Sleep(5);
    } while (std::chrono::steady_clock::now() < end);
}

bool PumpWhile(const std::function<bool()>& notYet, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (notYet()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        Application->ProcessMessages();
        Sleep(5);
    }
    return true;
}

std::string ScreenshotFolder()
{
    std::string dir;
    if (const char* env = std::getenv("TESS_SCREENSHOT_DIR"); env && *env)
        dir = env;
    else
        dir = (std::filesystem::current_path() / "screenshots").string();
    std::filesystem::create_directories(dir);
    return dir;
}

TGrab::TGrab(TWinControl* control) { FValid = GrabToBitmap(control, &FBitmap); }

TColor TGrab::At(int x, int y) { return PixelOf(FBitmap, x, y); }

int TGrab::Ink(const TRect& area, TColor background) { return InkIn(FBitmap, area, ColorToRGB(background)); }

int TGrab::FirstInkColumn(const TRect& area, TColor background)
{
    return InkColumn(FBitmap, area, ColorToRGB(background), true);
}

int TGrab::LastInkColumn(const TRect& area, TColor background)
{
    return InkColumn(FBitmap, area, ColorToRGB(background), false);
}

int TGrab::InkCentre(const TRect& area, TColor background, bool lighter, double& x, double& y)
{
    auto brightness = [](TColor c) { return (c & 0xFF) + ((c >> 8) & 0xFF) + ((c >> 16) & 0xFF); };
    const int face = brightness(static_cast<TColor>(ColorToRGB(background)));
    int count = 0;
    x = y = 0;
    for (int py = area.Top; py < area.Bottom; ++py)
        for (int px = area.Left; px < area.Right; ++px) {
            const int difference = brightness(At(px, py)) - face;
            if (lighter ? difference > 30 : difference < -30) {
                x += px;
                y += py;
                ++count;
            }
        }
    if (count) {
        x /= count;
        y /= count;
    }
    return count;
}

std::unique_ptr<TBitmap> DrawnCaption(int width, int height, TColor background, TFont* font, const std::string& text,
                                      TRect area, UINT format, bool embossed)
{
    auto picture = std::make_unique<TBitmap>();
    picture->SetSize(width, height);
    TCanvas* canvas = picture->Canvas();
    canvas->Brush()->SetColor(background);
    canvas->FillRect(Rect(0, 0, width, height));
    canvas->Brush()->SetStyle(bsClear);
    canvas->Font()->Assign(font);
    canvas->TextWidth(std::string()); // selects the font
    HDC dc = canvas->Handle();
    SetBkMode(dc, TRANSPARENT);
    if (embossed) {
        TRect raised = area;
        OffsetRect(raised, 1, 1);
        SetTextColor(dc, ColorToRGB(clBtnHighlight));
        DrawTextA(dc, text, -1, &raised, format);
        SetTextColor(dc, ColorToRGB(clBtnShadow));
    } else {
        SetTextColor(dc, ColorToRGB(font->Color()));
    }
    DrawTextA(dc, text, -1, &area, format);
    return picture;
}

int DifferingPixels(TGrab& grab, TPoint origin, TBitmap& picture, const TRect& region)
{
    int differing = 0;
    for (int y = region.Top; y < region.Bottom; ++y)
        for (int x = region.Left; x < region.Right; ++x)
            differing += grab.At(origin.X + x, origin.Y + y) != picture.Canvas()->Pixels(x, y);
    return differing;
}

TTextSample::TTextSample(int width, int height, const std::function<void(TCanvas*)>& configure)
{
    FBitmap.SetPixelFormat(pf32bit);
    FBitmap.SetSize(width, height);
    FBitmap.Canvas()->Brush()->SetColor(clWhite);
    FBitmap.Canvas()->FillRect(Rect(0, 0, width, height));
    if (configure)
        configure(FBitmap.Canvas());
}

int TTextSample::Ink(const TRect& area) { return InkIn(FBitmap, area, clWhite); }

int TTextSample::FirstInkColumn(const TRect& area) { return InkColumn(FBitmap, area, clWhite, true); }
