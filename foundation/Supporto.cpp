#include "foundation/Supporto.h"

#include "archive/UnZip.h"
#include "archive/Zip.h"
#include "archive/ZipFormat.h"
#include "foundation/Configurazione.h"
#include "foundation/ExceptMessage.h"
#include "foundation/SupportDB.h"
#include "foundation/SupportFiles.h"
#include "platform/os/FileApi.h"
#include "platform/os/MessageBox.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/TextUtils.h"
#include "tablestore/zelMemTable.h"

#include <cmath>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace {

// Fixed settings, so that a change of the process-wide separators between the two conversions
// cannot misread the text.
const TFormatSettings& ImpostazioniArrotondamento()
{
    static const TFormatSettings impostazioni = DefaultFormatSettings();
    return impostazioni;
}

// The range of decimals the float-to-text conversion takes.
constexpr int MassimoDecimali = 18;

} // namespace

void ImpostaValore(TStrings& elenco, const std::string& nome, const std::string& valore)
{
    const std::string riga = nome + elenco.NameValueSeparator() + valore;
    const int indice = elenco.IndexOfName(nome);
    if (indice >= 0)
        elenco.SetStrings(indice, riga);
    else
        elenco.Add(riga);
}

double Arrotonda(double numero, int decimali)
{
    if (!std::isfinite(numero))
        return numero;
    decimali = decimali < 0 ? 0 : (decimali > MassimoDecimali ? MassimoDecimali : decimali);
    const TFormatSettings& impostazioni = ImpostazioniArrotondamento();
    const std::string testo = FloatToStrF(numero, ffFixed, 15, decimali, impostazioni);
    double risultato = 0;
    if (!TextToFloat(testo, risultato, impostazioni))
        return numero;
    // Adding zero turns a -0 into +0.
    return risultato + 0.0;
}

// --- Record copies on memory tables ---------------------------------------------------------

bool CopiaRecordMemTable(TzelMemTable* sorgente, TzelMemTable* destinazione, bool accoda)
{
    return CopiaRecordPerNome(sorgente, destinazione, accoda);
}

bool AccodaRecordMemTable(TzelMemTable* sorgente, TzelMemTable* destinazione)
{
    return CopiaRecordPerNome(sorgente, destinazione, true);
}

namespace {

// The destination's fields that the source also defines, each with its source field.
std::vector<std::pair<TField*, TField*>> CampiComuni(TDataSet* sorgente, TzelMemTable* destinazione)
{
    std::vector<std::pair<TField*, TField*>> coppie;
    TFieldDefs& definizioni = destinazione->FieldDefs();
    for (int i = 0; i < definizioni.Count(); ++i) {
        const std::string& nome = definizioni.Items(i)->Name();
        if (sorgente->FieldDefs().IndexOf(nome) < 0)
            continue;
        TField* arrivo = destinazione->FindField(nome);
        TField* origine = sorgente->FindField(nome);
        if (arrivo != nullptr && origine != nullptr)
            coppie.emplace_back(arrivo, origine);
    }
    return coppie;
}

} // namespace

bool CopyRecordByFieldName(TDataSet* sorgente, TzelMemTable* destinazione)
{
    const TBookmark segno = sorgente->GetBookmark();
    auto tornaAlSegno = [&] {
        if (!segno.empty() && sorgente->BookmarkValid(segno))
            sorgente->GotoBookmark(segno);
    };
    try {
        destinazione->EmptyTable();
        sorgente->First();
        destinazione->First();
        const auto coppie = CampiComuni(sorgente, destinazione);
        while (!sorgente->Eof()) {
            destinazione->Append();
            for (const auto& [arrivo, origine] : coppie)
                arrivo->SetAsString(origine->AsString());
            destinazione->Post();
            sorgente->Next();
        }
        if (destinazione->RecordCount() == 0) {
            destinazione->Append();
            destinazione->Post();
        }
    } catch (const std::exception& e) {
        if (destinazione->State() == dsInsert || destinazione->State() == dsEdit)
            destinazione->Cancel();
        MOSTRA_ERRORE(e.what(), e, 1);
        tornaAlSegno();
        return false;
    }
    tornaAlSegno();
    return true;
}

bool ScriviPercorsoInstallazione()
{
    try {
        return ScriviImpostazione("Ventisca,Tessellarium,Install", "InstallationPath",
                                  CartellaApplicazione());
    } catch (const std::exception& e) {
        MOSTRA_ERRORE(e.what(), e, 1);
        return false;
    }
}

