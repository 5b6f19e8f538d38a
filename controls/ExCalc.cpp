// The calculator engine, its keys in the popup and dialog layouts, the popup an editor drops
// down and the dialog with its component.

#include "controls/ExCalc.h"

#include "controls/ExResources.h"
#include "controls/StrUtils.h"
#include "controls/VCLUtils.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/InputTranslation.h"
#include "platform/gui/Menus.h"
#include "platform/gui/Resources.h"
#include "platform/gui/Screen.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

namespace ExCalcUnit {

// The key characters in tag order; a button's tag is its character's index.
const std::string CalcKeys = std::string("0123456789_./*-+Q%R=") + '\b' + 'C';

struct TKeyPlace {
    TCalcBtnKind Kind;
    int Left;
    int Top;
};

const TKeyPlace DialogPlaces[] = {
    {cbOk, 47, 6},      {cbCancel, 85, 6},  {cbBck, 145, 6},  {cbClr, 191, 6},   {cbMC, 5, 32},
    {cbNum7, 47, 32},   {cbNum8, 85, 32},   {cbNum9, 123, 32}, {cbDiv, 161, 32},  {cbSqr, 199, 32},
    {cbMR, 5, 56},      {cbNum4, 47, 56},   {cbNum5, 85, 56},  {cbNum6, 123, 56}, {cbMul, 161, 56},
    {cbPcnt, 199, 56},  {cbMS, 5, 80},      {cbNum1, 47, 80},  {cbNum2, 85, 80},  {cbNum3, 123, 80},
    {cbSub, 161, 80},   {cbRev, 199, 80},   {cbMP, 5, 104},    {cbNum0, 47, 104}, {cbSgn, 85, 104},
    {cbDcm, 123, 104},  {cbAdd, 161, 104},  {cbEql, 199, 104},
};

const TKeyPlace PopupPlaces[] = {
    {cbNum7, 6, 6},   {cbNum8, 29, 6},  {cbNum9, 52, 6},  {cbDiv, 75, 6},  {cbNum4, 6, 29}, {cbNum5, 29, 29},
    {cbNum6, 52, 29}, {cbMul, 75, 29},  {cbNum1, 6, 52},  {cbNum2, 29, 52}, {cbNum3, 52, 52}, {cbSub, 75, 52},
    {cbNum0, 6, 75},  {cbDcm, 29, 75},  {cbSgn, 52, 75},  {cbAdd, 75, 75},  {cbClr, 6, 98},   {cbBck, 29, 98},
    {cbEql, 52, 98},
};

std::string KindCaption(TCalcBtnKind kind)
{
    if (kind >= cbNum0 && kind <= cbNum9)
        return std::string(1, static_cast<char>('0' + (kind - cbNum0)));
    switch (kind) {
    case cbSgn: return "\xB1";
    case cbDcm: return std::string(1, FormatSettings().DecimalSeparator);
    case cbDiv: return "/";
    case cbMul: return "*";
    case cbSub: return "-";
    case cbAdd: return "+";
    case cbSqr: return "sqrt";
    case cbPcnt: return "%";
    case cbRev: return "1/x";
    case cbEql: return "=";
    case cbBck: return "<-";
    case cbClr: return "C";
    case cbMP: return "MP";
    case cbMS: return "MS";
    case cbMR: return "MR";
    case cbMC: return "MC";
    default: return "";
    }
}

TColor KindColor(TCalcBtnKind kind)
{
    switch (kind) {
    case cbDiv:
    case cbMul:
    case cbSub:
    case cbAdd:
    case cbEql: return clPurple;
    case cbSqr:
    case cbPcnt:
    case cbRev:
    case cbMP:
    case cbMS:
    case cbMR:
    case cbMC: return clNavy;
    case cbBck:
    case cbClr: return clMaroon;
    default: return clBtnText;
    }
}

// The cell of "CALCBTNS" a dialog key shows instead of its caption, or -1.
int KindGlyphCell(TCalcBtnKind kind)
{
    switch (kind) {
    case cbCancel: return 0;
    case cbOk: return 1;
    case cbSgn: return 2;
    case cbMul: return 3;
    case cbSub: return 4;
    case cbAdd: return 5;
    default: return -1;
    }
}

void BeepIf(bool beep)
{
    if (beep)
        MessageBeep(0);
}

// The bounds of the control and of every child, and the font, by M / D; the screen of the
// layer is always at 96 pixels per inch, so this runs only on another screen.
void ScaleControl(TWinControl* control, int M, int D)
{
    control->SetBounds(MulDiv(control->Left(), M, D), MulDiv(control->Top(), M, D),
                       MulDiv(control->Width(), M, D), MulDiv(control->Height(), M, D));
    control->Font()->SetHeight(MulDiv(control->Font()->Height(), M, D));
    for (int i = 0; i < control->ControlCount(); ++i) {
        TControl* child = control->Controls(i);
        if (auto* windowed = dynamic_cast<TWinControl*>(child)) {
            ScaleControl(windowed, M, D);
        } else {
            child->SetBounds(MulDiv(child->Left(), M, D), MulDiv(child->Top(), M, D), MulDiv(child->Width(), M, D),
                             MulDiv(child->Height(), M, D));
        }
    }
}

} // namespace ExCalcUnit

