// The file utilities on real files and folders: copies with their progress steps, checked with
// cmp and stat; copies that fail never harm the source or an existing destination; clearing
// never leaves the folder through a link; locks seen by another process; links a desktop
// validator accepts; shell operations and the folder dialog with scripted answers.

#include "ControlsTestSupport.h"

#include "controls/DateUtil.h"
#include "controls/ExPrgrss.h"
#include "controls/FileUtil.h"
#include "platform/gui/PublishedProperties.h"
#include "platform/gui/ScriptedDialogs.h"
#include "platform/gui/ScrollBar.h"
#include "platform/os/ShellFileOperation.h"
#include "platform/os/ShellFolders.h"
#include "platform/os/ShellLink.h"
#include "platform/os/TempFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace FileUtilTest {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string RandomBytes(std::size_t count, unsigned start)
{
    std::mt19937 generator(start);
    std::string bytes(count, '\0');
    for (char& c : bytes)
        c = static_cast<char>(generator() & 0xFF);
    return bytes;
}

// The output of a shell command, its exit status in status.
std::string Shell(const std::string& command, int& status)
{
    std::string output;
    if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, n);
        status = pclose(pipe);
    }
    return output;
}

// A folder of its own for one test.
class TScratch {
public:
    explicit TScratch(const std::string& name) : FPath(ControlsScratchDir() + "/" + name)
    {
        fs::remove_all(FPath);
        fs::create_directories(FPath);
    }
    ~TScratch()
    {
        std::error_code ignored;
        fs::permissions(FPath, fs::perms::all, fs::perm_options::add, ignored);
        fs::remove_all(FPath, ignored);
    }
    std::string operator/(const std::string& name) const { return FPath + "/" + name; }
    const std::string& Path() const { return FPath; }
    // Names in the folder, nothing below.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(FPath))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string FPath;
};

// A progress bar that records every position it is given, and can refuse one.
class TRecordingBar : public TProgressBar {
    TESS_CLASS(TRecordingBar, TProgressBar)
public:
    explicit TRecordingBar(TComponent* AOwner) : TProgressBar(AOwner) {}
    std::vector<long> Positions;
    long FailAbove = -1;
};

void RegisterRecordingBar()
{
    RegisterPublishedProperties();
    RegisterPropInfos("TRecordingBar", "TProgressBar",
                      {OrdProp<TRecordingBar>(
                          "Position", TypeInfoInteger(), [](TRecordingBar& b) -> std::int64_t { return b.Position(); },
                          [](TRecordingBar& b, std::int64_t v) {
                              if (b.FailAbove >= 0 && v > b.FailAbove)
                                  throw EWriteError("Barra guasta");
                              b.Positions.push_back(static_cast<long>(v));
                              b.SetPosition(static_cast<int>(v));
                          })});
}

TEST(FolderNames, NormalDirAndRemoveBackSlash)
{
    const std::pair<const char*, const char*> normal[] = {
        {"", ""},           {"c", "c:\\"},          {"C:", "C:"},           {"C:\\Temp", "C:\\Temp\\"},
        {"C:\\", "C:\\"},   {"/home/u/x", "/home/u/x/"}, {"/", "/"},        {"Dati", "Dati/"},
        {"a/b\\c", "a/b\\c\\"}, {"a\\b/c", "a\\b/c/"}, {"/home/u/", "/home/u/"}};
    for (const auto& [in, out] : normal)
        EXPECT_EQ(NormalDir(in), out) << in;
    const std::pair<const char*, const char*> removed[] = {
        {"C:\\", "C:\\"}, {"C:\\Temp\\", "C:\\Temp"}, {"C:\\Temp", "C:\\Temp"}, {"/", "/"},
        {"/home/u/", "/home/u"}, {"\\", "\\"}, {"a//", "a/"}, {"", ""}};
    for (const auto& [in, out] : removed)
        EXPECT_EQ(RemoveBackSlash(in), out) << in;
}

