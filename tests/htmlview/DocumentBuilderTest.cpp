// The document builder through the parser thread: inputs against the lines their document dumps
// must show, the program's own two pages, python's HTML parser as a peer for the words of simple
// pages, independence of the batch size, the events on the GUI thread, and the nesting caps.

#include "HtmlTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

std::vector<std::string> DumpLines(const std::string& dump)
{
    std::vector<std::string> lines;
    std::istringstream in(dump);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line.substr(std::min(line.find_first_not_of(' '), line.size())));
    return lines;
}

// Every expected line appears among the dump's lines (leading blanks ignored), in this order.
testing::AssertionResult ShowsInOrder(const std::string& dump, const std::vector<std::string>& expected)
{
    const std::vector<std::string> lines = DumpLines(dump);
    std::size_t at = 0;
    for (const std::string& want : expected) {
        while (at < lines.size() && lines[at] != want)
            ++at;
        if (at == lines.size())
            return testing::AssertionFailure() << "missing or out of order: \"" << want << "\" in\n" << dump;
        ++at;
    }
    return testing::AssertionSuccess();
}

int CountLines(const std::string& dump, const std::string& prefix)
{
    int count = 0;
    for (const std::string& line : DumpLines(dump))
        count += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return count;
}

struct TBuildCase {
    const char* Name;
    std::string Input;
    std::vector<std::string> Expected;
};

const std::string Plain = "run 0 Arial rel=12 pt=12 ---- 02000000";

