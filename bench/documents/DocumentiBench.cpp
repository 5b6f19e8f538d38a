// Amounts, print data, document files and the yearly register on documents of realistic size.

#include "documents/CalcolaImporti.h"
#include "documents/CaricaFattura.h"
#include "documents/DatiStampa.h"
#include "documents/DocumentoEsterno.h"
#include "foundation/Configurazione.h"
#include "foundation/ContabilitaTools.h"
#include "foundation/DataModule.h"
#include "foundation/SupportFiles.h"
#include "platform/os/MessageBox.h"
#include "platform/os/RegistryStore.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Variants.h"
#include "tablestore/zelMemBinaryStreamFormat.h"
#include "tablestore/zelMemTable.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace fs = std::filesystem;

namespace {

// A program folder and a data folder with the data module created on them.
class TAmbiente {
public:
    TAmbiente()
    {
        std::string modello = (fs::temp_directory_path() / "bench-documenti-XXXXXX").string();
        FRadice = mkdtemp(modello.data());
        fs::create_directories(FRadice + "/programma");
        fs::create_directories(FRadice + "/dati");
        ImpostaCartellaApplicazione(FRadice + "/programma/");
        SetRegistryFile(FRadice + "/programma/registry.reg");
        InizializzaConfigurazione("Ventisca\\Tessellarium", 1);
        ScriviImpostazione("Ventisca,Tessellarium,Versioning", "Database", "3.0.18");
        ScriviImpostazione("Ventisca,Tessellarium,Percorsi", "SharedPath", FRadice + "/dati/");
        SetMessageBoxHandler([](HWND, const std::string&, const std::string&, UINT) { return IDOK; });
        FModulo = std::make_unique<TDC>(nullptr, std::vector<std::string>{"TESSELLARIUM_USBPEN:Chiavetta"});
        FModulo->DCCreate(FModulo.get());
        ImpostaDecimali(2);
        ArchivioDocumenti().ImpostaTipoDocumento("FATTURE");
    }
    ~TAmbiente()
    {
        FModulo.reset();
        SetRegistryFile("");
        ImpostaCartellaApplicazione("");
        std::error_code ignorato;
        fs::remove_all(FRadice, ignorato);
    }
    std::string Dati(const std::string& relativo) const { return FRadice + "/dati/" + relativo; }

private:
    std::string FRadice;
    std::unique_ptr<TDC> FModulo;
};

void Documento(int righe, int chiavi)
{
    TzelMemTable* testata = DC->TabellaClienteInFattura;
    testata->EmptyTable();
    testata->Append();
    testata->FieldByName("Denominazione")->SetAsString("Rossi Srl");
    testata->FieldByName("Tipologia")->SetAsString("FT");
    testata->FieldByName("Aliquota")->SetAsFloat(4);
    testata->FieldByName("IvaSuContributi")->SetAsBoolean(true);
    testata->FieldByName("Ritenuta")->SetAsFloat(20);
    testata->FieldByName("RitenutaSul")->SetAsFloat(100);
    testata->FieldByName("ContributiCorpoFattura")->SetAsBoolean(true);
    testata->FieldByName("Dicitura")->SetAsString("Contributo INPS");
    testata->FieldByName("Numero")->SetAsInteger(1);
    testata->Post();
    TzelMemTable* linee = DC->TabellaArticoliInFattura;
    linee->EmptyTable();
    for (int i = 0; i < righe; ++i) {
        linee->Append();
        linee->FieldByName("Nome")->SetAsString("Articolo " + std::to_string(i));
        linee->FieldByName("Descrizione")->SetAsString("Descrizione dell'articolo numero " + std::to_string(i));
        linee->FieldByName("Quantita")->SetAsFloat(1 + i % 7);
        linee->FieldByName("Prezzo")->SetAsFloat(10.5 + i % 100);
        linee->FieldByName("Sconto")->SetAsFloat(i % 3 == 0 ? 10 : 0);
        linee->FieldByName("ScontoPercentuale")->SetAsBoolean(true);
        linee->FieldByName("IVA")->SetAsFloat(i % chiavi);
        linee->FieldByName("CodiceIva")->SetAsString("C" + std::to_string(i % chiavi));
        linee->FieldByName("DicituraIva")->SetAsString("Aliquota numero " + std::to_string(i % chiavi));
        linee->FieldByName("Valuta")->SetAsString("\x80.");
        linee->Post();
    }
}

void BM_CalcolaTotali(benchmark::State& state)
{
    TAmbiente ambiente;
    Documento(5000, 50);
    for (auto _ : state) {
        TAggregazioneImporti importi;
        TStringList calcolo;
        CalcolaTotali(importi, calcolo);
        benchmark::DoNotOptimize(importi.IvaTotale);
        LiberaCalcolo(calcolo);
    }
}
BENCHMARK(BM_CalcolaTotali)->Unit(benchmark::kMillisecond);

void BM_DatiStampa(benchmark::State& state)
{
    TAmbiente ambiente;
    Documento(500, 10);
    TStringList variabili;
    for (auto _ : state) {
        PreparaStampaArticoli();
        AggiornaTotaliStampa(variabili);
    }
}
BENCHMARK(BM_DatiStampa)->Unit(benchmark::kMillisecond);

void BM_SalvaECaricaFattura(benchmark::State& state)
{
    TAmbiente ambiente;
    const int righe = static_cast<int>(state.range(0));
    Documento(righe, 5);
    const std::string file = ambiente.Dati("FT/Doc1 - Rossi Srl (5-3-2009).tsd");
    for (auto _ : state) {
        ArchivioDocumenti().SalvaFattura(2009, 3, "Rossi Srl", "", 1, 5);
        if (!ArchivioDocumenti().CaricaFattura(1, "", EncodeDate(2009, 3, 5), "Rossi Srl"))
            state.SkipWithError("load failed");
    }
    state.counters["bytes"] = static_cast<double>(fs::file_size(file));
}
BENCHMARK(BM_SalvaECaricaFattura)->Arg(1)->Arg(100)->Arg(5000)->Unit(benchmark::kMillisecond);

constexpr int RIGHE_REGISTRO = 10000;

std::string NomeRegistrato(int numero)
{
    return ArchivioDocumenti().NomeFileFattura(numero, "", "Cliente " + std::to_string(numero % 97),
                                               EncodeDate(2030, 1, 1) + numero % 300);
}

// The register FT2030 of 10,000 rows with a small file for each document.
void Registro(const TAmbiente& ambiente, bool conFile)
{
    TzelMemTable* registro = DC->TabellaFatture;
    registro->EmptyTable();
    for (int numero = RIGHE_REGISTRO; numero >= 1; --numero) {
        registro->Append();
        registro->FieldByName("Fattura")->SetAsInteger(numero);
        registro->FieldByName("Modificatore")->SetAsString("");
        registro->FieldByName("Data")->SetAsDateTime(EncodeDate(2030, 1, 1) + numero % 300);
        registro->FieldByName("Denominazione")->SetAsString("Cliente " + std::to_string(numero % 97));
        registro->FieldByName("ImportoTotale")->SetAsFloat(numero * 1.5);
        registro->FieldByName("Tipologia")->SetAsString("FT");
        registro->Post();
    }
    ArchivioDocumenti().SalvaElencoFatture(2030);
    if (!conFile)
        return;
    fs::remove_all(ambiente.Dati("FT"));
    fs::create_directories(ambiente.Dati("FT"));
    for (int numero = 1; numero <= RIGHE_REGISTRO; ++numero)
        std::ofstream(ambiente.Dati("FT/" + NomeRegistrato(numero) + ".tsd")) << numero;
}

void BM_CaricaElencoFatture(benchmark::State& state)
{
    TAmbiente ambiente;
    Registro(ambiente, false);
    for (auto _ : state)
        ArchivioDocumenti().CaricaElencoFatture("2030");
}
BENCHMARK(BM_CaricaElencoFatture)->Unit(benchmark::kMillisecond);

void BM_SelezionaFattura(benchmark::State& state)
{
    TAmbiente ambiente;
    Registro(ambiente, false);
    ArchivioDocumenti().CaricaElencoFatture("2030");
    int numero = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ArchivioDocumenti().SelezionaFattura(numero, ""));
        numero = numero % RIGHE_REGISTRO + 7;
    }
}
BENCHMARK(BM_SelezionaFattura)->Unit(benchmark::kMicrosecond);

