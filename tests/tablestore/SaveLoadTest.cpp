// Saving and loading through formats: the frame around a save and a load, the options, the
// table's entry points for streams, files, the persistent file, comma text, whole data and
// window data.

#include "FormatTestSupport.h"
#include "MemTableTestSupport.h"

#include "platform/rtl/Files.h"
#include "platform/rtl/Variants.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

namespace {

namespace fs = std::filesystem;

std::unique_ptr<TzelMemTable> MakeNumberedTable(int rows)
{
    auto table = MakeExampleTable(false);
    for (int i = 0; i < rows; ++i) {
        table->Append();
        table->FieldByName("Nome")->SetAsString("R" + std::to_string(i % 100));
        table->FieldByName("Numero")->SetAsInteger(i);
        table->Post();
    }
    return table;
}

// A fresh folder under the system's temporary folder, removed at the end.
class TempFolder {
public:
    TempFolder()
    {
        FPath = fs::temp_directory_path() /
                ("tess-saveload-" + std::to_string(::getpid()) + "-" + std::to_string(++Counter));
        fs::remove_all(FPath);
        fs::create_directories(FPath);
    }
    ~TempFolder() { fs::remove_all(FPath); }
    std::string operator/(const std::string& name) const { return (FPath / name).string(); }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(FPath))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    const fs::path& Path() const { return FPath; }

private:
    static inline int Counter = 0;
    fs::path FPath;
};

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool LockReturnsAtOnce(TzelMemTable& table)
{
    auto done = std::async(std::launch::async, [&] {
        table.Lock();
        table.Unlock();
    });
    return done.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
}

TEST(SaveLoadOptions, LoadDefinitionsReplaceOrAppend)
{
    // With the definitions: the table gets exactly the file's fields and rows.
    auto other = MakeNameTable();
    other->Open();
    AddRow(*other, "Altro", 7);
    other->FieldDefs().Add("Extra", ftFloat);
    LoadBytes(*other, FromHex(ExampleHex));
    ASSERT_EQ(other->FieldCount(), 2);
    EXPECT_EQ(other->Fields().Fields(0)->Size(), 5);
    EXPECT_EQ(RowsText(*other), "Ab|300;<null>|-1;");

    // Without them: the rows are added to those of a table with the same fields.
    TzelBinaryStreamFormat noDef(nullptr);
    noDef.sfDef = {sfSaveDef};
    auto same = MakeExampleTable();
    LoadBytes(*same, FromHex(ExampleHex), noDef);
    EXPECT_EQ(RowsText(*same), "Ab|300;<null>|-1;Ab|300;<null>|-1;");

    // ... and a table whose first field is an Integer refuses the text.
    TzelMemTable wrong(nullptr);
    wrong.FieldDefs().Add("Numero", ftInteger);
    wrong.FieldDefs().Add("Nome", ftString, 5);
    wrong.CreateTable();
    wrong.Open();
    ExpectFailure([&] { LoadBytes(wrong, FromHex(ExampleHex), noDef); }, "EReadError",
                  "Invalid property value");
    EXPECT_EQ(wrong.TableState(), mtstBrowse);

    // A file without definitions cannot open a closed table: its values have nowhere to go.
    TzelBinaryStreamFormat valuesOnly(nullptr);
    valuesOnly.sfDef = {sfLoadDef};
    const std::string bytes = SaveBytes(*MakeExampleTable(), valuesOnly);
    auto closed = MakeNameTable();
    ExpectFailure([&] { LoadBytes(*closed, bytes); }, "EDatabaseError",
                  "Cannot perform this operation on a closed dataset");
    closed->Open();
    LoadBytes(*closed, bytes, noDef);
    EXPECT_EQ(RowsText(*closed), "Ab|300;<null>|-1;");
}

TEST(SaveLoadOptions, SavingUsesTheCurrentOrderOnlyWhenAsked)
{
    auto table = MakeExampleTable(false);
    for (const char* name : {"Cc", "Aa", "Bb"})
        AddRow(*table, name, 1);
    table->SortOn("Nome", {});
    TzelMemTable sorted(nullptr);
    LoadBytes(sorted, SaveBytes(*table));
    EXPECT_EQ(ScanField(sorted, "Nome"), (std::vector<std::string>{"Aa", "Bb", "Cc"}));
    // Storage order of the loaded table is the sorted order.
    EXPECT_EQ(sorted.Common()->Records(0)->RecordID, 0);
    TzelBinaryStreamFormat storageOrder(nullptr);
    storageOrder.sfUsingIndex = {};
    TzelMemTable unsorted(nullptr);
    LoadBytes(unsorted, SaveBytes(*table, storageOrder));
    EXPECT_EQ(ScanField(unsorted, "Nome"), (std::vector<std::string>{"Cc", "Aa", "Bb"}));
}