void SetDefaultCalcFont(TFont* Font)
{
    NONCLIENTMETRICS metrics;
    if (SystemParametersInfo(SPI_GETNONCLIENTMETRICS, 0, &metrics, 0)) {
        Font->SetHandle(CreateFontIndirect(metrics.lfMessageFont));
    } else {
        Font->SetColor(clWindowText);
        Font->SetName("MS Sans Serif");
        Font->SetSize(8);
    }
    Font->SetStyle(TFontStyles{fsBold});
}

// --- TCalcButton ---------------------------------------------------------------------------------

TCalcButton::TCalcButton(TComponent* AOwner, TCalcBtnKind AKind) : TExSpeedButton(AOwner), FKind(AKind)
{
    ControlStyle.Include(csReplicatable);
    Tag = FKind >= cbNum0 && FKind <= cbClr ? FKind - 1 : -1;
}

void TCalcButton::Dispatch(TMessage& Message)
{
    if (Message.Msg != CM_PARENTFONTCHANGED) {
        TExSpeedButton::Dispatch(Message);
        return;
    }
    if (!FFontChanging)
        TExSpeedButton::Dispatch(Message);
    if (ParentFont() && !FFontChanging) {
        FFontChanging = true;
        try {
            Font()->SetColor(ExCalcUnit::KindColor(FKind));
            SetParentFont(true);
        } catch (...) {
            FFontChanging = false;
            throw;
        }
        FFontChanging = false;
    }
}

// --- TCalculatorPanel: construction --------------------------------------------------------------

TCalculatorPanel::TCalculatorPanel(TComponent* AOwner, TCalculatorLayout ALayout) : TPanel(AOwner)
{
    if (ALayout == clPopup)
        ControlStyle.Include(csReplicatable);
    SetParentColor(false);
    SetColor(clBtnFace);
    if (ALayout == clPopup)
        SetBounds(0, 0, 98, 124);
    else
        SetBounds(0, 0, 240, 129);
    SetDefaultCalcFont(Font());
    SetParentFont(false);
    SetBevelOuter(bvNone);
    SetBevelInner(bvNone);
    SetParentColor(true);
    ParentCtl3D = true;
    CreateKeys(ALayout);
    if (ALayout == clDialog) {
        FMemoryPanel = new TPanel(this);
        FMemoryPanel->SetBounds(6, 7, 34, 20);
        FMemoryPanel->SetBevelInner(bvLowered);
        FMemoryPanel->SetBevelOuter(bvNone);
        FMemoryPanel->SetParentColor(true);
        FMemoryPanel->SetParent(this);
        FMemoryLabel = new TLabel(this);
        FMemoryLabel->SetAutoSize(false);
        FMemoryLabel->SetBounds(3, 3, 26, 14);
        FMemoryLabel->SetAlignment(taCenter);
        FMemoryLabel->Font()->SetStyle(TFontStyles{});
        FMemoryLabel->SetParent(FMemoryPanel);
    }
}

