#pragma once
// The barcode report object: prints its first text line as a barcode of one of fifteen
// symbologies, turned by 0, 90, 180 or 270 degrees, with the text beside the bars; and the small
// dialog that edits it in a designer.

#include "report/rpView.h"

#include "platform/rtl/Classes.h"

#include <cstdint>
#include <memory>
#include <string>

class TBarcode;
class TButton;
class TCheckBox;
class TComboBox;
class TEdit;
class TGroupBox;
class TImage;
class TLabel;
class TMetafile;
class TRadioButton;
class TrpChoiceForm;
class TrpSpeedButton;

// Placing it on a form links the barcode object into the program.
class TrpBarCodeObject : public TComponent {
    TESS_CLASS(TrpBarCodeObject, TComponent)
public:
    explicit TrpBarCodeObject(TComponent* AOwner) : TComponent(AOwner) {}
};

// The barcode parameters, stored after the common part of the object's record as 24 bytes:
// four single bytes, the module (32-bit), the ratio and the angle (64-bit doubles), little-endian.
struct TrpBarCodeParams {
    std::uint8_t CheckSum = 1;
    std::uint8_t ShowText = 1;
    // Kept and stored, never used.
    std::uint8_t Reserved = 0;
    // A barcode type ordinal; a stored value may lie outside the fifteen types.
    std::uint8_t BarType = 3;
    std::int32_t Modul = 1;
    double Ratio = 2.0;
    // 0, 90, 180 or 270.
    double Angle = 0.0;
};

constexpr int rpBarCodeParamsSize = 24;

class TrpBarCodeView : public TrpView {
    TESS_CLASS(TrpBarCodeView, TrpView)
public:
    // Code 39 of "12345678" with check character and text; names Bar1, Bar2, ...
    TrpBarCodeView();
    ~TrpBarCodeView() override;

    void Assign(TrpView* from) override;
    // Sizes the object to the bars (Width, or Height at 90 and 270 degrees; the change stays) and
    // draws them. A code the symbology cannot draw leaves an empty box with its background and
    // frame.
    void Draw(TCanvas* canvas) override;
    // A first line starting with "[" is replaced by the value of the whole line.
    void Print(TStream& stream) override;
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
    void DefinePopupMenu(TPopupMenu* menu) override;

    TrpBarCodeParams Param;

private:
    // The code the bars show: the first working line, or "12345678" when there is none or when a
    // digits-only symbology gets anything but digits.
    std::string CodeText() const;
    // The bars and the text on a metafile of the object's size; raises what the barcode raises.
    std::unique_ptr<TMetafile> MakePicture(const std::string& code);
    void DrawCaption(TCanvas* canvas, const std::string& code);

    const std::unique_ptr<TBarcode> BarC;
};

class TrpBarCodeForm : public TrpObjEditorForm {
    TESS_CLASS(TrpBarCodeForm, TrpObjEditorForm)
public:
    explicit TrpBarCodeForm(TComponent* AOwner);

    // Shows the object's code, type, flags and angle, and takes them back after OK.
    void ShowEditor(TrpView* view) override;

    TLabel* Label1 = nullptr;
    TEdit* M1 = nullptr;
    TrpSpeedButton* DBBtn = nullptr;
    TrpSpeedButton* VarBtn = nullptr;
    TLabel* Label2 = nullptr;
    TComboBox* cbType = nullptr;
    TGroupBox* GroupBox1 = nullptr;
    TCheckBox* ckCheckSum = nullptr;
    TCheckBox* ckViewText = nullptr;
    TGroupBox* GroupBox2 = nullptr;
    TRadioButton* RB1 = nullptr;
    TRadioButton* RB2 = nullptr;
    TRadioButton* RB3 = nullptr;
    TRadioButton* RB4 = nullptr;
    TButton* bOk = nullptr;
    TButton* bCancel = nullptr;
    // Hidden; its picture is the designer's tool button.
    TImage* Image1 = nullptr;

    // Refuses a code the chosen symbology cannot draw: a message box, and the dialog stays open.
    void bOkClick();
    void DBBtnClick();
    void VarBtnClick();

private:
    void CreateComponents();
    void SetTexts();
    // Puts "[" + name + "]" into the code when the chooser is closed with OK on a name.
    void TakeChoice(TrpChoiceForm* chooser);
};

// The dialog, from InitReportExport to DoneReportExport.
extern TrpBarCodeForm* rpBarCodeForm;

// Creates the dialog and registers the object class once; the other frees the dialog and takes
// the class out of the engine's registry.
void RegisterBarCodeObject();
void UnRegisterBarCodeObject();
