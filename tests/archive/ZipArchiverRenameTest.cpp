// Renaming entries of a zip-made archive and copying entries between two archives, checked with
// unzip; archives whose directory is not in file order or that carry an unadjusted stub; and
// the ways the old archives are kept when the new one cannot be put in place.

#include "ZipArchiverTestSupport.h"

#include "archive/ZipDirectory.h"

#include <sys/stat.h>

namespace {

std::set<std::string> ListedNames(const fs::path& archive)
{
    std::string output;
    EXPECT_EQ(RunCommand("zipinfo -1 " + Quoted(archive), &output), 0) << output;
    std::set<std::string> names;
    std::string line;
    for (char c : output) {
        if (c != '\n') {
            line += c;
        } else {
            names.insert(line);
            line.clear();
        }
    }
    return names;
}

// The names as stored, read without a peer (zipinfo cuts long names).
std::set<std::string> StoredNames(const fs::path& archive)
{
    TZipArchiveFile file(archive.string());
    TZipDirectory directory;
    std::set<std::string> names;
    if (ReadZipDirectory(file, directory) == TZipDirectoryFailure::None)
        for (const TZipCentralEntry& entry : directory.Entries)
            names.insert(entry.Name);
    return names;
}

std::string Tested(const fs::path& archive)
{
    std::string output;
    const int status = RunCommand("unzip -tq " + Quoted(archive), &output);
    return std::to_string(status) + ":" + output;
}

// The CRCs of the entries, in directory order.
std::vector<std::uint32_t> Crcs(const fs::path& archive)
{
    TZipArchiveFile file(archive.string());
    TZipDirectory directory;
    std::vector<std::uint32_t> crcs;
    if (ReadZipDirectory(file, directory) == TZipDirectoryFailure::None)
        for (const TZipCentralEntry& entry : directory.Entries)
            crcs.push_back(entry.Header.Crc);
    return crcs;
}

class ZipRename : public TZipArchiverTest {
protected:
    void SetUp() override
    {
        TZipArchiverTest::SetUp();
        Zip->Unattended = true;
        Zip->HowToDelete = htdFinal;
        fs::create_directories(Dir / "tree" / "dir");
        WriteText(Dir / "tree" / "a.txt", "alfa");
        WriteText(Dir / "tree" / "data.txt", std::string(3000, 'd'));
        WriteText(Dir / "tree" / "dir" / "one.txt", "uno uno");
        WriteText(Dir / "tree" / "dir" / "two.txt", std::string(9000, '2'));
        fs::create_directories(Dir / "work");
        Archive = ZipToolArchive(Dir / "tree", Dir / "work" / "arch.zip");
        EXPECT_EQ(RunCommand("echo 'nota' | zip -q -z " + Quoted(Archive)), 0);
    }

