#include "reportexport/PdfDoc.h"

#include "platform/rtl/Formats.h"

#include <cstdio>

using PdfObject::FormatPdfDate;
using PdfObject::TypeOf;
using PdfObject::WriteString;

namespace {

// Changes the text of an existing name in place, so the key keeps its place; adds it otherwise.
void SetPdfDocNameValue(TPdfDictionary& dictionary, const std::string& key, const std::string& value)
{
    if (TPdfName* name = dictionary.NameOf(key))
        name->SetValue(value);
    else
        dictionary.Add(key, std::make_unique<TPdfName>(value));
}

const char* PdfPageLayoutName(TPdfPageLayout value)
{
    switch (value) {
    case plOneColumn:
        return "OneColumn";
    case plTwoColumnLeft:
        return "TwoColumnLeft";
    case plTwoColumnRight:
        return "TwoColumnRight";
    default:
        return "SinglePage";
    }
}

const char* PdfPageModeName(TPdfPageMode value)
{
    switch (value) {
    case pmUseOutlines:
        return "UseOutlines";
    case pmUseThumbs:
        return "UseThumbs";
    case pmFullScreen:
        return "FullScreen";
    default:
        return "UseNone";
    }
}

const char* PdfDestinationTypeName(TPdfDestinationType value)
{
    static const char* const names[] = {"XYZ", "Fit", "FitH", "FitV", "FitR", "FitB", "FitBH", "FitBV"};
    return names[value];
}

// A coordinate below -100 lets the viewer keep its own.
std::unique_ptr<TPdfObject> PdfDestinationCoordinate(float value)
{
    if (value < -100)
        return std::make_unique<TPdfNull>();
    return std::make_unique<TPdfNumber>(static_cast<std::int32_t>(Trunc(value)));
}

} // namespace

// ---- Header, cross-reference table, trailer ------------------------------------------------

void TPdfHeader::WriteHeader(TStream& stream)
{
    WriteString("%PDF-1.2 \r\n", stream);
}

TPdfXrefEntry::TPdfXrefEntry(std::unique_ptr<TPdfObject> value)
    : FEntryType(value ? "n" : "f"),
      FGenerationNumber(value ? value->GenerationNumber() : 0),
      FValue(std::move(value))
{
}

std::string TPdfXrefEntry::AsString() const
{
    char line[32];
    std::snprintf(line, sizeof line, "%010d %05d %s\r\n", FByteOffset < 0 ? 0 : FByteOffset,
                  FGenerationNumber, FEntryType.c_str());
    return line;
}

TPdfXref::TPdfXref()
{
    FEntries.push_back(std::make_unique<TPdfXrefEntry>(nullptr));
    FEntries.back()->SetGenerationNumber(65535);
}

void TPdfXref::AddObject(std::unique_ptr<TPdfObject> object)
{
    if (!object || object->ObjectType() != okDirect) {
        if (object && object->ObjectType() == okIndirect)
            object.release(); // it belongs to the table that registered it
        RAISE(EPdfInvalidOperation("AddObject --wrong object type."));
    }
    object->SetObjectNumber(ItemCount());
    FEntries.push_back(std::make_unique<TPdfXrefEntry>(std::move(object)));
}

TPdfObject* TPdfXref::ObjectByNumber(int number) const
{
    if (number < 0 || number >= ItemCount())
        return nullptr;
    return FEntries[static_cast<std::size_t>(number)]->Value();
}

void TPdfXref::WriteTable(TStream& stream)
{
    std::string table = "xref\r\n0 " + std::to_string(ItemCount()) + "\r\n";
    for (const auto& entry : FEntries)
        table += entry->AsString();
    WriteString(table, stream);
}

TPdfTrailer::TPdfTrailer(TPdfObjectMgr* manager)
    : FAttributes(std::make_unique<TPdfDictionary>(manager))
{
    FAttributes->Add("Size", std::make_unique<TPdfNumber>(0));
}

