#include "foundation/SupportDate.h"

#include "platform/rtl/Exceptions.h"

TDateTime PrimoDelMese(int mese, int anno)
{
    return EncodeDate(anno, mese, 1);
}

TDateTime UltimoDelMese(int mese, int anno)
{
    // A day of 0 lets EncodeDate refuse a month that has no length.
    const int giorni = mese >= 1 && mese <= 12 ? MonthDays[IsLeapYear(anno) ? 1 : 0][mese] : 0;
    return EncodeDate(anno, mese, giorni);
}

int AnnoDi(TDateTime data)
{
    int anno, mese, giorno;
    DecodeDate(data, anno, mese, giorno);
    return anno;
}

int MeseDi(TDateTime data)
{
    int anno, mese, giorno;
    DecodeDate(data, anno, mese, giorno);
    return mese;
}

int GiornoDi(TDateTime data)
{
    int anno, mese, giorno;
    DecodeDate(data, anno, mese, giorno);
    return giorno;
}

bool DataValida(const std::string& testo)
{
    try {
        StrToDate(testo);
        return true;
    } catch (const Exception&) {
        return false;
    }
}

bool OraValida(const std::string& testo)
{
    try {
        StrToTime(testo);
        return true;
    } catch (const Exception&) {
        return false;
    }
}
