#pragma once
// Window messages, the class library's component messages and notifications, virtual keys, the
// flags of the window functions, TMessage and the typed views over it.

#include "platform/gui/WinTypes.h"

#include <string>

// --- Window messages ------------------------------------------------------------------------------
constexpr UINT WM_NULL = 0x0000, WM_CREATE = 0x0001, WM_DESTROY = 0x0002, WM_MOVE = 0x0003, WM_SIZE = 0x0005,
               WM_ACTIVATE = 0x0006, WM_SETFOCUS = 0x0007, WM_KILLFOCUS = 0x0008, WM_ENABLE = 0x000A,
               WM_SETREDRAW = 0x000B, WM_SETTEXT = 0x000C, WM_GETTEXT = 0x000D, WM_GETTEXTLENGTH = 0x000E,
               WM_PAINT = 0x000F, WM_CLOSE = 0x0010, WM_QUIT = 0x0012, WM_ERASEBKGND = 0x0014,
               WM_SYSCOLORCHANGE = 0x0015, WM_SHOWWINDOW = 0x0018, WM_WININICHANGE = 0x001A,
               WM_ACTIVATEAPP = 0x001C, WM_CANCELMODE = 0x001F, WM_SETCURSOR = 0x0020, WM_MOUSEACTIVATE = 0x0021,
               WM_GETMINMAXINFO = 0x0024, WM_DRAWITEM = 0x002B, WM_MEASUREITEM = 0x002C, WM_SETFONT = 0x0030,
               WM_GETFONT = 0x0031, WM_WINDOWPOSCHANGING = 0x0046, WM_WINDOWPOSCHANGED = 0x0047,
               WM_NOTIFY = 0x004E, WM_HELP = 0x0053, WM_CONTEXTMENU = 0x007B, WM_NCCREATE = 0x0081,
               WM_NCDESTROY = 0x0082, WM_NCCALCSIZE = 0x0083, WM_NCHITTEST = 0x0084, WM_NCPAINT = 0x0085,
               WM_NCACTIVATE = 0x0086, WM_GETDLGCODE = 0x0087, WM_KEYDOWN = 0x0100, WM_KEYUP = 0x0101,
               WM_CHAR = 0x0102, WM_SYSKEYDOWN = 0x0104, WM_SYSKEYUP = 0x0105, WM_SYSCHAR = 0x0106,
               WM_COMMAND = 0x0111, WM_SYSCOMMAND = 0x0112, WM_TIMER = 0x0113, WM_HSCROLL = 0x0114,
               WM_VSCROLL = 0x0115, WM_INITMENUPOPUP = 0x0117, WM_MENUSELECT = 0x011F, WM_MENUCHAR = 0x0120,
               WM_CTLCOLOREDIT = 0x0133, WM_CTLCOLORLISTBOX = 0x0134, WM_CTLCOLORBTN = 0x0135,
               WM_CTLCOLORSCROLLBAR = 0x0137, WM_CTLCOLORSTATIC = 0x0138, WM_MOUSEFIRST = 0x0200,
               WM_MOUSEMOVE = 0x0200, WM_LBUTTONDOWN = 0x0201, WM_LBUTTONUP = 0x0202, WM_LBUTTONDBLCLK = 0x0203,
               WM_RBUTTONDOWN = 0x0204, WM_RBUTTONUP = 0x0205, WM_RBUTTONDBLCLK = 0x0206,
               WM_MBUTTONDOWN = 0x0207, WM_MBUTTONUP = 0x0208, WM_MBUTTONDBLCLK = 0x0209,
               WM_MOUSEWHEEL = 0x020A, WM_MOUSELAST = 0x020A, WM_PARENTNOTIFY = 0x0210,
               WM_ENTERMENULOOP = 0x0211, WM_EXITMENULOOP = 0x0212, WM_CAPTURECHANGED = 0x0215,
               WM_DROPFILES = 0x0233, WM_CUT = 0x0300, WM_COPY = 0x0301, WM_PASTE = 0x0302, WM_CLEAR = 0x0303,
               WM_UNDO = 0x0304, WM_USER = 0x0400, WM_APP = 0x8000;
