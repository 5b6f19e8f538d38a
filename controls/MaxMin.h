#pragma once
// Minimum, maximum and swap helpers used across the control library for clamping and layout.

#include "platform/rtl/DateTime.h"
#include "platform/rtl/Variants.h"

#include <cstdint>
#include <vector>

int Max(int A, int B);
int Min(int A, int B);
void SwapInt(int& Int1, int& Int2);
void SwapLong(std::int32_t& Int1, std::int32_t& Int2);

// The extremes of an array, scanned from the first element: among equal extremes the first one
// is returned. An empty array raises ERangeError "Range check error".
int MaxInteger(const std::vector<int>& Values);
int MinInteger(const std::vector<int>& Values);
double MaxFloat(const std::vector<double>& Values);
double MinFloat(const std::vector<double>& Values);
TDateTime MaxDateTime(const std::vector<TDateTime>& Values);
TDateTime MinDateTime(const std::vector<TDateTime>& Values);
// By the variants' comparison operators.
Variant MaxOf(const std::vector<Variant>& Values);
Variant MinOf(const std::vector<Variant>& Values);
