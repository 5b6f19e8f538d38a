// Replays the regular-expression fuzz target over the expressions of the other tests, each with a
// subject, and deterministic mutations of them.

#include "tests/TestScale.h"

#include "fuzz/HlRegExpFuzzCase.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::string> HlRegExpCorpus()
{
    const std::pair<const char*, const char*> cases[] = {
        {"ab*c", "xabbbc"},
        {"(ab)*", "ababab"},
        {"a*bcd", "aabcbcd"},
        {"^ab", "abab"},
        {"x*abc|y", "xxabcy"},
        {"(a|ab)c", "abc"},
        {"(a)|(b)", "b"},
        {"[]a]+[^-x]", "]a]y"},
        {"[\\d-f]\\w\\s\\S\\D\\W", "e_ 1a."},
        {"[\\x41-\\x43]+\\x44", "ABCD"},
        {"(a*)?b", "aab"},
        {"$", "ab"},
        {".*", "\x80\xFF\x01"},
        {"((((((((((a))))))))))", "a"},
        {"[a-]\\", "a"},
        {"([Ff][Tt][Pp]|[Hh][Tt][Tt][Pp])://([_a-zA-Z\\d\\-]+(\\.[_a-zA-Z\\d\\-]+)+)"
         "((/[_a-zA-Z\\d\\-\\\\\\.\\?\\&\\%\\\\~=]+)+)*",
         "see http://www.ab-c.it/x/y.html ok"},
        {"[_a-zA-Z\\d\\-\\.]+@[_a-zA-Z\\d\\-]+(\\.[_a-zA-Z\\d\\-]+)+", "mail: mario.rossi@ditta.it."},
    };
    std::vector<std::string> corpus;
    for (const auto& [expression, subject] : cases)
        corpus.push_back(std::string(expression) + '\0' + subject);
    return corpus;
}

std::string MutateRegExpInput(std::string input, std::mt19937& random)
{
    auto below = [&](std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(random() % n); };
    static const char* pieces[] = {"(", ")", "[", "]", "*", "+", "?", "|", "^", "$", "\\", "\\x", "-",
                                   ".", "(a)", "[^", "ab", "\xF6", "\xFF"};
    const int steps = 1 + static_cast<int>(below(4));
    for (int i = 0; i < steps; ++i) {
        switch (random() % 4) {
        case 0:
            if (!input.empty())
                input[below(input.size())] ^= static_cast<char>(1 + below(255));
            break;
        case 1: {
            const std::string piece = pieces[below(sizeof pieces / sizeof pieces[0])];
            input.insert(below(input.size() + 1), piece);
            break;
        }
        case 2:
            input.erase(below(input.size() + 1), below(4));
            break;
        default:
            input += input.substr(below(input.size() + 1));
            break;
        }
    }
    return input;
}

} // namespace

TEST(HlRegExpFuzzReplay, CorpusAndMutationsStayInsideTheEngine)
{
    const std::vector<std::string> corpus = HlRegExpCorpus();
    for (const std::string& input : corpus)
        RunHlRegExpFuzzCase(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    std::mt19937 random(20261210);
    const int rounds = 20000 * TestScale();
    for (int i = 0; i < rounds; ++i) {
        const std::string input = MutateRegExpInput(corpus[random() % corpus.size()], random);
        RunHlRegExpFuzzCase(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    }
}
