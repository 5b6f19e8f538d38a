// The date edit: typed dates under the mask, the empty and the default date, the date keys,
// the exit check, the popup calendar and the dialog style, the re-masking after a change of the
// date format, and hostile texts. Today is fixed through the layer's clock.

#include "ButtonsTestSupport.h"

#include "controls/ToolEdit.h"
#include "platform/gui/Application.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/gui/WindowHandles.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/TypInfo.h"

#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace DateEditTest {

struct TDateFixture {
    TButtonScene Scene;
    TDateEdit* Edit;
    TEdit* Other;
    int Changes = 0;
    std::vector<std::string> Errors;
    TExceptionEvent PreviousHandler;

    explicit TDateFixture(int formTop = 60) : Scene(360, 300, 60, formTop)
    {
        SetClock([] { return EncodeDate(2021, 3, 10) + 0.25; });
        Edit = new TDateEdit(Scene.Form());
        Edit->SetParent(Scene.Form());
        Edit->SetBounds(20, 20, 120, 21);
        Edit->OnChange = [this](TObject*) { ++Changes; };
        Other = new TEdit(Scene.Form());
        Other->SetParent(Scene.Form());
        Other->SetBounds(20, 250, 100, 21);
        PreviousHandler = Application->OnException;
        Application->OnException = [this](TObject*, Exception& E) { Errors.push_back(E.Message); };
        Scene.ShowAndActivate();
        Edit->SetFocus();
        PumpFor(10);
        Changes = 0;
    }
    ~TDateFixture()
    {
        Application->OnException = PreviousHandler;
        ResetClock();
    }
    void Type(const char* keys)
    {
        Edit->SelectAll();
        QTest::keyClicks(HostOf(Edit), keys);
        PumpFor(5);
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(HostOf(Edit), key, modifiers);
        PumpFor(5);
    }
};

TEST(DateEditTexts, TypedDatesTheEmptyMaskAndTheDefault)
{
    TDateFixture fixture;
    EXPECT_EQ(fixture.Edit->EditMask(), "!99/99/9999;1; ");
    EXPECT_EQ(fixture.Edit->GetDateFormat(), "DD/MM/YYYY");
    EXPECT_EQ(fixture.Edit->Text(), "  /  /    ");
    EXPECT_EQ(fixture.Edit->GetDate(), NullDate);
    fixture.Type("12122005");
    EXPECT_EQ(fixture.Edit->Text(), "12/12/2005");
    EXPECT_EQ(fixture.Edit->GetDate(), 38698);

    fixture.Edit->SetYearDigits(dyTwo);
    EXPECT_EQ(fixture.Edit->EditMask(), "!99/99/99;1; ");
    EXPECT_EQ(fixture.Edit->Text(), "12/12/05") << "the date is kept in the new format";
    fixture.Type("121205");
    EXPECT_EQ(fixture.Edit->GetDate(), 38698);
    fixture.Edit->SetYearDigits(dyFour);

    fixture.Type("1212");
    EXPECT_EQ(fixture.Edit->GetDate(), NullDate) << "a half-typed date reads the default";
    fixture.Edit->DefaultToday = true;
    EXPECT_EQ(fixture.Edit->GetDate(), EncodeDate(2021, 3, 10));
}

TEST(DateEditTexts, SettingTheDateByProgram)
{
    TDateFixture fixture;
    fixture.Edit->SetDate(EncodeDate(2005, 12, 12) + 0.75);
    EXPECT_EQ(fixture.Edit->Text(), "12/12/2005");
    EXPECT_EQ(fixture.Edit->GetDate(), 38698) << "no time";
    EXPECT_GE(fixture.Changes, 1) << "OnChange fires when the program sets the date";
    fixture.Edit->SetDate(NullDate);
    EXPECT_EQ(fixture.Edit->Text(), "  /  /    ");
    for (double hostile : {std::nan(""), std::numeric_limits<double>::infinity(), 1e300}) {
        fixture.Edit->SetDate(hostile);
        EXPECT_EQ(fixture.Edit->GetDate(), NullDate);
    }
    fixture.Edit->DefaultToday = true;
    fixture.Edit->SetDate(NullDate);
    EXPECT_EQ(fixture.Edit->Text(), "10/03/2021");

    TDateEdit fresh(fixture.Scene.Form());
    EXPECT_EQ(fresh.Text(), "  /  /    ");
    TDateEdit today(fixture.Scene.Form());
    today.DefaultToday = true;
    today.SetParent(fixture.Scene.Form());
    today.HandleNeeded();
    EXPECT_EQ(today.Text(), "10/03/2021") << "a new edit that defaults to today shows it";
}

