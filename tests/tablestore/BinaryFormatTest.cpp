// The binary table format: options, the bytes of a save, loading every file version, values of
// every field type.

#include "FormatTestSupport.h"

#include "platform/rtl/DateTime.h"

namespace {

TEST(BinaryFormatOptions, DefaultsAreThoseOfTheSaveFormat)
{
    TzelBinaryStreamFormat format(nullptr);
    EXPECT_TRUE(format.sfUsingIndex == TzelFormatUsingIndexOptions{sfSaveUsingIndex});
    EXPECT_TRUE(format.sfData == (TzelFormatDataOptions{sfSaveData, sfLoadData}));
    EXPECT_TRUE(format.sfCalculated.Empty());
    EXPECT_TRUE(format.sfLookup.Empty());
    EXPECT_TRUE(format.sfNonVisible ==
                (TzelFormatNonVisibleOptions{sfSaveNonVisible, sfLoadNonVisible}));
    EXPECT_TRUE(format.sfBlobs == (TzelFormatBlobOptions{sfSaveBlobs, sfLoadBlobs}));
    EXPECT_TRUE(format.sfDef == (TzelFormatDefOptions{sfSaveDef, sfLoadDef}));
    EXPECT_TRUE(format.sfIndexDef == (TzelFormatIndexDefOptions{sfSaveIndexDef, sfLoadIndexDef}));
    EXPECT_TRUE(format.sfFiltered == TzelFormatFilteredOptions{sfSaveFiltered});
    EXPECT_TRUE(format.sfIgnoreRange == TzelFormatIgnoreRangeOptions{sfSaveIgnoreRange});
    EXPECT_TRUE(format.sfIgnoreMasterDetail ==
                TzelFormatIgnoreMasterDetailOptions{sfSaveIgnoreMasterDetail});
    EXPECT_TRUE(format.sfDeltas.Empty());
    EXPECT_TRUE(format.sfDontFilterDeltas.Empty());
    EXPECT_TRUE(format.sfAppend.Empty());
    EXPECT_TRUE(format.sfFieldKind == TzelFormatFieldKindOptions{sfSaveFieldKind});
    EXPECT_TRUE(format.sfFromStart == TzelFormatFromStartOptions{sfLoadFromStart});
    EXPECT_EQ(format.BufferSize(), 16384);
    EXPECT_EQ(format.Version(), "3.00");

    format.SetBufferSize(1000);
    EXPECT_EQ(format.BufferSize(), 16384);
    format.SetBufferSize(65536);
    EXPECT_EQ(format.BufferSize(), 65536);
    format.SetVersion("9.99");
    EXPECT_EQ(format.Version(), "3.00");

    TzelStreamFormat base(nullptr);
    EXPECT_EQ(base.Version(), "1.00");
}

TEST(BinaryFormatOptions, AssignCopiesTheFifteenSets)
{
    TzelBinaryStreamFormat source(nullptr);
    source.sfData = {};
    source.sfCalculated = {sfSaveCalculated};
    source.sfLookup = {sfLoadLookup};
    source.sfNonVisible = {};
    source.sfBlobs = {sfLoadBlobs};
    source.sfDef = {sfSaveDef};
    source.sfIndexDef = {};
    source.sfFiltered = {};
    source.sfIgnoreRange = {};
    source.sfIgnoreMasterDetail = {};
    source.sfDeltas = {sfSaveDeltas};
    source.sfDontFilterDeltas = {sfSaveDontFilterDeltas};
    source.sfAppend = {sfSaveInsert};
    source.sfFieldKind = {sfLoadFieldKind};
    source.sfFromStart = {};
    TzelStreamFormat target(nullptr);
    target.Assign(&source);
    EXPECT_TRUE(target.sfData.Empty());
    EXPECT_TRUE(target.sfCalculated == TzelFormatCalculatedOptions{sfSaveCalculated});
    EXPECT_TRUE(target.sfLookup == TzelFormatLookupOptions{sfLoadLookup});
    EXPECT_TRUE(target.sfNonVisible.Empty());
    EXPECT_TRUE(target.sfBlobs == TzelFormatBlobOptions{sfLoadBlobs});
    EXPECT_TRUE(target.sfDef == TzelFormatDefOptions{sfSaveDef});
    EXPECT_TRUE(target.sfIndexDef.Empty());
    EXPECT_TRUE(target.sfFiltered.Empty());
    EXPECT_TRUE(target.sfIgnoreRange.Empty());
    EXPECT_TRUE(target.sfIgnoreMasterDetail.Empty());
    EXPECT_TRUE(target.sfDeltas == TzelFormatDeltaOptions{sfSaveDeltas});
    EXPECT_TRUE(target.sfDontFilterDeltas ==
                TzelFormatDontFilterDeltaOptions{sfSaveDontFilterDeltas});
    EXPECT_TRUE(target.sfAppend == TzelFormatAppendOptions{sfSaveInsert});
    EXPECT_TRUE(target.sfFieldKind == TzelFormatFieldKindOptions{sfLoadFieldKind});
    EXPECT_TRUE(target.sfFromStart.Empty());
}

TEST(BinaryFormatBytes, ExampleTableIsTheDocumentedImage)
{
    auto table = MakeExampleTable();
    EXPECT_EQ(ToHex(SaveBytes(*table)), ExampleHex);
    auto empty = MakeExampleTable(false);
    EXPECT_EQ(ToHex(SaveBytes(*empty)), EmptyExampleHex);
}

TEST(BinaryFormatBytes, ExampleLoadsIntoAFreshTable)
{
    TzelMemTable table(nullptr);
    LoadBytes(table, FromHex(ExampleHex));
    ASSERT_EQ(table.FieldCount(), 2);
    TField* name = table.Fields().Fields(0);
    TField* number = table.Fields().Fields(1);
    EXPECT_EQ(name->FieldName(), "Nome");
    EXPECT_EQ(name->DataType(), ftString);
    EXPECT_EQ(name->Size(), 5);
    EXPECT_EQ(number->FieldName(), "Numero");
    EXPECT_EQ(number->DataType(), ftInteger);
    EXPECT_EQ(name->DisplayLabel(), "");
    EXPECT_EQ(number->DisplayLabel(), "");
    EXPECT_EQ(name->DisplayWidth(), 5);
    EXPECT_EQ(number->DisplayWidth(), 10);
    EXPECT_EQ(RowsText(table), "Ab|300;<null>|-1;");
    table.First();
    while (!table.Eof()) {
        EXPECT_EQ(table.GetActiveRecord()->UpdateStatus, usUnmodified);
        table.Next();
    }
    // And saving it again gives the same bytes.
    EXPECT_EQ(ToHex(SaveBytes(table)), ExampleHex);
}

TEST(BinaryFormatBytes, IndexDefinitionListAndReload)
{
    TzelMemTable table(nullptr);
    table.FieldDefs().Add("Tipologia", ftString, 10);
    table.IndexDefs().Add("TabellaFattureIndex0", "Tipologia", TIndexOptions{ixUnique});
    table.CreateTable();
    table.Open();
    const std::string bytes = SaveBytes(table);
    const std::string list = FromHex(
        "01 06 14 54 61 62 65 6C 6C 61 46 61 74 74 75 72 65 49 6E 64 65 78 30 06 09 54 69 70 6F "
        "6C 6F 67 69 61 06 14 54 61 62 65 6C 6C 61 46 61 74 74 75 72 65 49 6E 64 65 78 30 08 08 "
        "08 09 00");
    EXPECT_NE(bytes.find(list), std::string::npos);

    TzelMemTable loaded(nullptr);
    LoadBytes(loaded, bytes);
    ASSERT_EQ(loaded.IndexDefs().Count(), 1);
    TIndexDef* def = loaded.IndexDefs().Items(0);
    EXPECT_EQ(def->Name(), "TabellaFattureIndex0");
    EXPECT_EQ(def->Fields(), "Tipologia");
    EXPECT_TRUE(def->Options() == TIndexOptions{ixUnique});
    EXPECT_TRUE(loaded.Active());
    EXPECT_NE(loaded.GetIndexByName("TabellaFattureIndex0"), nullptr);
}

struct OldVersionCase {
    int version;
    const char* hex;
    const char* rows;
};

TEST(BinaryFormatVersions, OlderFilesLoadAndSaveAsTheCurrentVersion)
{
    const OldVersionCase cases[] = {
        {100,
         "545046300106044e6f6d650606537472696e67020506044e6f6d6506000205080806064e756d65726f06074"
         "96e7465676572020006064e756d65726f0600020a0808000106024162032c01060002ff00",
         "Ab|300;|-1;"},
        {199,
         "5450463003c7000106044e6f6d650606537472696e67020506044e6f6d6506000205080806064e756d6572"
         "6f0607496e7465676572020006064e756d65726f0600020a0808000106024162032c01060002ff00",
         "Ab|300;|-1;"},
        {229,
         "5450463003e5000106044e6f6d650606537472696e67020506044e6f6d6506000205080806064e756d6572"
         "6f0607496e7465676572020006064e756d65726f0600020a08080001000106024162032c01060002ff00",
         "Ab|300;|-1;"},
        {248,
         "5450463003f8000106044e6f6d650606537472696e67020506044e6f6d6506000205080806064e756d6572"
         "6f0607496e7465676572020006064e756d65726f0600020a08080001000101020006024162032c01000102"
         "00060002ff0000",
         "Ab|300;|-1;"},
        {250,
         "5450463003fa000106044e6f6d650606537472696e67020506044e6f6d65060002050808060444617461060"
         "64e756d65726f0607496e7465676572020006064e756d65726f0600020a08080604446174610001000101"
         "0200080602416208032c0100010200090802ff0000",
         "Ab|300;<null>|-1;"},
    };
    for (const OldVersionCase& c : cases) {
        SCOPED_TRACE(c.version);
        TzelMemTable table(nullptr);
        LoadBytes(table, FromHex(c.hex));
        ASSERT_EQ(table.FieldCount(), 2);
        EXPECT_EQ(table.Fields().Fields(0)->FieldName(), "Nome");
        EXPECT_EQ(table.Fields().Fields(0)->DataType(), ftString);
        EXPECT_EQ(table.Fields().Fields(0)->Size(), 5);
        EXPECT_EQ(table.Fields().Fields(1)->FieldName(), "Numero");
        EXPECT_EQ(table.Fields().Fields(1)->DataType(), ftInteger);
        EXPECT_EQ(table.IndexDefs().Count(), 0);
        EXPECT_EQ(RowsText(table), c.rows);
        table.First();
        while (!table.Eof()) {
            EXPECT_EQ(table.GetActiveRecord()->UpdateStatus, usUnmodified);
            table.Next();
        }
        const std::string saved = SaveBytes(table);
        EXPECT_EQ(ToHex(saved.substr(4, 3)), "03fb00");
        TzelMemTable again(nullptr);
        LoadBytes(again, saved);
        EXPECT_EQ(RowsText(again), c.rows);
    }
}

// One field of the given type, one row holding a value set by fill; the bytes of the value in
// the saved record and the table after loading them back.
struct ValueCase {
    const char* name;
    TFieldType type;
    int size;
    std::function<void(TField*)> fill;
    const char* bytes;
    std::function<void(TField*)> check;
};

TEST(BinaryFormatValues, EveryTypeWritesItsBytesAndReadsThemBack)
{
    const ValueCase cases[] = {
        {"SmallInt", ftSmallint, 0, [](TField* f) { f->SetAsInteger(-5); }, "02fb",
         [](TField* f) { EXPECT_EQ(f->AsInteger(), -5); }},
        {"Word", ftWord, 0, [](TField* f) { f->SetAsInteger(40000); }, "04409c0000",
         [](TField* f) { EXPECT_EQ(f->AsInteger(), 40000); }},
        {"Boolean", ftBoolean, 0, [](TField* f) { f->SetAsBoolean(true); }, "09",
         [](TField* f) { EXPECT_TRUE(f->AsBoolean()); }},
        {"Float", ftFloat, 0, [](TField* f) { f->SetAsFloat(12.34); }, "0500703d0ad7a370c50240",
         [](TField* f) { EXPECT_EQ(f->AsFloat(), 12.34); }},
        {"Currency 0.03125", ftCurrency, 0, [](TField* f) { f->SetAsCurrency(0.03125); },
         "0500f08e5374249 7fff93f", [](TField* f) { EXPECT_EQ(f->AsFloat(), 0.0312); }},
        {"Currency 0.09375", ftCurrency, 0, [](TField* f) { f->SetAsCurrency(0.09375); },
         "0500401ceb e2361ac0fb3f", [](TField* f) { EXPECT_EQ(f->AsFloat(), 0.0938); }},
        {"Date", ftDate, 0, [](TField* f) { f->SetAsDateTime(EncodeDate(2009, 3, 8)); },
         "05000000000000c89b0e40",
         [](TField* f) { EXPECT_EQ(f->AsDateTime(), EncodeDate(2009, 3, 8)); }},
        {"Time", ftTime, 0, [](TField* f) { f->SetAsDateTime(0.5); }, "05 00000000000000 80fe3f",
         [](TField* f) { EXPECT_EQ(f->AsDateTime(), 0.5); }},
        {"Bytes", ftBytes, 4, [](TField* f) { f->SetAsString(std::string("ab\0\0", 4)); },
         "060461620000",
         [](TField* f) { EXPECT_EQ(ToHex(f->AsString()), "61620000"); }},
        {"VarBytes", ftVarBytes, 4, [](TField* f) { f->SetAsString("ab"); }, "0606020061620000",
         [](TField* f) { EXPECT_EQ(ToHex(f->AsString()), "6162"); }},
        {"AutoInc", ftAutoInc, 0, [](TField* f) { f->SetAsInteger(17); }, "0211",
         [](TField* f) {
             EXPECT_EQ(f->AsInteger(), 17);
             auto* table = static_cast<TzelMemTable*>(f->DataSet());
             EXPECT_EQ(table->Common()->GetAutoIncMax() + 1, 18);
         }},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.name);
        TzelMemTable table(nullptr);
        table.FieldDefs().Add("V", c.type, c.size);
        table.CreateTable();
        table.Open();
        table.Append();
        table.SetIgnoreReadOnly(true);
        c.fill(table.Fields().Fields(0));
        table.Post();
        table.SetIgnoreReadOnly(false);
        const std::string file = SaveBytes(table);
        const std::string expected = "08" + ToHex(FromHex(c.bytes));
        const std::string hex = ToHex(file);
        const std::string recordStart = "0101020008";
        const std::size_t at = hex.rfind(recordStart);
        ASSERT_NE(at, std::string::npos) << hex;
        EXPECT_EQ(hex.substr(at + recordStart.size() - 2), expected + "0000");

        TzelMemTable loaded(nullptr);
        LoadBytes(loaded, file);
        loaded.First();
        c.check(loaded.Fields().Fields(0));
    }
}