constexpr UINT WM_KEYFIRST = WM_KEYDOWN, WM_KEYLAST = 0x0108;

// --- Component messages ---------------------------------------------------------------------------
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_ACTIVATE = CM_BASE + 0, CM_DEACTIVATE = CM_BASE + 1, CM_GOTFOCUS = CM_BASE + 2,
               CM_LOSTFOCUS = CM_BASE + 3, CM_CANCELMODE = CM_BASE + 4, CM_DIALOGKEY = CM_BASE + 5,
               CM_DIALOGCHAR = CM_BASE + 6, CM_FOCUSCHANGED = CM_BASE + 7, CM_PARENTFONTCHANGED = CM_BASE + 8,
               CM_PARENTCOLORCHANGED = CM_BASE + 9, CM_HITTEST = CM_BASE + 10, CM_VISIBLECHANGED = CM_BASE + 11,
               CM_ENABLEDCHANGED = CM_BASE + 12, CM_COLORCHANGED = CM_BASE + 13, CM_FONTCHANGED = CM_BASE + 14,
               CM_CURSORCHANGED = CM_BASE + 15, CM_CTL3DCHANGED = CM_BASE + 16,
               CM_PARENTCTL3DCHANGED = CM_BASE + 17, CM_TEXTCHANGED = CM_BASE + 18, CM_MOUSEENTER = CM_BASE + 19,
               CM_MOUSELEAVE = CM_BASE + 20, CM_MENUCHANGED = CM_BASE + 21, CM_APPKEYDOWN = CM_BASE + 22,
               CM_APPSYSCOMMAND = CM_BASE + 23, CM_BUTTONPRESSED = CM_BASE + 24, CM_SHOWINGCHANGED = CM_BASE + 25,
               CM_ENTER = CM_BASE + 26, CM_EXIT = CM_BASE + 27, CM_DESIGNHITTEST = CM_BASE + 28,
               CM_ICONCHANGED = CM_BASE + 29, CM_WANTSPECIALKEY = CM_BASE + 30, CM_INVOKEHELP = CM_BASE + 31,
               CM_WINDOWHOOK = CM_BASE + 32, CM_RELEASE = CM_BASE + 33, CM_SHOWHINTCHANGED = CM_BASE + 34,
               CM_PARENTSHOWHINTCHANGED = CM_BASE + 35, CM_SYSCOLORCHANGE = CM_BASE + 36,
               CM_WININICHANGE = CM_BASE + 37, CM_FONTCHANGE = CM_BASE + 38, CM_TIMECHANGE = CM_BASE + 39,
               CM_TABSTOPCHANGED = CM_BASE + 40, CM_UIACTIVATE = CM_BASE + 41, CM_UIDEACTIVATE = CM_BASE + 42,
               CM_DOCWINDOWACTIVATE = CM_BASE + 43, CM_CONTROLLISTCHANGE = CM_BASE + 44,
               CM_GETDATALINK = CM_BASE + 45, CM_CHILDKEY = CM_BASE + 46, CM_DRAG = CM_BASE + 47,
               CM_HINTSHOW = CM_BASE + 48, CM_DIALOGHANDLE = CM_BASE + 49, CM_ISTOOLCONTROL = CM_BASE + 50,
               CM_RECREATEWND = CM_BASE + 51, CM_INVALIDATE = CM_BASE + 52, CM_SYSFONTCHANGED = CM_BASE + 53,
               CM_CONTROLCHANGE = CM_BASE + 54, CM_CHANGED = CM_BASE + 55;

// --- Reflected notifications ----------------------------------------------------------------------
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND, CN_NOTIFY = CN_BASE + WM_NOTIFY,
               CN_DRAWITEM = CN_BASE + WM_DRAWITEM, CN_MEASUREITEM = CN_BASE + WM_MEASUREITEM,
               CN_HSCROLL = CN_BASE + WM_HSCROLL, CN_VSCROLL = CN_BASE + WM_VSCROLL,
               CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT, CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX,
               CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN, CN_CTLCOLORSCROLLBAR = CN_BASE + WM_CTLCOLORSCROLLBAR,
               CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC, CN_KEYDOWN = CN_BASE + WM_KEYDOWN,
               CN_KEYUP = CN_BASE + WM_KEYUP, CN_CHAR = CN_BASE + WM_CHAR, CN_SYSKEYDOWN = CN_BASE + WM_SYSKEYDOWN,
               CN_SYSCHAR = CN_BASE + WM_SYSCHAR;

