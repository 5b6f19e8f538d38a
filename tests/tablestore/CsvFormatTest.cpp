// The CSV table format: exact bytes, codings, reading rules, options, neutral settings, bad
// input and a round trip over every storable type.

#include "tablestore/zelMemCSVStreamFormat.h"

#include "FormatTestSupport.h"

#include "platform/db/StdFields.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/FormatSettings.h"
#include "platform/rtl/Formats.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace {

const char* const ExampleCsv = "\"@@FILE VERSION@@\",\"251\"\r\n"
                               "\"@@TABLEDEF START@@\"\r\n"
                               "\"Nome=String,5,\"\"Nome\"\",\"\"\"\",5,Data\"\r\n"
                               "\"Numero=Integer,0,\"\"Numero\"\",\"\"\"\",10,Data\"\r\n"
                               "\"@@INDEXDEF START@@\"\r\n"
                               "\"@@INDEXDEF END@@\"\r\n"
                               "\"@@TABLEDEF END@@\"\r\n"
                               "\"Nome\",\"Numero\",\r\n"
                               "\"Ab\",\"300\",\r\n"
                               ",\"-1\",\r\n";

// The data module's settings: no quotes, ';' for both delimiters, no definitions.
void UseModuleOptions(TzelCSVStreamFormat& format)
{
    format.SetCSVQuote('\0');
    format.SetCSVFieldDelimiter(';');
    format.SetCSVRecordDelimiter(';');
    format.sfDef = {};
    format.sfIndexDef = {};
}

std::string SaveCsv(TzelCustomMemTable& table, TzelCSVStreamFormat& format)
{
    return SaveBytes(table, format);
}

std::string SaveCsv(TzelCustomMemTable& table)
{
    TzelCSVStreamFormat format(nullptr);
    return SaveBytes(table, format);
}

void LoadCsv(TzelCustomMemTable& table, const std::string& bytes, TzelCSVStreamFormat& format)
{
    LoadBytes(table, bytes, format);
}

void LoadCsv(TzelCustomMemTable& table, const std::string& bytes)
{
    TzelCSVStreamFormat format(nullptr);
    LoadBytes(table, bytes, format);
}

std::unique_ptr<TzelMemTable> MakeTable(
    const std::vector<std::tuple<std::string, TFieldType, int>>& fields)
{
    auto table = std::make_unique<TzelMemTable>(nullptr);
    for (const auto& [name, type, size] : fields)
        table->FieldDefs().Add(name, type, size);
    table->CreateTable();
    table->Open();
    return table;
}

std::string TempPath(const std::string& name)
{
    return (std::filesystem::temp_directory_path() /
            ("t6csv-" + std::to_string(::getpid()) + "-" + name))
        .string();
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string RunCommand(const std::string& command)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return output;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    pclose(pipe);
    return output;
}

} // namespace

// --- Exact bytes ---------------------------------------------------------------------------------

TEST(CsvFormat, ExampleTableBytesReadByPythonAndLoadedBack)
{
    auto table = MakeExampleTable();
    const std::string bytes = SaveCsv(*table);
    EXPECT_EQ(bytes, ExampleCsv);
    EXPECT_EQ(bytes.size(), 231u);

    const std::string path = TempPath("example.csv");
    WriteFile(path, bytes);
    const std::string parsed = RunCommand(
        "python3 -c \"import csv,sys; print(list(csv.reader(open(sys.argv[1], newline=''))))\" " +
        path);
    EXPECT_EQ(parsed, "[['@@FILE VERSION@@', '251'], ['@@TABLEDEF START@@'], "
                      "['Nome=String,5,\"Nome\",\"\",5,Data'], "
                      "['Numero=Integer,0,\"Numero\",\"\",10,Data'], ['@@INDEXDEF START@@'], "
                      "['@@INDEXDEF END@@'], ['@@TABLEDEF END@@'], ['Nome', 'Numero', ''], "
                      "['Ab', '300', ''], ['', '-1', '']]\n");
    std::remove(path.c_str());

    TzelMemTable fresh(nullptr);
    LoadCsv(fresh, bytes);
    ASSERT_EQ(fresh.FieldCount(), 2);
    EXPECT_EQ(fresh.Fields().Fields(0)->DataType(), ftString);
    EXPECT_EQ(fresh.Fields().Fields(0)->Size(), 5);
    EXPECT_EQ(fresh.Fields().Fields(1)->DataType(), ftInteger);
    EXPECT_EQ(RowsText(fresh), "Ab|300;<null>|-1;");
    EXPECT_EQ(SaveCsv(fresh), ExampleCsv);
}

