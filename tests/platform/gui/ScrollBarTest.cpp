#include "GuiTestSupport.h"

#include "platform/gui/Form.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/private/Surfaces.h"

#include <QScrollBar>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

class TScrolled : public TRecorder {
public:
    using TRecorder::TRecorder;

protected:
    void CreateParams(TCreateParams& Params) override
    {
        TRecorder::CreateParams(Params);
        Params.Style |= WS_VSCROLL | WS_BORDER;
    }
};

TEST(WindowScrollBars, RangesPagesAndUserActions)
{
    TForm form(nullptr);
    auto* control = new TScrolled(&form);
    control->SetParent(&form);
    control->SetBounds(0, 0, 200, 100);
    form.Show();
    HWND handle = control->Handle();
    EXPECT_EQ(control->ClientWidth(), 200 - 2 - 16);

    SCROLLINFO info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = 99;
    info.nPage = 10;
    info.nPos = 95;
    EXPECT_EQ(SetScrollInfo(handle, SB_VERT, info, TRUE), 90); // the largest position is nMax - (nPage - 1)
    EXPECT_EQ(GetScrollPos(handle, SB_VERT), 90);

    // A range within the page hides the bar and the client grows; with SIF_DISABLENOSCROLL it stays.
    info.nMax = 5;
    SetScrollInfo(handle, SB_VERT, info, TRUE);
    EXPECT_FALSE(control->ScrollBarShown(SB_VERT));
    EXPECT_EQ(control->ClientWidth(), 198);
    info.fMask |= SIF_DISABLENOSCROLL;
    SetScrollInfo(handle, SB_VERT, info, TRUE);
    EXPECT_TRUE(control->ScrollBarShown(SB_VERT));
    EXPECT_FALSE(control->ScrollBarEnabled(SB_VERT));

    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMax = 99;
    info.nPos = 20;
    SetScrollInfo(handle, SB_VERT, info, TRUE);
    auto* bar = Widget(control)->findChild<QScrollBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->geometry().right(), 200 - 1 - 1);
    std::vector<std::pair<WORD, int>> scrolls;
    control->WindowProc = [&](TMessage& m) {
        if (m.Msg == WM_VSCROLL)
            scrolls.emplace_back(LOWORD(m.WParam), static_cast<SHORT>(HIWORD(m.WParam)));
        control->WndProc(m);
    };
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    ASSERT_EQ(scrolls.size(), 2u);
    EXPECT_EQ(scrolls[0].first, SB_LINEDOWN);
    EXPECT_EQ(scrolls[1].first, SB_ENDSCROLL);
    // The bar moves only when the window's code says so.
    EXPECT_EQ(GetScrollPos(handle, SB_VERT), 20);
    EXPECT_EQ(bar->sliderPosition(), 20);
    SetScrollPos(handle, SB_VERT, 21, TRUE);
    EXPECT_EQ(bar->value(), 21);
    form.Hide();
}

TEST(WindowScrollBars, ScrollWindowMovesThePixelsAndTheChildren)
{
    TForm form(nullptr);
    auto* panel = new TRecorder(&form);
    panel->SetParent(&form);
    panel->SetBounds(0, 0, 100, 100);
    panel->PaintColor = clRed;
    auto* child = new TRecorder(&form);
    child->SetParent(panel);
    child->SetBounds(10, 10, 20, 20);
    form.Show();
    panel->Repaint();
    {
        QPainter painter(RetainedImage(panel));
        painter.fillRect(QRect(0, 0, 100, 10), Qt::green);
    }
    ScrollWindow(panel->Handle(), 0, 10, nullptr, nullptr);
    EXPECT_EQ(child->Top(), 20);
    EXPECT_EQ(RetainedImage(panel)->pixelColor(50, 15), QColor(0, 255, 0));
    TRect update;
    EXPECT_TRUE(GetUpdateRect(panel->Handle(), &update, FALSE));
    EXPECT_EQ(update, Rect(0, 0, 100, 10));
    form.Hide();
}

} // namespace
