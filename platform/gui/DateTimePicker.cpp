// Date and time pickers.

#include "platform/gui/DateTimePicker.h"

#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/rtl/FormatSettings.h"

#include <QCalendarWidget>
#include <QDateTimeEdit>
#include <QEvent>
#include <QLocale>
#include <QSignalBlocker>

#include <cmath>

namespace {

QDateTime ToQDateTime(TDateTime value)
{
    unsigned short y = 0, m = 0, d = 0, h = 0, n = 0, s = 0, ms = 0;
    DecodeDate(value, y, m, d);
    DecodeTime(value, h, n, s, ms);
    return QDateTime(QDate(y, m, d), QTime(h, n, s, ms));
}

TDateTime FromQDateTime(const QDateTime& value)
{
    const QDate date = value.date();
    const QTime time = value.time();
    return EncodeDate(static_cast<unsigned short>(date.year()), static_cast<unsigned short>(date.month()),
                      static_cast<unsigned short>(date.day())) +
           EncodeTime(static_cast<unsigned short>(time.hour()), static_cast<unsigned short>(time.minute()),
                      static_cast<unsigned short>(time.second()), static_cast<unsigned short>(time.msec()));
}

// Tells when the drop-down calendar closes.
class TCalendarWatch : public QObject {
public:
    explicit TCalendarWatch(std::function<void()> closed, QObject* parent) : QObject(parent), FClosed(std::move(closed)) {}
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Hide)
            FClosed();
        else if (event->type() == QEvent::Show)
            Shown = true;
        return false;
    }
    bool Shown = false;

private:
    std::function<void()> FClosed;
};

} // namespace

TCommonCalendar::TCommonCalendar(TComponent* AOwner) : TWinControl(AOwner)
{
    SetTabStop(true);
    SetParentColor(false);
}

TDateTimePicker::TDateTimePicker(TComponent* AOwner) : TCommonCalendar(AOwner)
{
    FDateTime = ::Date();
    SetBounds(0, 0, 186, 21);
}

QDateTimeEdit* TDateTimePicker::Editor() const { return FHost ? qobject_cast<QDateTimeEdit*>(FHost->Widget()) : nullptr; }

void TDateTimePicker::CreateParams(TCreateParams& Params)
{
    TCommonCalendar::CreateParams(Params);
    Params.WinClassName = "SysDateTimePick32";
}

IHostWidget* TDateTimePicker::CreateHost(const TCreateParams&, void* parentWidget)
{
    auto* host = new TControlHost<QDateTimeEdit>(this, static_cast<QWidget*>(parentWidget));
    host->setFocusPolicy(Qt::ClickFocus);
    host->setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    QObject::connect(host, &QDateTimeEdit::dateTimeChanged, host, [this] { UserChanged(); });
    return host;
}

void TDateTimePicker::CreateWnd()
{
    TCommonCalendar::CreateWnd();
    ApplyToEditor();
}

void TDateTimePicker::ApplyToEditor()
{
    QDateTimeEdit* editor = Editor();
    if (!editor)
        return;
    FApplying = true;
    QSignalBlocker blocker(editor);
    editor->setFont(StdCtrl::QtFont(*Font()));
    if (FKind == dtkDate) {
        const char separator = FormatSettings().DateSeparator;
        editor->setDisplayFormat(FDateFormat == dfShort
                                     ? QStringLiteral("dd%1MM%1yyyy").arg(QChar(separator))
                                     : QStringLiteral("dddd d MMMM yyyy"));
        editor->setCalendarPopup(FDateMode == dmComboBox);
        if (QCalendarWidget* calendar = editor->calendarWidget()) {
            calendar->setLocale(QLocale(QLocale::Italian, QLocale::Italy));
            calendar->setFirstDayOfWeek(Qt::Monday);
            if (!calendar->property("tessWatched").toBool()) {
                calendar->setProperty("tessWatched", true);
                auto* watch = new TCalendarWatch([this] {
                    if (OnCloseUp)
                        OnCloseUp(this);
                }, calendar);
                calendar->window()->installEventFilter(watch);
            }
        }
    } else {
        const char separator = FormatSettings().TimeSeparator;
        editor->setDisplayFormat(QStringLiteral("HH%1mm%1ss").arg(QChar(separator)));
        editor->setCalendarPopup(false);
    }
    if (MinDate != 0)
        editor->setMinimumDateTime(ToQDateTime(MinDate));
    if (MaxDate != 0)
        editor->setMaximumDateTime(ToQDateTime(MaxDate));
    editor->setDateTime(ToQDateTime(FDateTime));
    FApplying = false;
}

void TDateTimePicker::UserChanged()
{
    QDateTimeEdit* editor = Editor();
    if (FApplying || !editor)
        return;
    FDateTime = FromQDateTime(editor->dateTime());
    if (OnUserInput)
        OnUserInput(this);
    Change();
}

void TDateTimePicker::Change()
{
    if (OnChange)
        OnChange(this);
}

void TDateTimePicker::SetKind(TDateTimeKind value)
{
    FKind = value;
    ApplyToEditor();
}

void TDateTimePicker::SetDateFormat(TDTDateFormat value)
{
    FDateFormat = value;
    ApplyToEditor();
}

void TDateTimePicker::SetDateMode(TDTDateMode value)
{
    FDateMode = value;
    ApplyToEditor();
}

void TDateTimePicker::SetDateTime(TDateTime value)
{
    if (MinDate != 0 && value < MinDate)
        value = MinDate;
    if (MaxDate != 0 && value > MaxDate)
        value = MaxDate;
    FDateTime = value;
    ApplyToEditor();
}

TDateTime TDateTimePicker::Date() const { return std::trunc(FDateTime); }

void TDateTimePicker::SetDate(TDateTime value) { SetDateTime(std::trunc(value) + (FDateTime - std::trunc(FDateTime))); }

TDateTime TDateTimePicker::Time() const { return FDateTime - std::trunc(FDateTime); }

void TDateTimePicker::SetTime(TDateTime value) { SetDateTime(std::trunc(FDateTime) + (value - std::trunc(value))); }

std::string TDateTimePicker::GetText() const
{
    if (QDateTimeEdit* editor = Editor())
        return ToAnsi(editor->text());
    return FKind == dtkDate ? DateToStr(FDateTime) : TimeToStr(FDateTime);
}

bool TDateTimePicker::DroppedDown() const
{
    QDateTimeEdit* editor = Editor();
    return editor && editor->calendarWidget() && editor->calendarWidget()->isVisible();
}

void TDateTimePicker::SetDroppedDown(bool value)
{
    HandleNeeded();
    QDateTimeEdit* editor = Editor();
    if (!editor || !editor->calendarPopup() || !editor->calendarWidget())
        return;
    QWidget* popup = editor->calendarWidget()->window();
    if (value) {
        if (OnDropDown)
            OnDropDown(this);
        // The popup is placed below the edit, as the combo-box look wants it.
        popup->move(editor->mapToGlobal(QPoint(0, editor->height())));
        popup->show();
    } else {
        popup->hide();
    }
}
