#include "report/RP_PrDlg.h"

#include "report/RP_Ctrls.h"
#include "report/RP_Prntr.h"
#include "report/RP_Utils.h"
#include "report/rpResources.h"

#include "platform/gui/Application.h"
#include "platform/gui/Button.h"
#include "platform/gui/ComboBox.h"
#include "platform/gui/Edit.h"
#include "platform/gui/GroupBox.h"
#include "platform/gui/Image.h"
#include "platform/gui/Label.h"
#include "platform/gui/Panel.h"
#include "platform/gui/PrintDialogs.h"
#include "platform/gui/Printer.h"
#include "platform/gui/RadioButton.h"
#include "platform/rtl/TextUtils.h"

#include <climits>

namespace RP_PrDlg {
namespace {

constexpr int PictureWidth = 18;
constexpr int PictureHeight = 16;
constexpr int ArrowWidth = 9;
constexpr int ArrowHeight = 4;

// The printer of the list items: paper coming out of a grey printer, on olive, which is the
// transparent colour.
void DrawPrinterPicture(TBitmap* picture)
{
    picture->SetSize(PictureWidth, PictureHeight);
    TCanvas* canvas = picture->Canvas();
    canvas->Brush()->SetColor(clOlive);
    canvas->FillRect(Rect(0, 0, PictureWidth, PictureHeight));
    canvas->Pen()->SetColor(clBlack);
    canvas->Brush()->SetColor(clWhite);
    canvas->Rectangle(5, 1, 13, 7);
    canvas->Brush()->SetColor(clSilver);
    canvas->Rectangle(1, 6, 17, 13);
    canvas->Brush()->SetColor(clGray);
    canvas->FillRect(Rect(2, 11, 16, 12));
    canvas->Brush()->SetColor(clWhite);
    canvas->Rectangle(4, 10, 14, 16);
    canvas->SetPixels(14, 8, clLime);
}

// A black arrow on olive whose bottom-left pixel stays olive, so that olive is transparent.
void DrawArrow(TBitmap* glyph, bool up)
{
    glyph->SetSize(ArrowWidth, ArrowHeight);
    TCanvas* canvas = glyph->Canvas();
    canvas->Brush()->SetColor(clOlive);
    canvas->FillRect(Rect(0, 0, ArrowWidth, ArrowHeight));
    for (int row = 0; row < ArrowHeight; ++row) {
        const int halfWidth = up ? row : ArrowHeight - 1 - row;
        for (int x = 4 - halfWidth; x <= 4 + halfWidth; ++x)
            canvas->SetPixels(x, row, clBlack);
    }
}

TLabel* NewLabel(TComponent* owner, TWinControl* parent, const std::string& name, const TRect& bounds)
{
    auto* label = rpCreateControl<TLabel>(owner, parent, name, bounds);
    label->SetAutoSize(false);
    return label;
}

} // namespace
} // namespace RP_PrDlg

using namespace RP_PrDlg;

TrpPrintForm::TrpPrintForm(TComponent* AOwner) : TForm(AOwner)
{
    SetName("rpPrintForm");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientWidth(350);
    SetClientHeight(260);
    CreateComponents();
    SetTexts();
    ListPrinters();
}

