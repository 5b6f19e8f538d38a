// Button glyphs: cells of a strip, the made disabled and inactive images, the shared image lists,
// the layout of glyph, caption and drop-down mark, and glyph bitmaps that hold no image.

#include "ButtonsTestSupport.h"

#include "controls/EXCtrls.h"
#include "controls/VCLUtils.h"
#include "controls/private/ExGlyphCache.h"

#include <gtest/gtest.h>

namespace ButtonGlyphTest {

using exctrls::QueryGlyphCache;

// A white bitmap to draw on, with a fixed font.
struct TSheet {
    TBitmap Bitmap;
    explicit TSheet(int width = 200, int height = 80, TColor background = clWhite)
    {
        Bitmap.SetPixelFormat(pf32bit);
        Bitmap.SetSize(width, height);
        Canvas()->Brush()->SetColor(background);
        Canvas()->FillRect(Rect(0, 0, width, height));
        Canvas()->Font()->SetName("Arial");
        Canvas()->Font()->SetSize(9);
        Canvas()->Font()->SetColor(clBlue);
    }
    TCanvas* Canvas() { return Bitmap.Canvas(); }
    TColor At(int x, int y) { return Canvas()->Pixels(x, y); }
};

TColor Grey(int level) { return static_cast<TColor>(level | (level << 8) | (level << 16)); }

TEST(ButtonGlyph, NumGlyphsFollowsTheStripWhenItDividesIntoFiveCellsAtMost)
{
    const struct {
        int Width;
        int Height;
        int Expected;
    } cases[] = {{64, 16, 4}, {112, 16, 1}, {20, 16, 2}, {80, 16, 5}, {16, 16, 1}};
    for (const auto& c : cases) {
        TExButtonGlyph glyph;
        glyph.SetNumGlyphs(2);
        TBitmap strip;
        strip.SetSize(c.Width, c.Height);
        glyph.SetGlyph(&strip);
        EXPECT_EQ(glyph.NumGlyphs(), c.Expected) << c.Width << " x " << c.Height;
    }
}

TEST(ButtonGlyph, SetNumGlyphsTakesOneToFive)
{
    TExButtonGlyph glyph;
    glyph.SetNumGlyphs(9);
    EXPECT_EQ(glyph.NumGlyphs(), 5);
    glyph.SetNumGlyphs(0);
    EXPECT_EQ(glyph.NumGlyphs(), 5);
    glyph.SetNumGlyphs(-3);
    EXPECT_EQ(glyph.NumGlyphs(), 5);
    glyph.SetNumGlyphs(3);
    EXPECT_EQ(glyph.NumGlyphs(), 3);
}

TEST(ButtonGlyph, OneCellMakesThePressedEmbossedAndGreyImages)
{
    auto strip = MakeGlyph(1);
    TExButtonGlyph glyph;
    glyph.SetGlyph(strip.get());
    EXPECT_EQ(glyph.TransparentColor(), GlyphTransparent);
    const int up = glyph.CreateButtonGlyph(rbsUp);
    ASSERT_NE(up, -1);
    EXPECT_EQ(glyph.CreateButtonGlyph(rbsDown), up) << "with fewer than 3 cells the pressed image is the up one";

    // Each state drawn on lime, which shows through the transparent pixels.
    const auto drawn = [&glyph](TExButtonState state) {
        auto sheet = std::make_unique<TSheet>(16, 16, clLime);
        EXPECT_EQ(glyph.DrawButtonGlyph(sheet->Canvas(), 0, 0, state), Point(16, 16));
        return sheet;
    };
    auto upImage = drawn(rbsUp);
    EXPECT_EQ(upImage->At(8, 8), GlyphFill);
    EXPECT_EQ(upImage->At(3, 3), GlyphOutline);
    EXPECT_EQ(upImage->At(8, 1), clLime);
    EXPECT_EQ(upImage->At(15, 0), GlyphBlue);

    auto embossed = CreateDisabledBitmap(strip.get(), clBlack);
    auto disabled = drawn(rbsDisabled);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const TColor expected = embossed->Canvas()->Pixels(x, y);
            const bool face = ColorToRGB(expected) == ColorToRGB(clBtnFace);
            ASSERT_EQ(disabled->At(x, y), face ? clLime : expected) << x << "," << y;
        }

