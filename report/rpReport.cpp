#include "report/rpReport.h"

#include "report/RP_DBRel.h"
#include "report/RP_DSet.h"
#include "report/RP_Intrp.h"
#include "report/RP_Utils.h"
#include "report/RP_View.h"
#include "report/RP_progr.h"
#include "report/rpBand.h"
#include "report/rpEngine.h"
#include "report/rpExportFilter.h"
#include "report/rpResources.h"
#include "report/rpStreams.h"

#include "platform/db/DBCommon.h"
#include "platform/db/DataSet.h"
#include "platform/db/StdFields.h"
#include "platform/gui/Application.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/Label.h"
#include "platform/gui/Printer.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <set>
#include <vector>

std::string CurrentExpression;
Variant CurrentValue;
std::string EvaluatingName;
TDateTime ReportDate = 0;
TDateTime ReportTime = 0;

namespace rpReport {
namespace {

constexpr std::uint8_t CurrentVersion = 23, OldestVersion = 21;

void CopyFieldInto(TField* field, TStream& stream)
{
    if (auto* blob = dynamic_cast<TBlobField*>(field)) {
        blob->SaveToStream(stream);
        return;
    }
    const std::string bytes = field->AsString();
    if (!bytes.empty())
        stream.WriteBuffer(bytes.data(), static_cast<int>(bytes.size()));
}

void CopyStreamInto(TMemoryStream& stream, TField* field)
{
    stream.SetPosition(0);
    if (auto* blob = dynamic_cast<TBlobField*>(field)) {
        blob->LoadFromStream(stream);
        return;
    }
    field->SetAsString(std::string(stream.Memory(), static_cast<std::size_t>(stream.Size())));
}

void WriteAtomically(const std::string& fileName, TMemoryStream& content)
{
    TAtomicFileStream file(fileName);
    file.WriteBuffer(content.Memory(), static_cast<int>(content.Size()));
    file.Commit();
}

// --- Values

constexpr int ExpressionKind = 1;
constexpr std::uint32_t NumberCategory = 0x01000000, DateCategory = 0x02000000, BooleanCategory = 0x04000000;
constexpr std::uint32_t FixedVariant = 0x00010000, FormatStringVariant = 0x00040000;
constexpr int FormatStringIndex = 4;
constexpr std::size_t MaxBooleanText = 255;
// Float formatting takes at most this many decimals.
constexpr int MaxDecimals = 18;

// The report whose values the engine's parser asks; its callbacks are dropped with the report.
TrpReport* ParserReport = nullptr;

// The names being evaluated as expressions, innermost last: a name met again would recurse for
// ever.
std::vector<std::string> NamesInEvaluation;

class TNameEvaluation {
public:
    explicit TNameEvaluation(const std::string& name) : Previous(EvaluatingName)
    {
        for (const std::string& evaluating : NamesInEvaluation)
            if (evaluating == name || AnsiSameText(evaluating, name))
                RAISE(EParserError("Undefined symbol \"" + name + "\""));
        NamesInEvaluation.push_back(name);
        EvaluatingName = name;
    }
    ~TNameEvaluation()
    {
        NamesInEvaluation.pop_back();
        EvaluatingName = Previous;
    }
    TNameEvaluation(const TNameEvaluation&) = delete;
    TNameEvaluation& operator=(const TNameEvaluation&) = delete;

private:
    std::string Previous;
};

Variant EvaluateName(const std::string& name, const std::string& expression)
{
    TNameEvaluation evaluation(name);
    return rpParser ? rpParser->Calc(expression) : Variant();
}

Variant FieldValue(TField* field)
{
    if (!field->DataSet()->Active())
        field->DataSet()->Open();
    if (field->OnGetText)
        return Variant(field->DisplayText());
    return field->Value();
}

Variant DataFieldValue(const TrpValue& value)
{
    if (!value.DataSetRef)
        RAISE(EDatabaseError("Archivio dati non trovato: " + value.DataSetName));
    if (!value.DataSetRef->Active())
        value.DataSetRef->Open();
    return FieldValue(value.DataSetRef->FieldByName(value.FieldText));
}

Variant ReportValue(const std::string& name, const TrpValue& value)
{
    switch (value.Kind) {
    case vtDBField:
        return DataFieldValue(value);
    case vtFRVar:
        return EvaluateName(name, value.FieldText);
    case vtOther:
        if (value.OtherKind == ExpressionKind)
            return EvaluateName(name, value.FieldText);
        if (value.OtherKind >= 0 && value.OtherKind < rpSpecCount)
            return EvaluateName(name, rpSpecFuncs[value.OtherKind]);
        return Variant("");
    default:
        return Variant("");
    }
}

// LINE# and LINETHROUGH# count the records of the current band (of the first band of its chain
// for a continuation band), COLUMN# the cross-tab columns and CURRENT# the records of the page.
int BandCounter(const std::string& name)
{
    if (name == "COLUMN#" || name == "CURRENT#") {
        if (!CurPage)
            return 0;
        return name == "COLUMN#" ? CurPage->ColumnNumber : CurPage->RecordNumber;
    }
    if (!CurBand)
        return 0;
    TrpBand* band = CurBand->DataSource ? CurBand : CurBand->DataBand();
    return name == "LINE#" ? band->LocalLine : band->GlobalLine;
}

bool SpecialValue(const std::string& name, Variant& value)
{
    if (name == "PAGE#")
        value = Variant(PageNo + 1);
    else if (name == "DATE")
        value = VarFromDateTime(ReportDate);
    else if (name == "TIME")
        value = VarFromDateTime(ReportTime);
    else if (name == "LINE#" || name == "LINETHROUGH#" || name == "COLUMN#" || name == "CURRENT#")
        value = Variant(BandCounter(name));
    else if (name == "TOTALPAGES")
        value = Variant(TotalPageCount);
    else
        return false;
    return true;
}

bool AggregateBandVisible() { return AggregateBand == nullptr || AggregateBand->Visible; }

// A display format after " #" replaces the object's code and format string.
void ReadDisplayFormat(std::string format, std::uint32_t& code, std::string& formatText)
{
    const char first = format.empty() ? '\0' : format[0];
    if ((first >= '0' && first <= '9') || first == 'N' || first == 'n') {
        if (first >= '0' && first <= '9')
            format.insert(0, "N");
        const bool fixed = format.size() > 1 && format[1] >= '0' && format[1] <= '9';
        code = NumberCategory | (fixed ? FixedVariant : FormatStringVariant);
        const std::size_t separator = format.find_last_of(",-.");
        if (separator != std::string::npos && separator > 0) {
            code |= static_cast<unsigned char>(format[separator]);
            format[separator] = '.';
            int decimals = 0;
            for (std::size_t i = separator + 1; fixed && i < format.size() && format[i] >= '0' && format[i] <= '9'; ++i)
                decimals = std::min(decimals * 10 + (format[i] - '0'), 255);
            code |= static_cast<std::uint32_t>(decimals) << 8;
        }
        if (!fixed)
            formatText = format.substr(1);
    } else if (first == 'D' || first == 'd' || first == 'T' || first == 't') {
        code = DateCategory | FormatStringVariant;
        formatText = format.substr(1);
    } else if (first == 'B' || first == 'b') {
        code = BooleanCategory | FormatStringVariant;
        formatText = format.substr(1);
    } else {
        formatText = format;
    }
}

// One of the built-in formats of a category, or the format string from variant 4 on.
std::string FormatFor(const std::vector<std::string>& table, int variant, const std::string& formatText)
{
    if (variant < FormatStringIndex && variant < static_cast<int>(table.size()))
        return table[static_cast<std::size_t>(variant)];
    return formatText;
}

std::string FormatNumber(double number, std::uint32_t code, const std::string& formatText)
{
    const int variant = static_cast<int>((code >> 16) & 0xFF);
    const int decimals = std::min(static_cast<int>((code >> 8) & 0xFF), MaxDecimals);
    const char separator = (code & 0xFF) != 0 ? static_cast<char>(code & 0xFF) : ',';
    // The program's settings are never changed: a copy takes another separator, and grouping
    // then uses the other of "," and "." so that it never looks like the decimal point.
    const TFormatSettings* settings = &FormatSettings();
    const char thousands = separator == settings->ThousandSeparator ? (separator == '.' ? ',' : '.')
                                                                    : settings->ThousandSeparator;
    std::optional<TFormatSettings> changed;
    if (separator != settings->DecimalSeparator || thousands != settings->ThousandSeparator) {
        changed = *settings;
        changed->DecimalSeparator = separator;
        changed->ThousandSeparator = thousands;
        settings = &*changed;
    }
    switch (variant) {
    case 0:
        return FormatFloat("###.##", number, *settings);
    case 1:
        return FloatToStrF(number, ffFixed, 15, decimals, *settings);
    case 2:
        return FormatFloat("#,###.##", number, *settings);
    case 3:
        return FloatToStrF(number, ffNumber, 15, decimals, *settings);
    default:
        return FormatFloat(formatText, number, *settings);
    }
}

std::string FormatBoolean(const Variant& value, int variant, const std::string& formatText)
{
    const bool isFalse = static_cast<std::int64_t>(value) == 0;
    const std::string pair = FormatFor(BooleanFormats, variant, formatText);
    const std::size_t semicolon = pair.find(';');
    if (semicolon == std::string::npos)
        return isFalse ? pair : std::string();
    return isFalse ? pair.substr(0, semicolon) : pair.substr(semicolon + 1, MaxBooleanText);
}

} // namespace
} // namespace rpReport

