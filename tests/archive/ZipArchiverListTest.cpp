// The component's own reading of the central directory and its archive comment, against archives
// of zip, python's zipfile and hand-made ones.

#include "ZipArchiverTestSupport.h"

#include "platform/os/Volumes.h"

namespace {

// python's zipfile: one entry per name given (text "x"), the comment given.
TBytes PythonArchive(const fs::path& path, const std::vector<std::string>& names, const std::string& comment = {})
{
    std::string program = "import sys, zipfile\n"
                          "with zipfile.ZipFile(sys.argv[1], \"w\") as z:\n"
                          "    z.comment = sys.argv[2].encode()\n"
                          "    for n in sys.argv[3:]: z.writestr(n, \"x\")\n";
    std::vector<std::string> arguments{path.string(), comment};
    arguments.insert(arguments.end(), names.begin(), names.end());
    std::string output;
    EXPECT_EQ(RunPython(program, arguments, &output), 0) << output;
    return ReadBytes(path);
}

// An archive whose comment is lengthened so that, with trail bytes after it, the file is a
// whole number of 512-byte sectors.
TBytes PaddedArchive(const fs::path& path, std::uint8_t oddByte)
{
    TBytes bytes = PythonArchive(path, {"a.txt"});
    const std::size_t comment = (512 - (bytes.size() + 300) % 512) % 512;
    PutLE16(bytes.data() + bytes.size() - 2, static_cast<std::uint16_t>(comment));
    bytes.insert(bytes.end(), comment, 'c');
    bytes.insert(bytes.end(), 300, 0);
    bytes[bytes.size() - 7] = oddByte;
    return bytes;
}

struct TListCase {
    std::string Name;
    std::function<TBytes(const fs::path& dir)> Make;
    std::vector<int> Boxes;
    bool Listed = true; // ZipFileName kept
    std::function<void(TZipArchiver& zip, const TBytes& bytes)> Check;
};

std::vector<std::string> ListedNames(const TZipArchiver& zip)
{
    std::vector<std::string> names;
    for (const ZipDirEntry& entry : zip.Entries)
        names.push_back(entry.FileName);
    return names;
}

class ZipArchiverList : public TZipArchiverTest {};

} // namespace

