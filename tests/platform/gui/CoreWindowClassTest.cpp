// Plain windowed controls that name a standard window class in CreateParams.

#include "GuiTestSupport.h"

#include "platform/gui/Form.h"
#include "platform/gui/ListBox.h"
#include "platform/gui/ScrollBar.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/WindowHandles.h"

#include <QScrollBar>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// A control of the class library's kind that subclasses a standard window class.
class TClassWindow : public TWinControl {
public:
    TClassWindow(TComponent* owner, std::string className, DWORD style)
        : TWinControl(owner), FClassName(std::move(className)), FStyle(style)
    {
    }

protected:
    void CreateParams(TCreateParams& Params) override
    {
        TWinControl::CreateParams(Params);
        Params.WinClassName = FClassName;
        Params.Style |= FStyle;
    }

public:
    // The notifications reflected back by the parent, as the class library's controls get them.
    struct TDraw {
        UINT CtlType;
        UINT ItemID;
        UINT ItemState;
        HWND Window;
    };
    std::vector<WORD> Commands;
    std::vector<TDraw> Draws;
    // The item height answered to CN_MEASUREITEM (0 leaves the proposed one) and the questions seen.
    UINT MeasuredHeight = 0;
    int Measures = 0;

    void WndProc(TMessage& Message) override
    {
        if (Message.Msg == CN_COMMAND)
            Commands.push_back(HIWORD(Message.WParam));
        if (Message.Msg == CN_MEASUREITEM) {
            ++Measures;
            auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(Message.LParam);
            if (MeasuredHeight)
                measure->itemHeight = MeasuredHeight;
            Message.Result = 1;
            return;
        }
        if (Message.Msg == CN_DRAWITEM) {
            const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(Message.LParam);
            Draws.push_back({draw->CtlType, draw->itemID, draw->itemState, draw->hwndItem});
            Message.Result = 1;
            return;
        }
        TWinControl::WndProc(Message);
    }

private:
    std::string FClassName;
    DWORD FStyle;
};

class WindowClasses : public testing::Test {
protected:
    void SetUp() override
    {
        form = TForm::Create<TForm>(nullptr);
        form->SetBounds(100, 100, 300, 200);
        parent = new TRecorder(form);
        parent->SetParent(form);
        parent->SetBounds(0, 0, 300, 200);
        ShowAndActivate(form);
    }
    void TearDown() override { TComponent::Free(form); }

    TClassWindow* Make(const std::string& className, DWORD style = 0)
    {
        auto* control = new TClassWindow(form, className, style);
        control->SetParent(parent);
        control->SetBounds(10, 10, 17, 120);
        return control;
    }

    TForm* form = nullptr;
    TRecorder* parent = nullptr;
};

TEST_F(WindowClasses, GetClassNameAnswersTheNamedClass)
{
    for (const char* name : {"LISTBOX", "EDIT", "COMBOBOX", "SCROLLBAR", "BUTTON"}) {
        TClassWindow* control = Make(name);
        char buffer[32] = {};
        EXPECT_EQ(GetClassNameA(control->Handle(), buffer, sizeof buffer), static_cast<int>(std::string(name).size()));
        EXPECT_STREQ(buffer, name);
    }
}

