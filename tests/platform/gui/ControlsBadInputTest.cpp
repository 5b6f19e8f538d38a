// Bad input to the standard controls: indexes out of range, list and combo messages with bad
// indexes, and positions outside their ranges. Each is refused cleanly and changes nothing.

#include "GuiTestSupport.h"

#include "platform/gui/ComboBox.h"
#include "platform/gui/Form.h"
#include "platform/gui/GroupBox.h"
#include "platform/gui/ListBox.h"
#include "platform/gui/ListView.h"
#include "platform/gui/Memo.h"
#include "platform/gui/PageControl.h"
#include "platform/gui/ScrollBar.h"
#include "platform/gui/StatusBar.h"
#include "platform/gui/TabSet.h"
#include "platform/gui/UpDown.h"
#include "platform/gui/WindowHandles.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

class ControlsBadInput : public testing::Test {
protected:
    void SetUp() override
    {
        form = TForm::Create<TForm>(nullptr);
        form->SetBounds(100, 100, 400, 300);
    }
    void TearDown() override { TComponent::Free(form); }

    template <typename T>
    T* Make()
    {
        auto* control = new T(form);
        control->SetParent(form);
        return control;
    }
    // Three strings in a list, as each case starts from.
    static void Fill(TStrings* strings)
    {
        for (const char* s : {"uno", "due", "tre"})
            strings->Add(s);
    }

    TForm* form = nullptr;
};

TEST_F(ControlsBadInput, IndexOutOfRangeRaisesTheListErrorAndChangesNothing)
{
    struct TCase {
        const char* Name;
        std::function<int()> Count;   // the collection's size, checked after the bad access
        std::function<void(int)> Use; // reads or deletes at an index
    };
    auto* list = Make<TListBox>();
    Fill(list->Items());
    auto* combo = Make<TComboBox>();
    Fill(combo->Items());
    auto* memo = Make<TMemo>();
    Fill(memo->Lines());
    auto* group = Make<TRadioGroup>();
    Fill(group->Items());
    auto* tabs = Make<TTabControl>();
    Fill(tabs->Tabs());
    auto* tabSet = Make<TTabSet>();
    Fill(tabSet->Tabs());
    auto* bar = Make<TStatusBar>();
    for (int i = 0; i < 3; ++i)
        bar->Panels()->Add();
    auto* view = Make<TListView>();
    for (int i = 0; i < 3; ++i) {
        view->Columns()->Add();
        view->Items()->Add();
    }
    auto* pages = Make<TPageControl>();
    for (int i = 0; i < 3; ++i)
        (new TTabSheet(form))->SetPageControl(pages);

    const std::vector<TCase> cases = {
        {"list items", [&] { return list->Items()->Count(); }, [&](int i) { list->Items()->Delete(i); }},
        {"list strings", [&] { return list->Items()->Count(); }, [&](int i) { (void)list->Items()->Strings(i); }},
        {"combo items", [&] { return combo->Items()->Count(); }, [&](int i) { combo->Items()->Delete(i); }},
        {"memo lines", [&] { return memo->Lines()->Count(); }, [&](int i) { memo->Lines()->Delete(i); }},
        {"memo strings", [&] { return memo->Lines()->Count(); }, [&](int i) { (void)memo->Lines()->Strings(i); }},
        {"radio items", [&] { return group->Items()->Count(); }, [&](int i) { group->Items()->Delete(i); }},
        {"tab control tabs", [&] { return tabs->Tabs()->Count(); }, [&](int i) { tabs->Tabs()->Delete(i); }},
        {"tab set tabs", [&] { return tabSet->Tabs()->Count(); }, [&](int i) { tabSet->Tabs()->Delete(i); }},
        {"status panels", [&] { return bar->Panels()->Count(); }, [&](int i) { (void)bar->Panels()->Items(i); }},
        {"list view columns", [&] { return view->Columns()->Count(); }, [&](int i) { view->Columns()->Delete(i); }},
        {"list view items", [&] { return view->Items()->Count(); }, [&](int i) { view->Items()->Delete(i); }},
        {"pages", [&] { return pages->PageCount(); }, [&](int i) { (void)pages->Pages(i); }},
    };
    for (const TCase& c : cases) {
        for (int index : {3, -1}) {
            try {
                c.Use(index);
                ADD_FAILURE() << c.Name << " accepted " << index;
            } catch (const EStringListError& e) {
                EXPECT_EQ(e.Message, "List index out of bounds (" + std::to_string(index) + ")") << c.Name;
            }
            EXPECT_EQ(c.Count(), 3) << c.Name;
        }
    }
    EXPECT_EQ(memo->Text(), "uno\r\ndue\r\ntre");
}

