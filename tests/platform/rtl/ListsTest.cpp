#include "platform/rtl/Lists.h"

#include "platform/rtl/Streams.h"
#include "platform/rtl/TextUtils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

std::vector<std::string> Lines(const TStrings& list)
{
    std::vector<std::string> lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list.Strings(i));
    return lines;
}

void Fill(TStrings& list, const std::vector<std::string>& lines)
{
    list.Clear();
    for (const auto& line : lines)
        list.Add(line);
}

template <typename E>
std::string MessageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const E& e) {
        return e.Message;
    }
    return "(no exception)";
}

} // namespace

TEST(StringList, ValuesNamesAndValueFromIndex)
{
    TStringList list;
    Fill(list, {"Nome=Rossi", "citta=Roma", "senza separatore", "Vuoto=", "a=b=c"});
    EXPECT_EQ(list.Values("NOME"), "Rossi"); // names compare without regard to case
    EXPECT_EQ(list.Values("Citta"), "Roma");
    EXPECT_EQ(list.Values("a"), "b=c");
    EXPECT_EQ(list.Values("manca"), "");
    EXPECT_EQ(list.IndexOfName("VUOTO"), 3);
    EXPECT_EQ(list.IndexOfName("senza separatore"), -1);
    EXPECT_EQ(list.Names(0), "Nome");
    EXPECT_EQ(list.Names(2), "");
    EXPECT_EQ(list.ValueFromIndex(4), "b=c");
    EXPECT_EQ(list.ValueFromIndex(2), "");

    list.SetValues("citta", "Milano"); // replaces the line in place, with the name as given
    EXPECT_EQ(list.Strings(1), "citta=Milano");
    list.SetValues("Nome", "");        // an empty value deletes the line
    list.SetValues("manca", "");       // and deleting a missing name does nothing
    list.SetValues("Nuovo", "1");      // a new name goes at the end
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"citta=Milano", "senza separatore", "Vuoto=",
                                                     "a=b=c", "Nuovo=1"}));
    list.SetValueFromIndex(0, "Torino");
    EXPECT_EQ(list.Strings(0), "citta=Torino");
    list.SetValueFromIndex(0, "");
    EXPECT_EQ(list.Count(), 4);

    list.SetNameValueSeparator(':');
    list.Add("k:v");
    EXPECT_EQ(list.Values("K"), "v");
}

TEST(StringList, CommaTextQuotesWhatItMustAndRoundTrips)
{
    TStringList list;
    Fill(list, {"a b", "c\"d", "", "e,f", "plain", "\xE8 ok"});
    const std::string comma = "\"a b\",\"c\"\"d\",,\"e,f\",plain,\"\xE8 ok\"";
    EXPECT_EQ(list.CommaText(), comma);
    TStringList back;
    back.SetCommaText(comma);
    EXPECT_EQ(Lines(back), Lines(list));

    struct Case {
        std::string text;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", {}},
        {"\"\"", {""}},
        {"a b", {"a", "b"}}, // blanks separate unquoted strings
        {"  a ,  b  ", {"a", "b"}},
        {"a,", {"a", ""}},
        {",a", {"", "a"}},
        {"\"x\"y,z", {"x", "y", "z"}},
        {"\"open", {"open"}},
        {std::string("a\0b", 3), {"a"}}, // the class library stops at a NUL
    };
    for (const auto& c : cases) {
        back.SetCommaText(c.text);
        EXPECT_EQ(Lines(back), c.lines) << c.text;
    }
    Fill(list, {""});
    EXPECT_EQ(list.CommaText(), "\"\"");
}

TEST(StringList, DelimitedTextUsesItsDelimiterAndQuote)
{
    TStringList list;
    list.SetDelimiter(';');
    list.SetQuoteChar('\'');
    Fill(list, {"a;b", "it's", "c,d", "x"});
    EXPECT_EQ(list.DelimitedText(), "'a;b';'it''s';c,d;x");
    EXPECT_EQ(list.CommaText(), "a;b,it's,\"c,d\",x"); // CommaText keeps its own characters
    TStringList back;
    back.SetDelimiter(';');
    back.SetQuoteChar('\'');
    back.SetDelimitedText(list.DelimitedText());
    EXPECT_EQ(Lines(back), Lines(list));
    EXPECT_EQ(back.Delimiter(), ';');
}

