#pragma once
// Conversions between RGB colours and hue, saturation and lightness: as reals in 0..1, and as
// integers with hue in 0..HSLRange - 1 and saturation and lightness in 0..HSLRange.

#include "platform/gui/Colors.h"

namespace HSLUtils {

constexpr int HSLRange = 240;

TColor HSLtoRGB(double H, double S, double L);
TColor HSLRangeToRGB(int H, int S, int L);
// Reads the colour's three low bytes; resolve a system colour with ColorToRGB first.
void RGBtoHSL(TColor RGB, double& H, double& S, double& L);
void RGBtoHSLRange(TColor RGB, int& H, int& S, int& L);

} // namespace HSLUtils
