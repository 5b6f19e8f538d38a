#include "documents/CaricaFattura.h"

#include "documents/FileDocumento.h"
#include "foundation/ContabilitaTools.h"
#include "foundation/DataModule.h"
#include "foundation/ExceptMessage.h"
#include "foundation/SupportDB.h"
#include "foundation/SupportDate.h"
#include "foundation/SupportFiles.h"
#include "foundation/SupportString.h"
#include "platform/gui/Application.h"
#include "platform/gui/Screen.h"
#include "platform/os/MessageBox.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysErrors.h"
#include "platform/rtl/TextUtils.h"
#include "platform/rtl/Variants.h"
#include "tablestore/zelMemBinaryStreamFormat.h"
#include "tablestore/zelMemTable.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

struct TTipoDocumento {
    const char* Codice;
    const char* Tipologia;
    const char* Descrizione;
    std::vector<std::string> Nomi; // upper-cased type names that select it
};

const std::vector<TTipoDocumento>& TipiDocumento()
{
    static const std::vector<TTipoDocumento> tipi = {
        {"FT.FT", "FT", "Fattura", {"FATTURE", "FATTURA"}},
        {"FT.AC", "AC", "Fattura Accompagnatoria",
         {"ACCOMPAGNATORIE", "ACCOMPAGNATORIA", "FATTURA ACCOMPAGNATORIA"}},
        {"FT.NA", "NA", "Nota d'accredito", {"NOTA D'ACCREDITO", "NOTE D'ACCREDITO"}},
        {"PV.PV", "PV", "Preventivo", {"PREVENTIVI", "PREVENTIVO"}},
        {"DT.DT", "DT", "DDT", {"DDT", "DOCUMENTO DI TRASPORTO"}},
    };
    return tipi;
}

void SegnalaCaricamento(const std::string& messaggio, const std::string& funzione, int riga,
             const Exception* eccezione)
{
    const TThrowSite& lancio = LastThrowSite();
    const bool conLancio = eccezione != nullptr && !lancio.ClassName.empty();
    TFormExceptMessage::MostraErrore(
        messaggio, eccezione != nullptr ? eccezione->Message : std::string(), funzione, riga,
        "CaricaFattura", eccezione, nullptr, conLancio ? lancio.ClassName : std::string(),
        conLancio ? NomeFileSorgente(lancio.File) : std::string(),
        conLancio ? std::to_string(lancio.Line) : std::string(), 1);
}

const char* const MESSAGGIO_NON_TROVATO =
    "Impossibile trovare il file relativo alla fattura selezionata\n"
    "Il file potrebbe essere stato eliminato";
const char* const MESSAGGIO_DANNEGGIATO =
    "Impossibile caricare il file relativo alla fattura selezionata.\n"
    "Il file potrebbe essere danneggiato";

// Loads a staged table file; false after reporting why it could not be read.
bool CaricaTabellaInTemp(TzelMemTable* tabella, const std::string& file)
{
    if (!FileExists(file)) {
        SegnalaCaricamento(MESSAGGIO_NON_TROVATO, "CaricaFattura", __LINE__, nullptr);
        return false;
    }
    try {
        tabella->LoadFromFileViaFormat(file, DC->SaveFormat);
        return true;
    } catch (const Exception& e) {
        SegnalaCaricamento(MESSAGGIO_DANNEGGIATO, "CaricaFattura", __LINE__, &e);
    }
    return false;
}

// A free name beside the file for setting it aside.
std::string NomeAccantonato(const std::string& percorso)
{
    std::string nome = percorso + ".eliminato";
    for (int n = 2; FileExists(nome); ++n)
        nome = percorso + ".eliminato" + IntToStr(n);
    return nome;
}

struct TRinomina {
    std::string Da;
    std::string A;
};

void AnnullaRinomine(std::vector<TRinomina>& fatte)
{
    for (auto it = fatte.rbegin(); it != fatte.rend(); ++it)
        RenameFile(it->A, it->Da);
    fatte.clear();
}

