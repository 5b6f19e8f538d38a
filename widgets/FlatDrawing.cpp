#include "widgets/FlatDrawing.h"

#include "platform/gui/DeviceContext.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/Regions.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/WinControl.h"
#include "platform/rtl/Formats.h"
#include "widgets/HSLUtils.h"

namespace FlatDrawing {

namespace {

// Mask blit: where the mask (a monochrome source) is white the brush is painted, where it is
// black the destination stays.
constexpr DWORD BrushWhereMaskIsWhite = 0x00E20746;

// A bitmap of the given size in the colour format, or a monochrome one.
void SizeWorkBitmap(TBitmap& bitmap, int width, int height, bool monochrome)
{
    bitmap.SetSize(width, height);
    if (monochrome)
        bitmap.SetMonochrome(true);
}

// Paints the canvas's brush where mask is white, black text and white background making the
// mask's colours plain.
void PaintThroughMask(TCanvas* canvas, TColor brush, int x, int y, int width, int height, TBitmap& mask)
{
    canvas->Brush()->SetColor(brush);
    HDC dc = canvas->Handle();
    SelectObject(dc, canvas->Brush()->Handle());
    SetTextColor(dc, 0x000000);
    SetBkColor(dc, 0xFFFFFF);
    BitBlt(dc, x, y, width, height, mask.Canvas()->Handle(), 0, 0, BrushWhereMaskIsWhite);
}

// Restores a device context saved by SaveDC however the drawing in between ends.
struct TSavedDC {
    HDC DC;
    int Level;
    explicit TSavedDC(HDC dc) : DC(dc), Level(SaveDC(dc)) {}
    ~TSavedDC() { RestoreDC(DC, Level); }
    TSavedDC(const TSavedDC&) = delete;
    TSavedDC& operator=(const TSavedDC&) = delete;
};

} // namespace

void Frame3DBorder(TCanvas* Canvas, TRect Rect, TColor TopColor, TColor BottomColor, int Width)
{
    // Each ring as four one-pixel strips: the pixels of the lines top-left then bottom-right
    // (the bottom-right ones own both far corners), filled rather than drawn with a pen, which
    // costs far less. The caller's brush is left as it was.
    TBrush* brush = Canvas->Brush();
    const TColor brushColor = brush->Color();
    const TBrushStyle brushStyle = brush->Style();
    brush->SetStyle(bsSolid);
    for (int ring = 0; ring < Width && Rect.Right - Rect.Left > 0 && Rect.Bottom - Rect.Top > 0; ++ring) {
        const int right = Rect.Right - 1;
        const int bottom = Rect.Bottom - 1;
        brush->SetColor(TopColor);
        Canvas->FillRect(::Rect(Rect.Left, Rect.Top, right, Rect.Top + 1));
        Canvas->FillRect(::Rect(Rect.Left, Rect.Top, Rect.Left + 1, bottom));
        brush->SetColor(BottomColor);
        Canvas->FillRect(::Rect(right, Rect.Top, right + 1, bottom + 1));
        Canvas->FillRect(::Rect(Rect.Left, bottom, right + 1, bottom + 1));
        InflateRect(Rect, -1, -1);
    }
    brush->SetColor(brushColor);
    brush->SetStyle(brushStyle);
}

void DrawTransparentBmp(TCanvas* Canvas, int X, int Y, TBitmap* Bitmap, TColor TransparentColor)
{
    if (!Canvas || !Bitmap || Bitmap->Empty())
        return;
    const int width = Bitmap->Width();
    const int height = Bitmap->Height();
    TBitmap mask, inverseMask, objectCopy, backgroundCopy;
    SizeWorkBitmap(mask, width, height, true);
    SizeWorkBitmap(inverseMask, width, height, true);
    SizeWorkBitmap(objectCopy, width, height, false);
    SizeWorkBitmap(backgroundCopy, width, height, false);
    HDC source = Bitmap->Canvas()->Handle();

    // The transparent colour's pixels become white in the mask, all others black.
    const COLORREF previous = SetBkColor(source, ColorToRGB(TransparentColor));
    BitBlt(mask.Canvas()->Handle(), 0, 0, width, height, source, 0, 0, SRCCOPY);
    SetBkColor(source, previous);
    BitBlt(inverseMask.Canvas()->Handle(), 0, 0, width, height, mask.Canvas()->Handle(), 0, 0, NOTSRCCOPY);

    HDC object = objectCopy.Canvas()->Handle();
    BitBlt(object, 0, 0, width, height, source, 0, 0, SRCCOPY);
    BitBlt(object, 0, 0, width, height, inverseMask.Canvas()->Handle(), 0, 0, SRCAND);

    HDC destination = Canvas->Handle();
    HDC background = backgroundCopy.Canvas()->Handle();
    BitBlt(background, 0, 0, width, height, destination, X, Y, SRCCOPY);
    BitBlt(background, 0, 0, width, height, mask.Canvas()->Handle(), 0, 0, SRCAND);
    BitBlt(background, 0, 0, width, height, object, 0, 0, SRCINVERT);
    BitBlt(destination, X, Y, width, height, background, 0, 0, SRCCOPY);
}

void DrawParentImage(TControl* Control, TCanvas* Dest)
{
    TWinControl* parent = Control ? Control->Parent() : nullptr;
    if (!parent || !Dest || parent->ComponentState().Contains(csDestroying))
        return;
    HDC dc = Dest->Handle();
    TSavedDC saved(dc);
    POINT origin;
    GetViewportOrgEx(dc, &origin);
    SetViewportOrgEx(dc, origin.X - Control->Left(), origin.Y - Control->Top(), nullptr);
    IntersectClipRect(dc, 0, 0, parent->ClientWidth(), parent->ClientHeight());
    parent->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    parent->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
}

std::unique_ptr<TBitmap> CreateDisabledBitmap(TBitmap* Source, TColor OutlineColor, TColor BackColor,
                                              TColor HighlightColor, TColor ShadowColor, bool DrawHighlight)
{
    const int width = Source ? Source->Width() : 0;
    const int height = Source ? Source->Height() : 0;
    auto result = std::make_unique<TBitmap>();
    if (width <= 0 || height <= 0)
        return result;
    const TRect whole = Rect(0, 0, width, height);
    result->SetSize(width, height);
    TBitmap work;
    work.SetSize(width, height);
    work.Canvas()->CopyRect(whole, Source->Canvas(), whole);

    // A two-tone mask: white where the glyph has the outline colour, black elsewhere.
    work.Canvas()->Brush()->SetColor(OutlineColor);
    if (work.Monochrome()) {
        work.Canvas()->Font()->SetColor(clWhite);
        work.SetMonochrome(false);
        work.Canvas()->Brush()->SetColor(clWhite);
    }
    work.SetMonochrome(true);

    TCanvas* canvas = result->Canvas();
    canvas->Brush()->SetColor(BackColor);
    canvas->FillRect(whole);
    if (DrawHighlight)
        PaintThroughMask(canvas, HighlightColor, 1, 1, width, height, work);
    PaintThroughMask(canvas, ShadowColor, 0, 0, width, height, work);
    return result;
}

TColor CalcAdvancedColor(TColor ParentColor, TColor OriginalColor, TAdvColors Percentage, TColorCalcType ColorType)
{
    if (Percentage == 0)
        return OriginalColor;
    int H, S, L;
    HSLUtils::RGBtoHSLRange(static_cast<TColor>(ColorToRGB(ParentColor)), H, S, L);
    L += 10;
    if (ColorType == lighten)
        L = L + Percentage > 100 ? 100 : L + Percentage;
    else
        L = L - Percentage < 0 ? 0 : L - Percentage;
    return HSLUtils::HSLRangeToRGB(H, S, L);
}

void CalcButtonLayout(TCanvas* Canvas, const TRect& Client, const TPoint& Offset, TButtonLayout Layout, int Spacing,
                      int Margin, TBitmap* Glyph, int NumGlyphs, const std::string& Caption, TRect& TextBounds,
                      TPoint& GlyphPos)
{
    const TPoint clientSize{Client.Width(), Client.Height()};
    TPoint glyphSize{0, 0};
    if (Glyph)
        glyphSize = {Glyph->Width() / std::max(NumGlyphs, 1), Glyph->Height()};
    TPoint textSize{0, 0};
    TextBounds = Rect(0, 0, 0, 0);
    if (!Caption.empty()) {
        TextBounds = Rect(0, 0, Client.Width(), 0);
        Canvas->TextExtent(""); // selects the canvas's font into its context
        DrawTextA(Canvas->Handle(), Caption, -1, &TextBounds, DT_CALCRECT | DT_SINGLELINE);
        textSize = {TextBounds.Right - TextBounds.Left, TextBounds.Bottom - TextBounds.Top};
    }

    // The layout's axis runs across for a glyph left or right of the caption, down otherwise;
    // both parts are centred on the other axis.
    const bool across = Layout == blGlyphLeft || Layout == blGlyphRight;
    auto onAxis = [across](TPoint& p) -> int& { return across ? p.X : p.Y; };
    auto offAxis = [across](TPoint& p) -> int& { return across ? p.Y : p.X; };
    TPoint client = clientSize, glyph = glyphSize, text = textSize;
    TPoint glyphPos{0, 0}, textPos{0, 0};
    offAxis(glyphPos) = (offAxis(client) - offAxis(glyph) + 1) / 2;
    offAxis(textPos) = (offAxis(client) - offAxis(text) + 1) / 2;

    if (textSize.X == 0 || glyphSize.X == 0)
        Spacing = 0;
    if (Margin == -1 && Spacing == -1) {
        Margin = (onAxis(client) - (onAxis(glyph) + onAxis(text))) / 3;
        Spacing = Margin;
    } else if (Margin == -1) {
        Margin = (onAxis(client) - (onAxis(glyph) + Spacing + onAxis(text)) + 1) / 2;
    } else if (Spacing == -1) {
        Spacing = (onAxis(client) - (Margin + onAxis(glyph)) - onAxis(text)) / 2;
    }

    if (Layout == blGlyphLeft || Layout == blGlyphTop) {
        onAxis(glyphPos) = Margin;
        onAxis(textPos) = onAxis(glyphPos) + onAxis(glyph) + Spacing;
    } else {
        onAxis(glyphPos) = onAxis(client) - Margin - onAxis(glyph);
        onAxis(textPos) = onAxis(glyphPos) - Spacing - onAxis(text);
    }

    GlyphPos = Point(glyphPos.X + Client.Left + Offset.X, glyphPos.Y + Client.Top + Offset.Y);
    OffsetRect(TextBounds, textPos.X + Client.Left + Offset.X, textPos.Y + Client.Top + Offset.Y);
}

WORD Min(WORD X, WORD Y) { return X <= Y ? X : Y; }

void GetFontMetrics(TFont* Font, TEXTMETRICA& TM)
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, Font->Handle());
    GetTextMetricsA(dc, &TM);
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
}

int GetFontHeight(TFont* Font)
{
    TEXTMETRICA metrics{};
    GetFontMetrics(Font, metrics);
    return static_cast<int>(Round(metrics.tmHeight * 1.125));
}

bool RectInRect(const TRect& R1, const TRect& R2)
{
    TRect overlap;
    IntersectRect(overlap, R1, R2);
    return !IsRectEmpty(overlap);
}

HDC TextContext(TCanvas* Canvas)
{
    Canvas->TextWidth(std::string());
    return Canvas->Handle();
}

void DrawDisabledText(HDC DC, const std::string& Text, TRect Rect, UINT Format)
{
    TRect raised = Rect;
    OffsetRect(raised, 1, 1);
    SetTextColor(DC, ColorToRGB(clBtnHighlight));
    DrawTextA(DC, Text, -1, &raised, Format);
    SetTextColor(DC, ColorToRGB(clBtnShadow));
    DrawTextA(DC, Text, -1, &Rect, Format);
}

} // namespace FlatDrawing
