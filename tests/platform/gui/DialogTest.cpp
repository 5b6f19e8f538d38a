#include "GuiTestSupport.h"

#include "platform/gui/DialogService.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

TEST(ScriptedDialogsTest, RecordsRequestsAndAnswersFromTheQueue)
{
    TScriptedScope scripted;
    scripted.Dialogs().Expect(TDialogKind::MessageBox, TDialogAnswer::Code(IDYES), "eliminazione");
    EXPECT_EQ(MessageBox(nullptr, "Eliminare la fattura?", "Conferma eliminazione", MB_YESNO | MB_ICONQUESTION), IDYES);
    auto requests = scripted.Dialogs().Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Caption, "Conferma eliminazione");
    EXPECT_EQ(requests[0].Text, "Eliminare la fattura?");
    EXPECT_EQ(requests[0].Icon, MB_ICONQUESTION);
    EXPECT_EQ(requests[0].Buttons, MB_YESNO);
    EXPECT_TRUE(scripted.Dialogs().Satisfied());

    // Unexpected requests are failures answered with the cancel answer of their kind.
    EXPECT_EQ(MessageBox(nullptr, "Altro?", "Domanda", MB_YESNOCANCEL), IDCANCEL);
    EXPECT_EQ(MessageDlg("Salvare?", mtConfirmation, mbYesNoCancel, 0), mrCancel);
    std::string value = "vecchio";
    EXPECT_FALSE(InputQuery("Titolo", "Valore", value));
    EXPECT_EQ(value, "vecchio");
    EXPECT_EQ(scripted.Dialogs().Failures().size(), 3u);
    EXPECT_FALSE(scripted.Dialogs().Satisfied());
}

TEST(ScriptedDialogsTest, MessageBoxOfTheOperatingSystemLayerPassesThroughTheService)
{
    TScriptedScope scripted;
    scripted.Dialogs().AnswerAll(TDialogKind::MessageBox, TDialogAnswer::Code(IDRETRY));
    EXPECT_EQ(MessageBoxA(nullptr, "Disco pieno", "Archivio", MB_RETRYCANCEL), IDRETRY);
    EXPECT_EQ(MessageBoxA(nullptr, "Ancora", "Archivio", MB_RETRYCANCEL), IDRETRY);
    EXPECT_EQ(scripted.Dialogs().Requests().size(), 2u);
}

TEST(ScriptedDialogsTest, MessageDialogsTakeTheirCaptionFromTheType)
{
    TScriptedScope scripted;
    scripted.Dialogs().AnswerAll(TDialogKind::MessageDlg, TDialogAnswer::Code(mrOk));
    scripted.Dialogs().Expect(TDialogKind::InputQuery, TDialogAnswer::Input("Rossi"));
    MessageDlg("a", mtWarning, {mbOK}, 0);
    MessageDlg("b", mtError, {mbOK}, 0);
    MessageDlg("c", mtInformation, {mbOK}, 0);
    MessageDlg("d", mtConfirmation, mbYesNo, 0);
    ShowMessage("e");
    EXPECT_EQ(InputBox("Cliente", "Nome", "Bianchi"), "Rossi");
    EXPECT_EQ(InputBox("Cliente", "Nome", "Bianchi"), "Bianchi");
    auto requests = scripted.Dialogs().Requests();
    ASSERT_GE(requests.size(), 5u);
    EXPECT_EQ(requests[0].Caption, "Attenzione");
    EXPECT_EQ(requests[1].Caption, "Errore");
    EXPECT_EQ(requests[2].Caption, "Informazione");
    EXPECT_EQ(requests[3].Caption, "Conferma");
    EXPECT_EQ(requests[3].DlgDefault, mrYes);
    EXPECT_EQ(requests[4].Caption, Application->Title());
    EXPECT_EQ(MessageDlgCancelResult(mbYesNo), mrNo);
    EXPECT_EQ(MessageDlgCancelResult(mbYesNoCancel), mrCancel);
}

// The Qt service under the offscreen platform, answered by a timer acting on the open box.
template <typename Action>
void WhenModalOpens(Action action)
{
    QTimer::singleShot(50, [action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal)
            action(modal);
    });
}

TEST(QtDialogsTest, MessageBoxButtonsDefaultAndEscape)
{
    TQtDialogService service;
    QStringList texts;
    WhenModalOpens([&](QWidget* box) {
        for (QPushButton* button : box->findChildren<QPushButton*>())
            texts << button->text();
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_EQ(service.MessageBox(nullptr, "Salvare le modifiche?", "Fattura", MB_YESNOCANCEL | MB_DEFBUTTON2), IDNO);
    EXPECT_TRUE(texts.contains(QString::fromUtf8("&S\xC3\xAC")));
    EXPECT_TRUE(texts.contains("&No"));
    EXPECT_TRUE(texts.contains("Annulla"));
    WhenModalOpens([](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
    EXPECT_EQ(service.MessageBox(nullptr, "Procedere?", "Fattura", MB_OKCANCEL), IDCANCEL);
}

TEST(QtDialogsTest, MessageDlgCaptionAndInputQuery)
{
    TQtDialogService service;
    QString caption;
    WhenModalOpens([&](QWidget* box) {
        caption = box->windowTitle();
        QTest::keyClick(box, Qt::Key_Return);
    });
    MessageDlgRequest request;
    request.Text = "Attenzione al totale";
    request.Type = mtWarning;
    request.Buttons = {mbOK};
    EXPECT_EQ(service.MessageDlg(request), mrOk);
    EXPECT_EQ(caption, "Attenzione");

    WhenModalOpens([](QWidget* dialog) {
        QLineEdit* edit = dialog->findChild<QLineEdit*>();
        edit->selectAll();
        QTest::keyClicks(edit, "abc");
        QTest::keyClick(edit, Qt::Key_Return);
    });
    std::string value = "vecchio";
    EXPECT_TRUE(service.InputQuery("Titolo", "Valore", value));
    EXPECT_EQ(value, "abc");
    WhenModalOpens([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
    value = "vecchio";
    EXPECT_FALSE(service.InputQuery("Titolo", "Valore", value));
    EXPECT_EQ(value, "vecchio");
}

} // namespace