std::vector<TBuildCase> BuildCases()
{
    return {
        {"RepeatedParagraphsGiveOneSpace", "<P><P></P><P>x", {"TParagraphSpace height=14", "text \"x\""}},
        {"ParagraphAlignOnlyForThatParagraph",
         "a<P ALIGN=right>b</P>c",
         {"text \"a\"", "TParagraphSpace height=14", "TSection level=0 indent=0 align=right clear=none", "text \"b\"",
          "TParagraphSpace height=14", "TSection level=0 indent=0 align=left clear=none", "text \"c\""}},
        {"StylesAreFlagsNotAStack",
         "<B><I>x</B>y</I>",
         {"text \"xy\"", "run 0 Arial rel=12 pt=12 BI-- 02000000", "run 1 Arial rel=12 pt=12 -I-- 02000000"}},
        {"FontSizesRelativeAndClamped",
         "<FONT SIZE=+1>a</FONT><FONT SIZE=9>b</FONT>",
         {"text \"ab\"", "run 0 Arial rel=14 pt=14 ---- 02000000", "run 1 Arial rel=36 pt=36 ---- 02000000"}},
        {"BaseFontAfterContentOnlyMovesTheBase",
         "x<BASEFONT SIZE=5><FONT SIZE=+1>y",
         {"text \"xy\"", Plain, "run 1 Arial rel=24 pt=24 ---- 02000000"}},
        {"FontFaceListUsesTheFirst", "<FONT FACE=\"Verdana, Helvetica\" COLOR=red>x",
         {"run 0 Verdana rel=12 pt=12 ---- 020000FF"}},
        {"BigStepsAndStopsAtTheTop",
         "<BIG>a</BIG><FONT SIZE=7><BIG>b</BIG>c",
         {"text \"abc\"", "run 0 Arial rel=14 pt=14 ---- 02000000", "run 1 Arial rel=36 pt=36 ---- 02000000",
          "run 2 Arial rel=36 pt=36 ---- 02000000"}},
        {"BigOfFixedPitchStepsFromBelow", "<TT><BIG>x", {"run 0 Courier New rel=12 pt=12 ---- 02000000"}},
        {"EmptyHrefStartsNoLink", "<A HREF=\"\">x</A>", {"text \"x\"", Plain}},
        {"LinkRunWithTarget",
         "<A HREF=x.htm TARGET=f>l</A>after",
         {"run 0 Arial rel=12 pt=12 --U- 02FF0000 link=\"x.htm\" target=\"f\"",
          "run 1 Arial rel=12 pt=12 ---- 02000000"}},
        {"StrayListItemIndentedLess", "<LI>stray", {"TUListItem level=1 indent=15 align=left clear=none plain=no",
                                                    "text \"stray\""}},
        {"OrderedListStartAndType",
         "<OL START=0 TYPE=a><LI>a<LI>b<LI>c</OL><OL START=-3><LI>x</OL>",
         {"TOListItem level=1 indent=35 align=left clear=none number=0 style=a",
          "TOListItem level=1 indent=35 align=left clear=none number=1 style=a",
          "TOListItem level=1 indent=35 align=left clear=none number=2 style=a",
          "TOListItem level=1 indent=35 align=left clear=none number=1 style=1"}},
        {"AnyListEndClosesTheInnermost",
         "<UL><LI>a<OL><LI>b</UL>c",
         {"TUListItem level=1 indent=35 align=left clear=none plain=no", "text \"a\"",
          "TOListItem level=2 indent=70 align=left clear=none number=1 style=1", "text \"b\"",
          "TSection level=1 indent=35 align=left clear=none", "text \"c\""}},
        {"PlainUnorderedList", "<UL PLAIN><LI>a</UL>", {"TUListItem level=1 indent=35 align=left clear=none plain=yes"}},
        {"TermsOneLevelOutsideDefinitions",
         "<DL><DT>t<DD>d</DL>",
         {"TDListItem level=0 indent=0 align=left clear=none plain=no", "text \"t\"",
          "TDListItem level=1 indent=35 align=left clear=none plain=no", "text \"d\""}},
        {"PreLineEndsAndBreak",
         "<PRE>\r\nab\r\n<BR>\r\ncd</PRE>",
         {"TPreFormated level=0 indent=0 align=left clear=none", "text \"\"",
          "TPreFormated level=0 indent=0 align=left clear=none", "text \"ab\"",
          "TPreFormated level=0 indent=0 align=left clear=none", "text \"\"",
          "TPreFormated level=0 indent=0 align=left clear=none", "text \"cd\""}},
        {"PreKeepsBlanksAndStrayLessThan", "<PRE>a  < b</PRE>", {"text \"a  < b\""}},
        {"TextBeforeBodyDropped",
         "hello<BODY BGCOLOR=red TEXT=green>x",
         {"TSection level=0 indent=0 align=left clear=none", "text \"x\"", "run 0 Arial rel=12 pt=12 ---- 02008000"}},
        {"LateBodyIgnored", "x<P><BODY TEXT=green>y", {"text \"y\"", Plain}},
        {"HeadingAndFixedAndAddress",
         "<H1>t</H1>x<TT>m</TT><ADDRESS>ad</ADDRESS>",
         {"THeadingSpace level=1 height=16", "text \"t\"", "run 0 Arial rel=24 pt=24 B--- 02000000",
          "THeadingSpace level=1 height=16", "text \"xm\"", "run 1 Courier New rel=10 pt=10 ---- 02000000",
          "text \"ad\"", "run 0 Arial rel=12 pt=12 -I-- 02000000"}},
        {"SlashClosedRuleAndBreak",
         "<HR/>a<BR/>b",
         {"THorzLine height=20 thickness=2 width=-1 percent=no align=2 color=none noshade=no", "text \"a\"",
          "text \"b\""}},
        {"CenterAndDivEndAtEitherEndTag",
         "<CENTER>a<DIV ALIGN=right>b</CENTER>c</DIV>d",
         {"TSection level=0 indent=0 align=centre clear=none", "text \"a\"",
          "TSection level=0 indent=0 align=right clear=none", "text \"b\"",
          "TSection level=0 indent=0 align=centre clear=none", "text \"c\"",
          "TSection level=0 indent=0 align=left clear=none", "text \"d\""}},
        {"SubscriptAndSuperscript", "a<SUB>b</SUB><SUP>c", {"text \"abc\"", Plain, "run 1 Arial rel=9 pt=9 ---- 02000000 sub",
                                                          "run 2 Arial rel=9 pt=9 ---- 02000000 sup"}},
        {"CellsOfOneRow",
         "<TABLE><TR><TD>a<TD>b</TABLE>",
         {"row 0 color=none", "cell 0 span=1x1 color=none width=0 height=0 valign=middle", "text \"a\"",
          "cell 1 span=1x1 color=none width=0 height=0 valign=middle", "text \"b\""}},
        {"CellWithoutRowOpensOne", "<TABLE><TD>a</TABLE>", {"row 0 color=none", "cell 0 span=1x1 color=none "
                                                            "width=0 height=0 valign=middle", "text \"a\""}},
        {"HeaderAndDataCellStyles",
         "<B><TABLE><TR><TH>h<TD>d<TD ALIGN=right NOWRAP>n<TD NOWRAP WIDTH=50 VALIGN=baseline>w</TABLE>",
         {"TSection level=0 indent=0 align=centre clear=none", "text \"h\"", "run 0 Arial rel=12 pt=12 B--- 02000000",
          "TSection level=0 indent=0 align=left clear=none", "text \"d\"", Plain,
          "TSection level=0 indent=0 align=right clear=none", "text \"n\"",
          "cell 3 span=1x1 color=none width=50 height=0 valign=top", "text \"w\""}},
        {"NowrapWithoutWidthDoesNotBreak", "<TABLE><TD NOWRAP>a b<TD NOWRAP WIDTH=9>c d</TABLE>",
         {"text \"a«nb»b\"", "text \"c d\""}},
        {"UnclosedStylesEndWithTheCell",
         "<TABLE><CAPTION ALIGN=BOTTOM>c</CAPTION><TR><TD><B>x<FONT SIZE=7>y<TD>z</TABLE>",
         {"text \"xy\"", "run 0 Arial rel=12 pt=12 B--- 02000000", "run 1 Arial rel=36 pt=36 B--- 02000000",
          "text \"z\"", Plain, "caption bottom", "TSection level=0 indent=0 align=centre clear=none", "text \"c\""}},
        {"CaptionOtherAlignGoesAbove", "<TABLE><CAPTION ALIGN=left>c</CAPTION></TABLE>", {"caption top"}},
        {"TableStateRestored",
         "<CENTER><I><TABLE><TD ALIGN=left><B>a</TABLE>b",
         {"text \"a\"", "run 0 Arial rel=12 pt=12 BI-- 02000000", "TSection level=0 indent=0 align=centre clear=none",
          "text \"b\"", "run 0 Arial rel=12 pt=12 -I-- 02000000"}},
        {"NoParagraphSpaceAtTheStartOfACell",
         "<P>a<TABLE><TR><TD><P>b<TD>c<P>d</TABLE>",
         {"TParagraphSpace height=14", "text \"a\"", "ThtmlTable level=0 justify=left float=no border=no spacing=2 "
                                                     "padding=1 width=0 height=0 hspace=5 vspace=0 color=none "
                                                     "bordercolor=none cols=0 grid=no",
          "text \"b\"", "text \"c\"", "text \"d\""}},
        {"SelectOptions",
         "<SELECT><OPTION VALUE=1 SELECTED> One <OPTION>Two</SELECT>",
         {"option \"One\" value=\"1\" selected=yes", "option \"Two\" value=\"\" selected=no"}},
        {"LongOptionCut", "<SELECT><OPTION>" + std::string(300, 'o') + "</SELECT>",
         {"option \"" + std::string(255, 'o') + "\" value=\"\" selected=no"}},
        {"TextAreaKeepsTagsDecodesEntities",
         "<TEXTAREA>a&lt;b<br>c\r\n</TEXTAREA>x",
         {"text \"«2»x\"", "line \"a<b<br>c\""}},
        {"TextAreaToTheEndOfInput", "<TEXTAREA>\r\nq<x", {"line \"\"", "line \"q<x\""}},
        {"FormsAndImplicitForm",
         "<INPUT NAME=q><FORM ACTION=x><INPUT NAME=r></FORM>",
         {"control at=0 TEditFormControlObj name=\"q\" value=\"\" form=0 size=20 maxlength=0 password=no",
          "control at=1 TEditFormControlObj name=\"r\" value=\"\" form=1 size=20 maxlength=0 password=no",
          "form 1 method=\"Get\" action=\"x\" target=\"\" enctype=\"\""}},
        {"MapWithTwoAreas",
         "<MAP NAME=m><AREA SHAPE=rect COORDS=\"0,0,5,5\" HREF=a><AREA SHAPE=rect COORDS=\"5,5,9,9\" HREF=b></MAP>x",
         {"text \"x\"", "map \"M\" areas=2"}},
        {"ScriptWithoutHandlerDropped", "<SCRIPT>a<b</SCRIPT >c</SCRIPT>d", {"text \"d\""}},
        {"MetaRussian", "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\"><P>x",
         {"run 0 Arial rel=12 pt=12 ---- 02000000 charset=204"}},
        {"MetaLatin9ContainsLatin1", "<META HTTP-EQUIV=\"content-type\" CONTENT=\"text/html; charset=iso-8859-15\"><P>x",
         {"run 0 Arial rel=12 pt=12 ---- 02000000 charset=0"}},
        {"MetaWithoutKey", "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html\"><P>x", {"text \"x\"", Plain}},
        {"ListStoppedByCellEndLeavesTheCell",
         "<TABLE><TR><TD><UL><LI>a<TD>b</TABLE>",
         {"cell 0 span=1x1 color=none width=0 height=0 valign=middle", "text \"a\"",
          "cell 1 span=1x1 color=none width=0 height=0 valign=middle", "text \"b\""}},
        {"UnterminatedTableKept", "<TABLE><TR><TD>a<TD>b", {"text \"a\"", "text \"b\""}},
        {"UnterminatedSelectKept", "<SELECT><OPTION>a<OPTION>b", {"option \"a\" value=\"\" selected=no",
                                                                 "option \"b\" value=\"\" selected=no"}},
        {"UnterminatedCommentKeepsTextBefore", "<B>a</B><!-- never", {"text \"a\""}},
        {"MapInPreKeepsTheTextAfterIt", "<PRE><MAP NAME=q></MAP>after</PRE>", {"text \"after\"", "map \"Q\" areas=0"}},
    };
}

