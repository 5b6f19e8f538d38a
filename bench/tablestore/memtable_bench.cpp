// The memory table on the customer table's layout (thirteen short texts and a long destination
// text of about 100 characters), row order only: appending, loading from a table file and freeing
// the loaded rows, scanning, counting through a record filter and going to bookmarks.

#include "tablestore/zelMemBinaryStreamFormat.h"
#include "tablestore/zelMemTable.h"

#include "platform/rtl/Streams.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

namespace {

constexpr int RowCount = 100000;

const std::vector<std::pair<std::string, int>> MemTableCustomerFields = {
    {"Denominazione", 128}, {"CodiceFiscale", 24}, {"PartitaIVA", 24},
    {"Indirizzo", 128},     {"Citta", 32},         {"CAP", 5},
    {"Provincia", 2},       {"Stato", 16},         {"Telefono", 24},
    {"TelefonoAlternativo", 24}, {"Fax", 24},      {"IndirizzoMail", 64},
    {"BancaAppoggio", 128}, {"Destinazione", 1024}};

std::unique_ptr<TzelMemTable> MakeCustomerTable()
{
    auto table = std::make_unique<TzelMemTable>(nullptr);
    for (const auto& [name, size] : MemTableCustomerFields)
        table->FieldDefs().Add(name, ftString, size);
    table->CreateTable();
    table->Open();
    return table;
}

void AppendCustomers(TzelMemTable& table, int count)
{
    std::vector<TField*> fields;
    for (int i = 0; i < table.FieldCount(); ++i)
        fields.push_back(table.Fields().Fields(i));
    const std::string destination(100, 'd');
    for (int row = 0; row < count; ++row) {
        table.Append();
        fields[0]->SetAsString("Cliente " + std::to_string(row));
        fields[1]->SetAsString("RSSMRA80A01H501U");
        fields[2]->SetAsString("01234567890");
        fields[3]->SetAsString("Via Roma 1");
        fields[4]->SetAsString("Milano");
        fields[5]->SetAsString("20100");
        fields[6]->SetAsString(row % 2 == 0 ? "MI" : "RM");
        fields[7]->SetAsString("Italia");
        fields[8]->SetAsString("02 1234567");
        fields[9]->SetAsString("333 1234567");
        fields[10]->SetAsString("02 7654321");
        fields[11]->SetAsString("cliente@example.com");
        fields[12]->SetAsString("Banca di Milano");
        fields[13]->SetAsString(destination);
        table.Post();
    }
}

TzelMemTable& FilledTable()
{
    static std::unique_ptr<TzelMemTable> table = [] {
        auto made = MakeCustomerTable();
        AppendCustomers(*made, RowCount);
        return made;
    }();
    return *table;
}

void BM_AppendAndPost(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto table = MakeCustomerTable();
        state.ResumeTiming();
        AppendCustomers(*table, RowCount);
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AppendAndPost)->Unit(benchmark::kMillisecond)->Iterations(3);

// The filled table saved once through the binary format, as the program keeps its tables.
const std::string& SavedCustomerFile()
{
    static const std::string bytes = [] {
        TzelBinaryStreamFormat format(nullptr);
        TMemoryStream stream;
        FilledTable().SaveToStreamViaFormat(&stream, &format);
        return std::string(stream.Memory(), static_cast<std::size_t>(stream.Size()));
    }();
    return bytes;
}

void LoadCustomerFile(TzelMemTable& table)
{
    const std::string& bytes = SavedCustomerFile();
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<int>(bytes.size()));
    stream.SetPosition(0);
    TzelBinaryStreamFormat format(nullptr);
    table.LoadFromStreamViaFormat(&stream, &format);
}

void BM_LoadCustomerFile(benchmark::State& state)
{
    SavedCustomerFile();
    for (auto _ : state) {
        state.PauseTiming();
        auto table = MakeCustomerTable();
        state.ResumeTiming();
        LoadCustomerFile(*table);
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
    state.counters["rows"] = RowCount;
}
BENCHMARK(BM_LoadCustomerFile)->Unit(benchmark::kMillisecond)->Iterations(5);

// Closing the loaded table, as closing the program does: every record and its memory goes.
void BM_FreeCustomerRows(benchmark::State& state)
{
    SavedCustomerFile();
    for (auto _ : state) {
        state.PauseTiming();
        auto table = MakeCustomerTable();
        LoadCustomerFile(*table);
        state.ResumeTiming();
        table->Close();
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
    state.counters["rows"] = RowCount;
}
BENCHMARK(BM_FreeCustomerRows)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ScanReadingThreeFields(benchmark::State& state)
{
    TzelMemTable& table = FilledTable();
    TField* name = table.FieldByName("Denominazione");
    TField* city = table.FieldByName("Citta");
    TField* destination = table.FieldByName("Destinazione");
    for (auto _ : state) {
        std::size_t total = 0;
        table.First();
        while (!table.Eof()) {
            total += name->AsString().size() + city->AsString().size() +
                     destination->AsString().size();
            table.Next();
        }
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_ScanReadingThreeFields)->Unit(benchmark::kMillisecond);

void BM_FilteredRecordCount(benchmark::State& state)
{
    TzelMemTable& table = FilledTable();
    TField* province = table.FieldByName("Provincia");
    table.OnFilterRecord = [province](TDataSet*, bool& accept) {
        accept = province->AsString() == "MI";
    };
    table.SetFiltered(true);
    for (auto _ : state)
        benchmark::DoNotOptimize(table.RecordCount());
    table.SetFiltered(false);
    table.OnFilterRecord = nullptr;
}
BENCHMARK(BM_FilteredRecordCount)->Unit(benchmark::kMillisecond);

void BM_GotoBookmark(benchmark::State& state)
{
    TzelMemTable& table = FilledTable();
    std::vector<TBookmark> bookmarks;
    table.First();
    for (int i = 0; i < 1000; ++i) {
        table.MoveBy(RowCount / 1000);
        bookmarks.push_back(table.GetBookmark());
    }
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> pick(0, bookmarks.size() - 1);
    for (auto _ : state) {
        for (int i = 0; i < RowCount; ++i)
            table.GotoBookmark(bookmarks[pick(random)]);
    }
}
BENCHMARK(BM_GotoBookmark)->Unit(benchmark::kMillisecond);

} // namespace
