#include "reportexport/RP_E_PicPDF.h"

#include "report/rpEMFPages.h"
#include "report/rpMemoView.h"
#include "report/rpPictureView.h"
#include "report/rpReport.h"
#include "report/rpView.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/Colors.h"
#include "platform/gui/Form.h"

#include <cmath>

namespace {

// The engine's page pixels to PDF points: an A4 page of 753 × 1072 pixels is 596 × 842 points.
constexpr double ScaleXNum = 596, ScaleXDen = 753;
constexpr double ScaleYNum = 421, ScaleYDen = 536;

// To the nearest integer, a half to the even neighbour.
int RoundX(int value) { return static_cast<int>(std::nearbyint(value * ScaleXNum / ScaleXDen)); }
int RoundY(int value) { return static_cast<int>(std::nearbyint(value * ScaleYNum / ScaleYDen)); }

// The PDF canvas refuses font sizes above 300 points.
constexpr int LargestFontSize = 300;

// A system colour written as black would hide a background or frame that the screen and the
// printer show in the system's colour.
TColor PrintableColour(TColor colour)
{
    return colour == clNone ? clNone : static_cast<TColor>(ColorToRGB(colour));
}

// A font colour the text component refuses (clNone, any value above 0x0FFFFFFF) is written
// black: one odd memo must not cost the whole document.
TColor PrintableFontColour(TColor colour)
{
    if (colour < 0)
        return static_cast<TColor>(ColorToRGB(colour));
    return colour > 0x0FFFFFFF ? clBlack : colour;
}

TPenStyle PenStyleOf(std::uint16_t frameStyle)
{
    return frameStyle <= psInsideFrame ? static_cast<TPenStyle>(frameStyle) : psSolid;
}

bool IsBarCodeView(const TrpView* view) { return view->InheritsFrom("TrpBarCodeView"); }
bool IsRichView(const TrpView* view)
{
    return view->InheritsFrom("TrpRichView") || view->InheritsFrom("TrpExRichView");
}

// The size of the report's first prepared page, which every exported page takes.
void PageSizeOfFirstSheet(int& width, int& height)
{
    if (!CurReport || !CurReport->PreparedPages || CurReport->PreparedPages->Count() == 0)
        return;
    const TrpPrnInfo& info = CurReport->PreparedPages->Pages(0)->PrinterInfo;
    width = static_cast<int>(info.PaperWidthPx * ScaleXNum / ScaleXDen);
    height = static_cast<int>(info.PaperHeightPx * ScaleYNum / ScaleYDen);
}

} // namespace

TrpPicPDFExportFilter::TrpPicPDFExportFilter(TStream* stream)
    : TrpExportFilter(stream), FReport(std::make_unique<TPReport>(nullptr))
{
    FReport->CompressionMethod = cmNone;
    FReport->StartDocument();
    FHostForm = std::make_unique<TForm>(nullptr);
}

TrpPicPDFExportFilter::~TrpPicPDFExportFilter()
{
    FreePage();
    FReport.reset();
    FHostForm.reset();
}

TrpExportFilterClass TrpPicPDFExportFilter::ClassEntry()
{
    return {"TrpPicPDFExportFilter", [](TStream* stream) { return new TrpPicPDFExportFilter(stream); }};
}

void TrpPicPDFExportFilter::OnEndDoc() { FReport->PdfDocument()->SaveToStream(*Stream); }

void TrpPicPDFExportFilter::FreePage()
{
    delete FPage;
    FPage = nullptr;
    FPanel = nullptr;
}

void TrpPicPDFExportFilter::OnBeginPage()
{
    FreePage();
    FPage = new TPRPage(FReport.get());
    FPage->SetParent(FHostForm.get());
    FPage->SetMarginBottom(0);
    FPage->SetMarginTop(0);
    FPage->SetMarginLeft(0);
    FPage->SetMarginRight(0);
    int width = FPage->Width();
    int height = FPage->Height();
    PageSizeOfFirstSheet(width, height);
    FPage->SetHeight(height);
    FPage->SetWidth(width);
    FPanel = new TPRPanel(FPage);
    FPanel->SetParent(FPage);
    FPanel->SetBounds(0, 0, FPage->Width(), FPage->Height());
}

void TrpPicPDFExportFilter::OnEndPage()
{
    if (!FPage)
        return;
    struct TPageRelease {
        TrpPicPDFExportFilter& Filter;
        ~TPageRelease() { Filter.FreePage(); }
    } release{*this};
    FReport->PrintPage(FPage);
}

void TrpPicPDFExportFilter::OnData(int x, int y, TrpView* view)
{
    if (!FPanel || !view)
        return;
    const int left = RoundX(x);
    const int top = RoundY(y);
    const int width = RoundX(view->Width) + 1;
    const int height = RoundY(view->Height) + 1;
    if (view->FillColor != clNone)
        ShowBackGround(view, left, top, height, width);
    if (IsRichView(view))
        ShowRtf(view, left, top, height, width);
    const bool barCode = IsBarCodeView(view);
    if (barCode)
        ShowBarCode(view, left, top, height, width);
    else if (view->InheritsFrom("TrpPictureView"))
        ShowPicture(view, left, top, height, width);
    if ((view->FrameTyp & rpFrameAll) != 0 && !barCode)
        ShowFrame(view, left, top, height, width);
}

