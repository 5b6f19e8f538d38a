#pragma once
// Window-level Windows types: message parameters, window procedures, points, sizes, rectangles
// and the rectangle functions with the Windows rules (right and bottom lie outside).

#include "platform/os/WinBase.h"
#include "platform/rtl/Sets.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using LONG_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using SHORT = std::int16_t;
using HCURSOR = void*;
using HDC = void*;
using HRGN = void*;
using HDROP = void*;
using HMENU = void*;

// A window procedure. It is a value that can be copied and compared: two copies of the same
// procedure compare equal, two procedures made separately do not.
class WNDPROC {
public:
    using Signature = LRESULT(HWND, UINT, WPARAM, LPARAM);
    using PlainFunction = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

    WNDPROC() = default;
    WNDPROC(std::nullptr_t) {}
    WNDPROC(PlainFunction function) : FPlain(function) {}
    template <typename F, typename = std::enable_if_t<!std::is_convertible_v<F, PlainFunction> &&
                                                      std::is_invocable_r_v<LRESULT, F, HWND, UINT, WPARAM, LPARAM>>>
    WNDPROC(F function) : FCallable(std::make_shared<const std::function<Signature>>(std::move(function)))
    {
    }

    LRESULT operator()(HWND h, UINT msg, WPARAM w, LPARAM l) const
    {
        if (FPlain)
            return FPlain(h, msg, w, l);
        if (FCallable)
            return (*FCallable)(h, msg, w, l);
        return 0;
    }
    explicit operator bool() const { return FPlain || FCallable; }
    bool operator==(const WNDPROC& other) const { return FPlain == other.FPlain && FCallable == other.FCallable; }
    bool operator!=(const WNDPROC& other) const { return !(*this == other); }

private:
    PlainFunction FPlain = nullptr;
    std::shared_ptr<const std::function<Signature>> FCallable;
};

using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

struct TPoint {
    int X = 0;
    int Y = 0;
    bool operator==(const TPoint&) const = default;
};
using POINT = TPoint;

struct TSmallPoint {
    SHORT x = 0;
    SHORT y = 0;
    bool operator==(const TSmallPoint&) const = default;
};

struct TSize {
    int cx = 0;
    int cy = 0;
    bool operator==(const TSize&) const = default;
};
using SIZE = TSize;

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    TPoint TopLeft() const { return {Left, Top}; }
    TPoint BottomRight() const { return {Right, Bottom}; }
    bool operator==(const TRect&) const = default;
};
using RECT = TRect;

TRect Rect(int left, int top, int right, int bottom);
TRect Bounds(int left, int top, int width, int height);
TPoint Point(int x, int y);
TSmallPoint SmallPoint(int x, int y);
TSmallPoint PointToSmallPoint(const TPoint& point);
TPoint SmallPointToPoint(const TSmallPoint& point);

// Windows rules: a point on the right or bottom edge is outside.
BOOL PtInRect(const TRect& rect, const TPoint& point);
// Both return FALSE and an empty destination when the result is empty.
BOOL IntersectRect(TRect& destination, const TRect& a, const TRect& b);
BOOL UnionRect(TRect& destination, const TRect& a, const TRect& b);
BOOL OffsetRect(TRect& rect, int dx, int dy);
BOOL InflateRect(TRect& rect, int dx, int dy);
BOOL IsRectEmpty(const TRect& rect);
BOOL EqualRect(const TRect& a, const TRect& b);
BOOL SetRect(TRect& rect, int left, int top, int right, int bottom);
BOOL SetRectEmpty(TRect& rect);
BOOL CopyRect(TRect& destination, const TRect& source);

// a * b / c with a 64-bit product, rounded half away from zero; -1 when c is 0 or the result
// does not fit 32 bits.
int MulDiv(int a, int b, int c);

constexpr WORD LOWORD(std::uintptr_t value) { return static_cast<WORD>(value & 0xFFFF); }
constexpr WORD HIWORD(std::uintptr_t value) { return static_cast<WORD>((value >> 16) & 0xFFFF); }
constexpr DWORD MAKELONG(WORD low, WORD high) { return static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16); }
constexpr WPARAM MAKEWPARAM(WORD low, WORD high) { return MAKELONG(low, high); }
constexpr LPARAM MAKELPARAM(WORD low, WORD high) { return static_cast<LPARAM>(MAKELONG(low, high)); }
constexpr LRESULT MAKELRESULT(WORD low, WORD high) { return static_cast<LRESULT>(MAKELONG(low, high)); }
constexpr int GET_X_LPARAM(LPARAM value) { return static_cast<SHORT>(LOWORD(static_cast<std::uintptr_t>(value))); }
constexpr int GET_Y_LPARAM(LPARAM value) { return static_cast<SHORT>(HIWORD(static_cast<std::uintptr_t>(value))); }
