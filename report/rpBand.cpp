#include "report/rpBand.h"

#include "report/RP_DBRel.h"
#include "report/RP_DBSet.h"
#include "report/RP_DSet.h"
#include "report/RP_Intrp.h"
#include "report/rpEngine.h"
#include "report/rpMemoView.h"
#include "report/rpPages.h"
#include "report/rpReport.h"
#include "report/rpResources.h"
#include "report/rpSubReportView.h"
#include "report/rpLineView.h"

#include "platform/rtl/TextUtils.h"

#include <algorithm>

namespace rpBand {
namespace {

const std::vector<TrpBandType> FooterTypes = {btPageFooter, btMasterFooter, btDetailFooter, btSubDetailFooter,
                                             btGroupFooter, btReportSummary};
const std::vector<TrpBandType> CrossFooterTypes = {btPageFooter,      btMasterFooter, btDetailFooter,
                                                  btSubDetailFooter, btGroupFooter,  btCrossFooter,
                                                  btReportSummary};

// Bands that keep their own place on the sheet instead of following the current position.
bool KeepsOwnTop(TrpBandType type) { return type == btPageFooter || type == btOverlay || type == btNone; }

TStream& SheetStream() { return *MasterReport->PreparedPages->Pages(PageNo)->Stream; }

// The run-time object moved by dx and dy while it is written into the sheet.
class TMovedView {
public:
    TMovedView(TrpView* view, int dx, int dy) : View(view), Dx(dx), Dy(dy)
    {
        View->Left += Dx;
        View->Top += Dy;
    }
    ~TMovedView()
    {
        View->Left -= Dx;
        View->Top -= Dy;
    }
    TMovedView(const TMovedView&) = delete;
    TMovedView& operator=(const TMovedView&) = delete;

private:
    TrpView* View;
    int Dx, Dy;
};

bool WholeText(TrpView* view)
{
    auto* memo = dynamic_cast<TrpMemoView*>(view);
    return memo && (memo->DrawMode == drAll || memo->DrawMode == drAfterCalcHeight);
}

} // namespace
} // namespace rpBand

TrpBand::TrpBand(TrpBandType bandType, TrpPage* page)
    : Page(page), BandType(bandType), Memo(std::make_unique<TStringList>()), Script(std::make_unique<TStringList>()),
      AggValues(std::make_unique<TStringList>())
{
}

TrpBand::~TrpBand()
{
    if (DataSource)
        DataSource->Exit();
    if (CrossDataSource && CrossDataSource != DataSource)
        CrossDataSource->Exit();
    if (CurBand == this)
        CurBand = nullptr;
    if (AggregateBand == this)
        AggregateBand = nullptr;
}

bool TrpBand::IsDataBand() const
{
    return BandType == btMasterData || BandType == btDetailData || BandType == btSubDetailData;
}

std::string TrpBand::Name() const { return View ? View->Name : std::string(); }

TrpBand* TrpBand::DataBand()
{
    TrpBand* band = this;
    while (!band->DataSource && band->PrevBand)
        band = band->PrevBand;
    return band;
}

void TrpBand::InitDataSet(const std::string& text)
{
    if (BandType == btGroupHeader) {
        GroupExpression = text;
        return;
    }
    if (text.find(';') != std::string::npos)
        return;
    DataSource = ResolveBandDataSet(Trim(text), FOwnedDataSource);
}

// --- Showing

