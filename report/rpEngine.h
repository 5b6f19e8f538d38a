#pragma once
// The report engine's shared state: the report, page, band and object being worked on, the
// document mode, the version of the stream being read, the scratch objects, the registries of
// add-in objects, export filters, function libraries and designer tools, and the engine's start
// and end. One report is built, printed or exported at a time, on the GUI thread.

#include "platform/rtl/Classes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TBitmap;
class TStream;
class TStringList;
class TStrings;
class TrpView;
class TrpReport;
class TrpPage;
class TrpBand;
class TrpReportDesigner;
class TrpDataManager;
class TrpObjEditorForm;
class TrpFunctionLibrary;
class TrpExportFilter;
class TrpParser;
class TrpInterpretator;
class TrpVariables;
class TDataSet;

enum TrpDocMode { dmDesigning, dmPrinting };

// --- The objects being worked on ---
extern TrpView* CurView;
extern TrpReport* CurReport;
extern TrpReport* MasterReport;
extern TrpPage* CurPage;
extern TrpBand* CurBand;
extern TrpBand* AggregateBand;
// dmPrinting while a report is built, previewed or printed.
extern TrpDocMode DocMode;
// No background and no frame is drawn while it is set.
extern bool DisableDrawing;
extern int PageNo;
extern int TotalPageCount;
// The version of the template or page stream being read; the string readers follow it.
extern std::uint8_t rpVersion;
// The default character set of text objects (string 55337).
extern std::uint8_t rpCharset;
// A scratch line list shared by the engine.
extern TStringList* SMemo;
// Every object takes the next value as its ID; it only grows.
extern int rpObjectCounter;
// The optional designer and data manager; this program installs neither.
extern TrpReportDesigner* rpDesigner;
extern TrpDataManager* rpDataManager;
// The 8 x 8 bitmap whose canvas measures text.
extern TBitmap* ScratchBitmap;
// The 8 x 8 white and silver checkerboard band objects are filled with at design time.
extern TBitmap* rpPatternBitmap;
// Band titles are drawn on tabs outside the bands in a designer.
extern bool ShowBandTitles;
// The expression parser, the script interpreter and the variables scripts set, from engine start
// to engine end.
extern TrpParser* rpParser;
extern TrpInterpretator* rpInterpretator;
extern TrpVariables* rpVariables;

// --- The building pass ---
// Run-time objects whose flags have bit 15 set: each hears of every object printed after it.
extern std::vector<TrpView*> HookedViews;
// Set while cross-tab cells are drawn; CrossShift is how far the columns moved left onto
// further sheets.
extern bool InCrossPass;
extern int CrossShift;
// The next design page continues on the current sheet; the page footer was drawn on it.
extern bool ContinueOnPage;
extern bool FooterOnLastPage;
// Where the last design page stopped, and its lowest usable position.
extern int SavedY;
extern int SavedBottom;
// A composite report's next report continues on the current sheet.
extern bool AppendNextReport;
// The first pass of a two-pass build was stopped.
extern bool FirstPassStopped;
// A composite calls its reports' document events only in its first build.
extern bool FirstBuild;

// The special value names, by the OtherKind of a report value; 1 selects an expression instead.
constexpr int rpSpecCount = 9;
extern const char* const rpSpecFuncs[rpSpecCount];

// The platform data set of the data band that governs the band being printed: the current band's
// data set, that of the data band it heads or foots, or the master data band's; null outside a
// build.
TDataSet* GetDefaultDataSet();

// Texts loaded from the string table when the engine starts.
extern std::vector<std::string> rpBandNames;    // 22 band types
extern std::vector<std::string> rpSpecArr;      // display names of the 9 special values
extern std::vector<std::string> BooleanFormats; // "0;1", "No;Si", ...
extern std::vector<std::string> rpDateFormats;
extern std::vector<std::string> rpTimeFormats;

// --- Registries ---

// A class of report objects: its class name and how to make one.
struct TrpViewClass {
    std::string ClassName;
    std::function<TrpView*()> Create;
};

template <typename T>
TrpViewClass rpViewClassOf()
{
    return {T().ClassName(), [] { return static_cast<TrpView*>(new T()); }};
}

struct TrpAddInObjectInfo {
    TrpViewClass ClassRef;
    TBitmap* ButtonBmp = nullptr;       // not owned
    std::string ButtonHint;
    TrpObjEditorForm* EditorForm = nullptr; // not owned
};

// A class of export filters: its class name and how to make one over a target stream.
struct TrpExportFilterClass {
    std::string ClassName;
    std::function<TrpExportFilter*(TStream* stream)> Create;
};

struct TrpExportFilterInfo {
    TrpExportFilterClass ClassRef;
    std::string FilterDesc;
    std::string FilterExt; // file mask, "*.pdf"
};

using TrpFunctionLibraryClass = std::function<std::unique_ptr<TrpFunctionLibrary>()>;

struct TrpToolsInfo {
    std::string Caption;
    TBitmap* ButtonBmp = nullptr; // not owned
    TNotifyEvent OnClick;
};

// Every registration is appended; a lookup takes the first match.
extern std::vector<TrpAddInObjectInfo> rpAddIns;
extern std::vector<TrpExportFilterInfo> rpFilters;
extern std::vector<std::unique_ptr<TrpFunctionLibrary>> rpFunctions;
extern std::vector<TrpToolsInfo> rpTools;

void rpRegisterObject(const TrpViewClass& classRef, TBitmap* buttonBmp, const std::string& buttonHint,
                      TrpObjEditorForm* editorForm);
void rpRegisterExportFilter(const TrpExportFilterClass& classRef, const std::string& filterDesc,
                            const std::string& filterExt);
// Makes one instance of the library and keeps it until the engine ends.
void rpRegisterFunctionLibrary(const TrpFunctionLibraryClass& classRef);
void rpRegisterTool(const std::string& caption, TBitmap* buttonBmp, TNotifyEvent onClick);

// An object of type 0 (text), 1 (picture), 2 (band), 3 (subreport), 4 (line) or 10 (the add-in
// whose class name equals className exactly); nullptr for other types. An unknown add-in raises
// EClassNotFound.
std::unique_ptr<TrpView> rpCreateObject(std::uint8_t typ, const std::string& className);

// Runs an object's compiled script before it prints; nothing while the engine has no interpreter.
void rpDoScript(TStrings* script);

// One report is built, printed or exported at a time. The scope marks the engine busy for its
// life; made while the engine is already busy it raises EInvalidOperation ("a report is already
// being processed", in Italian).
class TrpBusyScope {
public:
    TrpBusyScope();
    ~TrpBusyScope();
    TrpBusyScope(const TrpBusyScope&) = delete;
    TrpBusyScope& operator=(const TrpBusyScope&) = delete;
};
bool rpEngineBusy();

// --- Start and end ---

// Creates the engine's shared objects once, the progress window among them; later calls do
// nothing.
void rpInitEngine();
// Frees them; the engine may be started again afterwards.
void rpDoneEngine();
bool rpEngineStarted();