class DocumentBuilderTable : public testing::TestWithParam<TBuildCase> {};

TEST_P(DocumentBuilderTable, ShowsTheExpectedLines)
{
    const TBuildCase& row = GetParam();
    EXPECT_TRUE(ShowsInOrder(ParseHtml(row.Input)->Dump(), row.Expected));
}

INSTANTIATE_TEST_SUITE_P(Builder, DocumentBuilderTable, testing::ValuesIn(BuildCases()),
                         [](const testing::TestParamInfo<TBuildCase>& info) { return std::string(info.param.Name); });

TEST(DocumentBuilder, MapDroppedAfterThreeForeignSymbolsAndTheNextSkipped)
{
    const std::string dump = ParseHtml("<MAP NAME=n><B><I><U>x<S>y</MAP>z")->Dump();
    EXPECT_EQ(CountLines(dump, "map "), 0);
    EXPECT_TRUE(ShowsInOrder(dump, {"text \"yz\""})) << "x after the third foreign tag is skipped";
}

TEST(DocumentBuilder, NamesTitleAndBase)
{
    auto page = ParseHtml("<TITLE>Il  &amp; titolo</TITLE><BASE HREF=a TARGET=t><BASE HREF=b><A NAME=\"#top\">y</A>"
                          "<A NAME=Giu>z</A>");
    EXPECT_EQ(page->Parser.Title, "Il & titolo");
    EXPECT_EQ(page->Parser.Base, "b");
    EXPECT_EQ(page->Parser.BaseTarget, "t");
    ASSERT_EQ(page->Names.Count(), 2);
    EXPECT_EQ(page->Names.Strings(0), "TOP");
    EXPECT_EQ(page->Names.Strings(1), "GIU");
    EXPECT_NE(page->Names.Objects(0), nullptr);
}