bool TrpBand::Draw()
{
    using namespace rpBand;
    bool result = false;
    CurPage = Page;
    CurView = View;
    CurBand = this;
    AggregateBand = this;
    ComputedHeight = -1;
    NewPageRequested = false;
    NewColumnRequested = false;
    if (CurReport && CurReport->OnBeginBand)
        CurReport->OnBeginBand(this);
    try {
        if (rpInterpretator && Script->Count() > 0)
            rpInterpretator->DoScript(Script.get());
        CurBand = this;
        if (NewPageRequested) {
            Page->ColumnIndex = Page->ColumnCount - 1;
            Page->NewColumn(this);
        } else if (NewColumnRequested) {
            Page->NewColumn(this);
        }
        if (Visible) {
            if (BandType == btColumnHeader)
                Page->ColumnStartY = Page->CurrentY;
            if (BandType == btPageFooter)
                Top = Page->BottomLimit;
            if (Exists()) {
                if (!KeepsOwnTop(BandType)) {
                    const int height = DoCalcHeight();
                    if (Page->CurrentY + height > Page->BottomLimit && !SplitAcrossPages) {
                        result = true;
                        if (Page->IsSubReport)
                            return true;
                        if (Page->AtFreshTop() && Page->UsableHeight() <= 0) {
                            CurView = Objects.front();
                            DoError();
                            return true;
                        }
                        CheckPageBreak(0, 10000, false);
                    }
                }
                SubReportsDone = true;
                if (IsDataBand() && DataSource && NextBand && !NextBand->DataSource) {
                    DrawChain();
                } else {
                    DoDraw();
                    if (!IsDataBand() && BandType != btGroupHeader && NewPageAfterEach)
                        Page->NewPage();
                }
                if (!SubReportsDone)
                    result = true;
            }
        } else if (IsDataBand()) {
            Page->DoAggregate(FooterTypes);
        }
        if (!KeepValues) {
            if (BandType != btPageFooter || PageNo + 1 == MasterReport->PreparedPages->Count())
                InitValues();
        }
    } catch (const Exception&) {
        DoError();
        return true;
    }
    if (CurReport && CurReport->OnEndBand)
        CurReport->OnEndBand(this);
    return result;
}

void TrpBand::DrawChain()
{
    for (TrpBand* band = this; band && (band == this || !band->DataSource); band = band->NextBand) {
        if (MasterReport->Terminated)
            return;
        band->DoDraw();
    }
}

// --- Height

int TrpBand::DoCalcHeight()
{
    if (IsDataBand() && DataSource && NextBand && !NextBand->DataSource) {
        int sum = 0;
        for (TrpBand* band = this; band && (band == this || !band->DataSource); band = band->NextBand) {
            band->ComputedHeight = band->CanStretch ? band->CalcHeight() : band->Height;
            sum += band->ComputedHeight;
        }
        return sum;
    }
    ComputedHeight = CanStretch ? CalcHeight() : Height;
    return ComputedHeight;
}

int TrpBand::CalcHeight()
{
    if (HasCross() && BandType != btPageFooter)
        return CrossCellsHeight();
    FSavedHeights.clear();
    int result = Height;
    for (TrpView* view : Objects) {
        FSavedHeights.push_back({view, {view->Top, view->Height}});
        if (view->Parent != this)
            continue;
        if (auto* stretching = dynamic_cast<TrpStretcheable*>(view)) {
            CurView = view;
            result = std::max(result, view->Top + stretching->CalcHeight());
        }
    }
    return result;
}

int TrpBand::CrossCellsHeight()
{
    TrpBand* crossData = Page->Bands(btCrossData);
    TrpDataset* source = CrossSource();
    int result = Height;
    Page->ColumnNumber = 1;
    MasterReport->InternalOnBeginColumn(this);
    if (!source)
        return result;
    source->First();
    while (!source->Eof() && !MasterReport->Terminated) {
        int width = crossData->Width;
        MasterReport->InternalOnPrintColumn(Page->ColumnNumber, width);
        for (TrpView* view : Objects) {
            if (auto* stretching = dynamic_cast<TrpStretcheable*>(view)) {
                stretching->DrawMode = drAll;
                CurView = view;
                result = std::max(result, view->Top + stretching->CalcHeight());
            }
        }
        ++Page->ColumnNumber;
        source->Next();
    }
    return result;
}

void TrpBand::StretchObjects(int height)
{
    if (FSavedHeights.empty())
        for (TrpView* view : Objects)
            FSavedHeights.push_back({view, {view->Top, view->Height}});
    for (TrpView* view : Objects) {
        const bool stretches = dynamic_cast<TrpStretcheable*>(view) || dynamic_cast<TrpLineView*>(view);
        if (stretches && (view->Flags & 1))
            view->Height = height - view->Top;
    }
}

void TrpBand::UnStretchObjects()
{
    for (auto& [view, saved] : FSavedHeights)
        view->Height = saved.Height;
}

bool TrpBand::CheckPageBreak(int top, int height, bool testOnly)
{
    const bool fits = Page->BottomLimit >= top + Page->ColumnFooterHeight() + height;
    if (!fits && !testOnly && Page->CanStartColumn())
        Page->NewColumn(this);
    return !fits;
}

// --- Drawing

