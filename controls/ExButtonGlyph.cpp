// Button glyphs: state images in shared lists, layout and drawing of glyph, caption and mark.

#include "controls/ExButtonGlyph.h"

#include "controls/VCLUtils.h"
#include "controls/private/ExGlyphCache.h"
#include "platform/gui/TextOutput.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <cstring>

namespace ExButtonGlyphUnit {

constexpr int PopupMarkWidth = 9;
constexpr int MaxCaptionLength = 255;

// A 32-bit copy whose rows can be read and written without touching the original.
std::unique_ptr<TBitmap> PixelCopy(TBitmap* source)
{
    auto copy = std::make_unique<TBitmap>();
    copy->Assign(source);
    copy->SetPixelFormat(pf32bit);
    return copy;
}

std::unique_ptr<TBitmap> BlankPixels(int width, int height)
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(pf32bit);
    bitmap->SetSize(width, height);
    return bitmap;
}

TColor PixelOf(const std::uint8_t* row, int x)
{
    const std::uint8_t* p = row + 4 * x;
    return static_cast<TColor>(p[2] | (p[1] << 8) | (p[0] << 16));
}

void SetPixelOf(std::uint8_t* row, int x, TColor color)
{
    const COLORREF rgb = ColorToRGB(color);
    std::uint8_t* p = row + 4 * x;
    p[0] = static_cast<std::uint8_t>((rgb >> 16) & 0xFF);
    p[1] = static_cast<std::uint8_t>((rgb >> 8) & 0xFF);
    p[2] = static_cast<std::uint8_t>(rgb & 0xFF);
    p[3] = 0xFF;
}

// Copies the cell at column left of source into work (both 32-bit, work of the cell's size).
void CopyCell(TBitmap& source, int left, TBitmap& work)
{
    for (int y = 0; y < work.Height(); ++y)
        std::memcpy(work.ScanLine(y), source.ScanLine(y) + 4 * left, static_cast<std::size_t>(4 * work.Width()));
}

// DrawText with the canvas's font and font colour, leaving the background as it is.
void DrawCanvasText(TCanvas* canvas, const std::string& text, TRect& bounds, UINT flags)
{
    HDC dc = canvas->Handle();
    SelectObject(dc, canvas->Font()->Handle());
    SetTextColor(dc, ColorToRGB(canvas->Font()->Color()));
    SetBkMode(dc, TRANSPARENT);
    DrawTextA(dc, text, -1, &bounds, flags);
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

} // namespace ExButtonGlyphUnit

// --- TExButtonGlyph ------------------------------------------------------------------------------

TExButtonGlyph::TExButtonGlyph() : FOriginal(std::make_unique<TBitmap>())
{
    HookGlyph();
    exctrls::NeedGlyphCache();
}

TExButtonGlyph::~TExButtonGlyph()
{
    FOriginal->OnChange = nullptr;
    FOriginal.reset();
    Invalidate();
    exctrls::FreeGlyphCacheWhenEmpty();
}

void TExButtonGlyph::HookGlyph()
{
    FOriginal->OnChange = [this](TObject* Sender) { GlyphChanged(Sender); };
}

const TCustomImageList* TExButtonGlyph::ImageList() const { return FGlyphList; }

UINT TExButtonGlyph::AlignmentFlags(TAlignment Value)
{
    switch (Value) {
    case taLeftJustify:
        return DT_LEFT;
    case taRightJustify:
        return DT_RIGHT;
    default:
        return DT_CENTER;
    }
}

void TExButtonGlyph::Invalidate()
{
    for (int& index : FIndexs) {
        if (index != -1 && FGlyphList)
            FGlyphList->ReleaseGlyph(index);
        index = -1;
    }
    if (FGlyphList)
        if (exctrls::TGlyphCache* cache = exctrls::GlyphCache())
            cache->ReturnList(FGlyphList);
    FGlyphList = nullptr;
}

void TExButtonGlyph::SetGlyph(TBitmap* Value)
{
    Invalidate();
    // The copy reports its change once, through GlyphChanged below.
    FOriginal->OnChange = nullptr;
    FOriginal->Assign(Value);
    HookGlyph();
    GlyphChanged(FOriginal.get());
}

void TExButtonGlyph::SetNumGlyphs(TExNumGlyphs Value)
{
    if (Value <= 0)
        return;
    Value = std::min(Value, 5);
    if (Value == FNumGlyphs)
        return;
    Invalidate();
    FNumGlyphs = Value;
}

