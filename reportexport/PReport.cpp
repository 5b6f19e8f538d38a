#include "reportexport/PReport.h"

#include "reportexport/PdfImages.h"

#include "platform/gui/Bitmap.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TextUtils.h"
#include "platform/rtl/System.h"

#include <cmath>

namespace {

// The preview's grid and rulers: a grid line every 18.9 pixels, a ruler number every 37.8.
int GridLine(int k) { return k * 378 / 20; }
int RulerMark(int k) { return k * 378 / 10; }

constexpr TColor GridColour = 0xC0C0C0;
constexpr TColor PanelOutline = 0x008000;
constexpr TColor CellOutline = 0xFF0000;
constexpr TColor TextOutline = 0x800000;
constexpr TColor GridPanelBack = 0xEFEFEF;

// Grid lines over a client area whose top-left corner sits at (offsetX, offsetY) on the page.
void PaintGrid(TCanvas& canvas, const TRect& area, int offsetX, int offsetY, bool vertical, bool horizontal)
{
    canvas.Pen()->SetColor(GridColour);
    canvas.Pen()->SetWidth(1);
    if (vertical) {
        for (int k = 1; GridLine(k) - offsetX < area.Right; ++k) {
            const int x = GridLine(k) - offsetX;
            if (x < area.Left)
                continue;
            canvas.Pen()->SetStyle(k % 2 == 0 ? psSolid : psDot);
            canvas.MoveTo(x, area.Top);
            canvas.LineTo(x, area.Bottom);
        }
    }
    if (horizontal) {
        for (int k = 1; GridLine(k) - offsetY < area.Bottom; ++k) {
            const int y = GridLine(k) - offsetY;
            if (y < area.Top)
                continue;
            canvas.Pen()->SetStyle(k % 2 == 0 ? psSolid : psDot);
            canvas.MoveTo(area.Left, y);
            canvas.LineTo(area.Right, y);
        }
    }
    canvas.Pen()->SetStyle(psSolid);
}

void PaintDottedOutline(TCanvas& canvas, int width, int height, TColor colour)
{
    canvas.Pen()->SetColor(colour);
    canvas.Pen()->SetStyle(psDot);
    canvas.Pen()->SetWidth(1);
    canvas.Brush()->SetStyle(bsClear);
    canvas.Rectangle(0, 0, width, height);
    canvas.Brush()->SetStyle(bsSolid);
    canvas.Pen()->SetStyle(psSolid);
}

void PaintName(TCanvas& canvas, int x, int y, const std::string& name)
{
    canvas.Brush()->SetStyle(bsClear);
    canvas.Font()->SetColor(clBlack);
    canvas.TextOut(x, y, name);
    canvas.Brush()->SetStyle(bsSolid);
}

// The position of a control on its page: the sum of the positions up to the page.
TPoint PositionOnPage(const TControl* control)
{
    TPoint position{0, 0};
    for (const TControl* c = control; c && !dynamic_cast<const TPRPage*>(c); c = c->Parent()) {
        position.X += c->Left();
        position.Y += c->Top();
    }
    return position;
}

TPRPage* PageAbove(const TControl* control)
{
    for (TWinControl* parent = control->Parent(); parent; parent = parent->Parent())
        if (auto* page = dynamic_cast<TPRPage*>(parent))
            return page;
    return nullptr;
}

bool IsColour(TColor colour) { return colour != clNone; }

// The dash pattern of a pen style; nullptr for a clear line, which writes none.
const std::vector<std::uint8_t>* DashOf(TPenStyle style)
{
    static const std::vector<std::uint8_t> solid, dash{16, 8}, dot{3}, dashDot{8, 7, 2, 7},
        dashDotDot{8, 4, 2, 4, 2, 4};
    switch (style) {
    case psDash:
        return &dash;
    case psDot:
        return &dot;
    case psDashDot:
        return &dashDot;
    case psDashDotDot:
        return &dashDotDot;
    case psClear:
        return nullptr;
    default:
        return &solid;
    }
}

bool IsBitmapPicture(const TPicture& picture)
{
    return !picture.Graphic() || dynamic_cast<const TBitmap*>(picture.Graphic()) != nullptr;
}

} // namespace

// ---- TPReport ----------------------------------------------------------------------------

TPReport::TPReport(TComponent* AOwner)
    : TAbstractPReport(AOwner), FCanvas(std::make_unique<TPRCanvas>()), FCreationDate(Now())
{
}

