// The calculator: its engine in both layouts driven by typed keys, the memory, the popup a
// calculator edit drops down (keys, mouse, accepting and refusing) and the dialog run by
// TExCalculator with its clipboard keys.

#include "ButtonsTestSupport.h"
#include "CalculatorTestSupport.h"

#include "controls/CurrEdit.h"
#include "controls/ExCalc.h"
#include "platform/gui/Application.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/Grab.h"
#include "platform/gui/WindowFunctions.h"

#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace CalculatorTest {

struct TSequence {
    const char* Keys;
    const char* Display;
    int Beeps;
};

// Keys as typed: "\b" backspace, "\x1B" Escape, "\r" Enter.
const TSequence Sequences[] = {
    {"2+3*4=", "20", 0},
    {"200+10%", "220", 0},
    {"200*10%", "20", 0},
    {"2+3==", "5", 0},
    {"1.5+1,5=", "3", 0},
    {"7-10=", "-3", 0},
    {"4R", "0,25", 0},
    {"9Q", "3", 0},
    {"5/0=", "Error", 1},
    {"5/0=7+3=", "Error", 1},
    {"5/0=C", "0", 1},
    {"5/0=\x1B" "4", "4", 1},
    {"R", "Error", 1},
    {"5_Q", "Error", 1},
    {"123456789012345", "123456789012345", 0},
    {"1234567890123456", "123456789012345", 1},
    {"12345678901234_5", "-123456789012345", 0},
    {"12345678901234_56", "-123456789012345", 1},
    {"5_\b", "0", 0},
    {"123\b", "12", 0},
    {"12\r", "12", 0},
    {"3*2\r+1=", "7", 0},
};

TEST(CalculatorEngine, KeySequencesGiveTheSameDisplayInBothLayouts)
{
    TBeepCounter beeps;
    for (TCalculatorLayout layout : {clPopup, clDialog}) {
        TForm host(nullptr);
        for (const TSequence& sequence : Sequences) {
            auto* panel = new TCalculatorPanel(&host, layout);
            panel->SetParent(&host);
            beeps.Count = 0;
            for (const char* key = sequence.Keys; *key; ++key)
                panel->CalcKeyPress(*key);
            EXPECT_EQ(panel->Text(), sequence.Display) << sequence.Keys << (layout == clPopup ? " popup" : " dialog");
            EXPECT_EQ(beeps.Count, sequence.Beeps) << sequence.Keys;
            TComponent::Free(panel);
        }
    }
}

TEST(CalculatorEngine, AfterAnErrorOnlyClearIsTakenAndTheDisplayReadsZero)
{
    TForm host(nullptr);
    auto* panel = new TCalculatorPanel(&host, clPopup);
    panel->SetParent(&host);
    for (char key : std::string("8/0="))
        panel->CalcKeyPress(key);
    ASSERT_EQ(panel->Status(), csError);
    EXPECT_EQ(panel->DisplayValue(), 0);
    for (char key : std::string("123+_.\bQR%="))
        panel->CalcKey(key);
    EXPECT_EQ(panel->Text(), "Error");
    panel->CalcKey('c');
    EXPECT_EQ(panel->Status(), csFirst);
    EXPECT_EQ(panel->Text(), "0");
}

TEST(CalculatorEngine, MemoryKeysAndTheirIndicator)
{
    TForm host(nullptr);
    auto* panel = new TCalculatorPanel(&host, clDialog);
    panel->SetParent(&host);
    ASSERT_NE(panel->MemoryLabel(), nullptr);
    EXPECT_EQ(panel->MemoryLabel()->Caption(), "");
    panel->CalcKeyPress('5');
    panel->KeyButtonClick(cbMS);
    EXPECT_EQ(panel->Memory(), 5);
    EXPECT_EQ(panel->MemoryLabel()->Caption(), "M");
    panel->CalcKeyPress('3');
    EXPECT_EQ(panel->Text(), "3") << "a memory key ends the number being typed";
    panel->KeyButtonClick(cbMP);
    EXPECT_EQ(panel->Memory(), 8);
    panel->CalcKeyPress('C');
    panel->KeyButtonClick(cbMR);
    EXPECT_EQ(panel->Text(), "8");
    panel->KeyButtonClick(cbMC);
    EXPECT_EQ(panel->Memory(), 0);
    EXPECT_EQ(panel->MemoryLabel()->Caption(), "");
}

