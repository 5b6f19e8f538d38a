#pragma once
// The viewer's own pictures and cursors, drawn in code: the placeholder globe shown while an
// image is on its way (bitmap 1002), the yellow box with "!" shown for a missing image (1001) and
// its mask (1005), and the three scrolling cursors "UPDOWNCURSOR", "UPONLYCURSOR" and
// "DOWNONLYCURSOR".

#include <cstdint>
#include <string>
#include <vector>

namespace ViewerArt {

constexpr int ErrorBitmapId = 1001;
constexpr int DefaultBitmapId = 1002;
constexpr int ErrorMaskId = 1005;
// The hot spot of the three drawn cursors: the dot between the arrows.
constexpr int CursorHotX = 15;
constexpr int CursorHotY = 15;

// BMP files of the three 16 x 16 pictures (the mask is monochrome, white where transparent).
std::vector<std::uint8_t> DefaultPictureBmp();
std::vector<std::uint8_t> ErrorPictureBmp();
std::vector<std::uint8_t> ErrorMaskBmp();
// The 32 x 32 cursor drawing as text rows ('#' black, '.' white, ' ' transparent).
std::vector<std::string> ScrollCursorRows(bool up, bool down);

// Registers the three pictures as bitmap resources and the three cursors as cursor resources of
// the program's module.
void RegisterViewerArt();

} // namespace ViewerArt
