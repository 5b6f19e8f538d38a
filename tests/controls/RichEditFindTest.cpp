// Find and replace in the extended rich edit, its object entry points, printing, the report
// object's use of it, and a demonstration picture.

#include "ExRichEditTestSupport.h"

#include "ControlsTestSupport.h"

#include "platform/gui/Clipboard.h"
#include "platform/gui/DeviceContext.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Menus.h"
#include "platform/gui/PdfPrinter.h"
#include "platform/gui/Printer.h"
#include "platform/gui/PrinterDevice.h"
#include "platform/gui/ScriptedDialogs.h"
#include "platform/os/Shell.h"
#include "platform/rtl/Streams.h"

#include <map>
#include <regex>

namespace RichEditFindTest {

using RichEditFind = ExRichEditFixture;

// "fattura" at 0, 20 and 39.
const char* const ThreeInvoices = "fattura uno e poi   fattura due e poi  fattura tre";

TEST_F(RichEditFind, DialogFindsDownAndUpFromTheSelection)
{
    TExRichEdit* edit = Make();
    edit->SetText(ThreeInvoices);
    edit->SetSelStart(25);
    TFindDialog* dialog = edit->FindDialog("fattura");
    ASSERT_NE(dialog, nullptr);
    dialog->Options = {frDown};
    dialog->OnFind(dialog);
    EXPECT_EQ(edit->SelStart(), 39);
    EXPECT_EQ(edit->SelLength(), 7);

    edit->SetSelStart(30);
    dialog->Options = {};
    dialog->OnFind(dialog);
    EXPECT_EQ(edit->SelStart(), 20);
    EXPECT_TRUE(edit->FindNext());
    EXPECT_EQ(edit->SelStart(), 0);
    std::vector<std::string> missing;
    edit->OnTextNotFound = [&](TObject*, const std::string& text) { missing.push_back(text); };
    EXPECT_FALSE(edit->FindNext());
    EXPECT_EQ(missing, (std::vector<std::string>{"fattura"}));
    EXPECT_TRUE(edit->CanFindNext());
    dialog->CloseDialog();
}

TEST_F(RichEditFind, FindTextTakesAnyRange)
{
    TExRichEdit* edit = Make();
    edit->SetText(ThreeInvoices);
    using ExRichEd::TRichSearchTypes;
    const std::tuple<std::string, int, int, TRichSearchTypes, int> cases[] = {
        {"fattura", 1, 100, {}, 20},
        {"fattura", 0, 2147483647, {}, 0},
        {"fattura", 500, 10, {}, -1},
        {"", 0, 100, {}, -1},
        {"FATTURA", 0, 100, {ExRichEd::stMatchCase}, -1},
        {"fatt", 0, 100, {ExRichEd::stWholeWord}, -1},
        {"fattura", 47, 48, {ExRichEd::stBackward}, 39},
        {"fattura", 45, 46, {ExRichEd::stBackward}, 20},
        {"fattura", 39, 2147483647, {ExRichEd::stBackward}, 20},
        {"fattura", 26, 27, {ExRichEd::stBackward}, 0},
    };
    for (const auto& [text, start, length, options, expected] : cases)
        EXPECT_EQ(edit->FindText(text, start, length, options), expected) << text << " from " << start;
    EXPECT_EQ(edit->FindText("due", 0, 100, {ExRichEd::stSetSelection}), 28);
    EXPECT_EQ(edit->SelText(), "due");
}

TEST_F(RichEditFind, ReplaceAllNotifiesOnceAndEnds)
{
    TExRichEdit* edit = Make();
    edit->SetText(ThreeInvoices);
    int changes = 0, selections = 0;
    edit->OnChange = [&](TObject*) { ++changes; };
    edit->OnSelectionChange = [&](TObject*) { ++selections; };
    TReplaceDialog* dialog = edit->ReplaceDialog("fattura", "nota");
    dialog->Options = {frDown, frReplaceAll};
    edit->SetSelStart(0);
    dialog->OnReplace(dialog);
    EXPECT_EQ(edit->GetText(), "nota uno e poi   nota due e poi  nota tre");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(selections, 1);

    for (const bool down : {true, false}) {
        edit->SetText("a ba a");
        edit->SetSelStart(down ? 0 : 6);
        dialog->SetFindText("a");
        dialog->SetReplaceText("aa");
        dialog->Options = {frReplaceAll};
        if (down)
            dialog->Options.Include(frDown);
        dialog->OnReplace(dialog);
        EXPECT_EQ(edit->GetText(), "aa baa aa") << (down ? "down" : "up");
    }

    std::vector<std::string> missing;
    edit->OnTextNotFound = [&](TObject*, const std::string& text) { missing.push_back(text); };
    dialog->SetFindText("assente");
    dialog->Options = {frDown, frReplaceAll};
    dialog->OnReplace(dialog);
    EXPECT_EQ(missing, (std::vector<std::string>{"assente"}));

    // A single replace takes the next occurrence after the selection.
    edit->SetText(ThreeInvoices);
    edit->SetSelStart(0);
    edit->SetSelLength(7);
    dialog->SetFindText("fattura");
    dialog->SetReplaceText("F");
    dialog->Options = {frDown, frReplace};
    dialog->OnReplace(dialog);
    EXPECT_EQ(edit->GetText(), "fattura uno e poi   F due e poi  fattura tre");
    dialog->CloseDialog();
}

TEST_F(RichEditFind, FindNextNeedsASearchAndTheOldControlSearchesDown)
{
    TExRichEdit* edit = Make();
    edit->SetText(ThreeInvoices);
    EXPECT_FALSE(edit->FindNext());
    EXPECT_FALSE(edit->CanFindNext());

    TExRichEdit* old = Make(1);
    old->SetText(ThreeInvoices);
    TFindDialog* dialog = old->FindDialog("fattura");
    EXPECT_TRUE(dialog->Options.Contains(frHideUpDown));
    EXPECT_TRUE(dialog->Options.Contains(frDown));
    old->SetSelStart(25);
    dialog->OnFind(dialog);
    EXPECT_EQ(old->SelStart(), 39);
    EXPECT_EQ(old->FindText("fattura", 45, -45, {ExRichEd::stBackward}), -1);
    dialog->CloseDialog();
}

TEST_F(RichEditFind, ADialogOverTheFoundTextMovesAway)
{
    TExRichEdit* edit = Make(3, 10, 10, 600, 440);
    form->Show();
    std::string text;
    for (int i = 0; i < 18; ++i)
        text += "riga " + std::to_string(i) + "\r";
    text += "obiettivo\rin fondo";
    edit->SetText(text);
    edit->SetSelStart(0);
    TFindDialog* dialog = edit->FindDialog("obiettivo");
    ASSERT_NE(dialog->Handle(), nullptr);
    const int found = edit->FindText("obiettivo", 0, 1000, {});
    const TPoint target = edit->ClientToScreen(edit->GetCharPos(found));
    TRect window;
    GetWindowRect(dialog->Handle(), window);
    const int height = window.Bottom - window.Top;
    ASSERT_LT(height + 20, target.Y);
    dialog->SetPosition({target.X - 10, target.Y - 5});
    dialog->Options = {frDown};
    dialog->OnFind(dialog);
    EXPECT_EQ(dialog->Position().Y, target.Y - height - 20);

    // Near the top of the screen there is no room above: the dialog goes below.
    edit->SetSelStart(0);
    dialog->SetFindText("riga 0");
    const TPoint first = edit->ClientToScreen(edit->GetCharPos(0));
    ASSERT_GE(height + 20, first.Y);
    dialog->SetPosition({first.X, first.Y - 2});
    dialog->OnFind(dialog);
    EXPECT_EQ(dialog->Position().Y, first.Y + 40);

    // Away from the text it stays where it is.
    dialog->SetPosition({first.X + 700, first.Y});
    edit->SetSelStart(0);
    dialog->OnFind(dialog);
    EXPECT_EQ(dialog->Position(), (TPoint{first.X + 700, first.Y}));
    dialog->CloseDialog();
}

// --- Objects ------------------------------------------------------------------------------------

TEST_F(RichEditFind, ObjectDialogsAnswerFalseWithoutAsking)
{
    auto scripted = std::make_unique<TScriptedDialogs>();
    TScriptedDialogs* dialogs = scripted.get();
    auto previous = SetDialogService(std::move(scripted));
    TExRichEdit* edit = Make();
    edit->SetText("testo");
    Clipboard()->SetAsText("dagli appunti");
    ASSERT_TRUE(edit->CanPaste());
    EXPECT_FALSE(edit->InsertObjectDialog());
    EXPECT_FALSE(edit->PasteSpecialDialog());
    EXPECT_FALSE(edit->ObjectPropertiesDialog());
    edit->CloseObjects();
    edit->SetUIActive(true);
    EXPECT_TRUE(dialogs->Requests().empty());
    EXPECT_EQ(edit->GetText(), "testo");

    auto* menu = new TPopupMenu(form);
    edit->PopupMenu = menu;
    EXPECT_EQ(edit->GetPopupMenu(), menu);
    edit->AutoVerbMenu = false;
    EXPECT_EQ(edit->GetPopupMenu(), menu);
    EXPECT_EQ(edit->OleCallback()->QueryInsertObject(), S_OK);
    EXPECT_EQ(edit->OleCallback()->GetContextMenu(), E_NOTIMPL);
    SetDialogService(std::move(previous));
}

// --- Printing -----------------------------------------------------------------------------------

class RichEditPrinting : public ExRichEditFixture {
protected:
    void SetUp() override
    {
        ExRichEditFixture::SetUp();
        Folder = TestFolder();
        SetVirtualPrinterFolder(Folder);
        SetPrinterCatalogue(TPrinterCatalogue{});
        FOldPrinter = SetPrinter(std::make_unique<TPrinter>());
        FOldOpener = SetDesktopOpener([](const std::string&) { return DWORD(0); });
    }
    void TearDown() override
    {
        SetDesktopOpener(FOldOpener);
        SetPrinter(std::move(FOldPrinter));
        ResetPrinterCatalogue();
        SetVirtualPrinterFolder("");
        ExRichEditFixture::TearDown();
    }
    static int Pages(const std::string& pdf)
    {
        std::smatch match;
        const std::string info = RunShell("pdfinfo '" + pdf + "'");
        return std::regex_search(info, match, std::regex("Pages:\\s+(\\d+)")) ? std::stoi(match[1]) : -1;
    }
    std::string Folder;

private:
    std::unique_ptr<TPrinter> FOldPrinter;
    TDesktopOpener FOldOpener;
};

TEST_F(RichEditPrinting, ThreePagesAndAnEmptyOne)
{
    TExRichEdit* edit = Make();
    // About 60 lines of 12 points fit on an A4 page.
    edit->Font()->SetName("Arial");
    edit->Font()->SetSize(12);
    for (int i = 1; i <= 150; ++i)
        edit->Lines()->Add("Riga " + std::to_string(i) + " della fattura di prova");
    edit->Print("Testo ricco");
    const std::string pdf = Printer()->LastOutputFile();
    ASSERT_FALSE(pdf.empty());
    EXPECT_EQ(Pages(pdf), 3);
    const std::string text = RunShell("pdftotext '" + pdf + "' - | tr -s ' \\n\\f' ' '");
    EXPECT_NE(text.find("Riga 1 della fattura di prova"), std::string::npos) << text.substr(0, 300);
    EXPECT_NE(text.find("Riga 150 della fattura di prova"), std::string::npos);

    edit->Clear();
    edit->Print("Vuoto");
    EXPECT_EQ(Pages(Printer()->LastOutputFile()), 1);
}

// --- The report object's use --------------------------------------------------------------------

const char* const TemplateRtf =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\r\n"
    "\\pard\\f0\\fs20 Spett.le {\\b [Cliente]}, ecco il riepilogo.\\par\r\n"
    "Totale da pagare: [Totale] euro, scadenza [Scadenza].\\par\r\n"
    "Grazie per la fiducia, [Cliente].\\par}";

TEST_F(ExRichEditFixture, AReportObjectCopiesExpandsAndMeasures)
{
    TExRichEdit* design = Make();
    TStringStream source(TemplateRtf);
    design->Lines()->LoadFromStream(source);
    TExRichEdit* layout = Make(3, 10, 320, 1024, 100);
    layout->SetWordWrap(false);
    TMemoryStream copy;
    design->Lines()->SaveToStream(copy);
    copy.SetPosition(0);
    layout->Lines()->LoadFromStream(copy);
    ASSERT_EQ(layout->Lines()->Count(), 3);

    const std::map<std::string, std::string> values{
        {"Cliente", "Rossi Mario S.r.l."}, {"Totale", "1.234,56"}, {"Scadenza", "31/12/2024"}};
    for (int i = 0; i < layout->Lines()->Count(); ++i) {
        const int base = layout->GetLineIndex(i);
        std::string line = layout->Lines()->Strings(i);
        for (std::size_t p = line.find('['); p != std::string::npos; p = line.find('[', p)) {
            const std::size_t q = line.find(']', p);
            const std::string value = values.at(line.substr(p + 1, q - p - 1));
            layout->SetSelStart(base + static_cast<int>(p));
            layout->SetSelLength(static_cast<int>(q - p + 1));
            layout->SetSelText(value);
            line.replace(p, q - p + 1, value);
            p += value.size();
        }
    }
    EXPECT_EQ(LinesOf(layout), (std::vector<std::string>{"Spett.le Rossi Mario S.r.l., ecco il riepilogo.",
                                                          "Totale da pagare: 1.234,56 euro, scadenza 31/12/2024.",
                                                          "Grazie per la fiducia, Rossi Mario S.r.l.."}));
    layout->SetSelStart(9);
    layout->SetSelLength(5);
    EXPECT_TRUE(layout->SelAttributes()->Style().Contains(fsBold));

    // One layout in a page ten million pixels tall: it takes the whole text and reports its bottom.
    HDC screen = GetDC(nullptr);
    auto measure = [&] {
        FORMATRANGE range;
        range.hdc = range.hdcTarget = screen;
        range.rc = range.rcPage = RECT{0, 0, 1024 * 1440 / 96, static_cast<LONG>(1.44e10 / 96 + 0.5)};
        range.chrg = {0, -1};
        const auto end = static_cast<int>(Send(layout, EM_FORMATRANGE, 0, reinterpret_cast<LPARAM>(&range)));
        Send(layout, EM_FORMATRANGE, 0, 0);
        return std::make_pair(end, static_cast<int>(range.rc.Bottom));
    };
    const auto [end, bottom] = measure();
    EXPECT_EQ(end, static_cast<int>(Send(layout, WM_GETTEXTLENGTH)));
    EXPECT_GT(bottom, 0);
    layout->Lines()->Add("Una riga in piu");
    const auto [longerEnd, longerBottom] = measure();
    EXPECT_GT(longerEnd, end);
    EXPECT_GT(longerBottom, bottom);
    ReleaseDC(nullptr, screen);
}

// --- A picture for a person ---------------------------------------------------------------------

TEST_F(ExRichEditFixture, DemonstrationPicture)
{
    form->SetCaption("Rich edit esteso");
    TExRichEdit* edit = Make(3, 8, 8, 600, 440);
    edit->Font()->SetName("Arial");
    edit->Font()->SetSize(11);
    form->Show();
    edit->Lines()->Add("Riepilogo della fattura");
    edit->Lines()->Add("Imponibile 1.000,00 euro");
    edit->Lines()->Add("IVA 22% 220,00 euro");
    edit->Lines()->Add("Dettagli su http://www.example.com/fatture");
    edit->Lines()->Add("Testo selezionato in fondo");
    edit->SetSelStart(edit->GetLineIndex(0));
    edit->Paragraph()->SetAlignment(ExRichEd::paCenter);
    edit->SetSelLength(23);
    edit->SelAttributes()->SetStyle({fsBold});
    edit->SelAttributes()->SetSize(16);
    for (int line : {1, 2}) {
        edit->SetSelStart(edit->GetLineIndex(line));
        edit->Paragraph()->SetNumbering(ExRichEd::nsBullet);
    }
    const int url = edit->FindText("http://www.example.com/fatture", 0, 1000, {});
    edit->SetSelStart(url);
    edit->SetSelLength(30);
    edit->SelAttributes()->SetLink(true);
    edit->SelAttributes()->SetColor(clBlue);
    edit->SelAttributes()->SetUnderlineType(ExRichEd::utSolid);
    edit->SetHideSelection(false);
    edit->SetSelStart(edit->GetLineIndex(4));
    edit->SetSelLength(17);
    edit->SetFocus();
    const std::string path = ControlsPictureDir() + "/exrichedit.png";
    ASSERT_TRUE(GrabToPng(form, path));
    EXPECT_GT(std::stoi(RunShell("stat -c %s '" + path + "'")), 1000);
}

} // namespace RichEditFindTest
