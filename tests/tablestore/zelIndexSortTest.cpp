// Sorting a memory table: SortOn and its sort index, multi-field and descending orders, the
// tie-break of equal keys, the quicksort itself and the order against independent references.

#include "IndexTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <numeric>
#include <random>

namespace {

using Names = std::vector<std::string>;

TEST(MemTableSort, SortOnOrdersKeepsTheCurrentRowAndReplacesItsIndex)
{
    auto table = MakeCustomers();
    table->Locate("Denominazione", Variant("Verdi"), {});
    table->SortOn("Denominazione", {});
    EXPECT_EQ(Current(*table), "Verdi");
    EXPECT_EQ(table->RecNo(), 5);
    EXPECT_EQ(table->IndexName(), "");
    EXPECT_EQ(table->IndexFieldNames(), "");
    EXPECT_EQ(table->LastSortFieldNames(), "Denominazione");
    EXPECT_EQ(ScanField(*table, "Denominazione"),
              (Names{"Bianchi", "rossana", "Rossetti", "ROSSI MARIO", "Verdi"}));

    table->SortOn("Citta", {});
    EXPECT_EQ(table->Indexes().Count(), 2);
    EXPECT_EQ(table->Indexes().Get("__MT__DEFSORT"), table->SortIndex());
    EXPECT_EQ(ScanField(*table, "Denominazione"),
              (Names{"Rossetti", "Verdi", "ROSSI MARIO", "Bianchi", "rossana"}));

    table->SortOn("", {});
    EXPECT_EQ(table->SortIndex(), nullptr);
    EXPECT_EQ(table->CurrentIndex(), table->Indexes().RowOrderIndex());
    EXPECT_EQ(ScanField(*table, "Denominazione"),
              (Names{"ROSSI MARIO", "Bianchi", "rossana", "Verdi", "Rossetti"}));
}

TEST(MemTableSort, SortOnAClosedTableOrAnUnindexableFieldLeavesTheRowOrder)
{
    auto table = MakeCustomers();
    table->SortOn("Citta", {});
    ExpectFailure([&] { table->SortOn("Note", {}); }, "EDatabaseError",
                  "Can't index on field Note");
    EXPECT_TRUE(table->Active());
    EXPECT_EQ(table->SortIndex(), nullptr);
    EXPECT_EQ(table->Indexes().Count(), 1);
    EXPECT_EQ(table->CurrentIndex(), table->Indexes().RowOrderIndex());
    EXPECT_EQ(ScanField(*table, "Denominazione"),
              (Names{"ROSSI MARIO", "Bianchi", "rossana", "Verdi", "Rossetti"}));

    table->Close();
    table->SortOn("Denominazione", {});
    EXPECT_EQ(table->SortIndex(), nullptr);
    EXPECT_EQ(table->LastSortFieldNames(), "Note");
}

std::unique_ptr<TzelMemTable> MakeRegister()
{
    auto table = std::make_unique<TzelMemTable>(nullptr);
    table->FieldDefs().Add("Tipologia", ftString, 2);
    table->FieldDefs().Add("Fattura", ftInteger);
    table->CreateTable();
    table->Open();
    const std::vector<std::pair<std::string, int>> rows = {
        {"FT", 3}, {"AC", 1}, {"FT", 1}, {"NA", 2}, {"AC", 2}};
    for (const auto& [type, number] : rows) {
        table->Append();
        table->FieldByName("Tipologia")->SetAsString(type);
        table->FieldByName("Fattura")->SetAsInteger(number);
        table->Post();
    }
    return table;
}

Names Rows(TDataSet& table)
{
    Names rows;
    table.First();
    for (; !table.Eof(); table.Next())
        rows.push_back(table.FieldByName("Tipologia")->AsString() + " " +
                       table.FieldByName("Fattura")->AsString());
    return rows;
}

TEST(MemTableSort, SeveralFieldsWithTheirOwnOptions)
{
    auto table = MakeRegister();
    table->SortOn("Tipologia;Fattura", {});
    EXPECT_EQ(Rows(*table), (Names{"AC 1", "AC 2", "FT 1", "FT 3", "NA 2"}));
    table->SortOn("Fattura:D;Tipologia", {});
    EXPECT_EQ(Rows(*table), (Names{"FT 3", "AC 2", "NA 2", "AC 1", "FT 1"}));
}

TEST(MemTableSort, EqualKeysWithoutPositionsComeOutInIdentifierOrder)
{
    auto table = MakeNameTable();
    table->Open();
    for (int i = 0; i < 60; ++i)
        AddRow(*table, "x", i);
    // Deleting in a scrambled order leaves free slots that the next appends reuse out of order.
    std::mt19937 random(7);
    while (!table->IsEmpty()) {
        table->First();
        table->MoveBy(static_cast<int>(random() % static_cast<unsigned>(table->RecordCount())));
        table->Delete();
    }
    table->SetEnableIndexes(false);
    for (int i = 0; i < 50; ++i)
        AddRow(*table, "uguale", i);
    table->SetEnableIndexes(true);
    table->UpdateIndexes();
    table->SortOn("Nome", {});

    TzelIndex* sort = table->SortIndex();
    ASSERT_EQ(sort->Count(), 50);
    std::vector<int> identifiers;
    for (int i = 0; i < sort->Count(); ++i)
        identifiers.push_back(sort->Reference(i)->RecordID);
    EXPECT_TRUE(std::is_sorted(identifiers.begin(), identifiers.end()));
    const Names numbers = IndexKeys(*table, sort, "Numero");
    EXPECT_FALSE(std::is_sorted(numbers.begin(), numbers.end(),
                                [](const std::string& a, const std::string& b) {
                                    return std::stoi(a) < std::stoi(b);
                                }))
        << "the deletes did not scramble the identifiers";
}

TEST(MemTableSort, ADescendingIndexListsNullsFirst)
{
    auto table = MakeNameTable();
    table->Open();
    for (int value : {3, -1, 1, -1, 2}) {
        table->Append();
        table->FieldByName("Nome")->SetAsString("n");
        if (value >= 0)
            table->FieldByName("Numero")->SetAsInteger(value);
        table->Post();
    }
    table->SortOn("Numero:D", {});
    EXPECT_EQ(ScanField(*table, "Numero"), (Names{"", "", "3", "2", "1"}));
}

std::unique_ptr<TzelMemTable> MakeNumbers(const std::vector<int>& keys)
{
    auto table = MakeNameTable();
    table->Open();
    for (int key : keys)
        AddRow(*table, "", key);
    return table;
}

TEST(MemTableSort, TheQuickSortGivesOneOrderFromAnyStart)
{
    std::vector<int> sorted(1000);
    std::iota(sorted.begin(), sorted.end(), 1);
    std::vector<int> reversed(sorted.rbegin(), sorted.rend());
    std::vector<int> shuffled = sorted;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(3));
    Names expected;
    for (int key : sorted)
        expected.push_back(std::to_string(key));
    for (const auto& start : {sorted, reversed, shuffled}) {
        auto table = MakeNumbers(start);
        table->SortOn("Numero", {});
        EXPECT_EQ(IndexKeys(*table, table->SortIndex(), "Numero"), expected);
        EXPECT_TRUE(table->SortIndex()->IsOrdered());
    }
}

