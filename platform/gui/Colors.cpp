#include "platform/gui/Colors.h"

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/TextUtils.h"

#include <cstdio>

namespace {

struct TColorName {
    TColor Value;
    const char* Name;
};

const TColorName colorNames[] = {
    {clBlack, "clBlack"}, {clMaroon, "clMaroon"}, {clGreen, "clGreen"}, {clOlive, "clOlive"},
    {clNavy, "clNavy"}, {clPurple, "clPurple"}, {clTeal, "clTeal"}, {clGray, "clGray"},
    {clSilver, "clSilver"}, {clRed, "clRed"}, {clLime, "clLime"}, {clYellow, "clYellow"},
    {clBlue, "clBlue"}, {clFuchsia, "clFuchsia"}, {clAqua, "clAqua"}, {clWhite, "clWhite"},
    {clMoneyGreen, "clMoneyGreen"}, {clSkyBlue, "clSkyBlue"}, {clCream, "clCream"}, {clMedGray, "clMedGray"},
    {clScrollBar, "clScrollBar"}, {clBackground, "clBackground"}, {clActiveCaption, "clActiveCaption"},
    {clInactiveCaption, "clInactiveCaption"}, {clMenu, "clMenu"}, {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"}, {clMenuText, "clMenuText"}, {clWindowText, "clWindowText"},
    {clCaptionText, "clCaptionText"}, {clActiveBorder, "clActiveBorder"},
    {clInactiveBorder, "clInactiveBorder"}, {clAppWorkSpace, "clAppWorkSpace"}, {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"}, {clBtnFace, "clBtnFace"}, {clBtnShadow, "clBtnShadow"},
    {clGrayText, "clGrayText"}, {clBtnText, "clBtnText"}, {clInactiveCaptionText, "clInactiveCaptionText"},
    {clBtnHighlight, "clBtnHighlight"}, {cl3DDkShadow, "cl3DDkShadow"}, {cl3DLight, "cl3DLight"},
    {clInfoText, "clInfoText"}, {clInfoBk, "clInfoBk"}, {clHotLight, "clHotLight"},
    {clGradientActiveCaption, "clGradientActiveCaption"},
    {clGradientInactiveCaption, "clGradientInactiveCaption"}, {clNone, "clNone"}, {clDefault, "clDefault"},
};

const COLORREF systemColors[] = {
    RGB(212, 208, 200), RGB(58, 110, 165),  RGB(10, 36, 106),   RGB(128, 128, 128), RGB(212, 208, 200),
    RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(255, 255, 255),
    RGB(212, 208, 200), RGB(212, 208, 200), RGB(128, 128, 128), RGB(10, 36, 106),   RGB(255, 255, 255),
    RGB(212, 208, 200), RGB(128, 128, 128), RGB(128, 128, 128), RGB(0, 0, 0),       RGB(212, 208, 200),
    RGB(255, 255, 255), RGB(64, 64, 64),    RGB(212, 208, 200), RGB(0, 0, 0),       RGB(255, 255, 225),
    RGB(181, 181, 181), RGB(0, 0, 128),     RGB(166, 202, 240), RGB(192, 192, 192),
};

} // namespace

COLORREF GetSysColor(int index)
{
    if (index < 0 || index >= static_cast<int>(sizeof systemColors / sizeof systemColors[0]))
        return 0;
    return systemColors[index];
}

COLORREF ColorToRGB(TColor color)
{
    if (color < 0)
        return GetSysColor(color & 0xFF);
    return static_cast<COLORREF>(color) & 0x00FFFFFF;
}

bool ColorToIdent(TColor color, std::string& ident)
{
    for (const TColorName& name : colorNames)
        if (name.Value == color) {
            ident = name.Name;
            return true;
        }
    return false;
}

bool IdentToColor(const std::string& ident, TColor& color)
{
    for (const TColorName& name : colorNames)
        if (SameText(ident, name.Name)) {
            color = name.Value;
            return true;
        }
    return false;
}

std::string ColorToString(TColor color)
{
    std::string ident;
    if (ColorToIdent(color, ident))
        return ident;
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "$%.8X", static_cast<unsigned>(color));
    return buffer;
}

TColor StringToColor(const std::string& text)
{
    TColor color = 0;
    if (IdentToColor(text, color))
        return color;
    const std::string trimmed = Trim(text);
    int value = 0;
    if (!trimmed.empty() && TryStrToInt(trimmed, value))
        return value;
    RAISE(EConvertError("'" + text + "' is not a valid integer value"));
}
