#include "WidgetsTestSupport.h"

#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Panel.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/Colors.h"
#include "widgets/FlatComboBox.h"
#include "widgets/FlatEdit.h"
#include "widgets/FlatMaskEdit.h"
#include "widgets/FlatMemo.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace FlatEditsTest {

constexpr TColor RestBorder = 0x8396A0;
constexpr TColor RestFlat = 0xE1EAEB;
constexpr TColor FocusWhite = 0xFFFFFF;

// A shown, active form with a panel the edits stand on.
struct TEditScene {
    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    TPanel* Panel = nullptr;

    TEditScene()
    {
        Form->SetBounds(60, 60, 420, 260);
        Panel = new TPanel(Form.get());
        Panel->SetParent(Form.get());
        Panel->SetBounds(0, 0, 400, 240);
        Panel->SetBevelOuter(bvNone);
        Panel->SetColor(clBtnFace);
    }

    void Show()
    {
        Form->Show();
        SetForegroundWindow(Form->Handle());
        PumpWhile([] { return GetActiveWindow() == nullptr; }, 2000);
        PumpFor(10);
    }

    template <class TControlClass>
    TControlClass* Add(int x, int y)
    {
        auto* control = new TControlClass(Form.get());
        control->SetParent(Panel);
        control->SetLeft(x);
        control->SetTop(y);
        return control;
    }
};

// The ring of a control in a grab of the control itself: outer line, then two band rings.
void ExpectRing(TWinControl* control, TColor border, TColor band)
{
    PumpFor(10);
    TGrab grab(control);
    ASSERT_TRUE(grab.Valid());
    const int w = grab.Width(), h = grab.Height();
    for (const auto& [x, y] : {std::pair{0, h / 2}, {w - 1, h / 2}, {w / 2, 0}, {w / 2, h - 1}})
        EXPECT_EQ(grab.At(x, y), border) << "outer line at " << x << "," << y;
    for (int ring = 1; ring <= 2; ++ring) {
        EXPECT_EQ(grab.At(ring, h / 2), band) << "ring " << ring << " left";
        EXPECT_EQ(grab.At(w - 1 - ring, h / 2), band) << "ring " << ring << " right";
        EXPECT_EQ(grab.At(w / 2, ring), band) << "ring " << ring << " top";
        EXPECT_EQ(grab.At(w / 2, h - 1 - ring), band) << "ring " << ring << " bottom";
    }
}

TEST(FlatEdit, RingAtRestWithTheFocusAndAfterIt)
{
    TEditScene scene;
    auto* edit = scene.Add<TFlatEdit>(10, 10);
    auto* other = scene.Add<TEdit>(10, 60);
    scene.Show();
    ASSERT_EQ(edit->Width(), 121);
    {
        SCOPED_TRACE("rest");
        ExpectRing(edit, RestBorder, RestFlat);
        TGrab grab(edit);
        EXPECT_EQ(grab.At(60, 9), RestFlat) << "text background";
    }
    edit->SetFocus();
    {
        SCOPED_TRACE("focused");
        ExpectRing(edit, RestBorder, FocusWhite);
        TGrab grab(edit);
        EXPECT_EQ(grab.At(60, 9), FocusWhite) << "text background";
    }
    other->SetFocus();
    {
        SCOPED_TRACE("focus gone");
        ExpectRing(edit, RestBorder, RestFlat);
    }
}

TEST(FlatEdit, HoverHighlightsUnlessAControlOfTheSameClassHasTheFocus)
{
    TEditScene scene;
    auto* hovered = scene.Add<TFlatEdit>(10, 10);
    auto* sameClass = scene.Add<TFlatEdit>(10, 40);
    auto* memo = scene.Add<TFlatMemo>(150, 10);
    auto* plain = scene.Add<TEdit>(10, 120);
    scene.Show();
    struct TCase {
        const char* name;
        TWinControl* focused;
        TColor band;
    };
    for (const TCase& c : {TCase{"plain edit focused", plain, FocusWhite}, TCase{"flat edit focused", sameClass, RestFlat},
                           TCase{"flat memo focused", memo, FocusWhite}}) {
        SCOPED_TRACE(c.name);
        c.focused->SetFocus();
        PumpFor(10);
        hovered->Perform(CM_MOUSEENTER, 0, 0);
        ExpectRing(hovered, RestBorder, c.band);
        hovered->Perform(CM_MOUSELEAVE, 0, 0);
        ExpectRing(hovered, RestBorder, RestFlat);
    }
}

