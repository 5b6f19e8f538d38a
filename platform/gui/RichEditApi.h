#pragma once
// The rich edit control's Windows names with their Windows values: messages, notifications,
// event-mask bits, format masks and effects, stream formats, options and the records the
// messages carry. The edit control's own EM_* messages are in Edit.h.

#include "platform/gui/Colors.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Messages.h"
#include "platform/os/ShellFileInfo.h" // DWORD_PTR

// --- Messages -------------------------------------------------------------------------------------
constexpr UINT EM_CANPASTE = WM_USER + 50, EM_DISPLAYBAND = WM_USER + 51, EM_EXGETSEL = WM_USER + 52,
               EM_EXLIMITTEXT = WM_USER + 53, EM_EXLINEFROMCHAR = WM_USER + 54, EM_EXSETSEL = WM_USER + 55,
               EM_FINDTEXT = WM_USER + 56, EM_FORMATRANGE = WM_USER + 57, EM_GETCHARFORMAT = WM_USER + 58,
               EM_GETEVENTMASK = WM_USER + 59, EM_GETOLEINTERFACE = WM_USER + 60, EM_GETPARAFORMAT = WM_USER + 61,
               EM_GETSELTEXT = WM_USER + 62, EM_HIDESELECTION = WM_USER + 63, EM_PASTESPECIAL = WM_USER + 64,
               EM_REQUESTRESIZE = WM_USER + 65, EM_SELECTIONTYPE = WM_USER + 66, EM_SETBKGNDCOLOR = WM_USER + 67,
               EM_SETCHARFORMAT = WM_USER + 68, EM_SETEVENTMASK = WM_USER + 69, EM_SETOLECALLBACK = WM_USER + 70,
               EM_SETPARAFORMAT = WM_USER + 71, EM_SETTARGETDEVICE = WM_USER + 72, EM_STREAMIN = WM_USER + 73,
               EM_STREAMOUT = WM_USER + 74, EM_GETTEXTRANGE = WM_USER + 75, EM_FINDWORDBREAK = WM_USER + 76,
               EM_SETOPTIONS = WM_USER + 77, EM_GETOPTIONS = WM_USER + 78, EM_FINDTEXTEX = WM_USER + 79,
               EM_GETWORDBREAKPROCEX = WM_USER + 80, EM_SETWORDBREAKPROCEX = WM_USER + 81,
               EM_SETUNDOLIMIT = WM_USER + 82, EM_REDO = WM_USER + 84, EM_CANREDO = WM_USER + 85,
               EM_GETUNDONAME = WM_USER + 86, EM_GETREDONAME = WM_USER + 87, EM_STOPGROUPTYPING = WM_USER + 88,
               EM_SETTEXTMODE = WM_USER + 89, EM_GETTEXTMODE = WM_USER + 90, EM_AUTOURLDETECT = WM_USER + 91,
               EM_GETAUTOURLDETECT = WM_USER + 92, EM_GETTEXTEX = WM_USER + 94, EM_GETTEXTLENGTHEX = WM_USER + 95,
               EM_SETTEXTEX = WM_USER + 97, EM_SETLANGOPTIONS = WM_USER + 120, EM_GETLANGOPTIONS = WM_USER + 121;

// Window styles of the rich edit class.
constexpr DWORD ES_SAVESEL = 0x8000, ES_DISABLENOSCROLL = 0x2000, ES_SELECTIONBAR = 0x1000000;

// --- Notifications and the event mask ---------------------------------------------------------------
constexpr WORD EN_MSGFILTER = 0x0700, EN_REQUESTRESIZE = 0x0701, EN_SELCHANGE = 0x0702, EN_DROPFILES = 0x0703,
               EN_PROTECTED = 0x0704, EN_CORRECTTEXT = 0x0705, EN_STOPNOUNDO = 0x0706, EN_IMECHANGE = 0x0707,
               EN_SAVECLIPBOARD = 0x0708, EN_OLEOPFAILED = 0x0709, EN_OBJECTPOSITIONS = 0x070A, EN_LINK = 0x070B,
               EN_DRAGDROPDONE = 0x070C;
