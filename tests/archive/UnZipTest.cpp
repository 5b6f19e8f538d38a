#include "ArchiveTestSupport.h"

#include <unistd.h>

namespace {

const std::string RepeatedABC = "ABCABCABCABC";

class UnZipTest : public TArchiveTest {
protected:
    fs::path MakeDocument()
    {
        fs::create_directories(Dir / "Temp");
        WriteBytes(Dir / "Temp" / "Articoli.aft", TBytes(20, 0x41));
        WriteBytes(Dir / "Temp" / "Cliente.cft", TBytes{0x42});
        SetModificationTime(Dir / "Temp" / "Articoli.aft", FixtureMoment);
        SetModificationTime(Dir / "Temp" / "Cliente.cft", FixtureMoment);
        fs::path archive = Dir / "doc.tsd";
        EXPECT_TRUE(CompressFiles(archive, {(Dir / "Temp" / "Articoli.aft").string(),
                                            (Dir / "Temp" / "Cliente.cft").string()}));
        return archive;
    }

    std::string Out() const { return (Dir / "out").string() + "/"; }

    // Names of the entries left in a folder, sorted.
    static std::vector<std::string> Entries(const fs::path& folder)
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TRawMember Imploded(std::uint16_t flags, const std::string& hex)
    {
        TRawMember member;
        member.Name = "abc.txt";
        member.Data = FromHex(hex);
        member.Method = ZipMethodImploded;
        member.Flags = flags;
        member.Crc = 0xCF5C6324;
        member.UncompressedSize = 12;
        return member;
    }
};

} // namespace

TEST_F(UnZipTest, DocumentFileRoundTrip)
{
    fs::path archive = MakeDocument();
    ASSERT_TRUE(ExtractAll(archive, Dir / "out"));
    EXPECT_TRUE(Messages.empty());
    EXPECT_EQ(Damaged, 0);
    for (const char* name : {"Articoli.aft", "Cliente.cft"}) {
        EXPECT_EQ(ReadBytes(Dir / "out" / name), ReadBytes(Dir / "Temp" / name)) << name;
        EXPECT_EQ(ModificationTime(Dir / "out" / name), FixtureMoment) << name;
    }
    EXPECT_EQ(Entries(Dir / "out"), (std::vector<std::string>{"Articoli.aft", "Cliente.cft"}));

    // Existing files are replaced, in a staging folder too; a missing folder is created with
    // its parents.
    WriteText(Dir / "out" / "Articoli.aft", "older");
    ASSERT_TRUE(ExtractAll(archive, Dir / "out"));
    EXPECT_EQ(ReadBytes(Dir / "out" / "Articoli.aft"), TBytes(20, 0x41));
    WriteText(Dir / "out" / "Cliente.cft", "older");
    TUnZip staging(nullptr);
    staging.SetArcName(archive.string());
    staging.SetExtrPath(Out());
    staging.Overwrite = true;
    staging.StagingFolder = true;
    ASSERT_TRUE(staging.Extract());
    EXPECT_EQ(ReadBytes(Dir / "out" / "Cliente.cft"), TBytes{0x42});
    EXPECT_EQ(Entries(Dir / "out"), (std::vector<std::string>{"Articoli.aft", "Cliente.cft"}));
    ASSERT_TRUE(ExtractAll(archive, Dir / "deep" / "er"));
    EXPECT_EQ(ReadBytes(Dir / "deep" / "er" / "Cliente.cft"), TBytes{0x42});
}

TEST_F(UnZipTest, LargeShrunkMembersRoundTrip)
{
    TBytes text = LcgBytes(1000000);
    WriteBytes(Dir / "lcg.txt", text);
    TBytes zeros(3000000, 0);
    WriteBytes(Dir / "zeros.bin", zeros);
    ASSERT_TRUE(CompressFiles(Dir / "big.zip", {(Dir / "lcg.txt").string(), (Dir / "zeros.bin").string()}));
    ASSERT_TRUE(ExtractAll(Dir / "big.zip", Dir / "out"));
    EXPECT_TRUE(Messages.empty());
    EXPECT_EQ(ReadBytes(Dir / "out" / "lcg.txt"), text);
    EXPECT_EQ(ReadBytes(Dir / "out" / "zeros.bin"), zeros);
}

