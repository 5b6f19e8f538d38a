// The zip engine: a backup of a data folder, names, updates, deletes, encryption, stopping and
// hostile input, checked against unzip, zipinfo and python's zipfile.

#include "ZipCoreTestSupport.h"

#include <sys/resource.h>
#include <csignal>

namespace {

const std::string CaffeUtf8 = "FT/Doc1 - Caff\xC3\xA8 Srl (5-3-2009).tsd";

class ZipCoreTest : public TZipCoreTest {
protected:
    // The data folder of a backup: tables, a document, a layout, an archive, an empty file, a
    // hidden file and a symbolic link.
    fs::path MakeDataFolder()
    {
        const fs::path data = Dir / "data";
        MakeFile(data / "Data" / "Clienti.DAT", TableBytes(200000));
        MakeFile(data / CaffeUtf8, LcgBytes(30000));
        MakeFile(data / "Report" / "x.frf", TableBytes(5000, 7));
        MakeFile(data / "a.zip", MakeArchive({StoredMember("dentro.txt", "gi\xE0 compresso")}));
        MakeFile(data / "vuoto.txt", {});
        MakeFile(data / ".nascosto", TextBytes("segreto"));
        fs::create_symlink("Data/Clienti.DAT", data / "collegamento");
        return data;
    }

    static std::string Unzip(const std::string& arguments)
    {
        std::string output;
        RunCommand("unzip " + arguments, &output);
        return output;
    }

    static void ExpectUnzipAccepts(const fs::path& archive)
    {
        std::string output;
        EXPECT_EQ(RunCommand("unzip -tq " + Quoted(archive), &output), 0) << output;
        EXPECT_EQ(output.find("warning"), std::string::npos) << output;
    }

    // The names in an archive as unzip -Z1 lists them.
    static std::set<std::string> ListedNames(const fs::path& archive)
    {
        std::set<std::string> names;
        std::string line;
        for (char c : Unzip("-Z1 " + Quoted(archive))) {
            if (c == '\n') {
                names.insert(line);
                line.clear();
            } else {
                line += c;
            }
        }
        return names;
    }

    // The bytes of an entry's local header and data, by stored name.
    static std::map<std::string, TBytes> EntryBytes(const fs::path& archive)
    {
        std::map<std::string, TBytes> entries;
        TZipArchiveFile file(archive.string());
        TZipDirectory directory;
        EXPECT_EQ(ReadZipDirectory(file, directory), TZipDirectoryFailure::None);
        for (const TZipCentralEntry& entry : directory.Entries) {
            std::int64_t dataOffset = 0;
            EXPECT_TRUE(LocateZipEntryData(file, entry, dataOffset));
            TBytes bytes(static_cast<std::size_t>(dataOffset + entry.Header.CompressedSize - entry.LocalOffset));
            EXPECT_TRUE(file.ReadAt(entry.LocalOffset, bytes.data(), bytes.size()));
            entries[entry.Name] = bytes;
        }
        return entries;
    }

    static std::string CommentOf(const fs::path& archive)
    {
        TZipArchiveFile file(archive.string());
        TZipEndOfArchive end;
        EXPECT_EQ(FindZipEndRecord(file, end), TZipDirectoryFailure::None);
        return end.RawComment;
    }
};

} // namespace

