#pragma once
// The shape report object: a rectangle, a rounded rectangle, an ellipse or a triangle drawn with
// the object's frame colour and width and filled with its fill colour; and its small dialog.

#include "report/rpView.h"

#include "platform/rtl/Classes.h"

#include <cstdint>

class TButton;
class TComboBox;
class TGroupBox;
class TImage;

// Placing it on a form links the shape object into the program.
class TrpShapeObject : public TComponent {
    TESS_CLASS(TrpShapeObject, TComponent)
public:
    explicit TrpShapeObject(TComponent* AOwner) : TComponent(AOwner) {}
};

namespace RP_Shape {
enum TrpShapeKind : std::uint8_t { skRectangle, skRoundRectangle, skEllipse, skTriangle };
} // namespace RP_Shape

class TrpShapeView : public TrpView {
    TESS_CLASS(TrpShapeView, TrpView)
public:
    // A rectangle; names Shape1, Shape2, ...
    TrpShapeView();

    void Assign(TrpView* from) override;
    // Never shows the standard frame lines: FrameTyp becomes 0 and stays so.
    void Draw(TCanvas* canvas) override;
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
    void DefinePopupMenu(TPopupMenu* menu) override;

    // A TrpShapeKind; a stored value above the four kinds draws nothing.
    std::uint8_t ShapeType = RP_Shape::skRectangle;

private:
    void DrawShape();
};

class TrpShapeForm : public TrpObjEditorForm {
    TESS_CLASS(TrpShapeForm, TrpObjEditorForm)
public:
    explicit TrpShapeForm(TComponent* AOwner);

    // Shows the object's kind and takes the chosen one back after OK.
    void ShowEditor(TrpView* view) override;

    TGroupBox* GroupBox1 = nullptr;
    TComboBox* CB1 = nullptr;
    TButton* Button1 = nullptr;
    TButton* Button2 = nullptr;
    // Hidden; its picture is the designer's tool button.
    TImage* Image1 = nullptr;
};

// The dialog, from InitReportExport to DoneReportExport.
extern TrpShapeForm* rpShapeForm;

// Creates the dialog and registers the object class once; the other frees the dialog and takes
// the class out of the engine's registry.
void RegisterShapeObject();
void UnRegisterShapeObject();