void TrpPicPDFExportFilter::ShowBackGround(TrpView* view, int x, int y, int h, int w)
{
    auto* rect = new TPRRect(FPanel);
    rect->SetParent(FPanel);
    const TColor colour = PrintableColour(view->FillColor);
    rect->SetFillColor(colour);
    rect->SetLineColor(colour);
    rect->SetLineStyle(psSolid);
    rect->SetBounds(x, y, w, h);
}

void TrpPicPDFExportFilter::Frame(TrpView* view, int x, int y, int h, int w)
{
    auto* rect = new TPRRect(FPanel);
    rect->SetParent(FPanel);
    rect->SetFillColor(clNone);
    rect->SetBounds(x, y, w, h);
    rect->SetLineStyle(PenStyleOf(view->FrameStyle));
    rect->SetLineWidth(view->FrameWidth - 0.5f);
    rect->SetLineColor(PrintableColour(view->FrameColor));
}

void TrpPicPDFExportFilter::ShowFrame(TrpView* view, int x, int y, int h, int w)
{
    if ((view->FrameTyp & rpFrameAll) == rpFrameAll && view->FrameStyle == psSolid) {
        Frame(view, x, y, h, w);
        return;
    }
    if (view->FrameTyp & rpFrameRight)
        Frame(view, x + w, y, h + 1, 0);
    if (view->FrameTyp & rpFrameLeft)
        Frame(view, x, y, h + 1, 0);
    if (view->FrameTyp & rpFrameBottom)
        Frame(view, x, y + h, 0, w);
    if (view->FrameTyp & rpFrameTop)
        Frame(view, x, y, 0, w);
}

TPRImage& TrpPicPDFExportFilter::AddImage(int x, int y, int h, int w)
{
    auto* image = new TPRImage(FPanel);
    image->SetParent(FPanel);
    image->SetStretch(true);
    image->SharedImage = false;
    image->SetBounds(x, y, w, h);
    return *image;
}

void TrpPicPDFExportFilter::ShowDrawnView(TrpView* view, int x, int y, int h, int w)
{
    const int savedLeft = view->Left;
    const int savedTop = view->Top;
    struct TPositionRestore {
        TrpView& View;
        int Left, Top;
        ~TPositionRestore()
        {
            View.Left = Left;
            View.Top = Top;
        }
    } restore{*view, savedLeft, savedTop};
    view->Left = 0;
    view->Top = 0;
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(std::max(view->Width, 0), std::max(view->Height, 0));
    TPRImage& image = AddImage(x, y, h, w);
    if (bitmap.Empty())
        return;
    bitmap.Canvas()->Brush()->SetColor(clWhite);
    bitmap.Canvas()->FillRect(TRect{0, 0, bitmap.Width(), bitmap.Height()});
    view->ScaleX = 1;
    view->ScaleY = 1;
    view->OriginX = 0;
    view->OriginY = 0;
    view->Draw(bitmap.Canvas());
    TPicture picture;
    picture.SetGraphic(&bitmap);
    image.SetPicture(&picture);
}

void TrpPicPDFExportFilter::ShowBarCode(TrpView* view, int x, int y, int h, int w)
{
    ShowDrawnView(view, x, y, h, w);
}

void TrpPicPDFExportFilter::ShowRtf(TrpView* view, int x, int y, int h, int w) { ShowDrawnView(view, x, y, h, w); }

void TrpPicPDFExportFilter::ShowPicture(TrpView* view, int x, int y, int h, int w)
{
    auto* pictureView = dynamic_cast<TrpPictureView*>(view);
    TPRImage& image = AddImage(x, y, h, w);
    TGraphic* graphic = pictureView ? pictureView->Picture->Graphic() : nullptr;
    if (!graphic || graphic->Empty() || graphic->Width() <= 0 || graphic->Height() <= 0)
        return;
    TBitmap bitmap;
    if (dynamic_cast<TBitmap*>(graphic) && !graphic->Transparent()) {
        // A copy keeps a palette picture's palette, so it stays an indexed image.
        bitmap.Assign(graphic);
    } else {
        bitmap.SetPixelFormat(pf24bit);
        bitmap.SetSize(graphic->Width(), graphic->Height());
        bitmap.Canvas()->Brush()->SetColor(clWhite);
        bitmap.Canvas()->FillRect(TRect{0, 0, bitmap.Width(), bitmap.Height()});
        bitmap.Canvas()->Draw(0, 0, graphic);
    }
    TPicture picture;
    picture.SetGraphic(&bitmap);
    image.SetPicture(&picture);
}

void TrpPicPDFExportFilter::OnText(int x, int y, const std::string& text, TrpView* view)
{
    if (!FPanel || !view)
        return;
    auto* item = new TPRText(FPanel);
    item->SetParent(FPanel);
    item->Lines()->SetText(text);
    item->SetBounds(RoundX(x) + 1, RoundY(y) + 1, RoundX(view->Width), RoundY(view->Height));
    auto* memo = dynamic_cast<TrpMemoView*>(view);
    if (!memo)
        return;
    const TFont& font = *memo->Font;
    const std::string& name = font.Name();
    if (name.find("Arial") != std::string::npos)
        item->SetFontName(fnArial);
    else if (name.find("Courier") != std::string::npos)
        item->SetFontName(fnFixedWidth);
    else if (name.find("Times") != std::string::npos)
        item->SetFontName(fnTimesRoman);
    item->SetFontSize(static_cast<float>(std::min(font.Size(), LargestFontSize)));
    item->SetFontBold(font.Style().Contains(fsBold));
    item->SetFontItalic(font.Style().Contains(fsItalic));
    item->SetFontColor(PrintableFontColour(font.Color()));
}