// --- Virtual keys ---------------------------------------------------------------------------------
constexpr WORD VK_LBUTTON = 1, VK_RBUTTON = 2, VK_CANCEL = 3, VK_MBUTTON = 4, VK_BACK = 8, VK_TAB = 9,
               VK_CLEAR = 12, VK_RETURN = 13, VK_SHIFT = 16, VK_CONTROL = 17, VK_MENU = 18, VK_PAUSE = 19,
               VK_CAPITAL = 20, VK_ESCAPE = 27, VK_SPACE = 32, VK_PRIOR = 33, VK_NEXT = 34, VK_END = 35,
               VK_HOME = 36, VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39, VK_DOWN = 40, VK_SNAPSHOT = 44,
               VK_INSERT = 45, VK_DELETE = 46, VK_HELP = 47, VK_LWIN = 91, VK_RWIN = 92, VK_APPS = 93,
               VK_NUMPAD0 = 96, VK_NUMPAD1 = 97, VK_NUMPAD2 = 98, VK_NUMPAD3 = 99, VK_NUMPAD4 = 100,
               VK_NUMPAD5 = 101, VK_NUMPAD6 = 102, VK_NUMPAD7 = 103, VK_NUMPAD8 = 104, VK_NUMPAD9 = 105,
               VK_MULTIPLY = 106, VK_ADD = 107, VK_SEPARATOR = 108, VK_SUBTRACT = 109, VK_DECIMAL = 110,
               VK_DIVIDE = 111, VK_F1 = 112, VK_F2 = 113, VK_F3 = 114, VK_F4 = 115, VK_F5 = 116, VK_F6 = 117,
               VK_F7 = 118, VK_F8 = 119, VK_F9 = 120, VK_F10 = 121, VK_F11 = 122, VK_F12 = 123, VK_F13 = 124,
               VK_F14 = 125, VK_F15 = 126, VK_F16 = 127, VK_F17 = 128, VK_F18 = 129, VK_F19 = 130, VK_F20 = 131,
               VK_F21 = 132, VK_F22 = 133, VK_F23 = 134, VK_F24 = 135, VK_NUMLOCK = 144, VK_SCROLL = 145,
               VK_LSHIFT = 160, VK_RSHIFT = 161, VK_LCONTROL = 162, VK_RCONTROL = 163, VK_LMENU = 164,
               VK_RMENU = 165, VK_OEM_1 = 186, VK_OEM_PLUS = 187, VK_OEM_COMMA = 188, VK_OEM_MINUS = 189,
               VK_OEM_PERIOD = 190, VK_OEM_2 = 191, VK_OEM_3 = 192, VK_OEM_4 = 219, VK_OEM_5 = 220,
               VK_OEM_6 = 221, VK_OEM_7 = 222, VK_OEM_102 = 226;

// --- Flags ----------------------------------------------------------------------------------------
constexpr WPARAM MK_LBUTTON = 0x1, MK_RBUTTON = 0x2, MK_SHIFT = 0x4, MK_CONTROL = 0x8, MK_MBUTTON = 0x10;

constexpr LRESULT HTERROR = -2, HTTRANSPARENT = -1, HTNOWHERE = 0, HTCLIENT = 1, HTCAPTION = 2, HTSYSMENU = 3,
                  HTGROWBOX = 4, HTSIZE = 4, HTMENU = 5, HTHSCROLL = 6, HTVSCROLL = 7, HTMINBUTTON = 8,
                  HTMAXBUTTON = 9, HTLEFT = 10, HTRIGHT = 11, HTTOP = 12, HTTOPLEFT = 13, HTTOPRIGHT = 14,
                  HTBOTTOM = 15, HTBOTTOMLEFT = 16, HTBOTTOMRIGHT = 17, HTBORDER = 18, HTCLOSE = 20, HTHELP = 21;