void TExButtonGlyph::GlyphChanged(TObject*)
{
    Invalidate();
    const int width = FOriginal->Width();
    const int height = FOriginal->Height();
    if (height > 0) {
        FTransparentColor = static_cast<TColor>(FOriginal->TransparentColor() & ~0x02000000);
        if (width % height == 0) {
            const int cells = width / height;
            FNumGlyphs = cells >= 1 && cells <= 5 ? cells : 1;
        }
    }
    if (OnChange)
        OnChange(this);
}

TColor TExButtonGlyph::MapColor(TColor Color) const
{
    if (Color == FTransparentColor || ColorToRGB(Color) == ColorToRGB(clBtnFace))
        return Color;
    const COLORREF rgb = ColorToRGB(Color);
    const int red = static_cast<int>(rgb & 0xFF);
    const int green = static_cast<int>((rgb >> 8) & 0xFF);
    const int blue = static_cast<int>((rgb >> 16) & 0xFF);
    const int grey = (red * 77 + green * 150 + blue * 29) >> 8;
    return static_cast<TColor>(grey | (grey << 8) | (grey << 16));
}

int TExButtonGlyph::CreateButtonGlyph(TExButtonState State)
{
    if (State == rbsDown && FNumGlyphs < 3)
        State = rbsUp;
    if (FIndexs[State] != -1)
        return FIndexs[State];
    if (FOriginal->Width() == 0 || FOriginal->Height() == 0 || FOriginal->Empty())
        return -1;
    const int cellWidth = FOriginal->Width() / FNumGlyphs;
    const int cellHeight = FOriginal->Height();
    // A strip narrower than its number of cells has no image to give.
    if (cellWidth == 0)
        return -1;
    if (!FGlyphList)
        FGlyphList = exctrls::NeedGlyphCache().GetList(cellWidth, cellHeight);
    auto source = ExButtonGlyphUnit::PixelCopy(FOriginal.get());
    auto work = ExButtonGlyphUnit::BlankPixels(cellWidth, cellHeight);
    const int cell = static_cast<int>(State) < FNumGlyphs ? static_cast<int>(State) : 0;
    int index = -1;
    switch (State) {
    case rbsUp:
    case rbsDown:
    case rbsExclusive:
        ExButtonGlyphUnit::CopyCell(*source, cell * cellWidth, *work);
        index = FGlyphList->AddGlyphMasked(work.get(), FTransparentColor);
        break;
    case rbsDisabled:
        if (FNumGlyphs > 1) {
            ExButtonGlyphUnit::CopyCell(*source, cell * cellWidth, *work);
            index = FGlyphList->AddGlyphMasked(work.get(), FTransparentColor);
        } else {
            auto embossed = CreateDisabledBitmap(source.get(), clBlack);
            index = FGlyphList->AddGlyphMasked(embossed.get(), static_cast<TColor>(ColorToRGB(clBtnFace)));
        }
        break;
    case rbsInactive:
        if (FNumGlyphs == 5) {
            ExButtonGlyphUnit::CopyCell(*source, cell * cellWidth, *work);
        } else {
            for (int y = 0; y < cellHeight; ++y) {
                const std::uint8_t* in = source->ScanLine(y);
                std::uint8_t* out = work->ScanLine(y);
                for (int x = 0; x < cellWidth; ++x)
                    ExButtonGlyphUnit::SetPixelOf(out, x, MapColor(ExButtonGlyphUnit::PixelOf(in, x)));
            }
        }
        index = FGlyphList->AddGlyphMasked(work.get(), FTransparentColor);
        break;
    }
    FIndexs[State] = index;
    return index;
}

bool TExButtonGlyph::HasExternalImage(TCustomImageList* Images, int Index) const
{
    return Images && Images->Width() > 0 && Images->Height() > 0 && Index >= 0 && Index < Images->Count();
}

