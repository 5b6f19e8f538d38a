#include "report/RP_Ctrls.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/DeviceContext.h"
#include "platform/gui/Form.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/GdiObjects.h"
#include "platform/gui/InputTranslation.h"
#include "platform/gui/RasterOps.h"
#include "platform/gui/TextOutput.h"

#include <algorithm>
#include <cstdint>

namespace rpctrls {
namespace {

// Where the source pixel is white the brush is painted, elsewhere the destination stays.
constexpr DWORD RopBrushWhereSourceWhite = 0x00E20746;
constexpr int PaintBufferSize = 100;
constexpr int PatternSize = 8;

std::unique_ptr<TGlyphCache> GlyphCache;
int ButtonCount = 0;
// Both made at the first paint of any button, freed with the last button.
std::unique_ptr<TBitmap> PatternBitmap;
std::unique_ptr<TBitmap> PaintBuffer;

void MakePaintResources()
{
    PatternBitmap = std::make_unique<TBitmap>();
    PatternBitmap->SetSize(PatternSize, PatternSize);
    TCanvas* canvas = PatternBitmap->Canvas();
    canvas->Brush()->SetColor(clBtnFace);
    canvas->FillRect(Rect(0, 0, PatternSize, PatternSize));
    for (int y = 0; y < PatternSize; ++y)
        for (int x = 0; x < PatternSize; ++x)
            if (x % 2 == y % 2)
                canvas->SetPixels(x, y, clWhite);
    PaintBuffer = std::make_unique<TBitmap>();
    PaintBuffer->SetSize(PaintBufferSize, PaintBufferSize);
}

// Measuring selects the canvas's font into its context, so that DrawText on the handle uses it.
HDC WithFontSelected(TCanvas* canvas)
{
    canvas->TextHeight("0");
    return canvas->Handle();
}

// Paints brush where the monochrome source is white, with black text and a white background as
// the colours the monochrome pixels turn into.
void PaintWhereWhite(TCanvas* destination, int x, int y, int width, int height, TBitmap& mono, TColor brush)
{
    HDC dc = destination->Handle();
    HBRUSH solid = CreateSolidBrush(ColorToRGB(brush));
    HGDIOBJ previous = SelectObject(dc, solid);
    const COLORREF oldText = SetTextColor(dc, 0x000000);
    const COLORREF oldBack = SetBkColor(dc, 0xFFFFFF);
    BitBlt(dc, x, y, width, height, mono.Canvas()->Handle(), 0, 0, RopBrushWhereSourceWhite);
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBack);
    SelectObject(dc, previous);
    DeleteObject(solid);
}

// A monochrome copy of part of bitmap into a new bitmap: white where the pixel is colour, black
// elsewhere.
void MonochromeOf(TBitmap& mono, TBitmap* bitmap, const TRect& part, TColor colour)
{
    mono.SetSize(part.Width(), part.Height());
    mono.Canvas()->CopyRect(Rect(0, 0, part.Width(), part.Height()), bitmap->Canvas(), part);
    mono.Canvas()->Brush()->SetColor(colour);
    mono.SetMonochrome(true);
}

// The standard raised or pressed face with a bevel of 1; returns the room inside it.
TRect DrawButtonFace(TCanvas* canvas, const TRect& client, bool isDown)
{
    canvas->Brush()->SetColor(clBtnFace);
    canvas->FillRect(client);
    HDC dc = canvas->Handle();
    TRect edge = client;
    if (isDown) {
        DrawEdge(dc, &edge, BDR_SUNKENINNER, BF_TOPLEFT);
        DrawEdge(dc, &edge, BDR_SUNKENOUTER, BF_BOTTOMRIGHT);
        edge = Rect(edge.Left + 1, edge.Top + 1, edge.Right - 1, edge.Bottom - 1);
        DrawEdge(dc, &edge, BDR_SUNKENOUTER, BF_TOPLEFT);
    } else {
        DrawEdge(dc, &edge, BDR_RAISEDOUTER, BF_BOTTOMRIGHT);
        edge.Right -= 1;
        edge.Bottom -= 1;
        DrawEdge(dc, &edge, BDR_RAISEDINNER, BF_TOPLEFT);
        edge.Left += 1;
        edge.Top += 1;
        DrawEdge(dc, &edge, BDR_RAISEDINNER, BF_BOTTOMRIGHT);
    }
    TRect content = Rect(client.Left + 1, client.Top + 1, client.Right - 2, client.Bottom - 2);
    if (isDown)
        OffsetRect(content, 1, 1);
    return content;
}

// Toolbar pieces follow the edge their bar sits on: down a bar on a left or right edge.
TAlign ToolbarAlignFor(const TWinControl* parent)
{
    const TWinControl* bar = parent ? parent->Parent() : nullptr;
    return bar && (bar->Align() == alLeft || bar->Align() == alRight) ? alTop : alLeft;
}

void DrawDesignOutline(TCanvas* canvas, const TRect& client)
{
    canvas->Pen()->SetStyle(psDot);
    canvas->Pen()->SetColor(clBtnShadow);
    canvas->Brush()->SetStyle(bsClear);
    canvas->Rectangle(client);
    canvas->Pen()->SetStyle(psSolid);
}

bool Designing(const TComponent* component) { return component->ComponentState().Contains(csDesigning); }

} // namespace

