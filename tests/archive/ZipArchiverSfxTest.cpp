// Self-extracting archives: made from a zip-made archive behind generated program images, read
// back, started empty for Add, with the stub's icon replaced; and stubs or blocks that lie.

#include "ZipArchiverTestSupport.h"

#include "archive/ZipDirectory.h"
#include "platform/gui/ShellIcons.h"
#include "platform/gui/IcoCodec.h"
#include "platform/os/PeImage.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"
#include "tests/TestFixtures.h"
#include "tests/TestScale.h"

#include "fuzz/PeImageFuzzCase.h"

#include <random>

namespace {

fs::path StubDir() { return fs::path(TestBinaryDir()) / "stubs"; }

// The 744 bytes of the program's icon 1, as wrestool reads them.
TBytes StubIconImage(const fs::path& program)
{
    const fs::path out = program.string() + ".icon";
    std::string output;
    EXPECT_EQ(RunCommand("wrestool -x --raw -t3 -n1 -o " + Quoted(out) + " " + Quoted(program), &output), 0) << output;
    return fs::exists(out) ? ReadBytes(out) : TBytes();
}

TBytes IconFileImage(const fs::path& icon)
{
    const TBytes bytes = ReadBytes(icon);
    return TBytes(bytes.begin() + 22, bytes.end());
}

class ZipSfx : public TZipArchiverTest {
protected:
    void SetUp() override
    {
        TZipArchiverTest::SetUp();
        FHome = std::getenv("HOME") ? std::getenv("HOME") : "";
        setenv("HOME", Dir.c_str(), 1);
        setenv("XDG_DATA_HOME", (Dir / "xdg").c_str(), 1);
        fs::create_directories(Dir / "xdg");
        fs::create_directories(Dir / "tree" / "dir");
        WriteText(Dir / "tree" / "a.txt", "alfa alfa alfa");
        WriteText(Dir / "tree" / "dir" / "b.txt", std::string(5000, 'b'));
        ZipToolArchive(Dir / "tree", Dir / "arch.zip");
        EXPECT_EQ(RunCommand("echo 'Commento archivio' | zip -q -z " + Quoted(Dir / "arch.zip")), 0);
        Zip->Unattended = true;
        Zip->SFXPath = (StubDir() / "ZipSFX.bin").string();
        Zip->SetZipFileName((Dir / "arch.zip").string());
    }
    void TearDown() override
    {
        setenv("HOME", FHome.c_str(), 1);
        unsetenv("XDG_DATA_HOME");
        TZipArchiverTest::TearDown();
    }

    void UseIcon(const fs::path& icon)
    {
        TFileStream stream(icon.string(), fmOpenRead);
        Zip->SFXIcon()->LoadFromStream(stream);
    }

