#pragma once
// A PDF 1.2 document while it is built: the cross-reference table that numbers and owns every
// indirect object, the catalog, the document information, the page tree, the fonts and the
// external objects in use, and the canvas through which page content is written. SaveToStream
// writes the whole file.

#include "reportexport/PdfCanvas.h"
#include "reportexport/PdfObject.h"

#include "platform/rtl/Classes.h"
#include "platform/rtl/DateTime.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

enum TPdfPageLayout { plSinglePage, plOneColumn, plTwoColumnLeft, plTwoColumnRight };
enum TPdfPageMode { pmUseNone, pmUseOutlines, pmUseThumbs, pmFullScreen };
enum TPdfViewerPreference { vpHideToolbar, vpHideMenubar, vpHideWindowUI, vpFitWindow, vpCenterWindow };
using TPdfViewerPreferences = std::set<TPdfViewerPreference>;
enum TPdfCompressionMethod { cmNone, cmFlateDecode };
enum TPdfDestinationType { dtXYZ, dtFit, dtFitH, dtFitV, dtFitR, dtFitB, dtFitBH, dtFitBV };

struct TPDF_STR_TBL {
    std::string KEY;
    std::string VAL;
};

struct TPDF_INT_TBL {
    std::string KEY;
    int VAL;
};

class TPdfDoc;

class TPdfHeader : public TObject {
    TESS_CLASS(TPdfHeader, TObject)
public:
    // "%PDF-1.2 " and CR LF.
    void WriteHeader(TStream& stream);
};

// One line of the cross-reference table: "n" for an object in use, "f" for the free entry.
class TPdfXrefEntry : public TObject {
    TESS_CLASS(TPdfXrefEntry, TObject)
public:
    // Without a value the entry is the free one, generation 0.
    explicit TPdfXrefEntry(std::unique_ptr<TPdfObject> value);

    const std::string& EntryType() const { return FEntryType; }
    int ByteOffset() const { return FByteOffset; }
    void SetByteOffset(int value) { FByteOffset = value; }
    int GenerationNumber() const { return FGenerationNumber; }
    void SetGenerationNumber(int value) { FGenerationNumber = value; }
    TPdfObject* Value() const { return FValue.get(); }
    // The 20-byte line: offset, generation, type, CR LF.
    std::string AsString() const;

private:
    std::string FEntryType;
    int FByteOffset = -1;
    int FGenerationNumber = 0;
    std::unique_ptr<TPdfObject> FValue;
};

// The cross-reference table: numbers objects from 1 in the order they are registered.
class TPdfXref : public TPdfObjectMgr {
    TESS_CLASS(TPdfXref, TPdfObjectMgr)
public:
    TPdfXref();

    // Raises EPdfInvalidOperation "AddObject --wrong object type." for an object that is not
    // direct.
    void AddObject(std::unique_ptr<TPdfObject> object) override;
    TPdfObject* ObjectByNumber(int number) const override;
    TPdfXrefEntry& Items(int index) const { return *FEntries.at(static_cast<std::size_t>(index)); }
    // Entry 0 included.
    int ItemCount() const { return static_cast<int>(FEntries.size()); }
    void WriteTable(TStream& stream);

private:
    std::vector<std::unique_ptr<TPdfXrefEntry>> FEntries;
};

class TPdfTrailer : public TObject {
    TESS_CLASS(TPdfTrailer, TObject)
public:
    explicit TPdfTrailer(TPdfObjectMgr* manager);

    TPdfDictionary& Attributes() const { return *FAttributes; }
    int XrefAddress() const { return FXrefAddress; }
    void SetXrefAddress(int value) { FXrefAddress = value; }
    void WriteTrailer(TStream& stream);

private:
    std::unique_ptr<TPdfDictionary> FAttributes;
    int FXrefAddress = 0;
};

// A view over a dictionary that belongs to the cross-reference table.
class TPdfDictionaryWrapper : public TPersistent {
    TESS_CLASS(TPdfDictionaryWrapper, TPersistent)
public:
    TPdfDictionary* Data() const { return FData; }
    bool HasData() const { return FData != nullptr; }
    virtual void SetData(TPdfDictionary* data) { FData = data; }

    // Each key with a name / a number, in list order.
    static void AddStrElements(TPdfDictionary& dictionary, const std::vector<TPDF_STR_TBL>& table);
    static void AddIntElements(TPdfDictionary& dictionary, const std::vector<TPDF_INT_TBL>& table);

private:
    TPdfDictionary* FData = nullptr;
};