TEST(SaveLoadOptions, SortAfterLoadKeepsFileOrderOfEqualNames)
{
    auto table = MakeNumberedTable(500);
    TzelMemTable loaded(nullptr);
    LoadBytes(loaded, SaveBytes(*table));
    loaded.SortOn("Nome", {});
    loaded.First();
    std::string lastName;
    int lastNumber = -1;
    while (!loaded.Eof()) {
        const std::string name = loaded.FieldByName("Nome")->AsString();
        const int number = loaded.FieldByName("Numero")->AsInteger();
        if (name == lastName) {
            EXPECT_LT(lastNumber, number) << name;
        }
        lastName = name;
        lastNumber = number;
        loaded.Next();
    }
}

TEST(SaveLoadOptions, FilteredTableSavesEveryRecordAndStaysFiltered)
{
    auto table = MakeNumberedTable(10);
    table->OnFilterRecord = [](TDataSet* ds, bool& accept) {
        accept = ds->FieldByName("Numero")->AsInteger() % 2 == 0;
    };
    table->SetFiltered(true);
    ASSERT_EQ(ScanField(*table, "Numero").size(), 5u);
    TzelMemTable loaded(nullptr);
    LoadBytes(loaded, SaveBytes(*table));
    EXPECT_EQ(ScanField(loaded, "Numero").size(), 10u);
    EXPECT_EQ(ScanField(*table, "Numero").size(), 5u);
    EXPECT_TRUE(table->Filtered());
}

TEST(SaveLoadOptions, SaveAndLoadLimits)
{
    auto table = MakeNumberedTable(25);
    table->SetSaveLimit(10);
    const std::string bytes = SaveBytes(*table);
    EXPECT_FALSE(table->SavedCompletely());
    EXPECT_EQ(table->SavedCount(), 10);
    TzelMemTable all(nullptr);
    LoadBytes(all, bytes);
    EXPECT_EQ(all.RecordCount(), 10);

    table->SetSaveLimit(-1);
    TzelMemTable limited(nullptr);
    limited.SetLoadLimit(10);
    LoadBytes(limited, SaveBytes(*table));
    EXPECT_EQ(limited.RecordCount(), 10);
    EXPECT_FALSE(limited.LoadedCompletely());
}

TEST(SaveLoadOptions, RefusedRecordsTakeNoIdentifier)
{
    auto table = MakeNumberedTable(3);
    TzelMemTable loaded(nullptr);
    int seen = 0;
    loaded.OnLoadRecord = [&](TDataSet*, bool& accept) { accept = ++seen != 2; };
    LoadBytes(loaded, SaveBytes(*table));
    loaded.OnLoadRecord = nullptr;
    ASSERT_EQ(loaded.RecordCount(), 2);
    loaded.First();
    for (int expected : {0, 1}) {
        EXPECT_EQ(loaded.GetActiveRecord()->RecordID, expected);
        EXPECT_EQ(loaded.GetActiveRecord()->UniqueID, expected);
        loaded.Next();
    }
    AddRow(loaded, "Nuovo", 9);
    EXPECT_EQ(loaded.GetActiveRecord()->RecordID, 2);
}

TEST(SaveLoadOptions, TwoTablesInOneStreamLeaveTheStreamBehindTheSecond)
{
    for (int bufferSize : {16384, 65536}) {
        SCOPED_TRACE(bufferSize);
        TzelBinaryStreamFormat append(nullptr);
        append.sfAppend = {sfSaveAppend};
        append.SetBufferSize(bufferSize);
        auto first = MakeNumberedTable(30);
        auto second = MakeExampleTable();
        TMemoryStream stream;
        first->SaveToStreamViaFormat(&stream, &append);
        second->SaveToStreamViaFormat(&stream, &append);
        stream.WriteBuffer("7 bytes", 7);

        TzelMemTable a(nullptr), b(nullptr);
        TzelBinaryStreamFormat reader(nullptr);
        reader.SetBufferSize(bufferSize);
        a.LoadFromStreamViaFormat(&stream, &reader);
        reader.sfFromStart = {};
        b.LoadFromStreamViaFormat(&stream, &reader);
        EXPECT_EQ(a.RecordCount(), 30);
        EXPECT_EQ(RowsText(b), "Ab|300;<null>|-1;");
        EXPECT_EQ(stream.Position(), stream.Size() - 7);
    }
}

