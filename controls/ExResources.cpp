#include "controls/ExResources.h"

#include "platform/gui/IcoCodec.h"
#include "platform/gui/Resources.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace {

// A 32 x 32 black-and-white cursor drawn as text: '#' black, '.' white, anything else
// transparent. Rows and columns beyond the drawing are transparent.
std::vector<std::uint8_t> ExResourcesCursorBytes(const std::vector<std::string>& rows)
{
    constexpr int Size = 32;
    TIcoImage image;
    image.Width = Size;
    image.Height = Size;
    image.Pixels.assign(Size * Size, 0xFF000000u);
    image.Transparent.assign(Size * Size, 1);
    for (int y = 0; y < static_cast<int>(rows.size()) && y < Size; ++y)
        for (int x = 0; x < static_cast<int>(rows[y].size()) && x < Size; ++x) {
            const char c = rows[y][x];
            if (c != '#' && c != '.')
                continue;
            image.Pixels[y * Size + x] = c == '#' ? 0xFF000000u : 0xFFFFFFFFu;
            image.Transparent[y * Size + x] = 0;
        }
    return IcoCodec::Write(image, 1, true);
}

// A hand pointing up with its index finger; the hot spot is the tip of the finger.
const std::vector<std::string> ExResourcesPointingHand = {
    "      ##",
    "     #..#",
    "     #..#",
    "     #..#",
    "     #..#",
    "     #..###",
    "     #..#..###",
    "     #..#..#..##",
    "  ## #..#..#..#.#",
    " #..##........#.#",
    " #...#..........#",
    "  #.............#",
    "   #............#",
    "   #............#",
    "    #...........#",
    "    #..........#",
    "     #.........#",
    "     #........#",
    "      #.......#",
    "      #.......#",
    "      #########",
};
constexpr int ExResourcesPointingHotX = 6;
constexpr int ExResourcesPointingHotY = 0;

// A closed hand holding what it drags; the hot spot is the top of the middle finger.
const std::vector<std::string> ExResourcesDraggingHand = {
    "",
    "",
    "",
    "",
    "     ## ## ##",
    "    #..#..#..##",
    "    #..#..#..#.#",
    "  ###..#..#..#.#",
    " #..#.........#.#",
    " #..............#",
    " #..............#",
    "  #.............#",
    "   #............#",
    "   #............#",
    "    #...........#",
    "    #..........#",
    "     #.........#",
    "     #........#",
    "      #.......#",
    "      #########",
};
constexpr int ExResourcesDraggingHotX = 9;
constexpr int ExResourcesDraggingHotY = 4;

} // namespace

void RegisterExResources()
{
    static std::once_flag registered;
    std::call_once(registered, [] {
        RegisterCursorResource(MainInstance(), "EX_HANDCUR", ExResourcesCursorBytes(ExResourcesPointingHand),
                               ExResourcesPointingHotX, ExResourcesPointingHotY);
        RegisterCursorResource(MainInstance(), "EX_DRAGCUR", ExResourcesCursorBytes(ExResourcesDraggingHand),
                               ExResourcesDraggingHotX, ExResourcesDraggingHotY);
    });
}
