#include "cursor_art.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace w32::user {
namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kBlack = 0xFF000000;
constexpr uint32_t kRed = 0xFFD01010;
constexpr uint32_t kGreen = 0xFF20A040;

struct Pt {
    double x, y;
};

// Paints shapes at pixel centres; the outline is added around everything painted
// at the end, so light shapes stay visible on light windows and dark on dark.
class Canvas {
public:
    explicit Canvas(uint32_t outline) : outline_(outline), px_(kCursorSize * kCursorSize, 0) {}

    template <class Inside>
    void paint(uint32_t color, Inside inside) {
        for (int y = 0; y < kCursorSize; ++y) {
            for (int x = 0; x < kCursorSize; ++x) {
                if (inside(x + 0.5, y + 0.5)) px_[y * kCursorSize + x] = color;
            }
        }
    }

    void polygon(uint32_t color, std::initializer_list<Pt> pts) {
        std::vector<Pt> v(pts);
        paint(color, [&](double x, double y) { return in_polygon(v, x, y); });
    }
    void polygon_mirrored(uint32_t color, std::initializer_list<Pt> pts, bool flip_x, bool flip_y) {
        std::vector<Pt> v;
        for (Pt p : pts)
            v.push_back({flip_x ? kCursorSize - p.x : p.x, flip_y ? kCursorSize - p.y : p.y});
        paint(color, [&](double x, double y) { return in_polygon(v, x, y); });
    }
    void rect(uint32_t color, double l, double t, double r, double b) {
        paint(color, [=](double x, double y) { return x >= l && x < r && y >= t && y < b; });
    }
    void disc(uint32_t color, double cx, double cy, double radius) {
        paint(color, [=](double x, double y) { return std::hypot(x - cx, y - cy) <= radius; });
    }
    void ring(uint32_t color, double cx, double cy, double outer, double inner) {
        paint(color, [=](double x, double y) {
            double d = std::hypot(x - cx, y - cy);
            return d <= outer && d >= inner;
        });
    }
    // A line of the given half width with round ends.
    void line(uint32_t color, Pt a, Pt b, double half) {
        paint(color, [=](double x, double y) {
            double dx = b.x - a.x, dy = b.y - a.y;
            double t = ((x - a.x) * dx + (y - a.y) * dy) / (dx * dx + dy * dy);
            t = std::clamp(t, 0.0, 1.0);
            return std::hypot(x - (a.x + t * dx), y - (a.y + t * dy)) <= half;
        });
    }

    CursorArt finish(int hot_x, int hot_y) {
        CursorArt art;
        art.hot_x = hot_x;
        art.hot_y = hot_y;
        art.pixels = px_;
        for (int y = 0; y < kCursorSize; ++y) {
            for (int x = 0; x < kCursorSize; ++x) {
                if (px_[y * kCursorSize + x]) continue;
                if (touches_paint(x, y)) art.pixels[y * kCursorSize + x] = outline_;
            }
        }
        return art;
    }

private:
    static bool in_polygon(const std::vector<Pt>& v, double x, double y) {
        bool in = false;
        for (size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
            if ((v[i].y > y) != (v[j].y > y) &&
                x < (v[j].x - v[i].x) * (y - v[i].y) / (v[j].y - v[i].y) + v[i].x) {
                in = !in;
            }
        }
        return in;
    }
    bool touches_paint(int x, int y) const {
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                int nx = x + dx, ny = y + dy;
                if (nx < 0 || ny < 0 || nx >= kCursorSize || ny >= kCursorSize) continue;
                if (px_[ny * kCursorSize + nx]) return true;
            }
        }
        return false;
    }

    uint32_t outline_;
    std::vector<uint32_t> px_;
};

// The pointer arrow with its tip on pixel (1, 1).
void arrow(Canvas& c) {
    c.polygon(kWhite, {{1, 1}, {1, 18.5}, {5, 14.5}, {8, 21}, {10.5, 20}, {7.5, 13.5}, {13, 13.5}});
}

void hourglass(Canvas& c, double x, double y, double scale) {
    auto p = [=](double px, double py) { return Pt{x + px * scale, y + py * scale}; };
    c.rect(kBlack, p(0, 0).x, p(0, 0).y, p(16, 2).x, p(16, 2).y);
    c.rect(kBlack, p(0, 22).x, p(0, 22).y, p(16, 24).x, p(16, 24).y);
    c.polygon(kWhite, {p(2, 2), p(14, 2), p(9, 12), p(14, 22), p(2, 22), p(7, 12)});
    c.polygon(kBlack, {p(5, 5), p(11, 5), p(8, 10)});
    c.polygon(kBlack, {p(8, 16), p(12.5, 21), p(3.5, 21)});
}

// A double-headed arrow along the x axis through the centre, turned by the callers.
void double_arrow(Canvas& c, bool vertical) {
    auto p = [=](double along, double across) {
        return vertical ? Pt{16 + across, along} : Pt{along, 16 + across};
    };
    c.polygon(kWhite, {p(3, 0), p(10, -7), p(10, -2), p(22, -2), p(22, -7), p(29, 0), p(22, 7),
                       p(22, 2), p(10, 2), p(10, 7)});
}

