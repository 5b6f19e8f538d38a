#include "htmlview/ViewerArt.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/IcoCodec.h"
#include "platform/gui/Resources.h"
#include "platform/rtl/Streams.h"

#include <map>

namespace ViewerArt {

namespace {

// A blue globe with olive land on grey.
const char* const GlobeRows[16] = {
    "................",
    ".....bbbbbb.....",
    "...bbooobbbbb...",
    "..bbooooobbbbb..",
    "..bboooobbbobb..",
    ".bbbbooobbbooob.",
    ".bbbbbobbboooob.",
    ".bbbbbbbbboooob.",
    ".bbbbboobbbooob.",
    ".bbbbooooobbobb.",
    "..bbbooooobbbb..",
    "..bbbboooobbbb..",
    "...bbbboobbbb...",
    ".....bbbbbb.....",
    "................",
    "................",
};

// A yellow box with rounded corners, a black frame and a black "!"; the corners (' ') are
// transparent in the mask.
const char* const ErrorRows[16] = {
    "  ############  ",
    " #yyyyyyyyyyyy# ",
    "#yyyyyyyyyyyyyy#",
    "#yyyyyy##yyyyyy#",
    "#yyyyyy##yyyyyy#",
    "#yyyyyy##yyyyyy#",
    "#yyyyyy##yyyyyy#",
    "#yyyyyy##yyyyyy#",
    "#yyyyyy##yyyyyy#",
    "#yyyyyy##yyyyyy#",
    "#yyyyyyyyyyyyyy#",
    "#yyyyyy##yyyyyy#",
    "#yyyyyy##yyyyyy#",
    "#yyyyyyyyyyyyyy#",
    " #yyyyyyyyyyyy# ",
    "  ############  ",
};

std::vector<std::uint8_t> BmpOfRows(const char* const (&rows)[16], const std::map<char, TColor>& colors, bool mono)
{
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(16, 16);
    for (int y = 0; y < 16; ++y) {
        std::uint8_t* line = bitmap.ScanLine(y);
        for (int x = 0; x < 16; ++x) {
            const TColor color = colors.at(rows[y][x]);
            line[3 * x] = static_cast<std::uint8_t>(color >> 16);
            line[3 * x + 1] = static_cast<std::uint8_t>(color >> 8);
            line[3 * x + 2] = static_cast<std::uint8_t>(color);
        }
    }
    if (mono)
        bitmap.SetMonochrome(true); // without a canvas, white stays white and the rest turns black
    TMemoryStream stream;
    bitmap.SaveToStream(stream);
    const char* data = stream.Memory();
    return std::vector<std::uint8_t>(data, data + stream.Size());
}

// Marks the cells of a filled triangle pointing up (tipY above baseY) or down.
void DrawArrow(std::vector<std::string>& grid, int tipY, int baseY)
{
    const int step = baseY > tipY ? 1 : -1;
    for (int y = tipY, half = 0; y != baseY + step; y += step, ++half)
        for (int x = 15 - half; x <= 15 + half; ++x)
            grid[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = '#';
}

} // namespace

std::vector<std::uint8_t> DefaultPictureBmp()
{
    return BmpOfRows(GlobeRows, {{'.', clSilver}, {'b', clBlue}, {'o', clOlive}}, false);
}

std::vector<std::uint8_t> ErrorPictureBmp()
{
    return BmpOfRows(ErrorRows, {{' ', clWhite}, {'#', clBlack}, {'y', clYellow}}, false);
}

std::vector<std::uint8_t> ErrorMaskBmp()
{
    return BmpOfRows(ErrorRows, {{' ', clWhite}, {'#', clBlack}, {'y', clBlack}}, true);
}

std::vector<std::string> ScrollCursorRows(bool up, bool down)
{
    std::vector<std::string> grid(32, std::string(32, ' '));
    if (up)
        DrawArrow(grid, 3, 9);
    if (down)
        DrawArrow(grid, 27, 21);
    for (int y = 13; y <= 17; ++y) // the dot: a rounded 5 x 5 square at the hot spot
        for (int x = 13; x <= 17; ++x)
            if ((y != 13 && y != 17) || (x != 13 && x != 17))
                grid[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = '#';
    // A white outline, so that the cursor shows on dark pages too.
    std::vector<std::string> outlined = grid;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            if (grid[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] != ' ')
                continue;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int ny = y + dy, nx = x + dx;
                    if (ny >= 0 && ny < 32 && nx >= 0 && nx < 32 &&
                        grid[static_cast<std::size_t>(ny)][static_cast<std::size_t>(nx)] == '#')
                        outlined[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = '.';
                }
        }
    return outlined;
}

void RegisterViewerArt()
{
    const HINSTANCE module = MainInstance();
    RegisterResource(module, RT_BITMAP, MAKEINTRESOURCE(ErrorBitmapId), ErrorPictureBmp());
    RegisterResource(module, RT_BITMAP, MAKEINTRESOURCE(DefaultBitmapId), DefaultPictureBmp());
    RegisterResource(module, RT_BITMAP, MAKEINTRESOURCE(ErrorMaskId), ErrorMaskBmp());
    const struct {
        const char* Name;
        bool Up, Down;
    } cursors[] = {{"UPDOWNCURSOR", true, true}, {"UPONLYCURSOR", true, false}, {"DOWNONLYCURSOR", false, true}};
    for (const auto& cursor : cursors)
        RegisterCursorResource(module, cursor.Name,
                               IcoCodec::CursorFromDrawing(ScrollCursorRows(cursor.Up, cursor.Down)),
                               CursorHotX, CursorHotY);
}

} // namespace ViewerArt
