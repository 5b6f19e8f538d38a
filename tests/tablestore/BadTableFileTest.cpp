// Damaged table files: each load succeeds or fails with one of the known messages, nothing is
// read out of bounds, and the table is usable afterwards.

#include "FormatTestSupport.h"
#include "MemTableTestSupport.h"

#include "tablestore/Filer.h"

#include <chrono>
#include <future>

namespace {

const char* const AllowedMessages[] = {
    "Stream read error",
    "Invalid stream format",
    "Invalid property value",
    "Unknown field type (",
    "Field name missing",
    "Duplicate index name '",
    "Couldnt determine field count for load.",
    "Too many fielddefs. Please raise ZEL_MAX_FIELDS value.",
    "Duplicate field name '",
    "Field '",
    "Can't index on field ",
    "Missing Name or FieldNames in IndexDef!",
    "Duplicate index value. Operation aborted.",
};

bool IsAllowed(const std::string& message)
{
    for (const char* allowed : AllowedMessages)
        if (message.rfind(allowed, 0) == 0)
            return true;
    return false;
}

// Writes a version-251 file through the value writer: definitions as (name, type, size), one
// index definition, and the records written by writeRecords.
std::string BuildFile(const std::vector<std::tuple<std::string, std::string, int>>& fields,
                      const std::vector<std::pair<std::string, std::string>>& indexes,
                      const std::function<void(TWriter&)>& writeRecords, bool uniqueIndexes = false)
{
    TMemoryStream stream;
    {
        TWriter writer(&stream, 16384);
        writer.WriteSignature();
        writer.WriteInteger(251);
        writer.WriteListBegin();
        for (const auto& [name, type, size] : fields) {
            writer.WriteString(name);
            writer.WriteString(type);
            writer.WriteInteger(size);
            writer.WriteString(name);
            writer.WriteString("");
            writer.WriteInteger(10);
            writer.WriteBoolean(false);
            writer.WriteBoolean(false);
            writer.WriteString("Data");
            writer.WriteString("");
        }
        writer.WriteListEnd();
        writer.WriteListBegin();
        for (const auto& [name, fieldNames] : indexes) {
            writer.WriteString(name);
            writer.WriteString(fieldNames);
            writer.WriteString(name);
            writer.WriteBoolean(false);
            writer.WriteBoolean(false);
            writer.WriteBoolean(false);
            writer.WriteBoolean(uniqueIndexes);
        }
        writer.WriteListEnd();
        writer.WriteListBegin();
        writeRecords(writer);
        writer.WriteListEnd();
        writer.FlushBuffer();
    }
    return StreamBytes(stream);
}

// One field of every storable type, an index on the text, two records.
std::string AllTypesFile()
{
    const std::vector<std::tuple<std::string, std::string, int>> fields = {
        {"S", "String", 8},      {"SI", "SmallInt", 0}, {"I", "Integer", 0},
        {"W", "Word", 0},        {"B", "Boolean", 0},   {"F", "Float", 0},
        {"C", "Currency", 0},    {"D", "BCD", 4},       {"DA", "Date", 0},
        {"T", "Time", 0},        {"DT", "DateTime", 0}, {"BY", "Bytes", 4},
        {"VB", "VarBytes", 4},   {"AI", "AutoInc", 0},  {"BL", "Blob", 0},
        {"M", "Memo", 0},        {"G", "Graphic", 0},   {"FM", "FmtMemo", 0},
        {"PO", "ParadoxOle", 0}, {"DO", "dBaseOle", 0}, {"TB", "TypedBinary", 0},
    };
    return BuildFile(fields, {{"PerTesto", "S"}}, [](TWriter& w) {
        for (int row = 0; row < 2; ++row) {
            w.WriteListBegin();
            w.WriteInteger(0);
            w.WriteBoolean(false);
            w.WriteString(row ? "riga" : "prima");
            for (int v : {-5, 123456, 40000}) {
                w.WriteBoolean(false);
                w.WriteInteger(v);
            }
            w.WriteBoolean(false);
            w.WriteBoolean(true);
            for (double v : {1.5, 2.25, 3.125, 39880.0, 0.25, 39880.5}) {
                w.WriteBoolean(false);
                w.WriteFloat(v);
            }
            w.WriteBoolean(false);
            w.WriteString("abcd");
            w.WriteBoolean(false);
            w.WriteString(std::string("\x02\x00xy\0\0", 6));
            w.WriteBoolean(false);
            w.WriteInteger(row + 1);
            for (int blob = 0; blob < 7; ++blob) {
                w.WriteBoolean(row == 1 && blob % 2 == 1);
                if (!(row == 1 && blob % 2 == 1))
                    w.WriteString(std::string(static_cast<std::size_t>(blob * 40), 'x'));
            }
            w.WriteListEnd();
        }
    });
}

std::string Replace(std::string bytes, const std::string& from, const std::string& to)
{
    const std::size_t at = bytes.find(from);
    EXPECT_NE(at, std::string::npos) << ToHex(from);
    if (at != std::string::npos)
        bytes.replace(at, from.size(), to);
    return bytes;
}

std::vector<std::pair<std::string, std::string>> Corpus()
{
    std::vector<std::pair<std::string, std::string>> corpus;
    const std::string example = FromHex(ExampleHex);
    const std::string allTypes = AllTypesFile();
    for (std::size_t n = 0; n < example.size(); ++n)
        corpus.emplace_back("example cut at " + std::to_string(n), example.substr(0, n));
    for (std::size_t n = 0; n < allTypes.size(); ++n)
        corpus.emplace_back("all types cut at " + std::to_string(n), allTypes.substr(0, n));
    for (std::size_t i = 0; i < example.size(); ++i)
        for (int bit = 0; bit < 8; ++bit) {
            std::string flipped = example;
            flipped[i] = static_cast<char>(flipped[i] ^ (1 << bit));
            corpus.emplace_back("flip " + std::to_string(i) + "." + std::to_string(bit), flipped);
        }
    const std::string ab = FromHex("06 02 41 62");
    corpus.emplace_back("long length FFFFFFFF",
                        Replace(example, ab, FromHex("0c ff ff ff ff 41 62")));
    corpus.emplace_back("long length FFFFFF7F",
                        Replace(example, ab, FromHex("0c ff ff ff 7f 41 62")));
    corpus.emplace_back("size -1", Replace(example, FromHex("02 05 06 04"), FromHex("02 ff 06 04")));
    const std::string stringType = FromHex("06 06") + "String";
    corpus.emplace_back("Cursor", Replace(example, stringType, FromHex("06 06") + "Cursor"));
    corpus.emplace_back("Unknown", Replace(example, stringType, FromHex("06 07") + "Unknown"));
    corpus.emplace_back("string", Replace(example, stringType, FromHex("06 06") + "string"));
    corpus.emplace_back("status 7",
                        Replace(example, FromHex("01 02 00 08 06"), FromHex("01 02 07 08 06")));
    corpus.emplace_back("signature", Replace(example, "TPF0", "TPFX"));
    corpus.emplace_back("empty name",
                        Replace(example, FromHex("06 04") + "Nome" + FromHex("06 06"),
                                FromHex("06 00 06 06")));
    std::vector<std::tuple<std::string, std::string, int>> many;
    for (int i = 0; i < 300; ++i)
        many.emplace_back("F" + std::to_string(i), "Integer", 0);
    corpus.emplace_back("300 fields", BuildFile(many, {}, [](TWriter&) {}));
    corpus.emplace_back("repeated index",
                        BuildFile({{"Nome", "String", 5}}, {{"Ix", "Nome"}, {"Ix", "Nome"}},
                                  [](TWriter&) {}));
    corpus.emplace_back("index on a missing field",
                        BuildFile({{"Nome", "String", 5}}, {{"Ix", "Altro"}}, [](TWriter&) {}));
    corpus.emplace_back("repeated field",
                        BuildFile({{"Nome", "String", 5}, {"nome", "Integer", 0}}, {},
                                  [](TWriter&) {}));
    return corpus;
}

void ExpectUsable(TzelMemTable& table)
{
    EXPECT_EQ(table.TableState(), mtstBrowse);
    EXPECT_TRUE(table.EnableIndexes());
    EXPECT_FALSE(table.IgnoreReadOnly());
    EXPECT_FALSE(table.IgnoreAutoIncPopulation());
    EXPECT_FALSE(table.ControlsDisabled());
    LoadBytes(table, FromHex(ExampleHex));
    EXPECT_EQ(RowsText(table), "Ab|300;<null>|-1;");
}

TEST(BadTableFiles, EveryDamagedFileFailsCleanly)
{
    TzelBinaryStreamFormat format(nullptr);
    int failures = 0;
    for (const auto& [name, bytes] : Corpus()) {
        for (bool withRows : {false, true}) {
            SCOPED_TRACE(name + (withRows ? " into rows" : " into a fresh table"));
            std::unique_ptr<TzelMemTable> table =
                withRows ? MakeExampleTable() : std::make_unique<TzelMemTable>(nullptr);
            try {
                LoadBytes(*table, bytes, format);
            } catch (const Exception& e) {
                ++failures;
                EXPECT_TRUE(IsAllowed(e.Message)) << e.ClassName() << ": " << e.Message;
            }
            ExpectUsable(*table);
            if (HasFailure())
                return;
        }
    }
    EXPECT_GT(failures, 0);
}

TEST(BadTableFiles, SpecificFilesGiveTheirMessages)
{
    struct Case {
        const char* name;
        const char* message;
    };
    const Case cases[] = {
        {"signature", "Invalid stream format"},
        {"Cursor", "Unknown field type (Cursor)"},
        {"Unknown", "Unknown field type (Unknown)"},
        {"string", "Unknown field type (string)"},
        {"size -1", "Invalid property value"},
        {"status 7", "Invalid property value"},
        {"long length FFFFFFFF", "Stream read error"},
        {"long length FFFFFF7F", "Stream read error"},
        {"empty name", "Field name missing"},
        {"300 fields", "Too many fielddefs. Please raise ZEL_MAX_FIELDS value."},
        {"repeated index", "Duplicate index name 'Ix'"},
        {"repeated field", "Duplicate field name 'nome'"},
        {"example cut at 0", "Stream read error"},
    };
    const auto corpus = Corpus();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto found = std::find_if(corpus.begin(), corpus.end(),
                                  [&](const auto& entry) { return entry.first == c.name; });
        ASSERT_NE(found, corpus.end());
        auto table = MakeExampleTable();
        table->SetPersistent(true);
        try {
            LoadBytes(*table, found->second);
            ADD_FAILURE() << "loaded";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, c.message);
        }
        auto locked = std::async(std::launch::async, [&] {
            table->Lock();
            table->Unlock();
        });
        EXPECT_EQ(locked.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        EXPECT_TRUE(table->Persistent());
        table->SetPersistent(false);
        ExpectUsable(*table);
    }
}

