#include "platform/gui/Font.h"

#include "platform/gui/FontEngine.h"
#include "platform/gui/private/GdiInternals.h"

#include <map>
#include <mutex>
#include <utility>

void TFont::Assign(TPersistent* Source)
{
    if (auto* font = dynamic_cast<TFont*>(Source)) {
        if (font == this)
            return;
        FName = font->FName;
        if (PixelsPerInch == font->PixelsPerInch)
            FHeight = font->FHeight;
        else
            FHeight = -MulDiv(font->Size(), PixelsPerInch, 72);
        FStyle = font->FStyle;
        FColor = font->FColor;
        FCharset = font->FCharset;
        FPitch = font->FPitch;
        FOrientation = font->FOrientation;
        Changed();
        return;
    }
    TPersistent::Assign(Source);
}

bool TFont::operator==(const TFont& other) const
{
    return FName == other.FName && FHeight == other.FHeight && FStyle == other.FStyle && FColor == other.FColor &&
           FCharset == other.FCharset && FPitch == other.FPitch &&
           FOrientation == other.FOrientation;
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

void TFont::SetOrientation(int value)
{
    if (value == FOrientation)
        return;
    FOrientation = value;
    Changed();
}

HFONT TFont::Handle() const
{
    if (FOrientation == 0)
        return FontHandle(*this);
    // Turned fonts are shared per description and angle, like the upright ones.
    static std::mutex lock;
    static std::map<std::pair<HFONT, int>, HFONT> turned;
    const HFONT upright = FontHandle(*this);
    std::lock_guard guard(lock);
    HFONT& handle = turned[{upright, FOrientation}];
    if (!handle) {
        LOGFONTA logFont = FontToLogFont(*this);
        logFont.lfEscapement = FOrientation;
        logFont.lfOrientation = FOrientation;
        handle = CreateFontIndirectA(logFont);
        if (TGdiObject* object = Gdi::Find(handle))
            object->Stock = true;
    }
    return handle;
}

void TFont::SetHandle(HFONT value)
{
    LOGFONTA logFont;
    if (GetObjectA(value, sizeof(logFont), &logFont) != sizeof(logFont))
        return;
    LogFontToFont(logFont, *this);
    SetOrientation(logFont.lfEscapement);
}