TPReport::~TPReport() { DiscardDocument(); }

void TPReport::CheckClosed(const char* operation) const
{
    if (FDoc)
        RAISE(EPdfInvalidOperation(std::string(operation) + " --invalid operation."));
}

void TPReport::SetAuthor(const std::string& value)
{
    CheckClosed("SetAuthor");
    FAuthor = value;
}

void TPReport::SetCreator(const std::string& value)
{
    CheckClosed("SetCreator");
    FCreator = value;
}

void TPReport::SetKeywords(const std::string& value)
{
    CheckClosed("SetKeyWords");
    FKeywords = value;
}

void TPReport::SetSubject(const std::string& value)
{
    CheckClosed("SetSubject");
    FSubject = value;
}

void TPReport::SetTitle(const std::string& value)
{
    CheckClosed("SetTitle");
    FTitle = value;
}

void TPReport::SetCreationDate(TDateTime value)
{
    CheckClosed("SetCreationDate");
    FCreationDate = value;
}

void TPReport::SetModDate(TDateTime value)
{
    CheckClosed("SetModDate");
    FModDate = value;
}

void TPReport::SetPageLayout(TPdfPageLayout value)
{
    CheckClosed("SetPageLayout");
    FPageLayout = value;
}

void TPReport::SetPageMode(TPdfPageMode value)
{
    CheckClosed("SetPageMode");
    FPageMode = value;
}

void TPReport::SetNonFullScreenPageMode(TPdfPageMode value)
{
    CheckClosed("SetNonFullScreenPageMode");
    FNonFullScreenPageMode = value == pmFullScreen ? pmUseNone : value;
}

void TPReport::SetUseOutlines(bool value)
{
    CheckClosed("SetUseOutlines");
    FUseOutlines = value;
}

void TPReport::SetViewerPreference(const TPdfViewerPreferences& value)
{
    CheckClosed("SetViewerPreference");
    FViewerPreference = value;
}

void TPReport::StartDocument()
{
    DiscardDocument();
    auto doc = std::make_unique<TPdfDoc>();
    doc->SetReport(this);
    doc->SetUseOutlines(FUseOutlines);
    doc->SetCompressionMethod(CompressionMethod);
    doc->NewDocument();
    if (FUseOutlines)
        FOutlineRoot = &TPROutlineRoot::Create(*doc);
    TPdfCatalog& root = doc->Root();
    root.SetPageMode(FPageMode);
    root.SetPageLayout(FPageLayout);
    if (FNonFullScreenPageMode != pmUseNone)
        root.SetNonFullScreenPageMode(FNonFullScreenPageMode);
    if (!FViewerPreference.empty())
        root.SetViewerPreference(FViewerPreference);
    TPdfInfo& info = doc->Info();
    info.SetAuthor(FAuthor);
    info.SetCreationDate(FCreationDate);
    info.SetCreator(FCreator);
    info.SetKeywords(FKeywords);
    info.SetModDate(FModDate);
    info.SetSubject(FSubject);
    info.SetTitle(FTitle);
    FDoc = std::move(doc);
    FPageCount = 0;
}

void TPReport::PrintPage(TPRPage* page)
{
    if (!FDoc)
        RAISE(EPdfInvalidOperation("PrintPage --document is null."));
    FDoc->AddPage();
    ++FPageCount;
    FCanvas->PdfCanvas = &FDoc->Canvas();
    page->Print(FCanvas.get());
}

void TPReport::DiscardDocument()
{
    FCanvas->PdfCanvas = nullptr;
    FOutlineRoot = nullptr;
    FDoc.reset();
}

// ---- TPRPage -----------------------------------------------------------------------------

TPRPage::TPRPage(TComponent* AOwner) : TCustomPanel(AOwner)
{
    SetBevelOuter(bvNone);
    SetColor(clWhite);
    SetBounds(0, 0, 596, 842);
}

TPRPage::~TPRPage() = default;

void TPRPage::Print(TPRCanvas* ACanvas)
{
    ACanvas->PdfCanvas->SetPageHeight(Height());
    ACanvas->PdfCanvas->SetPageWidth(Width());
    if (OnPrintPage)
        OnPrintPage(this, ACanvas);
    for (int i = 0; i < ControlCount(); ++i)
        if (auto* panel = dynamic_cast<TPRPanel*>(Controls(i)))
            panel->Print(ACanvas, panel->BoundsRect());
}

