#include "platform/gui/SystemMetrics.h"

#include "platform/gui/FontEngine.h"
#include "platform/gui/Screen.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>

#include <cstring>

int GetSystemMetrics(int index)
{
    switch (index) {
    case SM_CXSCREEN:
        return Screen ? Screen->Width() : 1024;
    case SM_CYSCREEN:
        return Screen ? Screen->Height() : 768;
    case SM_CXVIRTUALSCREEN:
        return Screen ? Screen->DesktopWidth() : 1024;
    case SM_CYVIRTUALSCREEN:
        return Screen ? Screen->DesktopHeight() : 768;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB:
        return 16;
    case SM_CYCAPTION:
        return 18;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return 4;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return 2;
    case SM_CYMENU:
        return 19;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
    case SM_CXDRAG:
    case SM_CYDRAG:
        return 4;
    case SM_CXMENUCHECK:
    case SM_CYMENUCHECK:
        return 13;
    case SM_CXMIN:
    case SM_CXMINTRACK:
        return 112;
    case SM_CYMIN:
    case SM_CYMINTRACK:
        return 27;
    case SM_MOUSEPRESENT:
        return 1;
    case SM_SWAPBUTTON:
        return 0;
    case SM_CXFULLSCREEN:
        return Screen ? Screen->WorkAreaWidth() : 1024;
    case SM_CYFULLSCREEN:
        return Screen ? Screen->WorkAreaHeight() - 18 : 750;
    default:
        return 0;
    }
}

namespace {

void DefaultGuiFont(LOGFONTA& font, bool bold)
{
    font = LOGFONTA{};
    font.lfHeight = -11;
    font.lfWeight = bold ? 700 : 400;
    font.lfCharSet = DEFAULT_CHARSET;
    std::strcpy(font.lfFaceName, "MS Sans Serif");
}

} // namespace

BOOL SystemParametersInfoA(UINT action, UINT, void* data, UINT)
{
    switch (action) {
    case SPI_GETWORKAREA:
        if (!data)
            return FALSE;
        *static_cast<TRect*>(data) = Screen ? Screen->WorkAreaRect() : Rect(0, 0, 1024, 768);
        return TRUE;
    case SPI_GETNONCLIENTMETRICS: {
        if (!data)
            return FALSE;
        auto* metrics = static_cast<NONCLIENTMETRICSA*>(data);
        *metrics = NONCLIENTMETRICSA{};
        DefaultGuiFont(metrics->lfCaptionFont, true);
        DefaultGuiFont(metrics->lfSmCaptionFont, false);
        DefaultGuiFont(metrics->lfMenuFont, false);
        DefaultGuiFont(metrics->lfStatusFont, false);
        DefaultGuiFont(metrics->lfMessageFont, false);
        return TRUE;
    }
    case SPI_GETANIMATION:
        if (!data)
            return FALSE;
        static_cast<ANIMATIONINFO*>(data)->iMinAnimate = 0;
        return TRUE;
    case SPI_SETANIMATION:
        return TRUE;
    case SPI_GETDRAGFULLWINDOWS:
        if (data)
            *static_cast<BOOL*>(data) = FALSE;
        return TRUE;
    default:
        return FALSE;
    }
}

UINT GetDoubleClickTime() { return 500; }

LONG GetDialogBaseUnits()
{
    // Measuring needs the font machinery of a running GUI application.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return static_cast<LONG>(MAKELONG(6, 13));
    return FontDialogBaseUnits();
}

LONG GetMenuCheckMarkDimensions() { return static_cast<LONG>(MAKELONG(13, 13)); }

namespace {

std::function<void(UINT)>& SystemMetricsBeepHook()
{
    static std::function<void(UINT)> hook;
    return hook;
}

} // namespace

void SetBeepHook(std::function<void(UINT)> hook) { SystemMetricsBeepHook() = std::move(hook); }

BOOL MessageBeep(UINT type)
{
    if (const auto& hook = SystemMetricsBeepHook()) {
        hook(type);
        return TRUE;
    }
    if (QGuiApplication::instance())
        QApplication::beep();
    return TRUE;
}

BOOL Beep(DWORD, DWORD) { return MessageBeep(0); }
