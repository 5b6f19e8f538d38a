#pragma once
// Design pages: paper, margins, columns and the objects placed on them; and the list of a
// report's design pages with the template stream that holds them.

#include "report/RP_Prntr.h"
#include "report/rpBand.h"
#include "report/rpView.h"

#include <array>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TStream;
class TrpReport;

class TrpPage : public TObject {
    TESS_CLASS(TrpPage, TObject)
public:
    // Selects the paper on the engine printer (ChangePaper).
    TrpPage(int paperSize, int paperWidth, int paperHeight, TPrinterOrientation orientation);
    ~TrpPage() override;
    TrpPage(const TrpPage&) = delete;
    TrpPage& operator=(const TrpPage&) = delete;

    // Asks the engine printer for the paper (a custom size when it refuses it), fills
    // PrinterInfo and takes back the paper the printer chose.
    void ChangePaper(int paperSize, int paperWidth, int paperHeight, TPrinterOrientation orientation);

    // The printable area in report units.
    int LeftMargin() const;
    int TopMargin() const;
    int RightMargin() const;
    int BottomMargin() const;

    // Case ignored, first match; nullptr when none.
    TrpView* FindObject(const std::string& name) const;
    // The index of the object with that ID, -1 when none.
    int FindObjectByID(int id) const;
    void Clear();
    void Delete(int index);

    // The 41-byte record (47 in files older than version 23).
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream);

    int PaperSize = 9;
    int PaperWidth = 0;  // tenths of a millimetre
    int PaperHeight = 0;
    TRect Margins;       // report units; 0 on a side takes the printer's offset
    TPrinterOrientation Orientation = poPortrait;
    std::int16_t ContinuePreviousPage = 0; // 16-bit booleans
    std::int16_t UseMargins = -1;
    int ColumnCount = 1;
    int ColumnGap = 0;
    int ColumnWidth = 0;
    TrpPrnInfo PrinterInfo;
    std::vector<std::unique_ptr<TrpView>> Objects;

    // --- Building (between InitReport and DoneReport) ---

    // Makes the bands and the run-time copies of the objects and hands each copy to its band.
    void InitReport();
    // Frees the bands and the run-time objects.
    void DoneReport();
    // Binds run-time objects whose text starts with a bracketed field to that field.
    void PrepareObjects();
    // Builds the page: the sheets and bands of its data levels, groups, columns and footers.
    void FormPage();
    void NewPage();
    void NewColumn(TrpBand* band);
    void DrawPageFooters();
    // Draws the band now, or records it in pmBuildList mode; nothing for a band without a band
    // object or objects.
    void ShowBand(TrpBand* band);
    void ShowBandByName(const std::string& name);
    void ShowBandByType(TrpBandType type);
    void AddRecord(TrpBand* band, TrpBandRecType action);
    void ClearRecList();
    // Plays the recorded bands from PlayPosition; true when a band did not fit.
    bool PlayRecList();
    // Every hooked object hears of the object just printed.
    void AfterPrint();
    // Each band of each of these chains accumulates its aggregates.
    void DoAggregate(const std::vector<TrpBandType>& types);

    // The first band of a type (every type has one while building).
    TrpBand* Bands(TrpBandType type) const;
    TrpReport* Report() const { return FReport; }
    int ColumnFooterHeight() const;
    // The page bottom less the page footer.
    int PageBottom() const;
    // The room left between the current position and the bottom limit.
    int UsableHeight() const;
    // Nothing was drawn since the current column or sheet started.
    bool AtFreshTop() const { return CurrentY == FreshTopY; }
    // A band that does not fit may start a new column or sheet: not while one is being started,
    // nor at the top of a fresh one.
    bool CanStartColumn() const { return StartingSheet == 0 && !AtFreshTop(); }
    // A new column or sheet for a band that is split or continues, unless one is being started.
    void NewColumnForced(TrpBand* band);

    std::vector<std::unique_ptr<TrpView>> RunObjects;
    bool IsSubReport = false;
    bool BandsCreated = false;
    // The page is being played inside a subreport frame.
    bool ShownInFrame = false;
    TrpPageMode Mode = pmNormal;
    std::vector<TrpBandRec> RecordList;
    int PlayPosition = 0;
    TrpBand* PendingSubReportBand = nullptr;
    int CurrentY = 0;
    int BottomLimit = 0;
    int ColumnIndex = 0;
    int ColumnStartY = 0;
    int XOffset = 0;
    int ColumnNumber = 0;
    int RecordNumber = 0;
    // Where the current column or sheet began to take bands; and how many new columns or sheets
    // are being started.
    int FreshTopY = -1;
    int StartingSheet = 0;

private:
    void TossObjects();
    void TossCrossObjects();
    void TossBandObjects(TrpBandType type);
    void AssignObjectsTo(TrpBand* band);
    void SortChain(TrpBandType type);
    void MatchHeadersAndFooters();
    void ResolveCrossDataSources();
    TrpBand* AddBand(TrpBandType type, TrpBandView* view);
    void DataLoop(int level);
    void ShowStack();
    // True when a group changed and the data footer was shown.
    bool ChangeGroups(TrpBand* data);
    void ReprintHeaders(TrpBand* band);

    std::array<std::vector<std::unique_ptr<TrpBand>>, 22> FChains;
    std::vector<TrpBand*> FStack;
    int FDeepestLevel = 0;
    bool FHasGroups = false;
    TrpReport* FReport = nullptr;

    friend class TrpPages;
};

// Marks a new column or sheet being started for its life: bands shown meanwhile never start
// another.
class TStartingSheetScope {
public:
    explicit TStartingSheetScope(TrpPage& page) : Page(page) { ++Page.StartingSheet; }
    ~TStartingSheetScope() { --Page.StartingSheet; }
    TStartingSheetScope(const TStartingSheetScope&) = delete;
    TStartingSheetScope& operator=(const TStartingSheetScope&) = delete;

private:
    TrpPage& Page;
};

class TrpPages : public TObject {
    TESS_CLASS(TrpPages, TObject)
public:
    explicit TrpPages(TrpReport* parent);
    ~TrpPages() override;
    TrpPages(const TrpPages&) = delete;
    TrpPages& operator=(const TrpPages&) = delete;

    // A new A4 portrait page at the end.
    TrpPage* Add();
    void Clear();
    void Delete(int index);
    int Count() const { return static_cast<int>(FPages.size()); }
    TrpPage* Pages(int index) const { return FPages.at(static_cast<std::size_t>(index)).get(); }

    // Everything a template holds after its version byte. Reading clears the pages first and
    // raises on damaged input.
    void LoadFromStream(TStream& stream);
    // Raises EWriteError, before writing, for what the format cannot hold.
    void SaveToStream(TStream& stream);

    TrpReport* const Parent;

private:
    void ReadObject(TStream& stream, std::uint8_t typ);
    void ReadVariables(TStream& stream);
    void CheckCanSave() const;

    std::vector<std::unique_ptr<TrpPage>> FPages;
};
