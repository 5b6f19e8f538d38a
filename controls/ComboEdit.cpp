// Editors with a button and a popup: opening, accepting and cancelling, the button's place and
// glyph, the text margins and the painting of a non-focused editor's text.

#include "controls/ComboEdit.h"

#include "controls/MaxMin.h"
#include "controls/VCLUtils.h"
#include "platform/gui/Form.h"
#include "platform/gui/Resources.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/WindowHandles.h"

#include <algorithm>

namespace ComboEditUnit {

constexpr int DefaultButtonWidth = 21;

// The three 2 x 2 dots of the ellipsis button, black on white, centred in a bitmap as wide as
// the button less 6 pixels.
std::unique_ptr<TBitmap> EllipsisBitmap(int buttonWidth)
{
    auto bitmap = std::make_unique<TBitmap>();
    const int width = Max(1, buttonWidth - 6);
    bitmap->SetMonochrome(true);
    bitmap->SetSize(width, 4);
    TCanvas* canvas = bitmap->Canvas();
    canvas->Brush()->SetColor(clWhite);
    canvas->FillRect(Rect(0, 0, width, 4));
    const int gap = std::clamp((width - 6) / 2, 1, 3);
    const int start = (width - 6 - 2 * gap) / 2;
    canvas->Brush()->SetColor(clBlack);
    for (int dot = 0; dot < 3; ++dot) {
        const int x = start + dot * (gap + 2);
        canvas->FillRect(Rect(x, 1, x + 2, 3));
    }
    return bitmap;
}

int TextMetricHeight(HDC dc, HGDIOBJ font)
{
    SelectObject(dc, font);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    return metrics.tmHeight;
}

} // namespace ComboEditUnit

// --- TPopupWindow --------------------------------------------------------------------------------

TPopupWindow::TPopupWindow(TWinControl* AOwner) : TCustomControl(AOwner), FEditor(AOwner)
{
    ControlStyle.Include(csAcceptsControls);
    ControlStyle.Include(csNoDesignVisible);
    ControlStyle.Include(csReplicatable);
    Ctl3D = false;
    ParentCtl3D = false;
    SetVisible(false);
    SetParent(AOwner);
    OnMouseUp = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
        PopupMouseUp(Sender, Button, Shift, X, Y);
    };
}

void TPopupWindow::CreateParams(TCreateParams& Params)
{
    TCustomControl::CreateParams(Params);
    Params.Style = WS_POPUP | WS_BORDER | WS_CLIPCHILDREN;
    Params.ExStyle = WS_EX_TOOLWINDOW;
    Params.WindowClassStyle |= CS_SAVEBITS;
    // A window of its own on the screen, over the editor's window, that never takes the focus.
    Params.WndParent = nullptr;
}

void TPopupWindow::CloseUp(bool Accept)
{
    if (OnCloseUp)
        OnCloseUp(this, Accept);
}

void TPopupWindow::PopupMouseUp(TObject*, TMouseButton Button, TShiftState, int X, int Y)
{
    if (Button == mbLeft)
        CloseUp(PtInRect(ClientRect(), Point(X, Y)));
}

void TPopupWindow::InvalidateEditor()
{
    if (!FEditor || !FEditor->HandleAllocated())
        return;
    TRect area = FEditor->ClientRect();
    if (auto* combo = dynamic_cast<TCustomComboEdit*>(FEditor))
        area = Rect(0, 0, combo->ClientWidth() - combo->ButtonHolder()->Width() - 2, combo->ClientHeight() + 1);
    InvalidateRect(FEditor->Handle(), &area, FALSE);
    UpdateWindow(FEditor->Handle());
}

void TPopupWindow::Show(TPoint Origin)
{
    SetWindowPos(Handle(), HWND_TOP, Origin.X, Origin.Y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    SetVisible(true);
}

void TPopupWindow::Hide()
{
    if (HandleAllocated())
        SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                     SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_HIDEWINDOW);
    SetVisible(false);
}

