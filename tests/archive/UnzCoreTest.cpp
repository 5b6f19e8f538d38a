// The unzip engine on archives of the zip tool, of python and of the built-in archiver, with
// unsafe names, the extraction modes and hostile directories.

#include "ZipCoreTestSupport.h"

#include "platform/rtl/Files.h"

#include <unistd.h>
#include <zlib.h>

namespace {

class UnzCoreTest : public TZipCoreTest {
protected:
    fs::path MakeTree() { return MakeSampleTree(Dir / "tree"); }
    fs::path ZipTool(const fs::path& tree, const std::string& name, const std::string& options = "-r -9")
    {
        return ZipToolArchive(tree, Dir / name, options);
    }
    fs::path PythonStreamed(const fs::path& tree, const std::string& name)
    {
        return PythonStreamedArchive(tree, Dir / name);
    }

    void ExpectExtractsIdentical(const fs::path& archive, const fs::path& tree, const std::string& label)
    {
        const fs::path out = Dir / ("out-" + label);
        TUnzipCall call(archive, out);
        const int result = call.Run(true);
        const std::map<std::string, TBytes> expected = FilesBelow(tree);
        EXPECT_EQ(result, static_cast<int>(expected.size())) << label;
        EXPECT_EQ(FilesBelow(out), expected) << label;
        EXPECT_TRUE(call.Log.Of(zcaSkipped).empty()) << label;
    }
};

} // namespace

TEST_F(UnzCoreTest, ArchivesOfTheZipToolAndOfPythonExtractIdentical)
{
    const fs::path tree = MakeTree();
    ExpectExtractsIdentical(ZipTool(tree, "zip9.zip"), tree, "zip9");
    ExpectExtractsIdentical(ZipTool(tree, "zip0.zip", "-r -0"), tree, "zip0");
    const fs::path streamed = PythonStreamed(tree, "streamed.zip");
    TZipArchiveFile file(streamed.string());
    TZipDirectory directory;
    ASSERT_EQ(ReadZipDirectory(file, directory), TZipDirectoryFailure::None);
    for (const TZipCentralEntry& entry : directory.Entries)
        EXPECT_TRUE(entry.Header.Flags & 0x0008) << entry.Name; // sizes in data descriptors
    ExpectExtractsIdentical(streamed, tree, "streamed");

    // A comment of 100 bytes is found by the backward search.
    const fs::path commented = ZipTool(tree, "commento.zip");
    ASSERT_EQ(RunPython("import sys, zipfile\n"
                        "with zipfile.ZipFile(sys.argv[1], \"a\") as z: z.comment = b\"c\" * 100\n",
                        {commented.string()}),
              0);
    TZipArchiveFile commentedFile(commented.string());
    TZipEndOfArchive end;
    ASSERT_EQ(FindZipEndRecord(commentedFile, end), TZipDirectoryFailure::None);
    EXPECT_EQ(end.RawComment, std::string(100, 'c'));
    EXPECT_EQ(end.ArchiveSize, end.PhysicalSize);
    ExpectExtractsIdentical(commented, tree, "comment");
}

