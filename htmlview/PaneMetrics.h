#pragma once
// What the viewer's text layout measures, behind one small interface: a font's
// vertical metrics and the widths of character runs. The default measures with
// the layer's screen context; tests install a fixed provider so that layouts
// come out the same on every machine.

#include "platform/gui/Font.h"
#include "platform/gui/WinTypes.h"

// The vertical metrics a font run keeps.
struct TPaneFontMetrics {
    int Height = 0;
    int ExternalLeading = 0;
    int Descent = 0;
    int Overhang = 0;
};

class TPaneMetrics {
public:
    virtual ~TPaneMetrics() = default;
    // The metrics of Font, measured on the screen context.
    virtual TPaneFontMetrics FontMetrics(TFont* Font) = 0;
    // The width of the first N characters at P in the font selected into DC.
    virtual int TextWidth(HDC DC, const char* P, int N) = 0;
    // How many of the first N characters at P fit into MaxWidth in the font
    // selected into DC.
    virtual int FitCount(HDC DC, const char* P, int N, int MaxWidth) = 0;
};

// The provider in use: the one installed last, or the screen measuring default.
TPaneMetrics& PaneMetrics();
// Installs Provider (not owned); nullptr brings the default back.
void SetPaneMetrics(TPaneMetrics* Provider);
