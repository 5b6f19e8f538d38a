#include "WidgetsTestSupport.h"

#include "platform/gui/Form.h"
#include "platform/gui/Label.h"
#include "platform/gui/Panel.h"
#include "platform/gui/TextOutput.h"
#include "widgets/FlatButton.h"
#include "widgets/FlatDrawing.h"
#include "widgets/HSLUtils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <unistd.h>

namespace FlatDrawingTest {

using namespace FlatDrawing;
using namespace HSLUtils;

// A bitmap of the given size filled with one colour.
std::unique_ptr<TBitmap> FilledBitmap(int width, int height, TColor color)
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetSize(width, height);
    bitmap->Canvas()->Brush()->SetColor(color);
    bitmap->Canvas()->FillRect(Rect(0, 0, width, height));
    return bitmap;
}

TColor PixelOf(TBitmap& bitmap, int x, int y) { return bitmap.Canvas()->Pixels(x, y); }

TEST(FlatColours, AdvancedColoursAndConversionsGiveTheKnownValues)
{
    int h, s, l;
    RGBtoHSLRange(0xE1EAEB, h, s, l);
    EXPECT_EQ(h, 36);
    EXPECT_EQ(s, 48);
    EXPECT_EQ(l, 216);

    const struct {
        TColor Parent;
        int Step;
        TColorCalcType Type;
        TColor Expected;
    } cases[] = {
        {0xE1EAEB, 10, lighten, 0x557B80}, {0xE1EAEB, 50, darken, 0xADC6C9}, {0xFFFFFF, 10, lighten, 0x6A6A6A},
        {0xFFFFFF, 50, darken, 0xD4D4D4},  {0x000000, 10, lighten, 0x151515}, {0x000000, 50, darken, 0x000000},
        {0x8396A0, 10, lighten, 0x5C6F78}, {0x8396A0, 50, darken, 0x596B75},  {0xC5D6D9, 10, lighten, 0x547A80},
        {0xC5D6D9, 50, darken, 0x92B2B8},  {0xE1EAEB, 10, darken, 0xE0EAEB},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CalcAdvancedColor(c.Parent, 0x777777, static_cast<TAdvColors>(c.Step), c.Type), c.Expected)
            << std::hex << c.Parent << " step " << std::dec << c.Step;

    EXPECT_EQ(HSLRangeToRGB(0, 240, 120), 0x0000FF);
    EXPECT_EQ(CalcAdvancedColor(0xE1EAEB, 0x123456, 0, lighten), 0x123456) << "step 0 keeps the fallback";
    EXPECT_EQ(CalcAdvancedColor(clBtnFace, 0, 10, lighten),
              CalcAdvancedColor(static_cast<TColor>(ColorToRGB(clBtnFace)), 0, 10, lighten))
        << "a system colour is resolved first";
}

// Runs a command and returns what it printed.
std::string CommandOutput(const std::string& command)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return output;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, n);
    pclose(pipe);
    return output;
}

