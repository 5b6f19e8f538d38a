#include "GuiTestSupport.h"

#include "platform/gui/CommonDialogs.h"
#include "platform/gui/Font.h"
#include "platform/gui/FontEngine.h"
#include "platform/gui/PdfPrinter.h"
#include "platform/gui/PrintDialogs.h"
#include "platform/gui/Printer.h"
#include "platform/gui/PrinterDevice.h"
#include "platform/os/TempFiles.h"
#include "platform/rtl/Files.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <regex>
#include <string>
#include <vector>

// Replaces the desktop opener with one that records its targets (nullptr restores the previous).
void RecordDesktopOpener(std::vector<std::string>* targets);

namespace {

LOGFONTA LogFontOf(HFONT handle)
{
    LOGFONTA logFont;
    EXPECT_EQ(GetObjectA(handle, sizeof(logFont), &logFont), static_cast<int>(sizeof(logFont)));
    return logFont;
}

} // namespace

TEST(FontAssignTest, ResolutionDecidesBetweenHeightAndSize)
{
    TFont screen;
    screen.SetName("Arial");
    screen.SetSize(10);
    ASSERT_EQ(screen.Height(), -13);

    // A screen font given to a printer canvas keeps its point size at the printer's resolution.
    TFont printer;
    printer.PixelsPerInch = 1200;
    printer.Assign(&screen);
    EXPECT_EQ(printer.PixelsPerInch, 1200);
    EXPECT_EQ(printer.Size(), 10);
    EXPECT_EQ(printer.Height(), -167);
    EXPECT_EQ(printer.Name(), "Arial");

    // Back to the screen: the size again, not the printer's pixel height.
    TFont back;
    back.Assign(&printer);
    EXPECT_EQ(back.PixelsPerInch, 96);
    EXPECT_EQ(back.Height(), -13);

    // At the same resolution the exact pixel height is kept, even one no point size gives.
    TFont odd;
    odd.SetHeight(-14);
    TFont copy;
    copy.Assign(&odd);
    EXPECT_EQ(copy.Height(), -14);
}

TEST(FontAssignTest, HandleCarriesTheEscapement)
{
    LOGFONTA logFont;
    logFont.lfHeight = -20;
    logFont.lfEscapement = 900;
    logFont.lfOrientation = 900;
    logFont.lfWeight = FW_BOLD;
    std::strcpy(logFont.lfFaceName, "Times New Roman");
    HFONT turned = CreateFontIndirectA(logFont);

    TFont font;
    font.SetHandle(turned);
    DeleteObject(turned);
    EXPECT_EQ(font.Orientation(), 900);
    EXPECT_EQ(font.Name(), "Times New Roman");
    EXPECT_TRUE(font.Style().Contains(fsBold));

    TFont assigned;
    assigned.Assign(&font);
    EXPECT_EQ(assigned, font);
    const LOGFONTA back = LogFontOf(assigned.Handle());
    EXPECT_EQ(back.lfEscapement, 900);
    EXPECT_EQ(back.lfHeight, -20);
    EXPECT_STREQ(back.lfFaceName, "Times New Roman");
    EXPECT_EQ(assigned.Handle(), font.Handle()); // shared, like the upright handles

    assigned.SetOrientation(0);
    EXPECT_EQ(LogFontOf(assigned.Handle()).lfEscapement, 0);
    EXPECT_EQ(assigned.Handle(), FontHandle(assigned));
}

// A font recorded without a height takes its default size at the job's resolution: 8 points on
// paper, not 8 points of a 96-dpi screen shrunk into 1200-dpi printer pixels.
TEST(PrinterFontTest, DefaultHeightIsRealisedAtTheJobResolution)
{
    TTempFolder folder("tess-wiring");
    SetVirtualPrinterFolder(folder.Path());
    SetPrinterCatalogue(TPrinterCatalogue{});
    std::unique_ptr<TPrinter> oldPrinter = SetPrinter(std::make_unique<TPrinter>());
    std::vector<std::string> opened;
    RecordDesktopOpener(&opened);

    TPrinter* printer = Printer();
    printer->Title = "Altezza";
    printer->BeginDoc();
    printer->Canvas()->Font()->SetName("Arial");
    printer->Canvas()->Font()->SetHeight(0);
    printer->Canvas()->TextOut(0, 0, "Altezza");
    printer->EndDoc();
    const std::string pdf = IncludeTrailingPathDelimiter(folder.Path()) + "Altezza.pdf";

    RecordDesktopOpener(nullptr);
    SetPrinter(std::move(oldPrinter));
    ResetPrinterCatalogue();
    SetVirtualPrinterFolder("");

    const std::string bbox = RunCommand("pdftotext -bbox '" + pdf + "' -");
    std::smatch word;
    ASSERT_TRUE(std::regex_search(
        bbox, word, std::regex(R"re(yMin="([0-9.]+)" xMax="[0-9.]+" yMax="([0-9.]+)">Altezza)re")))
        << bbox;
    const double points = std::stod(word[2]) - std::stod(word[1]);
    EXPECT_GT(points, 6.0);
    EXPECT_LT(points, 12.0);
}

