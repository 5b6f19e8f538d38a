#include "foundation/SupportItalia.h"

namespace {

// Only the ASCII digits and letters count: the locale never decides what a digit or letter is.
bool Cifra(char c)
{
    return c >= '0' && c <= '9';
}

bool Lettera(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char MaiuscolaAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The value of a character of the fiscal code in an odd position (counted from 1), indexed by
// its rank: digits count as the letter of the same rank.
constexpr int ValoreDispari[26] = {1,  0,  5,  7,  9,  13, 15, 17, 19, 21, 2,  4,  18,
                                   20, 11, 3,  6,  8,  12, 14, 16, 10, 22, 25, 24, 23};

// 0..9 for a digit, 0..25 for an upper-case letter.
int Rango(char c)
{
    return Cifra(c) ? c - '0' : c - 'A';
}

} // namespace

std::string VerificaPartitaIva(const std::string& testo)
{
    if (testo.empty())
        return {};
    if (testo.size() != 11)
        return "La lunghezza della partita IVA non \xE8 corretta.";
    for (size_t i = 0; i < testo.size(); ++i)
        if (!Cifra(testo[i]))
            return "La partita IVA contiene un carattere non valido (posizione" +
                   std::to_string(i + 1) + ".";

    int somma = 0;
    for (size_t i = 0; i < 10; ++i) {
        int cifra = testo[i] - '0';
        // Positions 2, 4, ... 10 counted from 1 are doubled.
        if (i % 2 == 1) {
            cifra *= 2;
            if (cifra > 9)
                cifra -= 9;
        }
        somma += cifra;
    }
    if (testo[10] - '0' == (10 - somma % 10) % 10)
        return {};
    return "La partita IVA non sembra essere valida. Il codice di controllo non corrisponde";
}

std::string VerificaCodiceFiscale(const std::string& testo)
{
    // Companies use their VAT number as fiscal code.
    if (testo.size() == 11) {
        const std::string errore = VerificaPartitaIva(testo);
        if (errore.empty())
            return {};
        return "Provando ad utlizzare la Partita Iva come codice fiscale \xE8 stato rilevato il "
               "seguente errore: " +
               errore + ".";
    }
    if (testo.empty())
        return {};
    if (testo.size() != 16)
        return "La lunghezza del codice fiscale non \xE8 corretta. Il codice fiscale dovrebbe "
               "essere lungo 16 caratteri.";
    std::string codice(testo);
    for (char& c : codice) {
        if (!Cifra(c) && !Lettera(c))
            return "Il codice fiscale contiene dei caratteri non validi. I soli caratteri validi "
                   "sono le lettere e le cifre.";
        c = MaiuscolaAscii(c);
    }

    int somma = 0;
    for (size_t i = 0; i < 15; ++i) {
        const int rango = Rango(codice[i]);
        // Index 0 is position 1, an odd position.
        somma += i % 2 == 0 ? ValoreDispari[rango] : rango;
    }
    if (codice[15] == 'A' + somma % 26)
        return {};
    return "Il codice fiscale non sembra essere corretto.";
}