TEST_F(UnZipTest, ProgressFollowsTheCompressedBytes)
{
    WriteText(Dir / "a", "abcd");
    ASSERT_EQ(RunCommand("cd " + Quoted(Dir) + " && zip -q -0 s.zip a"), 0);
    TUnZip unzip(nullptr);
    unzip.SetArcName((Dir / "s.zip").string());
    unzip.SetExtrPath(Out());
    std::vector<int> progress;
    unzip.OnProgress = [&](TObject*, std::int16_t percent) { progress.push_back(percent); };
    ASSERT_TRUE(unzip.Extract());
    EXPECT_EQ(progress, (std::vector<int>{0, 25, 50, 75}));
}

TEST_F(UnZipTest, ArchivesOfTheZipTool)
{
    WriteText(Dir / "a", "hello");
    WriteText(Dir / "b", std::string(1000, 'x'));
    WriteText(Dir / "c", "world");
    ASSERT_EQ(RunCommand("cd " + Quoted(Dir) + " && zip -q -0 s.zip a b"), 0);
    ASSERT_TRUE(ExtractAll(Dir / "s.zip", Dir / "s"));
    EXPECT_TRUE(Messages.empty());
    EXPECT_EQ(ReadBytes(Dir / "s" / "a"), TextBytes("hello"));
    EXPECT_EQ(ReadBytes(Dir / "s" / "b"), TextBytes(std::string(1000, 'x')));

    // b is deflated (method 8): reported and left out, and the walk goes on. A good file of
    // that name keeps its bytes; without one, no file of that name appears.
    ASSERT_EQ(RunCommand("cd " + Quoted(Dir) + " && zip -q -0 m.zip a && zip -q m.zip b && zip -q -0 m.zip c"), 0);
    fs::create_directories(Dir / "kept");
    WriteText(Dir / "kept" / "b", "a good file");
    for (const char* folder : {"kept", "fresh"}) {
        Messages.clear();
        ASSERT_TRUE(ExtractAll(Dir / "m.zip", Dir / folder));
        EXPECT_EQ(Messages, std::vector<std::string>{"Unknown compress method (8) use on b ! Skip next..."});
        EXPECT_EQ(ReadBytes(Dir / folder / "a"), TextBytes("hello"));
        EXPECT_EQ(ReadBytes(Dir / folder / "c"), TextBytes("world"));
        EXPECT_EQ(Damaged, 1);
    }
    EXPECT_EQ(ReadBytes(Dir / "kept" / "b"), TextBytes("a good file"));
    EXPECT_EQ(Entries(Dir / "kept"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(Entries(Dir / "fresh"), (std::vector<std::string>{"a", "c"}));

    // Members in sub-folders are left out as before, but counted and reported once.
    fs::create_directories(Dir / "tree" / "sub" / "deeper");
    WriteText(Dir / "tree" / "top.txt", "top");
    WriteText(Dir / "tree" / "sub" / "x.txt", "x");
    WriteText(Dir / "tree" / "sub" / "deeper" / "y.txt", "y");
    ASSERT_EQ(RunCommand("cd " + Quoted(Dir / "tree") + " && zip -q -r ../tree.zip top.txt sub"), 0);
    Messages.clear();
    TUnZip unzip(nullptr);
    unzip.SetArcName((Dir / "tree.zip").string());
    unzip.SetExtrPath((Dir / "t").string());
    unzip.Overwrite = true;
    unzip.OnError = [this](TObject*, const std::string& message) { Messages.push_back(message); };
    ASSERT_TRUE(unzip.Extract());
    EXPECT_EQ(Entries(Dir / "t"), std::vector<std::string>{"top.txt"});
    EXPECT_EQ(Messages, std::vector<std::string>{
                            "File in sottocartelle dell'archivio non estratti: 2 (il primo: sub/x.txt)"});
    EXPECT_EQ(unzip.DamagedCount(), 2);
    EXPECT_EQ(unzip.DamagedMembers(), (std::vector<std::string>{"sub/x.txt", "sub/deeper/y.txt"}));
    EXPECT_EQ(unzip.ExtractedFiles(), std::vector<std::string>{unzip.ExtrPath() + "top.txt"});
}

TEST_F(UnZipTest, DamagedByteIsReportedByTheCrc)
{
    fs::path archive = MakeDocument();
    TBytes bytes = ReadBytes(archive);
    bytes[44] ^= 0x10; // inside the 7 shrunk bytes of Articoli.aft (offset 42 to 48)
    WriteBytes(archive, bytes);
    fs::create_directories(Dir / "out");
    WriteText(Dir / "out" / "Articoli.aft", "the previous good table");
    ASSERT_TRUE(ExtractAll(archive, fs::path(Out())));
    ASSERT_EQ(Messages.size(), 1u);
    const std::string prefix = "File " + Out() + "Articoli.aft has bad CRC ! Stored CRC is 1D2018C5, computed CRC is ";
    EXPECT_EQ(Messages[0].substr(0, prefix.size()), prefix);
    std::string computed = Messages[0].substr(prefix.size());
    ASSERT_FALSE(computed.empty());
    EXPECT_EQ(computed.back(), '.');
    computed.pop_back();
    EXPECT_EQ(computed.find_first_not_of("0123456789ABCDEF"), std::string::npos) << computed;
    EXPECT_NE(computed[0], '0');
    EXPECT_EQ(ReadBytes(Dir / "out" / "Articoli.aft"), TextBytes("the previous good table"));
    EXPECT_EQ(ReadBytes(Dir / "out" / "Cliente.cft"), TBytes{0x42});
    EXPECT_EQ(Entries(Dir / "out"), (std::vector<std::string>{"Articoli.aft", "Cliente.cft"}));
    EXPECT_EQ(Damaged, 1);
}

TEST_F(UnZipTest, Masks)
{
    fs::path archive = MakeDocument();
    TBytes sub = MakeArchive({StoredMember("sub/x.txt", "in a folder"), StoredMember("top.txt", "top")});
    WriteBytes(Dir / "sub.zip", sub);
    struct TCase {
        fs::path Archive;
        std::vector<std::string> Masks;
        std::vector<std::string> Extracted;
    } cases[] = {
        {archive, {"articoli.AFT"}, {"Articoli.aft"}},
        {archive, {"*.cft"}, {"Cliente.cft"}},
        {archive, {"Articoli.aftx"}, {"Articoli.aft"}},
        {archive, {"Articoli.aft", "Cliente.cft"}, {"Articoli.aft", "Cliente.cft"}},
        {archive, {"*.txt"}, {}},
        {Dir / "sub.zip", {}, {"top.txt"}},
        {Dir / "sub.zip", {"*.*"}, {"top.txt"}},
        {Dir / "sub.zip", {"*.doc"}, {}},
    };
    int round = 0;
    for (const TCase& c : cases) {
        fs::path into = Dir / ("m" + std::to_string(round++));
        ASSERT_TRUE(ExtractAll(c.Archive, into, c.Masks));
        EXPECT_EQ(Entries(into), c.Extracted) << c.Masks.size();
        // Only a member whose bare name a mask takes counts as left out by its folder.
        const bool subFolderLeftOut = c.Archive == Dir / "sub.zip" && !c.Extracted.empty();
        EXPECT_EQ(Damaged, subFolderLeftOut ? 1 : 0);
    }
    EXPECT_EQ(Messages, std::vector<std::string>(
                            2, "File in sottocartelle dell'archivio non estratti: 1 (il primo: sub/x.txt)"));

    // Two masks naming both members: each member's data is read once (7 + 1 compressed bytes).
    TUnZip unzip(nullptr);
    unzip.SetArcName(archive.string());
    unzip.SetExtrPath((Dir / "once").string());
    unzip.Files()->Add("Articoli.aft");
    unzip.Files()->Add("Cliente.cft");
    int bytesRead = 0;
    unzip.OnProgress = [&](TObject*, std::int16_t) { ++bytesRead; };
    ASSERT_TRUE(unzip.Extract());
    EXPECT_EQ(bytesRead, 8);
}

TEST_F(UnZipTest, EndRecordOnlyAndMissingArchive)
{
    std::uint8_t end[ZipEndRecordSize];
    EncodeEndRecord(0, 0, 0, end);
    WriteBytes(Dir / "empty.zip", TBytes(end, end + sizeof end));
    ASSERT_TRUE(ExtractAll(Dir / "empty.zip", Dir / "out"));
    EXPECT_EQ(Messages, std::vector<std::string>{"Hlava chyb\xED nebo je po\x9Akozena u " + (Dir / "empty.zip").string()});
    EXPECT_TRUE(Entries(Dir / "out").empty());

    Messages.clear();
    EXPECT_TRUE(ExtractAll(Dir / "missing.zip", Dir / "out"));
    EXPECT_TRUE(Messages.empty());

    TUnZip unzip(nullptr);
    unzip.SetArcName((Dir / "empty.zip").string());
    EXPECT_FALSE(unzip.Extract()); // no extraction folder
    unzip.SetExtrPath("/proc/no-such-place/x");
    EXPECT_FALSE(unzip.Extract());
}

TEST_F(UnZipTest, ExtrPathGetsItsSeparator)
{
    TUnZip unzip(nullptr);
    for (auto [given, kept] : std::vector<std::pair<std::string, std::string>>{
             {"", ""}, {"/tmp/a", "/tmp/a\\"}, {"/tmp/a/", "/tmp/a/"}, {"C:\\x\\", "C:\\x\\"}}) {
        unzip.SetExtrPath(given);
        EXPECT_EQ(unzip.ExtrPath(), kept);
    }
}

TEST_F(UnZipTest, ImplodedMembersDecode)
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
        fs::path archive = Dir / ("implode" + std::to_string(c.Flags) + ".zip");
        WriteBytes(archive, MakeArchive({Imploded(c.Flags, c.Hex)}));
        fs::path into = Dir / ("i" + std::to_string(c.Flags));
        ASSERT_TRUE(ExtractAll(archive, into));
        EXPECT_EQ(ReadBytes(into / "abc.txt"), TextBytes(RepeatedABC)) << c.Flags;
        ExpectPeersAccept(archive);
    }
    EXPECT_TRUE(Messages.empty());
    EXPECT_EQ(Damaged, 0);
}

TEST_F(UnZipTest, ReducedMembersDecode)
{
    TBytes r1(192, 0);
    for (std::uint8_t b : FromHex("414243900602"))
        r1.push_back(b);
    std::vector<TRawMember> members;
    for (int method = 2; method <= 5; ++method) {
        TRawMember member;
        member.Name = "r" + std::to_string(method);
        member.Data = r1;
        member.Method = static_cast<std::uint16_t>(method);
        member.Crc = 0xCF5C6324;
        member.UncompressedSize = 12;
        members.push_back(member);
    }
    WriteBytes(Dir / "reduced.zip", MakeArchive(members));
    ASSERT_TRUE(ExtractAll(Dir / "reduced.zip", Dir / "out"));
    EXPECT_TRUE(Messages.empty());
    EXPECT_EQ(Damaged, 0);
    for (int method = 2; method <= 5; ++method)
        EXPECT_EQ(ReadBytes(Dir / "out" / ("r" + std::to_string(method))), TextBytes(RepeatedABC));
}
