#include "foundation/ContabilitaTools.h"

#include "foundation/Supporto.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TextUtils.h"

#include <cmath>

namespace {

constexpr int MassimoDecimali = 18;

int DecimaliImporti = 0;
std::string Maschera;

const TFormatSettings& ImpostazioniImporti()
{
    static const TFormatSettings impostazioni = [] {
        TFormatSettings s = DefaultFormatSettings();
        s.DecimalSeparator = ',';
        return s;
    }();
    return impostazioni;
}

} // namespace

void ImpostaDecimali(int n)
{
    DecimaliImporti = n < 0 ? 0 : (n > MassimoDecimali ? MassimoDecimali : n);
    Maschera = CreaMascheraImporti(DecimaliImporti);
}

std::string MascheraImporti()
{
    return Maschera;
}

std::string CreaMascheraImporti(int n)
{
    return ",0." + StringOfChar('0', n);
}

std::string FormattaImporto(double importo)
{
    std::string testo = FloatToStrF(importo, ffFixed, 15, DecimaliImporti, ImpostazioniImporti());
    // An amount that rounds to zero shows no sign.
    if (std::isfinite(importo) && !testo.empty() && testo[0] == '-' &&
        testo.find_first_of("123456789") == std::string::npos)
        testo.erase(0, 1);
    return testo;
}

double ArrotondaImporto(double importo)
{
    return Arrotonda(importo, DecimaliImporti);
}
