// The file-name and folder edits: scripted dialogs, quoting, command-line texts, drops of files
// and the folder list; a form with both edits is grabbed for a person to look at.

#include "ButtonsTestSupport.h"
#include "ControlsTestSupport.h"

#include "controls/ToolEdit.h"
#include "platform/gui/Grab.h"
#include "platform/gui/InputTranslation.h"
#include "platform/gui/ScriptedDialogs.h"
#include "platform/os/Volumes.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class EditScene : public testing::Test {
protected:
    void SetUp() override
    {
        scripted = new TScriptedDialogs;
        previous = SetDialogService(std::unique_ptr<IDialogService>(scripted));
        folder = TestFolder();
    }
    void TearDown() override
    {
        EXPECT_TRUE(scripted->Failures().empty());
        auto mine = SetDialogService(std::move(previous));
    }
    void Touch(const std::string& path)
    {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path) << "x";
    }
    void Drop(TWinControl* edit, const std::vector<std::string>& names)
    {
        HDROP drop = CreateDrop(names, Point(2, 2));
        edit->Perform(WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    }
    TDialogRequestRecord LastRequest() const { return scripted->Requests().back(); }

    TScriptedDialogs* scripted = nullptr;
    std::unique_ptr<IDialogService> previous;
    std::string folder;
    TButtonScene scene{360, 120};
};

} // namespace

TEST_F(EditScene, FileDialogAnswersAreQuotedWhenTheyHoldBlanks)
{
    auto* edit = new TFilenameEdit(scene.Form());
    edit->SetParent(scene.Form());
    edit->SetFilter("All files (*.*)|*.*|File CSV (*.CSV)|*.CSV");
    edit->SetFilterIndex(2);
    int changes = 0;
    edit->OnChange = [&](TObject*) { ++changes; };
    const std::string spaced = folder + "/a b/x.csv";
    Touch(spaced);
    scripted->Expect(TDialogKind::OpenFile, TDialogAnswer::File(spaced, 2));
    const UINT modeBefore = SetErrorMode(0);
    SetErrorMode(modeBefore);
    edit->DoClick();
    EXPECT_EQ(SetErrorMode(modeBefore), modeBefore) << "the error mode is restored";
    EXPECT_EQ(edit->Text(), "\"" + spaced + "\"");
    EXPECT_EQ(edit->GetFileName(), spaced);
    EXPECT_GE(changes, 1);
    TDialogRequestRecord request = LastRequest();
    EXPECT_EQ(request.File.Title, "Browse");
    EXPECT_EQ(request.File.Filter, "All files (*.*)|*.*|File CSV (*.CSV)|*.CSV");
    EXPECT_EQ(request.File.FilterIndex, 2);

    // The next dialog starts in the chosen file's folder with its name.
    const std::string plain = folder + "/dati.csv";
    Touch(plain);
    scripted->Expect(TDialogKind::OpenFile, TDialogAnswer::File(plain, 2));
    edit->DoClick();
    request = LastRequest();
    EXPECT_EQ(fs::path(request.File.InitialDir), fs::path(folder + "/a b/"));
    EXPECT_EQ(request.File.FileName.empty() ? request.File.FileName : fs::path(request.File.FileName).filename().string(),
              "x.csv");
    EXPECT_EQ(edit->Text(), plain);

    // A cancelled dialog keeps the text; OnBeforeDialog may stop it before it shows.
    TDialogAnswer cancel;
    cancel.Accepted = false;
    scripted->Expect(TDialogKind::OpenFile, cancel);
    edit->DoClick();
    EXPECT_EQ(edit->Text(), plain);
    edit->OnBeforeDialog = [](TObject*, std::string&, bool& action) { action = false; };
    const std::size_t asked = scripted->Requests().size();
    edit->DoClick();
    EXPECT_EQ(scripted->Requests().size(), asked);
}

