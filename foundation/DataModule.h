#pragma once
// The program's one data module: every table of the system, the binary format every table file
// is written and read with, the data folder, the print context, the list of units and the two
// registered message numbers. Constructing it opens the settings store and fixes the data
// folder; DCCreate asks the upgrade question and loads the stored tables.

#include "platform/rtl/Classes.h"
#include "platform/rtl/Lists.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class TDataSet;
class TDataSource;
class TzelMemTable;
class TzelCustomStreamFormat;
class TzelBinaryStreamFormat;
class TzelCSVStreamFormat;
class TContesto;
class TFormExceptMessage;
class TrpDBDataSet;

// The progress window, as the data module drives it; the main window installs it.
class TAvanzamento {
public:
    virtual ~TAvanzamento() = default;
    virtual void Mostra(const std::string& titolo, const std::string& messaggio) = 0;
    virtual void Aggiorna(const std::string& messaggio, int posizione, int massimo) = 0;
    virtual void Chiudi() = 0;
};

class TDC : public TDataModule {
    TESS_CLASS(TDC, TDataModule)
public:
    // Reads the command line through ParamCount/ParamStr.
    explicit TDC(TComponent* owner);
    // The command line without the program name.
    TDC(TComponent* owner, const std::vector<std::string>& argomenti);
    // Frees the components and the error report entry and clears DC. Saves nothing.
    ~TDC() override;

    // The creation handler (OnCreate): the upgrade question and the load of the stored tables.
    void DCCreate(TObject* sender);

    // --- Tables (owned as components) ---
    TzelMemTable* TabellaArticoliInFattura = nullptr;
    TzelMemTable* TabellaClienteInFattura = nullptr;
    TzelMemTable* TabellaStampaArticoli = nullptr;
    TzelMemTable* TabellaAppunti = nullptr;
    TzelMemTable* TabellaDitta = nullptr;
    TzelMemTable* TabellaContributi = nullptr;
    TzelMemTable* TabellaAliquoteIva = nullptr;
    TzelMemTable* TabellaUnitaMisura = nullptr;
    TzelMemTable* TabellaAltroFatture = nullptr;
    TzelMemTable* TabellaArticoli = nullptr;
    TzelMemTable* TabellaClienti = nullptr;
    TzelMemTable* TabellaFatture = nullptr;
    TzelMemTable* TabellaFattureReport = nullptr;
    TzelMemTable* TabellaFattureFiltrate = nullptr;
    TzelMemTable* TabellaDocumenti = nullptr;
    TzelMemTable* TabellaMastrino = nullptr;
    TzelMemTable* TabellaRiepilogo = nullptr;
    TzelMemTable* TabellaRiepilogoIva = nullptr;
    TzelMemTable* TabellaRiepilogoContributi = nullptr;
    TzelMemTable* TabellaDettaglioCalcolo = nullptr;

    // --- Formats ---
    TzelBinaryStreamFormat* SaveFormat = nullptr;
    // Unused by the program: no quote character, ';' for both delimiters, no definitions.
    TzelCSVStreamFormat* SaveCsvFormat = nullptr;

    // --- Data sources ---
    TDataSource* SourceArticoliInFattura = nullptr;
    TDataSource* SourceClienti = nullptr;
    TDataSource* SourceArticoli = nullptr;
    TDataSource* SourceFatture = nullptr;
    TDataSource* SourceClienteInFattura = nullptr;
    TDataSource* SourceDitta = nullptr;
    TDataSource* SourceFattureReport = nullptr;
    TDataSource* SourceFattureFiltrate = nullptr;
    TDataSource* SourceStampaArticoli = nullptr;
    TDataSource* SourceContributi = nullptr;
    TDataSource* SourceMastrino = nullptr;
    TDataSource* SourceRiepilogo = nullptr;
    TDataSource* SourceDocumenti = nullptr;
    TDataSource* SourceAliquoteIva = nullptr;
    TDataSource* SourceDettaglioCalcolo = nullptr;

    // --- Report data sets, under the names stored templates give their bands ---
    TrpDBDataSet* ReportDocumenti = nullptr;
    TrpDBDataSet* ReportMastrini = nullptr;
    TrpDBDataSet* ReportArticoli = nullptr;
    TrpDBDataSet* ReportClienti = nullptr;
    TrpDBDataSet* ReportSourceDocumenti = nullptr;
    TrpDBDataSet* ReportArticoliInFattura = nullptr;
    TrpDBDataSet* ReportDitta = nullptr;
    TrpDBDataSet* ReportClienteInFattura = nullptr;
    TrpDBDataSet* ReportDettaglioCalcolo = nullptr;

    // --- Run-time members ---
    uint32_t MsgApriFattura = 0;
    uint32_t MsgAggiornaTabella = 0;
    // True when the user declined the upgrade: nothing was loaded and no table is saved.
    bool ModalitaProvvisoria = false;
    std::unique_ptr<TStringList> CampiClienteInFattura;
    std::unique_ptr<TStringList> CampiArticoliInFattura;
    // The data root; always ends with a separator.
    std::string PercorsoDati;
    std::unique_ptr<TContesto> ContestoStampa;
    // Null until first filled.
    std::unique_ptr<TStringList> ElencoUnita;

