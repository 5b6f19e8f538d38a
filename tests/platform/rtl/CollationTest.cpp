#include "platform/rtl/Collation.h"

#include "platform/rtl/SysErrors.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::uint32_t Italian = 1040;

int Compare(std::uint32_t locale, std::uint32_t flags, const std::string& a, const std::string& b)
{
    return CompareStringA(locale, flags, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size()));
}

struct CollationCase {
    std::uint32_t flags;
    const char* first;
    const char* second;
    int expected;
};

void ExpectCases(std::uint32_t locale, std::initializer_list<CollationCase> cases)
{
    for (const CollationCase& c : cases) {
        EXPECT_EQ(Compare(locale, c.flags, c.first, c.second), c.expected)
            << "flags " << c.flags << ": '" << c.first << "' vs '" << c.second << "'";
        // The same pair the other way round gives the mirrored answer.
        EXPECT_EQ(Compare(locale, c.flags, c.second, c.first), 4 - c.expected)
            << "flags " << c.flags << ": '" << c.second << "' vs '" << c.first << "'";
    }
}

} // namespace

TEST(Collation, ItalianOrderWithCaseAccentsAndWordSort)
{
    ExpectCases(Italian, {
        {NORM_IGNORECASE, "ANCORA", "ancora", CSTR_EQUAL},
        {NORM_IGNORECASE, "\xC0ncora", "ancora", CSTR_GREATER_THAN}, // accents still count
        {0, "ancora", "ANCORA", CSTR_LESS_THAN},
        {0, "perche", "perch\xE9", CSTR_LESS_THAN},
        {0, "perch\xE9", "perchi", CSTR_LESS_THAN},
        {0, "De Rossi", "Dea", CSTR_LESS_THAN},          // the blank counts
        {0, "d'Amico", "Damiani", CSTR_GREATER_THAN},    // the apostrophe does not
        {0, "co-op", "coop", CSTR_GREATER_THAN},         // tie: fewer hyphens first
        {0, "coop", "cop", CSTR_LESS_THAN},
        {0, "co-op", "c-oop", CSTR_GREATER_THAN},        // as many: the texts as they are
        {0, "co-op", "co-op", CSTR_EQUAL},
        {0, "", "a", CSTR_LESS_THAN},
        {0, "a.b", "ab", CSTR_LESS_THAN},                // other punctuation is not ignored
        {NORM_IGNORECASE, "\x8Al\x9Cv", "\x9Al\x8Cv", CSTR_EQUAL},
    });
}

TEST(Collation, FlagsChangeWhatCounts)
{
    ExpectCases(Italian, {
        {NORM_IGNORENONSPACE, "perch\xE9", "perche", CSTR_EQUAL},
        {NORM_IGNORENONSPACE, "Perche", "perch\xE9", CSTR_GREATER_THAN}, // case still counts
        {NORM_IGNORENONSPACE | NORM_IGNORECASE, "PERCH\xC9", "perche", CSTR_EQUAL},
        {NORM_IGNORESYMBOLS, "De Rossi", "DeRossi", CSTR_EQUAL},
        {NORM_IGNORESYMBOLS, "a.b,c!", "abc", CSTR_EQUAL},
        {SORT_STRINGSORT, "co-op", "coop", CSTR_LESS_THAN}, // the hyphen is a symbol here
        {SORT_STRINGSORT, "d'Amico", "Damiani", CSTR_LESS_THAN},
        {NORM_IGNORECASE | SORT_STRINGSORT, "CO-OP", "co-op", CSTR_EQUAL},
    });
}