constexpr DWORD ENM_NONE = 0, ENM_CHANGE = 0x1, ENM_UPDATE = 0x2, ENM_SCROLL = 0x4, ENM_SCROLLEVENTS = 0x8,
                ENM_DRAGDROPDONE = 0x10, ENM_KEYEVENTS = 0x10000, ENM_MOUSEEVENTS = 0x20000,
                ENM_REQUESTRESIZE = 0x40000, ENM_SELCHANGE = 0x80000, ENM_DROPFILES = 0x100000,
                ENM_PROTECTED = 0x200000, ENM_CORRECTTEXT = 0x400000, ENM_IMECHANGE = 0x800000,
                ENM_LANGCHANGE = 0x1000000, ENM_OBJECTPOSITIONS = 0x2000000, ENM_LINK = 0x4000000;

// --- Character formats ---------------------------------------------------------------------------
constexpr DWORD CFM_BOLD = 0x1, CFM_ITALIC = 0x2, CFM_UNDERLINE = 0x4, CFM_STRIKEOUT = 0x8, CFM_PROTECTED = 0x10,
                CFM_LINK = 0x20, CFM_SMALLCAPS = 0x40, CFM_ALLCAPS = 0x80, CFM_HIDDEN = 0x100,
                CFM_OUTLINE = 0x200, CFM_SHADOW = 0x400, CFM_EMBOSS = 0x800, CFM_IMPRINT = 0x1000,
                CFM_DISABLED = 0x2000, CFM_REVISED = 0x4000, CFM_REVAUTHOR = 0x8000, CFM_SUBSCRIPT = 0x30000,
                CFM_SUPERSCRIPT = CFM_SUBSCRIPT, CFM_ANIMATION = 0x40000, CFM_STYLE = 0x80000,
                CFM_KERNING = 0x100000, CFM_SPACING = 0x200000, CFM_WEIGHT = 0x400000,
                CFM_UNDERLINETYPE = 0x800000, CFM_LCID = 0x2000000, CFM_BACKCOLOR = 0x4000000,
                CFM_CHARSET = 0x8000000, CFM_OFFSET = 0x10000000, CFM_FACE = 0x20000000,
                CFM_COLOR = 0x40000000, CFM_SIZE = 0x80000000;
constexpr DWORD CFM_EFFECTS = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_COLOR | CFM_STRIKEOUT | CFM_PROTECTED |
                              CFM_LINK;
constexpr DWORD CFM_ALL = CFM_EFFECTS | CFM_SIZE | CFM_FACE | CFM_OFFSET | CFM_CHARSET;
constexpr DWORD CFM_EFFECTS2 = CFM_EFFECTS | CFM_DISABLED | CFM_SMALLCAPS | CFM_ALLCAPS | CFM_HIDDEN | CFM_OUTLINE |
                               CFM_SHADOW | CFM_EMBOSS | CFM_IMPRINT | CFM_REVISED | CFM_SUBSCRIPT |
                               CFM_BACKCOLOR;
constexpr DWORD CFM_ALL2 = CFM_ALL | CFM_EFFECTS2 | CFM_BACKCOLOR | CFM_LCID | CFM_UNDERLINETYPE | CFM_WEIGHT |
                           CFM_REVAUTHOR | CFM_SPACING | CFM_KERNING | CFM_STYLE | CFM_ANIMATION;
constexpr DWORD CFE_BOLD = 0x1, CFE_ITALIC = 0x2, CFE_UNDERLINE = 0x4, CFE_STRIKEOUT = 0x8, CFE_PROTECTED = 0x10,
                CFE_LINK = 0x20, CFE_SMALLCAPS = 0x40, CFE_ALLCAPS = 0x80, CFE_HIDDEN = 0x100,
                CFE_OUTLINE = 0x200, CFE_SHADOW = 0x400, CFE_EMBOSS = 0x800, CFE_IMPRINT = 0x1000,
                CFE_DISABLED = 0x2000, CFE_REVISED = 0x4000, CFE_SUBSCRIPT = 0x10000, CFE_SUPERSCRIPT = 0x20000,
                CFE_AUTOBACKCOLOR = CFM_BACKCOLOR, CFE_AUTOCOLOR = 0x40000000;
