#include "foundation/DataModule.h"

#include "archive/ZipFormat.h"
#include "foundation/Configurazione.h"
#include "foundation/Contesto.h"
#include "foundation/ExceptMessage.h"
#include "foundation/Log.h"
#include "foundation/SupportFiles.h"
#include "foundation/SupportFormDB.h"
#include "foundation/Supporto.h"
#include "platform/db/DB.h"
#include "platform/os/Atoms.h"
#include "platform/os/FileApi.h"
#include "platform/os/MessageBox.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/TextUtils.h"
#include "report/RP_DBSet.h"
#include "tablestore/zelMemBinaryStreamFormat.h"
#include "tablestore/zelMemCSVStreamFormat.h"
#include "tablestore/zelMemTable.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <utility>

TDC* DC = nullptr;

namespace {

const char* const VERSIONE_DATABASE = "3.0.18";
const char* const SEZIONE_VERSIONING = "Ventisca,Tessellarium,Versioning";
const char* const ESTENSIONE_TABELLE = "DAT";
const char* const PREFISSO_USBPEN = "TESSELLARIUM_USBPEN:";

// Field lists: name:type separated by commas; S<n> text of n characters, I integer, F float,
// B boolean, D date, T time.
const char* const CAMPI_ARTICOLI_IN_FATTURA =
    "Nome:S64,Descrizione:S1024,Descrittivo:B,Quantita:F,Misura:S5,Valuta:S4,Prezzo:F,"
    "ScontoPercentuale:B,Sconto:F,IVA:F,Ivato:B,CodiceIva:S16,DicituraIva:S128,NoContributi:B,"
    "NoRitenuta:B,NoRitenutaEnasarco:B";
const char* const CAMPI_CLIENTE_IN_FATTURA =
    "Denominazione:S128,CodiceFiscale:S24,PartitaIVA:S24,Indirizzo:S128,Citta:S32,CAP:S5,"
    "Provincia:S2,Stato:S16,IndirizzoMail:S64,Telefono:S24,TelefonoAlternativo:S24,Fax:S24,"
    "BancaAppoggio:S128,Destinazione:S1024,Iva:F,IvaSuContributi:B,Aliquota:F,Ritenuta:F,"
    "RitenutaSul:F,RitenutaTotale:F,RitenutaSuContributi:B,RitenutaEnasarco:F,"
    "RitenutaEnasarcoSul:F,RitenutaEnasarcoTotale:F,RitenutaEnasarcoSuContributi:B,Numero:I,"
    "Modificatore:S5,Data:D,Commenti:S512,IdContributo:I,Dicitura:S24,ContributiCorpoFattura:B,"
    "ImportoTotale:F,ScontoTotale:F,AliquotaTotale:F,IVATotale:F,Accompagnatoria:B,"
    "NumeroColli:I,Peso:F,UnitaPeso:S4,AspettoEsteriore:S128,ModalitaPagamento:S128,"
    "CuratoreTrasporto:S24,CausaleTrasporto:S64,DataTrasporto:D,OraTrasporto:T,DataRitiro:D,"
    "OraRitiro:T,Vettore:S128,Tipologia:S2,DataScadenza:D";
const char* const CAMPI_STAMPA_ARTICOLI =
    "Nome:S30,Descrizione:S1024,Descrittivo:B,Quantita:F,Misura:S5,Prezzo:F,PrezzoScontato:F,"
    "PrezzoIvato:F,ScontoPercentuale:B,Sconto:F,Valuta:S4,CodiceIva:S16,IVA:F,Ivato:B";
const char* const CAMPI_APPUNTI =
    "Appunto:S128,MemoAppunto:S2048,Priorita:I,DataScadenza:D,OraScadenza:T,Allarme:B,"
    "OrePreavviso:I,MinutiPreavviso:I";
const char* const CAMPI_DITTA =
    "Denominazione:S192,CodiceFiscale:S24,PartitaIVA:S24,Indirizzo:S128,Citta:S32,CAP:S5,"
    "Provincia:S2,NumeroTelefono:S16,NumeroFax:S16,NumeroCellulare:S16,IndirizzoMail:S64,"
    "Banca:S64,IBAN:S34,BIC:S11";
const char* const CAMPI_CONTRIBUTI =
    "IdContributo:I,DescContributo:S64,LabelContributo:S20,Dicitura:S24,Aliquota:F,"
    "IvaSuContributi:B,Ritenuta:F,RitenutaSul:F,RitenutaSuContributi:B,RitenutaEnasarco:F,"
    "RitenutaEnasarcoSul:F,RitenutaEnasarcoSuContributi:B,ContributiCorpoFattura:B";
const char* const CAMPI_ALIQUOTE_IVA = "CodiceIva:S16,IVA:F,DicituraIva:S128";
const char* const CAMPI_UNITA_MISURA = "Unita:S6,Descrizione:S32";
const char* const CAMPI_ALTRO_FATTURE =
    "Tipologia:S2,Fattura:I,Modificatore:S5,Data:D,DataInvioMail:D";
const char* const CAMPI_ARTICOLI =
    "Nome:S64,Descrizione:S1024,Descrittivo:B,Misura:S4,Prezzo:F,ScontoPercentuale:B,Sconto:F,"
    "CodiceIva:S16,IVA:F,Ivato:B,DicituraIva:S128,NoContributi:B,NoRitenuta:B,"
    "NoRitenutaEnasarco:B";
const char* const CAMPI_CLIENTI =
    "Denominazione:S128,CodiceFiscale:S24,PartitaIVA:S24,Indirizzo:S128,Citta:S32,CAP:S5,"
    "Provincia:S2,Stato:S16,Telefono:S24,TelefonoAlternativo:S24,Fax:S24,IndirizzoMail:S64,"
    "BancaAppoggio:S128,Destinazione:S1024";
const char* const CAMPI_REGISTRO =
    "Fattura:I,Modificatore:S5,Data:D,Denominazione:S128,Aliquota:F,IVA:F,Ritenuta:F,"
    "ImportoTotale:F,ScontoTotale:F,AliquotaTotale:F,IVATotale:F,RitenutaTotale:F,"
    "RitenutaEnasarcoTotale:F,DataScadenza:D,Pagato:B,DataPagamento:D,Tipologia:S2,Protetta:B";
const char* const CAMPI_DOCUMENTI =
    "Fattura:I,Data:D,Denominazione:S128,Aliquota:F,IVA:F,Ritenuta:F,ImportoTotale:F,"
    "ScontoTotale:F,AliquotaTotale:F,IVATotale:F,RitenutaTotale:F,Pagato:B,DataPagamento:D,"
    "Tipologia:S2";
const char* const CAMPI_MASTRINO =
    "Data:D,Descrizione:S128,Dare:F,Avere:F,Totale:F,Cliente:S128,Valuta:S4";
const char* const CAMPI_RIEPILOGO = "Descrizione:S128,Importo:F";
const char* const CAMPI_RIEPILOGO_IVA =
    "CodiceIva:S16,DescrizioneIva:S128,Imponibile:F,Aliquota:F,Importo:F";
const char* const CAMPI_RIEPILOGO_CONTRIBUTI =
    "ImportoContributo:F,CodiceIva:S16,Iva:F,DicituraIva:S28";
const char* const CAMPI_DETTAGLIO_CALCOLO = "Descrizione:S96,Importo:F";

void AggiungiDefinizioni(TFieldDefs& definizioni, const std::string& elenco)
{
    size_t inizio = 0;
    while (inizio < elenco.size()) {
        size_t fine = elenco.find(',', inizio);
        if (fine == std::string::npos)
            fine = elenco.size();
        const std::string voce = elenco.substr(inizio, fine - inizio);
        const size_t due = voce.find(':');
        const std::string nome = voce.substr(0, due);
        const std::string tipo = voce.substr(due + 1);
        switch (tipo[0]) {
        case 'S':
            definizioni.Add(nome, ftString, std::stoi(tipo.substr(1)));
            break;
        case 'I':
            definizioni.Add(nome, ftInteger);
            break;
        case 'F':
            definizioni.Add(nome, ftFloat);
            break;
        case 'B':
            definizioni.Add(nome, ftBoolean);
            break;
        case 'D':
            definizioni.Add(nome, ftDate);
            break;
        case 'T':
            definizioni.Add(nome, ftTime);
            break;
        }
        inizio = fine + 1;
    }
}

// Only a table of exactly this class is loaded or saved: descendants keep their own storage.
TzelMemTable* TabellaDiMemoria(TDataSet* t)
{
    if (t == nullptr || t->ClassName() != "TzelMemTable")
        return nullptr;
    return static_cast<TzelMemTable*>(t);
}

std::string MessaggioDi(const std::exception& e)
{
    if (const auto* eccezione = dynamic_cast<const Exception*>(&e))
        return eccezione->Message;
    return e.what();
}

void RaiseCartella(const std::string& cartella)
{
    RAISE(EInOutError(Format("Impossibile creare la cartella %s", {cartella})));
}

// The structure a table had before a load, put back when the load fails: the data field
// definitions, the labels and display formats of its fields, its calculated fields and its
// index definitions.
class TStrutturaTabella {
public:
    explicit TStrutturaTabella(TzelMemTable* tabella)
    {
        TFieldDefs& definizioni = tabella->FieldDefs();
        for (int i = 0; i < definizioni.Count(); ++i) {
            TFieldDef* d = definizioni.Items(i);
            FDefinizioni.push_back({d->Name(), d->DataType(), d->Size(), d->Required()});
        }
        TFields& campi = tabella->Fields();
        for (int i = 0; i < campi.Count(); ++i) {
            TField* c = campi[i];
            TCampo campo{c->FieldName(), c->DataType(), c->Size(), c->FieldKind(),
                         c->DisplayLabel(), ""};
            if (auto* numerico = dynamic_cast<TNumericField*>(c))
                campo.Formato = numerico->DisplayFormat();
            FCampi.push_back(campo);
        }
        TIndexDefs& indici = tabella->IndexDefs();
        for (int i = 0; i < indici.Count(); ++i) {
            TIndexDef* x = indici.Items(i);
            FIndici.push_back({x->Name(), x->Fields(), x->Options()});
        }
    }

