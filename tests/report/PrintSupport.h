#pragma once
// Shared by the printing and preview tests: file printers writing into test folders, prepared
// sheets holding one text, and the command line tools that read the PDF files.

#include "ReportTestSupport.h"

#include "platform/gui/Printer.h"

#include <string>
#include <vector>

class TrpMemoView;

// One file printer (A4 and A4 only, 600 dpi) writing into folder, current in the class library's
// printer and in the engine printer.
void UseFilePrinter(const std::string& folder);
// One file printer per folder, "Stampante 1" ... ; with reselect the first one becomes current and
// the engine printer lists them again.
void UseFilePrinters(const std::vector<std::string>& folders, bool reselect = true);
// The PDF files of a folder in the order a printer wrote them ("x.pdf", "x (2).pdf", ...).
std::vector<std::string> PdfFilesIn(const fs::path& folder);
// The standard output of a shell command.
std::string RunShell(const std::string& command);
// A prepared sheet on a new design page holding one text at (x, y) in report units; the memo
// drawn is handed out when memo is given (the caller frees it).
TrpPageInfo* AddTextSheet(TrpReport& report, const std::string& text, int x = 10, int y = 20,
                          TPrinterOrientation orientation = poPortrait, bool useMargins = true,
                          TrpMemoView** memo = nullptr);

// A stand-in for the print service's "lp" on the PATH while it lives: it records its arguments
// in folder/lp-args.
class TFakeLp {
public:
    explicit TFakeLp(const std::string& folder);
    ~TFakeLp();
    TFakeLp(const TFakeLp&) = delete;
    TFakeLp& operator=(const TFakeLp&) = delete;

private:
    std::string FOldPath;
};