// Renumbers the later documents of the modifier and renames their files, the deleted document's
// file set aside first so that its name is free. The files are renamed first, in ascending
// order; when a rename fails the box is shown, the renames are undone and no row changes: the
// deletion then goes on without renumbering, and the register and the files still agree.
void Rinumera(TArchivioDocumenti& archivio, int numero, const std::string& modificatore,
              const std::string& fileEliminato, std::string& accantonato,
              std::vector<TRinomina>& rinomine)
{
    struct TRiga {
        int Numero;
        std::string Denominazione;
        TDateTime Data;
    };
    TzelMemTable* registro = DC->TabellaFatture;
    TField* fattura = registro->FieldByName("Fattura");
    TField* modifica = registro->FieldByName("Modificatore");
    TField* denominazione = registro->FieldByName("Denominazione");
    TField* data = registro->FieldByName("Data");
    auto daRinumerare = [&] {
        return fattura->AsInteger() >= numero && modifica->AsString() == modificatore;
    };
    std::vector<TRiga> righe;
    registro->First();
    while (!registro->Eof()) {
        if (daRinumerare())
            righe.push_back({fattura->AsInteger(), denominazione->AsString(), data->AsDateTime()});
        registro->Next();
    }
    std::stable_sort(righe.begin(), righe.end(),
                     [](const TRiga& a, const TRiga& b) { return a.Numero < b.Numero; });

    bool fallita = false;
    if (FileExists(fileEliminato)) {
        const std::string nome = NomeAccantonato(fileEliminato);
        if (RenameFile(fileEliminato, nome))
            accantonato = nome;
        else
            fallita = true;
    }
    for (size_t i = 0; !fallita && i < righe.size(); ++i) {
        const TRiga& riga = righe[i];
        const std::string da =
            archivio.PercorsoFattura(riga.Numero, modificatore, riga.Denominazione, riga.Data);
        const std::string a =
            archivio.PercorsoFattura(riga.Numero - 1, modificatore, riga.Denominazione, riga.Data);
        // A document file that is already missing is no failure: its row is renumbered.
        if (RenameFile(da, a))
            rinomine.push_back({da, a});
        else if (GetLastError() != ERROR_FILE_NOT_FOUND || FileExists(da))
            fallita = true;
    }
    if (fallita) {
        MessageBoxA(nullptr, "Errore nella ridefinizione dei numeri di fattura.", "Errore",
                    MB_OK | MB_ICONWARNING);
        AnnullaRinomine(rinomine);
        return;
    }

    // The rows change in one pass in row order with the index upkeep suspended, then the
    // register is sorted again: keeping the indexes in order at every post costs a search each.
    const bool conIndici = registro->EnableIndexes();
    registro->SortOn("", registro->SortOptions());
    registro->SetEnableIndexes(false);
    try {
        registro->First();
        while (!registro->Eof()) {
            if (daRinumerare()) {
                const int vecchio = fattura->AsInteger();
                registro->Edit();
                fattura->SetAsInteger(vecchio - 1);
                registro->Post();
            }
            registro->Next();
        }
    } catch (...) {
        registro->SetEnableIndexes(conIndici);
        throw;
    }
    registro->SetEnableIndexes(conIndici);
    registro->UpdateIndexes();
    registro->SortOn("Fattura", registro->SortOptions());
}

} // namespace

bool RigaArticoloVuota(TDataSet& righe)
{
    for (const char* campo : {"Nome", "Descrizione", "Quantita", "Misura", "Prezzo"})
        if (!righe.FieldByName(campo)->AsString().empty())
            return false;
    return true;
}

TCopiaRegistro::TCopiaRegistro() : FCopia(std::make_unique<TMemoryStream>())
{
    DC->TabellaFatture->SaveToStreamViaFormat(FCopia.get(), DC->SaveFormat);
}