TEST(CalculatorEngine, PastedTextsBecomeANumberOrZeroWithinThePrecision)
{
    TForm host(nullptr);
    auto* panel = new TCalculatorPanel(&host, clDialog);
    panel->SetParent(&host);
    const struct {
        std::string Clip;
        std::string Display;
    } pastes[] = {
        {"\x80 12,5", "12,5"},
        {"abc", "0"},
        {"  -3  ", "-3"},
        {"1e999", "0"},
        {std::string(1 << 20, '7'), "0"},
        {"1" + std::string(40, '0'), "1E40"},
    };
    for (const auto& paste : pastes) {
        Clipboard()->SetAsText(paste.Clip);
        panel->CalcKeyPress('\x16');
        EXPECT_EQ(panel->Text(), paste.Display) << paste.Clip.substr(0, 20);
        EXPECT_LE(panel->Text().size(), 21u);
    }
    panel->CalcKeyPress('\x03');
    EXPECT_EQ(Clipboard()->AsText(), panel->Text());

    // A result beyond the doubles is an error, not a text the next key cannot read.
    Clipboard()->SetAsText("1E305");
    panel->CalcKeyPress('\x16');
    for (char key : std::string("*100000="))
        panel->CalcKeyPress(key);
    EXPECT_EQ(panel->Text(), "Error");
    EXPECT_EQ(panel->Status(), csError);
}

// --- Popup ---------------------------------------------------------------------------------------

struct TCalcEditFixture {
    TButtonScene Scene;
    TExCalcEdit* Edit;
    TEdit* Other;
    int Changes = 0;
    TBeepCounter Beeps;

    TCalcEditFixture() : Scene(360, 260)
    {
        Edit = new TExCalcEdit(Scene.Form());
        Edit->SetParent(Scene.Form());
        Edit->SetBounds(150, 20, 120, 21);
        Edit->SetValue(12);
        Edit->OnChange = [this](TObject*) { ++Changes; };
        Other = new TEdit(Scene.Form());
        Other->SetParent(Scene.Form());
        Other->SetBounds(20, 200, 100, 21);
        Scene.ShowAndActivate();
        Edit->SetFocus();
        PumpFor(10);
        Changes = 0;
    }
    TPopupCalculator* Popup() const { return dynamic_cast<TPopupCalculator*>(Edit->Popup()); }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(HostOf(Edit), key, modifiers);
        PumpFor(5);
    }
    void Type(const char* keys)
    {
        QTest::keyClicks(HostOf(Edit), keys);
        PumpFor(5);
    }
    void Open()
    {
        Key(Qt::Key_Down, Qt::AltModifier);
        ASSERT_TRUE(Edit->PopupVisible());
    }
};

TEST(CalculatorPopup, AltDownOpensBelowTheEditWithTheEditsNumberAndEnterTakesTheResult)
{
    TCalcEditFixture fixture;
    fixture.Open();
    TPopupCalculator* popup = fixture.Popup();
    ASSERT_NE(popup, nullptr);
    const TPoint edit = fixture.Edit->Parent()->ClientToScreen(Point(fixture.Edit->Left(), fixture.Edit->Top()));
    EXPECT_EQ(HostOf(popup)->geometry().topLeft(), QPoint(edit.X + 120 - 104, edit.Y + 21));
    EXPECT_EQ(popup->GetPopupText(), "12");

    TBitmap before;
    ASSERT_TRUE(GrabToBitmap(fixture.Edit, &before));
    fixture.Type("+8");
    EXPECT_EQ(popup->GetPopupText(), "8");
    EXPECT_EQ(fixture.Edit->Text(), "12") << "the keys went to the calculator";
    TBitmap typing;
    ASSERT_TRUE(GrabToBitmap(fixture.Edit, &typing));
    EXPECT_TRUE(GrabToPng(fixture.Edit, ButtonsPictureDir() + "/calc-edit-typing.png"));
    EXPECT_FALSE(SamePixels(before, typing)) << "the edit paints the calculator's display";
    EXPECT_EQ(fixture.Changes, 0);

    fixture.Key(Qt::Key_Return);
    EXPECT_FALSE(fixture.Edit->PopupVisible());
    EXPECT_EQ(fixture.Edit->Text(), "20");
    EXPECT_TRUE(fixture.Edit->Modified());
    EXPECT_EQ(fixture.Changes, 1);
    EXPECT_EQ(fixture.Edit->GetValue(), 20);
    EXPECT_EQ(fixture.Beeps.Count, 0);
}