// --- TGlyphList ---

TGlyphList::TGlyphList(int width, int height) : TImageList(width, height) {}

int TGlyphList::AllocateMasked(TBitmap* image, TColor maskColor)
{
    const auto free = std::find(FUsed.begin(), FUsed.end(), false);
    int index;
    if (free != FUsed.end()) {
        index = static_cast<int>(free - FUsed.begin());
        ReplaceMasked(index, image, maskColor);
    } else {
        index = TImageList::AddMasked(image, maskColor);
        if (index < 0)
            return -1;
        FUsed.resize(static_cast<std::size_t>(index) + 1, false);
    }
    FUsed[static_cast<std::size_t>(index)] = true;
    ++FUsedCount;
    return index;
}

void TGlyphList::Release(int index)
{
    if (index < 0 || index >= static_cast<int>(FUsed.size()) || !FUsed[static_cast<std::size_t>(index)])
        return;
    FUsed[static_cast<std::size_t>(index)] = false;
    --FUsedCount;
}

// --- TGlyphCache ---

TGlyphList* TGlyphCache::GetList(int width, int height)
{
    for (auto it = FLists.rbegin(); it != FLists.rend(); ++it)
        if ((*it)->Width() == width && (*it)->Height() == height)
            return it->get();
    FLists.push_back(std::make_unique<TGlyphList>(width, height));
    return FLists.back().get();
}

void TGlyphCache::ReturnList(TGlyphList* list)
{
    if (!list || list->UsedCount() != 0)
        return;
    std::erase_if(FLists, [list](const std::unique_ptr<TGlyphList>& held) { return held.get() == list; });
}

int CachedGlyphListCount() { return GlyphCache ? GlyphCache->ListCount() : 0; }

bool GlyphCacheExists() { return GlyphCache != nullptr; }

// --- TButtonGlyph ---

TButtonGlyph::TButtonGlyph() : FOriginal(std::make_unique<TBitmap>())
{
    FIndexes.fill(-1);
    FOriginal->OnChange = [this](TObject* sender) { GlyphChanged(sender); };
    if (!GlyphCache)
        GlyphCache = std::make_unique<TGlyphCache>();
}

TButtonGlyph::~TButtonGlyph()
{
    Invalidate();
    FOriginal->OnChange = nullptr;
    if (GlyphCache && GlyphCache->Empty())
        GlyphCache.reset();
}

