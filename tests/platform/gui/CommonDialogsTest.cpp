// Common dialogs through the dialog service, and the Qt file dialog.

#include "GuiTestSupport.h"

#include "platform/gui/CheckBox.h"
#include "platform/gui/CommonDialogs.h"
#include "platform/gui/Edit.h"
#include "platform/gui/FindDialogs.h"
#include "platform/gui/Form.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QTest>
#include <QWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

std::filesystem::path TempFolder(const std::string& name)
{
    auto folder = std::filesystem::temp_directory_path() / ("tess-gui3-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
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
    QTimer::singleShot(300, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        if (auto* combo = dialog->findChild<QComboBox*>("fileTypeCombo"))
            filterShown = combo->currentText();
        if (auto* view = dialog->findChild<QAbstractItemView*>("listView")) {
            QAbstractItemModel* model = view->model();
            const QModelIndex root = view->rootIndex();
            for (int row = 0; row < model->rowCount(root); ++row)
                listed << model->index(row, 0, root).data().toString();
        }
        if (auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit")) {
            edit->setText("nota.pdf");
            QTest::keyClick(edit, Qt::Key_Return);
        }
    });
    ASSERT_TRUE(QtOpenFileDialog(request, false));
    EXPECT_EQ(request.FileName, (folder / "nota.pdf").string());
    listed.sort();
    EXPECT_EQ(listed, (QStringList{"FATTURA.PDF", "nota.pdf"}));
    EXPECT_EQ(filterShown, QString("File PDF (*.pdf)"));
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
