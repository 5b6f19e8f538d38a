#include "foundation/SupportForm.h"

#include "controls/Placemnt.h"
#include "controls/SpeedBar.h"
#include "foundation/Configurazione.h"
#include "foundation/SupportFiles.h"
#include "foundation/SupportSystem.h"
#include "platform/gui/Form.h"
#include "platform/gui/Label.h"
#include "platform/gui/Memo.h"
#include "platform/gui/Menus.h"
#include "platform/os/IniFiles.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "widgets/HeaderHelper.h"
#include "widgets/HintBox.h"

namespace {

std::function<void(const std::string&)>& MostraReportInstallato()
{
    static std::function<void(const std::string&)> mostra;
    return mostra;
}

std::string SezionePlacement(const std::string& nome)
{
    return nome.substr(0, nome.find('_'));
}

bool InheritsFromAny(TComponent* componente, std::initializer_list<const char*> classi)
{
    for (const char* classe : classi)
        if (componente->InheritsFrom(classe))
            return true;
    return false;
}

// A caption made safe inside the page's markup.
std::string TestoHtml(const std::string& testo)
{
    std::string sicuro;
    for (char c : testo) {
        switch (c) {
        case '&': sicuro += "&amp;"; break;
        case '<': sicuro += "&lt;"; break;
        case '>': sicuro += "&gt;"; break;
        default: sicuro += c;
        }
    }
    return sicuro;
}

} // namespace

void PreparaPlacement(TFormPlacement* placement, TComponent* finestra)
{
    if (ModoConfigurazione() == 1) {
        placement->SetIniFileName(PercorsoFileIni());
        placement->UseRegistry = false;
    } else {
        placement->SetIniFileName(ChiaveRegistro());
        placement->UseRegistry = true;
    }
    placement->SetIniSection(SezionePlacement(finestra->Name()));
}

void PreparaPlacementArticoli(TFormPlacement* placement, TComponent* finestra)
{
    PreparaPlacement(placement, finestra);
}

void AgganciaEventiFocus(TComponent* finestra, TNotifyEvent uscita, TNotifyEvent entrata)
{
    for (int i = 0; i < finestra->ComponentCount(); ++i) {
        TComponent* componente = finestra->Components(i);
        if (!InheritsFromAny(componente,
                             {"TEdit", "TDateEdit", "TCheckBox", "TDBGrid", "TBitBtn", "TComboBox"}))
            continue;
        auto* controllo = static_cast<TWinControl*>(componente);
        controllo->OnEnter = entrata;
        controllo->OnExit = uscita;
    }
}

std::string TestoAiuto(TComponent* finestra, TComponent* controllo, TLabel* label)
{
    std::string aiuto;
    try {
        TIniFile ini(SottocartellaApplicazione("Helper") + "Helper.ini");
        aiuto = ini.ReadString(finestra->Name(), controllo->Name(), "");
    } catch (...) {
        // A hint that cannot be read is no hint.
        aiuto.clear();
    }
    if (label) {
        label->Font()->SetColor(clBlue);
        label->SetCaption(aiuto);
    }
    return aiuto;
}

void AdeguaIntestazione(TControl* finestra, THeaderHelper* intestazione)
{
    if (intestazione->Height() < intestazione->BodyHeight())
        RiduciIntestazione(finestra, intestazione);
    else
        EspandiIntestazione(finestra, intestazione);
}

void RiduciIntestazione(TControl* controllo, THeaderHelper* intestazione)
{
    controllo->SetHeight(controllo->Height() + intestazione->TitleHeight() -
                         intestazione->BodyHeight());
}

void EspandiIntestazione(TControl* controllo, THeaderHelper* intestazione)
{
    controllo->SetHeight(controllo->Height() + intestazione->BodyHeight() -
                         intestazione->TitleHeight());
}

void MostraAiuto(TCustomForm* finestra)
{
    const std::string cartella = SottocartellaApplicazione("Help");
    const std::string pagina = cartella + finestra->Name() + ".htm";
    if (FileExists(pagina))
        AvviaComando(cartella + "Guidello.exe \"" + pagina + "\"");
    else
        ScriviPaginaAiuto(finestra, cartella);
}