bool ScriviPercorsoInstallazione(const std::string& /*ignorato*/)
{
    return ScriviPercorsoInstallazione();
}

// --- Upgrade of stored tables and documents ---------------------------------------------------

namespace {

const char* const PREFISSO_CAMPI_UTENTE = "CstTs_";

bool TipoIntero(TFieldType tipo)
{
    return tipo == ftSmallint || tipo == ftInteger || tipo == ftWord || tipo == ftAutoInc ||
           tipo == ftLargeint;
}

bool TipoDecimale(TFieldType tipo)
{
    return tipo == ftFloat || tipo == ftCurrency || tipo == ftBCD;
}

bool TipoDataOra(TFieldType tipo)
{
    return tipo == ftDate || tipo == ftTime || tipo == ftDateTime;
}

// How one field's value reaches its namesake. Through text a double keeps 15 significant digits
// and a date is read in the regional format, so every value that can travel as it is does.
enum class TCopiaCampo { Buffer, Intero, Decimale, DataOra, Testo };

TCopiaCampo ModoCopiaCampo(const TField& da, const TField& a)
{
    const TFieldType origine = da.DataType();
    const TFieldType arrivo = a.DataType();
    if (origine == arrivo && !da.IsBlob() && da.DataSize() == a.DataSize())
        return TCopiaCampo::Buffer;
    if (TipoIntero(origine) && TipoIntero(arrivo))
        return TCopiaCampo::Intero;
    if ((TipoIntero(origine) || TipoDecimale(origine)) && TipoDecimale(arrivo))
        return TCopiaCampo::Decimale;
    if (TipoDataOra(origine) && TipoDataOra(arrivo))
        return TCopiaCampo::DataOra;
    // Text into a string of another size is cut by the field; a decimal into an integer field
    // goes through text too, and is refused when it is not whole.
    return TCopiaCampo::Testo;
}

struct TCoppiaCampi {
    TField* Da;
    TField* A;
    TCopiaCampo Modo;
};

// Appends every record of the source to the destination, each destination field taking the
// value of the source field of the same name (letter case ignored). A null stays null.
void CopiaRecordPerValore(TzelMemTable* sorgente, TzelMemTable* destinazione)
{
    std::vector<TCoppiaCampi> coppie;
    for (int i = 0; i < destinazione->FieldCount(); ++i) {
        TField* a = destinazione->Fields().Fields(i);
        if (a->FieldKind() != fkData)
            continue;
        TField* da = sorgente->FindField(a->FieldName());
        if (da != nullptr && da->FieldKind() == fkData)
            coppie.push_back({da, a, ModoCopiaCampo(*da, *a)});
    }
    std::string buffer;
    sorgente->First();
    while (!sorgente->Eof()) {
        destinazione->Append();
        for (const TCoppiaCampi& c : coppie) {
            if (c.Da->IsNull())
                continue;
            switch (c.Modo) {
            case TCopiaCampo::Buffer:
                buffer.resize(static_cast<size_t>(c.Da->DataSize()));
                if (c.Da->GetData(buffer.data()))
                    c.A->SetData(buffer.data());
                break;
            case TCopiaCampo::Intero:
                c.A->SetAsVariant(c.Da->AsVariant());
                break;
            case TCopiaCampo::Decimale:
                c.A->SetAsFloat(c.Da->AsFloat());
                break;
            case TCopiaCampo::DataOra:
                c.A->SetAsDateTime(c.Da->AsDateTime());
                break;
            case TCopiaCampo::Testo:
                c.A->SetAsString(c.Da->AsString());
                break;
            }
        }
        destinazione->Post();
        sorgente->Next();
    }
}

// The display properties and the calculated and lookup fields of a table, taken while its field
// objects still exist and given back once it is re-created from changed definitions.
class TAspettoCampi {
public:
    explicit TAspettoCampi(TzelMemTable* tabella) : FCopia(nullptr)
    {
        FCopia.CreateTableAs(tabella, {mtcpoProperties, mtcpoCalculated, mtcpoLookup});
    }

