#pragma once
// The program-wide number of decimals of amounts, and amounts formatted and rounded with it.

#include <string>

// Clamped to 0..18; also rebuilds the mask.
void ImpostaDecimali(int n);
std::string MascheraImporti();
// ",0." followed by n zeros.
std::string CreaMascheraImporti(int n);
// Fixed notation with the current decimals, decimal comma, no thousands separator.
std::string FormattaImporto(double importo);
double ArrotondaImporto(double importo);
