// The spin edit: values of the three kinds, refused keys, limits and the clip after the exit
// handler, the read-only editor, the diagonal button's halves, repeats and pictures, and the
// up-down variant.

#include "ButtonsTestSupport.h"
#include "CalculatorTestSupport.h"

#include "controls/EXSpin.h"
#include "platform/gui/Application.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/rtl/TypInfo.h"

#include <QTest>

#include <gtest/gtest.h>

namespace SpinEditTest {

struct TSpinFixture {
    TButtonScene Scene;
    TExSpinEdit* Edit;
    TEdit* Other;
    TBeepCounter Beeps;

    TSpinFixture() : Scene(360, 200)
    {
        Edit = new TExSpinEdit(Scene.Form());
        Edit->SetParent(Scene.Form());
        Edit->SetBounds(20, 20, 120, 21);
        Other = new TEdit(Scene.Form());
        Other->SetParent(Scene.Form());
        Other->SetBounds(20, 100, 100, 21);
        Scene.ShowAndActivate();
        Edit->SetFocus();
        PumpFor(10);
    }
    void Type(const char* keys)
    {
        QTest::keyClicks(HostOf(Edit), keys);
        PumpFor(5);
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(HostOf(Edit), key, modifiers);
        PumpFor(5);
    }
    void Retype(const char* keys)
    {
        Edit->SelectAll();
        Type(keys);
    }
};

TEST(SpinEditValues, HexAndFixedDecimalTextsAndTheirRefusedKeys)
{
    TSpinFixture fixture;
    fixture.Edit->SetValueType(EXSpin::vtHex);
    fixture.Edit->SetValue(255);
    EXPECT_EQ(fixture.Edit->Text(), "FF");
    fixture.Edit->SetSelStart(2);
    fixture.Type("g");
    EXPECT_EQ(fixture.Edit->Text(), "FF");
    EXPECT_EQ(fixture.Beeps.Count, 1);
    fixture.Type("a");
    EXPECT_EQ(fixture.Edit->GetValue(), 0xFFA);

    fixture.Edit->SetValueType(EXSpin::vtFloat);
    fixture.Edit->SetDecimal(2);
    fixture.Edit->SetValue(1.5);
    EXPECT_EQ(fixture.Edit->Text(), "1,50");
    fixture.Edit->SetSelStart(4);
    fixture.Type(",");
    EXPECT_EQ(fixture.Edit->Text(), "1,50");
    EXPECT_EQ(fixture.Beeps.Count, 2);
    fixture.Edit->SetValue(2.125);
    EXPECT_EQ(fixture.Edit->Text(), "2,13");

    fixture.Edit->SetValueType(EXSpin::vtInt);
    fixture.Edit->SetValue(2.5);
    EXPECT_EQ(fixture.Edit->Text(), "2") << "halves to even";
    fixture.Edit->SetValue(3.5);
    EXPECT_EQ(fixture.Edit->Text(), "4");
}

TEST(SpinEditValues, AnEmptyTextReadsTheMinimumAndStepsFromIt)
{
    TSpinFixture fixture;
    fixture.Edit->SetMinValue(5);
    fixture.Edit->SetMaxValue(50);
    fixture.Edit->SetIncrement(3);
    fixture.Edit->TCustomEdit::SetText("");
    EXPECT_EQ(fixture.Edit->GetValue(), 5);
    fixture.Key(Qt::Key_Up);
    EXPECT_EQ(fixture.Edit->Text(), "8");
    fixture.Key(Qt::Key_Down);
    fixture.Key(Qt::Key_Down);
    EXPECT_EQ(fixture.Edit->Text(), "5");
}

TEST(SpinEditValues, TheExitHandlerSeesTheTypedValueBeforeItIsClipped)
{
    TSpinFixture fixture;
    fixture.Edit->SetMinValue(1);
    fixture.Edit->SetMaxValue(2147483647);
    fixture.Edit->SetValue(1);
    int changes = 0;
    fixture.Edit->OnChange = [&](TObject*) { ++changes; };
    fixture.Key(Qt::Key_Down);
    EXPECT_EQ(fixture.Edit->Text(), "1");
    EXPECT_EQ(changes, 0) << "nothing changed";

    std::vector<double> seen;
    fixture.Edit->OnExit = [&](TObject*) { seen.push_back(fixture.Edit->GetValue()); };
    fixture.Retype("0");
    fixture.Key(Qt::Key_Tab);
    EXPECT_TRUE(fixture.Other->Focused());
    EXPECT_EQ(seen, std::vector<double>{0});
    EXPECT_EQ(fixture.Edit->Text(), "1");

    fixture.Edit->SetValue(2147483647);
    fixture.Edit->UpClick(nullptr);
    EXPECT_EQ(fixture.Edit->Text(), "2147483647");
}

TEST(SpinEditValues, WithoutEditingTheButtonAndArrowKeysStillStep)
{
    TSpinFixture fixture;
    fixture.Edit->EditorEnabled = false;
    fixture.Edit->SetValue(10);
    fixture.Edit->SelectAll();
    fixture.Type("7");
    fixture.Key(Qt::Key_Backspace);
    EXPECT_EQ(fixture.Edit->Text(), "10");
    EXPECT_GE(fixture.Beeps.Count, 2);
    Clipboard()->SetAsText("99");
    fixture.Key(Qt::Key_V, Qt::ControlModifier);
    fixture.Key(Qt::Key_X, Qt::ControlModifier);
    fixture.Edit->Perform(WM_PASTE, 0, 0);
    fixture.Edit->Perform(WM_CUT, 0, 0);
    EXPECT_EQ(fixture.Edit->Text(), "10");

    fixture.Key(Qt::Key_Up);
    EXPECT_EQ(fixture.Edit->Text(), "11");
    TExSpinButton* button = fixture.Edit->SpinButton();
    ASSERT_NE(button, nullptr);
    PressOn(button, button->Width() - 3, button->Height() - 3);
    ReleaseOn(button, button->Width() - 3, button->Height() - 3);
    PumpFor(5);
    EXPECT_EQ(fixture.Edit->Text(), "10");
    EXPECT_TRUE(fixture.Edit->Modified());

    fixture.Edit->SetReadOnly(true);
    fixture.Beeps.Count = 0;
    fixture.Key(Qt::Key_Up);
    EXPECT_EQ(fixture.Edit->Text(), "10");
    EXPECT_EQ(fixture.Beeps.Count, 1) << "a read-only edit only beeps";
}

TEST(SpinEditBadInput, TextsThatAreNoNumberReadTheMinimum)
{
    TForm form(nullptr);
    TExSpinEdit edit(&form);
    edit.SetMinValue(-3.7);
    edit.SetMaxValue(100);
    const struct {
        EXSpin::TValueType Type;
        const char* Text;
        double Expected;
    } rows[] = {
        {EXSpin::vtInt, "9999999999999999999", -3},
        {EXSpin::vtInt, "abc", -3},
        {EXSpin::vtHex, "FFFFFFFFFFFF", -3},
        {EXSpin::vtFloat, "1e400", -3.7},
        {EXSpin::vtFloat, "1,2,3", -3.7},
    };
    for (const auto& row : rows) {
        edit.SetValueType(row.Type);
        edit.TCustomEdit::SetText(row.Text);
        EXPECT_EQ(edit.GetValue(), row.Expected) << row.Text;
    }
    edit.SetValue(std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isfinite(edit.GetValue()));
    SetFloatProp(&edit, "Value", 7.25);
    EXPECT_EQ(GetFloatProp(&edit, "Value"), 7.25);
    SetOrdProp(&edit, "Decimal", 1);
    EXPECT_EQ(edit.Text(), "7,3");
}

// --- The diagonal button -------------------------------------------------------------------------

TEST(SpinButton, HoldingTheLowerHalfStepsAtOnceThenRepeatsUntilTheUpperHalf)
{
    TSpinFixture fixture;
    fixture.Edit->SetValue(100);
    TExSpinButton* button = fixture.Edit->SpinButton();
    const int w = button->Width();
    const int h = button->Height();
    PressOn(button, w - 3, h - 3);
    EXPECT_EQ(fixture.Edit->Text(), "99") << "the first step comes at once";
    EXPECT_EQ(button->Down(), sbBottomDown);
    PumpFor(1000);
    const int steps = 100 - static_cast<int>(fixture.Edit->GetValue());
    EXPECT_GE(steps, 7);
    EXPECT_LE(steps, 9);
    MoveOn(button, 2, 2);
    EXPECT_EQ(button->Down(), sbNotDown);
    const std::string stopped = fixture.Edit->Text();
    PumpFor(350);
    EXPECT_EQ(fixture.Edit->Text(), stopped) << "over the other half nothing repeats";
    ReleaseOn(button, 2, 2);

    PressOn(button, 2, 2);
    ReleaseOn(button, 2, 2);
    PumpFor(5);
    EXPECT_EQ(fixture.Edit->GetValue(), std::stod(stopped) + 1);
}

TEST(SpinButton, ThePicturesFollowTheDrawingCoordinates)
{
    TButtonScene scene(100, 100);
    auto* button = new TExSpinButton(scene.Form());
    button->SetParent(scene.Form());
    button->SetBounds(10, 10, 20, 20);
    scene.ShowAndActivate();
    const TColor face = static_cast<TColor>(ColorToRGB(clBtnFace));
    const TColor frame = static_cast<TColor>(ColorToRGB(clWindowFrame));
    const TColor shadow = static_cast<TColor>(ColorToRGB(clBtnShadow));
    const TColor light = static_cast<TColor>(ColorToRGB(clBtnHighlight));
    const struct {
        TSpinButtonState State;
        int X, Y;
        TColor Expected;
    } samples[] = {
        {sbNotDown, 0, 0, frame},     {sbNotDown, 10, 9, frame},    {sbNotDown, 1, 5, light},
        {sbNotDown, 9, 9, shadow},    {sbNotDown, 10, 10, light},   {sbNotDown, 18, 10, shadow},
        {sbTopDown, 1, 5, shadow},    {sbTopDown, 9, 9, face},      {sbTopDown, 18, 10, shadow},
        {sbBottomDown, 18, 10, light}, {sbBottomDown, 10, 10, shadow}, {sbBottomDown, 10, 11, shadow},
        {sbBottomDown, 9, 9, shadow},
    };
    for (const auto& sample : samples) {
        button->SetDown(sample.State);
        PumpFor(5);
        TControlPicture picture(button);
        EXPECT_EQ(static_cast<TColor>(ColorToRGB(picture.At(sample.X, sample.Y))), sample.Expected)
            << "state " << sample.State << " at " << sample.X << "," << sample.Y;
    }
    button->SetDown(sbNotDown);
    PumpFor(5);
    TControlPicture picture(button);
    int upInk = 0;
    int downInk = 0;
    // The arrows' places: ([20/4 - 3] + 1, [20/4 - 3] + 1) and ([3 x 20/4 - 3] - 1, ...), 6 x 6.
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            upInk += static_cast<TColor>(ColorToRGB(picture.At(3 + x, 3 + y))) == clBlack;
            downInk += static_cast<TColor>(ColorToRGB(picture.At(11 + x, 11 + y))) == clBlack;
        }
    EXPECT_EQ(upInk, 9) << "the up arrow's nine black pixels";
    EXPECT_EQ(downInk, 9);
}

TEST(SpinButton, TheStandardKindIsAnUpDownControlSteppingOnceAPress)
{
    TSpinFixture fixture;
    fixture.Edit->SetButtonKind(bkStandard);
    ASSERT_EQ(fixture.Edit->SpinButton(), nullptr);
    TExUpDown* upDown = fixture.Edit->UpDown();
    ASSERT_NE(upDown, nullptr);
    EXPECT_EQ(upDown->Width(), std::min(GetSystemMetrics(SM_CXVSCROLL), 15));
    upDown->SetWidth(40);
    EXPECT_EQ(upDown->Width(), std::min(GetSystemMetrics(SM_CXVSCROLL), 15));
    upDown->Press(btNext);
    upDown->Press(btNext);
    upDown->Press(btNext);
    EXPECT_EQ(fixture.Edit->Text(), "3");
    EXPECT_EQ(upDown->Position(), 0);
    upDown->Press(btPrev);
    EXPECT_EQ(fixture.Edit->Text(), "2");
}

} // namespace SpinEditTest