    static std::string Unzip(const std::string& options, const fs::path& archive)
    {
        std::string output;
        const int status = RunCommand("unzip " + options + " " + Quoted(archive), &output);
        return std::to_string(status) + ":" + output;
    }

private:
    std::string FHome;
};

TEST_F(ZipSfx, ConvertsToASelfExtractorAndBack)
{
    const TBytes stub = ReadBytes(StubDir() / "ZipSFX.bin");
    const std::vector<std::string> original = NamesAndCrcs(Dir / "arch.zip");
    UseIcon(StubDir() / "icon.ico");
    Zip->SFXCaption = "Archivio";
    Zip->SFXDefaultDir = "C:\\Dati";
    Zip->SFXCommandLine = "";
    Zip->SFXMessage = "Ciao";
    Zip->SFXOptions = SFXOpts{SFXAskFiles, SFXCheckSize};
    ASSERT_EQ(Zip->ConvertSFX(), 0) << Zip->LastMessage;

    const fs::path exe = Dir / "arch.exe";
    EXPECT_EQ(Zip->ZipFileName(), exe.string());
    EXPECT_FALSE(fs::exists(Dir / "arch.zip"));
    EXPECT_TRUE(fs::exists(Dir / "xdg" / "Trash" / "files" / "arch.zip"));
    const TBytes bytes = ReadBytes(exe);
    const std::size_t blockSize = (12 + 8 + 7 + 4 + 3) / 4 * 4;
    ASSERT_GT(bytes.size(), stub.size() + blockSize);
    const std::string block(bytes.begin() + static_cast<long>(stub.size()),
                            bytes.begin() + static_cast<long>(stub.size() + blockSize));
    EXPECT_EQ(block, std::string("MPV\x02\x00\x01", 6) + std::string(1, static_cast<char>(blockSize)) +
                         std::string("\0\x08" "Archivio\x07" "C:\\Dati\x00\x04" "Ciao", 24) + std::string(1, '\0'));
    EXPECT_EQ(Unzip("-tq", exe).substr(0, 2), "0:") << Unzip("-tq", exe);
    EXPECT_EQ(NamesAndCrcs(exe), original);
    EXPECT_EQ(StubIconImage(exe), IconFileImage(StubDir() / "icon.ico"));

    // Back: the settings read from the block, the icon from the program.
    Zip->SFXCaption = Zip->SFXDefaultDir = Zip->SFXMessage = "";
    Zip->SFXOptions = SFXOpts{};
    Zip->SFXOverWriteMode = OvrAlways;
    Zip->SFXIcon()->Assign(nullptr);
    ASSERT_EQ(Zip->ConvertZIP(), 0) << Zip->LastMessage;
    EXPECT_EQ(Zip->ZipFileName(), (Dir / "arch.zip").string());
    EXPECT_FALSE(fs::exists(exe));
    EXPECT_EQ(NamesAndCrcs(Dir / "arch.zip"), original);
    EXPECT_EQ(Zip->GetZipComment(), "Commento archivio");
    EXPECT_EQ(Unzip("-tq", Dir / "arch.zip").substr(0, 2), "0:");
    EXPECT_EQ(Zip->SFXCaption, "Archivio");
    EXPECT_EQ(Zip->SFXDefaultDir, "C:\\Dati");
    EXPECT_EQ(Zip->SFXCommandLine, "");
    EXPECT_EQ(Zip->SFXMessage, "Ciao");
    EXPECT_EQ(Zip->SFXOptions, (SFXOpts{SFXAskFiles, SFXCheckSize}));
    EXPECT_EQ(Zip->SFXOverWriteMode, OvrConfirm);
    TMemoryStream saved;
    Zip->SFXIcon()->SaveToStream(saved);
    ASSERT_EQ(saved.Size(), 766);
    const TBytes expectedIcon = ReadBytes(StubDir() / "icon.ico");
    EXPECT_EQ(TBytes(reinterpret_cast<const std::uint8_t*>(saved.Memory()) + 22,
                     reinterpret_cast<const std::uint8_t*>(saved.Memory()) + 766),
              TBytes(expectedIcon.begin() + 22, expectedIcon.end()));
}

TEST_F(ZipSfx, TextLengthsDecideTheBlock)
{
    const TBytes stub = ReadBytes(StubDir() / "ZipSFX.bin");
    const std::uintmax_t archive = fs::file_size(Dir / "arch.zip");
    Zip->SFXCaption = "";
    ASSERT_EQ(Zip->ConvertSFX(), 0) << Zip->LastMessage;
    EXPECT_EQ(fs::file_size(Dir / "arch.exe"), stub.size() + 12 + archive);

    // 256 characters are refused and nothing is written; 255 are taken.
    Zip->SetZipFileName((Dir / "arch.exe").string());
    ASSERT_EQ(Zip->ConvertZIP(), 0);
    Zip->SFXCaption = std::string(256, 'c');
    EXPECT_EQ(Zip->ConvertSFX(), -9);
    EXPECT_EQ(Zip->ErrCode, 10801);
    EXPECT_EQ(Zip->LastMessage, Fallback(10801) + "\r\nSFXCaption + SFXDefaultDir + SFXCommandLine + SFXMessage = " +
                                    std::to_string((256 + 12 + 3) / 4 * 4 + 1));
    EXPECT_FALSE(fs::exists(Dir / "arch.exe"));
    EXPECT_TRUE(fs::exists(Dir / "arch.zip"));
    Zip->SFXCaption = std::string(255, 'c');
    ASSERT_EQ(Zip->ConvertSFX(), 0);
    EXPECT_EQ(Unzip("-tq", Dir / "arch.exe").substr(0, 2), "0:");
}

TEST_F(ZipSfx, PreconditionsAreReported)
{
    struct TCase {
        std::string Name;
        std::function<int()> Run;
        int Result;
        int Message;
    };
    WriteBytes(Dir / "plain.exe", ReadBytes(Dir / "arch.zip"));
    const std::vector<TCase> cases = {
        {"ConvertZIP of a .zip", [&] { return Zip->ConvertZIP(); }, -3, 10902},
        {"ConvertZIP without a stub", [&] { Zip->SetZipFileName((Dir / "plain.exe").string()); return Zip->ConvertZIP(); }, -9, 10903},
        {"ConvertSFX of an .exe", [&] { return Zip->ConvertSFX(); }, -9, 10803},
        {"stub missing", [&] { Zip->SetZipFileName((Dir / "arch.zip").string()); Zip->SFXPath = (Dir / "none.bin").string(); return Zip->ConvertSFX(); }, -9, 10802},
    };
    for (const TCase& c : cases) {
        Zip->ErrCode = 0;
        EXPECT_EQ(c.Run(), c.Result) << c.Name;
        EXPECT_EQ(Zip->ErrCode, c.Message) << c.Name;
    }
    EXPECT_EQ(Zip->SFXPath, "");
}

TEST_F(ZipSfx, TheOldBlockLayoutReadsBack)
{
    TBytes bytes = ReadBytes(StubDir() / "ZipSFX.bin");
    const std::string block = std::string("MPU\x01\x03\x02\x04", 7) + "Tit" + "C:" + "-all";
    bytes.insert(bytes.end(), block.begin(), block.end());
    bytes.resize((bytes.size() + 3) / 4 * 4, 0);
    const TBytes archive = ReadBytes(Dir / "arch.zip");
    bytes.insert(bytes.end(), archive.begin(), archive.end());
    WriteBytes(Dir / "old.exe", bytes); // offsets not adjusted: the archive is copied whole
    Zip->SetZipFileName((Dir / "old.exe").string());
    ASSERT_GT(Zip->FirstHeaderOffset, 0u);
    ASSERT_EQ(Zip->ConvertZIP(), 0) << Zip->LastMessage;
    EXPECT_EQ(Zip->SFXCaption, "Tit");
    EXPECT_EQ(Zip->SFXDefaultDir, "C:");
    EXPECT_EQ(Zip->SFXCommandLine, "-all");
    EXPECT_EQ(Zip->SFXOptions, (SFXOpts{SFXAskCmdLine, SFXCheckSize}));
    EXPECT_EQ(ReadBytes(Dir / "old.zip"), archive);
}

TEST_F(ZipSfx, BlocksThatClaimTooMuchAreRefused)
{
    const TBytes stub = ReadBytes(StubDir() / "ZipSFX.bin");
    const TBytes archive = ReadBytes(Dir / "arch.zip");
    const std::vector<std::pair<std::string, std::string>> blocks = {
        {"texts past the block", std::string("MPV\x00\x00\x01\x0c\x00\xff", 9) + "abc"},
        {"MP in the last two bytes", std::string("xxxxMP", 6)},
    };
    for (const auto& [name, block] : blocks) {
        TBytes bytes = stub;
        bytes.insert(bytes.end(), block.begin(), block.end());
        bytes.insert(bytes.end(), archive.begin(), archive.end());
        WriteBytes(Dir / "bad.exe", bytes);
        Zip->SetZipFileName((Dir / "bad.exe").string());
        Zip->SFXCaption = "invariato";
        EXPECT_EQ(Zip->ConvertZIP(), -9) << name;
        EXPECT_EQ(ReadBytes(Dir / "bad.exe"), bytes) << name;
        EXPECT_FALSE(fs::exists(Dir / "bad.zip")) << name;
        EXPECT_EQ(Zip->SFXCaption, "invariato") << name;
    }
    Zip->SetZipFileName((Dir / "bad.exe").string());
    Zip->FirstHeaderOffset = 0x7FFFFFF0;
    EXPECT_EQ(Zip->ConvertZIP(), -9);
    EXPECT_FALSE(fs::exists(Dir / "bad.zip"));
}

TEST_F(ZipSfx, AddToANewProgramKeepsTheStubInFront)
{
    const TBytes stub = ReadBytes(StubDir() / "ZipSFX.bin");
    Zip->SFXCaption = "";
    const fs::path exe = Dir / "nuovo.exe";
    Zip->SetZipFileName(exe.string());
    ASSERT_EQ(Zip->ConvertSFX(true), 0);
    TBytes bytes = ReadBytes(exe);
    ASSERT_EQ(bytes.size(), stub.size() + 12 + 22);
    EXPECT_EQ(GetLE32(bytes.data() + stub.size() + 12), ZipEndRecordSignature);
    EXPECT_EQ(GetLE32(bytes.data() + stub.size() + 12 + 16), stub.size() + 12);
    fs::remove(exe);

    Zip->SetZipFileName(exe.string());
    Zip->FSpecArgs()->Add((Dir / "tree" / "a.txt").string());
    Zip->Add();
    EXPECT_EQ(Zip->SuccessCount, 1) << Zip->LastMessage;
    bytes = ReadBytes(exe);
    EXPECT_EQ(TBytes(bytes.begin(), bytes.begin() + static_cast<long>(stub.size())), stub);
    EXPECT_EQ(Unzip("-tq", exe).substr(0, 2), "0:") << Unzip("-tq", exe);
    EXPECT_NE(Unzip("-l", exe).find("a.txt"), std::string::npos);
}

TEST_F(ZipSfx, IconsOfBothProgramWidthsAreReplaced)
{
    UseIcon(StubDir() / "icon.ico");
    Zip->SFXPath = (StubDir() / "ZipSFX64.bin").string();
    ASSERT_EQ(Zip->ConvertSFX(), 0) << Zip->LastMessage;
    EXPECT_EQ(StubIconImage(Dir / "arch.exe"), IconFileImage(StubDir() / "icon.ico"));
    HICON icon = ExtractIconA(nullptr, (Dir / "arch.exe").c_str(), 0);
    ASSERT_NE(icon, nullptr);
    ASSERT_NE(icon, reinterpret_cast<HICON>(1));
    DestroyIcon(icon);
    EXPECT_EQ(ExtractIconA(nullptr, (Dir / "tree" / "a.txt").c_str(), 0), reinterpret_cast<HICON>(1));
    EXPECT_EQ(ExtractIconA(nullptr, (Dir / "arch.exe").c_str(), 1), nullptr);
}

TEST_F(ZipSfx, AnIconOfAnotherSizeDeletesTheOutput)
{
    TIcoImage image;
    image.Width = image.Height = 16;
    image.Pixels.assign(256, 0xFF102030);
    image.Transparent.assign(256, 0);
    const std::vector<std::uint8_t> ico = IcoCodec::Write(image, 24);
    WriteBytes(Dir / "small.ico", TBytes(ico.begin(), ico.end()));
    UseIcon(Dir / "small.ico");
    EXPECT_EQ(Zip->ConvertSFX(), 244);
    EXPECT_FALSE(fs::exists(Dir / "arch.exe"));
    EXPECT_TRUE(fs::exists(Dir / "arch.zip"));
}

// Stubs whose headers point outside themselves or whose resource tree loops.
TEST_F(ZipSfx, HostileStubsAreRefusedWithoutReadingOutside)
{
    const TBytes good = ReadBytes(StubDir() / "ZipSFX.bin");
    const std::uint32_t pe = GetLE32(good.data() + 60);
    const std::uint32_t rsrc = 0x400; // the generator's layout
    struct TCase {
        std::string Name;
        std::function<void(TBytes&)> Spoil;
        int Result;
    };
    const std::vector<TCase> cases = {
        {"e_lfanew past the end", [](TBytes& b) { PutLE32(b.data() + 60, 0x7FFFFFF0); }, 246},
        {"0xFFFF sections", [&](TBytes& b) { PutLE16(b.data() + pe + 6, 0xFFFF); }, 246},
        {"no MZ", [](TBytes& b) { b[0] = 'X'; }, 246},
        {"tree pointing to itself", [&](TBytes& b) { PutLE32(b.data() + rsrc + 16 + 4, 0x80000000u); }, 245},
        {"root claiming 0xFFFF entries", [&](TBytes& b) { PutLE16(b.data() + rsrc + 14, 0xFFFF); }, 245},
        {"data entry past the end", [&](TBytes& b) { PutLE32(b.data() + rsrc + 128, 0x7FFFFF00); }, 245},
        {"data entry offset past the tree", [&](TBytes& b) { PutLE32(b.data() + rsrc + 80 + 16 + 4, 0x7FFFFF00); }, 245},
    };
    UseIcon(StubDir() / "icon.ico");
    for (const TCase& c : cases) {
        TBytes bytes = good;
        c.Spoil(bytes);
        WriteBytes(Dir / "ZipSFX.bin", bytes);
        Zip->SFXPath = (Dir / "ZipSFX.bin").string();
        EXPECT_EQ(Zip->ConvertSFX(), c.Result) << c.Name;
        EXPECT_FALSE(fs::exists(Dir / "arch.exe")) << c.Name;
        const TPeImage image(bytes.data(), bytes.size());
        (void)image.ResourcesOfType(3);
    }
}

// Generated stubs and bounded mutations of them, for the reader, the icon walk and the icon
// extraction.
TEST_F(ZipSfx, MutatedStubsReplay)
{
    const std::vector<TBytes> stubs = {ReadBytes(StubDir() / "ZipSFX.bin"), ReadBytes(StubDir() / "ZipSFX64.bin")};
    for (const TBytes& stub : stubs)
        RunPeImageFuzzCase(stub.data(), stub.size());
    std::mt19937 random(20261211);
    const int rounds = 1500 * TestScale();
    static const std::uint32_t values[] = {0, 1, 0x7F, 0xFFFF, 0x80000000u, 0x80000010u, 0xFFFFFFFFu};
    for (int round = 0; round < rounds; ++round) {
        TBytes bytes = stubs[static_cast<std::size_t>(round) % 2];
        for (int flips = 1 + static_cast<int>(random() % 4); flips > 0; --flips) {
            const std::size_t at = random() % (bytes.size() - 4);
            if (random() % 2)
                PutLE32(bytes.data() + at, values[random() % 7]);
            else
                bytes[at] ^= static_cast<std::uint8_t>(1 + random() % 255);
        }
        if (random() % 8 == 0)
            bytes.resize(random() % bytes.size());
        RunPeImageFuzzCase(bytes.data(), bytes.size());
    }
}

} // namespace
