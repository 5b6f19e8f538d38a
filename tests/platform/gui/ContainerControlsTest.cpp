// Page and tab controls, status bars, images and paint boxes.

#include "GuiTestSupport.h"

#include "platform/gui/DateTimePicker.h"
#include "platform/gui/Edit.h"
#include "platform/gui/ListView.h"
#include "platform/gui/Form.h"
#include "platform/gui/Icon.h"
#include "platform/gui/Image.h"
#include "platform/gui/PageControl.h"
#include "platform/gui/Panel.h"
#include "platform/gui/ScrollBar.h"
#include "platform/gui/Splitter.h"
#include "platform/gui/UpDown.h"
#include "platform/gui/StatusBar.h"

#include "platform/gui/WindowHandles.h"
#include "platform/gui/private/Overlay.h"
#include "platform/gui/private/QtBridge.h"

#include <QCalendarWidget>
#include <QDateTimeEdit>
#include <QTest>
#include <QTreeView>
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
    // Right of the thumb and left of the arrow button: a page to the right.
    QTest::mouseClick(Widget(bar), Qt::LeftButton, {}, QPoint(150, 8));
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

TEST_F(Containers, UpDownStepsItsBuddyAndTellsTheParent)
{
    auto* parent = new TRecorder(form);
    parent->SetParent(form);
    parent->SetBounds(0, 0, 300, 200);
    auto* edit = new TEdit(form);
    edit->SetParent(parent);
    edit->SetBounds(10, 10, 60, 21);
    auto* updown = new TUpDown(form);
    updown->SetParent(parent);
    updown->SetMax(5);
    updown->SetAssociate(edit);
    std::vector<TUDBtnType> clicks;
    updown->OnClick = [&](TObject*, TUDBtnType button) { clicks.push_back(button); };
    ShowAndActivate(form);
    parent->WatchOnly({WM_VSCROLL});
    for (int i = 0; i < 4; ++i)
        QTest::mouseClick(Widget(updown), Qt::LeftButton, {}, QPoint(5, 3));
    EXPECT_EQ(edit->Text(), "4");
    EXPECT_EQ(clicks, std::vector<TUDBtnType>(4, btNext));
    ASSERT_FALSE(parent->Log.empty());
    EXPECT_EQ(LOWORD(parent->Log[parent->Log.size() - 2].WParam), SB_THUMBPOSITION);
    EXPECT_EQ(HIWORD(parent->Log[parent->Log.size() - 2].WParam), 4);
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(Widget(updown), Qt::LeftButton, {}, QPoint(5, 3));
    EXPECT_EQ(updown->Position(), 5);
    updown->Perform(UDM_SETPOS, 0, 3);
    EXPECT_EQ(edit->Text(), "3");
}

TEST_F(Containers, SplitterDragShowsTheLineResizesThePanelBeforeItAndEscapeCancels)
{
    auto* left = new TPanel(form);
    left->SetParent(form);
    left->SetAlign(alLeft);
    left->SetWidth(150);
    auto* splitter = new TSplitter(form);
    splitter->SetParent(form);
    splitter->SetLeft(160);
    auto* client = new TPanel(form);
    client->SetParent(form);
    client->SetAlign(alClient);
    int moved = 0;
    splitter->OnMoved = [&](TObject*) { ++moved; };
    ShowAndActivate(form);
    ASSERT_EQ(splitter->Left(), 150);
    const QRegion& line = TOverlay::ForForm(form).Coverage();
    QWidget* widget = Widget(splitter);
    QTest::mousePress(widget, Qt::LeftButton, {}, QPoint(1, 20));
    QTest::mouseMove(widget, QPoint(41, 20));
    // While dragging, the inverted line stands where the splitter will go; the panel waits.
    EXPECT_EQ(line.boundingRect(), QRect(190, 0, splitter->Width(), form->ClientHeight()));
    EXPECT_EQ(left->Width(), 150);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, QPoint(41, 20));
    EXPECT_TRUE(line.isEmpty());
    EXPECT_EQ(left->Width(), 190);
    EXPECT_EQ(splitter->Left(), 190);
    EXPECT_EQ(moved, 1);

    QTest::mousePress(widget, Qt::LeftButton, {}, QPoint(1, 20));
    QTest::mouseMove(widget, QPoint(31, 20));
    EXPECT_EQ(line.boundingRect().left(), 220);
    QTest::keyClick(Widget(form), Qt::Key_Escape);
    EXPECT_TRUE(line.isEmpty());
    QTest::mouseRelease(widget, Qt::LeftButton, {}, QPoint(31, 20));
    EXPECT_EQ(left->Width(), 190);
    EXPECT_EQ(moved, 1);

    // Dragging below MinSize snaps the panel shut; no drag makes it wider than the room left.
    QTest::mousePress(widget, Qt::LeftButton, {}, QPoint(1, 20));
    QTest::mouseMove(widget, QPoint(-170, 20));
    QTest::mouseRelease(widget, Qt::LeftButton, {}, QPoint(-170, 20));
    EXPECT_EQ(left->Width(), 0);
}

