// Table files through the binary format, with the program's own layouts: the start-up load of
// customers, articles, notes and ten yearly registers with their sorts, saving all of them, and
// one customer file alone. The files are generated once into a temporary data folder.

#include "tablestore/zelMemBinaryStreamFormat.h"
#include "tablestore/zelMemTable.h"

#include "platform/rtl/DateTime.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <random>

namespace {

namespace fs = std::filesystem;

constexpr int FormatCustomerRows = 20000;
constexpr int ArticleRows = 20000;
constexpr int NoteRows = 2000;
constexpr int RegisterRows = 5000;
constexpr int RegisterCount = 10;

struct FormatFieldSpec {
    const char* name;
    TFieldType type;
    int size;
};

const std::vector<FormatFieldSpec> FormatCustomerFields = {
    {"Denominazione", ftString, 128}, {"CodiceFiscale", ftString, 24},
    {"PartitaIVA", ftString, 24},     {"Indirizzo", ftString, 128},
    {"Citta", ftString, 32},          {"CAP", ftString, 5},
    {"Provincia", ftString, 2},       {"Stato", ftString, 16},
    {"Telefono", ftString, 24},       {"TelefonoAlternativo", ftString, 24},
    {"Fax", ftString, 24},            {"IndirizzoMail", ftString, 64},
    {"BancaAppoggio", ftString, 128}, {"Destinazione", ftString, 1024}};

const std::vector<FormatFieldSpec> ArticleFields = {
    {"Nome", ftString, 64},        {"Descrizione", ftString, 1024},
    {"Descrittivo", ftBoolean, 0}, {"Misura", ftString, 4},
    {"Prezzo", ftFloat, 0},        {"ScontoPercentuale", ftBoolean, 0},
    {"Sconto", ftFloat, 0},        {"CodiceIva", ftString, 16},
    {"IVA", ftFloat, 0},           {"Ivato", ftBoolean, 0},
    {"DicituraIva", ftString, 128}, {"NoContributi", ftBoolean, 0},
    {"NoRitenuta", ftBoolean, 0},  {"NoRitenutaEnasarco", ftBoolean, 0}};

const std::vector<FormatFieldSpec> NoteFields = {
    {"Appunto", ftString, 128},   {"MemoAppunto", ftString, 2048}, {"Priorita", ftInteger, 0},
    {"DataScadenza", ftDate, 0},  {"OraScadenza", ftTime, 0},      {"Allarme", ftBoolean, 0},
    {"OrePreavviso", ftInteger, 0}, {"MinutiPreavviso", ftInteger, 0}};

const std::vector<FormatFieldSpec> RegisterFields = {
    {"Fattura", ftInteger, 0},         {"Modificatore", ftString, 5},
    {"Data", ftDate, 0},               {"Denominazione", ftString, 128},
    {"Aliquota", ftFloat, 0},          {"IVA", ftFloat, 0},
    {"Ritenuta", ftFloat, 0},          {"ImportoTotale", ftFloat, 0},
    {"ScontoTotale", ftFloat, 0},      {"AliquotaTotale", ftFloat, 0},
    {"IVATotale", ftFloat, 0},         {"RitenutaTotale", ftFloat, 0},
    {"RitenutaEnasarcoTotale", ftFloat, 0}, {"DataScadenza", ftDate, 0},
    {"Pagato", ftBoolean, 0},          {"DataPagamento", ftDate, 0},
    {"Tipologia", ftString, 2},        {"Protetta", ftBoolean, 0}};

std::string FormatRandomText(std::mt19937& random, int length)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ\xE0\xE8\xE9";
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof letters) - 2);
    std::string text(static_cast<std::size_t>(length), ' ');
    for (char& c : text)
        c = letters[pick(random)];
    return text;
}

