// Lines and (rounded) rectangles with GDI's aliased pixel rules: a line leaves out
// its last pixel, a shape covers [left, right) x [top, bottom), its pen frame lies
// inside that box, and the brush fills what the frame encloses.
#include "w32/gdi.h"

#include <cstdlib>
#include <vector>

using namespace w32::gdi;

namespace {

// Boxes collected row by row, handed to pixman as one region.
class BoxList {
public:
    void add(int x1, int y1, int x2, int y2) { boxes_.push_back({x1, y1, x2, y2}); }
    void fill(Dc& dc, uint32_t bgra) {
        if (boxes_.empty()) return;
        pixman_region32_t r;
        pixman_region32_init_rects(&r, boxes_.data(), static_cast<int>(boxes_.size()));
        fill_region(dc, &r, bgra);
        pixman_region32_fini(&r);
    }

private:
    std::vector<pixman_box32_t> boxes_;
};

// Points of the line from a to b, without b.
std::vector<POINT> line_points(POINT a, POINT b) {
    std::vector<POINT> pts;
    int dx = std::abs(b.x - a.x), dy = std::abs(b.y - a.y);
    int sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
    int err = dx - dy;
    POINT p = a;
    while (p.x != b.x || p.y != b.y) {
        pts.push_back(p);
        int e2 = 2 * err;
        if (e2 > -dy) {
            err -= dy;
            p.x += sx;
        }
        if (e2 < dx) {
            err += dx;
            p.y += sy;
        }
    }
    return pts;
}

void draw_line(Dc& dc, POINT a, POINT b) {
    const Pen& pen = *dc.pen;
    if (pen.style == PS_NULL) return;
    std::vector<POINT> pts = line_points(a, b);
    BoxList on, off;
    int w = pen.width > 1 ? pen.width : 1;
    // A cosmetic dotted pen: 3 pixels on, 3 off; wider dotted pens draw solid.
    bool dotted = w == 1 && pen.style != PS_SOLID && pen.style != PS_INSIDEFRAME;
    for (size_t i = 0; i < pts.size(); ++i) {
        int x = pts[i].x - w / 2, y = pts[i].y - w / 2;
        if (dotted && (i / 3) % 2 == 1)
            off.add(x, y, x + w, y + w);
        else
            on.add(x, y, x + w, y + w);
    }
    on.fill(dc, color_pixel(pen.color));
    if (dotted && dc.bk_mode == OPAQUE) off.fill(dc, color_pixel(dc.bk_color));
}

bool inside_round(int x, int y, int l, int t, int r, int b, int ew, int eh) {
    if (ew <= 0 || eh <= 0) return true;
    auto dist = [](int v, int lo, int hi) { return v < lo ? lo - v : v > hi ? v - hi : 0; };
    long long dx = dist(2 * x, 2 * l + ew - 1, 2 * (r - 1) - (ew - 1));
    long long dy = dist(2 * y, 2 * t + eh - 1, 2 * (b - 1) - (eh - 1));
    long long w2 = static_cast<long long>(ew) * ew, h2 = static_cast<long long>(eh) * eh;
    return dx * dx * h2 + dy * dy * w2 <= w2 * h2;
}

void draw_round_rect(Dc& dc, int left, int top, int right, int bottom, int ew, int eh) {
    POINT a = dc.to_device(left, top), c = dc.to_device(right, bottom);
    int l = std::min(a.x, c.x), r = std::max(a.x, c.x), t = std::min(a.y, c.y),
        b = std::max(a.y, c.y);
    bool no_pen = dc.pen->style == PS_NULL;
    // Without a frame the fill ends one pixel short on the right and bottom.
    if (no_pen) {
        --r;
        --b;
    }
    int W = r - l, H = b - t;
    if (W <= 0 || H <= 0) return;
    ew = std::min(std::abs(ew), W);
    eh = std::min(std::abs(eh), H);

    // depth: 0 outside, else the 4-neighbour distance to the outside (capped).
    int pw = no_pen ? 0 : std::max(1, dc.pen->width);
    std::vector<int> depth(static_cast<size_t>(W) * H, 0);
    auto at = [&](int x, int y) -> int& { return depth[static_cast<size_t>(y) * W + x]; };
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            at(x, y) = inside_round(l + x, t + y, l, t, r, b, ew, eh) ? 1 : 0;
    for (int pass = 1; pass <= pw; ++pass) {
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                if (at(x, y) != pass) continue;
                bool all = x > 0 && y > 0 && x < W - 1 && y < H - 1 && at(x - 1, y) >= pass &&
                           at(x + 1, y) >= pass && at(x, y - 1) >= pass && at(x, y + 1) >= pass;
                if (all) at(x, y) = pass + 1;
            }
    }
    BoxList frame, fill;
    for (int y = 0; y < H; ++y) {
        int x = 0;
        while (x < W) {
            int d = at(x, y);
            int end = x;
            auto is_frame = [&](int v) { return v >= 1 && v <= pw; };
            while (end < W && (at(end, y) == 0) == (d == 0) && is_frame(at(end, y)) == is_frame(d))
                ++end;
            if (d != 0) (is_frame(d) ? frame : fill).add(l + x, t + y, l + end, t + y + 1);
            x = end;
        }
    }
    if (!dc.brush->null) fill.fill(dc, color_pixel(dc.brush->color));
    if (!no_pen) frame.fill(dc, color_pixel(dc.pen->color));
}

}  // namespace

BOOL WINAPI LineTo(HDC hdc, int x, int y) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    auto dc = find_dc(hdc);
    if (!dc) return FALSE;
    if (dc->surface)
        draw_line(*dc, dc->to_device(dc->position.x, dc->position.y), dc->to_device(x, y));
    dc->position = POINT{x, y};
    return TRUE;
}

BOOL WINAPI RoundRect(HDC hdc, int left, int top, int right, int bottom, int width, int height) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    auto dc = find_dc(hdc);
    if (!dc) return FALSE;
    if (dc->surface) draw_round_rect(*dc, left, top, right, bottom, width, height);
    return TRUE;
}

BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom) {
    return RoundRect(hdc, left, top, right, bottom, 0, 0);
}
