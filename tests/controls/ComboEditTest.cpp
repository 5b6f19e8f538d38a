// The combo edit: its popup opened, placed, accepted and cancelled by keys and presses while the
// edit keeps the focus, read-only and button-less editors, its height, the ellipsis glyph and
// the painting of a non-focused editor's text.

#include "ButtonsTestSupport.h"

#include "controls/ToolEdit.h"
#include "platform/gui/Application.h"
#include "platform/gui/Button.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Panel.h"
#include "platform/gui/SystemMetrics.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace ComboEditTest {

// A popup that holds a value: what it gives back and what it was given on opening.
class TValuePopup : public TPopupWindow {
    TESS_CLASS(TValuePopup, TPopupWindow)
public:
    explicit TValuePopup(TWinControl* AOwner) : TPopupWindow(AOwner) { SetBounds(0, 0, 120, 60); }
    std::string Value = "Scelto";
    Variant Received;
    Variant GetValue() override { return Variant(Value); }
    void SetValue(const Variant& V) override { Received = V; }

protected:
    void Paint() override
    {
        Canvas()->Brush()->SetColor(clInfoBk);
        Canvas()->FillRect(ClientRect());
    }
};

class TPopupComboEdit : public TComboEdit {
    TESS_CLASS(TPopupComboEdit, TComboEdit)
public:
    explicit TPopupComboEdit(TComponent* AOwner) : TComboEdit(AOwner)
    {
        Window = new TValuePopup(this);
        SetPopup(Window);
    }
    TValuePopup* Window;
};

// An edit with a popup, a panel and a default button on a shown form; the edit has the focus.
struct TComboFixture {
    TButtonScene Scene;
    TPopupComboEdit* Edit;
    TPanel* Panel;
    TButton* DefaultButton;
    int Changes = 0;
    int DefaultClicks = 0;
    int ButtonClicks = 0;

    explicit TComboFixture(int formLeft = 60, int formTop = 60) : Scene(360, 200, formLeft, formTop)
    {
        TForm* form = Scene.Form();
        Edit = new TPopupComboEdit(form);
        Edit->SetParent(form);
        Edit->SetBounds(20, 20, 160, 21);
        Edit->SetText("Testo");
        Edit->OnChange = [this](TObject*) { ++Changes; };
        Edit->OnButtonClick = [this](TObject*) { ++ButtonClicks; };
        Panel = new TPanel(form);
        Panel->SetParent(form);
        Panel->SetBounds(20, 100, 100, 40);
        DefaultButton = new TButton(form);
        DefaultButton->SetParent(form);
        DefaultButton->SetBounds(200, 120, 80, 25);
        DefaultButton->SetCaption("OK");
        DefaultButton->SetDefault(true);
        DefaultButton->OnClick = [this](TObject*) { ++DefaultClicks; };
        Scene.ShowAndActivate();
        Edit->SetFocus();
        PumpFor(10);
        Changes = 0;
    }
    TPoint EditOnScreen() const { return Edit->Parent()->ClientToScreen(Point(Edit->Left(), Edit->Top())); }
    QRect PopupOnScreen() const { return HostOf(Edit->Window)->geometry(); }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(HostOf(Edit), key, modifiers);
        PumpFor(5);
    }
    void Open()
    {
        Key(Qt::Key_Down, Qt::AltModifier);
        ASSERT_TRUE(Edit->PopupVisible());
    }
};

TEST(ComboEditPopup, AltDownOpensThePopupBelowTheEditWithTheRightEdgesAligned)
{
    TComboFixture fixture;
    fixture.Open();
    EXPECT_TRUE(fixture.Edit->Window->Visible());
    EXPECT_EQ(VarToStr(fixture.Edit->Window->Received), "Testo");
    const TPoint edit = fixture.EditOnScreen();
    EXPECT_EQ(fixture.PopupOnScreen().topLeft(), QPoint(edit.X + 160 - 120, edit.Y + 21));
    EXPECT_TRUE(fixture.Edit->Focused());
    EXPECT_TRUE(fixture.Edit->TCustomEdit::ReadOnly()) << "typing waits while the popup is open";

    fixture.Key(Qt::Key_Escape);
    EXPECT_FALSE(fixture.Edit->PopupVisible());
    EXPECT_FALSE(fixture.Edit->Window->Visible());
    EXPECT_EQ(fixture.Edit->Text(), "Testo");
    EXPECT_FALSE(fixture.Edit->TCustomEdit::ReadOnly());
    EXPECT_EQ(fixture.DefaultClicks, 0);

    fixture.Edit->SetText("");
    fixture.Open();
    EXPECT_TRUE(VarIsNull(fixture.Edit->Window->Received)) << "an empty text opens on Null";
}