    fs::path Archive;
};

TEST_F(ZipRename, PairsRenameWholeNamesAndFolders)
{
    constexpr std::uint32_t Stamp = 0x5A8C6000; // 2025-04-12 12:00
    struct TCase {
        std::string Name;
        std::vector<RenamePair> Pairs;
        std::uint32_t DateTime;
        int Result;
        std::set<std::string> Names;
        std::set<std::string> Stamped;
    };
    const std::set<std::string> original = {"a.txt", "data.txt", "dir/", "dir/one.txt", "dir/two.txt"};
    const std::vector<TCase> cases = {
        {"folder", {{"dir\\", "new\\dir\\"}}, 0, 0, {"a.txt", "data.txt", "new/dir/", "new/dir/one.txt", "new/dir/two.txt"}, {}},
        {"file only", {{"a.txt", "b.txt"}}, 0, 0, {"b.txt", "data.txt", "dir/", "dir/one.txt", "dir/two.txt"}, {}},
        {"chained", {{"a.txt", "b.txt"}, {"B.TXT", "c.txt"}}, 0, 0, {"c.txt", "data.txt", "dir/", "dir/one.txt", "dir/two.txt"}, {}},
        {"file to folder", {{"a.txt", "x\\"}}, 0, -10, original, {}},
        {"pair date", {{"dir/one.txt", "dir/uno.txt", Stamp}}, 0, 0, {"a.txt", "data.txt", "dir/", "dir/uno.txt", "dir/two.txt"}, {"dir\\uno.txt"}},
        {"date for all", {{"a.txt", "a.txt"}}, Stamp, 0, original, {"a.txt", "data.txt", "dir\\one.txt", "dir\\two.txt"}},
        {"empty source", {{"", "y\\"}}, 0, 0, original, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Archive = ZipToolArchive(Dir / "tree", Dir / "work" / (c.Name + ".zip"));
        const std::vector<std::uint32_t> crcs = Crcs(Archive);
        const TBytes before = ReadBytes(Archive);
        Zip->SetZipFileName(Archive.string());
        std::vector<RenamePair> pairs = c.Pairs;
        EXPECT_EQ(Zip->Rename(pairs, c.DateTime), c.Result) << Zip->LastMessage;
        EXPECT_FALSE(Zip->ZipBusy);
        EXPECT_EQ(ListedNames(Archive), c.Names);
        EXPECT_EQ(Tested(Archive).substr(0, 2), "0:") << Tested(Archive);
        EXPECT_EQ(Crcs(Archive), crcs);
        if (c.Result != 0) {
            EXPECT_EQ(ReadBytes(Archive), before);
        }
        for (const ZipDirEntry& entry : Zip->Entries)
            EXPECT_EQ(entry.Header.DateTime == Stamp, c.Stamped.count(entry.FileName) == 1) << entry.FileName;
    }
    // Every case's archive and the first one: no temporary or old archive is left.
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir / "work"), fs::directory_iterator()),
              static_cast<long>(cases.size() + 1));
}

// Central headers in another order than their entries, and a stub whose offsets were not moved.
TEST_F(ZipRename, ArchivesOutOfOrderOrBehindAStubAreRenamed)
{
    TBytes bytes = ReadBytes(Archive);
    const std::vector<std::size_t> headers = HeadersOf(bytes, ZipCentralHeaderSignature, ZipCentralHeaderSize);
    TZipArchiveFile file(Archive.string());
    TZipDirectory directory;
    ASSERT_EQ(ReadZipDirectory(file, directory), TZipDirectoryFailure::None);
    std::vector<TBytes> records;
    for (std::size_t i = 0; i < headers.size(); ++i) {
        const std::size_t end = i + 1 < headers.size() ? headers[i + 1] : static_cast<std::size_t>(directory.End.EndRecordOffset);
        records.emplace_back(bytes.begin() + static_cast<long>(headers[i]), bytes.begin() + static_cast<long>(end));
    }
    std::size_t at = headers.front();
    for (auto record = records.rbegin(); record != records.rend(); ++record) {
        std::copy(record->begin(), record->end(), bytes.begin() + static_cast<long>(at));
        at += record->size();
    }
    WriteBytes(Dir / "work" / "reversed.zip", bytes);
    TBytes stubbed(1000, 'S');
    const TBytes plain = ReadBytes(Archive);
    stubbed.insert(stubbed.end(), plain.begin(), plain.end());
    WriteBytes(Dir / "work" / "stubbed.exe", stubbed);

    for (const char* name : {"reversed.zip", "stubbed.exe"}) {
        SCOPED_TRACE(name);
        const fs::path archive = Dir / "work" / name;
        Zip->SetZipFileName(archive.string());
        std::vector<RenamePair> pairs = {{"dir\\two.txt", "due.txt"}};
        ASSERT_EQ(Zip->Rename(pairs, 0), 0) << Zip->LastMessage;
        EXPECT_EQ(ListedNames(archive), (std::set<std::string>{"a.txt", "data.txt", "dir/", "dir/one.txt", "due.txt"}));
        EXPECT_EQ(Tested(archive).substr(0, 2), "0:") << Tested(archive);
        EXPECT_EQ(Zip->GetZipComment(), "nota");
    }
    const TBytes renamed = ReadBytes(Dir / "work" / "stubbed.exe");
    EXPECT_EQ(TBytes(renamed.begin(), renamed.begin() + 1000), TBytes(1000, 'S'));
}