constexpr BYTE CFU_UNDERLINENONE = 0, CFU_UNDERLINE = 1, CFU_UNDERLINEWORD = 2, CFU_UNDERLINEDOUBLE = 3,
               CFU_UNDERLINEDOTTED = 4, CFU_UNDERLINEDASH = 5, CFU_UNDERLINEDASHDOT = 6,
               CFU_UNDERLINEDASHDOTDOT = 7, CFU_UNDERLINEWAVE = 8, CFU_UNDERLINETHICK = 9,
               CFU_UNDERLINEHAIRLINE = 10;
constexpr LONG yHeightCharPtsMost = 1638;

// wParam of EM_SETCHARFORMAT and EM_GETCHARFORMAT.
constexpr WPARAM SCF_DEFAULT = 0, SCF_SELECTION = 1, SCF_WORD = 2, SCF_ALL = 4, SCF_USEUIRULES = 8;

// --- Paragraph formats ---------------------------------------------------------------------------
constexpr DWORD PFM_STARTINDENT = 0x1, PFM_RIGHTINDENT = 0x2, PFM_OFFSET = 0x4, PFM_ALIGNMENT = 0x8,
                PFM_TABSTOPS = 0x10, PFM_NUMBERING = 0x20, PFM_SPACEBEFORE = 0x40, PFM_SPACEAFTER = 0x80,
                PFM_LINESPACING = 0x100, PFM_STYLE = 0x400, PFM_BORDER = 0x800, PFM_SHADING = 0x1000,
                PFM_NUMBERINGSTYLE = 0x2000, PFM_NUMBERINGTAB = 0x4000, PFM_NUMBERINGSTART = 0x8000,
                PFM_RTLPARA = 0x10000, PFM_KEEP = 0x20000, PFM_KEEPNEXT = 0x40000, PFM_PAGEBREAKBEFORE = 0x80000,
                PFM_NOLINENUMBER = 0x100000, PFM_NOWIDOWCONTROL = 0x200000, PFM_DONOTHYPHEN = 0x400000,
                PFM_SIDEBYSIDE = 0x800000, PFM_TABLE = 0x40000000, PFM_OFFSETINDENT = 0x80000000;
constexpr DWORD PFM_ALL = PFM_STARTINDENT | PFM_RIGHTINDENT | PFM_OFFSET | PFM_ALIGNMENT | PFM_TABSTOPS |
                          PFM_NUMBERING | PFM_OFFSETINDENT | PFM_RTLPARA;
constexpr DWORD PFM_EFFECTS = PFM_RTLPARA | PFM_KEEP | PFM_KEEPNEXT | PFM_TABLE | PFM_PAGEBREAKBEFORE |
                              PFM_NOLINENUMBER | PFM_NOWIDOWCONTROL | PFM_DONOTHYPHEN | PFM_SIDEBYSIDE;
constexpr DWORD PFM_ALL2 = PFM_ALL | PFM_EFFECTS | PFM_SPACEBEFORE | PFM_SPACEAFTER | PFM_LINESPACING | PFM_STYLE |
                           PFM_SHADING | PFM_BORDER | PFM_NUMBERINGTAB | PFM_NUMBERINGSTART | PFM_NUMBERINGSTYLE;
// The table bits of wEffects (PFM_TABLE and PFM_OFFSETINDENT moved down by 16 bits).
constexpr WORD PFE_TABLE = 0x4000, PFE_TABLECELLEND = 0x8000;
constexpr WORD PFN_BULLET = 1, PFN_ARABIC = 2, PFN_LCLETTER = 3, PFN_UCLETTER = 4, PFN_LCROMAN = 5,
               PFN_UCROMAN = 6;
constexpr WORD PFNS_PAREN = 0x000, PFNS_PARENS = 0x100, PFNS_PERIOD = 0x200, PFNS_PLAIN = 0x300,
               PFNS_NONUMBER = 0x400;
