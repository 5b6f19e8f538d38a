#include "controls/VCLUtils.h"

#include "controls/ExConst.h"
#include "platform/gui/Application.h"
#include "platform/gui/GlobalMemory.h"
#include "platform/gui/MessageQueue.h"
#include "platform/gui/Screen.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/WindowHandles.h"
#include "platform/os/Libraries.h"
#include "platform/os/SystemInfo.h"
#include "platform/os/Volumes.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/SysErrors.h"
#include "platform/rtl/TextUtils.h"
#include "platform/rtl/Threads.h"

#include <cstring>
#include <map>

namespace {

// The global memory handle behind each block AllocMemo handed out.
std::map<void*, HGLOBAL>& VCLUtilsMemoHandles()
{
    static std::map<void*, HGLOBAL> handles;
    return handles;
}

HGLOBAL VCLUtilsHandleOf(void* block)
{
    const auto found = VCLUtilsMemoHandles().find(block);
    return found == VCLUtilsMemoHandles().end() ? nullptr : found->second;
}

// One argument of a command line from position, which moves past it; "" ends the list.
std::string VCLUtilsNextArgument(const std::string& line, std::size_t& position)
{
    const auto above = [&](std::size_t i) { return i < line.size() && static_cast<unsigned char>(line[i]) > ' '; };
    for (;;) {
        while (position < line.size() && !above(position))
            ++position;
        if (position + 1 < line.size() && line[position] == '"' && line[position + 1] == '"')
            position += 2;
        else
            break;
    }
    std::string argument;
    while (above(position)) {
        if (line[position] != '"') {
            argument += line[position++];
            continue;
        }
        ++position;
        while (position < line.size() && line[position] != '"')
            argument += line[position++];
        if (position < line.size())
            ++position;
    }
    return argument;
}

// The top of the owner chain of a window.
HWND VCLUtilsTopOwner(HWND window)
{
    for (;;) {
        HWND owner = reinterpret_cast<HWND>(GetWindowLongPtr(window, GWL_HWNDPARENT));
        if (!owner || owner == GetDesktopWindow())
            return window;
        window = owner;
    }
}

bool VCLUtilsThreadHasWindowOfClass(const std::string& className)
{
    bool found = false;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [&](HWND window, LPARAM) {
            found = GetClassName(window) == className;
            return found ? FALSE : TRUE;
        },
        0);
    return found;
}

// Opens the form's own handle destruction to MergeForm, which destroys the window of a form it is
// about to embed (DestroyWindow on a form's handle releases the whole form).
class VCLUtilsFormWindow : public TCustomForm {
public:
    using TCustomForm::DestroyHandle;
};

} // namespace

std::string ResStr(const std::string& Ident) { return Ident; }

void RaiseWin32Error(DWORD Code)
{
    if (Code == 0)
        return;
    EWin32Error error(Format("Win32 Error.  Code: %d.\n%s", {Code, SysErrorMessage(Code)}));
    error.ErrorCode = Code;
    RAISE(error);
}

void CheckWin32(bool OK)
{
    if (!OK)
        RaiseWin32Error(GetLastError());
}

int DialogUnitsToPixelsX(int DlgUnits) { return DlgUnits * LOWORD(GetDialogBaseUnits()) / 4; }
int DialogUnitsToPixelsY(int DlgUnits) { return DlgUnits * HIWORD(GetDialogBaseUnits()) / 8; }
int PixelsToDialogUnitsX(int PixUnits) { return PixUnits * 4 / LOWORD(GetDialogBaseUnits()); }
int PixelsToDialogUnitsY(int PixUnits) { return PixUnits * 8 / HIWORD(GetDialogBaseUnits()); }

HMODULE LoadDLL(const std::string& LibName)
{
    const UINT oldMode = SetErrorMode(SEM_NOOPENFILEERRORBOX);
    HMODULE module = nullptr;
    try {
        module = LoadLibraryA(LibName.c_str());
    } catch (...) {
        SetErrorMode(oldMode);
        throw;
    }
    SetErrorMode(oldMode);
    if (reinterpret_cast<std::uintptr_t>(module) < 32)
        RaiseWin32Error(GetLastError());
    return module;
}

