#include "ArchiveTestSupport.h"

#include "fuzz/UnZipFuzzCase.h"

#include "platform/os/MessageBox.h"

#include <unistd.h>

namespace {

const std::string BadName = "Jm\xE9no je chybn\xE9 !";

class HostileArchive : public TArchiveTest {
protected:
    // Extracts into Dir/work/out and checks that nothing appeared beside it.
    void ExtractContained(const TBytes& archive, const std::vector<std::string>& masks = {})
    {
        WriteBytes(Dir / "hostile.zip", archive);
        fs::create_directories(Dir / "work");
        ExtractAll(Dir / "hostile.zip", Dir / "work" / "out", masks);
        std::vector<std::string> beside;
        for (const auto& entry : fs::directory_iterator(Dir / "work"))
            beside.push_back(entry.path().filename().string());
        EXPECT_EQ(beside, std::vector<std::string>{"out"});
        EXPECT_FALSE(fs::exists(Dir / "x"));
    }

    static TRawMember Raw(const std::string& name, std::uint16_t method, TBytes data,
                          std::uint32_t size, std::uint16_t flags = 0)
    {
        TRawMember member;
        member.Name = name;
        member.Method = method;
        member.Flags = flags;
        member.Data = std::move(data);
        member.UncompressedSize = size;
        member.Crc = 0x12345678;
        return member;
    }
};

} // namespace

TEST_F(HostileArchive, EscapingNamesAreRefused)
{
    const std::vector<std::string> names = {"../x", "/abs/x", "..\\x", "a/../../x", "C:x"};
    for (const std::vector<std::string>& masks :
         {std::vector<std::string>{}, std::vector<std::string>{"../*.*"}}) {
        std::vector<TRawMember> members;
        for (const std::string& name : names)
            members.push_back(StoredMember(name, "escaped"));
        members.push_back(StoredMember("ok.txt", "fine"));
        Messages.clear();
        ExtractContained(MakeArchive(members), masks);
        EXPECT_EQ(Messages, std::vector<std::string>(names.size(), BadName));
        EXPECT_EQ(Damaged, static_cast<int>(names.size()));
        EXPECT_FALSE(fs::exists("/abs/x"));
    }
    EXPECT_EQ(ReadBytes(Dir / "work" / "out" / "ok.txt"), TextBytes("fine"));
}

TEST_F(HostileArchive, LongNameIsCut)
{
    std::string name(300, 'n');
    ExtractContained(MakeArchive({StoredMember(name, "long"), StoredMember("after.txt", "after")}));
    ASSERT_FALSE(Messages.empty());
    EXPECT_EQ(Messages.front(), BadName);
    // A 255-byte name may be too long for the temporary name beside it: then an I/O message.
    fs::path cut = Dir / "work" / "out" / std::string(255, 'n');
    if (fs::exists(cut))
        EXPECT_EQ(ReadBytes(cut), TextBytes("long"));
    else
        EXPECT_EQ(Messages.back().substr(0, 6), "Vstupn");
    EXPECT_EQ(ReadBytes(Dir / "work" / "out" / "after.txt"), TextBytes("after"));
}

TEST_F(HostileArchive, DecodersStopOnBrokenTables)
{
    TBitWriter followers;
    followers.Put(63, 6);
    for (int i = 0; i < 40; ++i)
        followers.Put(0xFF, 8);
    TBitWriter widen;
    widen.Put('A', 9);
    for (int width = 9; width <= 14; ++width) {
        widen.Put(256, width);
        widen.Put(1, width);
    }
    widen.Put('B', 15);
    TBytes overflow = FromHex("03ffffffff");
    overflow.resize(64, 0xAA);

    ExtractContained(MakeArchive({Raw("reduce.bin", 2, followers.Bytes(), 100),
                                  Raw("implode.bin", 6, overflow, 100),
                                  Raw("shrink.bin", 1, widen.Bytes(), 100),
                                  StoredMember("ok.txt", "fine")}));
    EXPECT_EQ(Damaged, 3);
    EXPECT_NE(std::find(Messages.begin(), Messages.end(), ZipMessages::ImplodeBadTree), Messages.end());
    EXPECT_EQ(ReadBytes(Dir / "work" / "out" / "ok.txt"), TextBytes("fine"));
}

