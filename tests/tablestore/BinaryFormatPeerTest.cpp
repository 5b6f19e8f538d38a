// Random tables of every storable type against an independent reader and writer of the file
// format (peers/tpf0.py, Python standard library only).

#include "tests/TestFixtures.h"
#include "FormatTestSupport.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

namespace {

namespace fs = std::filesystem;

struct PeerField {
    const char* name;
    TFieldType type;
    int size;
};

const PeerField PeerFields[] = {
    {"S", ftString, 600},   {"SI", ftSmallint, 0},  {"I", ftInteger, 0},   {"W", ftWord, 0},
    {"B", ftBoolean, 0},    {"F", ftFloat, 0},      {"C", ftCurrency, 0},  {"D", ftBCD, 4},
    {"DA", ftDate, 0},      {"T", ftTime, 0},       {"DT", ftDateTime, 0}, {"BY", ftBytes, 8},
    {"VB", ftVarBytes, 8},  {"AI", ftAutoInc, 0},   {"BL", ftBlob, 0},     {"M", ftMemo, 0},
    {"G", ftGraphic, 0},    {"FM", ftFmtMemo, 0},   {"PO", ftParadoxOle, 0},
    {"DO", ftDBaseOle, 0},  {"TB", ftTypedBinary, 0},
};

std::string RandomPeerBytes(std::mt19937& random, int length, int lowest)
{
    std::uniform_int_distribution<int> byte(lowest, 255);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    for (char& c : bytes)
        c = static_cast<char>(byte(random));
    return bytes;
}

void FillValue(TzelMemTable& table, TField* field, std::mt19937& random)
{
    auto number = [&](long long low, long long high) {
        return std::uniform_int_distribution<long long>(low, high)(random);
    };
    switch (field->DataType()) {
    case ftString:
        field->SetAsString(RandomPeerBytes(random, static_cast<int>(number(0, 600)), 1));
        break;
    case ftSmallint:
        field->SetAsInteger(static_cast<int>(number(-32768, 32767)));
        break;
    case ftInteger:
        field->SetAsInteger(static_cast<int>(number(INT32_MIN, INT32_MAX)));
        break;
    case ftWord:
        field->SetAsInteger(static_cast<int>(number(0, 65535)));
        break;
    case ftAutoInc:
        field->SetAsInteger(static_cast<int>(number(1, 1000000)));
        break;
    case ftBoolean:
        field->SetAsBoolean(number(0, 1) == 1);
        break;
    case ftFloat: {
        double value;
        do {
            const auto bits = static_cast<std::uint64_t>(number(0, INT64_MAX)) * 2 + number(0, 1);
            std::memcpy(&value, &bits, sizeof value);
        } while (!std::isfinite(value));
        field->SetAsFloat(value);
        break;
    }
    case ftCurrency:
        field->SetAsFloat(static_cast<double>(number(-1000000000000LL, 1000000000000LL)) / 10000);
        break;
    case ftBCD:
        field->SetAsFloat(static_cast<double>(number(-100000000LL, 100000000LL)) / 10000);
        break;
    case ftDate:
        field->SetAsDateTime(static_cast<double>(number(1, 80000)));
        break;
    case ftTime:
        field->SetAsDateTime(static_cast<double>(number(0, 86399999)) / 86400000);
        break;
    case ftDateTime:
        field->SetAsDateTime(static_cast<double>(number(1, 80000)) +
                             static_cast<double>(number(0, 86399999)) / 86400000);
        break;
    case ftBytes:
        field->SetAsString(RandomPeerBytes(random, 8, 0));
        break;
    case ftVarBytes:
        field->SetAsString(RandomPeerBytes(random, static_cast<int>(number(0, 8)), 0));
        break;
    default:
        table.StoreBlobValue(table.GetActiveRecord(), field,
                             RandomPeerBytes(random, static_cast<int>(number(0, 600)), 0));
        break;
    }
}

std::string JsonValue(TzelMemTable& table, TField* field)
{
    if (field->IsNull())
        return "null";
    char text[64];
    switch (field->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
        return std::to_string(field->AsInteger());
    case ftBoolean:
        return field->AsBoolean() ? "true" : "false";
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftDate:
    case ftTime:
    case ftDateTime:
        std::snprintf(text, sizeof text, "%.17g",
                      field->DataType() >= ftDate ? field->AsDateTime() : field->AsFloat());
        return text;
    case ftBytes:
    case ftVarBytes: {
        std::string raw(static_cast<std::size_t>(field->DataSize()), '\0');
        field->GetData(raw.data());
        return "\"" + ToHex(raw) + "\"";
    }
    case ftString:
        return "\"" + ToHex(field->AsString()) + "\"";
    default:
        return "\"" + ToHex(table.StoredBlobValue(table.GetActiveRecord(), field)) + "\"";
    }
}

// A random table and the JSON of the values it holds: [[status, [values...]], ...].
std::unique_ptr<TzelMemTable> RandomTable(std::mt19937& random, std::string& expected)
{
    auto table = std::make_unique<TzelMemTable>(nullptr);
    for (const PeerField& field : PeerFields)
        table->FieldDefs().Add(field.name, field.type, field.size);
    table->CreateTable();
    table->Open();
    table->SetIgnoreReadOnly(true);
    const int rows = std::uniform_int_distribution<int>(0, 4)(random);
    for (int row = 0; row < rows; ++row) {
        table->Append();
        for (int i = 0; i < table->FieldCount(); ++i) {
            TField* field = table->Fields().Fields(i);
            if (std::uniform_int_distribution<int>(0, 4)(random) == 0)
                field->Clear();
            else
                FillValue(*table, field, random);
        }
        table->Post();
    }
    table->SetIgnoreReadOnly(false);
    expected = "[";
    table->First();
    while (!table->Eof()) {
        if (expected.size() > 1)
            expected += ",";
        expected += "[0,[";
        for (int i = 0; i < table->FieldCount(); ++i)
            expected += (i ? "," : "") + JsonValue(*table, table->Fields().Fields(i));
        expected += "]]";
        table->Next();
    }
    expected += "]";
    return table;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// One Python process for every table (a start of the interpreter costs more than a table):
// dump each file to JSON text, encode that JSON again, compare the values with the table's.
const char* const PeerScript = R"(
import json, sys
sys.path.insert(0, sys.argv[1])
import tpf0
failures = 0
for i in range(int(sys.argv[2])):
    text = json.dumps(tpf0.dump(open(f"t{i}.tpf", "rb").read()))
    dumped = json.loads(text)
    open(f"t{i}.py.tpf", "wb").write(tpf0.encode(dumped))
    expected = json.load(open(f"t{i}.expected.json"))
    got = [[versions[0]["status"], versions[0]["values"]] for versions in dumped["records"]]
    if dumped["version"] != 251 or got != expected or any(len(v) != 1 for v in dumped["records"]):
        failures += 1
        print(f"table {i}: the file holds {got}, the table {expected}")
sys.exit(1 if failures else 0)
)";

TEST(BinaryFormatPeer, RandomTablesAgreeWithThePythonCodec)
{
    const fs::path folder =
        fs::temp_directory_path() / ("tess-tpf0-peer-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    constexpr int TableCount = 200;
    std::mt19937 random(20260310);
    TzelBinaryStreamFormat format(nullptr);
    std::vector<std::string> files;
    for (int i = 0; i < TableCount; ++i) {
        std::string expected;
        auto table = RandomTable(random, expected);
        const fs::path file = folder / ("t" + std::to_string(i) + ".tpf");
        table->SaveToFileViaFormat(file.string(), &format);
        std::ofstream(folder / ("t" + std::to_string(i) + ".expected.json")) << expected;
        files.push_back(ReadFile(file));
    }
    std::ofstream(folder / "peer.py") << PeerScript;
    const std::string peers = std::string(TestFixtureDir()) + "/peers";
    // The command-line form once, on the first table; then every table in one process.
    const std::string command = "cd '" + folder.string() + "' && python3 '" + peers +
                                "/tpf0.py' dump t0.tpf > cli.json && python3 '" + peers +
                                "/tpf0.py' encode cli.json cli.tpf && cmp -s cli.tpf t0.tpf && "
                                "python3 peer.py '" + peers + "' " + std::to_string(TableCount);
    ASSERT_EQ(std::system(command.c_str()), 0);

    for (int i = 0; i < TableCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ReadFile(folder / ("t" + std::to_string(i) + ".py.tpf")), files[i]);
        TzelMemTable loaded(nullptr);
        LoadBytes(loaded, files[i]);
        EXPECT_EQ(SaveBytes(loaded), files[i]);
        if (HasFailure())
            break;
    }
    fs::remove_all(folder);
}

} // namespace
