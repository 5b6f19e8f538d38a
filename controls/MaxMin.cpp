#include "controls/MaxMin.h"

#include "platform/rtl/Exceptions.h"

namespace {

// The first element that no later one beats: replaced only by a strictly better element.
template <class T, class Better>
T MaxMinExtreme(const std::vector<T>& values, Better better)
{
    if (values.empty())
        RAISE(ERangeError("Range check error"));
    const T* result = &values.front();
    for (const T& value : values)
        if (better(value, *result))
            result = &value;
    return *result;
}

} // namespace

int Max(int A, int B) { return A > B ? A : B; }
int Min(int A, int B) { return A < B ? A : B; }

void SwapInt(int& Int1, int& Int2)
{
    const int saved = Int1;
    Int1 = Int2;
    Int2 = saved;
}

void SwapLong(std::int32_t& Int1, std::int32_t& Int2) { SwapInt(Int1, Int2); }

int MaxInteger(const std::vector<int>& Values)
{
    return MaxMinExtreme(Values, [](int a, int b) { return a > b; });
}

int MinInteger(const std::vector<int>& Values)
{
    return MaxMinExtreme(Values, [](int a, int b) { return a < b; });
}

double MaxFloat(const std::vector<double>& Values)
{
    return MaxMinExtreme(Values, [](double a, double b) { return a > b; });
}

double MinFloat(const std::vector<double>& Values)
{
    return MaxMinExtreme(Values, [](double a, double b) { return a < b; });
}

TDateTime MaxDateTime(const std::vector<TDateTime>& Values) { return MaxFloat(Values); }
TDateTime MinDateTime(const std::vector<TDateTime>& Values) { return MinFloat(Values); }

Variant MaxOf(const std::vector<Variant>& Values)
{
    return MaxMinExtreme(Values, [](const Variant& a, const Variant& b) { return a > b; });
}

Variant MinOf(const std::vector<Variant>& Values)
{
    return MaxMinExtreme(Values, [](const Variant& a, const Variant& b) { return a < b; });
}
