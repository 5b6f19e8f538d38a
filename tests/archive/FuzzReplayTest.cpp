// Replays the extraction fuzz target over the starting archives and deterministic mutations of them.
// Run as "archive_tests --write-corpus <folder>" it writes the starting archives for the fuzzer
// instead, and with "--write-core-corpus <folder>" those of the unzip engine's fuzzer.

#include "tests/TestScale.h"
#include "ArchiveTestSupport.h"
#include "ZipCoreTestSupport.h"

#include "fuzz/UnZipFuzzCase.h"

#include <cstring>
#include <random>

namespace {

// Every archive the other tests use, built afresh in scratch.
std::vector<TBytes> FuzzSeeds(const fs::path& scratch)
{
    std::vector<TBytes> seeds;
    fs::create_directories(scratch);
    auto zipOf = [&](const std::vector<std::pair<std::string, TBytes>>& files) {
        TZip zip(nullptr);
        zip.SetArcName((scratch / "start.zip").string());
        zip.Overwrite = true;
        zip.OnError = [](TObject*, const std::string&) {};
        for (const auto& [name, bytes] : files) {
            WriteBytes(scratch / name, bytes);
            zip.Files()->Add((scratch / name).string());
        }
        zip.Compress();
        seeds.push_back(ReadBytes(scratch / "start.zip"));
    };
    zipOf({{"Articoli.aft", TBytes(20, 0x41)}, {"Cliente.cft", TBytes{0x42}}});
    zipOf({{"lcg.txt", LcgBytes(6000)}});
    zipOf({{"zeros.bin", TBytes(60000, 0)}});
    zipOf({{"empty.txt", {}}});

    auto raw = [](const std::string& name, std::uint16_t method, const TBytes& data,
                  std::uint32_t crc, std::uint32_t size, std::uint16_t flags = 0) {
        TRawMember member;
        member.Name = name;
        member.Method = method;
        member.Flags = flags;
        member.Data = data;
        member.Crc = crc;
        member.UncompressedSize = size;
        return member;
    };
    seeds.push_back(MakeArchive({StoredMember("a", "hello"),
                                 raw("b", 8, FromHex("abacab0c01"), 0x1234, 1000),
                                 StoredMember("c", "world")}));
    const char* implodes[] = {
        "03f5f5f5f503f5f5f5f5830a1d22fc07", "03f5f5f5f503f5f5f5f5830a1d22f80f",
        "0ff7f7f7f7f7f7f7f7f7f7f7f7f7f7f7f703f5f5f5f503f5f5f5f5fbf6ee21fc27",
        "0ff7f7f7f7f7f7f7f7f7f7f7f7f7f7f7f703f5f5f5f503f5f5f5f5fbf6ee21f84f"};
    for (int flags = 0; flags < 4; ++flags)
        seeds.push_back(MakeArchive({raw("abc.txt", 6, FromHex(implodes[flags]), 0xCF5C6324, 12,
                                         static_cast<std::uint16_t>(flags * 2))}));
    TBytes r1(192, 0);
    for (std::uint8_t b : FromHex("414243900602"))
        r1.push_back(b);
    for (std::uint16_t method = 2; method <= 5; ++method)
        seeds.push_back(MakeArchive({raw("r.txt", method, r1, 0xCF5C6324, 12)}));
    TBytes r3(192, 0);
    for (std::uint8_t b : FromHex("419001049000"))
        r3.push_back(b);
    seeds.push_back(MakeArchive({raw("r3", 2, r3, 0x85C9EB2E, 6)}));

    std::vector<TRawMember> escaping;
    for (const char* name : {"../x", "/abs/x", "..\\x", "a/../../x", "sub/x.txt"})
        escaping.push_back(StoredMember(name, "escaped"));
    seeds.push_back(MakeArchive(escaping));
    seeds.push_back(MakeArchive({StoredMember(std::string(300, 'n'), "long")}));
    TBitWriter followers;
    followers.Put(63, 6);
    for (int i = 0; i < 40; ++i)
        followers.Put(0xFF, 8);
    seeds.push_back(MakeArchive({raw("f", 2, followers.Bytes(), 0, 100)}));
    TBytes overflow = FromHex("03ffffffff");
    overflow.resize(64, 0xAA);
    seeds.push_back(MakeArchive({raw("i", 6, overflow, 0, 100)}));
    TBitWriter widen;
    widen.Put('A', 9);
    for (int width = 9; width <= 14; ++width) {
        widen.Put(256, width);
        widen.Put(1, width);
    }
    seeds.push_back(MakeArchive({raw("w", 1, widen.Bytes(), 0, 100)}));
    TRawMember huge = StoredMember("huge", "data");
    huge.CompressedSize = 0xFFFFFFFF;
    seeds.push_back(MakeArchive({huge}));
    TRawMember descriptor = raw("dd.txt", 0, TextBytes("hello"), 0, 0, 8);
    descriptor.CompressedSize = 0;
    TBytes withDescriptor = MakeArchive({descriptor}, false);
    std::uint8_t trailer[16];
    PutLE32(trailer, 0x08074B50);
    PutLE32(trailer + 4, ZipCrc32("hello", 5));
    PutLE32(trailer + 8, 5);
    PutLE32(trailer + 12, 5);
    withDescriptor.insert(withDescriptor.end(), trailer, trailer + sizeof trailer);
    seeds.push_back(withDescriptor);
    std::uint8_t end[ZipEndRecordSize];
    EncodeEndRecord(0, 0, 0, end);
    seeds.push_back(TBytes(end, end + sizeof end));
    return seeds;
}

// Byte flips, truncations, and the length fields of a local header set to 0, 0xFFFF or 0xFFFFFFFF.
TBytes Mutate(TBytes bytes, std::mt19937& random)
{
    auto below = [&](std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(random() % n); };
    switch (random() % 4) {
    case 0: {
        std::size_t flips = 1 + below(8);
        for (std::size_t i = 0; i < flips && !bytes.empty(); ++i)
            bytes[below(bytes.size())] ^= static_cast<std::uint8_t>(1 + below(255));
        break;
    }
    case 1:
        bytes.resize(below(bytes.size()));
        break;
    default: {
        std::vector<std::size_t> headers;
        for (std::size_t i = 0; i + ZipLocalHeaderSize <= bytes.size(); ++i)
            if (GetLE32(bytes.data() + i) == ZipLocalHeaderSignature)
                headers.push_back(i);
        if (headers.empty())
            break;
        std::size_t at = headers[below(headers.size())];
        static const std::uint32_t values[] = {0, 0xFFFF, 0xFFFFFFFF};
        std::uint32_t value = values[below(3)];
        switch (below(4)) {
        case 0:
            PutLE32(bytes.data() + at + 18, value); // compressed size
            break;
        case 1:
            PutLE32(bytes.data() + at + 22, value); // uncompressed size
            break;
        case 2:
            PutLE16(bytes.data() + at + 26, static_cast<std::uint16_t>(value)); // name length
            break;
        default:
            PutLE16(bytes.data() + at + 28, static_cast<std::uint16_t>(value)); // extra length
            break;
        }
        break;
    }
    }
    return bytes;
}

class FuzzReplay : public TArchiveTest {};

} // namespace