void TButtonGlyph::Invalidate()
{
    for (int& index : FIndexes) {
        if (index != -1 && FGlyphList)
            FGlyphList->Release(index);
        index = -1;
    }
    if (FGlyphList && GlyphCache)
        GlyphCache->ReturnList(FGlyphList);
    FGlyphList = nullptr;
}

void TButtonGlyph::GlyphChanged(TObject*)
{
    Invalidate();
    if (OnChange)
        OnChange(nullptr);
}

void TButtonGlyph::SetGlyph(TBitmap* value)
{
    Invalidate();
    // Assigning changes the copy, which frees the images again through its change event.
    FOriginal->Assign(value);
    if (value && !value->Empty()) {
        FTransparentColor = value->TransparentColor();
        const int width = value->Width();
        const int height = value->Height();
        if (width % height == 0) {
            const int count = width / height;
            SetNumGlyphs(count > 4 ? 1 : count);
        }
    }
    GlyphChanged(FOriginal.get());
}

void TButtonGlyph::SetNumGlyphs(int value)
{
    value = std::clamp(value, 1, 4);
    if (value == FNumGlyphs)
        return;
    FNumGlyphs = value;
    GlyphChanged(FOriginal.get());
}

int TButtonGlyph::CreateButtonGlyph(TrpButtonState state)
{
    if (state == fbsDown && FNumGlyphs < 3)
        state = fbsUp;
    int& index = FIndexes[static_cast<std::size_t>(state)];
    if (index != -1)
        return index;
    const int imageWidth = FOriginal->Width() / FNumGlyphs;
    const int imageHeight = FOriginal->Height();
    if (imageWidth <= 0 || imageHeight <= 0)
        return -1;
    if (!FGlyphList) {
        if (!GlyphCache)
            GlyphCache = std::make_unique<TGlyphCache>();
        FGlyphList = GlyphCache->GetList(imageWidth, imageHeight);
    }
    const int sourceImage = state < FNumGlyphs ? static_cast<int>(state) : 0;
    const TRect source = Rect(sourceImage * imageWidth, 0, (sourceImage + 1) * imageWidth, imageHeight);
    TBitmap image;
    image.SetSize(imageWidth, imageHeight);
    MakeStateImage(image, state, source);
    return index;
}

void TButtonGlyph::MakeStateImage(TBitmap& image, TrpButtonState state, const TRect& source)
{
    int& index = FIndexes[static_cast<std::size_t>(state)];
    const TRect whole = Rect(0, 0, image.Width(), image.Height());
    switch (state) {
    case fbsUp:
    case fbsDown:
    case fbsExclusive:
        image.Canvas()->CopyRect(whole, FOriginal->Canvas(), source);
        index = FGlyphList->AllocateMasked(&image, FTransparentColor);
        break;
    case fbsDisabled:
        MakeDisabledImage(image, source);
        index = FGlyphList->AllocateMasked(&image, clDefault);
        break;
    case fbsInactive:
        MakeInactiveImage(image, source);
        index = FGlyphList->AllocateMasked(&image, clBtnFace);
        break;
    }
}

void TButtonGlyph::MakeDisabledImage(TBitmap& image, const TRect& source)
{
    const int width = image.Width();
    const int height = image.Height();
    TCanvas* canvas = image.Canvas();
    if (FNumGlyphs > 1) {
        // The bitmap's own disabled image, its white, grey and transparent pixels recoloured.
        canvas->CopyRect(Rect(0, 0, width, height), FOriginal->Canvas(), source);
        const std::pair<TColor, TColor> recolour[] = {
            {clWhite, clBtnHighlight}, {clGray, clBtnShadow}, {FTransparentColor, clBtnFace}};
        for (const auto& [from, to] : recolour) {
            TBitmap mono;
            MonochromeOf(mono, FOriginal.get(), source, from);
            PaintWhereWhite(canvas, 0, 0, width, height, mono, to);
        }
        return;
    }
    // Embossed from the black pixels of the one image.
    TBitmap mono;
    MonochromeOf(mono, FOriginal.get(), source, clBlack);
    canvas->Brush()->SetColor(clBtnFace);
    canvas->FillRect(Rect(0, 0, width, height));
    PaintWhereWhite(canvas, 1, 1, width, height, mono, clBtnHighlight);
    PaintWhereWhite(canvas, 0, 0, width, height, mono, clBtnShadow);
}

