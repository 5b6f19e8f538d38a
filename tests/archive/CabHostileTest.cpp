// Damaged and hostile cabinets: the reader fails or skips, never crashes, and writes nothing
// outside the extraction folder. The fuzz target's replay runs here too.

#include "CabTestSupport.h"
#include "tests/TestScale.h"

#include "fuzz/FdiFuzzCase.h"

#include <gmock/gmock.h>

namespace {

struct TRawCabFile {
    std::string Name;
    std::string Data;
    std::uint16_t Folder = 0;
};

void CabLe16(TBytes& out, unsigned value)
{
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void CabLe32(TBytes& out, std::uint32_t value)
{
    CabLe16(out, value & 0xFFFF);
    CabLe16(out, value >> 16);
}

// A stored cabinet with one folder and one data block holding every file's bytes; the counts can
// be made to lie. The checksum is left 0, which readers take as none.
TBytes RawCabinet(const std::vector<TRawCabFile>& files, std::uint16_t folderCount = 1,
                  const std::string& nextCabinet = {}, int blockSizeShift = 0)
{
    std::string data;
    for (const auto& file : files)
        data += file.Data;
    const bool hasNext = !nextCabinet.empty();
    std::uint32_t header = 36 + (hasNext ? static_cast<std::uint32_t>(nextCabinet.size() + 1 + 5) : 0);
    const std::uint32_t filesOffset = header + 8;
    std::uint32_t dataOffset = filesOffset;
    for (const auto& file : files)
        dataOffset += 16 + static_cast<std::uint32_t>(file.Name.size()) + 1;
    TBytes out{'M', 'S', 'C', 'F'};
    CabLe32(out, 0);
    CabLe32(out, dataOffset + 8 + static_cast<std::uint32_t>(data.size()));
    CabLe32(out, 0);
    CabLe32(out, filesOffset);
    CabLe32(out, 0);
    out.push_back(3);
    out.push_back(1);
    CabLe16(out, folderCount);
    CabLe16(out, static_cast<unsigned>(files.size()));
    CabLe16(out, hasNext ? 2 : 0);
    CabLe16(out, 1);
    CabLe16(out, 0);
    if (hasNext) {
        out.insert(out.end(), nextCabinet.begin(), nextCabinet.end());
        out.push_back(0);
        for (char letter : std::string("Disk"))
            out.push_back(static_cast<std::uint8_t>(letter));
        out.push_back(0);
    }
    CabLe32(out, dataOffset);
    CabLe16(out, 1);
    CabLe16(out, 0);
    std::uint32_t offset = 0;
    for (const auto& file : files) {
        CabLe32(out, static_cast<std::uint32_t>(file.Data.size()));
        CabLe32(out, offset);
        CabLe16(out, file.Folder);
        CabLe16(out, (44 << 9) | (1 << 5) | 1);
        CabLe16(out, 0);
        CabLe16(out, 0x20);
        out.insert(out.end(), file.Name.begin(), file.Name.end());
        out.push_back(0);
        offset += static_cast<std::uint32_t>(file.Data.size());
    }
    CabLe32(out, 0);
    CabLe16(out, static_cast<unsigned>(static_cast<int>(data.size()) + blockSizeShift) & 0xFFFF);
    CabLe16(out, static_cast<unsigned>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

std::vector<std::pair<std::string, TBytes>> HostileCabinets()
{
    const std::vector<TRawCabFile> good{{"uno.txt", "primo"}, {"due.txt", "secondo"}};
    std::vector<std::pair<std::string, TBytes>> cases;
    cases.emplace_back("sound", RawCabinet(good));
    cases.emplace_back("block longer than the file", RawCabinet(good, 1, {}, 40000));
    cases.emplace_back("block shorter than its data", RawCabinet(good, 1, {}, -5));
    cases.emplace_back("65535 folders", RawCabinet(good, 0xFFFF));
    cases.emplace_back("missing folder", RawCabinet({{"uno.txt", "primo", 3}, {"due.txt", "secondo"}}));
    cases.emplace_back("next cabinet up", RawCabinet({{"uno.txt", "primo", 0xFFFE}}, 1, "..\\fuori.cab"));
    cases.emplace_back("next cabinet by path", RawCabinet({{"uno.txt", "primo", 0xFFFE}}, 1, "/tmp/fuori.cab"));
    TBytes undated = RawCabinet(good);
    undated[36 + 8 + 10] = 0; // the first file's date: 0, as a writer that keeps none stores it
    undated[36 + 8 + 11] = 0;
    cases.emplace_back("no stored date", undated);
    TBytes truncated = RawCabinet(good);
    truncated.resize(truncated.size() - 6);
    cases.emplace_back("truncated last block", truncated);
    return cases;
}

TEST_F(CabTest, HostileCabinetsFailOrSkipInsideTheFolder)
{
    for (const auto& [label, bytes] : HostileCabinets()) {
        SCOPED_TRACE(label);
        const fs::path cabinet = root / "ostile.cab";
        WriteBytes(cabinet, bytes);
        const fs::path target = root / "dentro" / "qui";
        TCABArchiver archiver(nullptr);
        archiver.FileName = cabinet.string();
        archiver.ExtractDir = target.string();
        bool failed = false;
        try {
            archiver.ExtractAll();
        } catch (const Exception& error) {
            failed = true;
            EXPECT_EQ(error.Message, "TCABArchiver: The extraction is impossible!");
        }
        if (std::string(label) == "sound" || std::string(label) == "no stored date") {
            EXPECT_FALSE(failed);
            EXPECT_EQ(ReadBytes(target / "uno.txt"), TextBytes("primo"));
            EXPECT_EQ(ReadBytes(target / "due.txt"), TextBytes("secondo"));
        }
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            const std::string path = entry.path().string();
            EXPECT_TRUE(path.rfind((root / "src").string(), 0) == 0 || path.rfind((root / "dentro").string(), 0) == 0
                        || entry.path() == cabinet)
                << path;
        }
        fs::remove_all(root / "dentro");
    }
    EXPECT_FALSE(fs::exists("/tmp/fuori.cab"));
}

TEST_F(CabTest, ReaderReportsCorruptionThroughItsErrorRecord)
{
    const std::vector<std::pair<TBytes, int>> cases{
        {RawCabinet({{"uno.txt", "primo", 3}}), FDIERROR_CORRUPT_CABINET},
        {RawCabinet({{"uno.txt", "primo", 0xFFFE}}, 1, "..\\fuori.cab"), FDIERROR_CORRUPT_CABINET},
        {TextBytes("MSCZ not a cabinet at all, only text that goes on"), FDIERROR_NOT_A_CABINET},
    };
    TStreamCabinetFileHandler handler(nullptr);
    for (const auto& [bytes, expected] : cases) {
        WriteBytes(root / "x.cab", bytes);
        TCabinetReader reader(nullptr);
        reader.SetFileHandler(&handler);
        try {
            reader.Extract((root / "x.cab").string(), (root / "fuori").string());
            ADD_FAILURE() << "accepted";
        } catch (const ECabinetError& error) {
            EXPECT_EQ(error.ErrorCode, expected);
        }
    }
}

// Byte flips, truncations, and lying counts in the header, the folder and the first data block.
TBytes MutateCabinet(TBytes bytes, std::mt19937& random)
{
    auto below = [&](std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(random() % n); };
    switch (random() % 3) {
    case 0: {
        const std::size_t flips = 1 + below(8);
        for (std::size_t i = 0; i < flips && !bytes.empty(); ++i)
            bytes[below(bytes.size())] ^= static_cast<std::uint8_t>(1 + below(255));
        break;
    }
    case 1:
        bytes.resize(below(bytes.size()));
        break;
    default: {
        if (bytes.size() < 36)
            break;
        static const std::size_t fields[] = {8, 16, 26, 28, 36, 40, 42};
        static const std::uint16_t values[] = {0, 1, 0x7FFF, 0xFFFF};
        const std::size_t at = fields[below(7)];
        if (at + 2 <= bytes.size()) {
            const std::uint16_t value = values[below(4)];
            bytes[at] = static_cast<std::uint8_t>(value & 0xFF);
            bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
        }
        break;
    }
    }
    return bytes;
}

TEST_F(CabTest, FuzzSeedsAndMutationsRunCleanly)
{
    std::vector<TBytes> seeds;
    for (const auto& [label, bytes] : HostileCabinets())
        seeds.push_back(bytes);
    for (const TCompression compression : {TCompression::None, TCompression::MsZip, TCompression::Lzx21}) {
        TCABArchiver archiver(nullptr);
        archiver.SetFileDirExtraction(true);
        archiver.Compression = compression;
        WriteBytes(Source("piccolo.txt"), LcgBytes(70000));
        archiver.Contents().AddFile(Source("piccolo.txt").string());
        archiver.Contents().AddFile(Source("vuoto.dat").string());
        archiver.FileName = (root / "seme.cab").string();
        archiver.Compress();
        seeds.push_back(ReadBytes(root / "seme.cab"));
    }
    for (const TBytes& seed : seeds)
        RunFdiFuzzCase(seed.data(), seed.size());
    std::mt19937 random(20261211);
    const int rounds = 8000 * TestScale();
    for (int i = 0; i < rounds; ++i) {
        const TBytes mutated = MutateCabinet(seeds[random() % seeds.size()], random);
        RunFdiFuzzCase(mutated.data(), mutated.size());
    }
}

} // namespace