TEST(DateEditKeys, PlusMinusAndTodayOnTheKeyboard)
{
    TDateFixture fixture;
    fixture.Key(Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(fixture.Edit->Text(), "11/03/2021") << "an empty edit steps from today";
    fixture.Key(Qt::Key_Minus, Qt::KeypadModifier);
    fixture.Key(Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(fixture.Edit->Text(), "09/03/2021");
    fixture.Edit->SetDate(NullDate);
    fixture.Key(Qt::Key_T);
    EXPECT_EQ(fixture.Edit->Text(), "10/03/2021");
}

TEST(DateEditExit, AHalfTypedDateRaisesOnlyWithCheckOnExit)
{
    TDateFixture fixture;
    fixture.Type("1212");
    ClickOn(fixture.Other);
    PumpFor(10);
    EXPECT_TRUE(fixture.Errors.empty());
    EXPECT_TRUE(fixture.Other->Focused());

    fixture.Edit->CheckOnExit = true;
    fixture.Edit->SetFocus();
    PumpFor(10);
    fixture.Type("3102");
    ClickOn(fixture.Other);
    PumpFor(10);
    ASSERT_EQ(fixture.Errors.size(), 1u);
    EXPECT_EQ(fixture.Errors[0], "'31/02/    ' is not a valid date");
    EXPECT_TRUE(fixture.Edit->Focused());
}

TEST(DateEditPopup, TheCalendarOpensOnTheTypedDateAndADayIsTakenOver)
{
    TDateFixture fixture;
    fixture.Type("12122005");
    fixture.Key(Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(fixture.Edit->PopupVisible());
    auto* popup = dynamic_cast<TPopupCalendar*>(fixture.Edit->Popup());
    ASSERT_NE(popup, nullptr);
    const TPoint edit = fixture.Edit->Parent()->ClientToScreen(Point(fixture.Edit->Left(), fixture.Edit->Top()));
    EXPECT_EQ(HostOf(popup)->geometry().top(), edit.Y + fixture.Edit->Height());
    TLocCalendar* calendar = popup->Calendar();
    EXPECT_EQ(calendar->CalendarDate(), 38698);
    fixture.Key(Qt::Key_PageDown);
    fixture.Key(Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(calendar->CalendarDate(), EncodeDate(2007, 1, 12));
    fixture.Key(Qt::Key_PageUp, Qt::ControlModifier);
    fixture.Key(Qt::Key_PageUp);
    EXPECT_EQ(calendar->CalendarDate(), 38698);
    const TRect day = calendar->CellRect(0, 2); // Monday 5 December 2005
    ClickOn(calendar, (day.Left + day.Right) / 2, (day.Top + day.Bottom) / 2);
    PumpFor(10);
    EXPECT_FALSE(fixture.Edit->PopupVisible());
    EXPECT_EQ(fixture.Edit->Text(), "05/12/2005");

    // The handler moves the chosen date a week on, or refuses it.
    bool refuse = false;
    fixture.Edit->OnAcceptDate = [&](TObject*, TDateTime& date, bool& action) {
        date += 7;
        action = !refuse;
    };
    fixture.Key(Qt::Key_Down, Qt::AltModifier);
    fixture.Key(Qt::Key_Return);
    EXPECT_EQ(fixture.Edit->Text(), "12/12/2005");
    refuse = true;
    fixture.Key(Qt::Key_Down, Qt::AltModifier);
    fixture.Key(Qt::Key_Return);
    EXPECT_EQ(fixture.Edit->Text(), "12/12/2005");

    fixture.Edit->SetDate(NullDate);
    fixture.Key(Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(calendar->CalendarDate(), EncodeDate(2021, 3, 10)) << "an empty text opens on today";
    fixture.Key(Qt::Key_Escape);
}

TEST(DateEditPopup, TheCalendarOpensAboveWhenThereIsNoRoomBelow)
{
    TDateFixture fixture(GetSystemMetrics(SM_CYSCREEN) - 100);
    fixture.Key(Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(fixture.Edit->PopupVisible());
    const TPoint edit = fixture.Edit->Parent()->ClientToScreen(Point(fixture.Edit->Left(), fixture.Edit->Top()));
    const QRect popup = HostOf(fixture.Edit->Popup())->geometry();
    EXPECT_EQ(popup.top(), edit.Y - popup.height());
    fixture.Key(Qt::Key_Escape);
}

TEST(DateEditDialog, TheDialogStyleTakesTheNextMonthAfterPageDownAndOk)
{
    TDateFixture fixture;
    fixture.Edit->SetCalendarStyle(csDialog);
    EXPECT_EQ(fixture.Edit->Popup(), nullptr);
    fixture.Edit->SetDate(EncodeDate(2005, 12, 12));
    SetModalStartHook([](TCustomForm* form) {
        QTimer::singleShot(20, [form] {
            QTest::keyClick(HostOf(form), Qt::Key_PageDown);
            PumpFor(5);
            QTest::keyClick(HostOf(form), Qt::Key_Return);
        });
    });
    fixture.Edit->DoClick();
    SetModalStartHook(nullptr);
    EXPECT_EQ(fixture.Edit->Text(), "12/01/2006");
}

TEST(DateEditFormat, ANewDateFormatRemasksTheHookedEdit)
{
    TDateFixture fixture;
    fixture.Edit->SetDate(38698);
    const std::string previous = FormatSettings().ShortDateFormat;
    FormatSettings().ShortDateFormat = "yyyy/mm/dd";
    SendMessageA(Application->Handle(), WM_WININICHANGE, 0, 0);
    PumpFor(5);
    const std::string shown = fixture.Edit->Text();
    const TDateTime read = fixture.Edit->GetDate();
    FormatSettings().ShortDateFormat = previous;
    DateFormatChanged();
    EXPECT_EQ(shown, "2005/12/12");
    EXPECT_EQ(read, 38698);
    EXPECT_EQ(fixture.Edit->Text(), "12/12/2005");
}

TEST(DateEditBadInput, HostileTextsReadTheDefault)
{
    TDateFixture fixture;
    for (const char* text : {"99999999", "31022005", "00000000"}) {
        fixture.Type(text);
        EXPECT_EQ(fixture.Edit->GetDate(), NullDate) << text;
        EXPECT_THROW(fixture.Edit->CheckValidDate(), EConvertError) << text;
    }
    Clipboard()->SetAsText("abcdefgh");
    fixture.Edit->SelectAll();
    fixture.Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(fixture.Edit->GetDate(), NullDate);
    fixture.Edit->TCustomEdit::SetText(std::string(10000, '7'));
    EXPECT_EQ(fixture.Edit->GetDate(), NullDate);

    auto hints = std::make_unique<TStringList>();
    for (int i = 0; i < 10; ++i)
        hints->Add("Suggerimento " + std::to_string(i));
    fixture.Edit->SetCalendarHints(hints.get());
    EXPECT_EQ(fixture.Edit->CalendarHints()->Count(), 4);
}

TEST(DateEditProperties, TheStoredSettingsArePublished)
{
    TDateFixture fixture;
    SetOrdProp(fixture.Edit, "YearDigits", dyTwo);
    EXPECT_EQ(fixture.Edit->EditMask(), "!99/99/99;1; ");
    SetOrdProp(fixture.Edit, "DefaultToday", 1);
    EXPECT_TRUE(fixture.Edit->DefaultToday);
    SetOrdProp(fixture.Edit, "CalendarStyle", csDialog);
    EXPECT_EQ(fixture.Edit->Popup(), nullptr);
    EXPECT_EQ(GetPropInfo(fixture.Edit, "Date"), nullptr) << "the date is public, not published";

    SetOrdProp(fixture.Edit, "BlanksChar", '_');
    EXPECT_EQ(fixture.Edit->BlanksChar(), '_');
    SetOrdProp(fixture.Edit, "PopupColor", clYellow);
    EXPECT_EQ(fixture.Edit->PopupColor(), clYellow);
    SetOrdProp(fixture.Edit, "Weekends", (1 << Sat) | (1 << Sun));
    EXPECT_TRUE(fixture.Edit->Weekends().Contains(Sat));
    EXPECT_EQ(GetOrdProp(fixture.Edit, "Weekends"), (1 << Sat) | (1 << Sun));
    TStringList hints;
    hints.Add("Oggi");
    SetObjectProp(fixture.Edit, GetPropInfo(fixture.Edit, "CalendarHints"), &hints);
    EXPECT_EQ(fixture.Edit->CalendarHints()->Strings(0), "Oggi");
}

} // namespace DateEditTest
