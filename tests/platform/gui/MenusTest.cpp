// Menus: handles, tracking with its messages, popup menus, shortcuts and owner drawing.

#include "GuiTestSupport.h"

#include "platform/gui/Edit.h"
#include "platform/gui/Form.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Menus.h"
#include "platform/gui/WindowHandles.h"
#include "platform/gui/private/QtBridge.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <map>

namespace {

// Runs keys on the open popup menu once it shows.
void PressOnPopup(std::vector<Qt::Key> keys, std::function<void(QMenu*)> inspect = nullptr, int afterMs = 50)
{
    QTimer::singleShot(afterMs, [keys, inspect] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        if (inspect)
            inspect(menu);
        for (Qt::Key key : keys)
            QTest::keyClick(menu, key);
    });
}

TEST(MenuHandles, BuildModifyAndQuery)
{
    HMENU menu = CreatePopupMenu();
    MENUITEMINFOA info;
    info.fMask = MIIM_TYPE | MIIM_ID | MIIM_DATA | MIIM_STATE;
    info.fType = MFT_OWNERDRAW;
    info.wID = 101;
    info.dwItemData = 0xABC;
    info.fState = MFS_CHECKED;
    EXPECT_TRUE(InsertMenuItemA(menu, 0, TRUE, &info));
    EXPECT_TRUE(AppendMenuA(menu, MF_STRING, 102, "&Secondo"));
    HMENU sub = CreatePopupMenu();
    AppendMenuA(sub, MF_STRING, 201, "Dentro");
    EXPECT_TRUE(AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "Sotto"));
    EXPECT_EQ(GetMenuItemCount(menu), 3);
    EXPECT_EQ(GetMenuState(menu, 101, MF_BYCOMMAND), MF_OWNERDRAW | MF_CHECKED);
    EXPECT_TRUE(ModifyMenuA(menu, 102, MF_BYCOMMAND | MF_STRING | MF_GRAYED, 103, "&Terzo"));
    EXPECT_EQ(GetMenuState(menu, 103, MF_BYCOMMAND), MF_GRAYED | MF_DISABLED);
    EXPECT_EQ(GetMenuString(menu, 1, MF_BYPOSITION), "&Terzo");
    EXPECT_EQ(GetMenuState(menu, 201, MF_BYCOMMAND), 0u);
    EXPECT_EQ(GetMenuState(menu, 2, MF_BYPOSITION), MF_POPUP | (1u << 8));
    EXPECT_EQ(GetSubMenu(menu, 2), sub);
    MENUITEMINFOA read;
    read.fMask = MIIM_DATA | MIIM_ID;
    EXPECT_TRUE(GetMenuItemInfoA(menu, 0, TRUE, &read));
    EXPECT_EQ(read.dwItemData, 0xABCu);
    EXPECT_EQ(read.wID, 101u);
    EXPECT_TRUE(DeleteMenu(menu, 2, MF_BYPOSITION));
    EXPECT_FALSE(IsMenu(sub));
    EXPECT_TRUE(DestroyMenu(menu));
    EXPECT_FALSE(IsMenu(menu));
    EXPECT_EQ(GetMenuItemCount(menu), -1);
    EXPECT_FALSE(AppendMenuA(menu, MF_STRING, 1, "x"));
}

