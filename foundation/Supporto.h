#pragma once
// Name=value lines and rounding.

#include "platform/rtl/Lists.h"

#include <string>

// The first line named nome (letter case ignored) becomes nome=valore, also for an empty value;
// without such a line, nome=valore is appended.
void ImpostaValore(TStrings& elenco, const std::string& nome, const std::string& valore);

// Rounds through the decimal text of 15 significant digits, halves away from zero. NaN and
// infinities come back unchanged; decimali is clamped to 0..18; a zero result is +0.
double Arrotonda(double numero, int decimali);
