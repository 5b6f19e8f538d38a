// Objects on a canvas: the gaps and drawing rectangle under scaling, frames and fills probed on a
// bitmap, clip regions, the placement of a stretched picture and the orientation of lines.

#include "ReportTestSupport.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/Regions.h"

namespace {

// The common drawing of every kind: background and frame.
class TrpProbeView : public TrpView {
    TESS_CLASS(TrpProbeView, TrpView)
public:
    void Draw(TCanvas* canvas) override
    {
        BeginDraw(canvas);
        CalcGaps();
        if (WithBackground)
            ShowBackGround();
        if (WithFrame)
            ShowFrame();
        RestoreCoord();
    }
    bool WithBackground = true;
    bool WithFrame = true;
};

class Drawing : public testing::Test {
protected:
    void SetUp() override
    {
        Surface.SetPixelFormat(pf24bit);
        Surface.SetSize(200, 140);
        Surface.Canvas()->Brush()->SetColor(clWhite);
        Surface.Canvas()->FillRect({0, 0, 200, 140});
        View.SetBounds(10, 20, 100, 18);
        View.FrameTyp = rpFrameAll;
    }
    void TearDown() override { DocMode = dmDesigning; }

    TColor At(int x, int y) { return Surface.Canvas()->Pixels(x, y); }
    int CountInColumn(int x, int top, int bottom, TColor color)
    {
        int count = 0;
        for (int y = top; y < bottom; ++y)
            count += At(x, y) == color;
        return count;
    }

    TBitmap Surface;
    TrpProbeView View;
};

TRect RegionBox(HRGN region)
{
    RECT box;
    GetRgnBox(region, &box);
    DeleteObject(region);
    return box;
}

} // namespace

TEST_F(Drawing, GapsAndDrawingRectangleFollowFrameWidthAndScale)
{
    struct TCase {
        float FrameWidth;
        double Scale;
        int GapX, GapY;
    };
    DocMode = dmPrinting;
    for (const TCase& c : {TCase{1, 1, 2, 1}, TCase{3, 1, 4, 2}, TCase{1, 2, 3, 1}}) {
        SCOPED_TRACE(testing::Message() << c.FrameWidth << " at " << c.Scale);
        View.FrameWidth = c.FrameWidth;
        View.ScaleX = View.ScaleY = c.Scale;
        View.CalcGaps();
        EXPECT_EQ(View.GapX, c.GapX);
        EXPECT_EQ(View.GapY, c.GapY);
        if (c.FrameWidth == 1 && c.Scale == 1) {
            EXPECT_EQ(View.DrawRect, (TRect{10, 20, 111, 39}));
        }
        View.RestoreCoord();
        EXPECT_EQ((std::vector<int>{View.Left, View.Top, View.Width, View.Height}), (std::vector<int>{10, 20, 100, 18}));
        EXPECT_FLOAT_EQ(View.FrameWidth, c.FrameWidth);
    }
    // While designing the scale is always 1.
    DocMode = dmDesigning;
    View.ScaleX = View.ScaleY = 2;
    View.FrameWidth = 1;
    View.CalcGaps();
    EXPECT_EQ(View.DrawRect, (TRect{10, 20, 111, 39}));
    View.RestoreCoord();
}

TEST_F(Drawing, ASolidFrameOnEverySideIsOneRectangle)
{
    DocMode = dmPrinting;
    View.Draw(Surface.Canvas());
    for (auto [x, y] : {std::pair{10, 20}, {110, 20}, {10, 38}, {110, 38}, {60, 20}, {110, 30}})
        EXPECT_EQ(At(x, y), clBlack) << x << "," << y;
    for (auto [x, y] : {std::pair{111, 39}, {9, 19}, {60, 30}, {111, 30}, {60, 39}})
        EXPECT_EQ(At(x, y), clWhite) << x << "," << y;
}

TEST_F(Drawing, APatternedSideIsDrawnAsParallelThinLines)
{
    DocMode = dmPrinting;
    View.Height = 80;
    View.FrameTyp = rpFrameLeft;
    View.FrameStyle = 1;
    View.FrameWidth = 3;
    View.Draw(Surface.Canvas());
    for (int x : {9, 10, 11}) {
        EXPECT_GT(CountInColumn(x, 20, 100, clBlack), 20) << x;
        EXPECT_GT(CountInColumn(x, 20, 100, clWhite), 0) << x;
    }
    EXPECT_EQ(CountInColumn(8, 0, 140, clBlack), 0);
    EXPECT_EQ(CountInColumn(12, 0, 140, clBlack), 0);
}

