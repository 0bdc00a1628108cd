// The message box's icons (error, question, warning, information), drawn by our own
// code: 32x32, premultiplied colour with alpha, edges smoothed by 4x4 samples a pixel.
#include "layer_dialog.h"

#include <w32/gdi.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>

namespace w32::user::layer_dialog {
namespace {

constexpr int kSize = 32;
constexpr double kPi = 3.14159265358979323846;

struct Rgb {
    int r, g, b;
};

double segment_distance(double x, double y, double ax, double ay, double bx, double by) {
    const double dx = bx - ax, dy = by - ay;
    double t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy);
    t = std::fmax(0.0, std::fmin(1.0, t));
    return std::hypot(x - (ax + t * dx), y - (ay + t * dy));
}

bool in_circle(double x, double y, double cx, double cy, double r) {
    return std::hypot(x - cx, y - cy) <= r;
}

bool in_stroke(double x, double y, double ax, double ay, double bx, double by, double half) {
    return segment_distance(x, y, ax, ay, bx, by) <= half;
}

bool in_triangle(double x, double y) {
    // Apex at the top, base along the bottom.
    const double ax = 16, ay = 2, bx = 31, by = 29, cx = 1, cy = 29;
    auto side = [&](double px, double py, double qx, double qy) {
        return (qx - px) * (y - py) - (qy - py) * (x - px);
    };
    const double d1 = side(ax, ay, bx, by), d2 = side(bx, by, cx, cy), d3 = side(cx, cy, ax, ay);
    return (d1 >= 0 && d2 >= 0 && d3 >= 0) || (d1 <= 0 && d2 <= 0 && d3 <= 0);
}

// 0 outside, 1 the shape's body, 2 its symbol.
int sample(UINT kind, double x, double y) {
    switch (kind) {
        case MB_ICONHAND:
            if (!in_circle(x, y, 16, 16, 15)) return 0;
            return in_stroke(x, y, 10.5, 10.5, 21.5, 21.5, 1.9) ||
                           in_stroke(x, y, 21.5, 10.5, 10.5, 21.5, 1.9)
                       ? 2
                       : 1;
        case MB_ICONEXCLAMATION:
            if (!in_triangle(x, y)) return 0;
            return in_stroke(x, y, 16, 11, 16, 20, 1.9) || in_circle(x, y, 16, 24.5, 2.0) ? 2 : 1;
        case MB_ICONASTERISK:
            if (!in_circle(x, y, 16, 16, 15)) return 0;
            return in_circle(x, y, 16, 9.5, 2.2) || in_stroke(x, y, 16, 14, 16, 24, 1.9) ? 2 : 1;
        case MB_ICONQUESTION: {
            if (!in_circle(x, y, 16, 16, 15)) return 0;
            const double ring = std::hypot(x - 16, y - 12);
            const double angle = std::atan2(y - 12, x - 16);
            // The hook of the mark: the ring but its lower left quarter.
            const bool hook = std::fabs(ring - 5) <= 1.8 && !(angle > kPi / 2 && angle <= kPi);
            return hook || in_stroke(x, y, 16, 17, 16, 19.5, 1.8) || in_circle(x, y, 16, 24.5, 2.0)
                       ? 2
                       : 1;
        }
    }
    return 0;
}

HICON draw(UINT kind) {
    const Rgb body = kind == MB_ICONHAND          ? Rgb{215, 40, 40}
                     : kind == MB_ICONEXCLAMATION ? Rgb{250, 200, 30}
                                                  : Rgb{35, 105, 210};
    const Rgb symbol = kind == MB_ICONEXCLAMATION ? Rgb{0, 0, 0} : Rgb{255, 255, 255};
    void* bits = nullptr;
    HBITMAP colour = w32::gdi::create_dib32(kSize, kSize, &bits);
    HBITMAP mask = CreateBitmap(kSize, kSize, 1, 1, nullptr);
    if (!colour || !bits || !mask) {
        if (colour) DeleteObject(colour);
        if (mask) DeleteObject(mask);
        return nullptr;
    }
    auto* px = static_cast<uint32_t*>(bits);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            int a = 0, r = 0, g = 0, b = 0;
            for (int sy = 0; sy < 4; ++sy) {
                for (int sx = 0; sx < 4; ++sx) {
                    const int s = sample(kind, x + (sx + 0.5) / 4, y + (sy + 0.5) / 4);
                    if (!s) continue;
                    const Rgb& c = s == 2 ? symbol : body;
                    a += 255, r += c.r, g += c.g, b += c.b;
                }
            }
            px[y * kSize + x] =
                static_cast<uint32_t>((a / 16) << 24 | (r / 16) << 16 | (g / 16) << 8 | (b / 16));
        }
    }
    ICONINFO info{TRUE, 0, 0, mask, colour};
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(colour);
    DeleteObject(mask);
    return icon;
}

}  // namespace

HICON message_icon(UINT mb_icon) {
    static std::mutex m;
    static HICON icons[4] = {};
    const UINT kind = mb_icon & MB_ICONMASK;
    int slot;
    switch (kind) {
        case MB_ICONHAND:
            slot = 0;
            break;
        case MB_ICONQUESTION:
            slot = 1;
            break;
        case MB_ICONEXCLAMATION:
            slot = 2;
            break;
        case MB_ICONASTERISK:
            slot = 3;
            break;
        default:
            return nullptr;
    }
    std::lock_guard lock(m);
    if (!icons[slot]) icons[slot] = draw(kind);
    return icons[slot];
}

}  // namespace w32::user::layer_dialog
