#include "platform/gui/Messages.h"

#include <cstdio>

std::string MessageName(UINT message)
{
    struct TName {
        UINT Number;
        const char* Text;
    };
    static const TName names[] = {
        {WM_CREATE, "WM_CREATE"},         {WM_DESTROY, "WM_DESTROY"},       {WM_SIZE, "WM_SIZE"},
        {WM_SETFOCUS, "WM_SETFOCUS"},     {WM_KILLFOCUS, "WM_KILLFOCUS"},   {WM_PAINT, "WM_PAINT"},
        {WM_CLOSE, "WM_CLOSE"},           {WM_QUIT, "WM_QUIT"},             {WM_ERASEBKGND, "WM_ERASEBKGND"},
        {WM_NCCREATE, "WM_NCCREATE"},     {WM_NCDESTROY, "WM_NCDESTROY"},   {WM_KEYDOWN, "WM_KEYDOWN"},
        {WM_KEYUP, "WM_KEYUP"},           {WM_CHAR, "WM_CHAR"},             {WM_SYSKEYDOWN, "WM_SYSKEYDOWN"},
        {WM_SYSKEYUP, "WM_SYSKEYUP"},     {WM_SYSCHAR, "WM_SYSCHAR"},       {WM_TIMER, "WM_TIMER"},
        {WM_MOUSEMOVE, "WM_MOUSEMOVE"},   {WM_LBUTTONDOWN, "WM_LBUTTONDOWN"}, {WM_LBUTTONUP, "WM_LBUTTONUP"},
        {WM_LBUTTONDBLCLK, "WM_LBUTTONDBLCLK"}, {WM_MOUSEWHEEL, "WM_MOUSEWHEEL"},
        {CM_TEXTCHANGED, "CM_TEXTCHANGED"}, {CM_MOUSEENTER, "CM_MOUSEENTER"}, {CM_MOUSELEAVE, "CM_MOUSELEAVE"},
        {CM_ENTER, "CM_ENTER"},           {CM_EXIT, "CM_EXIT"},             {CM_DIALOGKEY, "CM_DIALOGKEY"},
        {CM_DIALOGCHAR, "CM_DIALOGCHAR"}, {CM_CANCELMODE, "CM_CANCELMODE"},
    };
    for (const TName& name : names)
        if (name.Number == message)
            return name.Text;
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%04X", message);
    return buffer;
}