    auto inactive = drawn(rbsInactive);
    EXPECT_EQ(inactive->At(8, 8), Grey(255 * 77 >> 8)) << "red";
    EXPECT_EQ(inactive->At(15, 0), Grey(255 * 29 >> 8)) << "blue";
    EXPECT_EQ(inactive->At(3, 3), Grey(0)) << "black";
    EXPECT_EQ(inactive->At(0, 0), static_cast<TColor>(ColorToRGB(clBtnFace))) << "button face stays";
    EXPECT_EQ(inactive->At(8, 1), clLime) << "transparent stays transparent";
    EXPECT_EQ(glyph.MapColor(GlyphTransparent), GlyphTransparent);
}

TEST(ButtonGlyph, EachStateTakesItsOwnCellOfAFiveCellStrip)
{
    const std::vector<TColor> fills{clRed, clGray, clGreen, clNavy, clOlive};
    auto strip = MakeGlyph(5, 16, fills);
    TExButtonGlyph glyph;
    glyph.SetGlyph(strip.get());
    ASSERT_EQ(glyph.NumGlyphs(), 5);
    for (TExButtonState state : {rbsUp, rbsDisabled, rbsDown, rbsExclusive, rbsInactive}) {
        TSheet sheet(16, 16);
        glyph.DrawButtonGlyph(sheet.Canvas(), 0, 0, state);
        EXPECT_EQ(sheet.At(8, 8), fills[state]) << state;
    }
}

TEST(ButtonGlyph, GlyphsOfOneCellSizeShareOneListUntilTheLastGoes)
{
    ASSERT_FALSE(QueryGlyphCache().Exists) << "no glyph object is left from other tests";
    auto strip16 = MakeGlyph(1);
    auto strip24 = MakeGlyph(1, 24);
    auto first = std::make_unique<TExButtonGlyph>();
    auto second = std::make_unique<TExButtonGlyph>();
    auto other = std::make_unique<TExButtonGlyph>();
    first->SetGlyph(strip16.get());
    second->SetGlyph(strip16.get());
    other->SetGlyph(strip24.get());
    first->CreateButtonGlyph(rbsUp);
    first->CreateButtonGlyph(rbsInactive);
    second->CreateButtonGlyph(rbsUp);
    other->CreateButtonGlyph(rbsUp);
    EXPECT_EQ(first->ImageList(), second->ImageList());
    EXPECT_NE(first->ImageList(), other->ImageList());
    EXPECT_EQ(QueryGlyphCache().UsedCounts, (std::vector<int>{3, 1}));

    other.reset();
    EXPECT_EQ(QueryGlyphCache().UsedCounts, std::vector<int>{3});
    first.reset();
    EXPECT_EQ(QueryGlyphCache().UsedCounts, std::vector<int>{1}) << "the list lives while a glyph holds a cell";
    // A new glyph reuses the freed cells instead of growing the list.
    auto third = std::make_unique<TExButtonGlyph>();
    third->SetGlyph(strip16.get());
    third->CreateButtonGlyph(rbsUp);
    EXPECT_EQ(third->ImageList()->Count(), 3);
    third.reset();
    second.reset();
    EXPECT_FALSE(QueryGlyphCache().Exists);
}

TEST(ButtonGlyph, GlyphsWithoutAnImageDrawNothing)
{
    const struct {
        int Width;
        int Height;
        int NumGlyphs;
    } cases[] = {{0, 0, 1}, {0, 16, 1}, {16, 0, 1}, {3, 16, 4}, {10000, 16, 1}};
    for (const auto& c : cases) {
        TExButtonGlyph glyph;
        TBitmap strip;
        strip.SetSize(c.Width, c.Height);
        glyph.SetGlyph(&strip);
        glyph.SetNumGlyphs(c.NumGlyphs);
        TSheet sheet(60, 40);
        const int index = glyph.CreateButtonGlyph(rbsInactive);
        if (c.Width == 10000) {
            EXPECT_NE(index, -1) << "a wide strip is one wide cell";
            continue;
        }
        EXPECT_EQ(index, -1) << c.Width << " x " << c.Height;
        EXPECT_EQ(glyph.DrawButtonGlyph(sheet.Canvas(), 0, 0, rbsUp), Point(0, 0));
        glyph.Draw(sheet.Canvas(), Rect(0, 0, 60, 40), "", blGlyphTop, -1, 1, true, rbsUp, DT_CENTER);
    }
}