TEST_F(ZipCoreTest, BackupOfTheDataFolderIsAnOrdinaryZipArchive)
{
    const fs::path data = MakeDataFolder();
    const fs::path archive = Dir / "backup.aft";
    TZipCall call(archive, data.string() + "\\", {".\\"});
    ASSERT_EQ(call.Run(true), 5);
    ExpectUnzipAccepts(archive);

    const std::set<std::string> names = ListedNames(archive);
    for (const char* name : {"Data/Clienti.DAT", "Report/x.frf", "a.zip", "vuoto.txt"})
        EXPECT_TRUE(names.count(name)) << name;
    EXPECT_EQ(names.size(), 5u); // no hidden file, no link, no folder entries

    // zipinfo: the table deflated, the archive and the empty file stored.
    std::string info;
    ASSERT_EQ(RunCommand("zipinfo -v " + Quoted(archive), &info), 0) << info;
    auto methodOf = [&info](const std::string& name) {
        const std::string::size_type at = info.find("\n  " + name + "\n");
        const std::string::size_type method = info.find("compression method:", at);
        return at == std::string::npos ? std::string() : info.substr(method, info.find('\n', method) - method);
    };
    EXPECT_NE(methodOf("Data/Clienti.DAT").find("deflated"), std::string::npos) << info;
    EXPECT_NE(methodOf("a.zip").find("none (stored)"), std::string::npos) << info;
    EXPECT_NE(methodOf("vuoto.txt").find("none (stored)"), std::string::npos) << info;

    // python reads the accented name from code page 850 of an MS-DOS host.
    const std::vector<std::string> python = PythonNames(archive);
    EXPECT_NE(std::find(python.begin(), python.end(), CaffeUtf8 + "|0|0"), python.end());

    for (const char* name : {"Data/Clienti.DAT", "Report/x.frf", "a.zip", "vuoto.txt"})
        EXPECT_EQ(TextBytes(Unzip("-p " + Quoted(archive) + " " + name)), ReadBytes(data / name)) << name;
    EXPECT_EQ(TextBytes(Unzip("-p " + Quoted(archive) + " 'FT/*'")), ReadBytes(data / CaffeUtf8));

    // Progress: files, bytes, then each file followed by its bytes, then the end.
    std::vector<std::uint32_t> progress;
    std::uint64_t bytesReported = 0;
    for (const TCallbackLog::TEvent& event : call.Log.Events) {
        if (event.Action == zcaFilesToDo || event.Action == zcaBytesToDo || event.Action == zcaFileBegins ||
            event.Action == zcaBatchEnds)
            progress.push_back(event.Action);
        if (event.Action == zcaBytesDone) {
            ASSERT_FALSE(progress.empty());
            EXPECT_EQ(progress.back(), zcaFileBegins);
            bytesReported += event.Size;
        }
    }
    EXPECT_EQ(progress, (std::vector<std::uint32_t>{5, 6, 1, 1, 1, 1, 1, 3}));
    EXPECT_EQ(call.Log.Of(zcaFilesToDo)[0].Size, 5u);
    const std::uint32_t total = static_cast<std::uint32_t>(235000 + fs::file_size(data / "a.zip"));
    EXPECT_EQ(call.Log.Of(zcaBytesToDo)[0].Size, total);
    EXPECT_EQ(bytesReported, total);
    EXPECT_EQ(call.Log.Of(zcaNewName).size(), 5u);
    EXPECT_EQ(call.Log.Of(zcaFileComment).size(), 5u);
    const std::vector<std::string> unreadable = call.Log.Messages(zceCannotRead);
    ASSERT_EQ(unreadable.size(), 1u);
    EXPECT_NE(unreadable[0].find("Impossibile leggere il file: "), std::string::npos);
    EXPECT_NE(unreadable[0].find("collegamento"), std::string::npos);
}

TEST_F(ZipCoreTest, NamesOutsideCodePage850AreStoredAsUtf8)
{
    MakeFile(Dir / "data" / "prezzo \xE2\x82\xAC.txt", TextBytes("10 euro"));
    MakeFile(Dir / "data" / "citt\xC3\xA0.txt", TextBytes("Roma"));
    TZipCall call(Dir / "nomi.zip", Dir / "data", {"*"});
    ASSERT_EQ(call.Run(), 2);
    const std::vector<std::string> python = PythonNames(Dir / "nomi.zip");
    EXPECT_EQ(python, (std::vector<std::string>{"citt\xC3\xA0.txt|0|0", "prezzo \xE2\x82\xAC.txt|3|2048"}));
    // The callback sees Windows-1252.
    EXPECT_EQ(call.Log.Of(zcaFileBegins)[1].Text, "prezzo \x80.txt");
}

