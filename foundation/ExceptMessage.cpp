#include "foundation/ExceptMessage.h"

#include "platform/os/MessageBox.h"

#include <deque>
#include <mutex>

TFormExceptMessage* FormExceptMessage = nullptr;

namespace {

constexpr size_t RapportiTenuti = 100;
const char* const TitoloErrore = "Errore nell'applicazione";

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

void MostraMessaggio(const std::string& messaggio, const std::string& titolo)
{
    if (!messaggio.empty())
        MessageBoxA(nullptr, messaggio, titolo, MB_OK | MB_ICONERROR);
}

} // namespace

TFormExceptMessage::TFormExceptMessage(TComponent* owner) : TComponent(owner) {}

TFormExceptMessage::~TFormExceptMessage()
{
    if (FormExceptMessage == this)
        FormExceptMessage = nullptr;
}

void TFormExceptMessage::MostraErrore(const std::string& messaggio, const std::string& testoEccezione,
                                      const std::string& funzione, int riga, const std::string& fileSorgente,
                                      const Exception* eccezione, const void* indirizzo,
                                      const std::string& classeLanciata, const std::string& fileLancio,
                                      const std::string& rigaLancio, int8_t livello) noexcept
{
    // A failure of the report itself must never reach the handler that is reporting.
    try {
        Registra({messaggio, testoEccezione, funzione, riga, fileSorgente, eccezione, indirizzo, classeLanciata,
                  fileLancio, rigaLancio, livello});
    } catch (...) {
    }
    try {
        const int8_t sogliaRapporto = FormExceptMessage != nullptr ? FormExceptMessage->SogliaRapporto : 0;
        const int8_t sogliaMessaggio = FormExceptMessage != nullptr ? FormExceptMessage->SogliaMessaggio : 1;
        if (livello <= sogliaRapporto) {
            // The report window and its files come with the real entry.
            MostraMessaggio(messaggio, std::string(TitoloErrore) + " - (" + fileSorgente + "," +
                                           std::to_string(riga) + ")");
        } else if (livello <= sogliaMessaggio) {
            MostraMessaggio(messaggio, TitoloErrore);
        }
    } catch (...) {
    }
}

std::vector<TFormExceptMessage::Rapporto> TFormExceptMessage::RapportiRegistrati()
{
    TRegistroRapporti& registro = Registro();
    std::lock_guard<std::mutex> blocco(registro.Guardia);
    return {registro.Rapporti.begin(), registro.Rapporti.end()};
}

void TFormExceptMessage::AzzeraRapporti()
{
    TRegistroRapporti& registro = Registro();
    std::lock_guard<std::mutex> blocco(registro.Guardia);
    registro.Rapporti.clear();
}

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
        // The layer records where the last exception of this thread was raised, not its address.
        const TThrowSite& lancio = LastThrowSite();
        const bool conLancio = !lancio.ClassName.empty();
        TFormExceptMessage::MostraErrore(messaggio, testoEccezione, funzione != nullptr ? funzione : "", riga,
                                         NomeFileSorgente(fileSorgente), eccezione, nullptr,
                                         conLancio ? lancio.ClassName : std::string(),
                                         conLancio ? NomeFileSorgente(lancio.File) : std::string(),
                                         conLancio ? std::to_string(lancio.Line) : std::string(), livello);
    } catch (...) {
    }
}