void TPdfTrailer::WriteTrailer(TStream& stream)
{
    WriteString("trailer\r\n", stream);
    FAttributes->Write(stream);
    WriteString("\r\nstartxref\r\n" + std::to_string(FXrefAddress) + "\r\n%%EOF\r\n", stream);
}

// ---- Wrappers ------------------------------------------------------------------------------

void TPdfDictionaryWrapper::AddStrElements(TPdfDictionary& dictionary,
                                           const std::vector<TPDF_STR_TBL>& table)
{
    for (const auto& entry : table)
        dictionary.Add(entry.KEY, std::make_unique<TPdfName>(entry.VAL));
}

void TPdfDictionaryWrapper::AddIntElements(TPdfDictionary& dictionary,
                                           const std::vector<TPDF_INT_TBL>& table)
{
    for (const auto& entry : table)
        dictionary.Add(entry.KEY, std::make_unique<TPdfNumber>(entry.VAL));
}

void TPdfInfo::SetAuthor(const std::string& value)
{
    Data()->Add("Author", std::make_unique<TPdfText>(value));
}

void TPdfInfo::SetCreator(const std::string& value)
{
    Data()->Add("Creator", std::make_unique<TPdfText>(value));
}

void TPdfInfo::SetTitle(const std::string& value)
{
    Data()->Add("Title", std::make_unique<TPdfText>(value));
}

void TPdfInfo::SetSubject(const std::string& value)
{
    Data()->Add("Subject", std::make_unique<TPdfText>(value));
}

void TPdfInfo::SetKeywords(const std::string& value)
{
    Data()->Add("Keywords", std::make_unique<TPdfText>(value));
}

void TPdfInfo::SetCreationDate(TDateTime value)
{
    Data()->Add("CreationDate", std::make_unique<TPdfText>(FormatPdfDate(value)));
}

void TPdfInfo::SetModDate(TDateTime value)
{
    Data()->Add("ModDate", std::make_unique<TPdfText>(FormatPdfDate(value)));
}

std::unique_ptr<TPdfArray> TPdfDestination::GetValue() const
{
    auto value = std::make_unique<TPdfArray>(FPage->ObjectMgr());
    value->Add(*FPage);
    value->Add(std::make_unique<TPdfName>(PdfDestinationTypeName(DestinationType)));
    switch (DestinationType) {
    case dtXYZ:
        value->Add(PdfDestinationCoordinate(Left));
        value->Add(PdfDestinationCoordinate(Top));
        value->Add(std::make_unique<TPdfReal>(Zoom < 0 ? 0 : Zoom));
        break;
    case dtFitH:
    case dtFitBH:
        value->Add(PdfDestinationCoordinate(Top));
        break;
    case dtFitV:
    case dtFitBV:
        value->Add(PdfDestinationCoordinate(Left));
        break;
    case dtFitR:
        value->Add(PdfDestinationCoordinate(Left));
        value->Add(PdfDestinationCoordinate(Bottom));
        value->Add(PdfDestinationCoordinate(Right));
        value->Add(PdfDestinationCoordinate(Top));
        break;
    case dtFit:
    case dtFitB:
        break;
    }
    return value;
}

void TPdfCatalog::SetPages(const TPdfDictionary& pages)
{
    if (TypeOf(&pages) == "Pages")
        Data()->Add("Pages", pages);
}

void TPdfCatalog::SetPageLayout(TPdfPageLayout value)
{
    SetPdfDocNameValue(*Data(), "PageLayout", PdfPageLayoutName(value));
}

void TPdfCatalog::SetPageMode(TPdfPageMode value)
{
    SetPdfDocNameValue(*Data(), "PageMode", PdfPageModeName(value));
}

