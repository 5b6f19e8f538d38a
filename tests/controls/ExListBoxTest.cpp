// The library's list boxes: the horizontal range that fits the widest item, item rectangles and
// hit tests, items kept across a new window, grey selection, owner drawing, long items, index
// errors and the automatic-drag press rules.

#include "ControlsTestSupport.h"

#include "controls/ExListBox.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/Button.h"
#include "platform/gui/Colors.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/gui/GdiObjects.h"
#include "platform/gui/Messages.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/Application.h"
#include "platform/gui/private/ControlHost.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/TypInfo.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace ExListBoxTest {

LRESULT Send(TWinControl* control, UINT msg, WPARAM w = 0, LPARAM l = 0)
{
    return SendMessageA(control->Handle(), msg, w, l);
}

// The horizontal range behaves the same in the class library's list box and in the library's own.
struct TExtentCase {
    const char* Name;
    std::function<TWinControl*(TForm* form)> Make;
    std::function<TStrings*(TWinControl*)> Items;
    std::function<TCanvas*(TWinControl*)> Canvas;
    std::function<void(TWinControl*, int)> SetTabWidth;
    std::function<int(TWinControl*)> LeftEdge;
};

std::vector<TExtentCase> ExtentCases()
{
    return {
        {"TTextListBox", [](TForm* form) -> TWinControl* { return new TTextListBox(form); },
         [](TWinControl* c) { return static_cast<TTextListBox*>(c)->Items(); },
         [](TWinControl* c) { return static_cast<TTextListBox*>(c)->Canvas(); },
         [](TWinControl* c, int w) { static_cast<TTextListBox*>(c)->SetTabWidth(w); },
         [](TWinControl* c) { return static_cast<TTextListBox*>(c)->ItemRect(0).Left; }},
        {"TExListBox",
         [](TForm* form) -> TWinControl* {
             auto* box = new TExListBox(form);
             box->SetAutoScroll(true);
             return box;
         },
         [](TWinControl* c) { return static_cast<TExListBox*>(c)->Items(); },
         [](TWinControl* c) { return static_cast<TExListBox*>(c)->Canvas(); },
         [](TWinControl* c, int w) { static_cast<TExListBox*>(c)->SetTabWidth(w); },
         [](TWinControl* c) { return static_cast<TExListBox*>(c)->ItemRect(0).Left; }},
    };
}

TEST(ListBoxExtent, FollowsTheWidestItemAndScrollsBackWhenItGoes)
{
    for (const TExtentCase& test : ExtentCases()) {
        SCOPED_TRACE(test.Name);
        TForm form(nullptr);
        TWinControl* box = test.Make(&form);
        box->SetParent(&form);
        box->SetBounds(10, 10, 80, 100);
        TStrings* items = test.Items(box);
        TCanvas* canvas = test.Canvas(box);
        const std::string wide = "Fattura accompagnatoria numero 2021/0042";
        items->Add("Nota");
        const int narrow = canvas->TextWidth("Notax");
        EXPECT_EQ(Send(box, LB_GETHORIZONTALEXTENT), narrow);
        items->Add(wide);
        const std::string second = "Cliente con un nome lungo";
        items->Add(second);
        EXPECT_EQ(Send(box, LB_GETHORIZONTALEXTENT), canvas->TextWidth(wide + "x"));
        Send(box, WM_HSCROLL, SB_RIGHT);
        EXPECT_LT(test.LeftEdge(box), 0) << "scrolled to the right";
        items->Delete(1);
        EXPECT_EQ(test.LeftEdge(box), 0) << "back at the left edge";
        EXPECT_EQ(Send(box, LB_GETHORIZONTALEXTENT), canvas->TextWidth(second + "x"));
        ASSERT_GT(canvas->TextWidth(second), box->ClientWidth()) << "still wider than the list";
        items->Clear();
        EXPECT_EQ(Send(box, LB_GETHORIZONTALEXTENT), 0);

        // One tab stop of round(width of "0" x 8 / 4) pixels.
        test.SetTabWidth(box, 8);
        canvas = test.Canvas(box);
        items = test.Items(box);
        items->Add("a\tb");
        const int stop = static_cast<int>(std::lround(canvas->TextWidth("0") * 2.0));
        ASSERT_GT(stop, canvas->TextWidth("a"));
        EXPECT_EQ(Send(box, LB_GETHORIZONTALEXTENT), stop + canvas->TextWidth("bx"));
    }
}

