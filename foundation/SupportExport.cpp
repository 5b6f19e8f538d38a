#include "foundation/SupportExport.h"

#include "foundation/SupportFiles.h"
#include "foundation/SupportForm.h"
#include "platform/db/DB.h"
#include "platform/gui/CommonDialogs.h"
#include "platform/gui/Font.h"
#include "platform/gui/PrintDialogs.h"
#include "platform/os/Libraries.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/TextUtils.h"
#include "reportexport/Tabulino/TabulinoApi.h"

#include <memory>
#include <vector>

namespace {

TScrittoriEsportazione& Scrittori()
{
    static TScrittoriEsportazione scrittori;
    return scrittori;
}

template <class TScrittore>
const TScrittore& Installato(const TScrittore& scrittore)
{
    if (!scrittore)
        throw EInvalidOperation(MessaggioFunzioneNonDisponibile);
    return scrittore;
}

// The chosen file, "" when the person cancelled.
std::string ChiediFile(const std::string& estensione, const std::string& filtro)
{
    auto dialogo = std::make_unique<TSaveDialog>(nullptr);
    dialogo->SetDefaultExt(estensione);
    dialogo->Filter = filtro;
    return dialogo->Execute() ? dialogo->FileName : std::string();
}

// The font descriptor of the library: name, size, then the styles each followed by a comma.
std::string DescrittoreFont(bool grassetto)
{
    TFont font;
    if (grassetto)
        font.SetStyle(font.Style() + TFontStyles{fsBold});
    std::string descrittore = font.Name() + "," + std::to_string(font.Size()) + ",";
    if (font.Style().Contains(fsBold))
        descrittore += "Bold,";
    if (font.Style().Contains(fsItalic))
        descrittore += "Italic,";
    if (font.Style().Contains(fsUnderline))
        descrittore += "Underline,";
    return descrittore;
}

// The library, loaded for one export and released on every path; its six functions are looked
// up before anything is written, so a missing one never leaves a half-made workbook.
class TLibreriaTabulino {
public:
    TLibreriaTabulino()
    {
        FModulo = LoadLibraryA((SottocartellaApplicazione("Libs") + "Tabulino.dll").c_str());
        if (!FModulo)
            throw Exception("Impossibile trovare la libreria di esportazione.\n"
                            "Libreria 'Tabulino.dll' non trovata");
        try {
            XlsInit = Funzione<TTabulinoXlsInit>("_XlsInit");
            AddStringCell = Funzione<TTabulinoAddStringCell>("_AddStringCell");
            AddIntegerCell = Funzione<TTabulinoAddIntegerCell>("_AddIntegerCell");
            AddDoubleCell = Funzione<TTabulinoAddDoubleCell>("_AddDoubleCell");
            SaveToFile = Funzione<TTabulinoSaveToFile>("_SaveToFile");
            XlsDeinit = Funzione<TTabulinoXlsDeinit>("_XlsDeinit");
        } catch (...) {
            FreeLibrary(FModulo);
            throw;
        }
    }
    ~TLibreriaTabulino() { FreeLibrary(FModulo); }
    TLibreriaTabulino(const TLibreriaTabulino&) = delete;
    TLibreriaTabulino& operator=(const TLibreriaTabulino&) = delete;

    TTabulinoXlsInit XlsInit = nullptr;
    TTabulinoAddStringCell AddStringCell = nullptr;
    TTabulinoAddIntegerCell AddIntegerCell = nullptr;
    TTabulinoAddDoubleCell AddDoubleCell = nullptr;
    TTabulinoSaveToFile SaveToFile = nullptr;
    TTabulinoXlsDeinit XlsDeinit = nullptr;

private:
    template <class TFunzione>
    TFunzione Funzione(const char* nome)
    {
        FARPROC indirizzo = GetProcAddress(FModulo, nome);
        if (!indirizzo)
            throw Exception(std::string("Impossibile trovare la funzione di esportazione.\n") +
                            "Funzione '" + (nome + 1) + "' non trovata");
        return reinterpret_cast<TFunzione>(indirizzo);
    }