TEST(BadTableFiles, AllTypesFileLoadsWhole)
{
    TzelMemTable table(nullptr);
    LoadBytes(table, AllTypesFile());
    EXPECT_EQ(table.FieldCount(), 21);
    EXPECT_EQ(table.RecordCount(), 2);
    // Saved again and reloaded, the file gives the same bytes.
    const std::string saved = SaveBytes(table);
    TzelMemTable again(nullptr);
    LoadBytes(again, saved);
    EXPECT_EQ(ToHex(SaveBytes(again)), ToHex(saved));
}

TEST(BadTableFiles, TooManyFieldObjectsAreRefusedBeforeTheLock)
{
    TzelMemTable table(nullptr);
    for (int i = 0; i < ZEL_MAX_FIELDS; ++i)
        table.FieldDefs().Add("F" + std::to_string(i), ftInteger);
    table.CreateTable();
    TField* extra = DefaultFieldClass(ftInteger)(&table);
    extra->SetFieldName("Calcolato");
    extra->SetFieldKind(fkCalculated);
    extra->SetDataSet(&table);
    table.Open();
    ExpectFailure([&] { SaveBytes(table); }, "EMemTableError",
                  "Too many fields. Please raise ZEL_MAX_FIELDS value.");
    ExpectFailure([&] { LoadBytes(table, FromHex(ExampleHex)); }, "EMemTableError",
                  "Too many fields. Please raise ZEL_MAX_FIELDS value.");
    EXPECT_EQ(table.TableState(), mtstBrowse);
    EXPECT_TRUE(table.Active());
    EXPECT_EQ(table.FieldCount(), ZEL_MAX_FIELDS + 1);
}