void TButtonGlyph::MakeInactiveImage(TBitmap& image, const TRect& source)
{
    const int width = image.Width();
    const int height = image.Height();
    TCanvas* canvas = image.Canvas();
    canvas->Brush()->SetColor(clBtnFace);
    canvas->BrushCopy(Rect(0, 0, width, height), FOriginal.get(), source, FTransparentColor);
    image.SetPixelFormat(pf32bit);
    const COLORREF transparent = ColorToRGB(FTransparentColor);
    const COLORREF face = ColorToRGB(clBtnFace);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* pixel = image.ScanLine(y);
        for (int x = 0; x < width; ++x, pixel += 4) {
            const int blue = pixel[0], green = pixel[1], red = pixel[2];
            const COLORREF colour = static_cast<COLORREF>(red | (green << 8) | (blue << 16));
            if (colour == transparent || colour == face)
                continue;
            const auto grey = static_cast<std::uint8_t>((77 * red + 150 * green + 29 * blue) / 256);
            pixel[0] = pixel[1] = pixel[2] = grey;
        }
    }
}

void TButtonGlyph::DrawButtonGlyph(TCanvas* canvas, TPoint glyphPos, TrpButtonState state, bool transparent)
{
    const int index = CreateButtonGlyph(state);
    if (index < 0)
        return;
    if (transparent)
        ImageList_DrawEx(FGlyphList->Handle(), index, canvas->Handle(), glyphPos.X, glyphPos.Y, 0, 0, CLR_NONE,
                         CLR_NONE, ILD_TRANSPARENT);
    else
        ImageList_DrawEx(FGlyphList->Handle(), index, canvas->Handle(), glyphPos.X, glyphPos.Y, 0, 0,
                         ColorToRGB(clBtnFace), CLR_NONE, ILD_NORMAL);
}