TEST(FlatColours, RGBtoHSLAgreesWithPythonsColorsys)
{
    std::mt19937 random(20240611);
    std::vector<TColor> colours(4096);
    for (TColor& c : colours)
        c = static_cast<TColor>(random() & 0xFFFFFF);
    const auto folder = std::filesystem::temp_directory_path() / ("flat-hsl-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    {
        std::ofstream list(folder / "colours.txt");
        for (TColor c : colours)
            list << (c & 0xFF) << ' ' << ((c >> 8) & 0xFF) << ' ' << ((c >> 16) & 0xFF) << '\n';
        std::ofstream script(folder / "hls.py");
        script << "import colorsys, sys\n"
                  "for line in open(sys.argv[1]):\n"
                  "    r, g, b = (int(v) / 255 for v in line.split())\n"
                  "    print(*(repr(v) for v in colorsys.rgb_to_hls(r, g, b)))\n";
    }
    std::istringstream answers(CommandOutput("python3 '" + (folder / "hls.py").string() + "' '" +
                                             (folder / "colours.txt").string() + "'"));
    std::filesystem::remove_all(folder);
    int compared = 0;
    for (TColor c : colours) {
        double peerH, peerL, peerS;
        ASSERT_TRUE(answers >> peerH >> peerL >> peerS) << "python3 answered " << compared << " colours";
        double H, S, L;
        RGBtoHSL(c, H, S, L);
        const double hueGap = std::fabs(H - peerH);
        EXPECT_LT(std::min(hueGap, 1 - hueGap), 1e-12) << std::hex << c;
        EXPECT_NEAR(S, peerS, 1e-12) << std::hex << c;
        EXPECT_NEAR(L, peerL, 1e-12) << std::hex << c;
        ++compared;
    }

    for (TColor c = 0; c <= 0xFFFFFF; c += 16) {
        double H, S, L;
        RGBtoHSL(c, H, S, L);
        if (HSLtoRGB(H, S, L) != c)
            FAIL() << "round trip of " << std::hex << c;
    }
}

TEST(FlatDrawingFrames, Frame3DBorderDrawsNestedRingsOnTheOuterColumnsAndRows)
{
    constexpr TColor inside = 0x336699;
    auto expectRing = [](TBitmap& bitmap, int ring, TColor top, TColor bottom) {
        const int last = 24 - ring;
        for (int i = ring; i < last; ++i) {
            EXPECT_EQ(PixelOf(bitmap, ring, i), top) << "left, row " << i;
            EXPECT_EQ(PixelOf(bitmap, i, ring), top) << "top, column " << i;
        }
        for (int i = ring; i <= last; ++i) {
            EXPECT_EQ(PixelOf(bitmap, last, i), bottom) << "right, row " << i;
            EXPECT_EQ(PixelOf(bitmap, i, last), bottom) << "bottom, column " << i;
        }
    };
    for (int width = 0; width <= 2; ++width) {
        auto bitmap = FilledBitmap(25, 25, inside);
        Frame3DBorder(bitmap->Canvas(), Rect(0, 0, 25, 25), clWhite, clBlack, width);
        for (int ring = 0; ring < width; ++ring)
            expectRing(*bitmap, ring, clWhite, clBlack);
        for (int y = width; y < 25 - width; ++y)
            for (int x = width; x < 25 - width; ++x)
                ASSERT_EQ(PixelOf(*bitmap, x, y), inside) << "width " << width << " at " << x << "," << y;
    }
}