TEST(FileFacts, NamesSizesDatesAndAttributes)
{
    const std::pair<const char*, bool> names[] = {{"", false},           {"a|b.txt", false}, {"C:\\a?b.txt", true},
                                                  {"a<b", false},        {"a>b", false},     {"a\"b", false},
                                                  {"[a]", false},        {"a*b:c\\d", true}, {"fattura 12.pdf", true}};
    for (const auto& [name, valid] : names)
        EXPECT_EQ(ValidFileName(name), valid) << name;

    TScratch scratch("facts");
    WriteAll(scratch / "dati.txt", std::string(1234, 'x'));
    EXPECT_TRUE(DirExists(scratch.Path()));
    EXPECT_FALSE(DirExists(scratch / "dati.txt"));
    EXPECT_FALSE(DirExists(scratch / "manca"));
    EXPECT_FALSE(DirExists(""));
    EXPECT_EQ(GetFileSize(scratch / "dati.txt"), 1234);
    EXPECT_EQ(GetFileSize(scratch / "DATI.TXT"), 1234) << "names resolve without regard to case";
    EXPECT_EQ(GetFileSize(scratch / "manca.txt"), -1);
    EXPECT_EQ(FileDateTime(scratch / "manca.txt"), NullDate);
    EXPECT_NEAR(FileDateTime(scratch / "dati.txt"), Now(), 1.0 / 24);
    EXPECT_TRUE(HasAttr(scratch / "dati.txt", faArchive));
    EXPECT_FALSE(HasAttr(scratch / "dati.txt", faReadOnly));
    EXPECT_FALSE(HasAttr(scratch / "manca.txt", 0)) << "a missing file has no attributes";
    EXPECT_TRUE(HasAttr(scratch.Path(), faDirectory));

    EXPECT_EQ(GetTempDir().back(), '/');
    EXPECT_TRUE(DirExists(GetTempDir()));
    EXPECT_FALSE(GetWindowsDir().empty());
    EXPECT_FALSE(GetSystemDir().empty());
}

TEST(FileFacts, LongAndShortNamesAreTheNamesThemselves)
{
    TScratch scratch("names");
    fs::create_directories(scratch / "Cartella Lunga");
    WriteAll(scratch / "Cartella Lunga/Documento di prova.txt", "x");
    const std::string file = scratch / "Cartella Lunga/Documento di prova.txt";
    EXPECT_EQ(ShortToLongFileName(file), "Documento di prova.txt");
    EXPECT_EQ(LongToShortFileName(file), "Documento di prova.txt");
    EXPECT_EQ(ShortToLongFileName(scratch / "manca.txt"), "");
    EXPECT_EQ(ShortToLongPath(file), file);
    EXPECT_EQ(LongToShortPath(file), file);
    // Separators are kept as found.
    const std::string mixed = scratch.Path() + "\\Cartella Lunga/Documento di prova.txt";
    EXPECT_EQ(ShortToLongPath(mixed), mixed);
}

class CopyFileTest : public testing::Test {
protected:
    static void SetUpTestSuite() { RegisterRecordingBar(); }
};