TEST_F(HostileArchive, SizesBeyondTheArchive)
{
    TRawMember huge = StoredMember("huge.txt", "small data");
    huge.CompressedSize = 0xFFFFFFFF;
    huge.UncompressedSize = 0xFFFFFFFF;
    TRawMember shrunk = Raw("shrunk.bin", 1, FromHex("41020a1c489020"), 0xFFFFFFFF);
    shrunk.CompressedSize = 0xFFFFFFFF;
    for (const TRawMember& member : {huge, shrunk}) {
        Messages.clear();
        ExtractContained(MakeArchive({member, StoredMember("after.txt", "never reached")}));
        EXPECT_EQ(Damaged, 1);
        EXPECT_FALSE(fs::exists(Dir / "work" / "out" / "after.txt"));
    }
}

TEST_F(HostileArchive, DataDescriptorMemberDoesNotCrash)
{
    fs::path archive = Dir / "dd.zip";
    std::string output;
    ASSERT_EQ(RunCommand("python3 -c \"import sys, zipfile; "
                         "z = zipfile.ZipFile(sys.stdout.buffer, 'w'); "
                         "z.writestr('a.txt', 'hello data descriptor'); z.close()\" | cat > " +
                             Quoted(archive), &output), 0) << output;
    ASSERT_EQ(GetLE16(ReadBytes(archive).data() + 6) & 8, 8); // sizes follow the data
    ExtractContained(ReadBytes(archive));
    EXPECT_GE(Damaged, 1);
}

TEST_F(HostileArchive, MemberThatIsNotWholeNeverReplacesAFile)
{
    const std::string victim = "victim.dat";
    TRawMember badCrc = StoredMember(victim, "damaged bytes");
    badCrc.Crc ^= 1;
    TRawMember cutShort = StoredMember(victim, "the archive ends in here");
    cutShort.CompressedSize = 4096;
    TRawMember longerThanItsHeader = StoredMember(victim, "twelve bytes and more");
    longerThanItsHeader.UncompressedSize = 12;
    TRawMember shorterThanItsHeader = StoredMember(victim, "short");
    shorterThanItsHeader.UncompressedSize = 100;
    TRawMember deflated = StoredMember(victim, "not really deflated");
    deflated.Method = 8;
    TBitWriter widen; // the code width grows past 13 bits
    widen.Put('A', 9);
    for (int width = 9; width <= 14; ++width) {
        widen.Put(256, width);
        widen.Put(1, width);
    }
    const TRawMember brokenShrink = Raw(victim, 1, widen.Bytes(), 100);
    const TRawMember brokenImplode = Raw(victim, 6, FromHex("03ffffffff"), 100);
    struct TCase {
        const char* What;
        TRawMember Member;
    } cases[] = {
        {"bad CRC", badCrc},
        {"archive ends inside", cutShort},
        {"longer than its header", longerThanItsHeader},
        {"shorter than its header", shorterThanItsHeader},
        {"unknown method", deflated},
        {"broken shrink", brokenShrink},
        {"broken implode", brokenImplode},
    };
    for (const TCase& c : cases) {
        for (bool existing : {true, false}) {
            std::error_code ignored;
            fs::remove_all(Dir / "work", ignored);
            fs::create_directories(Dir / "work" / "out");
            if (existing)
                WriteText(Dir / "work" / "out" / victim, "precious");
            Messages.clear();
            ExtractContained(MakeArchive({c.Member}, false));
            EXPECT_FALSE(Messages.empty()) << c.What;
            EXPECT_EQ(Damaged, 1) << c.What;
            std::vector<std::string> left;
            for (const auto& entry : fs::directory_iterator(Dir / "work" / "out"))
                left.push_back(entry.path().filename().string());
            EXPECT_EQ(left, existing ? std::vector<std::string>{victim} : std::vector<std::string>{})
                << c.What;
            if (existing) {
                EXPECT_EQ(ReadBytes(Dir / "work" / "out" / victim), TextBytes("precious")) << c.What;
            }
        }
    }
}