    // The table ends open, empty and with the structure taken.
    void Ripristina(TzelMemTable* tabella) const
    {
        tabella->Close();
        tabella->FieldDefs().Clear();
        for (const auto& d : FDefinizioni)
            tabella->FieldDefs().Add(d.Nome, d.Tipo, d.Dimensione, d.Richiesto);
        tabella->IndexDefs().Clear();
        for (const auto& x : FIndici)
            tabella->IndexDefs().Add(x.Nome, x.Campi, x.Opzioni);
        tabella->CreateTable();
        for (const auto& c : FCampi) {
            if (c.Tipo_ == fkCalculated || c.Tipo_ == fkLookup) {
                TFieldFactory crea = DefaultFieldClass(c.Tipo);
                if (!crea)
                    continue;
                TField* campo = crea(tabella);
                campo->SetFieldName(c.Nome);
                if (c.Tipo == ftString)
                    campo->SetSize(c.Dimensione);
                campo->SetFieldKind(c.Tipo_);
                campo->SetDataSet(tabella);
            }
            TField* campo = tabella->FindField(c.Nome);
            if (campo == nullptr)
                continue;
            campo->SetDisplayLabel(c.Etichetta);
            if (auto* numerico = dynamic_cast<TNumericField*>(campo))
                numerico->SetDisplayFormat(c.Formato);
        }
        tabella->Open();
        tabella->EmptyTable();
    }

private:
    struct TDefinizione {
        std::string Nome;
        TFieldType Tipo;
        int Dimensione;
        bool Richiesto;
    };
    struct TCampo {
        std::string Nome;
        TFieldType Tipo;
        int Dimensione;
        TFieldKind Tipo_;
        std::string Etichetta;
        std::string Formato;
    };
    struct TIndice {
        std::string Nome;
        std::string Campi;
        TIndexOptions Opzioni;
    };
    std::vector<TDefinizione> FDefinizioni;
    std::vector<TCampo> FCampi;
    std::vector<TIndice> FIndici;
};

// --- Versions --------------------------------------------------------------------------------

struct TParteVersione {
    std::uint64_t Numero = 0;
    std::string Suffisso;
};

std::vector<TParteVersione> PartiVersione(const std::string& testo)
{
    constexpr std::uint64_t massimo = std::numeric_limits<std::uint32_t>::max() + std::uint64_t{1};
    std::vector<TParteVersione> parti;
    size_t inizio = 0;
    while (true) {
        size_t fine = testo.find('.', inizio);
        if (fine == std::string::npos)
            fine = testo.size();
        TParteVersione parte;
        size_t i = inizio;
        for (; i < fine && testo[i] >= '0' && testo[i] <= '9'; ++i)
            parte.Numero = std::min(massimo, parte.Numero * 10 + static_cast<unsigned>(testo[i] - '0'));
        parte.Suffisso = testo.substr(i, fine - i);
        parti.push_back(parte);
        if (fine == testo.size())
            break;
        inizio = fine + 1;
    }
    return parti;
}

} // namespace