TEST(DocumentBuilder, BodyColoursAndMargins)
{
    auto page = ParseHtml("<BODY BGCOLOR=#102030 LINK=red VLINK=green OLINK=blue MARGINWIDTH=300 MARGINHEIGHT=-4 "
                          "TEXT=nocolour BACKGROUND=sfondo.gif>x");
    EXPECT_EQ(page->Doc.BackgroundColor, static_cast<TColor>(0x02302010));
    EXPECT_EQ(page->Doc.LinkColor, static_cast<TColor>(0x020000FF));
    EXPECT_EQ(page->Doc.VisitedLinkColor, static_cast<TColor>(0x02008000));
    EXPECT_EQ(page->Doc.HoverLinkColor, static_cast<TColor>(0x02FF0000));
    EXPECT_TRUE(page->Doc.HoverLinksOn);
    EXPECT_EQ(page->Doc.TextColor, clBlack) << "an invalid colour is ignored";
    EXPECT_EQ(page->Viewer.MarginWidthSet, 200);
    EXPECT_EQ(page->Viewer.MarginHeightSet, 0);
    EXPECT_EQ(page->Doc.BackgroundName, "sfondo.gif");
}

TEST(DocumentBuilder, ThirtyNestedFontsKeepTheStackBounded)
{
    std::string html;
    for (int i = 0; i < 30; ++i)
        html += "<FONT SIZE=" + std::to_string(i % 7 + 1) + ">" + static_cast<char>('a' + i % 26);
    for (int i = 0; i < 30; ++i)
        html += "</FONT>" + std::string(1, static_cast<char>('A' + i % 26));
    const std::string dump = ParseHtml(html)->Dump();
    // 24 fonts are pushed: the text of the six FONT tags beyond them stays in the 24th font. The
    // first 24 end tags pop the fonts in turn; the six after them pop nothing.
    EXPECT_TRUE(ShowsInOrder(dump, {"run 23 Arial rel=12 pt=12 ---- 02000000", "run 30 Arial rel=10 pt=10 ---- 02000000",
                                    "run 52 Arial rel=8 pt=8 ---- 02000000", "run 53 Arial rel=12 pt=12 ---- 02000000",
                                    "run 59 Arial rel=12 pt=12 ---- 02000000"}));
    EXPECT_EQ(dump.find("run 24 "), std::string::npos);
}

