#pragma once
// Shared pieces of the viewer's tests: the application under Qt's offscreen platform, bitmaps to
// draw on and read back, and pictures of them for a person to look at.

#include "platform/gui/Bitmap.h"

#include <memory>
#include <string>

// A bitmap of the given size and format, filled with background.
std::unique_ptr<TBitmap> NewFilledBitmap(int width, int height, TColor background, TPixelFormat format = pf24bit);
// The pixels of the rectangle whose colour differs from background.
int InkIn(TBitmap& bitmap, const TRect& area, TColor background);
// Writes the bitmap as name.bmp into TESS_SCREENSHOT_DIR when that is set; nothing otherwise.
void SavePicture(TBitmap& bitmap, const std::string& name);
