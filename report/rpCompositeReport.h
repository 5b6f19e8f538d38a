#pragma once
// A report that builds several reports, one after the other, into its own prepared sheets.

#include "report/rpReport.h"

#include <vector>

class TrpCompositeReport : public TrpReport {
    TESS_CLASS(TrpCompositeReport, TrpReport)
public:
    explicit TrpCompositeReport(TComponent* AOwner) : TrpReport(AOwner) {}

    // Each report builds into this report's sheets; a report whose first page continues the
    // previous one starts on the sheet the report before it ended on.
    void DoBuildReport() override;

    // Not owned.
    std::vector<TrpReport*> Reports;
};
