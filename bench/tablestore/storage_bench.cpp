// The record storage and the value comparison: storing the customer table's records, reusing
// free slots, and comparing names with and without the locale's collation.

#include "tablestore/zelCommon.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

namespace {

// The least of a table the storage needs: definitions, field objects and no events.
class BenchTable : public TDataSet, public TzelStorageClient {
public:
    BenchTable() : TDataSet(nullptr) {}

    void Define(const std::vector<std::pair<std::string, int>>& texts)
    {
        for (const auto& [name, size] : texts)
            FieldDefs().Add(name, ftString, size);
        for (int i = 0; i < FieldDefs().Count(); ++i)
            FieldDefs().Items(i)->CreateField(this);
        BindFields(true);
    }

    TFieldDefs* ClientFieldDefs() override { return &FieldDefs(); }
    TField* ClientFieldByNumber(int fieldNo) override { return Fields().FieldByNumber(fieldNo); }
    int ClientCalcFieldsSize() override { return CalcFieldsSize(); }
    bool ClientSetupField(TField*, std::uint8_t&) override { return false; }
    bool ClientCompressField(TField*, const char*, int, std::string&) override { return false; }
    bool ClientDecompressField(TField*, const char*, int, std::string&) override { return false; }
    bool ClientCompareFields(const void*, const void*, TFieldType, TzelMemTableCompareOptions,
                             bool&, int&) override
    {
        return false;
    }
    bool ClientIsOpen() override { return false; }
    bool ClientIsBrowsing() override { return true; }
    void ClientClose() override {}
    void ClientRefresh() override {}
    void ClientResync() override {}
    void ClientEmptyTable() override {}
    void ClientRebuildIndexes() override {}
    void ClientMarkIndexesDirty() override {}
    void ClientClearIndexes() override {}
    void ClientUpdateIndexes() override {}
    void ClientReflectToIndexes(TzelIndexUpdateHow, TzelRecord*, TzelRecord*, int) override {}
    void ClientSetAttachIndex(int) override {}
    void ClientStorageDestroyed() override {}

protected:
    TRecordBuffer AllocRecordBuffer() override { return nullptr; }
    void FreeRecordBuffer(TRecordBuffer& buffer) override { buffer = nullptr; }
    void GetBookmarkData(TRecordBuffer, void*) override {}
    TBookmarkFlag GetBookmarkFlag(TRecordBuffer) override { return bfCurrent; }
    void SetBookmarkFlag(TRecordBuffer, TBookmarkFlag) override {}
    void SetBookmarkData(TRecordBuffer, const void*) override {}
    TGetResult GetRecord(TRecordBuffer, TGetMode, bool) override { return grEOF; }
    void InternalAddRecord(TRecordBuffer, bool) override {}
    void InternalClose() override {}
    void InternalDelete() override {}
    void InternalFirst() override {}
    void InternalGotoBookmark(const TBookmark&) override {}
    void InternalInitFieldDefs() override {}
    void InternalInitRecord(TRecordBuffer) override {}
    void InternalLast() override {}
    void InternalOpen() override {}
    void InternalSetToRecord(TRecordBuffer) override {}
    bool IsCursorOpen() override { return false; }
};

const std::vector<std::pair<std::string, int>> StorageCustomerFields = {
    {"Denominazione", 128}, {"CodiceFiscale", 24}, {"PartitaIVA", 24}, {"Indirizzo", 128},
    {"Citta", 32},          {"CAP", 5},            {"Provincia", 2},   {"Stato", 16},
    {"Telefono", 24},       {"TelefonoAlternativo", 24}, {"Fax", 24}, {"IndirizzoMail", 64},
    {"BancaAppoggio", 128}, {"Destinazione", 1024}};

const std::vector<std::string> CustomerValues = {
    "Rossi Mario Costruzioni S.r.l.", "RSSMRA70A01H501U", "01234567890", "Via Garibaldi 12",
    "Roma", "00100", "RM", "Italia", "06 1234567", "333 1234567", "06 7654321",
    "info@rossicostruzioni.it", "Banca Popolare di Sondrio", "Magazzino di Via Appia Nuova 1024, Roma"};

// Italian surnames and company names of 10 to 40 characters, one in ten with an accented letter.
std::vector<std::string> MakeNames(int count, unsigned randomSeed)
{
    const char* surnames[] = {"Rossi", "Russo", "Ferrari", "Esposito", "Bianchi", "Romano",
                              "Colombo", "Ricci", "Marino", "Greco", "Bruno", "Gallo", "Conti",
                              "De Luca", "Mancini", "Costa", "Giordano", "Rizzo", "Lombardi",
                              "Moretti"};
    const char* names[] = {"Mario", "Giuseppe", "Anna", "Francesca", "Luca", "Giovanni",
                           "Chiara", "Paolo", "Sara", "Marco"};
    const char* companies[] = {" S.r.l.", " S.p.A.", " & C. s.n.c.", " Costruzioni",
                               " Trasporti", " Impianti Elettrici", " Studio Associato"};
    const char accented[] = {'\xE0', '\xE8', '\xE9', '\xEC', '\xF2', '\xF9'};
    std::mt19937 random(randomSeed);
    std::vector<std::string> result;
    while (static_cast<int>(result.size()) < count) {
        std::string name = std::string(surnames[random() % 20]) + " " + names[random() % 10];
        if (random() % 2)
            name += companies[random() % 7];
        if (name.size() < 10 || name.size() > 40)
            continue;
        if (random() % 10 == 0)
            name[name.size() / 2] = accented[random() % 6];
        result.push_back(name);
    }
    return result;
}

void CompareNames(benchmark::State& state, TzelMemTableCompareOptions options)
{
    const std::vector<std::string> names = MakeNames(4096, 7);
    std::vector<char> buffers;
    std::vector<const char*> values;
    for (const std::string& name : names)
        values.push_back(name.c_str());
    for (auto _ : state) {
        int sum = 0;
        bool full = true;
        for (int i = 0; i < 1000000; ++i)
            sum += CompareFields(values[i & 4095], values[(i * 7 + 1) & 4095], ftString, full,
                                 options, 1024);
        benchmark::DoNotOptimize(sum);
    }
}

void BM_CompareFieldsLocale(benchmark::State& state)
{
    CompareNames(state, {});
}
BENCHMARK(BM_CompareFieldsLocale)->Unit(benchmark::kMillisecond);

void BM_CompareFieldsIgnoreLocale(benchmark::State& state)
{
    CompareNames(state, {mtcoIgnoreLocale});
}
BENCHMARK(BM_CompareFieldsIgnoreLocale)->Unit(benchmark::kMillisecond);

constexpr int RecordCount = 100000;

TzelRecord* FilledRecord(TzelCommon& storage)
{
    TzelRecord* record = storage._InternalAllocRecord();
    for (int fieldNo = 1; fieldNo <= 14; ++fieldNo) {
        char* slot = storage.GetFieldPointer(record, fieldNo);
        const std::string& value = CustomerValues[static_cast<std::size_t>(fieldNo - 1)];
        slot[0] = 2;
        std::memcpy(slot + 1, value.c_str(), value.size() + 1);
    }
    return record;
}

void BM_StoreCustomerRecords(benchmark::State& state)
{
    BenchTable table;
    table.Define(StorageCustomerFields);
    for (auto _ : state) {
        state.PauseTiming();
        auto storage = std::make_unique<TzelCommon>(&table);
        storage->LayoutRecord();
        state.ResumeTiming();
        for (int i = 0; i < RecordCount; ++i)
            storage->AppendRecord(FilledRecord(*storage));
        state.PauseTiming();
        storage.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StoreCustomerRecords)->Unit(benchmark::kMillisecond);

void BM_DeleteAllAndStoreAgain(benchmark::State& state)
{
    BenchTable table;
    table.Define(StorageCustomerFields);
    TzelCommon storage(&table);
    storage.LayoutRecord();
    for (int i = 0; i < RecordCount; ++i)
        storage.AppendRecord(FilledRecord(storage));
    for (auto _ : state) {
        for (int i = 0; i < RecordCount; ++i)
            storage._InternalDeleteRecord(storage.Records(i));
        for (int i = 0; i < RecordCount; ++i)
            storage.AppendRecord(FilledRecord(storage));
    }
}
BENCHMARK(BM_DeleteAllAndStoreAgain)->Unit(benchmark::kMillisecond);

} // namespace