TEST_F(CopyFileTest, ProgressStepsIdenticalBytesAndTheSameTime)
{
    TScratch scratch("copy");
    const std::string source = scratch / "origine.bin";
    WriteAll(source, RandomBytes(20000, 1));
    fs::last_write_time(source, fs::last_write_time(source) - std::chrono::hours(30));
    TRecordingBar bar(nullptr);
    CopyFileEx(source, scratch / "sub/dir/copia.bin", false, false, &bar);
    EXPECT_EQ(bar.Max(), 20000);
    EXPECT_EQ(bar.Min(), 0);
    EXPECT_EQ(bar.Positions, (std::vector<long>{0, 8192, 16384, 20000, 0}));

    int status = 0;
    Shell("cmp '" + source + "' '" + (scratch / "sub/dir/copia.bin") + "'", status);
    EXPECT_EQ(status, 0) << "cmp finds the copy identical";
    const std::string times =
        Shell("stat -c %Y '" + source + "' '" + (scratch / "sub/dir/copia.bin") + "'", status);
    const auto newline = times.find('\n');
    ASSERT_NE(newline, std::string::npos);
    EXPECT_EQ(times.substr(0, newline), times.substr(newline + 1, newline)) << times;

    // Into a folder: the source's name; a size that is a whole number of blocks ends with an
    // empty block.
    WriteAll(source, RandomBytes(16384, 2));
    bar.Positions.clear();
    CopyFile(source, scratch / "sub", &bar);
    EXPECT_EQ(ReadAll(scratch / "sub/origine.bin"), ReadAll(source));
    EXPECT_EQ(bar.Positions, (std::vector<long>{0, 8192, 16384, 16384, 0}));
    CopyFile(source, scratch / "senza_barra.bin", nullptr);
    EXPECT_EQ(ReadAll(scratch / "senza_barra.bin"), ReadAll(source));

    // From another file system the bytes pass through a buffer, with the same steps; an empty
    // file reports its one empty block.
    struct stat scratchFs, shmFs;
    if (stat(scratch.Path().c_str(), &scratchFs) == 0 && stat("/dev/shm", &shmFs) == 0 &&
        scratchFs.st_dev != shmFs.st_dev) {
        const std::string elsewhere = "/dev/shm/controls_tests_" + std::to_string(getpid()) + ".bin";
        const std::string bytes = RandomBytes(3 * 1048576 + 5, 8);
        WriteAll(elsewhere, bytes);
        bar.Positions.clear();
        CopyFile(elsewhere, scratch / "da_altrove.bin", &bar);
        EXPECT_EQ(ReadAll(scratch / "da_altrove.bin"), bytes);
        ASSERT_EQ(bar.Positions.size(), 3u * 128 + 3);
        EXPECT_EQ(bar.Positions[384], 3 * 1048576);
        EXPECT_EQ(bar.Positions[385], 3 * 1048576 + 5);
        EXPECT_EQ(bar.Positions.back(), 0);
        std::remove(elsewhere.c_str());
    }
    WriteAll(source, "");
    bar.Positions.clear();
    CopyFile(source, scratch / "vuoto.bin", &bar);
    EXPECT_EQ(bar.Positions, (std::vector<long>{0, 0, 0}));
    EXPECT_TRUE(fs::exists(scratch / "vuoto.bin"));
}

TEST_F(CopyFileTest, ACopyOntoItsOwnSourceRaisesAndTouchesNothing)
{
    TScratch scratch("self");
    const std::string source = scratch / "Fattura.dat";
    const std::string bytes = RandomBytes(30000, 3);
    WriteAll(source, bytes);
    fs::create_symlink(source, scratch / "collegamento.dat");
    for (const std::string& destination :
         {source, scratch.Path(), scratch.Path() + "/", scratch / "FATTURA.DAT", scratch / "collegamento.dat",
          scratch.Path() + "/./Fattura.dat"}) {
        TRecordingBar bar(nullptr);
        try {
            CopyFileEx(source, destination, true, false, &bar);
            ADD_FAILURE() << destination << " did not raise";
        } catch (const EFCreateError& e) {
            EXPECT_NE(e.Message.find("Cannot create file"), std::string::npos);
        }
        EXPECT_EQ(ReadAll(source), bytes) << destination;
    }
    EXPECT_EQ(scratch.Names(), (std::vector<std::string>{"Fattura.dat", "collegamento.dat"}));
}