TEST(DocumentBuilder, StrayListItemRestoresTheListIndentAlsoWhenTheParseFails)
{
    const int before = PaneUn2::ListIndent;
    for (const std::string html : {"<LI>a<B>b</B>", "<LI>a<!-- never closed"}) {
        const std::string dump = ParseHtmlHere(html)->Dump();
        EXPECT_TRUE(ShowsInOrder(dump, {"TUListItem level=1 indent=15 align=left clear=none plain=no"})) << html;
        EXPECT_EQ(PaneUn2::ListIndent, before) << html;
    }
    const std::string dump = ParseHtmlHere("<LI>a<UL><LI>b</UL>")->Dump();
    EXPECT_TRUE(ShowsInOrder(dump, {"TUListItem level=1 indent=35 align=left clear=none plain=no", "text \"b\""}));
}

TEST(DocumentBuilder, PlainTextShowsTagsLiterallyWithoutComments)
{
    const std::string dump = ParseHtml("a <B>b</B>\r\nc<!-- x -->d", 0, {}, true)->Dump();
    EXPECT_TRUE(ShowsInOrder(dump, {"TPreFormated level=0 indent=0 align=left clear=none", "text \"a <B>b</B>\"",
                                    "run 0 Courier New rel=10 pt=10 ---- 02000000", "text \"cd\""}));
}

// --- The program's pages --------------------------------------------------------------------------