// Fills every field of each row with a value of its type; texts are random, the long ones
// (size 1024 and more) about 100 characters on average.
void Fill(TzelMemTable& table, int rows, std::mt19937& random)
{
    std::exponential_distribution<double> longLength(1.0 / 100);
    std::uniform_int_distribution<int> shortLength(3, 20);
    std::uniform_real_distribution<double> amount(0, 10000);
    for (int row = 0; row < rows; ++row) {
        table.Append();
        for (int i = 0; i < table.FieldCount(); ++i) {
            TField* field = table.Fields().Fields(i);
            switch (field->DataType()) {
            case ftString: {
                int length = field->Size() >= 1024
                                 ? std::min(static_cast<int>(longLength(random)), field->Size())
                                 : std::min(shortLength(random), field->Size());
                field->SetAsString(FormatRandomText(random, length));
                break;
            }
            case ftInteger:
                field->SetAsInteger(row);
                break;
            case ftFloat:
                field->SetAsFloat(amount(random));
                break;
            case ftBoolean:
                field->SetAsBoolean(row % 3 == 0);
                break;
            case ftDate:
                field->SetAsDateTime(EncodeDate(2020, 1, 1) + row % 365);
                break;
            case ftTime:
                field->SetAsDateTime((row % 96) / 96.0);
                break;
            default:
                break;
            }
        }
        table.Post();
    }
}

struct TableFile {
    std::string path;
    std::string sortFields;
    std::unique_ptr<TzelMemTable> table;
};

// The generated data folder with its tables, loaded once; removed at exit.
class DataFolder {
public:
    DataFolder()
    {
        FFolder = fs::temp_directory_path() / ("tess-format-bench-" + std::to_string(::getpid()));
        fs::create_directories(FFolder / "Data");
        std::mt19937 random(42);
        TzelBinaryStreamFormat format(nullptr);
        Add(format, random, "Clienti.DAT", "Denominazione", FormatCustomerFields, FormatCustomerRows);
        Add(format, random, "Articoli.DAT", "Nome", ArticleFields, ArticleRows);
        Add(format, random, "Appunti.DAT", "DataScadenza", NoteFields, NoteRows);
        for (int year = 0; year < RegisterCount; ++year)
            Add(format, random, "Fatture" + std::to_string(2015 + year) + ".DAT", "Fattura",
                RegisterFields, RegisterRows, true);
    }
    ~DataFolder() { fs::remove_all(FFolder); }

    std::vector<TableFile> Files;

private:
    void Add(TzelBinaryStreamFormat& format, std::mt19937& random, const std::string& name,
             const std::string& sortFields, const std::vector<FormatFieldSpec>& fields, int rows,
             bool withIndex = false)
    {
        auto table = std::make_unique<TzelMemTable>(nullptr);
        for (const FormatFieldSpec& field : fields)
            table->FieldDefs().Add(field.name, field.type, field.size);
        if (withIndex)
            table->IndexDefs().Add("TabellaFattureIndex0", "Tipologia", {});
        table->CreateTable();
        table->Open();
        Fill(*table, rows, random);
        const std::string path = (FFolder / "Data" / name).string();
        table->SaveToFileViaFormat(path, &format);
        Files.push_back({path, sortFields, std::move(table)});
    }

    fs::path FFolder;
};

DataFolder& Folder()
{
    static DataFolder folder;
    return folder;
}

void BM_StartupLoadAndSort(benchmark::State& state)
{
    DataFolder& folder = Folder();
    TzelBinaryStreamFormat format(nullptr);
    for (auto _ : state) {
        for (TableFile& file : folder.Files) {
            file.table->EmptyTable();
            file.table->LoadFromFileViaFormat(file.path, &format);
            file.table->SortOn(file.sortFields, {});
        }
    }
}
BENCHMARK(BM_StartupLoadAndSort)->Unit(benchmark::kMillisecond);

void BM_SaveAll(benchmark::State& state)
{
    DataFolder& folder = Folder();
    TzelBinaryStreamFormat format(nullptr);
    for (auto _ : state) {
        for (TableFile& file : folder.Files)
            file.table->SaveToFileViaFormat(file.path, &format);
    }
}
BENCHMARK(BM_SaveAll)->Unit(benchmark::kMillisecond);

void BM_CustomerLoad(benchmark::State& state)
{
    TableFile& customers = Folder().Files[0];
    TzelBinaryStreamFormat format(nullptr);
    for (auto _ : state) {
        customers.table->EmptyTable();
        customers.table->LoadFromFileViaFormat(customers.path, &format);
    }
    state.counters["rows"] = customers.table->RecordCount();
}
BENCHMARK(BM_CustomerLoad)->Unit(benchmark::kMillisecond);

void BM_CustomerSave(benchmark::State& state)
{
    TableFile& customers = Folder().Files[0];
    TzelBinaryStreamFormat format(nullptr);
    for (auto _ : state)
        customers.table->SaveToFileViaFormat(customers.path, &format);
}
BENCHMARK(BM_CustomerSave)->Unit(benchmark::kMillisecond);

} // namespace
