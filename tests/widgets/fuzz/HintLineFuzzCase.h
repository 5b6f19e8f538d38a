#pragma once
// One run of the hint-line fuzz target: any bytes are one source line of a hint box. The split
// and the tag test must finish without reading outside the line, and every display line must be
// a piece of the source line with a valid alignment; anything else aborts the run.

#include "widgets/HintBox.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

inline void RunHintLineFuzzCase(const std::uint8_t* data, std::size_t size)
{
    const std::string line(reinterpret_cast<const char*>(data), size);
    const std::vector<HintBox::TDisplayLine> lines = HintBox::SplitLine(line);
    const auto tags = static_cast<std::size_t>(std::count(line.begin(), line.end(), '<'));
    if (lines.empty() || lines.size() > tags + 1)
        std::abort();
    for (const HintBox::TDisplayLine& display : lines) {
        if (display.Alignment < HintBox::AlignLeft || display.Alignment > HintBox::AlignRight)
            std::abort();
        if (line.find(display.Text) == std::string::npos)
            std::abort();
        HintBox::OnlyContainsTags(display.Text);
    }
    HintBox::OnlyContainsTags(line);
}