TEST_F(Drawing, ADoubleFrameIsLineGapLine)
{
    DocMode = dmPrinting;
    View.WithBackground = false;
    View.FrameTyp = rpFrameTop;
    View.FrameStyle = rpDoubleFrame;
    View.FillColor = clYellow;
    View.FrameColor = clNavy;
    View.Draw(Surface.Canvas());
    EXPECT_EQ(At(60, 19), clNavy);
    EXPECT_EQ(At(60, 20), clYellow);
    EXPECT_EQ(At(60, 21), clNavy);
    EXPECT_EQ(At(60, 22), clWhite);
    EXPECT_EQ(At(60, 18), clWhite);
}

TEST_F(Drawing, WhilePrintingTheFillReachesUnderTheFrame)
{
    View.WithFrame = false;
    View.FrameWidth = 3;
    View.FillColor = clYellow;
    DocMode = dmDesigning;
    View.Draw(Surface.Canvas());
    EXPECT_EQ(At(10, 20), clWhite);
    EXPECT_EQ(At(11, 21), clYellow);

    DocMode = dmPrinting;
    View.Draw(Surface.Canvas());
    EXPECT_EQ(At(10, 20), clYellow);
    EXPECT_EQ(At(109, 37), clYellow);
    EXPECT_EQ(At(110, 38), clWhite);

    // A transparent fill draws nothing while printing and white while designing.
    View.FillColor = clNone;
    Surface.Canvas()->Brush()->SetColor(clRed);
    Surface.Canvas()->FillRect({0, 0, 200, 140});
    View.Draw(Surface.Canvas());
    EXPECT_EQ(At(50, 30), clRed);
    DocMode = dmDesigning;
    View.Draw(Surface.Canvas());
    EXPECT_EQ(At(50, 30), clWhite);
}

TEST_F(Drawing, ClipRegionsCoverTheFrame)
{
    struct TCase {
        std::uint16_t Style;
        TrpRgnType Type;
        TRect Box;
    };
    for (const TCase& c : {TCase{0, rtNormal, {10, 20, 111, 39}}, TCase{0, rtExtended, {0, 10, 121, 49}},
                           TCase{rpDoubleFrame, rtNormal, {8, 18, 112, 40}},
                           TCase{rpDoubleFrame, rtExtended, {-2, 8, 122, 50}}}) {
        SCOPED_TRACE(testing::Message() << c.Style << " " << c.Type);
        View.FrameStyle = c.Style;
        EXPECT_EQ(RegionBox(View.GetClipRgn(c.Type)), c.Box);
    }
    View.FrameTyp = 0;
    View.FrameWidth = 5;
    EXPECT_EQ(RegionBox(View.GetClipRgn(rtNormal)), (TRect{10, 20, 111, 39}));

    TrpLineView line;
    line.SetBounds(10, 20, 0, 50);
    line.FrameWidth = 3;
    EXPECT_EQ(RegionBox(line.GetClipRgn(rtNormal)), (TRect{8, 20, 13, 71}));
    line.FrameTyp = rpFrameTop;
    line.SetBounds(10, 20, 50, 0);
    EXPECT_EQ(RegionBox(line.GetClipRgn(rtExtended)), (TRect{0, 8, 71, 33}));
}

TEST_F(Drawing, AStretchedPictureKeepsItsProportionsAndIsCentred)
{
    TBitmap wide;
    wide.SetPixelFormat(pf24bit);
    wide.SetSize(200, 100);
    wide.Canvas()->Brush()->SetColor(clRed);
    wide.Canvas()->FillRect({0, 0, 200, 100});
    TrpPictureView picture;
    picture.SetBounds(0, 0, 100, 100);
    picture.Flags = 7;
    picture.Picture->SetGraphic(&wide);
    DocMode = dmPrinting;
    picture.Draw(Surface.Canvas());
    for (auto [x, y] : {std::pair{0, 25}, {100, 25}, {0, 74}, {100, 74}, {50, 50}})
        EXPECT_EQ(At(x, y), clRed) << x << "," << y;
    for (auto [x, y] : {std::pair{0, 24}, {50, 24}, {0, 75}, {101, 50}})
        EXPECT_EQ(At(x, y), clWhite) << x << "," << y;
}

TEST_F(Drawing, LinesTakeTheOrientationOfTheirLongerSide)
{
    TrpLineView horizontal;
    horizontal.SetBounds(10, 10, 100, 3);
    horizontal.Draw(Surface.Canvas());
    EXPECT_EQ(horizontal.Height, 0);
    EXPECT_EQ(horizontal.Width, 100);
    EXPECT_EQ(horizontal.FrameTyp, rpFrameTop);

    TrpLineView vertical;
    vertical.SetBounds(10, 10, 3, 100);
    vertical.Draw(Surface.Canvas());
    EXPECT_EQ(vertical.Width, 0);
    EXPECT_EQ(vertical.Height, 100);
    EXPECT_EQ(vertical.FrameTyp, rpFrameLeft);
    EXPECT_EQ(At(10, 50), clBlack);
}