TEST_F(CopyFileTest, AFailedCopyLeavesTheOldDestinationWholeAndNoTemporary)
{
    TScratch scratch("failed");
    const std::string source = scratch / "nuovo.bin";
    const std::string destination = scratch / "vecchio.bin";
    WriteAll(source, RandomBytes(40000, 4));
    const std::string old = RandomBytes(12345, 5);
    WriteAll(destination, old);

    RegisterProgressControl("TRecordingBar", "Max", "Min", "Position");
    TRecordingBar bar(nullptr);
    bar.FailAbove = 8191; // the setter raises after the first block
    EXPECT_THROW(CopyFileEx(source, destination, false, false, &bar), EWriteError);
    EXPECT_EQ(ReadAll(destination), old);
    EXPECT_EQ(scratch.Names(), (std::vector<std::string>{"nuovo.bin", "vecchio.bin"}));
    EXPECT_EQ(bar.Position(), 0) << "the progress is put back";

    // A read-only destination is refused without the flag and replaced with it.
    fs::permissions(destination, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_THROW(CopyFileEx(source, destination, false, false, nullptr), EFCreateError);
    EXPECT_EQ(ReadAll(destination), old);
    CopyFileEx(source, destination, true, false, nullptr);
    EXPECT_EQ(ReadAll(destination), ReadAll(source));

    // A missing source and a destination folder that cannot exist.
    EXPECT_THROW(CopyFile(scratch / "manca.bin", scratch / "x.bin", nullptr), EFOpenError);
    EXPECT_THROW(CopyFile(scratch.Path(), scratch / "x.bin", nullptr), EFOpenError) << "a folder is no file";
    EXPECT_THROW(CopyFile(source, scratch / "nuovo.bin/dentro/x.bin", nullptr), EFCreateError);
    EXPECT_THROW(CopyFile(source, scratch / std::string(4000, 'n'), nullptr), EFCreateError);
    EXPECT_EQ(scratch.Names(), (std::vector<std::string>{"nuovo.bin", "vecchio.bin"}));
}

TEST_F(CopyFileTest, AnUnreadableSourceOrAnUnwritableFolderRaisesAndLeavesNoPart)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    TScratch scratch("permissions");
    const std::string bytes = RandomBytes(10000, 7);
    WriteAll(scratch / "segreto.bin", bytes);
    fs::permissions(scratch / "segreto.bin", fs::perms::all, fs::perm_options::remove);
    EXPECT_THROW(CopyFile(scratch / "segreto.bin", scratch / "copia.bin", nullptr), EFOpenError);
    fs::permissions(scratch / "segreto.bin", fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(ReadAll(scratch / "segreto.bin"), bytes);

    fs::create_directories(scratch / "chiusa");
    fs::permissions(scratch / "chiusa", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_THROW(CopyFile(scratch / "segreto.bin", scratch / "chiusa/copia.bin", nullptr), EFCreateError);
    fs::permissions(scratch / "chiusa", fs::perms::owner_all, fs::perm_options::add);
    EXPECT_TRUE(fs::is_empty(scratch / "chiusa"));
    EXPECT_EQ(ReadAll(scratch / "segreto.bin"), bytes);
}

TEST_F(CopyFileTest, MovesRenameOrCopyAndNeverLoseTheSource)
{
    TScratch scratch("move");
    const std::string bytes = RandomBytes(9000, 6);
    WriteAll(scratch / "a.bin", bytes);
    MoveFile(scratch / "a.bin", scratch / "b.bin");
    EXPECT_FALSE(fs::exists(scratch / "a.bin"));
    EXPECT_EQ(ReadAll(scratch / "b.bin"), bytes);

    // Onto an existing file the rename refuses and the copy replaces it.
    WriteAll(scratch / "c.bin", "vecchio");
    MoveFile(scratch / "b.bin", scratch / "c.bin");
    EXPECT_FALSE(fs::exists(scratch / "b.bin"));
    EXPECT_EQ(ReadAll(scratch / "c.bin"), bytes);

    // Onto itself: the copy refuses and the source stays.
    EXPECT_NO_FATAL_FAILURE({
        try {
            MoveFile(scratch / "c.bin", scratch / "C.BIN");
        } catch (const EFCreateError&) {
        }
    });
    EXPECT_EQ(ReadAll(scratch / "c.bin"), bytes);
    MoveFile(scratch / "manca.bin", scratch / "d.bin");
    EXPECT_FALSE(fs::exists(scratch / "d.bin"));
}

TEST(ClearDir, LinksAreRemovedAsEntriesAndTheirTargetsStay)
{
    TScratch outside("outside");
    WriteAll(outside / "prezioso.txt", "non toccare");
    fs::create_directories(outside / "sotto");
    WriteAll(outside / "sotto/anche.txt", "non toccare");
    TScratch tree("tree");
    fs::create_directories(tree / "a/b");
    WriteAll(tree / "a/uno.txt", "1");
    WriteAll(tree / "a/b/due.txt", "2");
    WriteAll(tree / "tre.txt", "3");
    WriteAll(tree / "sola_lettura.txt", "4");
    fs::permissions(tree / "sola_lettura.txt", fs::perms::owner_write, fs::perm_options::remove);
    fs::create_directory_symlink(outside.Path(), tree / "a/verso_fuori");
    fs::create_symlink(outside / "prezioso.txt", tree / "file_fuori");
    fs::create_symlink(tree / "nessuno", tree / "rotto");

    EXPECT_TRUE(ClearDir(tree.Path(), false));
    EXPECT_EQ(tree.Names(), (std::vector<std::string>{"a"}));
    EXPECT_TRUE(fs::is_directory(tree / "a/b")) << "without Delete the folders stay";
    EXPECT_FALSE(fs::exists(fs::symlink_status(tree / "a/verso_fuori")));
    EXPECT_EQ(ReadAll(outside / "prezioso.txt"), "non toccare");
    EXPECT_EQ(ReadAll(outside / "sotto/anche.txt"), "non toccare");

    EXPECT_TRUE(ClearDir(tree.Path(), true));
    EXPECT_FALSE(fs::exists(tree.Path()));
    EXPECT_FALSE(ClearDir(tree.Path(), true)) << "a missing folder";
    EXPECT_EQ(ReadAll(outside / "prezioso.txt"), "non toccare");
}

TEST(ClearDir, NamesStartingWithAPointStayAndKeepTheFolder)
{
    TScratch tree("hidden");
    WriteAll(tree / ".nascosto", "x");
    WriteAll(tree / "visibile", "y");
    EXPECT_FALSE(ClearDir(tree.Path(), true));
    EXPECT_EQ(tree.Names(), (std::vector<std::string>{".nascosto"}));
    const std::string longName(4000, 'd');
    EXPECT_FALSE(ClearDir(tree / longName, true));
}

TEST(DeleteFiles, MasksDeleteFilesOnlyAndStopAtTheFirstMissingMask)
{
    TScratch scratch("masks");
    WriteAll(scratch / "b1.tmp", "1");
    WriteAll(scratch / "b2.TMP", "2");
    WriteAll(scratch / "c.txt", "3");
    fs::create_directories(scratch / "b3.tmp");
    WriteAll(scratch / "b3.tmp/dentro.txt", "4");
    TScratch outside("masks_outside");
    fs::create_directories(outside / "bersaglio.tmp");
    WriteAll(outside / "bersaglio.tmp/x.txt", "5");
    fs::create_directory_symlink(outside / "bersaglio.tmp", scratch / "b4.tmp");

    EXPECT_FALSE(DeleteFilesEx({scratch / "a*.tmp", scratch / "b*.tmp"}));
    EXPECT_EQ(scratch.Names(), (std::vector<std::string>{"b1.tmp", "b2.TMP", "b3.tmp", "b4.tmp", "c.txt"}));

    EXPECT_TRUE(DeleteFiles(scratch.Path() + "\\b*.tmp"));
    EXPECT_EQ(scratch.Names(), (std::vector<std::string>{"b3.tmp", "c.txt"}));
    EXPECT_EQ(ReadAll(scratch / "b3.tmp/dentro.txt"), "4") << "a folder matching the mask stays";
    EXPECT_EQ(ReadAll(outside / "bersaglio.tmp/x.txt"), "5") << "a link goes, what it leads to stays";
    EXPECT_TRUE(DeleteFilesEx({}));
    EXPECT_FALSE(DeleteFiles(scratch / "nessuno.*"));
    EXPECT_FALSE(DeleteFiles(scratch / (std::string(4000, 'z') + "/*.*")));
}

TEST(FileLocks, AnotherProcessSeesTheLockedRange)
{
    TScratch scratch("lock");
    const std::string name = scratch / "bloccato.dat";
    WriteAll(name, std::string(200, 'x'));
    WriteAll(scratch / "probe.py", "import fcntl, sys\n"
                                   "with open(sys.argv[1], 'r+b') as f:\n"
                                   "    try:\n"
                                   "        fcntl.lockf(f.fileno(), fcntl.LOCK_EX | fcntl.LOCK_NB, 100, 0)\n"
                                   "        print('acquired')\n"
                                   "    except OSError:\n"
                                   "        print('refused')\n");
    const auto probe = [&] {
        int status = 0;
        return Shell("python3 '" + (scratch / "probe.py") + "' '" + name + "'", status);
    };
    const int handle = FileOpen(name, fmOpenReadWrite);
    ASSERT_GE(handle, 0);
    EXPECT_EQ(FileLock(handle, 0, 100), 0);
    EXPECT_EQ(probe(), "refused\n");
    EXPECT_NE(FileLock(handle, 50, 10), 0) << "an overlapping range of the same handle";
    EXPECT_EQ(FileUnlock(handle, 0, 100), 0);
    EXPECT_EQ(probe(), "acquired\n");
    EXPECT_NE(FileUnlock(handle, 0, 100), 0) << "nothing left to unlock";
    FileClose(handle);
}

TEST(ShellLinks, ALinkFileTheDesktopAcceptsAndThatLeadsToItsTarget)
{
    TScratch scratch("links");
    const char* previous = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = previous ? previous : "";
    setenv("XDG_CONFIG_HOME", scratch.Path().c_str(), 1);
    WriteAll(scratch / "programma.sh", "#!/bin/sh\n");
    CreateFileLink(scratch / "programma.sh", "Tessellarium", CSIDL_APPDATA);
    const std::string link = scratch / "Tessellarium.lnk";
    ASSERT_TRUE(fs::exists(link));
    // The validator looks at the content but insists on its own extension.
    fs::copy_file(link, scratch / "Tessellarium.desktop");
    int status = 0;
    const std::string report = Shell("desktop-file-validate '" + (scratch / "Tessellarium.desktop") + "'", status);
    EXPECT_EQ(status, 0) << report;
    std::string target;
    ASSERT_TRUE(ResolveShellLink(link, target));
    EXPECT_EQ(target, scratch / "programma.sh");
    DeleteFileLink("Tessellarium", CSIDL_APPDATA);
    EXPECT_FALSE(fs::exists(link));
    EXPECT_THROW(CreateFileLink(scratch / "programma.sh", "x", CSIDL_NETWORK), EWin32Error);
    if (previous)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

TEST(ShellOperations, CopyMoveRenameAndDeleteFollowTheirFlags)
{
    TScratch scratch("shellop");
    fs::create_directories(scratch / "dest");
    WriteAll(scratch / "a.txt", "a");
    WriteAll(scratch / "b.txt", "b");
    auto ui = std::make_shared<TFileOperationUi>();
    int replaceQuestions = 0;
    int answer = IDYES;
    ui->ConfirmReplace = [&](const std::string&) {
        ++replaceQuestions;
        return answer;
    };
    SetFileOperationUi(ui);

    TExFileOperator operation(nullptr);
    operation.Source = scratch / "a.txt" + ";" + scratch / "b.txt";
    operation.Destination = scratch / "dest";
    EXPECT_TRUE(operation.Execute());
    EXPECT_FALSE(operation.Aborted());
    EXPECT_EQ(ReadAll(scratch / "dest/a.txt"), "a");
    EXPECT_EQ(ReadAll(scratch / "dest/b.txt"), "b");

    // Copying again asks before replacing; cancelling aborts.
    answer = IDCANCEL;
    EXPECT_FALSE(operation.Execute());
    EXPECT_TRUE(operation.Aborted());
    EXPECT_GE(replaceQuestions, 1);
    // flNoConfirmation replaces without asking.
    replaceQuestions = 0;
    WriteAll(scratch / "a.txt", "A");
    operation.Source = scratch / "a.txt";
    operation.Options.Include(flNoConfirmation);
    EXPECT_TRUE(operation.Execute());
    EXPECT_EQ(replaceQuestions, 0);
    EXPECT_EQ(ReadAll(scratch / "dest/a.txt"), "A");

    operation.Operation = foRename;
    operation.Source = scratch / "dest/a.txt";
    operation.Destination = scratch / "dest/rinominato.txt";
    EXPECT_TRUE(operation.Execute());
    operation.Operation = foMove;
    operation.Source = scratch / "b.txt";
    operation.Destination = scratch / "dest/spostato.txt";
    EXPECT_TRUE(operation.Execute());
    EXPECT_FALSE(fs::exists(scratch / "b.txt"));
    operation.Operation = foDelete;
    operation.Source = scratch / "dest/b.txt|" + scratch / "a.txt";
    operation.Destination.clear();
    EXPECT_TRUE(operation.Execute());
    EXPECT_EQ(scratch.Names(), (std::vector<std::string>{"dest"}));
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(scratch / "dest"))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"rinominato.txt", "spostato.txt"}));

    // The shell variants of copying and moving: a cancel raises a silent abort.
    WriteAll(scratch / "c.txt", "c");
    CopyFileEx(scratch / "c.txt", scratch / "dest/c.txt", false, true, nullptr);
    EXPECT_EQ(ReadAll(scratch / "dest/c.txt"), "c");
    answer = IDCANCEL;
    EXPECT_THROW(CopyFileEx(scratch / "c.txt", scratch / "dest/c.txt", false, true, nullptr), EAbort);
    MoveFileEx(scratch / "c.txt", scratch / "dest/c.txt", true);
    EXPECT_FALSE(fs::exists(scratch / "c.txt")) << "a shell move replaces without asking";
    SetFileOperationUi(nullptr);
}

