#include "report/rpBandView.h"

#include "report/rpEngine.h"
#include "report/rpPages.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/Regions.h"

#include <initializer_list>

namespace rpBandView {
namespace {

constexpr int TitleSize = 18, TitleLength = 100;

bool OneOf(int bandType, std::initializer_list<int> types)
{
    for (int type : types)
        if (type == bandType)
            return true;
    return false;
}

} // namespace
} // namespace rpBandView

TrpBandView::TrpBandView()
{
    NamePrefix = "Band";
    ObjectType = 2;
    Flags = 48;
    Format = 0;
}

TrpBandType TrpBandView::GetBandType() const
{
    return FrameTyp < rpBandTypeCount ? static_cast<TrpBandType>(FrameTyp) : btNone;
}

void TrpBandView::SetBandType(TrpBandType bandType) { FrameTyp = static_cast<std::uint16_t>(bandType); }

bool TrpBandView::IsCrossBand() const
{
    const TrpBandType type = GetBandType();
    return type == btCrossHeader || type == btCrossData || type == btCrossFooter;
}

TRect TrpBandView::TitleTab() const
{
    using namespace rpBandView;
    if (IsCrossBand())
        return {Left - TitleSize, Top, Left, Top + TitleLength};
    return {Left, Top - TitleSize, Left + TitleLength, Top};
}

void TrpBandView::Draw(TCanvas* canvas)
{
    if (!rpDesigner || !rpDesigner->Page)
        return;
    const TrpPrnInfo& info = rpDesigner->Page->PrinterInfo;
    FrameWidth = 1.0f;
    if (IsCrossBand()) {
        Top = 0;
        Height = info.PaperHeightPx;
    } else {
        Left = 0;
        Width = info.PaperWidthPx;
    }
    BeginDraw(canvas);
    CalcGaps();
    TBrush* brush = Canvas->Brush();
    brush->SetBitmap(rpPatternBitmap);
    Canvas->FillRect(DrawRect);
    brush->SetBitmap(nullptr);
    brush->SetStyle(bsClear);
    Canvas->Pen()->SetStyle(psSolid);
    Canvas->Pen()->SetWidth(1);
    Canvas->Pen()->SetColor(clBtnFace);
    Canvas->Rectangle(Left, Top, Left + Width + 1, Top + Height + 1);
    const int type = GetBandType();
    DrawTitle(type < static_cast<int>(rpBandNames.size()) ? rpBandNames[static_cast<std::size_t>(type)] : "");
    RestoreCoord();
}

void TrpBandView::DrawTitle(const std::string& name)
{
    SetCaptionFont();
    TFont* font = Canvas->Font();
    font->SetOrientation(IsCrossBand() ? 900 : 0);
    if (ShowBandTitles) {
        const TRect tab = TitleTab();
        Canvas->Brush()->SetStyle(bsSolid);
        Canvas->Brush()->SetColor(clBtnFace);
        Canvas->FillRect(tab);
        TPen* pen = Canvas->Pen();
        pen->SetColor(clBtnHighlight);
        Canvas->MoveTo(tab.Left, tab.Bottom - 1);
        Canvas->LineTo(tab.Left, tab.Top);
        Canvas->LineTo(tab.Right, tab.Top);
        pen->SetColor(clBtnShadow);
        if (IsCrossBand()) {
            Canvas->MoveTo(tab.Left, tab.Bottom - 1);
            Canvas->LineTo(tab.Right, tab.Bottom - 1);
        } else {
            Canvas->MoveTo(tab.Right - 1, tab.Top);
            Canvas->LineTo(tab.Right - 1, tab.Bottom);
        }
        Canvas->Brush()->SetStyle(bsClear);
        if (IsCrossBand())
            Canvas->TextOut(Left - 15, Top + 94, name);
        else
            Canvas->TextOut(Left + 4, Top - 17, name);
    } else {
        Canvas->Brush()->SetStyle(bsClear);
        if (IsCrossBand())
            Canvas->TextOut(Left + 2, Top + 94, name);
        else
            Canvas->TextOut(Left + 4, Top + 2, name);
    }
    font->SetOrientation(0);
}

HRGN TrpBandView::GetClipRgn(TrpRgnType rgnType)
{
    if (!ShowBandTitles)
        return TrpView::GetClipRgn(rgnType);
    HRGN band = rgnType == rtExtended
                    ? CreateRectRgn(Left - 10, Top - 10, Left + Width + 10, Top + Height + 10)
                    : CreateRectRgn(Left, Top, Left + Width + 1, Top + Height + 1);
    const TRect tab = TitleTab();
    HRGN title = CreateRectRgn(tab.Left, tab.Top, tab.Right, tab.Bottom);
    CombineRgn(band, band, title, RGN_OR);
    DeleteObject(title);
    return band;
}

void TrpBandView::DefinePopupMenu(TPopupMenu* menu)
{
    using rpBandView::OneOf;
    const int type = GetBandType();
    if (OneOf(type, {0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 16, 17, 18}))
        TrpView::DefinePopupMenu(menu);
    if (OneOf(type, {0, 1, 5, 6, 8, 9, 11, 12, 16}))
        AddFlagItem(menu, 55196, 2);
    if (OneOf(type, {5, 8}))
        AddFlagItem(menu, 55197, 4);
    if (OneOf(type, {0, 1, 4, 5, 6, 7, 8, 9, 10, 11, 12, 16, 17}))
        AddFlagItem(menu, 55198, 8);
    if (OneOf(type, {2, 3}))
        AddFlagItem(menu, 55230, 16, false);
    if (OneOf(type, {3}))
        AddFlagItem(menu, 55231, 32, false);
    if (OneOf(type, {4, 7, 10, 16, 18}))
        AddFlagItem(menu, 55232, 64, false);
}