TEST_F(EditScene, FileNamesTypedSetAndChecked)
{
    auto* edit = new TFilenameEdit(scene.Form());
    edit->SetParent(scene.Form());
    struct TCase {
        std::string Typed;
        std::string FileName;
    };
    Touch(folder + "/con spazio.txt");
    const TCase cases[] = {
        {"Stampigno.exe -x y", "Stampigno.exe"},
        {"\"c:\\Programmi\\Tessellarium\\prog.exe\" /s", "c:\\Programmi\\Tessellarium\\prog.exe"},
        {folder + "/con spazio.txt", folder + "/con spazio.txt"},
        {"", ""},
    };
    for (const TCase& c : cases) {
        edit->SetText(c.Typed);
        EXPECT_EQ(edit->GetFileName(), c.FileName) << c.Typed;
    }
    edit->SetFileName("semplice.csv");
    EXPECT_EQ(edit->Text(), "semplice.csv");
    edit->SetFileName("due parole.csv");
    EXPECT_EQ(edit->Text(), "\"due parole.csv\"");
    edit->SetFileName("");
    EXPECT_EQ(edit->Text(), "");
    try {
        edit->SetFileName("a|b");
        ADD_FAILURE() << "no exception";
    } catch (const EComboEditError& error) {
        EXPECT_EQ(error.Message, "Invalid file name - a|b");
    }
    EXPECT_EQ(QuoteFileNameText("\"gi\xE0 quotato\""), "\"gi\xE0 quotato\"");
}

TEST_F(EditScene, DialogKindChangesKeepTheSettings)
{
    TFilenameEdit edit(nullptr);
    EXPECT_EQ(edit.Filter(), "All files (*.*)|*.*");
    EXPECT_EQ(edit.DialogTitle(), "Browse");
    EXPECT_EQ(edit.DialogOptions(), TOpenOptions{ofHideReadOnly});
    edit.SetFilter("File CSV (*.CSV)|*.CSV");
    edit.SetDialogTitle("Scegli il file");
    edit.SetDialogOptions(TOpenOptions{ofHideReadOnly, ofFileMustExist});
    edit.SetInitialDir(folder);
    edit.SetDefaultExt("csv");
    edit.SetFilterIndex(3);
    for (TFileDialogKind kind : {FileDirEdit::dkSave, FileDirEdit::dkOpenPicture, FileDirEdit::dkSavePicture,
                                 FileDirEdit::dkOpen}) {
        edit.SetDialogKind(kind);
        EXPECT_EQ(edit.DialogKind(), kind);
        EXPECT_EQ(edit.Filter(), "File CSV (*.CSV)|*.CSV");
        EXPECT_EQ(edit.DialogTitle(), "Scegli il file");
        EXPECT_EQ(edit.DialogOptions(), (TOpenOptions{ofHideReadOnly, ofFileMustExist}));
        EXPECT_EQ(edit.InitialDir(), folder);
        EXPECT_EQ(edit.DefaultExt(), "csv");
        EXPECT_EQ(edit.FilterIndex(), 3);
    }
    edit.SetDialogKind(FileDirEdit::dkSave);
    EXPECT_NE(dynamic_cast<TSaveDialog*>(edit.Dialog()), nullptr);
    EXPECT_EQ(dynamic_cast<TOpenPictureDialog*>(edit.Dialog()), nullptr);
}

TEST_F(EditScene, DroppedFilesArriveWhole)
{
    auto* single = new TFilenameEdit(scene.Form());
    single->SetParent(scene.Form());
    single->SetAcceptFiles(true);
    int drops = 0;
    single->OnDropFiles = [&](TObject*) { ++drops; };
    const std::vector<std::string> three = {folder + "/uno.csv", folder + "/due due.csv", folder + "/tre.csv"};
    Drop(single, three);
    EXPECT_EQ(single->GetFileName(), three[0]);
    EXPECT_EQ(drops, 1);
    EXPECT_EQ(single->DialogFiles()->Count(), 0);

    auto* multiple = new TFilenameEdit(scene.Form());
    multiple->SetParent(scene.Form());
    multiple->SetDialogOptions(TOpenOptions{ofHideReadOnly, ofAllowMultiSelect});
    Drop(multiple, three);
    EXPECT_EQ(multiple->GetFileName(), three[0]);
    ASSERT_EQ(multiple->DialogFiles()->Count(), 3);
    EXPECT_EQ(multiple->DialogFiles()->Strings(1), three[1]);

    // Long paths, newlines and names that do not exist are taken as text, never cut.
    const std::string thousand = folder + "/" + std::string(1000 - folder.size() - 1, 'n');
    const std::string deep = "/" + std::string(1000, 'a') + "/" + std::string(1000, 'b') + "/" +
                             std::string(1000, 'c') + "/" + std::string(996, 'd');
    for (const std::string& name : {thousand, deep, folder + "/riga\nnuova.csv"}) {
        Drop(multiple, {name});
        EXPECT_EQ(multiple->DialogFiles()->Strings(0), name);
        EXPECT_EQ(multiple->DialogFiles()->Count(), 1);
    }
    EXPECT_EQ(thousand.size(), 1000u);
    EXPECT_EQ(deep.size(), 4000u);
    Drop(single, {deep});
    EXPECT_EQ(single->GetFileName(), deep);
}

