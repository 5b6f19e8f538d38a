#pragma once
// A string-keyed dictionary of objects and values that a window hands back to its caller. Names
// are compared without regard to letter case; the first entry of a name wins. The objects are
// not owned.

#include "platform/rtl/Lists.h"

#include <string>

class TSimpleDictionary : public TObject {
    TESS_CLASS(TSimpleDictionary, TObject)
public:
    void AddObject(const std::string& nome, TObject* oggetto);
    // Appends name=value; an older line of the name stays in front of it.
    void SetValue(const std::string& nome, const std::string& valore);
    std::string GetValue(const std::string& nome) const;
    TObject* GetObject(const std::string& nome) const;

private:
    TStringList FVoci;
};