TEST(StringList, TextSplitsOnCrLfAndCrLfAndJoinsWithCrLf)
{
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
        {"\r\n\r\n", {"", ""}},
        {"a\n\rb", {"a", "", "b"}},
        {"a\r\r\nb", {"a", "", "b"}},
        {std::string("x\0y\r\nz", 6), {std::string("x\0y", 3), "z"}}, // lines are binary-safe
    };
    TStringList list;
    for (const auto& c : cases) {
        list.SetText(c.text);
        EXPECT_EQ(Lines(list), c.lines);
    }
    Fill(list, {"uno", "", "tr\xE9"});
    EXPECT_EQ(list.Text(), "uno\r\n\r\ntr\xE9\r\n");
}

TEST(StringList, SortedListsHonourEachDuplicatesMode)
{
    TStringList list;
    list.SetSorted(true);
    for (std::string s : {"pera", "Mela", "banana", "mela", "Arancia"})
        list.Add(s);
    // dupIgnore: the second "mela" returns the index of the first and is not added.
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"Arancia", "banana", "Mela", "pera"}));
    EXPECT_EQ(list.Add("MELA"), 2);

    list.SetDuplicates(dupAccept);
    list.Add("mela");
    EXPECT_EQ(list.Count(), 5);
    EXPECT_TRUE(AnsiSameText(list.Strings(2), "mela"));
    EXPECT_TRUE(AnsiSameText(list.Strings(3), "mela"));

    list.SetDuplicates(dupError);
    EXPECT_EQ(MessageOf<EStringListError>([&] { list.Add("PERA"); }),
              "String list does not allow duplicates");
    EXPECT_EQ(list.Count(), 5);
    list.Add("ciliegia");
    EXPECT_EQ(list.IndexOf("CILIEGIA"), 2);
    EXPECT_EQ(list.IndexOf("fragola"), -1);

    int index = -1;
    EXPECT_FALSE(list.Find("datteri", index));
    EXPECT_EQ(index, 3);
    EXPECT_EQ(MessageOf<EStringListError>([&] { list.Insert(0, "z"); }),
              "Operation not allowed on sorted string list");
    EXPECT_EQ(MessageOf<EStringListError>([&] { list.SetStrings(0, "z"); }),
              "Operation not allowed on sorted string list");

    // Refused changes leave the list as it was: no line lost, no empty line left behind.
    const auto before = Lines(list);
    EXPECT_THROW(list.Move(0, 2), EStringListError);
    EXPECT_THROW(list.SetValues("nuovo", "1"), EStringListError);
    EXPECT_THROW(list.SetValueFromIndex(-1, "1"), EStringListError);
    EXPECT_EQ(Lines(list), before);
}

TEST(StringList, SortingUsesTheLocaleAndCaseSensitivity)
{
    TStringList list;
    Fill(list, {"zeta", "\xE8" "cole", "Eco", "ecco", "ABC"});
    list.SetSorted(true); // AnsiCompareText: accents and case after the letters
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"ABC", "ecco", "Eco", "\xE8" "cole", "zeta"}));

    Fill(list, {"b", "B", "a", "A"});
    EXPECT_EQ(list.IndexOf("b"), list.IndexOf("B")); // equal without case
    list.SetCaseSensitive(true);
    EXPECT_NE(list.IndexOf("b"), list.IndexOf("B"));
    // Switching case sensitivity re-sorts a sorted list, so that Find still works.
    list.SetCaseSensitive(false);
    list.SetDuplicates(dupAccept);
    Fill(list, {"b", "a", "B", "A"});
    list.SetCaseSensitive(true);
    for (std::string s : {"a", "A", "b", "B"})
        EXPECT_EQ(list.Strings(list.IndexOf(s)), s);

    TStringList custom;
    Fill(custom, {"10", "9", "100"});
    custom.CustomSort([](TStringList* l, int i, int j) {
        return std::stoi(l->Strings(i)) - std::stoi(l->Strings(j));
    });
    EXPECT_EQ(Lines(custom), (std::vector<std::string>{"9", "10", "100"}));
}