// --- TEditButton ---------------------------------------------------------------------------------

TEditButton::TEditButton(TComponent* AOwner) : TExSpeedButton(AOwner)
{
    ControlStyle.Include(csReplicatable);
    SetParentShowHint(true);
}

void TEditButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft)
        if (auto* editor = dynamic_cast<TCustomComboEdit*>(Owner())) {
            FNoAction = editor->FPopup && editor->FPopupVisible;
            if (editor->FPopupVisible)
                editor->PopupCloseUp(editor, true);
            else if (editor->TabStop() && editor->CanFocus() && !editor->Focused())
                editor->SetFocus();
        }
    TExSpeedButton::MouseDown(Button, Shift, X, Y);
}

void TEditButton::Click()
{
    // The press already closed the popup: its release must not open it again.
    if (FNoAction) {
        FNoAction = false;
        return;
    }
    TExSpeedButton::Click();
}

void TEditButton::Paint()
{
    TExSpeedButton::Paint();
    if (FState == rbsDown || FState == rbsExclusive)
        return;
    TCanvas* canvas = Canvas();
    canvas->Pen()->SetColor(NewStyleControls ? clBtnFace : clBtnShadow);
    canvas->MoveTo(0, 0);
    canvas->LineTo(0, Height() - 1);
    canvas->Pen()->SetColor(clBtnHighlight);
    canvas->MoveTo(1, 1);
    canvas->LineTo(1, Height() - 2);
}

// --- TCustomComboEdit: construction --------------------------------------------------------------

TCustomComboEdit::TCustomComboEdit(TComponent* AOwner) : TCustomMaskEdit(AOwner)
{
    ControlStyle.Include(csCaptureMouse);
    SetAutoSize(false);
    FBtnControl = new TWinControl(this);
    FBtnControl->ControlStyle.Include(csReplicatable);
    FBtnControl->SetBounds(0, 0, ComboEditUnit::DefaultButtonWidth, 17);
    FBtnControl->SetVisible(true);
    FBtnControl->SetParent(this);
    FButton = new TEditButton(this);
    FButton->SetBounds(0, 0, FBtnControl->Width(), FBtnControl->Height());
    FButton->SetVisible(true);
    FButton->SetParent(FBtnControl);
    FButton->OnClick = [this](TObject* Sender) { EditButtonClick(Sender); };
    SetHeight(21);
}

TCustomComboEdit::~TCustomComboEdit()
{
    FButton->OnClick = nullptr;
    if (FPopup)
        FPopup->OnCloseUp = nullptr;
}

void TCustomComboEdit::SetPopup(TPopupWindow* Value)
{
    FPopup = Value;
    if (FPopup)
        FPopup->OnCloseUp = [this](TObject* Sender, bool Accept) { PopupCloseUp(Sender, Accept); };
}

