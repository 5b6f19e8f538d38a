#pragma once
// Window, application and system helpers of the control library: centring and embedding
// windows, activation, message boxes, dialog units, library loading, memory blocks, command
// lines, environment variables, the system version text and the Win32 error. FreeAndNil is the
// run-time layer's (platform/rtl/System.h).
//
// The graphic half: bitmaps and icons from the resources, bitmap cells, transparent and disabled
// (embossed) images, the parent's image under a control, gradients, text in grid cells, turned
// fonts, shading, inverted frames on the screen, extra cursors and the nested wait cursor.

#include "platform/gui/Bitmap.h"
#include "platform/gui/DialogService.h"
#include "platform/gui/Form.h"
#include "platform/gui/Icon.h"
#include "platform/gui/ImageList.h"
#include "platform/gui/Label.h"
#include "platform/gui/Resources.h"
#include "platform/rtl/Variants.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The library always draws the new (Windows 95) look of its controls.
constexpr bool NewStyleControls = true;

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

// --- Drawing, bitmaps and cursors ---------------------------------------------------------------

enum TFillDirection { fdTopToBottom, fdBottomToTop, fdLeftToRight, fdRightToLeft };
enum TVertAlignment { vaTopJustify, vaCenter, vaBottomJustify };

// A canvas on the whole screen; its drawing shows in the screen's overlay.
class TScreenCanvas : public TCanvas {
    TESS_CLASS(TScreenCanvas, TCanvas)
public:
    TScreenCanvas() = default;
    ~TScreenCanvas() override;
    // Gives the screen context back; the next drawing takes it again.
    void FreeHandle();
    // Screen point (X, Y) becomes the canvas's (0, 0).
    void SetOrigin(int X, int Y);

protected:
    void CreateHandle() override;

private:
    HDC FDeviceContext = nullptr;
};

// The cursor StartWait shows (the hourglass unless changed).
extern TCursor WaitCursor;

// Raises EResNotFound "Resource %s not found" with the name or the decimal number.
[[noreturn]] void ResourceNotFound(const TResourceName& ResID);
// A bitmap from a module's resources (module 0: the system's bitmaps); nullptr on any failure.
std::unique_ptr<TBitmap> MakeModuleBitmap(HINSTANCE Module, const TResourceName& ResID);
std::unique_ptr<TBitmap> MakeBitmap(const std::string& ResName);
std::unique_ptr<TBitmap> MakeBitmapID(int ResID);
// An icon from a module's resources; nullptr when there is none.
std::unique_ptr<TIcon> MakeModuleIcon(HINSTANCE Module, const TResourceName& ResID);
std::unique_ptr<TIcon> MakeIcon(const std::string& ResName);
std::unique_ptr<TIcon> MakeIconID(int ResID);

// Dest becomes cell Index (counted along the rows) of Source cut into Cols x Rows cells. A bitmap
// source gives its transparent colour; any other graphic is drawn over clSilver.
void AssignBitmapCell(TGraphic* Source, TBitmap* Dest, int Cols, int Rows, int Index);
// Paints on Dest what lies under Control: its parent's window and the graphic siblings below it.
// Dest's (0, 0) is the control's top-left.
void CopyParentImage(TControl* Control, TCanvas* Dest);

// Copies the source rectangle stretched onto the destination, leaving out the source's pixels of
// TransparentColor (an RGB value).
void StretchBltTransparent(HDC DstDC, int DstX, int DstY, int DstW, int DstH, HDC SrcDC, int SrcX, int SrcY, int SrcW,
                           int SrcH, HPALETTE Palette, COLORREF TransparentColor);
void DrawTransparentBitmap(HDC DC, HBITMAP Bitmap, int DstX, int DstY, COLORREF TransparentColor);
// The bitmap drawing below: a destination size below 1 takes the bitmap's, a source rectangle
// without size the whole bitmap. TransparentColor clNone draws plainly, clDefault takes the
// bitmap's bottom-left pixel; a monochrome bitmap is transparent where it is white.
void StretchBitmapRectTransparent(TCanvas* Dest, int DstX, int DstY, int DstW, int DstH, const TRect& SrcRect,
                                  TBitmap* Bitmap, TColor TransparentColor);
void DrawBitmapRectTransparent(TCanvas* Dest, int DstX, int DstY, const TRect& SrcRect, TBitmap* Bitmap,
                               TColor TransparentColor);