void TCalculatorPanel::CreateKeys(TCalculatorLayout Layout)
{
    RegisterExResources();
    TBitmap strip;
    if (Layout == clDialog)
        strip.SetHandle(LoadBitmap(MainInstance(), "CALCBTNS"));
    const auto add = [&](const ExCalcUnit::TKeyPlace& place) {
        auto* button = new TCalcButton(this, place.Kind);
        const bool popup = Layout == clPopup;
        int width = popup ? 21 : 36;
        const int height = popup ? 21 : 22;
        if ((popup && place.Kind == cbEql) || (!popup && (place.Kind == cbBck || place.Kind == cbClr)))
            width = 44;
        button->SetBounds(place.Left, place.Top, width, height);
        const int cell = ExCalcUnit::KindGlyphCell(place.Kind);
        if (!popup && cell >= 0 && !strip.Empty()) {
            TBitmap glyph;
            AssignBitmapCell(&strip, &glyph, 6, 1, cell);
            button->SetGlyph(&glyph);
        } else {
            button->SetCaption(ExCalcUnit::KindCaption(place.Kind));
        }
        button->OnClick = [this](TObject* Sender) { ButtonClicked(Sender); };
        button->SetParent(this);
        // The key colour comes with the parent's font.
        TMessage parentFont{CM_PARENTFONTCHANGED, 0, 0, 0};
        button->Dispatch(parentFont);
    };
    // Kind order, each at its place in the layout; a kind without a place has no key.
    for (int kind = cbNum0; kind <= cbCancel; ++kind) {
        if (Layout == clDialog) {
            for (const auto& place : ExCalcUnit::DialogPlaces)
                if (place.Kind == kind)
                    add(place);
        } else {
            for (const auto& place : ExCalcUnit::PopupPlaces)
                if (place.Kind == kind)
                    add(place);
        }
    }
}

// --- TCalculatorPanel: display -------------------------------------------------------------------

void TCalculatorPanel::TextChanged()
{
    if (DisplayControl)
        DisplayControl->SetCaption(FText);
    if (OnTextChange)
        OnTextChange(this);
}

void TCalculatorPanel::SetDisplayText(const std::string& Value)
{
    if (FText == Value)
        return;
    FText = Value;
    TextChanged();
}

double TCalculatorPanel::DisplayValue()
{
    if (FStatus == csError)
        return 0;
    return StrToFloat(Trim(FText));
}

void TCalculatorPanel::SetDisplayValue(double Value)
{
    // A result beyond the range of numbers (an overflow) is an error, not a text "INF".
    if (!std::isfinite(Value)) {
        ShowCalcError();
        return;
    }
    const std::string text = FloatToStrF(Value, ffGeneral, std::max(2, FPrecision), 0);
    if (text == FText)
        return;
    SetDisplayText(text);
    if (OnDisplayChange)
        OnDisplayChange(this);
}

bool TCalculatorPanel::HasDecimalSeparator() const
{
    return FText.find(FormatSettings().DecimalSeparator) != std::string::npos;
}

void TCalculatorPanel::CheckFirst()
{
    if (FStatus != csFirst)
        return;
    FStatus = csValid;
    SetDisplayText("0");
}

void TCalculatorPanel::ClearCalculator()
{
    FStatus = csFirst;
    SetDisplayValue(0);
    FOperator = '=';
}

void TCalculatorPanel::ShowCalcError()
{
    FStatus = csError;
    SetDisplayText("Error");
    ExCalcUnit::BeepIf(BeepOnError);
    if (OnError)
        OnError(this);
}

void TCalculatorPanel::UpdateMemoryLabel()
{
    if (FMemoryLabel)
        FMemoryLabel->SetCaption(FMemory != 0 ? "M" : "");
}

void TCalculatorPanel::CopyDisplay() { Clipboard()->SetAsText(FText); }

void TCalculatorPanel::PasteDisplay()
{
    if (!Clipboard()->HasFormat(CF_TEXT))
        return;
    double value = 0;
    const std::string text = Trim(ReplaceStr(Clipboard()->AsText(), FormatSettings().CurrencyString, ""));
    if (TextToFloat(text, value) && std::isfinite(value))
        SetDisplayValue(value);
    else
        SetDisplayText("0");
}

// --- TCalculatorPanel: keys ----------------------------------------------------------------------

