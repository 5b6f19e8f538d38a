#include "FoundationTestUtils.h"

#include "controls/CurrEdit.h"
#include "controls/DateEdit.h"
#include "controls/EXSpin.h"
#include "foundation/SupportErrors.h"
#include "foundation/SupportFormDB.h"
#include "platform/db/DB.h"
#include "platform/gui/CheckBox.h"
#include "platform/gui/ComboBox.h"
#include "platform/gui/DBGrid.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Label.h"
#include "platform/gui/MaskEdit.h"
#include "platform/gui/Memo.h"
#include "platform/gui/PageControl.h"
#include "platform/db/DataSource.h"
#include "platform/rtl/Variants.h"
#include "tablestore/zelMemTable.h"

#include <gtest/gtest.h>

#include <iostream>

namespace {

// A flat edit of another library: derived from a bindable class, so never bound.
class TFlatEdit : public TEdit {
    TESS_CLASS(TFlatEdit, TEdit)
public:
    explicit TFlatEdit(TComponent* AOwner) : TEdit(AOwner) {}
};

template <class T>
T* Crea(TForm* form, TWinControl* genitore, const std::string& nome, int riga)
{
    auto* controllo = new T(form);
    controllo->SetName(nome);
    controllo->SetParent(genitore);
    controllo->SetBounds(120, 8 + riga * 26, 200, 22);
    return controllo;
}

class Binding : public ::testing::Test {
protected:
    void SetUp() override
    {
        AvviaApplicazioneVisuale();
        Tabella = std::make_unique<TzelMemTable>(nullptr);
        TFieldDefs& d = Tabella->FieldDefs();
        d.Add("Nome", ftString, 40);
        d.Add("CodiceIva", ftString, 5);
        d.Add("Priorita", ftInteger);
        d.Add("Allarme", ftBoolean);
        d.Add("DataScadenza", ftDate);
        d.Add("Prezzo", ftFloat);
        d.Add("Importo", ftFloat);
        d.Add("Note", ftString, 200);
        d.Add("Quantita", ftInteger);
        d.Add("CstTs_Colore", ftString, 20);
        d.Add("Appunto", ftString, 20);
        d.Add("Livello", ftString, 20);
        d.Add("Citta", ftString, 30);
        d.Add("Data", ftDate);
        Tabella->CreateTable();
        Tabella->Open();

        Form = new TForm(nullptr);
        Form->SetName("FormProva");
        Form->SetCaption("Prova");
        Form->SetBounds(0, 0, 360, 420);
        Pagine = new TPageControl(Form);
        Pagine->SetParent(Form);
        Pagine->SetBounds(0, 0, 350, 360);
        Prima = new TTabSheet(Form);
        Prima->SetPageControl(Pagine);
        Prima->SetCaption("Generale");
        Seconda = new TTabSheet(Form);
        Seconda->SetPageControl(Pagine);
        Seconda->SetCaption("Date");

        Nome = Crea<TEdit>(Form, Prima, "EditS_Nome", 0);
        CodiceIva = Crea<TComboBox>(Form, Prima, "EditKS_CodiceIva", 1);
        CodiceIva->Items()->Add("22 - Aliquota ordinaria");
        CodiceIva->Items()->Add("4 - Ridotta");
        Priorita = Crea<TComboBox>(Form, Prima, "EditI_Priorita", 2);
        for (const char* voce : {"bassa", "ridotta", "alta"})
            Priorita->Items()->Add(voce);
        Livello = Crea<TComboBox>(Form, Prima, "EditI_Livello", 3);
        for (const char* voce : {"Normale", "Ridotta"})
            Livello->Items()->Add(voce);
        Allarme = Crea<TCheckBox>(Form, Prima, "EditB_Allarme", 4);
        DataScadenza = Crea<TDateEdit>(Form, Prima, "EditS_DataScadenza", 5);
        Prezzo = Crea<TExCalcEdit>(Form, Prima, "EditS_Prezzo", 6);
        Importo = Crea<TCurrencyEdit>(Form, Prima, "EditS_Importo", 7);
        Note = Crea<TMemo>(Form, Prima, "EditS_Note", 8);
        Note->SetHeight(40);
        Quantita = Crea<TExSpinEdit>(Form, Prima, "EditS_Quantita", 10);
        Colore = Crea<TEdit>(Form, Prima, "EditS_CstTs_Colore", 11);
        Appunto = Crea<TFlatEdit>(Form, Prima, "EditS_Appunto", 12);
        Nessuno = Crea<TEdit>(Form, Prima, "EditS_Nessuno", 13);
        Citta = Crea<TComboBox>(Form, Seconda, "EditS_Citta", 1);
        Data = Crea<TMaskEdit>(Form, Seconda, "EditS_Data", 0);
        Data->SetEditMask("!99/99/0000;1;_");
        Info = new TLabel(Form);
        Info->SetName("LabelInfo");
        Info->SetParent(Form);
        Info->SetBounds(8, 370, 340, 20);
        Pagine->SetActivePage(Prima);
        Form->Show();
        Application->ProcessMessages();
    }

