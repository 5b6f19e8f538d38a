#include "foundation/Contesto.h"

void TContesto::Scrivi(const std::string& nome, const std::string& valore)
{
    const int indice = FValori.IndexOfName(nome);
    if (indice >= 0)
        FValori.Delete(indice);
    FValori.Add(nome + FValori.NameValueSeparator() + valore);
}

std::string TContesto::Leggi(const std::string& nome) const
{
    const int indice = FValori.IndexOfName(nome);
    return indice >= 0 ? FValori.ValueFromIndex(indice) : std::string();
}