TEST(MenuHandles, DestroyedHandlesAreRefused)
{
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, 1, "Uno");
    ASSERT_TRUE(DestroyMenu(menu));
    HWND window = AllocateHWnd(nullptr);
    MENUITEMINFOA info;
    info.fMask = MIIM_ID;
    const struct {
        const char* Name;
        std::function<bool()> Refused;
    } calls[] = {
        {"DestroyMenu", [&] { return !DestroyMenu(menu); }},
        {"AppendMenu", [&] { return !AppendMenuA(menu, MF_STRING, 2, "Due"); }},
        {"InsertMenuItem", [&] { return !InsertMenuItemA(menu, 0, TRUE, &info); }},
        {"ModifyMenu", [&] { return !ModifyMenuA(menu, 1, MF_BYCOMMAND, 1, "Tre"); }},
        {"DeleteMenu", [&] { return !DeleteMenu(menu, 0, MF_BYPOSITION); }},
        {"GetMenuState", [&] { return GetMenuState(menu, 1, MF_BYCOMMAND) == static_cast<UINT>(-1); }},
        {"GetMenuItemCount", [&] { return GetMenuItemCount(menu) == -1; }},
        {"CheckMenuItem", [&] { return CheckMenuItem(menu, 1, MF_CHECKED) == static_cast<DWORD>(-1); }},
        {"GetSubMenu", [&] { return GetSubMenu(menu, 0) == nullptr; }},
        {"SetMenu", [&] { return !SetMenu(window, menu) && GetMenu(window) == nullptr; }},
        {"TrackPopupMenu", [&] { return TrackPopupMenu(menu, TPM_RETURNCMD, 0, 0, 0, window, nullptr) == 0; }},
    };
    for (const auto& call : calls)
        EXPECT_TRUE(call.Refused()) << call.Name;
    DeallocateHWnd(window);
}

class PopupMenus : public testing::Test {
protected:
    void SetUp() override
    {
        form = TForm::Create<TForm>(nullptr);
        form->SetBounds(100, 100, 300, 200);
        popup = new TPopupMenu(form);
        open = NewItem("&Apri", ShortCut('O', TShiftState{ssCtrl}), false, true,
                       [this](TObject*) { ++openClicks; }, 0, "Apri");
        popup->Items()->Add(open);
        popup->Items()->Add(NewLine());
        save = NewItem("&Salva", 0, false, true, nullptr, 0, "Salva");
        save->SetDefault(true);
        popup->Items()->Add(save);
        radio1 = NewItem("Uno", 0, true, true, nullptr, 0, "");
        radio2 = NewItem("Due", 0, false, true, nullptr, 0, "");
        for (TMenuItem* r : {radio1, radio2}) {
            r->SetRadioItem(true);
            r->SetGroupIndex(1);
            popup->Items()->Add(r);
        }
        popup->Items()->Add(NewSubMenu("Altro", 0, "", {NewItem("Dentro", 0, false, true, nullptr, 0, "")}));
    }
    void TearDown() override { TComponent::Free(form); }

    TForm* form = nullptr;
    TPopupMenu* popup = nullptr;
    TMenuItem* open = nullptr;
    TMenuItem* save = nullptr;
    TMenuItem* radio1 = nullptr;
    TMenuItem* radio2 = nullptr;
    int openClicks = 0;
};

TEST_F(PopupMenus, KeysChooseTheFirstItemBeforePopupReturns)
{
    ShowAndActivate(form);
    QStringList texts;
    PressOnPopup({Qt::Key_Down, Qt::Key_Return}, [&](QMenu* menu) {
        for (QAction* action : menu->actions())
            texts << action->text();
    });
    popup->Popup(150, 150);
    EXPECT_EQ(openClicks, 1);
    ASSERT_GE(texts.size(), 3);
    EXPECT_EQ(texts[0], QString("&Apri\tCtrl+O"));
    EXPECT_EQ(texts[2], QString("&Salva"));
}

TEST_F(PopupMenus, RadioItemsAreExclusive)
{
    radio2->SetChecked(true);
    EXPECT_FALSE(radio1->Checked());
    EXPECT_EQ(GetMenuState(popup->Handle(), radio1->Command(), MF_BYCOMMAND) & MF_CHECKED, 0u);
    EXPECT_NE(GetMenuState(popup->Handle(), radio2->Command(), MF_BYCOMMAND) & MF_CHECKED, 0u);
}

TEST_F(PopupMenus, ShortCutFiresOnceAndDisabledItemLetsTheKeyThrough)
{
    auto* menu = new TMainMenu(form);
    TMenuItem* file = NewSubMenu("&File", 0, "", {});
    int fileClicks = 0;
    file->OnClick = [&](TObject*) { ++fileClicks; };
    int clicks = 0;
    file->Add(NewItem("&Apri", ShortCut('O', TShiftState{ssCtrl}), false, true, [&](TObject*) { ++clicks; }, 0, ""));
    menu->Items()->Add(file);
    form->Menu = menu;
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    TMessage key{WM_KEYDOWN, 'O', 0, 0};
    // The key path asks the menus with Ctrl held.
    ShowAndActivate(form);
    edit->SetFocus();
    QTest::keyPress(Widget(edit), Qt::Key_Control);
    EXPECT_TRUE(MenuKeyShortCut(edit, key));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(fileClicks, 1);
    file->Items(0)->SetEnabled(false);
    EXPECT_FALSE(MenuKeyShortCut(edit, key));
    EXPECT_EQ(clicks, 1);
    QTest::keyRelease(Widget(edit), Qt::Key_Control);
}