void TButtonGlyph::DrawButtonText(TCanvas* canvas, const std::string& caption, TRect textBounds,
                                  TrpButtonState state)
{
    canvas->Brush()->SetStyle(bsClear);
    HDC dc = WithFontSelected(canvas);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    if (state == fbsDisabled) {
        OffsetRect(textBounds, 1, 1);
        SetTextColor(dc, ColorToRGB(clWhite));
        DrawText(dc, caption, -1, &textBounds, 0);
        OffsetRect(textBounds, -1, -1);
        SetTextColor(dc, ColorToRGB(clGray));
        DrawText(dc, caption, -1, &textBounds, 0);
    } else {
        SetTextColor(dc, ColorToRGB(canvas->Font()->Color()));
        DrawText(dc, caption, -1, &textBounds, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    SetBkMode(dc, oldMode);
}

void TButtonGlyph::CalcButtonLayout(TCanvas* canvas, const TRect& client, const std::string& caption,
                                    TButtonLayout layout, int margin, int spacing, TPoint& glyphPos,
                                    TRect& textBounds)
{
    const TPoint clientSize = Point(client.Width(), client.Height());
    TPoint glyphSize = Point(0, 0);
    if (FOriginal->Width() / FNumGlyphs > 0 && FOriginal->Height() > 0)
        glyphSize = Point(FOriginal->Width() / FNumGlyphs, FOriginal->Height());
    TPoint textSize = Point(0, 0);
    textBounds = Rect(0, 0, 0, 0);
    if (!caption.empty()) {
        textBounds = Rect(0, 0, clientSize.X, 0);
        DrawText(WithFontSelected(canvas), caption, -1, &textBounds, DT_CALCRECT);
        textSize = Point(textBounds.Width(), textBounds.Height());
    }
    // Across the layout direction both are centred.
    const bool across = layout == blGlyphLeft || layout == blGlyphRight;
    if (across) {
        glyphPos.Y = (clientSize.Y - glyphSize.Y + 1) / 2;
        textBounds.Top = (clientSize.Y - textSize.Y + 1) / 2;
    } else {
        glyphPos.X = (clientSize.X - glyphSize.X + 1) / 2;
        textBounds.Left = (clientSize.X - textSize.X + 1) / 2;
    }
    const int room = across ? clientSize.X : clientSize.Y;
    const int glyphLength = across ? glyphSize.X : glyphSize.Y;
    const int textLength = across ? textSize.X : textSize.Y;
    if (textLength == 0 || glyphLength == 0)
        spacing = 0;
    if (margin == -1) {
        if (spacing == -1) {
            margin = (room - glyphLength - textLength) / 3;
            spacing = margin;
        } else {
            margin = (room - glyphLength - spacing - textLength + 1) / 2;
        }
    } else if (spacing == -1) {
        spacing = (room - margin - glyphLength - textLength) / 2;
    }
    int glyphAt = 0;
    int textAt = 0;
    if (layout == blGlyphLeft || layout == blGlyphTop) {
        glyphAt = margin;
        textAt = glyphAt + glyphLength + spacing;
    } else {
        glyphAt = room - margin - glyphLength;
        textAt = glyphAt - spacing - textLength;
    }
    if (across) {
        glyphPos.X = glyphAt;
        textBounds.Left = textAt;
    } else {
        glyphPos.Y = glyphAt;
        textBounds.Top = textAt;
    }
    glyphPos.X += client.Left;
    glyphPos.Y += client.Top;
    textBounds = Bounds(textBounds.Left + client.Left, textBounds.Top + client.Top, textSize.X, textSize.Y);
}

TRect TButtonGlyph::Draw(TCanvas* canvas, const TRect& client, const std::string& caption, TButtonLayout layout,
                         int margin, int spacing, TrpButtonState state, bool transparent)
{
    TPoint glyphPos;
    TRect textBounds;
    CalcButtonLayout(canvas, client, caption, layout, margin, spacing, glyphPos, textBounds);
    DrawButtonGlyph(canvas, glyphPos, state, transparent);
    if (!caption.empty())
        DrawButtonText(canvas, caption, textBounds, state);
    return textBounds;
}

} // namespace rpctrls

using namespace rpctrls;

// --- TrpSpeedButton ---

TrpSpeedButton::TrpSpeedButton(TComponent* AOwner) : TGraphicControl(AOwner), FGlyph(std::make_unique<rpctrls::TButtonGlyph>())
{
    FGlyph->OnChange = [this](TObject*) { Invalidate(); };
    SetBounds(0, 0, 22, 22);
    ControlStyle = TControlStyle{csCaptureMouse, csOpaque, csDoubleClicks};
    SetParentFont(true);
    ++ButtonCount;
}

TrpSpeedButton::~TrpSpeedButton()
{
    FGlyph.reset();
    if (--ButtonCount == 0) {
        PatternBitmap.reset();
        PaintBuffer.reset();
    }
}

void TrpSpeedButton::SetAllowAllUp(bool value)
{
    if (value == FAllowAllUp)
        return;
    FAllowAllUp = value;
    UpdateExclusive();
}

void TrpSpeedButton::SetGroupIndex(int value)
{
    if (value == FGroupIndex)
        return;
    FGroupIndex = value;
    UpdateExclusive();
}

void TrpSpeedButton::SetDown(bool value)
{
    if (FGroupIndex == 0)
        value = false;
    if (value == FDown)
        return;
    if (FDown && !value && !FAllowAllUp)
        return;
    FDown = value;
    FState = value ? fbsExclusive : fbsUp;
    Invalidate();
    if (value)
        UpdateExclusive();
}

void TrpSpeedButton::SetFlat(bool value)
{
    if (value == FFlat)
        return;
    FFlat = value;
    Invalidate();
}

void TrpSpeedButton::SetGlyph(TBitmap* value)
{
    FGlyph->SetGlyph(value);
    Invalidate();
}

void TrpSpeedButton::SetInactiveGrayed(bool value)
{
    if (value == FGrayedInactive)
        return;
    FGrayedInactive = value;
    Invalidate();
}

void TrpSpeedButton::SetLayout(TButtonLayout value)
{
    if (value == FLayout)
        return;
    FLayout = value;
    Invalidate();
}

void TrpSpeedButton::SetMargin(int value)
{
    if (value == FMargin || value < -1)
        return;
    FMargin = value;
    Invalidate();
}

void TrpSpeedButton::SetNumGlyphs(int value)
{
    FGlyph->SetNumGlyphs(value);
    Invalidate();
}

void TrpSpeedButton::SetSpacing(int value)
{
    if (value == FSpacing)
        return;
    FSpacing = value;
    Invalidate();
}

void TrpSpeedButton::Click() { TGraphicControl::Click(); }

void TrpSpeedButton::DrawGlyph(TCanvas* canvas, int x, bool enabled, int y)
{
    FGlyph->DrawButtonGlyph(canvas, Point(x, y), enabled ? fbsUp : fbsDisabled, true);
}

HPALETTE TrpSpeedButton::GetPalette() const { return FGlyph->Glyph()->Palette(); }

void TrpSpeedButton::Loaded()
{
    TGraphicControl::Loaded();
    FGlyph->CreateButtonGlyph(Enabled() ? fbsInactive : fbsDisabled);
}

void TrpSpeedButton::UpdateExclusive()
{
    if (FGroupIndex == 0 || !Parent())
        return;
    TMessage message{CM_BUTTONPRESSED, static_cast<WPARAM>(FGroupIndex), reinterpret_cast<LPARAM>(this), 0};
    Parent()->Broadcast(message);
}

void TrpSpeedButton::ButtonPressed(TMessage& Message)
{
    if (static_cast<int>(Message.WParam) != FGroupIndex)
        return;
    auto* sender = dynamic_cast<TrpSpeedButton*>(reinterpret_cast<TControl*>(Message.LParam));
    if (!sender || sender == this)
        return;
    if (sender->Down() && FDown) {
        FDown = false;
        FState = fbsUp;
        Invalidate();
    }
    FAllowAllUp = sender->AllowAllUp();
}

void TrpSpeedButton::MouseEntered(bool entered)
{
    if (!FFlat || !Enabled())
        return;
    if (entered && OnMouseEnter)
        OnMouseEnter(this);
    if (!entered && OnMouseLeave)
        OnMouseLeave(this);
    FMouseInControl = entered;
    Invalidate();
}

void TrpSpeedButton::DialogChar(TMessage& Message)
{
    if (IsAccel(static_cast<WORD>(Message.WParam), Caption()) && Enabled() && Visible() && Parent() &&
        Parent()->Showing()) {
        Click();
        Message.Result = 1;
        return;
    }
    TGraphicControl::Dispatch(Message);
}

// The hover mark follows the control under the cursor.
void TrpSpeedButton::UpdateTracking()
{
    if (!FFlat || !Enabled())
        return;
    TPoint cursor;
    GetCursorPos(cursor);
    FMouseInControl = FindDragTarget(cursor, true) == this;
}

void TrpSpeedButton::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case CM_BUTTONPRESSED:
        ButtonPressed(Message);
        return;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
        TGraphicControl::Dispatch(Message);
        if (Message.LParam == 0 || Message.LParam == reinterpret_cast<LPARAM>(this))
            MouseEntered(Message.Msg == CM_MOUSEENTER);
        return;
    case CM_DIALOGCHAR:
        DialogChar(Message);
        return;
    case CM_ENABLEDCHANGED:
        TGraphicControl::Dispatch(Message);
        FGlyph->CreateButtonGlyph(Enabled() ? fbsUp : fbsDisabled);
        UpdateTracking();
        Invalidate();
        return;
    case CM_SYSCOLORCHANGE:
        // The images hold the face and edge colours.
        TGraphicControl::Dispatch(Message);
        FGlyph->Invalidate();
        Invalidate();
        return;
    case CM_FONTCHANGED:
    case CM_TEXTCHANGED:
        TGraphicControl::Dispatch(Message);
        Invalidate();
        return;
    case WM_LBUTTONDBLCLK:
        TGraphicControl::Dispatch(Message);
        if (FDown)
            DblClick();
        return;
    default:
        TGraphicControl::Dispatch(Message);
    }
}

void TrpSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft || !Enabled())
        return;
    if (!FDown) {
        FState = fbsDown;
        Invalidate();
    }
    FTracking = true;
}

void TrpSpeedButton::MouseMove(TShiftState Shift, int X, int Y)
{
    TGraphicControl::MouseMove(Shift, X, Y);
    if (!FTracking)
        return;
    const bool inside = PtInRect(ClientRect(), Point(X, Y));
    const TrpButtonState state = FDown ? fbsExclusive : inside ? fbsDown : fbsUp;
    if (state != FState) {
        FState = state;
        Invalidate();
    }
}

void TrpSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    if (!FTracking)
        return;
    FTracking = false;
    const bool inside = PtInRect(ClientRect(), Point(X, Y));
    if (FGroupIndex == 0) {
        FState = fbsUp;
        FMouseInControl = false;
        Invalidate();
    } else if (inside) {
        SetDown(!FDown);
    } else if (FDown) {
        FState = fbsExclusive;
    }
    UpdateTracking();
    Invalidate();
    if (inside)
        Click();
}

TrpButtonState TrpSpeedButton::PaintState() const
{
    const bool designing = Designing(this);
    if (!Enabled() && !designing)
        return fbsDisabled;
    if (FFlat && FGrayedInactive && !FMouseInControl && !designing)
        return fbsInactive;
    if (FState == fbsDisabled)
        return FDown && FGroupIndex != 0 ? fbsExclusive : fbsUp;
    return FState;
}

