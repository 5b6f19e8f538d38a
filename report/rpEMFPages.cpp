#include "report/rpEMFPages.h"

#include "report/rpEngine.h"
#include "report/rpMemoView.h"
#include "report/rpPictureView.h"
#include "report/rpReport.h"
#include "report/rpStreams.h"

#include "platform/gui/Canvas.h"
#include "platform/gui/Graphic.h"
#include "platform/gui/Metafile.h"
#include "platform/gui/Printer.h"
#include "platform/gui/Regions.h"
#include "platform/rtl/Formats.h"

#include <climits>
#include <cstdlib>

TrpCompressor* rpCompressor = nullptr;

namespace rpEMFPages {
namespace {

constexpr std::uint8_t StreamVersion = 23, PictureType = 1, AddInType = 10;
// The first byte of a prepared-report file; any other value starts the older layout.
constexpr std::uint8_t Uncompressed = 0, Compressed = 1, CompressedToo = 255;
// The end position and the paper of one sheet.
constexpr int SheetEntrySize = 16;
// On screen an object is drawn when its rectangle grown by this much meets the clip region.
constexpr int CullMargin = 10;
// Objects placed or sized beyond this many report units, or text in fonts above this many points,
// belong to no sheet: such a record is broken, and drawing it would overflow.
constexpr int GeometryLimit = 100000;
constexpr int FontSizeLimit = 1638;

TPrinterOrientation OrientationOf(std::uint8_t orientation)
{
    return orientation != 0 ? poLandscape : poPortrait;
}

// The printer takes the sheet's paper and gives its metrics. A paper the printer cannot lay out
// (no size) is taken as A4, so that every sheet can be drawn.
void FillSheetMetrics(TrpPageInfo& info)
{
    TrpPrinter* printer = rpPrinter();
    const TPrinterOrientation orientation = OrientationOf(info.Orientation);
    try {
        printer->SetPrinterInfo(info.PaperSize, info.Width, info.Height, orientation);
    } catch (const Exception&) {
        printer->SetPrinterInfo(rpCustomPaper, info.Width, info.Height, orientation);
    }
    printer->FillPrnInfo(info.PrinterInfo);
    if (info.PrinterInfo.PaperWidthPx <= 0 || info.PrinterInfo.PaperHeightPx <= 0) {
        printer->SetPrinterInfo(DMPAPER_A4, 0, 0, orientation);
        printer->FillPrnInfo(info.PrinterInfo);
    }
}

// The end position and the paper of a sheet; the end must lie after the paper and within the
// stream, so reading never goes back.
std::unique_ptr<TrpPageInfo> ReadSheetHeader(TStream& stream, std::int64_t& end)
{
    end = stream.ReadUInt32();
    auto info = std::make_unique<TrpPageInfo>();
    info->PaperSize = stream.ReadUInt16();
    info->Width = stream.ReadInt32();
    info->Height = stream.ReadInt32();
    info->Orientation = stream.ReadUInt8();
    info->UseMargins = stream.ReadUInt8();
    if (end < stream.Position() || end > stream.Size())
        RAISE(EReadError("Posizione di fine foglio non valida"));
    FillSheetMetrics(*info);
    return info;
}

// The sheet count, which cannot exceed what the rest of the stream holds.
std::uint32_t ReadSheetCount(TStream& stream)
{
    const std::uint32_t count = stream.ReadUInt32();
    if (static_cast<std::int64_t>(count) > (stream.Size() - stream.Position()) / SheetEntrySize)
        RAISE(EReadError("Numero di fogli non valido"));
    return count;
}

void CopyBytes(TStream& from, std::int64_t end, TMemoryStream& to)
{
    const std::int64_t length = end - from.Position();
    if (length <= 0)
        return;
    if (length > INT_MAX)
        RAISE(EReadError("Foglio troppo grande"));
    to.SetSize(length);
    from.ReadBuffer(to.Memory(), static_cast<int>(length));
    to.SetPosition(0);
}

bool Within(int value, int limit) { return value >= -limit && value <= limit; }

void CheckDrawable(const TrpView& view)
{
    bool sound = Within(view.Left, GeometryLimit) && Within(view.Top, GeometryLimit) &&
                 Within(view.Width, GeometryLimit) && Within(view.Height, GeometryLimit) &&
                 view.FrameWidth >= -GeometryLimit && view.FrameWidth <= GeometryLimit;
    if (const auto* memo = dynamic_cast<const TrpMemoView*>(&view))
        sound = sound && Within(memo->Font->Size(), FontSizeLimit);
    if (!sound)
        RAISE(EReadError("Oggetto del foglio fuori misura"));
}

int Scaled(int value, double scale) { return static_cast<int>(Round(value * scale)); }

} // namespace
} // namespace rpEMFPages