TEST_F(ZipCoreTest, UpdateReplacesNewerFilesAddsNewOnesAndCopiesTheRest)
{
    const fs::path data = MakeDataFolder();
    const fs::path archive = Dir / "backup.aft";
    TZipCall first(archive, data, {"."});
    first.Comment = "Tessellarium_3.0.18";
    ASSERT_EQ(first.Run(), 5);
    const std::map<std::string, TBytes> before = EntryBytes(archive);

    MakeFile(data / "Report" / "x.frf", TextBytes("nuovo formato"), FixtureMoment + 10);
    fs::remove(data / "Data" / "Clienti.DAT");
    MakeFile(data / "Data" / "Nuovo.DAT", TableBytes(3000, 3));
    TZipCall update(archive, data, {"."});
    update.Record.Update = 1;
    EXPECT_EQ(update.Run(), 2);
    ExpectUnzipAccepts(archive);
    EXPECT_EQ(TextBytes(Unzip("-p " + Quoted(archive) + " Report/x.frf")), TextBytes("nuovo formato"));
    EXPECT_EQ(TextBytes(Unzip("-p " + Quoted(archive) + " Data/Nuovo.DAT")), ReadBytes(data / "Data" / "Nuovo.DAT"));
    const std::map<std::string, TBytes> after = EntryBytes(archive);
    EXPECT_EQ(after.size(), 6u);
    for (const auto& [name, bytes] : before) {
        if (name != "Report/x.frf") {
            EXPECT_EQ(after.at(name), bytes) << name; // the deleted file's entry too
        }
    }
    EXPECT_EQ(CommentOf(archive), "Tessellarium_3.0.18");

    // Freshen takes no new file; an unchanged folder gives nothing to do.
    MakeFile(data / "Data" / "Altro.DAT", TableBytes(100));
    TZipCall freshen(archive, data, {"."});
    freshen.Record.Freshen = 1;
    EXPECT_EQ(freshen.Run(), 0);
    EXPECT_EQ(EntryBytes(archive), after);
    MakeFile(data / "vuoto.txt", TextBytes("ora pieno"), FixtureMoment + 20);
    EXPECT_EQ(freshen.Run(), 1);
    EXPECT_EQ(TextBytes(Unzip("-p " + Quoted(archive) + " vuoto.txt")), TextBytes("ora pieno"));
    EXPECT_FALSE(ListedNames(archive).count("Data/Altro.DAT"));
}

TEST_F(ZipCoreTest, MoveExclusionsAndStoredNameOptions)
{
    const fs::path data = MakeDataFolder();
    TZipCall excluded(Dir / "escluso.zip", data, {"."});
    excluded.Excludes = {"*.frf", "ft/*"};
    EXPECT_EQ(excluded.Run(), 3);
    EXPECT_EQ(ListedNames(Dir / "escluso.zip"), (std::set<std::string>{"Data/Clienti.DAT", "a.zip", "vuoto.txt"}));

    TZipCall moved(Dir / "spostato.zip", data, {"Report\\*", "a.zip"});
    moved.Record.Move = 1;
    EXPECT_EQ(moved.Run(), 2);
    EXPECT_FALSE(fs::exists(data / "Report" / "x.frf"));
    EXPECT_FALSE(fs::exists(data / "a.zip"));
    EXPECT_TRUE(fs::exists(data / "Data" / "Clienti.DAT"));
    EXPECT_TRUE(fs::exists(data / "Report"));

    // Bare names (the later file of a name wins), MS-DOS names, folder entries, hidden files.
    MakeFile(data / "zz" / "vuoto.txt", TextBytes("il secondo"));
    TZipCall bare(Dir / "nudi.zip", data, {"."});
    bare.Record.NoDirNames = 1;
    EXPECT_EQ(bare.Run(), 3);
    const std::vector<std::string> bareNames = PythonNames(Dir / "nudi.zip");
    EXPECT_EQ(bareNames, (std::vector<std::string>{"Clienti.DAT|0|0", "Doc1 - Caff\xC3\xA8 Srl (5-3-2009).tsd|0|0", "vuoto.txt|0|0"}));
    EXPECT_EQ(TextBytes(Unzip("-p " + Quoted(Dir / "nudi.zip") + " vuoto.txt")), TextBytes("il secondo"));

    TZipCall dos(Dir / "dos.zip", data, {"FT"});
    dos.Record.ForceDOS = 1;
    EXPECT_EQ(dos.Run(), 1);
    EXPECT_EQ(ListedNames(Dir / "dos.zip"), (std::set<std::string>{"FT/DOC1 - C.TSD"}));

    TZipCall folders(Dir / "cartelle.zip", data, {"."});
    folders.Record.NoDirEntries = 0;
    folders.Record.AddHiddenFiles = 1;
    folders.Run();
    const std::set<std::string> names = ListedNames(Dir / "cartelle.zip");
    for (const char* name : {"Data/", "FT/", "Report/", ".nascosto"})
        EXPECT_TRUE(names.count(name)) << name;
    ExpectUnzipAccepts(Dir / "cartelle.zip");
}

