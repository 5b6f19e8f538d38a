// Drag and drop between controls.

#include "GuiTestSupport.h"

#include "platform/gui/DragDrop.h"
#include "platform/gui/Form.h"
#include "platform/gui/ListBox.h"
#include "platform/gui/Panel.h"

#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class DragAndDrop : public testing::Test {
protected:
    void SetUp() override
    {
        form = TForm::Create<TForm>(nullptr);
        form->SetBounds(100, 100, 400, 300);
        list = new TListBox(form);
        list->SetParent(form);
        list->SetBounds(10, 10, 120, 150);
        list->Items()->Add("uno");
        list->DragMode = dmAutomatic;
        panel = new TPanel(form);
        panel->SetParent(form);
        panel->SetBounds(200, 10, 150, 150);
        list->OnStartDrag = [this](TObject*, TDragObject*&) { log.push_back("start"); };
        list->OnEndDrag = [this](TObject*, TObject* target, int, int) {
            log.push_back(target == panel ? "end panel" : target ? "end other" : "end none");
        };
        panel->OnDragOver = [this](TObject*, TObject* source, int, int, TDragState state, bool& accept) {
            if (state != dsDragMove || log.empty() || log.back() != "move")
                log.push_back(state == dsDragEnter ? "enter" : state == dsDragMove ? "move" : "leave");
            accept = source == list;
        };
        panel->OnDragDrop = [this](TObject*, TObject* source, int, int) {
            log.push_back(source == list ? "drop list" : "drop other");
        };
        ShowAndActivate(form);
    }
    void TearDown() override { TComponent::Free(form); }

    // Moves within the list's coordinates, also where the mouse is over the panel.
    void MoveTo(int x, int y) { QTest::mouseMove(Widget(list), QPoint(x, y)); }

    TForm* form = nullptr;
    TListBox* list = nullptr;
    TPanel* panel = nullptr;
    std::vector<std::string> log;
};

TEST_F(DragAndDrop, AutomaticDragStartsPastTheThresholdAndDropsOnThePanel)
{
    QWidget* widget = Widget(list);
    QTest::mousePress(widget, Qt::LeftButton, {}, QPoint(20, 5));
    MoveTo(23, 5);
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(list->Dragging());
    MoveTo(30, 5);
    EXPECT_TRUE(list->Dragging());
    MoveTo(250, 40);
    MoveTo(255, 45);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, QPoint(255, 45));
    EXPECT_EQ(log, (std::vector<std::string>{"start", "enter", "move", "drop list", "end panel"}));
    EXPECT_FALSE(list->Dragging());
}

TEST_F(DragAndDrop, EscapeCancelsWithoutDrop)
{
    QWidget* widget = Widget(list);
    QTest::mousePress(widget, Qt::LeftButton, {}, QPoint(20, 5));
    MoveTo(40, 5);
    MoveTo(250, 40);
    QTest::keyClick(widget, Qt::Key_Escape);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, QPoint(250, 40));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "end none");
    EXPECT_EQ(std::count(log.begin(), log.end(), "drop list"), 0);
}

TEST_F(DragAndDrop, PressAndReleaseWithoutMovingIsNoDrag)
{
    QWidget* widget = Widget(list);
    QTest::mousePress(widget, Qt::LeftButton, {}, QPoint(20, 5));
    QTest::mouseRelease(widget, Qt::LeftButton, {}, QPoint(20, 5));
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(list->Dragging());
    // The next drag works as usual.
    QTest::mousePress(widget, Qt::LeftButton, {}, QPoint(20, 5));
    MoveTo(40, 5);
    EXPECT_TRUE(list->Dragging());
    list->EndDrag(false);
    EXPECT_EQ(log, (std::vector<std::string>{"start", "end none"}));
    QTest::mouseRelease(widget, Qt::LeftButton, {}, QPoint(40, 5));
    EXPECT_EQ(log.size(), 2u);
}

TEST_F(DragAndDrop, RightButtonCancels)
{
    QWidget* widget = Widget(list);
    QTest::mousePress(widget, Qt::LeftButton, {}, QPoint(20, 5));
    MoveTo(40, 5);
    MoveTo(250, 40);
    QTest::mousePress(widget, Qt::RightButton, {}, QPoint(250, 40));
    EXPECT_FALSE(list->Dragging());
    EXPECT_EQ(log.back(), "end none");
    EXPECT_EQ(std::count(log.begin(), log.end(), "drop list"), 0);
    QTest::mouseRelease(widget, Qt::RightButton, {}, QPoint(250, 40));
    QTest::mouseRelease(widget, Qt::LeftButton, {}, QPoint(250, 40));
}

// A target class that decides by overriding DragOver and DragDrop, with no events assigned.
class TDropPanel : public TPanel {
public:
    using TPanel::TPanel;
    std::vector<std::string> Seen;
    void DragOver(TObject* Source, int, int, TDragState State, bool& Accept) override
    {
        if (State != dsDragMove)
            Seen.push_back(State == dsDragEnter ? "enter" : "leave");
        Accept = Source != nullptr;
    }
    void DragDrop(TObject* Source, int X, int Y) override
    {
        Seen.push_back("drop");
        TPanel::DragDrop(Source, X, Y);
    }
};

TEST_F(DragAndDrop, ManualDragReachesOverriddenHandlers)
{
    auto* target = new TDropPanel(form);
    target->SetParent(form);
    target->SetBounds(200, 170, 150, 100);
    list->DragMode = dmManual;
    QTest::mouseMove(Widget(list), QPoint(20, 5));
    list->BeginDrag(true);
    EXPECT_TRUE(list->Dragging());
    EXPECT_EQ(log, std::vector<std::string>{"start"});
    MoveTo(250, 200);
    MoveTo(252, 202);
    QTest::mouseRelease(Widget(list), Qt::LeftButton, {}, QPoint(252, 202));
    EXPECT_EQ(target->Seen, (std::vector<std::string>{"enter", "drop"}));
    EXPECT_EQ(log.back(), "end other");
}

} // namespace
