#include "controls/VCLUtils.h"

#include "controls/ExConst.h"
#include "platform/gui/Application.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/GlobalMemory.h"
#include "platform/gui/MessageQueue.h"
#include "platform/gui/Regions.h"
#include "platform/gui/Screen.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/WindowHandles.h"
#include "platform/os/Libraries.h"
#include "platform/os/SystemInfo.h"
#include "platform/os/Volumes.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/SysErrors.h"
#include "platform/rtl/TextUtils.h"
#include "platform/rtl/Threads.h"

#include <algorithm>
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

// --- Drawing, bitmaps and cursors ---------------------------------------------------------------

namespace {

// Brush where the monochrome source is white, destination where it is black (DSPDxax).
constexpr DWORD VCLUtilsRopBrushWhereSourceWhite = 0x00E20746;
// Destination AND pattern (DPa).
constexpr DWORD VCLUtilsRopDestAndPattern = 0x00A000C9;
constexpr COLORREF VCLUtilsPaletteRelative = 0x02000000;

// Puts a device context back into the state SaveDC found, however the drawing in between ends.
class VCLUtilsSavedDC {
public:
    explicit VCLUtilsSavedDC(HDC dc) : FDC(dc), FLevel(SaveDC(dc)) {}
    ~VCLUtilsSavedDC() { RestoreDC(FDC, FLevel); }
    VCLUtilsSavedDC(const VCLUtilsSavedDC&) = delete;
    VCLUtilsSavedDC& operator=(const VCLUtilsSavedDC&) = delete;

private:
    HDC FDC;
    int FLevel;
};

// A memory context with a bitmap of its own selected, both freed together.
class VCLUtilsMemoryDC {
public:
    VCLUtilsMemoryDC(HDC reference, HBITMAP bitmap)
        : FDC(CreateCompatibleDC(reference)), FBitmap(bitmap), FOld(SelectObject(FDC, bitmap))
    {
    }
    ~VCLUtilsMemoryDC()
    {
        SelectObject(FDC, FOld);
        DeleteDC(FDC);
        DeleteObject(FBitmap);
    }
    VCLUtilsMemoryDC(const VCLUtilsMemoryDC&) = delete;
    VCLUtilsMemoryDC& operator=(const VCLUtilsMemoryDC&) = delete;
    HDC Handle() const { return FDC; }

private:
    HDC FDC;
    HBITMAP FBitmap;
    HGDIOBJ FOld;
};

// Marks a control as painting a copy of itself for as long as the object lives.
class VCLUtilsPaintCopyMark {
public:
    explicit VCLUtilsPaintCopyMark(TControl* control) : FControl(control) { FControl->ControlState.Include(csPaintCopy); }
    ~VCLUtilsPaintCopyMark() { FControl->ControlState.Exclude(csPaintCopy); }
    VCLUtilsPaintCopyMark(const VCLUtilsPaintCopyMark&) = delete;
    VCLUtilsPaintCopyMark& operator=(const VCLUtilsPaintCopyMark&) = delete;

private:
    TControl* FControl;
};

// Fills a rectangle of a context with a plain colour.
void VCLUtilsFill(HDC dc, const TRect& rect, COLORREF color)
{
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

// Blits a monochrome mask through the raster operation that paints brushColor where the mask,
// seen through the given text and background colours, is white.
void VCLUtilsPaintThroughMask(TCanvas* canvas, TColor brushColor, COLORREF textColor, COLORREF backColor, int x,
                              int y, int width, int height, HDC mask)
{
    canvas->Brush()->SetColor(brushColor);
    HDC dc = canvas->Handle();
    SelectObject(dc, canvas->Brush()->Handle());
    const COLORREF oldText = SetTextColor(dc, textColor);
    const COLORREF oldBack = SetBkColor(dc, backColor);
    BitBlt(dc, x, y, width, height, mask, 0, 0, VCLUtilsRopBrushWhereSourceWhite);
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBack);
}

// The shared drawing of the three canvas variants.
void VCLUtilsStretchBitmapTransparent(TCanvas* dest, TBitmap* bitmap, TColor transparentColor, int dstX, int dstY,
                                      int dstW, int dstH, int srcX, int srcY, int srcW, int srcH)
{
    if (!dest || !bitmap || bitmap->Empty())
        return;
    if (dstW <= 0)
        dstW = bitmap->Width();
    if (dstH <= 0)
        dstH = bitmap->Height();
    if (srcW <= 0 || srcH <= 0) {
        srcX = 0;
        srcY = 0;
        srcW = bitmap->Width();
        srcH = bitmap->Height();
    }
    if (!bitmap->Monochrome())
        SetStretchBltMode(dest->Handle(), COLORONCOLOR);
    TCanvas* source = bitmap->Canvas();
    TNotifyEvent changing = source->OnChanging;
    source->Lock();
    source->OnChanging = nullptr;
    struct TRestore {
        TCanvas* Source;
        TNotifyEvent& Changing;
        ~TRestore()
        {
            Source->OnChanging = Changing;
            Source->Unlock();
        }
    } restore{source, changing};
    if (transparentColor == clNone) {
        StretchBlt(dest->Handle(), dstX, dstY, dstW, dstH, source->Handle(), srcX, srcY, srcW, srcH, dest->CopyMode());
        return;
    }
    if (transparentColor == clDefault)
        transparentColor = source->Pixels(0, bitmap->Height() - 1);
    const COLORREF key = bitmap->Monochrome() ? 0xFFFFFF : ColorToRGB(transparentColor);
    StretchBltTransparent(dest->Handle(), dstX, dstY, dstW, dstH, source->Handle(), srcX, srcY, srcW, srcH,
                          bitmap->Palette(), key);
}

// The scratch bitmap of WriteText: made on first use, never shrunk, freed when the program ends.
TBitmap& VCLUtilsDrawBitmap()
{
    static std::unique_ptr<TBitmap> bitmap = std::make_unique<TBitmap>();
    return *bitmap;
}

int VCLUtilsWaitCount = 0;
TCursor VCLUtilsSaveCursor = crDefault;

} // namespace