void TPRPage::SetMargin(int& margin, int value)
{
    if (value == margin || value < 0 || value * 2 >= Width())
        return;
    margin = value;
    Realign();
    Invalidate();
}

void TPRPage::AdjustClientRect(TRect& Rect)
{
    Rect.Left += FMarginLeft;
    Rect.Top += FMarginTop;
    Rect.Right -= FMarginRight;
    Rect.Bottom -= FMarginBottom;
}

void TPRPage::SetShowName(bool value)
{
    FShowName = value;
    Invalidate();
}

void TPRPage::SetShowVRuler(bool value)
{
    FShowVRuler = value;
    Invalidate();
}

void TPRPage::SetShowHRuler(bool value)
{
    FShowHRuler = value;
    Invalidate();
}

void TPRPage::SetShowVGrid(bool value)
{
    FShowVGrid = value;
    RepaintAll();
}

void TPRPage::SetShowHGrid(bool value)
{
    FShowHGrid = value;
    RepaintAll();
}

void TPRPage::RepaintAll()
{
    Invalidate();
    std::function<void(TWinControl*)> invalidateChildren = [&invalidateChildren](TWinControl* parent) {
        for (int i = 0; i < parent->ControlCount(); ++i) {
            TControl* child = parent->Controls(i);
            child->Invalidate();
            if (auto* container = dynamic_cast<TWinControl*>(child))
                invalidateChildren(container);
        }
    };
    invalidateChildren(this);
}

TPdfCanvas& TPRPage::MeasureCanvas()
{
    if (!FMeasureDoc) {
        FMeasureDoc = std::make_unique<TPdfDoc>();
        FMeasureDoc->NewVirtualDocument();
    }
    return FMeasureDoc->Canvas();
}

void TPRPage::Paint()
{
    TCanvas& canvas = *Canvas();
    const TRect area{0, 0, Width(), Height()};
    canvas.Brush()->SetColor(clWhite);
    canvas.FillRect(area);
    PaintGrid(canvas, area, 0, 0, FShowVGrid, FShowHGrid);
    canvas.Font()->SetName("Arial");
    canvas.Font()->SetSize(8);
    canvas.Font()->SetColor(GridColour);
    canvas.Brush()->SetStyle(bsClear);
    if (FShowVRuler)
        for (int k = 1; RulerMark(k) < Width(); ++k)
            canvas.TextOut(RulerMark(k) + 2, 1, IntToStr(k));
    if (FShowHRuler)
        for (int k = 1; RulerMark(k) < Height(); ++k)
            canvas.TextOut(1, RulerMark(k) + 1, IntToStr(k));
    canvas.Brush()->SetStyle(bsSolid);
    if (FShowName)
        PaintName(canvas, 4, 4, Name());
}

// ---- TPRPanel ----------------------------------------------------------------------------

TPRPanel::TPRPanel(TComponent* AOwner) : TCustomPanel(AOwner)
{
    SetBevelOuter(bvNone);
    SetColor(clWindow);
    SetHeight(100);
}

TPRPage* TPRPanel::Page() const { return PageAbove(this); }

void TPRPanel::SetParent(TWinControl* AParent)
{
    if (auto* grid = dynamic_cast<TPRGridPanel*>(AParent); grid && grid->ChildPanel() != this)
        AParent = grid->ChildPanel();
    TCustomPanel::SetParent(AParent);
}

void TPRPanel::SetShowName(bool value)
{
    FShowName = value;
    Invalidate();
}

void TPRPanel::Print(TPRCanvas* ACanvas, const TRect& ARect)
{
    for (int i = 0; i < ControlCount(); ++i) {
        TControl* child = Controls(i);
        TRect bounds = child->BoundsRect();
        OffsetRect(bounds, ARect.Left, ARect.Top);
        if (auto* panel = dynamic_cast<TPRPanel*>(child))
            panel->Print(ACanvas, bounds);
        else if (auto* item = dynamic_cast<TPRItem*>(child); item && item->Printable)
            item->Print(ACanvas, bounds);
    }
}

void TPRPanel::PaintGridAndName(TColor outline)
{
    TCanvas& canvas = *Canvas();
    if (TPRPage* page = Page()) {
        const TPoint position = PositionOnPage(this);
        PaintGrid(canvas, TRect{0, 0, Width(), Height()}, position.X, position.Y, page->ShowVGrid(),
                  page->ShowHGrid());
    }
    if (FShowName) {
        canvas.Font()->SetName("Arial");
        canvas.Font()->SetSize(8);
        PaintName(canvas, 2, 2, Name());
    }
    PaintDottedOutline(canvas, Width(), Height(), outline);
}

