// A small drawing surface for the skin's pictures: float RGBA pixels kept
// premultiplied, shapes anti-aliased from their signed distance, masks for text
// and glows, and PNG output with straight alpha.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace art {

// A straight-alpha colour, channels 0..1.
struct Color {
    float r = 0, g = 0, b = 0, a = 1;
};

// "#RRGGBB" with an alpha.
Color Hex(const char* hex, float alpha = 1.0f);
Color Mix(const Color& a, const Color& b, float t);
Color WithAlpha(Color c, float alpha);

// Colour at a pixel centre.
using Paint = std::function<Color(float x, float y)>;
Paint Solid(const Color& c);
// Vertical gradient from y0 (colour c0) to y1 (colour c1), clamped outside.
Paint VGradient(float y0, const Color& c0, float y1, const Color& c1);
// Through several stops: (position, colour) pairs in rising order.
Paint VStops(std::vector<std::pair<float, Color>> stops);

// Signed distances (negative inside).
float RoundRectDistance(float x, float y, float left, float top, float right, float bottom,
                        float radius);
float SegmentDistance(float x, float y, float x0, float y0, float x1, float y1);
// Coverage of a pixel by a shape from the distance at its centre.
float Coverage(float distance);

// Per-pixel coverage, 0..1.
class Mask {
public:
    Mask(int w, int h) : w_(w), h_(h), v_(static_cast<size_t>(w) * h, 0.0f) {}
    int Width() const { return w_; }
    int Height() const { return h_; }
    float At(int x, int y) const {
        return x < 0 || y < 0 || x >= w_ || y >= h_ ? 0.0f : v_[static_cast<size_t>(y) * w_ + x];
    }
    float& Ref(int x, int y) { return v_[static_cast<size_t>(y) * w_ + x]; }
    // Box blur of the given radius, applied three times (close to a Gaussian).
    void Blur(int radius);
    // Each pixel the largest coverage within radius pixels.
    void Dilate(int radius);

private:
    int w_, h_;
    std::vector<float> v_;
};

class Canvas {
public:
    Canvas(int w, int h) : w_(w), h_(h), px_(static_cast<size_t>(w) * h * 4, 0.0f) {}
    int Width() const { return w_; }
    int Height() const { return h_; }

    // Composes paint over the canvas where the coverage function is non-zero.
    void Fill(const std::function<float(float x, float y)>& coverage, const Paint& paint);
    void FillRect(float left, float top, float right, float bottom, const Paint& paint);
    void FillRoundRect(float left, float top, float right, float bottom, float radius,
                       const Paint& paint);
    // A line of the given width inside the round rectangle's edge.
    void StrokeRoundRect(float left, float top, float right, float bottom, float radius,
                         float width, const Paint& paint);
    void FillCircle(float cx, float cy, float radius, const Paint& paint);
    void Line(float x0, float y0, float x1, float y1, float width, const Paint& paint);
    // The area below the curve y = top(x).
    void FillBelow(const std::function<float(float x)>& top, const Paint& paint);
    void FillMask(const Mask& mask, int dx, int dy, const Paint& paint);
    // Keeps the canvas only where the coverage function is non-zero.
    void Clip(const std::function<float(float x, float y)>& coverage);

    bool WritePng(const std::string& path) const;

private:
    void Blend(int x, int y, const Color& c, float coverage);

    int w_, h_;
    std::vector<float> px_;  // premultiplied r, g, b, a
};

}  // namespace art
