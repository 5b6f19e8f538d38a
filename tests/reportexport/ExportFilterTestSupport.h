#pragma once
// What the tests of the text-based export filters share: the report engine started once, text
// and picture objects to hand to the filters, prepared pages put together in code, and the real
// readers the exported files are checked with.

#include "reportexport/RP_E_TXT.h"

#include "report/RP_Class.h"

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace ExportFilterTestSupport {

namespace fs = std::filesystem;

// The application, message boxes answered OK and the engine with only its virtual printer;
// started on first use and stopped at the end of the program.
void StartEngine();

// A text object in the given font; style is the engine's code (1 italic, 2 bold, 4 underline).
std::unique_ptr<TrpMemoView> MakeMemo(const std::string& fontName = "Arial", int size = 10, int style = 0,
                                      TColor color = clBlack);

// A filter of the class over a memory stream, and what it wrote.
class TFilterRun {
public:
    explicit TFilterRun(const TrpExportFilterClass& filterClass);
    TrpExportFilter& Filter() { return *FFilter; }
    void Text(int x, int y, const std::string& text, TrpView* view) { FFilter->OnText(x, y, text, view); }
    // Ends the document (OnEndDoc) and gives every byte written.
    std::string Finish();
    // The bytes written so far.
    std::string Written();

private:
    std::unique_ptr<TMemoryStream> FStream;
    std::unique_ptr<TrpExportFilter> FFilter;
};

// Appends the object's prepared record (its Memo as the text) to the sheet, as a build does.
void PutPreparedObject(TrpPageInfo& sheet, TrpView& view);
// A report with count empty sheets of the sample size.
void AddSheets(TrpReport& report, int count);

// The names in a folder, and the bytes of a file.
std::set<std::string> Listing(const fs::path& folder);
std::string ReadAll(const fs::path& file);

// The lines a reader finds in a file, each as its non-empty pieces in UTF-8.
using TReadLines = std::vector<std::vector<std::string>>;

// Each runs the real reader through a small python3 script and fails the test when the reader
// complains. The file is read in the encoding given to the reader ("latin-1" takes any byte).
TReadLines ReadCsv(const fs::path& file, const std::string& encoding = "cp1252");
TReadLines ReadHtml(const fs::path& file, const std::string& encoding = "cp1252");
TReadLines ReadRtf(const fs::path& file);
TReadLines ReadXls(const fs::path& file, const std::string& encoding = "cp1252");
// Everything the RTF and HTML readers say besides the lines.
void ExpectBalancedRtfBraces(const fs::path& file);
void ExpectXmllintSilent(const fs::path& file);
// The pieces unrtf --html shows underlined.
std::vector<std::string> RtfUnderlinedPieces(const fs::path& file);

} // namespace ExportFilterTestSupport
