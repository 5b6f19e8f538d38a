// Bringing a data folder to the current layouts: the start-up upgrade of a large folder with
// nothing to rewrite, the conversion of documents that all need a rewrite (beside a shell loop of
// unzip and zip over the same documents) and the upgrade of a large customer file.

#include "bench/foundation/Installazione.h"
#include "foundation/DataModule.h"
#include "foundation/ExceptMessage.h"
#include "foundation/SupportFiles.h"
#include "foundation/Supporto.h"
#include "platform/db/DB.h"
#include "platform/os/MessageBox.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Lists.h"
#include "tablestore/zelMemBinaryStreamFormat.h"
#include "tablestore/zelMemTable.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// An installation with the data module started on it; the module goes first.
class TCartellaDaAggiornare {
public:
    TCartellaDaAggiornare() : Modulo(Installazione.Avvia()) {}

    // The native path of a file of the data folder given as "FT\x.tsd".
    std::string NeiDati(const std::string& relativo) const
    {
        return ResolvePath(Modulo->PercorsoDati + relativo);
    }

    TInstallazione Installazione;
    std::unique_ptr<TDC> Modulo;
};

// A scratch table with the definitions of another, without one of them.
std::unique_ptr<TzelMemTable> TabellaSenza(TzelMemTable& modello, const std::string& senza)
{
    auto tabella = std::make_unique<TzelMemTable>(nullptr);
    for (int i = 0; i < modello.FieldDefs().Count(); ++i) {
        const TFieldDef* d = modello.FieldDefs().Items(i);
        if (d->Name() != senza)
            tabella->FieldDefs().Add(d->Name(), d->DataType(), d->Size(), d->Required());
    }
    tabella->CreateTable();
    tabella->Open();
    return tabella;
}

// One document of 20 lines, packed as the program packs it; its lines lack "NoRitenutaEnasarco"
// when vecchio.
void ScriviDocumento(TDC& dc, const std::string& documento, bool vecchio)
{
    const std::string cartella = dc.PercorsoDati + "Preparazione\\";
    ForceDirectoriesOrRaise(cartella);
    auto righe = TabellaSenza(*dc.TabellaArticoliInFattura, vecchio ? "NoRitenutaEnasarco" : "");
    for (int i = 0; i < 20; ++i) {
        righe->Append();
        righe->FieldByName("Nome")->SetAsString("Articolo " + std::to_string(i));
        righe->FieldByName("Descrizione")->SetAsString("Descrizione dell'articolo " + std::to_string(i));
        righe->FieldByName("Prezzo")->SetAsFloat(10.25 * i);
        righe->FieldByName("Quantita")->SetAsFloat(1 + i % 4);
        righe->Post();
    }
    auto testata = TabellaSenza(*dc.TabellaClienteInFattura, "");
    testata->Append();
    testata->FieldByName("Denominazione")->SetAsString("Rossi Srl");
    testata->Post();
    TStringList membri;
    membri.Add(cartella + "Articoli.aft");
    membri.Add(cartella + "Cliente.cft");
    righe->SaveToFileViaFormat(membri.Strings(0), dc.SaveFormat);
    testata->SaveToFileViaFormat(membri.Strings(1), dc.SaveFormat);
    ForceDirectoriesOrRaise(ExtractFilePath(documento));
    if (!ComprimiFiles(documento, membri, "", true, false))
        RAISE(EInOutError("Impossibile preparare " + documento));
}

// Copies of one document under the names of a series folder.
void CopiaDocumento(TCartellaDaAggiornare& cartella, const std::string& documento,
                    const std::string& serie, int quanti)
{
    fs::create_directories(cartella.NeiDati(serie));
    for (int i = 1; i <= quanti; ++i)
        fs::copy_file(documento,
                      cartella.NeiDati(serie) + "/Doc" + std::to_string(i) + " - Rossi Srl (5-3-2009).tsd",
                      fs::copy_options::overwrite_existing);
}

void BM_AggiornaTabelleSenzaRiscritture(benchmark::State& state)
{
    TCartellaDaAggiornare cartella;
    TDC& dc = *cartella.Modulo;
    for (int i = 0; i < 2000; ++i) {
        dc.TabellaClienti->Append();
        dc.TabellaClienti->FieldByName("Denominazione")->SetAsString("Cliente " + std::to_string(i));
        dc.TabellaClienti->Post();
    }
    const std::pair<TzelMemTable*, const char*> tabelle[] = {
        {dc.TabellaClienti, "Clienti"},           {dc.TabellaArticoli, "Articoli"},
        {dc.TabellaAppunti, "Appunti"},           {dc.TabellaAltroFatture, "AltroFatture"},
        {dc.TabellaUnitaMisura, "UnitaMisura"},   {dc.TabellaAliquoteIva, "AliquoteIva"},
        {dc.TabellaContributi, "Contributi"},     {dc.TabellaDitta, "Ditta"},
        {dc.TabellaFatture, "FT2009"},            {dc.TabellaFatture, "PV2009"}};
    for (const auto& [tabella, nome] : tabelle)
        dc.SalvaTabella(tabella, "Data", nome);
    dc.SalvaTabella(dc.TabellaStampaArticoli, "TableSamples", "StampaArticoli");
    const std::string modello = dc.PercorsoDati + "Modello.tsd";
    ScriviDocumento(dc, modello, false);
    CopiaDocumento(cartella, ResolvePath(modello), "FT", 1000);
    CopiaDocumento(cartella, ResolvePath(modello), "PV", 500);
    CopiaDocumento(cartella, ResolvePath(modello), "DT", 500);
    for (auto _ : state) {
        TFormExceptMessage::AzzeraRapporti();
        dc.AggiornaTabelle();
        if (!TFormExceptMessage::RapportiRegistrati().empty())
            state.SkipWithError("the upgrade failed");
    }
}
BENCHMARK(BM_AggiornaTabelleSenzaRiscritture)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr int DOCUMENTI_DA_CONVERTIRE = 500;