TEST_F(Containers, ListViewReportSelectionSortAndViewStyles)
{
    auto* view = new TListView(form);
    view->SetParent(form);
    view->SetBounds(10, 10, 300, 200);
    view->SetViewStyle(vsReport);
    for (const char* caption : {"Codice", "Descrizione", "Prezzo", "Note"})
        view->Columns()->Add()->SetCaption(caption);
    view->Items()->BeginUpdate();
    for (const char* caption : {"zeta", "alfa", "emme"}) {
        TListItem* item = view->Items()->Add();
        item->SetCaption(caption);
        for (int i = 0; i < 3; ++i)
            item->SubItems()->Add(std::string(caption) + std::to_string(i));
    }
    view->Items()->EndUpdate();
    ShowAndActivate(form);
    auto* tree = qobject_cast<QTreeView*>(Widget(view));
    ASSERT_NE(tree, nullptr);
    ASSERT_EQ(tree->model()->rowCount(), 3);
    EXPECT_EQ(tree->model()->index(0, 2).data().toString(), QString("zeta1"));
    EXPECT_EQ(tree->model()->headerData(3, Qt::Horizontal).toString(), QString("Note"));
    EXPECT_FALSE(tree->isHeaderHidden());
    int selectEvents = 0;
    view->OnSelectItem = [&](TObject*, TListItem*, bool selected) { selectEvents += selected ? 1 : 0; };
    const QRect row = tree->visualRect(tree->model()->index(1, 0));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, row.center());
    ASSERT_NE(view->Selected(), nullptr);
    EXPECT_EQ(view->Selected()->Caption(), "alfa");
    EXPECT_EQ(view->ItemIndex(), 1);
    EXPECT_EQ(selectEvents, 1);
    view->SetSortType(stText);
    EXPECT_EQ(view->Items()->Item(0)->Caption(), "alfa");
    EXPECT_EQ(view->Items()->Item(2)->Caption(), "zeta");
    EXPECT_EQ(view->Selected()->Caption(), "alfa");
    EXPECT_THROW(view->Items()->Item(3), EStringListError);

    // Each view style keeps the items and the selection and lays them out its own way: the
    // second item beside the first in the icon and small-icon views, below it in the others.
    struct TStyleCase {
        TViewStyle Style;
        bool Beside;
    };
    for (const TStyleCase c : {TStyleCase{vsIcon, true}, TStyleCase{vsSmallIcon, true}, TStyleCase{vsList, false},
                               TStyleCase{vsReport, false}}) {
        view->SetViewStyle(c.Style);
        Pump(10);
        auto* shown = qobject_cast<QAbstractItemView*>(Widget(view));
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(qobject_cast<QTreeView*>(shown) != nullptr, c.Style == vsReport) << c.Style;
        EXPECT_EQ(view->Items()->Count(), 3);
        ASSERT_EQ(shown->model()->rowCount(), 3) << c.Style;
        EXPECT_EQ(shown->model()->index(2, 0).data().toString(), QString("zeta"));
        EXPECT_EQ(view->Selected(), view->Items()->Item(0)) << c.Style;
        const QRect first = shown->visualRect(shown->model()->index(0, 0));
        const QRect second = shown->visualRect(shown->model()->index(1, 0));
        if (c.Beside) {
            EXPECT_GT(second.left(), first.left()) << c.Style;
            EXPECT_EQ(second.top(), first.top()) << c.Style;
        } else {
            EXPECT_GT(second.top(), first.top()) << c.Style;
            EXPECT_EQ(second.left(), first.left()) << c.Style;
        }
    }
}

TEST_F(Containers, DateTimePickerShowsTheDateAndFiresOnUserChange)
{
    auto* picker = new TDateTimePicker(form);
    picker->SetParent(form);
    int changes = 0, closeUps = 0;
    picker->OnChange = [&](TObject*) { ++changes; };
    picker->OnCloseUp = [&](TObject*) { ++closeUps; };
    picker->SetDate(EncodeDate(2026, 3, 15));
    ShowAndActivate(form);
    EXPECT_EQ(picker->Text(), "15/03/2026");
    EXPECT_EQ(changes, 0);
    // The classic drop-down look: a sunken field and a raised arrow button at the right, its
    // white line inside a 3-D light one.
    const QImage look = Widget(picker)->grab().toImage();
    EXPECT_EQ(ToTColor(look.pixelColor(1, 1)), static_cast<TColor>(ColorToRGB(cl3DDkShadow)));
    EXPECT_EQ(ToTColor(look.pixelColor(look.width() - 10, 2)), static_cast<TColor>(ColorToRGB(cl3DLight)));
    EXPECT_EQ(ToTColor(look.pixelColor(look.width() - 10, 3)), static_cast<TColor>(ColorToRGB(clBtnHighlight)));
    EXPECT_EQ(ToTColor(look.pixelColor(look.width() - 10, look.height() / 2 - 4)), static_cast<TColor>(ColorToRGB(clBtnFace)));
    auto* editor = qobject_cast<QDateTimeEdit*>(Widget(picker));
    ASSERT_NE(editor, nullptr);
    editor->setDate(QDate(2026, 3, 16));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(picker->Date(), EncodeDate(2026, 3, 16));
    picker->SetDroppedDown(true);
    PumpUntil([&] { return picker->DroppedDown(); }, 1000);
    picker->SetDroppedDown(false);
    EXPECT_EQ(closeUps, 1);
}

} // namespace