TEST_F(UnzCoreTest, StubInFrontWithAndWithoutAdjustedOffsets)
{
    const fs::path tree = MakeTree();
    const TBytes zip = ReadBytes(ZipTool(tree, "plain.zip"));
    TBytes stub = LcgBytes(1000);
    stub.insert(stub.end(), zip.begin(), zip.end());
    WriteBytes(Dir / "stub.exe", stub);
    ExpectExtractsIdentical(Dir / "stub.exe", tree, "unadjusted");

    fs::copy_file(Dir / "stub.exe", Dir / "adjusted.exe");
    std::string output;
    ASSERT_EQ(RunCommand("zip -A " + Quoted(Dir / "adjusted.exe"), &output), 0) << output;
    ExpectExtractsIdentical(Dir / "adjusted.exe", tree, "adjusted");

    // Adding keeps the stub in front and writes offsets from the start of the file.
    MakeFile(Dir / "extra" / "nuovo.txt", TextBytes("aggiunto dopo"));
    TZipCall add(Dir / "adjusted.exe", Dir / "extra", {"nuovo.txt"});
    ASSERT_EQ(add.Run(), 1);
    const TBytes after = ReadBytes(Dir / "adjusted.exe");
    EXPECT_TRUE(std::equal(stub.begin(), stub.begin() + 1000, after.begin()));
    EXPECT_EQ(RunCommand("unzip -tq " + Quoted(Dir / "adjusted.exe"), &output), 0) << output;
    EXPECT_EQ(output.find("warning"), std::string::npos) << output;
    // The same for the archive whose offsets were never adjusted.
    TZipCall addToUnadjusted(Dir / "stub.exe", Dir / "extra", {"nuovo.txt"});
    ASSERT_EQ(addToUnadjusted.Run(), 1);
    EXPECT_EQ(RunCommand("unzip -tq " + Quoted(Dir / "stub.exe"), &output), 0) << output;
    EXPECT_EQ(output.find("warning"), std::string::npos) << output;
}

TEST_F(UnzCoreTest, OldMethodsOfTheBuiltInArchiverDecode)
{
    // A document file of the built-in writer: shrunk members.
    MakeFile(Dir / "Temp" / "Articoli.aft", LcgBytes(20000));
    MakeFile(Dir / "Temp" / "Cliente.cft", TBytes{0x42});
    ASSERT_TRUE(CompressFiles(Dir / "doc.tsd", {(Dir / "Temp" / "Articoli.aft").string(), (Dir / "Temp" / "Cliente.cft").string()}));
    TUnzipCall document(Dir / "doc.tsd", Dir / "doc");
    EXPECT_EQ(document.Run(), 2);
    EXPECT_EQ(FilesBelow(Dir / "doc"), FilesBelow(Dir / "Temp"));
    EXPECT_EQ(ModificationTime(Dir / "doc" / "Articoli.aft"), FixtureMoment);

    const std::vector<TOldMethodCase> cases = OldMethodCases();
    std::vector<TRawMember> members;
    for (const TOldMethodCase& c : cases)
        members.push_back(c.Member);
    WriteBytes(Dir / "old.zip", MakeArchive(members));
    TUnzipCall old(Dir / "old.zip", Dir / "old");
    EXPECT_EQ(old.Run(true), static_cast<int>(cases.size()));
    for (const TOldMethodCase& c : cases)
        EXPECT_EQ(ReadBytes(Dir / "old" / c.Member.Name), c.Expected) << c.Member.Name;
    EXPECT_TRUE(old.Log.Messages(zceCrc).empty());
}

TEST_F(UnzCoreTest, UnsupportedMethodIsSkippedAndTheOthersExtract)
{
    const fs::path tree = MakeTree();
    TBytes archive = ReadBytes(PythonStreamed(tree, "python.zip"));
    PatchMethod(archive, "immagine.bin", 9);
    WriteBytes(Dir / "deflate64.zip", archive);
    TUnzipCall call(Dir / "deflate64.zip", Dir / "out");
    EXPECT_EQ(call.Run(), 3);
    EXPECT_EQ(call.Log.Skipped(), (std::map<std::string, std::uint32_t>{{"immagine.bin", stUnsupportedMethod}}));
    EXPECT_EQ(call.Log.Messages(zceMethod), (std::vector<std::string>{"Metodo di compressione non supportato (9): immagine.bin"}));
    std::map<std::string, TBytes> expected = FilesBelow(tree);
    expected.erase("immagine.bin");
    EXPECT_EQ(FilesBelow(Dir / "out"), expected);
}