// A version-251 file of one field of the given type and one record holding valueHex.
std::string OneValueFile(const std::string& typeName, int size, const std::string& valueHex)
{
    std::string file = FromHex("5450463003fb0001");
    auto str = [](const std::string& s) { return std::string{6, static_cast<char>(s.size())} + s; };
    file += str("V") + str(typeName) + FromHex("02") + static_cast<char>(size) + str("V") +
            str("") + FromHex("020a0808") + str("Data") + str("");
    file += FromHex("00 01 00 01 01 02 00 08") + FromHex(valueHex) + FromHex("00 00");
    return file;
}

TEST(BinaryFormatValues, HandBuiltValuesAreBroughtToTheFieldsForm)
{
    {
        TzelMemTable table(nullptr);
        LoadBytes(table, OneValueFile("BCD", 4, "05 00 00 00 00 00 00 00 84 FF 3F"));
        table.First();
        EXPECT_EQ(table.Fields().Fields(0)->AsFloat(), 1.0312);
    }
    {
        TzelMemTable table(nullptr);
        LoadBytes(table, OneValueFile("Bytes", 4, "06 02 61 62"));
        table.First();
        EXPECT_EQ(ToHex(table.Fields().Fields(0)->AsString()), "61620000");
        LoadBytes(table, OneValueFile("Bytes", 4, "06 06 61 62 63 64 65 66"));
        table.First();
        EXPECT_EQ(ToHex(table.Fields().Fields(0)->AsString()), "61626364");
    }
    {
        // A memo of 300 bytes, every byte value: loaded and saved again, byte for byte.
        std::string memo;
        for (int i = 0; i < 300; ++i)
            memo += static_cast<char>(i);
        const std::string file = OneValueFile("Memo", 0, "0c 2c 01 00 00") ;
        std::string withMemo = file.substr(0, file.size() - 2) + memo + file.substr(file.size() - 2);
        TzelMemTable table(nullptr);
        LoadBytes(table, withMemo);
        table.First();
        EXPECT_FALSE(table.Fields().Fields(0)->IsNull());
        EXPECT_EQ(ToHex(SaveBytes(table)), ToHex(withMemo));
        // An empty memo is a value, not a null.
        const std::string empty = OneValueFile("Memo", 0, "06 00");
        LoadBytes(table, empty);
        table.First();
        EXPECT_FALSE(table.Fields().Fields(0)->IsNull());
        EXPECT_EQ(ToHex(SaveBytes(table)), ToHex(empty));
    }
    {
        TzelMemTable table(nullptr);
        LoadBytes(table, OneValueFile("VarBytes", 4, "06 06 FF 00 61 62 63 64"));
        table.First();
        EXPECT_EQ(ToHex(table.Fields().Fields(0)->AsString()), "61626364");
    }
}

