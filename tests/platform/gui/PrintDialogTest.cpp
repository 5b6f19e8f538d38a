#include "GuiTestSupport.h"

#include "platform/gui/PrintDialogs.h"
#include "platform/gui/Printer.h"

#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Answers the print requests as a person would: a printer, copies, paper and orientation.
class TPrintAnswers : public TScriptedDialogs {
public:
    std::string PrinterName = "Stampante PDF";
    int Copies = 3;
    std::string Paper = "A5";
    bool Accept = true;
    PrintDialogRequest LastPrint;
    PrinterSetupRequest LastSetup;

    bool Print(PrintDialogRequest& request) override
    {
        LastPrint = request;
        request.PrinterName = PrinterName;
        request.Copies = Copies;
        return Accept;
    }
    bool PrinterSetup(PrinterSetupRequest& request) override
    {
        LastSetup = request;
        request.PrinterName = PrinterName;
        request.Paper = Paper;
        request.Orientation = PrinterSetupRequest::poLandscape;
        return Accept;
    }
};

class PrintDialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        SetPrinterCatalogue(TPrinterCatalogue{});
        FOldPrinter = SetPrinter(std::make_unique<TPrinter>());
        auto service = std::make_unique<TPrintAnswers>();
        Answers = service.get();
        FOldService = SetDialogService(std::move(service));
    }
    void TearDown() override
    {
        SetDialogService(std::move(FOldService));
        SetPrinter(std::move(FOldPrinter));
        ResetPrinterCatalogue();
    }
    TPrintAnswers* Answers = nullptr;

private:
    std::unique_ptr<TPrinter> FOldPrinter;
    std::unique_ptr<IDialogService> FOldService;
};

} // namespace

TEST_F(PrintDialogTest, ConfirmedAnswersReachThePrinter)
{
    TPrintDialog print(nullptr);
    print.MinPage = 1;
    print.MaxPage = 5;
    ASSERT_TRUE(print.Execute());
    EXPECT_EQ(Answers->LastPrint.PrinterName, "Stampante PDF");
    EXPECT_EQ(Answers->LastPrint.Copies, 1);
    EXPECT_EQ(Answers->LastPrint.MaxPage, 5);
    EXPECT_EQ(Printer()->Copies(), 3);
    EXPECT_EQ(print.Copies, 3);

    TPrinterSetupDialog setup(nullptr);
    ASSERT_TRUE(setup.Execute());
    EXPECT_EQ(Answers->LastSetup.Paper, "A4");
    EXPECT_EQ(Printer()->Orientation(), poLandscape);
    EXPECT_EQ(PrinterDeviceCaps(Printer()->Handle(), PHYSICALWIDTH), 9921); // A5 across
    EXPECT_EQ(PrinterDeviceCaps(Printer()->Handle(), PHYSICALHEIGHT), 6992);

    Answers->Accept = false;
    Answers->Copies = 7;
    EXPECT_FALSE(print.Execute());
    EXPECT_EQ(Printer()->Copies(), 3);
}

TEST_F(PrintDialogTest, QtPrintDialogConfirmsWithEnter)
{
    PrintDialogRequest request;
    request.PrinterName = "Stampante PDF";
    request.Copies = 2;
    QStringList listed;
    QTimer::singleShot(50, [&listed] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        if (auto* combo = dialog->findChild<QComboBox*>())
            for (int i = 0; i < combo->count(); ++i)
                listed << combo->itemText(i);
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    ASSERT_TRUE(ExecuteQtPrintDialog(request));
    EXPECT_EQ(listed, QStringList{"Stampante PDF"});
    EXPECT_EQ(request.PrinterName, "Stampante PDF");
    EXPECT_EQ(request.Copies, 2);

    PrinterSetupRequest setup;
    setup.PrinterName = "Stampante PDF";
    setup.Paper = "Letter";
    QTimer::singleShot(50, [] {
        if (QWidget* dialog = QApplication::activeModalWidget())
            QTest::keyClick(dialog, Qt::Key_Escape);
    });
    EXPECT_FALSE(ExecuteQtPrinterSetupDialog(setup));
    QTimer::singleShot(50, [] {
        if (QWidget* dialog = QApplication::activeModalWidget())
            QTest::keyClick(dialog, Qt::Key_Return);
    });
    ASSERT_TRUE(ExecuteQtPrinterSetupDialog(setup));
    EXPECT_EQ(setup.Paper, "Letter");
    EXPECT_EQ(setup.Orientation, PrinterSetupRequest::poPortrait);
}