TEST(CsvFormat, ModuleOptionsWriteBareValues)
{
    auto table = MakeExampleTable();
    TzelCSVStreamFormat format(nullptr);
    UseModuleOptions(format);
    const std::string bytes = SaveCsv(*table, format);
    EXPECT_EQ(bytes, "Nome;Numero;\r\nAb;300;\r\n;-1;\r\n");

    auto target = MakeExampleTable(false);
    LoadCsv(*target, bytes, format);
    EXPECT_EQ(RowsText(*target), "Ab|300;<null>|-1;");
}

TEST(CsvFormat, IndexAndFlaggedFieldDefinitionLines)
{
    auto table = MakeExampleTable();
    table->Close();
    table->FieldDefs().Add("Codice", ftInteger, 0, true);
    table->IndexDefs().Add("IdxNome", "Nome", TIndexOptions{ixDescending, ixUnique});
    table->CreateTable();
    table->Open();
    table->FieldByName("Codice")->SetReadOnly(true);
    const std::string bytes = SaveCsv(*table);
    EXPECT_NE(bytes.find("\r\n\"IdxNome=\"\"Nome\"\",IdxNome,DESC,UNIQ\"\r\n"), std::string::npos)
        << bytes;
    EXPECT_NE(bytes.find("\r\n\"Codice=Integer,0,\"\"Codice\"\",\"\"\"\",10,REQ,RO,Data\"\r\n"),
              std::string::npos)
        << bytes;

    TzelMemTable fresh(nullptr);
    LoadCsv(fresh, bytes);
    ASSERT_EQ(fresh.IndexDefs().Count(), 1);
    TIndexDef* def = fresh.IndexDefs().Items(0);
    EXPECT_EQ(def->Name(), "IdxNome");
    EXPECT_EQ(def->Fields(), "Nome");
    EXPECT_EQ(def->Options(), (TIndexOptions{ixDescending, ixUnique}));
    TField* codice = fresh.FieldByName("Codice");
    EXPECT_TRUE(codice->Required());
    EXPECT_TRUE(codice->ReadOnly());
}

// --- Codings -------------------------------------------------------------------------------------

