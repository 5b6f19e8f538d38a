#include "report/rpPages.h"

#include "report/RP_DSet.h"
#include "report/RP_Intrp.h"
#include "report/RP_Utils.h"
#include "report/rpEngine.h"
#include "report/rpMemoView.h"
#include "report/rpReport.h"
#include "report/rpSubReportView.h"

#include "platform/db/DataSet.h"
#include "platform/db/Field.h"
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
    FPages.back()->FReport = Parent;
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

// --- Building

namespace rpPages {
namespace {

constexpr std::uint16_t HookBit = 0x8000;
constexpr int MaxLevel = 3;

TrpBandType DataTypeOf(int level) { return static_cast<TrpBandType>(btMasterData + 3 * (level - 1)); }

bool IsCrossType(int type) { return type == btCrossHeader || type == btCrossData || type == btCrossFooter; }

bool BandExists(TrpBand* band) { return band && band->Exists(); }

void ConfigureBand(TrpBand* band, TrpBandView* view, bool subReportPage)
{
    band->View = view;
    band->Memo->Assign(view->Memo.get());
    band->Script->Assign(view->Script.get());
    band->Flags = view->Flags;
    band->Visible = view->Visible != 0;
    if (band->BandType >= btCrossHeader && band->BandType <= btCrossFooter) {
        band->Left = view->Left;
        band->Width = view->Width;
    } else {
        band->Top = view->Top;
        band->Height = view->Height;
    }
    band->CanStretch = (band->Flags & rpBandStretch) != 0;
    band->NewPageAfterEach = (band->Flags & rpBandNewPageAfterEach) != 0 && !subReportPage;
    band->PrintWhenDetailEmpty = (band->Flags & rpBandPrintWhenDetailEmpty) != 0;
    band->SplitAcrossPages = (band->Flags & rpBandSplit) != 0 && !subReportPage;
}

} // namespace
} // namespace rpPages

TrpBand* TrpPage::Bands(TrpBandType type) const
{
    const auto& chain = FChains.at(static_cast<std::size_t>(type));
    return chain.empty() ? nullptr : chain.front().get();
}

TrpBand* TrpPage::AddBand(TrpBandType type, TrpBandView* view)
{
    auto& chain = FChains.at(static_cast<std::size_t>(type));
    TrpBand* band = chain.front().get();
    if (band->View) {
        chain.push_back(std::make_unique<TrpBand>(type, this));
        band = chain.back().get();
    }
    rpPages::ConfigureBand(band, view, IsSubReport);
    return band;
}

void TrpPage::InitReport()
{
    using namespace rpPages;
    DoneReport();
    if (!FReport)
        FReport = CurReport;
    for (int type = 0; type < rpBandTypeCount; ++type)
        FChains[static_cast<std::size_t>(type)].push_back(std::make_unique<TrpBand>(static_cast<TrpBandType>(type), this));
    BandsCreated = true;
    for (const std::unique_ptr<TrpView>& design : Objects) {
        std::unique_ptr<TrpView> copy = rpCreateObject(design->ObjectType, design->ClassName());
        if (!copy)
            continue;
        copy->Assign(design.get());
        copy->StreamMode = smPrinting;
        if (copy->Flags & HookBit)
            HookedViews.push_back(copy.get());
        RunObjects.push_back(std::move(copy));
    }
    TossObjects();
}

