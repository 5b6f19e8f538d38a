#include "foundation/ExceptMessage.h"

#include "archive/Zip.h"
#include "foundation/Configurazione.h"
#include "foundation/Log.h"
#include "foundation/ScreenCapture.h"
#include "foundation/SupportFiles.h"
#include "platform/gui/Application.h"
#include "platform/gui/Button.h"
#include "platform/gui/CheckBox.h"
#include "platform/gui/CommonDialogs.h"
#include "platform/gui/Memo.h"
#include "platform/gui/Panel.h"
#include "platform/os/Libraries.h"
#include "platform/os/MessageBox.h"
#include "platform/os/Shell.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/SysErrors.h"
#include "platform/rtl/TextUtils.h"
#include "widgets/HintBox.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <mutex>

TFormExceptMessage* FormExceptMessage = nullptr;

namespace ExceptMessage {

constexpr size_t RapportiTenuti = 100;
constexpr size_t LunghezzaEccezioneEstesa = 1024;
const char* const Titolo = "Errore nell'applicazione";
const char* const VersioneProgramma = "3.0.1";
const char* const SezioneGenerale = "Ventisca,Tessellarium,Generale";
const char* const IndirizzoAssistenzaPredefinito = "assistenza@ventisca.example";
const char* const FileTesto = "ExcpText.txt";
const char* const FileSchermata = "ExcpScreen.bmp";
const char* const FilePacchetto = "Excp.exc";

struct TRegistroRapporti {
    std::mutex Guardia;
    std::deque<TFormExceptMessage::Rapporto> Rapporti;
};

TRegistroRapporti& Registro()
{
    static TRegistroRapporti registro;
    return registro;
}

void Registra(TFormExceptMessage::Rapporto rapporto)
{
    TRegistroRapporti& registro = Registro();
    std::lock_guard<std::mutex> blocco(registro.Guardia);
    if (registro.Rapporti.size() >= RapportiTenuti)
        registro.Rapporti.pop_front();
    registro.Rapporti.push_back(std::move(rapporto));
}

// Runs one step of a report; a step that fails is skipped so that the next one still runs.
template <typename TPasso>
void Passo(TPasso passo) noexcept
{
    try {
        passo();
    } catch (...) {
    }
}

// Upper-case hexadecimal, at least 8 digits.
std::string Esadecimale(std::uint64_t valore)
{
    return IntToHex(valore, 8);
}

std::string Esadecimale(const void* indirizzo)
{
    return Esadecimale(static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(indirizzo)));
}

// The report's files, in the program's "Debug" folder; the folder is not created.
std::string FileDebug(const std::string& nome)
{
    return CartellaApplicazione() + "Debug\\" + nome;
}

void ScriviFileTesto(const std::vector<std::string>& righe)
{
    std::string testo;
    for (const std::string& riga : righe) {
        testo += riga;
        testo += "\r\n";
    }
    WriteFileAtomically(SottocartellaApplicazione("Debug") + FileTesto, testo);
}

void MostraBoxConTitolo(const std::string& messaggio, const std::string& titolo)
{
    if (!messaggio.empty())
        MessageBoxA(nullptr, messaggio, titolo, MB_OK | MB_ICONERROR);
}

// The box after a full report, naming where the failure was caught.
void MostraBoxRapporto(const TFormExceptMessage::Rapporto& rapporto)
{
    MostraBoxConTitolo(rapporto.Messaggio, std::string(Titolo) + " - (" + rapporto.FileSorgente + "," +
                                               std::to_string(rapporto.Riga) + ")");
}

// A full report when the window cannot take it: it does not exist, or it is already showing a
// report, whose files stay as they are. The log and the box still tell what happened.
void RapportoSenzaFinestra(const TFormExceptMessage::Rapporto& rapporto, bool scriviFile)
{
    std::vector<std::string> righe;
    Passo([&] { righe = TFormExceptMessage::ComponiRapporto(rapporto); });
    if (scriviFile) {
        Passo([] { TFormExceptMessage::CancellaFileRapporto(); });
        Passo([&] { ScriviFileTesto(righe); });
    }
    TFormExceptMessage::RegistraRapporto(righe);
    Passo([&] { MostraBoxRapporto(rapporto); });
}