void TCustomComboEdit::CreateParams(TCreateParams& Params)
{
    TCustomMaskEdit::CreateParams(Params);
    static const DWORD alignments[] = {ES_LEFT, ES_RIGHT, ES_CENTER};
    Params.Style |= ES_MULTILINE | WS_CLIPCHILDREN | alignments[FAlignment];
    // The sunken edge lies outside the client area, which the button's place counts from.
    if (NewStyleControls && Ctl3D && BorderStyle() == bsSingle)
        Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomComboEdit::CreateWnd()
{
    TCustomMaskEdit::CreateWnd();
    UpdateBtnBounds();
}

// --- Properties ----------------------------------------------------------------------------------

void TCustomComboEdit::SetAlignment(TAlignment Value)
{
    if (Value == FAlignment)
        return;
    FAlignment = Value;
    RecreateWnd();
}

void TCustomComboEdit::SetReadOnly(bool Value)
{
    FReadOnly = Value;
    TCustomMaskEdit::SetReadOnly(FReadOnly || !FDirectInput);
}

void TCustomComboEdit::SetDirectInput(bool Value)
{
    FDirectInput = Value;
    TCustomMaskEdit::SetReadOnly(FReadOnly || !FDirectInput);
}

bool TCustomComboEdit::EditCanModify() { return !FReadOnly; }

void TCustomComboEdit::SetButtonWidth(int Value)
{
    if (Value == ButtonWidth())
        return;
    FBtnControl->SetVisible(Value > 1);
    if (ControlState.Contains(csCreating)) {
        FBtnControl->SetWidth(Value);
        FButton->SetWidth(Value);
    } else if (Value < ClientWidth()) {
        FButton->SetWidth(Value);
        UpdateBtnBounds();
        if (HandleAllocated())
            RecreateWnd();
    }
    FButton->ControlStyle.Exclude(csFixedWidth);
    RecreateGlyph();
}

void TCustomComboEdit::SetGlyph(TBitmap* Value)
{
    FButton->SetGlyph(Value);
    FGlyphKind = gkCustom;
}

void TCustomComboEdit::SetNumGlyphs(TExNumGlyphs Value)
{
    if (FGlyphKind == gkDropDown || FGlyphKind == gkEllipsis)
        FButton->SetNumGlyphs(1);
    else if (FGlyphKind == gkDefault)
        FButton->SetNumGlyphs(FDefNumGlyphs);
    else
        FButton->SetNumGlyphs(Value);
}

void TCustomComboEdit::SetGlyphKind(TGlyphKind Value)
{
    if (Value == FGlyphKind)
        return;
    FGlyphKind = Value;
    if (FGlyphKind == gkCustom && ComponentState().Contains(csLoading))
        FButton->SetGlyph(nullptr);
    RecreateGlyph();
    if (FGlyphKind == gkDefault && !Glyph()->Empty()) {
        SetButtonWidth(Max(Glyph()->Width() / NumGlyphs() + 6, ButtonWidth()));
    } else if (FGlyphKind == gkDropDown) {
        SetButtonWidth(GetSystemMetrics(SM_CXVSCROLL));
        FButton->ControlStyle.Include(csFixedWidth);
    }
}

TBitmap* TCustomComboEdit::GetDefaultBitmap(bool& DestroyNeeded)
{
    DestroyNeeded = false;
    return nullptr;
}

void TCustomComboEdit::RecreateGlyph()
{
    switch (FGlyphKind) {
    case gkDefault: {
        bool destroyNeeded = false;
        TBitmap* bitmap = GetDefaultBitmap(destroyNeeded);
        // Freed here when the subclass says so, else it stays the subclass's.
        const std::unique_ptr<TBitmap> owned(destroyNeeded ? bitmap : nullptr);
        if (bitmap)
            FButton->SetGlyph(bitmap);
        FButton->SetNumGlyphs(FDefNumGlyphs);
        break;
    }
    case gkDropDown: {
        TBitmap arrow;
        arrow.SetHandle(LoadBitmap(nullptr, MAKEINTRESOURCE(OBM_COMBO)));
        FButton->SetGlyph(&arrow);
        FButton->SetNumGlyphs(1);
        break;
    }
    case gkEllipsis: {
        const auto dots = ComboEditUnit::EllipsisBitmap(ButtonWidth());
        FButton->SetGlyph(dots.get());
        FButton->SetNumGlyphs(1);
        break;
    }
    case gkCustom:
        break;
    }
}

bool TCustomComboEdit::BtnWidthStored()
{
    if (FGlyphKind == gkDefault && !Glyph()->Empty())
        return ButtonWidth() != Max(Glyph()->Width() / NumGlyphs() + 6, ComboEditUnit::DefaultButtonWidth);
    if (FGlyphKind == gkDropDown)
        return ButtonWidth() != GetSystemMetrics(SM_CXVSCROLL);
    return ButtonWidth() != ComboEditUnit::DefaultButtonWidth;
}

// --- Layout --------------------------------------------------------------------------------------

void TCustomComboEdit::SetEditRect()
{
    if (!HandleAllocated())
        return;
    TRect area = Rect(0, 0, ClientWidth() - FBtnControl->Width() - 2, ClientHeight() + 1);
    Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&area));
}

