// The engine's print, search, progress and format dialogs, shown modally and driven from the
// modal loop as a person would, and each looked at as a picture.

#include "ReportTestSupport.h"

#include "report/RP_Ctrls.h"
#include "report/RP_PrDlg.h"
#include "report/RP_Prntr.h"
#include "report/RP_Srch.h"
#include "report/RP_fmted.h"
#include "report/RP_progr.h"

#include "platform/gui/Button.h"
#include "platform/gui/CheckBox.h"
#include "platform/gui/ComboBox.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Label.h"
#include "platform/gui/Panel.h"
#include "platform/gui/Printer.h"
#include "platform/gui/PrinterDevice.h"
#include "platform/gui/RadioButton.h"

#include <functional>

namespace DialogsTest {

// What a person's pick in a combo box sends.
void Pick(TComboBox* combo, int index)
{
    combo->SetItemIndex(index);
    combo->Perform(CN_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE), 0);
}

int MessageBoxCount(const TBoxRecorder& boxes)
{
    int count = 0;
    for (const TDialogRequestRecord& request : boxes.Boxes())
        count += request.Kind == TDialogKind::MessageBox;
    return count;
}

std::string CurrentPrinterName() { return Printer()->Printers()->Strings(Printer()->PrinterIndex()); }

// Two file printers, "Ufficio" current, and the engine printer on it.
class PrintDialog : public testing::Test {
protected:
    void SetUp() override
    {
        UseTwoPrinters();
        Printer()->SetPrinterIndex(0);
        rpPrinter()->SetPrinterIndex(0);
        Form = TForm::Create<TrpPrintForm>(nullptr);
    }
    void TearDown() override
    {
        TComponent::Free(Form);
        UseVirtualPrinterOnly();
    }
    TrpPrintForm* Form = nullptr;
};

} // namespace DialogsTest

using namespace DialogsTest;

TEST_F(PrintDialog, ListsThePrintersWithTheCurrentOneChosen)
{
    ASSERT_EQ(Form->CB1->Items()->Count(), 2);
    EXPECT_EQ(Form->CB1->Items()->Strings(0), "Ufficio");
    EXPECT_EQ(Form->CB1->Items()->Strings(1), "Magazzino");
    EXPECT_EQ(Form->CB1->ItemIndex(), 0);
    EXPECT_EQ(Form->Caption(), "Stampa");
    EXPECT_EQ(Form->RB3->Caption(), "&Numeri:");
    EXPECT_EQ(Form->E1->Text(), "1");
    EXPECT_TRUE(Form->RB1->Checked());
    const int result = RunModal(Form, [&] {
        EXPECT_TRUE(GrabToPng(Form, ScreenshotFolder() + "/r03-print.png"));
        Form->Button1->Click();
    });
    EXPECT_EQ(result, mrOk);
}

TEST_F(PrintDialog, APrinterChoiceIsUndoneUnlessTheDialogClosesWithOk)
{
    for (const TModalResult close : {mrCancel, mrOk}) {
        Printer()->SetPrinterIndex(0);
        rpPrinter()->SetPrinterIndex(0);
        TrpPrintForm* form = TForm::Create<TrpPrintForm>(nullptr);
        const int result = RunModal(form, [&] {
            Pick(form->CB1, 1);
            // The choice is applied at once.
            EXPECT_EQ(rpPrinter()->PrinterIndex(), 1);
            EXPECT_EQ(CurrentPrinterName(), "Magazzino");
            (close == mrOk ? form->Button1 : form->Button2)->Click();
        });
        EXPECT_EQ(result, close);
        const std::string expected = close == mrOk ? "Magazzino" : "Ufficio";
        EXPECT_EQ(CurrentPrinterName(), expected);
        EXPECT_EQ(rpPrinter()->Device, expected);
        TComponent::Free(form);
    }
}

TEST_F(PrintDialog, TheCopiesButtonsCountFromOne)
{
    struct TCase {
        const char* Before;
        bool Up;
        const char* After;
    };
    const TCase cases[] = {{"1", true, "2"}, {"1", false, "1"}, {"0", false, "1"}, {"7", false, "6"},
                           {"-4", false, "1"}, {"2147483647", true, "2147483647"}};
    for (const TCase& c : cases) {
        Form->E1->SetText(c.Before);
        ClickOn(c.Up ? Form->rpSpeedButton1 : Form->rpSpeedButton2);
        EXPECT_EQ(Form->E1->Text(), c.After) << c.Before << (c.Up ? " up" : " down");
    }
}

TEST_F(PrintDialog, ACopiesTextThatIsNoNumberIsReportedAndKept)
{
    TBoxRecorder boxes;
    for (const char* text : {"tre", "", "1,5", "\xE8\xFF"}) {
        Form->E1->SetText(text);
        ClickOn(Form->rpSpeedButton1);
        EXPECT_EQ(Form->E1->Text(), text);
    }
    const auto requests = boxes.Boxes();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_NE(requests[0].Text.find("'tre' is not a valid integer value"), std::string::npos);
}

