#pragma once
// Renders a control's window (a form with its children) to a PNG file or a bitmap.

#include <string>

class TBitmap;
class TWinControl;

// False, with nothing written, when the control has no handle or the file cannot be written.
bool GrabToPng(TWinControl* control, const std::string& path);
// The same picture as a 32-bit bitmap, for code that reads its pixels; false, with the bitmap
// left alone, when the control has no handle.
bool GrabToBitmap(TWinControl* control, TBitmap* bitmap);
