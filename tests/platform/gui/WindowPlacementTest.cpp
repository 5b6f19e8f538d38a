// SetWindowPlacement keeps a top-level window reachable, and hiding a window that is not yet on the
// screen leaves it on its way there.

#include "GuiTestSupport.h"

#include "platform/gui/Form.h"
#include "platform/gui/Screen.h"
#include "platform/gui/WindowFunctions.h"

#include <gtest/gtest.h>

namespace WindowPlacementTest {

TEST(WindowPlacement, AnUnreachableRectangleMovesOntoThePrimaryWorkAreaWithItsSize)
{
    const TRect area = Screen->WorkAreaRect();
    TForm form(nullptr);
    form.Show();
    WINDOWPLACEMENT placement;
    ASSERT_TRUE(GetWindowPlacement(form.Handle(), placement));
    struct TCase {
        TRect Stored;
        TRect Expected;
    };
    const TCase cases[] = {
        // Still partly on the screen: applied as given.
        {Bounds(area.Right - 50, area.Top + 10, 300, 200), Bounds(area.Right - 50, area.Top + 10, 300, 200)},
        // Far to the right and below: the nearest corner of the work area, same size.
        {Bounds(area.Right + 5000, area.Bottom + 4000, 300, 200),
         Bounds(area.Right - 300, area.Bottom - 200, 300, 200)},
        // Far to the left and above.
        {Bounds(area.Left - 9000, area.Top - 7000, 250, 150), Bounds(area.Left, area.Top, 250, 150)},
        // Larger than the work area: cut to it.
        {Bounds(area.Right + 100, area.Top, area.Width() + 400, area.Height() + 300), area},
    };
    for (const TCase& c : cases) {
        placement.rcNormalPosition = c.Stored;
        ASSERT_TRUE(SetWindowPlacement(form.Handle(), placement));
        EXPECT_EQ(form.BoundsRect(), c.Expected);
    }
    form.Hide();
}

TEST(WindowPlacement, HidingAWindowNotYetOnTheScreenLeavesItOnItsWayThere)
{
    TForm form(nullptr);
    form.OnShow = [&form](TObject*) {
        WINDOWPLACEMENT placement;
        GetWindowPlacement(form.Handle(), placement);
        placement.showCmd = SW_HIDE;
        placement.rcNormalPosition = Bounds(30, 40, 200, 100);
        SetWindowPlacement(form.Handle(), placement);
    };
    form.Show();
    EXPECT_TRUE(form.Visible());
    EXPECT_TRUE(IsWindowVisible(form.Handle()));
    EXPECT_EQ(form.BoundsRect(), Bounds(30, 40, 200, 100));
    form.Hide();
}

} // namespace WindowPlacementTest
