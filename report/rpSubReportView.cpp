#include "report/rpSubReportView.h"

#include "report/rpEngine.h"
#include "report/rpResources.h"

#include "platform/rtl/Streams.h"
#include "platform/rtl/TextUtils.h"

TrpSubReportView::TrpSubReportView()
{
    NamePrefix = "SubReport";
    ObjectType = 3;
}

void TrpSubReportView::Assign(TrpView* from)
{
    TrpView::Assign(from);
    if (auto* subReport = dynamic_cast<TrpSubReportView*>(from))
        SubPage = subReport->SubPage;
}

void TrpSubReportView::SaveToStream(TStream& stream)
{
    TrpView::SaveToStream(stream);
    stream.WriteInt32(SubPage);
}

void TrpSubReportView::LoadFromStream(TStream& stream)
{
    TrpView::LoadFromStream(stream);
    SubPage = stream.ReadInt32();
}

void TrpSubReportView::Draw(TCanvas* canvas)
{
    BeginDraw(canvas);
    FrameWidth = 1.0f;
    CalcGaps();
    Canvas->Brush()->SetBitmap(nullptr);
    Canvas->Brush()->SetStyle(bsSolid);
    Canvas->Brush()->SetColor(clWhite);
    Canvas->Pen()->SetStyle(psSolid);
    Canvas->Pen()->SetColor(clBlack);
    Canvas->Pen()->SetWidth(1);
    Canvas->Rectangle(Left, Top, Left + Width + 1, Top + Height + 1);
    SetCaptionFont();
    Canvas->Brush()->SetStyle(bsClear);
    Canvas->TextRect(DrawRect, Left + 2, Top + 2, rpLoadStr(55226) + " " + IntToStr(static_cast<std::int64_t>(SubPage) + 1));
    RestoreCoord();
}

void TrpSubReportView::DefinePopupMenu(TPopupMenu*) {}
