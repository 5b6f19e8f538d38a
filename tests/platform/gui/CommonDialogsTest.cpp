// Common dialogs through the dialog service, and the Qt file dialog.

#include "GuiTestSupport.h"

#include "platform/gui/CheckBox.h"
#include "platform/gui/CommonDialogs.h"
#include "platform/gui/Edit.h"
#include "platform/gui/FindDialogs.h"
#include "platform/gui/Form.h"
#include "platform/gui/WindowHandles.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QTest>
#include <QWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

namespace {

std::filesystem::path TempFolder(const std::string& name)
{
    auto folder = std::filesystem::temp_directory_path() / ("tess-gui3-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

// The Qt file dialog lists its folder on a thread of its own: act once the open dialog's list holds
// at least rows entries (or after 15 s, when the check will show what is missing).
std::unique_ptr<QTimer> WhenTheFileDialogHasListed(int rows, std::function<void(QFileDialog*, QAbstractItemView*)> act)
{
    auto poll = std::make_unique<QTimer>();
    auto waited = std::make_shared<QElapsedTimer>();
    waited->start();
    QTimer* timer = poll.get();
    QObject::connect(timer, &QTimer::timeout, [timer, waited, rows, act] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* view = dialog ? dialog->findChild<QAbstractItemView*>("listView") : nullptr;
        if (!view || (view->model()->rowCount(view->rootIndex()) < rows && waited->elapsed() < 15000))
            return;
        timer->stop();
        act(dialog, view);
    });
    timer->start(50);
    return poll;
}

QStringList ListedFiles(QAbstractItemView* view)
{
    QStringList listed;
    QAbstractItemModel* model = view->model();
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < model->rowCount(root); ++row)
        listed << model->index(row, 0, root).data().toString();
    listed.sort();
    return listed;
}

TEST(FileDialogs, DefaultExtensionAndFilterIndexComeBack)
{
    TScriptedScope scope;
    TSaveDialog dialog(nullptr);
    dialog.Filter = "File PDF (*.pdf)|*.PDF|File RTF (*.rtf)|*.RTF";
    dialog.SetDefaultExt("pdf");
    scope.Dialogs().Expect(TDialogKind::SaveFile, TDialogAnswer::File("documento", 2));
    ASSERT_TRUE(dialog.Execute());
    EXPECT_TRUE(dialog.FileName.size() >= 13 && dialog.FileName.substr(dialog.FileName.size() - 13) == "documento.pdf")
        << dialog.FileName;
    EXPECT_EQ(dialog.FilterIndex, 2);
    EXPECT_EQ(scope.Dialogs().Requests().front().File.Title, "Salva con nome");

    dialog.SetDefaultExt("*.aft");
    scope.Dialogs().Expect(TDialogKind::SaveFile, TDialogAnswer::File("x"));
    ASSERT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.FileName, "x.aft");
    EXPECT_FALSE(dialog.Options.Contains(ofExtensionDifferent));
    scope.Dialogs().Expect(TDialogKind::SaveFile, TDialogAnswer::File("x.txt"));
    ASSERT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.FileName, "x.txt");
    EXPECT_TRUE(dialog.Options.Contains(ofExtensionDifferent));
    EXPECT_TRUE(scope.Dialogs().Satisfied());
}

TEST(FileDialogs, OverwriteQuestionAnsweredNoAsksAgain)
{
    const auto folder = TempFolder("overwrite");
    const std::string existing = (folder / "esiste.pdf").string();
    std::ofstream(existing) << "x";
    TScriptedScope scope;
    TSaveDialog dialog(nullptr);
    dialog.Options.Include(ofOverwritePrompt);
    TDialogAnswer cancel;
    cancel.Accepted = false;
    scope.Dialogs()
        .Expect(TDialogKind::SaveFile, TDialogAnswer::File(existing))
        .Expect(TDialogKind::MessageBox, TDialogAnswer::Code(IDNO), "Sostituirlo?")
        .Expect(TDialogKind::SaveFile, cancel);
    EXPECT_FALSE(dialog.Execute());
    EXPECT_TRUE(scope.Dialogs().Satisfied());
    const auto requests = scope.Dialogs().Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1].Text, "Il file " + existing + " esiste gi\xE0.\nSostituirlo?");
    std::filesystem::remove_all(folder);
}

// A service that answers the font request as a person would in the Qt dialog.
class TFontAnswer : public TScriptedDialogs {
public:
    bool ChooseFont(FontDialogRequest& request) override
    {
        request.Font.SetName("Liberation Sans");
        request.Font.SetSize(12);
        request.Font.SetStyle(TFontStyles{fsBold});
        return true;
    }
};

