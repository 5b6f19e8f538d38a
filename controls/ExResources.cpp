#include "controls/ExResources.h"

#include "platform/gui/IcoCodec.h"
#include "platform/gui/Resources.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace {

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
        RegisterCursorResource(MainInstance(), "EX_HANDCUR", IcoCodec::CursorFromDrawing(ExResourcesPointingHand),
                               ExResourcesPointingHotX, ExResourcesPointingHotY);
        RegisterCursorResource(MainInstance(), "EX_DRAGCUR", IcoCodec::CursorFromDrawing(ExResourcesDraggingHand),
                               ExResourcesDraggingHotX, ExResourcesDraggingHotY);
    });
}