    // Re-creates the table from its definitions (it ends open and empty).
    void Ricrea(TzelMemTable* tabella)
    {
        tabella->Close();
        tabella->CreateTable();
        for (int i = 0; i < FCopia.FieldCount(); ++i) {
            TField* campo = FCopia.Fields().Fields(i);
            if (campo->FieldKind() == fkCalculated || campo->FieldKind() == fkLookup)
                tabella->CreateFieldAs(campo);
        }
        tabella->CopyFieldsProperties(&FCopia, tabella);
        // The required flag belongs to the definitions, which may have changed it.
        TFieldDefs& definizioni = tabella->FieldDefs();
        for (int i = 0; i < definizioni.Count(); ++i)
            if (TField* campo = tabella->FindField(definizioni.Items(i)->Name()))
                campo->SetRequired(definizioni.Items(i)->Required());
        tabella->Open();
    }

private:
    TzelMemTable FCopia;
};

// The definitions of a table by their names in capitals: a lookup then ignores letter case
// without a collation for every comparison, which would cost more than reading a small file.
std::map<std::string, const TFieldDef*> DefinizioniPerNome(TFieldDefs& definizioni)
{
    std::map<std::string, const TFieldDef*> perNome;
    for (int i = 0; i < definizioni.Count(); ++i)
        perNome.emplace(AnsiUpperCase(definizioni.Items(i)->Name()), definizioni.Items(i));
    return perNome;
}

// True when every current definition has a namesake in the file of the same type and size.
bool DefinizioniUguali(TzelMemTable& daFile, TzelMemTable& corrente)
{
    const std::map<std::string, const TFieldDef*> delFile = DefinizioniPerNome(daFile.FieldDefs());
    TFieldDefs& correnti = corrente.FieldDefs();
    for (int i = 0; i < correnti.Count(); ++i) {
        const TFieldDef* definizione = correnti.Items(i);
        const auto omonima = delFile.find(AnsiUpperCase(definizione->Name()));
        if (omonima == delFile.end() || omonima->second->DataType() != definizione->DataType() ||
            omonima->second->Size() != definizione->Size())
            return false;
    }
    return true;
}

// True when the file needs no rewrite and gives the current table no definition: the file has
// no definition the current table lacks and DefinizioniUguali holds.
bool StessaStruttura(TzelMemTable& daFile, TzelMemTable& corrente)
{
    const std::map<std::string, const TFieldDef*> correnti = DefinizioniPerNome(corrente.FieldDefs());
    TFieldDefs& delFile = daFile.FieldDefs();
    for (int i = 0; i < delFile.Count(); ++i)
        if (correnti.count(AnsiUpperCase(delFile.Items(i)->Name())) == 0)
            return false;
    return DefinizioniUguali(daFile, corrente);
}

void SalvaConFormato(TzelMemTable* tabella, const std::string& file, TzelCustomStreamFormat* formato,
                     TAtomicCommit modo)
{
    if (modo == TAtomicCommit::Flushed) {
        tabella->SaveToFileViaFormat(file, formato);
        return;
    }
    TAtomicFileStream flusso(file);
    tabella->SaveToStreamViaFormat(&flusso, formato);
    flusso.Commit(modo);
}

// AggiornaFileTabella of a file already read into daFile; a staged member needs no flush to the
// disk, a stored table does.
bool AggiornaTabellaLetta(TzelMemTable& daFile, TzelMemTable* corrente, const std::string& file,
                          TzelCustomStreamFormat* formato, TAtomicCommit modo)
{
    TAspettoCampi aspetto(corrente);
    corrente->Close();
    const int aggiunte = IntegraCampiVecchi(&daFile, corrente);
    aspetto.Ricrea(corrente);
    if (aggiunte == 0 && DefinizioniUguali(daFile, *corrente))
        return false;
    try {
        CopiaRecordPerValore(&daFile, corrente);
        SalvaConFormato(corrente, file, formato, modo);
    } catch (...) {
        // The file stays as it was; the table does not keep half of it.
        try {
            if (corrente->State() == dsInsert || corrente->State() == dsEdit)
                corrente->Cancel();
            corrente->EmptyTable();
        } catch (...) {
        }
        throw;
    }
    return true;
}

// A new empty table with the definitions of the given one.
std::unique_ptr<TzelMemTable> TabellaCome(TzelMemTable* modello)
{
    auto tabella = std::make_unique<TzelMemTable>(nullptr);
    tabella->CreateTableAs(modello, TzelMemTableCopyTableOptions());
    tabella->Open();
    return tabella;
}

// The reports of the archive components, which would otherwise show a box, go to the daily log.
void RegistraSegnalazioniArchivio(const std::vector<std::string>& segnalazioni)
{
    if (segnalazioni.empty())
        return;
    try {
        ZipWriteLog(segnalazioni);
    } catch (...) {
        // A log that cannot be written changes nothing of the result.
    }
}

// EstraiFiles, giving the files the extraction wrote.
bool EstraiFilesIn(const std::string& archivio, const TStrings& files, const std::string& cartella,
                   bool messaggio, std::vector<std::string>& estratti)
{
    estratti.clear();
    try {
        CancellaFile(files);
        TUnZip unzip(nullptr);
        unzip.SetArcName(archivio);
        unzip.SetExtrPath(cartella);
        unzip.Overwrite = true;
        unzip.StagingFolder = true;
        std::vector<std::string> segnalazioni;
        unzip.OnError = [&](TObject*, const std::string& testo) {
            segnalazioni.push_back(archivio + ": " + testo);
        };
        const bool estratto = unzip.Extract();
        estratti = unzip.ExtractedFiles();
        if (estratto && unzip.DamagedCount() == 0)
            return true;
        // A damaged member must never pass for a good one, nor half a document for a whole one.
        for (const std::string& file : estratti)
            DeleteFile(file);
        estratti.clear();
        CancellaFile(files);
        RegistraSegnalazioniArchivio(segnalazioni);
        return false;
    } catch (const std::exception& e) {
        MostraErroreDaHandler("", TestoEccezioneDi(e), OggettoEccezioneDi(e), "EstraiFiles",
                              __LINE__, __FILE__, 1);
        if (messaggio)
            MessageBoxA(nullptr, "Impossibile estrarre il file.", "Errore estrazione",
                        MB_OK | MB_ICONERROR);
    }
    return false;
}

bool SoloFileElencati(const std::vector<std::string>& estratti, const TStrings& files)
{
    for (const std::string& file : estratti) {
        bool elencato = false;
        for (int i = 0; i < files.Count() && !elencato; ++i)
            elencato = AnsiSameText(ExtractFileName(file), ExtractFileName(files.Strings(i)));
        if (!elencato)
            return false;
    }
    return true;
}

std::string FileRegistroImportazione()
{
    return SottocartellaApplicazione("logs") + "import.err";
}

// Saves every member table, emptied, as a template of the same file name.
void ScriviModelli(const std::vector<std::unique_ptr<TzelMemTable>>& tabelle, const TStrings& membri,
                   TzelCustomStreamFormat* formato, const std::string& cartellaModelli)
{
    const std::string cartella = IncludeTrailingBackslash(cartellaModelli);
    if (!DirectoryExists(cartella))
        ForceDirectoriesOrRaise(cartella);
    for (size_t i = 0; i < tabelle.size(); ++i) {
        tabelle[i]->EmptyTable();
        tabelle[i]->SaveToFileViaFormat(cartella + ExtractFileName(membri.Strings(static_cast<int>(i))),
                                        formato);
    }
}

// The members read into letti (null for a missing one) upgraded through scratch tables, the
// templates written from them when asked, and the document packed again. False when it could not
// be packed.
bool RiscriviDocumento(const std::string& documento, const std::string& cartellaEstrazione,
                       const TStrings& membri, const std::vector<std::unique_ptr<TzelMemTable>>& letti,
                       TzelCustomStreamFormat* formato, const std::string& cartellaModelli)
{
    std::vector<std::unique_ptr<TzelMemTable>> tabelle;
    bool riscritto = false;
    for (int i = 0; i < membri.Count(); ++i) {
        tabelle.push_back(TabellaCome(static_cast<TzelMemTable*>(membri.Objects(i))));
        const auto& letto = letti[static_cast<size_t>(i)];
        if (letto && AggiornaTabellaLetta(*letto, tabelle.back().get(), membri.Strings(i), formato,
                                          TAtomicCommit::Unflushed))
            riscritto = true;
    }
    if (!riscritto)
        return true;
    if (!cartellaModelli.empty())
        ScriviModelli(tabelle, membri, formato, cartellaModelli);
    return ComprimiFiles(documento, membri, cartellaEstrazione, true, false);
}

// One document: its members upgraded through scratch tables, re-packed when one was rewritten.
// False when it could not be opened; chiuso false when it could not be packed again.
bool ConvertiDocumento(const std::string& documento, const std::string& cartellaEstrazione,
                       const TStrings& membri, TzelCustomStreamFormat* formato,
                       const std::string& cartellaModelli, bool& chiuso)
{
    chiuso = true;
    std::vector<std::string> estratti;
    if (!EstraiFilesIn(documento, membri, cartellaEstrazione, false, estratti))
        return false;
    auto eliminaEstratti = [&] {
        for (const std::string& file : estratti)
            DeleteFile(file);
        CancellaFile(membri);
    };
    // Packing again only the listed members would lose the others.
    if (!SoloFileElencati(estratti, membri)) {
        eliminaEstratti();
        return false;
    }
    try {
        // Most documents are current: their members are only read.
        std::vector<std::unique_ptr<TzelMemTable>> letti;
        bool daRiscrivere = false;
        for (int i = 0; i < membri.Count(); ++i) {
            letti.push_back(nullptr);
            if (!FileExists(membri.Strings(i)))
                continue;
            letti.back() = std::make_unique<TzelMemTable>(nullptr);
            letti.back()->LoadFromFileViaFormat(membri.Strings(i), formato);
            if (!StessaStruttura(*letti.back(), *static_cast<TzelMemTable*>(membri.Objects(i))))
                daRiscrivere = true;
        }
        if (daRiscrivere)
            chiuso = RiscriviDocumento(documento, cartellaEstrazione, membri, letti, formato,
                                       cartellaModelli);
    } catch (const std::exception&) {
        eliminaEstratti();
        return false;
    }
    eliminaEstratti();
    return true;
}

} // namespace