void TCalculatorPanel::CalcKey(char Key)
{
    const char decimal = FormatSettings().DecimalSeparator;
    Key = static_cast<char>(std::toupper(static_cast<unsigned char>(Key)));
    if (FStatus == csError && Key != 'C')
        Key = 0;
    if (OnCalcKey)
        OnCalcKey(this, Key);
    if (Key == decimal || Key == '.' || Key == ',') {
        CheckFirst();
        if (!HasDecimalSeparator())
            SetDisplayText(FText + decimal);
        return;
    }
    switch (Key) {
    case 'R':
    case 'Q':
        if (FStatus == csFirst || FStatus == csValid) {
            FStatus = csFirst;
            const double value = DisplayValue();
            if ((Key == 'R' && value == 0) || (Key == 'Q' && value < 0))
                ShowCalcError();
            else
                SetDisplayValue(Key == 'R' ? 1.0 / value : std::sqrt(value));
        }
        break;
    case '0': case '1': case '2': case '3': case '4': case '5': case '6': case '7': case '8': case '9':
        CheckFirst();
        if (FText == "0")
            SetDisplayText("");
        if (FText.find('E') == std::string::npos) {
            const std::size_t limit =
                static_cast<std::size_t>(std::max(2, FPrecision)) + (FText.find('-') != std::string::npos ? 1 : 0);
            if (FText.size() < limit)
                SetDisplayText(FText + Key);
            else
                ExCalcUnit::BeepIf(BeepOnError);
        }
        break;
    case '\b':
        CheckFirst();
        if (FText.size() == 1 || (FText.size() == 2 && FText[0] == '-'))
            SetDisplayText("0");
        else
            SetDisplayText(FText.substr(0, FText.size() - 1));
        break;
    case '_':
        SetDisplayValue(-DisplayValue());
        break;
    case '+': case '-': case '*': case '/': case '=': case '%': case '\r': {
        if (FStatus == csValid) {
            FStatus = csFirst;
            double r = DisplayValue();
            if (Key == '%') {
                if (FOperator == '+' || FOperator == '-')
                    r = FOperand * r / 100;
                else if (FOperator == '*' || FOperator == '/')
                    r = r / 100;
            }
            switch (FOperator) {
            case '+': SetDisplayValue(FOperand + r); break;
            case '-': SetDisplayValue(FOperand - r); break;
            case '*': SetDisplayValue(FOperand * r); break;
            case '/':
                if (r == 0)
                    ShowCalcError();
                else
                    SetDisplayValue(FOperand / r);
                break;
            default: break;
            }
        }
        FOperator = Key;
        FOperand = DisplayValue();
        if ((Key == '\r' || Key == '=' || Key == '%') && OnResult)
            OnResult(this);
        break;
    }
    case '\x1B':
    case 'C':
        ClearCalculator();
        break;
    case '\x03':
        CopyDisplay();
        break;
    case '\x16':
        PasteDisplay();
        break;
    default:
        break;
    }
}

TCalcButton* TCalculatorPanel::FindKeyButton(char Key)
{
    const char decimal = FormatSettings().DecimalSeparator;
    if (Key == decimal || Key == '.' || Key == ',')
        Key = '.';
    else if (Key == '\r')
        Key = '=';
    else if (Key == '\x1B')
        Key = 'C';
    Key = static_cast<char>(std::toupper(static_cast<unsigned char>(Key)));
    const std::size_t index = Key ? ExCalcUnit::CalcKeys.find(Key) : std::string::npos;
    if (index == std::string::npos)
        return nullptr;
    for (int i = 0; i < ControlCount(); ++i)
        if (auto* button = dynamic_cast<TCalcButton*>(Controls(i)))
            if (button->Tag == static_cast<std::intptr_t>(index))
                return button;
    return nullptr;
}

void TCalculatorPanel::CalcKeyPress(char Key)
{
    if (TCalcButton* button = FindKeyButton(Key))
        button->ButtonClick();
    else
        CalcKey(Key);
}

void TCalculatorPanel::ButtonClicked(TObject* Sender)
{
    if (auto* button = dynamic_cast<TCalcButton*>(Sender))
        KeyButtonClick(button->Kind());
}

