// List boxes driven through their messages, as the program's own list controls drive them.

#include "GuiTestSupport.h"

#include "platform/gui/ComboBox.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/gui/ListBox.h"
#include "platform/gui/WindowHandles.h"
#include "platform/gui/WindowFunctions.h"

#include <QAbstractItemView>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

// A parent that keeps the notifications and owner-draw requests of its children.
class TNotifiedParent : public TCustomControl {
    TESS_CLASS(TNotifiedParent, TCustomControl)
public:
    explicit TNotifiedParent(TComponent* AOwner) : TCustomControl(AOwner) {}
    std::vector<WORD> Commands;
    std::vector<std::pair<int, UINT>> Draws; // item, state
    void WndProc(TMessage& Message) override
    {
        if (Message.Msg == WM_COMMAND)
            Commands.push_back(HIWORD(Message.WParam));
        if (Message.Msg == WM_DRAWITEM)
            if (auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam))
                Draws.emplace_back(static_cast<int>(draw->itemID), draw->itemState);
        TCustomControl::WndProc(Message);
    }
};

class ListBoxMessages : public testing::Test {
protected:
    void SetUp() override
    {
        form = TForm::Create<TForm>(nullptr);
        form->SetBounds(100, 100, 400, 300);
        parent = new TNotifiedParent(form);
        parent->SetParent(form);
        parent->SetBounds(0, 0, 380, 280);
        list = new TListBox(form);
        list->SetParent(parent);
        list->SetBounds(10, 10, 200, 120);
    }
    void TearDown() override { TComponent::Free(form); }
    LRESULT Send(UINT msg, WPARAM w = 0, LPARAM l = 0) { return SendMessageA(list->Handle(), msg, w, l); }
    LRESULT Add(const char* text) { return Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)); }
    std::string TextOf(int index)
    {
        const LRESULT length = Send(LB_GETTEXTLEN, static_cast<WPARAM>(index));
        std::string text(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1, '\0');
        Send(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<std::size_t>(std::max<LRESULT>(length, 0)));
        return text;
    }

    TForm* form = nullptr;
    TNotifiedParent* parent = nullptr;
    TListBox* list = nullptr;
};

TEST_F(ListBoxMessages, ItemsDataAndSelection)
{
    EXPECT_EQ(Add("uno"), 0);
    EXPECT_EQ(Add("due"), 1);
    EXPECT_EQ(Add("tre"), 2);
    EXPECT_EQ(Send(LB_GETCOUNT), 3);
    EXPECT_EQ(Send(LB_INSERTSTRING, 1, reinterpret_cast<LPARAM>("uno e mezzo")), 1);
    EXPECT_EQ(TextOf(0), "uno");
    EXPECT_EQ(TextOf(1), "uno e mezzo");
    EXPECT_EQ(TextOf(2), "due");
    EXPECT_EQ(TextOf(3), "tre");
    EXPECT_EQ(list->Items()->Strings(1), "uno e mezzo");
    Send(LB_SETITEMDATA, 2, 4242);
    EXPECT_EQ(Send(LB_GETITEMDATA, 2), 4242);
    EXPECT_EQ(Send(LB_SETCURSEL, 2), 2);
    EXPECT_EQ(Send(LB_GETCURSEL), 2);
    EXPECT_EQ(list->ItemIndex(), 2);
    EXPECT_EQ(Send(LB_DELETESTRING, 9), LB_ERR);
    EXPECT_EQ(Send(LB_GETTEXTLEN, 9), LB_ERR);
    EXPECT_EQ(Send(LB_GETCOUNT), 4);
    EXPECT_EQ(Send(LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("DUE")), 2);

    const int height = static_cast<int>(Send(LB_GETITEMHEIGHT, 0));
    TRect below;
    EXPECT_NE(Send(LB_GETITEMRECT, 4, reinterpret_cast<LPARAM>(&below)), LB_ERR);
    EXPECT_EQ(below.Top, 4 * height);
    EXPECT_EQ(below.Bottom, 5 * height);
    EXPECT_EQ(Send(LB_ITEMFROMPOINT, 0, MAKELPARAM(5, static_cast<WORD>(height + 1))), MAKELRESULT(1, 0));
    EXPECT_EQ(HIWORD(static_cast<std::uintptr_t>(Send(LB_ITEMFROMPOINT, 0, MAKELPARAM(5, static_cast<WORD>(height * 6))))), 1);
    EXPECT_THROW(list->Items()->Delete(7), EStringListError);
}