// A form with a main menu: "&File" (Apri with Ctrl+O, Chiudi) and "&Modifica" (Copia), and an edit.
class MenuBar : public testing::Test {
protected:
    void SetUp() override
    {
        form = TForm::Create<TForm>(nullptr);
        form->SetBounds(100, 100, 400, 300);
        menu = new TMainMenu(form);
        file = NewSubMenu("&File", 0, "", {});
        file->OnClick = [this](TObject*) { ++clicks["File"]; };
        file->Add(NewItem("&Apri", ShortCut('O', TShiftState{ssCtrl}), false, true, Count("Apri"), 0, ""));
        file->Add(NewItem("&Chiudi", 0, false, true, Count("Chiudi"), 0, ""));
        edit = NewSubMenu("&Modifica", 0, "", {NewItem("&Copia", 0, false, true, Count("Copia"), 0, "")});
        menu->Items()->Add(file);
        menu->Items()->Add(edit);
        form->Menu = menu;
        box = new TEdit(form);
        box->SetBounds(10, 10, 120, 24);
        box->SetParent(form);
        ShowAndActivate(form);
        box->SetFocus();
        Pump(20);
    }
    void TearDown() override
    {
        if (form)
            TComponent::Free(form);
    }

    TNotifyEvent Count(const std::string& name)
    {
        return [this, name](TObject*) { ++clicks[name]; };
    }
    QWidget* Bar() const { return Widget(form)->childAt(2, 2); }
    // Keys through the form's window, as the system delivers them (to the focus or the grabber).
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(Widget(form)->windowHandle(), key, modifiers);
    }

    TForm* form = nullptr;
    TMainMenu* menu = nullptr;
    TMenuItem* file = nullptr;
    TMenuItem* edit = nullptr;
    TEdit* box = nullptr;
    std::map<std::string, int> clicks;
};

TEST_F(MenuBar, TheBarLiesAboveTheClientAreaAndShowsInAGrab)
{
    const int barHeight = GetMenuBarHeight(form->Handle());
    EXPECT_EQ(barHeight, 19);
    EXPECT_EQ(form->Height(), 300);
    EXPECT_EQ(form->ClientHeight(), 300 - barHeight);
    EXPECT_EQ(Widget(box)->geometry().topLeft(), QPoint(10, 10 + barHeight));
    EXPECT_EQ(form->ClientToScreen(Point(0, 0)).Y, Widget(form)->mapToGlobal(QPoint(0, 0)).y() + barHeight);
    ASSERT_NE(Bar(), nullptr);
    EXPECT_EQ(Bar()->geometry(), QRect(0, 0, 400, barHeight));

    const QImage image = Widget(form)->grab().toImage();
    const QColor menuColor = ToQColor(clMenu);
    EXPECT_EQ(image.pixelColor(390, barHeight / 2), menuColor);
    int textPixels = 0;
    for (int x = 0; x < 40; ++x)
        for (int y = 0; y < barHeight; ++y)
            textPixels += image.pixelColor(x, y) == ToQColor(clMenuText) ? 1 : 0;
    EXPECT_GT(textPixels, 10) << "the caption of the first entry";
    EXPECT_TRUE(GrabToPng(form, ScreenshotDir() + "/menu-bar.png"));
}

