#pragma once
// The report component a window places: its design pages, values and variables, its settings and
// events, and the entry points that load and save templates.

#include "report/RP_Pars.h"
#include "report/rpEMFPages.h"
#include "report/rpEngine.h"
#include "report/rpPages.h"
#include "report/rpValues.h"

#include "platform/gui/WinTypes.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Variants.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TBitmap;
class TDataSet;
class TStream;
class TrpBand;
class TrpDataset;
class TrpExportFilter;
class TrpPreview;

enum TrpPreviewZoom { pzDefault, pzPageWidth, pzOnePage, pzTwoPages };
enum TrpPreviewButton { pbZoom, pbLoad, pbSave, pbPrint, pbFind, pbHelp, pbExit };
using TrpPreviewButtons = TSet<TrpPreviewButton>;
enum TrpReportType { rtSimple, rtMultiple };

using TBeginDocEvent = std::function<void()>;
using TEndDocEvent = std::function<void()>;
using TBeginPageEvent = std::function<void(int pgNo)>;
using TEndPageEvent = std::function<void(int pgNo)>;
using TBeginBandEvent = std::function<void(TrpBand* Band)>;
using TEndBandEvent = std::function<void(TrpBand* Band)>;
using TDetailEvent = std::function<void(const std::string& ParName, Variant& ParValue)>;
using TEnterRectEvent = std::function<void(TStrings* Memo, TrpView* View)>;
using TProgressEvent = std::function<void(int n)>;
using TBeginColumnEvent = std::function<void(TrpBand* Band)>;
using TPrintColumnEvent = std::function<void(int ColNo, int& Width)>;
using TManualBuildEvent = std::function<void(TrpPage* Page)>;

// The expansion being worked on: the expression text and the value of the last expansion (also
// the value of the name "VALUE"), and the name being evaluated as an expression.
extern std::string CurrentExpression;
extern Variant CurrentValue;
extern std::string EvaluatingName;
// The date and the time a build started, without a time and without a date part.
extern TDateTime ReportDate;
extern TDateTime ReportTime;

// Lets the application handle its messages during a build: all of them while the progress
// window is up (its Cancel button must work), none of the user's input otherwise.
void rpProcessBuildMessages();

class TrpReport : public TComponent {
    TESS_CLASS(TrpReport, TComponent)
public:
    // Starts the engine when it has not started.
    explicit TrpReport(TComponent* AOwner);
    ~TrpReport() override;