void RapportoCompleto(const TFormExceptMessage::Rapporto& rapporto)
{
    TFormExceptMessage* finestra = FormExceptMessage;
    if (finestra == nullptr) {
        RapportoSenzaFinestra(rapporto, true);
        return;
    }
    if (finestra->RapportoInCorso()) {
        RapportoSenzaFinestra(rapporto, false);
        return;
    }
    finestra->MostraRapporto(rapporto);
    Passo([&] { MostraBoxRapporto(rapporto); });
}

// Opens a file or a link with the desktop's program for it; says so when there is none.
void Apri(TFormExceptMessage* finestra, const std::string& destinazione)
{
    const HWND proprietario = finestra->HandleAllocated() ? finestra->Handle() : nullptr;
    const auto risposta = reinterpret_cast<std::intptr_t>(
        ShellExecuteA(proprietario, "open", destinazione.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (risposta <= 32) {
        const std::string motivo = SysErrorMessage(GetLastError());
        MessageBoxA(proprietario, "Impossibile aprire \"" + destinazione + "\".\r\n" + motivo, Titolo,
                    MB_OK | MB_ICONWARNING);
    }
}

std::unique_ptr<TStringList> LineeAiuto()
{
    auto linee = std::make_unique<TStringList>();
    linee->Add("Si \xE8 verificato un errore inatteso nell'applicazione. L'errore rappresenta una anomalia del "
               "programma che pu\xF2 derivare da incongruenze ed omissioni nel codice, manomissioni volontarie o "
               "involantarie dei file di supporto o da confilitti non previsti con il sistema ospitante.");
    linee->Add("");
    linee->Add("<b>Assistenza:</b> Ai fini di garantire una pi\xF9 rapida comprensione ed analisi del problema "
               "verificatosi \xE8 possibile salvare le informazioni dell'errore in un file di testo tramite il "
               "pulsante <b>Salva</b> e inviarlo via mail all'assistenza Ventisca.  Se la connessione internet "
               "\xE8 attiva, \xE8 possibile inviare direttamente il messaggio di errore premendo il pulsante "
               "<b>Invia</b>.");
    return linee;
}

} // namespace ExceptMessage

// --- The window --------------------------------------------------------------------------------

TFormExceptMessage::TFormExceptMessage(TComponent* owner) : TForm(owner)
{
    SetName("FormExceptMessage");
    SetCaption(ExceptMessage::Titolo);
    SetBorderStyle(bsDialog);
    SetBorderIcons({biSystemMenu});
    Position = poScreenCenter;
    SetBounds(0, 0, 600, 440);
    // Measuring the editors' fonts needs the visual application. The data module makes this
    // window before it exists in programs and tests that never show a window; the components
    // then wait for the first full report.
    if (Application != nullptr && Application->Initialized())
        CreaComponenti();
    OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
}

TFormExceptMessage::~TFormExceptMessage()
{
    if (FormExceptMessage == this)
        FormExceptMessage = nullptr;
}

void TFormExceptMessage::CreaComponenti()
{
    Aiuto = new THintBox(this);
    Aiuto->SetName("Aiuto");
    Aiuto->SetParent(this);
    Aiuto->SetAlign(alTop);
    Aiuto->SetHeight(96);
    Aiuto->SetLines(ExceptMessage::LineeAiuto().get());

    TitoloErrore = new TPanel(this);
    TitoloErrore->SetName("TitoloErrore");
    TitoloErrore->SetParent(this);
    TitoloErrore->SetAlign(alTop);
    TitoloErrore->SetHeight(20);
    TitoloErrore->SetAlignment(taLeftJustify);
    TitoloErrore->SetBevelOuter(bvNone);
    TitoloErrore->SetColor(clBtnShadow);
    TitoloErrore->Font()->SetColor(clWhite);
    TitoloErrore->Font()->SetStyle({fsBold});
    TitoloErrore->SetCaption(" Info errore");

    PnlComandi = new TPanel(this);
    PnlComandi->SetName("PnlComandi");
    PnlComandi->SetParent(this);
    PnlComandi->SetAlign(alBottom);
    PnlComandi->SetHeight(68);
    PnlComandi->SetBevelOuter(bvNone);
    PnlComandi->SetCaption("");

    MemoErrore = new TMemo(this);
    MemoErrore->SetName("MemoErrore");
    MemoErrore->SetParent(this);
    MemoErrore->SetAlign(alClient);
    MemoErrore->SetReadOnly(true);
    MemoErrore->SetWordWrap(false);
    MemoErrore->SetScrollBars(ssBoth);
    MemoErrore->Lines()->Clear();

    const int larghezza = ClientWidth();
    PnlFileImmagine = new TPanel(this);
    PnlFileImmagine->SetName("PnlFileImmagine");
    PnlFileImmagine->SetParent(PnlComandi);
    PnlFileImmagine->SetBounds(8, 8, larghezza - 8 - 8 - 4 - 24, 22);
    PnlFileImmagine->SetAlignment(taLeftJustify);
    PnlFileImmagine->SetBevelOuter(bvLowered);
    PnlFileImmagine->SetCaption("");

    BtnImmagine = new TButton(this);
    BtnImmagine->SetName("BtnImmagine");
    BtnImmagine->SetParent(PnlComandi);
    BtnImmagine->SetBounds(larghezza - 8 - 24, 8, 24, 22);
    BtnImmagine->SetCaption("...");
    BtnImmagine->OnClick = [this](TObject* Sender) { BtnImmagineClick(Sender); };

    ChkAllegaImmagine = new TCheckBox(this);
    ChkAllegaImmagine->SetName("ChkAllegaImmagine");
    ChkAllegaImmagine->SetParent(PnlComandi);
    ChkAllegaImmagine->SetBounds(8, 38, 200, 25);
    ChkAllegaImmagine->SetCaption("Non allegare immagine");

    struct TPulsante {
        TButton*& Campo;
        const char* Nome;
        const char* Testo;
        void (TFormExceptMessage::*Gestore)(TObject*);
    };
    const TPulsante pulsanti[] = {
        {BtnSalva, "BtnSalva", "Salva", &TFormExceptMessage::BtnSalvaClick},
        {BtnInvia, "BtnInvia", "Invia", &TFormExceptMessage::BtnInviaClick},
        {BtnChiudi, "BtnChiudi", "Chiudi", &TFormExceptMessage::BtnChiudiClick},
    };
    int sinistra = larghezza - 8 - 3 * 75 - 2 * 6;
    for (const TPulsante& pulsante : pulsanti) {
        pulsante.Campo = new TButton(this);
        pulsante.Campo->SetName(pulsante.Nome);
        pulsante.Campo->SetParent(PnlComandi);
        pulsante.Campo->SetBounds(sinistra, 38, 75, 25);
        pulsante.Campo->SetCaption(pulsante.Testo);
        auto gestore = pulsante.Gestore;
        pulsante.Campo->OnClick = [this, gestore](TObject* Sender) { (this->*gestore)(Sender); };
        sinistra += 75 + 6;
    }
    BtnChiudi->SetCancel(true);

    ScreenCapture = new TScreenCapture(this);
    ScreenCapture->SetName("ScreenCapture");
    ScreenCapture->Auto = false;
    ScreenCapture->Minimize = false;

    Zip = new TZip(this);
    Zip->SetName("Zip");
    // A package that cannot be written is told by the buttons that need it.
    Zip->OnError = [](TObject*, const std::string&) {};

    SalvaFile = new TSaveDialog(this);
    SalvaFile->SetName("SalvaFile");
    SalvaFile->Filter = "File di errore (*.exc)|*.exc|Tutti i file (*.*)|*.*";
    SalvaFile->SetDefaultExt("exc");
    SalvaFile->FileName = ExceptMessage::FilePacchetto;
}

bool TFormExceptMessage::PreparaFinestra()
{
    if (Aiuto != nullptr)
        return true;
    if (Application == nullptr || !Application->Initialized())
        return false;
    const int primo = ComponentCount();
    CreaComponenti();
    for (int i = primo; i < ComponentCount(); ++i)
        Components(i)->Loaded();
    Realign();
    return true;
}

TFormExceptMessage* TFormExceptMessage::Create(TComponent* owner)
{
    try {
        auto* finestra = TForm::Create<TFormExceptMessage>(owner);
        FormExceptMessage = finestra;
        return finestra;
    } catch (const std::exception& e) {
        MOSTRA_ERRORE("Errore nella creazione della finestra.", e, 1);
    }
    return nullptr;
}

// --- The entry ---------------------------------------------------------------------------------

void TFormExceptMessage::MostraErrore(const std::string& messaggio, const std::string& testoEccezione,
                                      const std::string& funzione, int riga, const std::string& fileSorgente,
                                      const Exception* eccezione, const void* indirizzo,
                                      const std::string& classeLanciata, const std::string& fileLancio,
                                      const std::string& rigaLancio, int8_t livello) noexcept
{
    // A failure of the report itself must never reach the handler that is reporting.
    try {
        const Rapporto rapporto{messaggio, testoEccezione, funzione, riga, fileSorgente, eccezione,
                                indirizzo, classeLanciata, fileLancio, rigaLancio, livello};
        ExceptMessage::Passo([&] { ExceptMessage::Registra(rapporto); });
        const int8_t sogliaRapporto = FormExceptMessage != nullptr ? FormExceptMessage->SogliaRapporto : 0;
        const int8_t sogliaMessaggio = FormExceptMessage != nullptr ? FormExceptMessage->SogliaMessaggio : 1;
        if (livello <= sogliaRapporto) {
            ExceptMessage::RapportoCompleto(rapporto);
        } else if (livello <= sogliaMessaggio) {
            MostraMessaggio(messaggio);
        } else {
            // Silent failures are kept in the log: it is their only trace.
            std::vector<std::string> righe;
            ExceptMessage::Passo([&] { righe = ComponiRapporto(rapporto); });
            RegistraRapporto(righe);
        }
    } catch (...) {
    }
}

std::vector<TFormExceptMessage::Rapporto> TFormExceptMessage::RapportiRegistrati()
{
    ExceptMessage::TRegistroRapporti& registro = ExceptMessage::Registro();
    std::lock_guard<std::mutex> blocco(registro.Guardia);
    return {registro.Rapporti.begin(), registro.Rapporti.end()};
}

void TFormExceptMessage::AzzeraRapporti()
{
    ExceptMessage::TRegistroRapporti& registro = ExceptMessage::Registro();
    std::lock_guard<std::mutex> blocco(registro.Guardia);
    registro.Rapporti.clear();
}

// --- The steps ---------------------------------------------------------------------------------

std::vector<std::string> TFormExceptMessage::ComponiRapporto(const Rapporto& r)
{
    std::string estesa = "No message";
    if (r.Eccezione != nullptr)
        estesa = ExceptionErrorMessage(*r.Eccezione, r.Indirizzo).substr(0, ExceptMessage::LunghezzaEccezioneEstesa);
    const TDateTime adesso = Now();
    const std::string titolo = Application != nullptr ? Application->Title() : std::string();

    std::vector<std::string> righe;
    righe.push_back("Errore livello " + std::to_string(r.Livello) + " in " + titolo);
    righe.push_back(DateToStr(adesso) + " - " + TimeToStr(adesso) + ": '" + r.TestoEccezione + "'.");
    righe.push_back("Messaggio visualizzato: '" + r.Messaggio + "'.");
    righe.push_back("Eccezione: '" + r.TestoEccezione + "'.");
    righe.push_back("Indirizzo: '" + ExceptMessage::Esadecimale(r.Indirizzo) + "'.");
    righe.push_back("Eccezione estesa: '" + estesa + "'.");
    righe.push_back("Throw: " + r.ClasseLanciata + ", modulo " + r.FileLancio + ", riga " + r.RigaLancio + ".");
    righe.push_back("Catch: Modulo " + r.FileSorgente + ", riga " + std::to_string(r.Riga) + ", funzione " +
                    r.Funzione + ".");
    righe.push_back(std::string("AppVersion: ") + ExceptMessage::VersioneProgramma +
                    " OS Version: " + NomeVersioneSistema() + " " + VersioneSistema().ServicePack);
    TModuleSection sezione;
    if (r.Indirizzo != nullptr && FindModuleSection(r.Indirizzo, sezione))
        righe.push_back("Map: " + sezione.ModulePath + " " + std::to_string(sezione.Section) + " 0x" +
                        ExceptMessage::Esadecimale(static_cast<std::uint64_t>(sezione.Offset)));
    return righe;
}

void TFormExceptMessage::MostraMessaggio(const std::string& messaggio)
{
    ExceptMessage::MostraBoxConTitolo(messaggio, ExceptMessage::Titolo);
}

void TFormExceptMessage::MostraRapporto(const Rapporto& rapporto)
{
    struct TFineRapporto {
        bool& InCorso;
        ~TFineRapporto() { InCorso = false; }
    } fine{FRapportoInCorso};
    FRapportoInCorso = true;

    // Without the visual application there is no window to show: the files and the log are
    // still written, and the box still follows.
    bool conFinestra = false;
    ExceptMessage::Passo([&] { conFinestra = PreparaFinestra(); });
    ExceptMessage::Passo([] { CancellaFileRapporto(); });
    std::vector<std::string> righe;
    ExceptMessage::Passo([&] { righe = ComponiRapporto(rapporto); });
    ScriviRapporto(righe);
    if (!conFinestra)
        return;
    ExceptMessage::Passo([this] { SalvaSchermata(); });
    ExceptMessage::Passo([this] { ShowModal(); });
}

void TFormExceptMessage::CancellaFileRapporto()
{
    DeleteFile(ExceptMessage::FileDebug(ExceptMessage::FileSchermata));
    DeleteFile(ExceptMessage::FileDebug(ExceptMessage::FileTesto));
}

void TFormExceptMessage::ScriviRapporto(const std::vector<std::string>& righe)
{
    ExceptMessage::Passo([&] { ExceptMessage::ScriviFileTesto(righe); });
    if (MemoErrore != nullptr)
        ExceptMessage::Passo([&] {
            // An edit control ends its text at a zero byte: the memo shows it as a blank, so
            // that the rest of the report stays readable. The files keep the bytes.
            TStringList linee;
            for (std::string riga : righe) {
                std::replace(riga.begin(), riga.end(), '\0', ' ');
                linee.Add(riga);
            }
            MemoErrore->Lines()->Assign(&linee);
        });
    RegistraRapporto(righe);
}

void TFormExceptMessage::RegistraRapporto(const std::vector<std::string>& righe) noexcept
{
    ExceptMessage::Passo([&] {
        TStringList linee;
        for (const std::string& riga : righe)
            linee.Add(riga);
        linee.Add(std::string(80, '-'));
        TLog(CartellaApplicazione() + "Debug\\").ScriviElenco(linee);
    });
}

void TFormExceptMessage::SalvaSchermata()
{
    const std::string percorso = ExpandFileName(ExceptMessage::FileDebug(ExceptMessage::FileSchermata));
    PnlFileImmagine->SetCaption(percorso);
    SottocartellaApplicazione("Debug");
    std::unique_ptr<TBitmap> schermata = ScreenCapture->Capture();
    schermata->SaveToFile(percorso);
}

bool TFormExceptMessage::ComprimiRapporto()
{
    const std::string cartella = SottocartellaApplicazione("Debug");
    const std::string schermata = cartella + ExceptMessage::FileSchermata;
    const std::string testo = cartella + ExceptMessage::FileTesto;
    Zip->SetArcName(cartella + ExceptMessage::FilePacchetto);
    Zip->Files()->Clear();
    if (FileExists(schermata) && !ChkAllegaImmagine->Checked())
        Zip->Files()->Add(schermata);
    if (FileExists(testo))
        Zip->Files()->Add(testo);
    Zip->Overwrite = true;
    return Zip->Compress();
}

void TFormExceptMessage::ApriMailto(const std::string& indirizzo)
{
    ExceptMessage::Apri(this, "mailto:" + indirizzo);
}

// --- The handlers ------------------------------------------------------------------------------

void TFormExceptMessage::BtnImmagineClick(TObject*)
{
    ExceptMessage::Apri(this, PnlFileImmagine->Caption());
}

void TFormExceptMessage::BtnInviaClick(TObject*)
{
    // The mail program gets only the address: the package is never attached by the program, so
    // a package that could not be written does not stop the mail.
    ExceptMessage::Passo([this] { ComprimiRapporto(); });
    ApriMailto(LeggiImpostazione(ExceptMessage::SezioneGenerale, "EmailAssistenza",
                                 ExceptMessage::IndirizzoAssistenzaPredefinito));
}

void TFormExceptMessage::BtnSalvaClick(TObject*)
{
    if (!SalvaFile->Execute())
        return;
    bool pronto = false;
    ExceptMessage::Passo([&] { pronto = ComprimiRapporto(); });
    if (!pronto) {
        MessageBoxA(HandleAllocated() ? Handle() : nullptr, "Impossibile preparare il file dell'errore.",
                    ExceptMessage::Titolo, MB_OK | MB_ICONERROR);
        return;
    }
    // CopyFile writes a temporary file beside the target and renames it, so a failed copy leaves
    // a file of that name as it was.
    if (!CopyFile(ExceptMessage::FileDebug(ExceptMessage::FilePacchetto), SalvaFile->FileName, false)) {
        const std::string motivo = SysErrorMessage(GetLastError());
        MessageBoxA(HandleAllocated() ? Handle() : nullptr,
                    "Impossibile salvare il file \"" + SalvaFile->FileName + "\".\r\n" + motivo,
                    ExceptMessage::Titolo, MB_OK | MB_ICONERROR);
    }
}

void TFormExceptMessage::BtnChiudiClick(TObject*)
{
    Close();
}

void TFormExceptMessage::FormClose(TObject*, TCloseAction& Action)
{
    Action = caHide;
}

// --- Handlers' helpers -------------------------------------------------------------------------

std::string NomeFileSorgente(const char* percorso)
{
    if (percorso == nullptr)
        return {};
    const std::string testo = percorso;
    const size_t separatore = testo.find_last_of("\\/");
    return separatore == std::string::npos ? testo : testo.substr(separatore + 1);
}

void MostraErroreDaHandler(const std::string& messaggio, const std::string& testoEccezione,
                           const Exception* eccezione, const char* funzione, int riga,
                           const char* fileSorgente, int8_t livello) noexcept
{
    try {
        const TThrowSite& lancio = LastThrowSite();
        const bool conLancio = !lancio.ClassName.empty();
        TFormExceptMessage::MostraErrore(messaggio, testoEccezione, funzione != nullptr ? funzione : "", riga,
                                         NomeFileSorgente(fileSorgente), eccezione,
                                         conLancio ? lancio.Address : nullptr,
                                         conLancio ? lancio.ClassName : std::string(),
                                         conLancio ? NomeFileSorgente(lancio.File) : std::string(),
                                         conLancio ? std::to_string(lancio.Line) : std::string(), livello);
    } catch (...) {
    }
}