TEST(ComboEditPopup, APopupThatDoesNotFitMovesAboveOrLeftButNeverOffTheLeftEdge)
{
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    {
        TComboFixture fixture(60, screenHeight - 150);
        fixture.Edit->Window->SetHeight(200);
        fixture.Open();
        EXPECT_EQ(fixture.PopupOnScreen().top(), fixture.EditOnScreen().Y - 200) << "opens above";
    }
    {
        TComboFixture fixture(screenWidth - 260, 60);
        fixture.Edit->PopupAlign = epaLeft;
        fixture.Edit->Window->SetWidth(300);
        fixture.Open();
        EXPECT_EQ(fixture.PopupOnScreen().left(), fixture.EditOnScreen().X - (300 - 160)) << "right edges aligned";
        fixture.Key(Qt::Key_Escape);
    }
    {
        // The edit itself runs past the screen's right edge.
        TComboFixture fixture(screenWidth - 100, 60);
        fixture.Edit->PopupAlign = epaLeft;
        fixture.Edit->Window->SetWidth(300);
        fixture.Open();
        EXPECT_EQ(fixture.PopupOnScreen().left(), screenWidth - 300) << "pushed left to fit";
        fixture.Key(Qt::Key_Escape);
        fixture.Edit->Window->SetWidth(screenWidth + 50);
        fixture.Open();
        EXPECT_EQ(fixture.PopupOnScreen().left(), 0) << "never left of the screen";
    }
}

TEST(ComboEditPopup, EnterAcceptsOnceAndOnlyAClosedEditorPassesItToTheForm)
{
    TComboFixture fixture;
    fixture.Open();
    fixture.Key(Qt::Key_Return);
    EXPECT_FALSE(fixture.Edit->PopupVisible());
    EXPECT_EQ(fixture.Edit->Text(), "Scelto");
    EXPECT_TRUE(fixture.Edit->Modified());
    EXPECT_EQ(fixture.Changes, 1);
    EXPECT_EQ(fixture.DefaultClicks, 0) << "the Enter that accepts stays with the edit";

    fixture.Key(Qt::Key_Return);
    EXPECT_EQ(fixture.DefaultClicks, 1) << "the form's default button";
    EXPECT_EQ(fixture.Changes, 1);

    // Accepting the text the edit already has changes nothing.
    fixture.Open();
    fixture.Key(Qt::Key_Return);
    EXPECT_EQ(fixture.Changes, 1);
}

TEST(ComboEditPopup, TheButtonClosesAnOpenPopupWithAcceptanceAndDoesNotReopenIt)
{
    TComboFixture fixture;
    ClickOn(fixture.Edit->Button());
    ASSERT_TRUE(fixture.Edit->PopupVisible());
    EXPECT_EQ(fixture.ButtonClicks, 1);
    fixture.Edit->Window->Value = "Dal pulsante";
    ClickOn(fixture.Edit->Button());
    PumpFor(20);
    EXPECT_FALSE(fixture.Edit->PopupVisible());
    EXPECT_EQ(fixture.Edit->Text(), "Dal pulsante");
    EXPECT_EQ(fixture.ButtonClicks, 1) << "the release after the closing press is no click";
    EXPECT_TRUE(fixture.Edit->Focused());
}

TEST(ComboEditPopup, PressesElsewhereCancelAndTheEditKeepsTheFocus)
{
    TComboFixture fixture;
    fixture.Open();
    ClickOn(fixture.Panel);
    EXPECT_FALSE(fixture.Edit->PopupVisible());
    EXPECT_EQ(fixture.Edit->Text(), "Testo");
    EXPECT_TRUE(fixture.Edit->Focused());

    // A release inside the popup accepts, one outside it cancels.
    fixture.Open();
    ClickOn(fixture.Edit->Window, 10, 10);
    EXPECT_EQ(fixture.Edit->Text(), "Scelto");
    EXPECT_TRUE(fixture.Edit->Focused());
    fixture.Edit->Window->Value = "Altro";
    fixture.Open();
    PressOn(fixture.Edit->Window, 10, 10);
    ReleaseOn(fixture.Edit->Window, 10, 200);
    EXPECT_FALSE(fixture.Edit->PopupVisible());
    EXPECT_EQ(fixture.Edit->Text(), "Scelto");

    // A press on the edit itself cancels too.
    fixture.Open();
    ClickOn(fixture.Edit, 10, 10);
    EXPECT_FALSE(fixture.Edit->PopupVisible());
    EXPECT_EQ(fixture.Edit->Text(), "Scelto");
}

