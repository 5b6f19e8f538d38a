// The month calendar: where the days lie, the day names, weekend colours and today's frame in
// pixels, month and year steps, keys, the read-only calendar, the popup's clicks and keys and
// the date dialog. Today is fixed through the layer's clock.

#include "ButtonsTestSupport.h"

#include "controls/PickDate.h"
#include "controls/ToolEdit.h"
#include "platform/gui/Application.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Screen.h"
#include "platform/rtl/DateTime.h"

#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace CalendarTest {

// Today is 10 March 2021 (a Wednesday) while it lives.
struct TFixedToday {
    TFixedToday() { SetClock([] { return EncodeDate(2021, 3, 10) + 0.5; }); }
    ~TFixedToday() { ResetClock(); }
};

TEST(CalendarCells, DaysLieUnderTheirWeekdaysWithMondayFirst)
{
    TFixedToday today;
    TForm form(nullptr);
    TExCalendar calendar(&form);
    EXPECT_EQ(calendar.CalendarDate(), EncodeDate(2021, 3, 10)) << "a new calendar starts at today";
    const char* names[] = {"lun", "mar", "mer", "gio", "ven", "sab", "dom"};
    for (int c = 0; c < 7; ++c)
        EXPECT_EQ(calendar.CellText(c, 0), names[c]);
    calendar.SetCalendarDate(EncodeDate(2021, 3, 15));
    EXPECT_EQ(calendar.CellText(0, 1), "1") << "1 March 2021 was a Monday";
    EXPECT_EQ(calendar.CellText(2, 5), "31");
    EXPECT_EQ(calendar.CellText(3, 5), "");
    calendar.SetCalendarDate(EncodeDate(2021, 8, 15));
    EXPECT_EQ(calendar.CellText(6, 1), "1") << "1 August 2021 was a Sunday";
    EXPECT_EQ(calendar.CellText(5, 1), "");
    EXPECT_EQ(calendar.Col(), 6);
    EXPECT_EQ(calendar.Row(), 3) << "the 15th, a Sunday, is selected";
    calendar.SetStartOfWeek(Sun);
    EXPECT_EQ(calendar.CellText(0, 1), "1");
    EXPECT_EQ(calendar.CellText(0, 0), "dom");
}

TEST(CalendarSteps, MonthsYearsKeysAndTheReadOnlyCalendar)
{
    TFixedToday today;
    TForm form(nullptr);
    TExCalendar calendar(&form);
    calendar.SetCalendarDate(EncodeDate(2004, 2, 29));
    calendar.NextYear();
    EXPECT_EQ(calendar.CalendarDate(), EncodeDate(2005, 2, 28));
    calendar.SetCalendarDate(EncodeDate(2021, 1, 31));
    calendar.NextMonth();
    EXPECT_EQ(calendar.CalendarDate(), EncodeDate(2021, 2, 28));
    calendar.PrevMonth();
    EXPECT_EQ(calendar.CalendarDate(), EncodeDate(2021, 1, 28));
    calendar.SetCalendarDate(EncodeDate(2021, 3, 31));
    WORD key = VK_ADD;
    calendar.CalendarKeyDown(key, {});
    EXPECT_EQ(calendar.CalendarDate(), EncodeDate(2021, 4, 1));
    key = VK_SUBTRACT;
    calendar.CalendarKeyDown(key, {});
    EXPECT_EQ(calendar.CalendarDate(), EncodeDate(2021, 3, 31));
    char t = 't';
    calendar.CalendarKeyPress(t);
    EXPECT_EQ(calendar.CalendarDate(), EncodeDate(2021, 3, 10));
    EXPECT_EQ(t, 0);

    calendar.ReadOnly = true;
    calendar.SetCol(0);
    calendar.SetRow(1);
    EXPECT_EQ(calendar.CalendarDate(), EncodeDate(2021, 3, 10)) << "the user cannot move the selection";
    calendar.NextMonth();
    EXPECT_EQ(calendar.CalendarDate(), EncodeDate(2021, 4, 10)) << "the arrow buttons still change the month";
    calendar.SetDay(0);
    calendar.SetMonth(13);
    calendar.SetYear(0);
    EXPECT_EQ(calendar.CalendarDate(), EncodeDate(2021, 4, 10));
}

TColor PixelOf(TBitmap& picture, int x, int y) { return static_cast<TColor>(ColorToRGB(picture.Canvas()->Pixels(x, y))); }

// Text is smoothed: a red letter has pixels that are mostly red, not all pure red.
bool HasRedInk(TBitmap& picture, const TRect& area)
{
    for (int y = area.Top; y < area.Bottom; ++y)
        for (int x = area.Left; x < area.Right; ++x) {
            const TColor c = PixelOf(picture, x, y);
            if (GetRValue(c) > 160 && GetGValue(c) < 90 && GetBValue(c) < 90)
                return true;
        }
    return false;
}