// The layout's gaps along its axis, for a glyph of 16 and the text's size.
struct TLayoutCase {
    TButtonLayout Layout;
    const char* Name;
};

TEST(ButtonGlyphLayout, MarginAndSpacingMinusOneMakeThreeEqualGaps)
{
    auto strip = MakeGlyph(1);
    TExButtonGlyph glyph;
    glyph.SetGlyph(strip.get());
    TSheet sheet;
    const TSize text = sheet.Canvas()->TextExtent("Salva");
    for (const TLayoutCase c : {TLayoutCase{blGlyphLeft, "left"}, TLayoutCase{blGlyphRight, "right"},
                                TLayoutCase{blGlyphTop, "top"}, TLayoutCase{blGlyphBottom, "bottom"}}) {
        const bool across = c.Layout == blGlyphLeft || c.Layout == blGlyphRight;
        // Room for glyph, text and three gaps of 10 along the axis.
        const TRect client = across ? Bounds(5, 7, 16 + text.cx + 30, 40) : Bounds(5, 7, 80, 16 + text.cy + 30);
        std::string caption = "Salva";
        TPoint glyphPos;
        TRect textBounds;
        glyph.CalcButtonLayout(sheet.Canvas(), client, caption, c.Layout, -1, -1, false, glyphPos, textBounds,
                               DT_CENTER, nullptr, -1);
        std::vector<int> gaps;
        if (c.Layout == blGlyphLeft)
            gaps = {glyphPos.X - client.Left, textBounds.Left - (glyphPos.X + 16), client.Right - textBounds.Right};
        else if (c.Layout == blGlyphRight)
            gaps = {textBounds.Left - client.Left, glyphPos.X - textBounds.Right, client.Right - (glyphPos.X + 16)};
        else if (c.Layout == blGlyphTop)
            gaps = {glyphPos.Y - client.Top, textBounds.Top - (glyphPos.Y + 16), client.Bottom - textBounds.Bottom};
        else
            gaps = {textBounds.Top - client.Top, glyphPos.Y - textBounds.Bottom, client.Bottom - (glyphPos.Y + 16)};
        EXPECT_EQ(gaps, (std::vector<int>{10, 10, 10})) << c.Name;
        EXPECT_EQ(textBounds.Width(), text.cx) << c.Name;
    }
}

// The drop-down mark's pixels (clBtnText) on the sheet: the rows from the top one down.
struct TMark {
    int Top = -1;
    std::vector<std::pair<int, int>> Rows; // first and last column of each row
};

TMark FindMark(TSheet& sheet, const TRect& area)
{
    TMark mark;
    const TColor ink = static_cast<TColor>(ColorToRGB(clBtnText));
    for (int y = area.Top; y < area.Bottom; ++y) {
        int first = -1, last = -1;
        for (int x = area.Left; x < area.Right; ++x)
            if (sheet.At(x, y) == ink) {
                if (first < 0)
                    first = x;
                last = x;
            }
        if (first < 0)
            continue;
        if (mark.Top < 0)
            mark.Top = y;
        mark.Rows.push_back({first, last});
    }
    return mark;
}

