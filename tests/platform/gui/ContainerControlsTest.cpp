// Page and tab controls, status bars, images and paint boxes.

#include "GuiTestSupport.h"

#include "platform/gui/Edit.h"
#include "platform/gui/Form.h"
#include "platform/gui/Icon.h"
#include "platform/gui/Image.h"
#include "platform/gui/PageControl.h"
#include "platform/gui/ScrollBar.h"
#include "platform/gui/StatusBar.h"

#include "platform/gui/WindowHandles.h"

#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

class Containers : public testing::Test {
protected:
    void SetUp() override
    {
        form = TForm::Create<TForm>(nullptr);
        form->SetBounds(100, 100, 400, 300);
    }
    void TearDown() override { TComponent::Free(form); }
    TForm* form = nullptr;
};

TEST_F(Containers, HiddenSheetControlsTakeTheFocusOnlyOnceTheirSheetIsActive)
{
    auto* pages = new TPageControl(form);
    pages->SetParent(form);
    pages->SetBounds(10, 10, 300, 200);
    auto* first = new TTabSheet(form);
    first->SetPageControl(pages);
    first->SetCaption("Generale");
    auto* second = new TTabSheet(form);
    second->SetPageControl(pages);
    second->SetCaption("Note");
    auto* edit = new TEdit(form);
    edit->SetParent(second);
    EXPECT_EQ(pages->PageCount(), 2);
    EXPECT_EQ(pages->ActivePage(), first);
    ShowAndActivate(form);
    EXPECT_THROW(edit->SetFocus(), EInvalidOperation);
    pages->SetActivePage(second);
    EXPECT_NO_THROW(edit->SetFocus());
    EXPECT_TRUE(edit->Focused());
    EXPECT_EQ(pages->TabIndex(), 1);
    EXPECT_THROW(pages->Pages(5), EStringListError);

    int changes = 0;
    pages->OnChange = [&](TObject*) { ++changes; };
    pages->OnChanging = [](TObject*, bool& allow) { allow = false; };
    const TRect tab = pages->TabRect(0);
    QTest::mouseClick(Widget(pages), Qt::LeftButton, {}, QPoint(tab.Left + 5, tab.Top + 5));
    EXPECT_EQ(pages->ActivePage(), second);
    pages->OnChanging = nullptr;
    QTest::mouseClick(Widget(pages), Qt::LeftButton, {}, QPoint(tab.Left + 5, tab.Top + 5));
    EXPECT_EQ(pages->ActivePage(), first);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(second->Visible());
}

TEST_F(Containers, StatusPanelsAndTheirBounds)
{
    auto* bar = new TStatusBar(form);
    bar->SetParent(form);
    bar->Panels()->Add()->SetWidth(120);
    bar->Panels()->Add()->SetText("Pronto");
    EXPECT_EQ(bar->Align(), alBottom);
    EXPECT_EQ(bar->Panels()->Items(1)->Text(), "Pronto");
    EXPECT_THROW(bar->Panels()->Items(2), EStringListError);
    EXPECT_EQ(bar->PanelRect(1).Left, 120);
}

TEST_F(Containers, ImageCanvasNeedsABitmap)
{
    auto* image = new TImage(form);
    image->SetParent(form);
    image->SetBounds(0, 0, 40, 30);
    TCanvas* canvas = image->Canvas();
    ASSERT_NE(canvas, nullptr);
    EXPECT_EQ(image->Picture()->Width(), 40);
    EXPECT_EQ(image->Picture()->Height(), 30);
    TIcon icon;
    image->Picture()->SetGraphic(&icon);
    EXPECT_THROW(image->Canvas(), EInvalidOperation);
}

TEST_F(Containers, ScrollBarPageClickAndDragFollowTheClassLibrary)
{
    auto* bar = new TScrollBar(form);
    bar->SetParent(form);
    bar->SetBounds(10, 10, 200, 17);
    bar->SetParams(0, 0, 100);
    bar->SetPageSize(10);
    bar->LargeChange = 20;
    std::vector<std::string> events;
    bar->OnScroll = [&](TObject*, TScrollCode code, int& pos) {
        events.push_back("scroll " + std::to_string(code) + " " + std::to_string(pos));
    };
    bar->OnChange = [&](TObject*) { events.push_back("change " + std::to_string(bar->Position())); };
    ShowAndActivate(form);
    QTest::mouseClick(Widget(bar), Qt::LeftButton, {}, QPoint(185, 8));
    EXPECT_EQ(bar->Position(), 20);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], "scroll 3 20");
    EXPECT_EQ(events[1], "change 20");
    bar->Perform(CN_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 0), 0);
    SendMessageA(bar->Handle(), SBM_SETPOS, 500, 0);
    EXPECT_EQ(bar->Position(), 91);
    EXPECT_THROW(bar->SetParams(0, 10, 5), EInvalidOperation);
    EXPECT_EQ(bar->Position(), 91);
}

} // namespace
