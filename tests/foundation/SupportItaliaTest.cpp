#include "foundation/SupportItalia.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const std::string CodiceDiControllo =
    "La partita IVA non sembra essere valida. Il codice di controllo non corrisponde";
const std::string CaratteriNonValidi = "Il codice fiscale contiene dei caratteri non validi. I "
                                       "soli caratteri validi sono le lettere e le cifre.";

} // namespace

TEST(SupportItalia, VatNumbers)
{
    struct Caso {
        std::string Testo, Messaggio;
    };
    const std::vector<Caso> casi = {
        {"", ""},
        {"12345678903", ""},
        {"00743110157", ""},
        {"12345678901", CodiceDiControllo},
        {"1234567890", "La lunghezza della partita IVA non \xE8 corretta."},
        {"123456789012", "La lunghezza della partita IVA non \xE8 corretta."},
        {"1234A678903", "La partita IVA contiene un carattere non valido (posizione5."},
        {"A234567890B", "La partita IVA contiene un carattere non valido (posizione1."},
        {"1234567890 ", "La partita IVA contiene un carattere non valido (posizione11."},
        {std::string("1234\0" "678903", 11),
         "La partita IVA contiene un carattere non valido (posizione5."},
        {"1234\xB2" "678903", "La partita IVA contiene un carattere non valido (posizione5."},
    };
    for (const Caso& caso : casi)
        EXPECT_EQ(VerificaPartitaIva(caso.Testo), caso.Messaggio) << caso.Testo;

    // The check digit catches a change of any single digit.
    const std::string valida = "12345678903";
    for (size_t i = 0; i < valida.size(); ++i)
        for (char cifra = '0'; cifra <= '9'; ++cifra) {
            if (cifra == valida[i])
                continue;
            std::string cambiata = valida;
            cambiata[i] = cifra;
            EXPECT_EQ(VerificaPartitaIva(cambiata), CodiceDiControllo) << cambiata;
        }
}

TEST(SupportItalia, FiscalCodes)
{
    struct Caso {
        std::string Testo, Messaggio;
    };
    const std::vector<Caso> casi = {
        {"", ""},
        {"RSSMRA85T10A562S", ""},
        {"rssmra85t10a562s", ""},
        {"RSSMRA85T10A562T", "Il codice fiscale non sembra essere corretto."},
        {"RSSMRA85T10A5621", "Il codice fiscale non sembra essere corretto."},
        {"RSSMRA85T10A562",
         "La lunghezza del codice fiscale non \xE8 corretta. Il codice fiscale dovrebbe essere "
         "lungo 16 caratteri."},
        {"RSSMRA85 10A562", // a wrong length is reported before the characters
         "La lunghezza del codice fiscale non \xE8 corretta. Il codice fiscale dovrebbe essere "
         "lungo 16 caratteri."},
        {"RSSMRA85 10A562S", CaratteriNonValidi},
        {"RSSMRA85T10A56\xE0S", CaratteriNonValidi},
        {"RSSMRA85T10A56\xC0S", CaratteriNonValidi},
        {std::string("RSSMRA85T10A562\0", 16), CaratteriNonValidi},
        {"00743110157", ""},
        {"00743110158",
         "Provando ad utlizzare la Partita Iva come codice fiscale \xE8 stato rilevato il "
         "seguente errore: La partita IVA non sembra essere valida. Il codice di controllo non "
         "corrisponde."},
        {"RSSMRA85T10",
         "Provando ad utlizzare la Partita Iva come codice fiscale \xE8 stato rilevato il "
         "seguente errore: La partita IVA contiene un carattere non valido (posizione1.."},
    };
    for (const Caso& caso : casi)
        EXPECT_EQ(VerificaCodiceFiscale(caso.Testo), caso.Messaggio) << caso.Testo;
}
