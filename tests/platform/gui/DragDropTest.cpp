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
        DragEvents(list).OnStartDrag = [this](TObject*, TDragObject*&) { log.push_back("start"); };
        DragEvents(list).OnEndDrag = [this](TObject*, TObject* target, int, int) {
            log.push_back(target == panel ? "end panel" : target ? "end other" : "end none");
        };
        DragEvents(panel).OnDragOver = [this](TObject*, TObject* source, int, int, TDragState state, bool& accept) {
            if (state != dsDragMove || log.empty() || log.back() != "move")
                log.push_back(state == dsDragEnter ? "enter" : state == dsDragMove ? "move" : "leave");
            accept = source == list;
        };
        DragEvents(panel).OnDragDrop = [this](TObject*, TObject* source, int, int) {
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
    EXPECT_FALSE(Dragging(list));
    MoveTo(30, 5);
    EXPECT_TRUE(Dragging(list));
    MoveTo(250, 40);
    MoveTo(255, 45);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, QPoint(255, 45));
    EXPECT_EQ(log, (std::vector<std::string>{"start", "enter", "move", "drop list", "end panel"}));
    EXPECT_FALSE(Dragging(list));
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

} // namespace
