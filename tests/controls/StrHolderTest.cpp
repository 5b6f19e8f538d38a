// The string holder: its "StrData" stream (bytes against a fixture, round trips with a key, older
// data, damaged streams), macro parsing and expansion, the macros' names and values.

#include "controls/StrHlder.h"
#include "controls/StrUtils.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"
#include "tablestore/Filer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace StrHolderTest {

std::vector<std::string> Lines(const TStrHolder& holder)
{
    std::vector<std::string> lines;
    for (int i = 0; i < holder.Strings()->Count(); ++i)
        lines.push_back(holder.Strings()->Strings(i));
    return lines;
}

void SetLines(TStrHolder& holder, const std::vector<std::string>& lines)
{
    holder.Strings()->BeginUpdate();
    holder.Clear();
    for (const auto& line : lines)
        holder.Strings()->Add(line);
    holder.Strings()->EndUpdate();
}

std::string WrittenBytes(const TStrHolder& holder)
{
    TMemoryStream stream;
    {
        TWriter writer(&stream, 64);
        holder.WriteStrData(writer);
        writer.FlushBuffer();
    }
    return std::string(stream.Memory(), static_cast<std::size_t>(stream.Size()));
}

void ReadBytes(TStrHolder& holder, const std::string& bytes)
{
    TMemoryStream stream;
    stream.Write(bytes.data(), static_cast<int>(bytes.size()));
    stream.Seek(0, soFromBeginning);
    TReader reader(&stream, 64);
    holder.ReadStrData(reader);
}

// The text without the line break that ends the last line.
std::string Expanded(TStrHolder& holder)
{
    std::string text = holder.ExpandMacros();
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0)
        text.resize(text.size() - 2);
    return text;
}

TEST(StrHolderData, EmptyKeyWritesTheKeyAndHexadecimalLines)
{
    TStrHolder holder(nullptr);
    SetLines(holder, {"abc"});
    // List, the empty key string, "616263", list end.
    const std::string expected("\x01\x06\x00\x06\x06" "616263" "\x00", 12);
    EXPECT_EQ(WrittenBytes(holder), expected);
    EXPECT_TRUE(holder.StoresStrData(nullptr));
}

TEST(StrHolderData, SaveAndLoadGiveBackTheLinesExactly)
{
    const std::vector<std::string> lines = {"Guida: premere F1", "", "caf\xE8 \x80 100%", std::string(300, 'x'),
                                            "k", "\x01\xFF"};
    for (const std::string key : {"", "k", "chiave lunga"}) {
        TStrHolder source(nullptr);
        source.SetKeyString(key);
        SetLines(source, lines);
        TStrHolder target(nullptr);
        SetLines(target, {"da sostituire"});
        ReadBytes(target, WrittenBytes(source));
        EXPECT_EQ(target.KeyString(), key);
        EXPECT_EQ(Lines(target), lines) << "key " << key;
    }
}

TEST(StrHolderData, OlderDataDecodesWithXorString)
{
    std::string bytes("\x01\x06\x02" "ab", 5);
    const std::string element = XorString("ab", "ciao");
    bytes += '\x06';
    bytes += static_cast<char>(element.size());
    bytes += element;
    bytes += '\x00';
    TStrHolder holder(nullptr);
    holder.SetInternalVer(0);
    ReadBytes(holder, bytes);
    EXPECT_EQ(Lines(holder), std::vector<std::string>{"ciao"});
}

TEST(StrHolderData, DamagedStreams)
{
    struct Case {
        const char* What;
        std::string Bytes;
        bool Fails;
        std::vector<std::string> Lines;
    };
    const std::vector<Case> cases = {
        {"truncated inside a line", std::string("\x01\x06\x00\x06\x06" "61", 7), true, {"tenuta"}},
        {"no list end", std::string("\x01\x06\x00\x06\x02" "61", 7), true, {"tenuta"}},
        {"no key element", std::string("\x01\x00", 2), true, {"tenuta"}},
        {"empty stream", std::string(), true, {"tenuta"}},
        {"a number for a line", std::string("\x01\x06\x00\x02\x05\x00", 6), true, {"tenuta"}},
        {"non-hex text", std::string("\x01\x06\x00\x06\x04" "zz41" "\x00", 10), false, {" A"}},
        {"odd length", std::string("\x01\x06\x00\x06\x03" "616" "\x00", 9), false, {"a"}},
    };
    for (const Case& c : cases) {
        TStrHolder holder(nullptr);
        SetLines(holder, {"tenuta"});
        bool failed = false;
        try {
            ReadBytes(holder, c.Bytes);
        } catch (const EReadError&) {
            failed = true;
        }
        EXPECT_EQ(failed, c.Fails) << c.What;
        EXPECT_EQ(Lines(holder), c.Lines) << c.What;
    }
}