TEST(FontDialogs, SubstituteFamilyComesBackByItsWindowsName)
{
    auto previous = SetDialogService(std::make_unique<TFontAnswer>());
    TFontDialog dialog(nullptr);
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.Font()->Name(), "Arial");
    EXPECT_EQ(dialog.Font()->Size(), 12);
    EXPECT_TRUE(dialog.Font()->Style().Contains(fsBold));
    SetDialogService(std::move(previous));
}

TEST(FileDialogs, QtDialogMatchesMasksWithoutCaseAndReturnsTheTypedFile)
{
    const auto folder = TempFolder("qtdialog");
    for (const char* name : {"FATTURA.PDF", "nota.pdf", "a.txt"})
        std::ofstream((folder / name).string()) << "x";
    FileDialogRequest request;
    request.Title = "Apri";
    request.Filter = "File PDF (*.pdf)|*.PDF";
    request.InitialDir = folder.string();
    QStringList listed;
    QString filterShown;
    const auto poll = WhenTheFileDialogHasListed(2, [&](QFileDialog* dialog, QAbstractItemView* view) {
        if (auto* combo = dialog->findChild<QComboBox*>("fileTypeCombo"))
            filterShown = combo->currentText();
        listed = ListedFiles(view);
        if (auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit")) {
            edit->setText("nota.pdf");
            QTest::keyClick(edit, Qt::Key_Return);
        }
    });
    ASSERT_TRUE(QtOpenFileDialog(request, false));
    EXPECT_EQ(request.FileName, (folder / "nota.pdf").string());
    EXPECT_EQ(listed, (QStringList{"FATTURA.PDF", "nota.pdf"}));
    EXPECT_EQ(filterShown, QString("File PDF (*.pdf)"));
    std::filesystem::remove_all(folder);
}

TEST(FolderDialogs, BrowseCallbackPreselectsAndTheChosenFolderComesBackAsAPath)
{
    const auto folder = TempFolder("browse");
    const std::string preselected = (folder / "x").string();
    const std::string chosen = (folder / "y").string();
    std::filesystem::create_directories(preselected);
    std::filesystem::create_directories(chosen);
    TScriptedScope scope;
    TDialogAnswer answer;
    answer.Folder = chosen;
    TDialogAnswer cancel;
    cancel.Accepted = false;
    scope.Dialogs().Expect(TDialogKind::SelectFolder, answer).Expect(TDialogKind::SelectFolder, cancel);

    char displayName[MAX_PATH] = "";
    std::vector<UINT> seen;
    std::string selectionReported;
    bool byItemList = false;
    BROWSEINFOA info;
    info.pszDisplayName = displayName;
    info.lpszTitle = "Scegli la cartella";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS;
    info.lParam = 77;
    info.lpfn = [&](HWND window, UINT message, LPARAM lParam, LPARAM data) {
        EXPECT_EQ(data, 77);
        seen.push_back(message);
        if (message == BFFM_INITIALIZED) {
            if (byItemList) {
                LPITEMIDLIST list = ILCreateFromPathA(preselected.c_str());
                SendMessageA(window, BFFM_SETSELECTION, FALSE, reinterpret_cast<LPARAM>(list));
                ILFree(list);
            } else {
                SendMessageA(window, BFFM_SETSELECTION, TRUE, reinterpret_cast<LPARAM>(preselected.c_str()));
            }
        }
        char path[MAX_PATH];
        if (message == BFFM_SELCHANGED && SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(lParam), path))
            selectionReported = path;
        return 0;
    };
    LPITEMIDLIST result = SHBrowseForFolderA(&info);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(seen, (std::vector<UINT>{BFFM_INITIALIZED, BFFM_SELCHANGED}));
    EXPECT_EQ(selectionReported, preselected);
    char path[MAX_PATH];
    ASSERT_TRUE(SHGetPathFromIDListA(result, path));
    EXPECT_EQ(std::string(path), chosen);
    EXPECT_STREQ(displayName, "y");
    LPMALLOC allocator = nullptr;
    ASSERT_EQ(SHGetMalloc(&allocator), S_OK);
    allocator->Free(result);
    allocator->Release();

    // A selection given as an item list; cancelling gives no item list.
    byItemList = true;
    EXPECT_EQ(SHBrowseForFolderA(&info), nullptr);
    // Browsing for computers never asks.
    info.ulFlags = BIF_BROWSEFORCOMPUTER;
    EXPECT_EQ(SHBrowseForFolderA(&info), nullptr);
    const auto requests = scope.Dialogs().Requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& request : requests) {
        EXPECT_EQ(request.Kind, TDialogKind::SelectFolder);
        EXPECT_EQ(request.Caption, "Scegli la cartella");
        EXPECT_EQ(request.Text, preselected);
    }
    EXPECT_TRUE(scope.Dialogs().Satisfied());
    std::filesystem::remove_all(folder);
}

