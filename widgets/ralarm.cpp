#include "widgets/ralarm.h"

#include "platform/gui/Button.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Label.h"
#include "platform/gui/Panel.h"
#include "platform/rtl/DateTime.h"

#include <cmath>
#include <cstdio>

namespace {

std::int64_t RealAlarmMilliseconds(TDateTime value) { return std::llround(value * MSecsPerDay); }

// Whole hours, minutes and seconds of a span of milliseconds, the fraction dropped.
std::string RealAlarmSpanText(std::int64_t span)
{
    const std::int64_t seconds = span < 0 ? 0 : span / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld.%02lld.%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

} // namespace

TRealAlarm::TRealAlarm(TComponent* AOwner) : TComponent(AOwner)
{
    FTimer = new TTimer(this);
    FTimer->SetEnabled(false);
    FTimer->SetInterval(1000);
    FTimer->OnTimer = [this](TObject* Sender) { Timer(Sender); };
    SetActive(false);
}

TRealAlarm::~TRealAlarm()
{
    FTimer->SetEnabled(false);
    if (FShowObject)
        FShowObject->RemoveFreeNotification(this);
}

void TRealAlarm::SetAlarmTime(const std::string& Value)
{
    std::string text = Value;
    if (text.size() == 2)
        text += ".00.00";
    else if (text.size() == 5)
        text += ".00";
    FAlarmTime = FormatDateTime("hh.mm.ss", StrToTime(text));
}

void TRealAlarm::SetShowObject(TControl* Value)
{
    if (Value && !dynamic_cast<TLabel*>(Value) && !dynamic_cast<TPanel*>(Value) && !dynamic_cast<TButton*>(Value) &&
        !dynamic_cast<TEdit*>(Value))
        RAISE(EAlarmException("Unlisted ShowObject"));
    if (Value == FShowObject)
        return;
    if (FShowObject)
        FShowObject->RemoveFreeNotification(this);
    FShowObject = Value;
    // The shown control may be freed before the alarm: it then tells the alarm to forget it.
    if (FShowObject)
        FShowObject->FreeNotification(this);
}

void TRealAlarm::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent && AComponent == FShowObject)
        FShowObject = nullptr;
}

void TRealAlarm::SetActive(bool Value)
{
    if (Value) {
        // The target follows from the clock, so ticks that arrive late (a busy program, a
        // machine that slept) still fire on time or at once.
        const std::int64_t alarm = RealAlarmMilliseconds(StrToTime(FAlarmTime));
        const std::int64_t now = RealAlarmMilliseconds(Now());
        const std::int64_t today = static_cast<std::int64_t>(std::floor(static_cast<double>(now) / MSecsPerDay)) * MSecsPerDay;
        FTarget = now - today < alarm ? today + alarm : today + MSecsPerDay + alarm;
    }
    FActive = Value;
    FTimer->SetEnabled(Value);
}

void TRealAlarm::Timer(TObject*)
{
    const std::int64_t left = FTarget - RealAlarmMilliseconds(Now());
    if (FShowObject)
        FShowObject->SetText(RealAlarmSpanText(left));
    if (left > 0)
        return;
    // The reminder may pump messages (a modal window): no tick may ring a second time meanwhile.
    FTimer->SetEnabled(false);
    if (OnAlarm)
        OnAlarm(this);
    SetActive(false);
}
