#pragma once
// The engine's script interpreter: scripts read and write the properties of the report's objects
// and bands, know the colour names and the free space on the sheet, and ask for a new page or
// column.

#include "report/RP_Intrp.h"

#include <string>

class TInterpretator : public TrpInterpretator {
    TESS_CLASS(TInterpretator, TrpInterpretator)
public:
    // Script variables, "FREESPACE", "Object.Property" or a property of the current object, a
    // colour name; any other name is a report value.
    void GetValue(const std::string& Name, Variant& Value) override;
    // A property of an object or band, or else the script variable of that whole name.
    void SetValue(const std::string& Name, const Variant& Value) override;
    // "NEWPAGE" and "NEWCOLUMN" ask the current band for a new page or column; other names are
    // report functions.
    void DoFunction(const std::string& Name, const Variant& p1, const Variant& p2, const Variant& p3,
                    std::string& Val) override;
};