TEST_F(UnzCoreTest, NamesThatLeaveTheBaseFolderAreNeverWritten)
{
    PythonUnsafeArchive(Dir / "unsafe.zip");
    const fs::path base = Dir / "deep" / "base";
    fs::create_directories(base);
    const std::set<std::string> before = PathsBelow(Dir);
    TUnzipCall call(Dir / "unsafe.zip", base);
    EXPECT_EQ(call.Run(), 2);
    const std::map<std::string, std::uint32_t> refused{{"../evil", stUnsafeName},    {"/abs/x", stUnsafeName},
                                                       {"C:\\x", stUnsafeName},      {"a/../../x", stUnsafeName},
                                                       {"collegamento", stUnsafeName}};
    EXPECT_EQ(call.Log.Skipped(), refused);
    EXPECT_EQ(call.Log.Messages(zceUnsafeName).size(), 5u);
    std::set<std::string> after = PathsBelow(Dir);
    for (const char* made : {"deep/base/sicuro.txt", "deep/base/sub", "deep/base/sub/ok.txt"})
        EXPECT_EQ(after.erase(made), 1u) << made;
    EXPECT_EQ(after, before);

    // Whatever the options, and into memory too.
    TUnzipCall bare(Dir / "unsafe.zip", base);
    bare.Record.DirNames = 0;
    EXPECT_EQ(bare.Run(), 2);
    char block[64];
    TUnzipCall memory(Dir / "unsafe.zip", base, {"../evil"});
    memory.Record.ExtractToMemory = 1;
    memory.Record.MemoryBlock = block;
    memory.Record.MemorySize = 15;
    EXPECT_EQ(memory.Run(), 0);
    EXPECT_EQ(memory.Log.Skipped(), (std::map<std::string, std::uint32_t>{{"../evil", stUnsafeName}}));
    after = PathsBelow(Dir);
    EXPECT_EQ(after.erase("deep/base/ok.txt"), 1u);
    for (const char* made : {"deep/base/sicuro.txt", "deep/base/sub", "deep/base/sub/ok.txt"})
        after.erase(made);
    EXPECT_EQ(after, before);
}

TEST_F(UnzCoreTest, TestModeChecksEveryCrcAndWritesNothing)
{
    const fs::path tree = MakeTree();
    TBytes archive = ReadBytes(ZipTool(tree, "z.zip", "-r -0"));
    {
        TZipArchiveFile file((Dir / "z.zip").string());
        TZipDirectory directory;
        ASSERT_EQ(ReadZipDirectory(file, directory), TZipDirectoryFailure::None);
        for (const TZipCentralEntry& entry : directory.Entries) {
            if (entry.Name == "immagine.bin") {
                std::int64_t data = 0;
                ASSERT_TRUE(LocateZipEntryData(file, entry, data));
                archive[static_cast<std::size_t>(data + 100)] ^= 0x40; // a stored byte
            }
        }
    }
    WriteBytes(Dir / "guasto.zip", archive);
    const fs::path base = Dir / "base";
    fs::create_directories(base);
    TUnzipCall test(Dir / "guasto.zip", base);
    test.Record.Test = 1;
    test.Record.Verbose = 1;
    EXPECT_EQ(test.Run(), 3);
    EXPECT_TRUE(fs::is_empty(base));
    const std::vector<TCallbackLog::TEvent> crc = test.Log.Of(zcaCrcError);
    ASSERT_EQ(crc.size(), 1u);
    EXPECT_EQ(crc[0].Text, "immagine.bin");
    const TBytes original = ReadBytes(tree / "immagine.bin");
    EXPECT_EQ(crc[0].Size, ZipCrc32(original.data(), original.size()));
    TBytes damaged = original;
    damaged[100] ^= 0x40;
    EXPECT_EQ(crc[0].Code, ZipCrc32(damaged.data(), damaged.size()));
    EXPECT_EQ(test.Log.Messages(zceCrc), (std::vector<std::string>{"Errore di CRC: immagine.bin"}));
    EXPECT_EQ(test.Log.Messages(zceNote).size(), 3u); // "  verificato: … OK"

    // Extracting: answered 0 the damaged file goes; without an answer it stays.
    TUnzipCall removeIt(Dir / "guasto.zip", base);
    removeIt.Log.Answer = [](TZCallBackStruct& record) {
        if (record.ActionCode == zcaCrcError)
            record.ErrorCode = 0;
        return 0;
    };
    EXPECT_EQ(removeIt.Run(), 3);
    EXPECT_FALSE(fs::exists(base / "immagine.bin"));
    EXPECT_EQ(removeIt.Log.Skipped(), (std::map<std::string, std::uint32_t>{{"immagine.bin", stCrcError}}));
    TUnzipCall keepIt(Dir / "guasto.zip", base);
    EXPECT_EQ(keepIt.Run(), 3);
    EXPECT_EQ(ReadBytes(base / "immagine.bin"), damaged);
}