    void TearDown() override
    {
        TComponent::Free(Form);
        Tabella.reset();
    }

    // Fills the controls with a valid record's values.
    void CompilaControlli()
    {
        Nome->SetText("  Nome ");
        CodiceIva->SetItemIndex(0);
        Priorita->SetItemIndex(1);
        Livello->SetItemIndex(0);
        Allarme->SetChecked(true);
        Prezzo->SetValue(12.5);
        Note->Lines()->SetText("riga1\r\nriga2");
        Quantita->SetText("3");
        Colore->SetText("rosso");
        Appunto->SetText("non mio");
        Data->SetText("01/03/2009");
    }

    std::unique_ptr<TzelMemTable> Tabella;
    TForm* Form = nullptr;
    TPageControl* Pagine = nullptr;
    TTabSheet* Prima = nullptr;
    TTabSheet* Seconda = nullptr;
    TEdit* Nome = nullptr;
    TComboBox* CodiceIva = nullptr;
    TComboBox* Priorita = nullptr;
    TComboBox* Livello = nullptr;
    TCheckBox* Allarme = nullptr;
    TDateEdit* DataScadenza = nullptr;
    TExCalcEdit* Prezzo = nullptr;
    TCurrencyEdit* Importo = nullptr;
    TMemo* Note = nullptr;
    TExSpinEdit* Quantita = nullptr;
    TEdit* Colore = nullptr;
    TFlatEdit* Appunto = nullptr;
    TEdit* Nessuno = nullptr;
    TComboBox* Citta = nullptr;
    TMaskEdit* Data = nullptr;
    TLabel* Info = nullptr;
};

} // namespace

TEST_F(Binding, StoresEveryBoundControlIntoTheRecord)
{
    CompilaControlli();
    Tabella->Append();
    ASSERT_EQ(RecordDaControlli(Tabella.get(), Form, Info), "");
    Tabella->Post();

    const std::vector<std::pair<std::string, Variant>> attesi = {
        {"Nome", Variant("Nome")},          {"CodiceIva", Variant("22")},
        {"Priorita", Variant(1)},           {"Allarme", Variant(true)},
        {"DataScadenza", Variant()},        {"Prezzo", Variant(12.5)},
        {"Note", Variant("riga1\r\nriga2")}, {"Quantita", Variant(3)},
        {"CstTs_Colore", Variant("rosso")}, {"Appunto", Variant()},
        {"Livello", Variant(0)}};
    for (const auto& [campo, valore] : attesi) {
        SCOPED_TRACE(campo);
        TField* f = Tabella->FieldByName(campo);
        if (VarIsNull(valore))
            EXPECT_TRUE(f->IsNull()) << f->AsString();
        else
            EXPECT_EQ(f->AsString(), VarToStr(valore));
    }
    EXPECT_EQ(Tabella->FieldByName("Data")->AsString(), "01/03/2009");
}

