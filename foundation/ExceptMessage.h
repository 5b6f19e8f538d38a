#pragma once
// The error report: the entry every failure handler calls, and the window of a full report with
// its text, its screenshot and the package for the support service.
//
// The level decides what happens: up to SogliaRapporto the full report (window, files in the
// program's "Debug" folder, the daily log) and then the box naming the source file and line; up
// to SogliaMessaggio only the box "Errore nell'applicazione"; above that nothing is shown and the
// report lines go to the daily log.

#include "platform/gui/Form.h"
#include "platform/rtl/Exceptions.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

class TButton;
class TCheckBox;
class THintBox;
class TMemo;
class TPanel;
class TSaveDialog;
class TScreenCapture;
class TZip;

class TFormExceptMessage : public TForm {
    TESS_CLASS(TFormExceptMessage, TForm)
public:
    // Builds the window's components once the visual application exists, otherwise at the first
    // full report; no window handle exists until the first full report.
    explicit TFormExceptMessage(TComponent* owner);
    // Clears FormExceptMessage when it points here.
    ~TFormExceptMessage() override;

    // Creates the window and makes it FormExceptMessage. A failure is reported at level 1 and
    // gives nullptr.
    static TFormExceptMessage* Create(TComponent* owner);

    // The entry. The thresholds are those of FormExceptMessage, 0 and 1 without it; a full report
    // without the window still writes the text file and the log and shows the box. Never throws.
    static void MostraErrore(const std::string& messaggio, const std::string& testoEccezione,
                             const std::string& funzione, int riga, const std::string& fileSorgente,
                             const Exception* eccezione, const void* indirizzo,
                             const std::string& classeLanciata, const std::string& fileLancio,
                             const std::string& rigaLancio, int8_t livello) noexcept;

    int8_t SogliaRapporto = 0;
    int8_t SogliaMessaggio = 1;

    // The eleven arguments of a report.
    struct Rapporto {
        std::string Messaggio;
        std::string TestoEccezione;
        std::string Funzione;
        int Riga = 0;
        std::string FileSorgente;
        // For identity only once the report is over: the object may be gone once its handler
        // has ended.
        const Exception* Eccezione = nullptr;
        const void* Indirizzo = nullptr;
        std::string ClasseLanciata;
        std::string FileLancio;
        std::string RigaLancio;
        int8_t Livello = 0;
    };
    // The last 100 calls, oldest first.
    static std::vector<Rapporto> RapportiRegistrati();
    static void AzzeraRapporti();

    // The report lines: nine, and a tenth naming the module section when the address lies in a
    // loaded module. Reads the clock, the application title and the system version.
    static std::vector<std::string> ComponiRapporto(const Rapporto& rapporto);

    // The steps of a report.
    // The box "Errore nell'applicazione" with the error icon, for a non-empty message.
    static void MostraMessaggio(const std::string& messaggio);
    // The full report on this window: files, memo, log, screenshot, then the window until the
    // user closes it. Each step that fails is skipped. Without the visual application only the
    // files and the log are written.
    void MostraRapporto(const Rapporto& rapporto);
    // Deletes the screenshot and the text of the previous report.
    static void CancellaFileRapporto();
    // Writes the text file, fills the memo and appends the lines to the log.
    void ScriviRapporto(const std::vector<std::string>& righe);
    // Appends the lines and a line of 80 "-" to the daily log of the "Debug" folder, all with one
    // time stamp; a failure of the log is swallowed.
    static void RegistraRapporto(const std::vector<std::string>& righe) noexcept;
    void SalvaSchermata();
    // Writes the package Excp.exc; false when it could not be written.
    bool ComprimiRapporto();
    void ApriMailto(const std::string& indirizzo);

    void BtnImmagineClick(TObject* Sender);
    void BtnInviaClick(TObject* Sender);
    void BtnSalvaClick(TObject* Sender);
    void BtnChiudiClick(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);

    // Null until the window is prepared (see the constructor).
    THintBox* Aiuto = nullptr;
    TPanel* TitoloErrore = nullptr;
    TMemo* MemoErrore = nullptr;
    TPanel* PnlComandi = nullptr;
    TPanel* PnlFileImmagine = nullptr;
    TButton* BtnImmagine = nullptr;
    TCheckBox* ChkAllegaImmagine = nullptr;
    TButton* BtnSalva = nullptr;
    TButton* BtnInvia = nullptr;
    TButton* BtnChiudi = nullptr;
    TScreenCapture* ScreenCapture = nullptr;
    TZip* Zip = nullptr;
    TSaveDialog* SalvaFile = nullptr;

    // True from the start of a full report on this window until its window is closed.
    bool RapportoInCorso() const { return FRapportoInCorso; }

private:
    void CreaComponenti();
    // Builds the components when they are missing and the visual application exists; false when
    // the window cannot be shown.
    bool PreparaFinestra();

    bool FRapportoInCorso = false;
};

extern TFormExceptMessage* FormExceptMessage;

// What a handler knows of the exception it caught, for MOSTRA_ERRORE.
inline std::string TestoEccezioneDi(const std::exception& e) { return e.what(); }
inline std::string TestoEccezioneDi(const Exception* e) { return e != nullptr ? e->Message : std::string(); }
inline std::string TestoEccezioneDi(std::nullptr_t) { return {}; }
inline const Exception* OggettoEccezioneDi(const std::exception& e) { return dynamic_cast<const Exception*>(&e); }
inline const Exception* OggettoEccezioneDi(const Exception* e) { return e; }
inline const Exception* OggettoEccezioneDi(std::nullptr_t) { return nullptr; }

// The file name of a source path, without its folders.
std::string NomeFileSorgente(const char* percorso);

// Fills the catching function, line and file and the record of the last throw, with its address.
// Called as MOSTRA_ERRORE("Messaggio", e, 1) in a handler, with e the caught exception (or a
// pointer to it, or nullptr).
void MostraErroreDaHandler(const std::string& messaggio, const std::string& testoEccezione,
                           const Exception* eccezione, const char* funzione, int riga,
                           const char* fileSorgente, int8_t livello) noexcept;

#define MOSTRA_ERRORE(messaggio, eccezione, livello)                                              \
    MostraErroreDaHandler((messaggio), TestoEccezioneDi(eccezione), OggettoEccezioneDi(eccezione), \
                          __func__, __LINE__, __FILE__, static_cast<int8_t>(livello))
