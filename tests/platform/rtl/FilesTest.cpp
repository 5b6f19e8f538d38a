#include "platform/rtl/Files.h"

#include "platform/rtl/Streams.h"
#include "platform/rtl/SysErrors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A fresh folder for each test, removed afterwards. Root ends without a separator.
class FilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "tess-files-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        Root = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::permissions(Root, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(Root, ignored);
    }

    // Writes a file with plain system calls, bypassing the layer.
    void WriteNative(const std::string& relative, const std::string& bytes)
    {
        fs::create_directories(fs::path(Root + "/" + relative).parent_path());
        std::ofstream(Root + "/" + relative, std::ios::binary) << bytes;
    }
    std::string ReadNative(const std::string& relative)
    {
        std::ifstream in(Root + "/" + relative, std::ios::binary);
        std::stringstream contents;
        contents << in.rdbuf();
        return contents.str();
    }
    std::set<std::string> ListNative(const std::string& relative = "")
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(Root + "/" + relative))
            names.insert(entry.path().filename().string());
        return names;
    }
    std::string At(const std::string& relative) { return Root + "/" + relative; }

    std::string Root;
};

TEST(FileNames, SplitWithEitherSeparator)
{
    struct Case {
        const char* Name;
        const char* Path;
        const char* Dir;
        const char* File;
        const char* Ext;
    };
    const Case cases[] = {
        {"C:\\Tess\\Shared\\Clienti.DAT", "C:\\Tess\\Shared\\", "C:\\Tess\\Shared", "Clienti.DAT", ".DAT"},
        {"/opt/tess/Shared/doc.1.tdf", "/opt/tess/Shared/", "/opt/tess/Shared", "doc.1.tdf", ".tdf"},
        {"Data\\sub/file", "Data\\sub/", "Data\\sub", "file", ""},
        {"dir.d/noext", "dir.d/", "dir.d", "noext", ""},
        {"/file.txt", "/", "/", "file.txt", ".txt"},
        {"a//b", "a//", "a//", "b", ""},
        {"plain.txt", "", "", "plain.txt", ".txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(ExtractFilePath(c.Name), c.Path);
        EXPECT_EQ(ExtractFileDir(c.Name), c.Dir);
        EXPECT_EQ(ExtractFileName(c.Name), c.File);
        EXPECT_EQ(ExtractFileExt(c.Name), c.Ext);
    }
    EXPECT_EQ(ChangeFileExt("Data\\Fattura.2024.tdf", ".bak"), "Data\\Fattura.2024.bak");
    EXPECT_EQ(ChangeFileExt("dir.d/noext", ".txt"), "dir.d/noext.txt");
    EXPECT_EQ(ChangeFileExt("a.txt", ""), "a");
    EXPECT_EQ(IncludeTrailingBackslash("Data\\"), "Data\\");
    EXPECT_EQ(IncludeTrailingBackslash("/opt/x"), "/opt/x/");
    EXPECT_EQ(ExcludeTrailingBackslash("Data\\"), "Data");
    EXPECT_EQ(ExcludeTrailingBackslash("/opt/x/"), "/opt/x");
}

TEST_F(FilesTest, ExpandFileNameMakesAbsoluteAndRemovesDots)
{
    const std::string saved = GetCurrentDir();
    ASSERT_TRUE(SetCurrentDir(Root));
    EXPECT_EQ(ExpandFileName("a\\.\\b\\..\\c.txt"), Root + "/a/c.txt");
    EXPECT_EQ(ExpandFileName("/x/y/../../../z"), "/z");
    EXPECT_EQ(ExpandFileName("sub\\"), Root + "/sub/");
    ASSERT_TRUE(SetCurrentDir(saved));
}

TEST_F(FilesTest, ExistingNamesResolveInAnyCaseAndNewNamesKeepTheirCase)
{
    WriteNative("Data/CLIENTI.dat", "clienti");
    const std::string data = Root + "\\data\\";

    EXPECT_TRUE(FileExists(data + "Clienti.DAT"));
    EXPECT_TRUE(DirectoryExists(Root + "\\DATA"));
    EXPECT_FALSE(FileExists(Root + "\\DATA"));
    EXPECT_FALSE(DirectoryExists(data + "clienti.dat"));
    EXPECT_EQ(ResolvePath(data + "Clienti.DAT"), At("Data/CLIENTI.dat"));

    const int handle = FileOpen(data + "clienti.Dat", fmOpenRead);
    ASSERT_GE(handle, 0);
    char buffer[16] = {};
    EXPECT_EQ(FileRead(handle, buffer, sizeof buffer), 7);
    EXPECT_EQ(std::string(buffer), "clienti");
    FileClose(handle);

    { TFileStream created(Root + "\\Data\\Nuovo.DAT", fmCreate); }
    EXPECT_EQ(ListNative("Data"), (std::set<std::string>{"CLIENTI.dat", "Nuovo.DAT"}));
    // A new name under a folder written in another case lands in the existing folder.
    { TFileStream created(data + "ALTRO.dat", fmCreate); }
    EXPECT_TRUE(ListNative("Data").count("ALTRO.dat"));
    EXPECT_EQ(ListNative(), (std::set<std::string>{"Data"}));
}

TEST_F(FilesTest, NamesAreWindows1252OutsideAndUtf8OnDisk)
{
    const int handle = FileCreate(Root + "\\Citt\xE0 \x80.txt");
    ASSERT_GE(handle, 0);
    FileClose(handle);
    EXPECT_TRUE(ListNative().count("Citt\xC3\xA0 \xE2\x82\xAC.txt"));
    // Case is ignored over the whole code page, accented letters included.
    EXPECT_TRUE(FileExists(Root + "/CITT\xC0 \x80.TXT"));

    TSearchRec rec;
    ASSERT_EQ(FindFirst(Root + "/citt*", faAnyFile, rec), 0);
    EXPECT_EQ(rec.Name, "Citt\xE0 \x80.txt");
    FindClose(rec);
}

TEST_F(FilesTest, CachedListingsFollowChangesMadeBehindTheLayersBack)
{
    WriteNative("Data/a.txt", "a");
    EXPECT_TRUE(FileExists(Root + "/DATA/A.TXT")); // fills the cache of Data
    EXPECT_FALSE(FileExists(Root + "/data/B.txt"));

    WriteNative("Data/b.TXT", "b");
    EXPECT_TRUE(FileExists(Root + "/data/B.txt"));

    fs::remove(At("Data/a.txt"));
    WriteNative("Data/A.txt", "A");
    EXPECT_EQ(ResolvePath(Root + "/data/a.TXT"), At("Data/A.txt"));
    fs::remove(At("Data/A.txt"));
    EXPECT_FALSE(FileExists(Root + "/data/a.TXT"));
    EXPECT_EQ(ResolvePath(Root + "/data/a.TXT"), At("Data/a.TXT"));

    // A folder moved away and another made under its name: nothing of the old one is served.
    WriteNative("Data/Sub/Old.txt", "o");
    EXPECT_TRUE(FileExists(Root + "/data/sub/old.txt"));
    fs::rename(At("Data"), At("Moved"));
    WriteNative("DATA/SUB/New.txt", "n");
    EXPECT_FALSE(FileExists(Root + "/data/sub/old.txt"));
    EXPECT_EQ(ResolvePath(Root + "/data/sub/new.TXT"), At("DATA/SUB/New.txt"));
    EXPECT_TRUE(FileExists(Root + "/moved/SUB/OLD.TXT"));
}

TEST_F(FilesTest, ExactNameWinsOverOtherCases)
{
    WriteNative("x.txt", "lower");
    WriteNative("X.TXT", "upper");
    EXPECT_EQ(ResolvePath(Root + "/X.TXT"), At("X.TXT"));
    EXPECT_EQ(ResolvePath(Root + "/x.txt"), At("x.txt"));
}

TEST_F(FilesTest, ForceDirectoriesReusesExistingFoldersInAnyCase)
{
    fs::create_directories(At("Shared/Data"));
    EXPECT_TRUE(ForceDirectories(Root + "\\SHARED\\data\\Sub\\Deep\\"));
    EXPECT_TRUE(fs::is_directory(At("Shared/Data/Sub/Deep")));
    EXPECT_EQ(ListNative(), (std::set<std::string>{"Shared"}));
    EXPECT_TRUE(ForceDirectories(Root + "/shared/DATA/sub")); // already there

    WriteNative("file", "x");
    EXPECT_FALSE(ForceDirectories(Root + "/file/sub"));
    try {
        ForceDirectoriesOrRaise(Root + "\\file\\sub");
        FAIL() << "no exception";
    } catch (const EInOutError& error) {
        EXPECT_EQ(error.Message, "Impossibile creare la cartella " + Root + "\\file\\sub");
    }
}

TEST_F(FilesTest, CreateRemoveAndDelete)
{
    EXPECT_TRUE(CreateDir(Root + "/Nuova"));
    EXPECT_FALSE(CreateDir(Root + "/NUOVA"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDir(Root + "/missing/child"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

    WriteNative("Nuova/f.txt", "f");
    EXPECT_FALSE(RemoveDir(Root + "/nuova"));
    EXPECT_FALSE(DeleteFile(Root + "/nuova")); // a folder is not a file
    EXPECT_TRUE(DeleteFile(Root + "/NUOVA/F.TXT"));
    EXPECT_FALSE(DeleteFile(Root + "/NUOVA/F.TXT"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(RemoveDir(Root + "/nuova"));
    EXPECT_TRUE(ListNative().empty());
}

TEST_F(FilesTest, RenameNeverReplacesAnExistingFile)
{
    WriteNative("a.txt", "A");
    WriteNative("B.txt", "B");
    for (const char* target : {"/b.TXT", "/B.txt"}) {
        EXPECT_FALSE(RenameFile(Root + "/a.txt", Root + target));
        EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
        EXPECT_EQ(ReadNative("a.txt"), "A");
        EXPECT_EQ(ReadNative("B.txt"), "B");
    }
    EXPECT_TRUE(RenameFile(Root + "/a.txt", Root + "/a.txt"));
    EXPECT_EQ(ReadNative("a.txt"), "A");

    EXPECT_TRUE(RenameFile(Root + "/A.TXT", Root + "/c.txt"));
    EXPECT_EQ(ReadNative("c.txt"), "A");
    // Changing only the case of a name is a rename of the same file.
    EXPECT_TRUE(RenameFile(Root + "/c.txt", Root + "/C.TXT"));
    EXPECT_EQ(ListNative(), (std::set<std::string>{"B.txt", "C.TXT"}));
    EXPECT_FALSE(RenameFile(Root + "/missing", Root + "/d"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(FilesTest, CopyFileNeverTruncatesItsSource)
{
    WriteNative("Data/src.dat", "contents");
    WriteNative("Data/other.dat", "old");
    const std::string src = Root + "\\data\\SRC.dat";

    EXPECT_FALSE(CopyFile(src, Root + "/Data/src.dat", false));
    EXPECT_FALSE(CopyFile(src, Root + "/DATA/Src.Dat", false));
    EXPECT_EQ(ReadNative("Data/src.dat"), "contents");

    EXPECT_FALSE(CopyFile(src, Root + "/data/OTHER.dat", true));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(ReadNative("Data/other.dat"), "old");

    EXPECT_TRUE(CopyFile(src, Root + "/data/OTHER.dat", false));
    EXPECT_EQ(ReadNative("Data/other.dat"), "contents");
    EXPECT_TRUE(CopyFile(src, Root + "/data/New.dat", true));
    EXPECT_EQ(ReadNative("Data/New.dat"), "contents");
    EXPECT_EQ(FileAge(Root + "/data/New.dat"), FileAge(src));
    EXPECT_EQ(ListNative("Data"), (std::set<std::string>{"src.dat", "other.dat", "New.dat"}));
    EXPECT_FALSE(CopyFile(Root + "/missing", Root + "/x", false));
}

TEST(FileDates, DosDatesHaveTwoSecondResolution)
{
    const TDateTime when = EncodeDate(2026, 12, 10) + EncodeTime(9, 7, 31, 500);
    const int fileDate = DateTimeToFileDate(when);
    EXPECT_EQ(fileDate, ((46 << 9 | 12 << 5 | 10) << 16) | (9 << 11 | 7 << 5 | 15));
    EXPECT_DOUBLE_EQ(FileDateToDateTime(fileDate), EncodeDate(2026, 12, 10) + EncodeTime(9, 7, 30, 0));
    EXPECT_EQ(DateTimeToFileDate(EncodeDate(1979, 12, 31)), 0);
    EXPECT_THROW(FileDateToDateTime(0), EConvertError);
}

TEST_F(FilesTest, FileDatesAndAttributes)
{
    WriteNative("f.txt", "f");
    const int age = DateTimeToFileDate(EncodeDate(2020, 2, 29) + EncodeTime(23, 59, 58, 0));
    EXPECT_EQ(FileSetDate(Root + "/F.TXT", age), 0);
    EXPECT_EQ(FileAge(Root + "/f.txt"), age);
    TDateTime exact;
    ASSERT_TRUE(FileAge(Root + "/f.txt", exact));
    EXPECT_DOUBLE_EQ(exact, FileDateToDateTime(age));
    EXPECT_EQ(FileAge(Root + "/missing"), -1);
    EXPECT_EQ(FileAge(Root), -1);
    const int handle = FileOpen(Root + "/f.txt", fmOpenRead);
    EXPECT_EQ(FileGetDate(handle), age);
    FileClose(handle);

    EXPECT_EQ(FileGetAttr(Root + "/f.txt"), faArchive);
    EXPECT_EQ(FileSetAttr(Root + "/f.txt", faReadOnly | faArchive), 0);
    EXPECT_EQ(FileGetAttr(Root + "/F.txt"), faReadOnly | faArchive);
    EXPECT_EQ(FileSetAttr(Root + "/f.txt", faArchive), 0);
    EXPECT_EQ(FileGetAttr(Root + "/f.txt"), faArchive);
    WriteNative(".hidden", "h");
    EXPECT_EQ(FileGetAttr(Root + "/.hidden"), faHidden | faArchive);
    EXPECT_EQ(FileGetAttr(Root + "/"), faDirectory);
    EXPECT_EQ(FileGetAttr(Root + "/missing"), -1);
}

TEST_F(FilesTest, ReadOnlyFilesAreProtectedEvenFromRoot)
{
    WriteNative("ro.dat", "keep");
    ASSERT_EQ(FileSetAttr(Root + "/RO.DAT", faReadOnly), 0);
    EXPECT_EQ(FileCreate(Root + "/ro.dat"), -1);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(FileOpen(Root + "/ro.dat", fmOpenReadWrite), -1);
    EXPECT_FALSE(DeleteFile(Root + "/ro.dat"));
    EXPECT_THROW(TFileStream(Root + "/ro.dat", fmCreate), EFCreateError);
    EXPECT_EQ(ReadNative("ro.dat"), "keep");
    const int handle = FileOpen(Root + "/ro.dat", fmOpenRead);
    EXPECT_GE(handle, 0);
    FileClose(handle);
    ASSERT_EQ(FileSetAttr(Root + "/ro.dat", 0), 0);
    EXPECT_TRUE(DeleteFile(Root + "/ro.dat"));
}

TEST_F(FilesTest, FindFirstMatchesMasksWithoutRegardToCase)
{
    for (const char* name : {"b.txt", "a.TXT", "c.dat", "noext", ".hidden.txt", "ab.txt.bak"})
        WriteNative(std::string("Dir/") + name, "12345");
    fs::create_directories(At("Dir/Sub"));

    const auto find = [this](const std::string& mask, int attr) {
        std::vector<std::string> names;
        TSearchRec rec;
        for (int rc = FindFirst(Root + "\\DIR\\" + mask, attr, rec); rc == 0; rc = FindNext(rec))
            names.push_back(rec.Name);
        FindClose(rec);
        return names;
    };
    using Names = std::vector<std::string>;
    EXPECT_EQ(find("*.txt", 0), (Names{"a.TXT", "b.txt"}));
    EXPECT_EQ(find("*.TXT", faHidden), (Names{".hidden.txt", "a.TXT", "b.txt"}));
    EXPECT_EQ(find("?.*", 0), (Names{"a.TXT", "b.txt", "c.dat"}));
    EXPECT_EQ(find("noext.*", 0), (Names{"noext"}));
    EXPECT_EQ(find("*.*", 0), (Names{"a.TXT", "ab.txt.bak", "b.txt", "c.dat", "noext"}));
    EXPECT_EQ(find("*", faDirectory), (Names{".", "..", "a.TXT", "ab.txt.bak", "b.txt", "c.dat", "noext", "Sub"}));
    EXPECT_EQ(find("s*", faAnyFile), (Names{"Sub"}));

    TSearchRec rec;
    ASSERT_EQ(FindFirst(Root + "/dir/C.DAT", faAnyFile, rec), 0);
    EXPECT_EQ(rec.Size, 5);
    EXPECT_EQ(rec.Attr, faArchive);
    EXPECT_EQ(rec.Time, FileAge(At("Dir/c.dat")));
    EXPECT_EQ(FindNext(rec), static_cast<int>(ERROR_NO_MORE_FILES));
    FindClose(rec);
    EXPECT_EQ(FindFirst(Root + "/dir/*.xyz", faAnyFile, rec), static_cast<int>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(FindFirst(Root + "/missing/*.*", faAnyFile, rec), static_cast<int>(ERROR_PATH_NOT_FOUND));
}

TEST_F(FilesTest, HandleFunctions)
{
    EXPECT_EQ(FileOpen(Root + "/missing.dat", fmOpenRead), -1);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(FileOpen(Root + "/nofolder/x.dat", fmOpenRead), -1);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(FileOpen(Root, fmOpenRead), -1);
    EXPECT_EQ(FileCreate(Root + "/nofolder/x.dat"), -1);

    const int handle = FileCreate(Root + "\\h.bin");
    ASSERT_GE(handle, 0);
    EXPECT_EQ(FileWrite(handle, "abcdef", 6), 6);
    EXPECT_EQ(FileSeek(handle, -2, fsFromEnd), 4);
    char two[2];
    EXPECT_EQ(FileRead(handle, two, 2), 2);
    EXPECT_EQ(std::string(two, 2), "ef");
    EXPECT_EQ(FileRead(handle, two, 2), 0);
    EXPECT_EQ(FileSeek(handle, 1, fsFromBeginning), 1);
    EXPECT_EQ(FileSeek(handle, 1, fsFromCurrent), 2);
    FileClose(handle);

    // FileCreate empties an existing file.
    FileClose(FileCreate(Root + "/H.BIN"));
    EXPECT_EQ(ReadNative("h.bin"), "");
}

TEST_F(FilesTest, CurrentFolderAndRelativeNames)
{
    const std::string saved = GetCurrentDir();
    WriteNative("Data/Rel.txt", "r");
    ASSERT_TRUE(SetCurrentDir(Root + "/DATA"));
    EXPECT_EQ(GetCurrentDir(), At("Data"));
    EXPECT_TRUE(FileExists("rel.TXT"));
    EXPECT_TRUE(FileExists("..\\data\\REL.txt"));
    ASSERT_TRUE(SetCurrentDir(saved));
    EXPECT_FALSE(SetCurrentDir(Root + "/missing"));
}

// --- Atomic writing ---

// Makes writes beyond limit bytes fail, as a full disk would, for the life of the object.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &FOld);
        rlimit limited = FOld;
        limited.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FOldHandler);
    }

private:
    rlimit FOld{};
    void (*FOldHandler)(int) = nullptr;
};

TEST_F(FilesTest, AtomicWriteReplacesTheFileFoundInAnyCase)
{
    WriteNative("Data/CLIENTI.dat", "old contents");
    chmod(At("Data/CLIENTI.dat").c_str(), 0640);
    WriteFileAtomically(Root + "\\data\\Clienti.DAT", "new");
    EXPECT_EQ(ReadNative("Data/CLIENTI.dat"), "new");
    EXPECT_EQ(ListNative("Data"), (std::set<std::string>{"CLIENTI.dat"}));
    struct stat info;
    ASSERT_EQ(stat(At("Data/CLIENTI.dat").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);

    WriteFileAtomically(Root + "\\data\\Nuovo.dat", "");
    EXPECT_EQ(ListNative("Data"), (std::set<std::string>{"CLIENTI.dat", "Nuovo.dat"}));
}

TEST_F(FilesTest, AtomicWriteFailingHalfWayLeavesThePreviousFile)
{
    const std::string previous = "previous version\r\n";
    WriteNative("Data/CLIENTI.dat", previous);
    const std::string big(200000, 'x');
    try {
        FileSizeLimit limit(65536);
        WriteFileAtomically(Root + "/Data/clienti.dat", big);
        FAIL() << "no exception";
    } catch (const EFCreateError& error) {
        EXPECT_NE(error.Message.find("Data/clienti.dat"), std::string::npos) << error.Message;
    }
    EXPECT_EQ(ReadNative("Data/CLIENTI.dat"), previous);
    EXPECT_EQ(ListNative("Data"), (std::set<std::string>{"CLIENTI.dat"}));
}

TEST_F(FilesTest, AtomicWriteRefusesReadOnlyTargetsAndMissingFolders)
{
    WriteNative("ro.txt", "keep");
    ASSERT_EQ(FileSetAttr(Root + "/ro.txt", faReadOnly), 0);
    EXPECT_THROW(WriteFileAtomically(Root + "/RO.txt", "new"), EFCreateError);
    EXPECT_EQ(ReadNative("ro.txt"), "keep");
    EXPECT_THROW(WriteFileAtomically(Root + "/missing/x.txt", "new"), EFCreateError);
    EXPECT_EQ(ListNative(), (std::set<std::string>{"ro.txt"}));
}

TEST_F(FilesTest, UnflushedFilesReachTheDiskWithOneFileSystemSync)
{
    WriteNative("Data/CLIENTI.dat", "old");
    chmod(At("Data/CLIENTI.dat").c_str(), 0640);
    for (const char* name : {"\\data\\Clienti.DAT", "/Data/Nuovo.dat"}) {
        TAtomicFileStream stream(Root + name);
        stream.WriteBuffer("new", 3);
        stream.Commit(TAtomicCommit::Unflushed);
    }
    EXPECT_EQ(ReadNative("Data/CLIENTI.dat"), "new");
    EXPECT_EQ(ListNative("Data"), (std::set<std::string>{"CLIENTI.dat", "Nuovo.dat"}));
    struct stat info;
    ASSERT_EQ(stat(At("Data/CLIENTI.dat").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);

    EXPECT_TRUE(SyncFileSystemOf(Root + "\\DATA"));
    EXPECT_TRUE(SyncFileSystemOf(Root + "/Data/nuovo.DAT"));
    EXPECT_FALSE(SyncFileSystemOf(Root + "/missing"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

} // namespace
