#pragma once
// The export commands of the table windows: each asks for a file (or a printer) and hands the data
// set or the grid to its writer. The spreadsheet goes through the library Libs\Tabulino.dll; the
// HTML and CSV writers and the grid print engine live above this folder and are installed at
// start-up. Without them the command raises EInvalidOperation after its dialog, writing nothing.

#include <functional>
#include <string>

class TCustomDBGrid;
class TDataSet;

struct TScrittoriEsportazione {
    std::function<void(TDataSet* dati, const std::string& fileInterfaccia, const std::string& fileUscita)>
        EsportaCSV;
    std::function<void(TDataSet* dati, const std::string& fileUscita)> SalvaHtml;
    // formato is "PRINTER", "TXT", "HTML", "RTF" or "CSV"; fileUscita is empty for "PRINTER": the
    // engine prints on the printer chosen in the print dialog just shown.
    std::function<void(TCustomDBGrid* griglia, const std::string& titolo, const std::string& formato,
                       const std::string& fileUscita)>
        StampaGriglia;
};
void ImpostaScrittoriEsportazione(TScrittoriEsportazione scrittori);

// Save dialog, then EsportaXls to the chosen file.
void SalvaComeXls(TDataSet* dati);
// Writes every record as a spreadsheet row below a header row of field names; returns the number
// of records written. The data set ends on the record it was on.
int EsportaXls(TDataSet* dati, const std::string& percorso);
// Save dialog, then the HTML writer; the chosen name, "" when cancelled.
std::string SalvaComeHtml(TDataSet* dati);
// Save dialog, then the CSV writer with the interface file ("" for its default settings).
void SalvaComeCsv(TDataSet* dati, const std::string& fileInterfaccia);
void SalvaComeCsvPredefinito(TDataSet* dati);
// The print dialog for "PRINTER" (any case), otherwise a save dialog for the format; then the grid
// through the print engine. A format other than TXT, HTML, RTF and CSV writes nothing.
void EsportaGriglia(TCustomDBGrid* griglia, const std::string& titolo, const std::string& formato);

// The largest number of records one sheet holds below its header row.
inline constexpr int MassimoRigheXls = 65534;