void TCustomComboEdit::UpdateBtnBounds()
{
    const int width = FButton->Width();
    if (NewStyleControls && Ctl3D && BorderStyle() == bsSingle)
        FBtnControl->SetBounds(Width() - width - 4, 0, width, Height() - 4);
    else if (NewStyleControls && BorderStyle() == bsSingle)
        FBtnControl->SetBounds(Width() - width - 2, 2, width, Height() - 4);
    else
        FBtnControl->SetBounds(Width() - width, 0, width, Height());
    FButton->SetHeight(FBtnControl->Height());
    SetEditRect();
}

int TCustomComboEdit::GetTextHeight()
{
    HDC dc = GetDC(nullptr);
    const int systemHeight = ComboEditUnit::TextMetricHeight(dc, GetStockObject(SYSTEM_FONT));
    const int fontHeight = ComboEditUnit::TextMetricHeight(dc, Font()->Handle());
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    ReleaseDC(nullptr, dc);
    return Min(systemHeight, fontHeight);
}

int TCustomComboEdit::GetMinHeight() { return GetTextHeight() + 4 * GetSystemMetrics(SM_CYBORDER) + 1; }

// A height below the text's is raised, and the raise lays the button out.
void TCustomComboEdit::Resized()
{
    if (!ComponentState().Contains(csLoading)) {
        const int minHeight = GetMinHeight();
        if (Height() < minHeight) {
            SetHeight(minHeight);
            return;
        }
    }
    UpdateBtnBounds();
}

// --- Opening and closing -------------------------------------------------------------------------

void TCustomComboEdit::UpdatePopupVisible() { FPopupVisible = FPopup && FPopup->Visible(); }

Variant TCustomComboEdit::GetPopupValue() { return FPopup ? FPopup->GetValue() : Variant(std::string()); }

void TCustomComboEdit::SetPopupValue(const Variant& Value)
{
    if (FPopup)
        FPopup->SetValue(Value);
}

bool TCustomComboEdit::AcceptPopup(Variant&) { return true; }

void TCustomComboEdit::AcceptValue(const Variant& Value)
{
    const std::string text = VarToStr(Value);
    if (Text() == text)
        return;
    SetText(text);
    SetModified(true);
    UpdatePopupVisible();
    DoChange();
}

void TCustomComboEdit::ShowPopup(TPoint Origin) { FPopup->Show(Origin); }

void TCustomComboEdit::HidePopup() { FPopup->Hide(); }

void TCustomComboEdit::PopupDropDown(bool DisableEdit)
{
    if (!FPopup || GetReadOnly() || FPopupVisible)
        return;
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    TPoint origin = Parent() ? Parent()->ClientToScreen(Point(Left(), Top())) : Point(Left(), Top());
    int y = origin.Y + Height();
    if (y + FPopup->Height() > screenHeight)
        y = origin.Y - FPopup->Height();
    const int widthDifference = FPopup->Width() - Width();
    if (PopupAlign == epaRight) {
        if (origin.X - widthDifference >= 0)
            origin.X -= widthDifference;
    } else if (origin.X + FPopup->Width() > screenWidth) {
        origin.X -= widthDifference;
    }
    // Pushed left to fit the screen, and never left of it, even for a popup wider than it.
    if (origin.X + FPopup->Width() > screenWidth)
        origin.X = screenWidth - FPopup->Width();
    if (origin.X < 0)
        origin.X = 0;
    const std::string text = Text();
    SetPopupValue(text.empty() ? Null() : Variant(text));
    if (CanFocus())
        SetFocus();
    ShowPopup(Point(origin.X, y));
    FPopupVisible = true;
    // Read-only hides the caret too.
    if (DisableEdit)
        TCustomMaskEdit::SetReadOnly(true);
}