void TCalculatorPanel::KeyButtonClick(TCalcBtnKind Kind)
{
    const bool working = FStatus == csFirst || FStatus == csValid;
    switch (Kind) {
    case cbDcm:
        CalcKey(FormatSettings().DecimalSeparator);
        break;
    case cbMP:
        if (working) {
            FStatus = csFirst;
            FMemory += DisplayValue();
            UpdateMemoryLabel();
        }
        break;
    case cbMS:
        if (working) {
            FStatus = csFirst;
            FMemory = DisplayValue();
            UpdateMemoryLabel();
        }
        break;
    case cbMR:
        if (working) {
            FStatus = csFirst;
            CheckFirst();
            SetDisplayValue(FMemory);
        }
        break;
    case cbMC:
        FMemory = 0;
        UpdateMemoryLabel();
        break;
    case cbOk:
        if (FStatus == csError) {
            ExCalcUnit::BeepIf(BeepOnError);
        } else {
            SetDisplayValue(DisplayValue());
            if (OnOk)
                OnOk(this);
        }
        break;
    case cbCancel:
        if (OnCancel)
            OnCancel(this);
        break;
    default:
        if (Kind >= cbNum0 && Kind <= cbClr)
            CalcKey(ExCalcUnit::CalcKeys[static_cast<std::size_t>(Kind - 1)]);
        break;
    }
}

// --- TLocCalculator ------------------------------------------------------------------------------

TLocCalculator::TLocCalculator(TComponent* AOwner) : TCalculatorPanel(AOwner, clPopup)
{
    ControlStyle = TControlStyle{csCaptureMouse, csClickEvents, csDoubleClicks, csReplicatable};
    SetEnabled(false);
    SetTabStop(false);
}

void TLocCalculator::CreateParams(TCreateParams& Params)
{
    TCalculatorPanel::CreateParams(Params);
    Params.Style &= ~(WS_TABSTOP | WS_DISABLED);
}

void TLocCalculator::CreateWnd()
{
    TCalculatorPanel::CreateWnd();
    EnableWindow(Handle(), TRUE);
}

void TLocCalculator::Dispatch(TMessage& Message)
{
    TCalculatorPanel::Dispatch(Message);
    if (Message.Msg == CM_ENABLEDCHANGED && HandleAllocated())
        EnableWindow(Handle(), TRUE);
}

// --- TPopupCalculator ----------------------------------------------------------------------------

TPopupCalculator::TPopupCalculator(TWinControl* AOwner) : TPopupWindow(AOwner)
{
    SetBounds(0, 0, 104, 127);
    SetColor(clBtnFace);
    SetDefaultCalcFont(Font());
    if (ComponentState().Contains(csDesigning))
        return;
    FCalcPanel = new TLocCalculator(this);
    FCalcPanel->SetParent(this);
    FCalcPanel->SetAlign(alClient);
    FCalcPanel->SetBevelOuter(bvRaised);
    FCalcPanel->SetPrecision(15);
    FCalcPanel->SetVisible(true);
    FCalcPanel->OnTextChange = [this](TObject*) { InvalidateEditor(); };
    FCalcPanel->OnResult = [this](TObject*) {
        if (FCalcPanel->Status() == csError)
            return;
        FCalcPanel->SetDisplayValue(FCalcPanel->DisplayValue());
        CloseUp(true);
    };
}

Variant TPopupCalculator::GetValue()
{
    if (ComponentState().Contains(csDesigning) || !FCalcPanel)
        return Variant(0.0);
    if (FCalcPanel->Status() == csError) {
        ExCalcUnit::BeepIf(FCalcPanel->BeepOnError);
        return Variant(0.0);
    }
    FCalcPanel->SetDisplayValue(FCalcPanel->DisplayValue());
    return Variant(FCalcPanel->DisplayValue());
}

void TPopupCalculator::SetValue(const Variant& Value)
{
    if (ComponentState().Contains(csDesigning) || !FCalcPanel)
        return;
    double number = 0;
    if (!VarIsNull(Value) && !VarIsEmpty(Value)) {
        try {
            number = static_cast<double>(Value);
        } catch (const Exception&) {
            number = 0;
        }
    }
    FCalcPanel->SetDisplayValue(number);
    FCalcPanel->SetStatus(csFirst);
    FCalcPanel->SetPendingOperator('=');
}

std::string TPopupCalculator::GetPopupText() { return FCalcPanel ? FCalcPanel->Text() : ""; }

void TPopupCalculator::KeyPress(char& Key)
{
    if (FCalcPanel) {
        // Accepting an error is refused: the popup stays open.
        const bool accepting = Key == '\r' || Key == '=' || Key == '%';
        if (accepting && FCalcPanel->Status() == csError)
            ExCalcUnit::BeepIf(FCalcPanel->BeepOnError);
        else
            FCalcPanel->CalcKeyPress(Key);
    }
    TPopupWindow::KeyPress(Key);
}