TEST(StrHolderData, WhetherTheDataIsStored)
{
    TStrHolder empty(nullptr), ancestor(nullptr), holder(nullptr);
    EXPECT_FALSE(empty.StoresStrData(nullptr));
    SetLines(ancestor, {"Uno", "Due"});
    SetLines(holder, {"uno", "DUE"});
    EXPECT_FALSE(holder.StoresStrData(&ancestor)); // lines compare ignoring case
    holder.Strings()->SetStrings(1, "Tre");
    EXPECT_TRUE(holder.StoresStrData(&ancestor));
    empty.SetKeyString("k");
    EXPECT_TRUE(empty.StoresStrData(nullptr));
}

TEST(Macros, ParsingReplacesReferencesAndCreatesMacrosInOrder)
{
    struct Case {
        std::string Text;
        std::string Parsed;
        std::vector<std::string> Names;
    };
    const std::vector<Case> cases = {
        {"select %a, %b from t where x=%a", "select ?, ? from t where x=?", {"a", "b"}},
        {"%%id", "%id", {}},
        {"'%a' %b", "'%a' ?", {"b"}},
        {"\"%a\" %b.", "\"%a\" ?.", {"b"}},
        {"%'a b' x", "? x", {"a b"}},
        {"%\"c;d\";", "?;", {"c;d"}},
        {"abc%", "abc?", {""}},
        {"'%id", "'%id", {}},
        {"%A %a", "? ?", {"A"}},
        {"%x)%y\r\n%z", "?)?\r\n?", {"x", "y", "z"}},
    };
    for (const Case& c : cases) {
        TMacros macros;
        macros.CreateMacro("b")->SetValue(7);
        EXPECT_EQ(macros.ParseString(c.Text, true, '%'), c.Parsed) << c.Text;
        std::vector<std::string> names;
        for (int i = 0; i < macros.Count(); ++i)
            names.push_back(macros.Items(i)->Name());
        EXPECT_EQ(names, c.Names) << c.Text;
        if (TMacro* b = macros.FindMacro("b")) { // a macro found again keeps its value
            EXPECT_EQ(int(b->Value()), 7);
        }
    }
}

TEST(Macros, ExpansionCases)
{
    struct Case {
        std::vector<std::string> Lines;
        std::vector<std::pair<std::string, Variant>> Values;
        std::string Expanded;
    };
    const std::vector<Case> cases = {
        {{"x=%id"}, {{"id", 5}}, "x=5"},
        {{"a=%id", "b=%id1 %id"}, {{"id", 5}}, "a=5\r\nb=%id1 %id"},
        // A reference inside quotes stops this macro's expansion: later ones stay too.
        {{"'%id' %id"}, {{"id", 5}}, "'%id' %id"},
        {{"%id '%t' %id %t"}, {{"id", 5}, {"t", "x"}}, "5 '%t' 5 %t"},
        // A value holding its own reference is inserted once.
        {{"x=%id"}, {{"id", "%id"}}, "x=%id"},
        {{"%id,%id"}, {{"id", "%id%id"}}, "%id%id,%id%id"},
        // Macros run from the last to the first, so a later value may refer to an earlier macro.
        {{"%a %b"}, {{"a", 1}, {"b", "%a"}}, "1 1"},
        // A value that opens a quote hides the references after it.
        {{"%w %q %w"}, {{"q", "'"}, {"w", 2}}, "2 ' %w"},
        {{"%id"}, {}, "%id"},
    };
    for (const Case& c : cases) {
        TStrHolder holder(nullptr);
        SetLines(holder, c.Lines);
        for (const auto& [name, value] : c.Values)
            holder.MacroByName(name)->SetValue(value);
        EXPECT_EQ(Expanded(holder), c.Expanded) << c.Lines[0];
    }
}

