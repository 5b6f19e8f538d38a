#pragma once
// PDF pages described as a tree of controls: a page holds panels, panels hold text blocks,
// rectangles and lines, and bitmaps. TPReport opens a PDF document and prints page controls into
// it one by one. The controls paint a preview of themselves when they are shown in a window;
// printing never needs a window.
//
// A control's position and size are pixels and one pixel is one PDF point; PDF y values are the
// page height minus the control's y.

#include "reportexport/PdfDoc.h"

#include "platform/gui/Canvas.h"
#include "platform/gui/Control.h"
#include "platform/gui/Graphic.h"
#include "platform/gui/Panel.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Lists.h"

#include <functional>
#include <memory>
#include <string>

class TPRPage;
class TPRPanel;
class TPRChildPanel;
class TPROutlineRoot;

enum TPRFontName { fnFixedWidth, fnArial, fnTimesRoman };
enum TPrintDirection { pdHorz, pdVert };

// What print events and items receive: the canvas of the page being printed.
class TPRCanvas : public TPersistent {
    TESS_CLASS(TPRCanvas, TPersistent)
public:
    TPdfCanvas* PdfCanvas = nullptr;
};

using TPRPrintPageEvent = std::function<void(TObject* Sender, TPRCanvas* ACanvas)>;
using TPRPrintPanelEvent = std::function<void(TObject* Sender, TPRCanvas* ACanvas, const TRect& Rect)>;
using TPRPrintChildPanelEvent =
    std::function<void(TObject* Sender, TPRCanvas* ACanvas, int ACol, int ARow, const TRect& Rect)>;

class TPReport : public TAbstractPReport {
    TESS_CLASS(TPReport, TAbstractPReport)
public:
    explicit TPReport(TComponent* AOwner);
    ~TPReport() override;

    // Discards an open document and opens a new one with this component's settings.
    void StartDocument();
    // A new PDF page at the end of the open document, printed from the page control.
    void PrintPage(TPRPage* page);
    void DiscardDocument();
    // The open document, or nullptr.
    TPdfDoc* PdfDocument() const { return FDoc.get(); }
    int PageCount() const { return FPageCount; }
    TPROutlineRoot* OutlineRoot() const { return FOutlineRoot; }

    std::string FileName = "default.pdf";
    TPdfCompressionMethod CompressionMethod = cmNone;

    // Each setter raises EPdfInvalidOperation while a document is open.
    const std::string& Author() const { return FAuthor; }
    void SetAuthor(const std::string& value);
    const std::string& Creator() const { return FCreator; }
    void SetCreator(const std::string& value);
    const std::string& Keywords() const { return FKeywords; }
    void SetKeywords(const std::string& value);
    const std::string& Subject() const { return FSubject; }
    void SetSubject(const std::string& value);
    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& value);
    TDateTime CreationDate() const { return FCreationDate; }
    void SetCreationDate(TDateTime value);
    TDateTime ModDate() const { return FModDate; }
    void SetModDate(TDateTime value);
    TPdfPageLayout PageLayout() const { return FPageLayout; }
    void SetPageLayout(TPdfPageLayout value);
    TPdfPageMode PageMode() const { return FPageMode; }
    void SetPageMode(TPdfPageMode value);
    TPdfPageMode NonFullScreenPageMode() const { return FNonFullScreenPageMode; }
    // pmFullScreen is kept as pmUseNone.
    void SetNonFullScreenPageMode(TPdfPageMode value);
    bool UseOutlines() const { return FUseOutlines; }
    void SetUseOutlines(bool value);
    const TPdfViewerPreferences& ViewerPreference() const { return FViewerPreference; }
    void SetViewerPreference(const TPdfViewerPreferences& value);

private:
    void CheckClosed(const char* operation) const;

    std::unique_ptr<TPRCanvas> FCanvas;
    std::unique_ptr<TPdfDoc> FDoc;
    int FPageCount = 0;
    TPROutlineRoot* FOutlineRoot = nullptr;
    std::string FAuthor, FCreator, FKeywords, FSubject, FTitle;
    TDateTime FCreationDate;
    TDateTime FModDate = 0;
    TPdfPageLayout FPageLayout = plSinglePage;
    TPdfPageMode FPageMode = pmUseNone;
    TPdfPageMode FNonFullScreenPageMode = pmUseNone;
    bool FUseOutlines = false;
    TPdfViewerPreferences FViewerPreference;
};

class TPRPage : public TCustomPanel {
    TESS_CLASS(TPRPage, TCustomPanel)
public:
    explicit TPRPage(TComponent* AOwner);
    ~TPRPage() override;

    // Sizes the current PDF page to the control and prints every panel on it.
    virtual void Print(TPRCanvas* ACanvas);