TEST_F(ZipRename, ManyPairsAndLongNames)
{
    Zip->SetZipFileName(Archive.string());
    std::vector<RenamePair> pairs;
    for (int i = 0; i < 10000; ++i)
        pairs.push_back({"nessuno" + std::to_string(i) + ".txt", "altro.txt"});
    pairs.push_back({"a.txt", std::string(65535, 'n')});
    EXPECT_EQ(Zip->Rename(pairs, 0), 0) << Zip->LastMessage;
    EXPECT_EQ(StoredNames(Archive).count(std::string(65535, 'n')), 1u);
    pairs = {{std::string(65535, 'n'), std::string(65536, 'm')}};
    EXPECT_EQ(Zip->Rename(pairs, 0), -7);
    EXPECT_EQ(Zip->ErrCode, 11028);
    EXPECT_EQ(StoredNames(Archive).count(std::string(65535, 'n')), 1u);
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir / "work"), fs::directory_iterator()), 1);
}

class ZipCopyEntries : public ZipRename {
protected:
    void SetUp() override
    {
        ZipRename::SetUp();
        fs::create_directories(Dir / "src");
        fs::create_directories(Dir / "dst");
        WriteText(Dir / "src" / "x.txt", "x dal sorgente");
        WriteText(Dir / "src" / "y.txt", "y dal sorgente");
        WriteText(Dir / "dst" / "x.txt", "x della destinazione");
        WriteText(Dir / "dst" / "z.txt", "z della destinazione");
        fs::create_directories(Dir / "a");
        fs::create_directories(Dir / "b");
        Source = Dir / "a" / "src.zip";
        Target = Dir / "b" / "dst.zip";
        EXPECT_EQ(RunCommand("cd " + Quoted(Dir / "src") + " && zip -q " + Quoted(Source) + " x.txt y.txt"), 0);
        EXPECT_EQ(RunCommand("cd " + Quoted(Dir / "dst") + " && zip -q " + Quoted(Target) + " x.txt z.txt"), 0);
        EXPECT_EQ(RunCommand("echo 'destinazione' | zip -q -z " + Quoted(Target)), 0);
        Zip->SetZipFileName(Source.string());
        Destination = std::make_unique<TZipArchiver>(nullptr);
        Destination->Unattended = true;
        Destination->HowToDelete = htdFinal;
        Destination->SetZipFileName(Target.string());
        Zip->FSpecArgs()->Add("x.txt");
        Zip->FSpecArgs()->Add("y.txt");
    }

    std::string Extracted(const std::string& name) const
    {
        std::string output;
        RunCommand("unzip -p " + Quoted(Target) + " " + name, &output);
        return output;
    }

    fs::path Source, Target;
    std::unique_ptr<TZipArchiver> Destination;
};

TEST_F(ZipCopyEntries, ExistingEntriesFollowTheMode)
{
    struct TCase {
        OvrOpts Mode;
        int Answer; // of the question, for OvrConfirm
        std::string X;
        std::vector<std::string> NotCopied;
    };
    const std::vector<TCase> cases = {
        {OvrNever, 0, "x della destinazione", {"x.txt"}},
        {OvrAlways, 0, "x dal sorgente", {}},
        {OvrConfirm, IDNO, "x della destinazione", {"x.txt"}},
        {OvrConfirm, IDYES, "x dal sorgente", {}},
    };
    const TBytes target = ReadBytes(Target);
    for (const TCase& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Mode) * 10 + c.Answer);
        WriteBytes(Target, target);
        Destination->SetZipFileName(Target.string());
        Zip->FSpecArgs()->Clear();
        Zip->FSpecArgs()->Add("x.txt");
        Zip->FSpecArgs()->Add("y.txt");
        if (c.Mode == OvrConfirm)
            Dialogs->Expect(TDialogKind::MessageBox, TDialogAnswer::Code(c.Answer), "Overwrite x.txt in ");
        const std::size_t boxes = Boxes().size();
        ASSERT_EQ(Zip->CopyZippedFiles(Destination.get(), false, c.Mode), 0) << Zip->LastMessage;
        EXPECT_EQ(Zip->FSpecArgs()->Count(), static_cast<int>(c.NotCopied.size()));
        for (std::size_t i = 0; i < c.NotCopied.size(); ++i)
            EXPECT_EQ(Zip->FSpecArgs()->Strings(static_cast<int>(i)), c.NotCopied[i]);
        EXPECT_EQ(ListedNames(Target), (std::set<std::string>{"x.txt", "y.txt", "z.txt"}));
        EXPECT_EQ(Tested(Target).substr(0, 2), "0:") << Tested(Target);
        EXPECT_EQ(Extracted("x.txt"), c.X);
        EXPECT_EQ(Extracted("y.txt"), "y dal sorgente");
        EXPECT_EQ(Destination->GetZipComment(), "destinazione");
        if (c.Mode == OvrConfirm) {
            ASSERT_EQ(Boxes().size(), boxes + 1);
            EXPECT_EQ(Boxes().back(), "Overwrite x.txt in " + Target.string() + " ?");
        }
    }
}

