// Replays the RTF reader's fuzz target over the sample files and deterministic mutations of them,
// and reads hostile inputs that must end in a document or a clean failure, in time in proportion
// to their length.

#include "RtfTestSupport.h"

#include "fuzz/RtfReaderFuzzCase.h"
#include "tests/TestScale.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::vector<std::string> RtfCorpus()
{
    return {
        WindowsDialectSample,
        ObjectSample,
        RtfSampleFile("pandoc.rtf"),
        RtfSampleFile("libreoffice-formats.rtf"),
        RtfSampleFile("libreoffice-list-table.rtf"),
        RtfSampleFile("libreoffice-picture.rtf"),
        "{\\rtf1\\ansi{\\field{\\*\\fldinst{HYPERLINK \"x\"}}{\\fldrslt{\\ul a}}}\\trowd a\\cell b\\cell\\row}",
        "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fcharset128 MS Mincho;}}\\f0 \\'82\\'a0\\'82 \\u12354?}",
    };
}

// Control words, braces and escapes the reader treats specially, inserted, doubled or cut.
std::string MutateRtf(std::string rtf, std::mt19937& random)
{
    static const char* const tokens[] = {
        "{", "}", "\\", "\\par ", "\\pard", "\\*", "\\bin3 ", "\\bin-1 ", "\\bin99999 ", "\\'", "\\'8", "\\'ff",
        "\\u-1?", "\\u70000 ", "\\uc1000000000 ", "\\uc0 ", "{\\pict\\pngblip 89}", "{\\object{\\result ", "\\f9999 ",
        "\\cf9999 ", "\\fs-5 ", "\\li99999999999 ", "\\tx1 \\tx2 ", "\\ls7 ", "\\ilvl99 ", "{\\*\\pn\\pnlvlbody",
        "\\cell ", "\\row ", "\\line ", "{\\field{\\*\\fldinst ", "{\\fldrslt ", "\\plain ", "\\sl-300\\slmult1 ",
        "{\\fonttbl{\\f1\\fcharset204 X;}}", "{\\colortbl;\\red9;}", "\\ansicpg936 ", "\\'81\\'40",
        "" /* a NUL byte */};
    auto below = [&](std::size_t n) { return n == 0 ? std::size_t{0} : static_cast<std::size_t>(random() % n); };
    const int steps = 1 + static_cast<int>(below(4));
    for (int i = 0; i < steps; ++i) {
        switch (random() % 4) {
        case 0:
            if (!rtf.empty())
                rtf[below(rtf.size())] = static_cast<char>(random());
            break;
        case 1: {
            const std::string token = tokens[below(std::size(tokens))];
            rtf.insert(below(rtf.size() + 1), token.empty() ? std::string(1, '\0') : token);
            break;
        }
        case 2:
            rtf.resize(below(rtf.size() + 1));
            break;
        default: {
            const std::size_t from = below(rtf.size() + 1);
            if (rtf.size() < 20000)
                rtf.insert(below(rtf.size() + 1), rtf.substr(from, below(rtf.size() - from + 1)));
            break;
        }
        }
    }
    return rtf;
}

void RunOn(const std::string& rtf)
{
    RunRtfReaderFuzzCase(reinterpret_cast<const std::uint8_t*>(rtf.data()), rtf.size());
}

// Reads, writes and reads again; false when the first read failed.
bool ReadWriteRead(const std::string& rtf, std::string* text = nullptr)
{
    TRichDocument first;
    std::string error;
    if (!first.LoadRtf(rtf, nullptr, error))
        return false;
    const std::string written = first.SaveRtf(nullptr, false);
    TRichDocument second;
    EXPECT_TRUE(second.LoadRtf(written, nullptr, error));
    EXPECT_EQ(second.SaveRtf(nullptr, false), written);
    if (text != nullptr)
        *text = first.Text();
    return true;
}

} // namespace

TEST(RtfReaderFuzzReplay, CorpusAndMutations)
{
    const std::vector<std::string> corpus = RtfCorpus();
    for (const std::string& rtf : corpus)
        RunOn(rtf);
    std::mt19937 random(52);
    const int rounds = 1500 * TestScale();
    for (int i = 0; i < rounds; ++i)
        RunOn(MutateRtf(corpus[random() % corpus.size()], random));
}

TEST(RtfReaderFuzzReplay, HostileInputs)
{
    std::string text;
    // Deep nesting fails cleanly; so many groups one after another are read.
    EXPECT_FALSE(ReadWriteRead("{\\rtf1 " + std::string(100000, '{') + "x"));
    std::string siblings = "{\\rtf1 ";
    for (int i = 0; i < 100000; ++i)
        siblings += "{\\b x}";
    EXPECT_TRUE(ReadWriteRead(siblings + "}", &text));
    EXPECT_EQ(text.size(), 100000u);
    // A hundred thousand fonts, and references to fonts and colours that do not exist.
    std::string fonts = "{\\rtf1{\\fonttbl";
    for (int i = 0; i < 100000; ++i)
        fonts += "{\\f" + std::to_string(i) + "\\fswiss F" + std::to_string(i) + ";}";
    fonts += "}{\\colortbl;\\red1;\\green2\\blue;;}\\f99999 a\\f123456\\cf3\\cf999 b}";
    EXPECT_TRUE(ReadWriteRead(fonts, &text));
    EXPECT_EQ(text, "ab");
    // Long words, big numbers, huge skips, characters out of range.
    EXPECT_TRUE(ReadWriteRead("{\\rtf1 \\" + std::string(10000, 'a') + "123456789012345678901 x"
                              "\\uc1000000000\\u233 skipped to the group's end}", &text));
    EXPECT_EQ(text, "x\xE9");
    // Values out of range have no character: what follows them is read as their fallback.
    EXPECT_TRUE(ReadWriteRead("{\\rtf1 \\u99999999999 \\u-99999 \\u55357?\\u56832?z}", &text));
    EXPECT_EQ(text, "??z");
    // A picture with odd, non-hex and very long data keeps its bytes.
    EXPECT_TRUE(ReadWriteRead("{\\rtf1 {\\pict\\pngblip abc}{\\pict\\jpegblip xyz!}{\\pict 1}}", &text));
    EXPECT_EQ(text, "   ");
    // 16 MB by default, 100 MB in a longer run (TESS_TEST_SCALE above 1).
    const std::size_t megabytes = TestScale() > 1 ? 100 : 16;
    std::string picture = "{\\pict\\pngblip ";
    picture.append(megabytes << 20, 'f');
    picture += "}";
    TRichDocument document;
    std::string error;
    ASSERT_TRUE(document.LoadRtf("{\\rtf1 a" + picture + "b}", nullptr, error));
    EXPECT_EQ(document.Text(), "a b");
    EXPECT_NE(document.SaveRtf(nullptr, false).find(picture), std::string::npos);
}