void TrpBand::DoDraw()
{
    using namespace rpBand;
    if (!Exists())
        return;
    const int savedTop = Top;
    const bool ownTop = KeepsOwnTop(BandType);
    if (!ownTop)
        Top = Page->CurrentY;
    bool subReportsTookOver = false;
    if (CanStretch) {
        if (ComputedHeight < 0)
            ComputedHeight = CalcHeight();
        const int height = ComputedHeight;
        if (height > Height)
            StretchObjects(height);
        DrawnHeight = height;
        if (!SplitAcrossPages && !ownTop) {
            CheckPageBreak(Top, height, false);
            Top = Page->CurrentY;
        }
        if (SplitAcrossPages) {
            DrawPageBreak();
        } else {
            subReportsTookOver = DrawObjects();
            DrawCross();
        }
        UnStretchObjects();
        if (!SplitAcrossPages && !subReportsTookOver && !ownTop)
            Page->CurrentY += height;
    } else {
        if (!ownTop && !SplitAcrossPages) {
            CheckPageBreak(Top, Height, false);
            Top = Page->CurrentY;
        }
        if (SplitAcrossPages) {
            DrawnHeight = ComputedHeight < 0 ? Height : ComputedHeight;
            DrawPageBreak();
        } else {
            subReportsTookOver = DrawObjects();
            DrawCross();
            if (!ownTop && !subReportsTookOver)
                Page->CurrentY += Height;
        }
    }
    Top = savedTop;
    if (IsDataBand())
        Page->DoAggregate(FooterTypes);
}

bool TrpBand::DrawObjects()
{
    for (std::size_t i = 0; i < Objects.size(); ++i) {
        if (MasterReport->Terminated)
            break;
        TrpView* view = Objects[i];
        if (view->ObjectType == 3 && view->Parent == this) {
            SubReportStart = static_cast<int>(i);
            PrepareSubReports();
            DoSubReports();
            return true;
        }
        DrawObject(view);
    }
    return false;
}

void TrpBand::DrawObject(TrpView* view)
{
    using namespace rpBand;
    CurPage = Page;
    CurBand = this;
    if (view->Parent != this || DisableDrawing)
        return;
    const bool whole = WholeText(view);
    try {
        TMovedView moved(view, Page->XOffset - Page->LeftMargin(), Top);
        CurView = view;
        view->Print(SheetStream());
    } catch (const Exception&) {
        CurView = view;
        DoError();
        return;
    }
    if (whole)
        Page->AfterPrint();
}

int TrpBand::DesignHeight(TrpView* view) const
{
    for (const auto& [saved, geometry] : FSavedHeights)
        if (saved == view)
            return geometry.Height;
    return view->Height;
}

void TrpBand::MoveObjectsBelow(TrpView* view, int grown)
{
    for (TrpView* other : Objects) {
        if (other == view)
            continue;
        if (other->Left >= view->Left && other->Left <= view->Left + view->Width &&
            other->Top >= view->Top + view->Height)
            other->Top += grown;
    }
}

void TrpBand::DrawPageBreak()
{
    std::vector<bool> pending(Objects.size(), true);
    std::vector<TSavedGeometry> saved;
    for (TrpView* view : Objects)
        saved.push_back({view->Top, view->Height});
    int usedHeight = 0;
    if (!CheckPageBreak(Top, DrawnHeight, true)) {
        for (TrpView* view : Objects)
            DrawObject(view);
        usedHeight = DrawnHeight;
    } else {
        // Each text takes its whole height, and what lies below it in its column moves down by
        // what it grew, so that it follows the text instead of being drawn over it.
        for (TrpView* view : Objects) {
            if (auto* stretching = dynamic_cast<TrpStretcheable*>(view)) {
                stretching->ActualHeight = 0;
                if (auto* memo = dynamic_cast<TrpMemoView*>(view)) {
                    CurView = memo;
                    const int height = memo->CalcHeight();
                    memo->WorkMemo->Assign(SMemo);
                    memo->Height = DesignHeight(memo);
                    if (height > memo->Height)
                        MoveObjectsBelow(memo, height - memo->Height);
                    memo->Height = std::max(height, memo->Height);
                }
            }
        }
        while (!MasterReport->Terminated) {
            if (!SplitOneSheet(pending, usedHeight))
                break;
            if (std::none_of(pending.begin(), pending.end(), [](bool p) { return p; }))
                break;
            Page->NewColumnForced(this);
            Top = Page->CurrentY;
        }
    }
    DrawnHeight = usedHeight;
    for (std::size_t i = 0; i < Objects.size(); ++i) {
        Objects[i]->Top = saved[i].Top;
        Objects[i]->Height = saved[i].Height;
    }
    Page->CurrentY += DrawnHeight;
}

