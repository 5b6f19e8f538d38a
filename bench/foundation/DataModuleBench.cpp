// The data module's start-up and saves, and the data-set helpers, at the sizes of a large
// installation.

#include "bench/foundation/Installazione.h"
#include "foundation/Configurazione.h"
#include "foundation/DataModule.h"
#include "foundation/SupportDB.h"
#include "foundation/SupportFiles.h"
#include "foundation/SupportFormDB.h"
#include "foundation/Supporto.h"
#include "platform/db/DB.h"
#include "platform/os/MessageBox.h"
#include "tablestore/zelMemBinaryStreamFormat.h"
#include "tablestore/zelMemTable.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

void Riga(TDataSet& t, const std::vector<std::pair<const char*, std::string>>& valori)
{
    t.Append();
    for (const auto& [nome, valore] : valori)
        t.FieldByName(nome)->SetAsString(valore);
    t.Post();
}

void RiempiClienti(TDC& dc, int quanti)
{
    for (int i = 0; i < quanti; ++i)
        Riga(*dc.TabellaClienti,
             {{"Denominazione", "Cliente " + std::to_string((i * 7919) % quanti)},
              {"Citta", "Bologna"},
              {"Destinazione", i % 4 == 0 ? std::string(1 + i % 1024, 'd') : std::string()}});
}

// The large data folder of the start-up target, saved through the data module.
void PreparaDati(TInstallazione& installazione)
{
    auto dc = installazione.Avvia();
    RiempiClienti(*dc, 20000);
    for (int i = 0; i < 20000; ++i)
        Riga(*dc->TabellaArticoli, {{"Nome", "Art" + std::to_string((i * 7919) % 20000)},
                                    {"Descrizione", std::string(1 + i % 1024, 'a')},
                                    {"Prezzo", "12,5"}});
    for (int i = 0; i < 2000; ++i)
        Riga(*dc->TabellaAppunti, {{"Appunto", "Nota"}, {"DataScadenza", "01/02/2009"}});
    for (int i = 0; i < 5000; ++i)
        Riga(*dc->TabellaAltroFatture,
             {{"Tipologia", i % 2 ? "FT" : "PV"}, {"Fattura", std::to_string(i)}});
    for (int i = 0; i < 50; ++i)
        Riga(*dc->TabellaUnitaMisura, {{"Unita", "u" + std::to_string(i)}});
    for (int i = 0; i < 20; ++i)
        Riga(*dc->TabellaAliquoteIva, {{"CodiceIva", std::to_string(i)}, {"IVA", "22"}});
    const std::pair<TzelMemTable*, const char*> tabelle[] = {
        {dc->TabellaClienti, "Clienti"},         {dc->TabellaArticoli, "Articoli"},
        {dc->TabellaAppunti, "Appunti"},         {dc->TabellaAltroFatture, "AltroFatture"},
        {dc->TabellaUnitaMisura, "UnitaMisura"}, {dc->TabellaAliquoteIva, "AliquoteIva"}};
    for (const auto& [tabella, nome] : tabelle)
        dc->SalvaTabella(tabella, "Data", nome);
    dc->SalvaTabella(dc->TabellaStampaArticoli, "TableSamples", "StampaArticoli");
    dc->TabellaArticoliInFattura->SaveToFileViaFormat(dc->PercorsoDati + "TableSamples\\Articoli.aft",
                                                      dc->SaveFormat);
    dc->TabellaClienteInFattura->SaveToFileViaFormat(dc->PercorsoDati + "TableSamples\\Cliente.cft",
                                                     dc->SaveFormat);
}

void BM_AvvioModuloDati(benchmark::State& state)
{
    TInstallazione installazione;
    PreparaDati(installazione);
    for (auto _ : state) {
        auto dc = installazione.Avvia();
        benchmark::DoNotOptimize(dc->TabellaClienti->RecordCount());
    }
}
BENCHMARK(BM_AvvioModuloDati)->Unit(benchmark::kMillisecond);

void BM_SalvaTabellaClienti(benchmark::State& state)
{
    TInstallazione installazione;
    auto dc = installazione.Avvia();
    RiempiClienti(*dc, 20000);
    for (auto _ : state)
        dc->SalvaTabella(dc->TabellaClienti, "Data", "Clienti");
}
BENCHMARK(BM_SalvaTabellaClienti)->Unit(benchmark::kMillisecond);

void BM_CopyRecordByFieldName(benchmark::State& state)
{
    TInstallazione installazione;
    auto dc = installazione.Avvia();
    RiempiClienti(*dc, 20000);
    for (auto _ : state)
        benchmark::DoNotOptimize(CopyRecordByFieldName(dc->TabellaClienti, dc->TabellaClienteInFattura));
}
BENCHMARK(BM_CopyRecordByFieldName)->Unit(benchmark::kMillisecond);

// 100,000 rows for the list and search helpers.
std::unique_ptr<TzelMemTable> TabellaGrande()
{
    auto t = std::make_unique<TzelMemTable>(nullptr);
    t->FieldDefs().Add("Codice", ftString, 16);
    t->FieldDefs().Add("Descrizione", ftString, 64);
    t->CreateTable();
    t->Open();
    for (int i = 0; i < 100000; ++i)
        Riga(*t, {{"Codice", std::to_string(i)}, {"Descrizione", "Voce numero " + std::to_string(i)}});
    return t;
}

void BM_ValoriCampo(benchmark::State& state)
{
    auto t = TabellaGrande();
    for (auto _ : state)
        benchmark::DoNotOptimize(ValoriCampo(t.get(), "Descrizione"));
}
BENCHMARK(BM_ValoriCampo)->Unit(benchmark::kMillisecond);

void BM_ElencoChiaveDescrizione(benchmark::State& state)
{
    auto t = TabellaGrande();
    for (auto _ : state)
        benchmark::DoNotOptimize(ElencoChiaveDescrizione(t.get(), "Codice", "Descrizione"));
}
BENCHMARK(BM_ElencoChiaveDescrizione)->Unit(benchmark::kMillisecond);

// The searched text is in the last row, so each call scans the whole table.
void BM_LocalizzaRecordParziale(benchmark::State& state)
{
    auto t = TabellaGrande();
    for (auto _ : state) {
        t->First();
        benchmark::DoNotOptimize(LocalizzaRecordParziale(t.get(), "Descrizione", "voce numero 99999"));
    }
}
BENCHMARK(BM_LocalizzaRecordParziale)->Unit(benchmark::kMillisecond);

} // namespace
