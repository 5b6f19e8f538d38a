#pragma once
// Checks of the Italian VAT number and fiscal code: "" when accepted, otherwise the message.

#include <string>

std::string VerificaPartitaIva(const std::string& testo);
std::string VerificaCodiceFiscale(const std::string& testo);