TEST(FlatEdit, HoverWithoutAnActiveWindowStaysFlat)
{
    TEditScene scene;
    auto* edit = scene.Add<TFlatEdit>(10, 10);
    scene.Show();
    scene.Form->Hide();
    PumpWhile([] { return GetActiveWindow() != nullptr; }, 2000);
    ASSERT_EQ(GetActiveWindow(), nullptr);
    edit->Perform(CM_MOUSEENTER, 0, 0);
    ExpectRing(edit, RestBorder, RestFlat);
}

TEST(FlatEdit, LoadedAndFontChangesSetTheHeightFromTheFont)
{
    TEditScene scene;
    auto* edit = scene.Add<TFlatEdit>(10, 10);
    auto* masked = scene.Add<TFlatMaskEdit>(10, 40);
    auto* memo = scene.Add<TFlatMemo>(150, 10);
    edit->SetHeight(40);
    edit->Loaded();
    masked->Loaded();
    EXPECT_EQ(edit->Height(), FlatEditHeight(edit->Font()));
    EXPECT_EQ(masked->Height(), FlatEditHeight(masked->Font()));
    EXPECT_EQ(memo->Height(), 89) << "the memo keeps its height";
    for (int size : {8, 20, 0, 200}) {
        SCOPED_TRACE(size);
        edit->Font()->SetSize(size);
        TEXTMETRICA metrics{};
        FlatDrawing::GetFontMetrics(edit->Font(), metrics);
        EXPECT_EQ(edit->Height(), metrics.tmHeight + 6);
        EXPECT_GT(edit->Height(), 6);
    }
}

TEST(FlatEdit, TypedTextStaysInsideTheRing)
{
    TEditScene scene;
    auto* edit = scene.Add<TFlatEdit>(10, 10);
    scene.Show();
    edit->SetFocus();
    for (int i = 0; i < 40; ++i)
        edit->Perform(WM_CHAR, 'W', 0);
    ASSERT_EQ(edit->Text(), std::string(40, 'W'));
    ExpectRing(edit, RestBorder, FocusWhite);
    TGrab grab(edit);
    EXPECT_EQ(grab.Ink(Rect(1, 1, 3, edit->Height() - 1), FocusWhite), 0) << "ink left of x 3";
    EXPECT_EQ(grab.Ink(Rect(1, 1, edit->Width() - 1, 3), FocusWhite), 0) << "ink above y 3";
    EXPECT_GT(grab.Ink(Rect(3, 3, edit->Width() - 3, edit->Height() - 3), FocusWhite), 0) << "the text shows";

    edit->SetText(std::string(100000, 'M'));
    ExpectRing(edit, RestBorder, FocusWhite);
}

TEST(FlatEdit, ColoursParentColourAndDerivedColours)
{
    TEditScene scene;
    auto* edit = scene.Add<TFlatEdit>(10, 10);
    EXPECT_TRUE(edit->ParentColor());
    scene.Panel->SetColor(0x00FF00);
    EXPECT_EQ(edit->ColorFlat(), 0x00FF00) << "the flat colour follows the parent";
    edit->SetColors(2, RestFlat);
    EXPECT_FALSE(edit->ParentColor());
    scene.Panel->SetColor(0x0000FF);
    EXPECT_EQ(edit->ColorFlat(), RestFlat) << "a set flat colour stays";

    edit->SetColors(7, 0x123456);
    edit->SetAdvColors(5, 30);
    EXPECT_EQ(edit->ColorFocused(), FocusWhite);
    EXPECT_EQ(edit->ColorBorder(), RestBorder);
    edit->SetAdvColors(1, 150);
    EXPECT_EQ(edit->AdvColorBorder(), 100);
    edit->SetAdvColors(1, 50);

    TFlatEdit loose(nullptr);
    loose.SetColors(2, RestFlat);
    loose.SetUseAdvColors(true);
    loose.SetColorFlat(RestFlat);
    loose.SetUseAdvColors(false);
    loose.SetUseAdvColors(true);
    EXPECT_EQ(loose.ColorFocused(), 0x557B80);
    EXPECT_EQ(loose.ColorBorder(), 0xADC6C9);
}

