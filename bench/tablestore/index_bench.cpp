// Orders and searches of the memory table: SortOn on customer names beside a sort on ICU
// collation keys, SortOn on the yearly register, index maintenance while appending beside one
// rebuild afterwards, and Locate on a plain field and on the sorted field.

#include "platform/rtl/Codepage.h"
#include "tablestore/zelMemTable.h"

#include <benchmark/benchmark.h>
#include <unicode/ucol.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int CustomerCount = 100000;

// Italian customer names, people and companies, 10 to 40 characters; about one in ten carries
// an accented letter and one in twenty repeats an earlier name.
std::vector<std::string> CustomerNames()
{
    static const char* const surnames[] = {
        "Rossi", "Bianchi", "Esposito", "Romano", "Colombo", "Ricci", "Marino", "Greco",
        "Bruno", "Gallo", "Conti", "De Luca", "Mancini", "Costa", "Giordano", "Rizzo",
        "Lombardi", "Moretti", "Barbieri", "Fontana", "Santoro", "Mariani", "Rinaldi",
        "Caruso", "Ferrara", "Galli", "Martini", "Leone", "Longo", "Gentile", "D'Amico"};
    static const char* const names[] = {"Mario", "Luigi", "Giovanni", "Anna", "Giulia",
                                        "Francesca", "Paolo", "Marco", "Chiara", "Sara",
                                        "Alessandro", "Federica", "Stefano", "Elena"};
    static const char* const accented[] = {"Nicol\xF2", "Nin\xE0", "Andr\xE8", "Mos\xE8",
                                           "Citt\xE0", "Societ\xE0", "Perch\xE9"};
    static const char* const companies[] = {" S.r.l.", " S.p.A.", " & C. s.n.c.", " S.a.s.",
                                            " Trasporti", " Costruzioni S.r.l."};
    std::mt19937 random(2024);
    auto pick = [&random](auto& list) {
        return std::string(list[random() % (sizeof list / sizeof list[0])]);
    };
    std::vector<std::string> result;
    result.reserve(CustomerCount);
    while (static_cast<int>(result.size()) < CustomerCount) {
        if (!result.empty() && random() % 20 == 0) {
            result.push_back(result[random() % result.size()]);
            continue;
        }
        std::string name = pick(surnames) + " " + pick(names);
        if (random() % 10 == 0)
            name += " " + pick(accented);
        if (random() % 3 == 0)
            name += pick(companies);
        name += " " + std::to_string(random() % 1000);
        if (name.size() < 10)
            name += " Servizi";
        result.push_back(name.substr(0, 40));
    }
    return result;
}

std::unique_ptr<TzelMemTable> MakeCustomers(const std::vector<std::string>& names)
{
    auto table = std::make_unique<TzelMemTable>(nullptr);
    table->FieldDefs().Add("Denominazione", ftString, 128);
    table->FieldDefs().Add("Citta", ftString, 32);
    table->CreateTable();
    table->Open();
    TField* name = table->FieldByName("Denominazione");
    TField* city = table->FieldByName("Citta");
    for (const std::string& value : names) {
        table->Append();
        name->SetAsString(value);
        city->SetAsString("Milano");
        table->Post();
    }
    return table;
}

