#pragma once
// Shared pieces of the calculator and number-edit tests: beeps counted instead of sounded, and
// pictures compared pixel by pixel.

#include "platform/gui/Bitmap.h"

// Counts MessageBeep calls while it lives; the sound comes back afterwards.
struct TBeepCounter {
    TBeepCounter();
    ~TBeepCounter();
    TBeepCounter(const TBeepCounter&) = delete;
    TBeepCounter& operator=(const TBeepCounter&) = delete;
    int Count = 0;
};

bool SamePixels(TBitmap& a, TBitmap& b);
