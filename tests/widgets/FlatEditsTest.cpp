#include "WidgetsTestSupport.h"

#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Panel.h"
#include "platform/gui/WindowFunctions.h"
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

// The flat text controls side by side, for looking at: two edits (the first focused), a masked
// edit and a memo with both scroll bars.
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
    scene.Show();
    focused->SetFocus();
    focused->SetText("Fattura 12");
    PumpFor(20);
    ASSERT_TRUE(GrabToPng(scene.Form.get(), ScreenshotFolder() + "/flat-edits.png"));
}

} // namespace FlatEditsTest