TEST_F(ListBoxMessages, MultipleSelectionAndLongItems)
{
    list->SetMultiSelect(true);
    for (const char* s : {"a", "b", "c"})
        Add(s);
    Send(LB_SETSEL, TRUE, 1);
    EXPECT_EQ(Send(LB_GETSEL, 1), 1);
    EXPECT_EQ(Send(LB_GETSEL, 0), 0);
    EXPECT_EQ(Send(LB_GETSELCOUNT), 1);
    EXPECT_EQ(Send(LB_SETCURSEL, 0), LB_ERR);
    const std::string longItem(10000, 'x');
    Add(longItem.c_str());
    EXPECT_EQ(Send(LB_GETTEXTLEN, 3), 10000);
    EXPECT_EQ(TextOf(3), longItem);
}

TEST_F(ListBoxMessages, ClickAndDoubleClickNotifyTheParent)
{
    for (int i = 0; i < 10; ++i)
        Add(("voce " + std::to_string(i)).c_str());
    int clicks = 0, doubleClicks = 0;
    list->OnClick = [&](TObject*) { ++clicks; };
    list->OnDblClick = [&](TObject*) { ++doubleClicks; };
    ShowAndActivate(form);
    const TRect rect = list->ItemRect(4);
    QTest::mouseClick(Widget(list), Qt::LeftButton, {}, QPoint(10, rect.Top + 2));
    EXPECT_EQ(list->ItemIndex(), 4);
    EXPECT_EQ(clicks, 1);
    ASSERT_FALSE(parent->Commands.empty());
    EXPECT_EQ(parent->Commands.back(), LBN_SELCHANGE);
    QTest::mouseDClick(Widget(list), Qt::LeftButton, {}, QPoint(10, rect.Top + 2));
    EXPECT_EQ(doubleClicks, 1);
    EXPECT_EQ(parent->Commands.back(), LBN_DBLCLK);
}

TEST_F(ListBoxMessages, OwnerDrawnFixedSendsDrawItemPerVisibleItem)
{
    list->SetStyle(lbOwnerDrawFixed);
    list->SetItemHeight(20);
    for (int i = 0; i < 10; ++i)
        Add(("voce " + std::to_string(i)).c_str());
    Send(LB_SETCURSEL, 1);
    ShowAndActivate(form);
    parent->Draws.clear();
    list->Invalidate();
    list->Repaint();
    PumpUntil([&] { return !parent->Draws.empty(); });
    // 120 pixels minus the frame show five whole items and part of the sixth.
    ASSERT_GE(parent->Draws.size(), 5u);
    for (const auto& [item, state] : parent->Draws)
        EXPECT_EQ((state & ODS_SELECTED) != 0, item == 1) << item;
}