void TrpPage::TossObjects()
{
    using namespace rpPages;
    for (const std::unique_ptr<TrpView>& view : RunObjects) {
        view->Selected = view->ObjectType != 2;
        view->Parent = nullptr;
        if (rpInterpretator && view->Script->Count() > 0)
            rpInterpretator->PrepareScript(view->Script.get(), view->Script.get(), nullptr);
        if (auto* frame = dynamic_cast<TrpSubReportView*>(view.get()))
            if (FReport && frame->SubPage >= 0 && frame->SubPage < FReport->DesignPages->Count())
                FReport->DesignPages->Pages(frame->SubPage)->IsSubReport = true;
    }
    TossCrossObjects();
    for (int type = 0; type <= btGroupFooter; ++type)
        TossBandObjects(static_cast<TrpBandType>(type));
    for (int type = 0; type <= btGroupFooter; ++type)
        SortChain(static_cast<TrpBandType>(type));
    TrpBand* none = Bands(btNone);
    none->Top = 0;
    for (const std::unique_ptr<TrpView>& view : RunObjects) {
        if (view->Selected) {
            view->Selected = false;
            view->Parent = none;
            none->Objects.push_back(view.get());
        }
    }
    MatchHeadersAndFooters();
    ResolveCrossDataSources();
    if (ColumnCount <= 0)
        ColumnCount = 1;
    ColumnWidth = (RightMargin() - LeftMargin()) / ColumnCount;
}

void TrpPage::TossCrossObjects()
{
    using namespace rpPages;
    for (const std::unique_ptr<TrpView>& object : RunObjects) {
        auto* view = dynamic_cast<TrpBandView*>(object.get());
        if (!view || !IsCrossType(view->GetBandType()))
            continue;
        TrpBand* band = Bands(view->GetBandType());
        ConfigureBand(band, view, IsSubReport);
        band->InitDataSet(view->FormatText);
        for (const std::unique_ptr<TrpView>& other : RunObjects) {
            if (!other->Selected || other->Parent)
                continue;
            if (band->Left <= other->Left && other->Left + other->Width <= band->Left + band->Width) {
                other->Left -= band->Left;
                other->Parent = band;
                band->Objects.push_back(other.get());
            }
        }
    }
}

void TrpPage::TossBandObjects(TrpBandType type)
{
    for (const std::unique_ptr<TrpView>& object : RunObjects) {
        auto* view = dynamic_cast<TrpBandView*>(object.get());
        if (!view || view->GetBandType() != type)
            continue;
        TrpBand* band = AddBand(type, view);
        band->InitDataSet(view->FormatText);
        AssignObjectsTo(band);
    }
}

void TrpPage::AssignObjectsTo(TrpBand* band)
{
    const int top = band->Top, bottom = band->Top + band->Height;
    auto inRange = [top, bottom](TrpView* view) { return top <= view->Top && view->Top <= bottom; };
    for (const std::unique_ptr<TrpView>& view : RunObjects) {
        if (view->Selected && !view->Parent && view->ObjectType != 3 && inRange(view.get())) {
            view->Selected = false;
            view->Top -= top;
            view->Parent = band;
            band->Objects.push_back(view.get());
        }
    }
    for (const std::unique_ptr<TrpView>& view : RunObjects) {
        if (view->Selected && view->Parent && inRange(view.get())) {
            view->Selected = false;
            view->Top -= top;
            band->Objects.push_back(view.get());
        }
    }
    for (const std::unique_ptr<TrpView>& view : RunObjects) {
        if (view->Selected && !view->Parent && view->ObjectType == 3 && inRange(view.get())) {
            view->Selected = false;
            view->Top -= top;
            view->Parent = band;
            band->Objects.push_back(view.get());
        }
    }
}

void TrpPage::SortChain(TrpBandType type)
{
    auto& chain = FChains.at(static_cast<std::size_t>(type));
    for (std::size_t place = 0; place + 1 < chain.size(); ++place) {
        std::size_t smallest = place;
        for (std::size_t i = place + 1; i < chain.size(); ++i)
            if (chain[i]->Top < chain[smallest]->Top)
                smallest = i;
        std::swap(chain[place], chain[smallest]);
    }
    for (std::size_t i = 0; i < chain.size(); ++i) {
        chain[i]->PrevBand = i > 0 ? chain[i - 1].get() : nullptr;
        chain[i]->NextBand = i + 1 < chain.size() ? chain[i + 1].get() : nullptr;
    }
    chain.front()->ChainLast = chain.back().get();
}