TEST_F(WindowClasses, BareScrollBarMovesOnlyWhenItsOwnerSetsThePosition)
{
    TClassWindow* control = Make("SCROLLBAR", SBS_VERT);
    HWND handle = control->Handle();
    auto* bar = Widget(control)->findChild<QScrollBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->orientation(), Qt::Vertical);

    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = 100;
    info.nPage = 10;
    info.nPos = 5;
    EXPECT_EQ(SetScrollInfo(handle, SB_CTL, info, TRUE), 5);
    EXPECT_EQ(bar->value(), 5);

    parent->WatchOnly({WM_VSCROLL, WM_HSCROLL});
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    ASSERT_EQ(parent->Log.size(), 2u);
    EXPECT_EQ(parent->Log[0].Msg, static_cast<UINT>(WM_VSCROLL));
    EXPECT_EQ(LOWORD(parent->Log[0].WParam), SB_PAGEDOWN);
    EXPECT_EQ(reinterpret_cast<HWND>(parent->Log[0].LParam), handle);
    EXPECT_EQ(LOWORD(parent->Log[1].WParam), SB_ENDSCROLL);
    EXPECT_EQ(GetScrollPos(handle, SB_CTL), 5);
    EXPECT_EQ(bar->value(), 5);

    // The owner answers by setting the position; only then the bar moves.
    EXPECT_EQ(SetScrollPos(handle, SB_CTL, 15, TRUE), 5);
    EXPECT_EQ(GetScrollPos(handle, SB_CTL), 15);
    EXPECT_EQ(bar->value(), 15);
    SCROLLINFO read{};
    read.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(handle, SB_CTL, read));
    EXPECT_EQ(read.nMax, 100);
    EXPECT_EQ(read.nPage, 10u);
    // The largest position leaves one page: 100 - (10 - 1).
    SetScrollPos(handle, SB_CTL, 500, TRUE);
    EXPECT_EQ(GetScrollPos(handle, SB_CTL), 91);
    int low = -1, high = -1;
    ASSERT_TRUE(GetScrollRange(handle, SB_CTL, &low, &high));
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 100);
}

TEST_F(WindowClasses, ScrollBarControlTakesScrollInfoThroughItsMessages)
{
    auto* scrollBar = new TScrollBar(form);
    scrollBar->SetParent(parent);
    SCROLLINFO info{};
    info.fMask = SIF_RANGE | SIF_POS;
    info.nMin = 0;
    info.nMax = 50;
    info.nPos = 30;
    SetScrollInfo(scrollBar->Handle(), SB_CTL, info, TRUE);
    EXPECT_EQ(scrollBar->Max(), 50);
    EXPECT_EQ(scrollBar->Position(), 30);
    EXPECT_EQ(GetScrollPos(scrollBar->Handle(), SB_CTL), 30);
}

TEST_F(WindowClasses, PlainListBoxWindowAnswersTheListMessages)
{
    TClassWindow* control = Make("LISTBOX", LBS_NOTIFY);
    control->SetBounds(10, 10, 120, 100);
    HWND handle = control->Handle();
    auto send = [&](UINT msg, WPARAM w = 0, LPARAM l = 0) { return SendMessageA(handle, msg, w, l); };
    auto text = [](const char* s) { return reinterpret_cast<LPARAM>(s); };
    EXPECT_EQ(send(LB_ADDSTRING, 0, text("uno")), 0);
    EXPECT_EQ(send(LB_ADDSTRING, 0, text("due")), 1);
    EXPECT_EQ(send(LB_ADDSTRING, 0, text("tre")), 2);

    struct TCase {
        const char* What;
        UINT Msg;
        WPARAM WParam;
        LPARAM LParam;
        LRESULT Expected;
    };
    const TCase cases[] = {
        {"count", LB_GETCOUNT, 0, 0, 3},
        {"text length", LB_GETTEXTLEN, 2, 0, 3},
        {"text length past the end", LB_GETTEXTLEN, 3, 0, LB_ERR},
        {"set item data", LB_SETITEMDATA, 1, 4711, 0},
        {"item data", LB_GETITEMDATA, 1, 0, 4711},
        {"item data of another item", LB_GETITEMDATA, 0, 0, 0},
        {"item data past the end", LB_GETITEMDATA, 5, 0, LB_ERR},
        {"no selection yet", LB_GETCURSEL, 0, 0, LB_ERR},
        {"select", LB_SETCURSEL, 2, 0, 2},
        {"selection", LB_GETCURSEL, 0, 0, 2},
        {"find exact", LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), text("DUE"), 1},
        {"find missing", LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), text("quattro"), LB_ERR},
        {"delete past the end", LB_DELETESTRING, 7, 0, LB_ERR},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(send(c.Msg, c.WParam, c.LParam), c.Expected) << c.What;
    char buffer[16] = {};
    EXPECT_EQ(send(LB_GETTEXT, 1, reinterpret_cast<LPARAM>(buffer)), 3);
    EXPECT_STREQ(buffer, "due");
    EXPECT_TRUE(control->Commands.empty()) << "a change by message notifies nobody";

    // A click on item 1 selects it and the parent reflects LBN_SELCHANGE to the control.
    TRect item{};
    ASSERT_EQ(send(LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item)), 1);
    QTest::mouseClick(Widget(control), Qt::LeftButton, {}, QPoint(5, item.Top + 2));
    EXPECT_EQ(send(LB_GETCURSEL), 1);
    ASSERT_FALSE(control->Commands.empty());
    EXPECT_EQ(control->Commands.back(), LBN_SELCHANGE);
    QTest::mouseDClick(Widget(control), Qt::LeftButton, {}, QPoint(5, item.Top + 2));
    EXPECT_EQ(control->Commands.back(), LBN_DBLCLK);

    // Keys move the selection once the window has the focus.
    control->Commands.clear();
    QTest::keyClick(Widget(control), Qt::Key_Down);
    EXPECT_EQ(send(LB_GETCURSEL), 2);
    EXPECT_EQ(control->Commands, std::vector<WORD>{LBN_SELCHANGE});

    // Recreating the window starts an empty list, as a new window would.
    control->RecreateWnd();
    EXPECT_EQ(SendMessageA(control->Handle(), LB_GETCOUNT, 0, 0), 0);
}