namespace {

// What the Qt service put on screen for one request: the dialog's class and title. The dialog is
// cancelled as soon as it shows.
template <typename Call>
std::string ShownBy(Call call, bool& answer)
{
    std::string shown;
    QTimer closer;
    closer.setInterval(20);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        shown = std::string(dialog->metaObject()->className()) + " " + dialog->windowTitle().toStdString();
        if (auto* files = qobject_cast<QFileDialog*>(dialog))
            shown += files->fileMode() == QFileDialog::Directory      ? " folder"
                     : files->acceptMode() == QFileDialog::AcceptSave ? " save"
                                                                       : " open";
        dialog->reject();
    });
    closer.start();
    TQtDialogService service;
    answer = call(service);
    return shown;
}

} // namespace

TEST(QtDialogServiceTest, EachRequestReachesItsQtDialog)
{
    bool answer = true;
    FileDialogRequest file;
    file.Title = "Apri fattura";
    EXPECT_EQ(ShownBy([&](TQtDialogService& s) { return s.OpenFile(file); }, answer), "QFileDialog Apri fattura open");
    EXPECT_FALSE(answer);
    file.Title = "Salva fattura";
    EXPECT_EQ(ShownBy([&](TQtDialogService& s) { return s.SaveFile(file); }, answer), "QFileDialog Salva fattura save");
    FolderDialogRequest folder;
    folder.Title = "Cartella archivio";
    EXPECT_EQ(ShownBy([&](TQtDialogService& s) { return s.SelectFolder(folder); }, answer),
              "QFileDialog Cartella archivio folder");
    FontDialogRequest font;
    EXPECT_EQ(ShownBy([&](TQtDialogService& s) { return s.ChooseFont(font); }, answer), "QFontDialog Carattere");
    ColorDialogRequest color;
    EXPECT_EQ(ShownBy([&](TQtDialogService& s) { return s.ChooseColor(color); }, answer), "QColorDialog Colore");
    PrintDialogRequest print;
    EXPECT_EQ(ShownBy([&](TQtDialogService& s) { return s.Print(print); }, answer), "QDialog Stampa");
    EXPECT_FALSE(answer);
    PrinterSetupRequest setup;
    EXPECT_EQ(ShownBy([&](TQtDialogService& s) { return s.PrinterSetup(setup); }, answer),
              "QDialog Imposta stampante");
    EXPECT_FALSE(answer);
}

namespace {

class ScriptedPrintTest : public testing::Test {
protected:
    void SetUp() override
    {
        SetPrinterCatalogue(TPrinterCatalogue{});
        FOldPrinter = SetPrinter(std::make_unique<TPrinter>());
    }
    void TearDown() override
    {
        SetPrinter(std::move(FOldPrinter));
        ResetPrinterCatalogue();
    }
    TScriptedScope Scripted;

private:
    std::unique_ptr<TPrinter> FOldPrinter;
};

} // namespace

TEST_F(ScriptedPrintTest, PrintAnswersReachThePrinter)
{
    TDialogAnswer print;
    print.Copies = 3;
    print.Collate = true;
    TDialogAnswer setup;
    setup.Paper = "A5";
    setup.Orientation = PrinterSetupRequest::poLandscape;
    TDialogAnswer cancelled;
    cancelled.Accepted = false;
    cancelled.Copies = 7;
    Scripted.Dialogs()
        .Expect(TDialogKind::Print, print)
        .Expect(TDialogKind::PrinterSetup, setup)
        .Expect(TDialogKind::Print, cancelled)
        .Expect(TDialogKind::Print, TDialogAnswer{});

    TPrintDialog dialog(nullptr);
    ASSERT_TRUE(dialog.Execute());
    EXPECT_EQ(Printer()->Copies(), 3);
    EXPECT_TRUE(dialog.Collate);

    TPrinterSetupDialog setupDialog(nullptr);
    ASSERT_TRUE(setupDialog.Execute());
    EXPECT_EQ(Printer()->Orientation(), poLandscape);
    EXPECT_EQ(PrinterDeviceCaps(Printer()->Handle(), PHYSICALWIDTH), 9921); // A5 across

    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(Printer()->Copies(), 3);
    // OK without changes keeps what was offered.
    ASSERT_TRUE(dialog.Execute());
    EXPECT_EQ(Printer()->Copies(), 3);
    EXPECT_TRUE(dialog.Collate);
    EXPECT_EQ(Printer()->Orientation(), poLandscape);
    EXPECT_TRUE(Scripted.Dialogs().Satisfied());
}

TEST(ScriptedFontTest, FontAnswerReachesTheDialog)
{
    TScriptedScope scripted;
    TDialogAnswer chosen;
    chosen.Font.emplace();
    chosen.Font->SetName("Courier New");
    chosen.Font->SetSize(14);
    chosen.Font->SetStyle({fsItalic});
    scripted.Dialogs().Expect(TDialogKind::ChooseFont, chosen).Expect(TDialogKind::ChooseFont, TDialogAnswer{});

    TFontDialog dialog(nullptr);
    dialog.Font()->SetName("Arial");
    ASSERT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.Font()->Name(), "Courier New");
    EXPECT_EQ(dialog.Font()->Size(), 14);
    EXPECT_TRUE(dialog.Font()->Style().Contains(fsItalic));
    ASSERT_TRUE(dialog.Execute()); // OK without a choice keeps the font
    EXPECT_EQ(dialog.Font()->Name(), "Courier New");
    EXPECT_EQ(scripted.Dialogs().Requests()[1].Text, "Courier New");
}