void TrpSpeedButton::Paint()
{
    if (!PatternBitmap)
        MakePaintResources();
    if (!Enabled() && !Designing(this))
        FTracking = false;
    const TrpButtonState paintState = PaintState();
    TCanvas* canvas = Canvas();
    const int width = Width();
    const int height = Height();
    if (width <= PaintBufferSize && height <= PaintBufferSize) {
        // Painted off screen first, so the button never shows half drawn.
        TCanvas* buffer = PaintBuffer->Canvas();
        PaintOn(buffer, paintState);
        // A plain copy: the screen's canvas needs no pen, brush or font for it.
        BitBlt(canvas->Handle(), 0, 0, width, height, buffer->Handle(), 0, 0, SRCCOPY);
    } else {
        PaintOn(canvas, paintState);
    }
}

void TrpSpeedButton::PaintOn(TCanvas* canvas, TrpButtonState paintState)
{
    if (!Caption().empty())
        canvas->Font()->Assign(Font());
    const TRect client = Rect(0, 0, Width(), Height());
    TRect content = client;
    canvas->Brush()->SetStyle(bsSolid);
    if (FFlat) {
        canvas->Brush()->SetColor(clBtnFace);
        canvas->FillRect(client);
        if (paintState == fbsDown)
            OffsetRect(content, 1, 1);
    } else {
        content = DrawButtonFace(canvas, client, paintState == fbsDown || paintState == fbsExclusive);
    }
    const bool enabled = Enabled();
    const bool pattern =
        (FFlat && enabled && !FMouseInControl &&
         (paintState == fbsExclusive || (paintState == fbsInactive && FState == fbsExclusive))) ||
        (!FFlat && paintState == fbsExclusive);
    if (pattern) {
        canvas->Brush()->SetBitmap(PatternBitmap.get());
        canvas->FillRect(content);
        canvas->Brush()->SetBitmap(nullptr);
    }
    // Drawn on the face or the pattern, both already painted: transparently the pixels are those
    // of the image on the face colour, without a filled copy of the image on every paint.
    FGlyph->Draw(canvas, content, Caption(), FLayout, FMargin, FSpacing, paintState, true);
    if (!FFlat)
        return;
    TRect frame = client;
    if (enabled && (FMouseInControl || FState == fbsExclusive)) {
        if (FState == fbsDown || FState == fbsExclusive)
            Frame3D(canvas, frame, clBtnShadow, clBtnHighlight, 1);
        else
            Frame3D(canvas, frame, clBtnHighlight, clBtnShadow, 1);
    } else if (Designing(this) && FState == fbsUp) {
        Frame3D(canvas, frame, clBtnHighlight, clBtnShadow, 1);
    }
}