TEST(CsvCoding, CodedText)
{
    const struct {
        std::string plain, coded;
    } cases[] = {{"a%\r\nb", "a%%%c%nb"},
                 {std::string("\0", 1), "%0"},
                 {"100%", "100%%"},
                 {"", ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(StringToCodedString(c.plain), c.coded);
        EXPECT_EQ(CodedStringToString(c.coded), c.plain);
    }
    EXPECT_EQ(CodedStringToString("a%xb"), "axb");
    EXPECT_EQ(CodedStringToString("ab%"), "ab");
}

TEST(CsvCoding, SixBitText)
{
    const struct {
        std::string hex, text;
    } cases[] = {{"616263", "A)V8"},      {"00", "  "},       {"01", "! "},
                 {"ffffff", "____"},      {"00ff", " \\/"}, {"000102030405", " $@ #00!"},
                 {"", ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(StringToBase64(FromHex(c.hex)), c.text) << c.hex;
        EXPECT_EQ(ToHex(Base64ToString(c.text)), c.hex) << c.text;
    }
    std::mt19937 random(7);
    for (std::size_t n = 0; n < 40; ++n) {
        std::string bytes(n, '\0');
        for (char& b : bytes)
            b = static_cast<char>(random());
        const std::string text = StringToBase64(bytes);
        EXPECT_EQ(text.size(), (4 * n + 2) / 3);
        EXPECT_EQ(Base64ToString(text), bytes);
        EXPECT_EQ(Base64ToString(text + "!").size(), (3 * (text.size() + 1)) / 4);
    }
}

// --- Reading rules -------------------------------------------------------------------------------

TEST(CsvFormat, QuotesNullsAndMemosStayOnOneLine)
{
    auto table = MakeTable({{"Nome", ftString, 10}, {"Numero", ftInteger, 0}});
    table->Append();
    table->FieldByName("Nome")->SetAsString("a\"b");
    table->Post();
    table->Append();
    table->FieldByName("Nome")->SetAsString("");
    table->Post();
    TzelCSVStreamFormat format(nullptr);
    format.sfDef = {};
    const std::string bytes = SaveCsv(*table, format);
    EXPECT_EQ(bytes, "\"Nome\",\"Numero\",\r\n\"a\"\"b\",,\r\n\"\",,\r\n");
    auto target = MakeTable({{"Nome", ftString, 10}, {"Numero", ftInteger, 0}});
    LoadCsv(*target, bytes, format);
    EXPECT_EQ(RowsText(*target), "a\"b|<null>;|<null>;");
    target->Last();
    EXPECT_FALSE(target->FieldByName("Nome")->IsNull());

    // Memo values are reached here through the stored record only: a line break and a percent
    // sign travel coded on one line and come back as they were.
    const std::string memoCsv = "\"Nota\",\"Dati\",\r\n\"50%% sconto%c%nriga 2%n%0\",\"A)V8\",\r\n,,\r\n\"\",\"\",\r\n";
    auto memos = MakeTable({{"Nota", ftMemo, 0}, {"Dati", ftBlob, 0}});
    LoadCsv(*memos, memoCsv, format);
    EXPECT_EQ(memos->RecordCount(), 3);
    EXPECT_EQ(SaveCsv(*memos, format), memoCsv);
    TzelBinaryStreamFormat binary(nullptr);
    const std::string binaryBytes = SaveBytes(*memos, binary);
    EXPECT_NE(binaryBytes.find(std::string("50% sconto\r\nriga 2\n\0", 20)), std::string::npos);
    EXPECT_NE(binaryBytes.find("abc"), std::string::npos);
}

TEST(CsvFormat, HeaderMapsColumnsByLabel)
{
    const struct {
        std::string csv;
        bool noHeader;
        std::string rows;
    } cases[] = {
        {"\"numero\",\"Altro\",\"NOME\",\r\n\"7\",\"x\",\"Zz\",\r\n", false, "Zz|7;"},
        {"\"7\",\"Zz\",\r\n", false, ""},
        {"\"Zz\",\"7\",\r\n\"Qq\",\"8\",\r\n", true, "Zz|7;Qq|8;"},
    };
    for (const auto& c : cases) {
        auto table = MakeExampleTable(false);
        TzelCSVStreamFormat format(nullptr);
        if (c.noHeader)
            format.sfNoHeader.Include(sfLoadNoHeader);
        LoadCsv(*table, c.csv, format);
        EXPECT_EQ(RowsText(*table), c.rows) << c.csv;
    }
}

TEST(CsvFormat, BooleanIsTrueOnlyForTheExactText)
{
    auto table = MakeTable({{"Flag", ftBoolean, 0}});
    LoadCsv(*table, "\"Flag\",\r\n\"true\",\r\n\"True\",\r\n\"False\",\r\n");
    EXPECT_EQ(RowsText(*table), "False;True;False;");
}

// --- Neutral settings ----------------------------------------------------------------------------

TEST(CsvFormat, NeutralSettingsWhateverTheProcessSettings)
{
    TFormatSettingsSaver saver;
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) {
            FormatSettings().ShortDateFormat = "yyyy-mm-dd";
            FormatSettings().DecimalSeparator = ',';
        }
        const TFormatSettings before = FormatSettings();
        auto table = MakeTable({{"D", ftDate, 0}, {"T", ftTime, 0}, {"DT", ftDateTime, 0},
                                {"F", ftFloat, 0}});
        const double date = EncodeDate(2009, 3, 8);
        const double time = EncodeTime(12, 30, 0, 0);
        table->Append();
        table->FieldByName("D")->SetAsDateTime(date);
        table->FieldByName("T")->SetAsDateTime(time);
        table->FieldByName("DT")->SetAsDateTime(date + time);
        table->FieldByName("F")->SetAsFloat(1234.5);
        table->Post();
        TzelCSVStreamFormat format(nullptr);
        format.sfDef = {};
        const std::string bytes = SaveCsv(*table, format);
        EXPECT_EQ(bytes, "\"D\",\"T\",\"DT\",\"F\",\r\n"
                         "\"08/03/2009\",\"12:30:00\",\"08/03/2009 12:30:00\",\"1234.5\",\r\n");
        EXPECT_EQ(FormatSettings().ShortDateFormat, before.ShortDateFormat);
        EXPECT_EQ(FormatSettings().DecimalSeparator, before.DecimalSeparator);

        auto target = MakeTable({{"D", ftDate, 0}, {"T", ftTime, 0}, {"DT", ftDateTime, 0},
                                 {"F", ftFloat, 0}});
        LoadCsv(*target, bytes, format);
        target->First();
        EXPECT_EQ(target->FieldByName("D")->AsDateTime(), date);
        EXPECT_NEAR(target->FieldByName("T")->AsDateTime(), time, 1e-9);
        EXPECT_NEAR(target->FieldByName("DT")->AsDateTime(), date + time, 1e-9);
        EXPECT_EQ(target->FieldByName("F")->AsFloat(), 1234.5);

        EXPECT_NE(ErrorOf([&] { LoadCsv(*target, "\"F\",\r\n\"1x\",\r\n", format); }),
                  "<no error>");
        EXPECT_EQ(FormatSettings().ShortDateFormat, before.ShortDateFormat);
        EXPECT_EQ(FormatSettings().DecimalSeparator, before.DecimalSeparator);
        EXPECT_EQ(FormatSettings().TimeSeparator, before.TimeSeparator);
        EXPECT_EQ(target->TableState(), mtstBrowse);
    }
    // The user's settings on request.
    FormatSettings().DecimalSeparator = ',';
    auto table = MakeTable({{"F", ftFloat, 0}});
    table->Append();
    table->FieldByName("F")->SetAsFloat(1234.5);
    table->Post();
    TzelCSVStreamFormat format(nullptr);
    format.sfDef = {};
    format.sfLocalFormat.Include(sfSaveLocalFormat);
    EXPECT_EQ(SaveCsv(*table, format), "\"F\",\r\n\"1234,5\",\r\n");
}

