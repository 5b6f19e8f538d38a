#include "DecoderHarness.h"

#include "archive/Explode.h"
#include "archive/Shrink.h"
#include "archive/Unreduce.h"
#include "archive/Unshrink.h"
#include "archive/ZipFormat.h"

#include <gtest/gtest.h>

namespace {

const std::string ABC12 = "ABCABCABCABC";

TBytes Bytes(const std::string& text)
{
    return TBytes(text.begin(), text.end());
}

TBytes LcgText(std::size_t size)
{
    TBytes text(size);
    std::uint64_t x = 1;
    for (std::size_t i = 0; i < size; ++i) {
        x = (1103515245ull * x + 12345ull) % (1ull << 31);
        text[i] = static_cast<std::uint8_t>("abcdefgh "[(x >> 16) % 9]);
    }
    return text;
}

struct TShrinkRun {
    TBytes Compressed;
    TShrinkStatistics Statistics;
};

TShrinkRun ShrinkAll(const TBytes& input)
{
    TShrinkRun run;
    TShrinkEncoder encoder([&](const std::uint8_t* data, std::size_t size) {
        run.Compressed.insert(run.Compressed.end(), data, data + size);
    });
    encoder.Put(input.data(), input.size());
    encoder.Finish();
    run.Statistics = encoder.Statistics();
    return run;
}

TDecodeRun UnshrinkAll(const TBytes& compressed, std::uint32_t size = 0xFFFFFFFF)
{
    return RunDecoder(compressed, [&](TZipBitReader& in, TZipMemberOutput& out, const TZipReport& r) {
        return Unshrink(in, out, size, r);
    });
}

TDecodeRun UnreduceAll(const TBytes& compressed, int method, std::uint32_t size)
{
    return RunDecoder(compressed, [&](TZipBitReader& in, TZipMemberOutput& out, const TZipReport& r) {
        return Unreduce(in, out, method, size, r);
    });
}

TDecodeRun ExplodeAll(const TBytes& compressed, std::uint16_t flags, std::uint32_t size)
{
    return RunDecoder(compressed, [&](TZipBitReader& in, TZipMemberOutput& out, const TZipReport& r) {
        return Explode(in, out, flags, size, r);
    });
}

} // namespace

