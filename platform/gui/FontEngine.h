#pragma once
// Fonts realised from their Windows description: the Windows-to-Liberation substitution, pixel
// sizes at the context's pixels per inch, whole-pixel metrics, the font cache, the font list.

#include "platform/gui/GdiObjects.h"
#include "platform/gui/Font.h"

#include <string>
#include <vector>

struct TEXTMETRICA {
    LONG tmHeight = 0;
    LONG tmAscent = 0;
    LONG tmDescent = 0;
    LONG tmInternalLeading = 0;
    LONG tmExternalLeading = 0;
    LONG tmAveCharWidth = 0;
    LONG tmMaxCharWidth = 0;
    LONG tmWeight = 0;
    LONG tmOverhang = 0;
    LONG tmDigitizedAspectX = 96;
    LONG tmDigitizedAspectY = 96;
    BYTE tmFirstChar = 32;
    BYTE tmLastChar = 255;
    BYTE tmDefaultChar = 31;
    BYTE tmBreakChar = 32;
    BYTE tmItalic = 0;
    BYTE tmUnderlined = 0;
    BYTE tmStruckOut = 0;
    BYTE tmPitchAndFamily = 0;
    BYTE tmCharSet = 0;
};
using TEXTMETRIC = TEXTMETRICA;
using TTextMetric = TEXTMETRICA;

// The family a Windows font name is drawn with ("Arial" -> "Liberation Sans"); other names are
// returned unchanged. Comparison ignores case.
std::string SubstituteFontName(const std::string& windowsName);

// A LOGFONT from a TFont (height, weight, style, charset, name) and back.
LOGFONTA FontToLogFont(const TFont& font);
void LogFontToFont(const LOGFONTA& logFont, TFont& font);
// An HFONT for the font's description, shared and cached by description: never delete it.
HFONT FontHandle(const TFont& font);
// Sets the font's properties from the LOGFONT of handle (the escapement is kept by the handle).
void SetFontHandle(TFont& font, HFONT handle);

// The installed families plus "Arial", "Courier New" and "Times New Roman", sorted without regard
// to case, without duplicates (Screen->Fonts).
std::vector<std::string> ScreenFonts();

constexpr DWORD RASTER_FONTTYPE = 1, DEVICE_FONTTYPE = 2, TRUETYPE_FONTTYPE = 4;
struct ENUMLOGFONTA {
    LOGFONTA elfLogFont;
    char elfFullName[64] = {};
    char elfStyle[32] = {};
};
using FONTENUMPROCA = std::function<int(const LOGFONTA* logFont, const TEXTMETRICA* metric, DWORD fontType,
                                        LPARAM data)>;
// Calls proc for each family (or for the named one); stops when it returns 0 and returns its
// last answer.
int EnumFontFamiliesA(HDC dc, const char* family, FONTENUMPROCA proc, LPARAM data);
inline int EnumFontFamilies(HDC dc, const char* family, FONTENUMPROCA proc, LPARAM data)
{
    return EnumFontFamiliesA(dc, family, std::move(proc), data);
}
int EnumFontFamiliesExA(HDC dc, const LOGFONTA* logFont, FONTENUMPROCA proc, LPARAM data, DWORD flags);
inline int EnumFontFamiliesEx(HDC dc, const LOGFONTA* logFont, FONTENUMPROCA proc, LPARAM data, DWORD flags)
{
    return EnumFontFamiliesExA(dc, logFont, std::move(proc), data, flags);
}

// What GetDialogBaseUnits answers: low word the average width of "A".."Z", "a".."z" in the
// default GUI font ("MS Sans Serif", -11), high word its tmHeight.
LONG FontDialogBaseUnits();
