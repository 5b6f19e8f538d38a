#pragma once
// The error report entry every failure handler calls. This is the stand-in until the report
// window exists: it shows the message boxes of levels up to the message threshold, writes
// nothing, and keeps the last reports in memory so that tests can read them.

#include "platform/rtl/Classes.h"
#include "platform/rtl/Exceptions.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

class TFormExceptMessage : public TComponent {
    TESS_CLASS(TFormExceptMessage, TComponent)
public:
    explicit TFormExceptMessage(TComponent* owner);
    // Clears FormExceptMessage when it points here.
    ~TFormExceptMessage() override;

    // Level <= SogliaRapporto: full report, then the box "Errore nell'applicazione - (file,line)"
    // for a non-empty message; level <= SogliaMessaggio: the box "Errore nell'applicazione" for
    // a non-empty message; above: nothing shown. The thresholds are those of FormExceptMessage,
    // 0 and 1 without it. Never throws.
    static void MostraErrore(const std::string& messaggio, const std::string& testoEccezione,
                             const std::string& funzione, int riga, const std::string& fileSorgente,
                             const Exception* eccezione, const void* indirizzo,
                             const std::string& classeLanciata, const std::string& fileLancio,
                             const std::string& rigaLancio, int8_t livello) noexcept;

    int8_t SogliaRapporto = 0;
    int8_t SogliaMessaggio = 1;

    struct Rapporto {
        std::string Messaggio;
        std::string TestoEccezione;
        std::string Funzione;
        int Riga = 0;
        std::string FileSorgente;
        // For identity only: the object may be gone once its handler has ended.
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

// Fills the catching function, line and file and the record of the last throw. Called as
// MOSTRA_ERRORE("Messaggio", e, 1) in a handler, with e the caught exception (or a pointer to
// it, or nullptr).
void MostraErroreDaHandler(const std::string& messaggio, const std::string& testoEccezione,
                           const Exception* eccezione, const char* funzione, int riga,
                           const char* fileSorgente, int8_t livello) noexcept;

#define MOSTRA_ERRORE(messaggio, eccezione, livello)                                              \
    MostraErroreDaHandler((messaggio), TestoEccezioneDi(eccezione), OggettoEccezioneDi(eccezione), \
                          __func__, __LINE__, __FILE__, static_cast<int8_t>(livello))
