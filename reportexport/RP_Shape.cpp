#include "reportexport/RP_Shape.h"

#include "reportexport/AddInSupport.h"

#include "report/RP_Utils.h"
#include "report/rpEngine.h"
#include "report/rpResources.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/Button.h"
#include "platform/gui/ComboBox.h"
#include "platform/gui/GroupBox.h"
#include "platform/gui/Image.h"
#include "platform/gui/Resources.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/Streams.h"

#include <algorithm>
#include <limits>

namespace RP_Shape {
namespace {

constexpr int KindCount = 4;
constexpr int FirstKindNameId = 55309;

// The edge one past the last pixel, which the drawing calls exclude.
int Past(int edge) { return edge < std::numeric_limits<int>::max() ? edge + 1 : edge; }

} // namespace
} // namespace RP_Shape

using namespace RP_Shape;

TrpShapeForm* rpShapeForm = nullptr;

// --- The object

TrpShapeView::TrpShapeView()
{
    ObjectType = 10;
    NamePrefix = "Shape";
}

void TrpShapeView::Assign(TrpView* from)
{
    TrpView::Assign(from);
    if (auto* shape = dynamic_cast<TrpShapeView*>(from))
        ShapeType = shape->ShapeType;
}

void TrpShapeView::LoadFromStream(TStream& stream)
{
    TrpView::LoadFromStream(stream);
    ShapeType = stream.ReadUInt8();
}

void TrpShapeView::SaveToStream(TStream& stream)
{
    TrpView::SaveToStream(stream);
    stream.WriteUInt8(ShapeType);
}

void TrpShapeView::DefinePopupMenu(TPopupMenu*) {}

void TrpShapeView::Draw(TCanvas* canvas)
{
    BeginDraw(canvas);
    WorkMemo->Assign(Memo.get());
    CalcGaps();
    // The background only, never the frame lines: the outline is the shape's own.
    const TColor fill = FillColor;
    FillColor = clNone;
    FrameTyp = 0;
    ShowBackGround();
    FillColor = fill;
    DrawShape();
    RestoreCoord();
}

void TrpShapeView::DrawShape()
{
    const int left = Left, top = Top, right = ScaledRight(), bottom = ScaledBottom();
    TPen* pen = Canvas->Pen();
    pen->SetWidth(static_cast<int>(Round(FrameWidth)));
    pen->SetColor(FrameColor);
    pen->SetStyle(psSolid);
    pen->SetMode(pmCopy);
    TBrush* brush = Canvas->Brush();
    brush->SetBitmap(nullptr);
    // A colour set on a clear brush makes it solid again, so a shape without fill gets its clear
    // style after the colour.
    if (FillColor == clNone) {
        brush->SetStyle(bsClear);
    } else {
        brush->SetColor(FillColor);
        brush->SetStyle(bsSolid);
    }
    switch (ShapeType) {
    case skRectangle:
        Canvas->Rectangle(left, top, Past(right), Past(bottom));
        break;
    case skRoundRectangle: {
        const int corner = std::min(Width, Height) / 4;
        Canvas->RoundRect(left, top, Past(right), Past(bottom), corner, corner);
        break;
    }
    case skEllipse:
        Canvas->Ellipse(left, top, Past(right), Past(bottom));
        break;
    case skTriangle:
        Canvas->Polygon({{right, bottom}, {left, bottom}, {static_cast<int>(left + (std::int64_t{right} - left) / 2), top}});
        break;
    default:
        break;
    }
}

// --- The dialog

TrpShapeForm::TrpShapeForm(TComponent* AOwner) : TrpObjEditorForm(AOwner)
{
    SetName("rpShapeForm");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientWidth(226);
    SetClientHeight(102);
    GroupBox1 = rpCreateControl<TGroupBox>(this, this, "GroupBox1", Bounds(8, 8, 210, 52));
    CB1 = rpCreateControl<TComboBox>(this, GroupBox1, "CB1", Bounds(10, 20, 190, 21));
    CB1->SetStyle(csDropDownList);
    Button1 = rpCreateControl<TButton>(this, this, "Button1", Bounds(62, 70, 75, 25));
    Button1->SetDefault(true);
    Button1->SetModalResult(mrOk);
    Button2 = rpCreateControl<TButton>(this, this, "Button2", Bounds(143, 70, 75, 25));
    Button2->SetCancel(true);
    Button2->SetModalResult(mrCancel);
    Image1 = rpCreateControl<TImage>(this, this, "Image1", Bounds(8, 74, 16, 16));
    Image1->SetVisible(false);
    Image1->Picture()->Bitmap()->LoadFromResourceName(MainInstance(), AddInSupport::ShapePictureName);

    SetCaption(rpLoadStr(53620));
    GroupBox1->SetCaption(rpLoadStr(53621));
    Button1->SetCaption(rpLoadStr(55000));
    Button2->SetCaption(rpLoadStr(55001));
    SetActiveControl(CB1);
}

void TrpShapeForm::ShowEditor(TrpView* view)
{
    auto* shape = dynamic_cast<TrpShapeView*>(view);
    if (!shape)
        return;
    CB1->Items()->Clear();
    for (int kind = 0; kind < KindCount; ++kind)
        CB1->Items()->Add(rpLoadStr(FirstKindNameId + kind));
    CB1->SetItemIndex(shape->ShapeType < KindCount ? shape->ShapeType : -1);
    if (ShowModal() == mrOk && CB1->ItemIndex() >= 0)
        shape->ShapeType = static_cast<std::uint8_t>(CB1->ItemIndex());
}

// --- Registration

void RegisterShapeObject()
{
    using namespace AddInSupport;
    if (!rpShapeForm)
        rpShapeForm = TForm::Create<TrpShapeForm>(nullptr);
    RegisterAddInOnce(rpViewClassOf<TrpShapeView>(), rpShapeForm->Image1->Picture()->Bitmap(), rpLoadStr(55225),
                      rpShapeForm);
}

void UnRegisterShapeObject()
{
    AddInSupport::UnRegisterAddIn(rpViewClassOf<TrpShapeView>().ClassName);
    TComponent::Free(rpShapeForm);
    rpShapeForm = nullptr;
}