TrpReport::TrpReport(TComponent* AOwner)
    : TComponent(AOwner), DesignPages(std::make_unique<TrpPages>(this)),
      PreparedPages(std::make_unique<TrpEMFPages>(this)), VariableList(std::make_unique<TStringList>()), Values(std::make_unique<TrpValues>())
{
    rpInitEngine();
    FileName = rpLoadStr(55209);
}

TrpReport::~TrpReport()
{
    if (rpReport::ParserReport == this) {
        rpReport::ParserReport = nullptr;
        if (rpParser) {
            rpParser->OnGetValue = nullptr;
            rpParser->OnFunction = nullptr;
        }
    }
    if (CurReport == this)
        CurReport = nullptr;
    if (MasterReport == this)
        MasterReport = nullptr;
}

// --- Templates

void TrpReport::ShowFormatError()
{
    Application->MessageBox(rpLoadStr(55345), rpLoadStr(55206), MB_OK | MB_ICONERROR);
}

bool TrpReport::LoadPages(TStream& stream)
{
    try {
        DesignPages->LoadFromStream(stream);
        return true;
    } catch (const std::exception&) {
        // What was read up to the damage is dropped: the report is left with one empty page.
        DesignPages->Clear();
        DesignPages->Add();
        ShowFormatError();
        return false;
    }
}