// A box whose height is not a whole number of items shows as much of the next row as fits, drawn
// as a taller box draws it; scrolled to the end, it shows the last item whole.
TEST_F(ListBoxMessages, APartialLastRowIsDrawnAndTheEndShowsTheLastItemWhole)
{
    auto* tall = new TListBox(form);
    tall->SetParent(parent);
    for (int i = 1; i <= 10; ++i) {
        Add(("Articolo " + std::to_string(i)).c_str());
        tall->Items()->Add("Articolo " + std::to_string(i));
    }
    const int itemHeight = list->ItemHeight();
    list->SetBounds(10, 10, 150, 4 + 4 * itemHeight + itemHeight / 2);
    tall->SetBounds(180, 10, 150, 4 + 10 * itemHeight);
    ShowAndActivate(form);
    Pump(20);
    ASSERT_EQ(list->ClientHeight(), 4 * itemHeight + itemHeight / 2);
    auto grab = [](TListBox* box, const std::string& name) {
        const std::string path = ScreenshotDir() + "/" + name;
        EXPECT_TRUE(GrabToPng(box, path));
        return QImage(QString::fromStdString(path));
    };
    // Rows from the given top of each box's client area (inside the 2-pixel edge) look alike.
    auto differences = [&](const QImage& shown, int shownTop, const QImage& reference, int referenceTop, int height) {
        int count = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < list->ClientWidth(); ++x)
                count += shown.pixel(2 + x, 2 + shownTop + y) != reference.pixel(2 + x, 2 + referenceTop + y);
        return count;
    };
    const QImage reference = grab(tall, "listbox-whole.png");
    const QImage partial = grab(list, "listbox-partial.png");
    EXPECT_EQ(differences(partial, 0, reference, 0, list->ClientHeight()), 0);
    int inkInPartialRow = 0;
    for (int y = 4 * itemHeight; y < list->ClientHeight(); ++y)
        for (int x = 0; x < list->ClientWidth(); ++x)
            inkInPartialRow += (partial.pixel(2 + x, 2 + y) & 0xFFFFFFu) != 0xFFFFFFu;
    EXPECT_GT(inkInPartialRow, 0);

    Send(WM_VSCROLL, SB_BOTTOM);
    Pump(20);
    EXPECT_EQ(list->TopIndex(), 6);
    const QImage end = grab(list, "listbox-end.png");
    EXPECT_EQ(differences(end, 0, reference, 6 * itemHeight, 4 * itemHeight), 0);
}

TEST_F(ListBoxMessages, HorizontalExtentShowsTheHorizontalBar)
{
    Add("uno");
    ShowAndActivate(form);
    Send(LB_SETHORIZONTALEXTENT, 500);
    EXPECT_TRUE(list->ScrollBarShown(SB_HORZ));
    Send(LB_SETHORIZONTALEXTENT, 50);
    EXPECT_FALSE(list->ScrollBarShown(SB_HORZ));
}

// A list box that keeps the item messages it is sent.
class TWatchedListBox : public TListBox {
    TESS_CLASS(TWatchedListBox, TListBox)
public:
    explicit TWatchedListBox(TComponent* AOwner) : TListBox(AOwner) {}
    std::vector<UINT> Messages;
    void Dispatch(TMessage& Message) override
    {
        if (Message.Msg == LB_ADDSTRING || Message.Msg == LB_INSERTSTRING || Message.Msg == LB_DELETESTRING ||
            Message.Msg == LB_RESETCONTENT)
            Messages.push_back(Message.Msg);
        TListBox::Dispatch(Message);
    }
};

TEST_F(ListBoxMessages, ItemChangesReachTheListAsMessagesAndScrollingEndsAtEitherEdge)
{
    auto* watched = new TWatchedListBox(form);
    watched->SetParent(parent);
    watched->SetBounds(220, 10, 100, 120);
    watched->Items()->Add("uno");
    watched->Items()->Insert(0, "zero");
    watched->Items()->Delete(1);
    watched->Items()->Clear();
    EXPECT_EQ(watched->Messages, (std::vector<UINT>{LB_ADDSTRING, LB_INSERTSTRING, LB_DELETESTRING, LB_RESETCONTENT}));

    Add("uno");
    ShowAndActivate(form);
    Send(LB_SETHORIZONTALEXTENT, 500);
    Send(WM_HSCROLL, SB_RIGHT);
    EXPECT_EQ(list->ItemRect(0).Left, -(500 - list->ClientWidth()));
    Send(WM_HSCROLL, SB_LEFT);
    EXPECT_EQ(list->ItemRect(0).Left, 0);
}

