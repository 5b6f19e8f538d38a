#pragma once
// One run of the icon fuzz target: any bytes are read as an "Icons" stream, and every icon it
// yields is rebuilt at its real size and measured; the bytes are also offered directly to the
// choice of an icon file's image. A clean exception or a fallback icon is fine; reading outside
// the data is not (the sanitizers catch it).

#include "controls/ClipIcon.h"
#include "controls/IcoList.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"

#include <cstdint>

inline void RunIconsFuzzCase(const std::uint8_t* data, std::size_t size)
{
    for (int depth : {1, 4, 8, 16, 24, 32})
        ChooseRealSizeIconEntry(data, size, depth);
    TMemoryStream stream;
    if (size > 0)
        stream.WriteBuffer(data, static_cast<int>(size));
    stream.SetPosition(0);
    TIconList list;
    try {
        list.LoadFromStream(stream);
    } catch (const Exception&) {
        return;
    }
    for (int i = 0; i < list.Count(); ++i) {
        TIcon* icon = list[i];
        if (!icon)
            continue;
        HICON real = CreateRealSizeIcon(icon);
        int width = 0, height = 0;
        GetIconSize(real, width, height);
        if (real)
            DestroyIcon(real);
    }
}
