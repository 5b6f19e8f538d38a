#pragma once
// One run of the add-in record fuzz target. The first byte picks the object (its value modulo 3:
// barcode, shape, check box), the prepared form (bit 2), drawing as in a preview (bit 3) and the
// scale (1 + half the bits 4 and 5); the other bytes are the object's stored record. Reading
// either takes the record or raises the stream read error; drawing on a small bitmap never
// raises. Anything else aborts the run. Objects of positions, sizes or frame widths beyond any
// page are read but not drawn: the drawing layer paints lines and fills row by row over their
// whole extent, so a size in the billions costs memory in proportion.

#include "reportexport/RP_BarC.h"
#include "reportexport/RP_ChBox.h"
#include "reportexport/RP_Shape.h"

#include "report/rpEngine.h"

#include "platform/gui/Application.h"
#include "platform/gui/Bitmap.h"
#include "platform/rtl/Streams.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace AddInRecordFuzz {

inline void EnsureApplication()
{
    static const bool initialized = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
        return true;
    }();
    (void)initialized;
}

inline std::unique_ptr<TrpView> MakeView(int kind)
{
    if (kind == 0)
        return std::make_unique<TrpBarCodeView>();
    if (kind == 1)
        return std::make_unique<TrpShapeView>();
    return std::make_unique<TrpCheckBoxView>();
}

inline bool Drawable(const TrpView& view)
{
    constexpr int Reach = 20000;
    for (int value : {view.Left, view.Top, view.Width, view.Height})
        if (value < -Reach || value > Reach)
            return false;
    return view.FrameWidth >= -100 && view.FrameWidth <= 100;
}

} // namespace AddInRecordFuzz

inline void RunAddInRecordFuzzCase(const std::uint8_t* data, std::size_t size)
{
    using namespace AddInRecordFuzz;
    if (size == 0)
        return;
    EnsureApplication();
    std::unique_ptr<TrpView> view = MakeView(data[0] % 3);
    view->StreamMode = (data[0] & 4) ? smPrinting : smDesigning;
    TMemoryStream stream;
    stream.WriteBuffer(data + 1, static_cast<int>(size - 1));
    stream.SetPosition(0);
    rpVersion = 23;
    try {
        view->LoadFromStream(stream);
    } catch (const EReadError&) {
        return;
    }
    if (!AddInRecordFuzz::Drawable(*view))
        return;
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(48, 48);
    const TrpDocMode previous = DocMode;
    DocMode = (data[0] & 8) ? dmPrinting : dmDesigning;
    view->ScaleX = view->ScaleY = 1 + ((data[0] >> 4) & 3) * 0.5;
    try {
        view->Draw(bitmap.Canvas());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s raised %s\n", view->ClassName().c_str(), error.what());
        std::abort();
    }
    DocMode = previous;
}