bool TrpReport::LoadFromStream(TStream& stream)
{
    using namespace rpReport;
    CurReport = this;
    const std::int64_t start = stream.Position();
    std::uint8_t version = 0;
    if (stream.Read(&version, 1) != 1) {
        DesignPages->Clear();
        DesignPages->Add();
        ShowFormatError();
        return false;
    }
    if (version > CurrentVersion) {
        ShowFormatError();
        return false;
    }
    // Files without a version byte start with their header.
    if (version < OldestVersion) {
        version = OldestVersion;
        stream.SetPosition(start);
    }
    rpVersion = version;
    return LoadPages(stream);
}

bool TrpReport::LoadFromFile(const std::string& fileName)
{
    // Read whole first: the reader takes a few bytes at a time.
    TMemoryStream stream;
    {
        TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
        stream.LoadFromStream(file);
    }
    stream.SetPosition(0);
    const bool loaded = LoadFromStream(stream);
    FileName = fileName;
    return loaded;
}

void TrpReport::SavePagesTo(TStream& stream)
{
    CurReport = this;
    rpVersion = rpReport::CurrentVersion;
    DesignPages->SaveToStream(stream);
}

void TrpReport::SaveToStream(TStream& stream)
{
    // Built in memory first, so that a template the format cannot hold writes nothing. Object
    // records store absolute positions: the buffer starts where the stream stands.
    const std::int64_t start = stream.Position();
    TMemoryStream buffer;
    buffer.SetPosition(start);
    buffer.WriteUInt8(rpReport::CurrentVersion);
    SavePagesTo(buffer);
    stream.WriteBuffer(buffer.Memory() + start, static_cast<int>(buffer.Size() - start));
}

void TrpReport::SaveToFile(const std::string& fileName)
{
    TMemoryStream content;
    content.WriteUInt8(rpReport::CurrentVersion);
    SavePagesTo(content);
    rpReport::WriteAtomically(fileName, content);
}

TrpView* TrpReport::FindObject(const std::string& name) const
{
    for (int i = 0; i < DesignPages->Count(); ++i)
        if (TrpView* view = DesignPages->Pages(i)->FindObject(name))
            return view;
    return nullptr;
}

bool TrpReport::LoadFromDB(TDataSet* dataSet, int number)
{
    dataSet->First();
    while (!dataSet->Eof()) {
        if (dataSet->Fields().Fields(0)->AsInteger() == number) {
            TMemoryStream stream;
            rpReport::CopyFieldInto(dataSet->Fields().Fields(1), stream);
            stream.SetPosition(0);
            return LoadFromStream(stream);
        }
        dataSet->Next();
    }
    return false;
}

void TrpReport::SaveToDB(TDataSet* dataSet, int number)
{
    TMemoryStream stream;
    SaveToStream(stream);
    bool found = false;
    dataSet->First();
    while (!dataSet->Eof() && !found) {
        found = dataSet->Fields().Fields(0)->AsInteger() == number;
        if (!found)
            dataSet->Next();
    }
    if (found)
        dataSet->Edit();
    else
        dataSet->Append();
    dataSet->Fields().Fields(0)->SetAsInteger(number);
    rpReport::CopyStreamInto(stream, dataSet->Fields().Fields(1));
    dataSet->Post();
}

void TrpReport::SaveTemplate(const std::string& fileName, TStrings* description, TBitmap* picture)
{
    TStringList noDescription;
    TMemoryStream content;
    rpWriteMemo(content, description ? description : &noDescription);
    const std::int64_t offsetAt = content.Position();
    content.WriteInt32(0);
    const bool withPicture = picture && !picture->Empty();
    content.WriteUInt8(withPicture ? 1 : 0);
    if (withPicture)
        picture->SaveToStream(content);
    const std::int64_t offset = content.Position();
    SavePagesTo(content);
    content.SetPosition(offsetAt);
    content.WriteInt32(static_cast<std::int32_t>(offset));
    rpReport::WriteAtomically(fileName, content);
}