TEST_F(UnzCoreTest, MemoryOverwriteAndBaseFolderModes)
{
    const fs::path tree = MakeTree();
    const fs::path archive = ZipTool(tree, "z.zip");
    const TBytes table = ReadBytes(tree / "Data" / "Clienti.DAT");
    TBytes block(table.size());
    TUnzipCall memory(archive, {}, {"data\\clienti.dat"});
    memory.Record.ExtractToMemory = 1;
    memory.Record.MemoryBlock = block.data();
    memory.Record.MemorySize = static_cast<std::uint32_t>(block.size());
    EXPECT_EQ(memory.Run(), 1);
    EXPECT_EQ(block, table);
    memory.Record.MemorySize -= 1;
    EXPECT_EQ(memory.Run(), 0);
    memory.Specs = {"manca.txt"};
    EXPECT_EQ(memory.Run(), 0);
    EXPECT_EQ(memory.Log.Messages(zceNothingToDo).size(), 1u);

    // Overwrite clear: the callback is asked, and "no" keeps the file.
    const fs::path base = Dir / "base";
    MakeFile(base / "Data" / "Clienti.DAT", TextBytes("mio"), FixtureMoment - 3600);
    TUnzipCall ask(archive, base, {"Data/*"});
    ask.Record.OverWrite = 0;
    EXPECT_EQ(ask.Run(), 1); // the empty file
    const std::vector<TCallbackLog::TEvent> asked = ask.Log.Of(zcaOverwrite);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].Text, "Data/Clienti.DAT");
    EXPECT_EQ(asked[0].Code, 1u); // the existing file is older
    EXPECT_EQ(ReadBytes(base / "Data" / "Clienti.DAT"), TextBytes("mio"));
    EXPECT_EQ(ask.Log.Skipped(), (std::map<std::string, std::uint32_t>{{"Data/Clienti.DAT", stFileExists}}));
    ask.Log.Answer = [](TZCallBackStruct& record) {
        if (record.ActionCode == zcaOverwrite)
            record.Size = 1;
        return 0;
    };
    EXPECT_EQ(ask.Run(), 2);
    EXPECT_EQ(ReadBytes(base / "Data" / "Clienti.DAT"), table);
    EXPECT_EQ(ModificationTime(base / "Data" / "Clienti.DAT"), FixtureMoment);

    // Freshen: only existing files that are older; update also missing ones.
    MakeFile(base / "Data" / "Clienti.DAT", TextBytes("pi\xF9 nuovo"), FixtureMoment + 3600);
    TUnzipCall freshen(archive, base);
    freshen.Record.Freshen = 1;
    EXPECT_EQ(freshen.Run(), 0);
    EXPECT_EQ(freshen.Log.Skipped().at("Data/Clienti.DAT"), stNotNewer);
    EXPECT_FALSE(fs::exists(base / "immagine.bin"));
    freshen.Record.Update = 1;
    EXPECT_EQ(freshen.Run(), 2);
    EXPECT_TRUE(fs::exists(base / "immagine.bin"));
    EXPECT_EQ(ReadBytes(base / "Data" / "Clienti.DAT"), TextBytes("pi\xF9 nuovo"));

    // Bare names, and the current folder left where it was.
    const std::string before = GetCurrentDir();
    TUnzipCall bare(archive, Dir / "piatto");
    bare.Record.DirNames = 0;
    EXPECT_EQ(bare.Run(), 4);
    EXPECT_EQ(GetCurrentDir(), before);
    EXPECT_EQ(PathsBelow(Dir / "piatto"),
              (std::set<std::string>{"Clienti.DAT", "fattura.frf", "immagine.bin", "vuoto.dat"}));
}

