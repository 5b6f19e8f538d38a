// The viewer's frames and wrapped text, drawn on bitmaps and read back pixel by pixel.

#include "htmlview/PaneUtils.h"

#include "HtmlTestSupport.h"

#include "platform/gui/DeviceContext.h"

#include <gtest/gtest.h>

using namespace PaneUn2;

namespace {

constexpr TColor Paper = clYellow; // the bitmap's own colour, unlike every frame colour
constexpr TColor Silver = 0xC0C0C0;
constexpr TColor Shadow = 0x808080; // clBtnShadow in the layer's table
constexpr TColor Highlight = 0xFFFFFF; // clBtnHighlight in the layer's table

struct TRaisedCase {
    const char* Name;
    TColor Background;
    bool Raised;
    TColor TopLeft, BottomRight;
};

TEST(RaisedRect, EdgeColoursFollowTheBackground)
{
    const TRaisedCase cases[] = {
        {"raised on white", 0x02FFFFFF, true, Silver, Shadow},
        {"sunken on white", 0x02FFFFFF, false, Shadow, Silver},
        {"raised on the window colour", clWindow, true, Silver, Shadow},
        {"raised on button face", clBtnFace, true, Highlight, Shadow},
        {"sunken on button face", clBtnFace, false, Shadow, Highlight},
        {"raised on palette red", 0x020000FF, true, Highlight, Shadow},
    };
    for (const TRaisedCase& c : cases) {
        auto bitmap = NewFilledBitmap(100, 60, Paper);
        TCanvas* canvas = bitmap->Canvas();
        RaisedRect(c.Background, canvas, 10, 10, 80, 50, c.Raised);
        EXPECT_EQ(canvas->Pixels(10, 30), c.TopLeft) << c.Name << ": left";
        EXPECT_EQ(canvas->Pixels(45, 10), c.TopLeft) << c.Name << ": top";
        EXPECT_EQ(canvas->Pixels(80, 30), c.BottomRight) << c.Name << ": right";
        EXPECT_EQ(canvas->Pixels(45, 50), c.BottomRight) << c.Name << ": bottom";
        EXPECT_EQ(canvas->Pixels(45, 30), Paper) << c.Name << ": inside";
        EXPECT_EQ(canvas->Pixels(9, 30), Paper) << c.Name << ": outside";
        if (c.Raised && c.Background == 0x02FFFFFF)
            SavePicture(*bitmap, "raisedrect-white");
    }
}

TEST(RaisedRect, TopIsClampedTo200AboveTheOrigin)
{
    auto bitmap = NewFilledBitmap(100, 60, Paper);
    TCanvas* canvas = bitmap->Canvas();
    // Logical -200 lands on row 10 of the bitmap.
    SetViewportOrgEx(canvas->Handle(), 0, 210, nullptr);
    RaisedRect(clWhite, canvas, 10, -5000, 80, -170, true);
    SetViewportOrgEx(canvas->Handle(), 0, 0, nullptr);
    EXPECT_EQ(canvas->Pixels(45, 10), Silver);
    EXPECT_EQ(canvas->Pixels(45, 9), Paper);
    EXPECT_EQ(canvas->Pixels(10, 11), Silver);
    EXPECT_EQ(canvas->Pixels(45, 40), Shadow); // the bottom at logical -170
    EXPECT_EQ(canvas->Pixels(80, 20), Shadow);
    SavePicture(*bitmap, "raisedrect-clamped");
}

TEST(FormControlRect, WhiteBoxWithATwoToneFrame)
{
    for (bool raised : {true, false}) {
        auto bitmap = NewFilledBitmap(100, 60, Paper);
        TCanvas* canvas = bitmap->Canvas();
        canvas->Brush()->SetColor(clRed);
        canvas->Pen()->SetStyle(psDot);
        canvas->Pen()->SetWidth(3);
        FormControlRect(canvas, 10, 10, 90, 50, raised);
        const TColor first = raised ? Silver : Shadow, second = raised ? Shadow : Silver;
        EXPECT_EQ(canvas->Pixels(50, 30), clWhite) << raised;
        EXPECT_EQ(canvas->Pixels(10, 30), first) << raised;
        EXPECT_EQ(canvas->Pixels(50, 10), first) << raised;
        EXPECT_EQ(canvas->Pixels(89, 30), second) << raised;
        EXPECT_EQ(canvas->Pixels(50, 49), second) << raised;
        EXPECT_EQ(canvas->Pixels(9, 30), Paper) << raised;
        EXPECT_EQ(canvas->Pixels(91, 30), Paper) << raised;
        EXPECT_EQ(canvas->Pixels(50, 51), Paper) << raised;
        // The canvas gets its brush, pen style and width back.
        EXPECT_EQ(canvas->Brush()->Color(), clRed);
        EXPECT_EQ(canvas->Brush()->Style(), bsSolid);
        EXPECT_EQ(canvas->Pen()->Style(), psDot);
        EXPECT_EQ(canvas->Pen()->Width(), 3);
        SavePicture(*bitmap, raised ? "formcontrolrect-raised" : "formcontrolrect-sunken");
    }
}

TEST(FormControlRect, MonochromeDeviceGetsAOnePixelBlackFrame)
{
    auto bitmap = NewFilledBitmap(100, 60, clWhite);
    bitmap->SetMonochrome(true);
    TCanvas* canvas = bitmap->Canvas();
    ASSERT_EQ(GetDeviceCaps(canvas->Handle(), BITSPIXEL) * GetDeviceCaps(canvas->Handle(), PLANES), 1);
    canvas->Brush()->SetColor(clBlack);
    canvas->FillRect(Rect(0, 0, 100, 60));
    FormControlRect(canvas, 10, 10, 90, 50, true);
    EXPECT_EQ(canvas->Pixels(10, 30), clBlack);
    EXPECT_EQ(canvas->Pixels(11, 30), clWhite);
    EXPECT_EQ(canvas->Pixels(50, 10), clBlack);
    EXPECT_EQ(canvas->Pixels(50, 11), clWhite);
    EXPECT_EQ(canvas->Pixels(89, 30), clBlack);
    EXPECT_EQ(canvas->Pixels(88, 30), clWhite);
    EXPECT_EQ(canvas->Pixels(50, 49), clBlack);
    EXPECT_EQ(canvas->Pixels(50, 30), clWhite);
}

class WrapTextTest : public testing::Test {
protected:
    void SetUp() override
    {
        FBitmap = NewFilledBitmap(100, 60, clWhite);
        Canvas()->Font()->SetName("Arial");
        Canvas()->Font()->SetSize(9);
        Canvas()->Font()->SetColor(clBlack);
        LineHeight = Canvas()->TextHeight("A");
    }
    TCanvas* Canvas() { return FBitmap->Canvas(); }
    int Ink(const TRect& area) { return InkIn(*FBitmap, area, clWhite); }