bool TrpReport::LoadTemplate(const std::string& fileName, TStrings* description, TBitmap* picture,
                             bool loadReport)
{
    TMemoryStream stream;
    {
        TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
        stream.LoadFromStream(file);
    }
    stream.SetPosition(0);
    CurReport = this;
    // The description is written in the current form whatever the last file read was.
    rpVersion = rpReport::CurrentVersion;
    if (!loadReport) {
        try {
            if (description)
                rpReadMemo(stream, description);
            else {
                TStringList skipped;
                rpReadMemo(stream, &skipped);
            }
            stream.ReadInt32();
            if (picture)
                picture->Assign(nullptr);
            if (stream.ReadUInt8() != 0 && picture)
                picture->LoadFromStream(stream);
            return true;
        } catch (const std::exception&) {
            if (description)
                description->Clear();
            if (picture)
                picture->Assign(nullptr);
            return false;
        }
    }
    try {
        TStringList skipped;
        rpReadMemo(stream, &skipped);
        const std::int32_t offset = stream.ReadInt32();
        if (offset < stream.Position() || offset > stream.Size())
            RAISE(EReadError("Posizione del report non valida"));
        stream.SetPosition(offset);
    } catch (const std::exception&) {
        DesignPages->Clear();
        DesignPages->Add();
        ShowFormatError();
        return false;
    }
    return LoadPages(stream);
}

void TrpReport::WriteReportForm(TStream& stream)
{
    stream.WriteInt32(rpReport::CurrentVersion);
    if (!StoreInDFM)
        return;
    TMemoryStream report;
    SaveToStream(report);
    stream.WriteInt32(static_cast<std::int32_t>(report.Size()));
    stream.WriteBuffer(report.Memory(), static_cast<int>(report.Size()));
}

void TrpReport::ReadReportForm(TStream& stream)
{
    stream.ReadInt32();
    if (!StoreInDFM)
        return;
    const std::int32_t size = stream.ReadInt32();
    if (size < 0 || size > stream.Size() - stream.Position())
        RAISE(EReadError("Stream read error"));
    TMemoryStream report;
    if (size > 0)
        report.CopyFrom(stream, size);
    report.SetPosition(0);
    LoadFromStream(report);
}

void TrpReport::DesignReport()
{
    if (DesignPages->Count() == 0)
        DesignPages->Add();
    CurReport = this;
}

// --- Prepared pages

void TrpReport::LoadPreparedReport(const std::string& fileName)
{
    TMemoryStream stream;
    {
        TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
        stream.LoadFromStream(file);
    }
    stream.SetPosition(0);
    PreparedPages->LoadFromStream(stream);
    CanRebuild = false;
}

void TrpReport::SavePreparedReport(const std::string& fileName)
{
    TMemoryStream content;
    PreparedPages->SaveToStream(content);
    rpReport::WriteAtomically(fileName, content);
}

void TrpReport::EditPreparedReport(int) {}

void TrpReport::ExportTo(const TrpExportFilterClass& filterClass, const std::string& fileName)
{
    TrpBusyScope busy;
    // The file takes the export's bytes under a temporary name; the filter is made only once it
    // exists, and is gone (its destructor may still write) before the file replaces an older one.
    TAtomicFileStream file(fileName);
    std::unique_ptr<TrpExportFilter> filter(filterClass.Create(&file));
    struct TActiveFilter {
        TrpReport& Report;
        ~TActiveFilter() { Report.ActiveExportFilter = nullptr; }
    } active{*this};
    ActiveExportFilter = filter.get();
    filter->OnBeginDoc();
    CurReport = this;
    MasterReport = this;
    DocMode = dmPrinting;
    TotalPageCount = PreparedPages->Count();
    RunInProgressWindow([this, &filter] {
        Application->ProcessMessages();
        for (int i = 0; i < PreparedPages->Count(); ++i) {
            filter->OnBeginPage();
            PreparedPages->ExportData(i);
            InternalOnProgress(i + 1);
            filter->OnEndPage();
        }
        filter->OnEndDoc();
    }, rpLoadStr(55205));
    ActiveExportFilter = nullptr;
    filter.reset();
    file.Commit();
}

int TrpReport::RunInProgressWindow(const std::function<void()>& work, const std::string& labelPrefix)
{
    TrpProgressForm* form = rpProgressForm;
    form->SetCaption(rpLoadStr(55203) + (Title.empty() ? std::string() : " - " + Title));
    form->BaseCaption = labelPrefix;
    form->Label1->SetCaption(form->BaseCaption + "  1");
    std::exception_ptr failure;
    form->BeforeModalHandler = [form, &work, &failure](TObject*) {
        try {
            work();
            if (form->ModalResult() == mrNone)
                form->SetModalResult(mrOk);
        } catch (...) {
            failure = std::current_exception();
            form->SetModalResult(mrCancel);
        }
    };
    struct THandlerReset {
        TrpProgressForm* Form;
        ~THandlerReset() { Form->BeforeModalHandler = nullptr; }
    } reset{form};
    const int result = form->Show_Modal(this);
    if (failure)
        std::rethrow_exception(failure);
    return result;
}