TEST(MemTableSort, RandomArraysWithDuplicatesEndOrderedUnderTheIndexComparison)
{
    std::mt19937 random(11);
    for (int size = 0; size <= 200; size += 7) {
        std::vector<int> keys(static_cast<std::size_t>(size));
        for (int& key : keys)
            key = static_cast<int>(random() % 6);
        auto table = MakeNumbers(keys);
        table->SetEnableIndexes(size % 2 == 0);
        table->SortOn("Numero", {});
        TzelIndex* sort = table->SortIndex();
        ASSERT_EQ(sort->Count(), size);
        for (int i = 1; i < sort->Count(); ++i)
            ASSERT_LE(sort->CompareRecords(nullptr, sort->Reference(i - 1), sort->Reference(i),
                                           true, false),
                      0)
                << "size " << size << " at " << i;
    }
}

// Names over letters, digits, blanks and accented vowels, drawn from a smaller pool so that
// many repeat.
Names RandomNames(int count, unsigned randomStart)
{
    static const std::string alphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                        "0123456789  \xE0\xE8\xE9\xEC\xF2\xF9\xC0\xC8\xC9\xD2";
    std::mt19937 random(randomStart);
    Names pool(static_cast<std::size_t>(count / 4 + 1));
    for (std::string& name : pool) {
        const int length = 1 + static_cast<int>(random() % 12);
        for (int i = 0; i < length; ++i)
            name += alphabet[random() % alphabet.size()];
        name = Trim(name);
        if (name.empty())
            name = "z";
    }
    Names names;
    for (int i = 0; i < count; ++i)
        names.push_back(pool[random() % pool.size()]);
    return names;
}