// --- Construction ------------------------------------------------------------------------------

TDC::TDC(TComponent* owner) : TDataModule(owner)
{
    std::vector<std::string> argomenti;
    for (int i = 1; i <= ParamCount(); ++i)
        argomenti.push_back(ParamStr(i));
    Costruisci(argomenti);
}

TDC::TDC(TComponent* owner, const std::vector<std::string>& argomenti) : TDataModule(owner)
{
    Costruisci(argomenti);
}

TDC::~TDC()
{
    // The error report window is one of the components: it goes with them.
    DestroyComponents();
    FGestoreErrori = nullptr;
    if (DC == this) {
        DC = nullptr;
        SetZipLogWriter(nullptr);
    }
    if (FBloccoCartellaDati >= 0) {
        UnlockFile(FBloccoCartellaDati, 0, 0, 1, 0);
        FileClose(FBloccoCartellaDati);
    }
}

namespace {

// The file every running copy locks to tell the others that it holds the data folder.
const char* const FILE_BLOCCO_DATI = ".Tessellarium.lock";
// The folders of the document series, below the data root.
const char* const CARTELLE_SERIE[] = {"FT", "PV", "DT"};

bool CifreEsadecimaliMaiuscole(const std::string& testo)
{
    return !testo.empty() &&
           testo.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

// The visible temporary an earlier document save made beside the document:
// "<document>.tsd." + its process, time and counter in upper-case hexadecimal and digits + ".tmp".
bool TemporaneoDocumentoVecchio(const std::string& nome)
{
    const std::string fine = ".tmp";
    const std::string documento = ".tsd.";
    if (nome.size() <= fine.size() || nome.compare(nome.size() - fine.size(), fine.size(), fine) != 0)
        return false;
    const std::string resto = nome.substr(0, nome.size() - fine.size());
    const size_t inizio = resto.rfind(documento);
    if (inizio == std::string::npos || inizio == 0)
        return false;
    const std::string codice = resto.substr(inizio + documento.size());
    return codice.size() >= 10 && CifreEsadecimaliMaiuscole(codice);
}

// Removes every leftover of the folder for which resto says so; one log line per removal.
void RimuoviNellaCartella(const std::string& cartella,
                          const std::function<bool(const std::string& nome)>& resto,
                          std::unique_ptr<TLog>& registro)
{
    if (!DirectoryExists(cartella))
        return;
    const std::unique_ptr<TStringList> file = ElencoFile(cartella + "*.*");
    for (int i = 0; i < file->Count(); ++i) {
        const std::string percorso = file->Strings(i);
        if (!resto(ExtractFileName(percorso)))
            continue;
        const bool rimosso = DeleteFile(percorso);
        try {
            if (!registro)
                registro = std::make_unique<TLog>(SottocartellaApplicazione("Debug"));
            registro->Scrivi((rimosso ? "Rimosso il file temporaneo di un salvataggio interrotto: "
                                      : "Impossibile rimuovere il file temporaneo di un salvataggio "
                                        "interrotto: ") +
                             percorso);
        } catch (const Exception&) {
            // A log that cannot be written does not stop the start.
        }
    }
}

// What the archive components' one warning box leaves out goes into the daily log.
void ScriviInRegistroGiornaliero(const std::vector<std::string>& righe)
{
    TLog registro(SottocartellaApplicazione("Debug"));
    TStringList testi;
    for (const std::string& riga : righe)
        testi.Add(riga);
    registro.ScriviElenco(testi);
}

} // namespace

void TDC::Costruisci(const std::vector<std::string>& argomenti)
{
    DC = this;
    SetZipLogWriter(ScriviInRegistroGiornaliero);
    SetName("DC");
    OnCreate = [this](TObject* sender) { DCCreate(sender); };
    try {
        CreaComponenti();
        CreaGestoreErrori();
        if (FormExceptMessage != nullptr) {
            FormExceptMessage->SogliaRapporto = 0;
            FormExceptMessage->SogliaMessaggio = 1;
        }
        CampiArticoliInFattura = NomiCampi(TabellaArticoliInFattura);
        CampiClienteInFattura = NomiCampi(TabellaClienteInFattura);
        ProcessUsbPen(argomenti);
        PercorsoDati = LeggiSharedPath();
        if (PrendiCartellaDati())
            RimuoviTemporaneiRimasti();
        ContestoStampa = std::make_unique<TContesto>("ContestoStampa");
    } catch (...) {
        TComponent::Free(FGestoreErrori);
        FGestoreErrori = nullptr;
        DC = nullptr;
        throw;
    }
}

bool TDC::PrendiCartellaDati()
{
    const std::string percorso = PercorsoDati + FILE_BLOCCO_DATI;
    int blocco = FileOpen(percorso, fmOpenReadWrite);
    if (blocco < 0)
        blocco = FileCreate(percorso);
    if (blocco < 0)
        return false; // a folder that cannot be locked is treated as held by another copy
    if (!LockFile(blocco, 0, 0, 1, 0)) {
        FileClose(blocco);
        return false;
    }
    FBloccoCartellaDati = blocco;
    return true;
}

void TDC::RimuoviTemporaneiRimasti()
{
    std::unique_ptr<TLog> registro;
    RimuoviNellaCartella(PercorsoDati + "Data\\", IsAtomicTemporaryName, registro);
    for (const char* serie : CARTELLE_SERIE)
        RimuoviNellaCartella(PercorsoDati + serie + "\\", [](const std::string& nome) {
            return IsAtomicTemporaryName(nome) || TemporaneoDocumentoVecchio(nome);
        }, registro);
    RimuoviNellaCartella(CartellaApplicazione() + "Temp\\", [](const std::string& nome) {
        return IsAtomicTemporaryName(nome) || nome == "Articoli.aft" || nome == "Cliente.cft";
    }, registro);
}

TzelMemTable* TDC::CreaTabella(const std::string& nome, const char* campi)
{
    auto* tabella = new TzelMemTable(this);
    tabella->SetName(nome);
    AggiungiDefinizioni(tabella->FieldDefs(), campi);
    tabella->CreateTable();
    return tabella;
}

TDataSource* TDC::CreaSorgente(const std::string& nome, TzelMemTable* tabella)
{
    auto* sorgente = new TDataSource(this);
    sorgente->SetName(nome);
    sorgente->SetDataSet(tabella);
    return sorgente;
}

TrpDBDataSet* TDC::CreaDatiReport(const std::string& nome, TzelMemTable* tabella, TDataSource* sorgente)
{
    auto* dati = new TrpDBDataSet(this);
    dati->SetName(nome);
    if (sorgente)
        dati->SetDataSource(sorgente);
    else
        dati->SetDataSet(tabella);
    return dati;
}

void TDC::CreaComponenti()
{
    TabellaArticoliInFattura = CreaTabella("TabellaArticoliInFattura", CAMPI_ARTICOLI_IN_FATTURA);
    TabellaClienteInFattura = CreaTabella("TabellaClienteInFattura", CAMPI_CLIENTE_IN_FATTURA);
    TabellaStampaArticoli = CreaTabella("TabellaStampaArticoli", CAMPI_STAMPA_ARTICOLI);
    TabellaAppunti = CreaTabella("TabellaAppunti", CAMPI_APPUNTI);
    TabellaDitta = CreaTabella("TabellaDitta", CAMPI_DITTA);
    TabellaContributi = CreaTabella("TabellaContributi", CAMPI_CONTRIBUTI);
    TabellaAliquoteIva = CreaTabella("TabellaAliquoteIva", CAMPI_ALIQUOTE_IVA);
    TabellaUnitaMisura = CreaTabella("TabellaUnitaMisura", CAMPI_UNITA_MISURA);
    TabellaAltroFatture = CreaTabella("TabellaAltroFatture", CAMPI_ALTRO_FATTURE);
    TabellaArticoli = CreaTabella("TabellaArticoli", CAMPI_ARTICOLI);
    TabellaClienti = CreaTabella("TabellaClienti", CAMPI_CLIENTI);
    TabellaFatture = CreaTabella("TabellaFatture", CAMPI_REGISTRO);
    TabellaFattureReport = CreaTabella("TabellaFattureReport", CAMPI_REGISTRO);
    TabellaFattureFiltrate = CreaTabella("TabellaFattureFiltrate", CAMPI_REGISTRO);
    TabellaDocumenti = CreaTabella("TabellaDocumenti", CAMPI_DOCUMENTI);
    TabellaMastrino = CreaTabella("TabellaMastrino", CAMPI_MASTRINO);
    TabellaRiepilogo = CreaTabella("TabellaRiepilogo", CAMPI_RIEPILOGO);
    TabellaRiepilogoIva = CreaTabella("TabellaRiepilogoIva", CAMPI_RIEPILOGO_IVA);
    TabellaRiepilogoContributi = CreaTabella("TabellaRiepilogoContributi", CAMPI_RIEPILOGO_CONTRIBUTI);
    TabellaDettaglioCalcolo = CreaTabella("TabellaDettaglioCalcolo", CAMPI_DETTAGLIO_CALCOLO);

    TabellaStampaArticoli->FieldByName("Quantita")->SetDisplayLabel("QUANTc");
    for (const char* importo : {"Dare", "Avere", "Totale"})
        static_cast<TFloatField*>(TabellaMastrino->FieldByName(importo))->SetDisplayFormat("0.00");

    auto* complessivo = new TFloatField(TabellaFattureFiltrate);
    complessivo->SetFieldName("ImportoComplessivo");
    complessivo->SetFieldKind(fkCalculated);
    complessivo->SetDisplayFormat("0.00");
    complessivo->SetDataSet(TabellaFattureFiltrate);
    TabellaFattureFiltrate->SetAutoCalcFields(false);
    TabellaFattureFiltrate->OnCalcFields = [this](TDataSet* d) { TabellaFattureFiltrateCalcFields(d); };

    for (TzelMemTable* filtrata : {TabellaFatture, TabellaDocumenti, TabellaAltroFatture})
        filtrata->SetFiltered(true);
    for (TzelMemTable* registro : {TabellaFatture, TabellaDocumenti})
        registro->IndexDefs().Add("TabellaFattureIndex0", "Tipologia", TIndexOptions());
    TabellaAppunti->Tag = 1;

    SaveFormat = new TzelBinaryStreamFormat(this);
    SaveFormat->SetName("SaveFormat");
    SaveCsvFormat = new TzelCSVStreamFormat(this);
    SaveCsvFormat->SetName("SaveCsvFormat");
    SaveCsvFormat->SetCSVQuote('\0');
    SaveCsvFormat->SetCSVFieldDelimiter(';');
    SaveCsvFormat->SetCSVRecordDelimiter(';');
    SaveCsvFormat->SetCSVTrueString("True");
    SaveCsvFormat->SetCSVFalseString("False");
    SaveCsvFormat->sfDef = {};
    SaveCsvFormat->sfIndexDef = {};

    SourceArticoliInFattura = CreaSorgente("SourceArticoliInFattura", TabellaArticoliInFattura);
    SourceClienti = CreaSorgente("SourceClienti", TabellaClienti);
    SourceArticoli = CreaSorgente("SourceArticoli", TabellaArticoli);
    SourceFatture = CreaSorgente("SourceFatture", TabellaFatture);
    SourceClienteInFattura = CreaSorgente("SourceClienteInFattura", TabellaClienteInFattura);
    SourceDitta = CreaSorgente("SourceDitta", TabellaDitta);
    SourceFattureReport = CreaSorgente("SourceFattureReport", TabellaFattureReport);
    SourceFattureFiltrate = CreaSorgente("SourceFattureFiltrate", TabellaFattureFiltrate);
    SourceStampaArticoli = CreaSorgente("SourceStampaArticoli", TabellaStampaArticoli);
    SourceContributi = CreaSorgente("SourceContributi", TabellaContributi);
    SourceMastrino = CreaSorgente("SourceMastrino", TabellaMastrino);
    SourceRiepilogo = CreaSorgente("SourceRiepilogo", TabellaRiepilogo);
    SourceDocumenti = CreaSorgente("SourceDocumenti", TabellaDocumenti);
    SourceAliquoteIva = CreaSorgente("SourceAliquoteIva", TabellaAliquoteIva);
    SourceDettaglioCalcolo = CreaSorgente("SourceDettaglioCalcolo", TabellaDettaglioCalcolo);

    ReportDocumenti = CreaDatiReport("ReportDocumenti", nullptr, SourceFattureReport);
    ReportMastrini = CreaDatiReport("ReportMastrini", nullptr, SourceMastrino);
    ReportArticoli = CreaDatiReport("ReportArticoli", TabellaArticoli, nullptr);
    ReportClienti = CreaDatiReport("ReportClienti", TabellaClienti, nullptr);
    ReportSourceDocumenti = CreaDatiReport("ReportSourceDocumenti", TabellaFattureFiltrate, nullptr);
    ReportArticoliInFattura = CreaDatiReport("ReportArticoliInFattura", nullptr, SourceStampaArticoli);
    ReportDitta = CreaDatiReport("ReportDitta", nullptr, SourceDitta);
    ReportClienteInFattura = CreaDatiReport("ReportClienteInFattura", nullptr, SourceClienteInFattura);
    ReportDettaglioCalcolo = CreaDatiReport("ReportDettaglioCalcolo", nullptr, SourceDettaglioCalcolo);

    for (int i = 0; i < ComponentCount(); ++i) {
        if (auto* tabella = dynamic_cast<TzelMemTable*>(Components(i)))
            tabella->Open();
        Components(i)->Loaded();
    }
}

void TDC::CreaGestoreErrori()
{
    try {
        FGestoreErrori = TFormExceptMessage::Create(this);
        if (FGestoreErrori != nullptr)
            FormExceptMessage = FGestoreErrori;
    } catch (...) {
        MessageBoxA(nullptr, "Impossibile istanziare il gestore degli errori.",
                    "Errore inizializzazione", MB_OK | MB_ICONERROR);
    }
}

std::string TDC::LuogoUsbPen(const std::vector<std::string>& argomenti)
{
    const std::string prefisso = PREFISSO_USBPEN;
    std::string luogo = "Disco";
    for (const std::string& argomento : argomenti) {
        const std::string pulito = Trim(argomento);
        if (pulito.compare(0, prefisso.size(), prefisso) == 0)
            luogo = Trim(pulito.substr(prefisso.size()));
    }
    if (luogo.empty() || luogo[0] != '"')
        return luogo;
    std::string citato;
    for (size_t i = 1; i < luogo.size(); ++i) {
        if (luogo[i] != '"') {
            citato += luogo[i];
        } else if (i + 1 < luogo.size() && luogo[i + 1] == '"') {
            citato += '"';
            ++i;
        } else {
            break;
        }
    }
    return citato;
}

void TDC::ProcessUsbPen(const std::vector<std::string>& argomenti)
{
    const uint8_t modo = LuogoUsbPen(argomenti) == "Chiavetta" ? 1 : 0;
    InizializzaConfigurazione("Ventisca\\Tessellarium", modo);
    MsgApriFattura = RegisterWindowMessageA("TESSELLARIUM_OPEN_THIS_FATTURA");
    MsgAggiornaTabella = RegisterWindowMessageA("TESSELLARIUM_UPDATE_TABLE");
}

std::string TDC::LeggiSharedPath()
{
    std::string percorso = LeggiImpostazione("Ventisca,Tessellarium,Percorsi", "SharedPath", "");
    if (percorso.empty())
        return SottocartellaApplicazione("Shared");
    const bool conUnita = percorso.size() >= 2 && percorso[1] == ':' &&
                          ((percorso[0] >= 'A' && percorso[0] <= 'Z') ||
                           (percorso[0] >= 'a' && percorso[0] <= 'z'));
    if (conUnita)
        RAISE(Exception("Percorso dati non valido: '" + percorso + "' (impostazione SharedPath)."));
    if (percorso.back() != '\\' && percorso.back() != '/')
        percorso += '\\';
    if (percorso[0] != '\\' && percorso[0] != '/')
        percorso = CartellaApplicazione() + percorso;
    if (!DirectoryExists(percorso))
        ForceDirectoriesOrRaise(percorso);
    return percorso;
}

// --- Creation handler --------------------------------------------------------------------------

void TDC::DCCreate(TObject* /*sender*/)
{
    ModalitaProvvisoria = false;
    if (VersioneDatabaseObsoleta()) {
        const int risposta = MessageBoxA(
            nullptr,
            "E' stata installata una versione pi\xF9 aggiornata di Tessellarium. Prima di poter "
            "utilizzare Tessellarium \xE8 necessario importare le tabelle. Procedere con "
            "l'importazione delle tabelle?",
            "Aggiornamento tabelle", MB_YESNO | MB_ICONQUESTION);
        if (risposta != IDYES) {
            ModalitaProvvisoria = true;
            return;
        }
        AggiornaTabelle();
    }

    struct TPasso {
        std::string File;
        std::function<void()> Esegui;
    };
    const std::string dati = PercorsoDati + "Data\\";
    const std::string campioni = PercorsoDati + "TableSamples\\";
    const std::vector<TPasso> passi = {
        {campioni + "Articoli.aft",
         [this] { CaricaTabella(TabellaArticoliInFattura, "TableSamples", "aft", "", "Articoli"); }},
        {campioni + "Cliente.cft",
         [this] { CaricaTabella(TabellaClienteInFattura, "TableSamples", "cft", "", "Cliente"); }},
        {campioni + "StampaArticoli.DAT",
         [this] { CaricaTabella(TabellaStampaArticoli, "TableSamples", "StampaArticoli"); }},
        {dati + "Appunti.DAT",
         [this] { CaricaTabella(TabellaAppunti, "Data", "DataScadenza", "Appunti"); }},
        {dati + "Ditta.DAT", [this] { CaricaTabella(TabellaDitta, "Data", "Ditta"); }},
        {dati + "Contributi.DAT",
         [this] { CaricaTabella(TabellaContributi, "Data", "IdContributo", "Contributi"); }},
        {dati + "AliquoteIva.DAT",
         [this] { CaricaTabella(TabellaAliquoteIva, "Data", "AliquoteIva"); }},
        {dati + "UnitaMisura.DAT",
         [this] { CaricaTabella(TabellaUnitaMisura, "Data", "UnitaMisura"); }},
        {dati + "AltroFatture.DAT",
         [this] {
             CaricaTabella(TabellaAltroFatture, "Data", "Tipologia;Fattura", "AltroFatture");
         }},
        {dati + "UnitaMisura.DAT", [this] { AggiornaElencoUnita(); }},
        {dati + "Articoli.DAT", [this] { LoadTabellaArticoli(); }},
        {dati + "Clienti.DAT", [this] { LoadTabellaClienti(); }},
    };

    // Each step runs on its own, so that one unreadable file leaves every other table loaded.
    std::string elenco;
    std::string primoTesto;
    for (const TPasso& passo : passi) {
        std::string errore;
        try {
            passo.Esegui();
            continue;
        } catch (const std::exception& e) {
            errore = MessaggioDi(e);
        } catch (...) {
            errore = "Errore sconosciuto";
        }
        if (primoTesto.empty())
            primoTesto = errore;
        elenco += passo.File + ": " + errore + "\r\n";
    }
    if (elenco.empty())
        return;
    const std::string messaggio =
        "Impossibile caricare alcune tabelle:\r\n" + elenco +
        "\r\nLe tabelle indicate restano vuote. Il file originale non viene sovrascritto: al primo "
        "salvataggio della tabella viene conservato con l'estensione aggiuntiva \".danneggiato\".";
    TFormExceptMessage::MostraErrore(messaggio, primoTesto, "DCCreate", __LINE__,
                                     NomeFileSorgente(__FILE__), nullptr, nullptr, "", "", "", 1);
}

// --- Loading and saving ------------------------------------------------------------------------

void TDC::CaricaTabella(TDataSet* t, const std::string& cartella, const std::string& nome)
{
    CaricaTabella(t, cartella, ESTENSIONE_TABELLE, "", nome);
}

void TDC::CaricaTabella(TDataSet* t, const std::string& cartella, const std::string& ordinamento,
                        const std::string& nome)
{
    CaricaTabella(t, cartella, ESTENSIONE_TABELLE, ordinamento, nome);
}

void TDC::CaricaTabella(TDataSet* t, const std::string& cartella, const std::string& estensione,
                        const std::string& ordinamento, const std::string& nome)
{
    TzelMemTable* tabella = TabellaDiMemoria(t);
    if (tabella == nullptr)
        return;
    CaricaTabellaOrdinata(tabella, PercorsoDati + cartella + "\\" + nome + "." + estensione,
                          ordinamento);
}

void TDC::CaricaTabellaOrdinata(TzelMemTable* tabella, const std::string& file,
                                const std::string& ordinamento)
{
    CaricaFileTabella(tabella, file);
    if (!Trim(ordinamento).empty())
        OrdinaTabella(tabella, Trim(ordinamento));
}

bool TDC::CaricaFileTabella(TzelMemTable* tabella, const std::string& percorso)
{
    if (!FileExists(percorso))
        return false;
    const TStrutturaTabella prima(tabella);
    try {
        tabella->LoadFromFileViaFormat(percorso, SaveFormat);
    } catch (...) {
        FCaricamentiFalliti[tabella] = percorso;
        tabella->FreeNotification(this);
        try {
            prima.Ripristina(tabella);
        } catch (...) {
            // The load's own failure is the one worth reporting.
        }
        throw;
    }
    FCaricamentiFalliti.erase(tabella);
    return true;
}

void TDC::OrdinaTabella(TzelMemTable* tabella, const std::string& ordinamento)
{
    tabella->SortOn(ordinamento, tabella->SortOptions());
}

void TDC::Notification(TComponent* componente, TOperation operazione)
{
    TDataModule::Notification(componente, operazione);
    if (operazione == opRemove)
        FCaricamentiFalliti.erase(componente);
}

std::string TDC::FileCaricamentoFallito(TDataSet* t) const
{
    const auto trovato = FCaricamentiFalliti.find(t);
    return trovato == FCaricamentiFalliti.end() ? std::string() : trovato->second;
}

void TDC::ConservaFileDanneggiato(const std::string& percorso)
{
    if (!FileExists(percorso))
        return;
    std::string copia = percorso + ".danneggiato";
    for (int numero = 2; FileExists(copia); ++numero)
        copia = percorso + ".danneggiato" + IntToStr(numero);
    if (!RenameFile(percorso, copia))
        RAISE(EInOutError(Format("Impossibile rinominare il file %s in %s", {percorso, copia})));
}

void TDC::SalvaTabella(TDataSet* t, const std::string& cartella, const std::string& nome,
                       int salva)
{
    // In the provisional mode nothing was loaded: saving would replace stored data with empty
    // tables.
    if (salva != 1 || ModalitaProvvisoria)
        return;
    TzelMemTable* tabella = TabellaDiMemoria(t);
    if (tabella == nullptr)
        return;
    const std::string destinazione = PercorsoDati + cartella + "\\";
    if (!DirectoryExists(destinazione) && !CreateDir(destinazione))
        RaiseCartella(destinazione);
    const std::string file = destinazione + nome + "." + ESTENSIONE_TABELLE;
    if (FCaricamentiFalliti.count(tabella) != 0)
        ConservaFileDanneggiato(file);
    tabella->SaveToFileViaFormat(file, SaveFormat);
    FCaricamentiFalliti.erase(tabella);
}

void TDC::LoadTabellaArticoli()
{
    const std::string file = PercorsoDati + "Data\\Articoli.DAT";
    if (!FileExists(file))
        return;
    TabellaArticoli->EmptyTable();
    CaricaTabellaOrdinata(TabellaArticoli, file, "Nome");
}

void TDC::LoadTabellaClienti()
{
    const std::string file = PercorsoDati + "Data\\Clienti.DAT";
    if (!FileExists(file))
        return;
    TabellaClienti->EmptyTable();
    CaricaTabellaOrdinata(TabellaClienti, file, "Denominazione");
}

// --- Units, calculated fields, user fields -----------------------------------------------------

void TDC::CaricaElencoUnita()
{
    if (!ElencoUnita)
        ElencoUnita = std::make_unique<TStringList>();
    ElencoUnita->Clear();
    TField* unita = TabellaUnitaMisura->FieldByName("Unita");
    TabellaUnitaMisura->First();
    while (!TabellaUnitaMisura->Eof()) {
        ElencoUnita->Add(unita->AsString());
        TabellaUnitaMisura->Next();
    }
}

void TDC::AggiornaElencoUnita()
{
    CaricaElencoUnita();
}

void TDC::TabellaFattureFiltrateCalcFields(TDataSet* dataSet)
{
    auto importo = [dataSet](const char* campo) { return dataSet->FieldByName(campo)->AsFloat(); };
    double totale = importo("ImportoTotale");
    totale += importo("RitenutaTotale");
    totale += importo("RitenutaEnasarcoTotale");
    totale += importo("IVATotale");
    totale += importo("AliquotaTotale");
    dataSet->FieldByName("ImportoComplessivo")->SetAsFloat(totale);
}

void TDC::CopiaCampiAggiuntivi(TDataSet* sorgente, TDataSet* destinazione)
{
    const std::string prefisso = "CstTs_";
    TFieldDefs& definizioni = sorgente->FieldDefs();
    for (int i = 0; i < definizioni.Count(); ++i) {
        TFieldDef* definizione = definizioni.Items(i);
        const std::string& nome = definizione->Name();
        if (nome.compare(0, prefisso.size(), prefisso) != 0)
            continue;
        TField* arrivo = destinazione->FindField(nome);
        if (arrivo == nullptr)
            continue;
        TField* origine = sorgente->FieldByName(nome);
        if (definizione->DataType() == ftBoolean)
            arrivo->SetAsBoolean(origine->AsBoolean());
        else
            arrivo->SetAsString(origine->AsString());
    }
}

// --- Database version --------------------------------------------------------------------------

bool TDC::VersioneDatabaseObsoleta()
{
    return ConfrontaVersioni(LeggiImpostazione(SEZIONE_VERSIONING, "Database", "1.0.0"),
                             VERSIONE_DATABASE) < 0;
}

int TDC::VersioneInNumero(const std::string& versione)
{
    std::string cifre;
    for (const char c : versione) {
        if (c >= '0' && c <= '9')
            cifre += c;
        else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
            cifre += IntToStr(static_cast<int>(c) - static_cast<int>('a'));
    }
    int numero = 0;
    return TryStrToInt(cifre, numero) ? numero : -1;
}

int TDC::ConfrontaVersioni(const std::string& a, const std::string& b)
{
    const std::string ta = Trim(a);
    const std::string tb = Trim(b);
    auto haCifre = [](const std::string& s) {
        return std::any_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    const bool cifreA = haCifre(ta);
    const bool cifreB = haCifre(tb);
    if (!cifreA || !cifreB)
        return cifreA == cifreB ? 0 : (cifreA ? 1 : -1);
    const auto pa = PartiVersione(ta);
    const auto pb = PartiVersione(tb);
    const TParteVersione zero;
    for (size_t i = 0; i < std::max(pa.size(), pb.size()); ++i) {
        const TParteVersione& x = i < pa.size() ? pa[i] : zero;
        const TParteVersione& y = i < pb.size() ? pb[i] : zero;
        if (x.Numero != y.Numero)
            return x.Numero < y.Numero ? -1 : 1;
        if (x.Suffisso != y.Suffisso) {
            if (x.Suffisso.empty() || y.Suffisso.empty())
                return x.Suffisso.empty() ? -1 : 1;
            return x.Suffisso < y.Suffisso ? -1 : 1;
        }
    }
    return 0;
}

void TDC::AggiornaTabelle()
{
    std::vector<std::string> fallimenti;
    auto passo = [&fallimenti](const std::string& file, const std::function<void()>& esegui) {
        try {
            esegui();
        } catch (const std::exception& e) {
            fallimenti.push_back(file + ": " + MessaggioDi(e));
        } catch (...) {
            fallimenti.push_back(file + ": Errore sconosciuto");
        }
    };
    auto aggiornaFile = [&](const std::string& maschera, TzelMemTable* tabella) {
        const std::unique_ptr<TStringList> file = ElencoFile(PercorsoDati + maschera);
        for (int i = 0; i < file->Count(); ++i) {
            const std::string percorso = file->Strings(i);
            passo(percorso, [&] { AggiornaFileTabella(tabella, percorso, SaveFormat); });
        }
    };
    const std::pair<const char*, TzelMemTable*> tabelle[] = {
        {"Data\\Appunti.dat", TabellaAppunti},         {"Data\\Clienti.dat", TabellaClienti},
        {"Data\\Articoli.dat", TabellaArticoli},       {"Data\\Contributi.dat", TabellaContributi},
        {"Data\\Ditta.dat", TabellaDitta},             {"Data\\AliquoteIva.dat", TabellaAliquoteIva},
        {"Data\\UnitaMisura.dat", TabellaUnitaMisura}, {"Data\\AltroFatture.dat", TabellaAltroFatture},
        {"Data\\FT*.dat", TabellaFatture},             {"Data\\DT*.dat", TabellaFatture},
        {"Data\\PV*.dat", TabellaFatture}};
    for (const auto& [maschera, tabella] : tabelle)
        aggiornaFile(maschera, tabella);
    passo(CartellaApplicazione() + "logs\\import.err", [this] { ConvertiDocumenti(); });
    passo(PercorsoDati + "TableSamples\\StampaArticoli.dat", [this] { AggiornaStampaArticoli(); });

    if (fallimenti.empty()) {
        ScriviVersioneDatabase();
        return;
    }
    std::string messaggio = "Si \xE8 verificato un errore nell'importazione delle tabelle.\n\n";
    for (size_t i = 0; i < fallimenti.size(); ++i)
        messaggio += (i == 0 ? "" : "\n") + ("Eccezione: '" + fallimenti[i] + "'");
    TFormExceptMessage::MostraErrore(messaggio, fallimenti.front(), "AggiornaTabelle", __LINE__,
                                     NomeFileSorgente(__FILE__), nullptr, nullptr, "", "", "", 1);
}

namespace {

// Raises when no file can be made in the folder: a staging folder that cannot be written would
// fail every document in turn.
void VerificaCartellaScrivibile(const std::string& cartella)
{
    const std::string prova = NomeTemporaneoAccanto(cartella + "ImportsTemp");
    try {
        TFileStream file(prova, fmCreate);
    } catch (const Exception&) {
        RAISE(EInOutError("Impossibile scrivere nella cartella " + cartella));
    }
    DeleteFile(prova);
}

} // namespace

void TDC::ConvertiDocumenti()
{
    const std::string cartella = SottocartellaApplicazione("ImportsTemp");
    VerificaCartellaScrivibile(cartella);
    // The documents are converted through scratch tables with the definitions of these two, which
    // keep the document the main window shows.
    TStringList membri;
    membri.AddObject(cartella + "Articoli.aft", TabellaArticoliInFattura);
    membri.AddObject(cartella + "Cliente.cft", TabellaClienteInFattura);
    TStringList registro;
    ScriviRegistroImportazione(registro);
    ConvertiFileDocumenti(PercorsoDati + "FT\\*.tsd", cartella, membri, SaveFormat,
                          PercorsoDati + "TableSamples\\", registro);
    for (const char* serie : {"PV", "DT"})
        ConvertiFileDocumenti(PercorsoDati + serie + "\\*.tsd", cartella, membri, SaveFormat, "",
                              registro);
    // One log for the three folders.
    ScriviRegistroImportazione(registro);
}

void TDC::AggiornaStampaArticoli()
{
    AggiornaFileTabella(TabellaStampaArticoli, PercorsoDati + "TableSamples\\StampaArticoli.dat",
                        SaveFormat);
}

void TDC::SalvaStampaArticoli()
{
    SalvaTabella(TabellaStampaArticoli, "TableSamples", "StampaArticoli");
}

void TDC::AggiungiCampiArticoli()
{
    AggiungiCampi(TabellaArticoli, "Articoli", "Nome", *CampiArticoliInFattura,
                  {{"Aggiunta campi",
                    [this](const TStrings& campi) {
                        AggiungiCampiUtente(TabellaArticoli, TabellaArticoliInFattura, campi);
                    }},
                   {"Aggiunta campi",
                    [this](const TStrings& campi) {
                        AggiungiCampiUtente(TabellaArticoli, TabellaStampaArticoli, campi);
                    }},
                   {"Salvataggio campi", [this](const TStrings&) { SalvaStampaArticoli(); }},
                   {"Importazione tabelle", [this](const TStrings&) { ConvertiDocumenti(); }}});
}

void TDC::AggiungiCampiClienti()
{
    AggiungiCampi(TabellaClienti, "Clienti", "Denominazione", *CampiClienteInFattura,
                  {{"Aggiunta campi",
                    [this](const TStrings& campi) {
                        AggiungiCampiUtente(TabellaClienti, TabellaClienteInFattura, campi);
                    }},
                   {"Importazione tabelle", [this](const TStrings&) { ConvertiDocumenti(); }}});
}

namespace {

// Closes the progress window however the work ends: a stay-on-top window left open would cover
// the program.
class TChiusuraAvanzamento {
public:
    explicit TChiusuraAvanzamento(TAvanzamento& avanzamento) : FAvanzamento(avanzamento) {}
    ~TChiusuraAvanzamento()
    {
        try {
            FAvanzamento.Chiudi();
        } catch (...) {
            // The work's own failure, if any, is the one that goes on.
        }
    }
    TChiusuraAvanzamento(const TChiusuraAvanzamento&) = delete;
    TChiusuraAvanzamento& operator=(const TChiusuraAvanzamento&) = delete;

private:
    TAvanzamento& FAvanzamento;
};

} // namespace

void TDC::AggiungiCampi(TzelMemTable* tabella, const std::string& titolo,
                        const std::string& campoChiave, const TStrings& campiProgettati,
                        const std::vector<TPassoAvanzamento>& passi)
{
    if (!ModificaCampi || !CreaAvanzamento)
        RAISE(EInvalidOperation("La finestra dei campi aggiuntivi o quella di avanzamento non "
                                "\xE8 disponibile."));
    const std::unique_ptr<TStringList> campi = ModificaCampi(tabella, titolo, campoChiave,
                                                             campiProgettati);
    if (!campi || campi->Count() == 0)
        return;
    MessageBoxA(nullptr,
                "Prima di procedere \xE8 necessario convertire eventuali documenti precedenti. "
                "L'operazione potrebbe richiedere diversi minuti.",
                "Conversione archivi", MB_OK | MB_ICONEXCLAMATION);
    const std::unique_ptr<TAvanzamento> avanzamento = CreaAvanzamento();
    if (!avanzamento)
        RAISE(EInvalidOperation("La finestra di avanzamento non \xE8 disponibile."));
    TChiusuraAvanzamento chiusura(*avanzamento);
    avanzamento->Mostra("Stato aggiornamento", "In attesa");
    const int massimo = static_cast<int>(passi.size());
    for (int i = 0; i < massimo; ++i) {
        avanzamento->Aggiorna(passi[static_cast<size_t>(i)].Messaggio, i, massimo);
        passi[static_cast<size_t>(i)].Esegui(*campi);
    }
    avanzamento->Aggiorna("Finalizzazione", massimo, massimo);
}

void TDC::ScriviVersioneDatabase()
{
    ScriviImpostazione(SEZIONE_VERSIONING, "Database", VERSIONE_DATABASE);
}
