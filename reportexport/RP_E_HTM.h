#pragma once
// HTML export of a prepared report: one table row per text line, one cell per piece, with the
// piece's colour, size and style as tags.

#include "reportexport/RP_E_TXT.h"

class TrpHTMExportFilter : public TrpTextExportFilter {
    TESS_CLASS(TrpHTMExportFilter, TrpTextExportFilter)
public:
    // Writes the document's opening lines.
    explicit TrpHTMExportFilter(TStream* stream);

    void OnEndPage() override;
    // Writes the closing lines, while a failure can still reach the export.
    void OnEndDoc() override;

    static TrpExportFilterClass ClassEntry();
};

class TrpHTMExport : public TComponent {
    TESS_CLASS(TrpHTMExport, TComponent)
public:
    explicit TrpHTMExport(TComponent* owner) : TComponent(owner) {}
};