TEST(StringList, ComparesExactlyAsTheLocaleCollation)
{
    // The list settles most comparisons from the leading letters; it must agree with the
    // collator on every pair, accents, case, blanks, hyphens and apostrophes included.
    std::string alphabet = "aAbBeEzZ -'.,0159_";
    for (int c = 0x80; c <= 0xFF; ++c)
        alphabet += static_cast<char>(c);
    std::mt19937 random(11);
    // Half the pairs from a few characters, so that they share long prefixes.
    const std::string few = "aA 19\xE0-'";
    auto text = [&] {
        const std::string& chars = random() % 2 ? alphabet : few;
        std::string s;
        for (unsigned n = random() % 7; n > 0; --n)
            s += chars[random() % chars.size()];
        return s;
    };
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    TStringList list;
    for (int i = 0; i < 20000; ++i) {
        std::string a = text();
        std::string b = text();
        list.SetCaseSensitive(false);
        ASSERT_EQ(sign(list.CompareStrings(a, b)), sign(AnsiCompareText(a, b))) << a << " | " << b;
        list.SetCaseSensitive(true);
        ASSERT_EQ(sign(list.CompareStrings(a, b)), sign(AnsiCompareStr(a, b))) << a << " | " << b;
    }
}

TEST(StringList, LongSortedListStaysConsistentWithAModel)
{
    // Enough lines to split and empty the internal blocks many times.
    std::mt19937 random(7);
    TStringList list;
    list.SetSorted(true);
    list.SetDuplicates(dupAccept);
    list.SetCaseSensitive(true);
    std::vector<std::string> model;
    for (int step = 0; step < 4000; ++step) {
        if (random() % 3 != 0 || model.empty()) {
            std::string name = "n" + std::to_string(random() % 4000);
            list.Add(name);
            model.insert(std::upper_bound(model.begin(), model.end(), name,
                                          [&](const std::string& a, const std::string& b) {
                                              return AnsiCompareStr(a, b) < 0;
                                          }),
                         name);
        } else {
            int index = static_cast<int>(random() % model.size());
            list.Delete(index);
            model.erase(model.begin() + index);
        }
    }
    ASSERT_EQ(list.Count(), static_cast<int>(model.size()));
    for (int i = 0; i < list.Count(); ++i)
        ASSERT_TRUE(AnsiSameStr(list.Strings(i), model[i])) << i;
}

TEST(StringList, EditingOperationsObjectsAndIndexErrors)
{
    TStringList list;
    TStringList a, b;
    Fill(list, {"zero", "uno", "due", "tre"});
    list.SetObjects(1, &a);
    list.Exchange(0, 1);
    EXPECT_EQ(list.Strings(0), "uno");
    EXPECT_EQ(list.Objects(0), &a);
    list.Move(0, 3);
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"zero", "due", "tre", "uno"}));
    EXPECT_EQ(list.IndexOfObject(&a), 3);
    list.InsertObject(1, "mezzo", &b);
    EXPECT_EQ(list.Objects(1), &b);
    list.Delete(0);
    EXPECT_EQ(list.Strings(0), "mezzo");

    EXPECT_EQ(MessageOf<EStringListError>([&] { list.Strings(4); }), "List index out of bounds (4)");
    EXPECT_EQ(MessageOf<EStringListError>([&] { list.Delete(-1); }), "List index out of bounds (-1)");
    EXPECT_EQ(MessageOf<EStringListError>([&] { list.Insert(6, "x"); }), "List index out of bounds (6)");
    EXPECT_EQ(MessageOf<EStringListError>([&] { list.Move(0, 4); }), "List index out of bounds (4)");
    EXPECT_EQ(list.Count(), 4);

    TStringList copy;
    copy.SetDelimiter(';');
    copy.Add("old");
    list.SetDelimiter('|');
    copy.Assign(&list);
    EXPECT_TRUE(copy.Equals(&list));
    EXPECT_EQ(copy.Delimiter(), '|');
    EXPECT_EQ(copy.Objects(0), &b); // objects are shared, not copied
    copy.SetStrings(0, "MEZZO");
    EXPECT_FALSE(copy.Equals(&list)); // Equals compares exactly
    copy.AddStrings(&list);
    EXPECT_EQ(copy.Count(), 8);

    TCollection collection(nullptr);
    EXPECT_EQ(MessageOf<EConvertError>([&] { copy.Assign(&collection); }),
              "Cannot assign a TCollection to a TStringList");
}