TEST(ButtonGlyphLayout, TheDropDownMarkSitsByTheTextTheGlyphOrTheMiddle)
{
    auto strip = MakeGlyph(1, 16, {clLime});
    const struct {
        TButtonLayout Layout;
        const char* Caption;
        bool WithGlyph;
        const char* Name;
    } cases[] = {{blGlyphLeft, "Stampa", true, "3 pixels right of the text"},
                 {blGlyphTop, "Stampa", true, "right of the glyph"},
                 {blGlyphTop, "", false, "centred"}};
    for (const auto& c : cases) {
        TExButtonGlyph glyph;
        if (c.WithGlyph)
            glyph.SetGlyph(strip.get());
        TSheet sheet(120, 60);
        const TRect client = Rect(10, 4, 110, 56);
        std::string fitted = c.Caption;
        TPoint glyphPos;
        TRect textBounds;
        glyph.CalcButtonLayout(sheet.Canvas(), client, fitted, c.Layout, -1, 1, true, glyphPos, textBounds, DT_CENTER,
                               nullptr, -1);
        const TRect drawnBounds = glyph.Draw(sheet.Canvas(), client, c.Caption, c.Layout, -1, 1, true, rbsUp,
                                             DT_CENTER);
        EXPECT_EQ(drawnBounds, textBounds) << c.Name;
        // Right of the text or of the glyph, whose outline has the mark's colour.
        TRect area = client;
        if (c.Layout == blGlyphLeft)
            area.Left = textBounds.Right;
        else if (c.WithGlyph)
            area.Left = glyphPos.X + 16;
        const TMark mark = FindMark(sheet, area);
        ASSERT_EQ(mark.Rows.size(), 4u) << c.Name;
        const int x = mark.Rows[0].first;
        for (int row = 0; row < 4; ++row)
            EXPECT_EQ(mark.Rows[row], std::make_pair(x + row, x + 6 - row)) << c.Name << " row " << row;
        if (c.Layout == blGlyphLeft) {
            EXPECT_EQ(x, textBounds.Right + 3) << c.Name;
            EXPECT_EQ(mark.Top, textBounds.Top + textBounds.Height() / 2 - 1) << c.Name;
        } else if (c.WithGlyph) {
            EXPECT_EQ(x, glyphPos.X + 16 + 1) << c.Name;
            EXPECT_EQ(mark.Top, glyphPos.Y + 8 - 1) << c.Name;
        } else {
            EXPECT_EQ(x, (client.Left + client.Right - 7) / 2) << c.Name;
            EXPECT_EQ(mark.Top, (client.Top + client.Bottom) / 2 - 1) << c.Name;
        }
    }
}

TEST(ButtonGlyphLayout, ALongCaptionIsCutTo255CharactersAndShortenedToItsRoom)
{
    TExButtonGlyph glyph;
    TSheet sheet(25, 25);
    const std::string caption(10000, 'W');
    EXPECT_EQ(glyph.MinimizeCaption(sheet.Canvas(), caption, 255, 100000).size(), 255u);
    const std::string fitted = glyph.MinimizeCaption(sheet.Canvas(), caption, 255, 40);
    EXPECT_LE(sheet.Canvas()->TextWidth(fitted), 40);
    EXPECT_EQ(fitted.substr(fitted.size() - 3), "...");
    EXPECT_EQ(glyph.MinimizeCaption(sheet.Canvas(), "Riga uno\r\nRiga due  \r\n", 255, 1000), "Riga uno\r\nRiga due");
    glyph.Draw(sheet.Canvas(), Rect(2, 2, 23, 23), caption, blGlyphTop, -1, 1, false, rbsUp, DT_CENTER);
    glyph.SetWordWrap(true);
    EXPECT_EQ(glyph.MinimizeCaption(sheet.Canvas(), caption, 255, 40).size(), 255u);
}

TEST(ButtonImage, DrawsAFramedFaceWithTheGlyphAndKeepsTheCanvasState)
{
    auto strip = MakeGlyph(1);
    TButtonImage image;
    image.SetGlyph(strip.get());
    TSheet sheet(40, 40);
    sheet.Canvas()->Brush()->SetColor(clYellow);
    TFont font;
    font.SetName("Courier New");
    image.Draw(sheet.Canvas(), 5, 5, -1, 1, blGlyphTop, &font, DT_CENTER);
    EXPECT_EQ(sheet.Canvas()->Brush()->Color(), clYellow);
    EXPECT_EQ(sheet.Canvas()->Font()->Name(), "Arial");
    EXPECT_EQ(sheet.At(5, 5), static_cast<TColor>(ColorToRGB(clBtnShadow)));
    EXPECT_EQ(sheet.At(5 + 23, 5 + 22), static_cast<TColor>(ColorToRGB(clWindowFrame)));
    EXPECT_EQ(sheet.At(6, 6), static_cast<TColor>(ColorToRGB(clBtnHighlight)));
    EXPECT_EQ(sheet.At(5 + 22, 5 + 21), static_cast<TColor>(ColorToRGB(clBtnShadow)));
    EXPECT_EQ(sheet.At(5 + 12, 5 + 11), GlyphFill);
    EXPECT_EQ(sheet.At(4, 4), clWhite);
}

} // namespace ButtonGlyphTest