int TExButtonGlyph::CreateImageGlyph(TExButtonState State, TCustomImageList* Images, int Index)
{
    if (State == rbsDown)
        State = rbsUp;
    if (FIndexs[State] != -1)
        return FIndexs[State];
    if (!HasExternalImage(Images, Index))
        return -1;
    const int width = Images->Width();
    const int height = Images->Height();
    if (!FGlyphList)
        FGlyphList = exctrls::NeedGlyphCache().GetList(width, height);
    auto work = ExButtonGlyphUnit::BlankPixels(width, height);
    work->Canvas()->Brush()->SetColor(clBtnFace);
    work->Canvas()->FillRect(Rect(0, 0, width, height));
    const TColor face = static_cast<TColor>(ColorToRGB(clBtnFace));
    int index = -1;
    switch (State) {
    case rbsDisabled:
        ImageListDrawDisabled(Images, work->Canvas(), 0, 0, Index, clBtnHighlight, clBtnShadow, true);
        index = FGlyphList->AddGlyphMasked(work.get(), face);
        break;
    case rbsInactive:
        Images->Draw(work->Canvas(), 0, 0, Index);
        for (int y = 0; y < height; ++y) {
            std::uint8_t* row = work->ScanLine(y);
            for (int x = 0; x < width; ++x)
                ExButtonGlyphUnit::SetPixelOf(row, x, MapColor(ExButtonGlyphUnit::PixelOf(row, x)));
        }
        index = FGlyphList->AddGlyphMasked(work.get(), face);
        break;
    default: {
        Images->Draw(work->Canvas(), 0, 0, Index);
        TBitmap mask;
        mask.SetSize(width, height);
        mask.SetMonochrome(true);
        ImageList_Draw(Images->Handle(), Index, mask.Canvas()->Handle(), 0, 0, ILD_MASK);
        index = FGlyphList->AddGlyph(work.get(), &mask);
        break;
    }
    }
    FIndexs[State] = index;
    return index;
}

void TExButtonGlyph::DrawListImage(TCanvas* Canvas, int X, int Y, int Index)
{
    ImageList_DrawEx(FGlyphList->Handle(), Index, Canvas->Handle(), X, Y, 0, 0, CLR_NONE, CLR_NONE, ILD_TRANSPARENT);
}

TPoint TExButtonGlyph::DrawButtonGlyph(TCanvas* Canvas, int X, int Y, TExButtonState State)
{
    const int index = CreateButtonGlyph(State);
    if (index == -1)
        return Point(0, 0);
    DrawListImage(Canvas, X, Y, index);
    return Point(FGlyphList->Width(), FGlyphList->Height());
}

TPoint TExButtonGlyph::DrawButtonImage(TCanvas* Canvas, int X, int Y, TCustomImageList* Images, int Index,
                                       TExButtonState State)
{
    if (!Images || Index < 0 || Index >= Images->Count())
        return Point(0, 0);
    if (State == rbsDisabled) {
        ImageListDrawDisabled(Images, Canvas, X, Y, Index, clBtnHighlight, clBtnShadow, true);
    } else if (State == rbsInactive) {
        const int index = CreateImageGlyph(rbsInactive, Images, Index);
        if (index != -1)
            DrawListImage(Canvas, X, Y, index);
    } else {
        ImageList_DrawEx(Images->Handle(), Index, Canvas->Handle(), X, Y, 0, 0, CLR_NONE, CLR_NONE, ILD_TRANSPARENT);
    }
    return Point(Images->Width(), Images->Height());
}

void TExButtonGlyph::DrawButtonText(TCanvas* Canvas, const std::string& Caption, TRect TextBounds,
                                    TExButtonState State, UINT Flags)
{
    Canvas->Brush()->SetStyle(bsClear);
    const std::string text = Caption.substr(0, ExButtonGlyphUnit::MaxCaptionLength);
    const UINT flags = Flags | (FWordWrap ? DT_WORDBREAK : 0) | DT_VCENTER;
    if (State == rbsDisabled) {
        const TColor saved = Canvas->Font()->Color();
        OffsetRect(TextBounds, 1, 1);
        Canvas->Font()->SetColor(clBtnHighlight);
        ExButtonGlyphUnit::DrawCanvasText(Canvas, text, TextBounds, flags);
        OffsetRect(TextBounds, -1, -1);
        Canvas->Font()->SetColor(clBtnShadow);
        ExButtonGlyphUnit::DrawCanvasText(Canvas, text, TextBounds, flags);
        Canvas->Font()->SetColor(saved);
    } else {
        ExButtonGlyphUnit::DrawCanvasText(Canvas, text, TextBounds, flags);
    }
}

void TExButtonGlyph::DrawPopupMark(TCanvas* Canvas, int X, int Y, TExButtonState State)
{
    const auto drawMark = [Canvas](int x, int y, TColor color) {
        Canvas->Pen()->SetColor(color);
        Canvas->Pen()->SetWidth(1);
        Canvas->Pen()->SetStyle(psSolid);
        // Rows of 7, 5, 3 and 1 pixels, from y - 1 down.
        for (int row = 0; row < 4; ++row) {
            Canvas->MoveTo(x + row, y - 1 + row);
            Canvas->LineTo(x + 7 - row, y - 1 + row);
        }
    };
    const TColor saved = Canvas->Pen()->Color();
    if (State == rbsDisabled) {
        drawMark(X + 1, Y + 1, clBtnHighlight);
        drawMark(X, Y, clBtnShadow);
    } else {
        drawMark(X, Y, clBtnText);
    }
    Canvas->Pen()->SetColor(saved);
}

