#include "PrintSupport.h"

#include "report/RP_Class.h"

#include "platform/gui/PrinterDevice.h"
#include "platform/rtl/Files.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

#include <sys/stat.h>

void UseFilePrinters(const std::vector<std::string>& folders, bool reselect)
{
    TPrinterCatalogue catalogue;
    catalogue.VirtualWhenEmpty = false;
    int number = 1;
    for (const std::string& folder : folders) {
        TPrinterInfo info;
        info.Name = "Stampante " + std::to_string(number++);
        info.Kind = TPrinterKind::File;
        info.Resolution = 600;
        info.Papers = {DMPAPER_A4};
        info.OutputFolder = folder;
        catalogue.Printers.push_back(info);
    }
    SetPrinterCatalogue(catalogue);
    if (!reselect)
        return;
    // A fresh printer object reads the new printers' output folders.
    SetPrinter(std::make_unique<TPrinter>());
    Printer()->SetPrinterIndex(0);
    rpPrinter()->SetPrinter(Printer());
}

void UseFilePrinter(const std::string& folder) { UseFilePrinters({folder}); }

std::vector<std::string> PdfFilesIn(const fs::path& folder)
{
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".pdf")
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return files;
}

std::string RunShell(const std::string& command)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return output;
    std::array<char, 4096> buffer{};
    size_t n = 0;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        output.append(buffer.data(), n);
    pclose(pipe);
    return output;
}

TrpPageInfo* AddTextSheet(TrpReport& report, const std::string& text, int x, int y, TPrinterOrientation orientation,
                          bool useMargins, TrpMemoView** memo)
{
    TrpPage* page = report.DesignPages->Add();
    page->ChangePaper(9, 0, 0, orientation);
    page->UseMargins = useMargins ? -1 : 0;
    report.PreparedPages->Add(page);
    TrpPageInfo* sheet = report.PreparedPages->Pages(report.PreparedPages->Count() - 1);
    auto* view = new TrpMemoView;
    view->SetBounds(x, y, 300, 20);
    view->Memo->Add(text);
    PutPreparedObject(*sheet, *view);
    if (memo)
        *memo = view;
    else
        delete view;
    return sheet;
}

TFakeLp::TFakeLp(const std::string& folder) : FOldPath(getenv("PATH") ? getenv("PATH") : "")
{
    const std::string script = folder + "/lp";
    const std::string body = "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + folder + "/lp-args'\n";
    WriteFileAtomically(script, body);
    chmod(script.c_str(), 0755);
    setenv("PATH", (folder + ":" + FOldPath).c_str(), 1);
}

TFakeLp::~TFakeLp() { setenv("PATH", FOldPath.c_str(), 1); }