class TPdfInfo : public TPdfDictionaryWrapper {
    TESS_CLASS(TPdfInfo, TPdfDictionaryWrapper)
public:
    void SetAuthor(const std::string& value);
    void SetCreator(const std::string& value);
    void SetTitle(const std::string& value);
    void SetSubject(const std::string& value);
    void SetKeywords(const std::string& value);
    void SetCreationDate(TDateTime value);
    void SetModDate(TDateTime value);
};

// Where a viewer opens or an outline entry leads: a page, a way to fit it and its coordinates.
// A coordinate below -100 leaves the viewer's own value (null in the file).
class TPdfDestination : public TObject {
    TESS_CLASS(TPdfDestination, TObject)
public:
    // page: a registered page dictionary.
    explicit TPdfDestination(const TPdfDictionary& page) : FPage(&page) {}

    TPdfDestinationType DestinationType = dtXYZ;
    float Left = -101;
    float Top = -101;
    float Right = -101;
    float Bottom = -101;
    // 0 keeps the viewer's zoom; a negative zoom is written as 0.
    float Zoom = 0;

    // [page /Type coordinates...]
    std::unique_ptr<TPdfArray> GetValue() const;

private:
    const TPdfDictionary* FPage;
};

class TPdfCatalog : public TPdfDictionaryWrapper {
    TESS_CLASS(TPdfCatalog, TPdfDictionaryWrapper)
public:
    // Only a dictionary of type "Pages" is taken.
    void SetPages(const TPdfDictionary& pages);
    void SetPageLayout(TPdfPageLayout value);
    void SetPageMode(TPdfPageMode value);
    void SetNonFullScreenPageMode(TPdfPageMode value);
    void SetViewerPreference(const TPdfViewerPreferences& value);
    TPdfDestination* OpenAction() const { return FOpenAction.get(); }
    void SetOpenAction(std::unique_ptr<TPdfDestination> value) { FOpenAction = std::move(value); }
    // At save time: "OpenAction" from the destination, or no entry without one.
    void SaveOpenAction();

private:
    TPdfDictionary& ViewerPreferences();

    std::unique_ptr<TPdfDestination> FOpenAction;
};

class TPdfXref;

// The base of the standard fonts. Create is the virtual constructor the document calls on a
// class found in the class registry.
class TPdfFont : public TPdfDictionaryWrapper {
    TESS_CLASS(TPdfFont, TPdfDictionaryWrapper)
public:
    // The registered name, such as "Arial-Bold".
    const std::string& Name() const { return FName; }
    virtual void Create(TPdfXref& table, const std::string& name) { (void)table; FName = name; }
    // The width of the character at a 1-based position, in thousandths of the font size.
    virtual int GetCharWidth(const std::string& /*text*/, int /*position*/) const { return 0; }

private:
    std::string FName;
};

class TPdfOutlineEntry : public TPdfDictionaryWrapper {
    TESS_CLASS(TPdfOutlineEntry, TPdfDictionaryWrapper)
public:
    // A new entry, last among the children of parent, kept by parent's document. Raises
    // "CreateEntry --invalid parent." for no parent.
    static TPdfOutlineEntry& CreateEntry(TPdfOutlineEntry* parent);

    TPdfOutlineEntry* Parent() const { return FParent; }
    TPdfOutlineEntry* Next() const { return FNext; }
    TPdfOutlineEntry* Prev() const { return FPrev; }
    TPdfOutlineEntry* First() const { return FFirst; }
    TPdfOutlineEntry* Last() const { return FLast; }
    TPdfDoc* Doc() const { return FDoc; }

    TPdfDestination* Dest() const { return FDest.get(); }
    void SetDest(std::unique_ptr<TPdfDestination> value) { FDest = std::move(value); }
    std::string Title;
    bool Opened = false;
    int Count = 0;
    // An object freed together with the entry.
    void SetOwner(std::unique_ptr<TObject> value) { FOwner = std::move(value); }
    TObject* Owner() const { return FOwner.get(); }

    // Writes the entry's keys, and those of its first child and next sibling.
    virtual void SaveOutline();

protected:
    explicit TPdfOutlineEntry(TPdfDoc& doc) : FDoc(&doc) {}
    // Registers a new dictionary as the entry's data in the document.
    TPdfDictionary& RegisterData();
    static void AdoptIntoDocument(std::unique_ptr<TPdfOutlineEntry> entry);

private:
    TPdfOutlineEntry* FParent = nullptr;
    TPdfOutlineEntry* FNext = nullptr;
    TPdfOutlineEntry* FPrev = nullptr;
    TPdfOutlineEntry* FFirst = nullptr;
    TPdfOutlineEntry* FLast = nullptr;
    std::unique_ptr<TPdfDestination> FDest;
    TPdfDoc* FDoc;
    std::unique_ptr<TObject> FOwner;
};

