#include "report/rpCompositeReport.h"

#include "report/rpEngine.h"

void TrpCompositeReport::DoBuildReport()
{
    CanRebuild = true;
    PageNo = 0;
    for (std::size_t i = 0; i < Reports.size() && !Terminated; ++i) {
        TrpReport* report = Reports[i];
        TrpReport* next = i + 1 < Reports.size() ? Reports[i + 1] : nullptr;
        AppendNextReport = next && next->DesignPages->Count() > 0 && next->DesignPages->Pages(0)->ContinuePreviousPage != 0;
        if (FirstBuild && report->OnBeginDoc)
            report->OnBeginDoc();
        report->DoBuildReport();
        MasterReport = this;
        CurReport = this;
        if (FinalPass && report->OnEndDoc)
            report->OnEndDoc();
        ContinueOnPage = AppendNextReport;
        AppendNextReport = false;
    }
}