// --- Building

void rpProcessBuildMessages()
{
    if (rpProgressForm && rpProgressForm->Modal())
        Application->ProcessMessages();
    else
        Application->ProcessMessagesExcludingInput();
}

bool TrpReport::PrepareReport()
{
    if (rpEngineBusy())
        return false;
    TrpBusyScope busy;
    DocMode = dmPrinting;
    BeginPrepare();
    FStopped = false;
    BuildFailed = false;
    BuildErrorText.clear();
    if (OnBeginDoc)
        OnBeginDoc();
    bool result = false;
    try {
        result = DoPrepareReport();
    } catch (...) {
        FinalPass = false;
        Terminated = false;
        DisableDrawing = false;
        throw;
    }
    FinalPass = false;
    if (OnEndDoc)
        OnEndDoc();
    return result && !BuildFailed && !FStopped;
}

bool TrpReport::DoPrepareReport()
{
    Terminated = false;
    ContinueOnPage = false;
    DisableDrawing = false;
    FinalPass = true;
    FirstBuild = true;
    PageNo = 0;
    PreparedPages->Clear();
    std::string prefix = rpLoadStr(55205);
    if (TwoPass) {
        DisableDrawing = true;
        FinalPass = false;
        prefix = rpLoadStr(55204);
    }
    bool result = true;
    if (OnProgress || !ShowProgress) {
        BuildPass();
    } else if (rpProgressForm->Modal()) {
        rpProgressForm->BaseCaption = prefix;
        rpProgressForm->Label1->SetCaption(prefix + "  1");
        if (!FirstPassStopped)
            TwoPass = true;
        BuildPass();
    } else {
        const bool onePass = !TwoPass;
        if (onePass)
            TotalPageCount = 0;
        const int modalResult = RunInProgressWindow([this] { BuildPass(); }, prefix);
        if (onePass && modalResult == mrCancel)
            result = false;
    }
    Terminated = false;
    return result;
}

void TrpReport::BuildPass()
{
    DoBuildReport();
    if (!FinalPass) {
        FirstPassStopped = Terminated;
        TotalPageCount = PreparedPages->Count();
        TwoPass = false;
        FirstBuild = false;
        struct TTwoPassRestore {
            TrpReport& Report;
            ~TTwoPassRestore() { Report.TwoPass = true; }
        } restore{*this};
        DoPrepareReport();
        return;
    }
    FStopped = Terminated;
    if (rpProgressForm && rpProgressForm->Modal())
        rpProgressForm->SetModalResult(Terminated ? mrCancel : mrOk);
}

void TrpReport::PrepareDataSets()
{
    for (int i = 0; i < Values->Count(); ++i) {
        TrpValue* value = Values->GetValue(i);
        if (value->Kind != vtDBField)
            continue;
        try {
            value->DataSetRef = rpGetDataSet(value->DataSetName);
        } catch (const Exception&) {
            value->DataSetRef = nullptr;
        }
    }
}

void TrpReport::EndBuild()
{
    for (int i = 0; i < DesignPages->Count(); ++i)
        DesignPages->Pages(i)->DoneReport();
    CurBand = nullptr;
    CurView = nullptr;
    CurPage = nullptr;
    AggregateBand = nullptr;
    HookedViews.clear();
}

void TrpReport::DoBuildReport()
{
    HookedViews.clear();
    CanRebuild = true;
    DocMode = dmPrinting;
    TrpReport* master = MasterReport ? MasterReport : this;
    BeginPrepare();
    MasterReport = master;
    BuildFailed = false;
    TrpDataset* multiple = ReportType == rtMultiple ? Dataset() : nullptr;
    try {
        if (multiple) {
            multiple->Init();
            multiple->First();
        }
        for (int i = 0; i < DesignPages->Count(); ++i)
            DesignPages->Pages(i)->IsSubReport = false;
        for (int i = 0; i < DesignPages->Count(); ++i)
            DesignPages->Pages(i)->InitReport();
        PrepareDataSets();
        for (int i = 0; i < DesignPages->Count(); ++i)
            DesignPages->Pages(i)->PrepareObjects();
        do {
            InternalOnProgress(PageNo + 1);
            for (int i = 0; i < DesignPages->Count() && !MasterReport->Terminated; ++i) {
                TrpPage* page = DesignPages->Pages(i);
                if (page->IsSubReport)
                    continue;
                page->Mode = pmNormal;
                CurrentBuildPage = page;
                if (OnManualBuild)
                    OnManualBuild(page);
                else
                    page->FormPage();
                ContinueOnPage = false;
                const bool last = i == DesignPages->Count() - 1;
                const bool appendNext = last && AppendNextReport && (!multiple || multiple->Eof());
                const bool nextContinues = !last && DesignPages->Pages(i + 1)->ContinuePreviousPage != 0;
                if (appendNext || nextContinues) {
                    --PageNo;
                    ContinueOnPage = true;
                } else {
                    PageNo = MasterReport->PreparedPages->Count();
                    InternalOnProgress(PageNo);
                }
            }
            InternalOnProgress(PageNo);
            if (multiple)
                multiple->Next();
        } while (multiple && !multiple->Eof() && !MasterReport->Terminated);
    } catch (...) {
        EndBuild();
        if (multiple)
            multiple->Exit();
        throw;
    }
    EndBuild();
    if (multiple)
        multiple->Exit();
}