// --- Options and events --------------------------------------------------------------------------

TEST(CsvFormat, SaveOptions)
{
    auto table = MakeExampleTable();
    table->FieldByName("Numero")->SetVisible(false);
    const struct {
        std::function<void(TzelCSVStreamFormat&)> setup;
        std::string bytes;
    } cases[] = {
        {[](TzelCSVStreamFormat& f) { f.sfNonVisible = {}; },
         "\"Nome\",\r\n\"Ab\",\r\n,\r\n"},
        {[](TzelCSVStreamFormat& f) {
             f.sfNonVisible = {};
             f.sfPlaceHolders.Include(sfSavePlaceholders);
         },
         "\"Nome\",\"Numero\",\r\n\"Ab\",,\r\n,,\r\n"},
        {[](TzelCSVStreamFormat& f) { f.sfQuoteOnlyStrings.Include(sfSaveQuoteOnlyStrings); },
         "\"Nome\",\"Numero\",\r\n\"Ab\",300,\r\n,-1,\r\n"},
        {[](TzelCSVStreamFormat& f) { f.sfNoHeader.Include(sfSaveNoHeader); },
         "\"Ab\",\"300\",\r\n,\"-1\",\r\n"},
        {[](TzelCSVStreamFormat& f) { f.SetCSVRecordDelimiter('\0'); },
         "\"Nome\",\"Numero\"\r\n\"Ab\",\"300\"\r\n,\"-1\"\r\n"},
        {[](TzelCSVStreamFormat& f) {
             f.OnFormatSaveField = [](TObject*, TField* field, bool& isNull, std::string& data) {
                 if (field->FieldName() == "Nome") {
                     data = isNull ? "vuoto" : data + "!";
                     isNull = false;
                 }
             };
         },
         "\"Nome\",\"Numero\",\r\n\"Ab!\",\"300\",\r\n\"vuoto\",\"-1\",\r\n"},
    };
    for (const auto& c : cases) {
        TzelCSVStreamFormat format(nullptr);
        format.sfDef = {};
        c.setup(format);
        EXPECT_EQ(SaveCsv(*table, format), c.bytes);
    }
    // With placeholders the definition block describes the field outside the map too.
    TzelCSVStreamFormat format(nullptr);
    format.sfNonVisible = {};
    format.sfPlaceHolders.Include(sfSavePlaceholders);
    EXPECT_NE(SaveCsv(*table, format).find("\"Numero=Integer"), std::string::npos);
}