void ScriviPaginaAiuto(TCustomForm* finestra, const std::string& cartellaAiuto)
{
    const std::string titolo = TestoHtml(finestra->Caption());
    const std::string apertura[] = {
        "<table bgcolor=#73731E cellpadding=0 cellspacing=1 width=\"100%\">",
        "\t<tr>",
        "\t\t<td>",
        "\t\t<table bgcolor=#FFFFAA cellpadding=0 cellspacing=1  width=\"100%\">",
        "\t\t\t<tr>",
    };
    const std::string chiusura[] = {
        "\t\t\t\t</td>", "\t\t\t</tr>", "\t\t</table>", "\t\t</td>", "\t</tr>", "</table>",
    };
    std::string pagina;
    auto riga = [&pagina](const std::string& testo) { pagina += testo + "\r\n"; };
    riga("<html>");
    riga("<head>");
    riga("<title>" + titolo + " </title>");
    riga("</head>");
    riga("<body>");
    for (const std::string& r : apertura)
        riga(r);
    riga("\t\t\t\t<td>");
    riga("\t\t\t\t<b><font size=+1> &nbsp " + titolo + " </font></b>");
    for (const std::string& r : chiusura)
        riga(r);
    riga("<p>");
    riga("Help In Costruzione.");
    riga("</p>");
    for (const std::string& r : apertura)
        riga(r);
    riga("\t\t\t\t<td align=right>");
    riga("\t\t\t\t<font size=-1> " + titolo + " </font>");
    for (const std::string& r : chiusura)
        riga(r);
    riga("</body>");
    riga("</html>");
    WriteFileAtomically(cartellaAiuto + finestra->Name() + ".htm", pagina);
}

TControl* TrovaControllo(const std::string& nome, TWinControl* genitore)
{
    for (int i = 0; i < genitore->ControlCount(); ++i)
        if (genitore->Controls(i)->Name() == nome)
            return genitore->Controls(i);
    return nullptr;
}

void AbilitaComponenti(TComponent* proprietario, bool abilitato)
{
    for (int i = 0; i < proprietario->ComponentCount(); ++i) {
        TComponent* componente = proprietario->Components(i);
        if (componente->InheritsFrom("TControl"))
            static_cast<TControl*>(componente)->SetEnabled(abilitato);
        else if (componente->InheritsFrom("TMenuItem"))
            static_cast<TMenuItem*>(componente)->SetEnabled(abilitato);
    }
}

std::string TestoControllo(TComponent* componente)
{
    if (!componente)
        return "";
    const std::string classe = componente->ClassName();
    if (classe == "TSpeedItem")
        return static_cast<TSpeedItem*>(componente)->BtnCaption();
    for (const char* conTesto : {"TLabel", "TBitBtn", "TSpeedButton", "TExSpeedButton", "TGroupBox",
                                 "TPanel", "TCheckBox", "TComboBox"})
        if (classe == conTesto)
            return static_cast<TControl*>(componente)->Caption();
    if (classe == "THintBox")
        return static_cast<THintBox*>(componente)->Lines()->Text();
    if (classe == "TMenuItem")
        return static_cast<TMenuItem*>(componente)->Caption();
    if (componente->InheritsFrom("TForm"))
        return static_cast<TControl*>(componente)->Caption();
    if (componente->InheritsFrom("TCustomMemo"))
        return static_cast<TCustomMemo*>(componente)->Lines()->Text();
    if (componente->InheritsFrom("TCustomEdit"))
        return static_cast<TControl*>(componente)->Text();
    return "";
}

void MostraReport(const std::string& fileLayout)
{
    if (!MostraReportInstallato())
        throw EInvalidOperation(MessaggioFunzioneNonDisponibile);
    MostraReportInstallato()(fileLayout);
}

void ImpostaMostraReport(std::function<void(const std::string& fileLayout)> mostra)
{
    MostraReportInstallato() = std::move(mostra);
}