// A Time field and a Date field, two rows: 0.0 in both, then null in both.
std::string MidnightFile(bool withNullFlags)
{
    auto str = [](const std::string& s) { return std::string{6, static_cast<char>(s.size())} + s; };
    std::string file = FromHex(withNullFlags ? "5450463003fb0001" : "5450463003f80001");
    for (const char* name : {"Ora", "Giorno"}) {
        file += str(name) + str(std::string(name) == "Ora" ? "Time" : "Date") + FromHex("0200") +
                str(name) + str("") + FromHex("020a0808");
        if (withNullFlags)
            file += str("Data") + str("");
    }
    const std::string zero = FromHex("05 00 00 00 00 00 00 00 00 00 00");
    file += FromHex("00 01 00 01");
    if (withNullFlags) {
        file += FromHex("01 02 00 08") + zero + FromHex("08") + zero + FromHex("00");
        file += FromHex("01 02 00 09 09 00");
    } else {
        file += FromHex("01 02 00") + zero + zero + FromHex("00");
    }
    file += FromHex("00");
    return file;
}

TEST(BinaryFormatValues, MidnightIsAValueInFilesWithNullFlags)
{
    TzelMemTable table(nullptr);
    LoadBytes(table, MidnightFile(true));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        table.First();
        EXPECT_FALSE(table.FieldByName("Ora")->IsNull());
        EXPECT_FALSE(table.FieldByName("Giorno")->IsNull());
        EXPECT_EQ(table.FieldByName("Ora")->AsDateTime(), 0.0);
        EXPECT_EQ(table.FieldByName("Giorno")->AsDateTime(), 0.0);
        table.Next();
        EXPECT_TRUE(table.FieldByName("Ora")->IsNull());
        EXPECT_TRUE(table.FieldByName("Giorno")->IsNull());
        const std::string saved = SaveBytes(table);
        LoadBytes(table, saved);
    }

    TzelMemTable old(nullptr);
    LoadBytes(old, MidnightFile(false));
    old.First();
    EXPECT_TRUE(old.FieldByName("Ora")->IsNull());
    EXPECT_TRUE(old.FieldByName("Giorno")->IsNull());
}

} // namespace