    std::unique_ptr<TBitmap> FBitmap;
    int LineHeight = 0;
};

TEST_F(WrapTextTest, RectangleLowerThanOneLineDrawsNothing)
{
    WrapText(Canvas(), 5, 5, 95, 5 + LineHeight - 1, "Nota di credito");
    EXPECT_EQ(Ink(Rect(0, 0, 100, 60)), 0);
}

TEST_F(WrapTextTest, WordsThatDoNotFitGoOnTheNextLine)
{
    const int firstWidth = Canvas()->TextWidth("Documento");
    const int bothWidth = Canvas()->TextWidth("Documento mancante");
    const int right = 5 + (firstWidth + bothWidth) / 2;
    Canvas()->Brush()->SetStyle(bsSolid);
    WrapText(Canvas(), 5, 5, right, 55, "Documento mancante");
    EXPECT_GT(Ink(Rect(5, 5, right, 5 + LineHeight)), 0);
    EXPECT_GT(Ink(Rect(5, 5 + LineHeight, right, 5 + 2 * LineHeight)), 0);
    EXPECT_EQ(Ink(Rect(5, 5 + 2 * LineHeight, 100, 60)), 0);
    EXPECT_EQ(Ink(Rect(right, 0, 100, 60)), 0);
    EXPECT_EQ(Canvas()->Brush()->Style(), bsSolid);
    SavePicture(*FBitmap, "wraptext-two-lines");
}

TEST_F(WrapTextTest, OneLineWhenEverythingFitsAndLongWordsAreClipped)
{
    WrapText(Canvas(), 5, 5, 95, 55, "  Totale   ");
    EXPECT_GT(Ink(Rect(5, 5, 95, 5 + LineHeight)), 0);
    EXPECT_EQ(Ink(Rect(0, 5 + LineHeight, 100, 60)), 0);

    auto wide = NewFilledBitmap(100, 60, clWhite);
    wide->Canvas()->Font()->SetName("Arial");
    wide->Canvas()->Font()->SetSize(9);
    WrapText(wide->Canvas(), 5, 5, 40, 55, "Precisazioni aggiuntive");
    const int height = wide->Canvas()->TextHeight("A");
    EXPECT_GT(InkIn(*wide, Rect(5, 5, 40, 5 + height), clWhite), 0); // first line, not an empty one
    EXPECT_GT(InkIn(*wide, Rect(5, 5 + height, 40, 5 + 2 * height), clWhite), 0);
    EXPECT_EQ(InkIn(*wide, Rect(40, 0, 100, 60), clWhite), 0);
}

} // namespace
