#pragma once
// One run of the regular-expression fuzz target: the bytes up to the first zero are an expression,
// the rest a subject. Compiling may fail with the engine's messages and matching may stop at the
// nesting limit; any other exception, a crash or a read outside the buffers aborts the run.

#include "widgets/HlRegExp.h"

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Lists.h"

#include <cstdint>
#include <cstdlib>
#include <string>

inline void RunHlRegExpFuzzCase(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t zero = input.find('\0');
    const std::string expression = input.substr(0, zero);
    const std::string subject = zero == std::string::npos ? std::string() : input.substr(zero + 1);
    TRegExpHlMemo engine;
    try {
        engine.SetExpression(expression);
    } catch (const Exception&) {
        return;
    }
    if (engine.GetExpression().empty())
        return; // no program to run
    try {
        engine.Dump();
        for (int offset : {1, 2}) {
            if (engine.Exec(subject, offset) &&
                (engine.GetMatchPos(0) < offset ||
                 engine.GetMatchPos(0) + engine.GetMatchLen(0) > static_cast<int>(subject.size()) + 1))
                std::abort();
        }
        engine.Substitute("&\\1\\\\");
        TStringList pieces;
        engine.Split(subject, pieces);
        engine.Replace(subject, "<&>");
    } catch (const Exception& e) {
        if (e.Message != "regexp recursion too deep")
            std::abort();
    }
}