TEST(FlatDrawingLayout, CalcButtonLayoutPlacesGlyphAndCaption)
{
    auto canvasBitmap = FilledBitmap(100, 40, clWhite);
    TCanvas* canvas = canvasBitmap->Canvas();
    canvas->Font()->SetName("Arial");
    canvas->Font()->SetSize(8);
    const std::string caption = "Salva";
    TRect measured = Rect(0, 0, 75, 0);
    canvas->TextExtent("");
    DrawTextA(canvas->Handle(), caption, -1, &measured, DT_CALCRECT | DT_SINGLELINE);
    const int tw = measured.Width(), th = measured.Height();
    ASSERT_GT(tw, 0);
    auto glyph = FilledBitmap(16, 16, clRed);

    struct TCase {
        TButtonLayout Layout;
        int Margin, Spacing;
        TPoint Glyph;
        TRect Text;
    };
    // 75 x 25 client, 16 x 16 glyph, spacing 4, centred (margin -1).
    const int marginAcross = (75 - (16 + 4 + tw) + 1) / 2;
    const int marginDown = (25 - (16 + 4 + th) + 1) / 2;
    const int textTopAcross = (25 - th + 1) / 2;
    const int textLeftDown = (75 - tw + 1) / 2;
    const int rightGlyph = 75 - marginAcross - 16;
    const int bottomGlyph = 25 - marginDown - 16;
    const int evenMargin = (75 - (16 + tw)) / 3;
    const int spreadSpacing = (75 - (3 + 16) - tw) / 2;
    const TCase cases[] = {
        {blGlyphLeft, -1, 4, Point(marginAcross, 5),
         Bounds(marginAcross + 20, textTopAcross, tw, th)},
        {blGlyphRight, -1, 4, Point(rightGlyph, 5), Bounds(rightGlyph - 4 - tw, textTopAcross, tw, th)},
        {blGlyphTop, -1, 4, Point(30, marginDown), Bounds(textLeftDown, marginDown + 20, tw, th)},
        {blGlyphBottom, -1, 4, Point(30, bottomGlyph), Bounds(textLeftDown, bottomGlyph - 4 - th, tw, th)},
        {blGlyphLeft, -1, -1, Point(evenMargin, 5), Bounds(2 * evenMargin + 16, textTopAcross, tw, th)},
        {blGlyphLeft, 3, -1, Point(3, 5), Bounds(3 + 16 + spreadSpacing, textTopAcross, tw, th)},
    };
    for (const TCase& c : cases) {
        TRect text;
        TPoint at;
        CalcButtonLayout(canvas, Rect(0, 0, 75, 25), Point(0, 0), c.Layout, c.Spacing, c.Margin, glyph.get(), 1,
                         caption, text, at);
        EXPECT_EQ(at, c.Glyph) << "layout " << c.Layout << " margin " << c.Margin << " spacing " << c.Spacing;
        EXPECT_EQ(text, c.Text) << "layout " << c.Layout << " margin " << c.Margin << " spacing " << c.Spacing;
    }

    // A client not at the origin and the pressed offset move both parts.
    TRect text;
    TPoint at;
    CalcButtonLayout(canvas, Rect(2, 3, 77, 28), Point(1, 1), blGlyphLeft, 4, -1, glyph.get(), 1, caption, text, at);
    EXPECT_EQ(at, Point(marginAcross + 3, 5 + 4));
    EXPECT_EQ(text, Bounds(marginAcross + 23, textTopAcross + 4, tw, th));

    // Nothing to place: no spacing, the free room halved.
    CalcButtonLayout(canvas, Rect(0, 0, 75, 25), Point(0, 0), blGlyphLeft, -1, -1, nullptr, 1, "", text, at);
    EXPECT_EQ(at, Point(38, 13));
    EXPECT_EQ(text, Rect(38, 13, 38, 13));
}

TEST(FlatDrawingBitmaps, CreateDisabledBitmapEmbossesTheOutline)
{
    auto glyph = FilledBitmap(8, 8, clWhite);
    for (int y = 1; y <= 5; ++y)
        glyph->Canvas()->SetPixels(2, y, clBlack);
    std::unique_ptr<TBitmap> disabled =
        CreateDisabledBitmap(glyph.get(), clBlack, clBtnFace, clBtnHighlight, clBtnShadow, true);
    ASSERT_EQ(disabled->Width(), 8);
    ASSERT_EQ(disabled->Height(), 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            TColor expected = clBtnFace;
            if (x == 2 && y >= 1 && y <= 5)
                expected = clBtnShadow;
            else if (x == 3 && y >= 2 && y <= 6)
                expected = clBtnHighlight;
            ASSERT_EQ(PixelOf(*disabled, x, y), static_cast<TColor>(ColorToRGB(expected))) << x << "," << y;
        }
    EXPECT_TRUE(CreateDisabledBitmap(FilledBitmap(0, 0, clWhite).get(), clBlack, clBtnFace, clBtnHighlight,
                                     clBtnShadow, true)
                    ->Empty());
}