void TPRPanel::Paint()
{
    Canvas()->Brush()->SetColor(clWhite);
    Canvas()->FillRect(TRect{0, 0, Width(), Height()});
    PaintGridAndName(PanelOutline);
}

// ---- TPRGridPanel ------------------------------------------------------------------------

TPRGridPanel::TPRGridPanel(TComponent* AOwner) : TPRPanel(AOwner)
{
    FChildPanel = new TPRChildPanel(this);
    FChildPanel->SetShowName(false);
    FChildPanel->SetParent(this);
    PlaceChildPanel();
}

void TPRGridPanel::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    TPRPanel::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (FChildPanel)
        PlaceChildPanel();
}

void TPRGridPanel::PlaceChildPanel()
{
    FChildPanel->SetBounds(0, 0, Width() / FColCount, Height() / FRowCount);
}

void TPRGridPanel::SetParent(TWinControl* AParent)
{
    if (AParent && !dynamic_cast<TPRPanel*>(AParent) && !dynamic_cast<TPRPage*>(AParent))
        RAISE(Exception("TPRPage can not set on " + AParent->ClassName()));
    TPRPanel::SetParent(AParent);
}

void TPRGridPanel::SetColCount(int value)
{
    if (value == FColCount)
        return;
    if (value <= 0 || Width() / value < 10)
        RAISE(Exception("invalid colcount"));
    FColCount = value;
    PlaceChildPanel();
    Invalidate();
}

void TPRGridPanel::SetRowCount(int value)
{
    if (value == FRowCount)
        return;
    if (value <= 0 || Height() / value < 10)
        RAISE(Exception("invalid rowcount"));
    FRowCount = value;
    PlaceChildPanel();
    Invalidate();
}

void TPRGridPanel::PrintCell(TPRCanvas* ACanvas, const TRect& ARect, int col, int row)
{
    const int left = ARect.Left + Width() * col / FColCount;
    const int top = ARect.Top + Height() * row / FRowCount;
    const TRect cell{left, top, left + FChildPanel->Width(), top + FChildPanel->Height()};
    if (BeforePrintChild)
        BeforePrintChild(this, ACanvas, col, row, cell);
    FChildPanel->Print(ACanvas, cell);
    if (AfterPrintChild)
        AfterPrintChild(this, ACanvas, col, row, cell);
}

void TPRGridPanel::Print(TPRCanvas* ACanvas, const TRect& ARect)
{
    if (BeforePrint)
        BeforePrint(this, ACanvas, ARect);
    if (PrintDirection == pdHorz) {
        for (int row = 0; row < FRowCount; ++row)
            for (int col = 0; col < FColCount; ++col)
                PrintCell(ACanvas, ARect, col, row);
    } else {
        for (int col = 0; col < FColCount; ++col)
            for (int row = 0; row < FRowCount; ++row)
                PrintCell(ACanvas, ARect, col, row);
    }
    if (AfterPrint)
        AfterPrint(this, ACanvas, ARect);
}

void TPRGridPanel::Paint()
{
    TCanvas& canvas = *Canvas();
    canvas.Brush()->SetColor(FColCount * FRowCount > 1 ? GridPanelBack : clWhite);
    canvas.FillRect(TRect{0, 0, Width(), Height()});
    canvas.Brush()->SetColor(clWhite);
    canvas.FillRect(FChildPanel->BoundsRect());
    PaintGridAndName(CellOutline);
    canvas.Pen()->SetColor(CellOutline);
    canvas.Pen()->SetStyle(psDot);
    for (int col = 1; col <= FColCount; ++col) {
        const int x = std::min(Width() * col / FColCount, Width() - 1);
        canvas.MoveTo(x, 0);
        canvas.LineTo(x, Height());
    }
    for (int row = 1; row <= FRowCount; ++row) {
        const int y = std::min(Height() * row / FRowCount, Height() - 1);
        canvas.MoveTo(0, y);
        canvas.LineTo(Width(), y);
    }
    canvas.Pen()->SetStyle(psSolid);
    FChildPanel->Invalidate();
}

// ---- TPRItem -----------------------------------------------------------------------------

