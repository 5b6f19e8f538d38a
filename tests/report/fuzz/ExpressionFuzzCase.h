#pragma once
// One run of the expression fuzz target: the input is evaluated by a parser whose host answers
// names of even length with a number, the others with their own text, and every function with
// "1". It gives a value or raises one of the layer's exceptions (EParserError, a conversion or
// arithmetic error); a crash, a read outside a buffer, a hang or any other exception ends the run.

#include "report/RP_Pars.h"

#include <cstddef>
#include <cstdint>
#include <string>

inline void RunExpressionFuzzCase(const std::uint8_t* data, std::size_t size)
{
    TrpParser parser;
    parser.OnGetValue = [](const std::string& name, Variant& value) {
        if (name.size() % 2 == 0)
            value = Variant(2.5);
        else
            value = Variant(name);
    };
    parser.OnFunction = [](const std::string&, const Variant&, const Variant&, const Variant&, std::string& val) {
        val = "1";
    };
    try {
        parser.Calc(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const Exception&) {
    }
}