std::unique_ptr<TzelMemTable> MakeNames(const Names& names, bool enableIndexes)
{
    auto table = std::make_unique<TzelMemTable>(nullptr);
    table->FieldDefs().Add("Nome", ftString, 20);
    table->CreateTable();
    table->Open();
    table->SetEnableIndexes(enableIndexes);
    for (const std::string& name : names) {
        table->Append();
        table->FieldByName("Nome")->SetAsString(name);
        table->Post();
    }
    return table;
}

TEST(MemTableSort, LocaleOrderEqualsAStableSortWithTheFieldComparison)
{
    const Names names = RandomNames(10000, 5);
    auto table = MakeNames(names, true);
    table->SortOn("Nome", {});

    Names expected = names;
    std::stable_sort(expected.begin(), expected.end(),
                     [](const std::string& a, const std::string& b) {
                         bool full = true;
                         return CompareFields(a.c_str(), b.c_str(), ftString, full, {}, 1024) < 0;
                     });
    EXPECT_EQ(IndexKeys(*table, table->SortIndex(), "Nome"), expected);

    // The same order from the sort that collates at every comparison.
    TzelIndex* sort = table->SortIndex();
    sort->LoadAll();
    sort->FastQuickSort(0, sort->Count() - 1);
    EXPECT_EQ(IndexKeys(*table, sort, "Nome"), expected);
}

TEST(MemTableSort, TextSortKeysOrderPairsAsTheFieldComparison)
{
    Names names = RandomNames(4000, 21);
    // Hyphens and apostrophes count only to break ties in the locale's word sort.
    for (const char* extra : {"D'Amico", "DAmico", "D-Amico", "d'amico", "Co-op", "coop", "Coop",
                              "co-op", "'", "-", "", "a-b-c", "ab-c", "abc"})
        names.push_back(extra);
    std::mt19937 random(13);
    const TzelMemTableCompareOptions optionSets[] = {
        {}, {mtcoCaseInsensitive}, {mtcoIgnoreLocale}, {mtcoIgnoreLocale, mtcoCaseInsensitive}};
    for (const TzelMemTableCompareOptions& options : optionSets) {
        std::vector<std::string> keys(names.size());
        for (std::size_t i = 0; i < names.size(); ++i)
            ASSERT_TRUE(zelTextSortKey(names[i].data(), names[i].size(), options, 1024, keys[i]));
        int mismatches = 0;
        for (int pair = 0; pair < 100000; ++pair) {
            const std::size_t a = random() % names.size();
            const std::size_t b = pair < 200 ? names.size() - 1 - pair % 14 : random() % names.size();
            bool full = true;
            const int expected =
                CompareFields(names[a].c_str(), names[b].c_str(), ftString, full, options, 1024);
            const int order = keys[a].compare(keys[b]);
            if ((order < 0 ? -1 : order > 0 ? 1 : 0) != expected && ++mismatches < 5)
                ADD_FAILURE() << "options " << options.Bits() << ": \"" << names[a] << "\" vs \""
                              << names[b] << "\"";
        }
        EXPECT_EQ(mismatches, 0) << "options " << options.Bits();
    }
}

std::string Hex(const std::string& bytes)
{
    std::string text;
    char digits[3];
    for (unsigned char c : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", c);
        text += digits;
    }
    return text;
}

TEST(MemTableSort, ByteOrderWithTheIdentifierTieBreakMatchesPython)
{
    const Names names = RandomNames(10000, 9);
    auto table = MakeNames(names, false);
    table->SortOn("Nome:L", {});
    TzelIndex* sort = table->SortIndex();
    ASSERT_EQ(sort->Count(), 10000);

    const std::string input = testing::TempDir() + "sort_peer_input.txt";
    {
        std::ofstream out(input);
        TzelIndex* all = sort;
        for (int i = 0; i < all->Count(); ++i) {
            table->SetVersionReadRecord(all->Reference(i));
            out << Hex(table->FieldByName("Nome")->AsString()) << ' '
                << all->Reference(i)->RecordID << '\n';
        }
        table->SetVersionReadRecord(nullptr);
    }
    const std::string command =
        "python3 -c \"import sys\n"
        "pairs=[(bytes.fromhex(h), int(i)) for h, i in (l.split() for l in open(sys.argv[1]))]\n"
        "print(' '.join(str(i) for _, i in sorted(pairs)))\" " +
        input;
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char chunk[4096];
    while (std::fgets(chunk, sizeof chunk, pipe))
        output += chunk;
    ASSERT_EQ(pclose(pipe), 0);
    std::remove(input.c_str());

    std::string ours;
    for (int i = 0; i < sort->Count(); ++i)
        ours += (i ? " " : "") + std::to_string(sort->Reference(i)->RecordID);
    EXPECT_EQ(ours + "\n", output);
}

} // namespace