TEST(ZipFormat, CrcAndDosDate)
{
    EXPECT_EQ(ZipCrc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(ZipCrc32("", 0), 0u);
    EXPECT_EQ(ZipCrc32(ABC12.data(), ABC12.size()), 0xCF5C6324u);

    std::uint16_t date = 0;
    std::uint16_t time = 0;
    std::time_t moment = DosToUnixTime(0x3A65, 0x528F); // 2009-03-05 10:20:30
    UnixTimeToDos(moment, date, time);
    EXPECT_EQ(date, 0x3A65);
    EXPECT_EQ(time, 0x528F);
}

TEST(ZipFormat, WildcardComparison)
{
    struct TCase {
        const char* A;
        const char* B;
        bool Match;
    } cases[] = {
        {"", "", true},          {"", "*", true},           {"", "**", true},
        {"", "?", false},        {"*", "Articoli", true},   {"articoli", "ARTICOLI", true},
        {"Art?coli", "Articoli", true}, {"A*i", "Articoli", true}, {"A*x", "Articoli", false},
        {"*.cft", "x.aft", false}, {"aft", "af", false},  {"af*", "af", true},
        {"a*b*c", "aXbYc", true}, {"Articoli", "Artic*", true}, // a star on either side
        {"\xE8", "\xC8", true},   {"\xBE", "\xBC", true},   {"\xE0", "\xC0", true},
        {"\xE0", "\xE1", false},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(ZipWildcardMatch(c.A, c.B), c.Match) << c.A << " vs " << c.B;
        EXPECT_EQ(ZipWildcardMatch(c.B, c.A), c.Match) << c.B << " vs " << c.A;
    }
    // A member name made of wildcards against a plain mask: decided without trying every split.
    std::string stars;
    for (int i = 0; i < 120; ++i)
        stars += "*?";
    EXPECT_FALSE(ZipWildcardMatch(stars + "z", "Articoli_with_a_rather_long_name"));
    EXPECT_TRUE(ZipWildcardMatch(stars, std::string(120, 'x')));
}

TEST(ZipFormat, MessagesAsReported)
{
    EXPECT_EQ(ZipMessages::BadCrc("x", 0x1D2018C5, 0xAB), "File x has bad CRC ! Stored CRC is 1D2018C5, computed CRC is AB.");
    EXPECT_EQ(ZipMessages::UnknownMethod(8, "b"), "Unknown compress method (8) use on b ! Skip next...");
    EXPECT_EQ(ZipMessages::InOutError(2), "Soubor nebyl nalezen");
    EXPECT_EQ(ZipMessages::InOutError(13), "Vstupne/v\xFDstupn\xED chyba 13");
    EXPECT_EQ(ZipInOutErrorFromErrno(ENOSPC), 101);
}

TEST(Shrink, TwentyLettersGiveTheKnownCodes)
{
    TShrinkRun run = ShrinkAll(TBytes(20, 'A'));
    EXPECT_EQ(run.Compressed, FromHex("41020a1c489020"));
    EXPECT_EQ(UnshrinkAll(run.Compressed).Output, TBytes(20, 'A'));
}

TEST(Shrink, EmptyAndOneByte)
{
    EXPECT_TRUE(ShrinkAll({}).Compressed.empty());
    TShrinkRun one = ShrinkAll({0x42});
    EXPECT_EQ(one.Compressed, FromHex("4200"));
    EXPECT_EQ(UnshrinkAll(one.Compressed).Output, TBytes{0x42});
}

TEST(Shrink, LcgTextWidensClearsAndRoundTrips)
{
    TBytes text = LcgText(1000000);
    ASSERT_EQ(std::string(text.begin(), text.begin() + 16), " hgbbcgddaefdafc");
    ASSERT_EQ(ZipCrc32(text.data(), text.size()), 0xF7D9281Fu);

    TShrinkRun run = ShrinkAll(text);
    EXPECT_EQ(run.Compressed.size(), 460826u);
    EXPECT_EQ(ZipCrc32(run.Compressed.data(), run.Compressed.size()), 0xD65EBE65u);
    EXPECT_EQ(run.Statistics.Widenings, 4u);
    EXPECT_EQ(run.Statistics.PartialClears, 55u);

    TDecodeRun back = UnshrinkAll(run.Compressed);
    EXPECT_EQ(back.Result, TDecodeResult::Complete);
    EXPECT_TRUE(back.Messages.empty());
    EXPECT_EQ(back.Output, text);
}

TEST(Shrink, FedInPiecesGivesTheSameBytes)
{
    TBytes text = LcgText(50000);
    TBytes pieces;
    TShrinkEncoder encoder([&](const std::uint8_t* data, std::size_t size) {
        pieces.insert(pieces.end(), data, data + size);
    });
    for (std::size_t at = 0; at < text.size(); at += 255)
        encoder.Put(text.data() + at, std::min<std::size_t>(255, text.size() - at));
    encoder.Finish();
    EXPECT_EQ(pieces, ShrinkAll(text).Compressed);
}

TEST(Unshrink, HostileStreamsEndTheMember)
{
    // 'A', then "256, 1" at every width: the sixth widening would pass 13 bits.
    TBitWriter widen;
    widen.Put('A', 9);
    for (int width = 9; width <= 14; ++width) {
        widen.Put(256, width);
        widen.Put(1, width);
    }
    widen.Put('B', 15);
    TDecodeRun run = UnshrinkAll(widen.Bytes());
    EXPECT_EQ(run.Result, TDecodeResult::Damaged);
    EXPECT_EQ(run.Output, TBytes{'A'});

    // A first code that is not defined, then a chain through it.
    TBitWriter undefined;
    undefined.Put(300, 9);
    undefined.Put('A', 9);
    undefined.Put(257, 9);
    undefined.Put(257, 9);
    EXPECT_EQ(UnshrinkAll(undefined.Bytes()).Result, TDecodeResult::Damaged);

    // An unknown sub-code is reported and decoding goes on.
    TBitWriter badSub;
    badSub.Put('A', 9);
    badSub.Put(256, 9);
    badSub.Put(7, 9);
    badSub.Put('B', 9);
    TDecodeRun sub = UnshrinkAll(badSub.Bytes());
    EXPECT_EQ(sub.Output, Bytes("AB"));
    ASSERT_EQ(sub.Messages.size(), 1u);
    EXPECT_EQ(sub.Messages[0], ZipMessages::UnshrinkBadSubCode);

    // More output than the header announces ends the member.
    TShrinkRun zeros = ShrinkAll(TBytes(100000, 0));
    EXPECT_EQ(UnshrinkAll(zeros.Compressed, 100000).Result, TDecodeResult::Complete);
    TDecodeRun capped = UnshrinkAll(zeros.Compressed, 1000);
    EXPECT_EQ(capped.Result, TDecodeResult::Damaged);
    EXPECT_LT(capped.Output.size(), 1000u + 8192u);
}

TEST(Unreduce, VectorsDecode)
{
    // R1: every follower set empty, then literals and one copy, under every factor.
    TBytes r1(192, 0);
    for (std::uint8_t b : FromHex("414243900602"))
        r1.push_back(b);
    for (int method = 2; method <= 5; ++method) {
        TDecodeRun run = UnreduceAll(r1, method, 12);
        EXPECT_EQ(run.Result, TDecodeResult::Complete) << method;
        EXPECT_EQ(run.Output, Bytes(ABC12)) << method;
        EXPECT_EQ(run.Crc, 0xCF5C6324u);
    }

    // R2: the follower set of 'A' is {'B'}.
    TBitWriter r2;
    for (int value = 255; value >= 0; --value) {
        r2.Put(value == 0x41 ? 1 : 0, 6);
        if (value == 0x41)
            r2.Put(0x42, 8);
    }
    r2.Put('A', 8);
    r2.Put(0, 1);
    r2.Put(0, 1);
    r2.Put('A', 8);
    r2.Put(0, 1);
    r2.Put(0, 1);
    ASSERT_EQ(r2.Bytes().size(), 196u);
    EXPECT_EQ(TBytes(r2.Bytes().end() - 4, r2.Bytes().end()), FromHex("00410401"));
    TDecodeRun run2 = UnreduceAll(r2.Bytes(), 2, 4);
    EXPECT_EQ(run2.Output, Bytes("ABAB"));
    EXPECT_EQ(run2.Crc, 0x0042E712u);

    // R3: a copy from before the start gives zeros; DLE 0 is the literal 144.
    TBytes r3(192, 0);
    for (std::uint8_t b : FromHex("419001049000"))
        r3.push_back(b);
    TDecodeRun run3 = UnreduceAll(r3, 2, 6);
    EXPECT_EQ(run3.Output, FromHex("410000000090"));
    EXPECT_EQ(run3.Crc, 0x85C9EB2Eu);

    // R4: factor 4, length 6 + 3 at distance 300.
    TBytes r4(192, 0);
    TBytes literals;
    for (int i = 0; i < 300; ++i) {
        std::uint8_t literal = static_cast<std::uint8_t>((7 * i + 1) % 256);
        literals.push_back(literal == 0x90 ? 0x91 : literal);
    }
    r4.insert(r4.end(), literals.begin(), literals.end());
    for (std::uint8_t b : FromHex("90162B"))
        r4.push_back(b);
    TDecodeRun run4 = UnreduceAll(r4, 5, 309);
    TBytes expected = literals;
    expected.insert(expected.end(), literals.begin(), literals.begin() + 9);
    EXPECT_EQ(run4.Output, expected);
    EXPECT_EQ(run4.Crc, 0x13F42003u);
}

TEST(Unreduce, HostileData)
{
    // A follower count of 63.
    TBitWriter big;
    big.Put(63, 6);
    for (int i = 0; i < 80; ++i)
        big.Put(0xFF, 8);
    EXPECT_EQ(UnreduceAll(big.Bytes(), 2, 100).Result, TDecodeResult::Damaged);

    // A follower index beyond a set of 3 (2 bits, index 3).
    TBitWriter index;
    for (int value = 255; value >= 0; --value) {
        index.Put(value == 0 ? 3 : 0, 6);
        if (value == 0)
            for (int i = 0; i < 3; ++i)
                index.Put('a' + i, 8);
    }
    index.Put(0, 1);
    index.Put(3, 2);
    EXPECT_EQ(UnreduceAll(index.Bytes(), 2, 10).Result, TDecodeResult::Damaged);

    // Data ending before the size is reached.
    TBytes shortData(192, 0);
    shortData.push_back('A');
    TDecodeRun cut = UnreduceAll(shortData, 3, 1000);
    EXPECT_EQ(cut.Result, TDecodeResult::Damaged);
    EXPECT_EQ(cut.Output, Bytes("A"));
}

TEST(Explode, VectorsDecodeUnderEveryFlag)
{
    struct TCase {
        std::uint16_t Flags;
        const char* Hex;
    } cases[] = {
        {0, "03f5f5f5f503f5f5f5f5830a1d22fc07"},
        {2, "03f5f5f5f503f5f5f5f5830a1d22f80f"},
        {4, "0ff7f7f7f7f7f7f7f7f7f7f7f7f7f7f7f703f5f5f5f503f5f5f5f5fbf6ee21fc27"},
        {6, "0ff7f7f7f7f7f7f7f7f7f7f7f7f7f7f7f703f5f5f5f503f5f5f5f5fbf6ee21f84f"},
    };
    for (const TCase& c : cases) {
        TDecodeRun run = ExplodeAll(FromHex(c.Hex), c.Flags, 12);
        EXPECT_EQ(run.Result, TDecodeResult::Complete) << c.Flags;
        EXPECT_EQ(run.Output, Bytes(ABC12)) << c.Flags;
        EXPECT_EQ(run.Crc, 0xCF5C6324u);
        EXPECT_TRUE(run.Messages.empty());
    }
}

TEST(Explode, HostileTrees)
{
    // 64 codes of 16 bits need more inner nodes than a 128-node tree has.
    TBytes overflow = FromHex("03ffffffff");
    overflow.resize(64, 0xAA);
    TDecodeRun run = ExplodeAll(overflow, 0, 12);
    EXPECT_EQ(run.Result, TDecodeResult::Damaged);
    ASSERT_FALSE(run.Messages.empty());
    EXPECT_EQ(run.Messages[0], ZipMessages::ImplodeBadTree);

    // One 1-bit code (0) per tree: a 1 bit at the root takes an undefined branch.
    TBytes undefinedBranch = FromHex("0000" "0000" "80");
    TDecodeRun branch = ExplodeAll(undefinedBranch, 0, 12);
    EXPECT_EQ(branch.Result, TDecodeResult::Damaged);
    ASSERT_FALSE(branch.Messages.empty());
    EXPECT_EQ(branch.Messages.back(), ZipMessages::ImplodeBadCoding);

    // A description listing more symbols than the tree holds.
    TDecodeRun tooMany = ExplodeAll(FromHex("07ffffffffffffffff"), 0, 12);
    EXPECT_EQ(tooMany.Result, TDecodeResult::Damaged);
}