    // PercorsoDati + cartella + "\" + nome + "." + estensione. Acts only on a table of class
    // exactly TzelMemTable. A missing file leaves the table as it was; a non-blank sort text sorts
    // the table in any case. A failed load leaves the table empty with the definitions it had,
    // marks it as "load failed" and raises; a failed sort raises with the rows kept.
    void CaricaTabella(TDataSet* t, const std::string& cartella, const std::string& nome);
    void CaricaTabella(TDataSet* t, const std::string& cartella, const std::string& ordinamento,
                       const std::string& nome);
    void CaricaTabella(TDataSet* t, const std::string& cartella, const std::string& estensione,
                       const std::string& ordinamento, const std::string& nome);
    // Writes PercorsoDati + cartella + "\" + nome + ".DAT" atomically when salva is 1, the table
    // is exactly a TzelMemTable and the provisional mode is off. The folder is created one level
    // deep. A table whose load failed first keeps the file it could not read under
    // name + ".danneggiato" (then "2", "3", ...).
    void SalvaTabella(TDataSet* t, const std::string& cartella, const std::string& nome,
                      int salva = 1);
    void LoadTabellaArticoli();
    void LoadTabellaClienti();
    void CaricaElencoUnita();
    void AggiornaElencoUnita();
    void TabellaFattureFiltrateCalcFields(TDataSet* dataSet);
    // Copies the user fields ("CstTs_..." of the source that the destination also has).
    void CopiaCampiAggiuntivi(TDataSet* sorgente, TDataSet* destinazione);
    bool VersioneDatabaseObsoleta();
    static int VersioneInNumero(const std::string& versione);
    // -1, 0 or 1, comparing the dot-separated parts as numbers, then their suffixes.
    static int ConfrontaVersioni(const std::string& a, const std::string& b);
    // The place named by the last TESSELLARIUM_USBPEN: argument; "Disco" by default.
    static std::string LuogoUsbPen(const std::vector<std::string>& argomenti);
    // Brings every stored table, yearly register, document and the print-row template to the
    // current layouts, each file on its own: a file that fails is left as it was and the others
    // go on. The version is stored only when nothing failed; otherwise one report at level 1 names
    // every failed file.
    void AggiornaTabelle();
    // Brings the documents of the series folders FT, PV and DT to the layouts of the two
    // current-document tables, which keep their content, staging through "ImportsTemp"; the
    // templates of TableSamples follow the first invoice folder's document. The documents that
    // fail are named in logs\import.err. Raises, before a document changes, when the staging
    // folder or the log cannot be written.
    void ConvertiDocumenti();
    // Brings TableSamples\StampaArticoli.dat to the definitions of TabellaStampaArticoli.
    void AggiornaStampaArticoli();
    // Saves TabellaStampaArticoli as TableSamples\StampaArticoli.DAT.
    void SalvaStampaArticoli();
    // The add-field dialog on the articles; for the fields it lists, the document lines, the
    // print rows and their template, and every stored document gain them, under a progress
    // window that is closed on every path. An empty list changes nothing. EInvalidOperation when
    // ModificaCampi or CreaAvanzamento is not installed; a failure goes on to the caller.
    void AggiungiCampiArticoli();
    // The same for the customers and the document header.
    void AggiungiCampiClienti();
    void ScriviVersioneDatabase();

    // Installed by the user-field dialog: edits the table's user fields and returns the names of
    // those it holds, without the prefix.
    std::function<std::unique_ptr<TStringList>(TzelMemTable* tabella, const std::string& titolo,
                                               const std::string& campoChiave,
                                               const TStrings& campiProgettati)>
        ModificaCampi;
    // Installed by the main window.
    std::function<std::unique_ptr<TAvanzamento>()> CreaAvanzamento;

    // The file a table's last load could not read, "" when its last load went well.
    std::string FileCaricamentoFallito(TDataSet* t) const;

protected:
    // Forgets the load mark of a table that is freed.
    void Notification(TComponent* componente, TOperation operazione) override;

private:
    void Costruisci(const std::vector<std::string>& argomenti);
    void CreaComponenti();
    TzelMemTable* CreaTabella(const std::string& nome, const char* campi);
    TDataSource* CreaSorgente(const std::string& nome, TzelMemTable* tabella);
    TrpDBDataSet* CreaDatiReport(const std::string& nome, TzelMemTable* tabella, TDataSource* sorgente);
    void CreaGestoreErrori();
    void ProcessUsbPen(const std::vector<std::string>& argomenti);
    std::string LeggiSharedPath();
    bool CaricaFileTabella(TzelMemTable* tabella, const std::string& percorso);
    void OrdinaTabella(TzelMemTable* tabella, const std::string& ordinamento);
    void CaricaTabellaOrdinata(TzelMemTable* tabella, const std::string& file,
                               const std::string& ordinamento);
    void ConservaFileDanneggiato(const std::string& percorso);
    struct TPassoAvanzamento {
        std::string Messaggio;
        std::function<void(const TStrings& campi)> Esegui;
    };
    void AggiungiCampi(TzelMemTable* tabella, const std::string& titolo,
                       const std::string& campoChiave, const TStrings& campiProgettati,
                       const std::vector<TPassoAvanzamento>& passi);
    // True when no other running copy of the program holds the data folder; this module then
    // holds it until it is destroyed.
    bool PrendiCartellaDati();
    // Deletes what saves cut short left in Data, the series folders and Temp; nothing else.
    void RimuoviTemporaneiRimasti();

    // The error report entry this module created; its destructor clears FormExceptMessage.
    TFormExceptMessage* FGestoreErrori = nullptr;
    // Tables whose last load failed, with the file they could not read.
    std::map<const TComponent*, std::string> FCaricamentiFalliti;
    // The open lock file of the data folder while this module holds it, else -1.
    int FBloccoCartellaDati = -1;
};

extern TDC* DC;
