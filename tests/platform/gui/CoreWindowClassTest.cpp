// Plain windowed controls that name a standard window class in CreateParams.

#include "GuiTestSupport.h"

#include "platform/gui/Form.h"
#include "platform/gui/ScrollBar.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/WindowHandles.h"

#include <QScrollBar>
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

} // namespace
