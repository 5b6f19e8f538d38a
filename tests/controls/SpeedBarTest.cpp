// The speed bar's grid, orientation, sections, items and dragging to another edge.

#include "ButtonsTestSupport.h"
#include "SpeedBarTestSupport.h"

#include "controls/ExConst.h"
#include "platform/gui/Panel.h"
#include "platform/gui/Screen.h"
#include "platform/rtl/TypInfo.h"

#include <gtest/gtest.h>

#include <utility>

namespace SpeedBarTest {

TEST_F(SpeedBarFixture, ANewBarHasTheDefaultGridAndFlatButtonsLowerTheOffset)
{
    EXPECT_EQ(Bar->BtnOffsetHorz(), 3);
    EXPECT_EQ(Bar->BtnOffsetVert(), 3);
    EXPECT_EQ(Bar->Height(), 29);
    EXPECT_EQ(Bar->BtnWidth(), 24);
    EXPECT_EQ(Bar->BtnHeight(), 23);
    EXPECT_EQ(Bar->GridStepX(), 8);
    EXPECT_EQ(Bar->GridStepY(), 23);
    EXPECT_EQ(Bar->Align(), alTop);
    EXPECT_EQ(Bar->Options(), (TSpeedbarOptions{sbAllowDrag, sbGrayedBtns}));
    EXPECT_FALSE(Bar->ParentShowHint());
    EXPECT_TRUE(Bar->ShowHint());
    EXPECT_EQ(Bar->MinButtonsOffset(), 3);
    Bar->SetOptions(Bar->Options() + TSpeedbarOptions{sbFlatBtns});
    EXPECT_EQ(Bar->MinButtonsOffset(), 1);
    Bar->SetBtnOffsetHorz(0);
    EXPECT_EQ(Bar->BtnOffsetHorz(), 1);
}

TEST_F(SpeedBarFixture, TheGridStepDividesTheButtonWidth)
{
    const struct {
        int Width;
        int Step;
    } cases[] = {{24, 8}, {55, 11}, {22, 11}, {27, 9}, {7, 1}, {21, 7}, {1, 1}};
    for (const auto& c : cases) {
        Bar->SetBtnWidth(c.Width);
        EXPECT_EQ(Bar->GridStepX(), c.Step) << c.Width;
        EXPECT_EQ(Bar->GridStepY(), Bar->BtnHeight()) << c.Width;
    }
    // A size of nothing would divide by zero in the grid and in resizing: it is taken as 1.
    Bar->SetBtnWidth(0);
    EXPECT_EQ(Bar->BtnWidth(), 1);
    EXPECT_EQ(Bar->GridStepX(), 1);
    Bar->SetBtnHeight(-5);
    EXPECT_EQ(Bar->BtnHeight(), 1);
}

TEST_F(SpeedBarFixture, ADroppedItemSnapsToTheNearestPlaceAlongTheBarAndTruncatesAcross)
{
    Bar->SetHeight(80);
    Bar->AddSection("Tessellarium");
    TSpeedItem* item = AddItem(0, "Nuovo", 3, 3);
    // Offsets 3, steps 8 x 23: x rounds (halves to even), y truncates.
    const struct {
        int X, Y, Left, Top;
    } cases[] = {{7, 3, 3, 3},   {15, 3, 19, 3},  {23, 3, 19, 3},  {16, 3, 19, 3},
                 {14, 25, 11, 3}, {30, 26, 27, 26}, {3, 48, 3, 26}, {39, 49, 35, 49}, {43, 49, 43, 49}};
    for (const auto& c : cases) {
        EXPECT_TRUE(Bar->AcceptDropItem(item, c.X, c.Y)) << c.X << "," << c.Y;
        EXPECT_EQ(item->Left(), c.Left) << c.X << "," << c.Y;
        EXPECT_EQ(item->Top(), c.Top) << c.X << "," << c.Y;
        EXPECT_TRUE(item->Visible());
    }
    // A snapped place outside the client area hides the item.
    EXPECT_FALSE(Bar->AcceptDropItem(item, 3, 110));
    EXPECT_FALSE(item->Visible());
    EXPECT_FALSE(item->Button()->Visible());

    // A vertical bar truncates across (x) and rounds along (y); its steps are 23 x 8.
    Bar->SetAlign(alLeft);
    Bar->SetWidth(80);
    EXPECT_TRUE(Bar->AcceptDropItem(item, 30, 15));
    EXPECT_EQ(item->Left(), 26);
    EXPECT_EQ(item->Top(), 19);
    EXPECT_TRUE(Bar->AcceptDropItem(item, 10, 7));
    EXPECT_EQ(item->Left(), 3);
    EXPECT_EQ(item->Top(), 3);
}

TEST_F(SpeedBarFixture, DockingLeftTurnsSizesStepsOffsetsAndButtonPlaces)
{
    Bar->SetBtnWidth(30);
    Bar->SetBtnOffsetHorz(5);
    Bar->AddSection("Tessellarium");
    TSpeedItem* first = AddItem(0, "Nuovo", 5, 3);
    TSpeedItem* second = AddItem(0, "Apri", 35, 3);
    Bar->SetAlign(alLeft);
    EXPECT_EQ(Bar->Orientation(), boVertical);
    EXPECT_EQ(Bar->BtnWidth(), 23);
    EXPECT_EQ(Bar->BtnHeight(), 30);
    EXPECT_EQ(Bar->GridStepX(), 23);
    EXPECT_EQ(Bar->GridStepY(), 10);
    EXPECT_EQ(Bar->BtnOffsetHorz(), 3);
    EXPECT_EQ(Bar->BtnOffsetVert(), 5);
    EXPECT_EQ(first->Left(), 3);
    EXPECT_EQ(first->Top(), 5);
    EXPECT_EQ(second->Left(), 3);
    EXPECT_EQ(second->Top(), 35);
    EXPECT_EQ(second->Button()->Width(), 23);
    EXPECT_EQ(second->Button()->Height(), 30);
    EXPECT_EQ(Bar->Width(), 29); // the thickness turns with the bar

    // The other vertical edge keeps everything; back to the top turns it again.
    Bar->SetAlign(alRight);
    EXPECT_EQ(Bar->BtnWidth(), 23);
    Bar->SetAlign(alBottom);
    EXPECT_EQ(Bar->BtnWidth(), 30);
    EXPECT_EQ(second->Left(), 35);
    EXPECT_EQ(second->Top(), 3);
}

TEST_F(SpeedBarFixture, AnAutomaticBarRefusesAFreeOrientationAndTheFreeAligns)
{
    const auto expectRefused = [](const std::function<void()>& change) {
        try {
            change();
            ADD_FAILURE() << "no error";
        } catch (const ESpeedbarError& e) {
            EXPECT_EQ(e.Message, "Cannot set this property value while Position is bpAuto");
        }
    };
    expectRefused([this] { Bar->SetOrientation(boVertical); });
    expectRefused([this] { Bar->SetAlign(alClient); });
    expectRefused([this] { Bar->SetAlign(alNone); });
    EXPECT_EQ(Bar->Align(), alTop);
    Bar->SetOrientation(boHorizontal); // no change, no error

    Bar->SetPosition(bpCustom);
    Bar->SetAlign(alClient);
    Bar->SetOrientation(boVertical);
    EXPECT_EQ(Bar->Orientation(), boVertical);
    EXPECT_EQ(Bar->BtnWidth(), 23);
}

TEST_F(SpeedBarFixture, SectionsGetUniqueCaptionsAndLeaveTheirItemsDetachedOrFreed)
{
    EXPECT_EQ(Bar->AddSection("Tessellarium"), 0);
    EXPECT_EQ(NewSpeedSection(Bar, "Tessellarium"), 1);
    EXPECT_EQ(Bar->AddSection("Tessellarium"), 2);
    EXPECT_EQ(Bar->GetSection(1)->Caption(), "Tessellarium (1)");
    EXPECT_EQ(Bar->GetSection(2)->Caption(), "Tessellarium (2)");
    EXPECT_EQ(Bar->SearchSection("Tessellarium (2)"), 2);
    EXPECT_EQ(Bar->SearchSection("tessellarium"), -1);
    try {
        Bar->GetSection(2)->SetCaption("Tessellarium");
        ADD_FAILURE() << "no error";
    } catch (const ESpeedbarError& e) {
        EXPECT_EQ(e.Message, "String list does not allow duplicates");
    }

    TSpeedItem* kept[3];
    for (int i = 0; i < 3; ++i)
        kept[i] = AddItem(1, "Stampa" + std::to_string(i), 3 + 24 * i, 3);
    AddItem(2, "Fattura", 3, 3);
    EXPECT_EQ(Bar->SearchItem("STAMPA1"), kept[1]);
    EXPECT_EQ(Bar->SearchItem("fattura"), Bar->Items(2, 0));
    EXPECT_EQ(Bar->Items(2, 0)->SectionName(), "Tessellarium (2)");

    TSpeedbarSection* section = Bar->GetSection(1);
    Bar->DeleteSection(1);
    EXPECT_EQ(section->Count(), 0);
    EXPECT_EQ(section->SpeedBar(), nullptr);
    for (TSpeedItem* item : kept) {
        EXPECT_EQ(item->SpeedBar(), nullptr);
        EXPECT_EQ(item->Button()->Parent(), nullptr);
        EXPECT_EQ(item->Section(), -1);
    }
    EXPECT_EQ(Bar->GetSectionCount(), 2);
    EXPECT_EQ(Bar->SearchItem("Stampa0"), nullptr);

    const int before = Form->ComponentCount();
    Bar->RemoveSection(1);
    EXPECT_EQ(Form->ComponentCount(), before - 2); // the section and its item
    EXPECT_EQ(Bar->SearchItem("Fattura"), nullptr);
    EXPECT_EQ(Bar->ItemsCount(1), 0);
    EXPECT_EQ(Bar->Items(5, 0), nullptr);
    EXPECT_EQ(Bar->NewItem(Form, 4, "Fuori"), nullptr);
    TComponent::Free(section);
}

TEST_F(SpeedBarFixture, AnItemJoinsTheSectionItsNameGivesAndMovesBetweenSections)
{
    Bar->AddSection("Documenti");
    Bar->AddSection("Stampa");
    auto* item = new TSpeedItem(Form);
    item->SetName("Anteprima");
    item->SetSectionName("Stampa");
    item->SetParentComponent(Bar);
    EXPECT_EQ(item->SpeedBar(), Bar);
    EXPECT_EQ(item->Section(), 1);
    EXPECT_EQ(item->Button()->Parent(), Bar);
    EXPECT_EQ(Bar->AddItem(0, item), 0);
    EXPECT_EQ(item->SectionName(), "Documenti");
    int section = -1, index = -1;
    EXPECT_TRUE(Bar->FindItem(item, section, index));
    EXPECT_EQ(section, 0);

    // A bar without sections gets one with an empty caption for an added item.
    auto* other = new TSpeedBar(Form);
    other->SetParent(Form);
    EXPECT_EQ(other->AddItem(3, item), 0);
    EXPECT_EQ(other->GetSection(0)->Caption(), "");
    EXPECT_FALSE(Bar->FindItem(item, section, index));
    EXPECT_EQ(item->SpeedBar(), other);
}

TEST_F(SpeedBarFixture, TheHintFollowsTheCaption)
{
    const struct {
        std::string OldCaption, OldHint, NewCaption, Hint;
    } cases[] = {
        {"", "", "Stampa", "Stampa|"},
        {"Stampa", "Stampa|Stampa il documento", "Anteprima", "Anteprima|Stampa il documento"},
        {"Stampa", "Stampa|Stampa il documento", "Anteprima|Mostra la pagina", "Anteprima|Mostra la pagina"},
        {"Stampa", "Stampa|Stampa il documento", "Anteprima|", "Anteprima|Stampa il documento"},
        {"Stampa", "Stampa", "Anteprima", "Anteprima|"},
        // A hint of its own (another short text) stays as it is.
        {"Stampa", "Invia|Manda per posta", "Anteprima", "Invia|Manda per posta"},
    };
    Bar->AddSection("Tessellarium");
    for (const auto& c : cases) {
        TSpeedItem* item = Bar->NewItem(Form, 0, "");
        item->SetHint("");
        item->SetCaption(c.OldCaption);
        item->SetHint(c.OldHint);
        item->SetCaption(c.NewCaption);
        EXPECT_EQ(item->Hint(), c.Hint) << c.OldHint << " + " << c.NewCaption;
        EXPECT_EQ(item->Caption(), c.NewCaption);
        TComponent::Free(item);
    }
    // Not owned by a control, the hint always follows.
    TSpeedItem loose(nullptr);
    loose.SetHint("Invia|Manda per posta");
    loose.SetCaption("Anteprima");
    EXPECT_EQ(loose.Hint(), "Anteprima|Manda per posta");
    // Renaming an item whose caption is its name renames the caption.
    TSpeedItem* named = Bar->NewItem(Form, 0, "Salva");
    named->SetName("Registra");
    EXPECT_EQ(named->Caption(), "Registra");
}

TEST_F(SpeedBarFixture, TheBarsVisibilityAndEnablingReachEveryButton)
{
    Bar->AddSection("Tessellarium");
    TSpeedItem* shown = AddItem(0, "Nuovo", 3, 3);
    TSpeedItem* hidden = AddItem(0, "Apri", 27, 3, false);
    TSpeedItem* disabled = AddItem(0, "Salva", 51, 3);
    disabled->SetEnabled(false);
    int visibleChanges = 0;
    Bar->OnVisibleChanged = [&](TObject* Sender) {
        EXPECT_EQ(Sender, Bar);
        ++visibleChanges;
    };
    ShowForm();
    EXPECT_TRUE(shown->Button()->Visible());
    EXPECT_EQ(shown->Button()->Parent(), Bar);
    EXPECT_FALSE(hidden->Button()->Visible());

    Bar->SetVisible(false);
    EXPECT_EQ(visibleChanges, 1);
    EXPECT_FALSE(shown->Button()->Visible());
    EXPECT_TRUE(shown->Visible());
    Bar->SetVisible(true);
    EXPECT_EQ(visibleChanges, 2);
    EXPECT_TRUE(shown->Button()->Visible());
    EXPECT_FALSE(hidden->Button()->Visible());

    Bar->SetEnabled(false);
    EXPECT_FALSE(shown->Button()->Enabled());
    Bar->SetEnabled(true);
    EXPECT_TRUE(shown->Button()->Enabled());
    EXPECT_FALSE(disabled->Button()->Enabled());
}

TEST_F(SpeedBarFixture, AnItemIsItsButton)
{
    Bar->AddSection("Tessellarium");
    TSpeedItem* item = AddItem(0, "Grassetto", 3, 3);
    auto glyph = MakeGlyph(2);
    item->SetGlyph(glyph.get());
    item->SetNumGlyphs(2);
    item->SetGroupIndex(4);
    item->SetAllowAllUp(true);
    item->SetTag(12);
    EXPECT_EQ(item->Button()->NumGlyphs(), 2);
    EXPECT_EQ(item->Glyph()->Width(), 32);
    EXPECT_EQ(item->Button()->Tag, 12);
    int clicks = 0;
    item->OnClick() = [&](TObject*) { ++clicks; };
    ShowForm();
    ClickOn(item->Button());
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(item->Down());
    item->ButtonClick();
    EXPECT_EQ(clicks, 2);
    EXPECT_FALSE(item->Down());
    item->SetDown(true);
    EXPECT_TRUE(item->Button()->Down());
}

TEST_F(SpeedBarFixture, ScalingTakesTheSizesAndOffsetsAndSnapsTheItems)
{
    Bar->SetBtnHeight(24);
    Bar->SetBtnOffsetHorz(4);
    Bar->SetBtnOffsetVert(4);
    Bar->AddSection("Tessellarium");
    TSpeedItem* first = AddItem(0, "Nuovo", 4, 4);
    TSpeedItem* second = AddItem(0, "Apri", 28, 4);
    Bar->ChangeScale(120, 96);
    EXPECT_EQ(Bar->BtnWidth(), 30);
    EXPECT_EQ(Bar->BtnHeight(), 30);
    EXPECT_EQ(Bar->BtnOffsetHorz(), 5);
    EXPECT_EQ(Bar->BtnOffsetVert(), 5);
    EXPECT_EQ(Bar->GridStepX(), 10);
    EXPECT_EQ(first->Left(), 5);
    EXPECT_EQ(first->Top(), 5);
    EXPECT_EQ(second->Left(), 35);
    EXPECT_EQ(second->Top(), 5);
    EXPECT_EQ(second->Button()->Width(), 30);
    EXPECT_TRUE(Bar->ScaleFlags().Empty());

    // While loading only the sizes given explicitly scale.
    auto* loading = new TSpeedBar(Form);
    loading->SetBtnWidth(40);
    loading->IncludeState(csLoading);
    loading->ChangeScale(120, 96);
    EXPECT_EQ(loading->BtnWidth(), 50);
    EXPECT_EQ(loading->BtnHeight(), 23);
    EXPECT_EQ(loading->BtnOffsetHorz(), 3);
}

TEST_F(SpeedBarFixture, ThePublishedPropertiesGoThroughTheBarsAndItemsRules)
{
    SetOrdProp(Bar, "BtnWidth", 55);
    EXPECT_EQ(Bar->GridStepX(), 11);
    EXPECT_EQ(GetOrdProp(Bar, "BtnOffsetVert"), 3);
    EXPECT_THROW(SetOrdProp(Bar, "Align", alClient), ESpeedbarError);
    SetOrdProp(Bar, "Align", alLeft);
    EXPECT_EQ(Bar->Orientation(), boVertical);
    EXPECT_EQ(GetEnumName(GetPropInfo(Bar, "Position")->PropType, Bar->Position()), "bpAuto");
    Bar->AddSection("Tessellarium");
    TSpeedItem* item = AddItem(0, "Stampa", 3, 3);
    SetStrProp(item, "Caption", "Anteprima");
    EXPECT_EQ(item->Hint(), "Anteprima|");
    SetOrdProp(item, "NumGlyphs", 3);
    EXPECT_EQ(item->Button()->NumGlyphs(), 3);
    EXPECT_EQ(GetOrdProp(item, "Visible"), 1);
}

TEST_F(SpeedBarFixture, BoundLinesAndATiledOrStretchedWallpaperAreDrawnInsideTheBevel)
{
    Bar->SetHeight(40);
    TBitmap tile;
    tile.SetSize(10, 10);
    tile.Canvas()->Brush()->SetColor(clLime);
    tile.Canvas()->FillRect(Rect(0, 0, 10, 10));
    tile.Canvas()->Brush()->SetColor(clBlue);
    tile.Canvas()->FillRect(Rect(0, 0, 5, 10));
    TPicture picture;
    picture.SetGraphic(&tile);
    Bar->SetWallpaper(&picture);
    Bar->SetBoundLines({blTop, blLeft, blBottom, blRight});
    ShowForm();
    const TColor Shadow = static_cast<TColor>(ColorToRGB(clBtnShadow));
    const TColor Highlight = static_cast<TColor>(ColorToRGB(clBtnHighlight));
    const int right = Bar->ClientWidth() - 1; // inside the one-pixel raised bevel
    const int bottom = Bar->ClientHeight() - 1;
    {
        TControlPicture picture(Bar);
        EXPECT_EQ(picture.At(20, 1), Shadow);
        EXPECT_EQ(picture.At(20, 2), Highlight);
        EXPECT_EQ(picture.At(1, 20), Shadow);
        EXPECT_EQ(picture.At(2, 20), Highlight);
        EXPECT_EQ(picture.At(20, bottom - 2), Shadow);
        EXPECT_EQ(picture.At(20, bottom - 1), Highlight);
        EXPECT_EQ(picture.At(right - 2, 20), Shadow);
        EXPECT_EQ(picture.At(right - 1, 20), Highlight);
        // Tiles from the inner corner (1, 1): blue columns 1-5, lime 6-10, blue again from 11.
        EXPECT_EQ(picture.At(4, 20), clBlue);
        EXPECT_EQ(picture.At(8, 20), clLime);
        EXPECT_EQ(picture.At(13, 20), clBlue);
        EXPECT_EQ(picture.At(0, 20), Highlight); // the bevel stays
    }
    Bar->SetBoundLines({});
    Bar->SetOptions(Bar->Options() + TSpeedbarOptions{sbStretchBitmap});
    PumpFor(10);
    TControlPicture stretched(Bar);
    EXPECT_EQ(stretched.At(20, 20), clBlue);
    EXPECT_EQ(stretched.At(right - 20, 20), clLime);
}

// A form of 400 x 300 with the bar (31 high) on top and a status panel (20 high) at the bottom.
class SpeedBarDragFixture : public SpeedBarFixture {
protected:
    void SetUp() override
    {
        SpeedBarFixture::SetUp();
        Bar->SetHeight(31);
        Status = new TPanel(Form);
        Status->SetParent(Form);
        Status->SetHeight(20);
        Status->SetAlign(alBottom);
        Bar->OnPosChanged = [this](TObject*) { ++PosChanges; };
        ShowForm();
    }
    TRect ParentRect(int Left, int Top, int Right, int Bottom) const
    {
        const TPoint origin = Form->ClientOrigin();
        return Rect(origin.X + Left, origin.Y + Top, origin.X + Right, origin.Y + Bottom);
    }
    TPanel* Status = nullptr;
    int PosChanges = 0;
};

TEST_F(SpeedBarDragFixture, FourPixelsStartNothingFiveStartTheDragAndTheLeftTriangleProposesTheLeftEdge)
{
    PressOn(Bar, 100, 10);
    MoveOn(Bar, 104, 14);
    EXPECT_FALSE(Bar->DraggingBar());
    MoveOn(Bar, 100, 6);
    EXPECT_FALSE(Bar->DraggingBar());
    MoveOn(Bar, 105, 10);
    EXPECT_TRUE(Bar->DraggingBar());
    EXPECT_EQ(Bar->DragFrame(), ParentRect(0, 0, 400, 31));
    EXPECT_EQ(Screen->Cursor(), crDragCursor);

    MoveOn(Bar, 20, 150);
    EXPECT_EQ(Bar->DragAlign(), alLeft);
    EXPECT_EQ(Bar->DragFrame(), ParentRect(0, 0, 31, 280));
    MoveOn(Bar, 200, 270);
    EXPECT_EQ(Bar->DragAlign(), alBottom);
    EXPECT_EQ(Bar->DragFrame(), ParentRect(0, 249, 400, 280));
    MoveOn(Bar, 380, 150);
    EXPECT_EQ(Bar->DragAlign(), alRight);
    EXPECT_EQ(Bar->DragFrame(), ParentRect(369, 0, 400, 280));

    MoveOn(Bar, 20, 150);
    ReleaseOn(Bar, 20, 150);
    EXPECT_FALSE(Bar->DraggingBar());
    EXPECT_EQ(Screen->Cursor(), crDefault);
    EXPECT_EQ(Bar->Align(), alLeft);
    EXPECT_EQ(Bar->Width(), 31);
    EXPECT_EQ(Bar->Height(), 280);
    EXPECT_EQ(Bar->Orientation(), boVertical);
    EXPECT_EQ(PosChanges, 1);
}

TEST_F(SpeedBarDragFixture, ARefusedEdgeKeepsTheFrameAndTheBarStaysAtTheLastAcceptedOne)
{
    std::vector<TAlign> asked;
    Bar->OnApplyAlign = [&](TObject*, TAlign Align, bool& Apply) {
        asked.push_back(Align);
        Apply = Align != alLeft;
    };
    PressOn(Bar, 100, 10);
    MoveOn(Bar, 110, 10);
    MoveOn(Bar, 20, 150);
    EXPECT_EQ(Bar->DragFrame(), ParentRect(0, 0, 400, 31));
    EXPECT_EQ(Bar->DragAlign(), alTop);
    ReleaseOn(Bar, 20, 150);
    EXPECT_EQ(Bar->Align(), alTop);
    EXPECT_EQ(Bar->Height(), 31);
    EXPECT_EQ(PosChanges, 1);
    EXPECT_EQ(asked, (std::vector<TAlign>{alLeft, alLeft}));

    // An accepted edge on the way is where a refused release lands.
    asked.clear();
    PressOn(Bar, 100, 10);
    MoveOn(Bar, 110, 10);
    MoveOn(Bar, 200, 270);
    MoveOn(Bar, 20, 150);
    EXPECT_EQ(Bar->DragAlign(), alBottom);
    ReleaseOn(Bar, 20, 150);
    EXPECT_EQ(Bar->Align(), alBottom);
    EXPECT_EQ(Bar->Top(), 249);
}

TEST_F(SpeedBarDragFixture, ABarWithoutDragOptionOrFreedFromAClickStaysSafe)
{
    Bar->SetOptions({});
    PressOn(Bar, 100, 10);
    MoveOn(Bar, 20, 150);
    EXPECT_FALSE(Bar->DraggingBar());
    ReleaseOn(Bar, 20, 150);
    EXPECT_EQ(Bar->Align(), alTop);

    Bar->AddSection("Tessellarium");
    TSpeedItem* item = AddItem(0, "Chiudi", 3, 3);
    // The handler is freed with the item: it reads what it needs first.
    item->OnClick() = [this](TObject*) { TComponent::Free(std::exchange(Bar, nullptr)); };
    PumpFor(10);
    ClickOn(item->Button());
    PumpFor(10);
    EXPECT_EQ(Bar, nullptr);
}

} // namespace SpeedBarTest