TEST_F(HostileArchive, WithoutOnErrorOneBoxPerArchive)
{
    std::vector<TRawMember> members;
    for (int i = 0; i < 25; ++i) {
        TRawMember member = StoredMember("m" + std::to_string(i), "data");
        member.Method = 8;
        members.push_back(member);
    }
    WriteBytes(Dir / "many.zip", MakeArchive(members));
    std::vector<std::string> boxes;
    TMessageBoxHandler previous = SetMessageBoxHandler(
        [&](HWND, const std::string& text, const std::string& caption, UINT) {
            boxes.push_back(caption + "|" + text);
            return IDOK;
        });
    std::vector<std::string> logged;
    SetZipLogWriter([&](const std::vector<std::string>& lines) {
        logged.insert(logged.end(), lines.begin(), lines.end());
    });
    TUnZip unzip(nullptr);
    unzip.SetArcName((Dir / "many.zip").string());
    unzip.SetExtrPath((Dir / "out").string());
    unzip.Overwrite = true;
    EXPECT_TRUE(unzip.Extract());
    SetZipLogWriter(nullptr);
    SetMessageBoxHandler(previous);

    std::string expected = "Attenzione|";
    for (int i = 0; i < 10; ++i)
        expected += "Unknown compress method (8) use on m" + std::to_string(i) + " ! Skip next...\n";
    expected += "... e altri 15 messaggi, scritti nel registro del giorno.";
    EXPECT_EQ(boxes, std::vector<std::string>{expected});
    ASSERT_EQ(logged.size(), 15u);
    EXPECT_EQ(logged.front(), (Dir / "many.zip").string() + ": Unknown compress method (8) use on m10 ! Skip next...");
    EXPECT_EQ(unzip.DamagedCount(), 25);
}

TEST_F(HostileArchive, SymbolicLinkIsReplacedNotFollowed)
{
    fs::create_directories(Dir / "work" / "out");
    WriteText(Dir / "target.txt", "keep me");
    fs::create_symlink(Dir / "target.txt", Dir / "work" / "out" / "a.txt");
    ExtractContained(MakeArchive({StoredMember("a.txt", "from the archive")}));
    EXPECT_TRUE(Messages.empty());
    EXPECT_FALSE(fs::is_symlink(Dir / "work" / "out" / "a.txt"));
    EXPECT_EQ(ReadBytes(Dir / "work" / "out" / "a.txt"), TextBytes("from the archive"));
    EXPECT_EQ(ReadBytes(Dir / "target.txt"), TextBytes("keep me"));
}

TEST_F(HostileArchive, OverwriteFalseKeepsExistingFiles)
{
    fs::create_directories(Dir / "out");
    WriteText(Dir / "out" / "a.txt", "mine");
    WriteBytes(Dir / "k.zip", MakeArchive({StoredMember("a.txt", "theirs"), StoredMember("b.txt", "new")}));
    TUnZip unzip(nullptr);
    unzip.SetArcName((Dir / "k.zip").string());
    unzip.SetExtrPath((Dir / "out").string());
    unzip.OnError = [this](TObject*, const std::string& message) { Messages.push_back(message); };
    ASSERT_TRUE(unzip.Extract());
    EXPECT_EQ(ReadBytes(Dir / "out" / "a.txt"), TextBytes("mine"));
    EXPECT_EQ(ReadBytes(Dir / "out" / "b.txt"), TextBytes("new"));
    EXPECT_EQ(unzip.DamagedCount(), 0);
    EXPECT_TRUE(Messages.empty());
}