TCursor WaitCursor = crHourGlass;

// --- TScreenCanvas ---

TScreenCanvas::~TScreenCanvas() { FreeHandle(); }

void TScreenCanvas::CreateHandle()
{
    if (!FDeviceContext)
        FDeviceContext = GetDC(nullptr);
    SetHandle(FDeviceContext);
}

void TScreenCanvas::FreeHandle()
{
    if (!FDeviceContext)
        return;
    SetHandle(nullptr);
    ReleaseDC(nullptr, FDeviceContext);
    FDeviceContext = nullptr;
}

void TScreenCanvas::SetOrigin(int X, int Y) { SetWindowOrgEx(Handle(), -X, -Y, nullptr); }

// --- Resources ---

void ResourceNotFound(const TResourceName& ResID)
{
    const std::string name = ResID.IsId() ? std::to_string(ResID.Id()) : ResID.Text();
    RAISE(EResNotFound(Format("Resource %s not found", {name})));
}

std::unique_ptr<TBitmap> MakeModuleBitmap(HINSTANCE Module, const TResourceName& ResID)
{
    auto result = std::make_unique<TBitmap>();
    try {
        if (Module) {
            if (ResID.IsId())
                result->LoadFromResourceID(Module, ResID.Id());
            else
                result->LoadFromResourceName(Module, ResID.Text());
        } else {
            HBITMAP handle = LoadBitmap(nullptr, ResID);
            if (!handle)
                ResourceNotFound(ResID);
            result->SetHandle(handle);
        }
    } catch (const Exception&) {
        return nullptr;
    }
    return result;
}

std::unique_ptr<TBitmap> MakeBitmap(const std::string& ResName) { return MakeModuleBitmap(MainInstance(), ResName); }

std::unique_ptr<TBitmap> MakeBitmapID(int ResID) { return MakeModuleBitmap(MainInstance(), MAKEINTRESOURCE(ResID)); }

std::unique_ptr<TIcon> MakeModuleIcon(HINSTANCE Module, const TResourceName& ResID)
{
    HICON handle = LoadIcon(Module, ResID);
    if (!handle)
        return nullptr;
    auto result = std::make_unique<TIcon>();
    // The loaded icon is shared by every caller; the object gets a copy of its own.
    result->SetHandle(CopyIcon(handle));
    return result;
}

std::unique_ptr<TIcon> MakeIcon(const std::string& ResName) { return MakeModuleIcon(MainInstance(), ResName); }

std::unique_ptr<TIcon> MakeIconID(int ResID) { return MakeModuleIcon(MainInstance(), MAKEINTRESOURCE(ResID)); }