TEST_F(ZipCoreTest, DeleteLeavesTheOtherEntries)
{
    const fs::path data = MakeDataFolder();
    const fs::path archive = Dir / "backup.aft";
    TZipCall add(archive, data, {"."});
    add.Comment = "Tessellarium_3.0.18";
    ASSERT_EQ(add.Run(), 5);
    const std::map<std::string, TBytes> before = EntryBytes(archive);

    TZipCall remove(archive, {}, {"FT/*"});
    remove.Record.DeleteEntries = 1;
    remove.Record.Verbose = 1;
    EXPECT_EQ(remove.Run(true), 1);
    ExpectUnzipAccepts(archive);
    EXPECT_EQ(ListedNames(archive), (std::set<std::string>{"Data/Clienti.DAT", "Report/x.frf", "a.zip", "vuoto.txt"}));
    for (const auto& [name, bytes] : EntryBytes(archive))
        EXPECT_EQ(bytes, before.at(name)) << name;
    EXPECT_EQ(CommentOf(archive), "Tessellarium_3.0.18");
    EXPECT_EQ(remove.Log.Messages(zceNote), (std::vector<std::string>{"  eliminato: FT/Doc1 - Caff\xE8 Srl (5-3-2009).tsd"}));

    TZipCall none(archive, {}, {"Manca/*"});
    none.Record.DeleteEntries = 1;
    EXPECT_EQ(none.Run(), 0);
    EXPECT_EQ(none.Log.Messages(zceNothingToDo), (std::vector<std::string>{"Nessun file da elaborare"}));
}

TEST_F(ZipCoreTest, EncryptedEntriesOpenWithTheirPasswordOnly)
{
    const fs::path data = MakeDataFolder();
    TZipCall call(Dir / "cifrato.zip", data, {"."});
    call.Record.Encrypt = 1;
    call.Password = "segreto";
    ASSERT_EQ(call.Run(), 5);
    std::string output;
    EXPECT_EQ(RunCommand("unzip -P segreto -tq " + Quoted(Dir / "cifrato.zip"), &output), 0) << output;
    EXPECT_NE(RunCommand("unzip -P sbagliata -tq " + Quoted(Dir / "cifrato.zip"), &output), 0) << output;
    EXPECT_EQ(TextBytes(Unzip("-P segreto -p " + Quoted(Dir / "cifrato.zip") + " Data/Clienti.DAT")),
              ReadBytes(data / "Data" / "Clienti.DAT"));

    // Without a password in the records the callback is asked once, for adding (bit 0 set).
    TZipCall asked(Dir / "chiesto.zip", data, {"Data"});
    asked.Record.Encrypt = 1;
    asked.Log.Answer = [](TZCallBackStruct& record) {
        if (record.ActionCode == zcaPassword) {
            std::strcpy(record.Text, "segreto");
            record.ErrorCode = 1;
        }
        return 0;
    };
    ASSERT_EQ(asked.Run(), 1);
    ASSERT_EQ(asked.Log.Of(zcaPassword).size(), 1u);
    EXPECT_EQ(asked.Log.Of(zcaPassword)[0].Code & 1, 1u);
    EXPECT_EQ(RunCommand("unzip -P segreto -tq " + Quoted(Dir / "chiesto.zip"), &output), 0) << output;

    // No answer: the files are left out with code 7; a request's own password wins.
    TZipCall refused(Dir / "rifiutato.zip", data, {"Data", "Report"});
    refused.Record.Encrypt = 1;
    refused.SpecPasswords[1] = "proprio";
    EXPECT_EQ(refused.Run(), 1);
    EXPECT_EQ(refused.Log.Messages(zcePassword), (std::vector<std::string>{"Password mancante o errata: Data/Clienti.DAT"}));
    EXPECT_EQ(RunCommand("unzip -P proprio -tq " + Quoted(Dir / "rifiutato.zip"), &output), 0) << output;
}