TEST_F(EditScene, FolderEditsChooseAndJoinFolders)
{
    auto* edit = new TDirectoryEdit(scene.Form());
    edit->SetParent(scene.Form());
    fs::create_directories(folder + "/Alfa");
    fs::create_directories(folder + "/Beta");

    // An empty text opens the dialog at the root, then at InitialDir once there is one.
    TDialogAnswer first;
    first.Folder = folder + "/Alfa";
    scripted->Expect(TDialogKind::SelectFolder, first);
    edit->DoClick();
    EXPECT_EQ(LastRequest().Text, "\\");
    EXPECT_EQ(edit->Text(), folder + "/Alfa");
    EXPECT_EQ(edit->InitialDir, folder + "/Alfa");
    edit->SetText("");
    TDialogAnswer cancel;
    cancel.Accepted = false;
    scripted->Expect(TDialogKind::SelectFolder, cancel);
    edit->DoClick();
    EXPECT_EQ(LastRequest().Text, folder + "/Alfa");

    // With several folders a second choice is appended after ";".
    edit->SetMultipleDirs(true);
    edit->SetText(folder + "/Alfa");
    TDialogAnswer second;
    second.Folder = folder + "/Beta";
    scripted->Expect(TDialogKind::SelectFolder, second);
    edit->DoClick();
    EXPECT_EQ(edit->Text(), folder + "/Alfa;" + folder + "/Beta");
    // Each part is converted on its own; empty parts add no separator.
    edit->SetText(folder + "/Alfa;;" + folder + "/Beta;");
    EXPECT_EQ(edit->GetLongName(), folder + "/Alfa;" + folder + "/Beta");
    EXPECT_EQ(edit->GetShortName(), folder + "/Alfa;" + folder + "/Beta");

    // The shell's browser shows the dialog text.
    edit->SetText("");
    edit->InitialDir.clear();
    edit->DialogKind = FileDirEdit::dkWin32;
    edit->DialogText = "Cartella dei dati";
    scripted->Expect(TDialogKind::SelectFolder, second);
    edit->DoClick();
    EXPECT_EQ(LastRequest().Caption, "Cartella dei dati");
    EXPECT_EQ(edit->Text(), folder + "/Beta");

    // A dropped file gives its folder; a missing name is taken as it is.
    Touch(folder + "/Beta/dati.csv");
    edit->SetMultipleDirs(false);
    Drop(edit, {folder + "/Beta/dati.csv"});
    EXPECT_EQ(fs::path(edit->Text()), fs::path(folder + "/Beta/"));
    Drop(edit, {folder + "/Gamma"});
    EXPECT_EQ(edit->Text(), folder + "/Gamma");
}

TEST(FileEditsDemo, FileAndFolderEditsOnAForm)
{
    TButtonScene scene(360, 110);
    TForm* form = scene.Form();
    AddLabel(form, 16, 24, "File CSV");
    auto* file = new TFilenameEdit(form);
    file->SetParent(form);
    file->SetBounds(110, 20, 230, 21);
    file->SetFileName("/home/utente/Documenti/clienti 2024.csv");
    AddLabel(form, 16, 64, "Cartella");
    auto* directory = new TDirectoryEdit(form);
    directory->SetParent(form);
    directory->SetBounds(110, 60, 230, 21);
    directory->SetText("/home/utente/Documenti");
    scene.ShowAndActivate();
    PumpFor(20);
    TBitmap picture;
    ASSERT_TRUE(GrabToBitmap(form, &picture));
    const std::string bmp = ButtonsPictureDir() + "/controls-file-edits.bmp";
    picture.SaveToFile(bmp);
    const std::string png = ButtonsPictureDir() + "/controls-file-edits.png";
    EXPECT_TRUE(QImage(QString::fromStdString(bmp)).save(QString::fromStdString(png)));
    std::remove(bmp.c_str());
    std::printf("picture: %s\n", png.c_str());
}