TEST(SaveLoadOptions, SaveAndLoadMaps)
{
    struct MapCase {
        const char* name;
        TFieldKind kind;
        TFieldType type;
        bool visible;
        std::function<void(TzelBinaryStreamFormat&)> options;
        bool saved;
    };
    const MapCase cases[] = {
        {"memo without data", fkData, ftMemo, true, [](auto& f) { f.sfData = {}; }, true},
        {"string without data", fkData, ftString, true, [](auto& f) { f.sfData = {}; }, false},
        {"memo without blobs", fkData, ftMemo, true, [](auto& f) { f.sfBlobs = {}; }, false},
        {"invisible", fkData, ftString, false, [](auto& f) { f.sfNonVisible = {}; }, false},
        {"invisible kept", fkData, ftString, false, [](auto&) {}, true},
        {"calculated", fkCalculated, ftString, true, [](auto&) {}, false},
        {"calculated saved", fkCalculated, ftString, true,
         [](auto& f) { f.sfCalculated = {sfSaveCalculated}; }, true},
        {"lookup", fkLookup, ftString, true, [](auto&) {}, false},
        {"lookup saved", fkLookup, ftString, true, [](auto& f) { f.sfLookup = {sfSaveLookup}; },
         true},
    };
    for (const MapCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto lookupSource = MakeExampleTable();
        TzelMemTable table(nullptr);
        table.FieldDefs().Add("Numero", ftInteger);
        table.CreateTable();
        TField* field = DefaultFieldClass(c.type)(&table);
        if (c.kind == fkLookup) {
            field->SetKeyFields("Numero");
            field->SetLookupDataSet(lookupSource.get());
            field->SetLookupKeyFields("Numero");
            field->SetLookupResultField("Nome");
        }
        field->SetFieldName("Prova");
        if (c.type == ftString)
            field->SetSize(10);
        field->SetFieldKind(c.kind);
        field->SetVisible(c.visible);
        field->SetDataSet(&table);
        table.Open();
        TzelBinaryStreamFormat format(nullptr);
        c.options(format);
        TMemoryStream stream;
        table.SaveToStreamViaFormat(&stream, &format);
        EXPECT_EQ(format.SaveFieldsCount(), 2);
        EXPECT_EQ(format.SaveField(1) == 1, c.saved);
        EXPECT_EQ(StreamBytes(stream).find("Prova") != std::string::npos,
                  c.saved && format.sfDef.Contains(sfSaveDef));
    }
}

TEST(SaveLoadOptions, CompressionHooksSeeEveryByte)
{
    auto xorAll = [](TDataSet*, TStream* source, TStream* target) {
        source->SetPosition(0);
        std::string bytes(static_cast<std::size_t>(source->Size()), '\0');
        if (!bytes.empty())
            source->ReadBuffer(bytes.data(), static_cast<int>(bytes.size()));
        for (char& c : bytes)
            c = static_cast<char>(c ^ 0x5A);
        target->WriteBuffer(bytes.data(), static_cast<int>(bytes.size()));
    };
    auto table = MakeExampleTable();
    TzelBinaryStreamFormat format(nullptr);
    format.OnCompress = xorAll;
    const std::string compressed = SaveBytes(*table, format);
    std::string expected = FromHex(ExampleHex);
    for (char& c : expected)
        c = static_cast<char>(c ^ 0x5A);
    EXPECT_EQ(ToHex(compressed), ToHex(expected));

    TzelBinaryStreamFormat reader(nullptr);
    reader.OnDeCompress = xorAll;
    TzelMemTable loaded(nullptr);
    LoadBytes(loaded, compressed, reader);
    EXPECT_EQ(RowsText(loaded), "Ab|300;<null>|-1;");
}

// The events of a save in the order they come, each with the table state it saw.
struct FrameRecorder {
    std::vector<std::string> events;
    void Attach(TzelMemTable& table, TzelBinaryStreamFormat& format, int throwAt)
    {
        auto state = [&table] { return table.TableState() == mtstSave ? "S" : "B"; };
        table.OnProgress = [this, state](TDataSet*, int percent, TzelProgressCode) {
            events.push_back("progress " + std::to_string(percent) + " " + state());
        };
        format.OnBeforeSave = [this, state](TObject*) { events.push_back(std::string("before ") + state()); };
        format.OnAfterSave = [this, state](TObject*) { events.push_back(std::string("after ") + state()); };
        table.OnSaveRecord = [this, state, throwAt](TDataSet*, bool&) {
            events.push_back(std::string("record ") + state());
            if (throwAt > 0 && static_cast<int>(std::count(events.begin(), events.end(),
                                                           std::string("record S"))) == throwAt)
                throw EMemTableError("stop");
        };
    }
};

