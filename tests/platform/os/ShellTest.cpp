#include "platform/os/Shell.h"

#include "TestEnvironment.h"
#include "platform/os/MessageBox.h"
#include "platform/os/OsPaths.h"
#include "platform/os/Processes.h"
#include "platform/rtl/SysErrors.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::uintptr_t Code(HINSTANCE result)
{
    return reinterpret_cast<std::uintptr_t>(result);
}

// Waits for a detached child to write its file. The child renames the file into place when it is
// whole, so it is read only once complete; a loaded machine can take seconds to start the child.
std::string WaitForFile(const std::string& path)
{
    for (int i = 0; i < 1000 && !fs::exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return ReadTestFile(path);
}

void WriteScript(const std::string& path, const std::string& body)
{
    WriteTestFile(path, "#!/bin/sh\n" + body);
    chmod(path.c_str(), 0755);
}

// A fake xdg-open, first on PATH, that records its argument.
class ShellExecute : public testing::Test {
protected:
    void SetUp() override
    {
        folder = NewTestFolder("shell");
        fs::create_directory(folder + "/bin");
        record = folder + "/opened.txt";
        WriteScript(folder + "/bin/xdg-open",
                    "printf '%s' \"$1\" > '" + record + ".part' && mv '" + record + ".part' '" + record + "'\n");
        savedPath = std::getenv("PATH");
        setenv("PATH", (folder + "/bin:" + savedPath).c_str(), 1);
    }
    void TearDown() override { setenv("PATH", savedPath.c_str(), 1); }

    std::string folder;
    std::string record;
    std::string savedPath;
};

} // namespace

TEST_F(ShellExecute, SchemesAndFilesGoToTheDesktopOpener)
{
    EXPECT_GT(Code(ShellExecuteA(nullptr, "open", "mailto:info@esempio.it", nullptr, nullptr, SW_SHOW)), 32u);
    EXPECT_EQ(WaitForFile(record), "mailto:info@esempio.it");

    fs::remove(record);
    fs::create_directory(folder + "/docs");
    WriteTestFile(folder + "/docs/Caff\xC3\xA8.pdf", "%PDF-1.4\n");
    EXPECT_GT(Code(ShellExecuteA(nullptr, nullptr, "DOCS\\caff\xE8.PDF", nullptr, folder.c_str(), SW_SHOW)), 32u);
    EXPECT_EQ(WaitForFile(record), folder + "/docs/Caff\xC3\xA8.pdf");

    fs::remove(record);
    TShellLink link;
    link.SetPath(folder + "/docs/Caff\xE8.pdf");
    ASSERT_EQ(link.Save(folder + "\\Collegamento.lnk"), S_OK);
    EXPECT_GT(Code(ShellExecuteA(nullptr, "open", (folder + "/Collegamento.lnk").c_str(), nullptr, nullptr, 1)), 32u);
    EXPECT_EQ(WaitForFile(record), folder + "/docs/Caff\xC3\xA8.pdf");
}

TEST_F(ShellExecute, MissingFilesVerbsAndMissingOpener)
{
    EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", (folder + "/manca.pdf").c_str(), nullptr, nullptr, 1)), 2u);
    EXPECT_EQ(GetLastError(), 2u);
    EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", (folder + "/manca/manca.pdf").c_str(), nullptr, nullptr, 1)), 3u);
    EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", "", nullptr, nullptr, 1)), 2u);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_FALSE(fs::exists(record));

    // A document marked executable, as every file on a FAT key is, still goes to the opener.
    WriteTestFile(folder + "/a.pdf", "%PDF");
    chmod((folder + "/a.pdf").c_str(), 0755);
    EXPECT_GT(Code(ShellExecuteA(nullptr, "open", (folder + "/a.pdf").c_str(), nullptr, nullptr, 1)), 32u);
    EXPECT_EQ(WaitForFile(record), folder + "/a.pdf");
    EXPECT_EQ(Code(ShellExecuteA(nullptr, "print", (folder + "/a.pdf").c_str(), nullptr, nullptr, 1)), 31u);
    setenv("PATH", (folder + "/vuota").c_str(), 1);
    EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", (folder + "/a.pdf").c_str(), nullptr, nullptr, 1)), 31u);
    EXPECT_EQ(GetLastError(), 1155u);

    WriteTestFile(folder + "/windows.lnk", std::string("\x4C\x00\x00\x00\x01\x14", 6));
    EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", (folder + "/windows.lnk").c_str(), nullptr, nullptr, 1)), 2u);
    WriteTestFile(folder + "/setup.exe", "MZ\x90");
    EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", (folder + "/setup.exe").c_str(), nullptr, nullptr, 1)), 11u);
    EXPECT_EQ(GetLastError(), 193u);
}