TEST_F(UnzCoreTest, PasswordsFromTheRecordOrTheCallback)
{
    const fs::path tree = MakeTree();
    const fs::path archive = ZipTool(tree, "cifrato.zip", "-r -P segreto");
    TUnzipCall withRecord(archive, Dir / "a");
    withRecord.Password = "segreto";
    EXPECT_EQ(withRecord.Run(), 4);
    EXPECT_EQ(FilesBelow(Dir / "a"), FilesBelow(tree));

    // Asked once: the answer serves the other entries as well.
    TUnzipCall asked(archive, Dir / "b");
    asked.Record.PasswordReqCount = 3;
    int prompts = 0;
    asked.Log.Answer = [&prompts](TZCallBackStruct& record) {
        if (record.ActionCode == zcaPassword) {
            std::strcpy(record.Text, ++prompts == 1 ? "sbagliata" : "segreto");
            record.ErrorCode = 1;
        }
        return 0;
    };
    EXPECT_EQ(asked.Run(true), 4);
    EXPECT_EQ(FilesBelow(Dir / "b"), FilesBelow(tree));
    EXPECT_EQ(prompts, 2);
    EXPECT_EQ(asked.Log.Of(zcaPassword)[0].Code & 1, 0u);

    // A wrong password, or an answer filling the text field without a NUL: skipped.
    TUnzipCall wrong(archive, Dir / "c", {"Data/Clienti.DAT"});
    wrong.Password = "sbagliata";
    wrong.Log.Answer = [](TZCallBackStruct& record) {
        if (record.ActionCode == zcaPassword) {
            std::memset(record.Text, 'x', sizeof record.Text);
            record.ErrorCode = 1;
        }
        return 0;
    };
    EXPECT_EQ(wrong.Run(), 0);
    EXPECT_EQ(wrong.Log.Skipped(), (std::map<std::string, std::uint32_t>{{"Data/Clienti.DAT", stPassword}}));
    EXPECT_EQ(wrong.Log.Messages(zcePassword), (std::vector<std::string>{"Password mancante o errata: Data/Clienti.DAT"}));
    EXPECT_FALSE(fs::exists(Dir / "c" / "Data" / "Clienti.DAT"));
}

TEST_F(UnzCoreTest, StoppingKeepsTheFilesAlreadyInPlace)
{
    const fs::path tree = MakeTree();
    const fs::path archive = ZipTool(tree, "z.zip");
    TUnzipCall call(archive, Dir / "out");
    int begun = 0;
    call.Log.Answer = [&begun](TZCallBackStruct& record) {
        return record.ActionCode == zcaFileBegins && ++begun == 3 ? 1 : 0;
    };
    EXPECT_EQ(call.Run(), 2);
    EXPECT_EQ(FilesBelow(Dir / "out").size(), 2u);
    EXPECT_EQ(call.Log.Messages(zceStopped).size(), 1u);
    for (const auto& entry : fs::recursive_directory_iterator(Dir / "out"))
        EXPECT_TRUE(entry.is_directory() || FilesBelow(tree).count(fs::relative(entry.path(), Dir / "out").string()))
            << entry.path(); // no temporary left
}

