#pragma once
// CSV export of a prepared report: one record per text line, the pieces in columns 64 pixels
// wide, separated by ";".

#include "reportexport/RP_E_TXT.h"

class TrpCSVExportFilter : public TrpTextExportFilter {
    TESS_CLASS(TrpCSVExportFilter, TrpTextExportFilter)
public:
    using TrpTextExportFilter::TrpTextExportFilter;

    void OnEndPage() override;

    static TrpExportFilterClass ClassEntry();
};

class TrpCSVExport : public TComponent {
    TESS_CLASS(TrpCSVExport, TComponent)
public:
    explicit TrpCSVExport(TComponent* owner) : TComponent(owner) {}
};