TEST(CsvFormat, LoadEventAndLimits)
{
    auto source = MakeExampleTable();
    for (int i = 0; i < 8; ++i) {
        source->Append();
        source->FieldByName("Numero")->SetAsInteger(i);
        source->Post();
    }
    TzelCSVStreamFormat format(nullptr);
    format.sfDef = {};
    source->SetSaveLimit(3);
    const std::string limited = SaveCsv(*source, format);
    EXPECT_FALSE(source->SavedCompletely());
    EXPECT_EQ(source->SavedCount(), 3);
    source->SetSaveLimit(0);
    const std::string bytes = SaveCsv(*source, format);
    EXPECT_TRUE(source->SavedCompletely());

    auto target = MakeExampleTable(false);
    target->SetLoadLimit(4);
    LoadCsv(*target, bytes, format);
    EXPECT_FALSE(target->LoadedCompletely());
    EXPECT_EQ(target->RecordCount(), 4);

    auto other = MakeExampleTable(false);
    format.OnFormatLoadField = [](TObject*, TField* field, bool& isNull, std::string& data) {
        if (field->FieldName() == "Nome" && isNull) {
            data = "N";
            isNull = false;
        }
    };
    LoadCsv(*other, limited, format);
    EXPECT_TRUE(other->LoadedCompletely());
    EXPECT_EQ(RowsText(*other), "Ab|300;N|-1;N|0;");
}

// --- Failures ------------------------------------------------------------------------------------

TEST(CsvFormat, DefinitionErrors)
{
    std::string many = "\"@@TABLEDEF START@@\"\r\n";
    for (int i = 0; i < 257; ++i)
        many += "\"F" + std::to_string(i) + "=Integer,0,\"\"F\"\",\"\"\"\",10,Data\"\r\n";
    many += "\"@@TABLEDEF END@@\"\r\n";
    const struct {
        std::string csv, message;
    } cases[] = {
        {"\"@@TABLEDEF START@@\"\r\n\"Nome=Strang,5,\"\"Nome\"\",\"\"\"\",5,Data\"\r\n",
         "Unknown field type (Strang) in CSV file. (Nome=Strang,5,\"Nome\",\"\",5,Data)"},
        {"\"@@TABLEDEF START@@\"\r\n\"Nome=String,x,\"\"Nome\"\",\"\"\"\",5,Data\"\r\n",
         "'x' is not a valid integer value"},
        {many, "Too many fielddefs. Please raise ZEL_MAX_FIELDS value."},
    };
    for (const auto& c : cases) {
        TzelMemTable table(nullptr);
        EXPECT_EQ(ErrorOf([&] { LoadCsv(table, c.csv); }), c.message);
        EXPECT_EQ(table.TableState(), mtstBrowse);
        LoadCsv(table, ExampleCsv);
        EXPECT_EQ(RowsText(table), "Ab|300;<null>|-1;");
    }
}

TEST(CsvFormat, AutoIncKeepsStoredNumbersAndUniqueIndexStops)
{
    auto table = MakeTable({{"Id", ftAutoInc, 0}, {"Nome", ftString, 5}});
    LoadCsv(*table, "\"Id\",\"Nome\",\r\n\"7\",\"a\",\r\n\"3\",\"b\",\r\n");
    EXPECT_EQ(RowsText(*table), "7|a;3|b;");
    table->Append();
    table->FieldByName("Nome")->SetAsString("c");
    table->Post();
    EXPECT_EQ(table->FieldByName("Id")->AsInteger(), 8);

    auto unique = MakeExampleTable(false);
    unique->AddIndex("IdxNome", "Nome", TIndexOptions{ixUnique});
    const std::string message = ErrorOf([&] {
        LoadCsv(*unique, "\"Nome\",\"Numero\",\r\n\"a\",\"1\",\r\n\"b\",\"2\",\r\n\"a\",\"3\",\r\n");
    });
    EXPECT_EQ(message, "Duplicate index value. Operation aborted.");
    EXPECT_EQ(unique->TableState(), mtstBrowse);
    EXPECT_EQ(RowsText(*unique), "a|1;b|2;");
}

