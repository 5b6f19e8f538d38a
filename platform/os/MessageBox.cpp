#include "platform/os/MessageBox.h"

#include "platform/rtl/Codepage.h"

#include <cstdio>
#include <mutex>

namespace {

std::mutex handlerMutex;
TMessageBoxHandler& Handler()
{
    static TMessageBoxHandler handler;
    return handler;
}

int ButtonCount(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
    case MB_YESNO:
    case MB_RETRYCANCEL:
        return 2;
    case MB_ABORTRETRYIGNORE:
    case MB_YESNOCANCEL:
        return 3;
    default:
        return 1;
    }
}

int ButtonAnswer(UINT type, int index)
{
    static const int answers[][3] = {
        {IDOK, IDOK, IDOK},             // MB_OK
        {IDOK, IDCANCEL, IDCANCEL},     // MB_OKCANCEL
        {IDABORT, IDRETRY, IDIGNORE},   // MB_ABORTRETRYIGNORE
        {IDYES, IDNO, IDCANCEL},        // MB_YESNOCANCEL
        {IDYES, IDNO, IDNO},            // MB_YESNO
        {IDRETRY, IDCANCEL, IDCANCEL},  // MB_RETRYCANCEL
    };
    const UINT kind = type & MB_TYPEMASK;
    if (kind > MB_RETRYCANCEL)
        return IDOK;
    return answers[kind][index];
}

} // namespace

TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler)
{
    std::lock_guard<std::mutex> lock(handlerMutex);
    TMessageBoxHandler previous = std::move(Handler());
    Handler() = std::move(handler);
    return previous;
}

int DefaultMessageBoxAnswer(UINT type)
{
    int index = 0;
    if ((type & MB_DEFMASK) == MB_DEFBUTTON2)
        index = 1;
    else if ((type & MB_DEFMASK) == MB_DEFBUTTON3)
        index = 2;
    // A default button beyond the last one falls back to the first, as Windows does.
    if (index >= ButtonCount(type))
        index = 0;
    return ButtonAnswer(type, index);
}

int MessageBoxA(HWND owner, const std::string& text, const std::string& caption, UINT type)
{
    TMessageBoxHandler handler;
    {
        std::lock_guard<std::mutex> lock(handlerMutex);
        handler = Handler();
    }
    if (handler)
        return handler(owner, text, caption, type);
    const std::string line = AnsiToUtf8(caption) + ": " + AnsiToUtf8(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    return DefaultMessageBoxAnswer(type);
}

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type)
{
    return MessageBoxA(owner, std::string(text ? text : ""), std::string(caption ? caption : ""), type);
}