TEST(SaveLoadFrame, EventsComeInTheFramesOrder)
{
    auto table = MakeNumberedTable(3);
    TzelBinaryStreamFormat format(nullptr);
    FrameRecorder good;
    good.Attach(*table, format, 0);
    SaveBytes(*table, format);
    EXPECT_EQ(good.events,
              (std::vector<std::string>{"progress 0 S", "before S", "progress 0 S", "record S",
                                        "record S", "record S", "after S", "progress 100 B"}));

    table->OnFilterRecord = [](TDataSet*, bool& accept) { accept = true; };
    table->SetFiltered(true);
    FrameRecorder failing;
    failing.Attach(*table, format, 2);
    ExpectFailure([&] { SaveBytes(*table, format); }, "EMemTableError", "stop");
    EXPECT_EQ(failing.events,
              (std::vector<std::string>{"progress 0 S", "before S", "progress 0 S", "record S",
                                        "record S", "progress 100 B"}));
    EXPECT_EQ(table->TableState(), mtstBrowse);
    EXPECT_TRUE(table->Filtered());
    EXPECT_TRUE(LockReturnsAtOnce(*table));
}

TEST(SaveLoadFrame, AutoRepositionReturnsToTheCurrentRow)
{
    auto table = MakeNumberedTable(5);
    const std::string bytes = SaveBytes(*table);
    TzelBinaryStreamFormat noDef(nullptr);
    noDef.sfDef = {sfSaveDef};
    table->SetAutoReposition(true);
    table->First();
    table->Next();
    table->Next();
    LoadBytes(*table, bytes, noDef);
    EXPECT_EQ(table->FieldByName("Numero")->AsInteger(), 2);
    EXPECT_EQ(table->RecordCount(), 10);
    // With the definitions the table is rebuilt: the row is gone, the cursor is on the first.
    LoadBytes(*table, bytes);
    EXPECT_EQ(table->FieldByName("Numero")->AsInteger(), 0);
}

TEST(SaveLoadFiles, RefusalsBeforeAnyFile)
{
    TempFolder folder;
    TzelBinaryStreamFormat format(nullptr);
    auto closed = MakeNameTable();
    ExpectFailure([&] { closed->SaveToFileViaFormat(folder / "a.dat", &format); },
                  "EDatabaseError", "Cannot perform this operation on a closed dataset");
    auto table = MakeExampleTable();
    ExpectFailure([&] { table->SaveToFileViaFormat(folder / "a.dat", nullptr); },
                  "EMemTableError", "No format specified.");
    ExpectFailure([&] { table->SaveToFile(folder / "a.dat"); }, "EMemTableError",
                  "No format specified.");
    EXPECT_TRUE(folder.Names().empty());
    bool loadEvent = false;
    table->OnLoad = [&](TDataSet*, TzelMemTableStorageType, TStream*) { loadEvent = true; };
    EXPECT_THROW(table->LoadFromFileViaFormat(folder / "missing.dat", &format), EFOpenError);
    EXPECT_FALSE(loadEvent);
}

TEST(SaveLoadFiles, SaveReplacesOrAppendsAndNeverLeavesAHalfFile)
{
    TempFolder folder;
    const std::string path = folder / "tabella.dat";
    auto table = MakeExampleTable();
    TzelBinaryStreamFormat format(nullptr);
    table->SaveToFileViaFormat(path, &format);
    table->SaveToFileViaFormat(path, &format);
    EXPECT_EQ(ToHex(ReadWholeFile(path)), ExampleHex);

    TzelBinaryStreamFormat append(nullptr);
    append.sfAppend = {sfSaveAppend};
    table->SaveToFileViaFormat(path, &append);
    EXPECT_EQ(ToHex(ReadWholeFile(path)), std::string(ExampleHex) + ExampleHex);

    // A save that fails half way leaves the previous file as it was and nothing beside it.
    auto big = MakeNumberedTable(1000);
    big->SaveToFileViaFormat(path, &format);
    const std::string before = ReadWholeFile(path);
    int seen = 0;
    big->OnSaveRecord = [&](TDataSet*, bool&) {
        if (++seen == 500)
            throw EMemTableError("disco pieno");
    };
    EXPECT_THROW(big->SaveToFileViaFormat(path, &format), EMemTableError);
    EXPECT_EQ(ReadWholeFile(path), before);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"tabella.dat"});
}