TEST_F(ShellExecute, ProgramsRunWithWindowsParameters)
{
    const std::string output = folder + "/args.txt";
    WriteScript(folder + "/programma", "for a in \"$@\"; do printf '[%s]' \"$a\"; done > '" + output + "'\n");
    SHELLEXECUTEINFOA info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    const std::string file = folder + "/programma";
    info.lpFile = file.c_str();
    info.lpParameters = "a \"b c\"";
    ASSERT_TRUE(ShellExecuteExA(&info));
    EXPECT_GT(reinterpret_cast<std::uintptr_t>(info.hInstApp), 32u);
    ASSERT_NE(info.hProcess, nullptr);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
    CloseHandle(info.hProcess);
    EXPECT_EQ(ReadTestFile(output), "[a][b c]");
    EXPECT_FALSE(fs::exists(record));
}

TEST(Shell, CoInitializeCountsPerThread)
{
    std::thread([] {
        EXPECT_EQ(CoInitialize(nullptr), S_OK);
        EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
        CoUninitialize();
    }).join();
}

TEST(ShellLinks, SavedLinkIsAValidDesktopEntryAndResolves)
{
    const std::string folder = NewTestFolder("links");
    const std::string target = folder + "/Offerta \xE8.pdf";
    TShellLink link;
    link.SetPath(target);
    ASSERT_EQ(link.Save(folder + "\\Offerta \xE8.pdf.lnk"), S_OK);
    const std::string file = folder + "/Offerta \xC3\xA8.pdf.lnk";
    ASSERT_TRUE(fs::exists(file));
    const std::string text = ReadTestFile(file);
    EXPECT_NE(text.find("Name=Offerta \xC3\xA8.pdf\n"), std::string::npos) << text;
    EXPECT_NE(text.find("URL=file://" + folder + "/Offerta%20%C3%A8.pdf\n"), std::string::npos) << text;
    std::string resolved;
    ASSERT_TRUE(ResolveShellLink(folder + "/Offerta \xE8.pdf.lnk", resolved));
    EXPECT_EQ(resolved, target);
    EXPECT_FALSE(ResolveShellLink(folder + "/manca.lnk", resolved));

    if (RunCommand("command -v desktop-file-validate").empty())
        GTEST_SKIP() << "desktop-file-validate is not installed";
    fs::copy_file(file, folder + "/offerta.desktop");
    EXPECT_EQ(RunCommand("desktop-file-validate '" + folder + "/offerta.desktop' 2>&1; echo $?"), "0\n");
}

TEST(ShellFolders, SpecialFoldersComeFromTheXdgFolders)
{
    const std::string home = std::getenv("HOME");
    const std::string config = std::getenv("XDG_CONFIG_HOME");
    fs::create_directories(home + "/Documenti");
    WriteTestFile(config + "/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Scrivania\"\n"
                                              "XDG_DOCUMENTS_DIR=\"$HOME/Documenti\"\n"
                                              "XDG_TEMPLATES_DIR=\"$HOME/Modelli\"\n");
    std::string path;
    fs::remove_all(home + "/Scrivania");
    ASSERT_EQ(GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY, path), S_OK);
    EXPECT_EQ(path, home + "/Scrivania");
    EXPECT_FALSE(fs::exists(home + "/Scrivania"));
    char buffer[MAX_PATH];
    ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_DESKTOP | CSIDL_FLAG_CREATE, nullptr, 0, buffer), S_OK);
    EXPECT_TRUE(fs::is_directory(home + "/Scrivania"));
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, buffer, CSIDL_PERSONAL, FALSE));
    EXPECT_EQ(std::string(buffer), home + "/Documenti");
    ASSERT_EQ(GetSpecialFolderPath(CSIDL_APPDATA, path), S_OK);
    EXPECT_EQ(path, config);
    ASSERT_EQ(GetSpecialFolderPath(CSIDL_TEMPLATES, path), S_OK);
    EXPECT_EQ(path, home + "/Modelli");

    LPITEMIDLIST list = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &list), S_OK);
    ASSERT_NE(list, nullptr);
    EXPECT_FALSE(SHGetPathFromIDListA(list, buffer));
    ILFree(list);
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, &list), S_OK);
    EXPECT_TRUE(SHGetPathFromIDListA(list, buffer));
    EXPECT_EQ(std::string(buffer), home + "/Scrivania");
    CoTaskMemFree(list);
    EXPECT_EQ(SHGetSpecialFolderLocation(nullptr, 999, &list), E_INVALIDARG);
    EXPECT_EQ(SHGetFolderPathA(nullptr, CSIDL_RECENT, nullptr, 0, buffer), E_FAIL);
}