bool RegisterServer(const std::string& ModuleName)
{
    HMODULE module = LoadDLL(ModuleName);
    bool registered = false;
    try {
        if (FARPROC proc = GetProcAddress(module, "DllRegisterServer")) {
            proc();
            registered = true;
        }
    } catch (...) {
        FreeLibrary(module);
        throw;
    }
    FreeLibrary(module);
    return registered;
}

void FreeUnusedOle() {}

void NotImplemented()
{
    Screen->SetCursor(crDefault);
    MsgDlg(ExLoadStr(SNotImplemented), mtInformation, {mbOK}, 0);
    RAISE(EAbort("Operation aborted"));
}

void VCLUtils::Beep() { MessageBeep(0); }

void KillMessage(HWND Wnd, UINT Msg)
{
    MSG message{};
    if (PeekMessage(message, Wnd, Msg, Msg, PM_REMOVE) && message.message == WM_QUIT)
        PostQuitMessage(static_cast<int>(message.wParam));
}

void Delay(long MSecs)
{
    const std::uint32_t start = GetTickCount();
    for (;;) {
        Application->ProcessMessages();
        const std::uint32_t now = GetTickCount();
        if (now < start || now - start >= static_cast<std::uint32_t>(MSecs < 0 ? 0 : MSecs))
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(MSecs) - (now - start), QS_ALLINPUT);
    }
}

void CenterControl(TControl* Control)
{
    int areaWidth = 0;
    int areaHeight = 0;
    if (auto* form = dynamic_cast<TCustomForm*>(Control)) {
        if (form->FormStyle() == fsMDIChild && Application->MainForm()) {
            areaWidth = Application->MainForm()->ClientWidth();
            areaHeight = Application->MainForm()->ClientHeight();
        } else {
            areaWidth = Screen->Width();
            areaHeight = Screen->Height();
        }
    } else if (Control->Parent()) {
        Control->Parent()->HandleNeeded();
        areaWidth = Control->Parent()->ClientWidth();
        areaHeight = Control->Parent()->ClientHeight();
    } else {
        return;
    }
    const int left = (areaWidth - Control->Width()) / 2;
    const int top = (areaHeight - Control->Height()) / 2;
    Control->SetBounds(left < 0 ? 0 : left, top < 0 ? 0 : top, Control->Width(), Control->Height());
}

void CenterWindow(HWND Wnd)
{
    TRect rect;
    if (!GetWindowRect(Wnd, rect))
        return;
    const int width = rect.Width();
    const int height = rect.Height();
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const auto inside = [](int position, int size, int screen) {
        if (position + size > screen)
            position = screen - size;
        return position < 0 ? 0 : position;
    };
    const int left = inside((screenWidth - width) / 2, width, screenWidth);
    const int top = inside((screenHeight - height) / 2, height, screenHeight);
    SetWindowPos(Wnd, nullptr, left, top, 0, 0, SWP_NOACTIVATE | SWP_NOSIZE | SWP_NOZORDER);
}

void MergeForm(TWinControl* AControl, TCustomForm* AForm, TAlign Align, bool Show)
{
    const bool autoScroll = AForm->AutoScroll();
    AForm->Hide();
    if (AForm->HandleAllocated()) {
        void (TCustomForm::*destroyHandle)() = &VCLUtilsFormWindow::DestroyHandle;
        (AForm->*destroyHandle)();
    }
    AForm->SetBorderStyle(bsNone);
    AForm->SetBorderIcons({});
    AForm->SetParent(AControl);
    AControl->DisableAlign();
    try {
        if (Align != alNone) {
            AForm->SetAlign(Align);
        } else {
            const TRect client = AControl->ClientRect();
            AForm->SetBounds(AForm->Left() + client.Left, AForm->Top() + client.Top, AForm->Width(),
                             AForm->Height());
        }
    } catch (...) {
        AControl->EnableAlign();
        throw;
    }
    AControl->EnableAlign();
    AForm->SetAutoScroll(autoScroll);
    AForm->SetVisible(Show);
    // A form shown inside a control does not ask its parent to align it again by itself.
    if (Align != alNone)
        AControl->Realign();
}