TEST_F(PrintDialog, AClickIntoThePageListChecksPageNumbers)
{
    RunModal(Form, [&] {
        ClickOn(Form->E2);
        EXPECT_TRUE(Form->RB3->Checked());
        EXPECT_FALSE(Form->RB1->Checked());
        EXPECT_EQ(Form->ActiveControl(), Form->E2);
        Form->Button2->Click();
    });
}

TEST_F(PrintDialog, PropertiesAskOnceForThePrinterSetupAndShowItsPrinter)
{
    TBoxRecorder boxes;
    TDialogAnswer answer;
    answer.PrinterName = "Magazzino";
    boxes.Dialogs().Expect(TDialogKind::PrinterSetup, answer);
    RunModal(Form, [&] {
        ClickOn(Form->PropButton);
        EXPECT_EQ(Form->CB1->ItemIndex(), 1);
        Form->Button2->Click();
    });
    int setups = 0;
    for (const TDialogRequestRecord& request : boxes.Boxes())
        setups += request.Kind == TDialogKind::PrinterSetup;
    EXPECT_EQ(setups, 1);
    EXPECT_TRUE(boxes.Dialogs().Satisfied());
    EXPECT_EQ(CurrentPrinterName(), "Ufficio") << "closing without OK undoes the choice";
}

TEST(SearchDialog, TheTextIsSelectedForTypingAndOkReturnsTheOptions)
{
    TrpPreviewSearchForm* form = TForm::Create<TrpPreviewSearchForm>(nullptr);
    EXPECT_EQ(form->Caption(), "Trova testo");
    EXPECT_EQ(form->Label1->Caption(), "Testo da &trovare");
    EXPECT_TRUE(form->RB1->Checked());
    form->Edit1->SetText("Fattura");
    const int result = RunModal(form, [&] {
        EXPECT_EQ(form->ActiveControl(), form->Edit1);
        EXPECT_EQ(form->Edit1->SelStart(), 0);
        EXPECT_EQ(form->Edit1->SelLength(), 7);
        EXPECT_TRUE(GrabToPng(form, ScreenshotFolder() + "/r03-search.png"));
        form->Edit1->SetText("Totale");
        ClickOn(form->CB1);
        ClickOn(form->RB2);
        form->Button1->Click();
    });
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(form->Edit1->Text(), "Totale");
    EXPECT_TRUE(form->CB1->Checked());
    EXPECT_FALSE(form->RB1->Checked());
    TComponent::Free(form);
}

TEST(ProgressWindow, TheWorkRunsOnceInsideTheShownWindowAndClosesIt)
{
    ASSERT_NE(rpProgressForm, nullptr);
    TrpReport report(nullptr);
    int runs = 0;
    bool shownDuringWork = false;
    rpProgressForm->BeforeModalHandler = [&](TObject* sender) {
        ++runs;
        EXPECT_EQ(sender, rpProgressForm);
        EXPECT_EQ(rpProgressForm->ProgressReport, &report);
        shownDuringWork = rpProgressForm->Showing();
        rpProgressForm->Label1->SetCaption("Elaborazione pagina:  1");
        EXPECT_TRUE(GrabToPng(rpProgressForm, ScreenshotFolder() + "/r03-progress.png"));
        // A second run while this one goes on is refused.
        EXPECT_THROW(rpProgressForm->Show_Modal(&report), EInvalidOperation);
        rpProgressForm->SetModalResult(mrOk);
    };
    EXPECT_EQ(rpProgressForm->Show_Modal(&report), mrOk);
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(shownDuringWork);
    EXPECT_FALSE(rpProgressForm->Showing());
    EXPECT_EQ(rpProgressForm->Button1->Caption(), "Annulla");
    EXPECT_FALSE(rpProgressForm->BorderIcons().Contains(biSystemMenu));
    rpProgressForm->BeforeModalHandler = nullptr;
}

TEST(ProgressWindow, CancelStopsTheWorkThroughTheReport)
{
    TrpReport report(nullptr);
    bool stoppedHalfWay = false;
    rpProgressForm->BeforeModalHandler = [&](TObject*) {
        for (int page = 1; page <= 10 && !report.Terminated; ++page) {
            if (page == 5)
                ClickOn(rpProgressForm->Button1);
        }
        stoppedHalfWay = report.Terminated;
        // The work closes the window itself, as the building pass does.
        rpProgressForm->SetModalResult(report.Terminated ? mrCancel : mrOk);
    };
    EXPECT_EQ(rpProgressForm->Show_Modal(&report), mrCancel);
    EXPECT_TRUE(stoppedHalfWay);
    rpProgressForm->BeforeModalHandler = nullptr;
}