TPdfDictionary& TPdfCatalog::ViewerPreferences()
{
    TPdfDictionary* preferences = Data()->DictionaryOf("ViewerPreferences");
    if (!preferences) {
        auto created = std::make_unique<TPdfDictionary>(Data()->ObjectMgr());
        preferences = created.get();
        Data()->Add("ViewerPreferences", std::move(created));
    }
    return *preferences;
}

void TPdfCatalog::SetNonFullScreenPageMode(TPdfPageMode value)
{
    TPdfDictionary& preferences = ViewerPreferences();
    if (value == pmUseOutlines || value == pmUseThumbs)
        SetPdfDocNameValue(preferences, "NonFullScreenPageMode", PdfPageModeName(value));
    else
        preferences.Remove("NonFullScreenPageMode");
}

void TPdfCatalog::SetViewerPreference(const TPdfViewerPreferences& value)
{
    if (value.empty() && !Data()->DictionaryOf("ViewerPreferences"))
        return;
    TPdfDictionary& preferences = ViewerPreferences();
    static const struct {
        TPdfViewerPreference Flag;
        const char* Key;
    } keys[] = {{vpHideToolbar, "HideToolbar"},
                {vpHideMenubar, "HideMenubar"},
                {vpHideWindowUI, "HideWindowUI"},
                {vpFitWindow, "FitWindow"},
                {vpCenterWindow, "CenterWindow"}};
    for (const auto& key : keys) {
        if (value.count(key.Flag))
            preferences.Add(key.Key, std::make_unique<TPdfBoolean>(true));
        else
            preferences.Remove(key.Key);
    }
}

void TPdfCatalog::SaveOpenAction()
{
    if (FOpenAction)
        Data()->Add("OpenAction", FOpenAction->GetValue());
    else
        Data()->Remove("OpenAction");
}

// ---- Outlines ------------------------------------------------------------------------------

TPdfDictionary& TPdfOutlineEntry::RegisterData()
{
    auto data = std::make_unique<TPdfDictionary>(&FDoc->Xref());
    TPdfDictionary* registered = data.get();
    FDoc->Xref().AddObject(std::move(data));
    SetData(registered);
    return *registered;
}

void TPdfOutlineEntry::AdoptIntoDocument(std::unique_ptr<TPdfOutlineEntry> entry)
{
    TPdfDoc& doc = *entry->FDoc;
    doc.FObjectList.push_back(std::move(entry));
}

TPdfOutlineEntry& TPdfOutlineEntry::CreateEntry(TPdfOutlineEntry* parent)
{
    if (!parent)
        RAISE(Exception("CreateEntry --invalid parent."));
    std::unique_ptr<TPdfOutlineEntry> entry(new TPdfOutlineEntry(*parent->FDoc));
    entry->RegisterData();
    entry->FParent = parent;
    entry->FPrev = parent->FLast;
    if (parent->FLast)
        parent->FLast->FNext = entry.get();
    else
        parent->FFirst = entry.get();
    parent->FLast = entry.get();
    TPdfOutlineEntry& created = *entry;
    AdoptIntoDocument(std::move(entry));
    return created;
}

void TPdfOutlineEntry::SaveOutline()
{
    TPdfDictionary& data = *Data();
    data.Add("Count", std::make_unique<TPdfNumber>(Opened ? Count : -Count));
    data.Add("Title", std::make_unique<TPdfText>(Title));
    if (FParent)
        data.Add("Parent", *FParent->Data());
    if (FDest)
        data.Add("Dest", FDest->GetValue());
    if (FFirst) {
        data.Add("First", *FFirst->Data());
        FFirst->SaveOutline();
    }
    if (FLast)
        data.Add("Last", *FLast->Data());
    if (FPrev)
        data.Add("Prev", *FPrev->Data());
    if (FNext) {
        data.Add("Next", *FNext->Data());
        FNext->SaveOutline();
    }
}