void TCustomComboEdit::PopupCloseUp(TObject*, bool Accept)
{
    if (!FPopup || !FPopupVisible)
        return;
    try {
        if (HWND capture = GetCapture())
            SendMessageA(capture, WM_CANCELMODE, 0, 0);
        Variant value = GetPopupValue();
        HidePopup();
        // While the focus moves to another control it is not taken back.
        try {
            if (!FLosingFocus && CanFocus()) {
                SetFocus();
                if (Focused())
                    SetShowCaret();
            }
        } catch (...) {
            // The edit may not take the focus back (its form is closing): the value still counts.
        }
        SetDirectInput(FDirectInput);
        Invalidate();
        if (Accept && AcceptPopup(value) && EditCanModify()) {
            AcceptValue(value);
            if (Focused())
                SelectAll();
        }
    } catch (...) {
        FPopupVisible = false;
        throw;
    }
    FPopupVisible = false;
}

// The line edit shows its caret whenever it has the focus and takes typing; the caret's width
// is the widget's own.
void TCustomComboEdit::SetShowCaret() {}

// --- Button, keys and mouse ----------------------------------------------------------------------

void TCustomComboEdit::EditButtonClick(TObject*)
{
    if (!FReadOnly)
        ButtonClick();
}

void TCustomComboEdit::ButtonClick()
{
    if (OnButtonClick)
        OnButtonClick(this);
    if (!FPopup)
        return;
    if (FPopupVisible)
        PopupCloseUp(FPopup, true);
    else
        PopupDropDown(true);
}

void TCustomComboEdit::DoChange() { TCustomMaskEdit::Change(); }

void TCustomComboEdit::Change()
{
    if (FPopupVisible)
        PopupChange();
    else
        DoChange();
}

void TCustomComboEdit::SelectAll()
{
    if (FDirectInput)
        TCustomMaskEdit::SelectAll();
}

void TCustomComboEdit::KeyDown(WORD& Key, TShiftState Shift)
{
    TCustomMaskEdit::KeyDown(Key, Shift);
    if (Key != 0 && ClickKey == ShortCut(Key, Shift) && ButtonWidth() > 0) {
        EditButtonClick(this);
        Key = 0;
    }
}

void TCustomComboEdit::KeyPress(char& Key)
{
    if (Key == '\r' || Key == '\x1B') {
        if (FPopupVisible) {
            PopupCloseUp(FPopup, Key == '\r');
            Key = 0;
            return;
        }
        // The edit is multi-line and keeps Enter and Escape: the form's default or cancel
        // button hears them from here.
        if (TCustomForm* form = GetParentForm(this))
            form->Perform(CM_DIALOGKEY, static_cast<unsigned char>(Key), 0);
        if (Key == '\r') {
            TCustomMaskEdit::KeyPress(Key);
            Key = 0;
            return;
        }
    }
    TCustomMaskEdit::KeyPress(Key);
}

void TCustomComboEdit::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft && FPopup) {
        if (CanFocus())
            SetFocus();
        if (!Focused())
            return;
        if (FPopupVisible)
            PopupCloseUp(FPopup, false);
    }
    TCustomMaskEdit::MouseDown(Button, Shift, X, Y);
}

// A press anywhere but on the edit, its button or its popup closes the popup.
void TCustomComboEdit::CancelMode(TMessage& Message)
{
    TCMCancelMode cancel(Message);
    TControl* sender = cancel.Sender;
    if (sender == this || sender == FButton || (FPopup && (sender == FPopup || FPopup->ContainsControl(sender))))
        return;
    PopupCloseUp(FPopup, false);
}