    // --- Templates ---
    // False, with the message box "Unsupported FRF format" and one empty page, for a damaged
    // template; a version above 23 keeps the pages. A file that cannot be opened raises.
    bool LoadFromFile(const std::string& fileName);
    // Written whole to a temporary file and renamed; a template the format cannot hold raises
    // EWriteError and leaves the file as it was.
    void SaveToFile(const std::string& fileName);
    bool LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream);
    // A design object of any page by name (case ignored), nullptr when none.
    TrpView* FindObject(const std::string& name) const;

    // Loads the template in the second field (a blob) of the first record whose first field
    // equals number; false when no record has it or the template is damaged.
    bool LoadFromDB(TDataSet* dataSet, int number);
    // Writes the template into the record of that number, appended when there is none.
    void SaveToDB(TDataSet* dataSet, int number);
    // A template file with a description and a picture before the report.
    void SaveTemplate(const std::string& fileName, TStrings* description, TBitmap* picture);
    // With loadReport the report is loaded and description and picture are left alone; without,
    // only the description and the picture are read. False for a damaged file.
    bool LoadTemplate(const std::string& fileName, TStrings* description, TBitmap* picture, bool loadReport);
    // The "ReportForm" value of a form: 23, then with StoreInDFM the template's size and bytes.
    void WriteReportForm(TStream& stream);
    void ReadReportForm(TStream& stream);

    // Adds a page when there is none and becomes the current report.
    void DesignReport();

    // --- Prepared pages ---
    // Loads a prepared-report file into PreparedPages; the pages then no longer come from a build.
    // A file that cannot be opened raises EFOpenError; a damaged one EReadError, and the pages
    // stay as they were.
    void LoadPreparedReport(const std::string& fileName);
    // Written whole to a temporary file and renamed.
    void SavePreparedReport(const std::string& fileName);
    // Hands a prepared sheet to the report designer; this program installs none.
    void EditPreparedReport(int pageIndex);
    // Exports the prepared sheets into a new file through a filter of the given class, inside the
    // progress window. The file replaces an older one only when the export completed; a missing
    // folder raises EFCreateError before a filter is made, and any error leaves the old file.
    void ExportTo(const TrpExportFilterClass& filterClass, const std::string& fileName);

    // --- Building ---
    // Turns the design pages and their data into prepared sheets. False when the build failed
    // (BuildErrorText tells why; the sheets made so far stay), was cancelled, or another report
    // is being processed (nothing changes then). A data set that cannot open raises, after the
    // engine has been left clean.
    bool PrepareReport();
    // One build with the two-pass mode and the progress window.
    bool DoPrepareReport();
    // One pass over every design page, and over the records of a multiple report's data set.
    virtual void DoBuildReport();
    // Resolves the data sets the report values name.
    void PrepareDataSets();

    // --- Printer ---
    // Selects the printer of that exact name unless PrintToDefaultPrinter; "" and unknown names
    // change nothing.
    void SetPrinterTo(const std::string& printerName);
    // Selects the printer at newIndex of the engine printer's list and lays every design page on
    // its paper. On failure: the message box, the old printer again, and false.
    bool ChangePrinter(int oldIndex, int newIndex);

    // --- Printing ---
    // Prints the prepared sheets named by the page list ("1,3,5-12"; "" for all), each copies
    // times in a row, inside the progress window unless OnProgress or !ShowProgress. A list that
    // is not numbers raises EConvertError before any job starts; nothing happens without sheets
    // or while another report is being processed.
    void PrintPreparedReport(const std::string& pages, int copies);
    // The printing itself: one job per run of sheets on equal paper.
    void DoPrintReport(const std::string& pages, int copies);
    // The last page list and copies printed.
    std::string PrintPages;
    int PrintCopies = 1;

    // --- Showing ---
    // Builds the report and shows it; a failed build shows BuildErrorText and leaves no sheets.
    void ShowReport();
    // Shows the sheets in Preview, or without one in a modal preview window; nothing without
    // sheets.
    void ShowPreparedReport();

    // --- Variables ---
    // Lines not starting with a blank are categories, " name" lines their variables.
    void GetCategoryList(TStrings* list) const;
    void GetVarList(int categoryIndex, TStrings* list) const;
    // The index of the line " " + name, -1 when none.
    int FindVariable(const std::string& name) const;
    void SetVars(TStrings* vars);

    // --- Values ---
    // The start of a build that values rely on: ReportDate and ReportTime are taken from the
    // clock, this becomes the current and master report, and the engine's parser asks this
    // report's GetVariableValue and OnGetParsFunction.
    void BeginPrepare();
    // The value of a name: the host's OnGetValue, the report values, a data-set field, "VALUE",
    // the special names, the script variables, and last the name evaluated as an expression. A
    // name that comes back to itself while it is evaluated raises EParserError
    // 'Undefined symbol "NAME"'.
    void GetVariableValue(const std::string& name, Variant& value);
    // The display text of one bracketed expression, with the display format after " #" or the
    // current object's.
    void InternalOnGetValue(const std::string& expression, std::string& text);
    // The text of a value by a format code (category, variant, decimals, decimal separator from
    // the high byte down) and a format string, in the program's settings.
    std::string FormatValue(const Variant& value, std::uint32_t format, const std::string& formatText) const;
    // A function of an expression: the registered libraries, then OnUserFunction; "0" when none
    // answers.
    void OnGetParsFunction(const std::string& name, const Variant& p1, const Variant& p2, const Variant& p3,
                           std::string& val);

    // --- Hooks for the objects ---
    // Loads a bound blob field into the object, then raises OnEnterRect.
    void InternalOnEnterRect(TStrings* memo, TrpView* view);
    // Hand an object, or one text line of it at (x, y), to the running export; nothing while no
    // export runs.
    void InternalOnExportData(TrpView* view);
    void InternalOnExportText(int x, int y, const std::string& text, TrpView* view);
    // Progress of a build, print or export: OnProgress, or the progress window's label; then
    // messages are processed.
    void InternalOnProgress(int n);
    void InternalOnBeginColumn(TrpBand* band);
    void InternalOnPrintColumn(int columnNumber, int& width);

    // --- Properties ---
    TrpDataset* Dataset() const { return FDataset; }
    void SetDataset(TrpDataset* value);
    TrpPreview* Preview() const { return FPreview; }
    // The preview control; callers see its whole class, which is a component.
    template <typename TPreview>
    void SetPreview(TPreview* value)
    {
        AttachPreview(value, value);
    }
    void SetPreview(std::nullptr_t) { AttachPreview(nullptr, nullptr); }

    bool GrayedButtons = false;
    TrpPreviewZoom InitialZoom = pzDefault;
    bool ModalPreview = true;
    bool ModifyPrepared = true;
    TrpPreviewButtons PreviewButtons{pbZoom, pbLoad, pbSave, pbPrint, pbFind, pbHelp, pbExit};
    TrpReportType ReportType = rtSimple;
    bool ShowProgress = true;
    bool StoreInDFM = false;
    std::string Title;
    bool PrintToDefaultPrinter = false;
    bool TwoPass = false;
    // Set to stop a build, a print or an export.
    bool Terminated = false;
    // Set while the pass that really draws runs.
    bool FinalPass = false;
    // The design page being built.
    TrpPage* CurrentBuildPage = nullptr;
    // Set by an object that failed while the report was built, with the text that tells it.
    bool BuildFailed = false;
    std::string BuildErrorText;
    std::string FileName;

    const std::unique_ptr<TrpPages> DesignPages;
    // The prepared sheets; a preview takes the list over while it shows them.
    std::unique_ptr<TrpEMFPages> PreparedPages;
    // Set by every build: the prepared pages come from a build of this report.
    bool CanRebuild = false;
    // The filter of the export running, null otherwise.
    TrpExportFilter* ActiveExportFilter = nullptr;
    const std::unique_ptr<TStringList> VariableList;
    const std::unique_ptr<TrpValues> Values;

    // --- Events ---
    TBeginDocEvent OnBeginDoc;
    TEndDocEvent OnEndDoc;
    TBeginPageEvent OnBeginPage;
    TEndPageEvent OnEndPage;
    TBeginBandEvent OnBeginBand;
    TEndBandEvent OnEndBand;
    TDetailEvent OnGetValue;
    TEnterRectEvent OnEnterRect;
    TFunctionEvent OnUserFunction;
    TProgressEvent OnProgress;
    TBeginColumnEvent OnBeginColumn;
    TPrintColumnEvent OnPrintColumn;
    TManualBuildEvent OnManualBuild;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void AttachPreview(TrpPreview* preview, TComponent* component);
    void ShowFormatError();
    // Prints one copy of a sheet, in a new job when its paper differs from the printer's.
    void PrintSheet(int index, bool& firstPage);
    // Every design page lays itself out again on the engine printer's paper.
    void ApplyDesignPapers();
    // Runs work inside the engine's progress window, whose label starts with labelPrefix; returns
    // the window's modal result. An error of the work reaches the caller.
    int RunInProgressWindow(const std::function<void()>& work, const std::string& labelPrefix);
    void BuildPass();
    void EndBuild();
    // Reads the pages after the version byte; false after the message box.
    bool LoadPages(TStream& stream);
    // The template after its version byte, into a memory stream (a refused save raises half way).
    void SavePagesTo(TStream& stream);

    TrpDataset* FDataset = nullptr;
    TrpPreview* FPreview = nullptr;
    // The final pass ended stopped.
    bool FStopped = false;
    TComponent* FPreviewComponent = nullptr;
};
