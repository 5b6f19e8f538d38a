#include "GuiTestSupport.h"

#include "platform/gui/Colors.h"
#include "platform/gui/Font.h"
#include "platform/gui/Form.h"
#include "platform/gui/HintWindow.h"
#include "platform/gui/Screen.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/gui/WinTypes.h"
#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/Overlay.h"

#include <QCursor>
#include <QImage>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

TEST(WinTypesTest, RectanglesFollowWindowsRules)
{
    const TRect r = Rect(10, 20, 30, 40);
    EXPECT_TRUE(PtInRect(r, Point(10, 20)));
    EXPECT_FALSE(PtInRect(r, Point(30, 25)));
    EXPECT_FALSE(PtInRect(r, Point(15, 40)));
    TRect out;
    EXPECT_FALSE(IntersectRect(out, r, Rect(30, 20, 50, 40)));
    EXPECT_TRUE(IsRectEmpty(out));
    EXPECT_TRUE(IntersectRect(out, r, Rect(25, 0, 50, 30)));
    EXPECT_EQ(out, Rect(25, 20, 30, 30));
    EXPECT_TRUE(UnionRect(out, r, Rect(0, 0, 5, 5)));
    EXPECT_EQ(out, Rect(0, 0, 30, 40));
    TRect moved = r;
    OffsetRect(moved, 5, -5);
    InflateRect(moved, 1, 2);
    EXPECT_EQ(moved, Rect(14, 13, 36, 37));
    EXPECT_EQ(Bounds(1, 2, 3, 4), Rect(1, 2, 4, 6));
}

TEST(WinTypesTest, MulDivRoundsHalfAwayFromZero)
{
    struct TCase {
        int A, B, C, Expected;
    };
    const TCase cases[] = {{8, 96, 72, 11}, {9, 96, 72, 12}, {5, 1, 2, 3}, {-5, 1, 2, -3}, {5, -1, 2, -3},
                           {7, 1, 0, -1}, {0x7FFFFFFF, 2, 1, -1}, {1000000, 1000000, 1000000, 1000000}, {3, 1, 2, 2}};
    for (const TCase& c : cases)
        EXPECT_EQ(MulDiv(c.A, c.B, c.C), c.Expected) << c.A << "*" << c.B << "/" << c.C;
}

TEST(MetricsAndColors, FixedTables)
{
    const std::pair<int, int> metrics[] = {{SM_CXVSCROLL, 16}, {SM_CYHSCROLL, 16}, {SM_CYCAPTION, 18},
                                           {SM_CXBORDER, 1},   {SM_CXDLGFRAME, 3}, {SM_CXFRAME, 4},
                                           {SM_CXEDGE, 2},     {SM_CYMENU, 19},    {SM_CXICON, 32},
                                           {SM_CXSMICON, 16},  {SM_CXDOUBLECLK, 4}, {SM_CXMENUCHECK, 13},
                                           {SM_CXMINTRACK, 112}, {SM_CYMINTRACK, 27}, {SM_MOUSEPRESENT, 1}};
    for (const auto& [index, value] : metrics)
        EXPECT_EQ(GetSystemMetrics(index), value) << index;
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), Screen->Width());
    const std::pair<TColor, COLORREF> colors[] = {{clBtnFace, RGB(212, 208, 200)}, {clWindow, RGB(255, 255, 255)},
                                                  {clHighlight, RGB(10, 36, 106)},  {clInfoBk, RGB(255, 255, 225)},
                                                  {clRed, 0x0000FF},                 {0x02000080, 0x000080},
                                                  {cl3DDkShadow, RGB(64, 64, 64)}};
    for (const auto& [color, rgb] : colors)
        EXPECT_EQ(ColorToRGB(color), rgb) << std::hex << color;
    EXPECT_EQ(StringToColor("clBtnFace"), static_cast<TColor>(0x8000000F));
    EXPECT_EQ(StringToColor("$00888888"), 0x888888);
    EXPECT_THROW(StringToColor("rosso"), EConvertError);
    EXPECT_EQ(ColorToString(clRed), "clRed");
    EXPECT_EQ(ColorToString(0x123456), "$00123456");
    TFont font;
    font.SetSize(8);
    EXPECT_EQ(font.Height(), -11);
    font.SetSize(9);
    EXPECT_EQ(font.Height(), -12);
}

