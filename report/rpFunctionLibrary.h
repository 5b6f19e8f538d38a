#pragma once
// The functions every report expression may call: aggregates over the records of a band or a
// whole data set (SUM, AVG, COUNT, MIN, MAX), formatting, letter case, date and time literals and
// a question to the user.

#include "report/rpView.h"

#include <string>

class TrpStdFunctionLibrary : public TrpFunctionLibrary {
    TESS_CLASS(TrpStdFunctionLibrary, TrpFunctionLibrary)
public:
    TrpStdFunctionLibrary();

    // Arguments are the texts of the argument expressions; the result is expression text. Texts
    // come back quoted without doubling their quotes: the parser doubles them when it splices the
    // result in.
    void DoFunction(int functionIndex, const Variant& p1, const Variant& p2, const Variant& p3,
                    std::string& val) override;
};
