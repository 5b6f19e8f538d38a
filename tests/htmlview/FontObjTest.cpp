#include "HtmlTestSupport.h"

#include "platform/gui/DeviceContext.h"

#include <gtest/gtest.h>

namespace {

class FontObjTest : public testing::Test {
protected:
    TFixedMetricsScope FMetrics;
    TTestDocument FDoc;

    // A section of 20 characters with runs at 0 and 5.
    TSection* TwoRunSection()
    {
        TSection* section = FDoc.NewSection();
        AddText(*section, "abcde", 0);
        auto big = FDoc.FontOf(18);
        section->ChangeFont(&FDoc.Doc, big.get());
        AddText(*section, "fghijklmnopqrst", 5);
        FDoc.Doc.Add(section);
        return section;
    }
};

TEST_F(FontObjTest, RunLookUps)
{
    const TFontList& runs = *TwoRunSection()->FontRuns;
    int overhang = -1, index = -1;
    EXPECT_EQ(runs.GetFontAt(4, overhang), runs.Run(0)->RunFont.get());
    EXPECT_EQ(overhang, 0);
    EXPECT_EQ(runs.GetFontAt(5, overhang), runs.Run(1)->RunFont.get());
    EXPECT_EQ(runs.GetFontAt(500, overhang), runs.Run(1)->RunFont.get());
    EXPECT_EQ(runs.GetFontObjAt(0, index), runs.Run(0));
    EXPECT_EQ(index, 0);
    EXPECT_EQ(runs.GetFontObjAt(19, index), runs.Run(1));
    EXPECT_EQ(index, 1);
    EXPECT_EQ(runs.GetFontCountAt(0, 20), 5);
    EXPECT_EQ(runs.GetFontCountAt(5, 20), 15);
    EXPECT_EQ(runs.GetFontCountAt(3, 20), 2);
    EXPECT_EQ(runs.GetFontCountAt(12, 20), 8);
}

TEST_F(FontObjTest, ASingleRunHoldsEveryPosition)
{
    std::unique_ptr<TSection> section(FDoc.NewSection());
    AddText(*section, "abcdefgh", 0);
    int overhang = 0;
    for (int pos : {0, 3, 7, 100})
        EXPECT_EQ(section->FontRuns->GetFontAt(pos, overhang), section->FontRuns->Run(0)->RunFont.get()) << pos;
    EXPECT_EQ(section->FontRuns->GetFontCountAt(3, 8), 5);
}

TEST_F(FontObjTest, HoveredBeatsVisitedAndVisitedBeatsLink)
{
    TUrlTarget link;
    link.Assign("a.htm", "");
    std::unique_ptr<TSection> section(FDoc.NewSection(0, PaneUn2::Left, &link));
    TFontObj& run = *section->FontRuns->Run(0);
    const auto color = [&run] { return run.RunFont->Color(); };
    run.SetVisited(true);
    EXPECT_EQ(color(), clPurple | PaletteRelative);
    run.SetHover(true);
    EXPECT_EQ(color(), clRed | PaletteRelative);
    run.SetHover(false);
    EXPECT_EQ(color(), clPurple | PaletteRelative);
    run.SetVisited(false);
    EXPECT_EQ(color(), clBlue | PaletteRelative);
    // Setting a flag to the value it has changes nothing, not even a colour set by hand.
    run.RunFont->SetColor(clGreen);
    run.SetVisited(false);
    run.SetHover(false);
    EXPECT_EQ(color(), clGreen);
}

TEST_F(FontObjTest, SizesFollowTheBaseSize)
{
    FDoc.Doc.BaseFontSize = 8;
    TMyFont font;
    font.SetNormalSize(&FDoc.Doc, 12);
    EXPECT_EQ(font.Size(), 8);
    EXPECT_EQ(font.Height(), -MulDiv(8, 96, 72));
    font.SetNormalSize(&FDoc.Doc, 9);
    EXPECT_EQ(font.Size(), 6);
    EXPECT_EQ(font.RelativeSize, 9);
}

TEST_F(FontObjTest, UpdateFontsRescalesEveryRunAndTakesTheNewFaces)
{
    TSection* section = FDoc.NewSection();
    AddText(*section, "abcde", 0);
    auto big = FDoc.FontOf(18);
    section->ChangeFont(&FDoc.Doc, big.get());
    AddText(*section, "fgh", 5);
    TUrlTarget link;
    link.Assign("a.htm", "");
    auto fixed = FDoc.FontOf(10, "Courier New");
    fixed->FixedPitch = true;
    section->HRef(Symb::HrefSy, &FDoc.Doc, &link, fixed.get());
    AddText(*section, "z", 8);
    FDoc.Doc.Add(section);
    section->FontRuns->Run(2)->SetVisited(true);
    FDoc.Doc.FontCharset = 161;
    FDoc.Doc.SetFonts("Verdana", "Lucida Console", 10, clMaroon, clNavy, clPurple, clRed, clWhite, false);
    const TFontList& runs = *section->FontRuns;
    EXPECT_EQ(runs.Run(0)->RunFont->Size(), 10);
    EXPECT_EQ(runs.Run(1)->RunFont->Size(), 15);
    EXPECT_EQ(runs.Run(2)->RunFont->Size(), 8);
    EXPECT_EQ(runs.Run(0)->RunFont->Name(), "Verdana");
    EXPECT_EQ(runs.Run(2)->RunFont->Name(), "Lucida Console");
    EXPECT_EQ(runs.Run(0)->RunFont->Color(), clMaroon | PaletteRelative);
    // A visited link gets the plain link colour back until it is marked again.
    EXPECT_EQ(runs.Run(2)->RunFont->Color(), clNavy | PaletteRelative);
    EXPECT_EQ(runs.Run(2)->RunFont->Charset(), 161);
    EXPECT_EQ(section->MarkerFont->Size(), 10);
    EXPECT_EQ(section->MarkerFont->Color(), clMaroon | PaletteRelative);
}

TEST_F(FontObjTest, AssignCarriesTheRelativeSizeAndThePitch)
{
    TMyFont source;
    source.RelativeSize = 10;
    source.FixedPitch = true;
    source.SetName("Courier New");
    TMyFont copy;
    copy.Assign(&source);
    EXPECT_EQ(copy.RelativeSize, 10);
    EXPECT_TRUE(copy.FixedPitch);
    EXPECT_EQ(copy.Name(), "Courier New");
    TFont plain;
    plain.SetName("Arial");
    copy.Assign(&plain);
    EXPECT_EQ(copy.RelativeSize, 10);
    EXPECT_EQ(copy.Name(), "Arial");
}

TEST_F(FontObjTest, EveryChangeOfTheFontMeasuresItAgain)
{
    std::unique_ptr<TSection> section(FDoc.NewSection());
    TFontObj& run = *section->FontRuns->Run(0);
    int descent = 0;
    EXPECT_EQ(run.GetHeight(descent), TFixedPaneMetrics::Height);
    EXPECT_EQ(descent, TFixedPaneMetrics::Descent);
    const int before = FMetrics.Metrics.Measured;
    run.RunFont->SetSize(30);
    run.RunFont->SetStyle(TFontStyles{fsBold});
    EXPECT_EQ(FMetrics.Metrics.Measured, before + 2);
}

// The default measures on the screen context, and the helpers' text width goes through the seam.
TEST(PaneMetricsTest, TheDefaultMeasuresOnTheScreenAndTestsCanReplaceIt)
{
    TTestDocument doc;
    std::unique_ptr<TSection> section(doc.NewSection());
    TFontObj& run = *section->FontRuns->Run(0);
    const int normalHeight = run.LineHeight;
    EXPECT_GT(normalHeight, 8);
    EXPECT_GT(run.Descent, 0);
    EXPECT_LE(run.CellHeight, normalHeight);
    run.RunFont->SetNormalSize(&doc.Doc, 24);
    EXPECT_GT(run.LineHeight, normalHeight * 3 / 2);

    HDC dc = GetDC(nullptr);
    SelectObject(dc, run.RunFont->Handle());
    const int screenWidth = PaneUn2::GetXExtent(dc, "Wide", 4);
    EXPECT_GT(screenWidth, 0);
    {
        TFixedMetricsScope fixed;
        EXPECT_EQ(PaneUn2::GetXExtent(dc, "Wide", 4), 28);
        EXPECT_EQ(PaneMetrics().FitCount(dc, "Wide", 4, 20), 2);
    }
    EXPECT_EQ(PaneUn2::GetXExtent(dc, "Wide", 4), screenWidth);
    EXPECT_EQ(PaneMetrics().FitCount(dc, "Wide", 4, screenWidth - 1), 3);
    ReleaseDC(nullptr, dc);
}

} // namespace