// --- Printer

void TrpReport::SetPrinterTo(const std::string& printerName)
{
    if (PrintToDefaultPrinter || printerName.empty())
        return;
    TrpPrinter* printer = rpPrinter();
    for (int i = 0; i < printer->Printers->Count(); ++i) {
        if (printer->Printers->Strings(i) == printerName) {
            if (i != printer->PrinterIndex())
                printer->SetPrinterIndex(i);
            return;
        }
    }
}

// --- Variables

void TrpReport::GetCategoryList(TStrings* list) const
{
    list->Clear();
    for (int i = 0; i < VariableList->Count(); ++i) {
        const std::string line = VariableList->Strings(i);
        if (!line.empty() && line[0] != ' ')
            list->Add(line);
    }
}

void TrpReport::GetVarList(int categoryIndex, TStrings* list) const
{
    list->Clear();
    int i = 0, categories = 0;
    while (i < VariableList->Count() && categories <= categoryIndex) {
        const std::string line = VariableList->Strings(i++);
        if (!line.empty() && line[0] != ' ')
            ++categories;
    }
    if (categories <= categoryIndex)
        return;
    for (; i < VariableList->Count(); ++i) {
        const std::string line = VariableList->Strings(i);
        if (line.empty() || line[0] != ' ')
            break;
        list->Add(line.substr(1));
    }
}

int TrpReport::FindVariable(const std::string& name) const
{
    const std::string line = " " + name;
    for (int i = 0; i < VariableList->Count(); ++i)
        if (VariableList->Strings(i) == line)
            return i;
    return -1;
}

void TrpReport::SetVars(TStrings* vars) { VariableList->Assign(vars); }

// --- Values

void TrpReport::BeginPrepare()
{
    ReportDate = Date();
    ReportTime = Time();
    MasterReport = this;
    CurReport = this;
    if (!rpParser)
        return;
    rpReport::ParserReport = this;
    rpParser->OnGetValue = [this](const std::string& name, Variant& value) { GetVariableValue(name, value); };
    rpParser->OnFunction = [this](const std::string& name, const Variant& p1, const Variant& p2, const Variant& p3,
                                  std::string& val) { OnGetParsFunction(name, p1, p2, p3, val); };
}

void TrpReport::GetVariableValue(const std::string& name, Variant& value)
{
    using namespace rpReport;
    value = Variant();
    if (OnGetValue) {
        OnGetValue(name, value);
        if (!VarIsEmpty(value))
            return;
    }
    if (const TrpValue* reportValue = Values->FindVariable(name)) {
        value = ReportValue(name, *reportValue);
        return;
    }
    TDataSet* dataSet = GetDefaultDataSet();
    TField* field = nullptr;
    rpGetDataSetAndField(name, dataSet, field);
    if (field) {
        value = FieldValue(field);
        return;
    }
    if (name == "VALUE") {
        value = CurrentValue;
        return;
    }
    if (SpecialValue(name, value))
        return;
    const int index = rpVariables ? rpVariables->IndexOf(name) : -1;
    if (index >= 0) {
        value = rpVariables->GetValue(index);
        return;
    }
    value = EvaluateName(name, name);
}

void TrpReport::InternalOnGetValue(const std::string& expression, std::string& text)
{
    EvaluatingName.clear();
    std::uint32_t code = CurView ? CurView->Format : 0;
    std::string formatText = CurView ? CurView->FormatText : std::string();
    std::string name = expression;
    const std::size_t suffix = expression.find(" #");
    if (suffix != std::string::npos) {
        name = expression.substr(0, suffix);
        rpReport::ReadDisplayFormat(expression.substr(suffix + 2), code, formatText);
    }
    CurrentExpression = name;
    CurrentValue = Variant(0);
    GetVariableValue(name, CurrentValue);
    text = FormatValue(CurrentValue, code, formatText);
}