TEST(SaveLoadFiles, ExistingFileIsFoundWhateverTheCase)
{
    TempFolder folder;
    fs::create_directories(folder.Path() / "data");
    { std::ofstream(folder / "data/articoli.dat") << "old"; }
    auto table = MakeExampleTable();
    TzelBinaryStreamFormat format(nullptr);
    table->SaveToFileViaFormat(folder.Path().string() + "\\Data\\Articoli.DAT", &format);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.Path() / "data"))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"articoli.dat"});
    EXPECT_EQ(ToHex(ReadWholeFile(folder / "data/articoli.dat")), ExampleHex);
    TzelMemTable loaded(nullptr);
    loaded.LoadFromFileViaFormat(folder.Path().string() + "/DATA/ARTICOLI.dat", &format);
    EXPECT_EQ(RowsText(loaded), "Ab|300;<null>|-1;");
}

TEST(SaveLoadFiles, PersistentFileWithBackup)
{
    TempFolder folder;
    const std::string path = folder / "persist.dat";
    TzelBinaryStreamFormat format(nullptr);
    {
        auto table = MakeExampleTable();
        table->SetPersistentFile(path);
        table->SetPersistentFormat(&format);
        table->SetPersistent(true);
        EXPECT_FALSE(table->Exists());
        table->Close();
        EXPECT_TRUE(table->Exists());
        EXPECT_EQ(ToHex(ReadWholeFile(path)), ExampleHex);

        table->Open();
        EXPECT_EQ(table->FieldByName("Nome")->AsString(), "Ab");
        EXPECT_EQ(table->RecordCount(), 2);
        AddRow(*table, "Cd", 5);
        table->SetPersistentBackup(true);
        table->SetPersistentBackupExt(".bak");
        table->Close();
        EXPECT_EQ(ToHex(ReadWholeFile(folder / "persist.bak")), ExampleHex);
        table->Open();
        EXPECT_EQ(table->RecordCount(), 3);

        // A save that fails leaves the persistent file and no temporary file.
        const std::string before = ReadWholeFile(path);
        table->OnSaveRecord = [](TDataSet*, bool&) { throw EMemTableError("no"); };
        EXPECT_THROW(table->Close(), EMemTableError);
        EXPECT_EQ(ReadWholeFile(path), before);
        EXPECT_EQ(folder.Names(), (std::vector<std::string>{"persist.bak", "persist.dat"}));
        table->OnSaveRecord = nullptr;
    }
}

TEST(SaveLoadFiles, FormatReferencesAreForgottenWhenTheFormatGoes)
{
    auto table = MakeExampleTable();
    auto format = std::make_unique<TzelBinaryStreamFormat>(nullptr);
    table->SetDefaultFormat(format.get());
    table->SetPersistentFormat(format.get());
    table->SetCommaTextFormat(format.get());
    table->SetFormFormat(format.get());
    table->SetWholeTableFormat(format.get());
    format.reset();
    EXPECT_EQ(table->DefaultFormat(), nullptr);
    EXPECT_EQ(table->PersistentFormat(), nullptr);
    EXPECT_EQ(table->CommaTextFormat(), nullptr);
    EXPECT_EQ(table->FormFormat(), nullptr);
    EXPECT_EQ(table->WholeTableFormat(), nullptr);
}

TEST(SaveLoadEntryPoints, CommaTextAllDataAndVariants)
{
    TzelBinaryStreamFormat format(nullptr);
    auto source = MakeExampleTable();
    auto target = MakeNameTable();
    target->Open();
    AddRow(*target, "Via", 1);
    source->SetCommaTextFormat(&format);
    target->SetCommaTextFormat(&format);
    target->SetCommaText(source->GetCommaText());
    EXPECT_EQ(RowsText(*target), "Ab|300;<null>|-1;");

    auto copy = MakeNameTable();
    copy->Open();
    copy->SetAllData(Variant(5));
    EXPECT_EQ(copy->RecordCount(), 0);
    EXPECT_TRUE(VarIsEmpty(MakeNameTable()->GetAllData()));
    const Variant data = source->GetAllData();
    ASSERT_TRUE(VarIsArray(data));
    EXPECT_EQ(VarArrayLowBound(data, 1), 0);
    EXPECT_EQ(VarArrayHighBound(data, 1), 110);
    copy->SetAllData(data);
    EXPECT_EQ(RowsText(*copy), "Ab|300;<null>|-1;");

    struct FailingStream : TMemoryStream {
        int Read(void*, int) override { return 0; }
    } failing;
    failing.WriteBuffer("abc", 3);
    Variant value = Variant(1);
    TzelCustomMemTable::StreamToVariant(&failing, value);
    EXPECT_TRUE(VarIsEmpty(value));
    TMemoryStream out;
    TzelCustomMemTable::VariantToStream(Null(), &out);
    EXPECT_EQ(out.Size(), 0);
}

