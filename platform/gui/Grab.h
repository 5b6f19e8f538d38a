#pragma once
// Renders a control's window (a form with its children) to a PNG file.

#include <string>

class TWinControl;

// False, with nothing written, when the control has no handle or the file cannot be written.
bool GrabToPng(TWinControl* control, const std::string& path);