TEST_F(Binding, ShowsTheRecordInTheControls)
{
    Tabella->Append();
    Tabella->FieldByName("Nome")->SetAsString("Bianchi");
    Tabella->FieldByName("CodiceIva")->SetAsString("4");
    Tabella->FieldByName("Priorita")->SetAsInteger(2);
    Tabella->FieldByName("Livello")->SetAsString("ridotta");
    Tabella->FieldByName("Allarme")->SetAsBoolean(true);
    Tabella->FieldByName("Note")->SetAsString("uno\r\ndue");
    Tabella->FieldByName("Quantita")->SetAsInteger(7);
    Tabella->FieldByName("CstTs_Colore")->SetAsString("verde");
    Tabella->FieldByName("Citta")->SetAsString("Roma");
    Tabella->Post();
    Prezzo->SetValue(99);
    Importo->SetText("5");
    Appunto->SetText("resta");
    Nessuno->SetText("resta");

    ControlliDaRecord(Tabella.get(), Form);

    EXPECT_EQ(Nome->Text(), "Bianchi");
    EXPECT_EQ(CodiceIva->ItemIndex(), 1);
    EXPECT_EQ(CodiceIva->Text(), "4 - Ridotta");
    EXPECT_EQ(Priorita->ItemIndex(), 2);
    EXPECT_EQ(Livello->ItemIndex(), 1);
    EXPECT_TRUE(Allarme->Checked());
    EXPECT_EQ(Prezzo->Value(), 0.0);
    EXPECT_EQ(Importo->Text(), "");
    EXPECT_EQ(Note->Lines()->Count(), 2);
    EXPECT_EQ(Note->Lines()->Strings(1), "due");
    EXPECT_EQ(Quantita->Text(), "7");
    EXPECT_EQ(Colore->Text(), "verde");
    EXPECT_EQ(Citta->Text(), "Roma");
    EXPECT_EQ(Appunto->Text(), "resta");
    EXPECT_EQ(Nessuno->Text(), "resta");

    // Keys that begin no item select nothing.
    Tabella->Edit();
    Tabella->FieldByName("CodiceIva")->SetAsString("9");
    Tabella->Post();
    ControlliDaRecord(Tabella.get(), Form);
    EXPECT_EQ(CodiceIva->ItemIndex(), -1);
}

TEST_F(Binding, ARefusedValueStopsTheSaveAndShowsTheControl)
{
    Tabella->AppendRecord({Variant("Esistente")});
    CompilaControlli();
    Data->SetText("31/02/2009");
    Tabella->Append();
    EXPECT_EQ(RecordDaControlli(Tabella.get(), Form, Info), "Data");
    Tabella->Cancel();
    EXPECT_EQ(Pagine->ActivePage(), Seconda);
    EXPECT_TRUE(Data->Focused());
    EXPECT_EQ(Info->Caption(), MessaggioFormatoErrato);
    EXPECT_EQ(Info->Font()->Color(), clRed);

    Pagine->SetActivePage(Prima);
    EXPECT_FALSE(AggiungiRecordDaControlli(Tabella.get(), Form, Info));
    EXPECT_EQ(Tabella->RecordCount(), 1);
    EXPECT_EQ(Tabella->State(), dsBrowse);
    Application->ProcessMessages();

    const std::string cartella = TestBinaryDir() + std::string("/screenshots");
    std::filesystem::create_directories(cartella);
    const std::string immagine = cartella + "/foundation-binding-error.png";
    ASSERT_TRUE(GrabToPng(Form, immagine));
    std::cout << "screenshot: " << immagine << std::endl;
}

TEST_F(Binding, BadInputTakesTheFailurePathAndLongTextsAreCut)
{
    const std::vector<std::pair<TWinControl*, std::string>> casi = {
        {Quantita, "12abc"}, {Data, "99/99/9999"}, {Data, ""}};
    for (const auto& [controllo, testo] : casi) {
        SCOPED_TRACE(testo);
        CompilaControlli();
        controllo->SetText(testo);
        EXPECT_FALSE(AggiungiRecordDaControlli(Tabella.get(), Form, Info));
        EXPECT_EQ(Tabella->State(), dsBrowse);
        EXPECT_EQ(Tabella->RecordCount(), 0);
    }
    CompilaControlli();
    Nome->SetText(std::string(100 * 1024, 'x'));
    EXPECT_TRUE(AggiungiRecordDaControlli(Tabella.get(), Form, Info));
    EXPECT_EQ(Tabella->FieldByName("Nome")->AsString().size(), 40u);
}