    // A new margin is taken when it differs, is not negative and is below half the page width.
    int MarginTop() const { return FMarginTop; }
    void SetMarginTop(int value) { SetMargin(FMarginTop, value); }
    int MarginLeft() const { return FMarginLeft; }
    void SetMarginLeft(int value) { SetMargin(FMarginLeft, value); }
    int MarginRight() const { return FMarginRight; }
    void SetMarginRight(int value) { SetMargin(FMarginRight, value); }
    int MarginBottom() const { return FMarginBottom; }
    void SetMarginBottom(int value) { SetMargin(FMarginBottom, value); }

    bool ShowName() const { return FShowName; }
    void SetShowName(bool value);
    bool ShowVRuler() const { return FShowVRuler; }
    void SetShowVRuler(bool value);
    bool ShowHRuler() const { return FShowHRuler; }
    void SetShowHRuler(bool value);
    bool ShowVGrid() const { return FShowVGrid; }
    // Repaints the page and every control on it.
    void SetShowVGrid(bool value);
    bool ShowHGrid() const { return FShowHGrid; }
    void SetShowHGrid(bool value);

    // The virtual canvas that measures text for the preview (made on first use).
    TPdfCanvas& MeasureCanvas();

    TPRPrintPageEvent OnPrintPage;

protected:
    void AdjustClientRect(TRect& Rect) override;
    void Paint() override;

private:
    void SetMargin(int& margin, int value);
    void RepaintAll();

    int FMarginTop = 32, FMarginLeft = 32, FMarginRight = 32, FMarginBottom = 32;
    bool FShowName = true, FShowVRuler = true, FShowHRuler = true, FShowVGrid = true, FShowHGrid = true;
    std::unique_ptr<TPdfDoc> FMeasureDoc;
};

class TPRPanel : public TCustomPanel {
    TESS_CLASS(TPRPanel, TCustomPanel)
public:
    explicit TPRPanel(TComponent* AOwner);

    // Prints every printable child, its bounds moved by the rectangle's top-left corner.
    virtual void Print(TPRCanvas* ACanvas, const TRect& ARect);
    // On a grid panel the panel goes onto its cell panel.
    void SetParent(TWinControl* AParent) override;

    bool ShowName() const { return FShowName; }
    void SetShowName(bool value);

    // The page the panel is on, or nullptr.
    TPRPage* Page() const;

protected:
    void Paint() override;
    // The page's grid through the panel's client area, then the name and a dotted outline.
    void PaintGridAndName(TColor outline);

private:
    bool FShowName = true;
};

// The cell panel of a grid panel.
class TPRChildPanel : public TPRPanel {
    TESS_CLASS(TPRChildPanel, TPRPanel)
public:
    using TPRPanel::TPRPanel;
};

class TPRGridPanel : public TPRPanel {
    TESS_CLASS(TPRGridPanel, TPRPanel)
public:
    explicit TPRGridPanel(TComponent* AOwner);

    // Prints the child panel once in every cell.
    void Print(TPRCanvas* ACanvas, const TRect& ARect) override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    // Only none, a panel or a page.
    void SetParent(TWinControl* AParent) override;

    int ColCount() const { return FColCount; }
    // Raises "invalid colcount" for 0 or less, or when a cell gets narrower than 10 pixels.
    void SetColCount(int value);
    int RowCount() const { return FRowCount; }
    void SetRowCount(int value);
    TPrintDirection PrintDirection = pdHorz;
    TPRChildPanel* ChildPanel() const { return FChildPanel; }

    TPRPrintPanelEvent BeforePrint;
    TPRPrintPanelEvent AfterPrint;
    TPRPrintChildPanelEvent BeforePrintChild;
    TPRPrintChildPanelEvent AfterPrintChild;

protected:
    void Paint() override;

private:
    void PlaceChildPanel();
    void PrintCell(TPRCanvas* ACanvas, const TRect& ARect, int col, int row);

    int FColCount = 1;
    int FRowCount = 1;
    TPRChildPanel* FChildPanel = nullptr;
};

class TPRItem : public TGraphicControl {
    TESS_CLASS(TPRItem, TGraphicControl)
public:
    explicit TPRItem(TComponent* AOwner);

    // Empty here.
    virtual void Print(TPRCanvas* ACanvas, const TRect& ARect);
    // Only a panel, or none; on a grid panel the item goes onto its child panel.
    void SetParent(TWinControl* AParent) override;

    bool Printable = true;

protected:
    // The height of the page control above the item (0 without a page).
    int PageHeight() const;
    TPRPage* Page() const;
};

class TPRCustomLabel : public TPRItem {
    TESS_CLASS(TPRCustomLabel, TPRItem)
public:
    explicit TPRCustomLabel(TComponent* AOwner);

