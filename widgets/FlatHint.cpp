#include "widgets/FlatHint.h"

#include "platform/gui/Canvas.h"
#include "platform/gui/DeviceContext.h"
#include "platform/gui/Screen.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/WindowFunctions.h"

#include <algorithm>
#include <vector>

namespace FlatHint {
namespace {

// Room beside the text: the arrow band (14), the frame (2) and the text's own margins (6).
constexpr int BandAndMargins = 22;

// The hint window factory a TFlatHint installs; Installer tells whose it is.
struct TFlatHintWindowFactory {
    const TFlatHint* Installer = nullptr;
    THintWindow* operator()(TComponent* owner) const { return new TFlatHintWindow(owner); }
};

// The show-hint handler a TFlatHint installs.
struct TFlatHintShowHint {
    TFlatHint* Installer = nullptr;
    std::function<void(std::string&, bool&, THintInfo&)> Forward;
    void operator()(std::string& hintStr, bool& canShow, THintInfo& info) const { Forward(hintStr, canShow, info); }
};

bool Designing(const TComponent* component) { return component->ComponentState().Contains(csDesigning); }

} // namespace
} // namespace FlatHint

// --- TFlatHint ------------------------------------------------------------------------------------------------

TFlatHint::TFlatHint(TComponent* AOwner) : TComponent(AOwner), FFont(std::make_unique<TFont>())
{
    if (Application && !FlatHint::Designing(this)) {
        FPreviousWindowClass = Application->HintWindowClass();
        FPreviousShowHint = Application->OnShowHint;
        Application->SetHintWindowClass(FlatHint::TFlatHintWindowFactory{this});
        // Off and on again: the application makes its hint window anew from the new class.
        Application->SetShowHint(!Application->ShowHint());
        Application->SetShowHint(!Application->ShowHint());
        Application->OnShowHint = FlatHint::TFlatHintShowHint{
            this, [this](std::string& hintStr, bool& canShow, THintInfo& info) { ShowHint(hintStr, canShow, info); }};
        Application->HintShortPause = 25;
        Application->HintPause = 500;
        Application->HintHidePause = 5000;
    }
}

TFlatHint::~TFlatHint()
{
    if (!Application || FlatHint::Designing(this))
        return;
    // Only what is still this component's goes back: a later choice of the program stays.
    if (const auto* handler = Application->OnShowHint.target<FlatHint::TFlatHintShowHint>();
        handler && handler->Installer == this)
        Application->OnShowHint = FPreviousShowHint;
    if (const auto* factory = Application->HintWindowClass().target<FlatHint::TFlatHintWindowFactory>();
        factory && factory->Installer == this)
        Application->SetHintWindowClass(FPreviousWindowClass);
}

void TFlatHint::SetColors(int Index, TColor Value)
{
    switch (Index) {
    case 0:
        FColorBackground = Value;
        break;
    case 1:
        FColorBorder = Value;
        break;
    case 2:
        FColorArrowBackground = Value;
        break;
    case 3:
        FColorArrow = Value;
        break;
    default:
        break;
    }
}

void TFlatHint::SetHintFont(TFont* Value) { FFont->Assign(Value); }

void TFlatHint::ShowHint(std::string& HintStr, bool& CanShow, THintInfo& HintInfo)
{
    if (OnShowHint)
        OnShowHint(HintStr, CanShow, HintInfo);
}

TFlatHint* TFlatHint::FindOnMainForm()
{
    TCustomForm* form = Application ? Application->MainForm() : nullptr;
    if (!form)
        return nullptr;
    for (int i = 0; i < form->ComponentCount(); ++i)
        if (auto* hint = dynamic_cast<TFlatHint*>(form->Components(i)))
            return hint;
    return nullptr;
}

// --- TFlatHintWindow ------------------------------------------------------------------------------------------

TFlatHintWindow::TFlatHintWindow(TComponent* AOwner) : THintWindow(AOwner), FHintFont(std::make_unique<TFont>()) {}

TFlatHintWindow::~TFlatHintWindow() = default;

void TFlatHintWindow::CreateParams(TCreateParams& Params)
{
    THintWindow::CreateParams(Params);
    Params.Style &= ~static_cast<DWORD>(WS_BORDER);
}

void TFlatHintWindow::TakeLook()
{
    if (TFlatHint* hint = TFlatHint::FindOnMainForm()) {
        FColorBackground = hint->ColorBackground();
        FColorBorder = hint->ColorBorder();
        FColorArrowBackground = hint->ColorArrowBackground();
        FColorArrow = hint->ColorArrow();
        FMaxHintWidth = hint->MaxHintWidth();
        FHintFont->Assign(hint->Font());
        return;
    }
    FColorBackground = 0xFFFFFF;
    FColorBorder = 0x000000;
    FColorArrowBackground = 0x53D2FF;
    FColorArrow = 0x000000;
    FMaxHintWidth = 200;
    if (Screen)
        FHintFont->Assign(Screen->HintFont());
}