// --- Bitmap cells and the parent's image ---

void AssignBitmapCell(TGraphic* Source, TBitmap* Dest, int Cols, int Rows, int Index)
{
    if (!Source || !Dest)
        return;
    Cols = std::max(Cols, 1);
    Rows = std::max(Rows, 1);
    Index = std::max(Index, 0);
    const int cellWidth = Source->Width() / Cols;
    const int cellHeight = Source->Height() / Rows;
    const int cellLeft = (Index % Cols) * cellWidth;
    const int cellTop = (Index / Cols) * cellHeight;
    Dest->SetSize(cellWidth, cellHeight);
    const TRect whole = Bounds(0, 0, cellWidth, cellHeight);
    if (auto* bitmap = dynamic_cast<TBitmap*>(Source)) {
        if (cellWidth > 0 && cellHeight > 0)
            Dest->Canvas()->CopyRect(whole, bitmap->Canvas(), Bounds(cellLeft, cellTop, cellWidth, cellHeight));
        Dest->SetTransparentColor(bitmap->TransparentColor());
    } else if (cellWidth > 0 && cellHeight > 0) {
        Dest->Canvas()->Brush()->SetColor(clSilver);
        Dest->Canvas()->FillRect(whole);
        Dest->Canvas()->Draw(-cellLeft, -cellTop, Source);
    }
    Dest->SetTransparent(Source->Transparent());
}

void CopyParentImage(TControl* Control, TCanvas* Dest)
{
    if (!Control || !Dest || !Control->Parent())
        return;
    TWinControl* parent = Control->Parent();
    HDC dc = Dest->Handle();
    const TRect self = Control->BoundsRect();
    const int x = -Control->Left();
    const int y = -Control->Top();
    VCLUtilsPaintCopyMark parentMark(parent);
    {
        VCLUtilsSavedDC saved(dc);
        SetViewportOrgEx(dc, x, y, nullptr);
        IntersectClipRect(dc, 0, 0, parent->ClientWidth(), parent->ClientHeight());
        parent->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        parent->PaintWindow(dc);
    }
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* sibling = parent->Controls(i);
        if (sibling == Control)
            break;
        auto* graphic = dynamic_cast<TGraphicControl*>(sibling);
        TRect overlap;
        if (!graphic || !graphic->Visible() || !IntersectRect(overlap, self, graphic->BoundsRect()))
            continue;
        VCLUtilsPaintCopyMark mark(graphic);
        VCLUtilsSavedDC saved(dc);
        SetViewportOrgEx(dc, graphic->Left() + x, graphic->Top() + y, nullptr);
        IntersectClipRect(dc, 0, 0, graphic->Width(), graphic->Height());
        graphic->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    }
}

// --- Transparent drawing ---