TEST(ShellFileInfo, IconsTypeNamesAndNames)
{
    const std::string folder = NewTestFolder("info");
    WriteTestFile(folder + "/uno.pdf", "%PDF-1.4\n");
    WriteTestFile(folder + "/due.PDF", "%PDF-1.4\n");
    fs::create_directory(folder + "/cartella");
    SHFILEINFOA first, second, directory;
    const UINT flags = SHGFI_SYSICONINDEX | SHGFI_TYPENAME | SHGFI_DISPLAYNAME | SHGFI_SMALLICON;
    EXPECT_EQ(SHGetFileInfoA((folder + "/uno.pdf").c_str(), 0, &first, sizeof first, flags), SystemImageListSmall);
    EXPECT_NE(SHGetFileInfoA((folder + "/due.PDF").c_str(), 0, &second, sizeof second, flags), 0u);
    EXPECT_NE(SHGetFileInfoA((folder + "/cartella").c_str(), 0, &directory, sizeof directory, flags), 0u);
    EXPECT_EQ(first.iIcon, second.iIcon);
    chmod((folder + "/due.PDF").c_str(), 0755); // as on a FAT key: still a document
    EXPECT_NE(SHGetFileInfoA((folder + "/due.PDF").c_str(), 0, &second, sizeof second, flags), 0u);
    EXPECT_EQ(first.iIcon, second.iIcon);
    WriteTestFile(folder + "/programma", "#!/bin/sh\nexit 0\n");
    chmod((folder + "/programma").c_str(), 0755);
    SHFILEINFOA program;
    EXPECT_NE(SHGetFileInfoA((folder + "/programma").c_str(), 0, &program, sizeof program, flags), 0u);
    EXPECT_EQ(SystemImageListIconName(program.iIcon), "application-x-executable");
    EXPECT_NE(first.iIcon, directory.iIcon);
    EXPECT_EQ(SystemImageListIconName(directory.iIcon), "folder");
    EXPECT_STREQ(first.szDisplayName, "uno.pdf");
    EXPECT_STREQ(directory.szTypeName, "Cartella di file");

    const std::string python = RunCommand(
        "python3 -c \"import xml.etree.ElementTree as E\n"
        "ns='{http://www.freedesktop.org/standards/shared-mime-info}'\n"
        "t=E.parse('/usr/share/mime/packages/freedesktop.org.xml')\n"
        "for m in t.getroot():\n"
        "    if m.get('type')=='application/pdf':\n"
        "        for c in m.findall(ns+'comment'):\n"
        "            if c.get('{http://www.w3.org/XML/1998/namespace}lang')=='it': print(c.text,end='')\"");
    ASSERT_FALSE(python.empty());
    EXPECT_EQ(AnsiFromNative(python), first.szTypeName);

    SHFILEINFOA virtualFile;
    EXPECT_EQ(SHGetFileInfoA((folder + "/non/esiste.pdf").c_str(), 0, &virtualFile, sizeof virtualFile, flags), 0u);
    EXPECT_NE(SHGetFileInfoA((folder + "/non/esiste.pdf").c_str(), 0x20, &virtualFile, sizeof virtualFile,
                             flags | SHGFI_USEFILEATTRIBUTES), 0u);
    EXPECT_EQ(virtualFile.iIcon, first.iIcon);
    EXPECT_STREQ(virtualFile.szTypeName, first.szTypeName);

    HICON made = reinterpret_cast<HICON>(0x1234);
    std::string askedName;
    SetShellIconFactory([&](const std::string& name, bool) {
        askedName = name;
        return made;
    });
    SHFILEINFOA withIcon;
    SHGetFileInfoA((folder + "/cartella").c_str(), 0, &withIcon, sizeof withIcon, SHGFI_ICON | SHGFI_OPENICON);
    EXPECT_EQ(withIcon.hIcon, made);
    EXPECT_EQ(askedName, "folder-open");
    SetShellIconFactory({});
}

namespace {

class FileOperations : public testing::Test {
protected:
    void SetUp() override { folder = NewTestFolder("fileop"); }
    void TearDown() override
    {
        SetFileOperationUi(nullptr);
        SetWriteFaultHook({});
    }