TEST_F(ZipCoreTest, PasswordAnswerFillingTheWholeTextFieldIsReadToItsEnd)
{
    MakeFile(Dir / "data" / "a.txt", TableBytes(1000));
    TZipCall call(Dir / "lungo.zip", Dir / "data", {"*"});
    call.Record.Encrypt = 1;
    call.Log.Answer = [](TZCallBackStruct& record) {
        if (record.ActionCode == zcaPassword) {
            std::memset(record.Text, 'x', sizeof record.Text); // no NUL anywhere
            record.ErrorCode = 1;
        }
        return 0;
    };
    ASSERT_EQ(call.Run(), 1);
    TUnzipCall extract(Dir / "lungo.zip", Dir / "out");
    extract.Password = std::string(ZCallBackTextSize, 'x');
    EXPECT_EQ(extract.Run(), 1);
    EXPECT_EQ(ReadBytes(Dir / "out" / "a.txt"), ReadBytes(Dir / "data" / "a.txt"));
}

TEST_F(ZipCoreTest, StoppingLeavesTheArchiveAsItWas)
{
    const fs::path data = MakeDataFolder();
    const fs::path archive = Dir / "backup.aft";
    TZipCall first(archive, data, {"Data"});
    ASSERT_EQ(first.Run(), 1);
    const TBytes before = ReadBytes(archive);
    const std::set<std::string> paths = PathsBelow(Dir);

    TZipCall stopped(archive, data, {"."});
    stopped.Log.Answer = [](TZCallBackStruct& record) { return record.ActionCode == zcaFileBegins ? 1 : 0; };
    EXPECT_EQ(stopped.Run(), 0);
    EXPECT_EQ(ReadBytes(archive), before);
    EXPECT_EQ(PathsBelow(Dir), paths); // no temporary file left
    EXPECT_EQ(stopped.Log.Messages(zceStopped), (std::vector<std::string>{"Operazione annullata"}));

    // The same with the new archive written in a temporary folder first.
    const fs::path temp = Dir / "temp";
    fs::create_directories(temp);
    stopped.TempDir = temp.string();
    EXPECT_EQ(stopped.Run(), 0);
    EXPECT_TRUE(fs::is_empty(temp));
    EXPECT_EQ(ReadBytes(archive), before);
    stopped.Log.Answer = nullptr;
    EXPECT_EQ(stopped.Run(), 5);
    EXPECT_TRUE(fs::is_empty(temp));
    ExpectUnzipAccepts(archive);
}

TEST_F(ZipCoreTest, RecordsWithoutTheirMarksAreRefused)
{
    MakeFile(Dir / "data" / "a.txt", TextBytes("a"));
    TZipCall call(Dir / "a.zip", Dir / "data", {"*"});
    call.Record.Seven = 0;
    EXPECT_EQ(call.Run(), 0);
    EXPECT_EQ(call.Log.Messages(zceBadRecord), (std::vector<std::string>{"Record di comando non valido"}));
    call.Record.Seven = ZipCoreEndMarker;
    call.Record.Version = 151;
    EXPECT_EQ(call.Run(), 0);
    EXPECT_FALSE(fs::exists(Dir / "a.zip"));

    TUnzipCall extract(Dir / "a.zip", Dir / "out");
    extract.Record.Seven = 6;
    EXPECT_EQ(extract.Run(), 0);
    EXPECT_EQ(extract.Log.Messages(zceBadRecord).size(), 1u);
    EXPECT_EQ(ZipCoreExec(nullptr), 0);
    EXPECT_EQ(UnzCoreExec(nullptr), 0);
}

TEST_F(ZipCoreTest, EnginesAreFoundByTheirLibraryNames)
{
    for (const char* name : {"ZIPCORE.DLL", "UNZCORE.DLL"}) {
        const HMODULE library = LoadLibraryA(name);
        ASSERT_NE(library, nullptr) << name;
        const char* version = std::string(name) == "ZIPCORE.DLL" ? "GetZipCoreVersion" : "GetUnzCoreVersion";
        auto getVersion = reinterpret_cast<TGetCoreVersion>(GetProcAddress(library, version));
        ASSERT_NE(getVersion, nullptr);
        EXPECT_EQ(getVersion(), 160);
    }
    EXPECT_NE(GetProcAddress(LoadLibraryA("UNZCORE.DLL"), "UnzCoreExec"), nullptr);
    UnregisterSystemModule("UNZCORE.DLL");
    EXPECT_EQ(LoadLibraryA("UNZCORE.DLL"), nullptr);
    EXPECT_EQ(GetLastError(), 126u);
    EXPECT_NE(LoadLibraryA("ZIPCORE.DLL"), nullptr);
    RegisterZipCoreModules();
    EXPECT_NE(LoadLibraryA("UNZCORE.DLL"), nullptr);
}

