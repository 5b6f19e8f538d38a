// Replays the HTML document fuzz target over its seeds (the simple pages, the customer card and
// the details page) and deterministic mutations of them, and reads unterminated elements to the
// end of the input.

#include "tests/TestScale.h"

#include "fuzz/HtmlFuzzCase.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// Tables at the extremes: spans, too many columns, deep nesting, sizes at 0, negative and huge,
// spacing and padding past their caps.
std::vector<std::string> TableSeeds()
{
    std::vector<std::string> seeds;
    seeds.push_back("<TABLE><TR><TD COLSPAN=2000000000 ROWSPAN=2000000000>a<TD COLSPAN=-5 ROWSPAN=0>b"
                    "<TR><TD ROWSPAN=3>c<TD COLSPAN=3 WIDTH=2000000000>d<TR><TD WIDTH=-3%>e</TABLE>");
    std::string wide = "<TABLE><TR>";
    for (int i = 0; i < 201; ++i)
        wide += "<TD>c";
    seeds.push_back(wide + "</TABLE>after");
    std::string nested;
    for (int i = 0; i < 16; ++i)
        nested += "<TABLE BORDER=1 WIDTH=" + std::to_string(i * 7) + "%><TR><TD>x<TD>";
    seeds.push_back(nested + "deep</TABLE>");
    for (const char* size : {"0", "-1", "2000000000", "0%", "-50%", "2000000000%", "100%"})
        seeds.push_back(std::string("<TABLE WIDTH=") + size + " HEIGHT=" + size + " CELLSPACING=" + size +
                        " CELLPADDING=" + size + " HSPACE=" + size + " VSPACE=" + size +
                        "><CAPTION ALIGN=bottom>cap</CAPTION><TR><TD WIDTH=" + size + " HEIGHT=" + size +
                        ">a b<TD ROWSPAN=2>c</TABLE><TABLE ALIGN=left HEIGHT=" + size + "><TR><TD>f</TABLE>g");
    seeds.push_back("<TABLE CELLSPACING=500 CELLPADDING=900 BORDER=9 BORDERCOLOR=red BGCOLOR=blue HEIGHT=100>"
                    "</TABLE><TABLE ALIGN=right><TR><TD WIDTH=100>a<TD WIDTH=200% COLSPAN=4>b</TABLE>"
                    "<PRE>" + std::string(300, 'p') + "</PRE><HR SIZE=25 WIDTH=900% COLOR=red><HR NOSHADE>");
    return seeds;
}

std::vector<std::string> HtmlSeeds()
{
    std::vector<std::string> seeds = PeerCorpus();
    seeds.push_back(CustomerCard(3));
    seeds.push_back(DetailsPage());
    seeds.push_back("<PRE>a<B>b</B>&amp;<A HREF=\"\">c</A><FONT SIZE=3>d</FONT><SELECT><OPTION>e</SELECT>\r\n"
                    "<TEXTAREA>f</TEXTAREA><MAP NAME=m><AREA COORDS=\"1,2,3,4\"></MAP><SCRIPT>g</SCRIPT></PRE>");
    seeds.push_back("<META HTTP-EQUIV=content-type CONTENT=koi8-r><BGSOUND SRC=s LOOP=2><BASE HREF=b>"
                    "<FORM><INPUT TYPE=image SRC=i.gif><INPUT TYPE=radio></FORM><LI>x<DL><DT>t<DD>d</DL>"
                    "<!--#include file=x -->");
    for (const std::string& table : TableSeeds())
        seeds.push_back(table);
    return seeds;
}

std::string MutateHtml(std::string text, std::mt19937& random)
{
    static const char* const pieces[] = {"<TABLE>", "<TR>", "<TD>", "</TABLE>", "<CAPTION>", "<UL>", "<LI>", "</OL>",
                                         "<PRE>", "</PRE>", "<DIV>", "<CENTER>", "<SCRIPT>", "</SCRIPT>", "<SELECT>",
                                         "<OPTION>", "<TEXTAREA>", "</TEXTAREA>", "<MAP>", "<AREA COORDS=1,2>",
                                         "<FONT SIZE=+9>", "</FONT>", "<TD COLSPAN=99>",
                                         "<TD ROWSPAN=99>", "<TABLE WIDTH=50% HEIGHT=99%>", "<TD WIDTH=70>",
                                         "<TABLE ALIGN=left>", "<CAPTION ALIGN=bottom>", "<HR>", "<A HREF=x>", "</A>", "<BR>", "<P>", "<!--",
                                         "-->", "&amp;", "\r\n", "\x1A", "<BODY>", "<H1>", "</H2>", "\0"};
    return MutateText(std::move(text), random, pieces, std::size(pieces));
}

void RunOn(const std::string& text, bool throughThread, bool layOut = true)
{
    RunHtmlFuzzCase(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), throughThread, layOut);
}

} // namespace

TEST(HtmlFuzzReplay, SeedsAndMutations)
{
    const std::vector<std::string> seeds = HtmlSeeds();
    for (const std::string& text : seeds)
        RunOn(text, true);
    // Starting a thread is dear under the sanitizers: one mutation in 40 also goes through one; one
    // in 8 is laid out and painted.
    std::mt19937 random(20261211);
    const int rounds = 20000 * TestScale();
    for (int i = 0; i < rounds; ++i)
        RunOn(MutateHtml(seeds[random() % seeds.size()], random), i % 40 == 0, i % 8 == 0);
}

TEST(HtmlFuzzReplay, UnterminatedElementsKeepWhatWasBuilt)
{
    for (const std::string tail : {"<!-- open", "<TEXTAREA>t", "<SCRIPT>s", "<SELECT><OPTION>o", "<TABLE><TR><TD>c"}) {
        auto page = ParseHtml("<B>prima</B><P>" + tail);
        EXPECT_NE(page->Dump().find("text \"prima\""), std::string::npos) << tail;
    }
}