TEST(Cursors, OneOverrideAndUnassignedSlotsAnswerTheDefault)
{
    Screen->SetCursor(crHourGlass);
    Screen->SetCursor(crSQLWait);
    Screen->SetCursor(crDefault);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(Screen->Cursors(101), Screen->Cursors(crDefault));
    Screen->SetCursors(1, Screen->Cursors(crHandPoint));
    EXPECT_EQ(static_cast<QCursor*>(Screen->Cursors(1))->shape(), Qt::PointingHandCursor);
}

class TRecordingHint : public THintWindow {
public:
    using THintWindow::THintWindow;
    static inline std::vector<std::string> Activated;
    void ActivateHint(TRect rect, const std::string& hint) override
    {
        Activated.push_back(hint);
        THintWindow::ActivateHint(rect, hint);
    }
};

TEST(Hints, TheManagerShowsTheShortPartAfterThePause)
{
    TForm form(nullptr);
    form.SetBounds(100, 100, 300, 200);
    auto* control = new TRecorder(&form);
    control->SetParent(&form);
    control->SetBounds(10, 10, 100, 50);
    control->SetHint("Breve|Lunga");
    control->SetShowHint(true);
    ShowAndActivate(&form);
    Application->HintPause = 100;
    Application->HintHidePause = 200;
    Application->SetHintWindowClass([](TComponent* owner) { return new TRecordingHint(owner); });
    int hintEvents = 0;
    Application->OnHint = [&](TObject*) { ++hintEvents; };
    TRecordingHint::Activated.clear();
    QTest::mouseMove(Widget(control), QPoint(20, 20));
    EXPECT_TRUE(PumpUntil([] { return !TRecordingHint::Activated.empty(); }));
    EXPECT_EQ(TRecordingHint::Activated, std::vector<std::string>{"Breve"});
    EXPECT_EQ(Application->Hint(), "Lunga");
    EXPECT_EQ(hintEvents, 1);
    // HintHidePause hides it again.
    EXPECT_TRUE(PumpUntil([&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* host = dynamic_cast<IHostWidget*>(w); host && dynamic_cast<TRecordingHint*>(host->Control()))
                return !w->isVisible();
        return false;
    }));

    // OnShowHint refusing shows nothing; ShowHint false shows nothing.
    Application->OnShowHint = [](std::string&, bool& canShow, THintInfo&) { canShow = false; };
    TRecordingHint::Activated.clear();
    QTest::mouseMove(Widget(&form), QPoint(250, 150));
    QTest::mouseMove(Widget(control), QPoint(21, 21));
    Pump(300);
    EXPECT_TRUE(TRecordingHint::Activated.empty());
    Application->OnShowHint = nullptr;
    control->SetShowHint(false);
    QTest::mouseMove(Widget(&form), QPoint(250, 150));
    QTest::mouseMove(Widget(control), QPoint(22, 22));
    Pump(300);
    EXPECT_TRUE(TRecordingHint::Activated.empty());
    Application->OnHint = nullptr;
    Application->SetHintWindowClass(nullptr);
    Application->HintPause = 500;
    Application->HintHidePause = 2500;
}

TEST(Overlays, ToggledTwiceLeavesNothingAndShowsInvertedColoursOnce)
{
    TForm form(nullptr);
    form.SetBounds(100, 100, 200, 100);
    auto* red = new TRecorder(&form);
    red->SetParent(&form);
    red->SetBounds(0, 0, 200, 100);
    red->PaintColor = clRed;
    ShowAndActivate(&form);
    red->Repaint();
    TOverlay& overlay = TOverlay::ForForm(&form);
    overlay.ToggleFrame(QRect(10, 10, 50, 30));
    EXPECT_FALSE(overlay.Coverage().isEmpty());
    QImage grabbed = Widget(&form)->grab().toImage();
    EXPECT_EQ(grabbed.pixelColor(10, 10), QColor(0, 255, 255));
    EXPECT_EQ(grabbed.pixelColor(30, 25), QColor(255, 0, 0));
    overlay.ToggleFrame(QRect(10, 10, 50, 30));
    EXPECT_TRUE(overlay.Coverage().isEmpty());
    overlay.ToggleRect(QRect(0, 50, 20, 1));
    overlay.ToggleRect(QRect(0, 50, 20, 1));
    EXPECT_TRUE(overlay.Coverage().isEmpty());
}

} // namespace
