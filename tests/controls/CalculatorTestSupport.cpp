#include "CalculatorTestSupport.h"

#include "platform/gui/SystemMetrics.h"

TBeepCounter::TBeepCounter()
{
    SetBeepHook([this](UINT) { ++Count; });
}

TBeepCounter::~TBeepCounter() { SetBeepHook({}); }

bool SamePixels(TBitmap& a, TBitmap& b)
{
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return false;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.Canvas()->Pixels(x, y) != b.Canvas()->Pixels(x, y))
                return false;
    return true;
}