// --- TrpTBButton ---

TrpTBButton::TrpTBButton(TComponent* AOwner) : TrpSpeedButton(AOwner)
{
    SetFlat(true);
    SetAlign(alLeft);
}

void TrpTBButton::SetParent(TWinControl* AParent)
{
    TrpSpeedButton::SetParent(AParent);
    if (AParent)
        SetAlign(ToolbarAlignFor(AParent));
}

// --- TrpTBSeparator ---

TrpTBSeparator::TrpTBSeparator(TComponent* AOwner) : TGraphicControl(AOwner)
{
    SetBounds(0, 0, 8, 8);
    SetAlign(alLeft);
}

void TrpTBSeparator::SetDrawBevel(bool value)
{
    if (value == FDrawBevel)
        return;
    FDrawBevel = value;
    Invalidate();
}

void TrpTBSeparator::SetParent(TWinControl* AParent)
{
    TGraphicControl::SetParent(AParent);
    if (AParent)
        SetAlign(ToolbarAlignFor(AParent));
}

void TrpTBSeparator::Paint()
{
    TCanvas* canvas = Canvas();
    const TRect client = Rect(0, 0, Width(), Height());
    canvas->Brush()->SetColor(clBtnFace);
    canvas->FillRect(client);
    if (FDrawBevel) {
        canvas->Pen()->SetStyle(psSolid);
        if (Align() == alTop || Align() == alBottom) {
            const int y = Height() / 2;
            canvas->Pen()->SetColor(clBtnShadow);
            canvas->MoveTo(2, y - 1);
            canvas->LineTo(Width() - 2, y - 1);
            canvas->Pen()->SetColor(clBtnHighlight);
            canvas->MoveTo(2, y);
            canvas->LineTo(Width() - 2, y);
        } else if (Align() == alLeft || Align() == alRight) {
            const int x = Width() / 2;
            canvas->Pen()->SetColor(clBtnShadow);
            canvas->MoveTo(x - 1, 2);
            canvas->LineTo(x - 1, Height() - 2);
            canvas->Pen()->SetColor(clBtnHighlight);
            canvas->MoveTo(x, 2);
            canvas->LineTo(x, Height() - 2);
        }
    }
    if (Designing(this))
        DrawDesignOutline(canvas, client);
}

// --- TrpTBPanel ---

TrpTBPanel::TrpTBPanel(TComponent* AOwner) : TPanel(AOwner)
{
    SetBounds(0, 0, 8, 8);
    SetAlign(alLeft);
}

void TrpTBPanel::SetParent(TWinControl* AParent)
{
    TPanel::SetParent(AParent);
    if (AParent)
        SetAlign(ToolbarAlignFor(AParent));
}

void TrpTBPanel::Paint()
{
    TCanvas* canvas = Canvas();
    const TRect client = Rect(0, 0, Width(), Height());
    canvas->Brush()->SetColor(clBtnFace);
    canvas->FillRect(client);
    if (Designing(this))
        DrawDesignOutline(canvas, client);
}