bool AggiornaFileTabella(TzelMemTable* corrente, const std::string& file,
                         TzelCustomStreamFormat* formato, bool /*flag*/)
{
    if (!FileExists(file))
        return false;
    TzelMemTable daFile(nullptr);
    daFile.LoadFromFileViaFormat(file, formato);
    if (corrente->Active() && StessaStruttura(daFile, *corrente)) {
        // What re-creating it from unchanged definitions would give: open and empty.
        corrente->EmptyTable();
        return false;
    }
    return AggiornaTabellaLetta(daFile, corrente, file, formato, TAtomicCommit::Flushed);
}

void AggiornaFileTabelle(const std::string& maschera, TzelMemTable* corrente,
                         TzelCustomStreamFormat* formato, bool flag)
{
    const std::unique_ptr<TStringList> file = ElencoFile(maschera);
    for (int i = 0; i < file->Count(); ++i)
        AggiornaFileTabella(corrente, file->Strings(i), formato, flag);
}

int IntegraCampiVecchi(TzelMemTable* daFile, TzelMemTable* corrente)
{
    int aggiunte = 0;
    TFieldDefs& vecchie = daFile->FieldDefs();
    TFieldDefs& correnti = corrente->FieldDefs();
    for (int i = 0; i < vecchie.Count(); ++i) {
        const TFieldDef* vecchia = vecchie.Items(i);
        try {
            if (correnti.IndexOf(vecchia->Name()) >= 0)
                continue;
            correnti.Add(vecchia->Name(), vecchia->DataType(), vecchia->Size(), vecchia->Required());
            ++aggiunte;
        } catch (const std::exception& e) {
            MOSTRA_ERRORE(e.what(), e, 1);
        }
    }
    return aggiunte;
}