TEST(Macros, TextEventAndExpandEventRun)
{
    TStrHolder holder(nullptr);
    SetLines(holder, {"Totale: %tot"});
    int before = 0;
    holder.OnExpandMacros = [&](TObject*) { ++before; };
    holder.MacroByName("tot")->SetValue(12);
    holder.MacroByName("tot")->OnGetText = [](TObject*, const Variant& Data, std::string& Text) {
        Text = "\x80 " + VarToStr(Data) + ",00";
    };
    EXPECT_EQ(Expanded(holder), "Totale: \x80 12,00");
    EXPECT_EQ(before, 1);
}

TEST(Macros, MacroCharChangeAndLineChangesRecreateTheMacros)
{
    TStrHolder holder(nullptr);
    int changes = 0, changing = 0;
    holder.OnChange = [&](TObject*) { ++changes; };
    holder.OnChanging = [&](TObject*) { ++changing; };
    SetLines(holder, {"%a :b", ":c %d"});
    EXPECT_EQ(changes, 1); // one update block, one change
    EXPECT_EQ(changing, 1);
    ASSERT_EQ(holder.MacroCount(), 2);
    holder.MacroByName("a")->SetValue("A");
    holder.SetMacroChar(':');
    ASSERT_EQ(holder.MacroCount(), 2);
    EXPECT_EQ(holder.Macros()->Items(0)->Name(), "b");
    EXPECT_EQ(holder.Macros()->Items(1)->Name(), "c");
    holder.SetMacroChar('%');
    holder.Strings()->Add("%e");
    ASSERT_EQ(holder.MacroCount(), 3);
    EXPECT_TRUE(VarIsEmpty(holder.MacroByName("a")->Value())); // recreated after it left
}

TEST(Macros, NamesAndValues)
{
    TMacros macros;
    macros.CreateMacro("a")->SetValue(1);
    macros.CreateMacro("b")->SetValue("due");
    EXPECT_THROW(macros.CreateMacro("A"), EStringListError);
    EXPECT_EQ(macros.Count(), 2) << "a refused name leaves no macro behind";
    EXPECT_NO_THROW(macros.Items(0)->SetName("A")); // its own name in another case
    try {
        macros.MacroByName("manca");
        ADD_FAILURE() << "no exception";
    } catch (const EPropertyError& e) {
        EXPECT_EQ(e.Message, "Invalid property value");
    }
    const Variant both = macros.GetMacroValue("a; b");
    ASSERT_TRUE(VarIsArray(both));
    EXPECT_EQ(VarArrayLowBound(both, 1), 0);
    EXPECT_EQ(VarArrayHighBound(both, 1), 1);
    EXPECT_EQ(int(both[0]), 1);
    EXPECT_EQ(std::string(both[1]), "due");
    const Variant one = macros.GetMacroValue("b ;"); // a list of one name
    ASSERT_TRUE(VarIsArray(one));
    EXPECT_EQ(VarArrayHighBound(one, 1), 0);
    macros.SetMacroValue("b;a", VarArrayOf({Variant(3), Variant(4)}));
    EXPECT_EQ(int(macros.GetMacroValue("a")), 4);
    EXPECT_EQ(int(macros.GetMacroValue("b")), 3);
    EXPECT_THROW(macros.SetMacroValue("a;x", VarArrayOf({Variant(1), Variant(2)})), EPropertyError);

    TMacros other;
    other.CreateMacro("B")->SetValue(9);
    other.CreateMacro("z")->SetValue(1);
    macros.AssignValues(&other);
    EXPECT_EQ(int(macros.MacroByName("b")->Value()), 9);
    EXPECT_EQ(macros.Count(), 2);
    EXPECT_FALSE(macros.IsEqual(&other));
}

TEST(Macros, LargeTextsFinish)
{
    TStrHolder holder(nullptr);
    std::string text;
    for (int i = 0; i < 10000; ++i)
        text += "%m" + std::to_string(i % 7) + " ";
    text += "%" + std::string(100000, 'n');
    SetLines(holder, {text});
    ASSERT_EQ(holder.MacroCount(), 8);
    for (int i = 0; i < 7; ++i)
        holder.MacroByName("m" + std::to_string(i))->SetValue(i);
    holder.MacroByName(std::string(100000, 'n'))->SetValue("fine");
    std::string expected;
    for (int i = 0; i < 10000; ++i)
        expected += std::to_string(i % 7) + " ";
    expected += "fine";
    EXPECT_EQ(Expanded(holder), expected);
}

} // namespace StrHolderTest
