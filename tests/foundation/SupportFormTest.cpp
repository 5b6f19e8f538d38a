#include "FoundationTestUtils.h"

#include "controls/DateEdit.h"
#include "controls/ExSpeedButton.h"
#include "controls/Placemnt.h"
#include "controls/SpeedBar.h"
#include "foundation/Configurazione.h"
#include "foundation/SupportFiles.h"
#include "foundation/SupportForm.h"
#include "platform/gui/BitBtn.h"
#include "platform/gui/Button.h"
#include "platform/gui/CheckBox.h"
#include "platform/gui/ComboBox.h"
#include "platform/gui/DBGrid.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Form.h"
#include "platform/gui/GroupBox.h"
#include "platform/gui/Label.h"
#include "platform/gui/Memo.h"
#include "platform/gui/Panel.h"
#include "platform/gui/Menus.h"
#include "platform/gui/RadioButton.h"
#include "platform/gui/SpeedButton.h"
#include "platform/os/RegistryStore.h"
#include "platform/rtl/Exceptions.h"
#include "widgets/HeaderHelper.h"
#include "widgets/HintBox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;

namespace {

// A program folder of its own for each test (with a blank in its path when asked).
class SupportForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        AvviaApplicazioneVisuale();
        UsaProgramma(Radice.Percorso() + "/Programma");
        SetRegistryFile(Radice.Percorso() + "/registry.reg");
        Form = new TForm(nullptr);
        Form->SetName("FormProva");
        Form->SetCaption("Prova");
    }
    void TearDown() override
    {
        TComponent::Free(Form);
        SetRegistryFile("");
        ImpostaCartellaApplicazione("");
    }
    void UsaProgramma(const std::string& cartella)
    {
        fs::create_directories(cartella);
        Programma = cartella + "/";
        ImpostaCartellaApplicazione(Programma);
    }

    TCartellaTemporanea Radice;
    std::string Programma;
    TForm* Form = nullptr;
};

void ScriviScript(const std::string& percorso, const std::string& corpo)
{
    ScriviFile(percorso, "#!/bin/sh\n" + corpo);
    chmod(percorso.c_str(), 0755);
}

// Waits, a bounded time, for a file a child process writes.
std::string AttendiFile(const std::string& percorso)
{
    for (int i = 0; i < 200 && !fs::exists(percorso); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return ContenutoDi(percorso);
}

} // namespace

TEST_F(SupportForm, PlacementFollowsTheSettingsStoreAndTheFirstNamePart)
{
    TFormPlacement placement(Form);
    Form->SetName("FormDatiClienti_1");
    InizializzaConfigurazione("Ventisca\\Tessellarium", 1);
    PreparaPlacement(&placement, Form);
    EXPECT_EQ(placement.IniFileName(), PercorsoFileIni());
    EXPECT_FALSE(placement.UseRegistry);
    EXPECT_EQ(placement.IniSection(), "FormDatiClienti");

    InizializzaConfigurazione("Ventisca\\Tessellarium", 0);
    Form->SetName("FormArticoli");
    PreparaPlacementArticoli(&placement, Form);
    EXPECT_EQ(placement.IniFileName(), "Software\\Ventisca\\Tessellarium\\");
    EXPECT_TRUE(placement.UseRegistry);
    EXPECT_EQ(placement.IniSection(), "FormArticoli");
}

