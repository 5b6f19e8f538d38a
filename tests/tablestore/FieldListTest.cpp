#include "FakeTable.h"

#include <gtest/gtest.h>

namespace {

std::string MessageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EMemTableError& e) {
        return "EMemTableError: " + e.Message;
    } catch (const EDatabaseError& e) {
        return "EDatabaseError: " + e.Message;
    }
    return "";
}

struct Listed {
    FakeTable table;
    Listed()
    {
        table.AddDef("Nome", ftString, 30);
        table.AddDef("Denominazione", ftString, 60);
        table.AddDef("Fattura", ftInteger);
        table.AddDef("Note", ftMemo);
        table.AddDef("Dati", ftBytes, 10);
        table.AddDef("Vari", ftVarBytes, 10);
        table.AddCalculated("Totale", 12);
        table.Bind();
        table.FieldByName("Note")->SetDisplayLabel("Annotazioni");
    }
};

std::vector<std::string> NamesOf(const TzelFieldList& list)
{
    std::vector<std::string> names;
    for (int i = 0; i < list.GetCount(); ++i)
        names.push_back(list.Get(i)->FieldName());
    return names;
}

TEST(FieldListText, NamesOptionsAndRefusals)
{
    struct Case {
        const char* text;
        std::vector<std::string> names;
        std::uint32_t firstOptions;
        bool calculated;
        const char* error;
    };
    const Case cases[] = {
        {"Nome:cp", {"Nome"}, 6, false, ""},
        {"Nome:CP", {"Nome"}, 6, false, ""},
        {"Nome:PC", {"Nome"}, 6, false, ""},
        {"Nome:xd", {"Nome"}, 1, false, ""},
        {"Nome:DNL", {"Nome"}, 1 + 8 + 16, false, ""},
        {" Denominazione ; Fattura ", {"Denominazione", "Fattura"}, 0, false, ""},
        {"\tDenominazione;Fattura\r\n", {"Denominazione", "Fattura"}, 0, false, ""},
        {"Fattura;", {"Fattura"}, 0, false, ""},
        {"", {}, 0, false, ""},
        {"Nome;Totale", {"Nome", "Totale"}, 0, true, ""},
        {"Nome;Manca", {"Nome"}, 0, false, "EDatabaseError: Field 'Manca' not found"},
        {"Nome;Note", {"Nome"}, 0, false, "EDatabaseError: Can't index on field Annotazioni"},
        {"Dati", {}, 0, false, "EDatabaseError: Can't index on field Dati"},
        {"Vari:C", {}, 0, false, "EDatabaseError: Can't index on field Vari"},
    };
    Listed l;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TzelFieldList list;
        list.Add(l.table.FieldByName("Fattura"), {}); // cleared by the build
        bool calculated = false;
        EXPECT_EQ(MessageOf([&] { calculated = BuildFieldList(&l.table, &list, c.text); }), c.error);
        EXPECT_EQ(NamesOf(list), c.names);
        if (!c.names.empty()) {
            EXPECT_EQ(list.GetVal(0).Bits(), c.firstOptions);
        }
        EXPECT_EQ(calculated, c.calculated);
    }
}

TEST(FieldListText, ListOperationsAndOptionConversions)
{
    Listed l;
    TzelFieldList a, b;
    BuildFieldList(&l.table, &a, "Nome:D;Fattura");
    BuildFieldList(&l.table, &b, "Nome;Fattura:C");
    EXPECT_TRUE(IsFieldListsEqual(&a, &b));
    BuildFieldList(&l.table, &b, "Fattura;Nome");
    EXPECT_FALSE(IsFieldListsEqual(&a, &b));
    BuildFieldList(&l.table, &b, "Nome");
    EXPECT_FALSE(IsFieldListsEqual(&a, &b));

    EXPECT_EQ(FindFieldInList(&a, "Fattura"), l.table.FieldByName("Fattura"));
    EXPECT_EQ(FindFieldInList(&a, "fattura"), nullptr);
    EXPECT_EQ(a.IndexOf(l.table.FieldByName("Fattura")), 1);
    EXPECT_EQ(a.IndexOf(l.table.FieldByName("Denominazione")), -1);

    a.AssignTo(b);
    EXPECT_EQ(NamesOf(b), NamesOf(a));
    EXPECT_EQ(b.GetVal(0).Bits(), 1u);

    SetFieldListOptions(&a, mtcoCaseInsensitive, "fattura; Altro");
    EXPECT_EQ(a.GetVal(0).Bits(), 1u);
    EXPECT_EQ(a.GetVal(1).Bits(), 2u);
    SetFieldListOptions(&a, mtcoDescending, "");
    EXPECT_EQ(a.GetVal(0).Bits(), 0u);

    EXPECT_EQ(IndexOptions2CompareOptions({ixPrimary, ixUnique, ixDescending, ixCaseInsensitive,
                                           ixExpression, ixNonMaintained})
                  .Bits(),
              32u + 1u + 2u);
    EXPECT_EQ(CompareOptions2IndexOptions(CompareOptionsFromBits(127)),
              (TIndexOptions{ixUnique, ixDescending, ixCaseInsensitive}));
    EXPECT_EQ(CompareOptionsFromBits(127).Bits(), 127u);

    for (int type = ftUnknown; type <= ftCursor; ++type) {
        const bool indexable = (type >= ftString && type <= ftDateTime) || type == ftAutoInc;
        EXPECT_EQ(IsIndexableFieldType(static_cast<TFieldType>(type)), indexable) << type;
    }
}