// One sheet of a split band; false when the build has to stop.
bool TrpBand::SplitOneSheet(std::vector<bool>& pending, int& usedHeight)
{
    const int usable = Page->BottomLimit - Page->ColumnFooterHeight() - Top - 2;
    std::size_t firstPending = 0;
    while (firstPending < pending.size() && !pending[firstPending])
        ++firstPending;
    if (usable <= 0) {
        CurView = Objects[firstPending];
        DoError();
        return false;
    }
    usedHeight = 0;
    bool progress = false;
    for (std::size_t i = 0; i < Objects.size(); ++i) {
        if (!pending[i])
            continue;
        TrpView* view = Objects[i];
        auto* stretching = dynamic_cast<TrpStretcheable*>(view);
        const int y = view->Top, height = view->Height;
        if (y >= 0 && y < usable) {
            progress = true;
            if (y + height < usable) {
                DrawObject(view);
                pending[i] = false;
                usedHeight = std::max(usedHeight, y + height);
            } else if (stretching) {
                view->Height = usable - y + 1;
                stretching->ActualHeight += view->Height;
                if (stretching->MinHeight() < view->Height) {
                    stretching->DrawMode = drPart;
                    DrawObject(view);
                }
                view->Height = height;
            } else {
                view->Top = usable;
            }
        } else if (stretching && y < 0 && y + height >= 0) {
            progress = true;
            if (y + height < usable) {
                view->Top = 0;
                view->Height = y + height;
                if (stretching->MinHeight() / 2 < view->Height) {
                    view->Height = stretching->RemainHeight() + 2 * view->GapY + 1;
                    stretching->ActualHeight += view->Height - 1;
                    usedHeight = std::max(usedHeight, view->Height);
                    stretching->DrawMode = drPart;
                    DrawObject(view);
                }
                view->Top = y;
                view->Height = height;
                MoveObjectsBelow(view, stretching->ActualHeight - view->Height);
                pending[i] = false;
            } else {
                view->Top = 0;
                view->Height = usable;
                stretching->ActualHeight += usable;
                stretching->DrawMode = drPart;
                DrawObject(view);
                view->Top = y;
                view->Height = height;
            }
        }
    }
    for (TrpView* view : Objects)
        view->Top -= usable;
    if (!progress && std::any_of(pending.begin(), pending.end(), [](bool p) { return p; })) {
        // A whole sheet passed without drawing or moving anything: the band can never end.
        CurView = Objects[firstPending];
        DoError();
        return false;
    }
    return true;
}

// --- Cross-tab cells

bool TrpBand::HasCross() const
{
    return std::any_of(Objects.begin(), Objects.end(), [this](TrpView* view) { return view->Parent != this; });
}

TrpDataset* TrpBand::CrossSource()
{
    if (CrossDataSource)
        return CrossDataSource;
    return Page->Bands(btCrossData)->DataSource;
}

void TrpBand::DrawCrossBand(TrpBand* crossBand, int x)
{
    if (crossBand && crossBand->Exists())
        crossBand->DrawCrossCell(this, x);
}

void TrpBand::PlaceCrossColumn(int& x, int width)
{
    if (x + width <= Page->RightMargin())
        return;
    CrossShift += x - Page->LeftMargin();
    x = Page->LeftMargin();
    ++PageNo;
    if (PageNo >= MasterReport->PreparedPages->Count()) {
        MasterReport->PreparedPages->Add(Page);
        TStartingSheetScope starting(*Page);
        const int savedY = Page->CurrentY;
        Page->CurrentY = Page->TopMargin();
        Page->ShowBand(Page->Bands(btOverlay));
        TrpBand* pageHeader = Page->Bands(btPageHeader);
        if (MasterReport->PreparedPages->Count() > 1 || (pageHeader->Flags & rpBandOnFirstPage))
            Page->ShowBand(pageHeader);
        Page->CurrentY = savedY;
        CurReport->InternalOnProgress(PageNo + 1);
    }
    TrpBand* crossHeader = Page->Bands(btCrossHeader);
    if (crossHeader->Flags & rpBandRepeatHeader) {
        DrawCrossBand(crossHeader, x);
        x += crossHeader->Width;
    }
}