void TrpPage::MatchHeadersAndFooters()
{
    for (int level = 1; level <= rpPages::MaxLevel; ++level) {
        const TrpBandType dataType = rpPages::DataTypeOf(level);
        const auto& data = FChains[static_cast<std::size_t>(dataType)];
        for (const auto& header : FChains[static_cast<std::size_t>(dataType - 1)]) {
            if (!header->View)
                continue;
            for (const auto& band : data) {
                if (band->View && band->Top >= header->Top + header->Height) {
                    if (!band->Header)
                        band->Header = header.get();
                    break;
                }
            }
        }
        for (const auto& footer : FChains[static_cast<std::size_t>(dataType + 1)]) {
            if (!footer->View)
                continue;
            TrpBand* match = nullptr;
            for (const auto& band : data)
                if (band->View && band->Top + band->Height <= footer->Top)
                    match = band.get();
            if (match && !match->Footer)
                match->Footer = footer.get();
        }
    }
    const auto& headers = FChains[btGroupHeader];
    const auto& footers = FChains[btGroupFooter];
    std::size_t footerIndex = 0;
    for (std::size_t i = headers.size(); i-- > 0 && footerIndex < footers.size();) {
        if (!headers[i]->View || !footers[footerIndex]->View)
            break;
        headers[i]->Footer = footers[footerIndex++].get();
    }
}

void TrpPage::ResolveCrossDataSources()
{
    TrpBand* crossData = Bands(btCrossData);
    if (!crossData->View || crossData->View->FormatText.find(';') == std::string::npos)
        return;
    const std::string list = crossData->View->FormatText;
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find(';', start);
        if (end == std::string::npos)
            end = list.size();
        const std::string entry = list.substr(start, end - start);
        start = end + 1;
        const std::size_t equals = entry.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string name = Trim(entry.substr(0, equals));
        for (int type = btMasterHeader; type <= btGroupFooter; ++type)
            for (const auto& band : FChains[static_cast<std::size_t>(type)])
                if (band->View && AnsiSameText(band->View->Name, name) && !band->CrossDataSource)
                    band->CrossDataSource =
                        ResolveBandDataSet(Trim(entry.substr(equals + 1)), band->FOwnedCrossDataSource);
    }
}

void TrpPage::DoneReport()
{
    if (CurPage == this)
        CurPage = nullptr;
    for (const std::unique_ptr<TrpView>& view : RunObjects) {
        std::erase(HookedViews, view.get());
        if (CurView == view.get())
            CurView = nullptr;
    }
    FStack.clear();
    RecordList.clear();
    PendingSubReportBand = nullptr;
    for (auto& chain : FChains) {
        for (auto& band : chain) {
            if (CurBand == band.get())
                CurBand = nullptr;
            if (AggregateBand == band.get())
                AggregateBand = nullptr;
        }
        chain.clear();
    }
    RunObjects.clear();
    BandsCreated = false;
    ShownInFrame = false;
}

void TrpPage::PrepareObjects()
{
    for (const std::unique_ptr<TrpView>& view : RunObjects) {
        view->DataSet = nullptr;
        view->DataField.clear();
        if (view->Memo->Count() == 0)
            continue;
        const std::string first = view->Memo->Strings(0);
        if (first.size() <= 2 || first[0] != '[')
            continue;
        const std::size_t close = first.rfind(']');
        if (close == std::string::npos || close < 1)
            continue;
        const std::string name = first.substr(1, close - 1);
        if (const TrpValue* value = FReport ? FReport->Values->FindVariable(name) : nullptr) {
            if (value->Kind == vtDBField && value->DataSetRef) {
                view->DataSet = value->DataSetRef;
                view->DataField = value->FieldText;
            }
            continue;
        }
        TrpBand* savedBand = CurBand;
        CurBand = view->Parent;
        TDataSet* dataSet = GetDefaultDataSet();
        CurBand = savedBand;
        TField* field = nullptr;
        try {
            rpGetDataSetAndField(name, dataSet, field);
        } catch (const Exception&) {
            field = nullptr;
        }
        if (field) {
            view->DataSet = dataSet;
            view->DataField = field->FieldName();
        }
    }
}