TEST_F(Binding, SavingChoosesBetweenEditAndAppend)
{
    CompilaControlli();
    ASSERT_TRUE(ScriviRecordDaControlli(Tabella.get(), Form, Info, "Nome", "Nome"));
    Colore->SetText("blu");
    ASSERT_TRUE(ScriviRecordDaControlli(Tabella.get(), Form, Info, "Nome", "Nome"));
    EXPECT_EQ(Tabella->RecordCount(), 1);
    EXPECT_EQ(Tabella->FieldByName("CstTs_Colore")->AsString(), "blu");
    Nome->SetText("Altro");
    ASSERT_TRUE(ScriviRecordDaControlli(Tabella.get(), Form, Info, "Nome", "Altro"));
    EXPECT_EQ(Tabella->RecordCount(), 2);
    Colore->SetText("nero");
    ASSERT_TRUE(ModificaRecordDaControlli(Tabella.get(), Form, Info));
    EXPECT_EQ(Tabella->RecordCount(), 2);
    EXPECT_EQ(Tabella->FieldByName("CstTs_Colore")->AsString(), "nero");
}

TEST_F(Binding, MaximumLengthsFollowTextFields)
{
    ImpostaLunghezzeMassime(Tabella.get(), Form);
    EXPECT_EQ(Nome->MaxLength(), 40);
    EXPECT_EQ(Note->MaxLength(), 200);
    EXPECT_EQ(Citta->MaxLength(), 30);
    EXPECT_EQ(CodiceIva->MaxLength(), 0);
    EXPECT_EQ(Priorita->MaxLength(), 0);
}

TEST_F(Binding, StatusLabelOperations)
{
    Info->SetCaption("vecchio");
    Nome->SetFocus();
    EXPECT_EQ(SegnalaErroreControllo(Info, "", Data), "");
    EXPECT_EQ(Info->Caption(), "");
    EXPECT_TRUE(Nome->Focused());
    EXPECT_EQ(Pagine->ActivePage(), Prima);

    Data->Hide();
    EXPECT_NO_THROW(FocalizzaControllo(Data));
    EXPECT_NO_THROW(FocalizzaControllo(nullptr));
    EXPECT_EQ(SegnalaErrore(nullptr, "x"), "x");

    TDialoghiScritti dialoghi;
    MessaggioErrore("Qualcosa");
    ASSERT_EQ(dialoghi.Box().size(), 1u);
    EXPECT_EQ(dialoghi.Box()[0].Caption, "Errore applicativo");
    EXPECT_EQ(dialoghi.Box()[0].Text, "Qualcosa");
}

TEST_F(Binding, NamesOfEveryShapeAndLargeOwners)
{
    TForm grande(nullptr);
    for (int i = 0; i < 1000; ++i) {
        auto* e = new TEdit(&grande);
        e->SetName(i % 3 == 0 ? "Edit" + std::to_string(i) : "EditS_Nome_" + std::to_string(i));
    }
    auto* e = new TEdit(&grande);
    e->SetName("EditS_Nome");
    e->SetText("ultimo");
    Tabella->Append();
    EXPECT_EQ(RecordDaControlli(Tabella.get(), &grande, nullptr), "");
    EXPECT_EQ(Tabella->FieldByName("Nome")->AsString(), "ultimo");
    Tabella->Cancel();
}

TEST(GridColumns, ListTitlesWithTheirFields)
{
    AvviaApplicazioneVisuale();
    TzelMemTable tabella(nullptr);
    tabella.FieldDefs().Add("Codice", ftString, 10);
    tabella.FieldDefs().Add("Descrizione", ftString, 40);
    tabella.FieldDefs().Add("Prezzo", ftFloat);
    tabella.CreateTable();
    tabella.Open();
    TForm form(nullptr);
    TDataSource sorgente(nullptr);
    sorgente.SetDataSet(&tabella);
    auto* griglia = new TDBGrid(&form);
    griglia->SetParent(&form);
    griglia->SetDataSource(&sorgente);
    const char* titoli[] = {"Cod.", "Descrizione articolo", "Prezzo"};
    const char* campi[] = {"Codice", "Descrizione", "Prezzo"};
    for (int i = 0; i < 3; ++i) {
        TColumn* colonna = griglia->Columns()->Add();
        colonna->SetFieldName(campi[i]);
        colonna->Title()->SetCaption(titoli[i]);
    }
    auto colonne = ColonneGriglia(griglia);
    ASSERT_EQ(colonne->Count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(colonne->Strings(i), titoli[i]);
        EXPECT_EQ(colonne->Objects(i), tabella.FieldByName(campi[i]));
    }
}
