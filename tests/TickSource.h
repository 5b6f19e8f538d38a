// A tick source installed for one test: GetTickCount and timeGetTime read the given function
// until the scope ends, however the test ends.
#pragma once

#include "platform/rtl/Threads.h"

#include <cstdint>
#include <functional>

class TTickSourceScope {
public:
    explicit TTickSourceScope(std::function<std::uint32_t()> source) { SetTickSource(std::move(source)); }
    ~TTickSourceScope() { ResetTickSource(); }
    TTickSourceScope(const TTickSourceScope&) = delete;
    TTickSourceScope& operator=(const TTickSourceScope&) = delete;
};
