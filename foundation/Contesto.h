#pragma once
// A named list of name=value pairs; names compared without regard to letter case.

#include "platform/rtl/Lists.h"

#include <string>

class TContesto : public TObject {
    TESS_CLASS(TContesto, TObject)
public:
    explicit TContesto(const std::string& nome) : Nome(nome) {}

    // Replaces the first line of that name by name=value at the end of the list.
    void Scrivi(const std::string& nome, const std::string& valore);
    // The value of the first line of that name, "" when there is none.
    std::string Leggi(const std::string& nome) const;

    std::string Nome;

private:
    TStringList FValori;
};
