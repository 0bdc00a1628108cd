// A 32-bpp DIB section selected into its own memory DC, for tests that draw and read
// the pixels back (0xAARRGGBB words, counted from the top).
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace testing_support {

// Whether colours a and b (0xRRGGBB) are within tol of each other in red, green and blue:
// how a test finds text, whose cores anti-aliasing never quite fills.
inline bool NearRgb(uint32_t a, uint32_t b, int tol) {
    for (int shift : {0, 8, 16})
        if (abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) >
            tol)
            return false;
    return true;
}

// A 32-bpp BI_RGB picture header; a negative height stores the rows top-down.
inline BITMAPINFO Info32(int width, int height) {
    BITMAPINFO bmi{};
    bmi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    return bmi;
}

class DibCanvas {
public:
    // bottom_up: a positive biHeight, rows stored from the bottom of the picture.
    DibCanvas(int width, int height, bool bottom_up = false)
        : width_(width), height_(height), bottom_up_(bottom_up) {
        const BITMAPINFO bmi = Info32(width, bottom_up ? height : -height);
        dc_ = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<uint32_t*>(bits);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~DibCanvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;

    HDC dc() const { return dc_; }
    HBITMAP bitmap() const { return bitmap_; }
    uint32_t* bits() const { return bits_; }
    bool valid() const { return dc_ && bitmap_ && bits_ && old_; }
    int width() const { return width_; }
    int height() const { return height_; }

    uint32_t& at(int x, int y) const {
        return bits_[(bottom_up_ ? height_ - 1 - y : y) * width_ + x];
    }
    uint32_t rgb(int x, int y) const { return at(x, y) & 0xFFFFFF; }
    void fill(uint32_t value) {
        for (int i = 0; i < width_ * height_; ++i) bits_[i] = value;
    }
    // Pixels of [l, r) x [t, b) equal to v under the mask (GDI fills leave the alpha
    // byte as they find it, so by default only the colour counts).
    int count(int l, int t, int r, int b, uint32_t v, uint32_t mask = 0xFFFFFF) const {
        int n = 0;
        for (int y = t; y < b; ++y)
            for (int x = l; x < r; ++x) n += (at(x, y) & mask) == (v & mask);
        return n;
    }
    int count(uint32_t v, uint32_t mask = 0xFFFFFF) const {
        return count(0, 0, width_, height_, v, mask);
    }
    // Whether the rectangle, and nothing else, holds the colour v.
    bool only_rect(int l, int t, int r, int b, uint32_t v) const {
        return count(l, t, r, b, v) == (r - l) * (b - t) && count(v) == (r - l) * (b - t);
    }
    // The picture as text, one character per pixel, rows ending in '\n': '.' for the
    // background, '#' 'k' 'r' 'g' 'b' white, black, red, green, blue (alpha 0), 'x' else.
    std::string picture(uint32_t background = 0) const {
        std::string s;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                const uint32_t p = at(x, y);
                s += p == background ? '.'
                     : p == 0xFFFFFF ? '#'
                     : p == 0xFF0000 ? 'r'
                     : p == 0xFF00   ? 'g'
                     : p == 0xFF     ? 'b'
                     : p == 0        ? 'k'
                                     : 'x';
            }
            s += '\n';
        }
        return s;
    }

private:
    int width_;
    int height_;
    bool bottom_up_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    uint32_t* bits_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

}  // namespace testing_support
