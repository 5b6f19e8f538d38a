#include "reportexport/RP_ChBox.h"

#include "reportexport/AddInSupport.h"

#include "report/RP_Pars.h"
#include "report/rpEngine.h"
#include "report/rpReport.h"
#include "report/rpResources.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/Resources.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/Streams.h"

#include <cmath>
#include <cstdio>
#include <memory>

namespace RP_ChBox {
namespace {

constexpr int MarkInset = 4;
constexpr int MarkPenWidth = 3;

// The tool picture, from RegisterCheckBoxObject to UnRegisterCheckBoxObject.
std::unique_ptr<TBitmap> ToolPicture;

bool MarksText(const std::string& text) { return !text.empty() && text[0] != '0'; }

// Every simple kind but the empty value, null, texts and booleans is a number.
bool IsNumber(TVarType type)
{
    return type != varEmpty && type != varNull && type != varString && type != varBoolean;
}

// The integer part of a number as decimal text, without a sign on zero.
std::string IntegerPart(double value)
{
    double whole = std::trunc(value);
    if (!std::isfinite(whole))
        return std::to_string(value);
    if (whole == 0)
        whole = 0; // no "-0"
    char text[400];
    std::snprintf(text, sizeof text, "%.0f", whole);
    return text;
}

// What a box stores for the value of its first line. A text that is not a number (a field
// holding "Sì") is kept as it is rather than stopping the build over a failed conversion.
std::string MarkText(const Variant& value)
{
    if (VarIsArray(value))
        return VarToStr(value);
    const TVarType type = VarType(value) & varTypeMask;
    if (type == varBoolean)
        return static_cast<bool>(value) ? "-1" : "0";
    if (IsNumber(type))
        return IntegerPart(static_cast<double>(value));
    return VarToStr(value);
}

} // namespace
} // namespace RP_ChBox

using namespace RP_ChBox;

TrpCheckBoxView::TrpCheckBoxView()
{
    ObjectType = 10;
    FrameWidth = 2.0f;
    NamePrefix = "Check";
}

void TrpCheckBoxView::DefinePopupMenu(TPopupMenu*) {}

bool TrpCheckBoxView::Marked() const { return Memo->Count() > 0 && MarksText(Memo->Strings(0)); }

void TrpCheckBoxView::Draw(TCanvas* canvas)
{
    BeginDraw(canvas);
    WorkMemo->Assign(Memo.get());
    CalcGaps();
    ShowBackGround();
    const bool marked = DocMode == dmDesigning || (WorkMemo->Count() > 0 && MarksText(WorkMemo->Strings(0)));
    TRect box = DrawRect;
    const int insetX = static_cast<int>(Round(MarkInset * ScaleX));
    const int insetY = static_cast<int>(Round(MarkInset * ScaleY));
    box = {box.Left + insetX, box.Top + insetY, box.Right - insetX, box.Bottom - insetY};
    TPen* pen = Canvas->Pen();
    pen->SetMode(pmCopy);
    pen->SetStyle(psSolid);
    pen->SetColor(clBlack);
    if (marked) {
        pen->SetWidth(static_cast<int>(Round(MarkPenWidth * ScaleX)));
        Canvas->MoveTo(box.Left, box.Top);
        Canvas->LineTo(box.Right, box.Bottom);
        Canvas->MoveTo(box.Left, box.Bottom);
        Canvas->LineTo(box.Right, box.Top);
    }
    ShowFrame();
    RestoreCoord();
}

void TrpCheckBoxView::Print(TStream& stream)
{
    if (!AddInSupport::BeginAddInPrint(*this))
        return;
    if (WorkMemo->Count() > 0 && rpParser)
        WorkMemo->SetStrings(0, MarkText(rpParser->Calc(WorkMemo->Strings(0))));
    AddInSupport::WriteAddInRecord(*this, stream);
}

void TrpCheckBoxView::ExportData()
{
    TrpView::ExportData();
    if (CurReport)
        CurReport->InternalOnExportText(Left, Top, Marked() ? "X" : "", this);
}

void RegisterCheckBoxObject()
{
    if (!ToolPicture) {
        ToolPicture = std::make_unique<TBitmap>();
        ToolPicture->LoadFromResourceName(MainInstance(), AddInSupport::CheckBoxPictureName);
    }
    AddInSupport::RegisterAddInOnce(rpViewClassOf<TrpCheckBoxView>(), ToolPicture.get(), rpLoadStr(55223), nullptr);
}

void UnRegisterCheckBoxObject()
{
    AddInSupport::UnRegisterAddIn(rpViewClassOf<TrpCheckBoxView>().ClassName);
    ToolPicture.reset();
}
