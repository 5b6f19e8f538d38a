#include "foundation/SupportString.h"

#include "platform/os/MessageBox.h"

#include <array>
#include <cstring>

namespace {

// The characters that file names cannot hold, in the order the message lists them.
const char* const CaratteriNonAmmessi = "\\/:*?\"<>";

// The literal rule searches again from the start after every replacement, so text before the
// replacement can join it into a new occurrence. A shorter replacement shrinks the text at every
// round, and the rule ends; the result is built here in one pass: the output holds no occurrence,
// and every character added to it (from the text or from a replacement) is checked for an
// occurrence ending there, which is the leftmost one the literal rule would find next.
class TSostituzioneCompatta {
public:
    TSostituzioneCompatta(const std::string& cercato, const std::string& sostituto, size_t misura)
        : FCercato(cercato), FSostituto(sostituto)
    {
        FUscita.reserve(misura);
    }

    std::string Esegui(const std::string& testo)
    {
        for (char c : testo)
            Aggiungi(c);
        return std::move(FUscita);
    }

private:
    void Aggiungi(char c)
    {
        FUscita.push_back(c);
        if (!FiniscePerCercato())
            return;
        // A replacement can form new occurrences with what precedes it; they are handled in
        // turn, and each one removes at least one character, so this ends.
        do {
            FUscita.resize(FUscita.size() - FCercato.size());
            for (auto it = FSostituto.rbegin(); it != FSostituto.rend(); ++it)
                FInAttesa.push_back(*it);
            while (!FInAttesa.empty()) {
                FUscita.push_back(FInAttesa.back());
                FInAttesa.pop_back();
                if (FiniscePerCercato())
                    break;
            }
        } while (FiniscePerCercato());
    }

    bool FiniscePerCercato() const
    {
        const size_t m = FCercato.size();
        if (FUscita.size() < m || FUscita.back() != FCercato.back())
            return false;
        return std::memcmp(FUscita.data() + FUscita.size() - m, FCercato.data(), m) == 0;
    }

    const std::string& FCercato;
    const std::string& FSostituto;
    std::string FUscita;
    std::string FInAttesa; // replacement characters still to add, the next one last
};

} // namespace

std::string TestoPrimaSeparatore(const std::string& testo, const std::string& separatore,
                                 bool tuttoIlTesto)
{
    const size_t p = separatore.empty() ? std::string::npos : testo.find(separatore);
    if (p == std::string::npos)
        return tuttoIlTesto ? testo : std::string();
    return testo.substr(0, p);
}

std::string TestoPrima(const std::string& testo, const std::string& separatore)
{
    return TestoPrimaSeparatore(testo, separatore, true);
}

std::string TestoPrimaOVuoto(const std::string& testo, const std::string& separatore)
{
    return TestoPrimaSeparatore(testo, separatore, false);
}

std::string TestoDopo(const std::string& testo, const std::string& separatore)
{
    const size_t p = separatore.empty() ? std::string::npos : testo.find(separatore);
    if (p == std::string::npos)
        return {};
    return testo.substr(p + separatore.size());
}

std::string SostituisciTesto(const std::string& testo, const std::string& cercato,
                             const std::string& sostituto)
{
    if (cercato.empty())
        return testo;
    if (sostituto.size() < cercato.size())
        return TSostituzioneCompatta(cercato, sostituto, testo.size()).Esegui(testo);

    // A replacement at least as long resumes the search right after itself: otherwise a
    // replacement holding the searched text would be replaced for ever.
    std::string risultato;
    size_t inizio = 0;
    for (;;) {
        const size_t p = testo.find(cercato, inizio);
        if (p == std::string::npos)
            break;
        risultato.append(testo, inizio, p - inizio);
        risultato += sostituto;
        inizio = p + cercato.size();
    }
    if (inizio == 0)
        return testo;
    risultato.append(testo, inizio, std::string::npos);
    return risultato;
}

void SostituisciInElenco(TStrings& elenco, const std::string& cercato, const std::string& sostituto)
{
    for (int i = 0; i < elenco.Count(); ++i)
        elenco.SetStrings(i, SostituisciTesto(elenco.Strings(i), cercato, sostituto));
}

int ContieneCaratteri(const std::string& testo, const std::string& caratteri)
{
    for (char c : caratteri) {
        const size_t p = testo.find(c);
        if (p != std::string::npos)
            return static_cast<int>(p) + 1;
    }
    return 0;
}

std::string RimuoviCaratteri(const std::string& testo, const std::string& caratteri)
{
    std::array<bool, 256> daTogliere{};
    for (char c : caratteri)
        daTogliere[static_cast<unsigned char>(c)] = true;
    std::string risultato;
    risultato.reserve(testo.size());
    for (char c : testo)
        if (!daTogliere[static_cast<unsigned char>(c)])
            risultato += c;
    return risultato;
}

std::unique_ptr<TStringList> DividiTesto(const std::string& testo, char separatore)
{
    auto elenco = std::make_unique<TStringList>();
    elenco->BeginUpdate();
    size_t inizio = 0;
    for (;;) {
        const size_t p = testo.find(separatore, inizio);
        if (p == std::string::npos)
            break;
        elenco->Add(testo.substr(inizio, p - inizio));
        inizio = p + 1;
    }
    // The last item counts only when the text does not end with the separator.
    if (inizio < testo.size())
        elenco->Add(testo.substr(inizio));
    elenco->EndUpdate();
    return elenco;
}

std::string EstraiElemento(const std::string& testo, char separatore, int indice)
{
    const auto elementi = DividiTesto(testo, separatore);
    if (indice >= elementi->Count())
        return "0";
    return elementi->Strings(indice);
}

int IndiceElemento(const TStrings& elenco, const std::string& testo)
{
    for (int i = 0; i < elenco.Count(); ++i)
        if (elenco.Strings(i).compare(0, testo.size(), testo) == 0)
            return i;
    return -1;
}

std::string PulisciDenominazione(const std::string& denominazione)
{
    std::string pulita = RimuoviCaratteri(denominazione, CaratteriNonAmmessi);
    if (pulita.size() < denominazione.size())
        MessageBoxA(nullptr,
                    std::string("I caratteri ") + CaratteriNonAmmessi +
                        " non sono ammessi nella denominazione cliente.",
                    "Carattere non valido", MB_OK | MB_ICONERROR);
    return pulita;
}
