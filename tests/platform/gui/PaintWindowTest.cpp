// A window paints itself alone into a device context, and a graphic control asked to paint into
// one draws there instead of on its own image: the two steps of painting what lies under a
// control.

#include "GuiTestSupport.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/Form.h"
#include "platform/gui/Label.h"
#include "platform/gui/Panel.h"

#include <gtest/gtest.h>

namespace PaintWindowTest {

int InkPixels(TBitmap& bitmap, TColor background)
{
    int ink = 0;
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x)
            ink += bitmap.Canvas()->Pixels(x, y) != background;
    return ink;
}

TEST(PaintWindow, TheWindowAloneThenItsGraphicChildIntoTheSameContext)
{
    TForm form(nullptr);
    form.SetBounds(20, 20, 200, 120);
    auto* panel = new TPanel(&form);
    panel->SetParent(&form);
    panel->SetBounds(0, 0, 180, 90);
    panel->SetBevelOuter(bvNone);
    panel->SetColor(clLime);
    auto* label = new TLabel(&form);
    label->SetParent(panel);
    label->SetBounds(10, 10, 100, 20);
    label->Font()->SetColor(clBlack);
    label->SetCaption("WWWWWW");
    ShowAndActivate(&form);
    Pump(50);

    TBitmap target;
    target.SetSize(120, 40);
    target.Canvas()->Brush()->SetColor(clRed);
    target.Canvas()->FillRect(Rect(0, 0, 120, 40));
    HDC dc = target.Canvas()->Handle();
    SendMessageA(panel->Handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    panel->PaintWindow(dc);
    EXPECT_EQ(InkPixels(target, clLime), 0) << "the window alone: no label";

    const int saved = SaveDC(dc);
    SetViewportOrgEx(dc, label->Left(), label->Top(), nullptr);
    label->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    RestoreDC(dc, saved);
    EXPECT_GT(InkPixels(target, clLime), 20) << "the label drew its text into the context";
    EXPECT_EQ(target.Canvas()->Pixels(5, 5), clLime) << "left of the label the panel shows";
}

} // namespace PaintWindowTest
