#include "GuiTestSupport.h"

#include "platform/gui/DialogService.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <bit>
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

// The Qt service under the offscreen platform, answered by a timer acting on the open box. The
// timer looks again until the box is open, so a slow machine cannot leave the test waiting.
template <typename Action>
void WhenModalOpens(Action action, int triesLeft = 500)
{
    QTimer::singleShot(20, [action, triesLeft] {
        if (QWidget* modal = QApplication::activeModalWidget())
            action(modal);
        else if (triesLeft > 0)
            WhenModalOpens(action, triesLeft - 1);
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

// Escape and the close box: the cancelling button where there is one, OK alone, and nothing for
// boxes that must be answered (the box stays open and Enter then picks the default button).
TEST(QtDialogsTest, EscapeAndTheCloseBoxFollowTheButtons)
{
    struct TCase {
        UINT Flags;
        bool Close; // the close box instead of Escape
        int Expected;
    };
    const TCase cases[] = {
        {MB_OK, false, IDOK},
        {MB_OKCANCEL, true, IDCANCEL},
        {MB_RETRYCANCEL, false, IDCANCEL},
        {MB_YESNOCANCEL | MB_DEFBUTTON2, true, IDCANCEL},
        {MB_YESNO, false, IDYES},
        {MB_YESNO | MB_DEFBUTTON2, true, IDNO},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, false, IDIGNORE},
    };
    TQtDialogService service;
    for (const TCase& c : cases) {
        bool stayedOpen = false;
        WhenModalOpens([&](QWidget* box) {
            if (c.Close)
                box->close();
            else
                QTest::keyClick(box, Qt::Key_Escape);
            QTimer::singleShot(30, box, [&stayedOpen, box] {
                stayedOpen = box->isVisible();
                if (stayedOpen)
                    QTest::keyClick(box, Qt::Key_Return);
            });
        });
        EXPECT_EQ(service.MessageBox(nullptr, "Domanda", "Fattura", c.Flags), c.Expected) << std::hex << c.Flags;
        EXPECT_EQ(stayedOpen, MessageBoxCancelAnswer(c.Flags) == 0) << std::hex << c.Flags;
    }
}

TEST(QtDialogsTest, MessageDialogButtonsDefaultsAndEscape)
{
    struct TCase {
        TMsgDlgButtons Buttons;
        Qt::Key Key;
        int Expected;
    };
    const TCase cases[] = {
        {mbYesNoCancel, Qt::Key_Return, mrYes},
        {mbYesNoCancel, Qt::Key_Escape, mrCancel},
        {mbYesNo, Qt::Key_Escape, mrNo},
        {mbOKCancel, Qt::Key_Return, mrOk},
        {TMsgDlgButtons{mbYes, mbNo, mbAll, mbNoToAll, mbYesToAll}, Qt::Key_Return, mrYes},
        {TMsgDlgButtons{mbRetry, mbOK}, Qt::Key_Escape, mrOk},
    };
    TQtDialogService service;
    for (const TCase& c : cases) {
        QStringList texts;
        WhenModalOpens([&](QWidget* box) {
            for (QPushButton* button : box->findChildren<QPushButton*>())
                texts << button->text();
            QTest::keyClick(box, c.Key);
        });
        MessageDlgRequest request;
        request.Text = "Sovrascrivere?";
        request.Type = mtConfirmation;
        request.Buttons = c.Buttons;
        EXPECT_EQ(service.MessageDlg(request), c.Expected);
        EXPECT_EQ(texts.size(), static_cast<qsizetype>(std::popcount(c.Buttons.Bits())));
        if (c.Buttons.Contains(mbYesToAll)) {
            EXPECT_TRUE(texts.contains("&Tutti"));
            EXPECT_TRUE(texts.contains("N&o a tutti"));
            EXPECT_TRUE(texts.contains(QString::fromUtf8("S\xC3\xAC a t&utti")));
        }
    }
}

// Lone ampersands and the bytes 0x80-0x9F reach the box whole, converted from Windows-1252.
TEST(QtDialogsTest, TextsAreShownWhole)
{
    TQtDialogService service;
    QString caption;
    QString shown;
    WhenModalOpens([&](QWidget* box) {
        caption = box->windowTitle();
        for (QLabel* label : box->findChildren<QLabel*>())
            if (label->text().contains("Totale"))
                shown = label->text();
        QTest::keyClick(box, Qt::Key_Return);
    });
    std::string text = "Totale \x80 100 & IVA \x96 \x85 \x93ok\x94";
    const std::string caption1252 = "Note & \x80";
    for (int i = 0; i < 200; ++i)
        text += " riga";
    EXPECT_EQ(service.MessageBox(nullptr, text, caption1252, MB_OK), IDOK);
    EXPECT_EQ(caption, QString::fromUtf8("Note & \xE2\x82\xAC"));
    EXPECT_TRUE(shown.startsWith(QString::fromUtf8("Totale \xE2\x82\xAC 100 & IVA \xE2\x80\x93 \xE2\x80\xA6 "
                                                   "\xE2\x80\x9Cok\xE2\x80\x9D")));
    EXPECT_TRUE(shown.endsWith(" riga"));
    EXPECT_EQ(shown.size(), static_cast<qsizetype>(text.size()));
}

} // namespace
