// The barcode and shape dialogs, shown modally and driven as a person would: what they show,
// what they take back after OK and leave after Cancel, the refusal of a code that cannot be
// drawn, and the field and variable choosers behind the "D" and "V" buttons.

#include "AddInTestSupport.h"

#include "reportexport/Barcode.h"
#include "reportexport/RP_BarC.h"
#include "reportexport/RP_Shape.h"

#include "report/RP_Ctrls.h"
#include "report/RP_Var.h"

#include "platform/db/StdFields.h"
#include "platform/gui/Application.h"
#include "platform/gui/Button.h"
#include "platform/gui/CheckBox.h"
#include "platform/gui/ComboBox.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Grab.h"
#include "platform/gui/GroupBox.h"
#include "platform/gui/Image.h"
#include "platform/gui/Label.h"
#include "platform/gui/ListBox.h"
#include "platform/gui/RadioButton.h"
#include "platform/gui/ScriptedDialogs.h"
#include "tablestore/zelMemTable.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace AddInEditorsTest {

using namespace AddInTestSupport;

bool PumpUntil(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        Application->ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::vector<std::string> Lines(TStrings* strings)
{
    std::vector<std::string> lines;
    for (int i = 0; i < strings->Count(); ++i)
        lines.push_back(strings->Strings(i));
    return lines;
}

// A window "Finestra" with the table "Articoli" (Codice, Prezzo) and a report with the variables
// "Numero" and "Data" under "Documento"; the report is the current one. Every modal window that
// starts runs the steps given for it: the dialog under test, or a chooser that picks its first
// entry with Enter (or leaves with Escape).
class AddInEditors : public testing::Test {
protected:
    void SetUp() override
    {
        StartAddIns();
        Owner = TForm::Create<TForm>(nullptr);
        Owner->SetName("Finestra");
        auto* table = new TzelMemTable(Owner);
        table->SetName("Articoli");
        table->FieldDefs().Add("Codice", ftString, 10);
        table->FieldDefs().Add("Prezzo", ftFloat);
        table->CreateTable();
        table->Open();
        Report = new TrpReport(Owner);
        Report->SetName("Stampa");
        for (const char* line : {"Documento", " Numero", " Data"})
            Report->VariableList->Add(line);
        CurReport = Report;
        LastCategory.clear();
        Dialogs = new TScriptedDialogs;
        Dialogs->AnswerAll(TDialogKind::MessageBox, TDialogAnswer::Code(IDOK));
        PreviousDialogs = SetDialogService(std::unique_ptr<IDialogService>(Dialogs));
        SetModalStartHook([this](TCustomForm* shown) {
            // Under the offscreen platform a window shown first after another closed is not
            // always made active; it is on screen either way.
            PumpUntil([shown] { return shown->Active(); });
            EXPECT_TRUE(shown->Visible());
            if (auto* chooser = dynamic_cast<TrpChoiceForm*>(shown)) {
                ChoosersShown.push_back(chooser->ClassName());
                chooser->ValList->SetItemIndex(0);
                WORD key = ChooserAnswer;
                if (key == VK_ESCAPE)
                    chooser->OnKeyDown(chooser, key, {});
                else
                    chooser->ValList->OnKeyDown(chooser->ValList, key, {});
            } else if (Steps) {
                Steps();
            }
        });
    }
    void TearDown() override
    {
        SetModalStartHook(nullptr);
        SetDialogService(std::move(PreviousDialogs));
        CurReport = nullptr;
        TComponent::Free(Owner);
    }

    TForm* Owner = nullptr;
    TrpReport* Report = nullptr;
    TScriptedDialogs* Dialogs = nullptr;
    std::unique_ptr<IDialogService> PreviousDialogs;
    std::function<void()> Steps;
    WORD ChooserAnswer = VK_RETURN;
    std::vector<std::string> ChoosersShown;
};

TEST_F(AddInEditors, TheBarcodeDialogShowsTheObjectAndTakesItsChoicesBackOnlyAfterOk)
{
    TrpBarCodeForm* form = rpBarCodeForm;
    ASSERT_TRUE(form);
    TrpBarCodeView view;
    Steps = [&] {
        EXPECT_EQ(form->Caption(), "Codice a barre");
        EXPECT_EQ(form->Label1->Caption(), "Codice");
        EXPECT_EQ(form->Label2->Caption(), "Tipo");
        EXPECT_EQ(form->GroupBox1->Caption(), "Opzioni");
        EXPECT_EQ(form->GroupBox2->Caption(), "Orientamento");
        EXPECT_EQ(form->ckCheckSum->Caption(), "Cifra di controllo");
        EXPECT_EQ(form->ckViewText->Caption(), "Mostra il testo");
        EXPECT_EQ(form->DBBtn->Hint(), "Inserisci un campo");
        EXPECT_EQ(form->VarBtn->Hint(), "Inserisci una variabile");
        EXPECT_EQ(form->bOk->Caption(), "OK");
        EXPECT_EQ(form->bCancel->Caption(), "Annulla");
        EXPECT_EQ(form->cbType->Items()->Count(), 15);
        EXPECT_EQ(form->cbType->Items()->Strings(14), "EAN13");
        EXPECT_EQ(form->M1->Text(), "12345678");
        EXPECT_EQ(form->cbType->ItemIndex(), Barcode::bcCode39);
        EXPECT_TRUE(form->ckCheckSum->Checked());
        EXPECT_TRUE(form->ckViewText->Checked());
        EXPECT_TRUE(form->RB1->Checked());
        EXPECT_EQ(form->ActiveControl(), form->M1);
        EXPECT_FALSE(form->Image1->Visible());
        EXPECT_TRUE(GrabToPng(form, PictureFolder() + "/x11-barcode-dialog.png"));
        form->M1->SetText("Fattura 12");
        form->cbType->SetItemIndex(Barcode::bcCode128B);
        form->ckCheckSum->SetChecked(false);
        form->ckViewText->SetChecked(false);
        form->RB3->SetChecked(true);
        form->bOk->Click();
    };
    form->ShowEditor(&view);
    EXPECT_EQ(view.Memo->Text(), "Fattura 12\r\n");
    EXPECT_EQ(view.Param.BarType, Barcode::bcCode128B);
    EXPECT_EQ(view.Param.CheckSum, 0);
    EXPECT_EQ(view.Param.ShowText, 0);
    EXPECT_EQ(view.Param.Angle, 180);

    // Every angle comes back as the radio button that shows it; Cancel keeps the object.
    for (double angle : {90.0, 270.0}) {
        view.Param.Angle = angle;
        Steps = [&] {
            EXPECT_EQ(form->M1->Text(), "Fattura 12");
            EXPECT_EQ(form->cbType->ItemIndex(), Barcode::bcCode128B);
            EXPECT_EQ(form->RB2->Checked(), angle == 90);
            EXPECT_EQ(form->RB4->Checked(), angle == 270);
            form->M1->SetText("altro");
            form->RB1->SetChecked(true);
            form->bCancel->Click();
        };
        form->ShowEditor(&view);
        EXPECT_EQ(view.Memo->Text(), "Fattura 12\r\n");
        EXPECT_EQ(view.Param.Angle, angle);
    }
    EXPECT_TRUE(Dialogs->Requests().empty());
}

TEST_F(AddInEditors, ACodeTheSymbologyCannotDrawIsRefusedAndTheDialogStaysOpen)
{
    TrpBarCodeForm* form = rpBarCodeForm;
    TrpBarCodeView view;
    std::vector<TDialogRequestRecord> boxes;
    Steps = [&] {
        form->cbType->SetItemIndex(Barcode::bcCodeEAN13);
        form->ckCheckSum->SetChecked(true);
        form->M1->SetText("ABC");
        form->bOk->Click();
        boxes = Dialogs->Requests();
        EXPECT_EQ(form->ModalResult(), mrNone);
        EXPECT_TRUE(form->Visible());
        // Without its check digit an EAN-13 needs exactly 13 digits.
        form->ckCheckSum->SetChecked(false);
        form->M1->SetText("123456789012");
        form->bOk->Click();
        EXPECT_EQ(form->ModalResult(), mrNone);
        form->M1->SetText("1234567890128");
        form->bOk->Click();
        EXPECT_EQ(form->ModalResult(), mrOk);
    };
    form->ShowEditor(&view);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "Errore nel codice a barre");
    EXPECT_EQ(boxes[0].Caption, "Errore");
    EXPECT_EQ(boxes[0].Icon, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(Dialogs->Requests().size(), 2u);
    EXPECT_EQ(view.Memo->Strings(0), "1234567890128");
    EXPECT_EQ(view.Param.BarType, Barcode::bcCodeEAN13);
}

TEST_F(AddInEditors, TheDAndVButtonsPutTheChosenNameInBrackets)
{
    TrpBarCodeForm* form = rpBarCodeForm;
    TrpBarCodeView view;
    Steps = [&] {
        form->VarBtn->Click();
        EXPECT_EQ(form->M1->Text(), "[Numero]");
        EXPECT_EQ(form->ActiveControl(), form->M1);
        form->DBBtn->Click();
        EXPECT_EQ(form->M1->Text(), "[Articoli.\"Codice\"]");
        EXPECT_EQ(form->ActiveControl(), form->M1);
        // A chooser left with Escape changes nothing.
        ChooserAnswer = VK_ESCAPE;
        form->DBBtn->Click();
        form->VarBtn->Click();
        EXPECT_EQ(form->M1->Text(), "[Articoli.\"Codice\"]");
        form->bOk->Click();
    };
    form->ShowEditor(&view);
    EXPECT_EQ(ChoosersShown,
              (std::vector<std::string>{"TrpVarForm", "TrpFieldsForm", "TrpFieldsForm", "TrpVarForm"}));
    EXPECT_EQ(view.Memo->Strings(0), "[Articoli.\"Codice\"]");
}

TEST_F(AddInEditors, TheShapeDialogOffersTheFourKinds)
{
    TrpShapeForm* form = rpShapeForm;
    ASSERT_TRUE(form);
    TrpShapeView view;
    view.ShapeType = RP_Shape::skEllipse;
    Steps = [&] {
        EXPECT_EQ(form->Caption(), "Forma");
        EXPECT_EQ(form->GroupBox1->Caption(), "Tipo di forma");
        EXPECT_EQ(form->Button1->Caption(), "OK");
        EXPECT_EQ(form->Button2->Caption(), "Annulla");
        EXPECT_EQ(Lines(form->CB1->Items()), (std::vector<std::string>{"Rettangolo", "Rettangolo arrotondato",
                                                                       "Ellisse", "Triangolo"}));
        EXPECT_EQ(form->CB1->ItemIndex(), RP_Shape::skEllipse);
        EXPECT_TRUE(GrabToPng(form, PictureFolder() + "/x11-shape-dialog.png"));
        form->CB1->SetItemIndex(RP_Shape::skTriangle);
        form->Button1->Click();
    };
    form->ShowEditor(&view);
    EXPECT_EQ(view.ShapeType, RP_Shape::skTriangle);
    Steps = [&] {
        form->CB1->SetItemIndex(RP_Shape::skRectangle);
        form->Button2->Click();
    };
    form->ShowEditor(&view);
    EXPECT_EQ(view.ShapeType, RP_Shape::skTriangle);
}

} // namespace AddInEditorsTest
