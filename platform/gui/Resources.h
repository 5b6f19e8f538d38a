#pragma once
// Resources: the registry of the program's module (HInstance) and of the system module (0).
// The program registers its bitmaps (BMP bytes), icons (ICO bytes) and cursors by name or number
// at start; the system module has the standard cursors, icons and bitmaps.

#include "platform/gui/GdiObjects.h"

#include <cstdint>
#include <string>
#include <vector>

using HRSRC = void*;
using HGLOBAL = void*;

// A resource name: a text, or a number made with MAKEINTRESOURCE.
class TResourceName {
public:
    TResourceName(const char* name);
    TResourceName(const std::string& name) : FText(name) {}
    static TResourceName FromId(int id);
    bool IsId() const { return FId >= 0; }
    int Id() const { return FId; }
    const std::string& Text() const { return FText; }
    // "#12" for numbers; comparison of texts ignores case.
    std::string Key() const;

private:
    TResourceName() = default;
    std::string FText;
    int FId = -1;
};
inline TResourceName MAKEINTRESOURCE(int id) { return TResourceName::FromId(id); }
inline TResourceName MAKEINTRESOURCEA(int id) { return TResourceName::FromId(id); }

constexpr int RT_CURSOR = 1, RT_BITMAP = 2, RT_ICON = 3, RT_MENU = 4, RT_DIALOG = 5, RT_STRING = 6,
              RT_RCDATA = 10, RT_GROUP_CURSOR = 12, RT_GROUP_ICON = 14, RT_ANICURSOR = 21, RT_ANIICON = 22;
constexpr int IDC_ARROW = 32512, IDC_IBEAM = 32513, IDC_WAIT = 32514, IDC_CROSS = 32515, IDC_UPARROW = 32516,
              IDC_SIZENWSE = 32642, IDC_SIZENESW = 32643, IDC_SIZEWE = 32644, IDC_SIZENS = 32645,
              IDC_SIZEALL = 32646, IDC_NO = 32648, IDC_HAND = 32649, IDC_APPSTARTING = 32650, IDC_HELP = 32651;
constexpr int IDI_APPLICATION = 32512, IDI_HAND = 32513, IDI_QUESTION = 32514, IDI_EXCLAMATION = 32515,
              IDI_ASTERISK = 32516, IDI_WARNING = IDI_EXCLAMATION, IDI_ERROR = IDI_HAND,
              IDI_INFORMATION = IDI_ASTERISK;
constexpr int OBM_COMBO = 32738, OBM_CHECK = 32760;
constexpr UINT IMAGE_BITMAP = 0, IMAGE_ICON = 1, IMAGE_CURSOR = 2;
constexpr UINT LR_DEFAULTCOLOR = 0, LR_LOADFROMFILE = 0x10, LR_LOADTRANSPARENT = 0x20, LR_DEFAULTSIZE = 0x40,
               LR_SHARED = 0x8000;

// The program's own module handle (GetModuleHandle(nullptr)), under which it registers.
HINSTANCE MainInstance();

// Registers bytes under (module, type, name); a later registration replaces an earlier one.
// A cursor is registered as ICO-form bytes with its hot spot.
void RegisterResource(HINSTANCE module, int type, const TResourceName& name, std::vector<std::uint8_t> bytes);
void RegisterCursorResource(HINSTANCE module, const TResourceName& name, std::vector<std::uint8_t> icoBytes,
                            int hotX, int hotY);
// The bytes of a registered resource, nullptr when there is none.
const std::vector<std::uint8_t>* ResourceBytes(HINSTANCE module, int type, const TResourceName& name);

HRSRC FindResourceA(HINSTANCE module, const TResourceName& name, int type);
inline HRSRC FindResource(HINSTANCE module, const TResourceName& name, int type)
{
    return FindResourceA(module, name, type);
}
HGLOBAL LoadResource(HINSTANCE module, HRSRC resource);
const void* LockResource(HGLOBAL resource);
DWORD SizeofResource(HINSTANCE module, HRSRC resource);
BOOL FreeResource(HGLOBAL resource);

// 0 when the resource is missing.
HBITMAP LoadBitmapA(HINSTANCE module, const TResourceName& name);
inline HBITMAP LoadBitmap(HINSTANCE module, const TResourceName& name) { return LoadBitmapA(module, name); }
HICON LoadIconA(HINSTANCE module, const TResourceName& name);
inline HICON LoadIcon(HINSTANCE module, const TResourceName& name) { return LoadIconA(module, name); }
HCURSOR LoadCursorA(HINSTANCE module, const TResourceName& name);
inline HCURSOR LoadCursor(HINSTANCE module, const TResourceName& name) { return LoadCursorA(module, name); }
// Animated and file cursors are not supported: always 0.
HCURSOR LoadCursorFromFileA(const char* fileName);
inline HCURSOR LoadCursorFromFile(const char* fileName) { return LoadCursorFromFileA(fileName); }
HANDLE LoadImageA(HINSTANCE module, const TResourceName& name, UINT type, int width, int height, UINT flags);
inline HANDLE LoadImage(HINSTANCE module, const TResourceName& name, UINT type, int width, int height, UINT flags)
{
    return LoadImageA(module, name, type, width, height, flags);
}

// The cursor shape number (Qt::CursorShape) of a system cursor handle, -1 for others; and the
// icon of a program cursor (its image and hot spot), for the windowing code.
int SystemCursorShape(HCURSOR cursor);
bool CursorImage(HCURSOR cursor, HICON& icon, int& hotX, int& hotY);
