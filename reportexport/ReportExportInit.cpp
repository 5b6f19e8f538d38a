#include "reportexport/ReportExportInit.h"

#include "reportexport/PdfFonts.h"

void InitReportExport()
{
    RegisterPdfFonts();
}

void DoneReportExport()
{
    UnRegisterPdfFonts();
}