TEST(CalculatorPopup, EscapeClosesWithoutChangeAndAnErrorIsNotAccepted)
{
    TCalcEditFixture fixture;
    fixture.Open();
    fixture.Type("*3");
    fixture.Key(Qt::Key_Escape);
    EXPECT_FALSE(fixture.Edit->PopupVisible());
    EXPECT_EQ(fixture.Edit->Text(), "12");
    EXPECT_EQ(fixture.Changes, 0);

    fixture.Open();
    fixture.Type("/0=");
    EXPECT_EQ(fixture.Popup()->GetPopupText(), "Error");
    EXPECT_EQ(fixture.Beeps.Count, 1);
    fixture.Key(Qt::Key_Return);
    EXPECT_EQ(fixture.Beeps.Count, 2) << "accepting the error beeps";
    EXPECT_TRUE(fixture.Edit->PopupVisible());
    fixture.Type("=");
    EXPECT_TRUE(fixture.Edit->PopupVisible());
    fixture.Key(Qt::Key_Escape);
    EXPECT_FALSE(fixture.Edit->PopupVisible());
    EXPECT_EQ(fixture.Edit->Text(), "12");
    EXPECT_EQ(fixture.Changes, 0);
}

TEST(CalculatorPopup, TheMouseWorksTheKeysOfAPanelThatNeverTakesTheFocus)
{
    TCalcEditFixture fixture;
    fixture.Open();
    TLocCalculator* calculator = fixture.Popup()->Calculator();
    EXPECT_FALSE(calculator->Enabled());
    EXPECT_TRUE(IsWindowEnabled(calculator->Handle()));
    TCalcButton* seven = calculator->FindKeyButton('7');
    TCalcButton* plus = calculator->FindKeyButton('+');
    TCalcButton* equals = calculator->FindKeyButton('=');
    ASSERT_TRUE(seven && plus && equals);
    ClickOn(seven);
    PumpFor(5);
    EXPECT_EQ(fixture.Popup()->GetPopupText(), "7");
    EXPECT_TRUE(fixture.Edit->Focused());
    ClickOn(plus);
    ClickOn(seven);
    ClickOn(equals);
    PumpFor(5);
    EXPECT_FALSE(fixture.Edit->PopupVisible()) << "= accepts";
    EXPECT_EQ(fixture.Edit->Text(), "14");
    EXPECT_EQ(fixture.Changes, 1);
}

TEST(CalculatorPopup, AnEditWithoutItsButtonNeverOpensTheCalculator)
{
    TCalcEditFixture fixture;
    fixture.Edit->SetButtonWidth(0);
    fixture.Key(Qt::Key_Down, Qt::AltModifier);
    EXPECT_FALSE(fixture.Edit->PopupVisible());
}

// --- Dialog --------------------------------------------------------------------------------------

// Runs the dialog with script started from a single-shot timer once the dialog shows.
bool RunDialog(TExCalculator& calculator, std::function<void(TExCalculatorForm*)> script)
{
    SetModalStartHook([&](TCustomForm*) {
        QTimer::singleShot(20, [&] { script(calculator.Dialog()); });
    });
    const bool result = calculator.Execute();
    SetModalStartHook(nullptr);
    return result;
}