// --- Sheets and columns

int TrpPage::ColumnFooterHeight() const
{
    TrpBand* footer = Bands(btColumnFooter);
    return footer && footer->Exists() && footer->Visible ? footer->Height : 0;
}

int TrpPage::PageBottom() const
{
    TrpBand* footer = Bands(btPageFooter);
    return BottomMargin() - (footer && footer->Exists() ? footer->Height : 0);
}

int TrpPage::UsableHeight() const { return BottomLimit - ColumnFooterHeight() - CurrentY; }

void TrpPage::FormPage()
{
    using namespace rpPages;
    TrpEMFPages& sheets = *MasterReport->PreparedPages;
    if (Mode == pmNormal) {
        if (ContinueOnPage && SavedY == SavedBottom) {
            ContinueOnPage = false;
            FooterOnLastPage = false;
            PageNo = sheets.Count();
        }
        BottomLimit = ContinueOnPage && FooterOnLastPage ? SavedBottom : PageBottom();
        ColumnIndex = 0;
        XOffset = LeftMargin();
        FreshTopY = -1;
        if (ContinueOnPage) {
            CurrentY = SavedY;
        } else {
            sheets.Add(this);
            CurrentY = TopMargin();
            TStartingSheetScope starting(*this);
            ShowBand(Bands(btOverlay));
            ShowBand(Bands(btNone));
        }
        const int count = sheets.Count();
        ShowBand(Bands(btReportTitle));
        if (sheets.Count() == count) {
            TStartingSheetScope starting(*this);
            TrpBand* header = Bands(btPageHeader);
            if (BandExists(header) && (header->Flags & rpBandOnFirstPage))
                ShowBand(header);
            ColumnStartY = CurrentY;
            ShowBand(Bands(btColumnHeader));
        }
        if (!ContinueOnPage)
            FreshTopY = CurrentY;
    }
    FDeepestLevel = 0;
    for (int level = 1; level <= MaxLevel; ++level)
        if (BandExists(Bands(DataTypeOf(level))))
            FDeepestLevel = level;
    FHasGroups = BandExists(Bands(btGroupHeader));
    FStack.clear();
    if (!MasterReport->Terminated)
        DataLoop(1);
    if (Mode == pmNormal) {
        ShowBand(Bands(btColumnFooter));
        ShowBand(Bands(btReportSummary));
        SavedY = ColumnIndex > 0 ? BottomMargin() : CurrentY;
        SavedBottom = BottomLimit;
        ColumnIndex = 0;
        XOffset = LeftMargin();
        FooterOnLastPage = false;
        const int before = PageNo;
        TrpBand* footer = Bands(btPageFooter);
        if (footer->Flags & rpBandOnLastPage) {
            FooterOnLastPage = footer->Exists();
            if (FooterOnLastPage)
                DrawPageFooters();
        }
        PageNo = before + 1;
    }
}

void TrpPage::ShowStack()
{
    using namespace rpPages;
    for (TrpBand* band : FStack)
        if (BandExists(band))
            ShowBand(band);
    FStack.clear();
}

