#include "foundation/Supporto.h"

#include "platform/rtl/Formats.h"

#include <cmath>

namespace {

// Fixed settings, so that a change of the process-wide separators between the two conversions
// cannot misread the text.
const TFormatSettings& ImpostazioniArrotondamento()
{
    static const TFormatSettings impostazioni = DefaultFormatSettings();
    return impostazioni;
}

// The range of decimals the float-to-text conversion takes.
constexpr int MassimoDecimali = 18;

} // namespace

void ImpostaValore(TStrings& elenco, const std::string& nome, const std::string& valore)
{
    const std::string riga = nome + elenco.NameValueSeparator() + valore;
    const int indice = elenco.IndexOfName(nome);
    if (indice >= 0)
        elenco.SetStrings(indice, riga);
    else
        elenco.Add(riga);
}

double Arrotonda(double numero, int decimali)
{
    if (!std::isfinite(numero))
        return numero;
    decimali = decimali < 0 ? 0 : (decimali > MassimoDecimali ? MassimoDecimali : decimali);
    const TFormatSettings& impostazioni = ImpostazioniArrotondamento();
    const std::string testo = FloatToStrF(numero, ffFixed, 15, decimali, impostazioni);
    double risultato = 0;
    if (!TextToFloat(testo, risultato, impostazioni))
        return numero;
    // Adding zero turns a -0 into +0.
    return risultato + 0.0;
}