TEST(Collation, DefaultLocalesAreItalianAndOthersComeFromIcu)
{
    for (std::uint32_t locale : {LOCALE_USER_DEFAULT, LOCALE_SYSTEM_DEFAULT})
        EXPECT_EQ(Compare(locale, 0, "perch\xE9", "perchi"), CSTR_LESS_THAN);
    EXPECT_EQ(Compare(1033, NORM_IGNORECASE, "ABC", "abc"), CSTR_EQUAL); // English (US)
    SetLastError(0);
    EXPECT_EQ(Compare(0x7F7F, 0, "a", "b"), 0); // no such locale
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Collation, LengthsAndInvalidArguments)
{
    const char* text = "abcdef";
    EXPECT_EQ(CompareStringA(Italian, 0, text, -1, "abcdef", -1), CSTR_EQUAL);
    EXPECT_EQ(CompareStringA(Italian, 0, text, 3, "abc", -1), CSTR_EQUAL);
    EXPECT_EQ(CompareStringA(Italian, 0, text, 3, text, 4), CSTR_LESS_THAN);
    EXPECT_EQ(CompareStringA(Italian, 0, nullptr, 0, "", -1), CSTR_EQUAL);
    EXPECT_EQ(CompareStringA(Italian, 0, nullptr, -1, "a", -1), 0);
    EXPECT_EQ(CompareStringA(Italian, 0, text, -2, "a", -1), 0);
    EXPECT_EQ(CompareStringA(Italian, 0x40000000, "a", -1, "a", -1), 0);
    EXPECT_EQ(GetLastError(), 1004u); // invalid flags
}

TEST(Collation, LongTextsCompareBeyondTheStackBuffer)
{
    std::string a(1000, 'x');
    std::string b = a;
    a += "-a";
    b += "b";
    EXPECT_EQ(Compare(Italian, 0, a, b), CSTR_LESS_THAN);
    EXPECT_EQ(Compare(Italian, 0, a, a.substr(0, 1000) + "a"), CSTR_GREATER_THAN);
}

TEST(Collation, ThreadsShareTheCollatorsSafely)
{
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 2000; ++i) {
                std::uint32_t flags = (i % 2) ? NORM_IGNORECASE : 0;
                int expected = (i % 2) ? CSTR_EQUAL : CSTR_LESS_THAN;
                if (Compare(Italian, flags, "ancora", "ANCORA") != expected)
                    ++failures[t];
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int f : failures)
        EXPECT_EQ(f, 0);
}

namespace {

// A random text drawn mostly from the bytes that make the word sort and the locale differ.
std::string RandomText(std::mt19937& random)
{
    static const std::string alphabet = "aAbBeEoOzZ--'' \xE0\xC0\xE8\xC8\xE9\xEC\xF2\xF9.1";
    std::uniform_int_distribution<std::size_t> length(0, 6);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::string text(length(random), ' ');
    for (char& c : text)
        c = alphabet[pick(random)];
    return text;
}

int CompareKeys(const std::string& a, const std::string& b)
{
    return a < b ? CSTR_LESS_THAN : a == b ? CSTR_EQUAL : CSTR_GREATER_THAN;
}

} // namespace

TEST(Collation, SortKeysOrderAsTheComparison)
{
    std::mt19937 random(20261210);
    for (std::uint32_t flags : {0u, NORM_IGNORECASE, SORT_STRINGSORT, NORM_IGNORESYMBOLS}) {
        for (int i = 0; i < 20000; ++i) {
            const std::string a = RandomText(random);
            const std::string b = i % 4 == 0 ? a : RandomText(random);
            std::string keyA = "prefix";
            std::string keyB = "prefix";
            ASSERT_TRUE(AppendSortKeyA(Italian, flags, a.data(), a.size(), keyA));
            ASSERT_TRUE(AppendSortKeyA(Italian, flags, b.data(), b.size(), keyB));
            ASSERT_EQ(CompareKeys(keyA, keyB), Compare(Italian, flags, a, b))
                << "flags " << flags << ": '" << a << "' vs '" << b << "'";
        }
    }
}

TEST(Collation, SortKeysRefuseWhatTheComparisonRefuses)
{
    std::string key = "kept";
    EXPECT_FALSE(AppendSortKeyA(0x7F7F, 0, "a", 1, key));
    EXPECT_FALSE(AppendSortKeyA(Italian, 0x40000000, "a", 1, key));
    EXPECT_EQ(key, "kept");
    // Texts beyond the stack buffer get whole keys.
    const std::string longA = std::string(1000, 'x') + "-a";
    const std::string longB = std::string(1000, 'x') + "b";
    std::string keyA, keyB;
    ASSERT_TRUE(AppendSortKeyA(Italian, 0, longA.data(), longA.size(), keyA));
    ASSERT_TRUE(AppendSortKeyA(Italian, 0, longB.data(), longB.size(), keyB));
    EXPECT_LT(keyA, keyB);
}