void StretchBltTransparent(HDC DstDC, int DstX, int DstY, int DstW, int DstH, HDC SrcDC, int SrcX, int SrcY, int SrcW,
                           int SrcH, HPALETTE Palette, COLORREF TransparentColor)
{
    if (DstW < 1 || DstH < 1 || SrcW < 1 || SrcH < 1)
        return;
    VCLUtilsMemoryDC inverseMask(DstDC, CreateBitmap(SrcW, SrcH, 1, 1, nullptr));
    VCLUtilsMemoryDC mask(DstDC, CreateBitmap(SrcW, SrcH, 1, 1, nullptr));
    VCLUtilsMemoryDC work(DstDC, CreateCompatibleBitmap(DstDC, DstW, DstH));
    VCLUtilsMemoryDC object(DstDC, CreateCompatibleBitmap(DstDC, SrcW, SrcH));
    HPALETTE oldDst = nullptr, oldObject = nullptr, oldMask = nullptr, oldWork = nullptr;
    if (Palette) {
        oldDst = SelectPalette(DstDC, Palette, TRUE);
        RealizePalette(DstDC);
        oldObject = SelectPalette(object.Handle(), Palette, FALSE);
        RealizePalette(object.Handle());
        oldMask = SelectPalette(mask.Handle(), Palette, FALSE);
        RealizePalette(mask.Handle());
        oldWork = SelectPalette(work.Handle(), Palette, TRUE);
        RealizePalette(work.Handle());
    }
    SetMapMode(SrcDC, GetMapMode(DstDC));
    SetMapMode(object.Handle(), GetMapMode(DstDC));
    BitBlt(object.Handle(), 0, 0, SrcW, SrcH, SrcDC, SrcX, SrcY, SRCCOPY);
    // Copying to monochrome makes the pixels of the background colour white: the transparent ones.
    const COLORREF oldBack = SetBkColor(object.Handle(), PaletteColor(static_cast<TColor>(TransparentColor)));
    BitBlt(mask.Handle(), 0, 0, SrcW, SrcH, object.Handle(), 0, 0, SRCCOPY);
    SetBkColor(object.Handle(), oldBack);
    BitBlt(inverseMask.Handle(), 0, 0, SrcW, SrcH, mask.Handle(), 0, 0, NOTSRCCOPY);
    BitBlt(work.Handle(), 0, 0, DstW, DstH, DstDC, DstX, DstY, SRCCOPY);
    StretchBlt(work.Handle(), 0, 0, DstW, DstH, mask.Handle(), 0, 0, SrcW, SrcH, SRCAND);
    BitBlt(object.Handle(), 0, 0, SrcW, SrcH, inverseMask.Handle(), 0, 0, SRCAND);
    StretchBlt(work.Handle(), 0, 0, DstW, DstH, object.Handle(), 0, 0, SrcW, SrcH, SRCPAINT);
    BitBlt(DstDC, DstX, DstY, DstW, DstH, work.Handle(), 0, 0, SRCCOPY);
    if (Palette) {
        SelectPalette(work.Handle(), oldWork, TRUE);
        SelectPalette(mask.Handle(), oldMask, FALSE);
        SelectPalette(object.Handle(), oldObject, FALSE);
        SelectPalette(DstDC, oldDst, TRUE);
    }
}

void DrawTransparentBitmap(HDC DC, HBITMAP Bitmap, int DstX, int DstY, COLORREF TransparentColor)
{
    BITMAP info;
    if (!GetObject(Bitmap, sizeof(info), &info))
        return;
    HDC source = CreateCompatibleDC(DC);
    HGDIOBJ old = SelectObject(source, Bitmap);
    StretchBltTransparent(DC, DstX, DstY, info.bmWidth, info.bmHeight, source, 0, 0, info.bmWidth, info.bmHeight,
                          nullptr, TransparentColor);
    SelectObject(source, old);
    DeleteDC(source);
}

void StretchBitmapRectTransparent(TCanvas* Dest, int DstX, int DstY, int DstW, int DstH, const TRect& SrcRect,
                                  TBitmap* Bitmap, TColor TransparentColor)
{
    VCLUtilsStretchBitmapTransparent(Dest, Bitmap, TransparentColor, DstX, DstY, DstW, DstH, SrcRect.Left,
                                     SrcRect.Top, WidthOf(SrcRect), HeightOf(SrcRect));
}

void DrawBitmapRectTransparent(TCanvas* Dest, int DstX, int DstY, const TRect& SrcRect, TBitmap* Bitmap,
                               TColor TransparentColor)
{
    VCLUtilsStretchBitmapTransparent(Dest, Bitmap, TransparentColor, DstX, DstY, WidthOf(SrcRect),
                                     HeightOf(SrcRect), SrcRect.Left, SrcRect.Top, WidthOf(SrcRect),
                                     HeightOf(SrcRect));
}

void DrawBitmapTransparent(TCanvas* Dest, int DstX, int DstY, TBitmap* Bitmap, TColor TransparentColor)
{
    if (!Bitmap)
        return;
    VCLUtilsStretchBitmapTransparent(Dest, Bitmap, TransparentColor, DstX, DstY, Bitmap->Width(), Bitmap->Height(),
                                     0, 0, Bitmap->Width(), Bitmap->Height());
}

std::unique_ptr<TBitmap> ChangeBitmapColor(TBitmap* Bitmap, TColor Color, TColor NewColor)
{
    auto result = std::make_unique<TBitmap>();
    if (!Bitmap)
        return result;
    const TRect whole = Bounds(0, 0, Bitmap->Width(), Bitmap->Height());
    result->SetSize(Bitmap->Width(), Bitmap->Height());
    result->Canvas()->Brush()->SetColor(NewColor);
    result->Canvas()->FillRect(whole);
    result->Canvas()->BrushCopy(whole, Bitmap, whole, Color);
    return result;
}