constexpr WORD PFA_LEFT = 1, PFA_RIGHT = 2, PFA_CENTER = 3, PFA_JUSTIFY = 4, PFA_FULL_INTERWORD = 4;
constexpr int MAX_TAB_STOPS = 32;
constexpr LONG lDefaultTab = 720;

// --- Streams ------------------------------------------------------------------------------------
constexpr UINT SF_TEXT = 0x1, SF_RTF = 0x2, SF_RTFNOOBJS = 0x3, SF_TEXTIZED = 0x4, SF_UNICODE = 0x10,
               SF_USECODEPAGE = 0x20, SFF_PWD = 0x800, SFF_KEEPDOCINFO = 0x1000, SFF_PERSISTVIEWSCROLL = 0x2000,
               SFF_PLAINRTF = 0x4000, SFF_SELECTION = 0x8000;

// --- Selection types, text modes, options, word breaks, search, undo ---------------------------------
constexpr WORD SEL_EMPTY = 0x0, SEL_TEXT = 0x1, SEL_OBJECT = 0x2, SEL_MULTICHAR = 0x4, SEL_MULTIOBJECT = 0x8;
constexpr UINT TM_PLAINTEXT = 1, TM_RICHTEXT = 2, TM_SINGLELEVELUNDO = 4, TM_MULTILEVELUNDO = 8,
               TM_SINGLECODEPAGE = 16, TM_MULTICODEPAGE = 32;
constexpr DWORD ECO_AUTOWORDSELECTION = 0x1, ECO_AUTOVSCROLL = 0x40, ECO_AUTOHSCROLL = 0x80, ECO_NOHIDESEL = 0x100,
                ECO_READONLY = 0x800, ECO_WANTRETURN = 0x1000, ECO_SAVESEL = 0x8000, ECO_VERTICAL = 0x400000,
                ECO_SELECTIONBAR = 0x1000000;
constexpr WPARAM ECOOP_SET = 1, ECOOP_OR = 2, ECOOP_AND = 3, ECOOP_XOR = 4;
constexpr WPARAM WB_LEFT = 0, WB_RIGHT = 1, WB_ISDELIMITER = 2, WB_CLASSIFY = 3, WB_MOVEWORDLEFT = 4,
                 WB_MOVEWORDRIGHT = 5, WB_LEFTBREAK = 6, WB_RIGHTBREAK = 7;
constexpr LRESULT WBF_CLASS = 0x0F, WBF_ISWHITE = 0x10, WBF_BREAKLINE = 0x20, WBF_BREAKAFTER = 0x40;
constexpr WPARAM FR_DOWN = 0x1, FR_WHOLEWORD = 0x2, FR_MATCHCASE = 0x4;
constexpr LRESULT UID_UNKNOWN = 0, UID_TYPING = 1, UID_DELETE = 2, UID_DRAGDROP = 3, UID_CUT = 4, UID_PASTE = 5;
constexpr DWORD GTL_DEFAULT = 0, GTL_USECRLF = 1, GTL_PRECISE = 2, GTL_CLOSE = 4, GTL_NUMCHARS = 8,
                GTL_NUMBYTES = 16;

// --- Records ------------------------------------------------------------------------------------
using LCID = DWORD;

struct CHARRANGE {
    LONG cpMin = 0;
    LONG cpMax = 0;
};

struct CHARFORMATA {
    UINT cbSize = sizeof(CHARFORMATA);
    DWORD dwMask = 0;
    DWORD dwEffects = 0;
    LONG yHeight = 0;
    LONG yOffset = 0;
    COLORREF crTextColor = 0;
    BYTE bCharSet = 0;
    BYTE bPitchAndFamily = 0;
    char szFaceName[32] = {};
};

