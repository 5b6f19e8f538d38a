#pragma once
// A realised font: the Qt font and the whole-pixel metrics and advances of the 256 characters of
// Windows-1252, shared by every context that selects the same description.

#include "platform/gui/FontEngine.h"

#include <QFont>
#include <QRawFont>

#include <array>
#include <memory>

struct TRealizedFont {
    QFont Font;
    QRawFont Raw;
    TEXTMETRICA Metrics;
    std::array<int, 256> Advances{};
    std::array<quint32, 256> Glyphs{};
    std::array<char16_t, 256> Unicode{};
    int Escapement = 0; // tenths of a degree, counter-clockwise
    double StretchX = 1.0;
    std::string FaceName; // the Windows name
    int EmSize = 11;
};

namespace FontCache {
// The realised font for a description at pixelsPerInch (cached).
std::shared_ptr<const TRealizedFont> Realize(const LOGFONTA& logFont, int pixelsPerInch = 96);
} // namespace FontCache