TEST(DocumentBuilder, CustomerCard)
{
    const std::string dump = ParseHtml(CustomerCard(3))->Dump();
    std::vector<std::string> expected = {"text \"Cliente: Rossi\"", "run 0 Arial rel=12 pt=12 B--- 02000000",
                                         "run 8 Arial rel=12 pt=12 ---- 02000000"};
    const char* const state[] = {"Pagato il 15/02/2024", "Non pagato ", "Pagato il 15/02/2024"};
    for (int i = 0; i < 3; ++i) {
        const std::string number = std::to_string(12 + i) + (i % 3 == 0 ? "bis" : "");
        const std::string link = "FT?" + std::to_string(12 + i) + "?" + (i % 3 == 0 ? "bis" : "") + "?Rossi?01/02/2024";
        expected.push_back("THorzLine height=20 thickness=2 width=-1 percent=no align=2 color=none noshade=no");
        expected.push_back("text \"Fatturan. " + number + " del 01/02/2024\"");
        expected.push_back("run 0 Arial rel=12 pt=12 B--- 02000000");
        expected.push_back("text \"Stato: " + std::string(state[i]) + "\"");
        expected.push_back("run 0 Arial rel=12 pt=12 B--- 02000000");
        expected.push_back("text \"Importo: " + std::to_string(1000 + i) + ",56\"");
        expected.push_back("run 0 Arial rel=12 pt=12 B--- 02000000");
        expected.push_back("TParagraphSpace height=14");
        expected.push_back("text \"Apri \"");
        expected.push_back("run 0 Arial rel=12 pt=12 --U- 02FF0000 link=\"" + link + "\" target=\"\"");
    }
    expected.push_back("THorzLine height=20 thickness=2 width=-1 percent=no align=2 color=none noshade=no");
    EXPECT_TRUE(ShowsInOrder(dump, expected));
    EXPECT_EQ(CountLines(dump, "THorzLine"), 4);
    EXPECT_EQ(CountLines(dump, "run 0 Arial rel=12 pt=12 --U- 02FF0000 link="), 3) << "one link run a document";
}

TEST(DocumentBuilder, DetailsPage)
{
    auto page = ParseHtml(DetailsPage());
    const std::string dump = page->Dump();
    EXPECT_EQ(page->Parser.Title, "Dettaglio");
    EXPECT_EQ(CountLines(dump, "ThtmlTable"), 1);
    EXPECT_EQ(CountLines(dump, "row "), 10);
    EXPECT_EQ(CountLines(dump, "cell 0 "), 10);
    EXPECT_EQ(CountLines(dump, "cell 1 "), 10);
    EXPECT_EQ(CountLines(dump, "cell 2 "), 0);
    EXPECT_TRUE(ShowsInOrder(
        dump, {"text \"Fattura n. 12bis del 01/02/2024\"", "run 0 Arial rel=14 pt=14 B--- 02000000",
               "text \"Cliente: Rossi & Figli\"",
               "ThtmlTable level=0 justify=left float=no border=yes spacing=4 padding=1 width=1000% height=0 hspace=5 "
               "vspace=0 color=none bordercolor=none cols=0 grid=no",
               "row 0 color=none", "text \"Invio mail\"", "TSection level=0 indent=0 align=right clear=none",
               "text \"-\"", "row 3 color=none", "text \"Imponibile\"", "text \"1000,00\"", "row 9 color=none",
               "TSection level=0 indent=0 align=centre clear=none", "text \"Totale\"",
               "run 0 Arial rel=12 pt=12 B--- 02000000", "TSection level=0 indent=0 align=right clear=none",
               "text \"1068,80\""}));
}

// --- Python's HTML parser as a peer -------------------------------------------------------------