TEST_F(WindowClasses, PlainListBoxWithoutNotifyTellsTheParentNothing)
{
    TClassWindow* control = Make("LISTBOX");
    control->SetBounds(10, 10, 120, 100);
    SendMessageA(control->Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("uno"));
    SendMessageA(control->Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("due"));
    QTest::mouseClick(Widget(control), Qt::LeftButton, {}, QPoint(5, 2));
    EXPECT_EQ(SendMessageA(control->Handle(), LB_GETCURSEL, 0, 0), 0);
    EXPECT_TRUE(control->Commands.empty());
}

TEST_F(WindowClasses, PlainOwnerDrawnListBoxDrawsEachVisibleItemThroughItsParent)
{
    TClassWindow* control = Make("LISTBOX", LBS_NOTIFY | LBS_OWNERDRAWFIXED);
    control->SetBounds(10, 10, 120, 100);
    HWND handle = control->Handle();
    for (const char* item : {"a", "b", "c", "d", "e", "f", "g", "h"})
        SendMessageA(handle, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    ASSERT_EQ(SendMessageA(handle, LB_SETITEMHEIGHT, 0, 20), 0);
    SendMessageA(handle, LB_SETCURSEL, 1, 0);
    control->Draws.clear();
    control->Invalidate();
    control->Repaint();
    PumpUntil([&] { return !control->Draws.empty(); });
    // 100 pixels of 20-pixel items: exactly the first five are drawn.
    ASSERT_EQ(control->Draws.size(), 5u);
    for (UINT i = 0; i < 5; ++i) {
        const auto& draw = control->Draws[i];
        EXPECT_EQ(draw.ItemID, i);
        EXPECT_EQ(draw.CtlType, ODT_LISTBOX);
        EXPECT_EQ(draw.Window, handle);
        EXPECT_EQ((draw.ItemState & ODS_SELECTED) != 0, i == 1) << i;
    }

    // A new window asks the control once how high its items are.
    control->MeasuredHeight = 25;
    control->Measures = 0;
    control->RecreateWnd();
    EXPECT_EQ(control->Measures, 1);
    EXPECT_EQ(SendMessageA(control->Handle(), LB_GETITEMHEIGHT, 0, 0), 25);
    handle = control->Handle();
    for (const char* item : {"a", "b", "c", "d", "e", "f", "g", "h"})
        SendMessageA(handle, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    SendMessageA(handle, LB_SETITEMHEIGHT, 0, 20);

    // The window's own bar scrolls the list: the next paint starts at the new top item.
    SendMessageA(handle, WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(SendMessageA(handle, LB_GETTOPINDEX, 0, 0), 1);
    control->Draws.clear();
    control->Invalidate();
    control->Repaint();
    PumpUntil([&] { return !control->Draws.empty(); });
    ASSERT_FALSE(control->Draws.empty());
    EXPECT_EQ(control->Draws.front().ItemID, 1u);
}

} // namespace