void diagonal_arrow(Canvas& c, bool mirrored) {
    c.polygon_mirrored(kWhite,
                       {{5, 5},
                        {15, 5},
                        {11.5, 8.5},
                        {23.5, 20.5},
                        {27, 17},
                        {27, 27},
                        {17, 27},
                        {20.5, 23.5},
                        {8.5, 11.5},
                        {5, 15}},
                       mirrored, false);
}

CursorArt draw_arrow() {
    Canvas c(kBlack);
    arrow(c);
    return c.finish(1, 1);
}

CursorArt draw_ibeam() {
    Canvas c(kWhite);
    c.rect(kBlack, 15, 7, 17, 25);
    c.rect(kBlack, 12, 5, 15, 7);
    c.rect(kBlack, 17, 5, 20, 7);
    c.rect(kBlack, 12, 25, 15, 27);
    c.rect(kBlack, 17, 25, 20, 27);
    return c.finish(16, 16);
}

CursorArt draw_wait() {
    Canvas c(kBlack);
    hourglass(c, 8, 4, 1.0);
    return c.finish(16, 16);
}

CursorArt draw_cross() {
    Canvas c(kWhite);
    c.rect(kBlack, 4, 15, 29, 17);
    c.rect(kBlack, 15, 4, 17, 29);
    return c.finish(16, 16);
}

CursorArt draw_uparrow() {
    Canvas c(kBlack);
    c.polygon(kWhite, {{16, 1}, {25, 10}, {19, 10}, {19, 29}, {13, 29}, {13, 10}, {7, 10}});
    return c.finish(16, 2);
}

CursorArt draw_size_all() {
    Canvas c(kBlack);
    double_arrow(c, false);
    double_arrow(c, true);
    return c.finish(16, 16);
}

CursorArt draw_icon() {
    Canvas c(kBlack);
    c.rect(kWhite, 7, 7, 25, 25);
    c.rect(kBlack, 10, 10, 22, 22);
    return c.finish(16, 16);
}

CursorArt draw_size_diagonal(bool mirrored) {
    Canvas c(kBlack);
    diagonal_arrow(c, mirrored);
    return c.finish(16, 16);
}

CursorArt draw_size_line(bool vertical) {
    Canvas c(kBlack);
    double_arrow(c, vertical);
    return c.finish(16, 16);
}

CursorArt draw_no() {
    Canvas c(kBlack);
    c.ring(kRed, 16, 16, 12, 8.5);
    c.line(kRed, {8.5, 8.5}, {23.5, 23.5}, 1.8);
    return c.finish(16, 16);
}

CursorArt draw_hand() {
    Canvas c(kBlack);
    c.line(kWhite, {11, 3}, {11, 16}, 2.5);       // pointing finger
    c.line(kWhite, {15.5, 13}, {15.5, 17}, 2.3);  // folded fingers
    c.line(kWhite, {20, 14}, {20, 18}, 2.3);
    c.line(kWhite, {24, 16}, {24, 20}, 2.2);
    c.line(kWhite, {5.5, 17}, {9, 21}, 2.2);  // thumb
    c.polygon(kWhite, {{8.5, 15}, {26, 16}, {26, 24}, {22, 29}, {12, 29}, {8.5, 22}});
    return c.finish(11, 1);
}

CursorArt draw_app_starting() {
    Canvas c(kBlack);
    arrow(c);
    hourglass(c, 17, 14, 0.6);
    return c.finish(1, 1);
}

CursorArt draw_help() {
    Canvas c(kBlack);
    arrow(c);
    // A question mark right of the arrow.
    c.paint(kWhite, [](double x, double y) {
        double d = std::hypot(x - 22.5, y - 8.5);
        return d <= 4.6 && d >= 2.2 && !(x < 22.5 && y > 8.5);
    });
    c.rect(kWhite, 21.5, 12, 24, 16.5);
    c.disc(kWhite, 22.75, 19.75, 1.6);
    return c.finish(1, 1);
}

CursorArt draw_pin() {
    Canvas c(kBlack);
    arrow(c);
    c.disc(kGreen, 23, 19, 5);
    c.polygon(kGreen, {{18.8, 21.5}, {27.2, 21.5}, {23, 29}});
    c.disc(kWhite, 23, 19, 2);
    return c.finish(1, 1);
}

CursorArt draw_person() {
    Canvas c(kBlack);
    arrow(c);
    c.disc(kWhite, 23, 17, 3.2);
    c.paint(kWhite, [](double x, double y) {
        return y >= 22 && y <= 29 && std::hypot((x - 23) / 6.5, (y - 29) / 7.0) <= 1.0;
    });
    return c.finish(1, 1);
}

}  // namespace

CursorArt draw_cursor(unsigned id) {
    switch (id) {
        case 32513:
            return draw_ibeam();
        case 32514:
            return draw_wait();
        case 32515:
            return draw_cross();
        case 32516:
            return draw_uparrow();
        case 32640:
        case 32646:
            return draw_size_all();
        case 32641:
            return draw_icon();
        case 32642:
            return draw_size_diagonal(false);
        case 32643:
            return draw_size_diagonal(true);
        case 32644:
            return draw_size_line(false);
        case 32645:
            return draw_size_line(true);
        case 32648:
            return draw_no();
        case 32649:
            return draw_hand();
        case 32650:
            return draw_app_starting();
        case 32651:
            return draw_help();
        case 32671:
            return draw_pin();
        case 32672:
            return draw_person();
        default:
            return draw_arrow();
    }
}

}  // namespace w32::user