TEST_F(MenuBar, AClickOpensTheDropDownBelowItsEntry)
{
    QPoint shownAt;
    PressOnPopup({Qt::Key_Down, Qt::Key_Return}, [&](QMenu* opened) { shownAt = opened->geometry().topLeft(); });
    QTest::mouseClick(Bar(), Qt::LeftButton, {}, QPoint(8, 9));
    Pump(20);
    EXPECT_EQ(clicks["File"], 1) << "the item whose drop-down opens hears OnClick";
    EXPECT_EQ(clicks["Apri"], 1);
    EXPECT_EQ(shownAt, Bar()->mapToGlobal(QPoint(0, Bar()->height())));
    // The shortcut still runs its item once, through the edit's key path.
    QTest::keyClick(Widget(box), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(clicks["Apri"], 2);
}

TEST_F(MenuBar, KeyboardSelectsMovesOpensAndCloses)
{
    const struct {
        const char* Name;
        std::function<void()> Drive;
        const char* Chosen; // nullptr: nothing chosen
    } cases[] = {
        {"F10 then Enter opens the first entry with its first item active",
         [&] {
             Key(Qt::Key_F10);
             PressOnPopup({Qt::Key_Return});
             Key(Qt::Key_Return);
         },
         "Apri"},
        {"Alt alone, Right, Down",
         [&] {
             Key(Qt::Key_Alt);
             Pump(20);
             Key(Qt::Key_Right);
             PressOnPopup({Qt::Key_Return});
             Key(Qt::Key_Down);
         },
         "Copia"},
        {"Alt+F opens its entry",
         [&] {
             PressOnPopup({Qt::Key_Down, Qt::Key_Return});
             Key(Qt::Key_F, Qt::AltModifier);
         },
         "Chiudi"},
        {"Right in a drop-down moves to the next one",
         [&] {
             PressOnPopup({Qt::Key_Right});
             PressOnPopup({Qt::Key_Return}, nullptr, 200);
             Key(Qt::Key_F, Qt::AltModifier);
         },
         "Copia"},
        {"Escape leaves the bar",
         [&] {
             Key(Qt::Key_F10);
             Key(Qt::Key_Escape);
         },
         nullptr},
        {"Escape in a drop-down goes back to the bar, a second one leaves it",
         [&] {
             PressOnPopup({Qt::Key_Escape});
             Key(Qt::Key_F, Qt::AltModifier);
             Key(Qt::Key_Escape);
         },
         nullptr},
    };
    for (const auto& c : cases) {
        clicks.clear();
        box->SetText("");
        c.Drive();
        Pump(20);
        for (const char* item : {"Apri", "Chiudi", "Copia"})
            EXPECT_EQ(clicks[item], c.Chosen && std::string(item) == c.Chosen ? 1 : 0) << c.Name << ": " << item;
        // The bar no longer has the keyboard: typing reaches the edit.
        Key(Qt::Key_X);
        EXPECT_EQ(box->Text(), "x") << c.Name;
    }
}

TEST_F(MenuBar, ItemsChangedAtRunTimeChangeTheBar)
{
    TMenuItem* view = NewSubMenu("&Vista", 0, "", {NewItem("&Zoom", 0, false, true, Count("Zoom"), 0, "")});
    menu->Items()->Add(view);
    file->SetCaption("&Archivio");
    Pump(20);
    PressOnPopup({Qt::Key_Return});
    Key(Qt::Key_V, Qt::AltModifier);
    Pump(20);
    EXPECT_EQ(clicks["Zoom"], 1);
    PressOnPopup({Qt::Key_Return});
    Key(Qt::Key_A, Qt::AltModifier);
    Pump(20);
    EXPECT_EQ(clicks["Apri"], 1);
    // A hidden entry leaves the bar, and its accelerator with it.
    view->SetVisible(false);
    Pump(20);
    EXPECT_FALSE(MenuBarHasAccelerator(form->Handle(), 'v'));
    EXPECT_TRUE(MenuBarHasAccelerator(form->Handle(), 'm'));
    // Taking the menu away gives the room back to the client area.
    form->Menu = nullptr;
    EXPECT_EQ(form->ClientHeight(), 300);
    EXPECT_EQ(GetMenuBarHeight(form->Handle()), 0);
}

TEST_F(MenuBar, OwnerDrawnEntriesAreMeasuredAndDrawnByTheirItems)
{
    int measures = 0;
    for (TMenuItem* item : {file, edit}) {
        item->OnMeasureItem = [&](TObject*, TCanvas*, int& width, int& height) {
            ++measures;
            width = 50;
            height = 24;
        };
        item->OnAdvancedDrawItem = [](TObject*, TCanvas* canvas, TRect rect, TOwnerDrawState state) {
            canvas->Brush()->SetColor(state.Contains(odSelected) ? clRed : clLime);
            canvas->FillRect(rect);
        };
    }
    menu->SetOwnerDraw(true);
    Pump(20);
    EXPECT_GE(measures, 2);
    EXPECT_EQ(GetMenuBarHeight(form->Handle()), 24);
    EXPECT_EQ(form->ClientHeight(), 300 - 24);
    Bar()->repaint();
    const QImage image = Widget(form)->grab().toImage();
    EXPECT_EQ(image.pixelColor(25, 12), QColor(0, 255, 0));
    EXPECT_EQ(image.pixelColor(75, 12), QColor(0, 255, 0));
    QColor selected;
    PressOnPopup({Qt::Key_Escape}, [&](QMenu*) { selected = Bar()->grab().toImage().pixelColor(25, 12); });
    QTest::mouseClick(Bar(), Qt::LeftButton, {}, QPoint(25, 12));
    EXPECT_EQ(selected, QColor(255, 0, 0));
}

// A form built in code with a client height, a main menu and, for one case, a window made while
// it is built.
class TFormWithMenu : public TForm {
    TESS_CLASS(TFormWithMenu, TForm)
public:
    TFormWithMenu(TComponent* AOwner, bool handleEarly) : TForm(AOwner)
    {
        SetClientWidth(300);
        SetClientHeight(200);
        if (handleEarly)
            HandleNeeded();
        auto* menu = new TMainMenu(this);
        menu->Items()->Add(NewSubMenu("&File", 0, "", {NewItem("&Esci", 0, false, true, nullptr, 0, "")}));
        Menu = menu;
    }
};

TEST(MenuBarForms, AClientHeightSetWhileBuildingIsKept)
{
    for (bool handleEarly : {false, true}) {
        auto* form = TForm::Create<TFormWithMenu>(nullptr, handleEarly);
        ShowAndActivate(form);
        EXPECT_EQ(form->ClientHeight(), 200) << handleEarly;
        EXPECT_EQ(form->Height(), 200 + GetMenuBarHeight(form->Handle())) << handleEarly;
        EXPECT_EQ(Widget(form)->height(), form->Height()) << handleEarly;
        TComponent::Free(form);
    }
}

TEST_F(MenuBar, ACommandMayFreeTheFormWithItsBar)
{
    file->Items(1)->OnClick = [this](TObject*) {
        TComponent::Free(form);
        form = nullptr;
    };
    PressOnPopup({Qt::Key_Down, Qt::Key_Down, Qt::Key_Return});
    QTest::mouseClick(Bar(), Qt::LeftButton, {}, QPoint(8, 9));
    EXPECT_TRUE(PumpUntil([this] { return form == nullptr; }, 2000));
}

TEST_F(MenuBar, ADisabledShortCutLetsTheKeyReachTheEdit)
{
    int keyDowns = 0;
    box->OnKeyDown = [&](TObject*, WORD& key, TShiftState) {
        if (key == 'O')
            ++keyDowns;
    };
    QTest::keyClick(Widget(box), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(clicks["Apri"], 1);
    EXPECT_EQ(keyDowns, 0);
    file->Items(0)->SetEnabled(false);
    QTest::keyClick(Widget(box), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(clicks["Apri"], 1);
    EXPECT_EQ(keyDowns, 1);
}

TEST_F(PopupMenus, ItemsFreedWhileTheMenuIsOpenAreIgnored)
{
    ShowAndActivate(form);
    // The first entry goes while the menu shows it; choosing it then runs nothing.
    PressOnPopup({Qt::Key_Down, Qt::Key_Return}, [this](QMenu*) {
        TComponent::Free(open);
        open = nullptr;
    });
    popup->Popup(150, 150);
    EXPECT_EQ(openClicks, 0);
    EXPECT_EQ(popup->Items()->Count(), 5);
    // An item whose OnClick frees its own popup menu.
    save->OnClick = [this](TObject*) {
        TComponent::Free(popup);
        popup = nullptr;
    };
    PressOnPopup({Qt::Key_Down, Qt::Key_Return});
    popup->Popup(150, 150);
    EXPECT_EQ(popup, nullptr);
}

TEST_F(PopupMenus, AnItemAddedTwiceRaises)
{
    auto* other = new TPopupMenu(form);
    EXPECT_THROW(other->Items()->Add(open), EMenuError);
}

TEST_F(PopupMenus, CopyingASubMenuKeepsCaptionsTagsAndHandlers)
{
    TMenuItem* source = NewSubMenu("Origine", 0, "", {});
    int hits = 0;
    for (int i = 0; i < 3; ++i) {
        TMenuItem* item = NewItem("Voce " + std::to_string(i), 0, false, true, [&hits](TObject*) { ++hits; }, 0, "");
        item->Tag = 10 + i;
        source->Add(item);
    }
    TMenuItem* copy = NewSubMenu("Copia", 0, "", {});
    for (int i = 0; i < source->Count(); ++i) {
        TMenuItem* original = source->Items(i);
        auto* item = new TMenuItem(form);
        item->SetCaption(original->Caption());
        item->Tag = original->Tag;
        item->OnClick = original->OnClick;
        copy->Add(item);
    }
    ASSERT_EQ(copy->Count(), 3);
    EXPECT_EQ(copy->Items(2)->Caption(), "Voce 2");
    EXPECT_EQ(copy->Items(1)->Tag, 11);
    copy->Items(0)->Click();
    EXPECT_EQ(hits, 1);
    while (copy->Count() > 0)
        TComponent::Free(copy->Items(copy->Count() - 1));
    EXPECT_EQ(copy->Count(), 0);
    EXPECT_EQ(GetMenuItemCount(copy->Handle()), 0);
    TComponent::Free(copy);
    TComponent::Free(source);
}

// A window that answers the menu messages and keeps what it saw.
class TMenuOwner : public TCustomControl {
    TESS_CLASS(TMenuOwner, TCustomControl)
public:
    explicit TMenuOwner(TComponent* AOwner) : TCustomControl(AOwner) {}
    std::vector<UINT> Seen;
    int Measures = 0;
    std::vector<std::pair<UINT, UINT>> Draws; // item, state
    LRESULT MenuCharAnswer = 0;
    UINT Command = 0;
    std::function<void(HMENU)> OnInit;
    std::pair<WPARAM, LPARAM> LastSelect{0, 1};
    void WndProc(TMessage& Message) override
    {
        switch (Message.Msg) {
        case WM_ENTERMENULOOP:
        case WM_EXITMENULOOP:
        case WM_INITMENUPOPUP:
        case WM_MENUSELECT:
        case WM_MENUCHAR:
        case WM_COMMAND:
            Seen.push_back(Message.Msg);
            break;
        default:
            break;
        }
        if (Message.Msg == WM_MENUSELECT)
            LastSelect = {Message.WParam, Message.LParam};
        if (Message.Msg == WM_INITMENUPOPUP && OnInit)
            OnInit(reinterpret_cast<HMENU>(Message.WParam));
        if (Message.Msg == WM_MEASUREITEM) {
            auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(Message.LParam);
            measure->itemWidth = 120;
            measure->itemHeight = 20;
            ++Measures;
            Message.Result = TRUE;
            return;
        }
        if (Message.Msg == WM_DRAWITEM) {
            auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam);
            Draws.emplace_back(draw->itemID, draw->itemState);
            HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
            FillRect(draw->hDC, &draw->rcItem, red);
            DeleteObject(red);
            Message.Result = TRUE;
            return;
        }
        if (Message.Msg == WM_MENUCHAR) {
            Message.Result = MenuCharAnswer;
            return;
        }
        if (Message.Msg == WM_COMMAND)
            Command = LOWORD(Message.WParam);
        TCustomControl::WndProc(Message);
    }
};

class MenuTracking : public testing::Test {
protected:
    void SetUp() override
    {
        form = TForm::Create<TForm>(nullptr);
        form->SetBounds(100, 100, 300, 200);
        owner = new TMenuOwner(form);
        owner->SetParent(form);
        menu = CreatePopupMenu();
        for (UINT i = 0; i < 3; ++i)
            AppendMenuData(menu, MF_OWNERDRAW, 300 + i, 1000 + i);
        ShowAndActivate(form);
    }
    void TearDown() override
    {
        DestroyMenu(menu);
        TComponent::Free(form);
    }
    BOOL Track(UINT flags = 0) { return TrackPopupMenu(menu, flags, 150, 150, 0, owner->Handle(), nullptr); }

    TForm* form = nullptr;
    TMenuOwner* owner = nullptr;
    HMENU menu = nullptr;
};

TEST_F(MenuTracking, OwnerDrawnEntriesAreMeasuredOnceAndDrawnWithTheirState)
{
    QImage grab;
    PressOnPopup({Qt::Key_Down}, nullptr);
    QTimer::singleShot(150, [&] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            grab = popup->grab().toImage();
            QTest::keyClick(popup, Qt::Key_Escape);
        }
    });
    Track();
    EXPECT_EQ(owner->Measures, 3);
    EXPECT_GE(owner->Draws.size(), 3u);
    bool selectedFirst = false;
    for (const auto& [item, state] : owner->Draws)
        if (item == 300 && (state & ODS_SELECTED))
            selectedFirst = true;
    EXPECT_TRUE(selectedFirst);
    ASSERT_FALSE(grab.isNull());
    EXPECT_EQ(grab.pixelColor(grab.width() / 2, grab.height() / 2), QColor(255, 0, 0));
    ASSERT_GE(owner->Seen.size(), 3u);
    EXPECT_EQ(owner->Seen.front(), WM_ENTERMENULOOP);
    EXPECT_EQ(owner->Seen[1], WM_INITMENUPOPUP);
    EXPECT_EQ(owner->Seen.back(), WM_EXITMENULOOP);
    EXPECT_EQ(owner->Seen[owner->Seen.size() - 2], WM_MENUSELECT);
    EXPECT_EQ(HIWORD(owner->LastSelect.first), 0xFFFF) << "the closing selection";
    EXPECT_EQ(owner->LastSelect.second, 0);
}

