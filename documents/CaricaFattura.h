#pragma once
// Document types and series, the names and files of stored documents, and the yearly register
// of each series with its numbering. TArchivioDocumenti holds the state and the operations that
// the archive window, the wizard, the lists and the main window share; they reach it through
// ArchivioDocumenti().

#include "platform/rtl/DateTime.h"

#include <functional>
#include <memory>
#include <string>

class TDataSet;
class TMemoryStream;

// The type code ("FT.FT", "FT.AC", "FT.NA", "PV.PV" or "DT.DT") of a type name; the name is
// upper-cased first and every unknown name gives "FT.FT".
std::string CodiceTipologia(const std::string& nome);
// The display name of a Tipologia ("FT", "AC", "NA", "PV", "DT", any letter case); "" otherwise.
std::string DescrizioneTipologia(const std::string& tipologia);
// prefisso + numero + ("." + modificatore) + " - " + name + " (" + d-m-yyyy + ")", without
// extension. The characters \ / : * ? " < > and control bytes are left out of the name, so that
// the name is always one plain file name.
std::string NomeFileDocumento(const std::string& prefisso, int numero,
                              const std::string& modificatore, const std::string& denominazione,
                              TDateTime data);

// The amounts of one register row, each rounded to the current decimals; the sums are taken
// over the rounded values.
struct ImportiDocumento {
    double ImportoScontato = 0;
    double ScontoTotale = 0;
    double ImportoTotale = 0; // before the line discounts
    double Contributi = 0;
    double IvaTotale = 0;
    double RitenutaTotale = 0;
    double RitenutaEnasarcoTotale = 0;
    double ImportoComplessivo = 0; // the total to pay
};
// Reads the current row of a register data set.
void LeggiImportiDocumento(TDataSet& dati, ImportiDocumento& importi);

// Positions the data module's TabellaAltroFatture on the row of the four values (the date
// compared as a date); true when found.
bool CercaAltroFattura(const std::string& tipologia, int numero, const std::string& modificatore,
                       TDateTime data);

class TArchivioDocumenti {
public:
    // The current type name, always upper-cased.
    std::string TipoDocumentoCorrente;
    // The current year as typed or chosen.
    std::string AnnoCorrente;

    // Stores the upper-cased name as the current type; the type code.
    std::string ImpostaTipoDocumento(const std::string& nome);
    // Stores the upper-cased display name of a Tipologia as the current type and returns it.
    std::string ImpostaTipoDaTipologia(const std::string& tipologia);
    // Makes the name current; the series ("FT", "PV" or "DT").
    std::string TabellaDocumento(const std::string& nome);
    std::string NomeFileFattura(int numero, const std::string& modificatore,
                                const std::string& denominazione, TDateTime data);
    // The folder of the current series, with a trailing backslash.
    std::string CartellaSerie();
    // The full path of a document file of the current series.
    std::string PercorsoFattura(int numero, const std::string& modificatore,
                                const std::string& denominazione, TDateTime data);

    // Writes the two current-document tables as the document file of the current series.
    // False after a reported failure; a previous file of that name is then unchanged.
    bool SalvaFattura(int anno, int mese, const std::string& denominazione,
                      const std::string& modificatore, int numero, int giorno);
    // Loads a document file (name without folder and extension) of the current series into the
    // two current-document tables. On false both tables are as they were.
    bool CaricaFattura(const std::string& nomeFile);
    // Loads by number and writes that number into the header; empty lines are dropped.
    bool CaricaFattura(int numero, const std::string& modificatore, TDateTime data,
                       const std::string& denominazione);
    // Loads by number, then raises OnMostraDocumento, or OnMostraDocumentoVuoto on failure.
    bool CaricaAnteprimaFattura(int numero, const std::string& modificatore, TDateTime data,
                                const std::string& denominazione);
    // Deletes the lines whose Nome, Descrizione, Quantita, Misura and Prezzo are all empty.
    void EliminaRecordArticoliVuoti();

    // Loads the register of the current series and that year into TabellaFatture, sorted on
    // Fattura; a missing file gives an empty register. A year that is not a whole number raises
    // EConvertError before anything changes.
    void CaricaElencoFatture(const std::string& anno);
    // Stores the year, loads its register and answers the highest number + 1 (1 when empty).
    int ProssimoNumeroFattura(const std::string& anno);
    // Positions TabellaFatture on the row; false with the position unchanged when not found.
    bool SelezionaFattura(int numero, const std::string& modificatore);
    // Writes the table as the register of the current series and that year.
    void SalvaElencoFatture(TDataSet* tabella, int anno);
    void SalvaElencoFatture(int anno);
    // Deletes the document file of the register row, when the row exists.
    void EliminaFilesFattura(int numero, const std::string& modificatore);
    // Deletes a document and its row, optionally renumbering the later documents of the same
    // modifier, and saves the register. True when the document was deleted; on false the
    // register and the files are as they were.
    bool EliminaFattura(int numero, const std::string& modificatore, bool rinumera);

    // Takes in a document handed over by another program: the text names its lines file, "%$%"
    // and its header file (all of it may stand in double quotes, a doubled quote standing for
    // one). When another window than the main one is active, says so in a box and does nothing.
    // Otherwise both files are read and checked before anything changes; the document then becomes
    // the current one, with no modifier and the next number of its series and year, is stored as
    // a document file with its register row, loaded back and shown. A request that cannot be
    // taken raises a clear error with nothing changed; a document file that cannot be written is
    // reported and leaves the register as it was.
    void ImportaFatturaEsterna(const std::string& testo);

    // Installed by the main window.
    std::function<void(int numero, const std::string& modificatore,
                       const std::string& denominazione, TDateTime data)>
        OnMostraDocumento;
    std::function<void()> OnMostraDocumentoVuoto;

private:
    std::string FileRegistro(int anno);
};

// A copy of the register in memory (TabellaFatture), put back when an operation that changed it
// cannot be completed.
class TCopiaRegistro {
public:
    TCopiaRegistro();
    ~TCopiaRegistro();
    TCopiaRegistro(const TCopiaRegistro&) = delete;
    TCopiaRegistro& operator=(const TCopiaRegistro&) = delete;
    // Never throws: the failure that made the caller put it back is the one to report.
    void Ripristina() noexcept;

private:
    std::unique_ptr<TMemoryStream> FCopia;
};

// True when the line's Nome, Descrizione, Quantita, Misura and Prezzo all read as empty text (a
// null number is empty, a zero is not).
bool RigaArticoloVuota(TDataSet& righe);

// The program-wide instance; it works on the data module's tables.
TArchivioDocumenti& ArchivioDocumenti();

// The year of a year text: trimmed, a whole number from 1 to 9999; EConvertError otherwise.
int AnnoDaTesto(const std::string& anno);
