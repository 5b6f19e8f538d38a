#include "report/rpPages.h"

#include "report/rpEngine.h"
#include "report/rpReport.h"
#include "report/rpStreams.h"
#include "report/rpValues.h"

#include "platform/rtl/Formats.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/TextUtils.h"

namespace rpPages {
namespace {

constexpr std::uint8_t PageTag = 255, VariablesTag = 254, DataManagerTag = 253, AddInType = 10;
// The page index of an object record is one byte.
constexpr int MaxPages = 256;
// Records older than version 23 carry six more bytes after the orientation.
constexpr int OldPageExtra = 6;
constexpr int FramedMemoExtra = 8;

} // namespace
} // namespace rpPages

// --- TrpPage

TrpPage::TrpPage(int paperSize, int paperWidth, int paperHeight, TPrinterOrientation orientation)
{
    ChangePaper(paperSize, paperWidth, paperHeight, orientation);
}

TrpPage::~TrpPage()
{
    if (CurPage == this)
        CurPage = nullptr;
}

void TrpPage::ChangePaper(int paperSize, int paperWidth, int paperHeight, TPrinterOrientation orientation)
{
    TrpPrinter* printer = rpPrinter();
    try {
        printer->SetPrinterInfo(paperSize, paperWidth, paperHeight, orientation);
        printer->FillPrnInfo(PrinterInfo);
    } catch (const Exception&) {
        printer->SetPrinterInfo(rpCustomPaper, paperWidth, paperHeight, orientation);
        printer->FillPrnInfo(PrinterInfo);
    }
    PaperSize = printer->PaperSize;
    PaperWidth = printer->PaperWidth;
    PaperHeight = printer->PaperHeight;
    Orientation = printer->Orientation;
}

int TrpPage::LeftMargin() const
{
    if (!UseMargins)
        return 0;
    return Margins.Left != 0 ? Margins.Left : PrinterInfo.OffsetX;
}

int TrpPage::TopMargin() const
{
    if (!UseMargins)
        return 0;
    return Margins.Top != 0 ? Margins.Top : PrinterInfo.OffsetY;
}

int TrpPage::RightMargin() const
{
    if (!UseMargins)
        return PrinterInfo.PaperWidthPx;
    return Margins.Right != 0 ? PrinterInfo.PaperWidthPx - Margins.Right
                              : PrinterInfo.OffsetX + PrinterInfo.PrintWidth;
}

int TrpPage::BottomMargin() const
{
    if (!UseMargins)
        return PrinterInfo.PaperHeightPx;
    return Margins.Bottom != 0 ? PrinterInfo.PaperHeightPx - Margins.Bottom
                               : PrinterInfo.OffsetY + PrinterInfo.PrintHeight;
}

TrpView* TrpPage::FindObject(const std::string& name) const
{
    const std::string wanted = AnsiUpperCase(name);
    for (const auto& view : Objects)
        if (AnsiUpperCase(view->Name) == wanted)
            return view.get();
    return nullptr;
}

int TrpPage::FindObjectByID(int id) const
{
    for (std::size_t i = 0; i < Objects.size(); ++i)
        if (Objects[i]->ID == id)
            return static_cast<int>(i);
    return -1;
}

void TrpPage::Clear() { Objects.clear(); }

void TrpPage::Delete(int index) { Objects.erase(Objects.begin() + index); }

void TrpPage::LoadFromStream(TStream& stream)
{
    PaperSize = stream.ReadInt32();
    PaperWidth = stream.ReadInt32();
    PaperHeight = stream.ReadInt32();
    Margins.Left = stream.ReadInt32();
    Margins.Top = stream.ReadInt32();
    Margins.Right = stream.ReadInt32();
    Margins.Bottom = stream.ReadInt32();
    Orientation = stream.ReadUInt8() != 0 ? poLandscape : poPortrait;
    if (rpVersion < 23) {
        char ignored[rpPages::OldPageExtra];
        stream.ReadBuffer(ignored, rpPages::OldPageExtra);
    }
    ContinuePreviousPage = stream.ReadInt16();
    UseMargins = stream.ReadInt16();
    ColumnCount = stream.ReadInt32();
    ColumnGap = stream.ReadInt32();
    ChangePaper(PaperSize, PaperWidth, PaperHeight, Orientation);
}

void TrpPage::SaveToStream(TStream& stream)
{
    stream.WriteInt32(PaperSize);
    stream.WriteInt32(PaperWidth);
    stream.WriteInt32(PaperHeight);
    stream.WriteInt32(Margins.Left);
    stream.WriteInt32(Margins.Top);
    stream.WriteInt32(Margins.Right);
    stream.WriteInt32(Margins.Bottom);
    stream.WriteUInt8(Orientation == poLandscape ? 1 : 0);
    stream.WriteInt16(ContinuePreviousPage);
    stream.WriteInt16(UseMargins);
    stream.WriteInt32(ColumnCount);
    stream.WriteInt32(ColumnGap);
}