    TColor FontColor() const { return FFontColor; }
    // Raises EPdfInvalidValue for a value above 0x0FFFFFFF.
    void SetFontColor(TColor value);
    TPRFontName FontName() const { return FFontName; }
    void SetFontName(TPRFontName value);
    float FontSize() const { return FFontSize; }
    // Taken when it differs and is above 0.
    void SetFontSize(float value);
    bool FontBold() const { return FFontBold; }
    void SetFontBold(bool value);
    bool FontItalic() const { return FFontItalic; }
    void SetFontItalic(bool value);
    float CharSpace() const { return FCharSpace; }
    void SetCharSpace(float value);
    float WordSpace() const { return FWordSpace; }
    // Taken when it differs and is 0 or more.
    void SetWordSpace(float value);

    // The registered PDF font of the name and style: "Arial-Bold", "Times-Roman", ...
    std::string PdfFontName() const;

protected:
    // The screen font of the properties, on the canvas.
    void ApplyScreenFont(TCanvas* canvas) const;

private:
    TColor FFontColor = 0;
    TPRFontName FFontName = fnArial;
    float FFontSize = 12;
    bool FFontBold = false;
    bool FFontItalic = false;
    float FCharSpace = 0;
    float FWordSpace = 0;
};

class TPRText : public TPRCustomLabel {
    TESS_CLASS(TPRText, TPRCustomLabel)
public:
    explicit TPRText(TComponent* AOwner);
    ~TPRText() override;

    void Print(TPRCanvas* ACanvas, const TRect& ARect) override;

    float Leading() const { return FLeading; }
    void SetLeading(float value);
    TStringList* Lines() const { return FLines.get(); }
    void SetLines(TStrings* value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);

protected:
    void Paint() override;

private:
    // The lines joined by CR LF, blanks and control characters trimmed at both ends.
    std::string PrintedText() const;

    float FLeading = 14;
    std::unique_ptr<TStringList> FLines;
    bool FWordWrap = false;
};

class TPRShape : public TPRItem {
    TESS_CLASS(TPRShape, TPRItem)
public:
    using TPRItem::TPRItem;

    float LineWidth() const { return FLineWidth; }
    // Taken when it differs and is 0 or more.
    void SetLineWidth(float value);
    TColor LineColor() const { return FLineColor; }
    void SetLineColor(TColor value);
    TPenStyle LineStyle() const { return FLineStyle; }
    void SetLineStyle(TPenStyle value);
    TColor FillColor() const { return FFillColor; }
    void SetFillColor(TColor value);

private:
    float FLineWidth = 0;
    TColor FLineColor = 0;
    TPenStyle FLineStyle = psSolid;
    TColor FFillColor = clNone;
};

// A rectangle, or a line when it is at most one pixel wide or high.
class TPRRect : public TPRShape {
    TESS_CLASS(TPRRect, TPRShape)
public:
    using TPRShape::TPRShape;

    void Print(TPRCanvas* ACanvas, const TRect& ARect) override;

protected:
    void Paint() override;

private:
    void WritePath(TPdfCanvas& canvas, const TRect& rect, int pageHeight) const;
    void WritePaint(TPdfCanvas& canvas) const;
};

class TPRImage : public TPRItem {
    TESS_CLASS(TPRImage, TPRItem)
public:
    explicit TPRImage(TComponent* AOwner);
    ~TPRImage() override;

    void Print(TPRCanvas* ACanvas, const TRect& ARect) override;

    TPicture* Picture() const { return FPicture.get(); }
    // Takes a copy; only a bitmap or an empty picture.
    virtual void SetPicture(TPicture* value);
    bool SharedImage = true;
    bool Stretch() const { return FStretch; }
    void SetStretch(bool value);
    bool ShowName() const { return FShowName; }
    void SetShowName(bool value);

protected:
    void Paint() override;

private:
    // The name the image has in the document; a new image is added under it when needed.
    std::string RegisterImage(TPdfDoc& doc);
    std::string FreeNumberedName(const TPdfDoc& doc) const;

    std::unique_ptr<TPicture> FPicture;
    bool FStretch = true;
    bool FShowName = true;
};

class TPROutlineEntry : public TObject {
    TESS_CLASS(TPROutlineEntry, TObject)
public:
    TPdfOutlineEntry* Data() const { return FData; }

protected:
    TPdfOutlineEntry* FData = nullptr;
};

class TPROutlineRoot : public TPROutlineEntry {
    TESS_CLASS(TPROutlineRoot, TPROutlineEntry)
public:
    // The document's outline root, which frees the new object with the document.
    static TPROutlineRoot& Create(TPdfDoc& doc);

private:
    TPROutlineRoot() = default;
};
