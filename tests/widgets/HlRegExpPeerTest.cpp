// The engine against python3's re on generated expressions and subjects: the same leftmost match,
// and the same groups where no group is repeated.

#include "tests/TestFixtures.h"
#include "tests/TestScale.h"
#include "widgets/HlRegExp.h"

#include "platform/rtl/Exceptions.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string FromHexText(const std::string& hex)
{
    std::string bytes;
    // A leading "h" keeps an empty text a field of its own.
    for (std::size_t i = 1; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

// What the engine finds, in the form of the script's lines.
std::string EngineAnswer(const std::string& expression, const std::string& subject, int offset, bool groups)
{
    TRegExpHlMemo engine;
    std::ostringstream answer;
    try {
        engine.SetExpression(expression);
        engine.Exec(subject, offset);
    } catch (const Exception& e) {
        return "raised " + e.Message;
    }
    answer << engine.GetMatchPos(0) << ' ' << engine.GetMatchLen(0);
    if (!groups)
        return answer.str() + " -";
    for (int g = 1; g < TRegExpHlMemo::GroupCount; ++g)
        answer << ' ' << engine.GetMatchPos(g) << ' ' << engine.GetMatchLen(g);
    return answer.str();
}

} // namespace

TEST(HlRegExpPeer, AgreesWithPythonOnGeneratedCases)
{
    const std::filesystem::path cases =
        std::filesystem::temp_directory_path() / ("tess-regexp-" + std::to_string(getpid()) + ".txt");
    const std::string script = std::string(TestFixtureDir()) + "/regexp_peer.py";
    const std::string command =
        "python3 \"" + script + "\" " + std::to_string(20000 * TestScale()) + " \"" + cases.string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    std::ifstream in(cases);
    int total = 0;
    int disagreements = 0;
    std::string report;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string expressionHex, subjectHex, expected, rest;
        int offset = 0;
        fields >> expressionHex >> subjectHex >> offset;
        std::getline(fields, rest);
        expected = rest.substr(rest.find_first_not_of(' '));
        const std::string expression = FromHexText(expressionHex);
        const std::string subject = FromHexText(subjectHex);
        const bool groups = expected.back() != '-';
        const std::string answer = EngineAnswer(expression, subject, offset, groups);
        ++total;
        if (answer != expected && ++disagreements <= 10)
            report += "'" + expression + "' on '" + subject + "' from " + std::to_string(offset) +
                      ": python " + expected + ", engine " + answer + "\n";
    }
    std::filesystem::remove(cases);
    EXPECT_EQ(total, 20000 * TestScale());
    EXPECT_EQ(disagreements, 0) << report;
}

TEST(HlRegExpPeer, TheMemoLinkPatternsFindWhatPythonFinds)
{
    const std::string web = "([Ff][Tt][Pp]|[Hh][Tt][Tt][Pp])://([_a-zA-Z\\d\\-]+(\\.[_a-zA-Z\\d\\-]+)+)"
                            "((/[_a-zA-Z\\d\\-\\\\\\.\\?\\&\\%\\\\~=]+)+)*";
    const std::string mail = "[_a-zA-Z\\d\\-\\.]+@[_a-zA-Z\\d\\-]+(\\.[_a-zA-Z\\d\\-]+)+";
    struct TCase {
        const std::string& Pattern;
        const char* Subject;
        int Position;
        int Length;
    };
    const TCase cases[] = {
        {mail, "mail: mario.rossi@ditta.it.", 7, 20},
        {web, "see http://www.ab-c.it/x/y.html ok", 5, 27},
        {web, "FTP://files.example.com/a?b=1&c=%20~d ok", 1, 37},
        {web, "http://localhost/ nothing", -1, -1},
        {mail, "scrivi a info@negozio.example.it, grazie", 10, 23},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Subject);
        TRegExpHlMemo engine;
        engine.SetExpression(c.Pattern);
        engine.Exec(c.Subject, 1);
        EXPECT_EQ(engine.GetMatchPos(0), c.Position);
        EXPECT_EQ(engine.GetMatchLen(0), c.Length);

        std::string escaped;
        for (char ch : c.Pattern + '\n' + c.Subject)
            escaped += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
        const std::string command = "printf '%s' '" + escaped + "' | python3 -c \"import re,sys\n"
                                    "p,s=sys.stdin.read().split(chr(10))\n"
                                    "m=re.search(p,s)\n"
                                    "print(m.start()+1 if m else -1, len(m.group(0)) if m else -1)\"";
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        int position = 0, length = 0;
        ASSERT_EQ(std::fscanf(pipe, "%d %d", &position, &length), 2);
        pclose(pipe);
        EXPECT_EQ(position, c.Position);
        EXPECT_EQ(length, c.Length);
    }
}
