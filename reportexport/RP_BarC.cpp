#include "reportexport/RP_BarC.h"

#include "reportexport/AddInSupport.h"
#include "reportexport/Barcode.h"

#include "report/RP_Ctrls.h"
#include "report/RP_Flds.h"
#include "report/RP_Pars.h"
#include "report/RP_Utils.h"
#include "report/RP_Var.h"
#include "report/rpEngine.h"
#include "report/rpResources.h"

#include "platform/gui/Application.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/Button.h"
#include "platform/gui/CheckBox.h"
#include "platform/gui/ComboBox.h"
#include "platform/gui/Edit.h"
#include "platform/gui/FontEngine.h"
#include "platform/gui/GroupBox.h"
#include "platform/gui/Image.h"
#include "platform/gui/Label.h"
#include "platform/gui/Metafile.h"
#include "platform/gui/RadioButton.h"
#include "platform/gui/Resources.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/Streams.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace RP_BarC {
namespace {

constexpr const char* DefaultCode = "12345678";
constexpr int BarTypeCount = 15;
// Room the text under (or beside) the bars takes, and the height of its font.
constexpr int CaptionRoom = 14;
constexpr int CaptionHeight = 12;
constexpr int CheckSize = 16;

// Digits-only symbologies: MSI, PostNet, Codabar, EAN-8 and EAN-13.
bool DigitsOnly(int barType) { return barType >= Barcode::bcCodeMSI && barType <= Barcode::bcCodeEAN13; }

bool AllDigits(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Tenths of a degree of the angle rounded half to even; a value beyond any sense turns by its
// remainder of a full turn.
int Escapement(double angle)
{
    if (!std::isfinite(angle))
        return 0;
    return static_cast<int>(Round(std::fmod(angle, 360.0))) * 10;
}

// Positions worked out from a damaged record's size stay inside the integer range.
int Clamped(std::int64_t value)
{
    return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

// The barcode type of a stored ordinal; a value outside the fifteen types raises as the barcode
// does for a wrong type, without ever holding an enumeration value it does not have.
TBarcodeType BarTypeOf(std::uint8_t ordinal)
{
    if (ordinal >= BarTypeCount)
        RAISE(Exception("TBarcode: wrong BarcodeType"));
    return static_cast<TBarcodeType>(ordinal);
}

void WriteParams(TStream& stream, const TrpBarCodeParams& param)
{
    stream.WriteUInt8(param.CheckSum);
    stream.WriteUInt8(param.ShowText);
    stream.WriteUInt8(param.Reserved);
    stream.WriteUInt8(param.BarType);
    stream.WriteInt32(param.Modul);
    stream.WriteDouble(param.Ratio);
    stream.WriteDouble(param.Angle);
}

void ReadParams(TStream& stream, TrpBarCodeParams& param)
{
    TrpBarCodeParams read;
    read.CheckSum = stream.ReadUInt8();
    read.ShowText = stream.ReadUInt8();
    read.Reserved = stream.ReadUInt8();
    read.BarType = stream.ReadUInt8();
    read.Modul = stream.ReadInt32();
    read.Ratio = stream.ReadDouble();
    read.Angle = stream.ReadDouble();
    param = read;
}

// The display names of the fifteen symbologies, in type order.
std::vector<std::string> BarTypeNames()
{
    TBarcode barcode(nullptr);
    std::vector<std::string> names;
    for (int type = 0; type < BarTypeCount; ++type) {
        barcode.SetTyp(static_cast<TBarcodeType>(type));
        names.push_back(barcode.GetTypText());
    }
    return names;
}

// Writes the text with a copy of the canvas's font turned by the angle, which is deleted again.
void TurnedTextOut(TCanvas& canvas, int x, int y, const std::string& text, double angle)
{
    LOGFONTA turned = FontToLogFont(*canvas.Font());
    turned.lfEscapement = Escapement(angle);
    turned.lfOrientation = turned.lfEscapement;
    const HFONT font = CreateFontIndirectA(turned);
    const HGDIOBJ previous = SelectObject(canvas.Handle(), font);
    canvas.TextOut(x, y, text);
    SelectObject(canvas.Handle(), previous);
    DeleteObject(font);
}

} // namespace
} // namespace RP_BarC

using namespace RP_BarC;

TrpBarCodeForm* rpBarCodeForm = nullptr;

// --- The object

TrpBarCodeView::TrpBarCodeView() : BarC(std::make_unique<TBarcode>(nullptr))
{
    ObjectType = 10;
    NamePrefix = "Bar";
    Memo->Add(DefaultCode);
}

TrpBarCodeView::~TrpBarCodeView() = default;

void TrpBarCodeView::Assign(TrpView* from)
{
    TrpView::Assign(from);
    if (auto* barcode = dynamic_cast<TrpBarCodeView*>(from))
        Param = barcode->Param;
}

void TrpBarCodeView::LoadFromStream(TStream& stream)
{
    TrpView::LoadFromStream(stream);
    ReadParams(stream, Param);
}

void TrpBarCodeView::SaveToStream(TStream& stream)
{
    TrpView::SaveToStream(stream);
    WriteParams(stream, Param);
}

void TrpBarCodeView::DefinePopupMenu(TPopupMenu*) {}

std::string TrpBarCodeView::CodeText() const
{
    if (WorkMemo->Count() == 0)
        return DefaultCode;
    std::string code = WorkMemo->Strings(0);
    // A digits-only symbology given anything else would raise inside its encoder.
    if (DigitsOnly(Param.BarType) && !AllDigits(code))
        code = DefaultCode;
    return code;
}

std::unique_ptr<TMetafile> TrpBarCodeView::MakePicture(const std::string& code)
{
    BarC->SetAngle(Param.Angle);
    BarC->SetRatio(Param.Ratio);
    BarC->SetModul(Param.Modul);
    BarC->SetChecksum(Param.CheckSum != 0);
    BarC->SetShowText(false);
    BarC->SetTyp(BarTypeOf(Param.BarType));
    BarC->SetText(code);

    const bool upright = Param.Angle == 90 || Param.Angle == 270;
    const int barsLength = BarC->GetWidth();
    if (upright)
        Height = barsLength;
    else
        Width = barsLength;
    BarC->SetHeight(Clamped(std::int64_t{upright ? Width : Height} - (Param.ShowText ? CaptionRoom : 0)));
    if (Param.Angle == 0) {
        BarC->SetLeft(0);
        BarC->SetTop(0);
    } else if (Param.Angle == 90) {
        BarC->SetLeft(0);
        BarC->SetTop(Height);
    } else if (Param.Angle == 180) {
        BarC->SetLeft(Width);
        BarC->SetTop(Height);
    } else {
        BarC->SetLeft(Width);
        BarC->SetTop(0);
    }

    auto picture = std::make_unique<TMetafile>();
    picture->SetWidth(Width);
    picture->SetHeight(Height);
    TMetafileCanvas canvas(picture.get(), nullptr);
    BarC->DrawBarcode(&canvas);
    if (Param.ShowText)
        DrawCaption(&canvas, code);
    return picture;
}

void TrpBarCodeView::DrawCaption(TCanvas* canvas, const std::string& code)
{
    TFont* font = canvas->Font();
    font->SetName("Courier New");
    font->SetHeight(-CaptionHeight);
    font->SetColor(clBlack);
    font->SetStyle({});
    const std::int64_t w = canvas->TextWidth(code), width = Width, height = Height;
    const double angle = Param.Angle;
    if (angle == 0)
        TurnedTextOut(*canvas, Clamped((width - w) / 2), Clamped(height - CaptionHeight), code, angle);
    else if (angle == 90)
        TurnedTextOut(*canvas, Clamped(width - CaptionHeight), Clamped(height - (height - w) / 2), code, angle);
    else if (angle == 180)
        TurnedTextOut(*canvas, Clamped(width - (width - w) / 2), CaptionHeight, code, angle);
    else
        TurnedTextOut(*canvas, CaptionHeight, Clamped((height - w) / 2), code, angle);
}

void TrpBarCodeView::Draw(TCanvas* canvas)
{
    BeginDraw(canvas);
    WorkMemo->Assign(Memo.get());
    std::unique_ptr<TMetafile> picture;
    try {
        picture = MakePicture(CodeText());
    } catch (const Exception&) {
        // A code the symbology cannot draw (a data field's value, a damaged template) must not
        // stop a preview, a print or an export: the box stays empty.
        picture.reset();
    }
    CalcGaps();
    ShowBackGround();
    // DrawRect ends one pixel past the object's box, which a metafile frame includes; played
    // into the box without it, the bars keep their widths at scale 1.
    if (picture)
        Canvas->StretchDraw({DrawRect.Left, DrawRect.Top, DrawRect.Right - 1, DrawRect.Bottom - 1}, picture.get());
    ShowFrame();
    RestoreCoord();
}

void TrpBarCodeView::Print(TStream& stream)
{
    if (!AddInSupport::BeginAddInPrint(*this))
        return;
    if (WorkMemo->Count() > 0) {
        const std::string line = WorkMemo->Strings(0);
        if (!line.empty() && line[0] == '[' && rpParser)
            WorkMemo->SetStrings(0, VarToStr(rpParser->Calc(line)));
    }
    AddInSupport::WriteAddInRecord(*this, stream);
}

// --- The dialog

TrpBarCodeForm::TrpBarCodeForm(TComponent* AOwner) : TrpObjEditorForm(AOwner)
{
    SetName("rpBarCodeForm");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientWidth(316);
    SetClientHeight(212);
    CreateComponents();
    SetTexts();
    SetActiveControl(M1);
}

void TrpBarCodeForm::CreateComponents()
{
    Label1 = rpCreateControl<TLabel>(this, this, "Label1", Bounds(8, 8, 200, 13));
    M1 = rpCreateControl<TEdit>(this, this, "M1", Bounds(8, 24, 248, 21));
    Label1->SetFocusControl(M1);
    DBBtn = rpCreateControl<TrpSpeedButton>(this, this, "DBBtn", Bounds(262, 24, 21, 21));
    DBBtn->SetCaption("D");
    DBBtn->SetShowHint(true);
    DBBtn->OnClick = [this](TObject*) { DBBtnClick(); };
    VarBtn = rpCreateControl<TrpSpeedButton>(this, this, "VarBtn", Bounds(287, 24, 21, 21));
    VarBtn->SetCaption("V");
    VarBtn->SetShowHint(true);
    VarBtn->OnClick = [this](TObject*) { VarBtnClick(); };

    Label2 = rpCreateControl<TLabel>(this, this, "Label2", Bounds(8, 52, 200, 13));
    cbType = rpCreateControl<TComboBox>(this, this, "cbType", Bounds(8, 68, 300, 21));
    cbType->SetStyle(csDropDownList);
    cbType->SetDropDownCount(15);
    Label2->SetFocusControl(cbType);

    GroupBox1 = rpCreateControl<TGroupBox>(this, this, "GroupBox1", Bounds(8, 98, 150, 70));
    ckCheckSum = rpCreateControl<TCheckBox>(this, GroupBox1, "ckCheckSum", Bounds(10, 20, 134, 17));
    ckViewText = rpCreateControl<TCheckBox>(this, GroupBox1, "ckViewText", Bounds(10, 44, 134, 17));

    GroupBox2 = rpCreateControl<TGroupBox>(this, this, "GroupBox2", Bounds(164, 98, 144, 70));
    const char* angles[] = {"0\xB0", "90\xB0", "180\xB0", "270\xB0"};
    TRadioButton** buttons[] = {&RB1, &RB2, &RB3, &RB4};
    for (int i = 0; i < 4; ++i) {
        *buttons[i] = rpCreateControl<TRadioButton>(this, GroupBox2, "RB" + std::to_string(i + 1),
                                                    Bounds(10 + (i % 2) * 66, 20 + (i / 2) * 24, 60, 17));
        (*buttons[i])->SetCaption(angles[i]);
    }

    bOk = rpCreateControl<TButton>(this, this, "bOk", Bounds(152, 180, 75, 25));
    bOk->SetDefault(true);
    bOk->SetModalResult(mrOk);
    bOk->OnClick = [this](TObject*) { bOkClick(); };
    bCancel = rpCreateControl<TButton>(this, this, "bCancel", Bounds(233, 180, 75, 25));
    bCancel->SetCancel(true);
    bCancel->SetModalResult(mrCancel);

    Image1 = rpCreateControl<TImage>(this, this, "Image1", Bounds(8, 184, 16, 16));
    Image1->SetVisible(false);
    Image1->Picture()->Bitmap()->LoadFromResourceName(MainInstance(), AddInSupport::BarCodePictureName);
}

void TrpBarCodeForm::SetTexts()
{
    SetCaption(rpLoadStr(53650));
    Label1->SetCaption(rpLoadStr(53651));
    Label2->SetCaption(rpLoadStr(53652));
    GroupBox1->SetCaption(rpLoadStr(53653));
    ckCheckSum->SetCaption(rpLoadStr(53654));
    ckViewText->SetCaption(rpLoadStr(53655));
    DBBtn->SetHint(rpLoadStr(53656));
    VarBtn->SetHint(rpLoadStr(53657));
    GroupBox2->SetCaption(rpLoadStr(53658));
    bOk->SetCaption(rpLoadStr(55000));
    bCancel->SetCaption(rpLoadStr(55001));
    cbType->Items()->Clear();
    for (const std::string& name : BarTypeNames())
        cbType->Items()->Add(name);
    cbType->SetItemIndex(0);
}

void TrpBarCodeForm::ShowEditor(TrpView* view)
{
    auto* barcode = dynamic_cast<TrpBarCodeView*>(view);
    if (!barcode)
        return;
    TrpBarCodeParams& param = barcode->Param;
    if (barcode->Memo->Count() > 0)
        M1->SetText(barcode->Memo->Strings(0));
    cbType->SetItemIndex(param.BarType < BarTypeCount ? param.BarType : -1);
    ckCheckSum->SetChecked(param.CheckSum != 0);
    ckViewText->SetChecked(param.ShowText != 0);
    if (param.Angle == 0)
        RB1->SetChecked(true);
    else if (param.Angle == 90)
        RB2->SetChecked(true);
    else if (param.Angle == 180)
        RB3->SetChecked(true);
    else
        RB4->SetChecked(true);
    SetActiveControl(M1);

    if (ShowModal() != mrOk)
        return;
    barcode->Memo->Clear();
    barcode->Memo->Add(M1->Text());
    param.CheckSum = ckCheckSum->Checked() ? 1 : 0;
    param.ShowText = ckViewText->Checked() ? 1 : 0;
    // A stored type outside the list stays as it is unless another one was picked.
    if (cbType->ItemIndex() >= 0)
        param.BarType = static_cast<std::uint8_t>(cbType->ItemIndex());
    if (RB1->Checked())
        param.Angle = 0;
    else if (RB2->Checked())
        param.Angle = 90;
    else if (RB3->Checked())
        param.Angle = 180;
    else
        param.Angle = 270;
}

void TrpBarCodeForm::bOkClick()
{
    try {
        TBarcode barcode(nullptr);
        barcode.SetText(M1->Text());
        barcode.SetChecksum(ckCheckSum->Checked());
        // No type picked (a stored one outside the list) is refused like a wrong type.
        const int type = cbType->ItemIndex() < 0 ? BarTypeCount : cbType->ItemIndex();
        barcode.SetTyp(BarTypeOf(static_cast<std::uint8_t>(type)));
        TBitmap bitmap;
        bitmap.SetSize(CheckSize, CheckSize);
        barcode.DrawBarcode(bitmap.Canvas());
    } catch (const Exception&) {
        Application->MessageBox(rpLoadStr(55339), rpLoadStr(55206), MB_OK | MB_ICONERROR);
        SetModalResult(mrNone);
    }
}

void TrpBarCodeForm::TakeChoice(TrpChoiceForm* chooser)
{
    if (chooser->ShowModal() == mrOk && !chooser->SelectedItem.empty())
        M1->SetText("[" + chooser->SelectedItem + "]");
    TComponent::Free(chooser);
    M1->SetFocus();
}

void TrpBarCodeForm::DBBtnClick() { TakeChoice(TForm::Create<TrpFieldsForm>(nullptr)); }

void TrpBarCodeForm::VarBtnClick() { TakeChoice(TForm::Create<TrpVarForm>(nullptr)); }

// --- Registration

void RegisterBarCodeObject()
{
    using namespace AddInSupport;
    if (!rpBarCodeForm)
        rpBarCodeForm = TForm::Create<TrpBarCodeForm>(nullptr);
    RegisterAddInOnce(rpViewClassOf<TrpBarCodeView>(), rpBarCodeForm->Image1->Picture()->Bitmap(), rpLoadStr(55338),
                      rpBarCodeForm);
}

void UnRegisterBarCodeObject()
{
    AddInSupport::UnRegisterAddIn(rpViewClassOf<TrpBarCodeView>().ClassName);
    TComponent::Free(rpBarCodeForm);
    rpBarCodeForm = nullptr;
}
