#include "foundation/SimpleDictionary.h"

#include "platform/rtl/TextUtils.h"

void TSimpleDictionary::AddObject(const std::string& nome, TObject* oggetto)
{
    FVoci.AddObject(nome, oggetto);
}

void TSimpleDictionary::SetValue(const std::string& nome, const std::string& valore)
{
    FVoci.Add(nome + FVoci.NameValueSeparator() + valore);
}

std::string TSimpleDictionary::GetValue(const std::string& nome) const
{
    const int indice = FVoci.IndexOfName(nome);
    return indice >= 0 ? FVoci.ValueFromIndex(indice) : std::string();
}

TObject* TSimpleDictionary::GetObject(const std::string& nome) const
{
    // Only bare-name entries carry an object; name=value lines never match a bare name.
    for (int i = 0; i < FVoci.Count(); ++i)
        if (FVoci.CompareStrings(FVoci.Strings(i), nome) == 0)
            return FVoci.Objects(i);
    return nullptr;
}
