#include "reportexport/ExportPack.h"

#include "reportexport/JpgImg.h"
#include "reportexport/Prgrs.h"
#include "reportexport/tnpdf.h"

#include "report/RP_View.h"
#include "report/rpReport.h"

#include "platform/gui/Application.h"
#include "platform/gui/CommonDialogs.h"
#include "platform/gui/Label.h"
#include "platform/gui/Metafile.h"
#include "platform/gui/ScrollBar.h"
#include "platform/rtl/Files.h"

#include <algorithm>
#include <cstdio>

namespace {

const char* const ErrorText = "Errore nell'esportazione della stampa";

// Where a page picture sits on a PDF page, in points from the left and top edges.
constexpr int PdfPictureLeft = 52, PdfPictureTop = 0;

void ShowExportError()
{
    Application->MessageBox(ErrorText, "Errore", MB_ICONERROR | MB_OK);
}

std::string PageText(int page, int count)
{
    return "Pagina... " + std::to_string(page) + " di " + std::to_string(count);
}

} // namespace

const char* const TExportRP::DialogFilter =
    "File PDF (Alta Compressione)|*.PDF|File PDF (Bassa Compressione)|*.PDF|File JPG|*.JPG|File BMP|*.BMP|"
    "File EMF|*.EMF|File WMF|*.WMF";

TExportRP::TExportRP(TComponent* AOwner) : TComponent(AOwner) {}

TExportRP::~TExportRP() = default;

std::string TExportRP::PageFileName(const std::string& baseName, int pageNumber, const std::string& extension)
{
    char number[16];
    std::snprintf(number, sizeof number, "%05d", pageNumber);
    return baseName + number + extension;
}

std::string TExportRP::BaseName(const std::string& chosenFile)
{
    // Only the last extension goes: "Fattura.2024.pdf" must not become "Fattura" and replace the
    // files of another export.
    const std::string name = ExtractFileName(chosenFile);
    const std::size_t dot = name.rfind('.');
    return ExtractFilePath(chosenFile) + (dot == std::string::npos || dot == 0 ? name : name.substr(0, dot));
}

void TExportRP::TakePagesFromPreview()
{
    // A preview holds the pages it shows; they go back to the report for the export.
    if (Preview && Preview->PreviewForm->ConnectedReport == Report)
        Preview->PreviewForm->ConnectBack();
}

void TExportRP::DrawPage(int index, TCanvas* canvas, int width, int height)
{
    TrpPageInfo& info = *Report->PreparedPages->Pages(index);
    struct TRelease {
        TrpPageInfo& Info;
        bool WasVisible;
        // A page that was not on show lets its objects go again, so that long reports are not
        // held in memory whole.
        ~TRelease()
        {
            if (!WasVisible) {
                Info.Visible = false;
                Info.Page.reset();
            }
        }
    } release{info, info.Visible};
    info.Visible = true;
    Report->PreparedPages->Draw(index, canvas, Rect(0, 0, width, height));
}

void TExportRP::WritePages(bool barCountsPages, const TPageWriter& writePage, const std::function<void()>& finish)
{
    const int count = Report->PreparedPages->Count();
    std::unique_ptr<TFPrgrs> progress(new TFPrgrs(this));
    progress->SetCaption("Esportazione in corso...");
    progress->PB->SetMin(0);
    progress->PB->SetMax(std::max(0, barCountsPages ? count : count - 1));
    progress->PB->SetPosition(0);
    progress->PB->Repaint();
    progress->Accion->SetCaption(PageText(1, count));
    progress->Accion->Repaint();
    progress->Show();
    for (int i = 0; i < count; ++i) {
        const TrpPrnInfo& paper = Report->PreparedPages->Pages(i)->PrinterInfo;
        progress->Accion->SetCaption(PageText(i + 1, count));
        progress->Accion->Repaint();
        writePage(i, std::max(1, paper.PaperWidthPx), std::max(1, paper.PaperHeightPx));
        progress->PB->StepIt();
        progress->PB->Repaint();
    }
    if (finish)
        finish();
}

void TExportRP::ExportPages(bool barCountsPages, bool fromPreview, const TPageWriter& writePage,
                            const std::function<void()>& finish)
{
    if (!Report)
        return;
    bool failed = false;
    try {
        if (fromPreview)
            TakePagesFromPreview();
        WritePages(barCountsPages, writePage, finish);
    } catch (...) {
        failed = true;
    }
    try {
        if (fromPreview && Preview)
            Preview->Connect(Report);
    } catch (...) {
        failed = true;
    }
    if (failed)
        ShowExportError();
}