TEST(FlatEdit, ColoursSetBeforeTheControlIsPlacedShowOnceItIs)
{
    TEditScene scene;
    auto* edit = new TFlatEdit(scene.Form.get());
    edit->SetColorBorder(0x0000FF);
    edit->SetColorFlat(0x00FFFF);
    edit->SetParent(scene.Panel);
    scene.Show();
    ExpectRing(edit, 0x0000FF, 0x00FFFF);
}

TEST(FlatMaskEdit, TheMaskWorksInsideTheRing)
{
    TEditScene scene;
    auto* edit = scene.Add<TFlatMaskEdit>(10, 10);
    edit->SetEditMask("!99/99/0000;1;_");
    scene.Show();
    edit->SetFocus();
    for (char c : std::string("31122024"))
        edit->Perform(WM_CHAR, static_cast<WPARAM>(c), 0);
    EXPECT_EQ(edit->Text(), "31/12/2024");
    ExpectRing(edit, RestBorder, FocusWhite);
}

TEST(FlatMemo, RingAroundTheLinesWithAndWithoutTheFocus)
{
    TEditScene scene;
    auto* memo = scene.Add<TFlatMemo>(10, 10);
    auto* other = scene.Add<TEdit>(10, 160);
    for (int i = 0; i < 3; ++i)
        memo->Lines()->Add("riga " + std::to_string(i));
    scene.Show();
    {
        SCOPED_TRACE("rest");
        ExpectRing(memo, RestBorder, RestFlat);
    }
    memo->SetFocus();
    {
        SCOPED_TRACE("focused");
        ExpectRing(memo, RestBorder, FocusWhite);
    }
    other->SetFocus();
    {
        SCOPED_TRACE("focus gone");
        ExpectRing(memo, RestBorder, RestFlat);
    }
}

TEST(FlatMemo, TheCornerBetweenBothScrollBarsTakesTheBandColour)
{
    TEditScene scene;
    auto* memo = scene.Add<TFlatMemo>(10, 10);
    auto* other = scene.Add<TEdit>(10, 160);
    memo->SetScrollBars(ssBoth);
    memo->SetWordWrap(false);
    for (int i = 0; i < 50; ++i)
        memo->Lines()->Add("Riga " + std::to_string(i) + " della nota, abbastanza lunga da scorrere di lato");
    scene.Show();
    const int w = memo->Width(), h = memo->Height();
    const TRect corner = Rect(w - 19, h - 19, w - 3, h - 3);
    for (const auto& [focused, band] : {std::pair{false, RestFlat}, {true, FocusWhite}, {false, RestFlat}}) {
        SCOPED_TRACE(focused ? "focused" : "rest");
        if (focused) memo->SetFocus(); else other->SetFocus();
        ExpectRing(memo, RestBorder, band);
        TGrab grab(memo);
        EXPECT_EQ(grab.Ink(corner, band), 0) << "corner";
        EXPECT_NE(grab.At(w - 20, h - 11), band) << "the horizontal bar beside the corner";
        EXPECT_NE(grab.At(w - 11, h - 20), band) << "the vertical bar above the corner";
    }
    memo->Perform(WM_VSCROLL, SB_PAGEDOWN, 0);
    memo->Perform(WM_HSCROLL, SB_PAGERIGHT, 0);
    ExpectRing(memo, RestBorder, RestFlat);
    memo->SetText(std::string(100000, 'M'));
    ExpectRing(memo, RestBorder, RestFlat);
    TGrab grab(memo);
    EXPECT_EQ(grab.Ink(corner, RestFlat), 0) << "corner with a long text";
}

constexpr TColor ComboColor = 0xE1EAEB;
constexpr TColor ArrowBackground = 0xC5D6D9;

// A flat combo of the given style with three items, on the control's flat colour.
TFlatComboBox* AddCombo(TEditScene& scene, int x, int y, TComboBoxStyle style)
{
    auto* combo = scene.Add<TFlatComboBox>(x, y);
    combo->SetStyle(style);
    combo->SetColor(ComboColor);
    for (const char* item : {"Fattura", "Nota di credito", "Preventivo"})
        combo->Items()->Add(item);
    return combo;
}