TCopiaRegistro::~TCopiaRegistro() = default;

void TCopiaRegistro::Ripristina() noexcept
{
    try {
        TzelMemTable* registro = DC->TabellaFatture;
        FCopia->SetPosition(0);
        registro->LoadFromStreamViaFormat(FCopia.get(), DC->SaveFormat);
        registro->SortOn("Fattura", registro->SortOptions());
    } catch (...) {
    }
}

// --- Types and names ---------------------------------------------------------------------------

std::string CodiceTipologia(const std::string& nome)
{
    const std::string maiuscolo = AnsiUpperCase(nome);
    for (const TTipoDocumento& tipo : TipiDocumento())
        if (std::find(tipo.Nomi.begin(), tipo.Nomi.end(), maiuscolo) != tipo.Nomi.end())
            return tipo.Codice;
    return "FT.FT";
}

std::string DescrizioneTipologia(const std::string& tipologia)
{
    const std::string maiuscolo = AnsiUpperCase(tipologia);
    for (const TTipoDocumento& tipo : TipiDocumento())
        if (maiuscolo == tipo.Tipologia)
            return tipo.Descrizione;
    return {};
}

std::string NomeFileDocumento(const std::string& prefisso, int numero,
                              const std::string& modificatore, const std::string& denominazione,
                              TDateTime data)
{
    // A "/" would make a sub-folder and the other characters cannot stand in a Windows file
    // name, so no stored document can hold them.
    std::string pulita;
    for (const char c : denominazione) {
        if (static_cast<unsigned char>(c) < 0x20 || std::string("\\/:*?\"<>").find(c) != std::string::npos)
            continue;
        pulita += c;
    }
    int anno = 0;
    int mese = 0;
    int giorno = 0;
    DecodeDate(data, anno, mese, giorno);
    std::string nome = prefisso + IntToStr(numero);
    if (!modificatore.empty())
        nome += "." + modificatore;
    return nome + " - " + pulita + " (" + IntToStr(giorno) + "-" + IntToStr(mese) + "-" +
           IntToStr(anno) + ")";
}

void LeggiImportiDocumento(TDataSet& dati, ImportiDocumento& importi)
{
    auto importo = [&dati](const char* campo) {
        return ArrotondaImporto(dati.FieldByName(campo)->AsFloat());
    };
    importi.ImportoScontato = importo("ImportoTotale");
    importi.ScontoTotale = importo("ScontoTotale");
    importi.ImportoTotale = importi.ImportoScontato + importi.ScontoTotale;
    importi.Contributi = importo("AliquotaTotale");
    importi.IvaTotale = importo("IVATotale");
    importi.RitenutaTotale = importo("RitenutaTotale");
    importi.RitenutaEnasarcoTotale = importo("RitenutaEnasarcoTotale");
    importi.ImportoComplessivo = importi.ImportoScontato + importi.Contributi +
                                 importi.IvaTotale + importi.RitenutaTotale +
                                 importi.RitenutaEnasarcoTotale;
}

bool CercaAltroFattura(const std::string& tipologia, int numero, const std::string& modificatore,
                       TDateTime data)
{
    return LocalizzaRecordMultiplo(DC->TabellaAltroFatture, "Tipologia;Fattura;Modificatore;Data",
                                   {Variant(tipologia), Variant(numero), Variant(modificatore),
                                    VarFromDateTime(data)},
                                   4);
}

int AnnoDaTesto(const std::string& anno)
{
    int valore = 0;
    if (!TryStrToInt(Trim(anno), valore) || valore < 1 || valore > 9999)
        RAISE(EConvertError("'" + anno + "' non \xE8 un anno valido"));
    return valore;
}

TArchivioDocumenti& ArchivioDocumenti()
{
    static TArchivioDocumenti archivio;
    return archivio;
}

// --- Current type -------------------------------------------------------------------------------

