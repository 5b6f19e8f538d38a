#pragma once
// One run of the script fuzz target: the input, split into lines at line feeds, is compiled and
// the compiled lines are run with a budget of 10,000 instructions by an interpreter that keeps
// the variables it is given and answers every function with "1". Every error line has the form
// "Stroka L/C: message"; running ends normally or with one of the layer's exceptions. Anything
// else ends the run.

#include "report/RP_Intrp.h"

#include "platform/rtl/Lists.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

class TFuzzInterpretator : public TrpInterpretator {
    TESS_CLASS(TFuzzInterpretator, TrpInterpretator)
public:
    void GetValue(const std::string& name, Variant& value) override
    {
        const int index = Variables.IndexOf(name);
        if (index >= 0)
            value = Variables.GetValue(index);
    }
    void SetValue(const std::string& name, const Variant& value) override { Variables.SetVariable(name, value); }
    void DoFunction(const std::string&, const Variant&, const Variant&, const Variant&, std::string& val) override
    {
        val = "1";
    }

    TrpVariables Variables;
};

inline void RunScriptFuzzCase(const std::uint8_t* data, std::size_t size)
{
    TStringList source, compiled, errors;
    std::string line;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            source.Add(line);
            line.clear();
        } else {
            line += static_cast<char>(data[i]);
        }
    }
    source.Add(line);
    TFuzzInterpretator interpreter;
    interpreter.MaxInstructions = 10000;
    interpreter.PrepareScript(&source, &compiled, &errors);
    for (int i = 0; i < errors.Count(); ++i) {
        if (errors.Strings(i).rfind("Stroka ", 0) != 0) {
            std::fprintf(stderr, "script fuzz case: an error line without its place\n");
            std::abort();
        }
    }
    try {
        interpreter.DoScript(&compiled);
    } catch (const Exception&) {
    }
}
