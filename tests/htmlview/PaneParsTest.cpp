// The tokenizer on the test thread: each input text against the symbols it must give, with their
// texts, source positions, tag positions, heading levels and kept attributes.

#include "HtmlTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <string>
#include <vector>

namespace {

std::vector<int> From(int first, std::size_t count)
{
    std::vector<int> positions(count);
    std::iota(positions.begin(), positions.end(), first);
    return positions;
}

// Text whose characters stand at consecutive positions from first.
TRecordedSymbol Txt(const std::string& text, int first) { return {Symb::TextSy, text, From(first, text.size()), 0, 0, {}}; }
TRecordedSymbol TxtAt(const std::string& text, std::vector<int> positions)
{
    return {Symb::TextSy, text, std::move(positions), 0, 0, {}};
}
TRecordedSymbol Tag(Symb sym, int tagPos, std::vector<TRecordedAttribute> attributes = {}, int level = 0)
{
    return {sym, "", {}, tagPos, level, std::move(attributes)};
}
TRecordedSymbol Other(char c, int position) { return {Symb::OtherChar, std::string(1, c), {position}, 0, 0, {}}; }
TRecordedSymbol Eof() { return {Symb::EofSy, "", {}, 0, 0, {}}; }
TRecordedSymbol Error(const std::string& message) { return {Symb::OtherSy, message, {}, 0, 0, {}}; }
const std::string OpenComment = "Open Comment at End of HTML File";

struct TTokenCase {
    const char* Name;
    std::string Input;
    std::vector<TRecordedSymbol> Expected;
    TReaderModes Modes = {};
};

std::vector<TTokenCase> TokenCases()
{
    using S = Symb;
    const std::string letters250(250, 'q');
    return {
        {"SpacedLessThanIsText", "a < b", {Txt("a ", 0), Txt("<", 2), Txt(" b", 3), Eof()}},
        {"LessThanBeforeLetterIsTag", "a<b", {Txt("a", 0), Tag(S::BSy, 1), Eof()}},
        {"LessThanBeforeOtherIsText", "<>x", {Txt("<", 0), Txt(">x", 1), Eof()}},
        {"HeadingLevelAndAttribute",
         "<H3 ALIGN=center>x</h3>",
         {Tag(S::HeadingSy, 0, {{S::AlignSy, 0, "center"}}, 3), Txt("x", 17),
          // An end tag keeps nothing: the attributes of the last keeping tag stay.
          Tag(S::HeadingEndSy, 18, {{S::AlignSy, 0, "center"}}, 3), Eof()}},
        {"HeadingLevelAfterSpace", "<H 1>", {Tag(S::HeadingSy, 0, {}, 1), Eof()}},
        {"UnknownTagAndEndTagWithoutEndSymbol", "<FOO x=1></BR></ >",
         {Tag(S::CommandSy, 0), Tag(S::CommandSy, 9), Tag(S::CommandSy, 14), Eof()}},
        {"NonKeepingTagDropsAttributes", "<B CLASS=x>", {Tag(S::BSy, 0), Eof()}},
        {"CommentEndsAfterSpaces", "<!-- a -- >x", {Txt("x", 11), Eof()}},
        {"CommentGoesOnAfterDashesAndText", "<!-- a -- b -->x", {Txt("x", 15), Eof()}},
        // A comment inside text leaves one run of text.
        {"CommentWithMoreDashesAndLineEnd", "a<!-- b ---\r\n>c", {TxtAt("ac", {0, 14}), Eof()}},
        {"DoctypeDisappears", "<!DOCTYPE html>x", {Txt("x", 15), Eof()}},
        {"CommentInsideQuotedValue", "<P ALIGN=\"le<!-- c -->ft\">",
         {Tag(S::PSy, 0, {{S::AlignSy, 0, "left"}}), Eof()}},
        {"CommentInScriptStaysText", "<!-- x -->", {Txt("<", 0), Txt("!-- x -->", 1), Eof()}, {true, false, false}},
        {"UnterminatedCommentKeepsTextBefore", "ab <!-- x", {Txt("ab ", 0), Error(OpenComment)}},
        {"UnterminatedDeclaration", "x<!DOCTYPE", {Txt("x", 0), Error(OpenComment)}},
        {"AmpWithSemicolon", "&amp;", {Txt("&", 0), Eof()}},
        {"AmpWithoutSemicolon", "&amp", {Txt("&", 0), Eof()}},
        {"NumericAmp", "&#38;", {Txt("&", 0), Eof()}},
        {"EntityBetweenText", "a&lt;b", {Txt("a", 0), Txt("<", 1), Txt("b", 5), Eof()}},
        {"UnknownEntity", "&foo;", {Txt("&foo;", 0), Eof()}},
        {"NumericZeroLiteral", "&#0;", {Txt("&#0;", 0), Eof()}},
        {"Numeric160", "&#160;", {Txt("\xA0", 0), Eof()}},
        {"HexReferenceLiteral", "&#x41;", {Txt("&#", 0), Txt("x41;", 2), Eof()}},
        {"NamedLatin", "&Agrave;", {Txt("\xC0", 0), Eof()}},
        {"NamesAreCaseSensitive", "&AGRAVE;", {Txt("&AGRAVE;", 0), Eof()}},
        {"LastLatinName", "&yuml;", {Txt("\xFF", 0), Eof()}},
        {"SeventhLetterEndsName", "&nbspxyz;", {Txt("&nbspxyz", 0), Txt(";", 8), Eof()}},
        {"Hellip", "&hellip;", {TxtAt("...", {0, 1, 2}), Eof()}},
        {"Trade", "&trade;", {Txt("\x99", 0), Eof()}},
        {"NumericTab", "&#9;", {Txt(" ", 0), Eof()}},
        {"SixDigitsStayLiteral", "&#1234567", {Txt("&#123456", 0), Txt("7", 8), Eof()}},
        {"EuroThroughCodePage", "&#8364;", {Txt("\x80", 0), Eof()}},
        {"QuoteThroughCodePage", "&#8217;", {Txt("\x92", 0), Eof()}},
        {"MissingInCodePage", "&#1234;", {Txt("?", 0), Eof()}},
        {"AboveSixteenBitsLiteral", "&#65601;", {Txt("&#65601;", 0), Eof()}},
        {"ControlValueLiteral", "&#7;", {Txt("&#7;", 0), Eof()}},
        {"QuotedPercent", "<TD WIDTH=\"50%\">", {Tag(S::TDSy, 0, {{S::WidthSy, 50, "50%"}}), Eof()}},
        {"SpacedPercent", "<TD WIDTH=50 %>", {Tag(S::TDSy, 0, {{S::WidthSy, 50, "50%"}}), Eof()}},
        {"SignedValue", "<FONT SIZE=+1>", {Tag(S::FontSy, 0, {{S::SizeSy, 1, "+1"}}), Eof()}},
        {"UnitValueUpperCased", "<TD WIDTH=12px>", {Tag(S::TDSy, 0, {{S::WidthSy, 0, "12PX"}}), Eof()}},
        {"BorderAlone", "<TABLE BORDER>", {Tag(S::TableSy, 0, {{S::BorderSy, 1, ""}}), Eof()}},
        {"BorderWord", "<TABLE BORDER=yes>", {Tag(S::TableSy, 0, {{S::BorderSy, 1, "yes"}}), Eof()}},
        {"SingleQuotedValue", "<A HREF='a\"b' NAME=x>",
         {Tag(S::ASy, 0, {{S::HrefSy, 0, "a\"b"}, {S::NameSy, 0, "x"}}), Eof()}},
        {"QuotedValueDropsLineEndsAndDecodes", "<A HREF=\"x\r\ny&amp;z\">",
         {Tag(S::ASy, 0, {{S::HrefSy, 0, "xy&z"}}), Eof()}},
        {"QuotedNumberTrimmed", "<TD WIDTH=\" 7 \" HEIGHT=\"5%%\">",
         {Tag(S::TDSy, 0, {{S::WidthSy, 7, " 7 "}, {S::HeightSy, 0, "5%%"}}), Eof()}},
        {"UnknownAttributeAndDuplicates", "<P FOO=1 ALIGN=right align=left>",
         {Tag(S::PSy, 0, {{S::OtherAttribute, 1, "1"}, {S::AlignSy, 0, "right"}, {S::AlignSy, 0, "left"}}), Eof()}},
        {"LineFeedInText", "a\nb", {TxtAt("a b", {0, 1, 2}), Eof()}},
        {"CarriageReturnInText", "a\rb", {TxtAt("a b", {0, 1, 2}), Eof()}},
        {"CrLfInText", "a\r\nb", {TxtAt("a b", {0, 1, 3}), Eof()}},
        {"LfCrInText", "a\n\rb", {TxtAt("a b", {0, 1, 3}), Eof()}},
        {"WhiteSpaceRunIsOneSpace", "a \t\n b", {TxtAt("a b", {0, 1, 5}), Eof()}},
        {"PreKeepsLineEnds", "a\n\r\nb\tc", {TxtAt("a\r\rb c", {0, 1, 3, 4, 5, 6}), Eof()}, {false, true, false}},
        {"NoBreakSpace", "a b", {TxtAt("a\x05" "b", {0, 1, 2}), Eof()}, {false, false, true}},
        {"LongTextInPiecesOf100",
         letters250,
         {Txt(std::string(100, 'q'), 0), Txt(std::string(100, 'q'), 100), Txt(std::string(50, 'q'), 200), Eof()}},
        {"CtrlZEndsInput", std::string("ab\x1A" "cd<B>"), {Txt("ab", 0), Eof()}},
        {"CtrlZInsideTag", std::string("<B\x1A>cd"), {Tag(S::BSy, 0), Eof()}},
        {"StrayControlCharacter", "\x01x", {Other('\x01', 0), Txt("x", 1), Eof()}},
        // With nothing more to come after "</P>" or "<BR>", a space stands for the next character.
        {"SpaceAfterFinalParagraphEnd", "x</P>", {Txt("x", 0), Tag(S::PEndSy, 1), Txt(" ", 4), Eof()}},
        {"SpaceAfterFinalLineBreak", "<BR>", {Tag(S::BRSy, 0), Txt(" ", 3), Eof()}},
        {"NoSpaceAfterOtherFinalTag", "x</B>", {Txt("x", 0), Tag(S::BEndSy, 1), Eof()}},
    };
}

void PrintTo(const TTokenCase& row, std::ostream* out) { *out << row.Name; }

class TokenTable : public testing::TestWithParam<TTokenCase> {};

TEST_P(TokenTable, GivesTheExpectedSymbols)
{
    const TTokenCase& row = GetParam();
    EXPECT_EQ(TokenizeHere(row.Input, row.Modes), row.Expected);
}

INSTANTIATE_TEST_SUITE_P(Tokenizer, TokenTable, testing::ValuesIn(TokenCases()),
                         [](const testing::TestParamInfo<TTokenCase>& info) { return info.param.Name; });

TEST(Tokenizer, ContentSymbolsEndTheParagraphSpaceChance)
{
    ThlParser parser;
    std::unique_ptr<TParseThread> holder(new TParseThread(true));
    holder->AddString("<B>x");
    parser.ParseThread = holder.get();
    parser.ParseInit(nullptr, nullptr, nullptr);
    parser.ReadThreadRange();
    parser.ParaSpaceDone = true;
    parser.GetCh();
    parser.Next();
    EXPECT_TRUE(parser.ParaSpaceDone) << "a font tag is no content";
    parser.Next();
    EXPECT_FALSE(parser.ParaSpaceDone) << "text is content";
}

} // namespace
