#include "widgets/HSLUtils.h"

#include "platform/rtl/Formats.h"

#include <algorithm>

namespace HSLUtils {

namespace {

// One channel of the colour for a hue offset h, as a byte.
int HueChannel(double M1, double M2, double h)
{
    if (h < 0)
        h += 1;
    else if (h > 1)
        h -= 1;
    double value;
    if (6 * h < 1)
        value = M1 + (M2 - M1) * h * 6;
    else if (2 * h < 1)
        value = M2;
    else if (3 * h < 2)
        value = M1 + (M2 - M1) * (2.0 / 3.0 - h) * 6;
    else
        value = M1;
    // Values outside 0..1 (from arguments outside their ranges) stay inside their byte.
    return static_cast<int>(std::clamp<std::int64_t>(Round(value * 255), 0, 255));
}

} // namespace

TColor HSLtoRGB(double H, double S, double L)
{
    int R, G, B;
    if (S == 0) {
        R = G = B = static_cast<int>(std::clamp<std::int64_t>(Round(L * 255), 0, 255));
    } else {
        const double M2 = L <= 0.5 ? L * (1 + S) : L + S - L * S;
        const double M1 = 2 * L - M2;
        R = HueChannel(M1, M2, H + 1.0 / 3.0);
        G = HueChannel(M1, M2, H);
        B = HueChannel(M1, M2, H - 1.0 / 3.0);
    }
    return static_cast<TColor>(R + G * 256 + B * 65536);
}

TColor HSLRangeToRGB(int H, int S, int L)
{
    return HSLtoRGB(static_cast<double>(H) / (HSLRange - 1), static_cast<double>(S) / HSLRange,
                    static_cast<double>(L) / HSLRange);
}

void RGBtoHSL(TColor RGB, double& H, double& S, double& L)
{
    const double R = (RGB & 0xFF) / 255.0;
    const double G = ((RGB >> 8) & 0xFF) / 255.0;
    const double B = ((RGB >> 16) & 0xFF) / 255.0;
    const double Max = std::max({R, G, B});
    const double Min = std::min({R, G, B});
    L = (Max + Min) / 2;
    if (Max == Min) {
        H = 0;
        S = 0;
        return;
    }
    const double D = Max - Min;
    S = L < 0.5 ? D / (Max + Min) : D / (2 - Max - Min);
    if (R == Max)
        H = (G - B) / D;
    else if (G == Max)
        H = (B - R) / D + 2;
    else
        H = (R - G) / D + 4;
    H /= 6;
    if (H < 0)
        H += 1;
}

void RGBtoHSLRange(TColor RGB, int& H, int& S, int& L)
{
    double h, s, l;
    RGBtoHSL(RGB, h, s, l);
    H = static_cast<int>(Round((HSLRange - 1) * h));
    S = static_cast<int>(Round(HSLRange * s));
    L = static_cast<int>(Round(HSLRange * l));
}

} // namespace HSLUtils
