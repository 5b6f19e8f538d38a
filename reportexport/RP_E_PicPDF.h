#pragma once
// The PDF export of a prepared report. Every page of the report is rebuilt as a tree of PDF
// report components (a page holding one panel holding texts, rectangles and pictures) and
// printed into one PDF document, which is written into the target stream when the document ends.
// The component tree is never shown, so no window is made for it.

#include "reportexport/PReport.h"

#include "report/rpExportFilter.h"

#include "platform/rtl/Classes.h"

#include <memory>
#include <string>

class TForm;
class TPRImage;
class TrpView;

class TrpPicPDFExportFilter : public TrpExportFilter {
    TESS_CLASS(TrpPicPDFExportFilter, TrpExportFilter)
public:
    explicit TrpPicPDFExportFilter(TStream* stream);
    ~TrpPicPDFExportFilter() override;

    // Writes the document into the target stream; raises when the document has no page or the
    // stream fails.
    void OnEndDoc() override;
    void OnBeginPage() override;
    void OnEndPage() override;
    void OnData(int x, int y, TrpView* view) override;
    void OnText(int x, int y, const std::string& text, TrpView* view) override;

    static TrpExportFilterClass ClassEntry();

    TPReport& Report() const { return *FReport; }
    // The page being exported and its panel, or nullptr between pages.
    TPRPage* Page() const { return FPage; }
    TPRPanel* Panel() const { return FPanel; }

protected:
    void ShowBackGround(TrpView* view, int x, int y, int h, int w);
    void Frame(TrpView* view, int x, int y, int h, int w);
    void ShowFrame(TrpView* view, int x, int y, int h, int w);
    // The view drawn on a white 24-bit bitmap of its size, stretched over its rectangle.
    void ShowBarCode(TrpView* view, int x, int y, int h, int w);
    void ShowPicture(TrpView* view, int x, int y, int h, int w);
    void ShowRtf(TrpView* view, int x, int y, int h, int w);

private:
    TPRImage& AddImage(int x, int y, int h, int w);
    void ShowDrawnView(TrpView* view, int x, int y, int h, int w);
    void FreePage();

    std::unique_ptr<TPReport> FReport;
    TPRPage* FPage = nullptr;
    TPRPanel* FPanel = nullptr;
    std::unique_ptr<TForm> FHostForm;
};

// Placed on a form, it makes the PDF export available; it has no behaviour of its own.
class TrpPicPDFExport : public TComponent {
    TESS_CLASS(TrpPicPDFExport, TComponent)
public:
    explicit TrpPicPDFExport(TComponent* owner) : TComponent(owner) {}
};