void TrpPrintForm::CreateComponents()
{
    GroupBox1 = rpCreateControl<TGroupBox>(this, this, "GroupBox1", Bounds(8, 8, 334, 56));
    CB1 = rpCreateControl<TComboBox>(this, GroupBox1, "CB1", Bounds(10, 22, 226, 22));
    CB1->SetStyle(csOwnerDrawFixed);
    CB1->SetItemHeight(16);
    CB1->OnDrawItem = [this](TWinControl*, int index, TRect rect, TOwnerDrawState) { CB1DrawItem(index, rect); };
    CB1->OnClick = [this](TObject*) { CB1Click(); };
    PropButton = rpCreateControl<TButton>(this, GroupBox1, "PropButton", Bounds(246, 20, 78, 25));
    PropButton->OnClick = [this](TObject*) { PropButtonClick(); };

    Label1 = NewLabel(this, this, "Label1", Bounds(16, 76, 46, 16));
    E1 = rpCreateControl<TEdit>(this, this, "E1", Bounds(64, 72, 48, 21));
    E1->SetText("1");
    Label1->SetFocusControl(E1);
    Panel1 = rpCreateControl<TPanel>(this, this, "Panel1", Bounds(113, 74, 17, 16));
    Panel1->SetBevelOuter(bvNone);
    Panel1->SetCaption("");
    rpSpeedButton1 = rpCreateControl<TrpSpeedButton>(this, Panel1, "rpSpeedButton1", Bounds(0, 0, 17, 8));
    rpSpeedButton2 = rpCreateControl<TrpSpeedButton>(this, Panel1, "rpSpeedButton2", Bounds(0, 8, 17, 8));
    TBitmap arrow;
    DrawArrow(&arrow, true);
    rpSpeedButton1->SetGlyph(&arrow);
    DrawArrow(&arrow, false);
    rpSpeedButton2->SetGlyph(&arrow);
    rpSpeedButton1->OnClick = [this](TObject*) { ChangeCopies(1); };
    rpSpeedButton2->OnClick = [this](TObject*) { ChangeCopies(-1); };

    GroupBox2 = rpCreateControl<TGroupBox>(this, this, "GroupBox2", Bounds(8, 102, 334, 118));
    RB1 = rpCreateControl<TRadioButton>(this, GroupBox2, "RB1", Bounds(12, 18, 200, 17));
    RB1->SetChecked(true);
    RB2 = rpCreateControl<TRadioButton>(this, GroupBox2, "RB2", Bounds(12, 38, 200, 17));
    RB3 = rpCreateControl<TRadioButton>(this, GroupBox2, "RB3", Bounds(12, 60, 76, 17));
    RB3->OnClick = [this](TObject*) { RB3Click(); };
    E2 = rpCreateControl<TEdit>(this, GroupBox2, "E2", Bounds(92, 58, 230, 21));
    E2->OnClick = [this](TObject*) { RB3->SetChecked(true); };
    Label2 = NewLabel(this, GroupBox2, "Label2", Bounds(12, 84, 312, 28));
    Label2->SetWordWrap(true);

    Button1 = rpCreateControl<TButton>(this, this, "Button1", Bounds(186, 228, 75, 25));
    Button1->SetDefault(true);
    Button1->SetModalResult(mrOk);
    Button2 = rpCreateControl<TButton>(this, this, "Button2", Bounds(267, 228, 75, 25));
    Button2->SetCancel(true);
    Button2->SetModalResult(mrCancel);

    Image1 = rpCreateControl<TImage>(this, this, "Image1", Bounds(280, 72, PictureWidth, PictureHeight));
    Image1->SetVisible(false);
    DrawPrinterPicture(Image1->Picture()->Bitmap());
    PrinterSetupDialog1 = new TPrinterSetupDialog(this);
    PrinterSetupDialog1->SetName("PrinterSetupDialog1");
}

void TrpPrintForm::SetTexts()
{
    SetCaption(rpLoadStr(53040));
    GroupBox1->SetCaption(rpLoadStr(53041));
    PropButton->SetCaption(rpLoadStr(53042));
    Label1->SetCaption(rpLoadStr(53043));
    GroupBox2->SetCaption(rpLoadStr(53044));
    RB1->SetCaption(rpLoadStr(53045));
    RB2->SetCaption(rpLoadStr(53046));
    RB3->SetCaption(rpLoadStr(53047));
    Label2->SetCaption(rpLoadStr(53048));
    Button1->SetCaption(rpLoadStr(55000));
    Button2->SetCaption(rpLoadStr(55001));
}

void TrpPrintForm::ListPrinters()
{
    CB1->Items()->Assign(Printer()->Printers());
    SavedPrinterIndex = Printer()->PrinterIndex();
    CB1->SetItemIndex(SavedPrinterIndex);
}

void TrpPrintForm::CB1DrawItem(int index, TRect rect)
{
    TCanvas* canvas = CB1->Canvas();
    canvas->FillRect(rect);
    canvas->BrushCopy(Bounds(rect.Left + 2, rect.Top, PictureWidth, PictureHeight), Image1->Picture()->Bitmap(),
                      Rect(0, 0, PictureWidth, PictureHeight), clOlive);
    canvas->TextOut(rect.Left + 24, rect.Top + 1, CB1->Items()->Strings(index));
}

void TrpPrintForm::CB1Click()
{
    if (CB1->ItemIndex() < 0)
        return;
    rpPrinter()->SetPrinterIndex(CB1->ItemIndex());
    PrinterChosen = true;
}

void TrpPrintForm::PropButtonClick()
{
    PrinterSetupDialog1->Execute();
    CB1->SetItemIndex(Printer()->PrinterIndex());
    PrinterChosen = true;
}

void TrpPrintForm::ChangeCopies(int delta)
{
    try {
        const int copies = StrToInt(E1->Text());
        if (delta > 0)
            E1->SetText(IntToStr(copies < INT_MAX ? copies + 1 : copies));
        else
            E1->SetText(IntToStr(copies > 2 ? copies - 1 : 1));
    } catch (...) {
        Application->HandleException(this);
    }
}

void TrpPrintForm::RB3Click()
{
    if (RB3->Checked() && E2->CanFocus())
        E2->SetFocus();
}

// A choice of printer is undone unless the dialog closes with OK.
void TrpPrintForm::DoClose(TCloseAction& Action)
{
    TForm::DoClose(Action);
    if (Action != caNone && ModalResult() != mrOk && PrinterChosen && SavedPrinterIndex >= 0) {
        rpPrinter()->SetPrinterIndex(SavedPrinterIndex);
        PrinterChosen = false;
    }
}
