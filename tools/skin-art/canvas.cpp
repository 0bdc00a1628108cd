#include "canvas.h"

#include <png.h>
#include <stdio.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

namespace art {

Color Hex(const char* hex, float alpha) {
    unsigned v = static_cast<unsigned>(strtoul(hex + 1, nullptr, 16));
    return {((v >> 16) & 0xFF) / 255.0f, ((v >> 8) & 0xFF) / 255.0f, (v & 0xFF) / 255.0f, alpha};
}

Color Mix(const Color& a, const Color& b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
            a.a + (b.a - a.a) * t};
}

Color WithAlpha(Color c, float alpha) {
    c.a = alpha;
    return c;
}

Paint Solid(const Color& c) {
    return [c](float, float) { return c; };
}

Paint VGradient(float y0, const Color& c0, float y1, const Color& c1) {
    return VStops({{y0, c0}, {y1, c1}});
}

Paint VStops(std::vector<std::pair<float, Color>> stops) {
    return [stops](float, float y) {
        if (y <= stops.front().first) return stops.front().second;
        for (size_t i = 1; i < stops.size(); ++i) {
            if (y <= stops[i].first) {
                float t = (y - stops[i - 1].first) / (stops[i].first - stops[i - 1].first);
                return Mix(stops[i - 1].second, stops[i].second, t);
            }
        }
        return stops.back().second;
    };
}

float RoundRectDistance(float x, float y, float left, float top, float right, float bottom,
                        float radius) {
    float cx = (left + right) / 2, cy = (top + bottom) / 2;
    float qx = std::fabs(x - cx) - ((right - left) / 2 - radius);
    float qy = std::fabs(y - cy) - ((bottom - top) / 2 - radius);
    float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - radius;
}

float SegmentDistance(float x, float y, float x0, float y0, float x1, float y1) {
    float dx = x1 - x0, dy = y1 - y0;
    float t = ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy);
    t = std::clamp(t, 0.0f, 1.0f);
    float ex = x - (x0 + t * dx), ey = y - (y0 + t * dy);
    return std::sqrt(ex * ex + ey * ey);
}

float Coverage(float distance) { return std::clamp(0.5f - distance, 0.0f, 1.0f); }

void Mask::Blur(int radius) {
    if (radius < 1) return;
    std::vector<float> tmp(v_.size());
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h_; ++y) {
            for (int x = 0; x < w_; ++x) {
                float sum = 0;
                for (int k = -radius; k <= radius; ++k) sum += At(x + k, y);
                tmp[static_cast<size_t>(y) * w_ + x] = sum / (2 * radius + 1);
            }
        }
        for (int y = 0; y < h_; ++y) {
            for (int x = 0; x < w_; ++x) {
                float sum = 0;
                for (int k = -radius; k <= radius; ++k) {
                    int yy = y + k;
                    if (yy >= 0 && yy < h_) sum += tmp[static_cast<size_t>(yy) * w_ + x];
                }
                v_[static_cast<size_t>(y) * w_ + x] = sum / (2 * radius + 1);
            }
        }
    }
}

void Mask::Dilate(int radius) {
    std::vector<float> out(v_.size());
    for (int y = 0; y < h_; ++y) {
        for (int x = 0; x < w_; ++x) {
            float best = 0;
            for (int dy = -radius; dy <= radius; ++dy)
                for (int dx = -radius; dx <= radius; ++dx)
                    if (dx * dx + dy * dy <= radius * radius + radius)
                        best = std::max(best, At(x + dx, y + dy));
            out[static_cast<size_t>(y) * w_ + x] = best;
        }
    }
    v_.swap(out);
}

void Canvas::Blend(int x, int y, const Color& c, float coverage) {
    float a = c.a * coverage;
    if (a <= 0) return;
    float* p = &px_[(static_cast<size_t>(y) * w_ + x) * 4];
    p[0] = c.r * a + p[0] * (1 - a);
    p[1] = c.g * a + p[1] * (1 - a);
    p[2] = c.b * a + p[2] * (1 - a);
    p[3] = a + p[3] * (1 - a);
}