void ShowMDIClientEdge(HWND ClientHandle, bool ShowEdge)
{
    const LONG_PTR style = GetWindowLongPtr(ClientHandle, GWL_EXSTYLE);
    const LONG_PTR wanted = ShowEdge ? (style | WS_EX_CLIENTEDGE) : (style & ~LONG_PTR(WS_EX_CLIENTEDGE));
    if (wanted == style)
        return;
    SetWindowLongPtr(ClientHandle, GWL_EXSTYLE, wanted);
    SetWindowPos(ClientHandle, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
}

Variant MakeVariant(const std::vector<Variant>& Values)
{
    if (Values.empty())
        return Null();
    if (Values.size() == 1)
        return Values.front();
    return VarArrayOf(Values);
}

TRect ScreenWorkArea()
{
    TRect area;
    if (SystemParametersInfo(SPI_GETWORKAREA, 0, &area, 0))
        return area;
    return Rect(0, 0, Screen->Width(), Screen->Height());
}

std::string WindowClassName(HWND Wnd) { return GetClassName(Wnd).substr(0, 255); }

void ShowWinNoAnimate(HWND Handle, int CmdShow)
{
    ANIMATIONINFO animation;
    const bool animated = SystemParametersInfo(SPI_GETANIMATION, sizeof animation, &animation, 0) &&
                          animation.iMinAnimate != 0;
    if (!animated) {
        ShowWindow(Handle, CmdShow);
        return;
    }
    animation.iMinAnimate = 0;
    SystemParametersInfo(SPI_SETANIMATION, sizeof animation, &animation, 0);
    ShowWindow(Handle, CmdShow);
    animation.iMinAnimate = 1;
    SystemParametersInfo(SPI_SETANIMATION, sizeof animation, &animation, 0);
}

void SwitchToWindow(HWND Wnd, bool Restore)
{
    if (!IsWindowEnabled(Wnd))
        return;
    SetForegroundWindow(Wnd);
    if (Restore && IsWindowVisible(Wnd)) {
        if (!IsZoomed(Wnd))
            SendMessage(Wnd, WM_SYSCOMMAND, SC_RESTORE, 0);
        SetFocus(Wnd);
    }
}

void ActivateWindow(HWND Wnd)
{
    if (!Wnd)
        return;
    ShowWinNoAnimate(Wnd, SW_SHOW);
    SetForegroundWindow(Wnd);
}

HWND FindPrevInstance(const std::string& MainFormClass, const std::string& ATitle)
{
    if (MainFormClass.empty() && ATitle.empty())
        return nullptr;
    return FindWindowA(MainFormClass.empty() ? nullptr : MainFormClass.c_str(),
                       ATitle.empty() ? nullptr : ATitle.c_str());
}

bool ActivatePrevInstance(const std::string& MainFormClass, const std::string& ATitle)
{
    HWND window = FindPrevInstance(MainFormClass, ATitle);
    if (!window)
        return false;
    window = VCLUtilsTopOwner(window);
    if (GetClassName(window) != "TApplication") {
        ActivateWindow(window);
    } else {
        if (VCLUtilsThreadHasWindowOfClass("TAppBuilder"))
            return false;
        if (IsIconic(window)) {
            SendMessage(window, WM_SYSCOMMAND, SC_RESTORE, 0);
            return true;
        }
        ShowWinNoAnimate(window, SW_SHOWNOACTIVATE);
    }
    HWND popup = GetLastActivePopup(window);
    if (popup && popup != window && IsWindowVisible(popup) && IsWindowEnabled(popup))
        SetForegroundWindow(popup);
    else
        ActivateWindow(window);
    return true;
}

int MsgBox(const std::string& Caption, const std::string& Text, int Flags)
{
    return Application->MessageBox(Text, Caption, static_cast<UINT>(Flags));
}

int MsgDlg(const std::string& Msg, TMsgDlgType AType, TMsgDlgButtons AButtons, int HelpCtx)
{
    return MessageDlg(Msg, AType, AButtons, HelpCtx);
}

bool IsForegroundTask()
{
    HWND active = GetActiveWindow();
    if (!active)
        return false;
    bool found = false;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [&](HWND window, LPARAM) {
            found = window == active;
            return found ? FALSE : TRUE;
        },
        0);
    return found;
}

void* AllocMemo(long Size)
{
    if (Size <= 0)
        return nullptr;
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<std::size_t>(Size));
    void* block = handle ? GlobalLock(handle) : nullptr;
    if (block)
        VCLUtilsMemoHandles()[block] = handle;
    return block;
}

