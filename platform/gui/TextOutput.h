#pragma once
// Text output and measuring on device contexts, with Windows' placement rules: the reference
// point is the top-left of the text cell unless SetTextAlign says otherwise; widths are whole
// pixels and add up piece by piece. Texts are Windows-1252 bytes.

#include "platform/gui/FontEngine.h"

#include <string>
#include <vector>

constexpr UINT ETO_OPAQUE = 2, ETO_CLIPPED = 4, ETO_GLYPH_INDEX = 0x10;

constexpr UINT DT_TOP = 0, DT_LEFT = 0, DT_CENTER = 1, DT_RIGHT = 2, DT_VCENTER = 4, DT_BOTTOM = 8,
               DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20, DT_EXPANDTABS = 0x40, DT_TABSTOP = 0x80,
               DT_NOCLIP = 0x100, DT_EXTERNALLEADING = 0x200, DT_CALCRECT = 0x400, DT_NOPREFIX = 0x800,
               DT_INTERNAL = 0x1000, DT_EDITCONTROL = 0x2000, DT_PATH_ELLIPSIS = 0x4000,
               DT_END_ELLIPSIS = 0x8000, DT_MODIFYSTRING = 0x10000, DT_RTLREADING = 0x20000,
               DT_WORD_ELLIPSIS = 0x40000, DT_NOFULLWIDTHCHARBREAK = 0x80000, DT_HIDEPREFIX = 0x100000,
               DT_PREFIXONLY = 0x200000;

constexpr DWORD GCP_JUSTIFY = 0x00010000, GCP_MAXEXTENT = 0x00100000, GCP_USEKERNING = 0x0008;

struct GCP_RESULTSA {
    DWORD lStructSize = 0;
    std::string lpOutString;
    std::vector<UINT> lpOrder;
    std::vector<int> lpDx;
    std::vector<int> lpCaretPos;
    std::vector<char> lpClass;
    std::vector<WORD> lpGlyphs;
    UINT nGlyphs = 0;
    int nMaxFit = 0;
};

// count -1 (or below 0) takes the whole text.
BOOL TextOutA(HDC dc, int x, int y, const std::string& text, int count = -1);
inline BOOL TextOut(HDC dc, int x, int y, const std::string& text, int count = -1)
{
    return TextOutA(dc, x, y, text, count);
}
// dx (may be null) gives each character's advance.
BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, const std::string& text, int count = -1,
                 const int* dx = nullptr);
inline BOOL ExtTextOut(HDC dc, int x, int y, UINT options, const RECT* rect, const std::string& text,
                       int count = -1, const int* dx = nullptr)
{
    return ExtTextOutA(dc, x, y, options, rect, text, count, dx);
}
// Returns the text height (see the flags); rect is changed with DT_CALCRECT.
int DrawTextA(HDC dc, const std::string& text, int count, RECT* rect, UINT format);
inline int DrawText(HDC dc, const std::string& text, int count, RECT* rect, UINT format)
{
    return DrawTextA(dc, text, count, rect, format);
}
// Returns MAKELONG(width, height).
LONG TabbedTextOutA(HDC dc, int x, int y, const std::string& text, int count, int tabCount, const int* tabStops,
                    int tabOrigin);
inline LONG TabbedTextOut(HDC dc, int x, int y, const std::string& text, int count, int tabCount,
                          const int* tabStops, int tabOrigin)
{
    return TabbedTextOutA(dc, x, y, text, count, tabCount, tabStops, tabOrigin);
}
DWORD GetTabbedTextExtentA(HDC dc, const std::string& text, int count, int tabCount, const int* tabStops);
inline DWORD GetTabbedTextExtent(HDC dc, const std::string& text, int count, int tabCount, const int* tabStops)
{
    return GetTabbedTextExtentA(dc, text, count, tabCount, tabStops);
}
BOOL GetTextExtentPoint32A(HDC dc, const std::string& text, int count, SIZE* size);
inline BOOL GetTextExtentPoint32(HDC dc, const std::string& text, int count, SIZE* size)
{
    return GetTextExtentPoint32A(dc, text, count, size);
}
inline BOOL GetTextExtentPointA(HDC dc, const std::string& text, int count, SIZE* size)
{
    return GetTextExtentPoint32A(dc, text, count, size);
}
// fit and partialExtents may be null; partialExtents receives count running widths.
BOOL GetTextExtentExPointA(HDC dc, const std::string& text, int count, int maxExtent, int* fit,
                           int* partialExtents, SIZE* size);
inline BOOL GetTextExtentExPoint(HDC dc, const std::string& text, int count, int maxExtent, int* fit,
                                 int* partialExtents, SIZE* size)
{
    return GetTextExtentExPointA(dc, text, count, maxExtent, fit, partialExtents, size);
}
// Fills results->lpDx; returns MAKELONG(width, height), 0 on failure.
DWORD GetCharacterPlacementA(HDC dc, const std::string& text, int count, int maxExtent, GCP_RESULTSA* results,
                             DWORD flags);
inline DWORD GetCharacterPlacement(HDC dc, const std::string& text, int count, int maxExtent,
                                   GCP_RESULTSA* results, DWORD flags)
{
    return GetCharacterPlacementA(dc, text, count, maxExtent, results, flags);
}
BOOL GetCharWidthA(HDC dc, UINT first, UINT last, int* widths);
inline BOOL GetCharWidth(HDC dc, UINT first, UINT last, int* widths) { return GetCharWidthA(dc, first, last, widths); }
inline BOOL GetCharWidth32(HDC dc, UINT first, UINT last, int* widths) { return GetCharWidthA(dc, first, last, widths); }
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics);
inline BOOL GetTextMetrics(HDC dc, TEXTMETRICA* metrics) { return GetTextMetricsA(dc, metrics); }
// Copies the face name (the Windows name) and returns its length; with a null buffer the size.
int GetTextFaceA(HDC dc, int count, char* faceName);
inline int GetTextFace(HDC dc, int count, char* faceName) { return GetTextFaceA(dc, count, faceName); }
