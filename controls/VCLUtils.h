#pragma once
// Window, application and system helpers of the control library: centring and embedding
// windows, activation, message boxes, dialog units, library loading, memory blocks, command
// lines, environment variables, the system version text and the Win32 error. FreeAndNil is the
// run-time layer's (platform/rtl/System.h).

#include "platform/gui/DialogService.h"
#include "platform/gui/Form.h"
#include "platform/rtl/Variants.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Every library message that comes from a resource string passes through here.
std::string ResStr(const std::string& Ident);

// Nothing for 0; otherwise raises EWin32Error "Win32 Error.  Code: %d.\n%s" with the code.
void RaiseWin32Error(DWORD Code);
// Raises the thread's last error when OK is false.
void CheckWin32(bool OK);

int DialogUnitsToPixelsX(int DlgUnits);
int DialogUnitsToPixelsY(int DlgUnits);
int PixelsToDialogUnitsX(int PixUnits);
int PixelsToDialogUnitsY(int PixUnits);

// Loads a library without an error box for a missing file; a failure raises EWin32Error.
HMODULE LoadDLL(const std::string& LibName);
// Calls the library's DllRegisterServer when it has one (true); the library is freed again.
bool RegisterServer(const std::string& ModuleName);
// Nothing to release here: the process loads no OLE automation library.
void FreeUnusedOle();
// An information box "Function not yet implemented", then a silent EAbort.
[[noreturn]] void NotImplemented();

namespace VCLUtils {
// The default beep. (The visual layer has a Beep of its own.)
void Beep();
} // namespace VCLUtils

// Removes one pending message Msg of the window; a removed WM_QUIT is posted again.
void KillMessage(HWND Wnd, UINT Msg);
// Processes messages until MSecs milliseconds have passed, sleeping while nothing arrives.
void Delay(long MSecs);

// Centres a form on the screen, another control in its parent's client area; never at a
// negative position.
void CenterControl(TControl* Control);
// Moves the window to the centre of the screen, inside the screen where it fits.
void CenterWindow(HWND Wnd);
// Embeds the form, borderless, in the control.
void MergeForm(TWinControl* AControl, TCustomForm* AForm, TAlign Align, bool Show);
void ShowMDIClientEdge(HWND ClientHandle, bool ShowEdge);
// Null for none, the value for one, a variant array for two or more.
Variant MakeVariant(const std::vector<Variant>& Values);
TRect ScreenWorkArea();
std::string WindowClassName(HWND Wnd);
// ShowWindow with the minimise and restore animation off.
void ShowWinNoAnimate(HWND Handle, int CmdShow);
void SwitchToWindow(HWND Wnd, bool Restore);
void ActivateWindow(HWND Wnd);
// Only this process's windows are seen: another running copy of the program is not found.
HWND FindPrevInstance(const std::string& MainFormClass, const std::string& ATitle);
bool ActivatePrevInstance(const std::string& MainFormClass, const std::string& ATitle);
int MsgBox(const std::string& Caption, const std::string& Text, int Flags);
int MsgDlg(const std::string& Msg, TMsgDlgType AType, TMsgDlgButtons AButtons, int HelpCtx);
// Whether the active window is one of this thread's.
bool IsForegroundTask();

// Zero-filled memory blocks (nullptr for a size of 0 or less); ReallocMemo zero-fills what it
// adds, FreeMemo clears the reference.
void* AllocMemo(long Size);
void* ReallocMemo(void* fpBlock, long Size);
void FreeMemo(void*& fpBlock);
long GetMemoSize(void* fpBlock);
bool CompareMem(const void* fpBlock1, const void* fpBlock2, long Size);
void HugeInc(void*& HugePtr, long Amount);
void HugeDec(void*& HugePtr, long Amount);
void* HugeOffset(void* HugePtr, long Amount);
void HMemCpy(void* DstPtr, const void* SrcPtr, long Amount);
// Moves Size elements of 4 bytes inside the block from index Src to index Dst.
void HugeMove(void* Base, long Dst, long Src, long Size);

// The whole value, "" when unset.
std::string GetEnvVar(const std::string& Name);
// Argument 0 is the program; the others are joined by spaces, quoted when they hold one.
void SplitCommandLine(const std::string& CmdLine, std::string& ExeName, std::string& Params);
std::string AnsiUpperFirstChar(const std::string& S);
// A zero-terminated copy that the caller owns.
std::unique_ptr<char[]> StrPAlloc(const std::string& S);
char* StringToPChar(std::string& S);
// Without a leading "T" or "t" (a lone "T" stays).
std::string DropT(const std::string& S);
// "Windows NT 5.01.2600 Service Pack 3" and the like; "Linux 6.01.012" for the kernel's version.
std::string GetWindowsVersion();
