#pragma once
// Spreadsheet export of a prepared report: one worksheet for the whole report, a row per text
// line and a cell per piece, the rows of each page following those of the pages before it.

#include "reportexport/RP_E_TXT.h"

#include <memory>

class TmxNativeExcel;

class TrpXLSExportFilter : public TrpTextExportFilter {
    TESS_CLASS(TrpXLSExportFilter, TrpTextExportFilter)
public:
    explicit TrpXLSExportFilter(TStream* stream);
    ~TrpXLSExportFilter() override;

    void OnEndPage() override;
    // Ends the worksheet and writes it.
    void OnEndDoc() override;

    static TrpExportFilterClass ClassEntry();

private:
    const std::unique_ptr<TmxNativeExcel> Sheet;
    // The rows already taken by the pages before.
    int RowsWritten = 0;
};

class TrpXLSExport : public TComponent {
    TESS_CLASS(TrpXLSExport, TComponent)
public:
    explicit TrpXLSExport(TComponent* owner) : TComponent(owner) {}
};
