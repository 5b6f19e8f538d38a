#pragma once
// System metrics and parameters with fixed classic values, so that layouts and pictures are the
// same on every desktop.

#include "platform/gui/GdiObjects.h"
#include "platform/gui/Messages.h"

#include <functional>

constexpr int SM_CXSCREEN = 0, SM_CYSCREEN = 1, SM_CXVSCROLL = 2, SM_CYHSCROLL = 3, SM_CYCAPTION = 4,
              SM_CXBORDER = 5, SM_CYBORDER = 6, SM_CXDLGFRAME = 7, SM_CYDLGFRAME = 8, SM_CYVTHUMB = 9,
              SM_CXHTHUMB = 10, SM_CXICON = 11, SM_CYICON = 12, SM_CXCURSOR = 13, SM_CYCURSOR = 14,
              SM_CYMENU = 15, SM_CXFULLSCREEN = 16, SM_CYFULLSCREEN = 17, SM_CYVSCROLL = 20, SM_CXHSCROLL = 21,
              SM_MOUSEPRESENT = 19, SM_SWAPBUTTON = 23, SM_CXMIN = 28, SM_CYMIN = 29, SM_CXFRAME = 32,
              SM_CYFRAME = 33, SM_CXMINTRACK = 34, SM_CYMINTRACK = 35, SM_CXDOUBLECLK = 36,
              SM_CYDOUBLECLK = 37, SM_CXFIXEDFRAME = 7, SM_CYFIXEDFRAME = 8, SM_CXEDGE = 45, SM_CYEDGE = 46,
              SM_CXSMICON = 49, SM_CYSMICON = 50, SM_CXMENUCHECK = 71, SM_CYMENUCHECK = 72, SM_CXDRAG = 68,
              SM_CYDRAG = 69, SM_CXVIRTUALSCREEN = 78, SM_CYVIRTUALSCREEN = 79;

constexpr UINT SPI_GETDRAGFULLWINDOWS = 0x26, SPI_GETNONCLIENTMETRICS = 0x29, SPI_GETWORKAREA = 0x30,
               SPI_GETANIMATION = 0x48, SPI_SETANIMATION = 0x49;

int GetSystemMetrics(int index);


struct NONCLIENTMETRICSA {
    UINT cbSize = sizeof(NONCLIENTMETRICSA);
    int iBorderWidth = 1;
    int iScrollWidth = 16;
    int iScrollHeight = 16;
    int iCaptionWidth = 18;
    int iCaptionHeight = 18;
    LOGFONTA lfCaptionFont;
    int iSmCaptionWidth = 12;
    int iSmCaptionHeight = 15;
    LOGFONTA lfSmCaptionFont;
    int iMenuWidth = 18;
    int iMenuHeight = 19;
    LOGFONTA lfMenuFont;
    LOGFONTA lfStatusFont;
    LOGFONTA lfMessageFont;
};
using NONCLIENTMETRICS = NONCLIENTMETRICSA;

struct ANIMATIONINFO {
    UINT cbSize = sizeof(ANIMATIONINFO);
    int iMinAnimate = 0;
};

BOOL SystemParametersInfoA(UINT action, UINT param, void* data, UINT winIni);
inline BOOL SystemParametersInfo(UINT action, UINT param, void* data, UINT winIni)
{
    return SystemParametersInfoA(action, param, data, winIni);
}
UINT GetDoubleClickTime();
// Low word: average width of "A".."Z", "a".."z" of the default GUI font; high word: its height.
LONG GetDialogBaseUnits();
LONG GetMenuCheckMarkDimensions();
// Sounds the system beep, or calls the hook set by SetBeepHook instead.
BOOL MessageBeep(UINT type);
// Replaces the sound of MessageBeep by a function (tests count the beeps); an empty function
// brings the sound back.
void SetBeepHook(std::function<void(UINT)> hook);
BOOL Beep(DWORD frequency, DWORD duration);