TEST(SaveLoadEntryPoints, WindowDataIsTheFormatsImage)
{
    TzelBinaryStreamFormat format(nullptr);
    auto table = MakeExampleTable();
    table->SetFormFormat(&format);
    TMemoryStream none;
    table->WriteData(none);
    EXPECT_EQ(none.Size(), 0);
    table->SetStoreDataOnForm(true);
    TMemoryStream data;
    table->WriteData(data);
    EXPECT_EQ(ToHex(StreamBytes(data)), ExampleHex);

    auto reader = MakeNameTable();
    reader->SetFormFormat(&format);
    reader->SetStoreDataOnForm(true);
    data.SetPosition(0);
    reader->ReadData(data);
    reader->Open();
    EXPECT_EQ(RowsText(*reader), "Ab|300;<null>|-1;");
}

} // namespace

namespace {

TEST(SaveLoadOptions, OlderVersionsAreWrittenAndReadBackOnRequest)
{
    auto table = MakeNameTable();
    table->SetEnableVersioning(true);
    table->Open();
    AddRow(*table, "a", 1);
    AddRow(*table, "b", 2);
    table->Common()->Records(1)->UpdateStatus = usUnmodified;
    table->Last();
    table->Edit();
    table->FieldByName("Numero")->SetAsInteger(20);
    table->Post();
    AddRow(*table, "c", 3);
    table->Last();
    table->Delete();
    table->SetStatusFilter({usUnmodified, usModified, usInserted, usDeleted});

    TzelBinaryStreamFormat deltas(nullptr);
    deltas.sfUsingIndex = {};
    deltas.sfDeltas = {sfSaveDeltas};
    // Statuses of each record's versions, newest first, as a loaded table holds them.
    auto versionsOf = [](const std::string& bytes) {
        TzelMemTable loaded(nullptr);
        LoadBytes(loaded, bytes);
        std::string text;
        for (int i = 0; i < loaded.Common()->RecordCount(); ++i) {
            for (TzelRecord* r = loaded.Common()->Records(i); r; r = r->PreviousVersion)
                text += std::to_string(r->UpdateStatus);
            text += ";";
        }
        return text + "deleted " + std::to_string(loaded.Common()->MarkedDeletedCount());
    };
    EXPECT_EQ(versionsOf(SaveBytes(*table, deltas)), "2;10;deleted 0");
    deltas.sfDontFilterDeltas = {sfSaveDontFilterDeltas};
    EXPECT_EQ(versionsOf(SaveBytes(*table, deltas)), "2;10;32;deleted 1");
    TzelBinaryStreamFormat changesOnly(nullptr);
    changesOnly.sfUsingIndex = {};
    changesOnly.sfData = {sfLoadData};
    table->Common()->Records(0)->UpdateStatus = usUnmodified;
    // Without the data only the changed records are written: the edited one.
    SaveBytes(*table, changesOnly);
    EXPECT_EQ(table->SavedCount(), 1);
}

} // namespace

namespace {

TEST(SaveLoadEntryPoints, AStreamThatRefusesBytesFailsTheSave)
{
    struct FullStream : TMemoryStream {
        int Write(const void*, int) override { return 0; }
    } full;
    auto table = MakeExampleTable();
    ExpectFailure([&] { table->SaveToStreamViaFormat(&full, nullptr); }, "EMemTableError",
                  "No format specified.");
    TzelBinaryStreamFormat format(nullptr);
    ExpectFailure([&] { table->SaveToStreamViaFormat(&full, &format); }, "EWriteError",
                  "Stream write error");
    EXPECT_EQ(table->TableState(), mtstBrowse);
    EXPECT_FALSE(table->ControlsDisabled());
    EXPECT_EQ(format.WorkStream(), nullptr);
    EXPECT_EQ(format.TargetStream(), nullptr);
}

} // namespace