int ConvertiFileDocumenti(const std::string& maschera, const std::string& cartellaEstrazione,
                          const TStrings& membri, TzelCustomStreamFormat* formato,
                          const std::string& cartellaModelli, TStrings& registro)
{
    const std::unique_ptr<TStringList> documenti = ElencoFile(maschera);
    int convertiti = 0;
    for (int i = 0; i < documenti->Count(); ++i) {
        const std::string documento = documenti->Strings(i);
        // The templates take the layouts of the first document of the list only.
        bool chiuso = true;
        if (!ConvertiDocumento(documento, cartellaEstrazione, membri, formato,
                               i == 0 ? cartellaModelli : std::string(), chiuso)) {
            registro.Add("Impossibile aprire il file '" + documento + "'.");
            continue;
        }
        if (!chiuso)
            registro.Add("Impossibile chiudere il file '" + documento + "'.");
        ++convertiti;
    }
    return convertiti;
}

int AggiornaFileDocumenti(const std::string& maschera, const std::string& cartellaEstrazione,
                          const TStrings& membri, TzelCustomStreamFormat* formato, bool /*flag*/,
                          const std::string& cartellaModelli)
{
    TStringList registro;
    // A log that cannot be written stops the run before a document changes.
    ScriviRegistroImportazione(registro);
    const int convertiti =
        ConvertiFileDocumenti(maschera, cartellaEstrazione, membri, formato, cartellaModelli, registro);
    ScriviRegistroImportazione(registro);
    return convertiti;
}