void TrpPage::DataLoop(int level)
{
    using namespace rpPages;
    if (level > MaxLevel)
        return;
    TrpReport* master = MasterReport;
    for (TrpBand* band = Bands(DataTypeOf(level)); band && !master->Terminated; band = band->NextBand) {
        TrpDataset* source = band->DataSource;
        if (!source)
            continue;
        source->First();
        if (Mode == pmBuildList)
            AddRecord(band, rtFirst);
        else
            band->LocalLine = 1;
        for (TrpBand* group = Bands(btGroupHeader); group; group = group->NextBand) {
            group->LocalLine = 0;
            group->GlobalLine = 0;
        }
        if (source->Eof())
            continue;
        if (level == 1 && FHasGroups) {
            for (TrpBand* group = Bands(btGroupHeader); group; group = group->NextBand) {
                ++group->LocalLine;
                ++group->GlobalLine;
                ShowBand(group);
            }
        }
        FStack.push_back(band->Header);
        if (band->Footer)
            band->Footer->InitValues();
        // The groups that end with the data show the data footer before their own footers.
        bool footerShown = false;
        while (!source->Eof() && !master->Terminated) {
            rpProcessBuildMessages();
            FStack.push_back(band);
            bool printed = true;
            if (level >= FDeepestLevel) {
                ShowStack();
            } else {
                DataLoop(level + 1);
                if (!FStack.empty()) {
                    if (band->PrintWhenDetailEmpty) {
                        ShowStack();
                    } else {
                        FStack.pop_back();
                        printed = false;
                    }
                }
            }
            if (master->Terminated)
                break;
            source->Next();
            if (level == 1 && FHasGroups)
                footerShown = ChangeGroups(band) && source->Eof();
            if (Mode == pmBuildList) {
                AddRecord(band, rtNext);
            } else if (printed) {
                ++RecordNumber;
                ++band->GlobalLine;
                ++band->LocalLine;
                if (!source->Eof() && band->NewPageAfterEach)
                    NewPage();
            }
        }
        if (!FStack.empty())
            FStack.pop_back();
        else if (!footerShown)
            ShowBand(band->Footer);
    }
}

bool TrpPage::ChangeGroups(TrpBand* data)
{
    std::vector<TrpBand*> groups;
    for (TrpBand* group = Bands(btGroupHeader); group; group = group->NextBand)
        groups.push_back(group);
    const bool atEnd = data->DataSource->Eof();
    for (std::size_t i = 0; i < groups.size(); ++i) {
        TrpBand* group = groups[i];
        Variant value;
        try {
            if (!group->GroupExpression.empty())
                value = rpParser->Calc(group->GroupExpression);
        } catch (const Exception&) {
            CurView = group->View;
            group->DoError();
            return false;
        }
        if (!atEnd && value == group->GroupValue)
            continue;
        ShowBand(data->Footer);
        for (std::size_t inner = groups.size(); inner-- > i + 1;) {
            groups[inner]->LocalLine = 0;
            ShowBand(groups[inner]->Footer);
        }
        ShowBand(group->Footer);
        if (!atEnd) {
            if (group->NewPageAfterEach)
                NewPage();
            for (std::size_t inner = i; inner < groups.size(); ++inner) {
                ++groups[inner]->LocalLine;
                ++groups[inner]->GlobalLine;
                ShowBand(groups[inner]);
            }
            ShowBand(data->Header);
            data->LocalLine = 0;
        }
        return true;
    }
    return false;
}

void TrpPage::NewPage()
{
    if (StartingSheet > 0)
        return;
    TStartingSheetScope starting(*this);
    if (CurReport)
        CurReport->InternalOnProgress(PageNo + 1);
    ShowBand(Bands(btColumnFooter));
    DrawPageFooters();
    BottomLimit = PageBottom();
    MasterReport->PreparedPages->Add(this);
    ContinueOnPage = false;
    ShowBand(Bands(btOverlay));
    CurrentY = TopMargin();
    ShowBand(Bands(btPageHeader));
    ColumnStartY = CurrentY;
    ShowBand(Bands(btColumnHeader));
    FreshTopY = CurrentY;
}

void TrpPage::NewColumn(TrpBand* band)
{
    if (StartingSheet > 0)
        return;
    {
        TStartingSheetScope starting(*this);
        if (ColumnIndex < ColumnCount - 1) {
            ShowBand(Bands(btColumnFooter));
            ++ColumnIndex;
            XOffset += ColumnWidth + ColumnGap;
            CurrentY = ColumnStartY;
            ShowBand(Bands(btColumnHeader));
        } else {
            --StartingSheet;
            NewPage();
            ++StartingSheet;
        }
        ReprintHeaders(band);
    }
    FreshTopY = CurrentY;
}