void BM_EliminaFatturaRinumerando(benchmark::State& state)
{
    TAmbiente ambiente;
    for (auto _ : state) {
        Registro(ambiente, true);
        ArchivioDocumenti().CaricaElencoFatture("2030");
        const auto inizio = std::chrono::steady_clock::now();
        if (!ArchivioDocumenti().EliminaFattura(1, "", true))
            state.SkipWithError("delete failed");
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - inizio).count());
    }
}
BENCHMARK(BM_EliminaFatturaRinumerando)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// The same 9,999 renames done by python3's os.rename, timed inside the script.
void BM_RinominePython(benchmark::State& state)
{
    TAmbiente ambiente;
    const std::string script = ambiente.Dati("rinomina.py");
    std::ofstream(script) << "import os, sys, time\n"
                             "d = sys.argv[1]\n"
                             "names = [l.rstrip('\\n') for l in open(sys.argv[2], encoding='utf-8')]\n"
                             "t = time.perf_counter()\n"
                             "for i in range(1, len(names)):\n"
                             "    os.rename(os.path.join(d, names[i]), os.path.join(d, names[i - 1] + '.x'))\n"
                             "print(time.perf_counter() - t)\n";
    const std::string elenco = ambiente.Dati("nomi.txt");
    {
        std::ofstream nomi(elenco);
        for (int numero = 1; numero <= RIGHE_REGISTRO; ++numero)
            nomi << NomeRegistrato(numero) << ".tsd\n";
    }
    for (auto _ : state) {
        Registro(ambiente, true);
        const std::string comando =
            "python3 '" + script + "' '" + ambiente.Dati("FT") + "' '" + elenco + "'";
        FILE* tubo = popen(comando.c_str(), "r");
        double secondi = 0;
        if (tubo == nullptr || fscanf(tubo, "%lf", &secondi) != 1)
            state.SkipWithError("python3 failed");
        if (tubo != nullptr)
            pclose(tubo);
        state.SetIterationTime(secondi);
    }
}
BENCHMARK(BM_RinominePython)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// A 100-line document handed over by another program as a lines file and a header file, imported
// and confirmed; every run adds the next number to the register of 2009.
void BM_ImportaEConfermaDocumentoEsterno(benchmark::State& state)
{
    TAmbiente ambiente;
    Documento(100, 5);
    TzelMemTable* testata = DC->TabellaClienteInFattura;
    testata->Edit();
    testata->FieldByName("Data")->SetAsDateTime(EncodeDate(2009, 6, 10));
    testata->Post();
    const std::string righe = ambiente.Dati("righe.aft");
    const std::string intestazione = ambiente.Dati("testata.cft");
    DC->TabellaArticoliInFattura->SaveToFileViaFormat(righe, DC->SaveFormat);
    testata->SaveToFileViaFormat(intestazione, DC->SaveFormat);
    const std::string richiesta = "\"" + righe + "%$%" + intestazione + "\"";
    for (auto _ : state) {
        ArchivioDocumenti().ImportaFatturaEsterna(richiesta);
        ConfermaDocumento("Normale", -1, "");
    }
    if (DC->TabellaArticoliInFattura->RecordCount() != 100)
        state.SkipWithError("the document lost lines");
}
BENCHMARK(BM_ImportaEConfermaDocumentoEsterno)->Unit(benchmark::kMillisecond);

} // namespace