TPdfOutlineRoot& TPdfOutlineRoot::Create(TPdfDoc& doc)
{
    std::unique_ptr<TPdfOutlineRoot> root(new TPdfOutlineRoot(doc));
    root->Opened = true;
    root->RegisterData().Add("Type", std::make_unique<TPdfName>("Outlines"));
    TPdfOutlineRoot& created = *root;
    AdoptIntoDocument(std::move(root));
    return created;
}

void TPdfOutlineRoot::SaveOutline()
{
    TPdfDictionary& data = *Data();
    data.Add("Count", std::make_unique<TPdfNumber>(Count));
    if (First()) {
        data.Add("First", *First()->Data());
        First()->SaveOutline();
    }
    if (Last())
        data.Add("Last", *Last()->Data());
}

// ---- TPdfDoc -------------------------------------------------------------------------------

TPdfDoc::TPdfDoc() : FCanvas(std::make_unique<TPdfCanvas>(this))
{
}

TPdfDoc::~TPdfDoc()
{
    FreeDocument();
}

TPdfDictionary& TPdfDoc::RegisterDictionary()
{
    auto dictionary = std::make_unique<TPdfDictionary>(FXref.get());
    TPdfDictionary& registered = *dictionary;
    FXref->AddObject(std::move(dictionary));
    return registered;
}

void TPdfDoc::CreateCatalog()
{
    TPdfDictionary& catalog = RegisterDictionary();
    catalog.Add("Type", std::make_unique<TPdfName>("Catalog"));
    FTrailer->Attributes().Add("Root", catalog);
    auto root = std::make_unique<TPdfCatalog>();
    root->SetData(&catalog);
    FRoot = root.get();
    FObjectList.push_back(std::move(root));
}

void TPdfDoc::CreateInfo()
{
    TPdfDictionary& info = RegisterDictionary();
    info.Add("Producer", std::make_unique<TPdfText>("Cartolux version 0.9"));
    FTrailer->Attributes().Add("Info", info);
    auto wrapper = std::make_unique<TPdfInfo>();
    wrapper->SetData(&info);
    FInfo = wrapper.get();
    FObjectList.push_back(std::move(wrapper));
    FInfo->SetCreationDate(Now());
}

void TPdfDoc::CreatePages()
{
    TPdfDictionary& pages = RegisterDictionary();
    pages.Add("Type", std::make_unique<TPdfName>("Pages"));
    pages.Add("Kids", std::make_unique<TPdfArray>(FXref.get()));
    pages.Add("Count", std::make_unique<TPdfNumber>(0));
    FRoot->SetPages(pages);
    FCurrentPages = &pages;
}

void TPdfDoc::NewDocument()
{
    FreeDocument();
    FCanvas->SetIsVirtual(false);
    FXref = std::make_unique<TPdfXref>();
    FHeader = std::make_unique<TPdfHeader>();
    FTrailer = std::make_unique<TPdfTrailer>(FXref.get());
    FXObjects = std::make_unique<TPdfArray>(FXref.get());

    CreateCatalog();
    if (FUseOutlines) {
        FOutlineRoot = &TPdfOutlineRoot::Create(*this);
        FRoot->Data()->Add("Outlines", *FOutlineRoot->Data());
    }
    CreateInfo();
    CreatePages();
    FHasDoc = true;
}

TPdfCanvas& TPdfDoc::NewVirtualDocument()
{
    NewDocument();
    AddPage();
    FCanvas->SetIsVirtual(true);
    return *FCanvas;
}

void TPdfDoc::FreeDocument()
{
    if (!FHasDoc)
        return;
    // The canvas outlives the document: it must not keep the freed page.
    FCanvas->ForgetPage();
    FXObjectNames.clear();
    FXObjects.reset();
    FFontList.clear();
    FObjectList.clear();
    FXref.reset();
    FHeader.reset();
    FTrailer.reset();
    FInfo = nullptr;
    FRoot = nullptr;
    FOutlineRoot = nullptr;
    FCurrentPages = nullptr;
    FHasDoc = false;
}