void TrpPage::NewColumnForced(TrpBand* band)
{
    if (StartingSheet > 0)
        return;
    FreshTopY = -1;
    NewColumn(band);
}

void TrpPage::ReprintHeaders(TrpBand* band)
{
    for (TrpBand* group = Bands(btGroupHeader); group && group != band; group = group->NextBand) {
        if (!(group->Flags & rpBandRepeatHeader) || !group->View)
            continue;
        group->KeepValues = true;
        ShowBand(group);
        group->KeepValues = false;
    }
    if (band && band->IsDataBand() && band->DataBand()->Header &&
        (band->DataBand()->Header->Flags & rpBandRepeatHeader)) {
        TrpBand* header = band->DataBand()->Header;
        header->KeepValues = true;
        ShowBand(header);
        header->KeepValues = false;
    }
}

void TrpPage::DrawPageFooters()
{
    ColumnIndex = 0;
    XOffset = LeftMargin();
    TrpBand* footer = Bands(btPageFooter);
    TrpEMFPages& sheets = *MasterReport->PreparedPages;
    if (PageNo != 0 || (footer->Flags & rpBandOnFirstPage)) {
        while (PageNo < sheets.Count() && !MasterReport->Terminated) {
            if (!(ContinueOnPage && FooterOnLastPage)) {
                if (CurReport && CurReport->OnEndPage)
                    CurReport->OnEndPage(PageNo);
                if (MasterReport != CurReport && MasterReport->OnEndPage)
                    MasterReport->OnEndPage(PageNo);
                ShowBand(footer);
            }
            ++PageNo;
        }
    }
    PageNo = sheets.Count();
}

// --- Showing bands

void TrpPage::ShowBand(TrpBand* band)
{
    if (!band || (!band->View && !band->Exists()))
        return;
    if (Mode == pmBuildList) {
        AddRecord(band, rtShowBand);
        return;
    }
    band->Draw();
}

void TrpPage::ShowBandByName(const std::string& name)
{
    for (const auto& chain : FChains)
        for (const auto& band : chain)
            if (band->View && AnsiSameText(band->View->Name, name)) {
                ShowBand(band.get());
                return;
            }
}

void TrpPage::ShowBandByType(TrpBandType type) { ShowBand(Bands(type)); }

void TrpPage::AddRecord(TrpBand* band, TrpBandRecType action) { RecordList.push_back({band, action}); }

void TrpPage::ClearRecList()
{
    RecordList.clear();
    PlayPosition = 0;
}

bool TrpPage::PlayRecList()
{
    while (PlayPosition < static_cast<int>(RecordList.size())) {
        if (MasterReport->Terminated)
            return false;
        const TrpBandRec record = RecordList[static_cast<std::size_t>(PlayPosition)];
        switch (record.Action) {
        case rtShowBand:
            if (PendingSubReportBand) {
                TrpBand* pending = PendingSubReportBand;
                PendingSubReportBand = nullptr;
                pending->DoSubReports();
                if (PendingSubReportBand)
                    return true;
            } else if (record.Band->Draw()) {
                return true;
            }
            break;
        case rtFirst:
            if (record.Band->DataSource)
                record.Band->DataSource->First();
            record.Band->LocalLine = 1;
            break;
        case rtNext:
            if (record.Band->DataSource)
                record.Band->DataSource->Next();
            ++RecordNumber;
            ++record.Band->LocalLine;
            ++record.Band->GlobalLine;
            break;
        }
        ++PlayPosition;
    }
    return false;
}

void TrpPage::AfterPrint()
{
    for (TrpView* hooked : HookedViews)
        hooked->OnHook(CurView);
}

void TrpPage::DoAggregate(const std::vector<TrpBandType>& types)
{
    for (TrpBandType type : types)
        for (TrpBand* band = Bands(type); band; band = band->NextBand)
            if (band->Exists())
                band->DoAggregate();
}
