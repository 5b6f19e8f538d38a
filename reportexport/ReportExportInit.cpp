#include "reportexport/ReportExportInit.h"

#include "reportexport/AddInSupport.h"
#include "reportexport/MetafileWriter.h"
#include "reportexport/PdfFonts.h"
#include "reportexport/PdfImages.h"
#include "reportexport/RP_BarC.h"
#include "reportexport/RP_ChBox.h"
#include "reportexport/RP_E_CSV.h"
#include "reportexport/RP_E_HTM.h"
#include "reportexport/RP_E_PicPDF.h"
#include "reportexport/RP_E_RTF.h"
#include "reportexport/RP_E_TXT.h"
#include "reportexport/RP_E_XLS.h"
#include "reportexport/RP_Shape.h"

#include "report/rpEngine.h"

#include <algorithm>

namespace {

void RegisterFilterOnce(const TrpExportFilterClass& classRef, const std::string& description,
                        const std::string& mask)
{
    const bool known = std::any_of(rpFilters.begin(), rpFilters.end(), [&classRef](const TrpExportFilterInfo& filter) {
        return filter.ClassRef.ClassName == classRef.ClassName;
    });
    if (!known)
        rpRegisterExportFilter(classRef, description, mask);
}

} // namespace

void InitReportExport()
{
    RegisterPdfFonts();
    RegisterPdfImages();
    MetafileWriter::InstallMetafileWriters();
    RegisterFilterOnce(TrpTextExportFilter::ClassEntry(), "File di testo (*.txt)", "*.txt");
    RegisterFilterOnce(TrpCSVExportFilter::ClassEntry(), "File CSV (delimitato dal separatore di elenco) (*.csv)",
                       "*.csv");
    RegisterFilterOnce(TrpHTMExportFilter::ClassEntry(), "File HTML (*.htm)", "*.htm");
    RegisterFilterOnce(TrpRTFExportFilter::ClassEntry(), "File RTF (Rich Text Format) (*.rtf)", "*.rtf");
    RegisterFilterOnce(TrpXLSExportFilter::ClassEntry(), "Foglio di calcolo (*.xls)", "*.xls");
    RegisterFilterOnce(TrpPicPDFExportFilter::ClassEntry(), "Adobe Acrobat Pdf  (*.pdf)", "*.pdf");
    // The pictures first: the dialogs take their tool pictures from them.
    AddInSupport::RegisterAddInPictures();
    RegisterBarCodeObject();
    RegisterShapeObject();
    RegisterCheckBoxObject();
}

void DoneReportExport()
{
    UnRegisterCheckBoxObject();
    UnRegisterShapeObject();
    UnRegisterBarCodeObject();
    UnRegisterPdfImages();
    UnRegisterPdfFonts();
    MetafileWriter::RemoveMetafileWriters();
}