TPRItem::TPRItem(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 100, 30); }

void TPRItem::Print(TPRCanvas* /*ACanvas*/, const TRect& /*ARect*/) {}

void TPRItem::SetParent(TWinControl* AParent)
{
    if (auto* grid = dynamic_cast<TPRGridPanel*>(AParent))
        AParent = grid->ChildPanel();
    else if (AParent && !dynamic_cast<TPRPanel*>(AParent))
        RAISE(Exception("this component must set on TPRPanel"));
    TGraphicControl::SetParent(AParent);
}

TPRPage* TPRItem::Page() const { return PageAbove(this); }

int TPRItem::PageHeight() const
{
    const TPRPage* page = Page();
    return page ? page->Height() : 0;
}

// ---- TPRCustomLabel ----------------------------------------------------------------------

TPRCustomLabel::TPRCustomLabel(TComponent* AOwner) : TPRItem(AOwner) {}

void TPRCustomLabel::SetFontColor(TColor value)
{
    if (value > 0x0FFFFFFF)
        RAISE(EPdfInvalidValue("the color you selected is not allowed."));
    FFontColor = value;
    Invalidate();
}

void TPRCustomLabel::SetFontName(TPRFontName value)
{
    FFontName = value;
    Invalidate();
}

void TPRCustomLabel::SetFontSize(float value)
{
    if (value == FFontSize || !(value > 0))
        return;
    FFontSize = value;
    Invalidate();
}

void TPRCustomLabel::SetFontBold(bool value)
{
    FFontBold = value;
    Invalidate();
}

void TPRCustomLabel::SetFontItalic(bool value)
{
    FFontItalic = value;
    Invalidate();
}

void TPRCustomLabel::SetCharSpace(float value)
{
    if (value == FCharSpace)
        return;
    FCharSpace = value;
    Invalidate();
}

void TPRCustomLabel::SetWordSpace(float value)
{
    if (value == FWordSpace || !(value >= 0))
        return;
    FWordSpace = value;
    Invalidate();
}

std::string TPRCustomLabel::PdfFontName() const
{
    static const char* const families[] = {"FixedWidth", "Arial", "Times"};
    const std::string family = families[FFontName];
    if (FFontBold && FFontItalic)
        return family + "-BoldItalic";
    if (FFontBold)
        return family + "-Bold";
    if (FFontItalic)
        return family + "-Italic";
    return FFontName == fnTimesRoman ? "Times-Roman" : family;
}

void TPRCustomLabel::ApplyScreenFont(TCanvas* canvas) const
{
    static const char* const families[] = {"Courier New", "Arial", "Times New Roman"};
    TFont& font = *canvas->Font();
    font.SetName(families[FFontName]);
    font.SetCharset(ANSI_CHARSET);
    font.SetSize(static_cast<int>(std::nearbyint(FFontSize * 0.75)));
    TFontStyles style;
    if (FFontBold)
        style.Include(fsBold);
    if (FFontItalic)
        style.Include(fsItalic);
    font.SetStyle(style);
    font.SetColor(FFontColor);
}

// ---- TPRText -----------------------------------------------------------------------------

TPRText::TPRText(TComponent* AOwner) : TPRCustomLabel(AOwner), FLines(std::make_unique<TStringList>())
{
    FLines->OnChange = [this](TObject*) { Invalidate(); };
}

TPRText::~TPRText() { FLines->OnChange = nullptr; }

void TPRText::SetLeading(float value)
{
    if (value == FLeading || !(value >= 0))
        return;
    FLeading = value;
    Invalidate();
}

void TPRText::SetLines(TStrings* value) { FLines->Assign(value); }

void TPRText::SetWordWrap(bool value)
{
    FWordWrap = value;
    Invalidate();
}

std::string TPRText::PrintedText() const
{
    std::string text;
    for (int i = 0; i < FLines->Count(); ++i) {
        if (i > 0)
            text += "\r\n";
        text += FLines->Strings(i);
    }
    std::size_t first = 0;
    while (first < text.size() && static_cast<unsigned char>(text[first]) <= ' ')
        ++first;
    std::size_t last = text.size();
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ')
        --last;
    return text.substr(first, last - first);
}