TEST_F(ZipArchiverList, ArchivesOfEveryKindListAsStored)
{
    const std::vector<TListCase> cases = {
        {"empty", [](const fs::path& d) { return PythonArchive(d / "a.zip", {}); }, {}, true,
         [](TZipArchiver& zip, const TBytes& bytes) {
             EXPECT_EQ(bytes.size(), 22u);
             EXPECT_TRUE(zip.Entries.empty());
             EXPECT_EQ(zip.FirstHeaderOffset, 0u);
         }},
        {"comment of 100 bytes", [](const fs::path& d) { return PythonArchive(d / "a.zip", {"a.txt"}, std::string(100, 'c')); },
         {}, true,
         [](TZipArchiver& zip, const TBytes& bytes) {
             EXPECT_EQ(zip.RawComment, std::string(100, 'c'));
             EXPECT_EQ(zip.ArchiveSize, bytes.size());
         }},
        {"zero padding to a sector", [](const fs::path& d) { return PaddedArchive(d / "a.zip", 0); }, {}, true,
         [](TZipArchiver& zip, const TBytes& bytes) {
             EXPECT_EQ(bytes.size() % 512, 0u);
             EXPECT_EQ(zip.ArchiveSize, bytes.size() - 300);
             EXPECT_EQ(ListedNames(zip), std::vector<std::string>{"a.txt"});
         }},
        {"padding with one byte set", [](const fs::path& d) { return PaddedArchive(d / "a.zip", 1); }, {10204}, true,
         nullptr},
        {"stub in front, offsets not adjusted",
         [](const fs::path& d) {
             TBytes bytes = LcgBytes(4000);
             const TBytes archive = PythonArchive(d / "inner.zip", {"a.txt", "b.txt"});
             bytes.insert(bytes.end(), archive.begin(), archive.end());
             return bytes;
         },
         {10203}, true,
         [](TZipArchiver& zip, const TBytes&) {
             EXPECT_EQ(zip.FirstHeaderOffset, 4000u);
             EXPECT_TRUE(zip.PrefixMismatch);
             EXPECT_EQ(zip.Entries.size(), 2u);
         }},
        {"folder entries and names with /",
         [](const fs::path& d) {
             MakeSampleTree(d / "tree");
             return ReadBytes(ZipToolArchive(d / "tree", d / "tool.zip"));
         },
         {}, true,
         [](TZipArchiver& zip, const TBytes&) {
             const std::vector<std::string> names = ListedNames(zip);
             EXPECT_NE(std::find(names.begin(), names.end(), "Report\\Default\\fattura.frf"), names.end());
             EXPECT_EQ(zip.DirOnlyCount, 3); // Data/, Report/, Report/Default/
             for (const std::string& name : names)
                 EXPECT_NE(name.back(), '\\') << name;
             zip.UseDirOnlyEntries = true;
             zip.List();
             EXPECT_EQ(zip.DirOnlyCount, 0);
             EXPECT_EQ(zip.Entries.size(), names.size() + 3);
         }},
        {"made-by 0 name in code page 850", [](const fs::path&) { return MakeArchive({StoredMember("Caff\x8A.txt", "x")}); },
         {}, true,
         [](TZipArchiver& zip, const TBytes&) { EXPECT_EQ(ListedNames(zip), std::vector<std::string>{"Caff\xE8.txt"}); }},
        {"UTF-8 name", [](const fs::path& d) { return PythonArchive(d / "a.zip", {"prezzo \xE2\x82\xAC.txt"}); }, {}, true,
         [](TZipArchiver& zip, const TBytes&) { EXPECT_EQ(ListedNames(zip), std::vector<std::string>{"prezzo \x80.txt"}); }},
        {"text file", [](const fs::path&) { return TextBytes(std::string(3000, 't') + "\nfine\n"); }, {11036}, false, nullptr},
        {"ten bytes", [](const fs::path&) { return TextBytes("0123456789"); }, {11036}, false, nullptr},
        {"only signature claims a comment past the end",
         [](const fs::path&) {
             TBytes bytes(ZipEndRecordSize + 10, 0);
             PutLE32(bytes.data(), ZipEndRecordSignature);
             PutLE16(bytes.data() + 20, 100);
             return bytes;
         },
         {11036}, false, nullptr},
    };
    for (const TListCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const fs::path folder = Dir / std::to_string(&c - cases.data());
        fs::create_directories(folder);
        const TBytes bytes = c.Make(folder);
        const fs::path archive = folder / "archivio.zip";
        WriteBytes(archive, bytes);
        const std::size_t boxesBefore = BoxNumbers().size();
        TZipArchiver zip(nullptr);
        std::vector<std::string> headers;
        zip.OnNewName = [&](TObject*, int, const ZipDirEntry& entry) {
            headers.emplace_back(reinterpret_cast<const char*>(&entry.Header), sizeof entry.Header);
        };
        zip.SetZipFileName(archive.string());
        const std::vector<int> boxes = BoxNumbers();
        EXPECT_EQ(std::vector<int>(boxes.begin() + static_cast<std::ptrdiff_t>(boxesBefore), boxes.end()), c.Boxes);
        EXPECT_EQ(zip.ZipFileName().empty(), !c.Listed);
        if (!c.Boxes.empty()) {
            EXPECT_EQ(zip.ErrCode, c.Boxes.back());
        }
        // Each entry's first 42 bytes are a central header's, as stored.
        std::set<std::string> stored;
        for (std::size_t at : HeadersOf(bytes, ZipCentralHeaderSignature, ZipCentralHeaderSize))
            stored.insert(std::string(reinterpret_cast<const char*>(bytes.data() + at + 4), 42));
        EXPECT_EQ(headers.size(), zip.Entries.size());
        for (const std::string& header : headers)
            EXPECT_EQ(stored.count(header), 1u);
        if (c.Check)
            c.Check(zip, bytes);
        EXPECT_EQ(ReadBytes(archive), bytes);
    }
}