void BM_SortOnCustomerNames(benchmark::State& state)
{
    auto table = MakeCustomers(CustomerNames());
    for (auto _ : state)
        table->SortOn("Denominazione", {});
    state.SetItemsProcessed(state.iterations() * CustomerCount);
}
BENCHMARK(BM_SortOnCustomerNames)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same names to UTF-16, their Italian collation keys (as the locale comparison sets up its
// collator for the user's default locale) and a sort of the keys.
void BM_ReferenceCollationKeySort(benchmark::State& state)
{
    const std::vector<std::string> names = CustomerNames();
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open("it", &status);
    ucol_setAttribute(collator, UCOL_STRENGTH, UCOL_TERTIARY, &status);
    for (auto _ : state) {
        std::vector<std::string> keys;
        keys.reserve(names.size());
        std::u16string text;
        for (const std::string& name : names) {
            text = AnsiToUtf16(name);
            const auto* chars = reinterpret_cast<const UChar*>(text.data());
            const auto length = static_cast<int32_t>(text.size());
            std::string key(static_cast<std::size_t>(length) * 4 + 16, '\0');
            int32_t size = ucol_getSortKey(collator, chars, length,
                                           reinterpret_cast<uint8_t*>(key.data()),
                                           static_cast<int32_t>(key.size()));
            if (size > static_cast<int32_t>(key.size())) {
                key.resize(static_cast<std::size_t>(size));
                size = ucol_getSortKey(collator, chars, length,
                                       reinterpret_cast<uint8_t*>(key.data()), size);
            }
            key.resize(static_cast<std::size_t>(size));
            keys.push_back(std::move(key));
        }
        std::sort(keys.begin(), keys.end());
        benchmark::DoNotOptimize(keys.data());
    }
    ucol_close(collator);
    state.SetItemsProcessed(state.iterations() * CustomerCount);
}
BENCHMARK(BM_ReferenceCollationKeySort)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The yearly register's eighteen fields.
std::unique_ptr<TzelMemTable> MakeRegister(int rows)
{
    auto table = std::make_unique<TzelMemTable>(nullptr);
    TFieldDefs& defs = table->FieldDefs();
    defs.Add("Fattura", ftInteger);
    defs.Add("Modificatore", ftString, 5);
    defs.Add("Data", ftDate);
    defs.Add("Denominazione", ftString, 128);
    for (const char* name : {"Aliquota", "IVA", "Ritenuta", "ImportoTotale", "ScontoTotale",
                             "AliquotaTotale", "IVATotale", "RitenutaTotale",
                             "RitenutaEnasarcoTotale"})
        defs.Add(name, ftFloat);
    defs.Add("DataScadenza", ftDate);
    defs.Add("Pagato", ftBoolean);
    defs.Add("DataPagamento", ftDate);
    defs.Add("Tipologia", ftString, 2);
    defs.Add("Protetta", ftBoolean);
    table->CreateTable();
    table->Open();
    std::vector<int> numbers(static_cast<std::size_t>(rows));
    for (int i = 0; i < rows; ++i)
        numbers[static_cast<std::size_t>(i)] = i + 1;
    std::shuffle(numbers.begin(), numbers.end(), std::mt19937(5));
    static const char* const types[] = {"FT", "AC", "NA"};
    for (int i = 0; i < rows; ++i) {
        table->Append();
        table->FieldByName("Fattura")->SetAsInteger(numbers[static_cast<std::size_t>(i)]);
        table->FieldByName("Data")->SetAsFloat(45000 + i % 365);
        table->FieldByName("Denominazione")->SetAsString("Cliente " + std::to_string(i % 5000));
        table->FieldByName("ImportoTotale")->SetAsFloat(i * 1.25);
        table->FieldByName("Tipologia")->SetAsString(types[i % 3]);
        table->FieldByName("Pagato")->SetAsBoolean(i % 2 == 0);
        table->Post();
    }
    return table;
}

void BM_SortOnRegister(benchmark::State& state)
{
    auto table = MakeRegister(100000);
    for (auto _ : state)
        table->SortOn("Tipologia;Fattura", {});
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_SortOnRegister)->Unit(benchmark::kMillisecond)->MinTime(2.0);

constexpr int MaintenanceRows = 20000;

void AppendPriced(TzelMemTable& table)
{
    TField* name = table.FieldByName("Nome");
    TField* price = table.FieldByName("Prezzo");
    TField* code = table.FieldByName("Codice");
    std::mt19937 random(9);
    for (int i = 0; i < MaintenanceRows; ++i) {
        table.Append();
        name->SetAsString("Articolo " + std::to_string(random() % 5000));
        price->SetAsFloat(static_cast<double>(random() % 100000) / 100);
        code->SetAsInteger(i);
        table.Post();
    }
}

std::unique_ptr<TzelMemTable> MakePriced()
{
    auto table = std::make_unique<TzelMemTable>(nullptr);
    table->FieldDefs().Add("Nome", ftString, 40);
    table->FieldDefs().Add("Prezzo", ftFloat);
    table->FieldDefs().Add("Codice", ftInteger);
    table->CreateTable();
    table->IndexDefs().Add("IdxNome", "Nome", {});
    table->IndexDefs().Add("IdxPrezzo", "Prezzo", {});
    table->Open();
    return table;
}

// Every append placed in both sorted indexes as it is posted.
void BM_AppendsWithTwoSortedIndexes(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto table = MakePriced();
        state.ResumeTiming();
        AppendPriced(*table);
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AppendsWithTwoSortedIndexes)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same appends with maintenance off, then one rebuild.
void BM_AppendsThenOneUpdateIndexes(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto table = MakePriced();
        state.ResumeTiming();
        table->SetEnableIndexes(false);
        AppendPriced(*table);
        table->SetEnableIndexes(true);
        table->UpdateIndexes();
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AppendsThenOneUpdateIndexes)->Unit(benchmark::kMillisecond)->MinTime(2.0);

constexpr int LocateRows = 20000;

std::unique_ptr<TzelMemTable> MakeLocateTable()
{
    auto table = std::make_unique<TzelMemTable>(nullptr);
    table->FieldDefs().Add("Testo", ftString, 128);
    table->CreateTable();
    table->Open();
    TField* text = table->FieldByName("Testo");
    for (int i = 0; i < LocateRows; ++i) {
        table->Append();
        text->SetAsString((i == LocateRows - 1 ? "Zucchero " : "Articolo ") +
                          std::to_string(i));
        table->Post();
    }
    table->First();
    return table;
}

// Case-insensitive partial Locate whose only match is the last row, on an unindexed field.
void BM_LocateUnindexedLastRow(benchmark::State& state)
{
    auto table = MakeLocateTable();
    const Variant key("zucch");
    for (auto _ : state) {
        if (!table->Locate("Testo", key, {loCaseInsensitive, loPartialKey}))
            state.SkipWithError("not found");
        table->First();
    }
}
BENCHMARK(BM_LocateUnindexedLastRow)->Unit(benchmark::kMillisecond);

// Exact Locate on the field of the active SortOn index.
void BM_LocateOnSortedField(benchmark::State& state)
{
    auto table = MakeLocateTable();
    table->SortOn("Testo", {});
    std::mt19937 random(4);
    std::vector<Variant> keys;
    for (int i = 0; i < 64; ++i)
        keys.emplace_back("Articolo " + std::to_string(random() % (LocateRows - 1)));
    std::size_t next = 0;
    for (auto _ : state) {
        if (!table->Locate("Testo", keys[next++ % keys.size()], {}))
            state.SkipWithError("not found");
    }
}
BENCHMARK(BM_LocateOnSortedField)->Unit(benchmark::kMicrosecond);

} // namespace
