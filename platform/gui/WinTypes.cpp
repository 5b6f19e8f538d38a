#include "platform/gui/WinTypes.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

TRect Rect(int left, int top, int right, int bottom) { return {left, top, right, bottom}; }
TRect Bounds(int left, int top, int width, int height) { return {left, top, left + width, top + height}; }
TPoint Point(int x, int y) { return {x, y}; }
TSmallPoint SmallPoint(int x, int y) { return {static_cast<SHORT>(x), static_cast<SHORT>(y)}; }
TSmallPoint PointToSmallPoint(const TPoint& point) { return SmallPoint(point.X, point.Y); }
TPoint SmallPointToPoint(const TSmallPoint& point) { return {point.x, point.y}; }

BOOL PtInRect(const TRect& rect, const TPoint& point)
{
    return point.X >= rect.Left && point.X < rect.Right && point.Y >= rect.Top && point.Y < rect.Bottom;
}

BOOL IsRectEmpty(const TRect& rect) { return rect.Right <= rect.Left || rect.Bottom <= rect.Top; }

BOOL IntersectRect(TRect& destination, const TRect& a, const TRect& b)
{
    TRect result{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                 std::min(a.Bottom, b.Bottom)};
    if (IsRectEmpty(result)) {
        destination = TRect{};
        return FALSE;
    }
    destination = result;
    return TRUE;
}

BOOL UnionRect(TRect& destination, const TRect& a, const TRect& b)
{
    if (IsRectEmpty(a))
        destination = b;
    else if (IsRectEmpty(b))
        destination = a;
    else
        destination = {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
                       std::max(a.Bottom, b.Bottom)};
    if (IsRectEmpty(destination)) {
        destination = TRect{};
        return FALSE;
    }
    return TRUE;
}

BOOL OffsetRect(TRect& rect, int dx, int dy)
{
    rect.Left += dx;
    rect.Right += dx;
    rect.Top += dy;
    rect.Bottom += dy;
    return TRUE;
}

BOOL InflateRect(TRect& rect, int dx, int dy)
{
    rect.Left -= dx;
    rect.Right += dx;
    rect.Top -= dy;
    rect.Bottom += dy;
    return TRUE;
}

BOOL EqualRect(const TRect& a, const TRect& b) { return a == b; }

BOOL SetRect(TRect& rect, int left, int top, int right, int bottom)
{
    rect = {left, top, right, bottom};
    return TRUE;
}

BOOL SetRectEmpty(TRect& rect)
{
    rect = TRect{};
    return TRUE;
}

BOOL CopyRect(TRect& destination, const TRect& source)
{
    destination = source;
    return TRUE;
}

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const long long product = static_cast<long long>(a) * b;
    long long quotient = product / c;
    const long long remainder = product % c;
    // Half away from zero: compare twice the remainder with the divisor.
    if (std::llabs(remainder) * 2 >= std::llabs(static_cast<long long>(c)))
        quotient += ((product < 0) != (c < 0)) ? -1 : 1;
    if (quotient > std::numeric_limits<int>::max() || quotient < std::numeric_limits<int>::min())
        return -1;
    return static_cast<int>(quotient);
}