TEST_F(ZipArchiverList, HostileDirectoriesAreRefusedByNumber)
{
    const TBytes good = MakeArchive({StoredMember("uno.txt", "1"), StoredMember("due.txt", "22")});
    const std::size_t central = HeadersOf(good, ZipCentralHeaderSignature, ZipCentralHeaderSize)[0];
    const std::size_t end = good.size() - ZipEndRecordSize;
    struct TCase {
        std::string Name;
        std::function<void(TBytes&)> Spoil;
        int Number;
    };
    const std::vector<TCase> cases = {
        {"65,535 entries declared", [&](TBytes& b) {
             PutLE16(b.data() + end + 8, 0xFFFF);
             PutLE16(b.data() + end + 10, 0xFFFF);
         }, 11013},
        {"directory cut short", [&](TBytes& b) { PutLE32(b.data() + end + 12, 20); }, 11013},
        {"wrong signature", [&](TBytes& b) { b[central] = 'X'; }, 11015},
        {"name past the end", [&](TBytes& b) { PutLE16(b.data() + HeadersOf(b, ZipCentralHeaderSignature, 46)[1] + 28, 0xFFFF); }, 11017},
        {"extra past the end", [&](TBytes& b) { PutLE16(b.data() + HeadersOf(b, ZipCentralHeaderSignature, 46)[1] + 30, 0xFFFF); }, 10201},
        {"comment past the end", [&](TBytes& b) { PutLE16(b.data() + HeadersOf(b, ZipCentralHeaderSignature, 46)[1] + 32, 0xFFFF); }, 11022},
        {"directory larger than the file", [&](TBytes& b) { PutLE32(b.data() + end + 12, 0x7FFFFFFF); }, 10201},
    };
    Zip->Unattended = true;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TBytes bytes = good;
        c.Spoil(bytes);
        const fs::path archive = Dir / "ostile.zip";
        WriteBytes(archive, bytes);
        int messages = 0;
        Zip->OnMessage = [&](TObject*, int, const std::string&) { ++messages; };
        Zip->SetZipFileName(archive.string());
        EXPECT_EQ(Zip->ErrCode, c.Number);
        EXPECT_GE(messages, 1);
        EXPECT_EQ(Zip->ZipFileName(), "");
        EXPECT_EQ(Zip->GetCount(), 0);
        EXPECT_EQ(ReadBytes(archive), bytes);
    }
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(ZipArchiverList, TheCommentIsWrittenInPlace)
{
    MakeSampleTree(Dir / "tree");
    const fs::path archive = ZipToolArchive(Dir / "tree", Dir / "backup.aft");
    const TBytes before = ReadBytes(archive);
    Zip->SetZipFileName(archive.string());
    Zip->SetZipComment("Tessellarium_3.0.18");
    EXPECT_TRUE(Boxes().empty());
    std::string output;
    ASSERT_EQ(RunCommand("unzip -z " + Quoted(archive), &output), 0) << output;
    EXPECT_NE(output.find("Tessellarium_3.0.18"), std::string::npos) << output;
    ASSERT_EQ(RunCommand("unzip -tq " + Quoted(archive), &output), 0) << output;
    // The entries and the directory are untouched.
    const TBytes after = ReadBytes(archive);
    EXPECT_TRUE(std::equal(before.begin(), before.end() - 2, after.begin()));
    TZipArchiver again(nullptr);
    again.SetZipFileName(archive.string());
    EXPECT_EQ(again.GetZipComment(), "Tessellarium_3.0.18");

    again.SetZipComment("");
    EXPECT_EQ(fs::file_size(archive), again.EndRecordOffset + 22u);
    EXPECT_EQ(ReadBytes(archive), before);

    // Too long for the record's 16 bits: refused, the archive unchanged.
    again.SetZipComment(std::string(65536, 'x'));
    EXPECT_EQ(again.ErrCode, 11010);
    EXPECT_EQ(BoxNumbers(), std::vector<int>{11010});
    EXPECT_EQ(ReadBytes(archive), before);

    TZipArchiver unnamed(nullptr);
    unnamed.SetZipComment("x");
    EXPECT_EQ(unnamed.ErrCode, 11001);
}

