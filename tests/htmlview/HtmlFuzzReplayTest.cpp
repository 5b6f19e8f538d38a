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
    return seeds;
}

std::string MutateHtml(std::string text, std::mt19937& random)
{
    static const char* const pieces[] = {"<TABLE>", "<TR>", "<TD>", "</TABLE>", "<CAPTION>", "<UL>", "<LI>", "</OL>",
                                         "<PRE>", "</PRE>", "<DIV>", "<CENTER>", "<SCRIPT>", "</SCRIPT>", "<SELECT>",
                                         "<OPTION>", "<TEXTAREA>", "</TEXTAREA>", "<MAP>", "<AREA COORDS=1,2>",
                                         "<FONT SIZE=+9>", "</FONT>", "<A HREF=x>", "</A>", "<BR>", "<P>", "<!--",
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