std::string TArchivioDocumenti::ImpostaTipoDocumento(const std::string& nome)
{
    TipoDocumentoCorrente = AnsiUpperCase(nome);
    return CodiceTipologia(TipoDocumentoCorrente);
}

std::string TArchivioDocumenti::ImpostaTipoDaTipologia(const std::string& tipologia)
{
    TipoDocumentoCorrente = AnsiUpperCase(DescrizioneTipologia(tipologia));
    return TipoDocumentoCorrente;
}

std::string TArchivioDocumenti::TabellaDocumento(const std::string& nome)
{
    return TestoPrima(ImpostaTipoDocumento(nome), ".");
}

std::string TArchivioDocumenti::NomeFileFattura(int numero, const std::string& modificatore,
                                                const std::string& denominazione, TDateTime data)
{
    return NomeFileDocumento("Doc", numero, modificatore, denominazione, data);
}

std::string TArchivioDocumenti::CartellaSerie()
{
    return DC->PercorsoDati + TabellaDocumento(TipoDocumentoCorrente) + "\\";
}

std::string TArchivioDocumenti::PercorsoFattura(int numero, const std::string& modificatore,
                                                const std::string& denominazione, TDateTime data)
{
    return CartellaSerie() + NomeFileFattura(numero, modificatore, denominazione, data) + ".tsd";
}

// --- Document files -----------------------------------------------------------------------------

bool TArchivioDocumenti::SalvaFattura(int anno, int mese, const std::string& denominazione,
                                      const std::string& modificatore, int numero, int giorno)
{
    const TDateTime data = EncodeDate(anno, mese, giorno);
    const std::string cartella = CartellaSerie();
    if (!DirectoryExists(cartella) && !ForceDirectories(cartella)) {
        TFormExceptMessage::MostraErrore("Impossibile salvare i dati della fattura.",
                                         "Impossibile creare la cartella " + cartella,
                                         "SalvaFattura", __LINE__, "CaricaFattura", nullptr,
                                         nullptr, "", "", "", 1);
        return false;
    }
    return ComprimiFileFatturaDaTemp(cartella +
                                     NomeFileFattura(numero, modificatore, denominazione, data) +
                                     ".tsd");
}

bool TArchivioDocumenti::CaricaFattura(const std::string& nomeFile)
{
    if (!EstraiFileFatturaInTemp(CartellaSerie() + nomeFile + ".tsd"))
        return false;
    const std::string cliente = CartellaTemp() + "Cliente.cft";
    const std::string articoli = CartellaTemp() + "Articoli.aft";
    // Both files are read into scratch tables first, so that a damaged member never leaves a new
    // header with the old lines.
    {
        TzelMemTable provaCliente(nullptr);
        TzelMemTable provaArticoli(nullptr);
        if (!CaricaTabellaInTemp(&provaCliente, cliente) ||
            !CaricaTabellaInTemp(&provaArticoli, articoli))
            return false;
    }
    if (!CaricaTabellaInTemp(DC->TabellaClienteInFattura, cliente) ||
        !CaricaTabellaInTemp(DC->TabellaArticoliInFattura, articoli))
        return false;
    return true;
}

bool TArchivioDocumenti::CaricaFattura(int numero, const std::string& modificatore,
                                       TDateTime data, const std::string& denominazione)
{
    if (!CaricaFattura(NomeFileFattura(numero, modificatore, denominazione, data)))
        return false;
    // Renumbering renames files without rewriting them: the number asked is the right one.
    TzelMemTable* testata = DC->TabellaClienteInFattura;
    testata->Edit();
    testata->FieldByName("Numero")->SetAsInteger(numero);
    testata->Post();
    EliminaRecordArticoliVuoti();
    return true;
}