void TPRText::Print(TPRCanvas* ACanvas, const TRect& ARect)
{
    TPdfCanvas& canvas = *ACanvas->PdfCanvas;
    const int pageHeight = PageHeight();
    canvas.SetFont(PdfFontName(), FontSize());
    canvas.SetRGBFillColor(FontColor());
    canvas.SetCharSpace(CharSpace());
    canvas.SetWordSpace(WordSpace());
    canvas.SetLeading(FLeading);
    canvas.WriteTextBlock(PdfObject::MakePdfRect(static_cast<float>(ARect.Left),
                                                 static_cast<float>(pageHeight - ARect.Top),
                                                 static_cast<float>(ARect.Right),
                                                 static_cast<float>(pageHeight - ARect.Bottom)),
                          PrintedText(), FWordWrap);
}

void TPRText::Paint()
{
    TCanvas& canvas = *Canvas();
    ApplyScreenFont(&canvas);
    canvas.Brush()->SetStyle(bsClear);
    if (TPRPage* page = Page()) {
        TPdfCanvas& measure = page->MeasureCanvas();
        measure.SetFont(PdfFontName(), FontSize());
        const float lineStep = std::nearbyint(FLeading);
        float y = 0;
        for (int i = 0; i < FLines->Count() && y <= Height() - FontSize(); ++i) {
            const std::string& line = FLines->Strings(i);
            float x = 0;
            for (std::size_t c = 0; c < line.size() && x < Width(); ++c) {
                canvas.TextOut(static_cast<int>(std::nearbyint(x)), static_cast<int>(y), line.substr(c, 1));
                x += measure.TextWidth(line.substr(c, 1)) + CharSpace();
                if (line[c] == ' ')
                    x += WordSpace();
            }
            y += lineStep;
        }
    }
    canvas.Brush()->SetStyle(bsSolid);
    PaintDottedOutline(canvas, Width(), Height(), TextOutline);
}

// ---- TPRShape and TPRRect ----------------------------------------------------------------

void TPRShape::SetLineWidth(float value)
{
    if (value == FLineWidth || !(value >= 0))
        return;
    FLineWidth = value;
    Invalidate();
}

void TPRShape::SetLineColor(TColor value)
{
    FLineColor = value;
    Invalidate();
}

void TPRShape::SetLineStyle(TPenStyle value)
{
    FLineStyle = value;
    Invalidate();
}

void TPRShape::SetFillColor(TColor value)
{
    FFillColor = value;
    Invalidate();
}

void TPRRect::WritePath(TPdfCanvas& canvas, const TRect& rect, int pageHeight) const
{
    const float left = static_cast<float>(rect.Left);
    const float top = static_cast<float>(pageHeight - rect.Top);
    const float bottom = static_cast<float>(pageHeight - rect.Bottom + (Height() > 1 ? 1 : 0));
    const float right = static_cast<float>(rect.Right - 1);
    canvas.MoveTo(left, top);
    if (Width() > 1) {
        canvas.LineTo(right, top);
        if (Height() > 1)
            canvas.LineTo(right, bottom);
    }
    if (Height() > 1)
        canvas.LineTo(left, bottom);
}

void TPRRect::WritePaint(TPdfCanvas& canvas) const
{
    const bool isRectangle = Width() > 1 && Height() > 1;
    if (!isRectangle) {
        canvas.Stroke();
        canvas.NewPath();
    } else if (!IsColour(FillColor())) {
        canvas.ClosePathStroke();
    } else if (!IsColour(LineColor()) || LineStyle() == psClear) {
        canvas.ClosePath();
        canvas.Fill();
    } else {
        canvas.ClosePathFillStroke();
    }
}

void TPRRect::Print(TPRCanvas* ACanvas, const TRect& ARect)
{
    if (Height() <= 1 && Width() < 2)
        return;
    const bool noLine = !IsColour(LineColor()) || LineStyle() == psClear;
    if (noLine && (Width() < 2 || Height() < 2))
        return;
    TPdfCanvas& canvas = *ACanvas->PdfCanvas;
    if (const std::vector<std::uint8_t>* dash = DashOf(LineStyle()))
        canvas.SetDash(*dash, 0);
    WritePath(canvas, ARect, PageHeight());
    if (IsColour(FillColor()) && Width() > 1 && Height() > 1)
        canvas.SetRGBFillColor(FillColor());
    if (IsColour(LineColor())) {
        canvas.SetRGBStrokeColor(LineColor());
        canvas.SetLineWidth(LineWidth());
    }
    WritePaint(canvas);
}