TEST(ComboEditPopup, LosingTheFocusCancelsAndLetsTheFocusGo)
{
    TComboFixture fixture;
    auto* other = new TEdit(fixture.Scene.Form());
    other->SetParent(fixture.Scene.Form());
    other->SetBounds(200, 20, 100, 21);
    PumpFor(10);
    // A click on another edit moves the focus before the press reaches it.
    fixture.Open();
    ClickOn(other);
    PumpFor(20);
    EXPECT_FALSE(fixture.Edit->PopupVisible());
    EXPECT_EQ(fixture.Edit->Text(), "Testo");
    EXPECT_TRUE(other->Focused());
    EXPECT_FALSE(fixture.Edit->Focused());
    EXPECT_EQ(fixture.Scene.Form()->ActiveControl(), other);

    fixture.Edit->SetFocus();
    fixture.Open();
    other->SetFocus();
    PumpFor(20);
    EXPECT_FALSE(fixture.Edit->PopupVisible());
    EXPECT_TRUE(other->Focused());
}

TEST(ComboEditPopup, AReadOnlyEditorIgnoresItsButtonAndTakesNoValue)
{
    TComboFixture fixture;
    fixture.Edit->SetReadOnly(true);
    ClickOn(fixture.Edit->Button());
    fixture.Key(Qt::Key_Down, Qt::AltModifier);
    EXPECT_FALSE(fixture.Edit->PopupVisible());
    EXPECT_EQ(fixture.ButtonClicks, 0);
    QTest::keyClicks(HostOf(fixture.Edit), "xy");
    EXPECT_EQ(fixture.Edit->Text(), "Testo");

    fixture.Edit->SetReadOnly(false);
    fixture.Open();
    fixture.Edit->SetReadOnly(true);
    fixture.Key(Qt::Key_Return);
    EXPECT_FALSE(fixture.Edit->PopupVisible());
    EXPECT_EQ(fixture.Edit->Text(), "Testo") << "an accepted value is not taken over";
    EXPECT_EQ(fixture.Changes, 0);
}

TEST(ComboEditPopup, WithoutDirectInputTheButtonStillWorksButTypingDoesNot)
{
    TComboFixture fixture;
    fixture.Edit->SetDirectInput(false);
    QTest::keyClicks(HostOf(fixture.Edit), "xy");
    EXPECT_EQ(fixture.Edit->Text(), "Testo");
    fixture.Open();
    fixture.Key(Qt::Key_Return);
    EXPECT_EQ(fixture.Edit->Text(), "Scelto");
    EXPECT_TRUE(fixture.Edit->TCustomEdit::ReadOnly());
}

TEST(ComboEditPopup, AButtonWidthOfZeroHidesTheButtonAndTheClickKey)
{
    TComboFixture fixture;
    fixture.Edit->SetButtonWidth(0);
    EXPECT_FALSE(fixture.Edit->ButtonHolder()->Visible());
    fixture.Key(Qt::Key_Down, Qt::AltModifier);
    EXPECT_FALSE(fixture.Edit->PopupVisible());
    EXPECT_EQ(fixture.ButtonClicks, 0);
    fixture.Edit->SetButtonWidth(400);
    EXPECT_EQ(fixture.Edit->ButtonWidth(), 0) << "wider than the edit is ignored";
    fixture.Edit->SetButtonWidth(18);
    EXPECT_TRUE(fixture.Edit->ButtonHolder()->Visible());
    EXPECT_EQ(fixture.Edit->ButtonHolder()->Width(), 18);
}

TEST(ComboEditPopup, FreeingTheEditWithItsPopupOpenTakesThePopupAlong)
{
    TComboFixture fixture;
    fixture.Open();
    QWidget* popupWindow = HostOf(fixture.Edit->Window);
    ASSERT_TRUE(QApplication::topLevelWidgets().contains(popupWindow));
    TComponent::Free(fixture.Edit);
    PumpFor(10);
    EXPECT_FALSE(QApplication::topLevelWidgets().contains(popupWindow));
    ClickOn(fixture.Panel);
    ClickOn(fixture.DefaultButton);
    EXPECT_EQ(fixture.DefaultClicks, 1);
}