void TypeInto(TExCalculatorForm* form, const char* keys)
{
    QTest::keyClicks(HostOf(form), keys);
    PumpFor(5);
}

void PressKey(TExCalculatorForm* form, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(HostOf(form), key, modifiers);
    PumpFor(5);
}

TCalcButton* KindButton(TExCalculatorForm* form, TCalcBtnKind kind)
{
    TCalculatorPanel* panel = form->CalcPanel();
    for (int i = 0; i < panel->ControlCount(); ++i)
        if (auto* button = dynamic_cast<TCalcButton*>(panel->Controls(i)); button && button->Kind() == kind)
            return button;
    return nullptr;
}

TEST(CalculatorDialog, AScriptedRunTakesTheDisplayAndKeepsTheMemoryForTheNextRun)
{
    TExCalculator calculator(nullptr);
    int changes = 0;
    calculator.OnChange = [&](TObject*) { ++changes; };
    std::string shown;
    const bool accepted = RunDialog(calculator, [&](TExCalculatorForm* form) {
        TypeInto(form, "6*7");
        PressKey(form, Qt::Key_Return);
        shown = form->DisplayLabel()->Caption();
        EXPECT_TRUE(form->Visible()) << "Enter computes without closing";
        ClickOn(KindButton(form, cbMS));
        ClickOn(KindButton(form, cbOk));
    });
    EXPECT_TRUE(accepted);
    EXPECT_EQ(shown, "42");
    EXPECT_EQ(calculator.Value, 42);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(calculator.Memory(), 42);
    EXPECT_EQ(calculator.Dialog(), nullptr);

    std::string indicator;
    std::string display;
    const bool second = RunDialog(calculator, [&](TExCalculatorForm* form) {
        indicator = form->CalcPanel()->MemoryLabel()->Caption();
        display = form->DisplayLabel()->Caption();
        PressKey(form, Qt::Key_Escape);
        EXPECT_TRUE(form->Visible()) << "Escape clears, it does not close";
        EXPECT_EQ(form->DisplayLabel()->Caption(), "0");
        ClickOn(KindButton(form, cbCancel));
    });
    EXPECT_FALSE(second);
    EXPECT_EQ(indicator, "M");
    EXPECT_EQ(display, "42");
    EXPECT_EQ(calculator.Value, 42);
    EXPECT_EQ(changes, 1);
}

TEST(CalculatorDialog, ClipboardKeysCopyAndPasteTheDisplay)
{
    TExCalculator calculator(nullptr);
    std::vector<std::string> displays;
    RunDialog(calculator, [&](TExCalculatorForm* form) {
        TypeInto(form, "125");
        PressKey(form, Qt::Key_C, Qt::ControlModifier);
        displays.push_back(Clipboard()->AsText());
        Clipboard()->SetAsText("\x80 12,5");
        PressKey(form, Qt::Key_V, Qt::ControlModifier);
        displays.push_back(form->DisplayLabel()->Caption());
        Clipboard()->SetAsText("abc");
        PressKey(form, Qt::Key_V, Qt::ControlModifier);
        displays.push_back(form->DisplayLabel()->Caption());
        ClickOn(KindButton(form, cbOk));
    });
    EXPECT_EQ(displays, (std::vector<std::string>{"125", "12,5", "0"}));
}

TEST(CalculatorDialog, OkIsRefusedWithABeepWhileTheDisplayShowsAnError)
{
    TExCalculator calculator(nullptr);
    TBeepCounter beeps;
    bool stillOpen = false;
    const bool accepted = RunDialog(calculator, [&](TExCalculatorForm* form) {
        TypeInto(form, "1/0=");
        ClickOn(KindButton(form, cbOk));
        PumpFor(5);
        stillOpen = form->Visible();
        ClickOn(KindButton(form, cbCancel));
    });
    EXPECT_FALSE(accepted);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(beeps.Count, 2);
}

} // namespace CalculatorTest