TEST(FileDialogs, QtDialogFallsBackForAMissingFolderAndOddOrEmptyFilters)
{
    const auto folder = TempFolder("badfilters");
    for (const char* name : {"a.txt", "IMMAGINI", "b.pdf"})
        std::ofstream((folder / name).string()) << "x";
    const struct {
        const char* Name;
        std::string Filter;
        int FilterIndex;
        std::string InitialDir;
        QString ExpectedDir;
        QStringList ExpectedFilters; // as the filter combo shows them
        QStringList ExpectedFiles;   // empty: not checked
    } cases[] = {
        {"a missing folder opens the home folder", "File PDF (*.pdf)|*.PDF", 1, (folder / "manca").string(),
         QDir::homePath(), {"File PDF (*.pdf)"}, {}},
        {"an odd field count takes the last description as its mask", "Testo (*.txt)|*.txt|Immagini", 2,
         folder.string(), QString::fromStdString(folder.string()), {"Testo (*.txt)", "Immagini"}, {"IMMAGINI"}},
        {"an empty filter shows every file", "", 1, folder.string(), QString::fromStdString(folder.string()),
         {"Tutti i file"}, {"IMMAGINI", "a.txt", "b.pdf"}},
    };
    for (const auto& c : cases) {
        FileDialogRequest request;
        request.Title = "Apri";
        request.Filter = c.Filter;
        request.FilterIndex = c.FilterIndex;
        request.InitialDir = c.InitialDir;
        QString shownDir;
        QStringList shownFilters;
        QStringList listed;
        const auto poll = WhenTheFileDialogHasListed(
            static_cast<int>(c.ExpectedFiles.size()), [&](QFileDialog* dialog, QAbstractItemView* view) {
                shownDir = dialog->directory().absolutePath();
                if (auto* combo = dialog->findChild<QComboBox*>("fileTypeCombo"))
                    for (int i = 0; i < combo->count(); ++i)
                        shownFilters << combo->itemText(i);
                listed = ListedFiles(view);
                dialog->reject();
            });
        EXPECT_FALSE(QtOpenFileDialog(request, false)) << c.Name;
        EXPECT_EQ(shownDir, c.ExpectedDir) << c.Name;
        EXPECT_EQ(shownFilters, c.ExpectedFilters) << c.Name;
        if (!c.ExpectedFiles.isEmpty()) {
            EXPECT_EQ(listed, c.ExpectedFiles) << c.Name;
        }
    }
    std::filesystem::remove_all(folder);
}

TEST(FindDialogs, FindNextReportsTextAndOptionsWhileTheOwnerStaysUsable)
{
    auto* owner = TForm::Create<TForm>(nullptr);
    owner->SetBounds(100, 100, 300, 200);
    auto* ownerEdit = new TEdit(owner);
    ownerEdit->SetParent(owner);
    ShowAndActivate(owner);
    auto* dialogPtr = new TFindDialog(owner);
    TFindDialog& dialog = *dialogPtr;
    std::string found;
    TFindOptions options;
    int finds = 0;
    dialog.OnFind = [&](TObject*) {
        ++finds;
        found = dialog.FindText();
        options = dialog.Options;
    };
    ASSERT_TRUE(dialog.Execute());
    TForm* form = dialog.DialogForm();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->Caption(), "Trova");
    TEdit* edit = nullptr;
    TCheckBox* matchCase = nullptr;
    TButton* findNext = nullptr;
    for (int i = 0; i < form->ComponentCount(); ++i) {
        TComponent* c = form->Components(i);
        if (auto* e = dynamic_cast<TEdit*>(c))
            edit = e;
        if (auto* b = dynamic_cast<TCheckBox*>(c); b && b->Caption() == "&Maiuscole/minuscole")
            matchCase = b;
        if (auto* b = dynamic_cast<TButton*>(c); b && b->Caption() == "Trova &successivo")
            findNext = b;
    }
    ASSERT_TRUE(edit && matchCase && findNext);
    QTest::keyClicks(Widget(edit), "totale");
    QTest::mouseClick(Widget(matchCase), Qt::LeftButton, {}, QPoint(5, 8));
    QTest::mouseClick(Widget(findNext), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(finds, 1);
    EXPECT_EQ(found, "totale");
    EXPECT_EQ(options, (TFindOptions{frMatchCase, frDown, frFindNext}));
    // The owner still takes input while the dialog is open.
    ownerEdit->SetFocus();
    QTest::keyClicks(Widget(ownerEdit), "ok");
    EXPECT_EQ(ownerEdit->Text(), "ok");
    dialog.CloseDialog();
    EXPECT_EQ(dialog.FindText(), "totale");
    Pump(20);
    TComponent::Free(owner);
}

} // namespace
