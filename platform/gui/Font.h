#pragma once
// A font as a value: name, size, style and colour. Size and Height convert through the
// pixels per inch as Windows does: Height = -MulDiv(Size, PixelsPerInch, 72).

#include "platform/gui/Colors.h"
#include "platform/gui/GdiObjects.h"
#include "platform/rtl/Classes.h"

#include <string>

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;
enum TFontPitch { fpDefault, fpVariable, fpFixed };
using TFontCharset = BYTE;
constexpr TFontCharset ANSI_CHARSET = 0, DEFAULT_CHARSET = 1, SYMBOL_CHARSET = 2, OEM_CHARSET = 255;

class TFont : public TPersistent {
    TESS_CLASS(TFont, TPersistent)
public:
    TFont() = default;

    // Between fonts of different pixels per inch the point size is carried over, not the
    // pixel height: the target keeps its own resolution.
    void Assign(TPersistent* Source) override;

    const std::string& Name() const { return FName; }
    void SetName(const std::string& value);
    int Height() const { return FHeight; }
    void SetHeight(int value);
    int Size() const;
    void SetSize(int value);
    TFontStyles Style() const { return FStyle; }
    void SetStyle(TFontStyles value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    TFontCharset Charset() const { return FCharset; }
    void SetCharset(TFontCharset value);
    TFontPitch Pitch() const { return FPitch; }
    void SetPitch(TFontPitch value);
    // The angle of the text's baseline in tenths of a degree, counter-clockwise.
    int Orientation() const { return FOrientation; }
    void SetOrientation(int value);
    // A shared handle for the font's description and orientation: never delete it.
    HFONT Handle() const;
    // Takes name, height, style, charset, pitch and the escapement from the handle's LOGFONT.
    void SetHandle(HFONT value);
    int PixelsPerInch = 96;

    bool operator==(const TFont& other) const;

    TNotifyEvent OnChange;

protected:
    void Changed();

private:
    std::string FName = "MS Sans Serif";
    int FHeight = -11;
    TFontStyles FStyle;
    TColor FColor = clWindowText;
    TFontCharset FCharset = DEFAULT_CHARSET;
    TFontPitch FPitch = fpDefault;
    int FOrientation = 0;
};
