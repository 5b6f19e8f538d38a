#pragma once
// One run of the helpers fuzz target: any bytes are a colour value and a link address, and, cut at
// the first line feed, the SHAPE and the COORDS of an image-map area, which is then hit-tested at
// a few points. Besides crashes and bad reads, anything that breaks what the helpers promise
// aborts the run.

#include "htmlview/MapItem.h"
#include "htmlview/PaneUtils.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

inline void RunHelpersFuzzCase(const std::uint8_t* data, std::size_t size)
{
    using namespace PaneUn2;
    const std::string text(reinterpret_cast<const char*>(data), size);

    TColor color = -1;
    if (GetColor(text, color) && (color < 0 || color > 0xFFFFFF))
        std::abort();

    // Decoding and taking prefixes off only ever shorten a name, and add no NUL to it.
    const std::string path = HTMLToDos(text);
    const bool hadZero = text.find('\0') != std::string::npos;
    if (path.size() > text.size() || (!hadZero && path.find('\0') != std::string::npos))
        std::abort();
    const std::string served = HTMLServerToDos(text, "C:\\site");
    if (served != path && served != "C:\\site" + path)
        std::abort();

    const std::size_t cut = std::min(text.find('\n'), text.size());
    const std::string shape = text.substr(0, cut);
    const std::string coords = cut < text.size() ? text.substr(cut + 1) : "";
    const std::vector<int> numbers = ReadAreaCoords(coords);
    if (numbers.size() > static_cast<std::size_t>(MaxAreaCoords))
        std::abort();

    TMapItem map;
    TAttributeList attributes;
    attributes.Add(new TAttribute(Symb::ShapeSy, 0, shape));
    attributes.Add(new TAttribute(Symb::CoordsSy, 0, coords));
    attributes.Add(new TAttribute(Symb::HrefSy, 0, "area.htm"));
    map.AddArea(&attributes);
    attributes.Add(new TAttribute(Symb::NoHrefSy, 0, ""));
    map.AddArea(&attributes);
    if (map.Regions->Count() != map.RegionTargets->Count() || map.Regions->Count() > 2)
        std::abort();

    std::vector<std::pair<int, int>> points = {{0, 0}, {5, 5}, {50, 50}, {-1, -1}, {2147483647, -2147483647 - 1}};
    if (numbers.size() >= 2)
        points.emplace_back(numbers[0], numbers[1]);
    for (const auto& [x, y] : points) {
        TUrlTarget* link = nullptr;
        if (map.GetURL(x, y, link)) {
            const std::unique_ptr<TUrlTarget> owned(link);
            if (owned->Url != "area.htm")
                std::abort();
        }
    }
}