// Where the triangle goes: X, Y from the widened button rectangle.
TPoint TriangleOrigin(TFlatComboBox* combo)
{
    const TRect r = combo->ButtonRect();
    return Point((r.Right - r.Left) / 2 - 6 + r.Left, (r.Bottom - r.Top) / 2 - 1 + r.Top);
}

TEST(FlatComboBox, ButtonTriangleEnabledDisabledAndDropped)
{
    TEditScene scene;
    auto* combo = AddCombo(scene, 10, 10, csDropDownList);
    scene.Show();
    ASSERT_EQ(combo->Width(), 145);
    ASSERT_EQ(combo->Height(), 25);
    const TRect button = combo->ButtonRect();
    EXPECT_EQ(button, Rect(132, 0, 145, 25));
    const TPoint t = TriangleOrigin(combo);
    EXPECT_EQ(t.X, 132);
    EXPECT_EQ(t.Y, 11);
    {
        SCOPED_TRACE("enabled, pointing down");
        PumpFor(10);
        TGrab grab(combo);
        EXPECT_EQ(grab.At(button.Left, 12), RestBorder) << "button frame left";
        EXPECT_EQ(grab.At(button.Right - 1, 12), RestBorder) << "button frame right";
        EXPECT_EQ(grab.At(button.Left + 3, 0), RestBorder) << "button frame top";
        EXPECT_EQ(grab.At(button.Left + 2, 5), ArrowBackground);
        EXPECT_EQ(grab.At(t.X + 4, t.Y), clBlack);
        EXPECT_EQ(grab.At(t.X + 8, t.Y), clBlack);
        EXPECT_EQ(grab.At(t.X + 6, t.Y + 1), clBlack);
        EXPECT_EQ(grab.At(t.X + 6, t.Y + 2), clBlack);
        EXPECT_EQ(grab.At(t.X + 4, t.Y + 2), ArrowBackground);
        EXPECT_EQ(grab.At(t.X + 6, t.Y + 3), ArrowBackground);
    }
    combo->SetDroppedDown(true);
    ASSERT_TRUE(PumpWhile([&] { return !combo->DroppedDown(); }, 2000));
    {
        SCOPED_TRACE("dropped, pointing up");
        PumpFor(10);
        TGrab grab(combo);
        EXPECT_EQ(grab.At(t.X + 6, t.Y), clBlack);
        EXPECT_EQ(grab.At(t.X + 4, t.Y + 2), clBlack);
        EXPECT_EQ(grab.At(t.X + 8, t.Y + 2), clBlack);
        EXPECT_EQ(grab.At(t.X + 4, t.Y), ArrowBackground);
    }
    combo->SetDroppedDown(false);
    {
        SCOPED_TRACE("closed again, pointing down");
        PumpFor(10);
        TGrab grab(combo);
        EXPECT_EQ(grab.At(t.X + 4, t.Y), clBlack);
        EXPECT_EQ(grab.At(t.X + 4, t.Y + 2), ArrowBackground);
    }
    combo->SetEnabled(false);
    {
        SCOPED_TRACE("disabled, embossed");
        PumpFor(10);
        TGrab grab(combo);
        EXPECT_EQ(grab.At(t.X + 6, t.Y + 1), 0x808080);
        EXPECT_EQ(grab.At(t.X + 4, t.Y), 0x808080);
        EXPECT_EQ(grab.At(t.X + 7, t.Y + 3), clWhite) << "the white copy's tip, one pixel down and right";
        EXPECT_EQ(grab.At(t.X + 9, t.Y + 1), clWhite) << "the white copy's right corner";
    }
}

