// The number and currency edits: typing, the two displays, clipping and the range check on
// leaving, reading texts, pasting, thousands while typing, hostile texts and the published
// properties.

#include "ButtonsTestSupport.h"
#include "CalculatorTestSupport.h"

#include "controls/CurrEdit.h"
#include "platform/gui/Application.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/Grab.h"
#include "platform/rtl/TypInfo.h"

#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

namespace NumEditTest {

// A number edit and a plain edit to move the focus to, on a shown form.
template <class TNumEdit>
struct TNumFixture {
    TButtonScene Scene;
    TNumEdit* Edit;
    TEdit* Other;
    TBeepCounter Beeps;
    std::vector<std::string> Errors;
    TExceptionEvent PreviousHandler;

    TNumFixture() : Scene(360, 200)
    {
        Edit = new TNumEdit(Scene.Form());
        Edit->SetParent(Scene.Form());
        Edit->SetBounds(20, 20, 160, 21);
        Edit->Font()->SetName("Arial");
        Edit->Font()->SetSize(9);
        Other = new TEdit(Scene.Form());
        Other->SetParent(Scene.Form());
        Other->SetBounds(20, 100, 100, 21);
        PreviousHandler = Application->OnException;
        Application->OnException = [this](TObject*, Exception& E) { Errors.push_back(E.Message); };
        Scene.ShowAndActivate();
        Edit->SetFocus();
        PumpFor(10);
    }
    ~TNumFixture() { Application->OnException = PreviousHandler; }
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
    // A click on the other edit, as the user leaves.
    void Leave()
    {
        ClickOn(Other);
        PumpFor(10);
    }
};

using TCalcEditFixture = TNumFixture<TExCalcEdit>;

struct TInk {
    int first = -1;
    int last = -1;
};

// The first and last columns with ink other than the background inside the text area.
TInk InkColumns(TWinControl* edit, int textRight)
{
    TBitmap picture;
    EXPECT_TRUE(GrabToBitmap(edit, &picture));
    const TRect client = edit->ClientRectInWindow();
    const TColor background = static_cast<TColor>(ColorToRGB(edit->Color()));
    int first = -1;
    int last = -1;
    for (int x = client.Left; x < client.Left + textRight; ++x)
        for (int y = client.Top + 2; y < client.Bottom - 2; ++y)
            if (picture.Canvas()->Pixels(x, y) != background) {
                if (first < 0)
                    first = x - client.Left;
                last = x - client.Left;
            }
    return TInk{first, last};
}

TEST(NumEditTyping, ADotTypesTheCommaAndLeavingShowsTheFormattedValueRightAligned)
{
    TCalcEditFixture fixture;
    fixture.Edit->SetButtonWidth(0);
    fixture.Edit->SetDisplayFormat(",0.00");
    fixture.Type("1234.5");
    EXPECT_EQ(fixture.Edit->Text(), "1234,5");
    EXPECT_EQ(fixture.Edit->GetValue(), 1234.5);
    const auto focusedInk = InkColumns(fixture.Edit, fixture.Edit->ClientWidth());
    EXPECT_LT(focusedInk.first, 10) << "typing is left-aligned";

    fixture.Leave();
    EXPECT_FALSE(fixture.Edit->Focused());
    EXPECT_EQ(fixture.Edit->GetDisplayText(), "1.234,50");
    EXPECT_EQ(fixture.Edit->Text(), "1234,5");
    fixture.Edit->Repaint();
    PumpFor(10);
    EXPECT_TRUE(GrabToPng(fixture.Edit, ButtonsPictureDir() + "/num-edit-left.png"));
    const auto ink = InkColumns(fixture.Edit, fixture.Edit->ClientWidth());
    TBitmap sample;
    sample.Canvas()->Font()->Assign(fixture.Edit->Font());
    const int width = sample.Canvas()->TextWidth("1.234,50");
    EXPECT_GT(ink.first, fixture.Edit->ClientWidth() - width - 12) << "right-aligned";
    EXPECT_GE(ink.last - ink.first + 1, width - 3) << "the wider formatted text is painted";
    EXPECT_EQ(fixture.Beeps.Count, 0);
}

TEST(NumEditTyping, DecimalPlacesLimitTheDigitsAfterTheComma)
{
    TCalcEditFixture fixture;
    fixture.Type("1,234");
    EXPECT_EQ(fixture.Edit->Text(), "1,23");
    EXPECT_EQ(fixture.Beeps.Count, 1);

    fixture.Edit->SetDecimalPlaces(0);
    fixture.Edit->SetValue(0);
    fixture.Edit->SelectAll();
    fixture.Beeps.Count = 0;
    fixture.Type("5,3");
    EXPECT_EQ(fixture.Edit->Text(), "5,");
    EXPECT_EQ(fixture.Beeps.Count, 1);
    fixture.Type("x");
    EXPECT_EQ(fixture.Beeps.Count, 2);
}

TEST(NumEditRange, MinusIsRefusedAndLeavingClipsOrRaisesTheRangeMessage)
{
    TCalcEditFixture fixture;
    fixture.Edit->SetMinValue(0);
    fixture.Edit->SetMaxValue(100);
    fixture.Type("-");
    EXPECT_EQ(fixture.Edit->Text(), "");
    EXPECT_EQ(fixture.Beeps.Count, 1);

    fixture.Type("150");
    fixture.Leave();
    EXPECT_TRUE(fixture.Errors.empty());
    EXPECT_EQ(fixture.Edit->GetValue(), 100);
    EXPECT_EQ(fixture.Edit->Text(), "100");

    fixture.Edit->CheckOnExit = true;
    fixture.Edit->SetFocus();
    PumpFor(10);
    fixture.Edit->SelectAll();
    fixture.Type("150");
    fixture.Leave();
    ASSERT_EQ(fixture.Errors.size(), 1u);
    EXPECT_EQ(fixture.Errors[0], "Value must be between 0,00 and 100,00");
    EXPECT_TRUE(fixture.Edit->Focused());
    EXPECT_EQ(fixture.Edit->Text(), "150");
    EXPECT_EQ(fixture.Edit->SelStart(), 0);
    EXPECT_EQ(fixture.Edit->SelLength(), 3);
    // Typing goes on in the edit: the user mends the number and leaves.
    fixture.Type("99");
    fixture.Leave();
    EXPECT_EQ(fixture.Errors.size(), 1u);
    EXPECT_TRUE(fixture.Other->Focused());
    EXPECT_EQ(fixture.Edit->GetValue(), 99);
}

TEST(NumEditRange, ClippingByTheBoundsThatApply)
{
    TForm form(nullptr);
    const struct {
        double Min, Max, Set, Expected;
    } rows[] = {
        {5, 5, -7, -7}, {5, 5, 1e6, 1e6}, {0, 100, 150, 100}, {0, 100, -3, 0},
        {10, 0, 3, 10}, {10, 0, 300, 300}, {0, -10, 5, -10}, {0, -10, -50, -50}, {10, -10, 0, 0},
    };
    for (const auto& row : rows) {
        auto* edit = new TExCalcEdit(&form);
        edit->SetMinValue(row.Min);
        edit->SetMaxValue(row.Max);
        edit->SetValue(row.Set);
        EXPECT_EQ(edit->GetValue(), row.Expected) << row.Min << ".." << row.Max << " set " << row.Set;
        TComponent::Free(edit);
    }
}

TEST(NumEditTexts, ZeroEmptyEmptyMinusAndTruncation)
{
    TForm form(nullptr);
    TExCalcEdit edit(&form);
    edit.SetValue(0);
    EXPECT_EQ(edit.Text(), "");
    edit.SetZeroEmpty(false);
    EXPECT_EQ(edit.Text(), "0");
    edit.SetText("");
    EXPECT_EQ(edit.GetValue(), 0);
    EXPECT_EQ(TextToValText(""), "0");
    EXPECT_EQ(TextToValText("-"), "-0");
    edit.TCustomEdit::SetText("-");
    EXPECT_EQ(edit.GetValue(), 0);
    EXPECT_TRUE(std::signbit(edit.GetValue())) << "a lone minus reads as -0";
    edit.SetText("-");
    EXPECT_EQ(edit.Text(), "0");
    edit.SetValue(2.7);
    EXPECT_EQ(edit.AsInteger(), 2);
    edit.SetValue(-2.7);
    EXPECT_EQ(edit.AsInteger(), -2);
    edit.SetText("1.234,5");
    EXPECT_EQ(edit.GetValue(), 1234.5);
    edit.SetText("1234.5");
    EXPECT_EQ(edit.GetValue(), 12345) << "the dot is the thousands separator";
    edit.SetDecimalPlaces(3);
    edit.SetValue(1.23456);
    EXPECT_EQ(edit.Text(), "1,235");
    edit.SetDisplayFormat("0.0");
    EXPECT_EQ(edit.GetDisplayText(), "1,2");
    edit.SetDisplayFormat("");
    EXPECT_EQ(edit.GetDisplayText(), "1,23456");
}

TEST(NumEditPaste, AFailedPasteKeepsTheTextSelectsAllAndBeepsOnce)
{
    TCalcEditFixture fixture;
    fixture.Type("42");
    Clipboard()->SetAsText("abc");
    fixture.Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(fixture.Edit->Text(), "42");
    EXPECT_EQ(fixture.Edit->SelLength(), 2);
    EXPECT_EQ(fixture.Beeps.Count, 1);

    Clipboard()->SetAsText("1.234,5");
    fixture.Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(fixture.Edit->GetValue(), 1234.5);
    EXPECT_EQ(fixture.Beeps.Count, 1);
}

TEST(NumEditTyping, FormatOnEditingGroupsThousandsWhileTyping)
{
    TCalcEditFixture fixture;
    fixture.Edit->SetFormatOnEditing(true);
    fixture.Type("1234567");
    EXPECT_EQ(fixture.Edit->Text(), "1.234.567");
    EXPECT_EQ(fixture.Edit->SelStart(), 9);
    fixture.Type(",5");
    EXPECT_EQ(fixture.Edit->Text(), "1.234.567,5");
    EXPECT_EQ(fixture.Edit->GetValue(), 1234567.5);
    fixture.Key(Qt::Key_Backspace);
    fixture.Key(Qt::Key_Backspace);
    fixture.Key(Qt::Key_Backspace);
    EXPECT_EQ(fixture.Edit->Text(), "123.456");
}

TEST(NumEditTyping, EscapePutsTheLastValueBack)
{
    TCalcEditFixture fixture;
    fixture.Edit->SetValue(7);
    fixture.Edit->SelectAll();
    fixture.Type("99");
    fixture.Key(Qt::Key_Escape);
    EXPECT_EQ(fixture.Edit->Text(), "7");
    EXPECT_EQ(fixture.Edit->SelLength(), 1);
}

TEST(CurrencyEdit, TheCurrencyFormatShowsTheEuroSign)
{
    TNumFixture<TCurrencyEdit> fixture;
    EXPECT_EQ(fixture.Edit->ButtonWidth(), 0);
    EXPECT_EQ(fixture.Edit->DisplayFormat(), "\x80 ,0.00;-\x80 ,0.00");
    EXPECT_FALSE(fixture.Edit->DisplayFormatStored());
    fixture.Edit->SetValue(1234.5);
    EXPECT_EQ(fixture.Edit->GetDisplayText(), "\x80 1.234,50");
    fixture.Edit->SetValue(-5);
    EXPECT_EQ(fixture.Edit->GetDisplayText(), "-\x80 5,00");

    fixture.Leave();
    fixture.Edit->Repaint();
    PumpFor(10);
    EXPECT_TRUE(GrabToPng(fixture.Edit, ButtonsPictureDir() + "/currency-edit.png"));
    TBitmap painted;
    ASSERT_TRUE(GrabToBitmap(fixture.Edit, &painted));
    // The same text drawn by hand at the place a right-aligned display puts it.
    const auto ink = InkColumns(fixture.Edit, fixture.Edit->ClientWidth());
    TBitmap sample;
    sample.Canvas()->Font()->Assign(fixture.Edit->Font());
    EXPECT_NEAR(ink.last - ink.first + 1, sample.Canvas()->TextWidth("-\x80 5,00"), 3);
}

TEST(NumEditBadInput, HostileTextsAreRefusedAndNeverStored)
{
    TCalcEditFixture fixture;
    fixture.Edit->SetMinValue(-1);
    fixture.Edit->SetMaxValue(1e300);
    const std::string hostile[] = {std::string(10000, '9'), "1e999", "NaN", "--5", "1,2,3", "\x80\x80", "inf", "1e-999x"};
    for (const std::string& text : hostile) {
        fixture.Edit->SetValue(3);
        EXPECT_THROW(fixture.Edit->SetText(text), EConvertError) << text.substr(0, 12);
        EXPECT_EQ(fixture.Edit->GetValue(), 3);

        fixture.Beeps.Count = 0;
        Clipboard()->SetAsText(text);
        fixture.Edit->SelectAll();
        fixture.Key(Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(fixture.Edit->Text(), "3") << text.substr(0, 12);
        EXPECT_EQ(fixture.Beeps.Count, 1);

        fixture.Edit->TCustomEdit::SetText(text);
        EXPECT_EQ(fixture.Edit->GetValue(), -1) << "an unconvertible text reads as MinValue";
        EXPECT_TRUE(std::isfinite(fixture.Edit->GetValue()));
    }
    fixture.Edit->SetValue(std::nan(""));
    EXPECT_EQ(fixture.Edit->GetValue(), -1);
}

TEST(NumEditBadInput, ManyDecimalsAndALongDisplayFormatStillFormat)
{
    TForm form(nullptr);
    TExCalcEdit edit(&form);
    edit.SetDecimalPlaces(16);
    edit.SetValue(1.0 / 3);
    EXPECT_EQ(edit.Text().substr(0, 8), "0,333333");
    std::string format = ",0.";
    format += std::string(197, '#');
    edit.SetDisplayFormat(format);
    EXPECT_EQ(edit.DisplayFormat().size(), 200u);
    EXPECT_EQ(edit.GetDisplayText().substr(0, 8), "0,333333");
    edit.SetValue(1e300);
    EXPECT_FALSE(edit.GetDisplayText().empty());
}

TEST(NumEditBinding, ValueTextAndFormatThroughThePublishedProperties)
{
    TForm form(nullptr);
    TExCalcEdit edit(&form);
    SetFloatProp(&edit, "Value", 12.5);
    EXPECT_EQ(edit.Text(), "12,5");
    EXPECT_EQ(GetFloatProp(&edit, "Value"), 12.5);
    SetOrdProp(&edit, "DecimalPlaces", 5);
    SetStrProp(&edit, "DisplayFormat", ",0.#####");
    edit.SetValue(1234.123456);
    EXPECT_EQ(edit.Text(), "1234,12346");
    EXPECT_EQ(edit.GetDisplayText(), "1.234,12346");
    SetFloatProp(&edit, "MaxValue", 100);
    EXPECT_EQ(GetFloatProp(&edit, "Value"), 100);
    EXPECT_EQ(GetOrdProp(&edit, "ZeroEmpty"), 1);
    EXPECT_EQ(GetStrProp(&edit, "DisplayFormat"), ",0.#####");

    SetOrdProp(&edit, "ButtonWidth", 0);
    EXPECT_EQ(edit.ButtonWidth(), 0);
    EXPECT_EQ(GetEnumName(GetPropInfo(&edit, "PopupAlign")->PropType, static_cast<int>(GetOrdProp(&edit, "PopupAlign"))),
              "epaRight");

    TCurrencyEdit currency(&form);
    EXPECT_EQ(GetPropInfo(&currency, "ButtonWidth"), nullptr) << "the currency edit has no button to store";
    SetFloatProp(&currency, "Value", 3);
    EXPECT_EQ(currency.GetDisplayText(), "\x80 3,00");
}

} // namespace NumEditTest