TEST(CsvFormat, DeltasRefusedBeforeAnything)
{
    auto table = MakeExampleTable();
    int progress = 0;
    table->OnProgress = [&](TDataSet*, int, TzelProgressCode) { ++progress; };
    TzelCSVStreamFormat format(nullptr);
    format.sfDeltas.Include(sfSaveDeltas);
    TMemoryStream stream;
    stream.WriteBuffer("keep", 4);
    EXPECT_EQ(ErrorOf([&] { table->SaveToStreamViaFormat(&stream, &format); }),
              "Saving deltas is supported only in binary format.");
    EXPECT_EQ(progress, 0);
    EXPECT_EQ(table->TableState(), mtstBrowse);
    EXPECT_EQ(StreamBytes(stream), "keep");
    EXPECT_EQ(RowsText(*table), "Ab|300;<null>|-1;");
}

TEST(CsvFormat, UnquotedDelimiterFailsAndKeepsTheFile)
{
    auto table = MakeExampleTable();
    table->First();
    table->Edit();
    table->FieldByName("Nome")->SetAsString("A;B");
    table->Post();
    TzelCSVStreamFormat format(nullptr);
    UseModuleOptions(format);
    const std::string path = TempPath("unquoted.csv");
    WriteFile(path, "old");
    EXPECT_EQ(ErrorOf([&] { table->SaveToFileViaFormat(path, &format); }),
              "Cannot write field Nome without quotes: its value contains a delimiter.");
    EXPECT_EQ(ReadFile(path), "old");
    std::remove(path.c_str());
}

TEST(CsvFormat, PythonWritesTableReads)
{
    const std::string path = TempPath("peer.csv");
    const std::string script =
        "import csv,sys\n"
        "w=csv.writer(open(sys.argv[1],'w',newline=''),lineterminator='\\r\\n')\n"
        "w.writerow(['Citta','Nome'])\n"
        "w.writerow(['Roma','Anna'])\n"
        "w.writerow(['Milano, centro','Bea'])\n"
        "w.writerow(['Como','Il \"Lago\"'])\n";
    const std::string scriptPath = TempPath("peer.py");
    WriteFile(scriptPath, script);
    ASSERT_EQ(std::system(("python3 " + scriptPath + " " + path).c_str()), 0);
    auto table = MakeTable({{"Nome", ftString, 20}, {"Numero", ftInteger, 0}, {"Citta", ftString, 20}});
    TzelCSVStreamFormat format(nullptr);
    table->LoadFromFileViaFormat(path, &format);
    EXPECT_EQ(RowsText(*table),
              "Anna|<null>|Roma;Bea|<null>|Milano, centro;Il \"Lago\"|<null>|Como;");
    std::remove(path.c_str());
    std::remove(scriptPath.c_str());
}

