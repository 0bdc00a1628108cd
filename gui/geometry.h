// Integer point, size and rectangle, copied by value. A rectangle has the layout of
// a Windows RECT, with exclusive right and bottom edges, and is never normalised.
// The integer Null is 0x80000000; a Null point or rectangle has it in its first field.
#pragma once

#include <windows.h>

#include <algorithm>

namespace Gui {

constexpr int INT_NULL = static_cast<int>(0x80000000u);

template <class T>
struct Point_ {
    T x, y;

    Point_() : x(0), y(0) {}
    Point_(T x_, T y_) : x(x_), y(y_) {}

    bool IsNull() const { return x == static_cast<T>(INT_NULL); }
    void SetNull() { x = y = static_cast<T>(INT_NULL); }
    void Offset(T dx, T dy) {
        x += dx;
        y += dy;
    }

    bool operator==(const Point_& p) const { return x == p.x && y == p.y; }
    bool operator!=(const Point_& p) const { return !(*this == p); }
};

template <class T>
struct Size_ {
    T cx, cy;

    Size_() : cx(0), cy(0) {}
    Size_(T cx_, T cy_) : cx(cx_), cy(cy_) {}

    bool IsEmpty() const { return cx == 0 || cy == 0; }
    bool IsNull() const { return cx == static_cast<T>(INT_NULL); }
    void SetNull() { cx = cy = static_cast<T>(INT_NULL); }

    bool operator==(const Size_& s) const { return cx == s.cx && cy == s.cy; }
    bool operator!=(const Size_& s) const { return !(*this == s); }
};

template <class T>
struct Rect_ {
    T left, top, right, bottom;

    Rect_() : left(0), top(0), right(0), bottom(0) {}
    Rect_(T l, T t, T r, T b) : left(l), top(t), right(r), bottom(b) {}
    Rect_(const Size_<T>& size) : left(0), top(0), right(size.cx), bottom(size.cy) {}
    Rect_(const Point_<T>& top_left, const Size_<T>& size)
        : left(top_left.x),
          top(top_left.y),
          right(top_left.x + size.cx),
          bottom(top_left.y + size.cy) {}

    T Width() const { return right - left; }
    T Height() const { return bottom - top; }
    Size_<T> GetSize() const { return Size_<T>(Width(), Height()); }
    Point_<T> TopLeft() const { return Point_<T>(left, top); }
    Point_<T> BottomRight() const { return Point_<T>(right, bottom); }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool IsNull() const { return left == static_cast<T>(INT_NULL); }
    void SetNull() { left = top = right = bottom = static_cast<T>(INT_NULL); }
    bool Contains(const Point_<T>& p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }

    void Offset(T dx, T dy) {
        OffsetHorz(dx);
        OffsetVert(dy);
    }
    void Offset(const Point_<T>& d) { Offset(d.x, d.y); }
    void OffsetHorz(T dx) {
        left += dx;
        right += dx;
    }
    void OffsetVert(T dy) {
        top += dy;
        bottom += dy;
    }

    // Crossing edges are pulled together, so an empty intersection has width or
    // height 0, never below.
    void Intersect(const Rect_& r) {
        left = std::max(left, r.left);
        top = std::max(top, r.top);
        right = std::min(right, r.right);
        bottom = std::min(bottom, r.bottom);
        if (right < left) right = left;
        if (bottom < top) bottom = top;
    }
    Rect_ Intersection(const Rect_& r) const {
        Rect_ out = *this;
        out.Intersect(r);
        return out;
    }

    // The layout is RECT's, so a rectangle goes to the Windows API as it is.
    const RECT* AsRECT() const { return reinterpret_cast<const RECT*>(this); }
    RECT* AsRECT() { return reinterpret_cast<RECT*>(this); }

    bool operator==(const Rect_& r) const {
        return left == r.left && top == r.top && right == r.right && bottom == r.bottom;
    }
    bool operator!=(const Rect_& r) const { return !(*this == r); }
};

using Point = Point_<int>;
using Size = Size_<int>;
using Rect = Rect_<int>;

inline Rect RectC(int x, int y, int width, int height) { return Rect(x, y, x + width, y + height); }

template <class T>
Rect_<T> OffsetRect(const Rect_<T>& r, T dx, T dy) {
    Rect_<T> out = r;
    out.Offset(dx, dy);
    return out;
}

static_assert(sizeof(Rect) == sizeof(RECT), "a Rect is passed as a RECT");

}  // namespace Gui
