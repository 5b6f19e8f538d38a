// The windows that pick a variable or a field for an object's text, shown modally and driven as
// a person would.

#include "ReportTestSupport.h"

#include "report/RP_Flds.h"
#include "report/RP_Var.h"

#include "platform/db/StdFields.h"
#include "platform/gui/ComboBox.h"
#include "platform/gui/Grab.h"
#include "platform/gui/ListBox.h"
#include "tablestore/zelMemTable.h"

#include <functional>

namespace ChoosersTest {

// A window "Finestra" with the table "Articoli" (Codice, Prezzo) and a report with two
// categories of variables; the report is the current one.
class Choosers : public testing::Test {
protected:
    void SetUp() override
    {
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
        for (const char* line : {"Documento", " Numero", " Data", "Cliente", " Nome"})
            Report->VariableList->Add(line);
        CurReport = Report;
        LastCategory.clear();
        LastDataSet.clear();
    }
    void TearDown() override
    {
        SetModalStartHook(nullptr);
        CurReport = nullptr;
        TComponent::Free(Owner);
    }

    static std::vector<std::string> Lines(TStrings* strings)
    {
        std::vector<std::string> lines;
        for (int i = 0; i < strings->Count(); ++i)
            lines.push_back(strings->Strings(i));
        return lines;
    }

    static void Pick(TComboBox* combo, int index)
    {
        combo->SetItemIndex(index);
        combo->Perform(CN_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE), 0);
    }

    TForm* Owner = nullptr;
    TrpReport* Report = nullptr;
};

TEST_F(Choosers, TheVariablesWindowGivesAVariableOrASpecialValue)
{
    auto* form = TForm::Create<TrpVarForm>(nullptr);
    EXPECT_EQ(form->Caption(), "Variabili");
    EXPECT_EQ(form->ClientWidth(), 217);
    EXPECT_EQ(form->ClientHeight(), 317);
    int result = RunModal(form, [&] {
        EXPECT_EQ(Lines(form->ValCombo->Items()),
                  (std::vector<std::string>{"Documento", "Cliente", "Valori speciali", "Variabili dello script"}));
        EXPECT_EQ(form->ValCombo->ItemIndex(), 0);
        EXPECT_EQ(Lines(form->ValList->Items()), (std::vector<std::string>{"Numero", "Data"}));
        EXPECT_TRUE(GrabToPng(form, ScreenshotFolder() + "/r06-variables.png"));
        Pick(form->ValCombo, 2);
        EXPECT_EQ(form->ValList->Items()->Count(), 8) << "the nine special values but the second";
        form->ValList->SetItemIndex(1);
        WORD key = VK_RETURN;
        form->ValList->OnKeyDown(form->ValList, key, {});
    });
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(form->SelectedItem, "DATE");
    TComponent::Free(form);

    form = TForm::Create<TrpVarForm>(nullptr);
    result = RunModal(form, [&] {
        EXPECT_EQ(form->ValCombo->ItemIndex(), 2) << "the category shown last";
        Pick(form->ValCombo, 1);
        form->ValList->SetItemIndex(0);
        form->ValList->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MouseAt(5, 5));
    });
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(form->SelectedItem, "Nome");
    TComponent::Free(form);

    form = TForm::Create<TrpVarForm>(nullptr);
    result = RunModal(form, [&] {
        EXPECT_EQ(form->ValCombo->ItemIndex(), 1);
        form->ValList->SetItemIndex(0);
        WORD key = VK_ESCAPE;
        form->OnKeyDown(form, key, {});
    });
    EXPECT_EQ(result, mrCancel);
    EXPECT_EQ(form->SelectedItem, "");
    TComponent::Free(form);
}

TEST_F(Choosers, TheFieldsWindowGivesDataSetAndQuotedField)
{
    auto* form = TForm::Create<TrpFieldsForm>(nullptr);
    EXPECT_EQ(form->Caption(), "Campi");
    int result = RunModal(form, [&] {
        EXPECT_EQ(Lines(form->ValCombo->Items()), (std::vector<std::string>{"Articoli"}));
        EXPECT_EQ(Lines(form->ValList->Items()), (std::vector<std::string>{"Codice", "Prezzo"}));
        EXPECT_TRUE(GrabToPng(form, ScreenshotFolder() + "/r06-fields.png"));
        form->ValList->SetItemIndex(1);
        WORD key = VK_RETURN;
        form->ValList->OnKeyDown(form->ValList, key, {});
    });
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(form->SelectedItem, "Articoli.\"Prezzo\"");
    EXPECT_EQ(LastDataSet, "Articoli");
    TComponent::Free(form);

    // Escape still fills the result; the caller looks at the modal result.
    form = TForm::Create<TrpFieldsForm>(nullptr);
    result = RunModal(form, [&] {
        EXPECT_EQ(form->ValCombo->ItemIndex(), 0);
        form->ValList->SetItemIndex(0);
        WORD key = VK_ESCAPE;
        form->OnKeyDown(form, key, {});
    });
    EXPECT_EQ(result, mrCancel);
    EXPECT_EQ(form->SelectedItem, "Articoli.\"Codice\"");
    TComponent::Free(form);
}

} // namespace ChoosersTest