void TCustomComboEdit::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case CM_CANCELMODE:
        CancelMode(Message);
        return;
    case CM_CTL3DCHANGED:
        TCustomMaskEdit::Dispatch(Message);
        UpdateBtnBounds();
        return;
    case CM_ENABLEDCHANGED:
        TCustomMaskEdit::Dispatch(Message);
        FButton->SetEnabled(Enabled());
        return;
    case CM_FONTCHANGED:
        TCustomMaskEdit::Dispatch(Message);
        SetEditRect();
        return;
    case WM_PASTE:
    case WM_CUT:
        if (FDirectInput && !GetReadOnly())
            TCustomMaskEdit::Dispatch(Message);
        return;
    case WM_SIZE:
        TCustomMaskEdit::Dispatch(Message);
        Resized();
        return;
    case WM_KILLFOCUS:
        TCustomMaskEdit::Dispatch(Message);
        FFocused = false;
        FLosingFocus = true;
        try {
            PopupCloseUp(FPopup, false);
        } catch (...) {
            FLosingFocus = false;
            throw;
        }
        FLosingFocus = false;
        return;
    case WM_SETFOCUS:
        TCustomMaskEdit::Dispatch(Message);
        FFocused = true;
        SetShowCaret();
        return;
    default:
        TCustomMaskEdit::Dispatch(Message);
    }
}

// --- Margins and painting ------------------------------------------------------------------------

TPoint EditorTextMargins(TCustomComboEdit* Editor)
{
    const int border = Editor->BorderStyle() == bsNone ? 0 : Editor->Ctl3D ? 1 : 2;
    const LRESULT margins = Editor->Perform(EM_GETMARGINS, 0, 0);
    return Point(static_cast<int>(LOWORD(static_cast<std::uintptr_t>(margins))) + border, border);
}

bool PaintComboEdit(TCustomComboEdit* Editor, const std::string& Text, TAlignment Alignment, bool StandardPaint,
                    std::unique_ptr<TControlCanvas>& Canvas, TMessage& Message)
{
    if (StandardPaint && !Editor->ControlState.Contains(csPaintCopy))
        return false;
    if (!Canvas) {
        Canvas = std::make_unique<TControlCanvas>();
        Canvas->SetControl(Editor);
    }
    HDC dc = reinterpret_cast<HDC>(Message.WParam);
    PAINTSTRUCT paint;
    if (!dc)
        dc = BeginPaint(Editor->Handle(), &paint);
    Canvas->SetHandle(dc);
    const auto release = [&] {
        Canvas->SetHandle(nullptr);
        if (!Message.WParam)
            EndPaint(Editor->Handle(), &paint);
    };
    try {
        Canvas->SetFont(Editor->Font());
        if (!Editor->Enabled() && NewStyleControls && ColorToRGB(Editor->Color()) != ColorToRGB(clGrayText))
            Canvas->Font()->SetColor(clGrayText);
        TRect area = Editor->ClientRect();
        if (!(NewStyleControls && Editor->Ctl3D) && Editor->BorderStyle() == bsSingle) {
            Canvas->Brush()->SetColor(clWindowFrame);
            Canvas->FrameRect(area);
            InflateRect(area, -1, -1);
        }
        Canvas->Brush()->SetColor(Editor->Color());
        int textWidth = Canvas->TextWidth(Text);
        const TPoint margins = EditorTextMargins(Editor);
        int left = margins.X;
        if (!Editor->PopupVisible()) {
            if (Editor->ButtonWidth() > 0)
                ++textWidth;
            switch (Alignment) {
            case taLeftJustify:
                left = margins.X;
                break;
            case taRightJustify:
                left = Editor->ClientWidth() - Editor->ButtonWidth() - textWidth - margins.X - 2;
                break;
            case taCenter:
                left = (Editor->ClientWidth() - Editor->ButtonWidth() - textWidth) / 2;
                break;
            }
        }
        Canvas->TextRect(area, left, margins.Y, Text);
    } catch (...) {
        release();
        throw;
    }
    release();
    return true;
}