// --- Disabled images and patterns ---

std::unique_ptr<TBitmap> CreateDisabledBitmapEx(TBitmap* FOriginal, TColor OutlineColor, TColor BackColor,
                                                TColor HighlightColor, TColor ShadowColor, bool DrawHighlight)
{
    auto result = std::make_unique<TBitmap>();
    if (!FOriginal)
        return result;
    const int width = FOriginal->Width();
    const int height = FOriginal->Height();
    const TRect whole = Rect(0, 0, width, height);
    result->SetSize(width, height);
    if (width <= 0 || height <= 0)
        return result;
    TBitmap mask;
    mask.SetSize(width, height);
    mask.Canvas()->CopyRect(whole, FOriginal->Canvas(), whole);
    mask.SetHandleType(bmDDB);
    mask.Canvas()->Brush()->SetColor(OutlineColor);
    if (mask.Monochrome()) {
        mask.Canvas()->Font()->SetColor(clWhite);
        mask.SetMonochrome(false);
        mask.Canvas()->Brush()->SetColor(clWhite);
    }
    // The pixels of the outline colour become white, all others black.
    mask.SetMonochrome(true);

    TCanvas* canvas = result->Canvas();
    canvas->Brush()->SetColor(BackColor);
    canvas->FillRect(whole);
    if (DrawHighlight)
        VCLUtilsPaintThroughMask(canvas, HighlightColor, 0x000000, 0xFFFFFF, 1, 1, width, height,
                                 mask.Canvas()->Handle());
    VCLUtilsPaintThroughMask(canvas, ShadowColor, 0x000000, 0xFFFFFF, 0, 0, width, height, mask.Canvas()->Handle());
    return result;
}

std::unique_ptr<TBitmap> CreateDisabledBitmap(TBitmap* FOriginal, TColor OutlineColor)
{
    return CreateDisabledBitmapEx(FOriginal, OutlineColor, clBtnFace, clBtnHighlight, clBtnShadow, true);
}

void ImageListDrawDisabled(TCustomImageList* Images, TCanvas* Canvas, int X, int Y, int Index, TColor HighlightColor,
                           TColor GrayColor, bool DrawHighlight)
{
    if (!Images || !Canvas)
        return;
    const int width = Images->Width();
    const int height = Images->Height();
    TBitmap mask;
    mask.SetSize(width, height);
    mask.Canvas()->Brush()->SetColor(clWhite);
    mask.Canvas()->FillRect(Rect(0, 0, width, height));
    ImageList_Draw(Images->Handle(), Index, mask.Canvas()->Handle(), 0, 0, ILD_MASK);
    // Black where the image is opaque.
    mask.SetMonochrome(true);
    const TColor savedBrush = Canvas->Brush()->Color();
    // White text on black makes the mask's black pixels the ones that take the brush.
    if (DrawHighlight)
        VCLUtilsPaintThroughMask(Canvas, HighlightColor, 0xFFFFFF, 0x000000, X + 1, Y + 1, width, height,
                                 mask.Canvas()->Handle());
    VCLUtilsPaintThroughMask(Canvas, GrayColor, 0xFFFFFF, 0x000000, X, Y, width, height, mask.Canvas()->Handle());
    Canvas->Brush()->SetColor(savedBrush);
}

std::unique_ptr<TBitmap> CreateTwoColorsBrushPattern(TColor Color1, TColor Color2)
{
    auto result = std::make_unique<TBitmap>();
    result->SetSize(8, 8);
    TCanvas* canvas = result->Canvas();
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color1);
    canvas->FillRect(Rect(0, 0, 8, 8));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            if (y % 2 == x % 2)
                canvas->SetPixels(x, y, Color2);
    return result;
}

std::unique_ptr<TBitmap> CreateBitmapFromIcon(TIcon* Icon, TColor BackColor)
{
    auto result = std::make_unique<TBitmap>();
    if (!Icon)
        return result;
    result->SetSize(Icon->Width(), Icon->Height());
    result->Canvas()->Brush()->SetColor(BackColor);
    result->Canvas()->FillRect(Rect(0, 0, Icon->Width(), Icon->Height()));
    result->Canvas()->Draw(0, 0, Icon);
    result->SetTransparentColor(BackColor);
    result->SetTransparent(true);
    return result;
}

