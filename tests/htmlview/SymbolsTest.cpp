// The symbol order, the ordinal ranges the parser tests, and the tag and attribute look-ups.

#include "htmlview/Symbols.h"

#include <gtest/gtest.h>

#include <string>

using namespace PaneUn2;

namespace {

TEST(Symbols, OneByteEachInTheOrderTheParserRangesNeed)
{
    static_assert(sizeof(Symb) == 1);
    EXPECT_EQ(SymbCount, 181);
    const std::pair<Symb, int> ordinals[] = {
        {Symb::HtmlSy, 0},       {Symb::BSy, 6},         {Symb::IEndSy, 9},      {Symb::TTSy, 29},
        {Symb::SampEndSy, 36},   {Symb::OtherAttribute, 59}, {Symb::TextSy, 70}, {Symb::TableSy, 75},
        {Symb::SelectedSy, 114}, {Symb::WrapSy, 167},    {Symb::NoWrapSy, 179},  {Symb::EolSy, 180},
    };
    for (const auto& [symbol, ordinal] : ordinals)
        EXPECT_EQ(static_cast<int>(symbol), ordinal);
}

TEST(Symbols, OrdinalRangesHoldExactlyTheirMembers)
{
    struct TRangeCase {
        Symb First, Last;
        SymbSet Members;
    };
    const TRangeCase cases[] = {
        {Symb::BSy, Symb::IEndSy, {Symb::BSy, Symb::BEndSy, Symb::ISy, Symb::IEndSy}},
        {Symb::TTSy, Symb::SampEndSy,
         {Symb::TTSy, Symb::CodeSy, Symb::KbdSy, Symb::SampSy, Symb::TTEndSy, Symb::CodeEndSy, Symb::KbdEndSy,
          Symb::SampEndSy}},
        {Symb::EmSy, Symb::UEndSy,
         {Symb::EmSy, Symb::EmEndSy, Symb::StrongSy, Symb::StrongEndSy, Symb::USy, Symb::UEndSy}},
        {Symb::CiteSy, Symb::VarEndSy, {Symb::CiteSy, Symb::VarSy, Symb::CiteEndSy, Symb::VarEndSy}},
        {Symb::SSy, Symb::StrikeEndSy, {Symb::SSy, Symb::SEndSy, Symb::StrikeSy, Symb::StrikeEndSy}},
        {Symb::SubSy, Symb::SupEndSy, {Symb::SubSy, Symb::SubEndSy, Symb::SupSy, Symb::SupEndSy}},
        {Symb::BigSy, Symb::SmallEndSy, {Symb::BigSy, Symb::BigEndSy, Symb::SmallSy, Symb::SmallEndSy}},
    };
    for (const TRangeCase& c : cases) {
        const SymbSet range = SymbSet::Range(c.First, c.Last);
        EXPECT_TRUE(range == c.Members) << static_cast<int>(c.First);
        EXPECT_EQ(range.Count(), c.Members.Count()) << static_cast<int>(c.First);
    }
}

TEST(Symbols, SetsCombineLikeTheClassLibrarySets)
{
    const SymbSet lists = {Symb::OLEndSy, Symb::ULEndSy, Symb::DLEndSy};
    const SymbSet more = lists + SymbSet{Symb::EofSy};
    EXPECT_TRUE(more.Contains(Symb::EofSy) && more.Contains(Symb::ULEndSy));
    EXPECT_FALSE(more.Contains(Symb::EolSy));
    EXPECT_TRUE((more - lists) == SymbSet{Symb::EofSy});
    EXPECT_TRUE((more * SymbSet{Symb::DLEndSy, Symb::EolSy}) == SymbSet{Symb::DLEndSy});
    SymbSet edited;
    EXPECT_TRUE(edited.Empty());
    edited.Include(Symb::EolSy);
    edited.Include(Symb::HtmlSy);
    edited.Exclude(Symb::HtmlSy);
    EXPECT_TRUE(edited == SymbSet{Symb::EolSy});
}

TEST(Symbols, EveryTagNameGivesItsSymbolsAndOnlyTheFirst49HaveEnds)
{
    for (int i = 0; i < TagCount; ++i) {
        const TagEntry& entry = TagTable[static_cast<std::size_t>(i)];
        EXPECT_EQ(FindTag(entry.Name), &entry) << entry.Name;
        EXPECT_EQ(entry.EndSym.has_value(), i < TagsWithEnd) << entry.Name;
    }
    struct TTagCase {
        const char* Name;
        Symb Start;
        std::optional<Symb> End;
    };
    const TTagCase spotChecks[] = {
        {"H", Symb::HeadingSy, Symb::HeadingEndSy}, {"CENTER", Symb::Centersy, Symb::CenterEndSy},
        {"TR", Symb::TRSy, Symb::TREndSy},          {"NOBR", Symb::NoBrSy, Symb::NoBrEndSy},
        {"P", Symb::PSy, Symb::PEndSy},             {"LI", Symb::LISy, std::nullopt},
        {"IMG", Symb::ImageSy, std::nullopt},       {"SELECTED", Symb::SelectedSy, std::nullopt},
        {"WBR", Symb::WbrSy, std::nullopt},
    };
    for (const TTagCase& c : spotChecks) {
        const TagEntry* entry = FindTag(c.Name);
        ASSERT_NE(entry, nullptr) << c.Name;
        EXPECT_EQ(entry->StartSym, c.Start) << c.Name;
        EXPECT_EQ(entry->EndSym, c.End) << c.Name;
    }
    for (const char* unknown : {"H1", "html", "", "BLINK", "TABLEX", "TAB", "STYLE"})
        EXPECT_EQ(FindTag(unknown), nullptr) << unknown;
}

TEST(Symbols, AttributeNamesGiveTheFirstMatchingSymbol)
{
    const std::pair<const char*, Symb> known[] = {
        {"VALUE", Symb::ValueSy},   {"HTTP-EQUIV", Symb::HttpEqSy}, {"TEXT", Symb::TextSy},
        {"HREF", Symb::HrefSy},     {"SELECTED", Symb::SelectedSy}, {"WRAP", Symb::WrapSy},
        {"NOWRAP", Symb::NoWrapSy}, {"VSPACE", Symb::VSpaceSy},     {"BORDERCOLOR", Symb::BorderColorSy},
    };
    for (const auto& [name, symbol] : known) {
        Symb found = Symb::OtherAttribute;
        EXPECT_TRUE(FindAttribute(name, found)) << name;
        EXPECT_EQ(found, symbol) << name;
    }
    for (const char* unknown : {"value", "STYLE", "", "HTTP", "CLASS"}) {
        Symb untouched = Symb::EofSy;
        EXPECT_FALSE(FindAttribute(unknown, untouched)) << unknown;
        EXPECT_EQ(untouched, Symb::EofSy);
    }
}

} // namespace