void TrpCompressor::Compress(TStream&, TStream&) {}

void TrpCompressor::DeCompress(TStream&, TStream&) {}

TrpEMFPages::TrpEMFPages(TrpReport* parent) : Parent(parent) {}

TrpEMFPages::~TrpEMFPages() = default;

void TrpEMFPages::Clear() { FPages.clear(); }

void TrpEMFPages::Insert(int index, TrpPage* page)
{
    auto info = std::make_unique<TrpPageInfo>();
    info->Stream->WriteUInt8(rpEMFPages::StreamVersion);
    rpVersion = rpEMFPages::StreamVersion;
    info->PaperSize = static_cast<std::uint16_t>(page->PaperSize & 0xFFFF);
    info->Width = page->PaperWidth;
    info->Height = page->PaperHeight;
    info->Orientation = page->Orientation == poLandscape ? 1 : 0;
    info->UseMargins = page->UseMargins != 0 ? 1 : 0;
    info->PrinterInfo = page->PrinterInfo;
    if (index < 0)
        index = 0;
    if (index >= Count())
        FPages.push_back(std::move(info));
    else
        FPages.insert(FPages.begin() + index, std::move(info));
}

void TrpEMFPages::Add(TrpPage* page)
{
    Insert(Count(), page);
    if (CurReport && CurReport->OnBeginPage)
        CurReport->OnBeginPage(PageNo);
    if (MasterReport && MasterReport != CurReport && MasterReport->OnBeginPage)
        MasterReport->OnBeginPage(PageNo);
}

void TrpEMFPages::Delete(int index)
{
    Pages(index);
    FPages.erase(FPages.begin() + index);
}

void TrpEMFPages::ReadObjects(TrpPageInfo& info, const std::function<void(std::unique_ptr<TrpView>)>& take)
{
    using namespace rpEMFPages;
    TMemoryStream& stream = *info.Stream;
    stream.SetPosition(0);
    rpVersion = stream.ReadUInt8();
    while (stream.Position() < stream.Size()) {
        const std::uint8_t type = stream.ReadUInt8();
        const std::string className = type == AddInType ? rpReadVersionString(stream, rpVersion) : std::string();
        std::unique_ptr<TrpView> view = rpCreateObject(type, className);
        if (!view)
            RAISE(EReadError(Format("Oggetto di tipo %d sconosciuto", {static_cast<int>(type)})));
        view->StreamMode = smPrinting;
        view->LoadFromStream(stream);
        view->StreamMode = smDesigning;
        CheckDrawable(*view);
        take(std::move(view));
    }
}

void TrpEMFPages::ObjectsToPage(int index)
{
    TrpPageInfo& info = *Pages(index);
    info.Page.reset();
    auto page = std::make_unique<TrpPage>(info.PaperSize, info.Width, info.Height,
                                          rpEMFPages::OrientationOf(info.Orientation));
    ReadObjects(info, [&page](std::unique_ptr<TrpView> view) { page->Objects.push_back(std::move(view)); });
    info.Page = std::move(page);
}

void TrpEMFPages::PageToObjects(int index)
{
    using namespace rpEMFPages;
    TrpPageInfo& info = *Pages(index);
    if (!info.Page)
        return;
    TMemoryStream& stream = *info.Stream;
    stream.Clear();
    stream.WriteUInt8(StreamVersion);
    for (const auto& view : info.Page->Objects) {
        view->StreamMode = smPrinting;
        view->WorkMemo->Assign(view->Memo.get());
        stream.WriteUInt8(view->ObjectType);
        if (view->ObjectType == AddInType)
            rpWriteString(stream, view->ClassName());
        view->SaveToStream(stream);
        view->StreamMode = smDesigning;
    }
}

