// The speed bar's customise state: buttons dragged on, off and back from the setup window, the
// bar resized by whole rows, and the setup window's life.

#include "ButtonsTestSupport.h"
#include "ControlsTestSupport.h"
#include "SpeedBarTestSupport.h"

#include "platform/gui/Application.h"
#include "platform/gui/Grab.h"
#include "platform/gui/InputTranslation.h"
#include "platform/gui/Menus.h"

#include <gtest/gtest.h>

namespace SpeedBarCustomizeTest {

class SpeedBarCustomizeFixture : public SpeedBarFixture {
protected:
    void SetUp() override
    {
        SpeedBarFixture::SetUp();
        Bar->AddSection("Documenti");
        Bar->AddSection("Stampa");
        Nuovo = AddItem(0, "Nuovo", 3, 3);
        Apri = AddItem(0, "Apri", 27, 3);
        Salva = AddItem(0, "Salva", 51, 3, false);
        AddItem(1, "Stampa", 3, 3, false);
        Bar->OnCustomize = [this](TObject*) { ++Customized; };
        ShowForm();
    }
    void TearDown() override
    {
        SetPointerLocator({});
        SpeedBarFixture::TearDown();
    }
    TSpeedbarSetupWindow* Open()
    {
        Bar->Customize(0);
        PumpFor(10);
        return SetupWindow();
    }
    // The point of the buttons list's window (its frame included, as the mouse input takes it)
    // where releasing drops the dragged button's top-left corner on the bar's client point (X, Y).
    TPoint ListPointFor(TSpeedbarSetupWindow* Window, int X, int Y) const
    {
        const TPoint screen = Bar->ClientToScreen(Point(X + Bar->BtnWidth(), Y + Bar->BtnHeight()));
        const TPoint client = Window->ButtonsList->ScreenToClient(screen);
        const TRect frame = Window->ButtonsList->ClientRectInWindow();
        return Point(client.X + frame.Left, client.Y + frame.Top);
    }
    TSpeedItem* Nuovo = nullptr;
    TSpeedItem* Apri = nullptr;
    TSpeedItem* Salva = nullptr;
    int Customized = 0;
};

TEST_F(SpeedBarCustomizeFixture, TheSetupWindowPutsTheBarInTheCustomiseStateUntilItCloses)
{
    TSpeedbarSetupWindow* window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(Bar->Editing());
    EXPECT_EQ(Bar->EditWindow(), window->Handle());
    EXPECT_TRUE(Nuovo->Editing());
    EXPECT_EQ(window->ClientWidth(), 421);
    EXPECT_EQ(window->ClientHeight(), 262);
    EXPECT_EQ(window->Caption(), "Customize Speedbar");
    EXPECT_EQ(window->CategoriesLabel->Caption(), "&Categories:");
    EXPECT_EQ(window->ButtonsLabel->Caption(), "&Available buttons:");
    EXPECT_EQ(window->CloseBtn->Caption(), "OK");
    EXPECT_FALSE(window->CloseBtn->Default());
    EXPECT_FALSE(window->HelpBtn->Visible());
    EXPECT_EQ(window->SectionList->RowCount(), 2);
    EXPECT_EQ(window->ButtonsList->RowCount(), 3);
    EXPECT_EQ(window->ButtonsList->DefaultRowHeight(), 25);

    // Asking again brings up the same window; selecting a section lists its buttons.
    Bar->Customize(7);
    EXPECT_EQ(SetupWindow(), window);
    EXPECT_TRUE(window->HelpBtn->Visible());
    window->UpdateData(1);
    EXPECT_EQ(window->CurrentSection(), 1);
    EXPECT_EQ(window->ButtonsList->RowCount(), 1);

    ClickOn(window->CloseBtn);
    PumpFor(10);
    EXPECT_EQ(Customized, 1);
    EXPECT_FALSE(Bar->Editing());
    EXPECT_FALSE(Nuovo->Editing());
    EXPECT_EQ(SetupWindow(), nullptr);
    PumpFor(10);
    EXPECT_EQ(Customized, 1);
}

TEST_F(SpeedBarCustomizeFixture, AButtonDraggedOffTheBarIsHiddenAndComesBackFromTheList)
{
    TSpeedbarSetupWindow* window = Open();
    ASSERT_NE(window, nullptr);
    TExSpeedButton* button = Apri->Button();
    PressOn(button, 5, 5);
    MoveOn(button, 40, 10);
    MoveOn(button, 40, 200);
    ReleaseOn(button, 40, 200);
    EXPECT_FALSE(Apri->Visible());
    EXPECT_FALSE(button->Visible());

    // Its row (the second) now starts a drag from the list; a press beside the picture does not.
    const int rowY = 1 * window->ButtonsList->DefaultRowHeight() + 10;
    PressOn(window->ButtonsList, Bar->BtnWidth() + 8, rowY);
    EXPECT_EQ(window->DragItem(), nullptr);
    ReleaseOn(window->ButtonsList, Bar->BtnWidth() + 8, rowY);
    PressOn(window->ButtonsList, 10, rowY);
    EXPECT_EQ(window->DragItem(), Apri);
    ASSERT_NE(window->DragImage(), nullptr);

    SetPointerLocator([this](TPoint, bool) -> TControl* { return Bar; });
    const TPoint target = ListPointFor(window, 80, 5);
    MoveOn(window->ButtonsList, target.X, target.Y);
    EXPECT_TRUE(DragImageShown(window->DragImage()));
    ReleaseOn(window->ButtonsList, target.X, target.Y);
    EXPECT_EQ(window->DragItem(), nullptr);
    EXPECT_EQ(window->DragImage(), nullptr);
    EXPECT_TRUE(Apri->Visible());
    EXPECT_EQ(Apri->Left(), 83);
    EXPECT_EQ(Apri->Top(), 3);

    // A button already on the bar is not dragged from the list.
    PressOn(window->ButtonsList, 10, 10);
    EXPECT_EQ(window->DragItem(), nullptr);
    ReleaseOn(window->ButtonsList, 10, 10);

    // On the bar, a button dragged to another place snaps there.
    PressOn(Nuovo->Button(), 5, 5);
    MoveOn(Nuovo->Button(), 60, 20);
    ReleaseOn(Nuovo->Button(), 60, 20);
    EXPECT_TRUE(Nuovo->Visible());
    EXPECT_EQ(Nuovo->Left(), 35);
    EXPECT_EQ(Nuovo->Top(), 3);
    window->Close();
    PumpFor(10);
}

TEST_F(SpeedBarCustomizeFixture, TheBarGrowsByWholeRowsFromItsInnerEdge)
{
    Bar->SetOptions(Bar->Options() + TSpeedbarOptions{sbAllowResize});
    Bar->SetBtnHeight(24);
    Bar->SetBtnOffsetHorz(4);
    Bar->SetBtnOffsetVert(4);
    ASSERT_EQ(Bar->Height(), 30);
    // Outside the customise state there is no hot zone.
    EXPECT_FALSE(Bar->CheckResize({}, 50, 28));
    TSpeedbarSetupWindow* window = Open();
    ASSERT_NE(window, nullptr);
    const struct {
        int X, Y;
        bool Hot;
    } zone[] = {{50, 26, false}, {50, 27, true}, {50, 34, true}, {50, 35, false}, {0, 28, false}, {400, 28, true}};
    for (const auto& c : zone)
        EXPECT_EQ(Bar->CheckResize({}, c.X, c.Y), c.Hot) << c.X << "," << c.Y;

    PressOn(Bar, 50, 28);
    EXPECT_TRUE(Bar->ResizingBar());
    MoveOn(Bar, 50, 60);
    EXPECT_EQ(Bar->Height(), 56);
    MoveOn(Bar, 50, 12);
    EXPECT_EQ(Bar->Height(), 32);
    MoveOn(Bar, 50, 1000); // outside the parent: nothing
    EXPECT_EQ(Bar->Height(), 32);
    ReleaseOn(Bar, 50, 12);
    EXPECT_FALSE(Bar->ResizingBar());
    EXPECT_FALSE(Bar->DraggingBar());

    // A bottom bar's hot zone is its top edge.
    Bar->SetAlign(alBottom);
    EXPECT_TRUE(Bar->CheckResize({}, 50, -3));
    EXPECT_TRUE(Bar->CheckResize({}, 50, 4));
    EXPECT_FALSE(Bar->CheckResize({}, 50, 5));
    window->Close();
    PumpFor(10);
}

TEST_F(SpeedBarCustomizeFixture, DestroyingTheBarClosesItsSetupWindowFirst)
{
    int sectionsWhenCustomized = -1;
    Bar->OnCustomize = [&](TObject* Sender) {
        sectionsWhenCustomized = static_cast<TSpeedBar*>(Sender)->GetSectionCount();
    };
    ASSERT_NE(Open(), nullptr);
    TComponent::Free(Bar);
    Bar = nullptr;
    EXPECT_EQ(sectionsWhenCustomized, 2);
    PumpFor(10);
    EXPECT_EQ(SetupWindow(), nullptr);
}

TEST_F(SpeedBarCustomizeFixture, FreeingTheDraggedItemOrClosingTheWindowMidDragIsSafe)
{
    TSpeedbarSetupWindow* window = Open();
    ASSERT_NE(window, nullptr);
    const int rowY = 2 * window->ButtonsList->DefaultRowHeight() + 10;
    PressOn(window->ButtonsList, 10, rowY);
    ASSERT_EQ(window->DragItem(), Salva);
    MoveOn(window->ButtonsList, 60, 60);
    TComponent::Free(Salva);
    Salva = nullptr;
    EXPECT_EQ(window->DragItem(), nullptr);
    EXPECT_EQ(window->DragImage(), nullptr);
    MoveOn(window->ButtonsList, 70, 70);
    ReleaseOn(window->ButtonsList, 70, 70);
    EXPECT_EQ(window->ButtonsList->RowCount(), 2);

    // Closing while a drag image is on the screen frees it with the window.
    Apri->SetVisible(false);
    window->UpdateData(0);
    PressOn(window->ButtonsList, 10, window->ButtonsList->DefaultRowHeight() + 10);
    MoveOn(window->ButtonsList, 60, 60);
    EXPECT_TRUE(DragImageShown(window->DragImage()));
    window->Close();
    PumpFor(10);
    EXPECT_EQ(SetupWindow(), nullptr);
    EXPECT_EQ(Customized, 1);

    // A button dragged on the bar when the window goes.
    Open();
    PressOn(Nuovo->Button(), 5, 5);
    MoveOn(Nuovo->Button(), 40, 10);
    SetupWindow()->Close();
    PumpFor(10);
    ReleaseOn(Nuovo->Button(), 40, 10);
    EXPECT_EQ(Customized, 2);
}

// A tool bar as the program's windows have them, and its setup window, for a person to look at.
TEST_F(SpeedBarCustomizeFixture, DemonstrationPictures)
{
    Form->SetCaption("Barra dei pulsanti");
    Bar->SetOptions(Bar->Options() + TSpeedbarOptions{sbFlatBtns});
    Bar->SetBtnOffsetHorz(4);
    Bar->SetBtnOffsetVert(4);
    Bar->SetBtnWidth(55);
    Bar->SetBtnHeight(40);
    Bar->SetBoundLines({blTop, blBottom});
    TBitmap wallpaper;
    wallpaper.SetSize(16, 16);
    wallpaper.Canvas()->Brush()->SetColor(static_cast<TColor>(0xE8E0D8));
    wallpaper.Canvas()->FillRect(Rect(0, 0, 16, 16));
    wallpaper.Canvas()->Brush()->SetColor(static_cast<TColor>(0xD8CCC0));
    wallpaper.Canvas()->FillRect(Rect(0, 0, 8, 8));
    wallpaper.Canvas()->FillRect(Rect(8, 8, 16, 16));
    TPicture picture;
    picture.SetGraphic(&wallpaper);
    Bar->SetWallpaper(&picture);
    const std::vector<TColor> colours{clRed, clGreen, clBlue, clTeal, clPurple};
    const std::vector<std::string> captions{"Nuovo", "Apri", "Salva", "Stampa"};
    const std::vector<TSpeedItem*> items{Nuovo, Apri, Salva, Bar->SearchItem("Stampa")};
    for (std::size_t i = 0; i < items.size(); ++i) {
        auto glyph = MakeGlyph(1, 16, {colours[i]});
        items[i]->SetGlyph(glyph.get());
        items[i]->SetBtnCaption(captions[i]);
        items[i]->SetHint(captions[i] + "|" + captions[i] + " il documento");
        items[i]->SetLeft(4 + 55 * static_cast<int>(i) + (i >= 3 ? 11 : 0));
        items[i]->SetTop(4);
        items[i]->SetVisible(true);
    }
    auto* menu = NewPopupMenu(Form, "MenuInvia", paLeft, true,
                              {NewItem("Per posta", 0, false, true, nullptr, 0, "PerPosta"),
                               NewItem("In PDF", 0, false, true, nullptr, 0, "InPdf")});
    TSpeedItem* send = AddItem(1, "Invia", 4 + 55 * 4 + 11, 4);
    auto glyph = MakeGlyph(1, 16, {colours[4]});
    send->SetGlyph(glyph.get());
    send->SetBtnCaption("Invia");
    send->SetDropDownMenu(menu);
    Bar->SetHeight(2 * 4 + 40 + 4);
    PumpFor(20);
    const std::string folder = ButtonsPictureDir();
    EXPECT_TRUE(GrabToPng(Form, folder + "/controls-speedbar.png"));

    TSpeedbarSetupWindow* window = Open();
    ASSERT_NE(window, nullptr);
    PumpFor(20);
    EXPECT_TRUE(GrabToPng(window, folder + "/controls-speedbar-setup.png"));
    window->Close();
    PumpFor(10);
}

} // namespace SpeedBarCustomizeTest