// With a tab width the text after a tab starts at the stop: width of "0" x TabWidth / 4 pixels.
TEST_F(ListBoxMessages, TabStopsPlaceTheTextAfterATab)
{
    list->SetTabWidth(40);
    Add("i\tW");
    ShowAndActivate(form);
    Pump(20);
    const std::string path = ScreenshotDir() + "/listbox-tabs.png";
    ASSERT_TRUE(GrabToPng(list, path));
    const QImage image(QString::fromStdString(path));
    const int stop = static_cast<int>(std::lround(list->Canvas()->TextWidth("0") * 40 * 0.25));
    const int row = 2 + list->ItemRect(0).Top + list->ItemRect(0).Height() / 2;
    const QRgb background = image.pixel(2 + list->ClientWidth() - 3, row);
    int firstAfterGap = -1;
    bool gap = false;
    for (int x = 2 + 2; x < 2 + list->ClientWidth(); ++x) {
        const bool ink = image.pixel(x, row) != background;
        if (!ink && x > 2 + 2 + list->Canvas()->TextWidth("i"))
            gap = true;
        if (ink && gap) {
            firstAfterGap = x - 2;
            break;
        }
    }
    EXPECT_GE(firstAfterGap, 2 + stop);
    EXPECT_LE(firstAfterGap, 2 + stop + 2);
}

class ComboBoxes : public ListBoxMessages {
protected:
    TComboBox* MakeCombo(TComboBoxStyle style)
    {
        auto* combo = new TComboBox(form);
        combo->SetParent(parent);
        combo->SetBounds(10, 150, 200, 24);
        combo->SetStyle(style);
        return combo;
    }
};

TEST_F(ComboBoxes, TypingFiresOnChangePerKeyAndCodeFiresNothing)
{
    TComboBox* combo = MakeCombo(csDropDown);
    for (const char* s : {"uno", "due", "tre"})
        combo->Items()->Add(s);
    int changes = 0, clicks = 0;
    combo->OnChange = [&](TObject*) { ++changes; };
    combo->OnClick = [&](TObject*) { ++clicks; };
    combo->SetItemIndex(1);
    EXPECT_EQ(combo->Text(), "due");
    combo->SetText("altro");
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(clicks, 0);
    ShowAndActivate(form);
    combo->SetFocus();
    combo->SetText("");
    QTest::keyClicks(Widget(combo), "abc");
    EXPECT_EQ(combo->Text(), "abc");
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(combo->ItemIndex(), -1);
    std::string buffer(8, '\0');
    EXPECT_EQ(SendMessageA(combo->Handle(), CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(buffer.data())), 3);
    EXPECT_STREQ(buffer.c_str(), "tre");
    EXPECT_EQ(SendMessageA(combo->Handle(), CB_GETLBTEXT, 5, reinterpret_cast<LPARAM>(buffer.data())), CB_ERR);
    EXPECT_EQ(combo->Items()->IndexOf("TRE"), 2);
}

TEST_F(ComboBoxes, SortedFollowsTheItalianComparison)
{
    TComboBox* combo = MakeCombo(csDropDownList);
    combo->SetSorted(true);
    for (const char* s : {"zeta", "\xC0rea", "alfa"})
        combo->Items()->Add(s);
    EXPECT_EQ(combo->Items()->Strings(0), "alfa");
    EXPECT_EQ(combo->Items()->Strings(1), "\xC0rea");
    EXPECT_EQ(combo->Items()->Strings(2), "zeta");
}

