#include "platform/gui/Font.h"

void TFont::Assign(TPersistent* Source)
{
    if (auto* font = dynamic_cast<TFont*>(Source)) {
        if (font == this)
            return;
        FName = font->FName;
        FHeight = font->FHeight;
        FStyle = font->FStyle;
        FColor = font->FColor;
        FCharset = font->FCharset;
        FPitch = font->FPitch;
        PixelsPerInch = font->PixelsPerInch;
        Changed();
        return;
    }
    TPersistent::Assign(Source);
}

bool TFont::operator==(const TFont& other) const
{
    return FName == other.FName && FHeight == other.FHeight && FStyle == other.FStyle && FColor == other.FColor &&
           FCharset == other.FCharset && FPitch == other.FPitch;
}

void TFont::Changed()
{
    if (OnChange)
        OnChange(this);
}

void TFont::SetName(const std::string& value)
{
    if (value.empty() || value == FName)
        return;
    FName = value;
    Changed();
}

void TFont::SetHeight(int value)
{
    if (value == FHeight)
        return;
    FHeight = value;
    Changed();
}

int TFont::Size() const { return -MulDiv(FHeight, 72, PixelsPerInch); }

void TFont::SetSize(int value) { SetHeight(-MulDiv(value, PixelsPerInch, 72)); }

void TFont::SetStyle(TFontStyles value)
{
    if (value == FStyle)
        return;
    FStyle = value;
    Changed();
}

void TFont::SetColor(TColor value)
{
    if (value == FColor)
        return;
    FColor = value;
    Changed();
}

void TFont::SetCharset(TFontCharset value)
{
    if (value == FCharset)
        return;
    FCharset = value;
    Changed();
}

void TFont::SetPitch(TFontPitch value)
{
    if (value == FPitch)
        return;
    FPitch = value;
    Changed();
}