bool TArchivioDocumenti::CaricaAnteprimaFattura(int numero, const std::string& modificatore,
                                                TDateTime data, const std::string& denominazione)
{
    const bool caricata = CaricaFattura(numero, modificatore, data, denominazione);
    if (caricata) {
        if (OnMostraDocumento)
            OnMostraDocumento(numero, modificatore, denominazione, data);
    } else if (OnMostraDocumentoVuoto) {
        OnMostraDocumentoVuoto();
    }
    return caricata;
}

void TArchivioDocumenti::EliminaRecordArticoliVuoti()
{
    TzelMemTable* righe = DC->TabellaArticoliInFattura;
    righe->First();
    while (!righe->Eof()) {
        if (RigaArticoloVuota(*righe))
            righe->Delete();
        else
            righe->Next();
    }
}

// --- Register -----------------------------------------------------------------------------------

std::string TArchivioDocumenti::FileRegistro(int anno)
{
    return TabellaDocumento(TipoDocumentoCorrente) + IntToStr(anno);
}

void TArchivioDocumenti::CaricaElencoFatture(const std::string& anno)
{
    const int valore = AnnoDaTesto(anno);
    DC->TabellaFatture->EmptyTable();
    DC->CaricaTabella(DC->TabellaFatture, "Data", "Fattura", FileRegistro(valore));
}

int TArchivioDocumenti::ProssimoNumeroFattura(const std::string& anno)
{
    AnnoDaTesto(anno);
    AnnoCorrente = anno;
    CaricaElencoFatture(anno);
    TzelMemTable* registro = DC->TabellaFatture;
    if (registro->IsEmpty())
        return 1;
    registro->Last();
    return registro->FieldByName("Fattura")->AsInteger() + 1;
}

bool TArchivioDocumenti::SelezionaFattura(int numero, const std::string& modificatore)
{
    TzelMemTable* registro = DC->TabellaFatture;
    if (!modificatore.empty())
        return LocalizzaRecordMultiplo(registro, "Fattura;Modificatore",
                                       {Variant(numero), Variant(modificatore)}, 2);
    if (registro->IsEmpty())
        return false;
    const TBookmark posizione = registro->GetBookmark();
    if (registro->Locate("Fattura", Variant(numero), TLocateOptions())) {
        TField* fattura = registro->FieldByName("Fattura");
        TField* modifica = registro->FieldByName("Modificatore");
        while (!registro->Eof() && fattura->AsInteger() == numero) {
            if (modifica->AsString().empty())
                return true;
            registro->Next();
        }
    }
    registro->GotoBookmark(posizione);
    return false;
}

void TArchivioDocumenti::SalvaElencoFatture(TDataSet* tabella, int anno)
{
    DC->SalvaTabella(tabella, "Data", FileRegistro(anno));
}

void TArchivioDocumenti::SalvaElencoFatture(int anno)
{
    SalvaElencoFatture(DC->TabellaFatture, anno);
}

void TArchivioDocumenti::EliminaFilesFattura(int numero, const std::string& modificatore)
{
    if (!SelezionaFattura(numero, modificatore))
        return;
    TzelMemTable* registro = DC->TabellaFatture;
    DeleteFile(PercorsoFattura(registro->FieldByName("Fattura")->AsInteger(),
                               registro->FieldByName("Modificatore")->AsString(),
                               registro->FieldByName("Denominazione")->AsString(),
                               registro->FieldByName("Data")->AsDateTime()));
}

