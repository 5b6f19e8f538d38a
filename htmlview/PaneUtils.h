#pragma once
// Free helpers of the viewer's units: integer minimum and maximum, link addresses turned into
// local paths, text measuring and word wrapping, and the two three-dimensional frames the viewer
// draws. FreeAndNil and Trim are the run-time layer's (platform/rtl/System.h, TextUtils.h).

#include "platform/gui/Canvas.h"
#include "platform/rtl/System.h"
#include "platform/rtl/TextUtils.h"

#include <string>

namespace PaneUn2 {

int IntMin(int A, int B);
int IntMax(int A, int B);

// A link address as a local path: "%" escapes decoded (a "%00" and everything after it stay as
// written), and for a name with "/" the "file://" prefix taken off, "|" made ":" and "/" made "\".
std::string HTMLToDos(const std::string& FName);
// HTMLToDos of FName, with Root put in front of a result that begins with "\".
std::string HTMLServerToDos(const std::string& FName, const std::string& Root);

// The width in logical units of the first N characters at P in the context's font.
int GetXExtent(HDC DC, const char* P, int N);
// Draws S word-wrapped into the rectangle with the canvas font; only whole lines are drawn, and
// a word wider than the rectangle gets a line of its own, clipped.
void WrapText(TCanvas* Canvas, int X1, int Y1, int X2, int Y2, const std::string& S);
// A white box with a two-tone frame, raised or sunken; black and one pixel on a monochrome device.
void FormControlRect(TCanvas* Canvas, int X1, int Y1, int X2, int Y2, bool Raised);
// A raised or sunken two-tone outline in the canvas pen, drawn on a document of the given
// background colour; silver takes the place of the highlight on a white background.
void RaisedRect(TColor BackgroundColor, TCanvas* Canvas, int X1, int Y1, int X2, int Y2, bool Raised);

} // namespace PaneUn2
