#include "WidgetsTestSupport.h"

#include "platform/gui/Form.h"
#include "platform/gui/Panel.h"
#include "platform/gui/TextOutput.h"
#include "widgets/FlatPanel.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace FlatPanelTest {

constexpr TColor Face = 0xE1EAEB;
constexpr TColor Frame = 0x8396A0;

// A shown form with a green panel the flat panel stands on.
struct TScene {
    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    TPanel* Ground = nullptr;
    TFlatPanel* Flat = nullptr;

    TScene()
    {
        Form->SetBounds(60, 60, 300, 160);
        Ground = new TPanel(Form.get());
        Ground->SetParent(Form.get());
        Ground->SetBounds(0, 0, 280, 120);
        Ground->SetBevelOuter(bvNone);
        Ground->SetColor(clGreen);
        Flat = new TFlatPanel(Form.get());
        Flat->SetParent(Ground);
        Flat->SetLeft(20);
        Flat->SetTop(20);
        Flat->SetParentColor(false);
        Flat->SetColor(Face);
        Form->Show();
        PumpFor(10);
    }

    TColor At(int x, int y)
    {
        TGrab grab(Ground);
        return grab.At(Flat->Left() + x, Flat->Top() + y);
    }
    TRect OnGround(const TRect& r) const
    {
        return Rect(Flat->Left() + r.Left, Flat->Top() + r.Top, Flat->Left() + r.Right, Flat->Top() + r.Bottom);
    }
};

TEST(FlatPanel, TheFrameHasTwoColoursAndFollowsSetColors)
{
    TScene scene;
    EXPECT_EQ(scene.Flat->Width(), 185);
    EXPECT_EQ(scene.Flat->Height(), 41);
    EXPECT_EQ(scene.Flat->ColorHighLight(), Frame);
    EXPECT_EQ(scene.Flat->ColorShadow(), Frame);
    scene.Flat->SetColors(0, 0xFFFFFF);
    scene.Flat->SetColors(1, 0x000000);
    struct TCase {
        int X, Y;
        TColor Expected;
    };
    // Top and left in the highlight, bottom and right (and their corners) in the shadow; no bevel.
    const TCase cases[] = {{0, 0, 0xFFFFFF},  {92, 0, 0xFFFFFF},  {183, 0, 0xFFFFFF}, {0, 20, 0xFFFFFF},
                           {0, 39, 0xFFFFFF}, {184, 0, 0x000000}, {184, 20, 0x000000}, {184, 40, 0x000000},
                           {92, 40, 0x000000}, {0, 40, 0x000000}, {1, 1, Face},        {183, 39, Face}};
    {
        TGrab grab(scene.Ground);
        for (const TCase& c : cases)
            EXPECT_EQ(grab.At(scene.Flat->Left() + c.X, scene.Flat->Top() + c.Y), c.Expected) << c.X << "," << c.Y;
    }
    scene.Flat->SetColors(0, 0x000000);
    EXPECT_EQ(scene.At(0, 0), 0x000000);
    EXPECT_EQ(scene.At(92, 0), 0x000000);
    // An index outside the table only repaints.
    scene.Flat->SetColors(2, clRed);
    EXPECT_EQ(scene.Flat->ColorHighLight(), 0x000000);
    EXPECT_EQ(scene.Flat->ColorShadow(), 0x000000);
    EXPECT_EQ(scene.At(92, 20), Face);
    // A repaint after a change shows it (the picture is kept only while nothing changes).
    scene.Flat->SetColor(clYellow);
    EXPECT_EQ(scene.At(92, 20), clYellow);
}

TEST(FlatPanel, CaptionAlignmentAndTheDisabledLook)
{
    TScene scene;
    scene.Flat->SetColors(0, Face);
    scene.Flat->SetColors(1, Face);
    scene.Flat->Font()->SetColor(clBlack);
    scene.Flat->SetCaption("Intestazione");
    scene.Flat->SetAlignment(taLeftJustify);
    {
        TGrab grab(scene.Ground);
        const int first = grab.FirstInkColumn(scene.OnGround(Rect(0, 0, 185, 41)), Face);
        ASSERT_GE(first, 0);
        EXPECT_LE(first - scene.Flat->Left(), 2) << "a left caption starts at the very edge";
        auto expected = DrawnCaption(185, 41, Face, scene.Flat->Font(), "Intestazione", Rect(0, 0, 185, 41),
                                     DT_SINGLELINE | DT_VCENTER | DT_LEFT, false);
        EXPECT_EQ(DifferingPixels(grab, Point(scene.Flat->Left(), scene.Flat->Top()), *expected, Rect(0, 0, 185, 41)),
                  0);
    }
    scene.Flat->SetAlignment(taRightJustify);
    {
        TGrab grab(scene.Ground);
        const int last = grab.LastInkColumn(scene.OnGround(Rect(0, 0, 185, 41)), Face);
        EXPECT_GE(last - scene.Flat->Left(), 182);
    }
    scene.Flat->SetAlignment(taCenter);
    {
        TGrab grab(scene.Ground);
        const TRect whole = scene.OnGround(Rect(0, 0, 185, 41));
        const int first = grab.FirstInkColumn(whole, Face) - scene.Flat->Left();
        const int last = grab.LastInkColumn(whole, Face) - scene.Flat->Left();
        EXPECT_LE(std::abs((first + last) / 2 - 92), 2) << "centred";
        double x, y;
        EXPECT_EQ(grab.InkCentre(whole, Face, true, x, y), 0) << "an enabled caption has no highlight";
    }
    scene.Flat->Font()->SetStyle(TFontStyles{fsBold});
    {
        TGrab grab(scene.Ground);
        auto expected = DrawnCaption(185, 41, Face, scene.Flat->Font(), "Intestazione", Rect(0, 0, 185, 41),
                                     DT_SINGLELINE | DT_VCENTER | DT_CENTER, false);
        EXPECT_EQ(DifferingPixels(grab, Point(scene.Flat->Left(), scene.Flat->Top()), *expected, Rect(0, 0, 185, 41)),
                  0)
            << "a font change shows at once";
    }
    scene.Flat->SetEnabled(false);
    TGrab grab(scene.Ground);
    auto expected = DrawnCaption(185, 41, Face, scene.Flat->Font(), "Intestazione", Rect(0, 0, 185, 41),
                                 DT_SINGLELINE | DT_VCENTER | DT_CENTER, true);
    EXPECT_EQ(DifferingPixels(grab, Point(scene.Flat->Left(), scene.Flat->Top()), *expected, Rect(0, 0, 185, 41)), 0);
}

TEST(FlatPanel, ATransparentPanelShowsItsParentInsideTheFrame)
{
    TScene scene;
    scene.Flat->SetTransparent(true);
    TGrab grab(scene.Ground);
    EXPECT_EQ(grab.At(scene.Flat->Left() + 1, scene.Flat->Top() + 1), clGreen);
    EXPECT_EQ(grab.At(scene.Flat->Left() + 92, scene.Flat->Top() + 20), clGreen);
    EXPECT_EQ(grab.At(scene.Flat->Left(), scene.Flat->Top() + 20), Frame);
    EXPECT_EQ(grab.At(scene.Flat->Left() + 184, scene.Flat->Top() + 20), Frame);
}

} // namespace FlatPanelTest