TEST(FlatDrawingBitmaps, DrawTransparentBmpLeavesTheTransparentPixels)
{
    auto picture = FilledBitmap(3, 2, clWhite);
    picture->Canvas()->SetPixels(0, 0, clBlue);
    picture->Canvas()->SetPixels(1, 1, clLime);
    auto canvas = FilledBitmap(10, 10, clRed);
    DrawTransparentBmp(canvas->Canvas(), 4, 5, picture.get(), clWhite);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            TColor expected = clRed;
            if (x == 4 && y == 5)
                expected = clBlue;
            else if (x == 5 && y == 6)
                expected = clLime;
            ASSERT_EQ(PixelOf(*canvas, x, y), expected) << x << "," << y;
        }
}

TEST(FlatDrawingParentImage, AButtonShowsThePanelAndTheLabelUnderIt)
{
    TForm form(nullptr);
    form.SetBounds(40, 40, 260, 120);
    auto* panel = new TPanel(&form);
    panel->SetParent(&form);
    panel->SetBounds(0, 0, 240, 80);
    panel->SetBevelOuter(bvNone);
    panel->SetColor(clGreen);
    auto* label = new TLabel(&form);
    label->SetParent(panel);
    label->SetBounds(10, 20, 150, 20);
    label->Font()->SetColor(clWhite);
    label->SetCaption("WWWWWWWWWWWWWW");
    auto* button = new TFlatButton(&form);
    button->SetParent(panel);
    button->SetBounds(40, 15, 60, 30);
    button->SetTransparent(tmAlways);
    button->SetVisible(false);
    form.Show();
    PumpFor(20);
    TGrab without(panel);
    button->SetVisible(true);
    PumpFor(20);
    TGrab with(panel);
    ASSERT_TRUE(without.Valid() && with.Valid());

    // The rest border, then inside it exactly what the panel shows without the button.
    EXPECT_EQ(with.At(40, 15), 0x8396A0);
    EXPECT_EQ(with.At(99, 44), 0x8396A0);
    int labelInk = 0;
    for (int y = 16; y < 44; ++y)
        for (int x = 41; x < 99; ++x) {
            ASSERT_EQ(with.At(x, y), without.At(x, y)) << x << "," << y;
            labelInk += with.At(x, y) != clGreen;
        }
    EXPECT_GT(labelInk, 20);

    // Without a parent, or with one being destroyed, nothing is drawn.
    TFlatButton lone(nullptr);
    auto canvas = FilledBitmap(20, 20, clFuchsia);
    DrawParentImage(&lone, canvas->Canvas());
    panel->Destroying();
    DrawParentImage(button, canvas->Canvas());
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(PixelOf(*canvas, x, y), clFuchsia);
}

TEST(FlatDrawingSmallHelpers, RectanglesMinimaAndFontHeight)
{
    EXPECT_TRUE(RectInRect(Rect(0, 0, 10, 10), Rect(9, 9, 20, 20)));
    EXPECT_FALSE(RectInRect(Rect(0, 0, 10, 10), Rect(10, 0, 20, 10))) << "touching edges do not overlap";
    EXPECT_FALSE(RectInRect(Rect(0, 0, 0, 0), Rect(0, 0, 10, 10)));
    EXPECT_EQ(Min(7, 65535), 7);
    EXPECT_EQ(Min(65535, 7), 7);

    TFont font;
    font.SetName("Arial");
    TTextSample sample(10, 10);
    for (int size : {8, 9, 10, 12, 14}) {
        font.SetSize(size);
        TEXTMETRICA screen{}, onBitmap{};
        GetFontMetrics(&font, screen);
        sample.Canvas()->SetFont(&font);
        sample.Canvas()->TextExtent("");
        GetTextMetricsA(sample.Canvas()->Handle(), &onBitmap);
        EXPECT_EQ(screen.tmHeight, onBitmap.tmHeight) << size;
        EXPECT_EQ(GetFontHeight(&font), static_cast<int>(std::nearbyint(screen.tmHeight * 1.125))) << size;
    }
}

} // namespace FlatDrawingTest