void TrpBand::DrawCross()
{
    // A band shown on a sheet the cross-tab adds draws no cells of its own: that would start the
    // same cross-tab again inside it.
    if (!HasCross() || BandType == btPageFooter || InCrossPass)
        return;
    TrpBand* crossHeader = Page->Bands(btCrossHeader);
    TrpBand* crossData = Page->Bands(btCrossData);
    TrpBand* crossFooter = Page->Bands(btCrossFooter);
    const int savedXOffset = Page->XOffset;
    Page->XOffset = Page->LeftMargin();
    Page->ColumnNumber = 1;
    const int savedPageNo = PageNo;
    InCrossPass = true;
    CrossShift = 0;
    MasterReport->InternalOnBeginColumn(this);
    int x = crossHeader->View ? crossHeader->Left : Left;
    if (crossHeader->Exists()) {
        DrawCrossBand(crossHeader, x);
        x += crossHeader->Width;
    }
    if (TrpDataset* source = CrossSource()) {
        source->First();
        while (!source->Eof() && !MasterReport->Terminated) {
            int width = crossData->Width;
            MasterReport->InternalOnPrintColumn(Page->ColumnNumber, width);
            PlaceCrossColumn(x, width);
            DrawCrossBand(crossData, x);
            if (IsDataBand())
                Page->DoAggregate(rpBand::CrossFooterTypes);
            x += width;
            ++Page->ColumnNumber;
            source->Next();
        }
    }
    if (crossFooter->Exists()) {
        PlaceCrossColumn(x, crossFooter->Width);
        TrpBand* savedAggregate = AggregateBand;
        AggregateBand = crossFooter;
        DrawCrossBand(crossFooter, x);
        AggregateBand = savedAggregate;
        crossFooter->InitValues();
    }
    PageNo = savedPageNo;
    Page->XOffset = savedXOffset;
    InCrossPass = false;
}

void TrpBand::DrawCrossCell(TrpBand* rowBand, int x)
{
    using namespace rpBand;
    if (DisableDrawing)
        return;
    for (TrpView* view : Objects) {
        if (std::find(rowBand->Objects.begin(), rowBand->Objects.end(), view) == rowBand->Objects.end())
            continue;
        TrpBand* band = view->Parent;
        view->Parent = rowBand;
        try {
            TMovedView moved(view, x, rowBand->Top);
            CurPage = Page;
            CurBand = rowBand;
            CurView = view;
            const bool whole = WholeText(view);
            view->Print(SheetStream());
            if (whole)
                Page->AfterPrint();
        } catch (const Exception&) {
            view->Parent = band;
            rowBand->DoError();
            return;
        }
        view->Parent = band;
    }
}

// --- Subreports

void TrpBand::PrepareSubReports()
{
    FSubReports.clear();
    for (std::size_t i = static_cast<std::size_t>(SubReportStart); i < Objects.size(); ++i) {
        auto* frame = dynamic_cast<TrpSubReportView*>(Objects[i]);
        if (!frame || frame->Parent != this)
            continue;
        // A frame showing a page that is already being shown, its own among them, would never end.
        TrpPages& pages = *Page->Report()->DesignPages;
        if (frame->SubPage < 0 || frame->SubPage >= pages.Count())
            continue;
        TrpPage* page = pages.Pages(frame->SubPage);
        if (page == Page || page->ShownInFrame || !page->BandsCreated)
            continue;
        page->ShownInFrame = true;
        FSubReports.push_back(frame);
        page->Mode = pmBuildList;
        page->FormPage();
        page->CurrentY = frame->Top + Top;
        page->BottomLimit = Page->BottomLimit;
        page->XOffset = Page->XOffset + frame->Left;
        page->ColumnCount = 1;
        page->ColumnIndex = 0;
        page->PlayPosition = 0;
    }
    SubReportFinished.assign(FSubReports.size(), false);
    Page->PendingSubReportBand = nullptr;
}