std::string TrpReport::FormatValue(const Variant& value, std::uint32_t format, const std::string& formatText) const
{
    using namespace rpReport;
    if (VarIsEmpty(value) || VarIsNull(value))
        return " ";
    const int category = static_cast<int>((format >> 24) & 0x0F);
    const int variant = static_cast<int>((format >> 16) & 0xFF);
    if (category == 0)
        return VarToStr(value);
    if (category > 4)
        return "";
    // A value the category cannot take, or a format that cannot be applied to it, shows as its
    // plain text.
    try {
        switch (category) {
        case 1:
            return FormatNumber(static_cast<double>(value), format, formatText);
        case 2:
            return FormatDateTime(FormatFor(rpDateFormats, variant, formatText), VarToDateTime(value));
        case 3:
            return FormatDateTime(FormatFor(rpTimeFormats, variant, formatText), VarToDateTime(value));
        default:
            return FormatBoolean(value, variant, formatText);
        }
    } catch (const Exception&) {
        return VarToStr(value);
    }
}

void TrpReport::OnGetParsFunction(const std::string& name, const Variant& p1, const Variant& p2, const Variant& p3,
                                  std::string& val)
{
    val = "0";
    for (const std::unique_ptr<TrpFunctionLibrary>& library : rpFunctions)
        if (library->OnFunction(name, p1, p2, p3, val))
            return;
    if (rpReport::AggregateBandVisible() && OnUserFunction)
        OnUserFunction(name, p1, p2, p3, val);
}

// --- Hooks

void TrpReport::InternalOnEnterRect(TStrings* memo, TrpView* view)
{
    if (view->DataSet && !view->DataField.empty()) {
        TField* field = view->DataSet->FindField(view->DataField);
        if (rpIsBlob(field))
            view->GetBlob(field);
    }
    if (OnEnterRect)
        OnEnterRect(memo, view);
}

void TrpReport::InternalOnExportData(TrpView* view)
{
    if (ActiveExportFilter)
        ActiveExportFilter->OnData(view->Left, view->Top, view);
}

void TrpReport::InternalOnExportText(int x, int y, const std::string& text, TrpView* view)
{
    if (ActiveExportFilter)
        ActiveExportFilter->OnText(x, y, text, view);
}

void TrpReport::InternalOnProgress(int n)
{
    if (OnProgress) {
        OnProgress(n);
    } else if (ShowProgress && rpProgressForm) {
        std::string text = rpProgressForm->BaseCaption + "  " + IntToStr(n);
        if (MasterReport && (MasterReport->ActiveExportFilter || (MasterReport->TwoPass && MasterReport->FinalPass)))
            text += " " + rpLoadStr(55199) + " " + IntToStr(TotalPageCount);
        rpProgressForm->Label1->SetCaption(text);
    }
    // Inside the modal progress window its button stays usable; otherwise input waits.
    if (rpProgressForm && rpProgressForm->Modal())
        Application->ProcessMessages();
    else
        Application->ProcessMessagesExcludingInput();
}

void TrpReport::InternalOnBeginColumn(TrpBand* band)
{
    if (OnBeginColumn)
        OnBeginColumn(band);
}

void TrpReport::InternalOnPrintColumn(int columnNumber, int& width)
{
    if (OnPrintColumn)
        OnPrintColumn(columnNumber, width);
}

// --- Printing

namespace rpReport {
namespace {

// The sheets a page list selects: every sheet for an empty list (all is set then), otherwise the
// numbers and ranges it names, ranges cut to the sheets that exist. A part that is not a number
// raises EConvertError; the whole list is read before anything prints.
std::set<int> ParsePageList(const std::string& pageList, int sheetCount, bool& all)
{
    std::string text;
    for (char c : pageList)
        if (c != ' ')
            text += c;
    all = text.empty();
    std::set<int> pages;
    if (all)
        return pages;
    text += ',';
    std::string number;
    bool inRange = false;
    int first = 0;
    for (char c : text) {
        if (c == ',') {
            const int last = StrToInt(number);
            if (!inRange)
                pages.insert(last);
            for (int page = std::max(first, 1); inRange && page <= std::min(last, sheetCount); ++page)
                pages.insert(page);
            number.clear();
            inRange = false;
        } else if (c == '-') {
            first = StrToInt(number);
            number.clear();
            inRange = true;
        } else {
            number += c;
        }
    }
    return pages;
}

} // namespace
} // namespace rpReport

void TrpReport::PrintPreparedReport(const std::string& pages, int copies)
{
    // Printing reads the sheets' paper, so with no sheets there is no job at all.
    if (rpEngineBusy() || PreparedPages->Count() == 0)
        return;
    TrpBusyScope busy;
    PrintPages = pages;
    PrintCopies = copies;
    CurReport = this;
    MasterReport = this;
    Terminated = false;
    struct TTerminatedReset {
        TrpReport& Report;
        ~TTerminatedReset() { Report.Terminated = false; }
    } reset{*this};
    if (OnProgress || !ShowProgress)
        DoPrintReport(pages, copies);
    else
        RunInProgressWindow([this, &pages, copies] { DoPrintReport(pages, copies); }, rpLoadStr(55208));
}