TEST_F(ZipCopyEntries, MovedEntriesLeaveTheSourceOnceTheDestinationHoldsThem)
{
    Zip->FSpecArgs()->Delete(0); // y.txt only
    ASSERT_EQ(Zip->CopyZippedFiles(Destination.get(), true, OvrAlways), 0) << Zip->LastMessage;
    EXPECT_EQ(ListedNames(Target), (std::set<std::string>{"x.txt", "y.txt", "z.txt"}));
    EXPECT_EQ(Extracted("y.txt"), "y dal sorgente");
    EXPECT_EQ(ListedNames(Source), (std::set<std::string>{"x.txt"}));
    EXPECT_EQ(Tested(Source).substr(0, 2), "0:") << Tested(Source);
    EXPECT_EQ(Zip->FSpecArgs()->Count(), 0);
}

// The owner's handler answers the question; meanwhile the destination's listing carries the
// marks, which no header written keeps.
TEST_F(ZipCopyEntries, TheHandlerDecidesAndSeesTheMarks)
{
    std::map<std::string, std::uint16_t> marks;
    Destination->OnCopyZipOverwrite = [&](TObject* sender, const std::string& name, bool& overwrite) {
        EXPECT_EQ(sender, Destination.get());
        EXPECT_EQ(name, "x.txt");
        for (const ZipDirEntry& entry : Destination->Entries)
            marks[entry.FileName] = entry.Header.Flag & 0xE000;
        overwrite = true;
    };
    ASSERT_EQ(Zip->CopyZippedFiles(Destination.get(), false, OvrConfirm), 0) << Zip->LastMessage;
    EXPECT_EQ(marks, (std::map<std::string, std::uint16_t>{{"x.txt", 0x6000}, {"y.txt", 0x2000}, {"z.txt", 0}}));
    EXPECT_EQ(Extracted("x.txt"), "x dal sorgente");
    for (const ZipDirEntry& entry : Destination->Entries)
        EXPECT_EQ(entry.Header.Flag & 0xE000, 0) << entry.FileName;
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(ZipCopyEntries, NothingChangesWhenItCannotGoAhead)
{
    const TBytes source = ReadBytes(Source);
    const TBytes target = ReadBytes(Target);
    Zip->ZipBusy = true;
    EXPECT_EQ(Zip->CopyZippedFiles(Destination.get(), true, OvrAlways), -6);
    Zip->ZipBusy = false;

    // The same archive under another name: a link, or another letter case.
    fs::create_symlink(Source, Dir / "a" / "link.zip");
    for (const std::string& name : {(Dir / "a" / "link.zip").string(), (Dir / "a" / "SRC.ZIP").string()}) {
        TZipArchiver same(nullptr);
        same.Unattended = true;
        same.SetZipFileName(name);
        EXPECT_EQ(Zip->CopyZippedFiles(&same, false, OvrAlways), -7) << name;
        EXPECT_EQ(Zip->ErrCode, 10180) << name;
    }

    // The destination cannot be replaced: the source keeps its entries.
    {
        TWithoutFileRights withoutRights;
        chmod((Dir / "b").c_str(), 0555);
        EXPECT_NE(Zip->CopyZippedFiles(Destination.get(), true, OvrAlways), 0);
        chmod((Dir / "b").c_str(), 0755);
    }
    EXPECT_EQ(ReadBytes(Source), source);
    EXPECT_EQ(ReadBytes(Target), target);
    EXPECT_EQ(ListedNames(Source), (std::set<std::string>{"x.txt", "y.txt"}));
    EXPECT_FALSE(Zip->ZipBusy);
}

} // namespace