TEST(ProgressWindow, AWorkThatFailsClosesTheWindowAndItsErrorIsShown)
{
    TBoxRecorder boxes;
    TrpReport report(nullptr);
    rpProgressForm->BeforeModalHandler = [&](TObject*) { RAISE(EInvalidOperation("Pagina non valida")); };
    EXPECT_EQ(rpProgressForm->Show_Modal(&report), mrCancel);
    ASSERT_EQ(MessageBoxCount(boxes), 1);
    EXPECT_NE(boxes.Boxes()[0].Text.find("Pagina non valida"), std::string::npos);
    rpProgressForm->BeforeModalHandler = nullptr;
}

class FormatEditor : public testing::Test {
protected:
    void SetUp() override { Form = TForm::Create<TrpFmtForm>(nullptr); }
    void TearDown() override { TComponent::Free(Form); }
    TrpFmtForm* Form = nullptr;
    // Number, "1234,50", 2 decimals, separator ",".
    static constexpr std::uint32_t NumberCode = (1u << 24) | (1u << 16) | (2u << 8) | ',';
};

TEST_F(FormatEditor, ANumberCodeShowsItsDecimalsAndSeparator)
{
    Form->Format = NumberCode;
    const int result = RunModal(Form, [&] {
        EXPECT_EQ(Form->ComboBox1->Text(), "Numero");
        EXPECT_EQ(Form->ComboBox2->Text(), "1234,50");
        EXPECT_TRUE(Form->Panel1->Visible());
        EXPECT_FALSE(Form->Panel2->Visible());
        EXPECT_EQ(Form->Edit3->Text(), "2");
        EXPECT_EQ(Form->SplEdit->Text(), ",");
        EXPECT_TRUE(GrabToPng(Form, ScreenshotFolder() + "/r03-format.png"));
        Form->Button1->Click();
    });
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(Form->Format, NumberCode);
    EXPECT_EQ(Form->Caption(), "Formato di visualizzazione");
    EXPECT_EQ(Form->Label6->Caption(), "&Separatore:");
}

TEST_F(FormatEditor, CategoriesAndFormatsRewriteTheCode)
{
    Form->Format = NumberCode;
    Form->Edit1->SetText("#,##0.00");
    RunModal(Form, [&] {
        Pick(Form->ComboBox1, 2);
        EXPECT_FALSE(Form->Panel1->Visible());
        EXPECT_FALSE(Form->Panel2->Visible());
        EXPECT_EQ(Form->ComboBox2->Text(), "15/11/98");
        EXPECT_EQ(Form->ComboBox2->Items()->Count(), 5);
        EXPECT_EQ(Form->Edit1->Text(), "");
        EXPECT_EQ(Form->Format >> 16, 0x0200u);

        Pick(Form->ComboBox2, 4);
        EXPECT_TRUE(Form->Panel2->Visible());
        EXPECT_FALSE(Form->Panel1->Visible());
        EXPECT_EQ(Form->Format >> 16, 0x0204u);

        // Text has one format only; a number made from it takes the comma.
        Pick(Form->ComboBox1, 0);
        EXPECT_EQ(Form->ComboBox2->Items()->Count(), 1);
        Form->Format &= 0xFFFF0000u;
        Pick(Form->ComboBox1, 1);
        EXPECT_TRUE(Form->Panel1->Visible());
        EXPECT_EQ(Form->SplEdit->Text(), ",");
        EXPECT_EQ(Form->Format & 0xFF, 44u);

        Form->SplEdit->SetText(";");
        EXPECT_EQ(Form->Format & 0xFF, static_cast<std::uint32_t>(';'));
        Form->SplEdit->SetText("");
        EXPECT_EQ(Form->Format & 0xFF, 44u);
        Form->Edit3->SetText("4");
        EXPECT_EQ((Form->Format >> 8) & 0xFF, 4u);
        Form->Button2->Click();
    });
}

TEST_F(FormatEditor, ADecimalsTextThatIsNoNumberIsReportedOnceAndChangesNothing)
{
    Form->Format = NumberCode;
    TBoxRecorder boxes;
    RunModal(Form, [&] {
        Form->Edit3->SetText("x");
        EXPECT_EQ(Form->Format, NumberCode);
        // Out of range values stay inside their own bits.
        Form->Edit3->SetText("-1");
        EXPECT_EQ(Form->Format & 0xFFFF00FFu, NumberCode & 0xFFFF00FFu);
        Form->Button2->Click();
    });
    EXPECT_EQ(MessageBoxCount(boxes), 1);
}

TEST_F(FormatEditor, EnteringTheSeparatorSelectsIt)
{
    Form->Format = NumberCode;
    RunModal(Form, [&] {
        Form->SplEdit->SetFocus();
        EXPECT_EQ(Form->SplEdit->SelLength(), 1);
        Form->Button2->Click();
    });
}