void TrpReport::DoPrintReport(const std::string& pages, int copies)
{
    TrpPrinter* engine = rpPrinter();
    TPrinter* printer = Printer();
    if (engine->Printer() != printer)
        engine->SetPrinter(printer);
    const int sheetCount = PreparedPages->Count();
    bool all = false;
    const std::set<int> selected = rpReport::ParsePageList(pages, sheetCount, all);
    if (sheetCount == 0)
        return;
    copies = std::max(copies, 1);
    TrpPageInfo* first = PreparedPages->Pages(0);
    engine->SetPrinterInfo(first->PaperSize, first->Width, first->Height,
                           static_cast<TPrinterOrientation>(first->Orientation));
    engine->FillPrnInfo(first->PrinterInfo);
    printer->Title = "Ordalume: " + (Title.empty() ? rpLoadStr(55209) : Title);
    printer->BeginDoc();
    try {
        bool firstPage = true;
        for (int i = 0; i < sheetCount; ++i) {
            if (!all && selected.count(i + 1) == 0)
                continue;
            for (int copy = 0; copy < copies; ++copy) {
                PrintSheet(i, firstPage);
                if (Terminated) {
                    printer->Abort();
                    return;
                }
            }
        }
    } catch (...) {
        if (printer->Printing())
            printer->Abort();
        throw;
    }
    printer->EndDoc();
}

void TrpReport::PrintSheet(int index, bool& firstPage)
{
    TrpPrinter* engine = rpPrinter();
    TPrinter* printer = Printer();
    TrpPageInfo* sheet = PreparedPages->Pages(index);
    const auto orientation = static_cast<TPrinterOrientation>(sheet->Orientation);
    if (engine->IsEqual(sheet->PaperSize, sheet->Width, sheet->Height, orientation)) {
        if (!firstPage)
            printer->NewPage();
    } else {
        // Another paper needs its own job.
        printer->EndDoc();
        engine->SetPrinterInfo(sheet->PaperSize, sheet->Width, sheet->Height, orientation);
        printer->BeginDoc();
    }
    firstPage = false;
    engine->FillPrnInfo(sheet->PrinterInfo);
    sheet->Visible = true;
    const TrpPrnInfo& info = sheet->PrinterInfo;
    // The canvas starts at the printable area; a sheet laid out with margins covers the paper.
    const TRect target = sheet->UseMargins
                             ? Rect(-info.PrnOffsetX, -info.PrnOffsetY, info.PrnPaperWidth - info.PrnOffsetX,
                                    info.PrnPaperHeight - info.PrnOffsetY)
                             : Rect(0, 0, info.PrnPrintWidth, info.PrnPrintHeight);
    PreparedPages->Draw(index, printer->Canvas(), target);
    sheet->Visible = false;
    PreparedPages->Draw(index, printer->Canvas(), TRect());
    InternalOnProgress(index + 1);
}

bool TrpReport::ChangePrinter(int oldIndex, int newIndex)
{
    TrpPrinter* printer = rpPrinter();
    try {
        printer->SetPrinterIndex(newIndex);
        ApplyDesignPapers();
        return true;
    } catch (const std::exception&) {
        Application->MessageBox(rpLoadStr(55210), rpLoadStr(55206), MB_OK | MB_ICONERROR);
        printer->SetPrinterIndex(oldIndex);
        ApplyDesignPapers();
        return false;
    }
}

void TrpReport::ApplyDesignPapers()
{
    rpPrinter()->PaperSize = -1;
    for (int i = 0; i < DesignPages->Count(); ++i) {
        TrpPage* page = DesignPages->Pages(i);
        page->ChangePaper(page->PaperSize, page->PaperWidth, page->PaperHeight, page->Orientation);
    }
}

// --- Showing

void TrpReport::ShowReport()
{
    PrepareReport();
    if (BuildFailed) {
        Application->MessageBox(BuildErrorText, rpLoadStr(55206), MB_OK | MB_ICONERROR);
        PreparedPages->Clear();
        return;
    }
    ShowPreparedReport();
}

void TrpReport::ShowPreparedReport()
{
    if (PreparedPages->Count() == 0)
        return;
    if (FPreview) {
        FPreview->Connect(this);
        return;
    }
    // A modeless window frees itself when it closes.
    auto* form = TForm::Create<TrpPreviewForm>(nullptr);
    struct TModalFree {
        TrpPreviewForm* Form;
        ~TModalFree() { TComponent::Free(Form); }
    } modal{ModalPreview ? form : nullptr};
    form->SetCaption(rpLoadStr(55207) + (Title.empty() ? std::string() : " - " + Title));
    form->Show_Modal(this);
}

// --- Properties

void TrpReport::SetDataset(TrpDataset* value)
{
    FDataset = value;
    if (value)
        value->FreeNotification(this);
}

void TrpReport::AttachPreview(TrpPreview* preview, TComponent* component)
{
    FPreview = preview;
    FPreviewComponent = component;
    if (component)
        component->FreeNotification(this);
}

void TrpReport::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    if (AComponent == FDataset)
        FDataset = nullptr;
    if (AComponent == FPreviewComponent) {
        FPreview = nullptr;
        FPreviewComponent = nullptr;
    }
}