    HMODULE FModulo = nullptr;
};

const char* const BordiIntestazione = "BorderLeft,BorderRight,BorderTop,BorderBottom,Shaded";
const char* const BordiCorpo = "BorderLeft,BorderRight,BorderTop,BorderBottom";

void ScriviCella(TLibreriaTabulino& libreria, int riga, int colonna, TField* campo,
                 const std::string& font)
{
    switch (campo->DataType()) {
    case ftString:
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftMemo:
        libreria.AddStringCell(riga, colonna, BordiCorpo, font.c_str(), 0, campo->AsString().c_str());
        break;
    case ftBoolean:
        libreria.AddStringCell(riga, colonna, BordiCorpo, font.c_str(), 0,
                               campo->AsBoolean() ? "True" : "False");
        break;
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
        libreria.AddIntegerCell(riga, colonna, BordiCorpo, font.c_str(), 0, campo->AsInteger());
        break;
    case ftFloat:
    case ftCurrency:
        libreria.AddDoubleCell(riga, colonna, BordiCorpo, font.c_str(), -1, campo->AsFloat());
        break;
    default:
        // Binary, large objects and fixed-point numbers leave the column empty.
        break;
    }
}

// Writes the rows; the caller puts the data set back on its record.
int ScriviFoglio(TDataSet* dati, const std::string& percorso)
{
    const TDateTime inizio = Now();
    TLibreriaTabulino libreria;
    libreria.XlsInit(percorso.c_str());
    const std::string grassetto = DescrittoreFont(true);
    const std::string normale = DescrittoreFont(false);
    TFieldDefs& definizioni = dati->FieldDefs();
    for (int i = 0; i < definizioni.Count(); ++i)
        libreria.AddStringCell(1, i + 1, BordiIntestazione, grassetto.c_str(), 0,
                               definizioni.Items(i)->Name().c_str());
    int righe = 0;
    try {
        std::vector<TField*> campi;
        for (int i = 0; i < definizioni.Count(); ++i)
            campi.push_back(dati->FieldByName(definizioni.Items(i)->Name()));
        dati->First();
        while (!dati->Eof()) {
            ++righe;
            for (std::size_t i = 0; i < campi.size(); ++i)
                ScriviCella(libreria, righe + 1, static_cast<int>(i) + 1, campi[i], normale);
            dati->Next();
        }
        libreria.SaveToFile(percorso.c_str());
    } catch (...) {
        libreria.XlsDeinit();
        throw;
    }
    libreria.XlsDeinit();
    // The library reports nothing: only the file itself shows that the save happened.
    TDateTime scritto = 0;
    const double dueSecondi = 2.0 / SecsPerDay;
    if (!FileAge(percorso, scritto) || scritto < inizio - dueSecondi)
        throw Exception("Impossibile salvare il file '" + percorso + "'.");
    return righe;
}

} // namespace

void ImpostaScrittoriEsportazione(TScrittoriEsportazione scrittori)
{
    Scrittori() = std::move(scrittori);
}

void SalvaComeXls(TDataSet* dati)
{
    const std::string file = ChiediFile("XLS", "File Excel (*.xls)|*.XLS|Tutti i file (*.*)|*.*");
    if (!file.empty())
        EsportaXls(dati, file);
}

int EsportaXls(TDataSet* dati, const std::string& percorso)
{
    // A sheet holds 65,535 rows: later records would be written over earlier ones.
    if (dati->RecordCount() > MassimoRigheXls)
        throw Exception("Impossibile esportare pi\xF9 di 65534 righe in un foglio di calcolo.");
    TBookmark segno = dati->GetBookmark();
    auto torna = [&] {
        if (!segno.empty() && dati->BookmarkValid(segno))
            dati->GotoBookmark(segno);
        dati->FreeBookmark(segno);
    };
    int righe = 0;
    try {
        righe = ScriviFoglio(dati, percorso);
    } catch (...) {
        torna();
        throw;
    }
    torna();
    return righe;
}

std::string SalvaComeHtml(TDataSet* dati)
{
    const std::string file =
        ChiediFile("HTML", "File HTML (*.html)|*.HTML;*.HTM;|Tutti i file (*.*)|*.*");
    if (!file.empty())
        Installato(Scrittori().SalvaHtml)(dati, file);
    return file;
}

void SalvaComeCsv(TDataSet* dati, const std::string& fileInterfaccia)
{
    const std::string file = ChiediFile("CSV", "File CSV (*.csv)|*.CSV|Tutti i file (*.*)|*.*");
    if (!file.empty())
        Installato(Scrittori().EsportaCSV)(dati, fileInterfaccia, file);
}

void SalvaComeCsvPredefinito(TDataSet* dati)
{
    SalvaComeCsv(dati, "");
}

void EsportaGriglia(TCustomDBGrid* griglia, const std::string& titolo, const std::string& formato)
{
    const std::string tipo = UpperCase(formato);
    if (tipo == "PRINTER") {
        auto dialogo = std::make_unique<TPrintDialog>(nullptr);
        if (dialogo->Execute())
            Installato(Scrittori().StampaGriglia)(griglia, titolo, tipo, "");
        return;
    }
    const std::string file = ChiediFile(
        formato, "File " + formato + " (*." + formato + ")|*." + formato + ";|Tutti i file (*.*)|*.*");
    if (file.empty())
        return;
    if (tipo == "TXT" || tipo == "HTML" || tipo == "RTF" || tipo == "CSV")
        Installato(Scrittori().StampaGriglia)(griglia, titolo, tipo, file);
}