void* ReallocMemo(void* fpBlock, long Size)
{
    HGLOBAL handle = VCLUtilsHandleOf(fpBlock);
    if (!handle)
        return AllocMemo(Size);
    GlobalUnlock(handle);
    VCLUtilsMemoHandles().erase(fpBlock);
    HGLOBAL resized = GlobalReAlloc(handle, static_cast<std::size_t>(Size < 0 ? 0 : Size), GMEM_MOVEABLE | GMEM_ZEROINIT);
    if (!resized)
        resized = handle; // the old block stays as it was
    void* block = GlobalLock(resized);
    VCLUtilsMemoHandles()[block] = resized;
    return block;
}

void FreeMemo(void*& fpBlock)
{
    if (HGLOBAL handle = VCLUtilsHandleOf(fpBlock)) {
        VCLUtilsMemoHandles().erase(fpBlock);
        GlobalUnlock(handle);
        GlobalFree(handle);
    }
    fpBlock = nullptr;
}

long GetMemoSize(void* fpBlock)
{
    HGLOBAL handle = VCLUtilsHandleOf(fpBlock);
    return handle ? static_cast<long>(GlobalSize(handle)) : 0;
}

bool CompareMem(const void* fpBlock1, const void* fpBlock2, long Size)
{
    return Size <= 0 || std::memcmp(fpBlock1, fpBlock2, static_cast<std::size_t>(Size)) == 0;
}

void HugeInc(void*& HugePtr, long Amount) { HugePtr = HugeOffset(HugePtr, Amount); }
void HugeDec(void*& HugePtr, long Amount) { HugePtr = HugeOffset(HugePtr, -Amount); }
void* HugeOffset(void* HugePtr, long Amount) { return static_cast<char*>(HugePtr) + Amount; }

void HMemCpy(void* DstPtr, const void* SrcPtr, long Amount)
{
    if (Amount > 0)
        std::memmove(DstPtr, SrcPtr, static_cast<std::size_t>(Amount));
}

void HugeMove(void* Base, long Dst, long Src, long Size)
{
    constexpr long elementSize = 4;
    HMemCpy(HugeOffset(Base, Dst * elementSize), HugeOffset(Base, Src * elementSize), Size * elementSize);
}

std::string GetEnvVar(const std::string& Name)
{
    std::string value;
    return GetEnvironmentVariable(Name, value) ? value : std::string();
}

void SplitCommandLine(const std::string& CmdLine, std::string& ExeName, std::string& Params)
{
    std::size_t position = 0;
    ExeName = VCLUtilsNextArgument(CmdLine, position);
    Params.clear();
    if (ExeName.empty())
        return;
    for (std::string argument = VCLUtilsNextArgument(CmdLine, position); !argument.empty();
         argument = VCLUtilsNextArgument(CmdLine, position)) {
        if (!Params.empty())
            Params += ' ';
        Params += argument.find(' ') == std::string::npos ? argument : '"' + argument + '"';
    }
}

std::string AnsiUpperFirstChar(const std::string& S)
{
    std::string result = AnsiLowerCase(S);
    if (!result.empty())
        result[0] = AnsiUpperChar(result[0]);
    return result;
}

std::unique_ptr<char[]> StrPAlloc(const std::string& S)
{
    auto buffer = std::make_unique<char[]>(S.size() + 1);
    std::memcpy(buffer.get(), S.c_str(), S.size() + 1);
    return buffer;
}

char* StringToPChar(std::string& S) { return S.data(); }

std::string DropT(const std::string& S)
{
    return S.size() > 1 && (S[0] == 'T' || S[0] == 't') ? S.substr(1) : S;
}

std::string GetWindowsVersion()
{
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info))
        return {};
    int build = static_cast<int>(info.dwBuildNumber);
    std::string name;
    switch (info.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
        name = "32s";
        break;
    case VER_PLATFORM_WIN32_WINDOWS:
        name = info.dwMajorVersion > 4 || (info.dwMajorVersion == 4 && info.dwMinorVersion > 9) ? "98" : "95";
        build &= 0xFFFF;
        break;
    case VER_PLATFORM_WIN32_NT:
        name = "NT";
        break;
    default:
        return Trim(Format("Linux %d.%.2d.%.3d", {static_cast<int>(info.dwMajorVersion),
                                                  static_cast<int>(info.dwMinorVersion), build}));
    }
    return Trim(Format("Windows %s %d.%.2d.%.3d %s", {name, static_cast<int>(info.dwMajorVersion),
                                                      static_cast<int>(info.dwMinorVersion), build,
                                                      std::string(info.szCSDVersion)}));
}
