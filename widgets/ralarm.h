#pragma once
// TRealAlarm: counts down once a second to a time of day given as text, shows the time left as
// "hh.mm.ss" in a label, panel, button or edit box when given one, and raises OnAlarm once when
// the time is reached, then stops.

#include "platform/gui/Control.h"
#include "platform/gui/Timer.h"
#include "platform/rtl/Classes.h"

#include <cstdint>
#include <string>

TESS_EXCEPTION(EAlarmException, Exception)

class TRealAlarm : public TComponent {
    TESS_CLASS(TRealAlarm, TComponent)
public:
    explicit TRealAlarm(TComponent* AOwner);
    ~TRealAlarm() override;

    // Always "hh.mm.ss". "hh" and "hh.mm" are completed with zeros; an unreadable time raises
    // EConvertError and changes nothing. A running countdown keeps its target.
    const std::string& AlarmTime() const { return FAlarmTime; }
    void SetAlarmTime(const std::string& Value);
    // A TLabel, TPanel, TButton or TEdit (or nullptr); any other control raises EAlarmException
    // "Unlisted ShowObject" and the previous one stays.
    TControl* ShowObject() const { return FShowObject; }
    void SetShowObject(TControl* Value);
    bool Active() const { return FActive; }
    // True aims at the next AlarmTime from now: today when it is still ahead, else tomorrow.
    void SetActive(bool Value);

    TNotifyEvent OnAlarm;

    // The timer's tick: shows the time left and fires when it has run out.
    void Timer(TObject* Sender);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TTimer* FTimer = nullptr;
    std::string FAlarmTime;
    TControl* FShowObject = nullptr;
    bool FActive = false;
    // The instant the alarm aims at, in milliseconds of the clock's date-time.
    std::int64_t FTarget = 0;
};
