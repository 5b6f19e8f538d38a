#pragma once
// TExportRP: the prepared pages of a report as pictures. Each page is drawn by the report engine
// at one pixel per page pixel and written as one BMP, JPEG, EMF or WMF file per page, or all of
// them as the pages of one PDF, each page a single picture. A small window names the page being
// written; any failure ends the export with one message box and leaves the files already written.

#include "platform/gui/Bitmap.h"
#include "platform/rtl/Classes.h"

#include <functional>
#include <memory>
#include <string>

class TCanvas;
class TrpPreview;
class TrpReport;
class TSaveDialog;

class TExportRP : public TComponent {
    TESS_CLASS(TExportRP, TComponent)
public:
    explicit TExportRP(TComponent* AOwner);
    ~TExportRP() override;

    TPixelFormat PixelFormat = pf8bit;
    // Set by the owner: the report whose prepared pages are exported, and the preview showing them.
    TrpReport* Report = nullptr;
    TrpPreview* Preview = nullptr;

    // One file per page, named base + the page number in five digits + the kind's extension.
    // fromPreview: the pages are taken back from the preview and the preview is connected again
    // afterwards; a BMP is then saved with 8 bits per pixel whatever PixelFormat says.
    void ExportRPBMP(const std::string& baseName, bool fromPreview);
    void ExportRPJPG(const std::string& baseName, bool fromPreview);
    void ExportRPEMF(const std::string& baseName, bool fromPreview);
    void ExportRPWMF(const std::string& baseName, bool fromPreview);
    // One file base + ".PDF": each page one picture, 8-bit indexed with bitmapPictures, else JPEG.
    void ExportRPPDF(const std::string& baseName, bool bitmapPictures, bool fromPreview);

    // Prepares Report, asks for a file and exports it; nothing without Report.
    void ExportFR();
    // Asks for a file and exports the pages shown in Preview; nothing without Preview.
    void ExportRPFromPreview();

    // The file of page pageNumber (from 1).
    static std::string PageFileName(const std::string& baseName, int pageNumber, const std::string& extension);
    // The name chosen in the dialog without its last extension.
    static std::string BaseName(const std::string& chosenFile);

    // The filter of the save dialog; its index chooses the kind of export.
    static const char* const DialogFilter;

private:
    // Writes page index; width and height are the page's size in pixels, at least 1.
    using TPageWriter = std::function<void(int index, int width, int height)>;

    // The frame of every export: the progress window, the pages in order and the message box
    // on failure. The bar ends at the page count, or one below it; finish runs after the last
    // page.
    void ExportPages(bool barCountsPages, bool fromPreview, const TPageWriter& writePage,
                     const std::function<void()>& finish = {});
    void WritePages(bool barCountsPages, const TPageWriter& writePage, const std::function<void()>& finish);
    void TakePagesFromPreview();
    void DrawPage(int index, TCanvas* canvas, int width, int height);
    void WriteMetafile(const std::string& baseName, bool enhanced, bool fromPreview);
    void AskAndExport(bool fromPreview);
};