TEST_F(ComboBoxes, OwnerDrawnDrawsTheEditPartAndTheDroppedItems)
{
    TComboBox* combo = MakeCombo(csOwnerDrawFixed);
    combo->SetItemHeight(16);
    for (const char* s : {"uno", "due", "tre"})
        combo->Items()->Add(s);
    combo->SetItemIndex(0);
    std::vector<std::pair<int, bool>> draws; // index, edit part
    combo->OnDrawItem = [&](TWinControl* control, int index, TRect rect, TOwnerDrawState state) {
        auto* box = static_cast<TComboBox*>(control);
        box->Canvas()->Brush()->SetColor(clRed);
        box->Canvas()->FillRect(rect);
        draws.emplace_back(index, state.Contains(odComboBoxEdit));
    };
    ShowAndActivate(form);
    Widget(combo)->repaint();
    EXPECT_TRUE(std::any_of(draws.begin(), draws.end(), [](auto d) { return d.first == 0 && d.second; }));
    draws.clear();
    combo->SetDroppedDown(true);
    PumpUntil([&] { return draws.size() >= 3; });
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(std::any_of(draws.begin(), draws.end(), [i](auto d) { return d.first == i && !d.second; })) << i;
    combo->SetDroppedDown(false);
}

TEST_F(ComboBoxes, SimpleStyleShowsItsListBelowTheEditAlways)
{
    TComboBox* combo = MakeCombo(csSimple);
    combo->SetBounds(10, 100, 200, 120);
    for (const char* s : {"uno", "due", "tre"})
        combo->Items()->Add(s);
    int changes = 0, clicks = 0, drops = 0;
    combo->OnChange = [&](TObject*) { ++changes; };
    combo->OnClick = [&](TObject*) { ++clicks; };
    combo->OnDropDown = [&](TObject*) { ++drops; };
    ShowAndActivate(form);
    auto* list = Widget(combo)->findChild<QListView*>();
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->isVisible());
    auto* edit = Widget(combo)->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    EXPECT_GT(list->geometry().top(), edit->geometry().bottom());
    EXPECT_GT(list->height(), 60);
    EXPECT_EQ(list->model()->rowCount(), 3);
    combo->SetDroppedDown(true);
    EXPECT_FALSE(combo->DroppedDown());
    EXPECT_EQ(drops, 0);

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(1, 0)).center());
    EXPECT_EQ(combo->ItemIndex(), 1);
    EXPECT_EQ(combo->Text(), "due");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(clicks, 1);
    parent->Commands.clear();
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(1, 0)).center());
    EXPECT_NE(std::find(parent->Commands.begin(), parent->Commands.end(), CBN_DBLCLK), parent->Commands.end());

    // The arrow keys in the edit part walk the list, which shows the current item.
    combo->SetFocus();
    QTest::keyClick(Widget(combo), Qt::Key_Down);
    EXPECT_EQ(combo->ItemIndex(), 2);
    EXPECT_EQ(combo->Text(), "tre");
    EXPECT_EQ(list->currentIndex().row(), 2);
    // The window's vertical scroll style belongs to the list, not to a bar beside the control.
    EXPECT_FALSE(combo->ScrollBarShown(SB_VERT));
}

TEST_F(ComboBoxes, OwnerDrawnVariableMeasuresEachItem)
{
    TComboBox* combo = MakeCombo(csOwnerDrawVariable);
    for (const char* s : {"uno", "due", "tre"})
        combo->Items()->Add(s);
    combo->SetItemIndex(2);
    std::vector<int> measured;
    combo->OnMeasureItem = [&](TWinControl*, int index, int& height) {
        measured.push_back(index);
        height = 14 + 6 * index;
    };
    std::vector<std::pair<int, bool>> draws; // index, edit part
    combo->OnDrawItem = [&](TWinControl*, int index, TRect rect, TOwnerDrawState state) {
        combo->Canvas()->FillRect(rect);
        draws.emplace_back(index, state.Contains(odComboBoxEdit));
    };
    ShowAndActivate(form);
    Widget(combo)->repaint();
    EXPECT_NE(std::find(draws.begin(), draws.end(), std::make_pair(2, true)), draws.end());
    combo->SetDroppedDown(true);
    PumpUntil([&] { return draws.size() >= 4; });
    auto* view = Widget(combo)->findChild<QAbstractItemView*>();
    ASSERT_NE(view, nullptr);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(std::find(measured.begin(), measured.end(), i), measured.end()) << i;
        EXPECT_EQ(view->visualRect(view->model()->index(i, 0)).height(), 14 + 6 * i) << i;
        EXPECT_NE(std::find(draws.begin(), draws.end(), std::make_pair(i, false)), draws.end()) << i;
    }
    // The list drops below the control, not over it.
    EXPECT_GE(view->mapToGlobal(QPoint(0, 0)).y(), Widget(combo)->mapToGlobal(QPoint(0, Widget(combo)->height())).y() - 1);
    combo->SetDroppedDown(false);
}


