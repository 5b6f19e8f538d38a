#include "WidgetsTestSupport.h"

#include "platform/gui/Button.h"
#include "platform/gui/CheckBox.h"
#include "platform/gui/Form.h"
#include "platform/gui/Label.h"
#include "platform/rtl/DateTime.h"
#include "widgets/ralarm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

// An alarm on an injected clock that the test moves, showing its countdown on a label.
struct TAlarmFixture {
    TDateTime Clock = 0;
    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    TLabel* Shown = nullptr;
    std::unique_ptr<TRealAlarm> Alarm;
    int Fired = 0;

    TAlarmFixture()
    {
        SetClock([this] { return Clock; });
        Shown = new TLabel(Form.get());
        Shown->SetParent(Form.get());
        Alarm = std::make_unique<TRealAlarm>(nullptr);
        Alarm->SetShowObject(Shown);
        Alarm->OnAlarm = [this](TObject* Sender) {
            EXPECT_EQ(Sender, Alarm.get());
            ++Fired;
        };
    }
    ~TAlarmFixture() { ResetClock(); }

    void At(int hour, int minute, int second) { Clock = EncodeDate(2024, 5, 17) + EncodeTime(hour, minute, second, 0); }
    void Advance(int seconds) { Clock += seconds / double(SecsPerDay); }
    void Tick() { Alarm->Timer(nullptr); }
};

TEST(RealAlarm, AlarmTimesAreCompletedAndStoredWithSeconds)
{
    TAlarmFixture f;
    const struct {
        const char* Given;
        const char* Stored;
    } cases[] = {{"14.30", "14.30.00"}, {"14", "14.00.00"}, {"7.05.3", "07.05.03"}, {"23.59.59", "23.59.59"}};
    for (const auto& c : cases) {
        f.Alarm->SetAlarmTime(c.Given);
        EXPECT_EQ(f.Alarm->AlarmTime(), c.Stored) << c.Given;
    }
}

TEST(RealAlarm, CountsDownAndFiresOnceOnTime)
{
    TAlarmFixture f;
    f.At(14, 29, 55);
    f.Alarm->SetAlarmTime("14.30");
    f.Alarm->SetActive(true);
    std::vector<std::string> shown;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(f.Fired, 0);
        f.Advance(1);
        f.Tick();
        shown.push_back(f.Shown->Caption());
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"00.00.04", "00.00.03", "00.00.02", "00.00.01", "00.00.00"}));
    EXPECT_EQ(f.Fired, 1);
    EXPECT_FALSE(f.Alarm->Active());
}

TEST(RealAlarm, LateTicksCatchUp)
{
    TAlarmFixture f;
    f.At(14, 29, 55);
    f.Alarm->SetAlarmTime("14.30");
    f.Alarm->SetActive(true);
    f.Advance(1);
    f.Tick();
    EXPECT_EQ(f.Fired, 0);
    f.At(14, 31, 10);
    f.Tick();
    EXPECT_EQ(f.Fired, 1);
    EXPECT_EQ(f.Shown->Caption(), "00.00.00");
    EXPECT_FALSE(f.Alarm->Active());
}

TEST(RealAlarm, APassedTimeIsForTheNextDay)
{
    TAlarmFixture f;
    f.Alarm->SetAlarmTime("14.30");
    for (int second : {5, 0}) {
        f.At(14, 30, second);
        f.Alarm->SetActive(true);
        f.Advance(1);
        f.Tick();
        EXPECT_EQ(f.Shown->Caption(), second == 5 ? "23.59.54" : "23.59.59");
    }
    EXPECT_EQ(f.Fired, 0);
    // Less than a second ahead: the first tick rings.
    f.Clock = EncodeDate(2024, 5, 17) + EncodeTime(14, 29, 59, 600);
    f.Alarm->SetActive(true);
    f.Advance(1);
    f.Tick();
    EXPECT_EQ(f.Fired, 1);
    // Activated again after it rang, the same time is tomorrow's.
    f.Alarm->SetActive(true);
    f.Advance(1);
    f.Tick();
    EXPECT_EQ(f.Shown->Caption(), "23.59.58");
}

TEST(RealAlarm, UnreadableTimesChangeNothing)
{
    TAlarmFixture f;
    f.At(10, 0, 0);
    f.Alarm->SetAlarmTime("11.00");
    f.Alarm->SetActive(true);
    for (const char* bad : {"", "ab", "25.00", "99.99.99", "11:00:00x"}) {
        EXPECT_THROW(f.Alarm->SetAlarmTime(bad), EConvertError) << bad;
        EXPECT_EQ(f.Alarm->AlarmTime(), "11.00.00");
        EXPECT_TRUE(f.Alarm->Active());
    }
    TRealAlarm never(nullptr);
    EXPECT_THROW(never.SetActive(true), EConvertError);
    EXPECT_FALSE(never.Active());
}

TEST(RealAlarm, OnlyLabelsPanelsButtonsAndEditsShowTheCountdown)
{
    TAlarmFixture f;
    auto* check = new TCheckBox(f.Form.get());
    try {
        f.Alarm->SetShowObject(check);
        ADD_FAILURE() << "a check box was accepted";
    } catch (const EAlarmException& e) {
        EXPECT_EQ(e.Message, "Unlisted ShowObject");
    }
    EXPECT_EQ(f.Alarm->ShowObject(), f.Shown);
    auto* button = new TButton(f.Form.get());
    f.Alarm->SetShowObject(button);
    f.At(8, 0, 0);
    f.Alarm->SetAlarmTime("09");
    f.Alarm->SetActive(true);
    f.Advance(1);
    f.Tick();
    EXPECT_EQ(button->Caption(), "00.59.59");
    // A shown control freed first is forgotten.
    delete button;
    EXPECT_EQ(f.Alarm->ShowObject(), nullptr);
    f.Tick();
}

// On the real clock: armed for a whole second three seconds ahead, it rings once, not early,
// within five seconds, even though its handler keeps the message loop running for a while.
TEST(RealAlarm, RingsOnTheRealClock)
{
    TRealAlarm alarm(nullptr);
    const double start = Now();
    const double target = std::floor(start * SecsPerDay + 3) / SecsPerDay;
    alarm.SetAlarmTime(FormatDateTime("hh.mm.ss", target - std::floor(target)));
    std::vector<double> rings;
    alarm.OnAlarm = [&](TObject*) {
        rings.push_back(Now());
        PumpFor(1500);
    };
    alarm.SetActive(true);
    PumpWhile([&] { return rings.empty(); }, 5000);
    PumpFor(300);
    ASSERT_EQ(rings.size(), 1u);
    EXPECT_GE(rings[0], target);
    EXPECT_LT(rings[0] - start, 5.0 / SecsPerDay);
    EXPECT_FALSE(alarm.Active());
}

} // namespace