TEST_F(MenuTracking, MenuCharAnswersExecuteSelectAndClose)
{
    owner->MenuCharAnswer = MAKELRESULT(1, MNC_EXECUTE);
    PressOnPopup({Qt::Key_X});
    EXPECT_EQ(Track(TPM_RETURNCMD), 301);
    owner->MenuCharAnswer = MAKELRESULT(2, MNC_SELECT);
    PressOnPopup({Qt::Key_X, Qt::Key_Return});
    Track();
    EXPECT_EQ(owner->Command, 302u);
    owner->MenuCharAnswer = MAKELRESULT(0, MNC_CLOSE);
    owner->Command = 0;
    PressOnPopup({Qt::Key_X});
    EXPECT_EQ(Track(TPM_RETURNCMD), 0);
    EXPECT_EQ(owner->Command, 0u);
}

TEST_F(MenuTracking, AnEntryAddedOnInitShowsInTheSameOpening)
{
    owner->OnInit = [this](HMENU opened) {
        if (opened == menu && GetMenuItemCount(menu) == 3)
            AppendMenuA(menu, MF_STRING, 399, "Aggiunta");
    };
    int count = 0;
    PressOnPopup({Qt::Key_Escape}, [&](QMenu* qmenu) { count = static_cast<int>(qmenu->actions().size()); });
    Track();
    EXPECT_EQ(count, 4);
}

TEST_F(MenuTracking, AMenuDestroyedAsItOpensClosesCleanly)
{
    owner->OnInit = [this](HMENU opened) {
        if (opened == menu)
            DestroyMenu(menu);
    };
    PressOnPopup({Qt::Key_Down, Qt::Key_Return, Qt::Key_Escape});
    EXPECT_EQ(Track(TPM_RETURNCMD), 0);
    EXPECT_FALSE(IsMenu(menu));
    EXPECT_EQ(owner->Seen.back(), WM_EXITMENULOOP);
}

} // namespace