void TExportRP::ExportRPBMP(const std::string& baseName, bool fromPreview)
{
    ExportPages(false, fromPreview, [&](int index, int width, int height) {
        TBitmap bitmap;
        bitmap.SetPixelFormat(pf24bit);
        bitmap.SetSize(width, height);
        DrawPage(index, bitmap.Canvas(), width, height);
        bitmap.SetPixelFormat(fromPreview ? pf8bit : PixelFormat);
        bitmap.SaveToFile(PageFileName(baseName, index + 1, ".BMP"));
    });
}

void TExportRP::ExportRPJPG(const std::string& baseName, bool fromPreview)
{
    ExportPages(false, fromPreview, [&](int index, int width, int height) {
        TBitmap bitmap;
        bitmap.SetPixelFormat(pf24bit);
        bitmap.SetSize(width, height);
        TJPEGImage jpeg(nullptr);
        DrawPage(index, bitmap.Canvas(), width, height);
        bitmap.SetPixelFormat(PixelFormat);
        jpeg.Picture()->Assign(&bitmap);
        jpeg.SaveToFile(PageFileName(baseName, index + 1, ".JPG"));
    });
}

void TExportRP::WriteMetafile(const std::string& baseName, bool enhanced, bool fromPreview)
{
    ExportPages(enhanced, fromPreview, [&](int index, int width, int height) {
        TMetafile metafile;
        metafile.SetWidth(width);
        metafile.SetHeight(height);
        {
            TMetafileCanvas canvas(&metafile, nullptr);
            DrawPage(index, &canvas, width, height);
        }
        metafile.SetEnhanced(enhanced);
        metafile.SaveToFile(PageFileName(baseName, index + 1, enhanced ? ".EMF" : ".WMF"));
    });
}

void TExportRP::ExportRPEMF(const std::string& baseName, bool fromPreview)
{
    WriteMetafile(baseName, true, fromPreview);
}

void TExportRP::ExportRPWMF(const std::string& baseName, bool fromPreview)
{
    WriteMetafile(baseName, false, fromPreview);
}

void TExportRP::ExportRPPDF(const std::string& baseName, bool bitmapPictures, bool fromPreview)
{
    std::unique_ptr<TPrintPDF> pdf;
    const auto writePage = [&](int index, int width, int height) {
        if (!pdf) {
            pdf = std::make_unique<TPrintPDF>(this);
            pdf->FileName = baseName + ".PDF";
            // The first page decides the orientation of every page.
            if (width > height) {
                pdf->PageWidth = 792;
                pdf->PageHeight = 612;
            }
            pdf->BeginDoc();
        }
        TBitmap bitmap;
        bitmap.SetPixelFormat(pf24bit);
        bitmap.SetSize(width, height);
        DrawPage(index, bitmap.Canvas(), width, height);
        bitmap.SetPixelFormat(pf8bit);
        if (bitmapPictures)
            pdf->DrawBitmap(PdfPictureLeft, PdfPictureTop, &bitmap);
        else
            pdf->DrawJPEG(PdfPictureLeft, PdfPictureTop, &bitmap);
        if (index + 1 < Report->PreparedPages->Count())
            pdf->NewPage();
    };
    const auto finish = [&] {
        // A report without pages still gives a document of one empty page.
        if (!pdf) {
            pdf = std::make_unique<TPrintPDF>(this);
            pdf->FileName = baseName + ".PDF";
            pdf->BeginDoc();
        }
        pdf->EndDoc();
        pdf.reset();
    };
    ExportPages(false, fromPreview, writePage, finish);
}

void TExportRP::AskAndExport(bool fromPreview)
{
    std::string chosenFile;
    int filterIndex = 1;
    try {
        if (!fromPreview)
            Report->PrepareReport();
        std::unique_ptr<TSaveDialog> dialog(new TSaveDialog(this));
        dialog->Title = "Salva come";
        dialog->Filter = DialogFilter;
        dialog->FilterIndex = 1;
        if (!dialog->Execute())
            return;
        chosenFile = dialog->FileName;
        filterIndex = dialog->FilterIndex;
    } catch (...) {
        ShowExportError();
        return;
    }
    const std::string baseName = BaseName(chosenFile);
    switch (filterIndex) {
    case 1:
        ExportRPPDF(baseName, true, fromPreview);
        break;
    case 2:
        ExportRPPDF(baseName, false, fromPreview);
        break;
    case 3:
        ExportRPJPG(baseName, fromPreview);
        break;
    case 4:
        ExportRPBMP(baseName, fromPreview);
        break;
    case 5:
        ExportRPEMF(baseName, fromPreview);
        break;
    case 6:
        ExportRPWMF(baseName, fromPreview);
        break;
    default:
        break;
    }
}

void TExportRP::ExportFR()
{
    if (Report)
        AskAndExport(false);
}

void TExportRP::ExportRPFromPreview()
{
    if (Preview && Report)
        AskAndExport(true);
}