TEST_F(SupportForm, FocusHandlersReplaceThoseOfTheEditingControls)
{
    std::vector<TWinControl*> agganciati = {new TEdit(Form),     new TDateEdit(Form),
                                            new TCheckBox(Form), new TDBGrid(Form),
                                            new TBitBtn(Form),   new TComboBox(Form)};
    auto* pulsante = new TButton(Form);
    std::vector<std::string> eventi;
    auto proprio = [&eventi](TObject*) { eventi.push_back("proprio"); };
    for (TWinControl* c : agganciati)
        c->OnEnter = proprio;
    pulsante->OnEnter = proprio;
    AgganciaEventiFocus(
        Form, [&eventi](TObject* s) { eventi.push_back("esce " + static_cast<TComponent*>(s)->ClassName()); },
        [&eventi](TObject* s) { eventi.push_back("entra " + static_cast<TComponent*>(s)->ClassName()); });
    for (TWinControl* c : agganciati) {
        c->OnEnter(c);
        c->OnExit(c);
    }
    pulsante->OnEnter(pulsante);
    EXPECT_EQ(eventi, (std::vector<std::string>{
                          "entra TEdit", "esce TEdit", "entra TDateEdit", "esce TDateEdit",
                          "entra TCheckBox", "esce TCheckBox", "entra TDBGrid", "esce TDBGrid",
                          "entra TBitBtn", "esce TBitBtn", "entra TComboBox", "esce TComboBox",
                          "proprio"}));
}

TEST_F(SupportForm, HintsComeFromHelperIni)
{
    fs::create_directories(Programma + "Helper");
    ScriviFile(Programma + "Helper/Helper.ini",
               "[FormProva]\r\nEditS_Nome=Il nome del cliente\r\n\x01\x02 rotta\r\n[Altro]\r\nx=y\r\n");
    auto* nome = new TEdit(Form);
    nome->SetName("EditS_Nome");
    auto* altro = new TEdit(Form);
    altro->SetName("EditS_Altro");
    auto* info = new TLabel(Form);
    EXPECT_EQ(TestoAiuto(Form, nome, info), "Il nome del cliente");
    EXPECT_EQ(info->Caption(), "Il nome del cliente");
    EXPECT_EQ(info->Font()->Color(), clBlue);
    EXPECT_EQ(TestoAiuto(Form, altro, info), "");
    EXPECT_EQ(info->Caption(), "");
    EXPECT_EQ(TestoAiuto(Form, nome, nullptr), "Il nome del cliente");

    ScriviFile(Programma + "Helper/Helper.ini", std::string(300000, '\0') + "\xFF\xFE[");
    EXPECT_EQ(TestoAiuto(Form, nome, info), "");
}

TEST_F(SupportForm, TheFormFollowsTheHelpHeader)
{
    Form->SetBounds(0, 0, 400, 500);
    auto* intestazione = new THeaderHelper(Form);
    intestazione->SetParent(Form);
    intestazione->SetBodyHeight(120);
    intestazione->SetTitleHeight(24);
    intestazione->OnHelperResize = [this, intestazione](TObject*) {
        AdeguaIntestazione(Form, intestazione);
    };
    const int altezza = Form->Height();
    intestazione->ResizeHeader(intestazione);
    EXPECT_EQ(Form->Height(), altezza - (120 - 24));
    intestazione->ResizeHeader(intestazione);
    EXPECT_EQ(Form->Height(), altezza);
}

TEST_F(SupportForm, F1WritesThePlaceholderPageThenStartsTheViewer)
{
    for (const char* cartella : {"/Programma", "/Il mio programma"}) {
        SCOPED_TRACE(cartella);
        UsaProgramma(Radice.Percorso() + cartella);
        const std::string pagina = Programma + "Help/FormProva.htm";
        TDialoghiScritti dialoghi;
        MostraAiuto(Form);
        const std::string atteso = ContenutoDi(std::string(TestFixtureDir()) + "/golden/FormProva.htm");
        ASSERT_FALSE(atteso.empty());
        EXPECT_EQ(ContenutoDi(pagina), atteso);
        EXPECT_FALSE(fs::exists(Programma + "Help/argomenti.txt"));

        ScriviScript(Programma + "Help/Guidello",
                     "printf '%s|' \"$@\" > \"$(dirname \"$0\")/argomenti.tmp\"\n"
                     "mv \"$(dirname \"$0\")/argomenti.tmp\" \"$(dirname \"$0\")/argomenti.txt\"\n");
        MostraAiuto(Form);
        EXPECT_EQ(AttendiFile(Programma + "Help/argomenti.txt"),
                  CartellaApplicazione() + "Help\\FormProva.htm|");
        EXPECT_TRUE(dialoghi.Box().empty());
    }
}