TEST(FlatComboBox, ListStyleStripAndFrameFollowTheFocus)
{
    TEditScene scene;
    auto* combo = AddCombo(scene, 10, 10, csDropDownList);
    auto* other = scene.Add<TEdit>(10, 100);
    combo->SetItemIndex(1);
    scene.Show();
    const COLORREF highlight = ColorToRGB(clHighlight);
    const int cw = combo->ClientWidth(), ch = combo->ClientHeight();
    // The strip runs from cw - 2 - 19 to cw - 2 - 14, between the rows 3 and ch - 3.
    const TRect strip = Rect(cw - 21, 3, cw - 16, ch - 3);
    combo->SetFocus();
    {
        SCOPED_TRACE("focused");
        PumpFor(10);
        TGrab grab(combo);
        EXPECT_EQ(grab.Ink(strip, highlight), 0) << "strip";
        EXPECT_EQ(grab.At(cw - 17, 3), highlight) << "frame top right";
        EXPECT_EQ(grab.At(cw - 17, ch - 4), highlight) << "frame bottom right";
        EXPECT_EQ(grab.At(3, ch / 2), highlight) << "frame left";
        EXPECT_EQ(grab.At(cw - 16, ch / 2), ComboColor) << "right of the frame";
        EXPECT_EQ(grab.At(0, ch / 2), RestBorder) << "border line";
        EXPECT_EQ(grab.At(1, ch / 2), ComboColor) << "band";
        EXPECT_EQ(grab.At(2, ch / 2), ComboColor) << "band";
        EXPECT_EQ(grab.At(60, 0), RestBorder);
        EXPECT_EQ(grab.At(60, ch - 1), RestBorder);
    }
    other->SetFocus();
    {
        SCOPED_TRACE("focus gone");
        PumpFor(10);
        TGrab grab(combo);
        EXPECT_EQ(grab.Ink(strip, ComboColor), 0) << "strip";
        EXPECT_EQ(grab.At(0, ch / 2), RestBorder);
        EXPECT_EQ(grab.At(2, ch / 2), ComboColor);
    }
}

TEST(FlatComboBox, TypedTextStopsBeforeTheFlatButton)
{
    TEditScene scene;
    auto* combo = AddCombo(scene, 10, 10, csDropDown);
    scene.Show();
    combo->SetFocus();
    for (int i = 0; i < 60; ++i)
        combo->Perform(WM_CHAR, 'W', 0);
    ASSERT_EQ(combo->Text(), std::string(60, 'W'));
    const int cw = combo->ClientWidth(), ch = combo->ClientHeight();
    EXPECT_EQ(combo->EditPartRect().Right - combo->EditPartRect().Left, cw - 19);
    PumpFor(10);
    TGrab grab(combo);
    EXPECT_GT(grab.Ink(Rect(3, 3, cw - 19, ch - 3), ComboColor), 0) << "the text shows";
    EXPECT_EQ(grab.Ink(Rect(cw - 18, 3, combo->ButtonRect().Left, ch - 3), ComboColor), 0) << "right of cw - 19";

    // A wider combo widens the edit part with it.
    combo->SetWidth(220);
    PumpFor(10);
    EXPECT_EQ(combo->EditPartRect().Right - combo->EditPartRect().Left, combo->ClientWidth() - 19);
}

TEST(FlatComboBox, FontColoursAndBadInput)
{
    TEditScene scene;
    auto* combo = AddCombo(scene, 10, 10, csOwnerDrawFixed);
    scene.Show();
    combo->SetItemIndex(2);
    combo->SetItemHeight(20);
    combo->Font()->SetSize(14);
    EXPECT_EQ(combo->ItemHeight(), 13);
    EXPECT_TRUE(combo->HandleAllocated());
    EXPECT_EQ(combo->Items()->Count(), 3) << "the items survive the new window";
    EXPECT_EQ(combo->ItemIndex(), 2);

    scene.Panel->SetColor(RestFlat);
    combo->SetUseAdvColors(true);
    EXPECT_EQ(combo->ColorBorder(), 0xADC6C9);
    EXPECT_EQ(combo->ColorArrowBackground(), 0xE0EAEB);

    combo->SetColors(9, 0x123456);
    combo->SetAdvColors(-1, 30);
    EXPECT_EQ(combo->ColorBorder(), 0xADC6C9);
    EXPECT_EQ(combo->ColorArrow(), clBlack);
    combo->SetAdvColors(0, 250);
    EXPECT_EQ(combo->AdvColorBorder(), 100);

    TFlatComboBox loose(nullptr);
    EXPECT_EQ(loose.Color(), clWindow) << "a new combo keeps the window colour";
    loose.SetUseAdvColors(true);
    EXPECT_EQ(loose.ColorBorder(), RestBorder) << "nothing to derive from without a parent";
}