std::vector<std::string> Words(const std::string& text)
{
    std::vector<std::string> words;
    std::string word;
    for (char c : text + ' ') {
        if (c == ' ' || c == '\r' || c == '\n' || c == '\t') {
            if (!word.empty())
                words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    return words;
}

// The text python's HTML parser finds in each page: handle_data outside HEAD, TITLE and SCRIPT,
// references unescaped, in Windows-1252. One python run for all pages.
std::vector<std::string> PythonTexts(const std::vector<std::string>& pages)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("html_peer_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::string arguments;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const std::filesystem::path file = folder / (std::to_string(i) + ".html");
        std::ofstream(file, std::ios::binary) << pages[i];
        arguments += " " + file.string();
    }
    const std::string script =
        "import html,sys\n"
        "from html.parser import HTMLParser\n"
        "class P(HTMLParser):\n"
        "    def __init__(s):\n"
        "        super().__init__(convert_charrefs=False); s.skip=[]; s.out=''\n"
        "    def handle_starttag(s,t,a):\n"
        "        if t in ('head','title','script'): s.skip.append(t)\n"
        "    def handle_endtag(s,t):\n"
        "        if t in s.skip: s.skip.remove(t)\n"
        "    def handle_data(s,d):\n"
        "        if not s.skip: s.out+=d\n"
        "    def handle_entityref(s,n):\n"
        "        s.handle_data(html.unescape('&'+n+';'))\n"
        "    def handle_charref(s,n):\n"
        "        s.handle_data(html.unescape('&#'+n+';'))\n"
        "for name in sys.argv[1:]:\n"
        "    p=P(); p.feed(open(name,encoding='cp1252').read()); p.close()\n"
        "    sys.stdout.buffer.write(p.out.encode('cp1252')+b'\\0')\n";
    const std::filesystem::path scriptFile = folder / "peer.py";
    std::ofstream(scriptFile) << script;
    std::string out;
    if (FILE* pipe = popen(("python3 " + scriptFile.string() + arguments).c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        pclose(pipe);
    }
    std::filesystem::remove_all(folder);
    std::vector<std::string> texts;
    std::size_t from = 0;
    for (std::size_t end = out.find('\0'); end != std::string::npos; end = out.find('\0', from)) {
        texts.push_back(out.substr(from, end - from));
        from = end + 1;
    }
    return texts;
}

TEST(DocumentBuilderPeer, WordsMatchPythonsHtmlParser)
{
    const std::vector<std::string> pages = PeerCorpus();
    const std::vector<std::string> texts = PythonTexts(pages);
    ASSERT_EQ(texts.size(), pages.size()) << "python3 did not run";
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const std::vector<std::string> expected = Words(texts[i]);
        ASSERT_FALSE(expected.empty()) << pages[i];
        auto parsed = ParseHtml(pages[i]);
        EXPECT_EQ(Words(DocumentText(parsed->Doc)), expected) << pages[i];
    }
}

// --- Batches --------------------------------------------------------------------------------------

TEST(DocumentBuilderBatches, DumpsDoNotDependOnTheBatchSize)
{
    std::vector<std::string> pages = PeerCorpus();
    pages.push_back(CustomerCard(3));
    pages.push_back(DetailsPage());
    for (const std::string& page : pages) {
        const std::string whole = ParseHtml(page)->Dump();
        for (std::size_t size : {std::size_t{1}, std::size_t{7}, std::size_t{100}, std::size_t{1000}})
            ASSERT_EQ(ParseHtml(page, size)->Dump(), whole) << "batch size " << size << " of " << page;
    }
}

// --- Events ---------------------------------------------------------------------------------------

TEST(DocumentBuilderEvents, MetaSoundAndScriptRunOnTheGuiThread)
{
    std::vector<std::string> calls;
    bool allOnMain = true;
    TParseHandlers handlers;
    handlers.Meta = [&](TObject*, const std::string& httpEq, const std::string& name, const std::string& content) {
        allOnMain = allOnMain && GetCurrentThreadId() == MainThreadID();
        calls.push_back("meta " + httpEq + "|" + name + "|" + content);
    };
    handlers.Sound = [&](TObject*, const std::string& src, int loop, bool terminate) {
        allOnMain = allOnMain && GetCurrentThreadId() == MainThreadID();
        calls.push_back("sound " + src + " " + std::to_string(loop) + (terminate ? " stop" : ""));
    };
    handlers.Script = [&](TObject*, const std::string& name, const std::string& language, const char* script) {
        allOnMain = allOnMain && GetCurrentThreadId() == MainThreadID();
        calls.push_back("script " + name + "|" + language + "|" + script);
    };
    auto page = ParseHtml("<META NAME=autore CONTENT=\"Io\"><BGSOUND SRC=a.wav><BGSOUND SRC=b.wav LOOP=3>"
                          "<BGSOUND LOOP=2><SCRIPT NAME=s LANGUAGE=JavaScript>if (a<b)\r\n  x();<!-- c -->"
                          "</SCRIPT >\r\n</script>after",
                          5, handlers);
    EXPECT_TRUE(allOnMain);
    const std::vector<std::string> expected = {"meta |autore|Io", "sound a.wav 1", "sound b.wav 3",
                                               "script s|JavaScript|if (a<b)\r\n  x();<!-- c --></SCRIPT >\r\n"};
    EXPECT_EQ(calls, expected);
    EXPECT_TRUE(ShowsInOrder(page->Dump(), {"text \"after\""}));
}

TEST(DocumentBuilderEvents, ThrowingMetaHandlerEndsTheParseQuietly)
{
    TParseHandlers handlers;
    handlers.Meta = [](TObject*, const std::string&, const std::string&, const std::string&) {
        throw Exception("rifiutato");
    };
    const std::string dump = ParseHtml("<B>prima</B><P>e<META NAME=x CONTENT=y>dopo", 3, handlers)->Dump();
    EXPECT_TRUE(ShowsInOrder(dump, {"text \"prima\"", "text \"e\""}));
    EXPECT_EQ(dump.find("dopo"), std::string::npos);
}

TEST(DocumentBuilderEvents, LongScriptHandedOverOnce)
{
    int calls = 0;
    std::size_t length = 0;
    TParseHandlers handlers;
    handlers.Script = [&](TObject*, const std::string&, const std::string&, const char* script) {
        ++calls;
        length = std::strlen(script);
    };
    const std::string body(20'000'000, 'x');
    ParseHtmlHere("<SCRIPT>" + body + "</SCRIPT>ok", handlers);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(length, body.size());
    const std::string dump = ParseHtmlHere("<SCRIPT>" + body + "</SCRIPT>ok")->Dump();
    EXPECT_TRUE(ShowsInOrder(dump, {"text \"ok\""}));
}

TEST(DocumentBuilderEvents, LongTextWithoutTagsBecomesSections)
{
    std::string text;
    while (text.size() < 10'000'000)
        text += "parola altra parola ancora ";
    auto page = ParseHtmlHere(text);
    EXPECT_EQ(page->Doc.Count(), 1);
    EXPECT_EQ(static_cast<TSection*>(page->Doc.Section(0))->Chars.size(), text.size());
}

// --- Nesting caps ---------------------------------------------------------------------------------

int TableDepth(TCell& Cell)
{
    int deepest = 0;
    for (int i = 0; i < Cell.Count(); ++i)
        if (auto* table = dynamic_cast<ThtmlTable*>(Cell.Section(i)))
            for (int r = 0; r < table->Rows->Count(); ++r)
                for (int c = 0; c < table->Row(r)->Count(); ++c)
                    if (TCellObj* cell = table->Row(r)->CellObj(c); cell != nullptr)
                        deepest = std::max(deepest, 1 + TableDepth(*cell->Cell));
    return deepest;
}

std::string Repeat(const std::string& piece, int times)
{
    std::string text;
    text.reserve(piece.size() * static_cast<std::size_t>(times) + 1);
    for (int i = 0; i < times; ++i)
        text += piece;
    return text + "x";
}

TEST(DocumentBuilderCaps, HostileNestingParsesToTheEnd)
{
    for (const std::string piece : {"<DIV>", "<UL><LI>", "<BLOCKQUOTE>", "<TABLE><TR><TD>"}) {
        auto page = ParseHtml(Repeat(piece, 100'000));
        const std::string text = DocumentText(page->Doc);
        EXPECT_NE(text.find('x'), std::string::npos) << piece;
    }
}

TEST(DocumentBuilderCaps, TwentyNestedTablesKeepSixteen)
{
    auto page = ParseHtml(Repeat("<TABLE><TR><TD>", 20));
    EXPECT_EQ(TableDepth(page->Doc), 16);
    const std::string dump = page->Dump();
    EXPECT_TRUE(ShowsInOrder(dump, {"text \"x\""}));
}

} // namespace
