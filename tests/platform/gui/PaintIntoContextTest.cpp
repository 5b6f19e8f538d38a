// A window asked to erase and paint into a device context given with WM_ERASEBKGND and WM_PAINT
// draws what it shows, with its graphic children, under the context's viewport and clipping.

#include "GuiTestSupport.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Label.h"
#include "platform/gui/Panel.h"
#include "platform/gui/Regions.h"

#include <gtest/gtest.h>

namespace {

// A green panel holding a label and an edit, on a shown form.
struct TPanelScene {
    TForm Form{nullptr};
    TPanel* Panel = nullptr;
    TLabel* Caption = nullptr;
    TEdit* Edit = nullptr;

    TPanelScene()
    {
        Form.SetBounds(30, 30, 260, 140);
        Panel = new TPanel(&Form);
        Panel->SetParent(&Form);
        Panel->SetBounds(10, 10, 220, 90);
        Panel->SetBevelOuter(bvNone);
        Panel->SetColor(clLime);
        Caption = new TLabel(&Form);
        Caption->SetParent(Panel);
        Caption->SetBounds(8, 8, 120, 20);
        Caption->Font()->SetColor(clBlack);
        Caption->SetCaption("MMMMMMMM");
        Edit = new TEdit(&Form);
        Edit->SetParent(Panel);
        Edit->SetBounds(8, 50, 100, 24);
        ShowAndActivate(&Form);
        Pump(50);
    }
};

TColor PixelAt(TBitmap& bitmap, int x, int y) { return bitmap.Canvas()->Pixels(x, y); }

TEST(PaintIntoContext, EraseAndPaintDrawThePanelAndItsGraphicChildrenUnderTheViewport)
{
    TPanelScene scene;
    TBitmap panelGrab;
    ASSERT_TRUE(GrabToBitmap(scene.Panel, &panelGrab));

    // A red bitmap standing for a control at (4, 40) of the panel, 120 x 40, clipped to its
    // first 100 columns.
    TBitmap target;
    target.SetSize(120, 40);
    target.Canvas()->Brush()->SetColor(clRed);
    target.Canvas()->FillRect(Rect(0, 0, 120, 40));
    HDC dc = target.Canvas()->Handle();
    const int saved = SaveDC(dc);
    SetViewportOrgEx(dc, -4, -40, nullptr);
    IntersectClipRect(dc, 4, 40, 104, 80);
    EXPECT_EQ(scene.Panel->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1);
    scene.Panel->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    RestoreDC(dc, saved);
    EXPECT_EQ(PixelAt(target, 50, 2), clLime);

    // Outside the clip nothing changed; the edit, a window, was not painted.
    EXPECT_EQ(PixelAt(target, 110, 5), clRed);
    EXPECT_EQ(PixelAt(target, 20, 20), clLime) << "inside the edit's rectangle";

    // The label's ink lies where the panel shows it, shifted by the viewport.
    TBitmap second;
    second.SetSize(140, 30);
    dc = second.Canvas()->Handle();
    SetViewportOrgEx(dc, -2, -4, nullptr);
    scene.Panel->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    scene.Panel->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    SetViewportOrgEx(dc, 0, 0, nullptr);
    int ink = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 140; ++x) {
            const TColor shown = panelGrab.Canvas()->Pixels(x + 2, y + 4);
            ASSERT_EQ(PixelAt(second, x, y), shown) << x << "," << y;
            ink += shown != clLime;
        }
    EXPECT_GT(ink, 20) << "the label's text was compared";
}

TEST(Accelerators, IsAccelFindsTheMarkedLetterWithoutCase)
{
    struct TCase {
        WORD Key;
        const char* Caption;
        bool Expected;
    };
    const TCase cases[] = {{'S', "&Salva", true},   {'s', "&Salva", true},  {'A', "&Salva", false},
                           {'S', "Salva", false},   {'A', "S&&alva", false}, {'V', "Sal&va", true},
                           {0xC8, "&\xE8 fatto", true}};
    for (const TCase& c : cases)
        EXPECT_EQ(IsAccel(c.Key, c.Caption), c.Expected) << c.Caption << " " << c.Key;
}

} // namespace
