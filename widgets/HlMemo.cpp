#include "widgets/HlMemo.h"

#include <algorithm>

// --- THlMemoEnvironment ---

void THlMemoEnvironment::Assign(TPersistent* Source)
{
    auto* other = dynamic_cast<THlMemoEnvironment*>(Source);
    if (!other) {
        TPersistent::Assign(Source);
        return;
    }
    FTextColor = other->FTextColor;
    FTextBackground = other->FTextBackground;
    FSelectionColor = other->FSelectionColor;
    FSelectionBackground = other->FSelectionBackground;
    FRightEdgeColor = other->FRightEdgeColor;
    FHyperlink = other->FHyperlink;
    FHyperlinkBackground = other->FHyperlinkBackground;
}

void THlMemoEnvironment::SetAsDefault()
{
    FTextColor = clWindowText;
    FTextBackground = clWindow;
    FSelectionColor = clHighlightText;
    FSelectionBackground = clHighlight;
    FRightEdgeColor = clGray;
    InvalidateMemo();
}

void THlMemoEnvironment::Store(TColor& field, TColor value)
{
    if (field == value)
        return;
    field = value;
    InvalidateMemo();
}

void THlMemoEnvironment::InvalidateMemo()
{
    if (FMemo)
        FMemo->Invalidate();
}

// --- THlGutterOptions ---

THlGutter* THlGutterOptions::Gutter() const
{
    return FMemo ? FMemo->Gutter() : nullptr;
}

void THlGutterOptions::InvalidateMemo()
{
    if (FMemo)
        FMemo->Invalidate();
}

TAlignment THlGutterOptions::Alignment() const
{
    return Gutter() ? Gutter()->Alignment() : taLeftJustify;
}

void THlGutterOptions::SetAlignment(TAlignment value)
{
    if (Gutter())
        Gutter()->SetAlignment(value);
}

bool THlGutterOptions::Bevel() const
{
    return Gutter() ? Gutter()->Bevel() : false;
}

void THlGutterOptions::SetBevel(bool value)
{
    if (Gutter())
        Gutter()->SetBevel(value);
}

TColor THlGutterOptions::Color() const
{
    return Gutter() ? Gutter()->Color() : clNone;
}

void THlGutterOptions::SetColor(TColor value)
{
    if (Gutter() && Gutter()->Color() != value)
        Gutter()->SetColor(value);
}

TColor THlGutterOptions::FontColor() const
{
    return Gutter() ? Gutter()->Font()->Color() : clNone;
}

void THlGutterOptions::SetFontColor(TColor value)
{
    if (!Gutter() || Gutter()->Font()->Color() == value)
        return;
    Gutter()->Font()->SetColor(value);
    Gutter()->Invalidate();
}

bool THlGutterOptions::ShowLineNum() const
{
    return Gutter() ? Gutter()->ShowNum() : false;
}

void THlGutterOptions::SetShowLineNum(bool value)
{
    if (Gutter() && Gutter()->ShowNum() != value)
        Gutter()->SetShowNum(value);
}

int THlGutterOptions::Space() const
{
    return Gutter() ? Gutter()->Space() : 1;
}

void THlGutterOptions::SetSpace(int value)
{
    if (Gutter())
        Gutter()->SetSpace(value);
}

void THlGutterOptions::SetVisible(bool value)
{
    FVisible = value;
    InvalidateMemo();
}

int THlGutterOptions::Width() const
{
    return Gutter() ? Gutter()->Width() : 16;
}

void THlGutterOptions::SetWidth(int value)
{
    if (!Gutter())
        return;
    Gutter()->SetWidth(std::clamp(value, 12, 48));
    InvalidateMemo();
}

int THlGutterOptions::LedingDigits() const
{
    return Gutter() ? Gutter()->Digits() : 1;
}

void THlGutterOptions::SetLedingDigits(int value)
{
    if (Gutter())
        Gutter()->SetDigits(value);
}

bool THlGutterOptions::ZeroStart() const
{
    return Gutter() ? Gutter()->ZeroStart() : false;
}

void THlGutterOptions::SetZeroStart(bool value)
{
    if (Gutter())
        Gutter()->SetZeroStart(value);
}
