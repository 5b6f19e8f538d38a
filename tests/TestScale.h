// How long the randomised tests run: fuzz replays, model tests and stress loops take a small,
// fixed number of rounds by default, times TESS_TEST_SCALE when that variable is set (a whole
// number from 1 to 1000), for a longer run by hand.
#pragma once

#include <cstdlib>

inline int TestScale()
{
    const char* text = std::getenv("TESS_TEST_SCALE");
    if (text == nullptr)
        return 1;
    const int scale = std::atoi(text);
    return scale < 1 ? 1 : (scale > 1000 ? 1000 : scale);
}
