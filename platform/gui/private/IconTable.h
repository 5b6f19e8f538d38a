#pragma once
// Icon and cursor handles: a colour image and a mask (white where transparent).

#include "platform/gui/IcoCodec.h"
#include "platform/gui/private/GdiInternals.h"

struct TIconObject {
    QImage Color; // Format_RGB32
    QImage Mask;  // Format_RGB32, black and white
    int Bits = 32;
    bool IsIcon = true;
    int HotX = 0, HotY = 0;
};

namespace Icons {
HICON Add(TIconObject icon);
TIconObject* Find(HICON handle);
bool Remove(HICON handle);
HICON FromIco(const TIcoImage& image, bool isIcon = true);
TIcoImage ToIco(const TIconObject& icon);
} // namespace Icons