TEST(FlatComboBox, ANarrowComboDrawsClipped)
{
    TEditScene scene;
    auto* combo = AddCombo(scene, 10, 10, csDropDown);
    combo->SetWidth(10);
    auto* list = AddCombo(scene, 10, 50, csDropDownList);
    list->SetWidth(10);
    scene.Show();
    list->SetFocus();
    for (TFlatComboBox* c : {combo, list}) {
        PumpFor(10);
        TGrab grab(c);
        ASSERT_TRUE(grab.Valid());
        EXPECT_EQ(grab.At(9, 12), RestBorder) << "the button's frame";
        EXPECT_EQ(c->EditPartRect().Right - c->EditPartRect().Left, 0);
    }
}

// What the combo draws over Qt's painting is shown by that paint: a shown combo left alone is
// not painted again and again.
TEST(FlatComboBox, AnIdleComboIsNotRepaintedOverAndOver)
{
    TEditScene scene;
    auto* combo = AddCombo(scene, 10, 10, csDropDownList);
    combo->SetItemIndex(1);
    scene.Show();
    combo->SetFocus();
    PumpFor(50);
    int paints = 0;
    const auto inherited = combo->WindowProc;
    combo->WindowProc = [&](TMessage& message) {
        if (message.Msg == WM_PAINT)
            ++paints;
        inherited(message);
    };
    PumpFor(100);
    EXPECT_EQ(paints, 0);
    combo->Invalidate();
    PumpFor(100);
    EXPECT_GE(paints, 1);
    EXPECT_LE(paints, 2);
    combo->WindowProc = inherited;
}

// The document list's print styles: set by code without an event, picked by the user with one.
TEST(FlatComboBox, ItemsAndEventsAreTheLayersCombo)
{
    TEditScene scene;
    auto* styles = AddCombo(scene, 10, 10, csDropDownList);
    int changes = 0;
    styles->OnChange = [&](TObject*) { ++changes; };
    scene.Show();
    styles->SetItemIndex(1);
    EXPECT_EQ(styles->Text(), "Nota di credito");
    EXPECT_EQ(changes, 0);
    styles->SetFocus();
    styles->Perform(WM_KEYDOWN, VK_DOWN, 0);
    PumpFor(10);
    EXPECT_EQ(styles->ItemIndex(), 2);
    EXPECT_EQ(changes, 1);
}

// The flat text controls side by side, for looking at: two edits (the first hovered), a masked
// edit, a memo with both scroll bars and three combos: drop-down, focused drop-down list, disabled.
TEST(FlatEditsDemonstration, AllLooksSideBySide)
{
    TEditScene scene;
    auto* focused = scene.Add<TFlatEdit>(10, 10);
    auto* rest = scene.Add<TFlatEdit>(10, 40);
    rest->SetText("Mario Rossi");
    auto* masked = scene.Add<TFlatMaskEdit>(10, 70);
    masked->SetEditMask("!99/99/0000;1;_");
    auto* memo = scene.Add<TFlatMemo>(150, 10);
    memo->SetScrollBars(ssBoth);
    memo->SetWordWrap(false);
    for (int i = 0; i < 50; ++i)
        memo->Lines()->Add("Riga " + std::to_string(i) + " della nota, abbastanza lunga da scorrere");
    auto* dropDown = AddCombo(scene, 10, 110, csDropDown);
    dropDown->SetText("Fattura");
    auto* dropDownList = AddCombo(scene, 10, 145, csDropDownList);
    dropDownList->SetItemIndex(2);
    auto* disabled = AddCombo(scene, 10, 180, csDropDownList);
    disabled->SetItemIndex(0);
    disabled->SetEnabled(false);
    scene.Show();
    focused->SetText("Fattura 12");
    dropDownList->SetFocus();
    // The first edit shows the focus look through the hover: the focused control is no flat edit.
    focused->Perform(CM_MOUSEENTER, 0, 0);
    PumpFor(20);
    ASSERT_TRUE(GrabToPng(scene.Form.get(), ScreenshotFolder() + "/flat-edits.png"));
}

} // namespace FlatEditsTest