    int Run(UINT function, const std::string& from, const std::string& to, FILEOP_FLAGS flags,
            BOOL* aborted = nullptr)
    {
        const std::string fromList = from + std::string(2, '\0');
        const std::string toList = to + std::string(2, '\0');
        SHFILEOPSTRUCTA operation;
        operation.wFunc = function;
        operation.pFrom = fromList.c_str();
        operation.pTo = to.empty() ? nullptr : toList.c_str();
        operation.fFlags = flags;
        const int result = SHFileOperationA(&operation);
        if (aborted != nullptr)
            *aborted = operation.fAnyOperationsAborted;
        return result;
    }
    std::string folder;
};

} // namespace

TEST_F(FileOperations, TheTrashIsMadeWhenItsFolderIsMissing)
{
    const std::string home = std::getenv("XDG_DATA_HOME");
    const std::string missing = folder + "/nuova/dati";
    setenv("XDG_DATA_HOME", missing.c_str(), 1);
    WriteTestFile(folder + "/cestino.txt", "via");
    const int result = Run(FO_DELETE, folder + "/cestino.txt", "", FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT);
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadTestFile(missing + "/Trash/files/cestino.txt"), "via");
    EXPECT_TRUE(fs::exists(missing + "/Trash/info/cestino.txt.trashinfo"));
    EXPECT_FALSE(fs::exists(fs::current_path() / "files" / "cestino.txt"));
}

TEST_F(FileOperations, DeleteToTheTrashOrForGoodWithoutFollowingLinks)
{
    WriteTestFile(folder + "/cestino.txt", "via");
    EXPECT_EQ(Run(FO_DELETE, folder + "/cestino.txt", "", FOF_ALLOWUNDO | FOF_NOCONFIRMATION), 0);
    const std::string trash = std::string(std::getenv("XDG_DATA_HOME")) + "/Trash";
    EXPECT_FALSE(fs::exists(folder + "/cestino.txt"));
    EXPECT_TRUE(fs::exists(trash + "/files/cestino.txt"));
    EXPECT_TRUE(fs::exists(trash + "/info/cestino.txt.trashinfo"));

    fs::create_directories(folder + "/fuori");
    WriteTestFile(folder + "/fuori/prezioso.txt", "resta");
    fs::create_directories(folder + "/dentro/sotto");
    WriteTestFile(folder + "/dentro/sotto/f.txt", "x");
    fs::create_directory_symlink(folder + "/fuori", folder + "/dentro/collegamento");
    EXPECT_EQ(Run(FO_DELETE, folder + "/dentro", "", FOF_NOCONFIRMATION), 0);
    EXPECT_FALSE(fs::exists(folder + "/dentro"));
    EXPECT_EQ(ReadTestFile(folder + "/fuori/prezioso.txt"), "resta");
    EXPECT_EQ(Run(FO_DELETE, folder + "/manca.txt", "", 0), 2);
    EXPECT_EQ(Run(FO_DELETE, "", "", 0), 87);
}

