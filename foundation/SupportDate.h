#pragma once
// Dates: the first and last day of a month, the parts of a date, checks of typed dates and times.

#include "platform/rtl/DateTime.h"

#include <string>

TDateTime PrimoDelMese(int mese, int anno);
// Raises the layer's conversion error for a month outside 1..12.
TDateTime UltimoDelMese(int mese, int anno);

int AnnoDi(TDateTime data);
int MeseDi(TDateTime data);
int GiornoDi(TDateTime data);

// True when the text converts to a date (time of day) under the regional settings.
bool DataValida(const std::string& testo);
bool OraValida(const std::string& testo);