bool TArchivioDocumenti::EliminaFattura(int numero, const std::string& modificatore, bool rinumera)
{
    TzelMemTable* registro = DC->TabellaFatture;
    if (!SelezionaFattura(numero, modificatore)) {
        MessageBoxA(nullptr, "Impossibile trovare la fattura. ", "Errore (cod. CF1)",
                    MB_OK | MB_ICONSTOP);
        return false;
    }
    std::unique_ptr<TCopiaRegistro> copia;
    std::vector<TRinomina> rinomine;
    std::string fileEliminato;
    std::string accantonato;
    try {
        copia = std::make_unique<TCopiaRegistro>();
        const TDateTime data = registro->FieldByName("Data")->AsDateTime();
        const int anno = AnnoDi(data);
        fileEliminato = PercorsoFattura(registro->FieldByName("Fattura")->AsInteger(),
                                        registro->FieldByName("Modificatore")->AsString(),
                                        registro->FieldByName("Denominazione")->AsString(), data);
        registro->Delete();
        if (rinumera)
            Rinumera(*this, numero, modificatore, fileEliminato, accantonato, rinomine);
        SalvaElencoFatture(anno);
    } catch (const std::exception& e) {
        AnnullaRinomine(rinomine);
        if (!accantonato.empty())
            RenameFile(accantonato, fileEliminato);
        if (copia)
            copia->Ripristina();
        SegnalaCaricamento("Problema nell'eliminazione della fattura.", "EliminaFattura", __LINE__,
                dynamic_cast<const Exception*>(&e));
        return false;
    }
    // Only now that the register is saved does the file go.
    const std::string daEliminare = accantonato.empty() ? fileEliminato : accantonato;
    if (FileExists(daEliminare) && !DeleteFile(daEliminare))
        TFormExceptMessage::MostraErrore("Problema nell'eliminazione della fattura.",
                                         "Impossibile eliminare il file " + daEliminare,
                                         "EliminaFattura", __LINE__, "CaricaFattura", nullptr,
                                         nullptr, "", "", "", 1);
    return true;
}

// --- Import of a document handed over by another program ----------------------------------------

namespace {

const char* const SEPARATORE_RICHIESTA = "%$%";

[[noreturn]] void RifiutaImportazione(const std::string& motivo)
{
    RAISE(EInOutError("Impossibile importare il documento: " + motivo));
}

// A name as long as a whole request would make the message unreadable.
std::string NomeNelMessaggio(const std::string& percorso)
{
    const size_t massimo = 260;
    if (percorso.size() <= massimo)
        return "'" + percorso + "'";
    return "'" + percorso.substr(0, massimo / 2) + "..." + percorso.substr(percorso.size() - massimo / 2) +
           "'";
}

// The text of a request: when quoted, the text up to the closing quote, a doubled quote standing
// for one; what follows the closing quote is dropped.
std::string TestoRichiesta(const std::string& testo)
{
    if (testo.empty() || testo[0] != '"')
        return testo;
    std::string_view resto(testo);
    const std::string citato = AnsiExtractQuotedStr(resto, '"');
    if (testo.compare(0, AnsiQuotedStr(citato, '"').size(), AnsiQuotedStr(citato, '"')) != 0)
        RifiutaImportazione("nella richiesta manca la virgoletta di chiusura.");
    return citato;
}

// Reads a table file of the request whole and checks it through a scratch table, which ends
// holding it: it must be a table with every field of the document table it stands for.
void LeggiTabellaImportata(const std::string& percorso, bool testata, const TStrings& campi,
                           TMemoryStream& dati, TzelMemTable& prova)
{
    if (percorso.empty())
        RifiutaImportazione(testata ? "la richiesta non indica il file della testata."
                                    : "la richiesta non indica il file delle righe.");
    if (DirectoryExists(percorso))
        RifiutaImportazione(NomeNelMessaggio(percorso) + " \xE8 una cartella, non un file.");
    if (!FileExists(percorso))
        RifiutaImportazione("il file " + NomeNelMessaggio(percorso) + " non esiste.");
    try {
        dati.LoadFromFile(percorso);
        dati.SetPosition(0);
        prova.LoadFromStreamViaFormat(&dati, DC->SaveFormat);
    } catch (const Exception& e) {
        RifiutaImportazione("il file " + NomeNelMessaggio(percorso) +
                            " non \xE8 una tabella leggibile (" + e.Message + ").");
    }
    for (int i = 0; i < campi.Count(); ++i)
        if (prova.FieldDefs().IndexOf(campi.Strings(i)) < 0)
            RifiutaImportazione("il file " + NomeNelMessaggio(percorso) + " non contiene " +
                                (testata ? "la testata" : "le righe") + " di un documento.");
}

// The application's active window is its main one, or there is no main window yet.
bool FinestraPrincipaleAttiva()
{
    if (Application == nullptr || Application->MainForm() == nullptr)
        return true;
    return Screen != nullptr && Screen->ActiveCustomForm() == Application->MainForm();
}

} // namespace