std::string TExButtonGlyph::MinimizeCaption(TCanvas* Canvas, const std::string& Caption, int MaxLen, int Width)
{
    const std::string buffer = Caption.substr(0, static_cast<std::size_t>(std::max(MaxLen, 0)));
    if (FWordWrap)
        return buffer;
    // The lines come from the cut text, so that shortening never measures more than MaxLen
    // characters however long the caption is.
    std::string joined;
    for (const std::string& line : ExButtonGlyphUnit::SplitLines(buffer))
        joined += MinimizeText(line, Canvas, Width) + "\r\n";
    return TrimRight(joined).substr(0, buffer.size());
}

void TExButtonGlyph::CalcButtonLayout(TCanvas* Canvas, const TRect& Client, std::string& Caption,
                                      TButtonLayout Layout, int Margin, int Spacing, bool PopupMark,
                                      TPoint& GlyphPos, TRect& TextBounds, UINT Flags, TCustomImageList* Images,
                                      int ImageIndex)
{
    const TPoint clientSize = Point(Client.Right - Client.Left, Client.Bottom - Client.Top);
    TPoint glyphSize = Point(0, 0);
    if (HasExternalImage(Images, ImageIndex))
        glyphSize = Point(Images->Width(), Images->Height());
    else if (!FOriginal->Empty())
        glyphSize = Point(FOriginal->Width() / FNumGlyphs, FOriginal->Height());
    const bool across = Layout == blGlyphLeft || Layout == blGlyphRight;

    TPoint textAvail;
    if (across) {
        textAvail.X = clientSize.X - glyphSize.X;
        if (Margin != -1)
            textAvail.X -= Margin;
        if (Spacing != -1)
            textAvail.X -= Spacing;
        if (PopupMark)
            textAvail.X -= ExButtonGlyphUnit::PopupMarkWidth;
        textAvail.Y = clientSize.Y;
    } else {
        textAvail.X = clientSize.X;
        textAvail.Y = clientSize.Y - glyphSize.Y;
        if (Margin != -1)
            textAvail.Y -= Margin;
        if (Spacing != -1)
            textAvail.Y -= Spacing;
    }
    textAvail.X = std::max(textAvail.X, 0);
    textAvail.Y = std::max(textAvail.Y, 0);

    Caption = MinimizeCaption(Canvas, Caption, ExButtonGlyphUnit::MaxCaptionLength, textAvail.X);
    if (Caption.empty()) {
        TextBounds = Rect(0, 0, 0, 0);
    } else {
        TRect measured = Rect(0, 0, textAvail.X, 0);
        const UINT flags = DT_CALCRECT | DT_CENTER | DT_VCENTER | (FWordWrap ? DT_WORDBREAK : 0) | Flags;
        ExButtonGlyphUnit::DrawCanvasText(Canvas, Caption, measured, flags);
        TextBounds = Rect(0, 0, 0, 0);
        TextBounds.Bottom = std::max(TextBounds.Top, TextBounds.Top + std::min(textAvail.Y, measured.Height()));
        TextBounds.Right = std::max(TextBounds.Left, TextBounds.Left + std::min(textAvail.X, measured.Width()));
    }
    TPoint textSize = Point(TextBounds.Right - TextBounds.Left, TextBounds.Bottom - TextBounds.Top);
    if (PopupMark) {
        if (glyphSize.X == 0 || glyphSize.Y == 0 || Layout == blGlyphLeft)
            textSize.X += ExButtonGlyphUnit::PopupMarkWidth;
        else if (glyphSize.X > 0)
            glyphSize.X += 6;
    }

    TPoint textPos;
    if (across) {
        GlyphPos.Y = clientSize.Y / 2 - glyphSize.Y / 2;
        textPos.Y = clientSize.Y / 2 - textSize.Y / 2;
    } else {
        GlyphPos.X = clientSize.X / 2 - glyphSize.X / 2;
        textPos.X = clientSize.X / 2 - textSize.X / 2;
    }
    if (textSize.X == 0 || glyphSize.X == 0)
        Spacing = 0;
    const int clientExtent = across ? clientSize.X : clientSize.Y;
    const int glyphExtent = across ? glyphSize.X : glyphSize.Y;
    const int textExtent = across ? textSize.X : textSize.Y;
    if (Margin == -1) {
        if (Spacing == -1) {
            Margin = (clientExtent - (glyphExtent + textExtent)) / 3;
            Spacing = Margin;
        } else {
            Margin = clientExtent / 2 - (glyphExtent + Spacing + textExtent) / 2;
        }
    } else if (Spacing == -1) {
        Spacing = (clientExtent - (Margin + glyphExtent)) / 2 - textExtent / 2;
    }

    switch (Layout) {
    case blGlyphLeft:
        GlyphPos.X = Margin;
        textPos.X = GlyphPos.X + glyphSize.X + Spacing;
        break;
    case blGlyphRight:
        GlyphPos.X = clientSize.X - Margin - glyphSize.X;
        textPos.X = GlyphPos.X - Spacing - textSize.X;
        break;
    case blGlyphTop:
        GlyphPos.Y = Margin;
        textPos.Y = GlyphPos.Y + glyphSize.Y + Spacing;
        break;
    case blGlyphBottom:
        GlyphPos.Y = clientSize.Y - Margin - glyphSize.Y;
        textPos.Y = GlyphPos.Y - Spacing - textSize.Y;
        break;
    }
    GlyphPos.X += Client.Left;
    GlyphPos.Y += Client.Top;
    OffsetRect(TextBounds, textPos.X + Client.Left, textPos.Y + Client.Top);
}