namespace {

TEST(MemTableSort, ProgressAndAFailingComparisonLeaveTheTableBrowsing)
{
    auto table = MakeCustomers();
    table->SetProgressFlags({mtpcSort, mtpcSearch});
    std::vector<std::pair<int, TzelProgressCode>> reports;
    std::vector<TzelState> states;
    table->OnProgress = [&](TDataSet*, int percentage, TzelProgressCode code) {
        reports.emplace_back(percentage, code);
    };
    table->SortOn("Denominazione", {});
    const std::vector<std::pair<int, TzelProgressCode>> sorted = {{0, mtpcSort},
                                                                   {100, mtpcSort}};
    EXPECT_EQ(reports, sorted);

    // A sort with a pending edit posts it first.
    table->First();
    table->Edit();
    table->FieldByName("Denominazione")->SetAsString("Zanardi");
    table->SortOn("Citta", {});
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_EQ(ScanField(*table, "Citta").front(), "Ancona");
    EXPECT_TRUE(table->Locate("Denominazione", Variant("Zanardi"), {}));

    table->OnCompareFields = [&](TDataSet* DataSet, const void*, const void*, TFieldType,
                                 TzelMemTableCompareOptions, bool&, int&) {
        states.push_back(static_cast<TzelMemTable*>(DataSet)->TableState());
        throw EMemTableError("confronto fallito");
    };
    ExpectFailure([&] { table->SortOn("Denominazione", {}); }, "EMemTableError",
                  "confronto fallito");
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.front(), mtstSort);
    EXPECT_EQ(table->TableState(), mtstBrowse);
    EXPECT_EQ(table->SortIndex(), nullptr);
    EXPECT_EQ(table->CurrentIndex(), table->Indexes().RowOrderIndex());
    EXPECT_TRUE(table->Active());
    table->OnCompareFields = nullptr;
    EXPECT_EQ(ScanField(*table, "Denominazione").size(), 5u);
}

} // namespace

namespace {

// Bisection compares slots directly; every search must land where the field comparison says.
TEST(MemTableSort, SearchesLandWhereTheFieldComparisonSays)
{
    Names names = RandomNames(3000, 31);
    for (const char* extra : {"D'Amico", "DAmico", "D-Amico", "d'amico", "Co-op", "coop"})
        names.push_back(extra);
    for (const TzelMemTableCompareOptions options :
         {TzelMemTableCompareOptions{}, TzelMemTableCompareOptions{mtcoCaseInsensitive},
          TzelMemTableCompareOptions{mtcoIgnoreLocale, mtcoCaseInsensitive},
          TzelMemTableCompareOptions{mtcoDescending}}) {
        SCOPED_TRACE(options.Bits());
        auto table = MakeNames(names, true);
        table->SortOn("Nome", options);
        TzelIndex* sort = table->SortIndex();
        const Names keys = IndexKeys(*table, sort, "Nome");
        std::mt19937 random(17);
        for (int probe = 0; probe < 500; ++probe) {
            const std::string key = probe % 2 ? names[random() % names.size()]
                                              : RandomNames(1, random())[0];
            TzelRecord* record = table->Common()->_InternalAllocRecord();
            table->PopulateField(record, table->FieldByName("Nome"), Variant(key));
            bool found = false;
            int lastCompare = 0;
            const int position = sort->Search(nullptr, record, false, false, found, lastCompare);
            table->Common()->_InternalFreeRecord(record, true, false);
            std::size_t expected = 0;
            int order = 1;
            for (; expected < keys.size(); ++expected) {
                bool full = true;
                order = CompareFields(key.c_str(), keys[expected].c_str(), ftString, full,
                                      options, 1024);
                if (order <= 0)
                    break;
            }
            ASSERT_EQ(found, order == 0 && expected < keys.size()) << key;
            if (found)
                ASSERT_EQ(position, static_cast<int>(expected)) << key;
            else
                ASSERT_EQ(position, static_cast<int>(expected)) << key << " (insertion point)";
        }
    }
}

} // namespace