TEST_F(FileOperations, CopiesAreSafeAndCollisionsRenamed)
{
    WriteTestFile(folder + "/a.txt", "originale");
    EXPECT_EQ(Run(FO_COPY, folder + "/a.txt", folder + "/a.txt", FOF_NOCONFIRMATION), DE_SAMEFILE);
    EXPECT_EQ(ReadTestFile(folder + "/a.txt"), "originale");

    EXPECT_EQ(Run(FO_COPY, folder + "/a.txt", folder, FOF_RENAMEONCOLLISION), DE_SAMEFILE);
    fs::create_directory(folder + "/copie");
    WriteTestFile(folder + "/copie/a.txt", "gi\xE0 l\xEC");
    EXPECT_EQ(Run(FO_COPY, folder + "/a.txt", folder + "/copie", FOF_RENAMEONCOLLISION), 0);
    EXPECT_EQ(ReadTestFile(folder + "/copie/a (2).txt"), "originale");
    EXPECT_EQ(ReadTestFile(folder + "/copie/a.txt"), "gi\xE0 l\xEC");

    SetWriteFaultHook([](const std::string&) { return true; });
    EXPECT_NE(Run(FO_COPY, folder + "/a.txt", folder + "/nuovo.txt", FOF_NOCONFIRMATION), 0);
    SetWriteFaultHook({});
    EXPECT_FALSE(fs::exists(folder + "/nuovo.txt"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 2); // a.txt and copie

    fs::create_directories(folder + "/albero/sotto");
    WriteTestFile(folder + "/albero/sotto/f.txt", "f");
    fs::create_symlink("sotto/f.txt", folder + "/albero/link");
    EXPECT_EQ(Run(FO_COPY, folder + "/albero", folder + "/copia", FOF_NOCONFIRMATION), 0);
    EXPECT_EQ(ReadTestFile(folder + "/copia/sotto/f.txt"), "f");
    EXPECT_TRUE(fs::is_symlink(folder + "/copia/link"));
    EXPECT_EQ(fs::read_symlink(folder + "/copia/link"), "sotto/f.txt");
    EXPECT_EQ(Run(FO_COPY, folder + "/albero", folder + "/albero/sotto", FOF_NOCONFIRMATION), DE_DESTSUBTREE);
}

TEST_F(FileOperations, MovesRenamesWildcardsAndTheUserInterface)
{
    WriteTestFile(folder + "/uno.txt", "1");
    WriteTestFile(folder + "/due.txt", "2");
    WriteTestFile(folder + "/tre.dat", "3");
    fs::create_directory(folder + "/destinazione");
    EXPECT_EQ(Run(FO_MOVE, folder + "/*.TXT", folder + "/destinazione", FOF_NOCONFIRMATION), 0);
    EXPECT_TRUE(fs::exists(folder + "/destinazione/uno.txt"));
    EXPECT_TRUE(fs::exists(folder + "/destinazione/due.txt"));
    EXPECT_TRUE(fs::exists(folder + "/tre.dat"));
    EXPECT_EQ(Run(FO_RENAME, folder + "/tre.dat", "quattro.dat", 0), 0);
    EXPECT_EQ(ReadTestFile(folder + "/quattro.dat"), "3");

    // Across file systems a move copies, then deletes the source.
    if (fs::is_directory("/dev/shm")) {
        const std::string other = "/dev/shm/tess-fileop-" + std::to_string(getpid());
        fs::create_directories(other + "/sotto");
        WriteTestFile(other + "/sotto/f.txt", "lontano");
        EXPECT_EQ(Run(FO_MOVE, other, folder + "/arrivata", FOF_NOCONFIRMATION), 0);
        EXPECT_EQ(ReadTestFile(folder + "/arrivata/sotto/f.txt"), "lontano");
        EXPECT_FALSE(fs::exists(other));
    }

    auto ui = std::make_shared<TFileOperationUi>();
    std::vector<std::string> asked;
    ui->ConfirmReplace = [&](const std::string& target) {
        asked.push_back(target);
        return IDCANCEL;
    };
    SetFileOperationUi(ui);
    WriteTestFile(folder + "/uno.txt", "nuovo");
    BOOL aborted = FALSE;
    EXPECT_EQ(Run(FO_COPY, folder + "/uno.txt", folder + "/destinazione", 0, &aborted), 1223);
    EXPECT_TRUE(aborted);
    EXPECT_EQ(asked, (std::vector<std::string>{folder + "/destinazione/uno.txt"}));
    EXPECT_EQ(ReadTestFile(folder + "/destinazione/uno.txt"), "1");

    ui->ConfirmReplace = nullptr;
    ui->Progress = [](const std::string&, int, int) { return false; };
    EXPECT_EQ(Run(FO_DELETE, folder + "/quattro.dat", "", 0, &aborted), 1223);
    EXPECT_TRUE(aborted);
    EXPECT_TRUE(fs::exists(folder + "/quattro.dat"));
}

TEST_F(ShellExecute, BareProgramNamesAreFoundOnThePath)
{
    const std::string output = folder + "/bare.txt";
    WriteScript(folder + "/bin/programma-sul-path", "printf '%s' \"$1\" > '" + output + "'\nexit 4\n");
    SHELLEXECUTEINFOA info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = "programma-sul-path";
    info.lpParameters = "\"a b\"";
    ASSERT_TRUE(ShellExecuteExA(&info));
    ASSERT_NE(info.hProcess, nullptr);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    EXPECT_EQ(code, 4u);
    EXPECT_EQ(ReadTestFile(output), "a b");
    // A name with a folder part is never searched for, and a missing name stays missing.
    EXPECT_EQ(Code(ShellExecuteA(nullptr, nullptr, "sub/programma-sul-path", nullptr, nullptr, 1)), 3u);
    EXPECT_EQ(Code(ShellExecuteA(nullptr, nullptr, "programma-che-non-esiste", nullptr, nullptr, 1)), 2u);
    EXPECT_FALSE(fs::exists(record));
}