TEST(ComboEditLayout, AHeightBelowTheTextsIsRaisedOnTheNextResize)
{
    TComboFixture fixture;
    const int minimum = fixture.Edit->GetMinHeight();
    EXPECT_GT(minimum, 8);
    fixture.Edit->SetHeight(8);
    EXPECT_EQ(fixture.Edit->Height(), minimum);
    fixture.Edit->SetHeight(30);
    EXPECT_EQ(fixture.Edit->Height(), 30);
    EXPECT_EQ(fixture.Edit->ButtonHolder()->Height(), 26);
    EXPECT_EQ(fixture.Edit->Button()->Height(), 26);
}

TEST(ComboEditLayout, TheEllipsisGlyphHasThreeDotsAtTheirPlaces)
{
    TComboEdit edit(nullptr);
    edit.SetGlyphKind(gkEllipsis);
    EXPECT_EQ(edit.ButtonWidth(), 21);
    edit.SetNumGlyphs(3);
    EXPECT_EQ(edit.NumGlyphs(), 1);
    TBitmap* dots = edit.Glyph();
    ASSERT_EQ(dots->Width(), 15);
    ASSERT_EQ(dots->Height(), 4);
    const std::vector<int> black{1, 2, 6, 7, 11, 12};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 15; ++x) {
            const bool dot = (y == 1 || y == 2) && std::find(black.begin(), black.end(), x) != black.end();
            EXPECT_EQ(dots->Canvas()->Pixels(x, y), dot ? clBlack : clWhite) << x << "," << y;
        }
    EXPECT_FALSE(edit.BtnWidthStored());

    edit.SetGlyphKind(gkDropDown);
    EXPECT_EQ(edit.ButtonWidth(), GetSystemMetrics(SM_CXVSCROLL));
    EXPECT_FALSE(edit.Glyph()->Empty());
    EXPECT_FALSE(edit.BtnWidthStored());
    auto custom = MakeGlyph(1);
    edit.SetGlyph(custom.get());
    EXPECT_EQ(edit.GlyphKind(), gkCustom);
}

// Paints its text right-aligned through PaintComboEdit while it does not have the focus.
class TPaintedComboEdit : public TComboEdit {
    TESS_CLASS(TPaintedComboEdit, TComboEdit)
public:
    using TComboEdit::TComboEdit;
    void Dispatch(TMessage& Message) override
    {
        if (Message.Msg == WM_PAINT && !IsDeviceContext(reinterpret_cast<HDC>(Message.WParam)) &&
            PaintComboEdit(this, Text(), taRightJustify, Focused(), FPaintCanvas, Message))
            return;
        TComboEdit::Dispatch(Message);
    }

private:
    std::unique_ptr<TControlCanvas> FPaintCanvas;
};

int FirstInkColumn(TBitmap& picture, const TRect& area, TColor background)
{
    for (int x = area.Left; x < area.Right; ++x)
        for (int y = area.Top; y < area.Bottom; ++y)
            if (picture.Canvas()->Pixels(x, y) != background)
                return x;
    return -1;
}

TEST(ComboEditPainting, ANonFocusedEditorShowsItsTextRightAligned)
{
    TButtonScene scene;
    auto* edit = new TPaintedComboEdit(scene.Form());
    edit->SetParent(scene.Form());
    edit->SetBounds(20, 20, 160, 21);
    edit->Font()->SetName("Arial");
    edit->Font()->SetSize(9);
    edit->SetText("1.234,50");
    scene.ShowAndActivate();
    edit->Invalidate();
    PumpFor(20);

    TBitmap picture;
    ASSERT_TRUE(GrabToBitmap(edit, &picture));
    EXPECT_TRUE(GrabToPng(edit, ButtonsPictureDir() + "/combo-edit-right.png"));
    const TRect client = edit->ClientRectInWindow();
    const TPoint margins = EditorTextMargins(edit);
    TBitmap sample;
    sample.SetSize(100, 30);
    sample.Canvas()->Brush()->SetColor(clWhite);
    sample.Canvas()->FillRect(Rect(0, 0, 100, 30));
    sample.Canvas()->Font()->Assign(edit->Font());
    sample.Canvas()->TextOut(10, 0, edit->Text());
    const int bearing = FirstInkColumn(sample, Rect(0, 0, 100, 30), clWhite) - 10;
    const int textWidth = sample.Canvas()->TextWidth(edit->Text()) + 1;
    const int left = edit->ClientWidth() - edit->ButtonWidth() - textWidth - margins.X - 2;
    const TRect textArea = Rect(client.Left, client.Top, client.Left + edit->ClientWidth() - edit->ButtonWidth() - 2,
                                client.Bottom);
    EXPECT_EQ(FirstInkColumn(picture, textArea, static_cast<TColor>(ColorToRGB(edit->Color()))),
              client.Left + left + bearing);
}

} // namespace ComboEditTest
