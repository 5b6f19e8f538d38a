#pragma once
// The run-time band: a strip of a design page made from a band object when a build starts. It
// holds the objects that lie in it, walks its data set, computes its height, fits itself on the
// sheet (moving or splitting), draws its objects into the prepared sheet, prints cross-tab cells
// and subreports, and keeps the aggregates its footer prints.

#include "report/rpBandView.h"

#include "platform/rtl/Lists.h"
#include "platform/rtl/Variants.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TrpDataset;
class TrpPage;
class TrpView;

enum TrpPageMode { pmNormal, pmBuildList };
enum TrpBandRecType { rtShowBand, rtFirst, rtNext };

struct TrpBandRec {
    TrpBand* Band = nullptr;
    TrpBandRecType Action = rtShowBand;
};

// Band flags.
constexpr std::uint16_t rpBandStretch = 1, rpBandNewPageAfterEach = 2, rpBandPrintWhenDetailEmpty = 4,
                        rpBandSplit = 8, rpBandOnFirstPage = 16, rpBandOnLastPage = 32,
                        rpBandRepeatHeader = 64;

class TrpBand : public TObject {
    TESS_CLASS(TrpBand, TObject)
public:
    // Visible, both record counters at 1.
    TrpBand(TrpBandType bandType, TrpPage* page);
    ~TrpBand() override;
    TrpBand(const TrpBand&) = delete;
    TrpBand& operator=(const TrpBand&) = delete;

    // The data source from the band object's data-source text: a group header's text is its
    // condition; an empty text is no data set.
    void InitDataSet(const std::string& text);
    // Shows the band now; true when it could not be finished on the current sheet.
    bool Draw();
    int DoCalcHeight();
    int CalcHeight();
    void StretchObjects(int height);
    void UnStretchObjects();
    // True when the band does not fit; unless testOnly a new column or sheet then starts.
    bool CheckPageBreak(int top, int height, bool testOnly);
    void DoDraw();
    // True when subreports took the flow over.
    bool DrawObjects();
    void DrawObject(TrpView* view);
    void DrawPageBreak();
    void DrawCross();
    void DrawCrossCell(TrpBand* rowBand, int x);
    bool HasCross() const;
    void PrepareSubReports();
    void DoSubReports();
    void InitValues();
    void DoAggregate();
    // Stops the build with the error text of the current object.
    void DoError();

    bool Exists() const { return !Objects.empty(); }
    bool IsDataBand() const;
    // The name of the band object, "" for a band made without one.
    std::string Name() const;
    // The data source, or that of the first band of the chain for a continuation band.
    TrpBand* DataBand();

    TrpPage* const Page;
    TrpBandView* View = nullptr;
    std::uint16_t Flags = 0;
    TrpBand* NextBand = nullptr;
    TrpBand* PrevBand = nullptr;
    TrpBand* ChainLast = nullptr;
    TrpBand* Header = nullptr;
    TrpBand* Footer = nullptr;
    int Left = 0, Top = 0, Width = 0, Height = 0;
    int ComputedHeight = -1;
    int DrawnHeight = 0;
    TrpBandType BandType;
    bool CanStretch = false;
    bool NewPageAfterEach = false;
    bool PrintWhenDetailEmpty = false;
    bool SplitAcrossPages = false;
    bool Visible = true;
    std::vector<TrpView*> Objects;
    const std::unique_ptr<TStringList> Memo;
    const std::unique_ptr<TStringList> Script;
    TrpDataset* DataSource = nullptr;
    TrpDataset* CrossDataSource = nullptr;
    std::string GroupExpression;
    Variant GroupValue;
    int LocalLine = 1, GlobalLine = 1;
    const std::unique_ptr<TStringList> AggValues;
    int AggCount = 0;
    // Records accumulated per aggregate key, for averages; run-time only.
    std::vector<std::pair<std::string, int>> AggRecords;
    bool KeepValues = false;
    int SubReportStart = 0;
    int SubReportMaxY = 0;
    bool SubReportsDone = true;
    std::vector<bool> SubReportFinished;
    bool NewPageRequested = false;
    bool NewColumnRequested = false;

private:
    struct TSavedGeometry {
        int Top, Height;
    };
    void DrawWhole();
    void DrawChain();
    int CrossCellsHeight();
    void PlaceCrossColumn(int& x, int width);
    void DrawCrossBand(TrpBand* crossBand, int x);
    bool SplitOneSheet(std::vector<bool>& pending, int& usedHeight);
    void MoveObjectsBelow(TrpView* view, int grown);
    // The height before the band stretched its objects.
    int DesignHeight(TrpView* view) const;
    TrpDataset* CrossSource();
    void AccumulateFooters(bool withCross);

    std::unique_ptr<TrpDataset> FOwnedDataSource;
    std::unique_ptr<TrpDataset> FOwnedCrossDataSource;
    std::vector<std::pair<TrpView*, TSavedGeometry>> FSavedHeights;
    std::vector<TrpView*> FSubReports;

    friend class TrpPage;
};

// The data set behind a report data set of a table, or null.
class TDataSet;
TDataSet* rpPlatformDataSet(TrpDataset* dataSet);