TWinControl* CreatePopupCalculator(TWinControl* AOwner)
{
    auto* popup = new TPopupCalculator(AOwner);
    if (AOwner && !AOwner->ComponentState().Contains(csDesigning) && Screen && Screen->PixelsPerInch() != 96) {
        ExCalcUnit::ScaleControl(popup, Screen->PixelsPerInch(), 96);
        if (popup->Calculator())
            popup->Calculator()->SetParentFont(true);
        SetDefaultCalcFont(popup->Font());
    }
    return popup;
}

void SetupPopupCalculator(TWinControl* PopupCalc, int APrecision, bool ABeepOnError)
{
    auto* popup = dynamic_cast<TPopupCalculator*>(PopupCalc);
    if (!popup || !popup->Calculator())
        return;
    popup->Calculator()->SetPrecision(std::max(2, APrecision));
    popup->Calculator()->BeepOnError = ABeepOnError;
}

// --- TExCalculatorForm ---------------------------------------------------------------------------

TExCalculatorForm::TExCalculatorForm(TComponent* AOwner) : TForm(AOwner)
{
    SetBorderIcons(TBorderIcons{biSystemMenu});
    SetBorderStyle(bsDialog);
    SetCaption("Calculator");
    SetClientWidth(242);
    SetClientHeight(159);
    SetDefaultCalcFont(Font());
    KeyPreview = true;
    PixelsPerInch = 96;
    Position = poScreenCenter;

    FMainPanel = new TPanel(this);
    FMainPanel->SetParent(this);
    FMainPanel->SetAlign(alClient);
    FMainPanel->SetBevelOuter(bvLowered);
    FMainPanel->SetParentColor(true);
    FPasteItem = NewItem("&Paste", ShortCut(VK_INSERT, TShiftState{ssShift}), false, true,
                         [this](TObject* Sender) { PasteItemClick(Sender); }, 0, "PasteItem");
    TPopupMenu* menu = NewPopupMenu(
        this, "PopupMenu", paLeft, true,
        {NewItem("&Copy", ShortCut(VK_INSERT, TShiftState{ssCtrl}), false, true,
                 [this](TObject* Sender) { CopyItemClick(Sender); }, 0, "CopyItem"),
         FPasteItem});
    menu->OnPopup = [this](TObject* Sender) { PopupMenuPopup(Sender); };
    FMainPanel->PopupMenu = menu;

    FDisplayPanel = new TPanel(this);
    FDisplayPanel->SetBounds(6, 6, 230, 23);
    FDisplayPanel->SetParent(FMainPanel);
    FDisplayPanel->SetBevelOuter(bvLowered);
    FDisplayPanel->SetColor(clWindow);
    FDisplayPanel->Ctl3D = false;
    FDisplayPanel->ParentCtl3D = false;

    auto* inner = new TPanel(this);
    inner->SetParent(FDisplayPanel);
    inner->SetAlign(alClient);
    inner->SetBevelOuter(bvNone);
    inner->SetBorderStyle(bsSingle);
    inner->Ctl3D = false;
    inner->ParentCtl3D = false;
    inner->SetParentColor(true);

    FDisplayLabel = new TLabel(this);
    FDisplayLabel->SetAutoSize(false);
    FDisplayLabel->SetAlignment(taRightJustify);
    FDisplayLabel->SetBounds(5, 2, 217, 15);
    FDisplayLabel->SetCaption("0");
    FDisplayLabel->SetParent(inner);

    FCalcPanel = new TCalculatorPanel(this, clDialog);
    FCalcPanel->SetParent(FMainPanel);
    FCalcPanel->SetAlign(alBottom);
    FCalcPanel->DisplayControl = FDisplayLabel;
    FCalcPanel->OnOk = [this](TObject*) { SetModalResult(mrOk); };
    FCalcPanel->OnCancel = [this](TObject*) { SetModalResult(mrCancel); };
    FCalcPanel->OnCalcKey = [this](TObject*, char& Key) {
        if (auto* component = dynamic_cast<TExCalculator*>(Owner()))
            component->CalcKey(Key);
    };
    FCalcPanel->OnDisplayChange = [this](TObject*) {
        if (auto* component = dynamic_cast<TExCalculator*>(Owner()))
            component->DisplayChange();
    };
}