void DrawBitmapTransparent(TCanvas* Dest, int DstX, int DstY, TBitmap* Bitmap, TColor TransparentColor);
// A copy of Bitmap with the pixels of Color in NewColor.
std::unique_ptr<TBitmap> ChangeBitmapColor(TBitmap* Bitmap, TColor Color, TColor NewColor);
// The embossed look of a disabled image: BackColor, with the pixels of OutlineColor in
// ShadowColor and, with DrawHighlight, a HighlightColor copy of them one pixel down and right.
std::unique_ptr<TBitmap> CreateDisabledBitmapEx(TBitmap* FOriginal, TColor OutlineColor, TColor BackColor,
                                                TColor HighlightColor, TColor ShadowColor, bool DrawHighlight);
std::unique_ptr<TBitmap> CreateDisabledBitmap(TBitmap* FOriginal, TColor OutlineColor);
// Draws the shape of image Index embossed: GrayColor where it is opaque, with DrawHighlight a
// HighlightColor copy one pixel down and right beneath.
void ImageListDrawDisabled(TCustomImageList* Images, TCanvas* Canvas, int X, int Y, int Index, TColor HighlightColor,
                           TColor GrayColor, bool DrawHighlight);
// An 8 x 8 checkerboard: Color2 where column and row have the same parity, Color1 elsewhere.
std::unique_ptr<TBitmap> CreateTwoColorsBrushPattern(TColor Color1, TColor Color2);
std::unique_ptr<TBitmap> CreateBitmapFromIcon(TIcon* Icon, TColor BackColor);
// TransparentColor clDefault takes the bitmap's own.
std::unique_ptr<TIcon> CreateIconFromBitmap(TBitmap* Bitmap, TColor TransparentColor);

// Inverts the screen between the two points; doing it twice restores the screen.
void PaintInverseRect(const TPoint& RectOrg, const TPoint& RectEnd);
// A focus frame Width pixels thick inside ScreenRect, drawn inverted on the screen.
void DrawInvertFrame(TRect ScreenRect, int Width);
int WidthOf(const TRect& R);
int HeightOf(const TRect& R);
// Inclusive on all four edges.
bool PointInRect(const TPoint& P, const TRect& R);
// Inside the polygon, filled by the winding rule.
bool PointInPolyRgn(const TPoint& P, const std::vector<TPoint>& Points);
// The colour's RGB value with the palette-relative flag.
TColor PaletteColor(TColor Color);
// The number of entries of the palette, 0 for none.
int PaletteEntries(HPALETTE Palette);
// A font like Font turned by Angle degrees; the caller deletes the handle.
HFONT CreateRotatedFont(TFont* Font, int Angle);
// Darkens the rectangle with diagonal lines (every fourth pixel of each row).
void ShadeRect(HDC DC, const TRect& Rect);
// Colours bands from StartColor to EndColor (in that order for top-to-bottom and left-to-right).
void GradientFillRect(TCanvas* Canvas, const TRect& ARect, TColor StartColor, TColor EndColor,
                      TFillDirection Direction, int Colors);
// The text, or as much of its start as fits followed by "..." (which may still not fit).
std::string MinimizeText(const std::string& Text, TCanvas* Canvas, int MaxWidth);
// The average width of the letters and their height.
TPoint GetAveCharSize(TCanvas* Canvas);
// Text in a rectangle at (DX, DY) from its corner with the canvas's font and brush; word wrap and
// line breaks go through an off-screen bitmap. The off-screen bitmap is shared: GUI thread only.
void WriteText(TCanvas* ACanvas, const TRect& ARect, int DX, int DY, const std::string& Text, TAlignment Alignment,
               bool WordWrap);
// Text of a grid cell on the control's canvas.
void DrawCellTextEx(TCustomControl* Control, int ACol, int ARow, const std::string& S, const TRect& ARect,
                    TAlignment Align, TVertAlignment VertAlign, bool WordWrap);
// Centred text wraps, other alignments do not.
void DrawCellText(TCustomControl* Control, int ACol, int ARow, const std::string& S, const TRect& ARect,
                  TAlignment Align, TVertAlignment VertAlign);
// The graphic centred in the cell.
void DrawCellBitmap(TCustomControl* Control, int ACol, int ARow, TGraphic* Bmp, TRect Rect);

// Animated cursors cannot be shown here: always 0.
HCURSOR LoadAniCursor(HINSTANCE Instance, const TResourceName& ResID);
// Puts the module's cursor into the first free slot from 100 of the screen's cursor table and
// returns its number. Raises EResNotFound for a missing cursor and EOutOfResources "Out of
// system resources" when no slot is free.
TCursor DefineCursor(HINSTANCE Instance, const TResourceName& ResID);
// Show WaitCursor until the matching StopWait; calls nest.
void StartWait();
void StopWait();