constexpr WPARAM SC_SIZE = 0xF000, SC_MOVE = 0xF010, SC_MINIMIZE = 0xF020, SC_MAXIMIZE = 0xF030,
                 SC_CLOSE = 0xF060, SC_KEYMENU = 0xF100, SC_RESTORE = 0xF120, SC_CONTEXTHELP = 0xF180;

constexpr WPARAM SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2;
constexpr WORD WA_INACTIVE = 0, WA_ACTIVE = 1, WA_CLICKACTIVE = 2;

constexpr LRESULT DLGC_WANTARROWS = 0x1, DLGC_WANTTAB = 0x2, DLGC_WANTALLKEYS = 0x4, DLGC_WANTMESSAGE = 0x4,
                  DLGC_HASSETSEL = 0x8, DLGC_DEFPUSHBUTTON = 0x10, DLGC_UNDEFPUSHBUTTON = 0x20,
                  DLGC_RADIOBUTTON = 0x40, DLGC_WANTCHARS = 0x80, DLGC_STATIC = 0x100, DLGC_BUTTON = 0x2000;


constexpr UINT SWP_NOSIZE = 0x1, SWP_NOMOVE = 0x2, SWP_NOZORDER = 0x4, SWP_NOREDRAW = 0x8,
               SWP_NOACTIVATE = 0x10, SWP_FRAMECHANGED = 0x20, SWP_SHOWWINDOW = 0x40, SWP_HIDEWINDOW = 0x80;

inline const HWND HWND_TOP = reinterpret_cast<HWND>(static_cast<std::intptr_t>(0));
inline const HWND HWND_BOTTOM = reinterpret_cast<HWND>(static_cast<std::intptr_t>(1));
inline const HWND HWND_TOPMOST = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1));
inline const HWND HWND_NOTOPMOST = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-2));

constexpr int GWL_WNDPROC = -4, GWL_HINSTANCE = -6, GWL_HWNDPARENT = -8, GWL_ID = -12, GWL_STYLE = -16,
              GWL_EXSTYLE = -20, GWL_USERDATA = -21;
constexpr int GWLP_WNDPROC = GWL_WNDPROC, GWLP_ID = GWL_ID, GWLP_USERDATA = GWL_USERDATA;

constexpr DWORD WS_OVERLAPPED = 0x00000000, WS_POPUP = 0x80000000, WS_CHILD = 0x40000000,
                WS_MINIMIZE = 0x20000000, WS_VISIBLE = 0x10000000, WS_DISABLED = 0x08000000,
                WS_CLIPSIBLINGS = 0x04000000, WS_CLIPCHILDREN = 0x02000000, WS_MAXIMIZE = 0x01000000,
                WS_CAPTION = 0x00C00000, WS_BORDER = 0x00800000, WS_DLGFRAME = 0x00400000,
                WS_VSCROLL = 0x00200000, WS_HSCROLL = 0x00100000, WS_SYSMENU = 0x00080000,
                WS_THICKFRAME = 0x00040000, WS_GROUP = 0x00020000, WS_MINIMIZEBOX = 0x00020000,
                WS_MAXIMIZEBOX = 0x00010000, WS_TABSTOP = 0x00010000;
constexpr DWORD WS_EX_DLGMODALFRAME = 0x1, WS_EX_TOPMOST = 0x8, WS_EX_ACCEPTFILES = 0x10,
                WS_EX_TRANSPARENT = 0x20, WS_EX_TOOLWINDOW = 0x80, WS_EX_WINDOWEDGE = 0x100,
                WS_EX_CLIENTEDGE = 0x200, WS_EX_CONTEXTHELP = 0x400, WS_EX_APPWINDOW = 0x40000;
constexpr UINT CS_VREDRAW = 0x1, CS_HREDRAW = 0x2, CS_DBLCLKS = 0x8, CS_SAVEBITS = 0x800;

constexpr int SB_HORZ = 0, SB_VERT = 1, SB_CTL = 2, SB_BOTH = 3;
constexpr WORD SB_LINEUP = 0, SB_LINELEFT = 0, SB_LINEDOWN = 1, SB_LINERIGHT = 1, SB_PAGEUP = 2,
               SB_PAGELEFT = 2, SB_PAGEDOWN = 3, SB_PAGERIGHT = 3, SB_THUMBPOSITION = 4, SB_THUMBTRACK = 5,
               SB_TOP = 6, SB_LEFT = 6, SB_BOTTOM = 7, SB_RIGHT = 7, SB_ENDSCROLL = 8;