void TrpEMFPages::Draw(int index, TCanvas* canvas, const TRect& rect)
{
    using namespace rpEMFPages;
    DocMode = dmPrinting;
    TrpPageInfo& info = *Pages(index);
    const bool toPrinter = Printer()->Printing() && canvas == Printer()->Canvas();
    if (!info.Visible) {
        info.Page.reset();
        return;
    }
    if (!info.Page)
        ObjectsToPage(index);
    const int paperWidth = info.PrinterInfo.PaperWidthPx, paperHeight = info.PrinterInfo.PaperHeightPx;
    if (paperWidth <= 0 || paperHeight <= 0)
        return;
    const double kx = static_cast<double>(rect.Width()) / paperWidth;
    const double ky = static_cast<double>(rect.Height()) / paperHeight;
    for (const auto& view : info.Page->Objects) {
        if (!toPrinter) {
            const RECT area{Scaled(view->Left, kx) + rect.Left - CullMargin, Scaled(view->Top, ky) + rect.Top - CullMargin,
                            Scaled(view->Left + view->Width, kx) + rect.Left + CullMargin,
                            Scaled(view->Top + view->Height, ky) + rect.Top + CullMargin};
            if (!RectVisible(canvas->Handle(), &area))
                continue;
        }
        view->ScaleX = kx;
        view->ScaleY = ky;
        view->OriginX = rect.Left;
        view->OriginY = rect.Top;
        view->IsPrinting = toPrinter;
        view->Draw(canvas);
    }
}

void TrpEMFPages::ExportData(int index)
{
    ReadObjects(*Pages(index), [](std::unique_ptr<TrpView> view) { view->ExportData(); });
}

void TrpEMFPages::SaveToStream(TStream& stream)
{
    using namespace rpEMFPages;
    stream.WriteUInt8(Uncompressed);
    TrpPrinter* printer = rpPrinter();
    rpWriteString(stream, printer->Printers->Strings(printer->PrinterIndex()));
    stream.WriteUInt32(static_cast<std::uint32_t>(Count()));
    for (const auto& info : FPages) {
        const std::int64_t placeholder = stream.Position();
        stream.WriteUInt32(0);
        stream.WriteUInt16(info->PaperSize);
        stream.WriteInt32(info->Width);
        stream.WriteInt32(info->Height);
        stream.WriteUInt8(info->Orientation);
        stream.WriteUInt8(info->UseMargins);
        if (info->Stream->Size() > 0)
            stream.WriteBuffer(info->Stream->Memory(), static_cast<int>(info->Stream->Size()));
        const std::int64_t end = stream.Position();
        stream.SetPosition(placeholder);
        stream.WriteUInt32(static_cast<std::uint32_t>(end));
        stream.SetPosition(end);
    }
}

void TrpEMFPages::LoadFromStream(TStream& stream)
{
    using namespace rpEMFPages;
    const std::int64_t start = stream.Position();
    const std::uint8_t first = stream.ReadUInt8();
    if (first == Compressed || first == CompressedToo)
        RAISE(EReadError("File di report compresso: formato non supportato"));
    std::vector<std::unique_ptr<TrpPageInfo>> sheets;
    if (first == Uncompressed) {
        rpVersion = StreamVersion;
        const std::string printerName = rpReadString(stream);
        if (Parent)
            Parent->SetPrinterTo(printerName);
        const std::uint32_t count = ReadSheetCount(stream);
        for (std::uint32_t i = 0; i < count; ++i) {
            std::int64_t end = 0;
            std::unique_ptr<TrpPageInfo> info = ReadSheetHeader(stream, end);
            CopyBytes(stream, end, *info->Stream);
            stream.SetPosition(end);
            sheets.push_back(std::move(info));
        }
    } else {
        // The older layout: the printer name as the first line of a line list, and each sheet a
        // metafile, which becomes a picture filling the sheet.
        stream.SetPosition(start);
        TStringList header;
        rpReadMemo22(stream, &header);
        if (Parent && header.Count() > 0)
            Parent->SetPrinterTo(header.Strings(0));
        const std::uint32_t count = ReadSheetCount(stream);
        for (std::uint32_t i = 0; i < count; ++i) {
            std::int64_t end = 0;
            std::unique_ptr<TrpPageInfo> info = ReadSheetHeader(stream, end);
            TMemoryStream metafile;
            CopyBytes(stream, end, metafile);
            stream.SetPosition(end);
            TrpPictureView picture;
            picture.SetBounds(0, 0, info->PrinterInfo.PaperWidthPx, info->PrinterInfo.PaperHeightPx);
            if (metafile.Size() > 0) {
                try {
                    picture.Picture->Metafile()->LoadFromStream(metafile);
                } catch (const EInvalidGraphic&) {
                    RAISE(EReadError("Immagine del foglio non valida"));
                }
            }
            picture.StreamMode = smPrinting;
            info->Stream->WriteUInt8(StreamVersion);
            info->Stream->WriteUInt8(PictureType);
            picture.SaveToStream(*info->Stream);
            sheets.push_back(std::move(info));
        }
    }
    FPages = std::move(sheets);
}