TEST_F(ControlsBadInput, ListAndComboMessagesWithBadIndexesAnswerErrorAndChangeNothing)
{
    auto* list = Make<TListBox>();
    list->SetMultiSelect(true);
    Fill(list->Items());
    auto* combo = Make<TComboBox>();
    Fill(combo->Items());
    char buffer[16] = "";
    const auto text = reinterpret_cast<LPARAM>("quattro");
    const auto into = reinterpret_cast<LPARAM>(buffer);
    struct TCase {
        TWinControl* Control;
        UINT Msg;
        WPARAM WParam;
        LPARAM LParam;
        LRESULT Error;
    };
    const TCase cases[] = {
        {list, LB_GETTEXT, 3, into, LB_ERR},          {list, LB_GETTEXTLEN, 7, 0, LB_ERR},
        {list, LB_DELETESTRING, 3, 0, LB_ERR},        {list, LB_INSERTSTRING, 4, text, LB_ERR},
        {list, LB_GETITEMDATA, 3, 0, LB_ERR},         {list, LB_SETITEMDATA, 3, 99, LB_ERR},
        {list, LB_GETSEL, 3, 0, LB_ERR},              {list, LB_SETSEL, TRUE, 3, LB_ERR},
        {combo, CB_GETLBTEXT, 3, into, CB_ERR},       {combo, CB_GETLBTEXTLEN, 3, 0, CB_ERR},
        {combo, CB_DELETESTRING, 3, 0, CB_ERR},       {combo, CB_INSERTSTRING, 4, text, CB_ERR},
        {combo, CB_GETITEMDATA, 3, 0, CB_ERR},        {combo, CB_SETITEMDATA, static_cast<WPARAM>(-2), 99, CB_ERR},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(SendMessageA(c.Control->Handle(), c.Msg, c.WParam, c.LParam), c.Error) << std::hex << c.Msg;
        TStrings* items = c.Control == list ? list->Items() : combo->Items();
        ASSERT_EQ(items->Count(), 3) << std::hex << c.Msg;
        EXPECT_EQ(items->Strings(2), "tre") << std::hex << c.Msg;
        EXPECT_EQ(buffer[0], '\0') << std::hex << c.Msg;
    }
    EXPECT_EQ(list->SelCount(), 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(SendMessageA(list->Handle(), LB_GETITEMDATA, static_cast<WPARAM>(i), 0), 0);
        EXPECT_EQ(SendMessageA(combo->Handle(), CB_GETITEMDATA, static_cast<WPARAM>(i), 0), 0);
    }
    // An index beyond the items selects nothing.
    combo->SetItemIndex(1);
    combo->SetItemIndex(5);
    EXPECT_EQ(combo->ItemIndex(), -1);
    list->SetMultiSelect(false);
    list->SetItemIndex(1);
    list->SetItemIndex(5);
    EXPECT_EQ(list->ItemIndex(), -1);
}

TEST_F(ControlsBadInput, PositionsStayInTheirRange)
{
    auto* bar = Make<TScrollBar>();
    bar->SetPosition(500);
    EXPECT_EQ(bar->Position(), 100);
    bar->SetPosition(-5);
    EXPECT_EQ(bar->Position(), 0);
    try {
        bar->SetParams(0, 10, 5);
        ADD_FAILURE() << "Min > Max accepted";
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.Message, "Scrollbar property out of range");
    }
    EXPECT_EQ(bar->Min(), 0);
    EXPECT_EQ(bar->Max(), 100);

    auto* progress = Make<TProgressBar>();
    progress->SetPosition(150);
    EXPECT_EQ(progress->Position(), 100);
    progress->SetPosition(-3);
    EXPECT_EQ(progress->Position(), 0);
    progress->SetPosition(95);
    progress->SetMax(50);
    EXPECT_EQ(progress->Position(), 50);

    auto* updown = Make<TUpDown>();
    updown->SetMax(5);
    updown->SetPosition(9);
    EXPECT_EQ(updown->Position(), 5);
    updown->SetPosition(-9);
    EXPECT_EQ(updown->Position(), 0);
    updown->Perform(UDM_SETPOS, 0, 77);
    EXPECT_EQ(updown->Position(), 5);
}

} // namespace