TEST_F(ZipCoreTest, HostileSpecificationsAndFolders)
{
    const fs::path data = MakeDataFolder();
    MakeFile(Dir / "fuori.txt", TextBytes("fuori"));
    MakeFile(Dir / "assoluto.txt", TextBytes("assoluto"));
    TZipCall call(Dir / "a.zip", data, {"../fuori.txt", (Dir / "assoluto.txt").string(), std::string(10000, 'n'), "Data/../../fuori.txt"});
    EXPECT_EQ(call.Run(), 2);
    EXPECT_EQ(ListedNames(Dir / "a.zip"), (std::set<std::string>{"fuori.txt", "assoluto.txt"}));
    ExpectUnzipAccepts(Dir / "a.zip");

    TZipCall long10000(Dir / "b.zip", data, {std::string(10000, 'n')});
    EXPECT_EQ(long10000.Run(), 0);
    EXPECT_EQ(long10000.Log.Messages(zceNothingToDo).size(), 1u);
    TZipCall missingBase(Dir / "b.zip", Dir / "manca", {"."});
    EXPECT_EQ(missingBase.Run(), 0);
    EXPECT_EQ(missingBase.Log.Messages(zceNothingToDo).size(), 1u);
    EXPECT_FALSE(fs::exists(Dir / "b.zip"));

    // A file that is not an archive is never overwritten.
    WriteText(Dir / "testo.aft", "non sono un archivio");
    TZipCall notAnArchive(Dir / "testo.aft", data, {"."});
    EXPECT_EQ(notAnArchive.Run(), 0);
    EXPECT_EQ(notAnArchive.Log.Messages(zceBadArchive).size(), 1u);
    EXPECT_EQ(ReadBytes(Dir / "testo.aft"), TextBytes("non sono un archivio"));
}

TEST_F(ZipCoreTest, UnreadableFileIsLeftOutAndTheOthersStored)
{
    const fs::path data = MakeDataFolder();
    fs::permissions(data / "Report" / "x.frf", fs::perms::none);
    {
        TWithoutFileRights withoutRights;
        TZipCall call(Dir / "a.zip", data, {"."});
        EXPECT_EQ(call.Run(), 4);
        const std::vector<std::string> unreadable = call.Log.Messages(zceCannotRead);
        EXPECT_EQ(unreadable.size(), 2u); // the link and the file
        EXPECT_EQ(ListedNames(Dir / "a.zip").count("Report/x.frf"), 0u);
    }
    fs::permissions(data / "Report" / "x.frf", fs::perms::owner_all);
    ExpectUnzipAccepts(Dir / "a.zip");
}

TEST_F(ZipCoreTest, FullDiskKeepsTheOldArchive)
{
    const fs::path data = MakeDataFolder();
    const fs::path archive = Dir / "backup.aft";
    TZipCall first(archive, data, {"Report"});
    ASSERT_EQ(first.Run(), 1);
    const TBytes before = ReadBytes(archive);
    MakeFile(data / "grande.bin", LcgBytes(3000000));

    // The file-size limit makes every write past 100 KB fail, as a full disk does.
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = 100000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    TZipCall call(archive, data, {"."});
    const int result = call.Run();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(result, 0);
    EXPECT_EQ(call.Log.Messages(zceCannotWriteArchive), (std::vector<std::string>{"Impossibile scrivere l'archivio: " + archive.string()}));
    EXPECT_EQ(ReadBytes(archive), before);
    std::size_t archiveFiles = 0;
    for (const auto& entry : fs::directory_iterator(Dir))
        archiveFiles += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(archiveFiles, 1u); // no temporary file beside it
}