TEST(StringList, UpdatesGroupChangeEvents)
{
    TStringList list;
    std::string events;
    list.OnChanging = [&](TObject* sender) {
        EXPECT_EQ(sender, &list);
        events += "<";
    };
    list.OnChange = [&](TObject*) { events += ">"; };
    list.Add("a");
    list.Delete(0);
    EXPECT_EQ(events, "<><>");
    events.clear();
    list.BeginUpdate();
    list.BeginUpdate();
    list.SetText("x\ny\nz");
    list.Sort();
    list.EndUpdate();
    EXPECT_EQ(events, "<");
    list.EndUpdate();
    EXPECT_EQ(events, "<>");
    events.clear();
    list.Clear();
    list.Clear(); // nothing to clear, nothing to report
    EXPECT_EQ(events, "<>");
}

TEST(StringList, FilesAreWindows1252WithCrLfAndSavedAtomically)
{
    auto folder = std::filesystem::temp_directory_path() / ("lists-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::string path = (folder / "righe.txt").string();

    TStringList list;
    Fill(list, {"perch\xE9", "", "\x80 10"});
    list.SaveToFile(path);
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    EXPECT_EQ(bytes.str(), "perch\xE9\r\n\r\n\x80 10\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1); // no temporary

    TStringList loaded;
    loaded.LoadFromFile(path);
    EXPECT_TRUE(loaded.Equals(&list));

    TStringStream stream("skip\nuno\rdue");
    stream.SetPosition(5); // reading starts at the position
    loaded.LoadFromStream(stream);
    EXPECT_EQ(Lines(loaded), (std::vector<std::string>{"uno", "due"}));

    EXPECT_THROW(loaded.LoadFromFile((folder / "manca.txt").string()), EFOpenError);
    EXPECT_EQ(loaded.Count(), 2); // a failed load keeps the lines
    std::filesystem::remove_all(folder);
}

TEST(List, PointerListOperationsAndErrors)
{
    int values[5] = {};
    TList list;
    for (int& v : values)
        list.Add(&v);
    list.Insert(0, nullptr);
    list.Exchange(1, 5);
    EXPECT_EQ(list.Items(1), &values[4]);
    list.Move(1, 5);
    EXPECT_EQ(list.Last(), &values[4]);
    EXPECT_EQ(list.Remove(&values[2]), 2);
    EXPECT_EQ(list.Remove(&values[2]), -1);
    EXPECT_EQ(list.Extract(&values[1]), &values[1]);
    list.Pack();
    EXPECT_EQ(list.Count(), 3);
    list.Sort([](void* x, void* y) { return static_cast<int*>(y) - static_cast<int*>(x); });
    EXPECT_EQ(list.First(), &values[4]);
    EXPECT_EQ(list.IndexOf(&values[0]), 2);

    EXPECT_EQ(MessageOf<EListError>([&] { list.Items(3); }), "List index out of bounds (3)");
    EXPECT_EQ(MessageOf<EListError>([&] { list.Delete(-2); }), "List index out of bounds (-2)");
    EXPECT_EQ(MessageOf<EListError>([&] { list.Insert(4, nullptr); }), "List index out of bounds (4)");
    list.SetCount(5);
    EXPECT_EQ(list.Items(4), nullptr);
}

namespace {

class TField : public TCollectionItem {
    TESS_CLASS(TField, TCollectionItem)
public:
    using TCollectionItem::TCollectionItem;
    std::string Value;
    void Assign(TPersistent* Source) override
    {
        if (auto* field = dynamic_cast<TField*>(Source)) {
            Value = field->Value;
            Changed(false);
            return;
        }
        TCollectionItem::Assign(Source);
    }
};

class TFields : public TCollection {
public:
    TFields() : TCollection([](TCollection* c) { return new TField(c); }) {}
    TField* Field(int index) const { return static_cast<TField*>(Items(index)); }
    std::vector<TCollectionItem*> Updates;

protected:
    void Update(TCollectionItem* item) override { Updates.push_back(item); }
};

} // namespace

TEST(Collection, ItemsKeepOrderIdsAndReportUpdates)
{
    TFields fields;
    auto* a = static_cast<TField*>(fields.Add());
    auto* b = static_cast<TField*>(fields.Add());
    auto* c = static_cast<TField*>(fields.Insert(0));
    EXPECT_EQ(c->Index(), 0);
    EXPECT_EQ(a->Index(), 1);
    EXPECT_EQ(c->ID(), 2);
    fields.Updates.clear();

    b->Value = "b";
    fields.SetItems(0, b); // assigns into the item at 0
    EXPECT_EQ(fields.Field(0)->Value, "b");
    EXPECT_EQ(fields.Updates, std::vector<TCollectionItem*>{c});

    fields.Delete(1); // a
    EXPECT_EQ(fields.Count(), 2);
    EXPECT_EQ(fields.FindItemID(0), nullptr);
    EXPECT_EQ(fields.FindItemID(1), b);
    delete c; // an item destroyed on its own leaves its collection
    EXPECT_EQ(fields.Count(), 1);
    EXPECT_EQ(fields.Add()->ID(), 3); // ids are never reused

    fields.Updates.clear();
    fields.BeginUpdate();
    fields.Add();
    fields.Delete(0);
    EXPECT_TRUE(fields.Updates.empty());
    fields.EndUpdate();
    EXPECT_EQ(fields.Updates, std::vector<TCollectionItem*>{nullptr});

    TFields copy;
    copy.Assign(&fields);
    EXPECT_EQ(copy.Count(), fields.Count());
    EXPECT_EQ(copy.Field(0)->Value, fields.Field(0)->Value);
    try {
        fields.Items(9);
        ADD_FAILURE();
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message, "List index out of bounds (9)");
    }
    TCollection plain(nullptr);
    plain.Add();
    EXPECT_THROW(plain.Items(0)->Assign(fields.Items(0)), EConvertError);

    // An item moved to another collection belongs to it.
    TCollectionItem* moved = fields.Items(0);
    moved->SetCollection(&plain);
    EXPECT_EQ(plain.Count(), 2);
    EXPECT_EQ(fields.Count(), 1);
}

TEST(Bits, GrowsOnWriteAndFindsTheFirstOpenBit)
{
    TBits bits;
    EXPECT_EQ(bits.OpenBit(), 0);
    bits.SetBits(0, true);
    bits.SetBits(1, true);
    bits.SetBits(4, true);
    EXPECT_EQ(bits.Size(), 5);
    EXPECT_EQ(bits.OpenBit(), 2);
    EXPECT_FALSE(bits.Bits(3));
    bits.SetBits(2, true);
    bits.SetBits(3, true);
    EXPECT_EQ(bits.OpenBit(), 5);
    EXPECT_THROW(bits.Bits(5), EBitsError);
    EXPECT_THROW(bits.SetBits(-1, true), EBitsError);
    try {
        bits.SetSize(-1);
        ADD_FAILURE();
    } catch (const EBitsError& e) {
        EXPECT_EQ(e.Message, "Bits index out of range");
    }
}
