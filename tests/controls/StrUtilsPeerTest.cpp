// The string functions against Python's own: fnmatch for the wildcard matcher, str.replace,
// str.split, the XOR-hex encoding, Roman numerals and the code page 850 codec.

#include "ControlsTestSupport.h"

#include "controls/StrUtils.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string RandomText(std::mt19937& random, const std::string& alphabet, int maxLength)
{
    std::uniform_int_distribution<int> length(0, maxLength);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::string text;
    for (int n = length(random); n > 0; --n)
        text += alphabet[pick(random)];
    return text;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string Hex(const std::string& bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

} // namespace

TEST(StrUtilsPeers, IsWildAgreesWithFnmatch)
{
    std::mt19937 random(41);
    std::vector<std::pair<std::string, std::string>> pairs;
    std::string input;
    for (int i = 0; i < 20000; ++i) {
        pairs.emplace_back(RandomText(random, "abx", 8), RandomText(random, "abx?*", 6));
        input += pairs.back().first + "\t" + pairs.back().second + "\n";
    }
    pairs.emplace_back("axb", "a?*xb");
    input += "axb\ta?*xb\n";
    const std::vector<std::string> expected = Lines(RunPython(
        "import sys, fnmatch\n"
        "for line in open(sys.argv[1]):\n"
        "    s, p = line.rstrip('\\n').split('\\t')\n"
        "    print(1 if fnmatch.fnmatchcase(s, p) else 0)\n",
        input));
    ASSERT_EQ(expected.size(), pairs.size()) << "python3 is needed";
    int differences = 0;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const bool matched = IsWild(pairs[i].first, pairs[i].second, false);
        if (matched != (expected[i] == "1") && ++differences <= 10)
            ADD_FAILURE() << "\"" << pairs[i].first << "\" against \"" << pairs[i].second << "\": " << matched;
    }
    EXPECT_EQ(differences, 0);
    EXPECT_EQ(expected.back(), "0");
}

TEST(StrUtilsPeers, ReplaceAndFieldsAgreeWithPythonStrings)
{
    std::mt19937 random(7);
    struct TCase {
        std::string Text, Search, Replacement;
        int Field;
    };
    std::vector<TCase> cases;
    std::string input;
    for (int i = 0; i < 3000; ++i) {
        TCase c{RandomText(random, "ab,", 16), RandomText(random, "ab,", 3), RandomText(random, "xy", 3),
                static_cast<int>(random() % 8)};
        if (c.Search.empty())
            c.Search = "a";
        cases.push_back(c);
        input += c.Text + "\t" + c.Search + "\t" + c.Replacement + "\t" + std::to_string(c.Field) + "\n";
    }
    const std::vector<std::string> expected = Lines(RunPython(
        "import sys\n"
        "for line in open(sys.argv[1]):\n"
        "    s, f, r, n = line.rstrip('\\n').split('\\t')\n"
        "    n = int(n); parts = s.split(',')\n"
        "    print(s.replace(f, r) + '\\t' + (parts[n - 1] if 1 <= n <= len(parts) else ''))\n",
        input));
    ASSERT_EQ(expected.size(), cases.size()) << "python3 is needed";
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const TCase& c = cases[i];
        EXPECT_EQ(ReplaceStr(c.Text, c.Search, c.Replacement) + "\t" + ExtractDelimited(c.Field, c.Text, TCharSet{','}),
                  expected[i])
            << c.Text << " / " << c.Search << " / " << c.Field;
    }
}

TEST(StrUtilsPeers, XorEncodingAgreesWithPythonAndRoundTrips)
{
    std::mt19937 random(1994);
    std::string allBytes;
    for (int b = 1; b < 256; ++b)
        allBytes += static_cast<char>(b);
    std::vector<std::pair<std::string, std::string>> cases = {{"", "abc"}, {"a long key, longer than", "abc"}};
    for (int i = 0; i < 2000; ++i)
        cases.emplace_back(RandomText(random, allBytes, 6), RandomText(random, allBytes, 40));
    std::string input;
    for (const auto& [key, text] : cases)
        input += Hex(key) + " " + Hex(text) + "\n";
    const std::vector<std::string> expected = Lines(RunPython(
        "import sys\n"
        "for line in open(sys.argv[1]):\n"
        "    k, t = (bytes.fromhex(x) for x in (line.rstrip('\\n') + ' ').split(' ')[:2])\n"
        "    print(''.join('%02x' % (c ^ (k[i % len(k)] if k else 0)) for i, c in enumerate(t)))\n",
        input));
    ASSERT_EQ(expected.size(), cases.size()) << "python3 is needed";
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& [key, text] = cases[i];
        const std::string encoded = XorEncode(key, text);
        EXPECT_EQ(encoded, expected[i]) << Hex(key) << " " << Hex(text);
        EXPECT_EQ(XorDecode(key, encoded), text) << Hex(key) << " " << Hex(text);
    }
}

TEST(StrUtilsPeers, RomanNumeralsAgreeWithPythonFrom1To3999)
{
    std::string input;
    for (int n = 1; n <= 3999; ++n)
        input += std::to_string(n) + "\n";
    const std::vector<std::string> expected = Lines(RunPython(
        "import sys\n"
        "table = [(1000, 'M'), (900, 'CM'), (500, 'D'), (400, 'CD'), (100, 'C'), (90, 'XC'),\n"
        "         (50, 'L'), (40, 'XL'), (10, 'X'), (9, 'IX'), (5, 'V'), (4, 'IV'), (1, 'I')]\n"
        "for line in open(sys.argv[1]):\n"
        "    n = int(line); r = ''\n"
        "    for value, letters in table:\n"
        "        while n >= value: r += letters; n -= value\n"
        "    print(r)\n",
        input));
    ASSERT_EQ(expected.size(), 3999u) << "python3 is needed";
    for (int n = 1; n <= 3999; ++n) {
        EXPECT_EQ(IntToRoman(n), expected[n - 1]);
        EXPECT_EQ(RomanToInt(expected[n - 1]), n);
    }
}

// The five bytes Windows-1252 leaves undefined decode to U+FFFD in Python and so become '?';
// they become '?' here as well, since their C1 controls are not in code page 850.
TEST(StrUtilsPeers, OemTextsAgreeWithPythonCodePage850)
{
    std::string allBytes;
    for (int b = 0; b < 256; ++b)
        allBytes += static_cast<char>(b);
    const std::string expected = RunPython(
        "import sys\n"
        "data = open(sys.argv[1], 'rb').read()\n"
        "oem = data.decode('cp1252', 'replace').encode('cp850', 'replace')\n"
        "ansi = data.decode('cp850', 'replace').encode('cp1252', 'replace')\n"
        "print(oem.hex()); print(ansi.hex())\n",
        allBytes);
    ASSERT_EQ(Lines(expected).size(), 2u) << "python3 is needed";
    EXPECT_EQ(Hex(StrToOem(allBytes)), Lines(expected)[0]);
    EXPECT_EQ(Hex(OemToAnsiStr(allBytes)), Lines(expected)[1]);
}