void TPdfDoc::AddPage()
{
    if (!FCurrentPages)
        RAISE(EPdfInvalidOperation("AddPage --current pages null."));
    TPdfDictionary& page = RegisterDictionary();
    TPdfArray& kids = *FCurrentPages->ArrayOf("Kids");
    kids.Add(page);
    FCurrentPages->NumberOf("Count")->SetValue(kids.ItemCount());

    page.Add("Type", std::make_unique<TPdfName>("Page"));
    page.Add("Parent", *FCurrentPages);
    page.Add("MediaBox", TPdfArray::CreateNumberArray(
                             FXref.get(), {0, 0, FDefaultPageWidth, FDefaultPageHeight}));
    auto resources = std::make_unique<TPdfDictionary>(FXref.get());
    resources->Add("Font", std::make_unique<TPdfDictionary>(FXref.get()));
    resources->Add("XObject", std::make_unique<TPdfDictionary>(FXref.get()));
    auto procSet = std::make_unique<TPdfArray>(FXref.get());
    for (const char* name : {"PDF", "Text", "ImageC"})
        procSet->Add(std::make_unique<TPdfName>(name));
    resources->Add("ProcSet", std::move(procSet));
    page.Add("Resources", std::move(resources));

    auto contents = std::make_unique<TPdfStream>(FXref.get());
    TPdfStream& registered = *contents;
    FXref->AddObject(std::move(contents));
    if (FCompressionMethod == cmFlateDecode)
        registered.Attributes().ArrayOf("Filter")->Add(std::make_unique<TPdfName>("FlateDecode"));
    page.Add("Contents", registered);

    FCanvas->SetPage(page);
}

TPdfCanvas& TPdfDoc::Canvas() const
{
    if (!FHasDoc)
        RAISE(EPdfInvalidOperation("GetCanvas --Document is null"));
    return *FCanvas;
}

TPdfInfo& TPdfDoc::Info() const
{
    if (!FHasDoc)
        RAISE(EPdfInvalidOperation("GetInfo --this method can not use this state.."));
    return *FInfo;
}

TPdfCatalog& TPdfDoc::Root() const
{
    if (!FHasDoc)
        RAISE(EPdfInvalidOperation("GetRoot --this method can not use this state.."));
    return *FRoot;
}

TPdfOutlineRoot& TPdfDoc::OutlineRoot() const
{
    if (!FHasDoc)
        RAISE(EPdfInvalidOperation("GetOutlineRoot --document is null.."));
    if (!FUseOutlines || !FOutlineRoot)
        RAISE(EPdfInvalidOperation("GetOutlineRoot --not use outline mode.."));
    return *FOutlineRoot;
}

TPdfFont& TPdfDoc::GetFont(const std::string& name)
{
    if (!FHasDoc)
        RAISE(EPdfInvalidOperation("GetFont --document is null."));
    for (const auto& font : FFontList) {
        if (font->Name() == name)
            return *font;
    }
    return CreateFont(name);
}

void TPdfDoc::CheckDocument(const char* operation) const
{
    if (!FHasDoc)
        RAISE(EPdfInvalidOperation(std::string(operation) + " --document is null."));
}

TPdfFont& TPdfDoc::CreateFont(const std::string& name)
{
    CheckDocument("CreateFont");
    const TPersistentClass& fontClass = FindClass(name);
    std::unique_ptr<TPersistent> made(fontClass.Create(nullptr));
    std::unique_ptr<TPdfFont> font(dynamic_cast<TPdfFont*>(made.get()));
    if (!font)
        RAISE(EClassNotFound(Format("Class %s not found", {name})));
    made.release();
    font->Create(*FXref, name);
    font->Data()->Add("Name", std::make_unique<TPdfName>("F" + std::to_string(FFontList.size())));
    FFontList.push_back(std::move(font));
    return *FFontList.back();
}