// A combo whose code narrows its edit part, as a combo with a narrower button of its own does.
class TNarrowedCombo : public TComboBox {
    TESS_CLASS(TNarrowedCombo, TComboBox)
public:
    explicit TNarrowedCombo(TComponent* AOwner) : TComboBox(AOwner) {}
    using TCustomComboBox::SetEditPartRect;
};

TEST_F(ComboBoxes, AnEditPartSetByCodeKeepsItsPlaceThroughResizesAndRecreation)
{
    auto* combo = new TNarrowedCombo(form);
    combo->SetParent(parent);
    combo->SetBounds(10, 150, 200, 24);
    ShowAndActivate(form);
    auto lineEdit = [&] { return Widget(combo)->findChild<QLineEdit*>(); };
    ASSERT_NE(lineEdit(), nullptr);
    const TRect own = combo->EditPartRect();
    EXPECT_EQ(own.Left, lineEdit()->geometry().left());
    EXPECT_EQ(own.Width(), lineEdit()->geometry().width());

    combo->SetEditPartRect(Rect(3, 3, 150, 21));
    EXPECT_EQ(lineEdit()->geometry(), QRect(3, 3, 147, 18));
    combo->SetBounds(10, 150, 260, 30);
    Pump(10);
    EXPECT_EQ(lineEdit()->geometry(), QRect(3, 3, 147, 18)) << "after a resize";
    combo->SetStyle(csSimple);
    combo->SetStyle(csDropDown);
    Pump(10);
    ASSERT_NE(lineEdit(), nullptr);
    EXPECT_EQ(lineEdit()->geometry(), QRect(3, 3, 147, 18)) << "after the window was made again";
    EXPECT_EQ(combo->EditPartRect(), Rect(3, 3, 150, 21));

    // Typed text stays inside the part: nothing is drawn right of it.
    combo->SetFocus();
    QTest::keyClicks(Widget(combo), QString(60, QLatin1Char('W')));
    Pump(10);
    const QImage image = Widget(combo)->grab().toImage();
    for (int x = 150; x < Widget(combo)->width() - 20; ++x)
        for (int y = 3; y < 21; ++y)
            ASSERT_EQ(image.pixel(x, y) & 0xFFFFFFu, 0xFFFFFFu) << x << "," << y;

    combo->SetEditPartRect(Rect(3, 3, -40, 21));
    EXPECT_EQ(lineEdit()->geometry().width(), 0) << "a negative size becomes none";
    combo->SetEditPartRect(TRect{});
    EXPECT_EQ(combo->EditPartRect().Width(), own.Width() + 60) << "the combo's own placement again, for the new width";
}

TEST_F(ComboBoxes, TheDroppedListShowsOnTheControlsColour)
{
    TComboBox* combo = MakeCombo(csDropDownList);
    combo->SetColor(static_cast<TColor>(0xE1EAEB));
    for (const char* s : {"uno", "due"})
        combo->Items()->Add(s);
    combo->SetItemIndex(0);
    ShowAndActivate(form);
    combo->SetDroppedDown(true);
    auto* view = Widget(combo)->findChild<QAbstractItemView*>();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return view->isVisible(); }));
    Pump(20);
    const QImage image = view->viewport()->grab().toImage();
    // Right of the text of the item that is not selected the list's background shows.
    const QRect second = view->visualRect(view->model()->index(1, 0));
    EXPECT_EQ(image.pixel(second.right() - 2, second.center().y()) & 0xFFFFFFu, 0xEBEAE1u);
    combo->SetDroppedDown(false);
}

} // namespace