TEST(FolderDialog, TheChosenFolderComesBackWithoutItsSeparator)
{
    TScratch scratch("browse");
    fs::create_directories(scratch / "scelta");
    auto* scripted = new TScriptedDialogs;
    auto previous = SetDialogService(std::unique_ptr<IDialogService>(scripted));
    TDialogAnswer answer;
    answer.Folder = scratch / "scelta/";
    scripted->Expect(TDialogKind::SelectFolder, answer);

    std::string folder = scratch.Path();
    EXPECT_TRUE(BrowseDirectory(folder, "Scegli la cartella", 0));
    EXPECT_EQ(folder, scratch / "scelta");
    ASSERT_EQ(scripted->Requests().size(), 1u);
    EXPECT_EQ(scripted->Requests()[0].Caption, "Scegli la cartella");
    EXPECT_EQ(scripted->Requests()[0].Text, scratch.Path()) << "the folder given is offered";

    // The events fire from the dialog's callback; OK follows the selection.
    TBrowseFolderDlg dialog(nullptr);
    dialog.FolderName = scratch / "scelta";
    int initialized = 0, changed = 0;
    std::string selection;
    dialog.OnInitialized = [&](TObject*) { ++initialized; };
    dialog.OnSelChanged = [&](TObject*) {
        ++changed;
        selection = dialog.SelectionPath();
    };
    TDialogAnswer cancel;
    cancel.Accepted = false;
    scripted->Expect(TDialogKind::SelectFolder, cancel);
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(initialized, 1);
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(selection, scratch / "scelta");
    EXPECT_EQ(dialog.Handle(), nullptr);

    std::string computer = "server";
    EXPECT_FALSE(BrowseComputer(computer, "Computer", 0));
    EXPECT_EQ(computer, "server");
    EXPECT_TRUE(scripted->Satisfied());
    SetDialogService(std::move(previous));
}

} // namespace FileUtilTest