void TPRRect::Paint()
{
    TCanvas& canvas = *Canvas();
    const int inset = Width() > 1 && Height() > 1 ? 1 : 0;
    if (IsColour(FillColor())) {
        canvas.Brush()->SetColor(FillColor());
        canvas.FillRect(TRect{0, 0, Width(), Height()});
    }
    if (IsColour(LineColor()) && LineStyle() != psClear) {
        canvas.Pen()->SetColor(LineColor());
        canvas.Pen()->SetStyle(LineStyle());
        canvas.Pen()->SetWidth(std::max(1, static_cast<int>(std::nearbyint(LineWidth()))));
        canvas.Brush()->SetStyle(bsClear);
        canvas.Rectangle(0, 0, std::max(1, Width() - inset + 1), std::max(1, Height() - inset + 1));
        canvas.Brush()->SetStyle(bsSolid);
        canvas.Pen()->SetStyle(psSolid);
    }
}

// ---- TPRImage ----------------------------------------------------------------------------

TPRImage::TPRImage(TComponent* AOwner) : TPRItem(AOwner), FPicture(std::make_unique<TPicture>()) {}

TPRImage::~TPRImage() = default;

void TPRImage::SetPicture(TPicture* value)
{
    if (value && !IsBitmapPicture(*value))
        RAISE(Exception("only bitmap image is allowed."));
    FPicture->Assign(value);
    Invalidate();
}

void TPRImage::SetStretch(bool value)
{
    FStretch = value;
    Invalidate();
}

void TPRImage::SetShowName(bool value)
{
    FShowName = value;
    Invalidate();
}

std::string TPRImage::FreeNumberedName(const TPdfDoc& doc) const
{
    constexpr int NameCount = 65535;
    int number = Random(NameCount - 1);
    for (int tried = 0; tried < NameCount; ++tried) {
        const std::string name = Name() + IntToStr(number);
        if (!doc.FindXObject(name))
            return name;
        number = number >= NameCount - 1 ? 0 : number + 1;
    }
    RAISE(Exception("image count over max value.."));
}

std::string TPRImage::RegisterImage(TPdfDoc& doc)
{
    if (SharedImage) {
        if (!doc.FindXObject(Name()))
            doc.AddImage(Name(), CreatePdfImage(FPicture->Graphic(), "Pdf-Bitmap"));
        return Name();
    }
    const std::string name = FreeNumberedName(doc);
    doc.AddImage(name, CreatePdfImage(FPicture->Graphic(), "Pdf-Bitmap"));
    return name;
}

void TPRImage::Print(TPRCanvas* ACanvas, const TRect& ARect)
{
    auto* bitmap = dynamic_cast<TBitmap*>(FPicture->Graphic());
    if (!bitmap || bitmap->Empty())
        return;
    TPdfCanvas& canvas = *ACanvas->PdfCanvas;
    const std::string name = RegisterImage(canvas.Doc());
    const int pageHeight = PageHeight();
    const auto f = [](int value) { return static_cast<float>(value); };
    if (FStretch) {
        canvas.DrawXObject(f(ARect.Left), f(pageHeight - ARect.Bottom), f(Width()), f(Height()), name);
    } else {
        canvas.DrawXObjectEx(f(ARect.Left), f(pageHeight - ARect.Top - bitmap->Height()), f(bitmap->Width()),
                             f(bitmap->Height()), f(ARect.Left), f(pageHeight - ARect.Top - Height()), f(Width()),
                             f(Height()), name);
    }
}

void TPRImage::Paint()
{
    TCanvas& canvas = *Canvas();
    TGraphic* graphic = FPicture->Graphic();
    if (graphic && !graphic->Empty()) {
        if (FStretch)
            canvas.StretchDraw(TRect{0, 0, Width(), Height()}, graphic);
        else
            canvas.Draw(0, 0, graphic);
        return;
    }
    if (FShowName) {
        canvas.Font()->SetName("Arial");
        canvas.Font()->SetSize(8);
        PaintName(canvas, 4, 4, Name());
    }
    PaintDottedOutline(canvas, Width(), Height(), CellOutline);
}

// ---- Outlines ----------------------------------------------------------------------------

TPROutlineRoot& TPROutlineRoot::Create(TPdfDoc& doc)
{
    std::unique_ptr<TPROutlineRoot> root(new TPROutlineRoot);
    TPROutlineRoot& result = *root;
    result.FData = &doc.OutlineRoot();
    result.FData->SetOwner(std::move(root));
    return result;
}