template <typename T>
std::string Raw(T value, std::size_t size = sizeof(T))
{
    std::string bytes(std::max(size, sizeof value), '\0');
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

std::string Text(const std::string& text)
{
    return text + '\0';
}

TEST(FieldCompare, ValuesByType)
{
    struct Case {
        const char* name;
        TFieldType type;
        std::string key;
        std::string value;
        std::uint32_t options;
        int result;
        bool fullCompare;
    };
    const Case cases[] = {
        {"locale", ftString, Text("abc"), Text("abd"), 0, -1, true},
        {"locale equal", ftString, Text("Rossi"), Text("Rossi"), 0, 0, true},
        {"case-insensitive", ftString, Text("Abc"), Text("abc"), 2, 0, true},
        {"locale ignores case order", ftString, Text("a"), Text("B"), 0, -1, true},
        {"byte order", ftString, Text("B"), Text("a"), 16, -1, true},
        {"byte order folded", ftString, Text("B"), Text("b"), 16 + 2, 0, true},
        {"byte order accent", ftString, Text("\xE8"), Text("e"), 16, 1, true},
        {"byte order prefix", ftString, Text("Ros"), Text("Rossi"), 16, -1, true},
        {"accent is secondary", ftString, Text("\xE8" "a"), Text("eb"), 0, -1, true},
        {"accent after plain", ftString, Text("\xE8"), Text("e"), 0, 1, true},
        {"partial", ftString, Text("Ros"), Text("Rossi"), 4, 0, false},
        {"partial longer key", ftString, Text("Rossi"), Text("Ros"), 4, 1, false},
        {"partial same", ftString, Text("Rossi"), Text("Rossi"), 4, 0, true},
        {"smallint", ftSmallint, Raw<std::int16_t>(-1), Raw<std::int16_t>(1), 0, -1, true},
        {"word", ftWord, Raw<std::uint16_t>(65535), Raw<std::uint16_t>(1), 0, 1, true},
        {"integer", ftInteger, Raw<std::int32_t>(-5), Raw<std::int32_t>(3), 0, -1, true},
        {"autoinc", ftAutoInc, Raw<std::int32_t>(7), Raw<std::int32_t>(-7), 0, 1, true},
        {"boolean", ftBoolean, Raw<std::int16_t>(0), Raw<std::int16_t>(1), 0, -1, true},
        {"boolean any true", ftBoolean, Raw<std::int16_t>(2), Raw<std::int16_t>(1), 0, 0, true},
        {"float", ftFloat, Raw(1.5), Raw(-2.0), 0, 1, true},
        {"currency", ftCurrency, Raw(2.0), Raw(2.5), 0, -1, true},
        {"date", ftDate, Raw<std::int32_t>(739000, 8), Raw<std::int32_t>(739001, 8), 0, -1, true},
        {"time", ftTime, Raw<std::int32_t>(3600000, 8), Raw<std::int32_t>(1000, 8), 0, 1, true},
        {"datetime", ftDateTime, Raw(6.4e13), Raw(6.4e13 + 1), 0, -1, true},
        {"bcd", ftBCD, std::string(34, '\1'), std::string(34, '\2'), 0, 0, true},
        {"bytes", ftBytes, "abc", "abd", 0, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool full = false;
        EXPECT_EQ(CompareFields(c.key.data(), c.value.data(), c.type, full,
                                CompareOptionsFromBits(c.options), 1024),
                  c.result);
        EXPECT_EQ(full, c.fullCompare);
        EXPECT_EQ(CompareFields(c.key.data(), c.value.data(), c.type, full,
                                CompareOptionsFromBits(c.options | 1), 1024),
                  -c.result);
    }
    bool full = true;
    EXPECT_EQ(MessageOf([&] {
                  CompareFields("a", "b", ftString, full, {}, 99999);
              }),
              "EMemTableError: Invalid locale. 99999");
    EXPECT_EQ(CompareFields("a", "b", ftString, full, {mtcoIgnoreLocale}, 99999), -1);
}

// Two integers A and B and a variable-length text Nome (balanced), with a key buffer and a
// stored record.
struct Compared {
    FakeTable table;
    std::unique_ptr<TzelCommon> storage;
    TzelRecord* key = nullptr;
    TzelRecord* stored = nullptr;

    explicit Compared(TzelPerformance performance = mtpfBalanced)
    {
        table.AddDef("A", ftInteger);
        table.AddDef("B", ftInteger);
        table.AddDef("Nome", ftString, 30);
        table.Bind();
        storage = std::make_unique<TzelCommon>(&table);
        storage->SetPerformance(performance);
        storage->LayoutRecord();
        key = storage->_InternalAllocRecord();
        stored = storage->_InternalAllocRecord();
        storage->AppendRecord(stored);
    }
    ~Compared() { storage->_InternalFreeRecord(key, true, false); }

    int Compare(const std::string& names, TzelCompareHow how = chBreakNE, int maxFields = 0,
                bool ignoreNulls = false, bool partial = false, TzelRecord* other = nullptr)
    {
        TzelFieldList list;
        BuildFieldList(&table, &list, names);
        return storage->_InternalCompareRecords(&table, &list, maxFields, key,
                                                other ? other : stored, ignoreNulls, partial, how);
    }
};

TEST(RecordCompare, NullsStoppingRulesAndEvents)
{
    Compared c;
    EXPECT_EQ(c.Compare("A"), 0);
    PutFixed<std::int32_t>(*c.storage, c.stored, 1, 1);
    EXPECT_EQ(c.Compare("A"), -1);
    EXPECT_EQ(c.Compare("A:D"), -1);
    EXPECT_EQ(c.Compare("A", chBreakNE, 0, true), 0);
    EXPECT_EQ(c.Compare("A:N;B"), 0);
    std::swap(c.key, c.stored);
    EXPECT_EQ(c.Compare("A"), 1);
    EXPECT_EQ(c.Compare("A:D"), 1);
    std::swap(c.key, c.stored);

    PutFixed<std::int32_t>(*c.storage, c.stored, 2, 9);
    PutFixed<std::int32_t>(*c.storage, c.key, 1, 1);
    PutFixed<std::int32_t>(*c.storage, c.key, 2, 5);
    EXPECT_EQ(c.Compare("A;B", chBreakGT), -1);
    EXPECT_EQ(c.Compare("A;B", chBreakNE, 1), 0);
    EXPECT_EQ(c.Compare("A;B:D"), 1);
    EXPECT_EQ(c.Compare("A;B:D", chBreakGT), -1); // descending counts only for chBreakNE
    EXPECT_EQ(c.Compare("A;B", chBreakLTE), 0);   // stops at the first field, equal
    PutFixed<std::int32_t>(*c.storage, c.key, 1, 2);
    PutFixed<std::int32_t>(*c.storage, c.key, 2, 1);
    EXPECT_EQ(c.Compare("A;B", chBreakGT), 1);
    EXPECT_EQ(c.Compare("A;B", chBreakLT), -1); // the first field is not below: the second decides

    c.table.OnCompareFields = [](const void*, const void*, TFieldType type,
                                 TzelMemTableCompareOptions, bool&, int& result) {
        result = type == ftInteger ? -1 : 0;
        return true;
    };
    EXPECT_EQ(c.Compare("A;B"), -1);
}

TEST(RecordCompare, TextsComeFromBlocksAndStoredRecords)
{
    Compared c;
    PutVarText(*c.storage, c.stored, 3, "Rossi");
    PutFixed<std::int32_t>(*c.storage, c.stored, 1, 9);
    PutVarText(*c.storage, c.key, 3, "Ros");
    PutFixed<std::int32_t>(*c.storage, c.key, 1, 1);
    EXPECT_EQ(c.Compare("Nome;A"), -1);
    EXPECT_EQ(c.Compare("Nome;A", chBreakNE, 0, false, true), 0); // partial match ends as equal
    EXPECT_EQ(c.Compare("Nome:P;A"), 0);

    // A buffer fetched from the stored record reads the stored block.
    RecordHolder buffer(*c.storage);
    c.storage->_InternalMoveRecord(c.stored, buffer.get());
    PutVarText(*c.storage, c.key, 3, "Rossi");
    EXPECT_EQ(c.Compare("Nome", chBreakNE, 0, false, false, buffer.get()), 0);
    PutVarText(*c.storage, c.key, 3, "Bianchi");
    EXPECT_EQ(c.Compare("Nome", chBreakNE, 0, false, false, buffer.get()), -1);
    buffer->RecordID = -1;
    EXPECT_EQ(MessageOf([&] { c.Compare("Nome", chBreakNE, 0, false, false, buffer.get()); }),
              "EMemTableError: Invalid record ");

    c.storage->SetLocaleID(99999);
    EXPECT_EQ(MessageOf([&] { c.Compare("Nome"); }), "EMemTableError: Invalid locale. 99999");
    EXPECT_EQ(c.Compare("Nome:L"), -1);
}

TEST(RecordCompare, CompressedValuesPassThroughTheDecompressor)
{
    Compared c(mtpfSmall);
    ASSERT_TRUE(c.storage->IsCompressedField(3));
    PutVarText(*c.storage, c.stored, 3, "rossi");
    PutVarText(*c.storage, c.key, 3, "ROSSI");
    EXPECT_EQ(c.Compare("Nome:L"), -1);
    c.table.OnDecompressField = [](const char* buffer, int size, std::string& result) {
        result.assign(buffer, static_cast<std::size_t>(size));
        for (char& ch : result)
            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        return true;
    };
    EXPECT_EQ(c.Compare("Nome:L"), 0);
}

} // namespace