// --- TrpPages

TrpPages::TrpPages(TrpReport* parent) : Parent(parent) {}

TrpPages::~TrpPages() = default;

TrpPage* TrpPages::Add()
{
    FPages.push_back(std::make_unique<TrpPage>(DMPAPER_A4, 0, 0, poPortrait));
    return FPages.back().get();
}

void TrpPages::Clear() { FPages.clear(); }

void TrpPages::Delete(int index) { FPages.erase(FPages.begin() + index); }

void TrpPages::LoadFromStream(TStream& stream)
{
    using namespace rpPages;
    Clear();
    Parent->PrintToDefaultPrinter = stream.ReadInt16() != 0;
    Parent->TwoPass = stream.ReadInt16() != 0;
    Parent->SetPrinterTo(rpReadVersionString(stream, rpVersion));
    const std::int64_t size = stream.Size();
    while (stream.Position() < size) {
        const std::uint8_t tag = stream.ReadUInt8();
        if (tag == PageTag) {
            Add()->LoadFromStream(stream);
        } else if (tag <= AddInType) {
            ReadObject(stream, tag);
        } else if (tag == VariablesTag) {
            ReadVariables(stream);
        } else if (tag == DataManagerTag) {
            // What follows belongs to a data manager; without one it is left unread.
            if (rpDataManager)
                rpDataManager->LoadFromStream(stream);
            return;
        } else {
            RAISE(EReadError(Format("Record di tipo %d sconosciuto", {static_cast<int>(tag)})));
        }
    }
}

void TrpPages::ReadObject(TStream& stream, std::uint8_t typ)
{
    using namespace rpPages;
    const std::string className = typ == AddInType ? rpReadVersionString(stream, rpVersion) : std::string();
    const int pageIndex = stream.ReadUInt8();
    // An older framed text object reads as a text object followed by eight bytes of its own.
    const bool framedMemo = typ == AddInType && AnsiUpperCase(className) == "TFRFRAMEDMEMOVIEW";
    std::unique_ptr<TrpView> view = framedMemo ? rpCreateObject(0, "") : rpCreateObject(typ, className);
    if (!view)
        RAISE(EReadError(Format("Oggetto di tipo %d sconosciuto", {static_cast<int>(typ)})));
    if (pageIndex >= Count())
        RAISE(EReadError(Format("Oggetto su una pagina %d inesistente", {pageIndex + 1})));
    TrpView* object = view.get();
    Pages(pageIndex)->Objects.push_back(std::move(view));
    object->LoadFromStream(stream);
    if (framedMemo) {
        char ignored[FramedMemoExtra];
        stream.ReadBuffer(ignored, FramedMemoExtra);
    }
}

void TrpPages::ReadVariables(TStream& stream)
{
    Parent->Values->ReadBinaryData(stream);
    TStringList scratch;
    TStringList* lines = SMemo ? SMemo : &scratch;
    rpReadVersionMemo(stream, lines, rpVersion);
    Parent->VariableList->Assign(lines);
}

void TrpPages::CheckCanSave() const
{
    for (int i = rpPages::MaxPages; i < Count(); ++i)
        if (!Pages(i)->Objects.empty())
            RAISE(EWriteError(Format("Impossibile salvare il report: la pagina %d contiene oggetti, ma il "
                                     "formato dei modelli ne ammette solo sulle prime 256 pagine.",
                                     {i + 1})));
}

void TrpPages::SaveToStream(TStream& stream)
{
    using namespace rpPages;
    CheckCanSave();
    stream.WriteInt16(Parent->PrintToDefaultPrinter ? -1 : 0);
    stream.WriteInt16(Parent->TwoPass ? -1 : 0);
    TrpPrinter* printer = rpPrinter();
    rpWriteString(stream, printer->Printers->Strings(printer->PrinterIndex()));
    for (const auto& page : FPages) {
        stream.WriteUInt8(PageTag);
        page->SaveToStream(stream);
    }
    for (int i = 0; i < Count(); ++i) {
        for (const auto& view : Pages(i)->Objects) {
            stream.WriteUInt8(view->ObjectType);
            if (view->ObjectType == AddInType)
                rpWriteString(stream, view->ClassName());
            stream.WriteUInt8(static_cast<std::uint8_t>(i));
            view->SaveToStream(stream);
        }
    }
    stream.WriteUInt8(VariablesTag);
    Parent->Values->WriteBinaryData(stream);
    rpWriteMemo(stream, Parent->VariableList.get());
    if (rpDataManager) {
        stream.WriteUInt8(DataManagerTag);
        rpDataManager->SaveToStream(stream);
    }
}