TEST_F(FuzzReplay, SeedsAndMutationsStayInsideTheFolder)
{
    std::vector<TBytes> seeds = FuzzSeeds(Dir / "seeds");
    ASSERT_GE(seeds.size(), 20u);
    for (const TBytes& start : seeds)
        RunUnZipFuzzCase(start.data(), start.size());
    std::mt19937 random(20261210);
    const int rounds = 20000 * TestScale();
    for (int i = 0; i < rounds; ++i) {
        TBytes mutated = Mutate(seeds[random() % seeds.size()], random);
        RunUnZipFuzzCase(mutated.data(), mutated.size());
    }
}

int main(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--write-corpus") == 0) {
            fs::path folder = argv[i + 1];
            fs::create_directories(folder);
            char pattern[] = "/tmp/tess-archive-corpus-XXXXXX";
            if (mkdtemp(pattern) == nullptr)
                return 1;
            std::vector<TBytes> seeds = FuzzSeeds(fs::path(pattern));
            for (std::size_t n = 0; n < seeds.size(); ++n)
                WriteBytes(folder / ("start-" + std::to_string(n) + ".zip"), seeds[n]);
            fs::remove_all(pattern);
            std::printf("%zu starting archives written to %s\n", seeds.size(), folder.c_str());
            return 0;
        }
    }
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--write-core-corpus") == 0) {
            fs::path folder = argv[i + 1];
            fs::create_directories(folder);
            char pattern[] = "/tmp/tess-archive-corpus-XXXXXX";
            if (mkdtemp(pattern) == nullptr)
                return 1;
            const std::vector<TBytes> samples = UnzCoreFuzzCorpus(fs::path(pattern));
            for (std::size_t n = 0; n < samples.size(); ++n)
                WriteBytes(folder / ("core-" + std::to_string(n) + ".zip"), samples[n]);
            fs::remove_all(pattern);
            std::printf("%zu archives written to %s\n", samples.size(), folder.c_str());
            return 0;
        }
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
