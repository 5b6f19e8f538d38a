#include "report/rpResources.h"

#include "report/RP_Prntr.h"

#include "platform/gui/PrinterDevice.h"

#include <algorithm>
#include <iterator>

namespace rpResources {
namespace {

struct TrpStringEntry {
    int Id;
    const char* Text;
};

// Sorted by id. Ids with no entry have no text.
const TrpStringEntry StringTable[] = {
    // Search dialog
    {53000, "Trova testo"},
    {53001, "Testo da &trovare"},
    {53002, "Opzioni"},
    {53003, "&Maiuscole/minuscole"},
    {53004, "Origine"},
    {53005, "&Prima pagina"},
    {53006, "Pag. &corrente"},
    // Preview
    {53020, "&Larghezza pagina"},
    {53021, "Pagina &intera"},
    {53022, "&Due pagine"},
    {53023, "Chiudi anteprima"},
    {53024, "Scala"},
    {53025, "Apri report"},
    {53026, "Salva report"},
    {53027, "Stampa report"},
    {53028, "Trova testo"},
    {53029, "Modifica pagina"},
    {53030, "Aggiungi pagina"},
    {53031, "Elimina pagina"},
    {53032, "Guida"},
    // Print dialog
    {53040, "Stampa"},
    {53041, "Stampante"},
    {53042, "Propriet\xE0"},
    {53043, "&Copie:"},
    {53044, "P&agine:"},
    {53045, "&Tutte"},
    {53046, "Pagina corr&ente"},
    {53047, "&Numeri:"},
    {53048, "Immettere i numeri di pagina e/o gli intervalli di pagina separati da virgole. Es.: 1,3,5-12 "},
    // Format editor
    {53420, "Formato di visualizzazione"},
    {53421, "Formato"},
    {53422, "&Decimali:"},
    {53423, "&Separatore:"},
    {53424, "Formato &personalizzato:"},
    // Variable and field choosers
    {53440, "Variabili"},
    {53441, "&Categoria:"},
    {53450, "Campi"},
    {53451, "&Dataset:"},
    // Report objects' dialogs
    {53620, "Forma"},
    {53621, "Tipo di forma"},
    {53650, "Codice a barre"},
    {53651, "Codice"},
    {53652, "Tipo"},
    {53653, "Opzioni"},
    {53654, "Cifra di controllo"},
    {53655, "Mostra il testo"},
    {53656, "Inserisci un campo"},
    {53657, "Inserisci una variabile"},
    {53658, "Orientamento"},
    {55000, "OK"},
    {55001, "Annulla"},
    {55004, "Pagina"},
    // Band names
    {55075, "Valori speciali"},
    {55077, "Titolo report"},
    {55078, "Sommario report"},
    {55079, "Intestaz. pagina"},
    {55080, "Piede pagina"},
    {55081, "Intestaz. master"},
    {55082, "Dati master"},
    {55083, "Piede master"},
    {55084, "Intestaz. dettaglio"},
    {55085, "Dati dettaglio"},
    {55086, "Piede dettaglio"},
    {55087, "Intestaz. sub-dettaglio"},
    {55088, "Dati sub-dettaglio"},
    {55089, "Piede sub-dettaglio"},
    {55090, "Pagina"},
    {55091, "Intestaz. colonna"},
    {55092, "Piede colonna"},
    {55093, "Intestaz. gruppo"},
    {55094, "Piede gruppo"},
    {55095, "Intestaz. crosstab"},
    {55096, "Dati crosstab"},
    {55097, "Piede crosstab"},
    {55098, "Nessuno"},
    // Format categories and their sub-formats
    {55130, "Testo"},
    {55131, "Numero"},
    {55132, "Data"},
    {55133, "Ora"},
    {55134, "Logico"},
    {55150, "[Nessuno]"},
    {55155, "1234,5"},
    {55156, "1234,50"},
    {55157, "1 234,5"},
    {55158, "1 234,50"},
    {55159, "Personalizzato"},
    {55160, "15/11/98"},
    {55161, "15/11/1998"},
    {55162, "15 nov 1998"},
    {55163, "15 novembre 1998"},
    {55164, "Personalizzato"},
    {55165, "02:43:35"},
    {55166, "2:43:35"},
    {55167, "02:43"},
    {55168, "2:43"},
    {55169, "Personalizzato"},
    {55170, "0;1"},
    {55171, "No;Si"},
    {55172, "_;x"},
    {55173, "Falso;Vero"},
    {55174, "Personalizzato"},
    {55175, "dd/mm/yy"},
    {55176, "dd/mm/yyyy"},
    {55177, "d mmm yyyy"},
    {55178, "d mmmm yyyy"},
    {55179, "hh:nn:ss"},
    {55180, "h:nn:ss"},
    {55181, "hh:nn"},
    {55182, "h:nn"},
    // Designer popup entries
    {55190, "Adatta altezza"},
    {55191, "A capo"},
    {55192, "Sillabazione"},
    {55193, "Larghezza automatica"},
    {55194, "Centra"},
    {55195, "Mantieni proporzioni"},
    {55196, "Nuova pagina dopo"},
    {55197, "Stampa anche se vuoto"},
    {55198, "Divisibile"},
    // Building, printing and messages
    {55199, "from"},
    {55200, "Si \xE8 verificato un errore durante i calcoli"},
    {55203, "Preparazione report"},
    {55204, "Esecuzione primo passaggio:"},
    {55205, "Elaborazione pagina:"},
    {55206, "Errore"},
    {55207, "Anteprima"},
    {55208, "Stampa pagina:"},
    {55209, "Senza titolo"},
    {55210, "La stampante selezionata non \xE8 valida"},
    {55211, "File di report"},
    {55212, "File di testo"},
    {55217, "File RTF (Rich Text Format)"},
    {55223, "Casella di spunta"},
    {55225, "Forma"},
    {55226, "Sottoreport"},
    {55227, "Immagine"},
    {55230, "Sulla prima pagina"},
    {55231, "Sull'ultima pagina"},
    {55232, "Ripeti su ogni pagina"},
    {55309, "Rettangolo"},
    {55310, "Rettangolo arrotondato"},
    {55311, "Ellisse"},
    {55312, "Triangolo"},
    {55334, "Formato..."},
    {55335, "Carattere..."},
    {55337, "0"},
    {55338, "Codice a barre"},
    {55339, "Errore nel codice a barre"},
    {55342, "Variabili dello script"},
    {55345, "Unsupported FRF format"},
};

constexpr int FirstPaperNameId = 55008;

} // namespace
} // namespace rpResources

std::string rpLoadStr(int id)
{
    using namespace rpResources;
    const int paper = id - FirstPaperNameId;
    if (paper >= 0 && paper < rpPaperCount)
        return PaperName(rpPaperTable[paper].Id);
    const auto found = std::lower_bound(std::begin(StringTable), std::end(StringTable), id,
                                        [](const TrpStringEntry& entry, int value) { return entry.Id < value; });
    if (found != std::end(StringTable) && found->Id == id)
        return found->Text;
    return {};
}
