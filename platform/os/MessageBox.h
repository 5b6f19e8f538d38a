#pragma once
// The plain message box of code without windows. The visual layer's dialog service installs
// itself as the handler; tests install a scripted one.

#include "platform/os/WinBase.h"

#include <functional>
#include <string>

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_ABORTRETRYIGNORE = 0x2;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_RETRYCANCEL = 0x5;
constexpr UINT MB_TYPEMASK = 0xF;
constexpr UINT MB_ICONHAND = 0x10;
constexpr UINT MB_ICONSTOP = 0x10;
constexpr UINT MB_ICONERROR = 0x10;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONWARNING = 0x30;
constexpr UINT MB_ICONASTERISK = 0x40;
constexpr UINT MB_ICONINFORMATION = 0x40;
constexpr UINT MB_ICONMASK = 0xF0;
constexpr UINT MB_DEFBUTTON1 = 0x0;
constexpr UINT MB_DEFBUTTON2 = 0x100;
constexpr UINT MB_DEFBUTTON3 = 0x200;
constexpr UINT MB_SETFOREGROUND = 0x10000;
constexpr UINT MB_TOPMOST = 0x40000;
constexpr UINT MB_DEFMASK = 0xF00;
constexpr UINT MB_APPLMODAL = 0x0;
constexpr UINT MB_SYSTEMMODAL = 0x1000;
constexpr UINT MB_TASKMODAL = 0x2000;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Receives (owner, text, caption, type) and returns the answer. Texts are Windows-1252.
using TMessageBoxHandler =
    std::function<int(HWND owner, const std::string& text, const std::string& caption, UINT type)>;

// Installs the handler every box goes through; returns the previous one (empty when none).
TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler);

// Without a handler: writes "caption: text" to standard error and answers the default button.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);
int MessageBoxA(HWND owner, const std::string& text, const std::string& caption, UINT type);

// The answer of the default button of a box type (plain OK gives IDOK).
int DefaultMessageBoxAnswer(UINT type);