void ScriviRegistroImportazione(const TStrings& registro)
{
    std::string testo;
    for (int i = 0; i < registro.Count(); ++i)
        testo += registro.Strings(i) + "\r\n";
    WriteFileAtomically(FileRegistroImportazione(), testo);
}

void AggiornaDefinizioneCampo(TzelMemTable* destinazione, const TFieldDef& definizione)
{
    TFieldDef* omonima = destinazione->FieldDefs().Find(definizione.Name());
    omonima->SetDataType(definizione.DataType());
    omonima->SetPrecision(definizione.Precision());
    omonima->SetRequired(definizione.Required());
    omonima->SetSize(definizione.Size());
}

void AggiungiCampiUtente(TzelMemTable* origine, TzelMemTable* destinazione, const TStrings& nomi)
{
    std::vector<const TFieldDef*> definizioni;
    for (int i = 0; i < nomi.Count(); ++i)
        definizioni.push_back(origine->FieldDefs().Find(PREFISSO_CAMPI_UTENTE + nomi.Strings(i)));
    // The records wait in a copy while the target is re-created with the new definitions.
    const std::unique_ptr<TzelMemTable> copia = TabellaCome(destinazione);
    CopiaRecordPerValore(destinazione, copia.get());
    TAspettoCampi aspetto(destinazione);
    destinazione->Close();
    TFieldDefs& arrivo = destinazione->FieldDefs();
    for (const TFieldDef* definizione : definizioni) {
        if (arrivo.IndexOf(definizione->Name()) >= 0)
            AggiornaDefinizioneCampo(destinazione, *definizione);
        else
            arrivo.Add(definizione->Name(), definizione->DataType(), definizione->Size(),
                       definizione->Required());
    }
    aspetto.Ricrea(destinazione);
    CopiaRecordPerValore(copia.get(), destinazione);
    destinazione->First();
}

// --- ZIP helpers for file lists ----------------------------------------------------------------

bool EstraiFiles(const std::string& archivio, const TStrings& files, const std::string& cartella,
                 bool messaggio)
{
    std::vector<std::string> estratti;
    return EstraiFilesIn(archivio, files, cartella, messaggio, estratti);
}

bool ComprimiFiles(const std::string& archivio, const TStrings& files, const std::string& /*cartella*/,
                   bool eliminaDopo, bool messaggio)
{
    const std::string temporaneo = NomeTemporaneoAccanto(archivio);
    try {
        std::vector<std::string> segnalazioni;
        bool completo = true;
        for (int i = 0; i < files.Count(); ++i) {
            if (!FileExists(files.Strings(i))) {
                segnalazioni.push_back(archivio + ": manca il file " + files.Strings(i));
                completo = false;
            }
        }
        // Moving a new archive over a read-only one would replace what the user protected.
        if (FileExists(archivio) && (FileGetAttr(archivio) & faReadOnly) != 0) {
            segnalazioni.push_back(archivio + ": il file \xE8 di sola lettura");
            completo = false;
        }
        if (completo) {
            TZip zip(nullptr);
            zip.SetArcName(temporaneo);
            zip.Files()->Clear();
            for (int i = 0; i < files.Count(); ++i)
                zip.Files()->Add(files.Strings(i));
            zip.Overwrite = true;
            zip.OnError = [&](TObject*, const std::string& testo) {
                segnalazioni.push_back(archivio + ": " + testo);
            };
            completo = zip.Compress() &&
                       MoveFileExA(temporaneo.c_str(), archivio.c_str(), MOVEFILE_REPLACE_EXISTING);
        }
        if (completo) {
            if (eliminaDopo)
                CancellaFile(files);
            return true;
        }
        DeleteFile(temporaneo);
        RegistraSegnalazioniArchivio(segnalazioni);
    } catch (const std::exception& e) {
        DeleteFile(temporaneo);
        MOSTRA_ERRORE("", e, 1);
    }
    if (messaggio)
        MessageBoxA(nullptr, "Impossibile comprimere il file.", "Errore compressione",
                    MB_OK | MB_ICONERROR);
    return false;
}