std::unique_ptr<TIcon> CreateIconFromBitmap(TBitmap* Bitmap, TColor TransparentColor)
{
    auto result = std::make_unique<TIcon>();
    if (!Bitmap || Bitmap->Empty())
        return result;
    TImageList list(Bitmap->Width(), Bitmap->Height());
    if (TransparentColor == clDefault)
        TransparentColor = Bitmap->TransparentColor();
    list.AllocBy = 1;
    list.AddMasked(Bitmap, TransparentColor);
    list.GetIcon(0, result.get());
    return result;
}

// --- The screen, rectangles, palettes, fonts ---

void PaintInverseRect(const TPoint& RectOrg, const TPoint& RectEnd)
{
    HDC dc = GetDC(nullptr);
    const TRect rect = Rect(RectOrg.X, RectOrg.Y, RectEnd.X, RectEnd.Y);
    InvertRect(dc, &rect);
    ReleaseDC(nullptr, dc);
}

void DrawInvertFrame(TRect ScreenRect, int Width)
{
    HDC dc = GetDC(nullptr);
    for (int i = 1; i <= Width; ++i) {
        DrawFocusRect(dc, &ScreenRect);
        InflateRect(ScreenRect, -1, -1);
    }
    ReleaseDC(nullptr, dc);
}

int WidthOf(const TRect& R) { return R.Right - R.Left; }
int HeightOf(const TRect& R) { return R.Bottom - R.Top; }

bool PointInRect(const TPoint& P, const TRect& R)
{
    return P.X >= R.Left && P.X <= R.Right && P.Y >= R.Top && P.Y <= R.Bottom;
}

bool PointInPolyRgn(const TPoint& P, const std::vector<TPoint>& Points)
{
    HRGN region = CreatePolygonRgn(Points.data(), static_cast<int>(Points.size()), WINDING);
    const bool inside = PtInRegion(region, P.X, P.Y);
    DeleteObject(region);
    return inside;
}

TColor PaletteColor(TColor Color) { return static_cast<TColor>(ColorToRGB(Color) | VCLUtilsPaletteRelative); }

int PaletteEntries(HPALETTE Palette)
{
    WORD count = 0;
    if (!Palette || !GetObject(Palette, sizeof(count), &count))
        return 0;
    return count;
}

HFONT CreateRotatedFont(TFont* Font, int Angle)
{
    LOGFONTA description;
    description.lfHeight = Font->Height();
    description.lfWidth = 0;
    description.lfEscapement = Angle * 10;
    description.lfOrientation = 0;
    description.lfWeight = Font->Style().Contains(fsBold) ? FW_BOLD : FW_NORMAL;
    description.lfItalic = Font->Style().Contains(fsItalic);
    description.lfUnderline = Font->Style().Contains(fsUnderline);
    description.lfStrikeOut = Font->Style().Contains(fsStrikeOut);
    description.lfCharSet = Font->Charset();
    const std::string name = SameText(Font->Name(), "Default") ? TFont().Name() : Font->Name();
    std::strncpy(description.lfFaceName, name.c_str(), LF_FACESIZE - 1);
    description.lfQuality = DEFAULT_QUALITY;
    description.lfOutPrecision = OUT_DEFAULT_PRECIS;
    description.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    switch (Font->Pitch()) {
    case fpVariable:
        description.lfPitchAndFamily = VARIABLE_PITCH;
        break;
    case fpFixed:
        description.lfPitchAndFamily = FIXED_PITCH;
        break;
    default:
        description.lfPitchAndFamily = DEFAULT_PITCH;
    }
    return CreateFontIndirect(description);
}

void ShadeRect(HDC DC, const TRect& Rect)
{
    // Rows of 16 bits, as device bitmaps keep them; the first byte holds the eight pixels.
    static const WORD hatchBits[8] = {0x11, 0x22, 0x44, 0x88, 0x11, 0x22, 0x44, 0x88};
    HBITMAP pattern = CreateBitmap(8, 8, 1, 1, hatchBits);
    HBRUSH brush = CreatePatternBrush(pattern);
    HGDIOBJ savedBrush = SelectObject(DC, brush);
    const COLORREF savedText = SetTextColor(DC, 0xFFFFFF);
    const COLORREF savedBack = SetBkColor(DC, 0x000000);
    PatBlt(DC, Rect.Left, Rect.Top, Rect.Right - Rect.Left, Rect.Bottom - Rect.Top, VCLUtilsRopDestAndPattern);
    SetBkColor(DC, savedBack);
    SetTextColor(DC, savedText);
    SelectObject(DC, savedBrush);
    DeleteObject(brush);
    DeleteObject(pattern);
}