TEST(CalendarPainting, WeekendsInTheirColourExceptSelectedAndTodayFramed)
{
    TFixedToday today;
    TButtonScene scene(260, 200);
    auto* calendar = new TExCalendar(scene.Form());
    calendar->SetParent(scene.Form());
    calendar->SetBounds(10, 10, 224, 140);
    calendar->SetCalendarDate(EncodeDate(2021, 3, 7));
    scene.ShowAndActivate();
    calendar->Repaint();
    PumpFor(10);
    TBitmap picture;
    ASSERT_TRUE(GrabToBitmap(calendar, &picture));
    EXPECT_TRUE(GrabToPng(calendar, ButtonsPictureDir() + "/calendar.png"));
    const TRect client = calendar->ClientRectInWindow();
    const auto cell = [&](int c, int r) {
        TRect rect = calendar->CellRect(c, r);
        OffsetRect(rect, client.Left, client.Top);
        return rect;
    };
    EXPECT_TRUE(HasRedInk(picture, cell(6, 0))) << "dom";
    EXPECT_FALSE(HasRedInk(picture, cell(5, 0))) << "sab is no weekend by default";
    EXPECT_TRUE(HasRedInk(picture, cell(6, 2))) << "the 14th";
    EXPECT_FALSE(HasRedInk(picture, cell(6, 1))) << "the selected 7th";
    EXPECT_FALSE(HasRedInk(picture, cell(2, 2)));

    TPopupCalendar* popup = dynamic_cast<TPopupCalendar*>(CreatePopupCalendar(scene.Form()));
    ASSERT_NE(popup, nullptr);
    popup->SetValue(VarFromDateTime(EncodeDate(2021, 3, 20)));
    popup->Show(Point(300, 300));
    PumpFor(20);
    TLocCalendar* local = popup->Calendar();
    EXPECT_FALSE(local->Enabled());
    EXPECT_EQ(popup->TitleLabel()->Caption(), "marzo, 2021");
    TBitmap popupPicture;
    ASSERT_TRUE(GrabToBitmap(local, &popupPicture));
    TRect todayCell = local->CellRect(2, 2);
    const TRect localClient = local->ClientRectInWindow();
    OffsetRect(todayCell, localClient.Left, localClient.Top);
    EXPECT_EQ(PixelOf(popupPicture, todayCell.Left, todayCell.Top + 3), ColorToRGB(clBtnShadow));
    EXPECT_EQ(PixelOf(popupPicture, todayCell.Left + 3, todayCell.Top), ColorToRGB(clBtnShadow));
    EXPECT_EQ(PixelOf(popupPicture, todayCell.Right - 1, todayCell.Top + 3), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(PixelOf(popupPicture, todayCell.Left + 3, todayCell.Bottom - 1), ColorToRGB(clBtnHighlight));
    EXPECT_TRUE(GrabToPng(local, ButtonsPictureDir() + "/popup-calendar.png"));
    popup->Hide();
}

// A combo edit dropping down the popup calendar.
class TCalendarComboEdit : public TComboEdit {
    TESS_CLASS(TCalendarComboEdit, TComboEdit)
public:
    explicit TCalendarComboEdit(TComponent* AOwner) : TComboEdit(AOwner)
    {
        SetPopup(CreatePopupCalendar(this));
    }
    // The date edit's way: the calendar's keys go to the open popup.
    void KeyDown(WORD& Key, TShiftState Shift) override
    {
        if (PopupVisible() && (Key == VK_PRIOR || Key == VK_NEXT)) {
            Calendar()->KeyDown(Key, Shift);
            Key = 0;
        }
        TComboEdit::KeyDown(Key, Shift);
    }
    TPopupCalendar* Calendar() const { return dynamic_cast<TPopupCalendar*>(Popup()); }
};

TEST(CalendarPopup, EmptyCellsAreNoChoiceADayClosesAndPageKeysStep)
{
    TFixedToday today;
    TButtonScene scene(300, 240);
    auto* edit = new TCalendarComboEdit(scene.Form());
    edit->SetParent(scene.Form());
    edit->SetBounds(20, 20, 150, 21);
    scene.ShowAndActivate();
    edit->SetFocus();
    PumpFor(10);
    QTest::keyClick(HostOf(edit), Qt::Key_Down, Qt::AltModifier);
    PumpFor(10);
    ASSERT_TRUE(edit->PopupVisible());
    TPopupCalendar* popup = edit->Calendar();
    TLocCalendar* calendar = popup->Calendar();
    EXPECT_EQ(calendar->CalendarDate(), EncodeDate(2021, 3, 10)) << "an empty text opens on today";

    QTest::keyClick(HostOf(edit), Qt::Key_PageDown);
    EXPECT_EQ(calendar->CalendarDate(), EncodeDate(2021, 4, 10));
    QTest::keyClick(HostOf(edit), Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(calendar->CalendarDate(), EncodeDate(2020, 4, 10));
    QTest::keyClick(HostOf(edit), Qt::Key_PageDown, Qt::ControlModifier);
    QTest::keyClick(HostOf(edit), Qt::Key_PageUp);
    EXPECT_EQ(calendar->CalendarDate(), EncodeDate(2021, 3, 10));

    // March 2021 starts on Monday: the last row's last cells are empty.
    const TRect empty = calendar->CellRect(6, 6);
    ClickOn(calendar, (empty.Left + empty.Right) / 2, (empty.Top + empty.Bottom) / 2);
    PumpFor(10);
    EXPECT_TRUE(edit->PopupVisible());
    EXPECT_EQ(calendar->CalendarDate(), EncodeDate(2021, 3, 10));

    const TRect day = calendar->CellRect(3, 4);
    ClickOn(calendar, (day.Left + day.Right) / 2, (day.Top + day.Bottom) / 2);
    PumpFor(10);
    EXPECT_FALSE(edit->PopupVisible());
    EXPECT_EQ(edit->Text(), "25/03/2021");
}

TEST(CalendarDialog, PageDownThenOkGivesTheNextMonth)
{
    TFixedToday today;
    std::vector<std::string> titles;
    SetModalStartHook([&titles](TCustomForm* form) {
        QTimer::singleShot(20, [form, &titles] {
            QTest::keyClick(HostOf(form), Qt::Key_PageDown);
            PumpFor(5);
            if (auto* dialog = dynamic_cast<TSelectDateDlg*>(form))
                titles.push_back(dialog->TitleLabel->Caption());
            QTest::keyClick(HostOf(form), Qt::Key_Return);
        });
    });
    TDateTime date = EncodeDate(2005, 12, 12);
    EXPECT_TRUE(SelectDate(date, "", Mon, TDaysOfWeek{Sun}, clRed, nullptr));
    EXPECT_EQ(date, EncodeDate(2006, 1, 12));

    std::string text;
    EXPECT_TRUE(SelectDateStr(text, "Data", Mon, TDaysOfWeek{Sun}, clRed, nullptr));
    SetModalStartHook(nullptr);
    EXPECT_EQ(text, "10/04/2021") << "an empty text starts at today";
    EXPECT_EQ(titles, (std::vector<std::string>{"gennaio, 2006", "aprile, 2021"}));
}


TEST(CalendarDialog, PopupDateOpensBelowItsControlOrAboveWhenThereIsNoRoom)
{
    TFixedToday today;
    const auto pick = [](int formTop, TDateTime& date, int key, int& dialogTop, int& editTop, int& editBottom) {
        TButtonScene scene(360, 120, 60, formTop);
        auto* edit = new TDateEdit(scene.Form());
        edit->SetParent(scene.Form());
        edit->SetBounds(20, 20, 120, 21);
        scene.ShowAndActivate();
        SetModalStartHook([&dialogTop, key](TCustomForm* form) {
            QTimer::singleShot(20, [form, &dialogTop, key] {
                dialogTop = form->Top();
                QTest::keyClick(HostOf(form), Qt::Key_PageDown);
                PumpFor(5);
                QTest::keyClick(HostOf(form), static_cast<Qt::Key>(key));
            });
        });
        const bool accepted = PopupDate(date, edit);
        SetModalStartHook(nullptr);
        editTop = edit->ClientToScreen(Point(0, 0)).Y;
        editBottom = editTop + edit->Height() - 1;
        return accepted;
    };
    int dialogTop = 0, editTop = 0, editBottom = 0;
    TDateTime date = EncodeDate(2005, 12, 12);
    EXPECT_TRUE(pick(60, date, Qt::Key_Return, dialogTop, editTop, editBottom));
    EXPECT_EQ(date, EncodeDate(2006, 1, 12));
    EXPECT_EQ(dialogTop, editBottom) << "below the edit";

    EXPECT_FALSE(pick(Screen->Height() - 160, date, Qt::Key_Escape, dialogTop, editTop, editBottom));
    EXPECT_EQ(date, EncodeDate(2006, 1, 12)) << "a cancelled popup keeps the date";
    EXPECT_LT(dialogTop, editTop) << "above the edit when there is no room below";
}

} // namespace CalendarTest