// 500 documents that each need a rewrite, copied afresh into FT before every run.
class TDocumentiDaConvertire {
public:
    explicit TDocumentiDaConvertire(TCartellaDaAggiornare& cartella) : FCartella(cartella)
    {
        ScriviDocumento(*cartella.Modulo, cartella.Modulo->PercorsoDati + "Vecchio.tsd", true);
    }
    void Prepara()
    {
        fs::remove_all(FCartella.NeiDati("FT"));
        CopiaDocumento(FCartella, FCartella.NeiDati("Vecchio.tsd"), "FT", DOCUMENTI_DA_CONVERTIRE);
        ClearPathCache();
    }

private:
    TCartellaDaAggiornare& FCartella;
};

double SecondiDa(std::chrono::steady_clock::time_point inizio)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - inizio).count();
}

void BM_ConvertiDocumenti(benchmark::State& state)
{
    TCartellaDaAggiornare cartella;
    TDocumentiDaConvertire documenti(cartella);
    for (auto _ : state) {
        documenti.Prepara();
        const auto inizio = std::chrono::steady_clock::now();
        cartella.Modulo->ConvertiDocumenti();
        state.SetIterationTime(SecondiDa(inizio));
        if (fs::file_size(ResolvePath(SottocartellaApplicazione("logs") + "import.err")) != 0)
            state.SkipWithError("a document failed");
    }
}
BENCHMARK(BM_ConvertiDocumenti)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// The same documents unpacked and packed again by a shell loop of unzip and zip.
void BM_ConvertiDocumentiConUnzipEZip(benchmark::State& state)
{
    TCartellaDaAggiornare cartella;
    TDocumentiDaConvertire documenti(cartella);
    const std::string serie = cartella.NeiDati("FT");
    const std::string appoggio = cartella.NeiDati("Appoggio");
    fs::create_directories(appoggio);
    const std::string comando = "cd '" + serie + "' && for f in *.tsd; do unzip -o -q \"$f\" -d '" +
                                appoggio + "' && zip -q -j \"$f\" '" + appoggio + "/Articoli.aft' '" +
                                appoggio + "/Cliente.cft' || exit 1; done";
    for (auto _ : state) {
        documenti.Prepara();
        const auto inizio = std::chrono::steady_clock::now();
        const int esito = std::system(comando.c_str());
        state.SetIterationTime(SecondiDa(inizio));
        if (esito != 0)
            state.SkipWithError("unzip or zip failed");
    }
}
BENCHMARK(BM_ConvertiDocumentiConUnzipEZip)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// A customer file of 20,000 rows without "Destinazione", upgraded afresh in every run.
void BM_AggiornaFileTabellaClienti(benchmark::State& state)
{
    TCartellaDaAggiornare cartella;
    TDC& dc = *cartella.Modulo;
    auto vecchia = TabellaSenza(*dc.TabellaClienti, "Destinazione");
    for (int i = 0; i < 20000; ++i) {
        vecchia->Append();
        vecchia->FieldByName("Denominazione")->SetAsString("Cliente " + std::to_string((i * 7919) % 20000));
        vecchia->FieldByName("Citta")->SetAsString("Bologna");
        vecchia->FieldByName("Indirizzo")->SetAsString("Via Roma " + std::to_string(i));
        vecchia->Post();
    }
    const std::string originale = dc.PercorsoDati + "ClientiVecchi.dat";
    const std::string file = dc.PercorsoDati + "Data\\Clienti.dat";
    ForceDirectoriesOrRaise(dc.PercorsoDati + "Data\\");
    vecchia->SaveToFileViaFormat(originale, dc.SaveFormat);
    for (auto _ : state) {
        fs::copy_file(ResolvePath(originale), ResolvePath(file), fs::copy_options::overwrite_existing);
        TzelMemTable corrente(nullptr);
        corrente.CreateTableAs(dc.TabellaClienti, TzelMemTableCopyTableOptions());
        const auto inizio = std::chrono::steady_clock::now();
        const bool riscritto = AggiornaFileTabella(&corrente, file, dc.SaveFormat);
        state.SetIterationTime(SecondiDa(inizio));
        if (!riscritto || corrente.RecordCount() != 20000)
            state.SkipWithError("the file was not rewritten");
    }
}
BENCHMARK(BM_AggiornaFileTabellaClienti)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
