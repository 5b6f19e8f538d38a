#include "GuiTestSupport.h"

#include "platform/gui/Calendar.h"
#include "platform/gui/Form.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

struct TCalendarFixture {
    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    TCalendar* Calendar = nullptr;
    int Changes = 0;

    TCalendarFixture()
    {
        Form->SetBounds(0, 0, 400, 300);
        Calendar = new TCalendar(Form.get());
        Calendar->SetParent(Form.get());
        Calendar->SetBounds(10, 10, 320, 200);
        Calendar->SetCalendarDate(EncodeDate(2026, 3, 15));
        Calendar->OnChange = [this](TObject*) { ++Changes; };
    }
    void Click(int col, int row)
    {
        const TRect r = Calendar->CellRect(col, row);
        const int x = (r.Left + r.Right) / 2, y = (r.Top + r.Bottom) / 2;
        Calendar->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        Calendar->Perform(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }
};

} // namespace

TEST(Calendar, MarchTwentyTwentySix)
{
    TCalendarFixture f;
    TCalendar* c = f.Calendar;
    EXPECT_EQ(c->StartOfWeek(), 1);
    const char* names[] = {"lun", "mar", "mer", "gio", "ven", "sab", "dom"};
    for (int col = 0; col < 7; ++col)
        EXPECT_EQ(c->CellText(col, 0), names[col]);
    EXPECT_EQ(c->CellText(6, 1), "1"); // 1 March 2026 is a Sunday
    EXPECT_EQ(c->CellText(0, 1), "");
    EXPECT_EQ(c->CellText(0, 3), "9");
    EXPECT_EQ(c->CellText(1, 6), "31");
    EXPECT_EQ(c->DaysThisMonth(), 31);
    // The current cell is the day's: 15 March is the Sunday of the third row.
    EXPECT_EQ(c->Col(), 6);
    EXPECT_EQ(c->Row(), 3);

    c->SetStartOfWeek(0);
    EXPECT_EQ(c->CellText(0, 0), "dom");
    EXPECT_EQ(c->CellText(0, 1), "1");
    c->SetStartOfWeek(1);
}

TEST(Calendar, MonthsYearsAndClicks)
{
    TCalendarFixture f;
    TCalendar* c = f.Calendar;
    c->NextMonth();
    EXPECT_EQ(c->CalendarDate(), EncodeDate(2026, 4, 15));
    EXPECT_EQ(f.Changes, 1);
    c->SetCalendarDate(EncodeDate(2028, 2, 29));
    c->NextYear();
    EXPECT_EQ(c->CalendarDate(), EncodeDate(2029, 2, 28));
    c->SetCalendarDate(EncodeDate(2026, 1, 31));
    c->NextMonth();
    EXPECT_EQ(c->CalendarDate(), EncodeDate(2026, 2, 28));
    c->PrevYear();
    EXPECT_EQ(c->Year(), 2025);

    c->SetCalendarDate(EncodeDate(2026, 3, 15));
    f.Changes = 0;
    f.Click(2, 2); // Wednesday of the second week: 4 March
    EXPECT_EQ(c->Day(), 4);
    EXPECT_EQ(f.Changes, 1);
    f.Click(0, 1); // empty cell before the 1st
    EXPECT_EQ(c->Day(), 4);
    f.Click(3, 0); // day names cannot be chosen
    EXPECT_EQ(c->Day(), 4);
    EXPECT_EQ(f.Changes, 1);

    c->ReadOnly = true;
    f.Click(3, 3);
    EXPECT_EQ(c->Day(), 4);
}