// Customers by code under a unique index; rows of (code, name), each with its update status.
std::string CustomersByCode(const std::vector<std::tuple<std::string, std::string, int>>& rows)
{
    return BuildFile({{"CodiceCliente", "String", 10}, {"Denominazione", "String", 20}},
                     {{"IdxCodice", "CodiceCliente"}},
                     [&](TWriter& w) {
                         for (const auto& [code, name, status] : rows) {
                             w.WriteListBegin();
                             w.WriteInteger(status);
                             w.WriteBoolean(false);
                             w.WriteString(code);
                             w.WriteBoolean(false);
                             w.WriteString(name);
                             w.WriteListEnd();
                         }
                     },
                     true);
}

TEST(BadTableFiles, TwoRowsOfOneCodeUnderAUniqueIndexAreRefusedAsTheCsvLoadRefusesThem)
{
    const std::string damaged =
        CustomersByCode({{"C1", "Rossi", usUnmodified}, {"C2", "Bianchi", usUnmodified},
                         {"C1", "Verdi", usUnmodified}, {"C3", "Neri", usUnmodified}});
    for (bool intoRows : {false, true}) {
        SCOPED_TRACE(intoRows ? "into rows" : "into a fresh table");
        std::unique_ptr<TzelMemTable> table =
            intoRows ? MakeExampleTable() : std::make_unique<TzelMemTable>(nullptr);
        EXPECT_EQ(ErrorOf([&] { LoadBytes(*table, damaged); }),
                  "Duplicate index value. Operation aborted.");
        // As any load that fails part-way: the rows before the bad one, the table usable.
        EXPECT_EQ(RowsText(*table), "C1|Rossi;C2|Bianchi;");
        EXPECT_EQ(table->TableState(), mtstBrowse);
        EXPECT_TRUE(table->EnableIndexes());
        EXPECT_FALSE(table->ControlsDisabled());
        table->SetIndexName("IdxCodice");
        EXPECT_TRUE(table->Locate("CodiceCliente", Variant("C2"), {}));
        table->Append();
        table->FieldByName("CodiceCliente")->SetAsString("C1");
        EXPECT_EQ(ErrorOf([&] { table->Post(); }), "Duplicate index value. Operation aborted.");
        table->Cancel();
    }
}

} // namespace