class TPdfOutlineRoot : public TPdfOutlineEntry {
    TESS_CLASS(TPdfOutlineRoot, TPdfOutlineEntry)
public:
    // The root, kept by the document: Count 0, opened, of type "Outlines".
    static TPdfOutlineRoot& Create(TPdfDoc& doc);
    void SaveOutline() override;

private:
    using TPdfOutlineEntry::TPdfOutlineEntry;
};

using TPRSaveStreamEvent = std::function<void(TObject* Sender, int Progress, int Completion)>;

// The report component the document tells of its progress while saving.
class TAbstractPReport : public TComponent {
    TESS_CLASS(TAbstractPReport, TComponent)
public:
    using TComponent::TComponent;
    TPRSaveStreamEvent OnSaveStream;
};

class TPdfDoc : public TObject {
    TESS_CLASS(TPdfDoc, TObject)
public:
    TPdfDoc();
    ~TPdfDoc() override;
    TPdfDoc(const TPdfDoc&) = delete;
    TPdfDoc& operator=(const TPdfDoc&) = delete;

    // Frees an open document and starts a new one: catalog, information, page tree.
    void NewDocument();
    // A document of one page whose canvas measures text and writes nothing.
    TPdfCanvas& NewVirtualDocument();
    void FreeDocument();
    bool HasDoc() const { return FHasDoc; }

    // A new page of the default size at the end of the page tree; the canvas moves to it.
    void AddPage();
    TPdfCanvas& Canvas() const;
    TPdfInfo& Info() const;
    TPdfCatalog& Root() const;
    TPdfOutlineRoot& OutlineRoot() const;

    // The font of that registered name, made and numbered (F0, F1, ...) on first use.
    TPdfFont& GetFont(const std::string& name);
    // Raises EClassNotFound for a name that is not a registered font.
    TPdfFont& CreateFont(const std::string& name);

    // Registers an image under name and takes it over. Raises Exception when the name is taken
    // or the image is not an image external object.
    void AddImage(const std::string& name, std::unique_ptr<TPdfImage> image);
    // Gives an external object its name, registering it in the document first.
    void RegisterXObject(std::unique_ptr<TPdfXObject> object, const std::string& name);
    // The same for an object already registered in this document.
    void RegisterXObject(TPdfXObject* object, const std::string& name);
    TPdfXObject* FindXObject(const std::string& name) const;

    // Writes the whole file from position 0 and cuts the stream there.
    void SaveToStream(TStream& stream);
    void SetReport(TAbstractPReport* report) { FReport = report; }

    TPdfCompressionMethod CompressionMethod() const { return FCompressionMethod; }
    void SetCompressionMethod(TPdfCompressionMethod value) { FCompressionMethod = value; }
    bool UseOutlines() const { return FUseOutlines; }
    void SetUseOutlines(bool value) { FUseOutlines = value; }
    std::uint16_t DefaultPageWidth() const { return FDefaultPageWidth; }
    void SetDefaultPageWidth(std::uint16_t value) { FDefaultPageWidth = value; }
    std::uint16_t DefaultPageHeight() const { return FDefaultPageHeight; }
    void SetDefaultPageHeight(std::uint16_t value) { FDefaultPageHeight = value; }

private:
    friend class TPdfOutlineEntry;
    TPdfXref& Xref() const { return *FXref; }
    // Raises EPdfInvalidOperation "<operation> --document is null." without an open document.
    void CheckDocument(const char* operation) const;
    TPdfDictionary& RegisterDictionary();
    void CreateCatalog();
    void CreateInfo();
    void CreatePages();
    void CheckXObjectName(const TPdfXObject& object, const std::string& name) const;
    void WriteDocument(TStream& stream);

    TPdfCatalog* FRoot = nullptr;
    TPdfDictionary* FCurrentPages = nullptr;
    std::unique_ptr<TPdfCanvas> FCanvas;
    std::unique_ptr<TPdfHeader> FHeader;
    std::unique_ptr<TPdfTrailer> FTrailer;
    std::unique_ptr<TPdfXref> FXref;
    TPdfInfo* FInfo = nullptr;
    bool FHasDoc = false;
    std::vector<std::unique_ptr<TPdfFont>> FFontList;
    std::vector<std::unique_ptr<TPdfDictionaryWrapper>> FObjectList;
    TPdfOutlineRoot* FOutlineRoot = nullptr;
    std::unique_ptr<TPdfArray> FXObjects;
    // Beside FXObjects, which keeps the order of registration.
    std::unordered_map<std::string, TPdfXObject*> FXObjectNames;
    std::uint16_t FDefaultPageWidth = 596;
    std::uint16_t FDefaultPageHeight = 842;
    TPdfCompressionMethod FCompressionMethod = cmNone;
    bool FUseOutlines = false;
    TAbstractPReport* FReport = nullptr;
};