void GradientFillRect(TCanvas* Canvas, const TRect& ARect, TColor StartColor, TColor EndColor,
                      TFillDirection Direction, int Colors)
{
    if (!Canvas || IsRectEmpty(ARect))
        return;
    HDC dc = Canvas->Handle();
    if (Colors < 2) {
        VCLUtilsFill(dc, ARect, ColorToRGB(StartColor));
        return;
    }
    const COLORREF start = ColorToRGB(StartColor);
    const COLORREF end = ColorToRGB(EndColor);
    const bool forward = Direction == fdTopToBottom || Direction == fdLeftToRight;
    const bool vertical = Direction == fdTopToBottom || Direction == fdBottomToTop;
    const COLORREF base = forward ? start : end;
    const COLORREF other = forward ? end : start;
    int baseRgb[3], delta[3];
    for (int channel = 0; channel < 3; ++channel) {
        baseRgb[channel] = (base >> (8 * channel)) & 0xFF;
        delta[channel] = static_cast<int>((other >> (8 * channel)) & 0xFF) - baseRgb[channel];
    }
    const int extent = vertical ? HeightOf(ARect) : WidthOf(ARect);
    const int steps = std::max(2, std::min(Colors, extent));
    const int band = extent / steps;
    Canvas->Pen()->SetStyle(psSolid);
    Canvas->Pen()->SetMode(pmCopy);
    TRect colorBand = ARect;
    if (band > 0) {
        for (int i = 0; i < steps; ++i) {
            if (vertical) {
                colorBand.Top = ARect.Top + i * band;
                colorBand.Bottom = colorBand.Top + band;
            } else {
                colorBand.Left = ARect.Left + i * band;
                colorBand.Right = colorBand.Left + band;
            }
            COLORREF color = 0;
            for (int channel = 0; channel < 3; ++channel)
                color |= static_cast<COLORREF>((baseRgb[channel] + MulDiv(i, delta[channel], steps - 1)) & 0xFF)
                         << (8 * channel);
            VCLUtilsFill(dc, colorBand, color);
        }
    }
    const int leftover = extent % steps;
    if (leftover > 0) {
        colorBand = ARect;
        if (vertical)
            colorBand.Top = ARect.Bottom - leftover;
        else
            colorBand.Left = ARect.Right - leftover;
        VCLUtilsFill(dc, colorBand, forward ? end : start);
    }
}

// --- Text ---

std::string MinimizeText(const std::string& Text, TCanvas* Canvas, int MaxWidth)
{
    std::string result = Text;
    const int length = static_cast<int>(Text.size());
    for (int i = 1; i <= length && Canvas->TextWidth(result) > MaxWidth; ++i)
        result = Text.substr(0, static_cast<std::size_t>(std::max(0, length - i - 1))) + "...";
    return result;
}

TPoint GetAveCharSize(TCanvas* Canvas)
{
    std::string letters;
    for (char c = 'A'; c <= 'Z'; ++c)
        letters += c;
    for (char c = 'a'; c <= 'z'; ++c)
        letters += c;
    const TSize size = Canvas->TextExtent(letters);
    return Point(size.cx / 52, size.cy);
}