void TFlatHintWindow::ActivateHint(TRect rect, const std::string& hint)
{
    using namespace FlatDrawing;
    SetCaption(hint);
    TakeLook();
    HandleNeeded();
    TCanvas* canvas = Canvas();
    canvas->Font()->Assign(FHintFont.get());

    // A width below the band leaves one pixel for the text rather than a negative one.
    const int textWidth = std::max(FMaxHintWidth - FlatHint::BandAndMargins, 1);
    TRect area = Rect(rect.Left, rect.Top, rect.Left + textWidth, rect.Top);
    DrawTextA(TextContext(canvas), hint, -1, &area, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    // A word longer than the widest line is cut, not let past MaxHintWidth.
    const int width = std::clamp(area.Width(), 0, textWidth) + FlatHint::BandAndMargins;
    const int screenWidth = Screen ? Screen->Width() : 1024;
    const int screenHeight = Screen ? Screen->Height() : 768;
    const int height = std::clamp(area.Height(), 0, screenHeight) + 6;

    TPoint cursor;
    GetCursorPos(cursor);
    if (PtInRect(Rect(0, 0, screenWidth / 2, screenHeight / 2), cursor))
        FArrowPos = NW;
    else if (PtInRect(Rect(screenWidth / 2, 0, screenWidth, screenHeight / 2), cursor))
        FArrowPos = NE;
    else if (PtInRect(Rect(0, screenHeight / 2, screenWidth / 2, screenHeight), cursor))
        FArrowPos = SW;
    else
        FArrowPos = SE;
    // The cursor's arrow reaches down and right of its hot spot: more room below-right.
    const int gap = FArrowPos == NW ? 12 : 5;
    const bool onLeft = FArrowPos == NE || FArrowPos == SE;
    const bool above = FArrowPos == SE || FArrowPos == SW;
    const int left = onLeft ? cursor.X - width - gap : cursor.X + gap;
    const int top = above ? cursor.Y - height - gap : cursor.Y + gap;
    SetBounds(left, top, width, height);
    const TPoint origin = ClientOrigin();
    SetWindowPos(Handle(), HWND_TOPMOST, origin.X, origin.Y, 0, 0, SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOSIZE);
    Invalidate();
}

void TFlatHintWindow::Paint()
{
    using namespace FlatDrawing;
    TCanvas* canvas = Canvas();
    const TRect client = ClientRect();
    const bool bandOnLeft = FArrowPos == NW || FArrowPos == SW;
    TRect band;
    TRect text;
    if (bandOnLeft) {
        band = Rect(client.Left + 1, client.Top + 1, client.Left + 15, client.Bottom - 1);
        text = Rect(client.Left + 15, client.Top + 1, client.Right - 1, client.Bottom - 1);
    } else {
        band = Rect(client.Right - 15, client.Top + 1, client.Right - 1, client.Bottom - 1);
        text = Rect(client.Left + 1, client.Top + 1, client.Right - 15, client.Bottom - 1);
    }
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(FColorArrowBackground);
    canvas->FillRect(band);
    canvas->Brush()->SetColor(FColorBackground);
    canvas->FillRect(text);
    canvas->Brush()->SetColor(FColorBorder);
    canvas->FrameRect(client);

    const bool pointsUp = FArrowPos == NW || FArrowPos == NE;
    FArrowX = bandOnLeft ? band.Left + 2 : band.Right - 3;
    FArrowY = pointsUp ? band.Top + 2 : band.Bottom - 3;
    const int sx = bandOnLeft ? 1 : -1;
    const int sy = pointsUp ? 1 : -1;
    static const TPoint arrow[] = {{0, 0}, {0, 6}, {1, 6}, {1, 0}, {6, 0}, {6, 1}, {2, 1}, {2, 4}, {5, 7},
                                   {6, 7}, {3, 4}, {3, 3}, {6, 6}, {7, 6}, {3, 2}, {4, 2}, {7, 5}, {7, 6}};
    std::vector<TPoint> points;
    points.reserve(std::size(arrow));
    for (const TPoint& d : arrow)
        points.push_back(Point(FArrowX + sx * d.X, FArrowY + sy * d.Y));
    canvas->Pen()->SetStyle(psSolid);
    canvas->Pen()->SetWidth(1);
    canvas->Pen()->SetColor(FColorArrow);
    canvas->Polyline(points);

    canvas->Brush()->SetStyle(bsClear);
    canvas->Font()->Assign(FHintFont.get());
    InflateRect(text, -3, -1);
    HDC dc = TextContext(canvas);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ColorToRGB(FHintFont->Color()));
    DrawTextA(dc, GetText(), -1, &text, DT_WORDBREAK | DT_NOPREFIX);
}
