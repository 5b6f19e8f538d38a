// The program entry. Until the program's windows exist it only checks that its data folder lies
// beside it, registers the zip and unzip engines, initializes the application, starts and ends the
// report engine and the report export library, and exits.

#include "archive/ZipCore.h"
#include "report/rpEngine.h"
#include "reportexport/ReportExportInit.h"

#include "platform/gui/Application.h"
#include "platform/rtl/Codepage.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/System.h"

#include <cstdio>

int main(int argc, char** argv)
{
    SetCommandLine(argc, argv);
    const std::string dataFolder = ExtractFilePath(ParamStr(0)) + "Shared";
    if (!DirectoryExists(dataFolder)) {
        std::fprintf(stderr, "%s\n", AnsiToUtf8("Cartella dei dati mancante: " + dataFolder).c_str());
        return 1;
    }
    // The Windows installation put the zip and unzip libraries beside the program.
    RegisterZipCoreModules();
    // The report export library's dialogs measure their fonts.
    Application->Initialize();
    rpInitEngine();
    InitReportExport();
    DoneReportExport();
    rpDoneEngine();
    return 0;
}