void WriteText(TCanvas* ACanvas, const TRect& ARect, int DX, int DY, const std::string& Text, TAlignment Alignment,
               bool WordWrap)
{
    static const UINT alignFlags[] = {DT_LEFT | DT_EXPANDTABS | DT_NOPREFIX, DT_RIGHT | DT_EXPANDTABS | DT_NOPREFIX,
                                      DT_CENTER | DT_EXPANDTABS | DT_NOPREFIX};
    const COLORREF brush = ColorToRGB(ACanvas->Brush()->Color());
    if (!WordWrap && GetNearestColor(ACanvas->Handle(), brush) == brush && Text.find('\r') == std::string::npos) {
        int left;
        switch (Alignment) {
        case taLeftJustify:
            left = ARect.Left + DX;
            break;
        case taRightJustify:
            left = ARect.Right - ACanvas->TextWidth(Text) - 3;
            break;
        default:
            left = ARect.Left + (ARect.Right - ARect.Left) / 2 - ACanvas->TextWidth(Text) / 2;
        }
        ACanvas->TextRect(ARect, left, ARect.Top + DY, Text);
        return;
    }
    // Dithered brushes, several lines and wrapped text go through the off-screen bitmap.
    TBitmap& scratch = VCLUtilsDrawBitmap();
    TCanvas* canvas = scratch.Canvas();
    canvas->Lock();
    struct TUnlock {
        TCanvas* Canvas;
        ~TUnlock() { Canvas->Unlock(); }
    } unlock{canvas};
    const int width = ARect.Right - ARect.Left;
    const int height = ARect.Bottom - ARect.Top;
    scratch.SetSize(std::max(scratch.Width(), width), std::max(scratch.Height(), height));
    TRect textRect = Rect(DX, DY, width - 1, height - 1);
    const TRect whole = Rect(0, 0, width, height);
    canvas->SetFont(ACanvas->Font());
    canvas->Font()->SetColor(ACanvas->Font()->Color());
    canvas->SetBrush(ACanvas->Brush());
    canvas->Brush()->SetStyle(bsSolid);
    canvas->FillRect(whole);
    SetBkMode(canvas->Handle(), TRANSPARENT);
    DrawText(canvas->Handle(), Text, -1, &textRect,
             alignFlags[std::clamp(static_cast<int>(Alignment), 0, 2)] | (WordWrap ? DT_WORDBREAK : 0));
    ACanvas->CopyRect(ARect, canvas, whole);
}

void DrawCellTextEx(TCustomControl* Control, int, int, const std::string& S, const TRect& ARect, TAlignment Align,
                    TVertAlignment VertAlign, bool WordWrap)
{
    TCanvas* canvas = Control->Canvas();
    const int height = ARect.Bottom - ARect.Top;
    int dy = 2;
    if (VertAlign == vaCenter)
        dy = std::max(1, (height - canvas->TextHeight("W")) / 2);
    else if (VertAlign == vaBottomJustify)
        dy = std::max(2, height - canvas->TextHeight("W"));
    WriteText(canvas, ARect, 2, dy, S, Align, WordWrap);
}

void DrawCellText(TCustomControl* Control, int ACol, int ARow, const std::string& S, const TRect& ARect,
                  TAlignment Align, TVertAlignment VertAlign)
{
    DrawCellTextEx(Control, ACol, ARow, S, ARect, Align, VertAlign, Align == taCenter);
}

void DrawCellBitmap(TCustomControl* Control, int, int, TGraphic* Bmp, TRect Rect)
{
    if (!Bmp)
        return;
    Rect.Top = (Rect.Bottom + Rect.Top - Bmp->Height()) / 2;
    Rect.Left = (Rect.Right + Rect.Left - Bmp->Width()) / 2;
    Control->Canvas()->Draw(Rect.Left, Rect.Top, Bmp);
}

// --- Cursors ---

HCURSOR LoadAniCursor(HINSTANCE, const TResourceName&)
{
    // An animated cursor would be written to a file and loaded from there; the layer shows none.
    return nullptr;
}

TCursor DefineCursor(HINSTANCE Instance, const TResourceName& ResID)
{
    HCURSOR handle = LoadCursor(Instance, ResID);
    if (!handle)
        handle = LoadAniCursor(Instance, ResID);
    if (!handle)
        ResourceNotFound(ResID);
    const HCURSOR free = Screen->Cursors(crDefault);
    for (TCursor slot = 100; slot <= 32767; ++slot) {
        if (Screen->Cursors(slot) == free) {
            Screen->SetCursors(slot, handle);
            return slot;
        }
    }
    // The layer shares a loaded cursor among its callers, so it stays: only the slot is missing.
    RAISE(EOutOfResources("Out of system resources"));
}

void StartWait()
{
    if (VCLUtilsWaitCount == 0) {
        VCLUtilsSaveCursor = Screen->Cursor();
        Screen->SetCursor(WaitCursor);
    }
    ++VCLUtilsWaitCount;
}

void StopWait()
{
    if (VCLUtilsWaitCount == 0)
        return;
    if (--VCLUtilsWaitCount == 0)
        Screen->SetCursor(VCLUtilsSaveCursor);
}