constexpr UINT SIF_RANGE = 0x1, SIF_PAGE = 0x2, SIF_POS = 0x4, SIF_DISABLENOSCROLL = 0x8, SIF_TRACKPOS = 0x10,
               SIF_ALL = 0x17;
constexpr UINT ESB_ENABLE_BOTH = 0, ESB_DISABLE_BOTH = 3;
constexpr UINT RDW_INVALIDATE = 0x1, RDW_INTERNALPAINT = 0x2, RDW_ERASE = 0x4, RDW_VALIDATE = 0x8,
               RDW_NOINTERNALPAINT = 0x10, RDW_NOERASE = 0x20, RDW_NOCHILDREN = 0x40, RDW_ALLCHILDREN = 0x80,
               RDW_UPDATENOW = 0x100, RDW_ERASENOW = 0x200, RDW_FRAME = 0x400, RDW_NOFRAME = 0x800;
constexpr UINT SW_SCROLLCHILDREN = 0x1, SW_INVALIDATE = 0x2, SW_ERASE = 0x4;
constexpr UINT PM_NOREMOVE = 0x0, PM_REMOVE = 0x1;
constexpr DWORD QS_ALLINPUT = 0x4FF;
constexpr UINT GW_HWNDFIRST = 0, GW_HWNDLAST = 1, GW_HWNDNEXT = 2, GW_HWNDPREV = 3, GW_OWNER = 4, GW_CHILD = 5;

// --- TMessage and its typed views ------------------------------------------------------------------

struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;

    WORD WParamLo() const { return LOWORD(WParam); }
    WORD WParamHi() const { return HIWORD(WParam); }
    WORD LParamLo() const { return LOWORD(static_cast<std::uintptr_t>(LParam)); }
    WORD LParamHi() const { return HIWORD(static_cast<std::uintptr_t>(LParam)); }
    WORD ResultLo() const { return LOWORD(static_cast<std::uintptr_t>(Result)); }
    WORD ResultHi() const { return HIWORD(static_cast<std::uintptr_t>(Result)); }
};

struct MSG {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    DWORD time = 0;
    TPoint pt;
};
using TMsg = MSG;

using TWndMethod = std::function<void(TMessage&)>;

namespace MessageFields {
// A 16-bit part of a message field, read and written in place.
template <typename Field, typename Value, int Shift>
class TPart {
public:
    explicit TPart(Field& field) : FField(field) {}
    operator Value() const { return static_cast<Value>(static_cast<std::uint16_t>((std::uintptr_t(FField) >> Shift) & 0xFFFF)); }
    TPart& operator=(Value value)
    {
        const std::uintptr_t mask = std::uintptr_t(0xFFFF) << Shift;
        const std::uintptr_t bits = (std::uintptr_t(static_cast<std::uint16_t>(value)) << Shift) & mask;
        FField = static_cast<Field>((std::uintptr_t(FField) & ~mask) | bits);
        return *this;
    }
    TPart& operator=(const TPart& other) { return *this = static_cast<Value>(other); }

private:
    Field& FField;
};

// A whole message field seen as another type (a pointer, a handle, a 32-bit number).
template <typename Field, typename Value>
class TWhole {
public:
    explicit TWhole(Field& field) : FField(field) {}
    operator Value() const
    {
        if constexpr (std::is_pointer_v<Value>)
            return reinterpret_cast<Value>(FField);
        else
            return static_cast<Value>(FField);
    }
    TWhole& operator=(Value value)
    {
        if constexpr (std::is_pointer_v<Value>)
            FField = reinterpret_cast<Field>(value);
        else
            FField = static_cast<Field>(value);
        return *this;
    }
    TWhole& operator=(const TWhole& other) { return *this = static_cast<Value>(other); }
    Value operator->() const requires std::is_pointer_v<Value> { return static_cast<Value>(*this); }

private:
    Field& FField;
};
} // namespace MessageFields

