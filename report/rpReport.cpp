#include "report/rpReport.h"

#include "report/RP_DBRel.h"
#include "report/RP_DSet.h"
#include "report/rpEngine.h"
#include "report/rpResources.h"
#include "report/rpStreams.h"

#include "platform/db/DataSet.h"
#include "platform/db/StdFields.h"
#include "platform/gui/Application.h"
#include "platform/gui/Bitmap.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"

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

} // namespace
} // namespace rpReport

TrpReport::TrpReport(TComponent* AOwner)
    : TComponent(AOwner), DesignPages(std::make_unique<TrpPages>(this)),
      VariableList(std::make_unique<TStringList>()), Values(std::make_unique<TrpValues>())
{
    rpInitEngine();
    FileName = rpLoadStr(55209);
}

TrpReport::~TrpReport()
{
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

// Export filters come with the export pass; no export runs before then.
void TrpReport::InternalOnExportData(TrpView*) {}

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
