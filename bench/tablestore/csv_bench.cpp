// The CSV table format and the copies between tables on the customer layout: saving and loading
// 100 000 customers as CSV (beside Python's csv module reading and writing the same file),
// loading a table from another table, and updating 10 000 customers by key.

#include "tests/TestFixtures.h"
#include "tablestore/zelMemCSVStreamFormat.h"
#include "tablestore/zelMemTable.h"

#include "platform/rtl/Streams.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

namespace {

namespace fs = std::filesystem;

constexpr int CsvCustomerRows = 100000;
constexpr int UpdateRows = 10000;

struct CsvFieldSpec {
    const char* name;
    int size;
};

const CsvFieldSpec CsvCustomerFields[] = {
    {"Denominazione", 128}, {"CodiceFiscale", 24}, {"PartitaIVA", 24},
    {"Indirizzo", 128},     {"Citta", 32},         {"CAP", 5},
    {"Provincia", 2},       {"Stato", 16},         {"Telefono", 24},
    {"TelefonoAlternativo", 24}, {"Fax", 24},      {"IndirizzoMail", 64},
    {"BancaAppoggio", 128}, {"Destinazione", 1024}};

std::unique_ptr<TzelMemTable> EmptyCustomers()
{
    auto table = std::make_unique<TzelMemTable>(nullptr);
    for (const CsvFieldSpec& spec : CsvCustomerFields)
        table->FieldDefs().Add(spec.name, ftString, spec.size);
    table->CreateTable();
    table->Open();
    return table;
}

std::string CsvRandomText(std::mt19937& random, int length, bool special)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof letters) - 2);
    std::string text(static_cast<std::size_t>(length), ' ');
    for (char& c : text)
        c = letters[pick(random)];
    // Some values hold a comma, a quote or a line break.
    if (special && length > 10) {
        text[3] = ',';
        text[7] = '"';
        if (random() % 2) {
            text[9] = '\r';
            text[10] = '\n';
        }
    }
    return text;
}

// Customers "Cliente 000000" onwards; Destinazione about 100 characters.
std::unique_ptr<TzelMemTable> Customers(int rows, int firstKey, std::mt19937& random)
{
    auto table = EmptyCustomers();
    std::uniform_int_distribution<int> shortLength(3, 20);
    std::uniform_int_distribution<int> longLength(80, 120);
    char key[32];
    for (int row = 0; row < rows; ++row) {
        table->Append();
        std::snprintf(key, sizeof key, "Cliente %06d", firstKey + row);
        table->Fields().Fields(0)->SetAsString(key);
        for (int i = 1; i < table->FieldCount(); ++i) {
            TField* field = table->Fields().Fields(i);
            const bool special = random() % 10 == 0;
            const int length = field->Size() >= 1024 ? longLength(random)
                                                     : std::min(shortLength(random), field->Size());
            field->SetAsString(CsvRandomText(random, length, special));
        }
        table->Post();
    }
    return table;
}

TzelMemTable& SourceCustomers()
{
    static std::unique_ptr<TzelMemTable> table = [] {
        std::mt19937 random(42);
        return Customers(CsvCustomerRows, 0, random);
    }();
    return *table;
}

const std::string& SavedCustomers()
{
    static const std::string bytes = [] {
        TzelCSVStreamFormat format(nullptr);
        TMemoryStream stream;
        SourceCustomers().SaveToStreamViaFormat(&stream, &format);
        return std::string(stream.Memory(), static_cast<std::size_t>(stream.Size()));
    }();
    return bytes;
}

void BM_CsvSave(benchmark::State& state)
{
    TzelMemTable& table = SourceCustomers();
    TzelCSVStreamFormat format(nullptr);
    for (auto _ : state) {
        TMemoryStream stream;
        table.SaveToStreamViaFormat(&stream, &format);
        benchmark::DoNotOptimize(stream.Size());
    }
    state.counters["rows"] = CsvCustomerRows;
}
BENCHMARK(BM_CsvSave)->Unit(benchmark::kMillisecond);

void BM_CsvLoad(benchmark::State& state)
{
    const std::string& bytes = SavedCustomers();
    TzelCSVStreamFormat format(nullptr);
    for (auto _ : state) {
        state.PauseTiming();
        auto table = std::make_unique<TzelMemTable>(nullptr);
        TMemoryStream stream;
        stream.WriteBuffer(bytes.data(), static_cast<int>(bytes.size()));
        state.ResumeTiming();
        table->LoadFromStreamViaFormat(&stream, &format);
        benchmark::DoNotOptimize(table->RecordCount());
        // Freeing the records is not part of the load.
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
    state.counters["rows"] = CsvCustomerRows;
}
BENCHMARK(BM_CsvLoad)->Unit(benchmark::kMillisecond);

// The peer script beside this source file.
std::string PeerScript()
{
    return (fs::path(TestFixtureDir()) / "peers" / "csv_roundtrip.py").string();
}

// Our save and load of the file against Python's csv module reading it and writing it again.
void BM_CsvAgainstPython(benchmark::State& state)
{
    const fs::path folder =
        fs::temp_directory_path() / ("tess-csv-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string in = (folder / "in.csv").string();
    const std::string out = (folder / "out.csv").string();
    TzelCSVStreamFormat format(nullptr);
    double ours = 0;
    double python = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        SourceCustomers().SaveToFileViaFormat(in, &format);
        TzelMemTable table(nullptr);
        table.LoadFromFileViaFormat(in, &format);
        const auto middle = std::chrono::steady_clock::now();
        const std::string command = "python3 \"" + PeerScript() + "\" \"" + in + "\" \"" +
                                    out + "\"";
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("python3 csv_roundtrip.py failed");
        const auto end = std::chrono::steady_clock::now();
        ours += std::chrono::duration<double>(middle - start).count();
        python += std::chrono::duration<double>(end - middle).count();
    }
    fs::remove_all(folder);
    const double n = static_cast<double>(state.iterations());
    state.counters["ours_s"] = ours / n;
    state.counters["python_s"] = python / n;
    state.counters["ratio"] = python > 0 ? ours / python : 0;
}
BENCHMARK(BM_CsvAgainstPython)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LoadFromDataSet(benchmark::State& state)
{
    TzelMemTable& source = SourceCustomers();
    for (auto _ : state) {
        state.PauseTiming();
        auto table = EmptyCustomers();
        state.ResumeTiming();
        table->LoadFromDataSet(&source, {});
        benchmark::DoNotOptimize(table->RecordCount());
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
    state.counters["rows"] = CsvCustomerRows;
}
BENCHMARK(BM_LoadFromDataSet)->Unit(benchmark::kMillisecond)->Iterations(5);

// Half the source rows match a target row by Denominazione, half are new.
void BM_UpdateToDataSet(benchmark::State& state)
{
    std::mt19937 random(7);
    auto source = Customers(UpdateRows, UpdateRows / 2, random);
    for (auto _ : state) {
        state.PauseTiming();
        auto target = Customers(UpdateRows, 0, random);
        target->AddIndex("IdxDenominazione", "Denominazione", TIndexOptions());
        target->SetIndexName("IdxDenominazione");
        state.ResumeTiming();
        source->UpdateToDataSet(target.get(), "Denominazione", {mtufEdit, mtufAppend});
        benchmark::DoNotOptimize(target->RecordCount());
    }
    state.counters["rows"] = UpdateRows;
}
BENCHMARK(BM_UpdateToDataSet)->Unit(benchmark::kMillisecond);

} // namespace