TEST(ListBoxGeometry, ItemRectAndItemAtPosAroundTheLastItem)
{
    TForm form(nullptr);
    auto* box = new TExListBox(&form);
    box->SetParent(&form);
    box->SetBounds(0, 0, 120, 150);
    for (const char* text : {"Uno", "Due", "Tre"})
        box->Items()->Add(text);
    const TRect last = box->ItemRect(2);
    const TRect below = box->ItemRect(3);
    EXPECT_EQ(below.Top, last.Bottom);
    EXPECT_EQ(below.Bottom - below.Top, last.Bottom - last.Top);
    EXPECT_EQ(below.Left, last.Left);
    EXPECT_EQ(box->ItemRect(5), TRect());

    const TPoint inSecond{10, box->ItemRect(1).Top + 1};
    const TPoint underItems{10, below.Top + 2};
    struct {
        TPoint Pos;
        bool Existing;
        int Expected;
    } cases[] = {{inSecond, false, 1}, {inSecond, true, 1}, {underItems, false, 3},
                 {underItems, true, -1}, {{-3, 5}, false, -1}, {{10, 500}, false, -1}};
    for (const auto& c : cases)
        EXPECT_EQ(box->ItemAtPos(c.Pos, c.Existing), c.Expected) << c.Pos.X << "," << c.Pos.Y << " " << c.Existing;
}

TEST(ListBoxWindow, ANewWindowKeepsItemsObjectsTopAndSelection)
{
    TForm form(nullptr);
    auto* box = new TExListBox(&form);
    box->SetParent(&form);
    box->SetBounds(0, 0, 120, 97);
    std::vector<TObject> tags(30);
    for (int i = 29; i >= 0; --i) {
        char text[16];
        std::snprintf(text, sizeof text, "Voce %02d", i);
        box->Items()->AddObject(text, &tags[static_cast<std::size_t>(i)]);
    }
    box->SetTopIndex(10);
    box->SetItemIndex(12);
    const HWND before = box->Handle();
    box->SetSorted(true);
    EXPECT_NE(box->Handle(), before) << "the window was made again";
    ASSERT_EQ(box->Items()->Count(), 30);
    for (int i = 0; i < 30; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "Voce %02d", i);
        EXPECT_EQ(box->Items()->Strings(i), text);
        EXPECT_EQ(box->Items()->Objects(i), &tags[static_cast<std::size_t>(i)]) << "the object travels with its item";
    }
    EXPECT_EQ(box->TopIndex(), 10);
    EXPECT_EQ(box->ItemIndex(), 12);
}

TEST(ListBoxText, LongItemsReadWholeAndIndexErrorsAreReported)
{
    TForm form(nullptr);
    auto* box = new TExListBox(&form);
    box->SetParent(&form);
    std::string longText;
    for (int i = 0; i < 10000; ++i)
        longText += static_cast<char>('a' + i % 26);
    box->Items()->Add("breve");
    box->Items()->Add(longText);
    EXPECT_EQ(box->Items()->Strings(1), longText);
    EXPECT_EQ(box->Items()->Strings(0), "breve");

    const auto message = [](const std::function<void()>& action) {
        try {
            action();
        } catch (const EStringListError& e) {
            return "EStringListError: " + e.Message;
        } catch (const EOutOfResources& e) {
            return "EOutOfResources: " + e.Message;
        }
        return std::string("nothing");
    };
    EXPECT_EQ(message([&] { box->Items()->Strings(7); }), "EStringListError: List index out of bounds (7)");
    EXPECT_EQ(message([&] { box->Items()->Objects(-1); }), "EStringListError: List index out of bounds (-1)");
    EXPECT_EQ(message([&] { box->Items()->Delete(2); }), "EStringListError: List index out of bounds (2)");
    EXPECT_EQ(message([&] { box->Selected(9); }), "EStringListError: List index out of bounds (9)");
    EXPECT_EQ(message([&] { box->Items()->Insert(9, "x"); }), "EOutOfResources: Unable to insert a line");
    EXPECT_EQ(box->Items()->Count(), 2);
}

// Focus needs the window to be the active one.
void ShowAndActivate(TForm& form)
{
    form.Show();
    QWidget* widget = WidgetOf(&form);
    widget->activateWindow();
    QApplication::setActiveWindow(widget);
    for (int i = 0; i < 200 && !widget->isActiveWindow(); ++i) {
        Application->ProcessMessages();
        QTest::qWait(10);
    }
    Application->ProcessMessages();
}

// The pixel in the middle of an item's right part, in the grab of the list box's window.
TColor ItemPixel(TExListBox* box, int index)
{
    TBitmap grab;
    EXPECT_TRUE(GrabToBitmap(box, &grab));
    const TRect item = box->ItemRect(index);
    const TRect client = box->ClientRectInWindow();
    return grab.Canvas()->Pixels(client.Left + item.Right - 10, client.Top + (item.Top + item.Bottom) / 2);
}

