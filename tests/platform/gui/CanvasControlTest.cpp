// Contexts of windows and of the screen: drawing outside Paint lands in the retained image and
// shows; the screen context reads what the windows show.

#include "GuiTestSupport.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/Form.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/private/Overlay.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowContexts, DrawingOutsidePaintStaysInTheRetainedImage)
{
    TForm form(nullptr);
    form.SetBounds(40, 40, 200, 150);
    form.SetColor(clWhite);
    ShowAndActivate(&form);
    Pump(50);
    TControlCanvas canvas;
    canvas.SetControl(&form);
    canvas.Brush()->SetColor(clRed);
    canvas.FillRect(Rect(10, 10, 30, 30));
    EXPECT_EQ(canvas.Pixels(10, 10), clRed);
    EXPECT_EQ(canvas.Pixels(30, 30), clWhite);
    Pump(50);

    HDC dc = GetDC(form.Handle());
    EXPECT_EQ(GetPixel(dc, 29, 29), ColorToRGB(clRed));
    ReleaseDC(form.Handle(), dc);

    // The screen shows the form: red where the canvas drew.
    const TPoint origin = form.ClientToScreen(Point(10, 10));
    TBitmap grab;
    grab.SetSize(4, 4);
    HDC screen = GetDC(nullptr);
    BitBlt(grab.Canvas()->Handle(), 0, 0, 4, 4, screen, origin.X, origin.Y, SRCCOPY);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(grab.Canvas()->Pixels(1, 1), clRed);
    canvas.FreeHandle();

    // Inverting drawing on a form goes to the overlay above its children; twice leaves nothing.
    dc = GetDC(form.Handle());
    RECT line{60, 0, 62, 100};
    InvertRect(dc, &line);
    EXPECT_EQ(TOverlay::ForForm(&form).Coverage().boundingRect(), QRect(60, 0, 2, 100));
    EXPECT_EQ(GetPixel(dc, 60, 50), ColorToRGB(clWhite)) << "the form's own pixels stay";
    InvertRect(dc, &line);
    EXPECT_TRUE(TOverlay::ForForm(&form).Coverage().isEmpty());
    ReleaseDC(form.Handle(), dc);
}

} // namespace

TEST(CanvasFonts, TextKeepsTheFontsAngle)
{
    // The extent of the inked pixels: a turned caption runs upward, an upright one across.
    auto inkedExtent = [](int orientation) {
        TBitmap bitmap;
        bitmap.SetSize(200, 200);
        TCanvas* canvas = bitmap.Canvas();
        canvas->Brush()->SetColor(clWhite);
        canvas->FillRect(Rect(0, 0, 200, 200));
        canvas->Font()->SetName("Arial");
        canvas->Font()->SetSize(14);
        canvas->Font()->SetOrientation(orientation);
        canvas->TextOut(100, 150, "Didascalia");
        int left = 200, right = -1, top = 200, bottom = -1;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 200; ++x)
                if (canvas->Pixels(x, y) != clWhite) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        return std::make_pair(right - left, bottom - top);
    };
    const auto upright = inkedExtent(0);
    const auto turned = inkedExtent(900);
    EXPECT_GT(upright.first, upright.second);
    EXPECT_GT(turned.second, turned.first);
}
