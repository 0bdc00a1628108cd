// A 32-bpp DIB section selected into its own memory DC, for reading back pixels.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

class DibCanvas {
public:
    // bottom_up: a positive biHeight, rows stored from the bottom of the picture.
    DibCanvas(int width, int height, bool bottom_up = false)
        : width_(width), height_(height), bottom_up_(bottom_up) {
        BITMAPINFO bmi{};
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = width;
        bmi.bmiHeader.biHeight = bottom_up ? height : -height;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        bmi.bmiHeader.biCompression = BI_RGB;
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

    // Pixel at (x, y) counted from the top, as 0xAARRGGBB.
    uint32_t& at(int x, int y) { return bits_[(bottom_up_ ? height_ - 1 - y : y) * width_ + x]; }
    void fill(uint32_t value) {
        for (int i = 0; i < width_ * height_; ++i) bits_[i] = value;
    }
    // The picture as text, one character per pixel: '#' where the pixel is on,
    // '.' where it is background.
    std::string picture(uint32_t background) {
        std::string s;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) s += at(x, y) == background ? '.' : '#';
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

// RAII for a created GDI object.
template <class H>
class GdiObject {
public:
    explicit GdiObject(H h) : h_(h) {}
    ~GdiObject() {
        if (h_) DeleteObject(h_);
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    H get() const { return h_; }
    operator H() const { return h_; }

private:
    H h_;
};