TEST_F(UnzCoreTest, HostileDirectoriesAreRefusedWithoutReadingPastTheFile)
{
    const TBytes good = MakeArchive({StoredMember("a.txt", "alfa"), StoredMember("b.txt", "beta")});
    const std::size_t directory = good.size() - ZipEndRecordSize - 2 * (ZipCentralHeaderSize + 5);
    const std::size_t end = good.size() - ZipEndRecordSize;
    struct TCase {
        const char* Label;
        std::function<void(TBytes&)> Spoil;
    } cases[] = {
        {"65535 entries", [&](TBytes& b) { PutLE16(b.data() + end + 8, 0xFFFF); PutLE16(b.data() + end + 10, 0xFFFF); }},
        {"name past the end", [&](TBytes& b) { PutLE16(b.data() + directory + 51 + 28, 0xFFFF); }},
        {"extra past the end", [&](TBytes& b) { PutLE16(b.data() + directory + 51 + 30, 0xFFFF); }},
        {"comment past the end", [&](TBytes& b) { PutLE16(b.data() + directory + 51 + 32, 0xFFFF); }},
        {"offset beyond the file", [&](TBytes& b) { PutLE32(b.data() + directory + 51 + 42, 0x7FFFFFFF); }},
        {"archive comment past the end", [&](TBytes& b) { PutLE16(b.data() + end + 20, 200); }},
        {"overlapping entries", [&](TBytes& b) { PutLE32(b.data() + directory + 51 + 42, 0); }},
        {"stored size beyond the file", [&](TBytes& b) { PutLE32(b.data() + directory + 20, 0x10000000); }},
        {"directory size beyond the file", [&](TBytes& b) { PutLE32(b.data() + end + 12, 0x7FFFFFFF); }},
    };
    for (const TCase& c : cases) {
        TBytes bytes = good;
        c.Spoil(bytes);
        WriteBytes(Dir / "ostile.zip", bytes);
        TUnzipCall call(Dir / "ostile.zip", Dir / "out");
        EXPECT_EQ(call.Run(), 0) << c.Label;
        EXPECT_EQ(call.Log.Messages(zceBadArchive).size(), 1u) << c.Label;
        EXPECT_FALSE(fs::exists(Dir / "out")) << c.Label;
    }

    // A deflate stream that never ends, and one that gives more than its entry declares.
    TBytes endless;
    for (int i = 0; i < 2000; ++i)
        for (std::uint8_t b : FromHex("000000ffff"))
            endless.push_back(b); // empty stored blocks, none of them the last
    TRawMember never;
    never.Name = "mai.txt";
    never.Method = ZipMethodDeflated;
    never.Data = endless;
    never.UncompressedSize = 10;
    TBytes zeros(1 << 20, 0);
    uLongf packedSize = compressBound(static_cast<uLong>(zeros.size()));
    TBytes packed(packedSize);
    ASSERT_EQ(compress2(packed.data(), &packedSize, zeros.data(), static_cast<uLong>(zeros.size()), 9), Z_OK);
    TRawMember bomb;
    bomb.Name = "bomba.bin";
    bomb.Method = ZipMethodDeflated;
    bomb.Data = TBytes(packed.begin() + 2, packed.begin() + static_cast<std::ptrdiff_t>(packedSize) - 4); // raw deflate
    bomb.UncompressedSize = 1000;
    bomb.Crc = ZipCrc32(zeros.data(), 1000);
    WriteBytes(Dir / "infinito.zip", MakeArchive({never, bomb, StoredMember("ok.txt", "bene")}));
    TUnzipCall call(Dir / "infinito.zip", Dir / "out");
    call.Log.Answer = [](TZCallBackStruct& record) {
        if (record.ActionCode == zcaCrcError)
            record.ErrorCode = 0;
        return 0;
    };
    EXPECT_EQ(call.Run(), 1);
    EXPECT_EQ(call.Log.Skipped(), (std::map<std::string, std::uint32_t>{{"mai.txt", stCrcError}, {"bomba.bin", stCrcError}}));
    EXPECT_EQ(PathsBelow(Dir / "out"), (std::set<std::string>{"ok.txt"}));
}