TPdfXObject* TPdfDoc::FindXObject(const std::string& name) const
{
    auto found = FXObjectNames.find(name);
    return found == FXObjectNames.end() ? nullptr : found->second;
}

void TPdfDoc::CheckXObjectName(const TPdfXObject& object, const std::string& name) const
{
    if (TypeOf(&object.Attributes()) != "XObject")
        RAISE(EPdfInvalidValue("RegisterXObject --not XObject"));
    if (!object.Attributes().ValueOf("Name") && FindXObject(name))
        RAISE(EPdfInvalidValue(Format("RegisterXObject --dupulicate name: %s", {name})));
}

void TPdfDoc::RegisterXObject(std::unique_ptr<TPdfXObject> object, const std::string& name)
{
    CheckDocument("RegisterXObject");
    if (!object)
        RAISE(EPdfInvalidValue("RegisterXObject --AObject is null"));
    // Checked before the object is registered, so a refused object leaves nothing behind.
    CheckXObjectName(*object, name);
    TPdfXObject* registered = object.get();
    if (object->ObjectType() == okIndirect)
        object.release(); // already registered: the table keeps it
    else
        FXref->AddObject(std::move(object));
    RegisterXObject(registered, name);
}

void TPdfDoc::RegisterXObject(TPdfXObject* object, const std::string& name)
{
    CheckDocument("RegisterXObject");
    if (!object)
        RAISE(EPdfInvalidValue("RegisterXObject --AObject is null"));
    CheckXObjectName(*object, name);
    if (object->ObjectType() != okIndirect)
        RAISE(EPdfInvalidOperation("RegisterXObject --the object is not registered."));
    if (object->Attributes().ValueOf("Name"))
        return;
    FXObjects->Add(*object);
    FXObjectNames[name] = object;
    object->Attributes().Add("Name", std::make_unique<TPdfName>(name));
}

void TPdfDoc::AddImage(const std::string& name, std::unique_ptr<TPdfImage> image)
{
    if (FindXObject(name))
        RAISE(Exception(Format("AddImage --the image named %s is already exists..", {name})));
    if (!image || TypeOf(&image->Attributes()) != "XObject" ||
        !image->Attributes().NameOf("Subtype") ||
        image->Attributes().NameOf("Subtype")->Value() != "Image")
        RAISE(Exception("AddImage --the image is not valid TPdfImage.."));
    RegisterXObject(std::unique_ptr<TPdfXObject>(std::move(image)), name);
}

void TPdfDoc::WriteDocument(TStream& stream)
{
    FHeader->WriteHeader(stream);
    int last = FXref->ItemCount() - 1;
    for (int number = 1; number <= last; ++number) {
        if (FReport && FReport->OnSaveStream)
            FReport->OnSaveStream(FReport, number, last);
        TPdfXrefEntry& entry = FXref->Items(number);
        entry.SetByteOffset(static_cast<int>(stream.Position()));
        entry.Value()->WriteObject(stream);
    }
    FTrailer->SetXrefAddress(static_cast<int>(stream.Position()));
    FXref->WriteTable(stream);
    FTrailer->Attributes().NumberOf("Size")->SetValue(FXref->ItemCount());
    FTrailer->WriteTrailer(stream);
}

void TPdfDoc::SaveToStream(TStream& stream)
{
    if (!FHasDoc)
        RAISE(EPdfInvalidOperation("SaveToStream --there is no document to save."));
    FCanvas->Page(); // a document without a page cannot be saved
    FInfo->SetModDate(Now());
    FRoot->SaveOpenAction();
    if (FUseOutlines)
        FOutlineRoot->SaveOutline();

    // The file is put together in memory: many small writes stay cheap whatever the target,
    // and a failure half way leaves the target as it was.
    TMemoryStream file;
    WriteDocument(file);
    stream.Seek(0, soFromBeginning);
    stream.WriteBuffer(file.Memory(), static_cast<int>(file.Size()));
    stream.SetSize(file.Size());
}