#define TESS_MESSAGE_VIEW_BASE(Name)                                                                \
    explicit Name(TMessage& message) : Message(message), Msg(message.Msg), Result(message.Result) {} \
    TMessage& Message;                                                                              \
    UINT& Msg;                                                                                      \
    LRESULT& Result

using TWParamLo = MessageFields::TPart<WPARAM, WORD, 0>;
using TWParamHi = MessageFields::TPart<WPARAM, WORD, 16>;
using TLParamLoS = MessageFields::TPart<LPARAM, SHORT, 0>;
using TLParamHiS = MessageFields::TPart<LPARAM, SHORT, 16>;
using TWParamHiS = MessageFields::TPart<WPARAM, SHORT, 16>;

struct TWMNoParams {
    TESS_MESSAGE_VIEW_BASE(TWMNoParams);
};

struct TWMKey {
    TESS_MESSAGE_VIEW_BASE(TWMKey);
    TWParamLo CharCode{Message.WParam};
    MessageFields::TWhole<LPARAM, int> KeyData{Message.LParam};
};
using TWMChar = TWMKey;
using TWMKeyDown = TWMKey;
using TWMKeyUp = TWMKey;
using TWMSysChar = TWMKey;

struct TWMMouse {
    TESS_MESSAGE_VIEW_BASE(TWMMouse);
    MessageFields::TWhole<WPARAM, int> Keys{Message.WParam};
    TLParamLoS XPos{Message.LParam};
    TLParamHiS YPos{Message.LParam};
};
using TWMMouseMove = TWMMouse;
using TWMLButtonDown = TWMMouse;
using TWMLButtonUp = TWMMouse;
using TWMRButtonDown = TWMMouse;
using TWMRButtonUp = TWMMouse;
using TWMLButtonDblClk = TWMMouse;

struct TWMMouseWheel {
    TESS_MESSAGE_VIEW_BASE(TWMMouseWheel);
    TWParamLo Keys{Message.WParam};
    TWParamHiS WheelDelta{Message.WParam};
    TLParamLoS XPos{Message.LParam};
    TLParamHiS YPos{Message.LParam};
};

struct TWMPaint {
    TESS_MESSAGE_VIEW_BASE(TWMPaint);
    MessageFields::TWhole<WPARAM, HDC> DC{Message.WParam};
};

struct TWMEraseBkgnd {
    TESS_MESSAGE_VIEW_BASE(TWMEraseBkgnd);
    MessageFields::TWhole<WPARAM, HDC> DC{Message.WParam};
};

struct TWMSize {
    TESS_MESSAGE_VIEW_BASE(TWMSize);
    MessageFields::TWhole<WPARAM, int> SizeType{Message.WParam};
    MessageFields::TPart<LPARAM, WORD, 0> Width{Message.LParam};
    MessageFields::TPart<LPARAM, WORD, 16> Height{Message.LParam};
};

struct TWMMove {
    TESS_MESSAGE_VIEW_BASE(TWMMove);
    TLParamLoS XPos{Message.LParam};
    TLParamHiS YPos{Message.LParam};
};

struct TWMActivate {
    TESS_MESSAGE_VIEW_BASE(TWMActivate);
    TWParamLo Active{Message.WParam};
    TWParamHi Minimized{Message.WParam};
    MessageFields::TWhole<LPARAM, HWND> ActiveWindow{Message.LParam};
};

struct TWMSetFocus {
    TESS_MESSAGE_VIEW_BASE(TWMSetFocus);
    MessageFields::TWhole<WPARAM, HWND> FocusedWnd{Message.WParam};
};
using TWMKillFocus = TWMSetFocus;

struct TWMCommand {
    TESS_MESSAGE_VIEW_BASE(TWMCommand);
    TWParamLo ItemID{Message.WParam};
    TWParamHi NotifyCode{Message.WParam};
    MessageFields::TWhole<LPARAM, HWND> Ctl{Message.LParam};
};

struct NMHDR {
    HWND hwndFrom = nullptr;
    UINT_PTR idFrom = 0;
    UINT code = 0;
};