TEST(CsvFormat, MalformedInputLoadsOrFailsCleanly)
{
    const struct {
        std::string csv, rows;
    } cases[] = {
        {"", ""},
        {"\"Nome\",\"Numero\",\r\n\"Ab", "|<null>;"},
        {"\"Nome\",\"Numero\",\r\n\"A\"\"b\"\"c", "A\"b|<null>;"},
        {"\"Nome\",\"Numero\",\r\n\"Ab\"", "Ab|<null>;"},
        {"\"Nome\",\"Numero\",\r\n\"Ab\",\"1\",\"x\",\"y\",\r\n", "Ab|1;"},
        {"\"Nome\",\"Numero\",\r\n\r\n\r\n\"Ab\",\"1\"\r\n\r\n\"C\",\"2\"", "Ab|1;C|2;"},
        {"\"Nome\",\"Numero\",\r\nAb,1\n\n", "Ab|1;"},
        {"\"Nome\",\"Numero\",\r\n\"Ab\",\"zz\",\r\n", "<error>"},
    };
    for (const auto& c : cases) {
        auto table = MakeExampleTable(false);
        std::string rows;
        try {
            LoadCsv(*table, c.csv);
            rows = RowsText(*table);
        } catch (const Exception&) {
            rows = "<error>";
        }
        EXPECT_EQ(rows, c.rows) << c.csv;
        EXPECT_EQ(table->TableState(), mtstBrowse);
    }
    // A definition block without its end marker.
    TzelMemTable table(nullptr);
    std::string cut = ExampleCsv;
    cut = cut.substr(0, cut.find("\"@@TABLEDEF END@@\""));
    try {
        LoadCsv(table, cut);
    } catch (const Exception&) {
    }
    LoadCsv(table, ExampleCsv);
    EXPECT_EQ(RowsText(table), "Ab|300;<null>|-1;");
}

TEST(CsvFormat, EveryTruncationLoadsOrFailsCleanly)
{
    const std::string full = ExampleCsv;
    for (std::size_t n = 0; n <= full.size(); ++n) {
        TzelMemTable table(nullptr);
        try {
            LoadCsv(table, full.substr(0, n));
        } catch (const Exception&) {
        }
        EXPECT_EQ(table.TableState(), mtstBrowse);
        LoadCsv(table, full);
        EXPECT_EQ(RowsText(table), "Ab|300;<null>|-1;") << n;
    }
}

// --- Round trip ----------------------------------------------------------------------------------

namespace {

const TFieldType RoundTripTypes[] = {ftString, ftSmallint, ftInteger,  ftWord,   ftBoolean,
                                     ftFloat,  ftCurrency, ftBCD,      ftDate,   ftTime,
                                     ftDateTime, ftBytes,  ftVarBytes, ftAutoInc, ftBlob,
                                     ftMemo,   ftGraphic,  ftFmtMemo,  ftParadoxOle,
                                     ftDBaseOle, ftTypedBinary};

std::string RandomCsvBytes(std::mt19937& random, int maxLength, int lowest)
{
    std::string bytes(static_cast<std::size_t>(random() % (maxLength + 1)), '\0');
    for (char& b : bytes)
        b = static_cast<char>(lowest + random() % (256 - lowest));
    return bytes;
}

void FillRandom(TField* field, std::mt19937& random)
{
    switch (field->DataType()) {
    case ftString:
        field->SetAsString(RandomCsvBytes(random, field->Size(), 1));
        break;
    case ftSmallint:
        field->SetAsInteger(static_cast<int>(random() % 65536) - 32768);
        break;
    case ftWord:
        field->SetAsInteger(static_cast<int>(random() % 65536));
        break;
    case ftInteger:
        field->SetAsInteger(static_cast<int>(random()));
        break;
    case ftAutoInc:
        break;
    case ftBoolean:
        field->SetAsBoolean(random() % 2);
        break;
    case ftFloat: {
        char text[64];
        std::snprintf(text, sizeof text, "%.14e",
                      std::ldexp(static_cast<double>(random()) / 4294967296.0 - 0.5,
                                 static_cast<int>(random() % 60) - 30));
        field->SetAsFloat(std::strtod(text, nullptr));
        break;
    }
    case ftCurrency:
    case ftBCD:
        field->SetAsFloat(static_cast<double>(static_cast<int>(random() % 2000000) - 1000000) /
                          100.0);
        break;
    case ftDate:
        field->SetAsDateTime(static_cast<double>(2 + random() % 60000));
        break;
    case ftTime:
        field->SetAsDateTime(static_cast<double>(random() % 86400) / 86400.0);
        break;
    case ftDateTime:
        field->SetAsDateTime(static_cast<double>(2 + random() % 60000) +
                             static_cast<double>(random() % 86400) / 86400.0);
        break;
    case ftBytes:
    case ftVarBytes: {
        std::string raw = RandomCsvBytes(random, field->Size(), 0);
        if (field->DataType() == ftBytes)
            raw.resize(static_cast<std::size_t>(field->Size()), '\0');
        field->SetAsString(raw);
        break;
    }
    default:
        field->SetAsString(RandomCsvBytes(random, 40, 0));
        break;
    }
}

} // namespace