// Declared whole rather than derived from CHARFORMATA: wWeight sits in CHARFORMATA's tail padding.
struct CHARFORMAT2A {
    UINT cbSize = sizeof(CHARFORMAT2A);
    DWORD dwMask = 0;
    DWORD dwEffects = 0;
    LONG yHeight = 0;
    LONG yOffset = 0;
    COLORREF crTextColor = 0;
    BYTE bCharSet = 0;
    BYTE bPitchAndFamily = 0;
    char szFaceName[32] = {};
    WORD wWeight = 0;
    SHORT sSpacing = 0;
    COLORREF crBackColor = 0;
    LCID lcid = 0;
    DWORD dwReserved = 0;
    SHORT sStyle = 0;
    WORD wKerning = 0;
    BYTE bUnderlineType = 0;
    BYTE bAnimation = 0;
    BYTE bRevAuthor = 0;
    BYTE bReserved1 = 0;
};

struct PARAFORMAT {
    UINT cbSize = sizeof(PARAFORMAT);
    DWORD dwMask = 0;
    WORD wNumbering = 0;
    WORD wReserved = 0;
    LONG dxStartIndent = 0;
    LONG dxRightIndent = 0;
    LONG dxOffset = 0;
    WORD wAlignment = 0;
    SHORT cTabCount = 0;
    LONG rgxTabs[MAX_TAB_STOPS] = {};
};

struct PARAFORMAT2 {
    UINT cbSize = sizeof(PARAFORMAT2);
    DWORD dwMask = 0;
    WORD wNumbering = 0;
    WORD wEffects = 0;
    LONG dxStartIndent = 0;
    LONG dxRightIndent = 0;
    LONG dxOffset = 0;
    WORD wAlignment = 0;
    SHORT cTabCount = 0;
    LONG rgxTabs[MAX_TAB_STOPS] = {};
    LONG dySpaceBefore = 0;
    LONG dySpaceAfter = 0;
    LONG dyLineSpacing = 0;
    SHORT sStyle = 0;
    BYTE bLineSpacingRule = 0;
    BYTE bOutlineLevel = 0;
    WORD wShadingWeight = 0;
    WORD wShadingStyle = 0;
    WORD wNumberingStart = 0;
    WORD wNumberingStyle = 0;
    WORD wNumberingTab = 0;
    WORD wBorderSpace = 0;
    WORD wBorderWidth = 0;
    WORD wBorders = 0;
};

static_assert(sizeof(CHARFORMATA) == 60);
static_assert(sizeof(CHARFORMAT2A) == 84);
static_assert(sizeof(PARAFORMAT) == 156);
static_assert(sizeof(PARAFORMAT2) == 188);

struct POINTL {
    LONG x = 0;
    LONG y = 0;
};

struct TEXTRANGEA {
    CHARRANGE chrg;
    LPSTR lpstrText = nullptr;
};

struct FINDTEXTA {
    CHARRANGE chrg;
    LPCSTR lpstrText = nullptr;
};

struct FINDTEXTEXA {
    CHARRANGE chrg;
    LPCSTR lpstrText = nullptr;
    CHARRANGE chrgText;
};

struct FORMATRANGE {
    HDC hdc = nullptr;
    HDC hdcTarget = nullptr;
    RECT rc;
    RECT rcPage;
    CHARRANGE chrg;
};

// Called for each block of a stream: fill (stream-in) or take (stream-out) cb bytes at buffer, set
// *transferred to the count, answer 0 to go on and anything else to stop with that error.
using EDITSTREAMCALLBACK = DWORD (*)(DWORD_PTR cookie, BYTE* buffer, LONG cb, LONG* transferred);

struct EDITSTREAM {
    DWORD_PTR dwCookie = 0;
    DWORD dwError = 0;
    EDITSTREAMCALLBACK pfnCallback = nullptr;
};

struct GETTEXTLENGTHEX {
    DWORD flags = GTL_DEFAULT;
    UINT codepage = 0;
};

struct SELCHANGE {
    NMHDR nmhdr;
    CHARRANGE chrg;
    WORD seltyp = SEL_EMPTY;
};

struct ENPROTECTED {
    NMHDR nmhdr;
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    CHARRANGE chrg;
};

struct REQRESIZE {
    NMHDR nmhdr;
    RECT rc;
};

struct ENLINK {
    NMHDR nmhdr;
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    CHARRANGE chrg;
};

struct ENSAVECLIPBOARD {
    NMHDR nmhdr;
    LONG cObjectCount = 0;
    LONG cch = 0;
};
