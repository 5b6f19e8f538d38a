#pragma once
// A realised font: the Qt font and the whole-pixel metrics and advances of the 256 characters of
// Windows-1252, shared by every context that selects the same description.

#include "platform/gui/FontEngine.h"

#include <QFont>
#include <QRawFont>

#include <array>
#include <memory>
#include <thread>

struct TRealizedFont {
    QFont Font;
    // Belongs to the thread that realised the font; see RawFontForThisThread.
    QRawFont Raw;
    std::thread::id RawThread = std::this_thread::get_id();
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
// Font's raw font for drawing on the calling thread. FreeType keeps its faces per thread and
// frees them when the thread ends, so a font realised on a worker (a parser measuring text) gets
// a raw font of the drawing thread's own.
const QRawFont& RawFontForThisThread(const TRealizedFont& font);
// The realised font for a description at pixelsPerInch (cached).
std::shared_ptr<const TRealizedFont> Realize(const LOGFONTA& logFont, int pixelsPerInch = 96);
} // namespace FontCache
