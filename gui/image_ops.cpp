#include "gui/image_ops.h"

#include <cmath>
#include <cstring>

namespace Gui {

void SinCos(int angle, double& sinus, double& cosinus) {
    angle %= 3600;
    switch (angle) {
        case 0:
            sinus = 0;
            cosinus = 1;
            return;
        case 900:
            sinus = 1;
            cosinus = 0;
            return;
        case 1800:
            sinus = 0;
            cosinus = -1;
            return;
        case 2700:
            sinus = -1;
            cosinus = 0;
            return;
        default: {
            const double a = angle * M_PI / 1800;
            sinus = sin(a);
            cosinus = cos(a);
        }
    }
}

Pointf RotatePoint(Pointf p, double s, double c) { return {p.x * c + p.y * s, p.y * c - p.x * s}; }

Image Rotate(const Image& img, int angle) {
    const int w = img.GetWidth(), h = img.GetHeight();
    const double hw = w * 0.5, hh = h * 0.5;
    double s, c;
    SinCos(-angle, s, c);
    const Pointf a = RotatePoint({-hw, -hh}, s, c);
    const Pointf b = RotatePoint({hw, -hh}, s, c);
    const int nw = static_cast<int>(2 * std::max(std::fabs(a.x), std::fabs(b.x)));
    const int nh = static_cast<int>(2 * std::max(std::fabs(a.y), std::fabs(b.y)));
    ImageBuffer out(nw, nh);
    if (out.GetLength() > 0) memset(out.Begin(), 0, static_cast<size_t>(out.GetLength()) * 4);
    SinCos(angle, s, c);
    const int sn = static_cast<int>(128 * s), cs = static_cast<int>(128 * c);
    const RGBA* src = img.GetPixels();
    for (int j = 0; j < nh; ++j) {
        // Sampled at pixel centres (2i + 1), so a quarter turn maps every pixel.
        const int dy = 2 * j + 1 - nh;
        RGBA* row = out[j];
        for (int i = 0; i < nw; ++i) {
            const int dx = 2 * i + 1 - nw;
            const int sx = (dx * cs + dy * sn + 128 * w) >> 8;
            const int sy = (-dx * sn + dy * cs + 128 * h) >> 8;
            if (sx >= 0 && sx < w && sy >= 0 && sy < h) row[i] = src[sy * w + sx];
        }
    }
    return Image(out);
}

Image WithHotSpots(const Image& img, int x1, int y1, int x2, int y2) {
    Image copy = img;
    ImageBuffer b(copy);
    b.SetHotSpot(Point(x1, y1));
    b.SetSpot2(Point(x2, y2));
    return Image(b);
}

Image WithHotSpot(const Image& img, int x, int y) {
    Image copy = img;
    ImageBuffer b(copy);
    b.SetHotSpot(Point(x, y));
    return Image(b);
}

}  // namespace Gui