TEST_F(ZipArchiverList, ACommentForAnArchiveWhoseFolderVanishedWritesNothing)
{
    MakeFileAt(Dir / "dati" / "a.txt", TextBytes("a"));
    fs::create_directories(Dir / "copie");
    const fs::path archive = ZipToolArchive(Dir / "dati", Dir / "copie" / "backup.zip");
    Zip->SetZipFileName(archive.string());
    ASSERT_EQ(Zip->ZipFileName(), archive.string());
    fs::rename(Dir / "copie", Dir / "spostata");
    Zip->SetZipComment("Tessellarium_3.0.18");
    EXPECT_EQ(Zip->ErrCode, 11002);
    EXPECT_FALSE(fs::exists(Dir / "copie"));
    EXPECT_EQ(PathsBelow(Dir / "spostata"), std::set<std::string>{"backup.zip"});
}

TEST_F(ZipArchiverList, SimulatedDrivesAreCheckedByLetterAndLabel)
{
    const fs::path archive = Dir / "a.zip";
    WriteBytes(archive, MakeArchive({StoredMember("a.txt", "a")}));
    WriteText(Dir / "testo.zip", "non un archivio");
    struct TDrive {
        std::string Root;
        UINT Type = DRIVE_FIXED;
        DWORD Failure = 0;
        std::string Label;
    } drive;
    Zip->DriveServices.VolumeRoot = [&](const std::string&) { return drive.Root; };
    Zip->DriveServices.DriveType = [&](const std::string&) { return drive.Type; };
    Zip->DriveServices.FreeAndTotal = [](const std::string&, std::int64_t& free, std::int64_t& total) {
        free = 1 << 20;
        total = 1 << 30;
        return true;
    };
    Zip->DriveServices.VolumeInformation = [&](const std::string&, std::string& label, DWORD& serial) {
        label = drive.Label;
        serial = 0x1234;
        return drive.Failure;
    };
    struct TCase {
        std::string Name;
        TDrive Drive;
        fs::path File;
        int Number; // 0: listed
    };
    const std::vector<TCase> cases = {
        {"fixed drive", {"X:\\", DRIVE_FIXED, 0, "DATI"}, archive, 0},
        {"removable drive", {"A:\\", DRIVE_REMOVABLE, 0, ""}, archive, 0},
        {"no such drive", {"X:\\", DRIVE_NO_ROOT_DIR, 0, ""}, archive, 11004},
        {"not a letter", {"1:\\", DRIVE_FIXED, 0, ""}, archive, 11003},
        {"unreadable volume", {"A:\\", DRIVE_REMOVABLE, ERROR_ACCESS_DENIED, ""}, archive, 11004},
        {"network share", {"\\\\server\\dati\\", DRIVE_UNKNOWN, 0, ""}, archive, 0},
        {"second disk of a set", {"A:\\", DRIVE_REMOVABLE, 0, "PKBACK# 002"}, Dir / "testo.zip", 11038},
    };
    Zip->Unattended = true;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        drive = c.Drive;
        Zip->ErrCode = 0;
        Zip->SetZipFileName(c.File.string());
        EXPECT_EQ(Zip->ErrCode, c.Number);
        EXPECT_EQ(Zip->GetCount(), c.Number == 0 ? 1 : 0);
        EXPECT_EQ(Zip->WorkDrive, c.Drive.Root);
        if (c.Number == 0) {
            EXPECT_EQ(Zip->VolumeLabel, c.Drive.Label);
            EXPECT_EQ(Zip->VolumeSerial, 0x1234u);
            EXPECT_EQ(Zip->DiskSize, 1 << 30);
        }
    }
}
