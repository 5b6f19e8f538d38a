#include "controls/ExResources.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/IcoCodec.h"
#include "platform/gui/Resources.h"
#include "platform/rtl/Streams.h"

#include <cmath>
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

// A strip of pictures drawn as text, one string per row: '#' black, 'r' maroon, 'g' green,
// 'd' dark grey, 'w' white, anything else the olive background the buttons take as transparent.
std::vector<std::uint8_t> ExResourcesBitmapBytes(const std::vector<std::string>& rows, int width,
                                                 bool monochrome = false)
{
    TBitmap bitmap;
    if (monochrome)
        bitmap.SetMonochrome(true);
    else
        bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(width, static_cast<int>(rows.size()));
    TCanvas* canvas = bitmap.Canvas();
    for (int y = 0; y < static_cast<int>(rows.size()); ++y)
        for (int x = 0; x < width; ++x) {
            const char c = x < static_cast<int>(rows[y].size()) ? rows[y][x] : ' ';
            TColor color = monochrome ? clWhite : clOlive;
            switch (c) {
            case '#': color = clBlack; break;
            case 'r': color = clMaroon; break;
            case 'g': color = clGreen; break;
            case 'd': color = clGray; break;
            case 'w': color = clWhite; break;
            default: break;
            }
            canvas->SetPixels(x, y, color);
        }
    TMemoryStream stream;
    bitmap.SaveToStream(stream);
    const auto* data = reinterpret_cast<const std::uint8_t*>(stream.Memory());
    return std::vector<std::uint8_t>(data, data + stream.Size());
}

// The calculator dialog's key pictures, six cells of 14 x 13: Cancel, OK, sign, multiply,
// subtract, add.
const std::vector<std::string> ExResourcesCalcButtons = {
    "                                                                                    ",
    "                                                                                    ",
    "                                  ##                                                ",
    "   rr    rr             g         ##          #    #                        ##      ",
    "    rr  rr             gg       ######         #  #                         ##      ",
    "     rrrr        g    ggg         ##            ##                          ##      ",
    "      rr         gg  ggg          ##            ##         ########      ########   ",
    "     rrrr        gggggg                        #  #                         ##      ",
    "    rr  rr        gggg                        #    #                        ##      ",
    "   rr    rr        gg           ######                                      ##      ",
    "                                                                                    ",
    "                                                                                    ",
    "                                                                                    ",
};

// The calculator edit's button: a small calculator, 14 x 12; the disabled cell beside it is
// the same drawing in grey.
const std::vector<std::string> ExResourcesCalcEditButton = {
    "  #########   ",
    "  #wwwwwww#   ",
    "  #w#####w#   ",
    "  #wwwwwww#   ",
    "  #w#w#w#w#   ",
    "  #wwwwwww#   ",
    "  #w#w#w#w#   ",
    "  #wwwwwww#   ",
    "  #w#w#w#w#   ",
    "  #wwwwwww#   ",
    "  #########   ",
    "              ",
};

// The spin button's arrows, black on white, 6 x 6.
const std::vector<std::string> ExResourcesSpinUp = {
    "      ",
    "  #   ",
    " ###  ",
    "##### ",
    "      ",
    "      ",
};
const std::vector<std::string> ExResourcesSpinDown = {
    "      ",
    "      ",
    "##### ",
    " ###  ",
    "  #   ",
    "      ",
};

// The calendar's arrows, black on white, 8 x 6: previous year, previous month, next month,
// next year.
const std::vector<std::string> ExResourcesPrev2 = {"   #  # ", "  ## ## ", " ### ###", "  ## ## ", "   #  # ", "        "};
const std::vector<std::string> ExResourcesPrev1 = {"    #   ", "   ##   ", "  ###   ", "   ##   ", "    #   ", "        "};
const std::vector<std::string> ExResourcesNext1 = {"  #     ", "  ##    ", "  ###   ", "  ##    ", "  #     ", "        "};
const std::vector<std::string> ExResourcesNext2 = {"#  #    ", "## ##   ", "### ### ", "## ##   ", "#  #    ", "        "};

// The date edit's button: a small calendar page, 14 x 12.
const std::vector<std::string> ExResourcesDateEditButton = {
    "  #########   ",
    "  #########   ",
    "  #wwwwwww#   ",
    "  #w#w#w#w#   ",
    "  #wwwwwww#   ",
    "  #w#w#w#w#   ",
    "  #wwwwwww#   ",
    "  #w#w#w#w#   ",
    "  #wwwwwww#   ",
    "  #########   ",
    "              ",
    "              ",
};

// The file-name and folder edits' button: an open folder, 14 x 12, one cell.
const std::vector<std::string> ExResourcesFileEditButton = {
    "              ",
    "              ",
    "  ####        ",
    " #wwww#       ",
    " #wwwww#####  ",
    " #wwwwwwwww#  ",
    " #ww#########",
    " #w#ggggggggg#",
    " ##ggggggggg# ",
    " #ggggggggg#  ",
    " ##########   ",
    "              ",
};

std::vector<std::string> ExResourcesWithDisabledCell(const std::vector<std::string>& rows)
{
    std::vector<std::string> strip;
    for (const std::string& row : rows) {
        std::string grey = row;
        for (char& c : grey)
            if (c == '#')
                c = 'd';
        strip.push_back(row + grey);
    }
    return strip;
}