TRect TExButtonGlyph::Draw(TCanvas* Canvas, const TRect& Client, const std::string& Caption, TButtonLayout Layout,
                           int Margin, int Spacing, bool PopupMark, TExButtonState State, UINT Flags)
{
    return DrawEx(Canvas, Client, Caption, Layout, Margin, Spacing, PopupMark, nullptr, -1, State, Flags);
}

TRect TExButtonGlyph::DrawEx(TCanvas* Canvas, const TRect& Client, const std::string& Caption, TButtonLayout Layout,
                             int Margin, int Spacing, bool PopupMark, TCustomImageList* Images, int ImageIndex,
                             TExButtonState State, UINT Flags)
{
    std::string text = Caption;
    TPoint glyphPos;
    TRect textBounds;
    CalcButtonLayout(Canvas, Client, text, Layout, Margin, Spacing, PopupMark, glyphPos, textBounds, Flags, Images,
                     ImageIndex);
    const TPoint drawn = HasExternalImage(Images, ImageIndex)
                             ? DrawButtonImage(Canvas, glyphPos.X, glyphPos.Y, Images, ImageIndex, State)
                             : DrawButtonGlyph(Canvas, glyphPos.X, glyphPos.Y, State);
    DrawButtonText(Canvas, text, textBounds, State, Flags);
    if (PopupMark) {
        if (Layout != blGlyphLeft && drawn.X > 0 && drawn.Y > 0) {
            DrawPopupMark(Canvas, glyphPos.X + drawn.X + 1, glyphPos.Y + drawn.Y / 2, State);
        } else {
            const int x = !text.empty() ? textBounds.Right + 3 : (Client.Left + Client.Right - 7) / 2;
            DrawPopupMark(Canvas, x, textBounds.Top + textBounds.Height() / 2, State);
        }
    }
    return textBounds;
}

// --- TButtonImage --------------------------------------------------------------------------------

TButtonImage::TButtonImage() : FGlyph(std::make_unique<TExButtonGlyph>()) {}

TButtonImage::~TButtonImage() = default;

void TButtonImage::Draw(TCanvas* Canvas, int X, int Y, int Margin, int Spacing, TButtonLayout Layout, TFont* Font,
                        UINT Flags)
{
    DrawEx(Canvas, X, Y, Margin, Spacing, Layout, Font, nullptr, -1, Flags);
}

void TButtonImage::DrawEx(TCanvas* Canvas, int X, int Y, int Margin, int Spacing, TButtonLayout Layout, TFont* Font,
                          TCustomImageList* Images, int ImageIndex, UINT Flags)
{
    const TColor savedBrush = Canvas->Brush()->Color();
    TFont savedFont;
    savedFont.Assign(Canvas->Font());
    const auto restore = [&] {
        Canvas->SetFont(&savedFont);
        Canvas->Brush()->SetColor(savedBrush);
    };
    try {
        TRect bounds = Bounds(X, Y, ButtonSize.X, ButtonSize.Y);
        Canvas->Brush()->SetColor(clBtnFace);
        Canvas->FillRect(bounds);
        Frame3D(Canvas, bounds, clBtnShadow, clWindowFrame, 1);
        Frame3D(Canvas, bounds, clBtnHighlight, clBtnShadow, 1);
        if (Font)
            Canvas->SetFont(Font);
        FGlyph->DrawEx(Canvas, bounds, Caption, Layout, Margin, Spacing, false, Images, ImageIndex, rbsUp, Flags);
    } catch (...) {
        restore();
        throw;
    }
    restore();
}