void TrpBand::DoSubReports()
{
    bool repeat = false;
    int guard = 0;
    while (!MasterReport->Terminated) {
        if (repeat) {
            for (TrpView* frame : FSubReports) {
                TrpPage* page = Page->Report()->DesignPages->Pages(static_cast<TrpSubReportView*>(frame)->SubPage);
                page->CurrentY = Page->CurrentY;
                page->BottomLimit = Page->BottomLimit;
            }
        }
        SubReportsDone = true;
        SubReportMaxY = Page->CurrentY;
        bool drewAnything = false;
        for (std::size_t i = 0; i < FSubReports.size(); ++i) {
            if (SubReportFinished[i])
                continue;
            TrpPage* page = Page->Report()->DesignPages->Pages(static_cast<TrpSubReportView*>(FSubReports[i])->SubPage);
            const int position = page->PlayPosition;
            if (page->PlayRecList()) {
                SubReportsDone = false;
            } else {
                SubReportFinished[i] = true;
                SubReportMaxY = std::max(SubReportMaxY, page->CurrentY);
            }
            drewAnything = drewAnything || page->PlayPosition != position || SubReportFinished[i];
        }
        if (SubReportsDone)
            break;
        if (Page->IsSubReport) {
            Page->PendingSubReportBand = this;
            return;
        }
        // A sheet on which no subreport moved on would repeat for ever.
        guard = drewAnything ? 0 : guard + 1;
        if (guard > 1) {
            CurView = FSubReports.front();
            DoError();
            break;
        }
        Page->NewColumnForced(this);
        repeat = true;
    }
    for (TrpView* frame : FSubReports) {
        TrpPage* page = Page->Report()->DesignPages->Pages(static_cast<TrpSubReportView*>(frame)->SubPage);
        page->ClearRecList();
        page->ShownInFrame = false;
    }
    Page->CurrentY = SubReportMaxY;
    Page->PendingSubReportBand = nullptr;
}

// --- Aggregates

void TrpBand::InitValues()
{
    if (BandType == btGroupHeader) {
        for (TrpBand* band = this; band; band = band->NextBand) {
            if (band->Footer) {
                band->Footer->AggValues->Clear();
                band->Footer->AggRecords.clear();
                band->Footer->AggCount = 0;
            }
            if (rpParser && !band->GroupExpression.empty())
                band->GroupValue = rpParser->Calc(band->GroupExpression);
        }
        return;
    }
    AggValues->Clear();
    AggRecords.clear();
    AggCount = 0;
}

void TrpBand::DoAggregate()
{
    for (int i = 0; i < AggValues->Count(); ++i) {
        std::string line = AggValues->Strings(i);
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos && equals + 1 < line.size()) {
            line[equals + 1] = '0';
            AggValues->SetStrings(i, line);
        }
    }
    const bool wasVisible = Visible;
    TrpBand* savedAggregate = AggregateBand;
    TrpView* savedView = CurView;
    Visible = false;
    AggregateBand = this;
    try {
        for (TrpView* view : Objects) {
            if (auto* memo = dynamic_cast<TrpMemoView*>(view)) {
                CurView = memo;
                memo->ExpandVariables();
            }
        }
    } catch (const Exception&) {
        Visible = wasVisible;
        AggregateBand = savedAggregate;
        DoError();
        return;
    }
    Visible = wasVisible;
    AggregateBand = savedAggregate;
    CurView = savedView;
    ++AggCount;
}

// --- Errors

void TrpBand::DoError()
{
    TrpReport* report = MasterReport ? MasterReport : CurReport;
    if (!report || report->BuildFailed)
        return;
    report->BuildFailed = true;
    std::string text = rpLoadStr(55200);
    TrpBandType type = BandType;
    if (CurView) {
        for (int i = 0; i < CurView->Memo->Count(); ++i)
            text += "\r" + CurView->Memo->Strings(i);
        if (CurView->Parent)
            type = CurView->Parent->BandType;
    }
    text += "\rReport: " + (CurReport ? CurReport->Name() : std::string());
    text += "\rBanda: " + rpBandNames.at(static_cast<std::size_t>(type));
    report->BuildErrorText = text;
    report->Terminated = true;
}

TDataSet* rpPlatformDataSet(TrpDataset* dataSet)
{
    auto* db = dynamic_cast<TrpDBDataSet*>(dataSet);
    if (!db)
        return nullptr;
    try {
        return db->GetDataSet();
    } catch (const Exception&) {
        return nullptr;
    }
}