void TArchivioDocumenti::ImportaFatturaEsterna(const std::string& testo)
{
    if (!FinestraPrincipaleAttiva()) {
        MessageBoxA(nullptr,
                    "Per poter importare delle fatture \xE8 necessario tornare nella schermata "
                    "principale",
                    "Impossibile importare", MB_OK | MB_ICONINFORMATION);
        return;
    }
    const std::string richiesta = TestoRichiesta(testo);
    if (Trim(richiesta).empty())
        RifiutaImportazione("la richiesta \xE8 vuota.");
    const size_t separatore = richiesta.find(SEPARATORE_RICHIESTA);
    const std::string fileRighe = richiesta.substr(0, separatore);
    const std::string fileTestata =
        separatore == std::string::npos ? std::string()
                                        : richiesta.substr(separatore + std::string(SEPARATORE_RICHIESTA).size());

    // Both files are read and checked first, so that a bad one leaves the current document whole.
    TMemoryStream datiTestata;
    TMemoryStream datiRighe;
    TzelMemTable provaTestata(nullptr);
    TzelMemTable provaRighe(nullptr);
    LeggiTabellaImportata(fileTestata, true, *DC->CampiClienteInFattura, datiTestata, provaTestata);
    LeggiTabellaImportata(fileRighe, false, *DC->CampiArticoliInFattura, datiRighe, provaRighe);
    provaTestata.First();
    if (provaTestata.IsEmpty() || provaTestata.FieldByName("Data")->IsNull())
        RifiutaImportazione("la testata nel file " + NomeNelMessaggio(fileTestata) +
                            " non ha la data del documento.");
    const TDateTime data = provaTestata.FieldByName("Data")->AsDateTime();
    const std::string denominazione = provaTestata.FieldByName("Denominazione")->AsString();
    int anno = 0;
    int mese = 0;
    int giorno = 0;
    DecodeDate(data, anno, mese, giorno);
    ImpostaTipoDaTipologia(provaTestata.FieldByName("Tipologia")->AsString());
    const int numero = ProssimoNumeroFattura(IntToStr(anno));

    TzelMemTable* testata = DC->TabellaClienteInFattura;
    datiTestata.SetPosition(0);
    testata->LoadFromStreamViaFormat(&datiTestata, DC->SaveFormat);
    datiRighe.SetPosition(0);
    DC->TabellaArticoliInFattura->LoadFromStreamViaFormat(&datiRighe, DC->SaveFormat);
    // Stored under its own number without a modifier: the modifier of the other program's file
    // would make the confirmation store a second row and file beside these.
    testata->First();
    testata->Edit();
    testata->FieldByName("Modificatore")->SetAsString("");
    testata->Post();

    // The file first, then its row: a register row never names a file that is not there.
    if (!SalvaFattura(anno, mese, denominazione, "", numero, giorno))
        return;
    TzelMemTable* registro = DC->TabellaFatture;
    TCopiaRegistro copia;
    try {
        registro->Append();
        registro->FieldByName("Denominazione")->SetAsString(denominazione);
        registro->FieldByName("Data")->SetAsString(DateToStr(data));
        registro->FieldByName("Fattura")->SetAsInteger(numero);
        registro->Post();
        SalvaElencoFatture(anno);
    } catch (...) {
        copia.Ripristina();
        DeleteFile(PercorsoFattura(numero, "", denominazione, data));
        throw;
    }
    CaricaAnteprimaFattura(numero, "", data, denominazione);
}