struct TWMNotify {
    TESS_MESSAGE_VIEW_BASE(TWMNotify);
    MessageFields::TWhole<WPARAM, int> IDCtrl{Message.WParam};
    MessageFields::TWhole<LPARAM, NMHDR*> NMHdr{Message.LParam};
};

struct DRAWITEMSTRUCT {
    UINT CtlType = 0;
    UINT CtlID = 0;
    UINT itemID = 0;
    UINT itemAction = 0;
    UINT itemState = 0;
    HWND hwndItem = nullptr;
    HDC hDC = nullptr;
    TRect rcItem;
    std::uintptr_t itemData = 0;
};

struct MEASUREITEMSTRUCT {
    UINT CtlType = 0;
    UINT CtlID = 0;
    UINT itemID = 0;
    UINT itemWidth = 0;
    UINT itemHeight = 0;
    std::uintptr_t itemData = 0;
};

struct TWMDrawItem {
    TESS_MESSAGE_VIEW_BASE(TWMDrawItem);
    MessageFields::TWhole<WPARAM, int> Ctl{Message.WParam};
    MessageFields::TWhole<LPARAM, DRAWITEMSTRUCT*> DrawItemStruct{Message.LParam};
};

struct TWMMeasureItem {
    TESS_MESSAGE_VIEW_BASE(TWMMeasureItem);
    MessageFields::TWhole<WPARAM, int> IDCtl{Message.WParam};
    MessageFields::TWhole<LPARAM, MEASUREITEMSTRUCT*> MeasureItemStruct{Message.LParam};
};

struct TWMTimer {
    TESS_MESSAGE_VIEW_BASE(TWMTimer);
    MessageFields::TWhole<WPARAM, UINT_PTR> TimerID{Message.WParam};
    MessageFields::TWhole<LPARAM, LPARAM> TimerProc{Message.LParam};
};

struct TWMScroll {
    TESS_MESSAGE_VIEW_BASE(TWMScroll);
    TWParamLo ScrollCode{Message.WParam};
    TWParamHiS Pos{Message.WParam};
    MessageFields::TWhole<LPARAM, HWND> ScrollBar{Message.LParam};
};
using TWMHScroll = TWMScroll;
using TWMVScroll = TWMScroll;

struct TWMNCHitTest {
    TESS_MESSAGE_VIEW_BASE(TWMNCHitTest);
    TLParamLoS XPos{Message.LParam};
    TLParamHiS YPos{Message.LParam};
};

struct WINDOWPOS {
    HWND hwnd = nullptr;
    HWND hwndInsertAfter = nullptr;
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    UINT flags = 0;
};

struct NCCALCSIZE_PARAMS {
    TRect rgrc[3];
    WINDOWPOS* lppos = nullptr;
};

struct TWMNCCalcSize {
    TESS_MESSAGE_VIEW_BASE(TWMNCCalcSize);
    MessageFields::TWhole<WPARAM, BOOL> CalcValidRects{Message.WParam};
    MessageFields::TWhole<LPARAM, NCCALCSIZE_PARAMS*> CalcSize_Params{Message.LParam};
};

struct MINMAXINFO {
    TPoint ptReserved;
    TPoint ptMaxSize;
    TPoint ptMaxPosition;
    TPoint ptMinTrackSize;
    TPoint ptMaxTrackSize;
};

struct TWMGetMinMaxInfo {
    TESS_MESSAGE_VIEW_BASE(TWMGetMinMaxInfo);
    MessageFields::TWhole<LPARAM, MINMAXINFO*> MinMaxInfo{Message.LParam};
};

struct TWMWindowPosMsg {
    TESS_MESSAGE_VIEW_BASE(TWMWindowPosMsg);
    MessageFields::TWhole<LPARAM, WINDOWPOS*> WindowPos{Message.LParam};
};
using TWMWindowPosChanging = TWMWindowPosMsg;
using TWMWindowPosChanged = TWMWindowPosMsg;

struct TWMDropFiles {
    TESS_MESSAGE_VIEW_BASE(TWMDropFiles);
    MessageFields::TWhole<WPARAM, HDROP> Drop{Message.WParam};
};