TEST(CsvFormat, RandomTablesRoundTrip)
{
    std::mt19937 random(20261210);
    for (int t = 0; t < 200; ++t) {
        auto table = std::make_unique<TzelMemTable>(nullptr);
        const int fieldCount = 1 + static_cast<int>(random() % 8);
        bool autoInc = false;
        for (int f = 0; f < fieldCount; ++f) {
            TFieldType type = RoundTripTypes[random() % std::size(RoundTripTypes)];
            if (type == ftAutoInc && autoInc)
                type = ftInteger;
            autoInc = autoInc || type == ftAutoInc;
            const int size = type == ftString || type == ftBytes || type == ftVarBytes
                                 ? 1 + static_cast<int>(random() % 20)
                                 : 0;
            table->FieldDefs().Add("F" + std::to_string(f), type, size);
        }
        table->CreateTable();
        table->Open();
        const int rows = static_cast<int>(random() % 6);
        for (int r = 0; r < rows; ++r) {
            table->Append();
            for (int f = 0; f < table->FieldCount(); ++f)
                if (random() % 5 != 0)
                    FillRandom(table->Fields().Fields(f), random);
            table->Post();
        }
        const std::string bytes = SaveCsv(*table);
        TzelMemTable fresh(nullptr);
        LoadCsv(fresh, bytes);
        ASSERT_EQ(fresh.FieldCount(), table->FieldCount());
        ASSERT_EQ(fresh.RecordCount(), table->RecordCount()) << bytes;
        table->First();
        fresh.First();
        while (!table->Eof()) {
            for (int f = 0; f < table->FieldCount(); ++f) {
                TField* a = table->Fields().Fields(f);
                TField* b = fresh.Fields().Fields(f);
                ASSERT_EQ(a->IsNull(), b->IsNull()) << a->FieldName() << " " << bytes;
                if (a->DataType() == ftFloat)
                    ASSERT_EQ(a->AsFloat(), b->AsFloat()) << bytes;
                else
                    ASSERT_EQ(a->AsString(), b->AsString())
                        << FieldTypeNames[a->DataType()] << " " << bytes;
            }
            table->Next();
            fresh.Next();
        }
        ASSERT_EQ(SaveCsv(fresh), bytes);
    }
}

// Memo and blob values are set here through a load (the table has no blob field stream to write
// them through their fields); the binary format shows the bytes that were stored.
TEST(CsvFormat, RandomMemoAndBlobValuesRoundTrip)
{
    std::mt19937 random(99);
    for (int t = 0; t < 50; ++t) {
        // Every value holds a byte at least, so that the binary bytes can be found.
        const std::string memo = "m" + RandomCsvBytes(random, 60, 0);
        const std::string blob = RandomCsvBytes(random, 60, 0) + "b";
        const std::string graphic = "g" + RandomCsvBytes(random, 60, 0);
        auto quoted = [](const std::string& text) {
            std::string result = "\"";
            for (char c : text) {
                result += c;
                if (c == '"')
                    result += '"';
            }
            return result + "\"";
        };
        const std::string csv = "\"M\",\"B\",\"G\",\r\n" + quoted(StringToCodedString(memo)) + "," +
                                quoted(StringToBase64(blob)) + "," +
                                quoted(StringToBase64(graphic)) + ",\r\n";
        auto table = MakeTable({{"M", ftMemo, 0}, {"B", ftBlob, 0}, {"G", ftGraphic, 0}});
        TzelCSVStreamFormat format(nullptr);
        format.sfDef = {};
        LoadCsv(*table, csv, format);
        ASSERT_EQ(table->RecordCount(), 1);
        ASSERT_EQ(SaveCsv(*table, format), csv);
        TzelBinaryStreamFormat binary(nullptr);
        const std::string bytes = SaveBytes(*table, binary);
        for (const std::string* value : {&memo, &blob, &graphic}) {
            EXPECT_NE(bytes.find(*value), std::string::npos);
        }
    }
}