TEST_F(SupportForm, AHelpFolderThatIsAFileReachesTheCaller)
{
    ScriviFile(Programma + "Help");
    EXPECT_THROW(MostraAiuto(Form), Exception);
}

TEST_F(SupportForm, LookupsOverTheWindowsComponents)
{
    auto* pannello = new TPanel(Form);
    pannello->SetParent(Form);
    pannello->SetName("Pannello");
    auto* dentro = new TEdit(Form);
    dentro->SetParent(pannello);
    dentro->SetName("Dentro");
    EXPECT_EQ(TrovaControllo("Pannello", Form), pannello);
    EXPECT_EQ(TrovaControllo("Dentro", Form), nullptr);
    EXPECT_EQ(TrovaControllo("pannello", Form), nullptr);
    EXPECT_EQ(TrovaControllo("Dentro", pannello), dentro);

    auto* voce = new TMenuItem(Form);
    auto* placement = new TFormPlacement(Form);
    (void)placement;
    AbilitaComponenti(Form, false);
    EXPECT_FALSE(pannello->Enabled());
    EXPECT_FALSE(dentro->Enabled());
    EXPECT_FALSE(voce->Enabled());
    AbilitaComponenti(Form, true);
    EXPECT_TRUE(dentro->Enabled());
    EXPECT_TRUE(voce->Enabled());
}

TEST_F(SupportForm, TheTextTheUserSees)
{
    auto conTesto = [this](TControl* c, const std::string& testo) {
        c->SetText(testo);
        return c;
    };
    auto* voce = new TMenuItem(Form);
    voce->SetCaption("&Apri");
    auto* speedItem = new TSpeedItem(Form);
    speedItem->SetBtnCaption("Nuovo");
    auto* hint = new THintBox(Form);
    hint->Lines()->SetText("uno\r\ndue");
    auto* memo = new TMemo(Form);
    memo->Lines()->SetText("a\r\nb");
    auto* combo = new TComboBox(Form);
    combo->Items()->Add("Voce");
    combo->SetItemIndex(0);
    const std::vector<std::pair<TComponent*, std::string>> casi = {
        {speedItem, "Nuovo"},
        {conTesto(new TLabel(Form), "Etichetta"), "Etichetta"},
        {conTesto(new TBitBtn(Form), "OK"), "OK"},
        {conTesto(new TSpeedButton(Form), "Veloce"), "Veloce"},
        {conTesto(new TExSpeedButton(Form), "Esteso"), "Esteso"},
        {conTesto(new TGroupBox(Form), "Gruppo"), "Gruppo"},
        {conTesto(new TPanel(Form), "Pannello"), "Pannello"},
        {conTesto(new TCheckBox(Form), "Spunta"), "Spunta"},
        {combo, "Voce"},
        {hint, "uno\r\ndue\r\n"},
        {voce, "&Apri"},
        {Form, "Prova"},
        {conTesto(new TEdit(Form), "testo"), "testo"},
        {conTesto(new TDateEdit(Form), "01/02/2009"), "01/02/2009"},
        {memo, "a\r\nb\r\n"},
        {conTesto(new TRadioButton(Form), "Radio"), ""},
        {new TFormPlacement(Form), ""},
        {nullptr, ""},
    };
    for (const auto& [componente, atteso] : casi) {
        SCOPED_TRACE(componente ? componente->ClassName() : "nullptr");
        EXPECT_EQ(TestoControllo(componente), atteso);
    }
}

TEST_F(SupportForm, ReportsGoToTheInstalledPreview)
{
    EXPECT_THROW(MostraReport("Default\\Lista.frf"), EInvalidOperation);
    std::string ricevuto;
    ImpostaMostraReport([&ricevuto](const std::string& file) { ricevuto = file; });
    MostraReport("Default\\Lista.frf");
    EXPECT_EQ(ricevuto, "Default\\Lista.frf");
    ImpostaMostraReport(nullptr);
    EXPECT_FALSE(EdizioneEstesa());
}