void TExCalculatorForm::KeyPress(char& Key)
{
    TForm::KeyPress(Key);
    if (Key == 0)
        return;
    FCalcPanel->CalcKeyPress(Key);
    Key = 0;
}

void TExCalculatorForm::CopyItemClick(TObject*) { FCalcPanel->CopyDisplay(); }

void TExCalculatorForm::PasteItemClick(TObject*) { FCalcPanel->PasteDisplay(); }

void TExCalculatorForm::PopupMenuPopup(TObject*) { FPasteItem->SetEnabled(Clipboard()->HasFormat(CF_TEXT)); }

void TExCalculatorForm::SetCtl3D(bool Value)
{
    Ctl3D = Value;
    for (int i = 0; i < FCalcPanel->ControlCount(); ++i)
        if (auto* button = dynamic_cast<TCalcButton*>(FCalcPanel->Controls(i)))
            button->SetStyle(Value ? bsNew : bsWin31);
    if (TLabel* label = FCalcPanel->MemoryLabel())
        if (auto* memoryPanel = dynamic_cast<TPanel*>(label->Parent())) {
            memoryPanel->SetBevelInner(Value ? bvLowered : bvNone);
            memoryPanel->SetBorderStyle(Value ? bsNone : bsSingle);
        }
    FDisplayPanel->SetBevelOuter(Value ? bvLowered : bvNone);
    FMainPanel->SetBevelOuter(Value ? bvLowered : bvNone);
}

TExCalculatorForm* CreateCalculatorForm(TComponent* AOwner, int AHelpContext)
{
    auto* form = new TExCalculatorForm(AOwner);
    try {
        form->HelpContext = AHelpContext;
        if (AHelpContext != 0) {
            TBorderIcons icons = form->BorderIcons();
            icons.Include(biHelp);
            form->SetBorderIcons(icons);
        }
        if (Screen && Screen->PixelsPerInch() != 96) {
            ExCalcUnit::ScaleControl(form, Screen->PixelsPerInch(), 96);
            SetDefaultCalcFont(form->Font());
            form->SetLeft((Screen->Width() - form->Width()) / 2);
            form->SetTop((Screen->Height() - form->Height()) / 2);
        }
    } catch (...) {
        delete form;
        throw;
    }
    return form;
}

// --- TExCalculator -------------------------------------------------------------------------------

TExCalculator::TExCalculator(TComponent* AOwner) : TComponent(AOwner) {}

TExCalculator::~TExCalculator()
{
    OnChange = nullptr;
    OnCalcKey = nullptr;
    OnDisplayChange = nullptr;
}

double TExCalculator::GetDisplay() { return FCalc ? FCalc->CalcPanel()->DisplayValue() : Value; }

void TExCalculator::Change()
{
    if (OnChange)
        OnChange(this);
}

void TExCalculator::CalcKey(char& Key)
{
    if (OnCalcKey)
        OnCalcKey(this, Key);
}

void TExCalculator::DisplayChange()
{
    if (OnDisplayChange)
        OnDisplayChange(this);
}

bool TExCalculator::Execute()
{
    FCalc = CreateCalculatorForm(this, HelpContext);
    bool accepted = false;
    try {
        FCalc->SetCtl3D(Ctl3D);
        FCalc->SetCaption(Title);
        TCalculatorPanel* panel = FCalc->CalcPanel();
        panel->SetMemory(FMemory);
        panel->UpdateMemoryLabel();
        panel->SetPrecision(std::max(2, Precision));
        panel->BeepOnError = BeepOnError;
        if (Value != 0) {
            panel->SetDisplayValue(Value);
            panel->SetStatus(csFirst);
            panel->SetPendingOperator('=');
        }
        accepted = FCalc->ShowModal() == mrOk;
        if (accepted) {
            FMemory = panel->Memory();
            if (panel->DisplayValue() != Value) {
                Value = panel->DisplayValue();
                Change();
            }
        }
    } catch (...) {
        delete FCalc;
        FCalc = nullptr;
        throw;
    }
    delete FCalc;
    FCalc = nullptr;
    return accepted;
}