void Canvas::Fill(const std::function<float(float, float)>& coverage, const Paint& paint) {
    for (int y = 0; y < h_; ++y) {
        for (int x = 0; x < w_; ++x) {
            float cx = x + 0.5f, cy = y + 0.5f;
            float cover = coverage(cx, cy);
            if (cover > 0) Blend(x, y, paint(cx, cy), std::min(cover, 1.0f));
        }
    }
}

void Canvas::FillRect(float left, float top, float right, float bottom, const Paint& paint) {
    Fill(
        [=](float x, float y) {
            float h = std::clamp(std::min(x + 0.5f, right) - std::max(x - 0.5f, left), 0.0f, 1.0f);
            float v = std::clamp(std::min(y + 0.5f, bottom) - std::max(y - 0.5f, top), 0.0f, 1.0f);
            return h * v;
        },
        paint);
}

void Canvas::FillRoundRect(float left, float top, float right, float bottom, float radius,
                           const Paint& paint) {
    Fill(
        [=](float x, float y) {
            return Coverage(RoundRectDistance(x, y, left, top, right, bottom, radius));
        },
        paint);
}

void Canvas::StrokeRoundRect(float left, float top, float right, float bottom, float radius,
                             float width, const Paint& paint) {
    Fill(
        [=](float x, float y) {
            float d = RoundRectDistance(x, y, left, top, right, bottom, radius);
            return Coverage(std::fabs(d + width / 2) - width / 2);
        },
        paint);
}

void Canvas::FillCircle(float cx, float cy, float radius, const Paint& paint) {
    Fill([=](float x, float y) { return Coverage(std::hypot(x - cx, y - cy) - radius); }, paint);
}

void Canvas::Line(float x0, float y0, float x1, float y1, float width, const Paint& paint) {
    Fill([=](float x,
             float y) { return Coverage(SegmentDistance(x, y, x0, y0, x1, y1) - width / 2); },
         paint);
}

void Canvas::FillBelow(const std::function<float(float)>& top, const Paint& paint) {
    Fill([&](float x, float y) { return std::clamp(y + 0.5f - top(x), 0.0f, 1.0f); }, paint);
}

void Canvas::FillMask(const Mask& mask, int dx, int dy, const Paint& paint) {
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x) {
            float cover = mask.At(x - dx, y - dy);
            if (cover > 0) Blend(x, y, paint(x + 0.5f, y + 0.5f), std::min(cover, 1.0f));
        }
}

void Canvas::Clip(const std::function<float(float, float)>& coverage) {
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x) {
            float keep = std::clamp(coverage(x + 0.5f, y + 0.5f), 0.0f, 1.0f);
            float* p = &px_[(static_cast<size_t>(y) * w_ + x) * 4];
            for (int i = 0; i < 4; ++i) p[i] *= keep;
        }
}

bool Canvas::WritePng(const std::string& path) const {
    std::unique_ptr<FILE, int (*)(FILE*)> file(fopen(path.c_str(), "wb"), fclose);
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<png_byte> row(static_cast<size_t>(w_) * 4);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, w_, h_, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    for (int y = 0; y < h_; ++y) {
        for (int x = 0; x < w_; ++x) {
            const float* p = &px_[(static_cast<size_t>(y) * w_ + x) * 4];
            float a = std::clamp(p[3], 0.0f, 1.0f);
            for (int i = 0; i < 3; ++i) {
                float straight = a > 0 ? p[i] / a : 0.0f;
                row[x * 4 + i] =
                    static_cast<png_byte>(std::lround(std::clamp(straight, 0.0f, 1.0f) * 255));
            }
            row[x * 4 + 3] = static_cast<png_byte>(std::lround(a * 255));
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace art