// The check list box's checks, 96 x 39 in 16 colours: rows check boxes, radio buttons and check
// marks; columns unchecked, checked and grayed, then the same for a disabled item; cells of
// 16 x 13 on the olive the list box takes as transparent.
void ExResourcesDrawTick(TCanvas* canvas, int left, int top, TColor color)
{
    const int tops[7] = {2, 3, 4, 3, 2, 1, 0};
    for (int dx = 0; dx < 7; ++dx)
        for (int dy = 0; dy < 3; ++dy)
            canvas->SetPixels(left + dx, top + tops[dx] + dy, color);
}

void ExResourcesDrawCheckCell(TCanvas* canvas, int kind, int column)
{
    const int left = 16 * column;
    const int top = 13 * kind;
    const int state = column % 3;
    const bool enabled = column < 3;
    const TColor face = enabled && state != 2 ? clWhite : clSilver;
    const TColor mark = !enabled ? (state == 2 ? clSilver : clGray) : (state == 2 ? clGray : clBlack);
    if (kind == 0) {
        for (int y = 0; y < 13; ++y)
            for (int x = 0; x < 13; ++x) {
                TColor color = face;
                if (x == 0 || y == 0)
                    color = clGray;
                else if (x == 12 || y == 12)
                    color = clWhite;
                else if (x == 1 || y == 1)
                    color = clBlack;
                else if (x == 11 || y == 11)
                    color = clSilver;
                canvas->SetPixels(left + 1 + x, top + y, color);
            }
        if (state != 0)
            ExResourcesDrawTick(canvas, left + 4, top + 3, mark);
    } else if (kind == 1) {
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 12; ++x) {
                const double dx = x - 5.5, dy = y - 5.5;
                const double r = std::sqrt(dx * dx + dy * dy);
                if (r >= 6.0)
                    continue;
                TColor color = face;
                if (r >= 4.6)
                    color = dx + dy < 0 ? clGray : clWhite;
                else if (r >= 3.8)
                    color = dx + dy < 0 ? clBlack : clSilver;
                else if (state != 0 && r < 2.0)
                    color = mark;
                canvas->SetPixels(left + 1 + x, top + y, color);
            }
    } else if (state != 0) {
        ExResourcesDrawTick(canvas, left + 4, top + 3, mark);
    }
}

std::vector<std::uint8_t> ExResourcesCheckImages()
{
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(96, 39);
    TCanvas* canvas = bitmap.Canvas();
    canvas->Brush()->SetColor(clOlive);
    canvas->FillRect(Rect(0, 0, 96, 39));
    for (int kind = 0; kind < 3; ++kind)
        for (int column = 0; column < 6; ++column)
            ExResourcesDrawCheckCell(canvas, kind, column);
    // Every colour used is one of the 16, so the picture keeps its pixels in 4 bits.
    bitmap.SetPixelFormat(pf4bit);
    TMemoryStream stream;
    bitmap.SaveToStream(stream);
    const auto* data = reinterpret_cast<const std::uint8_t*>(stream.Memory());
    return std::vector<std::uint8_t>(data, data + stream.Size());
}

} // namespace

void RegisterExResources()
{
    static std::once_flag registered;
    std::call_once(registered, [] {
        RegisterCursorResource(MainInstance(), "EX_HANDCUR", IcoCodec::CursorFromDrawing(ExResourcesPointingHand),
                               ExResourcesPointingHotX, ExResourcesPointingHotY);
        RegisterCursorResource(MainInstance(), "EX_DRAGCUR", IcoCodec::CursorFromDrawing(ExResourcesDraggingHand),
                               ExResourcesDraggingHotX, ExResourcesDraggingHotY);
        RegisterResource(MainInstance(), RT_BITMAP, "CALCBTNS", ExResourcesBitmapBytes(ExResourcesCalcButtons, 84));
        RegisterResource(MainInstance(), RT_BITMAP, "EXSPINUP", ExResourcesBitmapBytes(ExResourcesSpinUp, 6, true));
        RegisterResource(MainInstance(), RT_BITMAP, "EXSPINDOWN", ExResourcesBitmapBytes(ExResourcesSpinDown, 6, true));
        RegisterResource(MainInstance(), RT_BITMAP, "PREV2", ExResourcesBitmapBytes(ExResourcesPrev2, 8, true));
        RegisterResource(MainInstance(), RT_BITMAP, "PREV1", ExResourcesBitmapBytes(ExResourcesPrev1, 8, true));
        RegisterResource(MainInstance(), RT_BITMAP, "NEXT1", ExResourcesBitmapBytes(ExResourcesNext1, 8, true));
        RegisterResource(MainInstance(), RT_BITMAP, "NEXT2", ExResourcesBitmapBytes(ExResourcesNext2, 8, true));
        RegisterResource(MainInstance(), RT_BITMAP, "DEDITBMP",
                         ExResourcesBitmapBytes(ExResourcesWithDisabledCell(ExResourcesDateEditButton), 28));
        RegisterResource(MainInstance(), RT_BITMAP, "CEDITBMP",
                         ExResourcesBitmapBytes(ExResourcesWithDisabledCell(ExResourcesCalcEditButton), 28));
        RegisterResource(MainInstance(), RT_BITMAP, "FEDITBMP", ExResourcesBitmapBytes(ExResourcesFileEditButton, 14));
        RegisterResource(MainInstance(), RT_BITMAP, "CHECK_IMAGES", ExResourcesCheckImages());
    });
}