struct TWMSysCommand {
    TESS_MESSAGE_VIEW_BASE(TWMSysCommand);
    MessageFields::TWhole<WPARAM, WPARAM> CmdType{Message.WParam};
    TLParamLoS XPos{Message.LParam};
    TLParamHiS YPos{Message.LParam};
};

struct HELPINFO {
    UINT cbSize = 28;
    int iContextType = 0;
    int iCtrlId = 0;
    HANDLE hItemHandle = nullptr;
    DWORD dwContextId = 0;
    TPoint MousePos;
};
constexpr int HELPINFO_WINDOW = 1, HELPINFO_MENUITEM = 2;

struct TWMHelp {
    TESS_MESSAGE_VIEW_BASE(TWMHelp);
    MessageFields::TWhole<LPARAM, HELPINFO*> HelpInfo{Message.LParam};
};

struct TWMContextMenu {
    TESS_MESSAGE_VIEW_BASE(TWMContextMenu);
    MessageFields::TWhole<WPARAM, HWND> hWnd{Message.WParam};
    TLParamLoS XPos{Message.LParam};
    TLParamHiS YPos{Message.LParam};
};

struct TWMGetDlgCode {
    TESS_MESSAGE_VIEW_BASE(TWMGetDlgCode);
};

struct TWMSetText {
    TESS_MESSAGE_VIEW_BASE(TWMSetText);
    MessageFields::TWhole<LPARAM, const char*> Text{Message.LParam};
};

using TWMCancelMode = TWMNoParams;

class TControl;
struct THintInfo;

struct TCMDialogKey {
    TESS_MESSAGE_VIEW_BASE(TCMDialogKey);
    TWParamLo CharCode{Message.WParam};
    MessageFields::TWhole<LPARAM, int> KeyData{Message.LParam};
};
using TCMDialogChar = TCMDialogKey;
using TCMWantSpecialKey = TCMDialogKey;
using TCMChildKey = TCMDialogKey;

struct TCMHitTest {
    TESS_MESSAGE_VIEW_BASE(TCMHitTest);
    TLParamLoS XPos{Message.LParam};
    TLParamHiS YPos{Message.LParam};
};

struct TCMEnter {
    TESS_MESSAGE_VIEW_BASE(TCMEnter);
};
using TCMExit = TCMEnter;

struct TCMCancelMode {
    TESS_MESSAGE_VIEW_BASE(TCMCancelMode);
    MessageFields::TWhole<LPARAM, TControl*> Sender{Message.LParam};
};

struct TCMFocusChanged {
    TESS_MESSAGE_VIEW_BASE(TCMFocusChanged);
    MessageFields::TWhole<LPARAM, TControl*> Sender{Message.LParam};
};

struct TCMHintShow {
    TESS_MESSAGE_VIEW_BASE(TCMHintShow);
    MessageFields::TWhole<LPARAM, THintInfo*> HintInfo{Message.LParam};
};

struct TCMMouseEnter {
    TESS_MESSAGE_VIEW_BASE(TCMMouseEnter);
    MessageFields::TWhole<LPARAM, TControl*> Control{Message.LParam};
};
using TCMMouseLeave = TCMMouseEnter;

struct TCMButtonPressed {
    TESS_MESSAGE_VIEW_BASE(TCMButtonPressed);
    MessageFields::TWhole<WPARAM, int> Index{Message.WParam};
    MessageFields::TWhole<LPARAM, TControl*> Control{Message.LParam};
};

// --- Structures of the window functions --------------------------------------------------------------

struct SCROLLINFO {
    UINT cbSize = 28;
    UINT fMask = 0;
    int nMin = 0;
    int nMax = 0;
    UINT nPage = 0;
    int nPos = 0;
    int nTrackPos = 0;
};
using TScrollInfo = SCROLLINFO;

struct WINDOWPLACEMENT {
    UINT length = 44;
    UINT flags = 0;
    UINT showCmd = 0;
    TPoint ptMinPosition;
    TPoint ptMaxPosition;
    TRect rcNormalPosition;
};
using TWindowPlacement = WINDOWPLACEMENT;

// The name of a message for diagnostics ("WM_KEYDOWN", "CM_TEXTCHANGED", "0x0401").
std::string MessageName(UINT message);