TEST(ListBoxDrawing, GraySelectionShowsTheSelectedItemOnButtonFaceWhileUnfocused)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 200);
    auto* box = new TExListBox(&form);
    box->SetParent(&form);
    box->SetBounds(10, 10, 140, 120);
    box->SetStyle(lbOwnerDrawFixed);
    box->SetGraySelection(true);
    for (const char* text : {"Fatture", "Preventivi", "Note di credito"})
        box->Items()->Add(text);
    box->SetItemIndex(1);
    auto* other = new TButton(&form);
    other->SetParent(&form);
    other->SetBounds(170, 10, 80, 25);
    ShowAndActivate(form);
    other->SetFocus();
    ASSERT_FALSE(box->Focused());
    EXPECT_EQ(ColorToRGB(ItemPixel(box, 1)), ColorToRGB(clBtnFace));
    EXPECT_TRUE(GrabToPng(&form, ControlsPictureDir() + "/listbox-gray-selection.png"));
    box->SetFocus();
    ASSERT_TRUE(box->Focused());
    EXPECT_EQ(ColorToRGB(ItemPixel(box, 1)), ColorToRGB(clHighlight));
    EXPECT_EQ(ColorToRGB(ItemPixel(box, 0)), ColorToRGB(box->Color()));
    box->SetGraySelection(false);
    other->SetFocus();
    EXPECT_EQ(ColorToRGB(ItemPixel(box, 1)), ColorToRGB(clHighlight));
}

TEST(ListBoxDrawing, OwnerDrawingGetsEachVisibleItemAndVariableHeightsComeFromMeasuring)
{
    TForm form(nullptr);
    auto* box = new TExListBox(&form);
    box->SetParent(&form);
    box->SetBounds(0, 0, 120, 97);
    box->SetStyle(lbOwnerDrawVariable);
    box->OnMeasureItem = [](TWinControl*, int index, int& height) { height = 10 + 4 * index; };
    std::vector<std::pair<int, TRect>> drawn;
    box->SetOnDrawItem([&](TWinControl*, int index, TRect rect, TOwnerDrawState) { drawn.push_back({index, rect}); });
    for (int i = 0; i < 20; ++i)
        box->Items()->Add("Riga " + std::to_string(i));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(box->ItemRect(i).Bottom - box->ItemRect(i).Top, 10 + 4 * i);
    form.Show();
    drawn.clear();
    TBitmap grab;
    ASSERT_TRUE(GrabToBitmap(box, &grab));
    ASSERT_FALSE(drawn.empty());
    int bottom = 0;
    for (std::size_t n = 0; n < drawn.size(); ++n) {
        EXPECT_EQ(drawn[n].first, static_cast<int>(n)) << "items are drawn from the top, in order";
        EXPECT_EQ(drawn[n].second, box->ItemRect(static_cast<int>(n)));
        bottom = drawn[n].second.Bottom;
    }
    EXPECT_GE(bottom, box->ClientHeight()) << "every visible item is drawn";
    EXPECT_LT(drawn.size(), 20u) << "items below the client area are not";
}

TEST(ListBoxDragging, APressOnASelectedItemKeepsTheMultipleSelection)
{
    TForm form(nullptr);
    auto* box = new TExListBox(&form);
    box->SetParent(&form);
    box->SetBounds(0, 0, 120, 150);
    box->SetMultiSelect(true);
    box->DragMode = dmAutomatic;
    for (const char* text : {"Uno", "Due", "Tre", "Quattro"})
        box->Items()->Add(text);
    box->SetSelected(0, true);
    box->SetSelected(2, true);
    form.Show();
    const auto press = [&](int index) {
        const TRect rect = box->ItemRect(index);
        const LPARAM at = MAKELPARAM(10, static_cast<WORD>((rect.Top + rect.Bottom) / 2));
        Send(box, WM_LBUTTONDOWN, MK_LBUTTON, at);
        box->EndDrag(false);
        Send(box, WM_LBUTTONUP, 0, at);
    };
    press(2);
    EXPECT_TRUE(box->Selected(0));
    EXPECT_TRUE(box->Selected(2));
    EXPECT_EQ(box->SelCount(), 2);
    press(3);
    EXPECT_EQ(box->SelCount(), 1) << "a press elsewhere selects as usual";
    EXPECT_TRUE(box->Selected(3));
}

TEST(ListBoxProperties, ThePublishedPropertiesAreReachedByName)
{
    TForm form(nullptr);
    auto* text = new TTextListBox(&form);
    auto* own = new TExListBox(&form);
    for (TObject* box : std::initializer_list<TObject*>{text, own}) {
        SCOPED_TRACE(box->ClassName());
        SetOrdProp(box, "Sorted", 1);
        SetOrdProp(box, "TabWidth", 12);
        SetOrdProp(box, "Style", lbOwnerDrawFixed);
        EXPECT_EQ(GetOrdProp(box, "Sorted"), 1);
        EXPECT_EQ(GetOrdProp(box, "TabWidth"), 12);
        EXPECT_EQ(GetOrdProp(box, "Style"), lbOwnerDrawFixed);
    }
    EXPECT_TRUE(text->Sorted());
    EXPECT_EQ(own->TabWidth(), 12);
    SetOrdProp(own, "GraySelection", 1);
    EXPECT_TRUE(own->GraySelection());
}

} // namespace ExListBoxTest
